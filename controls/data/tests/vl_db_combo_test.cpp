// The data-aware combo box: the display/stored map, the list's size and
// place, type-ahead timing, the keys that open, close and accept, and the
// form's buttons staying quiet while the list is open.
#include "controls/data/vl_db_combo.h"
#include "data/tests/engine_fixture.h"
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

class ProbeCombo : public TvlDBComboBox {
public:
    using TvlDBComboBox::TvlDBComboBox;
    void Press(char& key) { KeyPress(key); }
    TRect Area() const { return TextArea(); }
};

TEST_F(ComboTest, ShowMatchTextCompletesTheTypedTextFromTheItems) {
    struct {
        TComboBoxStyle style;
        bool dropped;
        const char* text;
        int selStart, selLength;
        int itemIndex;
        char key;
        const char* textOut;
        int selStartOut, selLengthOut, itemOut;
        bool consumed;
    } cases[] = {
        // A hit: the item's text, the typed part kept, the rest selected.
        {csDropDown, false, "", 0, 0, -1, 'b', "Banana", 1, 5, 1, true},
        {csDropDown, false, "Ban", 3, 0, 1, 'd', "Bandana", 4, 3, 2, true},
        // Case-insensitive, searching from the current item and wrapping around.
        {csDropDown, false, "", 0, 0, 3, 'A', "Apple", 1, 4, 0, true},
        {csDropDown, false, "Banana", 1, 5, 1, 'A', "Banana", 2, 4, 1, true},
        // The selection is replaced by the key.
        {csDropDown, false, "Cherry", 0, 6, 3, 'b', "Banana", 1, 5, 1, true},
        // No hit: free text in a drop-down, refused in a drop-down list or an open list.
        {csDropDown, false, "Ban", 3, 0, -1, 'x', "Ban", 3, 0, -1, false},
        {csDropDownList, false, "Banana", 1, 5, 1, 'x', "Banana", 1, 5, 1, true},
    };
    auto* probe = new ProbeCombo(form);
    probe->SetParent(form);
    probe->SetBounds(10, 100, 150, 21);
    probe->ShowMatchText = true;
    for (const char* s : {"Apple", "Banana", "Bandana", "Cherry"}) probe->Items().Add(s);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " + " + c.key);
        probe->Style = c.style;
        probe->SetItemIndex(c.itemIndex);
        probe->SetText(c.text);
        probe->SetSelStart(c.selStart);
        probe->SetSelLength(c.selLength);
        char key = c.key;
        probe->Press(key);
        if (!c.consumed) {
            EXPECT_EQ(key, c.key);
            continue;  // the edit types it the usual way
        }
        EXPECT_EQ(key, 0);
        EXPECT_EQ(probe->Text(), c.textOut);
        EXPECT_EQ(probe->SelStart(), c.selStartOut);
        EXPECT_EQ(probe->SelLength(), c.selLengthOut);
        EXPECT_EQ(probe->ItemIndex(), c.itemOut);
    }
    // Typed for real into a drop-down list.
    probe->Style = csDropDownList;
    probe->SetItemIndex(-1);
    probe->SetText("");
    form->Show();
    probe->SetFocus();
    guitest::TypeText(probe, "ch");
    EXPECT_EQ(probe->Text(), "Cherry");
    EXPECT_EQ(probe->ItemIndex(), 3);
    EXPECT_EQ(probe->SelStart(), 2);
}

TEST_F(ComboTest, TheEditAreaEndsAtTheButtonAndTheStyleHasNoReturns) {
    using namespace edit_style;
    auto* probe = new ProbeCombo(form);
    probe->SetParent(form);
    probe->SetBounds(10, 100, 150, 21);
    probe->SetWantReturns(true);
    EXPECT_EQ(probe->WindowStyle() & (ES_WANTRETURN | ES_AUTOVSCROLL), 0u);
    EXPECT_NE(probe->WindowStyle() & WS_CLIPCHILDREN, 0u);
    EXPECT_EQ(probe->Area().Right, probe->Button()->Left());
    EXPECT_LT(probe->Area().Right, probe->ClientWidth() - 10);
    probe->SetShowButton(false);
    EXPECT_EQ(probe->Area().Right, probe->ClientWidth() - 3);
}

TEST_F(ComboTest, AnotherControlCancellingTheModeClosesTheListAccepting) {
    for (const char* s : {"Apple", "Banana", "Cherry"}) combo->Items().Add(s);
    std::vector<bool> closes;
    combo->OnCloseUp = [&](TvlDBComboBox*, bool accept) { closes.push_back(accept); };
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    combo->List()->SetItemIndex(2);
    // The combo's own parts leave it open.
    for (TControl* own : std::vector<TControl*>{combo, combo->List(), combo->Button()}) {
        combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(own));
        EXPECT_TRUE(combo->IsDroppedDown());
    }
    combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(other));
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Cherry");
    EXPECT_EQ(closes, (std::vector<bool>{true}));
}

