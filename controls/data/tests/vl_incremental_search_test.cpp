#include "data/tests/engine_fixture.h"
#include "controls/data/vl_incremental_search.h"
#include "platform/core/clock.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

const char* const kWords[] = {"apple", "apricot", "banana", "blueberry", "cherry", "date", "elder"};

class IncrementalSearch : public vltest::EngineTables {
protected:
    void SetUp() override {
        gui::InitApplication();
        EngineTables::SetUp();
        MakeWords("Words.QVD", true);
        MakeWords("Loose.QVD", false);
        words = std::make_unique<TvlTable>(nullptr);
        words->SetName("wordTable");
        words->DatabaseName = Folder();
        words->SetTableName("Words.QVD");
        words->SetIndexName("ByWord");
        words->Open();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(words.get());
        form = std::make_unique<gui::TForm>(nullptr);
        form->SetClientSize(200, 60);
        edit = new TvlIncrementalSearch(form.get());
        edit->SetName("searchEdit");
        edit->SetParent(form.get());
        edit->SetBounds(4, 4, 150, 21);
        edit->SetDataSource(source.get());
        edit->OnAfterSearch = [this](TvlIncrementalSearch*, bool found) { results.push_back(found); };
        form->Show();
        edit->SetFocus();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        form.reset();
        source.reset();
        words.reset();
        EngineTables::TearDown();
    }
    void MakeWords(const char* name, bool indexed) {
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = name;
        t.FieldDefs().Add("Id", db::ftInteger, 0, true);
        t.FieldDefs().Add("Word", db::ftString, 20);
        if (indexed) {
            t.IndexDefs().Add("", "Id", db::ixPrimary);
            t.IndexDefs().Add("ByWord", "Word", db::ixCaseInsensitive);
        }
        t.CreateTable();
        t.Open();
        for (int i = 0; i < 7; ++i) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(i + 1);
            t.FieldByName("Word")->SetAsString(kWords[i]);
            t.Post();
        }
        t.Close();
    }
    // Lets `ms` pass on the fake clock and handles what became due.
    void Wait(unsigned ms) {
        clock.Advance(ms);
        guitest::ProcessEvents();
    }
    std::string Word() { return words->FieldByName("Word")->AsString(); }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (auto& r : dialogs.Requests()) out.push_back(r.text);
        return out;
    }

    plat::FakeClock clock{10000};
    plat::ScopedClock clockScope{clock};
    std::unique_ptr<TvlTable> words;
    std::unique_ptr<db::TDataSource> source;
    std::unique_ptr<gui::TForm> form;
    TvlIncrementalSearch* edit = nullptr;
    std::vector<bool> results;
};

TEST_F(IncrementalSearch, TwoQuickKeysGiveOneSearchAfterTheLast) {
    EXPECT_EQ(edit->Timer()->Interval(), kIncrementalSearchDelay);
    guitest::SendKey(edit, 'B');
    EXPECT_EQ(edit->Timer()->Interval(), 166u);  // a local table: half the delay
    Wait(100);
    guitest::SendKey(edit, 'L');
    EXPECT_EQ(edit->Text(), "bl");
    Wait(165);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(Word(), "apple");
    Wait(1);
    EXPECT_EQ(results, (std::vector<bool>{true}));
    EXPECT_EQ(Word(), "blueberry");
    Wait(1000);
    EXPECT_EQ(results.size(), 1u);  // the timer stopped itself
}

TEST_F(IncrementalSearch, KeysThatChangeNothingStartNoSearch) {
    guitest::SendKey(edit, 'C');
    Wait(166);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(Word(), "cherry");
    for (unsigned key : {gui::VK_LEFT, gui::VK_RIGHT, gui::VK_HOME, gui::VK_DOWN}) {
        guitest::SendKey(edit, key);
        EXPECT_FALSE(edit->Timer()->Enabled()) << key;
    }
    Wait(500);
    EXPECT_EQ(results.size(), 1u);
    // A letter key whose text is the last search's: no search either.
    edit->SetText("");
    guitest::SendKey(edit, 'C');
    EXPECT_FALSE(edit->Timer()->Enabled());
}

TEST_F(IncrementalSearch, ALetterOnAnIntegerIndexLeavesTheTable) {
    words->SetIndexName("");  // the primary index, on Id
    words->First();
    words->Next();
    guitest::SendKey(edit, 'X');
    Wait(166);
    EXPECT_EQ(results, (std::vector<bool>{false}));
    EXPECT_EQ(Word(), "apricot");
    guitest::SendKey(edit, gui::VK_BACK);
    guitest::SendKey(edit, '6');
    Wait(166);
    EXPECT_EQ(results, (std::vector<bool>{false, true}));
    EXPECT_EQ(Word(), "date");
}

