// The metafile player. Logical coordinates are mapped by hand (window
// origin and extent onto the target rectangle) rather than through the
// painter's transform, so fonts keep their shape under unequal scales and
// one-pixel pens stay one pixel, as on the screen the files were made for.

#include "platform/imaging/wmf_reader.h"

#include "platform/imaging/byte_reader.h"
#include "platform/imaging/codecs.h"
#include "platform/core/codepage.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>

#include <cmath>
#include <memory>
#include <vector>

namespace imaging {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr int kMaxSavedStates = 256;

enum RecordFn : std::uint16_t {
    EOF_ = 0x0000, SAVEDC = 0x001E, REALIZEPALETTE = 0x0035, SETBKMODE = 0x0102, SETMAPMODE = 0x0103,
    SETROP2 = 0x0104, SETPOLYFILLMODE = 0x0106, SETSTRETCHBLTMODE = 0x0107, RESTOREDC = 0x0127,
    SELECTOBJECT = 0x012D, SETTEXTALIGN = 0x012E, DIBCREATEPATTERNBRUSH = 0x0142, DELETEOBJECT = 0x01F0,
    CREATEPATTERNBRUSH = 0x01F9, SETBKCOLOR = 0x0201, SETTEXTCOLOR = 0x0209, SETWINDOWORG = 0x020B,
    SETWINDOWEXT = 0x020C, SETVIEWPORTORG = 0x020D, SETVIEWPORTEXT = 0x020E, OFFSETWINDOWORG = 0x020F,
    LINETO = 0x0213, MOVETO = 0x0214, SELECTPALETTE = 0x0234, CREATEPENINDIRECT = 0x02FA,
    CREATEFONTINDIRECT = 0x02FB, CREATEBRUSHINDIRECT = 0x02FC, POLYGON = 0x0324, POLYLINE = 0x0325,
    SCALEWINDOWEXT = 0x0410, EXCLUDECLIPRECT = 0x0415, INTERSECTCLIPRECT = 0x0416, ELLIPSE = 0x0418,
    RECTANGLE = 0x041B, SETPIXEL = 0x041F, TEXTOUT = 0x0521, POLYPOLYGON = 0x0538, ROUNDRECT = 0x061C,
    PATBLT = 0x061D, CREATEREGION = 0x06FF, CREATEPALETTE = 0x00F7, ARC = 0x0817, PIE = 0x081A,
    CHORD = 0x0830, DIBBITBLT = 0x0940, EXTTEXTOUT = 0x0A32, DIBSTRETCHBLT = 0x0B41, SETDIBTODEV = 0x0D33,
    STRETCHDIB = 0x0F43,
};

struct Pen {
    int style = 0;  // PS_SOLID
    int width = 0;
    QRgb color = 0xFF000000;
};
struct Brush {
    int style = 0;  // BS_SOLID
    QRgb color = 0xFFFFFFFF;
    int hatch = 0;
    QImage pattern;
};
struct Font {
    int height = 0, escapement = 0, weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 0;
    std::string face;
};
struct Object {
    enum Kind { None, PenObj, BrushObj, FontObj, Other } kind = None;
    Pen pen;
    Brush brush;
    Font font;
};

struct State {
    QPointF winOrg{0, 0};
    QPointF winExt{1, 1};
    Pen pen;
    Brush brush;
    Font font;
    QRgb textColor = 0xFF000000, bkColor = 0xFFFFFFFF;
    int bkMode = 2;  // OPAQUE
    int textAlign = 0;
    int polyFill = 1;  // ALTERNATE
    int rop2 = 13;     // R2_COPYPEN
    QPointF pos{0, 0};
};

QRgb ColorRef(std::uint32_t c) {
    // Palette-relative and palette-index colours fall back to their RGB bytes.
    if ((c >> 24) == 1) return 0xFF000000;
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

class Player {
public:
    Player(QPainter& painter, const QRectF& target, Bytes bytes, const TMetafileHeader& header,
           const TFontNameMapper& mapFont)
        : p_(painter), target_(target), b_(bytes), header_(header), mapFont_(mapFont) {
        objects_.resize(static_cast<std::size_t>(header.objects));
        if (header.placeable) {
            s_.winOrg = QPointF(header.left, header.top);
            s_.winExt = QPointF(header.right - header.left, header.bottom - header.top);
        } else {
            s_.winExt = QPointF(target.width(), target.height());
            PreScanWindow();
        }
        rasterOps_ = p_.paintEngine() && p_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    }

    bool Play(TMetafilePlay& play) {
        p_.save();
        p_.setRenderHint(QPainter::Antialiasing, false);
        p_.setClipRect(target_, Qt::IntersectClip);
        std::size_t at = header_.firstRecord;
        bool ok = false;
        for (;;) {
            if (!b_.has(at, 6)) break;
            const std::uint32_t words = b_.u32(at);
            const std::uint16_t fn = b_.u16(at + 4);
            if (words < 3 || !b_.has(at, std::uint64_t{words} * 2)) break;
            if (fn == EOF_) {
                ok = true;
                break;
            }
            Bytes params{b_.data + at + 6, std::size_t{words} * 2 - 6};
            ++play.records;
            if (!Record(fn, params, play)) break;
            at += std::size_t{words} * 2;
        }
        while (saved_ > 0) {
            p_.restore();
            --saved_;
        }
        p_.restore();
        play.complete = ok;
        return ok;
    }

private:
    // A plain metafile states its own window; find it before drawing.
    void PreScanWindow() {
        std::size_t at = header_.firstRecord;
        bool org = false, ext = false;
        while (b_.has(at, 6) && !(org && ext)) {
            const std::uint32_t words = b_.u32(at);
            const std::uint16_t fn = b_.u16(at + 4);
            if (words < 3 || !b_.has(at, std::uint64_t{words} * 2) || fn == EOF_) break;
            if (fn == SETWINDOWORG && words >= 5 && !org) {
                s_.winOrg = QPointF(b_.i16(at + 8), b_.i16(at + 6));
                org = true;
            } else if (fn == SETWINDOWEXT && words >= 5 && !ext && b_.i16(at + 6) && b_.i16(at + 8)) {
                s_.winExt = QPointF(b_.i16(at + 8), b_.i16(at + 6));
                ext = true;
            }
            at += std::size_t{words} * 2;
        }
    }

    double Sx() const { return target_.width() / s_.winExt.x(); }
    double Sy() const { return target_.height() / s_.winExt.y(); }
    QPointF MapF(double x, double y) const {
        return QPointF(target_.left() + (x - s_.winOrg.x()) * Sx(), target_.top() + (y - s_.winOrg.y()) * Sy());
    }
    QPoint Map(double x, double y) const {
        const QPointF f = MapF(x, y);
        return QPoint(static_cast<int>(std::lround(std::clamp(f.x(), -1e7, 1e7))),
                      static_cast<int>(std::lround(std::clamp(f.y(), -1e7, 1e7))));
    }
    // A logical rectangle (right and bottom excluded) in device pixels.
    QRect MapRect(int l, int t, int r, int b) const {
        const QPoint a = Map(l, t), c = Map(r, b);
        return QRect(QPoint(std::min(a.x(), c.x()), std::min(a.y(), c.y())),
                     QPoint(std::max(a.x(), c.x()) - 1, std::max(a.y(), c.y()) - 1));
    }

    // QPainter outlines a QRect one pixel wider and taller than it fills.
    static QRect Outline(const QRect& r) { return r.adjusted(0, 0, -1, -1); }

    void SetRop() {
        if (!rasterOps_) return;
        switch (s_.rop2) {
        case 7: p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;   // R2_XORPEN
        case 6: p_.setCompositionMode(QPainter::RasterOp_NotDestination); break;         // R2_NOT
        case 9: p_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;   // R2_MASKPEN
        case 15: p_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;   // R2_MERGEPEN
        case 4: p_.setCompositionMode(QPainter::RasterOp_NotSource); break;              // R2_NOTCOPYPEN
        default: p_.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
        }
    }

    QPen MakePen() const {
        const Pen& pen = s_.pen;
        if (pen.style == 5) return QPen(Qt::NoPen);
        const double w = std::abs(pen.width * Sx());
        QPen q(QColor::fromRgb(pen.color), w < 1.5 ? 0 : std::min(w, 1000.0));
        switch (pen.style) {
        case 1: q.setStyle(Qt::DashLine); break;
        case 2: q.setStyle(Qt::DotLine); break;
        case 3: q.setStyle(Qt::DashDotLine); break;
        case 4: q.setStyle(Qt::DashDotDotLine); break;
        default: q.setStyle(Qt::SolidLine); break;
        }
        q.setCapStyle(Qt::FlatCap);
        q.setJoinStyle(Qt::MiterJoin);
        return q;
    }
    QBrush MakeBrush() const {
        const Brush& br = s_.brush;
        switch (br.style) {
        case 1: return QBrush(Qt::NoBrush);  // BS_NULL
        case 2: {                            // BS_HATCHED
            static const Qt::BrushStyle hatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                   Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
            return QBrush(QColor::fromRgb(br.color), hatch[std::clamp(br.hatch, 0, 5)]);
        }
        case 3:
        case 5: return br.pattern.isNull() ? QBrush(QColor::fromRgb(br.color)) : QBrush(br.pattern);
        default: return QBrush(QColor::fromRgb(br.color));
        }
    }
    void Prepare(bool fill) {
        p_.setPen(MakePen());
        p_.setBrush(fill ? MakeBrush() : QBrush(Qt::NoBrush));
        SetRop();
    }

    int NewObject(Object obj) {
        for (std::size_t i = 0; i < objects_.size(); ++i)
            if (objects_[i].kind == Object::None) {
                objects_[i] = std::move(obj);
                return static_cast<int>(i);
            }
        return -1;  // table full: GDI would fail the creation too
    }

    void DrawBlit(std::uint32_t rop, QRect dest, Bytes dib, QRect src, bool bottomUpSource) {
        if (dest.isEmpty()) return;
        if (dib.size == 0) {  // no picture: a pattern operation on the destination
            PatBlt(rop, dest);
            return;
        }
        const QImage img =
            DecodePackedDib(std::string_view(reinterpret_cast<const char*>(dib.data), dib.size));
        if (img.isNull()) return;
        if (bottomUpSource) src.moveTop(img.height() - src.top() - src.height());
        if (src.isEmpty()) src = img.rect();
        src = src.intersected(img.rect());
        if (src.isEmpty()) return;
        if (rasterOps_) {
            switch (rop) {
            case 0x008800C6: p_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;  // SRCAND
            case 0x00EE0086: p_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;   // SRCPAINT
            case 0x00660046: p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;  // SRCINVERT
            case 0x00330008: p_.setCompositionMode(QPainter::RasterOp_NotSource); break;             // NOTSRCCOPY
            default: p_.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
            }
        }
        p_.drawImage(dest, img, src);
        p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void PatBlt(std::uint32_t rop, const QRect& r) {
        switch (rop) {
        case 0x00000042: p_.fillRect(r, Qt::black); break;  // BLACKNESS
        case 0x00FF0062: p_.fillRect(r, Qt::white); break;  // WHITENESS
        case 0x00550009:                                      // DSTINVERT
        case 0x005A0049:                                      // PATINVERT
            if (rasterOps_) {
                p_.setCompositionMode(rop == 0x00550009 ? QPainter::RasterOp_NotDestination
                                                        : QPainter::RasterOp_SourceXorDestination);
                p_.fillRect(r, rop == 0x00550009 ? QBrush(Qt::black) : MakeBrush());
                p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
            break;
        case 0x00AA0029: break;  // destination unchanged
        default: p_.fillRect(r, MakeBrush()); break;  // PATCOPY and the rest
        }
    }

    QFont MakeFont(double& pixelHeight) const {
        const Font& f = s_.font;
        std::string face = f.face.empty() ? std::string("Arial") : f.face;
        if (mapFont_) face = mapFont_(face);
        QFont q(QString::fromStdString(plat::AnsiToUtf8(face)));
        const double sy = std::abs(Sy());
        double px = f.height == 0 ? 16 * 0.8 : std::abs(f.height) * sy;
        q.setPixelSize(std::clamp(static_cast<int>(std::lround(px)), 1, 2000));
        if (f.height > 0) {
            // A positive height is the cell; shrink to the character height.
            const QFontMetricsF fm(q);
            if (fm.height() > 0) px = px * px / fm.height();
            q.setPixelSize(std::clamp(static_cast<int>(std::lround(px)), 1, 2000));
        }
        pixelHeight = px;
        q.setWeight(f.weight >= 600 ? QFont::Bold : QFont::Normal);
        q.setItalic(f.italic);
        q.setUnderline(f.underline);
        q.setStrikeOut(f.strikeOut);
        q.setStyleStrategy(QFont::NoAntialias);
        return q;
    }

    void Text(double x, double y, const std::string& ansi, const int* clipRect, bool opaque) {
        if (ansi.empty()) return;
        double px = 0;
        const QFont font = MakeFont(px);
        p_.setFont(font);
        const QFontMetricsF fm(font);
        const QString text = QString::fromStdString(plat::AnsiToUtf8(ansi));
        const bool useCp = s_.textAlign & 1;
        QPointF origin = useCp ? MapF(s_.pos.x(), s_.pos.y()) : MapF(x, y);
        const double width = fm.horizontalAdvance(text);
        double dx = 0, dy = 0;
        switch (s_.textAlign & 6) {
        case 2: dx = -width; break;      // TA_RIGHT
        case 6: dx = -width / 2; break;  // TA_CENTER
        default: break;
        }
        switch (s_.textAlign & 24) {
        case 8: dy = -fm.descent(); break;  // TA_BOTTOM
        case 24: dy = 0; break;             // TA_BASELINE
        default: dy = fm.ascent(); break;   // TA_TOP
        }
        p_.save();
        if (clipRect) p_.setClipRect(MapRect(clipRect[0], clipRect[1], clipRect[2], clipRect[3]), Qt::IntersectClip);
        p_.translate(origin);
        if (s_.font.escapement) p_.rotate(-s_.font.escapement / 10.0);
        if (s_.bkMode == 2 || opaque)
            p_.fillRect(QRectF(dx, dy - fm.ascent(), width, fm.height()), QColor::fromRgb(s_.bkColor));
        p_.setPen(QColor::fromRgb(s_.textColor));
        p_.drawText(QPointF(dx, dy), text);
        p_.restore();
        if (useCp) s_.pos.rx() += (s_.textAlign & 6) == 0 ? width / Sx() : 0;
    }

    bool Points(Bytes params, std::size_t at, int count, QPolygon& out) const {
        if (count < 0 || !params.has(at, std::uint64_t(count) * 4)) return false;
        out.resize(count);
        for (int i = 0; i < count; ++i) out[i] = Map(params.i16(at + 4 * i), params.i16(at + 4 * i + 2));
        return true;
    }

    void ArcLike(std::uint16_t fn, Bytes a) {
        const int yEnd = a.i16(0), xEnd = a.i16(2), yStart = a.i16(4), xStart = a.i16(6);
        const int bottom = a.i16(8), right = a.i16(10), top = a.i16(12), left = a.i16(14);
        const QRect r = Outline(MapRect(left, top, right, bottom));
        const QPointF c = QRectF(r).center();
        const QPointF s = MapF(xStart, yStart), e = MapF(xEnd, yEnd);
        const double a0 = std::atan2(-(s.y() - c.y()), s.x() - c.x()) * 180 / M_PI;
        const double a1 = std::atan2(-(e.y() - c.y()), e.x() - c.x()) * 180 / M_PI;
        double span = a1 - a0;
        while (span <= 0) span += 360;
        const int qa = static_cast<int>(std::lround(a0 * 16)), qs = static_cast<int>(std::lround(span * 16));
        Prepare(fn != ARC);
        if (fn == ARC) p_.drawArc(r, qa, qs);
        else if (fn == PIE) p_.drawPie(r, qa, qs);
        else p_.drawChord(r, qa, qs);
    }

    static std::string String(Bytes a, std::size_t at, std::size_t n) {
        if (!a.has(at, n)) return {};
        return std::string(reinterpret_cast<const char*>(a.data + at), n);
    }

    // One record; false when it is malformed.
    bool Record(std::uint16_t fn, Bytes a, TMetafilePlay& play) {
        auto need = [&](std::size_t bytes) { return a.has(0, bytes); };
        switch (fn) {
        case SETWINDOWORG:
            if (!need(4)) return false;
            s_.winOrg = QPointF(a.i16(2), a.i16(0));
            return true;
        case SETWINDOWEXT:
            if (!need(4)) return false;
            if (a.i16(0) && a.i16(2)) s_.winExt = QPointF(a.i16(2), a.i16(0));
            return true;
        case OFFSETWINDOWORG:
            if (!need(4)) return false;
            s_.winOrg += QPointF(a.i16(2), a.i16(0));
            return true;
        case SCALEWINDOWEXT: {
            if (!need(8)) return false;
            const int yDen = a.i16(0), yNum = a.i16(2), xDen = a.i16(4), xNum = a.i16(6);
            if (yDen && xDen && yNum && xNum)
                s_.winExt = QPointF(s_.winExt.x() * xNum / xDen, s_.winExt.y() * yNum / yDen);
            return true;
        }
        case SETBKCOLOR:
            if (!need(4)) return false;
            s_.bkColor = ColorRef(a.u32(0));
            return true;
        case SETTEXTCOLOR:
            if (!need(4)) return false;
            s_.textColor = ColorRef(a.u32(0));
            return true;
        case SETBKMODE:
            if (!need(2)) return false;
            s_.bkMode = a.u16(0);
            return true;
        case SETTEXTALIGN:
            if (!need(2)) return false;
            s_.textAlign = a.u16(0);
            return true;
        case SETPOLYFILLMODE:
            if (!need(2)) return false;
            s_.polyFill = a.u16(0);
            return true;
        case SETROP2:
            if (!need(2)) return false;
            s_.rop2 = a.u16(0);
            return true;
        case CREATEPENINDIRECT: {
            if (!need(10)) return false;
            Object o;
            o.kind = Object::PenObj;
            o.pen.style = a.u16(0) & 0x0F;
            o.pen.width = a.i16(2);
            o.pen.color = ColorRef(a.u32(6));
            NewObject(std::move(o));
            return true;
        }
        case CREATEBRUSHINDIRECT: {
            if (!need(8)) return false;
            Object o;
            o.kind = Object::BrushObj;
            o.brush.style = a.u16(0);
            o.brush.color = ColorRef(a.u32(2));
            o.brush.hatch = a.u16(6);
            NewObject(std::move(o));
            return true;
        }
        case DIBCREATEPATTERNBRUSH: {
            if (!need(4)) return false;
            Object o;
            o.kind = Object::BrushObj;
            o.brush.style = 5;
            o.brush.pattern = DecodePackedDib(std::string_view(reinterpret_cast<const char*>(a.data + 4), a.size - 4));
            NewObject(std::move(o));
            return true;
        }
        case CREATEFONTINDIRECT: {
            if (!need(18)) return false;
            Object o;
            o.kind = Object::FontObj;
            o.font.height = a.i16(0);
            o.font.escapement = a.i16(4);
            o.font.weight = a.i16(8);
            o.font.italic = a.u8(10);
            o.font.underline = a.u8(11);
            o.font.strikeOut = a.u8(12);
            o.font.charset = a.u8(13);
            std::string face = String(a, 18, std::min<std::size_t>(32, a.size - 18));
            face = face.substr(0, face.find('\0'));
            o.font.face = face;
            NewObject(std::move(o));
            return true;
        }
        case CREATEPALETTE:
        case CREATEPATTERNBRUSH:
        case CREATEREGION: {
            Object o;
            o.kind = Object::Other;
            NewObject(std::move(o));
            ++play.skipped;
            return true;
        }
        case SELECTOBJECT: {
            if (!need(2)) return false;
            const std::size_t i = a.u16(0);
            if (i < objects_.size()) {
                const Object& o = objects_[i];
                if (o.kind == Object::PenObj) s_.pen = o.pen;
                else if (o.kind == Object::BrushObj) s_.brush = o.brush;
                else if (o.kind == Object::FontObj) s_.font = o.font;
            }
            return true;
        }
        case DELETEOBJECT: {
            if (!need(2)) return false;
            const std::size_t i = a.u16(0);
            if (i < objects_.size()) objects_[i] = Object{};
            return true;
        }
        case SAVEDC:
            if (saved_ < kMaxSavedStates) {
                stack_.push_back(s_);
                p_.save();
                ++saved_;
            }
            return true;
        case RESTOREDC: {
            if (!need(2)) return false;
            int n = a.i16(0);
            int pops = n < 0 ? -n : saved_ - n + 1;
            for (; pops > 0 && saved_ > 0; --pops) {
                s_ = stack_.back();
                stack_.pop_back();
                p_.restore();
                --saved_;
            }
            return true;
        }
        case MOVETO:
            if (!need(4)) return false;
            s_.pos = QPointF(a.i16(2), a.i16(0));
            return true;
        case LINETO: {
            if (!need(4)) return false;
            const QPointF to(a.i16(2), a.i16(0));
            Prepare(false);
            p_.drawLine(Map(s_.pos.x(), s_.pos.y()), Map(to.x(), to.y()));
            s_.pos = to;
            return true;
        }
        case RECTANGLE:
        case ELLIPSE: {
            if (!need(8)) return false;
            const QRect r = MapRect(a.i16(6), a.i16(4), a.i16(2), a.i16(0));
            Prepare(true);
            if (fn == RECTANGLE) p_.drawRect(Outline(r));
            else p_.drawEllipse(Outline(r));
            return true;
        }
        case ROUNDRECT: {
            if (!need(12)) return false;
            const QRect r = MapRect(a.i16(10), a.i16(8), a.i16(6), a.i16(4));
            Prepare(true);
            p_.drawRoundedRect(Outline(r), std::abs(a.i16(2) * Sx()) / 2, std::abs(a.i16(0) * Sy()) / 2);
            return true;
        }
        case ARC:
        case PIE:
        case CHORD:
            if (!need(16)) return false;
            ArcLike(fn, a);
            return true;
        case POLYGON:
        case POLYLINE: {
            if (!need(2)) return false;
            QPolygon poly;
            if (!Points(a, 2, a.i16(0), poly)) return false;
            Prepare(fn == POLYGON);
            if (fn == POLYGON) p_.drawPolygon(poly, s_.polyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
            else p_.drawPolyline(poly);
            return true;
        }
        case POLYPOLYGON: {
            if (!need(2)) return false;
            const int n = a.u16(0);
            if (!a.has(2, std::uint64_t(n) * 2)) return false;
            std::size_t at = 2 + std::size_t(n) * 2;
            QPainterPath path;
            path.setFillRule(s_.polyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
            for (int i = 0; i < n; ++i) {
                QPolygon poly;
                const int count = a.u16(2 + 2 * i);
                if (!Points(a, at, count, poly)) return false;
                at += std::size_t(count) * 4;
                path.addPolygon(QPolygonF(poly));
                path.closeSubpath();
            }
            Prepare(true);
            p_.drawPath(path);
            return true;
        }
        case SETPIXEL:
            if (!need(8)) return false;
            SetRop();
            p_.fillRect(QRect(Map(a.i16(6), a.i16(4)), QSize(1, 1)), QColor::fromRgb(ColorRef(a.u32(0))));
            return true;
        case PATBLT: {
            if (!need(12)) return false;
            const int h = a.i16(4), w = a.i16(6), y = a.i16(8), x = a.i16(10);
            PatBlt(a.u32(0), MapRect(x, y, x + w, y + h));
            return true;
        }
        case INTERSECTCLIPRECT:
        case EXCLUDECLIPRECT: {
            if (!need(8)) return false;
            const QRect r = MapRect(a.i16(6), a.i16(4), a.i16(2), a.i16(0));
            if (fn == INTERSECTCLIPRECT) {
                p_.setClipRect(r, Qt::IntersectClip);
            } else {
                const QRegion current = p_.hasClipping() ? p_.clipRegion() : QRegion(target_.toAlignedRect());
                p_.setClipRegion(current.subtracted(QRegion(r)));
            }
            return true;
        }
        case TEXTOUT: {
            if (!need(2)) return false;
            const int n = a.i16(0);
            const std::size_t padded = (static_cast<std::size_t>(std::max(n, 0)) + 1) & ~std::size_t{1};
            if (n < 0 || !a.has(2, padded + 4)) return false;
            Text(a.i16(2 + padded + 2), a.i16(2 + padded), String(a, 2, n), nullptr, false);
            return true;
        }
        case EXTTEXTOUT: {
            if (!need(8)) return false;
            const int y = a.i16(0), x = a.i16(2), n = a.i16(4), options = a.u16(6);
            std::size_t at = 8;
            int rect[4];
            const bool hasRect = options & 0x0006;
            if (hasRect) {
                if (!a.has(8, 8)) return false;
                rect[0] = a.i16(8);
                rect[1] = a.i16(10);
                rect[2] = a.i16(12);
                rect[3] = a.i16(14);
                at += 8;
            }
            if (n < 0 || !a.has(at, static_cast<std::size_t>(n))) return false;
            if (hasRect && (options & 0x0002)) {  // ETO_OPAQUE: the rectangle in the background colour
                p_.fillRect(MapRect(rect[0], rect[1], rect[2], rect[3]), QColor::fromRgb(s_.bkColor));
            }
            Text(x, y, String(a, at, n), (options & 0x0004) ? rect : nullptr, false);
            return true;
        }
        case DIBBITBLT: {
            // Without a picture the record carries one more reserved word.
            if (!need(16)) return false;
            const bool noDib = a.size == 18;
            const std::size_t o = noDib ? 2 : 0;
            const int h = a.i16(8 + o), w = a.i16(10 + o), yd = a.i16(12 + o), xd = a.i16(14 + o);
            const int ys = a.i16(4), xs = a.i16(6);
            Bytes dib = noDib ? Bytes{} : Bytes{a.data + 16, a.size - 16};
            DrawBlit(a.u32(0), MapRect(xd, yd, xd + w, yd + h), dib, QRect(xs, ys, w, h), false);
            return true;
        }
        case DIBSTRETCHBLT: {
            if (!need(20)) return false;
            const bool noDib = a.size == 22;
            const std::size_t o = noDib ? 2 : 0;
            const int sh = a.i16(4), sw = a.i16(6), ys = a.i16(8), xs = a.i16(10);
            const int dh = a.i16(12 + o), dw = a.i16(14 + o), yd = a.i16(16 + o), xd = a.i16(18 + o);
            Bytes dib = noDib ? Bytes{} : Bytes{a.data + 20, a.size - 20};
            DrawBlit(a.u32(0), MapRect(xd, yd, xd + dw, yd + dh), dib, QRect(xs, ys, sw, sh), false);
            return true;
        }
        case STRETCHDIB: {
            if (!need(22)) return false;
            const int sh = a.i16(6), sw = a.i16(8), ys = a.i16(10), xs = a.i16(12);
            const int dh = a.i16(14), dw = a.i16(16), yd = a.i16(18), xd = a.i16(20);
            DrawBlit(a.u32(0), MapRect(xd, yd, xd + dw, yd + dh), Bytes{a.data + 22, a.size - 22},
                     QRect(xs, ys, sw, sh), true);
            return true;
        }
        case SETDIBTODEV: {
            if (!need(18)) return false;
            const int ys = a.i16(6), xs = a.i16(8), h = a.i16(10), w = a.i16(12), yd = a.i16(14), xd = a.i16(16);
            DrawBlit(0x00CC0020, MapRect(xd, yd, xd + w, yd + h), Bytes{a.data + 18, a.size - 18}, QRect(xs, ys, w, h),
                     true);
            return true;
        }
        default:
            ++play.skipped;
            return true;
        }
    }

    QPainter& p_;
    QRectF target_;
    Bytes b_;
    TMetafileHeader header_;
    const TFontNameMapper& mapFont_;
    std::vector<Object> objects_;
    State s_;
    std::vector<State> stack_;
    int saved_ = 0;
    bool rasterOps_ = false;
};

}  // namespace

bool ReadMetafileHeader(std::string_view bytes, TMetafileHeader& h) {
    h = TMetafileHeader{};
    Bytes b{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    std::size_t at = 0;
    if (b.u32(0) == kPlaceableKey) {
        if (!b.has(0, 22)) return false;
        h.placeable = true;
        h.left = b.i16(6);
        h.top = b.i16(8);
        h.right = b.i16(10);
        h.bottom = b.i16(12);
        h.inch = b.u16(14);
        if (h.right == h.left || h.bottom == h.top || h.inch == 0) return false;
        at = 22;
    }
    if (!b.has(at, 18)) return false;
    const int type = b.u16(at), headerWords = b.u16(at + 2);
    if ((type != 1 && type != 2) || headerWords != 9) return false;
    h.objects = b.u16(at + 10);
    h.firstRecord = at + 18;
    return true;
}

QSize MetafileSize(std::string_view bytes) {
    TMetafileHeader h;
    if (!ReadMetafileHeader(bytes, h)) return {};
    if (h.placeable) {
        const int w = static_cast<int>(std::lround(std::abs(h.right - h.left) * 96.0 / h.inch));
        const int hh = static_cast<int>(std::lround(std::abs(h.bottom - h.top) * 96.0 / h.inch));
        return QSize(std::clamp(w, 1, 8192), std::clamp(hh, 1, 8192));
    }
    Bytes b{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    for (std::size_t at = h.firstRecord; b.has(at, 6);) {
        const std::uint32_t words = b.u32(at);
        if (words < 3 || !b.has(at, std::uint64_t{words} * 2) || b.u16(at + 4) == EOF_) break;
        if (b.u16(at + 4) == SETWINDOWEXT && words >= 5) {
            int w = std::abs(b.i16(at + 8)), hh = std::abs(b.i16(at + 6));
            // Logical units of unknown size: keep the shape, at a screen-sized scale.
            while (w > 2000 || hh > 2000) {
                w /= 2;
                hh /= 2;
            }
            if (w > 0 && hh > 0) return QSize(w, hh);
            break;
        }
        at += std::size_t{words} * 2;
    }
    return {};
}

bool DrawMetafile(QPainter& painter, const QRectF& target, std::string_view bytes, const TFontNameMapper& mapFont,
                  TMetafilePlay* play) {
    TMetafilePlay local;
    TMetafilePlay& out = play ? *play : local;
    out = TMetafilePlay{};
    TMetafileHeader h;
    if (!ReadMetafileHeader(bytes, h) || target.isEmpty()) return false;
    Player player(painter, target, Bytes{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, h,
                  mapFont);
    return player.Play(out);
}

QImage RenderMetafile(std::string_view bytes, QSize size, QRgb background, const TFontNameMapper& mapFont,
                      TMetafilePlay* play) {
    if (size.isEmpty()) size = MetafileSize(bytes);
    if (size.isEmpty()) size = QSize(100, 100);
    QImage img(size, QImage::Format_RGB32);
    img.fill(background);
    QPainter painter(&img);
    DrawMetafile(painter, QRectF(0, 0, size.width(), size.height()), bytes, mapFont, play);
    painter.end();
    return img;
}

}  // namespace imaging
