// The engine's cursor, record and BLOB operations.
#include <algorithm>
#include <cstring>

#include "engine/server/server_cursor_nav.h"

namespace qv {

template <class F>
DBIResult TqvServerEngine::Changing(TqvSrCursor* c, bool needRecord, F&& body) {
    DBIResult r = CheckCanModify(c, needRecord);
    if (r != 0 && r != dbi::kNoTransaction) return r;
    if (r == 0) return Guarded(body);  // inside the user's own transaction
    std::uint32_t tr = 0;
    if (DBIResult s = TransactionStart(c->database->Id(), true, tr)) return s;
    r = Guarded(body);
    if (r == 0)
        r = TransactionCommit(tr);
    else
        TransactionRollback(tr);
    return r;
}

#define QV_FIND_CURSOR(id, c)                       \
    TqvEngineLock engineLock_(*this);               \
    TqvSrCursor* c;                                 \
    if (DBIResult r_ = FindCursor(id, c)) return r_

// ---- positioning ----------------------------------------------------------------------

DBIResult TqvServerEngine::SetToBegin(std::uint32_t cursorId) {
    QV_FIND_CURSOR(cursorId, c);
    SetBOF(c);
    return 0;
}

DBIResult TqvServerEngine::SetToEnd(std::uint32_t cursorId) {
    QV_FIND_CURSOR(cursorId, c);
    SetEOF(c);
    return 0;
}

namespace {
// The key a request gives: the data itself, or built from the data as a record.
DBIResult KeyFromRequest(TqvSrCursor* c, bool direct, std::uint32_t f, std::uint32_t p, const std::uint8_t* data,
                         std::size_t size, std::vector<std::uint8_t>& key) {
    TqvCursorNav& n = Nav(c);
    key.assign(n.keyLength, 0);
    if (!data) return dbi::kInvalidParameter;
    if (direct) {
        if (size < n.keyLength) return dbi::kInvalidParameter;
        std::memcpy(key.data(), data, n.keyLength);
        return 0;
    }
    if (size < c->table->dictionary.GetRecordLength()) return dbi::kInvalidParameter;
    return c->table->BuildKey(c->index, data, f, p, key.data());
}
}  // namespace

DBIResult TqvServerEngine::SetToKey(std::uint32_t cursorId, int searchAction, bool directKey, std::uint32_t f,
                                    std::uint32_t p, const std::uint8_t* data, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (c->index == 0) return dbi::kNoIndex;
    if (searchAction < 0 || searchAction > 2) return dbi::kInvalidParameter;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        std::vector<std::uint8_t> key;
        if (DBIResult r = KeyFromRequest(c, directKey, f, p, data, size, key)) return r;
        Invalidate(n);
        c->reference = 0;
        n.SetPartial(f, p);
        std::uint32_t ref = 0;
        FindKey(n.ictx, key.data(), ref, searchAction, n.path);
        if (n.path.state != qvpsOnEntry) {
            SetBOF(c);
            return dbi::kRecordNotFound;
        }
        if (BeforeRange(n, key.data())) return SetBOF(c), dbi::kRecordNotFound;
        if (AfterRange(n, key.data())) return SetEOF(c), dbi::kRecordNotFound;
        n.key = key;
        n.keyValid = true;
        c->state = kCurCrack;
        n.path.state = qvpsCrackBefore;
        return 0;
    });
}

DBIResult TqvServerEngine::GetBookmark(std::uint32_t cursorId, std::string& bookmark) {
    QV_FIND_CURSOR(cursorId, c);
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        SyncPosition(c, true);
        bookmark.assign(20 + n.keyLength, '\0');
        auto* b = reinterpret_cast<std::uint8_t*>(bookmark.data());
        PutU32(b + 4, c->index);
        b[8] = c->state;
        b[9] = n.keyValid ? 1 : 0;
        PutU32(b + 12, c->reference);
        PutU32(b + 16, n.keyLength);
        if (n.keyValid) std::memcpy(b + 20, n.key.data(), n.keyLength);
        PutU32(b, ElfHash(b + 4, 16 + n.keyLength));
        return 0;
    });
}

