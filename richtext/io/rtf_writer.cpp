// The RTF writer: the library's dialect, read back by the RTF reader.
#include <algorithm>
#include <cstdio>

#include "platform/imaging/graphic.h"
#include "richtext/io/text_writer.h"

namespace richtext {

namespace {

// Rounds to the nearest, as the platform's MulDiv does.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b;
    return (p >= 0) == (c > 0) ? (p + (c > 0 ? c : -c) / 2) / c : (p - (c > 0 ? c : -c) / 2) / c;
}

const char kHex[] = "0123456789abcdef";

// The 16 colours every display has, in the order 4-bit bitmaps index them
// (the same the screen shows device-dependent bitmaps with).
constexpr std::uint32_t kStandardColors[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

std::uint32_t IndexedRgb(unsigned index, int bits) {
    if (bits == 1) return index ? 0xFFFFFF : 0;
    if (index < 16) return kStandardColors[index];
    unsigned g = (index - 16) * 255 / 239;
    return g << 16 | g << 8 | g;
}

void PutLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A device-dependent bitmap (raw top-down rows, geometry beside them) as a
// 24-bit device-independent one: info header and bottom-up rows. Empty when
// the geometry does not fit the bytes.
std::string DeviceBitmapToDib(const plat::TGraphic& g) {
    const plat::TBitmapGeometry geo = g.BitmapInfo();
    const std::int64_t w = g.Width(), h = g.Height();
    const int bits = geo.bitsPerPixel, planes = geo.planes;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || planes < 1 || planes > 8) return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
    if (planes > 1 && bits != 1) return {};
    const std::int64_t stride = geo.widthBytes > 0 ? geo.widthBytes : (w * bits + 15) / 16 * 2;
    if (stride < (w * bits + 7) / 8) return {};
    const std::string& rows = g.Bytes();
    if (static_cast<std::int64_t>(rows.size()) < stride * planes * h) return {};
    const auto* data = reinterpret_cast<const unsigned char*>(rows.data());
    auto bitsAt = [](const unsigned char* row, std::int64_t x, int n) {
        std::int64_t bit = x * n;
        return static_cast<unsigned>(row[bit / 8] >> (8 - n - bit % 8) & ((1u << n) - 1));
    };
    const std::int64_t outStride = (w * 3 + 3) / 4 * 4;
    std::string out;
    out.reserve(static_cast<std::size_t>(40 + outStride * h));
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(w), 4);
    PutLe(out, static_cast<std::uint32_t>(h), 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<std::uint32_t>(outStride * h), 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (std::int64_t y = h - 1; y >= 0; --y) {
        const unsigned char* row = data + y * stride * planes;
        std::size_t start = out.size();
        for (std::int64_t x = 0; x < w; ++x) {
            std::uint32_t rgb;
            if (planes > 1) {
                unsigned index = 0;
                for (int p = 0; p < planes; ++p) index |= bitsAt(row + p * stride, x, 1) << p;
                rgb = IndexedRgb(index, planes);
            } else if (bits <= 8) {
                rgb = IndexedRgb(bitsAt(row, x, bits), bits);
            } else if (bits == 16) {
                unsigned v = row[2 * x] | row[2 * x + 1] << 8;  // 5-5-5
                rgb = ((v >> 10 & 31) * 255 / 31) << 16 | ((v >> 5 & 31) * 255 / 31) << 8 | (v & 31) * 255 / 31;
            } else {
                const std::int64_t k = x * (bits / 8);
                rgb = static_cast<std::uint32_t>(row[k + 2]) << 16 | static_cast<std::uint32_t>(row[k + 1]) << 8 | row[k];
            }
            out.push_back(static_cast<char>(rgb & 0xFF));
            out.push_back(static_cast<char>(rgb >> 8 & 0xFF));
            out.push_back(static_cast<char>(rgb >> 16 & 0xFF));
        }
        out.resize(start + static_cast<std::size_t>(outStride), '\0');
    }
    return out;
}

}  // namespace

bool TJDRTFWriter::Word(std::string_view w) {
    bool ok = Put(w);
    needDelimiter_ = true;
    return ok;
}

bool TJDRTFWriter::Word(std::string_view w, std::int64_t n) {
    char num[24];
    std::snprintf(num, sizeof num, "%lld", static_cast<long long>(n));
    bool ok = Put(w) && Put(num);
    needDelimiter_ = true;
    return ok;
}

