// The imaging library's operations on pictures made here: every reader
// gives the fixture's size and pixels, truncation gives a code and an empty
// picture, the GIF writer round-trips and is deterministic.

#include "platform/imaging/codecs.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace imaging {
namespace {

using ReadFn = std::int16_t (*)(std::string_view, int, int, QImage&, TProgressCallback);

// Qt's image plugins (JPEG, GIF) want an application object.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "codecs_test";
        static char* argv[] = {name, nullptr};
        // Started from a shell without a display: offscreen unless one is chosen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (!QCoreApplication::instance()) app_ = new QGuiApplication(argc, argv);
    }
    QGuiApplication* app_ = nullptr;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Mean channel difference over all pixels (sizes must match).
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// Largest channel difference over all pixels (sizes must match).
int MaxDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

struct Case {
    const char* name;
    std::function<std::string(const QImage&)> make;
    int colors;     // of the pattern
    ReadFn read;
    int tolerance;  // mean channel difference allowed (JPEG is lossy); else pixel-equal
};

std::vector<Case> Cases() {
    return {
        {"bmp1", [](const QImage& i) { return fixtures::MakeBmp(i, 1); }, 2, ReadBMP, 0},
        {"bmp4", [](const QImage& i) { return fixtures::MakeBmp(i, 4); }, 16, ReadBMP, 0},
        {"bmp8", [](const QImage& i) { return fixtures::MakeBmp(i, 8); }, 256, ReadBMP, 0},
        {"bmp24", [](const QImage& i) { return fixtures::MakeBmp(i, 24); }, 0, ReadBMP, 0},
        {"gif_interlaced", [](const QImage& i) {
             std::int16_t code = 0;
             return EncodeGif(i, 8, code, nullptr, true);
         }, 256, ReadGIF, 0},
        {"pcx8", [](const QImage& i) { return fixtures::MakePcx(i, 8); }, 256, ReadPCX, 0},
        {"pcx24", [](const QImage& i) { return fixtures::MakePcx(i, 24); }, 0, ReadPCX, 0},
        {"tif", [](const QImage& i) { return fixtures::MakeTiff(i); }, 0, ReadTIFF, 0},
        {"png", [](const QImage& i) { return fixtures::MakeQt(i, "PNG"); }, 0, ReadPNG, 0},
        {"jpg", [](const QImage& i) { return fixtures::MakeQt(i, "JPEG", 100); }, 0, ReadJPEG, 10},
    };
}

class Codecs : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        testsupport::WriteFileBytes(path, bytes);
        return path.string();
    }
    testsupport::TempDir dir_;
};

TEST_F(Codecs, EveryReaderGivesTheFixturesSizeAndPixels) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        // Odd sizes catch row padding and interlace passes that miss rows.
        const QImage want = fixtures::Pattern(37, 23, c.colors);
        const std::string file = Write(std::string(c.name) + ".pic", c.make(want));
        QImage got;
        ASSERT_EQ(c.read(file, 24, 0, got, nullptr), kImagingOk);
        ASSERT_EQ(got.size(), want.size());
        if (c.tolerance) EXPECT_LE(MeanDifference(got, want), c.tolerance);
        else EXPECT_EQ(MaxDifference(got, want), 0);
    }
}

TEST_F(Codecs, TruncatedFilesGiveAFailureCodeAndAnEmptyPicture) {
    for (const Case& c : Cases()) {
        const std::string whole = c.make(fixtures::Pattern(37, 23, c.colors));
        for (std::size_t keep : {whole.size() - 1, whole.size() * 2 / 3, std::size_t{40}, std::size_t{5}}) {
            SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(keep));
            const std::string file = Write(std::string(c.name) + ".cut", whole.substr(0, keep));
            QImage got(4, 4, QImage::Format_RGB32);  // a previous picture must not survive
            EXPECT_LT(c.read(file, 24, 0, got, nullptr), 1);
            EXPECT_TRUE(got.isNull());
        }
    }
}

