// The main window's tool bar, menu states, pop-ups and Contents page,
// driven by real mouse and key events, offscreen.
#include "editor/forms/tests/main_window_fixture.h"
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"

#include "project/project_tables.h"
#include "editor/options/page_filters.h"
#include "platform/win/message_queue.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/gui/clipboard.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "controls/richdb/db_rich_text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using editor::TForm1;
constexpr unsigned kF4 = 0x73, kF5 = 0x74;
constexpr unsigned kHelpContextPopup = 0x0008, kHelpPartialKey = 0x0105;

class MainToolBar : public ::testing::Test {
protected:
    void SetUp() override {
        gui::SetClipboardBackend(&clip);
        home = (tmp.path() / "home").string();
        driver = editortest::UseProgramHome(home);
        form = editortest::StartMainWindow(home);
        ASSERT_TRUE(form->StartupOk());
        form->RunLocateDialog = [this](db::TDataSource* s, const std::string& f) {
            located.push_back((s ? s->Name() : std::string("-")) + "." + f);
        };
        form->Show();
        guitest::ProcessEvents(20);
        ctx = form->ctx;
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->FieldByName("DosName")->SetAsString("DEMO");
        ctx->mainTable->Post();
        for (int id : {10, 20}) {
            ctx->detailTable->Append();
            ctx->detailTable->FieldByName("HelpId")->SetAsInteger(id);
            ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
            ctx->detailTable->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            ctx->detailTable->FieldByName("HelpText")->SetAsString("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 Some words.\\par}");
            ctx->detailTable->Post();
        }
        ctx->detailTable->First();
        ctx->DefaultHelp().Clear();
        dialogs.Clear();
        guitest::ProcessEvents(20);
    }
    void TearDown() override {
        form.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
        gui::SetClipboardBackend(nullptr);
    }
    void Focus(gui::TWinControl* c) {
        form->SetActiveControl(c);
        c->SetFocus();
        guitest::ProcessEvents(10);
    }
    void View(const char* caption) {
        auto* book = form->TabBook;
        for (int i = 0; i < book->PageCount(); ++i)
            if (book->Pages(i)->Caption() == caption) {
                const gui::TRect r = book->TabRect(i);
                guitest::Click(book, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
            }
        guitest::ProcessEvents(10);
        ASSERT_EQ(book->ActivePageName(), caption);
    }
    void Press(gui::TControl* button, gui::TMouseButton which = gui::mbLeft) {
        guitest::Click(button, {button->Width() / 2, button->Height() / 2}, which);
        guitest::ProcessEvents(10);
    }
    gui::TMenuItem* Item(const std::string& name) {
        return dynamic_cast<gui::TMenuItem*>(form->FindComponent(name));
    }
    // Replaces a menu item's command by a recorder of its name.
    void Record(const std::string& name) {
        gui::TMenuItem* i = Item(name);
        ASSERT_NE(i, nullptr) << name;
        i->OnClick = [this, name](gui::TObject*) { ran.push_back(name); };
    }
    std::string Active() { return form->ActiveControl() ? form->ActiveControl()->Name() : std::string(); }
    std::vector<unsigned> HelpCommands() {
        std::vector<unsigned> out;
        for (const auto& r : ctx->DefaultHelp().Requests()) out.push_back(r.command);
        return out;
    }

    testsupport::TempDir tmp;
    std::string home;
    gui::MemoryClipboardBackend clip;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<TForm1> form;
    editor::EditorContext* ctx = nullptr;
    std::vector<std::string> located, ran;
};

// Each button runs its menu item's command, and a click leaves the focus
// where the author was working.
TEST_F(MainToolBar, EachButtonRunsItsMenuCommandAndKeepsTheFocus) {
    editor::InstallPageCommands(*form);
    const std::pair<gui::TSpeedButton* TForm1::*, const char*> buttons[] = {
        {&TForm1::sbtnCut, "miCut"},
        {&TForm1::sbtnCopy, "miCopy"},
        {&TForm1::sbtnPaste, "miPaste"},
        {&TForm1::sbtnSelectAll, "miSelectAll"},
        {&TForm1::sbtnReplace, "miReplace"},
        {&TForm1::sbtnTopicJump, "miTopicJump"},
        {&TForm1::sbtnPopup, "miPopupJump"},
        {&TForm1::sbtnMacro, "miMacro"},
        {&TForm1::sbtnGraphic, "miGraphic"},
        {&TForm1::sbtnBullets, "miBullets"},
        {&TForm1::sbtnCreateTable, "miCreateTable"},
        {&TForm1::sbtnCompile, "miCompile"},
        {&TForm1::sbtnPartCompile, "miRecompile"},
        {&TForm1::sbtnErrorLog, "miErrorLog"},
        {&TForm1::sbtnOptions, "miOptions"},
        {&TForm1::sbtnSpell, "miSpellCheck"},
        {&TForm1::sbtnCopyTo, "miCopyTo"},
        {&TForm1::sbtnShed, "miShed"},
        {&TForm1::sbtnPaint, "miPaint"},
        {&TForm1::sbtnWord, "miWord"},
        {&TForm1::SpeedButton4, "FFilter1"},
    };
    for (const auto& b : buttons) Record(b.second);
    // The Edit menu opened outside a page editor disables its items; the
    // buttons work all the same once the author is back in the page.
    Focus(form->detailGrid);
    form->UpdateEditMenuItems();
    ASSERT_FALSE(Item("miTopicJump")->Enabled);
    Focus(form->HelpText);
    for (const auto& b : buttons) {
        ran.clear();
        gui::TSpeedButton* button = form.get()->*(b.first);
        ASSERT_NE(button, nullptr) << b.second;
        const bool menuOnly = button == form->sbtnCopyTo || button == form->sbtnWord;
        EXPECT_EQ(button->Visible(), !menuOnly) << button->Name();
        if (menuOnly) button->Click();
        else Press(button);
        EXPECT_EQ(ran, std::vector<std::string>{b.second}) << button->Name();
        EXPECT_EQ(Active(), "HelpText") << button->Name();
    }
    // Find from the grid looks in the grid's column, not in a button.
    Focus(form->detailGrid);
    Press(form->sbtnLocate);
    ASSERT_EQ(located.size(), 1u);
    EXPECT_EQ(located[0].substr(0, located[0].find('.')), ctx->detailSource->Name());
    EXPECT_EQ(Active(), "detailGrid");
}

TEST_F(MainToolBar, ExitHelpAndOpenButtons) {
    // The menu's Exit presses the button.
    bool exited = false;
    form->sbtnExit->OnClick = [&](gui::TObject*) { exited = true; };
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&File", "E&xit"}));
    EXPECT_TRUE(exited);
    Press(form->sbtnHelp);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Tavrin.HLP was not found.");
}

// F4 and F5 press the jump buttons once, whether or not a menu item also
// carries the key.
TEST_F(MainToolBar, F4AndF5RunTheJumpCommandsOnce) {
    int topic = 0, popup = 0;
    form->sbtnTopicJump->OnClick = [&](gui::TObject*) { ++topic; };
    form->sbtnPopup->OnClick = [&](gui::TObject*) { ++popup; };
    Focus(form->HelpText);
    guitest::SendKey(form->HelpText, kF4);
    guitest::SendKey(form->HelpText, kF5);
    guitest::ProcessEvents(10);
    EXPECT_EQ(topic, 1);
    EXPECT_EQ(popup, 1);

    editor::InstallPageCommands(*form);
    Record("miTopicJump");
    Record("miPopupJump");
    guitest::SendKey(form->HelpText, kF4);
    guitest::SendKey(form->HelpText, kF5);
    guitest::ProcessEvents(10);
    EXPECT_EQ(ran, (std::vector<std::string>{"miTopicJump", "miPopupJump"}));
    EXPECT_EQ(topic, 1);
    EXPECT_EQ(popup, 1);
}

TEST_F(MainToolBar, TheEditMenuEnablesThePageCommandsInAPageEditorOnly) {
    editor::InstallPageCommands(*form);
    struct Case {
        const char* view;
        const char* focus;
        bool enabled;
    };
    const Case cases[] = {
        {"&Split View", "HelpText", true},          {"&Split View", "detailGrid", false},
        {"&Split View", "ApplicationFld", false},   {"&Max View", "maxHelpText", true},
        {"&Max View", "FullTitleEditFld", true},    {"&Max View", "HelpTitleFld", false},
        {"Filter &View", "filterGrid", false},
    };
    const char* const names[] = {"miReplace", "miSelectAll", "miTopicJump", "miPopupJump", "miGraphic", "miMacro"};
    for (const Case& c : cases) {
        View(c.view);
        Focus(dynamic_cast<gui::TWinControl*>(form->FindComponent(c.focus)));
        ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Edit"}));
        if (QWidget* open = QApplication::activePopupWidget()) open->close();
        guitest::ProcessEvents(10);
        for (const char* n : names) EXPECT_EQ(Item(n)->Enabled, c.enabled) << c.view << " " << n;
    }
    // Paste follows the clipboard's text.
    gui::Clipboard()->Clear();
    form->UpdateEditMenuItems();
    EXPECT_FALSE(Item("miPaste")->Enabled);
    gui::Clipboard()->SetAsText("words");
    form->UpdateEditMenuItems();
    EXPECT_TRUE(Item("miPaste")->Enabled);
}

TEST_F(MainToolBar, HelpSearchOpensTheHelpIndex) {
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Help", "&Search"}));
    ASSERT_EQ(ctx->DefaultHelp().Requests().size(), 1u);
    const auto& r = ctx->DefaultHelp().Requests()[0];
    EXPECT_EQ(r.helpFile, plat::JoinPath(home, "Tavrin.hlp"));
    EXPECT_EQ(r.command, kHelpPartialKey);
    EXPECT_EQ(r.data, 0);
    // No program help ships: the viewer's stand-in names the missing file.
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, home + "/Tavrin.hlp not found.");
}

