// Input, paint and notification messages of windowed and graphic controls.
#include "gui_fixture.h"

#include "platform/gui/std_controls.h"
#include "platform/win/message_queue.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <QWidget>

namespace guitest {
namespace {

using namespace gui;

class ControlMessages : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        rec = new Recorder(form);
        rec->SetParent(form);
        rec->SetBounds(10, 10, 200, 100);
        rec->SetTabStop(true);
        form->Show();
        ProcessEvents();
        rec->log.clear();
    }
    Recorder* rec = nullptr;
};

TEST_F(ControlMessages, CustomControlPaintsTextAndFrameIntoTheGrab) {
    TBitmap img;
    Grab(rec, img);
    ASSERT_EQ(img.Width(), 200);
    ASSERT_EQ(img.Height(), 100);
    TCanvas& c = img.Canvas();
    // The frame: every edge pixel navy; just inside it white.
    for (TPoint p : {Point(0, 0), Point(199, 0), Point(0, 99), Point(199, 99), Point(100, 0), Point(0, 50)})
        EXPECT_EQ(c.Pixel(p.x, p.y), clNavy) << p.x << "," << p.y;
    EXPECT_EQ(c.Pixel(1, 1), clWhite);
    // The text: dark pixels in the middle, none near the edges.
    int darkMiddle = 0, darkEdge = 0;
    for (int y = 1; y < 99; ++y)
        for (int x = 1; x < 199; ++x) {
            TColor px = c.Pixel(x, y);
            bool dark = GetRValue(px) < 96 && GetGValue(px) < 96 && GetBValue(px) < 96;
            if (!dark) continue;
            if (x > 70 && x < 130 && y > 30 && y < 70) ++darkMiddle;
            else ++darkEdge;
        }
    EXPECT_GT(darkMiddle, 30);
    EXPECT_EQ(darkEdge, 0);
}

struct KeyCase {
    const char* name;
    unsigned vk;
    TShiftState shift;
    int wantChar;  // -1: no WM_CHAR
    bool extended;
};

TEST_F(ControlMessages, KeysArriveAsKeyDownCharKeyUpWithWin32Parameters) {
    const KeyCase cases[] = {
        {"letter", 'A', 0, 'a', false},
        {"shifted letter", 'A', ssShift, 'A', false},
        {"digit", '7', 0, '7', false},
        {"ctrl+C", 'C', ssCtrl, 3, false},
        {"enter", VK_RETURN, 0, 13, false},
        {"backspace", VK_BACK, 0, 8, false},
        {"escape", VK_ESCAPE, 0, 27, false},
        {"left", VK_LEFT, 0, -1, true},
        {"delete", VK_DELETE, 0, -1, true},
        {"F5", VK_F1 + 4, 0, -1, false},
        {"page down", VK_NEXT, ssShift, -1, true},
    };
    for (const KeyCase& k : cases) {
        SCOPED_TRACE(k.name);
        rec->log.clear();
        SendKey(rec, k.vk, k.shift);
        auto downs = rec->Of(WM_KEYDOWN);
        auto ups = rec->Of(WM_KEYUP);
        auto chars = rec->Of(WM_CHAR);
        ASSERT_EQ(downs.size(), 1u);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(downs[0].WParam, k.vk);
        EXPECT_EQ(ups[0].WParam, k.vk);
        // Repeat count 1; bit 24 for the extended keys; key-up carries bits 30 and 31.
        EXPECT_EQ(downs[0].LParam & 0xFFFF, 1);
        EXPECT_EQ((downs[0].LParam >> 24) & 1, k.extended ? 1 : 0);
        EXPECT_EQ((downs[0].LParam >> 30) & 3, 0);
        EXPECT_EQ((static_cast<std::uint32_t>(ups[0].LParam) >> 30) & 3, 3u);
        if (k.wantChar < 0) {
            EXPECT_TRUE(chars.empty());
        } else {
            ASSERT_EQ(chars.size(), 1u);
            EXPECT_EQ(chars[0].WParam, static_cast<WPARAM>(k.wantChar));
        }
        // Down, then char, then up.
        auto all = rec->Messages();
        EXPECT_EQ(all.front(), WM_KEYDOWN);
        EXPECT_EQ(all.back(), WM_KEYUP);
    }
}

