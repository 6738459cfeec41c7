// What an import makes outside the project tables, written down before it is
// made. An import posts the project row, its pages and its contents rows in
// one transaction, after its files are in place; a program killed before the
// commit leaves those files and folders without a row. The journal names
// them, so the next start takes them away, together with the converter's
// leftover temporary folder, and the author never meets a project that looks
// whole but is not.
#pragma once

#include <string>
#include <vector>

namespace editor {

class EditorContext;

// The import's temporary folder in the program folder.
inline constexpr const char* kImportTempFolderName = "~KqTemp";

struct ImportJournal {
    std::string project;               // the project row the import posts
    std::vector<std::string> folders;  // folders it makes (none existed before)
    std::vector<std::string> files;    // files it writes into folders that did exist
};

// Writes the journal to the disk (synced) before anything in it is made.
bool BeginImportJournal(const std::string& programDir, const ImportJournal& journal);
// After the commit, or after a failure took everything back.
void EndImportJournal(const std::string& programDir);
// Reads the journal; false when there is none or it cannot be read whole.
bool ReadImportJournal(const std::string& programDir, ImportJournal& journal);

// Start-up (the tables open): removes the temporary folder, and when the
// journal's project has no row, the folders and files the import made.
void ClearInterruptedImport(EditorContext& ctx);

}  // namespace editor