namespace {
bool BookmarkFits(TqvSrCursor* c, const std::uint8_t* b, std::size_t size) {
    TqvCursorNav& n = Nav(c);
    if (!b || size < 20 || size < 20 + std::size_t(n.keyLength)) return false;
    return GetU32(b + 4) == c->index && GetU32(b + 16) == n.keyLength && b[8] >= kCurBOF && b[8] <= kCurOnRecord &&
           GetU32(b) == ElfHash(b + 4, 16 + n.keyLength);
}
}  // namespace

DBIResult TqvServerEngine::SetToBookmark(std::uint32_t cursorId, const std::uint8_t* b, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!BookmarkFits(c, b, size)) return dbi::kBookmarkMismatch;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        Invalidate(n);
        c->state = b[8];
        n.keyValid = b[9] != 0;
        c->reference = GetU32(b + 12);
        std::memcpy(n.key.data(), b + 20, n.keyLength);
        SyncPosition(c, true);
        return 0;
    });
}

DBIResult TqvServerEngine::CompareBookmarks(std::uint32_t cursorId, const std::string& s1, const std::string& s2,
                                            int& result) {
    QV_FIND_CURSOR(cursorId, c);
    result = 0;
    auto* b1 = reinterpret_cast<const std::uint8_t*>(s1.data());
    auto* b2 = reinterpret_cast<const std::uint8_t*>(s2.data());
    if (!BookmarkFits(c, b1, s1.size()) || !BookmarkFits(c, b2, s2.size())) return dbi::kBookmarkMismatch;
    const std::uint8_t st1 = b1[8], st2 = b2[8];
    if (st1 == kCurBOF)
        result = st2 == kCurBOF ? 0 : -1;
    else if (st1 == kCurEOF)
        result = st2 == kCurEOF ? 0 : 1;
    else if (st2 == kCurBOF)
        result = 1;
    else if (st2 == kCurEOF)
        result = -1;
    else if (GetU32(b1 + 12) == GetU32(b2 + 12))
        result = 0;
    else {
        TqvCursorNav& n = Nav(c);
        int r = CompareWith(n, b1 + 20, b2 + 20, 0, 0);
        result = r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    return 0;
}

DBIResult TqvServerEngine::SetToCursor(std::uint32_t cursorId, std::uint32_t sourceId) {
    QV_FIND_CURSOR(cursorId, c);
    TqvSrCursor* s;
    if (DBIResult r = FindCursor(sourceId, s)) return r;
    if (s->table != c->table) return dbi::kOtherTable;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        TqvCursorNav& sn = Nav(s);
        if (s->index == c->index) {
            c->reference = s->reference;
            c->state = s->state;
            n.keyValid = sn.keyValid;
            n.key = sn.key;
            n.path = sn.path;
            return 0;
        }
        SyncPosition(s, true);
        if (s->state != kCurOnRecord) return dbi::kNoCurrentRecord;
        c->reference = s->reference;
        c->state = kCurOnRecord;
        n.keyValid = false;
        Invalidate(n);
        SyncPosition(c, true);
        return 0;
    });
}

DBIResult TqvServerEngine::SwitchToIndex(std::uint32_t cursorId, std::string_view name, std::uint32_t number,
                                         bool keep) {
    QV_FIND_CURSOR(cursorId, c);
    const TqvDataDictionary& d = c->table->dictionary;
    std::uint32_t index = number;
    if (!name.empty()) {
        int i = d.GetIndexNumber(std::string(name.substr(0, 31)));
        if (i < 0) return dbi::kIndexMissing;
        index = static_cast<std::uint32_t>(i);
    } else if (number >= d.IndexCount()) {
        return dbi::kIndexMissing;
    }
    if (index == c->index) return 0;
    return Guarded([&]() -> DBIResult {
        SyncPosition(c, true);
        if (keep && c->state != kCurOnRecord) return dbi::kNoCurrentRecord;
        c->index = index;
        TqvCursorNav& n = Nav(c);
        FillIndexInfo(c->table, index, n);
        Invalidate(n);
        n.keyValid = false;
        n.rangeActive = false;
        n.start = n.end = RangeBound{};
        if (keep)
            SyncPosition(c, true);
        else
            SetBOF(c);
        return 0;
    });
}

