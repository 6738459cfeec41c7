// The document model of the text engine: paragraphs of lines, each line a
// character buffer with one attribute entry per character, the page header,
// embedded objects and footnotes. Readers fill it, writers walk it, layout
// and editing (later in the chain) work on it.
//
// List style codes map to formatter kinds here; the load/save front end
// regenerates the numbering text after every change and the RTF and HTML
// writers write that text, so what is saved is what was shown. Footnote and
// object ids and tags come from running counters: when every 16-bit number is
// taken, adding raises ERichTextError and the readers stop with
// kReadTooManyObjects rather than reuse an id. A picture's reference text
// travels in stored RTF as {\*\jdpicref ...} before the picture and is written
// as \{ref\} when references are asked for, which is how the build names
// pictures for the help compiler.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "richtext/model/jd_txt_def.h"
#include "richtext/model/text_services.h"

namespace plat {
class TGraphic;
}

namespace richtext {

// Raised by the model with the texts its callers show.
class ERichTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Paragraph flags.
enum : std::uint8_t {
    kParPageBreak = 0x01,
    kParNotFirstCell = 0x02,
    kParCellFollows = 0x04,
    kParTableCell = 0x08,
    kParProtected = 0x10,
    kParPreformatted = 0x20,
    kParKeepTogether = 0x80,
};
// Paragraph state: must be laid out again.
constexpr std::uint8_t kParNeedsLayout = 0x03;
// Line flag: a page starts with this line.
constexpr std::uint8_t kLinePageStart = 0x02;

// Border word bits.
enum : std::uint32_t {
    kBorderOn = 0x0001,
    kBorderGroupEnd = 0x0002,
    kBorderTop = 0x0004,
    kBorderBottom = 0x0008,
    kBorderLeft = 0x0010,
    kBorderRight = 0x0020,
    kBorderBox = 0x0040,
    kBorderDouble = 0x0080,
    kBorderDotted = 0x0100,
    kBorderHairline = 0x0200,
    kBorderBar = 0x0400,
    kBorderTableLine = 0x4000,
};
constexpr std::uint32_t BorderWidthByte(std::uint32_t b) { return (b >> 16) & 0xFF; }
constexpr std::uint32_t BorderSpacingNibble(std::uint32_t b) { return (b >> 28) & 0x0F; }
constexpr std::uint32_t BorderColorNibble(std::uint32_t b) { return (b >> 24) & 0x0F; }

struct TLine {
    std::uint16_t layout = 0;
    std::string text;                 // the characters; std::string keeps them NUL-terminated
    std::vector<TJDCharAttr> attrs;   // one entry per character in a rich model (checked by
                                      // the model's edits); empty in a plain-text model
    TLine* next = nullptr;
    TLine* prev = nullptr;
    std::uint8_t flags = 0;           // 0x01 changed since the last paint, 0x02 page start
    // Layout results in device pixels; the line layout fills them.
    std::uint16_t height = 0, ascent = 0;          // with the paragraph's spacing
    std::uint16_t textHeight = 0, textAscent = 0;  // of the characters alone
    std::int32_t top = 0;                          // from the top of the document
    std::uint8_t selState = 0;        // 0 none, 2 wholly selected, 3 partly, 4 being updated
    std::int32_t width = 0;           // width of the characters (no trailing blank)
    std::int32_t stretchIndex = -1;   // justified: first blank that is stretched, else -1
    std::int32_t stretchWidth = 0;    // width of each stretched blank
    std::int32_t stretchRemainder = 0;  // that many stretched blanks get one pixel more
    int Length() const { return static_cast<int>(text.size()); }
};

struct TParagraph {
    std::int32_t firstIndent = 0;  // from the margin, like the left indent
    std::int32_t leftIndent = 0;
    std::int32_t rightIndent = 0;
    std::int32_t spaceBefore = 0, spaceAfter = 0, lineSpacing = 0;
    std::uint8_t alignment = 0;  // 0 left, 1 right, 2 centred, 3 justified
    std::uint8_t flags = 0;
    std::uint8_t state = kParNeedsLayout;
    std::uint32_t border = 0;
    std::uint8_t shading = 0;     // high nibble background, low nibble foreground colour
    std::uint8_t shadingPct = 0;
    TLine* lines = nullptr;
    TParagraph* next = nullptr;
    TParagraph* prev = nullptr;
    std::array<std::uint16_t, 4> tabs{};  // bit i = slot i of the header's tab table
    std::uint8_t cellWidth = 0;   // 255ths of the row width
    std::uint8_t cellStart = 0;
    std::uint8_t numbering = 0;   // list style x 16 + level; 0 = not numbered
    std::uint8_t parFlags2 = 0;   // 0x40: the last line of a justified paragraph is stretched too

