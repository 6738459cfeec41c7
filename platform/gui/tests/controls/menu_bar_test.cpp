// A form's main menu as a bar: the client area below it, clicks and keys
// reaching the items, what the bar shows, merging.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/menus.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace guitest {
namespace {

using namespace gui;

class MenuBar : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        menu = new TMainMenu(form);
        file = Item(menu->Items(), "&File");
        open = Item(file, "&Open");
        save = Item(file, "&Save", ShortCut('S', ssCtrl));
        run = Item(menu->Items(), "&Run");
        for (TMenuItem* i : {file, open, save, run})
            i->OnClick = [this](TObject* s) { log.push_back(static_cast<TMenuItem*>(s)->Caption()); };
        form->Show();
        ProcessEvents();
    }
    TMenuItem* Item(TMenuItem* parent, const char* caption, TShortCut sc = 0) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        item->ShortCut = sc;
        parent->Add(item);
        return item;
    }
    QMenuBar* Bar() const { return qobject_cast<QMenuBar*>(MenuBarOf(form)); }
    TMainMenu* menu = nullptr;
    TMenuItem *file = nullptr, *open = nullptr, *save = nullptr, *run = nullptr;
    std::vector<std::string> log;
};

TEST_F(MenuBar, ClientAreaStartsBelowTheBar) {
    auto* rec = new Recorder(form);
    rec->SetBounds(0, 0, 50, 20);
    rec->SetParent(form);
    int clientBefore = form->ClientHeight(), outerBefore = form->Height();
    TPoint originBefore = form->ClientOrigin();
    form->SetMenu(menu);
    ProcessEvents();
    int bar = form->MenuBarHeight();
    ASSERT_GT(bar, 0);
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->height(), bar);
    EXPECT_EQ(form->Height(), outerBefore);
    EXPECT_EQ(form->ClientHeight(), clientBefore - bar);
    EXPECT_EQ(form->ClientOrigin().y, originBefore.y + bar);
    // A child at client (0, 0) sits just below the bar, and the form's own
    // mouse points stay client points.
    EXPECT_EQ(rec->Widget()->y(), bar);
    EXPECT_EQ(rec->ClientToScreen({0, 0}).y, form->ClientToScreen({0, 0}).y);
    TPoint down{-1, -1};
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) { down = {x, y}; };
    Click(form, {100, 60});
    EXPECT_EQ(down.x, 100);
    EXPECT_EQ(down.y, 60);
    // The bar follows the form's width.
    form->SetBounds(form->Left(), form->Top(), 400, 300);
    EXPECT_EQ(Bar()->width(), form->Widget()->width());
    EXPECT_EQ(form->ClientHeight(), clientBefore + 60 - bar);
    form->SetMenu(nullptr);
    EXPECT_EQ(form->MenuBarHeight(), 0);
    EXPECT_EQ(form->ClientHeight(), clientBefore + 60);
    EXPECT_EQ(rec->Widget()->y(), 0);
}

TEST_F(MenuBar, MouseClicksThroughTheBarReachTheItems) {
    form->SetMenu(menu);
    ProcessEvents();
    EXPECT_TRUE(ClickMenu(form, {"Run"}));
    EXPECT_EQ(log, (std::vector<std::string>{"&Run"}));
    log.clear();
    // The parent is clicked as its menu opens, then the chosen item.
    EXPECT_TRUE(ClickMenu(form, {"File", "Save"}));
    EXPECT_EQ(log, (std::vector<std::string>{"&File", "&Save"}));
    log.clear();
    // A disabled item is shown but does nothing; a hidden one is not shown.
    save->Enabled = false;
    open->Visible = false;
    EXPECT_TRUE(ClickMenu(form, {"File", "Save"}));
    EXPECT_FALSE(ClickMenu(form, {"File", "Open"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "&Save"), 0);
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

TEST_F(MenuBar, AltAndTheAcceleratorOpensATopItemAndShortCutsStillWork) {
    auto* rec = new Recorder(form);
    rec->SetParent(form);
    form->SetMenu(menu);
    rec->SetFocus();
    ProcessEvents();
    SendKey(rec, 'R', ssAlt);
    EXPECT_EQ(log, (std::vector<std::string>{"&Run"}));
    SendKey(rec, 'F', ssAlt);
    ProcessEvents();
    QAction* fileAction = Bar()->actions().value(0);
    ASSERT_NE(fileAction, nullptr);
    ASSERT_NE(fileAction->menu(), nullptr);
    EXPECT_TRUE(fileAction->menu()->isVisible());
    EXPECT_EQ(log.back(), "&File");
    fileAction->menu()->close();
    log.clear();
    SendKey(rec, 'S', ssCtrl);
    EXPECT_EQ(log, (std::vector<std::string>{"&File", "&Save"}));
    // A letter no top item has is the control's.
    log.clear();
    rec->log.clear();
    SendKey(rec, 'Q', ssAlt);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(rec->Of(WM_SYSKEYDOWN).empty());
}

TEST_F(MenuBar, BarShowsCaptionsChecksAndRadioGroupsAsTheyChange) {
    TMenuItem* view = Item(menu->Items(), "&View");
    TMenuItem* big = Item(view, "&Big");
    TMenuItem* small = Item(view, "S&mall");
    TMenuItem* ruler = Item(view, "&Ruler");
    big->RadioItem = small->RadioItem = true;
    form->SetMenu(menu);
    small->SetChecked(true);
    ruler->SetChecked(true);
    run->SetCaption("&Go");
    QList<QAction*> top = Bar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), "&File");
    EXPECT_EQ(top[1]->text(), "&Go");
    QMenu* viewMenu = top[2]->menu();
    ASSERT_NE(viewMenu, nullptr);
    QList<QAction*> items = viewMenu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_TRUE(items[2]->isChecked());
    ASSERT_NE(items[0]->actionGroup(), nullptr);
    EXPECT_EQ(items[0]->actionGroup(), items[1]->actionGroup());
    EXPECT_EQ(items[2]->actionGroup(), nullptr);
    EXPECT_EQ(Item(file, "-")->IsLine(), true);
    EXPECT_TRUE(Bar()->actions()[0]->menu()->actions().back()->isSeparator());
    // Choosing a radio item through the bar moves the check.
    EXPECT_TRUE(ClickMenu(form, {"View", "Big"}));
    big->SetChecked(true);
    EXPECT_FALSE(small->Checked());
}

