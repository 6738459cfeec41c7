// The dialogs of the page-text commands: choosing a jump target, editing a
// macro, viewing or removing a jump, choosing a picture, showing a
// picture's reference and choosing a list style; and `FormsPageUi`, which
// answers the commands' questions with them. Their Help buttons go through
// Application->HelpContext to the program's help viewer; the Jumps form's
// search opens the locate dialog on the field of its grid's column.
#pragma once

#include <functional>
#include <string>

#include "editor/forms/page_commands.h"
#include "controls/db/db_grid.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace vl {
class TvlLocateDialog;
class TvlTable;
}

namespace editor {

inline constexpr int kGraphicOk = 6;  // TGraphicDlg's OK
inline constexpr int kFollowLink = 4; // TJChangeForm's "&Follow the link"

class TJumpsForm : public gui::TForm {
public:
    // Lists the pages of the context's current project (none without a context).
    TJumpsForm(gui::TComponent* AOwner, EditorContext* ctx);
    // Filters to topics or popups, clears the typed target.
    void Prepare(bool popups);
    vl::TvlTable* Table = nullptr;
    db::TDataSource* Source = nullptr;
    db::TCustomDBGrid* detailGrid;
    gui::TLabel* lblJump;
    gui::TEdit* editJump;
    gui::TButton *btnOk, *btnCancel, *btnHelp;
    gui::TButton* SpeedButton1;
    // The search button's locate dialog and how it is run (tests record it).
    vl::TvlLocateDialog* loc;
    std::function<void(vl::TvlLocateDialog&)> RunLocate;
    // The field the search button looks in: "Title" in the first column,
    // "ContextString" in the second, else the field searched last.
    std::string SearchField() const;
    void SpeedButton1Click();

private:
    void LayoutColumns();
};

class TMacroForm : public gui::TForm {
public:
    explicit TMacroForm(gui::TComponent* AOwner);
    gui::TGroupBox* grpMacro;
    gui::TMemo* editMacro;
    gui::TButton *btnOk, *btnCancel, *btnHelp;
};

class TJChangeForm : public gui::TForm {
public:
    explicit TJChangeForm(gui::TComponent* AOwner);
    // Near the mouse, kept on the screen.
    void PlaceNear(int mouseX, int mouseY, int screenW, int screenH);
    gui::TLabel* lblJumpTo;
    gui::TLabel* editJump;
    gui::TButton *btnOk, *btnClear, *btnFollow;
};

class TGraphicDlg : public gui::TForm {
public:
    explicit TGraphicDlg(gui::TComponent* AOwner);
    void SetDirectory(const std::string& dir);
    // The chosen file ("" when none) and the choice as the command needs it.
    std::string FileName() const;
    PictureChoice Choice() const;
    void SetChoice(const PictureChoice& c);
    // Selection changed: OK follows it, the preview shows the file (not a hypergraphic).
    void FileSelected();
    gui::TDirectoryListBox* DirectoryListBox1;
    gui::TFileListBox* FileListBox1;
    gui::TFilterComboBox* FilterComboBox1;
    gui::TDriveComboBox* DriveComboBox1;
    gui::TPanel* pnlPreview;
    gui::TImage* Image1;
    gui::TCheckBox* chkStretch;
    gui::TRadioGroup* rgInsert;
    gui::TCheckBox* chkTransparent;
    gui::TButton *btnOk, *btnCancel, *btnHelp;
};

class TGraphicFilenameForm : public gui::TForm {
public:
    explicit TGraphicFilenameForm(gui::TComponent* AOwner);
    void Show(const std::string& alignment, const std::string& fileName);
    gui::TLabel *lblAlignment, *lblFilename;
    gui::TLabel *txtAlignment, *txtFilename;
    gui::TButton *btnOk, *btnDelete, *btnModify;
};

class TfrmBullets : public gui::TForm {
public:
    explicit TfrmBullets(gui::TComponent* AOwner);
    gui::TRadioGroup* rgType;
    gui::TPaintBox* pbPreview;
    gui::TButton *btnOk, *btnCancel;

private:
    void PaintPreview();
};

// The page dialogs as the commands' questions.
class FormsPageUi : public PageTextUi {
public:
    explicit FormsPageUi(EditorContext* ctx) : ctx_(ctx) {}
    bool ChooseJumpTarget(bool popups, std::string& typed, std::string& context, std::int64_t& helpId) override;
    bool EditMacro(std::string& text) override;
    JumpChange ChangeJump(const std::string& target) override;
    bool ChoosePicture(const std::string& startDir, PictureChoice& choice) override;
    int ShowPictureReference(const std::string& alignment, const std::string& fileName) override;
    bool ChooseList(int& choice) override;
    bool ChooseTable(int& rows, int& cols, bool& borders) override;
    bool AskGoBack() override;
    // Where the table picker opens (screen point); the mouse for the jump form.
    int TableX = 100, TableY = 100, MouseX = 200, MouseY = 200;

private:
    EditorContext* ctx_;
};

// `tavrin --form <class>` for the page dialogs: shows the form and saves
// its picture; 2 when `name` is none of them.
int ShowPageDialog(const std::string& name, const std::string& pngFile);

}  // namespace editor

namespace editor {
class TForm1;
// Gives the main window the page-text commands: the Format menu, the jump,
// macro, picture, list and table entries of the Edit menu, Save Current
// Page As, the spell-check entries, the page editors' hot-spot clicks and
// their entering. The commands work on the window's active page editor.
void InstallPageCommands(TForm1& form);
// The spell speed button `sbtnSpell`: a click checks the focused page
// editor from its top (unless the button already runs Tools | Spell Check),
// a right-button release opens `popSpell` at the mouse. InstallPageCommands
// wires the window's button of that name.
void InstallSpellButton(TForm1& form, gui::TControl& button);
}  // namespace editor
