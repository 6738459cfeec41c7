// The window control of the rich-text library: it owns one text engine and
// turns messages, keys, mouse actions, scroll bars, the clipboard and drag
// and drop into engine operations. Painting, line breaking, the caret's
// place and the document are the engine's; the engine draws through a
// device over the control's back buffer (or the printer's page).
//
// Copying puts the selection on the clipboard as RTF and as text; a paste
// takes RTF, else text, else a picture, so formatting survives wherever the
// source offered it. A failed picture paste pastes nothing and is no error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/canvas_device.h"
#include "platform/gui/controls.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "richtext/spell/text_sources.h"
#include "richtext/view/text_finder.h"
#include "richtext/view/text_input.h"

namespace richtext {

using TJDPrintEvent = std::function<void(void* Sender, gui::TCanvas& prCanvas, int x, int y, int w, int h,
                                         int PageNumber, int LineNumber)>;
using TBeforeCopyEvent = std::function<void(void* Sender, bool& doIt)>;
using TJDHyperLinkEvent = THyperLinkEvent;

class TJDCustomRtfEdit;

// The screen's pixels per inch (96 before the application has a screen):
// twips of a text whose header knows no resolution yet are reckoned with it.
int ScreenPpi();

// The engine's device over the control's canvas; its caret calls go to the
// GUI caret of the control's window.
class TJDEditDevice : public gui::TCanvasDevice {
public:
    TJDEditDevice(gui::TCanvas& canvas, TJDCustomRtfEdit& owner) : gui::TCanvasDevice(canvas), owner_(owner) {}
    void CreateCaret(int w, int h) override;
    void SetCaretPos(int x, int y) override;
    void ShowCaret() override;
    void HideCaret() override;
    void DestroyCaret() override;
    // With a frame the text draws and scrolls inside it: a line drawn alone
    // never wipes the frame that only a full paint draws.
    void SetClipRect(const plat::TRect* r) override;
    void ScrollDC(int dx, int dy, const plat::TRect& area) override;

private:
    plat::TRect Inside(const plat::TRect& r) const;
    TJDCustomRtfEdit& owner_;
};

// The spell checker reads the control through its word scan (it finds the
// interface on the control).
class TJDCustomRtfEdit : public gui::TCustomControl, public TJDRichTextOwner, public spell::IRichEditWordScan {
public:
    explicit TJDCustomRtfEdit(gui::TComponent* AOwner);
    ~TJDCustomRtfEdit() override;

    TJDRTFTextInput& Engine() { return *engine_; }
    const TJDRTFTextInput& Engine() const { return *engine_; }

