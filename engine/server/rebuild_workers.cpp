// The rebuild workers. Each record step runs under the engine lock: the
// worker's table accesses then never overlap another thread's engine
// operation, and the buffers the step gets stay in the cache until it ends.
#include <algorithm>
#include <memory>

#include "engine/server/rebuild.h"
#include "engine/server/rebuild_swap.h"
#include "engine/server/server_cursor_nav.h"
#include "engine/storage/records.h"

namespace qv {

namespace {
constexpr std::uint32_t kProgressEvery = 10;
constexpr std::uint32_t kBlobCopyChunk = 2048;
constexpr std::uint32_t kTransactionRetryMs = 5;

// A folder has one transaction at a time: a rebuild that finds another one
// running (a client's, or a second rebuild's in the same folder) waits its
// turn instead of failing. Called without the engine lock held.
DBIResult StartTransaction(TqvServerEngine& engine, std::uint32_t databaseId, bool failSafe, std::uint32_t& tr,
                           plat::Thread& thread) {
    for (;;) {
        DBIResult r = engine.TransactionStart(databaseId, failSafe, tr);
        if (r != dbi::kTransactionActive) return r;
        if (thread.Terminated()) return dbi::kRebuildAborted;
        plat::Sleep(kTransactionRetryMs);
    }
}

// Failures of reading the table being rebuilt where it is damaged: the
// record that meets one is left out, and the rebuild goes on with the rest.
bool SourceDamaged(DBIResult r) {
    switch (r) {
        case 9998: case 10029: case 10030: case 11896:  // BLOB numbers, offsets and blocks
        case 15366: case 15367:                         // unreadable, or past the end of a cut-short file
        case 15409: case 15412: case 15413: case 15421: case 15422: case 15424: case 15431:
            return true;
        default:
            return false;
    }
}

}  // namespace

TqvSrRebuildBaseThread::~TqvSrRebuildBaseThread() {
    // The thread uses the block until it ends: stop and join it first.
    Terminate();
    WaitFor();
}

void TqvSrRebuildBaseThread::Execute() {
    if (block_->kind == TqvRebuildKind::Reindex)
        owner_.ReindexWorker(*block_, *this);
    else
        owner_.RebuildWorker(*block_, *this);
}

// ---- reindex -------------------------------------------------------------------------------------

void TqvSrRebuilder::ReindexWorker(TqvRebuildBlock& b, plat::Thread& thread) {
    std::uint32_t read = 0, written = 0, tr = 0;
    DBIResult result = 0;
    try {
        // Fail-safe: should the process die half-way, the journal puts the
        // old index back the next time a table of the folder is opened.
        result = StartTransaction(engine_, b.databaseId, true, tr, thread);
        if (result == 0) {
            TqvEngineLock g(engine_);
            TqvSrCursor* c = engine_.Cursors().Find(b.sourceCursor);
            if (!c) {
                result = dbi::kInvalidHandle;
            } else {
                TqvCursorNav n;
                FillIndexInfo(c->table, b.indexNumber, n);
                ClearIndex(n.ictx);
            }
        }
        std::uint32_t ref = 0;
        std::vector<std::uint8_t> record;
        // The whole index stays in the transaction until it commits: saving
        // progress part-way would write pages a refusal could not take back.
        while (result == 0) {
            if (thread.Terminated()) {
                result = dbi::kRebuildAborted;
                break;
            }
            TqvEngineLock g(engine_);
            TqvSrCursor* c = engine_.Cursors().Find(b.sourceCursor);
            if (!c) {
                result = dbi::kInvalidHandle;
                break;
            }
            TqvSrTable* t = c->table;
            record.resize(t->dictionary.GetRecordLength());
            std::uint32_t next = 0;
            NextRecord(t->GetFile(0), ref, next, record.data());
            if (next == 0) break;
            ref = next;
            ++read;
            TqvCursorNav n;
            FillIndexInfo(t, b.indexNumber, n);
            if (b.indexNumber == 0) {
                RefKey(n.key.data(), ref);
            } else if (DBIResult r = t->BuildKey(b.indexNumber, record.data(), 0, 0, n.key.data())) {
                result = r;
                break;
            }
            if (!AddKey(n.ictx, n.key.data(), ref)) {
                result = dbi::kKeyViolation;
                break;
            }
            ++written;
            if (read % kProgressEvery == 0) b.status->Update(read, written, 0);
        }
    } catch (const std::exception& e) {
        if (result == 0) result = TqvServerEngine::ExceptionToResult(e);
    }
    {
        TqvEngineLock g(engine_);
        if (tr != 0) {
            // A refused key leaves the index as it was, not half filled.
            if (result == 0)
                result = engine_.TransactionCommit(tr);
            else
                engine_.TransactionRollback(tr);
        }
        engine_.RelTableLock(b.sourceCursor, false, 2);
    }
    ReleaseObjects(b);
    b.status->Update(read, written, result);
    b.status->MarkFinished();
    statuses_.MarkFinished(b.status->Id());
}

// ---- pack and restructure --------------------------------------------------------------------------

DBIResult TqvSrRebuilder::ConvertField(TqvRebuildBlock& b, const std::uint8_t* sourceRecord,
                                       std::uint8_t* targetRecord, int pair, std::vector<std::uint8_t>& buffer) {
    const TqvSrFieldRecord& s = b.fieldMap->GetSource(pair);
    const TqvSrFieldRecord& t = b.fieldMap->GetTarget(pair);
    const auto st = static_cast<TqvFieldType>(s.type), tt = static_cast<TqvFieldType>(t.type);
    if (!sourceRecord || !targetRecord)
        return ConvertFieldValue(nullptr, nullptr, st, tt, s.length, t.length) == 0 ? 0 : dbi::kIncompatibleFields;
    const TqvDataDictionary& sd = b.fieldMap->SourceDict();
    const TqvDataDictionary& td = b.fieldMap->TargetDict();
    if (sd.IsRecordFieldNull(s.number, sourceRecord)) return 0;  // the target stays null
    std::vector<std::uint8_t> value(t.length, 0);
    if (ConvertFieldValue(sourceRecord + s.offset, value.data(), st, tt, s.length, t.length) != 0)
        return dbi::kIncompatibleFields;
    if (QvIsBlobType(tt)) {
        std::uint32_t nr = 0;
        if (DBIResult r = engine_.CreateBLOB(b.targetCursor, nr)) return r;
        if (QvIsBlobType(st)) {
            if (DBIResult r = engine_.CopyBLOB(b.sourceCursor, GetU32(sourceRecord + s.offset), b.targetCursor, nr,
                                               static_cast<std::uint32_t>(buffer.size())))
                return r;
        } else if (DBIResult r = engine_.WriteBLOB(b.targetCursor, nr, 0, s.length, sourceRecord + s.offset,
                                                   s.length)) {
            return r;
        }
        PutU32(value.data(), nr);
    }
    td.SetRecordField(t.number, targetRecord, value.data());
    return 0;
}

namespace {

// Every required field still null gets its zero value, a required BLOB an
// empty BLOB of its own.
DBIResult FillRequired(TqvServerEngine& engine, std::uint32_t targetCursor, const TqvDataDictionary& d,
                       std::uint8_t* record) {
    for (std::uint32_t i = 0; i < d.FieldCount(); ++i) {
        if (!d.FieldRequired(i) || !d.IsRecordFieldNull(i, record)) continue;
        std::vector<std::uint8_t> zero(d.FieldLength(i), 0);
        if (QvIsBlobType(d.FieldType(i))) {
            std::uint32_t nr = 0;
            if (DBIResult r = engine.CreateBLOB(targetCursor, nr)) return r;
            if (DBIResult r = engine.WriteBLOB(targetCursor, nr, 0, 0, nullptr, 0)) return r;
            PutU32(zero.data(), nr);
        }
        d.SetRecordField(i, record, zero.data());
    }
    return 0;
}

}  // namespace

void TqvSrRebuilder::RebuildWorker(TqvRebuildBlock& b, plat::Thread& thread) {
    const bool restructure = b.fieldMap != nullptr;
    std::uint32_t read = 0, written = 0, tr = 0, maxAuto = 0;
    DBIResult result = 0;
    std::vector<std::string> oldExtensions, newExtensions;
    std::vector<std::uint8_t> blobBuffer(kBlobCopyChunk);
    try {
        std::uint32_t autoField = 0;
        bool hasAuto = false;
        std::vector<std::uint8_t> source, target;
        {
            TqvEngineLock g(engine_);
            TqvSrCursor* s = engine_.Cursors().Find(b.sourceCursor);
            TqvSrCursor* t = engine_.Cursors().Find(b.targetCursor);
            if (!s || !t) {
                result = dbi::kInvalidHandle;
            } else {
                hasAuto = t->table->dictionary.HasAutoIncField(autoField);
                source.resize(s->table->dictionary.GetRecordLength());
                target.resize(t->table->dictionary.GetRecordLength());
                for (std::uint32_t i = 0; i < s->table->dictionary.FileCount(); ++i)
                    oldExtensions.push_back(i == 0 ? "QVD" : s->table->dictionary.FileExtension(i));
                for (std::uint32_t i = 0; i < t->table->dictionary.FileCount(); ++i)
                    newExtensions.push_back(i == 0 ? "QVD" : t->table->dictionary.FileExtension(i));
            }
        }
        if (result == 0) result = StartTransaction(engine_, b.databaseId, false, tr, thread);
        // Damaged data blocks are passed over, so a damaged table gives up
        // only the records it can no longer give.
        std::unique_ptr<TqvSalvageWalk> walk;
        while (result == 0) {
            if (thread.Terminated()) {
                result = dbi::kRebuildAborted;
                break;
            }
            TqvEngineLock g(engine_);
            TqvSrCursor* s = engine_.Cursors().Find(b.sourceCursor);
            TqvSrCursor* t = engine_.Cursors().Find(b.targetCursor);
            if (!s || !t) {
                result = dbi::kInvalidHandle;
                break;
            }
            if (!walk) walk = std::make_unique<TqvSalvageWalk>(s->table->GetFile(0));
            std::uint32_t ref = 0;
            if (!walk->Next(ref, source.data())) break;
            ++read;
            const TqvDataDictionary& sd = s->table->dictionary;
            std::vector<std::uint32_t> made;  // target BLOBs of this record
            const TqvDataDictionary& td = t->table->dictionary;
            if (!restructure) {
                // Equal layouts: the record is copied as it is, each BLOB into a new one.
                std::copy(source.begin(), source.end(), target.begin());
                for (std::uint32_t i = 0; i < sd.FieldCount() && result == 0; ++i) {
                    if (!QvIsBlobType(sd.FieldType(i)) || sd.IsRecordFieldNull(i, source.data())) continue;
                    std::uint32_t nr = 0;
                    result = engine_.CreateBLOB(b.targetCursor, nr);
                    if (result == 0) made.push_back(nr);
                    if (result == 0)
                        result = engine_.CopyBLOB(b.sourceCursor, GetU32(source.data() + sd.FieldOffset(i)),
                                                  b.targetCursor, nr, kBlobCopyChunk);
                    if (result == 0) {
                        std::uint8_t v[4];
                        PutU32(v, nr);
                        td.SetRecordField(i, target.data(), v);
                    }
                }
            } else {
                td.InitRecord(target.data());
                for (int p = 0; p < b.fieldMap->Count() && result == 0; ++p)
                    result = ConvertField(b, source.data(), target.data(), p, blobBuffer);
                if (result == 0) result = FillRequired(engine_, b.targetCursor, td, target.data());
            }
            std::uint32_t newRef = 0;
            if (result == 0) result = t->table->InsertRecord(t, target.data(), false, newRef);
            // A pack copies keys that were unique: a clash can only come from damage.
            if (SourceDamaged(result) || (!restructure && result == dbi::kKeyViolation)) {
                for (std::uint32_t nr : made) engine_.DeleteBLOB(b.targetCursor, nr);
                result = 0;
                continue;
            }
            if (result != 0) break;
            if (hasAuto) {
                std::uint8_t v[4] = {};
                if (!td.GetRecordField(autoField, target.data(), v)) maxAuto = std::max(maxAuto, GetU32(v));
            }
            ++written;
            if (read % kProgressEvery == 0) {
                result = engine_.TransactionSaveProgress(tr);
                b.status->Update(read, written, 0);
            }
        }
        if (result == 0 && hasAuto) {
            TqvEngineLock g(engine_);
            TqvSrCursor* s = engine_.Cursors().Find(b.sourceCursor);
            TqvSrCursor* t = engine_.Cursors().Find(b.targetCursor);
            if (s && t) {
                // The old counter carries over too: values of deleted records
                // must not come back for new ones.
                const std::uint32_t old = GetU32(GetHeaderBlock(s->table->GetFile(0), false) + hdr::kAutoInc);
                SetAutoIncValue(t->table->GetFile(0), std::max(maxAuto, old));
            }
        }
    } catch (const std::exception& e) {
        if (result == 0) result = TqvServerEngine::ExceptionToResult(e);
    }

    {
        TqvEngineLock g(engine_);
        if (tr != 0) {
            if (result == 0)
                result = engine_.TransactionCommit(tr);
            else
                engine_.TransactionRollback(tr);
        }
        engine_.RelTableLock(b.sourceCursor, false, 2);
        engine_.RelTableLock(b.targetCursor, false, 2);
        engine_.CursorClose(b.targetCursor);
        b.targetCursor = 0;
        for (std::uint32_t i : b.copiedBindings)
            engine_.Configuration().KeyProcs().Delete(b.bindingDirectory, b.targetName, i);
        b.copiedBindings.clear();
        engine_.CursorClose(b.sourceCursor);
        b.sourceCursor = 0;

        TqvSrDatabase* db = nullptr;
        engine_.FindDatabase(b.databaseId, db);
        if (result != 0) {
            engine_.DeleteTable(b.databaseId, b.targetName);
        } else if (!db) {
            result = dbi::kInvalidHandle;
        } else if (engine_.IsTableOpen(db->folder, b.tableName)) {
            // Someone still has the table open: the copy stays under its own name.
            result = dbi::kTableOpen;
        } else {
            const std::string folder = db->folder->osPath;
            result = Guarded([&]() -> DBIResult {
                QvSwapTableFiles({folder, b.tableName, b.targetName, QvFreeTableName(folder, "_OLD"), oldExtensions,
                                  newExtensions});
                return 0;
            });
            // A failed swap put the old table back; the copy is not wanted.
            if (result != 0) engine_.DeleteTable(b.databaseId, b.targetName);
        }
    }
    ReleaseObjects(b);
    b.status->Update(read, written, result);
    b.status->MarkFinished();
    statuses_.MarkFinished(b.status->Id());
}

}  // namespace qv
