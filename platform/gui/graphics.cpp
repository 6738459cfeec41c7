#include "platform/gui/graphics.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "platform/gdi/font_names.h"
#include "platform/gui/metafile.h"
#include "platform/gui/qt_bridge.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QRawFont>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstring>

namespace gui {

// --- basic helpers ----------------------------------------------------------

bool IntersectRect(TRect& out, const TRect& a, const TRect& b) {
    out = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
           std::min(a.Bottom, b.Bottom)};
    if (out.IsEmpty()) {
        out = {};
        return false;
    }
    return true;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long p = static_cast<long long>(a) * b;
    // Round half away from zero, as Win32 does.
    long long q = (p >= 0) == (c > 0) ? (std::llabs(p) + std::llabs(c) / 2) / std::llabs(c)
                                      : -((std::llabs(p) + std::llabs(c) / 2) / std::llabs(c));
    return static_cast<int>(q);
}

TColor GetSysColor(int index) {
    static const TColor kClassic[COLOR_SYSCOLOR_COUNT] = {
        RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128), RGB(192, 192, 192),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
        RGB(192, 192, 192), RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255),
        RGB(192, 192, 192), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),       RGB(255, 255, 225)};
    if (index < 0 || index >= COLOR_SYSCOLOR_COUNT) return 0;
    return kClassic[index];
}

TColor ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(static_cast<int>(color & 0xFF));
    return color;
}

TColor GetNearestColor(TColor color) { return ColorToRGB(color); }

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return 1024;
    case SM_CYSCREEN: return 768;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    default: return 0;
    }
}

QString ToQString(const std::string& ansi) { return QString::fromStdString(plat::AnsiToUtf8(ansi)); }
std::string FromQString(const QString& s) { return plat::Utf8ToAnsi(s.toStdString()); }

QColor ToQColor(TColor color) {
    TColor c = ColorToRGB(color);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

std::string MapFontName(const std::string& windowsName) { return plat::InstalledFontFamily(windowsName); }

namespace {
// The character a font's byte shows: Windows-1252, or a pi font's own slot.
QChar FontChar(const std::string& fontName, unsigned char c) {
    if (char32_t u = plat::PiFontCharToUnicode(fontName, c)) return QChar(static_cast<char16_t>(u));
    return QChar(plat::AnsiCharToUnicode(c));
}

QString FontText(const std::string& fontName, const std::string& text) {
    if (!plat::IsPiFont(fontName)) return ToQString(text);
    QString s;
    s.reserve(static_cast<qsizetype>(text.size()));
    for (unsigned char c : text) s.append(FontChar(fontName, c));
    return s;
}
}  // namespace

bool IsScalableFont(const TFont& font) {
    return QFontDatabase::isSmoothlyScalable(ToQString(MapFontName(font.Name())));
}

QFont ToQFont(const TFont& font) {
    QFont f(ToQString(MapFontName(font.Name())));
    int h = font.Height();
    // A negative height is the character (em) height; a positive one the
    // cell height, which carries some 15 % of internal leading besides.
    int px = h < 0 ? -h : std::max(1, h * 100 / 115);
    f.setPixelSize(std::max(1, px));
    f.setBold(font.Style() & fsBold);
    f.setItalic(font.Style() & fsItalic);
    f.setUnderline(font.Style() & fsUnderline);
    f.setStrikeOut(font.Style() & fsStrikeOut);
    if (font.Pitch() == fpFixed) f.setFixedPitch(true);
    f.setKerning(false);
    return f;
}

// --- fonts, pens, brushes ------------------------------------------------------

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

TFont::TFont() = default;

void TFont::Assign(const TFont& s) {
    if (*this == s && PixelsPerInch == s.PixelsPerInch) return;
    name_ = s.name_;
    height_ = s.height_;
    color_ = s.color_;
    style_ = s.style_;
    pitch_ = s.pitch_;
    charset_ = s.charset_;
    // Keep the size in points when the resolutions differ.
    if (PixelsPerInch != s.PixelsPerInch) height_ = MulDiv(height_, PixelsPerInch, s.PixelsPerInch);
    Changed();
}

void TFont::SetName(const std::string& n) {
    if (n.empty() || n == name_) return;
    name_ = n;
    Changed();
}
int TFont::Size() const { return -MulDiv(height_, 72, PixelsPerInch); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, PixelsPerInch, 72)); }
void TFont::SetHeight(int pixels) {
    if (pixels == height_) return;
    height_ = pixels;
    Changed();
}
void TFont::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    Changed();
}
void TFont::SetStyle(TFontStyles s) {
    if (s == style_) return;
    style_ = s;
    Changed();
}
void TFont::SetPitch(TFontPitch p) {
    if (p == pitch_) return;
    pitch_ = p;
    Changed();
}
void TFont::SetCharset(int c) {
    if (c == charset_) return;
    charset_ = c;
    Changed();
}

void TPen::Assign(const TPen& s) {
    color_ = s.color_;
    width_ = s.width_;
    style_ = s.style_;
    mode_ = s.mode_;
    Changed();
}
void TPen::SetColor(TColor c) { if (c != color_) { color_ = c; Changed(); } }
void TPen::SetWidth(int w) { if (w != width_) { width_ = std::max(0, w); Changed(); } }
void TPen::SetStyle(TPenStyle s) { if (s != style_) { style_ = s; Changed(); } }
void TPen::SetMode(TPenMode m) { if (m != mode_) { mode_ = m; Changed(); } }