TEST_F(Codecs, RunLengthBmpsMustReachTheirEndCode) {
    // 4 x 2 pixels at 8 bits, run-length coded: the bottom row one run of
    // index 1, the top row an absolute run 0 1 0 1, then the end code.
    std::string bmp = fixtures::MakeBmp(fixtures::Pattern(4, 2, 2), 8);
    bmp.resize(14 + 40 + 1024);
    bmp[30] = 1;  // RLE8
    const std::string rle("\x04\x01\x00\x00\x00\x04\x00\x01\x00\x01\x00\x01", 12);
    bmp += rle;
    QImage img;
    ASSERT_EQ(ReadBMP(Write("rle.bmp", bmp), 24, 0, img, nullptr), kImagingOk);
    EXPECT_EQ(img.size(), QSize(4, 2));
    EXPECT_EQ(img.pixel(0, 1), img.pixel(3, 1));  // the bottom row is one run
    EXPECT_NE(img.pixel(0, 1), img.pixel(0, 0));
    EXPECT_EQ(img.pixel(1, 0), img.pixel(0, 1));
    for (std::size_t cut : {std::size_t{2}, std::size_t{5}, std::size_t{12}}) {
        EXPECT_EQ(ReadBMP(Write("rle_cut.bmp", bmp.substr(0, bmp.size() - cut)), 24, 0, img, nullptr), kErrDamaged)
            << cut;
        EXPECT_TRUE(img.isNull());
    }
}

TEST_F(Codecs, PcxRunsMayCrossRowEnds) {
    // 4 x 2 pixels of colour index 1 as one run of 8 over both rows.
    std::string pcx = fixtures::MakePcx(QImage(4, 2, QImage::Format_RGB32), 8);
    pcx.resize(128);
    pcx += "\xC8\x01";
    std::string palette(769, '\0');
    palette[0] = 0x0C;
    palette[5] = static_cast<char>(0xFF);  // entry 1 = (0, 255, 0)
    pcx += palette;
    QImage img;
    ASSERT_EQ(DecodePcx(pcx, img), kImagingOk);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(3, 1), qRgb(0, 255, 0));
}

