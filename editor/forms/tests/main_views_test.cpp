// The main window's views driven by real key and mouse events, offscreen.
#include "editor/forms/tests/main_window_fixture.h"
#include "editor/forms/main_form.h"

#include "project/project_tables.h"
#include "editor/forms/projects_form.h"
#include "platform/win/message_queue.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <set>
#include <fstream>

namespace {

using editor::TForm1;
constexpr unsigned kBack = 0x08, kInsert = 0x2D, kF3 = 0x72, kF9 = 0x78;

class MainViews : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        driver = editortest::UseProgramHome(home);
        form = editortest::StartMainWindow(home);
        ASSERT_TRUE(form->StartupOk());
        form->RunLocateDialog = [this](db::TDataSource* s, const std::string& f) {
            located.push_back((s ? s->Name() : std::string("-")) + "." + f);
        };
        form->StartHelpViewer = [this](const std::string& file) {
            viewed.push_back(file);
            return true;
        };
        form->Show();
        guitest::ProcessEvents(20);
        ctx = form->ctx;
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->FieldByName("DosName")->SetAsString("DEMO");
        ctx->mainTable->Post();
        for (auto [id, kind] : {std::pair{10, "T"}, {20, "P"}, {30, "T"}}) {
            ctx->detailTable->Append();
            ctx->detailTable->FieldByName("HelpId")->SetAsInteger(id);
            ctx->detailTable->FieldByName("TopicPopup")->SetAsString(kind);
            ctx->detailTable->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            ctx->detailTable->Post();
        }
        ctx->detailTable->First();
        dialogs.Clear();
        guitest::ProcessEvents(20);
    }
    void TearDown() override {
        form.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    void Focus(gui::TWinControl* c) {
        form->SetActiveControl(c);
        c->SetFocus();
        guitest::ProcessEvents(10);
    }
    void Key(unsigned vk, gui::TShiftState shift = 0) {
        gui::TWinControl* target = form->ActiveControl() ? form->ActiveControl() : form.get();
        guitest::SendKey(target, vk, shift);
        guitest::ProcessEvents(10);
    }
    std::string Active() { return form->ActiveControl() ? form->ActiveControl()->Name() : std::string(); }
    // Clicks the notebook's tab of that caption.
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

    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<TForm1> form;
    editor::EditorContext* ctx = nullptr;
    std::vector<std::string> located, viewed;
};

// The main window's page rules reach the title rules before a post and the
// contents after one.
TEST_F(MainViews, APagePostAppliesTheTitleRulesAndMovesContentsJumps) {
    db::TDataSet* d = ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(40);
    d->FieldByName("TopicPopup")->SetAsString("T");
    d->FieldByName("Title")->SetAsString("Printing Guide");
    d->FieldByName("TitleUserModified")->SetAsString("Y");
    d->Post();
    EXPECT_EQ(d->FieldByName("ContextString")->AsString(), "PrintingGuide");
    EXPECT_EQ(d->FieldByName("TitleUserModified")->AsString(), "N");

    db::TDataSet* c = ctx->cntTable;
    c->Append();
    c->FieldByName("Sequence")->SetAsInteger(1);
    c->FieldByName("Level")->SetAsInteger(1);
    c->FieldByName("EntryType")->SetAsString("T");
    c->FieldByName("Title")->SetAsString("Printing Guide");
    c->FieldByName("Jump")->SetAsString("40");
    c->Post();
    d->Edit();
    d->FieldByName("HelpId")->SetAsInteger(45);
    d->Post();
    c->Refresh();
    c->First();
    EXPECT_EQ(c->FieldByName("Jump")->AsString(), "45");
}

