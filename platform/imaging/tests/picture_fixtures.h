// Picture files made in the tests, so every byte a decoder sees is known:
// BMP at 1, 4, 8 and 24 bits, PCX at 8 and 24 bits, TIFF, PNG, JPEG, GIF,
// and metafiles built record by record.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

// A picture of `colors` distinct colours (2, 16, 256) or a smooth photo-like
// one (colors 0) of w x h pixels; the same arguments give the same pixels.
QImage Pattern(int w, int h, int colors);
// Palette of the picture's colours in first-seen order (for indexed files).
std::vector<QRgb> PaletteOf(const QImage& img);

std::string MakeBmp(const QImage& img, int bits);
std::string MakePcx(const QImage& img, int bits);  // 8 (palette at the end) or 24 (three planes)
std::string MakeTiff(const QImage& img);
std::string MakeQt(const QImage& img, const char* format, int quality = -1);

// Little-endian words of a metafile, record by record.
class WmfBuilder {
public:
    // A placeable metafile with bounds (0, 0, w, h) at `inch` units per inch.
    WmfBuilder(int w, int h, int inch = 96, bool placeable = true);
    WmfBuilder& Record(std::uint16_t fn, const std::vector<std::int16_t>& words, const std::string& tail = {});
    WmfBuilder& SetWindowOrg(int x, int y) { return Record(0x020B, {std::int16_t(y), std::int16_t(x)}); }
    WmfBuilder& SetWindowExt(int x, int y) { return Record(0x020C, {std::int16_t(y), std::int16_t(x)}); }
    WmfBuilder& Pen(int style, int width, QRgb color);
    WmfBuilder& Brush(int style, QRgb color);
    WmfBuilder& Font(int height, const std::string& face, int weight = 400);
    WmfBuilder& Select(int index) { return Record(0x012D, {std::int16_t(index)}); }
    WmfBuilder& Rectangle(int l, int t, int r, int b) {
        return Record(0x041B, {std::int16_t(b), std::int16_t(r), std::int16_t(t), std::int16_t(l)});
    }
    WmfBuilder& Ellipse(int l, int t, int r, int b) {
        return Record(0x0418, {std::int16_t(b), std::int16_t(r), std::int16_t(t), std::int16_t(l)});
    }
    WmfBuilder& TextOut(int x, int y, const std::string& text);
    WmfBuilder& TextColor(QRgb c);
    WmfBuilder& BkMode(int mode) { return Record(0x0102, {std::int16_t(mode)}); }
    WmfBuilder& StretchDib(int x, int y, int w, int h, const std::string& packedDib);
    WmfBuilder& Raw(const std::string& bytes);
    std::string Bytes(bool withEof = true) const;
    int objects = 0;

private:
    int w_, h_, inch_;
    bool placeable_;
    std::string records_;
    std::size_t maxRecord_ = 0;
};

// A BMP file's packed DIB (the file without its 14-byte header).
inline std::string PackedDib(const std::string& bmp) { return bmp.substr(14); }

}  // namespace fixtures
