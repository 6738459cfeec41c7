// The values the project options and the preferences show and store: the
// window coordinates of the help compiler against the simulated desktop,
// colour names, numbers and screen values, and the style texts.
#pragma once

#include <string>
#include <vector>

namespace editor {

// --- coordinates --------------------------------------------------------------------
// The help compiler places windows on a 1024 x 1024 grid.
inline constexpr int kWindowUnits = 1024;

// Rounds to a whole number, halves to the even neighbour.
long RoundHalfEven(double value);
// Units per pixel of the desktop picture along one axis (1024 / size,
// rounded half to even; at least 1).
int ScaleFactor(int picturePixels);

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
};
struct WindowUnitsRect {
    long x = 0, y = 0, w = 0, h = 0;
};

// Pushes a miniature back inside the picture: a negative left or top
// becomes 0, a right or bottom edge past the picture moves it back in.
PixelRect KeepInside(const PixelRect& r, int pictureWidth, int pictureHeight);
// The stored units of a miniature after a drag or resize (kept inside the
// picture first); the width then gets +1 above 700 and -1 strictly between
// 500 and 700.
WindowUnitsRect UnitsFromMiniature(const PixelRect& miniature, int pictureWidth, int pictureHeight);
// Where a miniature stands for stored units.
PixelRect MiniatureFromUnits(const WindowUnitsRect& units, int pictureWidth, int pictureHeight);
// How near an edge of a miniature a press sizes it instead of moving it.
inline constexpr int kMiniatureBorder = 5;
// The smallest miniature a resize leaves.
inline constexpr int kMiniatureMinSize = 8;
// What a press at (x, y) inside a miniature of the given size takes hold
// of: 0 the whole (a drag moves it), else the edge or corner, 1..8
// clockwise from the top-left corner.
int MiniatureGrabAt(int x, int y, int width, int height);
// A miniature sized by moving the edge or corner `grab` by (dx, dy): the
// opposite edges stay, the moved ones stop at the picture's edges and at
// the smallest size.
PixelRect ResizedMiniature(const PixelRect& r, int grab, int dx, int dy, int pictureWidth, int pictureHeight);
// Spin buttons: down stops at 0, up stops at 1024.
long SpinDown(long value);
long SpinUp(long value);

// --- colours ---------------------------------------------------------------------------
// "Black" .. "Aqua", "White": the sixteen names in colour-number order.
const std::vector<std::string>& ColourNames();
// The fifteen names the text colour lists and the jump colours offer (no "White").
const std::vector<std::string>& TextColourNames();
// The background list: the sixteen names and "HelpYellow".
const std::vector<std::string>& BackgroundNames();
inline constexpr long kHelpYellow = 0xECFFFF;

// The name a stored colour number shows: 0..14 by name; 15 (white, never
// offered for text) and anything else "Black".
std::string TextColourNameOfNumber(long number);
// The number of a name (0..15), -1 when it is none of the sixteen.
int ColourNumberOfName(const std::string& name);
// The screen colour 0x00BBGGRR of a name; -1 when unknown.
long ScreenColourOfName(const std::string& name);
// The name of a screen colour among the sixteen; "" when none.
std::string NameOfScreenColour(long value);
// The background list: a name to its colour; "HelpYellow" and any unknown
// name give HelpYellow. A colour to its name: unknown colours show "HelpYellow".
long BackgroundColourOfName(const std::string& name);
std::string BackgroundNameOf(long value);
// A preference (jump) colour's name: unknown values show "Green".
std::string PreferenceColourName(long value);

// --- styles --------------------------------------------------------------------------------
// "[afsBold,afsItalic]", "[afsBold]", "[afsItalic]" or "[]".
std::string StyleText(bool bold, bool italic);
void ParseStyleText(const std::string& text, bool& bold, bool& italic);

// --- folders -------------------------------------------------------------------------------
// A stored project or graphics folder as the folder buttons see it (the
// project-folder rule; empty stays empty).
std::string StoredFolderPath(const std::string& stored, const std::string& programDir);

}  // namespace editor
