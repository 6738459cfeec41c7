// The text engine's device over a canvas: it measures exactly as the canvas
// does (one font-name mapping, one set of metrics) on a bitmap and on a
// printer's page, draws at the engine's baseline, and keeps the canvas's own
// clip and state.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gdi/picture_render.h"
#include "platform/gui/canvas_device.h"
#include "platform/gui/printer.h"
#include "platform/imaging/graphic.h"
#include "tests/support/test_support.h"

#include <QBuffer>
#include <QImage>

namespace guitest {
namespace {

using namespace gui;

const char* const kFonts[] = {"MS Sans Serif", "Arial", "Courier New", "Times New Roman"};
const char kSample[] = "The quick brown fox jumps over the lazy dog 0123456789 \xC4\xE9\xDF";

// Widths of the sample on the canvas and through a device over it, for
// every font at a few sizes and styles.
void ExpectSameWidths(TCanvas& canvas, int ppi) {
    canvas.Font().PixelsPerInch = ppi;
    for (const char* name : kFonts) {
        for (int points : {8, 10, 12}) {
            for (bool bold : {false, true}) {
                canvas.Font().SetName(name);
                canvas.Font().SetSize(points);
                canvas.Font().SetStyle(bold ? fsBold : 0);
                int onCanvas = canvas.TextWidth(kSample);
                int height = canvas.TextHeight(kSample);
                int charW[256];
                canvas.GetCharWidths(0, 255, charW);
                TCanvasDevice dev(canvas);
                dev.SelectFont({name, points, bold});
                plat::TSize ext = dev.TextExtent(kSample);
                EXPECT_EQ(ext.cx, onCanvas) << name << " " << points << (bold ? " bold" : "");
                EXPECT_EQ(ext.cy, height) << name << " " << points;
                std::array<std::int32_t, 256> w{};
                dev.GetCharWidths(w);
                EXPECT_EQ(w['W'], charW['W']) << name;
                EXPECT_EQ(w[0xC4], charW[0xC4]) << name;
            }
        }
    }
}

TEST(CanvasDevice, MeasuresAsTheCanvasDoesOnABitmapAndOnAPrintersPage) {
    InitApplication();
    TBitmap bmp(50, 50);
    ExpectSameWidths(bmp.Canvas(), kScreenPixelsPerInch);
    {
        TCanvasDevice dev(bmp.Canvas());
        EXPECT_EQ(dev.Technology(), plat::DT_RASDISPLAY);
        EXPECT_EQ(dev.LogPixelsY(), kScreenPixelsPerInch);
    }

    TPrinter printer;
    printer.SetResolution(300);
    testsupport::TempDir tmp;
    printer.OutputFileName = (tmp / "widths.pdf").string();
    printer.BeginDoc();
    {
        TCanvasDevice dev(printer.Canvas());
        EXPECT_EQ(dev.Technology(), plat::DT_RASPRINTER);
        EXPECT_EQ(dev.LogPixelsX(), 300);
    }
    ExpectSameWidths(printer.Canvas(), 300);
    printer.EndDoc();
}

TEST(CanvasDevice, WindowsNamesOfOneFamilyMeasureAlike) {
    // "MS Sans Serif" and "Arial" stand for the same installed family, so
    // the engine must not measure one in another family than the canvas.
    InitApplication();
    TBitmap bmp(50, 50);
    TCanvasDevice dev(bmp.Canvas());
    dev.SelectFont({"MS Sans Serif", 10});
    int msSans = dev.TextExtent(kSample).cx;
    dev.SelectFont({"Arial", 10});
    EXPECT_EQ(dev.TextExtent(kSample).cx, msSans);
}

int DarkPixels(TBitmap& b, const TRect& r) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) n += qGray(static_cast<QRgb>(ColorToRGB(b.Canvas().Pixel(x, y)))) < 128;
    return n;
}

