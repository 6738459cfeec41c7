#include "data/tests/locate_fixture.h"
#include "data/vl_locate.h"
#include "platform/core/busy_cursor.h"
#include "platform/core/datetime.h"
#include "data/fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace vl;

namespace {

using vltest::LocateTest;

TEST_F(LocateTest, FindsByEveryKindOfField) {
    const std::string day6 = db::DateToText(plat::EncodeDate(2026, 1, 6));
    struct {
        const char* field;
        std::string value;
        TvlLocateMatchType type;
        bool cs, first;
        int start, row;  // row 0: not found, the table stays on start
    } cases[] = {
        {"Name", "gamma", mtExactMatch, false, true, 4, 3},
        {"Name", "gamma", mtExactMatch, true, true, 4, 0},
        {"Name", "Gamma", mtExactMatch, true, true, 4, 3},
        {"Name", "", mtExactMatch, false, true, 4, 10},
        {"Name", "", mtExactMatch, true, true, 4, 10},  // the blank field
        // The texts after "Epsilon" are shorter: none may show its tail.
        {"Name", "lon", mtPartialMatchAny, false, false, 5, 0},
        {"Name", "lon", mtPartialMatchAny, true, false, 5, 0},
        {"Name", "silo", mtPartialMatchAny, false, false, 1, 5},
        {"Name", "ta", mtPartialMatchAny, false, true, 4, 2},
        {"Name", "ta", mtPartialMatchAny, false, false, 2, 4},
        {"Name", "ta", mtPartialMatchAny, false, false, 8, 9},
        {"Name", "ta", mtPartialMatchAny, false, false, 9, 0},
        {"Name", "e", mtPartialMatchStart, false, true, 4, 5},
        {"Name", "e", mtPartialMatchStart, false, false, 5, 7},
        {"Name", "E", mtPartialMatchStart, true, false, 7, 0},
        {"Num", "7", mtExactMatch, false, true, 4, 7},
        {"Num", "11", mtExactMatch, false, true, 4, 0},
        {"Num", "1", mtPartialMatchStart, false, false, 1, 10},
        {"Price", "4.5", mtExactMatch, false, true, 4, 3},
        {"Price", "4.50", mtExactMatch, false, true, 4, 3},  // compared as numbers
        {"Price", "1", mtPartialMatchStart, false, false, 1, 7},
        {"Price", "1", mtPartialMatchStart, false, false, 10, 0},
        {"Price", "13", mtPartialMatchStart, false, false, 3, 9},
        {"Active", "true", mtExactMatch, false, true, 4, 2},
        {"Active", "true", mtExactMatch, true, true, 4, 0},
        {"Day", day6, mtExactMatch, false, true, 4, 6},
        {"Notes", "special", mtPartialMatchAny, false, true, 4, 7},
        {"Notes", "NOTE IOTA", mtExactMatch, false, true, 4, 9},
        {"Cost", "0.75", mtExactMatch, false, true, 4, 3},
        {"Cost", "0.750", mtExactMatch, false, true, 4, 3},  // compared as numbers
        {"Cost", "2.5", mtExactMatch, false, true, 4, 10},
        {"Cost", "1.2", mtPartialMatchStart, false, true, 9, 5},
        {"Cost", "1.3", mtExactMatch, false, true, 4, 0},
        {"Twice", "14", mtExactMatch, false, true, 4, 7},
        {"Twice", "1", mtPartialMatchStart, false, false, 7, 8},
        {"Twice", "1", mtPartialMatchStart, false, false, 10, 0},
        {"Twice", "1", mtPartialMatchStart, false, true, 9, 5},
    };
    // Hits at the start, middle and end of an engine read, and in a read
    // that did or did not meet the end of the table.
    const std::uint32_t saved = LocateBlockRecords();
    for (std::uint32_t block : {512u, 3u, 1u}) {
        LocateBlockRecords() = block;
        for (auto& c : cases) {
            GoTo(c.start);
            bool found = LocateFieldValue(c.first, table.get(), c.field, c.value, c.type, c.cs);
            SCOPED_TRACE(std::string(c.field) + " '" + c.value + "' from " + std::to_string(c.start) + ", block " +
                         std::to_string(block));
            EXPECT_EQ(found, c.row != 0);
            EXPECT_EQ(Current(), c.row != 0 ? c.row : c.start);
            EXPECT_FALSE(table->ControlsDisabled());
        }
    }
    LocateBlockRecords() = saved;
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(LocateTest, PackedDecimalsAndTransliteratedTextAreReadFromTheCursor) {
    GoTo(1);
    LocateCounters() = {};
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Cost", "1.25", mtExactMatch, false));
    EXPECT_EQ(Current(), 5);
    db::TField* oem = table->FieldByName("Oem");
    const std::string ansi = "\xe9t\xe9", stored = "\x82t\x82";
    oem->Transliterate = true;
    for (bool first : {true, false}) {
        GoTo(1);
        EXPECT_TRUE(LocateFieldValue(first, table.get(), "Oem", ansi, mtExactMatch, true));
        EXPECT_EQ(Current(), 5);
        GoTo(1);
        EXPECT_FALSE(LocateFieldValue(first, table.get(), "Oem", stored, mtExactMatch, true));
        EXPECT_EQ(Current(), 1);
    }
    // Upper-cased through the ANSI text: "\xc9T\xc9".
    GoTo(1);
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Oem", "\xc9t\xc9", mtPartialMatchAny, false));
    EXPECT_EQ(Current(), 5);
    oem->Transliterate = false;
    GoTo(1);
    EXPECT_FALSE(LocateFieldValue(true, table.get(), "Oem", ansi, mtExactMatch, true));
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Oem", stored, mtExactMatch, true));
    EXPECT_EQ(Current(), 5);
    EXPECT_EQ(LocateCounters().datasetScans, 0);
    EXPECT_EQ(LocateCounters().cursorScans, 8);
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(LocateTest, SuccessiveSearchesWalkEveryHitAcrossEngineReads) {
    const std::uint32_t saved = LocateBlockRecords();
    LocateBlockRecords() = 4;
    // "e" anywhere, case-insensitive: beta, delta, Epsilon, zeta, Eta, theta.
    std::vector<int> hits;
    GoTo(1);
    bool found = LocateFieldValue(true, table.get(), "Name", "E", mtPartialMatchAny, false);
    while (found) {
        hits.push_back(Current());
        found = LocateFieldValue(false, table.get(), "Name", "E", mtPartialMatchAny, false);
    }
    LocateBlockRecords() = saved;
    EXPECT_EQ(hits, (std::vector<int>{2, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Current(), 8);
}

TEST_F(LocateTest, ScansTheCursorForStoredFieldsAndTheDatasetForCalculatedOnes) {
    GoTo(1);
    LocateCounters() = {};
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Name", "iota", mtExactMatch, false));
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Twice", "4", mtExactMatch, false));
    EXPECT_EQ(LocateCounters().cursorScans, 1);
    EXPECT_EQ(LocateCounters().datasetScans, 1);
    EXPECT_EQ(LocateCounters().indexSearches, 0);
}

TEST_F(LocateTest, TheIndexAnswersWhereItFits) {
    table->SetIndexName("ByName");  // case-insensitive, on Name
    struct {
        const char* field;
        const char* value;
        TvlLocateMatchType type;
        bool cs, first;
        int start, row;
        int index, cursor;  // searches of each way
    } cases[] = {
        {"Name", "gam", mtPartialMatchStart, false, true, 1, 3, 1, 0},
        {"Name", "gam", mtPartialMatchStart, true, true, 1, 0, 0, 1},   // case differs from the index
        {"Name", "GAMMA", mtExactMatch, false, true, 1, 3, 1, 0},
        {"Name", "GAMMA", mtExactMatch, true, true, 1, 0, 0, 1},
        {"Name", "gamma", mtExactMatch, false, false, 3, 0, 0, 1},    // already there: look further
        {"Name", "e", mtPartialMatchStart, false, false, 5, 7, 0, 1},  // Epsilon, then Eta in name order
        {"Name", "e", mtPartialMatchStart, false, false, 7, 0, 0, 1},  // Gamma ends the sorted run
        {"Name", "xyz", mtPartialMatchStart, false, true, 5, 0, 1, 0}, // the nearest is no match
        {"Num", "4", mtExactMatch, false, true, 1, 4, 0, 1},           // not the index's field
    };
    for (auto& c : cases) {
        GoTo(c.start);
        LocateCounters() = {};
        SCOPED_TRACE(std::string(c.field) + " '" + c.value + "' from " + std::to_string(c.start));
        bool found = LocateFieldValue(c.first, table.get(), c.field, c.value, c.type, c.cs);
        EXPECT_EQ(found, c.row != 0);
        EXPECT_EQ(Current(), c.row != 0 ? c.row : c.start);
        EXPECT_EQ(LocateCounters().indexSearches, c.index);
        EXPECT_EQ(LocateCounters().cursorScans, c.cursor);
    }
}

TEST_F(LocateTest, LocateIfDifferentAndMessages) {
    GoTo(3);
    LocateCounters() = {};
    EXPECT_TRUE(LocateIfDifferent(table.get(), "GAMMA", "Name", mtExactMatch, false));
    EXPECT_EQ(LocateCounters().cursorScans + LocateCounters().indexSearches, 0);
    EXPECT_TRUE(LocateIfDifferent(table.get(), "Iota", "Name", mtExactMatch, true));
    EXPECT_EQ(Current(), 9);

    EXPECT_FALSE(LocateFieldValue(true, table.get(), "Colour", "x", mtExactMatch, false));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Field Colour not found.");
    EXPECT_EQ(Current(), 9);

    // A record in edit is posted before the search.
    table->Edit();
    table->FieldByName("Name")->SetAsString("Iota2");
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Name", "iota2", mtExactMatch, false));
    EXPECT_EQ(table->State(), db::dsBrowse);
    EXPECT_EQ(Current(), 9);
}

// The busy cursor is up for the whole scan, whichever road it takes, and
// goes back afterwards, on a hit and on a miss.
TEST_F(LocateTest, TheBusyCursorCoversTheScan) {
    int shown = 0, restored = 0;
    bool busy = false;
    const plat::BusyCursorHook before = plat::SetBusyCursorHook([&]() -> std::function<void()> {
        ++shown;
        busy = true;
        return [&] {
            ++restored;
            busy = false;
        };
    });
    std::vector<bool> busyInCalc;
    auto calc = table->OnCalcFields;
    table->OnCalcFields = [&](db::TDataSet* ds) {
        busyInCalc.push_back(busy);
        calc(ds);
    };
    struct {
        const char* field;
        const char* value;
        bool found;
    } cases[] = {{"Twice", "8", true}, {"Twice", "7", false}, {"Name", "Gamma", true}, {"Name", "none", false}};
    for (auto& c : cases) {
        shown = restored = 0;
        busyInCalc.clear();
        EXPECT_EQ(LocateFieldValue(true, table.get(), c.field, c.value, mtExactMatch, false), c.found) << c.field;
        EXPECT_EQ(shown, 1) << c.field << " " << c.value;
        EXPECT_EQ(restored, 1) << c.field << " " << c.value;
        EXPECT_FALSE(busy);
        if (std::string(c.field) == "Twice") {
            // A calculated field is read record by record through the dataset.
            EXPECT_NE(std::find(busyInCalc.begin(), busyInCalc.end(), true), busyInCalc.end());
        }
    }
    table->OnCalcFields = calc;
    plat::SetBusyCursorHook(before);
}

TEST(LocateMatch, TextComparisons) {
    struct {
        const char* field;
        const char* value;
        TvlLocateMatchType type;
        bool cs, match;
    } cases[] = {
        {"", "", mtExactMatch, false, true},        {"abc", "ABC", mtExactMatch, false, true},
        {"abc", "ABC", mtExactMatch, true, false},  {"abc", "AB", mtExactMatch, false, false},
        {"abc", "AB", mtPartialMatchStart, false, true}, {"ab", "ABC", mtPartialMatchStart, false, false},
        {"xabc", "BC", mtPartialMatchAny, false, true},  {"xabc", "bc", mtPartialMatchAny, true, true},
        {"xabc", "Bc", mtPartialMatchAny, true, false},  {"abc", "", mtPartialMatchAny, false, true},
        {"", "A", mtPartialMatchStart, false, false},     {"", "", mtPartialMatchStart, true, true},
        {"ab", "ABC", mtPartialMatchAny, false, false},   {"\xe9t\xe9", "\xc9T\xc9", mtExactMatch, false, true},
        {"\xe9t\xe9", "\xc9T\xc9", mtExactMatch, true, false},
    };
    for (auto& c : cases)
        EXPECT_EQ(MatchFieldText(c.field, c.value, c.type, c.cs), c.match) << c.field << " / " << c.value;
}

}  // namespace
