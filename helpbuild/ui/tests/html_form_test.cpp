// The HTML export wizard offscreen on engine tables: what it shows when it
// opens, each step's refusals, the refresh question that keeps hand-edited
// names, the overwrite question, the finished export and the browser.
#include <gtest/gtest.h>

#include <filesystem>

#include "helpbuild/ui/html_form.h"
#include "helpbuild/tests/html_page_check.h"
#include "project/project_tables.h"
#include "project/settings.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "tests/support/test_support.h"

namespace {

using namespace buildui;
namespace fs = std::filesystem;

struct Wizard : ::testing::Test {
    static void SetUpTestSuite() { gui::InitApplication(); }

    testsupport::TempDir home;
    std::shared_ptr<db::TEngineDriver> driver;
    std::unique_ptr<editor::EditorContext> ctx;
    gui::ScriptedDialogService dialogs;
    std::unique_ptr<gui::ScopedDialogService> scoped;
    TfrmHtml* form = nullptr;
    std::string project;
    std::vector<std::vector<std::string>> started;

    void SetUp() override {
        scoped = std::make_unique<gui::ScopedDialogService>(dialogs);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home.path().string());
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.path().string();
        ctx->BindAlias();
        ctx->OpenTables();
        project = (home.path() / "demo").string();
        fs::create_directories(project);
        for (const char* app : {"Alpha", "Demo"}) {
            ctx->mainTable->Append();
            ctx->mainTable->FieldByName("Application")->SetAsString(app);
            ctx->mainTable->FieldByName("ProjectDir")->SetAsString(std::string(app) == "Demo" ? project : "alpha");
            ctx->mainTable->Post();
        }
        const std::pair<int, const char*> pages[] = {{1, "Welcome"}, {2, "Second"}, {3, "Third"}};
        for (const auto& [id, context] : pages) {
            ctx->detailTable->Append();
            ctx->detailTable->FieldByName("HelpId")->SetAsInteger(id);
            ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
            ctx->detailTable->FieldByName("ContextString")->SetAsString(context);
            ctx->detailTable->FieldByName("Title")->SetAsString(std::string("Page ") + context);
            ctx->detailTable->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi Text of " + std::string(context) +
                                                                    "\\par}");
            ctx->detailTable->Post();
        }
        form = new TfrmHtml(gui::Application, *ctx);
        form->createProgress = [] { return std::make_unique<build::NullProgress>(); };
        form->printLog = nullptr;
        form->startBrowser = [this](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return true;
        };
        form->Show();
    }
    void TearDown() override {
        delete form;
        ctx.reset();
        db::Session().SetDriver(nullptr);
    }
    std::string Texts() {
        std::string s;
        for (const auto& r : dialogs.Requests()) s += r.caption + ": " + r.text + "\n";
        return s;
    }
    void ToStep2() {
        form->btnNextClick(nullptr);
        ASSERT_EQ(form->nbkSteps->PageIndex(), 1) << Texts();
    }
    void EditFirstName(int row, const std::string& name) {
        db::TDataSet* t = form->Export().tblHtml;
        t->First();
        t->MoveBy(row);
        t->Edit();
        t->FieldByName("ContextString")->SetAsString(name);
        t->Post();
    }
    std::string Name(int row) {
        db::TDataSet* t = form->Export().tblHtml;
        t->First();
        t->MoveBy(row);
        return t->FieldByName("ContextString")->AsString();
    }
};

