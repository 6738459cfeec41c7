#include "richtext/model/rtf_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/core/check.h"
#include "platform/core/clock.h"
#include "platform/core/codepage.h"
#include "platform/imaging/graphic.h"

namespace richtext {

namespace {

const TRgbEntry kDefaultColors[kColorCount] = {
    {0, 0, 0, 0},       {255, 0, 0, 0},     {0, 128, 0, 0},     {0, 0, 255, 0},
    {255, 255, 0, 0},   {255, 0, 255, 0},   {128, 0, 128, 0},   {128, 0, 0, 0},
    {0, 255, 0, 0},     {0, 255, 255, 0},   {0, 128, 128, 0},   {0, 0, 128, 0},
    {255, 255, 255, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}, {0, 0, 0, 0},
};

// Rounds to the nearest, as the platform's MulDiv does.
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b, h = (c > 0 ? c : -c) / 2;
    std::int64_t q = ((p >= 0) == (c > 0)) ? (p + h) / c : (p - h) / c;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

void ResetTabOrder(TTextHeader& h) {
    for (int i = 0; i < kTabSlots; ++i) h.tabOrder[i] = static_cast<std::uint8_t>(i);
}

void SortTabOrder(TTextHeader& h) {
    // Exchange sort by position; a free slot sorts last.
    auto key = [&](int slot) { return h.tabPos[slot] ? h.tabPos[slot] : 16777215; };
    ResetTabOrder(h);
    for (int i = 0; i < kTabSlots - 1; ++i)
        for (int j = i + 1; j < kTabSlots; ++j)
            if (key(h.tabOrder[j]) < key(h.tabOrder[i])) std::swap(h.tabOrder[i], h.tabOrder[j]);
}

}  // namespace

void CopyParProps(TParagraph& dst, const TParagraph& src) {
    dst.firstIndent = src.firstIndent;
    dst.leftIndent = src.leftIndent;
    dst.rightIndent = src.rightIndent;
    dst.spaceBefore = src.spaceBefore;
    dst.spaceAfter = src.spaceAfter;
    dst.lineSpacing = src.lineSpacing;
    dst.alignment = src.alignment;
    dst.flags = src.flags;
    dst.border = src.border;
    dst.shading = src.shading;
    dst.shadingPct = src.shadingPct;
    dst.tabs = src.tabs;
    dst.cellWidth = src.cellWidth;
    dst.cellStart = src.cellStart;
    dst.numbering = src.numbering;
    dst.parFlags2 = src.parFlags2;
    dst.state = kParNeedsLayout;
}

TJDRTFText::TJDRTFText(TJDMemoryFormat format) : header_(std::make_shared<TTextHeader>()) {
    header_->useAttributes = format == TJDMemoryFormat::fmRichText;
    header_->fontNames[0] = "Arial";
    ResetHeader();
    defaultAttr.size = 10;
    currentAttr = defaultAttr;
    NewParagraph(nullptr);
}

TJDRTFText::~TJDRTFText() { FreeAll(); }

void TJDRTFText::FreeAll() {
    TParagraph* p = first_;
    while (p) {
        TParagraph* n = p->next;
        for (TLine* l = p->lines; l;) {
            TLine* ln = l->next;
            delete l;
            l = ln;
        }
        delete p;
        p = n;
    }
    first_ = nullptr;
    LinksChanged();
}

TParagraph* TJDRTFText::LastParagraph() const {
    TParagraph* p = first_;
    while (p && p->next) p = p->next;
    return p;
}

int TJDRTFText::ParagraphCount() const {
    if (countLinks_ != links_) {
        count_ = 0;
        for (TParagraph* p = first_; p; p = p->next) ++count_;
        countLinks_ = links_;
    }
    return count_;
}

TLine* TJDRTFText::NewLineAfter(TParagraph* par, TLine* after) {
    auto* l = new TLine;
    l->layout = defaultLineLayout;
    if (after) {
        l->next = after->next;
        l->prev = after;
        if (after->next) after->next->prev = l;
        after->next = l;
    } else {
        l->next = par->lines;
        if (par->lines) par->lines->prev = l;
        par->lines = l;
    }
    TAVRIN_ASSERT((!l->prev || l->prev->next == l) && (!l->next || l->next->prev == l));
    return l;
}

TParagraph* TJDRTFText::NewParagraph(TParagraph* after) {
    TParagraph* p = new (std::nothrow) TParagraph;
    if (!p) throw ERichTextError("Out of Memory in\tNewParagraph");
    NewLineAfter(p, nullptr);
    if (after) {
        p->prev = after;
        p->next = after->next;
        if (after->next) after->next->prev = p;
        after->next = p;
    } else {
        p->next = first_;
        if (first_) first_->prev = p;
        first_ = p;
    }
    LinksChanged();
    return p;
}

TLine* TJDRTFText::LastLine(const TParagraph* par) {
    TLine* l = par ? par->lines : nullptr;
    if (!l) throw ERichTextError("l=nil in Get_LastLine");
    while (l->next) l = l->next;
    return l;
}

TJDCharAttr* TJDRTFText::AttribPtr(TLine* line, int index) {
    if (!line || !RichText() || index < 0 || index >= static_cast<int>(line->attrs.size()))
        throw ERichTextError("Error AttribPtr()");
    return &line->attrs[index];
}

void TJDRTFText::CopyAttr(TJDCharAttr* dst, const TJDCharAttr* src, int n) {
    if (!dst || !src || n <= 0) return;
    std::memmove(static_cast<void*>(dst), src, sizeof(TJDCharAttr) * static_cast<std::size_t>(n));
}

void TJDRTFText::DeleteLine(TParagraph* par, TLine* line) {
    if (!par || !line) return;
    bool onlyLine = par->lines == line && !line->next;
    if (onlyLine && !par->next && par == first_) {
        // The document's last paragraph keeps its line, emptied.
        line->text.clear();
        line->attrs.clear();
        return;
    }
    // A line belongs to the paragraph it is deleted from.
    TAVRIN_ASSERT(line->prev ? line->prev->next == line : par->lines == line);
    if (line->prev) line->prev->next = line->next;
    else par->lines = line->next;
    if (line->next) line->next->prev = line->prev;
    delete line;
    if (!par->lines) DeleteParagraph(par);
}

void TJDRTFText::DeleteParagraph(TParagraph* par) {
    if (!par) return;
    for (TLine* l = par->lines; l;) {
        TLine* n = l->next;
        delete l;
        l = n;
    }
    TAVRIN_ASSERT(par->prev ? par->prev->next == par : first_ == par);
    if (par->prev) par->prev->next = par->next;
    else first_ = par->next;
    if (par->next) par->next->prev = par->prev;
    delete par;
    LinksChanged();
    if (!first_) NewParagraph(nullptr);  // a document is never without a paragraph
}

bool TJDRTFText::StructureSound() const {
    if (!first_ || first_->prev) return false;
    int count = 0;
    for (const TParagraph* p = first_; p; p = p->next) {
        ++count;
        if ((p->next && p->next->prev != p) || !p->lines || p->lines->prev) return false;
        for (const TLine* l = p->lines; l; l = l->next)
            if ((l->next && l->next->prev != l) || l->Length() > kMaxLineLength || !AttrsMatchText(l)) return false;
    }
    return countLinks_ != links_ || count_ == count;
}

int TJDRTFText::ParagraphIndex(const TParagraph* par) const {
    int i = 0;
    for (TParagraph* p = first_; p; p = p->next, ++i)
        if (p == par) return i;
    return -1;
}

TParagraph* TJDRTFText::ParagraphAt(int index) const {
    if (index < 0) return nullptr;
    // From the paragraph found last when it is nearer than the first.
    TParagraph* p = first_;
    int at = 0;
    if (atLinks_ == links_ && atPar_ && std::abs(index - atIndex_) < index) {
        p = atPar_;
        at = atIndex_;
    }
    while (p && at > index) {
        p = p->prev;
        --at;
    }
    while (p && at < index) {
        p = p->next;
        ++at;
    }
    if (p) {
        atPar_ = p;
        atIndex_ = at;
        atLinks_ = links_;
    }
    return p;
}

void TJDRTFText::DeleteParagraphAt(int index) { DeleteParagraph(ParagraphAt(index)); }

TParagraph* TJDRTFText::InsertParagraphAt(int index, const std::string& text) {
    TParagraph* before = index <= 0 ? nullptr : ParagraphAt(index - 1);
    if (index > 0 && !before) before = LastParagraph();
    TParagraph* p = NewParagraph(before);
    for (char c : text) InsertChar(p->lines, static_cast<unsigned char>(c), currentAttr);
    return p;
}

void TJDRTFText::GrowCheck(const TLine* line, int extra) const {
    if (line->Length() + extra > kMaxLineLength) throw ERichTextError("Line longer then\t10000 character!");
}

void TJDRTFText::InsertChar(TLine* line, int ch, const TJDCharAttr& attr) {
    if (ch == 13 || ch == 10) return;
    if (ch == 1010) ch = 10;
    GrowCheck(line, 1);
    line->text.push_back(static_cast<char>(ch));
    if (RichText()) {
        TJDCharAttr a = attr;
        if (a.size == 0) a.size = 10;
        if (ch == 1) {
            a.style |= kStyleObject;
            TJDObjectRecord* rec = AddObject(nullptr, pendingObjectTag);
            rec->width = pendingObjectWidth;
            rec->height = pendingObjectHeight;
            pendingObjectTag = 0;
            pendingObjectWidth = pendingObjectHeight = 0;
            a.tag = rec->CharTag();
        }
        line->attrs.push_back(a);
    }
    TAVRIN_ASSERT(AttrsMatchText(line));
}

void TJDRTFText::AppendObjectChar(TLine* line, const TJDCharAttr& attr, const TJDObjectRecord& rec) {
    GrowCheck(line, 1);
    line->text.push_back('\x01');
    if (RichText()) {
        TJDCharAttr a = attr;
        if (a.size == 0) a.size = 10;
        a.style |= kStyleObject;
        a.tag = rec.CharTag();
        line->attrs.push_back(a);
    }
    TAVRIN_ASSERT(AttrsMatchText(line));
}

void TJDRTFText::ReplaceInLine(TLine* line, int pos, int removeCount, const std::string& text,
                               const TJDCharAttr* attr) {
    if (!line) return;
    pos = std::clamp(pos, 0, line->Length());
    removeCount = std::clamp(removeCount, 0, line->Length() - pos);
    GrowCheck(line, static_cast<int>(text.size()) - removeCount);
    TJDCharAttr a = attr ? *attr
                    : (RichText() && pos < static_cast<int>(line->attrs.size())) ? line->attrs[pos]
                    : (RichText() && !line->attrs.empty()) ? line->attrs.back()
                                                           : currentAttr;
    TAVRIN_ASSERT(AttrsMatchText(line));
    line->text.replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(removeCount), text);
    if (RichText()) {
        line->attrs.erase(line->attrs.begin() + pos, line->attrs.begin() + pos + removeCount);
        line->attrs.insert(line->attrs.begin() + pos, text.size(), a);
    }
    TAVRIN_ASSERT(AttrsMatchText(line));
}

