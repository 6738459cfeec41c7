// The font-table rewriter on whole control words.
#include "editor/options/font_tables.h"
#include "richtext/io/tests/rtf_lexer_cases.h"

#include <gtest/gtest.h>

namespace {

using namespace editor;

const std::string kColours = "{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;}";

std::string Doc(const std::string& fonts, const std::string& body, const std::string& colours = kColours) {
    return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl" + fonts + "}" + colours + "\\paperw12240" + body + "\r\n}";
}

TEST(FontTables, ParsesEntriesOfAnyFamily) {
    RtfTables t;
    ASSERT_TRUE(ParseRtfTables(Doc("{\\f0\\fnil\\charset0 Arial;}{\\f1\\fswiss\\charset0 Times New Roman;}"
                                   "{\\f7\\fnil\\charset0 Caf\\'e9;}",
                                   "x"),
                               t));
    ASSERT_EQ(t.fonts.size(), 3u);
    EXPECT_EQ(t.fonts[1].name, "Times New Roman");
    EXPECT_EQ(t.fonts[2].number, 7);
    EXPECT_EQ(t.fonts[2].name, "Caf\xe9");
}

// The font rewriter reads a page with the text engine's lexer: inside each
// case group nothing is a font reference (binary data spelling "\f1"
// included), and the reference before it is rewritten.
TEST(FontTables, RemapReadsTheTextAsTheTextEngineDoes) {
    auto oneToTwo = [](int f) { return f == 1 ? 2 : -1; };
    for (const auto& c : testcases::RtfLexCases()) {
        EXPECT_EQ(RemapFontReferences("{\\f1 x}" + c.group + "\\f1 y", 0, oneToTwo),
                  "{\\f2 x}" + c.group + "\\f2 y")
            << c.name;
    }
    // A font entry whose family word follows a blank, and a name with \'hh.
    RtfTables t;
    ASSERT_TRUE(ParseRtfTables(Doc("{\\f0 \\fswiss Arial;}{\\f1\\fnil Caf\\'e9 \\'7b1\\'7d;}", "x"), t));
    ASSERT_EQ(t.fonts.size(), 2u);
    EXPECT_EQ(t.fonts[0].name, "Arial");
    EXPECT_EQ(t.fonts[1].name, "Caf\xe9 {1}");
}

TEST(FontTables, RemapsWholeControlWordsOnce) {
    // f1 -> 12 and f12 -> 1: a text rewrite would turn "\f12" into "\f122"
    // or rewrite the new "\f12" back again.
    auto map = [](int n) { return n == 1 ? 12 : n == 12 ? 1 : n == 2 ? 0 : -1; };
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"\\f1 a\\f12 b", "\\f12 a\\f1 b"},
        {"\\f1\\fs24 a", "\\f12\\fs24 a"},           // \fs is another word
        {"\\fi-360\\f2 x", "\\fi-360\\f0 x"},         // \fi with a number
        {"\\\\f1 \\{\\f1}", "\\\\f1 \\{\\f12}"},      // an escaped backslash is text
        {"\\f3 y", "\\f3 y"},                         // unknown to the map: kept
        {"\\bin3 \\f1\\f1", "\\bin3 \\f1\\f12"},     // binary data is not read
        {"\\f", "\\f"},
    };
    for (const auto& c : cases) EXPECT_EQ(RemapFontReferences(c.in, 0, map), c.out) << c.in;
}

TEST(FontTables, SynchronisesByName) {
    const std::string header = Doc("{\\f0\\fnil\\charset0 Arial;}{\\f1\\fnil\\charset0 Courier;}"
                                   "{\\f2\\fnil\\charset0 Times New Roman;}",
                                   "XX", "{\\colortbl\\red1\\green2\\blue3;}");
    // Page font 7 is the header's third font; font 3 is missing from the header.
    const std::string page = Doc("{\\f0\\fnil\\charset0 Courier;}{\\f3\\fnil\\charset0 Gone;}"
                                 "{\\f7\\fnil\\charset0 times new roman;}",
                                 "\\f7\\fs20 a\\f0 b\\f3 c\\f12 d");
    std::string out;
    ASSERT_TRUE(SynchroniseFieldFonts(page, header, out));
    RtfTables t;
    ASSERT_TRUE(ParseRtfTables(out, t));
    ASSERT_EQ(t.fonts.size(), 3u);
    EXPECT_EQ(t.fonts[2].name, "Times New Roman");
    EXPECT_NE(out.find("{\\colortbl\\red1\\green2\\blue3;}"), std::string::npos);
    EXPECT_NE(out.find("\\f2\\fs20 a\\f1 b\\f0 c\\f12 d"), std::string::npos) << out;
}

TEST(FontTables, UnreadableTextsStayByteIdentical) {
    const std::string header = Doc("{\\f0\\fnil\\charset0 Arial;}", "XX");
    const std::string cases[] = {
        "",
        "plain text without tables",
        "{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}}\\f0 no colour table}",
        Doc("{\\f0\\fnil\\charset0 Arial;}{\\f1{\\*\\panose 0}Odd;}", "\\f1 x"),
        Doc("{\\f0\\fnil\\charset0 Arial}", "\\f0 missing semicolon"),
    };
    for (const auto& page : cases) {
        std::string out = "changed";
        EXPECT_FALSE(SynchroniseFieldFonts(page, header, out)) << page;
        EXPECT_EQ(out, page);
    }
    // A header that cannot be read changes nothing either.
    const std::string page = Doc("{\\f0\\fnil\\charset0 Arial;}", "\\f0 x");
    std::string out;
    EXPECT_FALSE(SynchroniseFieldFonts(page, "{\\rtf1 nothing}", out));
    EXPECT_EQ(out, page);
}

}  // namespace
