// FTP login and the mode switches against a real FTP server.
#include <gtest/gtest.h>

#include "app/WorkflowAddresses.h"
#include "tests/app/WorkflowFixture.h"

namespace velomaris {
namespace {

const char kLoginOk[] = "FTP登录成功，现在您可以进行网站首页的转换";
const char kLoginBad[] = "FTP登录失败，请检查网络是正常，FTP设置是否正常";

struct BarState {
    bool button4, button1, button6, button7;
};

void ExpectBar(const TForm1& form, BarState expected, const char* when) {
    EXPECT_EQ(form.Button4.Enabled(), expected.button4) << when;
    EXPECT_EQ(form.Button1.Enabled(), expected.button1) << when;
    EXPECT_EQ(form.Button6.Enabled(), expected.button6) << when;
    EXPECT_EQ(form.Button7.Enabled(), expected.button7) << when;
}

TEST(FtpAddressTest, APortIsTakenOnlyFromDigitsInRangeAfterTheOnlyColon) {
    struct Row {
        const char* text;
        TFtpEndpoint expected;
    };
    const Row rows[] = {
        {"ftp.example.net", {"ftp.example.net", 21}},
        {"127.0.0.1:2121", {"127.0.0.1", 2121}},
        {"host:1", {"host", 1}},
        {"host:65535", {"host", 65535}},
        {"host:00021", {"host", 21}},
        {"host:", {"host:", 21}},
        {":2121", {":2121", 21}},
        {"host:21a", {"host:21a", 21}},
        {"host:+21", {"host:+21", 21}},
        {"host:-21", {"host:-21", 21}},
        {"host: 21", {"host: 21", 21}},
        {"a:b:21", {"a:b:21", 21}},
        {"::1", {"::1", 21}},
        {"主机:2121", {"主机", 2121}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplitFtpAddress(row.text, 21), row.expected) << row.text;
    }
    // A number that cannot be a port is refused instead of becoming part of the host name.
    for (const char* text : {"host:0", "host:65536", "host:70000", "host:99999999999999999999"}) {
        EXPECT_THROW(SplitFtpAddress(text, 21), EIdInvalidPort) << text;
    }
}

class WorkflowLoginTest : public WorkflowTest {};

TEST_F(WorkflowLoginTest, LoginWithAPortEnablesTheConversionButtonsAndUploadsLandInTheDirectory) {
    // Blanks and control characters around host and directory are trimmed; the port rides on
    // the host.
    WriteSetting(kSectionFtp, "ftpaddr", " 127.0.0.1:" + std::to_string(ftp.Port()) + "\t");
    WriteSetting(kSectionFtp, "ftpdir", " site ");
    ShowMainWindow();
    ExpectBar(*form, {true, false, false, false}, "before the login");

    harness.UserClick(form->Button2);
    ASSERT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{
                  {TMessageKind::mkMessageBox, kLoginOk, "提示", TMessageBoxIcon::mbWarning}}));
    ExpectBar(*form, {true, true, true, true}, "after the login");
    EXPECT_EQ(form->IdFTP1.Host(), "127.0.0.1");
    EXPECT_EQ(form->IdFTP1.Port(), ftp.Port());
    EXPECT_TRUE(form->IdFTP1.IsConnected());

    // The connection is in the configured directory.
    dir.Write("probe.html", "probe");
    form->IdFTP1.StoreFile(dir.File("probe.html"), "probe.html", false);
    EXPECT_EQ(ReadWholeFile(ftp.Home() + "site/probe.html"), "probe");
}

TEST_F(WorkflowLoginTest, EveryKindOfLoginFailureGivesTheSameMessageAndClosesTheConversion) {
    struct Row {
        const char* what;
        std::string setting;
        std::string value;
    };
    const Row rows[] = {
        {"wrong password", "ftppass", EncodePassword("wrong")},
        {"missing directory", "ftpdir", "no-such-directory"},
        {"refused port", "ftpaddr", "127.0.0.1:1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteSetting(kSectionFtp, row.setting.c_str(), row.value);
        if (!form->Visible()) {
            ShowMainWindow();
        } else {
            form->sButton1.Click();
        }
        // A working login first, so the failure has something to take away.
        form->Edit1.SetText("127.0.0.1:" + std::to_string(ftp.Port()));
        form->Edit3.SetText(ftp.Password());
        form->Edit4.SetText("site");
        harness.UserClick(form->Button2);
        form->sButton1.Click();  // back to the failing settings
        harness.ClearMessages();

        harness.UserClick(form->Button2);
        EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kLoginBad)}));
        harness.ClearMessages();
        ExpectBar(*form, {true, false, false, false}, row.what);
        EXPECT_EQ(form->Edit5.Text(), "0");
        EXPECT_EQ(form->Edit6.Text(), "0");
        // No connection stays open: the old one was closed before the attempt.
        EXPECT_FALSE(form->IdFTP1.IsConnected());
        EXPECT_TRUE(form->Button2.Enabled());
        WriteSetting(kSectionFtp, row.setting.c_str(),
                     row.setting == "ftppass"  ? EncodePassword(ftp.Password())
                     : row.setting == "ftpdir" ? "site"
                                               : "127.0.0.1:" + std::to_string(ftp.Port()));
    }
}

