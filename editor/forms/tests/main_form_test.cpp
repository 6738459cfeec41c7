#include "editor/forms/main_form.h"
#include "helpbuild/ui/compile_options_form.h"
#include "helpbuild/ui/html_form.h"
#include "helpbuild/ui/import_form.h"
#include "editor/forms/editor_app.h"
#include "editor/forms/splash_form.h"
#include "editor/forms/tip_form.h"

#include "project/project_tables.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/controls/rtf_edit.h"
#include "tests/support/test_support.h"
#include "editor/forms/tests/main_window_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

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
    const char* captions[] = {"&Split View", "&Max View", "Filter &View", "C&ontents"};
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
    // The first start's deferred work moves the page table; it is done first.
    ASSERT_TRUE(guitest::WaitFor([&] { return !form->DeferredStartupWaiting(); }, 10000));
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

namespace {

// F8 (with the options dialog, answered OK) and Shift+F8 in the main
// window: the build of the current project runs with the fake compiler, and
// the page table comes back to its page.
TEST_F(MainWindow, CompileKeysBuildAndComeBackToThePage) {
    for (const char* tool : {"hcw", "WinHlp32"})
        std::filesystem::copy_file(FAKE_HELP_TOOL, std::filesystem::path(home) / tool);
    std::filesystem::create_directories(std::filesystem::path(home) / "proj");
    auto form = std::make_unique<TForm1>(nullptr);
    form->SuppressTipWindow = true;
    form->FormCreate();
    ASSERT_TRUE(form->StartupOk());
    editor::EditorContext& ctx = *form->ctx;
    db::TDataSet* m = ctx.mainTable;
    m->Append();
    for (auto [field, value] : {std::pair{"Application", "Demo"}, {"DosName", "demo"}, {"HelpTitle", "Demo Help"},
                                {"ProjectDir", "proj"}, {"Compile", "32"}, {"AutogeneratePRJfile", "Y"}})
        m->FieldByName(field)->SetAsString(value);
    m->Post();
    db::TDataSet* d = ctx.detailTable;
    for (int id : {1000, 2000, 3000}) {
        d->Append();
        d->FieldByName("Application")->SetAsString("Demo");
        d->FieldByName("HelpId")->SetAsInteger(id);
        d->FieldByName("TopicPopup")->SetAsString("T");
        d->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
        d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\plain text\\par}");
        d->Post();
    }
    form->Show();
    guitest::ProcessEvents(50);
    EXPECT_EQ(form->miCompile->ShortCut, gui::ShortCut(0x77, 0));
    EXPECT_EQ(form->QuickCompile1->ShortCut, gui::ShortCut(0x77, gui::ssShift));

    // Answers the options dialog with OK once it shows.
    int optionDialogs = 0;
    plat::HWND answerer = plat::AllocateHWnd([&](gui::TMessage& msg) {
        if (msg.Msg != gui::WM_USER + 9) return;
        for (int i = 0; i < gui::Application->ComponentCount(); ++i)
            if (auto* f = dynamic_cast<buildui::TfrmCompile*>(gui::Application->Components(i))) {
                ++optionDialogs;
                f->Button1->Click();
                return;
            }
        plat::PostMessage(answerer, gui::WM_USER + 9, 0, 0);
    });
    const auto hlp = std::filesystem::path(home) / "proj" / "demo.HLP";
    for (gui::TShiftState shift : {gui::TShiftState(0), gui::ssShift}) {
        std::filesystem::remove(hlp);
        for (d->First(); !d->Eof() && d->FieldByName("HelpId")->AsInteger() != 2000;) d->Next();
        ASSERT_EQ(d->FieldByName("HelpId")->AsInteger(), 2000);
        if (shift == 0) plat::PostMessage(answerer, gui::WM_USER + 9, 0, 0);
        guitest::SendKey(form.get(), 0x77, shift);
        guitest::ProcessEvents(50);
        EXPECT_TRUE(std::filesystem::exists(hlp)) << shift;
        EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 2000);
        EXPECT_FALSE(d->ControlsDisabled());
    }
    EXPECT_EQ(optionDialogs, 1);
    plat::DeallocateHWnd(answerer);
    form->Close();
}

