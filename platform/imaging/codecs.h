// The imaging library's eight operations: one information call, six readers
// (JPEG, GIF, PCX, BMP, PNG, TIFF) and one GIF writer. Every call returns a
// signed 16-bit code: 1 or more is success, less than 1 an error whose text
// is string (u16)code of the library's string table (ImagingErrorText).
//
// BMP, JPEG, PNG and GIF are decoded through Qt, TIFF through libtiff and
// PCX by our own decoder; GIF is written through giflib. Before any decoder
// runs, the file's structure is walked with bounds checks (headers, chunk
// and block chains, the end marker), so a truncated or malformed file is
// refused with a code instead of giving a partial picture. A failed read
// always leaves the image empty.
//
// The information call's numbers, in order: width, height, bits per pixel,
// colours in the palette (0 without one), horizontal resolution in dots per
// inch (0 when the file does not say). Its type text is at most 5
// characters ("BMP", "GIF", "JPG", "PCX", "PNG", "TIF"), its second text at
// most 25: how the pixels are stored ("RLE8", "LZW interlaced", ...).
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

namespace imaging {

// The progress callback: a percentage 0..100 in, non-zero to go on, 0 to stop.
extern "C" {
typedef std::int32_t (*TProgressCallback)(std::int32_t percent);
}

// Error codes; their texts are string (u16)code of ImagingErrorText.
constexpr std::int16_t kImagingOk = 1;
constexpr std::int16_t kErrCannotOpen = -1;
constexpr std::int16_t kErrWrongKind = -2;
constexpr std::int16_t kErrDamaged = -3;
constexpr std::int16_t kErrUnsupported = -4;
constexpr std::int16_t kErrTooLarge = -5;
constexpr std::int16_t kErrCannotWrite = -6;
constexpr std::int16_t kErrEmptyPicture = -7;
constexpr std::int16_t kErrStopped = -8;
constexpr std::int16_t kErrBadArgument = -9;

// Largest picture the library takes: each side fits the information call's
// 16-bit numbers, and the pixel count keeps a decoded picture under 64 MB.
constexpr int kMaxSide = 32767;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 24;
// Largest file read into memory.
constexpr std::int64_t kMaxFileBytes = std::int64_t{256} << 20;

// The library's string table: the text of string `id`, empty when it has none.
std::string ImagingErrorText(std::uint16_t id);

// File names are the system's (drive letters and "\" allowed). Colour bits:
// 0 the 16 VGA colours, 1 black and white, 4 sixteen colours, 8 up to 256,
// 24 true colour; dither 1 spreads the error of a reduction, 0 maps to the
// nearest colour. Images come back as QImage::Format_RGB32.
std::int16_t ImageInfo(std::string_view fileName, std::string& typeText, std::int16_t numbers[5],
                       std::string& secondText);
std::int16_t ReadJPEG(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
std::int16_t ReadGIF(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
std::int16_t ReadPCX(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
std::int16_t ReadBMP(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
std::int16_t ReadPNG(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
std::int16_t ReadTIFF(std::string_view fileName, int colorBits, int dither, QImage& image, TProgressCallback cb);
// Writes through a temporary file in the target's folder that is renamed
// over the target only when complete, so a failure never leaves a partial
// GIF. Colour bits 0, 1, 4, 8 (24 is taken as 8). The palette is chosen by
// a deterministic quantiser: pictures of up to 2^bits colours keep them
// exactly, others are reduced by median cut; the same picture always gives
// the same bytes.
std::int16_t WriteGIF(std::string_view fileName, int colorBits, const QImage& image, TProgressCallback cb);

// --- the pieces, for tests, fuzzing and the WMF reader ------------------------------
enum class TImageKind { Unknown, Bmp, Gif, Jpeg, Png, Tiff, Pcx };

struct TProbe {
    TImageKind kind = TImageKind::Unknown;
    int width = 0, height = 0, bitsPerPixel = 0, paletteColors = 0, dpi = 0;
    std::string typeText, secondText;
};

// Walks the structure of `bytes` as a picture of `kind` (Unknown: any).
// kImagingOk, or the error a reader would give (wrong kind, damaged,
// unsupported, too large).
std::int16_t ProbeImage(std::string_view bytes, TImageKind kind, TProbe& probe);
// Decodes a PCX file held in memory.
std::int16_t DecodePcx(std::string_view bytes, QImage& image, TProgressCallback cb = nullptr);
// Decodes any of the six kinds held in memory (after ProbeImage agreed).
std::int16_t DecodeImage(std::string_view bytes, TImageKind kind, QImage& image, TProgressCallback cb = nullptr);
// The picture in 2^colorBits colours (0: the 16 VGA colours; 24: unchanged).
QImage ReduceColors(const QImage& image, int colorBits, bool dither);
// The GIF file's bytes, or an error code in `code`.
std::string EncodeGif(const QImage& image, int colorBits, std::int16_t& code, TProgressCallback cb = nullptr,
                      bool interlaced = false);

// The colour count and the offset of the pixel data of a packed DIB
// (a bitmap info header, its colour table, its pixels): both 0 when the
// header is unreadable or its table lies beyond `size`.
void DibColorInfo(const std::uint8_t* dib, std::size_t size, int& colors, std::size_t& bitsOffset);
// A packed DIB as an image; null when it is malformed or truncated.
QImage DecodePackedDib(std::string_view dib);
// Qt's decoder for `format` ("bmp", "gif", "jpeg", "png") on bytes already walked by ProbeImage.
std::int16_t DecodeWithQt(std::string_view bytes, const char* format, QImage& out);

}  // namespace imaging
