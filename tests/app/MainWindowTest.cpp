#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/Forms.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "platform/browser/ScriptedBrowserEngine.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/TempDir.h"
#include "windows/SetFileSections.h"
#include "windows/Unit2.h"
#include "windows/Unit3.h"
#include "windows/Unit4.h"
#include "windows/Unit9.h"

namespace velomaris {
namespace {

const std::string kMissingFilesMessage =
    "软件缺少必要文件，无法启动\r在线帮助：support@example.com";

// The nine windows on the headless backend, with a program directory of their own that holds
// the two templates (copied from beside the test binary) and, as a test writes it, setfile.ini.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        for (const char* name : {kTemplateFile1, kTemplateFile2}) {
            dir.Write(name, ReadWholeFile(shippedDirectory + name));
        }
        CreateForms(harness.App());
        form = &harness.App().Form<TForm1>();
        page =
            &form->WebBrowser1.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
        side =
            &form->WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
        // The login workflows are observed, not run: start-up only decides which one starts.
        form->sBitBtn1.OnClick = [this] { startedLogins.push_back("sBitBtn1"); };
        form->sButton2.OnClick = [this] { startedLogins.push_back("sButton2"); };
    }

    void Write(const char* section, const char* key, const std::string& value) {
        TProfileFile(dir.File("setfile.ini")).WriteString(section, key, value);
    }
    // The first showing, as the program's Run does it.
    void ShowMainWindow() {
        harness.App().Deliver([this] { form->Show(); });
    }

    const std::string shippedDirectory = ProgramDirectory();
    TempDir dir;
    ScopedProgramDirectory programDirectory{dir.Path()};
    HeadlessHarness harness;
    TForm1* form = nullptr;
    TScriptedBrowserEngine* page = nullptr;
    TScriptedBrowserEngine* side = nullptr;
    std::vector<std::string> startedLogins;
};

TEST_F(MainWindowTest, NineWindowsAreCreatedInOrderWithTheMainWindowFirst) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Form1", "VelomarisV3.0"},
        {"Form2", "FTP/网站主页名称设置"},
        {"Form3", "在线帮助"},
        {"Form4", "网站更新设置"},
        {"Form5", "网站主页转换成功【差异更新】"},
        {"Form6", "Form6"},
        {"Form7", "网站主页转换成功【单页更新】"},
        {"Form8", "网站主页转换成功【定时更新】"},
        {"Form9", "软件启动设置"},
    };
    const auto& forms = harness.App().Forms();
    ASSERT_EQ(forms.size(), expected.size());
    for (size_t i = 0; i < forms.size(); ++i) {
        EXPECT_EQ(forms[i]->Name(), expected[i].first);
        EXPECT_EQ(forms[i]->Caption(), expected[i].second) << expected[i].first;
        EXPECT_FALSE(forms[i]->Visible()) << expected[i].first;
    }
    EXPECT_EQ(harness.App().MainForm(), form);
    // The caption is the program's name among the programs started at log-on: fixed bytes.
    EXPECT_EQ(form->Caption(), "VelomarisV3.0");
}

TEST_F(MainWindowTest, BeforeTheFirstShowingOnlyBrowsingIsPossibleAndNothingRuns) {
    EXPECT_TRUE(form->WebBrowser1.Silent());
    EXPECT_TRUE(form->WebBrowser2.Silent());
    EXPECT_TRUE(page->Silent());
    EXPECT_FALSE(form->Button2.Enabled());
    EXPECT_TRUE(form->Button4.Enabled());
    EXPECT_FALSE(form->Button1.Enabled());
    EXPECT_FALSE(form->Button6.Enabled());
    EXPECT_FALSE(form->Button7.Enabled());
    EXPECT_FALSE(form->Label7.Visible());
    EXPECT_EQ(form->Label7.Caption(), kSiteOpening);
    EXPECT_EQ(form->Edit5.Text(), "差异值");
    EXPECT_EQ(form->Edit6.Text(), "定时值");
    EXPECT_EQ(form->Button6.Caption(), "启动差异更新");
    EXPECT_EQ(form->Button7.Caption(), "启动定时更新");
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_EQ(form->SingleCheckCount, 0);
    EXPECT_EQ(form->Memo6.Text(), "");
    EXPECT_FALSE(form->TrayIcon1.Registered());

    struct TimerRow {
        TTimer& timer;
        std::int64_t interval;
    };
    const TimerRow timers[] = {{form->Timer3, 10},   {form->Timer4, 5000}, {form->Timer5, 1000},
                               {form->Timer6, 3000}, {form->Timer7, 1000}, {form->Timer8, 3000},
                               {form->Timer9, 3000}, {form->Timer2, 1000}};
    for (const TimerRow& row : timers) {
        EXPECT_EQ(row.timer.Interval(), row.interval) << row.timer.Name();
        EXPECT_FALSE(row.timer.Enabled()) << row.timer.Name();
    }
}