// File > Import Wizard and Export to HTML Wizard open their wizards modally
// and free them after; each is closed here by its Cancel button.
TEST_F(MainWindow, TheFileMenuOpensTheImportAndExportWizards) {
    auto form = std::make_unique<TForm1>(nullptr);
    form->SuppressTipWindow = true;
    editor::InstallWizards(form.get());
    form->FormCreate();
    ASSERT_TRUE(form->StartupOk());
    form->Show();
    guitest::ProcessEvents(50);
    ASSERT_TRUE(form->miImport->Enabled);
    ASSERT_TRUE(form->miExport->Enabled);
    std::vector<std::string> seen;
    plat::HWND closer = plat::AllocateHWnd([&](gui::TMessage& msg) {
        if (msg.Msg != gui::WM_USER + 9) return;
        for (int i = 0; i < gui::Application->ComponentCount(); ++i) {
            if (auto* f = dynamic_cast<buildui::TfrmImport*>(gui::Application->Components(i))) {
                seen.push_back("import:" + f->Caption());
                f->Button1->Click();
                return;
            }
            if (auto* f = dynamic_cast<buildui::TfrmHtml*>(gui::Application->Components(i))) {
                seen.push_back("export:" + f->Caption());
                f->btnCancel->Click();
                return;
            }
        }
        plat::PostMessage(closer, gui::WM_USER + 9, 0, 0);
    });
    for (gui::TMenuItem* item : {form->miImport, form->miExport}) {
        plat::PostMessage(closer, gui::WM_USER + 9, 0, 0);
        item->Click();
        guitest::ProcessEvents(20);
    }
    plat::DeallocateHWnd(closer);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].substr(0, 7), "import:");
    EXPECT_EQ(seen[1].substr(0, 7), "export:");
    // Both were freed after their modal run.
    for (int i = 0; i < gui::Application->ComponentCount(); ++i) {
        EXPECT_EQ(dynamic_cast<buildui::TfrmImport*>(gui::Application->Components(i)), nullptr);
        EXPECT_EQ(dynamic_cast<buildui::TfrmHtml*>(gui::Application->Components(i)), nullptr);
    }
    form->Close();
}

}  // namespace

namespace {

// The two hidden page editors sit on the second page cursor's fields; a full
// build from the tool bar takes them off their fields while it runs and puts
// them back after.
TEST_F(MainWindow, AFullBuildDetachesTheHiddenPageEditors) {
    for (const char* tool : {"hcw", "WinHlp32"})
        std::filesystem::copy_file(FAKE_HELP_TOOL, std::filesystem::path(home) / tool);
    std::filesystem::create_directories(std::filesystem::path(home) / "proj");
    auto form = std::make_unique<TForm1>(nullptr);
    form->SuppressTipWindow = true;
    form->FormCreate();
    ASSERT_TRUE(form->StartupOk());
    editor::EditorContext& ctx = *form->ctx;
    db::TDataSet* m = ctx.mainTable;
    m->Append();
    for (auto [field, value] : {std::pair{"Application", "Demo"}, {"DosName", "demo"}, {"HelpTitle", "Demo Help"},
                                {"ProjectDir", "proj"}, {"Compile", "32"}, {"AutogeneratePRJfile", "Y"}})
        m->FieldByName(field)->SetAsString(value);
    m->Post();
    db::TDataSet* d = ctx.detailTable;
    for (int id : {1000, 2000}) {
        d->Append();
        d->FieldByName("Application")->SetAsString("Demo");
        d->FieldByName("HelpId")->SetAsInteger(id);
        d->FieldByName("TopicPopup")->SetAsString("T");
        d->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
        d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\plain text\\par}");
        d->Post();
    }
    form->Show();
    guitest::ProcessEvents(50);

    const std::tuple<richtext::TDBJDRichText*, const char*, const char*> hidden[] = {
        {form->jdCFullTitle, "jdCFullTitle", "FullTitle"}, {form->jdCHelpText, "jdCHelpText", "HelpText"}};
    for (const auto& [e, name, field] : hidden) {
        EXPECT_EQ(e->Name(), name);
        EXPECT_FALSE(e->Visible()) << name;
        EXPECT_EQ(e->DataSource(), ctx.CdetailSource) << name;
        EXPECT_EQ(e->DataField(), field) << name;
    }

