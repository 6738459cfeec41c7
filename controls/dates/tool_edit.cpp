#include "controls/dates/tool_edit.h"

#include "controls/dates/pick_date.h"
#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/drop_down.h"
#include "platform/gui/program_resources.h"
#include "platform/win/message_queue.h"

#include <algorithm>
#include <cmath>

namespace zb {

using namespace gui;

bool NewStyleControls = true;

namespace {

// Posted when a check on leaving failed: the focus comes back once the
// focus change under way is over.
constexpr UINT kRefocusDateEdit = WM_USER + 0x7D1;

}  // namespace

// ===========================================================================
// TPopupWindow

TPopupWindow::TPopupWindow(TCustomComboEdit* owner) : TCustomControl(owner), edit_(owner) {
    InitVisible(false);
    SetCtl3D(false);
    SetColor(clBtnFace);
}

QWidget* TPopupWindow::CreateWidget() { return CreateDropDownWidget(this); }

void TPopupWindow::ClosePopup(bool accept) {
    if (edit_) edit_->HidePopup(accept);
}

void TPopupWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft) ClosePopup(ClientRect().Contains({X, Y}));
}

// ===========================================================================
// TEditButton

TEditButton::TEditButton(TComponent* AOwner, TCustomComboEdit* edit) : TZbSpeedButton(AOwner), edit_(edit) {
    SetLayout(blGlyphLeft);
}

void TEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && edit_ && edit_->PopupVisible()) {
        // This press closes the pop-up; the click that follows does nothing.
        edit_->HidePopup(true);
        noAction_ = true;
    } else {
        noAction_ = false;
    }
    TZbSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TEditButton::Click() {
    if (noAction_) {
        noAction_ = false;
        return;
    }
    TZbSpeedButton::Click();
}

void TEditButton::Paint() {
    TZbSpeedButton::Paint();
    if (State() == zbsDown) return;
    TCanvas& c = Canvas();
    c.Pen().SetColor(NewStyleControls ? clBtnFace : clBtnShadow);
    c.MoveTo(0, 0);
    c.LineTo(0, Height() - 1);
    c.Pen().SetColor(clBtnHighlight);
    c.MoveTo(1, 1);
    c.LineTo(1, Height() - 2);
}

// ===========================================================================
// TCustomComboEdit

TCustomComboEdit::TCustomComboEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
    SetBounds(Left(), Top(), Width() > 0 ? Width() : 121, 21);
    holder_ = new TCustomControl(this);
    holder_->SetBounds(0, 0, 21, 17);
    holder_->SetParent(this);
    holder_->SetTabStop(false);
    holder_->SetCursor(crArrow);
    button_ = new TEditButton(this, this);
    button_->SetBounds(0, 0, 21, 17);
    button_->SetParent(holder_);
    button_->OnClick = [this](TObject*) { HandleButtonClick(); };
    PlaceButton();
}

TCustomComboEdit::~TCustomComboEdit() {
    if (button_) button_->OnClick = nullptr;
}

void TCustomComboEdit::SetPopup(TPopupWindow* popup) {
    if (popupVisible_) HidePopup(false);
    popup_ = popup;
}

void TCustomComboEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    UpdateInnerReadOnly();
}

void TCustomComboEdit::SetDirectInput(bool v) {
    directInput_ = v;
    UpdateInnerReadOnly();
}

void TCustomComboEdit::UpdateInnerReadOnly() {
    TCustomEdit::SetReadOnly(popupVisible_ || !directInput_ || GetReadOnly());
}

void TCustomComboEdit::SetAlignment(TAlignment a) {
    if (a == alignment_) return;
    alignment_ = a;
    Invalidate();
}

void TCustomComboEdit::SetGlyph(const TBitmap& b) {
    button_->SetGlyph(b);
    glyphKind_ = gkCustom;
}

TRect TCustomComboEdit::ButtonHolderRect() const {
    const int bw = button_->Width();
    if (NewStyleControls && Ctl3D()) return Bounds(Width() - bw - 4, 0, bw, Height() - 4);
    if (NewStyleControls) return Bounds(Width() - bw - 2, 2, bw, Height() - 4);
    return Bounds(Width() - bw, 1, bw, Height() - 1);
}

