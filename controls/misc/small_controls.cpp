#include "controls/misc/small_controls.h"

#include <QRubberBand>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace misc {

using namespace gui;

namespace {

int MulDiv(int a, int b, int c) { return c == 0 ? -1 : static_cast<int>(std::lround(double(a) * b / c)); }

}  // namespace

// ===========================================================================
// TTwoWaySplitter

TTwoWaySplitter::TTwoWaySplitter(TComponent* AOwner) : TPanel(AOwner) {
    SetCaption("");
    SetBounds(0, 0, 185, 41);
}

TTwoWaySplitter::~TTwoWaySplitter() { HideFeedback(); }

void TTwoWaySplitter::SetSplitDirection(TSplitDirection d) {
    if (d == direction_) return;
    direction_ = d;
    // The split cursors follow the bar; any other cursor stays.
    if (d == sdHorizontal && dragCursor_ == crHSplit) dragCursor_ = crVSplit;
    else if (d == sdVertical && dragCursor_ == crVSplit) dragCursor_ = crHSplit;
    ArrangePanes();
    Invalidate();
}

void TTwoWaySplitter::SetBarPosition(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == barPosition_) return;
    barPosition_ = percent;
    ArrangePanes();
    Invalidate();
}

void TTwoWaySplitter::SetBarWidth(int w) {
    if (w == barWidth_ || w < 1) return;
    barWidth_ = w;
    ArrangePanes();
    Invalidate();
}

void TTwoWaySplitter::SetBarColor(TColor c) {
    if (c == barColor_) return;
    barColor_ = c;
    Invalidate();
}

TRect TTwoWaySplitter::InnerRect() const {
    TRect r = ClientRect();
    int inset = BorderWidth() + (BorderStyle() == bsSingle ? 1 : 0);
    if (BevelInner() != bvNone) inset += BevelWidth();
    if (BevelOuter() != bvNone) inset += BevelWidth();
    return Rect(r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset);
}

TRect TTwoWaySplitter::BarRect() const {
    const TRect in = InnerRect();
    if (direction_ == sdHorizontal) {
        const int centre = in.Top + MulDiv(in.Height(), barPosition_, 100);
        const int top = centre - barWidth_ / 2;
        return Rect(in.Left, top, in.Right, top + barWidth_);
    }
    const int centre = in.Left + MulDiv(in.Width(), barPosition_, 100);
    const int left = centre - barWidth_ / 2;
    return Rect(left, in.Top, left + barWidth_, in.Bottom);
}

void TTwoWaySplitter::ArrangePanes() {
    if (arranging_) return;
    arranging_ = true;
    const TRect in = InnerRect(), bar = BarRect();
    if (ControlCount() >= 1) {
        TControl* first = Controls(0);
        if (direction_ == sdHorizontal) first->SetBounds(in.Left, in.Top, in.Width(), std::max(0, bar.Top - in.Top));
        else first->SetBounds(in.Left, in.Top, std::max(0, bar.Left - in.Left), in.Height());
    }
    if (ControlCount() >= 2) {
        TControl* second = Controls(1);
        if (direction_ == sdHorizontal)
            second->SetBounds(in.Left, bar.Bottom, in.Width(), std::max(0, in.Bottom - bar.Bottom));
        else second->SetBounds(bar.Right, in.Top, std::max(0, in.Right - bar.Right), in.Height());
    }
    arranging_ = false;
}

void TTwoWaySplitter::Resize() {
    ArrangePanes();
    TPanel::Resize();
}

void TTwoWaySplitter::Paint() {
    ArrangePanes();
    TPanel::Paint();
    TCanvas& c = Canvas();
    TRect bar = BarRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(barColor_);
    c.FillRect(bar);
    // A raised face, so the bar reads as something to grab.
    Frame3D(c, bar, clBtnHighlight, clBtnShadow, 1);
}

void TTwoWaySplitter::ShowFeedback() {
    // Qt cannot invert the screen: the bar is shown in a window over the panel.
    if (!Widget()) return;
    if (!feedback_) feedback_ = new QRubberBand(QRubberBand::Line, Widget());
    const TRect b = BarRect();
    feedback_->setGeometry(b.Left, b.Top, b.Width(), b.Height());
    feedback_->show();
    feedback_->raise();
}

void TTwoWaySplitter::HideFeedback() {
    delete feedback_;
    feedback_ = nullptr;
}

void TTwoWaySplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TPanel::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || dragging_ || Locked || !BarRect().Contains({X, Y})) return;
    dragging_ = true;
    SetCursor(dragCursor_);
    SetMouseCapture(true);
    ShowFeedback();
}

void TTwoWaySplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TPanel::MouseMove(Shift, X, Y);
    if (!dragging_) {
        const bool over = BarRect().Contains({X, Y}) && !Locked;
        if (over && !overBar_) {
            keptCursor_ = Cursor();
            SetCursor(dragCursor_);
        } else if (!over && overBar_) {
            SetCursor(keptCursor_);
        }
        overBar_ = over;
        return;
    }
    const TRect in = InnerRect();
    const bool horizontal = direction_ == sdHorizontal;
    const int start = horizontal ? in.Top : in.Left;
    const int end = horizontal ? in.Bottom : in.Right;
    int pos = horizontal ? Y : X;
    pos = std::max(pos, start + barWidth_ / 2 - 1);
    pos = std::min(pos, end - barWidth_ / 2);
    const int percent = std::clamp(MulDiv(pos - start + 1, 100, end - start + 1), 0, 100);
    if (percent != barPosition_) {
        barPosition_ = percent;
        ShowFeedback();
        if (OnSplitMove) OnSplitMove(this, percent);
    }
}

void TTwoWaySplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TPanel::MouseUp(Button, Shift, X, Y);
    if (!dragging_) return;
    HideFeedback();
    SetMouseCapture(false);
    ArrangePanes();
    Invalidate();
    dragging_ = false;
    if (OnBarPosition) OnBarPosition(this, barPosition_);
}

// ===========================================================================
// TW95Meter

TW95Meter::TW95Meter(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 100, 18); }

void TW95Meter::SetPercent(int value) {
    value = std::clamp(value, 0, 100);
    if (value == percent_) return;
    percent_ = value;
    Invalidate();
}

void TW95Meter::SetSegmentWidth(int v) {
    if (v <= 0 || v == segmentWidth_) return;
    segmentWidth_ = v;
    Invalidate();
}

void TW95Meter::SetSegmentGap(int v) {
    if (v <= 0 || v == segmentGap_) return;
    segmentGap_ = v;
    Invalidate();
}

void TW95Meter::SetSegmentColor(TColor c) {
    if (c == segmentColor_) return;
    segmentColor_ = c;
    Invalidate();
}

void TW95Meter::SetBackGroundColor(TColor c) {
    if (c == backColor_) return;
    backColor_ = c;
    Invalidate();
}

void TW95Meter::SetEdgeStyle(TEdgeStyle95 s) {
    if (s == edgeStyle_) return;
    edgeStyle_ = s;
    Invalidate();
}

std::vector<TRect> TW95Meter::Segments() const {
    std::vector<TRect> out;
    if (percent_ <= 0) return out;
    const int step = segmentWidth_ + segmentGap_;
    const int w = Width(), h = Height();
    if (w > h) {
        const int count = static_cast<int>(std::lround((w / step) * percent_ * 0.01));
        for (int i = 0, x = 4; i < count; ++i, x += step) {
            if (x + segmentWidth_ > w - 4) break;
            out.push_back(Rect(x, 4, x + segmentWidth_, h - 4));
        }
    } else {
        const int count = static_cast<int>(std::lround((h / step) * percent_ * 0.01));
        for (int i = 0, y = h - 4; i < count; ++i, y -= step) {
            if (y - segmentWidth_ < 4) break;
            out.push_back(Rect(4, y - segmentWidth_, w - 4, y));
        }
    }
    return out;
}

void TW95Meter::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush().SetStyle(bsSolid);
    if (edgeStyle_ == st95None) {
        c.Pen().SetColor(clBlack);
        c.Pen().SetWidth(1);
        c.Brush().SetColor(backColor_);
        c.Rectangle(r);
    } else {
        const TColor grey = clBtnShadow, white = clBtnHighlight;
        if (edgeStyle_ == st95Lowered) Frame3D(c, r, grey, white, 2);
        else Frame3D(c, r, white, grey, 2);
        c.Brush().SetColor(backColor_);
        c.FillRect(r);
    }
    c.Brush().SetColor(segmentColor_);
    for (const TRect& s : Segments()) c.FillRect(s);
}

// ===========================================================================
// TShadowPanel

