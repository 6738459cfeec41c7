// The RTF reader: a table-driven tokenizer with a stack of groups,
// destination states and numbered property handlers.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/imaging/graphic.h"
#include "richtext/io/text_reader.h"

namespace richtext {

namespace {

enum Kind : std::uint8_t { kChar = 1, kDest = 2, kProp = 3, kSpecial = 4 };

}  // namespace

struct TJDRtfReader::Entry {
    const char* word;
    std::int32_t def;
    bool always;
    std::uint8_t kind;
    std::int16_t handler;
};

namespace {

using E = TJDRtfReader;

// The control words the dialect knows. Unknown words are ignored (or open a
// skipped destination after \*).
const E::Entry kTable[] = {
    {"plain", 0, false, kProp, 23}, {"par", 0, false, kProp, 25}, {"line", 0, false, kChar, 1010},
    {"f", 0, false, kProp, 26}, {"fs", 100, false, kProp, 27}, {"b", 1, false, kProp, 1},
    {"v", 1, false, kProp, 52}, {"ul", 1, false, kProp, 3}, {"uldb", 1, false, kProp, 30},
    {"shad", 1, false, kProp, 31}, {"super", 1, false, kProp, 54}, {"sub", 1, false, kProp, 55},
    {"nosupersub", 1, false, kProp, 53}, {"strike", 1, false, kProp, 44}, {"inspnt", 0, false, kProp, 50},
    {"inaut", 1, false, kProp, 51}, {"jdrtf", 1, false, kProp, 69}, {"cf", 0, false, kProp, 28},
    {"cb", 0, false, kProp, 29}, {"i", 1, false, kProp, 2}, {"li", 0, false, kProp, 4},
    {"ri", 0, false, kProp, 5}, {"fi", 0, false, kProp, 6}, {"sb", 0, false, kProp, 41},
    {"sa", 0, false, kProp, 43}, {"sl", 0, false, kProp, 42}, {"cols", 1, false, kProp, 7},
    {"sbknone", 0, true, kProp, 17}, {"sbkcol", 1, true, kProp, 17}, {"sbkeven", 2, true, kProp, 17},
    {"sbkodd", 3, true, kProp, 17}, {"sbkpage", 4, true, kProp, 17}, {"pgnx", 0, false, kProp, 8},
    {"pgny", 0, false, kProp, 9}, {"pgndec", 1, true, kProp, 18}, {"pgnucrm", 2, true, kProp, 18},
    {"pgnlcrm", 3, true, kProp, 18}, {"pgnucltr", 4, true, kProp, 18}, {"pgnlcltr", 5, true, kProp, 18},
    {"qc", 2, true, kProp, 21}, {"ql", 0, true, kProp, 21}, {"qr", 1, true, kProp, 21},
    {"qj", 3, true, kProp, 21}, {"paperw", 12240, false, kProp, 10}, {"paperh", 15480, false, kProp, 11},
    {"margl", 1800, false, kProp, 12}, {"margr", 1800, false, kProp, 13}, {"margt", 1440, false, kProp, 14},
    {"margb", 1440, false, kProp, 15}, {"page", 0, false, kProp, 33}, {"pgnstart", 1, true, kProp, 16},
    {"facingp", 1, true, kProp, 19}, {"landscape", 1, true, kProp, 20}, {"\n", 0, false, kChar, 10},
    {"\r", 0, false, kChar, 10}, {"tab", 0, false, kChar, 9}, {"ldblquote", 0, false, kChar, 0x93},
    {"rdblquote", 0, false, kChar, 0x94}, {"bin", 0, false, kSpecial, 1}, {"*", 0, false, kSpecial, 3},
    {"'", 0, false, kSpecial, 2}, {"author", 0, false, kDest, 2}, {"buptim", 0, false, kDest, 2},
    {"creatim", 0, false, kDest, 2}, {"doccomm", 0, false, kDest, 2}, {"footer", 0, false, kDest, 2},
    {"footerf", 0, false, kDest, 2}, {"footerl", 0, false, kDest, 2}, {"footerr", 0, false, kDest, 2},
    {"ftncn", 0, false, kDest, 2}, {"ftnsep", 0, false, kDest, 2}, {"ftnsepc", 0, false, kDest, 2},
    {"header", 0, false, kDest, 2}, {"headerf", 0, false, kDest, 2}, {"headerl", 0, false, kDest, 2},
    {"headerr", 0, false, kDest, 2}, {"info", 0, false, kDest, 2}, {"keywords", 0, false, kDest, 2},
    {"operator", 0, false, kDest, 2}, {"printim", 0, false, kDest, 2}, {"private1", 0, false, kDest, 2},
    {"revtim", 0, false, kDest, 2}, {"rxe", 0, false, kDest, 2}, {"stylesheet", 0, false, kDest, 2},
    {"tc", 0, false, kDest, 2}, {"comment", 0, false, kDest, 7}, {"fonttbl", 0, false, kDest, 4},
    {"footnote", 0, false, kDest, 9}, {"field", 0, false, kDest, 10}, {"pict", 0, false, kDest, 3},
    {"picfile", 0, false, kDest, 11}, {"jdfnnr", 0, false, kProp, 70}, {"subject", 0, false, kDest, 8},
    {"jdpicref", 0, false, kDest, 14},
    {"title", 0, false, kDest, 6}, {"tx", 0, false, kProp, 32}, {"tqr", 1, false, kProp, 71},
    {"tqc", 2, false, kProp, 71}, {"tqdec", 3, false, kProp, 71}, {"colortbl", 0, false, kDest, 5},
    {"red", 0, false, kProp, 38}, {"green", 0, false, kProp, 39}, {"blue", 0, false, kProp, 40},
    {"trowd", 0, false, kProp, 45}, {"intbl", 0, false, kProp, 49}, {"cellx", 0, false, kProp, 46},
    {"row", 0, false, kProp, 47}, {"cell", 0, false, kProp, 48}, {"clbrdrt", 1, true, kProp, 34},
    {"clbrdrl", 2, true, kProp, 34}, {"clbrdrb", 3, true, kProp, 34}, {"clbrdrr", 4, true, kProp, 34},
    {"clmrg", 0, false, kProp, 76}, {"keepn", 1, true, kProp, 78}, {"keep", 1, true, kProp, 77},
    {"clcbpat", 0, false, kProp, 80}, {"cbpat", 0, false, kProp, 80}, {"clcfpat", 0, false, kProp, 81},
    {"cfpat", 0, false, kProp, 81}, {"shading", 0, false, kProp, 79}, {"box", 0, true, kProp, 34},
    {"brdrt", 1, true, kProp, 34}, {"brdrl", 2, true, kProp, 34}, {"brdrb", 3, true, kProp, 34},
    {"brdrr", 4, true, kProp, 34}, {"brdrdb", 5, true, kProp, 34}, {"brdrdot", 6, true, kProp, 34},
    {"brdrtablin", 9, true, kProp, 34}, {"brdrw", 0, false, kProp, 35}, {"brsp", 0, false, kProp, 36},
    {"trgaph", 0, false, kProp, 72}, {"trleft", 0, false, kProp, 73}, {"brdrcf", 0, false, kProp, 37},
    {"pard", 0, true, kProp, 22}, {"wbitmap", 0, false, kProp, 56}, {"dibitmap", 0, false, kProp, 57},
    {"wmetafile", 0, false, kProp, 58}, {"picw", 0, false, kProp, 59}, {"pich", 0, false, kProp, 60},
    {"picwgoal", 0, false, kProp, 61}, {"pichgoal", 0, false, kProp, 62}, {"picscalex", 100, false, kProp, 74},
    {"picscaley", 100, false, kProp, 75}, {"wbmbitspixel", 0, false, kProp, 63}, {"wbmplanes", 1, true, kProp, 64},
    {"wbmwidthbytes", 0, false, kProp, 65}, {"jdobjtag", 0, false, kProp, 66}, {"jdobjw", 0, false, kProp, 67},
    {"jdobjh", 0, false, kProp, 68}, {"{", 0, false, kChar, 123}, {"}", 0, false, kChar, 125},
    {"\\", 0, false, kChar, 92},
    // Typographic characters as their Windows-1252 bytes; the model keeps a
    // non-breaking space as 0xA0 and a soft hyphen as 0xAD.
    {"lquote", 0, false, kChar, 0x91}, {"rquote", 0, false, kChar, 0x92}, {"bullet", 0, false, kChar, 0x95},
    {"endash", 0, false, kChar, 0x96}, {"emdash", 0, false, kChar, 0x97}, {"~", 0, false, kChar, 0xA0},
    {"-", 0, false, kChar, 0xAD}, {"_", 0, false, kChar, '-'},
    {"u", 0, false, kProp, 82}, {"uc", 1, false, kProp, 83},
    // A word processor's picture inside \shppict is read; its twin for older
    // readers inside \nonshppict is skipped once the first was seen.
    {"shppict", 0, false, kDest, 12}, {"nonshppict", 0, false, kDest, 13},
    // A section end ends the paragraph, like \par outside a table.
    {"sect", 0, false, kProp, 84},
    // Index entries and bookmarks are not text (as hidden text they would read as jump targets).
    {"xe", 0, false, kDest, 2}, {"bkmkstart", 0, false, kDest, 2}, {"bkmkend", 0, false, kDest, 2},
    {"tcn", 0, false, kDest, 2},
};

const E::Entry* Lookup(std::string_view word) {
    static const std::unordered_map<std::string_view, const E::Entry*> index = [] {
        std::unordered_map<std::string_view, const E::Entry*> m;
        for (const auto& e : kTable) m.emplace(e.word, &e);  // the first entry of a word wins
        return m;
    }();
    auto it = index.find(word);
    return it == index.end() ? nullptr : it->second;
}

int HexValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;  // the converter writes upper case
    return -1;
}

// Rounds to the nearest, as the platform's MulDiv does.
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b, h = (c > 0 ? c : -c) / 2;
    std::int64_t q = ((p >= 0) == (c > 0)) ? (p + h) / c : (p - h) / c;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

std::uint8_t Nibble(std::int32_t n) { return static_cast<std::uint8_t>(std::clamp(n, 0, 15)); }
std::uint8_t ByteOf(std::int32_t n) { return static_cast<std::uint8_t>(std::clamp(n, 0, 255)); }

void PutU16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
void PutU32(std::string& b, std::size_t at, std::uint32_t v) {
    PutU16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
    PutU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
std::uint32_t GetU32(const std::string& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

std::string Trimmed(const std::string& s) {
    std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return std::string();
    std::size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

}  // namespace

// --- main loop -------------------------------------------------------------------

int TJDRtfReader::ReadAll() {
    ps_ = ParaState{};
    ps_.tabs = par_->tabs;  // a paragraph that exists already keeps its inherited tabs
    tabsInherited_ = true;
    attr_ = TJDCharAttr{};
    attr_.size = 10;
    stack_.clear();
    dest_ = special_ = 0;
    result_ = 0;
    done_ = false;
    fontMap_.fill(0);
    defaultFont_ = 0;
    inTable_ = defining_ = false;
    cellCount_ = curCell_ = runStart_ = 0;
    footnote_ = nullptr;
    rtfCode_ = false;
    emptyParOwnWords_ = false;
    uc_ = 1;
    ucSkip_ = 0;
    shppictSeen_ = false;
    picRef_.clear();
    pendingPicRef_.clear();
    bool seenBrace = false;
    std::uint32_t count = 0;

    while (!done_) {
        int c = GetChar();
        if (c <= 0) break;  // end of input or a NUL byte
        if ((++count & 0xFFFF) == 0) UpdateProgress();
        if (rtfCode_) {
            HandleRtfCodeByte(c);
            continue;
        }
        if (special_ == 3) {  // inside the quotes of a linked picture's name
            if (c == '"') {
                special_ = 0;
                continue;
            }
            if (c == '}' || picFile_.size() >= kMaxPictureName) {
                // No closing quote: the name ends here and the read reports it;
                // the group end (or what follows) is read as usual.
                special_ = 0;
                picFileBad_ = true;
                if (result_ == 0) result_ = kReadBadPictureName;
                if (c != '}') continue;
                UngetChar();
                continue;
            }
            if (c == '\\') {
                // The writer escapes backslashes and braces in the name.
                int d = GetChar();
                if (d == '\\' || d == '{' || d == '}') c = d;
                else if (d >= 0) UngetChar();
            }
            CharRoutine(c);
            continue;
        }
        if (ucSkip_ > 0 && SkipFallback(c)) continue;
        if (dest_ == 4 && HexValue(c) >= 0) {
            CharRoutine(c);
            continue;
        }
        if (dest_ == 3 && c == ';') {
            ++colorIndex_;
            if (colorIndex_ < kColorCount && !keepHeader) model_->Header().colors[colorIndex_] = TRgbEntry{};
            continue;
        }
        switch (c) {
        case '{':
            seenBrace = true;
            if (static_cast<int>(stack_.size()) >= kMaxGroupDepth) {
                result_ = kReadTooDeep;
                done_ = true;
                break;
            }
            stack_.push_back(SaveRecord{attr_, ps_, dest_, special_, tabsInherited_, inTable_, uc_});
            break;
        case '}': {
            if (stack_.empty()) {
                result_ = kReadUnbalancedBrace;
                done_ = true;
                break;
            }
            if (dest_ == 2 && !Trimmed(fontName_).empty()) FinishFontEntry();
            // An empty paragraph has no text to take its state at: it takes
            // the words given for it, then the state the group end restores
            // (but not the document's outermost state).
            bool emptyPar = dest_ == 0 && par_->lines->Length() == 0 && !par_->lines->next;
            if (emptyPar && parDirty_) {
                ApplyProps(par_);
                // Words given for it count over the state restored after
                // them: a last empty paragraph gets no later \par to say so.
                emptyParOwnWords_ = true;
            }
            std::uint8_t old = dest_;
            const SaveRecord& r = stack_.back();
            attr_ = r.attr;
            ps_ = r.para;
            dest_ = r.dest;
            special_ = r.special;
            tabsInherited_ = r.tabsInherited;
            inTable_ = r.inTable;
            uc_ = r.uc;
            stack_.pop_back();
            // The restored state holds for the text that follows; the words
            // given inside the group are undone.
            parDirty_ = false;
            restoredDirty_ = true;
            if (emptyPar && dest_ == 0 && stack_.size() >= 2 && !emptyParOwnWords_) ApplyProps(par_);
            if (old != dest_) {
                if (old == 4) EndPicture();
                else if (old == 5) EndLinkedPicture();
                else if (old == 9) footnote_ = nullptr;
                else if (old == 14) pendingPicRef_ = std::move(picRef_);
            }
            if (stack_.empty() && seenBrace) done_ = true;
            break;
        }
        case '\\':
            if (ControlWord() < 0) {
                result_ = kReadEndInControl;
                done_ = true;
            }
            break;
        case '\t':
        case '\n':
        case '\r':
            break;
        case '"':
            if (dest_ == 5) {
                if (!picFileQuoted_) {
                    special_ = 3;
                    picFileQuoted_ = true;
                    picFile_.clear();
                }
                break;
            }
            CharRoutine(c);
            break;
        default:
            CharRoutine(c);
            break;
        }
    }
    FinalConversion();
    return result_;
}

void TJDRtfReader::HandleRtfCodeByte(int c) {
    static constexpr std::string_view kClose = "\\jdrtf0";
    if (c == kClose[codeMatched_]) {
        if (++codeMatched_ == static_cast<int>(kClose.size())) {
            rtfCode_ = false;
            codeMatched_ = 0;
            attr_.style &= static_cast<std::uint16_t>(~kStyleRtfCode);
        }
        return;
    }
    // A mismatch: the held bytes were text after all.
    for (int i = 0; i < codeMatched_; ++i) InsertCharacter(static_cast<unsigned char>(kClose[i]));
    codeMatched_ = 0;
    if (c == kClose[0]) {
        codeMatched_ = 1;
        return;
    }
    InsertCharacter(c);
}

// Drops one character of the fallback text that follows a \u character;
// true when `c` was consumed. A fallback character is a byte or one token
// (a control word, \'hh, an escaped literal); a group brace ends the
// fallback.
bool TJDRtfReader::SkipFallback(int c) {
    if (c == '{' || c == '}') {
        ucSkip_ = 0;
        return false;
    }
    if (c == '\r' || c == '\n') return true;
    --ucSkip_;
    if (c == '\\') {
        UngetChar();
        LexToken();
    }
    return true;
}

RtfLexeme TJDRtfReader::LexToken() {
    struct Source {
        TJDRtfReader& reader;
        int Get() { return reader.GetChar(); }
        void Unget() { reader.UngetChar(); }
    } in{*this};
    const RtfLexeme t = LexRtf(in);
    // Binary data has no place in the text model: it is passed over whole,
    // so no byte of it is taken for a brace or a word.
    if (t.kind == RtfTokenKind::Binary)
        for (std::size_t i = 0; i < t.dataLength && GetChar() >= 0; ++i) {
        }
    return t;
}

// Reads the token that starts with the backslash just read; -1 when the
// input ends at once.
int TJDRtfReader::ControlWord() {
    UngetChar();
    const RtfLexeme t = LexToken();
    switch (t.kind) {
    case RtfTokenKind::Word:
    case RtfTokenKind::Binary:
        Dispatch(Lookup(t.Name()), t.hasParam, t.param);
        return 0;
    case RtfTokenKind::Symbol:
        Dispatch(Lookup(t.Name()), false, 0);
        return 0;
    case RtfTokenKind::Hex:
        skipUnknown_ = false;
        if (dest_ == 1) return 0;  // nothing inside a skipped destination counts
        if (t.value < 0) {
            result_ = kReadBadHex;
            done_ = true;
            return 0;
        }
        CharRoutine(t.value);
        return 0;
    default:
        return -1;  // a backslash at the end of the input
    }
}

void TJDRtfReader::Dispatch(const Entry* e, bool hasNum, std::int32_t num) {
    if (!e) {
        if (skipUnknown_) dest_ = 1;
        skipUnknown_ = false;
        return;
    }
    skipUnknown_ = false;
    if (dest_ == 1) return;  // nothing inside a skipped destination counts
    switch (e->kind) {
    case kChar:
        CharRoutine(e->handler);
        break;
    case kDest:
        SetDestination(e->handler);
        break;
    case kSpecial:
        if (e->handler == 3) skipUnknown_ = true;
        break;
    default:
        Property(e->handler, (e->always || !hasNum) ? e->def : num);
        break;
    }
}

void TJDRtfReader::SetDestination(int handler) {
    TTextHeader& h = model_->Header();
    switch (handler) {
    case 2:
        dest_ = 1;
        break;
    case 3:  // \pict
        if (dest_ != 0) {
            dest_ = 1;
            break;
        }
        StartPicture();
        dest_ = 4;
        break;
    case 14:  // \jdpicref: the reference the next picture is known by
        if (dest_ != 0) {
            dest_ = 1;
            break;
        }
        picRef_.clear();
        dest_ = 14;
        break;
    case 11:  // \picfile
        if (dest_ != 0) {
            dest_ = 1;
            break;
        }
        StartPicture();
        picFile_.clear();
        picFileQuoted_ = picFileBad_ = false;
        dest_ = 5;
        break;
    case 4:
        dest_ = 2;
        fontName_.clear();
        fontEntry_ = 0;
        break;
    case 5:
        dest_ = 3;
        colorIndex_ = 0;
        break;
    case 6:
        dest_ = h.title.empty() ? 6 : 1;
        break;
    case 7:
        dest_ = h.comment.empty() ? 7 : 1;
        break;
    case 8:
        dest_ = h.subject.empty() ? 8 : 1;
        break;
    case 9: {  // \footnote: the mark is the character just inserted
        if (dest_ != 0 || line_->Length() == 0 || !model_->RichText()) {
            dest_ = 1;
            break;
        }
        TJDCharAttr& a = line_->attrs.back();
        try {
            footnote_ = model_->AddFootnote(line_->text.back(), 0);
        } catch (const ERichTextError&) {
            result_ = kReadTooManyObjects;
            done_ = true;
            dest_ = 1;
            break;
        }
        a.tag = footnote_->id;
        a.style = static_cast<std::uint16_t>((a.style | kStyleFootnote) & ~kStyleSuper);
        footnoteMarkSkipped_ = false;
        dest_ = 9;
        break;
    }
    case 12:  // \shppict: its picture is read where the group stands
        shppictSeen_ = true;
        break;
    case 13:  // \nonshppict: the same picture again, for readers without the first
        if (shppictSeen_) dest_ = 1;
        shppictSeen_ = false;
        break;
    default:  // \field: its text is read as ordinary text
        break;
    }
}

// --- characters ---------------------------------------------------------------------

void TJDRtfReader::InsertCharacter(int ch) {
    if (ch == 1 && model_->RichText()) {
        // An object character written as \'01 after the object's tag and size.
        model_->pendingObjectTag = static_cast<std::uint16_t>(objTag_);
        model_->pendingObjectWidth = objW_;
        model_->pendingObjectHeight = objH_;
        objTag_ = objW_ = objH_ = 0;
    }
    TJDTextReader::InsertCharacter(ch);
}

void TJDRtfReader::CharRoutine(int ch) {
    TTextHeader& h = model_->Header();
    switch (dest_) {
    case 0:
        if (defining_) defining_ = false;  // the row's text has begun
        if (parDirty_ || restoredDirty_) {
            // The paragraph takes the state in force at its text; \par
            // applies it again at the end, and a last paragraph without \par
            // keeps this one.
            ApplyProps(par_);
            parDirty_ = restoredDirty_ = false;
        }
        InsertCharacter(ch);
        break;
    case 2:
        if (ch == ';') FinishFontEntry();
        else if (fontName_.size() < 255) fontName_.push_back(static_cast<char>(ch == 1010 ? ' ' : ch));
        break;
    case 4: {
        int v = HexValue(ch);
        if (v < 0) break;
        if (picHigh_ < 0) {
            picHigh_ = v;
        } else {
            picBytes_.push_back(static_cast<char>(picHigh_ * 16 + v));
            picHigh_ = -1;
        }
        break;
    }
    case 14:
        if (picRef_.size() < 255) picRef_.push_back(static_cast<char>(ch));
        break;
    case 5:
        if (special_ == 3 && picFile_.size() < 255) picFile_.push_back(static_cast<char>(ch));
        break;
    case 6:
        if (h.title.size() < 255) h.title.push_back(static_cast<char>(ch));
        break;
    case 7:
        if (h.comment.size() < 255) h.comment.push_back(static_cast<char>(ch));
        break;
    case 8:
        if (h.subject.size() < 255) h.subject.push_back(static_cast<char>(ch));
        break;
    case 9:
        if (!footnote_ || ch == 1010 || ch == 10 || ch == 13) break;
        if (footnote_->text.empty()) {
            // Leading blanks and the copy of the mark are not part of the text.
            if (ch == ' ') break;
            if (!footnoteMarkSkipped_ && ch == static_cast<unsigned char>(footnote_->mark)) {
                footnoteMarkSkipped_ = true;
                break;
            }
        }
        footnote_->text.push_back(static_cast<char>(ch));
        break;
    default:
        break;
    }
}

void TJDRtfReader::FinishFontEntry() {
    std::string name = Trimmed(fontName_);
    fontName_.clear();
    if (name.empty()) return;
    int slot = model_->AddFontName(name);
    if (slot >= kMaxFonts) return;
    if (fontEntry_ >= 0 && fontEntry_ < kMaxFonts) {
        fontMap_[fontEntry_] = static_cast<std::uint8_t>(slot);
        if (fontEntry_ == 0) defaultFont_ = static_cast<std::uint8_t>(slot);
    }
}

// --- properties ------------------------------------------------------------------------

std::uint32_t& TJDRtfReader::BorderTarget() {
    if (defining_) return cellBorder_[std::min(cellCount_, kMaxCells)];
    if (firstBorderAfterPar_) {
        firstBorderAfterPar_ = false;
        // A fresh border after a paragraph end starts a new border group.
        if (par_->prev && (par_->prev->border & kBorderOn) && !(ps_.border & 0xFFFF & ~kBorderGroupEnd))
            par_->prev->border |= kBorderGroupEnd;
        ps_.border &= 0xFFFF0000u;
    }
    return ps_.border;
}

void TJDRtfReader::BorderWord(int which) {
    std::uint32_t bits;
    switch (which) {
    case 0: bits = 0x0041; break;
    case 1: bits = 0x0005; break;
    case 2: bits = 0x0011; break;
    case 3: bits = 0x0009; break;
    case 4: bits = 0x0021; break;
    case 5: bits = 0x0081; break;
    case 6: bits = 0x0101; break;
    case 9: bits = 0x4001; break;
    default: return;
    }
    std::uint32_t& w = BorderTarget();
    w |= bits;
    if ((which == 0 || which == 2 || which == 4) && BorderSpacingNibble(w) == 0) w |= 0x10000000u;
    if (defining_) {
        if ((w & 0x3C) == 0x3C) w |= kBorderBox;
        w |= kBorderGroupEnd;
    }
}

void TJDRtfReader::Property(int handler, std::int32_t n) {
    TTextHeader& h = model_->Header();
    auto styleBit = [&](std::uint16_t bit) {
        if (n != 0) attr_.style |= bit;
        else attr_.style &= static_cast<std::uint16_t>(~bit);
    };
    auto paraWord = [&] { parDirty_ = true; };
    // Words that change the text itself count only in the text destination.
    bool text = dest_ == 0;
    switch (handler) {
    case 1: styleBit(kStyleBold); break;
    case 2: styleBit(kStyleItalic); break;
    case 3: styleBit(kStyleUnderline); break;
    case 30: styleBit(kStyleHyperlink); break;
    case 31: styleBit(kStyleProtected); break;
    case 44: styleBit(kStyleStrikeOut); break;
    case 52: styleBit(kStyleHidden); break;
    case 55: styleBit(kStyleSub); break;
    case 54:
        if (text) styleBit(kStyleSuper);
        break;
    case 53: attr_.style &= static_cast<std::uint16_t>(~(kStyleSuper | kStyleSub)); break;
    case 50:
        if (n != 0) {
            attr_.style = static_cast<std::uint16_t>((attr_.style | kStyleInsertPoint) & ~kStyleAutomatic);
            attr_.tag = static_cast<std::uint16_t>(n);
        } else {
            attr_.style &= static_cast<std::uint16_t>(~kStyleInsertPoint);
            attr_.tag = 0;
        }
        break;
    case 51:
        if (n != 0) attr_.style = static_cast<std::uint16_t>((attr_.style | kStyleAutomatic) & ~kStyleInsertPoint);
        else attr_.style &= static_cast<std::uint16_t>(~kStyleAutomatic);
        break;
    case 69:
        if (n != 0 && text) {
            rtfCode_ = true;
            codeMatched_ = 0;
            attr_.style |= kStyleRtfCode;
        } else {
            attr_.style &= static_cast<std::uint16_t>(~kStyleRtfCode);
        }
        break;
    case 28:
        if (n >= 0 && n < kColorCount) attr_.SetTextColor(static_cast<unsigned>(n));
        break;
    case 29:
        if (n >= 0 && n < kColorCount) attr_.SetBackColor(static_cast<unsigned>(n));
        break;
    case 23:
        attr_ = TJDCharAttr{};
        attr_.font = defaultFont_;
        if (rtfCode_) attr_.style |= kStyleRtfCode;
        break;
    case 26:
        if (dest_ == 2) fontEntry_ = n;
        else if (n >= 0 && n < kMaxFonts) attr_.font = fontMap_[n];  // unknown numbers keep the font
        break;
    case 27:
        attr_.size = n <= 0 ? 10 : ByteOf(std::max(n / 2, 1));
        break;
    case 4:
        if (!inTable_) {
            ps_.left = std::clamp(n, 0, kMaxIndent);
            ps_.first = pendingFi_;
            pendingFi_ = 0;
            paraWord();
        }
        break;
    case 5:
        // Stored as written: the writer puts the stored value back, so a
        // save and reload keeps the indent.
        if (!inTable_) {
            ps_.right = std::clamp(n, 0, kMaxIndent);
            paraWord();
        }
        break;
    case 6:
        if (!inTable_) {
            ps_.first = std::clamp(n, -kMaxIndent, kMaxIndent);
            pendingFi_ = ps_.first;
            paraWord();
        }
        break;
    case 41: ps_.spaceBefore = std::clamp(n, 0, kMaxSpacing); paraWord(); break;
    case 43: ps_.spaceAfter = std::clamp(n, 0, kMaxSpacing); paraWord(); break;
    case 42: ps_.lineSpacing = std::clamp(n, -kMaxSpacing, kMaxSpacing); paraWord(); break;
    case 21: ps_.alignment = static_cast<std::uint8_t>(n & 3); paraWord(); break;
    case 10: if (!keepHeader) h.pageWidth = n; break;
    case 11: if (!keepHeader) h.pageHeight = n; break;
    case 12: if (!keepHeader) h.marginLeft = n; break;
    case 13: if (!keepHeader) h.marginRight = n; break;
    case 14: if (!keepHeader) h.marginTop = n; break;
    case 15: if (!keepHeader) h.marginBottom = n; break;
    case 19: if (!keepHeader) h.facingPages = n != 0; break;
    case 20: if (!keepHeader) h.landscape = n != 0; break;
    case 33:
        if (text) par_->flags |= kParPageBreak;
        break;
    case 70:
        if (footnote_ && dest_ == 9) footnote_->number = n;
        break;
    case 32: {
        if (tabsInherited_) {
            ps_.tabs = {};
            tabsInherited_ = false;
        }
        int slot = model_->AddTabStop(n, static_cast<TTabKind>(tabKind_));
        if (slot >= 0) ps_.tabs[slot / 16] |= static_cast<std::uint16_t>(1u << (slot % 16));
        tabKind_ = 0;
        paraWord();
        break;
    }
    case 71: tabKind_ = (n >= 1 && n <= 3) ? static_cast<std::uint8_t>(n) : 0; break;
    case 38:
    case 39:
    case 40:
        if (dest_ == 3 && colorIndex_ < kColorCount && !keepHeader) {
            TRgbEntry& c = h.colors[colorIndex_];
            (handler == 38 ? c.red : handler == 39 ? c.green : c.blue) = ByteOf(n);
        }
        break;
    case 45:
        if (!text) break;
        cellRight_.fill(0);
        cellBorder_.fill(0);
        cellShade_.fill(0);
        cellShadePct_.fill(0);
        cellMerge_.fill(0);
        cellCount_ = curCell_ = runStart_ = 0;
        widest_ = rowLeft_ = 0;
        rowGap_ = 0;
        mergePending_ = false;
        inTable_ = defining_ = true;
        break;
    case 49:
        if (!text) break;
        inTable_ = true;
        defining_ = false;
        {
            int c = std::min(curCell_, kMaxCells);
            ps_.border = cellBorder_[c];
            ps_.shading = cellShade_[c];
            ps_.shadingPct = cellShadePct_[c];
            ps_.spaceBefore = 40;
            paraWord();
        }
        break;
    case 46:
        if (!text || !defining_ || cellCount_ >= kMaxCells) break;
        {
            std::int32_t edge = std::max<std::int64_t>(static_cast<std::int64_t>(n) - rowLeft_, 0) > INT32_MAX
                                    ? INT32_MAX
                                    : static_cast<std::int32_t>(std::max<std::int64_t>(static_cast<std::int64_t>(n) - rowLeft_, 0));
            if (mergePending_ && cellCount_ > 0) {
                cellRight_[cellCount_ - 1] = edge;
                cellBorder_[cellCount_] = static_cast<std::uint32_t>(rowGap_) << 28;
                mergePending_ = false;
            } else {
                cellRight_[cellCount_++] = edge;
            }
            widest_ = std::max(widest_, edge);
        }
        break;
    case 76:
        // A merge needs a cell before it; on a first cell there is nothing to merge into.
        if (text && defining_ && cellCount_ > 0 && cellMerge_[cellCount_ - 1] < 255) {
            ++cellMerge_[cellCount_ - 1];
            mergePending_ = true;
        }
        break;
    case 47:
        if (!text) break;
        curCell_ = runStart_ = 0;
        defining_ = false;
        if (par_->prev && par_->prev->IsCell()) par_->prev->flags &= static_cast<std::uint8_t>(~kParCellFollows);
        ps_.border = 0;
        ps_.spaceBefore = 0;
        ps_.shading = ps_.shadingPct = 0;
        par_->border = 0;
        par_->spaceBefore = 0;
        par_->shading = par_->shadingPct = 0;
        break;
    case 48:
        if (text) CellEnd();
        break;
    case 25:
        if (!text) break;
        if (inTable_) InsertCharacter(1010);  // a cell stays one paragraph
        else EndRtfParagraph();
        break;
    case 22:
        if (!text) break;
        if (par_->prev && (par_->prev->border & kBorderOn)) par_->prev->border |= kBorderGroupEnd;
        ps_.border = 0;
        ps_.shading = ps_.shadingPct = 0;
        ps_.alignment = 0;
        ps_.tabs = {};
        tabsInherited_ = false;
        inTable_ = false;
        ps_.first = ps_.left = ps_.right = 0;
        pendingFi_ = 0;
        par_->firstIndent = par_->leftIndent = par_->rightIndent = 0;
        paraWord();
        break;
    case 77:
        if (text && !inTable_ && n) par_->flags |= kParKeepTogether;
        break;
    case 34:
        BorderWord(n);
        if (!defining_) paraWord();
        break;
    case 35: {
        std::uint32_t& w = BorderTarget();
        w = (w & 0xFF00FFFFu) | (static_cast<std::uint32_t>(ByteOf(n / 20)) << 16);
        if (!defining_) paraWord();
        break;
    }
    case 36: {
        std::uint32_t& w = BorderTarget();
        w = (w & 0x0FFFFFFFu) | (static_cast<std::uint32_t>(Nibble(n / 56)) << 28);
        if (!defining_) paraWord();
        break;
    }
    case 37: {
        if (n < 0 || n >= kColorCount) break;
        std::uint32_t& w = BorderTarget();
        w = (w & 0xF0FFFFFFu) | (static_cast<std::uint32_t>(n) << 24);
        if (!defining_) paraWord();
        break;
    }
    case 72:
        if (defining_) {
            std::uint32_t nib = n < 1 ? 0 : Nibble(std::max(n, 56) / 56);
            rowGap_ = static_cast<std::uint8_t>(nib);
            for (auto& w : cellBorder_) w = (w & 0x0FFFFFFFu) | (nib << 28);
        }
        break;
    case 73:
        if (defining_) rowLeft_ = std::max(n, 0);
        break;
    case 80:
        if (defining_) {
            cellShade_[std::min(cellCount_, kMaxCells)] = static_cast<std::uint8_t>(Nibble(n) << 4);
            cellShadePct_[std::min(cellCount_, kMaxCells)] = 1;
        } else {
            ps_.shading = static_cast<std::uint8_t>((ps_.shading & 0x0F) | (Nibble(n) << 4));
            paraWord();
        }
        break;
    case 81:
        if (defining_) {
            cellShade_[std::min(cellCount_, kMaxCells)] = Nibble(n);
            cellShadePct_[std::min(cellCount_, kMaxCells)] = 100;
        } else {
            ps_.shading = static_cast<std::uint8_t>((ps_.shading & 0xF0) | Nibble(n));
            paraWord();
        }
        break;
    case 79:
        if (defining_) {
            cellShadePct_[std::min(cellCount_, kMaxCells)] = ByteOf(n / 100);
            cellShade_[std::min(cellCount_, kMaxCells)] = 0;
        } else {
            ps_.shadingPct = ByteOf(n / 100);
            ps_.shading = 0;
            paraWord();
        }
        break;
    case 82: {
        // The Windows-1252 byte of the character when there is one (and its
        // fallback is dropped), else the fallback text is read instead.
        std::int32_t cp = n < 0 ? n + 65536 : n;
        int b = cp > 0 ? plat::UnicodeToAnsiChar(static_cast<char32_t>(cp)) : -1;
        if (b > 0) {
            CharRoutine(b);
            ucSkip_ = uc_;
        }
        break;
    }
    case 83: uc_ = std::clamp(n, 0, 16); break;
    case 84:
        if (!text) break;
        inTable_ = false;
        EndRtfParagraph();
        break;
    case 56: picKind_ = 2; break;
    case 57: picKind_ = 1; break;
    case 58:
        picKind_ = 0;
        if (picBytes_.empty()) {
            picBytes_.assign(plat::kPlaceableHeaderSize, '\0');
            picReserved_ = true;
        }
        break;
    case 59: picW_ = n; break;
    case 60: picH_ = n; break;
    case 61: picWGoal_ = n; break;
    case 62: picHGoal_ = n; break;
    case 74: picScaleX_ = n; break;
    case 75: picScaleY_ = n; break;
    case 63: bmBits_ = n; break;
    case 64: bmPlanes_ = n; break;
    case 65: bmWidthBytes_ = n; break;
    case 66: objTag_ = n; break;
    case 67: objW_ = n; break;
    case 68: objH_ = n; break;
    default:  // the words read and ignored
        break;
    }
}

// --- paragraphs and cells -------------------------------------------------------------

void TJDRtfReader::ApplyProps(TParagraph* p) {
    p->alignment = ps_.alignment;
    p->spaceBefore = ps_.spaceBefore;
    p->spaceAfter = ps_.spaceAfter;
    p->lineSpacing = ps_.lineSpacing;
    p->shading = ps_.shading;
    p->shadingPct = ps_.shadingPct;
    if (p->IsCell()) return;  // cells keep the indents, border and widths of their cell
    p->firstIndent = ps_.first;
    p->leftIndent = ps_.left;
    if (!inTable_) p->rightIndent = ps_.right;
    p->tabs = ps_.tabs;
    p->border = ps_.border;
}

void TJDRtfReader::EndRtfParagraph() {
    TParagraph* p = par_;
    ApplyProps(p);
    parDirty_ = restoredDirty_ = emptyParOwnWords_ = false;
    p->state |= kParNeedsLayout;
    TParagraph* np = model_->NewParagraph(p);
    np->firstIndent = p->IsCell() ? ps_.first : p->firstIndent;
    np->leftIndent = p->IsCell() ? ps_.left : p->leftIndent;
    np->rightIndent = p->IsCell() ? ps_.right : p->rightIndent;
    np->spaceBefore = p->spaceBefore;
    np->spaceAfter = p->spaceAfter;
    np->lineSpacing = p->lineSpacing;
    np->alignment = p->alignment;
    np->shading = p->shading;
    np->shadingPct = p->shadingPct;
    np->tabs = ps_.tabs;
    np->state |= kParNeedsLayout;
    par_ = np;
    line_ = np->lines;
    firstBorderAfterPar_ = true;
    if (inTable_) ps_.border = cellBorder_[std::min(curCell_, kMaxCells)];
    np->border = ps_.border;
    tabsInherited_ = true;
}

void TJDRtfReader::CellEnd() {
    int c = std::min(curCell_, kMaxCells);
    if (cellMerge_[c] > 0) {
        --cellMerge_[c];
        return;
    }
    TTextHeader& h = model_->Header();
    // More cell ends than cell definitions get a narrow cell, never an index past the arrays.
    bool defined = curCell_ < cellCount_ && cellRight_[curCell_] > 0;
    int width = 10;
    if (defined) {
        int pos = MulDiv(255, cellRight_[curCell_], std::max(widest_, cellRight_[curCell_]));
        width = std::max(pos - runStart_, 1);
    }
    int start = std::min(runStart_, 254);
    width = std::clamp(width, 1, 255 - start);
    par_->border = cellBorder_[c] | kBorderGroupEnd;
    par_->cellStart = static_cast<std::uint8_t>(start);
    par_->cellWidth = static_cast<std::uint8_t>(width);
    runStart_ = std::min(runStart_ + width, 255);
    std::int64_t right = static_cast<std::int64_t>(h.pageWidth) - h.marginLeft - h.marginRight - widest_;
    par_->rightIndent = static_cast<std::int32_t>(std::clamp<std::int64_t>(right, 0, INT32_MAX));
    par_->leftIndent = rowLeft_;
    par_->firstIndent = 0;
    par_->tabs = {};
    par_->flags |= kParTableCell | kParCellFollows;
    if (curCell_ > 0) par_->flags |= kParNotFirstCell;
    if (curCell_ < 0xFFFF) ++curCell_;
    EndRtfParagraph();
}

void TJDRtfReader::FinalConversion() {
    // The model holds the first-line indent from the margin, like the left
    // indent. The file's values are kept as they are: snapping them to the
    // ruler's grid here changed every paragraph of a document that was only
    // opened and saved (\li360 came back as \li423). The grid is for what the
    // user sets with the ruler.
    for (TParagraph* p = firstPar_; p; p = p->next) {
        p->state |= kParNeedsLayout;
        std::int64_t first = static_cast<std::int64_t>(p->firstIndent) + p->leftIndent;
        p->firstIndent = static_cast<std::int32_t>(std::clamp<std::int64_t>(first, INT32_MIN / 2, INT32_MAX / 2));
    }
}

// --- pictures --------------------------------------------------------------------------

void TJDRtfReader::StartPicture() {
    picKind_ = 0;
    picReserved_ = false;
    picW_ = picH_ = picWGoal_ = picHGoal_ = 0;
    picScaleX_ = picScaleY_ = 100;
    bmBits_ = 0;
    bmPlanes_ = 1;
    bmWidthBytes_ = 0;
    picBytes_.clear();
    picHigh_ = -1;
}

namespace {
std::int32_t Scaled(std::int32_t goal, std::int32_t scale) {
    if (scale == 0) return goal;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(goal) * scale / 100, INT32_MIN, INT32_MAX));
}
}  // namespace

void TJDRtfReader::EndPicture() {
    std::shared_ptr<plat::TGraphic> g;
    std::string bytes = std::move(picBytes_);
    picBytes_.clear();
    if (picKind_ == 2) {
        if (!bytes.empty())
            g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Bitmap, std::move(bytes), picW_, picH_,
                                                    plat::TBitmapGeometry{bmBits_, bmPlanes_, bmWidthBytes_});
    } else if (picKind_ == 1) {
        if (!bytes.empty()) {
            // Put a bitmap file header in front so that the bytes load as a .bmp.
            std::uint32_t infoSize = GetU32(bytes, 0);
            std::uint32_t offset = static_cast<std::uint32_t>(plat::kBitmapFileHeaderSize);
            if (infoSize >= 40 && bytes.size() >= 40) {
                std::uint32_t bitCount = static_cast<unsigned char>(bytes[14]) | static_cast<unsigned char>(bytes[15]) << 8;
                std::uint32_t used = GetU32(bytes, 32);
                std::uint32_t colors = used ? std::min<std::uint32_t>(used, 256) : (bitCount <= 8 ? 1u << bitCount : 0);
                offset += std::min<std::uint32_t>(infoSize, 1024) + colors * 4;
            } else if (infoSize == 12 && bytes.size() >= 12) {
                std::uint32_t bitCount = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
                offset += 12 + (bitCount <= 8 ? (1u << bitCount) * 3 : 0);
            }
            std::string file(plat::kBitmapFileHeaderSize, '\0');
            file[0] = 'B';
            file[1] = 'M';
            std::uint32_t total = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() + file.size(), 0xFFFFFFFFu));
            PutU32(file, 2, total);
            PutU32(file, 10, std::min(offset, total));
            file += bytes;
            g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, std::move(file), picW_, picH_);
        }
    } else if (picReserved_) {
        if (bytes.size() > plat::kPlaceableHeaderSize - 1) {
            PutU32(bytes, 0, plat::kPlaceableMetafileKey);
            PutU16(bytes, 4, 0);
            PutU16(bytes, 6, 0);
            PutU16(bytes, 8, 0);
            PutU16(bytes, 10, static_cast<std::uint16_t>(picW_));
            PutU16(bytes, 12, static_cast<std::uint16_t>(picH_));
            PutU16(bytes, 14, 2540);
            PutU32(bytes, 16, 0);
            std::uint16_t sum = 0;
            for (int i = 0; i < 10; ++i)
                sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                  static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
            PutU16(bytes, 20, sum);
            if (bytes.size() > plat::kPlaceableHeaderSize)
                g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Metafile, std::move(bytes), picW_, picH_);
        }
    } else if (!bytes.empty()) {
        // A picture of a kind the dialect does not name (PNG, JPEG ...): kept as
        // it came rather than having a metafile header written over it.
        g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Unknown, std::move(bytes), picW_, picH_);
    }
    TJDObjectRecord* rec = AddObjectOrStop(g);
    if (!rec) return;
    rec->width = Scaled(picWGoal_, picScaleX_);
    rec->height = Scaled(picHGoal_, picScaleY_);
    if (line_->Length() >= kMaxLineLength) line_ = model_->NewLineAfter(par_, line_);
    if (!pendingPicRef_.empty()) rec->referenceText = std::move(pendingPicRef_);
    pendingPicRef_.clear();
    model_->AppendObjectChar(line_, attr_, *rec);
}

