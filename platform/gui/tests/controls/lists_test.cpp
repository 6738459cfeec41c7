// List and combo boxes: selection by keys and mouse, sorting, find string,
// owner drawing, the drop-down list and its events.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/core/exceptions.h"
#include "platform/gui/lists.h"

#include <QWidget>

namespace guitest {
namespace {

using namespace gui;

class Lists : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        form->Show();
        ProcessEvents();
    }
};

TEST(FindListString, PrefixSearchStartsAfterStartAndWraps) {
    plat::StringList items;
    for (const char* s : {"apple", "Banana", "apricot", "cherry"}) items.Add(s);
    struct Case {
        int start;
        const char* text;
        bool exact;
        int want;
    } cases[] = {
        {-1, "ap", false, 0}, {0, "ap", false, 2}, {2, "ap", false, 0},  // wraps
        {-1, "BAN", false, 1}, {-1, "banana", true, 1}, {-1, "ban", true, -1},
        {-1, "", false, 0}, {-1, "zzz", false, -1}, {99, "cherry", false, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(FindListString(items, c.start, c.text, c.exact), c.want) << c.text << " " << c.start;
}

TEST_F(Lists, SortedListKeysAndClicksSelectAndRaiseOnClickOnlyOnChange) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 120, 100);
    l->SetSorted(true);
    for (const char* s : {"delta", "alpha", "charlie", "bravo"}) l->Items().Add(s);
    EXPECT_EQ(l->Items()[0], "alpha");
    EXPECT_EQ(l->Items()[3], "delta");
    int clicks = 0;
    l->OnClick = [&](TObject*) { ++clicks; };
    l->SetFocus();
    SendKey(l, VK_DOWN);
    EXPECT_EQ(l->ItemIndex(), 0);
    SendKey(l, VK_END);
    EXPECT_EQ(l->ItemIndex(), 3);
    TypeText(l, "b");
    EXPECT_EQ(l->ItemIndex(), 1);
    TRect r = l->ItemRect(2);
    Click(l, {r.Left + 5, r.Top + 2});
    EXPECT_EQ(l->ItemIndex(), 2);
    Click(l, {r.Left + 5, r.Top + 2});  // same item: no change, no click
    EXPECT_EQ(clicks, 4);
    EXPECT_EQ(l->Perform(LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("CH")), 2);
    EXPECT_EQ(l->Perform(LB_GETCURSEL, 0, 0), 2);
}

TEST_F(Lists, ScrollingKeepsTheSelectedItemVisible) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 120, 4 + 16 * 5);
    for (int i = 0; i < 30; ++i) l->Items().Add("item " + std::to_string(i));
    l->SetItemIndex(20);
    EXPECT_EQ(l->TopIndex(), 16);
    l->Perform(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    EXPECT_EQ(l->TopIndex(), 0);
    l->Perform(WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(l->TopIndex(), 4);
    EXPECT_EQ(l->ItemAtPos({10, 3}, true), 4);
}

TEST_F(Lists, ColumnsRunItemsDownAndScrollSidewaysAColumnAtATime) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 4 + 3 * 60, 120);
    for (int i = 0; i < 40; ++i) l->Items().Add("item " + std::to_string(i));
    l->SetColumns(3);
    // How many fit down a column, the sideways bar taken off.
    int rows = 1;
    for (int i = 1; i < 40 && l->ItemRect(i).Left == l->ItemRect(0).Left; ++i) rows = i + 1;
    ASSERT_GT(rows, 1);
    EXPECT_EQ(rows, (l->ClientHeight() - 4) / 16);
    EXPECT_EQ(l->ItemRect(rows).Left, 2 + 60);
    EXPECT_EQ(l->ItemRect(rows).Top, l->ItemRect(0).Top);
    EXPECT_EQ(l->ItemRect(2 * rows + 1).Left, 2 + 120);
    int lo = 0, hi = 0;
    l->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_EQ(hi, 0);
    l->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, (40 + rows - 1) / rows - 3);
    // A click in the second column, second row.
    TRect r = l->ItemRect(rows + 1);
    Click(l, {r.Left + 5, r.Top + 3});
    EXPECT_EQ(l->ItemIndex(), rows + 1);
    SendKey(l, VK_RIGHT);
    EXPECT_EQ(l->ItemIndex(), 2 * rows + 1);
    SendKey(l, VK_LEFT);
    EXPECT_EQ(l->ItemIndex(), rows + 1);
    l->Perform(WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(l->TopIndex(), rows);
    EXPECT_EQ(l->GetScrollPos(SB_HORZ), 1);
    // The last item shown brings its column into view, the last of three.
    l->SetItemIndex(39);
    EXPECT_EQ(l->TopIndex() % rows, 0);
    EXPECT_EQ(l->ItemRect(39).Left, 2 + 120);
    EXPECT_EQ(l->ItemAtPos({l->ItemRect(39).Left + 3, l->ItemRect(39).Top + 3}, true), 39);
}

