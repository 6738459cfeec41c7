#include "converter/ui/pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace conv::ui {

namespace {

const QColor kInk(40, 40, 40);
const QColor kLine(150, 150, 150);
const QColor kNavy(0, 0, 128);
const QColor kHotspot(0, 128, 0);

// A sheet of paper with its top-left corner at `at`.
void Sheet(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
}

// Grey text lines inside `r`, `count` of them, the last one shorter.
void TextLines(QPainter& p, QRectF r, int count, qreal step = 6) {
    p.setPen(QPen(kLine, 2));
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + i * step;
        if (y > r.bottom()) break;
        const qreal w = (i == count - 1) ? r.width() * 0.6 : r.width();
        p.drawLine(QPointF(r.left(), y), QPointF(r.left() + w, y));
    }
}

void SmallText(QPainter& p, QPointF at, const QString& text, const QColor& color, int px = 9, bool bold = false) {
    QFont f("Sans Serif");
    f.setPixelSize(px);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(color);
    p.drawText(at, text);
}

void Welcome(QPainter& p, QSize s) {
    // A closed help book on the left turns into printed pages on the right.
    QLinearGradient sky(0, 0, 0, s.height());
    sky.setColorAt(0, QColor(230, 238, 250));
    sky.setColorAt(1, QColor(200, 215, 240));
    p.fillRect(QRect(QPoint(0, 0), s), sky);
    QRectF book(14, 40, 52, 70);
    p.setPen(QPen(kNavy.darker(130), 1.5));
    p.setBrush(kNavy);
    p.drawRoundedRect(book, 3, 3);
    p.setBrush(QColor(250, 240, 200));
    p.drawRect(QRectF(book.right() - 6, book.top() + 3, 5, book.height() - 6));
    SmallText(p, QPointF(book.left() + 12, book.top() + 42), "?", Qt::yellow, 30, true);
    QPainterPath arrow;
    arrow.moveTo(74, 70);
    arrow.lineTo(90, 70);
    arrow.lineTo(90, 62);
    arrow.lineTo(104, 76);
    arrow.lineTo(90, 90);
    arrow.lineTo(90, 82);
    arrow.lineTo(74, 82);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 120, 0));
    p.drawPath(arrow);
    for (int i = 2; i >= 0; --i) {
        QRectF page(112 + i * 5, 30 + i * 5, 50, 66);
        Sheet(p, page);
        if (i == 0) {
            SmallText(p, QPointF(page.left() + 5, page.top() + 11), "RTF", kNavy, 9, true);
            TextLines(p, page.adjusted(5, 18, -5, -6), 7);
        }
    }
    SmallText(p, QPointF(14, s.height() - 18), "Rendlow", kNavy, 20, true);
}

void Document(QPainter& p, QSize s, bool source) {
    QRectF page(10, 4, s.width() - 20, s.height() - 8);
    Sheet(p, page);
    if (source) {
        const char* lines[] = {"[OPTIONS]", "TITLE=...", "[FILES]", "HELP.RTF", "{\\rtf1", "#{\\footnote"};
        for (int i = 0; i < 6; ++i)
            SmallText(p, QPointF(page.left() + 4, page.top() + 11 + i * 10), lines[i], kNavy, 8);
    } else {
        SmallText(p, QPointF(page.left() + 4, page.top() + 11), "Topic", kInk, 9, true);
        TextLines(p, page.adjusted(4, 18, -4, -14), 7);
        SmallText(p, QPointF(page.center().x() - 8, page.bottom() - 3), "- 1 -", kInk, 7);
    }
}

