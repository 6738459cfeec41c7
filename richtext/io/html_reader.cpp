#include "richtext/io/html_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/core/codepage.h"
#include "platform/imaging/graphic.h"

namespace richtext {

const std::uint8_t kHtmlSizePoints[7] = {8, 10, 12, 14, 18, 24, 36};

int HtmlSizeOfPoints(int points) {
    for (int n = 1; n < 7; ++n)
        if (kHtmlSizePoints[n] > points) return n;
    return 7;
}

enum TagKind : std::uint8_t { kDocument, kBlock, kLineBreak, kImage, kAnchor, kAlign, kCharacter, kTable, kList };

struct TJDHTMLReader::TagEntry {
    char name[10];
    std::uint8_t kind, sub, level;
};

namespace {

using Entry = TJDHTMLReader::TagEntry;

// The tag table: name, kind, sub-kind, level.
const Entry kTags[] = {
    {"body", kDocument, 0, 0},   {"title", kDocument, 1, 0},  {"p", kBlock, 0, 0},
    {"li", kBlock, 1, 0},        {"td", kBlock, 2, 1},        {"th", kBlock, 2, 2},
    {"h1", kBlock, 3, 1},        {"h2", kBlock, 3, 2},        {"h3", kBlock, 3, 3},
    {"h4", kBlock, 3, 4},        {"h5", kBlock, 3, 5},        {"h6", kBlock, 3, 6},
    {"h7", kBlock, 3, 7},        {"h8", kBlock, 3, 8},        {"br", kLineBreak, 0, 0},
    {"img", kImage, 0, 0},       {"a", kAnchor, 0, 0},        {"left", kAlign, 0, 0},
    {"center", kAlign, 1, 0},    {"right", kAlign, 2, 0},     {"justified", kAlign, 3, 0},
    {"b", kCharacter, 1, 0},     {"strong", kCharacter, 1, 0}, {"u", kCharacter, 2, 0},
    {"i", kCharacter, 3, 0},     {"sub", kCharacter, 4, 0},   {"sup", kCharacter, 5, 0},
    {"pre", kCharacter, 6, 0},   {"font", kCharacter, 7, 0},  {"small", kCharacter, 8, 0},
    {"table", kTable, 0, 0},     {"tr", kTable, 1, 0},        {"ul", kList, 1, 0},
    {"ol", kList, 2, 0},
};
static_assert(sizeof(kTags) / sizeof(kTags[0]) == 34);

const Entry* FindTag(const std::string& name) {
    for (const Entry& e : kTags)
        if (name == e.name) return &e;
    return nullptr;
}

// Heading rows h1-h6: size, style, alignment, before, after, first/left indent.
struct Heading {
    std::uint8_t size;
    std::uint16_t style;
    std::uint8_t alignment;
    std::int32_t before, after, indent;
};
const Heading kHeadings[6] = {
    {22, 0, 2, 200, 250, 0},           {15, kStyleBold, 0, 200, 250, 0},
    {15, kStyleItalic, 0, 200, 200, 288}, {12, kStyleBold, 0, 100, 100, 576},
    {12, kStyleItalic, 0, 100, 0, 576}, {12, kStyleBold, 0, 100, 0, 864},
};

constexpr std::int32_t kParIndent = 144;
constexpr std::int32_t kParSpaceAfter = 50;
constexpr std::int32_t kListStep = 360;
constexpr std::size_t kMaxNameStored = 16;
constexpr std::size_t kMaxValueStored = 1024;
constexpr std::size_t kMaxAttributes = 64;
constexpr std::size_t kMaxTitle = 255;
constexpr std::size_t kMaxLists = 32;
constexpr std::int32_t kPixelTwips = 15;  // at 96 pixels per inch

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == 8 || c == '\r' || c == '\n' || c == '\f'; }

// Decimal digits after leading blanks; `dflt` when there are none.
std::int32_t Number(const std::string& v, std::int32_t dflt) {
    std::size_t i = 0;
    while (i < v.size() && v[i] == ' ') ++i;
    std::int64_t n = 0;
    bool any = false;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        any = true;
        n = std::min<std::int64_t>(n * 10 + (v[i] - '0'), 1000000);
    }
    return any ? static_cast<std::int32_t>(n) : dflt;
}

