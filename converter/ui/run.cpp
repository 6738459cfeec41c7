#include "converter/ui/run.h"

#include <QTimer>

#include <cstdlib>
#include <cstring>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/shell.h"
#include "converter/ui/progress.h"
#include "converter/ui/wizard.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"

namespace conv::ui {

int RunWizard() {
    ConversionFlags flags = LoadOptions();
    std::vector<std::filesystem::path> files;
    {
        WizardDialog wizard(flags);
        wizard.show();
        CenterWindow(&wizard);
        if (Hooks().onWizardShown) QTimer::singleShot(0, &wizard, [&wizard] { Hooks().onWizardShown(wizard); });
        if (wizard.exec() != QDialog::Accepted) return 2;
        flags = wizard.flags();
        files = wizard.chosenFiles();
    }
    ConversionSession session;
    for (const std::filesystem::path& file : files) {
        if (session.Convert(plat::SystemText(file.string()), flags | kShowProgress) != ConversionSession::Result::Done)
            return 1;
    }
    SaveOptions(flags);
    session.Done(flags);
    return 2;
}

int RunConverterWindows(std::string_view commandLine) {
    SetLanguageOffset(LoadLanguageOffset());
    const CommandLine cmd = ParseCommandLine(commandLine);
    if (cmd.mode == CommandLine::Mode::Wizard) return RunWizard();
    const ConversionFlags flags = (cmd.mode == CommandLine::Mode::View ? kViewFlags : LoadOptions()) | kShowProgress;
    ConversionSession session;
    if (session.Convert(cmd.path, flags) != ConversionSession::Result::Done) return 1;
    session.Complete();
    if (cmd.mode == CommandLine::Mode::View) ViewDocument(nullptr, plat::AnsiToUtf8(session.ResultDocument(flags)));
    return 2;
}

bool DisplayAvailable() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (const char* qpa = std::getenv("QT_QPA_PLATFORM"); qpa && (std::strncmp(qpa, "offscreen", 9) == 0 ||
                                                               std::strncmp(qpa, "minimal", 7) == 0))
        return false;
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace conv::ui
