// Conversions at the edge between the layer's types and Qt's. Only the
// layer's own sources include this header.
#pragma once

#include "platform/gui/graphics.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

namespace gui {

QString ToQString(const std::string& ansi);
std::string FromQString(const QString& s);
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& c);
QFont ToQFont(const TFont& font);
inline QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

}  // namespace gui
