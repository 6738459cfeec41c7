#include "platform/gui/control_widget.h"

#include "platform/core/codepage.h"
#include "platform/gui/qt_bridge.h"
#include "platform/win/message_queue.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QWheelEvent>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace gui {

namespace {

struct KeyPair {
    int qt;
    unsigned vk;
};

// Keys whose virtual-key code is not simply their character.
const KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},          {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},      {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},      {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},      {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},   {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},        {Qt::Key_NumLock, VK_NUMLOCK},  {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, 0xBA},      {Qt::Key_Equal, 0xBB},          {Qt::Key_Comma, 0xBC},
    {Qt::Key_Minus, 0xBD},          {Qt::Key_Period, 0xBE},         {Qt::Key_Slash, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},      {Qt::Key_BracketLeft, 0xDB},    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_BracketRight, 0xDD},   {Qt::Key_Apostrophe, 0xDE},
};

// Scan codes of the keys whose scan code callers look at.
int ScanCode(unsigned vk) {
    switch (vk) {
    case VK_ESCAPE: return 0x01;
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_RETURN: return 0x1C;
    case VK_CONTROL: return 0x1D;
    case VK_SHIFT: return 0x2A;
    case VK_MENU: return 0x38;
    case VK_SPACE: return 0x39;
    case VK_HOME: return 0x47;
    case VK_UP: return 0x48;
    case VK_PRIOR: return 0x49;
    case VK_LEFT: return 0x4B;
    case VK_RIGHT: return 0x4D;
    case VK_END: return 0x4F;
    case VK_DOWN: return 0x50;
    case VK_NEXT: return 0x51;
    case VK_INSERT: return 0x52;
    case VK_DELETE: return 0x53;
    default: return 0;
    }
}

bool IsExtendedKey(unsigned vk) {
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE || vk == VK_DIVIDE ||
           vk == VK_NUMLOCK;
}

WPARAM MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    WPARAM f = 0;
    if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
    if (buttons & Qt::RightButton) f |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) f |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
    if (mods & Qt::ControlModifier) f |= MK_CONTROL;
    return f;
}

LRESULT Deliver(TControl* c, UINT msg, WPARAM w, LPARAM l) {
    if (auto* wc = dynamic_cast<TWinControl*>(c)) return plat::SendMessage(wc->Handle(), msg, w, l);
    return c->Perform(msg, w, l);
}

}  // namespace

unsigned VirtualKeyOfQtKey(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + (key - Qt::Key_0);
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Period: return VK_DECIMAL;
        case Qt::Key_Slash: return VK_DIVIDE;
        default: break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<unsigned>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<unsigned>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<unsigned>(key - Qt::Key_F1);
    for (const KeyPair& k : kKeys)
        if (k.qt == key) return k.vk;
    return 0;
}

int QtKeyOfVirtualKey(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + static_cast<int>(vk - 'A');
    if (vk >= '0' && vk <= '9') return Qt::Key_0 + static_cast<int>(vk - '0');
    if (vk >= VK_F1 && vk <= VK_F1 + 23) return Qt::Key_F1 + static_cast<int>(vk - VK_F1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return Qt::Key_0 + static_cast<int>(vk - VK_NUMPAD0);
    for (const KeyPair& k : kKeys)
        if (k.vk == vk) return k.qt;
    return Qt::Key_unknown;
}

LPARAM KeyLParam(unsigned vk, bool up, bool repeat, bool alt) {
    std::uint32_t l = 1;  // repeat count
    l |= static_cast<std::uint32_t>(ScanCode(vk)) << 16;
    if (IsExtendedKey(vk)) l |= 1u << 24;
    if (alt) l |= 1u << 29;
    if (repeat || up) l |= 1u << 30;
    if (up) l |= 1u << 31;
    return static_cast<LPARAM>(l);
}

ControlWidget::ControlWidget(TWinControl* control, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), control_(control) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

bool ControlWidget::event(QEvent* e) {
    bool handled = true;
    RunGuarded([&] {
        if (control_ && isWindow()) {
            if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate) {
                if (Hooks().activationChanged) Hooks().activationChanged(control_, e->type() == QEvent::WindowActivate);
            }
        }
        handled = QWidget::event(e);
    });
    return handled;
}

namespace {

bool g_paintReportPending = false;

void ReportAfterPaint(std::exception_ptr error) {
    if (g_paintReportPending) return;
    g_paintReportPending = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [error] {
            try {
                std::rethrow_exception(error);
            } catch (...) {
                HandleEscapedException();
            }
            g_paintReportPending = false;
        },
        Qt::QueuedConnection);
}

}  // namespace

