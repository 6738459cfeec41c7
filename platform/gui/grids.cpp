#include "platform/gui/grids.h"

#include "platform/win/message_queue.h"

#include "platform/gui/controls_support.h"

#include <algorithm>

namespace gui {

namespace {
constexpr int kMinCellSize = 1;
constexpr int kSizingZone = 3;  // pixels either side of a column border that start sizing
}  // namespace

// ===========================================================================
// TInplaceEdit

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TCustomMaskEdit(grid), grid_(grid) {
    InitVisible(false);
    SetBorderStyle(bsNone);
    SetTabStop(false);
    AutoSelect = true;
}

void TInplaceEdit::UpdateContents() {
    loading_ = true;
    SetEditMask(grid_->GetEditMask(grid_->Col(), grid_->Row()));
    SetText(grid_->GetEditText(grid_->Col(), grid_->Row()));
    SetMaxLength(IsMasked() ? MaxLength() : grid_->GetEditLimit());
    SetReadOnly(!grid_->CanEditModify());
    SetModified(false);
    loading_ = false;
}

void TInplaceEdit::Move(const TRect& rect) {
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
}

void TInplaceEdit::Change() {
    TCustomMaskEdit::Change();
    // Every change reaches the grid's cell, so what shows is what is stored.
    if (!loading_) grid_->SetEditText(grid_->Col(), grid_->Row(), Text());
}

void TInplaceEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    bool atStart = SelStart() == 0 && SelLength() == 0;
    bool atEnd = SelStart() == static_cast<int>(Text().size()) && SelLength() == 0;
    bool forward = grid_->Options() & goAlwaysShowEditor;
    bool toGrid = false;
    switch (Key) {
    case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT: toGrid = true; break;
    case VK_LEFT: toGrid = forward && atStart; break;
    case VK_RIGHT: toGrid = forward && atEnd; break;
    case VK_HOME: case VK_END: toGrid = (Shift & ssCtrl) != 0; break;
    case VK_TAB: toGrid = (grid_->Options() & goTabs) != 0; break;
    default: break;
    }
    if (toGrid) {
        grid_->EditorKeyDown(Key, Shift);
        Key = 0;
        return;
    }
    TCustomMaskEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char& Key) {
    if (Key == '\r' || Key == '\t') {
        grid_->EditorKeyPress(Key);
        Key = 0;
        return;
    }
    if (Key == 27) {
        // Esc puts back what the cell held before the typing, or leaves the editor.
        if (Modified()) {
            UpdateContents();
        } else {
            grid_->EditorKeyPress(Key);
        }
        Key = 0;
        return;
    }
    TCustomMaskEdit::KeyPress(Key);
}

void TInplaceEdit::DoExit() {
    TCustomMaskEdit::DoExit();
}

void TInplaceEdit::Paint() { TCustomMaskEdit::Paint(); }

void TInplaceEdit::WndProc(TMessage& m) {
    if (m.Msg == WM_GETDLGCODE) {
        TCustomMaskEdit::WndProc(m);
        m.Result |= DLGC_WANTARROWS;
        if (grid_->Options() & goTabs) m.Result |= DLGC_WANTTAB;
        m.Result |= DLGC_WANTALLKEYS;  // Enter and Esc belong to the cell
        return;
    }
    TCustomMaskEdit::WndProc(m);
}

// ===========================================================================
// TCustomGrid: layout

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    colWidths_.assign(5, defaultColWidth_);
    tabStops_.assign(5, 1);
    rowHeights_.assign(5, defaultRowHeight_);
    SetBounds(0, 0, 320, 120);
    SetColor(clWindow);
    SetTabStop(true);
}

TCustomGrid::~TCustomGrid() = default;

int TCustomGrid::ColWidths(int col) const { return col >= 0 && col < ColCount() ? colWidths_[col] : defaultColWidth_; }
int TCustomGrid::RowHeights(int row) const { return row >= 0 && row < RowCount() ? rowHeights_[row] : defaultRowHeight_; }

void TCustomGrid::SetColWidths(int col, int w) {
    if (col < 0 || col >= ColCount()) return;
    colWidths_[col] = std::max(0, w);
    ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int row, int h) {
    if (row < 0 || row >= RowCount()) return;
    rowHeights_[row] = std::max(0, h);
    RowHeightsChanged();
}

void TCustomGrid::SetDefaultColWidth(int w) {
    defaultColWidth_ = std::max(kMinCellSize, w);
    std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int h) {
    defaultRowHeight_ = std::max(kMinCellSize, h);
    std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
    RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int w) {
    gridLineWidth_ = std::max(0, w);
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions o) {
    options_ = o;
    if (!(o & goEditing)) HideEditor();
    if (o & goRowSelect) HideEditor();
    if ((o & goAlwaysShowEditor) && (o & goEditing) && !(o & goRowSelect)) ShowEditor();
    Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle s) {
    const bool hadVert = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
    const bool hadHorz = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
    scrollBars_ = s;
    // A bar the style drops goes; a bar the style never had is left to the
    // descendant that keeps it.
    if (hadVert && s != ssVertical && s != ssBoth) SetScrollBarRange(this, SB_VERT, 0, 0);
    if (hadHorz && s != ssHorizontal && s != ssBoth) SetScrollBarRange(this, SB_HORZ, 0, 0);
    UpdateScrollBars();
}

