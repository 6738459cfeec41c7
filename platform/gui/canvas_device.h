// The text engine's drawing device over a canvas: a control's back buffer
// or a printer's page. The engine measures and paints through the same
// canvas (fonts, font-name mapping, metrics) as every other control, so
// what it measures is what appears on the screen and on paper.
//
// The device may live as long as its control: it changes the canvas's font,
// pen, brush and clip only while it measures or draws, and gives the canvas
// its own font, pen and brush back when it is destroyed.
#pragma once

#include "platform/gdi/device.h"
#include "platform/gui/graphics.h"

namespace gui {

class TCanvasDevice : public plat::TDevice {
public:
    // The canvas must be bound (to an image or a printer) and outlive the device.
    explicit TCanvasDevice(TCanvas& canvas);
    ~TCanvasDevice() override;
    TCanvasDevice(const TCanvasDevice&) = delete;
    TCanvasDevice& operator=(const TCanvasDevice&) = delete;

    // A canvas that draws straight onto a device (a printer) reports itself as a printer.
    int Technology() const override;
    int LogPixelsX() const override;
    int LogPixelsY() const override;

    void SetFontPixelsPerInch(int ppi) override;
    void SelectFont(const plat::TFontSpec& font) override;
    const plat::TFontSpec& Font() const override { return font_; }
    bool GetTextMetrics(plat::TTextMetric& tm) override;
    void GetCharWidths(std::array<std::int32_t, 256>& widths) override;
    plat::TSize TextExtent(std::string_view text) override;

    void SetTextColor(plat::COLORREF c) override { textColor_ = c; }
    void SetBkColor(plat::COLORREF c) override { bkColor_ = c; }
    void SetPen(plat::COLORREF c, int width, plat::TPenStyle style) override;
    // The clip the canvas was bound with (a control's area, the part being
    // painted) always holds: a clip rectangle narrows it, nullptr goes back to it.
    void SetClipRect(const plat::TRect* r) override;

    void ExtTextOut(int x, int y, const plat::TRect* rect, bool opaque, bool clip, std::string_view text,
                    const int* dx) override;
    void FillRect(const plat::TRect& r, plat::COLORREF c) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void FrameRect(const plat::TRect& r) override;
    void ScrollDC(int dx, int dy, const plat::TRect& area) override;
    void StretchPicture(const plat::TRect& dst, const plat::TGraphic* picture) override;

    // The caret is drawn by the control that hosts the engine; the device keeps where it is.
    void CreateCaret(int w, int h) override { caretW_ = w, caretH_ = h; }
    void SetCaretPos(int x, int y) override { caretX_ = x, caretY_ = y; }
    void ShowCaret() override { caretVisible_ = caretW_ > 0 || caretH_ > 0; }
    void HideCaret() override { caretVisible_ = false; }
    void DestroyCaret() override { caretVisible_ = false, caretW_ = caretH_ = 0; }
    bool CaretVisible() const { return caretVisible_; }
    TRect CaretRect() const { return Bounds(caretX_, caretY_, caretW_, caretH_); }

    TCanvas& Canvas() { return canvas_; }

private:
    void ApplyFont();

    TCanvas& canvas_;
    // What the canvas held before: restored on destruction.
    TFont savedFont_;
    TPen savedPen_;
    TBrush savedBrush_;

    plat::TFontSpec font_;
    int fontPpi_;
    int ascent_ = 0;
    bool ascentKnown_ = false;
    plat::COLORREF textColor_ = 0, bkColor_ = 0xFFFFFF;
    int caretW_ = 0, caretH_ = 0, caretX_ = 0, caretY_ = 0;
    bool caretVisible_ = false;
};

}  // namespace gui
