#include <gtest/gtest.h>

#include "platform/gdi/fake_device.h"

namespace plat {
namespace {

TEST(FakeDevice, MetricsFollowPointSizeAndFontResolution) {
    struct Case { int points, ppi; bool bold; int height, ascent, width; };
    const Case cases[] = {
        {10, 72, false, 10, 8, 5},
        {10, 96, false, 13, 11, 6},
        {10, 96, true, 13, 11, 7},
        {12, 144, false, 24, 20, 12},
        {1, 72, false, 1, 1, 1},  // never zero
    };
    for (const auto& c : cases) {
        TFakeDevice d(96, 96);
        d.SetFontPixelsPerInch(c.ppi);
        d.SelectFont({"Arial", c.points, c.bold});
        TTextMetric tm;
        ASSERT_TRUE(d.GetTextMetrics(tm));
        EXPECT_EQ(tm.height, c.height) << c.points << "pt@" << c.ppi;
        EXPECT_EQ(tm.ascent, c.ascent) << c.points << "pt@" << c.ppi;
        std::array<std::int32_t, 256> w{};
        d.GetCharWidths(w);
        EXPECT_EQ(w['x'], c.width);
        EXPECT_EQ(d.TextExtent("abc").cx, 3 * c.width);
    }
}

TEST(FakeDevice, CanRefuseMetrics) {
    TFakeDevice d;
    d.failMetrics = true;
    TTextMetric tm;
    EXPECT_FALSE(d.GetTextMetrics(tm));
}

TEST(RecordingDevice, LogsDrawCallsWithSpacingAndFilter) {
    TRecordingDevice d(72, 72);
    d.SetBkColor(RGB(255, 0, 0));
    TRect r{10, 2, 25, 12};
    int dx[] = {5, 5, 6};
    d.ExtTextOut(10, 10, &r, true, false, "abc", dx);
    d.FillRect({0, 0, 4, 4}, RGB(0, 0, 255));
    d.Line(1, 2, 3, 4);
    d.ScrollDC(0, -8, {0, 0, 100, 50});
    ASSERT_EQ(d.log.size(), 5u);
    EXPECT_EQ(d.log[0], "bkcolor 0000FF");  // COLORREF is 0x00BBGGRR
    EXPECT_EQ(d.log[1], "text 10,10 'abc' dx=5,5,6 opaque 0000FF [10,2,25,12]");
    EXPECT_EQ(d.log[2], "fill [0,0,4,4] FF0000");
    EXPECT_EQ(d.log[3], "line 1,2 3,4");
    EXPECT_EQ(d.log[4], "scroll 0,-8 [0,0,100,50]");
    EXPECT_EQ(d.Calls("text").size(), 1u);

    d.Clear();
    d.filter = {"text"};
    d.FillRect({0, 0, 1, 1}, 0);
    d.ExtTextOut(0, 0, nullptr, false, false, "z", nullptr);
    ASSERT_EQ(d.log.size(), 1u);
    EXPECT_EQ(d.log[0], "text 0,0 'z'");
}

}  // namespace
}  // namespace plat
