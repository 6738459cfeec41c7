#include "editor/forms/editor_app.h"

#include "helpbuild/ui/compile_options_form.h"
#include "helpbuild/ui/html_form.h"
#include "helpbuild/ui/import_form.h"
#include "project/project_tables.h"
#include "editor/backup/ui/backup_form.h"
#include "project/settings.h"
#include "editor/forms/lifecycle_forms.h"
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"
#include "editor/forms/projects_form.h"
#include "editor/forms/tool_forms.h"
#include "editor/forms/splash_form.h"
#include "editor/forms/tip_form.h"
#include "editor/options/ui/options_windows.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "engine/api/dbi_api.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "richtext/spell/spell_files.h"
#include "richtext/spell/ui/spell_ui.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#ifndef TAVRIN_DICT_DIR
#define TAVRIN_DICT_DIR ""
#endif

namespace editor {

// The import and export wizards, each made for one run, shown modally and
// freed, as the File menu's commands ask.
// Their progress windows answer the program's shared cancel request.
void InstallWizards(TForm1* form) {
    form->ImportWizard = [form] {
        std::unique_ptr<buildui::TfrmImport> wizard(
            new buildui::TfrmImport(gui::Application, *form->ctx, build::DefaultImportEnvironment()));
        wizard->ShowModal();
    };
    form->ExportWizard = [form] {
        std::unique_ptr<buildui::TfrmHtml> wizard(new buildui::TfrmHtml(gui::Application, *form->ctx));
        wizard->ShowModal();
    };
}

namespace {

struct Options {
    std::string screenshot;
    std::string form;
    std::string keywordFile;
    std::string view;  // the notebook page a screenshot shows
    // Run on the shown main window inside the loop; the window closes after.
    std::function<void(TForm1&)> script;
};

bool Shoot(gui::TControl* control, const std::string& file) {
    guitest::ProcessEvents(150);
    const bool ok = guitest::SaveGrab(control, file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

// The forms that live for the whole run besides the main window; they have
// no behaviour of their own yet. The jump, macro, jump-change, folder and
// compile-options dialogs are made by their commands under the application
// with these names, so no stand-in may hold them.
void CreateStartupForms() {
    const char* const names[][2] = {
        {"WaitForm", "Please wait"},
        {"ProjectsForm", "Projects"},
        {"frmFilter", "Page Filter"},
        {"frmMiniFilter", "Filter"},
    };
    for (const auto& n : names) {
        auto* f = new gui::TForm(gui::Application);
        f->SetName(n[0]);
        f->SetCaption(n[1]);
        gui::Application->CreateForm(f);
    }
}

int RunProgram(const Options& o) {
    // Tables a fresh program folder lacks are installed as the program starts.
    try {
        InstallProjectTables(plat::ProgramDir());
    } catch (const std::exception& e) {
        gui::MessageDlg(std::string("The project tables could not be created: ") + e.what(), gui::mtError,
                        gui::Buttons({gui::mbOK}));
        return 1;
    }
    auto* splash = new TSplashForm(gui::Application);
    splash->Show();
    guitest::ProcessEvents(0);

    gui::Application->SetTitle("Tavrin");
    gui::Application->HelpFile = "Tavrin";
    auto* form = new TForm1(gui::Application);
    form->Splash = splash;
    InstallWizards(form);
    form->SuppressTipWindow = !o.screenshot.empty();
    gui::Application->CreateForm(form);
    if (!form->StartupOk()) return 1;
    InstallPageCommands(*form);
    CreateStartupForms();

    int code = 0;
    plat::HWND shooter = 0;
    if (!o.screenshot.empty()) {
        shooter = plat::AllocateHWnd([&](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 1) return;
            if (!o.view.empty()) {
                form->TabBook->SetActivePageName(o.view);
                form->TabBookClick();  // as a click on the tab would
            }
            code = Shoot(form, o.screenshot) ? 0 : 1;
            form->Close();
        });
        plat::PostMessage(shooter, gui::WM_USER + 1, 0, 0);
    } else if (o.script) {
        shooter = plat::AllocateHWnd([&](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 1) return;
            // The window's OnShow lets messages run before the window is on
            // the screen; the script waits until it is.
            if (!form->Widget()->isVisible()) {
                QTimer::singleShot(10, [shooter] { plat::PostMessage(shooter, gui::WM_USER + 1, 0, 0); });
                return;
            }
            o.script(*form);
            form->Close();
            // A refused close would leave nobody to answer it.
            if (form->Visible()) gui::Application->Terminate();
        });
        plat::PostMessage(shooter, gui::WM_USER + 1, 0, 0);
    }
    gui::Application->Run();
    if (shooter) plat::DeallocateHWnd(shooter);
    return code;
}

int ShowOneForm(const Options& o) {
    const std::string file = o.screenshot.empty() ? o.form + ".png" : o.screenshot;
    if (o.form == "TForm1") {
        Options run = o;
        run.screenshot = file;
        return RunProgram(run);
    }
    if (const int shown = ShowLifecycleForm(o.form, o.view, file, Shoot); shown >= 0) return shown;
    if (o.form == "TProjectsForm") {
        InstallProjectTables(plat::ProgramDir());
        try {
            db::Session().DeleteAlias(kTavrinAlias);
        } catch (const std::exception&) {
            // None yet.
        }
        db::Session().AddStandardAlias(kTavrinAlias, plat::ProgramDir(), "");
        TProjectsForm glance(gui::Application);
        glance.GoToProject("");
        glance.Show();
        return Shoot(&glance, file) ? 0 : 1;
    }
    if (o.form == "TSplashForm") {
        TSplashForm splash(gui::Application);
        splash.Show();
        const bool ok = Shoot(&splash, file);
        return ok ? 0 : 1;
    }
    if (o.form == "TTipsForm") {
        TTipOfTheDay tip(gui::Application);
        tip.Tips.Assign(MainWindowTips());
        tip.DialogFont().SetStyle(gui::fsBold);
        bool ok = false;
        tip.OnBeforeShow = [&](TTipsForm* f) {
            plat::HWND shooter = 0;
            shooter = plat::AllocateHWnd([&, f](gui::TMessage& m) {
                if (m.Msg != gui::WM_USER + 1) return;
                ok = Shoot(f, file);
                f->SetModalResult(gui::mrOk);
                plat::DeallocateHWnd(shooter);
            });
            plat::PostMessage(shooter, gui::WM_USER + 1, 0, 0);
        };
        tip.Execute();
        return ok ? 0 : 1;
    }
    if (o.form == "TbackupForm") {
        backupui::TbackupForm form(gui::Application);
        backup::BackupDialogState state;
        state.project = "User Guide";
        state.folder = plat::ProgramDir();
        state.name = "USERGD.KQB";
        form.Load(state);
        form.Show();
        return Shoot(&form, file) ? 0 : 1;
    }
    if (o.form == "TfrmDoc") {
        TfrmDoc form(gui::Application);
        form.Load(ReadRtfDocumentOptions(ProgramIniPath(plat::ProgramDir())));
        form.Show();
        return Shoot(&form, file) ? 0 : 1;
    }
    if (o.form == "TCopyToForm") {
        TCopyToForm form(gui::Application);
        CopyToState state;
        state.heading = "Copy USERGD.HLP to";
        state.path = "c:\\help\\USERGD.HLP";
        state.overwriteVisible = true;
        state.overwrite = true;
        form.Load(state);
        form.Show();
        return Shoot(&form, file) ? 0 : 1;
    }
    if (o.form == "TfrmCompile") {
        // The compile options of a sample project, as the build shows them.
        build::MemoryCompileOptions data;
        data.fields = {{"Compile", "32"},          {"DosName", "USERGD"},       {"16bitName", "USERGD16"},
                       {"Compress", "HIGH"},       {"AutoGenerateCntFile", "Y"}, {"AutogeneratePRJfile", "Y"}};
        buildui::TfrmCompile form(gui::Application, data);
        form.Show();
        return Shoot(&form, file) ? 0 : 1;
    }
    if (int code = 0; ShowOptionsWindow(o.form, file, code)) return code;
    const int page = ShowPageDialog(o.form, file);
    if (page != 2) return page;
    std::fprintf(stderr,
                 "tavrin: no window named \"%s\" (TForm1, TTipsForm, TSplashForm, TProjectsForm, TbackupForm, "
                 "TfrmDoc, TCopyToForm, TfrmCompile, TJumpsForm, TMacroForm, TJChangeForm, TGraphicDlg, TGraphicFilenameForm, "
                 "TfrmBullets, TNewAppForm, TdlgSelectDirectory, TfrmInheritSelect, TfrmInhWho, TWaitForm, "
                 "or an options window)\n",
                 o.form.c_str());
    return 2;
}

}  // namespace

namespace {

bool DisplayGiven() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* v = std::getenv(name); v && *v) return true;
    return false;
}

}  // namespace

