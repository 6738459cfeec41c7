// The readers and the information call: read the file, walk its structure,
// decode, reduce the colours. A reader's image is set only on success.

#include "platform/imaging/codecs.h"

#include "platform/imaging/byte_reader.h"
#include "platform/core/paths.h"


#include <tiffio.h>

#include <cstring>
#include <vector>
#include <fstream>
#include <mutex>

namespace imaging {
namespace {

// The library's string table.
struct TextEntry {
    std::uint16_t id;
    const char* text;
};
constexpr TextEntry kTexts[] = {
    {static_cast<std::uint16_t>(kErrCannotOpen), "The picture file cannot be opened."},
    {static_cast<std::uint16_t>(kErrWrongKind), "The file is not a picture of this kind."},
    {static_cast<std::uint16_t>(kErrDamaged), "The picture file is damaged or incomplete."},
    {static_cast<std::uint16_t>(kErrUnsupported), "This variant of the picture format is not supported."},
    {static_cast<std::uint16_t>(kErrTooLarge), "The picture is too large."},
    {static_cast<std::uint16_t>(kErrCannotWrite), "The picture file cannot be written."},
    {static_cast<std::uint16_t>(kErrEmptyPicture), "There is no picture to write."},
    {static_cast<std::uint16_t>(kErrStopped), "Stopped before the picture was complete."},
    {static_cast<std::uint16_t>(kErrBadArgument), "The colour depth asked for is not supported."},
};

// Reads a whole file; a code below 1 on failure. File names are cut to 255
// characters, as the library's calls take them.
std::int16_t ReadWholeFile(std::string_view fileName, std::string& bytes) {
    std::string name(fileName.substr(0, 255));
    std::ifstream in(plat::NativePath(name), std::ios::binary | std::ios::ate);
    if (!in) return kErrCannotOpen;
    const std::streamoff size = in.tellg();
    if (size < 0) return kErrCannotOpen;
    if (size > kMaxFileBytes) return kErrTooLarge;
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(bytes.data(), size)) return kErrCannotOpen;
    return kImagingOk;
}

bool Report(TProgressCallback cb, int percent) { return !cb || cb(percent) != 0; }

// libtiff reads from memory, so its every read is bounded by the bytes.
struct TiffMemory {
    const char* data;
    toff_t size;
    toff_t pos;
};

tsize_t TiffRead(thandle_t h, tdata_t buf, tsize_t n) {
    auto* m = static_cast<TiffMemory*>(h);
    if (n < 0 || m->pos >= m->size) return 0;
    const toff_t take = std::min<toff_t>(static_cast<toff_t>(n), m->size - m->pos);
    std::memcpy(buf, m->data + m->pos, static_cast<std::size_t>(take));
    m->pos += take;
    return static_cast<tsize_t>(take);
}
tsize_t TiffWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<TiffMemory*>(h);
    toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    m->pos = base + off;
    return m->pos;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->size; }
int TiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

// Ink separations (CMYK) of 16 bits a sample in strips: libtiff's RGBA
// reader accepts them but has no routine to turn them into colours.
bool IsDeepInks(TIFF* tif) {
    std::uint16_t photometric = 0, bits = 0, samples = 0, inkset = INKSET_CMYK, format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    return photometric == PHOTOMETRIC_SEPARATED && inkset == INKSET_CMYK && bits == 16 && samples >= 4 &&
           format == SAMPLEFORMAT_UINT && !TIFFIsTiled(tif);
}

// Reads those line by line (each plane in turn when the planes are
// separate) and turns the inks into light here.
std::int16_t DecodeDeepInks(TIFF* tif, std::uint32_t w, std::uint32_t h, QImage& img) {
    std::uint16_t samples = 0, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    const bool contig = planar == PLANARCONFIG_CONTIG;
    const tmsize_t lineSize = TIFFScanlineSize(tif);
    const std::size_t need = std::size_t{w} * (contig ? samples : 1) * 2;
    if (lineSize <= 0 || static_cast<std::size_t>(lineSize) < need) return kErrDamaged;
    std::vector<std::uint16_t> line((static_cast<std::size_t>(lineSize) + 1) / 2);
    // The four inks of every pixel, 0 (none) to 65535 (full).
    std::vector<std::uint16_t> inks(std::size_t{w} * h * 4);
    for (int plane = 0; plane < (contig ? 1 : 4); ++plane) {
        for (std::uint32_t y = 0; y < h; ++y) {
            if (TIFFReadScanline(tif, line.data(), y, static_cast<std::uint16_t>(plane)) < 0) return kErrDamaged;
            std::uint16_t* to = &inks[std::size_t{y} * w * 4];
            for (std::uint32_t x = 0; x < w; ++x) {
                if (contig)
                    for (int i = 0; i < 4; ++i) to[x * 4 + i] = line[std::size_t{x} * samples + i];
                else
                    to[x * 4 + plane] = line[x];
            }
        }
    }
    for (std::uint32_t y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(y)));
        const std::uint16_t* px = &inks[std::size_t{y} * w * 4];
        for (std::uint32_t x = 0; x < w; ++x, px += 4) {
            const std::uint32_t white = 65535u - px[3];
            auto light = [&](std::uint16_t ink) { return static_cast<int>((65535u - ink) * white / 65535u >> 8); };
            out[x] = qRgb(light(px[0]), light(px[1]), light(px[2]));
        }
    }
    return kImagingOk;
}

