#include "richtext/spell/suggest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/core/codepage.h"
#include "spell_test_util.h"

namespace {

namespace fs = std::filesystem;
using spell::TDictionary;
using spell::TSuggestion;
using spell::TSuggestList;
using spelltest::Entry;
using spelltest::Oem;
using spelltest::RawDct;
using spelltest::WriteDct;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

std::string Ansi(const char* utf8) { return plat::Utf8ToAnsi(utf8); }

TEST(SoundCode, Table) {
    struct Case {
        std::string word;  // OEM
        bool pad;
        std::string expected;  // ANSI
    } cases[] = {
        {"Robert", true, "R163"},
        {"rupert", true, "R163"},
        {"Pfister", true, "P123"},   // the second letter is always coded
        {"Tymczak", true, "T520"},   // dropped letters do not separate equal codes
        {"ashcraft", true, "A261"},  // H codes like S and collapses into it
        {"Lee", true, "L000"},
        {"Lee", false, "L"},
        {"a", false, "A"},
        {"", false, ""},
        {"Washington", false, "W252"},
        {Oem("école"), true, Ansi("é") + "240"},  // accented first letter kept in ANSI form
        {Oem("niño"), false, "N5"},               // ñ codes like N and collapses
        {Oem("façade"), false, "F23"},            // ç codes like C
        {"don't", false, "D53"},                  // the apostrophe is dropped like a vowel
    };
    for (const Case& c : cases) EXPECT_EQ(spell::SoundCode(c.word, c.pad), c.expected) << c.word;
}

TEST(Similarity, Table) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"receive", "receive", 100},
        {"abc", "xyz", 0},
        {"a", "a", 0},            // a one-character range is never matched
        {"a", "abc", 0},
        {"wikimedia", "wikimania", 77},  // runs "wikim" and "ia": 2 * 7 * 100 / 18
        {"ab", "ba", 50},
        {"seperate", "separate", 87},   // "sep" and "rate": the longer later run is found
        {"recieve", "receive", 85},     // "rec", "ve", then "i" inside "ie" / "ei"
        {"abxcd", "cdxab", 40},         // "ab" (earliest of the longest), then nothing to its right matches
        {"ab", "a", 0},
        {"abcdefghij", "abcdefghxy", 80},
        {"abcdefghij", "abcdefgxyz", 70},
        {"", "", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(spell::Similarity(c.a, c.b), c.expected) << c.a << " / " << c.b;
}

std::vector<std::pair<std::string, int>> Contents(const TSuggestList& l) {
    std::vector<std::pair<std::string, int>> r;
    for (spell::TLinkedListNode* n = l.First; n; n = n->Next) {
        auto* s = static_cast<TSuggestion*>(n);
        r.emplace_back(s->Word, s->Score);
    }
    return r;
}

TEST(SuggestList, RanksByScoreAndKeepsEarlierEqualsFirst) {
    // Candidates scoring 80, 90, 80, 70, 100 against "abcdefghij".
    TSuggestList l;
    l.MaxCount = 3;
    for (const char* c : {"abcdefghxy", "abcdefghiz", "abcdefghyx", "abcdefgxyz", "abcdefghij"})
        l.TryAdd("abcdefghij", c);
    EXPECT_EQ(Contents(l), (std::vector<std::pair<std::string, int>>{
                               {"abcdefghij", 100}, {"abcdefghiz", 90}, {"abcdefghxy", 80}}));
    EXPECT_EQ(l.Count, 3);

    TSuggestList roomy;
    roomy.MaxCount = 10;
    for (const char* c : {"abcdefghxy", "abcdefghiz", "abcdefghyx", "abcdefgxyz"}) roomy.TryAdd("abcdefghij", c);
    EXPECT_EQ(Contents(roomy), (std::vector<std::pair<std::string, int>>{
                                   {"abcdefghiz", 90}, {"abcdefghxy", 80}, {"abcdefghyx", 80}, {"abcdefgxyz", 70}}));
}

TEST(MatchCase, Table) {
    struct Case {
        std::string word, suggestion, expected;  // ANSI
    } cases[] = {
        {"Teh", "the", "The"},
        {"TEH", "the", "THE"},
        {"tEh", "the", "THE"},  // the second letter decides
        {"teh", "THE", "the"},
        {"T", "the", "THE"},    // one letter: the first decides
        {"", "the", "the"},
        {"X1", "abc", "ABC"},   // a digit counts as upper case
        {"ABC", Ansi("âme"), "AME"},        // â has the upper form A in the case table
        {"ABC", Ansi("ìmo"), "IMO"},
        {"ABC", Ansi("über"), Ansi("ÜBER")},
        {"Abc", Ansi("über"), Ansi("Über")},
    };
    for (const Case& c : cases) EXPECT_EQ(spell::MatchCase(c.word, c.suggestion), c.expected) << c.word;
}

