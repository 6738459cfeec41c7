// The two ways into the converter with windows: the wizard, and the
// conversion of one help file named on the command line with its progress
// dialog. Both return the program's exit code (2 done, 1 fatal or aborted).
// A QApplication must exist.
#pragma once

#include <string_view>

namespace conv::ui {

// The wizard, then the chosen files one after another, the options saved
// and the end-of-run wait. Close converts and saves nothing.
int RunWizard();
// The whole command line as RunConverter takes it (system text): empty
// runs the wizard; otherwise one conversion with the progress dialog,
// which ends by itself.
int RunConverterWindows(std::string_view commandLine);
// True when windows can be shown: an X or Wayland display, and Qt is not
// told to draw off screen.
bool DisplayAvailable();

}  // namespace conv::ui
