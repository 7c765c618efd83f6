// FTP uploads against a scripted server: active and passive data connections, final replies,
// and a control connection the server dropped while idle.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/IdFTP.h"
#include "platform/Stream.h"
#include "tests/net/FtpScripts.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

// True when something listens on 127.0.0.1:port.
bool Listening(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A scripted server logged in as anna, a client logged in to it, and a directory for files.
class FtpUploadTest : public LoggedInFtpTest {
protected:
    TempDir dir;
};

TEST(FtpPortCommandTest, SplitsThePortIntoHighAndLowByte) {
    struct Row {
        const char* ip;
        int port;
        const char* line;
    } rows[] = {
        {"192.168.1.5", 3000, "PORT 192,168,1,5,11,184"},
        {"127.0.0.1", 255, "PORT 127,0,0,1,0,255"},
        {"127.0.0.1", 256, "PORT 127,0,0,1,1,0"},
        {"10.0.0.1", 65535, "PORT 10,0,0,1,255,255"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TIdFTP::FormatPortCommand(row.ip, row.port), row.line);
    }
}

TEST(FtpPassiveReplyTest, ParsesWithAndWithoutParentheses) {
    struct Row {
        const char* text;
        const char* address;
        int port;
    } rows[] = {
        {"Entering Passive Mode (127,0,0,1,4,1).", "127.0.0.1", 1025},
        {"  Entering Passive Mode (10,1,2,3,0,21)  ", "10.1.2.3", 21},
        {"Entering Passive Mode 192,168,0,9,255,255", "192.168.0.9", 65535},
        {"Passive 127,0,0,1,1,0", "127.0.0.1", 256},
    };
    for (const Row& row : rows) {
        auto [address, port] = TIdFTP::ParsePassiveReply(row.text);
        EXPECT_EQ(address, row.address) << row.text;
        EXPECT_EQ(port, row.port) << row.text;
    }
    EXPECT_THROW(TIdFTP::ParsePassiveReply("Passive (a,b,c,d,e,f)"), EConvertError);
    EXPECT_THROW(TIdFTP::ParsePassiveReply("Passive (1,2,3,4,5)"), EIdException);
    EXPECT_THROW(TIdFTP::ParsePassiveReply("Passive (1,2,3,4,5,6,7)"), EIdException);
    EXPECT_THROW(TIdFTP::ParsePassiveReply("Passive (1,2,3,4,256,0)"), EIdException)
        << "a byte over 255 must not wrap into another port";
}

TEST_F(FtpUploadTest, ActiveUploadSendsTheFileOverTheAnnouncedPort) {
    const std::string body = PatternBytes(200000);
    dir.Write("page.html", body);
    ScriptActiveUpload(peer, "STOR my page.html");
    LogIn();
    ftp.texts.clear();
    ftp.StoreFile(dir.File("page.html"), "my page.html", false);
    EXPECT_EQ(ftp.texts, (std::vector<std::string>{"Starting FTP transfer", "Transfer complete"}));
    EXPECT_EQ(ftp.DataConnection(), nullptr);
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Received(1) == body);
}

TEST_F(FtpUploadTest, AnEmptyFileIsAcceptedAndNothingIsSent) {
    dir.Write("empty.html", "");
    ScriptActiveUpload(peer, "STOR empty.html");
    LogIn();
    ftp.StoreFile(dir.File("empty.html"), "empty.html", false);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 2) << "the data connection was accepted";
    EXPECT_EQ(peer.Received(1), "");
}

TEST_F(FtpUploadTest, AbortedThenConfirmedCountsAsSuccess) {
    ScriptActiveUpload(peer, "STOR a.html",
                       "426 Connection closed; transfer aborted.\r\n226 ok\r\n");
    LogIn();
    TMemoryStream page("<html></html>");
    ftp.texts.clear();
    ftp.StoreStream(page, "a.html", false);
    EXPECT_EQ(ftp.texts.back(), "Transfer aborted");
    EXPECT_TRUE(peer.Finish());
}

TEST_F(FtpUploadTest, AbortedThenRefusedRaises) {
    ScriptActiveUpload(peer, "STOR a.html", "426 aborted\r\n550 Disk trouble\r\n");
    LogIn();
    TMemoryStream page("<html></html>");
    try {
        ftp.StoreStream(page, "a.html", false);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
    }
    EXPECT_TRUE(peer.Finish());
}

TEST_F(FtpUploadTest, ARefusedUploadKeepsTheControlConnectionInStep) {
    auto port = std::make_shared<int>(0);
    peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
        .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
        .Send("200 ok\r\n")
        .ExpectLine("STOR locked.html")
        .Send("550 locked.html: Permission denied\r\n")
        .ExpectLine("CWD /")
        .Send("250 ok\r\n");
    LogIn();
    TMemoryStream page("x");
    try {
        ftp.StoreStream(page, "locked.html", false);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_EQ(e.Message(), "locked.html: Permission denied\r\n");
    }
    EXPECT_EQ(ftp.texts.back(), "Transfer complete");
    ftp.ChangeDirectory("/");
    ASSERT_TRUE(peer.Finish());
    EXPECT_FALSE(Listening(*port)) << "the listener was closed";
}

TEST_F(FtpUploadTest, TwoUploadsUseOneControlConnectionAndTwoListeners) {
    auto first = ScriptActiveUpload(peer, "STOR one.html");
    auto second = ScriptActiveUpload(peer, "STOR two.html");
    LogIn();
    TMemoryStream one("first page");
    TMemoryStream two("second page");
    ftp.StoreStream(one, "one.html", false);
    ftp.StoreStream(two, "two.html", false);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 3);
    EXPECT_EQ(peer.Received(1), "first page");
    EXPECT_EQ(peer.Received(2), "second page");
    EXPECT_NE(*first, *second) << "each upload listens on a port chosen anew";
}

