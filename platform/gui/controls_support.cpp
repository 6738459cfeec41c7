#include "platform/gui/controls_support.h"

#include "platform/gui/control_widget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <map>

namespace gui {

namespace {

Qt::KeyboardModifiers g_eventModifiers;

std::map<int, ShortCutHandler>& Handlers() {
    static std::map<int, ShortCutHandler> h;
    return h;
}

TShiftState ToShift(Qt::KeyboardModifiers m) {
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (m & Qt::AltModifier) s |= ssAlt;
    return s;
}

class InputFilter : public QObject {
public:
    bool eventFilter(QObject* target, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(e);
            g_eventModifiers = k->modifiers();
            auto* w = dynamic_cast<ControlWidget*>(target);
            if (!w || !w->Control()) return false;
            unsigned vk = VirtualKeyOfQtKey(k->key(), k->modifiers() & Qt::KeypadModifier);
            if (!vk || vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
            TShiftState shift = ToShift(k->modifiers());
            // A copy: a handler may add or remove handlers (a menu freed by its click).
            auto handlers = Handlers();
            for (auto& [id, h] : handlers)
                if (h(w->Control(), vk, shift)) return true;
            return false;
        }
        case QEvent::KeyRelease: g_eventModifiers = static_cast<QKeyEvent*>(e)->modifiers(); return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: g_eventModifiers = static_cast<QMouseEvent*>(e)->modifiers(); return false;
        default: return false;
        }
    }
};

}  // namespace

void InstallControlsSupport() {
    static InputFilter* filter = nullptr;
    if (filter) return;
    EnsureQtApplication();
    filter = new InputFilter;
    QCoreApplication::instance()->installEventFilter(filter);
}

TShiftState CurrentShiftState() { return ToShift(g_eventModifiers) | KeyboardShiftState(); }

int AddShortCutHandler(ShortCutHandler handler) {
    static int next = 1;
    InstallControlsSupport();
    Handlers()[next] = std::move(handler);
    return next++;
}

void RemoveShortCutHandler(int id) { Handlers().erase(id); }

void SetScrollBarRange(TWinControl* control, int bar, int minPos, int maxPos) {
    int oldMin = 0, oldMax = 0;
    control->GetScrollRange(bar, oldMin, oldMax);
    if (maxPos <= minPos && oldMax <= oldMin) return;
    control->SetScrollRange(bar, minPos, maxPos);
}

void DrawButtonFace(TCanvas& c, TRect& r, bool down, bool flat, bool focused) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBtnFace);
    c.FillRect(r);
    if (focused) {
        c.Brush().SetColor(clBlack);
        c.FrameRect(r);
        InflateRect(r, -1, -1);
    }
    if (flat && !down) return;
    if (down) {
        Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
    } else {
        Frame3D(c, r, clBtnHighlight, cl3DDkShadow, 1);
        Frame3D(c, r, cl3DLight, clBtnShadow, 1);
    }
}

void DrawCaption(TCanvas& c, const std::string& caption, TRect r, unsigned flags, bool enabled) {
    c.Brush().SetStyle(bsClear);
    if (!enabled) {
        TRect shadow = r;
        OffsetRect(shadow, 1, 1);
        c.Font().SetColor(clBtnHighlight);
        DrawText(c, caption, shadow, flags);
        c.Font().SetColor(clGrayText);
    }
    DrawText(c, caption, r, flags);
}

}  // namespace gui
