#include "spell_test_util.h"

#include "platform/core/codepage.h"
#include "richtext/spell/dictionary.h"

namespace spelltest {

std::string RawDct(const std::vector<std::uint32_t>& entries) {
    // Take the header from a real image so the signature always matches.
    std::string image = spell::BuildDctImage({"a"}).substr(0, spell::kDctHeaderSize);
    for (std::uint32_t e : entries)
        for (int k = 0; k < 4; ++k) image += static_cast<char>(e >> (8 * k) & 0xFF);
    return image;
}

std::string Oem(const char* utf8) { return plat::AnsiToOem(plat::Utf8ToAnsi(utf8)); }

}  // namespace spelltest

