// Buttons, check and radio boxes, speed-button groups and radio groups.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/buttons.h"
#include "platform/gui/grids.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

#include <algorithm>

namespace guitest {
namespace {

using namespace gui;

class Buttons : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        form->Show();
        ProcessEvents();
    }
    template <class T>
    T* Make(int left, int top) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetLeft(left);
        c->SetTop(top);
        return c;
    }
};

TEST_F(Buttons, ClickBySpaceAndMouseOnlyWhenReleasedInside) {
    auto* b = Make<TButton>(10, 10);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    Click(b, {5, 5});
    EXPECT_EQ(clicks, 1);
    // Pressed inside, released outside: no click.
    MouseDown(b, {5, 5});
    MouseMove(b, {200, 200}, ssLeft);
    MouseUp(b, {200, 200});
    EXPECT_EQ(clicks, 1);
    b->SetFocus();
    SendKey(b, VK_SPACE);
    EXPECT_EQ(clicks, 2);
}

TEST_F(Buttons, EnterAndEscReachDefaultAndCancelButtonsAndSetTheModalResult) {
    auto* ok = Make<TButton>(10, 10);
    auto* cancel = Make<TButton>(100, 10);
    auto* check = Make<TCheckBox>(10, 50);
    ok->Default = true;
    ok->ModalResult = mrOk;
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    int okClicks = 0, cancelClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    cancel->OnClick = [&](TObject*) { ++cancelClicks; };
    check->SetFocus();
    SendKey(check, VK_ESCAPE);
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(form->ModalResult(), mrCancel);
    SendKey(check, VK_RETURN);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
}

TEST_F(Buttons, AltAndTheCaptionsAcceleratorClicksTheButtonOrFocusesTheLabelsControl) {
    auto* save = Make<TButton>(10, 10);
    save->SetCaption("&Save");
    auto* check = Make<TCheckBox>(10, 40);
    check->SetCaption("Read &only");
    auto* edit = Make<TCheckBox>(10, 70);
    auto* label = Make<TLabel>(10, 100);
    label->SetCaption("&Name:");
    label->SetFocusControl(edit);
    int saves = 0;
    save->OnClick = [&](TObject*) { ++saves; };
    check->SetFocus();
    SendKey(check, 'S', ssAlt);
    EXPECT_EQ(saves, 1);
    SendKey(save, 'O', ssAlt);
    EXPECT_TRUE(check->Checked());
    SendKey(check, 'N', ssAlt);
    EXPECT_TRUE(edit->Focused());
    SendKey(edit, 'Q', ssAlt);  // no control has it: nothing happens
    EXPECT_EQ(saves, 1);
}