TParagraph* TJDRTFText::SplitParagraph(TParagraph* par, int pos) {
    if (!par) return nullptr;
    // Find the line holding pos.
    TLine* l = par->lines;
    while (l && pos > l->Length() && l->next) {
        pos -= l->Length();
        l = l->next;
    }
    pos = std::clamp(pos, 0, l->Length());
    TAVRIN_ASSERT(AttrsMatchText(l));
    TParagraph* np = NewParagraph(par);
    TLine* first = np->lines;
    CopyParProps(*np, *par);
    np->flags &= static_cast<std::uint8_t>(~kParPageBreak);
    first->text = l->text.substr(static_cast<std::size_t>(pos));
    l->text.resize(static_cast<std::size_t>(pos));
    if (RichText()) {
        first->attrs.assign(l->attrs.begin() + pos, l->attrs.end());
        if (pos < static_cast<int>(l->attrs.size())) currentAttr = l->attrs[pos];
        else if (!l->attrs.empty()) currentAttr = l->attrs.back();
        l->attrs.resize(static_cast<std::size_t>(pos));
    }
    // Lines after the split line move too.
    if (l->next) {
        first->next = l->next;
        l->next->prev = first;
        l->next = nullptr;
    }
    TAVRIN_ASSERT(AttrsMatchText(l) && AttrsMatchText(first));
    par->state = kParNeedsLayout;
    return np;
}

