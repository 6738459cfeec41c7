// The published grid on a five-row page table with the page grid's lines: a
// combo edits CompileFor over its cell, Revised is a Y/N check box, TopicPopup
// has a one-letter "&" mask, Body is a memo and Notes rich text. Keys, clicks
// and double clicks are delivered offscreen as a user's would be.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_combo.h"
#include "controls/data/vl_db_edit.h"
#include "controls/data/vl_dbgrid.h"
#include "data/bag.h"
#include "data/tables.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "controls/richdb/db_rich_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace gui;
using namespace vl;

const char kRtfNotes[] = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Shown {\\b first} line\\par hidden second\\par}";

class PubGridTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        {
            db::TTable t(nullptr);
            t.DatabaseName = folder_;
            t.TableName = "Detail.QVD";
            t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
            t.FieldDefs().Add("Title", db::ftString, 40);
            t.FieldDefs().Add("TopicPopup", db::ftString, 1);
            t.FieldDefs().Add("CompileFor", db::ftString, 4);
            t.FieldDefs().Add("Revised", db::ftString, 1);
            t.FieldDefs().Add("Body", db::ftMemo);
            t.FieldDefs().Add("Notes", db::ftMemo);
            t.IndexDefs().Add("", "HelpId", db::ixPrimary);
            t.CreateTable();
            t.Open();
            for (int i = 1; i <= 5; ++i) {
                t.Append();
                t.FieldByName("HelpId")->SetAsInteger(i);
                t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
                t.FieldByName("TopicPopup")->SetAsString("T");
                t.FieldByName("CompileFor")->SetAsString("16");
                t.FieldByName("Revised")->SetAsString(i % 2 ? "Y" : "N");
                t.FieldByName("Body")->SetAsString(i == 2 ? "\r\nafter a break" : "first of " + std::to_string(i) + "\r\nmore");
                t.FieldByName("Notes")->SetAsString(kRtfNotes);
                t.Post();
            }
            t.Close();
        }
        pages = std::make_unique<TvlTable>(nullptr);
        pages->DatabaseName = folder_;
        pages->SetTableName("Detail.QVD");
        pages->ControlType().Add("CompileFor;Combo;vlDBCombobox1");
        pages->ControlType().Add("Revised;CheckBox;Y;N");
        pages->ControlType().Add("Notes;RichEdit;reNotes");
        pages->ControlType().Add("Title;CustomEdit;edTitle");
        pages->PictureMasks().Add("TopicPopup\t&\tT\tT");
        form = new TForm(Application);
        form->SetBounds(10, 10, 760, 420);
        combo = new TvlDBComboBox(form);
        combo->SetName("vlDBCombobox1");
        combo->SetParent(form);
        combo->SetBounds(0, 330, 100, 21);
        combo->Items().Add("16");
        combo->Items().Add("32");
        combo->Items().Add("HH");
        rich = new richtext::TDBJDRichText(form);
        rich->SetName("reNotes");
        rich->SetParent(form);
        rich->SetBounds(120, 330, 200, 60);
        rich->OnKeyDown = [this](plat::TObject*, unsigned& key, TShiftState) { richKeys.push_back(key); };
        edit = new TvlDBEdit(form);
        edit->SetName("edTitle");
        edit->SetParent(form);
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        grid = new TvlDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 740, 300);
        pages->Open();
        grid->SetDataSource(source.get());
        form->Show();
        grid->SetFocus();
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    void Key(unsigned vk, TShiftState shift = 0) { guitest::SendKey(grid, vk, shift); }
    TPoint CellCentre(int col, int row) {
        const TRect r = grid->CellRect(col, row);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }
    std::string Value(const char* field) { return pages->FieldByName(field)->AsString(); }
    int DataColOf(const char* field) {
        for (int i = 0; i < grid->GetFieldCount(); ++i)
            if (grid->GetFields(i)->FieldName == field) return i;
        return -1;
    }
    std::string CellText(const char* field) {
        std::string text;
        grid->GetFieldText(DataColOf(field), text);
        return text;
    }
    TForm* form = nullptr;
    TvlDBComboBox* combo = nullptr;
    richtext::TDBJDRichText* rich = nullptr;
    TvlDBEdit* edit = nullptr;
    std::vector<unsigned> richKeys;
    std::unique_ptr<db::TDataSource> source;
    TvlDBGrid* grid = nullptr;
};

