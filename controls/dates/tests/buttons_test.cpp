#include "controls/dates/zb_ctrls.h"
#include "controls/dates/zb_utils.h"

#include "platform/core/clock.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

using namespace gui;
using namespace zb;

namespace {

std::unique_ptr<TBitmap> Filled(int w, int h, TColor c) {
    auto b = std::make_unique<TBitmap>(w, h);
    b->Canvas().Brush().SetColor(c);
    b->Canvas().FillRect(Rect(0, 0, w, h));
    return b;
}

TEST(DrawingHelpers, CheckerboardPattern) {
    auto b = CreateTwoColorsBrushPattern(clRed, clBlue);
    ASSERT_EQ(b->Width(), 8);
    ASSERT_EQ(b->Height(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(b->Canvas().Pixel(x, y), (x % 2) == (y % 2) ? clBlue : clRed) << x << "," << y;
}

TEST(DrawingHelpers, TransparentStretchLeavesTheKeyColour) {
    // Source 2 x 2: red, fuchsia / fuchsia, blue; doubled onto green.
    auto src = Filled(2, 2, clFuchsia);
    src->Canvas().SetPixel(0, 0, clRed);
    src->Canvas().SetPixel(1, 1, clBlue);
    auto dest = Filled(6, 6, clGreen);
    StretchBltTransparent(dest->Canvas(), 1, 1, 4, 4, *src, Rect(0, 0, 2, 2), clFuchsia);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            TColor want = clGreen;
            if (x >= 1 && x < 3 && y >= 1 && y < 3) want = clRed;
            if (x >= 3 && x < 5 && y >= 3 && y < 5) want = clBlue;
            EXPECT_EQ(dest->Canvas().Pixel(x, y), want) << x << "," << y;
        }
    // The source itself is unchanged, and clNone draws opaque.
    EXPECT_EQ(src->Canvas().Pixel(1, 0), clFuchsia);
    DrawTransparentBitmap(dest->Canvas(), 0, 0, *src, clNone);
    EXPECT_EQ(dest->Canvas().Pixel(1, 0), clFuchsia);
}

TEST(DrawingHelpers, DisabledBitmapIsEmbossed) {
    auto src = Filled(4, 3, clFuchsia);
    src->Canvas().SetPixel(1, 1, clRed);
    auto d = CreateDisabledBitmap(*src, clFuchsia);
    const TColor face = ColorToRGB(clBtnFace), shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            TColor want = face;
            if (x == 1 && y == 1) want = shadow;
            if (x == 2 && y == 2) want = light;
            EXPECT_EQ(d->Canvas().Pixel(x, y), want) << x << "," << y;
        }
}

TEST(ButtonGlyph, NumGlyphsFromTheShape) {
    struct Case { int w, h, n; } cases[] = {{64, 16, 4}, {100, 16, 1}, {16, 16, 1}, {96, 16, 1}, {80, 16, 5}, {0, 0, 1}};
    for (const auto& c : cases) {
        TZbButtonGlyph g;
        g.SetGlyph(*Filled(c.w, c.h, clRed));
        EXPECT_EQ(g.NumGlyphs(), c.n) << c.w << "x" << c.h;
    }
}

TEST(ButtonGlyph, InactiveImageColours) {
    auto bmp = Filled(7, 1, clFuchsia);
    const TColor in[7] = {clBlack, clWhite, clFuchsia, clNavy, RGB(100, 100, 100), RGB(200, 100, 90), RGB(129, 128, 128)};
    for (int x = 0; x < 7; ++x) bmp->Canvas().SetPixel(x, 0, in[x]);
    bmp->Canvas().SetPixel(2, 0, clFuchsia);
    TZbButtonGlyph g;
    g.SetGlyph(*bmp);
    ASSERT_EQ(g.TransparentColor(), clBlack);  // the bottom-left pixel
    // With the key colour fuchsia, as a glyph from a resource would have it.
    auto bmp2 = Filled(8, 1, clFuchsia);
    for (int x = 0; x < 7; ++x) bmp2->Canvas().SetPixel(x + 1, 0, in[x]);
    g.SetGlyph(*bmp2);
    g.SetNumGlyphs(1);
    ASSERT_EQ(g.TransparentColor(), clFuchsia);
    TBitmap* img = g.Image(g.CreateButtonGlyph(zbsInactive));
    ASSERT_NE(img, nullptr);
    const TColor shadow = ColorToRGB(clBtnShadow), face = ColorToRGB(clBtnFace);
    const TColor want[8] = {clFuchsia, clBlack, clWhite, clFuchsia, clBlack, shadow, face, face};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(img->Canvas().Pixel(x, 0), want[x]) << x;
}

TEST(ButtonLayout, MarginAndSpacing) {
    const TRect client = Rect(0, 0, 100, 30);
    // Glyph and text 20 wide in 100 pixels.
    struct Case { TButtonLayout layout; int margin, spacing; int glyphX, textX; } cases[] = {
        {blGlyphLeft, -1, -1, 20, 60},  // margin = spacing = (100 - 40) div 3
        {blGlyphLeft, -1, 4, 28, 52},   // margin = 50 - (20 + 4 + 20) div 2
        {blGlyphLeft, 5, -1, 5, 52},    // spacing = (100 - 5 - 20) div 2 - 20 div 2 = 27
        {blGlyphRight, 5, 3, 75, 52},   // glyph at 100 - 5 - 20, text 3 before it
    };
    for (const auto& c : cases) {
        ButtonLayoutResult r = CalcButtonLayout(client, {20, 16}, {20, 10}, c.layout, c.margin, c.spacing, false);
        EXPECT_EQ(r.glyphPos.x, c.glyphX) << c.layout << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(r.textBounds.Left, c.textX) << c.layout << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(r.glyphPos.y, 7);
        EXPECT_EQ(r.textBounds.Top, 10);
    }
    // Top layout: vertical, centred across; no text means no spacing.
    ButtonLayoutResult top = CalcButtonLayout(Rect(0, 0, 40, 40), {16, 16}, {0, 0}, blGlyphTop, -1, 4, false);
    EXPECT_EQ(top.glyphPos.x, 12);
    EXPECT_EQ(top.glyphPos.y, 12);
    // The drop-down mark widens the text for a left glyph.
    ButtonLayoutResult mark = CalcButtonLayout(client, {20, 16}, {20, 10}, blGlyphLeft, 0, 0, true);
    EXPECT_EQ(mark.textBounds.Width(), 29);
}

class SpeedButtonTest : public guitest::GuiTest {};

TEST_F(SpeedButtonTest, GroupsAndAllowAllUp) {
    auto* a = new TZbSpeedButton(form);
    auto* b = new TZbSpeedButton(form);
    a->SetParent(form);
    b->SetParent(form);
    a->SetBounds(0, 0, 25, 25);
    b->SetBounds(30, 0, 25, 25);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    guitest::Click(a, {5, 5});
    EXPECT_TRUE(a->Down());
    guitest::Click(b, {5, 5});
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    guitest::Click(b, {5, 5});
    EXPECT_TRUE(b->Down()) << "the down one stays down without AllowAllUp";
    EXPECT_EQ(clicks, 2);
    b->SetAllowAllUp(true);
    EXPECT_TRUE(a->AllowAllUp()) << "the group shares AllowAllUp";
    guitest::Click(b, {5, 5});
    EXPECT_FALSE(b->Down());
    // Released outside: no toggle and no click.
    guitest::MouseDown(b, {5, 5});
    guitest::MouseUp(b, {50, 50});
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(clicks, 3);
}

class RecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    void Popup(int X, int Y) override {
        at = {X, Y};
        ++shown;
    }
    TPoint at{};
    int shown = 0;
};

