// The bounds that keep the FTP client from waiting or buffering without end: the size of one
// reply, the overall deadline of a login and of an upload, the port range, the address a data
// connection may come from, and a termination request that ends any wait.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "net/IdFTP.h"
#include "net/IdWait.h"
#include "net/NetworkLimits.h"
#include "platform/Stream.h"
#include "tests/net/FtpScripts.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/Trickle.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Repeat(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += line;
    }
    return text;
}

TEST(FtpReplyBoundsTest, AGreetingBeyondTheBoundsClosesTheConnection) {
    struct Row {
        const char* what;
        std::string greeting;
    };
    const std::string longText(10000, 'x');
    const Row rows[] = {
        {"endless continuation lines", Repeat("220-welcome\r\n", limits::kMaxReplyLines + 5)},
        {"endless blank lines before the reply", Repeat("\r\n", limits::kMaxReplyLines + 5)},
        {"few lines, too many bytes", Repeat("220-" + longText + "\r\n", 7) + "220 ready\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedPeer peer;
        peer.Accept().Send(row.greeting).ExpectEof();
        peer.Start();
        RecordingFtp ftp;
        ftp.Aim(peer);
        try {
            ftp.ConnectAndLogin(true, -1);
            ADD_FAILURE() << "the login went through";
        } catch (const EIdReplyTooLarge& e) {
            EXPECT_EQ(e.Message(),
                      "The server's reply is longer than 1000 lines or 65536 bytes; the "
                      "connection was closed.");
        }
        EXPECT_FALSE(ftp.IsConnected());
        EXPECT_TRUE(peer.Finish());
    }
}

TEST(FtpReplyBoundsTest, AReplyOfExactlyTheLineBoundIsRead) {
    ScriptedPeer peer;
    peer.Accept().Send(Repeat("220-welcome\r\n", limits::kMaxReplyLines - 1) + "220 ready\r\n");
    ScriptLogin(peer);
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    EXPECT_EQ(ftp.WelcomeReply().Text.size(), static_cast<std::size_t>(limits::kMaxReplyLines));
    ftp.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(UploadDeadlineTest, GrowsWithTheSizeAtTheSlowestRate) {
    EXPECT_EQ(limits::UploadDeadlineMs(120000, 64 * 1024, 0), 120000);
    EXPECT_EQ(limits::UploadDeadlineMs(120000, 64 * 1024, 64 * 1024 * 10), 130000);
    EXPECT_EQ(limits::UploadDeadlineMs(120000, 0, 1 << 30), 120000);
}

// A login whose server trickles: no single read waits long, the whole login does.
TEST(OperationDeadlineTest, ALoginThatTricklesEndsAtItsBound) {
    struct Row {
        const char* what;
        const char* piece;
    };
    const Row rows[] = {
        {"blank lines before the greeting", "\r\n"},
        {"a greeting one byte at a time", "2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedPeer peer;
        peer.Accept().Do(
            [&row](ScriptedPeer& p) { Trickle(p.CurrentSocket(), row.piece, 20ms, 5s); });
        peer.Start();
        RecordingFtp ftp;
        ftp.Aim(peer);
        ftp.SetReadTimeout(1000);
        ftp.LoginTimeout = 300;
        const auto start = Clock::now();
        try {
            ftp.ConnectAndLogin(true, -1);
            ADD_FAILURE() << "the login went through";
        } catch (const EIdOperationTimeout& e) {
            EXPECT_EQ(e.Message(), "The operation did not finish within 0.3 seconds");
        }
        const auto took = Clock::now() - start;
        EXPECT_GE(took, 290ms);
        EXPECT_LT(took, 2s);
        EXPECT_FALSE(ftp.IsConnected());
        peer.Finish();
    }
}

class UploadDeadlineFixture : public LoggedInFtpTest {
protected:
    void LogIn() {
        LoggedInFtpTest::LogIn();
        ftp.UploadTimeout = 300;
    }
};

TEST_F(UploadDeadlineFixture, AFinalReplyThatNeverComesEndsAtTheBound) {
    ScriptDataConnectionOpened(peer, "STOR a.html");
    peer.ReadToEof().Use(0).Stall(2s);
    LogIn();
    TMemoryStream page("<html>x</html>");
    const auto start = Clock::now();
    EXPECT_THROW(ftp.StoreStream(page, "a.html", false), EIdOperationTimeout);
    EXPECT_LT(Clock::now() - start, 1500ms);
    peer.Finish();
}

TEST_F(UploadDeadlineFixture, AServerThatStopsReadingTheFileEndsAtTheBound) {
    ScriptDataConnectionOpened(peer, "STOR a.html");
    peer.Stall(2s);
    LogIn();
    // Far more than the socket buffers of both ends hold.
    TMemoryStream page(PatternBytes(64 * 1024 * 1024));
    const auto start = Clock::now();
    EXPECT_THROW(ftp.StoreStream(page, "a.html", false), EIdOperationTimeout);
    EXPECT_LT(Clock::now() - start, 1500ms);
    EXPECT_EQ(ftp.DataConnection(), nullptr);
    peer.Finish();
}

// Connects to 127.0.0.1:port from another loopback address.
int ConnectFrom(const char* localAddress, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, localAddress, &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST_F(UploadDeadlineFixture, TheDataConnectionIsAcceptedOnlyFromTheControlPeer) {
    auto port = std::make_shared<int>(0);
    auto intruderGot = std::make_shared<std::string>("(not connected)");
    peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
        .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
        .Send("200 ok\r\n")
        .ExpectLine("STOR a.html")
        .Send("150 ok\r\n")
        .Do([port, intruderGot](ScriptedPeer&) {
            // Another host comes first: it is closed without a byte of the file.
            const int fd = ConnectFrom("127.0.0.2", *port);
            if (fd < 0) {
                return;
            }
            intruderGot->clear();
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
                intruderGot->append(buffer, static_cast<std::size_t>(n));
            }
            ::close(fd);
        })
        .ConnectBack([port](const std::string&) { return *port; })
        .ReadToEof()
        .Close()
        .Use(0)
        .Send("226 done\r\n");
    LogIn();
    TMemoryStream page("<html>the page</html>");
    ftp.StoreStream(page, "a.html", false);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(*intruderGot, "");
    EXPECT_EQ(peer.Received(1), "<html>the page</html>");
}

TEST(PortRangeTest, APortOutsideTheRangeIsRefusedBeforeAnyLookup) {
    for (int port : {0, -1, 65536, 70000, INT32_MAX}) {
        SCOPED_TRACE(port);
        TIdTCPClient client;
        // A lookup of this name would fail differently: the refusal comes before it.
        client.SetHost("no-such-host.invalid");
        client.SetPort(port);
        try {
            client.OpenConnection(-1);
            ADD_FAILURE() << "connected";
        } catch (const EIdInvalidPort& e) {
            EXPECT_EQ(e.Message(), "Invalid port " + std::to_string(port) +
                                       ": a port must be a number from 1 to 65535.");
        }
        EXPECT_FALSE(client.IsConnected());
    }
}

// A request to end, made by another thread (as the signal thread does), ends a wait that has
// no limit of its own, and every later wait at once.
TEST(TerminationRequestTest, EndsABlockedReadAndEveryLaterWait) {
    ScriptedPeer peer;
    peer.Accept().Stall(3s);
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    std::thread requester([] {
        std::this_thread::sleep_for(100ms);
        RequestTermination();
    });
    const auto start = Clock::now();
    EXPECT_THROW(client.ReadLine(), EIdTerminationRequested);
    EXPECT_LT(Clock::now() - start, 1s);
    requester.join();
    EXPECT_THROW(client.ReadLine(), EIdTerminationRequested);
    WithdrawTerminationRequest();
    client.CloseConnection();
    peer.Finish();
}

}  // namespace
}  // namespace velomaris