TEST_F(IncrementalSearch, ShowMatchTextSelectsTheRest) {
    edit->ShowMatchText = true;
    guitest::SendKey(edit, 'A');
    guitest::SendKey(edit, 'P');
    guitest::SendKey(edit, 'R');
    Wait(166);
    EXPECT_EQ(results, (std::vector<bool>{true}));
    EXPECT_EQ(edit->Text(), "apricot");
    EXPECT_EQ(edit->SelStart(), 3);
    EXPECT_EQ(edit->SelLength(), 4);
    guitest::SendKey(edit, gui::VK_BACK);  // takes the selected rest away
    EXPECT_EQ(edit->Text(), "apr");
    EXPECT_FALSE(edit->Timer()->Enabled());
    Wait(500);
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(IncrementalSearch, ScansADatasetWithoutIndex) {
    TvlTable loose(nullptr);
    loose.DatabaseName = Folder();
    loose.SetTableName("Loose.QVD");
    loose.Open();
    source->SetDataSet(&loose);
    edit->SearchField = "Word";
    guitest::SendKey(edit, 'E');
    Wait(166);
    EXPECT_EQ(results, (std::vector<bool>{true}));
    EXPECT_EQ(loose.FieldByName("Word")->AsString(), "elder");
    source->SetDataSet(words.get());
}

TEST_F(IncrementalSearch, TheFourWarnings) {
    source->SetDataSet(nullptr);
    guitest::SendKey(edit, 'A');
    edit->SetDataSource(nullptr);
    guitest::SendKey(edit, 'B');
    Wait(500);
    EXPECT_TRUE(results.empty());

    db::TTable plain(nullptr);
    plain.DatabaseName = Folder();
    plain.TableName = "Words.QVD";
    plain.Open();
    EXPECT_FALSE(DataSetIncrementalSearch(&plain, "a", 0));
    TvlTable loose(nullptr);
    loose.SetName("looseTable");
    loose.DatabaseName = Folder();
    loose.SetTableName("Loose.QVD");
    loose.Open();
    EXPECT_FALSE(DataSetIncrementalSearch(&loose, "a", 0));
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Dataset not defined for DataSource",
                           "DataSource not defined - object searchEdit",
                           "Incremental Search - TTable component not supported. Use TvlTable instead.",
                           "Table looseTable: Table index not found",
                       }));
}

TEST_F(IncrementalSearch, NarrowSearchShowsOnlyTheMatches) {
    words->NarrowSearch = true;
    EXPECT_TRUE(DataSetIncrementalSearch(words.get(), "b", 0));
    std::vector<std::string> shown;
    for (words->First(); !words->Eof(); words->Next()) shown.push_back(Word());
    EXPECT_EQ(shown, (std::vector<std::string>{"banana", "blueberry"}));
    EXPECT_FALSE(words->ControlsDisabled());
    DataSetIncrementalSearch(words.get(), "", 0);
    EXPECT_EQ(words->RecordCount(), 7);
}

}  // namespace

#include "controls/data/vl_control_helpers.h"
#include "data/vl_lines.h"
#include "platform/gui/buttons.h"

namespace {

TEST_F(IncrementalSearch, ControlPropertiesByName) {
    EXPECT_EQ(GetDataSourceProp(edit), source.get());
    db::TDataSource other(nullptr);
    EXPECT_TRUE(SetDataSourceProp(edit, &other));
    EXPECT_EQ(edit->DataSource(), &other);
    EXPECT_TRUE(SetDataSourceProp(edit, source.get()));
    EXPECT_EQ(GetDataFieldProp(edit), "");  // it has none
    EXPECT_FALSE(SetDataFieldProp(edit, "Word"));

    auto* button = new gui::TButton(form.get());
    button->SetParent(form.get());
    EXPECT_EQ(GetDataSourceProp(button), nullptr);
    EXPECT_FALSE(SetDataSourceProp(button, source.get()));
    EXPECT_FALSE(SetDataSourceProp(source.get(), source.get()));  // not a control at all

    EXPECT_EQ(FindOwningForm(edit), form.get());
    EXPECT_EQ(FindOwningForm(form.get()), form.get());
    EXPECT_EQ(FindOwningForm(nullptr), nullptr);
}

}  // namespace
