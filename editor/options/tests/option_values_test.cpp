// Case tables of the options' values: coordinates, colours, styles.
#include "editor/options/option_values.h"

#include <gtest/gtest.h>

namespace {

using namespace editor;

TEST(OptionCoordinates, ScaleAndWidthRule) {
    EXPECT_EQ(ScaleFactor(256), 4);
    EXPECT_EQ(ScaleFactor(1024), 1);
    EXPECT_EQ(ScaleFactor(410), 2);  // 2.497...
    EXPECT_EQ(ScaleFactor(0), 1);
    // Halves go to the even neighbour.
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    // On a 1024-pixel picture one pixel is one unit, so widths map directly.
    struct Direct {
        int width;
        long stored;
    } direct[] = {{701, 702}, {600, 599}, {500, 500}, {700, 700}, {501, 500}, {699, 698}, {300, 300}};
    for (const auto& d : direct) {
        const WindowUnitsRect u = UnitsFromMiniature({0, 0, d.width, 10}, 1024, 1024);
        EXPECT_EQ(u.w, d.stored) << d.width;
    }
    // A 256-pixel picture: one pixel is 4 units.
    WindowUnitsRect u = UnitsFromMiniature({10, 20, 50, 40}, 256, 256);
    EXPECT_EQ(u.x, 40);
    EXPECT_EQ(u.y, 80);
    EXPECT_EQ(u.w, 200);
    EXPECT_EQ(u.h, 160);
}

TEST(OptionCoordinates, KeptInsideThePicture) {
    // Dragged past the left edge: stored at 0.
    EXPECT_EQ(UnitsFromMiniature({-30, 5, 50, 40}, 256, 256).x, 0);
    // Past the right and bottom edges: moved back in.
    const WindowUnitsRect u = UnitsFromMiniature({240, 250, 50, 40}, 256, 256);
    EXPECT_EQ(u.x, (256 - 50) * 4);
    EXPECT_EQ(u.y, (256 - 40) * 4);
    // Placing from units divides and rounds.
    const PixelRect r = MiniatureFromUnits({40, 82, 200, 162}, 256, 256);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);   // 20.5 -> 20
    EXPECT_EQ(r.width, 50);
    EXPECT_EQ(r.height, 40);  // 40.5 -> 40
}

TEST(OptionCoordinates, MiniatureEdgesAndResizing) {
    // Where a press takes hold of a 40 x 30 miniature.
    struct Grab {
        int x, y, grab;
    } grabs[] = {{20, 15, 0}, {0, 0, 1}, {20, 2, 2}, {39, 0, 3}, {37, 15, 4},
                 {39, 29, 5}, {20, 27, 6}, {1, 29, 7}, {4, 15, 8}, {5, 5, 0}};
    for (const auto& g : grabs) EXPECT_EQ(MiniatureGrabAt(g.x, g.y, 40, 30), g.grab) << g.x << "," << g.y;

    // A 40 x 30 miniature at (100, 50) on a 256 x 192 picture.
    const PixelRect r{100, 50, 40, 30};
    struct Case {
        int grab, dx, dy;
        PixelRect want;
    } cases[] = {
        {5, 20, 10, {100, 50, 60, 40}},     // the bottom-right corner grows both
        {4, 20, 10, {100, 50, 60, 30}},     // the right edge only the width
        {1, -20, -10, {80, 40, 60, 40}},    // the top-left corner keeps the bottom-right
        {4, 500, 0, {100, 50, 156, 30}},    // stops at the picture's right edge
        {6, 0, 500, {100, 50, 40, 142}},    // and at its bottom
        {8, -500, 0, {0, 50, 140, 30}},     // and at its left
        {2, 0, 100, {100, 72, 40, 8}},      // never smaller than the smallest size
        {8, 100, 0, {132, 50, 8, 30}},
        {0, 30, 30, {100, 50, 40, 30}},     // grab 0 sizes nothing
    };
    for (const auto& c : cases) {
        const PixelRect got = ResizedMiniature(r, c.grab, c.dx, c.dy, 256, 192);
        EXPECT_EQ(got.left, c.want.left) << c.grab << " " << c.dx << "," << c.dy;
        EXPECT_EQ(got.top, c.want.top) << c.grab << " " << c.dx << "," << c.dy;
        EXPECT_EQ(got.width, c.want.width) << c.grab << " " << c.dx << "," << c.dy;
        EXPECT_EQ(got.height, c.want.height) << c.grab << " " << c.dx << "," << c.dy;
    }
}

TEST(OptionCoordinates, Spins) {
    EXPECT_EQ(SpinDown(0), 0);
    EXPECT_EQ(SpinDown(5), 4);
    EXPECT_EQ(SpinUp(1023), 1024);
    EXPECT_EQ(SpinUp(1024), 1024);
}

TEST(OptionColours, NamesNumbersValues) {
    EXPECT_EQ(TextColourNameOfNumber(15), "Black");
    EXPECT_EQ(TextColourNameOfNumber(0), "Black");
    EXPECT_EQ(TextColourNameOfNumber(14), "Aqua");
    EXPECT_EQ(TextColourNameOfNumber(-3), "Black");
    EXPECT_EQ(TextColourNames().size(), 15u);
    EXPECT_EQ(BackgroundNames().size(), 17u);
    EXPECT_EQ(ColourNumberOfName("White"), 15);
    EXPECT_EQ(ColourNumberOfName("Navy"), 4);
    EXPECT_EQ(ColourNumberOfName("Mauve"), -1);
    struct Case {
        const char* name;
        long value;
    } cases[] = {{"Black", 0x000000}, {"Maroon", 0x000080}, {"Navy", 0x800000}, {"Silver", 0xC0C0C0},
                 {"Red", 0x0000FF},   {"Blue", 0xFF0000},   {"Aqua", 0xFFFF00}, {"White", 0xFFFFFF}};
    for (const auto& c : cases) {
        EXPECT_EQ(ScreenColourOfName(c.name), c.value) << c.name;
        EXPECT_EQ(NameOfScreenColour(c.value), c.name);
    }
    EXPECT_EQ(BackgroundColourOfName("HelpYellow"), 0xECFFFF);
    EXPECT_EQ(BackgroundColourOfName("Mauve"), 0xECFFFF);
    EXPECT_EQ(BackgroundNameOf(0xECFFFF), "HelpYellow");
    EXPECT_EQ(BackgroundNameOf(0x123456), "HelpYellow");
    EXPECT_EQ(PreferenceColourName(0x123456), "Green");
    EXPECT_EQ(PreferenceColourName(0xFF0000), "Blue");
}

TEST(OptionStyles, Texts) {
    struct Case {
        bool bold, italic;
        const char* text;
    } cases[] = {{true, true, "[afsBold,afsItalic]"}, {true, false, "[afsBold]"}, {false, true, "[afsItalic]"},
                 {false, false, "[]"}};
    for (const auto& c : cases) {
        EXPECT_EQ(StyleText(c.bold, c.italic), c.text);
        bool b = !c.bold, i = !c.italic;
        ParseStyleText(c.text, b, i);
        EXPECT_EQ(b, c.bold);
        EXPECT_EQ(i, c.italic);
    }
    bool b, i;
    ParseStyleText("[afsBold,afsItalic,afsUnderline]", b, i);
    EXPECT_TRUE(b && i);
}

}  // namespace
