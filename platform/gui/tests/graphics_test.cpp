// Colours, fonts, the canvas's drawing rules and raster operations, bitmaps
// with masks and transparency, and loading pictures.
#include "platform/core/exceptions.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "platform/gdi/font_names.h"
#include "platform/gui/forms.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <memory>
#include <vector>

namespace {

using namespace gui;

class Graphics : public ::testing::Test {
protected:
    void SetUp() override { InitApplication(); }
    // A white bitmap to draw on.
    static void Blank(TBitmap& b, int w, int h) {
        b.SetSize(w, h);
        b.Canvas().Brush().SetColor(clWhite);
        b.Canvas().FillRect(Rect(0, 0, w, h));
    }
    static int Count(TBitmap& b, TColor c) {
        int n = 0;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x) n += b.Canvas().Pixel(x, y) == c;
        return n;
    }
};

TEST_F(Graphics, ColoursAreColorrefsAndSystemColoursResolve) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412);
    EXPECT_EQ(GetRValue(clNavy), 0);
    EXPECT_EQ(GetBValue(clNavy), 0x80);
    EXPECT_EQ(static_cast<std::uint32_t>(clBtnFace), 0x8000000Fu);
    EXPECT_EQ(ColorToRGB(clBtnFace), clSilver);
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clHighlight), clNavy);
    EXPECT_EQ(ColorToRGB(clRed), clRed);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
}

TEST_F(Graphics, MulDivRoundsLikeWin32) {
    EXPECT_EQ(MulDiv(10, 3, 4), 8);    // 7.5 -> 8
    EXPECT_EQ(MulDiv(-10, 3, 4), -8);  // away from zero
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(2000000000, 2, 4), 1000000000);  // no overflow in the product
}

TEST_F(Graphics, WindowsFontNamesMapToInstalledLookAlikes) {
    const std::pair<const char*, const char*> cases[] = {
        {"Arial", "Liberation Sans"},          {"MS Sans Serif", "Liberation Sans"},
        {"times new roman", "Liberation Serif"}, {"Courier New", "Liberation Mono"},
        {"Courier", "Liberation Mono"},        {"Wingdings", "DejaVu Sans"},
        {"symbol", "DejaVu Sans"},             {"Marlett", "Marlett"},
    };
    for (auto& [win, installed] : cases) EXPECT_EQ(MapFontName(win), installed) << win;
}

