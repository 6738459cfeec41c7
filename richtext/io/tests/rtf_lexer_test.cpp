// The one RTF lexer, and the text engine's reader on it: each case group is
// one token stream with one end, and the reader shows its text.
#include <gtest/gtest.h>

#include "richtext/io/rtf_lexer.h"
#include "richtext/io/tests/rtf_lexer_cases.h"
#include "richtext/io/tests/rtf_test_util.h"

namespace {

using richtext::NextRtfToken;
using richtext::RtfTokenKind;

TEST(RtfLexer, EveryCaseIsOneGroupAndTheReaderShowsItsText) {
    for (const auto& c : testcases::RtfLexCases()) {
        EXPECT_EQ(richtext::RtfGroupEnd(c.group, 0), c.group.size()) << c.name;
        // Inside a document, followed by more text.
        auto read = rtftest::ReadRtf("{\\rtf1\\ansi " + c.group + "after}");
        EXPECT_EQ(read.result, 0) << c.name;
        EXPECT_EQ(rtftest::Paragraphs(*read.model), std::vector<std::string>{c.text + "after"}) << c.name;
    }
}

TEST(RtfLexer, TokensOfEachKind) {
    struct Case {
        std::string rtf;
        RtfTokenKind kind;
        std::size_t end, nameEnd;
        std::string name;
        bool hasParam;
        std::int32_t param;
        int value;
    };
    const Case cases[] = {
        {"{x", RtfTokenKind::Open, 1, 1, "{", false, 0, -1},
        {"}", RtfTokenKind::Close, 1, 1, "}", false, 0, -1},
        {"\xE9", RtfTokenKind::Text, 1, 1, "\xE9", false, 0, -1},
        {"\\", RtfTokenKind::Text, 1, 1, "\\", false, 0, -1},
        {"\\par x", RtfTokenKind::Word, 5, 4, "par", false, 0, -1},
        {"\\fi-360\\li", RtfTokenKind::Word, 7, 7, "fi", true, -360, -1},
        {"\\trwWidth5 ", RtfTokenKind::Word, 11, 10, "trwWidth", true, 5, -1},
        {"\\li-x", RtfTokenKind::Word, 4, 4, "li", false, 0, -1},  // the dash is dropped
        {"\\fs99999999999", RtfTokenKind::Word, 14, 14, "fs", true, INT32_MAX, -1},
        {"\\fs-99999999999", RtfTokenKind::Word, 15, 15, "fs", true, INT32_MIN, -1},
        {"\\{", RtfTokenKind::Symbol, 2, 2, "{", false, 0, -1},
        {"\\*\\x", RtfTokenKind::Symbol, 2, 2, "*", false, 0, -1},
        {"\\Abc", RtfTokenKind::Symbol, 2, 2, "A", false, 0, -1},
        {"\\'7d", RtfTokenKind::Hex, 4, 4, "'", false, 0, 0x7D},
        {"\\'E9x", RtfTokenKind::Hex, 4, 4, "'", false, 0, 0xE9},
        {"\\'4g", RtfTokenKind::Hex, 3, 3, "'", false, 0, -1},
        {"\\'", RtfTokenKind::Hex, 2, 2, "'", false, 0, -1},
        {"\\bin3 }{}x", RtfTokenKind::Binary, 9, 5, "bin", true, 3, -1},
        {"\\bin9 }{", RtfTokenKind::Binary, 8, 5, "bin", true, 9, -1},  // cut short by the end
        {"\\bin0 }", RtfTokenKind::Word, 6, 5, "bin", true, 0, -1},
    };
    for (const Case& c : cases) {
        const richtext::RtfToken t = NextRtfToken(c.rtf, 0);
        EXPECT_EQ(t.kind, c.kind) << c.rtf;
        EXPECT_EQ(t.end, c.end) << c.rtf;
        EXPECT_EQ(t.nameEnd, c.nameEnd) << c.rtf;
        EXPECT_EQ(std::string(t.name), c.name) << c.rtf;
        EXPECT_EQ(t.hasParam, c.hasParam) << c.rtf;
        EXPECT_EQ(t.param, c.param) << c.rtf;
        EXPECT_EQ(t.value, c.value) << c.rtf;
    }
    const richtext::RtfToken bin = NextRtfToken("\\bin3 }{}x", 0);
    EXPECT_EQ(bin.dataPos, 6u);
    EXPECT_EQ(bin.dataLength, 3u);
    EXPECT_EQ(NextRtfToken("ab", 2).kind, RtfTokenKind::End);
    EXPECT_EQ(richtext::RtfGroupEnd("{a{b}", 0), std::string_view::npos);
}

}  // namespace
