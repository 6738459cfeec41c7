// Building the options' windows in code: a control made, named, placed and
// parented in one call.
#pragma once

#include "platform/gui/controls.h"

namespace editor::optionsui {

using gui::MakeControl;

}  // namespace editor::optionsui