void TCustomGrid::ClampCurrent() {
    auto clampCoord = [&](TGridCoord& c) {
        c.X = std::clamp(c.X, fixedCols_, std::max(fixedCols_, ColCount() - 1));
        c.Y = std::clamp(c.Y, fixedRows_, std::max(fixedRows_, RowCount() - 1));
    };
    clampCoord(cur_);
    clampCoord(anchor_);
    clampCoord(topLeft_);
    topLeft_.X = std::min(topLeft_.X, MaxLeftCol());
    topLeft_.Y = std::min(topLeft_.Y, MaxTopRow());
}

bool TCustomGrid::TabStops(int col) const {
    return col < 0 || col >= static_cast<int>(tabStops_.size()) || tabStops_[col] != 0;
}

void TCustomGrid::SetTabStops(int col, bool stop) {
    if (col >= 0 && col < static_cast<int>(tabStops_.size())) tabStops_[col] = stop ? 1 : 0;
}

void TCustomGrid::SetColCount(int n) {
    n = std::max(1, n);
    int oldCols = ColCount(), oldRows = RowCount();
    if (n == oldCols) return;
    colWidths_.resize(n, defaultColWidth_);
    tabStops_.resize(n, 1);
    if (fixedCols_ >= n) fixedCols_ = n - 1;
    ClampCurrent();
    SizeChanged(oldCols, oldRows);
    UpdateScrollBars();
    UpdateEditor();
    Invalidate();
}

