#include "richtext/spell/dictionary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>

#include "platform/core/paths.h"
#include "spell_test_util.h"

namespace {

namespace fs = std::filesystem;
using spell::TDCTFile;
using spell::TDictionary;
using spelltest::Entry;
using spelltest::Oem;
using spelltest::RawDct;
using spelltest::WriteDct;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

// A file whose list [b c d e f] takes entries 126-130, so that d (128) is the
// last entry of page 0 and e (129) the first of page 1; d's child list [x]
// lies at 131. Words: ab ac ad ae af adx.
std::vector<std::uint32_t> PageBoundaryEntries() {
    std::vector<std::uint32_t> e(131, 0);
    e[0] = Entry('a', true, false, 126);
    e[125] = Entry('b', false, true, 0);
    e[126] = Entry('c', false, true, 0);
    e[127] = Entry('d', false, true, 131);
    e[128] = Entry('e', false, true, 0);
    e[129] = Entry('f', true, true, 0);
    e[130] = Entry('x', true, true, 0);
    return e;
}

TEST(DCTFile, EntriesAroundThePageBoundary) {
    TempDir dir;
    WriteFileBytes(dir / "p.dct", RawDct(PageBoundaryEntries()));
    TDCTFile f((dir / "p.dct").string());
    EXPECT_EQ(f.EntryCount(), 131u);
    EXPECT_EQ(spell::EntryLetter(f.DictionaryEntry(128)), 'd');
    EXPECT_EQ(f.CurrentPage(), 0u);  // entry 128 is still page 0
    EXPECT_EQ(spell::EntryLetter(f.DictionaryEntry(129)), 'e');
    EXPECT_EQ(f.CurrentPage(), 1u);
    EXPECT_EQ(spell::EntryLetter(f.DictionaryEntry(127)), 'c');
    EXPECT_EQ(f.CurrentPage(), 0u);

    for (const char* w : {"ab", "ac", "ad", "ae", "af", "adx"}) EXPECT_TRUE(f.LookupWord(w)) << w;
    for (const char* w : {"a", "ag", "adxx", "aex", "b", ""}) EXPECT_FALSE(f.LookupWord(w)) << w;
}

TEST(DCTFile, EveryWordOfAManyPageDictionaryIsFound) {
    // Random words over a small alphabet give long sibling lists that
    // straddle many pages.
    std::mt19937 rng(7);
    std::set<std::string> words;
    while (words.size() < 3000) {
        std::string w;
        int len = 2 + static_cast<int>(rng() % 9);
        for (int i = 0; i < len; ++i) w += static_cast<char>('a' + rng() % 12);
        words.insert(w);
    }
    TempDir dir;
    WriteDct(dir / "r.dct", {words.begin(), words.end()});
    TDCTFile f((dir / "r.dct").string());
    ASSERT_GT(f.EntryCount(), 1000u);
    for (const std::string& w : words) ASSERT_TRUE(f.LookupWord(w)) << w;
    int misses = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        int len = 1 + static_cast<int>(rng() % 11);
        for (int k = 0; k < len; ++k) w += static_cast<char>('a' + rng() % 13);
        ASSERT_EQ(f.LookupWord(w), words.count(w) == 1) << w;
        misses += words.count(w) == 0;
    }
    EXPECT_GT(misses, 1000);
}

TEST(DCTFile, MissingFileNamesTheFile) {
    TempDir dir;
    std::string name = (dir / "none.dct").string();
    try {
        TDCTFile f(name);
        FAIL() << "opened a missing file";
    } catch (const spell::TEDictionaryCorrupt&) {
        FAIL() << "a missing file is not corrupt";
    } catch (const spell::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Dictionary not found : " + name);
    }
}

TEST(DCTFile, FoundWithoutRegardToCase) {
    TempDir dir;
    fs::create_directory(dir / "Dict");
    WriteDct(dir / "Dict" / "british.dct", {"colour"});
    TDCTFile f((dir / "dict" / "BRITISH.DCT").string());
    EXPECT_TRUE(f.LookupWord("colour"));
}

struct CorruptCase {
    const char* name;
    std::string bytes;
    const char* word;  // looked up when the file opens
};

std::vector<CorruptCase> CorruptCases() {
    std::string good = spell::BuildDctImage({"at", "it", "be"});
    std::string badSignature = good;
    badSignature[5] ^= 0x20;
    std::string boundary = RawDct(PageBoundaryEntries());
    return {
        {"signature", badSignature, nullptr},
        {"shorter than the header", good.substr(0, 40), nullptr},
        {"no entries", good.substr(0, spell::kDctHeaderSize + 3), nullptr},
        // a's child list lies past the end of the file
        {"child past the end", RawDct({Entry('a', true, false, 9)}), "ab"},
        // a sibling list without its last-sibling bit runs off the file
        {"unterminated siblings", RawDct({Entry('a', false, true, 0), Entry('b', false, true, 0)}), "c"},
        // cut inside page 1: entry 131 (x) is gone, and the stale bytes of the
        // page buffer must not stand in for it
        {"truncated", boundary.substr(0, boundary.size() - 4), "adx"},
    };
}