TEST_F(MainToolBar, ThePageGridPopupAndWhatsThis) {
    editor::InstallPageCommands(*form);
    Record("miPrintPageList");
    ASSERT_EQ(gui::GetPopupMenu(form->detailGrid), form->popGrid);
    form->popGrid->Popup(10, 10);
    guitest::ProcessEvents(10);
    EXPECT_FALSE(form->miGridWhatsThis->Visible);
    form->miGridPrintPageList->Click();
    EXPECT_EQ(ran, std::vector<std::string>{"miPrintPageList"});

    // Without the program's help file: the warning, no help.
    form->GridWhatsThisClick();
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Tavrin.HLP was not found.");
    EXPECT_TRUE(ctx->DefaultHelp().Requests().empty());

    { std::ofstream(std::filesystem::path(home) / "Tavrin.HLP") << "x"; }
    struct Case {
        const char* field;
        long context;  // 0: nothing shown
    };
    const Case cases[] = {{"HelpId", 9504}, {"TopicPopup", 900011}, {"Title", 900005}, {"ContextString", 9503}};
    // The split view hides the context strings when it shows; here they are shown.
    ctx->detailTable->FieldByName("ContextString")->Visible = true;
    ctx->detailTable->DataEvent(db::deLayoutChange, 0);
    for (const Case& c : cases) {
        ctx->DefaultHelp().Clear();
        int column = -1;
        for (int i = 0; i < form->detailGrid->GetFieldCount(); ++i)
            if (form->detailGrid->GetFields(i) && form->detailGrid->GetFields(i)->FieldName == c.field) column = i;
        ASSERT_GE(column, 0) << c.field;
        form->detailGrid->SetSelectedIndex(column);
        form->GridWhatsThisClick();
        ASSERT_EQ(ctx->DefaultHelp().Requests().size(), 1u) << c.field;
        EXPECT_EQ(ctx->DefaultHelp().Requests()[0].command, kHelpContextPopup);
        EXPECT_EQ(ctx->DefaultHelp().Requests()[0].data, c.context) << c.field;
        EXPECT_EQ(ctx->DefaultHelp().Requests()[0].helpFile, plat::JoinPath(home, "Tavrin.HLP"));
    }
    // A column without a topic shows nothing.
    for (int i = 0; i < form->detailGrid->GetFieldCount(); ++i) {
        db::TField* f = form->detailGrid->GetFields(i);
        if (!f || f->FieldName == "HelpId" || f->FieldName == "TopicPopup" || f->FieldName == "Title" ||
            f->FieldName == "ContextString")
            continue;
        ctx->DefaultHelp().Clear();
        form->detailGrid->SetSelectedIndex(i);
        form->GridWhatsThisClick();
        EXPECT_TRUE(ctx->DefaultHelp().Requests().empty()) << f->FieldName;
    }
    EXPECT_EQ(dialogs.Requests().size(), 1u);
}

