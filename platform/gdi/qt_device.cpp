#include "platform/gdi/qt_device.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

#include "platform/core/codepage.h"
#include "platform/gdi/picture_render.h"
#include "platform/imaging/graphic.h"

namespace plat {

namespace {
QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
QRect ToQRect(const TRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
QString ToQString(std::string_view ansi) {
    std::u16string w = AnsiToWide(ansi);
    return QString::fromUtf16(w.data(), static_cast<qsizetype>(w.size()));
}
}  // namespace

struct TQtDevice::Impl {
    QImage* image = nullptr;
    QPainter painter;
    QFont font;
};

TQtDevice::TQtDevice(QImage* image, int dpiX, int dpiY) : impl_(std::make_unique<Impl>()) {
    impl_->image = image;
    dpiX_ = dpiX > 0 ? dpiX : (image ? image->logicalDpiX() : 96);
    dpiY_ = dpiY > 0 ? dpiY : (image ? image->logicalDpiY() : 96);
    fontPpi_ = dpiY_;
    if (image) impl_->painter.begin(image);
    SelectFont(font_);
}

TQtDevice::~TQtDevice() {
    if (impl_->painter.isActive()) impl_->painter.end();
}

void TQtDevice::SetFontPixelsPerInch(int ppi) {
    fontPpi_ = ppi > 0 ? ppi : dpiY_;
    SelectFont(font_);
}

void TQtDevice::SelectFont(const TFontSpec& font) {
    font_ = font;
    QFont f(ToQString(font.name));
    f.setPixelSize(std::max(1, (font.pointSize * fontPpi_ + 36) / 72));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStrikeOut(font.strikeOut);
    f.setUnderline(false);  // the engine draws its own underline
    impl_->font = f;
    if (impl_->painter.isActive()) impl_->painter.setFont(f);
}

bool TQtDevice::GetTextMetrics(TTextMetric& tm) {
    QFontMetrics fm(impl_->font);
    tm.ascent = fm.ascent();
    tm.descent = fm.descent();
    tm.height = fm.ascent() + fm.descent();
    tm.externalLeading = std::max(0, fm.leading());
    return true;
}

void TQtDevice::GetCharWidths(std::array<std::int32_t, 256>& widths) {
    QFontMetrics fm(impl_->font);
    for (int c = 0; c < 256; ++c) widths[c] = fm.horizontalAdvance(QChar(AnsiCharToUnicode(static_cast<unsigned char>(c))));
}

TSize TQtDevice::TextExtent(std::string_view text) {
    QFontMetrics fm(impl_->font);
    return {fm.horizontalAdvance(ToQString(text)), fm.ascent() + fm.descent()};
}

void TQtDevice::SetPen(COLORREF c, int width, TPenStyle style) {
    QPen pen(ToQColor(c));
    pen.setWidth(std::max(width, 1));
    pen.setStyle(style == TPenStyle::Solid ? Qt::SolidLine : style == TPenStyle::Dot ? Qt::DotLine : Qt::DashLine);
    if (impl_->painter.isActive()) impl_->painter.setPen(pen);
}

void TQtDevice::SetClipRect(const TRect* r) {
    if (!impl_->painter.isActive()) return;
    if (r) impl_->painter.setClipRect(ToQRect(*r));
    else impl_->painter.setClipping(false);
}

void TQtDevice::ExtTextOut(int x, int y, const TRect* rect, bool opaque, bool clip, std::string_view text,
                           const int* dx) {
    QPainter& p = impl_->painter;
    if (!p.isActive()) return;
    p.save();
    if (rect && opaque) p.fillRect(ToQRect(*rect), ToQColor(bkColor_));
    if (rect && clip) p.setClipRect(ToQRect(*rect), Qt::IntersectClip);
    p.setPen(ToQColor(textColor_));
    p.setFont(impl_->font);
    if (!dx) {
        p.drawText(x, y, ToQString(text));
    } else {
        // Each character at its own advance, so the device never re-measures.
        int cx = x;
        for (std::size_t i = 0; i < text.size(); ++i) {
            p.drawText(cx, y, QString(QChar(AnsiCharToUnicode(static_cast<unsigned char>(text[i])))));
            cx += dx[i];
        }
    }
    p.restore();
}

void TQtDevice::FillRect(const TRect& r, COLORREF c) {
    if (impl_->painter.isActive()) impl_->painter.fillRect(ToQRect(r), ToQColor(c));
}

void TQtDevice::Line(int x1, int y1, int x2, int y2) {
    if (impl_->painter.isActive()) impl_->painter.drawLine(x1, y1, x2, y2);
}

void TQtDevice::FrameRect(const TRect& r) {
    if (impl_->painter.isActive()) impl_->painter.drawRect(r.left, r.top, r.Width() - 1, r.Height() - 1);
}

void TQtDevice::ScrollDC(int dx, int dy, const TRect& area) {
    if (!impl_->image || !impl_->painter.isActive()) return;
    QRect a = ToQRect(area).intersected(impl_->image->rect());
    if (a.isEmpty()) return;
    QImage copy = impl_->image->copy(a);
    impl_->painter.save();
    impl_->painter.setClipRect(a);
    impl_->painter.drawImage(a.topLeft() + QPoint(dx, dy), copy);
    impl_->painter.restore();
}

void TQtDevice::StretchPicture(const TRect& dst, const TGraphic* picture) {
    QPainter& p = impl_->painter;
    if (!p.isActive()) return;
    QImage img = picture ? PictureToImage(*picture) : QImage();
    if (!img.isNull()) {
        p.drawImage(ToQRect(dst), img);
    } else {
        // A picture this device cannot decode still shows where it stands.
        p.save();
        p.setPen(Qt::gray);
        p.drawRect(dst.left, dst.top, dst.Width() - 1, dst.Height() - 1);
        p.restore();
    }
}

}  // namespace plat