TEST_F(MainViews, F3CyclesTheFocusPerView) {
    struct Step {
        const char* view;
        const char* from;
        const char* to;
    };
    const Step steps[] = {
        {"&Split View", "detailGrid", "HelpText"},       {"&Split View", "HelpText", "ApplicationFld"},
        {"&Split View", "ApplicationFld", "detailGrid"}, {"&Max View", "FullTitleEditFld", "maxHelpText"},
        {"&Max View", "DosNameFld", "FullTitleEditFld"}, {"&Max View", "maxHelpText", "ApplicationFld"},
        {"Filter &View", "HelpTitleFld", "filterGrid"},  {"Filter &View", "filterGrid", "ApplicationFld"},
        {"C&ontents", "ApplicationFld", "cntGrid"},      {"C&ontents", "cntGrid", "ApplicationFld"},
    };
    for (const Step& s : steps) {
        View(s.view);
        Focus(static_cast<gui::TWinControl*>(form->FindComponent(s.from)));
        ASSERT_EQ(Active(), s.from);
        Key(kF3);
        EXPECT_EQ(Active(), s.to) << s.view << " from " << s.from;
    }
}

TEST_F(MainViews, F9AltBackspaceAndTheStateReadOut) {
    Focus(form->detailGrid);
    Key(kF9);
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
    EXPECT_EQ(ctx->mainTable->State(), db::dsEdit);
    EXPECT_EQ(form->TableStatus->Caption(), "Edit");
    ctx->detailTable->FieldByName("Title")->SetAsString("Changed");
    Key(kBack, gui::ssAlt);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->detailTable->FieldByName("Title")->AsString(), "Page 10");
    EXPECT_EQ(form->TableStatus->Caption(), "");
    Key(kF9);
    ctx->detailTable->FieldByName("Title")->SetAsString("Kept");
    Key(kF9, gui::ssCtrl);  // exactly Ctrl: not the toggle
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
    Key(kF9);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->detailTable->FieldByName("Title")->AsString(), "Kept");

    Focus(form->detailGrid);
    Key(kInsert);
    EXPECT_EQ(ctx->detailTable->State(), db::dsInsert);
    EXPECT_EQ(form->TableStatus->Caption(), "Inserting new record");
    Key(kBack, gui::ssAlt);
}

TEST_F(MainViews, CtrlZFindsInTheFocusedFieldAndInsertTopicOnlyFromTheGrids) {
    Focus(form->ApplicationFld);
    Key('Z', gui::ssCtrl);
    EXPECT_EQ(located, std::vector<std::string>{"mainSource.Application"});
    Focus(form->HelpText);
    Key(kInsert);
    Focus(form->ApplicationFld);
    Key(kInsert);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    form->LocateInSource(ctx->mainSource, "NoSuchField");
    EXPECT_EQ(dialogs.Last().text, "Locate problem : Source or field does not exist.");
    EXPECT_EQ(dialogs.Last().caption, "Warning");
}

TEST_F(MainViews, TabChangePostsAndAPopupHidesTheTitleRegion) {
    ctx->Settings.NonscrollSplitterPos = 30;
    Focus(form->detailGrid);
    Key(kF9);
    ctx->detailTable->FieldByName("Title")->SetAsString("Posted by the tab");
    View("&Max View");
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    EXPECT_TRUE(form->FullTitleEditFld->Visible());
    EXPECT_EQ(form->pnlMaxSplitter->BarPosition(), 30);
    ctx->detailTable->Next();  // page 20, a popup
    guitest::ProcessEvents(10);
    EXPECT_FALSE(form->FullTitleEditFld->Visible());
    EXPECT_EQ(form->pnlMaxSplitter->BarPosition(), 0);
    ctx->detailTable->Next();  // page 30, a topic: the split comes back
    guitest::ProcessEvents(10);
    EXPECT_TRUE(form->FullTitleEditFld->Visible());
    EXPECT_EQ(form->pnlMaxSplitter->BarPosition(), 30);
}

