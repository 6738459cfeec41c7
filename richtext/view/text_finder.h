// Searching the text of one engine for a pattern in either direction, with
// a wildcard, whole words, case rules and an attribute filter, and replacing
// matches. A pattern of the wildcard alone returns the text word by word
// (the spell checker's word scanner).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "richtext/model/rtf_text.h"

namespace richtext {

// Attribute filter bits (low byte: same look as the template; high byte: kinds of text).
enum : std::uint16_t {
    kFindSameFont = 0x0001,
    kFindSameSize = 0x0002,
    kFindBold = 0x0004,
    kFindUnderline = 0x0008,
    kFindItalic = 0x0010,
    kFindDoubleUnderline = 0x0020,
    kFindSameColor = 0x0040,
    kFindSameBackColor = 0x0080,
    kFindObject = 0x0100,
    kFindInsertPoint = 0x0200,
};

class TJDTextFinder {
public:
    static constexpr std::size_t kMaxPattern = 255;
    static constexpr int kEscapePollEvery = 30;

    virtual ~TJDTextFinder() = default;

    // Points the finder at an engine's text (its header and first paragraph).
    void SetText(TJDRTFText* engine);

    // Virtual operations in their design order.
    virtual std::int32_t MoveTo(std::int32_t pos);
    virtual void SearchToEnd();
    virtual void SearchToStart();
    virtual bool CharMatches(unsigned char textChar, unsigned char patternChar, const TJDCharAttr* tmpl,
                             const TJDCharAttr* entry) const;
    virtual bool IsSeparator(unsigned char c) const;
    virtual bool Next(const std::string& pattern);
    virtual std::int32_t FinderReplaceAll(const std::string& pattern, const std::string& newText);
    virtual bool Prev(const std::string& pattern);
    virtual void ResetAll();

    // The name the editors use for the search towards the start.
    bool Prior(const std::string& pattern) { return Prev(pattern); }

    void FinderToStart();
    void FinderMoveTo(std::int32_t pos) { MoveTo(pos); }
    std::int32_t FoundPosition() const { return found_ ? foundPos_ : 0; }
    std::int32_t FoundLength() const { return found_ ? foundLen_ : 0; }
    bool Found() const { return found_; }
    std::string FoundText() const;
    void FoundText(std::string& out) const { out = FoundText(); }
    void FoundAttr(TJDCharAttr& out) const { out = foundAttr_; }
    // Replaces the last match; the new text becomes the match. False when
    // there is no match or the text refuses the change.
    bool ReplaceFound(const std::string& newText);
    std::int32_t ReplaceCount() const { return replaceCount_; }

    // Settings.
    std::uint16_t attrMask = 0;
    std::uint16_t attrTag = 0;
    TJDCharAttr attrTemplate{};
    std::uint8_t CaseMode = 0;  // 1: letters must match exactly
    char Wildcard = 0;          // 0: none
    char WordSeparator = 0;
    bool BlankSeparates = false;
    bool WholeWords = false;
    // Set: the scan trusts its paragraph pointers; clear: each search first
    // re-places the scan from absolute positions.
    bool positioned = false;
    // Polled every kEscapePollEvery replacements; replace-all stops while it is true.
    std::function<bool()> escapeHeld;

    // The paragraph the scan is in (mirror for callers).
    TParagraph* currentPar = nullptr;

private:
    // The characters of one paragraph across its lines.
    struct ParView {
        std::vector<TLine*> lines;
        std::vector<int> starts;
        int length = 0;
        void Build(TParagraph* p);
        unsigned char Char(int i) const;
        const TJDCharAttr* Attr(int i) const;
    };

    // Scratch views kept between searches, so a word-by-word scan does not
    // allocate for every word.
    ParView view_;
    mutable ParView foundView_;

    bool AttrPasses(const TJDCharAttr* entry) const;
    bool PieceAt(const ParView& v, int at, const std::string& piece) const;
    bool WordStartOk(const ParView& v, int at) const;
    bool WordEndOk(const ParView& v, int end) const;
    bool SearchParForward(const ParView& v, int from, int& start, int& end) const;
    bool SearchParBackward(const ParView& v, int from, int& start, int& end) const;
    bool WordForward(const ParView& v, int from, int& start, int& end) const;
    bool WordBackward(const ParView& v, int from, int& start, int& end) const;
    bool IsWordChar(const ParView& v, int i) const;
    bool OnlyWordSeparator() const { return WordSeparator != ' ' && !BlankSeparates; }
    bool IsWordEnd(const ParView& v, int i) const;
    void SplitPattern();
    void Matched(const ParView& v, int start, int end);
    void ClearMatch();

    TJDRTFText* engine_ = nullptr;
    TTextHeader* header_ = nullptr;
    TParagraph* first_ = nullptr;

    std::int32_t foundPos_ = 0, foundLen_ = 0, parStart_ = 0;
    bool found_ = false, toStart_ = false;
    std::string pattern_, piece1_, piece2_;
    bool twoPieces_ = false, wordMode_ = false;
    TJDCharAttr foundAttr_{};
    TParagraph* scanPar_ = nullptr;
    std::int32_t scanOffset_ = 0;
    std::int32_t replaceCount_ = 0;
};

}  // namespace richtext