TEST_F(MainWindowTest, TheMenusCarryTheirCaptionsInOrder) {
    auto captions = [](const std::vector<TMenuItem*>& items) {
        std::vector<std::string> out;
        for (const TMenuItem* item : items) {
            out.push_back(item->Caption());
        }
        return out;
    };
    EXPECT_EQ(captions(form->MainMenu1.Items()),
              (std::vector<std::string>{"FTP设置", "网站设置", "更新设置", "启动设置",
                                        "创建快捷方式", "在线帮助"}));
    EXPECT_EQ(captions(form->N3.Items()),
              (std::vector<std::string>{"差异更新设置", "定时更新设置"}));
    EXPECT_EQ(form->N3.Hint(), "差异更新/定时更新相关设置");
    EXPECT_EQ(captions(form->PopupMenu1.Items()),
              (std::vector<std::string>{"显示主界面", "-", "在线帮助", "退出软件"}));
}

TEST_F(MainWindowTest, WithoutASettingsFileTheDefaultsApply) {
    ShowMainWindow();
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    EXPECT_EQ(form->Edit1.Text(), "127.0.0.1");
    EXPECT_EQ(form->Edit2.Text(), "kq");
    EXPECT_EQ(form->Edit3.Text(), "");
    EXPECT_EQ(form->Edit4.Text(), "kq");
    EXPECT_EQ(form->ftpaddr, "127.0.0.1");
    EXPECT_EQ(form->ftpuser, "kq");
    EXPECT_EQ(form->ftpdir, "kq");
    EXPECT_EQ(form->webfile, "index");
    EXPECT_EQ(form->webmain, kDefaultWebMain);
    EXPECT_EQ(form->timingtime, "00-00");
    EXPECT_EQ(form->difftime, 60000);
    EXPECT_EQ(form->Timer2.Interval(), 60000);
    EXPECT_FALSE(form->Timer2.Enabled());
    EXPECT_TRUE(form->Button2.Enabled());
    EXPECT_FALSE(form->Button1.Enabled());
    EXPECT_TRUE(startedLogins.empty());
    EXPECT_EQ(side->Navigations(), (std::vector<std::string>{kSidePageAddress}));
    EXPECT_TRUE(page->Navigations().empty());
    EXPECT_TRUE(form->TrayIcon1.Registered());
    EXPECT_EQ(form->TrayIcon1.Tip(), "双击显示主界面");
    EXPECT_FALSE(dir.Read("checkweb.html").empty());
    EXPECT_EQ(form->Memo5.Text(), dir.Read("checkweb.html"));
    EXPECT_EQ(form->Memo6.Text(), dir.Read("checkweb2.html"));
    EXPECT_FALSE(FileExists(dir.File("setfile.ini")));  // reading never creates it
}

TEST_F(MainWindowTest, SettingsAreTakenAsReadWithTheDecodedPassword) {
    Write(kSectionFtp, "ftpaddr", " ftp.example.net\t");  // blanks kept through the escape
    Write(kSectionFtp, "ftpuser", "用户");
    Write(kSectionFtp, "ftppass", EncodePassword(" pa;ss=word "));
    Write(kSectionFtp, "ftpdir", "/www/");
    Write(kSectionWeb, "webmain", "http://host/dir/page.aspx");
    Write(kSectionWeb, "webfile", "home");
    Write(kSectionStartup, "timingtime", "08-05");
    Write(kSectionStartup, "difftime", "$1D4C0");
    ShowMainWindow();
    EXPECT_EQ(form->Edit1.Text(), " ftp.example.net\t");
    EXPECT_EQ(form->ftpaddr, " ftp.example.net\t");
    EXPECT_EQ(form->Edit2.Text(), "用户");
    EXPECT_EQ(form->Edit3.Text(), " pa;ss=word ");
    EXPECT_EQ(form->Edit4.Text(), "/www/");
    EXPECT_EQ(form->webmain, "http://host/dir/page.aspx");
    EXPECT_EQ(form->webfile, "home");
    EXPECT_EQ(form->timingtime, "08-05");
    EXPECT_EQ(form->difftime, 120000);
    EXPECT_EQ(form->Timer2.Interval(), 120000);
}

