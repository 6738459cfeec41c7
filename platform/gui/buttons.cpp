#include "platform/gui/buttons.h"

#include "platform/gui/controls_support.h"

#include <algorithm>

namespace gui {

// ===========================================================================
// TButtonControl

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetTabStop(true);
    SetColor(clBtnFace);
}

void TButtonControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && Enabled()) {
        if (CanFocus() && !Focused()) SetFocus();
        pressed_ = tracking_ = true;
        Invalidate();
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButtonControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (tracking_) {
        bool inside = ClientRect().Contains({X, Y});
        if (inside != pressed_) {
            pressed_ = inside;
            Invalidate();
        }
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TButtonControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && tracking_) {
        tracking_ = false;
        pressed_ = false;
        Invalidate();
    }
    // The release inside clicks through the control's own click handling.
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButtonControl::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && !spaceDown_) {
        spaceDown_ = pressed_ = true;
        Invalidate();
    }
}

void TButtonControl::KeyUp(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyUp(Key, Shift);
    if (Key == VK_SPACE && spaceDown_) {
        spaceDown_ = pressed_ = false;
        Invalidate();
        Click();
    }
}

bool TButtonControl::Accelerated(unsigned key) {
    if (!IsAccel(key, Caption()) || !Enabled() || !Showing()) return false;
    if (CanFocus()) SetFocus();
    Click();
    return true;
}

void TButtonControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        m.Result = Accelerated(static_cast<unsigned>(m.WParam)) ? 1 : 0;
        return;
    case BM_CLICK: Click(); return;
    case CM_ENTER:
    case CM_EXIT:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

// ===========================================================================
// TButton

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
    if (ModalResult != mrNone)
        if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
    TButtonControl::Click();
}

void TButton::WndProc(TMessage& m) {
    if (m.Msg == CM_DIALOGKEY) {
        auto key = static_cast<unsigned>(m.WParam);
        if (((key == VK_RETURN && Default) || (key == VK_ESCAPE && Cancel)) && Enabled() && Showing()) {
            Click();
            m.Result = 1;
            return;
        }
        m.Result = 0;
        return;
    }
    TButtonControl::WndProc(m);
}

void TButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    DrawButtonFace(c, r, pressed_, false, Focused() || Default);
    c.Font().Assign(Font());
    if (pressed_) OffsetRect(r, 1, 1);
    DrawCaption(c, Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Enabled());
    if (Focused()) {
        TRect f = ClientRect();
        InflateRect(f, -4, -4);
        c.DrawFocusRect(f);
    }
}

// ===========================================================================
// TBitBtn

namespace {

struct KindInfo {
    const char* caption;
    TModalResult result;
    bool isDefault;
    bool isCancel;
};

KindInfo InfoOf(TBitBtnKind k) {
    switch (k) {
    case bkOK: return {"OK", mrOk, true, false};
    case bkCancel: return {"Cancel", mrCancel, false, true};
    case bkHelp: return {"&Help", mrNone, false, false};
    case bkYes: return {"&Yes", mrYes, true, false};
    case bkNo: return {"&No", mrNo, false, true};
    case bkClose: return {"&Close", mrNone, false, false};
    case bkAbort: return {"Abort", mrAbort, false, true};
    case bkRetry: return {"&Retry", mrRetry, false, false};
    case bkIgnore: return {"&Ignore", mrIgnore, false, false};
    case bkAll: return {"&All", mrAll, true, false};
    default: return {"", mrNone, false, false};
    }
}

}  // namespace

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::SetKind(TBitBtnKind k) {
    kind_ = k;
    if (k == bkCustom) return;
    KindInfo info = InfoOf(k);
    SetCaption(info.caption);
    ModalResult = info.result;
    Default = info.isDefault;
    Cancel = info.isCancel;
    Invalidate();
}

void TBitBtn::Click() {
    if (kind_ == bkClose) {
        if (TForm* form = ParentForm()) {
            form->Close();
            return;
        }
    }
    TButton::Click();
}

void TBitBtn::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    DrawButtonFace(c, r, pressed_, false, Focused() || Default);
    c.Font().Assign(Font());
    int index = !Enabled() ? 1 : pressed_ ? 2 : 0;
    DrawGlyphAndCaption(c, ClientRect(), glyph_, NumGlyphs, index, Caption(), Layout, Margin, Spacing, Enabled(),
                        pressed_ ? Point(1, 1) : Point(0, 0));
    if (Focused()) {
        TRect f = ClientRect();
        InflateRect(f, -4, -4);
        c.DrawFocusRect(f);
    }
}

