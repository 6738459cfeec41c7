// The font registry dialog and the formatting-enforcement dialog.
#pragma once

#include "project/editor_context.h"
#include "editor/options/font_sync.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

namespace editor {

class TfrmFonts : public gui::TForm {
public:
    TfrmFonts(gui::TComponent* owner, EditorContext& ctx);

    gui::TLabel *lblUsed, *lblAvailable;
    gui::TListBox *listUsed, *listAvailable;
    gui::TButton *btnAdd, *btnAddAll, *btnRemove, *btnRemoveAll, *btnOK, *btnCancel, *btnHelp;
    FontRegistryLists lists;

    // Fills from the registry and the screen fonts.
    void Fill(const std::vector<std::string>& registry, const std::vector<std::string>& screenFonts);
    void OKClick(gui::TObject*);

private:
    void ShowLists(); // lists into the list boxes
    void Take();      // selections from the list boxes
    EditorContext& ctx_;
};

// Tools | "Project Fo&nt Registry".
void miProjectFontRegistryClick(EditorContext& ctx);
// Tools | "Synchronize &Font Tables": the synchronisation in the progress
// window (its Cancel button hidden), each rewritten page's build record
// prepared again.
FontSyncResult miSynchFontsClick(EditorContext& ctx);

class TfrmFormat : public gui::TForm {
public:
    TfrmFormat(gui::TComponent* owner, EditorContext& ctx);

    gui::TLabel* lblText;
    gui::TGroupBox* grpEnforce;
    gui::TCheckBox *xboxFont, *xboxSize, *xboxNonscrollColor, *xboxColor;
    gui::TButton *btnOK, *btnCancel, *btnHelp;

    EnforceChoice Choice() const;
    void OKClick(gui::TObject*);

private:
    EditorContext& ctx_;
};

// Format | "En&force Formatting Preferences".
void EnforceFormattingPreferences1Click(EditorContext& ctx);

}  // namespace editor
