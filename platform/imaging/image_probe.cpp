// Structure walks of the six picture kinds: every read is checked against
// the bytes, and a file counts as complete only when the walk reaches the
// end its format defines (the pixel rows of an uncompressed BMP, the GIF
// image data's terminator, PNG's IEND, JPEG's EOI, the PCX rows and
// palette, TIFF's strips).

#include "platform/imaging/byte_reader.h"
#include "platform/imaging/codecs.h"

#include <algorithm>

namespace imaging {
namespace {

std::int16_t CheckSize(const TProbe& p) {
    if (p.width <= 0 || p.height <= 0) return kErrDamaged;
    if (p.width > kMaxSide || p.height > kMaxSide) return kErrTooLarge;
    if (std::int64_t{p.width} * p.height > kMaxPixels) return kErrTooLarge;
    return kImagingOk;
}

int DpiFromMetres(std::uint32_t perMetre) { return static_cast<int>((perMetre * 254ull + 5000) / 10000); }

// --- BMP --------------------------------------------------------------------------
// Walks run-length coded rows up to the end-of-bitmap code.
bool RleComplete(Bytes b, std::size_t at, int bits) {
    for (;;) {
        if (!b.has(at, 2)) return false;
        const int count = b.u8(at), code = b.u8(at + 1);
        at += 2;
        if (count > 0) continue;  // a run: count pixels of one value
        if (code == 1) return true;  // end of bitmap
        if (code == 0) continue;     // end of line
        if (code == 2) {             // delta: two offsets follow
            at += 2;
            continue;
        }
        // An absolute run of `code` pixels, padded to a word.
        std::size_t bytes = bits == 8 ? code : (code + 1) / 2;
        at += (bytes + 1) & ~std::size_t{1};
    }
}

std::int16_t ProbeBmp(Bytes b, TProbe& p) {
    if (b.size < 26 || b.u8(0) != 'B' || b.u8(1) != 'M') return kErrWrongKind;
    const std::uint32_t offBits = b.u32(10);
    const std::uint32_t hsize = b.u32(14);
    p.kind = TImageKind::Bmp;
    p.typeText = "BMP";
    if (!b.has(14, 4) || !b.has(14, hsize)) return kErrDamaged;
    std::int64_t w = 0, h = 0;
    int bits = 0;
    std::uint32_t compression = 0;
    if (hsize == 12) {
        w = b.u16(18);
        h = b.u16(20);
        bits = b.u16(24);
    } else if (hsize >= 40) {
        w = b.i32(18);
        h = b.i32(22);
        bits = b.u16(28);
        compression = b.u32(30);
        p.dpi = DpiFromMetres(b.u32(38));
    } else {
        return kErrUnsupported;
    }
    if (h < 0) h = -h;  // top-down rows
    if (w < 0) return kErrDamaged;
    p.width = static_cast<int>(std::min<std::int64_t>(w, kMaxSide + 1));
    p.height = static_cast<int>(std::min<std::int64_t>(h, kMaxSide + 1));
    p.bitsPerPixel = bits;
    if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return kErrUnsupported;
    int colors = 0;
    std::size_t pixels = 0;
    DibColorInfo(b.data + 14, b.size - 14, colors, pixels);
    if (pixels == 0) return kErrDamaged;
    p.paletteColors = colors;
    static const char* const kinds[] = {"None", "RLE8", "RLE4", "Bitfields"};
    if (compression > 3) return kErrUnsupported;
    if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (compression == 3 && bits != 16 && bits != 32))
        return kErrUnsupported;
    p.secondText = kinds[compression];
    std::uint64_t start = offBits ? offBits : 14 + pixels;
    if (compression == 3 && hsize == 40 && !offBits) start += 12;
    if (start > b.size) return kErrDamaged;
    if (compression == 0 || compression == 3) {
        const std::uint64_t stride = ((std::uint64_t(p.width) * bits + 31) / 32) * 4;
        if (start + stride * p.height > b.size) return kErrDamaged;
    } else if (!RleComplete(b, static_cast<std::size_t>(start), compression == 1 ? 8 : 4)) {
        return kErrDamaged;
    }
    return kImagingOk;
}

// --- GIF ----------------------------------------------------------------------------
// Skips a chain of data sub-blocks at `at`; false when it runs off the end.
bool SkipSubBlocks(Bytes b, std::size_t& at) {
    for (;;) {
        if (!b.has(at, 1)) return false;
        const std::size_t n = b.u8(at);
        ++at;
        if (n == 0) return true;
        if (!b.has(at, n)) return false;
        at += n;
    }
}

std::int16_t ProbeGif(Bytes b, TProbe& p) {
    if (b.size < 6 || (b.text(0, 6) != "GIF87a" && b.text(0, 6) != "GIF89a")) return kErrWrongKind;
    p.kind = TImageKind::Gif;
    p.typeText = "GIF";
    if (!b.has(6, 7)) return kErrDamaged;
    p.width = b.u16(6);
    p.height = b.u16(8);
    const int flags = b.u8(10);
    std::size_t at = 13;
    if (flags & 0x80) {
        p.bitsPerPixel = (flags & 7) + 1;
        p.paletteColors = 1 << p.bitsPerPixel;
        at += 3u * p.paletteColors;
    }
    if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
    for (;;) {
        if (!b.has(at, 1)) return kErrDamaged;
        const int tag = b.u8(at++);
        if (tag == 0x21) {  // extension: label, then sub-blocks
            if (!b.has(at, 1)) return kErrDamaged;
            ++at;
            if (!SkipSubBlocks(b, at)) return kErrDamaged;
        } else if (tag == 0x2C) {  // the first image: its descriptor, table and data
            if (!b.has(at, 9)) return kErrDamaged;
            const int iflags = b.u8(at + 8);
            at += 9;
            if (iflags & 0x80) {
                p.bitsPerPixel = (iflags & 7) + 1;
                p.paletteColors = 1 << p.bitsPerPixel;
                at += 3u * p.paletteColors;
            }
            if (p.paletteColors == 0) return kErrDamaged;  // nothing to map the codes through
            if (!b.has(at, 1)) return kErrDamaged;
            const int minCode = b.u8(at++);
            if (minCode < 2 || minCode > 11) return kErrDamaged;
            if (!SkipSubBlocks(b, at)) return kErrDamaged;
            if (p.secondText.empty()) p.secondText = b.text(0, 6) + ((iflags & 0x40) ? " LZW interlaced" : " LZW");
        } else if (tag == 0x3B && !p.secondText.empty()) {
            return kImagingOk;  // the trailer after at least one image
        } else {
            return kErrDamaged;
        }
    }
}

// --- PNG ------------------------------------------------------------------------------
std::int16_t ProbePng(Bytes b, TProbe& p) {
    static const char sig[] = "\x89PNG\r\n\x1a\n";
    if (b.size < 8 || b.text(0, 8) != std::string(sig, 8)) return kErrWrongKind;
    p.kind = TImageKind::Png;
    p.typeText = "PNG";
    std::size_t at = 8;
    bool header = false;
    int colorType = 0, depth = 0, interlace = 0;
    for (;;) {
        if (!b.has(at, 8)) return kErrDamaged;
        const std::uint32_t len = b.u32be(at);
        const std::string type = b.text(at + 4, 4);
        if (len > 0x7FFFFFFFu || !b.has(at + 8, std::uint64_t{len} + 4)) return kErrDamaged;
        const std::size_t data = at + 8;
        if (!header) {
            if (type != "IHDR" || len < 13) return kErrDamaged;
            p.width = static_cast<int>(std::min<std::uint32_t>(b.u32be(data), kMaxSide + 1));
            p.height = static_cast<int>(std::min<std::uint32_t>(b.u32be(data + 4), kMaxSide + 1));
            depth = b.u8(data + 8);
            colorType = b.u8(data + 9);
            interlace = b.u8(data + 12);
            header = true;
            if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
        } else if (type == "PLTE") {
            p.paletteColors = static_cast<int>(len / 3);
        } else if (type == "pHYs" && len >= 9 && b.u8(data + 8) == 1) {
            p.dpi = DpiFromMetres(b.u32be(data));
        } else if (type == "IEND") {
            break;
        }
        at = data + len + 4;
    }
    const int channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
    p.bitsPerPixel = depth * channels;
    p.secondText = interlace ? "Deflate interlaced" : "Deflate";
    return kImagingOk;
}

// --- JPEG -----------------------------------------------------------------------------
std::int16_t ProbeJpeg(Bytes b, TProbe& p) {
    if (b.size < 3 || b.u8(0) != 0xFF || b.u8(1) != 0xD8 || b.u8(2) != 0xFF) return kErrWrongKind;
    p.kind = TImageKind::Jpeg;
    p.typeText = "JPG";
    std::size_t at = 2;
    bool frame = false;
    for (;;) {
        if (!b.has(at, 2)) return kErrDamaged;
        if (b.u8(at) != 0xFF) return kErrDamaged;
        const int marker = b.u8(at + 1);
        at += 2;
        if (marker == 0xFF) {  // fill byte
            --at;
            continue;
        }
        if (marker == 0xD9) break;  // EOI
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (!b.has(at, 2)) return kErrDamaged;
        const std::size_t len = b.u16be(at);
        if (len < 2 || !b.has(at, len)) return kErrDamaged;
        const std::size_t seg = at + 2;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (len < 8) return kErrDamaged;
            p.height = b.u16be(seg + 1);
            p.width = b.u16be(seg + 3);
            p.bitsPerPixel = b.u8(seg) * b.u8(seg + 5);
            p.secondText = marker == 0xC0 ? "Baseline" : marker == 0xC2 ? "Progressive" : "Extended";
            frame = true;
            if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
        } else if (marker == 0xE0 && len >= 16 && b.text(seg, 5) == std::string("JFIF\0", 5)) {
            const int units = b.u8(seg + 7);
            const int density = b.u16be(seg + 8);
            p.dpi = units == 1 ? density : units == 2 ? (density * 254 + 50) / 100 : 0;
        }
        at += len;
        if (marker == 0xDA) {  // entropy-coded data up to the next real marker
            for (;;) {
                if (!b.has(at, 2)) return kErrDamaged;
                if (b.u8(at) == 0xFF) {
                    const int next = b.u8(at + 1);
                    if (next != 0 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) break;
                }
                ++at;
            }
        }
    }
    if (!frame) return kErrDamaged;
    return kImagingOk;
}

