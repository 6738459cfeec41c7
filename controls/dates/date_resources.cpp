// The date controls' own drawings and texts, kept in the program's
// resources as a resource file would hold them.
#include "controls/dates/pick_date.h"
#include "platform/gui/program_resources.h"

#include "platform/core/streams.h"

#include <cstdint>
#include <memory>

namespace zb {

using namespace gui;

namespace {

// Arrow heads pointing left (-1) or right (+1), one or two of them, black
// on fuchsia (the bottom-left pixel, so the transparent colour).
std::unique_ptr<TBitmap> Arrows(int direction, int count) {
    const int w = count == 1 ? 8 : 12, h = 9;
    auto result = std::make_unique<TBitmap>(w, h);
    TBitmap& b = *result;
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, w, h));
    for (int k = 0; k < count; ++k) {
        const int base = (count == 1 ? 2 : 1) + k * 5;
        for (int col = 0; col < 4; ++col) {
            const int x = direction < 0 ? base + col : base + 3 - col;
            for (int y = 4 - col; y <= 4 + col; ++y) b.Canvas().SetPixel(x, y, clBlack);
        }
    }
    return result;
}

// A small calendar sheet: the enabled image and a greyed one side by side.
std::unique_ptr<TBitmap> CalendarGlyph() {
    const int w = 16, h = 16;
    auto result = std::make_unique<TBitmap>(2 * w, h);
    TBitmap& b = *result;
    b.Canvas().Brush().SetColor(clOlive);
    b.Canvas().FillRect(Rect(0, 0, 2 * w, h));
    for (int i = 0; i < 2; ++i) {
        const int x0 = i * w;
        const TColor frame = i == 0 ? clBlack : clGray;
        TCanvas& c = b.Canvas();
        c.Brush().SetColor(clWhite);
        c.FillRect(Rect(x0 + 2, 3, x0 + 14, 14));
        c.Brush().SetColor(i == 0 ? clMaroon : clGray);
        c.FillRect(Rect(x0 + 2, 3, x0 + 14, 6));
        c.Brush().SetColor(frame);
        c.FrameRect(Rect(x0 + 2, 3, x0 + 14, 14));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) c.SetPixel(x0 + 4 + col * 2 + (col > 1 ? 1 : 0), 7 + row * 2, frame);
        c.SetPixel(x0 + 5, 2, frame);
        c.SetPixel(x0 + 10, 2, frame);
    }
    return result;
}

}  // namespace

bool LoadResourceBitmap(const std::string& name, TBitmap& into) {
    RegisterDateResources();
    return LoadBitmapResource(HInstance(), name, into);
}

void RegisterDateResources() {
    if (!FindResource(HInstance(), "DEDITBMP", RT_BITMAP)) RegisterBitmapResource("DEDITBMP", *CalendarGlyph());
    if (!FindResource(HInstance(), "PREV2", RT_BITMAP)) RegisterBitmapResource("PREV2", *Arrows(-1, 2));
    if (!FindResource(HInstance(), "PREV1", RT_BITMAP)) RegisterBitmapResource("PREV1", *Arrows(-1, 1));
    if (!FindResource(HInstance(), "NEXT1", RT_BITMAP)) RegisterBitmapResource("NEXT1", *Arrows(1, 1));
    if (!FindResource(HInstance(), "NEXT2", RT_BITMAP)) RegisterBitmapResource("NEXT2", *Arrows(1, 2));
    if (LoadResString(61262).empty()) RegisterResource(RT_STRING, "61262", "Select a Date");
}

}  // namespace zb
