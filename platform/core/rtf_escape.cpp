#include "platform/core/rtf_escape.h"

namespace plat {

std::string RtfEscapeText(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x80) {
            out += "\\'";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c != 0x7F) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace plat
