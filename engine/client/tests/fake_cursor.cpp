#include "engine/client/tests/fake_cursor.h"

#include <cstring>

#include "engine/api/dbi_types.h"

namespace qv::testing {

FakeCursor::FakeCursor(TBapiListItem* parent, TBapiCollection* list, std::string tableName, std::string fullName,
                       CursorLog* log)
    : TBapiListItem(parent, list), tableName_(std::move(tableName)), fullName_(std::move(fullName)), log_(log) {}

FakeCursor::~FakeCursor() {
    if (log_ != nullptr) ++log_->destroyed;
}

DBIResult FakeCursor::Open() {
    if (log_ != nullptr) ++log_->opens;
    return openResult;
}

DBIResult FakeCursor::CloseCursor() {
    if (log_ != nullptr) ++log_->closes;
    return 0;
}

DBIResult FakeCursor::GetNextRecord(std::uint32_t, void* record, void*) {
    if (next_ >= rows.size()) return kDbiErrEof;
    const auto& row = rows[next_++];
    std::memcpy(record, row.data(), row.size());
    return 0;
}

DBIResult FakeCursor::EmptyTable() {
    if (log_ != nullptr) ++log_->emptied;
    return operationResult;
}

DBIResult FakeCursor::AddIndex(const void* indexDesc, const char*) {
    if (log_ != nullptr) {
        ++log_->indexesAdded;
        log_->lastIndexName = IDXDesc::Read(indexDesc).name;
    }
    return operationResult;
}

DBIResult FakeCursor::DeleteIndex(const char* indexName, const char*, std::uint16_t) {
    if (log_ != nullptr) {
        ++log_->indexesDeleted;
        log_->lastIndexName = indexName != nullptr ? indexName : "";
    }
    return operationResult;
}

std::vector<unsigned char> TableListRow(const std::string& name) {
    std::vector<unsigned char> row(574, 0);
    std::memcpy(row.data(), name.data(), name.size());
    return row;
}

std::vector<unsigned char> DatabaseListRow(const std::string& name, const std::string& path) {
    std::vector<unsigned char> row(DBDesc::kSize);
    DBDesc d;
    d.name = name;
    d.description = "alias " + name;
    d.physicalPath = path;
    d.dbType = "QV";
    d.Write(row.data());
    return row;
}

DBIResult FakeDatabase::OpenTable(const char* tableName, const char*, const char*, const char*,
                                  std::uint16_t indexId, std::uint32_t, std::uint32_t shareMode, std::uint32_t,
                                  bool, const void*, hDBICur& cursor) {
    lastShareMode = shareMode;
    lastIndexId = indexId;
    cursor = kNilHandle;
    auto* c = new FakeCursor(this, &Cursors(), tableName != nullptr ? tableName : "", "C:\\DATA\\X.QVD", &log);
    c->operationResult = cursorOperationResult;
    if (openTableResult != 0) {
        // The open failed, yet the handle is handed back for the caller to free.
        cursor = c->Handle();
        return openTableResult;
    }
    cursor = c->Handle();
    return 0;
}

DBIResult FakeDatabase::OpenTableList(const char*, bool, bool system, hDBICur& cursor) {
    lastSystemFlag = system;
    auto* c = new FakeCursor(this, &Cursors(), "", "", &log);
    c->recordSize = 574;
    for (const auto& t : tables) c->rows.push_back(TableListRow(t));
    cursor = c->Handle();
    return 0;
}

DBIResult FakeDatabase::OpenFieldList(const char*, const char*, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    return kDbiErrNotSupported;
}

DBIResult FakeSession::OpenDatabaseList(hDBICur& cursor) {
    ++databaseListOpens;
    auto* c = new FakeCursor(this, &FurtherList(), "", "", &listLog);
    c->recordSize = DBDesc::kSize;
    for (const auto& [name, path] : aliases) c->rows.push_back(DatabaseListRow(name, path));
    cursor = c->Handle();
    return 0;
}

DBIResult FakeSession::OpenDatabaseByDesc(const DBDesc& desc, const char*, std::uint32_t openMode,
                                          std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                          const void* optDescs, const void* optParams, hDBIDb& database) {
    auto* db = new FakeDatabase(this, &desc, openMode, shareMode, password, optCount, optDescs, optParams);
    database = db->Handle();
    return 0;
}

}  // namespace qv::testing
