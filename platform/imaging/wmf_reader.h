// Windows metafiles (placeable or plain) played onto a QPainter: DIB blits,
// lines, polygons, rectangles, ellipses, arcs, text, pens, brushes, fonts,
// clipping, saved states and the window origin and extent. Other records
// are skipped. Every record is checked against its own size and the file's
// end before a field is read; a malformed record stops the play (what was
// drawn so far stays) and is reported, never read past.
#pragma once

#include <QImage>
#include <QRectF>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QPainter;

namespace imaging {

struct TMetafileHeader {
    bool placeable = false;
    // Placeable only: the picture's bounds in logical units and units per inch.
    int left = 0, top = 0, right = 0, bottom = 0;
    int inch = 0;
    std::size_t firstRecord = 0;  // byte offset of the first record
    int objects = 0;              // size of the object table
};

// False when the bytes do not start like a metafile.
bool ReadMetafileHeader(std::string_view bytes, TMetafileHeader& header);

// The picture's size in pixels at 96 per inch: from the placeable header,
// else from the window extent the records set (empty when neither tells).
QSize MetafileSize(std::string_view bytes);

// Maps a Windows font name to an installed family (the GUI layer's mapping).
using TFontNameMapper = std::function<std::string(const std::string&)>;

struct TMetafilePlay {
    int records = 0;  // records played
    int skipped = 0;  // records of kinds this reader does not draw
    bool complete = false;  // the end record was reached with every record well-formed
};

// Plays `bytes` into `target` (device coordinates of the painter). Returns
// false when the bytes are no metafile or a malformed record stopped it.
bool DrawMetafile(QPainter& painter, const QRectF& target, std::string_view bytes,
                  const TFontNameMapper& mapFont = {}, TMetafilePlay* play = nullptr);

// The metafile drawn on `background` at `size` (its own size when empty).
QImage RenderMetafile(std::string_view bytes, QSize size = {}, QRgb background = 0xFFFFFFFF,
                      const TFontNameMapper& mapFont = {}, TMetafilePlay* play = nullptr);

}  // namespace imaging