void ControlWidget::paintEvent(QPaintEvent* e) {
    if (!control_) return;
    QRect r = e->rect().translated(0, -clientTop).intersected(QRect(0, 0, width(), height() - clientTop));
    if (!r.isEmpty()) {
        try {
            control_->PaintWidget(FromQRect(r));
        } catch (...) {
            // No box inside a paint: Qt is mid-repaint. Shown once the
            // loop is back, one at a time.
            ReportAfterPaint(std::current_exception());
        }
    }
    QPainter p(this);
    p.translate(0, clientTop);
    PaintCaret(control_, p);
}

void ControlWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!control_ || syncing) return;
    // Sized from outside (the user or the window manager): the control follows.
    if (topBar) topBar->resize(width(), clientTop);
    TRect c = control_->ClientRect();
    TPoint bars = control_->ScrollBarSpace();
    int dw = width() - c.Width() - bars.x, dh = height() - clientTop - c.Height() - bars.y;
    if (dw == 0 && dh == 0) return;
    control_->width_ += dw;
    control_->height_ += dh;
    control_->LayoutScrollBars();
    control_->Invalidate();
    plat::SendMessage(control_->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(control_->ClientWidth(), control_->ClientHeight()));
}

void ControlWidget::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (!control_ || syncing || !isWindow()) return;
    // The window system may shift a window by its frame by a few pixels when
    // it appears; only a real move (the user's) changes the form's place.
    if (std::abs(x() - control_->left_) <= 4 && std::abs(y() - control_->top_) <= 4) return;
    control_->left_ = x();
    control_->top_ = y();
}