bool TJDRTFText::JoinAtParagraphEnd(TParagraph* par) {
    if (!par || !par->next || par->IsCell()) return false;
    TLine* last = LastLine(par);
    if (!ProtectionTest(par, last, last->Length())) return false;
    JoinNext(par);
    return true;
}

void TJDRTFText::JoinNext(TParagraph* par) {
    TLine* last = LastLine(par);
    TParagraph* nx = par->next;
    bool empty = !par->lines->next && par->lines->Length() == 0;
    if (empty) CopyParProps(*par, *nx);
    GrowCheck(last, nx->lines->Length());
    last->text += nx->lines->text;
    if (RichText()) last->attrs.insert(last->attrs.end(), nx->lines->attrs.begin(), nx->lines->attrs.end());
    TAVRIN_ASSERT(AttrsMatchText(last));
    TLine* rest = nx->lines->next;
    delete nx->lines;
    nx->lines = nullptr;
    if (rest) {
        last->next = rest;
        rest->prev = last;
    }
    par->next = nx->next;
    if (nx->next) nx->next->prev = par;
    delete nx;
    LinksChanged();
    par->state = kParNeedsLayout;
}

TParagraph* TJDRTFText::DetachParagraphs() {
    TAVRIN_ASSERT(StructureSound());
    TParagraph* list = first_;
    first_ = nullptr;
    LinksChanged();
    NewParagraph(nullptr);
    return list;
}

