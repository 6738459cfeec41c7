// The import wizard's two steps for build_demo: import1.png (choose a help
// file) and import2.png (name the new project), with the fields a
// conversion proposes; damaged.png, the box an RTF with broken groups gives
// at the end of an import.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <string>

#include "data/engine_driver.h"
#include "data/tables.h"
#include "helpbuild/import_project.h"
#include "project/project_tables.h"
#include "platform/core/dialog_service.h"

#include "helpbuild/ui/import_form.h"
#include "project/editor_context.h"
#include "platform/core/paths.h"
#include "platform/gui/gui_test_harness.h"

namespace gui {
DialogService* CreateQtDialogService();
}

namespace {

// Imports a converted project whose RTF has two damaged pages, through the
// program's own message boxes; the box is grabbed to `png` and closed.
bool SaveDamagedRtfBox(editor::EditorContext& ctx, const std::string& png) {
    gui::ScopedDialogService scoped{*gui::CreateQtDialogService()};
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    env.converterProgram = [] { return std::string("/bin/true"); };
    env.writeConverterIni = [] {};
    env.run = [](const std::vector<std::string>&, const std::string& folder) {
        const std::string head = "{\\rtf1\\ansi {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\n";
        auto page = [](const std::string& t, const std::string& body) {
            return "{${\\footnote{$} " + t + "}}" + body + "\\par\\page\n";
        };
        std::ofstream(plat::NativePath(folder + "/demo.hpj")) << "[OPTIONS]\r\nTitle=Demo\r\n[FILES]\r\ndemo.rtf\r\n";
        std::ofstream(plat::NativePath(folder + "/demo.rtf"))
            << head + page("Welcome", "a") + page("Installing", "{\\b b}}") + page("Settings", "{\\i c") + "}";
        return 2;
    };
    const std::string helpFile = plat::NativePath(ctx.ProgramDir + "/demo.hlp");
    std::ofstream(helpFile) << "x";
    bool grabbed = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        QApplication::processEvents();
        grabbed = box->grab().save(QString::fromStdString(png));
        box->accept();
    });
    timer.start(200);
    build::ImportSession session(ctx, env);
    build::ImportFields f;
    f.helpFile = helpFile;
    if (!session.ConvertHelpFile(f)) return false;
    f.application = "Damaged";
    f.directory = ctx.ProgramDir + "/Damaged";
    f.graphicsDir = f.directory + "/Graphics";
    session.Finish(f);
    return grabbed;
}

}  // namespace

bool SaveImportScreenshots(const std::string& dir) {
    editor::EditorContext ctx;
    ctx.ProgramDir = plat::ProgramDir();
    auto* form = new buildui::TfrmImport(gui::Application, ctx, build::DefaultImportEnvironment());
    form->TForm::Show();
    form->FormShow(nullptr);
    form->editHLP->SetText("C:\\Help\\PJDropFiles.hlp");
    guitest::ProcessEvents(50);
    bool ok = guitest::SaveGrab(form, dir + "/import1.png");

    form->nbkSteps->SetActivePage("Step2");
    form->btnNext->SetEnabled(false);
    form->btnFinish->SetEnabled(true);
    form->editNewApp->SetText("Drop Files");
    form->editFilename->SetText("PJDropFiles");
    form->editHelpTitle->SetText("DelphiDabbler Drop Files Component Help");
    form->editDirectory->SetText("C:\\Tavrin\\PJDropFiles");
    form->editGraphicsDir->SetText("C:\\Tavrin\\PJDropFiles\\Graphics");
    if (form->editNewApp->CanFocus()) form->editNewApp->SetFocus();
    guitest::ProcessEvents(50);
    ok = guitest::SaveGrab(form, dir + "/import2.png") && ok;
    delete form;
    try {
        // A program folder of the demo's own with fresh project tables.
        static auto driver = std::make_shared<db::TEngineDriver>();  // outlives the tables
        db::Session().SetDriver(driver);
        ctx.ProgramDir = dir + "/home";
        std::filesystem::create_directories(plat::NativePath(ctx.ProgramDir));
        plat::SetDataHome(plat::NativePath(ctx.ProgramDir));
        editor::InstallProjectTables(ctx.ProgramDir);
        ctx.BindAlias();
        ctx.OpenTables();
        ok = SaveDamagedRtfBox(ctx, dir + "/damaged.png") && ok;
    } catch (const std::exception&) {
        ok = false;  // no project tables in this program folder
    }
    return ok;
}