void TBrush::Assign(const TBrush& s) {
    color_ = s.color_;
    style_ = s.style_;
    bitmap_ = s.bitmap_;
    Changed();
}
void TBrush::SetColor(TColor c) {
    if (c == color_ && style_ != bsClear) return;
    color_ = c;
    // Choosing a colour makes a clear brush solid again, as the class library does.
    if (style_ == bsClear) style_ = bsSolid;
    Changed();
}
void TBrush::SetStyle(TBrushStyle s) { if (s != style_) { style_ = s; Changed(); } }
void TBrush::SetBitmap(TBitmap* b) { if (b != bitmap_) { bitmap_ = b; Changed(); } }

// --- canvas ----------------------------------------------------------------------

namespace {

QPainter::CompositionMode ModeOfPen(TPenMode m) {
    switch (m) {
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

Qt::BrushStyle QtBrushStyle(TBrushStyle s) {
    switch (s) {
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

void ForceOpaque(QImage& img, const QRect& area) {
    // XOR-like raster operations also flip the unused alpha byte; put it back.
    if (img.format() != QImage::Format_RGB32) return;
    QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) line[x] |= 0xFF000000u;
    }
}

}  // namespace

struct TCanvas::FontCache {
    std::string name;
    int height = 0;
    TFontStyles style{};
    TFontPitch pitch{};
    QFont font;
    QFontMetrics metrics{QFont()};
};

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() { Flush(); }

const TCanvas::FontCache& TCanvas::QtFont() {
    FontCache* c = fontCache_.get();
    if (!c || c->height != font_.Height() || c->style != font_.Style() || c->pitch != font_.Pitch() ||
        c->name != font_.Name()) {
        if (!c) fontCache_ = std::make_unique<FontCache>(), c = fontCache_.get();
        c->name = font_.Name();
        c->height = font_.Height();
        c->style = font_.Style();
        c->pitch = font_.Pitch();
        c->font = ToQFont(font_);
        c->metrics = QFontMetrics(c->font);
    }
    return *c;
}

void TCanvas::Bind(QImage* image, TPoint origin, TRect clip) {
    Flush();
    device_ = nullptr;
    target_ = image;
    origin_ = origin;
    bindClip_ = clip;
    clip_ = clip;
    clipped_ = !clip.IsEmpty();
}

void TCanvas::BindPainter(QPainter* painter, int width, int height, int dpi) {
    Flush();
    target_ = nullptr;
    device_ = painter;
    deviceWidth_ = width;
    deviceHeight_ = height;
    deviceDpi_ = dpi;
    origin_ = {};
    bindClip_ = clip_ = {};
    clipped_ = false;
}

void TCanvas::Unbind() {
    Flush();
    target_ = nullptr;
    device_ = nullptr;
}

void TCanvas::Flush() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

QPainter* TCanvas::Painter() {
    if (device_) {
        if (!device_->isActive()) return nullptr;
        if (!clipped_) device_->setClipping(false);
        else device_->setClipRect(ToQRect(clip_));
        device_->setCompositionMode(QPainter::CompositionMode_SourceOver);
        device_->setRenderHint(QPainter::Antialiasing, false);
        return device_;
    }
    if (!target_ || target_->isNull()) return nullptr;
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(target_);
        if (clipped_) painter_->setClipRect(ToQRect(clip_));
        painter_->translate(origin_.x, origin_.y);
    }
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    return painter_.get();
}

void TCanvas::ApplyPen() {
    QPainter* p = device_ ? device_ : painter_.get();
    if (pen_.Style() == psClear || pen_.Mode() == pmNop) {
        p->setPen(Qt::NoPen);
        return;
    }
    QColor c = pen_.Mode() == pmBlack ? QColor(Qt::black)
             : pen_.Mode() == pmWhite ? QColor(Qt::white)
             : pen_.Mode() == pmNot   ? QColor(Qt::white)
                                      : ToQColor(pen_.Color());
    QPen qp(c);
    qp.setWidth(pen_.Width() <= 1 ? 0 : pen_.Width());
    switch (pen_.Style()) {
    case psDash: qp.setStyle(Qt::DashLine); break;
    case psDot: qp.setStyle(Qt::DotLine); break;
    case psDashDot: qp.setStyle(Qt::DashDotLine); break;
    case psDashDotDot: qp.setStyle(Qt::DashDotDotLine); break;
    default: qp.setStyle(Qt::SolidLine); break;
    }
    p->setPen(qp);
    p->setCompositionMode(ModeOfPen(pen_.Mode()));
}

void TCanvas::ApplyBrush() {
    QPainter* p = device_ ? device_ : painter_.get();
    if (brush_.Bitmap() && brush_.Bitmap()->Image()) {
        p->setBrush(QBrush(*brush_.Bitmap()->Image()));
        return;
    }
    QBrush b(ToQColor(brush_.Color()), QtBrushStyle(brush_.Style()));
    p->setBrush(b);
    // Hatches leave the gaps alone, like a transparent background mode.
    p->setBackgroundMode(Qt::TransparentMode);
}

void TCanvas::ApplyFont() {
    QPainter* p = device_ ? device_ : painter_.get();
    p->setFont(QtFont().font);
    p->setPen(ToQColor(font_.Color()));
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
    if (AfterChange) AfterChange();
}

void TCanvas::MoveTo(int x, int y) { penPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
    if (QPainter* p = Painter()) {
        ApplyPen();
        int x0 = penPos_.x, y0 = penPos_.y;
        // Win32 leaves out the last pixel; do the same for straight lines,
        // which is what XOR rubber bands and frames are built from.
        int ex = x, ey = y;
        if (y0 == y && x != x0) ex = x > x0 ? x - 1 : x + 1;
        else if (x0 == x && y != y0) ey = y > y0 ? y - 1 : y + 1;
        if (x0 != x || y0 != y) p->drawLine(x0, y0, ex, ey);
        Changed();
    }
    penPos_ = {x, y};
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    QPainter* p = Painter();
    if (!p || x2 <= x1 || y2 <= y1) return;
    ApplyBrush();
    if (brush_.Style() != bsClear) {
        int inset = pen_.Style() == psClear ? 0 : 1;
        p->fillRect(QRect(x1 + inset, y1 + inset, x2 - x1 - 2 * inset, y2 - y1 - 2 * inset), p->brush());
    }
    if (pen_.Style() != psClear) {
        ApplyPen();
        p->setBrush(Qt::NoBrush);
        int w = std::max(1, pen_.Width());
        QRect outer(x1, y1, x2 - x1, y2 - y1);
        if (w == 1) {
            p->drawRect(outer.adjusted(0, 0, -1, -1));
        } else {
            QPen qp = p->pen();
            QBrush b(qp.color());
            p->setPen(Qt::NoPen);
            p->setBrush(b);
            p->drawRect(QRect(x1, y1, outer.width(), w));
            p->drawRect(QRect(x1, y2 - w, outer.width(), w));
            p->drawRect(QRect(x1, y1 + w, w, outer.height() - 2 * w));
            p->drawRect(QRect(x2 - w, y1 + w, w, outer.height() - 2 * w));
        }
    }
    Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    QPainter* p = Painter();
    if (!p) return;
    ApplyBrush();
    ApplyPen();
    p->drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), x3 / 2.0, y3 / 2.0);
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    QPainter* p = Painter();
    if (!p) return;
    ApplyBrush();
    ApplyPen();
    p->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    Changed();
}

