#include "controls/misc/handles.h"

#include "platform/gui/forms.h"

#include <QImage>
#include <QRubberBand>
#include <QWidget>

#include <algorithm>

namespace misc {

using namespace gui;

namespace {

constexpr int kGrab = 5;

// The eight grab squares of a rectangle, clockwise from the top-left corner.
std::vector<TRect> GrabSquares(const TRect& r) {
    const int cx = (r.Left + r.Right) / 2 - kGrab / 2, cy = (r.Top + r.Bottom) / 2 - kGrab / 2;
    const int l = r.Left - kGrab + 2, t = r.Top - kGrab + 2, rr = r.Right - 2, b = r.Bottom - 2;
    return {Bounds(l, t, kGrab, kGrab),  Bounds(cx, t, kGrab, kGrab),  Bounds(rr, t, kGrab, kGrab),
            Bounds(rr, cy, kGrab, kGrab), Bounds(rr, b, kGrab, kGrab), Bounds(cx, b, kGrab, kGrab),
            Bounds(l, b, kGrab, kGrab),  Bounds(l, cy, kGrab, kGrab)};
}

}  // namespace

TStretchHandle::TStretchHandle(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 24, 24);
    SetColor(clBlack);
    InitVisible(false);
    SetEnabled(false);
    SetTabStop(true);
}

TStretchHandle::~TStretchHandle() { HideFeedback(); }

void TStretchHandle::Attach(TControl* control) {
    if (!control) return;
    if (dynamic_cast<TForm*>(control)) throw EBadChild("Handles can not be attached to a Form!");
    if (!children_.empty() && control->Parent() != Parent()) ReleaseAll();
    if (std::find(children_.begin(), children_.end(), control) == children_.end()) {
        children_.push_back(control);
        control->FreeNotification(this);
    }
    SetParent(control->Parent());
    Rebound();
    Show();
    SetEnabled(true);
    BringToFront();
    if (Showing() && Enabled() && CanFocus()) SetFocus();
}

void TStretchHandle::Detach(TControl* control) {
    auto it = std::find(children_.begin(), children_.end(), control);
    if (it == children_.end()) return;
    children_.erase(it);
    if (!children_.empty()) {
        Rebound();
        return;
    }
    Hide();
    SetEnabled(false);
    rebounding_ = true;
    TCustomControl::SetBounds(0, 0, 0, 0);
    rebounding_ = false;
}

void TStretchHandle::ReleaseAll() {
    while (!children_.empty()) Detach(children_.back());
}

void TStretchHandle::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove) {
        auto it = std::find(children_.begin(), children_.end(), AComponent);
        if (it != children_.end()) Detach(*it);
    }
}

void TStretchHandle::Rebound() {
    if (children_.empty()) return;
    TRect u = children_[0]->BoundsRect();
    for (TControl* c : children_) {
        const TRect b = c->BoundsRect();
        u = Rect(std::min(u.Left, b.Left), std::min(u.Top, b.Top), std::max(u.Right, b.Right),
                 std::max(u.Bottom, b.Bottom));
    }
    rebounding_ = true;
    TCustomControl::SetBounds(u.Left - 2, u.Top - 2, u.Width() + 5, u.Height() + 5);
    rebounding_ = false;
    Invalidate();
}

void TStretchHandle::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (ComponentState() & csDesigning) {
        TCustomControl::SetBounds(ALeft, ATop, 24, 24);
        return;
    }
    const int dx = ALeft - Left(), dy = ATop - Top();
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (rebounding_ || Locked || (dx == 0 && dy == 0)) return;
    for (TControl* c : children_) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
}

TPoint TStretchHandle::Snap(TPoint p) const { return {p.x / gridX_ * gridX_, p.y / gridY_ * gridY_}; }

int TStretchHandle::GrabAt(TPoint p) const {
    if (children_.size() != 1) return 0;
    const TRect r = Bounds(2, 2, Width() - 5, Height() - 5);
    const std::vector<TRect> squares = GrabSquares(r);
    for (int i = 0; i < 8; ++i)
        if (squares[i].Contains(p)) return i + 1;
    return 0;
}

TRect TStretchHandle::SizedRect(TRect r, int grab, int dx, int dy) {
    const bool left = grab == 1 || grab == 7 || grab == 8, right = grab == 3 || grab == 4 || grab == 5;
    const bool top = grab == 1 || grab == 2 || grab == 3, bottom = grab == 5 || grab == 6 || grab == 7;
    if (left) r.Left = std::min(r.Left + dx, r.Right - kGrab);
    if (right) r.Right = std::max(r.Right + dx, r.Left + kGrab);
    if (top) r.Top = std::min(r.Top + dy, r.Bottom - kGrab);
    if (bottom) r.Bottom = std::max(r.Bottom + dy, r.Top + kGrab);
    return r;
}

