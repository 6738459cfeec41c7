// Small fixtures shared by the spell tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "richtext/spell/dct_writer.h"
#include "tests/support/test_support.h"

namespace spelltest {

// Writes a dictionary holding `words` (OEM, lower case) and returns its path.
inline std::string WriteDct(const std::filesystem::path& path, std::vector<std::string> words) {
    testsupport::WriteFileBytes(path, spell::BuildDctImage(std::move(words)));
    return path.string();
}

// A .DCT image with the given raw entries (entry 1 first) after a valid header.
std::string RawDct(const std::vector<std::uint32_t>& entries);

inline std::uint32_t Entry(unsigned char letter, bool last, bool eow, std::uint32_t child) {
    return std::uint32_t(letter) << 24 | (last ? 0x800000u : 0u) | (eow ? 0x400000u : 0u) | child;
}

// OEM form of a UTF-8 literal.
std::string Oem(const char* utf8);

}  // namespace spelltest
