// The backup dialog "Tavrin Backups and Restores": the project, the folder
// and the archive's name on the "&Backups" page; the "&Restores" page holds
// only a label, as the program writes archives and never reads them back.
#pragma once

#include "editor/backup/backup_project.h"
#include "editor/backup/lzh_batch.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

namespace backupui {

class TbackupForm : public gui::TForm {
public:
    explicit TbackupForm(gui::TComponent* owner);

    gui::TTabbedNotebook* tnb;
    gui::TLabel* Label1;  // "Project :"
    gui::TEdit* fldProject;
    gui::TLabel* Label2;  // "Backup to :"
    gui::TDirectoryListBox* DirectoryListBox1;
    gui::TFileListBox* FileListBox1;
    gui::TDriveComboBox* DriveComboBox1;
    gui::TFilterComboBox* FilterComboBox1;
    gui::TEdit* fldBackupTo;
    gui::TButton* Button1;
    gui::TButton* Button2;
    gui::TButton* Button3;
    gui::TLabel* Label3;  // the restores page
    lzh::TLZHBatch LZHBatch1;

    // Fills the dialog from the command's state and reads the choice back.
    void Load(const backup::BackupDialogState& state);
    void Store(backup::BackupDialogState& state) const;

    void Button1Click(gui::TObject* sender);
    void Button2Click(gui::TObject* sender);
};

// The dialog as the backup command shows it: modal, true on OK.
bool ShowBackupDialog(backup::BackupDialogState& state);

}  // namespace backupui
