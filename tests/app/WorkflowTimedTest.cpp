// The timed update cycle against real local servers, on the virtual clock.
#include <gtest/gtest.h>

#include "tests/app/WorkflowFixture.h"
#include "windows/Unit8.h"

namespace velomaris {
namespace {

class WorkflowTimedTest : public WorkflowTest {
protected:
    void SetClock(int hour, int minute, int second, int millisecond = 0) {
        harness.Clock().SetLocalTime({2010, 8, 31, hour, minute, second, millisecond});
    }
    // Logs in and starts the timed update with the clock at the given time.
    void StartModeAt(const std::string& timingtime, int hour, int minute, int second,
                     int millisecond = 0) {
        WriteSetting(kSectionStartup, "timingtime", timingtime);
        ShowAndLogIn();
        SetClock(hour, minute, second, millisecond);
        harness.UserClick(form->Button7);
        ASSERT_EQ(form->Edit6.Text(), "1");
    }
};

TEST_F(WorkflowTimedTest, TheClockMatchesOnlyAWellFormedTimeAndOnlyInsideItsMinute) {
    struct Row {
        const char* timingtime;
        int hour, minute, second, millisecond;
        std::int64_t watchMs;        // how long the test watches
        std::int64_t expectedRunMs;  // when the site is opened; -1: never
    };
    const Row rows[] = {
        {"08-05", 8, 4, 59, 990, 60000, 10}, {"08-05", 8, 5, 0, 0, 60000, 0},
        {"08-05", 8, 5, 59, 980, 60000, 0},  {"08-05", 8, 6, 0, 0, 120000, -1},
        {"8-05", 8, 4, 30, 0, 120000, -1},   {"08:05", 8, 4, 30, 0, 120000, -1},
        {"24-00", 23, 59, 30, 0, 60000, -1}, {"00-00", 23, 59, 30, 0, 60000, 30000},
        {"08-05 ", 8, 4, 30, 0, 120000, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("timingtime ") + row.timingtime + " from " +
                     std::to_string(row.hour) + ":" + std::to_string(row.minute) + ":" +
                     std::to_string(row.second));
        HeadlessHarness rowHarness;
        CreateForms(rowHarness.App());
        TForm1& row1 = rowHarness.App().Form<TForm1>();
        auto& engine =
            row1.WebBrowser1.UseEngine(std::make_unique<TScriptedBrowserEngine>(rowHarness.App()));
        row1.WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(rowHarness.App()));
        WriteSetting(kSectionStartup, "timingtime", row.timingtime);
        rowHarness.App().Deliver([&row1] { row1.Show(); });
        rowHarness.Clock().SetLocalTime(
            {2010, 8, 31, row.hour, row.minute, row.second, row.millisecond});
        // The mode without a login: the clock watch does not need one.
        row1.Button7.Click();
        std::int64_t openedAt = -1;
        for (std::int64_t t = 0; t <= row.watchMs && openedAt < 0; t += 10) {
            if (!engine.Navigations().empty()) {
                openedAt = t;
                break;
            }
            rowHarness.Advance(10);
        }
        if (row.expectedRunMs < 0) {
            EXPECT_EQ(openedAt, -1);
            EXPECT_TRUE(row1.Timer3.Enabled());
        } else {
            // Found within one 10 ms tick of the expected moment.
            EXPECT_GE(openedAt, row.expectedRunMs - 10);
            EXPECT_LE(openedAt, row.expectedRunMs + 10);
            EXPECT_FALSE(row1.Timer3.Enabled());
            EXPECT_TRUE(row1.Timer7.Enabled());
        }
    }
}

TEST_F(WorkflowTimedTest, ARunStoresTheRawPageUploadsItAndReportsEveryDayOnceInItsMinute) {
    const std::string body = "<html>\nraw\r\n</html>\n";
    http.SetPage(kPagePath, body);
    StartModeAt("08-05", 8, 4, 59);
    BrowserShows(kRealPageHtml);
    harness.Advance(1000);
    ASSERT_EQ(page->Navigations().size(), 1u);
    harness.Advance(999);
    EXPECT_EQ(http.Requests(kPagePath), 0);
    harness.Advance(1);  // the first look, one second after the navigation

    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_EQ(ReadIfExists(LocalPage()), body);
    EXPECT_EQ(ReadIfExists(RemotePage()), body);
    const TForm8& result = harness.App().Form<TForm8>();
    EXPECT_TRUE(result.Visible());
    EXPECT_EQ(result.sLabel2.Caption(), http.Url("dir"));
    EXPECT_EQ(result.sLabel4.Caption(), http.Url("dir/index.html"));
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_FALSE(form->Timer7.Enabled());
    EXPECT_EQ(form->Button7.Caption(), "停止定时更新");
    EXPECT_EQ(form->Edit6.Text(), "1");
    EXPECT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());