// What libtiff writes for other programs: ink separations (CMYK), 16-bit
// samples, separate planes, grey that counts from white, palettes. Each
// file is written here by libtiff itself, one strip per plane.
std::string LibtiffFile(const std::filesystem::path& path, int w, int h, const std::function<void(TIFF*)>& tags,
                        const std::vector<std::string>& strips, const char* mode = "w") {
    TIFF* tif = TIFFOpen(path.string().c_str(), mode);
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    tags(tif);
    for (std::size_t i = 0; i < strips.size(); ++i)
        TIFFWriteEncodedStrip(tif, static_cast<std::uint32_t>(i), const_cast<char*>(strips[i].data()),
                              static_cast<tmsize_t>(strips[i].size()));
    TIFFClose(tif);
    return testsupport::ReadFileBytes(path);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string Words(std::initializer_list<int> values) {  // 16-bit samples in the machine's order, as libtiff writes
    std::string s;
    for (int v : values) {
        const std::uint16_t w = static_cast<std::uint16_t>(v);
        s.append(reinterpret_cast<const char*>(&w), 2);
    }
    return s;
}

TEST_F(Codecs, TiffsOfEveryKindLibtiffReadsGiveTheirColours) {
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    auto cmyk = [](int compression, int planar, int bits = 8) {
        return [=](TIFF* t) {
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
            TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
            TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar);
        };
    };
    // Six pixels: no ink, cyan, magenta, yellow, full black, half black.
    const std::string inks = Bytes({0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 128});
    const std::vector<QRgb> inkColours = {white, qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(255, 255, 0), black,
                                          qRgb(127, 127, 127)};
    struct Case {
        const char* name;
        std::function<void(TIFF*)> tags;
        std::vector<std::string> strips;
        std::vector<QRgb> want;  // the first row, left to right
        const char* mode = "w";  // "wb": big-endian
    };
    std::vector<QRgb> grey = {white, qRgb(155, 155, 155), black};
    std::uint16_t red[16] = {}, green[16] = {}, blue[16] = {};
    red[1] = 0xFFFF;
    blue[2] = 0xFFFF;
    const Case cases[] = {
        {"CMYK", cmyk(COMPRESSION_NONE, PLANARCONFIG_CONTIG), {inks}, inkColours},
        {"CMYK, LZW", cmyk(COMPRESSION_LZW, PLANARCONFIG_CONTIG), {inks}, inkColours},
        {"CMYK, big-endian", cmyk(COMPRESSION_NONE, PLANARCONFIG_CONTIG), {inks}, inkColours, "wb"},
        {"CMYK, deflate, big-endian", cmyk(COMPRESSION_ADOBE_DEFLATE, PLANARCONFIG_CONTIG), {inks}, inkColours, "wb"},
        {"CMYK, separate planes", cmyk(COMPRESSION_NONE, PLANARCONFIG_SEPARATE),
         {Bytes({0, 255, 0, 0, 0, 0}), Bytes({0, 0, 255, 0, 0, 0}), Bytes({0, 0, 0, 255, 0, 0}),
          Bytes({0, 0, 0, 0, 255, 128})},
         inkColours},
        {"CMYK, 16 bits", cmyk(COMPRESSION_NONE, PLANARCONFIG_CONTIG, 16),
         {Words({0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0x8080})},
         inkColours},
        {"CMYK, 16 bits, LZW, big-endian", cmyk(COMPRESSION_LZW, PLANARCONFIG_CONTIG, 16),
         {Words({0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0x8080})},
         inkColours, "wb"},
        {"CMYK, 16 bits, separate planes", cmyk(COMPRESSION_NONE, PLANARCONFIG_SEPARATE, 16),
         {Words({0, 0xFFFF, 0, 0, 0, 0}), Words({0, 0, 0xFFFF, 0, 0, 0}), Words({0, 0, 0, 0xFFFF, 0, 0}),
          Words({0, 0, 0, 0, 0xFFFF, 0x8080})},
         inkColours},
        {"RGB, 16 bits",
         [](TIFF* t) {
             TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
             TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
             TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
         },
         {Words({0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF})},
         {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}},
        {"grey counted from white",
         [](TIFF* t) {
             TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
             TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
             TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
         },
         {Bytes({0, 100, 255})},
         grey},
        {"palette, 4 bits",
         [&](TIFF* t) {
             TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
             TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
             TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 4);
             TIFFSetField(t, TIFFTAG_COLORMAP, red, green, blue);
         },
         {Bytes({0x12, 0x00})},
         {qRgb(255, 0, 0), qRgb(0, 0, 255), black}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = static_cast<int>(c.want.size());
        const std::string bytes = LibtiffFile(dir_ / "made.tif", w, 1, c.tags, c.strips, c.mode);
        ASSERT_FALSE(bytes.empty());
        QImage got;
        ASSERT_EQ(ReadTIFF(Write("kind.tif", bytes), 24, 0, got, nullptr), kImagingOk);
        ASSERT_EQ(got.size(), QSize(w, 1));
        for (int x = 0; x < w; ++x) {
            const QRgb p = got.pixel(x, 0), q = c.want[x];
            EXPECT_LE(std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)), 3)
                << "pixel " << x << ": " << std::hex << p << " for " << q;
        }
        // The picture's information names the file as libtiff wrote it.
        std::string type, second;
        std::int16_t n[5];
        ASSERT_EQ(ImageInfo(Write("kind.tif", bytes), type, n, second), kImagingOk);
        EXPECT_EQ(type, "TIF");
        EXPECT_EQ(n[0], w);
    }
    // Samples no reader here takes (floating point) are said to be so, not
    // called damaged.
    const std::string floats = LibtiffFile(dir_ / "made.tif", 1, 1, [](TIFF* t) {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    }, {std::string(4, '\0')});
    QImage got;
    EXPECT_EQ(ReadTIFF(Write("float.tif", floats), 24, 0, got, nullptr), kErrUnsupported);
    EXPECT_TRUE(got.isNull());
    const std::string cmyk16 = LibtiffFile(dir_ / "made.tif", 40, 30, cmyk(COMPRESSION_NONE, PLANARCONFIG_CONTIG, 16),
                                           {std::string(40 * 30 * 8, '\x20')});
    ASSERT_EQ(ReadTIFF(Write("inks.tif", cmyk16), 24, 0, got, nullptr), kImagingOk);
    ASSERT_EQ(got.size(), QSize(40, 30));
    // Each ink at 0x2020 of 0xFFFF: (1 - 0.1255)^2 of full light in every channel.
    for (QPoint p : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 15)}) {
        EXPECT_NEAR(qRed(got.pixel(p)), 195, 2);
        EXPECT_NEAR(qGreen(got.pixel(p)), 195, 2);
        EXPECT_NEAR(qBlue(got.pixel(p)), 195, 2);
    }
    // Its pixels said to lie beyond the end of the file: damaged.
    std::string lost = cmyk16;
    auto u16 = [&](std::size_t at) { return std::uint8_t(lost[at]) | std::uint8_t(lost[at + 1]) << 8; };
    const std::size_t ifd = std::uint8_t(lost[4]) | std::uint8_t(lost[5]) << 8 | std::uint8_t(lost[6]) << 16;
    bool patched = false;
    for (std::size_t e = ifd + 2; e + 12 <= lost.size() && e < ifd + 2 + 12 * u16(ifd); e += 12)
        if (u16(e) == 273) {  // StripOffsets, one strip: the value inline
            lost.replace(e + 8, 4, std::string("\xF0\xFF\xFF\x7F", 4));
            patched = true;
        }
    ASSERT_TRUE(patched);
    EXPECT_EQ(ReadTIFF(Write("lost.tif", lost), 24, 0, got, nullptr), kErrDamaged);
    EXPECT_TRUE(got.isNull());
}

