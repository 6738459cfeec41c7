// The main window's build commands around the build drivers: what each
// saves first and restores afterwards, whatever the build did (also when it
// threw). The window fills the hooks for its editors, cursor and controls.
#pragma once

#include "helpbuild/build_driver.h"
#include "project/editor_context.h"

#include <functional>

namespace editor {

inline constexpr const char* kLatestChangesText = "Your latest changes could not be saved.";
inline constexpr const char* kLatestChangesCaption = " If this problem persists, try Alt+Backspace to undo changes.";

struct CompileHooks {
    // The build's windows: options dialog, progress window, error log, ...
    build::BuildEnvironment env;
    // The two hidden page editors on the second page cursor leave their
    // fields during a full build and come back after it.
    std::function<void()> detachEditors;
    std::function<void()> reattachEditors;
    // The hourglass (true) or the default cursor (false).
    std::function<void(bool busy)> setBusyCursor;
    // The project's graphics folder for the page and print editors.
    std::function<void(const std::string& folder)> setGraphicsFolder;
};

// F8 (with the options screen) and Shift+F8 (without): posts the page being
// edited, then runs the full build. A refused post shows the box above and
// runs no build (outcome Refused). Always afterwards: the editors are back
// on their fields, the cursor and the current folder restored, the page
// table back on its page with its controls enabled.
build::BuildOutcome FullCompileCommand(EditorContext& ctx, CompileHooks& hooks, bool showOptions);
// F7: the partial build, with the cursor and the current folder restored.
build::BuildOutcome PartialCompileCommand(EditorContext& ctx, CompileHooks& hooks);

// Before the export wizard: posts the page table, then the project table,
// when they are being edited; a refused post is left to the wizard's checks.
void PostPageAndProject(EditorContext& ctx);

}  // namespace editor
