// The command lines of velomaris-headless and velomaris-set-ftp-password, run for real: the
// options and their exit statuses, a single conversion for cron against a PHP page and an FTP
// server on 127.0.0.1, the log beside the settings file, a settings file saved as UTF-8, and a
// program directory whose name GBK cannot hold.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
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

const char* const kRouter = R"PHP(<?php
readfile(__DIR__ . '/page.html');
)PHP";

// Runs a program to its end and returns its exit status; its output (stdout and stderr) goes
// to output.
int RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
             std::string& output, const std::string& directory = "/",
             const std::vector<std::string>& environment = {},
             std::chrono::milliseconds limit = 60s) {
    ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    options.directory = directory;
    options.environment = environment;
    options.stdoutTo = ChildProcess::Sink::Pipe;
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess child(options);
    child.WaitUntil([] { return false; }, limit);
    const int status = child.Stop(SIGKILL, 1s);
    output = child.Output();
    return status;
}

// A copy of the program with its templates in a directory (created, any name the system
// allows), and a settings file for the two servers.
class InstalledProgram {
public:
    explicit InstalledProgram(const std::string& directory) : directory_(directory) {
        std::filesystem::create_directories(directory_);
        const std::string beside = std::filesystem::path(VELOMARIS_HEADLESS_PATH).parent_path();
        std::filesystem::copy_file(VELOMARIS_HEADLESS_PATH, Program());
        for (const char* name : {"checkweb.html", "checkweb2.html"}) {
            std::filesystem::copy_file(beside + "/" + name, directory_ + name);
        }
    }
    std::string Program() const { return directory_ + "velomaris-headless"; }
    const std::string& Directory() const { return directory_; }

private:
    std::string directory_;
};

// Writes a settings file (the path as the system names it) for the servers: written through
// the program's own profile writer in a scratch directory, then copied into place, since the
// writer names files in GBK and the place may be one GBK cannot name.
void WriteSettings(const std::string& osPath, const FtpServerFixture& ftp,
                   const std::string& webmain, const std::string& password,
                   const std::vector<std::pair<std::string, std::string>>& startup = {}) {
    TempDir scratch;
    const TProfileFile settings(scratch.File("setfile.ini"));
    const std::string ftpSection = Utf8ToGbk("FTP参数");
    settings.WriteString(ftpSection, "ftpaddr", "127.0.0.1:" + std::to_string(ftp.Port()));
    settings.WriteString(ftpSection, "ftpuser", ftp.User());
    settings.WriteString(ftpSection, "ftppass", EncodePassword(password));
    settings.WriteString(ftpSection, "ftpdir", "www");
    settings.WriteString(Utf8ToGbk("WEB参数"), "webmain", webmain);
    settings.WriteString(Utf8ToGbk("WEB参数"), "webfile", "index");
    for (const auto& [key, value] : startup) {
        const bool item = key == "diff" || key == "time";
        settings.WriteString(Utf8ToGbk(item ? "软件启动项" : "启动设置"), key, value);
    }
    std::filesystem::copy_file(scratch.File("setfile.ini"), osPath,
                               std::filesystem::copy_options::overwrite_existing);
}

// An FTP server (dropping idle control connections after idleSeconds, 0: its default) with
// the directory www, and a PHP site serving page.html.
class ServersTest : public ::testing::Test {
protected:
    ServersTest(int idleSeconds, const std::string& page) : ftp(idleSeconds), site(kRouter) {
        std::filesystem::create_directory(ftp.Home() + "www");
        site.Root().Write("page.html", page);
    }
    std::string Uploaded() const { return ftp.Home() + "www/index.html"; }

    TempDir dir;
    FtpServerFixture ftp;
    PhpServerFixture site;
};

class HeadlessCommandLineTest : public ServersTest {
protected:
    HeadlessCommandLineTest() : ServersTest(0, "<html><body>once</body></html>") {}
};

TEST(HeadlessOptionsTest, HelpVersionAndUnknownOptions) {
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string shows;
    };
    const Row rows[] = {
        {{"--help"}, 0, "usage: velomaris-headless [--config PATH] [--once]"},
        {{"--version"}, 0, "velomaris-headless 3.0"},
        {{"--bogus"}, 2, "velomaris-headless: unknown argument: --bogus"},
        {{"--config"}, 2, "--config needs the path of a settings file"},
        {{"--config", "/no/such/dir/setfile.ini"}, 2, "does not exist"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        InstalledProgram installed(dir.Path());
        std::string output;
        EXPECT_EQ(RunToEnd(installed.Program(), row.arguments, output), row.status)
            << row.arguments[0];
        EXPECT_NE(output.find(row.shows), std::string::npos) << output;
        // Nothing started: no log was written.
        EXPECT_FALSE(std::filesystem::exists(dir.File("velomaris.log"))) << row.arguments[0];
    }
}

