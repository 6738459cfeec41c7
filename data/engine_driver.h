// The dataset layer's store of tables on the table engine: every operation
// is a database-API call, and a non-zero result is raised as EDBEngineError
// with the engine's own text.
#pragma once

#include "data/data_cursor.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace db {

class TEngineDriver : public TDbDriver {
public:
    // Starts the engine when nobody has yet; stops it again on destruction
    // only if it started it.
    TEngineDriver();
    ~TEngineDriver() override;

    std::unique_ptr<TDataCursor> OpenTable(const std::string& directory, const std::string& tableName,
                                           const std::string& indexName, bool exclusive, bool readOnly) override;
    void CreateTable(const std::string& directory, const std::string& tableName,
                     const std::vector<TFieldDef>& fields, const std::vector<TIndexDef>& indexes) override;
    void DeleteTable(const std::string& directory, const std::string& tableName) override;
    void EmptyTable(const std::string& directory, const std::string& tableName) override;
    void PackTable(const std::string& directory, const std::string& tableName) override;
    bool TableExists(const std::string& directory, const std::string& tableName) override;
    std::unique_ptr<TDataCursor> OpenQuery(const std::string& directory, int language,
                                           const std::string& text) override;
    void AddAlias(const std::string& name, const std::string& path) override;
    void DeleteAlias(const std::string& name) override;
    // The engine resolves aliases itself when a database is opened by name,
    // so none is resolved here.
    bool GetAliasPath(const std::string& name, std::string& path) override;
    std::vector<std::string> AliasNames() override;
    std::uint32_t BeginTransaction(const std::string& directory) override;
    void EndTransaction(const std::string& directory, std::uint32_t transaction, bool commit) override;

private:
    std::uint32_t Database(const std::string& directory);
    void ForgetDatabase(const std::string& name);
    std::map<std::string, std::uint32_t> databases_;
    std::vector<std::uint32_t> retired_;
    bool ownsEngine_ = false;
};

// A dataset cursor over an open engine cursor (a query's answer, say); it
// closes the handle when it goes.
std::unique_ptr<TDataCursor> CreateEngineCursor(std::uint32_t cursor, std::uint32_t database);

// Raises EDBEngineError for a non-zero result.
void Check(std::uint16_t result);

}  // namespace db
