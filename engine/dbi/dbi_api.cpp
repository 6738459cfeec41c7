#include "engine/api/dbi_api.h"

#include <cstring>
#include <exception>
#include <string>

#include "engine/api/bcd.h"
#include "engine/dbi/virt_eng.h"
#include "engine/client/client_comms_engine.h"
#include "engine/client/client_session.h"
#include "engine/client/client_table.h"
#include "engine/client/comms_transport.h"
#include "engine/client/message_box.h"
#include "engine/server/server_log.h"
#include "engine/server/system_tables.h"
#include "engine/client/client_strings.h"
#include "engine/client/cursor_base.h"
#include "engine/client/error_texts.h"
#include "engine/client/filter.h"
#include "engine/base/qv_exceptions.h"
#include "engine/server/server_engine.h"
#include "engine/storage/file_access.h"

namespace qv {

namespace {

TVirtEng* g_engine = nullptr;

// No exception may leave an entry point: the callers are plain C-style code
// that cannot unwind. Engine exceptions answer the result their message
// number stands for; anything else is the unexpected-exception result.
DBIResult ExceptionResult() {
    try {
        throw;
    } catch (const EqvException& e) {
        return TqvServerEngine::MessageNumberToResult(e.ErrorNumber());
    } catch (const std::bad_alloc&) {
        return kDbiErrNoMemory;
    } catch (...) {
        return dbi::kUnexpectedException;
    }
}

template <class F>
DBIResult Shielded(F&& op) {
    try {
        return op();
    } catch (...) {
        return ExceptionResult();
    }
}

// A cursor call: the handle becomes current, then its operation runs and
// its result is kept. Without an engine there is no session to call into.
template <class F>
DBIResult CursorCall(hDBICur h, F&& op) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseTable* c = g_engine->SetCurrentCursor(h);
    if (c == nullptr) return g_engine->Result();
    return g_engine->SetResult(Shielded([&] { return op(*c); }));
}

template <class F>
DBIResult DatabaseCall(hDBIDb h, F&& op) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseDatabase* d = g_engine->SetCurrentDatabase(h);
    if (d == nullptr) return g_engine->Result();
    return g_engine->SetResult(Shielded([&] { return op(*d); }));
}

template <class F>
DBIResult SessionCall(F&& op) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseSession* s = g_engine->GetCurrentSession();
    if (s == nullptr) return g_engine->Result();
    return g_engine->SetResult(Shielded([&] { return op(*s); }));
}

DBIResult NotSupported(const char* call) {
    ShowNotSupportedMessage(ClientString(cs::kNotSupportedFmt), call);
    if (g_engine != nullptr) return g_engine->SetResult(kDbiErrNotSupported);
    SetLastErrorCode(kDbiErrNotSupported);
    return kDbiErrNotSupported;
}

}  // namespace

TVirtEng* VirtEng() { return g_engine; }

// ---- engine and sessions ------------------------------------------------------------------

DBIResult DbiInit(const void*) {
    if (g_engine != nullptr) return kDbiErrAlreadyInit;
    return Shielded([&]() -> DBIResult {
        if (!GetClientTransportFactory()) InstallCommsTransport();
        g_engine = new TVirtEng();
        return g_engine->StartResult();
    });
}

DBIResult DbiExit() {
    TVirtEng* e = g_engine;
    g_engine = nullptr;
    try {
        delete e;
    } catch (...) {
        // The reference is cleared whatever freeing raised.
    }
    return 0;
}

DBIResult DbiShutdownStep() { return 0; }

DBIResult DbiStartSession(const char* name, hDBISes& session, const char* netDir) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    return Shielded([&] { return g_engine->StartSession(name, session, netDir); });
}

DBIResult DbiGetCurrSession(hDBISes& session) {
    session = kNilHandle;
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseSession* s = g_engine->GetCurrentSession();
    if (s != nullptr) session = s->Handle();
    return g_engine->Result();
}

DBIResult DbiSetCurrSession(hDBISes session) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    g_engine->SetCurrentSession(session);
    return g_engine->Result();
}

