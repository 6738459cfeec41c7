// The date controls load their glyphs through the program's one bitmap
// loader: the same answer for every case, and a failed load leaves the
// picture it was given as it was.
#include "controls/dates/pick_date.h"

#include "platform/gui/program_resources.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace gui;

namespace {

class ResourceBitmaps : public guitest::GuiTest {};

TEST_F(ResourceBitmaps, EveryRoadLoadsAlikeAndAFailureTouchesNothing) {
    TBitmap three(3, 2);
    three.Canvas().Brush().SetColor(clRed);
    three.Canvas().FillRect(Rect(0, 0, 3, 2));
    three.Canvas().SetPixel(2, 1, clBlue);
    RegisterBitmapResource("TESTBMP_GOOD", three);
    // A header that promises a picture the bytes do not hold.
    RegisterResource(RT_BITMAP, "TESTBMP_JUNK", std::string("\x28\0\0\0\xff\xff\0\0", 8) + std::string(40, '\x7f'));
    RegisterResource(RT_BITMAP, "TESTBMP_TINY", "\x28");

    struct Case {
        const char* name;
        bool loads;
        int width, height;
    };
    const Case cases[] = {
        {"TESTBMP_GOOD", true, 3, 2}, {"testbmp_good", true, 3, 2}, {"DEDITBMP", true, 32, 16},
        {"TESTBMP_NONE", false, 0, 0}, {"TESTBMP_JUNK", false, 0, 0}, {"TESTBMP_TINY", false, 0, 0},
    };
    const std::pair<const char*, std::function<bool(const std::string&, TBitmap&)>> roads[] = {
        {"platform", [](const std::string& n, TBitmap& b) { return LoadBitmapResource(HInstance(), n, b); }},
        {"date controls", [](const std::string& n, TBitmap& b) { return zb::LoadResourceBitmap(n, b); }},
    };
    zb::RegisterDateResources();
    for (const Case& c : cases) {
        for (const auto& [road, load] : roads) {
            TBitmap into(5, 5);
            into.Canvas().Brush().SetColor(clGreen);
            into.Canvas().FillRect(Rect(0, 0, 5, 5));
            bool loaded = false;
            EXPECT_NO_THROW(loaded = load(c.name, into)) << road << " " << c.name;
            EXPECT_EQ(loaded, c.loads) << road << " " << c.name;
            if (c.loads) {
                if (c.width == 3) {
                    EXPECT_EQ(into.Width(), 3) << road;
                    EXPECT_EQ(into.Height(), 2) << road;
                    EXPECT_EQ(into.Canvas().Pixel(0, 0), clRed) << road;
                    EXPECT_EQ(into.Canvas().Pixel(2, 1), clBlue) << road;
                } else {
                    EXPECT_FALSE(into.Empty()) << road << " " << c.name;
                }
            } else {
                EXPECT_EQ(into.Width(), 5) << road << " " << c.name;
                EXPECT_EQ(into.Canvas().Pixel(1, 1), clGreen) << road << " " << c.name;
            }
        }
    }
    UnregisterResource(RT_BITMAP, "TESTBMP_GOOD");
    UnregisterResource(RT_BITMAP, "TESTBMP_JUNK");
    UnregisterResource(RT_BITMAP, "TESTBMP_TINY");
}

}  // namespace
