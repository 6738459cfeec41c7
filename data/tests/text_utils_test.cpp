#include "data/text_utils.h"
#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format.h"
#include "platform/core/format_settings.h"
#include "data/tables.h"
#include "data/tests/memory_store.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

TEST(TextUtils, GetTokenWalksDelimitedText) {
    int pos = 1;
    EXPECT_EQ(GetToken("a\tb", "\t", pos), "a");
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(GetToken("a\tb", "\t", pos), "b");
    EXPECT_EQ(pos, -1);
    pos = 1;
    EXPECT_EQ(GetToken("x AND y", "and", pos), "x");
    EXPECT_EQ(GetToken("x AND y", "and", pos), "y");
    pos = 1;
    EXPECT_EQ(GetToken("band and x", "and", pos), "band");  // a whole word only
    for (int bad : {0, -1, 9}) {
        pos = bad;
        EXPECT_EQ(GetToken("a;b", ";", pos), "");
        EXPECT_EQ(pos, bad);
    }
}

TEST(TextUtils, SmallStringRoutines) {
    plat::StringList l;
    DelimitedToStrings("a;;b", ';', l);
    ASSERT_EQ(l.Count(), 3);
    EXPECT_EQ(l[0], "a");
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2], "b");
    DelimitedToStrings("", ';', l);
    EXPECT_EQ(l.Count(), 1);
    std::string s = "ab \t \t";
    TrimRightChars(s, " \t");
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(ReplaceChar("a.b.c", '.', '/'), "a/b/c");
    EXPECT_TRUE(SameTextUpper("Title", "TITLE"));
    EXPECT_EQ(CountChar("a;b;c", ';'), 2);
    EXPECT_EQ(AfterChar("Form.Edit", '.'), "Edit");
    EXPECT_EQ(AfterChar("Edit", '.'), "");
}

TEST(TextUtils, GetWordSteps) {
    // Each call: options, the word, the position after it.
    struct Step { int options; const char* word; int pos; };
    const std::string text = "  ab,c \"q r\" x";
    const Step steps[] = {
        {gwSkipBlanks, "ab", 5},        // stops on the delimiter
        {0, ",", 6},                    // which is then a word of its own
        {0, "c", 8},                    // a one-character word takes what ended it
        {gwQuoted, "\"q r\"", 13},
        {gwSkipBlanks, "x", 16},
        {0, "", 16},                    // beyond the text: nothing
    };
    int pos = 1;
    for (const Step& s : steps) {
        EXPECT_EQ(GetWord(text, pos, s.options, ","), s.word);
        EXPECT_EQ(pos, s.pos) << s.word;
    }
    pos = 1;
    EXPECT_EQ(GetWord("\"quoted\" rest", pos, gwQuoted | gwStripQuotes, ""), "quoted");
    pos = 1;
    EXPECT_EQ(GetWord("\"open", pos, gwQuoted | gwStripQuotes, ""), "open");
}

TEST(TextUtils, IntegerTexts) {
    struct Case { const char* text; bool ok; };
    const Case cases[] = {{"", true}, {"0", true}, {"-12", true}, {"-", false}, {"+5", false},
                          {"1 ", false}, {"1-2", false}, {"--1", false}};
    for (const Case& c : cases) EXPECT_EQ(IsIntegerText(c.text), c.ok) << c.text;
}

// IsFloatText takes exactly what the number conversion reads: the table pins
// the forms, and each row is checked against the conversion as well.
TEST(TextUtils, FloatTextsAreWhatTheConversionReads) {
    struct Case { const char* text; bool ok; };
    const Case dot[] = {
        {"1", true}, {"-1.5", true}, {"+2", true}, {".5", true}, {"5.", true}, {" 2.5 ", true},
        {"1e3", true}, {"1E+3", true}, {"2.5e-2", true},
        {"-", false}, {".", false}, {"1,5", false}, {"1.2.3", false}, {"1e", false}, {"e5", false},
        {"1e400", false}, {"inf", false}, {"nan", false}, {"0x10", false}, {"1 2", false}, {"$10", false},
    };
    for (const Case& c : dot) {
        EXPECT_EQ(IsFloatText(c.text), c.ok) << c.text;
        double v;
        EXPECT_EQ(plat::TryStrToFloat(c.text, v), c.ok) << c.text;
    }
    EXPECT_TRUE(IsFloatText(""));
    plat::FormatSettings comma;
    comma.DecimalSeparator = ',';
    plat::ScopedFormatSettings scope(comma);
    EXPECT_TRUE(IsFloatText("1,5"));
    EXPECT_FALSE(IsFloatText("1.5"));
    EXPECT_DOUBLE_EQ(plat::StrToFloat("1,5"), 1.5);
}

// Date texts under two regional settings with the clock in June 2026 (the
// two-digit years run from 1976 to 2075). Each row says whether the text is
// a date and which one, and the same table drives the date fields.
struct DateCase {
    const char* text;
    bool ok;
    int y, m, d;
};

const DateCase kMonthFirst[] = {
    {"2/29/96", true, 1996, 2, 29},   {"2/30/96", false, 0, 0, 0},   {"2/29/00", true, 2000, 2, 29},
    {"2/29/1900", false, 0, 0, 0},    {"1/1/05", true, 2005, 1, 1},  {"12/31/75", true, 2075, 12, 31},
    {"12/31/76", true, 1976, 12, 31}, {"12/31", true, 2026, 12, 31}, {"Dec/24/1999", true, 1999, 12, 24},
    {" 3/4/2001  ", true, 2001, 3, 4}, {"13/1/96", false, 0, 0, 0},  {"1/1/96x", false, 0, 0, 0},
    {"1.1.96", false, 0, 0, 0},       {"", false, 0, 0, 0},          {"0/1/96", false, 0, 0, 0},
};
const DateCase kDayFirst[] = {
    {"29.02.1996", true, 1996, 2, 29}, {"29.02.00", true, 2000, 2, 29}, {"31.12", true, 2026, 12, 31},
    {"12.31.1996", false, 0, 0, 0},    {"1.1.05", true, 2005, 1, 1},    {"3/4/2001", false, 0, 0, 0},
    {"1.jan.2010", true, 2010, 1, 1},
};