    // --- published properties ----------------------------------------------------------
    TJDRTFTextIo& RtfText() { return *engine_; }
    // Copies the whole text of another engine.
    void SetRtfText(const TJDRTFTextIo& source);
    bool ReadOnly() const { return GetReadOnly(); }
    void SetReadOnlyProp(bool v) { SetReadOnly(v); }
    gui::TCursor HyperLinkCursor = gui::crDefault;
    bool NoBlockMarking() const { return engine_->NoBlockMarking; }
    void SetNoBlockMarking(bool v);
    bool OneClickHyperlink = false;
    THyperLinkEvent HyperLinkEvent;
    TJDMemoryFormat MemoryFormat() const;
    void SetMemoryFormat(TJDMemoryFormat f);
    bool CaretDisabled() const { return engine_->caret.disabled; }
    void SetCaretDisabled(bool v);
    bool WordWrap() const { return engine_->WordWrap(); }
    void SetWordWrap(bool v);
    TJDLoadFormat SaveFormat() const { return engine_->SaveFormat; }
    void SetSaveFormat(TJDLoadFormat f) { engine_->SaveFormat = f; }
    TJDLoadFormat LoadFormat() const { return engine_->LoadFormat; }
    void SetLoadFormat(TJDLoadFormat f) { engine_->LoadFormat = f; }
    TJDPrintEvent PrintHeader, PrintFooter;
    int Zooming() const { return engine_->Zooming(); }
    void SetZooming(int percent);
    int Resizing() const { return engine_->Resizing(); }
    void SetResizing(int percent);
    bool Inserting() const { return inserting_; }
    void SetInserting(bool v);
    TNotifyEvent& SaveForUNDO() { return engine_->services.SaveForUNDO; }
    bool PaintGrayTable() const { return engine_->PaintGrayTable; }
    void SetPaintGrayTable(bool v);
    gui::TPicture& BackgroundImage() { return *background_; }
    // Re-applies the picture after it was changed.
    void BackgroundChanged();
    bool BackgroundScrolling() const { return backgroundScrolling_; }
    void SetBackgroundScrolling(bool v);
    // The control shows its parent's picture under the text (it takes the
    // place of the background picture).
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    // A background picture named by loaded HTML is read from its file.
    bool BackgroundLoadFromFile() const { return engine_->backgroundLoadFromFile; }
    void SetBackgroundLoadFromFile(bool v) { engine_->backgroundLoadFromFile = v; }
    // Device-dependent bitmaps are saved as device-independent ones in RTF.
    bool WriteBitmapAsDib() const { return engine_->writeBitmapAsDib; }
    void SetWriteBitmapAsDib(bool v) { engine_->writeBitmapAsDib = v; }
    // HTML comments as footnotes when reading, footnotes as comments when writing.
    TStoreHTMLComment HTMLStoreComment() const { return engine_->htmlStoreComment; }
    void SetHTMLStoreComment(TStoreHTMLComment v) { engine_->htmlStoreComment = v; }
    // Asked before a typed character goes in (automatic text).
    TGetTextToInsertEvent GetTextToInsert;
    // A load or save of the text failed.
    TJDErrorEvent& OnJDErrorEvent() { return engine_->services.OnJDErrorEvent; }
    std::int32_t TopOffset() const { return engine_->TopOffset; }
    void SetTopOffset(std::int32_t v);
    std::int32_t LeftOffset() const { return -engine_->LeftOffset; }
    bool ShowPageBreak() const { return showPageBreak_; }
    void SetShowPageBreak(bool v);
    TBeforePasteEvent OnBeforePasteEvent;
    TBeforeCopyEvent OnBeforeCopyEvent;
    gui::TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(gui::TBorderStyle s);
    gui::TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(gui::TScrollStyle s);
    bool WantTabs = true;
    bool DragAndDropSupport = false;
    gui::TNotifyEvent OnChange;
    TEditStateEvent EditStateEvent;
    gui::TNotifyEvent CtrlTabPressed, ShiftTabPressed;
    // Engine events and settings, kept in the engine.
    TProtectedChangeEvent& OnProtectedChange() { return engine_->services.OnProtectedChange; }
    TNotifyEvent& OnXPosChanged() { return engine_->services.OnXPosChanged; }
    TNotifyEvent& OnYPosChanged() { return engine_->services.OnYPosChanged; }
    TProvideObjectEvent& ProvideObjectEvent() { return engine_->services.OnProvideObject; }
    THTMLBitmapRequestEvent& OnHTMLBitmapRequest() { return engine_->services.OnHTMLBitmapRequest; }
    TNewParCreatedEvent& OnNewParCreatedEvent() { return engine_->services.OnNewParCreatedEvent; }
    TProtectPropSet ProtectedProp() const { return engine_->protectedProp; }
    void SetProtectedProp(TProtectPropSet p) { engine_->protectedProp = p; }
    // Folder the readers try for pictures the text names.
    std::string HTMLFilePath() const { return engine_->pictureBaseDir.string(); }
    void SetHTMLFilePath(const std::string& p) { engine_->pictureBaseDir = p; }
    TCharacterAttr& InsertPointAttr() { return engine_->InsertPointAttr; }
    TCharacterAttr& AutomaticTextAttr() { return engine_->AutomaticTextAttr; }
    TCharacterAttr& HyperlinkTextAttr() { return engine_->HyperlinkTextAttr; }
    TCharacterAttr& ProtectedTextAttr() { return engine_->ProtectedTextAttr; }
    // Republished drag events: the control's own handlers call them.
    gui::TDragOverEvent OnDragOverUser;
    gui::TDragDropEvent OnDragDropUser;
    // Reading synchronises Font from the current insert attribute.
    gui::TFont& SyncedFont();
    // The modified flag: set by CanEdit.
    bool Modified = false;

