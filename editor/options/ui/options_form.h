// "Tavrin Project Options": the project row's look and build settings on
// three pages (colours with a live preview, compile options, window
// co-ordinates on a simulated desktop).
#pragma once

#include "project/editor_context.h"
#include "editor/options/project_options.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/spin_gauge.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

#include <array>
#include <functional>

namespace editor {

class TOptionsForm : public gui::TForm {
public:
    TOptionsForm(gui::TComponent* owner, EditorContext& ctx);

    gui::TTabbedNotebook* notebook;
    // Colors
    gui::TPanel *pnlPreview, *pnlTitle, *pnlText, *pnlPopup, *pnlButtonBar;
    gui::TLabel *lblTopicTitle, *lblHelpText, *lblPopupTitle, *lblPopupText;
    gui::TPanel* lblArrow;
    std::array<gui::TPanel*, 3> barButtons{};  // Print, Browse, Exit
    gui::TGroupBox* grpSettings;
    gui::TComboBox *cbxTextFont, *cbxTextSize, *cbxTextColor, *cbxBackground;
    gui::TSpeedButton *btnBold, *btnItalic;
    gui::TCheckBox *xboxPrintBtn, *xboxBrowseBtn, *xboxExitBtn;
    gui::TButton* btnEnforce;
    // Compile Options
    gui::TRadioButton *compile16bit, *compile32bit, *compressionOff, *compressionHigh;
    gui::TCheckBox *autoGenerateContents, *autoGenPRJfile, *xboxCNT;
    gui::TEdit *editCopyright, *editIcon, *editProjectDir, *editGraphicsDir;
    gui::TMemo* memoCitation;
    gui::TImage* imgIcon;
    gui::TButton *btnLoadIcon, *btnProjectDir, *btnGraphicsDir;
    // Windows Co-ordinates
    gui::TPanel *pnlDesktop, *pnlMainMini, *pnlSecMini;
    gui::TButton* btnSecColor;
    gui::TGroupBox *grpMainCoords, *grpSecCoords;
    std::array<gui::TEdit*, 4> mainEdits{}, secEdits{};
    std::array<gui::TSpinButton*, 4> mainSpins{}, secSpins{};
    gui::TCheckBox *xboxAutoSize, *cbxLetWinDecide, *xboxMainStayOnTop, *xboxSecondStayOnTop;
    gui::TEdit *editSecWin, *editSecTitle;
    gui::TButton *btnClose, *btnHelp;

    // Dialogs the form opens; tests and the demo replace them.
    FolderChooser ChooseFolder;
    std::function<bool(std::string& iconFile)> ChooseIcon;
    std::function<bool(long& colour)> ChooseColour;
    std::function<void()> RunEnforce;

    OptionGroup Group() const { return group_; }
    // Stores the group in the panel, loads another (a click on the preview).
    void SelectGroup(OptionGroup g);
    void StoreCurrentGroup();
    // A miniature was dragged or resized: kept inside, stored.
    void MiniatureMoved(bool secondary);
    void PlaceMiniatures();
    void Spin(bool secondary, int index, bool up);
    void FolderClick(const std::string& field);
    void EnforceNowClick();

    void FormShow(gui::TObject*);
    void FormCloseQuery(gui::TObject*, bool& canClose);

private:
    void LoadGroupIntoPanel();
    void RestylePreview();
    void ArrangeButtonBar();
    void ShowSecondary();
    void LoadIcon(const std::string& file);
    void FlagClick(gui::TCheckBox* box, const char* field);
    bool UserAction() const { return !loading_; }

    EditorContext& ctx_;
    OptionGroup group_ = OptionGroup::TopicTitle;
    long nonscroll_ = 0xC0C0C0, scroll_ = 0xFFFFFF;
    bool loading_ = false;
    // Miniature drag or resize.
    gui::TPanel* dragging_ = nullptr;
    int dragX_ = 0, dragY_ = 0;  // the press, in the desktop's coordinates
    int grab_ = 0;               // 0 moves, 1..8 the edge or corner sized
    PixelRect dragStart_;
};

// Opens the options for the current project; afterwards the display
// settings are applied and the page view returns to its row.
void ShowProjectOptions(EditorContext& ctx);
// The main window's Project Options command: the caret of the focused page
// editor is remembered before and put back after.
void ProjectOptionsCommand(EditorContext& ctx, const std::function<void()>& rememberCaret,
                           const std::function<void()>& restoreCaret);

}  // namespace editor
