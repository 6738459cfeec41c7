#include "richtext/io/html_writer.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/codepage.h"
#include "richtext/io/html_reader.h"

namespace richtext {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::int32_t kPixelTwips = 15;  // the reader's 96 pixels per inch

bool IsJumpText(const TJDCharAttr& a) {
    return (a.style & (kStyleHyperlink | kStyleUnderline)) && !(a.style & kStyleHidden);
}

bool SameRun(const TJDCharAttr& a, const TJDCharAttr& b) {
    return a.font == b.font && a.colors == b.colors && a.style == b.style && a.size == b.size;
}

const char* AlignName(int a) {
    switch (a) {
    case 1: return "RIGHT";
    case 2: return "CENTER";
    case 3: return "JUSTIFIED";
    default: return "LEFT";
    }
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += "&quot;";
        else if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out.push_back(c);
    }
    return out + "\"";
}

// A browser draws a symbol font's bytes as Latin-1 letters (a Wingdings
// square bullet as "§"); the bullets and marks help pages use are written as
// the Unicode characters they show. 0 for a byte without one.
unsigned SymbolFontCharacter(const std::string& face, unsigned char c) {
    struct Mapped {
        unsigned char byte;
        unsigned code;
    };
    static constexpr Mapped kSymbol[] = {{0xB7, 0x2022}, {0xA8, 0x2666}, {0xAE, 0x2192}, {0xD8, 0x00AC}, {0xE0, 0x25CA}};
    static constexpr Mapped kWingdings[] = {{0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751},
                                            {0x75, 0x25C6}, {0x77, 0x2756}, {0x9F, 0x2022}, {0xA1, 0x25CB},
                                            {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2}, {0xE8, 0x2794},
                                            {0xF0, 0x21E8}, {0xFB, 0x2717}, {0xFC, 0x2714}, {0xFE, 0x2611}};
    auto find = [c](const auto& table) -> unsigned {
        for (const Mapped& m : table)
            if (m.byte == c) return m.code;
        return 0;
    };
    if (plat::CompareAnsi(face, "Symbol", true) == 0) return find(kSymbol);
    if (plat::CompareAnsi(face, "Wingdings", true) == 0) return find(kWingdings);
    return 0;
}

}  // namespace

const std::string& TJDHTMLWriter::FontName(int index) const {
    static const std::string kNone;
    const TTextHeader& h = model_->Header();
    return index >= 0 && index < kMaxFonts ? h.fontNames[index] : kNone;
}

std::string TJDHTMLWriter::ColorHex(int index) const {
    const TRgbEntry& c = model_->Header().colors[index & 0x0F];
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", c.red, c.green, c.blue);
    return buf;
}

bool TJDHTMLWriter::BeginDocument() {
    runOpen_ = false;
    par_ = ParKind::None;
    tableOpen_ = rowOpen_ = false;
    baseFace_ = FontName(model_->defaultAttr.font);
    basePoints_ = model_->defaultAttr.size ? model_->defaultAttr.size : 10;
    baseHtmlSize_ = HtmlSizeOfPoints(basePoints_);
    std::string title;
    for (char c : model_->Header().title)
        if (c != '\r' && c != '\n') title.push_back(c);
    std::string head = "<html>\r\n<title>";
    if (!Put(head) || !Escaped(title, false)) return false;
    return Put("</title><BASEFONT FACE=" + Quoted(baseFace_) + " COLOR=#" + ColorHex(0) + ">\r\n");
}

bool TJDHTMLWriter::EndDocument() {
    return CloseParagraph() && CloseTable() && Put(kCrLf) && Put("</html>");
}

// --- runs --------------------------------------------------------------------------

