#include "converter/pictures.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "converter/converter_strings.h"
#include "converter/decompress.h"
#include "converter/topic_stream.h"

namespace conv {

namespace {

void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// Writes a whole output file; warning 31 when it cannot be created. Inside
// the private picture folder the file is created exclusively and a link is
// never followed (the folder is ours alone, so an old file of the same name
// is one of our own and is replaced).
bool WriteWholeFile(Conversion& hf, const std::string& name, const std::string& bytes) {
    std::FILE* f = nullptr;
    if (InPictureFolder(hf, name)) {
        ::unlink(name.c_str());
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 && !(f = ::fdopen(fd, "wb"))) ::close(fd);
    } else {
        f = std::fopen(name.c_str(), "wb");
    }
    if (!f) {
        AddWarning(hf, 31, {name});
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw HelpFileError("Can't write. Disk Full?");
    return true;
}

// Unpacks `size` bytes at the stream position by `packing`, at most `limit`
// bytes of output.
std::string Unpack(HelpStream& s, std::uint32_t size, int packing, std::uint32_t limit) {
    std::string out;
    switch (packing) {
    case 0: CopyBytes(s, out, size); break;
    case 1: RleDecompress(s, out, size, limit); break;
    case 2: Lz77DecompressToFile(s, out, size); break;
    case 3: Lz77RleDecompress(s, out, size, nullptr, limit); break;
    default: break;
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

// What is left of the conversion's picture budget, at most one picture's worth.
std::uint32_t PictureAllowance(const Conversion& hf) {
    const std::uint64_t left = hf.state.pictureBytes < kMaxPictureBytesTotal ? kMaxPictureBytesTotal - hf.state.pictureBytes : 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kMaxPictureBytes));
}

// Reads a hotspot block; a record of an unknown kind ends the list there.
std::vector<ShgHotspot> ReadHotspots(HelpStream& s, std::uint32_t end) {
    std::vector<ShgHotspot> spots;
    std::uint8_t version = 0;
    std::uint16_t count = 0;
    std::uint32_t macroSize = 0;
    if (!s.ReadU8(version) || !s.ReadU16(count) || !s.ReadU32(macroSize)) return spots;
    int macros = 0;
    for (int i = 0; i < count; ++i) {
        if (s.Tell() + 15u > end) return {};
        ShgHotspot h;
        std::uint8_t unused = 0;
        std::uint16_t left = 0, top = 0, width = 0, height = 0;
        std::uint32_t rest = 0;
        s.ReadU16(h.kind);
        s.ReadU8(unused);
        s.ReadU16(left);
        s.ReadU16(top);
        s.ReadU16(width);
        s.ReadU16(height);
        s.ReadU32(rest);
        h.left = left, h.top = top, h.width = width, h.height = height;
        if (h.IsMacro()) ++macros;
        else if (!(h.kind == 0x00E2 || h.kind == 0x04E6 || h.kind == 0x00E3 || h.kind == 0x04E7)) break;
        spots.push_back(std::move(h));
    }
    std::string text;
    for (int i = 0; i < macros; ++i)
        if (!s.ReadCString(text, end, 4096)) return {};
    for (std::size_t i = 0; i < spots.size(); ++i)
        if (!s.ReadCString(spots[i].name, end, 4096) || !s.ReadCString(spots[i].target, end, 4096)) {
            spots.resize(i);  // the hotspots read whole before the damage
            break;
        }
    return spots;
}

void ReadHotspotNames(Conversion& hf, HelpStream& s, std::uint32_t end) {
    for (const ShgHotspot& h : ReadHotspots(s, end))
        if (!h.target.empty()) AddKnownContextName(hf, h.target);
}

struct BitmapHeader {
    std::uint32_t xRes = 0, yRes = 0, planes = 0, bitCount = 0, width = 0, height = 0;
    std::uint32_t colorsUsed = 0, colorsImportant = 0, compressedSize = 0, hotspotSize = 0;
    std::uint32_t compressedOffset = 0, hotspotOffset = 0;
};

// Reads a bitmap image's header (the stream just after the type word); the
// stream is left at the colour table.
bool ReadBitmapHeader(HelpStream& s, BitmapHeader& h) {
    h.xRes = ReadPackedDword(s);
    h.yRes = ReadPackedDword(s);
    h.planes = ReadPackedWord(s);
    h.bitCount = ReadPackedWord(s);
    h.width = ReadPackedDword(s);
    h.height = ReadPackedDword(s);
    h.colorsUsed = ReadPackedDword(s);
    h.colorsImportant = ReadPackedDword(s) & 0xFFFF;
    h.compressedSize = ReadPackedDword(s);
    h.hotspotSize = ReadPackedDword(s);
    return s.ReadU32(h.compressedOffset) && s.ReadU32(h.hotspotOffset);
}

// Colour-table entries: 0 colours below 9 bits means a full palette, and a
// table never holds more than 256 entries (a wild count must not overflow
// the table's byte size).
std::uint32_t PaletteColours(const BitmapHeader& h) {
    std::uint32_t colours = h.colorsUsed;
    if (colours == 0 && h.bitCount <= 8) colours = 1u << h.bitCount;
    return colours > 256 ? 256 : colours;
}

// The BMP file of a bitmap image whose colour table starts at `paletteAt`;
// empty when the image is refused (with its warning). The header's sizes
// are only claims: the picture is made from the pixels its data really
// unpacks to, never from width x height.
std::string BitmapFileBytes(Conversion& hf, HelpStream& s, std::uint32_t imageStart, std::uint32_t end, int packing,
                            const BitmapHeader& h, std::uint32_t paletteAt, const std::string& shownName) {
    const std::uint32_t colours = PaletteColours(h);
    const std::uint32_t palBytes = colours * 4;
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(h.bitCount) * h.width + 31) / 32) * 4;
    const std::uint64_t wanted = rowBytes * h.height;
    const bool depthOk = h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                         h.bitCount == 24 || h.bitCount == 32;
    const std::uint32_t allowance = PictureAllowance(hf);
    if (!depthOk || (wanted > 0 && allowance < rowBytes)) {
        AddWarning(hf, allowance < rowBytes && depthOk ? kWarnPictureBudget : kWarnPictureRefused, {shownName});
        return {};
    }
    if (paletteAt + static_cast<std::uint64_t>(palBytes) > end) return {};
    std::string palette(reinterpret_cast<const char*>(s.Data() + paletteAt), palBytes);
    std::uint64_t dataAt = h.compressedOffset ? imageStart + static_cast<std::uint64_t>(h.compressedOffset)
                                              : paletteAt + palBytes;
    std::uint32_t size = h.compressedSize;
    if (dataAt > end) size = 0, dataAt = end;
    if (dataAt + size > end) size = static_cast<std::uint32_t>(end - dataAt);
    s.Seek(dataAt);
    std::string pixels = Unpack(s, size, packing, static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, allowance)));
    std::uint32_t height = h.height;
    if (pixels.size() + rowBytes >= wanted) {
        // Only the last row cut short: padded.
        pixels.resize(static_cast<std::size_t>(wanted), '\0');
    } else {
        // Rows that are not there are cut from the picture.
        const std::uint64_t rows = pixels.size() / rowBytes;
        pixels.resize(static_cast<std::size_t>(rows * rowBytes));
        height = static_cast<std::uint32_t>(rows);
        AddWarning(hf, rows ? kWarnPictureCut : kWarnPictureRefused,
                   rows ? std::vector<WarningArg>{shownName, static_cast<unsigned long>(rows)}
                        : std::vector<WarningArg>{shownName});
    }
    if (height == 0 && h.height != 0) return {};
    hf.state.pictureBytes += pixels.size();
    std::uint32_t xr = h.xRes, yr = h.yRes;
    if (xr == 0 && (hf.options.flags & kBmpInRtf)) xr = 81;
    if (yr == 0 && (hf.options.flags & kBmpInRtf)) yr = 81;
    std::string bmp = "BM";
    const std::uint32_t pixelOffset = palBytes + 54;
    Put32(bmp, pixelOffset + static_cast<std::uint32_t>(pixels.size()));
    Put16(bmp, 0);
    Put16(bmp, 0);
    Put32(bmp, pixelOffset);
    Put32(bmp, 40);
    Put32(bmp, h.width);
    Put32(bmp, height);
    Put16(bmp, 1);
    Put16(bmp, h.bitCount);
    Put32(bmp, 0);
    Put32(bmp, static_cast<std::uint32_t>(pixels.size()));
    Put32(bmp, xr * 40);
    Put32(bmp, yr * 40);
    Put32(bmp, h.colorsUsed ? colours : 0);
    Put32(bmp, 0);
    bmp += palette;
    bmp += pixels;
    return bmp;
}

