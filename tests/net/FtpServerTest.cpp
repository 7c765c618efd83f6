// The FTP client against a real server (Debian's pyftpdlib on a loopback port).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "net/IdFTP.h"
#include "platform/Stream.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using testing::RandomBytes;

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((server.Home() + "site").c_str(), 0755);
        ftp.SetHost("127.0.0.1");
        ftp.SetPort(server.Port());
        ftp.SetUsername(server.User());
        ftp.SetPassword(server.Password());
    }
    // Uploads every file of the table in the current mode and compares what the server
    // stored, byte for byte.
    void UploadAndCompare() {
        struct Row {
            const char* name;
            std::string bytes;
        } rows[] = {
            {"random.bin", RandomBytes(1024 * 1024, 42)},
            {"empty.html", ""},
            {"line ends.html", std::string("\r\n\n\r\0\r\0\n\0\0\r\r\n\n", 14) + "end\r\n"},
        };
        ftp.ConnectAndLogin(true, -1);
        ftp.ChangeDirectory("site");
        for (const Row& row : rows) {
            local.Write(row.name, row.bytes);
            ftp.StoreFile(local.File(row.name), row.name, false);
            std::string stored;
            ASSERT_NO_THROW(stored = ReadStored(row.name)) << row.name;
            EXPECT_EQ(stored.size(), row.bytes.size()) << row.name;
            EXPECT_TRUE(stored == row.bytes) << row.name << ": the stored bytes differ";
        }
        ftp.CloseConnection();
    }
    std::string ReadStored(const std::string& name) {
        return ReadWholeFile(server.Home() + "site/" + name);
    }

    FtpServerFixture server;
    TIdFTP ftp;
    TempDir local;
};

TEST_F(FtpServerTest, LogsInAndUploadsOverActiveDataConnections) {
    UploadAndCompare();
    EXPECT_EQ(ftp.ServerSystem(), "UNIX Type: L8");
    EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(ftp.WelcomeReply().NumericCode(), 220);
}

TEST_F(FtpServerTest, UploadsOverPassiveDataConnections) {
    ftp.SetPassive(true);
    UploadAndCompare();
}

TEST_F(FtpServerTest, ReplacesAnExistingFile) {
    ftp.ConnectAndLogin(true, -1);
    ftp.ChangeDirectory("/site");
    local.Write("index.html", "a much longer first version of the page");
    ftp.StoreFile(local.File("index.html"), "index.html", false);
    local.Write("index.html", "short");
    ftp.StoreFile(local.File("index.html"), "index.html", false);
    EXPECT_EQ(ReadStored("index.html"), "short");
}

TEST_F(FtpServerTest, AWrongPasswordIsRefusedWith530) {
    ftp.SetPassword("wrong");
    try {
        ftp.ConnectAndLogin(true, -1);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 530);
    }
    EXPECT_FALSE(ftp.IsConnected());
}

TEST_F(FtpServerTest, AMissingDirectoryGivesTheCwdError) {
    ftp.ConnectAndLogin(true, -1);
    try {
        ftp.ChangeDirectory("/no such dir");
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_NE(e.Message().find("No such file or directory"), std::string::npos) << e.Message();
    }
    ftp.ChangeDirectory("/site");  // still logged in
}

}  // namespace
}  // namespace velomaris