void TStretchHandle::Paint() {
    TCanvas& c = Canvas();
    // Only the grab squares are the handle's own: elsewhere the parent and
    // the controls beside the handle show through.
    if (Parent() && Parent()->Widget() && Widget()) {
        QWidget* pw = Parent()->Widget();
        QImage under(pw->size(), QImage::Format_RGB32);
        under.fill(Qt::white);
        pw->render(&under, QPoint(0, 0), QRegion(), QWidget::DrawWindowBackground);
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* sibling = dynamic_cast<TWinControl*>(Parent()->Controls(i));
            if (!sibling || sibling == this || !sibling->Visible() || !sibling->Widget() ||
                dynamic_cast<TStretchHandle*>(sibling))
                continue;
            sibling->Widget()->render(&under, sibling->Widget()->pos(), QRegion(),
                                      QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
        TBitmap picture;
        picture.SetImage(under);
        const QPoint at = Widget()->pos();
        c.CopyMode = cmSrcCopy;
        c.CopyRect(ClientRect(), picture.Canvas(), Bounds(at.x(), at.y(), Width(), Height()));
    }
    c.Brush().SetStyle(bsSolid);
    if (ComponentState() & csDesigning) {
        c.Brush().SetColor(Color());
        for (const TRect& s : {Bounds(0, 0, kGrab, kGrab), Bounds(19, 0, kGrab, kGrab), Bounds(0, 19, kGrab, kGrab),
                               Bounds(19, 19, kGrab, kGrab)})
            c.FillRect(s);
        return;
    }
    c.Brush().SetColor(children_.size() == 1 ? Color() : SecondaryColor);
    for (TControl* child : children_) {
        const TRect r = Bounds(child->Left() - Left(), child->Top() - Top(), child->Width(), child->Height());
        const std::vector<TRect> squares = GrabSquares(r);
        for (int i = 0; i < 8; ++i)
            if (children_.size() == 1 || i % 2 == 0) c.FillRect(squares[i]);
    }
}

void TStretchHandle::ShowFeedback(const TRect& r) {
    // Qt cannot draw on the screen itself: a frame window over the parent shows the rectangle.
    if (!Parent() || !Parent()->Widget()) return;
    if (!feedback_) feedback_ = new QRubberBand(QRubberBand::Rectangle, Parent()->Widget());
    feedback_->setGeometry(r.Left, r.Top, std::max(1, r.Width()), std::max(1, r.Height()));
    feedback_->show();
    feedback_->raise();
}

void TStretchHandle::HideFeedback() {
    delete feedback_;
    feedback_ = nullptr;
}

void TStretchHandle::PassOn(UINT msg, int X, int Y) {
    TWinControl* parent = Parent();
    if (!parent) return;
    const TPoint p{X + Left(), Y + Top()};
    TControl* target = nullptr;
    for (int i = parent->ControlCount() - 1; i >= 0; --i) {
        TControl* c = parent->Controls(i);
        if (c == this || dynamic_cast<TStretchHandle*>(c) || !c->Visible()) continue;
        if (c->BoundsRect().Contains(p)) {
            target = c;
            break;
        }
    }
    TControl* to = target ? target : parent;
    const TPoint q = target ? TPoint{p.x - target->Left(), p.y - target->Top()} : p;
    to->Perform(msg, 0, MAKELPARAM(q.x, q.y));
}

void TStretchHandle::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    const TPoint p{X, Y};
    const int grab = GrabAt(p);
    bool inChild = false;
    for (TControl* c : children_)
        if (Bounds(c->Left() - Left(), c->Top() - Top(), c->Width(), c->Height()).Contains(p)) inChild = true;
    if (Button == mbLeft && !Locked && (grab || inChild)) {
        mode_ = grab ? kSizing : kMoving;
        grab_ = grab;
        start_ = Snap(p);
        dragRect_ = grab ? children_[0]->BoundsRect() : BoundsRect();
        ShowFeedback(dragRect_);
        return;
    }
    PassOn(Button == mbLeft ? WM_LBUTTONDOWN : Button == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN, X, Y);
}

void TStretchHandle::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    const TPoint p = Snap({X, Y});
    if (mode_ == kMoving) {
        TRect r = BoundsRect();
        dragRect_ = Bounds(r.Left + p.x - start_.x, r.Top + p.y - start_.y, r.Width(), r.Height());
        ShowFeedback(dragRect_);
    } else if (mode_ == kSizing) {
        dragRect_ = SizedRect(children_[0]->BoundsRect(), grab_, p.x - start_.x, p.y - start_.y);
        ShowFeedback(dragRect_);
    } else {
        static const TCursor kCursors[9] = {crDefault,  crSizeNWSE, crSizeNS,   crSizeNESW, crSizeWE,
                                            crSizeNWSE, crSizeNS,   crSizeNESW, crSizeWE};
        SetCursor(kCursors[GrabAt({X, Y})]);
    }
}

void TStretchHandle::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (mode_ == kNone) {
        PassOn(Button == mbLeft ? WM_LBUTTONUP : Button == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP, X, Y);
        return;
    }
    HideFeedback();
    const TPoint p = Snap({X, Y});
    if (mode_ == kMoving) {
        int nl = Left() + p.x - start_.x, nt = Top() + p.y - start_.y;
        // The handle stays inside its parent.
        if (Parent()) {
            nl = std::clamp(nl, 0, std::max(0, Parent()->ClientWidth() - Width()));
            nt = std::clamp(nt, 0, std::max(0, Parent()->ClientHeight() - Height()));
        }
        SetBounds(nl, nt, Width(), Height());
    } else {
        const TRect r = SizedRect(children_[0]->BoundsRect(), grab_, p.x - start_.x, p.y - start_.y);
        children_[0]->SetBoundsRect(r);
        Rebound();
    }
    mode_ = kNone;
    if (Parent()) Parent()->Invalidate();
    Invalidate();
}

}  // namespace misc