TEST_F(PubGridTest, TheControlsAreAttachedWithoutABorderAndOnlyFoundOnes) {
    EXPECT_TRUE(grid->ControlsAttached());
    EXPECT_EQ(combo->Parent(), grid);
    EXPECT_EQ(combo->BorderStyle(), bsNone);
    EXPECT_FALSE(combo->Visible());
    EXPECT_EQ(rich->Parent(), grid);
    EXPECT_EQ(grid->ControlForField(pages->FieldByName("CompileFor")), combo);
    EXPECT_EQ(grid->ControlForField(pages->FieldByName("Notes")), rich);
    // A name that finds nothing, or a control of the wrong kind, is ignored.
    EXPECT_EQ(grid->FindCellControl("noSuchControl", "Combo"), nullptr);
    EXPECT_EQ(grid->FindCellControl("reNotes", "Combo"), nullptr);
    EXPECT_EQ(grid->FindCellControl("vlDBCombobox1", "Combo"), combo);
    // "Form.Component" looks among the dataset owner's components.
    plat::TComponent module(nullptr);
    auto* table = new TvlTable(&module);
    auto* onModule = new TvlDBEdit(&module);
    onModule->SetName("edOnModule");
    db::TDataSource other(nullptr);
    other.SetDataSet(table);
    grid->SetDataSource(&other);
    EXPECT_EQ(grid->FindCellControl("DataModule1.edOnModule", "CustomEdit"), onModule);
    EXPECT_EQ(grid->FindCellControl("DataModule1.", "CustomEdit"), nullptr);
    grid->SetDataSource(source.get());
}

