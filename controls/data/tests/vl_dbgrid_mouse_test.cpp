// The grid's mouse navigation on an engine table: presses move the dataset
// and the column, a press on the current cell shows the editor, titles as
// buttons click only on release over the same title, the multi-selection
// hooks and the Shift anchor; and the scroll bar's thumb in simple mode.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace gui;
using namespace vl;

// Records the multi-selection hooks (by HelpId) and can refuse sequence numbers.
class HookGrid : public TvlCustomDBGrid {
public:
    using TvlCustomDBGrid::TvlCustomDBGrid;
    std::vector<std::string> calls;
    std::set<int> selected;
    bool simpleBar = false;
    int Id() { return DataLink().DataSet()->FieldByName("HelpId")->AsInteger(); }
    void SelectRecord() override {
        calls.push_back("select " + std::to_string(Id()));
        selected.insert(Id());
    }
    void UnselectRecord() override {
        calls.push_back("unselect " + std::to_string(Id()));
        selected.erase(Id());
    }
    void UnselectAll() override {
        calls.push_back("unselect all");
        selected.clear();
    }
    bool IsCurrentRecordSelected() override { return selected.count(Id()) > 0; }
    bool ReadSequence(std::uint32_t& c, std::uint32_t& s) override {
        return simpleBar ? false : TvlCustomDBGrid::ReadSequence(c, s);
    }
    // The record each timer tick of a drag lands on: a slow machine may run
    // two ticks between two looks of a test.
    std::vector<int> ticks;
    void TimedScroll(unsigned direction) override {
        TvlCustomDBGrid::TimedScroll(direction);
        ticks.push_back(Id());
    }
};

class MouseTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(30);
        form = new TForm(Application);
        form->SetBounds(10, 10, 700, 300);
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        grid = new HookGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 660, 200);
        pages->Open();
        // Every column shows.
        pages->FieldByName("Application")->SetDisplayWidth(8);
        pages->FieldByName("Title")->SetDisplayWidth(12);
        grid->SetDataSource(source.get());
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    TPoint Centre(int col, int row) {
        const TRect r = grid->CellRect(col, row);
        return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    void ClickCell(int col, int row, TShiftState shift = 0) { guitest::Click(grid, Centre(col, row), mbLeft, shift); }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }
    TForm* form = nullptr;
    std::unique_ptr<db::TDataSource> source;
    HookGrid* grid = nullptr;
};

TEST_F(MouseTest, APressMovesTheRecordAndTheColumnAndOnTheCurrentCellShowsTheEditor) {
    ASSERT_EQ(Id(), 1);
    ASSERT_GE(grid->VisibleRowCount(), 4);
    int mouseDowns = 0;
    grid->OnMouseDown = [&](plat::TObject*, TMouseButton, TShiftState, int, int) { ++mouseDowns; };
    ClickCell(3, 4);  // the fourth data row, column Title
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(grid->GetSelectedIndex(), 2);
    EXPECT_EQ(grid->Row(), 4);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(mouseDowns, 1);
    // The indicator column moves the record and keeps the column.
    ClickCell(0, 2);
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(grid->GetSelectedIndex(), 2);
    // A press on the current cell edits it; nothing changes in the record.
    ClickCell(3, 2);
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(pages->State(), db::dsBrowse);
    // The memo column never gets the editor.
    ASSERT_FALSE(grid->CellRect(5, 2).IsEmpty());
    ClickCell(5, 2);
    ClickCell(5, 2);
    EXPECT_EQ(grid->GetSelectedIndex(), 4);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(mouseDowns, 5);  // one for every press
    // A right press moves the record too (a pop-up menu then acts on it).
    guitest::Click(grid, Centre(3, 4), mbRight);
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(mouseDowns, 6);
}

