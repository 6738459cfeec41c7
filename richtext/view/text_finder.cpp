#include "richtext/view/text_finder.h"

#include <algorithm>

#include "platform/core/codepage.h"

namespace richtext {

namespace {

int ParLength(const TParagraph* p) {
    int n = 0;
    for (TLine* l = p->lines; l; l = l->next) n += l->Length();
    return n;
}

bool IsApostrophe(unsigned char c) { return c == '\'' || c == 0x92; }

}  // namespace

// --- paragraph view ----------------------------------------------------------------------

void TJDTextFinder::ParView::Build(TParagraph* p) {
    lines.clear();
    starts.clear();
    length = 0;
    for (TLine* l = p ? p->lines : nullptr; l; l = l->next) {
        lines.push_back(l);
        starts.push_back(length);
        length += l->Length();
    }
}

unsigned char TJDTextFinder::ParView::Char(int i) const {
    std::size_t k = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), i) - starts.begin()) - 1;
    // Skip empty lines that share a start with the next one.
    while (i - starts[k] >= lines[k]->Length()) ++k;
    return static_cast<unsigned char>(lines[k]->text[static_cast<std::size_t>(i - starts[k])]);
}

const TJDCharAttr* TJDTextFinder::ParView::Attr(int i) const {
    std::size_t k = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), i) - starts.begin()) - 1;
    while (i - starts[k] >= lines[k]->Length()) ++k;
    const auto& a = lines[k]->attrs;
    std::size_t at = static_cast<std::size_t>(i - starts[k]);
    return at < a.size() ? &a[at] : nullptr;
}

// --- set-up ------------------------------------------------------------------------------

void TJDTextFinder::SetText(TJDRTFText* engine) {
    engine_ = engine;
    header_ = engine ? &engine->Header() : nullptr;
    first_ = engine ? engine->FirstParagraph() : nullptr;
}

void TJDTextFinder::ClearMatch() {
    found_ = false;
    foundLen_ = 0;
}

void TJDTextFinder::FinderToStart() {
    ClearMatch();
    foundPos_ = 0;
    replaceCount_ = 0;
    if (engine_) first_ = engine_->FirstParagraph();
    scanPar_ = currentPar = first_;
    parStart_ = 0;
    scanOffset_ = 0;
}

void TJDTextFinder::ResetAll() {
    ClearMatch();
    toStart_ = false;
    pattern_.clear();
    attrMask = attrTag = 0;
    CaseMode = 0;
    Wildcard = WordSeparator = 0;
    BlankSeparates = WholeWords = false;
    attrTemplate = TJDCharAttr{};
    positioned = false;
    FinderToStart();
}

std::int32_t TJDTextFinder::MoveTo(std::int32_t pos) {
    ClearMatch();
    foundPos_ = pos;
    if (engine_) first_ = engine_->FirstParagraph();
    scanPar_ = nullptr;
    scanOffset_ = 0;
    parStart_ = 0;
    // Nothing lies before the text: a negative position leaves no scan paragraph.
    if (pos >= 0) {
        std::int32_t start = 0;
        for (TParagraph* p = first_; p; p = p->next) {
            std::int32_t len = ParLength(p);
            if (pos < start + len + 1) {
                scanPar_ = p;
                scanOffset_ = pos - start;
                parStart_ = start;
                break;
            }
            start += len + 1;
        }
        if (!scanPar_) parStart_ = start;
    }
    currentPar = scanPar_;
    return parStart_;
}

void TJDTextFinder::SplitPattern() {
    twoPieces_ = wordMode_ = false;
    piece1_ = pattern_;
    piece2_.clear();
    if (!Wildcard) return;
    std::size_t k = pattern_.find(Wildcard);
    if (k == std::string::npos) return;
    piece1_ = pattern_.substr(0, k);
    piece2_ = pattern_.substr(k + 1);
    twoPieces_ = true;
    wordMode_ = piece1_.empty() && piece2_.empty();
}

// --- character tests -----------------------------------------------------------------------

