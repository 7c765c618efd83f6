// The site check and the single-page conversion ("开始转换") against real local servers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/WorkflowAddresses.h"
#include "tests/app/WorkflowFixture.h"
#include "windows/Unit7.h"

namespace velomaris {
namespace {

TEST(SiteAddressTest, TheSiteAddressEndsBeforeTheLastSlash) {
    struct Row {
        const char* webmain;
        const char* site;
    };
    const Row rows[] = {
        {"http://host/dir/page.aspx", "http://host/dir"},
        {"http://host/", "http://host"},
        {"http://host/index.php?a=b/c", "http://host/index.php?a=b"},
        {"no-slash-at-all", "no-slash-at-all"},
        // Only the slashes after the scheme: the whole address, not "http:/".
        {"http://host", "http://host"},
        // Double-byte characters before and after the cut (GBK bytes in this source).
        {"http://host/目录/首页.aspx", "http://host/目录"},
        {"http://主机/页", "http://主机"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SiteAddressOf(row.webmain), row.site) << row.webmain;
    }
}

class WorkflowSiteCheckTest : public WorkflowTest {
protected:
    // Starts a conversion with "开始转换" after logging in.
    void StartConversion() {
        harness.UserClick(form->Button1);
        ASSERT_TRUE(form->Timer5.Enabled());
    }
    void ExpectBarEnabled(bool enabled) {
        EXPECT_EQ(form->Button4.Enabled(), enabled);
        EXPECT_EQ(form->Button1.Enabled(), enabled);
        EXPECT_EQ(form->Button6.Enabled(), enabled);
        EXPECT_EQ(form->Button7.Enabled(), enabled);
    }
};

TEST_F(WorkflowSiteCheckTest, OnlyAnExactTemplateCountsAsFailure) {
    ShowMainWindow();
    const std::string first = form->Memo5.Text();
    const std::string second = form->Memo6.Text();
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    auto upper = [](std::string text) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        return text;
    };
    struct Row {
        const char* what;
        std::string html;
        const char* status;
    };
    const Row rows[] = {
        {"first template", first, kSiteOpenFailed},
        {"second template", second, kSiteOpenFailed},
        {"a real page", kRealPageHtml, kSiteOpenSucceeded},
        {"first template in upper case", upper(first), kSiteOpenSucceeded},
        {"first template and a line break", first + "\r\n", kSiteOpenSucceeded},
        {"first template and one more byte", first + " ", kSiteOpenSucceeded},
        {"an empty document", "", kSiteOpenSucceeded},
    };
    for (const Row& row : rows) {
        page->SetDocumentHtml(row.html);
        form->Label7.SetCaption(kSiteOpening);
        page->RaiseDocumentComplete();
        harness.RunPending();
        EXPECT_EQ(form->Label7.Caption(), row.status) << row.what;
        EXPECT_EQ(form->Memo7.Text(), row.html) << row.what;
    }
    // Every completion (one per frame, one for the page) runs the check on the current page.
    page->SetDocumentHtml(kRealPageHtml);
    page->RaiseDocumentComplete();
    harness.RunPending();
    page->SetDocumentHtml(first);
    page->RaiseDocumentComplete();
    harness.RunPending();
    EXPECT_EQ(form->Label7.Caption(), kSiteOpenFailed);
    // A browser that holds no HTML document at all (a download, an image) did not show a page.
    form->Label7.SetCaption(kSiteOpenSucceeded);
    page->FailDocumentHtml("no document");
    page->RaiseDocumentComplete();
    harness.RunPending();
    EXPECT_EQ(form->Label7.Caption(), kSiteOpenFailed);
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(WorkflowSiteCheckTest, ACheckedPageIsStoredByteForByteUploadedAndReported) {
    // Mixed line breaks, a GBK text and a NUL byte: none of them may be touched on the way.
    const std::string body = std::string("<html>\n<body>\r\n首页\r") + '\0' + "end</body></html>";
    http.SetPage(kPagePath, body);
    ShowAndLogIn();
    BrowserShows(kRealPageHtml, 2000);
    StartConversion();
    harness.Advance(999);
    EXPECT_TRUE(page->Navigations().empty());
    harness.Advance(1);
    EXPECT_EQ(page->Navigations(), (std::vector<std::string>{http.Url(kPagePath)}));
    EXPECT_TRUE(form->Label7.Visible());
    harness.Advance(2999);
    EXPECT_EQ(http.Requests(kPagePath), 0);
    harness.Advance(1);  // the first poll, 3 s after the navigation, sees the success

    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_EQ(ReadIfExists(LocalPage()), body);
    EXPECT_EQ(ReadIfExists(RemotePage()), body);
    const TForm7& result = harness.App().Form<TForm7>();
    EXPECT_TRUE(result.Visible());
    EXPECT_EQ(result.sLabel2.Caption(), http.Url("dir"));
    EXPECT_EQ(result.sLabel4.Caption(), http.Url("dir/index.html"));
    ExpectBarEnabled(true);
    EXPECT_EQ(form->SingleCheckCount, 1);
    EXPECT_FALSE(form->Timer6.Enabled());
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

TEST_F(WorkflowSiteCheckTest, AnEarlierSuccessConvertsAtTheFirstPollBeforeTheNewPageCompletes) {
    ShowAndLogIn();
    form->Label7.SetCaption(kSiteOpenSucceeded);
    StartConversion();  // the browser never completes the new navigation
    harness.Advance(4000);
    EXPECT_TRUE(page->Pending());
    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_TRUE(FileExists(RemotePage()));
    EXPECT_TRUE(harness.App().Form<TForm7>().Visible());
}

TEST_F(WorkflowSiteCheckTest, ASiteThatNeverPassesIsGivenUpAtTheFifthPoll15SecondsAfterNavigating) {
    ShowAndLogIn();
    BrowserShows(ErrorPage());
    StartConversion();
    harness.Advance(1000);
    ASSERT_EQ(page->Navigations().size(), 1u);
    harness.Advance(14999);
    EXPECT_TRUE(harness.Messages().empty());
    EXPECT_EQ(form->SingleCheckCount, 4);
    ExpectBarEnabled(false);
    harness.Advance(1);
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kSiteGaveUpText)}));
    EXPECT_EQ(form->SingleCheckCount, 0);
    ExpectBarEnabled(true);
    EXPECT_FALSE(form->Timer6.Enabled());
    EXPECT_EQ(page->Navigations().size(), 1u);  // polls never re-open the site
    EXPECT_EQ(http.Requests(kPagePath), 0);
    EXPECT_FALSE(FileExists(LocalPage()));

    // After a conversion the counter stands at 1, so the next give-up comes one poll sooner.
    harness.ClearMessages();
    form->SingleCheckCount = 1;
    StartConversion();
    harness.Advance(1000 + 11999);
    EXPECT_TRUE(harness.Messages().empty());
    harness.Advance(1);
    EXPECT_EQ(harness.Messages().size(), 1u);
}