bool TJDRTFWriter::OpenGroup(int kind) {
    ParState s = groups_.empty() ? ParState{} : State();
    groups_.push_back(Group{kind, s});
    needDelimiter_ = false;
    return Put("{");
}

bool TJDRTFWriter::CloseGroupsFrom(std::size_t index) {
    bool ok = true;
    while (groups_.size() > index) {
        ok = Put("}") && ok;
        groups_.pop_back();
    }
    needDelimiter_ = false;
    return ok;
}

bool TJDRTFWriter::CloseRtfCode() {
    if (!rtfCodeOpen_) return true;
    rtfCodeOpen_ = false;
    bool ok = Put("\\jdrtf0");
    needDelimiter_ = false;  // the reader matches the closing word byte by byte
    return ok;
}

bool TJDRTFWriter::Escaped(std::string_view text) {
    std::string s;
    s.reserve(text.size() + 16);
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '{' || c == '}' || c == '\\') {
            s.push_back('\\');
            s.push_back(ch);
        } else if (c == 9) {
            s += "\\tab ";
        } else if (c == 10) {
            s += "\\line ";
        } else if (c >= 0x20 && c <= 0x7E) {
            s.push_back(ch);
        } else if (c > 3) {
            s += "\\'";
            s.push_back(kHex[c >> 4]);
            s.push_back(kHex[c & 15]);
        }
    }
    needDelimiter_ = false;
    bool ok = Put(s);
    return ok;
}

// --- document ------------------------------------------------------------------------

bool TJDRTFWriter::BeginDocument() {
    const TTextHeader& h = model_->Header();
    groups_.clear();
    row_.clear();
    rtfCodeOpen_ = hiddenOpen_ = false;
    tableWidth_ = h.pageWidth - h.marginLeft - h.marginRight;
    needDelimiter_ = false;
    if (bodyOnly) return true;
    bool ok = Put("{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl");
    for (int n = 0; n < kMaxFonts && ok; ++n) {
        if (h.fontNames[n].empty() || (model_->singleFont && n > 0)) break;
        const char* family;
        switch (h.fontPitchFamily[n] & 0xF0) {
        case 0x20: family = "\\fswiss"; break;
        case 0x30: family = "\\fmodern"; break;
        case 0x40: family = "\\fscript"; break;
        case 0x50: family = "\\fdecor"; break;
        default: family = "\\fnil"; break;
        }
        ok = Put("{") && Word("\\f", n) && Word(family) && Word("\\charset", h.fontCharset[n]) && Put(" ") &&
             Escaped(h.fontNames[n]) && Put(";}");
    }
    ok = ok && Put("}{\\colortbl");
    for (const TRgbEntry& c : h.colors) {
        char e[64];
        std::snprintf(e, sizeof e, "\\red%d\\green%d\\blue%d;", c.red, c.green, c.blue);
        ok = ok && Put(e);
    }
    ok = ok && Put("}") && Word("\\paperw", h.pageWidth) && Word("\\paperh", h.pageHeight) &&
         Word("\\margl", h.marginLeft) && Word("\\margr", h.marginRight) && Word("\\margt", h.marginTop) &&
         Word("\\margb", h.marginBottom);
    // Document information is escaped like text, so it can never unbalance the groups.
    if (ok && !h.title.empty()) ok = Put("{\\title ") && Escaped(h.title) && Put("}");
    if (ok && !h.subject.empty()) ok = Put("{\\subject\t") && Escaped(h.subject) && Put("}");
    if (ok && !h.comment.empty()) ok = Put("{\\comment\t") && Escaped(h.comment) && Put("}");
    needDelimiter_ = false;
    return ok;
}

bool TJDRTFWriter::EndDocument() {
    bool ok = CloseRtfCode() && CloseGroupsFrom(0);
    return Put(bodyOnly ? "\r\n" : "\r\n}") && ok;
}

// --- characters ------------------------------------------------------------------------