void TCanvas::FillRect(const TRect& r) {
    QPainter* p = Painter();
    if (!p || r.IsEmpty()) return;
    ApplyBrush();
    if (brush_.Style() != bsClear || brush_.Bitmap()) p->fillRect(ToQRect(r), p->brush());
    Changed();
}

void TCanvas::FrameRect(const TRect& r) {
    QPainter* p = Painter();
    if (!p || r.IsEmpty()) return;
    QColor c = ToQColor(brush_.Color());
    p->fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p->fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p->fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p->fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
    QPainter* p = Painter();
    if (!p || r.IsEmpty()) return;
    // A dotted frame inverted onto the picture, so drawing it twice removes it.
    p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p->setPen(Qt::NoPen);
    for (int x = r.Left; x < r.Right; ++x) {
        if (((x - r.Left) & 1) == 0) {
            p->fillRect(QRect(x, r.Top, 1, 1), Qt::white);
            if (r.Bottom - 1 > r.Top) p->fillRect(QRect(x, r.Bottom - 1, 1, 1), Qt::white);
        }
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        if (((y - r.Top) & 1) == 0) {
            p->fillRect(QRect(r.Left, y, 1, 1), Qt::white);
            if (r.Right - 1 > r.Left) p->fillRect(QRect(r.Right - 1, y, 1, 1), Qt::white);
        }
    }
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    Flush();
    if (target_) ForceOpaque(*target_, ToQRect(r).translated(origin_.x, origin_.y));
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    QPainter* p = Painter();
    if (!p || points.empty()) return;
    QPolygon poly;
    for (const TPoint& pt : points) poly << QPoint(pt.x, pt.y);
    ApplyBrush();
    ApplyPen();
    p->drawPolygon(poly);
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    QPainter* p = Painter();
    if (!p || points.empty()) return;
    QPolygon poly;
    for (const TPoint& pt : points) poly << QPoint(pt.x, pt.y);
    ApplyPen();
    p->drawPolyline(poly);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    QPainter* p = Painter();
    if (!p) return;
    QString s = FontText(font_.Name(), text);
    ApplyFont();
    QFontMetrics fm(p->font());
    int w = fm.horizontalAdvance(s);
    if (brush_.Style() != bsClear) p->fillRect(QRect(x, y, w, fm.height()), ToQColor(brush_.Color()));
    p->drawText(QPoint(x, y + fm.ascent()), s);
    penPos_ = {x + w, y};
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    QPainter* p = Painter();
    if (!p) return;
    p->save();
    p->setClipRect(ToQRect(r), Qt::IntersectClip);
    if (brush_.Style() != bsClear) p->fillRect(ToQRect(r), ToQColor(brush_.Color()));
    ApplyFont();
    QFontMetrics fm(p->font());
    p->drawText(QPoint(x, y + fm.ascent()), FontText(font_.Name(), text));
    p->restore();
    Changed();
}

void TCanvas::GetTextMetrics(TTextMetric& tm) {
    const QFont& f = QtFont().font;
    const QFontMetrics& fm = QtFont().metrics;
    tm = TTextMetric{};
    tm.tmAscent = fm.ascent();
    tm.tmDescent = fm.descent();
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - f.pixelSize());
    tm.tmExternalLeading = std::max(0, fm.leading());
    tm.tmAveCharWidth = fm.averageCharWidth();
    tm.tmMaxCharWidth = fm.maxWidth();
    tm.tmWeight = (font_.Style() & fsBold) ? 700 : 400;
    tm.tmItalic = font_.Style() & fsItalic;
    tm.tmUnderlined = font_.Style() & fsUnderline;
    tm.tmStruckOut = font_.Style() & fsStrikeOut;
    tm.tmCharSet = static_cast<unsigned char>(font_.Charset());
}