class Suggestions : public ::testing::Test {
protected:
    std::string Dict(std::vector<std::string> words, const char* name = "s.dct") {
        return WriteDct(dir_ / name, std::move(words));
    }
    TempDir dir_;
};

TEST_F(Suggestions, SplitsComeFirstAndAreCapitalisedLikeTheWord) {
    TDictionary d;
    d.AddDictionary(Dict({"a", "lot", "allot", "alto", "alot's"}));
    auto s = d.Suggest("Alot", 5);
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[0], "A lot");
    EXPECT_NE(std::find(s.begin(), s.end(), "Allot"), s.end());
    EXPECT_LE(s.size(), 5u);
    EXPECT_EQ(d.Suggest("Alot", 1), std::vector<std::string>{"A lot"});
    EXPECT_TRUE(d.Suggest("alot", 0).empty());
}

TEST_F(Suggestions, AccentedFirstLetterGetsSuggestions) {
    TDictionary d;
    d.AddDictionary(Dict({Oem("école"), Oem("écolo"), Oem("étage"), "ecole"}));
    auto s = d.Suggest(Oem("écolle"), 5);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0], Ansi("école"));
    EXPECT_EQ(s[1], Ansi("écolo"));
    EXPECT_EQ(std::find(s.begin(), s.end(), "ecole"), s.end());  // other first letter
}

TEST_F(Suggestions, NoEntriesForTheFirstLetterGivesNoDictionarySuggestions) {
    TDictionary d;
    d.AddDictionary(Dict({"cat", "dog", "at", "x"}));
    EXPECT_TRUE(d.Suggest("zat", 5).empty());
    // Nor a split with a one-letter half.
    EXPECT_TRUE(d.Suggest("xat", 5).empty());
}

TEST_F(Suggestions, ShortWordsAcceptCandidatesFromTwoLetters) {
    TDictionary d;
    d.AddDictionary(Dict({"to", "too", "tot", "toot", "tooth", "t"}));
    // "tu": length 2, so lengths 2 to 4 qualify; "t" itself is never reached.
    auto s = d.Suggest("tu", 10);
    std::sort(s.begin(), s.end());
    // "tot" and "toot" code as T3, not T000: the sound filter drops them.
    EXPECT_EQ(s, (std::vector<std::string>{"to", "too"}));
}

TEST_F(Suggestions, LargeCountsAreClampedNotWrappedToAByte) {
    TDictionary d;
    d.AddDictionary(Dict({"cat", "cot", "cut"}));
    EXPECT_EQ(d.Suggest("cet", 256).size(), 3u);  // 256 as a byte would be 0
    EXPECT_EQ(d.Suggest("cet", 2).size(), 2u);
}

TEST_F(Suggestions, CompleteWordListsWordsBelowThePrefix) {
    TDictionary d;
    d.AddDictionary(Dict({"car", "card", "care", "cart", "cat", "dog"}));
    EXPECT_EQ(d.CompleteWord("car", 10), (std::vector<std::string>{"card", "care", "cart"}));
    EXPECT_EQ(d.CompleteWord("Ca", 2), (std::vector<std::string>{"Car", "Card"}));
    EXPECT_EQ(d.CompleteWord("CA", 10).size(), 5u);
    EXPECT_EQ(d.CompleteWord("CA", 10)[4], "CAT");
    EXPECT_TRUE(d.CompleteWord("cx", 10).empty());
    EXPECT_TRUE(d.CompleteWord("dog", 10).empty());  // nothing below it
}

TEST_F(Suggestions, CyclesInACorruptFileEndInsteadOfWalkingForever) {
    // Seven vowels whose children are the same list: a path of any length.
    auto cycle = [](bool endOfWord) {
        std::vector<std::uint32_t> e;
        const char vowels[] = "aeiouwy";
        for (int i = 0; i < 7; ++i) e.push_back(Entry(static_cast<unsigned char>(vowels[i]), i == 6, endOfWord, 1));
        return RawDct(e);
    };
    WriteFileBytes(dir_ / "words.dct", cycle(true));
    WriteFileBytes(dir_ / "nowords.dct", cycle(false));
    {
        TDictionary d;
        d.AddDictionary((dir_ / "words.dct").string());
        EXPECT_TRUE(d.IsWord(std::string(50, 'e')));  // a look-up is bounded by the word itself
        EXPECT_THROW(d.Suggest(std::string(49, 'a') + "b", 10), spell::TEDictionaryCorrupt);
    }
    {
        TDictionary d;
        d.AddDictionary((dir_ / "nowords.dct").string());
        EXPECT_THROW(d.CompleteWord("a", 100), spell::TEDictionaryCorrupt);
    }
}