DBIResult TqvServerEngine::SetRange(std::uint32_t cursorId, bool direct, const RangeEnd& start, const RangeEnd& end) {
    QV_FIND_CURSOR(cursorId, c);
    if (c->index == 0) return dbi::kNoIndex;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        RangeBound s, e;
        for (auto [in, out] : {std::pair{&start, &s}, std::pair{&end, &e}}) {
            if (!in->data) continue;
            if (DBIResult r = KeyFromRequest(c, direct, in->fieldCount, in->partialLength, in->data, in->size, out->key))
                return r;
            out->set = true;
            out->fieldCount = in->fieldCount;
            out->partialLength = in->partialLength;
            out->inclusive = in->inclusive;
        }
        n.start = s;
        n.end = e;
        SetBOF(c);
        n.rangeActive = true;
        return 0;
    });
}

DBIResult TqvServerEngine::ResetRange(std::uint32_t cursorId) {
    QV_FIND_CURSOR(cursorId, c);
    if (c->index == 0) return dbi::kNoIndex;
    Nav(c).rangeActive = false;
    return 0;
}

DBIResult TqvServerEngine::CursorClone(std::uint32_t cursorId, bool writable, std::uint32_t& newCursorId) {
    QV_FIND_CURSOR(cursorId, c);
    newCursorId = 0;
    Nav(c);
    auto* clone = new TqvSrCursor(c->table, c->database, c->index, c->writable != 0 && writable);
    clone->state = c->state;
    clone->reference = c->reference;
    clone->nav = c->nav->Clone();
    cursors_.Insert(clone);
    newCursorId = clone->Id();
    return 0;
}

// ---- reading --------------------------------------------------------------------------

namespace {
std::uint8_t* Target(TqvSrCursor* c, std::uint8_t* buffer) { return buffer ? buffer : Nav(c).record.data(); }

// Moves on (or back) one record; the cursor's position is updated only on success.
DBIResult Move(TqvSrCursor* c, bool forward, bool lock, std::uint8_t* buffer, TqvForwardWalk* walk = nullptr,
               TqvRecordReader* reader = nullptr) {
    TqvCursorNav& n = Nav(c);
    if (forward && c->state == kCurEOF) return dbi::kAtEnd;
    if (!forward && c->state == kCurBOF) return dbi::kAtBegin;
    RangeBound& b = forward ? n.start : n.end;
    const std::uint8_t fromState = forward ? kCurBOF : kCurEOF;
    if (n.rangeActive && b.set && c->state == fromState) {
        n.key = b.key;
        n.SetPartial(b.fieldCount, b.partialLength);
        std::vector<std::uint8_t> probe = b.key;
        std::uint32_t r = 0;
        int mode = forward ? (b.inclusive ? 2 : 1) : (b.inclusive ? 1 : 2);
        FindKey(n.ictx, probe.data(), r, mode, n.path);
        if (forward && n.path.state == qvpsAfterLast) {
            SetEOF(c);
            return dbi::kAtEnd;
        }
        if (n.path.state == qvpsOnEntry) n.path.state = qvpsCrackBefore;
    } else {
        SyncPosition(c, forward);
    }
    n.ClearPartial();
    // The cursor's own scratch key: a walk allocates nothing per record.
    std::vector<std::uint8_t>& key = n.scratchKey;
    key.resize(n.keyLength);
    std::uint32_t ref = 0;
    bool got = !forward ? PriorKey(n.ictx, key.data(), ref, n.path)
               : walk != nullptr ? walk->Next(key.data(), ref, n.path)
                                 : NextKey(n.ictx, key.data(), ref, n.path);
    if (!got || (forward ? AfterRange(n, key.data()) : BeforeRange(n, key.data()))) {
        if (forward)
            SetEOF(c);
        else
            SetBOF(c);
        return forward ? dbi::kAtEnd : dbi::kAtBegin;
    }
    if (reader != nullptr)
        reader->Read(ref, Target(c, buffer));
    else
        c->table->ReadRecord(ref, Target(c, buffer));
    // The cursor stands on the record even when its lock is refused: its path
    // has moved there, and a retried get must find this record, not skip it.
    n.key = key;
    n.keyValid = true;
    c->state = kCurOnRecord;
    c->reference = ref;
    if (!c->table->LockRecord(c->sessionId, c->Id(), lock, ref)) return dbi::kRecordLocked;
    return 0;
}
}  // namespace

