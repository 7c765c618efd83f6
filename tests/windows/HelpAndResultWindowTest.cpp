// The help window TForm3 and the result windows TForm5, TForm7 and TForm8.
#include <string>

#include "platform/shell/OpenAddress.h"
#include "tests/windows/WindowTestFixture.h"
#include "windows/Unit3.h"
#include "windows/Unit5.h"
#include "windows/Unit7.h"
#include "windows/Unit8.h"

namespace velomaris {
namespace {

class HelpAndResultWindowTest : public WindowTest {
protected:
    RecordingAddressOpener opener;
    ScopedAddressOpener openerInUse{opener};
};

TEST_F(HelpAndResultWindowTest, TheHelpWindowsLinksOpenTheAuthorsSite) {
    auto& form = harness.App().CreateForm<TForm3>();
    EXPECT_EQ(form.Caption(), "在线帮助");
    EXPECT_EQ(form.sPageControl1.PageCaption(0), "在线升级");
    EXPECT_EQ(form.sPageControl1.PageCaption(1), "在线帮助");
    const std::string contact = std::string(
                                    "\r\n请您留下正确的联系方式，以便软件升级好后能及时的"
                                    "发送给您。\r\n官方网站：") +
                                kAuthorSiteAddress + " \r\n邮   箱：" + kAuthorEmail;
    EXPECT_EQ(form.sLabel1.Caption(),
              "如果你需要增加软件的功能或者修改软件的一些功能的话，请发送邮件给作者，作者会根据您的"
              "要求进行相应的增加或者修改软件功能。" +
                  contact);
    EXPECT_EQ(form.sLabel2.Caption(),
              "如果本软件里有哪个功能不能使用或者使用起来不方便的话，请发送邮件给作者，作者会根据您"
              "的要求进行相应的增加或者修改软件功能。" +
                  contact);
    for (TLabel* link : {&form.sLabel3, &form.sLabel4}) {
        EXPECT_EQ(link->Caption(), kAuthorSiteAddress) << link->Name();
        EXPECT_EQ(link->Hint(), "马上访问官方网站") << link->Name();
        EXPECT_EQ(link->Cursor(), TCursor::crHandPoint) << link->Name();
    }

    // First opened on the help tab; afterwards the tab the user chose stays.
    form.Show();
    EXPECT_EQ(form.sPageControl1.ActivePageIndex(), 1);
    form.sPageControl1.SetActivePageIndex(0);
    form.Close();
    form.Show();
    EXPECT_EQ(form.sPageControl1.ActivePageIndex(), 0);

    harness.UserClick(form.sLabel3);
    harness.UserClick(form.sLabel4);
    EXPECT_EQ(opener.Addresses(),
              (std::vector<std::string>{kAuthorSiteAddress, kAuthorSiteAddress}));
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(harness.Messages().empty());
}

// The three result windows share their content; only caption and name differ.
class ResultWindowTest : public HelpAndResultWindowTest {
protected:
    TResultForm& form5 = harness.App().CreateForm<TForm5>();
    TResultForm& form7 = harness.App().CreateForm<TForm7>();
    TResultForm& form8 = harness.App().CreateForm<TForm8>();
};

TEST_F(ResultWindowTest, EachWindowHasItsCaptionAndTheSameTexts) {
    const std::pair<TResultForm*, std::string> rows[] = {
        {&form5, "网站主页转换成功【差异更新】"},
        {&form7, "网站主页转换成功【单页更新】"},
        {&form8, "网站主页转换成功【定时更新】"},
    };
    for (const auto& [form, caption] : rows) {
        EXPECT_EQ(form->Caption(), caption);
        EXPECT_EQ(form->sLabel1.Caption(), "您好，动态主页转静态主页已经成功！！");
        EXPECT_EQ(form->sLabel3.Caption(), "您可以访问以下网站查看，转换是否正确");
        EXPECT_EQ(form->sBitBtn1.Caption(), "关闭");
        EXPECT_EQ(form->sLabel5.Caption(), "") << "no time before the first showing";
        EXPECT_EQ(form->sLabel2.Cursor(), TCursor::crHandPoint);
        EXPECT_EQ(form->sLabel4.Cursor(), TCursor::crHandPoint);
        EXPECT_EQ(form->sLabel5.Cursor(), TCursor::crDefault);
        EXPECT_FALSE(form->Visible());
    }
}

TEST_F(ResultWindowTest, TheTimeLineIsSetOnlyWhenTheWindowBecomesVisible) {
    for (TResultForm* form : {&form5, &form7, &form8}) {
        harness.Clock().SetLocalTime({2010, 8, 31, 15, 45, 46, 0});
        form->sLabel2.SetCaption("http://host/dir");
        form->sLabel4.SetCaption("http://host/dir/index.html");
        form->Show();
        EXPECT_EQ(form->sLabel5.Caption(), "转换时间：2010-08-31 15:45:46") << form->Name();

        // A second upload while the window stays open: new addresses, the old time.
        harness.Advance(61000);
        form->sLabel2.SetCaption("http://host/new");
        form->Show();
        EXPECT_EQ(form->sLabel5.Caption(), "转换时间：2010-08-31 15:45:46") << form->Name();
        EXPECT_EQ(form->sLabel2.Caption(), "http://host/new");

        // Closed and shown again: the new time, with leading zeros.
        form->sBitBtn1.Click();
        EXPECT_FALSE(form->Visible());
        harness.Clock().SetLocalTime({2011, 1, 2, 3, 4, 5, 0});
        form->Show();
        EXPECT_EQ(form->sLabel5.Caption(), "转换时间：2011-01-02 03:04:05") << form->Name();
    }
}

TEST_F(ResultWindowTest, ClickingAnAddressOpensExactlyTheLabelsText) {
    std::vector<std::string> expected;
    for (TResultForm* form : {&form5, &form7, &form8}) {
        form->sLabel2.SetCaption("http://host/站点 a");
        form->sLabel4.SetCaption("http://host/站点 a/page.html");
        form->Show();
        harness.UserClick(form->sLabel2);
        harness.UserClick(form->sLabel4);
        expected.push_back("http://host/站点 a");
        expected.push_back("http://host/站点 a/page.html");
        EXPECT_TRUE(form->Visible()) << form->Name();
    }
    EXPECT_EQ(opener.Addresses(), expected);
    EXPECT_TRUE(harness.Messages().empty());
}

TEST(DateTimeTextTest, FourDigitYearAndTwoDigitFields) {
    EXPECT_EQ(FormatDateTime({2010, 8, 31, 15, 45, 46, 999}), "2010-08-31 15:45:46");
    EXPECT_EQ(FormatDateTime({999, 1, 2, 0, 0, 9, 0}), "0999-01-02 00:00:09");
}

}  // namespace
}  // namespace velomaris
