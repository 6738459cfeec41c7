#include "platform/gui/lists.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/gui/drop_down.h"
#include "platform/gui/controls_support.h"

#include <algorithm>
#include <cstring>

namespace gui {

int FindListString(const plat::StringList& items, int start, const std::string& prefix, bool exact) {
    int n = items.Count();
    if (n == 0) return -1;
    if (start < -1 || start >= n) start = -1;
    for (int k = 1; k <= n; ++k) {
        int i = (start + k) % n;
        const std::string& s = items[i];
        if (exact) {
            if (plat::CompareAnsi(s, prefix, true) == 0) return i;
        } else if (s.size() >= prefix.size() && plat::CompareAnsi(std::string_view(s).substr(0, prefix.size()), prefix, true) == 0) {
            return i;
        }
    }
    return -1;
}

namespace {

const char* LParamText(LPARAM lp) { return lp ? reinterpret_cast<const char*>(lp) : ""; }

void DefaultDrawItem(TCanvas& c, const plat::StringList& items, int index, TRect r, TOwnerDrawState state) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor((state & odSelected) ? clHighlight : clWindow);
    c.FillRect(r);
    if (index < 0 || index >= items.Count()) return;
    c.Font().SetColor((state & odSelected) ? clHighlightText : ((state & odDisabled) ? clGrayText : clWindowText));
    c.Brush().SetStyle(bsClear);
    c.TextRect(r, r.Left + 2, r.Top + std::max(0, (r.Height() - c.TextHeight("Wg")) / 2), items[index]);
}

}  // namespace

// ===========================================================================
// TCustomListBox

TCustomListBox::TCustomListBox(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 121, 97);
    SetColor(clWindow);
    SetTabStop(true);
    // Clicks are raised by selection changes, not by every release.
    ControlStyle &= ~csClickEvents;
    items_.OnChange = [this](plat::StringList&) { ItemsChanged(); };
}

TCustomListBox::~TCustomListBox() { items_.OnChange = nullptr; }

void TCustomListBox::ItemsChanged() {
    selected_.resize(items_.Count(), false);
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    topIndex_ = std::clamp(topIndex_, 0, std::max(0, items_.Count() - 1));
    heights_.clear();
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle s) {
    style_ = s;
    heights_.clear();
    Invalidate();
}

