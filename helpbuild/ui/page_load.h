// "Load from File" of the page editors' popup menu: the focused page editor
// (HelpText, maxHelpText or FullTitleEditFld) gets the text of an RTF or
// text file chosen in the "Load from File..." dialog.
#pragma once

#include "platform/gui/forms.h"

#include <string>

namespace buildui {

// The names of the three page editors the command loads into.
bool IsPageEditorName(const std::string& name);

// `mainWindow`'s focused control must be one of the page editors, else
// nothing happens. The dialog starts in `projectDir`. Returns true when a
// file was loaded.
bool LoadPageFromFile(gui::TForm* mainWindow, const std::string& projectDir);

}  // namespace buildui