TEST(CanvasDevice, TextSitsOnTheBaselineAndOnlyOpaqueTextFillsItsBox) {
    InitApplication();
    TBitmap bmp(200, 80);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 200, 80));
    {
        TCanvasDevice dev(bmp.Canvas());
        dev.SelectFont({"Arial", 14});
        plat::TTextMetric tm;
        ASSERT_TRUE(dev.GetTextMetrics(tm));
        EXPECT_EQ(tm.height, tm.ascent + tm.descent);
        dev.SetTextColor(plat::RGB(0, 0, 0));
        dev.SetBkColor(plat::RGB(0, 0, 128));
        // Capitals on a baseline at y = 30 reach up, never below it.
        dev.ExtTextOut(10, 30, nullptr, false, false, "HHH", nullptr);
        // Transparent text inside a box leaves the box as it was.
        plat::TRect box{100, 5, 190, 35};
        dev.ExtTextOut(100, 30, &box, false, true, "HHH", nullptr);
        plat::TRect opaque{100, 45, 190, 75};
        dev.ExtTextOut(100, 70, &opaque, true, true, "HHH", nullptr);
        dev.FillRect({5, 60, 15, 70}, plat::RGB(255, 0, 0));
    }
    EXPECT_GT(DarkPixels(bmp, Rect(8, 30 - 16, 60, 30)), 20);
    EXPECT_EQ(DarkPixels(bmp, Rect(8, 31, 60, 44)), 0);
    EXPECT_EQ(bmp.Canvas().Pixel(180, 10), clWhite);
    EXPECT_EQ(bmp.Canvas().Pixel(180, 50), clNavy);
    EXPECT_EQ(bmp.Canvas().Pixel(10, 65), clRed);
}

TEST(CanvasDevice, TheBaselineFollowsEveryChangeOfFont) {
    // Each case draws small text first, then changes the font (or its
    // resolution) and draws capitals on a baseline at y = 90: they must
    // reach well up from it and never cross below it.
    struct Case {
        const char* what;
        plat::TFontSpec next;
        int ppi;  // 0: the canvas's own
    } cases[] = {
        {"a larger font", {"Arial", 40}, 0},
        {"a bold face", {"Times New Roman", 36, true}, 0},
        {"a higher resolution", {"Arial", 8}, 400},
    };
    InitApplication();
    for (const Case& c : cases) {
        TBitmap bmp(300, 120);
        bmp.Canvas().Brush().SetColor(clWhite);
        bmp.Canvas().FillRect(Rect(0, 0, 300, 120));
        {
            TCanvasDevice dev(bmp.Canvas());
            dev.SetTextColor(plat::RGB(0, 0, 0));
            dev.SelectFont({"Arial", 8});
            dev.ExtTextOut(200, 20, nullptr, false, false, "H", nullptr);
            if (c.ppi) dev.SetFontPixelsPerInch(c.ppi);
            dev.SelectFont(c.next);
            dev.ExtTextOut(10, 90, nullptr, false, false, "HH", nullptr);
        }
        EXPECT_GT(DarkPixels(bmp, Rect(8, 90 - 30, 150, 90 - 20)), 20) << c.what;
        EXPECT_EQ(DarkPixels(bmp, Rect(8, 91, 150, 120)), 0) << c.what;
    }
}