    bool HasTab(int slot) const { return (tabs[slot / 16] >> (slot % 16)) & 1; }
    void SetTab(int slot) { tabs[slot / 16] |= static_cast<std::uint16_t>(1u << (slot % 16)); }
    bool IsCell() const { return flags & kParTableCell; }
};
using PTParagraph = TParagraph*;

// Copies every property of a paragraph but its lines and links.
void CopyParProps(TParagraph& dst, const TParagraph& src);

// Embedded object (picture or any object of the application).
struct TJDObjectRecord {
    std::shared_ptr<plat::TGraphic> object;  // may be empty until supplied
    std::uint16_t tag = 0;
    std::uint16_t id = 0;
    std::uint8_t inUse = 0;       // mark of the mark-and-sweep clean-up
    std::uint8_t valid = 0;
    std::int32_t width = 0, height = 0;  // twips
    bool owned = true;
    bool linked = false;          // a linked picture file
    std::string fileName;         // the linked file, or the object's name
    std::string referenceText;    // "first word, blank, the rest" written instead when asked
    std::uint32_t flag = 0;
    std::uint32_t linkId = 0;
    // Placement against the line: 1 bottom, 2 on the baseline, 3 centred, else top.
    std::uint8_t verticalAlign = 0;
    std::function<void(TJDObjectRecord&)> onClick;
    // The tag the object's character carries.
    std::uint16_t CharTag() const { return tag ? tag : id; }
};

struct TJDFootnote {
    char mark = '?';
    std::int32_t number = 0;   // from \jdfnnr, 0 when none
    std::uint16_t id = 0;      // tag of the mark character
    std::string text;
    std::string buffer;        // prepared RTF written instead of the text when not empty
    bool writeWithoutNumber = false;
};

class TJDRTFText {
public:
    explicit TJDRTFText(TJDMemoryFormat format = TJDMemoryFormat::fmRichText);
    virtual ~TJDRTFText();
    TJDRTFText(const TJDRTFText&) = delete;
    TJDRTFText& operator=(const TJDRTFText&) = delete;

    // --- structure ---------------------------------------------------------
    TParagraph* FirstParagraph() const { return first_; }
    TParagraph* LastParagraph() const;
    int ParagraphCount() const;
    // Allocates a paragraph with one empty line after `after` (nullptr: as the first).
    TParagraph* NewParagraph(TParagraph* after);
    TLine* NewLineAfter(TParagraph* par, TLine* after);
    static TLine* LastLine(const TParagraph* par);
    TJDCharAttr* AttribPtr(TLine* line, int index);
    static void CopyAttr(TJDCharAttr* dst, const TJDCharAttr* src, int n);
    // Unlinks and frees a line; an emptied paragraph goes too, but the last
    // paragraph of the document keeps one empty line.
    void DeleteLine(TParagraph* par, TLine* line);
    void DeleteParagraph(TParagraph* par);
    int ParagraphIndex(const TParagraph* par) const;
    TParagraph* ParagraphAt(int index) const;
    void DeleteParagraphAt(int index);
    TParagraph* InsertParagraphAt(int index, const std::string& text);