void TCanvas::GetCharWidths(unsigned char first, unsigned char last, int* widths) {
    const QFontMetrics& fm = QtFont().metrics;
    for (int c = first; c <= last; ++c)
        widths[c - first] = fm.horizontalAdvance(FontChar(font_.Name(), static_cast<unsigned char>(c)));
}

namespace {
// Draws text with given advances as one run of glyphs: each character's
// glyph straight from the font's character map, at its place. Drawing the
// characters one by one would shape each of them as a text of its own,
// which costs far more than the drawing. False (nothing drawn) when the font
// lacks a glyph, so that the caller's character-wise drawing can fall back
// to another font.
bool DrawGlyphsAt(QPainter& p, int x, int baseline, const std::string& fontName, const std::string& text,
                  const int* dx) {
    thread_local QFont lastFont;
    thread_local QRawFont lastRaw;
    thread_local bool haveRaw = false;
    const QFont& font = p.font();
    if (!haveRaw || !(font == lastFont)) {
        lastRaw = QRawFont::fromFont(font);
        lastFont = font;
        haveRaw = true;
    }
    if (!lastRaw.isValid()) return false;
    QString chars;
    chars.reserve(static_cast<qsizetype>(text.size()));
    for (unsigned char c : text) chars.append(FontChar(fontName, c));
    QList<quint32> glyphs = lastRaw.glyphIndexesForString(chars);
    if (glyphs.size() != chars.size()) return false;
    QList<quint32> indexes;
    QList<QPointF> places;
    int cx = x;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const QChar c = chars.at(i);
        const bool invisible = c.isSpace() || c.unicode() < 32;
        if (glyphs[i] == 0 && !invisible) return false;
        if (glyphs[i] != 0 && !invisible) {
            indexes.append(glyphs[i]);
            places.append(QPointF(cx, baseline));
        }
        cx += dx[i];
    }
    if (!indexes.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(lastRaw);
        run.setGlyphIndexes(indexes);
        run.setPositions(places);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
    // Underline and strike-out run under and through the whole text, spaces too.
    if (font.underline() || font.strikeOut()) {
        QFontMetrics fm(font);
        p.save();
        QPen pen(p.pen().color());
        pen.setWidth(std::max(1, fm.lineWidth()));
        p.setPen(pen);
        if (font.underline()) p.drawLine(x, baseline + fm.underlinePos(), cx - 1, baseline + fm.underlinePos());
        if (font.strikeOut()) p.drawLine(x, baseline - fm.strikeOutPos(), cx - 1, baseline - fm.strikeOutPos());
        p.restore();
    }
    return true;
}
}  // namespace

void TCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect, const std::string& text, const int* dx) {
    QPainter* p = Painter();
    if (!p) return;
    p->save();
    if (rect && (options & ETO_CLIPPED)) p->setClipRect(ToQRect(*rect), Qt::IntersectClip);
    if (rect && (options & ETO_OPAQUE)) p->fillRect(ToQRect(*rect), ToQColor(brush_.Color()));
    ApplyFont();
    QFontMetrics fm(p->font());
    int baseline = y + fm.ascent();
    if (!rect && !(options & ETO_OPAQUE) && brush_.Style() != bsClear) {
        // Opaque background mode without a rectangle: the text's own cell.
        int w = 0;
        if (dx) for (std::size_t i = 0; i < text.size(); ++i) w += dx[i];
        else w = fm.horizontalAdvance(FontText(font_.Name(), text));
        p->fillRect(QRect(x, y, w, fm.height()), ToQColor(brush_.Color()));
    }
    if (!dx) {
        p->drawText(QPoint(x, baseline), FontText(font_.Name(), text));
    } else if (!device_ && DrawGlyphsAt(*p, x, baseline, font_.Name(), text, dx)) {
        // Placed as whole runs of glyphs.
    } else {
        int cx = x;
        for (std::size_t i = 0; i < text.size(); ++i) {
            p->drawText(QPoint(cx, baseline), QString(FontChar(font_.Name(), static_cast<unsigned char>(text[i]))));
            cx += dx[i];
        }
    }
    p->restore();
    Changed();
}

int TCanvas::GetDeviceCaps(int index) const {
    int w = device_ ? deviceWidth_ : target_ ? target_->width() : GetSystemMetrics(SM_CXSCREEN);
    int h = device_ ? deviceHeight_ : target_ ? target_->height() : GetSystemMetrics(SM_CYSCREEN);
    int dpi = device_ ? deviceDpi_ : kScreenPixelsPerInch;
    switch (index) {
    case LOGPIXELSX: case LOGPIXELSY: return dpi;
    case HORZRES: return w;
    case VERTRES: return h;
    case HORZSIZE: return MulDiv(w, 254, dpi * 10);  // millimetres
    case VERTSIZE: return MulDiv(h, 254, dpi * 10);
    case BITSPIXEL: return 24;
    case PLANES: return 1;
    case NUMCOLORS: return -1;  // more than 256 colours
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP;
    default: return 0;
    }
}