bool SameText(const std::string& a, const char* b) { return plat::CompareAnsi(a, b, true) == 0; }

}  // namespace

// --- main loop -------------------------------------------------------------------

int TJDHTMLReader::ReadAll() {
    saved_.clear();
    lists_.clear();
    row_.clear();
    pre_ = inCell_ = inAnchor_ = lastWasCr_ = false;
    atParStart_ = true;
    pendingBlanks_ = 0;
    tableDepth_ = 0;
    lastCellPar_ = nullptr;
    tooManyObjects_ = false;
    if (attr_.size == 0) attr_.size = 10;
    SetParagraphDefaults();
    std::uint32_t count = 0;
    for (int c = GetChar(); c >= 0; c = GetChar()) {
        if ((++count & 0x3FFF) == 0) UpdateProgress();
        if (c == '<') Tag();
        else if (c == '&') Entity();
        else Text(c);
    }
    if (inAnchor_) EndTag(*FindTag("a"));
    if (tableDepth_ > 0) {
        tableDepth_ = 1;
        EndTable();
    }
    if (!saved_.empty()) {
        attr_ = saved_.front().attr;
        pre_ = saved_.front().pre;
        saved_.clear();
    }
    // A closing block tag leaves an empty paragraph for text that never came.
    if (par_ != firstPar_ && par_ != lastCellPar_ && ParagraphEmpty()) {
        TParagraph* prev = par_->prev;
        model_->DeleteParagraph(par_);
        par_ = prev;
        line_ = TJDRTFText::LastLine(par_);
    }
    return tooManyObjects_ ? kReadTooManyObjects : 0;
}

void TJDHTMLReader::Text(int c) {
    bool lf = c == '\n';
    bool afterCr = lastWasCr_;
    lastWasCr_ = c == '\r';
    // A line feed after a carriage return belongs to it; a lone one (files
    // with LF line ends) counts as the line end, so words on adjacent lines
    // stay apart.
    if (lf) {
        if (afterCr) return;
        c = '\r';
    }
    if (c == ' ' || c == '\t' || c == 8 || c == '\r') {
        if (pre_) {
            if (c != '\r') {
                Emit(' ');
            } else if (inCell_) {
                InsertCharacter(1010);
            } else {
                NewParagraph(true);
                par_->flags |= kParPreformatted;
            }
        } else if (!atParStart_) {
            ++pendingBlanks_;
        }
        return;
    }
    if (c < 0x20) return;  // other control bytes carry no text
    if (c == '\\') {
        // The writer puts a backslash before braces and backslashes.
        int d = GetChar();
        if (d == '{' || d == '}' || d == '\\') c = d;
        else if (d >= 0) UngetChar();
    }
    Emit(c);
}

void TJDHTMLReader::Emit(int c) {
    if (pendingBlanks_ > 0 && !atParStart_) InsertCharacter(' ');
    pendingBlanks_ = 0;
    InsertCharacter(c);
    atParStart_ = false;
}