std::int16_t DecodeTiff(std::string_view bytes, QImage& out) {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TiffMemory mem{bytes.data(), bytes.size(), 0};
    TIFF* tif = TIFFClientOpen("memory", "rm", &mem, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                               TiffUnmap);
    if (!tif) return kErrDamaged;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::int16_t code = kImagingOk;
    if (w == 0 || h == 0) code = kErrDamaged;
    else if (w > kMaxSide || h > kMaxSide || std::int64_t{w} * h > kMaxPixels) code = kErrTooLarge;
    if (code == kImagingOk) {
        QImage img(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32);
        char why[1024];
        if (IsDeepInks(tif) || !TIFFRGBAImageOK(tif, why)) {
            // A kind the RGBA reader does not take is not a damaged file.
            code = IsDeepInks(tif) ? DecodeDeepInks(tif, w, h, img) : kErrUnsupported;
            if (code == kImagingOk) out = img.convertToFormat(QImage::Format_RGB32);
            TIFFClose(tif);
            return code;
        }
        std::vector<std::uint32_t> raster(std::size_t{w} * h);
        if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1)) {
            code = kErrDamaged;
        } else {
            for (std::uint32_t y = 0; y < h; ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(y)));
                for (std::uint32_t x = 0; x < w; ++x) {
                    const std::uint32_t px = raster[std::size_t{y} * w + x];
                    line[x] = qRgb(TIFFGetR(px), TIFFGetG(px), TIFFGetB(px));
                }
            }
            out = img.convertToFormat(QImage::Format_RGB32);
        }
    }
    TIFFClose(tif);
    return code;
}

std::int16_t ReadAs(std::string_view fileName, TImageKind kind, int colorBits, int dither, QImage& image,
                    TProgressCallback cb) {
    image = QImage();
    if (colorBits != 0 && colorBits != 1 && colorBits != 4 && colorBits != 8 && colorBits != 24)
        return kErrBadArgument;
    std::string bytes;
    if (std::int16_t c = ReadWholeFile(fileName, bytes); c < 1) return c;
    if (!Report(cb, 0)) return kErrStopped;
    TProbe probe;
    if (std::int16_t c = ProbeImage(bytes, kind, probe); c < 1) return c;
    QImage decoded;
    if (std::int16_t c = DecodeImage(bytes, kind, decoded, cb); c < 1) return c;
    decoded = ReduceColors(decoded, colorBits, dither != 0);
    if (!Report(cb, 100)) return kErrStopped;
    image = decoded;
    return kImagingOk;
}

}  // namespace

std::string ImagingErrorText(std::uint16_t id) {
    for (const auto& e : kTexts)
        if (e.id == id) return e.text;
    return {};
}

std::int16_t DecodeImage(std::string_view bytes, TImageKind kind, QImage& image, TProgressCallback cb) {
    switch (kind) {
    case TImageKind::Bmp: return DecodeWithQt(bytes, "bmp", image);
    case TImageKind::Gif: return DecodeWithQt(bytes, "gif", image);
    case TImageKind::Jpeg: return DecodeWithQt(bytes, "jpeg", image);
    case TImageKind::Png: return DecodeWithQt(bytes, "png", image);
    case TImageKind::Tiff: return DecodeTiff(bytes, image);
    case TImageKind::Pcx: return DecodePcx(bytes, image, cb);
    case TImageKind::Unknown: break;
    }
    return kErrWrongKind;
}

std::int16_t ImageInfo(std::string_view fileName, std::string& typeText, std::int16_t numbers[5],
                       std::string& secondText) {
    typeText.clear();
    secondText.clear();
    for (int i = 0; i < 5; ++i) numbers[i] = 0;
    std::string bytes;
    if (std::int16_t c = ReadWholeFile(fileName, bytes); c < 1) return c;
    TProbe p;
    const std::int16_t code = ProbeImage(bytes, TImageKind::Unknown, p);
    if (code < 1) return code;
    typeText = p.typeText.substr(0, 5);
    secondText = p.secondText.substr(0, 25);
    numbers[0] = static_cast<std::int16_t>(p.width);
    numbers[1] = static_cast<std::int16_t>(p.height);
    numbers[2] = static_cast<std::int16_t>(p.bitsPerPixel);
    numbers[3] = static_cast<std::int16_t>(std::min(p.paletteColors, 32767));
    numbers[4] = static_cast<std::int16_t>(std::min(p.dpi, 32767));
    return kImagingOk;
}

std::int16_t ReadJPEG(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Jpeg, bits, dither, img, cb);
}
std::int16_t ReadGIF(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Gif, bits, dither, img, cb);
}
std::int16_t ReadPCX(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Pcx, bits, dither, img, cb);
}
std::int16_t ReadBMP(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Bmp, bits, dither, img, cb);
}
std::int16_t ReadPNG(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Png, bits, dither, img, cb);
}
std::int16_t ReadTIFF(std::string_view f, int bits, int dither, QImage& img, TProgressCallback cb) {
    return ReadAs(f, TImageKind::Tiff, bits, dither, img, cb);
}

}  // namespace imaging