DBIResult TqvServerEngine::RecordGetNext(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!BufferFits(buffer, size, c->table->dictionary.GetRecordLength())) return dbi::kInvalidParameter;
    return Guarded([&] { return Move(c, true, lock, buffer); });
}

DBIResult TqvServerEngine::RecordGetPrev(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!BufferFits(buffer, size, c->table->dictionary.GetRecordLength())) return dbi::kInvalidParameter;
    return Guarded([&] { return Move(c, false, lock, buffer); });
}

DBIResult TqvServerEngine::RecordGet(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!BufferFits(buffer, size, c->table->dictionary.GetRecordLength())) return dbi::kInvalidParameter;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        // The record this cursor has just inserted is where it was put.
        if (!(n.insertedHere && n.path.state == qvpsNone && c->state == kCurOnRecord)) SyncPosition(c, true);
        if (c->state != kCurOnRecord) return dbi::kNoCurrentRecord;
        c->table->ReadRecord(c->reference, Target(c, buffer));
        if (!c->table->LockRecord(c->sessionId, c->Id(), lock, c->reference)) return dbi::kRecordLocked;
        return 0;
    });
}

DBIResult TqvServerEngine::RecordSkipBack(std::uint32_t cursorId, std::uint32_t count) {
    QV_FIND_CURSOR(cursorId, c);
    return Guarded([&]() -> DBIResult {
        for (std::uint32_t i = 0; i < count; ++i)
            if (DBIResult r = Move(c, false, false, nullptr)) return r;
        return 0;
    });
}

DBIResult TqvServerEngine::RecordGetForKey(std::uint32_t cursorId, bool direct, std::uint32_t f, std::uint32_t p,
                                           const std::uint8_t* data, std::size_t size, std::uint8_t* record,
                                           std::size_t recordSize) {
    QV_FIND_CURSOR(cursorId, c);
    if (!direct && c->index == 0) return dbi::kInvalidIndexType;
    if (!BufferFits(record, recordSize, c->table->dictionary.GetRecordLength())) return dbi::kInvalidParameter;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        // The cursor's own scratch key: look-ups one after another allocate nothing.
        std::vector<std::uint8_t>& key = n.scratchKey;
        if (DBIResult r = KeyFromRequest(c, direct, f, p, data, size, key)) return r;
        Invalidate(n);
        n.SetPartial(f, p);
        std::uint32_t ref = 0;
        bool found = FindKey(n.ictx, key.data(), ref, 0, n.path);
        n.ClearPartial();
        if (!found) return SetEOF(c), dbi::kRecordNotFound;
        if (BeforeRange(n, key.data())) return SetBOF(c), dbi::kRecordNotFound;
        if (AfterRange(n, key.data())) return SetEOF(c), dbi::kRecordNotFound;
        if (record) c->table->ReadRecord(ref, record);
        n.key = key;
        n.keyValid = true;
        c->state = kCurOnRecord;
        c->reference = ref;
        return 0;
    });
}

