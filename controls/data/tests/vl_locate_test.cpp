#include "controls/data/tests/engine_fixture.h"
#include "controls/data/vl_locate.h"
#include "platform/core/datetime.h"
#include "data/fields.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

const char* const kNames[] = {"Alpha", "beta", "Gamma", "delta", "Epsilon", "zeta", "Eta", "theta", "Iota", ""};

class LocateTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = "Loc.QVD";
        t.FieldDefs().Add("Num", db::ftInteger, 0, true);
        t.FieldDefs().Add("Name", db::ftString, 20);
        t.FieldDefs().Add("Price", db::ftFloat);
        t.FieldDefs().Add("Active", db::ftBoolean);
        t.FieldDefs().Add("Day", db::ftDate);
        t.FieldDefs().Add("Notes", db::ftMemo);
        t.FieldDefs().Add("Cost", db::ftBCD, 2);
        t.FieldDefs().Add("Oem", db::ftString, 10);
        t.IndexDefs().Add("", "Num", db::ixPrimary);
        t.IndexDefs().Add("ByName", "Name", db::ixCaseInsensitive);
        t.CreateTable();
        t.Open();
        for (int i = 1; i <= 10; ++i) {
            t.Append();
            t.FieldByName("Num")->SetAsInteger(i);
            t.FieldByName("Name")->SetAsString(kNames[i - 1]);
            t.FieldByName("Price")->SetAsFloat(i * 1.5);
            t.FieldByName("Active")->SetAsBoolean(i % 2 == 0);
            t.FieldByName("Day")->SetAsDateTime(plat::EncodeDate(2026, 1, i));
            t.FieldByName("Notes")->SetAsString(std::string("note ") + kNames[i - 1] + (i == 7 ? " special" : ""));
            t.FieldByName("Cost")->SetAsFloat(i * 0.25);
            // Row 5 holds "\xe9t\xe9" (a word with two e-acute) in the OEM character set.
            t.FieldByName("Oem")->SetAsString(i == 5 ? "\x82t\x82" : "plain");
            t.Post();
        }
        t.Close();

        table = std::make_unique<vl::TvlTable>(nullptr);
        table->SetName("locTable");
        table->DatabaseName = Folder();
        table->SetTableName("Loc.QVD");
        AddField<db::TIntegerField>("Num", db::fkData);
        AddField<db::TStringField>("Name", db::fkData)->Size = 20;
        AddField<db::TFloatField>("Price", db::fkData);
        AddField<db::TBooleanField>("Active", db::fkData);
        AddField<db::TDateField>("Day", db::fkData);
        AddField<db::TMemoField>("Notes", db::fkData);
        AddField<db::TBCDField>("Cost", db::fkData)->Size = 2;
        AddField<db::TStringField>("Oem", db::fkData)->Size = 10;
        AddField<db::TStringField>("Twice", db::fkCalculated)->Size = 10;
        table->OnCalcFields = [](db::TDataSet* ds) {
            ds->FieldByName("Twice")->SetAsString(std::to_string(ds->FieldByName("Num")->AsInteger() * 2));
        };
        table->Open();
    }
    void TearDown() override {
        table.reset();
        EngineTables::TearDown();
    }
    template <class F> F* AddField(const char* name, db::TFieldKind kind) {
        auto f = std::make_unique<F>();
        f->FieldName = name;
        f->FieldKind = kind;
        F* raw = f.get();
        table->AddField(std::move(f));
        return raw;
    }
    void GoTo(int num) {
        table->First();
        while (!table->Eof() && table->FieldByName("Num")->AsInteger() != num) table->Next();
        ASSERT_EQ(table->FieldByName("Num")->AsInteger(), num);
    }
    int Current() { return static_cast<int>(table->FieldByName("Num")->AsInteger()); }

    std::unique_ptr<vl::TvlTable> table;
};

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

// ---- the locate dialog -----------------------------------------------------------

#include "controls/data/vl_locate_dialog.h"
#include "platform/win/message_queue.h"

namespace {

class LocateDialogTest : public LocateTest {
protected:
    void SetUp() override {
        gui::InitApplication();
        LocateTest::SetUp();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(table.get());
        locate = std::make_unique<TvlLocateDialog>(nullptr);
        locate->SetDataSource(source.get());
        driver = plat::AllocateHWnd([this](gui::TMessage& m) {
            if (m.Msg == gui::WM_USER + 7 && step && locate->Dialog()) step(*locate->Dialog());
        });
        // The user's part, played once the form shows.
        locate->OnInitDialog = [this](TvlLocateDlg*) {
            ++shown;
            plat::PostMessage(driver, gui::WM_USER + 7, 0, 0);
        };
    }
    void TearDown() override {
        plat::DeallocateHWnd(driver);
        locate.reset();
        source.reset();
        LocateTest::TearDown();
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (auto& r : dialogs.Requests()) out.push_back(r.text);
        return out;
    }

