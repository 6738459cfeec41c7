// The dialogs of the outside-program commands: "Generate User RTF Document"
// (TfrmDoc) and "Copy Help File to" (TCopyToForm), and the UI the main window
// gives the commands (dialogs, progress window, the generator's open dialog).
#pragma once

#include "editor/commands/tool_commands.h"
#include "platform/gui/buttons.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace editor {

class TfrmDoc : public gui::TForm {
public:
    explicit TfrmDoc(gui::TComponent* owner);

    gui::TCheckBox* cbPageBreaks;
    gui::TCheckBox* cbIndex;
    gui::TCheckBox* cbToc;
    gui::TGroupBox* grpJumps;
    gui::TRadioButton* rbRemoveUnderlines;
    gui::TRadioButton* rbAddPageLinks;
    gui::TRadioButton* rbRetainStyle;
    gui::TGroupBox* grpGraphics;
    gui::TRadioButton* rbGraphicsIn;
    gui::TRadioButton* rbGraphicsOut;
    gui::TButton* btnOK;
    gui::TButton* btnCancel;

    void Load(const RtfDocumentOptions& options);
    RtfDocumentOptions Choices() const;
};

class TCopyToForm : public gui::TForm {
public:
    explicit TCopyToForm(gui::TComponent* owner);

    gui::TLabel* lblHeading;
    gui::TEdit* edtPath;
    gui::TButton* btnBrowse;
    gui::TCheckBox* cbOverwrite;
    gui::TButton* Button1;  // OK
    gui::TButton* Button2;  // Cancel
    gui::TSaveDialog* SaveDialog1;

    void Load(const CopyToState& state);
    void Store(CopyToState& state) const;
    void Button1Click(gui::TObject* sender);
    void BrowseClick(gui::TObject* sender);
};

// The commands' dialogs on screen; the progress window shares the
// context's cancel request.
ToolUi MakeToolUi(EditorContext& ctx, std::function<void(const std::string&)> setStatusText);

}  // namespace editor