    // --- own virtual operations ----------------------------------------------------------
    virtual void SetReadOnly(bool v);
    virtual bool GetReadOnly() const;
    virtual void Reformat();
    virtual void DoEditState(bool selectionMarked, bool clipboardNotEmpty);
    virtual void UpdateHorzScrollBar();
    virtual void UpdateVertScrollBar();
    virtual bool CanEdit();
    virtual void Changed();
    virtual void DeleteSelectedText();
    virtual void HideSelection();
    virtual void CopyToClipboard();
    virtual void CutToClipboard();
    virtual void PasteFromClipboard();
    // Whether the last paste put anything into the text.
    bool LastPasteChanged() const { return lastPasteChanged_; }
    // Mode 2 begins a page run at pageWidth x pageHeight printer pixels,
    // mode 4 ends it and restores the view; any other mode walks the lines
    // from `line` that fit the page (drawing them unless mode 0) and returns
    // the next line, 0 when the text is done.
    virtual int PrintPart(int mode, int line, int pageWidth, int pageHeight, gui::TCanvas* canvas, int resolution);

    // --- text operations ----------------------------------------------------------------------
    int GetCPPosition() const;
    int GetCPLine() const;
    void SetCPPosition(int pos);
    void SetCPLine(int line);
    void GetCursorInfo(int& pos, int& line, int& parIndex, int& posInPar) const;
    void SetCursorInfo(int pos, int line, int parIndex, int posInPar);
    bool IsEmpty() const { return engine_->IsEmpty(); }
    int GetPageLine() const;
    int GetSelStart() const override;
    int GetSelLength() const override;
    void SetSelStart(int v) override { engine_->SetSelStart(v); }
    void SetSelLength(int v) override { engine_->SetSelLength(v); }
    void SelectAll();
    std::string GetSelText() const;
    std::string GetPlainText() const;
    void InputString(const std::string& s);
    void SetSelText(const std::string& s) override;
    void SetText(const std::string& s);
    void ClearText();
    // A control's, a storage's or an engine's text; this text keeps the
    // source's header shared (the paste guard re-applies it).
    void AssignText(TJDCustomRtfEdit* source);
    void AssignText(TJDRtfStorage* source);
    void AssignText(TJDRTFTextIo* source);
    void GetCurrentAttr(TJDCharAttr& a) const { a = engine_->currentAttr; }
    void SetCurrentAttr(const TJDCharAttr& a);
    TJDCharAttr* CurrentAttrPtr();
    char* CurrentCharPtr();
    bool CursorNextChar();
    // Size 0 x 0 means the picture's own size. Result: the new object's tag, 0 when nothing was inserted.
    std::uint16_t InsertGraphic(const gui::TPicture& picture, int width, int height);
    std::uint16_t InsertGraphic(const gui::TGraphic& graphic, int width, int height);
    std::uint16_t InsertObject(const gui::TGraphic& graphic, const std::string& name, int width, int height,
                               bool flag);
    // From Pos (< 0: the cursor) on; Pos receives the found character's absolute position.
    bool FindNextObject(std::uint16_t& tag, int& pos, std::shared_ptr<plat::TGraphic>& obj);
    void InsertTable(int rows, int cols, bool borders, int width);
    void ReformatAll();
    void SetParagraphColor(int value, std::uint8_t code);
    void SetParagraphPattern(std::uint8_t kind, int value);
    // Lines (0: no border), width in points, colour index, spacing.
    void SetParagraphBorder(std::uint16_t lines, int widthPt, int color, int space);
    void SetParagraphIndents(int first, int left, int right);
    void SetParagraphProps(int before, int line, int after);
    void SetParagraphNumbering(int style, int level);
    void ResetWordScan() override;
    void WordScanFromCursor() override { scanFromCursor_ = true; }
    void SelectFoundWord() override;
    bool GetModified() const override { return Modified; }
    void SetModified(bool m) override { Modified = m; }
    int RegisterFontName(const std::string& name);

    // --- owner services of the engine ---------------------------------------------------------
    void Print() override;
    // Pages counted from 1; 16777215 for "to the end".
    void PrintRange(int firstPage, int lastPage);
    // The name a printed copy carries (the job's title, a PDF's file name);
    // empty when the text has no document of its own.
    virtual std::string DocumentTitle() const { return {}; }
    std::string NextWord() override;
    TJDTextFinder* GetFinder() override;
    bool HasFocus() const override;

