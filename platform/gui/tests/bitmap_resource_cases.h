// The cases every road that loads a program bitmap must answer alike: a
// registered picture (by its name in any case), a missing name, bytes that
// are no picture, a resource too short to be one. A failed load leaves the
// picture it was given as it was.
#pragma once

#include "platform/gui/graphics.h"
#include "platform/gui/program_resources.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace guitest {

inline void ExpectBitmapRoadLoadsAlike(const char* road,
                                       const std::function<bool(const std::string&, gui::TBitmap&)>& load) {
    using namespace gui;
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
    };
    const Case cases[] = {{"TESTBMP_GOOD", true},  {"testbmp_good", true},  {"TESTBMP_NONE", false},
                          {"TESTBMP_JUNK", false}, {"TESTBMP_TINY", false}};
    for (const Case& c : cases) {
        TBitmap into(5, 5);
        into.Canvas().Brush().SetColor(clGreen);
        into.Canvas().FillRect(Rect(0, 0, 5, 5));
        bool loaded = false;
        EXPECT_NO_THROW(loaded = load(c.name, into)) << road << " " << c.name;
        EXPECT_EQ(loaded, c.loads) << road << " " << c.name;
        if (c.loads) {
            EXPECT_EQ(into.Width(), 3) << road << " " << c.name;
            EXPECT_EQ(into.Height(), 2) << road << " " << c.name;
            EXPECT_EQ(into.Canvas().Pixel(0, 0), clRed) << road << " " << c.name;
            EXPECT_EQ(into.Canvas().Pixel(2, 1), clBlue) << road << " " << c.name;
        } else {
            EXPECT_EQ(into.Width(), 5) << road << " " << c.name;
            EXPECT_EQ(into.Canvas().Pixel(1, 1), clGreen) << road << " " << c.name;
        }
    }
    UnregisterResource(RT_BITMAP, "TESTBMP_GOOD");
    UnregisterResource(RT_BITMAP, "TESTBMP_JUNK");
    UnregisterResource(RT_BITMAP, "TESTBMP_TINY");
}

}  // namespace guitest
