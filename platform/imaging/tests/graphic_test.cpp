#include "platform/imaging/graphic.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "tests/support/test_support.h"

namespace {

// A 14-byte file header and a 40-byte info header of w x h at `bits` per
// pixel, followed by `rowBytes` bytes of pixel rows (-1: as many as the rows need).
std::string TinyBmp(std::int32_t w, std::int32_t h, int bits = 1, long rowBytes = -1, std::uint32_t compression = 0) {
    std::string b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    b[26] = 1;  // planes
    b[28] = static_cast<char>(bits);
    put32(30, compression);
    if (rowBytes < 0) rowBytes = static_cast<long>((static_cast<long>(w) * bits + 31) / 32 * 4 * std::abs(static_cast<long>(h)));
    b.resize(b.size() + static_cast<std::size_t>(rowBytes), '\0');
    put32(2, static_cast<std::uint32_t>(b.size()));
    return b;
}

TEST(Graphic, RecognisesKindsAndSizes) {
    std::string bmp = TinyBmp(30, -20);
    EXPECT_EQ(plat::GuessGraphicKind(bmp), plat::TGraphicKind::Dib);
    std::int32_t w, h;
    plat::GraphicSizeFromBytes(plat::TGraphicKind::Dib, bmp, w, h);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);  // top-down rows still give a positive height

    // Placeable metafile: key, handle, box (0,0)-(100,50).
    std::string wmf = {'\xD7', '\xCD', '\xC6', '\x9A', 0, 0, 0, 0, 0, 0, 100, 0, 50, 0};
    wmf.resize(30, '\0');
    EXPECT_EQ(plat::GuessGraphicKind(wmf), plat::TGraphicKind::Metafile);
    plat::GraphicSizeFromBytes(plat::TGraphicKind::Metafile, wmf, w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);

    EXPECT_EQ(plat::GuessGraphicKind("\x89PNG\r\n"), plat::TGraphicKind::Unknown);
    EXPECT_EQ(plat::GuessGraphicKind("BM"), plat::TGraphicKind::Unknown);  // too short to be a bitmap
}

TEST(Graphic, BitmapHeadersThatDisagreeWithTheirBytesHaveNoSize) {
    struct Case {
        const char* what;
        std::string bytes;
        std::int32_t w, h;
    };
    std::string shortInfo = TinyBmp(4, 4);
    shortInfo.resize(14 + 30);  // the info header runs past the end
    std::string hugeInfo = TinyBmp(4, 4);
    hugeInfo[14] = static_cast<char>(200);  // no info header is this long
    std::string core(14 + 12 + 8, '\0');  // OS/2 core header: 16-bit unsigned sizes
    core[0] = 'B', core[1] = 'M', core[14] = 12, core[18] = 2, core[20] = 2, core[22] = 1, core[24] = 1;
    std::string coreWide = core;
    coreWide[18] = coreWide[19] = static_cast<char>(0xFF);  // 65535 wide: rows not there
    const Case cases[] = {
        {"valid, bottom-up", TinyBmp(30, 20), 30, 20},
        {"valid, top-down", TinyBmp(30, -20, 24), 30, 20},
        {"valid core header", core, 2, 2},
        {"height INT_MIN", TinyBmp(1, INT32_MIN, 1, 0), 0, 0},
        {"width 0xFFFFFFF0", TinyBmp(static_cast<std::int32_t>(0xFFFFFFF0u), 1, 1, 0), 0, 0},
        {"zero width", TinyBmp(0, 5, 1, 0), 0, 0},
        {"zero height", TinyBmp(5, 0, 1, 0), 0, 0},
        {"rows missing", TinyBmp(30, 20, 24, 100), 0, 0},
        {"huge rows missing", TinyBmp(0x7FFFFFFF, 0x7FFFFFFF, 32, 8), 0, 0},
        {"no such bit depth", TinyBmp(4, 4, 7), 0, 0},
        {"run-length with wrong depth", TinyBmp(4, 4, 24, 8, 1), 0, 0},
        {"run-length, plausible", TinyBmp(64, 64, 8, 10, 1), 64, 64},
        {"run-length, absurd", TinyBmp(1000000, 1000000, 8, 10, 1), 0, 0},
        {"unknown compression", TinyBmp(4, 4, 8, 64, 77), 0, 0},
        {"info header cut short", shortInfo, 0, 0},
        {"info header too long", hugeInfo, 0, 0},
        {"core header, rows missing", coreWide, 0, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(plat::GuessGraphicKind(c.bytes), plat::TGraphicKind::Dib) << c.what;
        std::int32_t w = -1, h = -1;
        plat::GraphicSizeFromBytes(plat::TGraphicKind::Dib, c.bytes, w, h);
        EXPECT_EQ(w, c.w) << c.what;
        EXPECT_EQ(h, c.h) << c.what;
    }
    // An inverted metafile box has no size either.
    std::string wmf = {'\xD7', '\xCD', '\xC6', '\x9A', 0, 0, 100, 0, 0, 0, 10, 0, 50, 0};
    wmf.resize(30, '\0');
    std::int32_t w = -1, h = -1;
    plat::GraphicSizeFromBytes(plat::TGraphicKind::Metafile, wmf, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(Graphic, LoadsCorpusBitmapAndRefusesMissingFile) {
    TAVRIN_REQUIRE_CORPUS();
    auto g = plat::LoadGraphicFile(testsupport::CorpusFile("hpj/ddablib-dropfiles/TPJDropFiles.bmp"));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Kind(), plat::TGraphicKind::Dib);
    EXPECT_EQ(g->Width(), 30);
    EXPECT_EQ(g->Height(), 30);
    EXPECT_EQ(g->Bytes().size(), 598u);
    testsupport::TempDir dir;
    EXPECT_EQ(plat::LoadGraphicFile(dir / "missing.bmp"), nullptr);
    EXPECT_EQ(plat::LoadGraphicFile(dir.path()), nullptr);  // a folder is no picture
}

}  // namespace
