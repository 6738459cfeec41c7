// Grids: the grid base (fixed rows and columns, row heights and column
// widths, scrolling so the current cell shows, selection, cell drawing, an
// in-place editor over the current cell, column sizing and moving), the
// owner-drawn grid and the string grid.
//
// Layout: column c starts after the widths of the columns before it (fixed
// ones first, then the scrolled ones from LeftCol), each followed by a grid
// line of GridLineWidth; rows likewise. Cell rectangles never include the
// line after them.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/edits.h"
#include "platform/gui/mask_edit.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace gui {

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};

// Left/Right are columns, Top/Bottom rows, all inclusive.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

using TGridDrawState = unsigned;
constexpr TGridDrawState gdSelected = 1, gdFocused = 2, gdFixed = 4;

using TGridOptions = unsigned;
constexpr TGridOptions goFixedVertLine = 1u << 0, goFixedHorzLine = 1u << 1, goVertLine = 1u << 2,
                       goHorzLine = 1u << 3, goRangeSelect = 1u << 4, goDrawFocusSelected = 1u << 5,
                       goRowSizing = 1u << 6, goColSizing = 1u << 7, goRowMoving = 1u << 8,
                       goColMoving = 1u << 9, goEditing = 1u << 10, goTabs = 1u << 11, goRowSelect = 1u << 12,
                       goAlwaysShowEditor = 1u << 13, goThumbTracking = 1u << 14;

class TCustomGrid;

// A grid asked for something it cannot hold (too many columns or rows).
class EInvalidGridOperation : public plat::Exception {
public:
    using plat::Exception::Exception;
};

// The editor the grid puts over the current cell. Keys that move between
// cells (arrows at the text's ends, Up, Down, page keys, Tab with goTabs,
// Enter) go on to the grid; Esc undoes the typing in the cell.
class TInplaceEdit : public TCustomMaskEdit {
public:
    explicit TInplaceEdit(TCustomGrid* grid);
    TCustomGrid* Grid() const { return grid_; }
    // Loads mask, text and limit of the current cell from the grid.
    virtual void UpdateContents();
    void Move(const TRect& rect);

protected:
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Change() override;
    void DoExit() override;
    void Paint() override;
    void WndProc(TMessage& Message) override;

private:
    TCustomGrid* grid_;
    bool loading_ = false;
};

// The edges a dragging mouse can be past (TimedScroll's Direction).
enum : unsigned { sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8 };

class TCustomGrid : public TCustomControl {
public:
    explicit TCustomGrid(TComponent* AOwner);
    ~TCustomGrid() override;

    int ColCount() const { return static_cast<int>(colWidths_.size()); }
    void SetColCount(int n);
    int RowCount() const { return static_cast<int>(rowHeights_.size()); }
    void SetRowCount(int n);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int n);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int n);
    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int w);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int h);
    int ColWidths(int col) const;
    void SetColWidths(int col, int w);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int h);
    // Whether Tab stops on the column (every column does until told).
    bool TabStops(int col) const;
    void SetTabStops(int col, bool stop);
    int GridLineWidth() const { return gridLineWidth_; }
    void SetGridLineWidth(int w);
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions o);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle s);
    TColor FixedColor = clBtnFace;
    bool DefaultDrawing = true;
    TBorderStyle BorderStyle = bsSingle;

    // The current cell; setting it moves there (SelectCell may refuse).
    int Col() const { return cur_.X; }
    void SetCol(int c);
    int Row() const { return cur_.Y; }
    void SetRow(int r);
    int LeftCol() const { return topLeft_.X; }
    void SetLeftCol(int c);
    int TopRow() const { return topLeft_.Y; }
    void SetTopRow(int r);
    // Scrolled columns and rows that show whole.
    int VisibleColCount() const;
    int VisibleRowCount() const;
    TGridRect Selection() const;
    void SetSelection(const TGridRect& r);

    bool EditorMode() const { return editorMode_; }
    void SetEditorMode(bool on);
    TInplaceEdit* InplaceEditor() const { return editor_; }
    void ShowEditor();
    void HideEditor();

    // The cell's rectangle in client coordinates; empty when it does not show.
    TRect CellRect(int ACol, int ARow) const;
    // The rectangle covering cells ALeft..ARight, ATop..ABottom as far as they show.
    TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom) const;
    // The cell under a client point; -1, -1 outside the cells.
    TGridCoord MouseCoord(int X, int Y) const;
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;

    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid() { Invalidate(); }
    void InvalidateEditor();

    // Moves a column or row (with its width or height) from one index to another.
    void MoveColumn(int FromIndex, int ToIndex);
    void MoveRow(int FromIndex, int ToIndex);

    void WndProc(TMessage& Message) override;

    // --- the editor's view of the grid -----------------------------------------------------
    virtual std::string GetEditText(int ACol, int ARow);
    virtual void SetEditText(int ACol, int ARow, const std::string& Value);
    virtual std::string GetEditMask(int ACol, int ARow);
    // 0: no limit.
    virtual int GetEditLimit();
    virtual bool CanEditModify();
    // Keys the editor passes on.
    void EditorKeyDown(unsigned& Key, TShiftState Shift);
    void EditorKeyPress(char& Key);

