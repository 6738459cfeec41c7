// The date controls load their glyphs through the program's one bitmap
// loader: the same answers as the platform's, and their own glyphs load.
#include "controls/dates/pick_date.h"

#include "platform/gui/tests/bitmap_resource_cases.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

namespace {

class ResourceBitmaps : public guitest::GuiTest {};

TEST_F(ResourceBitmaps, EveryRoadLoadsAlikeAndAFailureTouchesNothing) {
    guitest::ExpectBitmapRoadLoadsAlike("platform", [](const std::string& n, gui::TBitmap& b) {
        return gui::LoadBitmapResource(gui::HInstance(), n, b);
    });
    guitest::ExpectBitmapRoadLoadsAlike("date controls",
                                        [](const std::string& n, gui::TBitmap& b) { return zb::LoadResourceBitmap(n, b); });
    gui::TBitmap glyph;
    EXPECT_TRUE(zb::LoadResourceBitmap("DEDITBMP", glyph));
    EXPECT_FALSE(glyph.Empty());
}

}  // namespace
