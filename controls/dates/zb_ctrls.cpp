#include "controls/dates/zb_ctrls.h"

#include "controls/dates/zb_utils.h"

#include <QImage>

#include <algorithm>

namespace zb {

using namespace gui;

namespace {

int g_buttonCount = 0;
std::unique_ptr<TBitmap> g_pattern;

QRgb ToRgb(TColor c) {
    c = ColorToRGB(c);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace

TBitmap* SpeedButtonPattern() {
    if (!g_pattern) g_pattern = CreateTwoColorsBrushPattern(clBtnFace, clBtnHighlight);
    return g_pattern.get();
}

// ===========================================================================
// Layout

ButtonLayoutResult CalcButtonLayout(const TRect& client, TPoint glyphSize, TPoint textSize, TButtonLayout layout,
                                    int margin, int spacing, bool dropDownMark) {
    if (dropDownMark) {
        if (glyphSize.x == 0 || layout == blGlyphLeft) textSize.x += 9;
        else glyphSize.x += 6;
    }
    const TPoint clientSize{client.Right - client.Left, client.Bottom - client.Top};
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    TPoint glyphPos, textPos;
    if (horizontal) {
        glyphPos.y = clientSize.y / 2 - glyphSize.y / 2;
        textPos.y = clientSize.y / 2 - textSize.y / 2;
    } else {
        glyphPos.x = clientSize.x / 2 - glyphSize.x / 2;
        textPos.x = clientSize.x / 2 - textSize.x / 2;
    }
    if (glyphSize.x == 0 || textSize.x == 0) spacing = 0;
    const int size = horizontal ? clientSize.x : clientSize.y;
    const int glyph = horizontal ? glyphSize.x : glyphSize.y;
    const int text = horizontal ? textSize.x : textSize.y;
    if (margin == -1 && spacing == -1) {
        margin = spacing = (size - glyph - text) / 3;
    } else if (margin == -1) {
        margin = size / 2 - (glyph + spacing + text) / 2;
    } else if (spacing == -1) {
        spacing = (size - margin - glyph) / 2 - text / 2;
    }
    int g = 0, t = 0;
    switch (layout) {
    case blGlyphLeft:
    case blGlyphTop:
        g = margin;
        t = g + glyph + spacing;
        break;
    case blGlyphRight:
    case blGlyphBottom:
        g = size - margin - glyph;
        t = g - spacing - text;
        break;
    }
    if (horizontal) glyphPos.x = g, textPos.x = t;
    else glyphPos.y = g, textPos.y = t;
    ButtonLayoutResult r;
    r.glyphPos = {glyphPos.x + client.Left, glyphPos.y + client.Top};
    r.textBounds = Bounds(textPos.x + client.Left, textPos.y + client.Top, textSize.x, textSize.y);
    return r;
}

// ===========================================================================
// TZbButtonGlyph

TZbButtonGlyph::TZbButtonGlyph() = default;

void TZbButtonGlyph::SetGlyph(const TBitmap& glyph) {
    glyph_.Assign(glyph);
    Invalidate();
    int n = 1;
    if (glyph_.Height() > 0 && glyph_.Width() % glyph_.Height() == 0) {
        n = glyph_.Width() / glyph_.Height();
        if (n > 5 || n < 1) n = 1;
    }
    numGlyphs_ = n;
    transparentColor_ = glyph_.Empty() ? clFuchsia : glyph_.TransparentColor();
    if (OnChange) OnChange(nullptr);
}

void TZbButtonGlyph::SetNumGlyphs(int n) {
    n = std::clamp(n, 1, 5);
    if (n == numGlyphs_) return;
    numGlyphs_ = n;
    Invalidate();
    if (OnChange) OnChange(nullptr);
}

void TZbButtonGlyph::Invalidate() {
    images_.clear();
    indexes_.fill(-1);
}

int TZbButtonGlyph::CreateButtonGlyph(TZbButtonState state) {
    if (glyph_.Empty()) return -1;
    if (state == zbsDown && numGlyphs_ < 3) state = zbsUp;
    // An exclusive image of its own needs four; fewer show the down image (or the up one).
    if (state == zbsExclusive && numGlyphs_ < 4) state = numGlyphs_ >= 3 ? zbsDown : zbsUp;
    if (indexes_[state] >= 0) return indexes_[state];
    const int w = glyph_.Width() / numGlyphs_, h = glyph_.Height();
    auto part = [&](int index) {
        auto b = std::make_unique<TBitmap>(w, h);
        b->Canvas().CopyMode = cmSrcCopy;
        b->Canvas().CopyRect(Rect(0, 0, w, h), glyph_.Canvas(), Bounds(index * w, 0, w, h));
        return b;
    };
    std::unique_ptr<TBitmap> image;
    if (state == zbsDisabled && numGlyphs_ < 2) {
        auto up = part(0);
        image = CreateDisabledBitmap(*up, transparentColor_);
    } else if (state == zbsInactive && numGlyphs_ < 5) {
        image = part(0);
        QImage& img = image->MutableImage();
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), key = ToRgb(transparentColor_),
                   navy = ToRgb(clNavy), shadow = ToRgb(clBtnShadow), face = ToRgb(clBtnFace);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb p = img.pixel(x, y) | 0xFF000000u;
                if (p == black || p == white || p == key) continue;
                if (p == navy) img.setPixel(x, y, black);
                else img.setPixel(x, y, qRed(p) + qGreen(p) + qBlue(p) < 385 ? shadow : face);
            }
    } else {
        image = part(static_cast<int>(state));
    }
    images_.push_back(std::move(image));
    indexes_[state] = static_cast<int>(images_.size()) - 1;
    return indexes_[state];
}

TRect TZbButtonGlyph::Draw(TCanvas& canvas, const TRect& client, TPoint offset, const std::string& caption,
                           TButtonLayout layout, int margin, int spacing, TZbButtonState state, bool transparent,
                           bool dropDownMark, bool wordWrap) {
    (void)transparent;
    TPoint glyphSize;
    if (!glyph_.Empty()) glyphSize = {glyph_.Width() / numGlyphs_, glyph_.Height()};
    TPoint textSize;
    canvas.Font().SetColor(clBtnText);
    if (!caption.empty()) {
        TRect r = Rect(0, 0, client.Right - client.Left, 0);
        DrawText(canvas, caption, r, DT_CALCRECT | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
        textSize = {r.Right - r.Left, r.Bottom - r.Top};
    }
    ButtonLayoutResult lay = CalcButtonLayout(client, glyphSize, textSize, layout, margin, spacing, dropDownMark);
    lay.glyphPos.x += offset.x;
    lay.glyphPos.y += offset.y;
    lay.textBounds = Bounds(lay.textBounds.Left + offset.x, lay.textBounds.Top + offset.y,
                            lay.textBounds.Width(), lay.textBounds.Height());
    const int index = CreateButtonGlyph(state);
    if (TBitmap* image = Image(index)) {
        // A generated disabled image has no transparent colour of its own but the face.
        const TColor key = (state == zbsDisabled && numGlyphs_ < 2) ? ColorToRGB(clBtnFace) : transparentColor_;
        DrawTransparentBitmap(canvas, lay.glyphPos.x, lay.glyphPos.y, *image, key);
    }
    canvas.Brush().SetStyle(bsClear);
    const unsigned flags = DT_CENTER | DT_VCENTER | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
    TRect tr = lay.textBounds;
    if (dropDownMark && (glyphSize.x == 0 || layout == blGlyphLeft)) tr.Right -= 9;
    auto arrow = [&](TColor color, int dx) {
        const int ax = tr.Right + 1 + dx, ay = lay.textBounds.Top + lay.textBounds.Height() / 2 - 2 + dx;
        for (int row = 0; row < 4; ++row)
            for (int col = row; col < 7 - row; ++col) canvas.SetPixel(ax + col, ay + row, color);
    };
    if (state == zbsDisabled) {
        TRect shifted = Bounds(tr.Left + 1, tr.Top + 1, tr.Width(), tr.Height());
        canvas.Font().SetColor(clBtnHighlight);
        if (!caption.empty()) DrawText(canvas, caption, shifted, flags);
        if (dropDownMark) arrow(clBtnHighlight, 1);
        canvas.Font().SetColor(clBtnShadow);
        if (!caption.empty()) DrawText(canvas, caption, tr, flags);
        if (dropDownMark) arrow(clBtnShadow, 0);
    } else {
        if (!caption.empty()) DrawText(canvas, caption, tr, flags);
        if (dropDownMark) arrow(clBtnText, 0);
    }
    return lay.textBounds;
}

// ===========================================================================
// TZbSpeedButton

TZbSpeedButton::TZbSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 25, 25);
    // Clicks come from our own release handling, not the base's.
    ControlStyle = csCaptureMouse | csDoubleClicks | csSetCaption;
    glyph_.OnChange = [this](TObject*) { Invalidate(); };
    ++g_buttonCount;
}

