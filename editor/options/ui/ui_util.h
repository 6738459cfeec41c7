// Building the options' windows in code: a control made, named, placed and
// parented in one call.
#pragma once

#include "platform/gui/controls.h"

namespace editor::optionsui {

template <class T>
T* Make(gui::TWinControl* parent, gui::TComponent* owner, const char* name, int x, int y, int w, int h) {
    auto* c = new T(owner);
    c->SetParent(parent);
    c->SetName(name);
    c->SetBounds(x, y, w, h);
    return c;
}

}  // namespace editor::optionsui