class Scanners : public ::testing::Test {
protected:
    Scanners() : clock_(1000, plat::EncodeDate(2026, 6, 15) + 0.5), scope_(clock_) {}

    // The same texts through a date field of a dataset.
    void CheckField(const DateCase& c) {
        auto driver = std::make_shared<dbtest::MemoryDriver>();
        db::Session().SetDriver(driver);
        db::TTable t(nullptr);
        t.DatabaseName = "mem";
        t.TableName = "dates";
        t.FieldDefs().Add("D", db::ftDate);
        t.CreateTable();
        t.Open();
        t.Append();
        db::TField* f = t.FieldByName("D");
        if (c.ok) {
            EXPECT_NO_THROW(f->SetAsString(c.text)) << c.text;
            EXPECT_EQ(f->AsDateTime(), plat::EncodeDate(c.y, c.m, c.d)) << c.text;
        } else if (std::string(c.text).empty()) {
            EXPECT_NO_THROW(f->SetAsString(c.text));  // a blank text clears the field
            EXPECT_TRUE(f->IsNull());
        } else {
            EXPECT_THROW(f->SetAsString(c.text), plat::EConvertError) << c.text;
        }
        t.Cancel();
        t.Close();
        db::Session().SetDriver(nullptr);
    }

    void Check(const DateCase& c) {
        EXPECT_EQ(IsValidDateText(c.text), c.ok) << c.text;
        // The check and the conversion agree, and a valid text converts to its date.
        plat::TDateTime d = 0;
        EXPECT_EQ(plat::TryTextToDate(c.text, d), c.ok) << c.text;
        if (c.ok) EXPECT_EQ(d, plat::EncodeDate(c.y, c.m, c.d)) << c.text;
        CheckField(c);
    }

    plat::FakeClock clock_;
    plat::ScopedClock scope_;
};

TEST_F(Scanners, MonthFirstDates) {
    plat::FormatSettings fs;
    fs.ShortDateFormat = "M/d/yy";
    plat::ScopedFormatSettings scope(fs);
    for (const DateCase& c : kMonthFirst) Check(c);
}

TEST_F(Scanners, DayFirstDates) {
    plat::FormatSettings fs;
    fs.ShortDateFormat = "dd.MM.yyyy";
    fs.DateSeparator = '.';
    plat::ScopedFormatSettings scope(fs);
    for (const DateCase& c : kDayFirst) Check(c);
}

TEST_F(Scanners, Times) {
    struct Case { const char* text; bool ok; int h, n, s; };
    const Case cases[] = {
        {"12:30 pm", true, 12, 30, 0}, {"12:30 AM", true, 0, 30, 0}, {"1:05:09 PM", true, 13, 5, 9},
        {"13:00 PM", false, 0, 0, 0},  {"0:10 am", false, 0, 0, 0},  {"23:59:59", true, 23, 59, 59},
        {"24:00", false, 0, 0, 0},     {"10:60", false, 0, 0, 0},    {"10:30:", false, 0, 0, 0},
        {"10", false, 0, 0, 0},        {"10:30 xm", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidTimeText(c.text), c.ok) << c.text;
        plat::TDateTime t = 0;
        EXPECT_EQ(plat::TryTextToTime(c.text, t), c.ok) << c.text;
        if (c.ok) EXPECT_DOUBLE_EQ(t, plat::EncodeTime(c.h, c.n, c.s, 0)) << c.text;
    }
    // A designator of the regional settings counts as well as the fixed one.
    plat::FormatSettings fs;
    fs.TimePMString = "nachm.";
    plat::ScopedFormatSettings scope(fs);
    EXPECT_TRUE(IsValidTimeText("2:00 nachm."));
    EXPECT_TRUE(IsValidTimeText("2:00 PM"));
    EXPECT_TRUE(IsValidDateTimeText("12/31/96 2:00 nachm."));
    EXPECT_FALSE(IsValidDateTimeText("12/31/96"));
}

TEST(TextUtils, DateTimePartAtTheCaret) {
    // "12/31/1996 10:30:15 PM", month first.
    const std::string text = "12/31/1996 10:30:15 PM";
    struct Case { int caret; int part; };
    const Case cases[] = {
        {1, dtpMonth}, {3, dtpMonth}, {4, dtpDay}, {7, dtpYear}, {10, dtpYear},
        {12, dtpHour}, {15, dtpMinute}, {18, dtpSecond}, {19, dtpSecond}, {21, dtpAmPm},
    };
    for (const Case& c : cases) EXPECT_EQ(DateTimePartAt(c.caret, text, false), c.part) << c.caret;
    EXPECT_EQ(TimePartAt(0, "10:30"), dtpHour);
    EXPECT_EQ(TimePartAt(4, "10:30"), dtpMinute);
    plat::FormatSettings fs;
    fs.ShortDateFormat = "dd.MM.yyyy";
    fs.DateSeparator = '.';
    plat::ScopedFormatSettings scope(fs);
    EXPECT_EQ(DateTimePartAt(1, "31.12.1996", false), dtpDay);
    EXPECT_EQ(DateTimePartAt(4, "31.12.1996", false), dtpMonth);
    EXPECT_EQ(DateTimePartAt(8, "31.12.1996", false), dtpYear);
}

}  // namespace
