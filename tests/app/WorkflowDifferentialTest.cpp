// The differential update cycle against real local servers, on the virtual clock.
#include <gtest/gtest.h>

#include "platform/ui/Memo.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/TextCount.h"
#include "windows/Unit5.h"

namespace velomaris {
namespace {

class WorkflowDifferentialTest : public WorkflowTest {
protected:
    static constexpr std::int64_t kPeriod = 10000;

    WorkflowDifferentialTest() {
        WriteSetting(kSectionStartup, "difftime", std::to_string(kPeriod));
    }

    // Logs in and starts the differential update; the first cycle opens the site one period
    // later.
    void StartMode() {
        ShowAndLogIn();
        harness.UserClick(form->Button6);
        ASSERT_EQ(form->Edit5.Text(), "1");
    }
    // The browser fails the first failures navigations (the error page) and shows the real
    // page from then on.
    void BrowserFailsFirst(int failures) {
        auto count = std::make_shared<int>(0);
        const std::string error = ErrorPage();
        page->SetResponder([count, failures, error](const std::string&) {
            const bool fail = (*count)++ < failures;
            return std::optional<TScriptedBrowserEngine::TPage>(
                {fail ? error : kRealPageHtml, 100, 1});
        });
    }
    // Runs one whole cycle from the start of its period: the wait, the first look 5 s after
    // the navigation, and the given number of re-opened navigations 5 s apart.
    void RunCycle(int reopens = 0) { harness.Advance(kPeriod + 5000 + 5000 * reopens); }
    // The upload's trace on the server: removing the remote copy makes the next upload visible.
    bool UploadedSinceLastLook() {
        const bool uploaded = FileExists(RemotePage());
        ::unlink(RemotePage().c_str());
        return uploaded;
    }
    // One cycle with the stored page file and the served page given; whether it uploaded.
    bool CycleUploads(const std::string& stored, const std::string& served) {
        dir.Write("index.html", stored);
        http.SetPage(kPagePath, served);
        RunCycle();
        return UploadedSinceLastLook();
    }
};

TEST_F(WorkflowDifferentialTest, TheFirstCycleStoresTheNormalisedPageUploadsItAndReports) {
    http.SetPage(kPagePath, "<html>\nfirst\r</html>");
    StartMode();
    BrowserShows(kRealPageHtml);
    harness.Advance(kPeriod - 1);
    EXPECT_TRUE(page->Navigations().empty());
    harness.Advance(1);
    EXPECT_EQ(page->Navigations().size(), 1u);
    EXPECT_FALSE(form->Timer2.Enabled());
    harness.Advance(4999);
    EXPECT_EQ(http.Requests(kPagePath), 0);
    harness.Advance(1);

    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_EQ(ReadIfExists(dir.File("newweb.html")), "<html>\nfirst\r</html>");
    EXPECT_EQ(ReadIfExists(LocalPage()), "<html>\r\nfirst\r\n</html>");
    EXPECT_EQ(ReadIfExists(RemotePage()), "<html>\r\nfirst\r\n</html>");
    EXPECT_EQ(form->Memo4.Text(), kFirstRun);
    const TForm5& result = harness.App().Form<TForm5>();
    EXPECT_TRUE(result.Visible());
    EXPECT_EQ(result.sLabel2.Caption(), http.Url("dir"));
    EXPECT_EQ(result.sLabel4.Caption(), http.Url("dir/index.html"));
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_FALSE(form->Timer4.Enabled());
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

TEST_F(WorkflowDifferentialTest, OnlyAChangedTextIsUploadedAndLineBreakStyleIsNoChange) {
    struct Row {
        const char* what;
        const char* stored;
        const char* served;
        bool uploaded;
    };
    const Row rows[] = {
        {"LF against CR LF", "a\r\nb\r\n", "a\nb\n", false},
        {"CR against CR LF", "a\r\nb", "a\rb", false},
        {"the same bytes", "a\r\nb", "a\r\nb", false},
        {"a letter changed case", "a\r\nb", "A\r\nb", true},
        {"a trailing line break added", "a\r\nb", "a\r\nb\r\n", true},
    };
    StartMode();
    BrowserShows(kRealPageHtml);
    for (const Row& row : rows) {
        EXPECT_EQ(CycleUploads(row.stored, row.served), row.uploaded) << row.what;
        EXPECT_EQ(harness.App().Form<TForm5>().Visible(), row.uploaded) << row.what;
        harness.App().Form<TForm5>().Hide();
        EXPECT_TRUE(form->Timer2.Enabled()) << row.what;
        EXPECT_EQ(ReadIfExists(dir.File("newweb.html")), row.served) << row.what;
    }
    EXPECT_EQ(http.Requests(kPagePath), static_cast<int>(std::size(rows)));
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

// Pages longer than the comparison's 64 KiB blocks: a CR LF pair split between two blocks
// is still one line break, and a change in the last byte still counts.
TEST_F(WorkflowDifferentialTest, LargePagesCompareAcrossBlocksAsTheirText) {
    const std::string head(65535, 'x');  // the CR is the last byte of the first block
    const std::string tail(70000, 'y');
    struct Row {
        const char* what;
        std::string stored;
        std::string served;
        bool uploaded;
    };
    const Row rows[] = {
        {"CR LF split by the block edge, same text", head + "\r\n" + tail, head + "\r\n" + tail,
         false},
        {"LF against a split CR LF", head + "\n" + tail, head + "\r\n" + tail, false},
        {"a lone CR at the block edge against CR LF", head + "\r\n" + tail, head + "\r" + tail,
         false},
        {"two breaks against one", head + "\r\n\r\n" + tail, head + "\r\n" + tail, true},
        {"the last byte changed", head + "\r\n" + tail, head + "\r\n" + tail.substr(1) + "z", true},
    };
    StartMode();
    BrowserShows(kRealPageHtml);
    for (const Row& row : rows) {
        EXPECT_EQ(CycleUploads(row.stored, row.served), row.uploaded) << row.what;
        harness.App().Form<TForm5>().Hide();
        const std::string expected = row.uploaded ? AdjustLineBreaks(row.served) : row.stored;
        EXPECT_TRUE(ReadIfExists(LocalPage()) == expected) << row.what;
    }
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

TEST_F(WorkflowDifferentialTest, AnUnchangedPageIsFetchedEveryPeriodPlusTheFirstLook) {
    WriteSetting(kSectionStartup, "difftime", "60000");
    StartMode();
    BrowserShows(kRealPageHtml);
    const std::int64_t marks[][2] = {{64999, 0}, {1, 1}, {64999, 1}, {1, 2}, {65000, 3}};
    for (const auto& mark : marks) {
        harness.Advance(mark[0]);
        EXPECT_EQ(http.Requests(kPagePath), mark[1]);
    }
    // Only the first cycle uploaded.
    EXPECT_EQ(page->Navigations().size(), 3u);
}

// One counter serves the whole cycle: re-opened navigations first, then the fetch attempts.
TEST_F(WorkflowDifferentialTest, TheRetryBudgetIsSharedBetweenReopenedNavigationsAndFetches) {
    struct Row {
        int reopens;
        int fetchAttempts;
    };
    const Row rows[] = {{0, 4}, {1, 3}, {2, 2}, {3, 1}};
    StartMode();
    for (const Row& row : rows) {
        SCOPED_TRACE("re-opened navigations: " + std::to_string(row.reopens));
        harness.ClearMessages();
        const int before = http.Requests(kPagePath);
        const size_t navigations = page->Navigations().size();
        BrowserFailsFirst(row.reopens);
        http.FailNext(kPagePath, 10);
        RunCycle(row.reopens);
        EXPECT_EQ(page->Navigations().size() - navigations, static_cast<size_t>(row.reopens + 1));
        EXPECT_EQ(http.Requests(kPagePath) - before, row.fetchAttempts);
        EXPECT_EQ(harness.Messages(),
                  (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
        // Given up for this cycle: the counter is back at 0 and the next period is armed.
        EXPECT_EQ(form->RetryCount, 0);
        EXPECT_TRUE(form->Timer2.Enabled());
        EXPECT_FALSE(form->Timer4.Enabled());
        EXPECT_EQ(form->Edit5.Text(), "1");
        EXPECT_EQ(form->Button6.Caption(), "停止差异更新");
    }
}

TEST_F(WorkflowDifferentialTest, TwoReopenedNavigationsLeaveOneRetryForTheFetch) {
    http.SetPage(kPagePath, "changed");
    StartMode();
    BrowserFailsFirst(2);
    http.FailNext(kPagePath, 1);
    RunCycle(2);
    EXPECT_EQ(http.Requests(kPagePath), 2);
    EXPECT_EQ(ReadIfExists(RemotePage()), "changed");
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

// Uploads draw on the same counter, after the re-opened navigations and the fetches.
TEST_F(WorkflowDifferentialTest, UploadAttemptsGetWhatTheCheckAndTheFetchLeft) {
    struct Row {
        int reopens;
        int failedFetches;
        int uploadAttempts;
    };
    const Row rows[] = {{0, 0, 4}, {2, 0, 2}, {1, 1, 2}, {3, 0, 1}, {2, 1, 1}};
    StartMode();
    int uploads = 0;
    form->IdFTP1.OnStatus = [&uploads](TIdComponent*, TIdStatus status, const std::string&) {
        uploads += status == TIdStatus::ftpTransfer ? 1 : 0;
    };
    BlockUploads();
    for (const Row& row : rows) {
        SCOPED_TRACE("re-opened navigations " + std::to_string(row.reopens) + ", failed fetches " +
                     std::to_string(row.failedFetches));
        harness.ClearMessages();
        uploads = 0;
        http.SetPage(kPagePath, "changed " + std::to_string(row.reopens) + "/" +
                                    std::to_string(row.failedFetches));
        BrowserFailsFirst(row.reopens);
        http.FailNext(kPagePath, row.failedFetches);
        RunCycle(row.reopens);
        EXPECT_EQ(uploads, row.uploadAttempts);
        EXPECT_EQ(harness.Messages(),
                  (std::vector<TMessageBoxRecord>{PlainDialog(kUploadFailedText)}));
        EXPECT_EQ(form->RetryCount, 0);
        EXPECT_TRUE(form->Timer2.Enabled());
    }
}

// An outage must not stop an unattended updater: the cycle that gave up is reported, and the
// next period runs with the whole retry budget.
TEST_F(WorkflowDifferentialTest, ACycleThatGaveUpOnTheSiteIsFollowedByTheNextPeriod) {
    http.SetPage(kPagePath, "after the outage");
    StartMode();
    BrowserShows(ErrorPage());
    RunCycle(3);
    EXPECT_EQ(page->Navigations().size(), 4u);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_FALSE(form->Timer4.Enabled());
    EXPECT_TRUE(form->Timer2.Enabled());

    // The site is back: the next period converts and uploads, without another message.
    harness.ClearMessages();
    BrowserFailsFirst(2);
    RunCycle(2);
    EXPECT_EQ(page->Navigations().size(), 7u);
    EXPECT_EQ(ReadIfExists(RemotePage()), "after the outage");
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

// A box the user has not closed yet must not stop the cycles, and must not be joined by one
// more box per failed period: the later failures go to the log only.
TEST_F(WorkflowDifferentialTest, FailuresWhileAFailureBoxIsOpenGiveOneBox) {
    StartMode();
    BrowserShows(ErrorPage());
    bool first = true;
    harness.WhileBoxOpen([&](const TMessageBoxRecord&) {
        if (first) {
            first = false;
            // Two more cycles fail for good while the user looks elsewhere.
            RunCycle(3);
            RunCycle(3);
        }
    });
    RunCycle(3);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
    EXPECT_EQ(page->Navigations().size(), 12u);
    EXPECT_TRUE(form->Timer2.Enabled());
    const std::string log = dir.Read("velomaris.log");
    EXPECT_EQ(CountOccurrences(log, "another failure box is open"), 2u) << log;

    // Once the box is closed, the next failure shows a box again.
    harness.WhileBoxOpen({});
    harness.ClearMessages();
    RunCycle(3);
    EXPECT_EQ(harness.Messages().size(), 1u);
}

TEST_F(WorkflowDifferentialTest, AVersionWhoseUploadFailedIsUploadedByTheNextCycleThatCan) {
    http.SetPage(kPagePath, "version 1");
    StartMode();
    BrowserShows(kRealPageHtml);
    BlockUploads();
    RunCycle();
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{PlainDialog(kUploadFailedText)}));
    EXPECT_EQ(ReadIfExists(LocalPage()), "version 1");
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_FALSE(harness.App().Form<TForm5>().Visible());
    UnblockUploads();

    // The page has not changed, yet the version the server lacks goes up.
    harness.ClearMessages();
    RunCycle();
    EXPECT_EQ(ReadIfExists(RemotePage()), "version 1");
    EXPECT_TRUE(harness.App().Form<TForm5>().Visible());
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());

    // Once it is there, an unchanged page is not uploaded again.
    ASSERT_TRUE(UploadedSinceLastLook());
    RunCycle();
    EXPECT_FALSE(UploadedSinceLastLook());
    EXPECT_EQ(http.Requests(kPagePath), 3);
}

// A navigation the browser refuses is reported by the general error report, and the cycle
// goes on looking and re-opening within its budget instead of stopping with nothing running.
TEST_F(WorkflowDifferentialTest, ARefusedNavigationIsRetriedWithinTheBudget) {
    StartMode();
    BrowserShows(kRealPageHtml);
    page->FailNextNavigate("navigation refused");
    harness.Advance(kPeriod);
    EXPECT_EQ(harness.Messages().size(), 1u);
    EXPECT_TRUE(form->Timer4.Enabled());
    harness.ClearMessages();
    harness.Advance(5000 + 5000);  // the first look re-opens the site, the second sees it
    EXPECT_EQ(page->Navigations().size(), 1u);  // the refused one is not recorded
    EXPECT_EQ(ReadIfExists(RemotePage()), "<html>page</html>");
    EXPECT_TRUE(form->Timer2.Enabled());
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
}

// Failed fetches never touch the stored files: the next comparison sees the last good page.
TEST_F(WorkflowDifferentialTest, FailedFetchesLeaveTheStoredFilesAsTheyWere) {
    StartMode();
    BrowserShows(kRealPageHtml);
    RunCycle();
    ASSERT_EQ(ReadIfExists(LocalPage()), "<html>page</html>");
    http.SetPage(kPagePath, "a newer page that never arrives");
    http.FailNext(kPagePath, 4);
    RunCycle();
    EXPECT_EQ(harness.Messages().size(), 1u);
    EXPECT_EQ(ReadIfExists(LocalPage()), "<html>page</html>");
    EXPECT_EQ(ReadIfExists(dir.File("newweb.html")), "<html>page</html>");
}

TEST_F(WorkflowDifferentialTest, AStoppedModeLeavesItsTimersTickingWithoutEffect) {
    StartMode();
    BrowserShows(kRealPageHtml);
    harness.Advance(kPeriod);
    ASSERT_EQ(page->Navigations().size(), 1u);
    harness.UserClick(form->Button6);  // stop while the check waits
    harness.Advance(4 * kPeriod);
    EXPECT_EQ(http.Requests(kPagePath), 0);
    EXPECT_TRUE(form->Timer4.Enabled());
    EXPECT_EQ(page->Navigations().size(), 1u);

    // Restarted, the waiting check resumes at its next tick with what Label7 shows.
    harness.UserClick(form->Button6);
    harness.Advance(5000);
    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_TRUE(FileExists(RemotePage()));
}

TEST_F(WorkflowDifferentialTest, AResultWindowShownAgainWhileVisibleKeepsItsTimeLine) {
    StartMode();
    BrowserShows(kRealPageHtml);
    RunCycle();
    const TForm5& result = harness.App().Form<TForm5>();
    ASSERT_TRUE(result.Visible());
    const std::string firstTime = result.sLabel5.Caption();
    EXPECT_EQ(firstTime.rfind("转换时间：", 0), 0u) << firstTime;

    WriteSetting(kSectionWeb, "webfile", "home");
    form->sButton1.Click();
    http.SetPage(kPagePath, "changed");
    RunCycle();
    EXPECT_TRUE(FileExists(ftp.Home() + "site/home.html"));
    EXPECT_EQ(result.sLabel4.Caption(), http.Url("dir/home.html"));
    EXPECT_EQ(result.sLabel5.Caption(), firstTime);
}

}  // namespace
}  // namespace velomaris