TEST_F(ControlMessages, KeyStateDuringAMessageIsThatOfItsInputEvent) {
    bool shiftDown = false;
    TShiftState seen = 0;
    rec->OnKeyDown = [&](TObject*, unsigned&, TShiftState s) {
        seen = s;
        shiftDown = GetKeyState(VK_SHIFT) < 0;
    };
    SendKey(rec, 'B', ssShift | ssCtrl);
    EXPECT_TRUE(shiftDown);
    EXPECT_EQ(seen, ssShift | ssCtrl);
    SendKey(rec, 'B');
    EXPECT_FALSE(shiftDown);
    EXPECT_EQ(seen, 0u);
    TShiftState mouse = 0;
    rec->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) { mouse = s; };
    Click(rec, Point(3, 3), mbLeft, ssCtrl);
    EXPECT_EQ(mouse, ssLeft | ssCtrl);
}

TEST_F(ControlMessages, TypedAnsiTextArrivesAsWindows1252Characters) {
    TypeText(rec, "a\xE9\x80");  // a, e-acute, euro sign
    auto chars = rec->Of(WM_CHAR);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].WParam, WPARAM('a'));
    EXPECT_EQ(chars[1].WParam, WPARAM(0xE9));
    EXPECT_EQ(chars[2].WParam, WPARAM(0x80));
}

struct MouseCase {
    const char* name;
    TMouseButton button;
    TShiftState shift;
    UINT down, up;
    WPARAM downFlags;
};

