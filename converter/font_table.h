// The |FONT internal file: face names and font descriptors, both the old
// 11-byte form and the 42-byte form of newer compilers (turned into the old
// form). The RTF head writer makes its font and colour tables from these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/help_file.h"

namespace conv {

struct FontDescriptor {
    std::uint8_t attributes = 0;  // 0x01 bold, 0x02 italic, 0x04 underline
    std::uint8_t halfPoints = 0;
    std::uint8_t family = 0;      // 1 modern, 2 roman, 3 swiss, 4 script, 5 decor
    std::uint16_t faceIndex = 0;
    std::uint8_t foreground[3] = {};
    std::uint8_t background[3] = {};
};

struct FontTable {
    std::vector<std::string> faceNames;
    std::vector<FontDescriptor> descriptors;
};

// Reads |FONT (an empty table when it is missing); sets the file's
// new-font-format flag for 42-byte descriptors. Damage gives a warning and
// the part read so far.
FontTable ReadFontTable(Conversion& hf);

}  // namespace conv
