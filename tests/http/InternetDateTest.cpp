#include <gtest/gtest.h>

#include <string>

#include "http/IdHTTPHeaderInfo.h"
#include "tests/support/ScopedTimeZone.h"

namespace velomaris {
namespace {

using testing::ScopedTimeZone;

constexpr std::int64_t k1Dec1994At1600Utc = 786297600;
constexpr double kOneSecond = 1.0 / 86400;

TEST(InternetDateTest, TheThreeFormsGiveTheSameMoment) {
    ScopedTimeZone zone("UTC0");
    const TIdDateTime expected = UnixTimeToLocal(k1Dec1994At1600Utc);
    const char* forms[] = {
        "Thu, 01 Dec 1994 16:00:00 GMT", "Thursday, 01-Dec-94 16:00:00 GMT",
        "Thu Dec  1 16:00:00 1994",      "  Thu, 01 Dec 1994 16:00:00 GMT  ",
        "thu, 1 dec 1994 16:00:00",      "01 Dec 1994 16:00:00 GMT",
        "Thu, 01 Dec 1994 16:00 GMT",
    };
    for (const char* form : forms) {
        EXPECT_NEAR(ReadInternetDate(form), expected, kOneSecond / 10) << form;
    }
    EXPECT_NEAR(ReadInternetDate("Sun, 06 Nov 1994 08:49:37 GMT"), UnixTimeToLocal(784111777),
                kOneSecond / 10);
}

TEST(InternetDateTest, ResultIsInLocalTimeAndHonoursTheZoneOffset) {
    ScopedTimeZone zone("CST-8");  // eight hours east of Greenwich, no daylight saving
    ASSERT_EQ(LocalOffsetFromUtcMinutes(), 480);
    const TIdDateTime gmt = ReadInternetDate("Thu, 01 Dec 1994 16:00:00 GMT");
    // 16:00 GMT is midnight of the next day at +0800.
    EXPECT_NEAR(gmt, UnixTimeToLocal(k1Dec1994At1600Utc), kOneSecond / 10);
    EXPECT_EQ(FormatInternetDate(gmt), "Fri, 2 Dec 1994 00:00:00 +0800");

    const TIdDateTime plus8 = ReadInternetDate("Thu, 01 Dec 1994 16:00:00 +0800");
    EXPECT_NEAR(gmt - plus8, 8.0 / 24, kOneSecond / 10);
    const TIdDateTime minus0130 = ReadInternetDate("Thu, 01 Dec 1994 16:00:00 -0130");
    EXPECT_NEAR(minus0130 - gmt, 1.5 / 24, kOneSecond / 10);
}

TEST(InternetDateTest, UnreadableTextGivesZero) {
    ScopedTimeZone zone("UTC0");
    const char* texts[] = {
        "",
        "   ",
        "garbage",
        "Thu, 31 Feb 1994 16:00:00 GMT",
        "Thu, 01 Foo 1994 16:00:00 GMT",
        "Thu, 01 Dec 1994 25:00:00 GMT",
        "Thu, 01 Dec 1994 16:xx:00 GMT",
        "Thu, 01 Dec 1994 16:00:00 +08x0",
        "-1",
    };
    for (const char* text : texts) {
        EXPECT_EQ(ReadInternetDate(text), 0.0) << "\"" << text << "\"";
    }
}

TEST(InternetDateTest, TwoDigitYearsAreWindowedAt1980) {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(FormatInternetDate(ReadInternetDate("Sat, 01-Jan-05 00:00:00 GMT")),
              "Sat, 1 Jan 2005 00:00:00 +0000");
    EXPECT_EQ(FormatInternetDate(ReadInternetDate("Tue, 01-Jan-80 00:00:00 GMT")),
              "Tue, 1 Jan 1980 00:00:00 +0000");
    EXPECT_EQ(FormatInternetDate(ReadInternetDate("Sun, 31-Dec-79 23:59:59 GMT")),
              "Sun, 31 Dec 2079 23:59:59 +0000");
}

TEST(InternetDateTest, FormatWritesTheLocalOffset) {
    {
        ScopedTimeZone zone("CST-8");
        EXPECT_EQ(FormatInternetDate(UnixTimeToLocal(1765195509)),
                  "Mon, 8 Dec 2025 20:05:09 +0800");
    }
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(FormatInternetDate(UnixTimeToLocal(1765195509)),
                  "Mon, 8 Dec 2025 12:05:09 +0000");
    }
    {
        ScopedTimeZone zone("XST+05:30");  // five and a half hours west
        EXPECT_EQ(FormatInternetDate(UnixTimeToLocal(1765195509)),
                  "Mon, 8 Dec 2025 06:35:09 -0530");
    }
}

TEST(InternetDateTest, FormattedDatesReadBackToTheSameMoment) {
    ScopedTimeZone zone("CST-8");
    for (std::int64_t moment : {std::int64_t{0}, k1Dec1994At1600Utc, std::int64_t{1765195509},
                                std::int64_t{4102444799}}) {
        const TIdDateTime local = UnixTimeToLocal(moment);
        EXPECT_NEAR(ReadInternetDate(FormatInternetDate(local)), local, kOneSecond / 10)
            << FormatInternetDate(local);
        EXPECT_EQ(LocalToUnixTime(local), moment);
    }
}

TEST(InternetDateTest, LocalNowFollowsTheSystemClock) {
    ScopedTimeZone zone("CST-8");
    const std::int64_t before = std::time(nullptr);
    const std::int64_t now = LocalToUnixTime(LocalNow());
    const std::int64_t after = std::time(nullptr);
    EXPECT_GE(now, before);
    EXPECT_LE(now, after + 1);
}

}  // namespace
}  // namespace velomaris
