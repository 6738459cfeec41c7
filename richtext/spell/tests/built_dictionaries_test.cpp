// The seven dictionaries the build makes from the system's word lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/core/codepage.h"
#include "richtext/spell/suggest.h"
#include "spell_test_util.h"

namespace {

namespace fs = std::filesystem;
using spelltest::Oem;

std::string DictPath(const char* name) { return (fs::path(TAVRIN_DICT_DIR) / name).string(); }

struct Sample {
    const char* file;
    std::vector<const char*> known;    // UTF-8
    std::vector<const char*> unknown;  // UTF-8
};

TEST(BuiltDictionaries, EachLanguageKnowsItsWords) {
    const Sample samples[] = {
        {"English.dct", {"color", "house", "receive", "dog's"}, {"colour", "recieve"}},
        {"British.dct", {"colour", "house", "separate"}, {"seperate"}},
        {"French.dct", {"être", "maison", "école", "peut"}, {"maisson"}},
        {"Spanish.dct", {"niño", "casa", "corazón"}, {"cassa"}},
        {"German.dct", {"äpfel", "haus", "straße"}, {"hauss"}},
        {"Italian.dct", {"città", "casa", "perché"}, {"cassa x"}},
        {"Dutch.dct", {"huis", "één", "fiets"}, {"fietz"}},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.file);
        if (!fs::exists(DictPath(s.file))) {
            ADD_FAILURE() << "not built: " << DictPath(s.file);
            continue;
        }
        spell::TDictionary d;
        d.AddDictionary(DictPath(s.file));
        for (const char* w : s.known) EXPECT_TRUE(d.IsWord(Oem(w))) << w;
        for (const char* w : s.unknown) EXPECT_FALSE(d.IsWord(Oem(w))) << w;
    }
}

TEST(BuiltDictionaries, BritishSuggestsTheIntendedWordAmongTheFirstThree) {
    spell::TDictionary d;
    d.AddDictionary(DictPath("british.dct"));  // the name in any case
    struct Case {
        const char* misspelt;
        const char* intended;
    } cases[] = {{"recieve", "receive"}, {"seperate", "separate"}, {"definately", "definitely"},
                 {"Recieve", "Receive"}};
    for (const Case& c : cases) {
        auto s = d.Suggest(c.misspelt, 10);
        auto at = std::find(s.begin(), s.end(), c.intended);
        ASSERT_NE(at, s.end()) << c.misspelt;
        EXPECT_LT(at - s.begin(), 3) << c.misspelt;
    }
}

TEST(BuiltDictionaries, CommonSlipsGetTheIntendedWordFirst) {
    spell::TDictionary d;
    d.AddDictionary(DictPath("English.dct"));
    struct Case {
        const char* misspelt;
        const char* intended;
    } cases[] = {{"teh", "the"}, {"untill", "until"}, {"Teh", "The"}};
    for (const Case& c : cases) {
        auto s = d.Suggest(c.misspelt, 10);
        ASSERT_FALSE(s.empty()) << c.misspelt;
        EXPECT_EQ(s[0], c.intended) << c.misspelt;
        // No split with a half of one letter other than a and I.
        for (const std::string& x : s) {
            std::size_t blank = x.find(' ');
            if (blank == std::string::npos) continue;
            std::string head = x.substr(0, blank), tail = x.substr(blank + 1);
            EXPECT_TRUE(head.size() >= 2 || head == "a" || head == "I") << x;
            EXPECT_TRUE(tail.size() >= 2 || tail == "a" || tail == "I") << x;
        }
    }
    auto wich = d.Suggest("wich", 10);
    auto at = std::find(wich.begin(), wich.end(), "which");
    ASSERT_NE(at, wich.end());
    EXPECT_LT(at - wich.begin(), 3);
}

TEST(BuiltDictionaries, AccentedCapitalsAreKnown) {
    {
        spell::TDictionary german;  // one dictionary object at a time
        german.AddDictionary(DictPath("German.dct"));
        for (const char* w : {"Äpfel", "Übung", "Öl"}) EXPECT_TRUE(german.IsWord(Oem(w))) << w;
        auto s = german.Suggest(Oem("Ärgr"), 10);
        EXPECT_NE(std::find(s.begin(), s.end(), plat::Utf8ToAnsi("Ärger")), s.end());
    }
    spell::TDictionary french;
    french.AddDictionary(DictPath("French.dct"));
    EXPECT_TRUE(french.IsWord(Oem("École")));
}

}  // namespace
