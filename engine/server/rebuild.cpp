// Rebuild statuses, field maps and the preparation of the three rebuilds.
#include "engine/server/rebuild.h"

#include <algorithm>
#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_exceptions.h"
#include "engine/server/rebuild_swap.h"
#include "engine/server/server_cursor_nav.h"
#include "platform/core/clock.h"

namespace qv {

namespace {
constexpr int kIncompatibleFieldsMessage = 195;
constexpr int kMissingKeyRoutinesMessage = 187;
}  // namespace

// ---- status ----------------------------------------------------------------------------------

TqvSrRebuildStatus::TqvSrRebuildStatus(std::uint32_t id, std::uint32_t clientId, std::uint32_t total)
    : id_(id), clientId_(clientId), total_(total) {
    startTick_ = lastTick_ = plat::GetTickCount();
}

std::uint32_t TqvSrRebuildStatus::PercentOf(std::uint32_t read, std::uint32_t total) {
    if (total == 0) return 0;
    // read * 100 overflows 32 bits from 2^24 on: scale both down first.
    if (read >= (1u << 24)) {
        const std::uint32_t scaledTotal = total / 128;
        // A total under 128 with so much read is nonsense, but must not divide by zero.
        if (scaledTotal == 0) return static_cast<std::uint32_t>(std::uint64_t{read} * 100 / total);
        return (read / 128) * 100 / scaledTotal;
    }
    return read * 100 / total;
}

void TqvSrRebuildStatus::Update(std::uint32_t read, std::uint32_t written, std::uint32_t result) {
    TqvPadLockGuard g(lock_);
    read_ = read;
    written_ = written;
    result_ = result;
    lastTick_ = plat::GetTickCount();
    if (total_ > 0) percent_ = PercentOf(read, total_);
}

void TqvSrRebuildStatus::MarkFinished() {
    TqvPadLockGuard g(lock_);
    finished_ = true;
}

bool TqvSrRebuildStatus::Finished() {
    TqvPadLockGuard g(lock_);
    return finished_;
}

void TqvSrRebuildStatus::Record(std::uint8_t* out) {
    TqvPadLockGuard g(lock_);
    std::memset(out, 0, kRebuildRecordSize);
    PutU32(out + 0, startTick_);
    PutU32(out + 4, lastTick_);
    PutU32(out + 8, total_);
    PutU32(out + 12, read_);
    PutU32(out + 16, written_);
    PutU32(out + 20, percent_);
    PutU32(out + 24, result_);
    out[28] = finished_ ? 1 : 0;
}

std::uint32_t TqvSrRebuildStatus::Total() {
    TqvPadLockGuard g(lock_);
    return total_;
}
std::uint32_t TqvSrRebuildStatus::Percent() {
    TqvPadLockGuard g(lock_);
    return percent_;
}
std::uint32_t TqvSrRebuildStatus::Result() {
    TqvPadLockGuard g(lock_);
    return result_;
}
std::uint32_t TqvSrRebuildStatus::Read() {
    TqvPadLockGuard g(lock_);
    return read_;
}
std::uint32_t TqvSrRebuildStatus::Written() {
    TqvPadLockGuard g(lock_);
    return written_;
}

TqvSrRebuildStatusPtr TqvSrRebuildStatusList::Add(std::uint32_t clientId, std::uint32_t total) {
    auto s = std::make_shared<TqvSrRebuildStatus>(QvNextObjectId(), clientId, total);
    TqvPadLockGuard g(lock_);
    items_.push_back(s);
    return s;
}

bool TqvSrRebuildStatusList::Get(std::uint32_t rebuildId, std::uint8_t* record) {
    TqvPadLockGuard g(lock_);
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if ((*it)->Id() != rebuildId) continue;
        (*it)->Record(record);
        if (record[28] != 0) items_.erase(it);
        return true;
    }
    return false;
}

void TqvSrRebuildStatusList::MarkFinished(std::uint32_t rebuildId) {
    TqvPadLockGuard g(lock_);
    for (auto& s : items_)
        if (s->Id() == rebuildId) s->MarkFinished();
}

void TqvSrRebuildStatusList::RemoveClient(std::uint32_t clientId) {
    TqvPadLockGuard g(lock_);
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [&](const TqvSrRebuildStatusPtr& s) { return s->ClientId() == clientId; }),
                 items_.end());
}

int TqvSrRebuildStatusList::Count() {
    TqvPadLockGuard g(lock_);
    return static_cast<int>(items_.size());
}

// ---- field map -----------------------------------------------------------------------------------