void TCustomComboEdit::PlaceButton() {
    if (!holder_) return;
    // Our child coordinates start at the outer corner; the design's start inside the border.
    const int border = (NewStyleControls && Ctl3D()) ? 2 : 0;
    TRect r = ButtonHolderRect();
    holder_->SetBounds(r.Left + border, r.Top + border, r.Width(), r.Height());
    button_->SetBounds(0, 0, r.Width(), r.Height());
}

TRect TCustomComboEdit::TextArea() const {
    TRect r = TCustomMaskEdit::TextArea();
    if (holder_) r.Right = std::min(r.Right, holder_->Left() - 2);
    return r;
}

void TCustomComboEdit::Resize() {
    // Never lower than a line of text and the borders.
    if (!(ComponentState() & csDesigning)) {
        TTextMetric tm;
        Canvas().Font().Assign(Font());
        Canvas().GetTextMetrics(tm);
        const int minHeight = tm.tmHeight + 4 * GetSystemMetrics(SM_CYBORDER) + 1;
        if (Height() < minHeight) {
            SetHeight(minHeight);
            return;
        }
    }
    PlaceButton();
    TCustomMaskEdit::Resize();
}

void TCustomComboEdit::SetButtonWidth(int w) {
    if (w == button_->Width() || w >= ClientWidth()) return;
    int width = w;
    if (glyphKind_ == gkDefault && !button_->Glyph().Empty())
        width = std::max(w, button_->Glyph().Width() / std::max(1, button_->NumGlyphs()) + 4);
    button_->SetWidth(width);
    PlaceButton();
    Invalidate();
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind k) {
    if (k == glyphKind_) return;
    glyphKind_ = k;
    RecreateGlyph();
}

void TCustomComboEdit::RecreateGlyph() {
    switch (glyphKind_) {
    case gkDefault: {
        int n = 1;
        if (TBitmap* b = DefaultGlyph(n)) {
            button_->SetGlyph(*b);
            button_->SetNumGlyphs(n);
        }
        break;
    }
    case gkDropDown: {
        // The system's combo arrow: a small black triangle.
        TBitmap b(11, 6);
        b.Canvas().Brush().SetColor(clFuchsia);
        b.Canvas().FillRect(Rect(0, 0, 11, 6));
        for (int row = 0; row < 4; ++row)
            for (int col = row; col < 7 - row; ++col) b.Canvas().SetPixel(2 + col, 1 + row, clBlack);
        b.SetTransparentColor(clFuchsia);
        button_->SetGlyph(b);
        button_->SetNumGlyphs(1);
        break;
    }
    case gkEllipsis: {
        const int w = std::max(1, button_->Width() - 6);
        const int gap = std::clamp(w / 3, 1, 3);
        const int total = 3 * 2 + 2 * gap;
        TBitmap b(total, 3);
        b.Canvas().Brush().SetColor(clFuchsia);
        b.Canvas().FillRect(Rect(0, 0, total, 3));
        for (int i = 0; i < 3; ++i) {
            b.Canvas().Brush().SetColor(clBtnText);
            b.Canvas().FillRect(Bounds(i * (2 + gap), 1, 2, 2));
        }
        b.SetTransparentColor(clFuchsia);
        button_->SetGlyph(b);
        button_->SetNumGlyphs(1);
        break;
    }
    case gkCustom: break;
    }
}

void TCustomComboEdit::ShowPopup() {
    if (!popup_ || popupVisible_ || GetReadOnly()) return;
    const TPoint topLeft = Parent() ? Parent()->ClientToScreen({Left(), Top()}) : TPoint{Left(), Top()};
    const int pw = popup_->Width(), ph = popup_->Height();
    int x = topLeft.x - (pw - Width());
    if (x < 0) x += pw - Width();
    int y = topLeft.y + Height();
    if (Screen && y + ph > Screen->Height()) y = topLeft.y - ph;
    popup_->SetPopupValue(Text());
    if (CanFocus()) SetFocus();
    ShowDropDown(popup_, {x, y});
    popupVisible_ = true;
    UpdateInnerReadOnly();
}

void TCustomComboEdit::HidePopup(bool accept) {
    if (!popup_ || !popupVisible_) return;
    std::string value = popup_->GetPopupValue();
    HideDropDown(popup_);
    popupVisible_ = false;
    if (CanFocus() && !Focused()) SetFocus();
    UpdateInnerReadOnly();
    Invalidate();
    if (accept && CanAcceptPopupValue(value) && !GetReadOnly()) {
        SetText(value);
        if (Focused() && directInput_) SelectAll();
    }
}

