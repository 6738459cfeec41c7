#include "platform/gui/controls.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/gui/control_widget.h"
#include "platform/gui/forms.h"
#include "platform/gui/qt_bridge.h"
#include "platform/win/message_queue.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>

#include <algorithm>
#include <cstring>
#include <map>

namespace gui {

TControl*& CaptureControlRef() {
    static TControl* capture = nullptr;
    return capture;
}

TControl*& MouseOverControlRef() {
    static TControl* over = nullptr;
    return over;
}


InputState& CurrentInputState() {
    static InputState state;
    return state;
}

FormHooks& Hooks() {
    static FormHooks hooks;
    return hooks;
}

std::map<int, QCursor>& CustomCursors() {
    static std::map<int, QCursor> cursors;
    return cursors;
}

QCursor CursorOf(TCursor c) {
    auto it = CustomCursors().find(c);
    if (it != CustomCursors().end()) return it->second;
    switch (c) {
    case crNone: return QCursor(Qt::BlankCursor);
    case crCross: return QCursor(Qt::CrossCursor);
    case crIBeam: return QCursor(Qt::IBeamCursor);
    case crSizeNESW: return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS: return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE: return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE: return QCursor(Qt::SizeHorCursor);
    case crUpArrow: return QCursor(Qt::UpArrowCursor);
    case crHourGlass: case crSQLWait: return QCursor(Qt::WaitCursor);
    case crDrag: case crMultiDrag: return QCursor(Qt::DragCopyCursor);
    case crNoDrop: case crNo: return QCursor(Qt::ForbiddenCursor);
    case crHSplit: return QCursor(Qt::SplitHCursor);
    case crVSplit: return QCursor(Qt::SplitVCursor);
    case crAppStart: return QCursor(Qt::BusyCursor);
    case crHelp: return QCursor(Qt::WhatsThisCursor);
    case crHandPoint: return QCursor(Qt::PointingHandCursor);
    case crSizeAll: return QCursor(Qt::SizeAllCursor);
    default: return QCursor(Qt::ArrowCursor);
    }
}

void EnsureQtApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tavrin";
    static char* argv[] = {name, nullptr};
    NewGuardedApplication(argc, argv);
    plat::BindMessageThread();
}

TShiftState MouseFlagsToShiftState(WPARAM flags) {
    TShiftState s = 0;
    if (flags & MK_SHIFT) s |= ssShift;
    if (flags & MK_CONTROL) s |= ssCtrl;
    if (flags & MK_LBUTTON) s |= ssLeft;
    if (flags & MK_RBUTTON) s |= ssRight;
    if (flags & MK_MBUTTON) s |= ssMiddle;
    // Alt is not part of a mouse message; Win32 code asks the keyboard.
    if (CurrentInputState().modifiers & Qt::AltModifier) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    Qt::KeyboardModifiers m = CurrentInputState().modifiers;
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (m & Qt::AltModifier) s |= ssAlt;
    return s;
}

std::string GetShortHint(const std::string& hint) {
    auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

bool IsAccel(unsigned ch, const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;  // "&&" is a plain ampersand
            continue;
        }
        return plat::CharUpper(static_cast<unsigned char>(text[i + 1])) == plat::CharUpper(static_cast<unsigned char>(ch));
    }
    return false;
}

std::string GetLongHint(const std::string& hint) {
    auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// ===========================================================================
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), font_(std::make_unique<TFont>()) {
    EnsureQtApplication();
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TObject*) { FontChanged(); };
}

namespace {
void ForgetDragControl(TControl* c);
}

TControl::~TControl() {
    ForgetDragControl(this);
    if (CaptureControlRef() == this) CaptureControlRef() = nullptr;
    if (MouseOverControlRef() == this) MouseOverControlRef() = nullptr;
    if (Hooks().controlDestroyed) Hooks().controlDestroyed(this);
    if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == parent_) return;
    if (AParent == this) throw plat::Exception("A control cannot be its own parent");
    if (parent_) parent_->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(0, AWidth);
    AHeight = std::max(0, AHeight);
    if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
    bool resized = AWidth != width_ || AHeight != height_;
    InvalidateInParent();
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    BoundsChanged();
    InvalidateInParent();
    if (parent_ && align_ != alNone) parent_->Realign();
    if (resized && !dynamic_cast<TWinControl*>(this)) Resize();
}

void TControl::SetClientSize(int w, int h) {
    TRect c = ClientRect();
    SetBounds(left_, top_, width_ + (w - c.Width()), height_ + (h - c.Height()));
}

TPoint TControl::ClientOrigin() const {
    if (!parent_) return {left_, top_};
    TPoint p = parent_->ClientOrigin();
    return {p.x + left_, p.y + top_};
}