// The server refused only the directory: the fresh connection it logged in must not stay open
// in its home directory, or an upload still under way would land there.
TEST_F(WorkflowLoginTest, ALoginRefusedAtTheDirectoryLeavesNoConnectionForAnUploadUnderWay) {
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    harness.UserClick(form->Button1);
    harness.Advance(1000);
    form->Edit4.SetText("no-such-directory");
    harness.UserClick(form->Button2);
    EXPECT_FALSE(form->IdFTP1.IsConnected());
    harness.Advance(3000);
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kLoginBad),
                                                                  PlainDialog(kUploadFailedText)}));
    EXPECT_FALSE(FileExists(ftp.Home() + "index.html"));
    EXPECT_FALSE(FileExists(RemotePage()));
}

TEST_F(WorkflowLoginTest, AnAddressWithoutAPortGoesBackToTheDefaultPort) {
    ShowAndLogIn();
    EXPECT_EQ(form->IdFTP1.Port(), ftp.Port());
    // Nothing listens on port 21 of the loopback in the test machine, or something that is not
    // this server does: either way the login fails and the port is 21 again.
    form->Edit1.SetText("127.0.0.1");
    harness.UserClick(form->Button2);
    EXPECT_EQ(form->IdFTP1.Port(), 21);
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kLoginBad)}));
}

// Both modes behave alike: a login while the mode runs never stops it, and a failed one turns
// its flag off while the button keeps reading "stop", so the first click after the next login
// only resets the caption and the second starts the mode again.
TEST_F(WorkflowLoginTest, LoginSuccessAndFailureWhileAModeRuns) {
    struct Mode {
        const char* name;
        TButton TForm1::*button;
        TEdit TForm1::*flag;
        TEdit TForm1::*otherFlag;
        const char* running;
        const char* stopped;
    };
    const Mode modes[] = {
        {"differential", &TForm1::Button6, &TForm1::Edit5, &TForm1::Edit6, "停止差异更新",
         "启动差异更新"},
        {"timed", &TForm1::Button7, &TForm1::Edit6, &TForm1::Edit5, "停止定时更新", "启动定时更新"},
    };
    ShowAndLogIn();
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        TButton& button = form->*mode.button;
        TEdit& flag = form->*mode.flag;
        harness.UserClick(button);
        ASSERT_EQ(button.Caption(), mode.running);
        ASSERT_EQ(flag.Text(), "1");
        EXPECT_EQ((form->*mode.otherFlag).Text(), "0");

        harness.UserClick(form->Button2);
        EXPECT_EQ(harness.Messages().size(), 1u);
        ExpectBar(*form, {false, true, true, true}, "login while running");
        EXPECT_EQ(button.Caption(), mode.running);
        EXPECT_EQ(flag.Text(), "1");

        form->Edit3.SetText("wrong");
        harness.UserClick(form->Button2);
        EXPECT_EQ(harness.Messages().back(), ErrorBox(kLoginBad));
        EXPECT_EQ(form->Edit5.Text(), "0");
        EXPECT_EQ(form->Edit6.Text(), "0");
        EXPECT_EQ(button.Caption(), mode.running);
        ExpectBar(*form, {false, false, false, false}, "failed login while running");

        form->Edit3.SetText(ftp.Password());
        harness.UserClick(form->Button2);
        harness.UserClick(button);
        EXPECT_EQ(button.Caption(), mode.stopped);
        EXPECT_EQ(flag.Text(), "0");
        harness.UserClick(button);
        EXPECT_EQ(button.Caption(), mode.running);
        EXPECT_EQ(flag.Text(), "1");
        harness.UserClick(button);  // stopped for the next mode
        harness.ClearMessages();
    }
}

