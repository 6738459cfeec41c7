// Shared plumbing of the standard controls: the shift state of the input
// event being handled, the application-wide key hook that gives menus their
// short-cuts, and small drawing helpers. Only the layer's sources include it.
#pragma once

#include "platform/gui/controls.h"

#include <functional>
#include <string>

namespace gui {

// Hooks the application's input once (safe to call often).
void InstallControlsSupport();
// The modifiers of the key or mouse event being handled (the keyboard's
// own state as well), so controls see Shift+arrow from any source of events.
TShiftState CurrentShiftState();

// Short-cut handlers see a key before the focused control does; true stops it.
using ShortCutHandler = std::function<bool(TWinControl* focused, unsigned key, TShiftState shift)>;
// Returns an id for RemoveShortCutHandler.
int AddShortCutHandler(ShortCutHandler handler);
void RemoveShortCutHandler(int id);

// Sets a window scroll bar's range, but leaves a bar that was never shown
// alone while the range stays empty: a bar is made on first use, and one
// made for an empty range would sit unplaced over the control.
void SetScrollBarRange(TWinControl* control, int bar, int minPos, int maxPos);

// A button face: raised (or sunken when down), filled with clBtnFace.
void DrawButtonFace(TCanvas& canvas, TRect& rect, bool down, bool flat, bool focused);
// Text with its '&' accelerator underlined, centred in rect unless flags say otherwise.
void DrawCaption(TCanvas& canvas, const std::string& caption, TRect rect, unsigned flags, bool enabled);

}  // namespace gui