TPoint TControl::ClientToScreen(TPoint p) const {
    TPoint o = ClientOrigin();
    return {p.x + o.x, p.y + o.y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
    TPoint o = ClientOrigin();
    return {p.x - o.x, p.y - o.y};
}

void TControl::SetAlign(TAlign a) {
    if (a == align_) return;
    align_ = a;
    if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    InvalidateInParent();
    visible_ = v;
    VisibleChanged();
    InvalidateInParent();
    Perform(CM_VISIBLECHANGED, v ? 1 : 0, 0);
    if (parent_ && align_ != alNone) parent_->Realign();
}

bool TControl::Showing() const {
    if (!visible_) return false;
    return parent_ ? parent_->Showing() : true;
}

void TControl::SetEnabled(bool e) {
    if (e == enabled_) return;
    enabled_ = e;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v) {
    if (v == parentFont_) return;
    parentFont_ = v;
    if (v && parent_) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::FontChanged() {
    // A font set on the control itself stops following the parent's.
    if (!updatingParentFont_) parentFont_ = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    parentColor_ = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
    if (v == parentColor_) return;
    parentColor_ = v;
    if (v && parent_) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor c) {
    if (c == cursor_) return;
    cursor_ = c;
    CursorChanged();
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetHint(const std::string& h) {
    hint_ = h;
    HintChanged();
}

void TControl::SetShowHint(bool v) {
    showHint_ = v;
    HintChanged();
}

void TControl::SetText(const std::string& s) {
    if (s == text_) return;
    text_ = s;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetCtl3D(bool v) {
    parentCtl3D_ = false;
    if (v == ctl3D_) return;
    ctl3D_ = v;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TControl::SetParentCtl3D(bool v) {
    if (v == parentCtl3D_) return;
    parentCtl3D_ = v;
    if (v && parent_) Perform(CM_PARENTCTL3DCHANGED, 0, 0);
}

void TControl::InvalidateInParent() {
    if (parent_ && visible_ && width_ > 0 && height_ > 0) parent_->InvalidateRect(BoundsRect());
}

void TControl::Invalidate() { InvalidateInParent(); }

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        if (w->Widget()) w->Widget()->raise();
    }
    InvalidateInParent();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        if (w->Widget()) w->Widget()->lower();
    }
    InvalidateInParent();
}

bool TControl::MouseCapture() const { return CaptureControlRef() == this; }

void TControl::SetMouseCapture(bool capture) {
    if (capture) CaptureControlRef() = this;
    else if (CaptureControlRef() == this) CaptureControlRef() = nullptr;
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    WindowProc(m);
    return m.Result;
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return const_cast<TForm*>(dynamic_cast<const TForm*>(c));
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
}

void TControl::HandleMouseDown(TMessage& m, TMouseButton button, bool dbl) {
    TShiftState shift = MouseFlagsToShiftState(m.WParam);
    if (dbl) shift |= ssDouble;
    if (button == mbLeft && Hooks().cancelMode) Hooks().cancelMode(this);
    if ((ControlStyle & csCaptureMouse) && button == mbLeft) SetMouseCapture(true);
    if (button == mbLeft && (ControlStyle & csClickEvents)) {
        if (dbl) {
            if (ControlStyle & csDoubleClicks) DblClick();
        } else {
            clicked_ = true;
        }
    }
    MouseDown(button, shift, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
}

void TControl::HandleMouseUp(TMessage& m, TMouseButton button) {
    int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
    if (button == mbLeft) {
        if (clicked_) {
            clicked_ = false;
            if (ClientRect().Contains({x, y})) Click();
        }
        SetMouseCapture(false);
    }
    MouseUp(button, MouseFlagsToShiftState(m.WParam), x, y);
}

// --- dragging -------------------------------------------------------------------

namespace {
struct DragRun {
    TControl* source = nullptr;
    TControl* target = nullptr;  // last control asked, while it lives
    bool accepted = false;
    TPoint last{};
};
DragRun g_drag;

void ForgetDragControl(TControl* c) {
    if (g_drag.source == c) g_drag = DragRun{};
    if (g_drag.target == c) g_drag.target = nullptr;
}

// Asks the control under `screen` whether it takes the drag.
TControl* AskTarget(TPoint screen, bool& accept) {
    accept = false;
    TControl* t = FindDragTarget(screen);
    if (!t) return nullptr;
    TPoint p = t->ScreenToClient(screen);
    accept = static_cast<bool>(t->OnDragOver);
    t->DragOver(g_drag.source, p.x, p.y, t == g_drag.target ? dsDragMove : dsDragEnter, accept);
    return t;
}
}  // namespace

TControl* FindDragTarget(TPoint screen) {
    QWidget* w = QApplication::widgetAt(QPoint(screen.x, screen.y));
    if (!w) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible()) continue;
            QPoint local = top->mapFromGlobal(QPoint(screen.x, screen.y));
            if (!top->rect().contains(local)) continue;
            w = top->childAt(local);
            if (!w) w = top;
            break;
        }
    }
    while (w && !dynamic_cast<ControlWidget*>(w)) w = w->parentWidget();
    auto* cw = dynamic_cast<ControlWidget*>(w);
    if (!cw || !cw->Control()) return nullptr;
    TWinControl* win = cw->Control();
    TPoint p = win->ScreenToClient(screen);
    if (TControl* g = win->ControlAtPos(p, false, false)) return g;
    return win;
}

void TControl::BeginDrag(bool) {
    if (g_drag.source) g_drag.source->EndDrag(false);
    g_drag = DragRun{};
    g_drag.source = this;
    SetMouseCapture(true);
}

void TControl::EndDrag(bool drop) {
    if (g_drag.source != this) return;
    DragRun run = g_drag;
    g_drag = DragRun{};
    SetMouseCapture(false);
    if (!drop) return;
    g_drag.source = this;  // DragOver may ask who the source is
    bool accept = false;
    TControl* t = AskTarget(run.last, accept);
    g_drag = DragRun{};
    if (t && accept) {
        TPoint p = t->ScreenToClient(run.last);
        t->DragDrop(this, p.x, p.y);
    }
}