bool TJDRTFText::InsertParagraphList(TParagraph* par, TLine* line, int pos, TParagraph* list) {
    if (!par || !list || par->IsCell()) return false;
    int at = 0;
    TLine* l = par->lines;
    for (; l && l != line; l = l->next) at += l->Length();
    at += l ? std::clamp(pos, 0, l->Length()) : 0;
    int tailLength = 0;
    for (TLine* x = par->lines; x; x = x->next) tailLength += x->Length();
    tailLength -= at;
    TLine* lastOfList = LastLine(list);
    TParagraph* lastPar = list;
    while (lastPar->next) lastPar = lastPar->next;
    // Both joins must fit the line limit before anything is changed.
    if (LastLine(par)->Length() - tailLength + list->lines->Length() > kMaxLineLength ||
        lastOfList->Length() + tailLength > kMaxLineLength)
        throw ERichTextError("Line longer then\t10000 character!");
    TParagraph* tail = SplitParagraph(par, at);
    list->prev = par;
    par->next = list;
    lastPar->next = tail;
    tail->prev = lastPar;
    LinksChanged();
    bool single = lastPar == list;
    JoinNext(par);                          // the first paragraph joins the text before
    JoinNext(single ? par : lastPar);       // the last one the text after
    TAVRIN_ASSERT(StructureSound());
    return true;
}

std::string TJDRTFText::ParagraphText(const TParagraph* par) const {
    std::string s;
    for (TLine* l = par ? par->lines : nullptr; l; l = l->next) s += l->text;
    return s;
}

std::string TJDRTFText::GetText(TParagraph* par, int pos, int count) const {
    std::string out;
    for (TParagraph* p = par; p && count > 0; p = p->next) {
        std::string t = ParagraphText(p);
        if (pos < static_cast<int>(t.size())) {
            std::string chunk = t.substr(static_cast<std::size_t>(std::max(pos, 0)),
                                         static_cast<std::size_t>(count));
            out += chunk;
            count -= static_cast<int>(chunk.size());
            pos = 0;
        } else {
            pos -= static_cast<int>(t.size());
        }
        if (count <= 0 || !p->next) break;
        if (pos > 0) {
            --pos;  // the paragraph end counts one
        } else {
            out.push_back('\r');
            --count;
        }
    }
    return out;
}

int TJDRTFText::TextLength() const {
    int n = 0;
    for (TParagraph* p = first_; p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) n += l->Length();
        if (p->next) ++n;
    }
    return n;
}

TParagraph* TJDRTFText::CreateTable(TParagraph* after, int rows, int cols, std::uint32_t border,
                                    std::int32_t spaceBefore, std::int32_t lineSpacing,
                                    const std::vector<int>* cellWidths) {
    if (rows < 1 || cols < 1) return nullptr;
    cols = std::min(cols, 50);
    TParagraph* firstCell = nullptr;
    TParagraph* prev = after;
    for (int r = 0; r < rows; ++r) {
        int start = 0;
        for (int c = 0; c < cols; ++c) {
            TParagraph* p = NewParagraph(prev);
            if (!firstCell) firstCell = p;
            int w = (cellWidths && c < static_cast<int>(cellWidths->size())) ? (*cellWidths)[c] : 255 / cols;
            w = std::clamp(w, 1, 255 - std::min(start, 254));
            p->cellStart = static_cast<std::uint8_t>(std::min(start, 255));
            p->cellWidth = static_cast<std::uint8_t>(w);
            start += w;
            p->flags = kParTableCell;
            if (c > 0) p->flags |= kParNotFirstCell;
            if (c < cols - 1) p->flags |= kParCellFollows;
            p->border = border ? (border | kBorderGroupEnd) : 0;
            p->spaceBefore = spaceBefore;
            p->lineSpacing = lineSpacing;
            prev = p;
        }
    }
    // The table's outer paragraphs point nowhere outside it.
    firstCell->flags &= static_cast<std::uint8_t>(~kParNotFirstCell);
    prev->flags &= static_cast<std::uint8_t>(~kParCellFollows);
    return firstCell;
}