TZbSpeedButton::~TZbSpeedButton() {
    StopTimer();
    if (--g_buttonCount == 0) g_pattern.reset();
}

void TZbSpeedButton::SetAllowAllUp(bool v) {
    if (v == allowAllUp_) return;
    allowAllUp_ = v;
    GroupChanged();
}

void TZbSpeedButton::SetAllowTimer(bool v) {
    allowTimer_ = v;
    if (!v) StopTimer();
}

void TZbSpeedButton::StopTimer() {
    delete timer_;
    timer_ = nullptr;
}

void TZbSpeedButton::SetGroupIndex(int v) {
    if (v == groupIndex_) return;
    groupIndex_ = v;
    GroupChanged();
}

void TZbSpeedButton::SetDown(bool v) {
    if (groupIndex_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = v;
    if (v) {
        if (state_ == zbsUp) Invalidate();
        state_ = zbsExclusive;
    } else {
        state_ = zbsUp;
    }
    Invalidate();
    if (v) GroupChanged();
}

void TZbSpeedButton::GroupChanged() {
    if (groupIndex_ == 0 || !Parent()) return;
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
        auto* b = dynamic_cast<TZbSpeedButton*>(Parent()->Controls(i));
        if (b && b != this) b->ButtonPressed(this);
    }
}

