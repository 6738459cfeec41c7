#include "editor/options/option_values.h"

#include "project/helpers.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace editor {

long RoundHalfEven(double value) { return static_cast<long>(std::nearbyint(value)); }

int ScaleFactor(int picturePixels) {
    if (picturePixels <= 0) return 1;
    const long f = RoundHalfEven(static_cast<double>(kWindowUnits) / picturePixels);
    return f < 1 ? 1 : static_cast<int>(f);
}

PixelRect KeepInside(const PixelRect& r, int pictureWidth, int pictureHeight) {
    PixelRect out = r;
    if (out.left < 0) out.left = 0;
    if (out.top < 0) out.top = 0;
    if (out.left + out.width > pictureWidth) out.left = std::max(0, pictureWidth - out.width);
    if (out.top + out.height > pictureHeight) out.top = std::max(0, pictureHeight - out.height);
    return out;
}

int MiniatureGrabAt(int x, int y, int width, int height) {
    const bool left = x < kMiniatureBorder, right = x >= width - kMiniatureBorder;
    const bool top = y < kMiniatureBorder, bottom = y >= height - kMiniatureBorder;
    if (top) return left ? 1 : right ? 3 : 2;
    if (bottom) return left ? 7 : right ? 5 : 6;
    if (right) return 4;
    if (left) return 8;
    return 0;
}

PixelRect ResizedMiniature(const PixelRect& r, int grab, int dx, int dy, int pictureWidth, int pictureHeight) {
    const bool left = grab == 1 || grab == 7 || grab == 8, right = grab == 3 || grab == 4 || grab == 5;
    const bool top = grab == 1 || grab == 2 || grab == 3, bottom = grab == 5 || grab == 6 || grab == 7;
    int l = r.left, t = r.top, rt = r.left + r.width, b = r.top + r.height;
    if (left) l = std::min(std::max(l + dx, 0), rt - kMiniatureMinSize);
    if (right) rt = std::max(std::min(rt + dx, pictureWidth), l + kMiniatureMinSize);
    if (top) t = std::min(std::max(t + dy, 0), b - kMiniatureMinSize);
    if (bottom) b = std::max(std::min(b + dy, pictureHeight), t + kMiniatureMinSize);
    return {l, t, rt - l, b - t};
}

WindowUnitsRect UnitsFromMiniature(const PixelRect& miniature, int pictureWidth, int pictureHeight) {
    const PixelRect r = KeepInside(miniature, pictureWidth, pictureHeight);
    const int fx = ScaleFactor(pictureWidth), fy = ScaleFactor(pictureHeight);
    WindowUnitsRect u;
    u.x = RoundHalfEven(static_cast<double>(r.left) * fx);
    u.y = RoundHalfEven(static_cast<double>(r.top) * fy);
    u.w = RoundHalfEven(static_cast<double>(r.width) * fx);
    u.h = RoundHalfEven(static_cast<double>(r.height) * fy);
    if (u.w > 700)
        u.w += 1;
    else if (u.w > 500 && u.w < 700)
        u.w -= 1;
    return u;
}

PixelRect MiniatureFromUnits(const WindowUnitsRect& units, int pictureWidth, int pictureHeight) {
    const double fx = ScaleFactor(pictureWidth), fy = ScaleFactor(pictureHeight);
    PixelRect r;
    r.left = static_cast<int>(RoundHalfEven(units.x / fx));
    r.top = static_cast<int>(RoundHalfEven(units.y / fy));
    r.width = static_cast<int>(RoundHalfEven(units.w / fx));
    r.height = static_cast<int>(RoundHalfEven(units.h / fy));
    return r;
}

long SpinDown(long value) { return value > 0 ? value - 1 : value; }
long SpinUp(long value) { return value < kWindowUnits ? value + 1 : value; }

namespace {

const long kScreenColours[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
                                 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

}  // namespace

const std::vector<std::string>& ColourNames() {
    static const std::vector<std::string> names = {"Black", "Maroon", "Green",  "Olive", "Navy", "Purple",
                                                   "Teal",  "Gray",   "Silver", "Red",   "Lime", "Yellow",
                                                   "Blue",  "Fuchsia", "Aqua",  "White"};
    return names;
}

const std::vector<std::string>& TextColourNames() {
    static const std::vector<std::string> names(ColourNames().begin(), ColourNames().begin() + 15);
    return names;
}

const std::vector<std::string>& BackgroundNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = ColourNames();
        n.push_back("HelpYellow");
        return n;
    }();
    return names;
}

std::string TextColourNameOfNumber(long number) {
    if (number < 0 || number > 14) return "Black";
    return ColourNames()[static_cast<std::size_t>(number)];
}

int ColourNumberOfName(const std::string& name) {
    const auto& n = ColourNames();
    for (std::size_t i = 0; i < n.size(); ++i)
        if (n[i] == name) return static_cast<int>(i);
    return -1;
}

long ScreenColourOfName(const std::string& name) {
    const int i = ColourNumberOfName(name);
    return i < 0 ? -1 : kScreenColours[i];
}

std::string NameOfScreenColour(long value) {
    for (int i = 0; i < 16; ++i)
        if (kScreenColours[i] == value) return ColourNames()[static_cast<std::size_t>(i)];
    return {};
}

long BackgroundColourOfName(const std::string& name) {
    const long c = ScreenColourOfName(name);
    return c < 0 ? kHelpYellow : c;
}

std::string BackgroundNameOf(long value) {
    const std::string n = NameOfScreenColour(value);
    return n.empty() ? "HelpYellow" : n;
}

std::string PreferenceColourName(long value) {
    const std::string n = NameOfScreenColour(value);
    return n.empty() ? "Green" : n;
}

std::string StyleText(bool bold, bool italic) {
    if (bold && italic) return "[afsBold,afsItalic]";
    if (bold) return "[afsBold]";
    if (italic) return "[afsItalic]";
    return "[]";
}

void ParseStyleText(const std::string& text, bool& bold, bool& italic) {
    bold = text.find("afsBold") != std::string::npos;
    italic = text.find("afsItalic") != std::string::npos;
}

std::string StoredFolderPath(const std::string& stored, const std::string& programDir) {
    return ProjectFolder(stored, programDir);
}

}  // namespace editor