// Where a bitmap image's hotspot block starts.
std::uint64_t BitmapHotspotsAt(const BitmapHeader& h, std::uint32_t imageStart, std::uint32_t paletteAt) {
    return h.hotspotOffset ? imageStart + static_cast<std::uint64_t>(h.hotspotOffset)
                           : paletteAt + PaletteColours(h) * 4ull + h.compressedSize;
}

// Returns true when a BMP was written.
bool ExtractBitmap(Conversion& hf, HelpStream& s, std::uint32_t imageStart, std::uint32_t end, int packing, int index,
                   const std::string& base, std::string& outName) {
    BitmapHeader h;
    if (!ReadBitmapHeader(s, h)) return false;
    const std::uint32_t paletteAt = s.Tell();
    bool written = false;
    if ((hf.options.flags & kNoShg) || h.hotspotSize == 0) {
        const std::string name = FormatString(h.colorsImportant == 1 ? "%sT%d.bmp" : "%s%d.bmp", base.c_str(), index);
        const std::string shownName = name.substr(name.find_last_of('/') + 1);  // without the private folder
        const std::string bmp = BitmapFileBytes(hf, s, imageStart, end, packing, h, paletteAt, shownName);
        if (!bmp.empty() && WriteWholeFile(hf, name, bmp)) {
            outName = name;
            written = true;
        }
    }
    if (h.hotspotSize) {
        const std::uint64_t at = BitmapHotspotsAt(h, imageStart, paletteAt);
        if (at < end && s.Seek(at)) ReadHotspotNames(hf, s, end);
    }
    return written;
}

