#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/Memo.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    HeadlessHarness harness;
    TForm& form = harness.App().CreateForm<TForm>("Form1", "Main");
};

TEST_F(ControlsTest, ClickRunsTheHandlerOfDisabledAndHiddenControls) {
    TButton button(&form, "Button10", "step");
    int clicks = 0;
    button.OnClick = [&] { ++clicks; };
    button.SetEnabled(false);
    button.SetVisible(false);
    button.Click();
    TMenuItem item(&form, "N4", "show");
    item.SetEnabled(false);
    item.Click();  // no handler: nothing happens
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, TheFormShowEventRunsOnlyWhenAHiddenFormBecomesVisible) {
    std::vector<std::string> events;
    form.OnShow = [&] { events.push_back(form.Visible() ? "show (visible)" : "show (hidden)"); };
    form.OnHide = [&] { events.push_back("hide"); };
    form.Show();
    form.Show();
    form.SetVisible(true);
    form.Hide();
    form.Hide();
    form.Show();
    EXPECT_EQ(events, (std::vector<std::string>{"show (visible)", "hide", "show (visible)"}));
}

TEST_F(ControlsTest, ARefusedCloseRequestKeepsTheFormAndAnAcceptedOneHidesIt) {
    form.Show();
    bool allow = false;
    form.OnCloseQuery = [&](bool& canClose) { canClose = allow; };
    EXPECT_FALSE(form.Close());
    EXPECT_TRUE(form.Visible());
    allow = true;
    EXPECT_TRUE(form.Close());
    EXPECT_FALSE(form.Visible());
}

TEST_F(ControlsTest, AFormListsItsComponentsInCreationOrder) {
    TButton a(&form, "Button1");
    TEdit b(&form, "Edit1");
    {
        TLabel gone(&form, "Label1");
        EXPECT_EQ(form.FindComponent("Label1"), &gone);
    }
    TMemo c(&form, "Memo5");
    ASSERT_EQ(form.Components().size(), 3u);
    EXPECT_EQ(form.Components()[0], &a);
    EXPECT_EQ(form.Components()[1], &b);
    EXPECT_EQ(form.Components()[2], &c);
    EXPECT_EQ(form.FindComponent("Edit1"), &b);
    EXPECT_EQ(form.FindComponent("Label1"), nullptr);
}

TEST_F(ControlsTest, ListIndexesOutsideTheItemsAreRefused) {
    TComboBox combo(&form, "sComboBox1");
    combo.SetItems({"00", "01", "02"});
    combo.SetItemIndex(2);
    EXPECT_EQ(combo.Text(), "02");
    EXPECT_THROW(combo.SetItemIndex(3), EListError);
    EXPECT_THROW(combo.SetItemIndex(-2), EListError);
    EXPECT_EQ(combo.ItemIndex(), 2);
    combo.SetItemIndex(-1);
    EXPECT_EQ(combo.Text(), "02");

    TPageControl pages(&form, "sPageControl1", {"FTP", "WEB"});
    pages.SetActivePageIndex(1);
    EXPECT_EQ(pages.ActivePageIndex(), 1);
    try {
        pages.SetActivePageIndex(2);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    EXPECT_EQ(pages.ActivePageIndex(), 1);
}

TEST(AdjustLineBreaksTest, TurnsLoneCrAndLoneLfIntoCrLf) {
    struct Row {
        std::string in;
        std::string out;
    };
    const Row rows[] = {
        {"", ""},
        {"no breaks", "no breaks"},
        {"a\r\nb", "a\r\nb"},
        {"a\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"\n\r", "\r\n\r\n"},
        {"\r\r\n", "\r\n\r\n"},
        {"\r\n\n", "\r\n\r\n"},
        {"end\n", "end\r\n"},
        {"end\r", "end\r\n"},
        {std::string("nul\0\nbyte", 9), std::string("nul\0\r\nbyte", 10)},
        {"\xD6\xD0\n\xCE\xC4", "\xD6\xD0\r\n\xCE\xC4"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(AdjustLineBreaks(row.in), row.out) << "input size " << row.in.size();
    }
}

TEST_F(ControlsTest, AMemoNormalisesLineBreaksOnLoadOnlyAndSavesItsTextUnchanged) {
    TempDir dir;
    dir.Write("page.html", "<html>\n<body>\rx</body>\r\n</html>");
    TMemo memo(&form, "Memo5", "Memo5");
    memo.LoadFromFile(dir.File("page.html"));
    EXPECT_EQ(memo.Text(), "<html>\r\n<body>\r\nx</body>\r\n</html>");

    memo.SetText("a\nb\r");
    EXPECT_EQ(memo.Text(), "a\nb\r");
    memo.SaveToFile(dir.File("out.html"));
    EXPECT_EQ(dir.Read("out.html"), "a\nb\r");
}

TEST_F(ControlsTest, AMemoThatCannotLoadKeepsItsTextAndRaises) {
    TempDir dir;
    TMemo memo(&form, "Memo5", "built-in");
    try {
        memo.LoadFromFile(dir.File("checkweb.html"));
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("Cannot open file \"" + dir.File("checkweb.html") + "\". "),
                  std::string::npos)
            << e.Message();
    }
    EXPECT_EQ(memo.Text(), "built-in");
}

TEST_F(ControlsTest, TheTrayIconRecordsItsRegistration) {
    TTrayIcon tray(&form, "TrayIcon");
    EXPECT_FALSE(tray.Registered());
    EXPECT_TRUE(tray.Register("tip"));
    EXPECT_TRUE(tray.Registered());
    EXPECT_EQ(tray.Tip(), "tip");
    tray.Delete();
    EXPECT_FALSE(tray.Registered());
}

}  // namespace
}  // namespace velomaris
