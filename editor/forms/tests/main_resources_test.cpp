// The main window loads its bitmaps through the program's one bitmap
// loader: the same answers as the platform's, and its own pictures load.
#include "editor/forms/main_resources.h"

#include "platform/gui/tests/bitmap_resource_cases.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

namespace {

class MainResources : public guitest::GuiTest {};

TEST_F(MainResources, ProgramBitmapsLoadAsThePlatformLoadsThem) {
    guitest::ExpectBitmapRoadLoadsAlike("main window", [](const std::string& n, gui::TBitmap& b) {
        return editor::LoadProgramBitmap(n, b);
    });
    editor::RegisterMainWindowResources();
    for (const char* name : {"BITMAP_3", "BITMAP_4"}) {
        gui::TBitmap picture;
        EXPECT_TRUE(editor::LoadProgramBitmap(name, picture)) << name;
        EXPECT_FALSE(picture.Empty()) << name;
    }
}

}  // namespace