bool TJDRTFWriter::WriteAttr(const TJDCharAttr& a) {
    if (rtfCodeOpen_) {
        if (a.style & kStyleRtfCode) return true;
        if (!CloseRtfCode()) return false;
    }
    bool ok = Word("\\plain") && Word("\\f", a.font) && Word("\\fs", a.size ? a.size * 2 : 20) &&
              Word("\\cf", a.TextColor());
    if (a.BackColor()) ok = ok && Word("\\cb", a.BackColor());
    if (a.style & kStyleBold) ok = ok && Word("\\b");
    if (a.style & kStyleUnderline) ok = ok && Word("\\ul");
    if (a.style & kStyleHyperlink) ok = ok && Word("\\uldb");
    if (a.style & kStyleSuper) ok = ok && Word("\\super");
    if (a.style & kStyleSub) ok = ok && Word("\\sub");
    if (a.style & kStyleItalic) ok = ok && Word("\\i");
    if (a.style & kStyleStrikeOut) ok = ok && Word("\\strike");
    if ((a.style & kStyleProtected) && !leaveOutShad) ok = ok && Word("\\shad");
    if (a.style & kStyleHidden) {
        ok = ok && Word("\\v");
        hiddenOpen_ = true;
    }
    if (a.style & kStyleRtfCode) {
        ok = ok && Word("\\jdrtf1");
        rtfCodeOpen_ = true;
    }
    if ((a.style & kStyleInsertPoint) && !leaveOutInsertPointText) ok = ok && Word("\\inspnt", a.tag);
    if ((a.style & kStyleAutomatic) && !leaveOutAutomaticText) ok = ok && Word("\\inaut");
    ok = ok && Put(" ");
    needDelimiter_ = false;
    return ok;
}

bool TJDRTFWriter::WriteText(std::string_view text) {
    if (rtfCodeOpen_) return Put(text);
    return Escaped(text);
}

// --- paragraphs ------------------------------------------------------------------------

std::vector<TJDRTFWriter::Cell> TJDRTFWriter::RowCells(TParagraph* first) const {
    std::vector<Cell> cells;
    for (TParagraph* p = first; p && p->IsCell() && static_cast<int>(cells.size()) < kMaxRowCells; p = p->next) {
        cells.push_back(Cell{p->border, p->cellWidth, p->cellStart, p->spaceBefore, p->lineSpacing, p->shading,
                             p->shadingPct});
        if (!(p->flags & kParCellFollows)) break;
    }
    return cells;
}

bool TJDRTFWriter::WriteBorderWords(std::uint32_t b, bool cell) {
    const char* type = (b & kBorderDouble) ? "\\brdrdb" : "\\brdrs";
    bool ok = true;
    if (cell) {
        bool box = b & kBorderBox;
        ok = Word(type);
        if (box || (b & kBorderTop)) ok = ok && Word("\\clbrdrt");
        if (box || (b & kBorderBottom)) ok = ok && Word("\\clbrdrb");
        if (box || (b & kBorderLeft)) ok = ok && Word("\\clbrdrl");
        if (box || (b & kBorderRight)) ok = ok && Word("\\clbrdrr");
        ok = ok && Word("\\brdrw", BorderWidthByte(b) * 20) && Word("\\brdrcf", BorderColorNibble(b));
    } else {
        ok = Word(type);
        if (b & kBorderBox) ok = ok && Word("\\box") && Word(type);
        if (b & kBorderTop) ok = ok && Word("\\brdrt") && Word(type);
        if (b & kBorderBottom) ok = ok && Word("\\brdrb") && Word(type);
        if (b & kBorderLeft) ok = ok && Word("\\brdrl") && Word(type);
        if (b & kBorderRight) ok = ok && Word("\\brdrr") && Word(type);
        if (b & kBorderBar) ok = ok && Word("\\brdrbar");
        if (b & kBorderTableLine) ok = ok && Word("\\brdrtablin");
        ok = ok && Word("\\brdrw", BorderWidthByte(b) * 20);
        if ((b >> 24) & 0xFF)
            ok = ok && Word("\\brsp", MulDiv(BorderSpacingNibble(b) * 16, 567, 160)) &&
                 Word("\\brdrcf", BorderColorNibble(b));
    }
    if (b & kBorderDotted) ok = ok && Word("\\brdrdot");
    if (b & kBorderHairline) ok = ok && Word("\\brdrhair");
    return ok;
}