// --- TIFF -------------------------------------------------------------------------------
std::int16_t ProbeTiff(Bytes b, TProbe& p) {
    if (b.size < 8) return kErrWrongKind;
    const bool le = b.text(0, 4) == std::string("II*\0", 4);
    const bool be = b.text(0, 4) == std::string("MM\0*", 4);
    if (!le && !be) return kErrWrongKind;
    p.kind = TImageKind::Tiff;
    p.typeText = "TIF";
    auto u16 = [&](std::size_t at) { return le ? b.u16(at) : b.u16be(at); };
    auto u32 = [&](std::size_t at) { return le ? b.u32(at) : b.u32be(at); };
    const std::uint32_t ifd = u32(4);
    if (!b.has(ifd, 2)) return kErrDamaged;
    const std::size_t count = u16(ifd);
    if (!b.has(ifd + 2, count * 12)) return kErrDamaged;
    int samples = 1, bits = 1, compression = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t e = ifd + 2 + i * 12;
        const int tag = u16(e), type = u16(e + 2);
        const std::uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        switch (tag) {
        case 256: p.width = static_cast<int>(std::min<std::uint32_t>(value, kMaxSide + 1)); break;
        case 257: p.height = static_cast<int>(std::min<std::uint32_t>(value, kMaxSide + 1)); break;
        case 258:
            // One value inline; several point elsewhere: the first counts.
            if (u32(e + 4) <= 2 || type != 3) bits = static_cast<int>(value);
            else if (b.has(value, 2)) bits = u16(value);
            break;
        case 259: compression = static_cast<int>(value); break;
        case 277: samples = static_cast<int>(value); break;
        case 282:
            if (type == 5 && b.has(value, 8) && u32(value + 4)) p.dpi = static_cast<int>(u32(value) / u32(value + 4));
            break;
        default: break;
        }
    }
    if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
    p.bitsPerPixel = std::min(bits * samples, 64);
    p.paletteColors = (samples == 1 && bits <= 8) ? 1 << bits : 0;
    switch (compression) {
    case 1: p.secondText = "None"; break;
    case 2: case 3: case 4: p.secondText = "CCITT"; break;
    case 5: p.secondText = "LZW"; break;
    case 7: p.secondText = "JPEG"; break;
    case 8: case 32946: p.secondText = "Deflate"; break;
    case 32773: p.secondText = "PackBits"; break;
    default: p.secondText = "Other"; break;
    }
    return kImagingOk;
}

