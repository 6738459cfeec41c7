#include "platform/core/datetime.h"

#include <gtest/gtest.h>

#include "platform/core/exceptions.h"

using namespace plat;

TEST(DateTime, EncodeDecodeKnownDays) {
    struct Case { int y, m, d; double value; int dow; } cases[] = {
        {1899, 12, 30, 0, 7},        // Saturday
        {1899, 12, 31, 1, 1},
        {1900, 1, 1, 2, 2},
        {1900, 3, 1, 61, 5},         // 1900 is not a leap year
        {2000, 2, 29, 36585, 3},
        {2000, 1, 1, 36526, 7},
        {1, 1, 1, -693593, 2},
        {9999, 12, 31, 2958465, 6},
        {1800, 1, 1, -36522, 4},
    };
    for (auto c : cases) {
        EXPECT_DOUBLE_EQ(EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
        int y, m, d;
        DecodeDate(c.value, y, m, d);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(m, c.m);
        EXPECT_EQ(d, c.d);
        EXPECT_EQ(DayOfWeek(c.value), c.dow) << c.value;
    }
}

TEST(DateTime, InvalidPartsAreRefused) {
    TDateTime v;
    EXPECT_FALSE(TryEncodeDate(2001, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, v));
    EXPECT_FALSE(TryEncodeDate(2000, 13, 1, v));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, v));
    EXPECT_THROW(EncodeDate(2000, 2, 30), EConvertError);
}

TEST(DateTime, TimeOfDayAndNegativeDates) {
    TDateTime t = EncodeTime(18, 30, 15, 250);
    int h, mi, s, ms;
    DecodeTime(t, h, mi, s, ms);
    EXPECT_EQ(h, 18);
    EXPECT_EQ(mi, 30);
    EXPECT_EQ(s, 15);
    EXPECT_EQ(ms, 250);
    // Before 1899 the time of day is the fraction's absolute value.
    TDateTime v = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
    EXPECT_DOUBLE_EQ(v, -1.25);
    DecodeTime(v, h, mi, s, ms);
    EXPECT_EQ(h, 6);
    int y, m, d;
    DecodeDate(v, y, m, d);
    EXPECT_EQ(d, 29);
}

TEST(DateTime, DosPackedRoundTrip) {
    TDateTime v = ComposeDateTime(EncodeDate(2026, 12, 10), EncodeTime(11, 58, 31, 0));
    std::uint32_t packed = DateTimeToDosDateTime(v);
    // date: (46 << 9) | (12 << 5) | 10 = 0x5D8A; time: (11 << 11) | (58 << 5) | 15 = 0x5F4F
    EXPECT_EQ(packed, 0x5D8A5F4Fu);
    TDateTime back;
    ASSERT_TRUE(DosDateTimeToDateTime(packed, back));
    EXPECT_EQ(DateTimeToIsoString(back), "2026-12-10 11:58:30");  // two-second steps
    EXPECT_FALSE(DosDateTimeToDateTime(0, back));                  // month 0
    EXPECT_EQ(DateTimeToDosDateTime(EncodeDate(1970, 1, 1)), 0x00210000u);  // clamped to 1 Jan 1980
}
