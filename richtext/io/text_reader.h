// Reading a byte stream into the document model: the buffered base reader
// (plain text, one paragraph per carriage return) and the RTF reader.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "richtext/io/rtf_lexer.h"
#include "richtext/model/rtf_text.h"

namespace richtext {

// Results of a read besides 0 (success).
enum : int {
    kReadUnbalancedBrace = 10,  // a "}" without its "{"
    kReadBadHex = 11,           // a non-hex digit after \'
    kReadEndInControl = 12,     // the input ended right after a backslash
    kReadTooDeep = 13,          // groups nested deeper than kMaxGroupDepth
    kReadBadPictureName = 14,   // a linked picture's quoted name has no closing quote
    kReadTooManyObjects = 15,   // every footnote or object number is taken
};

class TJDTextReader {
public:
    TJDTextReader();
    virtual ~TJDTextReader() = default;
    TJDTextReader(const TJDTextReader&) = delete;
    TJDTextReader& operator=(const TJDTextReader&) = delete;

    void SetModel(TJDRTFText* model) { model_ = model; }
    // Reads the stream into the model, after the text of its last paragraph.
    // Returns 0 or an error code; what was read stays in the model. The
    // stream is left just after the last byte consumed.
    int Read(std::istream& in, TParagraph** firstRead = nullptr);

    char escapeChar = '\\';
    bool automaticText = false;  // inserted characters also get kStyleAutomatic
    bool keepHeader = false;     // page, margins, flags and colours stay as they are

protected:
    // Virtual operations in their design order.
    virtual void EscapeFound(int ch);     // base: insert as text
    virtual void HandleChar(int ch);      // CR ends the paragraph, LF dropped
    virtual void InsertCharacter(int ch); // with the current attribute
    virtual void SetStream(std::istream* in);
    virtual int ReadAll();
    virtual const char* WrongArgumentsText() const { return "Wrong Arguments"; }

    // Next byte or -1 at the end.
    int GetChar() {
        if (bufPos_ < bufFill_) return static_cast<unsigned char>(buf_[bufPos_++]);
        return Refill();
    }
    void UngetChar();
    void EndParagraph();
    void UpdateProgress();

    std::istream* in_ = nullptr;
    TJDRTFText* model_ = nullptr;
    TParagraph* par_ = nullptr;
    TParagraph* firstPar_ = nullptr;
    TLine* line_ = nullptr;
    TJDCharAttr attr_;
    std::int64_t streamSize_ = 0;

private:
    int Refill();
    std::array<char, 1024> buf_{};
    std::size_t bufFill_ = 0, bufPos_ = 0;
    std::int64_t bufStreamPos_ = 0;  // stream position of buf_[0]
    std::int64_t lastProgressAt_ = 0;
};

class TJDRtfReader : public TJDTextReader {
public:
    static constexpr int kMaxGroupDepth = 10000;
    static constexpr int kMaxCells = 50;
    // Paragraph spacing and indents are bounded when read (twips, 10 m), so
    // that layout arithmetic stays far from overflow.
    static constexpr std::int32_t kMaxSpacing = 31680;
    static constexpr std::int32_t kMaxIndent = 31680 * 4;
    static constexpr std::size_t kMaxPictureName = 255;

    struct Entry;  // one control word of the table

