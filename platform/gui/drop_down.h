// Drop-down windows (a combo's list, a calendar under an edit): a control
// whose window floats over everything, without a frame, and does not take
// the focus from the control that opened it. A control becomes one by
// returning CreateDropDownWidget(this) from its CreateWidget override.
#pragma once

#include "platform/gui/controls.h"

class QWidget;

namespace gui {

QWidget* CreateDropDownWidget(TWinControl* control);
// Shows the control's window with its top-left at a screen point, on top.
void ShowDropDown(TWinControl* control, TPoint screenPos);
void HideDropDown(TWinControl* control);

}  // namespace gui