namespace {

bool g_collecting = false;

struct HeldEvent {
    QPointer<QObject> target;
    std::unique_ptr<QEvent> event;
};
std::vector<HeldEvent>& Held() {
    static std::vector<HeldEvent> held;
    return held;
}

// The characters a key press types, as TranslateMessage would make them.
std::string CharsOfKey(const QKeyEvent* e, unsigned vk) {
    bool alt = e->modifiers() & Qt::AltModifier;
    bool ctrl = e->modifiers() & Qt::ControlModifier;
    std::string chars;
    if (ctrl && !alt && vk >= 'A' && vk <= 'Z') chars.assign(1, static_cast<char>(vk - 'A' + 1));
    else if (alt && !ctrl && e->text().isEmpty() && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')))
        chars.assign(1, static_cast<char>((vk >= 'A' && !(e->modifiers() & Qt::ShiftModifier)) ? vk + 32 : vk));
    else if (vk == VK_RETURN) chars = "\r";
    else if (vk == VK_BACK) chars = "\b";
    else if (vk == VK_TAB) chars = "\t";
    else if (vk == VK_ESCAPE) chars = "\x1b";
    else if (!e->text().isEmpty()) {
        chars = FromQString(e->text());
        // Other control characters (Delete's 127 among them) are keys, not characters.
        std::erase_if(chars, [](char c) { auto u = static_cast<unsigned char>(c); return u < 32 || u == 127; });
    }
    return chars;
}

}  // namespace

bool InputCollecting() { return g_collecting; }

void BeginInputCollection() { g_collecting = true; }

void EndInputCollection() {
    g_collecting = false;
    std::vector<HeldEvent> held;
    held.swap(Held());
    for (HeldEvent& h : held)
        if (h.target) QCoreApplication::postEvent(h.target, h.event.release());
}

void ControlWidget::keyPressEvent(QKeyEvent* e) {
    CurrentInputState().modifiers = e->modifiers();
    if (!control_) return;
    bool alt = e->modifiers() & Qt::AltModifier;
    unsigned vk = VirtualKeyOfQtKey(e->key(), e->modifiers() & Qt::KeypadModifier);
    HWND h = control_->Handle();
    std::string chars = CharsOfKey(e, vk);
    LPARAM data = KeyLParam(vk, false, e->isAutoRepeat(), alt);
    if (g_collecting) {
        // Queued for whoever polls; the loop types its characters later.
        if (vk) plat::PostKeyInput(h, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, data, chars);
        else
            for (char ch : chars) plat::PostMessage(h, alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(ch), data);
        return;
    }
    if (vk) {
        LRESULT handled = plat::SendMessage(h, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, data);
        // A key the form used as a dialog key makes no character.
        if (handled == 1) return;
        if (!control_) return;
    }
    for (char ch : chars) {
        if (!control_) return;
        plat::SendMessage(h, alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(ch), data);
    }
}

void ControlWidget::keyReleaseEvent(QKeyEvent* e) {
    CurrentInputState().modifiers = e->modifiers();
    if (!control_) return;
    bool alt = e->modifiers() & Qt::AltModifier;
    unsigned vk = VirtualKeyOfQtKey(e->key(), e->modifiers() & Qt::KeypadModifier);
    if (!vk) return;
    UINT msg = alt ? WM_SYSKEYUP : WM_KEYUP;
    LPARAM data = KeyLParam(vk, true, false, alt);
    if (g_collecting) plat::PostMessage(control_->Handle(), msg, vk, data);
    else plat::SendMessage(control_->Handle(), msg, vk, data);
}

void ControlWidget::Mouse(QMouseEvent* e, int kind) {
    if (g_collecting) {
        Held().push_back({this, std::unique_ptr<QEvent>(e->clone())});
        return;
    }
    CurrentInputState().modifiers = e->modifiers();
    CurrentInputState().buttons = e->buttons();
    if (!control_) return;
    QPoint qp = e->position().toPoint();
    TPoint p{qp.x(), qp.y() - clientTop};
    TControl* target = control_;
    TPoint tp = p;
    TControl* capture = CaptureControlRef();
    if (capture && capture != control_) {
        target = capture;
        tp = capture->ScreenToClient(control_->ClientToScreen(p));
    } else if (!capture) {
        if (TControl* g = control_->ControlAtPos(p)) {
            target = g;
            tp = {p.x - g->Left(), p.y - g->Top()};
        }
    }
    if (kind == 3) {
        // Mouse-over bookkeeping: enter/leave, hint and cursor of the control under the mouse.
        TControl* over = control_->ControlAtPos(p);
        if (!over) over = control_;
        TControl*& last = MouseOverControlRef();
        if (over != last) {
            TControl* old = last;
            last = over;
            if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
            over->Perform(CM_MOUSEENTER, 0, 0);
            TCursor cur = over->Cursor() != crDefault ? over->Cursor() : control_->Cursor();
            setCursor(CursorOf(cur));
            if (over != control_) setToolTip(over->ShowHint() ? ToQString(GetShortHint(over->Hint())) : QString());
            else setToolTip(control_->ShowHint() ? ToQString(GetShortHint(control_->Hint())) : QString());
        }
    }
    WPARAM flags = MouseKeyFlags(e->buttons(), e->modifiers());
    LPARAM lp = MAKELPARAM(tp.x, tp.y);
    UINT msg = WM_MOUSEMOVE;
    int b = e->button() == Qt::RightButton ? 1 : e->button() == Qt::MiddleButton ? 2 : 0;
    static const UINT kDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static const UINT kUp[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    static const UINT kDbl[] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
    switch (kind) {
    case 0: msg = kDown[b]; break;
    case 1: msg = kUp[b]; break;
    // Without double clicks in its style a control gets a second press instead, as on Win32.
    case 2: msg = (target->ControlStyle & csDoubleClicks) ? kDbl[b] : kDown[b]; break;
    default: break;
    }
    Deliver(target, msg, flags, lp);
}

void ControlWidget::mousePressEvent(QMouseEvent* e) { Mouse(e, 0); }
void ControlWidget::mouseReleaseEvent(QMouseEvent* e) { Mouse(e, 1); }
void ControlWidget::mouseDoubleClickEvent(QMouseEvent* e) { Mouse(e, 2); }
void ControlWidget::mouseMoveEvent(QMouseEvent* e) { Mouse(e, 3); }

void ControlWidget::wheelEvent(QWheelEvent* e) {
    if (!control_) return;
    if (g_collecting) {
        Held().push_back({this, std::unique_ptr<QEvent>(e->clone())});
        return;
    }
    QPoint g = e->globalPosition().toPoint();
    WPARAM w = MAKEWPARAM(static_cast<int>(MouseKeyFlags(e->buttons(), e->modifiers())), e->angleDelta().y());
    plat::SendMessage(control_->Handle(), WM_MOUSEWHEEL, w, MAKELPARAM(g.x(), g.y()));
}

void ControlWidget::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    if (control_) plat::SendMessage(control_->Handle(), WM_SETFOCUS, 0, 0);
}

void ControlWidget::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    if (!control_) return;
    HWND next = 0;
    if (auto* w = dynamic_cast<ControlWidget*>(QApplication::focusWidget()); w && w->control_)
        next = w->control_->Handle();
    plat::SendMessage(control_->Handle(), WM_KILLFOCUS, next, 0);
}

void ControlWidget::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
}

void ControlWidget::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (!control_) return;
    TControl*& last = MouseOverControlRef();
    if (last && (last == control_ || last->Parent() == control_)) {
        TControl* old = last;
        last = nullptr;
        old->Perform(CM_MOUSELEAVE, 0, 0);
    }
}

void ControlWidget::closeEvent(QCloseEvent* e) {
    // The form decides (close query, close action); Qt never closes it by itself.
    e->ignore();
    if (control_ && Hooks().closeRequested) Hooks().closeRequested(control_);
}

}  // namespace gui