TEST_F(ComboTest, APressOnAControlThatTakesNoFocusOrTheFormLosingActivationClosesTheList) {
    for (const char* s : {"Apple", "Banana", "Cherry"}) combo->Items().Add(s);
    auto* tool = new TSpeedButton(form);
    tool->SetParent(form);
    tool->SetBounds(200, 10, 23, 22);
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    combo->List()->SetItemIndex(1);
    // A speed button never takes the focus: only the cancelled mode closes the list.
    guitest::Click(tool, TPoint{5, 5});
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Banana");
    EXPECT_TRUE(combo->Focused());
    combo->DropDown();
    ASSERT_TRUE(combo->IsDroppedDown());
    form->Activated(true);
    form->Activated(false);
    EXPECT_FALSE(combo->IsDroppedDown());
}

TEST_F(ComboTest, TheSimpleStyleHasNoButtonAndVariableItemsAreMeasured) {
    EXPECT_TRUE(combo->ShowButton());
    combo->SetStyle(csSimple);
    EXPECT_FALSE(combo->ShowButton());
    combo->DropDown();  // a simple combo has no list to drop
    EXPECT_FALSE(combo->IsDroppedDown());
    combo->SetStyle(csDropDownList);
    EXPECT_TRUE(combo->ShowButton());
    combo->SetShowButton(false);
    combo->SetStyle(csDropDown);  // between two styles with a list the button stays as it is
    EXPECT_FALSE(combo->ShowButton());
    combo->SetShowButton(true);

    for (const char* s : {"One", "Two", "Three"}) combo->Items().Add(s);
    combo->SetStyle(csOwnerDrawVariable);
    std::vector<int> asked;
    combo->OnMeasureItem = [&](TWinControl* control, int index, int& height) {
        EXPECT_EQ(control, combo->List());
        asked.push_back(index);
        height = 10 + 5 * index;
    };
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    ASSERT_TRUE(combo->IsDroppedDown());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(combo->List()->ItemRect(i).Height(), 10 + 5 * i);
    EXPECT_FALSE(asked.empty());
}

TEST_F(ComboTest, ReleasingTheMouseOverTheListAcceptsThatItem) {
    for (const char* s : {"Apple", "Banana", "Cherry"}) combo->Items().Add(s);
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    TvlPopupListbox* list = combo->List();
    const TRect second = list->ItemRect(1);
    // Released outside the list: still open.
    guitest::MouseUp(list, {list->Width() + 5, second.Top + 2});
    EXPECT_TRUE(combo->IsDroppedDown());
    guitest::Click(list, {second.Left + 5, second.Top + 2});
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Banana");
    EXPECT_TRUE(combo->Focused());
}

TEST_F(ComboTest, AHandlerDrawsTheListsItemsAndAnOwnerDrawnEditArea) {
    for (const char* s : {"Apple", "Banana", "Cherry"}) combo->Items().Add(s);
    std::vector<std::pair<int, bool>> drawn;  // index, selected
    std::vector<TWinControl*> on;
    combo->OnDrawItem = [&](TWinControl* control, int index, TRect r, TOwnerDrawState state) {
        drawn.push_back({index, (state & odSelected) != 0});
        on.push_back(control);
        // A red bar in the item's left half.
        TCanvas& c = static_cast<TCustomControl*>(control)->Canvas();
        c.Brush().SetColor(clRed);
        c.FillRect(Rect(r.Left, r.Top, r.Left + 10, r.Bottom));
    };
    combo->Style = csOwnerDrawFixed;
    combo->SetColor(clYellow);  // the list takes the combo's colour
    form->Show();
    combo->SetFocus();
    combo->DropDown();
    combo->List()->SetItemIndex(1);
    TBitmap image;
    guitest::Grab(combo->List(), image);
    ASSERT_GE(drawn.size(), 3u);
    EXPECT_EQ(on.back(), combo->List());
    EXPECT_TRUE(std::count(drawn.begin(), drawn.end(), std::pair<int, bool>{1, true}) > 0);
    EXPECT_TRUE(std::count(drawn.begin(), drawn.end(), std::pair<int, bool>{0, false}) > 0);
    const TRect first = combo->List()->ItemRect(0);
    EXPECT_EQ(image.Canvas().Pixel(first.Left + 5, first.Top + first.Height() / 2), clRed);
    // Unselected items lie on the normal colour, the selected one on the highlight.
    EXPECT_EQ(image.Canvas().Pixel(first.Left + 30, first.Top + first.Height() / 2), clYellow);
    const TRect chosen = combo->List()->ItemRect(1);
    EXPECT_NE(image.Canvas().Pixel(chosen.Left + 30, chosen.Top + chosen.Height() / 2), clYellow);
    combo->CloseUp(true);
    EXPECT_EQ(combo->Text(), "Banana");

    // The edit area of an owner-drawn combo shows the chosen item by the handler.
    drawn.clear();
    on.clear();
    TBitmap edit;
    guitest::Grab(combo, edit);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(on.back(), combo);
    EXPECT_EQ(drawn.back().first, 1);
    const TRect area = combo->EditRect();
    EXPECT_EQ(edit.Canvas().Pixel(area.Left + 6, area.Top + area.Height() / 2), clRed);

    // Without a handler the list draws its texts itself.
    combo->OnDrawItem = nullptr;
    combo->Style = csDropDown;
    drawn.clear();
    combo->DropDown();
    guitest::Grab(combo->List(), image);
    EXPECT_TRUE(drawn.empty());
    combo->CloseUp(false);
}

}  // namespace