struct MetafileHeader {
    std::uint16_t width = 0, height = 0;
    std::uint32_t compressedSize = 0, hotspotSize = 0, compressedOffset = 0, hotspotOffset = 0;
    std::uint32_t afterHeader = 0;
};

bool ReadMetafileHeader(HelpStream& s, MetafileHeader& h) {
    std::uint8_t mapMode = 0;
    if (!s.ReadU8(mapMode) || !s.ReadU16(h.width) || !s.ReadU16(h.height)) return false;
    ReadPackedDword(s);  // decompressed size
    h.compressedSize = ReadPackedDword(s);
    h.hotspotSize = ReadPackedDword(s);
    if (!s.ReadU32(h.compressedOffset) || !s.ReadU32(h.hotspotOffset)) return false;
    h.afterHeader = s.Tell();
    return true;
}

// The placeable WMF of a metafile image; empty past the picture budget
// (with its warning).
std::string MetafileFileBytes(Conversion& hf, HelpStream& s, std::uint32_t imageStart, std::uint32_t end, int packing,
                              const MetafileHeader& h, const std::string& shownName) {
    std::uint64_t dataAt = h.compressedOffset ? imageStart + static_cast<std::uint64_t>(h.compressedOffset) : h.afterHeader;
    std::uint32_t size = h.compressedSize;
    if (dataAt > end) size = 0, dataAt = end;
    if (dataAt + size > end) size = static_cast<std::uint32_t>(end - dataAt);
    s.Seek(dataAt);
    const std::uint32_t allowance = PictureAllowance(hf);
    if (allowance == 0) {
        AddWarning(hf, kWarnPictureBudget, {shownName});
        return {};
    }
    std::string records = Unpack(s, size, packing, allowance);
    hf.state.pictureBytes += records.size();
    return PlaceableHeader(h.width, h.height) + records;
}

std::uint64_t MetafileHotspotsAt(const MetafileHeader& h, std::uint32_t imageStart) {
    return h.hotspotOffset ? imageStart + static_cast<std::uint64_t>(h.hotspotOffset)
                           : h.afterHeader + static_cast<std::uint64_t>(h.compressedSize);
}

bool ExtractMetafile(Conversion& hf, HelpStream& s, std::uint32_t imageStart, std::uint32_t end, int packing, int index,
                     const std::string& base, std::string& outName) {
    MetafileHeader h;
    if (!ReadMetafileHeader(s, h)) return false;
    bool written = false;
    if ((hf.options.flags & kNoShg) || h.hotspotSize == 0) {
        // One name for the file and for the project and the RTF.
        const std::string name = FormatString("%s%d.wmf", base.c_str(), index);
        const std::string wmf = MetafileFileBytes(hf, s, imageStart, end, packing, h, name.substr(name.find_last_of('/') + 1));
        if (!wmf.empty() && WriteWholeFile(hf, name, wmf)) {
            outName = name;
            written = true;
        }
    }
    if (h.hotspotSize) {
        const std::uint64_t at = MetafileHotspotsAt(h, imageStart);
        if (at < end && s.Seek(at)) ReadHotspotNames(hf, s, end);
    }
    return written;
}