TEST_F(Graphics, PiFontSlotsReadAsTheCharactersTheyShow) {
    struct Case {
        const char* font;
        unsigned char slot;
        char32_t shown;  // 0: the byte is Windows-1252
    } cases[] = {
        {"Symbol", 0xB7, 0x2022},    {"Symbol", 0x61, 0x03B1},    {"Symbol", 0x41, 0x0391},
        {"Symbol", 0x20, 0x0020},    {"Symbol", 0xAE, 0x2192},    {"Symbol", 0xD6, 0x221A},
        {"Symbol", 0xFE, 0x23AD},    {"Symbol", 0xF0, 0},         {"Symbol", 0x85, 0},
        {"SYMBOL", 0xB7, 0x2022},    {"Wingdings", 0x6C, 0x25CF}, {"Wingdings", 0xA7, 0x25AA},
        {"Wingdings", 0x41, 0},      {"Arial", 0xB7, 0},          {"Symbol Sans", 0xB7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::PiFontCharToUnicode(c.font, c.slot), c.shown) << c.font << " " << int(c.slot);
}

// A document's Symbol bullet (0xB7) must look like a bullet, not like the
// Windows-1252 middle dot that byte would be in a text font.
TEST_F(Graphics, SymbolBulletDrawsAndMeasuresAsABullet) {
    auto draw = [](const char* font, const std::string& text, bool withAdvances) {
        auto b = std::make_unique<TBitmap>();
        b->SetSize(40, 30);
        TCanvas& c = b->Canvas();
        c.Brush().SetColor(clWhite);
        c.FillRect(Rect(0, 0, 40, 30));
        c.Brush().SetStyle(bsClear);
        c.Font().SetName(font);
        c.Font().SetSize(14);
        int width = c.TextWidth(text);
        if (withAdvances) {
            int dx[1] = {width};
            c.ExtTextOut(5, 5, 0, nullptr, text, dx);
        } else {
            c.TextOut(5, 5, text);
        }
        return std::make_pair(std::move(b), width);
    };
    auto [bullet, bulletWidth] = draw("DejaVu Sans", "\x95", false);  // 1252 bullet
    auto [dot, dotWidth] = draw("DejaVu Sans", "\xB7", false);        // 1252 middle dot
    for (bool advances : {false, true}) {
        auto [symbol, symbolWidth] = draw("Symbol", "\xB7", advances);
        EXPECT_EQ(symbolWidth, bulletWidth);
        EXPECT_TRUE(*symbol->Image() == *bullet->Image()) << "with advances " << advances;
        EXPECT_FALSE(*symbol->Image() == *dot->Image());
    }
    int widths[1] = {};
    TBitmap b;
    b.Canvas().Font().SetName("Symbol");
    b.Canvas().Font().SetSize(14);
    b.Canvas().GetCharWidths(0xB7, 0xB7, widths);
    EXPECT_EQ(widths[0], bulletWidth);
}

TEST_F(Graphics, FontSizeAndHeightConvertAt96PixelsPerInch) {
    TFont f;
    EXPECT_EQ(f.Name(), "MS Sans Serif");
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(f.Height(), -11);
    f.SetSize(10);
    EXPECT_EQ(f.Height(), -13);
    f.SetHeight(-16);
    EXPECT_EQ(f.Size(), 12);
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.SetStyle(fsBold | fsItalic);
    f.SetStyle(fsBold | fsItalic);  // unchanged: no event
    EXPECT_EQ(changes, 1);
    TFont g;
    g.Assign(f);
    EXPECT_TRUE(g == f);
}

TEST_F(Graphics, RectangleAndFillLeaveOutRightAndBottom) {
    TBitmap b;
    Blank(b, 20, 20);
    TCanvas& c = b.Canvas();
    c.Pen().SetColor(clRed);
    c.Brush().SetColor(clBlue);
    c.Rectangle(2, 3, 10, 8);
    EXPECT_EQ(c.Pixel(2, 3), clRed);    // outline corner
    EXPECT_EQ(c.Pixel(9, 7), clRed);    // last pixel of the outline
    EXPECT_EQ(c.Pixel(10, 7), clWhite); // right edge excluded
    EXPECT_EQ(c.Pixel(9, 8), clWhite);  // bottom edge excluded
    EXPECT_EQ(c.Pixel(5, 5), clBlue);   // inside
    EXPECT_EQ(Count(b, clRed) + Count(b, clBlue), 8 * 5);
    c.Brush().SetColor(clLime);
    c.FillRect(Rect(12, 12, 15, 14));
    EXPECT_EQ(Count(b, clLime), 3 * 2);
    c.Brush().SetColor(clBlack);
    c.FrameRect(Rect(0, 12, 5, 17));
    EXPECT_EQ(Count(b, clBlack), 16);  // the 5 x 5 ring
}

TEST_F(Graphics, LineToLeavesOutTheEndPointAndMovesThePen) {
    TBitmap b;
    Blank(b, 10, 10);
    TCanvas& c = b.Canvas();
    c.MoveTo(1, 1);
    c.LineTo(6, 1);
    EXPECT_EQ(c.Pixel(1, 1), clBlack);
    EXPECT_EQ(c.Pixel(5, 1), clBlack);
    EXPECT_EQ(c.Pixel(6, 1), clWhite);
    EXPECT_EQ(c.PenPos(), Point(6, 1));
    c.LineTo(6, 4);
    EXPECT_EQ(c.Pixel(6, 1), clBlack);
    EXPECT_EQ(c.Pixel(6, 4), clWhite);
}

TEST_F(Graphics, TextOutFillsItsCellUnlessTheBrushIsClear) {
    TBitmap b;
    Blank(b, 60, 30);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Arial");
    c.Brush().SetColor(clYellow);
    c.TextOut(2, 2, "W");
    int w = c.TextWidth("W"), h = c.TextHeight("W");
    EXPECT_GT(w, 3);
    EXPECT_GT(h, 8);
    EXPECT_EQ(c.PenPos(), Point(2 + w, 2));
    EXPECT_GT(Count(b, clYellow), 0);
    EXPECT_EQ(c.Pixel(2 + w, 2), clWhite);  // nothing beyond the cell
    TBitmap t;
    Blank(t, 60, 30);
    t.Canvas().Font().SetName("Arial");
    t.Canvas().Brush().SetStyle(bsClear);
    t.Canvas().TextOut(2, 2, "W");
    EXPECT_EQ(Count(t, clYellow), 0);
    EXPECT_GT(Count(t, clBlack), 0);
}

TEST_F(Graphics, TextMetricsAndCharacterWidthsAgreeWithTextWidth) {
    TBitmap b;
    Blank(b, 10, 10);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Times New Roman");
    c.Font().SetHeight(-20);
    TTextMetric tm;
    c.GetTextMetrics(tm);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GE(tm.tmHeight, 20);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 20);
    EXPECT_EQ(tm.tmWeight, 400);
    int widths[256 - 32];
    c.GetCharWidths(32, 255, widths);
    EXPECT_EQ(widths['W' - 32], c.TextWidth("W"));
    EXPECT_GT(widths['W' - 32], widths['i' - 32]);
    EXPECT_EQ(widths[0xE9 - 32], c.TextWidth("\xE9"));  // e-acute, a Windows-1252 byte
    c.Font().SetStyle(fsBold);
    c.GetTextMetrics(tm);
    EXPECT_EQ(tm.tmWeight, 700);
    EXPECT_EQ(c.GetDeviceCaps(LOGPIXELSY), 96);
    EXPECT_EQ(c.GetDeviceCaps(HORZRES), 10);
}

