// The start-up settings window TForm9 and its autostart entry.
#include "windows/Unit9.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "platform/shell/ExecutablePath.h"
#include "tests/windows/WindowTestFixture.h"
#include "windows/SetFileSections.h"

namespace velomaris {
namespace {

const TMessageBoxRecord kSaved = Box("信息保存成功", "软件启动设置", TMessageBoxIcon::mbWarning);
const TMessageBoxRecord kFailed =
    Box("信息保存失败，请检查是否缺少必要的文件", "软件启动设置", TMessageBoxIcon::mbError);

class StartupSettingsWindowTest : public WindowTest {
protected:
    std::string AutostartDirectory() const { return home.File(".config/autostart"); }
    std::string EntryFile() const { return AutostartDirectory() + "/VelomarisV3.0.desktop"; }
    std::string Entry() const { return FileExists(EntryFile()) ? ReadWholeFile(EntryFile()) : ""; }
    size_t EntryCount() const {
        if (!std::filesystem::is_directory(AutostartDirectory())) {
            return 0;
        }
        const std::filesystem::directory_iterator entries(AutostartDirectory());
        return static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }
    // The selected radio button, by name.
    std::string Selected() const {
        std::string names;
        for (const TRadioButton* each :
             {&form.sRadioButton1, &form.sRadioButton2, &form.sRadioButton3}) {
            if (each->Checked()) {
                names += each->Name();
            }
        }
        return names;
    }