// The offsets of a container's images, when it is one.
bool ReadContainerHead(HelpStream& s, std::uint32_t offset, std::uint32_t end, char sig[2],
                       std::vector<std::uint32_t>& offsets) {
    s.Seek(offset);
    std::uint16_t count = 0;
    sig[0] = sig[1] = 0;
    if (end - offset >= 4) {
        s.Read(sig, 2);
        s.ReadU16(count);
    }
    if (!(sig[0] == 'l' && (sig[1] == 'p' || sig[1] == 'P'))) return false;
    for (std::uint16_t i = 0; i < count && s.Tell() + 4 <= end; ++i) {
        std::uint32_t o = 0;
        s.ReadU32(o);
        offsets.push_back(o);
    }
    return true;
}

}  // namespace

const std::string& PictureFolder(Conversion& hf) {
    if (hf.state.pictureFolderTried) return hf.state.pictureFolder;
    hf.state.pictureFolderTried = true;
    std::string parent;
    if (const char* temp = std::getenv("TEMP"); temp && *temp) parent = temp;
    std::error_code ec;
    if (parent.empty() || !std::filesystem::is_directory(parent, ec)) {
        parent = std::filesystem::temp_directory_path(ec).string();
        if (ec) parent = "/tmp";
    }
    std::string pattern = parent + "/rendlow-XXXXXX";
    if (::mkdtemp(pattern.data())) {
        hf.state.pictureFolder = pattern;
        RegisterScratchFolder(pattern);
    } else {
        AddWarning(hf, 31, {parent});
    }
    return hf.state.pictureFolder;
}

bool InPictureFolder(const Conversion& hf, const std::string& name) {
    return !hf.state.pictureFolder.empty() && name.size() > hf.state.pictureFolder.size() &&
           name.compare(0, hf.state.pictureFolder.size(), hf.state.pictureFolder) == 0 && name[hf.state.pictureFolder.size()] == '/';
}

std::string SafeFileName(const std::string& name) {
    std::size_t cut = name.find_last_of("\\/:");
    std::string plain = cut == std::string::npos ? name : name.substr(cut + 1);
    // Leading dots would make "." or ".." or a hidden file.
    std::size_t first = plain.find_first_not_of('.');
    plain = first == std::string::npos ? std::string() : plain.substr(first);
    std::string out;
    for (char c : plain)
        if (static_cast<unsigned char>(c) >= 0x20 && c != '*' && c != '?' && c != '"' && c != '<' && c != '>' &&
            c != '|')
            out += c;
    if (out.empty()) return "unnamed";
    // The name is also a line of the project: it must not read as a
    // section head or a comment there.
    if (out[0] == '[' || out[0] == ';') out.insert(0, "_");
    return out;
}

std::uint32_t ReadPackedWord(HelpStream& s) {
    std::uint8_t b = 0;
    if (!s.ReadU8(b)) return 0;
    if ((b & 1) == 0) return b >> 1;
    std::uint8_t hi = 0;
    s.ReadU8(hi);
    return static_cast<std::uint32_t>(b | (hi << 8)) >> 1;
}

std::uint32_t ReadPackedDword(HelpStream& s) {
    std::uint16_t w = 0;
    if (!s.ReadU16(w)) return 0;
    if ((w & 1) == 0) return w >> 1;
    std::uint16_t hi = 0;
    s.ReadU16(hi);
    return (static_cast<std::uint32_t>(w) | (static_cast<std::uint32_t>(hi) << 16)) >> 1;
}

std::string PlaceableHeader(std::uint16_t width, std::uint16_t height) {
    std::string h;
    Put32(h, 0x9AC6CDD7u);
    Put16(h, 0);
    Put16(h, 0);
    Put16(h, 0);
    Put16(h, width / 10u);
    Put16(h, height / 10u);
    Put16(h, 254);
    Put32(h, 0);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= GetU16(reinterpret_cast<const std::uint8_t*>(h.data()) + 2 * i);
    Put16(h, sum);
    return h;
}

