// The data-aware controls on an offscreen form, over engine tables in a
// temporary folder and over the in-memory store, driven by keys and clicks
// as a user's input arrives.
#include "controls/db/db_controls.h"
#include "controls/db/db_grid.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tests/memory_store.h"
#include "tests/support/test_support.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/gui/tests/controls/highlight_check.h"

#include <filesystem>
#include <type_traits>

namespace {

using namespace db;
using guitest::ProcessEvents;

enum class Store { Engine, Memory };

class DbControlsTest : public guitest::GuiTest, public ::testing::WithParamInterface<Store> {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (GetParam() == Store::Engine) {
            // The engine's configuration goes to a data folder of the test's own.
            std::filesystem::create_directories(dir_.path() / "home");
            plat::SetDataHome((dir_.path() / "home").string());
            Session().SetDriver(std::make_shared<TEngineDriver>());
            folder_ = dir_.path().string() + "/";
        } else {
            Session().SetDriver(std::make_shared<dbtest::MemoryDriver>());
            folder_ = "/data";
        }
        table.DatabaseName = folder_;
        table.TableName = "pages";
        table.FieldDefs().Add("HelpId", ftInteger, 0, true);
        table.FieldDefs().Add("Title", ftString, 40);
        table.FieldDefs().Add("Popup", ftString, 1);  // yes/no flags are "Y" or "N"
        table.FieldDefs().Add("Kind", ftString, 1);
        table.IndexDefs().Add("", "HelpId", ixPrimary);
        table.CreateTable();
        table.Open();
        for (auto [id, title, kind] : {std::tuple{1, "Contents", "T"}, {2, "Setup", "P"}, {3, "Index", "T"}}) {
            table.Append();
            table.FieldByName("HelpId")->SetAsInteger(id);
            table.FieldByName("Title")->SetAsString(title);
            table.FieldByName("Popup")->SetAsString(id == 2 ? "Y" : "N");
            table.FieldByName("Kind")->SetAsString(kind);
            table.Post();
        }
        table.First();
        src.SetDataSet(&table);
        form->Show();
        ProcessEvents();
    }
    void TearDown() override {
        delete form;  // the controls unlink before the source goes
        form = nullptr;
        GuiTest::TearDown();
        src.SetDataSet(nullptr);
        table.Close();
        Session().SetDriver(nullptr);
        plat::SetDataHome("");
    }
    template <class T>
    T* Make(int top, const char* field) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(10, top, 200, 22);
        c->SetDataSource(&src);
        if constexpr (!std::is_same_v<T, TDBNavigator>) c->SetDataField(field);
        return c;
    }
    std::string Title() { return table.FieldByName("Title")->AsString(); }

    testsupport::TempDir dir_;
    gui::ScriptedDialogService boxes_;
    gui::ScopedDialogService scope_{boxes_};
    std::string folder_;
    TTable table{nullptr};
    TDataSource src{nullptr};
};

TEST_P(DbControlsTest, EditAndNavigatorFollowTheCurrentRecord) {
    auto* edit = Make<TDBEdit>(10, "Title");
    auto* nav = Make<TDBNavigator>(40, nullptr);
    nav->SetBounds(10, 40, 250, 25);
    EXPECT_EQ(edit->Text(), "Contents");
    EXPECT_FALSE(nav->Buttons(nbPrior)->Enabled());
    EXPECT_TRUE(nav->Buttons(nbNext)->Enabled());
    EXPECT_FALSE(nav->Buttons(nbPost)->Enabled());

    nav->BtnClick(nbNext);
    EXPECT_EQ(edit->Text(), "Setup");
    EXPECT_TRUE(nav->Buttons(nbPrior)->Enabled());
    guitest::Click(nav->Buttons(nbLast), {5, 5});  // a real click on the button
    EXPECT_EQ(edit->Text(), "Index");
    EXPECT_FALSE(nav->Buttons(nbNext)->Enabled());

    // Typing starts editing; the navigator offers post and cancel.
    edit->SetFocus();
    ProcessEvents();
    edit->SelectAll();
    guitest::TypeText(edit, "Keywords");
    EXPECT_EQ(table.State(), dsEdit);
    EXPECT_TRUE(nav->Buttons(nbPost)->Enabled());
    EXPECT_FALSE(nav->Buttons(nbFirst)->Enabled());
    nav->BtnClick(nbPost);
    EXPECT_EQ(table.State(), dsBrowse);
    EXPECT_EQ(Title(), "Keywords");
    EXPECT_EQ(edit->Text(), "Keywords");

    // Cancel throws away what was typed.
    edit->SelectAll();
    guitest::TypeText(edit, "Nothing");
    nav->BtnClick(nbCancel);
    EXPECT_EQ(edit->Text(), "Keywords");
    EXPECT_EQ(Title(), "Keywords");

    // Insert empties the edit; posting a new row needs its key.
    nav->BtnClick(nbInsert);
    EXPECT_EQ(edit->Text(), "");
    table.FieldByName("HelpId")->SetAsInteger(9);
    edit->SelectAll();
    guitest::TypeText(edit, "New");
    nav->BtnClick(nbPost);
    EXPECT_EQ(table.RecordCount(), 4);
    EXPECT_EQ(edit->Text(), "New");
}

