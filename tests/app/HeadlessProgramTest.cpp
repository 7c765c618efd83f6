// Runs the real velomaris-headless from a directory of its own and talks to it with signals.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TextCount.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

const std::string kMissingFilesUtf8 = "软件缺少必要文件，无法启动";

// The program stops at a signal within this time, or the test fails instead of waiting on.
constexpr auto kStopLimit = 10s;

// A copy of the program in a temporary directory, started from elsewhere (it must find its
// files beside itself), with its stderr captured.
ChildProcess::Options CopyOfProgram(const TempDir& dir) {
    ChildProcess::Options options;
    options.program = dir.File("velomaris-headless");
    std::filesystem::copy_file(VELOMARIS_HEADLESS_PATH, options.program);
    options.directory = "/";
    options.stderrTo = ChildProcess::Sink::Pipe;
    return options;
}

TEST(HeadlessProgramTest, WithoutTheTemplatesItSaysSoOnceAndRunsUntilSigterm) {
    TempDir dir;
    ChildProcess program(CopyOfProgram(dir));
    ASSERT_TRUE(program.WaitForOutput(kMissingFilesUtf8, 60s)) << program.Output();
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.Stop(SIGTERM, kStopLimit), 0);
    EXPECT_EQ(CountOccurrences(program.Output(), kMissingFilesUtf8), 1u) << program.Output();
    EXPECT_NE(program.Output().find("[提示] (error) 软件缺少必要文件，无法启动\n在线帮助："
                                    "support@example.com\n"),
              std::string::npos)
        << program.Output();
}

TEST(HeadlessProgramTest, WithItsFilesItStartsQuietlyAndEndsOnSigint) {
    TempDir dir;
    const std::string beside = std::filesystem::path(VELOMARIS_HEADLESS_PATH).parent_path();
    for (const char* name : {"checkweb.html", "checkweb2.html"}) {
        std::filesystem::copy_file(beside + "/" + name, dir.File(name));
    }
    ChildProcess program(CopyOfProgram(dir));
    // Nothing to wait for in the output: a reload of the settings would be silent too. The
    // settings file is never created by reading it.
    EXPECT_FALSE(program.WaitForOutput(kMissingFilesUtf8, 300ms));
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.Stop(SIGINT, kStopLimit), 0);
    // Only the log's lines (stamped with the local time), no box or dialog.
    const std::string output = program.Output();
    EXPECT_EQ(output.find("\n["), std::string::npos) << output;
    EXPECT_NE(output.find(" Velomaris starts, settings file " + dir.File("setfile.ini")),
              std::string::npos)
        << output;
    EXPECT_NE(output.find(" Velomaris ends\n"), std::string::npos) << output;
    EXPECT_EQ(ReadBytes(dir.File("velomaris.log")), output);
    EXPECT_FALSE(std::filesystem::exists(dir.File("setfile.ini")));
}

}  // namespace
}  // namespace velomaris
