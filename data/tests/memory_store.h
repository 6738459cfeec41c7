// Test double: an in-memory store of tables behind the dataset layer's cursor
// seam, so the dataset classes can be tested without the table engine. It
// keeps rows ordered by the chosen index, enforces unique keys, and can be
// told to fail the next write.
#pragma once

#include "data/data_cursor.h"
#include "data/db_errors.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace dbtest {

struct MemTable {
    std::vector<db::TFieldDef> fields;
    std::vector<db::TIndexDef> indexes;
    std::map<std::uint32_t, db::TRecord> rows;
    std::uint32_t nextId = 1;
    std::int64_t nextAutoInc = 1;
    int openCount = 0;
    bool openExclusive = false;
    // Fault injection: the next insert or modify raises this code.
    std::uint16_t failNextWrite = 0;
    // What the cursors read: records (each move or positioning that reads
    // one) and BLOB values handed out.
    int recordReads = 0;
    int blobReads = 0;
};

class MemoryDriver : public db::TDbDriver {
public:
    std::unique_ptr<db::TDataCursor> OpenTable(const std::string& directory, const std::string& tableName,
                                               const std::string& indexName, bool exclusive, bool readOnly) override;
    void CreateTable(const std::string& directory, const std::string& tableName,
                     const std::vector<db::TFieldDef>& fields, const std::vector<db::TIndexDef>& indexes) override;
    void DeleteTable(const std::string& directory, const std::string& tableName) override;
    void EmptyTable(const std::string& directory, const std::string& tableName) override;
    bool TableExists(const std::string& directory, const std::string& tableName) override;
    std::unique_ptr<db::TDataCursor> OpenQuery(const std::string&, int, const std::string&) override;
    void AddAlias(const std::string& name, const std::string& path) override;
    void DeleteAlias(const std::string& name) override;
    bool GetAliasPath(const std::string& name, std::string& path) override;
    std::vector<std::string> AliasNames() override;

    std::shared_ptr<MemTable> Table(const std::string& directory, const std::string& tableName);

private:
    std::string Key(const std::string& directory, const std::string& tableName) const;
    std::map<std::string, std::shared_ptr<MemTable>> tables_;
    std::map<std::string, std::pair<std::string, std::string>> aliases_;  // upper name -> (name, path)
};

}  // namespace dbtest