TEST_F(Graphics, ExtTextOutSpacesCharactersAndFillsItsRectangle) {
    TBitmap b;
    Blank(b, 120, 30);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Courier New");
    c.Brush().SetColor(clYellow);
    TRect r = Rect(0, 0, 120, 30);
    const int dx[] = {50, 50};
    c.ExtTextOut(2, 2, ETO_OPAQUE, &r, "II", dx);
    EXPECT_EQ(c.Pixel(119, 29), clYellow);  // the whole rectangle filled
    // Ink of the two letters lies near x = 2 and x = 52, none in between.
    auto inkIn = [&](int x0, int x1) {
        int n = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = x0; x < x1; ++x) n += c.Pixel(x, y) != clYellow;
        return n;
    };
    EXPECT_GT(inkIn(0, 20), 0);
    EXPECT_EQ(inkIn(22, 50), 0);
    EXPECT_GT(inkIn(50, 70), 0);
    // Clipped: nothing outside the rectangle.
    TBitmap t;
    Blank(t, 60, 30);
    TRect clip = Rect(0, 0, 5, 30);
    t.Canvas().Font().SetName("Courier New");
    t.Canvas().Brush().SetStyle(bsClear);
    t.Canvas().ExtTextOut(0, 2, ETO_CLIPPED, &clip, "WWWW", nullptr);
    for (int y = 0; y < 30; ++y)
        for (int x = 5; x < 60; ++x) ASSERT_EQ(t.Canvas().Pixel(x, y), clWhite) << x << "," << y;
}