// The grid pop-up's Filter opens the small filter dialog for the column's
// criterion; a column without one opens nothing.
TEST_F(MainToolBar, TheGridPopupFiltersByTheColumn) {
    auto select = [&](const char* field) {
        for (int i = 0; i < form->detailGrid->GetFieldCount(); ++i)
            if (form->detailGrid->GetFields(i) && form->detailGrid->GetFields(i)->FieldName == field)
                form->detailGrid->SetSelectedIndex(i);
    };
    std::string shown;
    plat::HWND h = 0;
    h = plat::AllocateHWnd([&](gui::TMessage& m) {
        if (m.Msg != gui::WM_USER + 9) return;
        auto* mini = dynamic_cast<gui::TForm*>(form->FindComponent("frmMiniFilterGrid"));
        if (!mini || !mini->Visible()) {
            plat::PostMessage(h, gui::WM_USER + 9, 0, 0);
            return;
        }
        shown = mini->Caption();
        mini->SetModalResult(gui::mrCancel);
    });
    select("Title");
    plat::PostMessage(h, gui::WM_USER + 9, 0, 0);
    form->Filter2->Click();
    EXPECT_EQ(shown, editor::MiniFilterSpecOf(editor::FilterCriterion::Title).caption);
    EXPECT_FALSE(shown.empty());
    // The split view hides the context strings when it shows; here they are shown.
    ctx->detailTable->FieldByName("ContextString")->Visible = true;
    ctx->detailTable->DataEvent(db::deLayoutChange, 0);
    select("ContextString");
    ASSERT_EQ(form->detailGrid->GetSelectedField()->FieldName, "ContextString");
    shown.clear();
    form->Filter2->Click();
    guitest::ProcessEvents(10);
    EXPECT_TRUE(shown.empty());
    plat::DeallocateHWnd(h);
}