void TCustomListBox::SetItemHeight(int h) {
    itemHeight_ = std::max(1, h);
    heights_.clear();
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetMultiSelect(bool m) {
    multiSelect_ = m;
    std::fill(selected_.begin(), selected_.end(), false);
    Invalidate();
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

int TCustomListBox::HeightOf(int index) const {
    if (style_ != lbOwnerDrawVariable) return itemHeight_;
    if (static_cast<int>(heights_.size()) != items_.Count()) {
        heights_.assign(items_.Count(), itemHeight_);
        for (int i = 0; i < items_.Count(); ++i) {
            int h = itemHeight_;
            const_cast<TCustomListBox*>(this)->MeasureItem(i, h);
            heights_[i] = std::clamp(h, 1, 255);
        }
    }
    return index >= 0 && index < static_cast<int>(heights_.size()) ? heights_[index] : itemHeight_;
}

int TCustomListBox::RowsPerColumn() const {
    int inset = BorderStyle == bsSingle ? 2 : 0;
    return std::max(1, (ClientRect().Height() - 2 * inset) / itemHeight_);
}

int TCustomListBox::ColumnWidth() const {
    int inset = BorderStyle == bsSingle ? 2 : 0;
    return std::max(1, (ClientRect().Width() - 2 * inset) / std::max(1, columns_));
}

void TCustomListBox::SetColumns(int columns) {
    columns_ = std::max(0, columns);
    SetScrollBarRange(this, SB_VERT, 0, 0);
    SetScrollBarRange(this, SB_HORZ, 0, 0);
    SetTopIndex(0);
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetIntegralHeight(bool on) {
    integralHeight_ = on;
    SetBounds(Left(), Top(), Width(), Height());
}

void TCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (integralHeight_ && style_ != lbOwnerDrawVariable) {
        // What is not item space (borders, a scroll bar) stays; the items get whole rows.
        int inset = BorderStyle == bsSingle ? 2 : 0;
        int extra = std::max(0, Height() - ClientRect().Height()) + 2 * inset;
        int rows = std::max(1, (AHeight - extra) / itemHeight_);
        AHeight = extra + rows * itemHeight_;
    }
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

TRect TCustomListBox::ItemRect(int index) const {
    if (InColumns()) {
        int rows = RowsPerColumn();
        int rel = index - topIndex_;
        int col = rel >= 0 ? rel / rows : -((-rel + rows - 1) / rows);
        int row = rel - col * rows;
        int inset = BorderStyle == bsSingle ? 2 : 0;
        int w = ColumnWidth();
        return Bounds(inset + col * w, inset + row * itemHeight_, w, itemHeight_);
    }
    int y = 0;
    if (index >= topIndex_)
        for (int i = topIndex_; i < index; ++i) y += HeightOf(i);
    else
        for (int i = index; i < topIndex_; ++i) y -= HeightOf(i);
    int inset = BorderStyle == bsSingle ? 2 : 0;
    TRect client = ClientRect();
    return Rect(inset, y + inset, client.Right - inset, y + inset + HeightOf(index));
}

int TCustomListBox::VisibleCount() const {
    if (InColumns()) return RowsPerColumn() * columns_;
    int inset = BorderStyle == bsSingle ? 2 : 0;
    int space = ClientRect().Height() - 2 * inset;
    int n = 0;
    for (int i = topIndex_; i < items_.Count() && space >= HeightOf(i); ++i, ++n) space -= HeightOf(i);
    return std::max(1, n);
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const {
    if (!ClientRect().Contains(pos)) return -1;
    if (InColumns()) {
        int inset = BorderStyle == bsSingle ? 2 : 0;
        int rows = RowsPerColumn();
        int col = std::max(0, pos.x - inset) / ColumnWidth();
        int row = std::max(0, pos.y - inset) / itemHeight_;
        int i = row < rows ? topIndex_ + col * rows + row : items_.Count();
        if (i < items_.Count()) return i;
        return existing ? -1 : items_.Count();
    }
    for (int i = topIndex_; i < items_.Count(); ++i) {
        TRect r = ItemRect(i);
        if (r.Top > ClientRect().Bottom) break;
        if (pos.y >= r.Top && pos.y < r.Bottom) return i;
    }
    return existing ? -1 : items_.Count();
}

void TCustomListBox::SetTopIndex(int i) {
    int maxTop = std::max(0, items_.Count() - 1);
    i = std::clamp(i, 0, maxTop);
    // In columns the top item is the first of a column.
    if (InColumns()) i -= i % RowsPerColumn();
    if (i == topIndex_) return;
    topIndex_ = i;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::UpdateScrollBar() {
    // A bar coming or going resizes the client area, which comes back here.
    if (updatingBars_) return;
    updatingBars_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{updatingBars_};
    int n = items_.Count();
    if (InColumns()) {
        int rows = RowsPerColumn();
        int total = (n + rows - 1) / rows;
        SetScrollBarRange(this, SB_HORZ, 0, std::max(0, total - columns_));
        rows = RowsPerColumn();  // the bar may have taken a row
        SetScrollPos(SB_HORZ, topIndex_ / rows);
        return;
    }
    int saveTop = topIndex_;
    topIndex_ = 0;
    int fits = VisibleCount();
    topIndex_ = saveTop;
    if (n > fits) {
        SetScrollBarRange(this, SB_VERT, 0, n - fits);
        SetScrollPos(SB_VERT, topIndex_);
    } else {
        SetScrollBarRange(this, SB_VERT, 0, 0);
    }
}

void TCustomListBox::SetItemIndex(int i) {
    if (i < -1 || i >= items_.Count()) i = -1;
    if (multiSelect_) {
        itemIndex_ = i;
    } else {
        std::fill(selected_.begin(), selected_.end(), false);
        itemIndex_ = i;
        if (i >= 0) selected_[i] = true;
    }
    if (i >= 0) {
        if (i < topIndex_) SetTopIndex(i);
        else if (i >= topIndex_ + VisibleCount() && InColumns())
            SetTopIndex((i / RowsPerColumn() - columns_ + 1) * RowsPerColumn());
        else if (i >= topIndex_ + VisibleCount()) SetTopIndex(i - VisibleCount() + 1);
    }
    Invalidate();
}

bool TCustomListBox::Selected(int i) const {
    if (i < 0 || i >= items_.Count()) throw plat::EListError("List index out of bounds (" + std::to_string(i) + ")");
    return selected_[i];
}

void TCustomListBox::SetSelected(int i, bool s) {
    if (i < 0 || i >= items_.Count()) throw plat::EListError("List index out of bounds (" + std::to_string(i) + ")");
    if (!multiSelect_) {
        if (s) SetItemIndex(i);
        else if (i == itemIndex_) SetItemIndex(-1);
        return;
    }
    selected_[i] = s;
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!multiSelect_) return -1;
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), true));
}

void TCustomListBox::Clear() { items_.Clear(); }

void TCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    if (style_ != lbStandard && OnDrawItem) {
        TCanvas& c = Canvas();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor((State & odSelected) ? clHighlight : Color());
        c.Font().Assign(Font());
        if (State & odSelected) c.Font().SetColor(clHighlightText);
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    DefaultDrawItem(Canvas(), items_, Index, Rect, State);
}

void TCustomListBox::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    if (BorderStyle == bsSingle) {
        TRect f = ClientRect();
        Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
        Frame3D(c, f, cl3DDkShadow, cl3DLight, 1);
    }
    int inset = BorderStyle == bsSingle ? 2 : 0;
    TRect inner = ClientRect();
    InflateRect(inner, -inset, -inset);
    c.SetClipRect(inner);
    for (int i = topIndex_; i < items_.Count(); ++i) {
        TRect r = ItemRect(i);
        if (InColumns() ? r.Left >= inner.Right : r.Top >= inner.Bottom) break;
        TOwnerDrawState st = 0;
        if (selected_[i]) st |= odSelected;
        if (!Enabled()) st |= odDisabled;
        if (Focused() && i == itemIndex_) st |= odFocused;
        c.Font().Assign(Font());
        DrawItem(i, r, st);
        if (st & odFocused) Canvas().DrawFocusRect(r);
    }
    Canvas().ResetClip();
}