TEST(DCTFile, CorruptFilesAreReportedNeverReadStale) {
    TempDir dir;
    for (const CorruptCase& c : CorruptCases()) {
        SCOPED_TRACE(c.name);
        fs::path p = dir / "c.dct";
        WriteFileBytes(p, c.bytes);
        if (!c.word) {
            EXPECT_THROW(TDCTFile f(p.string()), spell::TEDictionaryCorrupt);
            continue;
        }
        TDCTFile f(p.string());
        EXPECT_THROW(f.LookupWord(c.word), spell::TEDictionaryCorrupt);
    }
}

TEST(DCTFile, TruncatedFileStillAnswersForWhatItHolds) {
    TempDir dir;
    std::string boundary = RawDct(PageBoundaryEntries());
    WriteFileBytes(dir / "t.dct", boundary.substr(0, boundary.size() - 4));
    TDCTFile f((dir / "t.dct").string());
    EXPECT_TRUE(f.LookupWord("ae"));
    EXPECT_TRUE(f.LookupWord("af"));
    EXPECT_FALSE(f.LookupWord("ag"));
}

// --- TDictionary -------------------------------------------------------------

std::string gLastBox;
void RecordBox(const std::string& text) { gLastBox = text; }

TEST(Dictionary, OnlyOneObjectAtATime) {
    spell::SetDictionaryErrorBox(RecordBox);
    {
        TDictionary first;
        EXPECT_TRUE(spell::DictionaryExists());
        EXPECT_THROW(TDictionary second, spell::TEDictionaryInUse);
        EXPECT_EQ(gLastBox, "Programmer Error. Only one dictionary\robject can be initialized at once.");
    }
    EXPECT_FALSE(spell::DictionaryExists());
    TDictionary again;  // allowed once the first is gone
    spell::SetDictionaryErrorBox(nullptr);
}

class DictionaryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        WriteDct(dir_ / "Main.dct", {"dog", "cat", "house", "do", Oem("école")});
        WriteDct(dir_ / "second.dct", {"hund", "katze"});
    }
    TempDir dir_;
};

TEST_F(DictionaryFiles, AddingTheSameFileTwiceKeepsOne) {
    TDictionary d;
    EXPECT_FALSE(d.IsOpen);
    EXPECT_TRUE(d.AddDictionary((dir_ / "Main.dct").string()));
    EXPECT_TRUE(d.AddDictionary((dir_ / "MAIN.DCT").string()));
    EXPECT_TRUE(d.IsOpen);
    EXPECT_EQ(d.Files.Count, 1);
    EXPECT_THROW(d.AddDictionary((dir_ / "absent.dct").string()), spell::Exception);
    EXPECT_EQ(d.Files.Count, 1);
    d.CloseDictionaries();
    EXPECT_FALSE(d.IsOpen);
    EXPECT_EQ(d.Files.Count, 0);
}

TEST_F(DictionaryFiles, IsWordRules) {
    WriteFileBytes(dir_ / "user.txt", "blorp\r\nzzz\r\n");
    WriteFileBytes(dir_ / "EXCLUDE.TXT", "cat\nZZZ\n");
    TDictionary d;
    d.AddDictionary((dir_ / "Main.dct").string());
    d.AddDictionary((dir_ / "second.dct").string());
    d.OpenUserDictionary("user.txt");          // beside the first dictionary
    d.OpenExclusionList("exclude.txt");       // likewise, found without regard to case
    ASSERT_NE(d.ExclusionWords, nullptr);

    struct Case {
        std::string word;
        bool expected;
    } cases[] = {
        {"dog", true},  {"Dog", true},    {"DOG", true},     {"dog's", true},  {"DOG'S", true},
        {"'s", false},  {"do", true},     {"dogs", false},   {"ho", false},    {"hund", true},
        {"cat", false},                   // excluded although the main dictionary has it
        {"zzz", false},                   // exclusion is asked before the user list
        {"blorp", true}, {"Blorp's", true},
        {Oem("école"), true},
        {Oem("École"), true},             // capitals with accents fold as the builder folds them
        {"dog" + std::string(60, 'x'), false},
    };
    for (const Case& c : cases) EXPECT_EQ(d.IsWord(c.word), c.expected) << c.word;
}