TEST_F(ControlMessages, ClicksArriveWithButtonFlagsAndClientCoordinates) {
    const MouseCase cases[] = {
        {"left", mbLeft, 0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
        {"right", mbRight, 0, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
        {"middle", mbMiddle, 0, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
        {"shift left", mbLeft, ssShift, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_SHIFT},
        {"ctrl shift left", mbLeft, ssShift | ssCtrl, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_SHIFT | MK_CONTROL},
    };
    for (const MouseCase& mc : cases) {
        SCOPED_TRACE(mc.name);
        rec->log.clear();
        Click(rec, Point(37, 61), mc.button, mc.shift);
        auto downs = rec->Of(mc.down);
        auto ups = rec->Of(mc.up);
        ASSERT_EQ(downs.size(), 1u);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(downs[0].WParam, mc.downFlags);
        EXPECT_EQ(downs[0].LParam, MAKELPARAM(37, 61));
        // The released button is no longer down in the up message.
        EXPECT_EQ(ups[0].WParam, mc.downFlags & ~(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
        EXPECT_EQ(ups[0].LParam, MAKELPARAM(37, 61));
    }
}

TEST_F(ControlMessages, DoubleClickGivesDownUpDblClkUpAndOneClickOneDblClick) {
    int clicks = 0, dbl = 0;
    std::vector<TShiftState> downShifts;
    rec->OnClick = [&](TObject*) { ++clicks; };
    rec->OnDblClick = [&](TObject*) { ++dbl; };
    rec->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) { downShifts.push_back(s); };
    DoubleClick(rec, Point(5, 6));
    std::vector<UINT> mouse;
    for (UINT m : rec->Messages())
        if (m != WM_MOUSEMOVE) mouse.push_back(m);
    EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(dbl, 1);
    ASSERT_EQ(downShifts.size(), 2u);
    EXPECT_FALSE(downShifts[0] & ssDouble);
    EXPECT_TRUE(downShifts[1] & ssDouble);
}

TEST_F(ControlMessages, WheelArrivesAsMouseWheelWithSignedDelta) {
    QWidget* w = rec->Widget();
    for (int delta : {120, -240}) {
        rec->log.clear();
        QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w, &e);
        auto wheels = rec->Of(WM_MOUSEWHEEL);
        ASSERT_EQ(wheels.size(), 1u);
        EXPECT_EQ(static_cast<std::int16_t>(HIWORD(wheels[0].WParam)), delta);
        EXPECT_EQ(LOWORD(wheels[0].WParam), static_cast<int>(MK_CONTROL));
    }
}

TEST_F(ControlMessages, WithoutDoubleClicksInItsStyleAControlGetsASecondPress) {
    rec->ControlStyle &= ~csDoubleClicks;
    DoubleClick(rec, Point(5, 6));
    EXPECT_EQ(rec->Of(WM_LBUTTONDOWN).size(), 2u);
    EXPECT_TRUE(rec->Of(WM_LBUTTONDBLCLK).empty());
}

TEST_F(ControlMessages, ReleaseOutsideClicksNotButCaptureKeepsTheMessages) {
    int clicks = 0;
    rec->OnClick = [&](TObject*) { ++clicks; };
    MouseDown(rec, Point(20, 20));
    EXPECT_TRUE(rec->MouseCapture());
    // The mouse leaves the control over the form; capture keeps sending to the control.
    MouseMove(form, Point(290, 180));
    MouseUp(form, Point(290, 180));
    auto moves = rec->Of(WM_MOUSEMOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(GET_X_LPARAM(moves.back().LParam), 280);  // form point minus the control's left
    auto ups = rec->Of(WM_LBUTTONUP);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(ups[0].LParam), 280);
    EXPECT_EQ(GET_Y_LPARAM(ups[0].LParam), 170);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(rec->MouseCapture());
}

TEST_F(ControlMessages, SentAndPostedMessagesReachTheControlUnhandledOnesGetDefault) {
    HWND h = rec->Handle();
    ASSERT_NE(h, 0u);
    EXPECT_EQ(FindControl(h), rec);
    plat::SendMessage(h, WM_USER + 5, 11, 22);
    ASSERT_EQ(rec->Of(WM_USER + 5).size(), 1u);
    EXPECT_EQ(rec->Of(WM_USER + 5)[0].WParam, 11u);
    EXPECT_TRUE(plat::PostMessage(h, WM_USER + 6, 33, 44));
    EXPECT_TRUE(rec->Of(WM_USER + 6).empty());  // posted: not yet
    ASSERT_TRUE(WaitFor([&] { return !rec->Of(WM_USER + 6).empty(); }));
    EXPECT_EQ(rec->Of(WM_USER + 6)[0].LParam, 44);
    // Nobody handles it: the default answer.
    EXPECT_EQ(rec->Perform(WM_USER + 7, 0, 0), 0);
}

TEST_F(ControlMessages, GraphicControlGetsMouseInItsOwnCoordinatesAndItsOwnClick) {
    auto* shape = new TShape(form);
    shape->SetParent(form);
    shape->SetBounds(220, 20, 40, 40);
    int shapeClicks = 0, formClicks = 0;
    TPoint at{-1, -1};
    shape->OnClick = [&](TObject*) { ++shapeClicks; };
    shape->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) { at = {x, y}; };
    form->OnClick = [&](TObject*) { ++formClicks; };
    Click(form, Point(230, 35));
    EXPECT_EQ(shapeClicks, 1);
    EXPECT_EQ(formClicks, 0);
    EXPECT_EQ(at, Point(10, 15));
    Click(form, Point(300, 200));
    EXPECT_EQ(formClicks, 1);
}

TEST_F(ControlMessages, FocusChangesSendExitAndEnterAndTellTheScreen) {
    auto* other = new Recorder(form);
    other->SetParent(form);
    other->SetBounds(10, 120, 100, 50);
    other->SetTabStop(true);
    std::vector<std::string> events;
    Screen->OnActiveControlChange = [&](TObject*) {
        events.push_back(std::string("screen:") + (Screen->ActiveControl() == rec ? "rec" : "other"));
    };
    rec->OnEnter = [&](TObject*) { events.push_back("rec enter"); };
    rec->OnExit = [&](TObject*) { events.push_back("rec exit"); };
    other->OnEnter = [&](TObject*) { events.push_back("other enter"); };
    rec->SetFocus();
    ProcessEvents();
    EXPECT_EQ(form->ActiveControl(), rec);
    EXPECT_TRUE(rec->Focused());
    events.clear();
    rec->log.clear();
    other->SetFocus();
    ProcessEvents();
    EXPECT_EQ(form->ActiveControl(), other);
    EXPECT_EQ(Screen->ActiveControl(), other);
    EXPECT_EQ(events, (std::vector<std::string>{"rec exit", "screen:other", "other enter"}));
    EXPECT_EQ(rec->Of(CM_EXIT).size(), 1u);
    EXPECT_EQ(other->Of(CM_ENTER).size(), 1u);
    // The window-level focus messages come from Qt's focus events.
    EXPECT_EQ(other->Of(WM_SETFOCUS).size(), 1u);
    ASSERT_EQ(rec->Of(WM_KILLFOCUS).size(), 1u);
    EXPECT_EQ(rec->Of(WM_KILLFOCUS)[0].WParam, other->Handle());
    Screen->OnActiveControlChange = nullptr;
}

TEST_F(ControlMessages, TabMovesTheFocusInTabOrderUnlessTheControlWantsTabs) {
    auto* second = new Recorder(form);
    second->SetParent(form);
    second->SetBounds(10, 120, 100, 50);
    second->SetTabStop(true);
    auto* skipped = new Recorder(form);  // not a tab stop
    skipped->SetParent(form);
    skipped->SetBounds(120, 120, 50, 50);
    skipped->SetTabOrder(1);
    rec->SetFocus();
    SendKey(rec, VK_TAB);
    EXPECT_EQ(form->ActiveControl(), second);
    EXPECT_TRUE(rec->Of(WM_CHAR).empty());  // the form took the key
    SendKey(second, VK_TAB, ssShift);
    EXPECT_EQ(form->ActiveControl(), rec);
    // A control that asks for tabs keeps them and gets the character.
    rec->dlgCode = DLGC_WANTTAB;
    rec->log.clear();
    SendKey(rec, VK_TAB);
    EXPECT_EQ(form->ActiveControl(), rec);
    ASSERT_EQ(rec->Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(rec->Of(WM_CHAR)[0].WParam, WPARAM(9));
}

TEST_F(ControlMessages, KeyPreviewLetsTheFormSeeAndSwallowKeysFirst) {
    std::vector<unsigned> formKeys;
    form->KeyPreview = true;
    form->OnKeyDown = [&](TObject*, unsigned& key, TShiftState) {
        formKeys.push_back(key);
        if (key == VK_F1 + 1) key = 0;  // F2 is the form's
    };
    std::vector<unsigned> ctlKeys;
    rec->OnKeyDown = [&](TObject*, unsigned& key, TShiftState) { ctlKeys.push_back(key); };
    SendKey(rec, VK_F1 + 1);
    SendKey(rec, VK_F1 + 2);
    EXPECT_EQ(formKeys, (std::vector<unsigned>{VK_F1 + 1, VK_F1 + 2}));
    EXPECT_EQ(ctlKeys, (std::vector<unsigned>{VK_F1 + 2}));
    form->KeyPreview = false;
    SendKey(rec, VK_F1 + 1);
    EXPECT_EQ(formKeys.size(), 2u);
    EXPECT_EQ(ctlKeys.back(), VK_F1 + 1);
}

TEST_F(ControlMessages, FontChangesNotifyAndChildrenFollowTheParentFont) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* child = new Recorder(form);
    child->SetParent(panel);
    child->log.clear();
    panel->Font().SetName("Courier New");
    panel->Font().SetSize(12);
    EXPECT_EQ(child->Font().Name(), "Courier New");
    EXPECT_EQ(child->Font().Size(), 12);
    EXPECT_TRUE(child->ParentFont());
    EXPECT_FALSE(child->Of(CM_PARENTFONTCHANGED).empty());
    // A font of its own stops the following, and says so with CM_FONTCHANGED.
    child->log.clear();
    child->Font().SetStyle(fsBold);
    EXPECT_FALSE(child->ParentFont());
    EXPECT_EQ(child->Of(CM_FONTCHANGED).size(), 1u);
    panel->Font().SetSize(20);
    EXPECT_EQ(child->Font().Size(), 12);
}

TEST_F(ControlMessages, TextMessagesReadAndWriteTheCaptionWithinTheBuffer) {
    HWND h = rec->Handle();
    std::string text = "Caption \xE9";
    EXPECT_EQ(plat::SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())), 1);
    EXPECT_EQ(rec->Caption(), text);
    EXPECT_EQ(rec->Of(CM_TEXTCHANGED).size(), 1u);
    EXPECT_EQ(plat::SendMessage(h, WM_GETTEXTLENGTH, 0, 0), 9);
    char buf[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    // Room for five characters and the terminating NUL: the rest is cut, nothing overruns.
    EXPECT_EQ(plat::SendMessage(h, WM_GETTEXT, 6, reinterpret_cast<LPARAM>(buf)), 5);
    EXPECT_STREQ(buf, "Capti");
    EXPECT_EQ(plat::SendMessage(h, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buf)), 0);
}

