// Picture masks: a small pattern language for what a field may hold
// ("###-####", "{Yes,No}", "*#", "&[?]"), checked as the user types and
// before a record is posted. The same language is stored by the table engine
// as validity-check pictures, so such a picture works here unchanged.
//
// Positions are size_t: masks and texts of any length match.
// Matching is byte-wise; every byte from 128 up counts as a letter, so the
// bytes of a multi-byte character each take one mask position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vl {

enum TvlPicResult : std::uint8_t {
    pcComplete = 0,          // a complete match
    pcIncomplete = 1,        // matches a beginning of the mask; more is required
    pcEmpty = 2,             // the text is empty
    pcError = 3,             // the text does not match
    pcSyntax = 4,            // the mask itself is malformed
    pcAmbiguous = 5,         // complete, but more characters could follow
    pcIncompleteNoFill = 6,  // incomplete, and what is missing is no fixed literal
};

inline bool IsPicComplete(TvlPicResult r) { return r == pcComplete || r == pcAmbiguous; }
inline bool IsPicIncomplete(TvlPicResult r) { return r == pcIncomplete || r == pcIncompleteNoFill; }

class TvlPictureValidator {
public:
    enum : std::uint16_t { voFill = 1, voTransfer = 4 };

    // Status becomes 1 when the mask is malformed.
    TvlPictureValidator(std::string mask, bool autoFill);
    virtual ~TvlPictureValidator() = default;

    // For each keystroke: False only when the text cannot match. Fills in
    // literals when the auto-fill option is set and fill is not suppressed.
    virtual bool IsValidInput(std::string& text, bool suppressFill);
    // For the final value: complete (ambiguous too) or empty.
    virtual bool IsValid(const std::string& text);
    // With autoFill, literal characters the mask fixes may be appended to text.
    // Letters of the text take the mask's case and its case-forcing.
    virtual TvlPicResult MatchPictureMask(std::string& text, bool autoFill);

    std::uint16_t Status = 0;
    std::uint16_t Options = 0;
    std::string Pic;

private:
    bool SyntaxOk() const;
    std::size_t ElementEnd(std::size_t k) const;
    bool SkipToComma(std::size_t term);
    TvlPicResult Process(std::size_t term);
    TvlPicResult Scan(std::size_t term);
    TvlPicResult CheckComplete(TvlPicResult r, std::size_t term) const;
    TvlPicResult Iteration(std::size_t term);
    TvlPicResult Group(std::size_t term);
    TvlPicResult MatchFromStart();

    // Match state of one call.
    std::string* text_ = nullptr;
    std::size_t i_ = 0;  // mask position, 0-based
    std::size_t j_ = 0;  // text position, 0-based
    bool blankMatched_ = false;
};

}  // namespace vl