void TCustomGrid::SetRowCount(int n) {
    n = std::max(1, n);
    int oldCols = ColCount(), oldRows = RowCount();
    if (n == oldRows) return;
    rowHeights_.resize(n, defaultRowHeight_);
    if (fixedRows_ >= n) fixedRows_ = n - 1;
    ClampCurrent();
    SizeChanged(oldCols, oldRows);
    UpdateScrollBars();
    UpdateEditor();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int n) {
    // At least one column stays scrollable, as the class library requires.
    if (n < 0 || n >= ColCount()) throw plat::Exception("Fixed column count must be less than column count");
    fixedCols_ = n;
    ClampCurrent();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetFixedRows(int n) {
    if (n < 0 || n >= RowCount()) throw plat::Exception("Fixed row count must be less than row count");
    fixedRows_ = n;
    ClampCurrent();
    UpdateScrollBars();
    Invalidate();
}

int TCustomGrid::ColLeft(int col) const {
    int x = 0;
    if (col < fixedCols_) {
        for (int c = 0; c < col; ++c) x += colWidths_[c] + gridLineWidth_;
        return x;
    }
    if (col < topLeft_.X) return -1;
    for (int c = 0; c < fixedCols_; ++c) x += colWidths_[c] + gridLineWidth_;
    for (int c = topLeft_.X; c < col; ++c) x += colWidths_[c] + gridLineWidth_;
    return x;
}

int TCustomGrid::RowTop(int row) const {
    int y = 0;
    if (row < fixedRows_) {
        for (int r = 0; r < row; ++r) y += rowHeights_[r] + gridLineWidth_;
        return y;
    }
    if (row < topLeft_.Y) return -1;
    for (int r = 0; r < fixedRows_; ++r) y += rowHeights_[r] + gridLineWidth_;
    for (int r = topLeft_.Y; r < row; ++r) y += rowHeights_[r] + gridLineWidth_;
    return y;
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const {
    if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) return {};
    int x = ColLeft(ACol), y = RowTop(ARow);
    TRect client = ClientRect();
    if (x < 0 || y < 0 || x >= client.Right || y >= client.Bottom) return {};
    return Rect(x, y, x + colWidths_[ACol], y + rowHeights_[ARow]);
}

TRect TCustomGrid::BoxRect(int ALeft, int ATop, int ARight, int ABottom) const {
    TRect out;
    bool any = false;
    for (int r = std::min(ATop, ABottom); r <= std::max(ATop, ABottom); ++r)
        for (int c = std::min(ALeft, ARight); c <= std::max(ALeft, ARight); ++c) {
            TRect cell = CellRect(c, r);
            if (cell.IsEmpty()) continue;
            if (!any) out = cell;
            out.Left = std::min(out.Left, cell.Left);
            out.Top = std::min(out.Top, cell.Top);
            out.Right = std::max(out.Right, cell.Right);
            out.Bottom = std::max(out.Bottom, cell.Bottom);
            any = true;
        }
    if (!any) return {};
    TRect clipped;
    IntersectRect(clipped, out, ClientRect());
    return clipped;
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const {
    TGridCoord out{-1, -1};
    TRect client = ClientRect();
    if (!client.Contains({X, Y})) return out;
    auto find = [](int p, int fixed, int first, int count, const std::vector<int>& sizes, int line, int limit) {
        int pos = 0;
        for (int i = 0; i < count && pos < limit; ++i) {
            if (i == fixed) i = std::max(i, first);
            if (i >= count) break;
            if (p >= pos && p < pos + sizes[i]) return i;
            pos += sizes[i] + line;
        }
        return -1;
    };
    out.X = find(X, fixedCols_, topLeft_.X, ColCount(), colWidths_, gridLineWidth_, client.Right);
    out.Y = find(Y, fixedRows_, topLeft_.Y, RowCount(), rowHeights_, gridLineWidth_, client.Bottom);
    if (out.X < 0 || out.Y < 0) return {-1, -1};
    return out;
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const {
    TGridCoord c = MouseCoord(X, Y);
    ACol = c.X;
    ARow = c.Y;
}

int TCustomGrid::VisibleColCount() const {
    int x = 0;
    for (int c = 0; c < fixedCols_; ++c) x += colWidths_[c] + gridLineWidth_;
    int n = 0;
    for (int c = topLeft_.X; c < ColCount(); ++c) {
        if (x + colWidths_[c] > ClientWidth()) break;
        x += colWidths_[c] + gridLineWidth_;
        ++n;
    }
    return n;
}

int TCustomGrid::VisibleRowCount() const {
    int y = 0;
    for (int r = 0; r < fixedRows_; ++r) y += rowHeights_[r] + gridLineWidth_;
    int n = 0;
    for (int r = topLeft_.Y; r < RowCount(); ++r) {
        if (y + rowHeights_[r] > ClientHeight()) break;
        y += rowHeights_[r] + gridLineWidth_;
        ++n;
    }
    return n;
}

namespace {

// The first scrollable item (from `fixed` on) that lets the items from it to
// `last` all fit in `space` pixels; `last` itself when not even it fits.
// It walks back from `last`, so it costs the items that fit, not all of them.
int FirstFitting(const std::vector<int>& sizes, int fixed, int last, int space, int lineWidth) {
    int used = 0, i = last;
    while (i >= fixed && used + sizes[static_cast<std::size_t>(i)] <= space) {
        used += sizes[static_cast<std::size_t>(i)] + lineWidth;
        --i;
    }
    return std::min(i + 1, last);
}

}  // namespace

int TCustomGrid::FixedWidth() const {
    int x = 0;
    for (int c = 0; c < fixedCols_; ++c) x += colWidths_[c] + gridLineWidth_;
    return x;
}

int TCustomGrid::FixedHeight() const {
    int y = 0;
    for (int r = 0; r < fixedRows_; ++r) y += rowHeights_[r] + gridLineWidth_;
    return y;
}

int TCustomGrid::MaxLeftCol() const {
    int last = std::max(fixedCols_, ColCount() - 1);
    if (ColCount() <= fixedCols_) return fixedCols_;
    return std::max(fixedCols_, FirstFitting(colWidths_, fixedCols_, last, ClientWidth() - FixedWidth(), gridLineWidth_));
}

int TCustomGrid::MaxTopRow() const {
    int last = std::max(fixedRows_, RowCount() - 1);
    if (RowCount() <= fixedRows_) return fixedRows_;
    return std::max(fixedRows_, FirstFitting(rowHeights_, fixedRows_, last, ClientHeight() - FixedHeight(), gridLineWidth_));
}

void TCustomGrid::UpdateScrollBars() {
    bool vert = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
    bool horz = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
    int maxTop = MaxTopRow(), maxLeft = MaxLeftCol();
    // Only the bars of the style are the grid's own.
    if (vert && maxTop > fixedRows_) {
        SetScrollBarRange(this, SB_VERT, fixedRows_, maxTop);
        SetScrollPos(SB_VERT, topLeft_.Y);
    } else if (vert) {
        SetScrollBarRange(this, SB_VERT, 0, 0);
    }
    if (horz && maxLeft > fixedCols_) {
        SetScrollBarRange(this, SB_HORZ, fixedCols_, maxLeft);
        SetScrollPos(SB_HORZ, topLeft_.X);
    } else if (horz) {
        SetScrollBarRange(this, SB_HORZ, 0, 0);
    }
}

// --- scrolling and moving -----------------------------------------------------------------

void TCustomGrid::SetLeftCol(int c) {
    c = std::clamp(c, fixedCols_, MaxLeftCol());
    if (c == topLeft_.X) return;
    topLeft_.X = c;
    UpdateScrollBars();
    Invalidate();
    UpdateEditor();
    TopLeftChanged();
}

void TCustomGrid::SetTopRow(int r) {
    r = std::clamp(r, fixedRows_, MaxTopRow());
    if (r == topLeft_.Y) return;
    topLeft_.Y = r;
    UpdateScrollBars();
    Invalidate();
    UpdateEditor();
    TopLeftChanged();
}

void TCustomGrid::ScrollToCurrent() {
    int left = topLeft_.X, top = topLeft_.Y;
    // Back to the current cell, or on just far enough that it shows whole
    // (at the left or top when it is wider or taller than the grid).
    if (cur_.X < left) left = cur_.X;
    else if (cur_.X > left)
        left = std::max(left, FirstFitting(colWidths_, fixedCols_, cur_.X, ClientWidth() - FixedWidth(), gridLineWidth_));
    if (cur_.Y < top) top = cur_.Y;
    else if (cur_.Y > top)
        top = std::max(top, FirstFitting(rowHeights_, fixedRows_, cur_.Y, ClientHeight() - FixedHeight(), gridLineWidth_));
    if (left != topLeft_.X || top != topLeft_.Y) {
        topLeft_ = {left, top};
        UpdateScrollBars();
        Invalidate();
        TopLeftChanged();
    }
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show) {
    ACol = std::clamp(ACol, fixedCols_, std::max(fixedCols_, ColCount() - 1));
    ARow = std::clamp(ARow, fixedRows_, std::max(fixedRows_, RowCount() - 1));
    if (ACol != cur_.X || ARow != cur_.Y) {
        if (!SelectCell(ACol, ARow)) return;
        // What was typed in the old cell is in it already; the editor leaves
        // or follows, as the options say.
        bool keepEditor = editorMode_ && (options_ & goAlwaysShowEditor);
        if (editorMode_ && !keepEditor) HideEditor();
        InvalidateCell(cur_.X, cur_.Y);
        if (options_ & goRowSelect) InvalidateRow(cur_.Y);
        cur_ = {ACol, ARow};
    }
    if (MoveAnchor || !(options_ & goRangeSelect)) anchor_ = cur_;
    if (Show) ScrollToCurrent();
    Invalidate();
    UpdateEditor();
}

void TCustomGrid::SetCol(int c) { MoveColRow(c, cur_.Y, true, true); }
void TCustomGrid::SetRow(int r) { MoveColRow(cur_.X, r, true, true); }

TGridRect TCustomGrid::Selection() const {
    TGridRect r{std::min(anchor_.X, cur_.X), std::min(anchor_.Y, cur_.Y), std::max(anchor_.X, cur_.X),
                std::max(anchor_.Y, cur_.Y)};
    if (options_ & goRowSelect) {
        r.Left = fixedCols_;
        r.Right = ColCount() - 1;
    }
    return r;
}

void TCustomGrid::SetSelection(const TGridRect& r) {
    anchor_ = {r.Left, r.Top};
    MoveColRow(r.Right, r.Bottom, false, true);
    anchor_ = {std::clamp(r.Left, fixedCols_, ColCount() - 1), std::clamp(r.Top, fixedRows_, RowCount() - 1)};
    Invalidate();
}

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
    if (FromIndex == ToIndex || FromIndex < fixedCols_ || ToIndex < fixedCols_ || FromIndex >= ColCount() ||
        ToIndex >= ColCount())
        return;
    HideEditor();
    int w = colWidths_[FromIndex];
    colWidths_.erase(colWidths_.begin() + FromIndex);
    colWidths_.insert(colWidths_.begin() + ToIndex, w);
    const char stop = tabStops_[FromIndex];
    tabStops_.erase(tabStops_.begin() + FromIndex);
    tabStops_.insert(tabStops_.begin() + ToIndex, stop);
    ColumnMoved(FromIndex, ToIndex);
    if (cur_.X == FromIndex) cur_.X = ToIndex;
    Invalidate();
}

void TCustomGrid::MoveRow(int FromIndex, int ToIndex) {
    if (FromIndex == ToIndex || FromIndex < fixedRows_ || ToIndex < fixedRows_ || FromIndex >= RowCount() ||
        ToIndex >= RowCount())
        return;
    HideEditor();
    int h = rowHeights_[FromIndex];
    rowHeights_.erase(rowHeights_.begin() + FromIndex);
    rowHeights_.insert(rowHeights_.begin() + ToIndex, h);
    RowMoved(FromIndex, ToIndex);
    if (cur_.Y == FromIndex) cur_.Y = ToIndex;
    Invalidate();
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) {
    TRect r = CellRect(ACol, ARow);
    if (!r.IsEmpty()) {
        InflateRect(r, gridLineWidth_, gridLineWidth_);
        InvalidateRect(r);
    }
}

void TCustomGrid::InvalidateRow(int ARow) {
    TRect r = BoxRect(0, ARow, ColCount() - 1, ARow);
    if (!r.IsEmpty()) InvalidateRect(r);
}

void TCustomGrid::InvalidateCol(int ACol) {
    TRect r = BoxRect(ACol, 0, ACol, RowCount() - 1);
    if (!r.IsEmpty()) InvalidateRect(r);
}

void TCustomGrid::InvalidateEditor() {
    if (editor_ && editorMode_) editor_->UpdateContents();
}

// --- the editor ---------------------------------------------------------------------------

std::string TCustomGrid::GetEditText(int, int) { return {}; }
void TCustomGrid::SetEditText(int, int, const std::string&) {}
std::string TCustomGrid::GetEditMask(int, int) { return {}; }
int TCustomGrid::GetEditLimit() { return 0; }
bool TCustomGrid::CanEditModify() { return true; }
bool TCustomGrid::CanEditShow() {
    return (options_ & goEditing) && !(options_ & goRowSelect);
}
bool TCustomGrid::CanEditAcceptKey(char) { return true; }

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid::SetEditorMode(bool on) {
    if (on) ShowEditor();
    else HideEditor();
}

void TCustomGrid::ShowEditor() {
    if (!(options_ & goEditing) || (options_ & goRowSelect) || !CanEditShow()) return;
    if (!editor_) {
        editor_ = CreateEditor();
        editor_->SetParent(this);
        editor_->Font().Assign(Font());
    }
    ScrollToCurrent();
    editorMode_ = true;
    TRect r = CellRect(cur_.X, cur_.Y);
    editor_->Move(r);
    editor_->UpdateContents();
    editor_->Show();
    if (Focused() || editor_->Focused() || (ParentForm() && ParentForm()->ActiveControl() == this)) {
        if (editor_->CanFocus()) editor_->SetFocus();
    }
    editor_->SelectAll();
}

void TCustomGrid::HideEditor() {
    if (!editor_ || !editorMode_) return;
    bool hadFocus = editor_->Focused();
    editorMode_ = false;
    editor_->Hide();
    if (hadFocus && CanFocus()) SetFocus();
    InvalidateCell(cur_.X, cur_.Y);
}

void TCustomGrid::UpdateEditor() {
    if (!editor_ || !editorMode_) return;
    TRect r = CellRect(cur_.X, cur_.Y);
    if (r.IsEmpty()) {
        editor_->Hide();
        return;
    }
    editor_->Move(r);
    editor_->UpdateContents();
    if (!editor_->Visible()) editor_->Show();
}

void TCustomGrid::EditorKeyDown(unsigned& Key, TShiftState Shift) { KeyDown(Key, Shift); }

void TCustomGrid::EditorKeyPress(char& Key) { KeyPress(Key); }

// --- drawing ----------------------------------------------------------------------------------

void TCustomGrid::DrawCell(int, int, TRect, TGridDrawState) {}

void TCustomGrid::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(client);
    TGridRect sel = Selection();
    bool anyLines = options_ & (goVertLine | goHorzLine | goFixedVertLine | goFixedHorzLine);
    for (int row = 0; row < RowCount(); ++row) {
        if (row == fixedRows_) row = std::max(row, topLeft_.Y);
        if (row >= RowCount()) break;
        int y = RowTop(row);
        if (y < 0) continue;
        if (y >= client.Bottom) break;
        for (int col = 0; col < ColCount(); ++col) {
            if (col == fixedCols_) col = std::max(col, topLeft_.X);
            if (col >= ColCount()) break;
            int x = ColLeft(col);
            if (x < 0) continue;
            if (x >= client.Right) break;
            TRect r = Rect(x, y, x + colWidths_[col], y + rowHeights_[row]);
            bool fixed = col < fixedCols_ || row < fixedRows_;
            // The lines after the cell, in the fixed area's colour or the cells'.
            if (anyLines && gridLineWidth_ > 0) {
                bool v = fixed ? (options_ & goFixedVertLine) : (options_ & goVertLine);
                bool h = fixed ? (options_ & goFixedHorzLine) : (options_ & goHorzLine);
                c.Brush().SetStyle(bsSolid);
                c.Brush().SetColor(fixed ? clBlack : clSilver);
                if (v) c.FillRect(Rect(r.Right, r.Top, r.Right + gridLineWidth_, r.Bottom + gridLineWidth_));
                if (h) c.FillRect(Rect(r.Left, r.Bottom, r.Right + gridLineWidth_, r.Bottom + gridLineWidth_));
            }
            TGridDrawState st = 0;
            bool focusedCell = col == cur_.X && row == cur_.Y;
            if (fixed) st |= gdFixed;
            else {
                bool inSel = col >= sel.Left && col <= sel.Right && row >= sel.Top && row <= sel.Bottom;
                if (focusedCell) st |= gdFocused;
                if (inSel && (!focusedCell || (options_ & (goDrawFocusSelected | goRowSelect)))) st |= gdSelected;
                if (!Focused() && !(editor_ && editor_->Focused()) && !(options_ & goRowSelect)) st &= ~gdSelected;
            }
            c.Font().Assign(Font());
            c.Brush().SetStyle(bsSolid);
            if (st & gdFixed) c.Brush().SetColor(FixedColor);
            else if (st & gdSelected) {
                c.Brush().SetColor(clHighlight);
                c.Font().SetColor(clHighlightText);
            } else c.Brush().SetColor(Color());
            if (DefaultDrawing) c.FillRect(r);
            c.SetClipRect(r);
            DrawCell(col, row, r, st);
            c.ResetClip();
            if (DefaultDrawing && (st & gdFixed)) {
                TRect f = r;
                Frame3D(c, f, clBtnHighlight, clBtnShadow, 1);
            }
            if (focusedCell && !fixed && Focused() && !editorMode_ && !(options_ & goRowSelect)) c.DrawFocusRect(r);
        }
    }
}

// --- input ------------------------------------------------------------------------------------

void TCustomGrid::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    TGridCoord to = cur_;
    bool ctrl = Shift & ssCtrl;
    int pageRows = std::max(1, VisibleRowCount());
    switch (Key) {
    case VK_UP: --to.Y; break;
    case VK_DOWN: ++to.Y; break;
    case VK_LEFT: --to.X; break;
    case VK_RIGHT: ++to.X; break;
    case VK_PRIOR: to.Y -= pageRows; break;
    case VK_NEXT: to.Y += pageRows; break;
    case VK_HOME: if (ctrl) to.Y = fixedRows_; to.X = fixedCols_; break;
    case VK_END: if (ctrl) to.Y = RowCount() - 1; to.X = ColCount() - 1; break;
    case VK_TAB: {
        if (!(options_ & goTabs)) return;
        // Columns that are no tab stops are passed over; when none is, Tab
        // stays where it is.
        bool found = false;
        for (int steps = 0; steps < ColCount() * 2 && !found; ++steps) {
            if (Shift & ssShift) {
                if (--to.X < fixedCols_) {
                    to.X = ColCount() - 1;
                    --to.Y;
                }
            } else if (++to.X >= ColCount()) {
                to.X = fixedCols_;
                ++to.Y;
            }
            if (to.Y < fixedRows_ || to.Y >= RowCount()) return;
            found = TabStops(to.X);
        }
        if (!found) return;
        break;
    }
    case VK_F1 + 1:  // F2 opens the editor with the caret at the end
        ShowEditor();
        if (editor_ && editorMode_) editor_->SetSelStart(static_cast<int>(editor_->Text().size()));
        Key = 0;
        return;
    default: return;
    }
    MoveColRow(to.X, to.Y, !((Shift & ssShift) && Key != VK_TAB), true);
    Key = 0;
}