TEST_F(ControlMessages, Ctl3DChangeReachesChildrenThatFollowTheirParent) {
    auto* child = new Recorder(form);
    child->SetParent(rec);
    auto* own = new Recorder(form);
    own->SetParent(rec);
    own->SetCtl3D(true);  // its own setting from now on
    child->log.clear();
    own->log.clear();
    rec->SetCtl3D(false);
    EXPECT_EQ(rec->Of(CM_CTL3DCHANGED).size(), 1u);
    EXPECT_FALSE(child->Ctl3D());
    EXPECT_EQ(child->Of(CM_CTL3DCHANGED).size(), 1u);
    EXPECT_TRUE(own->Ctl3D());
    EXPECT_TRUE(own->Of(CM_CTL3DCHANGED).empty());
}

TEST_F(ControlMessages, SizeMessageCarriesTheClientSize) {
    rec->SetBounds(10, 10, 150, 70);
    auto sizes = rec->Of(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().LParam, MAKELPARAM(150, 70));
    rec->log.clear();
    rec->SetBounds(20, 20, 150, 70);  // a move alone is no resize
    EXPECT_TRUE(rec->Of(WM_SIZE).empty());
}

TEST_F(ControlMessages, AlignedChildrenFillThePanelInsideItsBevels) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelInner(bvLowered);
    panel->SetBevelWidth(2);
    panel->SetBorderWidth(1);  // inset 1 + 2 + 2 = 5
    auto* top = new TPanel(form);
    top->SetParent(panel);
    top->SetHeight(20);
    top->SetAlign(alTop);
    auto* left = new TPanel(form);
    left->SetParent(panel);
    left->SetWidth(30);
    left->SetAlign(alLeft);
    auto* client = new TPanel(form);
    client->SetParent(panel);
    client->SetAlign(alClient);
    EXPECT_EQ(top->BoundsRect(), Rect(5, 5, 195, 25));
    EXPECT_EQ(left->BoundsRect(), Rect(5, 25, 35, 95));
    EXPECT_EQ(client->BoundsRect(), Rect(35, 25, 195, 95));
    panel->SetWidth(300);
    EXPECT_EQ(client->BoundsRect(), Rect(35, 25, 295, 95));
    top->Hide();
    EXPECT_EQ(left->BoundsRect(), Rect(5, 5, 35, 95));
}

