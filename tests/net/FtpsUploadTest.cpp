// The FTP client with explicit TLS against real servers on loopback: pyftpdlib's TLS handler
// and vsftpd (which insists that every data connection resume the control connection's TLS
// session), in passive and active mode. The certificates come from a test CA made at test
// time; the uploaded file must equal the local one byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/IdFTP.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FtpsServerFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsTestCertificates.h"

namespace velomaris {
namespace {

using testing::RandomBytes;

class FtpsUploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = new TlsTestCertificates(); }
    static void TearDownTestSuite() {
        delete certificates_;
        certificates_ = nullptr;
    }
    void SetUp() override { environment_.Set("SSL_CERT_FILE", certificates_->CaFile()); }

    static std::unique_ptr<FtpsServer> StartPyFtpd(const std::string& kind, bool withTls = true) {
        return std::make_unique<PyFtpdTlsServer>(certificates_->CertFile(kind),
                                                 certificates_->KeyFile(kind), withTls);
    }
    static std::unique_ptr<FtpsServer> StartVsftpd(const std::string& kind) {
        return std::make_unique<VsftpdTlsServer>(certificates_->CertFile(kind),
                                                 certificates_->KeyFile(kind));
    }

    void Configure(TIdFTP& ftp, const FtpsServer& server, bool passive) {
        ftp.SetHost("127.0.0.1");
        ftp.SetPort(server.Port());
        ftp.SetUsername(server.User());
        ftp.SetPassword(server.Password());
        ftp.SetUseTLS(true);
        ftp.SetPassive(passive);
        ftp.SetReadTimeout(20000);
        ftp.SetDataConnectTimeout(20000);
    }

    // Logs in, uploads two files on the one control connection (so a second data connection
    // resumes the session too) and compares what the server stored.
    void UploadAndCompare(TIdFTP& ftp, const FtpsServer& server, const std::string& label) {
        const std::string files[][2] = {
            {"page.html", RandomBytes(300 * 1024 + 17, 7)},
            {"empty.html", ""},
        };
        ASSERT_NO_THROW(ftp.ConnectAndLogin(true, -1)) << label << "\n" << server.Log();
        ftp.ChangeDirectory(server.UploadDirectory());
        for (const auto& [name, bytes] : files) {
            local_.Write(name, bytes);
            ASSERT_NO_THROW(ftp.StoreFile(local_.File(name), name, false))
                << label << " " << name << "\n"
                << server.Log();
            const std::string stored = ReadWholeFile(server.UploadPath() + name);
            EXPECT_EQ(stored.size(), bytes.size()) << label << " " << name;
            EXPECT_TRUE(stored == bytes) << label << " " << name << ": the stored bytes differ";
        }
        ftp.CloseConnection();
    }

    static TlsTestCertificates* certificates_;
    testing::ScopedEnvironment environment_;
    TempDir local_;
};

TlsTestCertificates* FtpsUploadTest::certificates_ = nullptr;

TEST_F(FtpsUploadTest, PyFtpdStoresTheFileUnchangedInPassiveAndActiveMode) {
    for (const bool passive : {true, false}) {
        auto server = StartPyFtpd("good");
        TIdFTP ftp;
        Configure(ftp, *server, passive);
        UploadAndCompare(ftp, *server, passive ? "passive" : "active");
    }
}

TEST_F(FtpsUploadTest, VsftpdAcceptsDataConnectionsThatResumeTheControlSession) {
    if (!VsftpdTlsServer::Available()) {
        GTEST_SKIP() << "vsftpd needs root and its ftp user";
    }
    for (const bool passive : {true, false}) {
        auto server = StartVsftpd("good");
        TIdFTP ftp;
        Configure(ftp, *server, passive);
        UploadAndCompare(ftp, *server, passive ? "passive" : "active");
        // The server's transcript: TLS before the user name, data protection after the login.
        std::vector<std::string> commands;
        const std::string log = server->Log();
        const std::string marker = "FTP command: Client \"127.0.0.1\", \"";
        for (std::size_t at = log.find(marker); at != std::string::npos;
             at = log.find(marker, at + 1)) {
            const std::size_t start = at + marker.size();
            commands.push_back(log.substr(start, log.find('"', start) - start));
        }
        // The anonymous user needs no password: USER is answered with 230 at once.
        ASSERT_GE(commands.size(), 8u) << log;
        commands.resize(8);
        const std::string transfer = passive ? "PASV" : "PORT";
        EXPECT_EQ(commands[7].substr(0, 4), transfer);
        commands.pop_back();
        EXPECT_EQ(commands, (std::vector<std::string>{"AUTH TLS", "USER anonymous", "PBSZ 0",
                                                      "PROT P", "TYPE I", "SYST", "CWD www"}));
    }
}

TEST_F(FtpsUploadTest, AServerWithoutTlsFailsTheLoginBeforeTheUserNameLeaves) {
    auto server = StartPyFtpd("good", false);
    TIdFTP ftp;
    Configure(ftp, *server, true);
    try {
        ftp.ConnectAndLogin(true, -1);
        FAIL() << "logged in without TLS";
    } catch (const EIdTLSError& error) {
        EXPECT_NE(error.Message().find("refused TLS (AUTH TLS: 5"), std::string::npos)
            << error.Message();
    }
    EXPECT_FALSE(ftp.IsConnected());
    const std::string log = server->Log();
    EXPECT_EQ(log.find("USER"), std::string::npos) << log;
    EXPECT_EQ(log.find(server->Password()), std::string::npos) << log;
}

TEST_F(FtpsUploadTest, AnUnknownIssuerFailsTheLoginUnlessItsFingerprintIsPinned) {
    auto server = StartPyFtpd("unknown");
    {
        TIdFTP ftp;
        Configure(ftp, *server, true);
        try {
            ftp.ConnectAndLogin(true, -1);
            FAIL() << "an unverified certificate was accepted";
        } catch (const EIdTLSError& error) {
            EXPECT_EQ(error.Reason(), "unable to get local issuer certificate");
            EXPECT_NE(error.Message().find(certificates_->Fingerprint("unknown")),
                      std::string::npos)
                << error.Message();
        }
    }
    {
        // The pin covers the data connections as well.
        TIdFTP ftp;
        Configure(ftp, *server, true);
        ftp.SetCertificatePin(certificates_->Fingerprint("unknown"));
        UploadAndCompare(ftp, *server, "pinned");
    }
    {
        TIdFTP ftp;
        Configure(ftp, *server, true);
        ftp.SetCertificatePin(certificates_->Fingerprint("good"));
        EXPECT_THROW(ftp.ConnectAndLogin(true, -1), EIdTLSError);
    }
}

TEST_F(FtpsUploadTest, APinThatIsNoFingerprintFailsTheLoginBeforeAnythingIsSent) {
    auto server = StartPyFtpd("good");
    TIdFTP ftp;
    Configure(ftp, *server, true);
    ftp.SetCertificatePin("not a fingerprint");
    EXPECT_THROW(ftp.ConnectAndLogin(true, -1), EIdTLSInvalidPin);
    EXPECT_FALSE(ftp.IsConnected());
}

}  // namespace
}  // namespace velomaris
