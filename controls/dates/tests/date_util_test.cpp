#include "controls/dates/date_util.h"

#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"

#include <gtest/gtest.h>

using namespace zb;

namespace {

// The clock frozen on a day of `year` and settings installed, with the
// four-digit-year flag noted again from them.
struct Frozen {
    plat::FakeClock clock;
    plat::ScopedClock scope;
    plat::ScopedFormatSettings settings;
    Frozen(int year, const plat::FormatSettings& fs = {})
        : clock(1000, plat::EncodeDate(year, 6, 15)), scope(clock), settings(fs) {
        DateUtilInitialization();
    }
    ~Frozen() {
        plat::SetFormatSettings(nullptr);
        DateUtilInitialization();
    }
};

plat::FormatSettings Settings(const std::string& shortDate, char sep) {
    plat::FormatSettings fs;
    fs.ShortDateFormat = shortDate;
    fs.DateSeparator = sep;
    return fs;
}

TEST(DateUtil, LeapYearsAndMonthLengths) {
    struct Case { int year, month, days; } cases[] = {
        {1900, 2, 28}, {2000, 2, 29}, {1999, 2, 28}, {2024, 2, 29}, {2100, 2, 28},
        {1999, 1, 31}, {1999, 4, 30}, {1999, 12, 31}, {1999, 13, 0}, {1999, 0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DaysPerMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(ValidDate(9999, 12, 31));
    EXPECT_FALSE(ValidDate(10000, 1, 1));
    EXPECT_FALSE(ValidDate(0, 1, 1));
    EXPECT_FALSE(ValidDate(1999, 2, 29));
    EXPECT_TRUE(ValidDateTime(plat::EncodeDate(2000, 2, 29)));
    EXPECT_FALSE(ValidDateTime(1e12));
}

TEST(DateUtil, DateOrderOfFormats) {
    struct Case { const char* format; int order; } cases[] = {
        {"M/d/yyyy", doMDY}, {"dd.MM.yyyy", doDMY}, {"yyyy-MM-dd", doYMD}, {"  y/m/d", doYMD}, {"-/-", doDMY},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDateOrder(c.format), c.order) << c.format;
}

TEST(DateUtil, ScanDateInEitherCentury) {
    for (int year : {1999, 2024}) {
        Frozen f(year, Settings("dd.MM.yyyy", '.'));
        struct Case { const char* text; bool ok; int y, m, d; std::size_t end; } cases[] = {
            {"3.4", true, year, 4, 3, 3},
            {"3.4.98", true, 1998, 4, 3, 6},   // the window, not the current century
            {"3.4.05", true, 2005, 4, 3, 6},
            {" 31.12.1999. ", true, 1999, 12, 31, 13},
            {"29.2.2000", true, 2000, 2, 29, 9},
            {"31.02.1999", false, 0, 0, 0, 0},
            {"12345.1.1", false, 0, 0, 0, 0},  // 1234 is read, then "5" is no separator
            {"3", false, 0, 0, 0, 0},
            {"3.", false, 0, 0, 0, 0},
            {"3.4.", false, 0, 0, 0, 0},        // a separator asks for a third number
            {"a.4.98", false, 0, 0, 0, 0},
            {"0.4.98", false, 0, 0, 0, 0},
        };
        for (const auto& c : cases) {
            std::size_t pos = 0;
            TDateTime date = -1;
            ASSERT_EQ(ScanDate(c.text, "dd.MM.yyyy", pos, date), c.ok) << c.text << " in " << year;
            if (!c.ok) {
                EXPECT_EQ(pos, 0u);
                continue;
            }
            EXPECT_EQ(date, plat::EncodeDate(c.y, c.m, c.d)) << c.text;
            EXPECT_EQ(pos, c.end) << c.text;
        }
    }
}

TEST(DateUtil, ScanDateFollowsTheOrder) {
    Frozen f(1999);
    struct Case { const char* format; const char* text; int y, m, d; } cases[] = {
        {"M/d/yyyy", "1/2/2003", 2003, 1, 2}, {"d/M/yyyy", "1/2/2003", 2003, 2, 1},
        {"yyyy/M/d", "2003/1/2", 2003, 1, 2}, {"M/d/yyyy", "1/2", 1999, 1, 2},
        {"d/M/yyyy", "1/2", 1999, 2, 1},      {"yyyy/M/d", "1/2", 1999, 1, 2},
    };
    for (const auto& c : cases) {
        std::size_t pos = 0;
        TDateTime date = 0;
        ASSERT_TRUE(ScanDate(c.text, c.format, pos, date)) << c.format << " " << c.text;
        EXPECT_EQ(date, plat::EncodeDate(c.y, c.m, c.d)) << c.format << " " << c.text;
    }
}

TEST(DateUtil, StrToDateFmtReportsBadTextsAndDefaultsQuietly) {
    Frozen f(2024);
    EXPECT_EQ(StrToDateFmt("MM/DD/YYYY", "12/31/1999"), plat::EncodeDate(1999, 12, 31));
    for (const char* bad : {"x", "12/31/1999x", "02/30/2001", ""}) {
        try {
            StrToDateFmt("MM/DD/YYYY", bad);
            ADD_FAILURE() << bad << " converted";
        } catch (const plat::EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid date");
        }
        EXPECT_EQ(StrToDateFmtDef("MM/DD/YYYY", bad, 7.0), 7.0) << bad;
    }
    EXPECT_EQ(StrToDateDef("2/3/2004", 0), plat::EncodeDate(2004, 2, 3));
}

TEST(DateUtil, DefaultFormatAndMaskPerOrder) {
    struct Case { const char* shortDate; const char* format; const char* mask; } cases[] = {
        {"M/d/yyyy", "MM/DD/YYYY", "!99/99/9999;1;_"}, {"dd.MM.yyyy", "DD/MM/YYYY", "!99/99/9999;1;_"},
        {"yyyy-MM-dd", "YYYY/MM/DD", "!9999/99/99;1;_"}, {"M/d/yy", "MM/DD/YY", "!99/99/99;1;_"},
        {"d.M.yy", "DD/MM/YY", "!99/99/99;1;_"},        {"yy-MM-dd", "YY/MM/DD", "!99/99/99;1;_"},
    };
    for (const auto& c : cases) {
        Frozen f(1999, Settings(c.shortDate, '/'));
        EXPECT_EQ(FourDigitYear(), std::string(c.shortDate).find("yyyy") != std::string::npos);
        EXPECT_EQ(DefaultDateFormat(), c.format) << c.shortDate;
        EXPECT_EQ(DefaultDateMask('_'), c.mask) << c.shortDate;
    }
    Frozen f(1999);
    EXPECT_EQ(DefaultDateMask(' '), "!99/99/9999;1; ");
    EXPECT_EQ(FormatDefaultDate(plat::EncodeDate(2001, 2, 3)), "02/03/2001");
}

TEST(DateUtil, StrConsistsOf) {
    EXPECT_TRUE(StrConsistsOf("  /  /    ", " /"));
    EXPECT_TRUE(StrConsistsOf("", " /"));
    EXPECT_FALSE(StrConsistsOf(" 1/  /    ", " /"));
}

}  // namespace
