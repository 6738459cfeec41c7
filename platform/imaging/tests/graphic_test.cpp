#include "platform/imaging/graphic.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

// Builds a 14-byte file header plus a 40-byte info header of w x h.
std::string TinyBmp(std::int32_t w, std::int32_t h) {
    std::string b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
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
