// The FTP client against a scripted server: the command transcript and the failures.
#include <gtest/gtest.h>

#include <regex>

#include "net/IdFTP.h"
#include "platform/Stream.h"
#include "tests/net/FtpScripts.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

TEST(FtpControlTest, LogsInWithAMultiLineGreeting) {
    ScriptedPeer peer;
    peer.Accept()
        .Send("220-Welcome to the\r\n220-test server\r\n")
        .Stall(30ms)  // the client must wait for the last greeting line before USER
        .Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    EXPECT_EQ(ftp.WelcomeReply().NumericCode(), 220);
    EXPECT_EQ(ftp.WelcomeReply().Text,
              (std::vector<std::string>{"Welcome to the", "test server", "ready"}));
    EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(ftp.ServerSystem(), "UNIX Type: L8");
    EXPECT_EQ(ftp.texts.back(), "Connection established");
    EXPECT_TRUE(peer.Finish());
}

TEST(FtpControlTest, UserAnsweredWith230GetsNoPassword) {
    ScriptedPeer peer;
    peer.Accept()
        .Send("220 ready\r\n")
        .ExpectLine("USER anna")
        .Send("230 no password needed\r\n")
        .ExpectLine("TYPE I")
        .Send("200 ok\r\n")
        .ExpectLine("SYST")
        .Send("500 what?\r\n");
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    EXPECT_EQ(ftp.ServerSystem(), "Unknown") << "SYST 500 still logs in";
    EXPECT_TRUE(ftp.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(FtpControlTest, LoginRefusalsCloseTheConnection) {
    struct Row {
        const char* name;
        std::function<void(ScriptedPeer&)> script;
        int code;
    } rows[] = {
        {"greeting 421", [](ScriptedPeer& p) { p.Accept().Send("421 Too many users\r\n"); }, 421},
        {"account wanted (332)",
         [](ScriptedPeer& p) {
             p.Accept()
                 .Send("220 ready\r\n")
                 .ExpectLine("USER anna")
                 .Send("331 password\r\n")
                 .ExpectLine("PASS secret")
                 .Send("332 Need account\r\n");
         },
         332},
        {"wrong password",
         [](ScriptedPeer& p) {
             p.Accept()
                 .Send("220 ready\r\n")
                 .ExpectLine("USER anna")
                 .Send("331 password\r\n")
                 .ExpectLine("PASS secret")
                 .Send("530 Login incorrect.\r\n");
         },
         530},
        {"SYST 502",
         [](ScriptedPeer& p) {
             p.Accept()
                 .Send("220 ready\r\n")
                 .ExpectLine("USER anna")
                 .Send("230 in\r\n")
                 .ExpectLine("TYPE I")
                 .Send("200 ok\r\n")
                 .ExpectLine("SYST")
                 .Send("502 Not implemented\r\n");
         },
         502},
    };
    for (const Row& row : rows) {
        ScriptedPeer peer;
        row.script(peer);
        peer.ExpectEof();  // closed without QUIT
        peer.Start();
        RecordingFtp ftp;
        ftp.Aim(peer);
        try {
            ftp.ConnectAndLogin(true, -1);
            ADD_FAILURE() << row.name << ": the login succeeded";
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(e.ReplyCode(), row.code) << row.name;
        }
        EXPECT_EQ(ftp.IOHandler(), nullptr) << row.name << ": the connection is closed";
        EXPECT_TRUE(peer.Finish()) << row.name;
    }
}

TEST(FtpControlTest, HostAndPortSurviveAFailedConnect) {
    RecordingFtp ftp;
    ftp.SetHost("ftp.no-such-host.invalid");
    ftp.SetPort(2121);
    ftp.ProxySettings().Host = "127.0.0.1";  // ignored: no proxy type chosen
    ftp.ProxySettings().Port = 1;
    try {
        ftp.ConnectAndLogin(true, -1);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 11001);
    }
    EXPECT_EQ(ftp.Host(), "ftp.no-such-host.invalid");
    EXPECT_EQ(ftp.Port(), 2121);
}

TEST(FtpControlTest, ASecondLoginWithoutCloseFailsAndCloses) {
    ScriptedPeer peer;
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.ExpectEof();
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    try {
        ftp.ConnectAndLogin(true, -1);
        FAIL();
    } catch (const EIdAlreadyConnected& e) {
        EXPECT_EQ(e.Message(), "Already connected.");
    }
    EXPECT_FALSE(ftp.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(FtpControlTest, ChangeDirectorySendsThePathUnchanged) {
    ScriptedPeer peer;
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.ExpectLine("CWD /web site/ home ")
        .Send("250 ok\r\n")
        .ExpectLine("CWD /missing")
        .Send("550 No such directory.\r\n")
        .ExpectLine("CWD ")
        .Send("501 Syntax error\r\n")
        .ExpectLine("CWD /")
        .Send("200 ok\r\n");
    peer.Start();
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    ftp.ChangeDirectory("/web site/ home ");
    try {
        ftp.ChangeDirectory("/missing");
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_EQ(e.Message(), "No such directory.\r\n");
    }
    EXPECT_THROW(ftp.ChangeDirectory(""), EIdProtocolReplyError);
    ftp.ChangeDirectory("/");  // still logged in and in step
    EXPECT_TRUE(peer.Finish());
}

TEST(FtpControlTest, LineBreaksInSettingsAndNamesAreRefusedBeforeSending) {
    ScriptedPeer peer;
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.ExpectLine("CWD /ok").Send("250 ok\r\n");
    peer.Start();
    {
        RecordingFtp injected;
        injected.Aim(peer);
        injected.SetUsername("anna\r\nDELE index.html");
        EXPECT_THROW(injected.ConnectAndLogin(true, -1), EIdFTPInvalidArgument);
        injected.SetUsername("anna");
        injected.SetPassword(std::string("secret\0x", 8));
        EXPECT_THROW(injected.ConnectAndLogin(true, -1), EIdFTPInvalidArgument);
    }
    EXPECT_EQ(peer.ConnectionCount(), 0) << "no connection was even opened";
    RecordingFtp ftp;
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    try {
        ftp.ChangeDirectory("/a\nRMD /");
        FAIL();
    } catch (const EIdFTPInvalidArgument& e) {
        EXPECT_EQ(e.Message(), "The directory contains a line break or NUL byte.");
    }
    TMemoryStream page("x");
    EXPECT_THROW(ftp.StoreStream(page, "index.html\rDELE x", false), EIdFTPInvalidArgument);
    ftp.ChangeDirectory("/ok");
    EXPECT_TRUE(peer.Finish()) << "the peer saw none of the refused commands";
}

TEST(FtpControlTest, ProxyUserSiteLogsInThroughTheProxy) {
    ScriptedPeer peer;
    peer.Accept()
        .Send("220 proxy ready\r\n")
        .ExpectLine("USER gate")
        .Send("331 proxy password\r\n")
        .ExpectLine("PASS gatepw")
        .Send("230 proxy ok\r\n")
        .ExpectLine("USER anna@ftp.example.invalid")
        .Send("331 password\r\n")
        .ExpectLine("PASS secret")
        .Send("230 in\r\n")
        .ExpectLine("TYPE I")
        .Send("200 ok\r\n")
        .ExpectLine("SYST")
        .Send("215 UNIX\r\n");
    peer.Start();
    RecordingFtp ftp;
    ftp.SetHost("ftp.example.invalid");
    ftp.SetUsername("anna");
    ftp.SetPassword("secret");
    ftp.ProxySettings() = {TIdFtpProxyType::fpcmUserSite, "127.0.0.1", "gate", "gatepw",
                           peer.Port()};
    ftp.ConnectAndLogin(true, -1);
    EXPECT_EQ(ftp.Host(), "ftp.example.invalid");
    EXPECT_EQ(ftp.Port(), 21);
    EXPECT_TRUE(peer.Finish());
}

TEST(FtpControlTest, ProxyLoginCommands) {
    struct Row {
        TIdFtpProxyType type;
        std::string proxyPassword;
        std::vector<std::string> commands;
    } rows[] = {
        {TIdFtpProxyType::fpcmSite, "", {"SITE ftp.example.invalid", "USER anna", "PASS secret"}},
        {TIdFtpProxyType::fpcmOpen, "", {"OPEN ftp.example.invalid", "USER anna", "PASS secret"}},
        {TIdFtpProxyType::fpcmTransparent, "", {"USER anna", "PASS secret"}},
        {TIdFtpProxyType::fpcmUserPass, "", {"USER anna@gate@ftp.example.invalid", "PASS secret"}},
        {TIdFtpProxyType::fpcmUserPass,
         "gatepw",
         {"USER anna@gate@ftp.example.invalid", "PASS secret@gatepw"}},
    };
    for (const Row& row : rows) {
        ScriptedPeer peer;
        peer.Accept().Send("220 ready\r\n");
        for (const std::string& command : row.commands) {
            // USER gets 331 so that PASS follows; the others get any positive reply.
            peer.ExpectLine(command).Send(command.rfind("USER", 0) == 0   ? "331 pw\r\n"
                                          : command.rfind("PASS", 0) == 0 ? "230 in\r\n"
                                                                          : "200 ok\r\n");
        }
        peer.ExpectLine("TYPE I").Send("200 ok\r\n").ExpectLine("SYST").Send("215 UNIX\r\n");
        peer.Start();
        RecordingFtp ftp;
        ftp.SetHost("ftp.example.invalid");
        ftp.SetUsername("anna");
        ftp.SetPassword("secret");
        // No proxy user for the types that log in to the proxy first: that login is skipped.
        ftp.ProxySettings() = {row.type, "127.0.0.1",
                               row.type == TIdFtpProxyType::fpcmUserPass ? "gate" : "",
                               row.proxyPassword, peer.Port()};
        ftp.ConnectAndLogin(true, -1);
        EXPECT_TRUE(peer.Finish()) << row.commands.front();
    }
    RecordingFtp unsupported;
    unsupported.ProxySettings().ProxyType = TIdFtpProxyType::fpcmHttpProxyWithFtp;
    try {
        unsupported.SendLogin();
        FAIL();
    } catch (const EIdException& e) {
        EXPECT_EQ(e.Message(), "Command not supported.");
    }
}

TEST(FtpControlTest, TransferTypeIsSentWhenConnected) {
    ScriptedPeer peer;
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.ExpectLine("TYPE A").Send("200 ok\r\n");
    peer.Start();
    RecordingFtp ftp;
    ftp.SetTransferType(TIdFTPTransferType::ftBinary);  // unchanged: nothing to send
    ftp.Aim(peer);
    ftp.ConnectAndLogin(true, -1);
    ftp.SetTransferType(TIdFTPTransferType::ftASCII);
    ftp.SetTransferType(TIdFTPTransferType::ftASCII);
    EXPECT_TRUE(peer.Finish());
}

}  // namespace
}  // namespace velomaris