bool TJDTextFinder::IsSeparator(unsigned char c) const {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0) return false;
    return !(c == 0x8A || c == 0x8C || c == 0x9A || c == 0x9C || c == 0x9F);
}

bool TJDTextFinder::AttrPasses(const TJDCharAttr* e) const {
    if (!attrMask || !e) return true;
    const TJDCharAttr& t = attrTemplate;
    if ((attrMask & kFindObject) && (!(e->style & kStyleObject) || (attrTag && e->tag != attrTag))) return false;
    if ((attrMask & kFindInsertPoint) && (!(e->style & kStyleInsertPoint) || (attrTag && e->tag != attrTag)))
        return false;
    if ((attrMask & kFindSameFont) && e->font != t.font) return false;
    if ((attrMask & kFindSameSize) && e->size != t.size) return false;
    if ((attrMask & kFindSameColor) && e->TextColor() != t.TextColor()) return false;
    if ((attrMask & kFindSameBackColor) && e->BackColor() != t.BackColor()) return false;
    if ((attrMask & kFindBold) && !(e->style & kStyleBold)) return false;
    if ((attrMask & kFindUnderline) && !(e->style & kStyleUnderline)) return false;
    if ((attrMask & kFindItalic) && !(e->style & kStyleItalic)) return false;
    if ((attrMask & kFindDoubleUnderline) && !(e->style & kStyleHyperlink)) return false;
    return true;
}

bool TJDTextFinder::CharMatches(unsigned char c, unsigned char p, const TJDCharAttr* tmpl,
                                const TJDCharAttr* entry) const {
    if (tmpl && !AttrPasses(entry)) return false;
    if (Wildcard && p == static_cast<unsigned char>(Wildcard)) return true;
    if (CaseMode != 1) {
        c = plat::CharLower(c);
        p = plat::CharLower(p);
    }
    return c == p;
}

bool TJDTextFinder::PieceAt(const ParView& v, int at, const std::string& piece) const {
    if (at < 0 || at + static_cast<int>(piece.size()) > v.length) return false;
    for (std::size_t j = 0; j < piece.size(); ++j) {
        int i = at + static_cast<int>(j);
        if (!CharMatches(v.Char(i), static_cast<unsigned char>(piece[j]), &attrTemplate, v.Attr(i))) return false;
    }
    return true;
}

bool TJDTextFinder::WordStartOk(const ParView& v, int at) const {
    return !WholeWords || at == 0 || IsSeparator(v.Char(at - 1));
}

bool TJDTextFinder::WordEndOk(const ParView& v, int end) const {
    return !WholeWords || end >= v.length || IsSeparator(v.Char(end));
}

// --- one paragraph -----------------------------------------------------------------------------

bool TJDTextFinder::SearchParForward(const ParView& v, int from, int& start, int& end) const {
    if (from >= v.length) return false;
    if (wordMode_) return WordForward(v, from, start, end);
    int n1 = static_cast<int>(piece1_.size()), n2 = static_cast<int>(piece2_.size());
    for (int s = std::max(from, 0); s + n1 + n2 <= v.length; ++s) {
        if (!WordStartOk(v, s) || !PieceAt(v, s, piece1_)) continue;
        if (!twoPieces_) {
            if (!WordEndOk(v, s + n1)) continue;
            start = s;
            end = s + n1;
            return true;
        }
        int t = s + n1;
        while (t + n2 <= v.length && !(PieceAt(v, t, piece2_) && WordEndOk(v, t + n2))) ++t;
        // The rest of the paragraph does not hold the second piece after this
        // start, so it cannot after any later start either.
        if (t + n2 > v.length) return false;
        start = s;
        end = t + n2;
        return true;
    }
    return false;
}