TEST_F(MainToolBar, ARightReleaseOnViewHelpOffersWhatsThis) {
    form->ShowHelpBtn->HelpContext = 4321;
    std::vector<std::string> viewed;
    form->StartHelpViewer = [&](const std::string& f) {
        viewed.push_back(f);
        return true;
    };
    Press(form->ShowHelpBtn, gui::mbRight);
    EXPECT_NE(form->popWhatsThis->ShownMenu(), nullptr);
    EXPECT_EQ(form->popWhatsThis->PopupComponent, form->ShowHelpBtn);
    EXPECT_TRUE(dialogs.Requests().empty());  // no View Help on a right click
    form->WhatsThis1->Click();
    ASSERT_EQ(HelpCommands(), std::vector<unsigned>{kHelpContextPopup});
    EXPECT_EQ(ctx->DefaultHelp().Requests()[0].data, 4321);
}

TEST_F(MainToolBar, FootnotesKeepThePageEditorsCaretAndAttribute) {
    View("&Max View");
    Focus(form->maxHelpText);
    form->maxHelpText->SetCPPosition(5);
    richtext::TJDCharAttr before;
    form->maxHelpText->GetCurrentAttr(before);
    gui::TCursor during = gui::crDefault;
    int shown = 0;
    form->RunFootnotesEditor = [&] {
        ++shown;
        during = gui::Screen->Cursor();
        form->maxHelpText->SetCPPosition(1);
        richtext::TJDCharAttr other = before;
        other.style ^= 1;
        form->maxHelpText->SetCurrentAttr(other);
    };
    Press(form->SpeedButton2);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(during, gui::crHourGlass);
    EXPECT_EQ(gui::Screen->Cursor(), gui::crDefault);
    EXPECT_EQ(form->maxHelpText->GetCPPosition(), 5);
    richtext::TJDCharAttr after;
    form->maxHelpText->GetCurrentAttr(after);
    EXPECT_EQ(after.style, before.style);
}