TEST_F(MainWindowTest, PassiveModeTlsAndThePinAreReadWithTheOtherFtpSettings) {
    ShowMainWindow();
    EXPECT_FALSE(form->ftppasv);
    EXPECT_FALSE(form->ftptls);
    EXPECT_EQ(form->ftpcert, "");
    // Pages over https go through the secure transport.
    EXPECT_EQ(form->IdHTTP1.IOHandler(), &form->IdSSLIOHandlerSocket1);

    Write(kSectionFtp, "ftppasv", "1");
    Write(kSectionFtp, "ftptls", "1");
    Write(kSectionFtp, "ftpcert", "AA:BB");
    form->sButton1.Click();
    EXPECT_TRUE(form->ftppasv);
    EXPECT_TRUE(form->ftptls);
    EXPECT_EQ(form->ftpcert, "AA:BB");
}

TEST_F(MainWindowTest, ABadOrEmptyIntegerGivesTheDefaultPeriodAndAnUnreadableFileAllDefaults) {
    Write(kSectionStartup, "difftime", "ten minutes");
    ShowMainWindow();
    EXPECT_EQ(form->Timer2.Interval(), 60000);

    // A binary file in place of the settings: the reload gives the defaults, no message.
    Write(kSectionFtp, "ftpaddr", "host");
    form->sButton1.Click();
    EXPECT_EQ(form->Edit1.Text(), "host");
    dir.Write("setfile.ini", std::string("\0\xFF\xFE[\x01=\x02\r\n", 8) + std::string(5000, '\0'));
    form->sButton1.Click();
    EXPECT_EQ(form->Edit1.Text(), "127.0.0.1");
    EXPECT_EQ(form->Edit3.Text(), "");
    EXPECT_TRUE(harness.Messages().empty());
}

// Which login the start-up sequence runs for the start-up items diff and time.
TEST_F(MainWindowTest, TheStartUpItemsChooseTheLoginAndTheDifferentialUpdateWins) {
    struct Row {
        std::optional<std::string> diff;
        std::optional<std::string> time;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, {}},
        {"1", "1", {"sBitBtn1"}},
        {"1", std::nullopt, {"sBitBtn1"}},
        {"0", "1", {"sButton2"}},
        {"1 ", "1", {"sButton2"}},  // not exactly "1": time is consulted
        {"01", "0", {}},
        {"yes", "1 ", {}},
        {"", "1", {"sButton2"}},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(dir.File("setfile.ini"));
        TForm1 fresh(harness.App());
        std::vector<std::string> started;
        fresh.sBitBtn1.OnClick = [&] { started.push_back("sBitBtn1"); };
        fresh.sButton2.OnClick = [&] { started.push_back("sButton2"); };
        if (row.diff) {
            Write(kSectionAutoStart, "diff", *row.diff);
        }
        if (row.time) {
            Write(kSectionAutoStart, "time", *row.time);
        }
        fresh.Show();
        EXPECT_EQ(started, row.expected)
            << "diff=" << row.diff.value_or("(none)") << " time=" << row.time.value_or("(none)");
    }
}

