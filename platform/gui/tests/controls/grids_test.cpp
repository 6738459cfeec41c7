// Grids: layout, scrolling to the current cell, keys, the in-place editor
// (with an edit mask), owner drawing, column moving and sizing.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/grids.h"

namespace guitest {
namespace {

using namespace gui;

class Grids : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        grid = new TStringGrid(form);
        grid->SetParent(form);
        grid->SetScrollBars(ssNone);  // client size stays exact
        // 6 columns of 50, 20 rows of 20, one fixed of each; grid lines 1.
        grid->SetColCount(6);
        grid->SetRowCount(20);
        grid->SetDefaultColWidth(50);
        grid->SetDefaultRowHeight(20);
        // Fixed column + 3 columns fit fully across 206 = 4 * 51 + 2.
        grid->SetBounds(0, 0, 206, 105);  // fixed row + 3 rows + a part
        form->Show();
        ProcessEvents();
    }
    TStringGrid* grid = nullptr;
};

TEST_F(Grids, LayoutCellRectMouseCoordAndVisibleCounts) {
    EXPECT_EQ(grid->CellRect(0, 0), Rect(0, 0, 50, 20));
    EXPECT_EQ(grid->CellRect(2, 1), Rect(102, 21, 152, 41));
    EXPECT_EQ(grid->VisibleColCount(), 3);
    EXPECT_EQ(grid->VisibleRowCount(), 4);
    struct Case {
        int x, y, col, row;
    } cases[] = {{0, 0, 0, 0}, {49, 19, 0, 0}, {51, 21, 1, 1}, {160, 90, 3, 4}, {300, 10, -1, -1}, {50, 5, -1, -1}};
    for (const Case& c : cases) {
        TGridCoord g = grid->MouseCoord(c.x, c.y);
        EXPECT_EQ(g.X, c.col) << c.x << "," << c.y;
        EXPECT_EQ(g.Y, c.row) << c.x << "," << c.y;
    }
    grid->SetColWidths(1, 10);
    EXPECT_EQ(grid->CellRect(2, 1).Left, 62);
    EXPECT_THROW(grid->SetFixedCols(6), plat::Exception);
}

TEST_F(Grids, MovingDownPastTheLastVisibleRowScrollsAndFixedRowsStay) {
    int topChanges = 0;
    grid->OnTopLeftChanged = [&](TObject*) { ++topChanges; };
    grid->SetFocus();
    for (int i = 0; i < 5; ++i) SendKey(grid, VK_DOWN);
    EXPECT_EQ(grid->Row(), 6);
    EXPECT_EQ(grid->TopRow(), 3);  // rows 3..6 show
    EXPECT_GE(topChanges, 1);
    EXPECT_EQ(grid->CellRect(1, 0), Rect(51, 0, 101, 20));  // fixed row stays on top
    EXPECT_EQ(grid->CellRect(1, 3).Top, 21);
    EXPECT_TRUE(grid->CellRect(1, 2).IsEmpty());
    SendKey(grid, VK_END, ssCtrl);
    EXPECT_EQ(grid->Row(), 19);
    EXPECT_EQ(grid->Col(), 5);
    EXPECT_EQ(grid->LeftCol(), 3);
    SendKey(grid, VK_HOME, ssCtrl);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(grid->TopRow(), 1);
    // The scroll messages move the view, not the current cell.
    grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(grid->TopRow(), 5);
    EXPECT_EQ(grid->Row(), 1);
    grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    EXPECT_EQ(grid->TopRow(), 16);
}

