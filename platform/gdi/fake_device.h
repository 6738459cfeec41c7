// Devices without a toolkit: the fake device with fixed, font-independent
// metrics for layout tests, and the recording device that also logs every
// drawing call as one text line for painting tests.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/device.h"

namespace plat {

// Fixed metrics: a font of p points at r pixels per inch is h = p * r / 72
// pixels high (rounded), ascent h - h / 5, no external leading; every
// character is h / 2 pixels wide (at least 1), one more when bold.
class TFakeDevice : public TDevice {
public:
    explicit TFakeDevice(int dpiX = 96, int dpiY = 96, int technology = DT_RASDISPLAY)
        : dpiX_(dpiX), dpiY_(dpiY), technology_(technology), fontPpi_(dpiY) {}

    int Technology() const override { return technology_; }
    int LogPixelsX() const override { return dpiX_; }
    int LogPixelsY() const override { return dpiY_; }

    void SetFontPixelsPerInch(int ppi) override { fontPpi_ = ppi > 0 ? ppi : dpiY_; }
    int FontPixelsPerInch() const { return fontPpi_; }
    void SelectFont(const TFontSpec& font) override;
    const TFontSpec& Font() const override { return font_; }
    bool GetTextMetrics(TTextMetric& tm) override;
    void GetCharWidths(std::array<std::int32_t, 256>& widths) override;
    TSize TextExtent(std::string_view text) override;

    void SetTextColor(COLORREF c) override { textColor_ = c; }
    void SetBkColor(COLORREF c) override { bkColor_ = c; }
    void SetPen(COLORREF c, int width, TPenStyle style) override;
    void SetClipRect(const TRect* r) override;

    void ExtTextOut(int, int, const TRect*, bool, bool, std::string_view, const int*) override {}
    void FillRect(const TRect&, COLORREF) override {}
    void Line(int, int, int, int) override {}
    void FrameRect(const TRect&) override {}
    void ScrollDC(int, int, const TRect&) override {}
    void StretchPicture(const TRect&, const TGraphic*) override {}

    void CreateCaret(int w, int h) override {
        caretSize_ = {w, h};
        caretExists_ = true;
        caretVisible_ = false;
        ++caretCreates_;
    }
    // A caret that does not exist cannot move or show, as on a real window.
    void SetCaretPos(int x, int y) override {
        if (caretExists_) caretPos_ = {x, y};
    }
    void ShowCaret() override { caretVisible_ = caretExists_; }
    void HideCaret() override { caretVisible_ = false; }
    void DestroyCaret() override { caretExists_ = caretVisible_ = false; }

    // Fixed metrics of the selected font.
    int FontHeight() const;
    int CharWidth() const;

    // Tests switch these to simulate devices.
    bool failMetrics = false;
    TSize caretSize_{}, caretPos_{};
    bool caretVisible_ = false;
    bool caretExists_ = false;
    int caretCreates_ = 0;
    COLORREF textColor_ = 0, bkColor_ = 0xFFFFFF, penColor_ = 0;
    int penWidth_ = 1;
    TPenStyle penStyle_ = TPenStyle::Solid;
    bool clipped_ = false;
    TRect clip_{};

protected:
    int dpiX_, dpiY_, technology_, fontPpi_;
    TFontSpec font_;
};

// Logs each call that changes pixels or drawing state as a line such as
// "text 10,20 'Hello' dx=5,5,5,5,5 opaque [10,8,35,21]".
class TRecordingDevice : public TFakeDevice {
public:
    using TFakeDevice::TFakeDevice;

    void SelectFont(const TFontSpec& font) override;
    void SetTextColor(COLORREF c) override;
    void SetBkColor(COLORREF c) override;
    void SetPen(COLORREF c, int width, TPenStyle style) override;
    void SetClipRect(const TRect* r) override;
    void ExtTextOut(int x, int y, const TRect* rect, bool opaque, bool clip, std::string_view text,
                    const int* dx) override;
    void FillRect(const TRect& r, COLORREF c) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void FrameRect(const TRect& r) override;
    void ScrollDC(int dx, int dy, const TRect& area) override;
    void StretchPicture(const TRect& dst, const TGraphic* picture) override;

    std::vector<std::string> log;
    // Only calls whose line starts with one of these words are kept (all when empty).
    std::vector<std::string> filter;
    // Lines of the log that start with `word`.
    std::vector<std::string> Calls(const std::string& word) const;
    void Clear() { log.clear(); }

private:
    void Add(std::string line);
};

std::string RectText(const TRect& r);

}  // namespace plat