TEST_F(MainWindowTest, TheStartUpLoginRunsAfterTheSettingsAndBeforeTheSidePage) {
    Write(kSectionAutoStart, "diff", "1");
    Write(kSectionFtp, "ftpaddr", "ftp.example.net");
    std::vector<std::string> seen;
    form->sBitBtn1.OnClick = [&] {
        seen.push_back(form->Edit1.Text());
        seen.push_back(form->Button2.Enabled() ? "Button2 enabled" : "Button2 disabled");
        seen.push_back(std::to_string(side->Navigations().size()) + " side navigations");
    };
    ShowMainWindow();
    EXPECT_EQ(seen, (std::vector<std::string>{"ftp.example.net", "Button2 enabled",
                                              "0 side navigations"}));
    EXPECT_EQ(side->Navigations().size(), 1u);
}

// "checkweb.html" missing: one message, both templates unloaded, no tray icon; the rest of the
// start-up runs. "checkweb2.html" missing: the first template loads, the rest is the same.
TEST_F(MainWindowTest, AMissingTemplateIsReportedOnceAndSkipsTheRestOfItsSteps) {
    for (const char* missing : {kTemplateFile1, kTemplateFile2}) {
        std::filesystem::remove(dir.File(kTemplateFile1));
        std::filesystem::remove(dir.File(kTemplateFile2));
        dir.Write(kTemplateFile1, "<html>\nfirst</html>");
        dir.Write(kTemplateFile2, "<html>second</html>");
        std::filesystem::remove(dir.File(missing));
        harness.ClearMessages();
        Write(kSectionAutoStart, "time", "1");

        TForm1 fresh(harness.App());
        auto& freshSide =
            fresh.WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
        int timedLogins = 0;
        fresh.sButton2.OnClick = [&] { ++timedLogins; };
        fresh.Show();
        fresh.Hide();
        fresh.Show();

        ASSERT_EQ(harness.Messages().size(), 1u) << missing;
        EXPECT_EQ(harness.Messages()[0],
                  (TMessageBoxRecord{TMessageKind::mkMessageBox, kMissingFilesMessage, "提示",
                                     TMessageBoxIcon::mbError}));
        EXPECT_EQ(fresh.Memo5.Text(),
                  missing == std::string(kTemplateFile1) ? "Memo5" : "<html>\r\nfirst</html>")
            << missing;
        EXPECT_EQ(fresh.Memo6.Text(), "") << missing;
        EXPECT_FALSE(fresh.TrayIcon1.Registered()) << missing;
        EXPECT_TRUE(fresh.Button2.Enabled()) << missing;
        EXPECT_EQ(fresh.Edit1.Text(), "127.0.0.1") << missing;
        EXPECT_EQ(timedLogins, 1) << missing;
        EXPECT_EQ(freshSide.Navigations().size(), 1u) << missing;
    }
}

TEST_F(MainWindowTest, TemplatesAreLoadedWithTheirLineBreaksMadeCrLf) {
    dir.Write(kTemplateFile1, "<html>\n<body>\r</body></html>\r\n");
    ShowMainWindow();
    EXPECT_EQ(form->Memo5.Text(), "<html>\r\n<body>\r\n</body></html>\r\n");
}

