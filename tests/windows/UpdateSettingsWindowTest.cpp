// The update settings window TForm4: the differential period in minutes and the time of day.
#include "windows/Unit4.h"

#include <sys/stat.h>

#include <cstdio>
#include <optional>

#include "platform/Text.h"
#include "tests/windows/WindowTestFixture.h"
#include "windows/SetFileSections.h"

namespace velomaris {
namespace {

const TMessageBoxRecord kIntervalSaved =
    Box("差异更新信息保存成功", "差异更新", TMessageBoxIcon::mbWarning);
const TMessageBoxRecord kTimeSaved =
    Box("定时更新信息保存成功", "定时更新", TMessageBoxIcon::mbWarning);
const TMessageBoxRecord kTimeFailed =
    Box("定时更新信息保存失败，请检查是否缺少必要的文件", "定时更新", TMessageBoxIcon::mbError);

class UpdateSettingsWindowTest : public WindowTest {
protected:
    void Type(TComboBox& box, const std::string& keys) {
        for (char key : keys) {
            box.KeyPress(key);
        }
    }
    // A click by the user: an escaping error becomes the general error report.
    void UserClick(TButton& button) { harness.UserClick(button); }

    TForm4& form = harness.App().CreateForm<TForm4>(reload);
};

TEST_F(UpdateSettingsWindowTest, TheWindowHoldsItsListsTextsAndButtonsInTabOrder) {
    EXPECT_EQ(form.Caption(), "网站更新设置");
    EXPECT_EQ(form.sPageControl1.PageCaption(0), "差异更新");
    EXPECT_EQ(form.sPageControl1.PageCaption(1), "定时更新");
    EXPECT_EQ(Names(form.TabOrder(0)),
              (std::vector<std::string>{"sComboBox3", "sBitBtn2", "sBitBtn1"}));
    EXPECT_EQ(Names(form.TabOrder(1)),
              (std::vector<std::string>{"sComboBox1", "sComboBox2", "sBitBtn4", "sBitBtn3"}));

    struct ListRow {
        TComboBox& box;
        size_t count;
        std::string first, second, last;
        int maxLength;
    };
    const ListRow lists[] = {{form.sComboBox3, 60, "1", "2", "60", 2},
                             {form.sComboBox1, 24, "00", "01", "23", 0},
                             {form.sComboBox2, 60, "00", "01", "59", 0}};
    for (const ListRow& row : lists) {
        const auto& items = row.box.Items();
        ASSERT_EQ(items.size(), row.count) << row.box.Name();
        EXPECT_EQ(items[0], row.first) << row.box.Name();
        EXPECT_EQ(items[1], row.second) << row.box.Name();
        EXPECT_EQ(items.back(), row.last) << row.box.Name();
        EXPECT_EQ(row.box.MaxLength(), row.maxLength) << row.box.Name();
    }
    EXPECT_EQ(form.sComboBox1.Items()[9], "09");
    EXPECT_EQ(form.sComboBox1.Items()[10], "10");

    const std::vector<std::pair<TControl*, std::string>> captions = {
        {&form.sLabel1, "间隔比较时间："},
        {&form.sLabel2, "分"},
        {&form.sLabel3,
         "差异更新，软件会每隔一段时间去比较动态主页是否有更新的情况，如果有更新，则马上进行转换操"
         "作,并把转换好的文件上传到服务器上。以便他人能浏览到最新的信息。"},
        {&form.sBitBtn2, "保存设置"},
        {&form.sBitBtn1, "关闭"},
        {&form.sLabel4, "每天："},
        {&form.sLabel5, "时"},
        {&form.sLabel6, "分"},
        {&form.sLabel7,
         "定时更新，软件会您设置的时间里面去转换动态主页，,并把转换好的文件上传到服务器上。以便他人"
         "能浏览到最新的信息。"},
        {&form.sBitBtn4, "保存设置"},
        {&form.sBitBtn3, "关闭"},
    };
    for (const auto& [control, caption] : captions) {
        EXPECT_EQ(control->Caption(), caption) << control->Name();
    }
}

TEST_F(UpdateSettingsWindowTest, ShowingFillsThePeriodInWholeMinutesAndTheTwoTimeFields) {
    struct Row {
        std::optional<std::string> difftime;
        std::optional<std::string> timingtime;
        std::string minutes, hour, minute;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, "1", "00", "00"},  // no file: this window's defaults
        {"90000", "08-05", "1", "08", "05"},            // the division truncates
        {"0", "23-59", "0", "23", "59"},
        {"59999", "6-30", "0", "6-", "30"},  // a one-digit hour as the window once stored it
        {"-120000", "7", "-2", "7", "7"},
        {"0x1D4C0", "", "2", "", ""},
        {"abc", "12-345", "1", "12", "45"},  // a malformed period gives the default
        {"3600000", "12:30", "60", "12", "30"},
    };
    for (const Row& row : rows) {
        std::remove(SettingsFile().c_str());
        if (row.difftime) {
            Write(kSectionStartup, "difftime", *row.difftime);
        }
        if (row.timingtime) {
            Write(kSectionStartup, "timingtime", *row.timingtime);
        }
        form.Hide();
        form.Show();
        const std::string why =
            row.difftime.value_or("(none)") + " " + row.timingtime.value_or("(none)");
        EXPECT_EQ(form.sComboBox3.Text(), row.minutes) << why;
        EXPECT_EQ(form.sComboBox1.Text(), row.hour) << why;
        EXPECT_EQ(form.sComboBox2.Text(), row.minute) << why;
    }
}

TEST_F(UpdateSettingsWindowTest, TypedKeysAreFilteredPerBox) {
    struct Row {
        TComboBox& box;
        std::string keys;
        std::string text;
    };
    const Row rows[] = {
        // The period: digits only, at most two of them.
        {form.sComboBox3, "a1-b2 3", "12"},
        {form.sComboBox3, "9\b\b7", "7"},
        {form.sComboBox3, "$0x1", "01"},
        // Hour and minute: only the digits "0" to "6" (7, 8, 9 never get in), no limit.
        {form.sComboBox1, "0789", "0"},
        {form.sComboBox1, "66", "66"},
        {form.sComboBox1, "1a2:3", "123"},
        {form.sComboBox2, "5\b7\b60", "60"},
        {form.sComboBox2, "-9", ""},
    };
    for (const Row& row : rows) {
        row.box.SetText("");
        Type(row.box, row.keys);
        EXPECT_EQ(row.box.Text(), row.text) << row.box.Name() << " typing " << row.keys;
    }
    // Entries picked from the list are not filtered.
    form.sComboBox1.SetItemIndex(19);
    EXPECT_EQ(form.sComboBox1.Text(), "19");
}

TEST_F(UpdateSettingsWindowTest, SavingThePeriodStoresMillisecondsAndReloadsBeforeTheBox) {
    struct Row {
        std::string typed;
        std::string stored;
    };
    const Row rows[] = {{"1", "60000"}, {"0", "0"}, {"60", "3600000"}, {"99", "5940000"}};
    for (const Row& row : rows) {
        form.sComboBox3.SetText(row.typed);
        form.sBitBtn2.Click();
        EXPECT_EQ(Read(kSectionStartup, "difftime"), row.stored) << row.typed;
        // The main window already works with the new period while the box is open.
        EXPECT_EQ(events, (std::vector<std::string>{"reload", "box 差异更新信息保存成功"}))
            << row.typed;
        EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kIntervalSaved});
    }
}

