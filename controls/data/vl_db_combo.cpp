#include "controls/data/vl_db_combo.h"

#include "data/vl_lines.h"
#include "platform/core/clock.h"
#include "platform/core/codepage.h"
#include "platform/gui/drop_down.h"
#include "platform/gui/forms.h"

#include <algorithm>

namespace vl {

using namespace gui;

namespace {

constexpr std::size_t kMaxSearch = 32;
constexpr std::uint32_t kSearchPause = 1500;

// The display and stored parts of a MapList item ("display TAB stored [TAB ...]").
std::string DisplayPart(const std::string& item) { return item.substr(0, item.find('\t')); }
std::string StoredPart(const std::string& item) {
    const std::size_t tab = item.find('\t');
    if (tab == std::string::npos) return {};
    const std::size_t end = item.find('\t', tab + 1);
    return item.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && plat::CompareAnsi(text.substr(0, prefix.size()), prefix, true) == 0;
}

void DrawButtonGlyph(TBitmap& glyph, TvlComboButtonStyle style) {
    glyph.SetSize(9, 9);
    TCanvas& c = glyph.Canvas();
    c.Brush().SetColor(clFuchsia);
    c.FillRect(Rect(0, 0, 9, 9));
    if (style == cbsDownArrow) {
        for (int row = 0; row < 4; ++row)
            for (int x = 1 + row; x < 8 - row; ++x) c.SetPixel(x, 3 + row, clBlack);
    } else {
        for (int dot = 0; dot < 3; ++dot) {
            c.SetPixel(1 + dot * 3, 6, clBlack);
            c.SetPixel(2 + dot * 3, 6, clBlack);
        }
    }
    glyph.SetTransparentColor(clFuchsia);
}

}  // namespace

// =====================================================================================
// the list

TvlPopupListbox::TvlPopupListbox(plat::TComponent* AOwner, TvlDBComboBox* combo)
    : TCustomListBox(AOwner), combo_(combo) {
    SetVisible(false);
}

QWidget* TvlPopupListbox::CreateWidget() { return CreateDropDownWidget(this); }

void TvlPopupListbox::SearchKey(char key) {
    const auto u = static_cast<unsigned char>(key);
    if (u == 8 || u == 27) {
        search_.clear();
        return;
    }
    if (u < 32) return;
    const std::uint32_t now = plat::GetTickCount();
    if (now - lastKey_ > kSearchPause) search_.clear();
    lastKey_ = now;
    if (search_.size() < kMaxSearch) search_ += key;
    for (int i = 0; i < Items().Count(); ++i)
        if (StartsWithNoCase(Items()[i].substr(0, 255), search_)) {
            SetItemIndex(i);
            return;
        }
    if (!combo_->ShowMatchText) SetItemIndex(-1);
}

void TvlPopupListbox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    if (!combo_->OnDrawItem) {
        TCustomListBox::DrawItem(Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor((State & odSelected) ? clHighlight : Color());
    c.Font().Assign(Font());
    if (State & odSelected) c.Font().SetColor(clHighlightText);
    c.FillRect(Rect);
    combo_->OnDrawItem(this, Index, Rect, State);
}

void TvlPopupListbox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && X >= 0 && Y >= 0 && X < Width() && Y < Height()) {
        SetItemIndex(ItemAtPos({X, Y}, true));
        combo_->CloseUp(true);
    }
}

// =====================================================================================
// the combo with a button

TvlDBCustomCombo::TvlDBCustomCombo(plat::TComponent* AOwner) : TvlDBCustomEdit(AOwner) {
    button_ = new TSpeedButton(this);
    button_->SetParent(this);
    button_->OnClick = [this](plat::TObject*) { ButtonClicked(); };
    DrawButtonGlyph(button_->Glyph(), buttonStyle_);
    Resize();
    RecreateWnd();
}

void TvlDBCustomCombo::SetButtonStyle(TvlComboButtonStyle s) {
    buttonStyle_ = s;
    DrawButtonGlyph(button_->Glyph(), s);
    button_->Invalidate();
}

unsigned TvlDBCustomCombo::WindowStyle() const {
    using namespace edit_style;
    return (TvlDBCustomEdit::WindowStyle() | WS_CLIPCHILDREN) & ~(ES_AUTOVSCROLL | ES_WANTRETURN);
}

TRect TvlDBCustomCombo::EditRect() const {
    TRect r = TvlDBCustomEdit::EditRect();
    if (button_ && button_->Visible()) r.Right = std::min(r.Right, button_->Left());
    return r;
}

bool TvlDBCustomCombo::ShowButton() const { return button_->Visible(); }

