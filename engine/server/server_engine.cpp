#include "engine/server/server_engine.h"

#include <new>

#include "engine/base/qv_exceptions.h"
#include "platform/core/codepage.h"

namespace qv {

namespace {
TqvServerEngine* gEngine = nullptr;
}

TqvServerEngine* TqvServerEngine::Instance() { return gEngine; }

TqvServerEngine::TqvServerEngine()
    : bufferManager_(std::make_unique<TqvBufferManager>()),
      configuration_(std::make_unique<TqvServerConfiguration>()) {
    gEngine = this;
}

TqvServerEngine::~TqvServerEngine() {
    {
        TqvEngineLock g(*this);
        // Open transactions end as a rollback: nothing unfinished reaches disk.
        while (transactions_.Count() > 0) EndTransaction(transactions_.Item(0)->Id(), false);
        sessions_.Clear();
        cursors_.Clear();
        tables_.Clear();
        databases_.Clear();
        clients_.Clear();
        folders_.Clear();
    }
    if (gEngine == this) gEngine = nullptr;
}

void TqvServerEngine::Lock() {
    lock_.Lock(true);
    // Only the outermost holder opens the window: reopening it inside would
    // let pages the outer operation still uses be evicted.
    if (lock_.UseCount() == 1) bufferManager_->BeginAccess();
}

void TqvServerEngine::Unlock() {
    // The access window closes only when the outermost holder leaves.
    if (lock_.UseCount() <= 1) bufferManager_->EndAccess();
    lock_.Lock(false);
}

// ---- lookups --------------------------------------------------------------------------------

DBIResult TqvServerEngine::FindClient(std::uint32_t id, TqvSrClient*& client) {
    client = clients_.Find(id);
    return client ? 0 : dbi::kInvalidHandle;
}

DBIResult TqvServerEngine::FindCursor(std::uint32_t id, TqvSrCursor*& cursor) {
    cursor = cursors_.Find(id);
    return cursor ? 0 : dbi::kInvalidHandle;
}

DBIResult TqvServerEngine::FindDatabase(std::uint32_t id, TqvSrDatabase*& database) {
    database = databases_.Find(id);
    return database ? 0 : dbi::kInvalidHandle;
}

DBIResult TqvServerEngine::FindTransaction(std::uint32_t id, TqvSrTransaction*& transaction) {
    transaction = transactions_.Find(id);
    return transaction ? 0 : dbi::kInvalidHandle;
}

DBIResult TqvServerEngine::FindSession(std::uint32_t clientId, std::uint32_t sessionId, TqvSrSession*& session,
                                       TqvSrClient*& client) {
    TqvEngineLock g(*this);
    session = nullptr;
    if (FindClient(clientId, client) != 0) return dbi::kInvalidHandle;
    session = client->sessions.GetItem(false, sessionId);
    return session ? 0 : dbi::kInvalidHandle;
}

TqvSrTable* TqvServerEngine::FindOpenTable(const TqvSrFolder* folder, std::string_view name) {
    for (int i = 0; i < tables_.Count(); ++i) {
        TqvSrTable* t = tables_.Item(i);
        if (t->folder == folder && QvCmpShStrNoCase(t->GetName(), name, 31) == 0) return t;
    }
    return nullptr;
}

// ---- exceptions -----------------------------------------------------------------------------

DBIResult TqvServerEngine::MessageNumberToResult(std::int32_t n) {
    if (n < 0 || n > 198) return dbi::kUnknownServerError;
    if ((n >= 0 && n <= 12) || (n >= 32 && n <= 34) || n == 49 || (n >= 51 && n <= 53) || (n >= 61 && n <= 73))
        return static_cast<DBIResult>(15360 + n);
    switch (n) {
        case 48: return 9992;
        case 50: return 10503;
        case 54: case 56: case 57: return 11896;
        case 55: return 10030;
        case 58: return 10029;
        case 59: return 9998;
        case 60: return 10502;
        case 128: case 129: case 130: case 131: case 132: case 133: case 134: case 135: case 137: case 138:
            return 11271;
        case 144: case 145: case 148: case 151: case 152: return dbi::kInvalidHandle;
        case 146: return dbi::kUnknownDatabase;
        case 147: return dbi::kInvalidDirectory;
        case 149: return dbi::kTableMissing;
        case 150: return dbi::kIndexMissing;
        case 176: case 178: return dbi::kNotExclusive;
        case 177: return dbi::kDatabaseReadOnly;
        case 179: return dbi::kTableReadOnly;
        case 180: case 181: case 184: return dbi::kRecordLocked;
        case 182: return dbi::kUnlockFailed;
        case 183: return dbi::kFileLocked;
        case 185: return dbi::kNoCurrentRecord;
        case 188: return 10020;
        case 189: return dbi::kAtEnd;
        case 190: return dbi::kAtBegin;
        case 191: return dbi::kTableExists;
        case 195: return 10019;
        case 198: return 10021;
        default: return dbi::kUnknownServerError;
    }
}

DBIResult TqvServerEngine::ExceptionToResult(const std::exception& e) {
    if (auto* q = dynamic_cast<const EqvException*>(&e)) return MessageNumberToResult(q->ErrorNumber());
    if (dynamic_cast<const std::bad_alloc*>(&e)) return dbi::kNoMemory;
    return dbi::kUnexpectedException;
}

// ---- clients and sessions ---------------------------------------------------------------------

DBIResult TqvServerEngine::ClientAdd(std::uint32_t clientId, std::string_view clientName, std::string_view userName,
                                     std::uint32_t& passwordHash) {
    TqvEngineLock g(*this);
    passwordHash = 0;
    TqvUserRecord user;
    bool haveUser = false;
    TqvUserList& users = configuration_->Users();
    if (configuration_->GeneralInfo()->IsSecure && users.Count() > 0) {
        int at = users.Position(userName);
        if (at < 0) return dbi::kUnknownUser;
        TqvUserItem* u = users.Item(at);
        user = {u->UserName(), u->lastName, u->firstName, u->rights};
        passwordHash = u->passwordHash;
        haveUser = true;
    }
    if (clients_.Find(clientId)) return dbi::kNotUnique;  // ids come from the comms layer; never two alike
    auto* client = new TqvSrClient(clientId, std::string(clientName), haveUser ? &user : nullptr);
    clients_.Insert(client);
    sessions_.Insert(client->firstSession);
    return 0;
}

DBIResult TqvServerEngine::CheckClientRights(std::uint32_t clientId, std::uint8_t rights) {
    // Whether the server is secure is settled when its configuration loads,
    // before it serves anyone: the common open server answers without the
    // engine lock, which every request would otherwise take once more.
    if (!configuration_->GeneralInfo()->IsSecure) return 0;
    TqvEngineLock g(*this);
    TqvSrClient* client;
    if (FindClient(clientId, client) != 0) return dbi::kInvalidHandle;
    return (client->rights & rights) == rights ? 0 : dbi::kRights;
}

DBIResult TqvServerEngine::ClientRemove(std::uint32_t clientId) {
    TqvEngineLock g(*this);
    clients_.Delete(clientId);
    tables_.RemoveUnused();
    return 0;
}

DBIResult TqvServerEngine::SessionAdd(std::uint32_t clientId, std::uint32_t& sessionId) {
    TqvEngineLock g(*this);
    sessionId = 0;
    TqvSrClient* client;
    if (DBIResult r = FindClient(clientId, client)) return r;
    auto* s = new TqvSrSession(client);
    sessions_.Insert(s);
    sessionId = s->Id();
    return 0;
}

DBIResult TqvServerEngine::SessionGetCurrent(std::uint32_t clientId, std::uint32_t& sessionId) {
    TqvEngineLock g(*this);
    sessionId = 0;
    TqvSrClient* client;
    if (DBIResult r = FindClient(clientId, client)) return r;
    TqvSrSession* s = client->sessions.GetCurrent();
    sessionId = s ? s->Id() : 0;
    return 0;
}

DBIResult TqvServerEngine::SessionSetCurrent(std::uint32_t clientId, std::uint32_t sessionId) {
    TqvEngineLock g(*this);
    TqvSrSession* s;
    TqvSrClient* c;
    if (DBIResult r = FindSession(clientId, sessionId, s, c)) return r;
    c->sessions.SetCurrent(s);
    return 0;
}

DBIResult TqvServerEngine::SessionClose(std::uint32_t clientId, std::uint32_t sessionId) {
    TqvEngineLock g(*this);
    TqvSrSession* s;
    TqvSrClient* c;
    if (DBIResult r = FindSession(clientId, sessionId, s, c)) return r;
    c->sessions.Delete(sessionId);
    tables_.RemoveUnused();
    return 0;
}

// ---- locks ----------------------------------------------------------------------------------------

DBIResult TqvServerEngine::AcqTableLock(std::uint32_t cursorId, int kind) {
    if (kind == 0) return 0;
    TqvEngineLock g(*this);
    TqvSrCursor* c;
    if (DBIResult r = FindCursor(cursorId, c)) return r;
    return c->table->AcquireTableLock(c->sessionId, kind);
}

DBIResult TqvServerEngine::RelTableLock(std::uint32_t cursorId, bool all, int kind) {
    if (kind == 0) return 0;
    TqvEngineLock g(*this);
    TqvSrCursor* c;
    if (DBIResult r = FindCursor(cursorId, c)) return r;
    return c->table->ReleaseTableLock(c->sessionId, c->Id(), kind, all);
}

DBIResult TqvServerEngine::IsTableLocked(std::uint32_t cursorId, int kind, bool& locked) {
    locked = false;
    if (kind == 0) return 0;
    TqvEngineLock g(*this);
    TqvSrCursor* c;
    if (DBIResult r = FindCursor(cursorId, c)) return r;
    locked = c->table->IsTableLockedBy(c->sessionId, kind);
    return 0;
}

DBIResult TqvServerEngine::RecordRelLock(std::uint32_t cursorId, bool all) {
    TqvEngineLock g(*this);
    TqvSrCursor* c;
    if (DBIResult r = FindCursor(cursorId, c)) return r;
    if (all)
        c->table->ReleaseRecordLocks(c->Id(), 0);
    else if (c->state == kCurOnRecord && c->reference != 0)
        c->table->ReleaseRecordLocks(c->Id(), c->reference);
    return 0;
}

}  // namespace qv
