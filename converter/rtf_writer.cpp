#include "converter/rtf_writer.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "converter/converter_strings.h"
#include "converter/pictures.h"
#include "converter/rtf_head.h"
#include "converter/topic_stream.h"
#include "converter/topic_writer.h"
#include "platform/core/ini_file.h"
#include "platform/core/rtf_escape.h"

namespace conv {

namespace {

// Bounded little-endian reads over the command bytes.
struct Cursor {
    const std::uint8_t*& p;
    std::uint32_t& left;
    bool Has(std::uint32_t n) const { return left >= n; }
    void Skip(std::uint32_t n) {
        if (n > left) n = left;
        p += n;
        left -= n;
    }
    std::uint8_t U8() {
        if (!left) return 0;
        std::uint8_t v = *p;
        Skip(1);
        return v;
    }
    std::uint16_t U16() {
        if (left < 2) {
            Skip(left);
            return 0;
        }
        std::uint16_t v = GetU16(p);
        Skip(2);
        return v;
    }
    std::uint32_t U32() {
        if (left < 4) {
            Skip(left);
            return 0;
        }
        std::uint32_t v = GetU32(p);
        Skip(4);
        return v;
    }
};

void Warn(Conversion& hf, int id) { AddWarning(hf, id); }

bool IsPopupCode(std::uint8_t c) { return c == 0xE0 || c == 0xE2 || c == 0xE6 || c == 0xEA || c == 0xEE; }
bool IsExtendedCode(std::uint8_t c) { return c == 0xEA || c == 0xEB || c == 0xEE || c == 0xEF; }
bool IsNoFontChange(std::uint8_t c) { return c == 0xE6 || c == 0xE7 || c == 0xEE || c == 0xEF; }
bool IsHotspotCode(std::uint8_t c) { return (c >= 0xE0 && c <= 0xE3) || c == 0xE6 || c == 0xE7 || IsExtendedCode(c); }

std::string TextUpTo(const std::uint8_t* p, std::uint32_t n) {
    std::uint32_t len = 0;
    while (len < n && p[len]) ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}

void WriteEscapedString(Conversion& hf, RtfOutput& out, const std::string& s) {
    for (unsigned char c : s) WriteEscapedText(hf, c, out);
}

void WriteBorders(RtfOutput& out, std::uint8_t b) {
    const char* style = b >= 0x80 ? "\\brdrdot" : (b & 0x20) ? "\\brdrth" : "\\brdrs";
    if (b & 0x10) out.Printf("\\brdrr%s", style);
    if (b & 0x08) out.Printf("\\brdrb%s", style);
    if (b & 0x04) out.Printf("\\brdrl%s", style);
    if (b & 0x02) out.Printf("\\brdrt%s", style);
    if (b & 0x01) out.Printf("\\box%s", style);
}

// Picture, button, media command or embedded window (0x86-0x88).
void WritePictureCommand(Conversion& hf, RtfOutput& out, std::uint8_t command, Cursor& c) {
    const char align = command == 0x86 ? 'c' : command == 0x87 ? 'l' : 'r';
    const std::uint8_t type = c.U8();
    const std::int32_t pictureSize = ReadCompressedLong(c.p, c.left);
    if (type != 3) ReadCompressedWord(c.p, c.left);
    const std::int16_t embedded = static_cast<std::int16_t>(c.U16());
    std::uint16_t number = 0xFFFF;
    if (!(embedded && type == 0x22)) number = c.U16();

    if (type == 5) {
        c.Skip(1);
        std::string text = TextUpTo(c.p, c.left);
        c.Skip(static_cast<std::uint32_t>(text.size()) + 1);
        if (!text.empty() && text[0] == '!') {
            out.Write("\\{button ");
            WriteEscapedString(hf, out, text.substr(1));
            out.Write("\\}");
        } else if (!text.empty() && text[0] == '*') {
            WriteMciCommand(hf, out, text.substr(1), align);
        } else {
            bool done = false;
            if ((hf.options.flags & kEwSupport) && !hf.file.isWMVC) done = ConvertEmbeddedWindow(hf, out, text, align);
            if (!done) {
                out.Printf("\\{ew%c ", align);
                WriteEscapedString(hf, out, text);
                out.Write("\\}");
            }
        }
        return;
    }
    if (type != 3 && type != 0x22) return;
    if (embedded) {
        const std::uint32_t dataSize = pictureSize > 2 ? static_cast<std::uint32_t>(pictureSize) - 2 : 0;
        const std::uint32_t avail = dataSize < c.left ? dataSize : c.left;
        if (hf.state.realPass) {
            // The picture bytes are inside the topic, not in the help file's
            // stream: hand them to the extractor as a stream of their own.
            HelpStream pictureStream(std::string(reinterpret_cast<const char*>(c.p), avail));
            std::string base = FormatString("bmw%zu", hf.state.pictureFiles.size());
            if ((hf.options.flags & kBmpInRtf) && !PictureFolder(hf).empty()) base = hf.state.pictureFolder + "/" + base;
            std::string name = ConvertPictureStream(hf, pictureStream, 0, avail, base);
            number = static_cast<std::uint16_t>(hf.state.pictureFiles.size());
            RecordPictureFile(hf, number, name);
        }
        c.Skip(avail);
        if (!hf.state.realPass) return;
    }
    if (number == 0xFFFF) return;
    if (number >= hf.state.pictureFiles.size() || !hf.state.pictureFiles[number]) {
        AddWarning(hf, 16, {number});
        return;
    }
    WriteRtfPicture(hf, out, *hf.state.pictureFiles[number], align, embedded != 0);
}

}  // namespace

void WriteEscapedText(Conversion& hf, unsigned char ch, RtfOutput& out) {
    char buf[8];
    if (ch > 0x80) {
        std::snprintf(buf, sizeof buf, "\\'%02x", ch);
        out.Write(buf);
    } else if (ch == 0x09) {
        out.Write("\\tab ");
    } else if (ch == '\\' || ch == '{' || ch == '}') {
        buf[0] = '\\';
        buf[1] = static_cast<char>(ch);
        out.Write(std::string_view(buf, 2));
    } else if (ch < 0x20) {
        std::snprintf(buf, sizeof buf, "(0x%02x)", ch);
        out.Write(buf);
    } else {
        out.Put(static_cast<char>(ch));
    }
    if (hf.state.escapedCharCount++ % 64 == 0) out.Put('\n');
}

void CloseCharGroup(Conversion& hf, RtfOutput& out) {
    if (!hf.state.openTocGroup) return;
    out.Write("}}");
    hf.state.openTocGroup = false;
}

std::string PageReferenceText() {
    std::string text = plat::GetPrivateProfileString(kIniSection, "PageString", LoadLocalString(40), kIniFile);
    if (text.size() > 30) text.resize(30);
    return text;
}

std::optional<std::string> WriteHotspotStart(Conversion& hf, RtfOutput& out, std::uint8_t command,
                                             const std::uint8_t*& commands, std::uint32_t& commandsLeft) {
    const bool extended = IsExtendedCode(command);
    const bool forPrint = hf.options.flags & kForPrint;
    std::uint32_t length = 4;
    if (extended) {
        if (commandsLeft < 2) {
            Warn(hf, 11);
            return std::nullopt;
        }
        length = static_cast<std::uint32_t>(GetU16(commands)) + 2;
    }
    if (commandsLeft < length || (extended && length < 7)) {
        Warn(hf, 11);
        return std::nullopt;
    }
    const std::uint8_t* d = commands;
    if (hf.options.flags & kJumps) {
        out.Write(IsPopupCode(command) ? "\\ul" : forPrint ? "\\uld" : "\\strike");
        out.Put(' ');
    }
    std::string target = IsNoFontChange(command) ? "%" : "";
    std::string contextName;
    const std::uint32_t hash = GetU32(extended ? d + 3 : d);
    if (!extended) {
        contextName = ContextNameFromHash(hf, GetU32(d));
        target += contextName;
    } else {
        const std::uint8_t type = d[2];
        contextName = ContextNameFromHash(hf, GetU32(d + 3));
        target += contextName;
        std::uint32_t at = 7;
        const std::uint32_t end = length;
        if (type & 0x01) {
            if (at < end) {
                std::uint8_t w = d[at++];
                if (w == 0xFF) {
                    target += ">main";
                } else if (w < hf.state.windowNames.size()) {
                    target += ">" + hf.state.windowNames[w];
                } else {
                    AddWarning(hf, 12, {w});
                }
            }
        }
        if (type & 0x02) {
            std::string window = at < end ? TextUpTo(d + at, end - at) : std::string();
            at += static_cast<std::uint32_t>(window.size()) + 1;
            target += ">" + window;
        }
        if (type & 0x04) {
            std::string file = at < end ? TextUpTo(d + at, end - at) : std::string();
            target += "@" + file;
        }
    }
    if (!(hf.options.flags & kJumps)) target.clear();
    // A page reference names the bookmark the topic loop sets for each
    // context entry; a jump to a context the file does not have has no page.
    if ((hf.options.flags & kPageLinks) && !extended && HasContextEntry(hf, hash)) {
        const std::string bookmark = plat::RtfEscapeText(contextName);
        out.Printf("{\\v0 %s {\\field\\flddirty{\\*\\fldinst {GOTOBUTTON B%s}{\\field{\\*\\fldinst PAGEREF B%s}}}}}",
                   PageReferenceText().c_str(), bookmark.c_str(), bookmark.c_str());
    }
    commands += length;
    commandsLeft -= length;
    return target;
}

void WriteMciCommand(Conversion& hf, RtfOutput& out, const std::string& text, char) {
    std::size_t c1 = text.find(',');
    if (c1 == std::string::npos) return;
    std::size_t c2 = text.find(',', c1 + 1);
    if (c2 == std::string::npos) return;
    const std::string options = text.substr(0, c1);
    const std::string play = text.substr(c1 + 1, c2 - c1 - 1);
    const std::string file = text.substr(c2 + 1);
    const unsigned long opt = std::strtoul(options.c_str(), nullptr, 10);
    const unsigned long pf = std::strtoul(play.c_str(), nullptr, 10);
    out.Write("\\{mci ");
    if (opt & 8) out.Write(" nomenu");
    if (opt & 2) out.Write(" noplaybar");
    if (pf & 1) out.Write(" repeat");
    if (pf & 2) out.Write(" play");
    std::string name;
    std::size_t plus = file.find('+');
    if (plus != std::string::npos) {
        name = file.substr(plus + 1);
    } else {
        out.Write(" external");
        name = file;
    }
    out.Put(',');
    WriteEscapedString(hf, out, name);
    out.Write("\\}");
}

std::uint32_t WriteParagraph(Conversion& hf, RtfOutput& out, const std::uint8_t*& text, std::uint32_t& textLeft,
                             const std::uint8_t*& commands, std::uint32_t& commandsLeft,
                             std::uint32_t characterPosition, bool nonScrolling, bool inTable) {
    Cursor c{commands, commandsLeft};
    const std::uint32_t textStart = textLeft;
    const bool forPrint = hf.options.flags & kForPrint;
    const int unit = hf.state.newFontFormat ? 1 : 10;

    c.Skip(4);
    const std::uint16_t pflags = c.U16();
    out.Write("\\pard");
    if (inTable) out.Write("\\intbl{");
    out.Write(nonScrolling ? "\\keepn\\s1" : "\\s0");
    if (pflags & 0x0001) {
        ReadCompressedShort(c.p, c.left);
        ReadCompressedShort(c.p, c.left);
    }
    if (pflags & 0x1000) out.Write("\\keep");
    out.Write((pflags & 0x0800) ? "\\qc" : (pflags & 0x0400) ? "\\qr" : "\\ql");
    if (pflags & 0x0002) out.Printf("\\sb%d", ReadCompressedShort(c.p, c.left) * unit);
    if (pflags & 0x0004) out.Printf("\\sa%d", ReadCompressedShort(c.p, c.left) * unit);
    if (pflags & 0x0008) {
        int v = ReadCompressedShort(c.p, c.left) * unit;
        if (v < 0 && (hf.options.flags & kBmpInRtf)) v = -v;
        out.Printf("\\sl%d", v);
    }
    if (pflags & 0x0010) out.Printf("\\li%d", ReadCompressedShort(c.p, c.left) * unit);
    if (pflags & 0x0020) out.Printf("\\ri%d", ReadCompressedShort(c.p, c.left) * unit);
    if (pflags & 0x0040) out.Printf("\\fi%d", ReadCompressedShort(c.p, c.left) * unit);
    if (pflags & 0x0100) {
        WriteBorders(out, c.U8());
        c.Skip(2);
    }
    if (pflags & 0x0200) {
        const int stops = (c.U8() & 0x7F) >> 1;
        for (int i = 0; i < stops && c.left; ++i) {
            // The stop is an unsigned 15-bit number whose top bit (0x4000)
            // announces the type byte; read signed it would turn negative.
            std::uint32_t v = 0;
            if (*c.p & 1) {
                v = c.U16() >> 1;
            } else {
                v = c.U8() >> 1;
            }
            if (v & 0x4000) out.Write((c.U8() & 0x02) ? "\\tqr" : "\\tqc");
            out.Printf("\\tx%d", static_cast<int>(v & 0x3FFF) * unit);
        }
    }
    out.Put(' ');
    while (c.left && *c.p == 0) c.Skip(1);

    auto piece = [&] { WriteLocalizedText(hf, out, text, &textLeft, 'T'); };
    while (c.left) {
        // Zero bytes lie between commands, never inside one: skipping them
        // after the command byte would eat a font number 0.
        while (c.left && *c.p == 0) c.Skip(1);
        if (!c.left) break;
        const std::uint8_t cmd = c.U8();
        if (cmd == 0xFF) break;
        piece();
        switch (cmd) {
        case 0x80: {
            const std::uint16_t font = c.U16();
            if (font < hf.state.fontCommands.size()) {
                std::string command = hf.state.fontCommands[font];
                if (hf.state.openHotspot) {
                    std::size_t ul = command.find("\\ul");
                    if (ul != std::string::npos) command.resize(ul);
                }
                out.Printf("%s ", command.c_str());
            } else {
                Warn(hf, 13);
            }
            break;
        }
        case 0x81: out.Write("\\line\n"); break;
        case 0x83: out.Write("\\tab "); break;
        case 0x82:
            CloseCharGroup(hf, out);
            if (inTable && c.left && *c.p == 0xFF) break;
            out.Write("\\par\n");
            if ((hf.options.flags & kLocalize) && hf.state.localizationFile && !hf.state.localizationLineFlag) {
                hf.state.localizationLineFlag = true;
                std::fputc('\n', hf.state.localizationFile);
            }
            // Keywords are written once per record by the topic loop, over
            // the record's whole character range.
            break;
        case 0x86:
        case 0x87:
        case 0x88: WritePictureCommand(hf, out, cmd, c); break;
        case 0x89:
            if (hf.state.openHotspot) {
                out.Printf(forPrint ? "\\uld0{\\v %s}" : "\\strike0\\ul0{\\v %s}", plat::RtfEscapeText(*hf.state.openHotspot).c_str());
                hf.state.openHotspot.reset();
            } else {
                Warn(hf, 15);
            }
            break;
        case 0xC8:
        case 0xCC: {
            const std::int16_t len = static_cast<std::int16_t>(c.U16());
            if (len < 1) {
                Warn(hf, 14);
                break;
            }
            const std::uint32_t n = static_cast<std::uint32_t>(len) < c.left ? static_cast<std::uint32_t>(len) : c.left;
            std::string macro = TextUpTo(c.p, n);
            c.Skip(n);
            hf.state.openHotspot = (cmd == 0xC8 ? "!" : "%!") + macro;
            if (hf.options.flags & kJumps) out.Write(forPrint ? "\\uld " : "\\strike ");
            break;
        }
        default:
            if (IsHotspotCode(cmd)) {
                if (auto target = WriteHotspotStart(hf, out, cmd, c.p, c.left)) hf.state.openHotspot = std::move(target);
            }
            break;
        }
    }
    piece();
    if (inTable) out.Write("}");
    else CloseCharGroup(hf, out);
    (void)characterPosition;
    return textStart - textLeft;
}

void WriteTable(Conversion& hf, RtfOutput& out, const std::uint8_t* text, std::uint32_t textLength,
                const std::uint8_t* commands, std::uint32_t commandsLength, std::uint32_t characterPosition,
                bool nonScrolling) {
    Cursor c{commands, commandsLength};
    const int columns = c.U8();
    const int type = c.U8();
    out.Write("{\\pard\\trowd");
    auto cellRight = [&](bool scale, int w, std::vector<std::pair<int, int>>& cols, const char* fmt) {
        auto sc = [&](int v) { return scale ? static_cast<int>(static_cast<long long>(v) * w / 32767) : v; };
        const int g = cols.size() >= 2 ? sc(cols[1].second) : (cols.empty() ? 0 : sc(cols[0].second));
        const int firstGap = cols.empty() ? 0 : sc(cols[0].second);
        out.Printf("\\trgaph%d0", g);
        out.Printf("\\trleft%d0", firstGap - 2 * (g / 2));
        int right = firstGap - g / 2;
        for (auto& col : cols) {
            right += sc(col.first) + g;
            out.Printf(fmt, right);
        }
    };
    if (type == 1 || type == 3) {
        std::vector<std::pair<int, int>> cols;
        for (int i = 0; i < columns; ++i) {
            int w = c.U16();
            int g = c.U16();
            cols.push_back({w, g});
        }
        cellRight(false, 0, cols, type == 1 ? "\\cellx%d0" : "\\cellx%d");
    } else if (type == 0 || type == 2) {
        out.Write("\\trqc");
        const int w = c.U16();
        std::vector<std::pair<int, int>> cols;
        for (int i = 0; i < columns; ++i) {
            int cw = c.U16();
            int g = c.U16();
            cols.push_back({cw, g});
        }
        cellRight(true, w, cols, "\\cellx%d0");
    } else {
        Warn(hf, 17);
        out.Write("}\n");
        return;
    }
    out.Put(' ');
    const std::uint8_t* tp = text;
    std::uint32_t tl = textLength;
    int last = 0;
    while (c.left >= 13) {
        const int column = c.p[0];
        if (column >= columns || c.p[5] == 0xFF) break;
        c.Skip(5);
        if (column != last) out.Write("\\cell ");
        last = column;
        WriteParagraph(hf, out, tp, tl, c.p, c.left, characterPosition + (textLength - tl), nonScrolling, true);
    }
    for (int k = last; k < columns; ++k) out.Write("\\cell");
    out.Write("\\row\\pard}\n");
    CloseCharGroup(hf, out);
}

}  // namespace conv
