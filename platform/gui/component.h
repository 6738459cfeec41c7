// The GUI layer's names for the one component model, which lives below it
// in platform/core so that datasets, data sources and fields share it.
#pragma once

#include "platform/core/component.h"
#include "platform/gui/gui_types.h"

namespace gui {

using plat::TComponent;
using plat::TOperation;
using plat::opInsert;
using plat::opRemove;
using plat::csLoading;
using plat::csReading;
using plat::csDestroying;
using plat::csDesigning;
using plat::FindComponentPath;

}  // namespace gui
