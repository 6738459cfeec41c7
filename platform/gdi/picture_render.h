// Pictures of the text engine's documents as Qt images, for every device
// that draws with Qt: device-independent bitmaps and the formats Qt reads
// (PNG, JPEG ...), device-dependent bitmaps rebuilt from their raw rows and
// geometry, and metafiles through a reader installed once one exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <QImage>

namespace plat {

class TGraphic;

// Largest picture decoded, in pixels each way and in total; larger pictures
// give no image (and so the frame a device draws for an undecodable one).
constexpr int kMaxPictureSide = 16384;
constexpr std::int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

// A device-dependent bitmap: `rows` bytes, `width` x `height` pixels,
// `bitsPerPixel` bits in each of `planes` planes, `widthBytes` bytes a row
// and plane (0: rows padded to 16 bits, as such bitmaps are). Rows run top
// down; with several planes each row holds its planes one after the other.
// Monochrome bitmaps draw 0 black and 1 white; 4- and 8-bit ones use the
// 16 standard display colours (and a grey ramp above them). Rows missing at
// the end are left white. Never reads past `rows`; a null image when the
// geometry is impossible or too large.
QImage DeviceBitmapToImage(const std::string& rows, int width, int height, int bitsPerPixel, int planes,
                           int widthBytes);

// The picture as an image, or a null image when it cannot be decoded.
QImage PictureToImage(const TGraphic& picture);

// Draws a metafile's bytes (with their placeable header) into an image of
// about `width` x `height` pixels; installed by the metafile reader. Until
// one is installed, metafiles give a null image.
using TMetafileRenderer = std::function<QImage(const std::string& bytes, int width, int height)>;
void SetMetafileRenderer(TMetafileRenderer renderer);

}  // namespace plat
