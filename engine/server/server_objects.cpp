#include "engine/server/server_objects.h"

#include "engine/base/engine_string_tables.h"
#include "engine/server/server_engine.h"
#include "engine/storage/buffer_manager.h"
#include "platform/core/codepage.h"

namespace qv {

TqvListItem* TqvSrList::GetItem(bool byIndex, std::uint32_t n) {
    if (byIndex) return list_.GetItem(static_cast<int>(n));
    std::int32_t key = static_cast<std::int32_t>(n);
    return list_.ItemOf(&key);
}

// ---- folders ----------------------------------------------------------------------------

TqvSrFolder::TqvSrFolder(std::string upperPath, std::string os)
    : pathHash(HashShortString(upperPath)), path(std::move(upperPath)), osPath(std::move(os)) {}

namespace {
// One spelling per directory: full form, no trailing separator, upper case.
std::string FolderForm(const std::string& path) {
    std::string full = ExpandUNCName(path);
    while (full.size() > 1 && (full.back() == '\\' || full.back() == '/')) full.pop_back();
    return full;
}
}  // namespace

TqvSrFolder* TqvSrFolderList::AddRef(const std::string& path) {
    std::string os = FolderForm(path).substr(0, 219);
    std::string up = plat::AnsiUpperCase(os);
    std::uint32_t hash = HashShortString(up);
    TqvSrFolder* found = nullptr;
    for (int i = 0; i < Count() && !found; ++i) {
        TqvSrFolder* f = Item(i);
        if (f->pathHash == hash && f->path == up) found = f;
    }
    if (!found) {
        found = new TqvSrFolder(up, os);
        Insert(found);
    }
    ++found->refCount;
    return found;
}

void TqvSrFolderList::Release(std::uint32_t folderId) {
    TqvSrFolder* f = Find(folderId);
    if (!f) return;
    if (f->refCount > 0) --f->refCount;
    if (f->refCount == 0) Delete(folderId);
}

// ---- sessions -----------------------------------------------------------------------------

bool TqvSrSessionList::Insert(TqvSrSession* s) { return list_.Insert(s); }

void TqvSrSessionList::Delete(std::uint32_t id) {
    TqvSrSession* s = list_.Find(id);
    if (!s) return;
    if (default_ == s) default_ = nullptr;
    if (current_ == s) current_ = nullptr;
    list_.Delete(id);
}

TqvSrSession* TqvSrSessionList::GetItem(bool byIndex, std::uint32_t n) {
    return static_cast<TqvSrSession*>(list_.GetItem(byIndex, n));
}

void TqvSrSessionList::SetDefault(TqvSrSession* s) {
    default_ = s;
    current_ = s;
}

void TqvSrSessionList::SetCurrent(TqvSrSession* s) {
    if (!current_) current_ = default_;
    current_ = s ? s : default_;
}

TqvSrSession* TqvSrSessionList::GetCurrent() {
    // A session freed through another list must not be handed out.
    if (current_ && !list_.Find(current_->Id())) current_ = nullptr;
    if (default_ && !list_.Find(default_->Id())) default_ = nullptr;
    return current_ ? current_ : default_;
}

void TqvSrSessionList::Clear() {
    default_ = current_ = nullptr;
    list_.Clear();
}

// ---- clients -------------------------------------------------------------------------------

TqvSrClient::TqvSrClient(std::uint32_t clientId, std::string name, const TqvUserRecord* user)
    : TqvIntListItem(static_cast<std::int32_t>(clientId)), clientName(QvLongToShStr(name)) {
    SetUnlinkFromAll(true);
    if (user) {
        userName = user->userName.substr(0, 31);
        lastName = user->lastName.substr(0, 31);
        firstName = user->firstName.substr(0, 31);
        rights = user->rights;
    }
    firstSession = new TqvSrSession(this);
    sessions.SetDefault(firstSession);
}

TqvSrClient::~TqvSrClient() { sessions.Clear(); }

TqvSrSession::TqvSrSession(TqvSrClient* c) : client(c) {
    SetUnlinkFromAll(true);
    client->sessions.Insert(this);
}

TqvSrSession::~TqvSrSession() { databases.Clear(); }

// ---- databases --------------------------------------------------------------------------------

TqvSrDatabase::TqvSrDatabase(TqvServerEngine* engine, TqvSrSession* s, TqvSrFolder* f, bool w, bool sh)
    : folder(f), writable(w ? 1 : 0), session(s), shared(sh ? 1 : 0), engine_(engine) {
    SetUnlinkFromAll(true);
    session->databases.Insert(this);
}

TqvSrDatabase::~TqvSrDatabase() {
    if (transactionId != 0) engine_->TransactionRollback(transactionId);
    engine_->Folders().Release(folder->Id());
    cursors.Clear();
}

TqvSrDatabase* TqvSrDatabaseList::FindByFolder(const TqvSrFolder* folder) {
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->folder == folder) return Item(i);
    return nullptr;
}

// ---- cursors ----------------------------------------------------------------------------------

TqvSrCursor::TqvSrCursor(TqvSrTable* t, TqvSrDatabase* db, std::uint32_t idx, bool w)
    : index(idx), table(t), database(db), sessionId(db->session->Id()), writable(w ? 1 : 0) {
    SetUnlinkFromAll(true);
    table->cursors.Insert(this);
    database->cursors.Insert(this);
}

TqvSrCursor::~TqvSrCursor() { table->locks.ReleaseCursorRecordLocks(Id()); }

// ---- transactions -------------------------------------------------------------------------------

TqvSrTransaction::TqvSrTransaction(TqvSrFolder* f, std::uint32_t dbId) : databaseId(dbId), folder(f) {
    folder->transactionId = Id();
}

TqvSrTransaction::~TqvSrTransaction() {
    if (folder->transactionId == Id()) folder->transactionId = 0;
}

}  // namespace qv
