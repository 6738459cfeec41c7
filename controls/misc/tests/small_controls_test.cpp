#include "controls/misc/handles.h"
#include "controls/misc/small_controls.h"

#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

using namespace gui;
using namespace misc;

namespace {

class SmallControlsTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        guitest::GuiTest::SetUp();
        form->Show();
    }
};

TEST_F(SmallControlsTest, MeterClampsAndCountsSegments) {
    auto* m = new TW95Meter(form);
    m->SetParent(form);
    m->SetBounds(0, 0, 100, 18);
    m->SetPercent(150);
    EXPECT_EQ(m->Percent(), 100);
    // 10 segments at 100%, but only those whose right edge stays within 96.
    EXPECT_EQ(m->Segments().size(), 9u);
    EXPECT_EQ(m->Segments().back(), Rect(84, 4, 92, 14));
    struct Case { int percent; size_t count; } cases[] = {{0, 0}, {4, 0}, {5, 1}, {50, 5}, {74, 7}, {75, 8}};
    for (const auto& c : cases) {
        m->SetPercent(c.percent);
        EXPECT_EQ(m->Segments().size(), c.count) << c.percent;
    }
    m->SetPercent(-5);
    EXPECT_EQ(m->Percent(), 0);
    EXPECT_TRUE(m->Segments().empty());
    m->SetSegmentWidth(0);
    m->SetSegmentGap(-1);
    EXPECT_EQ(m->SegmentWidth(), 8);
    EXPECT_EQ(m->SegmentGap(), 2);
    // Pixels of the meter at 30%: three segments from x = 4, 10 apart, navy on the face.
    m->SetPercent(30);
    TBitmap shot;
    guitest::Grab(m, shot);
    const TColor face = ColorToRGB(clBtnFace);
    for (int x = 4; x < 40; ++x) {
        const bool inSegment = x < 34 && (x - 4) % 10 < 8;
        EXPECT_EQ(shot.Canvas().Pixel(x, 9), inSegment ? clNavy : face) << x;
    }
    EXPECT_EQ(shot.Canvas().Pixel(0, 0), ColorToRGB(clBtnShadow));  // lowered edge
}

TEST_F(SmallControlsTest, SplitterPanesDragAndCursor) {
    auto* s = new TTwoWaySplitter(form);
    s->SetParent(form);
    s->SetBevelOuter(bvNone);
    s->SetBounds(0, 0, 200, 100);
    auto* a = new TPanel(form);
    a->SetParent(s);
    s->ArrangePanes();
    EXPECT_EQ(a->BoundsRect(), Rect(0, 0, 98, 100));  // bar centred at 100, 5 wide
    auto* b = new TPanel(form);
    b->SetParent(s);
    auto* c = new TPanel(form);
    c->SetParent(s);
    c->SetBounds(1, 2, 3, 4);
    s->ArrangePanes();
    EXPECT_EQ(b->BoundsRect(), Rect(103, 0, 200, 100));
    EXPECT_EQ(c->BoundsRect(), Rect(1, 2, 4, 6)) << "a third child stays where it is";
    EXPECT_FALSE(s->AcceptsDrop());

    std::vector<int> moves;
    int ended = -1;
    s->OnSplitMove = [&](TObject*, int p) { moves.push_back(p); };
    s->OnBarPosition = [&](TObject*, int p) { ended = p; };
    guitest::MouseDown(s, {100, 50});
    EXPECT_TRUE(s->Dragging());
    guitest::MouseMove(s, {500, 50});
    // Clamped to 200 - 2 = 198: MulDiv(199, 100, 201) = 99.
    EXPECT_EQ(s->BarPosition(), 99);
    guitest::MouseMove(s, {-40, 50});
    EXPECT_EQ(s->BarPosition(), 1);  // at least 0 + 2 - 1: MulDiv(2, 100, 201)
    guitest::MouseUp(s, {-40, 50});
    EXPECT_FALSE(s->Dragging());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(moves, (std::vector<int>{99, 1}));
    s->SetBarPosition(150);
    EXPECT_EQ(s->BarPosition(), 100);
    s->SetBarPosition(-5);
    EXPECT_EQ(s->BarPosition(), 0);

    EXPECT_EQ(s->DragCursor(), crHSplit);
    s->SetSplitDirection(sdHorizontal);
    EXPECT_EQ(s->DragCursor(), crVSplit);
    s->SetSplitDirection(sdVertical);
    EXPECT_EQ(s->DragCursor(), crHSplit);
    s->SetDragCursor(crCross);
    s->SetSplitDirection(sdHorizontal);
    EXPECT_EQ(s->DragCursor(), crCross);
}