void TCustomGrid::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (Key == 0) return;
    if (Key == '\r') {
        if (editorMode_) HideEditor();
        else ShowEditor();
        Key = 0;
        return;
    }
    if (Key == 27) {
        if (editorMode_ && !(options_ & goAlwaysShowEditor)) HideEditor();
        Key = 0;
        return;
    }
    const auto typed = static_cast<unsigned char>(Key);
    if (editorMode_ && editor_ && (typed >= 32 || typed == 8)) {
        // A key that reaches the grid while its editor shows (typed before
        // the editor took the focus) goes on into the editor's text.
        editor_->Perform(WM_CHAR, typed, 0);
        Key = 0;
        return;
    }
    if (typed >= 32 && !editorMode_ && (options_ & goEditing) && CanEditAcceptKey(Key)) {
        // The first key typed on a cell replaces its text.
        ShowEditor();
        if (editor_ && editorMode_) {
            editor_->SelectAll();
            editor_->Perform(WM_CHAR, typed, 0);
        }
        Key = 0;
    }
}

int TCustomGrid::SizingColAt(int X, int Y) const {
    if (!(options_ & goColSizing)) return -1;
    int fixedHeight = 0;
    for (int r = 0; r < fixedRows_; ++r) fixedHeight += rowHeights_[r] + gridLineWidth_;
    if (Y >= fixedHeight) return -1;
    for (int c = 0; c < ColCount(); ++c) {
        int left = ColLeft(c);
        if (left < 0) continue;
        int right = left + colWidths_[c];
        if (std::abs(X - right) <= kSizingZone) return c;
    }
    return -1;
}

