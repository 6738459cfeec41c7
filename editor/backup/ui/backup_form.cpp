#include "editor/backup/ui/backup_form.h"

namespace backupui {

using namespace gui;

namespace {

}  // namespace

TbackupForm::TbackupForm(TComponent* owner) : TForm(owner) {
    SetName("backupForm");
    SetCaption("Tavrin Backups and Restores");
    SetClientSize(432, 330);
    Position = poScreenCenter;

    tnb = MakeControl<TTabbedNotebook>(this, this, "tnb", 6, 6, 420, 280);
    tnb->Pages().Clear();
    tnb->Pages().Add("&Backups");
    tnb->Pages().Add("&Restores");
    TTabSheet* backups = tnb->Page(0);
    TTabSheet* restores = tnb->Page(1);

    Label1 = MakeControl<TLabel>(backups, this, "Label1", 10, 12, 60, 16);
    Label1->SetCaption("Project :");
    fldProject = MakeControl<TEdit>(backups, this, "fldProject", 80, 8, 200, 22);
    fldProject->SetReadOnly(true);
    Label2 = MakeControl<TLabel>(backups, this, "Label2", 10, 42, 70, 16);
    Label2->SetCaption("Backup to :");
    fldBackupTo = MakeControl<TEdit>(backups, this, "fldBackupTo", 10, 62, 190, 22);
    fldBackupTo->SetText("*.KQB");
    FileListBox1 = MakeControl<TFileListBox>(backups, this, "FileListBox1", 10, 88, 190, 122);
    FileListBox1->SetMask("*.KQB");
    FileListBox1->FileEdit = fldBackupTo;
    DirectoryListBox1 = MakeControl<TDirectoryListBox>(backups, this, "DirectoryListBox1", 210, 62, 196, 148);
    DirectoryListBox1->FileList = FileListBox1;
    FilterComboBox1 = MakeControl<TFilterComboBox>(backups, this, "FilterComboBox1", 10, 218, 190, 22);
    FilterComboBox1->SetFilter("Tavrin Backups (*.KQB)|*.KQB|All files (*.*)|*.*");
    FilterComboBox1->FileList = FileListBox1;
    DriveComboBox1 = MakeControl<TDriveComboBox>(backups, this, "DriveComboBox1", 210, 218, 196, 22);
    DriveComboBox1->DirList = DirectoryListBox1;

    Label3 = MakeControl<TLabel>(restores, this, "Label3", 10, 12, 300, 16);
    Label3->SetCaption("Display date & time of files");

    Button1 = MakeControl<TButton>(this, this, "Button1", 180, 296, 75, 25);
    Button1->SetCaption("&OK");
    Button1->Default = true;
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2 = MakeControl<TButton>(this, this, "Button2", 264, 296, 75, 25);
    Button2->SetCaption("&Cancel");
    Button2->Cancel = true;
    Button2->OnClick = [this](TObject* s) { Button2Click(s); };
    Button3 = MakeControl<TButton>(this, this, "Button3", 348, 296, 75, 25);
    Button3->SetCaption("&Help");
    SetBorderStyle(bsDialog);
}

void TbackupForm::Load(const backup::BackupDialogState& state) {
    fldProject->SetText(state.project);
    DirectoryListBox1->SetDirectory(state.folder);
    FileListBox1->SetDirectory(state.folder);
    fldBackupTo->SetText(state.name);
}

void TbackupForm::Store(backup::BackupDialogState& state) const {
    state.folder = DirectoryListBox1->Directory();
    state.name = fldBackupTo->Text();
}

void TbackupForm::Button1Click(TObject*) {
    if (!backup::BackupTargetAccepted(DirectoryListBox1->Directory(), fldBackupTo->Text())) return;
    SetModalResult(mrOk);
}

void TbackupForm::Button2Click(TObject*) { SetModalResult(mrCancel); }

bool ShowBackupDialog(backup::BackupDialogState& state) {
    TbackupForm form(Application);
    form.Load(state);
    if (form.ShowModal() != mrOk) return false;
    form.Store(state);
    return true;
}

}  // namespace backupui
