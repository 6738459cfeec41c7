#include "platform/imaging/graphic.h"

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace plat {

namespace {

std::uint32_t U32At(const std::string& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t U16At(const std::string& b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

std::int16_t S16At(const std::string& b, std::size_t at) { return static_cast<std::int16_t>(U16At(b, at)); }

// Compressions a bitmap's info header names.
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3, kBiJpeg = 4, kBiPng = 5,
                        kBiAlphaBitFields = 6;
// Compressed rows give no exact bound on the picture's size; one this large
// is taken as damage rather than a picture.
constexpr std::int64_t kMaxCompressedSide = 32767;

// The size a bitmap file's headers give, once they agree with its bytes:
// the info header lies within the file, the sizes are positive (a negative
// height only marks top-down rows), the bit depth is one a bitmap can have,
// and uncompressed rows of that size fit in what follows the headers.
// Anything else leaves the size unknown (0 x 0).
void DibSize(const std::string& b, std::int32_t& width, std::int32_t& height) {
    const std::size_t info = kBitmapFileHeaderSize;
    const std::uint32_t infoSize = U32At(b, info);
    if (infoSize != 12 && (infoSize < 16 || infoSize > 124)) return;
    if (info + infoSize > b.size()) return;
    std::int64_t w, h;
    std::uint32_t bits, compression = kBiRgb;
    if (infoSize == 12) {  // OS/2 core header: unsigned 16-bit sizes
        w = U16At(b, info + 4);
        h = U16At(b, info + 6);
        bits = U16At(b, info + 10);
    } else {
        w = static_cast<std::int32_t>(U32At(b, info + 4));
        h = static_cast<std::int32_t>(U32At(b, info + 8));
        bits = U16At(b, info + 14);
        if (infoSize >= 20) compression = U32At(b, info + 16);
        if (h < 0) h = -h;  // top-down rows; INT_MIN becomes 2^31, refused below
    }
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return;
    const std::int64_t available = static_cast<std::int64_t>(b.size() - info - infoSize);
    switch (compression) {
    case kBiRgb:
    case kBiBitFields:
    case kBiAlphaBitFields: {
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;
        const std::int64_t stride = (w * bits + 31) / 32 * 4;
        if (stride > available || h > available / stride) return;
        break;
    }
    case kBiRle8:
    case kBiRle4:
        if (bits != (compression == kBiRle8 ? 8u : 4u)) return;
        [[fallthrough]];
    case kBiJpeg:
    case kBiPng:
        if (w > kMaxCompressedSide || h > kMaxCompressedSide || available == 0) return;
        break;
    default: return;
    }
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
}

}  // namespace

TGraphicKind GuessGraphicKind(const std::string& bytes) {
    if (bytes.size() >= kBitmapFileHeaderSize + 12 && bytes[0] == 'B' && bytes[1] == 'M')
        return TGraphicKind::Dib;
    if (bytes.size() >= kPlaceableHeaderSize && U32At(bytes, 0) == kPlaceableMetafileKey)
        return TGraphicKind::Metafile;
    return TGraphicKind::Unknown;
}

void GraphicSizeFromBytes(TGraphicKind kind, const std::string& bytes, std::int32_t& width,
                          std::int32_t& height) {
    width = height = 0;
    if (kind == TGraphicKind::Dib) {
        DibSize(bytes, width, height);
    } else if (kind == TGraphicKind::Metafile && bytes.size() >= kPlaceableHeaderSize) {
        // The bounding box in 16-bit logical units; an inverted box has no size.
        const int w = S16At(bytes, 10) - S16At(bytes, 6), h = S16At(bytes, 12) - S16At(bytes, 8);
        if (w > 0 && h > 0) width = w, height = h;
    }
}

std::unique_ptr<TGraphic> LoadGraphicFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxGraphicFileSize) return nullptr;
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    // Read no more than the size seen, so a file that grows meanwhile stays bounded.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (in.bad()) return nullptr;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    TGraphicKind kind = GuessGraphicKind(bytes);
    std::int32_t w = 0, h = 0;
    GraphicSizeFromBytes(kind, bytes, w, h);
    return std::make_unique<TRawGraphic>(kind, std::move(bytes), w, h);
}

}  // namespace plat