int TCustomGrid::SizingRowAt(int X, int Y) const {
    // The bottom border of a row, grabbed in the fixed columns.
    if (!(options_ & goRowSizing)) return -1;
    int fixedWidth = 0;
    for (int c = 0; c < fixedCols_; ++c) fixedWidth += colWidths_[c] + gridLineWidth_;
    if (X >= fixedWidth) return -1;
    for (int r = 0; r < RowCount(); ++r) {
        int top = RowTop(r);
        if (top < 0) continue;
        int bottom = top + rowHeights_[r];
        if (std::abs(Y - bottom) <= kSizingZone) return r;
    }
    return -1;
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    if (CanFocus() && !Focused() && !(editor_ && editor_->Focused())) SetFocus();
    sizingCol_ = SizingColAt(X, Y);
    if (sizingCol_ >= 0) {
        sizingStart_ = ColLeft(sizingCol_);
        return;
    }
    sizingRow_ = SizingRowAt(X, Y);
    if (sizingRow_ >= 0) {
        sizingRowStart_ = RowTop(sizingRow_);
        return;
    }
    TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < 0) return;
    if (cell.Y < fixedRows_ && cell.X >= fixedCols_ && (options_ & goColMoving)) {
        movingCol_ = cell.X;
        return;
    }
    if (cell.X < fixedCols_ && cell.Y >= fixedRows_ && (options_ & goRowMoving)) {
        movingRow_ = cell.Y;
        return;
    }
    if (cell.X < fixedCols_ || cell.Y < fixedRows_) return;
    if (cell == cur_ && (options_ & goEditing) && !editorMode_) {
        ShowEditor();
        return;
    }
    MoveColRow(cell.X, cell.Y, !(Shift & ssShift), true);
    selecting_ = true;
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    if (sizingCol_ < 0 && movingCol_ < 0 && sizingRow_ < 0 && movingRow_ < 0)
        SetCursor(SizingColAt(X, Y) >= 0 ? crHSplit : SizingRowAt(X, Y) >= 0 ? crVSplit : crDefault);
    if (selecting_ && (Shift & ssLeft) && (options_ & goRangeSelect)) {
        TGridCoord cell = MouseCoord(X, Y);
        if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) MoveColRow(cell.X, cell.Y, false, true);
    }
    if (selecting_ && (Shift & ssLeft)) TrackTimedScroll(X, Y);
}