TEST_F(Wizard, OpensOnStepOneWithTheCurrentProjectAndItsFolders) {
    EXPECT_EQ(form->Caption(), "Tavrin to HTML Wizard");
    EXPECT_EQ(form->nbkSteps->ActivePage(), "Step1");
    EXPECT_EQ(form->fldProject->Items().Count(), 2);
    EXPECT_EQ(form->fldProject->Text(), "Demo");  // the main window's current project
    EXPECT_EQ(form->editDirectory->Text(), project + "/Html");
    EXPECT_EQ(form->editGraphicsDir->Text(), project + "/Html/Images");
    EXPECT_EQ(form->rgpHtmFilenames->ItemIndex(), 1);
    EXPECT_EQ(form->editBrowser->Text(), "xdg-open");
    EXPECT_EQ(form->editBackground->Text(), home.path().string() + "/bkyellow.gif");
    EXPECT_TRUE(plat::FileExists(form->editBackground->Text()));
    // Another project resets the folders the same way.
    form->fldProject->SetItemIndex(0);
    form->fldProjectChange(nullptr);
    EXPECT_EQ(form->editDirectory->Text(), home.path().string() + "/alpha/Html");
    // Closing keeps the browser and background.
    form->editBrowser->SetText("/usr/bin/true");
    form->FormClose();
    plat::TIniFile ini(editor::ProgramIniPath(ctx->ProgramDir));
    EXPECT_EQ(ini.ReadString("Paths", "Browser", ""), "/usr/bin/true");
}

TEST_F(Wizard, StepOneRefusesWithItsTexts) {
    struct Case {
        std::string dir, gifs, background;
        const char* caption;
        const char* text;
    };
    const std::string bg = form->editBackground->Text();
    const Case cases[] = {
        {"", project + "/g", bg, "No Output Directory", "Please specify an output directory for all the outputted Html files."},
        {project + "/h", "", bg, "No Graphics Directory", "Please specify an output directory for all the converted graphics."},
        {project + "/h", "Images", bg, "Warning", "Please supply the full Graphics directory path."},
        {"Html", project + "/g", bg, "Warning", "Please supply the full Html directory path."},
        {project + "/h", project + "/g", project + "/none.gif", "Warning",
         "The Background file does not exist. Please check it or use the elipsis button on the right of the field."},
    };
    for (const Case& c : cases) {
        form->editDirectory->SetText(c.dir);
        form->editGraphicsDir->SetText(c.gifs);
        form->editBackground->SetText(c.background);
        dialogs.Clear();
        form->btnNextClick(nullptr);
        EXPECT_EQ(form->nbkSteps->PageIndex(), 0) << c.text;
        ASSERT_EQ(dialogs.Requests().size(), 1u) << Texts();
        EXPECT_EQ(dialogs.Last().caption, c.caption);
        EXPECT_EQ(dialogs.Last().text, c.text);
        EXPECT_EQ(form->editBackground->Text(), c.background);  // input intact
    }
}

// Step 2's page list, on the library's data grid: the file name, then the
// title and help id, the last two read-only and drawn black on silver.
TEST_F(Wizard, ThePageListShowsTheNamesWithTitleAndHelpIdReadOnly) {
    ToStep2();
    THtmlPageGrid* grid = form->gridTopics;
    ASSERT_EQ(grid->GetFieldCount(), 3);
    const struct {
        const char* field;
        const char* title;
        bool readOnly;
    } columns[] = {{"ContextString", "Htm Filename", false}, {"Title", "Title", true}, {"HelpId", "HelpID", true}};
    for (int i = 0; i < 3; ++i) {
        db::TField* f = grid->GetFields(i);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->FieldName, columns[i].field);
        EXPECT_EQ(f->DisplayLabel, columns[i].title);
        EXPECT_EQ(f->ReadOnly, columns[i].readOnly) << columns[i].field;
        gui::TFont font;
        gui::TBrush brush;
        font.SetColor(0x0000FF);
        brush.SetColor(0xFFFFFF);
        grid->DoCalcCellColors(f, 0, false, font, brush);
        EXPECT_EQ(brush.Color(), columns[i].readOnly ? 0xC0C0C0 : 0xFFFFFF) << columns[i].field;
        EXPECT_EQ(font.Color(), columns[i].readOnly ? 0x000000 : 0x0000FF) << columns[i].field;
    }
    EXPECT_EQ(grid->GetDataSource(), form->Export().srcHtml);
}

