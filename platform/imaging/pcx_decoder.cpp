// PCX: a 128-byte header, run-length coded rows of colour planes, and for
// 256-colour pictures a palette after a 0x0C marker at the end. Runs may
// cross row ends (many writers let them), so the rows are decoded as one
// stream. The data must hold every row: a truncated file is refused.

#include "platform/imaging/byte_reader.h"
#include "platform/imaging/codecs.h"

#include <vector>

namespace imaging {
namespace {

// The 16 colours of a header palette that an old writer left empty.
constexpr QRgb kEgaDefault[16] = {0xFF000000, 0xFF000080, 0xFF008000, 0xFF008080, 0xFF800000, 0xFF800080,
                                  0xFF808000, 0xFFC0C0C0, 0xFF808080, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF,
                                  0xFFFF0000, 0xFFFF00FF, 0xFFFFFF00, 0xFFFFFFFF};

}  // namespace

std::int16_t DecodePcx(std::string_view bytes, QImage& image, TProgressCallback cb) {
    TProbe probe;
    if (std::int16_t c = ProbeImage(bytes, TImageKind::Pcx, probe); c < 1) return c;
    Bytes b{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    const int w = probe.width, h = probe.height;
    const int bits = b.u8(3), planes = b.u8(65);
    const std::size_t bpl = b.u16(66);
    const std::size_t needed = (static_cast<std::size_t>(w) * bits + 7) / 8;
    // Rows are padded to an even length at most; a wider claim is damage,
    // and would let a tiny file ask for a huge buffer.
    if (bpl < needed || bpl > needed + 16) return kErrDamaged;
    const std::size_t rowBytes = bpl * planes;
    const std::size_t total = rowBytes * static_cast<std::size_t>(h);
    const bool rle = b.u8(2) == 1;
    std::size_t end = b.size;
    const bool palette256 = bits == 8 && planes == 1 && b.size >= 128 + 769 && b.u8(b.size - 769) == 0x0C;
    if (palette256) end = b.size - 769;
    // A run gives at most 63 bytes for 2 of input: refuse before allocating.
    if ((rle ? (end - 128) / 2 * 63 + 63 : end - 128) < total) return kErrDamaged;

    std::vector<std::uint8_t> raw(total);
    std::size_t in = 128, out = 0;
    while (out < total) {
        if (in >= end) return kErrDamaged;
        std::uint8_t v = b.data[in++];
        std::size_t run = 1;
        if (rle && (v & 0xC0) == 0xC0) {
            run = v & 0x3F;
            if (in >= end) return kErrDamaged;
            v = b.data[in++];
        }
        for (; run > 0 && out < total; --run) raw[out++] = v;
    }

    QRgb colors[256];
    if (bits == 8 && planes == 1) {
        for (int i = 0; i < 256; ++i) {
            if (palette256) {
                const std::size_t at = b.size - 768 + 3 * i;
                colors[i] = qRgb(b.data[at], b.data[at + 1], b.data[at + 2]);
            } else {
                colors[i] = qRgb(i, i, i);  // no palette: grey levels
            }
        }
    } else if (bits * planes == 1) {
        colors[0] = 0xFF000000;
        colors[1] = 0xFFFFFFFF;
    } else {
        bool empty = true;
        for (int i = 0; i < 48; ++i) empty = empty && b.data[16 + i] == 0;
        for (int i = 0; i < 16; ++i)
            colors[i] = empty ? kEgaDefault[i] : qRgb(b.data[16 + 3 * i], b.data[17 + 3 * i], b.data[18 + 3 * i]);
    }

    QImage img(w, h, QImage::Format_RGB32);
    const int step = std::max(1, h / 10);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * rowBytes;
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (bits == 8 && planes >= 3) {
                line[x] = qRgb(row[x], row[bpl + x], row[2 * bpl + x]);
            } else if (bits == 8) {
                line[x] = colors[row[x]];
            } else if (bits == 4) {
                const std::uint8_t v = row[x / 2];
                line[x] = colors[(x & 1) ? v & 0x0F : v >> 4];
            } else {  // one bit in each of 1..4 planes
                int index = 0;
                for (int p = 0; p < planes; ++p)
                    if (row[p * bpl + x / 8] & (0x80 >> (x & 7))) index |= 1 << p;
                line[x] = colors[index];
            }
        }
        if (cb && y % step == step - 1 && cb(static_cast<std::int32_t>(std::int64_t{y + 1} * 100 / h)) == 0)
            return kErrStopped;
    }
    image = img;
    return kImagingOk;
}

}  // namespace imaging