bool TJDTextFinder::SearchParBackward(const ParView& v, int from, int& start, int& end) const {
    if (from < 0 || v.length == 0) return false;
    from = std::min(from, v.length - 1);
    if (wordMode_) return WordBackward(v, from, start, end);
    int n1 = static_cast<int>(piece1_.size()), n2 = static_cast<int>(piece2_.size());
    if (!twoPieces_) {
        for (int s = std::min(from, v.length - n1); s >= 0; --s) {
            if (WordStartOk(v, s) && PieceAt(v, s, piece1_) && WordEndOk(v, s + n1)) {
                start = s;
                end = s + n1;
                return true;
            }
        }
        return false;
    }
    // The second piece first, going back from the scan offset, then the first
    // piece further back.
    for (int t = std::min(v.length - n2, from); t >= 0; --t) {
        if (!PieceAt(v, t, piece2_) || !WordEndOk(v, t + n2)) continue;
        int s = t - n1;
        while (s >= 0 && !(WordStartOk(v, s) && PieceAt(v, s, piece1_))) --s;
        // No first piece before this second piece: none before an earlier one either.
        if (s < 0) return false;
        start = s;
        end = t + n2;
        return true;
    }
    return false;
}

bool TJDTextFinder::IsWordEnd(const ParView& v, int i) const {
    unsigned char c = v.Char(i);
    if (!AttrPasses(v.Attr(i))) return true;
    if (WordSeparator && c == static_cast<unsigned char>(WordSeparator)) return true;
    if (OnlyWordSeparator()) return false;
    if (IsApostrophe(c)) return !(i + 1 < v.length && !IsSeparator(v.Char(i + 1)));
    return IsSeparator(c);
}

bool TJDTextFinder::IsWordChar(const ParView& v, int i) const {
    unsigned char c = v.Char(i);
    if (!AttrPasses(v.Attr(i))) return false;
    if (WordSeparator && c == static_cast<unsigned char>(WordSeparator)) return false;
    if (OnlyWordSeparator()) return true;
    return !IsSeparator(c);
}

bool TJDTextFinder::WordForward(const ParView& v, int from, int& start, int& end) const {
    int i = std::max(from, 0);
    while (i < v.length && !IsWordChar(v, i)) ++i;
    if (i >= v.length) return false;
    int e = i + 1;
    while (e < v.length && !IsWordEnd(v, e)) ++e;
    start = i;
    end = e;
    return true;
}

bool TJDTextFinder::WordBackward(const ParView& v, int from, int& start, int& end) const {
    int i = from;
    while (i >= 0 && !IsWordChar(v, i)) --i;
    if (i < 0) return false;
    // Back to the word's first character: an apostrophe belongs to the word
    // when a letter follows it and it is not the word's first character.
    int s = i;
    while (s > 0) {
        if (IsWordChar(v, s - 1)) {
            --s;
        } else if (s >= 2 && !OnlyWordSeparator() && IsApostrophe(v.Char(s - 1)) && IsWordChar(v, s - 2)) {
            s -= 2;
        } else {
            break;
        }
    }
    int e = s + 1;
    while (e < v.length && !IsWordEnd(v, e)) ++e;
    start = s;
    end = e;
    return true;
}

void TJDTextFinder::Matched(const ParView& v, int start, int end) {
    foundLen_ = end - start;
    foundPos_ = parStart_ + start;
    scanOffset_ = start;
    found_ = true;
    const TJDCharAttr* a = v.Attr(start);
    foundAttr_ = a ? *a : (engine_ ? engine_->currentAttr : TJDCharAttr{});
}

// --- walking paragraphs --------------------------------------------------------------------------

void TJDTextFinder::SearchToEnd() {
    found_ = false;
    SplitPattern();
    ParView& v = view_;
    while (scanPar_ && !found_) {
        v.Build(scanPar_);
        int s, e;
        if (SearchParForward(v, scanOffset_, s, e)) {
            Matched(v, s, e);
            break;
        }
        parStart_ += v.length + 1;
        scanPar_ = scanPar_->next;
        scanOffset_ = 0;
    }
    currentPar = scanPar_;
}

void TJDTextFinder::SearchToStart() {
    found_ = false;
    SplitPattern();
    ParView& v = view_;
    while (scanPar_ && !found_) {
        v.Build(scanPar_);
        int s, e;
        if (scanOffset_ >= 0 && SearchParBackward(v, scanOffset_, s, e)) {
            Matched(v, s, e);
            break;
        }
        TParagraph* prev = scanPar_->prev;
        if (!prev) break;  // the start of the text: nothing before it is read
        int len = ParLength(prev);
        parStart_ -= len + 1;
        scanPar_ = prev;
        scanOffset_ = len - 1;
    }
    currentPar = scanPar_;
}

