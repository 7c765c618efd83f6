#include "platform/ui/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/HeadlessBackend.h"
#include "platform/ui/Timer.h"
#include "tests/support/HeadlessHarness.h"

namespace velomaris {
namespace {

TEST(ErrorReportTextTest, AppendsAFullStopUnlessTheLastByteSortsAtOrBeforeIt) {
    struct Row {
        std::string message;
        std::string expected;
    };
    const Row rows[] = {
        {"Connection refused", "Connection refused."},
        {"Done.", "Done."},
        {"Really!", "Really!"},  // 0x21
        {"list,", "list,"},      // 0x2C
        {"a-", "a-"},            // 0x2D
        {"path/", "path/."},     // 0x2F sorts after "."
        {"Socket Error # 10061", "Socket Error # 10061."},
        {"(closed)", "(closed)"},  // 0x29
        {"trailing blank ", "trailing blank "},
        {"line\r\n", "line\r\n"},
        {"", ""},
        {"\xCA\xA7\xB0\xDC", "\xCA\xA7\xB0\xDC."},  // a GBK word: its trail byte sorts after "."
        {std::string("nul\0", 4), std::string("nul\0", 4)},
        {"~", "~."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ErrorReportText(row.message), row.expected) << "message: " << row.message;
    }
}

class ApplicationTest : public ::testing::Test {
protected:
    HeadlessHarness harness;
    TApplication& app = harness.App();
};

TEST_F(ApplicationTest, AnExceptionEscapingAHandlerBecomesTheErrorReportAndTheLoopGoesOn) {
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    TButton button(&form, "Button1", "Go");
    button.OnClick = [] { throw EConvertError("'x' is not a valid integer value"); };
    int ticks = 0;
    TTimer timer(form, "Timer1", 1000);
    timer.OnTimer = [&] {
        ++ticks;
        throw std::runtime_error("boom");
    };
    timer.SetEnabled(true);

    harness.UserClick(button);
    harness.Advance(2000);

    const TMessageBoxRecord click{TMessageKind::mkMessageBox, "'x' is not a valid integer value.",
                                  "Velomaris", TMessageBoxIcon::mbError};
    const TMessageBoxRecord tick{TMessageKind::mkMessageBox, "boom.", "Velomaris",
                                 TMessageBoxIcon::mbError};
    EXPECT_EQ(harness.Messages(), (std::vector<TMessageBoxRecord>{click, tick, tick}));
    EXPECT_EQ(ticks, 2);
}

TEST_F(ApplicationTest, ADirectClickPassesTheExceptionToItsCaller) {
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    TButton button(&form, "Button10");
    button.OnClick = [] { throw Exception("step failed"); };
    EXPECT_THROW(button.Click(), Exception);
    EXPECT_TRUE(harness.Messages().empty());
}

TEST_F(ApplicationTest, MessageBoxesAndPlainDialogsAreRecordedWithTheirTitles) {
    app.SetTitle("Velomaris");
    app.MessageBox("FTP ok", "\xCC\xE1\xCA\xBE", TMessageBoxIcon::mbWarning);
    app.ShowMessage("done");
    ASSERT_EQ(harness.Messages().size(), 2u);
    EXPECT_EQ(harness.Messages()[0],
              (TMessageBoxRecord{TMessageKind::mkMessageBox, "FTP ok", "\xCC\xE1\xCA\xBE",
                                 TMessageBoxIcon::mbWarning}));
    EXPECT_EQ(harness.Messages()[1], (TMessageBoxRecord{TMessageKind::mkPlainDialog, "done",
                                                        "Velomaris", TMessageBoxIcon::mbNone}));
    EXPECT_EQ(ToString(harness.Messages()[0]), "[\xE6\x8F\x90\xE7\xA4\xBA] (warning) FTP ok");
    EXPECT_EQ(ToString(harness.Messages()[1]), "[Velomaris] done");
}

TEST_F(ApplicationTest, PrintedBoxesShowLineBreaksAndEscapeBytesThatAreNotGbk) {
    const TMessageBoxRecord box{TMessageKind::mkMessageBox, "first\rsecond\r\nthird\xFF", "t",
                                TMessageBoxIcon::mbError};
    EXPECT_EQ(DescribeMessage(box), "[t] (error) first\nsecond\nthird\\xFF");
}

TEST_F(ApplicationTest, FormsAreKeptInCreationOrderAndTheFirstIsTheMainForm) {
    TForm& first = app.CreateForm<TForm>("Form1", "one");
    TForm& second = app.CreateForm<TForm>("Form2", "two");
    ASSERT_EQ(app.Forms().size(), 2u);
    EXPECT_EQ(app.Forms()[0].get(), &first);
    EXPECT_EQ(app.Forms()[1].get(), &second);
    EXPECT_EQ(app.MainForm(), &first);
    EXPECT_FALSE(first.Visible());
    EXPECT_EQ(&app.Form<TForm>(), &first);
}

TEST_F(ApplicationTest, PostedEventsRunInOrderOnTheNextDispatch) {
    std::vector<int> order;
    app.Post([&] { order.push_back(1); });
    app.Post([&] {
        order.push_back(2);
        app.Post([&] { order.push_back(4); });
    });
    app.Post([&] { order.push_back(3); });
    EXPECT_TRUE(order.empty());
    harness.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(ApplicationTest, RunShowsTheMainFormAndEndsOnTerminate) {
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    int shows = 0;
    form.OnShow = [&] { ++shows; };
    TTimer timer(form, "Timer1", 5000);
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 3) {
            app.Terminate();
        }
    };
    timer.SetEnabled(true);
    const auto start = harness.Clock().Now();
    // On the virtual clock the loop jumps from one due time to the next.
    app.Run();
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(harness.Clock().Now() - start, 15000);
}

// With the real clock the loop sleeps until an event is posted from another thread.
TEST(RealClockLoopTest, RunsEventsPostedFromOtherThreadsOnTheLoopThread) {
    RealClock clock;
    THeadlessBackend backend(clock);
    TApplication app(backend, clock);
    app.CreateForm<TForm>("Form1", "Caption");
    const auto loopThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::thread poster([&] {
        app.Post([&] {
            ranOn = std::this_thread::get_id();
            app.Terminate();
        });
    });
    app.Run();
    poster.join();
    EXPECT_EQ(ranOn, loopThread);
    EXPECT_TRUE(app.Terminated());
}

TEST(RealClockLoopTest, TerminateFromAnotherThreadEndsAnIdleLoop) {
    RealClock clock;
    THeadlessBackend backend(clock);
    TApplication app(backend, clock);
    std::thread stopper;
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    // The loop is running by the time the form is shown.
    form.OnShow = [&] { stopper = std::thread([&] { app.Terminate(); }); };
    app.Run();
    stopper.join();
    EXPECT_TRUE(app.Terminated());
}

TEST(RealClockLoopTest, RealTimersFireThroughTheLoop) {
    RealClock clock;
    THeadlessBackend backend(clock);
    TApplication app(backend, clock);
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    TTimer timer(form, "Timer1", 5);
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 3) {
            app.Terminate();
        }
    };
    timer.SetEnabled(true);
    const auto start = clock.Now();
    app.Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(clock.Now() - start, 15);
}

}  // namespace
}  // namespace velomaris