DBIResult DbiCloseSession(hDBISes& session) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    DBIResult rc = Shielded([&] { return g_engine->CloseSession(session); });
    if (rc == 0) session = kNilHandle;
    return rc;
}

DBIResult DbiGetSesInfo(void* info) {
    return SessionCall([&](TBaseSession& s) { return s.GetSesInfo(info); });
}

DBIResult DbiSetPrivateDir(const char* dir) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    if (TBaseSession* s = g_engine->GetCurrentSession()) s->SetPrivateDir(dir);
    return g_engine->SetResult(0);
}

DBIResult DbiGetObjFromName(std::uint16_t objType, const char* name, hDBIObj& obj) {
    obj = kNilHandle;
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    if (objType == kObjClient && name == nullptr) {
        obj = g_engine->Handle();
        return g_engine->SetResult(0);
    }
    return NotSupported("GETOBJFROMNAME");
}

DBIResult DbiGetProp(hDBIObj obj, std::uint32_t property, void* value, std::uint16_t maxLen, std::uint16_t& len) {
    len = 0;
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBapiListItem* o = FindHandle(obj);
    if (o == nullptr) return g_engine->SetResult(kDbiErrInvalidParam);
    return g_engine->SetResult(Shielded([&] { return o->GetProp(property, value, maxLen, len); }));
}

DBIResult DbiSetProp(hDBIObj obj, std::uint32_t property, std::uint32_t value) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBapiListItem* o = FindHandle(obj);
    if (o == nullptr) return g_engine->SetResult(kDbiErrInvalidParam);
    return g_engine->SetResult(Shielded([&] { return o->SetProp(property, value); }));
}

DBIResult DbiGetErrorEntry(std::uint16_t entry, std::uint32_t& nativeCode, char* context) {
    if (g_engine == nullptr) return 0;
    TBaseSession* s = g_engine->GetCurrentSession();
    return s != nullptr ? Shielded([&] { return s->GetErrorEntry(entry, nativeCode, context); }) : 0;
}

DBIResult DbiGetErrorString(DBIResult code, char* text) {
    if (text == nullptr) return kDbiErrInvalidParam;
    TBaseSession* s = g_engine != nullptr ? HandleAs<TBaseSession>(g_engine->CurrentSessionHandle()) : nullptr;
    if (s != nullptr) return s->GetErrorString(code, text);
    GetErrorString(code, text);
    return 0;
}

DBIResult DbiBcdFromFloat(double value, std::uint16_t precision, std::uint16_t places, void* bcd) {
    return BcdFromDouble(value, precision, places, static_cast<std::uint8_t*>(bcd));
}

DBIResult DbiTranslateRecordStructure(const char*, std::uint16_t fieldCount, const void* srcFields, const char*,
                                      const char*, void* destFields, bool) {
    if (fieldCount != 0 && (srcFields == nullptr || destFields == nullptr)) return kDbiErrInvalidParam;
    if (fieldCount != 0) std::memmove(destFields, srcFields, std::size_t(fieldCount) * FLDDesc::kSize);
    return 0;
}

DBIResult DbiBatchMove() { return NotSupported("BATCHMOVE"); }

DBIResult DbiRegisterCallBack(hDBICur cursor, std::uint32_t cbType, std::uint32_t clientData, std::uint16_t bufLen,
                              void* buffer, void* callback) {
    return SessionCall(
        [&](TBaseSession& s) { return s.RegisterCallBack(cursor, cbType, clientData, bufLen, buffer, callback); });
}

DBIResult DbiNativeToAnsi(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated) {
    return SessionCall([&](TBaseSession& s) { return s.NativeToAnsi(ld, dest, source, len, translated); });
}

DBIResult DbiAnsiToNative(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated) {
    return SessionCall([&](TBaseSession& s) { return s.AnsiToNative(ld, dest, source, len, translated); });
}

DBIResult DbiAddPassword(const char* password) {
    return SessionCall([&](TBaseSession& s) { return s.AddPassword(password); });
}

DBIResult DbiDropPassword(const char* password) {
    return SessionCall([&](TBaseSession& s) { return s.DropPassword(password); });
}

