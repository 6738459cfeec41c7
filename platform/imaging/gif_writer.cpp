// Colour reduction and the GIF writer.
//
// The quantiser is deterministic: a picture with at most 2^bits colours
// keeps them exactly (the palette sorted by colour value); any other is
// reduced by median cut over a 15-bit colour histogram, boxes split by a
// fixed rule with fixed tie-breaks, and each histogram cell mapped once to
// its nearest palette entry. Time grows with the pixels, not the colours.

#include "platform/imaging/codecs.h"

#include "platform/core/paths.h"
#include "platform/core/safe_file.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace imaging {
namespace {

constexpr QRgb kVga[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                           0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                           0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};

int Cell(QRgb c) { return ((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3); }

int Distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

int Nearest(const std::vector<QRgb>& palette, QRgb c) {
    int best = 0, bestD = INT32_MAX;
    for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
        const int d = Distance(palette[i], c);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

struct Box {
    std::vector<int> cells;
    std::uint64_t pixels = 0;
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};  // channel ranges, kept with the box
};

int Channel(int cell, int ch) { return (cell >> (10 - 5 * ch)) & 31; }

void Measure(Box& box, const std::vector<std::uint32_t>& counts) {
    box.pixels = 0;
    for (int ch = 0; ch < 3; ++ch) box.lo[ch] = 31, box.hi[ch] = 0;
    for (int c : box.cells) {
        box.pixels += counts[c];
        for (int ch = 0; ch < 3; ++ch) {
            box.lo[ch] = std::min(box.lo[ch], Channel(c, ch));
            box.hi[ch] = std::max(box.hi[ch], Channel(c, ch));
        }
    }
}

// Median cut over the histogram cells in use.
std::vector<QRgb> MedianCut(const std::vector<std::uint32_t>& counts, const std::vector<std::array<std::uint64_t, 3>>& sums,
                            int maxColors) {
    Box all;
    for (int i = 0; i < 32768; ++i)
        if (counts[i]) all.cells.push_back(i);
    Measure(all, counts);
    std::vector<Box> boxes{std::move(all)};
    while (static_cast<int>(boxes.size()) < maxColors) {
        // The box with the widest channel, weighted by its pixels; first wins ties.
        int pick = -1, pickChannel = 0;
        std::uint64_t pickScore = 0;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            const Box& box = boxes[i];
            if (box.cells.size() < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                const std::uint64_t score = std::uint64_t(box.hi[ch] - box.lo[ch]) * (box.pixels + 1);
                if (box.hi[ch] > box.lo[ch] && score > pickScore) {
                    pickScore = score;
                    pick = i;
                    pickChannel = ch;
                }
            }
        }
        if (pick < 0) break;
        Box& box = boxes[pick];
        std::stable_sort(box.cells.begin(), box.cells.end(), [&](int a, int b) {
            const int ca = Channel(a, pickChannel), cb = Channel(b, pickChannel);
            return ca != cb ? ca < cb : a < b;
        });
        std::uint64_t half = box.pixels / 2, seen = 0;
        std::size_t cut = 1;
        for (std::size_t i = 0; i + 1 < box.cells.size(); ++i) {
            seen += counts[box.cells[i]];
            cut = i + 1;
            if (seen >= half) break;
        }
        Box upper;
        upper.cells.assign(box.cells.begin() + static_cast<std::ptrdiff_t>(cut), box.cells.end());
        box.cells.resize(cut);
        Measure(box, counts);
        Measure(upper, counts);
        boxes.push_back(std::move(upper));
    }
    std::vector<QRgb> palette;
    for (const Box& box : boxes) {
        std::uint64_t r = 0, g = 0, b = 0;
        for (int c : box.cells) {
            r += sums[c][0];
            g += sums[c][1];
            b += sums[c][2];
        }
        const std::uint64_t n = std::max<std::uint64_t>(box.pixels, 1);
        palette.push_back(qRgb(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)));
    }
    return palette;
}

// Palette and indexes of a picture in at most maxColors colours.
void Quantise(const QImage& src, int maxColors, std::vector<QRgb>& palette, std::vector<std::uint8_t>& indexes) {
    const QImage img = src.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    indexes.resize(static_cast<std::size_t>(w) * h);
    // Exact colours when few enough.
    std::unordered_map<QRgb, int> exact;
    bool fits = true;
    for (int y = 0; y < h && fits; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        QRgb last = 0;
        bool haveLast = false;
        for (int x = 0; x < w; ++x) {
            const QRgb c = line[x] | 0xFF000000u;
            if (haveLast && c == last) continue;
            last = c;
            haveLast = true;
            if (exact.emplace(c, 0).second && static_cast<int>(exact.size()) > maxColors) {
                fits = false;
                break;
            }
        }
    }
    if (fits) {
        palette.clear();
        for (const auto& [c, i] : exact) palette.push_back(c);
        std::sort(palette.begin(), palette.end());
        for (int i = 0; i < static_cast<int>(palette.size()); ++i) exact[palette[i]] = i;
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            QRgb last = 0;
            int lastIndex = -1;
            for (int x = 0; x < w; ++x) {
                const QRgb c = line[x] | 0xFF000000u;
                if (lastIndex < 0 || c != last) {
                    last = c;
                    lastIndex = exact[c];
                }
                indexes[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(lastIndex);
            }
        }
        return;
    }
    std::vector<std::uint32_t> counts(32768);
    std::vector<std::array<std::uint64_t, 3>> sums(32768);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = line[x];
            const int cell = Cell(c);
            ++counts[cell];
            sums[cell][0] += qRed(c);
            sums[cell][1] += qGreen(c);
            sums[cell][2] += qBlue(c);
        }
    }
    if (maxColors == 2) {
        palette = {0xFF000000, 0xFFFFFFFF};
    } else {
        palette = MedianCut(counts, sums, maxColors);
    }
    std::vector<std::uint8_t> lut(32768);
    for (int cell = 0; cell < 32768; ++cell) {
        if (!counts[cell]) continue;
        const QRgb mean = qRgb(static_cast<int>(sums[cell][0] / counts[cell]),
                               static_cast<int>(sums[cell][1] / counts[cell]),
                               static_cast<int>(sums[cell][2] / counts[cell]));
        lut[cell] = static_cast<std::uint8_t>(Nearest(palette, mean));
    }
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        std::uint8_t* out = indexes.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) out[x] = lut[Cell(line[x])];
    }
}