DBIResult TqvServerEngine::RecordGetBatch(std::uint32_t cursorId, std::uint32_t maxCount, std::uint32_t slotSize,
                                          std::uint8_t* buffer, std::size_t size, std::uint32_t& count) {
    QV_FIND_CURSOR(cursorId, c);
    count = 0;
    // The count and slot size come from the client: they must fit the buffer.
    if (!buffer || slotSize < c->table->dictionary.GetRecordLength() ||
        std::uint64_t(maxCount) * slotSize > size)
        return dbi::kInvalidParameter;
    return Guarded([&]() -> DBIResult {
        // One access of the buffer manager and one walk of the index for
        // the whole batch: nothing writes while it is read.
        TqvCursorNav& n = Nav(c);
        TqvAccessScope access(n.ictx.file);
        std::unique_ptr<TqvForwardWalk> walk;
        std::unique_ptr<TqvRecordReader> reader;
        while (count < maxCount) {
            // The first move may place the cursor (a range's start) first.
            if (count == 1 && !walk) {
                walk = std::make_unique<TqvForwardWalk>(n.ictx);
                reader = std::make_unique<TqvRecordReader>(c->table->GetFile(0));
            }
            if (Move(c, true, false, buffer + std::size_t(count) * slotSize, walk.get(), reader.get()) != 0) break;
            ++count;
        }
        return 0;
    });
}

DBIResult TqvServerEngine::RecordExtractKey(std::uint32_t cursorId, const std::uint8_t* record, std::size_t size,
                                            std::string& key) {
    QV_FIND_CURSOR(cursorId, c);
    if (c->index == 0) return dbi::kNoIndex;
    const std::uint32_t len = c->table->dictionary.GetRecordLength();
    if (record && size < len) return dbi::kInvalidParameter;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        if (!record) {
            SyncPosition(c, true);
            if (c->state != kCurOnRecord) return dbi::kNoCurrentRecord;
            c->table->ReadRecord(c->reference, n.record.data());
            record = n.record.data();
        }
        key.assign(n.keyLength, '\0');
        return c->table->BuildKey(c->index, record, 0, 0, reinterpret_cast<std::uint8_t*>(key.data()));
    });
}

DBIResult TqvServerEngine::GetTableRecCount(std::uint32_t cursorId, std::uint32_t& count) {
    QV_FIND_CURSOR(cursorId, c);
    count = 0;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        if (!n.rangeActive) {
            TqvTableInfo info;
            GetTableInfo(c->table->GetFile(0), info);
            count = info.recordCount;
            return 0;
        }
        // Walk the index only; the position is put back afterwards.
        const std::uint8_t state = c->state;
        const std::uint32_t ref = c->reference;
        const bool keyValid = n.keyValid;
        const std::vector<std::uint8_t> key = n.key;
        const TqvCursorPath path = n.path;
        TqvCursorPath walk;
        std::vector<std::uint8_t> k(n.keyLength);
        std::uint32_t r = 0;
        if (n.start.set) {
            k = n.start.key;
            n.SetPartial(n.start.fieldCount, n.start.partialLength);
            FindKey(n.ictx, k.data(), r, n.start.inclusive ? 2 : 1, walk);
            if (walk.state == qvpsOnEntry) walk.state = qvpsCrackBefore;
        } else {
            walk.state = qvpsBeforeFirst;
        }
        n.ClearPartial();
        if (walk.state != qvpsAfterLast)
            while (NextKey(n.ictx, k.data(), r, walk) && !AfterRange(n, k.data())) ++count;
        c->state = state;
        c->reference = ref;
        n.keyValid = keyValid;
        n.key = key;
        n.path = path;
        return 0;
    });
}

namespace {
// Entries of the index before the range's first (0 without a range start).
std::uint32_t RangeStartRank(TqvCursorNav& n) {
    if (!n.rangeActive || !n.start.set) return 0;
    std::vector<std::uint8_t> k = n.start.key;
    std::uint32_t r = 0;
    TqvCursorPath walk;
    n.SetPartial(n.start.fieldCount, n.start.partialLength);
    FindKey(n.ictx, k.data(), r, n.start.inclusive ? 2 : 1, walk);
    n.ClearPartial();
    return KeyRank(n.ictx, walk);
}
}  // namespace

DBIResult TqvServerEngine::GetSeqNo(std::uint32_t cursorId, std::uint32_t& seqNo) {
    QV_FIND_CURSOR(cursorId, c);
    seqNo = 0;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        SyncPosition(c, true);
        if (c->state != kCurOnRecord) return dbi::kNoCurrentRecord;
        if (n.path.state != qvpsOnEntry) {
            Invalidate(n);
            SyncPosition(c, true);
            if (c->state != kCurOnRecord || n.path.state != qvpsOnEntry) return dbi::kNoCurrentRecord;
        }
        n.ClearPartial();
        const std::uint32_t rank = KeyRank(n.ictx, n.path), base = RangeStartRank(n);
        if (rank < base) return dbi::kNoCurrentRecord;
        seqNo = rank - base + 1;
        return 0;
    });
}