TShadowPanel::TShadowPanel(TComponent* AOwner) : TPanel(AOwner) {
    shadow_ = new TPanel(this);
    shadow_->SetColor(RGB(128, 128, 128));
    shadow_->SetBevelOuter(bvNone);
    shadow_->SetCaption("");
}

TShadowPanel::~TShadowPanel() = default;

void TShadowPanel::SetShadowWidth(int w) {
    if (w == shadowWidth_) return;
    shadowWidth_ = w;
    PlaceShadow();
}

void TShadowPanel::SetParent(TWinControl* AParent) {
    TPanel::SetParent(AParent);
    if (shadow_) shadow_->SetParent(AParent);
    PlaceShadow();
}

void TShadowPanel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
    PlaceShadow();
}

void TShadowPanel::PlaceShadow() {
    if (!shadow_ || !shadow_->Parent()) return;
    shadow_->SetBounds(Left() + shadowWidth_, Top() + shadowWidth_, Width(), Height());
    shadow_->SendToBack();
    BringToFront();
}

// ===========================================================================
// TBkgdPanel

TBkgdPanel::TBkgdPanel(TComponent* AOwner) : TPanel(AOwner) {
    background_.OnChange = [this](TObject*) { Invalidate(); };
}

void TBkgdPanel::Paint() {
    if (background_.Empty()) {
        TPanel::Paint();
        return;
    }
    TCanvas& c = Canvas();
    const TRect client = ClientRect();
    for (int y = client.Top; y < client.Bottom; y += background_.Height())
        for (int x = client.Left; x < client.Right; x += background_.Width()) c.Draw(x, y, &background_);
    TRect r = client;
    auto bevel = [&](TPanelBevel b) {
        if (b == bvNone) return;
        const bool raised = b == bvRaised;
        Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, BevelWidth());
    };
    bevel(BevelOuter());
    bevel(BevelInner());
}

// ===========================================================================
// TTransImage

TTransImage::TTransImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle = ControlStyle & ~csOpaque;
    SetBounds(0, 0, 105, 105);
    bitmap_.OnChange = [this](TObject*) { BitmapChanged(); };
}

void TTransImage::BitmapChanged() {
    if (building_) return;
    building_ = true;
    if (AutoSize && !bitmap_.Empty()) SetBounds(Left(), Top(), bitmap_.Width(), bitmap_.Height());
    if (!bitmap_.Empty()) {
        const TColor key = bitmap_.TransparentColor();
        mask_.Assign(*bitmap_.CreateMask(key));
        // The picture with the key colour blacked out: S and not mask.
        image_.SetSize(bitmap_.Width(), bitmap_.Height());
        const TRect all = Rect(0, 0, bitmap_.Width(), bitmap_.Height());
        image_.Canvas().CopyMode = cmSrcCopy;
        image_.Canvas().CopyRect(all, mask_.Canvas(), all);
        image_.Canvas().CopyMode = cmSrcErase;
        image_.Canvas().CopyRect(all, bitmap_.Canvas(), all);
        image_.Canvas().CopyMode = cmSrcCopy;
    }
    building_ = false;
    Invalidate();
}

void TTransImage::Paint() {
    TCanvas& c = Canvas();
    if (ComponentState() & csDesigning) {
        c.Pen().SetStyle(psDash);
        c.Brush().SetStyle(bsClear);
        c.Rectangle(ClientRect());
    }
    if (bitmap_.Empty()) return;
    TRect dest;
    if (Stretch) dest = ClientRect();
    else if (Center)
        dest = Bounds((Width() - bitmap_.Width()) / 2, (Height() - bitmap_.Height()) / 2, bitmap_.Width(),
                      bitmap_.Height());
    else dest = Bounds(0, 0, bitmap_.Width(), bitmap_.Height());
    const TRect all = Rect(0, 0, bitmap_.Width(), bitmap_.Height());
    const TCopyMode saved = c.CopyMode;
    if (Transparent) {
        c.CopyMode = cmSrcAnd;
        c.CopyRect(dest, mask_.Canvas(), all);
        c.CopyMode = cmSrcPaint;
        c.CopyRect(dest, image_.Canvas(), all);
    } else {
        c.CopyMode = cmSrcCopy;
        c.CopyRect(dest, bitmap_.Canvas(), all);
    }
    c.CopyMode = saved;
}

}  // namespace misc
