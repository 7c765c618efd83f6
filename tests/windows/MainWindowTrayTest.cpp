// The main window's tray icon, close request, tray menu and desktop shortcut, and the settings
// windows working with the real main window.
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "app/Forms.h"
#include "app/Unit1.h"
#include "platform/Text.h"
#include "platform/browser/ScriptedBrowserEngine.h"
#include "platform/shell/ExecutablePath.h"
#include "settings/PasswordCodec.h"
#include "tests/windows/WindowTestFixture.h"
#include "windows/SetFileSections.h"
#include "windows/Unit2.h"
#include "windows/Unit3.h"
#include "windows/Unit4.h"

namespace velomaris {
namespace {

// The nine windows in a program directory of their own holding the two templates, with HOME
// pointed at a temporary directory.
class MainWindowTrayTest : public ::testing::Test {
protected:
    MainWindowTrayTest() {
        for (const char* name : {kTemplateFile1, kTemplateFile2}) {
            dir.Write(name, ReadWholeFile(shippedDirectory + name));
        }
        environment.Set("HOME", home.Path());
        environment.Set("XDG_CONFIG_HOME", std::nullopt);
        CreateForms(harness.App());
        form = &harness.App().Form<TForm1>();
        form->WebBrowser1.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
        form->WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    }

    // The first showing, as the program's Run does it: the start-up registers the tray icon.
    void StartUp() {
        harness.App().Deliver([this] { form->Show(); });
        harness.ClearMessages();
    }
    // A running mode is its timers: the period of the differential update, ticking every
    // second, stands for it.
    void RunAMode(int& ticks) {
        form->Timer2.OnTimer = [&ticks] { ++ticks; };
        form->Timer2.SetInterval(1000);
        form->Timer2.SetEnabled(true);
    }
    // What the tray icon's window sees; nothing else must change for ignored messages.
    struct Observed {
        bool visible;
        bool minimized;
        bool foreground;
        int popups;
        bool operator==(const Observed&) const = default;
    };
    Observed Observe() {
        return {form->Visible(), harness.App().Minimized(), harness.App().ForegroundForm() == form,
                form->PopupMenu1.PopupCount()};
    }
    void Write(const char* section, const char* key, const std::string& value) {
        TProfileFile(dir.File("setfile.ini")).WriteString(section, key, value);
    }

