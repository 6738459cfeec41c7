// The session and database handle classes behind the database API. Each
// operation that needs the server builds one request, sends it through the
// session's transport and keeps the reply's result. The session's
// constructor starts its transport (the in-process server) and logs in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/client/base_database.h"
#include "engine/client/base_session.h"
#include "engine/client/client_transport.h"
#include "engine/client/list_cursors.h"

namespace plat {
class Stream;
}

namespace qv {

class TqvDataDictionary;

constexpr DBIResult kDbiErrTranInProgress = 10256;
constexpr DBIResult kDbiErrNeedIndex = 10767;
// The id of a database or transaction the server has not handed out.
constexpr std::uint32_t kNoServerId = 0xFFFFFFFFu;

class TQVClientSession : public TBaseSession, public IListRequestChannel {
public:
    static constexpr const char* kDefaultServerName = "TavrinServer";

    // Never raises: a transport or login failure leaves a non-zero result
    // after a message box.
    TQVClientSession(TBapiListItem* engine, TBapiCollection* sessionList, const char* name, const char* netDir);
    ~TQVClientSession() override;

    DBIResult Request(std::uint32_t messageId, const TqvRequestWriter& request, std::vector<std::uint8_t>* reply,
                      bool requestIsStream = false);
    DBIResult RequestStream(std::uint16_t requestId, const std::string& payload, plat::MemoryStream& reply) override;
    bool Connected() const { return transport_ && transport_->Connected(); }
    IClientTransport* Transport() const { return transport_.get(); }
    const std::string& ServerName() const { return serverName_; }

    DBIResult OpenDatabaseByDesc(const DBDesc& desc, const char* dbType, std::uint32_t openMode,
                                 std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                 const void* optDescs, const void* optParams, hDBIDb& database) override;
    DBIResult OpenDatabase(const char* name, const char* dbType, std::uint32_t openMode, std::uint32_t shareMode,
                           const char* password, std::uint16_t optCount, const void* optDescs,
                           const void* optParams, hDBIDb& database) override;
    DBIResult OpenDatabaseList(hDBICur& cursor) override;
    DBIResult CloseDatabase(hDBIDb& database) override;
    DBIResult GetLdObj(hDBICur cursor, void*& ldObj) override;
    DBIResult AddAlias(hDBICfg config, const char* alias, const char* driverType, const char* params,
                       bool persist) override;
    // Deletes the alias on the server and forgets this session's descriptor
    // of it, so the name opens nothing afterwards.
    DBIResult DeleteAlias(hDBICfg config, const char* alias) override;

private:
    std::unique_ptr<IClientTransport> transport_;
    std::string serverName_;
};

class TQVClientDatabase : public TBaseDatabase, public IListRequestChannel {
public:
    TQVClientDatabase(TQVClientSession* session, const DBDesc& desc, std::uint32_t openMode,
                      std::uint32_t shareMode, const char* password, std::uint16_t optCount, const void* optDescs,
                      const void* optParams);
    ~TQVClientDatabase() override;

    DBIResult Request(std::uint32_t messageId, const TqvRequestWriter& request, std::vector<std::uint8_t>* reply,
                      bool requestIsStream = false);
    DBIResult RequestStream(std::uint16_t requestId, const std::string& payload, plat::MemoryStream& reply) override;
    TQVClientSession* ClientSession() const;
    std::uint32_t DatabaseId() const { return databaseId_; }
    void SetDatabaseId(std::uint32_t id) { databaseId_ = id; }
    std::uint32_t TransactionId() const { return transactionId_; }

    DBIResult SetDirectory(const char* dir) override;
    DBIResult OpenTable(const char* tableName, const char* driverType, const char* indexName,
                        const char* indexTagName, std::uint16_t indexId, std::uint32_t openMode,
                        std::uint32_t shareMode, std::uint32_t xltMode, bool uniDirectional, const void* optParams,
                        hDBICur& cursor) override;
    DBIResult OpenTableList(const char* wildcard, bool extended, bool system, hDBICur& cursor) override;
    DBIResult OpenFieldList(const char* tableName, const char* driverType, bool physicalTypes,
                            hDBICur& cursor) override;
    DBIResult OpenIndexList(const char* tableName, const char* driverType, hDBICur& cursor) override;
    DBIResult OpenVchkList(const char* tableName, const char* driverType, hDBICur& cursor) override;
    DBIResult EmptyTable(hDBICur cursor, const char* tableName, const char* driverType) override;
    // `tableDesc` is a CRTblDesc.
    DBIResult CreateTable(bool overwrite, const void* tableDesc) override;
    DBIResult RenameTable(const char* oldName, const char* driverType, const char* newName) override;
    DBIResult DeleteTable(const char* tableName, const char* driverType) override;
    DBIResult DeleteIndex(hDBICur cursor, const char* tableName, const char* driverType, const char* indexName,
                          const char* tagName, std::uint16_t indexId) override;
    DBIResult PackTable(hDBICur cursor, const char* tableName, const char* driverType, bool regenIndexes) override;
    // `tableDesc` is one CRTblDesc; `analyzeOnly` is refused.
    DBIResult DoRestructure(std::uint16_t descCount, const void* tableDesc, const char* saveAs,
                            const char* keyViolName, const char* problemsName, bool analyzeOnly) override;
    DBIResult BeginTran(std::uint32_t isolation, std::uint32_t& transaction) override;
    DBIResult EndTran(std::uint32_t transaction, std::uint32_t endMode) override;

    // The table's dictionary: a cursor's copy when one is open (unless
    // `refetch`), else the server's.
    DBIResult GetTableDictionary(const char* tableName, plat::Stream& stream, bool refetch);
    // Builds a table on the server from a dictionary.
    DBIResult ClientBuildTable(bool overwrite, const TqvDataDictionary& dictionary, const std::string& tableName);

    // Polls the rebuild's status until it has finished; its result code.
    DBIResult WaitForRebuild(std::uint32_t rebuildId);

private:
    DBIResult StartRebuild(std::uint32_t messageId, const TqvRequestWriter& request, bool isStream);

    std::uint32_t databaseId_ = kNoServerId;
    std::uint32_t transactionId_ = kNoServerId;
    // The session it was opened in, which outlives it: asked for on every request.
    TQVClientSession* session_;
    // Every transaction this database starts is journaled, so a crash in
    // the middle of its commit leaves the tables as before or as after it.
    std::uint8_t failSafe_ = 1;
};

// The dictionary a CRTblDesc describes (fields and indexes).
DBIResult DictionaryFromTableDesc(const CRTblDesc& td, TqvDataDictionary& dict);

// A table name without its folder and extension, as the server wants it.
std::string QvExtractTableName(const char* name);

}  // namespace qv