namespace {
constexpr UINT kTimedScrollTimer = 0x5C01;
constexpr UINT kTimedScrollMs = 60;
}  // namespace

void TCustomGrid::TrackTimedScroll(int X, int Y) {
    unsigned dir = 0;
    if (X < FixedWidth()) dir |= sdLeft;
    else if (X >= ClientWidth()) dir |= sdRight;
    if (Y < FixedHeight()) dir |= sdUp;
    else if (Y >= ClientHeight()) dir |= sdDown;
    if (dir == scrollDirection_) return;
    if (dir == 0) {
        StopTimedScroll();
        return;
    }
    if (scrollDirection_ == 0) plat::SetTimer(Handle(), kTimedScrollTimer, kTimedScrollMs);
    scrollDirection_ = dir;
}

void TCustomGrid::StopTimedScroll() {
    if (scrollDirection_ != 0 && HandleAllocated()) plat::KillTimer(Handle(), kTimedScrollTimer);
    scrollDirection_ = 0;
}

void TCustomGrid::TimedScroll(unsigned Direction) {
    int col = cur_.X, row = cur_.Y;
    if (Direction & sdLeft) col = std::max(fixedCols_, col - 1);
    if (Direction & sdRight) col = std::min(ColCount() - 1, col + 1);
    if (Direction & sdUp) row = std::max(fixedRows_, row - 1);
    if (Direction & sdDown) row = std::min(RowCount() - 1, row + 1);
    if (col != cur_.X || row != cur_.Y) MoveColRow(col, row, !(options_ & goRangeSelect), true);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (sizingCol_ >= 0) {
        SetColWidths(sizingCol_, std::max(kMinCellSize, X - sizingStart_));
        sizingCol_ = -1;
    }
    if (movingCol_ >= 0) {
        TGridCoord cell = MouseCoord(X, std::max(0, std::min(Y, ClientHeight() - 1)));
        int from = movingCol_;
        movingCol_ = -1;
        if (cell.X >= fixedCols_) MoveColumn(from, cell.X);
    }
    if (sizingRow_ >= 0) {
        SetRowHeights(sizingRow_, std::max(kMinCellSize, Y - sizingRowStart_));
        sizingRow_ = -1;
    }
    if (movingRow_ >= 0) {
        TGridCoord cell = MouseCoord(std::max(0, std::min(X, ClientWidth() - 1)), Y);
        int from = movingRow_;
        movingRow_ = -1;
        if (cell.Y >= fixedRows_) MoveRow(from, cell.Y);
    }
    selecting_ = false;
    StopTimedScroll();
}