// A word in capitals is known when the dictionary holds it in any case; the
// abbreviations listed beside a dictionary are never parts of a split.
TEST_F(DictionaryFiles, AbbreviationsAreWordsButNoPartsOfSplits) {
    WriteDct(dir_ / "Abbr.dct", {"dog", "cat", "house", "wi", "un", "it"});
    WriteFileBytes(dir_ / "Abbr.abb", "wi\r\nun\r\n");
    TDictionary d;
    d.AddDictionary((dir_ / "Abbr.dct").string());
    for (const char* w : {"WI", "wi", "UN", "IT", "DOG"}) EXPECT_TRUE(d.IsWord(w)) << w;
    struct Case {
        const char* word;
        const char* split;  // a split suggestion expected, or nullptr when none may come
    };
    const Case cases[] = {{"dogcat", "dog cat"}, {"doghouse", "dog house"}, {"dogwi", nullptr},
                          {"undog", nullptr},     {"itdog", "it dog"}};
    for (const Case& c : cases) {
        std::vector<std::string> s = d.Suggest(c.word, 10);
        bool anySplit = std::any_of(s.begin(), s.end(), [](const std::string& x) { return x.find(' ') != std::string::npos; });
        if (c.split) EXPECT_NE(std::find(s.begin(), s.end(), c.split), s.end()) << c.word;
        else EXPECT_FALSE(anySplit) << c.word;
    }
}

TEST_F(DictionaryFiles, ListsOpenedBeforeAnyDictionaryNeedNoFolderOfOne) {
    WriteFileBytes(dir_ / "ex.txt", "dog\n");
    WriteFileBytes(dir_ / "u.txt", "blorp\n");
    TDictionary d;
    d.OpenExclusionList("not-there.txt");
    EXPECT_EQ(d.ExclusionWords, nullptr);
    d.OpenExclusionList((dir_ / "ex.txt").string());
    ASSERT_NE(d.ExclusionWords, nullptr);
    d.OpenUserDictionary("unknown-user.txt");
    EXPECT_EQ(d.UserDictionaryFile, "unknown-user.txt");
    EXPECT_EQ(d.UserFileAge, 0);
    d.OpenUserDictionary((dir_ / "u.txt").string());
    EXPECT_TRUE(d.IsWord("blorp"));
    EXPECT_FALSE(d.IsWord("dog"));
}

TEST_F(DictionaryFiles, CustomDicComesFromTheWindowsDirectoryWhenThere) {
    plat::SetDataHome((dir_ / "home").string());
    {
        TDictionary d;
        d.AddDictionary((dir_ / "Main.dct").string());
        d.OpenUserDictionary("CUSTOM.DIC");  // no shared file yet: beside the dictionary
        EXPECT_EQ(d.UserDictionaryFile, (dir_ / "CUSTOM.DIC").string());

        fs::create_directories(dir_ / "home" / "windows" / "msapps" / "Proof");
        WriteFileBytes(dir_ / "home" / "windows" / "msapps" / "Proof" / "custom.dic", "shared\r\n");
        d.OpenUserDictionary("CUSTOM.DIC");
        EXPECT_TRUE(d.IsWord("shared"));
        EXPECT_NE(d.UserDictionaryFile.find("MSAPPS\\PROOF\\CUSTOM.DIC"), std::string::npos);
    }
    plat::SetDataHome("");
}

TEST_F(DictionaryFiles, AddedWordsAreSavedWhenTheDictionaryCloses) {
    {
        TDictionary d;
        d.AddDictionary((dir_ / "Main.dct").string());
        d.OpenUserDictionary("USERDCT.TXT");
        EXPECT_EQ(d.UserFileAge, 0);
        d.AddWord("Zebra");
        d.AddWord("dog");  // known already: not added
        d.AddWord("apple");
        EXPECT_TRUE(d.UserModified);
        EXPECT_TRUE(d.IsWord("zebra"));
    }
    EXPECT_EQ(ReadFileBytes(dir_ / "USERDCT.TXT"), "apple\r\nzebra\r\n");
}

TEST_F(DictionaryFiles, SavingMergesWhatAnotherWriterSavedMeanwhile) {
    fs::path user = dir_ / "USERDCT.DIC";
    WriteFileBytes(user, "alpha\r\ngamma\r\n");
    TDictionary d;
    d.AddDictionary((dir_ / "Main.dct").string());
    d.OpenUserDictionary("userdct.dic");
    EXPECT_NE(d.UserFileAge, 0);
    d.AddWord("beta");

    // Another program adds its own word and the file's date moves on.
    WriteFileBytes(user, "alpha\r\ndelta\r\ngamma\r\n");
    fs::last_write_time(user, fs::last_write_time(user) + std::chrono::seconds(5));

    d.SaveUserDictionary();
    EXPECT_FALSE(d.UserModified);
    EXPECT_EQ(ReadFileBytes(user), "alpha\r\nbeta\r\ndelta\r\ngamma\r\n");

    // Unchanged on disk since our save: a second save writes only our words.
    d.AddWord("epsilon");
    d.SaveUserDictionary();
    EXPECT_EQ(ReadFileBytes(user), "alpha\r\nbeta\r\ndelta\r\nepsilon\r\ngamma\r\n");
}

TEST_F(DictionaryFiles, SaveFailureIsRaisedNotSwallowed) {
    TDictionary d;
    d.OpenUserDictionary((dir_ / "no-such-folder" / "u.txt").string());
    d.AddWord("word");
    EXPECT_THROW(d.CloseDictionaries(), spell::Exception);
}

}  // namespace
