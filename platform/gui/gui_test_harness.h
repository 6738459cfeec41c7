// Driving controls from tests: keys, characters and mouse clicks delivered as
// Qt input events (so they take the same path as a user's), images of
// controls, and running the loop for a while. Works offscreen.
#pragma once

#include "platform/gui/controls.h"

#include <string>
#include <vector>

namespace guitest {

using gui::TShiftState;

// Presses and releases a key (a virtual-key code) on a windowed control;
// letters and digits also type their character, as a keyboard would.
void SendKey(gui::TWinControl* control, unsigned vk, TShiftState shift = 0);
// Types text (Windows-1252) character by character.
void TypeText(gui::TWinControl* control, const std::string& text);
// Mouse actions at a client point of any control (graphic controls through their parent).
void MouseDown(gui::TControl* control, gui::TPoint p, gui::TMouseButton button = gui::mbLeft, TShiftState shift = 0);
void MouseUp(gui::TControl* control, gui::TPoint p, gui::TMouseButton button = gui::mbLeft, TShiftState shift = 0);
void MouseMove(gui::TControl* control, gui::TPoint p, TShiftState shift = 0);
void Click(gui::TControl* control, gui::TPoint p, gui::TMouseButton button = gui::mbLeft, TShiftState shift = 0);
// Press, release, double-click, release: what a double click delivers.
void DoubleClick(gui::TControl* control, gui::TPoint p, TShiftState shift = 0);
// Clicks through a form's menu bar with the mouse: the top item with the
// first caption, then in the menu it opens the item with the next, and so
// on ('&' and case do not count). False when an item is not shown.
bool ClickMenu(gui::TWinControl* form, const std::vector<std::string>& captions);
// The control as it looks now, painted afresh, in a bitmap of its size.
void Grab(gui::TControl* control, gui::TBitmap& image);
bool SaveGrab(gui::TControl* control, const std::string& pngFile);
// Handles Qt events and window messages for about `ms` milliseconds (0: what is pending).
void ProcessEvents(int ms = 0);
// Runs the loop until `done` answers true or `timeoutMs` pass; true when done.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 2000);

}  // namespace guitest