    // --- text --------------------------------------------------------------
    // Appends one character with `attr` (code 1010 is a line break stored as 10;
    // CR and LF are dropped). Raises at the line-length limit.
    void InsertChar(TLine* line, int ch, const TJDCharAttr& attr);
    // Appends the character (code 1) that stands for an existing object.
    void AppendObjectChar(TLine* line, const TJDCharAttr& attr, const TJDObjectRecord& rec);
    void ReplaceInLine(TLine* line, int pos, int removeCount, const std::string& text,
                       const TJDCharAttr* attr);
    // Text after `pos` (counted over the paragraph's lines) becomes a new paragraph.
    TParagraph* SplitParagraph(TParagraph* par, int pos);
    // Deletes the paragraph end after `par`; false when refused.
    bool JoinAtParagraphEnd(TParagraph* par);
    // Inserts a chain of paragraphs (taken over from DetachParagraphs of
    // another model) at a position: its first paragraph joins the text before
    // the position, its last the text after it. Refused (false) in a table
    // cell; the chain stays the caller's then.
    bool InsertParagraphList(TParagraph* par, TLine* line, int pos, TParagraph* list);
    // Hands the paragraph chain to the caller and starts over with one empty paragraph.
    TParagraph* DetachParagraphs();
    // Paragraph ends count one character each and read as CR.
    std::string GetText(TParagraph* par, int pos, int count) const;
    std::string ParagraphText(const TParagraph* par) const;
    int TextLength() const;
    // One paragraph per cell; returns the first cell.
    TParagraph* CreateTable(TParagraph* after, int rows, int cols, std::uint32_t border,
                            std::int32_t spaceBefore, std::int32_t lineSpacing,
                            const std::vector<int>* cellWidths = nullptr);
    void MarkForLayoutByStyle(std::uint16_t mask);

    // Virtual operations of the chain.
    virtual void SetCharAttr(TLine* line, int index, const TJDCharAttr& tmpl);
    virtual void ProtectedChange(TParagraph* par, TLine* line, int pos, bool paragraphLevel);
    virtual void SetCurrentAttr(const TJDCharAttr& attr) { currentAttr = attr; }
    virtual void ClearText();
    virtual void ReplaceParagraphText(int index, const std::string& text);
    virtual void InsertText(TLine* line, int pos, const std::string& text);

    // True when the position may be changed; a refusal is reported through
    // the protected-change notification unless `quiet`.
    bool ProtectionTest(TParagraph* par, TLine* line, int pos, bool quiet = false);

    // --- header -------------------------------------------------------------
    TTextHeader& Header() { return *header_; }
    const TTextHeader& Header() const { return *header_; }
    // From now on this model uses `source`'s header (fonts, colours, tabs).
    void ShareHeaderOf(TJDRTFText& source) { header_ = source.header_; }
    int AddFontName(const std::string& name);
    void ResetHeader();
    void CopyHeader(const TTextHeader& from);
    // Mask bit (slot) of a tab stop at `pos` of `kind`, added when missing; kNoTabSlot when full.
    int AddTabStop(std::int32_t pos, TTabKind kind);
    // The tab stops a paragraph uses (its slots of the header's table), by
    // ascending position; empty for nullptr.
    struct TTabStop {
        std::int32_t pos = 0;  // twips
        TTabKind kind = TTabKind::tkLeft;
        int slot = 0;
    };
    std::vector<TTabStop> ParagraphTabs(const TParagraph* par) const;
    std::int32_t SnapToGrid(std::int32_t twips) const;
    void SetScreenWidth(std::int32_t twips);
    // Page size and margins in twips; the header-change hook follows.
    void SetPageSize(std::int32_t width, std::int32_t height);
    void SetMargins(std::int32_t left, std::int32_t right, std::int32_t top, std::int32_t bottom);
    // Calls the header-change hook (when installed) after the page changed.
    void NotifyHeaderChange();
    // Installed by the layout when it is created: lays the text out again for
    // the new page and tells the set-mode object.
    std::function<void()> headerChangeHook;
    void SetResolution(std::int32_t resX, std::int32_t resY);
    bool RichText() const { return header_->useAttributes; }
    // A rich model's line has one attribute per character.
    bool AttrsMatchText(const TLine* line) const {
        return !RichText() || line->attrs.size() == line->text.size();
    }
    // The whole chain: at least one paragraph, every paragraph with at least
    // one line, links both ways, lines within the length limit with their
    // attributes, and the kept paragraph count true. It walks the document:
    // for assertions after edits that rebuild the chain, and for tests.
    bool StructureSound() const;