DBIResult DbiGetLdName(const char* driverType, const char* objName, char* ldName) {
    return SessionCall([&](TBaseSession& s) { return s.GetLdName(driverType, objName, ldName); });
}

DBIResult DbiGetLdObj(hDBICur cursor, void*& ldObj) {
    ldObj = nullptr;
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    if (TBaseTable* c = g_engine->SetCurrentCursor(cursor))
        return g_engine->SetResult(Shielded([&] { return c->GetLdObj(ldObj); }));
    return SessionCall([&](TBaseSession& s) { return s.GetLdObj(kNilHandle, ldObj); });
}

DBIResult OsLdLoadBySymbName(const char*, void*&) { return kDbiErrNotApplicable; }
DBIResult OsLdUnloadObj(void*&) { return kDbiErrNotApplicable; }

DBIResult DbiOpenCfgInfoList(hDBICfg cfg, std::uint32_t openMode, std::uint32_t cfgMode, const char* path,
                             hDBICur& cursor) {
    const std::string p = NameToBuffer(path);
    return SessionCall([&](TBaseSession& s) { return s.OpenCfgInfoList(cfg, openMode, cfgMode, p.c_str(), cursor); });
}

DBIResult DbiCfgPosition(hDBICfg cfg, const char* path) {
    return SessionCall([&](TBaseSession& s) { return s.CfgPosition(cfg, path); });
}

DBIResult DbiCfgAddRecord(hDBICfg cfg, const char* path, std::uint16_t fieldCount, const void* fieldDescs,
                          const void* values) {
    return SessionCall([&](TBaseSession& s) { return s.CfgAddRecord(cfg, path, fieldCount, fieldDescs, values); });
}

DBIResult DbiCfgDropRecord(hDBICfg cfg, const char* path) {
    return SessionCall([&](TBaseSession& s) { return s.CfgDropRecord(cfg, path); });
}

DBIResult DbiAddAlias(hDBICfg cfg, const char* alias, const char* driverType, const char* params, bool persist) {
    return SessionCall([&](TBaseSession& s) { return s.AddAlias(cfg, alias, driverType, params, persist); });
}

DBIResult DbiDeleteAlias(hDBICfg cfg, const char* alias) {
    return SessionCall([&](TBaseSession& s) { return s.DeleteAlias(cfg, alias); });
}

DBIResult DbiOpenDatabaseList(hDBICur& cursor) {
    cursor = kNilHandle;
    return SessionCall([&](TBaseSession& s) { return s.OpenDatabaseList(cursor); });
}

// ---- the program's settings of the engine ---------------------------------------------------
// These hold before DbiInit too: the program sets them before its first session.

DBIResult DbiStartServerLog(const char* folder) {
    return Shielded([&] {
        StartServerLog(folder ? std::string(folder) : std::string());
        return DBIResult{0};
    });
}

DBIResult DbiSetServerKeywordFile(const char* path) {
    SetServerKeywordFile(path ? path : "");
    return 0;
}

DBIResult DbiSetHandOverToIdleServer(bool on) {
    SetHandOverToIdleServer(on);
    return 0;
}

DBIResult DbiSetSystemTableDirectory(const char* dir) {
    SetSystemTableDirectory(dir ? dir : "");
    return 0;
}

DBIResult DbiSetScratchFolder(const char* folder, bool on) {
    if (folder == nullptr || *folder == '\0') return kDbiErrInvalidParam;
    QvSetScratchFolder(folder, on);
    return 0;
}

DBIResult DbiSetShowMessages(bool show, bool* wasShown) {
    if (wasShown != nullptr) *wasShown = EngineMessagesShown();
    SetEngineMessagesShown(show);
    return 0;
}

// ---- databases and statements -------------------------------------------------------------

DBIResult DbiOpenDatabase(const char* name, const char* dbType, std::uint32_t openMode, std::uint32_t shareMode,
                          const char* password, std::uint16_t optCount, const void* optDescs,
                          const void* optParams, hDBIDb& database) {
    database = kNilHandle;
    const std::string n = NameToBuffer(name);
    return SessionCall([&](TBaseSession& s) {
        return s.OpenDatabase(n.c_str(), dbType, openMode, shareMode, password, optCount, optDescs, optParams,
                              database);
    });
}

