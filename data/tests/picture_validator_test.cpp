#include "data/picture_validator.h"

#include <gtest/gtest.h>

#include <string>

using namespace vl;

namespace {

struct PicCase {
    const char* mask;
    const char* text;
    bool fill;
    TvlPicResult result;
    const char* after;  // the text after the match
};

const PicCase kCases[] = {
    // Digits and lengths.
    {"###", "12", false, pcIncomplete, "12"},
    {"###", "123", false, pcComplete, "123"},
    {"###", "1234", false, pcError, "1234"},
    {"###", "12a", false, pcError, "12a"},
    {"###", "", true, pcEmpty, ""},
    // Letters and case forcing.
    {"&&&", "abc", false, pcComplete, "ABC"},
    {"~~~", "AbC", false, pcComplete, "abc"},
    {"???", "aB\xC3\xA9", false, pcError, "aB\xC3\xA9"},  // four bytes for three places
    {"????", "aB\xC3\xA9", false, pcComplete, "aB\xC3\xA9"},
    {"?", "1", false, pcError, "1"},
    {"@@", "1a", false, pcComplete, "1a"},
    {"!!", "a1", false, pcComplete, "A1"},
    // Literals take the mask's character; auto-fill appends fixed literals.
    {"###-####", "555", true, pcIncomplete, "555-"},
    {"###-####", "555", false, pcIncomplete, "555"},
    {"###-####", "555-1234", false, pcComplete, "555-1234"},
    {"###-####", "5551234", false, pcError, "5551234"},
    {"ab#", "A", true, pcIncomplete, "ab"},
    {"(###) ###", "123", true, pcError, "123"},
    {"(###) ###", "(123", true, pcIncomplete, "(123)"},  // the blank stops the fill
    // Alternatives and groups.
    {"{Yes,No}", "yes", false, pcComplete, "Yes"},
    {"{Yes,No}", "NO", false, pcComplete, "No"},
    {"{Yes,No}", "Maybe", false, pcError, "Maybe"},
    {"{Yes,No}", "y", true, pcComplete, "Yes"},
    {"{Yes,No}", "n", true, pcComplete, "No"},
    {"Red,Green,Blue", "g", true, pcComplete, "Green"},
    {"{AB,A}", "a", false, pcAmbiguous, "A"},
    {"{AB,AC}", "a", true, pcComplete, "AB"},  // the first alternative that fits fills
    // Repetition.
    {"*#", "12345", false, pcAmbiguous, "12345"},
    {"*#", "1", false, pcAmbiguous, "1"},
    {"*#", "12a", false, pcError, "12a"},
    {"*3#", "12", false, pcIncomplete, "12"},
    {"*3#", "123", false, pcComplete, "123"},
    {"*3#", "1234", false, pcError, "1234"},
    {"*2{#-}", "1-2", true, pcComplete, "1-2-"},
    {"*2[#]", "1", false, pcComplete, "1"},
    {"&*?", "ab", false, pcAmbiguous, "Ab"},
    // Options, nested options.
    {"#[#]", "1", false, pcAmbiguous, "1"},
    {"#[#]", "12", false, pcComplete, "12"},
    {"#[#]", "1a", false, pcError, "1a"},
    {"#[#[#]]", "12", false, pcAmbiguous, "12"},
    {"#[#[#]]", "123", false, pcComplete, "123"},
    {"[#]A", "a", false, pcComplete, "A"},
    {"[{AB,CD}]#", "cd5", false, pcComplete, "CD5"},
    // Escapes: special characters as literals.
    {"#;*#", "1*2", false, pcComplete, "1*2"},
    {"#;*#", "1", true, pcIncomplete, "1*"},
    {";##", "#5", false, pcComplete, "#5"},
    {"#;;", "1;", false, pcSyntax, "1;"},
    // The blank in the text's last position stands for the literal due there.
    {"##-##", "12 ", false, pcIncomplete, "12-"},
    {"## ##", "12 ", false, pcIncomplete, "12 "},
    {"##-##", "1 ", false, pcError, "1 "},
    // Malformed masks.
    {"[#", "1", false, pcSyntax, "1"},
    {"#;", "1", false, pcSyntax, "1"},
    {"#*", "1", false, pcSyntax, "1"},
    {"#]", "1", false, pcSyntax, "1"},
    {"{#", "", false, pcSyntax, ""},
    {"", "1", false, pcSyntax, "1"},
    {"#*3", "12", false, pcSyntax, "12"},  // found when the count is read
    {"#;*", "1*", false, pcComplete, "1*"},
};

TEST(PictureValidator, CaseTable) {
    for (const PicCase& c : kCases) {
        TvlPictureValidator v(c.mask, c.fill);
        std::string text = c.text;
        EXPECT_EQ(int(v.MatchPictureMask(text, c.fill)), int(c.result)) << "mask " << c.mask << " text " << c.text;
        EXPECT_EQ(text, c.after) << "mask " << c.mask << " text " << c.text;
    }
}

TEST(PictureValidator, StatusAndPublicChecks) {
    struct {
        const char* mask;
        std::uint16_t status;
    } masks[] = {{"###", 0}, {"{Yes,No}", 0}, {"[#", 1}, {"#;", 1}, {"#*", 1}, {"#;*", 0}};
    for (auto& m : masks) EXPECT_EQ(TvlPictureValidator(m.mask, true).Status, m.status) << m.mask;

    TvlPictureValidator v("###-####", true);
    EXPECT_EQ(v.Options, TvlPictureValidator::voFill | TvlPictureValidator::voTransfer);
    std::string typed = "555";
    EXPECT_TRUE(v.IsValidInput(typed, false));
    EXPECT_EQ(typed, "555-");
    typed = "555";
    EXPECT_TRUE(v.IsValidInput(typed, true));
    EXPECT_EQ(typed, "555");
    typed = "55x";
    EXPECT_FALSE(v.IsValidInput(typed, false));
    EXPECT_TRUE(v.IsValid("555-1234"));
    EXPECT_TRUE(v.IsValid(""));
    EXPECT_FALSE(v.IsValid("555-12"));
    // A final value may stop where more could follow.
    EXPECT_TRUE(TvlPictureValidator("#[#]", false).IsValid("1"));
    EXPECT_TRUE(TvlPictureValidator("*#", false).IsValid("42"));
    EXPECT_FALSE(TvlPictureValidator("*#", false).IsValid("4a"));
    EXPECT_FALSE(TvlPictureValidator("*3#", false).IsValid("42"));
    EXPECT_TRUE(TvlPictureValidator("", false).IsValid("anything"));

    TvlPictureValidator noFill("###-####", false);
    typed = "555";
    EXPECT_TRUE(noFill.IsValidInput(typed, false));
    EXPECT_EQ(typed, "555");
}

TEST(PictureValidator, LongMasksAndTexts) {
    // 300 positions: beyond what a byte-sized position could count.
    std::string digits(300, '7');
    EXPECT_EQ(TvlPictureValidator(std::string(300, '#'), false).IsValid(digits), true);
    std::string text = digits;
    EXPECT_EQ(TvlPictureValidator(std::string(300, '#'), false).MatchPictureMask(text, false), pcComplete);
    text = digits.substr(0, 299);
    EXPECT_EQ(TvlPictureValidator(std::string(300, '#'), false).MatchPictureMask(text, false), pcIncomplete);
    text = digits + "7";
    EXPECT_EQ(TvlPictureValidator(std::string(300, '#'), false).MatchPictureMask(text, false), pcError);
    text = digits;
    EXPECT_EQ(TvlPictureValidator("*300#", false).MatchPictureMask(text, false), pcComplete);
    text = digits;
    EXPECT_EQ(TvlPictureValidator("*#", false).MatchPictureMask(text, false), pcAmbiguous);

    // A fill that runs past position 255.
    std::string mask = std::string(250, '#') + std::string(20, '-') + "#";
    text = std::string(250, '1');
    TvlPictureValidator fill(mask, true);
    EXPECT_EQ(fill.MatchPictureMask(text, true), pcIncomplete);
    EXPECT_EQ(text, std::string(250, '1') + std::string(20, '-'));
    text += "9";
    EXPECT_EQ(fill.MatchPictureMask(text, true), pcComplete);
    EXPECT_EQ(text.size(), 271u);
}

}  // namespace
