#include "editor/backup/backup_project.h"

#include "editor/backup/lzh_batch.h"
#include "project/helpers.h"
#include "project/project_tables.h"
#include "project/table_copy.h"
#include "engine/api/dbi_api.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

namespace backup {

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Deletes the files of the work folder and the folder itself; answers
// whether the folder is gone.
bool RemoveWorkFolder(const std::string& work) {
    editor::EmptyDirectory(work);
    return plat::RemoveDir(work) || !plat::DirectoryExists(work);
}

// The work tables are copies deleted right after archiving, and a run
// starts by emptying their folder: the engine makes no sync of them.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string folder) : folder_(std::move(folder)) {
        qv::DbiSetScratchFolder(folder_.c_str(), true);
    }
    ~ScratchFolder() { qv::DbiSetScratchFolder(folder_.c_str(), false); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

private:
    std::string folder_;
};

}  // namespace

std::string BackupStartFolder(const std::string& storedProjectDir, const std::string& programDir) {
    const std::string programBackups = plat::JoinPath(programDir, "backups");
    if (!storedProjectDir.empty()) {
        const std::string projectBackups =
            plat::JoinPath(editor::ProjectFolder(storedProjectDir, programDir), "backups");
        if (plat::DirectoryExists(projectBackups)) return projectBackups;
    }
    if (plat::DirectoryExists(programBackups)) return programBackups;
    return programDir;
}

std::string BackupWorkFolder(const std::string& programDir) { return plat::JoinPath(programDir, "~backdir.tmp"); }

bool BackupTargetAccepted(const std::string& folder, const std::string& name) {
    if (name.empty()) {
        editor::ShowWarning("No Backup name", "You need to name your backup file.");
        return false;
    }
    if (plat::FileExists(plat::JoinPath(folder, name)))
        return gui::MessageDlg("This file already exists, overwrite it?", gui::mtConfirmation,
                               gui::Buttons({gui::mbYes, gui::mbNo})) == gui::mrYes;
    return true;
}

const std::vector<BackupTable>& BackupTables() {
    static const std::vector<BackupTable> tables = {
        {editor::kMainTableFile, "TVRNMAIN", true, 9, 11, 13},
        {editor::kItemTableFile, "TVRNITEM", false, 15, 18, 30},
        {editor::kRefiTableFile, "TVRNREFI", false, 33, 38, 45},
        {editor::kCntTableFile, "TVRNCNT", false, 48, 52, 62},
    };
    return tables;
}

std::vector<std::string> WorkTableFiles(const std::string& folder, const std::string& workName) {
    std::vector<std::string> files;
    plat::SearchRec rec;
    const std::string base = Upper(workName);
    if (plat::FindFirst(plat::JoinPath(folder, "*"), plat::faAnyFile, rec) == 0) {
        do {
            if (rec.IsDirectory()) continue;
            const std::string name = Upper(rec.Name);
            // The base name alone or with any extension.
            if (name != base && name.rfind(base + ".", 0) != 0) continue;
            const std::string path = plat::JoinPath(folder, rec.Name);
            if (plat::GetFileSize(path) > 0) files.push_back(path);
        } while (plat::FindNext(rec) == 0);
        plat::FindClose(rec);
    }
    std::sort(files.begin(), files.end());
    return files;
}

CopyResult CopyProjectTables(editor::EditorContext& ctx, const std::string& application, const std::string& work,
                              build::IProgress& progress, plat::StringList& files,
                              const std::function<void(const std::string& file)>& onCopied) {
    vl::TvlTable* from = ctx.tblBackFrom;
    vl::TvlTable* to = ctx.tblBackTo;
    const ScratchFolder scratch(work);
    auto closeBoth = [&] {
        for (vl::TvlTable* t : {from, to}) {
            try {
                t->Close();
            } catch (const std::exception&) {
            }
        }
    };
    auto fail = [&] {
        closeBoth();
        from->vlFilter().Clear();
        return CopyResult::Failed;
    };
    for (const BackupTable& t : BackupTables()) {
        try {
            from->Close();
            from->DatabaseName = editor::kTavrinAlias;
            from->SetTableName(t.sourceFile);
            from->vlFilter().Clear();
            from->vlFilter().Add("Application = \"" + application + "\"");
            from->Open();
            from->First();
        } catch (const std::exception&) {
            return fail();
        }
        progress.SetPercent(t.filtered);
        try {
            if (!editor::CreateTableLike(*from, plat::JoinPath(work, t.workName))) return fail();
        } catch (const std::exception&) {
            return fail();
        }
        progress.SetPercent(t.created);
        try {
            to->Close();
            to->DatabaseName = work;
            to->SetTableName(t.workName);
            to->vlFilter().Clear();
            to->Open();
        } catch (const std::exception&) {
            return fail();
        }
        // One engine transaction per work table: the rows go in together
        // instead of one journaled write each. An empty table needs none.
        std::optional<db::TBulkTransaction> transaction;
        if (!from->IsEmpty()) transaction.emplace(*to, db::TBulkTransaction::TakeBack);
        bool copied = t.currentRowOnly ? (from->IsEmpty() || editor::CopyRecordFields(*from, *to))
                                       : editor::CopyAllRecords(*from, *to);
        if (transaction) {
            if (copied)
                copied = transaction->Commit();
            else
                transaction->Rollback();  // before the failure path closes the tables
        }
        if (!copied) return fail();
        closeBoth();
        progress.SetPercent(t.copied);
        progress.ProcessMessages();
        if (progress.CancelRequested()) {
            progress.ClearCancel();
            from->vlFilter().Clear();
            return CopyResult::Cancelled;
        }
        for (const std::string& f : WorkTableFiles(work, t.workName)) {
            files.Add(f);
            if (onCopied) onCopied(f);
        }
    }
    from->vlFilter().Clear();
    return CopyResult::Copied;
}