bool TControl::Dragging() const { return g_drag.source == this; }

TControl* TControl::DragSource() { return g_drag.source; }

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
    if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::WndProc(TMessage& m) {
    if (g_drag.source == this) {
        TPoint screen = ClientToScreen({GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
        if (m.Msg == WM_MOUSEMOVE) {
            g_drag.last = screen;
            bool accept = false;
            g_drag.target = AskTarget(screen, accept);
            g_drag.accepted = accept;
            return;
        }
        if (m.Msg == WM_LBUTTONUP) {
            g_drag.last = screen;
            clicked_ = false;
            EndDrag(true);
            return;
        }
        if (m.Msg == WM_CANCELMODE || m.Msg == CM_CANCELMODE) EndDrag(false);
    }
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
        HandleMouseDown(m, mbLeft, false);
        if (DragMode == dmAutomatic && !g_drag.source) BeginDrag(true);
        return;
    case WM_RBUTTONDOWN: HandleMouseDown(m, mbRight, false); return;
    case WM_MBUTTONDOWN: HandleMouseDown(m, mbMiddle, false); return;
    case WM_LBUTTONDBLCLK: HandleMouseDown(m, mbLeft, true); return;
    case WM_RBUTTONDBLCLK: HandleMouseDown(m, mbRight, true); return;
    case WM_MBUTTONDBLCLK: HandleMouseDown(m, mbMiddle, true); return;
    case WM_LBUTTONUP: HandleMouseUp(m, mbLeft); return;
    case WM_RBUTTONUP: HandleMouseUp(m, mbRight); return;
    case WM_MBUTTONUP: HandleMouseUp(m, mbMiddle); return;
    case WM_MOUSEMOVE:
        MouseMove(MouseFlagsToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
        SetMouseCapture(false);
        clicked_ = false;
        return;
    case CM_PARENTFONTCHANGED:
        if (parentFont_ && parent_) {
            updatingParentFont_ = true;
            font_->Assign(parent_->Font());
            updatingParentFont_ = false;
        }
        return;
    case CM_PARENTCOLORCHANGED:
        if (parentColor_ && parent_) {
            color_ = parent_->Color();
            Perform(CM_COLORCHANGED, 0, 0);
            parentColor_ = true;
        }
        return;
    case CM_PARENTCTL3DCHANGED:
        if (parentCtl3D_ && parent_ && parent_->Ctl3D() != ctl3D_) {
            ctl3D_ = parent_->Ctl3D();
            Perform(CM_CTL3DCHANGED, 0, 0);
        }
        return;
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
        Invalidate();
        return;
    case CM_CTL3DCHANGED:
        Invalidate();
        if (auto* w = dynamic_cast<TWinControl*>(this)) w->NotifyControls(CM_PARENTCTL3DCHANGED);
        return;
    // Win32 text messages work on the caption: lParam is a NUL-terminated
    // Windows-1252 string (WM_SETTEXT) or a buffer of wParam bytes (WM_GETTEXT).
    case WM_SETTEXT:
        SetText(m.LParam ? std::string(reinterpret_cast<const char*>(m.LParam)) : std::string());
        m.Result = 1;
        return;
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(Text().size());
        return;
    case WM_GETTEXT: {
        std::string t = Text();
        auto* buf = reinterpret_cast<char*>(m.LParam);
        std::size_t cap = static_cast<std::size_t>(m.WParam);
        if (!buf || cap == 0) {
            m.Result = 0;
            return;
        }
        std::size_t n = std::min(t.size(), cap - 1);
        std::memcpy(buf, t.data(), n);
        buf[n] = '\0';
        m.Result = static_cast<LRESULT>(n);
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        if (m.Msg == CM_MOUSEENTER && Hooks().mouseOver) Hooks().mouseOver(this);
        return;
    default: break;
    }
    DefaultHandler(m);
}

void TControl::DefaultHandler(TMessage& m) { m.Result = 0; }

// ===========================================================================
// TWinControl

struct TWinControl::Impl {
    ControlWidget* widget = nullptr;
    QImage buffer;
    QRegion invalid;
    std::unique_ptr<TCanvas> canvas;
    bool painting = false;
    QScrollBar* bars[2] = {nullptr, nullptr};
    int range[2][2] = {{0, 0}, {0, 0}};
    int pos[2] = {0, 0};
    bool shown[2] = {false, false};
};

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner), impl_(std::make_unique<Impl>()) {}

TWinControl::~TWinControl() {
    BeginDestroy();
    DestroyComponents();
    // Children not owned by us go with us, as the class library does.
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        RemoveControl(c);
        delete c;
    }
    if (parent_) parent_->RemoveControl(this);
    if (CaptureControlRef() == this) CaptureControlRef() = nullptr;
    if (Hooks().controlDestroyed) Hooks().controlDestroyed(this);
    DestroyHandle();
    if (impl_->canvas) impl_->canvas->Unbind();
    if (impl_->widget) {
        impl_->widget->Detach();
        delete impl_->widget;
        impl_->widget = nullptr;
    }
}

QWidget* TWinControl::CreateWidget() {
    QWidget* parentWidget = parent_ ? parent_->Widget() : nullptr;
    return new ControlWidget(this, parentWidget);
}

void TWinControl::EnsureWidget() {
    if (impl_->widget) return;
    impl_->widget = static_cast<ControlWidget*>(CreateWidget());
    impl_->widget->syncing = true;
    impl_->widget->setGeometry(left_, top_ + (parent_ ? ClientTop(parent_->Widget()) : 0), width_, height_);
    impl_->widget->syncing = false;
    impl_->widget->setEnabled(Enabled());
    CursorChanged();
    HintChanged();
}

QWidget* TWinControl::Widget() const {
    const_cast<TWinControl*>(this)->EnsureWidget();
    return impl_->widget;
}

QImage* TWinControl::BackBuffer() const { return impl_->buffer.isNull() ? nullptr : &impl_->buffer; }

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

namespace {
std::map<HWND, TWinControl*>& HandleMap() {
    static std::map<HWND, TWinControl*> map;
    return map;
}
}  // namespace

TWinControl* FindControl(HWND wnd) {
    auto it = HandleMap().find(wnd);
    return it == HandleMap().end() ? nullptr : it->second;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    HWND parentHandle = parent_ ? parent_->Handle() : 0;
    handle_ = plat::CreateWindowHandle(
        [this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            TMessage m{msg, w, l, 0};
            WindowProc(m);
            return m.Result;
        },
        parentHandle);
    if (handle_) HandleMap()[handle_] = this;
    plat::ShowWindow(handle_, Visible());
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    // The window layer destroys child windows with their parent: forget them first.
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    HWND h = handle_;
    handle_ = 0;
    HandleMap().erase(h);
    plat::SetWindowProc(h, [](HWND wnd, UINT msg, WPARAM w, LPARAM l) { return plat::DefWindowProc(wnd, msg, w, l); });
    plat::DestroyWindow(h);
}

void TWinControl::InsertControl(TControl* c) {
    controls_.push_back(c);
    c->parent_ = this;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        tabList_.push_back(w);
        // A new parent means a new parent window: re-create the handle under it.
        if (w->handle_) {
            w->DestroyHandle();
            w->CreateHandle();
        }
        w->EnsureWidget();
        QWidget* pw = Widget();
        if (w->impl_->widget->parentWidget() != pw) {
            w->impl_->widget->syncing = true;
            w->impl_->widget->setParent(pw);
            w->impl_->widget->setGeometry(w->left_, w->top_ + ClientTop(pw), w->width_, w->height_);
            w->impl_->widget->syncing = false;
        }
        w->impl_->widget->setVisible(w->Visible());
        w->impl_->widget->raise();
    }
    if (c->parentFont_) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (c->parentColor_) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (c->parentCtl3D_) c->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
    c->InvalidateInParent();
    if (c->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* c) {
    c->InvalidateInParent();
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
        if (w->impl_->widget && !Destroying()) {
            w->impl_->widget->syncing = true;
            w->impl_->widget->hide();
            w->impl_->widget->setParent(nullptr);
            w->impl_->widget->syncing = false;
        }
    }
    c->parent_ = nullptr;
    if (c->Align() != alNone && !Destroying()) Realign();
}