TEST_F(ControlMessages, ScrollBarActionsBecomeScrollMessages) {
    rec->SetScrollRange(SB_VERT, 0, 1000);
    rec->SetScrollPos(SB_VERT, 250);
    EXPECT_EQ(rec->GetScrollPos(SB_VERT), 250);
    EXPECT_EQ(rec->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));
    auto* bar = rec->Widget()->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    rec->log.clear();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    auto scrolls = rec->Of(WM_VSCROLL);
    ASSERT_GE(scrolls.size(), 1u);
    EXPECT_EQ(LOWORD(scrolls[0].WParam), SB_LINEDOWN);
    // The window decides where to scroll: the position stays until it sets one.
    EXPECT_EQ(rec->GetScrollPos(SB_VERT), 250);
    EXPECT_EQ(LOWORD(scrolls.back().WParam), SB_ENDSCROLL);
    rec->SetScrollRange(SB_VERT, 0, 0);
    EXPECT_EQ(rec->ClientWidth(), 200);
}

// Where the thumb of `bar` is, in the bar's coordinates.
QRect ThumbOf(QScrollBar* bar) {
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    if (opt.orientation == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// A position the window sets is shown and is no request to scroll; only the
// user's own drag of the thumb reports a track.
TEST_F(ControlMessages, PositionsSetByTheWindowAreNoScrollRequests) {
    rec->SetScrollRange(SB_VERT, 0, 1000);
    rec->SetScrollRange(SB_HORZ, 0, 50);
    rec->log.clear();
    rec->SetScrollPos(SB_VERT, 250);
    rec->SetScrollPos(SB_HORZ, 20);
    rec->SetScrollPos(SB_VERT, 900);
    EXPECT_TRUE(rec->Of(WM_VSCROLL).empty());
    EXPECT_TRUE(rec->Of(WM_HSCROLL).empty());
    QScrollBar* bar = nullptr;
    for (auto* b : rec->Widget()->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Vertical) bar = b;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 900);
    EXPECT_EQ(rec->GetScrollPos(SB_VERT), 900);

    // The user drags the thumb up by a third of the bar.
    const QRect thumb = ThumbOf(bar);
    ASSERT_TRUE(thumb.isValid());
    const QPoint from = thumb.center(), to = from - QPoint(0, bar->height() / 3);
    SendMouse(bar, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(bar, QEvent::MouseMove, to, Qt::LeftButton);
    auto scrolls = rec->Of(WM_VSCROLL);
    ASSERT_FALSE(scrolls.empty());
    EXPECT_EQ(LOWORD(scrolls.back().WParam), SB_THUMBTRACK);
    EXPECT_LT(HIWORD(scrolls.back().WParam), 900);
    // The window answers the track by setting the position: no new request.
    const std::size_t before = rec->Of(WM_VSCROLL).size();
    rec->SetScrollPos(SB_VERT, HIWORD(scrolls.back().WParam));
    EXPECT_EQ(rec->Of(WM_VSCROLL).size(), before);
    SendMouse(bar, QEvent::MouseButtonRelease, to, Qt::NoButton);
    scrolls = rec->Of(WM_VSCROLL);
    ASSERT_GE(scrolls.size(), 2u);
    EXPECT_EQ(LOWORD(scrolls[scrolls.size() - 2].WParam), SB_THUMBPOSITION);
    EXPECT_EQ(LOWORD(scrolls.back().WParam), SB_ENDSCROLL);
}

TEST_F(ControlMessages, CanvasDrawingOutsidePaintStaysUntilTheNextRepaint) {
    Grab(rec, *std::make_unique<TBitmap>());  // paint once
    int paints = rec->paints;
    rec->Canvas().Brush().SetColor(clRed);
    rec->Canvas().FillRect(Rect(50, 40, 60, 50));
    TBitmap img;
    rec->PaintTo(img);  // no invalidation: shows the buffer as drawn
    EXPECT_EQ(img.Canvas().Pixel(55, 45), clRed);
    EXPECT_EQ(rec->paints, paints);
    rec->Invalidate();
    rec->PaintTo(img);
    EXPECT_EQ(img.Canvas().Pixel(55, 45), clWhite);
    EXPECT_GT(rec->paints, paints);
}

TEST_F(ControlMessages, ScrollWindowMovesThePictureAndRepaintsOnlyTheUncoveredStrip) {
    // A control that paints a counter-coloured band where it is asked to.
    TBitmap img;
    Grab(rec, img);
    rec->Canvas().Brush().SetColor(clRed);
    rec->Canvas().FillRect(Rect(20, 20, 30, 30));  // drawn outside a paint
    int paints = rec->paints;
    // Scroll inside the frame, as a text view does.
    TRect inner = Rect(1, 1, 199, 99);
    rec->ScrollWindow(0, -10, &inner);
    rec->PaintTo(img);
    TCanvas& c = img.Canvas();
    EXPECT_EQ(c.Pixel(25, 15), clRed);  // moved up by 10
    EXPECT_EQ(c.Pixel(25, 25), clWhite);
    EXPECT_EQ(rec->paints, paints + 1);  // the uncovered strip was repainted
    EXPECT_EQ(c.Pixel(100, 89), clWhite);
    EXPECT_EQ(c.Pixel(100, 99), clNavy);  // the frame stayed
    EXPECT_EQ(c.Pixel(0, 50), clNavy);
    // Scrolling the whole window moves the frame's edge too, as on Win32;
    // only the uncovered strip is painted again.
    rec->ScrollWindow(0, -10);
    rec->PaintTo(img);
    EXPECT_EQ(img.Canvas().Pixel(100, 89), clNavy);
    EXPECT_EQ(img.Canvas().Pixel(100, 99), clNavy);
    EXPECT_EQ(img.Canvas().Pixel(25, 5), clRed);
    // Down again inside the frame: the band moves down, the strip at the top is painted.
    rec->ScrollWindow(0, 10, &inner);
    rec->PaintTo(img);
    EXPECT_EQ(img.Canvas().Pixel(25, 15), clRed);
    EXPECT_EQ(img.Canvas().Pixel(25, 25), clWhite);  // moved, not smeared
    EXPECT_EQ(img.Canvas().Pixel(25, 5), clWhite);
    EXPECT_EQ(img.Canvas().Pixel(25, 0), clRed);  // the row outside the frame stayed
}

TEST_F(ControlMessages, DestroyedControlsHandleIsGoneAndMessagesToItAreDropped) {
    HWND h = rec->Handle();
    delete rec;
    rec = nullptr;
    EXPECT_FALSE(plat::IsWindow(h));
    EXPECT_EQ(FindControl(h), nullptr);
    EXPECT_EQ(plat::SendMessage(h, WM_USER, 0, 0), 0);
    EXPECT_EQ(form->ControlCount(), 0);
}

}  // namespace
}  // namespace guitest