TEST_F(MainViews, DoubleClickOnTheKindFlipsItAndTheCursorReadOut) {
    View("&Split View");
    Focus(form->detailGrid);
    form->detailGrid->SetSelectedIndex(0);
    while (form->detailGrid->GetSelectedField() && form->detailGrid->GetSelectedField()->FieldName != "TopicPopup")
        form->detailGrid->SetSelectedIndex(form->detailGrid->GetSelectedIndex() + 1);
    ASSERT_NE(form->detailGrid->GetSelectedField(), nullptr);
    const gui::TRect cell = form->detailGrid->CellRect(form->detailGrid->Col(), form->detailGrid->Row());
    guitest::DoubleClick(form->detailGrid, {cell.Left + 3, cell.Top + 3});
    EXPECT_EQ(ctx->detailTable->FieldByName("TopicPopup")->AsString(), "P");

    Focus(form->HelpText);
    guitest::TypeText(form->HelpText, "abc");
    guitest::ProcessEvents(10);
    EXPECT_EQ(form->TableStatus->Caption(), "Line:0, Pos:4");
}

TEST_F(MainViews, ViewCompiledHelpFindsTheFileByTheProjectFolderRule) {
    std::filesystem::create_directories(std::filesystem::path(home) / "proj");
    { std::ofstream(std::filesystem::path(home) / "proj" / "DEMO.HLP") << "x"; }
    { std::ofstream(std::filesystem::path(home) / "OLD16.HLP") << "x"; }
    struct Case {
        std::string dir, compile, name16;
        std::string viewed;  // "" when a warning is expected instead
        std::string warningStart;
    };
    const std::string abs = plat::JoinPath(home, "proj");
    const Case cases[] = {
        {"proj", "32", "", plat::JoinPath(abs, "DEMO.HLP"), ""},
        {abs, "32", "", plat::JoinPath(abs, "DEMO.HLP"), ""},
        {"", "32", "", "", "You must first Compile"},
        {"", "16", "OLD16", plat::JoinPath(home, "OLD16.HLP"), ""},
        {"missing", "32", "", "", "The directory, "},
    };
    for (const Case& c : cases) {
        viewed.clear();
        dialogs.Clear();
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName("ProjectDir")->SetAsString(c.dir);
        ctx->mainTable->FieldByName("Compile")->SetAsString(c.compile);
        ctx->mainTable->FieldByName("16bitName")->SetAsString(c.name16);
        ctx->mainTable->Post();
        form->ShowHelpBtn->Click();
        if (c.viewed.empty()) {
            ASSERT_EQ(dialogs.Requests().size(), 1u) << c.dir;
            EXPECT_EQ(dialogs.Last().text.rfind(c.warningStart, 0), 0u) << dialogs.Last().text;
            EXPECT_TRUE(viewed.empty());
        } else {
            EXPECT_EQ(viewed, std::vector<std::string>{c.viewed}) << c.dir;
        }
    }
    // A 16-bit project without a 16-bit name takes the file name and saves it.
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("ProjectDir")->SetAsString("proj");
    ctx->mainTable->FieldByName("Compile")->SetAsString("16");
    ctx->mainTable->FieldByName("16bitName")->SetAsString("");
    ctx->mainTable->Post();
    viewed.clear();
    form->ShowHelpBtn->Click();
    EXPECT_EQ(ctx->mainTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->mainTable->FieldByName("16bitName")->AsString(), "DEMO");
    EXPECT_EQ(viewed, std::vector<std::string>{plat::JoinPath(abs, "DEMO.HLP")});
}

