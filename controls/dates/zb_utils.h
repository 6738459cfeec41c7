// Drawing helpers of the date and button controls: transparent and
// disabled glyphs, the checkerboard brush of a down button, the parent's
// picture under a transparent control, and whether the program is active.
#pragma once

#include "platform/gui/controls.h"
#include "platform/gui/graphics.h"

#include <memory>

namespace zb {

using gui::TBitmap;
using gui::TCanvas;
using gui::TColor;
using gui::TRect;

inline int Max(int a, int b) { return a > b ? a : b; }
inline int Min(int a, int b) { return a < b ? a : b; }
inline int RectWidth(const TRect& r) { return r.Right - r.Left; }
inline int RectHeight(const TRect& r) { return r.Bottom - r.Top; }

// Paints the control's parent, and the parent's other visible graphic
// controls that overlap it, into `canvas` as they lie under the control
// (as the parent last painted them).
void CopyParentImage(gui::TControl* control, TCanvas& canvas);
// Copies `srcRect` of `source` stretched to (x, y, w, h), leaving the
// destination where the source has `transparent`: the destination is ANDed
// with a mask of that colour, then ORed with the source blacked out there.
void StretchBltTransparent(TCanvas& dest, int x, int y, int w, int h, TBitmap& source, const TRect& srcRect,
                           TColor transparent);
// clNone draws the region opaque.
void DrawTransparentBitmapRect(TCanvas& dest, int x, int y, TBitmap& bitmap, const TRect& rect, TColor transparent);
void DrawTransparentBitmap(TCanvas& dest, int x, int y, TBitmap& bitmap, TColor transparent);
// The embossed look of a disabled glyph on a button face: every pixel that
// is not `transparent` shows in the shadow colour, with the highlight colour
// one pixel below and right of it where no shadow falls.
std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap& source, TColor transparent);
// 8 x 8 of color1 with color2 where x mod 2 = y mod 2.
std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor color1, TColor color2);
// The application holds the active window.
bool IsForegroundTask();

// Sets up the unit's shared state (done on first use as well) and frees
// it at program end.
void ZbUtilsInitialization();

}  // namespace zb