void TCustomListBox::SelectionChangedByUser() { Click(); }

void TCustomListBox::SelectByUser(int index, TShiftState shift) {
    if (index < 0 || index >= items_.Count()) return;
    if (multiSelect_) {
        if (ExtendedSelect && (shift & ssShift) && anchor_ >= 0) {
            std::fill(selected_.begin(), selected_.end(), false);
            for (int i = std::min(anchor_, index); i <= std::max(anchor_, index); ++i) selected_[i] = true;
        } else if (!ExtendedSelect || (shift & ssCtrl)) {
            selected_[index] = !selected_[index];
            anchor_ = index;
        } else {
            std::fill(selected_.begin(), selected_.end(), false);
            selected_[index] = true;
            anchor_ = index;
        }
        itemIndex_ = index;
        SetItemIndex(index);
        SelectionChangedByUser();
        return;
    }
    if (index == itemIndex_) return;
    SetItemIndex(index);
    SelectionChangedByUser();
}

void TCustomListBox::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0 || items_.Count() == 0) return;
    int cur = itemIndex_;
    int page = std::max(1, VisibleCount() - 1);
    int next = cur;
    switch (Key) {
    case VK_UP: next = cur <= 0 ? 0 : cur - 1; break;
    case VK_DOWN: next = std::min(items_.Count() - 1, cur + 1); break;
    case VK_HOME: next = 0; break;
    case VK_END: next = items_.Count() - 1; break;
    case VK_PRIOR: next = std::max(0, cur - page); break;
    case VK_NEXT: next = std::min(items_.Count() - 1, std::max(0, cur) + page); break;
    // In columns, left and right go to the neighbouring column.
    case VK_LEFT:
        if (!InColumns()) return;
        next = std::max(0, cur - RowsPerColumn());
        break;
    case VK_RIGHT:
        if (!InColumns()) return;
        next = std::min(items_.Count() - 1, std::max(0, cur) + RowsPerColumn());
        break;
    default: return;
    }
    SelectByUser(next, CurrentShiftState() & ssShift);
    Key = 0;
}