TEST(HeadlessOptionsTest, ThePasswordHelperRefusesOptionsAndMissingDirectories) {
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string shows;
    };
    const Row rows[] = {
        {{"--help"}, 0, "usage: velomaris-set-ftp-password SETFILE.INI"},
        {{"-x"}, 2, "not a settings file: \"-x\""},
        {{}, 2, "the settings file is missing"},
        {{"missing-dir/setfile.ini"}, 2, "does not exist"},
        {{"a.ini", "b.ini"}, 2, "give exactly one settings file"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::string output;
        EXPECT_EQ(RunToEnd(VELOMARIS_SET_PASSWORD_PATH, row.arguments, output, dir.Directory()),
                  row.status);
        EXPECT_NE(output.find(row.shows), std::string::npos) << output;
        // It created no file at all where it ran.
        EXPECT_TRUE(std::filesystem::is_empty(dir.Directory())) << output;
    }
}

TEST_F(HeadlessCommandLineTest, OnceExitsWithTheOutcomeOfOneConversion) {
    struct Row {
        const char* what;
        std::string webmain;
        std::string password;
        bool writeSettings;
        int status;
        bool uploaded;
    };
    const Row rows[] = {
        {"uploaded", site.Url("/index.php"), ftp.Password(), true, 0, true},
        {"login refused", site.Url("/index.php"), "wrong", true, 1, false},
        {"no settings file", "", "", false, 2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(Uploaded());
        TempDir programDir;
        InstalledProgram installed(programDir.Path());
        if (row.writeSettings) {
            WriteSettings(programDir.File("setfile.ini"), ftp, row.webmain, row.password);
        }
        std::string output;
        EXPECT_EQ(RunToEnd(installed.Program(), {"--once"}, output), row.status) << output;
        EXPECT_EQ(std::filesystem::exists(Uploaded()), row.uploaded) << output;
        if (row.uploaded) {
            EXPECT_EQ(ReadBytes(Uploaded()), "<html><body>once</body></html>");
            // The log beside the settings file, echoed on stderr.
            const std::string log = ReadBytes(programDir.File("velomaris.log"));
            EXPECT_NE(log.find("single conversion done"), std::string::npos) << log;
            EXPECT_NE(output.find("single conversion done"), std::string::npos) << output;
            EXPECT_EQ(log.find(ftp.Password()), std::string::npos) << log;
        }
    }
}

// The site check gives up after five polls three seconds apart: this case takes 15 s.
TEST_F(HeadlessCommandLineTest, OnceWithTheSiteDownExitsWithOne) {
    TempDir programDir;
    InstalledProgram installed(programDir.Path());
    // A port nothing listens on: the PHP server's, once it is stopped.
    std::string webmain;
    {
        PhpServerFixture gone(kRouter);
        webmain = gone.Url("/index.php");
    }
    WriteSettings(programDir.File("setfile.ini"), ftp, webmain, ftp.Password());
    std::string output;
    EXPECT_EQ(RunToEnd(installed.Program(), {"--once"}, output), 1) << output;
    EXPECT_NE(output.find("网站打开失败，请检查网络或者网址是否正常"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(Uploaded()));
}

// One installed copy serves a site whose settings live elsewhere, in a directory whose name
// GBK cannot hold; the program itself sits in such a directory too.
TEST_F(HeadlessCommandLineTest, ConfigAndDirectoriesWhoseNamesGbkCannotHold) {
    struct Row {
        const char* what;
        std::string programDir;
        std::string settingsDir;  // empty: beside the program, no --config
    };
    const Row rows[] = {
        {"program in run-\xF0\x9F\x98\x80", dir.File("run-\xF0\x9F\x98\x80/"), ""},
        {"--config in site-\xF0\x9F\x98\x80", dir.File("bin/"), dir.File("site-\xF0\x9F\x98\x80/")},
        {"--config in a Chinese directory", dir.File("run-\xF0\x9F\x98\x81/"), dir.File("站点/")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(Uploaded());
        InstalledProgram installed(row.programDir);
        const std::string settingsDir = row.settingsDir.empty() ? row.programDir : row.settingsDir;
        std::filesystem::create_directories(settingsDir);
        const std::string settingsFile =
            settingsDir + (row.settingsDir.empty() ? "setfile.ini" : "site.ini");
        WriteSettings(settingsFile, ftp, site.Url("/index.php"), ftp.Password());
        std::vector<std::string> arguments{"--once"};
        if (!row.settingsDir.empty()) {
            arguments.insert(arguments.begin(), {"--config", settingsFile});
        }
        std::string output;
        EXPECT_EQ(RunToEnd(installed.Program(), arguments, output), 0) << output;
        EXPECT_EQ(ReadBytes(Uploaded()), "<html><body>once</body></html>");
        // The page file and the log are beside the settings file.
        EXPECT_TRUE(std::filesystem::exists(settingsDir + "index.html"));
        const std::string log = ReadBytes(settingsDir + "velomaris.log");
        EXPECT_NE(log.find("settings file " + settingsFile), std::string::npos) << log;
        EXPECT_NE(output.find("[网站主页转换成功【单页更新】]"), std::string::npos) << output;
    }
}

TEST_F(HeadlessCommandLineTest, ASettingsFileSavedAsUtf8IsReportedClearly) {
    TempDir programDir;
    InstalledProgram installed(programDir.Path());
    // What a Linux editor writes: the section names in UTF-8.
    testing::WriteBytes(programDir.File("setfile.ini"),
                        "[FTP参数]\nftpaddr=127.0.0.1\n[WEB参数]\nwebfile=index\n");
    const std::string sentence = "iconv -f UTF-8 -t GBK setfile.ini";
    std::string output;
    EXPECT_EQ(RunToEnd(installed.Program(), {"--once"}, output), 2) << output;
    EXPECT_NE(output.find(sentence), std::string::npos) << output;

    // Without --once the program starts, says so in a box and in the log, and runs on.
    ChildProcess::Options options;
    options.program = installed.Program();
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess program(options);
    ASSERT_TRUE(program.WaitForOutput(sentence, 60s)) << program.Output();
    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0);
    EXPECT_NE(program.Output().find("[提示] (error) 设置文件 setfile.ini 是 UTF-8 编码的"),
              std::string::npos)
        << program.Output();
    EXPECT_NE(ReadBytes(programDir.File("velomaris.log")).find(sentence), std::string::npos);
}

// Real servers drop idle control connections; this one after two seconds, with a 421. Every
// upload below therefore finds its login's connection gone and logs in again first.
class IdleServerEndToEndTest : public ServersTest {
protected:
    IdleServerEndToEndTest() : ServersTest(2, "<html><body>first</body></html>") {}
};

TEST_F(IdleServerEndToEndTest, TheDifferentialUpdateDeliversAPageThatChangedAfterTheDrop) {
    InstalledProgram installed(dir.Path());
    WriteSettings(dir.File("setfile.ini"), ftp, site.Url("/index.php"), ftp.Password(),
                  {{"difftime", "1000"}, {"diff", "1"}});
    ChildProcess::Options options;
    options.program = installed.Program();
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess program(options);
    const std::string result = "[网站主页转换成功【差异更新】]";
    // Login, three seconds, one second, the check's five seconds: the first upload.
    ASSERT_TRUE(
        program.WaitUntil([&] { return CountOccurrences(program.Output(), result) >= 1; }, 120s))
        << program.Output();
    EXPECT_EQ(ReadBytes(Uploaded()), "<html><body>first</body></html>");
    // The next change comes after the server has dropped the connection again.
    site.Root().Write("page.html", "<html><body>second</body></html>");
    ASSERT_TRUE(
        program.WaitUntil([&] { return CountOccurrences(program.Output(), result) >= 2; }, 120s))
        << program.Output();
    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0);
    EXPECT_EQ(ReadBytes(Uploaded()), "<html><body>second</body></html>");
    EXPECT_GE(CountOccurrences(program.Output(), "FTP: logging in again"), 2u) << program.Output();
    EXPECT_EQ(program.Output().find("(error)"), std::string::npos) << program.Output();
}

TEST_F(IdleServerEndToEndTest, TheTimedUpdateSetToTheNextMinuteDeliversThePage) {
    // A time zone whose local clock reads hh:mm:40 now, so the next minute begins in twenty
    // seconds whatever the real time (start-up, login and the three-second delay fit well
    // before it, even on a loaded machine; the run may start until the minute is over):
    // seconds east of UTC.
    const std::time_t now = std::time(nullptr);
    const int shift = static_cast<int>((40 - now % 60 + 60) % 60);
    char zone[32];
    std::snprintf(zone, sizeof zone, "TZ=VLM-00:00:%02d", shift);
    const std::time_t nextMinute = now + shift + 20;
    std::tm local{};
    ::gmtime_r(&nextMinute, &local);
    char timingtime[8];
    std::snprintf(timingtime, sizeof timingtime, "%02d-%02d", local.tm_hour, local.tm_min);

    InstalledProgram installed(dir.Path());
    WriteSettings(dir.File("setfile.ini"), ftp, site.Url("/index.php"), ftp.Password(),
                  {{"timingtime", timingtime}, {"time", "1"}});
    ChildProcess::Options options;
    options.program = installed.Program();
    options.environment = {zone};
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess program(options);
    ASSERT_TRUE(program.WaitForOutput("[网站主页转换成功【定时更新】]", 120s)) << program.Output();
    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0);
    EXPECT_EQ(ReadBytes(Uploaded()), "<html><body>first</body></html>");
    EXPECT_NE(program.Output().find("FTP: logging in again"), std::string::npos)
        << program.Output();
    EXPECT_NE(program.Output().find("timed update: next run at " + std::string(timingtime)),
              std::string::npos)
        << program.Output();
}

}  // namespace
}  // namespace velomaris