int MaxColorsFor(int colorBits) {
    switch (colorBits) {
    case 1: return 2;
    case 0:
    case 4: return 16;
    case 8:
    case 24: return 256;
    default: return 0;
    }
}

}  // namespace

QImage ReduceColors(const QImage& image, int colorBits, bool dither) {
    if (colorBits == 24 || image.isNull()) return image;
    std::vector<QRgb> palette;
    if (colorBits == 0) {
        palette.assign(std::begin(kVga), std::end(kVga));
    } else {
        std::vector<std::uint8_t> unused;
        Quantise(image, MaxColorsFor(colorBits), palette, unused);
    }
    QList<QRgb> table(palette.begin(), palette.end());
    const Qt::ImageConversionFlags flags = Qt::ColorOnly | (dither ? Qt::DiffuseDither : Qt::ThresholdDither);
    return image.convertToFormat(QImage::Format_Indexed8, table, flags).convertToFormat(QImage::Format_RGB32);
}

std::string EncodeGif(const QImage& image, int colorBits, std::int16_t& code, TProgressCallback cb, bool interlaced) {
    code = kImagingOk;
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        code = kErrEmptyPicture;
        return {};
    }
    if (image.width() > 65535 || image.height() > 65535) {
        code = kErrTooLarge;
        return {};
    }
    const int maxColors = MaxColorsFor(colorBits);
    if (!maxColors) {
        code = kErrBadArgument;
        return {};
    }
    if (cb && cb(0) == 0) {
        code = kErrStopped;
        return {};
    }
    std::vector<QRgb> palette;
    std::vector<std::uint8_t> indexes;
    if (colorBits == 0) {
        palette.assign(std::begin(kVga), std::end(kVga));
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        indexes.resize(static_cast<std::size_t>(rgb.width()) * rgb.height());
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                indexes[static_cast<std::size_t>(y) * rgb.width() + x] = static_cast<std::uint8_t>(Nearest(palette, line[x]));
        }
    } else {
        Quantise(image, maxColors, palette, indexes);
    }
    const int w = image.width(), h = image.height();
    // giflib wants a power of two with at least two entries.
    int bits = 1;
    while ((1 << bits) < static_cast<int>(palette.size())) ++bits;
    std::vector<GifColorType> colors(static_cast<std::size_t>(1) << bits);
    for (std::size_t i = 0; i < palette.size(); ++i)
        colors[i] = GifColorType{static_cast<GifByteType>(qRed(palette[i])), static_cast<GifByteType>(qGreen(palette[i])),
                                 static_cast<GifByteType>(qBlue(palette[i]))};

    std::string out;
    auto writer = [](GifFileType* gif, const GifByteType* data, int n) -> int {
        static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
        return n;
    };
    int err = 0;
    GifFileType* gif = EGifOpen(&out, writer, &err);
    if (!gif) {
        code = kErrCannotWrite;
        return {};
    }
    ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
    bool ok = map && EGifPutScreenDesc(gif, w, h, bits, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, w, h, interlaced, nullptr) == GIF_OK;
    if (ok) {
        std::vector<int> order;
        if (interlaced) {
            for (int pass = 0; pass < 4; ++pass) {
                static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                for (int y = start[pass]; y < h; y += step[pass]) order.push_back(y);
            }
        } else {
            for (int y = 0; y < h; ++y) order.push_back(y);
        }
        const int every = std::max(1, h / 10);
        for (int i = 0; i < h && ok; ++i) {
            ok = EGifPutLine(gif, indexes.data() + static_cast<std::size_t>(order[i]) * w, w) == GIF_OK;
            if (ok && cb && i % every == every - 1 && cb(static_cast<std::int32_t>(std::int64_t{i + 1} * 100 / h)) == 0) {
                code = kErrStopped;
                ok = false;
            }
        }
    }
    if (map) GifFreeMapObject(map);
    if (EGifCloseFile(gif, &err) != GIF_OK) ok = false;
    if (!ok) {
        if (code == kImagingOk) code = kErrCannotWrite;
        return {};
    }
    if (cb && cb(100) == 0) {
        code = kErrStopped;
        return {};
    }
    return out;
}

std::int16_t WriteGIF(std::string_view fileName, int colorBits, const QImage& image, TProgressCallback cb) {
    std::int16_t code = kImagingOk;
    const std::string bytes = EncodeGif(image, colorBits, code, cb);
    if (code < 1) return code;
    const std::string target = plat::NativePath(std::string(fileName.substr(0, 255)));
    if (target.empty()) return kErrCannotWrite;
    if (!plat::WriteFileSafely(target, bytes, plat::PathText::Native)) return kErrCannotWrite;
    return kImagingOk;
}

}  // namespace imaging