struct RecordingPainter : editor::CellPainter {
    std::vector<std::string> calls;
    void FillRect(const gui::TRect& r) override { calls.push_back("fill " + std::to_string(r.Left)); }
    void DrawIcon(int x, int y, const std::string& b) override {
        calls.push_back(b + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void TextOut(int x, int y, const std::string& t) override {
        calls.push_back(t + " " + std::to_string(x) + "," + std::to_string(y));
    }
};

TEST(ContentsGrid, IconsAndTitlesByLevel) {
    struct Case {
        const char* field;
        const char* type;
        int level;
        std::vector<std::string> calls;  // empty: the grid draws the cell
    };
    const Case cases[] = {
        {"Title", "H", 1, {"fill 100", "BITMAP_3 102,40", "T 123,40"}},
        {"Title", "T", 2, {"fill 100", "BITMAP_4 117,40", "T 138,40"}},
        {"Jump", "T", 4, {"fill 100", "BITMAP_4 147,40", "T 168,40"}},
        {"Title", "I", 1, {}},
        {"Filter", "H", 1, {}},
    };
    for (const Case& c : cases) {
        RecordingPainter p;
        const bool drawn = editor::DrawContentsCell(p, gui::TRect{100, 40, 300, 58}, c.field, c.type, c.level, "T", 15);
        EXPECT_EQ(drawn, !c.calls.empty()) << c.field << c.type << c.level;
        EXPECT_EQ(p.calls, c.calls) << c.field << c.type << c.level;
    }
}

TEST_F(MainViews, PageGridColoursFollowInheritanceAndKind) {
    auto colours = [&](const char* fieldName) {
        gui::TFont font;
        gui::TBrush brush;
        font.SetColor(0x123456);
        brush.SetColor(0x654321);
        form->detailGrid->OnCalcCellColors(form->detailGrid, ctx->detailTable->FieldByName(fieldName), 0, false, font,
                                          brush);
        return std::pair{static_cast<long>(font.Color()), static_cast<long>(brush.Color())};
    };
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("InheritedStatus")->SetAsString("Master");
    EXPECT_EQ(colours("HelpId"), (std::pair{0xFFFFFFL, 0x000080L}));
    ctx->detailTable->FieldByName("InheritedStatus")->SetAsString("Inherited");
    EXPECT_EQ(colours("HelpId"), (std::pair{0L, 0x00FFFFL}));
    ctx->detailTable->FieldByName("InheritedStatus")->SetAsString("");
    EXPECT_EQ(colours("HelpId"), (std::pair{0x123456L, 0x654321L}));
    EXPECT_EQ(colours("TopicPopup"), (std::pair{static_cast<long>(ctx->TopicColor), 0xFFFFFFL}));
    ctx->detailTable->FieldByName("TopicPopup")->SetAsString("P");
    EXPECT_EQ(colours("TopicPopup"), (std::pair{static_cast<long>(ctx->PopupColor), 0xFFFFFFL}));
    ctx->detailTable->Cancel();
}

TEST_F(MainViews, ProjectFieldsMoveOnAndAnEmptyProjectStartsAPage) {
    ctx->mainTable->Append();
    ctx->mainTable->FieldByName("Application")->SetAsString("Empty");
    ctx->mainTable->Post();
    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(std::string("Demo"))}));
    Focus(form->ApplicationFld);
    Key(0x22);  // Page Down: the next project
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Empty");
    Key(0x0D);  // Enter moves on
    EXPECT_NE(Active(), "ApplicationFld");
    Focus(form->DosNameFld);
    Key(0x21);  // Page Up
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Demo");
    Key(0x22);
    ASSERT_TRUE(ctx->detailTable->IsEmpty());
    Focus(form->detailGrid);
    EXPECT_EQ(ctx->detailTable->State(), db::dsInsert);
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsString(), "1000");
    ASSERT_NE(form->detailGrid->GetSelectedField(), nullptr);
    EXPECT_EQ(form->detailGrid->GetSelectedField()->FieldName, "HelpId");
    EXPECT_EQ(ctx->activeSource->DataSet(), ctx->detailTable);
    Key(kBack, gui::ssAlt);
}

TEST_F(MainViews, AMissingHelpViewerIsNamed) {
    { std::ofstream(std::filesystem::path(home) / "DEMO.HLP") << "x"; }
    form->StartHelpViewer = [](const std::string&) { return false; };
    form->ShowHelpBtn->Click();
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_NE(dialogs.Last().text.find("WinHlp32.exe"), std::string::npos);
}

