// The metafile player on metafiles built record by record: shapes, text and
// pictures land where their logical coordinates map, and malformed records
// stop the play without reading past them.

#include "platform/imaging/codecs.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "platform/imaging/wmf_reader.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace imaging {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFFFF0000;

// Pixels that are not white inside r.
int Inked(const QImage& img, QRect r) {
    int n = 0;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += img.pixel(x, y) != kWhite;
    return n;
}

fixtures::WmfBuilder RectangleAndText() {
    fixtures::WmfBuilder w(100, 100);
    w.Pen(0, 1, kBlack).Brush(0, kRed).Font(-16, "Arial", 700);
    w.Select(0).Select(1).Select(2);
    w.Rectangle(10, 10, 50, 40);
    w.BkMode(1).TextColor(kBlack).TextOut(60, 60, "Hi");
    return w;
}

TEST(WmfReader, RectangleAndTextLandOnTheirPixels) {
    TMetafilePlay play;
    const QImage img = RenderMetafile(RectangleAndText().Bytes(), {}, kWhite, {}, &play);
    ASSERT_EQ(img.size(), QSize(100, 100));
    EXPECT_TRUE(play.complete);
    // The outline covers columns 10..49 and rows 10..39, the brush the inside.
    EXPECT_EQ(img.pixel(10, 20), kBlack);
    EXPECT_EQ(img.pixel(49, 20), kBlack);
    EXPECT_EQ(img.pixel(30, 10), kBlack);
    EXPECT_EQ(img.pixel(30, 39), kBlack);
    EXPECT_EQ(img.pixel(30, 25), kRed);
    EXPECT_EQ(img.pixel(9, 20), kWhite);
    EXPECT_EQ(img.pixel(50, 20), kWhite);
    EXPECT_EQ(img.pixel(30, 40), kWhite);
    // The text hangs from its top-left corner at (60, 60), transparent.
    EXPECT_GT(Inked(img, QRect(60, 60, 30, 20)), 10);
    EXPECT_EQ(Inked(img, QRect(0, 45, 58, 55)), 0);
    EXPECT_EQ(Inked(img, QRect(55, 0, 45, 58)), 0);
}

TEST(WmfReader, WindowOriginAndExtentMapOntoTheTarget) {
    // Logical units of 1/1000 inch, the window moved and scaled by records.
    fixtures::WmfBuilder w(1000, 1000, 1000);
    w.SetWindowOrg(-500, -500).SetWindowExt(2000, 2000);
    w.Pen(5, 0, 0).Brush(0, kRed).Select(0).Select(1);
    w.Rectangle(500, 500, 1500, 1500);  // the lower-right quarter of the window
    const QImage img = RenderMetafile(w.Bytes(), QSize(200, 200));
    EXPECT_EQ(img.pixel(150, 150), kRed);
    EXPECT_EQ(img.pixel(101, 101), kRed);
    EXPECT_EQ(img.pixel(98, 98), kWhite);
    EXPECT_EQ(img.pixel(50, 150), kWhite);
    EXPECT_EQ(MetafileSize(w.Bytes()), QSize(96, 96));
}

TEST(WmfReader, DibRecordsDrawTheirPixels) {
    QImage dib(4, 2, QImage::Format_RGB32);
    dib.fill(kRed);
    dib.setPixel(0, 0, qRgb(0, 0, 255));  // top-left blue
    fixtures::WmfBuilder w(40, 20);
    w.StretchDib(0, 0, 40, 20, fixtures::PackedDib(fixtures::MakeBmp(dib, 24)));
    const QImage img = RenderMetafile(w.Bytes());
    EXPECT_EQ(img.pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(30, 15), kRed);
}

TEST(WmfReader, PlainMetafilesTakeTheirWindowFromTheRecords) {
    fixtures::WmfBuilder w(0, 0, 0, false);
    w.SetWindowOrg(0, 0).SetWindowExt(50, 25);
    w.Pen(5, 0, 0).Brush(0, kBlack).Select(0).Select(1).Rectangle(0, 0, 25, 25);
    EXPECT_EQ(MetafileSize(w.Bytes()), QSize(50, 25));
    const QImage img = RenderMetafile(w.Bytes(), QSize(100, 50));
    EXPECT_EQ(img.pixel(10, 10), kBlack);
    EXPECT_EQ(img.pixel(60, 10), kWhite);
}