void TJDHTMLReader::Entity() {
    std::string name;
    int c = GetChar();
    for (; c >= 0; c = GetChar()) {
        if (c == ';') break;
        if (c < 0x21 || c == '&' || c == '<') {
            UngetChar();
            break;
        }
        name.push_back(static_cast<char>(c));
        if (name.size() == 20) break;
    }
    lastWasCr_ = false;
    if (name.empty()) {  // a lone ampersand is text
        Emit('&');
        return;
    }
    if (SameText(name, "lt")) return Emit('<');
    if (SameText(name, "gt")) return Emit('>');
    if (SameText(name, "amp")) return Emit('&');
    if (SameText(name, "quot")) return Emit('"');
    if (SameText(name, "nbsp")) return Emit(' ');
    if (name[0] == '#') {
        std::int32_t n = Number(name.substr(1), 0);
        if (n <= 0) return;
        if (n > 255) n = plat::UnicodeToAnsiChar(static_cast<char32_t>(n));
        if (n <= 0 || n > 255) n = '?';
        if (n == '\t') return Emit('\t');  // the writer's form of a tab
        if (n < 0x20) return;
        Emit(n);
    }
}

// --- tags --------------------------------------------------------------------------

void TJDHTMLReader::Tag() {
    lastWasCr_ = false;
    int c = GetChar();
    if (c < 0) return Emit('<');
    if (!(plat::IsCharAlpha(static_cast<unsigned char>(c)) || c == '/' || c == '!')) {
        // "a < b": the bracket is text
        UngetChar();
        return Emit('<');
    }
    std::string name;
    bool closed = false;
    for (; c >= 0; c = GetChar()) {
        if (c == '>') {
            closed = true;
            break;
        }
        if (IsBlank(c)) break;
        if (name.size() < kMaxNameStored) name.push_back(static_cast<char>(plat::CharLower(static_cast<unsigned char>(c))));
        if (name == "!--") return storeComment == TStoreHTMLComment::shcOFF ? SkipComment() : StoreComment();
    }
    std::vector<Attribute> attrs;
    if (!closed) ReadAttributes(attrs);
    while (name.size() > 1 && name.back() == '/') name.pop_back();  // "<br/>"
    bool end = !name.empty() && name[0] == '/';
    const TagEntry* e = FindTag(end ? name.substr(1) : name);
    if (!e) return;  // unknown tags are skipped with their attributes
    if (end) EndTag(*e);
    else StartTag(*e, attrs);
}

void TJDHTMLReader::SkipComment() {
    int dashes = 0;
    for (int c = GetChar(); c >= 0; c = GetChar()) {
        if (c == '>' && dashes >= 2) return;
        dashes = c == '-' ? dashes + 1 : 0;
    }
}

void TJDHTMLReader::StoreComment() {
    std::string text;
    int dashes = 0;
    for (int c = GetChar(); c >= 0; c = GetChar()) {
        if (c == '>' && dashes >= 2) {
            text.resize(text.size() >= 2 ? text.size() - 2 : 0);
            break;
        }
        dashes = c == '-' ? dashes + 1 : 0;
        if (text.size() < kMaxCommentText + 2) text.push_back(static_cast<char>(c));
    }
    if (text.size() > kMaxCommentText) text.resize(kMaxCommentText);
    if (!model_->RichText() || text.empty()) return;
    TJDFootnote* fn = nullptr;
    try {
        fn = model_->AddFootnote('*', 0);
    } catch (const ERichTextError&) {
        return;  // every footnote number is taken: the comment is dropped
    }
    fn->text = std::move(text);
    if (pendingBlanks_ > 0 && !atParStart_) InsertCharacter(' ');
    pendingBlanks_ = 0;
    InsertCharacter('*');
    atParStart_ = false;
    if (line_->attrs.empty()) return;
    TJDCharAttr& a = line_->attrs.back();
    a.tag = fn->id;
    a.style = static_cast<std::uint16_t>(a.style | kStyleFootnote);
    if (storeComment == TStoreHTMLComment::shcHiddenFootnote) a.style |= kStyleHidden;
}

