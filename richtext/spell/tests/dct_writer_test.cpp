#include "richtext/spell/dct_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "richtext/spell/dictionary.h"
#include "spell_test_util.h"

namespace {

using spelltest::Oem;

// The file for the words "at", "it", "be", derived by hand:
//   header: byte 0 = 50 (length of the signature), bytes 1-50 the signature
//   "Tavrin spell checker dictionary, version 1." and seven zeros, bytes
//   51-82 zero.
//   The first letters a, b, i take entries 1-3 (i is the last sibling).
//   The children of a are the list [t, end of word, last] -> entry 4.
//   The children of b are [e, end of word, last] -> entry 5.
//   The children of i are again [t, end of word, last]: the same list as a's,
//   so i points at entry 4 too.
//   entry 1 = 'a'(0x61) << 24 | child 4                     = 0x61000004
//   entry 2 = 'b'(0x62) << 24 | child 5                     = 0x62000005
//   entry 3 = 'i'(0x69) << 24 | last 0x800000 | child 4     = 0x69800004
//   entry 4 = 't'(0x74) << 24 | last | end 0x400000         = 0x74C00000
//   entry 5 = 'e'(0x65) << 24 | last | end                  = 0x65C00000
//   each written low byte first.
TEST(DctWriter, ThreeWordListGivesTheHandDerivedBytes) {
    std::string expected;
    expected += '\x32';
    expected += "Tavrin spell checker dictionary, version 1.";
    expected.append(7, '\0');
    expected.append(32, '\0');
    const unsigned char entries[] = {0x04, 0x00, 0x00, 0x61, 0x05, 0x00, 0x00, 0x62, 0x04, 0x00,
                                     0x80, 0x69, 0x00, 0x00, 0xC0, 0x74, 0x00, 0x00, 0xC0, 0x65};
    expected.append(reinterpret_cast<const char*>(entries), sizeof entries);
    ASSERT_EQ(expected.size(), 103u);

    std::string image = spell::BuildDctImage({"it", "at", "be", "at"});  // order and duplicates do not matter
    EXPECT_EQ(image, expected);
}

TEST(DctWriter, RefusesWhatTheFormatCannotHold) {
    EXPECT_THROW(spell::BuildDctImage({}), std::runtime_error);
    EXPECT_THROW(spell::BuildDctImage({""}), std::runtime_error);
    EXPECT_THROW(spell::BuildDctImage({std::string(51, 'a')}), std::runtime_error);
}

struct FilterCase {
    const char* input;                   // UTF-8 lines
    std::vector<std::string> expected;   // OEM words, sorted
};

class WordFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(WordFilter, TurnsWordListLinesIntoDictionaryWords) {
    const FilterCase& c = GetParam();
    EXPECT_EQ(spell::WordsFromUtf8Lines(c.input), c.expected) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WordFilter,
    ::testing::Values(
        FilterCase{"Dog\ndog's\nDog's\n", {"dog"}},                     // possessives and case collapse
        FilterCase{"Ann's\n", {"ann"}},                                 // a possessive alone still gives its base
        FilterCase{"polish\r\nPolish\r\n", {"polish"}},                 // CR LF lines, duplicates
        FilterCase{"\xC3\x84pfel\n", {Oem("äpfel")}},                   // lower-cased, then OEM 0x84
        FilterCase{"peut-\xC3\xAAtre\n", {"peut", Oem("être")}},        // parts of a compound
        FilterCase{"\xC5\x81\xC3\xB3\x64\xC5\xBA\nok\n", {"ok"}},       // letters outside CP437: skipped
        FilterCase{"1996\n4th\n's\n", {"4th"}},                         // digits only and "'s" alone: skipped
        FilterCase{"aujourd'hui\n", {"aujourd'hui"}},                   // the apostrophe is a word character
        FilterCase{"t\nA\nI\nx\nme\n", {"a", "i", "me"}},               // single letters: only a and I
        FilterCase{"UN\nWI\nU.S.\nUn\nNASA's\n", {"nasa", "un", "wi"}},  // abbreviations are kept
        FilterCase{"Stra\xC3\x9F" "e\n", {Oem("straße")}}));            // sharp s is CP437 0xE1

// Abbreviations (words of the list only ever written in capitals) are words
// of the dictionary; they are also listed apart, for the splits to leave out.
TEST(DctWriter, AbbreviationsAreKeptAndListedApart) {
    struct Case {
        const char* input;
        std::vector<std::string> abbreviations;
    };
    const Case cases[] = {
        {"UN\nWI\nU.S.\nUn\nNASA's\n", {"nasa", "wi"}},  // "Un" is also written as a word
        {"IT\nit\n", {}},
        {"dog\nCat\n", {}},
        {"TV\nTV's\nOK\n", {"ok", "tv"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> abbreviations;
        spell::WordsFromUtf8Lines(c.input, nullptr, &abbreviations);
        EXPECT_EQ(abbreviations, c.abbreviations) << c.input;
    }
}

TEST(DctWriter, SkipsWordsLongerThanAWordVariable) {
    std::string text = std::string(51, 'x') + "\n" + std::string(50, 'y') + "\n";
    spell::DctWordFilterStats stats;
    auto words = spell::WordsFromUtf8Lines(text, &stats);
    EXPECT_EQ(words, std::vector<std::string>{std::string(50, 'y')});
    EXPECT_EQ(stats.skipped, 1u);
    EXPECT_EQ(stats.lines, 2u);
}

}  // namespace