TEST_F(MenuBar, AMenuOwnedElsewhereAnswersTheKeysOfTheFormShowingIt) {
    TMainMenu shared(nullptr);
    auto* go = new TMenuItem(nullptr);
    go->SetCaption("&Go");
    shared.Items()->Add(go);  // freed with the menu
    int goes = 0;
    go->OnClick = [&](TObject*) { ++goes; };
    auto* rec = new Recorder(form);
    rec->SetParent(form);
    form->SetMenu(&shared);
    rec->SetFocus();
    ProcessEvents();
    EXPECT_EQ(shared.Form(), form);
    SendKey(rec, 'G', ssAlt);
    EXPECT_EQ(goes, 1);
    // Its changes reach the bar.
    go->SetCaption("&Went");
    EXPECT_EQ(Bar()->actions()[0]->text(), "&Went");
    form->SetMenu(nullptr);
}

// Dark pixels in a band of an image: where text is drawn.
int DarkPixels(const TBitmap& image, QRect band) {
    const QImage& img = *image.Image();
    int n = 0;
    for (int y = band.top(); y <= band.bottom() && y < img.height(); ++y)
        for (int x = band.left(); x <= band.right() && x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 100) ++n;
    return n;
}

TEST_F(MenuBar, GrabShowsTheBarsCaptionsAboveTheClientArea) {
    form->SetColor(clWhite);
    form->SetMenu(menu);
    ProcessEvents();
    TBitmap image;
    Grab(form, image);
    ASSERT_NE(image.Image(), nullptr);
    int bar = form->MenuBarHeight();
    EXPECT_EQ(image.Height(), form->ClientHeight() + bar);
    QRect runArea = Bar()->actionGeometry(Bar()->actions()[1]);
    EXPECT_GT(DarkPixels(image, runArea), 5);
    // The client area below is the form's own white face.
    EXPECT_EQ(DarkPixels(image, QRect(0, bar, image.Width(), image.Height() - bar)), 0);
    // Hidden, the caption goes from the bar.
    run->Visible = false;
    menu->ItemsChanged();
    Grab(form, image);
    EXPECT_EQ(DarkPixels(image, runArea), 0);
}

TEST_F(MenuBar, MergedItemsShowOnTheBarUntilTheirMenuGoes) {
    form->SetMenu(menu);
    run->GroupIndex = 5;
    auto* child = new TMainMenu(form);
    auto* tools = new TMenuItem(form);
    tools->SetCaption("&Tools");
    tools->GroupIndex = 5;
    child->Items()->Add(tools);
    bool toolsClicked = false;
    tools->OnClick = [&](TObject*) { toolsClicked = true; };
    menu->Merge(child);
    auto captions = [&] {
        std::vector<std::string> out;
        for (QAction* a : Bar()->actions()) out.push_back(a->text().toStdString());
        return out;
    };
    EXPECT_EQ(captions(), (std::vector<std::string>{"&File", "&Tools"}));
    EXPECT_TRUE(ClickMenu(form, {"Tools"}));
    EXPECT_TRUE(toolsClicked);
    // Items added to the merged menu appear at once.
    auto* extra = new TMenuItem(form);
    extra->SetCaption("&Extra");
    extra->GroupIndex = 6;
    child->Items()->Add(extra);
    EXPECT_EQ(captions(), (std::vector<std::string>{"&File", "&Tools", "&Extra"}));
    delete child;
    EXPECT_EQ(captions(), (std::vector<std::string>{"&File", "&Run"}));
}

TEST(MenuBarAutoMerge, ASecondFormsMenuMergesIntoTheMainFormsBar) {
    DoneApplication();
    InitApplication();
    auto* main = new TForm(Application);
    Application->CreateForm(main);
    auto* mainMenu = new TMainMenu(main);
    auto* file = new TMenuItem(main);
    file->SetCaption("&File");
    mainMenu->Items()->Add(file);
    main->SetMenu(mainMenu);
    main->Show();
    auto* second = new TForm(Application);
    auto* own = new TMainMenu(second);
    own->AutoMerge = true;
    auto* table = new TMenuItem(second);
    table->SetCaption("&Table");
    table->GroupIndex = 3;
    own->Items()->Add(table);
    second->SetMenu(own);
    EXPECT_EQ(second->MenuBarHeight(), 0);
    EXPECT_EQ(own->MergedInto(), mainMenu);
    ASSERT_EQ(mainMenu->MergedItems().size(), 2u);
    EXPECT_EQ(mainMenu->MergedItems()[1], table);
    EXPECT_TRUE(ClickMenu(main, {"Table"}));
    delete second;
    EXPECT_EQ(mainMenu->MergedItems().size(), 1u);
    delete main;
    EXPECT_EQ(Application->MainForm(), nullptr);
    DoneApplication();
    InitApplication();
}

}  // namespace
}  // namespace guitest