void DrawGlyphAndCaption(TCanvas& c, const TRect& client, TBitmap& glyph, int numGlyphs, int index,
                         const std::string& caption, TButtonLayout layout, int margin, int spacing, bool enabled,
                         TPoint offset) {
    int n = std::max(1, numGlyphs);
    int gw = glyph.Empty() ? 0 : glyph.Width() / n;
    int gh = glyph.Empty() ? 0 : glyph.Height();
    TRect textRect{0, 0, client.Width(), 0};
    if (!caption.empty()) DrawText(c, caption, textRect, DT_CALCRECT | DT_SINGLELINE);
    int tw = caption.empty() ? 0 : textRect.Width(), th = caption.empty() ? 0 : textRect.Height();
    int gap = (gw && tw) ? spacing : 0;
    bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    int total = horizontal ? gw + gap + tw : gh + gap + th;
    int extent = horizontal ? client.Width() : client.Height();
    int start = margin >= 0 ? margin : (extent - total) / 2;
    TPoint gp, tp;
    if (horizontal) {
        int gx = layout == blGlyphLeft ? start : start + tw + gap;
        int tx = layout == blGlyphLeft ? start + gw + gap : start;
        gp = {gx, (client.Height() - gh) / 2};
        tp = {tx, (client.Height() - th) / 2};
    } else {
        int gy = layout == blGlyphTop ? start : start + th + gap;
        int ty = layout == blGlyphTop ? start + gh + gap : start;
        gp = {(client.Width() - gw) / 2, gy};
        tp = {(client.Width() - tw) / 2, ty};
    }
    if (gw) {
        // A part the glyph lacks falls back to the first one.
        int part = index < n ? index : 0;
        TRect src = Bounds(part * gw, 0, gw, gh);
        TBitmap piece(gw, gh);
        piece.Canvas().CopyRect(Bounds(0, 0, gw, gh), glyph.Canvas(), src);
        // The see-through colour is the whole glyph's bottom-left pixel.
        piece.SetTransparentColor(glyph.Canvas().Pixel(0, gh - 1));
        piece.SetTransparent(true);
        c.Draw(gp.x + offset.x, gp.y + offset.y, &piece);
    }
    if (tw) {
        TRect tr = Bounds(tp.x + offset.x, tp.y + offset.y, tw, th);
        DrawCaption(c, caption, tr, DT_SINGLELINE | DT_LEFT | DT_TOP, enabled);
    }
}

// ===========================================================================
// TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 23, 22);
    ControlStyle = csCaptureMouse | csDoubleClicks;  // the button clicks itself on release
    SetColor(clBtnFace);
}

void TSpeedButton::SetGroupIndex(int g) {
    groupIndex_ = g;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool a) {
    allowAllUp_ = a;
    UpdateExclusive();
}

void TSpeedButton::SetDown(bool d) {
    if (groupIndex_ == 0) d = false;
    if (d == down_) return;
    // The only down button of a group stays down unless all may be up.
    if (!d && !allowAllUp_ && state_ == bsExclusive) return;
    down_ = d;
    state_ = d ? bsExclusive : bsUp;
    Invalidate();
    if (d) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
    if (!parent_ || groupIndex_ == 0) return;
    for (int i = 0; i < parent_->ControlCount(); ++i) {
        auto* b = dynamic_cast<TSpeedButton*>(parent_->Controls(i));
        if (!b || b == this || b->groupIndex_ != groupIndex_) continue;
        b->allowAllUp_ = allowAllUp_;
        if (down_ && b->down_) {
            b->down_ = false;
            b->state_ = bsUp;
            b->Invalidate();
        }
    }
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled()) return;
    if (!down_) {
        state_ = bsDown;
        Invalidate();
    }
    dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!dragging_) return;
    TButtonState ns = down_ ? bsExclusive : bsUp;
    if (ClientRect().Contains({X, Y})) ns = down_ ? bsExclusive : bsDown;
    if (ns != state_) {
        state_ = ns;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!dragging_ || Button != mbLeft) return;
    dragging_ = false;
    bool inside = ClientRect().Contains({X, Y});
    if (groupIndex_ == 0) {
        state_ = bsUp;
        Invalidate();
        if (inside) Click();
        return;
    }
    if (inside) {
        if (!down_) SetDown(true);
        else if (allowAllUp_) SetDown(false);
        Click();
    }
    state_ = down_ ? bsExclusive : bsUp;
    Invalidate();
}