// --- PCX ---------------------------------------------------------------------------------
std::int16_t ProbePcx(Bytes b, TProbe& p) {
    if (b.size < 128 || b.u8(0) != 0x0A || b.u8(1) > 5 || b.u8(2) > 1) return kErrWrongKind;
    p.kind = TImageKind::Pcx;
    p.typeText = "PCX";
    const int xmin = b.u16(4), ymin = b.u16(6), xmax = b.u16(8), ymax = b.u16(10);
    if (xmax < xmin || ymax < ymin) return kErrDamaged;
    p.width = xmax - xmin + 1;
    p.height = ymax - ymin + 1;
    const int bits = b.u8(3), planes = b.u8(65);
    p.bitsPerPixel = bits * planes;
    p.dpi = b.u16(12);
    p.secondText = b.u8(2) ? "RLE" : "None";
    if (std::int16_t c = CheckSize(p); c != kImagingOk) return c;
    const bool supported = (bits == 1 && planes >= 1 && planes <= 4) || (bits == 4 && planes == 1) ||
                           (bits == 8 && (planes == 1 || planes == 3 || planes == 4));
    if (!supported) return kErrUnsupported;
    // Version 5 keeps the 256-colour palette after a marker at the very end.
    if (bits == 8 && planes == 1 && b.u8(1) == 5 && (b.size < 128 + 769 || b.u8(b.size - 769) != 0x0C))
        return kErrDamaged;
    p.paletteColors = p.bitsPerPixel <= 8 ? 1 << p.bitsPerPixel : 0;
    return kImagingOk;
}

}  // namespace

