// Helpers of the library's controls that reach into windows: a control's
// DataSource and DataField by property name, its owning form, and key
// strokes posted to a window.
#pragma once

#include "data/data_source.h"
#include "platform/gui/controls.h"
#include "platform/win/win_types.h"

#include <string>

namespace vl {

// A control's DataSource and DataField by property name; only edits take
// them from these routines (the setters report whether they set them).
db::TDataSource* GetDataSourceProp(plat::TObject* control);
bool SetDataSourceProp(plat::TObject* control, db::TDataSource* source);
std::string GetDataFieldProp(plat::TObject* control);
bool SetDataFieldProp(plat::TObject* control, const std::string& fieldName);
// The first form up the control's Parent chain, or the top control.
gui::TWinControl* FindOwningForm(gui::TControl* control);
// There is no form designer: nothing to tell.
void NotifyDesignerModified(gui::TControl* control);
// Posts a key-down and key-up of `key` (repeat count 1) to the window as if
// `shiftKey` (VK_SHIFT, VK_CONTROL or VK_MENU) were held; the keyboard state
// is as it was afterwards.
void PostKeyStroke(plat::HWND window, unsigned key, unsigned shiftKey);

}  // namespace vl