void TSpeedButton::WndProc(TMessage& m) {
    if (m.Msg == CM_ENABLEDCHANGED) {
        state_ = !Enabled() ? bsDisabled : down_ ? bsExclusive : bsUp;
        Invalidate();
    }
    TGraphicControl::WndProc(m);
}

TRect TSpeedButton::GlyphPart(TButtonState s) const {
    int n = std::max(1, NumGlyphs);
    int w = glyph_.Empty() ? 0 : glyph_.Width() / n;
    int i = static_cast<int>(s) < n ? static_cast<int>(s) : 0;
    return Bounds(i * w, 0, w, glyph_.Height());
}

void TSpeedButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    bool sunk = state_ == bsDown || state_ == bsExclusive;
    DrawButtonFace(c, r, sunk, Flat, false);
    if (state_ == bsExclusive && !Flat) {
        // The down state of a group member shows a dithered face.
        c.Brush().SetColor(clBtnHighlight);
        c.Brush().SetStyle(bsDiagCross);
        c.FillRect(r);
        c.Brush().SetStyle(bsSolid);
    }
    c.Font().Assign(Font());
    DrawGlyphAndCaption(c, ClientRect(), glyph_, NumGlyphs, static_cast<int>(state_), Caption(), Layout, Margin, Spacing,
                        Enabled(), sunk ? Point(1, 1) : Point(0, 0));
}

// ===========================================================================
// TCheckBox

namespace {

void DrawCheckMark(TCanvas& c, const TRect& box, bool grayed) {
    c.Pen().SetColor(grayed ? clGrayText : clWindowText);
    int x = box.Left + 3, y = box.Top + 5;
    for (int i = 0; i < 3; ++i) {
        c.MoveTo(x, y + i);
        c.LineTo(x + 2, y + 2 + i);
        c.LineTo(x + 7, y - 3 + i);
    }
}

TRect IndicatorRect(const TControl& control, TAlignment alignment) {
    int y = (control.Height() - 13) / 2;
    return alignment == taLeftJustify ? Bounds(control.Width() - 13, y, 13, 13) : Bounds(0, y, 13, 13);
}

}  // namespace

TCheckBox::TCheckBox(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 97, 17); }

void TCheckBox::SetState(TCheckBoxState s) {
    if (s == state_) return;
    state_ = s;
    Invalidate();
    TButtonControl::Click();
}

void TCheckBox::Toggle() {
    switch (state_) {
    case cbUnchecked: SetState(cbChecked); break;
    case cbChecked: SetState(AllowGrayed ? cbGrayed : cbUnchecked); break;
    case cbGrayed: SetState(cbUnchecked); break;
    }
}

void TCheckBox::Click() { Toggle(); }

void TCheckBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case BM_GETCHECK: m.Result = state_ == cbChecked ? BST_CHECKED : state_ == cbGrayed ? BST_INDETERMINATE : BST_UNCHECKED; return;
    case BM_SETCHECK:
        SetState(m.WParam == BST_CHECKED ? cbChecked : m.WParam == BST_INDETERMINATE ? cbGrayed : cbUnchecked);
        return;
    default: TButtonControl::WndProc(m); return;
    }
}

void TCheckBox::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    TRect box = IndicatorRect(*this, Alignment);
    TRect b = box;
    Frame3D(c, b, clBtnShadow, clBtnHighlight, 1);
    Frame3D(c, b, cl3DDkShadow, cl3DLight, 1);
    c.Brush().SetColor(state_ == cbGrayed || pressed_ ? clBtnFace : clWindow);
    c.FillRect(b);
    if (state_ != cbUnchecked) DrawCheckMark(c, box, state_ == cbGrayed);
    c.Font().Assign(Font());
    TRect text = Alignment == taLeftJustify ? Rect(0, 0, box.Left - 4, Height()) : Rect(box.Right + 4, 0, Width(), Height());
    DrawCaption(c, Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, Enabled());
    if (Focused()) {
        TRect f = text;
        DrawText(c, Caption(), f, DT_CALCRECT | DT_SINGLELINE);
        // Round the caption as it is centred: one pixel clear above and below.
        const int textHeight = f.Height();
        f.Top = (Height() - textHeight) / 2 - 1;
        f.Bottom = f.Top + textHeight + 2;
        f.Right += 2;
        c.DrawFocusRect(f);
    }
}

