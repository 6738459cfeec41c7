// Pictures as the text engine and the converter hold them: the picture's
// bytes with their kind and size. The Qt-based imaging layer decodes and
// draws them later through this same interface; nothing here needs a display.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace plat {

enum class TGraphicKind : std::uint8_t {
    Unknown,   // bytes kept as they came (PNG, JPEG or anything not recognised)
    Metafile,  // Windows metafile, with its 22-byte placeable header in front
    Dib,       // device-independent bitmap as a .bmp file ("BM" header in front)
    Bitmap,    // device-dependent bitmap: raw rows, geometry in BitmapInfo
};

// Geometry of a device-dependent bitmap; the rows alone do not carry it.
struct TBitmapGeometry {
    std::int32_t bitsPerPixel = 0;
    std::int32_t planes = 1;
    std::int32_t widthBytes = 0;
};

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual TGraphicKind Kind() const = 0;
    // Size in pixels (0 when unknown).
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual const std::string& Bytes() const = 0;
    virtual TBitmapGeometry BitmapInfo() const = 0;
};

// The plain holder used until a decoder takes over.
class TRawGraphic final : public TGraphic {
public:
    TRawGraphic(TGraphicKind kind, std::string bytes, std::int32_t width, std::int32_t height,
                TBitmapGeometry geometry = {})
        : kind_(kind), bytes_(std::move(bytes)), width_(width), height_(height), geometry_(geometry) {}
    TGraphicKind Kind() const override { return kind_; }
    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    const std::string& Bytes() const override { return bytes_; }
    TBitmapGeometry BitmapInfo() const override { return geometry_; }

private:
    TGraphicKind kind_;
    std::string bytes_;
    std::int32_t width_, height_;
    TBitmapGeometry geometry_;
};

// Placeable metafile header key and size.
constexpr std::uint32_t kPlaceableMetafileKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::size_t kBitmapFileHeaderSize = 14;

// Recognises the kind of a picture from its first bytes.
TGraphicKind GuessGraphicKind(const std::string& bytes);
// Reads a size from the picture's own header when it has one (BMP, placeable
// metafile); 0 when it cannot tell, also when the header does not agree with
// the bytes (sizes out of range, rows that are not there).
void GraphicSizeFromBytes(TGraphicKind kind, const std::string& bytes, std::int32_t& width,
                          std::int32_t& height);
// Loads a picture file; nullptr when it cannot be read.
// Largest picture file read; larger files, and anything but an ordinary
// file (folders, devices, pipes), load as nothing.
constexpr std::uintmax_t kMaxGraphicFileSize = 64u * 1024 * 1024;
std::unique_ptr<TGraphic> LoadGraphicFile(const std::filesystem::path& path);

}  // namespace plat