TEST_F(Graphics, ExtTextOutWithAdvancesDrawsEachGlyphWhereACharacterAloneWould) {
    // The reference: every character drawn on its own at its place.
    struct Case {
        const char* text;
        TFontStyles style;
        std::vector<int> dx;
    };
    const Case cases[] = {
        {"Hello, world", 0, {9, 8, 4, 4, 8, 4, 4, 11, 8, 5, 4, 8}},
        {"AV Wa", fsBold, {12, 12, 6, 14, 9}},
        {"spaced out", fsItalic, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10}},
    };
    for (const Case& k : cases) {
        TBitmap a, b;
        Blank(a, 160, 30);
        Blank(b, 160, 30);
        for (TBitmap* bmp : {&a, &b}) {
            bmp->Canvas().Font().SetName("Arial");
            bmp->Canvas().Font().SetSize(11);
            bmp->Canvas().Font().SetStyle(k.style);
            bmp->Canvas().Brush().SetStyle(bsClear);
        }
        a.Canvas().ExtTextOut(3, 4, 0, nullptr, k.text, k.dx.data());
        int x = 3;
        for (std::size_t i = 0; i < k.dx.size(); ++i) {
            b.Canvas().TextOut(x, 4, std::string(1, k.text[i]));
            x += k.dx[i];
        }
        int differ = 0, ink = 0;
        for (int y = 0; y < 30; ++y)
            for (int px = 0; px < 160; ++px) {
                differ += a.Canvas().Pixel(px, y) != b.Canvas().Pixel(px, y);
                ink += a.Canvas().Pixel(px, y) != clWhite;
            }
        EXPECT_GT(ink, 40) << k.text;
        EXPECT_EQ(differ, 0) << k.text;
    }
    // Underline runs under the whole text, its blanks too.
    TBitmap u;
    Blank(u, 160, 30);
    u.Canvas().Font().SetName("Arial");
    u.Canvas().Font().SetStyle(fsUnderline);
    u.Canvas().Brush().SetStyle(bsClear);
    const int dx[] = {10, 30, 10};
    u.Canvas().ExtTextOut(2, 2, 0, nullptr, "a b", dx);
    int underRow = -1;
    for (int y = 29; y >= 0 && underRow < 0; --y)
        if (u.Canvas().Pixel(25, y) != clWhite) underRow = y;
    ASSERT_GE(underRow, 0);
    EXPECT_NE(u.Canvas().Pixel(5, underRow), clWhite);
    EXPECT_NE(u.Canvas().Pixel(45, underRow), clWhite);
}

TEST_F(Graphics, DrawEdgeDrawsTheClassicBordersAndAdjusts) {
    struct Case {
        unsigned edge;
        TColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
    };
    const Case cases[] = {
        {EDGE_RAISED, RGB(223, 223, 223), clBlack, clWhite, clGray},
        {EDGE_SUNKEN, clGray, clWhite, clBlack, RGB(223, 223, 223)},
        {EDGE_ETCHED, clGray, clWhite, clWhite, clGray},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.edge);
        TBitmap b;
        Blank(b, 10, 8);
        TRect r = Rect(0, 0, 10, 8);
        DrawEdge(b.Canvas(), r, k.edge, BF_RECT | BF_MIDDLE | BF_ADJUST);
        TCanvas& c = b.Canvas();
        EXPECT_EQ(c.Pixel(0, 3), k.outerTopLeft);
        EXPECT_EQ(c.Pixel(9, 3), k.outerBottomRight);
        EXPECT_EQ(c.Pixel(1, 3), k.innerTopLeft);
        EXPECT_EQ(c.Pixel(8, 3), k.innerBottomRight);
        EXPECT_EQ(c.Pixel(4, 4), clSilver);  // the middle
        EXPECT_EQ(r, Rect(2, 2, 8, 6));
    }
    // Only the sides asked for.
    TBitmap b;
    Blank(b, 6, 6);
    b.Canvas().Brush().SetColor(clRed);
    b.Canvas().FillRect(Rect(0, 0, 6, 6));
    TRect r = Rect(0, 0, 6, 6);
    DrawEdge(b.Canvas(), r, BDR_SUNKENOUTER, BF_BOTTOM);
    EXPECT_EQ(b.Canvas().Pixel(3, 5), clWhite);
    EXPECT_EQ(b.Canvas().Pixel(0, 0), clRed);  // untouched
    EXPECT_EQ(b.Canvas().Pixel(0, 4), clRed);
    EXPECT_EQ(r, Rect(0, 0, 6, 6));              // no BF_ADJUST
}

TEST_F(Graphics, ScrollDCMovesThePictureWithinTheClip) {
    TBitmap b;
    Blank(b, 10, 10);
    TCanvas& c = b.Canvas();
    c.SetPixel(5, 5, clRed);
    c.SetPixel(5, 1, clBlue);
    ScrollDC(c, 0, -3, Rect(0, 0, 10, 10), Rect(0, 2, 10, 10));
    EXPECT_EQ(c.Pixel(5, 2), clRed);
    EXPECT_EQ(c.Pixel(5, 1), clBlue);  // outside the clip: untouched
}

