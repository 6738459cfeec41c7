#include "platform/gui/std_controls.h"

#include "platform/core/codepage.h"

#include <algorithm>

namespace gui {

// --- TLabel ------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csOpaque | csReplicatable;
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TLabel::SetAlignment(TAlignment a) { if (a != alignment_) { alignment_ = a; Invalidate(); } }
void TLabel::SetAutoSize(bool a) { if (a != autoSize_) { autoSize_ = a; AdjustBounds(); } }
void TLabel::SetWordWrap(bool w) { if (w != wordWrap_) { wordWrap_ = w; AdjustBounds(); Invalidate(); } }
void TLabel::SetTransparent(bool t) {
    if (t == transparent_) return;
    transparent_ = t;
    if (t) ControlStyle &= ~csOpaque;
    else ControlStyle |= csOpaque;
    Invalidate();
}
void TLabel::SetLayout(TTextLayout l) { if (l != layout_) { layout_ = l; Invalidate(); } }

unsigned TLabel::TextFlags() const {
    unsigned f = DT_EXPANDTABS;
    if (alignment_ == taCenter) f |= DT_CENTER;
    else if (alignment_ == taRightJustify) f |= DT_RIGHT;
    if (wordWrap_) f |= DT_WORDBREAK;
    if (!ShowAccelChar) f |= DT_NOPREFIX;
    return f;
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || IsLoading()) return;
    TCanvas measure;
    measure.Font().Assign(Font());
    TRect r = Rect(0, 0, wordWrap_ ? Width() : 0, 0);
    std::string text = Caption().empty() ? std::string(" ") : Caption();
    DrawText(measure, text, r, TextFlags() | DT_CALCRECT);
    int x = Left();
    if (alignment_ == taRightJustify) x += Width() - r.Width();
    else if (alignment_ == taCenter) x += (Width() - r.Width()) / 2;
    SetBounds(wordWrap_ ? Left() : x, Top(), wordWrap_ ? Width() : r.Width(), r.Height());
}

void TLabel::SetFocusControl(TWinControl* c) {
    if (c == focusControl_) return;
    if (focusControl_) RemoveFreeNotification(focusControl_);
    focusControl_ = c;
    if (c) FreeNotification(c);
}

void TLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

void TLabel::WndProc(TMessage& m) {
    if (m.Msg == CM_DIALOGCHAR) {
        if (focusControl_ && Enabled() && ShowAccelChar && IsAccel(static_cast<unsigned>(m.WParam), Caption()) &&
            focusControl_->CanFocus()) {
            focusControl_->SetFocus();
            m.Result = 1;
        }
        return;
    }
    if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) {
        TGraphicControl::WndProc(m);
        AdjustBounds();
        return;
    }
    TGraphicControl::WndProc(m);
}

void TLabel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    if (!transparent_) {
        c.Brush().SetColor(Color());
        c.Brush().SetStyle(bsSolid);
        c.FillRect(r);
    }
    c.Brush().SetStyle(bsClear);
    c.Font().Assign(Font());
    unsigned flags = TextFlags();
    if (layout_ != tlTop) {
        TRect calc = r;
        DrawText(c, Caption(), calc, flags | DT_CALCRECT);
        int dy = layout_ == tlBottom ? r.Height() - calc.Height() : (r.Height() - calc.Height()) / 2;
        OffsetRect(r, 0, dy);
    }
    if (!Enabled()) {
        // Disabled text: embossed, highlight under grey.
        TRect shadow = r;
        OffsetRect(shadow, 1, 1);
        c.Font().SetColor(clBtnHighlight);
        DrawText(c, Caption(), shadow, flags);
        c.Font().SetColor(clBtnShadow);
    }
    DrawText(c, Caption(), r, flags);
}

// --- TPanel ------------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                   csReplicatable;
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TPanel::SetBevelInner(TPanelBevel b) { if (b != bevelInner_) { bevelInner_ = b; Realign(); Invalidate(); } }
void TPanel::SetBevelOuter(TPanelBevel b) { if (b != bevelOuter_) { bevelOuter_ = b; Realign(); Invalidate(); } }
void TPanel::SetBevelWidth(int w) { if (w != bevelWidth_ && w >= 1) { bevelWidth_ = w; Realign(); Invalidate(); } }
void TPanel::SetBorderWidth(int w) { if (w != borderWidth_ && w >= 0) { borderWidth_ = w; Realign(); Invalidate(); } }
void TPanel::SetBorderStyle(TBorderStyle s) { if (s != borderStyle_) { borderStyle_ = s; Realign(); Invalidate(); } }
void TPanel::SetAlignment(TAlignment a) { if (a != alignment_) { alignment_ = a; Invalidate(); } }

TRect TPanel::AdjustClientRect() const {
    TRect r = ClientRect();
    int inset = borderWidth_;
    if (borderStyle_ == bsSingle) inset += 1;
    if (bevelOuter_ != bvNone) inset += bevelWidth_;
    if (bevelInner_ != bvNone) inset += bevelWidth_;
    InflateRect(r, -inset, -inset);
    return r;
}

