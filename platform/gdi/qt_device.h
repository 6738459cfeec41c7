// The device on a Qt image: what the edit controls paint on and what the
// offscreen rendering tests read back. Windows-1252 text becomes Unicode here.
#pragma once

#include <memory>

#include "platform/gdi/device.h"

class QImage;

namespace plat {

class TQtDevice : public TDevice {
public:
    // The image must outlive the device; dpi defaults to the image's own.
    explicit TQtDevice(QImage* image, int dpiX = 0, int dpiY = 0);
    ~TQtDevice() override;

    int Technology() const override { return DT_RASDISPLAY; }
    int LogPixelsX() const override { return dpiX_; }
    int LogPixelsY() const override { return dpiY_; }

    void SetFontPixelsPerInch(int ppi) override;
    void SelectFont(const TFontSpec& font) override;
    const TFontSpec& Font() const override { return font_; }
    bool GetTextMetrics(TTextMetric& tm) override;
    void GetCharWidths(std::array<std::int32_t, 256>& widths) override;
    TSize TextExtent(std::string_view text) override;

    void SetTextColor(COLORREF c) override { textColor_ = c; }
    void SetBkColor(COLORREF c) override { bkColor_ = c; }
    void SetPen(COLORREF c, int width, TPenStyle style) override;
    void SetClipRect(const TRect* r) override;

    void ExtTextOut(int x, int y, const TRect* rect, bool opaque, bool clip, std::string_view text,
                    const int* dx) override;
    void FillRect(const TRect& r, COLORREF c) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void FrameRect(const TRect& r) override;
    void ScrollDC(int dx, int dy, const TRect& area) override;
    void StretchPicture(const TRect& dst, const TGraphic* picture) override;

    // The caret is drawn by the control's widget; the device only keeps it.
    void CreateCaret(int w, int h) override { caretW_ = w, caretH_ = h; }
    void SetCaretPos(int x, int y) override { caretX_ = x, caretY_ = y; }
    void ShowCaret() override { caretVisible_ = true; }
    void HideCaret() override { caretVisible_ = false; }
    void DestroyCaret() override { caretVisible_ = false, caretW_ = caretH_ = 0; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int dpiX_, dpiY_, fontPpi_;
    TFontSpec font_;
    COLORREF textColor_ = 0, bkColor_ = 0xFFFFFF;
    int caretW_ = 0, caretH_ = 0, caretX_ = 0, caretY_ = 0;
    bool caretVisible_ = false;
};

}  // namespace plat
