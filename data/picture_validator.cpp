#include "data/picture_validator.h"

#include <utility>

namespace vl {

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Auto-fill stops at these: they stand for a choice, not a fixed literal.
bool IsFillStop(char c) {
    switch (c) {
        case ' ': case '!': case '#': case '&': case '*': case ',': case '?':
        case '@': case '[': case ']': case '{': case '}': case '~':
            return true;
        default:
            return false;
    }
}

}  // namespace

TvlPictureValidator::TvlPictureValidator(std::string mask, bool autoFill) : Pic(std::move(mask)) {
    Options = voTransfer;
    if (autoFill) Options |= voFill;
    std::string empty;
    if (MatchPictureMask(empty, false) != pcEmpty) Status = 1;
}

bool TvlPictureValidator::IsValidInput(std::string& text, bool suppressFill) {
    if (Pic.empty()) return true;
    bool fill = (Options & voFill) != 0 && !suppressFill;
    return MatchPictureMask(text, fill) != pcError;
}

bool TvlPictureValidator::IsValid(const std::string& text) {
    if (Pic.empty()) return true;
    std::string copy = text;
    // Ambiguous is complete too: otherwise a mask with an optional tail or an
    // open repetition ("#[#]", "*#") would refuse every final value.
    TvlPicResult r = MatchPictureMask(copy, false);
    return IsPicComplete(r) || r == pcEmpty;
}

bool TvlPictureValidator::SyntaxOk() const {
    if (Pic.empty()) return false;
    if (Pic.back() == ';') return false;
    if (Pic.back() == '*' && !(Pic.size() >= 2 && Pic[Pic.size() - 2] == ';')) return false;
    long brackets = 0, braces = 0;
    for (std::size_t k = 0; k < Pic.size(); ++k) {
        switch (Pic[k]) {
            case ';': ++k; break;
            case '[': ++brackets; break;
            case ']': --brackets; break;
            case '{': ++braces; break;
            case '}': --braces; break;
            default: break;
        }
    }
    return brackets == 0 && braces == 0;
}

// One past the element that starts at k: an escaped character, a group or
// option with its nesting, a repetition with its element, or one character.
std::size_t TvlPictureValidator::ElementEnd(std::size_t k) const {
    const std::size_t n = Pic.size();
    if (k >= n) return n;
    switch (Pic[k]) {
        case ';':
            return k + 2 <= n ? k + 2 : n;
        case '[':
        case '{': {
            long depth = 0;
            for (; k < n; ++k) {
                char c = Pic[k];
                if (c == ';') { ++k; continue; }
                if (c == '[' || c == '{') ++depth;
                else if (c == ']' || c == '}') {
                    if (--depth == 0) return k + 1;
                }
            }
            return n;
        }
        case '*':
            ++k;
            while (k < n && IsDigit(static_cast<unsigned char>(Pic[k]))) ++k;
            return ElementEnd(k);
        default:
            return k + 1;
    }
}

// Moves the mask position past the next "," at this level; false at term.
bool TvlPictureValidator::SkipToComma(std::size_t term) {
    while (i_ < term) {
        if (Pic[i_] == ',') {
            ++i_;
            return true;
        }
        i_ = ElementEnd(i_);
    }
    if (i_ > term) i_ = term;
    return false;
}

TvlPicResult TvlPictureValidator::Process(std::size_t term) {
    std::size_t oldI = i_, oldJ = j_;
    bool incomp = false;
    std::size_t incompI = 0, incompJ = 0;
    TvlPicResult r;
    for (;;) {
        r = Scan(term);
        // A complete alternative that fell short of an incomplete one would
        // throw away what the text already says.
        if (IsPicComplete(r) && incomp && j_ < incompJ) {
            r = pcIncomplete;
            j_ = incompJ;
        }
        if (r != pcError && r != pcIncomplete) break;
        if (r == pcIncomplete && !incomp) {
            incomp = true;
            incompI = i_;
            incompJ = j_;
        }
        i_ = oldI;
        j_ = oldJ;
        if (!SkipToComma(term)) {
            if (incomp) {
                i_ = incompI;
                j_ = incompJ;
                return pcIncomplete;
            }
            return r;
        }
        oldI = i_;
    }
    if (r == pcComplete && incomp) return pcAmbiguous;
    return r;
}

TvlPicResult TvlPictureValidator::CheckComplete(TvlPicResult r, std::size_t term) const {
    if (!IsPicIncomplete(r)) return r;
    std::size_t k = i_;
    for (;;) {
        if (k >= term || Pic[k] == ',') return pcAmbiguous;
        if (Pic[k] == '[') {
            k = ElementEnd(k);
        } else if (Pic[k] == '*' && !(k + 1 < Pic.size() && IsDigit(static_cast<unsigned char>(Pic[k + 1])))) {
            k = ElementEnd(k);
        } else {
            return r;
        }
    }
}