void ScrollDC(TCanvas& canvas, int dx, int dy, const TRect& scroll, const TRect& clip) {
    TRect dest = scroll;
    OffsetRect(dest, dx, dy);
    TRect visible;
    if (!IntersectRect(visible, dest, clip.IsEmpty() ? scroll : clip)) return;
    TRect src = visible;
    OffsetRect(src, -dx, -dy);
    TCopyMode saved = canvas.CopyMode;
    canvas.CopyMode = cmSrcCopy;
    canvas.CopyRect(visible, canvas, src);
    canvas.CopyMode = saved;
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).x; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).y; }

namespace {
std::uint64_t g_textMeasurements = 0;  // the GUI runs on one thread
}  // namespace

std::uint64_t TCanvas::TextMeasurements() { return g_textMeasurements; }

TPoint TCanvas::TextExtent(const std::string& text) {
    ++g_textMeasurements;
    const QFontMetrics& fm = QtFont().metrics;
    return {fm.horizontalAdvance(FontText(font_.Name(), text)), fm.height()};
}

std::uint32_t RasterOp3(TCopyMode rop, std::uint32_t pattern, std::uint32_t source, std::uint32_t dest) {
    const unsigned table = (rop >> 16) & 0xFF;
    std::uint32_t r = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (table & (1u << i))
            r |= ((i & 4) ? pattern : ~pattern) & ((i & 2) ? source : ~source) & ((i & 1) ? dest : ~dest);
    return r;
}

QBrush TCanvas::PatternBrush() const {
    if (brush_.Bitmap() && brush_.Bitmap()->Image()) return QBrush(*brush_.Bitmap()->Image());
    return QBrush(ToQColor(brush_.Color()), brush_.Style() == bsClear ? Qt::SolidPattern : QtBrushStyle(brush_.Style()));
}

void TCanvas::DrawImage(const TRect& dest, const QImage& image, const TRect& src, TCopyMode mode) {
    QPainter* p = Painter();
    if (!p || dest.IsEmpty()) return;
    if (mode == cmSrcCopy || device_) {
        // A device (a printer) has no picture to combine with: what does not
        // depend on the destination is drawn, everything else as a copy.
        if (mode == cmBlackness || mode == cmWhiteness) p->fillRect(ToQRect(dest), mode == cmBlackness ? Qt::black : Qt::white);
        else if (mode == cmPatCopy) p->fillRect(ToQRect(dest), PatternBrush());
        else p->drawImage(ToQRect(dest), image, ToQRect(src));
        Changed();
        return;
    }
    // Every other operation is evaluated bit by bit on the pixels' RGB values.
    Flush();
    QRect d = ToQRect(dest).translated(origin_.x, origin_.y);
    QRect area = d.intersected(target_->rect());
    if (clipped_) area = area.intersected(ToQRect(clip_));
    if (area.isEmpty()) return;
    QImage source = image.copy(ToQRect(src));
    if (source.size() != d.size()) source = source.scaled(d.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    source = source.convertToFormat(QImage::Format_RGB32);
    // The brush laid out over the destination; hatches leave white gaps. The
    // pattern is aligned to the canvas's origin, as a brush origin of (0, 0).
    QImage pattern(d.size(), QImage::Format_RGB32);
    pattern.fill(Qt::white);
    {
        QPainter pp(&pattern);
        pp.setBrushOrigin(-dest.Left, -dest.Top);
        pp.fillRect(pattern.rect(), PatternBrush());
    }
    if (target_->format() != QImage::Format_RGB32 && target_->format() != QImage::Format_ARGB32)
        *target_ = target_->convertToFormat(QImage::Format_RGB32);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(target_->scanLine(y));
        const auto* sl = reinterpret_cast<const QRgb*>(source.constScanLine(y - d.top()));
        const auto* pl = reinterpret_cast<const QRgb*>(pattern.constScanLine(y - d.top()));
        for (int x = area.left(); x <= area.right(); ++x) {
            std::uint32_t r = RasterOp3(mode, pl[x - d.left()], sl[x - d.left()], out[x]);
            out[x] = 0xFF000000u | (r & 0xFFFFFFu);
        }
    }
    Changed();
}

void TCanvas::Draw(int x, int y, const TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    StretchDraw(Bounds(x, y, graphic->Width(), graphic->Height()), graphic);
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    QPainter* p = Painter();
    if (!p) return;
    if (graphic->PaintOn(*p, r)) {
        Changed();
        return;
    }
    if (!graphic->Image()) return;
    const QImage& img = *graphic->Image();
    if (graphic->Transparent()) {
        if (auto* bmp = dynamic_cast<const TBitmap*>(graphic)) {
            // Leave out the transparent colour: make it see-through with an alpha channel.
            QImage withAlpha = img.convertToFormat(QImage::Format_ARGB32);
            QRgb key = ToQColor(bmp->TransparentColor()).rgb() & 0xFFFFFF;
            for (int yy = 0; yy < withAlpha.height(); ++yy) {
                auto* line = reinterpret_cast<QRgb*>(withAlpha.scanLine(yy));
                for (int xx = 0; xx < withAlpha.width(); ++xx)
                    if ((line[xx] & 0xFFFFFF) == key) line[xx] = 0;
            }
            p->drawImage(ToQRect(r), withAlpha);
            Changed();
            return;
        }
    }
    p->drawImage(ToQRect(r), img);
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    if (!source.target_) return;
    source.Flush();
    TRect src = sourceRect;
    OffsetRect(src, source.origin_.x, source.origin_.y);
    // Copy first: source and destination may be the same image.
    QImage copy = source.target_->copy(ToQRect(src));
    DrawImage(dest, copy, Bounds(0, 0, src.Width(), src.Height()), CopyMode);
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& bitmap, const TRect& source, TColor color) {
    if (!bitmap.Image()) return;
    QImage img = bitmap.Image()->copy(ToQRect(source)).convertToFormat(QImage::Format_RGB32);
    QRgb key = ToQColor(color).rgb() | 0xFF000000u;
    QRgb fill = ToQColor(brush_.Color()).rgb() | 0xFF000000u;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] | 0xFF000000u) == key) line[x] = fill;
    }
    DrawImage(dest, img, Bounds(0, 0, img.width(), img.height()), cmSrcCopy);
}