void TCustomGrid::DoExit() {
    selecting_ = false;
    StopTimedScroll();
    TCustomControl::DoExit();
}

void TCustomGrid::Resize() {
    ClampCurrent();
    UpdateScrollBars();
    UpdateEditor();
    TCustomControl::Resize();
}

void TCustomGrid::Scroll(int bar, int code, int pos) {
    bool vert = bar == SB_VERT;
    int cur = vert ? topLeft_.Y : topLeft_.X;
    int page = std::max(1, vert ? VisibleRowCount() : VisibleColCount());
    int minPos = vert ? fixedRows_ : fixedCols_;
    int maxPos = vert ? MaxTopRow() : MaxLeftCol();
    int next = cur;
    switch (code) {
    case SB_LINEUP: next = cur - 1; break;
    case SB_LINEDOWN: next = cur + 1; break;
    case SB_PAGEUP: next = cur - page; break;
    case SB_PAGEDOWN: next = cur + page; break;
    case SB_THUMBTRACK:
        if (!(options_ & goThumbTracking)) return;
        next = pos;
        break;
    case SB_THUMBPOSITION: next = pos; break;
    case SB_TOP: next = minPos; break;
    case SB_BOTTOM: next = maxPos; break;
    default: return;
    }
    if (vert) SetTopRow(next);
    else SetLeftCol(next);
}

void TCustomGrid::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        if (options_ & goTabs) m.Result |= DLGC_WANTTAB;
        if (options_ & goEditing) m.Result |= DLGC_WANTALLKEYS;
        return;
    case WM_VSCROLL:
    case WM_HSCROLL:
        Scroll(m.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(m.WParam), HIWORD(m.WParam));
        return;
    case WM_TIMER:
        if (m.WParam == kTimedScrollTimer) {
            if (selecting_ && scrollDirection_ != 0) TimedScroll(scrollDirection_);
            else StopTimedScroll();
            return;
        }
        TCustomControl::WndProc(m);
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

void TCustomGrid::TopLeftChanged() {}
void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::RowMoved(int, int) {}

void TCustomGrid::ColWidthsChanged() {
    ClampCurrent();
    UpdateScrollBars();
    UpdateEditor();
    Invalidate();
}

void TCustomGrid::RowHeightsChanged() {
    ClampCurrent();
    UpdateScrollBars();
    UpdateEditor();
    Invalidate();
}

void TCustomGrid::SizeChanged(int, int) {}

bool TCustomGrid::SelectCell(int, int) { return true; }

// ===========================================================================
// TDrawGrid

void TDrawGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
    if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

