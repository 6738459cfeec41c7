// The project backup: copies one project's rows of the project, page,
// jump-reference and contents tables into fresh work tables, then packs the
// files the engine wrote for them into one archive with the batch archiver.
// The work folder (~backdir.tmp in the program directory) is emptied first,
// so nothing a failed run left ends up in the archive, and removed after.
// Each work table is filled in one engine transaction; the work folder is
// scratch to the engine (no syncs), and each table's files are compressed
// in the background while the next table is copied. A failed copy or archive shows the warning and leaves no
// archive.
// The dialog and the progress window come through BackupUi, so the command
// runs headless in tests.
#pragma once

#include "project/progress.h"
#include "project/editor_context.h"
#include "platform/core/string_list.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace backup {

inline constexpr const char* kBackupExtension = ".KQB";
inline constexpr const char* kBackupFailedText = "The backups have failed. Please check disk space or access rights.";

// What the backup dialog shows and answers.
struct BackupDialogState {
    std::string project;  // fldProject
    std::string folder;   // the folder chosen in the directory list
    std::string name;     // fldBackupTo
};

struct BackupUi {
    // Shows the dialog on the state; true when it closed with OK, the chosen
    // folder and name then in the state. None: OK with the state as given.
    std::function<bool(BackupDialogState& state)> showDialog;
    // The progress window; none: a NullProgress.
    std::function<std::unique_ptr<build::IProgress>()> createProgress;
};

enum class BackupOutcome {
    NoProject,  // the project table has no current row
    Cancelled,  // the dialog was cancelled, or the run stopped on request
    Failed,     // a warning was shown; no archive was written
    Written,    // the archive is in place
};

// The folder the dialog starts in: the project folder's "backups" folder
// when it exists, else the program directory's, else the program directory.
std::string BackupStartFolder(const std::string& storedProjectDir, const std::string& programDir);
// The work folder of a run: program directory + "~backdir.tmp".
std::string BackupWorkFolder(const std::string& programDir);

// The dialog's OK: false (the dialog stays) after "No Backup name" when the
// name is empty, or when an existing target is not to be overwritten.
bool BackupTargetAccepted(const std::string& folder, const std::string& name);

// One work table: the table file it copies, the work table's name, and the
// meter after filtering, creating and copying.
struct BackupTable {
    const char* sourceFile;
    const char* workName;
    bool currentRowOnly;
    int filtered, created, copied;
};
const std::vector<BackupTable>& BackupTables();

// The files the engine wrote for a work table in the folder: its base name
// with any extension, in any letter case, each non-empty.
std::vector<std::string> WorkTableFiles(const std::string& folder, const std::string& workName);

// The copy phase: for each table of BackupTables, the project's rows into a
// work table of the same structure in `work` (which must exist), and the
// files the engine wrote for it added to `files`. Failed: a table could not
// be opened, created or copied (no warning shown here). `onCopied`, when
// given, is told each file as soon as its table is copied and closed.
enum class CopyResult { Copied, Failed, Cancelled };
CopyResult CopyProjectTables(editor::EditorContext& ctx, const std::string& application, const std::string& work,
                             build::IProgress& progress, plat::StringList& files,
                             const std::function<void(const std::string& file)>& onCopied = {});

// The command File | "&Backups && Restores" on the current project row.
BackupOutcome BackupProject(editor::EditorContext& ctx, const BackupUi& ui);

}  // namespace backup
