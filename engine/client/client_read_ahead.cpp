// Read-ahead for forward scans of a client table cursor. After two unlocked
// next moves in a row, or at once for the first record of the table or
// range, records come from the server in batches (request 2057), growing
// while the scan goes on; the moves then take them from the batch without a
// request.
//
// The server cursor stands on the batch's last record (or past the end)
// while this cursor stands on an earlier one. Before any other request of
// this cursor the server cursor is stepped back to it (one request, 2059),
// unless the request places the cursor anew (then the batch just goes). Before any request
// that changes data, whichever cursor sends it, every cursor's batch goes
// the same way, so a change is seen by the next move of every cursor: the
// steps back run while the rows are still those the batch was read from.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine/client/client_session.h"
#include "engine/client/client_table.h"

namespace qv {

namespace {

constexpr std::uint32_t kFirstBatch = 16, kFirstBatchFromStart = 32, kLargestBatch = 256, kBatchBytes = 256 * 1024;

// The cursors holding a batch.
std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::vector<TQVClientTable*>& Registry() {
    static std::vector<TQVClientTable*> cursors;
    return cursors;
}

void Register(TQVClientTable* t) {
    std::lock_guard<std::mutex> g(RegistryMutex());
    auto& r = Registry();
    if (std::find(r.begin(), r.end(), t) == r.end()) r.push_back(t);
}

void Unregister(TQVClientTable* t) {
    std::lock_guard<std::mutex> g(RegistryMutex());
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), t), r.end());
}

// Requests that place the cursor anew: a batch before them needs no steps back.
bool PlacesCursor(std::uint32_t id) {
    switch (id) {
        case QvnmSetToBeginId: case QvnmSetToEndId: case QvnmSetToBookmarkId: case QvnmSetToKeyId:
        case QvnmSetRangeId: case QvnmRecordGetForKeyId: case QvnmCursorCloseId: case QvnmRecordInsertId:
        case QvnmSetToSeqNoId:
            return true;
        default: return false;
    }
}

// Requests that neither use nor move the cursor's place.
bool KeepsPlace(std::uint32_t id) {
    switch (id) {
        case QvnmReadBLOBId: case QvnmGetBLOBLengthId: case QvnmGetTableRecCountId: case QvnmGetTableDictionaryId:
        case QvnmCompareBookmarksId:
            return true;
        default: return false;
    }
}

}  // namespace

bool TQVClientTable::RequestChangesData(std::uint32_t id) {
    switch (id) {
        case QvnmAttachServerId: case QvnmDetachServerId: case QvnmDatabaseCloseId: case QvnmDatabaseOpenNoAliasId:
        case QvnmGetRebuildStatusId: case QvnmOpenTableId: case QvnmAcqTableLockId: case QvnmRelTableLockId:
        case QvnmIsTableLockedId: case QvnmGetTableDictionaryId: case QvnmGetTableRecCountId: case QvnmReadBLOBId:
        case QvnmGetBLOBLengthId: case QvnmRecordGetId: case QvnmRecordGetNextId: case QvnmRecordGetPrevId:
        case QvnmRecordRelLockId: case QvnmRecordExtractKeyId: case QvnmRecordGetForKeyId: case QvnmRecordGetBatchId:
        case QvnmRecordSkipBackId:
            return false;
        default:
            // Every cursor positioning request only reads.
            return !(id >= QvnmSetToBeginId && id <= QvnmSetToSeqNoId);
    }
}

void TQVClientTable::SyncAllReadAhead() {
    std::vector<TQVClientTable*> cursors;
    {
        std::lock_guard<std::mutex> g(RegistryMutex());
        cursors = Registry();
    }
    for (TQVClientTable* t : cursors) t->SyncReadAhead();
}

void TQVClientTable::DropReadAhead() {
    if (ahead_.count == 0 && ahead_.records.empty()) return;
    ahead_.count = ahead_.used = 0;
    ahead_.metEnd = false;
    ahead_.records.clear();
    ahead_.records.shrink_to_fit();
    Unregister(this);
}

