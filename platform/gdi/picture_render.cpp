#include "platform/gdi/picture_render.h"

#include <algorithm>
#include <array>

#include "platform/imaging/graphic.h"

namespace plat {

namespace {

TMetafileRenderer& MetafileRenderer() {
    static TMetafileRenderer renderer;
    return renderer;
}

// The 16 colours every display has, in the order 4-bit bitmaps index them.
constexpr std::array<QRgb, 16> kStandardColors = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

QRgb IndexedColor(unsigned index, int bits) {
    if (bits == 1) return index ? 0xFFFFFFFF : 0xFF000000;
    if (index < 16) return kStandardColors[index];
    unsigned g = (index - 16) * 255 / 239;
    return qRgb(static_cast<int>(g), static_cast<int>(g), static_cast<int>(g));
}

unsigned Bits(const unsigned char* row, int x, int bits) {
    std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bits);
    unsigned byte = row[bit / 8];
    return (byte >> (8 - bits - static_cast<int>(bit % 8))) & ((1u << bits) - 1);
}

}  // namespace

QImage DeviceBitmapToImage(const std::string& rows, int width, int height, int bitsPerPixel, int planes,
                           int widthBytes) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels)
        return {};
    if (planes < 1 || planes > 8) return {};
    const int bits = bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
    if (planes > 1 && bits != 1) return {};  // planes hold one bit each
    const std::int64_t needed = (static_cast<std::int64_t>(width) * bits + 7) / 8;
    const std::int64_t stride = widthBytes > 0 ? widthBytes : (static_cast<std::int64_t>(width) * bits + 15) / 16 * 2;
    if (stride < needed) return {};
    const std::int64_t rowBytes = stride * planes;
    const std::int64_t available = static_cast<std::int64_t>(rows.size()) / rowBytes;
    if (available <= 0) return {};

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    const auto* data = reinterpret_cast<const unsigned char*>(rows.data());
    const int present = static_cast<int>(std::min<std::int64_t>(available, height));
    for (int y = 0; y < present; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (planes > 1) {
                unsigned index = 0;
                for (int p = 0; p < planes; ++p) index |= Bits(row + static_cast<std::size_t>(p * stride), x, 1) << p;
                out[x] = IndexedColor(index, planes);
                continue;
            }
            switch (bits) {
            case 1:
            case 4:
            case 8: out[x] = IndexedColor(Bits(row, x, bits), bits); break;
            case 16: {
                unsigned v = row[2 * x] | row[2 * x + 1] << 8;  // 5-5-5
                out[x] = qRgb(static_cast<int>((v >> 10 & 31) * 255 / 31), static_cast<int>((v >> 5 & 31) * 255 / 31),
                              static_cast<int>((v & 31) * 255 / 31));
                break;
            }
            case 24: out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: out[x] = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            }
        }
    }
    return image;
}

QImage PictureToImage(const TGraphic& picture) {
    const std::string& b = picture.Bytes();
    switch (picture.Kind()) {
    case TGraphicKind::Bitmap: {
        TBitmapGeometry g = picture.BitmapInfo();
        return DeviceBitmapToImage(b, picture.Width(), picture.Height(), g.bitsPerPixel, g.planes, g.widthBytes);
    }
    case TGraphicKind::Metafile:
        if (MetafileRenderer()) return MetafileRenderer()(b, picture.Width(), picture.Height());
        return {};
    case TGraphicKind::Dib:
    case TGraphicKind::Unknown:
    default: {
        if (b.empty() || b.size() > static_cast<std::size_t>(kMaxGraphicFileSize)) return {};
        QImage img;
        img.loadFromData(reinterpret_cast<const uchar*>(b.data()), static_cast<int>(b.size()));
        if (!img.isNull() && (img.width() > kMaxPictureSide || img.height() > kMaxPictureSide)) return {};
        return img;
    }
    }
}

void SetMetafileRenderer(TMetafileRenderer renderer) { MetafileRenderer() = std::move(renderer); }

}  // namespace plat
