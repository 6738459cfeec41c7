// The windows of the project life cycle: the three-step new-project wizard,
// the folder chooser, the inheritance dialogs and the wait window. Their
// work is done by the headless life cycle in editor/lifecycle.
#pragma once

#include "controls/data/vl_dbgrid.h"
#include "data/vl_table.h"
#include "project/editor_context.h"
#include "editor/lifecycle/inheritance.h"
#include "editor/lifecycle/project_wizard.h"
#include "controls/db/db_grid.h"
#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

namespace editor {

// A small modeless window with one status line.
class TWaitForm : public gui::TForm {
public:
    explicit TWaitForm(gui::TComponent* owner);
    gui::TLabel* lblStatus;
    // Shows the text; "" hides the window.
    void ShowStatus(const std::string& text);
};

class TdlgSelectDirectory : public gui::TForm {
public:
    explicit TdlgSelectDirectory(gui::TComponent* owner);
    gui::TEdit* editPath;
    gui::TDirectoryListBox* lstDirectories;
    gui::TButton* btnOK;
    gui::TButton* btnCancel;
    void SetDirectory(const std::string& dir);
    std::string Directory() const;
};

class TNewAppForm : public gui::TForm {
public:
    TNewAppForm(gui::TComponent* owner, EditorContext& ctx);
    ~TNewAppForm() override;

    gui::TNotebook* Notebook;
    // Step 1
    gui::TEdit* editNewApp;
    gui::TEdit* editFilename;
    gui::TEdit* editHelpTitle;
    gui::TEdit* editDirectory;
    gui::TButton* btnDirectory;
    gui::TListBox* lboxApplication;
    gui::TLabel* lblHint;
    // Step 2
    db::TCustomDBGrid* grdScheme;
    gui::TRadioButton *chk100, *chk50, *chk25, *chkLetWinDecide;
    gui::TCheckBox *chkLeft, *chkRight, *chkTop, *chkBottom;
    gui::TPaintBox* pbPreview;
    // Step 3
    db::TCustomDBGrid* gridTopics;
    gui::TButton *btnInsert, *btnDelete, *btnUp, *btnDown;
    // Navigation
    gui::TButton *btnPrev, *btnNext, *btnFinish, *btnCancel;

    vl::TvlTable* tblWiz;
    vl::TvlTable* tblTopics;
    db::TDataSource* srcWiz;
    db::TDataSource* srcTopics;

    WizardInput Input() const;
    // The step buttons; false when a check refused.
    bool NextClick();
    void PrevClick();
    void FocusStep(gui::TWinControl* first);
    bool FinishClick();
    // Step 2: a preset row sets the size and position buttons.
    void SchemeChanged();
    // Folder chooser for "..."; the tests replace it.
    std::function<bool(std::string& dir)> ChooseDirectory;

private:
    void Step1Exit(gui::TEdit* field);
    void PaintPreview();
    EditorContext& ctx_;
    std::unique_ptr<TWaitForm> wait_;
};

// The inherit-select grid's colours of one cell: a master page's HelpId
// is white on maroon. False (colours untouched) for any other cell.
bool InheritSelectCellColours(const std::string& fieldName, const std::string& inheritedStatus, long& font,
                              long& brush);

class TfrmInheritSelect : public gui::TForm {
public:
    TfrmInheritSelect(gui::TComponent* owner, const InheritSelectRequest& request);
    ~TfrmInheritSelect() override;
    vl::TvlTable* tblMain;
    vl::TvlTable* tblItems;
    db::TDataSource* srcMain;
    db::TDataSource* srcItems;
    gui::TLabel* lblProject;
    gui::TButton *btnPriorProject, *btnNextProject;
    vl::TvlDBGrid* vlDBGrid1;
    gui::TButton *btnOK, *btnCancel, *btnHelp;
    bool TablesOpen() const { return tblMain->Active(); }
    InheritChoice Choice() const;

private:
    void ShowProject();
};

class TfrmInhWho : public gui::TForm {
public:
    TfrmInhWho(gui::TComponent* owner, const std::string& project, long helpId);
    ~TfrmInhWho() override;
    vl::TvlTable* tblInh;
    db::TDataSource* srcInh;
    db::TCustomDBGrid* vlDBGrid1;
    gui::TButton *btnGoTo, *btnClose;
};

// The dialogs the headless inheritance commands call, on screen.
InheritSelectDialog ScreenInheritSelectDialog();
WhoInheritsDialog ScreenWhoInheritsDialog(EditorContext& ctx);

}  // namespace editor

namespace editor {
// `tavrin --form NAME`: shows one of the windows above over the program
// folder's tables (a folder without projects gets two sample projects) and
// saves it through `shoot`; `view` names the wizard's step. -1 when the
// name is none of them.
int ShowLifecycleForm(const std::string& name, const std::string& view, const std::string& file,
                      const std::function<bool(gui::TControl*, const std::string&)>& shoot);
}  // namespace editor

namespace editor {
class TForm1;
// File › New Project and Delete Project, the Inheritance menu, and the
// after-post followers with the status panel as their status line.
void InstallLifecycleCommands(TForm1& form);
// File › New Project: the wizard, then the main window on the new project.
void NewProjectCommand(TForm1& form);
}  // namespace editor