TColor TCanvas::Pixel(int x, int y) {
    if (!target_) return -1;
    Flush();
    int ix = x + origin_.x, iy = y + origin_.y;
    if (!target_->valid(ix, iy)) return -1;  // CLR_INVALID
    return FromQColor(QColor(target_->pixel(ix, iy)));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (device_) {
        if (QPainter* p = Painter()) p->fillRect(QRect(x, y, 1, 1), ToQColor(color));
        Changed();
        return;
    }
    if (!target_) return;
    Flush();
    int ix = x + origin_.x, iy = y + origin_.y;
    if (!target_->valid(ix, iy)) return;
    if (clipped_ && !clip_.Contains({ix, iy})) return;
    target_->setPixel(ix, iy, ToQColor(color).rgb());
    Changed();
}

TRect TCanvas::ClipRect() const {
    if (!target_ && !device_) return {};
    TRect whole = device_ ? Bounds(0, 0, deviceWidth_, deviceHeight_) : Bounds(0, 0, target_->width(), target_->height());
    TRect r = clipped_ ? clip_ : whole;
    OffsetRect(r, -origin_.x, -origin_.y);
    return r;
}

void TCanvas::SetClipRect(const TRect& r) {
    Flush();
    TRect c = r;
    OffsetRect(c, origin_.x, origin_.y);
    if (!bindClip_.IsEmpty()) IntersectRect(c, c, bindClip_);
    clip_ = c;
    clipped_ = true;
}

void TCanvas::ResetClip() {
    Flush();
    clip_ = bindClip_;
    clipped_ = !bindClip_.IsEmpty();
}

int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags) {
    QFont font = ToQFont(canvas.Font());
    QFontMetrics fm(font);
    QString s = FontText(canvas.Font().Name(), text);
    int qflags = 0;
    qflags |= (flags & DT_CENTER) ? Qt::AlignHCenter : (flags & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (flags & DT_SINGLELINE) {
        qflags |= Qt::TextSingleLine;
        qflags |= (flags & DT_VCENTER) ? Qt::AlignVCenter : (flags & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
    } else {
        qflags |= Qt::AlignTop;
    }
    if (flags & DT_WORDBREAK) qflags |= Qt::TextWordWrap;
    if (flags & DT_EXPANDTABS) qflags |= Qt::TextExpandTabs;
    if (!(flags & DT_NOPREFIX)) qflags |= Qt::TextShowMnemonic;
    if (flags & DT_NOCLIP) qflags |= Qt::TextDontClip;
    QRect qr = ToQRect(rect);
    if ((flags & DT_CALCRECT) && !(flags & DT_WORDBREAK)) {
        // Without wrapping Win32 measures by advance widths, line by line.
        QStringList lines = (flags & DT_SINGLELINE) ? QStringList{s} : s.split(QLatin1Char('\n'));
        int width = 0;
        for (QString line : lines) {
            if (!(flags & DT_NOPREFIX)) {
                QString plain;
                for (int i = 0; i < line.size(); ++i) {
                    if (line[i] == QLatin1Char('&') && i + 1 < line.size()) ++i;
                    else if (line[i] == QLatin1Char('&')) continue;
                    plain += line[i];
                }
                line = plain;
            }
            if (flags & DT_EXPANDTABS) line.replace(QLatin1Char('\t'), QString(8, QLatin1Char(' ')));
            width = std::max(width, fm.horizontalAdvance(line));
        }
        rect.Right = rect.Left + width;
        rect.Bottom = rect.Top + fm.height() * static_cast<int>(lines.size());
        return rect.Height();
    }
    if (flags & DT_CALCRECT) {
        QRect bound = fm.boundingRect(QRect(qr.x(), qr.y(), (flags & DT_WORDBREAK) ? qr.width() : 100000, 100000),
                                      qflags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom),
                                      s);
        rect.Right = rect.Left + bound.width();
        rect.Bottom = rect.Top + std::max(bound.height(), fm.height());
        return rect.Height();
    }
    if (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) {
        s = fm.elidedText(s, (flags & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight, qr.width(),
                          (flags & DT_NOPREFIX) ? 0 : Qt::TextShowMnemonic);
    }
    QPainter* p = canvas.Painter();
    QRect bound = fm.boundingRect(qr, qflags, s);
    if (!p) return bound.height();
    if (canvas.Brush().Style() != bsClear) p->fillRect(bound.intersected(qr), ToQColor(canvas.Brush().Color()));
    p->setFont(font);
    p->setPen(ToQColor(canvas.Font().Color()));
    p->drawText(qr, qflags, s);
    if (canvas.AfterChange) canvas.AfterChange();
    return bound.height();
}

void DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags) {
    TRect r = rect;
    QPainter* p = canvas.Painter();
    // One ring: top-left and bottom-right colours, on the sides asked for.
    auto ring = [&](TColor topLeft, TColor bottomRight) {
        if (r.IsEmpty()) return;
        QColor tl = ToQColor(topLeft), br = ToQColor(bottomRight);
        if (p) {
            if (flags & BF_TOP) p->fillRect(QRect(r.Left, r.Top, r.Width(), 1), tl);
            if (flags & BF_LEFT) p->fillRect(QRect(r.Left, r.Top, 1, r.Height()), tl);
            if (flags & BF_BOTTOM) p->fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), br);
            if (flags & BF_RIGHT) p->fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), br);
        }
        if (flags & BF_TOP) ++r.Top;
        if (flags & BF_LEFT) ++r.Left;
        if (flags & BF_BOTTOM) --r.Bottom;
        if (flags & BF_RIGHT) --r.Right;
    };
    if (edge & BDR_RAISEDOUTER) ring(cl3DLight, cl3DDkShadow);
    else if (edge & BDR_SUNKENOUTER) ring(clBtnShadow, clBtnHighlight);
    if (edge & BDR_RAISEDINNER) ring(clBtnHighlight, clBtnShadow);
    else if (edge & BDR_SUNKENINNER) ring(cl3DDkShadow, cl3DLight);
    if ((flags & BF_MIDDLE) && p && !r.IsEmpty()) p->fillRect(ToQRect(r), ToQColor(clBtnFace));
    if (canvas.AfterChange) canvas.AfterChange();
    if (flags & BF_ADJUST) rect = r;
}