TqvSrFieldMapList::TqvSrFieldMapList(const TqvDataDictionary& source, const TqvDataDictionary& target)
    : source_(4096), target_(4096) {
    source_.Assign(source);
    target_.Assign(target);
}

namespace {
TqvSrFieldRecord FieldRecord(const TqvDataDictionary& d, std::uint32_t n) {
    const TqvFieldDescriptor& f = d.Field(n);
    return {f.name, n, f.offset, f.length, static_cast<std::uint32_t>(f.type)};
}
}  // namespace

DBIResult TqvSrFieldMapList::AddPair(std::string_view sourceName, std::string_view targetName) {
    std::string s(sourceName.empty() ? targetName : sourceName);
    const int sn = source_.GetFieldNumber(s.substr(0, 31));
    const int tn = target_.GetFieldNumber(std::string(targetName.substr(0, 31)));
    if (sn < 0 || tn < 0) return dbi::kInvalidFieldName;
    pairs_.emplace_back(FieldRecord(source_, static_cast<std::uint32_t>(sn)),
                        FieldRecord(target_, static_cast<std::uint32_t>(tn)));
    return 0;
}

DBIResult TqvSrFieldMapList::AddFromStrings(const std::vector<std::string>& strings) {
    if (strings.empty()) {
        // No map at all would drop every value; keep each field whose name
        // both tables have instead.
        for (std::uint32_t i = 0; i < target_.FieldCount(); ++i)
            if (source_.GetFieldNumber(target_.Field(i).name) >= 0)
                if (DBIResult r = AddPair("", target_.Field(i).name)) return r;
        return 0;
    }
    for (const std::string& s : strings) {
        const std::size_t eq = s.find('=');
        DBIResult r = eq == std::string::npos ? AddPair("", s) : AddPair(s.substr(eq + 1), s.substr(0, eq));
        if (r != 0) return r;
    }
    return 0;
}

void TqvSrFieldMapList::Validate() {
    for (const auto& [s, t] : pairs_) {
        if (ConvertFieldValue(nullptr, nullptr, static_cast<TqvFieldType>(s.type), static_cast<TqvFieldType>(t.type),
                              s.length, t.length) != 0)
            RaiseQvException(QvExceptionClass::Server, QvTable::Server, kIncompatibleFieldsMessage,
                             {s.name, t.name});
    }
}

// ---- rebuilder ------------------------------------------------------------------------------------

TqvSrRebuilder::TqvSrRebuilder(TqvServerEngine& engine) : engine_(engine) {}

TqvSrRebuilder::~TqvSrRebuilder() {
    std::vector<std::unique_ptr<TqvSrRebuildBaseThread>> threads;
    {
        std::lock_guard<std::mutex> g(threadsLock_);
        threads.swap(threads_);
    }
    for (auto& t : threads) t->Terminate();
    // Joined before any thread object is destroyed: its thread may still be
    // reading the object while its destructors run.
    for (auto& t : threads) t->WaitFor();
    threads.clear();
}

void TqvSrRebuilder::WaitAll() {
    // Taken out of the list first, so that no one else joins or frees them meanwhile.
    std::vector<std::unique_ptr<TqvSrRebuildBaseThread>> threads;
    {
        std::lock_guard<std::mutex> g(threadsLock_);
        threads.swap(threads_);
    }
    for (auto& t : threads) t->WaitFor();
}

