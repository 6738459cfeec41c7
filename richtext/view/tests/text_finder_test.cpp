#include "richtext/view/text_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "richtext/view/rtf_text_io.h"

using namespace richtext;

namespace {

// Paragraphs separated by "|".
void SetText(TJDRTFTextIo& e, const std::string& text) {
    e.ClearText();
    TParagraph* p = e.FirstParagraph();
    for (char c : text) {
        if (c == '|') p = e.NewParagraph(p);
        else e.InsertChar(TJDRTFText::LastLine(p), c == '\n' ? 1010 : static_cast<unsigned char>(c), e.currentAttr);
    }
}

std::string Text(const TJDRTFText& m) {
    std::string s;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next) s += (p == m.FirstParagraph() ? "" : "|") + m.ParagraphText(p);
    return s;
}

struct FindCase {
    const char* name;
    std::string text;
    std::string pattern;
    char wildcard;
    std::uint8_t caseMode;
    bool wholeWords;
    int pos;  // -1: not found
    int len;
};

class Find : public ::testing::TestWithParam<FindCase> {};

TEST_P(Find, FirstMatch) {
    const FindCase& c = GetParam();
    TJDRTFTextIo e;
    SetText(e, c.text);
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    f.Wildcard = c.wildcard;
    f.CaseMode = c.caseMode;
    f.WholeWords = c.wholeWords;
    bool found = f.Next(c.pattern);
    EXPECT_EQ(found, c.pos >= 0) << c.name;
    EXPECT_EQ(f.FoundPosition(), c.pos < 0 ? 0 : c.pos) << c.name;
    EXPECT_EQ(f.FoundLength(), c.pos < 0 ? 0 : c.len) << c.name;
    if (found) {
        EXPECT_EQ(f.FoundText(), e.GetText(e.FirstParagraph(), c.pos, c.len)) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Find,
    ::testing::Values(
        FindCase{"two pieces", "xxabyycdzz", "ab*cd", '*', 0, false, 2, 6},
        FindCase{"second piece missing", "abyy", "ab*cd", '*', 0, false, -1, 0},
        FindCase{"second piece later", "ab|abxcd", "ab*cd", '*', 0, false, 3, 5},
        FindCase{"wildcard inside second piece", "a-b-zz", "a*b*z", '*', 0, false, 0, 5},
        FindCase{"no wildcard set", "a*b", "a*b", 0, 0, false, 0, 3},
        FindCase{"case ignored", "a word", "WORD", 0, 0, false, 2, 4},
        FindCase{"case kept", "a word", "WORD", 0, 1, false, -1, 0},
        FindCase{"case ignored for accents", "\xC9t\xE9", "\xE9T\xC9", 0, 0, false, 0, 3},
        FindCase{"never across paragraphs", "ab|c", "abc", 0, 0, false, -1, 0},
        FindCase{"across a line break", "a\nb", "a\nb", 0, 0, false, 0, 3},
        FindCase{"second paragraph", "x|yab", "ab", 0, 0, false, 3, 2},
        FindCase{"whole word inside word", "concat", "cat", 0, 0, true, -1, 0},
        FindCase{"whole word before period", "a cat.", "cat", 0, 0, true, 2, 3},
        FindCase{"whole word before digit", "cat9", "cat", 0, 0, true, 0, 3},
        FindCase{"whole word after a failed start", "cats cat", "cat", 0, 0, true, 5, 3},
        FindCase{"restart after mismatch", "aab", "ab", 0, 0, false, 1, 2},
        FindCase{"pattern cut to 255", std::string(255, 'a') + "b", std::string(255, 'a') + std::string(45, 'c'), 0, 0,
                 false, 0, 255}));

TEST(Finder, MatchSpansLinesOfOneParagraph) {
    TJDRTFTextIo e;
    SetText(e, "hel");
    TLine* second = e.NewLineAfter(e.FirstParagraph(), e.FirstParagraph()->lines);
    for (char c : std::string("lo world")) e.InsertChar(second, c, e.currentAttr);
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    ASSERT_TRUE(f.Next("hello"));
    EXPECT_EQ(f.FoundPosition(), 0);
    EXPECT_EQ(f.FoundText(), "hello");
    ASSERT_TRUE(f.ReplaceFound("bye"));
    EXPECT_EQ(Text(e), "bye world");
}

TEST(Finder, SuccessiveNextAndPrev) {
    TJDRTFTextIo e;
    SetText(e, "ab ab|ab");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    std::vector<int> forward;
    while (f.Next("ab")) forward.push_back(f.FoundPosition());
    EXPECT_EQ(forward, (std::vector<int>{0, 3, 6}));
    EXPECT_EQ(f.FoundPosition(), 0);
    EXPECT_EQ(f.FoundLength(), 0);

    f.FinderMoveTo(1000);
    std::vector<int> back;
    while (f.Prior("ab")) back.push_back(f.FoundPosition());
    EXPECT_EQ(back, (std::vector<int>{6, 3, 0}));
}

TEST(Finder, BackwardFromTheStartFindsNothing) {
    TJDRTFTextIo e;
    SetText(e, "ab");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    EXPECT_FALSE(f.Prev("ab"));
    EXPECT_EQ(f.FoundPosition(), 0);
    f.positioned = true;
    f.FinderToStart();
    EXPECT_FALSE(f.Prev("ab"));
    f.FinderMoveTo(-5);
    EXPECT_FALSE(f.Prev("ab"));
    EXPECT_FALSE(f.Next("ab"));
}

TEST(Finder, BackwardTwoPiecesAndWholeWords) {
    TJDRTFTextIo e;
    SetText(e, "ab1cd ab2cd|cat concat");
    TJDTextFinder f;
    f.SetText(&e);
    f.Wildcard = '*';
    f.FinderMoveTo(11);
    ASSERT_TRUE(f.Prev("ab*cd"));
    EXPECT_EQ(f.FoundPosition(), 6);
    EXPECT_EQ(f.FoundLength(), 5);
    ASSERT_TRUE(f.Prev("ab*cd"));
    EXPECT_EQ(f.FoundPosition(), 0);
    f.WholeWords = true;
    f.FinderMoveTo(e.TextLength());
    ASSERT_TRUE(f.Prev("cat"));
    EXPECT_EQ(f.FoundPosition(), 12);
    EXPECT_FALSE(f.Prev("cat"));
}

TEST(Finder, WordModeReturnsWords) {
    TJDRTFTextIo e;
    SetText(e, "don't dogs' x9y|  l\xE9t's");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    f.Wildcard = '*';
    f.WordSeparator = ' ';
    f.BlankSeparates = true;
    std::vector<std::string> words;
    while (f.Next("*")) words.push_back(f.FoundText());
    EXPECT_EQ(words, (std::vector<std::string>{"don't", "dogs", "x", "y", "l\xE9t's"}));
    f.FinderMoveTo(e.TextLength());
    std::vector<std::string> back;
    while (f.Prev("*")) back.push_back(f.FoundText());
    EXPECT_EQ(back, (std::vector<std::string>{"l\xE9t's", "y", "x", "dogs", "don't"}));
}

TEST(Finder, WordModeWithOnlyItsSeparator) {
    TJDRTFTextIo e;
    SetText(e, "a b;c, d");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    f.Wildcard = '*';
    f.WordSeparator = ';';
    std::vector<std::string> words;
    while (f.Next("*")) words.push_back(f.FoundText());
    EXPECT_EQ(words, (std::vector<std::string>{"a b", "c, d"}));
}

TEST(Finder, AttributeFilter) {
    TJDRTFTextIo e;
    e.ClearText();
    TLine* l = e.FirstParagraph()->lines;
    TJDCharAttr plain = e.currentAttr, bold = plain, link = plain;
    bold.style = kStyleBold;
    link.style = kStyleInsertPoint;
    link.tag = 7;
    for (char c : std::string("word ")) e.InsertChar(l, c, plain);
    for (char c : std::string("word ")) e.InsertChar(l, c, bold);
    for (char c : std::string("word")) e.InsertChar(l, c, link);
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    f.attrMask = kFindBold;
    ASSERT_TRUE(f.Next("word"));
    EXPECT_EQ(f.FoundPosition(), 5);
    TJDCharAttr a;
    f.FoundAttr(a);
    EXPECT_EQ(a.style, kStyleBold);
    EXPECT_FALSE(f.Next("word"));

    f.FinderToStart();
    f.attrMask = kFindInsertPoint;
    f.attrTag = 8;
    EXPECT_FALSE(f.Next("word"));
    f.FinderToStart();
    f.attrTag = 7;
    ASSERT_TRUE(f.Next("word"));
    EXPECT_EQ(f.FoundPosition(), 10);

    // Words end where the attribute test fails.
    f.FinderToStart();
    f.attrMask = kFindBold;
    f.attrTag = 0;
    f.Wildcard = '*';
    f.WordSeparator = ' ';
    f.BlankSeparates = true;
    ASSERT_TRUE(f.Next("*"));
    EXPECT_EQ(f.FoundPosition(), 5);
    EXPECT_EQ(f.FoundLength(), 4);
}

struct ReplaceCase {
    std::string text, pattern, replacement;
    int count;
    std::string result;
};

class ReplaceAll : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAll, ReplacesEveryMatchAndStops) {
    const ReplaceCase& c = GetParam();
    TJDRTFTextIo e;
    SetText(e, c.text);
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    f.Wildcard = '*';
    EXPECT_EQ(f.FinderReplaceAll(c.pattern, c.replacement), c.count);
    EXPECT_EQ(f.ReplaceCount(), c.count);
    EXPECT_EQ(Text(e), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceAll,
                         ::testing::Values(ReplaceCase{"aaa", "a", "aa", 3, "aaaaaa"},
                                           ReplaceCase{"banana", "a", "", 3, "bnn"},
                                           ReplaceCase{"aaaa", "aa", "", 2, ""},
                                           ReplaceCase{"x ab|ab ab", "ab", "cd", 3, "x cd|cd cd"},
                                           ReplaceCase{"<b>x</b> <b>y</b>", "<*>", "", 4, "x y"},
                                           ReplaceCase{"none", "q", "z", 0, "none"}));

TEST(Finder, ReplaceAllPollsEscape) {
    TJDRTFTextIo e;
    SetText(e, std::string(100, 'a'));
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    int polls = 0;
    f.escapeHeld = [&] { return ++polls == 2; };
    EXPECT_EQ(f.FinderReplaceAll("a", "b"), 60);
    EXPECT_EQ(polls, 2);
    f.FinderToStart();
    EXPECT_EQ(f.ReplaceCount(), 0);
}

TEST(Finder, ReplaceFoundThenNextContinuesAfterIt) {
    TJDRTFTextIo e;
    SetText(e, "cat cat");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderToStart();
    ASSERT_TRUE(f.Next("cat"));
    ASSERT_TRUE(f.ReplaceFound("a cat"));
    EXPECT_EQ(f.FoundLength(), 5);
    EXPECT_EQ(f.FoundText(), "a cat");
    ASSERT_TRUE(f.Next("cat"));
    EXPECT_EQ(f.FoundPosition(), 6);
    EXPECT_FALSE(f.Next("cat"));
    EXPECT_FALSE(f.ReplaceFound("x"));
    EXPECT_EQ(Text(e), "a cat cat");
}

TEST(Finder, EmptyPatternAndMissingText) {
    TJDTextFinder lonely;
    EXPECT_FALSE(lonely.Next("a"));
    EXPECT_FALSE(lonely.Prev("a"));
    EXPECT_EQ(lonely.FinderReplaceAll("a", "b"), 0);
    EXPECT_FALSE(lonely.ReplaceFound("b"));

    TJDRTFTextIo e;
    SetText(e, "abc");
    TJDTextFinder f;
    f.SetText(&e);
    f.FinderMoveTo(1);
    EXPECT_FALSE(f.Next(""));
    EXPECT_TRUE(f.Next("c"));
    EXPECT_EQ(f.FoundPosition(), 2);
    f.ResetAll();
    EXPECT_EQ(f.FoundPosition(), 0);
    EXPECT_TRUE(f.Next("a"));
}

TEST(Finder, SeparatorClasses) {
    TJDTextFinder f;
    for (int c : std::initializer_list<int>{'A', 'z', 0xC0, 0xFF, 0x8A, 0x8C, 0x9A, 0x9C, 0x9F}) EXPECT_FALSE(f.IsSeparator(c)) << c;
    for (int c : std::initializer_list<int>{'0', '9', ' ', '.', '\'', 0x80, 0xBF, 0x9B}) EXPECT_TRUE(f.IsSeparator(c)) << c;
}

}  // namespace
