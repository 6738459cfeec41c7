#include "platform/gui/drop_down.h"

#include "platform/gui/control_widget.h"

namespace gui {

QWidget* CreateDropDownWidget(TWinControl* control) {
    auto* w = new ControlWidget(control, nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
}

void ShowDropDown(TWinControl* control, TPoint screenPos) {
    control->SetBounds(screenPos.x, screenPos.y, control->Width(), control->Height());
    control->Show();
    control->Widget()->show();
    control->Widget()->raise();
}

void HideDropDown(TWinControl* control) {
    control->Hide();
    control->Widget()->hide();
}

}  // namespace gui