TEST_F(Lists, IntegralHeightCutsTheListToWholeItems) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 120, 90);
    EXPECT_EQ(l->Height(), 90);
    l->SetIntegralHeight(true);
    EXPECT_EQ(l->Height(), 4 + 5 * 16);
    l->SetBounds(10, 10, 120, 10);  // never less than one item
    EXPECT_EQ(l->Height(), 4 + 16);
    l->SetItemHeight(20);
    l->SetBounds(10, 10, 120, 70);
    EXPECT_EQ(l->Height(), 4 + 3 * 20);
    l->SetIntegralHeight(false);
    l->SetBounds(10, 10, 120, 70);
    EXPECT_EQ(l->Height(), 70);
}

TEST_F(Lists, MultiSelectWithCtrlAndShift) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 120, 120);
    for (int i = 0; i < 6; ++i) l->Items().Add(std::to_string(i));
    l->SetMultiSelect(true);
    auto at = [&](int i) { TRect r = l->ItemRect(i); return Point(r.Left + 4, r.Top + 2); };
    Click(l, at(1));
    Click(l, at(3), mbLeft, ssShift);
    EXPECT_EQ(l->SelCount(), 3);
    Click(l, at(5), mbLeft, ssCtrl);
    Click(l, at(2), mbLeft, ssCtrl);
    EXPECT_EQ(l->SelCount(), 3);
    EXPECT_TRUE(l->Selected(5));
    EXPECT_FALSE(l->Selected(2));
    EXPECT_THROW(l->Selected(6), plat::EListError);
}

TEST_F(Lists, OwnerDrawnItemsAreDrawnByTheEventWithTheirStateAndMeasuredHeights) {
    auto* l = new TListBox(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 120, 120);
    l->SetStyle(lbOwnerDrawVariable);
    // Items are measured as they are added.
    l->OnMeasureItem = [](TWinControl*, int index, int& h) { h = 10 + 10 * index; };
    for (int i = 0; i < 3; ++i) l->Items().Add(std::to_string(i));
    std::vector<std::pair<int, TOwnerDrawState>> drawn;
    std::vector<TRect> rects;
    l->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
        drawn.push_back({index, state});
        rects.push_back(rect);
        auto* box = static_cast<TListBox*>(control);
        box->Canvas().Brush().SetColor(index == 1 ? clLime : clYellow);
        box->Canvas().FillRect(rect);
    };
    l->SetItemIndex(1);
    TBitmap img;
    Grab(l, img);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1].second & odSelected, odSelected);
    EXPECT_EQ(drawn[0].second & odSelected, 0u);
    EXPECT_EQ(rects[1].Height(), 20);
    EXPECT_EQ(rects[2].Top, rects[1].Bottom);
    EXPECT_EQ(img.Canvas().Pixel(20, rects[1].Top + 5), clLime);
    EXPECT_EQ(img.Canvas().Pixel(20, rects[2].Top + 5), clYellow);
}

TEST_F(Lists, SimpleComboShowsItsListUnderTheEditAndFollowsTyping) {
    auto* c = new TComboBox(form);
    c->SetParent(form);
    for (const char* s : {"alpha", "beta", "betamax", "gamma"}) c->Items().Add(s);
    c->SetStyle(csSimple);
    c->SetBounds(10, 10, 150, c->EditHeight() + 4 + 16 * 4);
    std::vector<std::string> events;
    c->OnChange = [&](TObject*) { events.push_back("change:" + c->Text()); };
    c->OnClick = [&](TObject*) { events.push_back("click"); };
    ProcessEvents();
    TComboListBox* list = c->ListBox();
    ASSERT_EQ(list->Parent(), c);
    EXPECT_TRUE(list->Widget()->isVisible());
    EXPECT_EQ(list->Top(), c->EditHeight());
    EXPECT_EQ(list->Height(), c->Height() - c->EditHeight());
    EXPECT_EQ(list->Items().Count(), 4);
    // The list follows a new size, and never drops down.
    c->SetBounds(10, 10, 150, c->EditHeight() + 4 + 16 * 3);
    EXPECT_EQ(list->Height(), 4 + 16 * 3);
    c->SetDroppedDown(true);
    EXPECT_FALSE(c->DroppedDown());
    int lo = 0, hi = 0;
    list->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_EQ(hi, 1);  // four items, three shown
    // A click in the list takes the item; the edit keeps the focus.
    c->SetFocus();
    TRect r = list->ItemRect(2);
    Click(list, {r.Left + 3, r.Top + 3});
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(c->Text(), "betamax");
    EXPECT_TRUE(c->Focused());
    EXPECT_EQ(events, (std::vector<std::string>{"change:betamax", "click"}));
    // Typing moves the list to the first item the text begins; the combo's
    // item is the one it names exactly.
    c->SetText("");
    TypeText(c, "bet");
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(c->ItemIndex(), -1);
    TypeText(c, "a");
    EXPECT_EQ(c->ItemIndex(), 1);
    SendKey(c, VK_DOWN);
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(c->Text(), "betamax");
    EXPECT_EQ(list->ItemIndex(), 2);
    // Back to a drop-down style: the embedded list goes.
    c->SetStyle(csDropDown);
    EXPECT_EQ(c->ControlCount(), 0);
    EXPECT_NE(c->ListBox()->Parent(), c);
}