    // The full build from its button: while its options dialog shows, the
    // hidden editors have no field.
    std::vector<std::string> fieldsDuringBuild;
    plat::HWND answerer = plat::AllocateHWnd([&](gui::TMessage& msg) {
        if (msg.Msg != gui::WM_USER + 9) return;
        for (int i = 0; i < gui::Application->ComponentCount(); ++i)
            if (auto* f = dynamic_cast<buildui::TfrmCompile*>(gui::Application->Components(i))) {
                fieldsDuringBuild = {form->jdCFullTitle->DataField(), form->jdCHelpText->DataField()};
                f->Button1->Click();
                return;
            }
        plat::PostMessage(answerer, gui::WM_USER + 9, 0, 0);
    });
    const auto hlp = std::filesystem::path(home) / "proj" / "demo.HLP";
    for (d->First(); !d->Eof() && d->FieldByName("HelpId")->AsInteger() != 2000;) d->Next();
    plat::PostMessage(answerer, gui::WM_USER + 9, 0, 0);
    form->sbtnCompile->Click();
    guitest::ProcessEvents(50);
    EXPECT_TRUE(std::filesystem::exists(hlp));
    EXPECT_EQ(fieldsDuringBuild, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(form->jdCFullTitle->DataField(), "FullTitle");
    EXPECT_EQ(form->jdCHelpText->DataField(), "HelpText");
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 2000);
    plat::DeallocateHWnd(answerer);

    // Walking the second cursor reads no memo into them; asked, they load it.
    ctx.CdetailTable->First();
    ctx.CdetailTable->Next();
    EXPECT_FALSE(form->jdCHelpText->MemoLoaded());
    form->jdCHelpText->LoadMemo();
    EXPECT_TRUE(form->jdCHelpText->MemoLoaded());
    EXPECT_NE(form->jdCHelpText->GetPlainText().find("text"), std::string::npos);
    form->Close();
}

}  // namespace

// Whatever Tavrin.ini says of the window's place and size, the main window
// comes up inside the screen's work area and no smaller than its minimum.
TEST(MainWindowGeometry, ASavedPlaceIsFittedToTheScreen) {
    struct Case {
        const char* what;
        int top, left, height, width;
    };
    const Case cases[] = {
        {"default", 1, 1, 600, 800},        {"huge", 0, 0, 19, 32767},        {"tiny", 5, 5, 19, 1},
        {"zero", 0, 0, 0, 0},               {"negative", -500, -900, -20, -40}, {"off right", 40, 30000, 400, 500},
        {"off left and up", -3000, -3000, 300, 300}, {"larger than any screen", 0, 0, 20000, 20000},
        {"sums that overflow", 2147483000, 2147483000, 2147483000, 2147483000},
    };
    for (const Case& c : cases) {
        testsupport::TempDir tmp;
        const std::string home = (tmp.path() / "home").string();
        auto driver = editortest::UseProgramHome(home);
        {
            std::ofstream ini(home + "/Tavrin.ini");
            ini << "[WindowPosition]\nTop=" << c.top << "\nLeft=" << c.left << "\nHeight=" << c.height
                << "\nWidth=" << c.width << "\n";
        }
        auto form = editortest::StartMainWindow(home);
        ASSERT_TRUE(form->StartupOk());
        form->Show();
        guitest::ProcessEvents(10);
        const gui::TRect area = gui::Screen->WorkAreaRect();
        const int minW = std::min(editor::kMainWindowMinWidth, area.Width());
        const int minH = std::min(editor::kMainWindowMinHeight, area.Height());
        EXPECT_GE(form->Left(), area.Left) << c.what;
        EXPECT_GE(form->Top(), area.Top) << c.what;
        EXPECT_LE(form->Left() + form->Width(), area.Right) << c.what;
        EXPECT_LE(form->Top() + form->Height(), area.Bottom) << c.what;
        EXPECT_GE(form->Width(), minW) << c.what;
        EXPECT_GE(form->Height(), minH) << c.what;
        form.reset();
        db::Session().SetDriver(nullptr);
        plat::SetDataHome("");
    }
}