void TCustomListBox::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (static_cast<unsigned char>(Key) < 32) return;
    // A letter goes to the next item beginning with it.
    int found = FindListString(items_, itemIndex_, std::string(1, Key), false);
    if (found >= 0) SelectByUser(found, 0);
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        tracking_ = true;
        int i = ItemAtPos({X, Y}, true);
        if (i >= 0) SelectByUser(i, Shift);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::MouseMove(TShiftState Shift, int X, int Y) {
    if (tracking_ && !multiSelect_ && (Shift & ssLeft)) {
        int i = ItemAtPos({X, Y}, true);
        if (i >= 0) SelectByUser(i, 0);
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    tracking_ = false;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomListBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case LB_ADDSTRING: m.Result = items_.Add(LParamText(m.LParam)); return;
    case LB_INSERTSTRING: {
        auto i = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
        if (i < 0 || i > items_.Count()) i = items_.Count();
        if (items_.Sorted()) m.Result = items_.Add(LParamText(m.LParam));
        else {
            items_.Insert(i, LParamText(m.LParam));
            m.Result = i;
        }
        return;
    }
    case LB_DELETESTRING: {
        auto i = static_cast<int>(m.WParam);
        if (i < 0 || i >= items_.Count()) {
            m.Result = LB_ERR;
            return;
        }
        items_.Delete(i);
        m.Result = items_.Count();
        return;
    }
    case LB_RESETCONTENT: items_.Clear(); return;
    case LB_GETCOUNT: m.Result = items_.Count(); return;
    case LB_GETCURSEL: m.Result = itemIndex_; return;
    case LB_SETCURSEL: {
        auto i = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
        SetItemIndex(i);
        m.Result = (i < 0 || i >= items_.Count()) ? LB_ERR : i;
        return;
    }
    case LB_GETSEL: {
        auto i = static_cast<int>(m.WParam);
        m.Result = (i < 0 || i >= items_.Count()) ? LB_ERR : (selected_[i] ? 1 : 0);
        return;
    }
    case LB_SETSEL: {
        auto i = static_cast<int>(static_cast<std::intptr_t>(m.LParam));
        if (!multiSelect_) {
            m.Result = LB_ERR;
            return;
        }
        if (i == -1) std::fill(selected_.begin(), selected_.end(), m.WParam != 0);
        else if (i >= 0 && i < items_.Count()) selected_[i] = m.WParam != 0;
        Invalidate();
        return;
    }
    case LB_GETSELCOUNT: m.Result = multiSelect_ ? SelCount() : LB_ERR; return;
    case LB_GETTEXTLEN:
    case LB_GETTEXT: {
        auto i = static_cast<int>(m.WParam);
        if (i < 0 || i >= items_.Count()) {
            m.Result = LB_ERR;
            return;
        }
        const std::string& s = items_[i];
        // Like Win32, the caller's buffer must hold the whole item.
        if (m.Msg == LB_GETTEXT && m.LParam) std::memcpy(reinterpret_cast<char*>(m.LParam), s.c_str(), s.size() + 1);
        m.Result = static_cast<LRESULT>(s.size());
        return;
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        m.Result = FindListString(items_, static_cast<int>(static_cast<std::intptr_t>(m.WParam)), LParamText(m.LParam),
                                  m.Msg == LB_FINDSTRINGEXACT);
        return;
    case LB_SELECTSTRING: {
        int i = FindListString(items_, static_cast<int>(static_cast<std::intptr_t>(m.WParam)), LParamText(m.LParam), false);
        if (i >= 0) SetItemIndex(i);
        m.Result = i;
        return;
    }
    case LB_GETTOPINDEX: m.Result = topIndex_; return;
    case LB_SETTOPINDEX: SetTopIndex(static_cast<int>(m.WParam)); return;
    case LB_GETITEMHEIGHT: m.Result = HeightOf(static_cast<int>(m.WParam)); return;
    case LB_GETITEMRECT: {
        auto i = static_cast<int>(m.WParam);
        if (i < 0 || i >= items_.Count() || !m.LParam) {
            m.Result = LB_ERR;
            return;
        }
        *reinterpret_cast<TRect*>(m.LParam) = ItemRect(i);
        return;
    }
    case WM_HSCROLL: {
        if (!InColumns()) return;
        int rows = RowsPerColumn();
        int lastTop = std::max(0, (items_.Count() + rows - 1) / rows - columns_) * rows;
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: SetTopIndex(topIndex_ - rows); break;
        case SB_LINEDOWN: SetTopIndex(std::min(topIndex_ + rows, lastTop)); break;
        case SB_PAGEUP: SetTopIndex(topIndex_ - rows * columns_); break;
        case SB_PAGEDOWN: SetTopIndex(std::min(topIndex_ + rows * columns_, lastTop)); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: SetTopIndex(std::min(HIWORD(m.WParam) * rows, lastTop)); break;
        case SB_TOP: SetTopIndex(0); break;
        case SB_BOTTOM: SetTopIndex(lastTop); break;
        default: break;
        }
        return;
    }
    case WM_VSCROLL: {
        int page = std::max(1, VisibleCount() - 1);
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: SetTopIndex(topIndex_ - 1); break;
        case SB_LINEDOWN: SetTopIndex(std::min(topIndex_ + 1, std::max(0, items_.Count() - VisibleCount()))); break;
        case SB_PAGEUP: SetTopIndex(topIndex_ - page); break;
        case SB_PAGEDOWN: SetTopIndex(std::min(topIndex_ + page, std::max(0, items_.Count() - VisibleCount()))); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: SetTopIndex(HIWORD(m.WParam)); break;
        case SB_TOP: SetTopIndex(0); break;
        case SB_BOTTOM: SetTopIndex(items_.Count() - VisibleCount()); break;
        default: break;
        }
        return;
    }
    case WM_SIZE:
        TCustomControl::WndProc(m);
        UpdateScrollBar();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

// ===========================================================================
// TComboListBox

TComboListBox::TComboListBox(TComponent* AOwner, TCustomComboBox* combo, bool embedded)
    : TCustomListBox(AOwner), combo_(combo), embedded_(embedded) {
    SetTabStop(false);
    if (embedded) return;
    InitVisible(false);
    BorderStyle = bsNone;
}

bool TComboListBox::CanFocus() const { return embedded_ && TCustomListBox::CanFocus(); }

QWidget* TComboListBox::CreateWidget() { return embedded_ ? TCustomListBox::CreateWidget() : CreateDropDownWidget(this); }

void TComboListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseDown(Button, Shift, X, Y);
    // The combo's edit keeps the focus, as in a simple combo on Win32.
    if (embedded_ && combo_->CanFocus()) combo_->SetFocus();
}

void TComboListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    // The combo's owner drawing paints here, on this list's canvas.
    combo_->itemCanvasOverride_ = &Canvas();
    combo_->DrawItem(Index, Rect, State);
    combo_->itemCanvasOverride_ = nullptr;
}

void TComboListBox::MeasureItem(int Index, int& Height) { combo_->MeasureItem(Index, Height); }

void TComboListBox::SelectionChangedByUser() { combo_->SelectByUser(ItemIndex(), false); }

void TComboListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && ItemAtPos({X, Y}, true) >= 0) combo_->SetDroppedDown(false);
}

// ===========================================================================
// TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TCustomEdit(AOwner) {
    SetBounds(0, 0, 145, 21);
    AutoSelect = true;
    items_.OnChange = [this](plat::StringList&) {
        if (itemIndex_ >= items_.Count()) SetItemIndex(-1);
        if (list_) list_->Items().Assign(items_);
        if (simpleList_) {
            simpleList_->Items().Assign(items_);
            simpleList_->SetItemIndex(itemIndex_);
        }
    };
}

TCustomComboBox::~TCustomComboBox() {
    items_.OnChange = nullptr;
    delete list_;
}

TCanvas& TCustomComboBox::Canvas() { return itemCanvasOverride_ ? *itemCanvasOverride_ : TCustomEdit::Canvas(); }