TJDObjectRecord* TJDRtfReader::AddObjectOrStop(std::shared_ptr<plat::TGraphic> g) {
    try {
        return model_->AddObject(std::move(g), 0);
    } catch (const ERichTextError&) {
        result_ = kReadTooManyObjects;
        done_ = true;
        return nullptr;
    }
}

void TJDRtfReader::EndLinkedPicture() {
    std::string name = picFile_;
    picFile_.clear();
    special_ = 0;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    TJDObjectRecord* rec = model_->FindObjectByName(name);
    if (!rec) {
        rec = AddObjectOrStop(nullptr);
        if (!rec) return;
        rec->fileName = name;
    }
    rec->linked = true;
    rec->width = Scaled(picWGoal_, picScaleX_);
    rec->height = Scaled(picHGoal_, picScaleY_);
    if (!rec->object && !model_->services.OnProvideObject && !name.empty() && !picFileBad_) {
        // Names are Windows paths in any letter case; the path layer finds the
        // file. Only ordinary files of a bounded size are read.
        std::unique_ptr<plat::TGraphic> g = plat::LoadGraphicFile(plat::NativePath(name));
        if (!g && !pictureBaseDir.empty() && !plat::IsAbsolutePath(name))
            g = plat::LoadGraphicFile(plat::NativePath(plat::JoinPath(pictureBaseDir, name)));
        if (g) rec->object = std::move(g);
        else missingPictures.push_back(name);
    }
    if (line_->Length() >= kMaxLineLength) line_ = model_->NewLineAfter(par_, line_);
    if (!pendingPicRef_.empty()) rec->referenceText = std::move(pendingPicRef_);
    pendingPicRef_.clear();
    model_->AppendObjectChar(line_, attr_, *rec);
}

}  // namespace richtext
