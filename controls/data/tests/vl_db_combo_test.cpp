// The data-aware combo box: the display/stored map, the list's size and
// place, type-ahead timing, the keys that open, close and accept, and the
// form's buttons staying quiet while the list is open.
#include "controls/data/vl_db_combo.h"
#include "platform/core/clock.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;
using namespace vl;

class ComboTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        combo = new TvlDBComboBox(form);
        combo->SetParent(form);
        combo->SetBounds(10, 10, 150, 21);
        other = new TEdit(form);
        other->SetParent(form);
        other->SetBounds(10, 60, 150, 21);
    }
    TvlDBComboBox* combo = nullptr;
    TEdit* other = nullptr;
};

TEST_F(ComboTest, MapListShowsDisplayPartsAndStoresValues) {
    combo->MapList = true;
    combo->Items().Add("Red\tclRed");
    combo->Items().Add("Blue\tclBlue\tignored");
    combo->Items().Add("Plain");
    combo->SetComboValue("clBlue");
    EXPECT_EQ(combo->Text(), "Blue");
    EXPECT_EQ(combo->ItemIndex(), 1);
    combo->SetItemIndex(0);
    EXPECT_EQ(combo->GetStoredValue(), "clRed");
    combo->SetComboValue("clGreen");
    EXPECT_EQ(combo->Text(), "");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->DisplayToStored("Plain"), "");  // no TAB: nothing stored
    EXPECT_EQ(combo->StoredToDisplay("clRed"), "Red");
    // Free text in a drop-down stores nothing (by design).
    combo->SetText("Purple");
    EXPECT_EQ(combo->GetStoredValue(), "");
    // Two items with one display part: the first one's value.
    combo->Items().Add("Red\tclMaroon");
    EXPECT_EQ(combo->DisplayToStored("Red"), "clRed");
    // Without the map items are shown and stored as they are.
    combo->MapList = false;
    EXPECT_EQ(combo->DisplayToStored("Purple"), "Purple");
}

TEST_F(ComboTest, TheListIsItemsPlusFourHighAndFlipsAtTheScreenEdges) {
    for (const char* s : {"One", "Two", "Three"}) combo->Items().Add(s);
    combo->ItemHeight = 16;
    combo->DropDownCount = 8;
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    ASSERT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(combo->List()->Height(), 3 * 16 + 4);
    EXPECT_EQ(combo->List()->Width(), combo->Width());
    EXPECT_TRUE(combo->Focused());  // the list never takes the focus
    combo->CloseUp(false);
    // Placement for a control at (100, 500)-(250, 521) on an 800 x 600 screen.
    const TRect me = Rect(100, 500, 250, 521);
    EXPECT_EQ(TvlDBComboBox::ListPosition(me, 150, 52, 800, 600), (TPoint{100, 521}));
    EXPECT_EQ(TvlDBComboBox::ListPosition(me, 150, 100, 800, 600), (TPoint{100, 400}));  // above
    const TRect right = Rect(700, 100, 790, 121);
    EXPECT_EQ(TvlDBComboBox::ListPosition(right, 150, 52, 800, 600), (TPoint{640, 121}));  // right-aligned
}

TEST_F(ComboTest, TypeAheadContinuesWithinAPauseAndRestartsAfterIt) {
    plat::FakeClock clock;
    plat::ScopedClock scope(clock);
    for (const char* s : {"Apple", "Banana", "Bandana", "Cherry"}) combo->Items().Add(s);
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    TvlPopupListbox* list = combo->List();
    list->SearchKey('b');
    clock.Advance(1400);
    list->SearchKey('a');
    clock.Advance(1400);
    list->SearchKey('n');
    clock.Advance(1400);
    list->SearchKey('d');
    EXPECT_EQ(list->SearchText(), "band");
    EXPECT_EQ(list->ItemIndex(), 2);
    clock.Advance(1600);
    list->SearchKey('c');
    EXPECT_EQ(list->SearchText(), "c");
    EXPECT_EQ(list->ItemIndex(), 3);
    list->SearchKey('x');  // no match: the selection goes
    EXPECT_EQ(list->ItemIndex(), -1);
    combo->CloseUp(false);
}

TEST_F(ComboTest, AltDownTogglesTabAcceptsAndTheFormsButtonsStayQuiet) {
    for (const char* s : {"Apple", "Banana", "Cherry"}) combo->Items().Add(s);
    int defaults = 0, cancels = 0;
    auto* ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(200, 10, 75, 25);
    ok->Default = true;
    ok->OnClick = [&](plat::TObject*) { ++defaults; };
    auto* cancel = new TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(200, 40, 75, 25);
    cancel->Cancel = true;
    cancel->OnClick = [&](plat::TObject*) { ++cancels; };
    form->Show();
    combo->SetFocus();

    guitest::SendKey(combo, VK_DOWN, ssAlt);
    EXPECT_TRUE(combo->IsDroppedDown());
    guitest::SendKey(combo, VK_DOWN, ssAlt);
    EXPECT_FALSE(combo->IsDroppedDown());

    guitest::SendKey(combo, VK_DOWN, ssAlt);
    guitest::SendKey(combo, VK_DOWN);
    guitest::SendKey(combo, VK_DOWN);
    EXPECT_EQ(combo->List()->ItemIndex(), 1);
    guitest::SendKey(combo, VK_RETURN);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Banana");
    guitest::SendKey(combo, VK_DOWN, ssAlt);
    guitest::SendKey(combo, VK_ESCAPE);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Banana");
    EXPECT_EQ(defaults, 0);
    EXPECT_EQ(cancels, 0);

    // Tab takes the list's item and moves on.
    guitest::SendKey(combo, VK_DOWN, ssAlt);
    guitest::SendKey(combo, VK_DOWN);
    guitest::SendKey(combo, VK_TAB);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Cherry");
    EXPECT_FALSE(combo->Focused());

    // With the list closed the form's buttons answer as usual.
    combo->SetFocus();
    guitest::SendKey(combo, VK_RETURN);
    EXPECT_EQ(defaults, 1);
}

}  // namespace