BackupOutcome BackupProject(editor::EditorContext& ctx, const BackupUi& ui) {
    db::TDataSet* main = ctx.mainTable;
    if (!main->Active() || main->IsEmpty()) return BackupOutcome::NoProject;
    const std::string application = main->FieldStr("Application");
    const std::string dosName = main->FieldStr("DosName");

    BackupDialogState state;
    state.project = application;
    state.folder = BackupStartFolder(main->FieldStr("ProjectDir"), ctx.ProgramDir);
    state.name = dosName + kBackupExtension;
    if (ui.showDialog && !ui.showDialog(state)) return BackupOutcome::Cancelled;
    if (state.name.empty()) return BackupOutcome::Cancelled;

    std::unique_ptr<build::IProgress> progress =
        ui.createProgress ? ui.createProgress() : std::make_unique<build::NullProgress>(&ctx.CancelRequested);
    progress->SetStatus("Creating backup...");
    progress->SetPercent(0);
    progress->Show();
    progress->SetPercent(3);

    // The work folder starts empty: files a failed run left behind must not
    // end up in this archive.
    const std::string work = BackupWorkFolder(ctx.ProgramDir);
    if (!plat::ForceDirectories(work)) {
        editor::ShowWarning("Warning", kBackupFailedText);
        return BackupOutcome::Failed;
    }
    editor::EmptyDirectory(work);
    progress->SetPercent(5);

    // Each table's files are packed while the next table is copied.
    lzh::TLZHBatch batch;
    plat::StringList inputs;
    switch (CopyProjectTables(ctx, application, work, *progress, inputs,
                              [&](const std::string& file) { batch.PackAhead(file); })) {
    case CopyResult::Failed:
        RemoveWorkFolder(work);
        editor::ShowWarning("Warning", kBackupFailedText);
        return BackupOutcome::Failed;
    case CopyResult::Cancelled:
        RemoveWorkFolder(work);
        return BackupOutcome::Cancelled;
    case CopyResult::Copied:
        break;
    }
    auto cancelled = [&] {
        progress->ProcessMessages();
        if (!progress->CancelRequested()) return false;
        progress->ClearCancel();
        return true;
    };

    if (inputs.Count() == 0) {
        RemoveWorkFolder(work);
        editor::ShowWarning("Warning", "Nothing could be archived: the backup's work tables hold no files.");
        return BackupOutcome::Failed;
    }

    batch.SetArchiveFileName(plat::JoinPath(state.folder, state.name));
    batch.SetInputFiles(inputs);
    progress->SetPercent(70);
    progress->SetStatus("Compressing...");
    bool stopped = false;
    batch.OnProgress = [&](lzh::TLZHBatch*, const std::string&, std::int64_t, std::int64_t, std::int64_t,
                           std::int64_t, bool& cancel) {
        if (cancelled()) stopped = cancel = true;
    };
    try {
        batch.CompressFiles();
    } catch (const std::exception& e) {
        RemoveWorkFolder(work);
        editor::ShowWarning("Warning", std::string(kBackupFailedText) + "\r\n" + e.what());
        return BackupOutcome::Failed;
    }
    if (stopped) {
        RemoveWorkFolder(work);
        return BackupOutcome::Cancelled;
    }
    progress->SetPercent(93);
    for (int i = 0; i < inputs.Count(); ++i) plat::DeleteFile(inputs[i]);
    progress->SetPercent(97);
    // A work folder that cannot be removed ends the command quietly; the
    // archive is written.
    RemoveWorkFolder(work);
    return BackupOutcome::Written;
}

}  // namespace backup