void TJDRTFText::MarkForLayoutByStyle(std::uint16_t mask) {
    mask &= kStyleHyperlink | kStyleHidden | kStyleInsertPoint | kStyleAutomatic | kStyleObject;
    if (!mask) return;
    for (TParagraph* p = first_; p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            for (const TJDCharAttr& a : l->attrs)
                if (a.style & mask) {
                    p->state |= kParNeedsLayout;
                    goto nextPar;
                }
nextPar:;
}

void TJDRTFText::SetCharAttr(TLine* line, int index, const TJDCharAttr& tmpl) {
    TJDCharAttr* a = AttribPtr(line, index);
    std::uint16_t w = a->width, h = a->height, asc = a->ascent;
    *a = tmpl;
    a->width = w;
    a->height = h;
    a->ascent = asc;
}

void TJDRTFText::ProtectedChange(TParagraph* par, TLine* line, int pos, bool paragraphLevel) {
    if (!services.OnProtectedChange || !line) return;
    std::uint16_t tag = 0;
    std::string run;
    if (!paragraphLevel && RichText() && pos >= 0 && pos < static_cast<int>(line->attrs.size())) {
        std::uint16_t high = line->attrs[pos].style & 0xFF00;
        int a = pos, b = pos;
        while (a > 0 && (line->attrs[a - 1].style & 0xFF00) == high) --a;
        while (b + 1 < line->Length() && (line->attrs[b + 1].style & 0xFF00) == high) ++b;
        run = line->text.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(std::min(b - a + 1, 254)));
        if (high & (kStyleInsertPoint | kStyleHyperlink)) tag = line->attrs[pos].tag;
    } else {
        run = ParagraphText(par).substr(0, 254);
    }
    services.OnProtectedChange(services.sender, run, tag);
}

bool TJDRTFText::ProtectionTest(TParagraph* par, TLine* line, int pos, bool quiet) {
    auto has = [&](TProtectProps p) { return (protectedProp & ProtectBit(p)) != 0; };
    if (par && (par->flags & kParProtected) && has(TProtectProps::ppParProtected) && !editProtected) {
        if (!quiet) ProtectedChange(par, line, pos, true);
        return false;
    }
    if (!line || !RichText() || pos < 0 || pos >= static_cast<int>(line->attrs.size())) return true;
    const TJDCharAttr& a = line->attrs[pos];
    bool refused = (has(TProtectProps::ppProtected) && (a.style & kStyleProtected)) ||
                   (has(TProtectProps::ppHidden) && (a.style & kStyleHidden)) ||
                   (has(TProtectProps::ppIsInsertpoint) && (a.style & kStyleInsertPoint) && !editInsertPoints) ||
                   (has(TProtectProps::ppAutomatic) && (a.style & kStyleAutomatic)) ||
                   (has(TProtectProps::ppIsInvisible) && a.width == 0);
    if (refused && !quiet) ProtectedChange(par, line, pos, false);
    return !refused;
}

void TJDRTFText::ClearText() {
    FreeAll();
    NewParagraph(nullptr);
    NotifyChange();
}

void TJDRTFText::ReplaceParagraphText(int index, const std::string& text) {
    TParagraph* p = ParagraphAt(index);
    if (!p) return;
    while (p->lines->next) DeleteLine(p, p->lines->next);
    p->lines->text.clear();
    p->lines->attrs.clear();
    for (char c : text) InsertChar(p->lines, static_cast<unsigned char>(c), currentAttr);
    p->state = kParNeedsLayout;
}

void TJDRTFText::InsertText(TLine* line, int pos, const std::string& text) {
    ReplaceInLine(line, pos, 0, text, &currentAttr);
}

// --- header ------------------------------------------------------------------

int TJDRTFText::AddFontName(const std::string& name) {
    std::string n = name.substr(0, kFontNameMax);
    TTextHeader& h = *header_;
    for (int i = 0; i < kMaxFonts; ++i) {
        if (h.fontNames[i].empty()) {
            h.fontNames[i] = n;
            return i;
        }
        if (plat::CompareAnsi(h.fontNames[i], n, true) == 0) return i;
    }
    return kMaxFonts;  // table full: nothing stored
}

void TJDRTFText::ResetHeader() {
    TTextHeader& h = *header_;
    for (int i = 1; i < kMaxFonts; ++i) {
        h.fontNames[i].clear();
        h.fontPitchFamily[i] = 0;
        h.fontCharset[i] = 0;
    }
    ResetTabOrder(h);
    h.pageWidth = 12240;
    h.pageHeight = 15840;
    h.marginLeft = h.marginRight = 1880;
    h.marginTop = h.marginBottom = 1440;
    std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), h.colors.begin());
    SetResolution(h.resolutionX, h.resolutionY);
}

