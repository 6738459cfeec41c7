// The base of every database handle. Its virtual operations are the
// database-level calls of the database API; the base carries what needs no
// server and reports the rest as not supported. The client database
// overrides the operations that need the server.
#pragma once

#include <cstdint>
#include <string>

#include "engine/api/dbi_types.h"
#include "engine/client/handle_base.h"

namespace qv {

class TBaseSession;

class TBaseDatabase : public TBapiListItem {
public:
    static constexpr int kTranInfoSize = 10;
    static constexpr std::size_t kMaxUserName = 31;
    static constexpr std::size_t kMaxPassword = 32;

    // Enters the database into the session's database list. `desc` and
    // `password` may be nil; the optional parameters are `optCount`
    // consecutive FLDDesc records with their values in `optParams`.
    TBaseDatabase(TBaseSession* session, const DBDesc* desc, std::uint32_t openMode, std::uint32_t shareMode,
                  const char* password, std::uint16_t optCount, const void* optDescs, const void* optParams);
    // Frees every cursor still open, then runs CloseHook. A class with its
    // own hook calls it from its own destructor: by the time this one runs
    // the object is a TBaseDatabase again.
    ~TBaseDatabase() override;

    DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) override;
    DBIResult CheckProp(std::uint32_t property, std::uint32_t value) override;
    virtual std::string GetDbTypeName();
    virtual bool IsSQLBased();
    virtual void SetOptParams(std::uint16_t count, const void* descs, const void* values);
    virtual DBIResult SetDirectory(const char* dir);
    // `buffer` holds 261 bytes.
    virtual DBIResult GetDirectory(char* buffer);
    virtual DBIResult FormFullName(const char* tableName, const char* driverType, char* fullName);
    virtual DBIResult OpenTable(const char* tableName, const char* driverType, const char* indexName,
                                const char* indexTagName, std::uint16_t indexId, std::uint32_t openMode,
                                std::uint32_t shareMode, std::uint32_t xltMode, bool uniDirectional,
                                const void* optParams, hDBICur& cursor) = 0;
    virtual DBIResult OpenTableList(const char* wildcard, bool extended, bool system, hDBICur& cursor) = 0;
    virtual DBIResult OpenFieldList(const char* tableName, const char* driverType, bool physicalTypes,
                                    hDBICur& cursor) = 0;
    virtual DBIResult OpenFileList(const char* wildcard, hDBICur& cursor);
    virtual DBIResult OpenEmptyList(hDBICur& cursor);
    virtual DBIResult OpenIndexList(const char* tableName, const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenLockList(hDBICur tableCursor, bool allUsers, bool allLockTypes, hDBICur& cursor);
    virtual DBIResult OpenVchkList(const char* tableName, const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenRintList(const char* tableName, const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenSecurityList(const char* tableName, const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenFamilyList(const char* tableName, const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenSPList(bool extended, bool system, const char* qualifier, hDBICur& cursor);
    virtual DBIResult OpenSPParamList(const char* procName, bool physicalTypes, std::uint16_t overload,
                                      hDBICur& cursor);
    virtual DBIResult OpenFunctionList(std::uint32_t options, hDBICur& cursor);
    virtual DBIResult OpenFunctionArgList(const char* funcName, std::uint16_t overload, hDBICur& cursor);
    virtual DBIResult TableExists(const char* name, bool& found);
    virtual DBIResult CountOpenCursors(const char* name, std::uint16_t& count);
    virtual DBIResult FindOpenCursorByName(const char* name, TBapiListItem*& cursor);
    virtual DBIResult EmptyTable(hDBICur cursor, const char* tableName, const char* driverType);
    virtual DBIResult PackTable(hDBICur cursor, const char* tableName, const char* driverType, bool regenIndexes);
    virtual DBIResult ReindexTable(hDBICur cursor, const char* tableName, const char* driverType);
    virtual DBIResult SortTable(const char* tableName, const char* driverType, hDBICur cursor);
    virtual DBIResult CreateTable(bool overwrite, const void* tableDesc);
    virtual DBIResult CreateInMemoryTable(const char* name, std::uint16_t fieldCount, const void* fieldDescs,
                                          hDBICur& cursor);
    virtual DBIResult CreateTempTable(const void* tableDesc, hDBICur& cursor);
    virtual DBIResult DoRestructure(std::uint16_t descCount, const void* tableDesc, const char* saveAs,
                                    const char* keyViolName, const char* problemsName, bool analyzeOnly);
    virtual DBIResult RenameTable(const char* oldName, const char* driverType, const char* newName);
    virtual DBIResult DeleteTable(const char* tableName, const char* driverType);
    virtual DBIResult AddIndex(hDBICur cursor, const char* tableName, const char* driverType, const void* indexDesc,
                               const char* keyViolName);
    virtual DBIResult DeleteIndex(hDBICur cursor, const char* tableName, const char* driverType,
                                  const char* indexName, const char* tagName, std::uint16_t indexId);
    virtual DBIResult BeginTran(std::uint32_t isolation, std::uint32_t& transaction);
    virtual DBIResult EndTran(std::uint32_t transaction, std::uint32_t endMode);
    // `info` receives kTranInfoSize bytes.
    virtual DBIResult GetTranInfo(std::uint32_t transaction, void* info);
    virtual DBIResult CopyTable(bool overwrite, const char* srcName, const char* driverType, const char* destName);
    virtual DBIResult Login(const char* userName, const char* password);
    virtual DBIResult CloseHook();
    virtual DBIResult AcqPersistTableLock(const char* tableName, const char* driverType);
    virtual DBIResult RelPersistTableLock(const char* tableName, const char* driverType);
    virtual DBIResult QExecDirect(std::uint32_t language, const char* query, hDBICur& cursor);
    virtual DBIResult QAlloc(std::uint32_t language, hDBIStmt& statement);
    virtual DBIResult QPrepare(hDBIStmt statement, const char* query);
    virtual DBIResult QPrepareExt(std::uint32_t language, const char* query, std::uint16_t props,
                                  hDBIStmt& statement);
    virtual DBIResult QExecProcDirect(const char* procName, std::uint16_t paramCount, const void* paramDescs,
                                      void* record, hDBICur& cursor);
    virtual DBIResult QPrepareProc(const char* procName, std::uint16_t paramCount, const void* paramDescs,
                                   void* record, hDBIStmt& statement);
    virtual DBIResult GetLdNameFromDB(const char* tableName, char* ldName);

    // The first open cursor on `name` (full names when it is a path, else
    // table names); 9986 without cursors or name, 10024 when none matches.
    DBIResult FindOpenCursor(const char* name, TBapiListItem*& cursor);

    TBaseSession* Session() const;
    TBapiCollection& Cursors() { return cursors_; }
    DBDesc& Desc() { return desc_; }
    const std::string& UserName() const { return userName_; }
    const std::string& Password() const { return password_; }
    std::uint32_t OpenMode() const { return openMode_; }
    std::uint32_t ShareMode() const { return shareMode_; }
    bool InTransaction() const { return tranState_ == 1; }

protected:
    std::uint32_t tranState_ = 0;
    std::uint32_t isolation_ = 0;

private:
    // Opens `tableName` exclusively for one call when no cursor is given.
    DBIResult CursorForCall(hDBICur given, const char* tableName, const char* driverType, std::uint16_t indexId,
                            TBapiListItem*& cursor, TBapiListItem*& opened);

    std::string userName_;
    TBapiCollection cursors_;
    std::uint32_t openMode_ = 0;
    std::uint32_t shareMode_ = 0;
    std::string password_;
    DBDesc desc_;
};

}  // namespace qv