void TCustomComboBox::SetStyle(TComboBoxStyle s) {
    if (s == csSimple && !simpleList_) {
        if (dropped_) SetDroppedDown(false);
        simpleList_ = new TComboListBox(this, this, true);
        simpleList_->SetItemHeight(itemHeight_);
        simpleList_->Font().Assign(Font());
        simpleList_->Items().Assign(items_);
        simpleList_->SetParent(this);
        simpleList_->SetItemIndex(itemIndex_);
    } else if (s != csSimple && simpleList_) {
        delete simpleList_;
        simpleList_ = nullptr;
    }
    style_ = s;
    PlaceSimpleList();
    SetReadOnly(!EditAreaEditable());
    SetCursor(EditAreaEditable() ? crIBeam : crDefault);
    Invalidate();
}

void TCustomComboBox::SetItemIndex(int i) {
    if (i < -1 || i >= items_.Count()) i = -1;
    itemIndex_ = i;
    settingIndex_ = true;
    if (i >= 0) TCustomEdit::SetText(items_[i]);
    else if (!EditAreaEditable()) TCustomEdit::SetText("");
    settingIndex_ = false;
    if (TCustomListBox* l = ShownList()) l->SetItemIndex(i);
    if (i >= 0 && EditAreaEditable() && Focused()) SelectAll();
    Invalidate();
}

TCustomListBox* TCustomComboBox::ShownList() const { return simpleList_ ? simpleList_ : list_; }

void TCustomComboBox::PlaceSimpleList() {
    if (!simpleList_) return;
    simpleList_->SetBounds(0, EditHeight(), Width(), std::max(0, Height() - EditHeight()));
}

void TCustomComboBox::Resize() {
    PlaceSimpleList();
    TCustomEdit::Resize();
}

TComboListBox* TCustomComboBox::ListBox() {
    if (simpleList_) return simpleList_;
    if (!list_) {
        list_ = new TComboListBox(nullptr, this);
        list_->SetStyle(style_ == csOwnerDrawVariable ? lbOwnerDrawVariable
                        : style_ == csOwnerDrawFixed  ? lbOwnerDrawFixed
                                                      : lbStandard);
        list_->SetItemHeight(itemHeight_);
        list_->Font().Assign(Font());
        list_->Items().Assign(items_);
    }
    return list_;
}

void TCustomComboBox::Notify(int code) { Perform(CN_COMMAND, MAKEWPARAM(0, code), 0); }

void TCustomComboBox::SetDroppedDown(bool d) {
    // A simple combo's list is always shown.
    if (d == dropped_ || style_ == csSimple) return;
    if (d) {
        Notify(CBN_DROPDOWN);  // OnDropDown may still fill the items
        TComboListBox* l = ListBox();
        l->Items().Assign(items_);
        l->SetStyle(style_ == csOwnerDrawVariable ? lbOwnerDrawVariable
                    : style_ == csOwnerDrawFixed  ? lbOwnerDrawFixed
                                                  : lbStandard);
        l->SetItemHeight(itemHeight_);
        int rows = std::clamp(items_.Count(), 1, std::max(1, DropDownCount));
        int h = 0;
        for (int i = 0; i < rows; ++i) {
            int ih = itemHeight_;
            if (style_ == csOwnerDrawVariable) MeasureItem(i, ih);
            h += ih;
        }
        l->SetBounds(0, 0, Width(), h + 2);
        l->SetItemIndex(itemIndex_);
        dropped_ = true;
        ShowDropDown(l, ClientToScreen({0, Height()}));
    } else {
        dropped_ = false;
        if (list_) HideDropDown(list_);
        Notify(CBN_CLOSEUP);
    }
    Invalidate();
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomComboBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    if ((style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) && OnDrawItem) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor((State & odSelected) ? clHighlight : Color());
        if (State & odSelected) c.Font().SetColor(clHighlightText);
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    DefaultDrawItem(c, items_, Index, Rect, State);
}

