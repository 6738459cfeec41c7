// The main window's pictures and cursors: the four bitmaps the grids draw
// ("BITMAP_1".."BITMAP_4": topic and popup marks, contents heading and
// entry icons; red is their see-through colour) and screen cursors 1 and 2
// (dragging a page, dragging a jump). The program draws them itself and
// registers them as its resources when none are compiled in.
#pragma once

#include "platform/gui/graphics.h"

#include <string>

namespace editor {

inline constexpr gui::TColor kGlyphTransparent = 0x0000FF;  // red

void RegisterMainWindowResources();
// A bitmap resource of the program (gui::LoadBitmapResource); false, and
// `into` untouched, when there is none.
bool LoadProgramBitmap(const std::string& name, gui::TBitmap& into);
// Registers screen cursors 1 and 2; false when their pictures are missing.
bool LoadMainWindowCursors();

}  // namespace editor
