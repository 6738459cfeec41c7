#include "platform/gui/spin_gauge.h"

#include "platform/gui/controls_support.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gui {

// ===========================================================================
// TSpinButton

TSpinButton::TSpinButton(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 20, 25);
    SetColor(clBtnFace);
    ControlStyle &= ~csClickEvents;
}

namespace {

void DrawArrow(TCanvas& c, const TRect& r, bool up) {
    int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    c.Brush().SetColor(clBtnText);
    c.Pen().SetColor(clBtnText);
    if (up) c.Polygon({{cx - 3, cy + 1}, {cx + 3, cy + 1}, {cx, cy - 2}});
    else c.Polygon({{cx - 3, cy - 1}, {cx + 3, cy - 1}, {cx, cy + 2}});
}

void DrawSpinButtons(TCanvas& c, const TRect& area, int pressed) {
    TRect up = Rect(area.Left, area.Top, area.Right, (area.Top + area.Bottom) / 2);
    TRect down = Rect(area.Left, up.Bottom, area.Right, area.Bottom);
    TRect a = up, b = down;
    DrawButtonFace(c, a, pressed == 1, false, false);
    DrawButtonFace(c, b, pressed == -1, false, false);
    DrawArrow(c, up, true);
    DrawArrow(c, down, false);
}

}  // namespace

void TSpinButton::Paint() { DrawSpinButtons(Canvas(), ClientRect(), pressed_); }

void TSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    pressed_ = Y < Height() / 2 ? 1 : -1;
    Invalidate();
    if (pressed_ == 1 && OnUpClick) OnUpClick(this);
    if (pressed_ == -1 && OnDownClick) OnDownClick(this);
}

void TSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    pressed_ = 0;
    Invalidate();
}

// ===========================================================================
// TSpinEdit

TSpinEdit::TSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
    SetBounds(0, 0, 121, 22);
    SetText("0");
}

int TSpinEdit::CheckValue(int v) const {
    if (MinValue == 0 && MaxValue == 0) return v;
    return std::clamp(v, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
}

int TSpinEdit::Value() const {
    const std::string& t = text_;
    std::size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
    if (i >= t.size()) return MinValue;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return MinValue;
        v = std::min<long long>(v * 10 + (t[i] - '0'), 1LL << 31);
    }
    v = neg ? -v : v;
    return CheckValue(static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)));
}

void TSpinEdit::SetValue(int v) {
    SetText(std::to_string(CheckValue(v)));
}

void TSpinEdit::Step(int direction) {
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    long long next = static_cast<long long>(Value()) + static_cast<long long>(direction) * Increment;
    SetValue(static_cast<int>(std::clamp<long long>(next, INT32_MIN, INT32_MAX)));
    SetModified(true);
    SelectAll();
}

TRect TSpinEdit::ButtonRect() const { return Rect(Width() - 17, 1, Width() - 1, Height() - 1); }

TRect TSpinEdit::TextArea() const {
    TRect r = TCustomEdit::TextArea();
    r.Right = std::min(r.Right, ButtonRect().Left - 1);
    return r;
}

void TSpinEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    if (Key == VK_UP || Key == VK_DOWN) {
        Step(Key == VK_UP ? 1 : -1);
        Key = 0;
        return;
    }
    TCustomEdit::KeyDown(Key, Shift);
}

void TSpinEdit::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    auto u = static_cast<unsigned char>(Key);
    if (u < 32) return;
    // Only what can make a number is typed, and only when typing is allowed.
    bool sign = (Key == '-' || Key == '+') && SelStart() == 0;
    if (!EditorEnabled || !((Key >= '0' && Key <= '9') || sign)) {
        MessageBeep(0);
        Key = 0;
    }
}

void TSpinEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && ButtonRect().Contains({X, Y})) {
        if (CanFocus() && !Focused()) SetFocus();
        Step(Y < Height() / 2 ? 1 : -1);
        return;
    }
    TCustomEdit::MouseDown(Button, Shift, X, Y);
}

void TSpinEdit::DoExit() {
    // Whatever was typed leaves as a number in range.
    std::string want = std::to_string(Value());
    if (text_ != want) SetText(want);
    TCustomEdit::DoExit();
}

void TSpinEdit::Paint() {
    TCustomEdit::Paint();
    DrawSpinButtons(Canvas(), ButtonRect(), 0);
}

// ===========================================================================
// TGauge

TGauge::TGauge(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 100, 100); }

void TGauge::SetMinValue(int v) {
    min_ = std::min(v, max_);
    SetProgress(progress_);
    Invalidate();
}

void TGauge::SetMaxValue(int v) {
    max_ = std::max(v, min_);
    SetProgress(progress_);
    Invalidate();
}

void TGauge::SetProgress(int p) {
    p = std::clamp(p, min_, max_);
    if (p == progress_) return;
    progress_ = p;
    Invalidate();
}

int TGauge::PercentDone() const {
    if (max_ == min_) return 0;
    return static_cast<int>(100LL * (progress_ - min_) / (max_ - min_));
}

void TGauge::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    if (BorderStyle == bsSingle) {
        c.Brush().SetColor(clBlack);
        c.FrameRect(r);
        InflateRect(r, -1, -1);
    }
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(BackColor);
    c.FillRect(r);
    int pct = PercentDone();
    c.Brush().SetColor(ForeColor);
    c.Pen().SetColor(ForeColor);
    TRect filled{r.Left, r.Top, r.Left, r.Top};  // the bar's part, empty for the round kinds
    switch (Kind) {
    case gkHorizontalBar:
        filled = Rect(r.Left, r.Top, r.Left + r.Width() * pct / 100, r.Bottom);
        c.FillRect(filled);
        break;
    case gkVerticalBar:
        filled = Rect(r.Left, r.Bottom - r.Height() * pct / 100, r.Right, r.Bottom);
        c.FillRect(filled);
        break;
    case gkPie:
    case gkNeedle: {
        // A fan of lines from the centre, clockwise from 12 o'clock.
        int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        int rx = r.Width() / 2, ry = r.Height() / 2;
        int steps = Kind == gkPie ? std::max(1, pct * 4) : 1;
        for (int s = 0; s <= steps; ++s) {
            double a = 2 * std::numbers::pi * (Kind == gkPie ? s / 400.0 : pct / 200.0) - std::numbers::pi / 2;
            c.MoveTo(cx, cy);
            c.LineTo(cx + static_cast<int>(rx * std::cos(a)), cy + static_cast<int>(ry * std::sin(a)));
        }
        break;
    }
    case gkText: break;
    }
    if (ShowText) {
        // The text is drawn twice: in the font's colour over the empty part and
        // in the background colour over the bar, so it reads on both, whatever
        // colours the bar and the font have.
        c.Font().Assign(Font());
        c.Brush().SetStyle(bsClear);
        const std::string text = std::to_string(pct) + "%";
        TRect t = r;
        DrawText(c, text, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (!filled.IsEmpty()) {
            c.SetClipRect(filled);
            c.Font().SetColor(BackColor);
            t = r;
            DrawText(c, text, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            c.ResetClip();
            c.Font().Assign(Font());
        }
    }
}

}  // namespace gui
