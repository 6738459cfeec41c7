// The picture and media open dialog: a modal form with file, folder, drive
// and filter controls and a live preview (pictures scaled, text effects
// running, sound and video in a small player). Execute returns whether the
// form closed with OK; FileName holds the selected file either way.
#pragma once

#include "controls/imaging/multi_media.h"
#include "platform/gui/buttons.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/spin_gauge.h"
#include "platform/gui/std_controls.h"

#include <functional>
#include <string>

namespace controls {

class TMMOpenDialog;

class TMultiOpenMM : public gui::TForm {
public:
    explicit TMultiOpenMM(gui::TComponent* AOwner);
    ~TMultiOpenMM() override;

    gui::TPanel* Panel1;
    gui::TFileListBox* FileListBox1;
    gui::TDirectoryListBox* DirectoryListBox1;
    gui::TDriveComboBox* DriveComboBox1;
    gui::TFilterComboBox* FilterComboBox1;
    gui::TBitBtn* CancelBtn;
    gui::TBitBtn* OKBtn;
    gui::TCheckBox* CheckBox1;
    gui::TCheckBox* CheckBox2;
    gui::TLabel* Label1;
    gui::TGauge* Gauge1;
    gui::TTimer* Timer1;

    void FileListBox1Change(gui::TObject* Sender);
    void FileListBox1DblClick(gui::TObject* Sender);
    void CheckBox1Click(gui::TObject* Sender);
    void CheckBox2Click(gui::TObject* Sender);
    void Timer1Timer(gui::TObject* Sender);
    void OKBtnClick(gui::TObject* Sender);
    void CancelBtnClick(gui::TObject* Sender);

    bool Closing() const { return closing_; }
    // Preview loads so far, and whether one ever started inside another.
    int PreviewLoads() const { return loads_; }
    bool NestedLoadSeen() const { return nested_; }

private:
    friend class TMMOpenDialog;
    void FormCreate();
    void FormDestroy();
    // Sets the preview's name; a change arriving while a load runs (its
    // progress hook lets messages through) is applied when that load ends.
    void ShowInPreview(const std::string& name);

    bool closing_ = false;
    bool loading_ = false;
    bool pending_ = false;
    std::string pendingName_;
    int loads_ = 0;
    bool nested_ = false;
    int depth_ = 0;
};

class TMMOpenDialog : public gui::TComponent {
public:
    explicit TMMOpenDialog(gui::TComponent* AOwner);
    ~TMMOpenDialog() override;

    std::string InitialDir;
    bool AutoDisPlay = true;
    bool AutoPlay = false;
    std::string Filter;
    std::string Title = "Open File";
    std::string FileName;
    bool Execute();

    // Runs once the form is shown, inside the modal loop (tests drive the form from here).
    std::function<void(TMultiOpenMM& form)> OnFormShow;
    TMultiOpenMM* Form() const;
};

// The open dialog's unit state (one dialog at a time), for tests.
TMultiOpenMM* OpenDialogForm();
TPMultiMedia* OpenDialogPreview();
TMIMediaPlayer* OpenDialogPlayer();
// The dialog's progress hook: 1 to go on, 0 to stop.
std::int32_t OpenDialogProgressHook(std::int32_t percent);

}  // namespace controls
