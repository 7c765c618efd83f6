// The real velomaris-headless as a site owner runs it: a setfile.ini beside it asks for the
// differential update at launch, with a period of one second, against a PHP page and an FTP
// server on 127.0.0.1. The first cycle uploads the page, a changed page is uploaded again,
// an unchanged one is not.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Text.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "tests/engine/HeadlessProgramCopy.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TextCount.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

// Every request is counted in requests.log; the page is page.html as it stands.
const char* const kRouter = R"PHP(<?php
file_put_contents(__DIR__ . '/requests.log', $_SERVER['REQUEST_URI'] . "\n", FILE_APPEND | LOCK_EX);
header('Content-Type: text/html; charset=gbk');
readfile(__DIR__ . '/page.html');
)PHP";

// CR LF line breaks: the differential cycle stores the page with its line breaks made CR LF,
// so such a page arrives on the server byte for byte. "首页" in GBK.
const std::string kFirstPage =
    "<!DOCTYPE html>\r\n<html>\r\n<body>\r\n<h1>\xCA\xD7\xD2\xB3</h1>\r\n<p>one</p>\r\n"
    "</body>\r\n</html>\r\n";
const std::string kSecondPage =
    "<!DOCTYPE html>\r\n<html>\r\n<body>\r\n<h1>\xCA\xD7\xD2\xB3</h1>\r\n<p>two</p>\r\n"
    "</body>\r\n</html>\r\n";

// Replaces the file in one step, so the server never serves half of it.
void ReplaceFile(const TempDir& dir, const std::string& name, const std::string& bytes) {
    dir.Write(name + ".new", bytes);
    std::filesystem::rename(dir.File(name + ".new"), dir.File(name));
}

std::int64_t ModifiedNs(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// Runs velomaris-set-ftp-password on the file with the password (UTF-8) on its standard
// input; returns its exit status.
int StorePassword(const std::string& file, const std::string& password) {
    const std::string command =
        std::string("'") + VELOMARIS_SET_PASSWORD_PATH + "' '" + file + "' 2>/dev/null";
    FILE* helper = ::popen(command.c_str(), "w");
    if (helper == nullptr) {
        return -1;
    }
    std::fputs((password + "\n").c_str(), helper);
    const int status = ::pclose(helper);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HeadlessEndToEndTest, ThePasswordHelperStoresAFormTheProgramDecodes) {
    TempDir dir;
    const std::string file = dir.File("setfile.ini");
    const TProfileFile settings(file);
    const std::string ftpSection = Utf8ToGbk("FTP参数");
    settings.WriteString(ftpSection, "ftpuser", "anna");
    for (const std::string password : {"", "密码 a;=b ", "secret"}) {
        ASSERT_EQ(StorePassword(file, password), 0) << password;
        EXPECT_EQ(DecodePassword(settings.ReadString(ftpSection, "ftppass", "")),
                  Utf8ToGbk(password))
            << password;
        EXPECT_EQ(settings.ReadString(ftpSection, "ftpuser", ""), "anna");
    }
    // Text that is not UTF-8 is refused, and the file keeps the last password.
    EXPECT_EQ(StorePassword(file, "\xFF\xFE"), 1);
    EXPECT_EQ(DecodePassword(settings.ReadString(ftpSection, "ftppass", "")), "secret");
    EXPECT_NE(StorePassword(dir.File("no-such-directory/setfile.ini"), "x"), 0);
}

TEST(HeadlessEndToEndTest, TheDifferentialUpdateUploadsTheFirstAndEveryChangedPageOnly) {
    FtpServerFixture ftp;
    std::filesystem::create_directory(ftp.Home() + "www");
    const std::string uploaded = ftp.Home() + "www/index.html";
    PhpServerFixture site(kRouter);
    ReplaceFile(site.Root(), "page.html", kFirstPage);
    const std::string requests = site.Root().File("requests.log");
    auto requestCount = [&requests] { return CountOccurrences(ReadBytes(requests), "\n"); };

    TempDir dir;
    CopyHeadlessProgram(dir);
    const TProfileFile settings(dir.File("setfile.ini"));
    const std::string ftpSection = Utf8ToGbk("FTP参数");
    settings.WriteString(ftpSection, "ftpaddr", "127.0.0.1:" + std::to_string(ftp.Port()));
    settings.WriteString(ftpSection, "ftpuser", ftp.User());
    // The password as a site owner stores it for the headless program.
    ASSERT_EQ(StorePassword(dir.File("setfile.ini"), ftp.Password()), 0);
    settings.WriteString(ftpSection, "ftpdir", "www");
    settings.WriteString(Utf8ToGbk("WEB参数"), "webmain", site.Url("/index.php"));
    settings.WriteString(Utf8ToGbk("WEB参数"), "webfile", "index");
    settings.WriteInteger(Utf8ToGbk("启动设置"), "difftime", 1000);
    settings.WriteString(Utf8ToGbk("软件启动项"), "diff", "1");

    ChildProcess::Options options;
    options.program = dir.File("velomaris-headless");
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess program(options);
    // Each upload shows the differential result window, which the program prints with the
    // address of the uploaded page.
    const std::string pageAddress =
        "http://127.0.0.1:" + std::to_string(site.Port()) + "/index.html";
    auto uploads = [&program, &pageAddress] {
        return CountOccurrences(program.Output(), pageAddress);
    };

    // Login, three seconds, one second, the check's five seconds: the first cycle uploads.
    ASSERT_TRUE(program.WaitUntil([&] { return uploads() >= 1; }, 120s)) << program.Output();
    EXPECT_EQ(ReadBytes(uploaded), kFirstPage);

    ReplaceFile(site.Root(), "page.html", kSecondPage);
    ASSERT_TRUE(program.WaitUntil([&] { return uploads() >= 2; }, 90s)) << program.Output();
    EXPECT_EQ(ReadBytes(uploaded), kSecondPage);
    const std::int64_t uploadedAt = ModifiedNs(uploaded);

    // The next cycle fetches the same page again (newweb.html is rewritten by every fetch).
    // Once the request after that fetch has come, the browser check of the cycle after it,
    // that cycle is over: cycles never overlap.
    const std::string fetched = dir.File("newweb.html");
    const std::int64_t secondFetch = ModifiedNs(fetched);
    ASSERT_TRUE(program.WaitUntil([&] { return ModifiedNs(fetched) != secondFetch; }, 90s))
        << program.Output();
    const size_t afterThirdFetch = requestCount();
    ASSERT_TRUE(program.WaitUntil([&] { return requestCount() > afterThirdFetch; }, 60s))
        << program.Output();
    EXPECT_EQ(uploads(), 2u) << program.Output();
    EXPECT_EQ(ReadBytes(uploaded), kSecondPage);
    EXPECT_EQ(ModifiedNs(uploaded), uploadedAt);

    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0);
    // Nothing failed on the way: no error box, no failure dialog.
    EXPECT_EQ(program.Output().find("(error)"), std::string::npos) << program.Output();
    EXPECT_EQ(program.Output().find("失败"), std::string::npos) << program.Output();
}

}  // namespace
}  // namespace velomaris