TEST_F(PubGridTest, TheComboShowsOverTheCurrentCellAndWritesBack) {
    grid->SelectFieldByName("CompileFor");
    ASSERT_EQ(grid->GetCurrentField()->FieldName, "CompileFor");
    EXPECT_EQ(grid->CellControl(), combo);
    EXPECT_TRUE(combo->Visible());
    EXPECT_EQ(combo->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
    EXPECT_EQ(grid->CellControlCol(), grid->Col());
    EXPECT_EQ(combo->DataField(), "CompileFor");
    EXPECT_EQ(combo->DataSource(), source.get());
    grid->ShowEditor();
    EXPECT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
    // Painting reads the state and never changes it.
    TBitmap shot;
    guitest::Grab(grid, shot);
    EXPECT_EQ(grid->CellControl(), combo);

    // Another column hides it; coming back shows it again.
    grid->SelectFieldByName("HelpId");
    EXPECT_EQ(grid->CellControl(), nullptr);
    EXPECT_FALSE(combo->Visible());
    grid->SelectFieldByName("CompileFor");
    ASSERT_TRUE(combo->Visible());

    // Typing in the grid's cell goes to the combo; Tab hands the focus back
    // to the grid, which writes the value as it leaves the column.
    guitest::SendKey(grid, '3');
    guitest::ProcessEvents();
    EXPECT_TRUE(combo->Focused());
    guitest::TypeText(combo, "2");
    EXPECT_EQ(combo->Text(), "32");
    guitest::SendKey(combo, VK_TAB);
    EXPECT_TRUE(grid->Focused());
    EXPECT_FALSE(combo->Visible());
    EXPECT_EQ(Value("CompileFor"), "32");
    Key(VK_DOWN);
    EXPECT_EQ(Id(), 2);
    // On the next row the combo covers the new current cell.
    grid->SelectFieldByName("CompileFor");
    EXPECT_TRUE(combo->Visible());
    EXPECT_EQ(grid->CellControlRow(), grid->Row());
    EXPECT_EQ(combo->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
    EXPECT_EQ(combo->Text(), "16");
    pages->First();
    EXPECT_EQ(Value("CompileFor"), "32");

    // Alt+Down in the grid opens the combo's list, as the same keys in the combo would.
    grid->SetFocus();
    Key(VK_DOWN, ssAlt);
    plat::ProcessMessages();  // the posted key stroke
    EXPECT_TRUE(combo->Focused());
    EXPECT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(Id(), 1);
    combo->CloseUp(false);
    guitest::MouseMove(grid, CellCentre(2, 2));  // Alt let go

    // When the focus leaves the grid the control goes.
    auto* other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(400, 330, 80, 21);
    other->SetFocus();
    EXPECT_FALSE(combo->Visible());
    EXPECT_EQ(grid->CellControl(), nullptr);
}

TEST_F(PubGridTest, CheckBoxCellsToggleBySpaceClickOrDoubleClickAsTheOptionSays) {
    struct {
        bool singleClick;
        int action;  // 0 Space, 1 click, 2 double click
        bool toggles;
    } cases[] = {
        {false, 0, true}, {false, 1, false}, {false, 2, true},
        {true, 0, true},  {true, 1, true},   {true, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.singleClick << " " << c.action);
        pages->First();
        grid->EditControlOptions =
            static_cast<TvlEditControlOptions>(EditCtl(ecoSearchOwnerForm) | (c.singleClick ? EditCtl(ecoCheckboxSingleClick) : 0));
        grid->SelectFieldByName("Revised");
        const std::string before = Value("Revised");
        const TPoint p = CellCentre(grid->Col(), grid->Row());
        if (c.action == 0) Key(VK_SPACE);
        else if (c.action == 1) guitest::Click(grid, p);
        else guitest::DoubleClick(grid, p);
        const std::string expected = c.toggles ? (before == "Y" ? "N" : "Y") : before;
        EXPECT_EQ(Value("Revised"), expected);
        EXPECT_EQ(grid->InplaceEditor() && grid->InplaceEditor()->Visible(), false);
        pages->Cancel();
    }
    // A read-only grid toggles nothing.
    grid->ReadOnly = true;
    pages->First();
    Key(VK_SPACE);
    EXPECT_EQ(Value("Revised"), "Y");
    EXPECT_EQ(pages->State(), db::dsBrowse);
}

TEST_F(PubGridTest, MemoCellsShowMemoOrTheirFirstLine) {
    struct {
        TvlMemoAttributes attrs;
        bool wordWrap;
        int record;
        std::string shown;
    } cases[] = {
        {MemoAttr(mSizeable), false, 1, "(Memo)"},
        {MemoAttr(mGridShow), false, 1, "first of 1"},
        {MemoAttr(mGridShow), true, 1, "first of 1\r\nmore"},
        {MemoAttr(mGridShow), false, 2, ""},  // the first line is empty
        {MemoAttr(mGridShow), true, 2, "\r\nafter a break"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        grid->SetMemoAttributes(c.attrs);
        grid->SetOptions(c.wordWrap ? grid->Options() | Opt(dgWordWrap)
                                    : static_cast<TvlDBGridOptions>(grid->Options() & ~Opt(dgWordWrap)));
        pages->First();
        pages->MoveBy(c.record - 1);
        EXPECT_EQ(CellText("Body"), c.shown);
    }
    // A rich-text cell shows the first line of its plain text.
    EXPECT_EQ(CellText("Notes"), "Shown first line");
    EXPECT_EQ(RtfFirstLine("plain\r\nsecond"), "plain");
    EXPECT_EQ(RtfFirstLine(""), "");
}

TEST_F(PubGridTest, AMappedComboCellShowsTheItemTextOfTheStoredValue) {
    EXPECT_EQ(CellText("CompileFor"), "16");  // no map: the field's text
    combo->MapList = true;
    combo->Items().Clear();
    combo->Items().Add("Windows 3.1\t16");
    combo->Items().Add("Windows 95\t32");
    EXPECT_EQ(CellText("CompileFor"), "Windows 3.1");
    pages->Edit();
    pages->FieldByName("CompileFor")->SetAsString("HH");  // a value without an item
    EXPECT_EQ(CellText("CompileFor"), "HH");
    pages->Cancel();
}

TEST_F(PubGridTest, F2AndDoubleClickOpenTheMemoDialogAndReachTheRichTextEditor) {
    pages->FieldByName("Body")->DisplayLabel = "Page~body";
    std::vector<std::string> opened;
    std::vector<bool> closed;
    grid->OnMemoOpen = [&](TvlDBGrid* g, TvlMemoDialog* d) {
        EXPECT_EQ(g, grid);
        opened.push_back(d->Caption + ((d->MemoAttributes & MemoAttr(mViewOnly)) ? " view" : ""));
        d->OnInitDialog = [](plat::TObject*, TvlMemoDlg* dlg) {
            auto* t = new TTimer(dlg);
            t->SetInterval(10);
            t->OnTimer = [t, dlg](plat::TObject*) {
                t->SetEnabled(false);
                dlg->SetModalResult(mrCancel);
            };
        };
    };
    grid->OnMemoClose = [&](TvlDBGrid*, bool cancel) { closed.push_back(cancel); };
    grid->SelectFieldByName("Body");
    grid->ShowEditor();
    EXPECT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
    Key(VK_F1 + 1);
    guitest::DoubleClick(grid, CellCentre(grid->Col(), grid->Row()));
    grid->ReadOnly = true;
    Key(VK_F1 + 1);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], "Page body");
    EXPECT_EQ(opened[1], "Page body");
    EXPECT_EQ(opened[2], "Page body view");
    EXPECT_EQ(closed, (std::vector<bool>{true, true, true}));
    // mDisableDialog keeps it shut.
    grid->SetMemoAttributes(MemoAttr(mDisableDialog));
    Key(VK_F1 + 1);
    EXPECT_EQ(opened.size(), 3u);

    // On a rich-text cell F2 and a double click reach the editor as a key-down of F2.
    grid->ReadOnly = false;
    grid->SelectFieldByName("Notes");
    Key(VK_F1 + 1);
    guitest::DoubleClick(grid, CellCentre(grid->Col(), grid->Row()));
    EXPECT_EQ(richKeys, (std::vector<unsigned>{VK_F1 + 1, VK_F1 + 1}));
    EXPECT_FALSE(rich->Visible());
}

TEST_F(PubGridTest, SelectFieldByNameIgnoresCase) {
    grid->SelectFieldByName("TITLE");
    EXPECT_EQ(grid->GetCurrentField()->FieldName, "Title");
    EXPECT_EQ(grid->GetCurrentCol(), DataColOf("Title") + 1);
    grid->SelectFieldByName("nothing");
    EXPECT_EQ(grid->GetCurrentField()->FieldName, "Title");
}

TEST_F(PubGridTest, FixedColsKeepTheFirstScrollingColumnATabStop) {
    grid->SetFixedCols(1);
    EXPECT_EQ(grid->FixedCols(), 1);
    EXPECT_EQ(grid->TCustomGrid::FixedCols(), 2);
    EXPECT_FALSE(grid->TabStops(1));
    EXPECT_TRUE(grid->TabStops(2));
    EXPECT_EQ(grid->DataCellColor(1, 1), grid->TitleColor);
    EXPECT_EQ(grid->DataCellColor(2, 1), grid->Color());
    // Tab past the last column wraps to the first scrolling column.
    grid->SetSelectedIndex(grid->GetFieldCount() - 1);
    Key(VK_TAB);
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(grid->GetSelectedIndex(), 1);
    Key(VK_TAB, ssShift);
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(grid->GetSelectedIndex(), grid->GetFieldCount() - 1);

    // A negative count is refused, also at run time.
    grid->SetFixedCols(-1);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Invalid value for FixedCols");
    EXPECT_EQ(grid->FixedCols(), 1);
    EXPECT_EQ(grid->TCustomGrid::FixedCols(), 2);
    // Too many at run time: stored, and only the indicator stays fixed.
    grid->SetFixedCols(99);
    EXPECT_EQ(grid->FixedCols(), 99);
    EXPECT_EQ(grid->TCustomGrid::FixedCols(), 1);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
}

TEST_F(PubGridTest, ADatasetOfAForeignClassUnbindsTheGrid) {
    db::TTable plain(nullptr);
    plain.DatabaseName = folder_;
    plain.TableName = "Detail.QVD";
    plain.Open();
    db::TDataSource other(nullptr);
    other.SetDataSet(&plain);
    grid->SetDataSource(&other);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text,
              "vlGrid must use descendent of TvlTable, TvlQuery, TvlQBE, TvlStoredProc, TvlClientDataSet.");
    EXPECT_EQ(grid->GetDataSource(), nullptr);
}

