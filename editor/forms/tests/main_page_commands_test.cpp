// The page-text commands as the main window's menus run them.
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"

#include "editor/core/project_tables.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/fields.h"
#include "platform/db/tables.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/db_rich_text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class MainPageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        gui::SetClipboardBackend(&clip);
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        form = std::make_unique<editor::TForm1>(nullptr);
        form->SuppressTipWindow = true;
        form->ctx->ProgramDir = home;
        form->FormCreate();
        ASSERT_TRUE(form->StartupOk());
        editor::InstallPageCommands(*form);
        form->Show();
        guitest::ProcessEvents(20);
        ctx = form->ctx;
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->Post();
        ctx->detailTable->Append();
        ctx->detailTable->FieldByName("HelpId")->SetAsInteger(10);
        ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
        ctx->detailTable->FieldByName("Title")->SetAsString("Page");
        ctx->detailTable->FieldByName("HelpText")->SetAsString("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 Some words.\\par}");
        ctx->detailTable->Post();
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
    gui::TMenuItem* Menu(const char* name) { return static_cast<gui::TMenuItem*>(form->FindComponent(name)); }

    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::MemoryClipboardBackend clip;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::TForm1> form;
    editor::EditorContext* ctx = nullptr;
};

TEST_F(MainPageCommands, SpellWithTheGridFocusedOnlyAsksToMoveToTheText) {
    Focus(form->detailGrid);
    int beeps = gui::MessageBeepCount();
    std::size_t asked = dialogs.Requests().size();
    ASSERT_NE(Menu("FromCursorPosition1"), nullptr);
    Menu("FromCursorPosition1")->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Move to the help text field to spellcheck");
    EXPECT_EQ(gui::MessageBeepCount(), beeps + 1);
    EXPECT_EQ(dialogs.Requests().size(), asked);
}

TEST_F(MainPageCommands, BoldFromTheFormatMenuOnTheFocusedPageEditor) {
    Focus(form->HelpText);
    form->HelpText->SetSelStart(0);
    form->HelpText->SetSelLength(4);
    Menu("miBold")->Click();
    EXPECT_TRUE(form->HelpText->Engine().FirstParagraph()->lines->attrs[0].style & 0x0001);
    // Without a selection: the status text.
    form->HelpText->SetSelLength(0);
    Menu("miItalics")->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Please highlight the text to format Bold");
}

TEST_F(MainPageCommands, PasteWithTheGridFocusedDoesNothing) {
    gui::Clipboard()->SetAsText("pasted ");
    Focus(form->detailGrid);
    std::string before = form->HelpText->GetPlainText();
    Menu("miPaste")->Click();
    EXPECT_EQ(form->HelpText->GetPlainText(), before);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    // Into the focused page editor the paste goes, the page in edit state.
    Focus(form->HelpText);
    form->HelpText->SetCPPosition(0);
    Menu("miPaste")->Click();
    EXPECT_EQ(form->HelpText->GetPlainText().rfind("pasted Some", 0), 0u);
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
}

TEST_F(MainPageCommands, ThePopUpMenuOffersMarksOnlyForASelection) {
    auto* pop = static_cast<gui::TPopupMenu*>(form->FindComponent("popHelp"));
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(gui::GetPopupMenu(form->HelpText), pop);
    Focus(form->HelpText);
    form->HelpText->SetSelStart(0);
    form->HelpText->SetSelLength(0);
    pop->OnPopup(pop);
    EXPECT_FALSE(Menu("popTopicJump")->Enabled);
    EXPECT_FALSE(Menu("popMacro")->Enabled);
    EXPECT_FALSE(Menu("popShowGraphicFilename")->Visible);
    form->HelpText->SetSelLength(4);
    pop->OnPopup(pop);
    EXPECT_TRUE(Menu("popTopicJump")->Enabled);
    EXPECT_TRUE(Menu("popPopupJump")->Enabled);
}

}  // namespace