// The brute-force reference: every dictionary word passing the walk's
// filters (same first letter, length 2..len+2 and at least len-2, sound code
// agreeing with the word's padded code), scored, stably sorted by score and
// then by edit distance.
std::vector<std::string> Reference(const std::vector<std::string>& dictionary, const std::string& word,
                                   std::size_t maxCount) {
    std::string code = spell::SoundCode(word, true);
    int len = static_cast<int>(word.size());
    struct Scored {
        int score, distance;
        std::string word;
    };
    std::vector<Scored> scored;
    for (const std::string& w : dictionary) {  // in stored (byte) order
        int l = static_cast<int>(w.size());
        if (w[0] != word[0] || l < 2 || l < len - 2 || l > len + 2) continue;
        std::string c = spell::SoundCode(w, false);
        if (code.compare(0, c.size(), c) != 0) continue;
        scored.push_back({spell::Similarity(word, w), spell::EditDistance(word, w), w});
    }
    std::stable_sort(scored.begin(), scored.end(), [](auto& a, auto& b) {
        return a.score != b.score ? a.score > b.score : a.distance < b.distance;
    });
    std::vector<std::string> r;
    for (std::size_t i = 0; i < scored.size() && i < maxCount; ++i) r.push_back(scored[i].word);
    return r;
}

TEST_F(Suggestions, WalkEqualsBruteForceReference) {
    std::ifstream in("/usr/share/dict/british-english", std::ios::binary);
    if (!in) GTEST_SKIP() << "no word list";
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> words = spell::WordsFromUtf8Lines(text.str());
    ASSERT_GT(words.size(), 50000u);
    std::string path = Dict(words, "big.dct");
    spell::TDCTFile file(path);

    const char* misspelt[] = {"recieve", "seperate", "definately", "occured", "tommorow", "wierd",
                              "accomodate", "untill", "begining", "beleive", "xylofone", "qwzx",
                              "a", "ab", "zzzzzzzzzzzzzzzzzzzz", "pronounciation", "arguement"};
    for (const char* w : misspelt) {
        for (std::uint8_t max : {std::uint8_t(1), std::uint8_t(5), std::uint8_t(25)}) {
            TSuggestList list;
            list.BuildSuggestions(&file, max, w);
            std::vector<std::string> got;
            for (auto* n = list.First; n; n = n->Next) got.push_back(static_cast<TSuggestion*>(n)->Word);
            EXPECT_EQ(got, Reference(words, w, max)) << w << " max " << int(max);
        }
    }
}

TEST(EditDistance, SwappingNeighboursCostsLessThanReplacing) {
    struct Case {
        const char* a;
        const char* b;
        int distance;
    } cases[] = {{"teh", "the", 1}, {"teh", "ten", 2}, {"teh", "tech", 2}, {"wich", "which", 2},
                 {"", "abc", 6}, {"abc", "abc", 0}, {"ab", "ba", 1}, {"abcd", "badc", 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(spell::EditDistance(c.a, c.b), c.distance) << c.a << " " << c.b;
        EXPECT_EQ(spell::EditDistance(c.b, c.a), c.distance) << c.b << " " << c.a;
    }
}

TEST(SuggestList, EqualScoresGoByEditDistance) {
    // "ten" and "the" both score 67 against "teh"; the swap is nearer.
    TSuggestList l;
    l.MaxCount = 5;
    for (const char* c : {"ten", "tea", "the"}) l.TryAdd("teh", c);
    ASSERT_EQ(l.Count, 3);
    EXPECT_EQ(static_cast<TSuggestion*>(l.First)->Word, "the");
}

TEST_F(Suggestions, SplitsOnlyIntoWordsOfTwoLettersOrAOrI) {
    TDictionary d;
    d.AddDictionary(Dict({"t", "eh", "the", "a", "lot", "w", "ich", "which", "in", "to", "into"}));
    auto teh = d.Suggest("teh", 5);
    ASSERT_FALSE(teh.empty());
    EXPECT_EQ(teh[0], "the");
    for (const auto& s : teh) EXPECT_EQ(s.find(' '), std::string::npos) << s;
    EXPECT_EQ(d.Suggest("alot", 5)[0], "a lot");
    EXPECT_EQ(d.Suggest("intto", 5).size() > 0, true);
    EXPECT_EQ(d.Suggest("wich", 5)[0], "which");
}

TEST_F(Suggestions, AccentedCapitalsAreKnownAndGetSuggestions) {
    TDictionary d;
    d.AddDictionary(Dict({Oem("äpfel"), Oem("übung"), Oem("öl"), Oem("école"), Oem("ärger"), Oem("ñandú")}));
    for (const char* w : {"Äpfel", "Übung", "Öl", "École", "ÄPFEL", "Ñandú"}) EXPECT_TRUE(d.IsWord(Oem(w))) << w;
    auto s = d.Suggest(Oem("Ärgr"), 5);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s[0], Ansi("Ärger"));
}

}  // namespace