void TPanel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    if (borderStyle_ == bsSingle) {
        c.Brush().SetColor(clWindowFrame);
        c.FrameRect(r);
        InflateRect(r, -1, -1);
    }
    auto bevel = [&](TPanelBevel b) {
        if (b == bvNone) return;
        if (b == bvSpace) {
            InflateRect(r, -bevelWidth_, -bevelWidth_);
            return;
        }
        TColor top = b == bvLowered ? clBtnShadow : clBtnHighlight;
        TColor bottom = b == bvLowered ? clBtnHighlight : clBtnShadow;
        Frame3D(c, r, top, bottom, bevelWidth_);
    };
    bevel(bevelOuter_);
    Frame3D(c, r, Color(), Color(), borderWidth_);
    bevel(bevelInner_);
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(bsSolid);
    c.FillRect(r);
    if (!Caption().empty()) {
        c.Brush().SetStyle(bsClear);
        c.Font().Assign(Font());
        unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
        if (alignment_ == taCenter) flags |= DT_CENTER;
        else if (alignment_ == taRightJustify) flags |= DT_RIGHT;
        DrawText(c, Caption(), r, flags);
    }
    if (OnPaint) OnPaint(this);
}

// --- TBevel ------------------------------------------------------------------------

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csReplicatable;
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape s) { if (s != shape_) { shape_ = s; Invalidate(); } }
void TBevel::SetStyle(TBevelStyle s) { if (s != style_) { style_ = s; Invalidate(); } }

void TBevel::Paint() {
    TCanvas& c = Canvas();
    TColor c1 = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor c2 = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = Width(), h = Height();
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        c.Pen().SetColor(color);
        c.Pen().SetWidth(1);
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    };
    switch (shape_) {
    case bsBox: {
        TRect r = ClientRect();
        Frame3D(c, r, c1, c2, 1);
        break;
    }
    case bsFrame: {
        // Two nested frames, the classic etched look.
        TRect r = ClientRect();
        --r.Right;
        --r.Bottom;
        Frame3D(c, r, c1, c1, 1);
        r = ClientRect();
        ++r.Left;
        ++r.Top;
        Frame3D(c, r, c2, c2, 1);
        break;
    }
    case bsTopLine: line(c1, 0, 0, w, 0); line(c2, 0, 1, w, 1); break;
    case bsBottomLine: line(c1, 0, h - 2, w, h - 2); line(c2, 0, h - 1, w, h - 1); break;
    case bsLeftLine: line(c1, 0, 0, 0, h); line(c2, 1, 0, 1, h); break;
    case bsRightLine: line(c1, w - 2, 0, w - 2, h); line(c2, w - 1, 0, w - 1, h); break;
    case bsSpacer: break;
    }
}

// --- TPaintBox ----------------------------------------------------------------------

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csReplicatable;
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    Canvas().Font().Assign(Font());
    Canvas().Brush().SetColor(Color());
    if (OnPaint) OnPaint(this);
}

// --- TImage ------------------------------------------------------------------------

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csReplicatable;
    SetBounds(0, 0, 105, 105);
    picture_.OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { picture_.OnChange = nullptr; }

void TImage::SetStretch(bool s) { if (s != stretch_) { stretch_ = s; Invalidate(); } }
void TImage::SetCenter(bool c) { if (c != center_) { center_ = c; Invalidate(); } }
void TImage::SetAutoSize(bool a) { if (a != autoSize_) { autoSize_ = a; PictureChanged(); } }
void TImage::SetTransparent(bool t) { if (t != transparent_) { transparent_ = t; PictureChanged(); } }

void TImage::PictureChanged() {
    if (TGraphic* g = picture_.Graphic()) {
        if (dynamic_cast<TBitmap*>(g) && g->Transparent() != transparent_) g->SetTransparent(transparent_);
        if (autoSize_ && g->Width() > 0 && g->Height() > 0) SetBounds(Left(), Top(), g->Width(), g->Height());
    }
    Invalidate();
}

TCanvas& TImage::ImageCanvas() {
    TBitmap& b = picture_.Bitmap();
    if (b.Empty()) b.SetSize(Width(), Height());
    return b.Canvas();
}

void TImage::Paint() {
    TGraphic* g = picture_.Graphic();
    if (!g || g->Empty()) return;
    TRect dest;
    if (stretch_) dest = ClientRect();
    else if (center_) dest = Bounds((Width() - g->Width()) / 2, (Height() - g->Height()) / 2, g->Width(), g->Height());
    else dest = Bounds(0, 0, g->Width(), g->Height());
    Canvas().StretchDraw(dest, g);
}

// --- TShape ------------------------------------------------------------------------

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csReplicatable;
    SetBounds(0, 0, 65, 65);
    pen_.OnChange = [this](TObject*) { Invalidate(); };
    brush_.OnChange = [this](TObject*) { Invalidate(); };
}

void TShape::SetShape(TShapeType s) { if (s != shape_) { shape_ = s; Invalidate(); } }

void TShape::Paint() {
    TCanvas& c = Canvas();
    c.Pen().Assign(pen_);
    c.Brush().Assign(brush_);
    int pw = pen_.Width();
    int x = pw / 2, y = pw / 2;
    int w = Width() - pw + 1, h = Height() - pw + 1;
    if (pw == 0) { --w; --h; }
    if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
        int s = std::min(w, h);
        x += (w - s) / 2;
        y += (h - s) / 2;
        w = h = s;
    }
    switch (shape_) {
    case stRectangle: case stSquare: c.Rectangle(x, y, x + w, y + h); break;
    case stRoundRect: case stRoundSquare: c.RoundRect(x, y, x + w, y + h, std::min(w, h) / 4, std::min(w, h) / 4); break;
    case stEllipse: case stCircle: c.Ellipse(x, y, x + w, y + h); break;
    }
}

}  // namespace gui