// ===========================================================================
// TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool c) {
    if (c == checked_) return;
    checked_ = c;
    Invalidate();
    if (!c) return;
    if (parent_)
        for (int i = 0; i < parent_->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(parent_->Controls(i)); r && r != this) r->SetChecked(false);
    TButtonControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

void TRadioButton::WndProc(TMessage& m) {
    switch (m.Msg) {
    case BM_GETCHECK: m.Result = checked_ ? BST_CHECKED : BST_UNCHECKED; return;
    case BM_SETCHECK: SetChecked(m.WParam == BST_CHECKED); return;
    default: TButtonControl::WndProc(m); return;
    }
}

void TRadioButton::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    TRect box = IndicatorRect(*this, Alignment);
    c.Pen().SetColor(clBtnShadow);
    c.Brush().SetColor(pressed_ ? clBtnFace : clWindow);
    c.Ellipse(box.Left, box.Top, box.Right, box.Bottom);
    if (checked_) {
        c.Brush().SetColor(clWindowText);
        c.Pen().SetColor(clWindowText);
        c.Ellipse(box.Left + 4, box.Top + 4, box.Right - 4, box.Bottom - 4);
    }
    c.Font().Assign(Font());
    TRect text = Alignment == taLeftJustify ? Rect(0, 0, box.Left - 4, Height()) : Rect(box.Right + 4, 0, Width(), Height());
    DrawCaption(c, Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, Enabled());
}

// ===========================================================================
// TGroupBox and TRadioGroup

TGroupBox::TGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    SetBounds(0, 0, 185, 105);
    SetColor(clBtnFace);
}

TRect TGroupBox::AdjustClientRect() const {
    TRect r = ClientRect();
    InflateRect(r, -2, -2);
    r.Top += 12;
    return r;
}

void TGroupBox::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    c.Font().Assign(Font());
    int th = c.TextHeight("0");
    TRect frame = Rect(0, th / 2, Width(), Height());
    TRect f = frame;
    Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
    Frame3D(c, f, clBtnHighlight, clBtnShadow, 1);
    if (!Caption().empty()) {
        TRect tr = Rect(8, 0, Width() - 8, th);
        DrawText(c, Caption(), tr, DT_CALCRECT | DT_SINGLELINE);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(tr);
        DrawCaption(c, Caption(), tr, DT_LEFT | DT_SINGLELINE, Enabled());
    }
}

TRadioGroup::TRadioGroup(TComponent* AOwner) : TGroupBox(AOwner) {
    items_.OnChange = [this](plat::StringList&) { BuildButtons(); };
}

TRadioGroup::~TRadioGroup() { items_.OnChange = nullptr; }

void TRadioGroup::BuildButtons() {
    updating_ = true;
    while (static_cast<int>(buttons_.size()) > items_.Count()) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (static_cast<int>(buttons_.size()) < items_.Count()) {
        auto* b = new TRadioButton(this);
        b->SetParent(this);
        int index = static_cast<int>(buttons_.size());
        b->OnClick = [this, index](TObject*) {
            if (!updating_) SetItemIndex(index);
        };
        buttons_.push_back(b);
    }
    for (int i = 0; i < items_.Count(); ++i) {
        buttons_[i]->SetCaption(items_[i]);
        buttons_[i]->SetChecked(i == itemIndex_);
    }
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    updating_ = false;
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
    if (buttons_.empty()) return;
    TRect area = AdjustClientRect();
    int cols = std::max(1, columns_);
    int rows = (static_cast<int>(buttons_.size()) + cols - 1) / cols;
    int cw = area.Width() / cols;
    int rh = std::max(1, area.Height() / std::max(1, rows));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        int col = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
        buttons_[i]->SetBounds(area.Left + 6 + col * cw, area.Top + row * rh + (rh - 17) / 2, cw - 8, 17);
    }
}

void TRadioGroup::SetItemIndex(int i) {
    if (i < -1 || i >= items_.Count()) i = -1;
    if (i == itemIndex_) return;
    itemIndex_ = i;
    updating_ = true;
    for (int k = 0; k < static_cast<int>(buttons_.size()); ++k) buttons_[k]->SetChecked(k == i);
    updating_ = false;
    TGroupBox::Click();
}

void TRadioGroup::SetColumns(int c) {
    columns_ = std::clamp(c, 1, 16);
    ArrangeButtons();
}

void TRadioGroup::Resize() {
    ArrangeButtons();
    TGroupBox::Resize();
}

}  // namespace gui