DBIResult DbiGetDatabaseDesc(const char* name, void* desc) {
    const std::string n = NameToBuffer(name);
    return SessionCall([&](TBaseSession& s) { return s.GetDatabaseDesc(n.c_str(), desc); });
}

DBIResult DbiCloseDatabase(hDBIDb& database) {
    return SessionCall([&](TBaseSession& s) { return s.CloseDatabase(database); });
}

DBIResult DbiSetDirectory(hDBIDb database, const char* dir) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.SetDirectory(dir); });
}

DBIResult DbiFormFullName(hDBIDb database, const char* tableName, const char* driverType, char* fullName) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.FormFullName(tableName, driverType, fullName); });
}

DBIResult DbiOpenTable(hDBIDb database, const char* tableName, const char* driverType, const char* indexName,
                       const char* indexTagName, std::uint16_t indexId, std::uint32_t openMode,
                       std::uint32_t shareMode, std::uint32_t xltMode, bool uniDirectional, const void* optParams,
                       hDBICur& cursor) {
    cursor = kNilHandle;
    return DatabaseCall(database, [&](TBaseDatabase& d) {
        return d.OpenTable(tableName, driverType, indexName, indexTagName, indexId, openMode, shareMode, xltMode,
                           uniDirectional, optParams, cursor);
    });
}

DBIResult DbiOpenFieldList(hDBIDb database, const char* tableName, const char* driverType, bool physical,
                           hDBICur& cursor) {
    cursor = kNilHandle;
    return DatabaseCall(database,
                        [&](TBaseDatabase& d) { return d.OpenFieldList(tableName, driverType, physical, cursor); });
}

DBIResult DbiOpenVchkList(hDBIDb database, const char* tableName, const char* driverType, hDBICur& cursor) {
    cursor = kNilHandle;
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.OpenVchkList(tableName, driverType, cursor); });
}

DBIResult DbiOpenSPParamList(hDBIDb database, const char* procName, bool physical, std::uint16_t overload,
                             hDBICur& cursor) {
    cursor = kNilHandle;
    return DatabaseCall(database,
                        [&](TBaseDatabase& d) { return d.OpenSPParamList(procName, physical, overload, cursor); });
}

DBIResult DbiEmptyTable(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.EmptyTable(cursor, tableName, driverType); });
}

DBIResult DbiCreateTable(hDBIDb database, bool overwrite, const CRTblDesc& tableDesc) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.CreateTable(overwrite, &tableDesc); });
}

DBIResult DbiDeleteTable(hDBIDb database, const char* tableName, const char* driverType) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.DeleteTable(tableName, driverType); });
}

DBIResult DbiGetLdNameFromDB(hDBIDb database, const char* objName, char* ldName) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.GetLdNameFromDB(objName, ldName); });
}

DBIResult DbiBeginTran(hDBIDb database, std::uint32_t isolation, std::uint32_t& transaction) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.BeginTran(isolation, transaction); });
}

DBIResult DbiEndTran(hDBIDb database, std::uint32_t transaction, std::uint32_t endMode) {
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.EndTran(transaction, endMode); });
}

DBIResult DbiQAlloc(hDBIDb database, std::uint32_t language, hDBIStmt& statement) {
    statement = kNilHandle;
    return DatabaseCall(database, [&](TBaseDatabase& d) { return d.QAlloc(language, statement); });
}

DBIResult DbiQPrepare(hDBIStmt statement, const char* query) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseDatabase* d = g_engine->GetCurrentDatabase();
    if (d == nullptr) return g_engine->Result();
    return g_engine->SetResult(Shielded([&] { return d->QPrepare(statement, query); }));
}

DBIResult DbiQExec(hDBIStmt statement, hDBICur& cursor) {
    cursor = kNilHandle;
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    g_engine->SetCurrentStatement(statement);
    return g_engine->Result();
}

DBIResult DbiQFree(hDBIStmt& statement) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    g_engine->SetCurrentStatement(statement);
    return g_engine->Result();
}

