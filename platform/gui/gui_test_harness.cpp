#include "platform/gui/gui_test_harness.h"

#include "platform/gui/control_widget.h"
#include "platform/gui/forms.h"
#include "platform/gui/qt_bridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QThread>

namespace guitest {

using namespace gui;

namespace {

Qt::KeyboardModifiers Mods(TShiftState s) {
    Qt::KeyboardModifiers m;
    if (s & ssShift) m |= Qt::ShiftModifier;
    if (s & ssCtrl) m |= Qt::ControlModifier;
    if (s & ssAlt) m |= Qt::AltModifier;
    return m;
}

Qt::MouseButton QtButton(TMouseButton b) {
    return b == mbRight ? Qt::RightButton : b == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
}

// The widget that receives a control's mouse input and the point in it.
QWidget* MouseTarget(TControl* control, TPoint& p) {
    // Client points: a form's menu bar sits above its client area.
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        p.y += ClientTop(w->Widget());
        return w->Widget();
    }
    TWinControl* parent = control->Parent();
    if (!parent) return nullptr;
    p.x += control->Left();
    p.y += control->Top() + ClientTop(parent->Widget());
    return parent->Widget();
}

void SendMouse(TControl* control, TPoint p, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
               TShiftState shift) {
    QWidget* w = MouseTarget(control, p);
    if (!w) return;
    QPointF local(p.x, p.y);
    QPointF global = w->mapToGlobal(local);
    QMouseEvent e(type, local, local, global, button, buttons, Mods(shift));
    QCoreApplication::sendEvent(w, &e);
}

// Mouse-button state held between MouseDown and MouseUp.
Qt::MouseButtons g_buttons;

}  // namespace

void SendKey(TWinControl* control, unsigned vk, TShiftState shift) {
    QWidget* w = control->Widget();
    int key = QtKeyOfVirtualKey(vk);
    if (vk == VK_TAB && (shift & ssShift)) key = Qt::Key_Backtab;
    QString text;
    if (!(shift & (ssCtrl | ssAlt))) {
        if (vk >= 'A' && vk <= 'Z') text = QChar((shift & ssShift) ? vk : vk + 32);
        else if (vk >= '0' && vk <= '9') text = QChar(vk);
        else if (vk == VK_SPACE) text = " ";
    }
    QKeyEvent down(QEvent::KeyPress, key, Mods(shift), text);
    QCoreApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Mods(shift), text);
    QCoreApplication::sendEvent(w, &up);
}

void TypeText(TWinControl* control, const std::string& text) {
    QWidget* w = control->Widget();
    for (char ch : text) {
        QString s = ToQString(std::string(1, ch));
        QChar q = s.isEmpty() ? QChar() : s.at(0);
        int key = q.isLetter() ? Qt::Key_A + (q.toUpper().unicode() - 'A') : q.unicode();
        if (!(q.toUpper().unicode() >= 'A' && q.toUpper().unicode() <= 'Z')) key = q.unicode();
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, s);
        QCoreApplication::sendEvent(w, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, s);
        QCoreApplication::sendEvent(w, &up);
    }
}

void MouseDown(TControl* control, TPoint p, TMouseButton button, TShiftState shift) {
    g_buttons |= QtButton(button);
    SendMouse(control, p, QEvent::MouseButtonPress, QtButton(button), g_buttons, shift);
}

void MouseUp(TControl* control, TPoint p, TMouseButton button, TShiftState shift) {
    g_buttons &= ~QtButton(button);
    SendMouse(control, p, QEvent::MouseButtonRelease, QtButton(button), g_buttons, shift);
}

void MouseMove(TControl* control, TPoint p, TShiftState shift) {
    SendMouse(control, p, QEvent::MouseMove, Qt::NoButton, g_buttons, shift);
}

void Click(TControl* control, TPoint p, TMouseButton button, TShiftState shift) {
    MouseDown(control, p, button, shift);
    MouseUp(control, p, button, shift);
}

void DoubleClick(TControl* control, TPoint p, TShiftState shift) {
    Click(control, p, mbLeft, shift);
    g_buttons |= Qt::LeftButton;
    SendMouse(control, p, QEvent::MouseButtonDblClick, Qt::LeftButton, g_buttons, shift);
    MouseUp(control, p, mbLeft, shift);
}

namespace {

QAction* FindAction(QWidget* menu, const std::string& caption) {
    QString want = ToQString(caption).remove('&');
    for (QAction* a : menu->actions()) {
        QString text = a->text().section('\t', 0, 0).remove('&');
        if (!a->isSeparator() && a->isVisible() && text.compare(want, Qt::CaseInsensitive) == 0) return a;
    }
    return nullptr;
}

void ClickAt(QWidget* w, QPoint p) {
    QPointF local(p), global(w->mapToGlobal(p));
    QMouseEvent down(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
}

}  // namespace

bool ClickMenu(TWinControl* form, const std::vector<std::string>& captions) {
    auto* cw = form ? dynamic_cast<ControlWidget*>(form->Widget()) : nullptr;
    auto* bar = cw ? qobject_cast<QMenuBar*>(cw->topBar) : nullptr;
    if (!bar || captions.empty()) return false;
    QWidget* current = bar;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        QAction* a = FindAction(current, captions[i]);
        if (!a) return false;
        QRect r = current == bar ? bar->actionGeometry(a) : static_cast<QMenu*>(current)->actionGeometry(a);
        QMenu* sub = a->menu();
        ClickAt(current, r.center());
        ProcessEvents();
        if (i + 1 == captions.size()) break;
        if (!sub || !sub->isVisible()) return false;
        current = sub;
    }
    return true;
}

void Grab(TControl* control, TBitmap& image) {
    TWinControl* w = dynamic_cast<TWinControl*>(control);
    if (w) {
        w->Invalidate();
        w->PaintTo(image);
        return;
    }
    TWinControl* parent = control->Parent();
    if (!parent) return;
    parent->Invalidate();
    TBitmap whole;
    parent->PaintTo(whole);
    image.SetSize(control->Width(), control->Height());
    image.Canvas().CopyRect(Rect(0, 0, control->Width(), control->Height()), whole.Canvas(), control->BoundsRect());
}

bool SaveGrab(TControl* control, const std::string& pngFile) {
    TBitmap image;
    Grab(control, image);
    return image.Image() && image.Image()->save(ToQString(pngFile), "PNG");
}

void ProcessEvents(int ms) {
    QElapsedTimer t;
    t.start();
    do {
        if (Application) Application->ProcessMessages();
        else QCoreApplication::processEvents();
        if (ms > 0) QThread::msleep(1);
    } while (t.elapsed() < ms);
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        ProcessEvents(0);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace guitest