TEST_F(MouseTest, TitleButtonsClickOnReleaseOverTheSameTitleAndNeverMoveColumns) {
    std::vector<std::string> clicks;
    grid->SetTitleButtons(true);
    grid->OnTitleButtonClick = [&](plat::TObject*, const std::string& name) { clicks.push_back(name); };
    guitest::MouseDown(grid, Centre(3, 0));
    EXPECT_EQ(grid->PressedTitleCol(), 3);
    EXPECT_TRUE(clicks.empty());  // nothing on the press
    guitest::MouseUp(grid, Centre(3, 0));
    EXPECT_EQ(clicks, std::vector<std::string>{"Title"});
    EXPECT_EQ(grid->PressedTitleCol(), -1);
    // Released over another title: no click, and the columns stay.
    guitest::MouseDown(grid, Centre(2, 0));
    guitest::MouseMove(grid, Centre(3, 0), ssLeft);
    guitest::MouseUp(grid, Centre(3, 0));
    EXPECT_EQ(clicks.size(), 1u);
    EXPECT_EQ(grid->GetFields(1)->FieldName, "HelpId");
    EXPECT_EQ(grid->GetFields(2)->FieldName, "Title");
    // Without title buttons a title drag moves the column.
    grid->SetTitleButtons(false);
    guitest::MouseDown(grid, Centre(2, 0));
    guitest::MouseMove(grid, Centre(3, 0), ssLeft);
    guitest::MouseUp(grid, Centre(3, 0));
    EXPECT_EQ(grid->GetFields(2)->FieldName, "HelpId");
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(MouseTest, MultiSelectionByClickCtrlClickAndShiftAnchor) {
    grid->SetOptions(grid->Options() | Opt(dgMultiSelect));
    grid->MultiSelectOptions = (1u << msoAutoUnselect) | (1u << msoShiftSelect);
    ClickCell(1, 2);
    EXPECT_EQ(grid->selected, std::set<int>{2});
    ClickCell(1, 3);  // a plain click leaves exactly the clicked record
    EXPECT_EQ(grid->selected, std::set<int>{3});
    const std::string anchor = grid->ShiftAnchor();
    EXPECT_EQ(anchor, pages->GetBookmark());
    ClickCell(1, 1, ssCtrl);  // Ctrl adds
    EXPECT_EQ(grid->selected, (std::set<int>{1, 3}));
    ClickCell(1, 3, ssCtrl);  // and toggles off
    EXPECT_EQ(grid->selected, std::set<int>{1});
    EXPECT_EQ(grid->calls, (std::vector<std::string>{"unselect all", "select 2", "unselect all", "select 3",
                                                     "select 1", "unselect 3"}));
    // Without msoAutoUnselect a plain click selects nothing and sets no anchor.
    grid->MultiSelectOptions = 1u << msoShiftSelect;
    pages->First();
    const std::string before = grid->ShiftAnchor();
    ClickCell(1, 4);
    EXPECT_EQ(grid->selected, std::set<int>{1});
    EXPECT_EQ(grid->ShiftAnchor(), before);
}

TEST_F(MouseTest, TheSimpleThumbGoesToTheEndsAndPages) {
    grid->simpleBar = true;
    grid->UpdateScrollBar();
    ASSERT_FALSE(grid->SequenceScrollBar());
    const int page = grid->VisibleRowCount();
    auto thumb = [&](int pos) { grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), 0); };
    thumb(3);
    EXPECT_EQ(Id(), 1 + page);
    thumb(3);
    EXPECT_EQ(Id(), 1 + 2 * page);
    thumb(1);
    EXPECT_EQ(Id(), 1 + page);
    thumb(2);  // the middle does nothing
    EXPECT_EQ(Id(), 1 + page);
    thumb(4);
    EXPECT_EQ(Id(), 30);
    thumb(0);
    EXPECT_EQ(Id(), 1);
}

}  // namespace

namespace {

// Dragging from a pressed row past the bottom or the top pages on a timer:
// each tick goes to the record after the last one shown, or before the first.
TEST_F(MouseTest, DraggingPastAnEdgePagesOnATimerUntilTheRelease) {
    ClickCell(2, 3);
    ASSERT_EQ(Id(), 3);
    const int shown = grid->DataLink().RecordCount();
    ASSERT_GT(shown, 2);
    ASSERT_LT(shown, 30);
    // Past the bottom: the first tick lands just after the last row shown.
    const int below = grid->ClientHeight() + 20;
    guitest::MouseDown(grid, Centre(2, 3));
    guitest::MouseMove(grid, TPoint{Centre(2, 3).x, below}, ssLeft);
    ASSERT_TRUE(guitest::WaitFor([&] { return !grid->ticks.empty(); }, 2000));
    EXPECT_EQ(grid->ticks[0], shown + 1);
    guitest::MouseUp(grid, TPoint{Centre(2, 3).x, below});
    const int afterRelease = Id();
    std::size_t ticks = grid->ticks.size();
    guitest::ProcessEvents(200);
    EXPECT_EQ(grid->ticks.size(), ticks);  // the release stopped the timer
    EXPECT_EQ(Id(), afterRelease);

    // Past the top: to the record before the first one shown.
    const int first = afterRelease - grid->DataLink().ActiveRecord();
    ASSERT_GT(first, 1);
    const int row = grid->Row();
    guitest::MouseDown(grid, Centre(2, row));
    guitest::MouseMove(grid, TPoint{Centre(2, row).x, -10}, ssLeft);
    ASSERT_TRUE(guitest::WaitFor([&] { return grid->ticks.size() > ticks; }, 2000));
    EXPECT_EQ(grid->ticks[ticks], first - 1);
    // Back inside the cells: no more paging.
    guitest::MouseMove(grid, Centre(2, 2), ssLeft);
    ticks = grid->ticks.size();
    guitest::ProcessEvents(200);
    EXPECT_EQ(grid->ticks.size(), ticks);
    guitest::MouseUp(grid, Centre(2, 2));
}

}  // namespace