void TCustomComboEdit::ButtonPressed() {
    if (popup_) {
        if (popupVisible_) HidePopup(true);
        else ShowPopup();
    } else if (OnButtonClick) {
        OnButtonClick(this);
    }
}

void TCustomComboEdit::HandleButtonClick() {
    if (GetReadOnly()) return;
    ButtonPressed();
}

void TCustomComboEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    if (Key != 0 && ShortCut(Key, Shift & (ssShift | ssCtrl | ssAlt)) == ClickKey && button_->Width() > 0) {
        HandleButtonClick();
        Key = 0;
        return;
    }
    TCustomMaskEdit::KeyDown(Key, Shift);
}

void TCustomComboEdit::KeyPress(char& Key) {
    if (Key == '\r' || Key == 27) {
        if (popupVisible_) {
            HidePopup(Key == '\r');
            Key = 0;
            return;
        }
        // Not wanted here: the form may have a default or cancel button for it.
        if (TForm* form = ParentForm()) {
            if (form->Perform(CM_DIALOGKEY, Key == '\r' ? VK_RETURN : VK_ESCAPE, 0) != 0) {
                Key = 0;
                return;
            }
        }
        if (Key == '\r') {
            Key = 0;
            return;
        }
    }
    TCustomMaskEdit::KeyPress(Key);
}

void TCustomComboEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && popup_) {
        if (CanFocus() && !Focused()) SetFocus();
        if (!Focused()) return;
        if (popupVisible_) HidePopup(false);
        else if (!directInput_ && !GetReadOnly()) ShowPopup();
    }
    TCustomMaskEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboEdit::Change() {
    if (!popupVisible_) TCustomMaskEdit::Change();
}

void TCustomComboEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        TCustomMaskEdit::WndProc(m);
        // While the pop-up shows, Enter and Esc belong to it, not to the form's buttons.
        if (popupVisible_) m.Result |= DLGC_WANTALLKEYS;
        return;
    case WM_SETFOCUS: focused_ = true; break;
    case WM_KILLFOCUS:
        focused_ = false;
        HidePopup(false);
        break;
    case WM_CUT:
    case WM_PASTE:
        if (!directInput_ || GetReadOnly()) return;
        break;
    case CM_CANCELMODE: {
        auto* sender = reinterpret_cast<TControl*>(m.LParam);
        if (sender != this && sender != popup_ && sender != button_ && sender != holder_ &&
            !(popup_ && sender && popup_->ContainsControl(sender)))
            HidePopup(false);
        break;
    }
    case CM_ENABLEDCHANGED:
        if (button_) button_->SetEnabled(Enabled());
        break;
    case CM_FONTCHANGED:
    case CM_CTL3DCHANGED:
        TCustomMaskEdit::WndProc(m);
        PlaceButton();
        return;
    case CM_ENTER:
        TCustomMaskEdit::WndProc(m);
        if (AutoSelect && directInput_ && !(GetKeyState(VK_LBUTTON) & 0x8000)) SelectAll();
        return;
    default: break;
    }
    TCustomMaskEdit::WndProc(m);
}

// ===========================================================================
// The date edit

bool DateTextIsEmpty(const std::string& text) {
    const char sep = plat::CurrentFormatSettings().DateSeparator;
    return StrConsistsOf(text, std::string(" ") + sep);
}

namespace {
std::unique_ptr<TBitmap> g_dateGlyph;
}

TBitmap* DateEditGlyph() {
    if (!g_dateGlyph) {
        auto glyph = std::make_unique<TBitmap>();
        if (!LoadResourceBitmap("DEDITBMP", *glyph)) return nullptr;
        g_dateGlyph = std::move(glyph);
    }
    return g_dateGlyph.get();
}

TCustomDateEdit::TCustomDateEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {
    RegisterDateResources();
    DialogTitle = LoadResString(61262);
    SetPopup(CreatePopupCalendar(this));
    popup_->SetColor(popupColor_);
    PassSettings();
    SetGlyphKind(gkDefault);
}

TCustomDateEdit::~TCustomDateEdit() {
    if (PopupVisible()) HidePopup(false);
}

TBitmap* TCustomDateEdit::DefaultGlyph(int& numGlyphs) {
    numGlyphs = 2;
    return DateEditGlyph();
}

void TCustomDateEdit::SetBlanksChar(char c) {
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
    if (c == blanksChar_) return;
    blanksChar_ = c;
    RebuildDateMask();
}

