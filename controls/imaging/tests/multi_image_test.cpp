// The picture control: its status for every kind of name, the paint modes,
// the text effects' stepping, the clipboard keys and GIF writing, including
// the export's load-then-save sequence that must never write a stale picture.

#include "controls/imaging/multi_image.h"

#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/program_resources.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/imaging/codecs.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "tests/support/test_support.h"

#include <filesystem>

namespace controls {
namespace {

using namespace gui;

class MultiImage : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        image = new TPMultiImage(form);
        image->SetParent(form);
        image->SetBounds(0, 0, 200, 200);
        form->Show();
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        testsupport::WriteFileBytes(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    std::string Path(const std::string& name) { return (dir_ / name).string(); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& r : dialogs_.Requests()) t.push_back(r.text);
        return t;
    }
    // A small metafile: a black rectangle over its whole 40 x 20 area.
    static std::string Metafile() {
        fixtures::WmfBuilder w(40, 20);
        w.Pen(5, 0, 0).Brush(0, 0xFF000000).Select(0).Select(1).Rectangle(0, 0, 40, 20);
        return w.Bytes();
    }
    TPMultiImage* image = nullptr;
    testsupport::TempDir dir_;
    ScriptedDialogService dialogs_;
    ScopedDialogService scope_{dialogs_};
};

TEST_F(MultiImage, StatusForEveryKindOfName) {
    const QImage pic = fixtures::Pattern(30, 20, 16);
    std::int16_t code;
    struct Row {
        std::string name;
        std::string bytes;
        std::string status;  // empty: the upper-cased name
        bool picture;
    };
    const Row rows[] = {
        {"a.bmp", fixtures::MakeBmp(pic, 8), "", true},
        {"a.png", fixtures::MakeQt(pic, "PNG"), "", true},
        {"a.gif", imaging::EncodeGif(pic, 8, code), "", true},
        {"a.tif", fixtures::MakeTiff(pic), "", true},
        {"a.pcx", fixtures::MakePcx(pic, 8), "", true},
        {"a.jpg", fixtures::MakeQt(pic, "JPEG"), "", true},
        {"a.thb", fixtures::MakeBmp(pic, 24), "", true},
        {"a.wmf", Metafile(), "Non TIF, JPeg, BMP, GIF, PNG or PCX Image", true},
        {"a.ico", fixtures::MakeQt(pic, "ICO"), "Non TIF, JPeg, BMP, GIF, PNG or PCX Image", true},
        {"a.scm", "/sm|Hello/eo|", "", false},
        {"PICTURE.JPEG", fixtures::MakeQt(pic, "JPEG"), "", false},
        {"a.xyz", fixtures::MakeBmp(pic, 8), "", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        image->SetImageName(Path("a.bmp"));  // a picture to replace
        const std::string file = Write(r.name, r.bytes);
        image->SetImageName(file);
        const std::string want = r.status.empty() ? plat::AnsiUpperCase(file) : r.status;
        EXPECT_EQ(image->ImageName(), want);
        EXPECT_EQ(!image->Picture().Empty(), r.picture);
    }
    EXPECT_TRUE(dialogs_.Requests().empty()) << Texts().front();
    image->SetImageName(Path("missing.bmp"));
    EXPECT_EQ(image->ImageName(), "file not found");
    EXPECT_TRUE(image->Picture().Empty());
    // A form file that holds the last status clears the picture on loading.
    image->SetImageName(Path("a.bmp"));
    image->SetImageName("file not found");
    EXPECT_TRUE(image->Picture().Empty());
}

TEST_F(MultiImage, ReadingTheNameReadsTheFileAgain) {
    const std::string file = Write("again.bmp", fixtures::MakeBmp(fixtures::Pattern(10, 10, 2), 1));
    image->SetImageName(file);
    EXPECT_EQ(image->Picture().Width(), 10);
    Write("again.bmp", fixtures::MakeBmp(fixtures::Pattern(17, 5, 2), 1));
    image->ImageName();
    EXPECT_EQ(image->Picture().Width(), 17);
    EXPECT_EQ(image->ImageInfo().width, 17);
    EXPECT_EQ(image->ImageInfo().type, "BMP");
}

TEST_F(MultiImage, ReaderFailureShowsTwoBoxesAndLeavesNoPicture) {
    std::string bmp = fixtures::MakeBmp(fixtures::Pattern(30, 20, 16), 8);
    image->SetImageName(Write("cut.bmp", bmp.substr(0, bmp.size() - 10)));
    EXPECT_TRUE(image->Picture().Empty());
    ASSERT_EQ(dialogs_.Requests().size(), 2u);
    EXPECT_EQ(Texts()[0], "The picture file is damaged or incomplete.");
    EXPECT_EQ(dialogs_.Requests()[0].icon, DialogIcon::Error);
    EXPECT_EQ(Texts()[1], "Reading bmp file failed");
    EXPECT_EQ(dialogs_.Requests()[1].icon, DialogIcon::Information);
}

TEST_F(MultiImage, ResourceNamesLoadTheProgramsBitmaps) {
    TBitmap logo(8, 3);
    RegisterBitmapResource("LOGO", logo);
    image->SetImageName("D:\\ANY\\LOGO.RES");
    EXPECT_EQ(image->Picture().Width(), 8);
    EXPECT_EQ(image->ImageInfo().type, "RES");
    EXPECT_TRUE(dialogs_.Requests().empty());
    image->SetImageName("D:\\ANY\\NOLOGO.RES");
    ASSERT_EQ(dialogs_.Requests().size(), 1u);
    EXPECT_EQ(Texts()[0], "Reading resource file failed");
    UnregisterResource(RT_BITMAP, "LOGO");
}

TEST_F(MultiImage, PropertyRules) {
    image->SetStretch(true);
    image->SetStretchRatio(true);
    EXPECT_TRUE(image->StretchRatio());
    EXPECT_FALSE(image->Stretch());
    image->SetStretch(true);
    EXPECT_FALSE(image->StretchRatio());
    image->SetJPegSaveQuality(0);
    EXPECT_EQ(image->JPegSaveQuality(), 25);
    image->SetJPegSaveQuality(80);
    EXPECT_EQ(image->JPegSaveQuality(), 80);
    image->SetJPegSaveSmooth(101);
    EXPECT_EQ(image->JPegSaveSmooth(), 5);
    EXPECT_EQ(image->Width(), 200);
    TPMultiImage fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 105);
    EXPECT_EQ(fresh.Color(), clBtnFace);
    EXPECT_TRUE(fresh.PictavoPalette());
    // A control on no form (the export keeps one hidden) loads and writes too.
    fresh.SetImageName(Write("f.bmp", fixtures::MakeBmp(fixtures::Pattern(7, 5, 16), 4)));
    EXPECT_EQ(fresh.Picture().Width(), 7);
    EXPECT_TRUE(fresh.SaveGifFile(Path("f.gif")));
}

TEST_F(MultiImage, StretchRatioScalesByTheSmallerFactorAndCentres) {
    EXPECT_EQ(StretchRatioRect(100, 50, 200, 200), Bounds(0, 50, 200, 100));
    EXPECT_EQ(StretchRatioRect(50, 100, 200, 200), Bounds(50, 0, 100, 200));
    EXPECT_EQ(StretchRatioRect(0, 50, 200, 200), Rect(0, 0, 200, 200));
    QImage red(100, 50, QImage::Format_RGB32);
    red.fill(Qt::red);
    image->SetImageName(Write("red.bmp", fixtures::MakeBmp(red, 24)));
    image->SetStretchRatio(true);
    TBitmap shot;
    guitest::Grab(image, shot);
    EXPECT_EQ(shot.Canvas().Pixel(100, 45), ColorToRGB(clBtnFace));
    EXPECT_EQ(shot.Canvas().Pixel(100, 55), clRed);
    EXPECT_EQ(shot.Canvas().Pixel(100, 145), clRed);
    EXPECT_EQ(shot.Canvas().Pixel(100, 155), ColorToRGB(clBtnFace));
    EXPECT_EQ(shot.Canvas().Pixel(2, 100), clRed);  // the full width
}

TEST_F(MultiImage, PaintModesPlacePictureAndOverlayText) {
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    image->SetImageName(Write("red.bmp", fixtures::MakeBmp(red, 24)));
    TBitmap shot;
    guitest::Grab(image, shot);
    EXPECT_EQ(shot.Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(shot.Canvas().Pixel(100, 100), ColorToRGB(clBtnFace));
    image->SetCenter(true);
    guitest::Grab(image, shot);
    EXPECT_EQ(shot.Canvas().Pixel(5, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(shot.Canvas().Pixel(100, 100), clRed);
    image->SetStretch(true);
    guitest::Grab(image, shot);
    EXPECT_EQ(shot.Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(shot.Canvas().Pixel(195, 195), clRed);
    // The overlay text, with its shadow two pixels down and right.
    image->SetStretch(false);
    image->SetCenter(false);
    image->Font().SetColor(clWhite);
    image->Font().SetHeight(-30);
    image->SetTextShadow(true);
    image->TextShadowColor = clBlue;
    image->SetTextLeft(50);
    image->SetTextTop(100);
    image->SetText("HH");
    guitest::Grab(image, shot);
    int white = 0, blue = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 50; x < 110; ++x) {
            white += shot.Canvas().Pixel(x, y) == clWhite;
            blue += shot.Canvas().Pixel(x, y) == clBlue;
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(blue, 20);
}

TEST_F(MultiImage, AtSpeedOneTheMessageStepsOnEverySecondMessage) {
    image->SetImageName(Write("m.scm", "/fc|255/fh|-16/fn|Arial/fs|/ft|1000/bc|0/sp|1/sm|Moving text/eo|"));
    ASSERT_TRUE(image->ScrollingActive());
    EXPECT_EQ(image->Color(), 0);  // the effect's background
    const int x0 = image->EffectPosition().x;
    EXPECT_EQ(x0, 200);
    std::vector<int> xs;
    for (int i = 0; i < 6; ++i) {
        image->Perform(WM_SCROLLSTEP, 0, 0);
        xs.push_back(image->EffectPosition().x);
    }
    EXPECT_EQ(xs, (std::vector<int>{200, 199, 199, 198, 198, 197}));
    // A new load leaves the effect and gives the colour back.
    image->SetImageName(Path("none.bmp"));
    image->SetImageName(Write("b.bmp", fixtures::MakeBmp(fixtures::Pattern(5, 5, 2), 1)));
    EXPECT_FALSE(image->ScrollingActive());
    EXPECT_EQ(image->Color(), clBtnFace);
}

TEST_F(MultiImage, CreditsRollLineByLine) {
    image->SetImageName(Write("c.cms", "Roll\n0\n-12\nArial\n9\n0000\n16777215\n0\nOne\nTwo\n"));
    ASSERT_TRUE(image->CreditsActive());
    EXPECT_EQ(image->CreditLineIndex(), 0);
    EXPECT_EQ(image->EffectPosition().y, 200);
    // The owner drives the effect with posted messages.
    PostCreditsStep(image);
    PostScrollStep(image);  // no scrolling message runs: no effect
    guitest::ProcessEvents();
    EXPECT_EQ(image->EffectPosition().y, 199);
    // Speed 0: every message is a step; the line leaves the top, the next starts below.
    int steps = 0;
    while (image->CreditLineIndex() == 0 && steps < 1000) {
        image->Perform(WM_CREDITSSTEP, 0, 0);
        ++steps;
    }
    EXPECT_EQ(image->CreditLineIndex(), 1);
    EXPECT_GT(steps, 200);
    EXPECT_EQ(image->EffectPosition().y, 200);  // the next line starts below the view
    EXPECT_GT(steps, 190);
}

TEST_F(MultiImage, ClipboardKeysCopyCutAndPaste) {
    MemoryClipboardBackend memory;
    SetClipboardBackend(&memory);
    image->SetImageName(Write("p.bmp", fixtures::MakeBmp(fixtures::Pattern(12, 9, 16), 8)));
    image->SetTabStop(true);
    image->SetFocus();
    guitest::SendKey(image, VK_INSERT, ssCtrl);  // copy
    EXPECT_TRUE(Clipboard()->HasFormat(CF_DIB));
    guitest::SendKey(image, VK_DELETE, ssShift);  // cut
    EXPECT_TRUE(image->Picture().Empty());
    guitest::SendKey(image, VK_INSERT, ssShift);  // paste
    EXPECT_EQ(image->Picture().Width(), 12);
    char ctrlX = 24, ctrlV = 22;
    image->Perform(WM_CHAR, static_cast<WPARAM>(ctrlX), 0);
    EXPECT_TRUE(image->Picture().Empty());
    image->Perform(WM_CHAR, static_cast<WPARAM>(ctrlV), 0);
    EXPECT_EQ(image->Picture().Height(), 9);
    image->Perform(WM_CUT, 0, 0);
    EXPECT_TRUE(image->Picture().Empty());
    image->Perform(WM_PASTE, 0, 0);
    EXPECT_FALSE(image->Picture().Empty());
    SetClipboardBackend(nullptr);
}

TEST_F(MultiImage, SaveGifFileRoundTripsAndFailsVisibly) {
    const QImage pic = fixtures::Pattern(33, 21, 256);
    image->SetImageName(Write("p.bmp", fixtures::MakeBmp(pic, 8)));
    ASSERT_TRUE(image->SaveGifFile(Path("out.gif")));
    EXPECT_EQ(image->DefSaveFilename, Path("out.gif"));
    QImage back;
    ASSERT_EQ(imaging::ReadGIF(Path("out.gif"), 24, 0, back, nullptr), imaging::kImagingOk);
    ASSERT_EQ(back.size(), pic.size());
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) ASSERT_EQ(back.pixel(x, y), pic.pixel(x, y));
    // Empty name: the last target again.
    std::filesystem::remove(Path("out.gif"));
    EXPECT_TRUE(image->SaveGifFile(""));
    EXPECT_TRUE(std::filesystem::exists(Path("out.gif")));
    EXPECT_TRUE(dialogs_.Requests().empty());

    EXPECT_FALSE(image->SaveGifFile(Path("no/such/folder/x.gif")));
    EXPECT_EQ(Texts().back(), "Writing gif file failed");
    image->Picture().SetGraphic(nullptr);
    dialogs_.Clear();
    EXPECT_FALSE(image->SaveGifFile(Path("empty.gif")));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"There is no picture to write.", "Writing gif file failed"}));
    EXPECT_FALSE(std::filesystem::exists(Path("empty.gif")));
}

TEST_F(MultiImage, ExportNeverWritesAStalePicture) {
    // The export sets a page's picture, then writes it: a page whose picture
    // cannot be read must not get the previous page's picture.
    const std::string good = Write("one.bmp", fixtures::MakeBmp(fixtures::Pattern(20, 20, 16), 8));
    std::string bmp = fixtures::MakeBmp(fixtures::Pattern(20, 20, 16), 8);
    const std::string damaged = Write("two.bmp", bmp.substr(0, 100));
    const std::string unknown = Write("three.xyz", bmp);
    const std::string names[] = {damaged, unknown, Path("missing.bmp"), Write("four.jpeg", bmp)};
    for (const std::string& next : names) {
        SCOPED_TRACE(next);
        image->SetImageName(good);
        ASSERT_TRUE(image->SaveGifFile(Path("page1.gif")));
        image->SetImageName(next);
        EXPECT_FALSE(image->SaveGifFile(Path("page2.gif")));
        EXPECT_FALSE(std::filesystem::exists(Path("page2.gif")));
        EXPECT_EQ(Texts().back(), "Writing gif file failed");
    }
    // A metafile page is written as it is drawn.
    image->SetImageName(Write("m.wmf", Metafile()));
    ASSERT_TRUE(image->SaveGifFile(Path("page3.gif")));
    QImage back;
    ASSERT_EQ(imaging::ReadGIF(Path("page3.gif"), 24, 0, back, nullptr), imaging::kImagingOk);
    EXPECT_EQ(back.size(), QSize(40, 20));
    EXPECT_EQ(back.pixel(20, 10), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace controls