DBIResult TqvServerEngine::SetToSeqNo(std::uint32_t cursorId, std::uint32_t seqNo) {
    QV_FIND_CURSOR(cursorId, c);
    if (seqNo == 0) return dbi::kAtEnd;
    return Guarded([&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        n.ClearPartial();
        const std::uint64_t target = std::uint64_t(RangeStartRank(n)) + seqNo - 1;
        if (target > 0xFFFFFFFFull) return dbi::kAtEnd;
        std::vector<std::uint8_t> key(n.keyLength);
        std::uint32_t ref = 0;
        TqvCursorPath walk;
        if (!KeyAtRank(n.ictx, static_cast<std::uint32_t>(target), key.data(), ref, walk)) return dbi::kAtEnd;
        if (AfterRange(n, key.data())) return dbi::kAtEnd;
        n.path = walk;
        n.key = key;
        n.keyValid = true;
        c->state = kCurOnRecord;
        c->reference = ref;
        return 0;
    });
}

// ---- changing ---------------------------------------------------------------------------

DBIResult TqvServerEngine::RecordInsert(std::uint32_t cursorId, bool lock, std::uint8_t* record, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!record || size < c->table->dictionary.GetRecordLength()) return dbi::kInvalidParameter;
    return Changing(c, false, [&]() -> DBIResult {
        std::uint32_t ref;
        if (DBIResult r = c->table->InsertRecord(c, record, lock, ref)) return r;
        TqvCursorNav& n = Nav(c);
        c->state = kCurOnRecord;
        c->reference = ref;
        Invalidate(n);
        // The new record's key gives its place whenever a move needs it; a
        // run of inserts never does, so it is not looked up now. Outside
        // the range the cursor goes to an end at once, as a re-find does.
        if (c->index == 0) {
            RefKey(n.key.data(), ref);
            n.keyValid = true;
        } else {
            n.keyValid = c->table->BuildKey(c->index, record, 0, 0, n.key.data()) == 0;
        }
        n.ClearPartial();
        if (n.keyValid && !BeforeRange(n, n.key.data()) && !AfterRange(n, n.key.data())) {
            n.insertedHere = true;
        } else {
            n.keyValid = false;
            SyncPosition(c, true);
        }
        return 0;
    });
}

DBIResult TqvServerEngine::RecordInsertBatch(std::uint32_t cursorId, std::uint32_t count, std::uint8_t* records,
                                             std::uint32_t recordSize, std::size_t size,
                                             std::vector<DBIResult>& results) {
    QV_FIND_CURSOR(cursorId, c);
    results.clear();
    if (!records || recordSize < c->table->dictionary.GetRecordLength() || std::uint64_t(count) * recordSize > size)
        return dbi::kInvalidParameter;
    DBIResult check = CheckCanModify(c, false);
    if (check == 0) return dbi::kTransactionActive;
    if (check != dbi::kNoTransaction) return check;
    std::uint32_t tr = 0;
    if (DBIResult s = TransactionStart(c->database->Id(), true, tr)) return s;
    results.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t ref;
        DBIResult r = Guarded([&] { return c->table->InsertRecord(c, records + std::size_t(i) * recordSize, false, ref); });
        results.push_back(r);
        if (r == 0)
            TransactionSaveProgress(tr);
        else
            TransactionDiscardProgress(tr);
    }
    TransactionCommit(tr);
    return 0;
}

DBIResult TqvServerEngine::RecordModify(std::uint32_t cursorId, const std::uint8_t* record, std::size_t size,
                                        bool releaseLock) {
    QV_FIND_CURSOR(cursorId, c);
    if (!record || size < c->table->dictionary.GetRecordLength()) return dbi::kInvalidParameter;
    Guarded([&]() -> DBIResult { SyncPosition(c, true); return 0; });
    return Changing(c, true, [&]() -> DBIResult {
        if (DBIResult r = c->table->ModifyRecord(c, record, releaseLock)) return r;
        TqvCursorNav& n = Nav(c);
        n.keyValid = false;
        Invalidate(n);
        SyncPosition(c, true);
        return 0;
    });
}