TEST_F(MainToolBar, TheNewButtonsHintAndCommandFollowTheFocus) {
    Focus(form->ApplicationFld);
    form->ShowApplicationHint();
    EXPECT_EQ(form->sbtnNew->Hint(), "New Project|Displays the New Project Wizard");
    Record("miNew");
    Press(form->sbtnNew);
    EXPECT_EQ(ran, std::vector<std::string>{"miNew"});
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);

    View("&Max View");
    Focus(form->maxHelpText);
    form->ShowApplicationHint();
    EXPECT_EQ(form->sbtnNew->Hint(), "New Topic/Popup|Adds a new Topic/Popup page");
    Press(form->sbtnNew);
    EXPECT_EQ(form->CurrentView(), "&Split View");
    EXPECT_EQ(Active(), "detailGrid");
    EXPECT_EQ(ctx->detailTable->State(), db::dsInsert);
    ctx->detailTable->Cancel();
}

class ContentsPage : public MainToolBar {
protected:
    void AddEntries(int n) {
        for (int i = 1; i <= n; ++i) {
            ctx->cntTable->Append();
            ctx->cntTable->FieldByName("Sequence")->SetAsInteger(i);
            ctx->cntTable->FieldByName("Level")->SetAsInteger(1);
            ctx->cntTable->FieldByName("EntryType")->SetAsString("T");
            ctx->cntTable->FieldByName("Title")->SetAsString("Entry " + std::to_string(i));
            ctx->cntTable->FieldByName("Jump")->SetAsString("10");
            ctx->cntTable->Post();
        }
        ctx->cntTable->First();
    }
    std::vector<std::string> Titles() {
        std::vector<std::string> out;
        ctx->cntTable->First();
        for (; !ctx->cntTable->Eof(); ctx->cntTable->Next()) out.push_back(ctx->cntTable->FieldByName("Title")->AsString());
        return out;
    }
};

TEST_F(ContentsPage, FilterNowAndTheMenuServeTheContentsPageOnly) {
    struct Case {
        const char* view;
        bool on;
    };
    for (const Case& c : {Case{"&Max View", false}, Case{"C&ontents", true}, Case{"Filter &View", false},
                          Case{"C&ontents", true}, Case{"&Split View", false}}) {
        View(c.view);
        EXPECT_EQ(form->btnFilterNow->Enabled(), c.on) << c.view;
        form->UpdateContentsMenuItems();
        for (int i = 0; i < 8; ++i) EXPECT_EQ(form->miContentsMenu->Items(i)->Enabled, c.on) << c.view << i;
        EXPECT_EQ(form->miContentsMenu->Items(8)->Caption(), "&Filter Now");
    }
}

