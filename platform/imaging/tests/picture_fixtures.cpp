#include "platform/imaging/tests/picture_fixtures.h"

#include <QBuffer>

#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fixtures {
namespace {

void Put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

QImage Pattern(int w, int h, int colors) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb c;
            if (colors == 0) {
                // Smooth gradients with a little fixed noise, like a photo.
                const unsigned noise = (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 28;
                c = qRgb((x * 255 / std::max(1, w - 1) + static_cast<int>(noise)) & 0xFF,
                         (y * 255 / std::max(1, h - 1) + static_cast<int>(noise)) & 0xFF, ((x + y) * 2 + 40) & 0xFF);
            } else {
                const int i = (x / 3 + y * 7 + (x * y) % 5) % colors;
                c = qRgb((i * 37) & 0xFF, (i * 91 + 17) & 0xFF, (255 - i * 13) & 0xFF);
                if (colors == 2) c = i ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            }
            img.setPixel(x, y, c);
        }
    return img;
}

std::vector<QRgb> PaletteOf(const QImage& img) {
    std::vector<QRgb> pal;
    std::map<QRgb, int> seen;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y) | 0xFF000000u;
            if (seen.emplace(c, static_cast<int>(pal.size())).second) pal.push_back(c);
        }
    return pal;
}

std::string MakeBmp(const QImage& img, int bits) {
    const int w = img.width(), h = img.height();
    const std::vector<QRgb> pal = bits <= 8 ? PaletteOf(img) : std::vector<QRgb>{};
    std::map<QRgb, int> index;
    for (std::size_t i = 0; i < pal.size(); ++i) index[pal[i]] = static_cast<int>(i);
    const int entries = bits <= 8 ? 1 << bits : 0;
    const int stride = ((w * bits + 31) / 32) * 4;
    std::string pixels;
    for (int y = h - 1; y >= 0; --y) {  // bottom-up
        std::string row(static_cast<std::size_t>(stride), '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = img.pixel(x, y) | 0xFF000000u;
            if (bits == 24) {
                row[3 * x] = static_cast<char>(qBlue(c));
                row[3 * x + 1] = static_cast<char>(qGreen(c));
                row[3 * x + 2] = static_cast<char>(qRed(c));
            } else {
                const int v = index.at(c);
                const int bit = x * bits;
                row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - bits - bit % 8)));
            }
        }
        pixels += row;
    }
    std::string s = "BM";
    const std::uint32_t off = 14 + 40 + 4 * entries;
    Put32(s, off + static_cast<std::uint32_t>(pixels.size()));
    Put32(s, 0);
    Put32(s, off);
    Put32(s, 40);
    Put32(s, static_cast<std::uint32_t>(w));
    Put32(s, static_cast<std::uint32_t>(h));
    Put16(s, 1);
    Put16(s, static_cast<std::uint16_t>(bits));
    Put32(s, 0);
    Put32(s, static_cast<std::uint32_t>(pixels.size()));
    Put32(s, 3780);
    Put32(s, 3780);
    Put32(s, 0);
    Put32(s, 0);
    for (int i = 0; i < entries; ++i) {
        const QRgb c = i < static_cast<int>(pal.size()) ? pal[i] : 0;
        s += static_cast<char>(qBlue(c));
        s += static_cast<char>(qGreen(c));
        s += static_cast<char>(qRed(c));
        s += '\0';
    }
    return s + pixels;
}

std::string MakePcx(const QImage& img, int bits) {
    const int w = img.width(), h = img.height();
    const int planes = bits == 24 ? 3 : 1;
    const int bpl = (w + 1) & ~1;
    std::string s(128, '\0');
    s[0] = 0x0A;
    s[1] = 5;
    s[2] = 1;
    s[3] = 8;
    auto set16 = [&](int at, int v) {
        s[at] = static_cast<char>(v & 0xFF);
        s[at + 1] = static_cast<char>(v >> 8);
    };
    set16(8, w - 1);
    set16(10, h - 1);
    set16(12, 72);
    set16(14, 72);
    s[65] = static_cast<char>(planes);
    set16(66, bpl);
    set16(68, 1);
    const std::vector<QRgb> pal = bits == 8 ? PaletteOf(img) : std::vector<QRgb>{};
    std::map<QRgb, int> index;
    for (std::size_t i = 0; i < pal.size(); ++i) index[pal[i]] = static_cast<int>(i);
    // Runs are encoded per row here; the decoder also takes runs across rows.
    for (int y = 0; y < h; ++y) {
        std::string raw;
        for (int p = 0; p < planes; ++p)
            for (int x = 0; x < bpl; ++x) {
                const QRgb c = img.pixel(std::min(x, w - 1), y);
                int v = bits == 8 ? index.at(c | 0xFF000000u) : p == 0 ? qRed(c) : p == 1 ? qGreen(c) : qBlue(c);
                raw += static_cast<char>(v);
            }
        for (std::size_t i = 0; i < raw.size();) {
            std::size_t run = 1;
            while (i + run < raw.size() && run < 63 && raw[i + run] == raw[i]) ++run;
            const auto v = static_cast<unsigned char>(raw[i]);
            if (run > 1 || (v & 0xC0) == 0xC0) s += static_cast<char>(0xC0 | run);
            s += raw[i];
            i += run;
        }
    }
    if (bits == 8) {
        s += '\x0C';
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < static_cast<int>(pal.size()) ? pal[i] : 0;
            s += static_cast<char>(qRed(c));
            s += static_cast<char>(qGreen(c));
            s += static_cast<char>(qBlue(c));
        }
    }
    return s;
}