std::string ConvertPictureStream(Conversion& hf, HelpStream& s, std::uint32_t offset, std::uint32_t size,
                                 const std::string& base) {
    const std::uint64_t end64 = static_cast<std::uint64_t>(offset) + size;
    const std::uint32_t end = end64 > s.Size() ? s.Size() : static_cast<std::uint32_t>(end64);
    if (offset > end) offset = end;
    std::string outName;
    bool any = false;
    char sig[2];
    std::vector<std::uint32_t> offsets;
    if (ReadContainerHead(s, offset, end, sig, offsets)) {
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            const std::uint64_t imageStart = static_cast<std::uint64_t>(offset) + offsets[i];
            if (imageStart + 2 > end) continue;
            s.Seek(imageStart);
            std::uint16_t tp = 0;
            s.ReadU16(tp);
            const int packing = tp >> 8;
            const int index = static_cast<int>(i);
            const auto start = static_cast<std::uint32_t>(imageStart);
            if ((tp & 0xFF) == 6 && packing <= 3) {
                if (ExtractBitmap(hf, s, start, end, packing, index, base, outName)) any = true;
            } else if ((tp & 0xFF) == 8 && packing <= 2) {
                if (ExtractMetafile(hf, s, start, end, packing, index, base, outName)) any = true;
            } else {
                AddWarning(hf, 33, {tp, base});
            }
        }
    } else {
        AddWarning(hf, 32, {sig[0] ? static_cast<unsigned char>(sig[0]) : ' ', sig[1] ? static_cast<unsigned char>(sig[1]) : ' '});
    }
    if (!any) {
        const std::string name = base + ".SHG";
        std::string bytes(reinterpret_cast<const char*>(s.Data() + offset), end - offset);
        WriteWholeFile(hf, name, bytes);
        outName = name;
    }
    return outName;
}

std::string ConvertPicture(Conversion& hf, std::uint32_t offset, std::uint32_t size, const std::string& base) {
    const std::uint32_t back = hf.state.stream.Tell();
    std::string name = ConvertPictureStream(hf, hf.state.stream, offset, size, base);
    hf.state.stream.Seek(back);
    return name;
}

bool ReadShgPicture(const std::string& bytes, ShgPicture& picture) {
    picture = ShgPicture{};
    if (bytes.size() > 0xFFFFFFFFu) return false;  // beyond what a stream addresses
    HelpFile hf;  // the picture budget and the warnings of this one read
    hf.ownOptions.flags = kNoShg;
    HelpStream s(bytes);
    const std::uint32_t end = s.Size();
    char sig[2];
    std::vector<std::uint32_t> offsets;
    if (!ReadContainerHead(s, 0, end, sig, offsets)) return false;
    std::string metafile;
    std::vector<ShgHotspot> metafileSpots;
    for (std::uint32_t imageStart : offsets) {
        if (static_cast<std::uint64_t>(imageStart) + 2 > end) continue;
        s.Seek(imageStart);
        std::uint16_t tp = 0;
        s.ReadU16(tp);
        const int packing = tp >> 8;
        if ((tp & 0xFF) == 6 && packing <= 3) {
            BitmapHeader h;
            if (!ReadBitmapHeader(s, h)) continue;
            const std::uint32_t paletteAt = s.Tell();
            std::string bmp = BitmapFileBytes(hf, s, imageStart, end, packing, h, paletteAt, "picture");
            if (bmp.empty()) continue;
            picture.bitmap = std::move(bmp);
            const std::uint64_t at = BitmapHotspotsAt(h, imageStart, paletteAt);
            if (h.hotspotSize && at < end && s.Seek(at)) picture.hotspots = ReadHotspots(s, end);
            return true;  // the first bitmap is the picture
        }
        if ((tp & 0xFF) == 8 && packing <= 2 && metafile.empty()) {
            MetafileHeader h;
            if (!ReadMetafileHeader(s, h)) continue;
            metafile = MetafileFileBytes(hf, s, imageStart, end, packing, h, "picture");
            const std::uint64_t at = MetafileHotspotsAt(h, imageStart);
            if (!metafile.empty() && h.hotspotSize && at < end && s.Seek(at)) metafileSpots = ReadHotspots(s, end);
        }
    }
    picture.metafile = std::move(metafile);
    if (!picture.metafile.empty()) picture.hotspots = std::move(metafileSpots);
    return true;
}

bool ConvertEmbeddedWindow(Conversion&, RtfOutput&, const std::string&, char) { return false; }

}  // namespace conv