TEST_F(Codecs, ReadersRefuseOtherKindsMissingFilesAndBadDepths) {
    const std::string bmp = Write("a.bmp", fixtures::MakeBmp(fixtures::Pattern(8, 8, 16), 4));
    QImage img;
    EXPECT_EQ(ReadPNG(bmp, 24, 0, img, nullptr), kErrWrongKind);
    EXPECT_EQ(ReadBMP((dir_ / "none.bmp").string(), 24, 0, img, nullptr), kErrCannotOpen);
    EXPECT_EQ(ReadBMP(bmp, 3, 0, img, nullptr), kErrBadArgument);
    EXPECT_TRUE(img.isNull());
}

TEST_F(Codecs, HugeDimensionsAreRefusedBeforeAnyAllocation) {
    std::string bmp = fixtures::MakeBmp(fixtures::Pattern(8, 8, 2), 1);
    bmp[22] = bmp[23] = bmp[24] = static_cast<char>(0xFF);
    bmp[25] = 0x7F;  // height 0x7FFFFFFF
    QImage img;
    EXPECT_EQ(ReadBMP(Write("tall.bmp", bmp), 24, 0, img, nullptr), kErrTooLarge);
    std::string negative = fixtures::MakeBmp(fixtures::Pattern(8, 8, 2), 1);
    negative[22] = negative[23] = negative[24] = 0;
    negative[25] = static_cast<char>(0x80);  // height INT_MIN
    EXPECT_LT(ReadBMP(Write("min.bmp", negative), 24, 0, img, nullptr), 1);
}

int calls = 0;
std::int32_t StopAtOnce(std::int32_t) { return ++calls, 0; }
std::int32_t GoOn(std::int32_t) { return ++calls, 1; }

TEST_F(Codecs, TheCallbackSeesProgressAndCanStop) {
    const std::string pcx = Write("p.pcx", fixtures::MakePcx(fixtures::Pattern(40, 40, 0), 24));
    QImage img;
    calls = 0;
    EXPECT_EQ(ReadPCX(pcx, 24, 0, img, GoOn), kImagingOk);
    EXPECT_GE(calls, 3);
    calls = 0;
    EXPECT_EQ(ReadPCX(pcx, 24, 0, img, StopAtOnce), kErrStopped);
    EXPECT_TRUE(img.isNull());
    EXPECT_EQ(calls, 1);
}

TEST_F(Codecs, GifRoundTripsPixelEqualUpTo256Colours) {
    for (int colors : {2, 16, 256}) {
        SCOPED_TRACE(colors);
        const QImage want = fixtures::Pattern(50, 31, colors);
        const std::string file = (dir_ / "out.gif").string();
        ASSERT_EQ(WriteGIF(file, 8, want, nullptr), kImagingOk);
        QImage got;
        ASSERT_EQ(ReadGIF(file, 24, 0, got, nullptr), kImagingOk);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_EQ(MaxDifference(got, want), 0);
    }
}

TEST_F(Codecs, GifWriterIsDeterministicAndReducesRichPictures) {
    const QImage photo = fixtures::Pattern(120, 90, 0);
    std::int16_t c1 = 0, c2 = 0;
    const std::string a = EncodeGif(photo, 8, c1), b = EncodeGif(photo, 8, c2);
    ASSERT_EQ(c1, kImagingOk);
    EXPECT_EQ(a, b);
    const std::string file = Write("photo.gif", a);
    QImage got;
    ASSERT_EQ(ReadGIF(file, 24, 0, got, nullptr), kImagingOk);
    EXPECT_LE(fixtures::PaletteOf(got).size(), 256u);
    EXPECT_LE(MaxDifference(got, photo), 48);  // median cut keeps every colour near
    // Fewer bits, fewer colours.
    ASSERT_EQ(WriteGIF(file, 4, photo, nullptr), kImagingOk);
    ASSERT_EQ(ReadGIF(file, 24, 0, got, nullptr), kImagingOk);
    EXPECT_LE(fixtures::PaletteOf(got).size(), 16u);
}

