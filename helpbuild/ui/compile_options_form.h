// The "Compile Options" dialog: build target, file names, filter and
// options of the current project. Its controls work on the project row
// through ICompileOptionsData, so the dialog runs on the project table in
// the program and on plain values in tests and the demo.
#pragma once

#include <string>
#include <vector>

#include "helpbuild/compile_options.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

namespace buildui {

using build::ICompileOptionsData;
using build::MemoryCompileOptions;

class TfrmCompile : public gui::TForm {
public:
    TfrmCompile(gui::TComponent* owner, ICompileOptionsData& data);

    gui::TGroupBox* grpCompile;
    gui::TRadioButton* xboxCompile16bit;
    gui::TRadioButton* xboxCompile32bit;
    gui::TGroupBox* grpNames;
    gui::TLabel* lbl16;
    gui::TEdit* edit16FN;
    gui::TLabel* lbl32;
    gui::TEdit* edit32FN;
    gui::TGroupBox* grpFilters;
    gui::TCheckBox* xboxFilter;
    gui::TLabel* lblFilter;
    gui::TComboBox* comboFilter;
    gui::TGroupBox* grpOptions;
    gui::TCheckBox* autoGenerateContents;
    gui::TCheckBox* autoGenPRJfile;
    gui::TCheckBox* xboxCNT;
    gui::TCheckBox* xboxCompress;
    gui::TButton* Button1;  // OK
    gui::TButton* Button2;  // Cancel
    gui::TButton* Button3;  // Help

    // The contents filter the dialog saw when it was shown.
    std::string LastContentsFilter;

    void FormShow(gui::TObject* sender);
    void xboxCompile16bitClick(gui::TObject* sender);
    void Button1Click(gui::TObject* sender);
    void Button3Click(gui::TObject* sender);

private:
    // A check box the user clicked sets its field and posts the row.
    void FlagClick(gui::TCheckBox* box, const char* field, const char* on, const char* off);
    void SetAndPost(const std::string& field, const std::string& value);
    gui::TCheckBox* Check(gui::TWinControl* parent, const char* name, const char* caption, int x, int y, int w);

    ICompileOptionsData& data_;
    bool loading_ = false;
};

}  // namespace buildui
