// The shared routines of the imaging unit: the media filter from WIN.INI,
// the two text-effect formats, base names, colour depths, resource bitmaps,
// error texts and the wrappers' handling of failures.

#include "controls/imaging/imaging_lib.h"

#include "platform/core/exceptions.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/graphics.h"
#include "platform/gui/program_resources.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace controls {
namespace {

using namespace gui;

class ImagingLib : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDataHome((dir_ / "home").string()); }
    void TearDown() override { plat::SetDataHome(""); }
    std::string Write(const std::string& name, const std::string& bytes) {
        testsupport::WriteFileBytes(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    testsupport::TempDir dir_;
    ScriptedDialogService dialogs_;
    ScopedDialogService scope_{dialogs_};
};

const char* const kPictures = "All Media|*.BMP;*.CMS;*.GIF;*.JPG;*.PCX;*.PNG;*.SCM;*.TIF;";
const char* const kSingles = "|BMP|*.BMP|CMS|*.CMS|GIF|*.GIF|JPG|*.JPG|PCX|*.PCX|PNG|*.PNG|RTF|*.RTF|SCM|*.SCM|TIF|*.TIF";

TEST_F(ImagingLib, MediaFilterListsOnlyRegisteredMedia) {
    EXPECT_EQ(BuildMediaFilter(), std::string(kPictures) + kSingles);
    plat::WriteProfileString("mci extensions", "WAV", "waveaudio");
    EXPECT_EQ(BuildMediaFilter(), std::string(kPictures) + "*.WAV;" + kSingles + "|Wav|*.WAV");
    plat::WriteProfileString("mci extensions", "AVI", "avivideo");
    plat::WriteProfileString("mci extensions", "MID", "sequencer");
    EXPECT_EQ(BuildMediaFilter(),
              std::string(kPictures) + "*.WAV;*.MID;*.AVI;" + kSingles + "|Wav|*.WAV|Mid|*.MID|AVI|*.AVI");
    plat::WriteProfileString("mci extensions", "WAV", "none");
    plat::WriteProfileString("mci extensions", "AVI", "");
    plat::WriteProfileString("mci extensions", "MID", "none");
    EXPECT_FALSE(HasMciExtension("WAV"));
    EXPECT_EQ(BuildMediaFilter().find("WAV"), std::string::npos);
}

TEST_F(ImagingLib, ScrollMessageTagsGiveValuesDefaultsOrNoChange) {
    TFont font;
    font.SetColor(clGreen);
    font.SetHeight(-30);
    font.SetName("Courier New");
    font.SetSize(20);
    int speed = 7;
    TColor back = clYellow;
    std::string text = "old";
    const int size = font.Size(), height = font.Height();
    ApplyScrollMessageText("/fc|/fh|/fn|/fs|/ft|0100/bc|/sp|/sm|Hello/eo|", font, speed, back, text);
    EXPECT_EQ(font.Color(), clGreen);
    EXPECT_EQ(font.Height(), height);
    EXPECT_EQ(font.Name(), "Courier New");
    EXPECT_EQ(font.Size(), size);
    EXPECT_EQ(font.Style(), fsItalic);
    EXPECT_EQ(back, clYellow);
    EXPECT_EQ(speed, 7);
    EXPECT_EQ(text, "Hello");

    ApplyScrollMessageText("no tags at all", font, speed, back, text);
    EXPECT_EQ(font.Color(), 255);
    EXPECT_EQ(font.Height(), -13);
    EXPECT_EQ(font.Name(), "SYSTEM");
    EXPECT_EQ(font.Style(), fsBold);
    EXPECT_EQ(back, 128);
    EXPECT_EQ(speed, 1);
    EXPECT_EQ(text, " Invallid message format ! ");

    // A tag at the very start counts; a short style value leaves the rest off.
    ApplyScrollMessageText("/fc|4660/fh|-20/fn|Arial/fs|/ft|11/bc|99/sp|3/sm| Hi /eo|", font, speed, back, text);
    EXPECT_EQ(font.Color(), 4660);
    EXPECT_EQ(font.Height(), -20);
    EXPECT_EQ(font.Name(), "Arial");
    EXPECT_EQ(font.Style(), fsBold | fsItalic);
    EXPECT_EQ(back, 99);
    EXPECT_EQ(speed, 3);
    EXPECT_EQ(text, " Hi ");

    EXPECT_THROW(ApplyScrollMessageText("/sp|fast/sm|", font, speed, back, text), plat::EConvertError);
}

TEST_F(ImagingLib, ExtractBetweenTagsSearchesBothTagsFromTheStart) {
    std::string v = "x";
    EXPECT_TRUE(ExtractBetweenTags(v, "/a|1/b|", "/a|", "/b|"));
    EXPECT_EQ(v, "1");
    EXPECT_TRUE(ExtractBetweenTags(v, "/b|/a|late", "/a|", "/b|"));  // end before start: empty
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ExtractBetweenTags(v, "/a|1", "/a|", "/b|"));
    EXPECT_FALSE(ExtractBetweenTags(v, "1/b|", "/a|", "/b|"));
}

TEST_F(ImagingLib, ScrollMessageFileMissingChangesNothing) {
    TFont font;
    font.SetName("Arial");
    int speed = 4;
    TColor back = 5;
    std::string text = "kept";
    EXPECT_FALSE(ReadScrollMessageFile((dir_ / "none.scm").string(), font, speed, back, text));
    EXPECT_EQ(font.Name(), "Arial");
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(ReadScrollMessageFile(Write("m.scm", "/sm|From file/eo|"), font, speed, back, text));
    EXPECT_EQ(text, "From file");
}

