// The main window's views driven by real key and mouse events, offscreen.
#include "editor/forms/main_form.h"

#include "editor/core/project_tables.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/fields.h"
#include "platform/db/tables.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using editor::TForm1;
constexpr unsigned kBack = 0x08, kInsert = 0x2D, kF3 = 0x72, kF9 = 0x78;

class MainViews : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        form = std::make_unique<TForm1>(nullptr);
        form->SuppressTipWindow = true;
        form->ctx->ProgramDir = home;
        form->FormCreate();
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
        {"F&ilter View", "HelpTitleFld", "filterGrid"},  {"F&ilter View", "filterGrid", "ApplicationFld"},
        {"&Contents", "ApplicationFld", "cntGrid"},      {"&Contents", "cntGrid", "ApplicationFld"},
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
    while (form->detailGrid->SelectedField() && form->detailGrid->SelectedField()->FieldName != "TopicPopup")
        form->detailGrid->SetSelectedIndex(form->detailGrid->SelectedIndex() + 1);
    ASSERT_NE(form->detailGrid->SelectedField(), nullptr);
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

}  // namespace