    // --- objects and footnotes ---------------------------------------------
    // tag 0xFFFF: next free tag from 2000; 0: known by its id.
    TJDObjectRecord* AddObject(std::shared_ptr<plat::TGraphic> object, std::uint16_t tag);
    TJDObjectRecord* FindObject(std::uint16_t tag, std::uint16_t id) const;
    // The object an object character with this tag stands for.
    TJDObjectRecord* ObjectForCharTag(std::uint16_t tag) const;
    TJDObjectRecord* FindObjectByName(const std::string& name) const;
    void ClearObjectMarks();
    void RemoveUnmarkedObjects();
    const std::vector<std::unique_ptr<TJDObjectRecord>>& Objects() const { return objects_; }
    TJDFootnote* AddFootnote(char mark, std::int32_t number);
    TJDFootnote* FindFootnote(std::uint16_t id) const;
    // Footnote ids and object ids/tags come from running counters; when all
    // 16-bit numbers are taken, adding raises ERichTextError with these texts.
    static constexpr const char* kTooManyFootnotesText = "Too many footnotes";
    static constexpr const char* kTooManyObjectsText = "Too many objects";
    void ClearFootnotes();
    void RemoveFootnote(std::uint16_t id);
    const std::vector<std::unique_ptr<TJDFootnote>>& Footnotes() const { return footnotes_; }

    // Named entries: number and full name by number or by the first 8
    // characters in upper case; registering gives the next number.
    bool LookupName(const std::string& name, int& number, std::string& fullName) const;
    bool LookupNumber(int number, std::string& fullName) const;
    int RegisterName(const std::string& name);

    void NotifyChange();

    // --- state -------------------------------------------------------------
    TJDCharAttr currentAttr;   // the insert attribute
    TJDCharAttr defaultAttr;   // first entry of a new line
    std::uint16_t defaultLineLayout = 0;
    TProtectPropSet protectedProp = 0;
    bool editProtected = false;
    bool editInsertPoints = false;
    bool singleFont = false;   // the writer writes font slot 0 only
    // Size and tag given to the object record of the next object character.
    std::int32_t pendingObjectWidth = 0, pendingObjectHeight = 0;
    std::uint16_t pendingObjectTag = 0;
    TJDEngineServices services;

private:
    void FreeAll();
    void JoinNext(TParagraph* par);
    void GrowCheck(const TLine* line, int extra) const;

    std::shared_ptr<TTextHeader> header_;
    TParagraph* first_ = nullptr;
    // Loops over paragraphs by number (the text's lines as strings) would
    // walk the list at every step; the count and the last paragraph found
    // are kept until the list's links change. Every change of first_ or of a
    // paragraph's next/prev goes through LinksChanged().
    void LinksChanged() { ++links_; }
    std::uint64_t links_ = 0;
    mutable std::uint64_t countLinks_ = ~0ull, atLinks_ = ~0ull;
    mutable int count_ = 0;
    mutable int atIndex_ = 0;
    mutable TParagraph* atPar_ = nullptr;
    std::vector<std::unique_ptr<TJDObjectRecord>> objects_;
    std::vector<std::unique_ptr<TJDFootnote>> footnotes_;
    std::unordered_map<std::uint16_t, TJDFootnote*> footnoteIndex_;
    std::uint32_t nextFootnoteId_ = 1, nextObjectId_ = 1, nextObjectTag_ = 2000;
    std::vector<std::pair<int, std::string>> names_;
};

// Paragraph numbering text: 1 bullet, 2/3 letters, 4/5 Roman, 6 decimal.
std::string FormatNumber(int kind, int number);

// Generated numbering text carries this style bit.
constexpr std::uint16_t kStyleNumbering = 0x8000;
// At most this many leading characters of a paragraph are numbering text.
constexpr int kMaxNumberingChars = 10;

// List style codes of the paragraph numbering (style x 16 + level in
// TParagraph::numbering). Readers, writers and editing share them.
enum : int {
    lsNone = 1,
    lsBullet = 2,
    lsNumbers = 3,
    lsCapitalLetters = 4,
    lsLetters = 5,
    lsCapitalRoman = 6,
    lsRoman = 7,
};
// FormatNumber kind of a list style code (0: no text).
int NumberingKind(int listStyle);
// Number of leading generated numbering characters of a paragraph.
int NumberingPrefix(const TParagraph* par);

// Process-wide progress stack; the edit controls set the callback.
struct TProgressRecord {
    std::int32_t range = 100;
    std::int32_t percent = 0;
    std::uint32_t interval = 0;
    std::uint32_t lastUpdate = 0;
};
void ProgressStart(std::uint32_t intervalMs);
void ProgressUpdate(std::int64_t done, std::int64_t total);
void ProgressEnd();
const TProgressRecord* CurrentProgress();
void SetProgressCallback(std::function<void()> callback);
void SetProgressQuiet(bool quiet);

}  // namespace richtext
