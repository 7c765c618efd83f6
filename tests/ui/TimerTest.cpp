#include "platform/ui/Timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/support/HeadlessHarness.h"

namespace velomaris {
namespace {

class TimerTest : public ::testing::Test {
protected:
    // Milliseconds since the test started.
    long long Elapsed() { return harness.Clock().Now() - start; }
    // A timer whose ticks are recorded as elapsed times.
    std::unique_ptr<TTimer> RecordingTimer(std::int64_t interval, std::vector<long long>& ticks) {
        auto timer = std::make_unique<TTimer>(harness.App(), "Timer", interval);
        timer->OnTimer = [this, &ticks] { ticks.push_back(Elapsed()); };
        return timer;
    }

    HeadlessHarness harness;
    Clock::TimePoint start = harness.Clock().Now();
};

TEST_F(TimerTest, IsDisabledAtCreationWithTheDefaultInterval) {
    std::vector<long long> ticks;
    TTimer timer(harness.App(), "Timer1");
    timer.OnTimer = [&] { ticks.push_back(Elapsed()); };
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    harness.Advance(10'000);
    EXPECT_TRUE(ticks.empty());
}

TEST_F(TimerTest, TicksEveryIntervalFromTheMomentItIsEnabled) {
    std::vector<long long> ticks;
    auto timer = RecordingTimer(1000, ticks);
    harness.Advance(250);
    timer->SetEnabled(true);
    harness.Advance(3000);
    EXPECT_EQ(ticks, (std::vector<long long>{1250, 2250, 3250}));
}

TEST_F(TimerTest, AZeroOrNegativeIntervalNeverFires) {
    for (std::int64_t interval : {0, -1, -60000}) {
        std::vector<long long> ticks;
        auto timer = RecordingTimer(interval, ticks);
        timer->SetEnabled(true);
        harness.Advance(100'000);
        EXPECT_TRUE(ticks.empty()) << "interval " << interval;
        EXPECT_FALSE(timer->DueTime().has_value());
    }
}

// What happens to a running 1000 ms timer when something is done to it 600 ms after it was
// enabled; the expected ticks are elapsed times up to 4000 ms.
TEST_F(TimerTest, ChangesWhileEnabledFollowTheRestartRules) {
    struct Row {
        const char* change;
        std::function<void(TTimer&)> apply;
        std::vector<long long> expected;
    };
    const Row rows[] = {
        {"enable again", [](TTimer& t) { t.SetEnabled(true); }, {1000, 2000, 3000, 4000}},
        {"same interval", [](TTimer& t) { t.SetInterval(1000); }, {1000, 2000, 3000, 4000}},
        {"new interval", [](TTimer& t) { t.SetInterval(2000); }, {2600}},
        {"shorter interval",
         [](TTimer& t) { t.SetInterval(300); },
         {900, 1200, 1500, 1800, 2100, 2400, 2700, 3000, 3300, 3600, 3900}},
        {"disable", [](TTimer& t) { t.SetEnabled(false); }, {}},
        {"disable and enable",
         [](TTimer& t) { t.SetEnabled(false), t.SetEnabled(true); },
         {1600, 2600, 3600}},
        {"interval 0", [](TTimer& t) { t.SetInterval(0); }, {}},
    };
    for (const Row& row : rows) {
        std::vector<long long> ticks;
        auto timer = RecordingTimer(1000, ticks);
        const auto begin = harness.Clock().Now();
        timer->OnTimer = [&] { ticks.push_back(harness.Clock().Now() - begin); };
        timer->SetEnabled(true);
        harness.Advance(600);
        row.apply(*timer);
        harness.Advance(3400);
        EXPECT_EQ(ticks, row.expected) << row.change;
    }
}

TEST_F(TimerTest, ANewIntervalOnADisabledTimerTakesEffectWhenEnabled) {
    std::vector<long long> ticks;
    auto timer = RecordingTimer(1000, ticks);
    timer->SetInterval(60000);
    harness.Advance(500);
    timer->SetEnabled(true);
    harness.Advance(120'000);
    EXPECT_EQ(ticks, (std::vector<long long>{60500, 120500}));
}

// A handler that blocks (a long download) holds the loop; the ticks of another timer that fall
// due meanwhile are not queued up: it fires once when the loop is free, then every period from
// that tick.
TEST_F(TimerTest, ALateTickFiresOnceAndIsNotQueued) {
    std::vector<long long> ticks;
    auto fast = RecordingTimer(1000, ticks);
    TTimer blocking(harness.App(), "Blocking", 500);
    blocking.OnTimer = [&] {
        blocking.SetEnabled(false);
        harness.Clock().Advance(3700);  // the loop does not run meanwhile
    };
    fast->SetEnabled(true);
    blocking.SetEnabled(true);
    harness.Advance(6500);
    EXPECT_EQ(ticks, (std::vector<long long>{4200, 5200, 6200}));
}

TEST_F(TimerTest, TimersDueAtTheSameTimeRunInCreationOrder) {
    std::vector<std::string> order;
    TTimer a(harness.App(), "A", 1000);
    TTimer b(harness.App(), "B", 500);
    a.OnTimer = [&] { order.push_back("A"); };
    b.OnTimer = [&] { order.push_back("B"); };
    b.SetEnabled(true);
    a.SetEnabled(true);
    harness.Advance(1000);
    EXPECT_EQ(order, (std::vector<std::string>{"B", "A", "B"}));
}

TEST_F(TimerTest, AHandlerMayDisableOrDestroyAnotherDueTimer) {
    std::vector<std::string> order;
    // Created first, so it runs first; its handler removes timers that are due too.
    TTimer killer(harness.App(), "Killer", 1000);
    auto victim = std::make_unique<TTimer>(harness.App(), "Victim", 1000);
    TTimer other(harness.App(), "Other", 1000);
    killer.OnTimer = [&] {
        order.push_back("killer");
        victim.reset();
        other.SetEnabled(false);
    };
    other.OnTimer = [&] { order.push_back("other"); };
    victim->OnTimer = [&] { order.push_back("victim"); };
    killer.SetEnabled(true);
    victim->SetEnabled(true);
    other.SetEnabled(true);
    harness.Advance(1000);
    victim = std::make_unique<TTimer>(harness.App(), "Victim", 1000);
    victim->SetEnabled(true);
    harness.Advance(1000);
    EXPECT_EQ(order, (std::vector<std::string>{"killer", "killer"}));
}

// The message box keeps its handler waiting while the loop runs on: a timer ticks meanwhile,
// and the handler goes on only when the box is closed.
TEST_F(TimerTest, TicksWhileAMessageBoxIsOpen) {
    std::vector<std::string> events;
    TTimer timer(harness.App(), "Timer4", 1000);
    timer.OnTimer = [&] { events.push_back("tick at " + std::to_string(Elapsed())); };
    timer.SetEnabled(true);
    harness.WhileBoxOpen([&](const TMessageBoxRecord& box) {
        events.push_back("box open: " + box.text);
        harness.Advance(3500);
        events.push_back("box closed");
    });
    TTimer step(harness.App(), "Step", 500);
    step.OnTimer = [&] {
        step.SetEnabled(false);
        harness.App().MessageBox("failed", "title", TMessageBoxIcon::mbError);
        events.push_back("handler continues at " + std::to_string(Elapsed()));
    };
    step.SetEnabled(true);
    harness.Advance(500);
    EXPECT_EQ(events, (std::vector<std::string>{"box open: failed", "tick at 1000", "tick at 2000",
                                                "tick at 3000", "tick at 4000", "box closed",
                                                "handler continues at 4000"}));
    harness.WhileBoxOpen(nullptr);
    harness.Advance(1000);
    EXPECT_EQ(events.back(), "tick at 5000");
}

}  // namespace
}  // namespace velomaris
