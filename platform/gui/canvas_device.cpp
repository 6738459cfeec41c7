#include "platform/gui/canvas_device.h"

#include "platform/gdi/picture_render.h"
#include "platform/gui/qt_bridge.h"
#include "platform/imaging/graphic.h"
#include "platform/imaging/wmf_reader.h"

#include <QImage>
#include <QPainter>

namespace gui {

namespace {

TRect ToRect(const plat::TRect& r) { return Rect(r.left, r.top, r.right, r.bottom); }
TColor ToColor(plat::COLORREF c) { return static_cast<TColor>(c & 0xFFFFFF); }

}  // namespace

TCanvasDevice::TCanvasDevice(TCanvas& canvas) : canvas_(canvas) {
    savedFont_.PixelsPerInch = canvas.Font().PixelsPerInch;
    savedFont_.Assign(canvas.Font());
    savedPen_.Assign(canvas.Pen());
    savedBrush_.Assign(canvas.Brush());
    fontPpi_ = LogPixelsY();
    SelectFont(font_);
}

TCanvasDevice::~TCanvasDevice() {
    canvas_.Font().Assign(savedFont_);
    canvas_.Pen().Assign(savedPen_);
    canvas_.Brush().Assign(savedBrush_);
    canvas_.ResetClip();
}

int TCanvasDevice::Technology() const {
    return canvas_.Target() == nullptr && canvas_.HandleAllocated() ? plat::DT_RASPRINTER : plat::DT_RASDISPLAY;
}

int TCanvasDevice::LogPixelsX() const { return canvas_.GetDeviceCaps(LOGPIXELSX); }
int TCanvasDevice::LogPixelsY() const { return canvas_.GetDeviceCaps(LOGPIXELSY); }

void TCanvasDevice::SetFontPixelsPerInch(int ppi) {
    fontPpi_ = ppi > 0 ? ppi : LogPixelsY();
    SelectFont(font_);
}

void TCanvasDevice::SelectFont(const plat::TFontSpec& font) {
    font_ = font;
    ApplyFont();
    // Layout selects fonts far more often than it draws: the ascent is
    // asked of the font only when text is drawn with it.
    ascentKnown_ = false;
}

// Other code may draw on the same canvas between the engine's calls, so
// every measuring and drawing call puts the engine's font back first
// (the font's setters do nothing when the value is already there).
void TCanvasDevice::ApplyFont() {
    TFont& f = canvas_.Font();
    f.SetName(font_.name);
    // A negative height is the em height, which is what a point size gives.
    f.SetHeight(-std::max(1, MulDiv(font_.pointSize, fontPpi_, 72)));
    // The engine draws its own underline, at the position the document asks for.
    f.SetStyle((font_.bold ? fsBold : 0) | (font_.italic ? fsItalic : 0) | (font_.strikeOut ? fsStrikeOut : 0));
    f.SetPitch(fpDefault);
}

bool TCanvasDevice::GetTextMetrics(plat::TTextMetric& tm) {
    ApplyFont();
    TTextMetric m;
    canvas_.GetTextMetrics(m);
    tm.ascent = m.tmAscent;
    tm.descent = m.tmDescent;
    tm.height = m.tmHeight;
    tm.externalLeading = m.tmExternalLeading;
    return true;
}

void TCanvasDevice::GetCharWidths(std::array<std::int32_t, 256>& widths) {
    ApplyFont();
    int w[256];
    canvas_.GetCharWidths(0, 255, w);
    for (int c = 0; c < 256; ++c) widths[static_cast<std::size_t>(c)] = w[c];
}

plat::TSize TCanvasDevice::TextExtent(std::string_view text) {
    ApplyFont();
    TPoint p = canvas_.TextExtent(std::string(text));
    return {p.x, p.y};
}

void TCanvasDevice::SetPen(plat::COLORREF c, int width, plat::TPenStyle style) {
    TPen& pen = canvas_.Pen();
    pen.SetColor(ToColor(c));
    pen.SetWidth(std::max(width, 1));
    pen.SetStyle(style == plat::TPenStyle::Dot ? psDot : style == plat::TPenStyle::Dash ? psDash : psSolid);
    pen.SetMode(pmCopy);
}

void TCanvasDevice::SetClipRect(const plat::TRect* r) {
    if (r) canvas_.SetClipRect(ToRect(*r));
    else canvas_.ResetClip();
}

void TCanvasDevice::ExtTextOut(int x, int y, const plat::TRect* rect, bool opaque, bool clip, std::string_view text,
                               const int* dx) {
    ApplyFont();
    if (!ascentKnown_) {
        TTextMetric tm;
        canvas_.GetTextMetrics(tm);
        ascent_ = tm.tmAscent;
        ascentKnown_ = true;
    }
    canvas_.Font().SetColor(ToColor(textColor_));
    // Text never fills its own cell: only an opaque rectangle is filled, in
    // the background colour. (Choosing a colour makes a brush solid, so the
    // style is set after it.)
    canvas_.Brush().SetBitmap(nullptr);
    canvas_.Brush().SetColor(ToColor(bkColor_));
    canvas_.Brush().SetStyle(bsClear);
    unsigned options = 0;
    TRect box;
    if (rect) {
        box = ToRect(*rect);
        if (opaque) options |= ETO_OPAQUE;
        if (clip) options |= ETO_CLIPPED;
    }
    // The engine gives the baseline; the canvas wants the top of the cell.
    canvas_.ExtTextOut(x, y - ascent_, options, rect ? &box : nullptr, std::string(text), dx);
}

void TCanvasDevice::FillRect(const plat::TRect& r, plat::COLORREF c) {
    canvas_.Brush().SetBitmap(nullptr);
    canvas_.Brush().SetColor(ToColor(c));
    canvas_.Brush().SetStyle(bsSolid);
    canvas_.FillRect(ToRect(r));
}

void TCanvasDevice::Line(int x1, int y1, int x2, int y2) {
    canvas_.MoveTo(x1, y1);
    canvas_.LineTo(x2, y2);
}

void TCanvasDevice::FrameRect(const plat::TRect& r) {
    canvas_.Brush().SetStyle(bsClear);
    canvas_.Rectangle(ToRect(r));
}

void TCanvasDevice::ScrollDC(int dx, int dy, const plat::TRect& area) {
    // Only pixels the canvas holds can move.
    TRect a;
    if (!IntersectRect(a, ToRect(area), canvas_.ClipRect())) return;
    gui::ScrollDC(canvas_, dx, dy, a, a);
}

void TCanvasDevice::StretchPicture(const plat::TRect& dst, const plat::TGraphic* picture) {
    // A metafile plays its records into the frame, as lines and text even on a printer.
    if (picture && picture->Kind() == plat::TGraphicKind::Metafile) {
        QPainter* p = canvas_.Painter();
        if (p && imaging::DrawMetafile(*p, QRectF(ToQRect(ToRect(dst))), picture->Bytes())) {
            if (canvas_.AfterChange) canvas_.AfterChange();
            return;
        }
    }
    QImage img = picture ? plat::PictureToImage(*picture) : QImage();
    if (!img.isNull()) {
        TBitmap bitmap;
        bitmap.SetImage(img);
        canvas_.StretchDraw(ToRect(dst), &bitmap);
        return;
    }
    // A picture that cannot be decoded still shows where it stands.
    TPen saved;
    saved.Assign(canvas_.Pen());
    canvas_.Pen().SetColor(clGray);
    canvas_.Pen().SetWidth(1);
    canvas_.Pen().SetStyle(psSolid);
    canvas_.Pen().SetMode(pmCopy);
    canvas_.Brush().SetStyle(bsClear);
    canvas_.Rectangle(ToRect(dst));
    canvas_.Pen().Assign(saved);
}

}  // namespace gui