DBIResult DbiQPrepareProc(hDBIDb database, const char* procName, std::uint16_t paramCount, const void* paramDescs,
                          void* paramBuffer, hDBIStmt& statement) {
    statement = kNilHandle;
    return DatabaseCall(database, [&](TBaseDatabase& d) {
        return d.QPrepareProc(procName, paramCount, paramDescs, paramBuffer, statement);
    });
}

// Statement calls: the handle becomes current; no handle names a statement.
DBIResult DbiQSetParams(hDBIStmt statement, std::uint16_t, const void*, void*) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    g_engine->SetCurrentStatement(statement);
    return g_engine->Result();
}

DBIResult DbiQSetProcParams(hDBIStmt statement, std::uint16_t, const void*, void*) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    g_engine->SetCurrentStatement(statement);
    return g_engine->Result();
}

bool IsSQLBased(hDBIDb database) {
    if (g_engine == nullptr) return false;
    TBaseDatabase* d = g_engine->SetCurrentDatabase(database);
    return d != nullptr && d->IsSQLBased();
}

// ---- cursors ----------------------------------------------------------------------------------

DBIResult DbiCloseCursor(hDBICur& cursor) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseTable* c = g_engine->SetCurrentCursor(cursor);
    if (c == nullptr) return g_engine->Result();
    DBIResult rc = Shielded([&] { return c->CloseCursor(); });
    // The object goes whatever closing answered, and the caller's handle
    // with it: a later call with the variable meets the nil handle.
    delete c;
    cursor = kNilHandle;
    return g_engine->SetResult(rc);
}

DBIResult DbiBeginDelayedUpdates(hDBICur& cursor) {
    // The caller works with the cache cursor from here on, in place of its own.
    hDBICur cache = kNilHandle;
    DBIResult rc = CursorCall(cursor, [&](TBaseTable& c) { return c.BeginDelayedUpdates(cache); });
    if (rc == 0) cursor = cache;
    return rc;
}

DBIResult DbiEndDelayedUpdates(hDBICur& cursor) {
    if (g_engine == nullptr) return kDbiErrInvalidSesHandle;
    TBaseTable* c = g_engine->SetCurrentCursor(cursor);
    if (c == nullptr) return g_engine->Result();
    // The cache table frees itself and hands back the cursor it wrapped.
    hDBICur wrapped = cursor;
    DBIResult rc = Shielded([&] { return c->EndDelayedUpdates(wrapped); });
    if (wrapped != cursor) g_engine->SetCurrentCursor(wrapped);
    cursor = wrapped;
    return g_engine->SetResult(rc);
}

DBIResult DbiApplyDelayedUpdates(hDBICur cursor, std::uint32_t action) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ApplyDelayedUpdates(action); });
}

DBIResult DbiPackTable(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType,
                       bool regenIndexes) {
    return DatabaseCall(database,
                        [&](TBaseDatabase& d) { return d.PackTable(cursor, tableName, driverType, regenIndexes); });
}

DBIResult DbiDoRestructure(hDBIDb database, std::uint16_t descCount, const CRTblDesc& tableDesc, const char* saveAs,
                           const char* keyViolName, const char* problemsName, bool analyzeOnly) {
    return DatabaseCall(database, [&](TBaseDatabase& d) {
        return d.DoRestructure(descCount, &tableDesc, saveAs, keyViolName, problemsName, analyzeOnly);
    });
}

DBIResult DbiCloneCursor(hDBICur cursor, bool readOnly, bool uniDirectional, hDBICur& clone) {
    clone = kNilHandle;
    return CursorCall(cursor, [&](TBaseTable& c) { return c.CloneCursor(readOnly, uniDirectional, clone); });
}

DBIResult DbiGetCursorProps(hDBICur cursor, void* props) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetCursorProps(props); });
}

DBIResult DbiGetFieldDescs(hDBICur cursor, void* descs) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetFieldDescs(descs); });
}

DBIResult DbiSwitchToIndex(hDBICur cursor, const char* indexName, const char* tagName, std::uint16_t indexId,
                           bool currentRecord) {
    return CursorCall(cursor,
                      [&](TBaseTable& c) { return c.SwitchToIndex(indexName, tagName, indexId, currentRecord); });
}

