#include "platform/core/format.h"

#include <gtest/gtest.h>

#include "platform/core/exceptions.h"

using namespace plat;

TEST(Format, TableOfItems) {
    struct Case { const char* fmt; std::string expected; std::initializer_list<FmtArg> args; };
    const Case cases[] = {
        {"%d", "42", {42}},
        {"%5d|", "   42|", {42}},
        {"%-5d|", "42   |", {42}},
        {"%5.5d", "00042", {42}},
        {"%.3d", "-007", {-7}},
        {"%d", "-2147483648", {INT32_MIN}},
        {"%u", "4294967295", {-1}},
        {"%x", "FF", {255}},
        {"%.4x", "00FF", {255}},
        {"%x", "FFFFFFFF", {-1}},
        {"%s and %s", "a and b", {"a", "b"}},
        {"%.3s", "abc", {"abcdef"}},
        {"%8s|%-4s|", "     abc|ab  |", {"abc", "ab"}},
        {"%1:s %0:s %s", "b a b", {"a", "b"}},
        {"%*d", "   7", {4, 7}},
        {"%f", "3.14", {3.14159}},
        {"%.4f", "3.1416", {3.14159}},
        {"%.0f", "2", {2.4}},
        {"%e", "1.23450000000000E+003", {1234.5}},
        {"%.3e", "-1.23E-004", {-0.000123}},
        {"%g", "1.5", {1.5}},
        {"%g", "1E20", {1e20}},
        {"%g", "0.0001", {0.0001}},
        {"%g", "1E-7", {1e-7}},
        {"%n", "1,234,567.89", {1234567.891}},
        {"%m", "$1,234.50", {1234.5}},
        {"%m", "($2.00)", {-2.0}},
        {"100%%", "100%", {}},
        {"QVSERVER started %s", "QVSERVER started now", {"now"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.expected) << c.fmt;
}

TEST(Format, BadItemsRaise) {
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s", {5}), EConvertError);
    EXPECT_THROW(Format("%d %d", {5}), EConvertError);
    EXPECT_THROW(Format("%", {}), EConvertError);
    EXPECT_THROW(Format("%q", {1}), EConvertError);
    EXPECT_THROW(Format("%f", {1}), EConvertError);
}

TEST(Format, IntegerConversions) {
    struct Case { const char* text; bool ok; std::int32_t value; } cases[] = {
        {"0", true, 0}, {" 12 ", true, 12}, {"-12", true, -12}, {"+7", true, 7},
        {"$FF", true, 255}, {"0x10", true, 16}, {"$FFFFFFFF", true, -1},
        {"2147483647", true, INT32_MAX}, {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0}, {"", false, 0}, {"12a", false, 0}, {"-", false, 0}, {"$", false, 0},
    };
    for (auto c : cases) {
        std::int32_t v = 99;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    EXPECT_THROW(StrToInt("x"), EConvertError);
    EXPECT_EQ(StrToIntDef("x", 5), 5);
    EXPECT_EQ(IntToHex(0xAB, 4), "00AB");
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_DOUBLE_EQ(StrToFloat(" 2.5 "), 2.5);
    EXPECT_THROW(StrToFloat("2,5"), EConvertError);
}