// Character references inside an attribute value ("&amp;", "&lt;", "&#38;" ...).
std::string TJDHTMLReader::DecodeEntities(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        std::size_t semi = v[i] == '&' ? v.find(';', i + 1) : std::string::npos;
        if (semi == std::string::npos || semi - i > 20) {
            out.push_back(v[i]);
            continue;
        }
        std::string name = v.substr(i + 1, semi - i - 1);
        int ch = -1;
        if (SameText(name, "amp")) ch = '&';
        else if (SameText(name, "lt")) ch = '<';
        else if (SameText(name, "gt")) ch = '>';
        else if (SameText(name, "quot")) ch = '"';
        else if (SameText(name, "apos")) ch = '\'';
        else if (name.size() > 1 && name[0] == '#') {
            std::int32_t n = Number(name.substr(1), 0);
            if (n > 255) n = plat::UnicodeToAnsiChar(static_cast<char32_t>(n));
            if (n >= 0x20 && n <= 255) ch = n;
        }
        if (ch < 0) {
            out.push_back(v[i]);
            continue;
        }
        out.push_back(static_cast<char>(ch));
        i = semi;
    }
    return out;
}

void TJDHTMLReader::ReadAttributes(std::vector<Attribute>& attrs) {
    int c = GetChar();
    while (c >= 0 && c != '>') {
        if (IsBlank(c) || c == '/') {
            c = GetChar();
            continue;
        }
        Attribute a;
        for (; c >= 0 && c != '=' && c != '>' && !IsBlank(c); c = GetChar())
            if (a.name.size() < kMaxNameStored) a.name.push_back(static_cast<char>(c));
        while (c >= 0 && IsBlank(c)) c = GetChar();
        if (c == '=') {
            c = GetChar();
            while (c >= 0 && IsBlank(c)) c = GetChar();
            if (c == '"' || c == '\'') {
                int quote = c;
                for (c = GetChar(); c >= 0 && c != quote; c = GetChar())
                    if (a.value.size() < kMaxValueStored) a.value.push_back(static_cast<char>(c));
                if (c >= 0) c = GetChar();
            } else {
                for (; c >= 0 && c != '>' && !IsBlank(c); c = GetChar())
                    if (a.value.size() < kMaxValueStored) a.value.push_back(static_cast<char>(c));
            }
        }
        a.value = DecodeEntities(a.value);
        if (attrs.size() < kMaxAttributes) attrs.push_back(std::move(a));
    }
}

