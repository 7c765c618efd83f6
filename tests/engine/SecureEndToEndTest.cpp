// The real velomaris-headless with an https page and an FTPS server, both on 127.0.0.1: the
// page's certificate is trusted through SSL_CERT_FILE (the test CA, for this program run
// only), the FTP server's unknown-issuer certificate through its pinned fingerprint, and the
// upload goes over passive TLS data connections.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/Text.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "tests/engine/HeadlessProgramCopy.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FtpsServerFixture.h"
#include "tests/support/HttpsServerFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsTestCertificates.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

TEST(SecureEndToEndTest, AnHttpsPageIsUploadedOverFtpsWithAPinnedServerCertificate) {
    TlsTestCertificates certificates;
    HttpsServerFixture site(certificates.CertFile("good"), certificates.KeyFile("good"));
    PyFtpdTlsServer ftp(certificates.CertFile("unknown"), certificates.KeyFile("unknown"));
    std::filesystem::create_directory(ftp.UploadPath() + "www");
    const std::string uploaded = ftp.UploadPath() + "www/index.html";

    TempDir dir;
    CopyHeadlessProgram(dir);
    const TProfileFile settings(dir.File("setfile.ini"));
    const std::string ftpSection = Utf8ToGbk("FTP参数");
    settings.WriteString(ftpSection, "ftpaddr", "127.0.0.1:" + std::to_string(ftp.Port()));
    settings.WriteString(ftpSection, "ftpuser", ftp.User());
    settings.WriteString(ftpSection, "ftppass", EncodePassword(ftp.Password()));
    settings.WriteString(ftpSection, "ftpdir", "www");
    settings.WriteString(ftpSection, "ftppasv", "1");
    settings.WriteString(ftpSection, "ftptls", "1");
    settings.WriteString(ftpSection, "ftpcert", certificates.Fingerprint("unknown"));
    settings.WriteString(Utf8ToGbk("WEB参数"), "webmain", site.SecureUrl("/page"));
    settings.WriteString(Utf8ToGbk("WEB参数"), "webfile", "index");
    settings.WriteInteger(Utf8ToGbk("启动设置"), "difftime", 1000);
    settings.WriteString(Utf8ToGbk("软件启动项"), "diff", "1");

    ChildProcess::Options options;
    options.program = dir.File("velomaris-headless");
    options.environment = {"SSL_CERT_FILE=" + certificates.CaFile()};
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess program(options);
    // The result window of the upload names the uploaded page's address.
    const std::string pageAddress =
        "https://localhost:" + std::to_string(site.SecurePort()) + "/index.html";
    ASSERT_TRUE(program.WaitUntil(
        [&] { return program.Output().find(pageAddress) != std::string::npos; }, 30s))
        << program.Output() << "\n"
        << ftp.Log();
    EXPECT_EQ(ReadBytes(uploaded), "<html><body>PAGE over https</body></html>");

    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0);
    EXPECT_EQ(program.Output().find("(error)"), std::string::npos) << program.Output();
    EXPECT_EQ(program.Output().find("失败"), std::string::npos) << program.Output();
}

}  // namespace
}  // namespace velomaris