TEST_F(Grids, MovingScrollsJustFarEnoughForTheCurrentRowWhateverTheRowHeights) {
    // Rows of 20 but for a few; row 12 is taller than the 84 pixels below the fixed row.
    const std::pair<int, int> heights[] = {{5, 50}, {9, 10}, {12, 120}, {15, 5}, {16, 35}};
    for (auto [row, h] : heights) grid->SetRowHeights(row, h);
    // The first top row from `top` on under which `row` shows whole, found
    // by trying each in turn: the fixed row (20 + 1) and every row above
    // `row` with its grid line, then `row` itself, within 105 pixels.
    auto expectedTop = [&](int top, int row) {
        if (row < top) return row;
        for (int t = top; t < row; ++t) {
            int y = 21;
            for (int r = t; r < row; ++r) y += grid->RowHeights(r) + 1;
            if (y + grid->RowHeights(row) <= 105) return t;
        }
        return row;
    };
    const std::pair<int, int> moves[] = {{1, 4}, {1, 5}, {1, 6}, {1, 11}, {1, 12}, {1, 13}, {3, 17},
                                         {10, 19}, {8, 9}, {14, 2}, {1, 19}, {12, 12}, {11, 16}};
    for (auto [top, row] : moves) {
        grid->SetRow(1);
        grid->SetTopRow(top);
        ASSERT_EQ(grid->TopRow(), top);
        grid->SetRow(row);
        EXPECT_EQ(grid->TopRow(), expectedTop(top, row)) << "from top " << top << " to row " << row;
    }
}

TEST_F(Grids, CtrlEndReachesTheLastOfManyRows) {
    grid->SetRowCount(200000);
    grid->SetFocus();
    SendKey(grid, VK_END, ssCtrl);
    EXPECT_EQ(grid->Row(), 199999);
    // 84 pixels below the fixed row hold four rows of 20 with their lines: 199996..199999.
    EXPECT_EQ(grid->TopRow(), 199996);
    EXPECT_EQ(grid->VisibleRowCount(), 4);
    SendKey(grid, VK_HOME, ssCtrl);
    EXPECT_EQ(grid->TopRow(), 1);
}

TEST_F(Grids, TypingOnACellEditsItInPlaceAndEnterCommits) {
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetCells(2, 2, "old");
    grid->SetFocus();
    grid->SetCol(2);
    grid->SetRow(2);
    TypeText(grid, "n");  // the first key replaces the cell's text
    ASSERT_TRUE(grid->EditorMode());
    TInplaceEdit* ed = grid->InplaceEditor();
    ASSERT_NE(ed, nullptr);
    EXPECT_TRUE(ed->Focused());
    EXPECT_EQ(ed->BoundsRect(), grid->CellRect(2, 2));
    TypeText(ed, "ew");
    EXPECT_EQ(grid->Cells(2, 2), "new");
    SendKey(ed, VK_RETURN);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_TRUE(grid->Focused());
    // Down from inside the editor moves the grid and leaves the editor.
    grid->SetRow(3);
    SendKey(grid, VK_F1 + 1);
    ASSERT_TRUE(grid->EditorMode());
    TypeText(ed, "x");
    SendKey(ed, VK_DOWN);
    EXPECT_EQ(grid->Row(), 4);
    EXPECT_EQ(grid->Cells(2, 3), "x");
    EXPECT_FALSE(grid->EditorMode());
}

// Keys typed quickly may reach the grid itself after the first one opened
// the editor: they go on into the editor's text, none is lost.
TEST_F(Grids, KeysThatReachTheGridWhileItsEditorShowsAreTyped) {
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetCells(2, 2, "old");
    grid->SetFocus();
    grid->SetCol(2);
    grid->SetRow(2);
    TypeText(grid, "zz");
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditor()->Text(), "zz");
    SendKey(grid, VK_BACK);
    TypeText(grid, "y");
    EXPECT_EQ(grid->Cells(2, 2), "zy");
}

TEST_F(Grids, EscapeInTheEditorPutsBackTheCellsText) {
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetCells(1, 1, "keep");
    std::vector<std::string> seen;
    grid->OnSetEditText = [&](TObject*, int, int, const std::string& v) { seen.push_back(v); };
    grid->SetFocus();
    SendKey(grid, VK_F1 + 1);
    TInplaceEdit* ed = grid->InplaceEditor();
    SendKey(ed, VK_BACK);
    EXPECT_EQ(seen.back(), "kee");
    SendKey(ed, VK_ESCAPE);
    EXPECT_EQ(ed->Text(), "kee");  // the cell already holds the typing: Esc re-reads it
    SendKey(ed, VK_ESCAPE);
    EXPECT_FALSE(grid->EditorMode());
}

