// A cursor for the session and database tests: it serves fixed rows, counts
// the calls made on it and can be told to fail.
#pragma once

#include <string>
#include <vector>

#include "engine/client/base_database.h"
#include "engine/client/base_session.h"
#include "engine/client/cursor_link.h"

namespace qv::testing {

struct CursorLog {
    int opens = 0;
    int closes = 0;
    int destroyed = 0;
    int emptied = 0;
    int indexesAdded = 0;
    int indexesDeleted = 0;
    std::string lastIndexName;
};

class FakeCursor : public TBapiListItem, public ICursorHandle {
public:
    FakeCursor(TBapiListItem* parent, TBapiCollection* list, std::string tableName, std::string fullName,
               CursorLog* log = nullptr);
    ~FakeCursor() override;

    std::string TableName() const override { return tableName_; }
    std::string FullName() const override { return fullName_; }
    std::uint32_t RecordSize() const override { return recordSize; }
    DBIResult Open() override;
    DBIResult CloseCursor() override;
    DBIResult GetNextRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult EmptyTable() override;
    DBIResult AddIndex(const void* indexDesc, const char* keyViolName) override;
    DBIResult DeleteIndex(const char* indexName, const char* tagName, std::uint16_t indexId) override;

    std::vector<std::vector<unsigned char>> rows;
    std::uint32_t recordSize = 0;
    DBIResult openResult = 0;
    DBIResult operationResult = 0;

private:
    std::string tableName_;
    std::string fullName_;
    CursorLog* log_;
    std::size_t next_ = 0;
};

// A row of a table list: the name at offset 0 of a 574-byte record.
std::vector<unsigned char> TableListRow(const std::string& name);
// A row of a database list: a 357-byte database descriptor.
std::vector<unsigned char> DatabaseListRow(const std::string& name, const std::string& path);

// A database whose table and list calls make fake cursors.
class FakeDatabase : public TBaseDatabase {
public:
    using TBaseDatabase::TBaseDatabase;
    DBIResult OpenTable(const char* tableName, const char* driverType, const char* indexName,
                        const char* indexTagName, std::uint16_t indexId, std::uint32_t openMode,
                        std::uint32_t shareMode, std::uint32_t xltMode, bool uniDirectional, const void* optParams,
                        hDBICur& cursor) override;
    DBIResult OpenTableList(const char* wildcard, bool extended, bool system, hDBICur& cursor) override;
    DBIResult OpenFieldList(const char* tableName, const char* driverType, bool physicalTypes,
                            hDBICur& cursor) override;

    std::vector<std::string> tables;
    DBIResult openTableResult = 0;
    // What the cursors opened by OpenTable answer their operations with.
    DBIResult cursorOperationResult = 0;
    CursorLog log;
    std::uint32_t lastShareMode = 99;
    std::uint16_t lastIndexId = 0;
    bool lastSystemFlag = false;
};

// A session whose database list serves fixed aliases and whose databases
// are fake databases.
class FakeSession : public TBaseSession {
public:
    using TBaseSession::TBaseSession;
    DBIResult OpenDatabaseList(hDBICur& cursor) override;
    DBIResult OpenDatabaseByDesc(const DBDesc& desc, const char* dbType, std::uint32_t openMode,
                                 std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                 const void* optDescs, const void* optParams, hDBIDb& database) override;

    std::vector<std::pair<std::string, std::string>> aliases;
    int databaseListOpens = 0;
    CursorLog listLog;
};

}  // namespace qv::testing
