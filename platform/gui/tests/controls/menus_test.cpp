// Menus: short-cut text, keys reaching their items before the focused
// control, check marks and radio groups, merging, pop-ups.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/edits.h"
#include "platform/gui/menus.h"

#include <QAction>
#include <QMenu>

namespace guitest {
namespace {

using namespace gui;

TEST(ShortCuts, TextRoundTripsAndUnknownTextIsZero) {
    struct Case {
        unsigned key;
        TShiftState shift;
        const char* text;
    } cases[] = {
        {'S', ssCtrl, "Ctrl+S"}, {VK_F1 + 2, 0, "F3"}, {VK_DELETE, ssShift, "Shift+Del"},
        {VK_INSERT, ssCtrl, "Ctrl+Ins"}, {'1', ssAlt | ssCtrl, "Ctrl+Alt+1"}, {VK_RETURN, 0, "Enter"},
    };
    for (const Case& c : cases) {
        TShortCut sc = ShortCut(c.key, c.shift);
        EXPECT_EQ(ShortCutToText(sc), c.text);
        EXPECT_EQ(TextToShortCut(c.text), sc) << c.text;
        unsigned key;
        TShiftState shift;
        ShortCutToKey(sc, key, shift);
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(shift, c.shift);
    }
    EXPECT_EQ(TextToShortCut("Ctrl+Nothing"), 0);
    EXPECT_EQ(ShortCutToText(0), "");
}

class Menus : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        edit = new TEdit(form);
        edit->SetParent(form);
        menu = new TMainMenu(form);
        file = Item(menu->Items(), "&File");
        save = Item(file, "&Save", ShortCut('S', ssCtrl));
        form->Show();
        edit->SetFocus();
        ProcessEvents();
    }
    TMenuItem* Item(TMenuItem* parent, const char* caption, TShortCut sc = 0) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        item->ShortCut = sc;
        parent->Add(item);
        return item;
    }
    TEdit* edit = nullptr;
    TMainMenu* menu = nullptr;
    TMenuItem* file = nullptr;
    TMenuItem* save = nullptr;
};

TEST_F(Menus, ShortCutReachesTheItemBeforeTheFocusedEdit) {
    std::vector<std::string> log;
    file->OnClick = [&](TObject*) { log.push_back("file"); };
    save->OnClick = [&](TObject*) { log.push_back("save"); };
    unsigned editSaw = 0;
    edit->OnKeyDown = [&](TObject*, unsigned& key, TShiftState) { editSaw = key; };
    SendKey(edit, 'S', ssCtrl);
    // The parent is clicked first so it can update its items.
    EXPECT_EQ(log, (std::vector<std::string>{"file", "save"}));
    EXPECT_EQ(editSaw, 0u);
    // Without Ctrl, the key is the edit's.
    SendKey(edit, 'S');
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(edit->Text(), "s");
}

TEST_F(Menus, DisabledOrHiddenItemsAndParentsLetTheKeyThrough) {
    int saves = 0;
    save->OnClick = [&](TObject*) { ++saves; };
    struct Case {
        bool itemEnabled, itemVisible, parentEnabled;
    } cases[] = {{false, true, true}, {true, false, true}, {true, true, false}};
    for (const Case& c : cases) {
        save->Enabled = c.itemEnabled;
        save->Visible = c.itemVisible;
        file->Enabled = c.parentEnabled;
        EXPECT_FALSE(menu->IsShortCut('S', ssCtrl));
    }
    EXPECT_EQ(saves, 0);
}

TEST_F(Menus, KeysOfAnotherFormsMenuDoNotApply) {
    auto* other = new TForm(Application);
    auto* otherEdit = new TEdit(other);
    otherEdit->SetParent(other);
    other->Show();
    otherEdit->SetFocus();
    int saves = 0;
    save->OnClick = [&](TObject*) { ++saves; };
    SendKey(otherEdit, 'S', ssCtrl);
    EXPECT_EQ(saves, 0);
    delete other;
}

TEST_F(Menus, RadioItemsOfAGroupExcludeEachOther) {
    auto* view = Item(menu->Items(), "&View");
    TMenuItem* a = Item(view, "A");
    TMenuItem* b = Item(view, "B");
    TMenuItem* c = Item(view, "C");
    for (TMenuItem* i : {a, b, c}) i->RadioItem = true;
    c->GroupIndex = 2;
    a->SetChecked(true);
    c->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(c->Checked());  // another group
    EXPECT_EQ(view->Find("b"), b);
    EXPECT_EQ(menu->Items()->Find("view"), view);
}

TEST_F(Menus, MergeReplacesEqualGroupsAndOrdersTheRest) {
    file->GroupIndex = 0;
    TMenuItem* window = Item(menu->Items(), "&Window");
    window->GroupIndex = 9;
    TMenuItem* help = Item(menu->Items(), "&Help");
    help->GroupIndex = 10;
    auto* child = new TMainMenu(form);
    auto* edit2 = new TMenuItem(form);
    edit2->SetCaption("&Edit");
    edit2->GroupIndex = 1;
    child->Items()->Add(edit2);
    auto* window2 = new TMenuItem(form);
    window2->SetCaption("&Window2");
    window2->GroupIndex = 9;
    child->Items()->Add(window2);
    menu->Merge(child);
    std::vector<std::string> captions;
    for (TMenuItem* i : menu->MergedItems()) captions.push_back(i->Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"&File", "&Edit", "&Window2", "&Help"}));
    menu->Unmerge(child);
    EXPECT_EQ(menu->MergedItems().size(), 3u);
    menu->Merge(child);
    delete child;  // a merged menu going away unmerges
    EXPECT_EQ(menu->MergedItems().size(), 3u);
}

TEST_F(Menus, PopupShowsItsItemsAndRunsTheChosenOne) {
    auto* popup = new TPopupMenu(form);
    auto* cut = new TMenuItem(form);
    cut->SetCaption("Cu&t");
    cut->ShortCut = ShortCut('X', ssCtrl);
    popup->Items()->Add(cut);
    auto* line = new TMenuItem(form);
    line->SetCaption("-");
    popup->Items()->Add(line);
    auto* hidden = new TMenuItem(form);
    hidden->SetCaption("Hidden");
    hidden->Visible = false;
    popup->Items()->Add(hidden);
    int popups = 0, cuts = 0;
    popup->OnPopup = [&](TObject*) { ++popups; };
    cut->OnClick = [&](TObject*) { ++cuts; };
    SetPopupMenu(edit, popup);
    Click(edit, {5, 5}, mbRight);
    ASSERT_EQ(popups, 1);
    ASSERT_NE(popup->ShownMenu(), nullptr);
    EXPECT_EQ(popup->PopupComponent, edit);
    QList<QAction*> actions = popup->ShownMenu()->actions();
    ASSERT_EQ(actions.size(), 2);  // the item and the separator
    EXPECT_EQ(actions[0]->text(), "Cu&t\tCtrl+X");
    EXPECT_TRUE(actions[1]->isSeparator());
    actions[0]->trigger();
    EXPECT_EQ(cuts, 1);
    // The control's pop-up answers its short-cuts while it has the focus.
    SendKey(edit, 'X', ssCtrl);
    EXPECT_EQ(cuts, 2);
    popup->ShownMenu()->close();
}

}  // namespace
}  // namespace guitest
