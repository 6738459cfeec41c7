// The open-table object: its files, dictionary, key routines and locks.
#include "engine/base/engine_string_tables.h"
#include "engine/server/server_engine.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/btree.h"

namespace qv {

namespace {
constexpr int kMissingKeyRoutines = 187;
}

TqvSrTable::TqvSrTable(TqvServerEngine* engine, std::string name, TqvSrFolder* f, TqvBufferManager* bm, bool sh)
    : bufferManager(bm), dictionary(4096), folder(f), shared(sh ? 1 : 0), engine_(engine),
      name_(QvLongToShStr(name)) {
    SetUnlinkFromAll(true);
    ++folder->refCount;  // the table's files live in the folder: keep it while open
}

TqvSrTable::~TqvSrTable() {
    try {
        CloseFiles();
    } catch (...) {
        // A close that fails leaves nothing to undo; the table goes anyway.
    }
    ReleaseKeyRoutines();
    cursors.Clear();
    engine_->Folders().Release(folder->Id());
}

std::string TqvSrTable::BaseFilePath() const { return QvJoinPath(folder->osPath, QvMakeFileName(name_, "QVD")); }

void TqvSrTable::MakeFileRecord(std::uint32_t n, std::uint8_t flag, bool encrypted) {
    std::string ext = n == 0 ? std::string("QVD") : dictionary.FileExtension(n);
    auto info = NewFileInfo(BaseFilePath(), ext, n == 0 ? 0 : dictionary.FileBlockSize(n));
    info->bufferManager = bufferManager;
    info->mode = flag;
    info->encrypted = encrypted;
    if (files.size() <= n) files.resize(n + 1);
    files[n] = std::move(info);
}

void TqvSrTable::OpenFiles(std::uint8_t flag) {
    files.clear();
    files.reserve(8);
    MakeFileRecord(0, flag, false);
    OpenTableFile(files[0].get(), true, false, false, false);
    GetHeaderBlock(files[0].get(), false);
    dictionary.SetTableName(name_);
    dictionary.ReadDictionaryFromFile(files[0].get());
    for (std::uint32_t i = 1; i < dictionary.FileCount(); ++i) {
        MakeFileRecord(i, flag, false);
        files[i]->blockSize = 0;  // taken from the file's own header
        OpenTableFile(files[i].get(), true, false, false, false);
        GetHeaderBlock(files[i].get(), false);
    }
}

bool TqvSrTable::IndexHeadersMatch() {
    for (std::uint32_t n = 0; n < dictionary.IndexCount(); ++n) {
        const std::uint32_t fn = dictionary.IndexFileNumber(n);
        if (fn >= files.size() || !files[fn]) return false;
        if (!IndexDefinitionMatches(files[fn].get(), n, dictionary.IndexKeyLength(n), dictionary.IndexAllowDuplicates(n)))
            return false;
    }
    return true;
}

void TqvSrTable::CreateTableFile(std::uint32_t n, std::uint32_t transactionId, std::uint8_t flag, bool encrypted) {
    if (n > 0) MakeFileRecord(n, flag, encrypted);
    TbtdFileInfo* f = files[n].get();
    f->transaction = transactionId;
    f->blockSize = dictionary.FileBlockSize(n);
    OpenTableFile(f, true, false, true, true);
    std::uint8_t* header = GetFreshBlock(f, 0);
    InitHeaderBlock(header, f->blockSize, dictionary.GetRecordLength(), dictionary.IndexCount(),
                    dictionary.FieldCount(), encrypted);
    MarkBlockDirty(f, 0);
    CreateIndexHeaderBlock(f);
}

void TqvSrTable::CreateFiles(std::uint32_t transactionId, std::uint8_t flag, const TqvDataDictionary& dict) {
    dict.CheckValid();
    bool encrypted = engine_->Configuration().GeneralInfo()->UseEncrypt && dict.Encrypted();
    files.clear();
    dictionary.Unlock();
    dictionary.Assign(dict);
    dictionary.SetTableName(name_);
    MakeFileRecord(0, flag, encrypted);
    for (std::uint32_t i = 0; i < dictionary.FileCount(); ++i) CreateTableFile(i, transactionId, flag, encrypted);
    dictionary.WriteDictionaryToFile(files[0].get());
    for (std::uint32_t n = 0; n < dictionary.IndexCount(); ++n)
        DefineIndex(files[dictionary.IndexFileNumber(n)].get(), n, dictionary.IndexKeyLength(n), false,
                    dictionary.IndexAllowDuplicates(n));
}

void TqvSrTable::CloseFiles() {
    for (auto& f : files) {
        if (!f) continue;
        bufferManager->RemoveFile(f.get());
        if (IsTableFileOpen(f.get())) CloseTableFile(f.get());
    }
    files.clear();
}

void TqvSrTable::BindFiles(std::uint32_t transactionId) {
    for (auto& f : files)
        if (f) f->transaction = transactionId;
}

void TqvSrTable::ResolveKeyRoutines() {
    std::uint32_t n = dictionary.IndexCount();
    keyBuildRoutines.assign(n, nullptr);
    keyCompareRoutines.assign(n, nullptr);
    TqvKeyProcList& procs = engine_->Configuration().KeyProcs();
    for (std::uint32_t i = 1; i < n; ++i) {
        if (!dictionary.IndexIsUserIndex(i)) continue;
        int at = procs.Position(folder->path, GetName(), i);
        if (at < 0) at = procs.Position(folder->osPath, GetName(), i);
        TqvKeyProcItem* item = at < 0 ? nullptr : procs.Item(at);
        if (!item || !item->Load()) {
            ReleaseKeyRoutines();
            RaiseQvExceptionNoArgs(QvExceptionClass::Server, QvTable::Server, kMissingKeyRoutines);
        }
        boundRoutines_.push_back(item);
        keyBuildRoutines[i] = item->proc1;
        keyCompareRoutines[i] = item->proc2;
    }
}

void TqvSrTable::ReleaseKeyRoutines() {
    for (TqvKeyProcItem* item : boundRoutines_) item->Unload();
    boundRoutines_.clear();
    keyBuildRoutines.clear();
    keyCompareRoutines.clear();
}

DBIResult TqvSrTable::Empty(std::uint32_t transactionId) {
    TqvDataDictionary copy;
    copy.Assign(dictionary);
    CloseFiles();
    CreateFiles(transactionId, 0, copy);
    DBIResult r = engine_->TransactionCommit(transactionId);
    CloseFiles();
    OpenFiles(0);
    return r;
}

// ---- locks --------------------------------------------------------------------------------

DBIResult TqvSrTable::AcquireTableLock(std::uint32_t session, int kind) {
    if (kind == 1) return locks.AcquireReadLock(session) ? 0 : dbi::kRecordLocked;
    if (kind == 2) return locks.AcquireWriteLock(session) ? 0 : dbi::kRecordLocked;
    return 0;
}

DBIResult TqvSrTable::ReleaseTableLock(std::uint32_t session, std::uint32_t cursor, int kind, bool all) {
    if (all) {
        locks.ReleaseWriteLock(session);
        locks.ReleaseReadLock(session);
        locks.ReleaseCursorRecordLocks(cursor);
        return 0;
    }
    if (kind == 1) return locks.ReleaseReadLock(session) ? 0 : dbi::kUnlockFailed;
    if (kind == 2) return locks.ReleaseWriteLock(session) ? 0 : dbi::kUnlockFailed;
    return 0;
}

bool TqvSrTable::IsTableLockedBy(std::uint32_t session, int kind) const {
    if (kind == 1) return locks.ReadLockState(session) == 1;
    if (kind == 2) return locks.WriteLockState(session) == 1;
    return false;
}

bool TqvSrTable::LockRecord(std::uint32_t session, std::uint32_t cursor, bool lock, std::uint32_t reference) {
    if (!lock) return true;
    return locks.AcquireRecordLock(session, cursor, static_cast<std::int32_t>(reference));
}

void TqvSrTable::ReleaseRecordLocks(std::uint32_t cursor, std::uint32_t reference) {
    if (reference != 0)
        locks.ReleaseRecordLock(cursor, static_cast<std::int32_t>(reference));
    else
        locks.ReleaseCursorRecordLocks(cursor);
}

void TqvSrTableList::RemoveUnused() {
    for (int i = Count() - 1; i >= 0; --i) {
        TqvSrTable* t = Item(i);
        // A table of a folder in a transaction keeps its files until the
        // transaction ends (its pages hold the transaction's writes).
        if (t && t->cursors.Count() == 0 && t->folder->transactionId == 0) Delete(t->Id());
    }
}

}  // namespace qv
