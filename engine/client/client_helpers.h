// Small helpers shared by the handle classes: buffers, names and paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

void ZeroFill(void* buffer, std::uint16_t length);
// True when `length` is 0 or every byte is 0.
bool IsAllZero(const void* buffer, std::uint16_t length);
// Appends `c` unless the string already holds 255 characters.
void AppendChar(std::string& s, char c);
// `src` with a "\" appended unless it ends in "\" or "/"; at most 255 characters.
std::string AddBackslash(std::string_view src);
std::string RemoveChar(std::string_view src, char c);
// True when `name` holds ":", "\" or "/" (or "." when `allowDot`). A nil name is no path.
bool IsPathName(const char* name, bool allowDot);
// Cuts the zero-terminated `text` at the first `c`.
void TruncateAt(char* text, char c);
// Up to the first NUL, but never more than `size` bytes of `p` (nil: "").
std::string BoundedCString(const char* p, std::size_t size);
// Case-insensitive equality of Windows-1252 names.
bool SameTextNoCase(std::string_view a, std::string_view b);

}  // namespace qv
