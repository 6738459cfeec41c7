// The load/save front end of the text engine: choosing a reader or writer by
// format, file name or content, positions of the cursor and selection, a
// string-list view of the text and a component that only holds an engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <ostream>
#include <string>

#include "platform/core/streams.h"
#include "richtext/io/text_reader.h"
#include "richtext/io/text_writer.h"
#include "richtext/model/rtf_text.h"

namespace richtext {

// A place in the text: paragraph, line and position in the line.
struct TTextPointer {
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int pos = 0;
    bool operator==(const TTextPointer&) const = default;
};

// Load results besides the reader's own codes.
enum : int {
    kLoadFailed = 7,  // the reader raised
    kLoading = 8,     // set while a load runs
};

// Plain text: one paragraph per line; CR LF, CR or a lone LF ends a line.
class TJDPlainTextReader : public TJDTextReader {
public:
    void SetStartAttr(const TJDCharAttr& a) { attr_ = a; }

protected:
    void HandleChar(int ch) override;

private:
    bool afterCr_ = false;
};

class TJDRTFTextIo : public TJDRTFText {
public:
    explicit TJDRTFTextIo(TJDMemoryFormat format = TJDMemoryFormat::fmRichText);

    // --- formats and options --------------------------------------------------------
    TJDLoadFormat LoadFormat = TJDLoadFormat::AutomaticFormat;
    TJDLoadFormat SaveFormat = TJDLoadFormat::AutomaticFormat;
    // Used instead of the format's reader and writer while set and not disabled.
    TJDTextReader* externalReader = nullptr;
    TJDTextWriter* externalWriter = nullptr;
    bool disableExternal = false;
    // Copied into every writer.
    bool leaveOutInsertPointText = false;
    bool leaveOutAutomaticText = false;
    bool leaveOutShad = false;
    // Loading into a text: tsTRUE inserts at the cursor, tsFALSE replaces the
    // whole text, tsIgnore replaces an empty text and inserts into any other.
    TThreeState insertSelection = TThreeState::tsIgnore;
    // Folder tried for pictures named by loaded text.
    std::filesystem::path pictureBaseDir;
    // Device-dependent bitmaps are saved as device-independent ones in RTF.
    bool writeBitmapAsDib = false;
    // HTML comments read as footnotes (shown or hidden marks) and footnotes
    // written as comments; off skips comments and drops notes.
    TStoreHTMLComment htmlStoreComment = TStoreHTMLComment::shcOFF;
    // A page's background picture named by loaded HTML is read from its file
    // (the name as given, else below pictureBaseDir) and painted under the text.
    bool backgroundLoadFromFile = false;
    // The text of a load or save result (0 gives an empty text).
    static std::string ResultText(int result, bool saving);

    int LoadResult() const { return loadResult_; }
    int SaveResult() const { return saveResult_; }
    bool SavingToFile() const { return savingToFile_; }
    // The format the last LoadFromFile found.
    TJDLoadFormat LastFileFormat() const { return lastFileFormat_; }

    // --- cursor and selection ---------------------------------------------------------
    TTextPointer cursor;
    TTextPointer selStart, selEnd;
    bool selReversed = false;
    bool HasSelection() const { return selStart.par && selEnd.par && !(selStart == selEnd); }
    void ClearSelection();

    // --- whole text ---------------------------------------------------------------------
    // One paragraph with one empty line.
    bool IsEmpty() const;
    void ClearText() override;
    void AssignFrom(const TJDRTFTextIo& source);
    // The "Data" property: the text as RTF, stored only when the text is not empty.
    bool HasData() const { return !IsEmpty(); }
    void ReadData(std::istream& in);
    void WriteData(std::ostream& out);

    // --- loading ------------------------------------------------------------------------
    // The format of the stream's content from its position; the position is kept.
    static TJDLoadFormat DetectFormat(std::istream& in);
    int LoadWithReader(std::istream& in, TJDTextReader& reader);
    TJDLoadFormat LoadFromStream(std::istream& in);
    TJDLoadFormat LoadFromStream(plat::Stream& stream);
    TJDLoadFormat LoadFromString(const std::string& bytes);
    // Raises plat::EFOpenError when the file cannot be opened.
    TJDLoadFormat LoadFromFile(const std::string& fileName);

