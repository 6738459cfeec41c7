// Walking a range of the document model out to a stream: the writer
// framework with its hooks, the plain-text form and the RTF writer.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/model/rtf_text.h"

namespace richtext {

// Writer results.
enum : int {
    kWriteOk = 0,
    kWriteOutOfMemory = 2,
    kWriteFailed = 7,
    kWriteNothing = 8,
};

class TJDTextWriter {
public:
    explicit TJDTextWriter(TJDRTFText* model) : model_(model) {}
    virtual ~TJDTextWriter() = default;
    TJDTextWriter(const TJDTextWriter&) = delete;
    TJDTextWriter& operator=(const TJDTextWriter&) = delete;

    // The range; nullptr lines mean the first line of the start paragraph and
    // the end of the document. Positions are inside the start and end lines
    // (-1: the line's end).
    void SetRange(TParagraph* startPar, TLine* startLine = nullptr, int startPos = 0,
                  TParagraph* endPar = nullptr, TLine* endLine = nullptr, int endPos = -1);
    // Writes the range (the whole document when no range was set); returns the result.
    int Write(std::ostream& out);
    int Result() const { return result_; }

    bool leaveOutInsertPointText = false;
    bool leaveOutAutomaticText = false;

protected:
    // Hooks in their design order; each returns false on a failed write.
    virtual bool WriteAttr(const TJDCharAttr& a) { return true; }
    virtual bool Hook1() { return true; }
    virtual bool WriteText(std::string_view text) { return Put(text); }
    virtual bool WriteLine(TLine* line, int from, int to);
    virtual bool BetweenLines() { return true; }
    virtual bool EndParagraph(TParagraph* par, bool last) { return Put("\r"); }
    virtual bool Hook6() { return true; }
    virtual bool StartParagraph(TParagraph* par) { return true; }
    virtual bool WriteObject(TLine* line, int index) { return true; }
    virtual bool WriteFootnote(TLine* line, int index) { return true; }
    virtual bool BeginDocument() { return true; }
    virtual bool WriteRange();
    virtual bool EndDocument() { return Put(std::string_view("\0", 1)); }

    bool Put(std::string_view s);
    bool Flush();

    TJDRTFText* model_;
    std::ostream* out_ = nullptr;
    TParagraph* prevPar_ = nullptr;
    TParagraph* curPar_ = nullptr;
    TLine* curLine_ = nullptr;
    std::int64_t written_ = 0, toWrite_ = 0;
    TParagraph* startPar_ = nullptr;
    TLine* startLine_ = nullptr;
    int startPos_ = 0;
    TParagraph* endPar_ = nullptr;
    TLine* endLine_ = nullptr;
    int endPos_ = -1;
    int result_ = kWriteOk;

private:
    std::string buf_;
    bool rangeSet_ = false;
};

// Plain text: paragraphs separated by CR LF, none after the last, and one NUL
// at the end of the data.
class TJDPlainTextWriter : public TJDTextWriter {
public:
    using TJDTextWriter::TJDTextWriter;

protected:
    bool WriteLine(TLine* line, int from, int to) override;
    bool EndParagraph(TParagraph* par, bool last) override { return Put("\r\n"); }
};

class TJDRTFWriter : public TJDTextWriter {
public:
    using TJDTextWriter::TJDTextWriter;

    bool leaveOutShad = false;
    // Objects with a reference text are written as "\{first rest\}" instead of the picture.
    bool pictureReferences = false;
    // Linked picture files below this folder are written relative to it.
    std::string pictureBaseDir;
    // Device-dependent bitmaps are written as device-independent ones
    // (\\dibitmap0), which every reader can show without the display's colours.
    bool writeBitmapAsDib = false;
    // The body alone, for a caller that places it in a document of its own:
    // no head (font and colour tables, page, margins, information) and no
    // closing brace.
    bool bodyOnly = false;

    static constexpr int kMaxRowCells = 50;

protected:
    bool WriteAttr(const TJDCharAttr& a) override;
    bool WriteText(std::string_view text) override;
    bool EndParagraph(TParagraph* par, bool last) override;
    bool StartParagraph(TParagraph* par) override;
    bool WriteObject(TLine* line, int index) override;
    bool WriteFootnote(TLine* line, int index) override;
    bool BeginDocument() override;
    bool EndDocument() override;

private:
    struct ParState {
        std::uint8_t alignment = 0;
        std::int32_t first = 0, left = 0, right = 0, spaceBefore = 0, spaceAfter = 0, lineSpacing = 0;
        std::uint32_t border = 0;
        std::array<std::uint16_t, 4> tabs{};
    };
    enum GroupKind { kParagraphGroup = 0, kTabGroup = 1, kRowGroup = 2, kBorderGroup = 3, kShadingGroup = 4 };
    struct Group {
        int kind;
        ParState state;
    };
    struct Cell {
        std::uint32_t border;
        std::uint8_t width, start;
        std::int32_t spaceBefore, lineSpacing;
        std::uint8_t shading, shadingPct;
        bool operator==(const Cell&) const = default;
    };

    bool Word(std::string_view w);
    bool Word(std::string_view w, std::int64_t n);
    bool OpenGroup(int kind);
    bool CloseGroupsFrom(std::size_t index);
    bool CloseRtfCode();
    bool Escaped(std::string_view text);
    bool WriteBorderWords(std::uint32_t border, bool cell);
    bool WriteHex(const std::string& bytes, std::size_t from);
    std::vector<Cell> RowCells(TParagraph* first) const;
    ParState& State() { return groups_.back().state; }

    std::vector<Group> groups_;
    std::vector<Cell> row_;
    std::int32_t tableWidth_ = 0;
    bool rtfCodeOpen_ = false, hiddenOpen_ = false;
    bool needDelimiter_ = false;  // the last thing written was a control word
};

}  // namespace richtext