    std::unique_ptr<db::TDataSource> source;
    std::unique_ptr<TvlLocateDialog> locate;
    plat::HWND driver = 0;
    std::function<void(TvlLocateDlg&)> step;
    int shown = 0;
};

TEST_F(LocateDialogTest, FirstFlowFindsAndReadsTheChoicesBack) {
    GoTo(5);
    locate->SearchField = "Name";
    locate->FieldValue = "old";
    step = [&](TvlLocateDlg& d) {
        EXPECT_EQ(d.SearchValue->Text(), "old");
        EXPECT_EQ(d.FieldNameComboBox->Items()[d.FieldNameComboBox->ItemIndex()], "Name");
        EXPECT_TRUE(d.PartialMatchStartBtn->Checked());
        EXPECT_EQ(d.Caption(), "Locate Field Value");
        EXPECT_EQ(d.FirstButton->Caption(), "Fi&rst");
        d.SearchValue->SetText("GAMMA");
        d.ExactMatchBtn->SetChecked(true);
        d.FirstButton->Click();
    };
    EXPECT_TRUE(locate->Execute());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(locate->FieldValue, "GAMMA");
    EXPECT_EQ(locate->MatchType, mtExactMatch);
    EXPECT_EQ(locate->SearchField, "Name");
    EXPECT_EQ(locate->Dialog(), nullptr);
    ASSERT_NE(gui::Screen, nullptr);
    gui::Screen->SetCursor(gui::crCross);
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Twice", "8", mtExactMatch, false));
    EXPECT_EQ(gui::Screen->Cursor(), gui::crCross);  // the hour-glass went again
    gui::Screen->SetCursor(gui::crDefault);
    // The stored choices now search without the form.
    GoTo(1);
    EXPECT_TRUE(locate->FindFirst());
    EXPECT_EQ(Current(), 3);
    EXPECT_FALSE(locate->FindNext());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No more matches found"}));
    EXPECT_EQ(shown, 1);
}

TEST_F(LocateDialogTest, AnEmptyValueOpensTheDialogWithTheRightDefault) {
    GoTo(5);
    bool nextWasDefault = false;
    step = [&](TvlLocateDlg& d) {
        nextWasDefault = d.NextButton->Default && !d.FirstButton->Default;
        d.FieldNameComboBox->SetItemIndex(d.FieldNameComboBox->Items().IndexOf("Name"));
        d.SearchValue->SetText("e");
        d.NextButton->Click();
    };
    EXPECT_TRUE(locate->FindNext());
    EXPECT_TRUE(nextWasDefault);
    EXPECT_EQ(Current(), 7);  // Eta after Epsilon
    EXPECT_EQ(locate->DefaultButton, dbFindNext);

    // FindFirst: First is the default; a miss tells so and the user cancels.
    locate->FieldValue.clear();
    bool firstWasDefault = false;
    step = [&](TvlLocateDlg& d) {
        firstWasDefault = d.FirstButton->Default;
        d.SearchValue->SetText("nothing like it");
        d.FirstButton->Click();
        d.CancelButton->Click();
    };
    EXPECT_FALSE(locate->FindFirst());
    EXPECT_TRUE(firstWasDefault);
    EXPECT_EQ(Current(), 7);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No matches found"}));
}

TEST_F(LocateDialogTest, TheFieldListSkipsBinaryAndOptionallyHiddenFields) {
    table->FieldByName("Price")->Visible = false;
    table->FieldByName("Day")->DisplayLabel = "Day~of~year";
    std::vector<std::string> listed;
    step = [&](TvlLocateDlg& d) {
        for (int i = 0; i < d.FieldNameComboBox->Items().Count(); ++i) listed.push_back(d.FieldNameComboBox->Items()[i]);
        d.FieldNameComboBox->SetItemIndex(d.FieldNameComboBox->Items().IndexOf("Day of year"));
        d.CancelButton->Click();
    };
    locate->SortFields = fsSortByFieldNo;
    locate->FieldSelection = fsVisibleFields;
    EXPECT_FALSE(locate->Execute());
    EXPECT_EQ(listed, (std::vector<std::string>{"Num", "Name", "Active", "Day of year", "Notes", "Cost", "Oem", "Twice"}));
    EXPECT_EQ(locate->SearchField, "Day");
}

TEST_F(LocateDialogTest, AClosedDatasetIsNoSuccess) {
    table->Close();
    EXPECT_FALSE(locate->Execute());
    EXPECT_FALSE(locate->FindFirst());
    locate->FieldValue = "x";
    EXPECT_FALSE(locate->FindNext());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"DataSource does not reference an active DataSet",
                                                 "DataSource does not refer to an active table!",
                                                 "DataSource does not refer to an active table!"}));
    EXPECT_EQ(shown, 0);
    locate->SetDataSource(nullptr);
    EXPECT_FALSE(locate->Execute());
}

}  // namespace
