#include "controls/data/vl_control_helpers.h"

#include "platform/gui/control_widget.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_types.h"
#include "platform/win/message_queue.h"

namespace vl {

db::TDataSource* GetDataSourceProp(plat::TObject* control) {
    return dynamic_cast<db::TDataSource*>(plat::GetObjectProp(control, "DataSource"));
}

bool SetDataSourceProp(plat::TObject* control, db::TDataSource* source) {
    if (!dynamic_cast<gui::TCustomEdit*>(control)) return false;
    const plat::TPropInfo* p = plat::GetPropInfo(control, "DataSource");
    if (!p || p->Kind != plat::tkClass || !p->Set) return false;
    return plat::SetObjectProp(control, "DataSource", source);
}

std::string GetDataFieldProp(plat::TObject* control) {
    if (!dynamic_cast<gui::TCustomEdit*>(control)) return {};
    return plat::GetStrProp(control, "DataField");
}

bool SetDataFieldProp(plat::TObject* control, const std::string& fieldName) {
    if (!dynamic_cast<gui::TCustomEdit*>(control)) return false;
    const plat::TPropInfo* p = plat::GetPropInfo(control, "DataField");
    if (!p || p->Kind != plat::tkLString || !p->Set) return false;
    return plat::SetStrProp(control, "DataField", fieldName);
}

gui::TWinControl* FindOwningForm(gui::TControl* control) {
    if (!control) return nullptr;
    gui::TWinControl* top = dynamic_cast<gui::TWinControl*>(control);
    for (gui::TWinControl* p = control->Parent(); p; p = p->Parent()) {
        if (auto* form = dynamic_cast<gui::TForm*>(p)) return form;
        top = p;
    }
    if (auto* form = dynamic_cast<gui::TForm*>(control)) return form;
    return top;
}

void NotifyDesignerModified(gui::TControl*) {}

void PostKeyStroke(plat::HWND window, unsigned key, unsigned shiftKey) {
    gui::InputState& state = gui::CurrentInputState();
    const gui::InputState saved = state;
    Qt::KeyboardModifiers held = Qt::NoModifier;
    if (shiftKey == gui::VK_SHIFT) held = Qt::ShiftModifier;
    else if (shiftKey == gui::VK_CONTROL) held = Qt::ControlModifier;
    else if (shiftKey == gui::VK_MENU) held = Qt::AltModifier;
    state.modifiers |= held;
    // The key data carries Alt itself: the state is restored before the
    // window reads the keys.
    plat::LPARAM data = 1;
    if (held == Qt::AltModifier) data |= plat::LPARAM(1) << 29;
    plat::PostMessage(window, gui::WM_KEYDOWN, key, data);
    plat::PostMessage(window, gui::WM_KEYUP, key, data | (plat::LPARAM(3) << 30));
    state = saved;
}

}  // namespace vl