TEST_F(Grids, EditorTakesTheCellsMaskAndRefusesWhatDoesNotFit) {
    grid->SetOptions(grid->Options() | goEditing);
    grid->OnGetEditMask = [](TObject*, int col, int, std::string& mask) {
        if (col == 1) mask = "00:00;1;_";
    };
    grid->SetFocus();
    SendKey(grid, VK_F1 + 1);
    TInplaceEdit* ed = grid->InplaceEditor();
    EXPECT_EQ(ed->EditMask(), "00:00;1;_");
    ed->SetSelStart(0);
    TypeText(ed, "1a230");
    EXPECT_EQ(grid->Cells(1, 1), "12:30");
    SendKey(ed, VK_RETURN);
    grid->SetCol(2);
    SendKey(grid, VK_F1 + 1);
    EXPECT_EQ(grid->InplaceEditor()->EditMask(), "");
}

TEST_F(Grids, OwnerDrawnGridGetsEveryVisibleCellWithItsState) {
    auto* dg = new TDrawGrid(form);
    dg->SetParent(form);
    dg->SetScrollBars(ssNone);
    dg->SetColCount(3);
    dg->SetRowCount(3);
    dg->SetDefaultColWidth(30);
    dg->SetDefaultRowHeight(15);
    dg->SetBounds(0, 120, 200, 100);
    std::map<std::pair<int, int>, TGridDrawState> states;
    dg->OnDrawCell = [&](TObject* sender, int c, int r, TRect rect, TGridDrawState st) {
        states[{c, r}] = st;
        if (c == 2 && r == 2) {
            auto* g = static_cast<TDrawGrid*>(sender);
            g->Canvas().Brush().SetColor(clLime);
            g->Canvas().FillRect(rect);
        }
    };
    dg->SetFocus();
    dg->SetCol(2);
    dg->SetRow(2);
    TBitmap img;
    Grab(dg, img);
    EXPECT_EQ(states.size(), 9u);
    auto at = [&](int c, int r) { return states[std::make_pair(c, r)]; };
    EXPECT_EQ(at(0, 1), gdFixed);
    EXPECT_EQ(at(2, 2) & gdFocused, gdFocused);
    EXPECT_EQ(at(1, 1), 0u);
    TRect r = dg->CellRect(2, 2);
    EXPECT_EQ(img.Canvas().Pixel(r.Left + 5, r.Top + 5), clLime);
}

TEST_F(Grids, RangeSelectionWithShiftAndRowSelect) {
    grid->SetFocus();
    SendKey(grid, VK_RIGHT, ssShift);
    SendKey(grid, VK_DOWN, ssShift);
    EXPECT_EQ(grid->Selection(), (TGridRect{1, 1, 2, 2}));
    SendKey(grid, VK_RIGHT);
    EXPECT_EQ(grid->Selection(), (TGridRect{3, 2, 3, 2}));
    grid->SetOptions(grid->Options() | goRowSelect);
    EXPECT_EQ(grid->Selection(), (TGridRect{1, 2, 5, 2}));
}

TEST_F(Grids, ColumnsMoveWithTheirCellsAndSizeByDraggingTheBorder) {
    grid->SetOptions(grid->Options() | goColMoving | goColSizing);
    for (int c = 1; c < 4; ++c) grid->SetCells(c, 1, "c" + std::to_string(c));
    std::vector<std::pair<int, int>> moves;
    grid->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    // Drag the title of column 1 onto column 3.
    MouseDown(grid, {70, 10});
    MouseMove(grid, {170, 10}, ssLeft);
    MouseUp(grid, {170, 10});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(1, 3));
    EXPECT_EQ(grid->Cells(1, 1), "c2");
    EXPECT_EQ(grid->Cells(3, 1), "c1");
    // Drag the right border of column 2 (at x 152) to x 182.
    MouseDown(grid, {152, 10});
    MouseMove(grid, {182, 10}, ssLeft);
    MouseUp(grid, {182, 10});
    EXPECT_EQ(grid->ColWidths(2), 80);
}

