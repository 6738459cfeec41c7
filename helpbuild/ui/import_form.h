// The import wizard: step 1 chooses a compiled help file and converts it,
// step 2 names the new project, Finish imports it (helpbuild/import_project.h).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "helpbuild/import_project.h"
#include "platform/gui/buttons.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"
#include "richtext/controls/rtf_label.h"

namespace editor {
class EditorContext;
}

namespace buildui {

class TfrmImport : public gui::TForm {
public:
    TfrmImport(gui::TComponent* owner, editor::EditorContext& ctx, build::ImportEnvironment env);
    ~TfrmImport() override;

    gui::TNotebook* nbkSteps;
    // step 1
    gui::TLabel* lblStep1;
    gui::TLabel* lblHlp;
    gui::TEdit* editHLP;
    gui::TButton* Button4;
    richtext::TJDRichTextLabel* jdS1HLP;
    // step 2
    gui::TLabel* lblStep2;
    gui::TPanel* pnlHpj;
    gui::TEdit* editHPJ;
    gui::TLabel* lblNewApp;
    gui::TEdit* editNewApp;
    gui::TLabel* lblFilename;
    gui::TEdit* editFilename;
    gui::TLabel* lblHelpTitle;
    gui::TEdit* editHelpTitle;
    gui::TLabel* lblDirectory;
    gui::TEdit* editDirectory;
    gui::TButton* Button6;
    gui::TLabel* lblGraphics;
    gui::TEdit* editGraphicsDir;
    gui::TButton* btnGraphics;
    gui::TEdit* editCopyright;
    gui::TCheckBox* xboxConvert;
    richtext::TJDRichTextLabel* jdS2projectName;
    richtext::TJDRichTextLabel* jdS2Filename;
    richtext::TJDRichTextLabel* jdS2HelpTitle;
    richtext::TJDRichTextLabel* jdS2ProjectDir;
    richtext::TJDRichTextLabel* jdS2GraphicsDir;
    richtext::TJDRichTextLabel* jdS2Finish;
    // navigation
    gui::TButton* Button1;  // Cancel
    gui::TButton* btnPrev;
    gui::TButton* btnNext;
    gui::TButton* btnFinish;
    gui::TOpenDialog* dlgHlp;

    // The folder chooser of the two "..." buttons of step 2: true with the
    // chosen folder in `dir`. By default an input box.
    std::function<bool(std::string& dir)> SelectDirectory;
    // Whether the last Finish imported a project.
    bool Imported() const { return imported_; }

    void FormShow(gui::TObject* sender);
    void btnNextClick(gui::TObject* sender);
    void btnPrevClick(gui::TObject* sender);
    void btnFinishClick(gui::TObject* sender);
    void Button4Click(gui::TObject* sender);
    void Button6Click(gui::TObject* sender);
    void btnGraphicsClick(gui::TObject* sender);

private:
    void Hint(gui::TWinControl* control, richtext::TJDRichTextLabel* hint);
    void ShowStep(int step);

    build::ImportFields Fields() const;
    editor::EditorContext& ctx_;
    std::unique_ptr<build::ImportSession> session_;
    bool imported_ = false;
};

}  // namespace buildui