TEST_F(Graphics, DrawTextMeasuresAlignsAndHidesTheAccelerator) {
    TBitmap b;
    Blank(b, 200, 40);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Arial");
    TRect calc = Rect(0, 0, 0, 0);
    int h = DrawText(c, "&File", calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.Width(), c.TextWidth("File"));
    EXPECT_EQ(h, calc.Height());
    TRect noPrefix = Rect(0, 0, 0, 0);
    DrawText(c, "&File", noPrefix, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(noPrefix.Width(), c.TextWidth("&File"));
    // Wrapped text in a narrow rectangle takes several lines.
    TRect wrap = Rect(0, 0, 40, 0);
    DrawText(c, "one two three four", wrap, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GE(wrap.Height(), 3 * c.TextHeight("o"));
    // Right-aligned text ends at the right edge: its ink is in the right half.
    c.Brush().SetStyle(bsClear);
    TRect r = Rect(0, 0, 200, 40);
    DrawText(c, "Ok", r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    int minX = 200;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            if (c.Pixel(x, y) != clWhite) minX = std::min(minX, x);
    EXPECT_GT(minX, 150);
}

TEST_F(Graphics, CopyRectAppliesRasterOperations) {
    TBitmap src;
    Blank(src, 4, 4);
    src.Canvas().SetPixel(1, 1, clRed);
    TBitmap dst;
    Blank(dst, 4, 4);
    dst.Canvas().SetPixel(2, 2, clBlue);
    TCanvas& c = dst.Canvas();
    // SrcInvert twice restores the destination.
    c.CopyMode = cmSrcInvert;
    c.CopyRect(Rect(0, 0, 4, 4), src.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(c.Pixel(1, 1), RGB(0, 255, 255));  // red xor white
    EXPECT_EQ(c.Pixel(0, 0), clBlack);          // white xor white
    c.CopyRect(Rect(0, 0, 4, 4), src.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(c.Pixel(1, 1), clWhite);
    EXPECT_EQ(c.Pixel(2, 2), clBlue);
    // DstInvert ignores the source.
    c.CopyMode = cmDstInvert;
    c.CopyRect(Rect(0, 0, 2, 2), src.Canvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(c.Pixel(0, 0), clBlack);
    EXPECT_EQ(c.Pixel(3, 3), clWhite);
    // SrcAnd with a black-and-white mask blacks out where the mask is black.
    TBitmap mask;
    Blank(mask, 4, 4);
    mask.Canvas().SetPixel(2, 2, clBlack);
    c.CopyMode = cmSrcAnd;
    c.CopyRect(Rect(0, 0, 4, 4), mask.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(c.Pixel(2, 2), clBlack);
    EXPECT_EQ(c.Pixel(3, 3), clWhite);
    // Copying within one canvas reads the source before writing.
    c.CopyMode = cmSrcCopy;
    c.SetPixel(0, 3, clLime);
    c.CopyRect(Rect(1, 3, 4, 4), c, Rect(0, 3, 3, 4));
    EXPECT_EQ(c.Pixel(1, 3), clLime);
    EXPECT_EQ(c.Pixel(2, 3), clWhite);
}

TEST(RasterOps, EveryNamedOperationFollowsItsFormula) {
    using F = std::uint32_t (*)(std::uint32_t, std::uint32_t, std::uint32_t);
    struct Case {
        TCopyMode rop;
        F formula;
    };
    const Case cases[] = {
        {cmBlackness, [](std::uint32_t, std::uint32_t, std::uint32_t) { return 0u; }},
        {cmWhiteness, [](std::uint32_t, std::uint32_t, std::uint32_t) { return ~0u; }},
        {cmSrcCopy, [](std::uint32_t, std::uint32_t s, std::uint32_t) { return s; }},
        {cmNotSrcCopy, [](std::uint32_t, std::uint32_t s, std::uint32_t) { return ~s; }},
        {cmDstInvert, [](std::uint32_t, std::uint32_t, std::uint32_t d) { return ~d; }},
        {cmSrcAnd, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return s & d; }},
        {cmSrcPaint, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return s | d; }},
        {cmSrcInvert, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return s ^ d; }},
        {cmSrcErase, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return s & ~d; }},
        {cmNotSrcErase, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return ~(s | d); }},
        {cmMergePaint, [](std::uint32_t, std::uint32_t s, std::uint32_t d) { return ~s | d; }},
        {cmPatCopy, [](std::uint32_t p, std::uint32_t, std::uint32_t) { return p; }},
        {cmPatInvert, [](std::uint32_t p, std::uint32_t, std::uint32_t d) { return p ^ d; }},
        {cmMergeCopy, [](std::uint32_t p, std::uint32_t s, std::uint32_t) { return p & s; }},
        {cmPatPaint, [](std::uint32_t p, std::uint32_t s, std::uint32_t d) { return p | ~s | d; }},
        // Source picks the pattern where it is set and keeps the destination
        // elsewhere: glyphs drawn in the brush colour, their background see-through.
        {0x00E20746, [](std::uint32_t p, std::uint32_t s, std::uint32_t d) { return d ^ (s & (p ^ d)); }},
        // ...and its mirror, with the roles of pattern and destination swapped.
        {0x00B8074A, [](std::uint32_t p, std::uint32_t s, std::uint32_t d) { return p ^ (s & (d ^ p)); }},
    };
    for (const Case& c : cases) {
        for (unsigned bits = 0; bits < 8; ++bits) {
            std::uint32_t p = (bits & 4) ? ~0u : 0u, s = (bits & 2) ? ~0u : 0u, d = (bits & 1) ? ~0u : 0u;
            EXPECT_EQ(RasterOp3(c.rop, p, s, d), c.formula(p, s, d))
                << std::hex << "rop " << c.rop << " P" << (bits >> 2) << " S" << ((bits >> 1) & 1) << " D" << (bits & 1);
        }
        // Bit by bit on whole words, as on a pixel's colour values.
        const std::uint32_t p = 0x00F0A50F, s = 0x00CC33AA, d = 0x00AA0FF0;
        EXPECT_EQ(RasterOp3(c.rop, p, s, d), c.formula(p, s, d)) << std::hex << "rop " << c.rop;
    }
}

TEST(RasterOps, AllTwoHundredFiftySixOperationsReadTheirTruthTable) {
    // The canonical inputs P = F0, S = CC, D = AA give back the table itself.
    for (unsigned table = 0; table < 256; ++table)
        EXPECT_EQ(RasterOp3(table << 16, 0xF0, 0xCC, 0xAA) & 0xFF, table) << table;
}

TEST_F(Graphics, CopyRectCombinesTheBrushSourceAndDestination) {
    // Source: a "glyph" pixel (white) at (1, 1) on black. Destination: white
    // with blue pixels at (1, 1) and (2, 2). Brush: red.
    TBitmap src;
    Blank(src, 4, 4);
    src.Canvas().Brush().SetColor(clBlack);
    src.Canvas().FillRect(Rect(0, 0, 4, 4));
    src.Canvas().SetPixel(1, 1, clWhite);
    const TColor magenta = RGB(255, 0, 255), cyan = RGB(0, 255, 255);
    struct Case {
        TCopyMode rop;
        TColor at11, at22, at00;
    };
    const Case cases[] = {
        {cmPatInvert, magenta, magenta, cyan},     // brush xor destination
        {cmMergeCopy, clRed, clBlack, clBlack},    // brush and source
        {cmPatPaint, magenta, clWhite, clWhite},   // brush or not source or destination
        {0x00E20746, clRed, clBlue, clWhite},      // brush on the glyph, destination elsewhere
    };
    for (const Case& c : cases) {
        TBitmap dst;
        Blank(dst, 4, 4);
        dst.Canvas().SetPixel(1, 1, clBlue);
        dst.Canvas().SetPixel(2, 2, clBlue);
        dst.Canvas().Brush().SetColor(clRed);
        dst.Canvas().CopyMode = c.rop;
        dst.Canvas().CopyRect(Rect(0, 0, 4, 4), src.Canvas(), Rect(0, 0, 4, 4));
        EXPECT_EQ(dst.Canvas().Pixel(1, 1), c.at11) << std::hex << c.rop;
        EXPECT_EQ(dst.Canvas().Pixel(2, 2), c.at22) << std::hex << c.rop;
        EXPECT_EQ(dst.Canvas().Pixel(0, 0), c.at00) << std::hex << c.rop;
    }
}

TEST_F(Graphics, PenModeXorDrawsAndErases) {
    TBitmap b;
    Blank(b, 10, 3);
    TCanvas& c = b.Canvas();
    c.Pen().SetMode(pmXor);
    c.Pen().SetColor(clWhite);
    c.MoveTo(0, 1);
    c.LineTo(10, 1);
    EXPECT_EQ(c.Pixel(4, 1), clBlack);
    c.MoveTo(0, 1);
    c.LineTo(10, 1);
    EXPECT_EQ(c.Pixel(4, 1), clWhite);
    TRect focus = Rect(0, 0, 10, 3);
    c.DrawFocusRect(focus);
    int marked = 10 * 3 - Count(b, clWhite);
    EXPECT_GT(marked, 0);
    c.DrawFocusRect(focus);
    EXPECT_EQ(Count(b, clWhite), 30);
}

TEST_F(Graphics, ClipRectLimitsDrawing) {
    TBitmap b;
    Blank(b, 10, 10);
    TCanvas& c = b.Canvas();
    c.SetClipRect(Rect(2, 2, 5, 5));
    EXPECT_EQ(c.ClipRect(), Rect(2, 2, 5, 5));
    c.Brush().SetColor(clRed);
    c.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(Count(b, clRed), 9);
    c.SetPixel(8, 8, clRed);  // outside the clip
    EXPECT_EQ(c.Pixel(8, 8), clWhite);
    c.ResetClip();
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 10, 10));
}