bool TWinControl::ContainsControl(const TControl* c) const {
    for (; c; c = c->parent_)
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
        if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
        if (c->BoundsRect().Contains(p)) return c;
    }
    return nullptr;
}

int TWinControl::TabOrder() const {
    if (!parent_) return -1;
    auto& list = parent_->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (!parent_) return;
    auto& list = parent_->tabList_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const {
    TForm* form = ParentForm();
    if (form) return form->ActiveControl() == this && form->Active();
    return impl_->widget && impl_->widget->hasFocus();
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw plat::Exception("Cannot focus a disabled or invisible window");
    EnsureWidget();
    QWidget* top = impl_->widget->window();
    if (top && !top->isActiveWindow()) top->activateWindow();
    if (Hooks().focusChanged) Hooks().focusChanged(this);
    if (!impl_->widget->hasFocus()) impl_->widget->setFocus(Qt::OtherFocusReason);
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = static_cast<int>(list.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (list[i] == current) start = i;
    if (start < 0) start = goForward ? n - 1 : 0;
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = goForward ? (i + 1) % n : (i - 1 + n) % n;
        TWinControl* c = list[i];
        if (c == current && step < n - 1) continue;
        if (!c->CanFocus()) continue;
        if (checkTabStop && !c->TabStop()) continue;
        if (checkParent && c->parent_ != this) continue;
        return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
    TWinControl* next = FindNextControl(current, goForward, checkTabStop, false);
    if (next) next->SetFocus();
}

void TWinControl::InvalidateRect(const TRect& r) {
    if (r.IsEmpty()) return;
    impl_->invalid += ToQRect(r);
    if (impl_->widget) impl_->widget->update(ToQRect(r).translated(0, impl_->widget->clientTop));
}

void TWinControl::Invalidate() { InvalidateRect(Rect(0, 0, width_, height_)); }

void TWinControl::ScrollWindow(int dx, int dy, const TRect* area) {
    if (dx == 0 && dy == 0) return;
    EnsureBuffer();
    TRect r = area ? *area : ClientRect();
    QRect qr = ToQRect(r).intersected(impl_->buffer.rect());
    if (impl_->canvas) impl_->canvas->Flush();
    for (TControl* c : controls_)
        if (auto* g = dynamic_cast<TGraphicControl*>(c)) g->canvas_->Flush();
    QImage& img = impl_->buffer;
    const QRect moved = qr.translated(dx, dy).intersected(qr);
    if (!moved.isEmpty() && dx == 0 && img.depth() == 32) {
        // Rows of pixels move in place: a grid steps by one row at a time,
        // and a copy of the whole area through a painter would cost more
        // than the rest of the step.
        const std::size_t bytes = static_cast<std::size_t>(moved.width()) * 4;
        const int from = moved.top() - dy;
        auto line = [&](int y) { return img.scanLine(y) + static_cast<std::size_t>(moved.left()) * 4; };
        if (dy < 0)
            for (int y = 0; y < moved.height(); ++y) std::memmove(line(moved.top() + y), line(from + y), bytes);
        else
            for (int y = moved.height() - 1; y >= 0; --y) std::memmove(line(moved.top() + y), line(from + y), bytes);
    } else if (!qr.isEmpty()) {
        QImage copy = img.copy(qr);
        QPainter p(&img);
        p.setClipRect(qr);
        p.drawImage(qr.topLeft() + QPoint(dx, dy), copy);
    }
    // What was not covered by the moved picture must be painted again; so
    // must what was already waiting for a paint, at its new place.
    QRegion exposed = QRegion(qr) - QRegion(qr.translated(dx, dy));
    QRegion pending = impl_->invalid.translated(dx, dy) & QRegion(qr);
    impl_->invalid += exposed + pending;
    if (!area) {
        for (TControl* c : std::vector<TControl*>(controls_)) {
            TAlign saved = c->align_;
            c->align_ = alNone;
            c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
            c->align_ = saved;
        }
    }
    if (impl_->widget) impl_->widget->update();
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::Update() {
    if (impl_->widget && impl_->widget->isVisible()) impl_->widget->repaint();
}

void TWinControl::SetVisible(bool v) {
    TControl::SetVisible(v);
}

void TWinControl::VisibleChanged() {
    if (handle_) plat::ShowWindow(handle_, Visible());
    EnsureWidget();
    // A child shows when its parent does; only a form opens a window of its
    // own; a windowed control without a parent stays off screen.
    if (parent_ || !Visible()) impl_->widget->setVisible(Visible());
    else if (dynamic_cast<TForm*>(this)) impl_->widget->show();
}

void TWinControl::SetEnabled(bool e) {
    TControl::SetEnabled(e);
    if (impl_->widget) impl_->widget->setEnabled(e);
}

void TWinControl::SetText(const std::string& s) { TControl::SetText(s); }

TPoint TWinControl::ClientOrigin() const {
    if (impl_->widget) {
        QPoint p = impl_->widget->mapToGlobal(QPoint(0, impl_->widget->clientTop));
        return {p.x(), p.y()};
    }
    return TControl::ClientOrigin();
}

TPoint TWinControl::ScrollBarSpace() const {
    int size = GetSystemMetrics(SM_CXVSCROLL);
    return {impl_->shown[SB_VERT] ? size : 0, impl_->shown[SB_HORZ] ? size : 0};
}

TRect TWinControl::ClientRect() const {
    TPoint bars = ScrollBarSpace();
    return Rect(0, 0, std::max(0, width_ - bars.x), std::max(0, height_ - bars.y));
}

void TWinControl::BoundsChanged() {
    EnsureWidget();
    ControlWidget* w = impl_->widget;
    w->syncing = true;
    QRect old = w->geometry();
    if (w->isWindow()) {
        TRect c = ClientRect();
        TPoint bars = ScrollBarSpace();
        w->move(left_, top_);
        const QSize size(c.Width() + bars.x, c.Height() + bars.y + w->clientTop);
        // A window of fixed size (a dialog border) takes a new size only as a new fixed size.
        if (w->minimumSize() == w->maximumSize()) w->setFixedSize(size);
        else w->resize(size);
        if (w->topBar) w->topBar->resize(w->width(), w->clientTop);
    } else {
        w->setGeometry(left_, top_ + (parent_ ? ClientTop(parent_->Widget()) : 0), width_, height_);
    }
    w->syncing = false;
    LayoutScrollBars();
    if (old.size() != w->geometry().size() || w->isWindow()) {
        TRect c = ClientRect();
        if (handle_) plat::SendMessage(handle_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
        else Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
    }
}

void TWinControl::CursorChanged() {
    if (impl_->widget) impl_->widget->setCursor(CursorOf(Cursor()));
}

void TWinControl::HintChanged() {
    if (impl_->widget) impl_->widget->setToolTip(ShowHint() ? ToQString(GetShortHint(Hint())) : QString());
}

void TWinControl::Realign() { AlignControls(AdjustClientRect()); }

void TWinControl::AlignControls(TRect rect) {
    // The class library's order: top, bottom, left, right, then client; each
    // group in the order of its controls' positions.
    auto placeAll = [&](TAlign align) {
        std::vector<TControl*> group;
        for (TControl* c : controls_)
            if (c->Align() == align && c->Visible()) group.push_back(c);
        std::stable_sort(group.begin(), group.end(), [align](TControl* a, TControl* b) {
            switch (align) {
            case alTop: return a->Top() < b->Top();
            case alBottom: return a->Top() + a->Height() > b->Top() + b->Height();
            case alLeft: return a->Left() < b->Left();
            case alRight: return a->Left() + a->Width() > b->Left() + b->Width();
            default: return false;
            }
        });
        for (TControl* c : group) {
            int w = c->Width(), h = c->Height();
            TAlign saved = c->align_;
            c->align_ = alNone;  // no realign from inside SetBounds
            switch (align) {
            case alTop:
                c->SetBounds(rect.Left, rect.Top, rect.Width(), h);
                rect.Top += h;
                break;
            case alBottom:
                c->SetBounds(rect.Left, rect.Bottom - h, rect.Width(), h);
                rect.Bottom -= h;
                break;
            case alLeft:
                c->SetBounds(rect.Left, rect.Top, w, rect.Height());
                rect.Left += w;
                break;
            case alRight:
                c->SetBounds(rect.Right - w, rect.Top, w, rect.Height());
                rect.Right -= w;
                break;
            case alClient: c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height()); break;
            default: break;
            }
            c->align_ = saved;
        }
    };
    placeAll(alTop);
    placeAll(alBottom);
    placeAll(alLeft);
    placeAll(alRight);
    placeAll(alClient);
}

void TWinControl::NotifyControls(UINT msg) {
    std::vector<TControl*> list = controls_;
    for (TControl* c : list) c->Perform(msg, 0, 0);
}

TCanvas& TWinControl::WindowCanvas() {
    if (!impl_->canvas) {
        impl_->canvas = std::make_unique<TCanvas>();
        impl_->canvas->AfterChange = [this] {
            // Drawing outside WM_PAINT shows at once, without a repaint.
            if (!impl_->painting && impl_->widget) impl_->widget->update();
        };
    }
    EnsureBuffer();
    if (!impl_->painting && impl_->canvas->Target() != &impl_->buffer) impl_->canvas->Bind(&impl_->buffer);
    return *impl_->canvas;
}

void TWinControl::EnsureBuffer() {
    QSize size(std::max(1, width_), std::max(1, height_));
    if (impl_->widget) size = impl_->widget->size().expandedTo(QSize(1, 1));
    if (impl_->buffer.size() == size) return;
    if (impl_->canvas) impl_->canvas->Unbind();
    for (TControl* c : controls_)
        if (auto* g = dynamic_cast<TGraphicControl*>(c)) g->canvas_->Unbind();
    QImage img(size, QImage::Format_RGB32);
    img.fill(ToQColor(Color()));
    if (!impl_->buffer.isNull()) {
        QPainter p(&img);
        p.drawImage(0, 0, impl_->buffer);
    }
    impl_->buffer = img;
    impl_->invalid += QRect(QPoint(0, 0), size);
    if (impl_->canvas) impl_->canvas->Bind(&impl_->buffer);
}

void TWinControl::PaintWidget(const TRect& rect) {
    EnsureBuffer();
    if (!impl_->invalid.isEmpty() && !impl_->painting) {
        QRect area = impl_->invalid.boundingRect().intersected(impl_->buffer.rect());
        impl_->invalid = QRegion();
        if (!area.isEmpty()) {
            TCanvas& canvas = WindowCanvas();
            // A paint handler that throws must not leave the window marked
            // as painting (it would never paint again) nor its canvas clipped.
            struct PaintScope {
                TCanvas& canvas;
                Impl& impl;
                ~PaintScope() {
                    canvas.Bind(&impl.buffer);
                    impl.painting = false;
                }
            };
            impl_->painting = true;
            canvas.Bind(&impl_->buffer, {}, FromQRect(area));
            PaintScope scope{canvas, *impl_};
            plat::SendMessage(Handle(), WM_PAINT, 0, 0);
        }
    }
    if (impl_->canvas) impl_->canvas->Flush();
    QPainter p(impl_->widget);
    p.drawImage(ToQRect(rect).translated(0, impl_->widget->clientTop), impl_->buffer, ToQRect(rect));
}

void TWinControl::PaintHandler(TMessage& m) {
    TCanvas& canvas = WindowCanvas();
    TRect clip = canvas.ClipRect();
    if (!(ControlStyle & csOpaque)) {
        if (handle_) plat::SendMessage(handle_, WM_ERASEBKGND, 0, 0);
        else EraseBackground(canvas, clip);
    }
    PaintWindow();
    PaintControls(canvas, clip);
    m.Result = 0;
}

void TWinControl::EraseBackground(TCanvas& canvas, const TRect& clip) {
    canvas.Brush().SetColor(Color());
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(clip);
}

void TWinControl::PaintControls(TCanvas& canvas, const TRect& clip) {
    canvas.Flush();
    for (TControl* c : controls_) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible()) continue;
        TRect r;
        if (!IntersectRect(r, clip, g->BoundsRect())) continue;
        g->PaintOn(&impl_->buffer, {g->Left(), g->Top()}, r);
    }
}

void TWinControl::PaintTo(TBitmap& bitmap) {
    EnsureWidget();
    QImage img = impl_->widget->grab().toImage();
    bitmap.SetImage(img);
}

void TWinControl::KeyDown(unsigned& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(unsigned& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

namespace {

TShiftState KeyDataToShiftState(LPARAM keyData) {
    TShiftState s = KeyboardShiftState();
    // The Alt bit of the key data is authoritative for the message itself.
    if (keyData & (1 << 29)) s |= ssAlt;
    return s;
}

bool IsDialogKey(unsigned key) {
    return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_CANCEL || key == VK_LEFT ||
           key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
}

}  // namespace

bool TWinControl::DoKeyDown(TMessage& m) {
    TForm* form = ParentForm();
    if (form && form != this && form->KeyPreview && form->DoKeyDown(m)) return true;
    unsigned key = static_cast<unsigned>(m.WParam & 0xFFFF);
    KeyDown(key, KeyDataToShiftState(m.LParam));
    m.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& m) {
    TForm* form = ParentForm();
    if (form && form != this && form->KeyPreview && form->DoKeyUp(m)) return true;
    unsigned key = static_cast<unsigned>(m.WParam & 0xFFFF);
    KeyUp(key, KeyDataToShiftState(m.LParam));
    m.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& m) {
    TForm* form = ParentForm();
    if (form && form != this && form->KeyPreview && form->DoKeyPress(m)) return true;
    char ch = static_cast<char>(m.WParam & 0xFF);
    KeyPress(ch);
    m.WParam = static_cast<unsigned char>(ch);
    return ch == 0;
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        if (DoKeyDown(m)) {
            m.Result = 1;
            return;
        }
        unsigned key = static_cast<unsigned>(m.WParam);
        if (key == VK_F1 && Application) {
            for (TControl* c = this; c; c = c->Parent()) {
                if (c->HelpContext == 0) continue;
                Application->HelpContext(c->HelpContext);
                m.Result = 1;
                return;
            }
        }
        // A dialog key the control does not want goes to its form (Tab moves the focus).
        if (IsDialogKey(key)) {
            LRESULT want = Perform(WM_GETDLGCODE, 0, 0);
            bool wanted = (want & DLGC_WANTALLKEYS) || (key == VK_TAB && (want & DLGC_WANTTAB)) ||
                          ((key >= VK_LEFT && key <= VK_DOWN) && (want & DLGC_WANTARROWS));
            TForm* form = ParentForm();
            if (!wanted && form && form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) {
                m.Result = 1;
                return;
            }
        }
        DefaultHandler(m);
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (DoKeyUp(m)) return;
        DefaultHandler(m);
        return;
    case WM_CHAR:
        if (DoKeyPress(m)) return;
        DefaultHandler(m);
        return;
    case WM_SYSCHAR: {
        // Alt+character is a command, never typing: a control on the form
        // whose accelerator it is takes it first, so a focused list, grid or
        // edit cannot eat it as a typed letter.
        TForm* form = ParentForm();
        if (form && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) {
            m.Result = 1;
            return;
        }
        if (DoKeyPress(m)) return;
        DefaultHandler(m);
        return;
    }
    case WM_SETFOCUS:
        if (Hooks().focusChanged) Hooks().focusChanged(this);
        DefaultHandler(m);
        return;
    case WM_KILLFOCUS:
        DefaultHandler(m);
        return;
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    case WM_PAINT: PaintHandler(m); return;
    case WM_ERASEBKGND: {
        TCanvas& canvas = WindowCanvas();
        EraseBackground(canvas, canvas.ClipRect());
        m.Result = 1;
        return;
    }
    case WM_SIZE:
        Realign();
        Resize();
        return;
    case CM_FONTCHANGED:
        Invalidate();
        NotifyControls(CM_PARENTFONTCHANGED);
        return;
    case CM_COLORCHANGED:
        Invalidate();
        NotifyControls(CM_PARENTCOLORCHANGED);
        return;
    case CM_ENABLEDCHANGED:
        if (impl_->widget) impl_->widget->setEnabled(Enabled());
        Invalidate();
        return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        // Passed on to the children: a default or cancel button may want the
        // key, a label or button the accelerator character.
        for (TControl* c : std::vector<TControl*>(controls_)) {
            if (c->Perform(m.Msg, m.WParam, m.LParam) != 0) {
                m.Result = 1;
                return;
            }
        }
        m.Result = 0;
        return;
    case WM_GETDLGCODE: m.Result = 0; return;
    default: TControl::WndProc(m); return;
    }
}

void TWinControl::DefaultHandler(TMessage& m) {
    m.Result = handle_ ? plat::DefWindowProc(handle_, m.Msg, m.WParam, m.LParam) : 0;
}

// --- scroll bars ------------------------------------------------------------------

void TWinControl::ScrollBarAction(int bar, int action) {
    QScrollBar* sb = impl_->bars[bar];
    int code = SB_ENDSCROLL;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    default: return;
    }
    int thumb = code == SB_THUMBTRACK ? sb->sliderPosition() : impl_->pos[bar];
    // The window keeps its position: a scroll message only reports the request.
    if (code != SB_THUMBTRACK) sb->setSliderPosition(impl_->pos[bar]);
    UINT msg = bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
    plat::SendMessage(Handle(), msg, MAKEWPARAM(code, thumb), 0);
    if (code != SB_THUMBTRACK) plat::SendMessage(Handle(), msg, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

void TWinControl::LayoutScrollBars() {
    if (!impl_->widget) return;
    int top = impl_->widget->clientTop;
    int w = impl_->widget->width(), h = impl_->widget->height() - top;
    int size = GetSystemMetrics(SM_CXVSCROLL);
    bool hs = impl_->shown[0], vs = impl_->shown[1];
    if (impl_->bars[0]) {
        impl_->bars[0]->setVisible(hs);
        impl_->bars[0]->setGeometry(0, top + h - size, w - (vs ? size : 0), size);
    }
    if (impl_->bars[1]) {
        impl_->bars[1]->setVisible(vs);
        impl_->bars[1]->setGeometry(w - size, top, size, h - (hs ? size : 0));
    }
}

void TWinControl::SetScrollRange(int bar, int minPos, int maxPos, bool) {
    auto apply = [&](int b) {
        impl_->range[b][0] = minPos;
        impl_->range[b][1] = maxPos;
        EnsureWidget();
        if (!impl_->bars[b]) {
            auto* sb = new QScrollBar(b == SB_HORZ ? Qt::Horizontal : Qt::Vertical, impl_->widget);
            sb->setFocusPolicy(Qt::NoFocus);
            QObject::connect(sb, &QAbstractSlider::actionTriggered,
                             [this, b](int action) { RunGuarded([&] { ScrollBarAction(b, action); }); });
            QObject::connect(sb, &QAbstractSlider::sliderReleased, [this, b] {
                RunGuarded([&] {
                    plat::SendMessage(Handle(), b == SB_HORZ ? WM_HSCROLL : WM_VSCROLL,
                                      MAKEWPARAM(SB_THUMBPOSITION, impl_->bars[b]->sliderPosition()), 0);
                    plat::SendMessage(Handle(), b == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
                });
            });
            impl_->bars[b] = sb;
            // A new bar stays hidden until a range makes it needed; a child
            // widget would otherwise show itself at the top-left corner.
            sb->hide();
        }
        impl_->bars[b]->setRange(minPos, maxPos);
        impl_->pos[b] = std::clamp(impl_->pos[b], minPos, std::max(minPos, maxPos));
        bool show = maxPos > minPos;
        if (show != impl_->shown[b]) {
            impl_->shown[b] = show;
            LayoutScrollBars();
            Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(), ClientHeight()));
        }
    };
    if (bar == SB_BOTH) {
        apply(SB_HORZ);
        apply(SB_VERT);
    } else if (bar == SB_HORZ || bar == SB_VERT) {
        apply(bar);
    }
}

void TWinControl::SetScrollPos(int bar, int pos, bool) {
    if (bar != SB_HORZ && bar != SB_VERT) return;
    impl_->pos[bar] = std::clamp(pos, impl_->range[bar][0], std::max(impl_->range[bar][0], impl_->range[bar][1]));
    if (!impl_->bars[bar]) return;
    // The window only shows where it stands: a bar moved by the program must
    // not come back as the user's thumb track (a grid takes the focus for that).
    const QSignalBlocker quiet(impl_->bars[bar]);
    impl_->bars[bar]->setSliderPosition(impl_->pos[bar]);
    impl_->bars[bar]->setValue(impl_->pos[bar]);
}

int TWinControl::GetScrollPos(int bar) const { return (bar == SB_HORZ || bar == SB_VERT) ? impl_->pos[bar] : 0; }

void TWinControl::GetScrollRange(int bar, int& minPos, int& maxPos) const {
    minPos = maxPos = 0;
    if (bar != SB_HORZ && bar != SB_VERT) return;
    minPos = impl_->range[bar][0];
    maxPos = impl_->range[bar][1];
}

void TWinControl::ShowScrollBar(int bar, bool show) {
    if (!show) SetScrollRange(bar, 0, 0);
    else if (bar == SB_HORZ || bar == SB_VERT) {
        if (impl_->range[bar][1] <= impl_->range[bar][0]) SetScrollRange(bar, 0, 100);
    } else if (bar == SB_BOTH) {
        ShowScrollBar(SB_HORZ, true);
        ShowScrollBar(SB_VERT, true);
    }
}

// ===========================================================================
// TCustomControl, TGraphicControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

void TCustomControl::Paint() {
    if (OnPaint) OnPaint(this);
}

void TCustomControl::PaintWindow() {
    Canvas().Font().Assign(Font());
    Canvas().Brush().SetColor(Color());
    Paint();
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(std::make_unique<TCanvas>()) {
    canvas_->AfterChange = [this] {
        if (!parent_ || parent_->impl_->painting) return;
        // Outside a paint the parent may replace its buffer at any time: end the painter now.
        canvas_->Flush();
        if (parent_->impl_->widget) parent_->impl_->widget->update();
    };
}

TGraphicControl::~TGraphicControl() { canvas_->Unbind(); }

TCanvas& TGraphicControl::Canvas() {
    if (parent_ && !parent_->impl_->painting) {
        parent_->EnsureBuffer();
        TRect r = BoundsRect();
        canvas_->Bind(&parent_->impl_->buffer, {left_, top_}, r);
    }
    return *canvas_;
}

void TGraphicControl::PaintOn(QImage* buffer, TPoint origin, const TRect& clip) {
    canvas_->Bind(buffer, origin, clip);
    canvas_->Font().Assign(Font());
    canvas_->Brush().SetColor(Color());
    Perform(WM_PAINT, 0, 0);
    canvas_->Unbind();
}

void TGraphicControl::Paint() {}

void TGraphicControl::WndProc(TMessage& m) {
    if (m.Msg == WM_PAINT) {
        Paint();
        return;
    }
    TControl::WndProc(m);
}

}  // namespace gui