// A focused control that takes typed letters (a list-only combo searches its
// items, a grid starts editing its cell) leaves Alt+letter to the button.
TEST_F(Buttons, AltAndTheAcceleratorReachTheButtonPastAControlTakingLetters) {
    auto* next = Make<TButton>(10, 10);
    next->SetCaption("&Next");
    int clicks = 0;
    next->OnClick = [&](TObject*) { ++clicks; };
    auto* combo = Make<TComboBox>(10, 40);
    combo->SetStyle(csDropDownList);
    combo->Items().Add("Alpha");
    combo->Items().Add("Nothing");
    combo->SetItemIndex(0);
    auto* grid = Make<TStringGrid>(10, 80);
    grid->SetOptions(grid->Options() | goEditing);
    struct Case {
        TWinControl* focused;
        const char* name;
    } cases[] = {{combo, "list-only combo"}, {grid, "editable grid"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = clicks;
        c.focused->SetFocus();
        SendKey(c.focused, 'N', ssAlt);
        EXPECT_EQ(clicks, before + 1);
    }
    // The letter went to the button, not into the search or the cell.
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_FALSE(grid->EditorMode());
    // Plain letters still search the list.
    combo->SetFocus();
    SendKey(combo, 'N');
    EXPECT_EQ(combo->ItemIndex(), 1);
}

TEST_F(Buttons, BitBtnKindSetsCaptionResultAndDefaults) {
    auto* b = Make<TBitBtn>(10, 10);
    b->SetKind(bkCancel);
    EXPECT_EQ(b->Caption(), "Cancel");
    EXPECT_EQ(b->ModalResult, mrCancel);
    EXPECT_TRUE(b->Cancel);
    b->SetKind(bkYes);
    EXPECT_EQ(b->Caption(), "&Yes");
    EXPECT_EQ(b->ModalResult, mrYes);
    EXPECT_TRUE(b->Default);
}

TEST_F(Buttons, CheckBoxCyclesThroughGrayedOnlyWhenAllowedAndAnswersBmGetCheck) {
    auto* c = Make<TCheckBox>(10, 10);
    int clicks = 0;
    c->OnClick = [&](TObject*) { ++clicks; };
    Click(c, {5, 5});
    EXPECT_TRUE(c->Checked());
    Click(c, {5, 5});
    EXPECT_EQ(c->State(), cbUnchecked);
    c->AllowGrayed = true;
    c->SetChecked(true);
    Click(c, {5, 5});
    EXPECT_EQ(c->State(), cbGrayed);
    EXPECT_EQ(c->Perform(BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_INDETERMINATE));
    // Setting the same state again is no change and no click.
    int before = clicks;
    c->SetState(cbGrayed);
    EXPECT_EQ(clicks, before);
    EXPECT_EQ(clicks, 4);
}

// The focus rectangle of a check box goes round its caption: every pixel of
// the text lies inside it, none under its dotted lines.
TEST_F(Buttons, CheckBoxFocusRectangleGoesRoundItsCaption) {
    for (int height : {17, 20, 24}) {
        SCOPED_TRACE(height);
        auto* other = Make<TButton>(300, 10);
        auto* c = Make<TCheckBox>(10, 10);
        c->SetBounds(10, 10, 200, height);
        c->SetCaption(" &Show Tips at Startup");
        c->SetChecked(true);
        other->SetFocus();
        ProcessEvents();
        ASSERT_FALSE(c->Focused());
        TBitmap plain, focused;
        Grab(c, plain);
        c->SetFocus();
        ProcessEvents();
        ASSERT_TRUE(c->Focused());
        Grab(c, focused);
        const TColor face = ColorToRGB(c->Color());
        // The caption starts past the box: the first blank column after it.
        auto blankColumn = [&](int x) {
            for (int y = 0; y < height; ++y)
                if (plain.Canvas().Pixel(x, y) != face) return false;
            return true;
        };
        int textLeft = 0;
        while (textLeft < 200 && blankColumn(textLeft)) ++textLeft;
        while (textLeft < 200 && !blankColumn(textLeft)) ++textLeft;
        TRect text{1000, 1000, -1, -1}, dots{1000, 1000, -1, -1};
        auto grow = [](TRect& r, int x, int y) {
            r.Left = std::min(r.Left, x);
            r.Top = std::min(r.Top, y);
            r.Right = std::max(r.Right, x);
            r.Bottom = std::max(r.Bottom, y);
        };
        for (int y = 0; y < height; ++y)
            for (int x = textLeft; x < 200; ++x) {
                const TColor p = plain.Canvas().Pixel(x, y), f = focused.Canvas().Pixel(x, y);
                if (p != face) grow(text, x, y);
                if (p != f) grow(dots, x, y);
            }
        ASSERT_GE(text.Right, 0) << "no caption drawn";
        ASSERT_GE(dots.Right, 0) << "no focus rectangle drawn";
        EXPECT_LT(dots.Top, text.Top);
        EXPECT_GT(dots.Bottom, text.Bottom);
        EXPECT_LT(dots.Left, text.Left);
        EXPECT_GT(dots.Right, text.Right);
        delete c;
        delete other;
    }
}

TEST_F(Buttons, RadioButtonsInOneParentExcludeEachOther) {
    auto* a = Make<TRadioButton>(10, 10);
    auto* b = Make<TRadioButton>(10, 30);
    a->SetChecked(true);
    Click(b, {5, 5});
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
}

TEST_F(Buttons, SpeedButtonGroupKeepsOneDownUnlessAllUpIsAllowed) {
    auto* a = Make<TSpeedButton>(10, 10);
    auto* b = Make<TSpeedButton>(40, 10);
    auto* loose = Make<TSpeedButton>(70, 10);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    Click(a, {5, 5});
    EXPECT_TRUE(a->Down());
    Click(b, {5, 5});
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(clicks, 1);
    Click(b, {5, 5});  // the only down button stays down
    EXPECT_TRUE(b->Down());
    b->SetAllowAllUp(true);
    Click(b, {5, 5});
    EXPECT_FALSE(b->Down());
    // A button without a group never stays down.
    loose->SetDown(true);
    EXPECT_FALSE(loose->Down());
}

TEST_F(Buttons, SpeedButtonShowsTheGlyphPartOfItsState) {
    auto* s = Make<TSpeedButton>(10, 10);
    s->SetBounds(10, 10, 30, 30);
    // Two glyphs: red for up, blue for disabled.
    s->Glyph().SetSize(20, 10);
    s->Glyph().Canvas().Brush().SetColor(clRed);
    s->Glyph().Canvas().FillRect(Rect(0, 0, 10, 10));
    s->Glyph().Canvas().Brush().SetColor(clBlue);
    s->Glyph().Canvas().FillRect(Rect(10, 0, 20, 10));
    // The bottom row, in the see-through colour, is not drawn.
    s->Glyph().Canvas().Brush().SetColor(clOlive);
    s->Glyph().Canvas().FillRect(Rect(0, 9, 20, 10));
    s->NumGlyphs = 2;
    TBitmap up, disabled;
    Grab(form, up);
    s->SetEnabled(false);
    Grab(form, disabled);
    EXPECT_EQ(up.Canvas().Pixel(25, 25), clRed);
    EXPECT_EQ(disabled.Canvas().Pixel(25, 25), clBlue);
    EXPECT_EQ(up.Canvas().Pixel(25, 29), ColorToRGB(clBtnFace));
}

TEST_F(Buttons, RadioGroupBuildsButtonsAndRaisesOnClickForANewIndex) {
    auto* g = Make<TRadioGroup>(10, 10);
    g->SetBounds(10, 10, 200, 120);
    g->Items().Add("One");
    g->Items().Add("Two");
    g->Items().Add("Three");
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };
    Click(g->Button(1), {5, 5});
    EXPECT_EQ(g->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    g->SetItemIndex(2);
    EXPECT_TRUE(g->Button(2)->Checked());
    EXPECT_FALSE(g->Button(1)->Checked());
    EXPECT_EQ(clicks, 2);
    g->Items().Delete(2);
    EXPECT_EQ(g->ItemIndex(), -1);
}

}  // namespace
}  // namespace guitest
