// The Qt widget behind every windowed control: it turns Qt's events into the
// control's window messages and shows the control's back buffer. Only the
// layer's own sources include this header.
#pragma once

#include "platform/gui/controls.h"

#include <QCursor>
#include <QPainter>
#include <QWidget>

class QApplication;

#include <map>

namespace gui {

class ControlWidget : public QWidget {
public:
    ControlWidget(TWinControl* control, QWidget* parent, Qt::WindowFlags flags = {});
    TWinControl* Control() const { return control_; }
    // Forgets the control: it is being destroyed.
    void Detach() { control_ = nullptr; }
    // While set, geometry changes come from the control and are not echoed back.
    bool syncing = false;
    // Rows at the top of the widget above the control's client area (a
    // form's menu bar, which Win32 keeps outside the client area too).
    int clientTop = 0;
    // The widget shown in those rows; it follows the widget's width.
    QWidget* topBar = nullptr;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void Mouse(QMouseEvent* e, int kind);  // 0 down, 1 up, 2 double, 3 move
    TWinControl* control_;
};

// The client area's top inside a control's widget (0 for all but a form with a menu bar).
inline int ClientTop(const QWidget* w) {
    auto* c = dynamic_cast<const ControlWidget*>(w);
    return c ? c->clientTop : 0;
}

// Virtual-key code of a Qt key event (0 when it has none).
unsigned VirtualKeyOfQtKey(int qtKey, bool keypad);
// The Qt key of a virtual-key code (for the test harness).
int QtKeyOfVirtualKey(unsigned vk);
// Win32 key-message lParam: repeat count 1, scan code, extended and transition bits.
LPARAM KeyLParam(unsigned vk, bool up, bool repeat, bool alt);

// While input is being collected (a PeekMessage poll for input runs Qt's
// event loop for a moment), key presses are queued as window messages for a
// later poll or the loop to take, and mouse input is held back until the
// collection ends, as a window system keeps input queued while a program
// is busy.
bool InputCollecting();
void BeginInputCollection();
// Ends it and hands held mouse input back to Qt's queue.
void EndInputCollection();

// Hooks into the form and application layer, set by forms.cpp, so that
// controls do not depend on it.
struct FormHooks {
    // A control took the focus: CM_EXIT/CM_ENTER bookkeeping of its form.
    void (*focusChanged)(TWinControl* control) = nullptr;
    // The mouse moved onto a control (for the application's hint).
    void (*mouseOver)(TControl* control) = nullptr;
    // A top-level widget was asked to close (close box).
    bool (*closeRequested)(TWinControl* form) = nullptr;
    // Activation of a top-level widget changed.
    void (*activationChanged)(TWinControl* form, bool active) = nullptr;
    // A control is going away.
    void (*controlDestroyed)(TControl* control) = nullptr;
    // A left press on a control: whatever mode the focused control of each
    // form around it is in (a list dropped down) is cancelled.
    void (*cancelMode)(TControl* sender) = nullptr;
};
FormHooks& Hooks();
// Make sure the Qt application object exists.
void EnsureQtApplication();
// The program's QApplication, which hands exceptions escaping an event
// handler to HandleEscapedException instead of letting them unwind Qt.
QApplication* NewGuardedApplication(int& argc, char** argv);
// Inside a catch block: the application's HandleException, or stderr when
// there is no application object yet.
void HandleEscapedException();
// Runs a handler of ours that Qt calls (a slot, an event override) so that
// its exception is handled here and never unwinds through Qt's own frames,
// which are built without clean-ups and would leak or be left half-done.
template <class F>
void RunGuarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        HandleEscapedException();
    }
}
// The control holding the mouse capture, and the control under the mouse.
TControl*& CaptureControlRef();
TControl*& MouseOverControlRef();
// Draws the caret over a control's widget when it owns the caret.
void PaintCaret(TWinControl* control, QPainter& painter);
// The modifier keys and mouse buttons as of the input event being handled:
// what Win32's GetKeyState reports (the state of processed input, not the
// physical keyboard).
struct InputState {
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButtons buttons;
};
InputState& CurrentInputState();
// Custom cursors registered with the screen.
std::map<int, QCursor>& CustomCursors();
// The Qt cursor of a cursor number (the screen's custom cursors included).
QCursor CursorOf(TCursor cursor);

}  // namespace gui