void TvlDBCustomCombo::SetShowButton(bool on) {
    button_->SetVisible(on);
    Resize();
}

void TvlDBCustomCombo::Resize() {
    TvlDBCustomEdit::Resize();
    if (!button_) return;
    const int w = std::max(GetSystemMetrics(SM_CXVSCROLL), 15);
    button_->SetBounds(std::max(0, ClientWidth() - w), 0, w, ClientHeight());
}

void TvlDBCustomCombo::ButtonClicked() {
    if (IsDroppedDown()) {
        CloseUp(true);
        return;
    }
    if (CanFocus() && !Focused()) SetFocus();
    DropDown();
}

void TvlDBCustomCombo::KeyDown(unsigned& Key, TShiftState Shift) {
    const bool alt = (Shift & ssAlt) != 0;
    if ((Key == VK_UP || Key == VK_DOWN) && alt) {
        if (IsDroppedDown()) CloseUp(true);
        else DropDown();
        Key = 0;
        return;
    }
    if (IsDroppedDown() && !alt && (Key == VK_RETURN || Key == VK_ESCAPE)) {
        CloseUp(Key == VK_RETURN);
        Key = 0;
        return;
    }
    if (IsDroppedDown() && Key == VK_TAB) CloseUp(true);  // the focus then moves on
    TvlDBCustomEdit::KeyDown(Key, Shift);
}

void TvlDBCustomCombo::KeyPress(char& Key) {
    // Enter and Escape of an open list were handled on the key-down.
    if ((Key == '\r' || Key == 27) && IsDroppedDown()) {
        Key = 0;
        return;
    }
    TvlDBCustomEdit::KeyPress(Key);
}

void TvlDBCustomCombo::WndProc(TMessage& Message) {
    TvlDBCustomEdit::WndProc(Message);
    // While the list is open every key is the combo's: the form's default
    // and cancel buttons never see Enter or Escape.
    if (Message.Msg == WM_GETDLGCODE && IsDroppedDown()) Message.Result |= DLGC_WANTALLKEYS | DLGC_WANTTAB;
}

// =====================================================================================
// the combo box

TvlDBComboBox::TvlDBComboBox(plat::TComponent* AOwner) : TvlDBCustomCombo(AOwner) {
    SetButtonStyle(cbsDownArrow);
}

std::string TvlDBComboBox::DisplayOf(int index) const {
    if (index < 0 || index >= items_.Count()) return {};
    return MapList ? DisplayPart(items_[index]) : items_[index];
}

std::string TvlDBComboBox::DisplayToStored(const std::string& text) const {
    if (!MapList) return text;
    for (int i = 0; i < items_.Count(); ++i)
        if (DisplayPart(items_[i]) == text) return StoredPart(items_[i]);
    return {};
}

std::string TvlDBComboBox::StoredToDisplay(const std::string& value) const {
    for (int i = 0; i < items_.Count(); ++i)
        if (StoredPart(items_[i]) == value) return DisplayPart(items_[i]);
    return {};
}

bool TvlDBComboBox::GridDisplayText(const std::string& value, std::string& text) {
    if (!MapList) return false;
    const std::string shown = StoredToDisplay(value);
    if (shown.empty()) return false;
    text = shown;
    return true;
}

std::string TvlDBComboBox::GetStoredValue() const {
    // Free text in a drop-down with a map stores nothing: by design.
    if (Style == csDropDown && Text().empty()) return {};
    return DisplayToStored(Text());
}

void TvlDBComboBox::SetItemIndex(int index) {
    itemIndex_ = index >= 0 && index < items_.Count() ? index : -1;
    if (list_) list_->SetItemIndex(itemIndex_);
    if (itemIndex_ >= 0) SetText(DisplayOf(itemIndex_));
}

void TvlDBComboBox::SetComboValue(const std::string& value) {
    if (value == GetStoredValue() && !(value.empty() && MapList)) return;
    if (Style == csDropDown && !MapList) {
        SetText(value);
        return;
    }
    int index = -1;
    if (MapList) {
        for (int i = 0; i < items_.Count() && index < 0; ++i)
            if (StoredPart(items_[i]) == value) index = i;
    } else if (!value.empty()) {
        index = items_.IndexOf(value);
    }
    SetItemIndex(index);
    if (index < 0) SetText("");
}

bool TvlDBComboBox::EditAreaEditable() const {
    if (Style == csOwnerDrawFixed || Style == csOwnerDrawVariable) return false;
    return !(Style == csDropDownList && !dropped_ && !ShowMatchText);
}