bool TJDHTMLWriter::WriteFootnote(TLine* line, int index) {
    const TJDFootnote* fn = model_->FindFootnote(line->attrs[static_cast<std::size_t>(index)].tag);
    if (!fn) return true;
    // "--" ends a comment early: it is split with a blank.
    std::string text;
    for (char c : fn->text) {
        if (c == '-' && !text.empty() && text.back() == '-') text.push_back(' ');
        text.push_back(c);
    }
    if (!text.empty() && text.back() == '-') text.push_back(' ');
    return Put("<!--") && Put(text) && Put("-->");
}

bool TJDHTMLWriter::CloseRun() {
    if (!runOpen_) return true;
    runOpen_ = false;
    std::string s;
    if (runFont_ && runLink_) s += "</FONT>";
    std::uint16_t st = run_.style;
    if (st & kStyleSub) s += "</sub>";
    if (st & kStyleSuper) s += "</sup>";
    if (st & kStyleItalic) s += "</i>";
    if ((st & kStyleUnderline) && !runLink_) s += "</u>";
    if (st & kStyleBold) s += "</b>";
    if (runFont_ && !runLink_) s += "</FONT>";
    return Put(s);
}

bool TJDHTMLWriter::OpenRun(const TJDCharAttr& a, bool link) {
    if (runOpen_ && !link && !runLink_ && SameRun(a, run_)) return true;
    if (!CloseRun()) return false;
    std::string font;
    // A link names its colour first and always, and its FONT tag stands
    // right before the link: the export finds a link's colour that way.
    if (a.TextColor() != 0 || link) font += " COLOR=#" + ColorHex(a.TextColor());
    const std::string& face = FontName(a.font);
    if (!face.empty() && plat::CompareAnsi(face, baseFace_, true) != 0) font += " FACE=" + Quoted(face);
    const int points = a.size ? a.size : 10;
    if (pointSizes) {
        if (points != basePoints_) font += " STYLE=\"font-size:" + std::to_string(points) + "pt\"";
    } else if (HtmlSizeOfPoints(points) != baseHtmlSize_) {
        font += " SIZE=" + std::to_string(HtmlSizeOfPoints(points));
    }
    if (a.BackColor() != 0) font += " BGCOLOR=#" + ColorHex(a.BackColor());
    std::string styles;
    if (a.style & kStyleBold) styles += "<b>";
    if ((a.style & kStyleUnderline) && !link) styles += "<u>";
    if (a.style & kStyleItalic) styles += "<i>";
    if (a.style & kStyleSuper) styles += "<sup>";
    if (a.style & kStyleSub) styles += "<sub>";
    runFont_ = !font.empty();
    std::string tag = runFont_ ? "<FONT" + font + ">" : std::string();
    run_ = a;
    runLink_ = link;
    runOpen_ = true;
    return Put(link ? styles + tag : tag + styles);
}

bool TJDHTMLWriter::Escaped(std::string_view text, bool rtfCode) {
    std::string s;
    s.reserve(text.size() + 8);
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (rtfCode) {
            s.push_back(ch);
            continue;
        }
        switch (c) {
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '&': s += "&amp;"; break;
        case '{':
        case '}':
        case '\\':
            s.push_back('\\');
            s.push_back(ch);
            break;
        case 10: s += "<br>\r\n"; break;
        case '\t': s += "&#9;"; break;  // read back as a tab
        case 1:
        case 2:
        case 3:
            break;
        default:
            if (c < 0x20 || c > 0x7E) s += "&#" + std::to_string(c) + ";";
            else s.push_back(ch);
        }
    }
    return Put(s);
}

bool TJDHTMLWriter::WriteLink(const TJDCharAttr& a, const std::string& text, const std::string& target,
                              bool jump) {
    if (!OpenRun(a, jump)) return false;
    std::string open = target.empty() ? std::string("<A>") : "<A HREF=" + Quoted(target) + ">";
    return Put(open) && Escaped(text, false) && Put("</A>");
}

