// A page name (webfile) that is not one plain file name, edited into setfile.ini by hand: every
// conversion refuses it before fetching or writing anything, here or on the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/app/WorkflowFixture.h"

namespace velomaris {
namespace {

const char kPageNameRefusedText[] =
    "网站主页名称不是一个合法的文件名(不能为空,不能是.或..,不能含有/、\\或控制字符),"
    "请在网站设置中修改";

class WorkflowPageNameTest : public WorkflowTest {
protected:
    ~WorkflowPageNameTest() override { std::filesystem::remove(EscapedFile()); }

    // A name that climbs out of the program directory into a file no other test uses.
    std::string EscapingName() const {
        return "../" + std::filesystem::path(dir.Directory()).filename().string() + "-escaped";
    }
    std::string EscapedFile() const { return dir.Path() + EscapingName() + ".html"; }

    // Every entry below the directory, relative to it, sorted.
    static std::vector<std::string> Entries(const std::string& root) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            names.push_back(std::filesystem::relative(entry.path(), root).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void ExpectNothingWritten() {
        EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"checkweb.html", "checkweb2.html",
                                                                 "setfile.ini", "velomaris.log"}));
        EXPECT_EQ(Entries(ftp.Home()), (std::vector<std::string>{"site"}));
        EXPECT_FALSE(std::filesystem::exists(EscapedFile()));
        EXPECT_EQ(http.Requests(kPagePath), 0);
    }
    // The name, set by hand and read in again by the reload button.
    void UsePageName(const std::string& name) {
        WriteSetting(kSectionWeb, "webfile", name);
        form->sButton1.Click();
        ASSERT_EQ(form->webfile, name);
    }
};

TEST_F(WorkflowPageNameTest, TheSinglePageConversionRefusesEveryNameThatIsNotAPlainFileName) {
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    for (const std::string& name :
         {EscapingName(), std::string("dir/index"), std::string("..\\escaped"), std::string("."),
          std::string(".."), std::string(""), std::string("line\r\nbreak"),
          std::string("nul\0byte", 8)}) {
        SCOPED_TRACE(::testing::PrintToString(name));
        UsePageName(name);
        harness.UserClick(form->Button1);
        harness.Advance(4000);  // the site check has passed at the first poll
        EXPECT_EQ(harness.Messages(),
                  (std::vector<TMessageBoxRecord>{ErrorBox(kPageNameRefusedText)}));
        harness.ClearMessages();
        ExpectNothingWritten();
        EXPECT_TRUE(form->Button1.Enabled());
        EXPECT_TRUE(form->Button6.Enabled());
        EXPECT_TRUE(form->Button7.Enabled());
        EXPECT_TRUE(form->Button4.Enabled());
    }

    // Mended, the next conversion goes through.
    UsePageName("index");
    harness.UserClick(form->Button1);
    harness.Advance(4000);
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    EXPECT_EQ(ReadIfExists(RemotePage()), "<html>page</html>");
}

TEST_F(WorkflowPageNameTest, TheDifferentialCycleGivesUpAtOnceAndTheNextPeriodTakesAMendedName) {
    WriteSetting(kSectionStartup, "difftime", "10000");
    ShowAndLogIn();
    UsePageName(EscapingName());
    BrowserShows(kRealPageHtml);
    harness.UserClick(form->Button6);
    harness.Advance(10000 + 5000);  // the period, then the first look at the passed check
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kPageNameRefusedText)}));
    harness.ClearMessages();
    ExpectNothingWritten();
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_EQ(page->Navigations().size(), 1u) << "no retry: the name cannot mend itself";
    EXPECT_TRUE(form->Timer2.Enabled()) << "the next period is armed";

    UsePageName("index");
    harness.Advance(10000 + 5000);
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    EXPECT_EQ(ReadIfExists(RemotePage()), "<html>page</html>");
}

TEST_F(WorkflowPageNameTest, TheTimedRunRefusesTheNameAndWaitsForTheNextDay) {
    WriteSetting(kSectionStartup, "timingtime", "08-05");
    ShowAndLogIn();
    UsePageName("a/b");
    BrowserShows(kRealPageHtml);
    harness.Clock().SetLocalTime({2010, 8, 31, 8, 5, 0, 0});
    harness.UserClick(form->Button7);
    harness.Advance(10 + 1000);
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kPageNameRefusedText)}));
    ExpectNothingWritten();
    EXPECT_FALSE(form->Timer7.Enabled());
    EXPECT_TRUE(form->Timer3.Enabled()) << "the clock watch waits for the next day";
}

// A GBK name whose second byte is 5Ch is a name like any other.
TEST_F(WorkflowPageNameTest, AGbkNameWithA5ChTrailByteIsConverted) {
    ShowAndLogIn();
    UsePageName("乗首页");
    BrowserShows(kRealPageHtml);
    harness.UserClick(form->Button1);
    harness.Advance(4000);
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    EXPECT_EQ(ReadIfExists(dir.File("乗首页.html")), "<html>page</html>");
}

}  // namespace
}  // namespace velomaris
