// Hostile peers met half-way through an exchange: a data connection that breaks in the middle
// of a file, chunked trailers on a connection that stays open, and a server that closes while
// the program is still sending with SIGPIPE at its default disposition. Each row of
// docs/robustness.md that is not tested elsewhere is tested here.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "http/IdHTTP.h"
#include "net/IdFTP.h"
#include "platform/Stream.h"
#include "tests/http/HttpClientTestSupport.h"
#include "tests/net/FtpScripts.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

using namespace httptest;

// Far more than the socket buffers hold, so the sender is still writing when the peer quits.
const std::string& BigPage() {
    static const std::string page = PatternBytes(8 * 1024 * 1024);
    return page;
}
constexpr std::size_t kBytesTheServerTakes = 65536;

// A server that greets, logs anna in and takes an upload of big.html up to the point where it
// has read the first bytes of the file; the data connection is then the current one.
void ScriptUploadUnderway(ScriptedPeer& peer, bool passive) {
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    if (passive) {
        const int listener = peer.AddListener();
        const int port = peer.ListenerPort(listener);
        peer.ExpectLine("PASV")
            .Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                  std::to_string(port % 256) + ")\r\n")
            .ExpectLine("STOR big.html")
            .Accept(listener)
            .Use(0)
            .Send("150 Ok to send data.\r\n")
            .Use(1);
    } else {
        auto port = std::make_shared<int>(0);
        peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
            .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
            .Send("200 PORT command successful.\r\n")
            .ExpectLine("STOR big.html")
            .Send("150 Ok to send data.\r\n")
            .ConnectBack([port](const std::string&) { return *port; });
    }
    peer.ExpectBytes(BigPage().substr(0, kBytesTheServerTakes));
}

// The server resets the data connection after 64 KiB and reports the failure on the control
// connection, as vsftpd does. The upload fails with the socket error, and the control
// connection stays in step: the 426 is the broken transfer's answer, not the next command's.
TEST(FaultTableTest, ADataConnectionResetMidFileLeavesTheControlConnectionInStep) {
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ScriptedPeer peer;
        ScriptUploadUnderway(peer, passive);
        peer.Reset()
            .Use(0)
            .Send("426 Failure writing network stream.\r\n")
            .ExpectLine("CWD /")
            .Send("250 Directory successfully changed.\r\n")
            .ExpectEof();
        peer.Start();
        RecordingFtp ftp;
        ftp.Aim(peer);
        ftp.SetPassive(passive);
        ftp.ConnectAndLogin(true, -1);
        TMemoryStream page(BigPage());
        try {
            ftp.StoreStream(page, "big.html", false);
            ADD_FAILURE() << "a broken upload reported success";
        } catch (const EIdSocketError& e) {
            EXPECT_TRUE(e.ErrorCode() == 10054 || e.ErrorCode() == 10053) << e.Message();
        }
        EXPECT_EQ(ftp.DataConnection(), nullptr);
        EXPECT_EQ(ftp.LastReply().NumericCode(), 426);
        EXPECT_NO_THROW(ftp.ChangeDirectory("/"));
        EXPECT_EQ(ftp.LastReply().NumericCode(), 250);
        ftp.CloseConnection();
        EXPECT_TRUE(peer.Finish());
    }
}

// A server that closes the data connection without a word on the control connection: the
// upload fails with the socket error, and a control connection that stays silent does not hold
// the failure back for longer than its read time-out.
TEST(FaultTableTest, ADataConnectionClosedMidFileWithoutAnAnswerFailsWithinTheReadTimeout) {
    ScriptedPeer peer;
    ScriptUploadUnderway(peer, false);
    peer.Close().Use(0).ExpectEof();
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    ftp.SetReadTimeout(500);
    TMemoryStream page(BigPage());
    EXPECT_THROW(ftp.StoreStream(page, "big.html", false), EIdSocketError);
    ftp.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

// Trailer fields after the last chunk belong to the response: a connection kept open for the
// next request must start that request's response after them.
TEST(FaultTableTest, ChunkedTrailersOnAKeptOpenConnection) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/first"))
        .Send(
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n"
            "X-Checksum: 5d41402a\r\nX-Served-By: edge\r\n\r\n")
        .ExpectBytes(RequestHead(peer, "/second"))
        .SendInPieces(
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n"
            "X-Trailer: in pieces\r\n\r\n",
            7, 5)
        .ExpectBytes(RequestHead(peer, "/third"))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(peer, "/first")), "hello");
    EXPECT_TRUE(http.IsConnected());
    EXPECT_EQ(Get(http, Url(peer, "/second")), "ok");
    EXPECT_EQ(Get(http, Url(peer, "/third")), "ok");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 1);
}

// What the upload in the child process ended with, as its exit status.
enum ChildOutcome { kFailedWithSocketError = 0, kSucceeded = 1, kFailedOtherwise = 2 };

// The server closes the data connection after 64 KiB while the program keeps sending, with
// SIGPIPE at its default disposition (which ends a process that writes to a closed socket
// without asking not to be signalled). The upload runs in a child process so that such a
// death is seen instead of ending the test program.
TEST(FaultTableTest, AServerClosingMidUploadDoesNotKillTheProcessThroughSigpipe) {
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ScriptedPeer peer;
        ScriptUploadUnderway(peer, passive);
        peer.Close().Use(0).Send("426 Failure writing network stream.\r\n").ExpectEof();
        // The child is forked before the peer's thread starts, so it holds none of the peer's
        // connections and runs single-threaded.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGPIPE, SIG_DFL);
            int outcome = kFailedOtherwise;
            try {
                RecordingFtp ftp;
                ftp.Aim(peer);
                ftp.SetPassive(passive);
                ftp.ConnectAndLogin(true, -1);
                TMemoryStream page(BigPage());
                ftp.StoreStream(page, "big.html", false);
                outcome = kSucceeded;
            } catch (const EIdSocketError&) {
                outcome = kFailedWithSocketError;
            } catch (...) {
            }
            ::_exit(outcome);
        }
        peer.Start();
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), kFailedWithSocketError);
        EXPECT_TRUE(peer.Finish());
    }
}

}  // namespace
}  // namespace velomaris
