#include "platform/imaging/graphic.h"

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

std::int16_t S16At(const std::string& b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::int16_t>(static_cast<unsigned char>(b[at]) |
                                     static_cast<unsigned char>(b[at + 1]) << 8);
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
    if (kind == TGraphicKind::Dib && bytes.size() >= kBitmapFileHeaderSize + 12) {
        std::uint32_t infoSize = U32At(bytes, kBitmapFileHeaderSize);
        if (infoSize == 12) {  // OS/2 core header: 16-bit sizes
            width = S16At(bytes, kBitmapFileHeaderSize + 4);
            height = S16At(bytes, kBitmapFileHeaderSize + 6);
        } else {
            width = static_cast<std::int32_t>(U32At(bytes, kBitmapFileHeaderSize + 4));
            height = static_cast<std::int32_t>(U32At(bytes, kBitmapFileHeaderSize + 8));
        }
        if (height < 0) height = -height;  // top-down rows
    } else if (kind == TGraphicKind::Metafile && bytes.size() >= kPlaceableHeaderSize) {
        width = S16At(bytes, 10) - S16At(bytes, 6);
        height = S16At(bytes, 12) - S16At(bytes, 8);
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
