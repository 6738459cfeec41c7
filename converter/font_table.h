// The |FONT internal file: face names and font descriptors, both the old
// 11-byte form and the 42-byte form of newer compilers (turned into the old
// form). The RTF head writer makes its font and colour tables from these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "converter/help_file.h"

namespace conv {

// Reads |FONT (an empty table when it is missing); `wide` tells whether
// the descriptors are the 42-byte form (unset without descriptors). Damage
// gives a warning and the part read so far.
FontTable ReadFontTable(const HelpFileData& file, std::optional<bool>& wide, ReadReport& report);
// The file's fonts for a conversion; sets its new-font-format flag for
// 42-byte descriptors.
FontTable ReadFontTable(Conversion& hf);

}  // namespace conv
