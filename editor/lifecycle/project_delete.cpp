#include "editor/lifecycle/project_delete.h"

#include "project/helpers.h"
#include "project/project_tables.h"
#include "editor/lifecycle/project_wizard.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace editor {

namespace fs = std::filesystem;

namespace {

// Deletes every row of the table whose field (any of `fields`) holds the
// project's name; the table is opened once.
std::unique_ptr<vl::TvlTable> DeleteAllRows(const std::string& file, std::initializer_list<const char*> fields,
                                            const std::string& value) {
    if (LifecycleSeams().beforeRowDelete) LifecycleSeams().beforeRowDelete(file);
    auto t = std::make_unique<vl::TvlTable>(nullptr);
    t->DatabaseName = kTavrinAlias;
    t->SetTableName(file);
    t->Open();
    t->First();
    while (!t->Eof()) {
        bool match = false;
        for (const char* f : fields) match = match || t->FieldStr(f) == value;
        if (match)
            t->Delete();
        else
            t->Next();
    }
    return t;
}

std::string Lower(const std::string& s) { return plat::AnsiLowerCase(s); }

bool Ask(const std::string& text) {
    return gui::MessageDlg(text, gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo})) == gui::mrYes;
}

// Whether a folder may be emptied: it exists, no other project names it and
// it holds neither the program directory nor a folder above it.
bool MayEmpty(const std::string& field, const std::string& stored, const std::string& project,
              const std::string& programDir, std::string& canonical) {
    if (stored.empty()) return false;
    canonical = CanonicalFolder(stored, programDir);
    std::error_code ec;
    if (canonical.empty() || !fs::is_directory(canonical, ec)) return false;
    if (IsProgramFolderOrAbove(canonical, programDir)) return false;
    return !FolderUsedByAnotherProject(field, canonical, project, programDir);
}

}  // namespace

std::string CanonicalFolder(const std::string& stored, const std::string& programDir) {
    const std::string resolved = ProjectFolder(stored, programDir);
    if (resolved.empty()) return {};
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(plat::NativePath(resolved)), ec);
    if (ec) p = fs::path(plat::NativePath(resolved)).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool IsProgramFolderOrAbove(const std::string& folder, const std::string& programDir) {
    const std::string prog = Lower(CanonicalFolder(programDir, programDir));
    const std::string f = Lower(folder);
    if (f.empty() || prog.empty()) return true;  // when in doubt, delete nothing
    const fs::path rel = fs::path(prog).lexically_relative(fs::path(f));
    if (rel.empty()) return false;
    return *rel.begin() != "..";
}

bool FolderUsedByAnotherProject(const std::string& field, const std::string& canonical, const std::string& project,
                                const std::string& programDir) {
    auto t = std::make_unique<vl::TvlTable>(nullptr);
    t->DatabaseName = kTavrinAlias;
    t->SetTableName(kMainTableFile);
    t->Open();
    for (t->First(); !t->Eof(); t->Next()) {
        if (plat::CompareAnsi(t->FieldStr("Application"), project, true) == 0) continue;
        const std::string other = t->FieldStr(field);
        if (other.empty()) continue;
        if (Lower(CanonicalFolder(other, programDir)) == Lower(canonical)) return true;
    }
    return false;
}

bool DeleteProject(EditorContext& ctx, const std::function<void(const std::string&)>& progress) {
    vl::TvlTable* main = ctx.mainTable;
    if (!main->Active() || main->IsEmpty()) return false;
    for (vl::TvlTable* t : {main, ctx.detailTable})
        if (t->IsEditing()) t->Post();
    const std::string name = main->FieldStr("Application");
    if (!Ask("WARNING! This will permanently delete this Help Project. Are you sure you want to delete " + name + "?"))
        return false;
    const std::string graphicsDir = main->FieldStr("GraphicsDir");
    const std::string projectDir = main->FieldStr("ProjectDir");
    const std::string dosName = main->FieldStr("DosName");

    // The rows first, all or none.
    if (progress) progress("Deleting...");
    {
        db::TDatabase database(nullptr);
        database.DatabaseName = "TavrinDeleteProject";
        database.AliasName = kTavrinAlias;
        try {
            database.Open();
            db::TBulkTransaction transaction(database, db::TBulkTransaction::TakeBack);
            if (!transaction.Own()) throw std::runtime_error("the tables are in another transaction");
            // Each table stays open until the commit: the engine has been seen
            // to lose an inheritance-table delete whose cursor closed inside
            // the transaction.
            std::vector<std::unique_ptr<vl::TvlTable>> open;
            open.push_back(DeleteAllRows(kFontTableFile, {"Application"}, name));
            open.push_back(DeleteAllRows(kInhTableFile, {"Application", "InheritedApplication"}, name));
            open.push_back(DeleteAllRows(kItemTableFile, {"Application"}, name));
            open.push_back(DeleteAllRows(kRefiTableFile, {"Application"}, name));
            open.push_back(DeleteAllRows(kCntTableFile, {"Application"}, name));
            open.push_back(DeleteAllRows(kMainTableFile, {"Application"}, name));
            if (!transaction.Commit()) throw std::runtime_error("the deletes could not be saved");
        } catch (const std::exception&) {
            if (progress) progress("");
            for (vl::TvlTable* t : ctx.StartupTables())
                try {
                    if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
                } catch (const std::exception&) {
                }
            ShowWarning("Warning", kDeleteFailedText);
            return false;
        }
    }
    if (ctx.tblInh->Active()) ctx.tblInh->Refresh();
    if (progress) progress("");
    for (vl::TvlTable* t : ctx.StartupTables())
        try {
            if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
        } catch (const std::exception&) {
        }

    // Then the files, each failure ignored.
    std::string folder;
    if (MayEmpty("GraphicsDir", graphicsDir, name, ctx.ProgramDir, folder)) {
        const std::string shown = ProjectFolder(graphicsDir, ctx.ProgramDir);
        if (Ask("Do you wish to delete all Graphic files from " + shown + "?")) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(folder, ec))
                if (!e.is_directory(ec)) fs::remove(e.path(), ec);
            fs::remove(folder, ec);
        }
    }
    if (MayEmpty("ProjectDir", projectDir, name, ctx.ProgramDir, folder) && !dosName.empty()) {
        std::error_code ec;
        for (const char* ext : {".gid", ".hlp", ".rtf", ".err", ".doc", ".cnt", ".hpj"}) {
            const std::string file = plat::NativePath(folder + "/" + dosName + ext);
            if (fs::is_regular_file(file, ec)) fs::remove(file, ec);
        }
        fs::remove(plat::NativePath(folder + "/backups"), ec);
        fs::remove(folder, ec);
    }
    return true;
}

}  // namespace editor