TvlPicResult TvlPictureValidator::Scan(std::size_t term) {
    std::string& text = *text_;
    TvlPicResult r = pcEmpty;
    while (i_ < term && Pic[i_] != ',') {
        if (j_ >= text.size()) return CheckComplete(r, term);
        const char ch = Pic[i_];
        const unsigned char t = static_cast<unsigned char>(text[j_]);
        switch (ch) {
            case '#':
                if (!IsDigit(t)) return pcError;
                ++i_; ++j_;
                break;
            case '?':
                if (!IsLetter(t)) return pcError;
                ++i_; ++j_;
                break;
            case '&':
                if (!IsLetter(t)) return pcError;
                text[j_] = Upper(text[j_]);
                ++i_; ++j_;
                break;
            case '~':
                if (!IsLetter(t)) return pcError;
                text[j_] = Lower(text[j_]);
                ++i_; ++j_;
                break;
            case '@':
                ++i_; ++j_;
                break;
            case '!':
                text[j_] = Upper(text[j_]);
                ++i_; ++j_;
                break;
            case '*':
                r = Iteration(term);
                if (!IsPicComplete(r)) return r;
                break;
            case '[':
                r = Group(term);
                if (IsPicIncomplete(r)) return r;
                if (r == pcError) r = pcAmbiguous;
                break;
            case '{':
                r = Group(term);
                if (!IsPicComplete(r)) return r;
                break;
            default: {
                if (ch == ';') ++i_;
                if (i_ >= term) return pcSyntax;
                const char m = Pic[i_];
                const bool last = j_ + 1 == text.size();
                if (Upper(m) == Upper(text[j_])) {
                    if (m == ' ' && last) blankMatched_ = true;
                    text[j_] = m;
                } else if (text[j_] == ' ' && last && !blankMatched_) {
                    // A blank typed at the end stands for the literal due here.
                    text[j_] = m;
                } else {
                    return pcError;
                }
                ++i_; ++j_;
                break;
            }
        }
        r = r == pcAmbiguous ? pcIncompleteNoFill : pcIncomplete;
    }
    return r == pcIncompleteNoFill ? pcAmbiguous : pcComplete;
}

TvlPicResult TvlPictureValidator::Iteration(std::size_t term) {
    std::size_t k = i_ + 1;
    std::size_t count = 0;
    while (k < term && IsDigit(static_cast<unsigned char>(Pic[k]))) {
        count = count * 10 + static_cast<std::size_t>(Pic[k] - '0');
        ++k;
    }
    if (k >= term) return pcSyntax;
    const std::size_t elemEnd = ElementEnd(k);
    if (elemEnd > term) return pcSyntax;
    const bool option = Pic[k] == '[';
    TvlPicResult r = pcEmpty;
    if (count > 0) {
        for (std::size_t pass = 0; pass < count; ++pass) {
            i_ = k;
            r = Process(elemEnd);
            if (!IsPicComplete(r)) {
                if (r == pcEmpty && option) {
                    i_ = elemEnd;
                    return pcComplete;
                }
                return r == pcEmpty ? pcIncomplete : r;
            }
        }
    } else {
        std::size_t before;
        do {
            before = j_;
            i_ = k;
            r = Process(elemEnd);
        } while (IsPicComplete(r) && j_ > before);
        if (r == pcEmpty || r == pcError) r = pcAmbiguous;
        else if (!IsPicComplete(r)) return r;
    }
    i_ = elemEnd;
    return r;
}

TvlPicResult TvlPictureValidator::Group(std::size_t term) {
    const std::size_t end = ElementEnd(i_);
    if (end > term || end == 0) return pcSyntax;
    const std::size_t close = end - 1;
    ++i_;
    TvlPicResult r = Process(close);
    if (!IsPicIncomplete(r)) i_ = end;
    return r;
}

TvlPicResult TvlPictureValidator::MatchFromStart() {
    i_ = 0;
    j_ = 0;
    blankMatched_ = false;
    TvlPicResult r = Process(Pic.size());
    if (r != pcError && r != pcSyntax && j_ < text_->size()) r = pcError;
    return r;
}

TvlPicResult TvlPictureValidator::MatchPictureMask(std::string& text, bool autoFill) {
    if (!SyntaxOk()) return pcSyntax;
    if (text.empty()) return pcEmpty;
    text_ = &text;
    TvlPicResult r = MatchFromStart();
    if (r == pcIncomplete && autoFill) {
        bool appended = false;
        while (i_ < Pic.size() && !IsFillStop(Pic[i_])) {
            if (Pic[i_] == ';') {
                ++i_;
                if (i_ >= Pic.size()) break;
            }
            text.push_back(Pic[i_]);
            ++i_;
            appended = true;
        }
        if (appended) r = MatchFromStart();
    }
    text_ = nullptr;
    return r;
}

}  // namespace vl