void TCustomComboBox::SelectByUser(int index, bool closeList) {
    if (index >= 0 && index < items_.Count() && index != itemIndex_) {
        itemIndex_ = index;
        TCustomEdit::SetText(items_[index]);  // OnChange
        if (TCustomListBox* l = ShownList()) l->SetItemIndex(index);
        if (EditAreaEditable() && Focused()) SelectAll();
        Notify(CBN_SELCHANGE);
    }
    if (closeList) SetDroppedDown(false);
}

void TCustomComboBox::Change() {
    if (settingIndex_) return;
    if (simpleList_) {
        // Typing moves the list to the first item the text begins; the
        // combo's item is the one the text names exactly.
        std::string typed = Text();
        int prefix = typed.empty() ? -1 : FindListString(items_, -1, typed, false);
        itemIndex_ = typed.empty() ? -1 : FindListString(items_, -1, typed, true);
        simpleList_->SetItemIndex(prefix);
    }
    TCustomEdit::Change();
}

TRect TCustomComboBox::ButtonRect() const {
    if (style_ == csSimple) return {};
    return Rect(Width() - 19, 2, Width() - 2, Height() - 2);
}

TRect TCustomComboBox::TextArea() const {
    TRect r = TCustomEdit::TextArea();
    TRect b = ButtonRect();
    if (!b.IsEmpty()) r.Right = std::min(r.Right, b.Left - 1);
    if (style_ == csSimple) r.Bottom = std::min(r.Bottom, EditHeight() - 2);
    return r;
}

void TCustomComboBox::Paint() {
    if (EditAreaEditable()) TCustomEdit::Paint();
    else {
        TCanvas& c = Canvas();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(ClientRect());
        TRect f = ClientRect();
        Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
        Frame3D(c, f, cl3DDkShadow, cl3DLight, 1);
        TRect face = Rect(3, 3, Width() - 21, Height() - 3);
        TOwnerDrawState st = odComboBoxEdit;
        if (Focused() && !dropped_) st |= odSelected | odFocused;
        DrawItem(itemIndex_, face, st);
        if (st & odFocused) c.DrawFocusRect(face);
    }
    TRect b = ButtonRect();
    if (b.IsEmpty()) return;
    TCanvas& c = Canvas();
    DrawButtonFace(c, b, dropped_, false, false);
    int cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2;
    c.Brush().SetColor(Enabled() ? clBtnText : clGrayText);
    c.Pen().SetColor(Enabled() ? clBtnText : clGrayText);
    c.Polygon({{cx - 3, cy - 1}, {cx + 3, cy - 1}, {cx, cy + 2}});
}

void TCustomComboBox::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (Key == 0) return;
    bool alt = Shift & ssAlt;
    if ((alt && (Key == VK_DOWN || Key == VK_UP)) || Key == VK_F1 + 3) {
        SetDroppedDown(!dropped_);
        Key = 0;
        return;
    }
    if (dropped_ && (Key == VK_RETURN || Key == VK_ESCAPE)) {
        SetDroppedDown(false);
        Key = 0;
        return;
    }
    int n = items_.Count();
    if (n == 0) return;
    int next = itemIndex_;
    switch (Key) {
    case VK_UP: next = std::max(0, itemIndex_ - 1); break;
    case VK_DOWN: next = std::min(n - 1, itemIndex_ + 1); break;
    case VK_PRIOR: next = std::max(0, itemIndex_ - DropDownCount); break;
    case VK_NEXT: next = std::min(n - 1, itemIndex_ + DropDownCount); break;
    case VK_HOME:
    case VK_END:
        if (EditAreaEditable()) return;
        next = Key == VK_HOME ? 0 : n - 1;
        break;
    default: return;
    }
    SelectByUser(next, false);
    Key = 0;
}

