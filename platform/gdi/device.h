// The drawing device the text engine lays out and paints on: capabilities,
// fonts and their metrics, text output with a spacing array, fills, pens,
// window scrolling, stretched pictures and the caret. Text is Windows-1252;
// a device that talks to a real toolkit converts at its own edge.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

class TGraphic;

// 0x00BBGGRR
using COLORREF = std::uint32_t;
constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFF; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

// Device technologies as a device reports them.
enum : int {
    DT_PLOTTER = 0,
    DT_RASDISPLAY = 1,
    DT_RASPRINTER = 2,
    DT_CHARSTREAM = 5,  // no text metrics: heights come from the letter "A"
};

struct TRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const TRect&) const = default;
};

struct TSize {
    int cx = 0, cy = 0;
    bool operator==(const TSize&) const = default;
};

struct TFontSpec {
    std::string name = "Arial";
    int pointSize = 10;
    bool bold = false, italic = false, strikeOut = false, underline = false;
    bool operator==(const TFontSpec&) const = default;
};

struct TTextMetric {
    int height = 0;           // ascent + descent
    int ascent = 0;
    int descent = 0;
    int externalLeading = 0;
};

enum class TPenStyle : std::uint8_t { Solid, Dot, Dash };

// Abstract device. Coordinates are device pixels.
class TDevice {
public:
    virtual ~TDevice() = default;

    // --- capabilities ----------------------------------------------------
    virtual int Technology() const = 0;
    virtual int LogPixelsX() const = 0;
    virtual int LogPixelsY() const = 0;

    // --- fonts and metrics -------------------------------------------------
    // Fonts are sized for this many pixels per inch (the layout resolution,
    // which differs from the device's own under zoom).
    virtual void SetFontPixelsPerInch(int ppi) = 0;
    virtual void SelectFont(const TFontSpec& font) = 0;
    virtual const TFontSpec& Font() const = 0;
    // False when the device cannot report metrics.
    virtual bool GetTextMetrics(TTextMetric& tm) = 0;
    virtual void GetCharWidths(std::array<std::int32_t, 256>& widths) = 0;
    virtual TSize TextExtent(std::string_view text) = 0;

    // --- drawing state -------------------------------------------------------
    virtual void SetTextColor(COLORREF c) = 0;
    virtual void SetBkColor(COLORREF c) = 0;
    virtual void SetPen(COLORREF c, int width, TPenStyle style) = 0;
    // nullptr removes the clip.
    virtual void SetClipRect(const TRect* r) = 0;

    // --- drawing ------------------------------------------------------------------
    // Draws text with its baseline at y; dx gives each character's advance
    // (nullptr: the font's own). With `opaque` the rectangle is filled in the
    // background colour first; with `clip` the text is clipped to it.
    virtual void ExtTextOut(int x, int y, const TRect* rect, bool opaque, bool clip, std::string_view text,
                            const int* dx) = 0;
    virtual void FillRect(const TRect& r, COLORREF c) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    virtual void FrameRect(const TRect& r) = 0;
    // Moves the pixels of `area` by (dx, dy); the uncovered part is left for the caller.
    virtual void ScrollDC(int dx, int dy, const TRect& area) = 0;
    virtual void StretchPicture(const TRect& dst, const TGraphic* picture) = 0;

    // --- caret ------------------------------------------------------------
    virtual void CreateCaret(int width, int height) = 0;
    virtual void SetCaretPos(int x, int y) = 0;
    virtual void ShowCaret() = 0;
    virtual void HideCaret() = 0;
    virtual void DestroyCaret() = 0;
};

}  // namespace plat