TEST_F(Graphics, TransparentBitmapLeavesItsTransparentColourOut) {
    TBitmap glyph;
    Blank(glyph, 3, 3);
    glyph.Canvas().Brush().SetColor(clFuchsia);
    glyph.Canvas().FillRect(Rect(0, 0, 3, 3));
    glyph.Canvas().SetPixel(1, 1, clNavy);
    EXPECT_EQ(glyph.TransparentColor(), clFuchsia);  // the bottom-left pixel
    glyph.SetTransparent(true);
    TBitmap dst;
    Blank(dst, 5, 5);
    dst.Canvas().Draw(1, 1, &glyph);
    EXPECT_EQ(dst.Canvas().Pixel(2, 2), clNavy);
    EXPECT_EQ(dst.Canvas().Pixel(1, 1), clWhite);
    EXPECT_EQ(Count(dst, clFuchsia), 0);
    glyph.SetTransparent(false);
    dst.Canvas().Draw(1, 1, &glyph);
    EXPECT_EQ(Count(dst, clFuchsia), 8);
    // Stretched to twice the size.
    TBitmap big;
    Blank(big, 6, 6);
    big.Canvas().StretchDraw(Rect(0, 0, 6, 6), &glyph);
    EXPECT_EQ(Count(big, clNavy), 4);
}