bool TJDHTMLWriter::WriteLine(TLine* line, int from, int to) {
    const std::string& t = line->text;
    if (!model_->RichText() || line->attrs.size() < t.size()) {
        return Escaped(std::string_view(t).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)),
                       false);
    }
    const auto& at = line->attrs;
    auto skipped = [&](int k) {
        return (leaveOutInsertPointText && (at[k].style & kStyleInsertPoint)) ||
               (leaveOutAutomaticText && (at[k].style & kStyleAutomatic));
    };
    int i = from;
    while (i < to) {
        if (skipped(i)) {
            ++i;
            continue;
        }
        const TJDCharAttr& a = at[i];
        unsigned char c = static_cast<unsigned char>(t[i]);
        if ((c == 1 || c == 2) && (a.style & kStyleObject)) {
            if (!WriteObject(line, i)) return false;
            ++i;
            continue;
        }
        if (anchorMarks && (a.style & kStyleFootnote) && a.tag) {
            // A "#" footnote in the text is the help compiler's anchor (an
            // imported page keeps its anchors so): a mark, like an anchor object.
            const TJDFootnote* fn = model_->FindFootnote(a.tag);
            if (fn && fn->mark == '#') {
                std::string_view name = fn->text;
                while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
                while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
                if (!name.empty() && !(Put("\\{mtj ") && Escaped(name, false) && Put("\\}"))) return false;
                ++i;
                continue;
            }
        }
        int j = i + 1;
        while (j < to && SameRun(at[j], a) && !skipped(j)) ++j;

        // Jump text followed by its hidden target.
        if (IsJumpText(a) && !(a.style & (kStyleInsertPoint | kStyleAutomatic))) {
            int k = j;
            while (k < to && IsJumpText(at[k]) && !skipped(k)) ++k;
            if (k < to && (at[k].style & kStyleHidden)) {
                int m = k;
                while (m < to && (at[m].style & kStyleHidden)) ++m;
                if (!WriteLink(a, t.substr(i, k - i), t.substr(k, m - k), true)) return false;
                i = m;
                continue;
            }
        }
        // Insert-point text followed by automatic text: an anchor and its target.
        if ((a.style & kStyleInsertPoint) && !(a.style & kStyleAutomatic)) {
            int k = j;
            while (k < to && (at[k].style & kStyleInsertPoint) && !(at[k].style & kStyleAutomatic)) ++k;
            int m = k;
            while (m < to && (at[m].style & kStyleAutomatic) && !skipped(m)) ++m;
            TJDCharAttr look = a;
            look.style &= static_cast<std::uint16_t>(~kStyleInsertPoint);
            if (!WriteLink(look, t.substr(i, k - i), t.substr(k, m - k), false)) return false;
            i = m;
            continue;
        }
        if ((a.style & kStyleFootnote) && a.tag && storeComment != TStoreHTMLComment::shcOFF) {
            if (!WriteFootnote(line, i)) return false;
            ++i;
            continue;
        }
        if (a.style & kStyleHidden) {  // hidden text shows nothing on a page
            i = j;
            continue;
        }
        if (a.style & kStyleRtfCode) {  // kept verbatim, no tags around it
            if (!Escaped(std::string_view(t).substr(i, j - i), true)) return false;
            i = j;
            continue;
        }
        if (leaveOutNonBreakingSpace && j == i + 1 && c == 0xA0) {
            i = j;
            continue;
        }
        if (a.style & kStyleNumbering) {
            // Generated numbering is written as the reader sees it; its TAB
            // (which HTML drops) becomes a blank so "1." stays apart from the text.
            std::string mark = t.substr(i, j - i);
            std::replace(mark.begin(), mark.end(), '\t', ' ');
            // A browser has no symbol-font mapping: the bullet (0xB7) shows as
            // the middle dot in the text's own face.
            TJDCharAttr look = a;
            if (plat::CompareAnsi(FontName(a.font), "Symbol", true) == 0) look.font = model_->defaultAttr.font;
            if (!OpenRun(look, false) || !Escaped(mark, false)) return false;
            i = j;
            continue;
        }
        if (SymbolFontCharacter(FontName(a.font), c) != 0) {
            // The marks of a symbol font, in the text's own face.
            std::string marks;
            std::size_t k = i;
            for (unsigned code; k < j && (code = SymbolFontCharacter(FontName(a.font), static_cast<unsigned char>(t[k])));
                 ++k)
                marks += "&#" + std::to_string(code) + ";";
            TJDCharAttr look = a;
            look.font = model_->defaultAttr.font;
            if (!OpenRun(look, false) || !Put(marks)) return false;
            i = k;
            continue;
        }
        if (!OpenRun(a, false) || !Escaped(std::string_view(t).substr(i, j - i), false)) return false;
        i = j;
    }
    return true;
}

