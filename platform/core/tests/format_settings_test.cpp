#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format.h"
#include "platform/core/format_settings.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

// 15 Jun 2026, 14:05:09: days since 30 Dec 1899.
TDateTime June15th2026() { return EncodeDate(2026, 6, 15) + EncodeTime(14, 5, 9, 0); }

TEST(FormatSettings, DefaultsAreFixed) {
    const FormatSettings& fs = CurrentFormatSettings();
    EXPECT_EQ(fs.ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(fs.DateSeparator, '/');
    EXPECT_EQ(fs.TimeSeparator, ':');
    EXPECT_EQ(fs.TimeAMString, "AM");
    EXPECT_EQ(fs.TimePMString, "PM");
    EXPECT_EQ(fs.DecimalSeparator, '.');
    EXPECT_EQ(DateToStr(June15th2026()), "6/15/2026");
    EXPECT_EQ(TimeToStr(June15th2026()), "14:05:09");
}

TEST(FormatSettings, ScopedSettingsAreRestored) {
    FormatSettings de;
    de.ShortDateFormat = "dd.MM.yyyy";
    de.DateSeparator = '.';
    de.DecimalSeparator = ',';
    {
        ScopedFormatSettings scope(de);
        EXPECT_EQ(DateToStr(June15th2026()), "15.06.2026");
        EXPECT_EQ(FloatToStr(2.5), "2,5");
        EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
        EXPECT_THROW(StrToFloat("2.5"), EConvertError);
    }
    EXPECT_EQ(DateToStr(June15th2026()), "6/15/2026");
    EXPECT_DOUBLE_EQ(StrToFloat("2.5"), 2.5);
}

TEST(FormatSettings, FormatDateTimeTokens) {
    struct Case { const char* format; const char* text; };
    const Case cases[] = {
        {"yyyy-mm-dd", "2026-06-15"},
        {"d/m/yy", "15/6/26"},
        {"dddd, mmmm d", "Monday, June 15"},
        {"ddd mmm", "Mon Jun"},
        {"hh:mm:ss", "14:05:09"},     // m after h is the minute
        {"h:nn ampm", "2:05 PM"},     // a designator makes the clock 12-hour
        {"h:nn am/pm", "2:05 PM"},
        {"'at' hh\"h\"", "at 14h"},   // quoted text stands as it is
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, June15th2026()), c.text) << c.format;
}

TEST(FormatSettings, TwoDigitYearsLandInAHundredYearWindow) {
    // Now: 15 Jun 2026, so the window runs from 1976 to 2075.
    FakeClock clock(1000, June15th2026());
    ScopedClock scope(clock);
    struct Case { int written, year; };
    const Case cases[] = {{0, 2000}, {5, 2005}, {75, 2075}, {76, 1976}, {99, 1999}, {100, 100}, {1996, 1996}};
    for (const Case& c : cases) EXPECT_EQ(ExpandTwoDigitYear(c.written), c.year) << c.written;
}

TEST(FormatSettings, DateOrderIsTheFirstLetter) {
    EXPECT_EQ(GetDateOrder("M/d/yy"), DateOrder::MDY);
    EXPECT_EQ(GetDateOrder("dd.MM.yyyy"), DateOrder::DMY);
    EXPECT_EQ(GetDateOrder("yyyy-MM-dd"), DateOrder::YMD);
    EXPECT_EQ(GetDateOrder("--"), DateOrder::MDY);
}

TEST(FormatSettings, ScannersStopWhereTheyRead) {
    FakeClock clock(1000, June15th2026());
    ScopedClock scope(clock);
    std::size_t pos = 0;
    TDateTime d = 0;
    ASSERT_TRUE(ScanDate("12/31/96 10:30", pos, d));
    EXPECT_EQ(pos, 9u);  // after the blank that follows the date
    EXPECT_EQ(d, EncodeDate(1996, 12, 31));
    TDateTime t = 0;
    ASSERT_TRUE(ScanTime("12/31/96 10:30", pos, t));
    EXPECT_EQ(pos, 14u);
    EXPECT_DOUBLE_EQ(t, EncodeTime(10, 30, 0, 0));
    pos = 0;
    EXPECT_FALSE(ScanDate("12-31-96", pos, d));
    EXPECT_EQ(pos, 0u);  // a failed scan leaves the position
    TDateTime v = 0;
    EXPECT_TRUE(TryTextToDateTime("12/31/96", v, true));
    EXPECT_FALSE(TryTextToDateTime("12/31/96", v, false));
    EXPECT_TRUE(TryTextToDateTime("12/31/96 1:00 pm", v, false));
    EXPECT_DOUBLE_EQ(v, EncodeDate(1996, 12, 31) + EncodeTime(13, 0, 0, 0));
}

}  // namespace
