// The seven dictionaries the build makes from the system's word lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

}  // namespace