TEST_F(Grids, RowsMoveWithTheirCellsAndSizeByDraggingTheBorder) {
    grid->SetOptions(grid->Options() | goRowMoving | goRowSizing);
    for (int r = 1; r < 4; ++r) grid->SetCells(1, r, "r" + std::to_string(r));
    std::vector<std::pair<int, int>> moves;
    grid->OnRowMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    // Drag the title of row 1 (y 21..41) onto row 3 (y 63..83).
    MouseDown(grid, {20, 30});
    MouseMove(grid, {20, 70}, ssLeft);
    MouseUp(grid, {20, 70});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(1, 3));
    EXPECT_EQ(grid->Cells(1, 1), "r2");
    EXPECT_EQ(grid->Cells(1, 3), "r1");
    // Drag the bottom border of row 2 (at y 62) to y 92.
    MouseMove(grid, {20, 62});
    EXPECT_EQ(grid->Cursor(), crVSplit);
    MouseDown(grid, {20, 62});
    MouseMove(grid, {20, 92}, ssLeft);
    MouseUp(grid, {20, 92});
    EXPECT_EQ(grid->RowHeights(2), 50);
    // Without the options, a drag in the fixed column does neither.
    grid->SetOptions(grid->Options() & ~(goRowMoving | goRowSizing));
    MouseDown(grid, {20, 30});
    MouseUp(grid, {20, 100});
    EXPECT_EQ(moves.size(), 1u);
    MouseDown(grid, {20, 41});
    MouseUp(grid, {20, 60});
    EXPECT_EQ(grid->RowHeights(1), 20);
}

TEST_F(Grids, ShrinkingDropsCellsAndKeepsTheCurrentCellInside) {
    grid->SetCells(5, 19, "far");
    grid->SetFocus();
    SendKey(grid, VK_END, ssCtrl);
    grid->SetRowCount(5);
    grid->SetColCount(3);
    EXPECT_EQ(grid->Row(), 4);
    EXPECT_EQ(grid->Col(), 2);
    grid->SetRowCount(20);
    grid->SetColCount(6);
    EXPECT_EQ(grid->Cells(5, 19), "");
    EXPECT_THROW(grid->SetCells(6, 0, "x"), plat::Exception);
}

}  // namespace
}  // namespace guitest

namespace guitest {
namespace {

TEST_F(Grids, TabPassesOverColumnsThatAreNoTabStopsAndTheyMoveWithTheirColumn) {
    grid->SetOptions(grid->Options() | goTabs);
    grid->SetTabStops(2, false);
    grid->SetTabStops(3, false);
    EXPECT_TRUE(grid->TabStops(1));
    EXPECT_FALSE(grid->TabStops(2));
    EXPECT_TRUE(grid->TabStops(99));  // no such column: no restriction
    grid->SetFocus();
    grid->SetCol(1);
    grid->SetRow(1);
    SendKey(grid, VK_TAB);
    EXPECT_EQ(grid->Col(), 4);
    SendKey(grid, VK_TAB);
    SendKey(grid, VK_TAB);  // wraps to the next row's first stop
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_EQ(grid->Row(), 2);
    SendKey(grid, VK_TAB, ssShift);
    EXPECT_EQ(grid->Col(), 5);
    EXPECT_EQ(grid->Row(), 1);
    grid->MoveColumn(2, 5);  // 0 1 2x 3x 4 5 -> 0 1 3x 4 5 2x
    EXPECT_FALSE(grid->TabStops(5));
    EXPECT_FALSE(grid->TabStops(2));
    EXPECT_TRUE(grid->TabStops(3));
}

}  // namespace
}  // namespace guitest
