// Uploads on a control connection the server dropped or left out of step: the workflows log in
// again, before the upload or after a failure of the connection itself, and the page arrives
// without a message. A real server (pyftpdlib) drops its connections on request; a scripted
// server plays the failures a real one cannot be made to show on cue.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/app/ScriptedFtpFailure.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/TextCount.h"
#include "windows/Unit5.h"
#include "windows/Unit7.h"
#include "windows/Unit8.h"

namespace velomaris {
namespace {

class WorkflowReloginTest : public WorkflowTest {
protected:
    static constexpr std::int64_t kPeriod = 10000;

    WorkflowReloginTest() { WriteSetting(kSectionStartup, "difftime", std::to_string(kPeriod)); }

    std::string Log() const { return dir.Read("velomaris.log"); }
    // A single-page conversion from "开始转换" to its end: the delay, the navigation, the poll.
    void ConvertOnce() {
        harness.UserClick(form->Button1);
        harness.Advance(1000 + 3000);
    }
};

TEST_F(WorkflowReloginTest, ADroppedControlConnectionIsReplacedBeforeTheUpload) {
    struct Row {
        const char* what;
        bool with421;
    };
    const Row rows[] = {{"dropped without a word", false}, {"dropped after a 421 reply", true}};
    // Each mode in turn on the same program, after each kind of drop.
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    int version = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // The single-page conversion, which has no retries of its own.
        ftp.DropControlConnections(row.with421);
        http.SetPage(kPagePath, "single " + std::to_string(++version));
        ConvertOnce();
        EXPECT_EQ(ReadIfExists(RemotePage()), "single " + std::to_string(version));
        EXPECT_TRUE(harness.App().Form<TForm7>().Visible());
        harness.App().Form<TForm7>().Hide();

        // The differential update: the page changes after the drop; the change arrives, and
        // the next change goes up on the new connection without another login.
        harness.UserClick(form->Button6);
        ftp.DropControlConnections(row.with421);
        http.SetPage(kPagePath, "diff " + std::to_string(++version));
        harness.Advance(kPeriod + 5000);
        EXPECT_EQ(ReadIfExists(RemotePage()), "diff " + std::to_string(version));
        http.SetPage(kPagePath, "diff " + std::to_string(++version));
        harness.Advance(kPeriod + 5000);
        EXPECT_EQ(ReadIfExists(RemotePage()), "diff " + std::to_string(version));
        EXPECT_EQ(form->RetryCount, 0);
        harness.UserClick(form->Button6);  // stop

        // The timed update, which uploads once a day on an old connection.
        form->timingtime = "08-05";
        harness.Clock().SetLocalTime({2010, 8, 31, 8, 4, 59, 995});
        harness.UserClick(form->Button7);
        ftp.DropControlConnections(row.with421);
        http.SetPage(kPagePath, "timed " + std::to_string(++version));
        harness.Advance(10 + 1000);
        EXPECT_EQ(ReadIfExists(RemotePage()), "timed " + std::to_string(version));
        EXPECT_TRUE(harness.App().Form<TForm8>().Visible());
        harness.UserClick(form->Button7);  // stop
    }
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    // One new login per drop: three per kind of drop.
    EXPECT_EQ(CountOccurrences(Log(), "FTP: logging in again (the control connection is closed"),
              6u)
        << Log();
}

// The log tells what happened in each cycle and why a failure happened, never the password.
TEST_F(WorkflowReloginTest, TheLogRecordsChangedAndUnchangedCyclesFailuresAndNewLogins) {
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    harness.UserClick(form->Button6);
    harness.Advance(kPeriod + 5000);  // first run: changed, uploaded
    harness.Advance(kPeriod + 5000);  // unchanged
    ::unlink(RemotePage().c_str());
    BlockUploads();
    http.SetPage(kPagePath, "changed");
    harness.Advance(kPeriod + 5000);  // changed, every upload refused
    UnblockUploads();
    ftp.DropControlConnections(false);
    harness.Advance(kPeriod + 5000);  // the stored version goes up on a new connection

    const std::string log = Log();
    for (const char* part : {
             "Velomaris starts, settings file ",
             "FTP login: anna at 127.0.0.1:",
             "differential update started, every 10000 ms",
             "site check: http://127.0.0.1:",
             "fetch http://127.0.0.1:",
             ": HTTP 200, 17 bytes, ",
             "differential update: page changed",
             "differential update: page unchanged",
             "bytes to site/index.html in ",
             "upload of site/index.html failed: EIdProtocolReplyError: 550 Is a directory.",
             "differential update: uploading again (retry 3)",
             "failure reported: \xE8\xBD\xAC\xE6\x8D\xA2\xE5\xA4\xB1\xE8\xB4\xA5",
             "FTP: logging in again (the control connection is closed",
         }) {
        EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
    }
    EXPECT_EQ(log.find(ftp.Password()), std::string::npos) << log;
    // Every line starts with its local time and offset (the virtual clock's +08:00).
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.substr(19, 7), "+08:00 ") << line;
    }
}

// Failures the scripted server shows on cue: each is a failure of the connection, answered by
// one new login and one more attempt at once, which no counter counts; a refusal by the server
// or a refused new login is a failed upload.
TEST_F(WorkflowReloginTest, AFailedConnectionGetsOneNewLoginAndOneMoreAttempt) {
    using Kind = ScriptedFtpFailure::TKind;
    struct Row {
        Kind kind;
        bool uploaded;
    };
    const Row rows[] = {
        {Kind::DataConnectionReset, true}, {Kind::ReplyOutOfStep, true},
        {Kind::Reply421AndClose, true},    {Kind::CloseWithoutReply, true},
        {Kind::Refused550, false},         {Kind::NewLoginRefused, false},
    };
    ShowMainWindow();
    BrowserShows(kRealPageHtml);
    for (const Row& row : rows) {
        ScriptedFtpFailure server(row.kind);
        SCOPED_TRACE(server.What());
        form->Edit1.SetText("127.0.0.1:" + std::to_string(server.Port()));
        harness.UserClick(form->Button2);
        harness.ClearMessages();
        ConvertOnce();
        EXPECT_TRUE(server.Finish()) << Log();
        if (row.uploaded) {
            EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
            EXPECT_TRUE(harness.App().Form<TForm7>().Visible());
        } else {
            EXPECT_EQ(harness.Messages(),
                      (std::vector<TMessageBoxRecord>{PlainDialog(kUploadFailedText)}));
            EXPECT_FALSE(harness.App().Form<TForm7>().Visible());
        }
        harness.App().Form<TForm7>().Hide();
        form->IdFTP1.CloseConnection();
    }
    EXPECT_EQ(
        CountOccurrences(Log(), "FTP: logging in again (the connection failed during the upload)"),
        5u)
        << Log();
}

}  // namespace
}  // namespace velomaris