TEST_F(SpeedButtonTest, DropDownMenuBelowTheButton) {
    auto* b = new TZbSpeedButton(form);
    b->SetParent(form);
    b->SetBounds(40, 30, 25, 25);
    auto* menu = new RecordingMenu(form);
    b->SetDropDownMenu(menu);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    guitest::Click(b, {3, 3});
    EXPECT_EQ(menu->shown, 1);
    const TPoint expect = b->ClientToScreen({0, 25});
    EXPECT_EQ(menu->at.x, expect.x);
    EXPECT_EQ(menu->at.y, expect.y);
    EXPECT_EQ(b->State(), zbsUp);
    EXPECT_EQ(clicks, 0) << "the menu took the press";
}

TEST_F(SpeedButtonTest, DisablingShowsTheDisabledGlyph) {
    auto* b = new TZbSpeedButton(form);
    b->SetParent(form);
    auto glyph = Filled(16, 16, clFuchsia);
    glyph->Canvas().SetPixel(4, 4, clRed);
    b->SetGlyph(*glyph);
    EXPECT_EQ(b->PaintState(), zbsUp);
    b->SetEnabled(false);
    EXPECT_EQ(b->PaintState(), zbsDisabled);
    TBitmap* img = b->ButtonGlyph().Image(b->ButtonGlyph().CreateButtonGlyph(zbsDisabled));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->Canvas().Pixel(4, 4), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img->Canvas().Pixel(5, 5), ColorToRGB(clBtnHighlight));
}