void TqvSrRebuilder::Reap() {
    std::vector<std::unique_ptr<TqvSrRebuildBaseThread>> done;
    {
        std::lock_guard<std::mutex> g(threadsLock_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            if ((*it)->Finished()) {
                done.push_back(std::move(*it));
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the list's lock, and before the objects go.
    for (auto& t : done) t->WaitFor();
    done.clear();
}

DBIResult TqvSrRebuilder::GetRebuildStatus(std::uint32_t rebuildId, std::uint8_t& found, std::uint8_t* record) {
    found = statuses_.Get(rebuildId, record) ? 1 : 0;
    if (!found) std::memset(record, 0, kRebuildRecordSize);
    return 0;
}

void TqvSrRebuilder::ClientRemove(std::uint32_t clientId) { statuses_.RemoveClient(clientId); }

DBIResult TqvSrRebuilder::TableReindex(std::uint32_t databaseId, std::string_view tableName,
                                       std::string_view indexName, std::uint32_t indexNumber,
                                       std::int32_t& rebuildId) {
    return Prepare(TqvRebuildKind::Reindex, databaseId, tableName, indexName, indexNumber, nullptr, nullptr,
                   rebuildId);
}

DBIResult TqvSrRebuilder::TablePack(std::uint32_t databaseId, std::string_view tableName, std::int32_t& rebuildId) {
    return Prepare(TqvRebuildKind::Pack, databaseId, tableName, "", 0, nullptr, nullptr, rebuildId);
}

DBIResult TqvSrRebuilder::TableRestructure(std::uint32_t databaseId, std::string_view tableName,
                                           const TqvDataDictionary& newDictionary,
                                           const std::vector<std::string>& fieldMap, std::int32_t& rebuildId) {
    return Prepare(TqvRebuildKind::Restructure, databaseId, tableName, "", 0, &newDictionary, &fieldMap, rebuildId);
}

namespace {

// Restructure may keep user-routine indexes at their numbers with their key
// lengths; it can neither add one nor turn a standard index into one.
bool UserIndexesFit(const TqvDataDictionary& oldDict, const TqvDataDictionary& newDict) {
    const std::uint32_t k = std::min(oldDict.IndexCount(), newDict.IndexCount());
    for (std::uint32_t i = 0; i < newDict.IndexCount(); ++i) {
        if (!newDict.IndexIsUserIndex(i)) continue;
        if (i >= k) return false;
        if (!oldDict.IndexIsUserIndex(i) || oldDict.IndexKeyLength(i) != newDict.IndexKeyLength(i)) return false;
    }
    return true;
}

}  // namespace

void TqvSrRebuilder::ReleaseObjects(TqvRebuildBlock& b) {
    TqvEngineLock g(engine_);
    if (b.targetCursor && engine_.Cursors().Find(b.targetCursor)) engine_.CursorClose(b.targetCursor);
    b.targetCursor = 0;
    for (std::uint32_t i : b.copiedBindings) engine_.Configuration().KeyProcs().Delete(b.bindingDirectory, b.targetName, i);
    b.copiedBindings.clear();
    if (b.sourceCursor && engine_.Cursors().Find(b.sourceCursor)) engine_.CursorClose(b.sourceCursor);
    b.sourceCursor = 0;
    if (b.clientId) {
        engine_.Clients().Delete(b.clientId);
        engine_.Tables().RemoveUnused();
    }
    b.clientId = 0;
    b.databaseId = 0;
}

void TqvSrRebuilder::Undo(TqvRebuildBlock& b) {
    TqvEngineLock g(engine_);
    if (b.targetCursor) {
        engine_.RelTableLock(b.targetCursor, false, 2);
        engine_.CursorClose(b.targetCursor);
        b.targetCursor = 0;
    }
    for (std::uint32_t i : b.copiedBindings) engine_.Configuration().KeyProcs().Delete(b.bindingDirectory, b.targetName, i);
    b.copiedBindings.clear();
    if (!b.targetName.empty() && b.databaseId) engine_.DeleteTable(b.databaseId, b.targetName);
    if (b.sourceCursor) engine_.RelTableLock(b.sourceCursor, false, 2);
    if (b.status) {
        b.status->MarkFinished();
        statuses_.MarkFinished(b.status->Id());
    }
    ReleaseObjects(b);
}

DBIResult TqvSrRebuilder::Prepare(TqvRebuildKind kind, std::uint32_t databaseId, std::string_view tableName,
                                  std::string_view indexName, std::uint32_t indexNumber,
                                  const TqvDataDictionary* newDictionary, const std::vector<std::string>* fieldMap,
                                  std::int32_t& rebuildId) {
    rebuildId = -1;
    Reap();
    TqvEngineLock g(engine_);
    TqvSrDatabase* db;
    if (DBIResult r = engine_.FindDatabase(databaseId, db)) return r;
    if (db->writable == 0) return dbi::kDatabaseReadOnly;
    if (!QvIsValidTableName(tableName)) return dbi::kInvalidTableName;
    const std::string folderPath = db->folder->osPath;
    const std::uint32_t starter = db->session->client->ClientId();

    auto block = std::make_unique<TqvRebuildBlock>();
    TqvRebuildBlock& b = *block;
    b.kind = kind;
    b.tableName = std::string(tableName);
    b.indexName = std::string(indexName.substr(0, 31));
    b.indexNumber = indexNumber;

    DBIResult result = Guarded([&]() -> DBIResult {
        // A swap cut short earlier must be settled before the table is read.
        TqvSrFolder* dbFolder = db->folder;
        QvRecoverTableSwaps(folderPath,
                            [&](const std::string& name) { return engine_.IsTableOpen(dbFolder, name); });

        // The rebuild's own client, session and database: the starter may
        // detach while the rebuild runs without its cursors going with it.
        std::uint32_t id = kRebuildClientIdBase;
        while (engine_.Clients().Find(id)) ++id;
        auto* client = new TqvSrClient(id, "REBUILD", nullptr);
        engine_.Clients().Insert(client);
        engine_.Sessions().Insert(client->firstSession);
        b.clientId = id;
        TqvSrFolder* folder = engine_.Folders().AddRef(folderPath);
        auto* pdb = new TqvSrDatabase(&engine_, client->firstSession, folder, true, true);
        engine_.Databases().Insert(pdb);
        b.databaseId = pdb->Id();

        const bool reindex = kind == TqvRebuildKind::Reindex;
        if (DBIResult r = engine_.OpenTable(b.databaseId, b.tableName, reindex ? b.indexName : "",
                                            reindex ? indexNumber : 0, true, false, 0, nullptr, b.sourceCursor))
            return r;
        TqvSrCursor* src = engine_.Cursors().Find(b.sourceCursor);
        TqvSrTable* table = src->table;
        b.indexNumber = src->index;

        if (kind == TqvRebuildKind::Restructure && !UserIndexesFit(table->dictionary, *newDictionary))
            return dbi::kInvalidRestructure;

        auto addStatus = [&]() -> DBIResult {
            std::uint32_t count = 0;
            if (DBIResult r = engine_.GetTableRecCount(b.sourceCursor, count)) return r;
            b.status = statuses_.Add(starter, count);
            return 0;
        };
        if (kind != TqvRebuildKind::Restructure)
            if (DBIResult r = addStatus()) return r;
        if (DBIResult r = engine_.AcqTableLock(b.sourceCursor, 2)) return r;
        if (reindex) return 0;

        b.targetName = QvFreeTableName(folderPath, kind == TqvRebuildKind::Pack ? "_PACK" : "_REST");
        TqvDataDictionary dict(table->GetFile(0)->blockSize);
        dict.Assign(kind == TqvRebuildKind::Pack ? table->dictionary : *newDictionary);
        if (DBIResult r = engine_.BuildTable(b.databaseId, false, dict, 0, b.targetName)) {
            b.targetName.clear();  // nothing of ours to delete
            return r;
        }

        // The copy needs the key routines of the user-routine indexes it keeps.
        const TqvDataDictionary& od = table->dictionary;
        TqvKeyProcList& procs = engine_.Configuration().KeyProcs();
        for (std::uint32_t i = 1; i < od.IndexCount(); ++i) {
            if (!od.IndexIsUserIndex(i) || i >= dict.IndexCount() || !dict.IndexIsUserIndex(i)) continue;
            int at = procs.Position(table->folder->path, table->GetName(), i);
            if (at < 0) at = procs.Position(table->folder->osPath, table->GetName(), i);
            if (at < 0)
                RaiseQvExceptionNoArgs(QvExceptionClass::Server, QvTable::Server, kMissingKeyRoutinesMessage);
            TqvKeyProcItem* item = procs.Item(at);
            b.bindingDirectory = item->directory;
            engine_.Configuration().AddKeyProc(item->directory, b.targetName, i, item->dllName, item->proc1Name,
                                               item->proc2Name);
            b.copiedBindings.push_back(i);
        }
        // The bindings stay until the copy is closed: the open table uses them.
        if (DBIResult r = engine_.OpenTable(b.databaseId, b.targetName, "", 0, true, false, 0, nullptr,
                                            b.targetCursor))
            return r;
        if (DBIResult r = engine_.AcqTableLock(b.targetCursor, 2)) return r;

        if (kind == TqvRebuildKind::Restructure) {
            TqvSrCursor* tgt = engine_.Cursors().Find(b.targetCursor);
            b.fieldMap = std::make_unique<TqvSrFieldMapList>(table->dictionary, tgt->table->dictionary);
            if (DBIResult r = b.fieldMap->AddFromStrings(*fieldMap)) return r;
            b.fieldMap->Validate();
            if (DBIResult r = addStatus()) return r;
        }
        return 0;
    });

    if (result != 0) {
        Undo(b);
        return result;
    }
    rebuildId = static_cast<std::int32_t>(b.status->Id());
    std::unique_ptr<TqvSrRebuildBaseThread> thread;
    switch (kind) {
        case TqvRebuildKind::Reindex: thread = std::make_unique<TqvSrReindexThread>(*this, std::move(block)); break;
        case TqvRebuildKind::Pack: thread = std::make_unique<TqvSrPackThread>(*this, std::move(block)); break;
        case TqvRebuildKind::Restructure:
            thread = std::make_unique<TqvSrRestructureThread>(*this, std::move(block));
            break;
    }
    TqvSrRebuildBaseThread* started = thread.get();
    {
        std::lock_guard<std::mutex> tg(threadsLock_);
        threads_.push_back(std::move(thread));
    }
    started->Start();
    return 0;
}

}  // namespace qv