TEST_F(Codecs, GifWriterFailuresLeaveNoFileBehind) {
    QImage img;
    EXPECT_EQ(WriteGIF((dir_ / "empty.gif").string(), 8, img, nullptr), kErrEmptyPicture);
    EXPECT_EQ(WriteGIF((dir_ / "no" / "such" / "x.gif").string(), 8, fixtures::Pattern(4, 4, 2), nullptr),
              kErrCannotWrite);
    calls = 0;
    EXPECT_EQ(WriteGIF((dir_ / "stopped.gif").string(), 8, fixtures::Pattern(40, 40, 16), StopAtOnce), kErrStopped);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(Codecs, ReductionKeepsToTheAskedColours) {
    const QImage photo = fixtures::Pattern(64, 64, 0);
    for (auto [bits, most] : {std::pair{1, 2}, {4, 16}, {0, 16}, {8, 256}}) {
        for (bool dither : {false, true}) {
            const QImage r = ReduceColors(photo, bits, dither);
            EXPECT_LE(static_cast<int>(fixtures::PaletteOf(r).size()), most) << bits << dither;
        }
    }
    const QImage mono = ReduceColors(photo, 1, false);
    for (QRgb c : fixtures::PaletteOf(mono)) EXPECT_TRUE(c == qRgb(0, 0, 0) || c == qRgb(255, 255, 255));
}

TEST_F(Codecs, InfoReportsTypeNumbersAndStorage) {
    struct Want {
        std::string bytes;
        const char* type;
        std::int16_t numbers[5];
        const char* second;
    };
    std::int16_t code = 0;
    const Want wants[] = {
        {fixtures::MakeBmp(fixtures::Pattern(30, 20, 16), 4), "BMP", {30, 20, 4, 16, 96}, "None"},
        {EncodeGif(fixtures::Pattern(30, 20, 16), 8, code, nullptr, true), "GIF", {30, 20, 4, 16, 0}, "GIF87a LZW interlaced"},
        {fixtures::MakePcx(fixtures::Pattern(30, 20, 0), 24), "PCX", {30, 20, 24, 0, 72}, "RLE"},
        {fixtures::MakeTiff(fixtures::Pattern(30, 20, 0)), "TIF", {30, 20, 24, 0, 0}, "LZW"},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.type);
        std::string type, second;
        std::int16_t n[5];
        ASSERT_EQ(ImageInfo(Write("info.pic", w.bytes), type, n, second), kImagingOk);
        EXPECT_EQ(type, w.type);
        EXPECT_EQ(second, w.second);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(n[i], w.numbers[i]) << i;
    }
}

TEST_F(Codecs, ErrorCodesNameStringsAsUnsigned16BitIds) {
    EXPECT_EQ(ImagingErrorText(65531), ImagingErrorText(static_cast<std::uint16_t>(kErrTooLarge)));
    EXPECT_EQ(ImagingErrorText(65531), "The picture is too large.");
    for (std::int16_t code = -9; code <= -1; ++code) EXPECT_FALSE(ImagingErrorText(static_cast<std::uint16_t>(code)).empty());
    EXPECT_EQ(ImagingErrorText(0), "");
}

TEST(DibColorInfoTest, HeaderFixtures) {
    struct Row {
        const char* name;
        std::uint32_t headerSize;
        int bits;
        std::uint32_t used;
        std::size_t size;
        int colors;
        std::size_t offset;
    };
    const Row rows[] = {
        {"core 8 bits", 12, 8, 0, 12 + 768, 256, 12 + 768},
        {"core 24 bits", 12, 24, 0, 12, 0, 12},
        {"core 16 bits", 12, 16, 0, 12, 0, 0},
        {"info 4 bits", 40, 4, 0, 40 + 64, 16, 40 + 64},
        {"info 8 bits, 5 used", 40, 8, 5, 40 + 20, 5, 40 + 20},
        {"info 24 bits", 40, 24, 0, 40, 0, 40},
        {"info 24 bits, 2 used", 40, 24, 2, 40 + 8, 2, 48},
        {"table beyond the data", 40, 8, 0, 40 + 100, 0, 0},
        {"too many used", 40, 8, 0x7FFFFFFF, 4000, 0, 0},
        {"header beyond the data", 124, 8, 0, 40, 0, 0},
        {"short header", 8, 8, 0, 40, 0, 0},
    };
    for (const Row& r : rows) {
        std::vector<std::uint8_t> h(std::max<std::size_t>(r.size, 40));
        auto put = [&](std::size_t at, std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put(0, r.headerSize, 4);
        if (r.headerSize == 12) put(10, static_cast<std::uint32_t>(r.bits), 2);
        else {
            put(14, static_cast<std::uint32_t>(r.bits), 2);
            put(32, r.used, 4);
        }
        int colors = -1;
        std::size_t offset = 99;
        DibColorInfo(h.data(), r.size, colors, offset);
        EXPECT_EQ(colors, r.colors) << r.name;
        EXPECT_EQ(offset, r.offset) << r.name;
    }
}

}  // namespace
}  // namespace imaging
