// A read-only rich-text area without a window: its own text engine paints
// into an image of the label's size that the label draws. It can show one
// page of a longer text, lets the user select with the mouse (unless the
// mouse is switched off, as it is at first) and reports hyperlink clicks.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/canvas_device.h"
#include "platform/gui/controls.h"
#include "richtext/view/text_input.h"

namespace richtext {

class TJDCustomRtfLabel : public gui::TGraphicControl {
public:
    explicit TJDCustomRtfLabel(gui::TComponent* AOwner);
    ~TJDCustomRtfLabel() override;

    TJDRTFTextInput& Engine() { return *engine_; }
    TJDRTFTextIo& RtfText() { return *engine_; }
    // Loads RTF, HTML or plain text (by LoadFormat) and shows it from the top.
    void SetText(const std::string& text) override;
    std::string PlainText() const;

    TJDMemoryFormat MemoryFormat() const;
    void SetMemoryFormat(TJDMemoryFormat f);
    TJDLoadFormat LoadFormat() const { return engine_->LoadFormat; }
    void SetLoadFormat(TJDLoadFormat f) { engine_->LoadFormat = f; }
    TJDLoadFormat SaveFormat() const { return engine_->SaveFormat; }
    void SetSaveFormat(TJDLoadFormat f) { engine_->SaveFormat = f; }
    // The paper behind the text.
    gui::TColor BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(gui::TColor c);
    int Zooming() const { return engine_->Zooming(); }
    void SetZooming(int percent);
    // Also tells the engine whether to paint.
    void SetVisible(bool v) override;
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool WordWrap() const { return engine_->WordWrap(); }
    void SetWordWrap(bool v);
    gui::TCursor HyperLinkCursor = gui::crDefault;
    bool NoBlockMarking = false;
    bool OneClickHyperlink = true;
    bool DisableMouse = true;
    // The page shown: 0 or less from the top; past the last page nothing changes.
    int PagNumber() const { return page_; }
    void SetPagNumber(int n);
    // Shows the text from the first line below n line heights.
    void ShowFromLine(int n);
    bool ShowPageBreak = true;
    bool HideInsertpoints = false;
    bool HideAutomatic = false;
    bool UsePaperSize = false;
    bool PaintGrayTable() const { return engine_->PaintGrayTable; }
    void SetPaintGrayTable(bool v);
    TCharacterAttr& InsertPointAttr() { return engine_->InsertPointAttr; }
    TCharacterAttr& AutomaticTextAttr() { return engine_->AutomaticTextAttr; }
    TCharacterAttr& HyperlinkTextAttr() { return engine_->HyperlinkTextAttr; }
    TCharacterAttr& ProtectedTextAttr() { return engine_->ProtectedTextAttr; }
    THyperLinkEvent HyperLinkEvent;
    TProvideObjectEvent& ProvideObjectEvent() { return engine_->services.OnProvideObject; }
    THTMLBitmapRequestEvent& OnHTMLBitmapRequest() { return engine_->services.OnHTMLBitmapRequest; }
    std::string HTMLFilePath() const { return engine_->pictureBaseDir.string(); }
    void SetHTMLFilePath(const std::string& p) { engine_->pictureBaseDir = p; }
    TStoreHTMLComment HTMLStoreComment() const { return engine_->htmlStoreComment; }
    void SetHTMLStoreComment(TStoreHTMLComment v) { engine_->htmlStoreComment = v; }

    // The selection, as plain text.
    std::string SelText() const;
    // The paint options word the display switches make.
    std::uint32_t DisplayOptions() const;

protected:
    void Paint() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void FontChanged() override;
    void Resize() override;

private:
    void Layout();
    bool CharAt(int x, int y, TParagraph*& par, TLine*& line, int& index);
    bool LinkClick(int x, int y);
    void SelectWord(TParagraph* par, TLine* line, int index);

    std::unique_ptr<TJDRTFTextInput> engine_;
    std::unique_ptr<gui::TBitmap> image_;
    std::unique_ptr<gui::TCanvasDevice> device_;
    gui::TColor backgroundColor_ = gui::clWindow;
    bool transparent_ = false;
    int page_ = 0;
    bool selecting_ = false;
    bool linkCursor_ = false;
    gui::TCursor keptCursor_ = gui::crDefault;
};

class TJDRichTextLabel : public TJDCustomRtfLabel {
public:
    using TJDCustomRtfLabel::TJDCustomRtfLabel;
};

}  // namespace richtext