    void WndProc(gui::TMessage& Message) override;
    void Invalidate() override;
    // Also tells the engine whether to paint.
    void SetVisible(bool v) override;
    void DragOver(gui::TObject* Source, int X, int Y, gui::TDragState State, bool& Accept) override;
    void DragDrop(gui::TObject* Source, int X, int Y) override;
    void Loaded();

protected:
    // Makes a new window for the control (a border change needs one) and
    // sets it up as a first one is.
    void RecreateWnd();
    // What a new window gets: the handle is marked created, page breaks
    // hidden unless shown, the insert attribute taken from the text at the
    // cursor, the background applied.
    virtual void CreateWnd();
    // Entering the control selects the whole text (unless the mouse entered it).
    bool AutoSelect = false;
    // EN_CHANGE notifications raise no OnChange while set.
    bool SuppressChangeNotify = false;
    void Paint() override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;

private:
    friend class TJDEditDevice;
    void Wire();
    void EnsureDevice();
    void HandleSize();
    void HandleScroll(bool vertical, int code, int thumb);
    void PlaceCaret();
    void ApplyFontToSelection();
    bool HyperlinkClick(int x, int y);
    bool PointInSelection(int x, int y);
    bool CharAt(int x, int y, TParagraph*& par, TLine*& line, int& index);
    void SelectWordAt(TParagraph* par, TLine* line, int index);
    void UpdateCursorShape(int x, int y);
    void InsertStreamAtCursor(const std::string& bytes, bool rtf);
    std::string SelectionAs(TJDLoadFormat format);
    std::uint16_t InsertPicture(std::shared_ptr<plat::TGraphic> g, int width, int height);
    void AttributeChanged(TCharacterAttr& attr);
    void CopyDropSelection(TJDCustomRtfEdit& source, int x, int y);
    void ReleaseScrollHold();
    void UpdateTextWidth();
    void FullRelayout();
    // Where the cursor stands and what surrounds it: an edit that leaves
    // all of it as it was changed nothing (a refused or empty edit).
    struct TEditMark {
        void *par = nullptr, *line = nullptr, *next = nullptr;
        int pos = 0, length = 0;
        bool selection = false;
        bool operator==(const TEditMark&) const = default;
    };
    TEditMark Mark() const;

    std::unique_ptr<TJDRTFTextInput> engine_;
    std::unique_ptr<TJDEditDevice> device_;
    std::unique_ptr<TJDTextFinder> finder_;
    std::unique_ptr<TJDRtfStrings> strings_;
    std::unique_ptr<gui::TPicture> background_;
    std::unique_ptr<gui::TFont> defaultFont_;

    bool inserting_ = true;
    bool backgroundScrolling_ = true;
    bool transparent_ = false;
    bool wndCreated_ = false;
    // Copies the parent's picture under the control into the engine's background.
    void TakeParentBackground();
    void TypeCharacter(char c);
    bool showPageBreak_ = true;
    gui::TBorderStyle borderStyle_ = gui::bsSingle;
    gui::TScrollStyle scrollBars_ = gui::ssNone;
    bool scrollHold_ = false, pendingHorzHide_ = false;
    // Set while the bars are moved to match the view: a bar's position is
    // in thousandths of the text, so taking it back would move the view.
    bool settingBars_ = false;
    // Mouse state.
    bool buttonDown_ = false, selecting_ = false;
    gui::TPoint pressPoint_{};
    bool dragPending_ = false;
    gui::TPoint dragStart_{};
    bool resizeArmed_ = false, resizing_ = false;
    bool specialCursor_ = false;
    gui::TCursor savedCursor_ = gui::crIBeam, ownCursor_ = gui::crIBeam;
    bool fontUpdate_ = false;
    char scratchCR_ = 13;
    bool scanFromCursor_ = false;
    bool finderStarted_ = false;
    bool lastPasteChanged_ = false;
    // A page run of PrintPart: the printer's device and the view it replaced.
    struct TPrintRun {
        std::unique_ptr<gui::TCanvasDevice> device;
        bool wordWrap = false;
        int windowWidth = 0, windowHeight = 0;
        std::int32_t topOffset = 0, leftOffset = 0;
        int leftMargin = 0, topMargin = 0;
        std::uint32_t paintOptions = 0;
    };
    std::unique_ptr<TPrintRun> printRun_;
};

// The change notification of an edit window (its HIWORD of a CN_COMMAND).
constexpr unsigned kEnChange = 0x0300;

// The attribute mask SetCurrentAttr applies with.
extern std::uint32_t JDGlobalAttrMask;

}  // namespace richtext