TEST(WmfReader, SavedStatesBringBackClipAndObjects) {
    fixtures::WmfBuilder w(40, 40);
    w.Pen(5, 0, 0).Brush(0, kRed).Brush(0, kBlack).Select(0).Select(1);
    w.Record(0x001E, {});                   // save: red brush, no clip
    w.Select(2);
    w.Record(0x0416, {20, 20, 0, 0});      // clip to the top-left quarter
    w.Record(0x001E, {});                   // save again
    w.Record(0x0127, {1});                  // back to the first save (absolute)
    w.Rectangle(0, 0, 40, 20);              // red, unclipped
    w.Record(0x0416, {40, 40, 20, 20});    // clip to the bottom-right quarter
    w.Record(0x0538, {2, 4, 4, 20, 20, 30, 20, 30, 30, 20, 30, 30, 30, 40, 30, 40, 40, 30, 40});
    const QImage img = RenderMetafile(w.Bytes());
    EXPECT_EQ(img.pixel(30, 10), kRed);   // the rectangle beyond the first clip
    EXPECT_EQ(img.pixel(25, 25), kRed);   // first polygon of the poly-polygon
    EXPECT_EQ(img.pixel(35, 35), kRed);   // second one
    EXPECT_EQ(img.pixel(35, 25), kWhite);
    EXPECT_EQ(img.pixel(10, 30), kWhite);
}

TEST(WmfReader, MalformedInputStopsThePlayWithoutReadingPastIt) {
    const std::string good = RectangleAndText().Bytes();
    struct Bad {
        const char* name;
        std::string bytes;
    };
    std::string hugeRecord = fixtures::WmfBuilder(10, 10).Bytes(false);
    hugeRecord += std::string("\xFF\xFF\xFF\x0F\x1B\x04", 6);  // a record far longer than the file
    std::string tinyRecord = fixtures::WmfBuilder(10, 10).Bytes(false);
    tinyRecord += std::string("\x01\x00\x00\x00\x1B\x04", 6);  // shorter than its own header
    std::string shortPolygon = fixtures::WmfBuilder(10, 10).Record(0x0324, {1000, 1, 1}).Bytes();
    std::string shortText = fixtures::WmfBuilder(10, 10).Record(0x0521, {500}, "ab").Bytes();
    const Bad bads[] = {
        {"no end record", good.substr(0, good.size() - 6)},
        {"cut inside a record", good.substr(0, good.size() - 9)},
        {"record longer than the file", hugeRecord},
        {"record shorter than its header", tinyRecord},
        {"polygon with more points than bytes", shortPolygon},
        {"text longer than its record", shortText},
    };
    for (const Bad& b : bads) {
        TMetafilePlay play;
        QImage img(20, 20, QImage::Format_RGB32);
        QPainter p(&img);
        EXPECT_FALSE(DrawMetafile(p, QRectF(0, 0, 20, 20), b.bytes, {}, &play)) << b.name;
        EXPECT_FALSE(play.complete) << b.name;
    }
    QImage img(10, 10, QImage::Format_RGB32);
    QPainter p(&img);
    EXPECT_FALSE(DrawMetafile(p, QRectF(0, 0, 10, 10), "not a metafile at all"));
    EXPECT_FALSE(DrawMetafile(p, QRectF(0, 0, 10, 10), ""));
}

TEST(WmfReader, ObjectsBeyondTheTableAndUnknownRecordsAreIgnored) {
    fixtures::WmfBuilder w(20, 20);
    w.Brush(0, kRed).Select(7).Select(0).Record(0x0626, {1, 2, 3});  // escape: skipped
    w.Pen(5, 0, 0);  // table of 1 entry is full: this pen is not created
    w.Select(1).Rectangle(0, 0, 20, 20);
    w.objects = 1;
    TMetafilePlay play;
    const QImage img = RenderMetafile(w.Bytes(), {}, kWhite, {}, &play);
    EXPECT_TRUE(play.complete);
    EXPECT_EQ(play.skipped, 1);
    EXPECT_EQ(img.pixel(10, 10), kRed);
}

}  // namespace
}  // namespace imaging