namespace {

using namespace gui;
using namespace vl;

// The combo on a field of a real table, beside an edit the focus can go to.
class ComboOnAField : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(3);  // TopicPopup: T, P, P
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    void Build(bool readOnly) {
        pages->ReadOnly = readOnly;
        pages->Open();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        form = new TForm(Application);
        form->SetBounds(10, 10, 300, 120);
        combo = new TvlDBComboBox(form);
        combo->SetParent(form);
        combo->SetBounds(10, 10, 150, 21);
        combo->MapList = true;
        combo->Style = csDropDownList;
        combo->Items().Add("Topic\tT");
        combo->Items().Add("Popup\tP");
        combo->SetDataSource(source.get());
        combo->SetDataField("TopicPopup");
        other = new TEdit(form);
        other->SetParent(form);
        other->SetBounds(10, 60, 150, 21);
        form->Show();
        combo->SetFocus();
        guitest::ProcessEvents();
    }
    std::string Kind() { return pages->FieldByName("TopicPopup")->AsString(); }
    std::unique_ptr<db::TDataSource> source;
    TForm* form = nullptr;
    TvlDBComboBox* combo = nullptr;
    TEdit* other = nullptr;
};

// Up and Down on a closed list choose for the record: it goes into edit,
// and leaving the combo writes the choice into the field without a word.
TEST_F(ComboOnAField, UpAndDownChooseForTheRecord) {
    Build(false);
    ASSERT_EQ(pages->State(), db::dsBrowse);
    ASSERT_EQ(combo->Text(), "Topic");
    guitest::SendKey(combo, VK_DOWN);
    EXPECT_EQ(combo->Text(), "Popup");
    EXPECT_EQ(pages->State(), db::dsEdit);
    other->SetFocus();
    guitest::ProcessEvents();
    EXPECT_TRUE(other->Focused());
    EXPECT_TRUE(dialogs.Requests().empty()) << dialogs.Last().text;
    EXPECT_EQ(Kind(), "P");
    pages->Post();
    // Up on the next record goes back to the first item.
    pages->Next();
    combo->SetFocus();
    guitest::ProcessEvents();
    ASSERT_EQ(combo->Text(), "Popup");
    guitest::SendKey(combo, VK_UP);
    EXPECT_EQ(combo->Text(), "Topic");
    other->SetFocus();
    guitest::ProcessEvents();
    EXPECT_TRUE(dialogs.Requests().empty()) << dialogs.Last().text;
    pages->Post();
    pages->First();
    EXPECT_EQ(Kind(), "P");
    pages->Next();
    EXPECT_EQ(Kind(), "T");
}

// Showing the field is no change: passing through the combo leaves the
// record as it was, without a word.
TEST_F(ComboOnAField, PassingThroughLeavesTheRecordAlone) {
    Build(false);
    ASSERT_EQ(combo->Text(), "Topic");
    other->SetFocus();
    guitest::ProcessEvents();
    EXPECT_TRUE(other->Focused());
    EXPECT_TRUE(dialogs.Requests().empty()) << dialogs.Last().text;
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Kind(), "T");
}

TEST_F(ComboOnAField, UpAndDownChangeNothingOnAReadOnlyTable) {
    Build(true);
    guitest::SendKey(combo, VK_DOWN);
    EXPECT_EQ(combo->Text(), "Topic");
    EXPECT_EQ(pages->State(), db::dsBrowse);
    other->SetFocus();
    guitest::ProcessEvents();
    EXPECT_TRUE(dialogs.Requests().empty()) << dialogs.Last().text;
    EXPECT_EQ(Kind(), "T");
}

}  // namespace