TEST(CanvasDevice, ClipNarrowsTheCanvasClipAndStateComesBack) {
    InitApplication();
    QImage img(100, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    TCanvas c;
    // The canvas stands for a control being painted at 20..80 of a shared buffer.
    c.Bind(&img, {}, Rect(20, 20, 80, 80));
    c.Font().SetName("Courier New");
    c.Font().SetColor(clGreen);
    c.Brush().SetColor(clYellow);
    {
        TCanvasDevice dev(c);
        dev.SelectFont({"Arial", 12, true});
        plat::TRect wide{0, 0, 50, 50};
        dev.SetClipRect(&wide);
        dev.FillRect({0, 0, 100, 100}, plat::RGB(0, 0, 0));
        plat::TRect outside{0, 0, 10, 10};
        dev.SetClipRect(&outside);
        dev.FillRect({0, 0, 100, 100}, plat::RGB(0, 0, 255));
        dev.SetClipRect(nullptr);
        dev.FillRect({60, 60, 100, 100}, plat::RGB(255, 0, 0));
    }
    EXPECT_EQ(c.Pixel(10, 10), clWhite);  // outside the canvas's clip
    EXPECT_EQ(c.Pixel(30, 30), clBlack);
    EXPECT_EQ(c.Pixel(55, 30), clWhite);  // outside the device's clip
    EXPECT_EQ(c.Pixel(70, 70), clRed);
    EXPECT_EQ(c.Pixel(90, 90), clWhite);  // the canvas's clip came back, not none
    EXPECT_EQ(c.ClipRect(), Rect(20, 20, 80, 80));
    EXPECT_EQ(c.Font().Name(), "Courier New");
    EXPECT_EQ(c.Font().Style(), 0u);
    EXPECT_EQ(c.Font().Color(), clGreen);
    EXPECT_EQ(c.Brush().Color(), clYellow);
    EXPECT_EQ(c.Brush().Style(), bsSolid);
}

TEST(CanvasDevice, TheEnginesFontHoldsWhenOthersDrawOnTheCanvasBetweenItsCalls) {
    InitApplication();
    TBitmap bmp(50, 50);
    TCanvasDevice dev(bmp.Canvas());
    dev.SelectFont({"Courier New", 20});
    int wide = dev.TextExtent("iiii").cx;
    bmp.Canvas().Font().SetName("Arial");
    bmp.Canvas().Font().SetSize(8);
    EXPECT_EQ(dev.TextExtent("iiii").cx, wide);
}

TEST(CanvasDevice, ScrollMovesPixelsAndPicturesAreDrawn) {
    InitApplication();
    TBitmap bmp(60, 60);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 60, 60));
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    red.save(&buf, "BMP");
    plat::TRawGraphic picture(plat::TGraphicKind::Dib, png.toStdString(), 4, 4);
    plat::TRawGraphic garbage(plat::TGraphicKind::Dib, "BM not a bitmap", 4, 4);
    // A device-dependent monochrome bitmap, 8 x 2, all bits 0 (black), and a
    // metafile drawn by an installed reader.
    plat::TRawGraphic ddb(plat::TGraphicKind::Bitmap, std::string(4, '\0'), 8, 2, plat::TBitmapGeometry{1, 1, 2});
    plat::TRawGraphic wmf(plat::TGraphicKind::Metafile, std::string(40, '\0'), 4, 4);
    plat::SetMetafileRenderer([](const std::string&, int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::blue);
        return img;
    });
    {
        TCanvasDevice dev(bmp.Canvas());
        dev.FillRect({0, 20, 10, 30}, plat::RGB(0, 0, 0));
        dev.ScrollDC(0, -10, {0, 0, 60, 60});
        dev.StretchPicture({40, 40, 56, 56}, &picture);
        dev.StretchPicture({20, 40, 30, 50}, &garbage);
        dev.StretchPicture({40, 2, 56, 10}, &ddb);
        dev.StretchPicture({20, 2, 30, 12}, &wmf);
    }
    plat::SetMetafileRenderer(nullptr);
    EXPECT_EQ(bmp.Canvas().Pixel(5, 15), clBlack);
    EXPECT_EQ(bmp.Canvas().Pixel(5, 25), clWhite);
    EXPECT_EQ(bmp.Canvas().Pixel(48, 48), clRed);
    EXPECT_EQ(bmp.Canvas().Pixel(48, 6), clBlack);
    EXPECT_EQ(bmp.Canvas().Pixel(25, 7), clBlue);
    EXPECT_EQ(bmp.Canvas().Pixel(35, 7), clWhite);  // nothing outside it
    // An undecodable picture shows its frame and nothing inside.
    EXPECT_EQ(bmp.Canvas().Pixel(20, 45), clGray);
    EXPECT_EQ(bmp.Canvas().Pixel(25, 45), clWhite);
}

// A metafile object in rich text plays its records into the picture's frame.
TEST(CanvasDevice, MetafilePicturesPlayIntoTheirRectangle) {
    InitApplication();
    std::string m;
    auto put16 = [&](int v) {
        m += static_cast<char>(v & 0xFF);
        m += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](unsigned v) {
        put16(static_cast<int>(v & 0xFFFF));
        put16(static_cast<int>(v >> 16));
    };
    put32(plat::kPlaceableMetafileKey);
    put16(0), put16(0), put16(0), put16(10), put16(10), put16(96), put32(0), put16(0);
    put16(1), put16(9), put16(0x300), put32(9 + 7 + 4 + 7 + 3), put16(1), put32(7), put16(0);
    put32(7), put16(0x02FC), put16(0), put16(0), put16(0), put16(0);  // black brush
    put32(4), put16(0x012D), put16(0);
    put32(7), put16(0x041B), put16(10), put16(5), put16(0), put16(0);  // left half
    put32(3), put16(0);
    plat::TRawGraphic pic(plat::TGraphicKind::Metafile, m, 10, 10);
    TBitmap bmp(40, 40);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 40, 40));
    {
        TCanvasDevice d(bmp.Canvas());
        d.StretchPicture({0, 0, 40, 40}, &pic);
    }
    EXPECT_EQ(bmp.Canvas().Pixel(10, 20), clBlack);
    EXPECT_EQ(bmp.Canvas().Pixel(30, 20), clWhite);
}

}  // namespace
}  // namespace guitest