TColor TCustomDateEdit::PopupColor() const { return popup_ ? popup_->Color() : popupColor_; }

void TCustomDateEdit::SetPopupColor(TColor c) {
    popupColor_ = c;
    if (popup_) popup_->SetColor(c);
}

void TCustomDateEdit::PassSettings() {
    if (popup_) SetupPopupCalendar(popup_, startOfWeek_, weekends_, weekendColor_);
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName d) {
    if (d == startOfWeek_) return;
    startOfWeek_ = d;
    PassSettings();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek w) {
    if (w == weekends_) return;
    weekends_ = w;
    PassSettings();
}

void TCustomDateEdit::SetWeekendColor(TColor c) {
    if (c == weekendColor_) return;
    weekendColor_ = c;
    PassSettings();
}

TCalendarStyle TCustomDateEdit::CalendarStyle() const { return popup_ ? csPopup : csDialog; }

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle s) {
    if (s == CalendarStyle()) return;
    if (s == csPopup) {
        SetPopup(CreatePopupCalendar(this));
        popup_->SetColor(popupColor_);
        PassSettings();
    } else {
        TPopupWindow* old = popup_;
        popupColor_ = old->Color();
        SetPopup(nullptr);
        delete old;
    }
}

TDateTime TCustomDateEdit::GetDate() {
    const TDateTime start = DefaultToday ? std::floor(plat::Now()) : 0.0;
    return StrToDateFmtDef(DefaultDateFormat(), Text(), start);
}

void TCustomDateEdit::SetDate(TDateTime value) {
    if (value != 0 && ValidDateTime(value)) SetText(FormatDefaultDate(value));
    else if (DefaultToday) SetText(FormatDefaultDate(std::floor(plat::Now())));
    else SetText("");
}

void TCustomDateEdit::CheckDateText() {
    if (!TextIsEmpty()) StrToDateFmt(DefaultDateFormat(), Text());
}

void TCustomDateEdit::RebuildDateMask() { SetEditMask(DefaultDateMask(blanksChar_)); }

void TCustomDateEdit::ButtonPressed() {
    TCustomComboEdit::ButtonPressed();
    if (popup_) return;
    TDateTime date = GetDate();
    const bool ok = SelectDate(date, DialogTitle, startOfWeek_, weekends_, weekendColor_);
    if (CanFocus()) SetFocus();
    if (!ok) return;
    bool action = true;
    if (OnAcceptDate) OnAcceptDate(this, date, action);
    if (!action) return;
    SetDate(date);
    if (Focused() && DirectInput()) SelectAll();
}

bool TCustomDateEdit::CanAcceptPopupValue(std::string& value) {
    bool accept = true;
    if (OnAcceptDate) {
        TDateTime date = StrToDateFmtDef(DefaultDateFormat(), value, DefaultToday ? std::floor(plat::Now()) : 0.0);
        OnAcceptDate(this, date, accept);
        if (accept) value = (date != 0 && ValidDateTime(date)) ? FormatDefaultDate(date) : std::string();
    }
    return accept;
}

void TCustomDateEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    if (PopupVisible() && popup_ &&
        (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_LEFT || Key == VK_RIGHT || Key == VK_UP || Key == VK_DOWN) &&
        !(Shift & ssAlt)) {
        popup_->PopupKeyDown(Key, Shift);
        Key = 0;
        return;
    }
    TCustomComboEdit::KeyDown(Key, Shift);
}

void TCustomDateEdit::DoExit() {
    if (checking_) return;
    if (CheckOnExit && !(ComponentState() & csDesigning)) {
        try {
            CheckDateText();
        } catch (const plat::EConvertError& e) {
            // Said once, and the focus comes back when the focus change is over.
            checking_ = true;
            MessageDlg(e.Message(), mtError, Buttons({mbOK}));
            plat::PostMessage(Handle(), kRefocusDateEdit, 0, 0);
            return;
        }
    }
    TCustomComboEdit::DoExit();
}

void TCustomDateEdit::WndProc(TMessage& m) {
    if (m.Msg == kRefocusDateEdit) {
        if (CanFocus()) SetFocus();
        checking_ = false;
        return;
    }
    TCustomComboEdit::WndProc(m);
}

TDateEdit::TDateEdit(TComponent* AOwner) : TCustomDateEdit(AOwner) { RebuildDateMask(); }

}  // namespace zb
