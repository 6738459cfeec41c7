#include "converter/font_table.h"

#include <algorithm>

namespace conv {

FontTable ReadFontTable(const HelpFileData& file, std::optional<bool>& wideFonts, ReadReport& report) {
    FontTable t;
    if (!file.font.present()) return t;
    const std::uint32_t size = file.font.size;
    const std::uint8_t* base = file.stream.Data() + file.font.offset;
    if (size < 8) {
        AddDamageWarning(report, kDamageTooShort, "|FONT");
        return t;
    }
    std::uint32_t faceCount = GetU16(base), descriptorCount = GetU16(base + 2);
    std::uint32_t faceOffset = GetU16(base + 4), descriptorOffset = GetU16(base + 6);
    if (descriptorOffset > size || faceOffset > descriptorOffset) {
        AddDamageWarning(report, kDamageHeader, "|FONT");
        return t;
    }
    if (faceCount) {
        std::uint32_t width = (descriptorOffset - 8) / faceCount < 21 ? 20 : 32;
        for (std::uint32_t i = 0; i < faceCount; ++i) {
            std::uint64_t at = faceOffset + static_cast<std::uint64_t>(i) * width;
            if (at + 1 > descriptorOffset) break;
            std::uint32_t room = static_cast<std::uint32_t>(std::min<std::uint64_t>(width, descriptorOffset - at));
            std::string name(reinterpret_cast<const char*>(base + at), room);
            name = name.substr(0, name.find('\0'));
            // Names such as "Arial,Helvetica" keep their first part.
            std::size_t comma = name.rfind(',');
            if (comma != std::string::npos) name.resize(comma);
            t.faceNames.push_back(name);
        }
    }
    if (descriptorCount == 0) return t;
    const bool wide = (size - descriptorOffset) / descriptorCount >= 12;
    const std::uint32_t width = wide ? 42 : 11;
    wideFonts = wide;
    for (std::uint32_t i = 0; i < descriptorCount; ++i) {
        std::uint64_t at = descriptorOffset + static_cast<std::uint64_t>(i) * width;
        if (at + width > size) {
            AddDamageWarning(report, kDamagePastEnd, "|FONT");
            break;
        }
        const std::uint8_t* d = base + at;
        FontDescriptor f;
        if (!wide) {
            f.attributes = d[0];
            f.halfPoints = d[1];
            f.family = d[2];
            f.faceIndex = GetU16(d + 3);
            std::copy(d + 5, d + 8, f.foreground);
            std::copy(d + 8, d + 11, f.background);
        } else {
            f.faceIndex = d[0];
            std::copy(d + 6, d + 9, f.foreground);
            std::copy(d + 9, d + 12, f.background);
            std::int32_t height = static_cast<std::int32_t>(GetU32(d + 12));
            std::int32_t weight = static_cast<std::int32_t>(GetU32(d + 28));
            // In 64 bits: a height read from the file may be any 32-bit value.
            f.halfPoints = static_cast<std::uint8_t>(-2 * static_cast<std::int64_t>(height));
            if (weight > 500) f.attributes |= 0x01;
            if (d[32] || d[33] || d[34] || d[35]) f.attributes |= 0x02;
            switch (d[39]) {
            case 0x10: f.family = 2; break;
            case 0x20: f.family = 3; break;
            case 0x30: f.family = 1; break;
            case 0x40: f.family = 4; break;
            case 0x50: f.family = 5; break;
            default: f.family = 1; break;
            }
        }
        t.descriptors.push_back(f);
    }
    return t;
}

FontTable ReadFontTable(Conversion& hf) {
    if (hf.file.tablesRead) {
        if (hf.file.wideFonts) hf.state.newFontFormat = *hf.file.wideFonts;
        Report(hf, hf.file.fontReport);
        return hf.file.fonts;
    }
    std::optional<bool> wide;
    ReadReport report;
    FontTable t = ReadFontTable(hf.file, wide, report);
    if (wide) hf.state.newFontFormat = *wide;
    Report(hf, report);
    return t;
}

}  // namespace conv