void TJDHTMLReader::StartTag(const TagEntry& e, const std::vector<Attribute>& attrs) {
    auto value = [&](const char* n) -> const std::string* {
        for (const Attribute& a : attrs)
            if (SameText(a.name, n)) return &a.value;
        return nullptr;
    };
    auto alignment = [&]() {
        const std::string* v = value("align");
        if (!v) return;
        if (SameText(*v, "center")) par_->alignment = 2;
        else if (SameText(*v, "right")) par_->alignment = 1;
        else if (SameText(*v, "justified") || SameText(*v, "justify")) par_->alignment = 3;
        else if (SameText(*v, "left")) par_->alignment = 0;
    };
    switch (e.kind) {
    case kDocument:
        if (e.sub == 1) {
            ReadTitle();
        } else if (const std::string* bg = value("background")) {
            backgroundPicture = *bg;
        }
        break;
    case kBlock:
        if (e.sub == 0) {  // p
            NewParagraph();
            alignment();
        } else if (e.sub == 1) {  // li
            NewParagraph();
            if (lists_.empty()) lists_.push_back({1, 0, 0});
            SetParagraphDefaults();
            List& l = lists_.back();
            ++l.number;
            int style = lsBullet;
            if (l.kind == 2) {
                switch (l.type) {
                case 'A': style = lsCapitalLetters; break;
                case 'a': style = lsLetters; break;
                case 'I': style = lsCapitalRoman; break;
                case 'i': style = lsRoman; break;
                default: style = lsNumbers; break;
                }
            }
            // The item becomes a numbered paragraph whose mark is generated
            // text, exactly as numbering made in the editor looks.
            int level = std::min<int>(static_cast<int>(lists_.size()) - 1, 15);
            par_->numbering = static_cast<std::uint8_t>(style * 16 + level);
            TJDCharAttr keep = attr_;
            attr_.style = static_cast<std::uint16_t>(
                (attr_.style & (kStyleBold | kStyleItalic | kStyleUnderline | kStyleStrikeOut)) | kStyleNumbering);
            attr_.tag = 0;
            int kind = NumberingKind(style);
            if (kind == 1) attr_.font = static_cast<std::uint8_t>(std::max(0, model_->AddFontName("Symbol")));
            std::string mark = FormatNumber(kind, l.number);
            for (char ch : mark) Emit(static_cast<unsigned char>(ch));
            Emit('\t');
            attr_ = keep;
            atParStart_ = true;  // blanks after the mark are not doubled
        } else if (e.sub == 2) {  // td, th
            if (tableDepth_ == 1) StartCell(attrs);
            else if (tableDepth_ == 0) NewParagraph();
            else ++pendingBlanks_;  // cells of nested tables run on as text
        } else {  // headings
            NewParagraph();
            Push(e);
            if (e.level >= 1 && e.level <= 6) {
                const Heading& h = kHeadings[e.level - 1];
                attr_.size = h.size;
                attr_.style = static_cast<std::uint16_t>((attr_.style & ~(kStyleBold | kStyleItalic)) | h.style);
                par_->alignment = h.alignment;
                par_->spaceBefore = h.before;
                par_->spaceAfter = h.after;
                par_->firstIndent = par_->leftIndent = h.indent;
            }
            alignment();
        }
        break;
    case kLineBreak:
        InsertCharacter(1010);
        pendingBlanks_ = 0;
        atParStart_ = true;  // blanks after a line break are dropped as at a paragraph start
        break;
    case kImage:
        Image(attrs);
        break;
    case kAnchor:
        if (const std::string* href = value("href")) {
            if (inAnchor_) EndTag(e);
            if (pendingBlanks_ > 0 && !atParStart_) InsertCharacter(' ');  // the blank is no link text
            pendingBlanks_ = 0;
            inAnchor_ = true;
            href_ = href->substr(0, 255);
            attr_.style |= kStyleInsertPoint;
        }
        break;
    case kAlign:
        par_->alignment = e.sub == 1 ? 2 : e.sub == 2 ? 1 : e.sub;
        break;
    case kCharacter:
        if (e.sub == 6) {  // pre: a block of its own
            NewParagraph();
            Push(e);
            pre_ = true;
            attr_.font = static_cast<std::uint8_t>(std::min(model_->AddFontName("Courier New"), kMaxFonts - 1));
            attr_.size = 10;
            par_->flags |= kParPreformatted;
            break;
        }
        Push(e);
        switch (e.sub) {
        case 1: attr_.style |= kStyleBold; break;
        case 2: attr_.style |= kStyleUnderline; break;
        case 3: attr_.style |= kStyleItalic; break;
        case 4: attr_.style = static_cast<std::uint16_t>((attr_.style & ~kStyleSuper) | kStyleSub); break;
        case 5: attr_.style = static_cast<std::uint16_t>((attr_.style & ~kStyleSub) | kStyleSuper); break;
        case 7: FontTag(attrs); break;
        case 8: {
            int n = std::max(HtmlSizeOfPoints(attr_.size ? attr_.size : 10) - 1, 1);
            attr_.size = kHtmlSizePoints[n - 1];
            break;
        }
        default: break;
        }
        break;
    case kTable:
        if (e.sub == 0) {
            if (tableDepth_++ == 0) {
                NewParagraph();
                const std::string* b = value("border");
                tableBorder_ = b && Number(*b, 1) != 0;
                row_.clear();
            }
        } else if (tableDepth_ == 1) {
            EndRow();
        }
        break;
    case kList:
        NewParagraph();
        if (lists_.size() < kMaxLists) {
            char type = 0;
            if (const std::string* t = value("type"); t && !t->empty()) type = (*t)[0];
            lists_.push_back({e.sub, 0, type});
        }
        SetParagraphDefaults();
        break;
    default:
        break;
    }
}

