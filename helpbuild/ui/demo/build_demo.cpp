// The build's windows for looking at by eye: the compile options dialog and
// the progress window over a counting loop, and the HTML export wizard
// (--html). With --screenshot DIR it writes progress.png and
// compile_options.png into DIR, the contents windows (cnt_add.png,
// footnotes.png, explorer.png) and the wizard's steps (html1.png to
// html3.png), the import wizard (import1.png, import2.png), and exits.
#include <cstring>
#include <filesystem>
#include <string>

#include "helpbuild/ui/compile_form.h"
#include "helpbuild/ui/compile_options_form.h"
#include "helpbuild/ui/demo/cnt_demo_shots.h"
#include "helpbuild/ui/demo/html_demo.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

using namespace gui;

// The import wizard (import_demo.cpp): import1.png and import2.png.
bool SaveImportScreenshots(const std::string& dir);

int main(int argc, char** argv) {
    InitApplication(argc, argv);
    std::string shots;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) shots = argv[i + 1];
    // --html: the HTML export wizard alone.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--html") == 0) return buildui::RunHtmlWizardDemo("");

    buildui::MemoryCompileOptions options;
    options.fields = {{"Compile", "32"},          {"DosName", "userguide"},         {"16bitName", "USERGD"},
                      {"ContentsFilter", "2"},    {"UseFilteredPagesOnly", "Y"},    {"Compress", "HIGH"},
                      {"AutogenerateContents", "N"}, {"AutogeneratePRJfile", "Y"}, {"AutoGenerateCntFile", "Y"}};
    auto* dialog = new buildui::TfrmCompile(Application, options);
    auto* progress = new buildui::TCompileForm(Application);

    if (!shots.empty()) {
        std::filesystem::create_directories(shots);
        dialog->TForm::Show();
        progress->SetStatus("Parsing Topics...");
        progress->SetPercent(42);
        progress->Show();
        guitest::ProcessEvents(50);
        bool ok = guitest::SaveGrab(progress, shots + "/progress.png") &&
                  guitest::SaveGrab(dialog, shots + "/compile_options.png");
        ok = buildui::WriteContentsScreenshots(shots) && ok;
        ok = SaveImportScreenshots(shots) && ok;
        ok = buildui::RunHtmlWizardDemo(shots) == 0 && ok;
        return ok ? 0 : 1;
    }
    if (dialog->ShowModal() != mrOk) return 0;
    progress->SetStatus("Parsing Topics...");
    progress->Show();
    for (int i = 0; i <= 100 && !progress->CancelRequested(); ++i) {
        progress->SetPercent(i);
        guitest::ProcessEvents(40);
    }
    return 0;
}