TEST_F(Graphics, MasksAndMonochromeBitmapsHoldOnlyBlackAndWhite) {
    TBitmap b;
    Blank(b, 4, 1);
    b.Canvas().SetPixel(0, 0, clRed);
    b.Canvas().SetPixel(1, 0, clYellow);
    b.Canvas().SetPixel(2, 0, clRed);
    auto mask = b.CreateMask(clRed);
    EXPECT_TRUE(mask->Monochrome());
    EXPECT_EQ(mask->Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(mask->Canvas().Pixel(1, 0), clBlack);
    EXPECT_EQ(mask->Canvas().Pixel(2, 0), clWhite);
    EXPECT_EQ(mask->Canvas().Pixel(3, 0), clBlack);
    EXPECT_EQ(b.Canvas().Pixel(0, 0), clRed);  // the original is unchanged
    // Drawing in colour on a monochrome bitmap gives the nearer of black and white.
    TBitmap mono;
    Blank(mono, 2, 1);
    mono.SetMonochrome(true);
    mono.Canvas().SetPixel(0, 0, clYellow);
    mono.Canvas().SetPixel(1, 0, clNavy);
    EXPECT_EQ(mono.Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(mono.Canvas().Pixel(1, 0), clBlack);
    EXPECT_EQ(mono.PixelFormat(), pf1bit);
}

TEST_F(Graphics, ResizingKeepsTheTopLeftAndNewAreaIsWhite) {
    TBitmap b;
    Blank(b, 2, 2);
    b.Canvas().SetPixel(1, 1, clRed);
    b.SetSize(4, 3);
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_EQ(b.Canvas().Pixel(1, 1), clRed);
    EXPECT_EQ(b.Canvas().Pixel(3, 2), clWhite);
    b.SetSize(0, 5);
    EXPECT_TRUE(b.Empty());
}

TEST_F(Graphics, BitmapRoundTripsThroughAStreamAndRefusesGarbage) {
    TBitmap b;
    Blank(b, 5, 4);
    b.Canvas().SetPixel(4, 3, clTeal);
    plat::MemoryStream s;
    b.SaveToStream(s);
    EXPECT_EQ(s.DataString().substr(0, 2), "BM");
    s.SetPosition(0);
    TBitmap c;
    c.LoadFromStream(s);
    EXPECT_EQ(c.Width(), 5);
    EXPECT_EQ(c.Canvas().Pixel(4, 3), clTeal);
    plat::MemoryStream junk(std::string("BM\x10\x00\x00\x00garbage", 13));
    EXPECT_THROW(c.LoadFromStream(junk), plat::EReadError);
    EXPECT_EQ(c.Width(), 5);  // unchanged after the failure
}

TEST_F(Graphics, PictureLoadsCorpusBitmapAndReportsMissingFiles) {
    TAVRIN_REQUIRE_CORPUS();
    auto path = testsupport::CorpusFile("hpj/ddablib-dropfiles/TPJDropFiles.bmp");
    TPicture pic;
    int changes = 0;
    pic.OnChange = [&](TObject*) { ++changes; };
    pic.LoadFromFile(path.string());
    ASSERT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.Width(), 30);
    EXPECT_EQ(pic.Height(), 30);
    EXPECT_GE(changes, 1);
    EXPECT_THROW(pic.LoadFromFile("/nonexistent/x.bmp"), plat::EFOpenError);
    EXPECT_EQ(pic.Width(), 30);
    testsupport::TempDir dir;
    auto bad = dir / "bad.bmp";
    testsupport::WriteFileBytes(bad, "not a picture");
    EXPECT_THROW(pic.LoadFromFile(bad.string()), plat::EReadError);
    EXPECT_EQ(pic.Width(), 30);
    // An icon file becomes an icon.
    TIcon icon;
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::red);
    icon.SetImage(img);
    auto ico = dir / "a.ico";
    icon.SaveToFile(ico.string());
    pic.LoadFromFile(ico.string());
    ASSERT_NE(dynamic_cast<TIcon*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.Width(), 16);
    // Bitmap() replaces the icon by an empty bitmap.
    EXPECT_TRUE(pic.Bitmap().Empty());
}

// Projects name their pictures with drive letters, "\" and any letter case.
TEST_F(Graphics, PicturesAreFoundByTheNamesDocumentsGiveThem) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "Help" / "Pics");
    plat::SetDriveRoot('q', dir.path().string());
    TBitmap b;
    Blank(b, 7, 4);
    b.SaveToFile("Q:\\Help\\Pics\\Logo.bmp");
    EXPECT_TRUE(std::filesystem::exists(dir / "Help" / "Pics" / "Logo.bmp"));
    for (const char* name : {"Q:\\Help\\Pics\\Logo.bmp", "q:\\HELP\\pics\\LOGO.BMP", "Q:/help/pics/logo.bmp"}) {
        TPicture pic;
        pic.LoadFromFile(name);
        EXPECT_EQ(pic.Width(), 7) << name;
    }
    plat::SetDriveRoot('q', "");
}

}  // namespace
