#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <QImage>

#include "platform/gdi/qt_device.h"

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
    // Started from a shell without a display: offscreen unless one is chosen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
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

}  // namespace
}  // namespace plat