TEST_F(WorkflowSiteCheckTest, AFailedFetchKeepsThePreviousPageFileAndIsNotRetried) {
    dir.Write("index.html", "the previous page");
    http.FailNext(kPagePath, 5);
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    StartConversion();
    harness.Advance(4000);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_EQ(ReadIfExists(LocalPage()), "the previous page");
    EXPECT_FALSE(FileExists(RemotePage()));
    ExpectBarEnabled(true);
    EXPECT_FALSE(harness.App().Form<TForm7>().Visible());
}

// The page file is replaced in one step: a write that fails leaves neither a truncated page nor
// a stray temporary file beside the program.
TEST_F(WorkflowSiteCheckTest, AFailedLocalWriteIsReportedAndLeavesNothingBehind) {
    ShowAndLogIn();
    ::mkdir(LocalPage().c_str(), 0755);  // the page file's name is taken by a directory
    BrowserShows(kRealPageHtml);
    StartConversion();
    harness.Advance(4000);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
    EXPECT_FALSE(FileExists(RemotePage()));
    ExpectBarEnabled(true);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    // The log beside the settings file is the only other file.
    EXPECT_EQ(names, (std::vector<std::string>{"checkweb.html", "checkweb2.html", "index.html",
                                               "setfile.ini", "velomaris.log"}));
}

// A navigation the browser refuses is reported by the general error report; the polls still
// run, so the conversion ends with its give-up and the buttons come back.
TEST_F(WorkflowSiteCheckTest, ARefusedNavigationStillEndsTheConversion) {
    ShowAndLogIn();
    page->FailNextNavigate("navigation refused");
    StartConversion();
    harness.Advance(1000);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{{TMessageKind::mkMessageBox, "navigation refused.",
                                               "Velomaris", TMessageBoxIcon::mbError}}));
    harness.ClearMessages();
    harness.Advance(15000);
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{ErrorBox(kSiteGaveUpText)}));
    ExpectBarEnabled(true);
}

TEST_F(WorkflowSiteCheckTest, AFailedUploadShowsThePlainDialogWithThePageAlreadyStored) {
    struct Row {
        const char* what;
        bool logIn;
    };
    // Without any login the upload does not log in by itself: only a connection a login
    // opened is replaced when it is lost.
    int conversions = 0;
    for (const Row row :
         {Row{"never logged in", false}, Row{"upload refused by the server", true}}) {
        SCOPED_TRACE(row.what);
        if (!form->Visible()) {
            ShowMainWindow();
        }
        if (row.logIn) {
            harness.UserClick(form->Button2);
            BlockUploads();
        }
        harness.ClearMessages();
        BrowserShows(kRealPageHtml);
        StartConversion();
        harness.Advance(4000);
        EXPECT_EQ(harness.Messages(),
                  (std::vector<TMessageBoxRecord>{PlainDialog(kUploadFailedText)}));
        EXPECT_EQ(ReadIfExists(LocalPage()), "<html>page</html>");
        EXPECT_EQ(http.Requests(kPagePath), ++conversions);
        ExpectBarEnabled(true);
        EXPECT_FALSE(harness.App().Form<TForm7>().Visible());
    }
}

}  // namespace
}  // namespace velomaris