    // Folder (system text or native) tried for linked pictures whose name
    // does not resolve as given.
    std::string pictureBaseDir;
    // Linked pictures named by the document that could not be read (missing,
    // not an ordinary file, or too large); their objects stay empty.
    std::vector<std::string> missingPictures;

protected:
    int ReadAll() override;
    void InsertCharacter(int ch) override;
    const char* WrongArgumentsText() const override { return "Wrong Arguments in\tTJDRTFReader"; }

private:
    struct ParaState {
        std::int32_t first = 0, left = 0, right = 0, spaceBefore = 0, spaceAfter = 0, lineSpacing = 0;
        std::uint8_t alignment = 0;
        std::uint32_t border = 0;
        std::uint8_t shading = 0, shadingPct = 0;
        std::array<std::uint16_t, 4> tabs{};
    };
    struct SaveRecord {
        TJDCharAttr attr;
        ParaState para;
        std::uint8_t dest, special;
        bool tabsInherited, inTable;
        std::int32_t uc;
    };
    void CharRoutine(int ch);
    int ControlWord();
    bool SkipFallback(int c);
    RtfLexeme LexToken();
    TJDObjectRecord* AddObjectOrStop(std::shared_ptr<plat::TGraphic> g);
    void Dispatch(const Entry* e, bool hasNum, std::int32_t num);
    void SetDestination(int handler);
    void Property(int handler, std::int32_t n);
    void BorderWord(int which);
    std::uint32_t& BorderTarget();
    void ApplyProps(TParagraph* p);
    void EndRtfParagraph();
    void CellEnd();
    void HandleRtfCodeByte(int c);
    void StartPicture();
    void EndPicture();
    void EndLinkedPicture();
    void FinishFontEntry();
    void FinalConversion();

    ParaState ps_;
    std::int32_t pendingFi_ = 0;
    bool parDirty_ = false;          // paragraph words since the last \par
    bool restoredDirty_ = false;     // a group end restored the paragraph state
    bool emptyParOwnWords_ = false;  // an empty paragraph took words given for it inside a group
    bool firstBorderAfterPar_ = false;
    bool tabsInherited_ = false;
    std::uint8_t tabKind_ = 0;
    std::vector<SaveRecord> stack_;
    std::uint8_t dest_ = 0;     // 0 text, 1 skip, 2 fonts, 3 colours, 4 picture, 5 picture file, 6 title, 7 comment, 8 subject, 9 footnote, 14 picture reference
    std::uint8_t special_ = 0;  // 3 quoted picture file name
    bool skipUnknown_ = false;
    int result_ = 0;
    bool done_ = false;

    std::array<std::uint8_t, kMaxFonts> fontMap_{};
    std::uint8_t defaultFont_ = 0;
    std::string fontName_;
    std::int32_t fontEntry_ = 0;
    int colorIndex_ = 0;

    bool inTable_ = false;
    bool defining_ = false;   // between \trowd and the row's first text
    bool mergePending_ = false;
    std::uint8_t rowGap_ = 0;  // spacing nibble from \trgaph
    int cellCount_ = 0, curCell_ = 0, runStart_ = 0;
    std::int32_t widest_ = 0, rowLeft_ = 0;
    std::array<std::int32_t, kMaxCells + 1> cellRight_{};
    std::array<std::uint32_t, kMaxCells + 1> cellBorder_{};
    std::array<std::uint8_t, kMaxCells + 1> cellShade_{}, cellShadePct_{}, cellMerge_{};

    int picKind_ = 0;
    bool picReserved_ = false;  // \wmetafile made room for the placeable header
    std::int32_t picW_ = 0, picH_ = 0, picWGoal_ = 0, picHGoal_ = 0, picScaleX_ = 100, picScaleY_ = 100;
    std::int32_t bmBits_ = 0, bmPlanes_ = 1, bmWidthBytes_ = 0;
    std::int32_t objTag_ = 0, objW_ = 0, objH_ = 0;
    std::string picBytes_;
    int picHigh_ = -1;
    std::string picFile_;
    // A picture reference (\jdpicref) and the one the next picture takes.
    std::string picRef_, pendingPicRef_;
    bool picFileQuoted_ = false;  // the name's opening quote was read
    bool picFileBad_ = false;     // the name had no closing quote
    bool shppictSeen_ = false;
    std::int32_t uc_ = 1;      // fallback bytes after a \u character (\uc)
    std::int32_t ucSkip_ = 0;  // fallback bytes still to drop

    TJDFootnote* footnote_ = nullptr;
    bool footnoteMarkSkipped_ = false;

    bool rtfCode_ = false;
    int codeMatched_ = 0;
};

}  // namespace richtext