bool TJDHTMLWriter::WriteObject(TLine* line, int index) {
    TJDObjectRecord* rec = model_->ObjectForCharTag(line->attrs[index].tag);
    if (!rec) return true;
    if (anchorMarks && rec->referenceText.size() > 4 && rec->referenceText.compare(0, 4, "mtj ") == 0)
        return Put("\\{mtj ") && Escaped(std::string_view(rec->referenceText).substr(4), false) && Put("\\}");
    if (rec->fileName.empty()) return true;
    return Put("<IMG SRC=" + Quoted(rec->fileName) + " WIDTH=\"" + std::to_string(rec->width / kPixelTwips) +
               "\" HEIGHT=\"" + std::to_string(rec->height / kPixelTwips) + "\">");
}

// --- paragraphs --------------------------------------------------------------------

bool TJDHTMLWriter::CloseTable() {
    if (!tableOpen_) return true;
    tableOpen_ = false;
    bool ok = true;
    if (rowOpen_) ok = Put("</tr>\r\n");
    rowOpen_ = false;
    return ok && Put("</table>\r\n");
}

bool TJDHTMLWriter::StartParagraph(TParagraph* p) {
    if (!CloseParagraph()) return false;
    if (p->IsCell()) {
        bool ok = true;
        if (!tableOpen_) {
            ok = Put((p->border & kBorderOn) ? "<table BORDER>\r\n" : "<table>\r\n");
            tableOpen_ = true;
        }
        if (!(p->flags & kParNotFirstCell) && rowOpen_) {  // a row whose last cell did not say so
            ok = ok && Put("</tr>\r\n");
            rowOpen_ = false;
        }
        if (!rowOpen_) ok = ok && Put("<tr>");
        rowOpen_ = true;
        std::string td = "<td";
        if (p->alignment) td += " ALIGN=\"" + std::string(AlignName(p->alignment)) + "\"";
        par_ = ParKind::Cell;
        parCellFollows_ = p->flags & kParCellFollows;
        return ok && Put(td + ">");
    }
    if (!CloseTable()) return false;
    if (p->border & kBorderOn) {
        par_ = ParKind::Bordered;
        return Put("\r\n<table BORDER><td>");
    }
    par_ = ParKind::Plain;
    if (p->alignment) return Put("<p ALIGN=\"" + std::string(AlignName(p->alignment)) + "\">");
    return Put("<p>");
}

bool TJDHTMLWriter::CloseParagraph() {
    if (!CloseRun()) return false;
    ParKind k = par_;
    par_ = ParKind::None;
    switch (k) {
    case ParKind::Plain: return Put("</p>\r\n");
    case ParKind::Bordered: return Put("</td></table>\r\n");
    case ParKind::Cell:
        if (!Put("</td>\r\n")) return false;
        if (!parCellFollows_) {
            rowOpen_ = false;
            return Put("</tr>\r\n");
        }
        return true;
    default: return true;
    }
}

bool TJDHTMLWriter::EndParagraph(TParagraph*, bool) { return CloseParagraph(); }

}  // namespace richtext