void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    TPen& pen = canvas.Pen();
    TPenStyle oldStyle = pen.Style();
    TColor oldColor = pen.Color();
    int oldWidth = pen.Width();
    pen.SetWidth(1);
    pen.SetStyle(psSolid);
    --rect.Bottom;
    --rect.Right;
    for (int i = 0; i < width; ++i) {
        pen.SetColor(topColor);
        canvas.MoveTo(rect.Left, rect.Bottom);
        canvas.LineTo(rect.Left, rect.Top);
        canvas.LineTo(rect.Right, rect.Top);
        pen.SetColor(bottomColor);
        canvas.LineTo(rect.Right, rect.Bottom);
        canvas.LineTo(rect.Left - 1, rect.Bottom);
        InflateRect(rect, -1, -1);
    }
    ++rect.Bottom;
    ++rect.Right;
    pen.SetColor(oldColor);
    pen.SetStyle(oldStyle);
    pen.SetWidth(oldWidth);
}

// --- graphics -----------------------------------------------------------------------

namespace {

std::string ReadAll(plat::Stream& stream) {
    std::int64_t size = stream.Size() - stream.Position();
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(0, size)), '\0');
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return bytes;
}

void WriteImage(const QImage& img, plat::Stream& stream, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, format)) throw plat::EWriteError("Cannot write the picture");
    stream.WriteBuffer(bytes.constData(), bytes.size());
}

QImage ReadImage(const std::string& bytes, const char* format) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // Bound what a hostile header can make us allocate.
    reader.setAllocationLimit(256);
    QImage img = reader.read();
    if (img.isNull()) throw plat::EReadError("Invalid picture: " + reader.errorString().toStdString());
    return img;
}

// Picture files are named as the design names them (drive letters, "\",
// any letter case): the path layer finds the file they mean.
QString PictureFilePath(const std::string& fileName) { return QString::fromStdString(plat::NativePath(fileName)); }

std::string ReadFileBytes(const std::string& fileName) {
    QFile f(PictureFilePath(fileName));
    if (!f.open(QIODevice::ReadOnly)) throw plat::EFOpenError("Cannot open file \"" + fileName + "\"");
    QByteArray data = f.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

}  // namespace

void TGraphic::SetTransparent(bool t) {
    if (t == transparent_) return;
    transparent_ = t;
    Changed();
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    plat::MemoryStream stream(ReadFileBytes(fileName));
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) const {
    plat::MemoryStream stream;
    SaveToStream(stream);
    QFile f(PictureFilePath(fileName));
    if (!f.open(QIODevice::WriteOnly)) throw plat::EFCreateError("Cannot create file \"" + fileName + "\"");
    std::string bytes = stream.DataString();
    if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw plat::EWriteError("Cannot write file \"" + fileName + "\"");
}

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}
TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }
TBitmap::~TBitmap() {
    if (canvas_) canvas_->Unbind();
}

void TBitmap::Assign(const TBitmap& source) {
    if (&source == this) return;
    if (source.canvas_) source.canvas_->Flush();
    if (canvas_) canvas_->Flush();
    *image_ = source.image_->copy();
    monochrome_ = source.monochrome_;
    transparent_ = source.transparent_;
    transparentColor_ = source.transparentColor_;
    if (canvas_) canvas_->Bind(image_.get());
    Changed();
}

int TBitmap::Width() const { return image_->width(); }
int TBitmap::Height() const { return image_->height(); }
void TBitmap::SetWidth(int w) { SetSize(w, Height()); }
void TBitmap::SetHeight(int h) { SetSize(Width(), h); }

void TBitmap::SetSize(int w, int h) {
    w = std::max(0, w);
    h = std::max(0, h);
    if (w == Width() && h == Height()) return;
    if (canvas_) canvas_->Flush();
    QImage img;
    if (w > 0 && h > 0) {
        img = QImage(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
        if (!image_->isNull()) {
            QPainter p(&img);
            p.drawImage(0, 0, *image_);
        }
    }
    *image_ = img;
    if (canvas_) canvas_->Bind(image_.get());
    Changed();
}

bool TBitmap::Empty() const { return image_->isNull(); }

TCanvas& TBitmap::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<TCanvas>();
        canvas_->Bind(image_.get());
        canvas_->AfterChange = [this] { CanvasChanged(); };
    }
    return *canvas_;
}