void TJDRTFText::CopyHeader(const TTextHeader& from) {
    TTextHeader& h = *header_;
    h.fontNames = from.fontNames;
    h.fontPitchFamily = from.fontPitchFamily;
    h.fontCharset = from.fontCharset;
    h.colors = from.colors;
    h.tabPos = from.tabPos;
    h.tabPixels = from.tabPixels;
    h.tabKind = from.tabKind;
    h.tabOrder = from.tabOrder;
    h.defaultTabKind = from.defaultTabKind;
    h.pageWidth = from.pageWidth;
    h.pageHeight = from.pageHeight;
    h.marginLeft = from.marginLeft;
    h.marginRight = from.marginRight;
    h.marginTop = from.marginTop;
    h.marginBottom = from.marginBottom;
    h.facingPages = from.facingPages;
    h.landscape = from.landscape;
    h.metricInch = from.metricInch;
}

std::int32_t TJDRTFText::SnapToGrid(std::int32_t v) const {
    if (header_->resolutionX == 0) return v;
    std::int32_t g = header_->metricInch ? 144 : 141;
    std::int32_t t = v + g / 2 + 1;
    std::int32_t r = t % g;
    if (r < 0) r += g;
    return t - r;
}

int TJDRTFText::AddTabStop(std::int32_t pos, TTabKind kind) {
    TTextHeader& h = *header_;
    if (pos <= 0) return kNoTabSlot;  // 0 marks a free slot
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::int32_t snapped = SnapToGrid(pos);
        for (int i = 0; i < kTabSlots; ++i)
            if ((h.tabPos[i] == pos || h.tabPos[i] == snapped) &&
                (kind == TTabKind::tkAll || h.tabKind[i] == static_cast<std::uint8_t>(kind)))
                return i;
        for (int i = 0; i < kTabSlots; ++i)
            if (h.tabPos[i] == 0) {
                h.tabPos[i] = pos;
                h.tabPixels[i] = h.resolutionX ? MulDiv(pos, h.resolutionX, 1440) : 0;
                h.tabKind[i] = static_cast<std::uint8_t>(kind == TTabKind::tkAll ? h.defaultTabKind : kind);
                SortTabOrder(h);
                return i;
            }
        if (attempt == 0 && h.onTabTableFull) h.onTabTableFull();
        else break;
    }
    return kNoTabSlot;
}

std::vector<TJDRTFText::TTabStop> TJDRTFText::ParagraphTabs(const TParagraph* par) const {
    std::vector<TTabStop> out;
    if (!par) return out;
    const TTextHeader& h = *header_;
    for (int i = 0; i < kTabSlots; ++i)
        if (par->HasTab(i) && h.tabPos[i] > 0)
            out.push_back({h.tabPos[i], static_cast<TTabKind>(std::min<int>(h.tabKind[i], 3)), i});
    std::stable_sort(out.begin(), out.end(), [](const TTabStop& a, const TTabStop& b) { return a.pos < b.pos; });
    return out;
}

void TJDRTFText::SetScreenWidth(std::int32_t twips) {
    header_->screenWidthTwips = twips;
    header_->screenWidthPixels = header_->resolutionX ? MulDiv(twips, header_->resolutionX, 1440) : 0;
}

void TJDRTFText::SetPageSize(std::int32_t width, std::int32_t height) {
    header_->pageWidth = width;
    header_->pageHeight = height;
    NotifyHeaderChange();
}

void TJDRTFText::SetMargins(std::int32_t left, std::int32_t right, std::int32_t top, std::int32_t bottom) {
    header_->marginLeft = left;
    header_->marginRight = right;
    header_->marginTop = top;
    header_->marginBottom = bottom;
    NotifyHeaderChange();
}

void TJDRTFText::NotifyHeaderChange() {
    if (headerChangeHook) headerChangeHook();
}

void TJDRTFText::SetResolution(std::int32_t resX, std::int32_t resY) {
    TTextHeader& h = *header_;
    h.resolutionX = resX;
    h.resolutionY = resY;
    h.textWidth = MulDiv(h.pageWidth - h.marginLeft - h.marginRight, resX, 1440);
    h.textHeight = MulDiv(h.pageHeight - h.marginTop - h.marginBottom, resY, 1440);
    if (h.screenWidthPixels && resX) h.screenWidthTwips = MulDiv(h.screenWidthPixels, 1440, resX);
    for (int i = 0; i < kTabSlots; ++i) h.tabPixels[i] = resX ? MulDiv(h.tabPos[i], resX, 1440) : 0;
}

// --- objects and footnotes ------------------------------------------------