    // The clock watch is armed again at once, yet never runs twice in the same minute.
    EXPECT_TRUE(form->Timer3.Enabled());
    harness.Advance(57990);  // to 08:05:59.990
    EXPECT_EQ(page->Navigations().size(), 1u);
    harness.Advance(600000);
    EXPECT_EQ(page->Navigations().size(), 1u);

    // The next day at the same time the page is converted again.
    harness.App().Form<TForm8>().Hide();
    ::unlink(RemotePage().c_str());
    http.SetPage(kPagePath, "day two");
    harness.Clock().SetLocalTime({2010, 9, 1, 8, 4, 59, 995});
    harness.Advance(10);
    EXPECT_EQ(page->Navigations().size(), 2u);
    harness.Advance(1000);
    EXPECT_EQ(http.Requests(kPagePath), 2);
    EXPECT_EQ(ReadIfExists(RemotePage()), "day two");
    EXPECT_TRUE(harness.App().Form<TForm8>().Visible());
    EXPECT_TRUE(form->Timer3.Enabled());

    // A restart inside the matching minute runs at once.
    SetClock(8, 5, 30);
    harness.UserClick(form->Button7);
    harness.UserClick(form->Button7);
    harness.Advance(10);
    EXPECT_EQ(page->Navigations().size(), 3u);
}

TEST_F(WorkflowTimedTest, ASiteThatNeverPassesIsReopenedThreeTimesThenReported) {
    StartModeAt("08-05", 8, 5, 0);
    BrowserShows(ErrorPage());
    harness.Advance(10);
    ASSERT_EQ(page->Navigations().size(), 1u);
    harness.Advance(3999);
    EXPECT_EQ(page->Navigations().size(), 4u);
    EXPECT_TRUE(harness.Messages().empty());
    harness.Advance(1);
    EXPECT_EQ(harness.Messages(),
              (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
    // The next day's run starts with the whole budget.
    EXPECT_EQ(form->RetryCount, 0);
    EXPECT_FALSE(form->Timer7.Enabled());
    EXPECT_TRUE(form->Timer3.Enabled());
    EXPECT_EQ(http.Requests(kPagePath), 0);
    harness.Advance(60000);
    EXPECT_EQ(page->Navigations().size(), 4u);
}

TEST_F(WorkflowTimedTest, ACounterLeftAtThreeEndsTheRunAtTheFirstFailedLook) {
    StartModeAt("08-05", 8, 5, 0);
    form->RetryCount = 3;  // as a halted differential cycle leaves it
    BrowserShows(ErrorPage());
    harness.Advance(10 + 1000);
    EXPECT_EQ(page->Navigations().size(), 1u);
    EXPECT_EQ(harness.Messages().size(), 1u);
}

TEST_F(WorkflowTimedTest, AnEarlierSuccessProceedsAtTheFirstLook) {
    StartModeAt("08-05", 8, 5, 0);
    form->Label7.SetCaption(kSiteOpenSucceeded);
    harness.Advance(10 + 1000);  // the browser never completes
    EXPECT_EQ(http.Requests(kPagePath), 1);
    EXPECT_TRUE(FileExists(RemotePage()));
}

TEST_F(WorkflowTimedTest, FetchAndUploadFailuresEndTheRunWithTheirMessagesAndNoRetry) {
    struct Row {
        const char* what;
        bool fetchFails;
        TMessageBoxRecord message;
    };
    const Row rows[] = {
        {"fetch fails", true, ErrorBox(kConversionFailedText)},
        {"upload fails", false, PlainDialog(kUploadFailedText)},
    };
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        harness.ClearMessages();
        dir.Write("index.html", "previous");
        const int before = http.Requests(kPagePath);
        if (row.fetchFails) {
            http.FailNext(kPagePath, 1);
        } else {
            BlockUploads();
        }
        form->timingtime = "08-05";
        SetClock(8, 5, 0);
        form->Button7.Click();  // start
        harness.Advance(10 + 1000);
        EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{row.message}));
        EXPECT_EQ(http.Requests(kPagePath) - before, 1);
        EXPECT_EQ(ReadIfExists(LocalPage()), row.fetchFails ? "previous" : "<html>page</html>");
        EXPECT_FALSE(harness.App().Form<TForm8>().Visible());
        // Armed for the next day, not for this minute again.
        EXPECT_TRUE(form->Timer3.Enabled());
        EXPECT_FALSE(form->Timer7.Enabled());
        harness.Advance(60000);
        EXPECT_EQ(harness.Messages().size(), 1u);
        form->Button7.Click();  // stop
        UnblockUploads();
    }
}

}  // namespace
}  // namespace velomaris
