#include "platform/gdi/picture_render.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>

#include <cstdlib>

#include "platform/imaging/graphic.h"

namespace plat {
namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "platform_gdi_qt_tests";
    static char* argv[] = {name, nullptr};
    // Started from a shell without a display: offscreen unless one is chosen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

std::string Hex(const char* hex) {
    std::string b;
    for (const char* p = hex; p[0] && p[1]; p += 2) b.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    return b;
}

// Pixels of an image as a string: '#' black, '.' white, else '?'.
std::string Pixels(const QImage& img) {
    std::string s;
    for (int y = 0; y < img.height(); ++y) {
        if (y) s += '|';
        for (int x = 0; x < img.width(); ++x) {
            QRgb p = img.pixel(x, y) & 0xFFFFFF;
            s += p == 0 ? '#' : p == 0xFFFFFF ? '.' : '?';
        }
    }
    return s;
}

struct BitmapCase {
    const char* name;
    const char* hex;
    int width, height, bits, planes, widthBytes;
    const char* pixels;  // nullptr: no image
};

TEST(PictureRender, DeviceDependentBitmaps) {
    const BitmapCase cases[] = {
        {"monochrome, rows padded to 16 bits", "ff00aa00", 8, 2, 1, 1, 2, "........|.#.#.#.#"},
        {"padding from the width when not given", "f0000f00", 4, 2, 1, 1, 0, "....|####"},
        {"4 bits: black and white of the standard colours", "0f f0", 2, 2, 4, 1, 1, "#.|.#"},
        {"8 bits", "000f0f00", 2, 2, 8, 1, 2, "#.|.#"},
        {"24 bits, blue green red", "000000ffffff", 2, 1, 24, 1, 6, "#."},
        {"32 bits", "00000000ffffff00", 2, 1, 32, 1, 8, "#."},
        {"16 bits, 5-5-5", "0000ff7f", 2, 1, 16, 1, 4, "#."},
        {"four planes of one bit index the 16 colours", "8000 8000 8000 8000", 2, 1, 1, 4, 2, ".#"},
        {"two planes: dark yellow and dark green", "8000 c000", 2, 1, 1, 2, 2, "??"},
        {"rows missing at the end stay white", "0000", 2, 3, 1, 1, 2, "##|..|.."},
        {"row width too small for the pixels", "ffff", 16, 1, 1, 1, 1, nullptr},
        {"no whole row", "ff", 8, 1, 1, 1, 2, nullptr},
        {"unknown bit count", "ffff", 2, 1, 3, 1, 2, nullptr},
        {"zero size", "ffff", 0, 1, 1, 1, 2, nullptr},
        {"too large", "ffff", 100000, 100000, 1, 1, 2, nullptr},
        {"negative row width is computed", "4000", 2, 1, 1, 1, -4, "#."},
    };
    for (const BitmapCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string hex;
        for (const char* p = c.hex; *p; ++p)
            if (*p != ' ') hex += *p;
        QImage img = DeviceBitmapToImage(Hex(hex.c_str()), c.width, c.height, c.bits, c.planes, c.widthBytes);
        if (!c.pixels) {
            EXPECT_TRUE(img.isNull());
            continue;
        }
        ASSERT_FALSE(img.isNull());
        // Monochrome: 1 is white.
        EXPECT_EQ(Pixels(img), c.pixels);
        if (c.planes == 2) {
            EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0x808000u);
            EXPECT_EQ(img.pixel(1, 0) & 0xFFFFFF, 0x008000u);
        }
    }
}

TEST(PictureRender, KindsOfPictures) {
    EnsureApp();
    TRawGraphic ddb(TGraphicKind::Bitmap, Hex("ff00aa00"), 8, 2, TBitmapGeometry{1, 1, 2});
    EXPECT_EQ(Pixels(PictureToImage(ddb)), "........|.#.#.#.#");

    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(Qt::black);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    source.save(&buffer, "PNG");
    TRawGraphic other(TGraphicKind::Unknown, std::string(png.constData(), static_cast<std::size_t>(png.size())), 3, 2);
    EXPECT_EQ(Pixels(PictureToImage(other)), "###|###");

    TRawGraphic garbage(TGraphicKind::Dib, "BM not really a bitmap", 3, 2);
    EXPECT_TRUE(PictureToImage(garbage).isNull());

    // Metafiles wait for a reader; once one is installed it draws them at the size asked.
    TRawGraphic wmf(TGraphicKind::Metafile, std::string(40, '\0'), 4, 4);
    EXPECT_TRUE(PictureToImage(wmf).isNull());
    int calls = 0;
    SetMetafileRenderer([&calls](const std::string& bytes, int w, int h) {
        ++calls;
        EXPECT_EQ(bytes.size(), 40u);
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::black);
        return img;
    });
    QImage drawn = PictureToImage(wmf);
    SetMetafileRenderer(nullptr);
    EXPECT_EQ(calls, 1);
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_TRUE(PictureToImage(wmf).isNull());  // the reader is gone again
}

}  // namespace
}  // namespace plat