std::int16_t ProbeImage(std::string_view bytes, TImageKind kind, TProbe& probe) {
    probe = TProbe{};
    Bytes b{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    using Fn = std::int16_t (*)(Bytes, TProbe&);
    static const std::pair<TImageKind, Fn> probes[] = {
        {TImageKind::Bmp, ProbeBmp}, {TImageKind::Gif, ProbeGif}, {TImageKind::Png, ProbePng},
        {TImageKind::Jpeg, ProbeJpeg}, {TImageKind::Tiff, ProbeTiff}, {TImageKind::Pcx, ProbePcx}};
    for (const auto& [k, fn] : probes) {
        if (kind != TImageKind::Unknown && kind != k) continue;
        TProbe p;
        const std::int16_t code = fn(b, p);
        if (code == kErrWrongKind) continue;
        probe = p;
        return code;
    }
    return kErrWrongKind;
}

void DibColorInfo(const std::uint8_t* dib, std::size_t size, int& colors, std::size_t& bitsOffset) {
    colors = 0;
    bitsOffset = 0;
    Bytes b{dib, size};
    if (!dib || !b.has(0, 4)) return;
    const std::uint32_t hsize = b.u32(0);
    std::uint64_t table = 0;
    int count = 0;
    if (hsize == 12) {
        if (!b.has(0, 12)) return;
        const int bits = b.u16(10);
        if (bits == 1 || bits == 4 || bits == 8) count = 1 << bits;
        else if (bits != 24) return;
        table = std::uint64_t(count) * 3;
    } else {
        if (hsize < 16 || !b.has(0, hsize)) return;
        std::uint64_t used = hsize >= 36 ? b.u32(32) : 0;
        if (used > 256 && b.u16(14) <= 8) return;  // more entries than an indexed DIB can use
        if (used > 0x10000) return;
        count = static_cast<int>(used);
        if (count == 0) {
            const int bits = b.u16(14);
            if (bits == 1 || bits == 4 || bits == 8) count = 1 << bits;
        }
        table = std::uint64_t(count) * 4;
    }
    if (std::uint64_t{hsize} + table > size) return;
    colors = count;
    bitsOffset = hsize + static_cast<std::size_t>(table);
}

}  // namespace imaging
