#include "editor/forms/main_form.h"
#include "editor/forms/splash_form.h"
#include "editor/forms/tip_form.h"

#include "editor/core/project_tables.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/fields.h"
#include "platform/db/tables.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "richtext/controls/rtf_edit.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using editor::TForm1;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
    }
    void TearDown() override {
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
};

TEST_F(MainWindow, ShowsTheFourViewsAndTheProjectFields) {
    auto* splash = new editor::TSplashForm(gui::Application);
    splash->Show();
    auto form = std::make_unique<TForm1>(nullptr);
    form->Splash = splash;
    form->SuppressTipWindow = true;
    form->FormCreate();
    ASSERT_TRUE(form->StartupOk());
    form->Show();
    guitest::ProcessEvents(50);
    EXPECT_EQ(form->Splash, nullptr);  // freed once the window showed
    EXPECT_TRUE(form->ctx->StartupDone);

    ASSERT_EQ(form->TabBook->PageCount(), 4);
    const char* captions[] = {"&Split View", "&Max View", "F&ilter View", "&Contents"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form->TabBook->Pages(i)->Caption(), captions[i]);
    EXPECT_EQ(form->TabBook->ActivePageName(), "&Split View");
    EXPECT_EQ(form->ActiveControl(), form->HelpText);

    // The project fields edit the project table's row.
    editor::EditorContext& ctx = *form->ctx;
    ctx.mainTable->Append();
    ctx.mainTable->FieldByName("Application")->SetAsString("Demo");
    ctx.mainTable->FieldByName("DosName")->SetAsString("DEMO");
    ctx.mainTable->FieldByName("HelpTitle")->SetAsString("Demo Help");
    ctx.mainTable->Post();
    guitest::ProcessEvents(20);
    EXPECT_EQ(form->ApplicationFld->Text(), "Demo");
    EXPECT_EQ(form->DosNameFld->Text(), "DEMO");
    EXPECT_EQ(form->HelpTitleFld->Text(), "Demo Help");
    EXPECT_EQ(form->ApplicationFld->DataField(), "Application");
    EXPECT_EQ(form->ApplicationFld->DataSource(), ctx.mainSource);
    for (const char* name : {"HelpText", "maxHelpText", "FullTitleEditFld", "detailGrid", "filterGrid", "cntGrid",
                             "TreeView1", "pnlInherit", "StatusPanel", "TableStatus", "splitViewSplitter",
                             "pnlMaxSplitter", "TipOfTheDay1"})
        EXPECT_NE(form->FindComponent(name), nullptr) << name;
    EXPECT_EQ(form->detailGrid->GetDataSource(), ctx.detailSource);
    for (const gui::TBitmap& b : form->Bitmaps) EXPECT_EQ(b.Width(), 15);
    EXPECT_TRUE(gui::Screen->HasCustomCursor(1) && gui::Screen->HasCustomCursor(2));
    EXPECT_TRUE(dialogs.Requests().empty() || dialogs.Last().text != "exception");

    for (int i = 0; i < 4; ++i) {
        form->TabBook->SetActivePageIndex(i);
        const std::string png = (tmp.path() / ("page" + std::to_string(i) + ".png")).string();
        EXPECT_TRUE(guitest::SaveGrab(form.get(), png));
        EXPECT_GT(std::filesystem::file_size(png), 1000u);
    }

    // The window's state goes back into the settings on close.
    form->splitViewSplitter->SetBarPosition(60);
    form->SetBounds(10, 20, 700, 500);
    bool canClose = false;
    form->FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
    form->FormClose();
    plat::TIniFile ini(plat::JoinPath(home, "Tavrin.ini"));
    EXPECT_EQ(ini.ReadInteger("SplitView", "SplitViewBarSplitter", 0), 60);
    EXPECT_EQ(ini.ReadInteger("WindowPosition", "Width", 0), 700);
    EXPECT_EQ(ini.ReadString("LastWorkingOn", "Project", ""), "Demo");
}

TEST_F(MainWindow, APasteIntoAPageEditorTakesOverTheProjectHeader) {
    auto form = std::make_unique<TForm1>(nullptr);
    form->SuppressTipWindow = true;
    form->FormCreate();
    ASSERT_TRUE(form->StartupOk());
    form->Show();
    guitest::ProcessEvents(20);
    // The header knows fonts the editors do not.
    for (const char* f : {"Header One", "Header Two", "Header Three"}) form->jdProjectRtfHeader->RegisterFontName(f);
    const int headerFont = form->jdProjectRtfHeader->RegisterFontName("Wingdings");
    ASSERT_NE(form->FullTitleEditFld->RegisterFontName("Wingdings"), headerFont);
    form->HelpText->SetText("body text");
    form->SetActiveControl(form->HelpText);
    form->HelpText->SetFocus();
    guitest::ProcessEvents(20);
    ASSERT_EQ(form->ActiveControl(), form->HelpText);
    bool allow = false;
    form->ctx->HelpTextBeforePasteEvent(allow);
    EXPECT_TRUE(allow);
    guitest::ProcessEvents(20);
    EXPECT_EQ(form->HelpText->GetPlainText().substr(0, 9), "body text");
    EXPECT_EQ(form->HelpText->RegisterFontName("Wingdings"), headerFont);
    // Elsewhere nothing happens.
    form->SetActiveControl(form->ApplicationFld);
    form->ApplicationFld->SetFocus();
    guitest::ProcessEvents(20);
    const int before = form->maxHelpText->RegisterFontName("Symbol");
    form->ctx->HelpTextBeforePasteEvent(allow);
    guitest::ProcessEvents(20);
    EXPECT_EQ(form->maxHelpText->RegisterFontName("Symbol"), before);
}

TEST_F(MainWindow, TheTipWindowFollowsItsComponent) {
    editor::TTipOfTheDay tip(nullptr);
    tip.Tips.Assign(editor::MainWindowTips());
    ASSERT_EQ(tip.Tips.Count(), 3);
    EXPECT_EQ(tip.Caption, "Tip of the Day");
    EXPECT_EQ(tip.TipsBackgroundColor, 0xECFFFF);
    editor::TTipsForm* seen = nullptr;
    std::string shown;
    tip.OnBeforeShow = [&](editor::TTipsForm* f) {
        seen = f;
        plat::HWND h = 0;
        h = plat::AllocateHWnd([&, f](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 7) return;
            shown = f->CurrentTip();
            EXPECT_FALSE(f->chkShowOnStartup->Visible());
            EXPECT_EQ(f->Height(), 218);
            EXPECT_EQ(f->chkShowOnStartup->Caption(), " &Show Tips at Startup");
            f->chkShowOnStartup->SetChecked(false);
            f->btnNext->Click();
            f->btnOk->Click();
            plat::DeallocateHWnd(h);
        });
        plat::PostMessage(h, gui::WM_USER + 7, 0, 0);
    };
    tip.AllowShowTipsOnStartup = false;
    EXPECT_TRUE(tip.Execute());
    ASSERT_NE(seen, nullptr);
    EXPECT_GE(tip.Tips.IndexOf(shown), 0);
    EXPECT_FALSE(tip.ShowTipsOnStartup);
}

}  // namespace