std::string MakeTiff(const QImage& img) {
    const std::string path = std::filesystem::temp_directory_path() / ("fixture-" + std::to_string(::getpid()) + ".tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    const int w = img.width(), h = img.height();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = img.pixel(x, y);
            row[3 * x] = static_cast<std::uint8_t>(qRed(c));
            row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(c));
            row[3 * x + 2] = static_cast<std::uint8_t>(qBlue(c));
        }
        TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    std::remove(path.c_str());
    return ss.str();
}

std::string MakeQt(const QImage& img, const char* format, int quality) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format, quality);
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

WmfBuilder::WmfBuilder(int w, int h, int inch, bool placeable) : w_(w), h_(h), inch_(inch), placeable_(placeable) {}

WmfBuilder& WmfBuilder::Record(std::uint16_t fn, const std::vector<std::int16_t>& words, const std::string& tail) {
    std::string params;
    for (std::int16_t v : words) Put16(params, static_cast<std::uint16_t>(v));
    params += tail;
    if (params.size() % 2) params += '\0';
    const std::size_t size = 3 + params.size() / 2;
    Put32(records_, static_cast<std::uint32_t>(size));
    Put16(records_, fn);
    records_ += params;
    maxRecord_ = std::max(maxRecord_, size);
    return *this;
}

WmfBuilder& WmfBuilder::Pen(int style, int width, QRgb color) {
    ++objects;
    return Record(0x02FA, {std::int16_t(style), std::int16_t(width), 0, std::int16_t(qRed(color) | (qGreen(color) << 8)),
                           std::int16_t(qBlue(color))});
}

WmfBuilder& WmfBuilder::Brush(int style, QRgb color) {
    ++objects;
    return Record(0x02FC, {std::int16_t(style), std::int16_t(qRed(color) | (qGreen(color) << 8)), std::int16_t(qBlue(color)), 0});
}

WmfBuilder& WmfBuilder::Font(int height, const std::string& face, int weight) {
    ++objects;
    std::string name = face;
    name.resize(32, '\0');
    return Record(0x02FB, {std::int16_t(height), 0, 0, 0, std::int16_t(weight), 0, 0, 0, 0}, name);
}

WmfBuilder& WmfBuilder::TextOut(int x, int y, const std::string& text) {
    std::string tail = text;
    if (tail.size() % 2) tail += '\0';
    Put16(tail, static_cast<std::uint16_t>(y));
    Put16(tail, static_cast<std::uint16_t>(x));
    return Record(0x0521, {std::int16_t(text.size())}, tail);
}

WmfBuilder& WmfBuilder::TextColor(QRgb c) {
    return Record(0x0209, {std::int16_t(qRed(c) | (qGreen(c) << 8)), std::int16_t(qBlue(c))});
}

WmfBuilder& WmfBuilder::StretchDib(int x, int y, int w, int h, const std::string& packedDib) {
    // rop SRCCOPY, usage, source h, w, y, x, dest h, w, y, x
    const std::int32_t rop = 0x00CC0020;
    const std::int32_t sw = static_cast<std::int32_t>(static_cast<unsigned char>(packedDib[4]) | (static_cast<unsigned char>(packedDib[5]) << 8));
    const std::int32_t sh = static_cast<std::int32_t>(static_cast<unsigned char>(packedDib[8]) | (static_cast<unsigned char>(packedDib[9]) << 8));
    return Record(0x0F43,
                  {std::int16_t(rop & 0xFFFF), std::int16_t(rop >> 16), 0, std::int16_t(sh), std::int16_t(sw), 0, 0,
                   std::int16_t(h), std::int16_t(w), std::int16_t(y), std::int16_t(x)},
                  packedDib);
}

WmfBuilder& WmfBuilder::Raw(const std::string& bytes) {
    records_ += bytes;
    return *this;
}

std::string WmfBuilder::Bytes(bool withEof) const {
    std::string body = records_;
    if (withEof) {
        Put32(body, 3);
        Put16(body, 0);
    }
    std::string s;
    if (placeable_) {
        Put32(s, 0x9AC6CDD7u);
        Put16(s, 0);
        Put16(s, 0);
        Put16(s, 0);
        Put16(s, static_cast<std::uint16_t>(w_));
        Put16(s, static_cast<std::uint16_t>(h_));
        Put16(s, static_cast<std::uint16_t>(inch_));
        Put32(s, 0);
        std::uint16_t sum = 0;
        for (std::size_t i = 0; i < 20; i += 2)
            sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8));
        Put16(s, sum);
    }
    Put16(s, 1);
    Put16(s, 9);
    Put16(s, 0x0300);
    Put32(s, static_cast<std::uint32_t>(9 + body.size() / 2));
    Put16(s, static_cast<std::uint16_t>(objects));
    Put32(s, static_cast<std::uint32_t>(maxRecord_));
    Put16(s, 0);
    return s + body;
}

}  // namespace fixtures