void TJDHTMLReader::EndTag(const TagEntry& e) {
    switch (e.kind) {
    case kBlock:
        if (e.sub == 3) {
            Pop(e);
            NewParagraph();
        } else if (e.sub != 2) {
            NewParagraph();
        }
        break;
    case kAnchor:
        if (inAnchor_) {
            inAnchor_ = false;
            attr_.style &= static_cast<std::uint16_t>(~kStyleInsertPoint);
            // The target follows the anchor text as automatic text.
            // Hidden, as the target of a jump: it is not shown glued to the text.
            TJDCharAttr keep = attr_;
            attr_.style |= kStyleAutomatic | kStyleHidden;
            for (char ch : href_)
                if (static_cast<unsigned char>(ch) >= 0x20) InsertCharacter(static_cast<unsigned char>(ch));
            attr_ = keep;
            href_.clear();
        }
        break;
    case kAlign:
        NewParagraph();
        break;
    case kCharacter:
        Pop(e);
        if (e.sub == 6) NewParagraph();
        break;
    case kTable:
        if (e.sub == 0) {
            if (tableDepth_ == 1) EndTable();
            else if (tableDepth_ > 1) --tableDepth_;
        } else if (tableDepth_ == 1) {
            EndRow();
        }
        break;
    case kList:
        if (!lists_.empty()) lists_.pop_back();
        NewParagraph();
        break;
    default:
        break;
    }
}

void TJDHTMLReader::ReadTitle() {
    std::string title;
    bool blank = false;
    for (int c = GetChar(); c >= 0; c = GetChar()) {
        if (c == '<') {
            std::string name;
            for (c = GetChar(); c >= 0 && c != '>' && !IsBlank(c); c = GetChar())
                if (name.size() < kMaxNameStored) name.push_back(static_cast<char>(plat::CharLower(static_cast<unsigned char>(c))));
            while (c >= 0 && c != '>') c = GetChar();
            if (name == "/title") break;
            continue;
        }
        if (IsBlank(c) || c < 0x20) {
            blank = !title.empty();
            continue;
        }
        if (title.size() >= kMaxTitle) continue;
        if (blank) title.push_back(' ');
        blank = false;
        title.push_back(static_cast<char>(c));
    }
    model_->Header().title = title;
}

// --- paragraphs --------------------------------------------------------------------

bool TJDHTMLReader::ParagraphEmpty() const {
    for (TLine* l = par_->lines; l; l = l->next)
        if (l->Length() > 0) return false;
    return true;
}

void TJDHTMLReader::SetParagraphDefaults() {
    std::int32_t indent = kParIndent;
    if (!lists_.empty()) indent = kParIndent + kListStep * static_cast<std::int32_t>(lists_.size());
    par_->firstIndent = lists_.empty() ? indent : indent - kListStep;
    par_->leftIndent = indent;
    par_->rightIndent = 0;
    par_->alignment = 0;
    par_->spaceBefore = 0;
    par_->spaceAfter = kParSpaceAfter;
    par_->numbering = 0;  // a list item numbers its paragraph itself
    if (pre_) par_->flags |= kParPreformatted;
    else par_->flags &= static_cast<std::uint8_t>(~kParPreformatted);
}

void TJDHTMLReader::NewParagraph(bool force) {
    // An empty paragraph is reused, so that "</p><p>" does not leave an empty one
    // between; a cell's paragraph is never reused outside its cell.
    if (force || !ParagraphEmpty() || par_ == lastCellPar_) EndParagraph();
    SetParagraphDefaults();
    pendingBlanks_ = 0;
    atParStart_ = true;
}

void TJDHTMLReader::Push(const TagEntry& e) {
    if (saved_.size() < kMaxSavedAttrs) saved_.push_back({&e, attr_, pre_});
}