TEST_F(MainWindowTest, ShowingTheWindowAgainDoesNothing) {
    Write(kSectionAutoStart, "diff", "1");
    ShowMainWindow();
    const std::string template1 = form->Memo5.Text();

    Write(kSectionFtp, "ftpaddr", "changed.example.net");
    dir.Write(kTemplateFile1, "<html>changed</html>");
    form->Edit5.SetText("1");
    form->Hide();
    ShowMainWindow();

    EXPECT_EQ(startedLogins, (std::vector<std::string>{"sBitBtn1"}));
    EXPECT_EQ(form->Edit1.Text(), "127.0.0.1");
    EXPECT_EQ(form->Memo5.Text(), template1);
    EXPECT_EQ(form->Edit5.Text(), "1");
    EXPECT_EQ(side->Navigations().size(), 1u);
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(MainWindowTest, AZeroPeriodLeavesTheDifferentialTimerIdle) {
    Write(kSectionStartup, "difftime", "0");
    ShowMainWindow();
    int ticks = 0;
    form->Timer2.OnTimer = [&] { ++ticks; };
    form->Timer2.SetEnabled(true);
    harness.Advance(24 * 3600 * 1000);
    EXPECT_EQ(form->Timer2.Interval(), 0);
    EXPECT_EQ(ticks, 0);
}

TEST_F(MainWindowTest, TheReloadReadsTheSettingsAndNothingElse) {
    ShowMainWindow();
    form->Edit5.SetText("1");
    form->Button1.SetEnabled(true);
    const std::string template1 = form->Memo5.Text();

    Write(kSectionFtp, "ftpaddr", "new.example.net");
    Write(kSectionFtp, "ftppass", EncodePassword("secret"));
    Write(kSectionWeb, "webmain", "http://new.example.net/a/b.php");
    Write(kSectionWeb, "webfile", "b");
    Write(kSectionStartup, "timingtime", "23-59");
    Write(kSectionStartup, "difftime", "300000");
    Write(kSectionAutoStart, "diff", "1");
    dir.Write(kTemplateFile1, "<html>changed</html>");
    form->sButton1.Click();

    EXPECT_EQ(form->Edit1.Text(), "new.example.net");
    EXPECT_EQ(form->Edit3.Text(), "secret");
    EXPECT_EQ(form->webmain, "http://new.example.net/a/b.php");
    EXPECT_EQ(form->webfile, "b");
    EXPECT_EQ(form->timingtime, "23-59");
    EXPECT_EQ(form->Timer2.Interval(), 300000);
    EXPECT_EQ(form->Memo5.Text(), template1);
    EXPECT_EQ(form->Edit5.Text(), "1");
    EXPECT_TRUE(form->Button1.Enabled());
    EXPECT_TRUE(startedLogins.empty());
    EXPECT_EQ(side->Navigations().size(), 1u);
}

// Saving the same period leaves a running differential timer alone; a new period restarts it.
TEST_F(MainWindowTest, TheReloadRestartsARunningTimerOnlyForANewPeriod) {
    ShowMainWindow();
    std::vector<long long> ticks;
    const auto start = harness.Clock().Now();
    form->Timer2.OnTimer = [&] { ticks.push_back(harness.Clock().Now() - start); };
    form->Timer2.SetEnabled(true);
    harness.Advance(30000);
    Write(kSectionStartup, "difftime", "60000");
    form->sButton1.Click();
    harness.Advance(40000);
    Write(kSectionStartup, "difftime", "120000");
    form->sButton1.Click();
    harness.Advance(130000);
    EXPECT_EQ(ticks, (std::vector<long long>{60000, 190000}));
}

TEST_F(MainWindowTest, TheMenuItemsOpenTheirWindowsOnTheirPages) {
    auto& form2 = harness.App().Form<TForm2>();
    auto& form4 = harness.App().Form<TForm4>();
    form->N1.Click();
    EXPECT_TRUE(form2.Visible());
    EXPECT_EQ(form2.sPageControl1.ActivePageIndex(), 1);
    form->FTP1.Click();
    EXPECT_EQ(form2.sPageControl1.ActivePageIndex(), 0);
    form->N9.Click();
    EXPECT_TRUE(form4.Visible());
    EXPECT_EQ(form4.sPageControl1.ActivePageIndex(), 1);
    form->N8.Click();
    EXPECT_EQ(form4.sPageControl1.ActivePageIndex(), 0);
    form->N11.Click();
    EXPECT_TRUE(harness.App().Form<TForm9>().Visible());
    auto& form3 = harness.App().Form<TForm3>();
    form->N2.Click();
    EXPECT_TRUE(form3.Visible());
    EXPECT_EQ(form3.sPageControl1.ActivePageIndex(), 1);  // the help tab, first time
    EXPECT_FALSE(form->Visible());                        // none of them blocks or shows Form1
}

TEST_F(MainWindowTest, TheShippedTemplatesAreSingleLinesOfSerialisedHtml) {
    for (const char* name : {kTemplateFile1, kTemplateFile2}) {
        const std::string html = ReadWholeFile(shippedDirectory + name);
        EXPECT_EQ(html.find_first_of("\r\n"), std::string::npos) << name;
        EXPECT_EQ(html.rfind("<html><head>", 0), 0u) << name;
        EXPECT_EQ(html.substr(html.size() - 14), "</body></html>") << name;
    }
    EXPECT_NE(ReadWholeFile(shippedDirectory + kTemplateFile1),
              ReadWholeFile(shippedDirectory + kTemplateFile2));
}

}  // namespace
}  // namespace velomaris