TEST_F(UpdateSettingsWindowTest, AStoredPeriodOfNinetySecondsIsSavedUnchangedAsOneMinute) {
    Write(kSectionStartup, "difftime", "90000");
    form.Show();
    form.sBitBtn2.Click();
    EXPECT_EQ(Read(kSectionStartup, "difftime"), "60000");
}

TEST_F(UpdateSettingsWindowTest, APeriodThatIsNoNumberIsRefusedWithoutWritingAnything) {
    Write(kSectionStartup, "difftime", "120000");
    const std::string before = FileBytes();
    for (const std::string text : {"", "1a", "-"}) {
        form.sComboBox3.SetText(text);
        form.sBitBtn2.Click();
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << text;
        EXPECT_EQ(boxes[0].title, "差异更新");
        EXPECT_EQ(boxes[0].icon, TMessageBoxIcon::mbError);
        EXPECT_EQ(FileBytes(), before) << text;
    }
    // A text set by the program can hold more than two digits: a period that does not fit
    // the stored 32-bit value is refused instead of wrapping into another one.
    form.sComboBox3.SetText("35792");
    form.sBitBtn2.Click();
    EXPECT_EQ(TakeBoxes().at(0).icon, TMessageBoxIcon::mbError);
    EXPECT_EQ(FileBytes(), before);
    form.sComboBox3.SetText("35791");
    form.sBitBtn2.Click();
    EXPECT_EQ(Read(kSectionStartup, "difftime"), "2147460000");
}