TEST_F(PubGridTest, AHostedEditHandsTheRecordKeysBackToTheGrid) {
    grid->SelectFieldByName("Title");
    ASSERT_EQ(grid->CellControl(), edit);
    edit->SetFocus();
    // Down and Up move the record, the edit following its cell.
    guitest::SendKey(edit, VK_DOWN);
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(edit->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
    EXPECT_EQ(edit->Text(), "Page 2");
    guitest::SendKey(edit, VK_UP);
    EXPECT_EQ(Id(), 1);
    // Alt+Down stays in the edit.
    guitest::SendKey(edit, VK_DOWN, ssAlt);
    EXPECT_EQ(Id(), 1);
    // Ctrl+Delete is the grid's question.
    dialogs.Answer(mrCancel);
    guitest::SendKey(edit, VK_DELETE, ssCtrl);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Delete record?");
    // Tab gives the focus back to the grid, which moves to the next column.
    const int col = grid->GetSelectedIndex();
    guitest::SendKey(edit, VK_TAB);
    EXPECT_TRUE(grid->Focused());
    EXPECT_EQ(grid->GetSelectedIndex(), col + 1);
    EXPECT_FALSE(edit->Visible());
    // A typed character goes to the edit and reaches the field when the row is left.
    grid->SelectFieldByName("Title");
    guitest::SendKey(grid, 'X');
    guitest::ProcessEvents();
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(edit->Text(), "x");
    guitest::SendKey(edit, VK_RETURN);
    EXPECT_TRUE(grid->Focused());
    Key(VK_DOWN);
    pages->First();
    EXPECT_EQ(Value("Title"), "x");
}

TEST_F(PubGridTest, ASavedLayoutComesBackInANewGrid) {
    // The user widens Title, drags Body to the front and hides Notes.
    const int titleCol = DataColOf("Title") + 1;
    grid->SetColWidths(titleCol, 180);
    grid->MoveColumn(DataColOf("Body") + 1, 1);
    pages->FieldByName("Notes")->Visible = false;
    grid->LayoutChanged();  // a field's Visible is a plain member: no layout event
    ASSERT_EQ(grid->GetFields(0)->FieldName, "Body");
    std::vector<std::string> names;
    std::vector<int> widths;
    for (int i = 0; i < grid->GetFieldCount(); ++i) {
        names.push_back(grid->GetFields(i)->FieldName);
        widths.push_back(grid->ColWidths(i + 1));
    }
    EXPECT_EQ(names.size(), 6u);
    const std::string ini = Folder() + "Tavrin.ini";
    {
        misc::TBag bag(nullptr);
        bag.IniFile = ini;
        bag.IniSect = "SplitView";
        bag.AddDataSetFields("HelpIdGrid", pages.get());
        bag.SaveToIni();
    }
    // The next start: a fresh table takes the layout before its grid shows it.
    TvlTable fresh(nullptr);
    fresh.DatabaseName = folder_;
    fresh.SetTableName("Detail.QVD");
    fresh.Open();
    misc::TBag bag(nullptr);
    bag.IniFile = ini;
    bag.IniSect = "SplitView";
    bag.LoadFromIni();
    bag.RestoreDataSetFields("HelpIdGrid", &fresh);
    db::TDataSource freshSource(nullptr);
    freshSource.SetDataSet(&fresh);
    auto* again = new TvlDBGrid(form);
    again->SetParent(form);
    again->SetBounds(0, 0, 740, 300);
    again->SetDataSource(&freshSource);
    ASSERT_EQ(again->GetFieldCount(), static_cast<int>(names.size()));
    for (int i = 0; i < again->GetFieldCount(); ++i) {
        SCOPED_TRACE(names[static_cast<std::size_t>(i)]);
        EXPECT_EQ(again->GetFields(i)->FieldName, names[static_cast<std::size_t>(i)]);
        EXPECT_EQ(again->ColWidths(i + 1), widths[static_cast<std::size_t>(i)]);
    }
    again->SetDataSource(nullptr);
}

TEST_F(PubGridTest, RecordsAreSelectedByBookmarkAndTheEventMayRefuse) {
    grid->SetOptions(grid->Options() | Opt(dgMultiSelect));
    int asked = 0;
    bool accept = true;
    grid->OnMultiSelectRecord = [&](TvlDBGrid*, bool, bool& a) {
        ++asked;
        a = accept;
    };
    pages->First();
    grid->SelectRecord();
    pages->MoveBy(2);
    grid->SelectRecord();
    grid->SelectRecord();  // once only
    EXPECT_EQ(grid->SelectedCount(), 2);
    EXPECT_TRUE(grid->IsCurrentRecordSelected());
    EXPECT_TRUE(grid->IsSelectedRow(0));
    EXPECT_FALSE(grid->IsSelectedRow(1));
    EXPECT_TRUE(grid->IsSelectedRow(2));
    accept = false;
    grid->UnselectRecord();
    EXPECT_EQ(grid->SelectedCount(), 2);
    accept = true;
    grid->UnselectRecord();
    EXPECT_EQ(grid->SelectedCount(), 1);
    EXPECT_FALSE(grid->IsSelectedRow(2));
    EXPECT_EQ(asked, 5);
    // Shift+click selects every record from the anchor (the third, selected
    // last) to the clicked one.
    guitest::Click(grid, CellCentre(2, 5), mbLeft, ssShift);
    guitest::MouseMove(grid, CellCentre(2, 5));  // Shift let go
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(grid->SelectedCount(), 4);
    EXPECT_TRUE(grid->IsSelectedRow(0));
    EXPECT_FALSE(grid->IsSelectedRow(1));
    EXPECT_TRUE(grid->IsSelectedRow(2));
    EXPECT_TRUE(grid->IsSelectedRow(4));
    EXPECT_EQ(grid->RowMarks().Count(), 5);
    grid->UnselectAll();
    EXPECT_EQ(grid->SelectedCount(), 0);
    EXPECT_FALSE(grid->IsSelectedRow(4));
}

}  // namespace
