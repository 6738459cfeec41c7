// Line layout and painting on top of the text model: character metrics from
// the fonts of one drawing device, line breaking with tabs, alignment and
// justification, vertical positions and page starts, then drawing the lines,
// scrolling the window and keeping the cursor in view. Layout is lazy: edits
// mark paragraphs (state 0x02 measure, 0x01 break) and the passes treat only
// marked ones.
//
// Typing lays out again only the lines around the edit (RelayoutEditedLine):
// a window from two lines above, since a typed word may pull back to the line
// before, widened until its last line stands where it stood. A change that runs
// on further than a screenful leaves the lines below as they were, marked
// kLineReflowPending, and painting breaks them before it draws them, so a
// keystroke never pays for the whole document. Widths and metrics are cached
// per face, size, style, resolution and device, and per character attribute;
// both are forgotten when the device, the resolution or the size changes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/device.h"
#include "richtext/model/rtf_text.h"
#include "richtext/view/caret.h"
#include "richtext/view/rtf_text_io.h"

namespace richtext {

// PaintOptions bits.
enum : std::uint32_t {
    poNoClip = 0x0001,
    poHoldPaint = 0x0002,
    poPageWidth = 0x0004,        // lay out at the page's text width even with word wrap
    poIgnoreZoom = 0x0008,
    poCursorLocked = 0x0010,
    poNoScroll = 0x0020,         // also no pagination callbacks
    poTransparent = 0x0040,
    poHidePageBreaks = 0x0080,
    poNoPageBreakMark = 0x0100,
    poShowHidden = 0x0200,
    poLayoutLocked = 0x0400,
    poIgnoreLeftOffset = 0x0800,
    poNoSelection = 0x1000,
    poPaintOutside = 0x4000,
    poWhitePaper = 0x8000,
    poNoPaperFill = 0x10000,
    poWholeLinesOnly = 0x20000,
    poOnePage = 0x40000,
    poNoTextFill = 0x80000,
    poNoBackgroundPicture = 0x100000,
};

// Paragraph state bits.
constexpr std::uint8_t kParMustBreak = 0x01;
constexpr std::uint8_t kParMustMeasure = 0x02;
constexpr std::uint8_t kLineChanged = 0x01;
// Line flag: the lines after this one were left as they were by an edit
// above them and are broken again before they are painted.
constexpr std::uint8_t kLineReflowPending = 0x04;
// Returned by MeasureParagraph when it also measured the next, empty paragraph.
constexpr int kMeasuredNextEmpty = 777;

using TTextPos = TTextPointer;

struct TPaintedObject {
    plat::TRect rect;  // document coordinates
    TJDObjectRecord* object = nullptr;
};

class TJDRTFTextPaint : public TJDRTFTextIo {
public:
    explicit TJDRTFTextPaint(TJDMemoryFormat format = TJDMemoryFormat::fmRichText);
    ~TJDRTFTextPaint() override;

    // --- device and window ------------------------------------------------------
    void SetCanvas(plat::TDevice* canvas);
    plat::TDevice* Canvas() const { return canvas_; }
    void InitDevice();
    void SetDeviceResolution(int x, int y);
    void SetScreenWidth(int width);
    void SetWindowSize(int width, int height);
    void SetWordWrap(bool on);
    void SetZooming(int percent);
    void SetResizing(int percent);
    void SetPaintOptions(std::uint32_t options);
    std::uint32_t PaintOptions() const { return paintOptions_; }
    int Zooming() const { return zooming_; }
    int Resizing() const { return resizing_; }
    bool WordWrap() const { return wordWrap_; }
    int DefaultTabWidth() const { return defaultTabWidth_; }
    int PageTextWidth() const { return pageTextWidth_; }
    int DocumentHeight() const { return documentHeight_; }
    // Lines are laid out at 300 by 300 dots per inch (printing).
    bool fixedResolution = false;
    // Page text height is multiplied by it while printing.
    double printScale = 1.0;
    bool printJob = false;
    bool alternativeTabUnit = false;  // default tab 100/300 inch instead of 100/254
    char decimalChar = '.';