bool TvlDBComboBox::MatchText(char key) {
    const std::string text = Text();
    const int start = std::min<int>(SelStart(), text.size());
    const int end = std::min<int>(start + SelLength(), text.size());
    const std::string typed = text.substr(0, start) + key + text.substr(end);
    const int n = items_.Count();
    const int from = std::max(itemIndex_, 0);
    for (int k = 0; k < n; ++k) {
        const int i = (from + k) % n;
        const std::string shown = DisplayOf(i);
        if (!StartsWithNoCase(shown, typed)) continue;
        if (Field() && !DataLink().Edit()) return true;  // a record that cannot change takes no key
        SetItemIndex(i);
        // The typed part stays; the rest of the item is selected.
        SetSelStart(static_cast<int>(typed.size()));
        SetSelLength(static_cast<int>(shown.size() - typed.size()));
        SetModified(true);
        if (Field()) DataLink().Modified();
        return true;
    }
    return false;
}

bool TvlDBComboBox::IsEditKey(unsigned key) {
    return key == VK_BACK || key == VK_SPACE || key == VK_DELETE || (key >= 48 && key <= 111) || key > 145;
}

TPoint TvlDBComboBox::ListPosition(const TRect& control, int listWidth, int listHeight, int screenWidth,
                                   int screenHeight) {
    TPoint p{control.Left, control.Bottom};
    if (p.y + listHeight > screenHeight) p.y = control.Top - listHeight;
    if (p.x + listWidth > screenWidth) p.x = control.Right - listWidth;
    return p;
}

void TvlDBComboBox::SetStyle(TComboBoxStyle style) {
    const TComboBoxStyle old = Style;
    Style = style;
    if (style == csSimple && old != csSimple) SetShowButton(false);
    else if (old == csSimple && style != csSimple) SetShowButton(true);
}

void TvlDBComboBox::DropDown() {
    if (Style == csSimple || dropped_) return;
    if (!list_) list_ = new TvlPopupListbox(this, this);
    auto fill = [&] {
        list_->Items().Clear();
        for (int i = 0; i < items_.Count(); ++i) list_->Items().Add(DisplayOf(i));
    };
    fill();
    if (OnDropDown) {
        OnDropDown(this);
        fill();
    }
    // Before the style and height: the list measures its items as soon as they change.
    list_->OnMeasureItem = OnMeasureItem ? [this](TWinControl* c, int i, int& h) { OnMeasureItem(c, i, h); }
                                         : TMeasureItemEvent();
    list_->SetStyle(Style == csOwnerDrawVariable ? lbOwnerDrawVariable
                    : Style == csOwnerDrawFixed  ? lbOwnerDrawFixed
                                                 : lbStandard);
    list_->Font().Assign(Font());
    list_->SetColor(Color());
    list_->SetItemHeight(ItemHeight);
    const int shown = std::min(items_.Count(), DropDownCount);
    const int h = shown * ItemHeight + 4;
    const int w = DropDownWidth > 0 ? DropDownWidth : Width();
    list_->SetBounds(0, 0, w, h);
    list_->SetItemIndex(OwnerDrawn() ? (Field() ? list_->Items().IndexOf(Field()->Text()) : itemIndex_)
                                     : list_->Items().IndexOf(Text()));
    const TPoint topLeft = ClientToScreen({0, 0});
    const TRect me = Rect(topLeft.x, topLeft.y, topLeft.x + Width(), topLeft.y + Height());
    const TPoint at = ListPosition(me, w, h, Screen ? Screen->Width() : 1 << 16, Screen ? Screen->Height() : 1 << 16);
    ShowDropDown(list_, at);
    dropped_ = true;
    firstKey_ = true;
    if (EditAreaEditable()) SelectAll();
}

void TvlDBComboBox::CloseUp(bool accept) {
    if (!dropped_) return;
    list_->ClearSearch();
    HideDropDown(list_);
    dropped_ = false;
    if (accept) {
        const int index = list_->ItemIndex();
        const std::string chosen = index >= 0 ? list_->Items()[index] : std::string();
        if (chosen != Text() && (chosen.size() > 0 || Style == csDropDownList || MapList) &&
            (!Field() || DataLink().Edit())) {
            SetText(chosen);
            itemIndex_ = index;
            SetModified(true);
            if (Field()) DataLink().Modified();
        }
    }
    Invalidate();
    if (EditAreaEditable()) SelectAll();
    if (OnCloseUp) OnCloseUp(this, accept);
}

