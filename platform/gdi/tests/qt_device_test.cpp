#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include "platform/gdi/qt_device.h"
#include "platform/imaging/graphic.h"

namespace plat {
namespace {

// One application for the whole run, freed at its end so leak checks stay quiet.
class QtApp : public ::testing::Environment {
public:
    void TearDown() override {
        delete QGuiApplication::instance();
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtApp);

void EnsureApp() {
    static int argc = 1;
    static char name[] = "platform_gdi_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

int DarkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
}

TEST(QtDevice, TextLandsWhereItIsDrawnAndFillsUseColorref) {
    EnsureApp();
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        TQtDevice d(&img, 96, 96);
        d.SelectFont({"Sans", 14});
        TTextMetric tm;
        ASSERT_TRUE(d.GetTextMetrics(tm));
        EXPECT_GT(tm.height, 10);
        std::array<std::int32_t, 256> w{};
        d.GetCharWidths(w);
        EXPECT_GT(w['W'], 0);
        d.SetTextColor(RGB(0, 0, 0));
        d.ExtTextOut(10, 10 + tm.ascent, nullptr, false, false, "HHH\xC4", nullptr);
        d.FillRect({150, 10, 160, 20}, RGB(255, 0, 0));
    }
    EXPECT_GT(DarkPixels(img, QRect(8, 8, 70, 30)), 20);
    EXPECT_EQ(DarkPixels(img, QRect(100, 40, 40, 19)), 0);
    EXPECT_EQ(QColor(img.pixel(155, 15)), QColor(255, 0, 0));
}

TEST(QtDevice, ScrollMovesPixels) {
    EnsureApp();
    QImage img(50, 50, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        TQtDevice d(&img, 96, 96);
        d.FillRect({0, 20, 10, 30}, RGB(0, 0, 0));
        d.ScrollDC(0, -10, {0, 0, 50, 50});
    }
    EXPECT_EQ(qGray(img.pixel(5, 15)), 0);
}

// A metafile object in rich text plays its records into the picture's frame.
TEST(QtDevice, MetafilePicturesPlayIntoTheirRectangle) {
    EnsureApp();
    std::string m;
    auto put16 = [&](int v) {
        m += static_cast<char>(v & 0xFF);
        m += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](unsigned v) {
        put16(static_cast<int>(v & 0xFFFF));
        put16(static_cast<int>(v >> 16));
    };
    put32(kPlaceableMetafileKey);
    put16(0), put16(0), put16(0), put16(10), put16(10), put16(96), put32(0), put16(0);
    put16(1), put16(9), put16(0x300), put32(9 + 7 + 4 + 7 + 3), put16(1), put32(7), put16(0);
    put32(7), put16(0x02FC), put16(0), put16(0), put16(0), put16(0);  // black brush
    put32(4), put16(0x012D), put16(0);
    put32(7), put16(0x041B), put16(10), put16(5), put16(0), put16(0);  // left half
    put32(3), put16(0);
    TRawGraphic pic(TGraphicKind::Metafile, m, 10, 10);
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        TQtDevice d(&img, 96, 96);
        d.StretchPicture({0, 0, 40, 40}, &pic);
    }
    EXPECT_EQ(qGray(img.pixel(10, 20)), 0);
    EXPECT_EQ(qGray(img.pixel(30, 20)), 255);
}

}  // namespace
}  // namespace plat