TEST_P(DbControlsTest, AFailedPostFromAButtonIsReportedAndLosesNothing) {
    gui::ScriptedDialogService dialogs;
    gui::SetDialogService(&dialogs);
    auto* edit = Make<TDBEdit>(10, "Title");
    auto* nav = Make<TDBNavigator>(40, nullptr);
    nav->SetBounds(10, 40, 250, 25);
    nav->BtnClick(nbInsert);
    table.FieldByName("HelpId")->SetAsInteger(2);  // taken
    edit->SetFocus();
    ProcessEvents();
    guitest::TypeText(edit, "Twin");
    guitest::Click(nav->Buttons(nbPost), {5, 5});
    gui::SetDialogService(nullptr);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_FALSE(dialogs.Last().text.empty());
    EXPECT_EQ(table.State(), dsInsert);
    EXPECT_EQ(edit->Text(), "Twin");
    EXPECT_TRUE(nav->Buttons(nbPost)->Enabled());
    table.FieldByName("HelpId")->SetAsInteger(4);
    guitest::Click(nav->Buttons(nbPost), {5, 5});
    EXPECT_EQ(table.State(), dsBrowse);
    EXPECT_EQ(Title(), "Twin");
}

TEST_P(DbControlsTest, NavigatorDeletesOnlyWhenConfirmed) {
    auto* nav = Make<TDBNavigator>(40, nullptr);
    gui::ScriptedDialogService dialogs;
    gui::SetDialogService(&dialogs);
    dialogs.Answer(gui::mrCancel);
    nav->BtnClick(nbDelete);
    gui::SetDialogService(nullptr);
    EXPECT_EQ(dialogs.Last().text, "Delete record?");
    EXPECT_EQ(table.RecordCount(), 3);
    nav->ConfirmDelete = false;
    nav->BtnClick(nbDelete);
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(Title(), "Setup");
    table.Close();
    EXPECT_FALSE(nav->Buttons(nbRefresh)->Enabled());
    EXPECT_FALSE(nav->Buttons(nbInsert)->Enabled());
}

TEST_P(DbControlsTest, EditRefusesCharactersTheFieldCannotHoldAndEscapeRestores) {
    auto* id = Make<TDBEdit>(10, "HelpId");
    id->SetFocus();
    ProcessEvents();
    id->SetSelStart(1);
    guitest::TypeText(id, "x4");
    EXPECT_EQ(id->Text(), "14");
    guitest::SendKey(id, 27);  // Escape
    EXPECT_EQ(id->Text(), "1");
    table.Cancel();
    EXPECT_EQ(table.FieldByName("HelpId")->AsInteger(), 1);
    // A read-only dataset lets nothing be typed.
    table.Close();
    table.ReadOnly = true;
    table.Open();
    guitest::TypeText(id, "7");
    EXPECT_EQ(id->Text(), "1");
    EXPECT_EQ(table.State(), dsBrowse);
}

TEST_P(DbControlsTest, TextCheckBoxAndCombosWriteTheirFields) {
    auto* text = Make<TDBText>(10, "Title");
    auto* popup = Make<TDBCheckBox>(40, "Popup");
    popup->ValueChecked = "Y";
    popup->ValueUnchecked = "N";
    table.Refresh();
    auto* kind = Make<TDBComboBox>(70, "Kind");
    kind->Items().Add("T");
    kind->Items().Add("P");
    EXPECT_EQ(text->Caption(), "Contents");
    EXPECT_FALSE(popup->Checked());
    EXPECT_EQ(kind->Text(), "T");
    table.Next();
    EXPECT_EQ(text->Caption(), "Setup");
    EXPECT_TRUE(popup->Checked());
    EXPECT_EQ(kind->ItemIndex(), 1);

    popup->Click();
    EXPECT_EQ(table.State(), dsEdit);
    EXPECT_EQ(table.FieldByName("Popup")->AsString(), "N");
    kind->SetItemIndex(0);
    table.Post();
    EXPECT_EQ(table.FieldByName("Kind")->AsString(), "T");
    EXPECT_EQ(table.FieldByName("Popup")->AsString(), "N");

    // The lookup combo lists one table and stores the chosen key in another's field.
    TTable kinds(nullptr);
    kinds.DatabaseName = folder_;
    kinds.TableName = "kinds";
    kinds.FieldDefs().Add("Code", ftString, 1);
    kinds.FieldDefs().Add("Name", ftString, 20);
    kinds.IndexDefs().Add("", "Code", ixPrimary);
    kinds.CreateTable();
    kinds.Open();
    for (auto [c, n] : {std::pair{"P", "Popup"}, {"T", "Topic"}}) {
        kinds.Append();
        kinds.FieldByName("Code")->SetAsString(c);
        kinds.FieldByName("Name")->SetAsString(n);
        kinds.Post();
    }
    TDataSource kindSrc(nullptr);
    kindSrc.SetDataSet(&kinds);
    auto* look = Make<TDBLookupComboBox>(100, "Kind");
    look->KeyField = "Code";
    look->ListField = "Name";
    look->SetListSource(&kindSrc);
    EXPECT_EQ(look->Items().Count(), 2);
    EXPECT_EQ(look->Text(), "Topic");
    look->SetItemIndex(0);
    EXPECT_EQ(table.State(), dsEdit);
    table.Post();
    EXPECT_EQ(table.FieldByName("Kind")->AsString(), "P");
    EXPECT_EQ(kind->Text(), "P");
    delete look;  // unlinks from both sources before they go
}

