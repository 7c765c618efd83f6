#include "platform/Log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

class LogTest : public ::testing::Test {
protected:
    LogTest() { clock.SetLocalTime({2026, 3, 9, 8, 5, 7, 250}); }

    std::vector<std::string> Lines(const std::string& name = "velomaris.log") const {
        std::vector<std::string> lines;
        std::istringstream in(dir.Read(name));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    TempDir dir;
    VirtualClock clock;
};

TEST_F(LogTest, EachEventIsOneLineStampedWithLocalTimeAndOffset) {
    struct Row {
        std::int32_t offsetSeconds;
        std::string stamp;
    };
    // The virtual clock keeps the instant when the offset changes: 00:05:07 UTC.
    const Row rows[] = {
        {8 * 3600, "2026-03-09T08:05:07+08:00"},
        {0, "2026-03-09T00:05:07+00:00"},
        {-(3 * 3600 + 30 * 60), "2026-03-08T20:35:07-03:30"},
        {5 * 3600 + 45 * 60, "2026-03-09T05:50:07+05:45"},
    };
    for (const Row& row : rows) {
        TempDir logDir;
        ScopedLogFile log(logDir.File("velomaris.log"), &clock);
        clock.SetUtcOffsetSeconds(row.offsetSeconds);
        LogEvent("fetch done");
        EXPECT_EQ(logDir.Read("velomaris.log"), row.stamp + " fetch done\n") << row.offsetSeconds;
    }
}

TEST_F(LogTest, ServerRepliesStayOnOneLineAndTextIsWrittenAsUtf8) {
    ScopedLogFile log(dir.File("velomaris.log"), &clock);
    LogEvent("upload failed: EIdProtocolReplyError: 550 No such file.\r\n");
    LogEvent("a\r\nmulti-line\nreply\r\r\nend");
    LogEvent("\xCA\xA7\xB0\xDC");    // GBK for a word meaning "failed"
    LogEvent("bad byte \xFF here");  // not GBK: kept visible as an escape
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(26), "upload failed: EIdProtocolReplyError: 550 No such file.");
    EXPECT_EQ(lines[1].substr(26), "a multi-line reply end");
    EXPECT_EQ(lines[2].substr(26), "\xE5\xA4\xB1\xE8\xB4\xA5");
    EXPECT_EQ(lines[3].substr(26), "bad byte \\xFF here");
}

TEST_F(LogTest, RotatesBeforeTheLimitKeepingOneOldFile) {
    // Each line is 26 bytes of stamp and blank, 9 of text, one line break: 36 bytes.
    ScopedLogFile log(dir.File("velomaris.log"), &clock, 100);
    for (int i = 1; i <= 6; ++i) {
        LogEvent("event #" + std::to_string(i) + ".");
    }
    // A third line would make 108 bytes: 1-2 went at the second rotation, 3-4 are the old
    // file, 5-6 the current one.
    const std::vector<std::string> old = Lines("velomaris.log.1");
    ASSERT_EQ(old.size(), 2u);
    EXPECT_NE(old[0].find("event #3."), std::string::npos);
    EXPECT_NE(old[1].find("event #4."), std::string::npos);
    const std::vector<std::string> current = Lines();
    ASSERT_EQ(current.size(), 2u);
    EXPECT_NE(current[0].find("event #5."), std::string::npos);
    EXPECT_NE(current[1].find("event #6."), std::string::npos);
    EXPECT_LE(dir.Read("velomaris.log").size(), 100u);
    EXPECT_THROW(dir.Read("velomaris.log.2"), std::exception);
}

TEST_F(LogTest, ThePasswordIsNeverWritten) {
    ScopedLogFile log(dir.File("velomaris.log"), &clock);
    ProgramLog().SetSecret("s3cret-pw");
    LogEvent("530 Login incorrect for s3cret-pw (s3cret-pws3cret-pw)");
    ProgramLog().WriteUtf8("echo s3cret-pw");
    const std::string text = dir.Read("velomaris.log");
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    EXPECT_NE(text.find("530 Login incorrect for *** (******)"), std::string::npos) << text;
    EXPECT_NE(text.find("echo ***"), std::string::npos) << text;
}

TEST_F(LogTest, AnEchoGetsTheSameLines) {
    std::ostringstream echo;
    ScopedLogFile log(dir.File("velomaris.log"), &clock);
    ProgramLog().EchoTo(&echo);
    LogEvent("started");
    ProgramLog().EchoTo(nullptr);
    EXPECT_EQ(echo.str(), dir.Read("velomaris.log"));
    EXPECT_NE(echo.str().find("started"), std::string::npos);
}

TEST_F(LogTest, AFailureIsDescribedByItsClassAndMessage) {
    EXPECT_EQ(DescribeFailure(EFOpenError("Cannot open file \"x\". No such file")),
              "EFOpenError: Cannot open file \"x\". No such file");
    EXPECT_EQ(DescribeFailure(std::runtime_error("plain")), "runtime_error: plain");
}

TEST_F(LogTest, AnUnwritableLogIsReportedOnceOnStderr) {
    ScopedLogFile log(dir.File("missing-dir/velomaris.log"), &clock);
    ::testing::internal::CaptureStderr();
    LogEvent("first");
    LogEvent("second");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "velomaris: cannot write the log " + dir.File("missing-dir/velomaris.log") +
                       ": No such file or directory\n");
}

}  // namespace
}  // namespace velomaris