TEST_F(FtpUploadTest, OtherUploadCommands) {
    ScriptActiveUpload(peer, "APPE log.txt");
    ScriptActiveUpload(peer, "STOU ");
    LogIn();
    TMemoryStream a("more");
    TMemoryStream b("unique");
    ftp.StoreStream(a, "log.txt", true);
    ftp.StoreStream(b, "", false);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Received(1), "more");
    EXPECT_EQ(peer.Received(2), "unique");
}

TEST_F(FtpUploadTest, AMissingLocalFileFailsBeforeAnythingIsSent) {
    peer.ExpectLine("CWD /").Send("250 ok\r\n");
    LogIn();
    EXPECT_THROW(ftp.StoreFile(dir.File("missing.html"), "missing.html", false), EFOpenError);
    ftp.ChangeDirectory("/");
    EXPECT_TRUE(peer.Finish());
}

TEST_F(FtpUploadTest, AnIdleConnectionDroppedWithoutReply) {
    peer.Close();
    CountingIOHandler handler;
    ftp.SetIOHandler(&handler);
    LogIn();
    ASSERT_TRUE(peer.Finish());  // the server has gone
    TMemoryStream page("x");
    ftp.texts.clear();
    EXPECT_THROW(ftp.StoreStream(page, "a.html", false), EIdConnClosedGracefully);
    EXPECT_NE(std::find(ftp.texts.begin(), ftp.texts.end(), "Disconnected."), ftp.texts.end());
    // Released now: the next upload fails at once, at its first command.
    ftp.texts.clear();
    const int sends = handler.sends;
    const int receives = handler.receives;
    EXPECT_THROW(ftp.StoreStream(page, "a.html", false), EIdConnClosedGracefully);
    EXPECT_EQ(handler.sends, sends) << "nothing is written";
    EXPECT_EQ(handler.receives, receives) << "nothing is read";
    ftp.SetIOHandler(nullptr);
    EXPECT_EQ(ftp.texts, (std::vector<std::string>{"Starting FTP transfer", "Transfer complete"}));
}

TEST_F(FtpUploadTest, ATimeOutNoticeIsTakenAsTheAnswerToPort) {
    peer.Send("421 Timeout (300 seconds): closing control connection.\r\n")
        .ExpectLineMatching("PORT .*");
    LogIn();
    TMemoryStream page("x");
    try {
        ftp.StoreStream(page, "a.html", false);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 421);
        EXPECT_EQ(e.Message(), "Timeout (300 seconds): closing control connection.\r\n");
    }
    EXPECT_TRUE(ftp.IsConnected()) << "the socket stays open";
    EXPECT_TRUE(peer.Finish());
}

TEST_F(FtpUploadTest, AResetControlConnectionRaises10054) {
    peer.Stall(20ms).Reset();
    LogIn();
    ASSERT_TRUE(peer.Finish());
    TMemoryStream page("x");
    try {
        ftp.StoreStream(page, "a.html", false);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10054);
    }
}

TEST_F(FtpUploadTest, AServerThatNeverConnectsDoesNotHangTheUpload) {
    auto port = std::make_shared<int>(0);
    peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
        .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
        .Send("200 ok\r\n")
        .ExpectLine("STOR a.html")
        .Send("150 ok\r\n");
    LogIn();
    ftp.SetDataConnectTimeout(200);
    TMemoryStream page("x");
    EXPECT_THROW(ftp.StoreStream(page, "a.html", false), EIdAcceptTimeout);
    EXPECT_EQ(ftp.DataConnection(), nullptr);
    EXPECT_EQ(ftp.texts.back(), "Transfer complete");
    ASSERT_TRUE(peer.Finish());
    EXPECT_FALSE(Listening(*port)) << "the listener was closed";
}

// Passive uploads: the peer's second listener is the data port it announces.
TEST_F(FtpUploadTest, PassiveUploadWithAndWithoutParentheses) {
    const int data = peer.AddListener();
    const int port = peer.ListenerPort(data);
    const std::string p1 = std::to_string(port / 256);
    const std::string p2 = std::to_string(port % 256);
    // With parentheses, announcing a private address: the client still connects to the
    // control connection's peer (127.0.0.1), where the data listener is.
    peer.ExpectLine("PASV")
        .Send("227 Entering Passive Mode (10,9,8,7," + p1 + "," + p2 + ").\r\n")
        .ExpectLine("STOR one.html")
        .Accept(data)
        .Use(0)
        .Send("150 go ahead\r\n")
        .Use(1)
        .ReadToEof()
        .Use(0)
        .Send("226 done\r\n")
        .ExpectLine("PASV")
        .Send("227 Entering Passive Mode 127,0,0,1," + p1 + "," + p2 + "\r\n")
        .ExpectLine("STOR two.html")
        .Accept(data)
        .Use(0)
        .Send("125 go ahead\r\n")
        .Use(2)
        .ReadToEof()
        .Use(0)
        .Send("226 done\r\n");
    LogIn();
    ftp.SetPassive(true);
    const std::string body = PatternBytes(100000);
    TMemoryStream one(body);
    TMemoryStream two("second");
    ftp.StoreStream(one, "one.html", false);
    ftp.StoreStream(two, "two.html", false);
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Received(1) == body);
    EXPECT_EQ(peer.Received(2), "second");
}

}  // namespace
}  // namespace velomaris