    // --- layout passes ------------------------------------------------------------
    void FormatAll();
    void MeasureAll();
    void BreakAll();
    int MeasureParagraph(TParagraph* par);
    // Returns 0 unchanged, 1 some lines changed (flagged), 2 more lines than
    // before, 3 the paragraph's height changed.
    int BreakParagraph(TParagraph* par);
    // After an edit inside one line of a laid-out paragraph: lays out again
    // only the lines the edit can move (see BreakLines).
    int RelayoutEditedLine(TParagraph* par, TLine* line, int& measured);
    virtual void ParagraphChanged(TParagraph* par);
    virtual void Paginate();
    // Page starts from the laid-out line heights (the page loop of printing
    // and the page marks read the flags it sets).
    int ComputePageStarts() override;
    void PostponeFormat(bool on);
    // Ends a postponement without the layout it held back, for a caller
    // that lays the whole text out itself straight after.
    void DropPostponedFormat() { postponeFormat_ = formatRequested_ = false; }
    void HeaderChanged();

    // --- fonts and geometry ----------------------------------------------------------
    void SelectAttrFont(const TJDCharAttr* attr);
    void SelectAttrMetrics(const TJDCharAttr* attr);
    int LeftIndentPixels(const TParagraph* par, const TLine* line) const;
    int IndentPixels(const TParagraph* par, bool firstLine) const;
    int RightIndentPixels(const TParagraph* par) const;
    int CellLeftPixels(const TParagraph* par) const;
    int CellRightPixels(const TParagraph* par) const;
    // x of the next stop; right, centre and decimal stops measure the text after the TAB at tabIndex.
    int NextTabStop(const TParagraph* par, int x, const TLine* line = nullptr, int tabIndex = -1);
    int NextTabStopIn(const TParagraph* par, int x, const char* after, const TJDCharAttr* attrs, int count);
    int LineTextWidth(const TLine* line);
    // Left edge of a line's first character in document pixels (indent and alignment).
    int LineLeft(const TParagraph* par, const TLine* line);
    int XOfPosition(const TParagraph* par, const TLine* line, int pos);
    int PositionAtX(const TParagraph* par, const TLine* line, int x);
    bool LineAtPoint(int x, int y, TParagraph*& par, TLine*& line);
    // Advance of every character of a line as painting draws it.
    void LineAdvances(const TParagraph* par, const TLine* line, std::vector<int>& dx);
    const std::array<std::int32_t, 256>& WidthTable() const { return widths_; }
    int FontHeight() const { return fontHeight_; }
    int FontAscent() const { return fontAscent_; }
    int CellTextHeight() const { return cellAHeight_; }

    TCharacterAttr InsertPointAttr, AutomaticTextAttr, HyperlinkTextAttr, ProtectedTextAttr;
    bool excludeInsertPoints = false;
    bool excludeAutomaticText = false;

    // --- painting and scrolling -----------------------------------------------------------
    void Repaint();
    virtual void RepaintWindow();
    void PaintRect(int x, int y, int width, int height);
    void PaintLine(TParagraph* par, TLine* line);
    void PaintObject(const plat::TRect& rect, TJDObjectRecord* object, int width, int height);
    bool PaintBackground(const plat::TRect& rect);
    void ScrollBy(int down, int right);
    void ScrollTo(bool vertical, int code, int position);
    void ScrollToCursor();
    void CheckCaretVisible();
    void SetColorEntry(int index, plat::COLORREF color);
    plat::COLORREF GetColorEntry(int index) const;
    void SetBackgroundPicture(std::shared_ptr<plat::TGraphic> picture, bool scrolls);
    const plat::TGraphic* BackgroundPicture() const { return background_.get(); }
    const std::vector<TPaintedObject>& PaintedObjects() const { return paintedObjects_; }
    void ClearText() override;

protected:
    void PageBackgroundNamed(const std::string& name) override;

public:
    plat::COLORREF paperColor = 0xFFFFFF;
    plat::COLORREF highlightColor = 0x6A240A;      // the system's highlight colours
    plat::COLORREF highlightTextColor = 0xFFFFFF;
    plat::COLORREF shadowColor = 0x808080;
    bool PaintGrayTable = false;
    bool shown = true;
    // Window paints the owner lets pass without drawing (each one counts down).
    int paintSkip = 0;
    bool postponeRepaint = false;
    int leftMargin = 0, topMargin = 0;
    std::int32_t TopOffset = 0;
    std::int32_t LeftOffset = 0;  // 0 or negative when scrolled
    int WindowWidth() const { return windowWidth_; }
    int WindowHeight() const { return windowHeight_; }