int RunTavrin(int argc, char** argv) { return RunTavrin(argc, argv, {}); }

int RunTavrin(int argc, char** argv, std::function<void(TForm1&)> script) {
    Options o;
    o.script = std::move(script);
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) o.screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--form") && i + 1 < argc) o.form = argv[++i];
        else if (!std::strcmp(argv[i], "--view") && i + 1 < argc) o.view = argv[++i];
        else if (argv[i][0] != '-' && o.keywordFile.empty()) o.keywordFile = argv[i];
        else {
            std::fprintf(stderr, "usage: tavrin [keyword-file] [--screenshot FILE] [--view CAPTION] [--form NAME]\n");
            return 2;
        }
    }
    // The program folder is a writable data folder, made on first start.
    if (!plat::ForceDirectories(plat::ProgramDir())) {
        std::fprintf(stderr, "Tavrin: cannot create the program folder %s\n", plat::ProgramDir().c_str());
        return 1;
    }
    // The engine's start-up: a fresh server log in the program folder, and
    // the keyword file of server settings named by the first parameter.
    qv::DbiStartServerLog(nullptr);
    if (!o.keywordFile.empty()) qv::DbiSetServerKeywordFile(o.keywordFile.c_str());
    // The spell checker looks for its dictionaries in the program folder.
    if (*TAVRIN_DICT_DIR) spell::CopyDictionaries(TAVRIN_DICT_DIR, plat::ProgramDir());

    // A picture can be taken without a display (a terminal, ssh, CI): Qt
    // would abort looking for one, so such runs draw offscreen unless a
    // platform was chosen.
    if ((!o.screenshot.empty() || !o.form.empty()) && !DisplayGiven()) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    gui::InitApplication(argc, argv);
    // Spell checks show their dialogs and wait for the user on Qt.
    spellui::InstallSpellUi();
    // Scripted runs answer every box with its default and print it.
    if (!o.screenshot.empty() || !o.form.empty()) gui::SetDialogService(nullptr);
    int code = 0;
    {
        auto driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        code = o.form.empty() ? RunProgram(o) : ShowOneForm(o);
        gui::DoneApplication();
        db::Session().SetDriver(nullptr);
    }
    return code;
}

}  // namespace editor
