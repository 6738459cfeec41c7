// The program preferences window.
#pragma once

#include "project/editor_context.h"
#include "editor/options/preferences.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

#include <functional>

namespace editor {

class TPrefsForm : public gui::TForm {
public:
    TPrefsForm(gui::TComponent* owner, EditorContext& ctx);

    gui::TTabbedNotebook* notebook;  // one page "&Defaults/Misc"
    gui::TGroupBox *grpJump, *grpGrid, *grpMisc, *grpPaths, *grpDictionary, *grpExplorer;
    gui::TLabel *lblTopic, *lblPopup;
    gui::TComboBox *cbxTopicColor, *cbxPopupColor, *cbxGridFontSize;
    gui::TCheckBox *chkGridBold, *chkPopupsHaveSearchKeys, *xboxSynchBrowseIds, *chkTopicJumpBold;
    gui::TEdit *editPaint, *editWP;
    gui::TButton *btnPaint, *btnWP;
    gui::TListBox* listDictionary;
    gui::TCheckBox *xboxShowButtons, *xboxShowLines;
    gui::TButton *btnOK, *btnHelp;

    // The file dialog of the "..." buttons (title, start); tests replace it.
    std::function<bool(const std::string& title, const std::string& start, std::string& chosen)> ChooseProgram;

    void Load(const PreferenceValues& v);
    PreferenceValues Values() const;
    // A jump colour chosen by the user: stored at once, the label coloured.
    void JumpColourChosen(bool topic);
    void DictionaryClick();

private:
    EditorContext& ctx_;
    bool loading_ = false;
    PreferenceValues shown_;
};

// Tools | "Tavrin &Preferences": runs the window and applies what it holds
// however it was closed.
void miGeneralPrefsClick(EditorContext& ctx);

}  // namespace editor
