#include "helpbuild/ui/page_load.h"

#include "project/helpers.h"
#include "platform/core/files.h"
#include "platform/gui/common_dialogs.h"
#include "richtext/controls/rtf_edit.h"

namespace buildui {

bool IsPageEditorName(const std::string& name) {
    return name == "HelpText" || name == "maxHelpText" || name == "FullTitleEditFld";
}

bool LoadPageFromFile(gui::TForm* mainWindow, const std::string& projectDir) {
    if (!mainWindow) return false;
    auto* editor = dynamic_cast<richtext::TJDCustomRtfEdit*>(mainWindow->ActiveControl());
    if (!editor || !IsPageEditorName(editor->Name())) return false;
    gui::TOpenDialog dlgLoad(nullptr);
    dlgLoad.Title = "Load from File...";
    dlgLoad.Filter = "Rich Text Format (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT|All Files (*.*)|*.*";
    dlgLoad.DefaultExt = "RTF";
    dlgLoad.Options = gui::ofPathMustExist | gui::ofFileMustExist;
    dlgLoad.InitialDir = projectDir;
    if (!dlgLoad.Execute()) return false;
    std::string bytes;
    plat::File f;
    bool ok = f.Open(dlgLoad.FileName, plat::FileAccess::Read, plat::FileShare::DenyWrite);
    if (ok) {
        std::int64_t size = f.Size();
        ok = size >= 0;
        if (ok) {
            bytes.resize(static_cast<std::size_t>(size));
            ok = size == 0 || f.Read(bytes.data(), bytes.size()) == size;
        }
    }
    if (!ok) {
        editor::ShowWarning("Warning", "The file, " + dlgLoad.FileName + ", could not be read in.");
        return false;
    }
    editor->SetText(bytes);
    return true;
}

}  // namespace buildui