TEST_F(MainViews, ADoubleClickOnAContentsEntryShowsItsPage) {
    ctx->detailTable->Next();  // page 20 gets a context string
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("ContextString")->SetAsString("Twenty");
    ctx->detailTable->Post();
    struct Case {
        const char* jump;
        long page;  // 0: not found
        const char* status;
    };
    const Case cases[] = {{"30", 30, ""}, {"twenty", 20, ""}, {"99", 0, "Help id not found"},
                          {"Nowhere", 0, "Context string not found"}};
    int seq = 0;
    for (const Case& c : cases) {
        ctx->detailTable->First();
        form->StatusPanel->SetCaption("");
        ctx->cntTable->Append();
        ctx->cntTable->FieldByName("Sequence")->SetAsInteger(++seq);
        ctx->cntTable->FieldByName("Level")->SetAsInteger(1);
        ctx->cntTable->FieldByName("EntryType")->SetAsString("T");
        ctx->cntTable->FieldByName("Title")->SetAsString(c.jump);
        ctx->cntTable->FieldByName("Jump")->SetAsString(c.jump);
        ctx->cntTable->Post();
        View("C&ontents");
        Focus(form->cntGrid);
        const gui::TRect cell = form->cntGrid->CellRect(form->cntGrid->Col(), form->cntGrid->Row());
        guitest::DoubleClick(form->cntGrid, {cell.Left + 3, cell.Top + 3});
        guitest::ProcessEvents(10);
        EXPECT_EQ(form->StatusPanel->Caption(), c.status) << c.jump;
        if (c.page) {
            EXPECT_EQ(form->CurrentView(), "&Split View") << c.jump;
            EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsInteger(), c.page) << c.jump;
        } else {
            EXPECT_EQ(form->CurrentView(), "C&ontents") << c.jump;
        }
    }
}

TEST_F(MainViews, ProgramHelpFromTheHelpMenu) {
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Help", "&Contents"}));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Tavrin.HLP was not found.");
    { std::ofstream(std::filesystem::path(home) / "Tavrin.HLP") << "x"; }
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Help", "&Contents"}));
    EXPECT_EQ(viewed, std::vector<std::string>{plat::JoinPath(home, "Tavrin.HLP")});
    ctx->DefaultHelp().Clear();
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Help", "H&ow do I..?"}));
    ASSERT_EQ(ctx->DefaultHelp().Requests().size(), 1u);
    EXPECT_EQ(ctx->DefaultHelp().Requests()[0].data, 2100);
}

TEST_F(MainViews, F3FromANewPopupSavesItAndGoesOnEditingItsText) {
    Focus(form->detailGrid);
    Key(kInsert);
    ASSERT_EQ(ctx->detailTable->State(), db::dsInsert);
    // In front of the first page no id is offered: the author types one.
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsString(), "");
    ctx->detailTable->FieldByName("HelpId")->SetAsInteger(5);
    ctx->detailTable->FieldByName("TopicPopup")->SetAsString("P");
    ctx->detailTable->FieldByName("Title")->SetAsString("New popup");
    const std::string id = "5";
    Key(kF3);
    EXPECT_EQ(Active(), "HelpText");
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsString(), id);
    EXPECT_EQ(ctx->detailTable->RecordCount(), 4);
    EXPECT_EQ(form->HelpText->Engine().currentAttr.style, 0);
    Key(kBack, gui::ssAlt);
}