bool TJDRTFWriter::StartParagraph(TParagraph* p) {
    bool ok = CloseRtfCode();
    if (groups_.empty()) ok = ok && OpenGroup(kParagraphGroup);

    // Close what no longer fits this paragraph, with everything opened inside it.
    std::size_t cut = groups_.size();
    for (std::size_t i = 1; i < groups_.size(); ++i) {
        const Group& g = groups_[i];
        bool close = false;
        switch (g.kind) {
        case kBorderGroup:
            close = (prevPar_ && (prevPar_->border & kBorderGroupEnd)) || !(p->border & kBorderOn) || p->IsCell() ||
                    (p->border & ~kBorderGroupEnd) != (g.state.border & ~kBorderGroupEnd);
            break;
        case kRowGroup:
            close = !p->IsCell() || (!(p->flags & kParNotFirstCell) && RowCells(p) != row_);
            break;
        case kTabGroup:
            close = g.state.tabs != p->tabs;
            break;
        default:
            close = true;
            break;
        }
        if (close) {
            cut = i;
            break;
        }
    }
    ok = ok && CloseGroupsFrom(cut);
    auto has = [&](int kind) {
        return std::any_of(groups_.begin(), groups_.end(), [&](const Group& g) { return g.kind == kind; });
    };

    if (p->flags & kParPageBreak) ok = ok && Word("\\page");
    if (!p->IsCell() && (p->border & kBorderOn) && !has(kBorderGroup)) {
        ok = ok && OpenGroup(kBorderGroup) && WriteBorderWords(p->border, false);
        State().border = p->border;
    }
    if (p->flags & kParKeepTogether) ok = ok && Word("\\keep");
    if (p->IsCell() && !has(kRowGroup)) {
        row_ = RowCells(p);
        ok = ok && OpenGroup(kRowGroup) && Word("\\pard") && Word("\\trowd") &&
             Word("\\trgaph", MulDiv(BorderSpacingNibble(p->border) * 16, 567, 160)) && Word("\\trleft", p->leftIndent);
        for (const Cell& c : row_) {
            if (c.border & kBorderOn) ok = ok && WriteBorderWords(c.border, true);
            if (c.shading || c.shadingPct) {
                ok = ok && Word("\\clshdng", c.shadingPct * 100) && Word("\\clcfpat", c.shading & 0x0F);
                if (c.shadingPct != 100) ok = ok && Word("\\clcbpat", c.shading >> 4);
            }
            // The reader measures edges from the row's left indent and keeps
            // what the row leaves free on the right as the cells' right indent.
            ok = ok && Word("\\cellx", MulDiv(c.start + c.width, std::max(tableWidth_ - p->rightIndent, 255), 255) +
                                            p->leftIndent);
        }
        // \pard reset the reader's paragraph state; follow it.
        ParState& s = State();
        s.alignment = 0;
        s.first = s.left = s.right = 0;
        s.border = 0;
        s.tabs = {};
    }
    if (p->IsCell()) ok = ok && Word("\\intbl");
    if (p->tabs != State().tabs) {
        ok = ok && OpenGroup(kTabGroup);
        const TTextHeader& h = model_->Header();
        for (int slot = 0; slot < kTabSlots; ++slot) {
            if (!p->HasTab(slot) || h.tabPos[slot] == 0) continue;
            static const char* const kKinds[] = {"", "\\tqr", "\\tqc", "\\tqdec"};
            if (h.tabKind[slot] >= 1 && h.tabKind[slot] <= 3) ok = ok && Word(kKinds[h.tabKind[slot]]);
            ok = ok && Word("\\tx", h.tabPos[slot]);
        }
        State().tabs = p->tabs;
    }
    if (p->shading || p->shadingPct) {
        // Its own innermost group, closed after the paragraph end, so the
        // words written inside it are undone for the writer as for the reader.
        ok = ok && OpenGroup(kShadingGroup);
        if (p->shadingPct == 0) ok = ok && Word((p->shading & 0x0F) == 0 ? "\\shading1" : "\\shading10000");
        else ok = ok && Word("\\shading", p->shadingPct * 100);
        ok = ok && Word("\\cfpat", p->shading & 0x0F);
        if (p->shadingPct != 100) ok = ok && Word("\\cbpat", p->shading >> 4);
    }
    ParState& s = State();
    if (p->prev && !p->next && !p->IsCell() && p->lines && p->lines->Length() == 0 && !p->lines->next) {
        // An empty last paragraph has no \par to take its words at: words of
        // its own keep it from the state that the closing groups restore.
        s.left = s.first = s.right = INT32_MIN;
        s.spaceBefore = s.spaceAfter = s.lineSpacing = INT32_MIN;
    }
    if (p->alignment != s.alignment) {
        static const char* const kAlign[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
        ok = ok && Word(kAlign[p->alignment & 3]);
        s.alignment = p->alignment;
    }
    if (!p->IsCell() && (p->leftIndent != s.left || p->firstIndent != s.first || p->rightIndent != s.right)) {
        ok = ok && Word("\\li", p->leftIndent) &&
             Word("\\fi", static_cast<std::int64_t>(p->firstIndent) - p->leftIndent) && Word("\\ri", p->rightIndent);
        s.left = p->leftIndent;
        s.first = p->firstIndent;
        s.right = p->rightIndent;
    }
    if (p->IsCell()) {
        ok = ok && Word("\\sb", p->spaceBefore);
        if (p->lineSpacing) ok = ok && Word("\\sl", p->lineSpacing);
        ok = ok && Word("\\sa", p->spaceBefore);
        s.spaceBefore = s.spaceAfter = p->spaceBefore;
        if (p->lineSpacing) s.lineSpacing = p->lineSpacing;
    } else {
        if (p->spaceBefore != s.spaceBefore) ok = ok && Word("\\sb", p->spaceBefore);
        // Written also when it went back to 0, or the reader would keep the old value.
        if (p->lineSpacing != s.lineSpacing) ok = ok && Word("\\sl", p->lineSpacing);
        if (p->spaceAfter != s.spaceAfter) ok = ok && Word("\\sa", p->spaceAfter);
        s.spaceBefore = p->spaceBefore;
        s.lineSpacing = p->lineSpacing;
        s.spaceAfter = p->spaceAfter;
    }
    if (needDelimiter_) ok = ok && Put(" ");
    needDelimiter_ = false;
    return ok;
}

bool TJDRTFWriter::EndParagraph(TParagraph* p, bool last) {
    bool ok = CloseRtfCode();
    if (p->IsCell()) {
        // Every row's last cell ends the row, a row of one cell too.
        ok = ok && Word("\\cell");
        if (!(p->flags & kParCellFollows)) ok = ok && Word("\\row");
        ok = ok && Put("\n\r");
    } else if (!last) {
        if (hiddenOpen_) {
            ok = ok && Word("\\plain");
            hiddenOpen_ = false;
        }
        ok = ok && Word("\\par") && Put("\n\r");
    }
    needDelimiter_ = false;
    if (!groups_.empty() && groups_.back().kind == kShadingGroup) ok = ok && CloseGroupsFrom(groups_.size() - 1);
    return ok;
}

// --- objects and footnotes ----------------------------------------------------------------

bool TJDRTFWriter::WriteHex(const std::string& bytes, std::size_t from) {
    std::string s = "\r\n";
    std::size_t n = 0;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        s.push_back(kHex[c >> 4]);
        s.push_back(kHex[c & 15]);
        if (++n % 64 == 0) s += "\r\n";
        if (s.size() >= 8192) {
            if (!Put(s)) return false;
            s.clear();
        }
    }
    needDelimiter_ = false;
    return Put(s);
}

