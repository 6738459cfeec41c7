#include "platform/gdi/font_names.h"

#include "platform/core/codepage.h"

namespace plat {

std::string InstalledFontFamily(std::string_view windowsName) {
    struct Entry {
        const char* windows;
        const char* installed;
    };
    // The Liberation families share the advance widths of the fonts they replace.
    static const Entry kMap[] = {
        {"Arial", "Liberation Sans"},          {"Helvetica", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},  {"Microsoft Sans Serif", "Liberation Sans"},
        {"Helv", "Liberation Sans"},           {"System", "Liberation Sans"},
        {"Tahoma", "Liberation Sans"},         {"Verdana", "Liberation Sans"},
        {"Segoe UI", "Liberation Sans"},       {"Small Fonts", "Liberation Sans"},
        {"Arial Narrow", "Liberation Sans Narrow"},
        {"Times New Roman", "Liberation Serif"}, {"Times", "Liberation Serif"},
        {"MS Serif", "Liberation Serif"},      {"Tms Rmn", "Liberation Serif"},
        {"Georgia", "Liberation Serif"},       {"Book Antiqua", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},    {"Courier", "Liberation Mono"},
        {"Fixedsys", "Liberation Mono"},       {"Terminal", "Liberation Mono"},
        {"Lucida Console", "Liberation Mono"},
        // Pi fonts draw their slots as Unicode characters, which this face has.
        {"Symbol", "DejaVu Sans"},             {"Wingdings", "DejaVu Sans"},
    };
    for (const Entry& e : kMap)
        if (CompareAnsi(windowsName, e.windows, true) == 0) return e.installed;
    return std::string(windowsName);
}

namespace {

// Symbol's slots 0x20-0x7E and 0xA0-0xFE; 0 where the slot is empty. The
// bracket pieces of 0xE6-0xFE are the Unicode bracket pieces.
constexpr char16_t kSymbolLow[0x5F] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C,
};
constexpr char16_t kSymbolHigh[0x5F] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118,
    0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x0000, 0x232A, 0x222B, 0x2320,
    0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD,
};

// The Wingdings slots documents use as bullets, ticks and arrows.
char32_t WingdingsChar(unsigned char c) {
    switch (c) {
    case 0x6C: return 0x25CF;  // black circle
    case 0x6E: return 0x25A0;  // black square
    case 0x6F: return 0x25A1;  // white square
    case 0x71: return 0x2751;
    case 0x75: return 0x25C6;  // black diamond
    case 0x76: return 0x2756;
    case 0x9F: return 0x2022;
    case 0xA7: return 0x25AA;  // small black square
    case 0xD8: return 0x27A2;  // arrowhead
    case 0xE8: return 0x2794;  // heavy right arrow
    case 0xF0: return 0x21E8;  // white right arrow
    case 0xFC: return 0x2714;  // heavy check mark
    default: return 0;
    }
}

}  // namespace

bool IsPiFont(std::string_view windowsName) {
    return CompareAnsi(windowsName, "Symbol", true) == 0 || CompareAnsi(windowsName, "Wingdings", true) == 0;
}

char32_t PiFontCharToUnicode(std::string_view windowsName, unsigned char c) {
    if (CompareAnsi(windowsName, "Symbol", true) == 0) {
        if (c >= 0x20 && c <= 0x7E) return kSymbolLow[c - 0x20];
        if (c >= 0xA0 && c <= 0xFE) return kSymbolHigh[c - 0xA0];
        return 0;
    }
    if (CompareAnsi(windowsName, "Wingdings", true) == 0) return WingdingsChar(c);
    return 0;
}

}  // namespace plat