TEST_F(Lists, ComboDropsDownRaisesEventsAndTakesTheClickedItem) {
    auto* c = new TComboBox(form);
    c->SetParent(form);
    c->SetBounds(10, 10, 150, 21);
    for (const char* s : {"red", "green", "blue"}) c->Items().Add(s);
    std::vector<std::string> events;
    c->OnDropDown = [&](TObject*) { events.push_back("drop"); };
    c->OnCloseUp = [&](TObject*) { events.push_back("close"); };
    c->OnChange = [&](TObject*) { events.push_back("change:" + c->Text()); };
    c->OnClick = [&](TObject*) { events.push_back("click"); };
    c->SetFocus();
    SendKey(c, VK_DOWN, ssAlt);
    ASSERT_TRUE(c->DroppedDown());
    EXPECT_TRUE(c->ListBox()->Widget()->isVisible());
    TRect r = c->ListBox()->ItemRect(2);
    Click(c->ListBox(), {r.Left + 3, r.Top + 3});
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(c->Text(), "blue");
    EXPECT_EQ(events, (std::vector<std::string>{"drop", "change:blue", "click", "close"}));
    // Setting the index in code raises nothing.
    events.clear();
    c->SetItemIndex(0);
    EXPECT_EQ(c->Text(), "red");
    EXPECT_TRUE(events.empty());
}

TEST_F(Lists, DropDownListComboSelectsByArrowsAndLettersAndIgnoresOtherText) {
    auto* c = new TComboBox(form);
    c->SetParent(form);
    c->SetStyle(csDropDownList);
    for (const char* s : {"one", "two", "three"}) c->Items().Add(s);
    c->SetFocus();
    SendKey(c, VK_DOWN);
    EXPECT_EQ(c->Text(), "one");
    TypeText(c, "t");
    EXPECT_EQ(c->Text(), "two");
    TypeText(c, "t");
    EXPECT_EQ(c->Text(), "three");
    TypeText(c, "x");
    EXPECT_EQ(c->Text(), "three");
    EXPECT_EQ(c->Perform(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("TWO")), 1);
}

TEST_F(Lists, OwnerDrawnComboDrawsItsFaceAndListItemsThroughOnDrawItem) {
    auto* c = new TComboBox(form);
    c->SetParent(form);
    c->SetBounds(10, 10, 150, 24);
    c->SetStyle(csOwnerDrawFixed);
    for (const char* s : {"a", "b"}) c->Items().Add(s);
    std::vector<std::pair<int, TOwnerDrawState>> drawn;
    c->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
        drawn.push_back({index, state});
        auto* combo = static_cast<TComboBox*>(control);
        combo->Canvas().Brush().SetColor(index == 0 ? clAqua : clFuchsia);
        combo->Canvas().FillRect(rect);
    };
    c->SetItemIndex(1);
    TBitmap face;
    Grab(c, face);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().first, 1);
    EXPECT_EQ(drawn.back().second & odComboBoxEdit, odComboBoxEdit);
    EXPECT_EQ(face.Canvas().Pixel(20, 12), clFuchsia);
    drawn.clear();
    c->SetDroppedDown(true);
    TBitmap list;
    Grab(c->ListBox(), list);
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].second & odComboBoxEdit, 0u);
    EXPECT_EQ(list.Canvas().Pixel(5, c->ListBox()->ItemRect(0).Top + 3), clAqua);
    c->SetDroppedDown(false);
}

}  // namespace
}  // namespace guitest