DBIResult TQVClientTable::SyncReadAhead() {
    if (ahead_.count == 0) return 0;
    // The server cursor is on the batch's last record, or past the end when
    // the batch met it; this cursor is on record `used`.
    std::uint32_t steps = ahead_.count + (ahead_.metEnd ? 1 : 0) - ahead_.used;
    DropReadAhead();
    sequentialNexts_ = 0;
    if (steps == 0) return 0;
    // One request takes the server cursor back; a server that does not
    // know it gets one prior move per record.
    if (!noSkipBack_) {
        TqvRequestWriter w;
        w.U32(cursorId_).U32(steps);
        ++requests_;
        const DBIResult rc = database_->Request(QvnmRecordSkipBackId, w, nullptr);
        if (rc != kDbiErrNotSupported) {
            if (rc != 0) SetState(kCursorUnpositioned);
            return rc;
        }
        noSkipBack_ = true;
    }
    for (; steps > 0; --steps) {
        TqvRequestWriter w;
        w.U32(cursorId_).U32(0).U32(0).U8(0);
        ++requests_;
        if (DBIResult rc = database_->Request(QvnmRecordGetPrevId, w, nullptr)) {
            SetState(kCursorUnpositioned);
            return rc;
        }
    }
    return 0;
}

DBIResult TQVClientTable::BeforeRequest(std::uint32_t id) {
    serverAtBegin_ = false;
    atStart_ = false;
    if (id != QvnmRecordGetNextId && id != QvnmRecordGetBatchId) {
        sequentialNexts_ = 0;
        ahead_.nextSize = 0;
    }
    if (ahead_.count == 0 || id == QvnmRecordGetBatchId || KeepsPlace(id)) return 0;
    if (PlacesCursor(id)) {
        DropReadAhead();
        return 0;
    }
    return SyncReadAhead();
}

int TQVClientTable::NextFromReadAhead(DBIResult& rc) {
    std::uint8_t* record = ActiveRecord();
    const std::uint32_t len = RecordLength();
    if (ahead_.count != 0) {
        if (ahead_.used < ahead_.count) {
            if (record != nullptr) std::memcpy(record, ahead_.records.data() + std::size_t(ahead_.used) * len, len);
            ++ahead_.used;
            rc = 0;
            return 0;
        }
        // All handed out: the server cursor is where this one is, on the
        // last record or, when the batch met the end, past it.
        const bool atEnd = ahead_.metEnd;
        DropReadAhead();
        if (atEnd) {
            rc = kDbiErrEof;
            return 0;
        }
    } else if (!unlockedMove_ || len == 0 || (!atStart_ && ++sequentialNexts_ < 2)) {
        if (!unlockedMove_) sequentialNexts_ = 0;
        return 1;
    }
    if (!unlockedMove_) return 1;
    // From the start of the table or range the walk is under way at once:
    // a short range then comes in one batch.
    const std::uint32_t first = atStart_ ? kFirstBatchFromStart : kFirstBatch;
    ahead_.nextSize = std::min({ahead_.nextSize == 0 ? first : ahead_.nextSize * 4, kLargestBatch,
                                std::max<std::uint32_t>(1, kBatchBytes / len)});
    TqvRequestWriter w;
    w.U32(cursorId_).U32(len).U32(ahead_.nextSize);
    std::vector<std::uint8_t> reply;
    rc = Request(QvnmRecordGetBatchId, w, &reply);
    if (rc != 0) return 0;
    const std::uint32_t got = reply.size() >= 4 ? GetU32(reply.data()) : 0;
    if (got == 0 || reply.size() < 4 + std::size_t(got) * len) {
        // Nothing after this record: the server cursor has met the end.
        rc = kDbiErrEof;
        return 0;
    }
    ahead_.records.assign(reply.begin() + 4, reply.begin() + 4 + std::size_t(got) * len);
    ahead_.count = got;
    ahead_.used = 0;
    ahead_.metEnd = got < ahead_.nextSize;
    Register(this);
    return NextFromReadAhead(rc);
}

// A block read takes the records a batch holds in one copy. Without a
// filter nothing looks at each record on the way (the server keeps the
// ranges), so a move within the batch is nothing but that record's copy.
DBIResult TQVClientTable::ReadBlock(std::uint32_t& count, void* buffer) {
    const std::uint32_t len = RecordLength();
    if (buffer == nullptr || FiltersActive() || len == 0 || len != RecordSize() ||
        static_cast<std::uint64_t>(count) * len > 0xFFFF)
        return TBaseTable::ReadBlock(count, buffer);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    DBIResult rc = 0;
    while (done < count) {
        if (State() == kCursorOnRecord && ahead_.used < ahead_.count) {
            const std::uint32_t n = std::min(ahead_.count - ahead_.used, count - done);
            std::memcpy(out + std::size_t(done) * len, ahead_.records.data() + std::size_t(ahead_.used) * len,
                        std::size_t(n) * len);
            ahead_.used += n;
            done += n;
            continue;
        }
        // The first move, a new batch, or the end: one move as any other.
        rc = GetNextRecord(0, out + std::size_t(done) * len, nullptr);
        if (rc != 0) break;
        ++done;
    }
    count = done;
    return SetResult(rc);
}

}  // namespace qv