void TJDHTMLReader::Pop(const TagEntry& e) {
    for (std::size_t i = saved_.size(); i-- > 0;) {
        if (saved_[i].tag != &e) continue;
        attr_ = saved_[i].attr;
        pre_ = saved_[i].pre;
        saved_.resize(i);
        if (inAnchor_) attr_.style |= kStyleInsertPoint;
        else attr_.style &= static_cast<std::uint16_t>(~kStyleInsertPoint);
        return;
    }
}

// --- tables ------------------------------------------------------------------------

void TJDHTMLReader::StartCell(const std::vector<Attribute>& attrs) {
    if (static_cast<int>(row_.size()) >= kMaxRowCells) {
        ++pendingBlanks_;  // cells beyond the limit run on in the last one
        return;
    }
    NewParagraph(inCell_);
    par_->spaceBefore = 57;
    par_->firstIndent = par_->leftIndent = 100;
    if (tableBorder_) par_->border = 0x0043u | (1u << 28);
    int span = 1;
    for (const Attribute& a : attrs) {
        if (SameText(a.name, "colspan")) span = std::clamp(Number(a.value, 1), 1, kMaxRowCells);
        if (SameText(a.name, "align")) {
            if (SameText(a.value, "center")) par_->alignment = 2;
            else if (SameText(a.value, "right")) par_->alignment = 1;
            else if (SameText(a.value, "justified") || SameText(a.value, "justify")) par_->alignment = 3;
        }
    }
    row_.push_back({par_, span});
    lastCellPar_ = par_;
    inCell_ = true;
}

void TJDHTMLReader::EndRow() {
    inCell_ = false;
    if (row_.empty()) return;
    int spans = 0;
    for (const Cell& c : row_) spans += c.span;
    int n = static_cast<int>(row_.size());
    int start = 0;
    for (int i = 0; i < n; ++i) {
        TParagraph* p = row_[i].par;
        int w = std::max(255 * row_[i].span / spans, 1);
        p->cellStart = static_cast<std::uint8_t>(std::min(start, 255));
        p->cellWidth = static_cast<std::uint8_t>(std::min(w, 255));
        start = std::min(start + w, 255);
        if (n >= 2) {
            p->flags |= kParTableCell;
            if (i > 0) p->flags |= kParNotFirstCell;
            if (i < n - 1) p->flags |= kParCellFollows;
        }
    }
    row_.clear();
}

void TJDHTMLReader::EndTable() {
    EndRow();
    tableDepth_ = 0;
    if (par_ == lastCellPar_) NewParagraph(true);
}

// --- images and fonts -----------------------------------------------------------------

void TJDHTMLReader::Image(const std::vector<Attribute>& attrs) {
    std::string src;
    std::int32_t w = 0, h = 0;
    for (const Attribute& a : attrs) {
        if (SameText(a.name, "src")) src = a.value;
        else if (SameText(a.name, "width")) w = Number(a.value, 0);
        else if (SameText(a.name, "height")) h = Number(a.value, 0);
    }
    if (pendingBlanks_ > 0 && !atParStart_) InsertCharacter(' ');
    pendingBlanks_ = 0;
    TJDObjectRecord* rec = nullptr;
    try {
        rec = model_->AddObject(nullptr, 0);
    } catch (const ERichTextError&) {
        tooManyObjects_ = true;  // the picture is left out and the read reports it
        return;
    }
    rec->fileName = src;
    rec->linked = true;
    rec->width = w * kPixelTwips;
    rec->height = h * kPixelTwips;
    if (!rec->object && !src.empty()) SupplyGraphic(*rec, src);
    if (line_->Length() >= kMaxLineLength) line_ = model_->NewLineAfter(par_, line_);
    model_->AppendObjectChar(line_, attr_, *rec);
    atParStart_ = false;
}

