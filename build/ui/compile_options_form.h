// The "Compile Options" dialog: build target, file names, filter and
// options of the current project. Its controls work on the project row
// through ICompileOptionsData, so the dialog runs on the project table in
// the program and on plain values in tests and the demo.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

namespace buildui {

class ICompileOptionsData {
public:
    virtual ~ICompileOptionsData() = default;
    // A project field as text ("Compile", "DosName", "16bitName", ...).
    virtual std::string Field(const std::string& name) = 0;
    // Puts the row into edit state when needed and assigns the field.
    virtual void EditField(const std::string& name, const std::string& value) = 0;
    virtual bool Editing() = 0;
    // Posts the row; throws when it cannot be saved.
    virtual void Post() = 0;
    // The main window's contents filter history.
    virtual std::vector<std::string> ContentsFilterHistory() = 0;
    virtual void ApplyContentsFilter() = 0;
};

// Plain values (tests, demo); `failPost` makes Post throw.
class MemoryCompileOptions : public ICompileOptionsData {
public:
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> posted;
    std::vector<std::string> history{"1", "2", "3"};
    bool failPost = false;
    int posts = 0;
    int filterApplied = 0;

    std::string Field(const std::string& name) override { return fields[name]; }
    void EditField(const std::string& name, const std::string& value) override {
        editing_ = true;
        fields[name] = value;
    }
    bool Editing() override { return editing_; }
    void Post() override;
    std::vector<std::string> ContentsFilterHistory() override { return history; }
    void ApplyContentsFilter() override { ++filterApplied; }

private:
    bool editing_ = false;
};

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
