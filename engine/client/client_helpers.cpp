#include "engine/client/client_helpers.h"

#include <cstring>

#include "engine/base/qv_base.h"
#include "platform/core/codepage.h"

namespace qv {

void ZeroFill(void* buffer, std::uint16_t length) {
    if (buffer != nullptr && length > 0) std::memset(buffer, 0, length);
}

bool IsAllZero(const void* buffer, std::uint16_t length) {
    if (length == 0) return true;
    if (buffer == nullptr) return true;
    const auto* b = static_cast<const unsigned char*>(buffer);
    for (std::uint16_t i = 0; i < length; ++i)
        if (b[i] != 0) return false;
    return true;
}

void AppendChar(std::string& s, char c) {
    if (s.size() < kQvShortStringMax) s.push_back(c);
}

std::string AddBackslash(std::string_view src) {
    std::string dest = QvLongToShStr(src);
    // A path written with "/" already ends in a separator.
    if (dest.empty() || (dest.back() != '\\' && dest.back() != '/')) AppendChar(dest, '\\');
    return dest;
}

std::string RemoveChar(std::string_view src, char c) {
    std::string dest;
    for (char ch : src)
        if (ch != c) dest.push_back(ch);
    return dest;
}

bool IsPathName(const char* name, bool allowDot) {
    if (name == nullptr) return false;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == ':' || *p == '\\' || *p == '/') return true;
        if (allowDot && *p == '.') return true;
    }
    return false;
}

void TruncateAt(char* text, char c) {
    if (text == nullptr) return;
    if (char* at = std::strchr(text, c)) *at = '\0';
}

std::string BoundedCString(const char* p, std::size_t size) {
    if (p == nullptr) return {};
    const void* nul = std::memchr(p, 0, size);
    std::size_t n = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : size;
    return std::string(p, n);
}

bool SameTextNoCase(std::string_view a, std::string_view b) { return plat::CompareAnsi(a, b, true) == 0; }

}  // namespace qv