    const std::string shippedDirectory = ProgramDirectory();
    TempDir dir;
    ScopedProgramDirectory programDirectory{dir.Path()};
    TempDir home;
    testing::ScopedEnvironment environment;
    HeadlessHarness harness;
    TForm1* form = nullptr;
};

TEST_F(MainWindowTrayTest, ADoubleClickOnTheIconShowsRestoresAndBringsTheWindowForward) {
    StartUp();
    ASSERT_TRUE(form->TrayIcon1.Registered());
    EXPECT_EQ(form->TrayIcon1.Tip(), "双击显示主界面");
    EXPECT_EQ(form->TrayIcon1.CallbackMessage(), 3000u);
    form->Close();
    harness.App().Minimize();
    EXPECT_EQ(Observe(), (Observed{false, true, false, 0}));

    form->Perform(3000, 0, 515);
    EXPECT_EQ(Observe(), (Observed{true, false, true, 0}));
    // The same through the icon, as a windowed backend reports the double-click.
    form->Close();
    harness.App().Minimize();
    form->TrayIcon1.MouseEvent(WM_LBUTTONDBLCLK);
    EXPECT_EQ(Observe(), (Observed{true, false, true, 0}));
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(MainWindowTrayTest, ARightButtonPressPopsUpTheTrayMenuAtTheCursor) {
    StartUp();
    form->Close();
    form->Perform(3000, 0, 516);
    EXPECT_EQ(Observe(), (Observed{false, false, false, 1})) << "the window stays hidden";
    EXPECT_EQ(form->PopupMenu1.LastPopupPosition(), harness.App().Backend().CursorPos());
    form->TrayIcon1.MouseEvent(WM_RBUTTONDOWN);
    EXPECT_EQ(form->PopupMenu1.PopupCount(), 2);
    EXPECT_EQ(form->MainMenu1.PopupCount(), 0);
}

TEST_F(MainWindowTrayTest, OtherMessagesAndOtherMouseEventsDoNothing) {
    StartUp();
    form->Close();
    harness.App().Minimize();
    const Observed before = Observe();
    struct Row {
        std::uint32_t msg;
        std::intptr_t lParam;
    };
    const Row rows[] = {
        {2999, 515}, {3001, 516}, {0, 515}, {515, 515}, {516, 516},  // not the callback message
        {3000, 512},                                                 // mouse move
        {3000, 513},                                                 // left press (single click)
        {3000, 514},                                                 // left release
        {3000, 517},                                                 // right release
        {3000, 518},                                                 // right double-click
        {3000, 0},
    };
    for (const Row& row : rows) {
        form->Perform(row.msg, 515, row.lParam);
        EXPECT_EQ(Observe(), before) << row.msg << " " << row.lParam;
    }
    for (std::intptr_t mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP}) {
        form->TrayIcon1.MouseEvent(mouse);
        EXPECT_EQ(Observe(), before) << mouse;
    }
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(MainWindowTrayTest, WithoutATemplateThereIsNoIconToBringTheWindowBack) {
    std::filesystem::remove(dir.File(kTemplateFile1));
    StartUp();
    EXPECT_FALSE(form->TrayIcon1.Registered());
    form->Close();
    form->TrayIcon1.MouseEvent(WM_LBUTTONDBLCLK);
    EXPECT_FALSE(form->Visible());
}

TEST_F(MainWindowTrayTest, ACloseRequestHidesTheWindowAndEverythingKeepsRunning) {
    StartUp();
    int ticks = 0;
    RunAMode(ticks);
    EXPECT_FALSE(form->Close()) << "the request is refused";
    EXPECT_FALSE(form->Visible());
    harness.Advance(3000);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_FALSE(harness.App().Terminated());
    EXPECT_TRUE(form->TrayIcon1.Registered());
}

// Without a notification area a hidden window could never come back: the close request
// minimises it instead, and everything keeps running as with the tray.
TEST_F(MainWindowTrayTest, WithoutASystemTrayACloseRequestMinimisesInsteadOfHiding) {
    dynamic_cast<THeadlessBackend&>(harness.App().Backend()).SetSystemTrayAvailable(false);
    StartUp();
    int ticks = 0;
    RunAMode(ticks);
    EXPECT_FALSE(form->Close()) << "the request is refused";
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(harness.App().Minimized());
    harness.Advance(2000);
    EXPECT_EQ(ticks, 2);
    // The double-click path still brings it back when a tray appears later.
    form->Perform(kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(harness.App().Minimized());
}

TEST_F(MainWindowTrayTest, ShowFromTheMenuNeitherRestoresNorBringsForward) {
    StartUp();
    form->Close();
    harness.App().Minimize();
    harness.UserClick(form->N4);
    EXPECT_EQ(Observe(), (Observed{true, true, false, 0}));
}

TEST_F(MainWindowTrayTest, HelpFromTheTrayMenuShowsTheHelpWindow) {
    StartUp();
    form->Close();
    harness.UserClick(form->N10);
    EXPECT_TRUE(harness.App().Form<TForm3>().Visible());
    EXPECT_FALSE(form->Visible());
}

TEST_F(MainWindowTrayTest, ExitDeletesTheIconAndEndsTheLoopWithoutSavingAnything) {
    harness.App().Post([this] { form->N6.Click(); });
    harness.App().Run();  // shows the main window, runs the start-up, then the exit
    EXPECT_TRUE(harness.App().Terminated());
    EXPECT_FALSE(form->TrayIcon1.Registered());
    EXPECT_FALSE(FileExists(dir.File("setfile.ini")));
}

class DesktopShortcutCommandTest : public MainWindowTrayTest {
protected:
    std::string Desktop() const { return home.File("Desktop"); }
    ScopedExecutablePath executable{"/opt/velo maris/velomaris"};
};

TEST_F(DesktopShortcutCommandTest, TheShortcutIsAnExecutableEntryNamedAfterTheProgram) {
    std::filesystem::create_directories(Desktop());
    const std::string file = Desktop() + "/velomaris.desktop";
    home.Write("Desktop/velomaris.desktop", "an older shortcut");
    ::chmod(file.c_str(), 0644);
    harness.UserClick(form->N7);
    const TMessageBoxRecord dialog{TMessageKind::mkPlainDialog, "已经在桌面上成功添加快捷方式",
                                   "Velomaris", TMessageBoxIcon::mbNone};
    EXPECT_EQ(harness.Messages(), std::vector<TMessageBoxRecord>{dialog});
    EXPECT_EQ(ReadWholeFile(file),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=velomaris\n"
              "Exec=\"/opt/velo maris/velomaris\"\n"
              "Path=" +
                  dir.Path() +
                  "\n"
                  "Terminal=false\n");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::owner_exec);
}

TEST_F(DesktopShortcutCommandTest, AnExtensionIsDroppedAndTheUsersDesktopDirectoryIsUsed) {
    std::filesystem::create_directories(home.File(".config"));
    // The file system and user-dirs.dirs hold UTF-8; the program's texts are GBK.
    const std::string desktopUtf8 = GbkToUtf8("桌面");
    home.Write(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/" + desktopUtf8 + "\"\n");
    std::filesystem::create_directories(home.File(desktopUtf8));
    ScopedExecutablePath windowsStyle("/opt/tool.exe");
    harness.UserClick(form->N7);
    EXPECT_EQ(harness.Messages().size(), 1u);
    EXPECT_TRUE(FileExists(home.File("桌面/tool.desktop")));
    EXPECT_FALSE(std::filesystem::exists(Desktop()));
}

TEST_F(DesktopShortcutCommandTest, AnyFailureEndsTheCommandSilently) {
    // No desktop directory at all.
    harness.UserClick(form->N7);
    EXPECT_TRUE(harness.Messages().empty());
    EXPECT_FALSE(std::filesystem::exists(Desktop()));
    // A desktop that is a file.
    home.Write("Desktop", "not a directory");
    harness.UserClick(form->N7);
    EXPECT_TRUE(harness.Messages().empty());
}

// The settings windows with the real main window behind their reload.
TEST_F(MainWindowTrayTest, TheMainWindowSeesNewFtpValuesOnlyAfterTheBoxIsClosed) {
    Write(kSectionFtp, "ftpaddr", "old.example.net");
    Write(kSectionFtp, "ftppass", EncodePassword("secret"));
    StartUp();
    ASSERT_EQ(form->Edit3.Text(), "secret");
    form->FTP1.Click();
    auto& settings = harness.App().Form<TForm2>();
    ASSERT_EQ(settings.sEdit3.Text(), "secret");
    settings.sEdit1.SetText(" new.example.net ");
    std::string whileOpen;
    harness.WhileBoxOpen([&](const TMessageBoxRecord&) { whileOpen = form->Edit1.Text(); });
    settings.sBitBtn1.Click();
    EXPECT_EQ(whileOpen, "old.example.net");
    EXPECT_EQ(form->Edit1.Text(), "new.example.net");
    EXPECT_EQ(form->ftpaddr, "new.example.net");
    EXPECT_EQ(form->Edit3.Text(), "secret") << "the untouched password decodes as before";
}

TEST_F(MainWindowTrayTest, TheMainWindowTakesANewPeriodBeforeTheBoxIsShown) {
    StartUp();
    form->N8.Click();
    auto& update = harness.App().Form<TForm4>();
    update.sComboBox3.SetText("5");
    std::int32_t whileOpen = 0;
    harness.WhileBoxOpen([&](const TMessageBoxRecord&) { whileOpen = form->difftime; });
    update.sBitBtn2.Click();
    EXPECT_EQ(whileOpen, 300000);
    EXPECT_EQ(form->Timer2.Interval(), 300000);

    form->N9.Click();
    update.sComboBox1.SetText("08");
    update.sComboBox2.SetText("66");
    update.sBitBtn4.Click();
    EXPECT_EQ(form->timingtime, "08-59");
}

}  // namespace
}  // namespace velomaris