TEST_F(Wizard, RefreshAnsweredNoKeepsHandEditedNames) {
    ToStep2();
    EXPECT_EQ(Name(1), "Second");
    EditFirstName(1, "Mine");
    form->btnPrevClick(nullptr);
    EXPECT_EQ(form->nbkSteps->PageIndex(), 0);
    dialogs.Answer(gui::IDNO);
    ToStep2();
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "Refresh Information?");
    EXPECT_EQ(Name(1), "Mine");
    form->btnPrevClick(nullptr);
    dialogs.Answer(gui::IDYES);
    ToStep2();
    EXPECT_EQ(Name(1), "Second");
}

TEST_F(Wizard, FinishAsksBeforeOverwritingAndThenShowsStepThree) {
    ToStep2();
    EditFirstName(2, "");
    dialogs.Clear();
    form->btnFinishClick(nullptr);
    EXPECT_EQ(form->nbkSteps->PageIndex(), 1);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Every page needs a filename. Please ensure that all pages have filenames.");
    EditFirstName(2, "Third");

    const fs::path out = fs::path(project) / "Html";
    testsupport::WriteFileBytes(out / "Index.htm", "old");
    dialogs.Clear();
    dialogs.Answer(gui::IDNO);
    form->btnFinishClick(nullptr);
    ASSERT_EQ(dialogs.Requests().size(), 1u) << Texts();
    EXPECT_EQ(dialogs.Last().caption, "Html Files Exist!");
    EXPECT_EQ(dialogs.Last().text, "You already have Htm files in your output directory. Do you wish to overwrite them?");
    EXPECT_EQ(testsupport::ReadFileBytes(out / "Index.htm"), "old");
    EXPECT_FALSE(fs::exists(out / "Second.htm"));

    dialogs.Clear();
    dialogs.Answer(gui::IDYES);
    form->btnFinishClick(nullptr);
    EXPECT_EQ(dialogs.Requests().size(), 1u) << Texts();  // no log to print
    EXPECT_EQ(form->nbkSteps->ActivePage(), "Step3");
    EXPECT_FALSE(form->btnFinish->Enabled());
    EXPECT_FALSE(form->btnPrev->Enabled());
    EXPECT_NE(testsupport::ReadFileBytes(out / "Index.htm").find("Text of Welcome"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "Second.htm"));
    EXPECT_TRUE(fs::exists(out / "Third.htm"));
    EXPECT_TRUE(fs::exists(out / "bkyellow.gif"));  // the background went into the HTML folder
    // The page's one BODY tag names the background.
    const std::vector<htmlcheck::Tag> tags = htmlcheck::Tags(testsupport::ReadFileBytes(out / "Third.htm"));
    ASSERT_EQ(htmlcheck::Count(tags, "BODY"), 1);
    for (const htmlcheck::Tag& t : tags)
        if (t.name == "BODY") {
            ASSERT_NE(t.Find("BACKGROUND"), nullptr);
            EXPECT_EQ(*t.Find("BACKGROUND"), "bkyellow.gif");
        }
}

TEST_F(Wizard, BrowsingRefusesWithoutABrowserAndStartsOne) {
    form->editBrowser->SetText("");
    form->btnBrowseClick(nullptr);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "No browser specified");
    EXPECT_EQ(dialogs.Last().text,
              "To specify a broswer, click on the elipsis button on the right of the browser field.");
    form->editBrowser->SetText(project + "/nobrowser.exe");
    form->btnBrowseClick(nullptr);
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(dialogs.Last().caption, "Warning");
    EXPECT_TRUE(started.empty());
    form->editBrowser->SetText("sh");  // found on PATH
    form->btnBrowseClick(nullptr);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{"sh", plat::NativePath(project + "\\Html\\Index.htm")}));
}

}  // namespace