    // --- saving -------------------------------------------------------------------------
    int SaveWithWriter(TJDTextWriter& writer, std::ostream& out);
    // Nothing is written (result 0) without a selection.
    int SaveSelectionWithWriter(TJDTextWriter& writer, std::ostream& out);
    int SaveToStream(std::ostream& out);
    int SaveToStream(plat::Stream& stream);
    int SaveSelectionToStream(std::ostream& out);
    std::string SaveToString();
    // Writes a temporary file beside the target and renames it over the
    // target only when everything was written; returns the result (0 success).
    // Raises plat::EFCreateError when the file cannot be created.
    int SaveToFile(const std::string& fileName);

    // --- positions ----------------------------------------------------------------------
    // Absolute character position, absolute line, paragraph index and position
    // in the paragraph of a place in the text.
    void GetPosition(const TParagraph* par, const TLine* line, int posInLine, int& pos, int& absLine,
                     int& parIndex, int& posInPar) const;
    bool PositionToPointer(int pos, TTextPointer& out) const;
    bool LineToPointer(int absLine, TTextPointer& out) const;
    bool ParPositionToPointer(int parIndex, int posInPar, TTextPointer& out) const;
    void GetCursor(int& pos, int& absLine, int& parIndex, int& posInPar) const;
    // By absolute position (absLine 0) or by absolute line (pos 0); false when out of the text.
    bool SetCursor(int pos, int absLine);

    // Table flags that do not form rows are dropped before pages are counted;
    // true when a paragraph lost them (it is marked for layout then).
    bool RepairTableFlags();
    // Repairs the table flags, then marks the lines that start a page and
    // returns the document height in pixels. Without a layout no line has a
    // height, so only the repair happens here; the layout fills in the rest.
    virtual int ComputePageStarts();

    // --- numbering ----------------------------------------------------------------------
    // Regenerates the numbering text of every numbered paragraph from its list
    // style and level, removes numbering text from paragraphs that are no
    // longer numbered, and marks every changed paragraph for layout. Runs
    // after every change of the text; true when a paragraph changed.
    bool Renumber();
    bool AnyNumbered() const;

protected:
    // Loaded HTML named a background picture and backgroundLoadFromFile is
    // on; the painting engine loads and shows it.
    virtual void PageBackgroundNamed(const std::string& name) {}
    // Tells the owner's error event of a failed load or save.
    void ReportResult(int result, bool saving);

private:
    std::unique_ptr<TJDTextWriter> MakeWriter(TJDLoadFormat format);
    bool InsertReadText(TJDRTFText& read);

    int loadResult_ = 0;
    int saveResult_ = 0;
    bool savingToFile_ = false;
    TJDLoadFormat lastFileFormat_ = TJDLoadFormat::AutomaticFormat;
};

// The text as a list of strings, one per paragraph.
class TJDRtfStrings {
public:
    explicit TJDRtfStrings(TJDRTFTextIo& engine) : engine_(engine) {}
    // 0 for a text of one empty paragraph.
    int Count() const;
    // Empty at or past Count.
    std::string Get(int index) const;
    void Put(int index, const std::string& s);
    void Insert(int index, const std::string& s);
    int Add(const std::string& s);
    void Delete(int index);
    void Clear();
    void BeginUpdate() { ++updating_; }
    void EndUpdate();
    // Loads with detection of the format; the engine's load format is restored.
    void LoadFromStream(std::istream& in);
    // Always plain text.
    int SaveToStream(std::ostream& out);

private:
    TJDRTFTextIo& engine_;
    int updating_ = 0;
};

// A component that only holds an engine.
class TJDRtfStorage {
public:
    TJDRTFTextIo& RtfText() { return text_; }
    void SetRtfText(const TJDRTFTextIo& source) { text_.AssignFrom(source); }

private:
    TJDRTFTextIo text_;
};

// Frees a paragraph chain handed out by DetachParagraphs.
void FreeParagraphList(TParagraph* list);

}  // namespace richtext
