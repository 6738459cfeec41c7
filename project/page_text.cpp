#include "project/page_text.h"

#include "platform/core/codepage.h"
#include "richtext/view/rtf_text_io.h"

#include <cctype>

namespace editor {

namespace {

using richtext::TJDCharAttr;
using richtext::TJDRTFTextIo;
using richtext::TLine;
using richtext::TParagraph;

void Load(TJDRTFTextIo& io, const std::string& rtf) {
    if (!rtf.empty()) io.LoadFromString(rtf);
}

unsigned StyleAt(const TLine* line, int i) { return line->attrs.empty() ? 0u : line->attrs[i].style; }

bool IsObjectChar(const TLine* line, int i) {
    return (StyleAt(line, i) & richtext::kStyleObject) != 0 || static_cast<unsigned char>(line->text[i]) == 1;
}

template <typename F>
void ForEachLine(TJDRTFTextIo& io, F f) {
    for (TParagraph* p = io.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next) f(p, l);
}

}  // namespace

bool HasPlainText(const std::string& rtf) {
    if (rtf.empty()) return false;
    TJDRTFTextIo io;
    Load(io, rtf);
    bool found = false;
    ForEachLine(io, [&](TParagraph*, TLine* l) {
        for (int i = 0; i < l->Length() && !found; ++i) {
            if (StyleAt(l, i) & kStyleHidden) continue;
            if (IsObjectChar(l, i)) continue;
            const unsigned char c = static_cast<unsigned char>(l->text[i]);
            if (c > ' ') found = true;
        }
    });
    return found;
}

bool IsEmptyText(const std::string& rtf) {
    if (rtf.empty()) return true;
    TJDRTFTextIo io;
    Load(io, rtf);
    bool any = false;
    ForEachLine(io, [&](TParagraph* p, TLine* l) {
        if (p->IsCell() || l->Length() > 0) any = true;
    });
    return !any && io.Objects().empty();
}

bool HoldsOnlyText(const std::string& rtf) {
    if (rtf.empty()) return true;
    TJDRTFTextIo io;
    Load(io, rtf);
    bool other = !io.Objects().empty();
    ForEachLine(io, [&](TParagraph* p, TLine* l) {
        if (p->IsCell()) other = true;
        for (int i = 0; i < l->Length(); ++i)
            if (IsObjectChar(l, i)) other = true;
    });
    return !other;
}

std::string RemoveJumpTargets(const std::string& rtf, const std::string& contextString, long helpId, int& removed) {
    removed = 0;
    if (rtf.empty()) return rtf;
    TJDRTFTextIo io;
    Load(io, rtf);
    if (!io.RichText()) return rtf;
    const std::string idText = std::to_string(helpId);
    int count = 0;
    ForEachLine(io, [&](TParagraph*, TLine* l) {
        int i = 0;
        while (i < l->Length()) {
            if (!(StyleAt(l, i) & kStyleHidden)) {
                ++i;
                continue;
            }
            int e = i;
            while (e < l->Length() && (StyleAt(l, e) & kStyleHidden)) ++e;
            const std::string run = l->text.substr(i, e - i);
            const bool byContext = !contextString.empty() && plat::CompareAnsi(run, contextString, true) == 0;
            const bool byId = helpId != 0 && run == idText;
            if (!byContext && !byId) {
                i = e;
                continue;
            }
            // The hot spot is the visible run of one look just before the target.
            if (i > 0 && !(StyleAt(l, i - 1) & kStyleHidden)) {
                const TJDCharAttr look = l->attrs[i - 1];
                for (int k = i - 1; k >= 0 && l->attrs[k].SameLook(look); --k) {
                    TJDCharAttr& a = l->attrs[k];
                    if (a.style & kStyleHotSpot)
                        a.style &= static_cast<std::uint16_t>(~kStyleHotSpot);
                    else
                        a.style &= static_cast<std::uint16_t>(~kStyleUnderline);
                    a.style &= static_cast<std::uint16_t>(~kStyleJumpMark);
                    a.SetTextColor(0);
                }
            }
            io.ReplaceInLine(l, i, e - i, "", nullptr);
            ++count;
        }
    });
    removed = count;
    if (count == 0) return rtf;
    return io.SaveToString();
}

unsigned TitleStyleBits(const std::string& style) {
    if (style == "[afsBold]") return 0x0001;
    if (style == "[afsBold,afsItalic]") return 0x0003;
    if (style == "[afsBold,afsItalic,afsUnderline]") return 0x0007;
    return 0;
}

unsigned TextStyleBits(const std::string& style) {
    if (style == "[afsBold]") return 0x0001;
    if (style == "[afsBold,afsItalic]") return 0x0003;
    if (style == "[afsItalic]") return 0x0002;
    return 0;
}

std::string WriteTitleText(const std::string& headerRtf, const std::string& title, const TitleFont& font) {
    TJDRTFTextIo io;
    Load(io, headerRtf);
    // The header's own paragraph holds nothing; the title replaces it.
    while (io.ParagraphCount() > 1) io.DeleteParagraphAt(io.ParagraphCount() - 1);
    TParagraph* par = io.FirstParagraph();
    TLine* line = par->lines;
    while (line->next) io.DeleteLine(par, line->next);
    if (line->Length() > 0) io.ReplaceInLine(line, 0, line->Length(), "", nullptr);
    TJDCharAttr attr = io.currentAttr;
    if (!font.name.empty()) {
        const int n = io.AddFontName(font.name);
        if (n < richtext::kMaxFonts) attr.font = static_cast<std::uint8_t>(n);
    }
    if (font.size > 0 && font.size < 256) attr.size = static_cast<std::uint8_t>(font.size);
    attr.SetTextColor(static_cast<unsigned>(font.colour) & 0x0F);
    attr.style = static_cast<std::uint16_t>(TitleStyleBits(font.style));
    for (char c : title) io.InsertChar(line, static_cast<unsigned char>(c), attr);
    return io.SaveToString();
}

const StandardColour* StandardColours() {
    static const StandardColour colours[16] = {
        {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},     {128, 0, 128},
        {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},     {255, 255, 0},
        {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    return colours;
}

long ScreenColourOf(int n) {
    if (n < 0 || n > 15) return 0;
    const StandardColour& c = StandardColours()[n];
    return static_cast<long>(c.red) | (static_cast<long>(c.green) << 8) | (static_cast<long>(c.blue) << 16);
}

std::string BuildRtfHeaderFromFonts(const std::vector<std::string>& fonts) {
    std::vector<std::string> names;
    for (const std::string& f : fonts)
        if (!f.empty()) names.push_back(f);
    if (names.empty()) return {};
    TJDRTFTextIo io;
    io.ResetHeader();
    auto& header = io.Header();
    header.fontNames[0] = names[0].substr(0, richtext::kFontNameMax);
    TLine* line = io.FirstParagraph()->lines;
    for (const std::string& name : names) {
        const int n = io.AddFontName(name.substr(0, 255));
        TJDCharAttr attr = io.currentAttr;
        attr.font = static_cast<std::uint8_t>(n < richtext::kMaxFonts ? n : 0);
        io.InsertChar(line, 'X', attr);
        io.InsertChar(line, 'X', attr);
    }
    for (int i = 0; i < 16; ++i) {
        header.colors[i].red = static_cast<std::uint8_t>(StandardColours()[i].red);
        header.colors[i].green = static_cast<std::uint8_t>(StandardColours()[i].green);
        header.colors[i].blue = static_cast<std::uint8_t>(StandardColours()[i].blue);
    }
    const std::string rtf = io.SaveToString();
    const std::size_t xx = rtf.find("XX");
    if (xx == std::string::npos || rtf.size() < 2) return rtf;
    // The header goes in front of page text: line breaks the writer made
    // for its own line length carry nothing and are left out.
    std::string out;
    for (char c : rtf.substr(0, xx) + rtf.substr(rtf.size() - 2))
        if (c != '\r' && c != '\n') out += c;
    return out;
}

const std::vector<std::string>& DefaultFontList16() {
    static const std::vector<std::string> list = {"Arial", "Courier", "MS Sans Serif", "Symbol", "System",
                                                  "Times New Roman"};
    return list;
}

const std::vector<std::string>& DefaultFontList32() {
    static const std::vector<std::string> list = {
        "Arial",        "Courier", "Courier New", "Fixedsys", "MS Sans Serif", "MS Serif",        "Roman",
        "Script",       "Small Fonts", "Symbol",  "System",   "Terminal",      "Times New Roman", "Wingdings"};
    return list;
}

}  // namespace editor
