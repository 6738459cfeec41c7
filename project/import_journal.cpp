#include "project/import_journal.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"
#include "project/editor_context.h"

namespace editor {
namespace {

namespace fs = std::filesystem;

fs::path Native(const std::string& path) { return fs::path(plat::NativePath(path)); }

fs::path JournalPath(const std::string& programDir) { return Native(programDir) / "~KqImport.lst"; }


}  // namespace

// One entry a line: "P name", "D folder", "F file", then "E" so that a
// journal cut short by a kill while it was written is known as such.
bool BeginImportJournal(const std::string& programDir, const ImportJournal& journal) {
    const fs::path path = JournalPath(programDir);
    std::ostringstream out;
    out << "P " << journal.project << "\n";
    for (const std::string& d : journal.folders) out << "D " << d << "\n";
    for (const std::string& f : journal.files) out << "F " << f << "\n";
    out << "E\n";
    return plat::WriteFileSafely(path.string(), out.str(), plat::PathText::Native);
}

void EndImportJournal(const std::string& programDir) {
    std::error_code ec;
    fs::remove(JournalPath(programDir), ec);
}

bool ReadImportJournal(const std::string& programDir, ImportJournal& journal) {
    std::ifstream in(JournalPath(programDir), std::ios::binary);
    if (!in) return false;
    ImportJournal j;
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "E") {
            ended = true;
            break;
        }
        if (line.size() < 2 || line[1] != ' ') return false;
        const std::string value = line.substr(2);
        switch (line[0]) {
            case 'P': j.project = value; break;
            case 'D': j.folders.push_back(value); break;
            case 'F': j.files.push_back(value); break;
            default: return false;
        }
    }
    if (!ended || j.project.empty()) return false;
    journal = std::move(j);
    return true;
}

void ClearInterruptedImport(EditorContext& ctx) {
    std::error_code ec;
    fs::remove_all(Native(ctx.ProgramDir) / kImportTempFolderName, ec);
    ImportJournal j;
    // The journal is renamed into place whole, so an unreadable one was
    // never begun on: nothing of it was made.
    if (ReadImportJournal(ctx.ProgramDir, j)) {
        bool hasRow = false;
        vl::TvlTable& main = *ctx.mainTable;
        for (main.First(); !main.Eof() && !hasRow; main.Next())
            hasRow = main.FieldByName("Application")->AsString() == j.project;
        main.First();
        if (!hasRow) {
            for (const std::string& f : j.files) fs::remove(Native(f), ec);
            for (auto it = j.folders.rbegin(); it != j.folders.rend(); ++it) fs::remove_all(Native(*it), ec);
        }
    }
    EndImportJournal(ctx.ProgramDir);
    fs::remove(plat::SafeFileTempPath(JournalPath(ctx.ProgramDir).string()), ec);
}

}  // namespace editor
