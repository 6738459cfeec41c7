// The import wizard offscreen: a compiled help file goes through both steps
// into the project tables; a refused name keeps the converted files for the
// next try.
#include <gtest/gtest.h>

#include <filesystem>

#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/ui/import_form.h"
#include "project/editor_context.h"
#include "project/tests/editor_test_support.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rtf_label.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// The wizard's hints are rich-text labels: each shows its text while its
// field has the focus and hides when the focus leaves.
TEST(ImportWizard, HintsAreRichTextLabelsShownWhileTheirFieldHasTheFocus) {
    gui::InitApplication();
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    ctx.ProgramDir = folder.dir;
    ASSERT_TRUE(ctx.FormCreate());
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scoped(dialogs);
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    auto* form = new buildui::TfrmImport(gui::Application, ctx, env);
    form->TForm::Show();
    form->FormShow(nullptr);
    guitest::ProcessEvents();
    // The wizard opens in the help file's field, with its hint.
    auto* first = dynamic_cast<richtext::TJDRichTextLabel*>(form->FindComponent("jdS1HLP"));
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Visible());
    struct Case {
        const char* hint;
        gui::TWinControl* field;
        const char* words;  // words from the hint's text
        const char* page;
    };
    const Case cases[] = {
        {"jdS1HLP", form->editHLP, "compiled help file", "Step1"},
        {"jdS2projectName", form->editNewApp, "unique name", "Step2"},
        {"jdS2Filename", form->editFilename, "name of the help file", "Step2"},
        {"jdS2HelpTitle", form->editHelpTitle, "title the help viewer", "Step2"},
        {"jdS2ProjectDir", form->editDirectory, "folder of the project", "Step2"},
        {"jdS2GraphicsDir", form->editGraphicsDir, "pictures", "Step2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hint);
        auto* label = dynamic_cast<richtext::TJDRichTextLabel*>(form->FindComponent(c.hint));
        ASSERT_NE(label, nullptr);
        EXPECT_NE(label->PlainText().find(c.words), std::string::npos) << label->PlainText();
        form->nbkSteps->SetActivePage(c.page);
        form->btnPrev->SetEnabled(true);
        form->btnPrev->SetFocus();
        guitest::ProcessEvents();
        EXPECT_FALSE(label->Visible());
        c.field->SetFocus();
        guitest::ProcessEvents();
        EXPECT_TRUE(label->Visible());
        form->btnPrev->SetFocus();
        guitest::ProcessEvents();
        EXPECT_FALSE(label->Visible());
    }
    auto* finish = dynamic_cast<richtext::TJDRichTextLabel*>(form->FindComponent("jdS2Finish"));
    ASSERT_NE(finish, nullptr);
    EXPECT_FALSE(finish->Visible());
    delete form;
}

TEST(ImportWizard, ImportsPJDropFilesThroughBothSteps) {
    TAVRIN_REQUIRE_CORPUS();
    gui::InitApplication();
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    // Set up as the program starts: the tables, settings and the editor's rules.
    ctx.ProgramDir = folder.dir;
    ASSERT_TRUE(ctx.FormCreate());
    build::InstallEditorRules(ctx);
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scoped(dialogs);
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
    env.createProgress = [] { return std::make_unique<build::NullProgress>(); };

    auto* form = new buildui::TfrmImport(gui::Application, ctx, env);
    form->TForm::Show();
    form->FormShow(nullptr);
    EXPECT_EQ(form->Caption(), "Tavrin Import Wizard");
    EXPECT_EQ(form->nbkSteps->ActivePage(), "Step1");
    EXPECT_FALSE(form->btnPrev->Enabled());
    EXPECT_FALSE(form->btnFinish->Enabled());
    EXPECT_TRUE(form->xboxConvert->Checked());

    // Next without a file: the warning, still step 1.
    guitest::Click(form->btnNext, {5, 5});
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "No Help File selected");
    EXPECT_EQ(form->nbkSteps->ActivePage(), "Step1");

    guitest::TypeText(form->editHLP, testsupport::CorpusFile("hlp/PJDropFiles.hlp").string());
    guitest::Click(form->btnNext, {5, 5});
    ASSERT_EQ(dialogs.Requests().size(), 1u) << dialogs.Last().text;
    EXPECT_EQ(form->nbkSteps->ActivePage(), "Step2");
    EXPECT_FALSE(form->btnNext->Enabled());
    EXPECT_TRUE(form->btnFinish->Enabled());
    EXPECT_EQ(form->editHelpTitle->Text(), "DelphiDabbler Drop Files Component Help");
    EXPECT_EQ(form->editFilename->Text(), "PJDropFiles");
    EXPECT_EQ(form->editDirectory->Text(), folder.dir + "/PJDropFiles");
    EXPECT_EQ(form->editGraphicsDir->Text(), folder.dir + "/PJDropFiles/Graphics");
    EXPECT_FALSE(form->editHPJ->Text().empty());

    // Finish without a name: refused, the converted files stay for the next try.
    guitest::Click(form->btnFinish, {5, 5});
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(dialogs.Last().caption, "Project name");
    EXPECT_TRUE(fs::exists(plat::NativePath(form->editHPJ->Text())));

    guitest::TypeText(form->editNewApp, "Drop Files");
    guitest::Click(form->btnFinish, {5, 5});
    EXPECT_EQ(dialogs.Requests().size(), 2u) << dialogs.Last().text;
    EXPECT_TRUE(form->Imported());
    EXPECT_EQ(form->Caption(), "Tavrin Import Wizard");
    EXPECT_FALSE(form->btnFinish->Enabled());
    EXPECT_FALSE(fs::exists(folder.dir + "/~KqTemp"));
    ASSERT_TRUE(ctx.mainTable->FindKey({db::TValue{std::string("Drop Files")}}));
    // The converter's empty sections at the end are no pages.
    EXPECT_EQ(ctx.CdetailTable->RecordCount(), 85);
    delete form;
}

}  // namespace