DBIResult DbiGetIndexDesc(hDBICur cursor, std::uint16_t number, void* desc) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetIndexDesc(number, desc); });
}

DBIResult DbiGetIndexDescs(hDBICur cursor, void* descs) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetIndexDescs(descs); });
}

DBIResult DbiOpenIndex(hDBICur cursor, const char* indexName, std::uint16_t indexId) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.OpenIndex(indexName, indexId); });
}

DBIResult DbiCloseIndex(hDBICur cursor, const char* indexName, std::uint16_t indexId) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.CloseIndex(indexName, indexId); });
}

DBIResult DbiAddIndex(hDBIDb database, hDBICur cursor, const char* tableName, const char* driverType,
                      const void* indexDesc, const char* keyViolName) {
    return DatabaseCall(database, [&](TBaseDatabase& d) {
        return d.AddIndex(cursor, tableName, driverType, indexDesc, keyViolName);
    });
}

DBIResult DbiSetToKey(hDBICur cursor, std::uint16_t condition, bool directKey, std::uint16_t fieldCount,
                      std::uint16_t partialLength, const void* key) {
    return CursorCall(cursor,
                      [&](TBaseTable& c) { return c.SetToKey(condition, directKey, fieldCount, partialLength, key); });
}

DBIResult DbiExtractKey(hDBICur cursor, const void* record, void* key) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ExtractKey(record, key); });
}

DBIResult DbiSetRange(hDBICur cursor, bool keyIsKey, std::uint16_t fields1, std::uint16_t length1,
                      const void* key1, bool inclusive1, std::uint16_t fields2, std::uint16_t length2,
                      const void* key2, bool inclusive2) {
    return CursorCall(cursor, [&](TBaseTable& c) {
        return c.SetRange(keyIsKey, fields1, length1, key1, inclusive1, fields2, length2, key2, inclusive2);
    });
}

DBIResult DbiResetRange(hDBICur cursor) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ResetRange(); });
}

DBIResult DbiGetRecordForKey(hDBICur cursor, bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                             const void* key, void* record) {
    return CursorCall(cursor, [&](TBaseTable& c) {
        return c.GetRecordForKey(directKey, fieldCount, partialLength, key, record);
    });
}

DBIResult DbiGetVchkDesc(hDBICur cursor, std::uint16_t number, void* desc) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetVchkDesc(number, desc); });
}

DBIResult DbiSetToBegin(hDBICur cursor) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.SetToBegin(); });
}

DBIResult DbiSetToEnd(hDBICur cursor) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.SetToEnd(); });
}

DBIResult DbiSetToCursor(hDBICur destination, hDBICur source) {
    return CursorCall(source, [&](TBaseTable& c) {
        auto* dest = HandleAs<TBaseTable>(destination);
        return dest != nullptr ? c.SetToCursor(dest) : kDbiErrInvalidHandle;
    });
}

DBIResult DbiGetBookMark(hDBICur cursor, void* bookmark) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetBookMark(bookmark); });
}

DBIResult DbiSetToBookMark(hDBICur cursor, const void* bookmark) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.SetToBookMark(bookmark); });
}

DBIResult DbiCompareBookMarks(hDBICur cursor, const void* first, const void* second, std::int16_t& result) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.CompareBookMarks(first, second, result); });
}

DBIResult DbiGetNextRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetNextRecord(lockType, record, recProps); });
}

DBIResult DbiGetPriorRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetPriorRecord(lockType, record, recProps); });
}

DBIResult DbiGetRecord(hDBICur cursor, std::uint32_t lockType, void* record, void* recProps) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetRecord(lockType, record, recProps); });
}

DBIResult DbiReadBlock(hDBICur cursor, std::uint32_t& count, void* buffer) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ReadBlock(count, buffer); });
}

DBIResult DbiInitRecord(hDBICur cursor, void* record) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.InitRecord(record); });
}

DBIResult DbiInsertRecord(hDBICur cursor, std::uint32_t lockType, void* record) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.InsertRecord(lockType, record); });
}