TEST_F(ContentsPage, DeleteEntryAndClearAll) {
    AddEntries(3);
    View("C&ontents");
    ctx->cntTable->Next();  // Entry 2
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"Co&ntents", "&Delete Entry"}));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Entry 1", "Entry 3"}));
    EXPECT_TRUE(dialogs.Requests().empty());  // no question for one entry

    // Clear All asks first: No keeps everything, Yes empties the contents.
    dialogs.Answer(gui::IDNO);
    Press(form->btnCntClearAll);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(Titles().size(), 2u);
    dialogs.Answer(gui::IDYES);
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"Co&ntents", "&Clear All"}));
    EXPECT_TRUE(Titles().empty());
    // An empty contents: Delete Entry does nothing and says nothing.
    const std::size_t asked = dialogs.Requests().size();
    Press(form->btnCntDeleteEntry);
    EXPECT_EQ(dialogs.Requests().size(), asked);
    // Off the Contents page the menu entries are disabled and do nothing.
    AddEntries(1);
    View("&Split View");
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"Co&ntents", "&Delete Entry"}));
    EXPECT_EQ(Titles().size(), 1u);
}

// The buttons reach the contents commands: the moves and the file.
TEST_F(ContentsPage, TheButtonsMoveEntriesAndWriteTheFile) {
    AddEntries(2);
    ctx->cntTable->Edit();
    ctx->cntTable->FieldByName("EntryType")->SetAsString("H");
    ctx->cntTable->Post();
    View("C&ontents");
    ctx->cntTable->Last();
    auto level = [&] { return ctx->cntTable->FieldByName("Level")->AsInteger(); };
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"Co&ntents", "Move &Right"}));
    EXPECT_EQ(ctx->cntTable->FieldByName("Title")->AsString(), "Entry 2");
    EXPECT_EQ(level(), 2);
    Press(form->btnCntMoveLeft);
    EXPECT_EQ(level(), 1);
    EXPECT_TRUE(dialogs.Requests().empty());

    const std::filesystem::path cnt = std::filesystem::path(home) / "DEMO.cnt";
    ASSERT_FALSE(std::filesystem::exists(cnt));
    Press(form->btnCntWriteCnt);
    ASSERT_TRUE(std::filesystem::exists(cnt));
    std::ifstream in(cnt);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Entry 1"), std::string::npos);
    EXPECT_NE(text.find("Entry 2=10"), std::string::npos);
}

TEST_F(ContentsPage, TheNavigatorFollowsTheContentsPanel) {
    AddEntries(2);
    View("C&ontents");
    Focus(form->cntGrid);
    ASSERT_NE(form->DBNavigator1->DataSource(), nullptr);
    EXPECT_EQ(form->DBNavigator1->DataSource()->DataSet(), ctx->cntTable);
    Focus(form->editCntJump);  // still inside the panel
    EXPECT_EQ(form->DBNavigator1->DataSource()->DataSet(), ctx->cntTable);
    Focus(form->ApplicationFld);
    EXPECT_EQ(form->DBNavigator1->DataSource()->DataSet(), ctx->mainTable);
}

TEST_F(ContentsPage, TheExtrasTabSetSwitchesTheMemosOfTheProject) {
    EXPECT_EQ(form->nbCntExtras->PageIndex(), form->tabCntExtras->TabIndex());
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("CntIndexFiles")->SetAsString("other.hlp");
    ctx->mainTable->Post();
    View("C&ontents");
    guitest::ProcessEvents(10);
    for (int tab : {1, 2, 0}) {
        const gui::TRect r = form->tabCntExtras->TabRect(tab);
        guitest::Click(form->tabCntExtras, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
        guitest::ProcessEvents(10);
        EXPECT_EQ(form->tabCntExtras->TabIndex(), tab);
        EXPECT_EQ(form->nbCntExtras->PageIndex(), tab);
    }
    EXPECT_EQ(form->memoCntIndexFiles->Text(), "other.hlp");
    EXPECT_EQ(form->memoCntLinkFiles->DataField(), "CntLinkFiles");
    EXPECT_EQ(form->memoCntTabs->DataField(), "CntTabs");
}

}  // namespace
