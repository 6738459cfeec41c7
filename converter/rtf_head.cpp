#include "converter/rtf_head.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "converter/converter_strings.h"
#include "converter/topic_writer.h"
#include "converter/rtf_writer.h"
#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "platform/core/rtf_escape.h"
#include "platform/core/paths.h"

namespace conv {

namespace {

const char kStyleSheet[] =
    "{\\stylesheet{\\f0\\fs20\\lang1031 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28\\lang1031\\kerning28 \\sbasedon0\\snext0 heading 1;}\n"
    "{\\s2\\sb240\\sa60\\keepn \\b\\i\\f0\\lang1031 \\sbasedon0\\snext0 heading 2;}\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}\n"
    "{\\s15\\fi-200\\li200\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 1;}\n"
    "{\\s16\\fi-200\\li400\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 2;}\n"
    "{\\s24\\sb360\\sa240\\brdrt\\brdrth\\brdrw15 \\b\\i\\f0\\fs26\\lang1031 \\sbasedon0\\snext15 index heading;}\n"
    "{\\s25\\sb360\\tqr\\tx9072 \\b\\caps\\f0\\lang1031 \\sbasedon0\\snext0 toc 1;}\n"
    "{\\s26\\li200\\sb240\\tqr\\tx9072 \\b\\f0\\fs20\\lang1031 \\sbasedon0\\snext0 toc 2;}\n"
    "}";

const char* FamilyName(std::uint8_t family) {
    switch (family) {
    case 1: return "modern";
    case 2: return "roman";
    case 3: return "swiss";
    case 4: return "script";
    case 5: return "decor";
    default: return " ";
    }
}

// A help file without fonts still needs font 0, which every style and
// page of the document names.
FontTable FontsOrDefault(Conversion& hf) {
    FontTable t = ReadFontTable(hf);
    if (t.descriptors.empty()) {
        FontDescriptor d;
        d.halfPoints = 20;
        d.family = 3;
        t.faceNames = {"Arial"};
        t.descriptors = {d};
    }
    return t;
}

void WriteTextEscaped(Conversion& hf, RtfOutput& out, const std::string& s) {
    for (unsigned char c : s) WriteEscapedText(hf, c, out);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::int16_t I16(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16(p)); }

void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put32At(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Embeds a picture file. Everything written comes from the file's real
// bytes: a bitmap whose header promises more rows than the file holds is
// embedded with the rows that are there, and the conversion's embedded
// bytes are bounded (a picture beyond the bound is referred to by name).
bool EmbedPicture(Conversion& hf, RtfOutput& out, const std::string& fileName, char x) {
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(fileName, ec);
    if (ec) return false;
    if (hf.state.embeddedBytes + fileSize > kMaxEmbeddedBytesTotal) {
        AddWarning(hf, kWarnPictureBudget, {fileName.substr(fileName.find_last_of('/') + 1)});
        return false;
    }
    std::vector<std::uint8_t> f = ReadFileBytes(fileName);
    if (x == 'W') {
        if (f.size() < 22) return false;
        hf.state.embeddedBytes += f.size();
        const long width = I16(&f[10]) - I16(&f[6]);
        const long height = I16(&f[12]) - I16(&f[8]);
        const long inch = GetU16(&f[14]) ? GetU16(&f[14]) : 1440;
        auto rounded = [](long v, long d) { return (v * 2 + (v >= 0 ? d : -d)) / (2 * d); };
        out.Printf("{\\pict\\wmetafile8\\picw%ld\\pich%ld\\picwgoal%ld\\pichgoal%ld\n", rounded(width * 2540, inch),
                   rounded(height * 2540, inch), rounded(width * 1440, inch), rounded(height * 1440, inch));
        WriteHexLines(out, f.data() + 22, f.size() - 22);
        out.Write("}");
        return true;
    }
    if (f.size() < 54) return false;
    std::uint8_t info[40];
    std::copy_n(&f[14], 40, info);
    const std::int32_t width = static_cast<std::int32_t>(GetU32(info + 4));
    std::int32_t height = static_cast<std::int32_t>(GetU32(info + 8));
    const std::uint32_t bitCount = GetU16(info + 14);
    if (width < 0 || height < 0 || bitCount == 0 || bitCount > 32) return false;
    std::uint64_t imageSize = GetU32(info + 20);
    long xr = static_cast<std::int32_t>(GetU32(info + 24));
    long yr = static_cast<std::int32_t>(GetU32(info + 28));
    if (xr <= 0) xr = 3840;
    if (yr <= 0) yr = 3840;
    const std::uint32_t colourBytes = bitCount <= 8 ? 4u << bitCount : 0;
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(bitCount) * static_cast<std::uint32_t>(width) + 31) / 32) * 4;
    const std::uint64_t avail = f.size() - 54;
    const std::uint64_t pixelsAvail = avail > colourBytes ? avail - colourBytes : 0;
    if (imageSize == 0) imageSize = rowBytes * static_cast<std::uint32_t>(height);
    if (imageSize > pixelsAvail) {
        // Only whole rows that are in the file; the header says so too.
        const std::uint64_t rows = rowBytes ? pixelsAvail / rowBytes : 0;
        if (rows < static_cast<std::uint64_t>(height)) height = static_cast<std::int32_t>(rows);
        imageSize = rowBytes * static_cast<std::uint32_t>(height);
        Put32At(info + 8, static_cast<std::uint32_t>(height));
        Put32At(info + 20, static_cast<std::uint32_t>(imageSize));
    }
    hf.state.embeddedBytes += colourBytes + imageSize;
    out.Printf("{\\pict\\wmetafile8\\picw%ld\\pich%ld\\picwgoal%ld\\pichgoal%ld\n", width * 100000L / xr,
               height * 100000L / yr, width * 56706L / xr, height * 56706L / yr);
    const auto S = static_cast<std::uint32_t>((colourBytes + imageSize + 40) / 2 + 14);
    std::string m;
    Put16(m, 1);
    Put16(m, 9);
    Put16(m, 0x0300);
    Put32(m, S + 26);
    Put16(m, 0);
    Put32(m, S);
    Put16(m, 0);
    Put32(m, 4), Put16(m, 0x0103), Put16(m, 8);
    Put32(m, 5), Put16(m, 0x020B), Put16(m, 0), Put16(m, 0);
    Put32(m, 5), Put16(m, 0x020C), Put16(m, static_cast<std::uint32_t>(height)), Put16(m, static_cast<std::uint32_t>(width));
    Put32(m, S), Put16(m, 0x0F43), Put32(m, 0x00CC0020), Put16(m, 0);
    for (std::uint32_t v : {static_cast<std::uint32_t>(height), static_cast<std::uint32_t>(width), 0u, 0u,
                            static_cast<std::uint32_t>(height), static_cast<std::uint32_t>(width), 0u, 0u})
        Put16(m, v);
    m.append(reinterpret_cast<const char*>(info), 40);
    // Colour table and pixels as the record's size promises them: a colour
    // table cut short is padded with zeros so the record stays consistent.
    std::string rest(static_cast<std::size_t>(colourBytes + imageSize), '\0');
    std::copy_n(f.begin() + 54, std::min<std::size_t>(avail, rest.size()), rest.begin());
    m += rest;
    WriteHexLines(out, reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
    out.Write("0300000000000000000000000000");
    out.Write("}");
    return true;
}

}  // namespace

std::string FontCommand(const FontDescriptor& d, std::size_t index, bool forPrint) {
    int halfPoints = d.halfPoints;
    if (forPrint && halfPoints == 0) halfPoints = 24;
    return FormatString("\\f%zu\\cf%zu\\fs%d%s%s%s", index, index, halfPoints, (d.attributes & 1) ? "\\b" : "\\b0",
                        (d.attributes & 2) ? "\\i" : "\\i0", (d.attributes & 4) ? "\\ul" : "\\ul0");
}

void WriteFontTable(Conversion& hf, RtfOutput* out) {
    const std::uint32_t back = hf.state.stream.Tell();
    FontTable t = FontsOrDefault(hf);
    hf.state.stream.Seek(back);
    if (hf.state.fontCommands.empty())
        for (std::size_t i = 0; i < t.descriptors.size(); ++i)
            hf.state.fontCommands.push_back(FontCommand(t.descriptors[i], i, hf.options.flags & kForPrint));
    if (!out) return;
    out->Write("{\\fonttbl\n");
    for (std::size_t i = 0; i < t.descriptors.size(); ++i) {
        const FontDescriptor& d = t.descriptors[i];
        const std::string face = d.faceIndex < t.faceNames.size() ? t.faceNames[d.faceIndex] : std::string();
        out->Printf("{\\f%zu\\f%s %s;}\n", i, FamilyName(d.family), plat::RtfEscapeText(face).c_str());
    }
    out->Write("}\n{\\colortbl\n");
    for (const FontDescriptor& d : t.descriptors) {
        const std::uint8_t* c = d.foreground;
        const bool white = c[0] == 255 && c[1] == 255 && c[2] == 255;
        out->Printf("\\red%d\\green%d\\blue%d;\n", white ? 0 : c[0], white ? 0 : c[1], white ? 0 : c[2]);
    }
    out->Printf("}\n%s ", LoadLocalString(37).c_str());
    if (hf.options.flags & (kPageLinks | kToc | kIndex)) {
        std::string dot = plat::GetPrivateProfileString(kIniSection, "DOTfile", "Rendlow.DOT", kIniFile);
        if (dot.size() > 40) dot.resize(40);
        out->Write("{\\*\\template ");
        WriteTextEscaped(hf, *out, plat::DisplayPath(plat::JoinPath(plat::ProgramDir(), dot)));
        out->Write("}");
    }
}

void WriteRtfHeader(Conversion& hf, RtfOutput& project, RtfOutput& rtf, const std::string& rtfFileName) {
    rtf.Write("{\\rtf1\\ansi\\deff0\\deflang1031 ");
    WriteFontTable(hf, &rtf);
    rtf.Write(kStyleSheet);
    if (hf.options.flags & kForPrint) {
        SystemInfo info;
        ReadSystemInfo(hf, info);
        // A tag that is never localized: the texts are only escaped.
        rtf.Write("{\\info");
        if (info.title) rtf.Write("{\\title "), WriteLocalizedString(hf, rtf, *info.title, 'x'), rtf.Write("}");
        if (info.copyright)
            rtf.Write("{\\author "), WriteLocalizedString(hf, rtf, *info.copyright, 'x'), rtf.Write("}");
        if (info.citation)
            rtf.Write("{\\doccomm "), WriteLocalizedString(hf, rtf, *info.citation, 'x'), rtf.Write("}");
        rtf.Write("{\\keywords "), WriteLocalizedString(hf, rtf, hf.file.path, 'x'), rtf.Write("}");
        rtf.Write(
            "}\\colsx709{\\header\\pard\\plain\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252\\tqr\\tx8504\\f0\\fs20\\lang1031 ");
        WriteLocalizedString(hf, rtf, rtfFileName, 'x');
        rtf.Write("\\fs15\\tab ");
        WriteLocalizedString(hf, rtf, info.title && !info.title->empty() ? *info.title : LoadLocalString(35), 'x');
        rtf.Printf("\\fs20\\tab %s \\par}\n", LoadLocalString(36).c_str());
        FreeSystemInfo(info);
    } else {
        project.Printf("%s\n", rtfFileName.c_str());
    }
}

void CloseRtfFile(Conversion&, RtfOutput& rtf) {
    if (rtf.kind() == RtfOutput::Kind::Null) return;
    rtf.Write("}");
    rtf.Close();
}

void WriteHexLines(RtfOutput& out, const std::uint8_t* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (std::size_t i = 0; i < n; i += 32) {
        line.clear();
        for (std::size_t j = i; j < n && j < i + 32; ++j) {
            line += kDigits[bytes[j] >> 4];
            line += kDigits[bytes[j] & 15];
        }
        line += '\n';
        out.Write(line);
    }
}

void WriteRtfPicture(Conversion& hf, RtfOutput& out, const std::string& fileName, char align, bool embedded) {
    std::size_t dot = fileName.rfind('.');
    char x = 0;
    if (dot != std::string::npos && dot + 1 < fileName.size())
        x = static_cast<char>(plat::CharUpper(static_cast<unsigned char>(fileName[dot + 1])));
    if ((hf.options.flags & kBmpInRtf) && x != 'S' && EmbedPicture(hf, out, fileName, x)) return;
    if (hf.options.flags & kForPrint) {
        const char* fmt = align == 'l'   ? "{\\pvpara {\\field {\\*\\fldinst import %s \\* Mergeformat}}\\par}"
                          : align == 'r' ? "{\\pvpara\\posxr{\\field {\\*\\fldinst import %s \\* Mergeformat}}\\par}"
                                         : "{\\field {\\*\\fldinst import %s \\* Mergeformat}}";
        out.Printf(fmt, plat::RtfEscapeText(fileName).c_str());
        return;
    }
    const char* suffix = embedded ? "wd" : fileName.find('T') != std::string::npos ? "t" : "";
    out.Printf("\\{bm%c%s %s\\}", align, suffix, plat::RtfEscapeText(fileName).c_str());
}

}  // namespace conv