    ScopedExecutablePath executable{"/opt/velo maris/velomaris"};
    TForm9& form = harness.App().CreateForm<TForm9>();
};

TEST_F(StartupSettingsWindowTest, TheWindowHoldsItsChoicesInTabOrder) {
    EXPECT_EQ(form.Caption(), "软件启动设置");
    EXPECT_EQ(Names(form.TabOrder()),
              (std::vector<std::string>{"sCheckBox1", "sRadioButton1", "sRadioButton2",
                                        "sRadioButton3", "sBitBtn1", "sBitBtn2"}));
    EXPECT_EQ(form.sCheckBox1.Caption(), "软件随系统一起启动");
    EXPECT_EQ(form.sRadioButton1.Caption(), "软件启动时自动启动[差异更新]");
    EXPECT_EQ(form.sRadioButton2.Caption(), "软件启动时自动启动[定时更新]");
    EXPECT_EQ(form.sRadioButton3.Caption(), "全部不启动");
    EXPECT_EQ(form.sBitBtn1.Caption(), "保存设置");
    EXPECT_EQ(form.sBitBtn2.Caption(), "关闭");
    EXPECT_EQ(Selected(), "sRadioButton3");
    EXPECT_FALSE(form.sCheckBox1.Checked());

    // Clicking a choice selects it alone; clicking the box toggles it.
    form.sRadioButton2.Click();
    EXPECT_EQ(Selected(), "sRadioButton2");
    form.sRadioButton1.Click();
    EXPECT_EQ(Selected(), "sRadioButton1");
    form.sCheckBox1.Click();
    EXPECT_TRUE(form.sCheckBox1.Checked());
    form.sCheckBox1.Click();
    EXPECT_FALSE(form.sCheckBox1.Checked());
}

TEST_F(StartupSettingsWindowTest, ShowingCountsOnlyAnExactOneAsSet) {
    struct Row {
        std::optional<std::string> diff, time, soft;
        std::string selected;
        bool ticked;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, std::nullopt, "sRadioButton3", false},  // no file
        {"1", "1", "1", "sRadioButton1", true},  // the differential update wins
        {"0", "1", "yes", "sRadioButton2", false},
        {"01", "01", "01", "sRadioButton3", false},
        {"1 ", "1", "", "sRadioButton2", false},
        {"", "", "1", "sRadioButton3", true},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(SettingsFile());
        for (const auto& [key, value] : {std::pair{"diff", row.diff}, std::pair{"time", row.time},
                                         std::pair{"soft", row.soft}}) {
            if (value) {
                Write(kSectionAutoStart, key, *value);
            }
        }
        // Whatever the window held before is replaced.
        form.sRadioButton1.Click();
        form.sCheckBox1.SetChecked(!row.ticked);
        form.Hide();
        form.Show();
        EXPECT_EQ(Selected(), row.selected) << row.diff.value_or("-") << row.time.value_or("-");
        EXPECT_EQ(form.sCheckBox1.Checked(), row.ticked) << row.soft.value_or("-");
    }
}

TEST_F(StartupSettingsWindowTest, SavingWritesTheModeKeysInOrderAndTheAutostartEntry) {
    form.Show();
    form.sRadioButton2.Click();
    form.sCheckBox1.Click();
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_EQ(FileBytes(), "[软件启动项]\r\ndiff=0\r\ntime=1\r\nsoft=1\r\n");
    EXPECT_EQ(Entry(),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=VelomarisV3.0\n"
              "Exec=\"/opt/velo maris/velomaris\"\n"
              "Terminal=false\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(events.empty()) << "this window makes no reload";

    // Ticked twice: still one entry, written again.
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_EQ(EntryCount(), 1u);

    // The program moved: the entry names the new path.
    {
        ScopedExecutablePath moved("/srv/velomaris/velomaris");
        form.sBitBtn1.Click();
    }
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_EQ(EntryCount(), 1u);
    EXPECT_NE(Entry().find("\nExec=\"/srv/velomaris/velomaris\"\n"), std::string::npos);

    // Cleared: the entry goes, soft is "0".
    form.sCheckBox1.Click();
    form.sRadioButton3.Click();
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_FALSE(FileExists(EntryFile()));
    EXPECT_EQ(FileBytes(), "[软件启动项]\r\ndiff=0\r\ntime=0\r\nsoft=0\r\n");
}

TEST_F(StartupSettingsWindowTest, BothModesSetAreSavedAsTheDifferentialUpdateOnly) {
    Write(kSectionAutoStart, "diff", "1");
    Write(kSectionAutoStart, "time", "1");
    form.Show();
    form.sBitBtn1.Click();
    EXPECT_EQ(Read(kSectionAutoStart, "diff"), "1");
    EXPECT_EQ(Read(kSectionAutoStart, "time"), "0");
}

TEST_F(StartupSettingsWindowTest, ClearingWithoutAnEntryOrDirectoryStillSucceeds) {
    form.Show();
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_EQ(Read(kSectionAutoStart, "soft"), "0");
    EXPECT_FALSE(std::filesystem::exists(AutostartDirectory())) << "clearing creates nothing";
}

TEST_F(StartupSettingsWindowTest, AnUnwritableAutostartDirectoryFailsWithSoftAlreadySet) {
    // A file where the directory should be: no entry can be written there, even by root.
    std::filesystem::create_directories(home.File(".config"));
    home.Write(".config/autostart", "not a directory");
    form.Show();
    form.sRadioButton1.Click();
    form.sCheckBox1.Click();
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kFailed});
    // What was written before the failure stays: shown again, the box is ticked.
    EXPECT_EQ(FileBytes(), "[软件启动项]\r\ndiff=1\r\ntime=0\r\nsoft=1\r\n");
    form.Hide();
    form.Show();
    EXPECT_TRUE(form.sCheckBox1.Checked());
}

TEST_F(StartupSettingsWindowTest, AnUnwritableSettingsFileFailsBeforeTheEntryIsTouched) {
    Write(kSectionAutoStart, "soft", "0");
    ASSERT_EQ(::chmod(SettingsFile().c_str(), 0444), 0);
    form.Show();
    form.sCheckBox1.Click();
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kFailed});
    EXPECT_FALSE(FileExists(EntryFile()));
}

TEST_F(StartupSettingsWindowTest, TheCloseButtonHidesWithoutSaving) {
    form.Show();
    form.sCheckBox1.Click();
    form.sBitBtn2.Click();
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(FileExists(SettingsFile()));
    EXPECT_FALSE(FileExists(EntryFile()));
}

}  // namespace
}  // namespace velomaris