void IndexOrContents(QPainter& p, QSize s, bool index) {
    QRectF page(10, 4, s.width() - 20, s.height() - 8);
    Sheet(p, page);
    SmallText(p, QPointF(page.left() + 4, page.top() + 11), index ? "Index" : "Contents", kInk, 9, true);
    const char* entries[] = {"A", "B", "C", "D", "E", "F"};
    for (int i = 0; i < 6; ++i) {
        const qreal y = page.top() + 22 + i * 8;
        if (y > page.bottom() - 4) break;
        const qreal indent = index ? (i % 3 == 0 ? 0 : 6) : 0;
        if (index && i % 3 == 0)
            SmallText(p, QPointF(page.left() + 4, y + 3), entries[i / 3], kNavy, 8, true);
        else {
            p.setPen(QPen(kLine, 2));
            p.drawLine(QPointF(page.left() + 4 + indent, y), QPointF(page.left() + 26 + indent, y));
        }
        p.setPen(QPen(kLine, 1, Qt::DotLine));
        p.drawLine(QPointF(page.left() + 30, y), QPointF(page.right() - 12, y));
        SmallText(p, QPointF(page.right() - 9, y + 3), QString::number(i + 1), kInk, 7);
    }
}

void PageBreaks(QPainter& p, QSize s, bool breaks) {
    if (breaks) {
        QRectF a(6, 4, s.width() / 2 - 9, s.height() - 8);
        QRectF b(s.width() / 2 + 3, 4, s.width() / 2 - 9, s.height() - 8);
        for (const QRectF& r : {a, b}) {
            Sheet(p, r);
            SmallText(p, QPointF(r.left() + 3, r.top() + 10), "Topic", kInk, 7, true);
            TextLines(p, r.adjusted(3, 16, -3, -r.height() / 2), 3);
        }
    } else {
        QRectF page(10, 4, s.width() - 20, s.height() - 8);
        Sheet(p, page);
        for (int i = 0; i < 2; ++i) {
            const qreal top = page.top() + 4 + i * 30;
            SmallText(p, QPointF(page.left() + 4, top + 7), "Topic", kInk, 7, true);
            TextLines(p, QRectF(page.left() + 4, top + 13, page.width() - 8, 14), 3, 5);
        }
    }
}

void Jumps(QPainter& p, QSize s, bool pageReferences) {
    QRectF page(10, 4, s.width() - 20, s.height() - 8);
    Sheet(p, page);
    TextLines(p, page.adjusted(4, 8, -4, -40), 2);
    const qreal y = page.top() + 32;
    if (pageReferences) {
        SmallText(p, QPointF(page.left() + 4, y), "see", kInk, 8);
        SmallText(p, QPointF(page.left() + 20, y), QString::fromUtf8("» Page 12"), kNavy, 7, true);
    } else {
        SmallText(p, QPointF(page.left() + 4, y), "see", kInk, 8);
        QFont f("Sans Serif");
        f.setPixelSize(8);
        f.setUnderline(true);
        p.setFont(f);
        p.setPen(kHotspot);
        p.drawText(QPointF(page.left() + 22, y), "Printing");
    }
    TextLines(p, page.adjusted(4, 40, -4, -4), 3);
}

}  // namespace

QSize PictureSize(int id) {
    switch (id) {
    case 6001: return {176, 150};
    case 7202: case 7203: case 7411: case 7421: case 7501: case 7502: case 7701: case 7707: return {84, 72};
    default: return {};
    }
}

QImage DrawPicture(int id) {
    const QSize s = PictureSize(id);
    if (s.isEmpty()) return {};
    QImage image(s, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 236, 236));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case 6001: Welcome(p, s); break;
    case 7202: Document(p, s, false); break;
    case 7203: Document(p, s, true); break;
    case 7411: IndexOrContents(p, s, true); break;
    case 7421: IndexOrContents(p, s, false); break;
    case 7501: PageBreaks(p, s, false); break;
    case 7502: PageBreaks(p, s, true); break;
    case 7701: Jumps(p, s, false); break;
    case 7707: Jumps(p, s, true); break;
    }
    return image;
}

PictureButton::PictureButton(int pictureId, QWidget* parent)
    : QAbstractButton(parent), pictureId_(pictureId), picture_(DrawPicture(pictureId)) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

QSize PictureButton::sizeHint() const { return picture_.size() + QSize(2, 2); }

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.drawImage(QPoint(1, 1), picture_);
    if (pictureId_ != 6001) {
        p.setPen(QPen(palette().windowText().color(), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace conv::ui
