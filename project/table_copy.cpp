#include "project/table_copy.h"

#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace editor {

namespace {

bool CheckActive(db::TDataSet& source, db::TDataSet& destination) {
    for (db::TDataSet* t : {&source, &destination}) {
        if (!t->Active()) {
            gui::ShowMessage("Please make your " + t->Name() + " table active.");
            return false;
        }
    }
    return true;
}

// The half-made record must not stay pending for a later post.
bool PostFailed(db::TDataSet& destination) {
    try {
        destination.Cancel();
    } catch (const std::exception&) {
    }
    gui::ShowMessage("Failed to post.");
    return false;
}

// Assigns every field of the source's record to the destination's field of
// the same index and posts once. The destination must be editing.
bool AssignAndPost(db::TDataSet& source, db::TDataSet& destination) {
    try {
        const int n = source.FieldCount() < destination.FieldCount() ? source.FieldCount() : destination.FieldCount();
        for (int i = 0; i < n; ++i) destination.Fields(i)->SetValue(source.Fields(i)->Value());
        destination.Post();
        return true;
    } catch (const std::exception&) {
        return PostFailed(destination);
    }
}

}  // namespace

bool CreateTableLike(db::TTable& source, const std::string& newName) {
    if (newName.empty()) {
        gui::ShowMessage("No new table name specified.");
        return false;
    }
    if (!source.Active()) source.Open();
    db::TTable table(nullptr);
    const std::string folder = plat::ExtractFileDir(newName);
    table.DatabaseName = folder.empty() ? source.DatabaseName : folder;
    table.SessionName = source.SessionName;
    table.TableName = folder.empty() ? newName : plat::ExtractFileName(newName);
    table.FieldDefs().Assign(source.FieldDefs().List());
    table.IndexDefs().Assign(source.IndexDefs().List());
    table.CreateTable();
    return true;
}

bool CopyRecordFields(db::TDataSet& source, db::TDataSet& destination) {
    if (!CheckActive(source, destination)) return false;
    try {
        if (destination.IsEmpty())
            destination.Append();
        else
            destination.Edit();
    } catch (const std::exception&) {
        gui::ShowMessage("Failed to post.");
        return false;
    }
    return AssignAndPost(source, destination);
}

bool CopyAllRecords(db::TDataSet& source, db::TDataSet& destination) {
    if (!CheckActive(source, destination)) return false;
    // A block of rows is read, then all of it appended: row by row, each
    // insert dropped the source's read-ahead, which the engine then rebuilt
    // by stepping back from the insert.
    constexpr std::size_t kBlockRows = 256;
    const int fields = std::min(source.FieldCount(), destination.FieldCount());
    std::vector<std::vector<db::TValue>> rows;
    try {
        source.First();
    } catch (const std::exception&) {
        return false;
    }
    for (;;) {
        rows.clear();
        try {
            for (; !source.Eof() && rows.size() < kBlockRows; source.Next()) {
                std::vector<db::TValue>& row = rows.emplace_back();
                row.reserve(static_cast<std::size_t>(fields));
                for (int i = 0; i < fields; ++i) row.push_back(source.Fields(i)->Value());
            }
        } catch (const std::exception&) {
            return false;
        }
        if (rows.empty()) return true;
        for (const std::vector<db::TValue>& row : rows) {
            try {
                destination.Append();
                for (int i = 0; i < fields; ++i) destination.Fields(i)->SetValue(row[static_cast<std::size_t>(i)]);
                destination.Post();
            } catch (const std::exception&) {
                return PostFailed(destination);
            }
        }
    }
}

}  // namespace editor