protected:
    // Draws a cell; the base fills it with its background.
    virtual void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState);
    // Whether the cell may become the current one.
    virtual bool SelectCell(int ACol, int ARow);
    virtual bool CanEditShow();
    virtual bool CanEditAcceptKey(char Key);
    virtual TInplaceEdit* CreateEditor();
    virtual void TopLeftChanged();
    virtual void ColumnMoved(int FromIndex, int ToIndex);
    virtual void RowMoved(int FromIndex, int ToIndex);
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void SizeChanged(int OldColCount, int OldRowCount);
    // Moves the current cell; MoveAnchor also collapses the selection onto
    // it; Show scrolls it into view.
    void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
    // Makes sure the current cell shows.
    void ScrollToCurrent();
    // Called on each tick while a press drags past an edge of the cells, with
    // the sd* edges it is past; the base moves the current cell one step.
    virtual void TimedScroll(unsigned Direction);
    // A press on a cell that a subclass handled itself: dragging from it past
    // an edge still scrolls on the timer.
    void BeginSelecting() { selecting_ = true; }

    void Paint() override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoExit() override;
    void Resize() override;

private:
    int ColLeft(int col) const;   // -1 when hidden by scrolling
    int RowTop(int row) const;
    int MaxTopRow() const;
    int MaxLeftCol() const;
    // The fixed columns' width and the fixed rows' height, grid lines included.
    int FixedWidth() const;
    int FixedHeight() const;
    void UpdateScrollBars();
    void UpdateEditor();
    void Scroll(int bar, int code, int pos);
    void ClampCurrent();
    int SizingColAt(int X, int Y) const;
    int SizingRowAt(int X, int Y) const;

    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    std::vector<char> tabStops_;  // one per column
    int fixedCols_ = 1, fixedRows_ = 1;
    int defaultColWidth_ = 64, defaultRowHeight_ = 24;
    int gridLineWidth_ = 1;
    TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TScrollStyle scrollBars_ = ssBoth;
    TGridCoord cur_{1, 1};
    TGridCoord anchor_{1, 1};
    TGridCoord topLeft_{1, 1};
    bool editorMode_ = false;
    TInplaceEdit* editor_ = nullptr;
    int sizingCol_ = -1;
    int sizingStart_ = 0;
    int movingCol_ = -1;
    int sizingRow_ = -1;
    int sizingRowStart_ = 0;
    int movingRow_ = -1;
    bool selecting_ = false;
    unsigned scrollDirection_ = 0;  // the edges the dragging mouse is past
    void TrackTimedScroll(int X, int Y);
    void StopTimedScroll();
};

using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;

class TDrawGrid : public TCustomGrid {
public:
    explicit TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}
    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TGetEditEvent OnGetEditText;
    TGetEditEvent OnGetEditMask;
    TSetEditEvent OnSetEditText;
    TMovedEvent OnColumnMoved;
    TMovedEvent OnRowMoved;
    TNotifyEvent OnTopLeftChanged;

    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    std::string GetEditMask(int ACol, int ARow) override;

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void TopLeftChanged() override;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void RowMoved(int FromIndex, int ToIndex) override;
};

class TStringGrid : public TDrawGrid {
public:
    explicit TStringGrid(TComponent* AOwner) : TDrawGrid(AOwner) {}
    std::string Cells(int ACol, int ARow) const;
    void SetCells(int ACol, int ARow, const std::string& s);
    void* Objects(int ACol, int ARow) const;
    void SetObjects(int ACol, int ARow, void* o);
    // A row or column as a list, and the reverse.
    plat::StringList Rows(int ARow) const;
    void SetRows(int ARow, const plat::StringList& l);
    plat::StringList Cols(int ACol) const;
    void SetCols(int ACol, const plat::StringList& l);

    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void RowMoved(int FromIndex, int ToIndex) override;
    void SizeChanged(int OldColCount, int OldRowCount) override;

private:
    struct Cell {
        std::string text;
        void* object = nullptr;
    };
    // Keyed by (row, column): sparse, so a large empty grid costs nothing.
    std::map<std::pair<int, int>, Cell> cells_;
};

}  // namespace gui
