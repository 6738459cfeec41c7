// The import wizard's two steps for build_demo: import1.png (choose a help
// file) and import2.png (name the new project), with the fields a
// conversion proposes.
#include <string>

#include "helpbuild/ui/import_form.h"
#include "project/editor_context.h"
#include "platform/core/paths.h"
#include "platform/gui/gui_test_harness.h"

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
    return ok;
}