TEST_F(MainViews, AChangeOfProjectGivesTheEditorsItsGraphicsFolder) {
    std::filesystem::create_directories(std::filesystem::path(home) / "pics");
    struct Case {
        const char* name;
        std::string stored, expected;
    };
    const Case cases[] = {
        {"Rel", "pics", plat::JoinPath(home, "pics")},
        {"Gone", "nothere", ""},
        {"Abs", "/srv/pictures", "/srv/pictures"},
        {"None", "", ""},
    };
    for (const Case& c : cases) {
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString(c.name);
        ctx->mainTable->FieldByName("GraphicsDir")->SetAsString(c.stored);
        ctx->mainTable->Post();
    }
    for (const Case& c : cases) {
        ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(std::string(c.name))}));
        guitest::ProcessEvents(5);
        EXPECT_EQ(form->HelpText->HTMLFilePath(), c.expected) << c.name;
        EXPECT_EQ(form->FullTitleEditFld->HTMLFilePath(), c.expected) << c.name;
    }
    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(std::string("Demo"))}));
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsInteger(), 10);
}

TEST_F(MainViews, OpenProjectPicksAProjectAtAGlance) {
    ctx->mainTable->Append();
    ctx->mainTable->FieldByName("Application")->SetAsString("Other");
    ctx->mainTable->Post();
    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(std::string("Demo"))}));
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("HelpTitle")->SetAsString("Saved first");
    std::string shownOn;
    plat::HWND h = 0;
    auto pick = [&](gui::TModalResult answer) {
        h = plat::AllocateHWnd([&, answer](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 9) return;
            auto* glance = dynamic_cast<editor::TProjectsForm*>(form->FindComponent("ProjectsForm"));
            // Not up yet: ask again once the modal loop runs.
            if (!glance || !glance->Visible()) {
                plat::PostMessage(h, gui::WM_USER + 9, 0, 0);
                return;
            }
            {
                shownOn = glance->SelectedProject();
                glance->mainTable->FindKey({db::TValue(std::string("Other"))});
                glance->SetModalResult(answer);
            }
            plat::DeallocateHWnd(h);
        });
        plat::PostMessage(h, gui::WM_USER + 9, 0, 0);
    };
    pick(gui::mrCancel);
    form->sbtnGlance->Click();
    EXPECT_EQ(shownOn, "Demo");
    EXPECT_EQ(ctx->mainTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->mainTable->FieldByName("HelpTitle")->AsString(), "Saved first");
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Demo");
    EXPECT_EQ(Active(), "ApplicationFld");
    pick(gui::mrOk);
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&File", "&Open Project"}));
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Other");
}

// The split view's page grid edits a page's short fields only: Tab walks
// them and leaves the grid, never stopping in a memo, and what is typed
// there never reaches one.
TEST_F(MainViews, TabThroughThePageGridNeverReachesAMemo) {
    std::vector<std::string> shown;
    for (int i = 0; i < form->detailGrid->GetFieldCount(); ++i) shown.push_back(form->detailGrid->GetFields(i)->FieldName);
    EXPECT_EQ(shown, (std::vector<std::string>{"HelpId", "TopicPopup", "Title"}));
    ctx->detailTable->First();
    std::vector<std::pair<std::string, std::string>> memos;
    for (int i = 0; i < ctx->detailTable->FieldCount(); ++i)
        if (db::TField* f = ctx->detailTable->Fields(i); f->IsBlob()) memos.emplace_back(f->FieldName, f->AsString());
    ASSERT_FALSE(memos.empty());
    form->SetActiveControl(form->detailGrid);
    form->detailGrid->SetFocus();
    form->detailGrid->SetSelectedIndex(0);
    guitest::ProcessEvents(10);
    // Tab goes on from the last column to the next page's first.
    std::set<std::string> visited;
    for (int step = 0; step < 12 && form->ActiveControl() == form->detailGrid; ++step) {
        db::TField* f = form->detailGrid->GetSelectedField();
        ASSERT_NE(f, nullptr);
        visited.insert(f->FieldName);
        EXPECT_FALSE(f->IsBlob()) << f->FieldName;
        guitest::SendKey(form->detailGrid, gui::VK_TAB);
        guitest::ProcessEvents(5);
    }
    EXPECT_EQ(visited, (std::set<std::string>{"HelpId", "TopicPopup", "Title"}));
    // Typing in the last column changes that field and no memo.
    ctx->detailTable->First();
    form->SetActiveControl(form->detailGrid);
    form->detailGrid->SetFocus();
    form->detailGrid->SetSelectedIndex(form->detailGrid->GetFieldCount() - 1);
    guitest::ProcessEvents(5);
    guitest::TypeText(form->detailGrid, "zz");
    guitest::SendKey(form->detailGrid, gui::VK_RETURN);
    guitest::ProcessEvents(5);
    if (ctx->detailTable->State() != db::dsBrowse) ctx->detailTable->Post();
    ctx->detailTable->First();
    for (const auto& [name, before] : memos) EXPECT_EQ(ctx->detailTable->FieldByName(name)->AsString(), before) << name;
    EXPECT_EQ(ctx->detailTable->FieldByName("Title")->AsString(), "zz");
}