void TvlDBComboBox::KeyDown(unsigned& Key, TShiftState Shift) {
    if (!dropped_) {
        if (AutoDropDown && IsEditKey(Key) && Key != VK_BACK && Key != VK_DELETE) DropDown();
        else if ((Key == VK_UP || Key == VK_DOWN) && !(Shift & ssAlt)) {
            const int next = std::clamp(itemIndex_ + (Key == VK_DOWN ? 1 : -1), 0, items_.Count() - 1);
            Key = 0;
            if (items_.Count() == 0 || next == itemIndex_) return;
            // The choice is the record's: it goes into edit first, and a
            // record that cannot change keeps its value.
            if (ReadOnly() || (Field() && !DataLink().Edit())) return;
            SetItemIndex(next);
            SetModified(true);
            if (Field()) DataLink().Modified();
            return;
        }
    } else if (!(Shift & ssAlt) && (Key == VK_UP || Key == VK_DOWN)) {
        // The list has the keys while it is open.
        const int next = std::clamp(list_->ItemIndex() + (Key == VK_DOWN ? 1 : -1), 0, list_->Items().Count() - 1);
        if (list_->Items().Count() > 0) list_->SetItemIndex(next);
        Key = 0;
        return;
    }
    TvlDBCustomCombo::KeyDown(Key, Shift);
}

void TvlDBComboBox::KeyPress(char& Key) {
    const auto u = static_cast<unsigned char>(Key);
    if (dropped_ && u >= 32) {
        if (firstKey_ && (Style != csDropDown || AutoDropDown)) SetText("");
        firstKey_ = false;
        list_->SearchKey(Key);
        if (!EditAreaEditable()) {
            Key = 0;
            return;
        }
    }
    if (!EditAreaEditable() && u >= 32) {
        Key = 0;
        return;
    }
    if (ShowMatchText && u >= 32 && !ReadOnly()) {
        if (MatchText(Key) || Style == csDropDownList || dropped_) {
            Key = 0;
            return;
        }
    }
    const bool saved = AutoFillDate;
    if (MapList) AutoFillDate = false;
    TvlDBCustomCombo::KeyPress(Key);
    AutoFillDate = saved;
    if (Key == '\r') Key = 0;
}

void TvlDBComboBox::KeyUp(unsigned& Key, TShiftState Shift) {
    TvlDBCustomCombo::KeyUp(Key, Shift);
    if (!AllowClearKey || (Key != VK_DELETE && Key != VK_BACK)) return;
    if (!dropped_ && Style == csDropDownList && !ShowMatchText) {
        SetText("");
        itemIndex_ = -1;
    } else if (dropped_ && Text().empty()) {
        itemIndex_ = -1;
    }
}

std::string TvlDBComboBox::StoredText() { return GetStoredValue(); }

void TvlDBComboBox::DataChange() {
    db::TField* f = Field();
    if (!f) {
        TvlDBCustomCombo::DataChange();
        return;
    }
    if (MapList) {
        const bool was = showingField_;
        showingField_ = true;
        struct Restore {
            bool& flag;
            bool value;
            ~Restore() { flag = value; }
        } restore{showingField_, was};
        SetComboValue(f->Text());
        SetModified(false);
        return;
    }
    TvlDBCustomCombo::DataChange();
    if (Style == csOwnerDrawFixed || Style == csOwnerDrawVariable) itemIndex_ = items_.IndexOf(f->Text());
}

void TvlDBComboBox::WndProc(TMessage& Message) {
    // Another control cancelling the mode (a click on it) closes the list,
    // taking its item; the combo's own parts do not.
    if (Message.Msg == CM_CANCELMODE && dropped_) {
        auto* sender = reinterpret_cast<TControl*>(Message.LParam);
        if (sender != this && sender != list_ && sender != button_) CloseUp(true);
    }
    TvlDBCustomCombo::WndProc(Message);
}

void TvlDBComboBox::Paint() {
    if (!OwnerDrawn() || !OnDrawItem) {
        TvlDBCustomCombo::Paint();
        return;
    }
    // The edit area shows the chosen item as the handler draws it.
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Enabled() ? Color() : clBtnFace);
    c.FillRect(ClientRect());
    if (BorderStyle() != bsNone) {
        TRect f = ClientRect();
        Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
        Frame3D(c, f, cl3DDkShadow, cl3DLight, 1);
    }
    if (itemIndex_ < 0) return;
    TRect r = EditRect();
    if (BorderStyle() != bsNone) InflateRect(r, -2, -2);
    const TOwnerDrawState state = Focused() && !dropped_ ? (odSelected | odFocused) : 0;
    c.Brush().SetColor((state & odSelected) ? clHighlight : Color());
    c.Font().Assign(Font());
    if (state & odSelected) c.Font().SetColor(clHighlightText);
    c.FillRect(r);
    OnDrawItem(this, itemIndex_, r, state);
}

void TvlDBComboBox::DoExit() {
    CloseUp(true);
    TvlDBCustomCombo::DoExit();
}

}  // namespace vl