void TCustomComboBox::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (Key == 0 || EditAreaEditable()) return;
    auto u = static_cast<unsigned char>(Key);
    if (u >= 32) {
        int found = FindListString(items_, itemIndex_, std::string(1, Key), false);
        if (found >= 0) SelectByUser(found, false);
    }
    // A list-only face takes no text.
    Key = 0;
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    bool onButton = ButtonRect().Contains({X, Y}) || (!EditAreaEditable() && style_ != csSimple);
    if (Button == mbLeft && onButton) {
        if (CanFocus() && !Focused()) SetFocus();
        SetDroppedDown(!dropped_);
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    TCustomEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        switch (HIWORD(m.WParam)) {
        case CBN_DROPDOWN: DropDown(); return;
        case CBN_CLOSEUP: CloseUp(); return;
        case CBN_SELCHANGE: Click(); return;
        default: return;
        }
    case WM_KILLFOCUS:
        if (dropped_) SetDroppedDown(false);
        TCustomEdit::WndProc(m);
        return;
    case WM_GETDLGCODE:
        TCustomEdit::WndProc(m);
        // While the list is down, Enter and Esc close it instead of reaching the form.
        if (dropped_) m.Result |= DLGC_WANTALLKEYS;
        return;
    default: TCustomEdit::WndProc(m); return;
    }
}

void TCustomComboBox::DefaultHandler(TMessage& m) {
    auto wi = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
    switch (m.Msg) {
    case CB_ADDSTRING: m.Result = items_.Add(LParamText(m.LParam)); return;
    case CB_INSERTSTRING:
        if (wi < 0 || wi > items_.Count()) wi = items_.Count();
        if (items_.Sorted()) m.Result = items_.Add(LParamText(m.LParam));
        else {
            items_.Insert(wi, LParamText(m.LParam));
            m.Result = wi;
        }
        return;
    case CB_DELETESTRING:
        if (wi < 0 || wi >= items_.Count()) {
            m.Result = CB_ERR;
            return;
        }
        items_.Delete(wi);
        m.Result = items_.Count();
        return;
    case CB_RESETCONTENT: items_.Clear(); return;
    case CB_GETCOUNT: m.Result = items_.Count(); return;
    case CB_GETCURSEL: m.Result = itemIndex_; return;
    case CB_SETCURSEL:
        SetItemIndex(wi);
        m.Result = itemIndex_ == wi ? wi : CB_ERR;
        return;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        m.Result = FindListString(items_, wi, LParamText(m.LParam), m.Msg == CB_FINDSTRINGEXACT);
        return;
    case CB_SELECTSTRING: {
        int i = FindListString(items_, wi, LParamText(m.LParam), false);
        if (i >= 0) SetItemIndex(i);
        m.Result = i;
        return;
    }
    case CB_GETLBTEXT:
        if (wi < 0 || wi >= items_.Count()) {
            m.Result = CB_ERR;
            return;
        }
        if (m.LParam) std::memcpy(reinterpret_cast<char*>(m.LParam), items_[wi].c_str(), items_[wi].size() + 1);
        m.Result = static_cast<LRESULT>(items_[wi].size());
        return;
    case CB_SHOWDROPDOWN: SetDroppedDown(m.WParam != 0); m.Result = 1; return;
    case CB_GETDROPPEDSTATE: m.Result = dropped_ ? 1 : 0; return;
    case CB_LIMITTEXT: SetMaxLength(wi); m.Result = 1; return;
    default: TCustomEdit::DefaultHandler(m); return;
    }
}

}  // namespace gui