TEST_F(WorkflowLoginTest, TheModeSwitchesFollowTheButtonTable) {
    ShowAndLogIn();
    harness.UserClick(form->Button6);
    ExpectBar(*form, {false, false, true, false}, "differential started");
    EXPECT_EQ(form->Edit5.Text(), "1");
    EXPECT_EQ(form->Edit6.Text(), "0");
    EXPECT_TRUE(form->Timer2.Enabled());
    harness.UserClick(form->Button6);
    ExpectBar(*form, {true, true, true, true}, "differential stopped");
    EXPECT_EQ(form->Edit5.Text(), "0");
    EXPECT_EQ(form->Button6.Caption(), "启动差异更新");
    // Stopping leaves the period timer running without effect.
    EXPECT_TRUE(form->Timer2.Enabled());

    harness.UserClick(form->Button7);
    ExpectBar(*form, {false, false, false, true}, "timed started");
    EXPECT_EQ(form->Edit6.Text(), "1");
    EXPECT_EQ(form->Edit5.Text(), "0");
    EXPECT_TRUE(form->Timer3.Enabled());
    harness.UserClick(form->Button7);
    ExpectBar(*form, {true, true, true, true}, "timed stopped");
    EXPECT_EQ(form->Button7.Caption(), "启动定时更新");
    EXPECT_TRUE(form->Timer3.Enabled());

    harness.UserClick(form->Button1);
    ExpectBar(*form, {false, false, false, false}, "single-page conversion started");
    EXPECT_TRUE(form->Timer5.Enabled());
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(WorkflowLoginTest, StartUpLoginStartsTheModeThreeSecondsLaterWithoutAMessage) {
    struct Row {
        const char* key;
        TButton TForm1::*button;
        const char* running;
        TTimer TForm1::*watch;
        BarState bar;
    };
    const Row rows[] = {
        {"diff", &TForm1::Button6, "停止差异更新", &TForm1::Timer2, {false, false, true, false}},
        {"time", &TForm1::Button7, "停止定时更新", &TForm1::Timer3, {false, false, false, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        HeadlessHarness startHarness;
        CreateForms(startHarness.App());
        TForm1& start = startHarness.App().Form<TForm1>();
        start.WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(startHarness.App()));
        WriteSetting(kSectionAutoStart, "diff", "0");
        WriteSetting(kSectionAutoStart, "time", "0");
        WriteSetting(kSectionAutoStart, row.key, "1");
        startHarness.App().Deliver([&start] { start.Show(); });
        EXPECT_TRUE(start.IdFTP1.IsConnected());
        EXPECT_TRUE(startHarness.Messages().empty());
        ExpectBar(start, {true, false, false, false}, "logged in, mode not started yet");

        startHarness.Advance(2999);
        EXPECT_NE((start.*row.button).Caption(), row.running);
        startHarness.Advance(1);
        EXPECT_EQ((start.*row.button).Caption(), row.running);
        ExpectBar(start, row.bar, "mode started");
        EXPECT_TRUE((start.*row.watch).Enabled());
        EXPECT_FALSE(start.Timer8.Enabled());
        EXPECT_FALSE(start.Timer9.Enabled());
        EXPECT_TRUE(startHarness.Messages().empty());
    }
}

TEST_F(WorkflowLoginTest, AFailedStartUpLoginReportsAndStartsNothing) {
    WriteSetting(kSectionFtp, "ftppass", EncodePassword("wrong"));
    WriteSetting(kSectionAutoStart, "diff", "1");
    ShowMainWindow();
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kLoginBad)}));
    harness.Advance(10000);
    EXPECT_EQ(form->Button6.Caption(), "启动差异更新");
    EXPECT_EQ(form->Edit5.Text(), "0");
    EXPECT_FALSE(form->Timer2.Enabled());
}

TEST_F(WorkflowLoginTest, BrowsingShowsTheStatusLineAndKeepsItsTextUntilTheNewPageCompletes) {
    ShowMainWindow();
    form->Label7.SetCaption(kSiteOpenSucceeded);
    BrowserShows(ErrorPage(), 500);
    harness.UserClick(form->Button4);
    EXPECT_TRUE(form->Label7.Visible());
    EXPECT_EQ(page->Navigations(), (std::vector<std::string>{http.Url(kPagePath)}));
    harness.Advance(499);
    EXPECT_EQ(form->Label7.Caption(), kSiteOpenSucceeded);
    harness.Advance(1);
    EXPECT_EQ(form->Label7.Caption(), kSiteOpenFailed);
}

}  // namespace
}  // namespace velomaris
