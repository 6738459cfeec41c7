// Metafiles in pictures: ".wmf" files load as metafiles, draw at any size
// through their records, copy and save; the program's bitmap resources.
#include "gui_fixture.h"

#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/gui/metafile.h"
#include "platform/gui/program_resources.h"
#include "tests/support/test_support.h"

namespace guitest {
namespace {

using namespace gui;

void Put16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, unsigned v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}

// A placeable metafile of 40 x 20 units at 96 per inch: a red brush and a
// rectangle over its left half.
std::string RedHalf() {
    std::string records;
    auto rec = [&](int fn, std::initializer_list<int> words) {
        Put32(records, static_cast<unsigned>(3 + words.size()));
        Put16(records, fn);
        for (int w : words) Put16(records, w);
    };
    rec(0x02FC, {0, 0x00FF, 0x0000, 0});  // solid red brush
    rec(0x02FA, {5, 0, 0, 0, 0});          // null pen
    rec(0x012D, {0});
    rec(0x012D, {1});
    rec(0x041B, {20, 20, 0, 0});  // bottom, right, top, left
    rec(0x0000, {});
    std::string s;
    Put32(s, 0x9AC6CDD7u);
    Put16(s, 0);
    Put16(s, 0), Put16(s, 0), Put16(s, 40), Put16(s, 20);
    Put16(s, 96);
    Put32(s, 0);
    Put16(s, 0);  // checksum, not checked
    Put16(s, 1), Put16(s, 9), Put16(s, 0x300);
    Put32(s, static_cast<unsigned>(9 + records.size() / 2));
    Put16(s, 2);
    Put32(s, 8);
    Put16(s, 0);
    return s + records;
}

TEST(Metafile, PicturesLoadWmfFilesAsMetafilesThatDrawAtAnySize) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "half.WMF", RedHalf());
    TPicture pic;
    pic.LoadFromFile((dir / "half.WMF").string());
    ASSERT_NE(dynamic_cast<TMetafile*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.Width(), 40);
    EXPECT_EQ(pic.Height(), 20);
    // Drawn four times as large, the records play at that size.
    TBitmap bmp(160, 80);
    bmp.Canvas().StretchDraw(Rect(0, 0, 160, 80), pic.Graphic());
    EXPECT_EQ(bmp.Canvas().Pixel(70, 40), clRed);
    EXPECT_EQ(bmp.Canvas().Pixel(90, 40), clWhite);
    TPicture copy;
    copy.Assign(pic);
    EXPECT_EQ(dynamic_cast<TMetafile*>(copy.Graphic())->Bytes(), RedHalf());
    copy.SaveToFile((dir / "copy.wmf").string());
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "copy.wmf"), RedHalf());

    testsupport::WriteFileBytes(dir / "bad.wmf", "not a metafile");
    EXPECT_THROW(pic.LoadFromFile((dir / "bad.wmf").string()), plat::EReadError);
    EXPECT_NE(dynamic_cast<TMetafile*>(pic.Graphic()), nullptr);  // unchanged
}

TEST(ProgramResources, OnlyTheProgramsOwnModuleHasResources) {
    SetProgramModuleName("Tavrin");
    EXPECT_EQ(GetModuleHandle(""), HInstance());
    EXPECT_EQ(GetModuleHandle("TAVRIN.EXE"), HInstance());
    EXPECT_EQ(GetModuleHandle("tavrin"), HInstance());
    EXPECT_EQ(GetModuleHandle("other.dll"), 0u);
    RegisterResource(RT_BITMAP, "Glyph", "abc");
    RegisterResource(RT_STRING, "61262", "text");
    ASSERT_NE(FindResource(HInstance(), "GLYPH", RT_BITMAP), nullptr);
    EXPECT_EQ(*FindResource(HInstance(), "glyph", RT_BITMAP), "abc");
    EXPECT_EQ(FindResource(HInstance(), "GLYPH", RT_STRING), nullptr);
    EXPECT_EQ(FindResource(0, "GLYPH", RT_BITMAP), nullptr);
    EXPECT_EQ(LoadResString(61262), "text");
    UnregisterResource(RT_BITMAP, "glyph");
    EXPECT_EQ(FindResource(HInstance(), "GLYPH", RT_BITMAP), nullptr);
    UnregisterResource(RT_STRING, "61262");
    SetProgramModuleName("");
}

}  // namespace
}  // namespace guitest
