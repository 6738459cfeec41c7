#include "platform/gui/scroll_controls.h"

#include "platform/core/exceptions.h"
#include "platform/gui/controls_support.h"

#include <algorithm>

namespace gui {

// ===========================================================================
// TScrollBar

TScrollBar::TScrollBar(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
    SetColor(clScrollBar);
    SetTabStop(true);
    ControlStyle &= ~csClickEvents;
}

void TScrollBar::SetKind(TScrollBarKind k) {
    if (k == kind_) return;
    kind_ = k;
    SetBounds(Left(), Top(), Height(), Width());
    Invalidate();
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
    if (AMin > AMax) throw plat::Exception("Scroll bar property out of range");
    min_ = AMin;
    max_ = AMax;
    SetPosition(APosition);
    Invalidate();
}

void TScrollBar::SetPosition(int p) {
    p = std::clamp(p, min_, max_);
    if (p == position_) return;
    position_ = p;
    Invalidate();
    if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode code, int pos) {
    int next = position_;
    switch (code) {
    case scLineUp: next -= SmallChange; break;
    case scLineDown: next += SmallChange; break;
    case scPageUp: next -= LargeChange; break;
    case scPageDown: next += LargeChange; break;
    case scPosition:
    case scTrack: next = pos; break;
    case scTop: next = min_; break;
    case scBottom: next = max_; break;
    case scEndScroll: break;
    }
    next = std::clamp(next, min_, max_);
    if (OnScroll) OnScroll(this, code, next);
    SetPosition(next);
}

TRect TScrollBar::ThumbRect() const {
    int t = Thickness();
    int track = std::max(0, Length() - 2 * t);
    int thumb = std::min(track, std::max(8, t));
    int range = std::max(1, max_ - min_);
    int off = t + (track - thumb) * (position_ - min_) / range;
    return kind_ == sbHorizontal ? Rect(off, 0, off + thumb, t) : Rect(0, off, t, off + thumb);
}

int TScrollBar::PosFromOffset(int offset) const {
    int t = Thickness();
    int track = std::max(1, Length() - 2 * t - std::min(Length() - 2 * t, std::max(8, t)));
    return min_ + (max_ - min_) * std::clamp(offset - t, 0, track) / track;
}

void TScrollBar::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(clScrollBar);
    c.FillRect(ClientRect());
    int t = Thickness();
    TRect a = kind_ == sbHorizontal ? Rect(0, 0, t, t) : Rect(0, 0, t, t);
    TRect b = kind_ == sbHorizontal ? Rect(Width() - t, 0, Width(), t) : Rect(0, Height() - t, t, Height());
    DrawButtonFace(c, a, false, false, false);
    DrawButtonFace(c, b, false, false, false);
    TRect thumb = ThumbRect();
    DrawButtonFace(c, thumb, false, false, false);
}

void TScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    if (CanFocus() && !Focused()) SetFocus();
    int along = kind_ == sbHorizontal ? X : Y;
    int t = Thickness();
    TRect thumb = ThumbRect();
    int thumbStart = kind_ == sbHorizontal ? thumb.Left : thumb.Top;
    int thumbEnd = kind_ == sbHorizontal ? thumb.Right : thumb.Bottom;
    if (along < t) Scroll(scLineUp, 0);
    else if (along >= Length() - t) Scroll(scLineDown, 0);
    else if (along < thumbStart) Scroll(scPageUp, 0);
    else if (along >= thumbEnd) Scroll(scPageDown, 0);
    else {
        dragging_ = true;
        dragOffset_ = along - thumbStart;
    }
}

void TScrollBar::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    if (dragging_) Scroll(scTrack, PosFromOffset((kind_ == sbHorizontal ? X : Y) - dragOffset_));
}

void TScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (dragging_) {
        dragging_ = false;
        Scroll(scPosition, position_);
    }
    Scroll(scEndScroll, position_);
}

void TScrollBar::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    switch (Key) {
    case VK_UP: case VK_LEFT: Scroll(scLineUp, 0); break;
    case VK_DOWN: case VK_RIGHT: Scroll(scLineDown, 0); break;
    case VK_PRIOR: Scroll(scPageUp, 0); break;
    case VK_NEXT: Scroll(scPageDown, 0); break;
    case VK_HOME: Scroll(scTop, 0); break;
    case VK_END: Scroll(scBottom, 0); break;
    default: return;
    }
    Key = 0;
}

void TScrollBar::WndProc(TMessage& m) {
    if (m.Msg == WM_GETDLGCODE) {
        m.Result = DLGC_WANTARROWS;
        return;
    }
    TCustomControl::WndProc(m);
}

// ===========================================================================
// TScrollBox