TEST_F(SpeedButtonTest, HoldingATimerButtonRepeats) {
    plat::FakeClock clock(1000);
    plat::ScopedClock scope(clock);
    auto* b = new TZbTimerSpeedButton(form);
    b->SetParent(form);
    b->SetBounds(0, 0, 20, 20);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    guitest::MouseDown(b, {5, 5});
    for (int ms = 0; ms < 1000; ms += 10) {
        clock.Advance(10);
        plat::ProcessMessages();
    }
    guitest::MouseUp(b, {5, 5});
    // One repeat at 500 ms, then at 600, 700, 800, 900 and 1000 ms, and the release's own click.
    EXPECT_EQ(clicks, 1 + 5 + 1);
    const int after = clicks;
    clock.Advance(1000);
    plat::ProcessMessages();
    EXPECT_EQ(clicks, after) << "the timer stops on release";
    b->SetAllowTimer(false);
    EXPECT_EQ(b->RepeatTimer(), nullptr);
}

}  // namespace

namespace {

TEST_F(SpeedButtonTest, FlatButtonLightsUpUnderTheMouse) {
    form->Show();
    guitest::WaitFor([&] { return form->Active(); }, 500);
    if (!form->Active()) GTEST_SKIP() << "the platform does not activate windows";
    auto* b = new TZbSpeedButton(form);
    b->SetParent(form);
    b->SetBounds(10, 10, 25, 25);
    auto* other = new TZbSpeedButton(form);
    other->SetParent(form);
    other->SetBounds(60, 10, 25, 25);
    auto glyph = std::make_unique<TBitmap>(16, 16);
    b->SetGlyph(*glyph);
    b->SetFlat(true);
    b->SetGrayedInactive(true);
    EXPECT_EQ(b->PaintState(), zbsInactive);
    guitest::MouseMove(b, {5, 5});
    EXPECT_TRUE(b->MouseInControl());
    EXPECT_EQ(b->PaintState(), zbsUp);
    guitest::MouseMove(other, {5, 5});
    EXPECT_FALSE(b->MouseInControl());
    EXPECT_EQ(b->PaintState(), zbsInactive);
}

TEST_F(SpeedButtonTest, TransparentButtonShowsTheParent) {
    form->Show();
    form->SetColor(clGreen);
    auto* b = new TZbSpeedButton(form);
    b->SetParent(form);
    b->SetBounds(20, 20, 30, 30);
    b->SetFlat(true);
    b->SetTransparent(true);
    TBitmap shot;
    guitest::Grab(form, shot);
    EXPECT_EQ(shot.Canvas().Pixel(35, 35), clGreen);
    TBitmap alone(30, 30);
    CopyParentImage(b, alone.Canvas());
    EXPECT_EQ(alone.Canvas().Pixel(15, 15), clGreen);
}

}  // namespace
