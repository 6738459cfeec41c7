#include "engine/client/day_numbers.h"

#include <gtest/gtest.h>

#include "platform/core/clock.h"
#include "platform/core/datetime.h"

namespace qv {
namespace {

TEST(DayNumbers, KnownDays) {
    struct Case {
        int d, m, y;
        std::int32_t n;
    };
    const Case cases[] = {
        {1, 1, 1600, 0},     {31, 1, 1600, 30},  {1, 2, 1600, 31},   {29, 2, 1600, 59},
        {1, 3, 1600, 60},    {1, 1, 1601, 366},  {29, 2, 1700, -1},  {28, 2, 1700, 36583},
        {29, 2, 2000, 146097 + 59}, {31, 12, 1599, -1}, {1, 1, 4000, -1}, {0, 1, 1950, -1},
        {32, 1, 1950, -1},   {1, 13, 1950, -1},  {30, 12, 1899, 109571},
    };
    for (const Case& c : cases) EXPECT_EQ(DayNumber(c.d, c.m, c.y), c.n) << c.d << "." << c.m << "." << c.y;
}

TEST(DayNumbers, EveryDayOfTheRangeRoundTripsAndMatchesTheCalendar) {
    // Day numbers count consecutive days: walking the calendar day by day
    // must give 0, 1, 2, ... and the inverse must give the date back.
    std::int32_t expected = 0;
    for (int y = 1600; y <= 3999; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysInMonth(m, y); ++d, ++expected) {
                std::int32_t n = DayNumber(d, m, y);
                ASSERT_EQ(n, expected) << d << "." << m << "." << y;
                int dd, mm, yy;
                DayNumberToDMY(n, dd, mm, yy);
                ASSERT_EQ(dd * 10000 + mm * 100, d * 10000 + m * 100) << n;
                ASSERT_EQ(yy, y) << n;
            }
    EXPECT_EQ(LastDayNumber(), expected - 1);
    int d, m, y;
    for (std::int32_t bad : {-1, -5, LastDayNumber() + 1}) {
        DayNumberToDMY(bad, d, m, y);
        EXPECT_EQ(d + m + y, 0) << bad;
    }
}

TEST(DayNumbers, YearsAndMonths) {
    EXPECT_EQ(ExpandYear(49, 1950), 2049);
    EXPECT_EQ(ExpandYear(50, 1950), 1950);
    EXPECT_EQ(ExpandYear(0, 1900), 1900);
    EXPECT_EQ(ExpandYear(1999, 1950), 1999);
    EXPECT_TRUE(IsLeapYear(1600));
    EXPECT_FALSE(IsLeapYear(1700));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(4000));
    struct Case {
        int m, y, days;
    };
    const Case cases[] = {{2, 1600, 29}, {2, 1900, 28}, {2, 96, 29}, {4, 2024, 30},
                          {12, 3999, 31}, {13, 2000, 0}, {1, 1599, 0}, {1, 4000, 0}};
    for (const Case& c : cases) EXPECT_EQ(DaysInMonth(c.m, c.y), c.days) << c.m << "/" << c.y;
    // Two-digit years go through the epoch window.
    EXPECT_EQ(DayNumber(1, 1, 49), DayNumber(1, 1, 2049));
}

TEST(DayNumbers, SecondsOfTheDay) {
    struct Case {
        int h, m, s;
        std::int32_t seconds;
    };
    const Case cases[] = {{0, 0, 0, 0}, {23, 59, 59, 86399}, {24, 0, 1, 1}, {12, 30, 15, 45015}};
    for (const Case& c : cases) EXPECT_EQ(HMSToSeconds(c.h, c.m, c.s), c.seconds);
    int h, m, s;
    SecondsToHMS(45015, h, m, s);
    EXPECT_EQ(h * 10000 + m * 100 + s, 123015);
    SecondsToHMS(-1, h, m, s);
    EXPECT_EQ(h + m + s, 0);
}

TEST(DayNumbers, ClassLibraryDateTimes) {
    // 30 Dec 1899 is date-time 0 and day number 109571.
    EXPECT_EQ(DateTimeToDayNumber(0.0), 109571);
    EXPECT_EQ(DateTimeToDayNumber(45000.75), DayNumber(15, 3, 2023));
    EXPECT_EQ(DateTimeToSeconds(45000.75), 18 * 3600);
    EXPECT_DOUBLE_EQ(DayNumberToDateTime(DayNumber(15, 3, 2023)), 45000.0);
    EXPECT_DOUBLE_EQ(DayNumberToDateTime(-1), 0.0);
    EXPECT_DOUBLE_EQ(SecondsToDateTime(43200), 0.5);
    EXPECT_DOUBLE_EQ(SecondsToDateTime(-1), 0.0);
}

TEST(DayNumbers, ApiDateAndTimeEncodings) {
    std::int32_t date = 0;
    struct Case {
        int m, d, y;
        std::int32_t date;
    };
    // The API date is the class library's day plus 693594.
    const Case cases[] = {
        {12, 30, 1899, 693594},
        {1, 1, 1600, 584023},
        {3, 15, 2023, 45000 + 693594},
        {3, 15, 23, 45000 + 693594},  // 23 is 2023
        {3, 15, 99, static_cast<std::int32_t>(plat::EncodeDate(1999, 3, 15)) + 693594},
        {2, 30, 2023, 693594},  // invalid
        {1, 1, 1599, 693594},   // outside the engine's years
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DateEncode(c.m, c.d, c.y, date), 0);
        EXPECT_EQ(date, c.date) << c.m << "/" << c.d << "/" << c.y;
    }
    int y, m, d;
    DateDecode(45000 + 693594, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20230315);
    DateDecode(0, y, m, d);
    EXPECT_EQ(y + m + d, 0);

    std::int32_t t = 0;
    TimeEncode(13, 45, 30250, t);
    EXPECT_EQ(t, (13 * 60 + 45) * 60000 + 30250);
    int h, mi, ms;
    TimeDecode(t, h, mi, ms);
    EXPECT_EQ(h * 100000 + mi * 1000, 1345000);
    EXPECT_EQ(ms, 30250);
    double dd, tt;
    TimeStampDecode(45000.25, dd, tt);
    EXPECT_DOUBLE_EQ(dd, 45000.0);
    EXPECT_DOUBLE_EQ(tt, 0.25);
}

}  // namespace
}  // namespace qv