// Posting without a required field moves the focus to the field's control:
// the first that can take it (the label cannot; a hidden edit cannot).
TEST_P(DbControlsTest, MissingRequiredFieldFocusesItsControl) {
    auto* label = Make<TDBText>(10, "HelpId");
    auto* hidden = Make<TDBEdit>(40, "HelpId");
    hidden->SetVisible(false);
    auto* id = Make<TDBEdit>(70, "HelpId");
    auto* title = Make<TDBEdit>(100, "Title");
    (void)label;
    title->SetFocus();
    ProcessEvents();
    ASSERT_TRUE(title->Focused());
    // The engine's tables do not carry the required flag back: set it here.
    table.FieldByName("HelpId")->Required = true;
    table.Append();
    table.FieldByName("Title")->SetAsString("Glossary");
    EXPECT_THROW(table.Post(), EDatabaseError);
    ProcessEvents();
    EXPECT_TRUE(id->Focused());
    EXPECT_FALSE(title->Focused());
    EXPECT_FALSE(hidden->Focused());
    table.Cancel();
}

TEST_P(DbControlsTest, MemoShowsAndWritesItsField) {
    auto* memo = Make<TDBMemo>(10, "Title");
    EXPECT_EQ(memo->Text(), "Contents");
    memo->SetFocus();
    ProcessEvents();
    memo->SetSelStart(8);
    guitest::TypeText(memo, "!");
    EXPECT_EQ(table.State(), dsEdit);
    table.Post();
    EXPECT_EQ(Title(), "Contents!");
}

TEST_P(DbControlsTest, DataAwareEditsHighlightOnlyTheirSelection) {
    auto* edit = Make<TDBEdit>(10, "Title");
    auto* memo = Make<TDBMemo>(40, "Title");
    auto* other = Make<TDBEdit>(90, "HelpId");
    EXPECT_EQ(edit->Text(), "Contents");
    guitest::ExpectHighlightOnlyOnSelection(edit, other, "data-aware edit");
    guitest::ExpectHighlightOnlyOnSelection(memo, other, "data-aware memo");
}

TEST_P(DbControlsTest, GridShowsTheWindowAndMovesTheDataset) {
    for (int id = 4; id <= 6; ++id) {
        table.Append();
        table.FieldByName("HelpId")->SetAsInteger(id);
        table.FieldByName("Title")->SetAsString("Page " + std::to_string(id));
        table.Post();
    }
    table.First();
    auto* grid = new TCustomDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(10, 10, 400, grid->DefaultRowHeight() * 4 + 2);  // titles and three records
    grid->SetDataSource(&src);
    table.FieldByName("Popup")->Visible = false;
    grid->SetDataSource(nullptr);
    grid->SetDataSource(&src);
    ASSERT_EQ(grid->FieldCount(), 3);
    EXPECT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->CellText(1, 0), "HelpId");
    EXPECT_EQ(grid->CellText(2, 0), "Title");
    EXPECT_EQ(grid->CellText(2, 1), "Contents");
    EXPECT_EQ(grid->CellText(2, 3), "Index");
    EXPECT_EQ(grid->CellText(0, 1), ">");

    // The dataset moving past the window scrolls the grid.
    table.MoveBy(3);
    EXPECT_EQ(grid->Row(), 3);
    EXPECT_EQ(grid->CellText(2, 3), "Page 4");
    EXPECT_EQ(grid->CellText(2, 1), "Setup");
    // Choosing a row in the grid moves the dataset.
    grid->SetRow(1);
    EXPECT_EQ(Title(), "Setup");
    EXPECT_EQ(grid->Row(), 1);
    guitest::SendKey(grid, gui::VK_DOWN);
    EXPECT_EQ(Title(), "Index");

    // Editing a cell edits the record; the indicator shows it.
    grid->SetSelectedIndex(1);
    ASSERT_TRUE(grid->CanEditModify());
    grid->SetEditText(2, grid->Row(), "Keywords");
    EXPECT_EQ(table.State(), dsEdit);
    EXPECT_EQ(grid->CellText(0, grid->Row()), "I");
    table.Post();
    EXPECT_EQ(Title(), "Keywords");
    EXPECT_EQ(grid->CellText(2, grid->Row()), "Keywords");
}

INSTANTIATE_TEST_SUITE_P(Stores, DbControlsTest, ::testing::Values(Store::Engine, Store::Memory),
                         [](const ::testing::TestParamInfo<Store>& i) {
                             return i.param == Store::Engine ? std::string("Engine") : std::string("Memory");
                         });

}  // namespace
