#include "controls/dates/zb_utils.h"

#include "platform/gui/forms.h"

#include <QImage>

#include <cstdlib>

namespace zb {

namespace {

QRgb ToRgb(TColor c) {
    c = gui::ColorToRGB(c);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace

void CopyParentImage(gui::TControl* control, TCanvas& canvas) {
    gui::TWinControl* parent = control ? control->Parent() : nullptr;
    if (!parent) return;
    // A graphic control's own canvas draws into its parent's picture, which
    // already holds the parent and the controls below this one.
    if (auto* g = dynamic_cast<gui::TGraphicControl*>(control); g && &g->Canvas() == &canvas) return;
    const TRect src = gui::Bounds(control->Left(), control->Top(), control->Width(), control->Height());
    const TRect client = parent->ClientRect();
    const TRect clipped{std::max(src.Left, client.Left), std::max(src.Top, client.Top),
                        std::min(src.Right, client.Right), std::min(src.Bottom, client.Bottom)};
    if (clipped.Right <= clipped.Left || clipped.Bottom <= clipped.Top) return;
    const TRect dest = gui::Rect(clipped.Left - src.Left, clipped.Top - src.Top, clipped.Right - src.Left,
                                 clipped.Bottom - src.Top);
    const QImage* picture = parent->BackBuffer();
    if (!picture || picture->isNull()) {
        canvas.Brush().SetStyle(gui::bsSolid);
        canvas.Brush().SetColor(parent->Color());
        canvas.FillRect(dest);
        return;
    }
    // What the parent last painted, its other graphic controls included.
    TBitmap under;
    under.SetImage(picture->copy(clipped.Left, clipped.Top, clipped.Width(), clipped.Height()));
    const gui::TCopyMode saved = canvas.CopyMode;
    canvas.CopyMode = gui::cmSrcCopy;
    canvas.CopyRect(dest, under.Canvas(), gui::Rect(0, 0, clipped.Width(), clipped.Height()));
    canvas.CopyMode = saved;
}

void StretchBltTransparent(TCanvas& dest, int x, int y, int w, int h, TBitmap& source, const TRect& srcRect,
                           TColor transparent) {
    if (w <= 0 || h <= 0 || source.Empty()) return;
    std::unique_ptr<TBitmap> mask = source.CreateMask(transparent);
    // The source with the transparent colour blacked out: S and not mask.
    TBitmap image(source.Width(), source.Height());
    image.Canvas().CopyMode = gui::cmSrcCopy;
    const TRect all = gui::Rect(0, 0, source.Width(), source.Height());
    image.Canvas().CopyRect(all, mask->Canvas(), all);
    image.Canvas().CopyMode = gui::cmSrcErase;
    image.Canvas().CopyRect(all, source.Canvas(), all);

    TBitmap mem(w, h);
    const TRect memAll = gui::Rect(0, 0, w, h);
    mem.Canvas().CopyMode = gui::cmSrcCopy;
    mem.Canvas().CopyRect(memAll, dest, gui::Bounds(x, y, w, h));
    mem.Canvas().CopyMode = gui::cmSrcAnd;
    mem.Canvas().CopyRect(memAll, mask->Canvas(), srcRect);
    mem.Canvas().CopyMode = gui::cmSrcPaint;
    mem.Canvas().CopyRect(memAll, image.Canvas(), srcRect);
    const gui::TCopyMode saved = dest.CopyMode;
    dest.CopyMode = gui::cmSrcCopy;
    dest.CopyRect(gui::Bounds(x, y, w, h), mem.Canvas(), memAll);
    dest.CopyMode = saved;
}

void DrawTransparentBitmapRect(TCanvas& dest, int x, int y, TBitmap& bitmap, const TRect& rect, TColor transparent) {
    const int w = RectWidth(rect), h = RectHeight(rect);
    if (transparent == gui::clNone) {
        const gui::TCopyMode saved = dest.CopyMode;
        dest.CopyMode = gui::cmSrcCopy;
        dest.CopyRect(gui::Bounds(x, y, w, h), bitmap.Canvas(), rect);
        dest.CopyMode = saved;
        return;
    }
    StretchBltTransparent(dest, x, y, w, h, bitmap, rect, transparent);
}

void DrawTransparentBitmap(TCanvas& dest, int x, int y, TBitmap& bitmap, TColor transparent) {
    DrawTransparentBitmapRect(dest, x, y, bitmap, gui::Rect(0, 0, bitmap.Width(), bitmap.Height()), transparent);
}

std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap& source, TColor transparent) {
    const int w = source.Width(), h = source.Height();
    auto result = std::make_unique<TBitmap>(w, h);
    if (w == 0 || h == 0) return result;
    // White where the glyph is, black where the transparent colour was.
    std::unique_ptr<TBitmap> mono = source.CreateMask(transparent);
    QImage& m = mono->MutableImage();
    m.invertPixels();
    TCanvas& c = result->Canvas();
    c.Brush().SetColor(gui::clBtnFace);
    c.FillRect(gui::Rect(0, 0, w, h));
    // 0xE20746: the brush where the source is white, the destination elsewhere.
    constexpr gui::TCopyMode kBrushWhereWhite = 0x00E20746;
    c.CopyMode = kBrushWhereWhite;
    c.Brush().SetColor(gui::clBtnHighlight);
    c.CopyRect(gui::Rect(1, 1, w + 1, h + 1), mono->Canvas(), gui::Rect(0, 0, w, h));
    c.Brush().SetColor(gui::clBtnShadow);
    c.CopyRect(gui::Rect(0, 0, w, h), mono->Canvas(), gui::Rect(0, 0, w, h));
    c.CopyMode = gui::cmSrcCopy;
    return result;
}

std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor color1, TColor color2) {
    auto b = std::make_unique<TBitmap>(8, 8);
    QImage& img = b->MutableImage();
    const QRgb c1 = ToRgb(color1), c2 = ToRgb(color2);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) img.setPixel(x, y, (x % 2) == (y % 2) ? c2 : c1);
    return b;
}

bool IsForegroundTask() {
    gui::TForm* form = gui::Screen ? gui::Screen->ActiveForm() : nullptr;
    return form && form->Active();
}

namespace {
bool g_initialised = false;
}

void ZbUtilsInitialization() {
    if (g_initialised) return;
    g_initialised = true;
}

}  // namespace zb