void TZbSpeedButton::ButtonPressed(TZbSpeedButton* sender) {
    if (!sender || sender->groupIndex_ != groupIndex_ || groupIndex_ == 0) return;
    if (sender->down_ && down_) {
        down_ = false;
        state_ = zbsUp;
        Invalidate();
    }
    allowAllUp_ = sender->allowAllUp_;
}

void TZbSpeedButton::SetDropDownMenu(TPopupMenu* m) {
    if (m == dropDownMenu_) return;
    dropDownMenu_ = m;
    Invalidate();
}

void TZbSpeedButton::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    Invalidate();
}

void TZbSpeedButton::SetGlyph(const TBitmap& b) { glyph_.SetGlyph(b); }

void TZbSpeedButton::SetGrayedInactive(bool v) {
    if (v == grayedInactive_) return;
    grayedInactive_ = v;
    Invalidate();
}

void TZbSpeedButton::SetLayout(TButtonLayout l) {
    if (l == layout_) return;
    layout_ = l;
    Invalidate();
}

void TZbSpeedButton::SetMargin(int m) {
    if (m == margin_ || m < -1) return;
    margin_ = m;
    Invalidate();
}

void TZbSpeedButton::SetMarkDropDown(bool v) {
    if (v == markDropDown_) return;
    markDropDown_ = v;
    Invalidate();
}

void TZbSpeedButton::SetNumGlyphs(int n) { glyph_.SetNumGlyphs(n); }

void TZbSpeedButton::SetSpacing(int s) {
    if (s == spacing_) return;
    spacing_ = s;
    Invalidate();
}

void TZbSpeedButton::SetStyle(TButtonStyle s) {
    if (s == style_) return;
    style_ = s;
    Invalidate();
}

void TZbSpeedButton::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    Invalidate();
}

void TZbSpeedButton::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    Invalidate();
}

TZbButtonState TZbSpeedButton::PaintState() const {
    if (!Enabled()) return zbsDisabled;
    TZbButtonState s = state_;
    if (s == zbsDisabled) s = zbsUp;
    if (s == zbsUp && down_) s = zbsExclusive;
    if (flat_ && !mouseInControl_ && s == zbsUp && grayedInactive_) return zbsInactive;
    return s;
}