// Each cell of the contents grid shows its own entry's value, as the grid
// paints it: the icon and title in the title column, plain text elsewhere.
TEST_F(MainViews, TheContentsGridShowsEachEntrysValues) {
    db::TDataSet* c = ctx->cntTable;
    struct Entry {
        int seq, level;
        const char* type;
        const char* title;
        const char* filter;
    } entries[] = {{1, 1, "H", "Getting started", "web"}, {2, 2, "T", "Second page", ""}};
    for (const Entry& e : entries) {
        c->Append();
        c->FieldByName("Sequence")->SetAsInteger(e.seq);
        c->FieldByName("Level")->SetAsInteger(e.level);
        c->FieldByName("EntryType")->SetAsString(e.type);
        c->FieldByName("Title")->SetAsString(e.title);
        c->FieldByName("Filter")->SetAsString(e.filter);
        c->Post();
    }
    form->TabBook->SetActivePageName(editor::kContentsPage);
    form->TabBookClick();
    guitest::ProcessEvents(20);
    ASSERT_GT(form->cntGrid->GetFieldCount(), 0);
    int row = 0;
    for (c->First(); !c->Eof(); c->Next(), ++row) {
        for (int i = 0; i < form->cntGrid->GetFieldCount(); ++i) {
            db::TField* f = form->cntGrid->GetFields(i);
            RecordingPainter p;
            const bool drawn = editor::DrawContentsCell(p, gui::TRect{0, 0, 200, 18}, f->FieldName,
                                                        entries[row].type, entries[row].level, entries[row].title, 15);
            // What the cell says: the text the painter wrote, or the grid's own text.
            std::string said = f->DisplayText();
            if (drawn) {
                said.clear();
                for (const std::string& call : p.calls)
                    if (call.rfind(entries[row].title, 0) == 0) said = entries[row].title;
            }
            EXPECT_EQ(said, f->DisplayText()) << f->FieldName << " row " << row;
        }
    }
    // On screen: the two titles' rows differ, and below them the grid is empty.
    const QImage shot = form->cntGrid->Widget()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    const int col = form->cntGrid->FixedCols();
    const gui::TRect r1 = form->cntGrid->CellRect(col, form->cntGrid->FixedRows());
    const gui::TRect r2 = form->cntGrid->CellRect(col, form->cntGrid->FixedRows() + 1);
    const qreal k = shot.devicePixelRatio();
    auto cell = [&](const gui::TRect& r) {
        return shot.copy(QRect(QPoint(int(r.Left * k), int(r.Top * k)), QPoint(int(r.Right * k) - 1, int(r.Bottom * k) - 1)));
    };
    auto inked = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 100;
        return n;
    };
    EXPECT_GT(inked(cell(r1)), 0);
    EXPECT_GT(inked(cell(r2)), 0);
    EXPECT_NE(cell(r1), cell(r2));
}

}  // namespace


