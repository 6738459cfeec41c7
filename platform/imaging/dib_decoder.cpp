// Decoding through Qt, and packed DIBs (the pictures inside metafiles and
// program resources) handed to the BMP decoder behind a file header of ours.

#include "platform/imaging/byte_reader.h"
#include "platform/imaging/codecs.h"

#include <QBuffer>
#include <QImageReader>

namespace imaging {

std::int16_t DecodeWithQt(std::string_view bytes, const char* format, QImage& out) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    QImage img;
    if (!reader.read(&img) || img.isNull()) return kErrDamaged;
    out = img.convertToFormat(QImage::Format_RGB32);
    return kImagingOk;
}

QImage DecodePackedDib(std::string_view dib) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(dib.data());
    int colors = 0;
    std::size_t offset = 0;
    DibColorInfo(d, dib.size(), colors, offset);
    if (offset == 0) return {};
    Bytes b{d, dib.size()};
    if (b.u32(0) == 40 && b.u32(16) == 3) offset += 12;  // the three bit-field masks
    const std::uint64_t total = 14 + std::uint64_t{dib.size()};
    if (total > 0xFFFFFFFFu) return {};
    std::string file(14, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(total));
    put32(10, static_cast<std::uint32_t>(14 + offset));
    file.append(dib);
    TProbe probe;
    if (ProbeImage(file, TImageKind::Bmp, probe) < 1) return {};
    QImage img;
    if (DecodeWithQt(file, "bmp", img) < 1) return {};
    return img;
}

}  // namespace imaging