namespace {
// The next free 16-bit number from a running counter: the counter moves on
// while it can; once it reaches the top, the numbers freed since are searched.
// Zero when every number in [low, high] is taken.
template <class Used>
std::uint16_t NextFreeNumber(std::uint32_t& counter, std::uint32_t low, std::uint32_t high, Used used) {
    if (counter < low) counter = low;
    if (counter <= high) return static_cast<std::uint16_t>(counter++);
    std::vector<bool> taken(high - low + 1);
    used([&](std::uint32_t v) {
        if (v >= low && v <= high) taken[v - low] = true;
    });
    for (std::uint32_t v = low; v <= high; ++v)
        if (!taken[v - low]) return static_cast<std::uint16_t>(v);
    return 0;
}
}  // namespace

TJDObjectRecord* TJDRTFText::AddObject(std::shared_ptr<plat::TGraphic> object, std::uint16_t tag) {
    auto rec = std::make_unique<TJDObjectRecord>();
    rec->id = NextFreeNumber(nextObjectId_, 1, 0xFFFF, [&](auto mark) {
        for (const auto& o : objects_) mark(o->id);
    });
    if (rec->id == 0) throw ERichTextError(kTooManyObjectsText);
    if (tag == 0xFFFF) {
        rec->tag = NextFreeNumber(nextObjectTag_, 2000, 0xFFFE, [&](auto mark) {
            for (const auto& o : objects_) mark(o->tag);
        });
        if (rec->tag == 0) throw ERichTextError(kTooManyObjectsText);
    } else {
        rec->tag = tag;
        // Tags given by the caller move the counter past them, as numbering from the largest did.
        if (tag >= 2000 && tag != 0xFFFF) nextObjectTag_ = std::max<std::uint32_t>(nextObjectTag_, tag + 1u);
    }
    rec->object = std::move(object);
    if (!rec->object && tag != 0xFFFF && services.OnProvideObject)
        services.OnProvideObject(services.sender, rec->tag ? rec->tag : rec->id, rec->object);
    objects_.push_back(std::move(rec));
    return objects_.back().get();
}

TJDObjectRecord* TJDRTFText::FindObject(std::uint16_t tag, std::uint16_t id) const {
    for (const auto& o : objects_)
        if ((tag && o->tag == tag) || (id && o->id == id)) return o.get();
    return nullptr;
}

TJDObjectRecord* TJDRTFText::ObjectForCharTag(std::uint16_t tag) const {
    if (!tag) return nullptr;
    for (const auto& o : objects_)
        if (o->tag == tag) return o.get();
    for (const auto& o : objects_)
        if (o->tag == 0 && o->id == tag) return o.get();
    return nullptr;
}

TJDObjectRecord* TJDRTFText::FindObjectByName(const std::string& name) const {
    for (const auto& o : objects_)
        if (!name.empty() && plat::CompareAnsi(o->fileName, name, true) == 0) return o.get();
    return nullptr;
}

void TJDRTFText::ClearObjectMarks() {
    for (auto& o : objects_) o->inUse = 0;
}

void TJDRTFText::RemoveUnmarkedObjects() {
    std::erase_if(objects_, [](const std::unique_ptr<TJDObjectRecord>& o) { return o->inUse == 0; });
}

TJDFootnote* TJDRTFText::AddFootnote(char mark, std::int32_t number) {
    auto f = std::make_unique<TJDFootnote>();
    f->id = NextFreeNumber(nextFootnoteId_, 1, 0xFFFF, [&](auto use) {
        for (const auto& x : footnotes_) use(x->id);
    });
    if (f->id == 0) throw ERichTextError(kTooManyFootnotesText);
    f->mark = mark;
    f->number = number;
    footnoteIndex_[f->id] = f.get();
    footnotes_.push_back(std::move(f));
    return footnotes_.back().get();
}

TJDFootnote* TJDRTFText::FindFootnote(std::uint16_t id) const {
    if (id == 0) return footnotes_.empty() ? nullptr : footnotes_.front().get();
    auto it = footnoteIndex_.find(id);
    return it == footnoteIndex_.end() ? nullptr : it->second;
}

void TJDRTFText::ClearFootnotes() {
    footnotes_.clear();
    footnoteIndex_.clear();
    nextFootnoteId_ = 1;
}

int NumberingKind(int listStyle) {
    // The one table from list style codes to the number formatter's kinds.
    switch (listStyle) {
    case lsBullet: return 1;
    case lsNumbers: return 6;
    case lsCapitalLetters: return 2;
    case lsLetters: return 3;
    case lsCapitalRoman: return 4;
    case lsRoman: return 5;
    default: return 0;  // lsNone and unknown codes
    }
}