// --- searching --------------------------------------------------------------------------------------

bool TJDTextFinder::Next(const std::string& pattern) {
    if (!engine_) return false;
    if (!positioned) MoveTo(parStart_ + scanOffset_ + foundLen_);
    if (!scanPar_ || pattern.empty()) return false;
    scanOffset_ += foundLen_;
    found_ = false;
    toStart_ = false;
    pattern_ = pattern.substr(0, kMaxPattern);
    SearchToEnd();
    return found_;
}

bool TJDTextFinder::Prev(const std::string& pattern) {
    if (!engine_) return false;
    std::int32_t at = parStart_ + scanOffset_ - 1;
    if (at < 0) {  // a search back from the start finds nothing
        ClearMatch();
        return false;
    }
    if (!positioned) MoveTo(at);
    else --scanOffset_;
    if (!scanPar_ || pattern.empty()) return false;
    found_ = false;
    toStart_ = true;
    pattern_ = pattern.substr(0, kMaxPattern);
    SearchToStart();
    return found_;
}

std::int32_t TJDTextFinder::FinderReplaceAll(const std::string& pattern, const std::string& newText) {
    if (!engine_) return 0;
    if (!positioned) MoveTo(parStart_ + scanOffset_ + foundLen_);
    if (!scanPar_ || pattern.empty()) return 0;
    scanOffset_ += foundLen_;
    found_ = false;
    toStart_ = false;
    replaceCount_ = 0;
    pattern_ = pattern.substr(0, kMaxPattern);
    for (;;) {
        SearchToEnd();
        if (!found_) break;
        if (!ReplaceFound(newText)) break;
        scanOffset_ += static_cast<std::int32_t>(newText.size());
        foundLen_ = 0;
        ++replaceCount_;
        if (replaceCount_ % kEscapePollEvery == 0 && escapeHeld && escapeHeld()) break;
    }
    return replaceCount_;
}

std::string TJDTextFinder::FoundText() const {
    if (!found_ || foundLen_ <= 0 || !scanPar_) return std::string();
    ParView& v = foundView_;
    v.Build(scanPar_);
    std::string s;
    for (int i = scanOffset_; i < scanOffset_ + foundLen_ && i < v.length; ++i) s.push_back(static_cast<char>(v.Char(i)));
    return s;
}

bool TJDTextFinder::ReplaceFound(const std::string& newText) {
    if (!engine_ || !found_ || !scanPar_) return false;
    ParView v;
    v.Build(scanPar_);
    if (scanOffset_ + foundLen_ > v.length) return false;
    // The line and position of the match's first character.
    std::size_t k = 0;
    while (k + 1 < v.lines.size() && scanOffset_ >= v.starts[k] + v.lines[k]->Length()) ++k;
    TLine* line = v.lines[k];
    int pos = scanOffset_ - v.starts[k];
    if (!engine_->ProtectionTest(scanPar_, line, pos, true)) return false;
    TJDCharAttr attr = foundAttr_;
    attr.style &= static_cast<std::uint16_t>(~kStyleObject);
    try {
        if (static_cast<int>(newText.size()) - foundLen_ + line->Length() > kMaxLineLength) return false;
        // Delete the match (it may run over several lines), then insert.
        int left = foundLen_;
        TLine* l = line;
        int p = pos;
        while (left > 0 && l) {
            int take = std::min(left, l->Length() - p);
            engine_->ReplaceInLine(l, p, take, std::string(), nullptr);
            left -= take;
            l = l->next;
            p = 0;
        }
        engine_->ReplaceInLine(line, pos, 0, newText, &attr);
    } catch (const ERichTextError&) {
        return false;
    }
    scanPar_->state |= kParNeedsLayout;
    foundLen_ = static_cast<std::int32_t>(newText.size());
    found_ = true;
    return true;
}

}  // namespace richtext