TEST_F(UpdateSettingsWindowTest, SavingTheTimeClampsHourAndMinuteAndWritesTheBoxesAsTheyAre) {
    struct Row {
        std::string hour, minute;
        std::string stored;
    };
    const Row rows[] = {
        {"66", "66", "23-59"}, {"24", "60", "23-59"}, {"23", "59", "23-59"},
        {"08", "05", "08-05"}, {"6", "30", "6-30"},   {"000", "0", "000-0"},
    };
    for (const Row& row : rows) {
        form.sComboBox1.SetText(row.hour);
        form.sComboBox2.SetText(row.minute);
        form.sBitBtn4.Click();
        EXPECT_EQ(Read(kSectionStartup, "timingtime"), row.stored) << row.hour << row.minute;
        EXPECT_EQ(form.sComboBox1.Text() + "-" + form.sComboBox2.Text(), row.stored);
        EXPECT_EQ(events, (std::vector<std::string>{"reload", "box 定时更新信息保存成功"}));
        EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kTimeSaved});
    }
}

TEST_F(UpdateSettingsWindowTest, AOneDigitHourShownAgainStopsTheSaveAtTheGeneralErrorReport) {
    form.Show();
    form.sComboBox1.SetText("");
    Type(form.sComboBox1, "6");
    form.sComboBox2.SetText("");
    Type(form.sComboBox2, "30");
    form.sBitBtn4.Click();
    EXPECT_EQ(Read(kSectionStartup, "timingtime"), "6-30");
    TakeBoxes();

    form.Hide();
    form.Show();
    EXPECT_EQ(form.sComboBox1.Text(), "6-");
    EXPECT_EQ(form.sComboBox2.Text(), "30");
    const std::string before = FileBytes();
    UserClick(form.sBitBtn4);
    EXPECT_EQ(TakeBoxes(),
              std::vector<TMessageBoxRecord>{Box("'6-' is not a valid integer value.", "Velomaris",
                                                 TMessageBoxIcon::mbError)});
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(form.Visible());
}

TEST_F(UpdateSettingsWindowTest, AnEmptyHourOrMinuteReachesTheGeneralErrorReport) {
    struct Row {
        std::string hour, minute;
        std::string report;
    };
    const Row rows[] = {
        {"", "00", "'' is not a valid integer value."},
        {"66", "", "'' is not a valid integer value."},
    };
    for (const Row& row : rows) {
        form.sComboBox1.SetText(row.hour);
        form.sComboBox2.SetText(row.minute);
        UserClick(form.sBitBtn4);
        EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{
                                   Box(row.report, "Velomaris", TMessageBoxIcon::mbError)});
        EXPECT_FALSE(FileExists(SettingsFile())) << "nothing is written";
    }
    // The hour was clamped before the minute failed: the box shows what the save did.
    EXPECT_EQ(form.sComboBox1.Text(), "23");
}

TEST_F(UpdateSettingsWindowTest, AFileThatCannotBeWrittenGivesEachTabsFailureMessage) {
    Write(kSectionStartup, "difftime", "60000");
    ASSERT_EQ(::chmod(SettingsFile().c_str(), 0444), 0);
    form.Show();
    form.sComboBox1.SetText("99");
    form.sBitBtn4.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kTimeFailed});
    EXPECT_EQ(form.sComboBox1.Text(), "23") << "the clamping happened before the write";
    form.sBitBtn2.Click();
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "差异更新");
    EXPECT_EQ(boxes[0].icon, TMessageBoxIcon::mbError);
    EXPECT_EQ(Read(kSectionStartup, "difftime"), "60000");
}

TEST_F(UpdateSettingsWindowTest, TheCloseButtonsHideWithoutSaving) {
    for (TButton* close : {&form.sBitBtn1, &form.sBitBtn3}) {
        form.Show();
        form.sComboBox3.SetText("5");
        close->Click();
        EXPECT_FALSE(form.Visible());
        EXPECT_FALSE(FileExists(SettingsFile()));
        EXPECT_TRUE(harness.Messages().empty());
    }
}

TEST(ComboBoxTypingTest, BackspaceRemovesAWholeDoubleByteCharacterAndTheLimitHolds) {
    TComboBox box(nullptr, "box");
    // 0xB1 0x5C is one GBK character whose second byte looks like a backslash.
    box.SetText("x\xB1\x5C");
    box.KeyPress(kBackspaceKey);
    EXPECT_EQ(box.Text(), "x");
    box.KeyPress(kBackspaceKey);
    box.KeyPress(kBackspaceKey);
    EXPECT_EQ(box.Text(), "");
    box.SetMaxLength(2);
    for (char key : std::string("abc")) {
        box.KeyPress(key);
    }
    EXPECT_EQ(box.Text(), "ab");
    // A key the filter rewrites is typed as rewritten.
    box.SetText("");
    box.OnKeyPress = [](char& key) { key = key == 'a' ? 'A' : key; };
    box.KeyPress('a');
    EXPECT_EQ(box.Text(), "A");
}

}  // namespace
}  // namespace velomaris