bool TJDRTFWriter::WriteObject(TLine* line, int index) {
    bool ok = CloseRtfCode();
    TJDObjectRecord* rec = model_->ObjectForCharTag(line->attrs[index].tag);
    if (!rec) return ok;
    if (pictureReferences && !rec->referenceText.empty()) {
        const std::string& ref = rec->referenceText;
        std::size_t blank = ref.find(' ');
        if (blank == std::string::npos) return ok;  // nothing to refer to
        std::string rest;
        for (char c : ref.substr(blank + 1)) {
            rest.push_back(c);
            if (c == '\\') rest.push_back('\\');
        }
        needDelimiter_ = false;
        return ok && Put("\\{" + ref.substr(0, blank) + " " + rest + "\\}");
    }
    if (!rec->referenceText.empty()) {
        // Stored text keeps the reference with the picture, so the build can
        // write it as a reference later.
        std::string esc;
        for (char c : rec->referenceText) {
            if (c == '{' || c == '}' || c == '\\') esc.push_back('\\');
            esc.push_back(c);
        }
        ok = ok && Put("{\\*\\jdpicref " + esc + "}");
        needDelimiter_ = false;
    }
    if (rec->linked) {
        std::string name = rec->fileName;
        if (!pictureBaseDir.empty() && name.size() > pictureBaseDir.size() &&
            name.compare(0, pictureBaseDir.size(), pictureBaseDir) == 0) {
            std::size_t at = pictureBaseDir.size();
            if (name[at] == '\\' || name[at] == '/') name = name.substr(at + 1);
            else if (pictureBaseDir.back() == '\\' || pictureBaseDir.back() == '/') name = name.substr(at);
        }
        std::string esc;
        for (char c : name) {
            if (c == '{' || c == '}' || c == '\\') esc.push_back('\\');
            esc.push_back(c);
        }
        ok = ok && Put("{\\*\\picfile") && Word("\\picw", rec->width) && Word("\\pich", rec->height) &&
             Word("\\picwgoal", rec->width) && Word("\\pichgoal", rec->height) && Put(" \"" + esc + "\"}");
        needDelimiter_ = false;
        return ok;
    }
    if (rec->tag) {
        ok = ok && Word("\\jdobjtag", rec->tag) && Word("\\jdobjw", rec->width) && Word("\\jdobjh", rec->height) &&
             Put(" \\'01");
        needDelimiter_ = false;
        return ok;
    }
    const plat::TGraphic* g = rec->object.get();
    ok = ok && Put("{\\pict");
    std::size_t skip = 0;
    if (g) {
        const std::string& b = g->Bytes();
        switch (g->Kind()) {
        case plat::TGraphicKind::Metafile:
            ok = ok && Word("\\wmetafile8");
            if (plat::GuessGraphicKind(b) == plat::TGraphicKind::Metafile) skip = plat::kPlaceableHeaderSize;
            break;
        case plat::TGraphicKind::Bitmap: {
            plat::TBitmapGeometry geo = g->BitmapInfo();
            if (writeBitmapAsDib) {
                std::string dib = DeviceBitmapToDib(*g);
                if (!dib.empty()) {
                    ok = ok && Word("\\dibitmap0") && Word("\\picw", g->Width()) && Word("\\pich", g->Height()) &&
                         Word("\\picwgoal", rec->width) && Word("\\pichgoal", rec->height) && WriteHex(dib, 0);
                    needDelimiter_ = false;
                    return ok && Put("}");
                }
            }
            ok = ok && Word("\\wbitmap0") && Word("\\wbmbitspixel", geo.bitsPerPixel) &&
                 Word("\\wbmplanes", geo.planes) && Word("\\wbmwidthbytes", geo.widthBytes);
            break;
        }
        case plat::TGraphicKind::Dib:
            ok = ok && Word("\\dibitmap0");
            if (b.size() >= plat::kBitmapFileHeaderSize && b[0] == 'B' && b[1] == 'M') skip = plat::kBitmapFileHeaderSize;
            break;
        default:
            break;
        }
        ok = ok && Word("\\picw", g->Width()) && Word("\\pich", g->Height());
    }
    ok = ok && Word("\\picwgoal", rec->width) && Word("\\pichgoal", rec->height);
    if (g) ok = ok && WriteHex(g->Bytes(), skip);
    needDelimiter_ = false;
    return ok && Put("}");
}

bool TJDRTFWriter::WriteFootnote(TLine* line, int index) {
    bool ok = CloseRtfCode();
    std::uint16_t tag = line->attrs[index].tag;
    TJDFootnote* fn = tag ? model_->FindFootnote(tag) : nullptr;
    std::string_view mark(&line->text[index], 1);
    if (!fn) return ok && Escaped(mark);
    ok = ok && Put("{\\cs16\\super ") && Escaped(mark);
    if (fn->number == 0 || fn->writeWithoutNumber) {
        ok = ok && Put("{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super ");
    } else {
        ok = ok && Put("{\\*\\footnote ") && Word("\\jdfnnr", fn->number) &&
             Put(" \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super\t");
    }
    ok = ok && Escaped(mark) && Put("} ");
    // A prepared buffer is RTF already; the text is escaped like any text.
    if (!fn->buffer.empty()) ok = ok && Put(fn->buffer);
    else ok = ok && Escaped(fn->text);
    needDelimiter_ = false;
    return ok && Put("}}");
}

}  // namespace richtext