void TJDHTMLReader::SupplyGraphic(TJDObjectRecord& rec, const std::string& source) {
    const TJDEngineServices& s = model_->services;
    if (s.OnHTMLBitmapRequest) {
        s.OnHTMLBitmapRequest(s.sender, source, rec.object);
        return;
    }
    std::string local = source;
    std::replace(local.begin(), local.end(), '\\', '/');
    std::unique_ptr<plat::TGraphic> g = plat::LoadGraphicFile(local);
    if (!g && !pictureBaseDir.empty()) g = plat::LoadGraphicFile(pictureBaseDir / local);
    if (g) rec.object = std::move(g);
    else missingPictures.push_back(source);
}

void TJDHTMLReader::FontTag(const std::vector<Attribute>& attrs) {
    for (const Attribute& a : attrs) {
        if (SameText(a.name, "face")) {
            std::string face = a.value.substr(0, a.value.find(','));
            while (!face.empty() && face.back() == ' ') face.pop_back();
            while (!face.empty() && face.front() == ' ') face.erase(0, 1);
            if (face.empty()) continue;
            if (SameText(face, "courier")) face = "Courier New";
            int f = model_->AddFontName(face);
            if (f < kMaxFonts) attr_.font = static_cast<std::uint8_t>(f);
        } else if (SameText(a.name, "color")) {
            attr_.SetTextColor(ColorIndex(a.value));
        } else if (SameText(a.name, "bgcolor")) {
            attr_.SetBackColor(ColorIndex(a.value));
        } else if (SameText(a.name, "size")) {
            std::string v = a.value;
            std::size_t i = v.find_first_not_of(' ');
            if (i == std::string::npos) continue;
            int n;
            if (v[i] == '+' || v[i] == '-') {
                int base = HtmlSizeOfPoints(baseSize);
                int d = Number(v.substr(i + 1), 0);
                n = v[i] == '+' ? base + std::min(d, 7) : base - std::min(d, 7);
            } else {
                n = Number(v, 0);
                if (n == 0) continue;
            }
            attr_.size = kHtmlSizePoints[std::clamp(n, 1, 7) - 1];
        }
    }
}

std::uint8_t TJDHTMLReader::ColorIndex(const std::string& value) {
    static const struct {
        const char* name;
        TRgbEntry rgb;
    } kNames[] = {
        {"red", {255, 0, 0, 0}},      {"green", {0, 128, 0, 0}},     {"blue", {0, 0, 255, 0}},
        {"yellow", {255, 255, 0, 0}}, {"white", {255, 255, 255, 0}}, {"black", {0, 0, 0, 0}},
        {"gray", {128, 128, 128, 0}},
    };
    TRgbEntry rgb{};
    bool known = false;
    for (const auto& n : kNames)
        if (SameText(value, n.name)) {
            rgb = n.rgb;
            known = true;
        }
    if (!known) {
        std::string hex = value;
        if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
        if (hex.size() < 6) return attr_.TextColor();
        std::uint32_t v = 0;
        for (int i = 0; i < 6; ++i) {
            int d = plat::CharLower(static_cast<unsigned char>(hex[i]));
            if (d >= '0' && d <= '9') d -= '0';
            else if (d >= 'a' && d <= 'f') d = d - 'a' + 10;
            else return attr_.TextColor();
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        rgb = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v), 0};
    }
    auto& colors = model_->Header().colors;
    for (int i = 0; i < kColorCount; ++i)
        if (colors[i] == rgb) return static_cast<std::uint8_t>(i);
    // The table holds 16 colours: the last slot takes a new one while it is
    // still the default's duplicate black, otherwise the nearest colour serves.
    if (colors[kColorCount - 1] == TRgbEntry{} ) {
        colors[kColorCount - 1] = rgb;
        return kColorCount - 1;
    }
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < kColorCount; ++i) {
        long dr = colors[i].red - rgb.red, dg = colors[i].green - rgb.green, db = colors[i].blue - rgb.blue;
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace richtext