// The view accelerators switch views wherever the focus is, and type
// nothing into the page being edited.
TEST_F(MainViews, AltWithAViewsLetterSwitchesViewsFromAnyControl) {
    struct Case {
        const char* from;
        unsigned letter;
        const char* view;
    };
    const Case cases[] = {
        {"HelpText", 'M', "&Max View"},
        {"maxHelpText", 'S', "&Split View"},
        {"detailGrid", 'M', "&Max View"},
        {"ApplicationFld", 'M', "&Max View"},
    };
    for (const Case& c : cases) {
        View(c.letter == 'M' ? "&Split View" : "&Max View");
        Focus(static_cast<gui::TWinControl*>(form->FindComponent(c.from)));
        const std::string before = form->HelpText->GetPlainText();
        Key(c.letter, gui::ssAlt);
        EXPECT_EQ(form->CurrentView(), c.view) << c.from;
        EXPECT_EQ(form->HelpText->GetPlainText(), before) << c.from;
        EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse) << c.from;
        EXPECT_TRUE(form->ActiveControl() && form->ActiveControl()->Showing()) << c.from;
    }
}

// Ctrl+S from the page editor stores what was typed.
TEST_F(MainViews, CtrlSInThePageEditorSavesThePage) {
    for (gui::TWinControl* editor : {static_cast<gui::TWinControl*>(form->HelpText),
                                     static_cast<gui::TWinControl*>(form->maxHelpText)}) {
        View(editor == form->HelpText ? "&Split View" : "&Max View");
        Focus(editor);
        guitest::TypeText(editor, "Saved words");
        guitest::ProcessEvents(10);
        ASSERT_NE(ctx->detailTable->State(), db::dsBrowse);
        Key('S', gui::ssCtrl);
        EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse) << editor->Name();
        ctx->detailTable->Refresh();
        EXPECT_NE(ctx->detailTable->FieldByName("HelpText")->AsString().find("Saved words"),
                  std::string::npos)
            << editor->Name();
    }
}

// A row begun in the page grid goes again with Escape (once the author
// agrees to lose it) or with Alt+Backspace, typed into or not.
TEST_F(MainViews, EscapeAndAltBackspaceDropARowBeingInserted) {
    struct Case {
        unsigned key;
        gui::TShiftState shift;
        const char* typed;
    };
    const Case cases[] = {{0x1B, 0, ""}, {kBack, gui::ssAlt, ""}, {kBack, gui::ssAlt, "77"}};
    for (const Case& c : cases) {
        Focus(form->detailGrid);
        Key(kInsert);
        ASSERT_EQ(ctx->detailTable->State(), db::dsInsert);
        for (const char* p = c.typed; *p; ++p) {
            guitest::TypeText(form->ActiveControl(), std::string(1, *p));
            guitest::ProcessEvents(0);
        }
        dialogs.Clear();
        for (int i = 0; i < 3; ++i) dialogs.Answer(gui::mrYes);
        Key(c.key, c.shift);
        EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse) << c.key << " " << c.typed;
        EXPECT_EQ(ctx->detailTable->RecordCount(), 3) << c.key << " " << c.typed;
        EXPECT_TRUE(form->Visible());
        form->UndoRecord();  // a failed case leaves the next one a clean start
    }
}

// File > Exit with a page that cannot be stored (a title, no help id)
// says why it stays open, in the page rules' words.
TEST_F(MainViews, ExitRefusedByAnUnstorablePageSaysWhy) {
    Focus(form->detailGrid);
    Key(kInsert);
    ASSERT_EQ(ctx->detailTable->State(), db::dsInsert);
    ctx->detailTable->FieldByName("HelpId")->Clear();
    ctx->detailTable->FieldByName("Title")->SetAsString("No id yet");
    dialogs.Clear();
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&File", "E&xit"}));
    guitest::ProcessEvents(10);
    EXPECT_TRUE(form->Visible());
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_NE(dialogs.Last().text.find("without a HelpId"), std::string::npos) << dialogs.Last().text;
    ctx->detailTable->Cancel();
}