int NumberingPrefix(const TParagraph* par) {
    const TLine* l = par ? par->lines : nullptr;
    if (!l) return 0;
    int n = 0;
    while (n < l->Length() && n < static_cast<int>(l->attrs.size()) && n < kMaxNumberingChars &&
           (l->attrs[static_cast<std::size_t>(n)].style & kStyleNumbering))
        ++n;
    return n;
}

void TJDRTFText::RemoveFootnote(std::uint16_t id) {
    footnoteIndex_.erase(id);
    std::erase_if(footnotes_, [id](const auto& f) { return f->id == id; });
}

bool TJDRTFText::LookupName(const std::string& name, int& number, std::string& fullName) const {
    std::string key = plat::AnsiUpperCase(name.substr(0, 8));
    for (const auto& [n, full] : names_)
        if (plat::AnsiUpperCase(full.substr(0, 8)) == key) {
            number = n;
            fullName = full;
            return true;
        }
    return false;
}

bool TJDRTFText::LookupNumber(int number, std::string& fullName) const {
    for (const auto& [n, full] : names_)
        if (n == number) {
            fullName = full;
            return true;
        }
    return false;
}

int TJDRTFText::RegisterName(const std::string& name) {
    int n = 0;
    std::string full;
    if (LookupName(name, n, full)) return n;
    int highest = 0;
    for (const auto& e : names_) highest = std::max(highest, e.first);
    names_.emplace_back(highest + 1, name);
    return highest + 1;
}

void TJDRTFText::NotifyChange() { TJDEngineServices::Call(services.OnChange, services.sender); }

// --- numbering -----------------------------------------------------------------

std::string FormatNumber(int kind, int number) {
    switch (kind) {
    case 1:
        return std::string(1, '\xB7');
    case 2:
    case 3: {
        int n = number % 702;
        if (n <= 0) return std::string();
        std::string s;
        // Exact multiples of 26 above 26 stay in the previous letter's run ("az", not "b@").
        if (n > 26) {
            int hi = (n - 1) / 26, lo = (n - 1) % 26 + 1;
            s += static_cast<char>('a' + hi - 1);
            s += static_cast<char>('a' + lo - 1);
        } else {
            s += static_cast<char>('a' + n - 1);
        }
        s += ')';
        if (kind == 2) s = plat::AnsiUpperCase(s);
        return s;
    }
    case 4:
    case 5: {
        static const char* const kUnits[] = {"", "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix"};
        int n = number % 100;
        if (n < 0) n = -n;
        std::string s;
        if (n >= 50) {
            s = "l";
            n -= 50;
        }
        while (n >= 10) {
            s += "x";
            n -= 10;
        }
        s += kUnits[n];
        if (kind == 4) s = plat::AnsiUpperCase(s);
        return s;
    }
    case 6:
        return std::to_string(number % 100000) + ".";
    default:
        return std::string();
    }
}

// --- progress --------------------------------------------------------------------

namespace {
std::vector<TProgressRecord>& ProgressStack() {
    static std::vector<TProgressRecord> stack;
    return stack;
}
std::function<void()>& ProgressCallback() {
    static std::function<void()> cb;
    return cb;
}
bool g_progressQuiet = false;
}  // namespace

void ProgressStart(std::uint32_t intervalMs) {
    if (g_progressQuiet) return;
    TProgressRecord r;
    r.interval = intervalMs;
    r.lastUpdate = plat::GetTickCount();
    ProgressStack().push_back(r);
}

void ProgressUpdate(std::int64_t done, std::int64_t total) {
    if (g_progressQuiet || ProgressStack().empty()) return;
    TProgressRecord& r = ProgressStack().back();
    std::uint32_t now = plat::GetTickCount();
    if (now - r.lastUpdate < r.interval) return;
    r.lastUpdate = now;
    std::int32_t pct = total > 0 ? static_cast<std::int32_t>(std::clamp<std::int64_t>(done * r.range / total, 0, r.range)) : 0;
    if (pct != r.percent) {
        r.percent = pct;
        if (ProgressCallback()) ProgressCallback()();
    }
}

void ProgressEnd() {
    if (g_progressQuiet || ProgressStack().empty()) return;
    ProgressStack().pop_back();
    if (ProgressCallback()) ProgressCallback()();
}

const TProgressRecord* CurrentProgress() {
    return ProgressStack().empty() ? nullptr : &ProgressStack().back();
}

void SetProgressCallback(std::function<void()> callback) { ProgressCallback() = std::move(callback); }
void SetProgressQuiet(bool quiet) { g_progressQuiet = quiet; }

}  // namespace richtext
