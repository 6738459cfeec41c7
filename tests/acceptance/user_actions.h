// What a user does often on the way to what a test is after: a new project
// through its wizard, text typed into the page editor. Run on the user's
// thread.
#pragma once

#include "platform/gui/component.h"
#include "tests/acceptance/user_harness.h"

#include <filesystem>
#include <string>

namespace acceptance {

// The component named `name` on any of the program's forms (nullptr when
// none holds one); call inside Gui().
gui::TComponent* FindOnForms(const std::string& name);

// Waits for the main window and sends the tip of the day away if it came.
QWidget* MainWindowReady(User& u);

// File › New Project, the wizard's three pages by keys, one page titled
// `title`; true when the main window shows the new project.
bool NewProjectByKeys(User& u, const std::string& name, const std::string& file,
                      const std::string& title = "Welcome");

// What the page editor of the split view holds.
std::string PageText(User& u);

// A click into the page editor, Ctrl+End and `text` typed there; true when
// the editor holds it.
bool TypeIntoPage(User& u, const std::string& text);

// The current project's folder, as a path of this system.
std::filesystem::path ProjectFolder(User& u);

// The file in `folder` whose name is `name` in any case; empty when none.
std::filesystem::path FileInAnyCase(const std::filesystem::path& folder, const std::string& name);

}  // namespace acceptance