DBIResult TqvServerEngine::RecordDelete(std::uint32_t cursorId, std::uint8_t* buffer, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (!BufferFits(buffer, size, c->table->dictionary.GetRecordLength())) return dbi::kInvalidParameter;
    Guarded([&]() -> DBIResult { SyncPosition(c, true); return 0; });
    return Changing(c, true, [&]() -> DBIResult {
        TqvCursorNav& n = Nav(c);
        if (buffer) c->table->ReadRecord(c->reference, buffer);
        if (!n.keyValid) {
            if (c->index == 0)
                RefKey(n.key.data(), c->reference);
            else {
                c->table->ReadRecord(c->reference, n.record.data());
                n.keyValid = c->table->BuildKey(c->index, n.record.data(), 0, 0, n.key.data()) == 0;
            }
        }
        if (c->index == 0) n.keyValid = true;
        if (DBIResult r = c->table->DeleteRecord(c)) return r;
        c->state = n.keyValid ? kCurCrack : kCurBOF;
        c->reference = 0;
        Invalidate(n);
        SyncPosition(c, true);
        return 0;
    });
}

DBIResult TqvServerEngine::SetTableAutoIncValue(std::uint32_t cursorId, std::uint32_t value) {
    QV_FIND_CURSOR(cursorId, c);
    return Changing(c, false, [&]() -> DBIResult {
        SetAutoIncValue(c->table->GetFile(0), value);
        return 0;
    });
}

// ---- BLOBs --------------------------------------------------------------------------------

namespace {
TbtdFileInfo* BlobFile(TqvSrCursor* c) { return c->table->GetFile(c->table->dictionary.BlobFile()); }
}  // namespace

DBIResult TqvServerEngine::CreateBLOB(std::uint32_t cursorId, std::uint32_t& blobNr) {
    QV_FIND_CURSOR(cursorId, c);
    blobNr = 0;
    return Changing(c, false, [&]() -> DBIResult {
        AddBLOB(BlobFile(c), blobNr);
        return 0;
    });
}

DBIResult TqvServerEngine::DeleteBLOB(std::uint32_t cursorId, std::uint32_t blobNr) {
    QV_FIND_CURSOR(cursorId, c);
    return Changing(c, false, [&]() -> DBIResult {
        ::qv::FreeBLOB(BlobFile(c), blobNr);
        return 0;
    });
}

DBIResult TqvServerEngine::FreeBLOB(std::uint32_t cursorId, std::uint32_t blobNr) {
    QV_FIND_CURSOR(cursorId, c);
    bool freed = false;
    DBIResult r = CheckCanModify(c, false);
    if (r != 0 && r != dbi::kNoTransaction) return r;
    if (r == dbi::kNoTransaction) {
        // Every reader frees its BLOB when done: outside a transaction look
        // first, so that only an empty BLOB pays for the implicit (journaled,
        // synced) transaction.
        bool empty = false;
        r = Guarded([&]() -> DBIResult {
            empty = BLOBIsEmpty(BlobFile(c), blobNr);
            return 0;
        });
        if (r != 0 || !empty) return r;
    }
    // The implicit transaction commits either way; 13058 only reports that
    // the empty BLOB went.
    r = Changing(c, false, [&]() -> DBIResult {
        freed = FreeBLOBIfEmpty(BlobFile(c), blobNr);
        return 0;
    });
    return r == 0 && freed ? dbi::kBlobModified : r;
}

DBIResult TqvServerEngine::GetBLOBLength(std::uint32_t cursorId, std::uint32_t blobNr, std::uint32_t& length) {
    QV_FIND_CURSOR(cursorId, c);
    length = 0;
    return Guarded([&]() -> DBIResult {
        int error = 0;
        length = ::qv::GetBLOBLength(BlobFile(c), blobNr, error);
        return error ? dbi::kBlobLength : 0;
    });
}

