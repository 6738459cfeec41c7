// The HTML export wizard for the build demo: a throw-away program folder
// with the project tables and a small project, the wizard on it, and a
// picture of each of its three steps.
#include "helpbuild/ui/demo/html_demo.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "helpbuild/ui/html_form.h"
#include "project/project_tables.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"

namespace buildui {

namespace {

void AddPage(editor::EditorContext& ctx, int id, const char* kind, const char* context, const char* title,
             const char* text) {
    db::TDataSet* d = ctx.detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(id);
    d->FieldByName("TopicPopup")->SetAsString(kind);
    d->FieldByName("ContextString")->SetAsString(context);
    d->FieldByName("Title")->SetAsString(title);
    d->FieldByName("HelpText")->SetAsString(std::string("{\\rtf1\\ansi ") + text + "\\par}");
    d->Post();
}

// Answers every question with Yes, so the demo runs the export through.
struct YesService : gui::DialogService {
    gui::DialogReply Run(const gui::DialogRequest&) override { return {gui::IDYES, {}}; }
};

}  // namespace

int RunHtmlWizardDemo(const std::string& shots) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tavrin-html-demo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path home(pattern);
    int result = 0;
    {
        auto driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home.string());
        auto ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.string();
        ctx->BindAlias();
        ctx->OpenTables();
        for (const char* app : {"Cookbook", "UserGuide"}) {
            ctx->mainTable->Append();
            ctx->mainTable->FieldByName("Application")->SetAsString(app);
            ctx->mainTable->FieldByName("ProjectDir")->SetAsString((home / app).string());
            fs::create_directories(home / app);
            ctx->mainTable->FieldByName("ScrollColor")->SetAsInteger(0xFFFFFF);
            ctx->mainTable->Post();
        }
        AddPage(*ctx, 1, "T", "Welcome", "Welcome to the User Guide", "See {\\uldb Getting started}{\\v GettingStarted}.");
        AddPage(*ctx, 2, "T", "GettingStarted", "Getting started", "First steps.");
        AddPage(*ctx, 3, "T", "GettingStuck", "When you are stuck", "Ask for help.");
        AddPage(*ctx, 4, "P", "Glossary", "Glossary", "Terms.");
        AddPage(*ctx, 5, "T", "", "Main Menu", "The menu.");

        auto* form = new TfrmHtml(gui::Application, *ctx);
        form->createProgress = [] { return std::make_unique<build::NullProgress>(); };
        form->printLog = nullptr;
        if (shots.empty()) {
            form->ShowModal();
        } else {
            fs::create_directories(shots);
            YesService yes;
            gui::ScopedDialogService scoped(yes);
            form->Show();
            form->fldProject->SetItemIndex(1);
            form->fldProjectChange(nullptr);
            form->editDirectory->SetFocus();
            guitest::ProcessEvents(50);
            bool ok = guitest::SaveGrab(form, shots + "/html1.png");
            form->btnNextClick(nullptr);
            guitest::ProcessEvents(50);
            ok = guitest::SaveGrab(form, shots + "/html2.png") && ok;
            form->btnFinishClick(nullptr);
            if (form->editBrowser->CanFocus()) form->editBrowser->SetFocus();
            guitest::ProcessEvents(50);
            ok = guitest::SaveGrab(form, shots + "/html3.png") && ok;
            result = ok && form->nbkSteps->PageIndex() == 2 ? 0 : 1;
        }
        delete form;
        ctx.reset();
        db::Session().SetDriver(nullptr);
    }
    std::error_code ec;
    fs::remove_all(home, ec);
    return result;
}

}  // namespace buildui