TScrollBox::TScrollBox(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TScrollBox::UpdateScrollRanges() {
    int right = 0, bottom = 0;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (!c->Visible()) continue;
        right = std::max(right, c->Left() + c->Width() + horz_.Position);
        bottom = std::max(bottom, c->Top() + c->Height() + vert_.Position);
    }
    int contentW = horz_.Range > 0 || !AutoScroll ? horz_.Range : right;
    int contentH = vert_.Range > 0 || !AutoScroll ? vert_.Range : bottom;
    // The bars take room from each other: two rounds settle it.
    for (int round = 0; round < 2; ++round) {
        int maxX = std::max(0, contentW - ClientWidth());
        int maxY = std::max(0, contentH - ClientHeight());
        SetScrollBarRange(this, SB_HORZ, 0, maxX);
        SetScrollBarRange(this, SB_VERT, 0, maxY);
    }
    int maxX = std::max(0, contentW - ClientWidth());
    int maxY = std::max(0, contentH - ClientHeight());
    if (horz_.Position > maxX || vert_.Position > maxY) ScrollTo(std::min(horz_.Position, maxX), std::min(vert_.Position, maxY));
    SetScrollPos(SB_HORZ, horz_.Position);
    SetScrollPos(SB_VERT, vert_.Position);
}

void TScrollBox::ScrollTo(int x, int y) {
    int minX, maxX, minY, maxY;
    GetScrollRange(SB_HORZ, minX, maxX);
    GetScrollRange(SB_VERT, minY, maxY);
    x = std::clamp(x, 0, std::max(0, maxX));
    y = std::clamp(y, 0, std::max(0, maxY));
    int dx = horz_.Position - x, dy = vert_.Position - y;
    if (!dx && !dy) return;
    horz_.Position = x;
    vert_.Position = y;
    // The children move; their positions are relative to the visible corner.
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
    }
    SetScrollPos(SB_HORZ, x);
    SetScrollPos(SB_VERT, y);
    Invalidate();
}

void TScrollBox::ScrollInView(TControl* control) {
    if (!control || control->Parent() != this) return;
    int x = horz_.Position, y = vert_.Position;
    if (control->Left() < 0) x += control->Left();
    else if (control->Left() + control->Width() > ClientWidth())
        x += std::min(control->Left(), control->Left() + control->Width() - ClientWidth());
    if (control->Top() < 0) y += control->Top();
    else if (control->Top() + control->Height() > ClientHeight())
        y += std::min(control->Top(), control->Top() + control->Height() - ClientHeight());
    ScrollTo(x, y);
}

void TScrollBox::Resize() {
    UpdateScrollRanges();
    TCustomControl::Resize();
}

void TScrollBox::WndProc(TMessage& m) {
    if (m.Msg == WM_HSCROLL || m.Msg == WM_VSCROLL) {
        bool h = m.Msg == WM_HSCROLL;
        TControlScrollBar& bar = h ? horz_ : vert_;
        int page = h ? ClientWidth() : ClientHeight();
        int pos = bar.Position;
        int minP, maxP;
        GetScrollRange(h ? SB_HORZ : SB_VERT, minP, maxP);
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: pos -= bar.Increment; break;
        case SB_LINEDOWN: pos += bar.Increment; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: pos = HIWORD(m.WParam); break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = maxP; break;
        default: return;
        }
        if (h) ScrollTo(pos, vert_.Position);
        else ScrollTo(horz_.Position, pos);
        return;
    }
    TCustomControl::WndProc(m);
    if (m.Msg == CM_CONTROLLISTCHANGE || m.Msg == CM_CONTROLCHANGE) UpdateScrollRanges();
}

// ===========================================================================
// TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
    ControlStyle = csCaptureMouse;
}

TControl* TSplitter::FindControl() const {
    if (!parent_) return nullptr;
    // The control on the same side whose edge touches the splitter.
    for (int i = 0; i < parent_->ControlCount(); ++i) {
        TControl* c = parent_->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        switch (Align()) {
        case alLeft: if (c->Left() + c->Width() == Left()) return c; break;
        case alRight: if (c->Left() == Left() + Width()) return c; break;
        case alTop: if (c->Top() + c->Height() == Top()) return c; break;
        case alBottom: if (c->Top() == Top() + Height()) return c; break;
        default: break;
        }
    }
    return nullptr;
}

void TSplitter::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(ClientRect());
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    target_ = FindControl();
    downAt_ = ClientToScreen({X, Y});
    if (target_) startSize_ = (Align() == alLeft || Align() == alRight) ? target_->Width() : target_->Height();
}

void TSplitter::ApplyDelta(int delta) {
    if (!target_) return;
    bool horizontal = Align() == alLeft || Align() == alRight;
    int sign = (Align() == alLeft || Align() == alTop) ? 1 : -1;
    int size = std::max(MinSize, startSize_ + sign * delta);
    // The space on the other side of the splitter keeps MinSize too.
    int room = horizontal ? parent_->ClientWidth() : parent_->ClientHeight();
    size = std::min(size, std::max(MinSize, room - MinSize - (horizontal ? Width() : Height())));
    if (horizontal) target_->SetWidth(size);
    else target_->SetHeight(size);
    parent_->Realign();
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!target_ || !(Shift & ssLeft)) return;
    if (ResizeStyle == rsUpdate) {
        TPoint p = ClientToScreen({X, Y});
        ApplyDelta((Align() == alLeft || Align() == alRight) ? p.x - downAt_.x : p.y - downAt_.y);
    }
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!target_) return;
    TPoint p = ClientToScreen({X, Y});
    // The splitter itself moved with the control; measure from where the drag began.
    ApplyDelta((Align() == alLeft || Align() == alRight) ? p.x - downAt_.x : p.y - downAt_.y);
    target_ = nullptr;
    if (OnMoved) OnMoved(this);
}

}  // namespace gui