DBIResult DbiModifyRecord(hDBICur cursor, void* record, bool freeLock) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ModifyRecord(record, freeLock); });
}

DBIResult DbiDeleteRecord(hDBICur cursor, void* record) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.DeleteRecord(record); });
}

DBIResult DbiRelRecordLock(hDBICur cursor, bool all) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.RelRecordLock(all); });
}

DBIResult DbiGetSeqNo(hDBICur cursor, std::uint32_t& seqNo) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetSeqNo(seqNo); });
}

DBIResult DbiSetToSeqNo(hDBICur cursor, std::uint32_t seqNo) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.SetToSeqNo(seqNo); });
}

DBIResult DbiMakePermanent(hDBICur cursor, const char* name, bool overwrite) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.MakePermanent(name, overwrite); });
}

DBIResult DbiGetRecordCount(hDBICur cursor, std::uint32_t& count) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetRecordCount(count); });
}

DBIResult DbiGetExactRecordCount(hDBICur cursor, std::uint32_t& count) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetExactRecordCount(count); });
}

DBIResult DbiSaveChanges(hDBICur cursor) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.SaveChanges(); });
}

DBIResult DbiForceReread(hDBICur cursor) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.ForceReread(); });
}

DBIResult DbiGetField(hDBICur cursor, std::uint16_t field, const void* record, void* dest, bool* blank) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetField(field, record, dest, blank); });
}

DBIResult DbiPutField(hDBICur cursor, std::uint16_t field, void* record, const void* source) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.PutField(field, record, source); });
}

DBIResult DbiOpenBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t openMode) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.OpenBlob(record, field, openMode); });
}

DBIResult DbiGetBlobSize(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t& size) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetBlobSize(record, field, size); });
}

DBIResult DbiGetBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     void* dest, std::uint32_t& read) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.GetBlob(record, field, offset, length, dest, read); });
}

DBIResult DbiPutBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     const void* source) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.PutBlob(record, field, offset, length, source); });
}

DBIResult DbiTruncateBlob(hDBICur cursor, void* record, std::uint16_t field, std::uint32_t length) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.TruncateBlob(record, field, length); });
}

DBIResult DbiFreeBlob(hDBICur cursor, void* record, std::uint16_t field) {
    return CursorCall(cursor, [&](TBaseTable& c) { return c.FreeBlob(record, field); });
}

DBIResult DbiAddFilter(hDBICur cursor, std::uint32_t clientData, std::uint16_t priority, bool canAbort,
                       const void* expression, void* callback, hDBIFilter& filter) {
    filter = 0;
    return CursorCall(cursor, [&](TBaseTable& c) {
        TFilterListItem* item = nullptr;
        DBIResult rc = c.AddFilter(clientData, priority, canAbort, expression, callback, item);
        if (rc == 0 && item != nullptr) filter = g_engine->AddFilterHandle(cursor, item);
        return rc;
    });
}

DBIResult DbiDropFilter(hDBICur cursor, hDBIFilter filter) {
    return CursorCall(cursor, [&](TBaseTable& c) {
        TFilterListItem* item = g_engine->FindFilter(cursor, filter);
        if (item == nullptr) return kDbiErrNoSuchFilter;
        DBIResult rc = c.DropFilter(item);
        if (rc == 0) g_engine->DropFilterHandle(filter);
        return rc;
    });
}

DBIResult DbiActivateFilter(hDBICur cursor, hDBIFilter filter) {
    return CursorCall(cursor, [&](TBaseTable& c) {
        TFilterListItem* item = g_engine->FindFilter(cursor, filter);
        return item != nullptr ? c.ActivateFilter(item) : kDbiErrNoSuchFilter;
    });
}

DBIResult DbiDeactivateFilter(hDBICur cursor, hDBIFilter filter) {
    return CursorCall(cursor, [&](TBaseTable& c) {
        TFilterListItem* item = g_engine->FindFilter(cursor, filter);
        return item != nullptr ? c.DeactivateFilter(item) : kDbiErrNoSuchFilter;
    });
}

}  // namespace qv