TEST_F(ImagingLib, CreditsFileIsReadWhole) {
    std::string body = "Title\r\n65280\r\n-16\r\nArial\r\n12\r\n0110\r\n255\r\n2\r\n";
    // Far more than the 65,526 bytes an older reader stopped at.
    for (int i = 0; i < 4000; ++i) body += "Credit line number " + std::to_string(i) + "\r\n";
    ASSERT_GT(body.size(), 65526u);
    TFont font;
    int speed = 0;
    TColor back = 0;
    plat::StringList lines;
    lines.Add("stale");
    ASSERT_TRUE(ReadCreditsFile(Write("c.cms", body), font, speed, back, lines));
    EXPECT_EQ(font.Color(), 65280);
    EXPECT_EQ(font.Name(), "Arial");
    EXPECT_EQ(font.Size(), 12);
    EXPECT_EQ(font.Style(), fsItalic | fsUnderline);
    EXPECT_EQ(back, 255);
    EXPECT_EQ(speed, 2);
    ASSERT_EQ(lines.Count(), 4000);
    EXPECT_EQ(lines[0], "Credit line number 0");
    EXPECT_EQ(lines[3999], "Credit line number 3999");

    EXPECT_FALSE(ReadCreditsFile((dir_ / "none.cms").string(), font, speed, back, lines));
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_THROW(ReadCreditsFile(Write("bad.cms", "T\r\nred\r\n"), font, speed, back, lines), plat::EConvertError);
}

TEST(ImagingRoutines, ExtractBaseName) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\PICS\\LOGO.A.RES", "LOGO"}, {"D:/any/where/12.res", "12"}, {"C:LOGO.RES", "LOGO"},
        {"plain", "plain"}, {"dir\\.hidden", ""}, {"", ""},
    };
    for (auto [in, want] : cases) EXPECT_EQ(ExtractBaseName(in), want) << in;
    EXPECT_EQ(ExtractBaseName(std::string(70, 'a') + ".res"), std::string(64, 'a'));
}

TEST(ImagingRoutines, ScreenColorBits) {
    const std::pair<int, int> cases[] = {{1, 4}, {4, 4}, {5, 8}, {7, 8}, {8, 8}, {9, 8}, {15, 8}, {16, 24}, {24, 24}, {32, 24}};
    for (auto [bpp, want] : cases) EXPECT_EQ(ScreenColorBits(bpp), want) << bpp;
    EXPECT_EQ(LoadResolutionBits(lColor16, nullptr), 4);
    EXPECT_EQ(LoadResolutionBits(lAutoMatic, nullptr), 24);
}

TEST_F(ImagingLib, ErrorBoxesShowTheLibrarysTextByUnsigned16BitId) {
    ShowImagingError(-5);
    ASSERT_EQ(dialogs_.Requests().size(), 1u);
    EXPECT_EQ(dialogs_.Last().text, LoadImagingString(ImagingDllHandle(), 65531));
    EXPECT_EQ(dialogs_.Last().text, "The picture is too large.");
    EXPECT_EQ(dialogs_.Last().icon, DialogIcon::Error);
    ShowImagingError(0);
    EXPECT_EQ(dialogs_.Last().text, "");
    EXPECT_EQ(LoadImagingString(HInstance(), 65531), "");  // the program's module has no such texts
}

TEST_F(ImagingLib, AFailedReadLeavesTheBitmapEmptyAfterOneErrorBox) {
    TBitmap bmp(10, 10);
    std::string good = fixtures::MakeBmp(fixtures::Pattern(9, 7, 16), 4);
    EXPECT_FALSE(DllReadBMP(Write("cut.bmp", good.substr(0, good.size() / 2)), 24, true, bmp, nullptr));
    EXPECT_TRUE(bmp.Empty());
    ASSERT_EQ(dialogs_.Requests().size(), 1u);
    EXPECT_EQ(dialogs_.Last().text, "The picture file is damaged or incomplete.");
    EXPECT_TRUE(DllReadBMP(Write("good.bmp", good), 24, true, bmp, nullptr));
    EXPECT_EQ(bmp.Width(), 9);
    std::string type, second;
    int n[5];
    EXPECT_TRUE(DllImageInfo((dir_ / "good.bmp").string(), type, n, second));
    EXPECT_EQ(type, "BMP");
    EXPECT_EQ(n[0], 9);
    EXPECT_EQ(n[2], 4);
}

TEST_F(ImagingLib, ResourceBitmapsComeOnlyFromTheProgramsModule) {
    TBitmap logo(6, 4);
    logo.Canvas().Brush().SetColor(clRed);
    logo.Canvas().FillRect(Rect(0, 0, 6, 4));
    RegisterBitmapResource("LOGO", logo);
    RegisterBitmapResource("12", logo);
    TBitmap out;
    EXPECT_TRUE(ReadResourceBitmap("", "logo", 0, out));
    EXPECT_EQ(out.Width(), 6);
    EXPECT_EQ(out.Canvas().Pixel(2, 2), clRed);
    EXPECT_TRUE(ReadResourceBitmap("", "012", 0, out));
    EXPECT_TRUE(ReadResourceBitmap(ProgramModuleName() + ".exe", "LOGO", 0, out));
    EXPECT_FALSE(ReadResourceBitmap("OTHER.DLL", "LOGO", 0, out));
    EXPECT_FALSE(ReadResourceBitmap("", "MISSING", 0, out));
    RegisterResource(RT_BITMAP, "BROKEN", std::string("\x28\0\0\0", 4));
    EXPECT_FALSE(ReadResourceBitmap("", "BROKEN", 0, out));
    EXPECT_TRUE(dialogs_.Requests().empty());
    UnregisterResource(RT_BITMAP, "LOGO");
    UnregisterResource(RT_BITMAP, "12");
    UnregisterResource(RT_BITMAP, "BROKEN");
}

}  // namespace
}  // namespace controls