void TBitmap::CanvasChanged() {
    if (monochrome_) Monochromize();
}

void TBitmap::Monochromize() {
    if (canvas_) canvas_->Flush();
    for (int y = 0; y < image_->height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_->scanLine(y));
        for (int x = 0; x < image_->width(); ++x) line[x] = qGray(line[x]) >= 128 ? 0xFFFFFFFFu : 0xFF000000u;
    }
}

void TBitmap::SetMonochrome(bool m) {
    if (m == monochrome_) return;
    monochrome_ = m;
    if (m) Monochromize();
    Changed();
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clDefault) return transparentColor_;
    if (image_->isNull()) return clDefault;
    if (canvas_) canvas_->Flush();
    return FromQColor(QColor(image_->pixel(0, image_->height() - 1)));
}

void TBitmap::SetTransparentColor(TColor c) { transparentColor_ = c; }

void TBitmap::Mask(TColor transparentColor) {
    if (canvas_) canvas_->Flush();
    QRgb key = ToQColor(transparentColor).rgb() & 0xFFFFFF;
    for (int y = 0; y < image_->height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_->scanLine(y));
        for (int x = 0; x < image_->width(); ++x)
            line[x] = (line[x] & 0xFFFFFF) == key ? 0xFFFFFFFFu : 0xFF000000u;
    }
    monochrome_ = true;
    Changed();
}

std::unique_ptr<TBitmap> TBitmap::CreateMask(TColor transparentColor) const {
    auto mask = std::make_unique<TBitmap>();
    mask->Assign(*this);
    mask->Mask(transparentColor);
    return mask;
}

void TBitmap::LoadFromStream(plat::Stream& stream) {
    QImage img = ReadImage(ReadAll(stream), nullptr);
    SetImage(img);
}

void TBitmap::LoadFromFile(const std::string& fileName) { TGraphic::LoadFromFile(fileName); }

void TBitmap::SaveToStream(plat::Stream& stream) const {
    if (canvas_) canvas_->Flush();
    if (image_->isNull()) return;
    WriteImage(*image_, stream, "BMP");
}

const QImage* TBitmap::Image() const {
    if (canvas_) canvas_->Flush();
    return image_->isNull() ? nullptr : image_.get();
}

QImage& TBitmap::MutableImage() {
    if (canvas_) canvas_->Flush();
    return *image_;
}

void TBitmap::SetImage(const QImage& image) {
    if (canvas_) canvas_->Flush();
    *image_ = image.convertToFormat(QImage::Format_RGB32);
    if (monochrome_) Monochromize();
    if (canvas_) canvas_->Bind(image_.get());
    Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
    auto b = std::make_unique<TBitmap>();
    b->Assign(*this);
    return b;
}

TIcon::TIcon() : image_(std::make_unique<QImage>()) { transparent_ = true; }
TIcon::~TIcon() = default;
int TIcon::Width() const { return image_->width(); }
int TIcon::Height() const { return image_->height(); }
bool TIcon::Empty() const { return image_->isNull(); }
void TIcon::LoadFromStream(plat::Stream& stream) { SetImage(ReadImage(ReadAll(stream), "ICO")); }
void TIcon::SaveToStream(plat::Stream& stream) const {
    if (!image_->isNull()) WriteImage(*image_, stream, "ICO");
}
void TIcon::LoadFromFile(const std::string& fileName) { TGraphic::LoadFromFile(fileName); }
const QImage* TIcon::Image() const { return image_->isNull() ? nullptr : image_.get(); }
void TIcon::SetImage(const QImage& image) {
    *image_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    Changed();
}
std::unique_ptr<TGraphic> TIcon::Clone() const {
    auto i = std::make_unique<TIcon>();
    *i->image_ = *image_;
    return i;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Attach(std::unique_ptr<TGraphic> g) {
    graphic_ = std::move(g);
    if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
    Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) { Attach(graphic ? graphic->Clone() : nullptr); }

TBitmap& TPicture::Bitmap() {
    if (!dynamic_cast<TBitmap*>(graphic_.get())) Attach(std::make_unique<TBitmap>());
    return static_cast<TBitmap&>(*graphic_);
}

TIcon& TPicture::Icon() {
    if (!dynamic_cast<TIcon*>(graphic_.get())) Attach(std::make_unique<TIcon>());
    return static_cast<TIcon&>(*graphic_);
}

void TPicture::Assign(const TPicture& source) {
    if (&source == this) return;
    SetGraphic(source.graphic_.get());
}

void TPicture::LoadFromFile(const std::string& fileName) {
    std::string ext = plat::AnsiLowerCase(QFileInfo(ToQString(fileName)).suffix().toStdString());
    std::unique_ptr<TGraphic> g;
    if (ext == "ico") g = std::make_unique<TIcon>();
    else if (ext == "wmf") g = std::make_unique<TMetafile>();
    else g = std::make_unique<TBitmap>();
    g->LoadFromFile(fileName);  // throws before the picture changes
    Attach(std::move(g));
}

void TPicture::SaveToFile(const std::string& fileName) const {
    if (graphic_) graphic_->SaveToFile(fileName);
}

}  // namespace gui