bool TDrawGrid::SelectCell(int ACol, int ARow) {
    bool can = true;
    if (OnSelectCell) OnSelectCell(this, ACol, ARow, can);
    return can;
}

std::string TDrawGrid::GetEditText(int ACol, int ARow) {
    std::string v;
    if (OnGetEditText) OnGetEditText(this, ACol, ARow, v);
    return v;
}

void TDrawGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
    if (OnSetEditText) OnSetEditText(this, ACol, ARow, Value);
}

std::string TDrawGrid::GetEditMask(int ACol, int ARow) {
    std::string v;
    if (OnGetEditMask) OnGetEditMask(this, ACol, ARow, v);
    return v;
}

void TDrawGrid::TopLeftChanged() {
    if (OnTopLeftChanged) OnTopLeftChanged(this);
}

void TDrawGrid::ColumnMoved(int FromIndex, int ToIndex) {
    if (OnColumnMoved) OnColumnMoved(this, FromIndex, ToIndex);
}

void TDrawGrid::RowMoved(int FromIndex, int ToIndex) {
    if (OnRowMoved) OnRowMoved(this, FromIndex, ToIndex);
}

// ===========================================================================
// TStringGrid

std::string TStringGrid::Cells(int ACol, int ARow) const {
    auto it = cells_.find({ARow, ACol});
    return it == cells_.end() ? std::string() : it->second.text;
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& s) {
    if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) throw plat::Exception("Grid index out of range");
    cells_[{ARow, ACol}].text = s;
    InvalidateCell(ACol, ARow);
    if (ACol == Col() && ARow == Row()) InvalidateEditor();
}

void* TStringGrid::Objects(int ACol, int ARow) const {
    auto it = cells_.find({ARow, ACol});
    return it == cells_.end() ? nullptr : it->second.object;
}

void TStringGrid::SetObjects(int ACol, int ARow, void* o) {
    if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) throw plat::Exception("Grid index out of range");
    cells_[{ARow, ACol}].object = o;
}

plat::StringList TStringGrid::Rows(int ARow) const {
    plat::StringList l;
    for (int c = 0; c < ColCount(); ++c) l.Add(Cells(c, ARow), Objects(c, ARow));
    return l;
}

void TStringGrid::SetRows(int ARow, const plat::StringList& l) {
    for (int c = 0; c < ColCount(); ++c) SetCells(c, ARow, c < l.Count() ? l[c] : std::string());
}

plat::StringList TStringGrid::Cols(int ACol) const {
    plat::StringList l;
    for (int r = 0; r < RowCount(); ++r) l.Add(Cells(ACol, r), Objects(ACol, r));
    return l;
}

void TStringGrid::SetCols(int ACol, const plat::StringList& l) {
    for (int r = 0; r < RowCount(); ++r) SetCells(ACol, r, r < l.Count() ? l[r] : std::string());
}

std::string TStringGrid::GetEditText(int ACol, int ARow) {
    std::string v = Cells(ACol, ARow);
    if (OnGetEditText) OnGetEditText(this, ACol, ARow, v);
    return v;
}

void TStringGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
    cells_[{ARow, ACol}].text = Value;
    InvalidateCell(ACol, ARow);
    TDrawGrid::SetEditText(ACol, ARow, Value);
}

void TStringGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
    if (DefaultDrawing) {
        TCanvas& c = Canvas();
        c.Brush().SetStyle(bsClear);
        c.TextRect(ARect, ARect.Left + 2, ARect.Top + 2, Cells(ACol, ARow));
        c.Brush().SetStyle(bsSolid);
    }
    TDrawGrid::DrawCell(ACol, ARow, ARect, AState);
}

void TStringGrid::ColumnMoved(int FromIndex, int ToIndex) {
    std::map<std::pair<int, int>, Cell> moved;
    for (auto& [key, cell] : cells_) {
        int c = key.second;
        if (c == FromIndex) c = ToIndex;
        else if (FromIndex < ToIndex && c > FromIndex && c <= ToIndex) --c;
        else if (FromIndex > ToIndex && c >= ToIndex && c < FromIndex) ++c;
        moved[{key.first, c}] = cell;
    }
    cells_ = std::move(moved);
    TDrawGrid::ColumnMoved(FromIndex, ToIndex);
}

void TStringGrid::RowMoved(int FromIndex, int ToIndex) {
    std::map<std::pair<int, int>, Cell> moved;
    for (auto& [key, cell] : cells_) {
        int r = key.first;
        if (r == FromIndex) r = ToIndex;
        else if (FromIndex < ToIndex && r > FromIndex && r <= ToIndex) --r;
        else if (FromIndex > ToIndex && r >= ToIndex && r < FromIndex) ++r;
        moved[{r, key.second}] = cell;
    }
    cells_ = std::move(moved);
    TDrawGrid::RowMoved(FromIndex, ToIndex);
}

void TStringGrid::SizeChanged(int OldColCount, int OldRowCount) {
    for (auto it = cells_.begin(); it != cells_.end();) {
        if (it->first.first >= RowCount() || it->first.second >= ColCount()) it = cells_.erase(it);
        else ++it;
    }
    TDrawGrid::SizeChanged(OldColCount, OldRowCount);
}

}  // namespace gui