void TZbSpeedButton::Paint() {
    TCanvas& c = Canvas();
    const TZbButtonState s = PaintState();
    TRect r = ClientRect();
    const bool pressed = s == zbsDown || s == zbsExclusive;
    if (transparent_) CopyParentImage(this, c);
    else {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clBtnFace);
        c.FillRect(r);
    }
    TRect inner = r;
    if (!flat_) {
        if (style_ == bsWin31) {
            c.Brush().SetColor(clBlack);
            c.FrameRect(inner);
            inner = Rect(inner.Left + 1, inner.Top + 1, inner.Right - 1, inner.Bottom - 1);
        }
        DrawEdge(c, inner, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
        if (s == zbsExclusive) {
            TBitmap* pattern = SpeedButtonPattern();
            for (int y = inner.Top; y < inner.Bottom; y += 8)
                for (int x = inner.Left; x < inner.Right; x += 8) {
                    const int w = std::min(8, inner.Right - x), h = std::min(8, inner.Bottom - y);
                    c.CopyMode = cmSrcCopy;
                    c.CopyRect(Bounds(x, y, w, h), pattern->Canvas(), Rect(0, 0, w, h));
                }
        }
    } else if (pressed) {
        DrawEdge(c, inner, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else if (mouseInControl_ && Enabled()) {
        DrawEdge(c, inner, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    }
    const TPoint offset = pressed ? TPoint{1, 1} : TPoint{0, 0};
    c.Font().Assign(Font());
    glyph_.Draw(c, ClientRect(), offset, Caption(), layout_, margin_, spacing_, s, transparent_,
                markDropDown_ && dropDownMenu_ != nullptr, wordWrap_);
}

void TZbSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled() || menuTracking_) return;
    if ((Shift & ssDouble) && down_ && OnDblClick) OnDblClick(this);
    if (!down_ || state_ != zbsDown) {
        state_ = zbsDown;
        Invalidate();
    }
    dragging_ = true;
    if (dropDownMenu_) {
        menuTracking_ = true;
        const TPoint p = ClientToScreen({0, Height()});
        dropDownMenu_->PopupComponent = this;
        dropDownMenu_->Popup(p.x, p.y);
        menuTracking_ = false;
        // The menu takes the press: the button goes back up and the release clicks nothing.
        dragging_ = false;
        state_ = down_ ? zbsExclusive : zbsUp;
        SetMouseCapture(false);
        Invalidate();
        return;
    }
    if (allowTimer_) {
        if (!timer_) {
            timer_ = new TTimer(nullptr);
            timer_->SetOnTimer([this](TObject*) { TimerExpired(); });
        }
        timer_->SetEnabled(false);
        timer_->SetInterval(InitPause);
        timer_->SetEnabled(true);
    }
}

void TZbSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!dragging_) {
        mouseOver_ = X >= 0 && Y >= 0 && X < Width() && Y < Height();
        UpdateTracking();
        return;
    }
    const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
    const TZbButtonState s = inside ? zbsDown : (down_ ? zbsExclusive : zbsUp);
    if (s != state_) {
        state_ = s;
        Invalidate();
    }
}

void TZbSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!dragging_ || Button != mbLeft) return;
    dragging_ = false;
    if (timer_) timer_->SetEnabled(false);
    const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
    if (groupIndex_ != 0 && inside) SetDown(!down_);
    state_ = down_ ? zbsExclusive : zbsUp;
    Invalidate();
    mouseOver_ = inside;
    if (inside) Click();
    UpdateTracking();
}

void TZbSpeedButton::TimerExpired() {
    if (!timer_) return;
    timer_->SetInterval(RepeatInterval);
    if (state_ == zbsDown && MouseCapture()) Click();
}

void TZbSpeedButton::Click() { TGraphicControl::Click(); }

void TZbSpeedButton::UpdateTracking() {
    // Under the mouse: the layer's enter and leave notices and moves over the button tell.
    const bool in = mouseOver_ && Enabled() && IsForegroundTask();
    if (in != mouseInControl_) {
        mouseInControl_ = in;
        if (flat_) Invalidate();
    }
}

void TZbSpeedButton::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<unsigned>(m.WParam), Caption()) && Enabled() && Visible()) {
            Click();
            m.Result = 1;
            return;
        }
        break;
    case CM_ENABLEDCHANGED:
        glyph_.Invalidate();
        UpdateTracking();
        Invalidate();
        break;
    case CM_MOUSEENTER:
        mouseOver_ = true;
        UpdateTracking();
        break;
    case CM_MOUSELEAVE:
        mouseOver_ = false;
        if (!dragging_) UpdateTracking();
        break;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
    case CM_SYSCOLORCHANGE:
        glyph_.Invalidate();
        Invalidate();
        break;
    default: break;
    }
    TGraphicControl::WndProc(m);
}

TZbTimerSpeedButton::TZbTimerSpeedButton(TComponent* AOwner) : TZbSpeedButton(AOwner) {
    SetAllowTimer(true);
    SetStyle(bsNew);
}

}  // namespace zb