DBIResult TqvServerEngine::ReadBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t offset,
                                    std::int64_t length, std::uint8_t* buffer, std::size_t size,
                                    std::uint32_t& bytesRead) {
    QV_FIND_CURSOR(cursorId, c);
    bytesRead = 0;
    if (offset < 0) return dbi::kBlobOffset;
    if (length < 0 || !buffer) return dbi::kBlobLength;
    length = std::min<std::int64_t>(length, static_cast<std::int64_t>(size));  // never past the reply buffer
    return Guarded([&]() -> DBIResult {
        int error = 0;
        QVTblReadBLOB(BlobFile(c), blobNr, offset, length, buffer, bytesRead, error);
        return error ? dbi::kBlobLength : 0;
    });
}

DBIResult TqvServerEngine::WriteBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t offset,
                                     std::int64_t length, const std::uint8_t* data, std::size_t size) {
    QV_FIND_CURSOR(cursorId, c);
    if (offset < 0 || offset > kQvMaxBLOBLength) return dbi::kBlobOffset;
    if (length < 0) return dbi::kBlobLength;
    // A length beyond the data the client actually sent is cut to that data.
    length = std::min<std::int64_t>(length, static_cast<std::int64_t>(data ? size : 0));
    if (offset + length > kQvMaxBLOBLength) return dbi::kBlobLength;
    return Changing(c, false, [&]() -> DBIResult {
        QVTblWriteBLOB(BlobFile(c), blobNr, offset, length, data);
        return 0;
    });
}

DBIResult TqvServerEngine::TruncateBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t newLength) {
    QV_FIND_CURSOR(cursorId, c);
    if (newLength < 0 || newLength > kQvMaxBLOBLength) return dbi::kBlobLength;
    return Changing(c, false, [&]() -> DBIResult {
        QVTblTruncateBLOB(BlobFile(c), blobNr, newLength);
        return 0;
    });
}

DBIResult TqvServerEngine::AddFileBLOB(std::uint32_t cursorId, std::string_view fileName, std::uint32_t& blobNr) {
    QV_FIND_CURSOR(cursorId, c);
    blobNr = 0;
    return Changing(c, false, [&]() -> DBIResult {
        ::qv::AddFileBLOB(BlobFile(c), std::string(fileName.substr(0, 255)), blobNr);
        return 0;
    });
}

DBIResult TqvServerEngine::CopyBLOB(std::uint32_t sourceId, std::uint32_t sourceBlob, std::uint32_t targetId,
                                    std::uint32_t& targetBlob, std::uint32_t bufferSize) {
    QV_FIND_CURSOR(sourceId, s);
    TqvSrCursor* t;
    if (DBIResult r = FindCursor(targetId, t)) return r;
    if (bufferSize == 0) return dbi::kInvalidParameter;
    std::string fileName;
    bool isFile = false;
    if (DBIResult r = Guarded([&]() -> DBIResult {
            isFile = GetFileBLOBName(BlobFile(s), sourceBlob, fileName);
            return 0;
        }))
        return r;
    if (isFile) {
        // The new file BLOB's number goes back to the caller for its record.
        std::uint32_t nr = 0;
        DBIResult r = AddFileBLOB(targetId, fileName, nr);
        if (r == 0) targetBlob = nr;
        return r;
    }
    std::uint32_t length = 0;
    if (DBIResult r = GetBLOBLength(sourceId, sourceBlob, length)) return r;
    std::vector<std::uint8_t> chunk(bufferSize);
    for (std::uint32_t at = 0; at < length;) {
        std::uint32_t want = std::min(bufferSize, length - at), got = 0;
        if (DBIResult r = ReadBLOB(sourceId, sourceBlob, at, want, chunk.data(), chunk.size(), got)) return r;
        if (got == 0) return dbi::kBlobLength;
        if (DBIResult r = WriteBLOB(targetId, targetBlob, at, got, chunk.data(), got)) return r;
        at += got;
    }
    return 0;
}

#undef QV_FIND_CURSOR

}  // namespace qv
