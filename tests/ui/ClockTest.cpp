#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <stdexcept>

namespace velomaris {
namespace {

TEST(ClockTest, UtcPartsRoundTripThroughTheCalendar) {
    const TDateTimeParts rows[] = {
        {1970, 1, 1, 0, 0, 0, 0},   {2000, 2, 29, 23, 59, 59, 999},  {2010, 8, 31, 15, 45, 46, 0},
        {2038, 1, 19, 3, 14, 8, 0}, {1969, 12, 31, 23, 59, 59, 500}, {2100, 3, 1, 12, 0, 0, 1},
    };
    for (const TDateTimeParts& parts : rows) {
        EXPECT_EQ(UtcParts(FromUtcParts(parts)), parts) << parts.year << "-" << parts.month;
    }
    EXPECT_EQ(FromUtcParts({1970, 1, 2, 0, 0, 0, 0}), 86'400'000);
    EXPECT_EQ(FromUtcParts({1969, 12, 31, 23, 59, 59, 999}), -1);
}

TEST(ClockTest, TheVirtualClockMovesMonotonicAndLocalTimeTogether) {
    VirtualClock clock;
    EXPECT_EQ(clock.LocalNow(), (TDateTimeParts{2010, 8, 31, 15, 45, 46, 0}));
    clock.SetUtcOffsetSeconds(3600);
    clock.SetLocalTime({2010, 12, 31, 23, 59, 59, 0});
    const auto start = clock.Now();
    clock.Advance(1500);
    EXPECT_EQ(clock.Now() - start, 1500);
    EXPECT_EQ(clock.LocalNow(), (TDateTimeParts{2011, 1, 1, 0, 0, 0, 500}));
    EXPECT_EQ(UtcParts(clock.UtcNowMs()), (TDateTimeParts{2010, 12, 31, 23, 0, 0, 500}));
    EXPECT_EQ(clock.UtcOffsetSeconds(clock.UtcNowMs()), 3600);

    clock.AdvanceTo(start);  // never back
    EXPECT_EQ(clock.Now() - start, 1500);
    EXPECT_THROW(clock.Advance(-1), std::logic_error);
}

TEST(ClockTest, TheRealClockReportsTheSystemsLocalTime) {
    RealClock clock;
    const auto before = clock.Now();
    const TDateTimeParts local = clock.LocalNow();
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    EXPECT_EQ(local.year, tm.tm_year + 1900);
    EXPECT_EQ(local.month, tm.tm_mon + 1);
    EXPECT_EQ(clock.UtcOffsetSeconds(clock.UtcNowMs()), tm.tm_gmtoff);
    EXPECT_LE(clock.UtcNowMs() / 1000 - t, 1);
    EXPECT_GE(clock.Now(), before);
}

}  // namespace
}  // namespace velomaris
