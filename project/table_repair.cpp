#include "project/table_repair.h"

#include "data/db_errors.h"
#include "data/tables.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "project/project_tables.h"

namespace editor {

namespace {

// Every record through each index; the first pass reads the BLOBs too.
void ReadWhole(db::TDataCursor& c) {
    std::vector<std::string> orders = {""};
    for (const db::TIndexDef& x : c.IndexDefs())
        if (!x.Name.empty()) orders.push_back(x.Name);
    db::TRecord record;
    for (std::size_t i = 0; i < orders.size(); ++i) {
        c.SetDeferBlobs(i > 0);
        c.SwitchToIndex(orders[i]);
        c.SetToBegin();
        while (c.GetNext(record)) {
        }
    }
}

std::string EngineWords(const db::EDBEngineError& e) {
    std::string why = e.what();
    // The cursor's text already names the table; the reason is what
    // follows, up to the advice.
    const std::string marker = " is damaged: ";
    if (const std::size_t at = why.find(marker); at != std::string::npos) {
        why.erase(0, at + marker.size());
        if (const std::size_t stop = why.find(". "); stop != std::string::npos) why.erase(stop);
    }
    while (!why.empty() && why.back() == '.') why.pop_back();
    return why;
}

}  // namespace

std::optional<DamagedTable> FindDamagedTable(const std::string& folder) {
    db::TDbDriver& driver = db::Session().Driver();
    const std::string dir = plat::IncludeTrailingBackslash(folder);
    for (const TableSchema& schema : ProjectTableSchemas()) {
        const std::string& file = schema.fileName;
        if (!plat::FileExists(plat::JoinPath(folder, file))) continue;
        bool opened = false;
        try {
            std::unique_ptr<db::TDataCursor> c = driver.OpenTable(dir, file, "", false, true);
            opened = true;
            ReadWhole(*c);
        } catch (const db::EDBEngineError& e) {
            if (db::IsDamagedTableError(e.ErrorCode())) return DamagedTable{file, EngineWords(e), opened};
        }
    }
    return std::nullopt;
}

std::string DamagedCopyName(const std::string& folder, const std::string& file) {
    const std::string ext = plat::ExtractFileExt(file);
    const std::string stem = file.substr(0, file.size() - ext.size());
    for (int n = 1;; ++n) {
        const std::string name = stem + "-damaged" + (n > 1 ? "-" + std::to_string(n) : "") + ext;
        if (!plat::FileExists(plat::JoinPath(folder, name))) return name;
    }
}

TableRepair RepairTable(const std::string& folder, const std::string& file) {
    TableRepair result;
    result.copy = DamagedCopyName(folder, file);
    const std::string copy = plat::JoinPath(folder, result.copy);
    if (!plat::CopyFile(plat::JoinPath(folder, file), copy, true))
        db::DatabaseError("The damaged table " + file + " could not be copied to " + plat::DisplayPath(copy) +
                          "; it was not rebuilt");
    const std::string dir = plat::IncludeTrailingBackslash(folder);
    try {
        db::Session().Driver().PackTable(dir, file);
    } catch (...) {
        plat::DeleteFile(copy);
        throw;
    }
    std::unique_ptr<db::TDataCursor> c = db::Session().Driver().OpenTable(dir, file, "", false, true);
    result.rows = c->RecordCount();
    return result;
}

}  // namespace editor