TEST_F(SmallControlsTest, StretchHandleBoundsSnapAndSizes) {
    auto* h = new TStretchHandle(form);
    EXPECT_THROW(
        try { h->Attach(form); } catch (const EBadChild& e) {
            EXPECT_STREQ(e.what(), "Handles can not be attached to a Form!");
            throw;
        },
        EBadChild);
    auto* p1 = new TPanel(form);
    p1->SetParent(form);
    p1->SetBounds(20, 30, 40, 50);
    auto* p2 = new TPanel(form);
    p2->SetParent(form);
    p2->SetBounds(100, 10, 10, 10);
    h->Attach(p1);
    EXPECT_TRUE(h->Visible());
    EXPECT_EQ(h->BoundsRect(), Rect(18, 28, 63, 83));  // 2 outside on the left/top, 3 on the right/bottom
    h->Attach(p2);
    EXPECT_EQ(h->BoundsRect(), Rect(18, 8, 113, 83));
    // Moving the handle moves what is attached.
    h->SetBounds(h->Left() + 5, h->Top() + 1, h->Width(), h->Height());
    EXPECT_EQ(p1->Left(), 25);
    EXPECT_EQ(p2->Top(), 11);
    // A control of another parent: the first ones are let go.
    auto* inner = new TPanel(form);
    inner->SetParent(p1);
    h->Attach(inner);
    EXPECT_EQ(h->ChildCount(), 1);
    EXPECT_EQ(h->Parent(), p1);
    h->Detach(inner);
    EXPECT_FALSE(h->Visible());
    EXPECT_EQ(h->Width(), 0);

    h->SetGridX(8);
    EXPECT_TRUE(h->SnapToGrid());
    EXPECT_EQ(h->Snap({15, 15}).x, 8);
    EXPECT_EQ(h->Snap({15, 15}).y, 15);
    const TRect r = Rect(10, 10, 50, 50);
    struct Case { int grab, dx, dy; TRect want; } cases[] = {
        {5, 10, 20, Rect(10, 10, 60, 70)}, {1, 100, 100, Rect(45, 45, 50, 50)},
        {4, -100, 0, Rect(10, 10, 15, 50)}, {2, 0, -5, Rect(10, 5, 50, 50)},
    };
    for (const auto& c : cases) EXPECT_EQ(TStretchHandle::SizedRect(r, c.grab, c.dx, c.dy), c.want) << c.grab;
}

TEST_F(SmallControlsTest, StretchHandleMovesAndSizesWithTheMouse) {
    auto* target = new TPanel(form);
    target->SetParent(form);
    target->SetBounds(40, 40, 60, 40);
    auto* h = new TStretchHandle(form);
    h->Attach(target);
    h->SetGridX(4);
    h->SetGridY(4);
    // A press inside the control moves it; positions snap down to the grid.
    guitest::MouseDown(h, {20, 20});
    guitest::MouseMove(h, {31, 27});
    guitest::MouseUp(h, {31, 27});
    EXPECT_EQ(target->BoundsRect(), Rect(48, 44, 108, 84));
    // Far to the top-left: the handle stays inside the parent.
    guitest::MouseDown(h, {20, 20});
    guitest::MouseUp(h, {-200, -200});
    EXPECT_EQ(h->Left(), 0);
    EXPECT_EQ(h->Top(), 0);
    EXPECT_EQ(target->Left(), 2);
    EXPECT_EQ(target->Top(), 2);
    // The bottom-right grab square sizes; never below 5 x 5.
    const TPoint corner{target->Width() + 2, target->Height() + 2};
    EXPECT_EQ(h->GrabAt(corner), 5);
    guitest::MouseDown(h, corner);
    guitest::MouseUp(h, {corner.x - 200, corner.y - 200});
    EXPECT_EQ(target->Width(), 5);
    EXPECT_EQ(target->Height(), 5);
    EXPECT_EQ(h->BoundsRect(), Rect(0, 0, 10, 10));
    h->Locked = true;
    guitest::MouseDown(h, {4, 4});
    guitest::MouseUp(h, {40, 40});
    EXPECT_EQ(target->Left(), 2) << "locked";
}

TEST_F(SmallControlsTest, ShadowPanelFollows) {
    auto* p = new TShadowPanel(form);
    p->SetParent(form);
    p->SetBounds(10, 20, 50, 40);
    EXPECT_EQ(p->Shadow()->Parent(), form);
    EXPECT_EQ(p->Shadow()->BoundsRect(), Rect(18, 28, 68, 68));
    p->SetShadowWidth(3);
    p->SetBounds(0, 0, 10, 10);
    EXPECT_EQ(p->Shadow()->BoundsRect(), Rect(3, 3, 13, 13));
}

TEST_F(SmallControlsTest, TiledBackgroundAndTransparentImage) {
    auto* panel = new TBkgdPanel(form);
    panel->SetParent(form);
    panel->SetBevelOuter(bvNone);
    panel->SetBounds(0, 0, 20, 10);
    panel->Background().SetSize(3, 2);
    panel->Background().Canvas().Brush().SetColor(clRed);
    panel->Background().Canvas().FillRect(Rect(0, 0, 3, 2));
    panel->Background().Canvas().SetPixel(0, 0, clBlue);
    TBitmap shot;
    guitest::Grab(panel, shot);
    for (auto [x, y] : {std::pair{0, 0}, {3, 2}, {18, 8}}) EXPECT_EQ(shot.Canvas().Pixel(x, y), clBlue) << x << "," << y;
    EXPECT_EQ(shot.Canvas().Pixel(1, 0), clRed);

    form->SetColor(clGreen);
    auto* img = new TTransImage(form);
    img->SetParent(form);
    img->SetBounds(40, 0, 10, 10);
    img->AutoSize = true;
    TBitmap picture(2, 2);
    picture.Canvas().Brush().SetColor(clWhite);
    picture.Canvas().FillRect(Rect(0, 0, 2, 2));
    picture.Canvas().SetPixel(1, 0, clRed);
    img->Bitmap().Assign(picture);  // white, the bottom-left pixel, is see-through
    EXPECT_EQ(img->Width(), 2);
    EXPECT_EQ(img->Mask().Image() != nullptr, true);
    EXPECT_EQ(const_cast<TBitmap&>(img->Mask()).Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(const_cast<TBitmap&>(img->Mask()).Canvas().Pixel(1, 0), clBlack);
    TBitmap formShot;
    guitest::Grab(form, formShot);
    const TPoint o{40, 0};
    EXPECT_EQ(formShot.Canvas().Pixel(o.x + 1, o.y), clRed);
    EXPECT_EQ(formShot.Canvas().Pixel(o.x, o.y), clGreen) << "the key colour shows the form";
}

}  // namespace