    // --- cursor and selection (moved by the editing engine) ----------------------------------
    int desiredX = 0;
    int caretHeight = 0, caretWidth = 1, caretTop = 0;
    bool thinCaret = false;
    // The window caret; it follows the canvas handed to SetCanvas.
    TCaret caret;
    // Document order of two positions: negative, 0 or positive.
    int ComparePositions(const TTextPos& a, const TTextPos& b) const;
    void UpdateCaretMetrics();

protected:
    struct TBusy {
        explicit TBusy(bool& f) : flag(f) { flag = true; }
        ~TBusy() { flag = false; }
        TBusy(const TBusy&) = delete;
        TBusy& operator=(const TBusy&) = delete;
        bool& flag;
    };
    bool Locked() const { return paintOptions_ & poLayoutLocked; }
    bool HeldBack() const { return (paintOptions_ & poHoldPaint) || layoutRunning_; }
    bool Collapsed(const TJDCharAttr& a) const;
    void ApplyLineRule(const TParagraph* par, TLine* line);
    void MeasureChar(TLine* line, int index, int& h, int& a);
    void MeasureLine(TParagraph* par, TLine* line);
    int BreakLines(TParagraph* par, TLine* from, TLine* to, bool force = false);
    // Breaks the lines marked kLineReflowPending between y and bottom (window
    // coordinates) and what follows them; true when it did.
    bool CompletePendingBreaks(int y, int bottom);
    // Paragraphs of at most this many lines are always broken whole.
    static constexpr int kWindowedBreakMinLines = 8;
    // Lines after an edit followed at most before the rest waits for painting.
    static constexpr int kWindowedBreakMaxLines = 128;
    plat::COLORREF ColorOf(int index) const;
    int TextWidthForBreaking() const;
    int TextWidthTwips() const;
    void UpdateTextWidth();
    void FixTableFlags();
    int PaginateLines();
    // Character offset of a (line, pos) within its paragraph and back.
    static int OffsetInPar(const TParagraph* par, const TLine* line, int pos);
    void Redraw(TParagraph* par, TLine* line);

    struct TFontMetrics {
        std::array<std::int32_t, 256> widths{};
        int height = 1, ascent = 1;
    };
    static constexpr std::size_t kMetricsCacheLimit = 1024;
    const TFontMetrics& DeviceFontMetrics();
    void UseMetrics(const TFontMetrics& m);
    // The attribute-to-metrics shortcut and the last selected attribute are forgotten.
    void ForgetFont();
    std::unordered_map<std::uint64_t, TFontMetrics> attrMetrics_;
    // Metrics by font and resolution; emptied when the device changes.
    std::unordered_map<std::string, TFontMetrics> metricsCache_;
    std::uint64_t formatPasses_ = 0;  // FormatAll passes run
    // The lines the last break made (valid until the next change of lines).
    struct TBrokenLines {
        TParagraph* par = nullptr;
        TLine *first = nullptr, *last = nullptr;
    } lastBroken_;

    plat::TDevice* canvas_ = nullptr;
    int technology_ = plat::DT_RASDISPLAY;
    std::array<std::int32_t, 256> widths_{};
    int fontHeight_ = 1, fontAscent_ = 1;
    int emptyHeight_ = 1, emptyAscent_ = 1;
    int cellAHeight_ = 0;
    // The font resolution cellAHeight_ was measured at (0: not measured on this device).
    int cellAPpi_ = 0, deviceFontPpi_ = 0;
    bool fontUnderline_ = false, fontSuper_ = false, fontSub_ = false, fontItalic_ = false;
    bool fontDoubleUnderline_ = false;  // underlined hyperlink text: the mark of \uldb
    plat::COLORREF fontBack_ = 0xFFFFFF, fontText_ = 0, underlineColor_ = 0;
    bool haveFont_ = false;
    TJDCharAttr lastFontAttr_{};
    int zooming_ = 100, resizing_ = 100;
    bool wordWrap_ = true;
    std::uint32_t paintOptions_ = poHidePageBreaks;
    int defaultTabWidth_ = 1;
    int pageTextWidth_ = 0;
    int windowWidth_ = 0, windowHeight_ = 0;
    int lastFormatWidth_ = -1;
    std::int32_t documentHeight_ = 0;
    bool measuringPar_ = false, measuringAll_ = false, formattingAll_ = false, breakingAll_ = false;
    bool layoutRunning_ = false, paginating_ = false;
    bool postponeFormat_ = false, formatRequested_ = false;
    bool resolutionChanged_ = false;

    std::vector<TPaintedObject> paintedObjects_;
    plat::TRect selectedObjectRect_{};
    int placedControls_ = 0;
    std::shared_ptr<plat::TGraphic> background_;
    bool backgroundScrolls_ = false;
};

}  // namespace richtext
