// The database-API entry points through which the dataset layer, the grids
// and the main form reach the table engine. Every one returns a DBIResult
// (0 success); the handles are ids of the engine's handle objects. No
// exception leaves an entry point, since the callers cannot unwind: it
// comes back as its result code. Every transaction started here is
// journaled; engine_api_crash_tests kills a writing process and checks the
// table in a fresh one. bench_engine_api compares the entry points with
// SQLite through the program's own transport (--in-process: without it);
// bench_engine_seq_no times sequence-number jumps on 200,000 rows.
//
// Before DbiInit only DbiInit, DbiExit, DbiShutdownStep, OsLdLoadBySymbName,
// OsLdUnloadObj and the program's settings of the engine may be called; the
// others answer 10011 (no session) rather than touching an engine that does
// not exist.
//
// This header and the engine/api headers it includes are all that code
// outside the engine sees of it: they include nothing of its insides.
#pragma once

#include <cstdint>

#include "engine/api/bcd.h"
#include "engine/api/dbi_types.h"

namespace qv {

// Calls answered here without an engine.
constexpr DBIResult kDbiErrAlreadyInit = 10759;
// The client object asked for by DbiGetObjFromName.
constexpr std::uint16_t kObjClient = 7;

// ---- engine and sessions ----
DBIResult DbiInit(const void* env);
DBIResult DbiExit();
DBIResult DbiShutdownStep();
DBIResult DbiStartSession(const char* name, hDBISes& session, const char* netDir);
DBIResult DbiGetCurrSession(hDBISes& session);
DBIResult DbiSetCurrSession(hDBISes session);
DBIResult DbiCloseSession(hDBISes& session);
DBIResult DbiGetSesInfo(void* info);
DBIResult DbiSetPrivateDir(const char* dir);
DBIResult DbiGetObjFromName(std::uint16_t objType, const char* name, hDBIObj& obj);
DBIResult DbiGetProp(hDBIObj obj, std::uint32_t property, void* value, std::uint16_t maxLen, std::uint16_t& len);
DBIResult DbiSetProp(hDBIObj obj, std::uint32_t property, std::uint32_t value);
DBIResult DbiGetErrorEntry(std::uint16_t entry, std::uint32_t& nativeCode, char* context);
DBIResult DbiGetErrorString(DBIResult code, char* text);
DBIResult DbiBcdFromFloat(double value, std::uint16_t precision, std::uint16_t places, void* bcd);
DBIResult DbiTranslateRecordStructure(const char* srcDriver, std::uint16_t fieldCount, const void* srcFields,
                                      const char* destDriver, const char* ld, void* destFields, bool flag);
DBIResult DbiBatchMove();
DBIResult DbiRegisterCallBack(hDBICur cursor, std::uint32_t cbType, std::uint32_t clientData,
                              std::uint16_t bufLen, void* buffer, void* callback);
DBIResult DbiNativeToAnsi(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated);
DBIResult DbiAnsiToNative(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated);
DBIResult DbiAddPassword(const char* password);
DBIResult DbiDropPassword(const char* password);
DBIResult DbiGetLdName(const char* driverType, const char* objName, char* ldName);
DBIResult DbiGetLdObj(hDBICur cursor, void*& ldObj);
DBIResult OsLdLoadBySymbName(const char* name, void*& ld);
DBIResult OsLdUnloadObj(void*& ld);
DBIResult DbiOpenCfgInfoList(hDBICfg cfg, std::uint32_t openMode, std::uint32_t cfgMode, const char* path,
                             hDBICur& cursor);
DBIResult DbiCfgPosition(hDBICfg cfg, const char* path);
DBIResult DbiCfgAddRecord(hDBICfg cfg, const char* path, std::uint16_t fieldCount, const void* fieldDescs,
                          const void* values);
DBIResult DbiCfgDropRecord(hDBICfg cfg, const char* path);
DBIResult DbiAddAlias(hDBICfg cfg, const char* alias, const char* driverType, const char* params, bool persist);
// Deletes the alias on the server; the current session forgets it too, so
// the name opens nothing afterwards.
DBIResult DbiDeleteAlias(hDBICfg cfg, const char* alias);
// The current session's databases and aliases: a cursor of DBDesc rows.
DBIResult DbiOpenDatabaseList(hDBICur& cursor);

// ---- the program's settings of the engine ----
// Starts the server's log in `folder` (nil or empty: the program directory).
DBIResult DbiStartServerLog(const char* folder);
// The keyword file the program was started with; the in-process server
// reads it after its system tables. Nil or empty: none.
DBIResult DbiSetServerKeywordFile(const char* path);
// Whether a request may go straight to an idle in-process server (the
// default). Off, every request travels as packets and its reply is waited
// for, as over a transport; tests of what runs inside that wait turn it off.
DBIResult DbiSetHandOverToIdleServer(bool on);
// Where the in-process server keeps its system tables; empty: the program
// directory.
DBIResult DbiSetSystemTableDirectory(const char* dir);
// Marks `folder` as scratch (on) or not (off) for the in-process server:
// its files are temporary copies the program deletes after use, so none of
// them, journals included, is synced. Whatever is in it may be lost or torn
// by a crash; the program must empty it before use.
DBIResult DbiSetScratchFolder(const char* folder, bool on);

// Whether the engine's own message boxes (a call not supported, a lost
// connection) are shown for calls made on this thread. Off, such a box is
// not shown and counts as answered with OK; the result codes are the same.
// Other threads, and boxes that are not the engine's, are not affected.
// `wasShown` (may be nil) receives the setting before.
DBIResult DbiSetShowMessages(bool show, bool* wasShown);

// Keeps the engine's boxes from being shown on this thread for its lifetime,
// for callers that handle the result codes themselves (a grid's repaint).
class DbiQuietMessages {
public:
    DbiQuietMessages() { DbiSetShowMessages(false, &wasShown_); }
    ~DbiQuietMessages() { DbiSetShowMessages(wasShown_, nullptr); }
    DbiQuietMessages(const DbiQuietMessages&) = delete;
    DbiQuietMessages& operator=(const DbiQuietMessages&) = delete;

private:
    bool wasShown_ = true;
};

// ---- databases and statements ----
DBIResult DbiOpenDatabase(const char* name, const char* dbType, std::uint32_t openMode, std::uint32_t shareMode,
                          const char* password, std::uint16_t optCount, const void* optDescs,
                          const void* optParams, hDBIDb& database);
DBIResult DbiGetDatabaseDesc(const char* name, void* desc);
DBIResult DbiCloseDatabase(hDBIDb& database);
DBIResult DbiSetDirectory(hDBIDb database, const char* dir);
DBIResult DbiFormFullName(hDBIDb database, const char* tableName, const char* driverType, char* fullName);
DBIResult DbiOpenTable(hDBIDb database, const char* tableName, const char* driverType, const char* indexName,
                       const char* indexTagName, std::uint16_t indexId, std::uint32_t openMode,
                       std::uint32_t shareMode, std::uint32_t xltMode, bool uniDirectional, const void* optParams,
                       hDBICur& cursor);
DBIResult DbiOpenFieldList(hDBIDb database, const char* tableName, const char* driverType, bool physical,
                           hDBICur& cursor);
DBIResult DbiOpenVchkList(hDBIDb database, const char* tableName, const char* driverType, hDBICur& cursor);
DBIResult DbiOpenSPParamList(hDBIDb database, const char* procName, bool physical, std::uint16_t overload,
                             hDBICur& cursor);
DBIResult DbiEmptyTable(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType);
// `tableDesc` is a CRTblDesc.
DBIResult DbiCreateTable(hDBIDb database, bool overwrite, const CRTblDesc& tableDesc);
DBIResult DbiDeleteTable(hDBIDb database, const char* tableName, const char* driverType);
// Rebuilds on the server; each waits until the rebuild has finished and
// answers its result. The table must not be open meanwhile.
DBIResult DbiPackTable(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType,
                       bool regenIndexes);
// One table description: the new fields and indexes; values move by field name.
DBIResult DbiDoRestructure(hDBIDb database, std::uint16_t descCount, const CRTblDesc& tableDesc, const char* saveAs,
                           const char* keyViolName, const char* problemsName, bool analyzeOnly);
// Cached updates: Begin replaces the handle with a cache cursor over it,
// End frees the cache cursor and gives the wrapped one back.
DBIResult DbiBeginDelayedUpdates(hDBICur& cursor);
DBIResult DbiEndDelayedUpdates(hDBICur& cursor);
DBIResult DbiApplyDelayedUpdates(hDBICur cursor, std::uint32_t action);
DBIResult DbiGetLdNameFromDB(hDBIDb database, const char* objName, char* ldName);
DBIResult DbiBeginTran(hDBIDb database, std::uint32_t isolation, std::uint32_t& transaction);
DBIResult DbiEndTran(hDBIDb database, std::uint32_t transaction, std::uint32_t endMode);
DBIResult DbiQAlloc(hDBIDb database, std::uint32_t language, hDBIStmt& statement);
DBIResult DbiQPrepare(hDBIStmt statement, const char* query);
DBIResult DbiQExec(hDBIStmt statement, hDBICur& cursor);
DBIResult DbiQFree(hDBIStmt& statement);
DBIResult DbiQPrepareProc(hDBIDb database, const char* procName, std::uint16_t paramCount, const void* paramDescs,
                          void* paramBuffer, hDBIStmt& statement);
// No database here makes statements: these answer 9990 for every handle.
DBIResult DbiQSetParams(hDBIStmt statement, std::uint16_t fieldCount, const void* fieldDescs, void* record);
DBIResult DbiQSetProcParams(hDBIStmt statement, std::uint16_t paramCount, const void* paramDescs, void* buffer);
bool IsSQLBased(hDBIDb database);

// ---- cursors ----
DBIResult DbiCloseCursor(hDBICur& cursor);
DBIResult DbiCloneCursor(hDBICur cursor, bool readOnly, bool uniDirectional, hDBICur& clone);
DBIResult DbiGetCursorProps(hDBICur cursor, void* props);
DBIResult DbiGetFieldDescs(hDBICur cursor, void* descs);
DBIResult DbiSwitchToIndex(hDBICur cursor, const char* indexName, const char* tagName, std::uint16_t indexId,
                           bool currentRecord);
DBIResult DbiGetIndexDesc(hDBICur cursor, std::uint16_t number, void* desc);
// `descs` holds one IDXDesc per index of the cursor's table.
DBIResult DbiGetIndexDescs(hDBICur cursor, void* descs);
DBIResult DbiOpenIndex(hDBICur cursor, const char* indexName, std::uint16_t indexId);
DBIResult DbiCloseIndex(hDBICur cursor, const char* indexName, std::uint16_t indexId);
DBIResult DbiAddIndex(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType,
                      const void* indexDesc, const char* keyViolName);
DBIResult DbiSetToKey(hDBICur cursor, std::uint16_t condition, bool directKey, std::uint16_t fieldCount,
                      std::uint16_t partialLength, const void* key);
DBIResult DbiExtractKey(hDBICur cursor, const void* record, void* key);
DBIResult DbiSetRange(hDBICur cursor, bool keyIsKey, std::uint16_t fields1, std::uint16_t length1,
                      const void* key1, bool inclusive1, std::uint16_t fields2, std::uint16_t length2,
                      const void* key2, bool inclusive2);
DBIResult DbiResetRange(hDBICur cursor);
DBIResult DbiGetRecordForKey(hDBICur cursor, bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                             const void* key, void* record);
DBIResult DbiGetVchkDesc(hDBICur cursor, std::uint16_t number, void* desc);
DBIResult DbiSetToBegin(hDBICur cursor);
DBIResult DbiSetToEnd(hDBICur cursor);
DBIResult DbiSetToCursor(hDBICur destination, hDBICur source);
DBIResult DbiGetBookMark(hDBICur cursor, void* bookmark);
DBIResult DbiSetToBookMark(hDBICur cursor, const void* bookmark);
DBIResult DbiCompareBookMarks(hDBICur cursor, const void* first, const void* second, std::int16_t& result);
DBIResult DbiGetNextRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps);
DBIResult DbiGetPriorRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps);
DBIResult DbiGetRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps);
// Up to `count` next records into `buffer`, one record size apart; `count`
// comes back as the number read.
DBIResult DbiReadBlock(hDBICur cursor, std::uint32_t& count, void* buffer);
DBIResult DbiInitRecord(hDBICur cursor, void* record);
DBIResult DbiInsertRecord(hDBICur cursor, std::uint32_t lockType, void* record);
DBIResult DbiModifyRecord(hDBICur cursor, void* record, bool freeLock);
DBIResult DbiDeleteRecord(hDBICur cursor, void* record);
DBIResult DbiRelRecordLock(hDBICur cursor, bool all);
DBIResult DbiGetSeqNo(hDBICur cursor, std::uint32_t& seqNo);
DBIResult DbiSetToSeqNo(hDBICur cursor, std::uint32_t seqNo);
DBIResult DbiMakePermanent(hDBICur cursor, const char* name, bool overwrite);
DBIResult DbiGetRecordCount(hDBICur cursor, std::uint32_t& count);
DBIResult DbiGetExactRecordCount(hDBICur cursor, std::uint32_t& count);
DBIResult DbiSaveChanges(hDBICur cursor);
DBIResult DbiForceReread(hDBICur cursor);
DBIResult DbiGetField(hDBICur cursor, std::uint16_t field, const void* record, void* dest, bool* blank);
DBIResult DbiPutField(hDBICur cursor, std::uint16_t field, void* record, const void* source);
DBIResult DbiOpenBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t openMode);
DBIResult DbiGetBlobSize(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t& size);
DBIResult DbiGetBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     void* dest, std::uint32_t& read);
DBIResult DbiPutBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     const void* source);
DBIResult DbiTruncateBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t length);
DBIResult DbiFreeBlob(hDBICur cursor, void* record, std::uint16_t field);
DBIResult DbiAddFilter(hDBICur cursor, std::uint32_t clientData, std::uint16_t priority, bool canAbort,
                       const void* expression, void* callback, hDBIFilter& filter);
DBIResult DbiDropFilter(hDBICur cursor, hDBIFilter filter);
DBIResult DbiActivateFilter(hDBICur cursor, hDBIFilter filter);
DBIResult DbiDeactivateFilter(hDBICur cursor, hDBIFilter filter);

}  // namespace qv
