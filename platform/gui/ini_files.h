// Components that keep settings use the class library's ini-file object;
// it is the platform core's.
#pragma once

#include "platform/core/ini_file.h"

namespace gui {

using plat::TIniFile;

}  // namespace gui
