// Server cursors: positions in an index, records with their keys and locks,
// and BLOBs. Every cursor keeps its key as its position, so other cursors'
// changes move it only as far as its key moved.
#include <algorithm>
#include <cstring>

#include "engine/server/server_cursor_nav.h"

namespace qv {

int UserCompare(const std::uint8_t* a, const std::uint8_t* b, const void* context) {
    const auto* u = static_cast<const TqvUserKeyContext*>(context);
    return reinterpret_cast<TqvUserKeyCompareProc>(u->compare)(a, b, u->keyLength);
}

void FillIndexInfo(TqvSrTable* t, std::uint32_t index, TqvCursorNav& n) {
    const TqvDataDictionary& d = t->dictionary;
    n.ictx = TqvIndexContext{};
    n.ictx.file = t->GetFile(d.IndexFileNumber(index));
    n.ictx.index = index;
    n.keyLength = d.IndexKeyLength(index);
    n.ictx.keyLength = n.keyLength;
    n.kctx = TqvKeyContext{n.keyLength, &d, index, 0, 0, d.IndexAscending(index), d.IndexIgnoreCase(index)};
    if (index == 0) {
        n.ictx.compare = QvCompareRefKeysProc;
    } else if (d.IndexIsUserIndex(index)) {
        n.uctx = {index < t->keyCompareRoutines.size() ? t->keyCompareRoutines[index] : nullptr, n.keyLength};
        n.ictx.compare = UserCompare;
    } else {
        n.ictx.compare = QvKeyCompareProcFor(d, index);
    }
    n.Repoint();
    n.key.assign(n.keyLength, 0);
    n.record.assign(d.GetRecordLength(), 0);
}

void TqvCursorNav::FilesReopened(TqvSrTable* table, std::uint32_t index) {
    const bool range = rangeActive;
    const RangeBound s = start, e = end;
    FillIndexInfo(table, index, *this);
    rangeActive = range;
    start = s;
    end = e;
    keyValid = false;
    InvalidatePath();
}

TqvCursorNav& Nav(TqvSrCursor* c) {
    if (!c->nav) {
        auto n = std::make_unique<TqvCursorNav>();
        FillIndexInfo(c->table, c->index, *n);
        c->nav = std::move(n);
    }
    return static_cast<TqvCursorNav&>(*c->nav);
}

void Invalidate(TqvCursorNav& n) { n.InvalidatePath(); }

void SetBOF(TqvSrCursor* c) {
    TqvCursorNav& n = Nav(c);
    c->state = kCurBOF;
    c->reference = 0;
    Invalidate(n);
    n.keyValid = false;
}

void SetEOF(TqvSrCursor* c) {
    TqvCursorNav& n = Nav(c);
    c->state = kCurEOF;
    c->reference = 0;
    Invalidate(n);
    n.keyValid = false;
}

void RefKey(std::uint8_t* key, std::uint32_t ref) { PutU32(key, ref); }

int CompareWith(TqvCursorNav& n, const std::uint8_t* a, const std::uint8_t* b, std::uint32_t f, std::uint32_t p) {
    std::uint32_t of = n.kctx.fieldCount, op = n.kctx.partialLength;
    n.kctx.fieldCount = f;
    n.kctx.partialLength = p;
    int r = n.ictx.compare(a, b, n.ictx.compareContext);
    n.kctx.fieldCount = of;
    n.kctx.partialLength = op;
    return r;
}

bool BeforeRange(TqvCursorNav& n, const std::uint8_t* k) {
    if (!n.rangeActive || !n.start.set) return false;
    int c = CompareWith(n, k, n.start.key.data(), n.start.fieldCount, n.start.partialLength);
    return c < 0 || (c == 0 && !n.start.inclusive);
}

bool AfterRange(TqvCursorNav& n, const std::uint8_t* k) {
    if (!n.rangeActive || !n.end.set) return false;
    int c = CompareWith(n, k, n.end.key.data(), n.end.fieldCount, n.end.partialLength);
    return c > 0 || (c == 0 && !n.end.inclusive);
}

// Re-finds the cursor in its index from its key when its path was lost.
void SyncPosition(TqvSrCursor* c, bool beforeWhenLost) {
    TqvCursorNav& n = Nav(c);
    if (n.path.state != qvpsNone) return;
    if (c->state == kCurBOF) {
        n.path.state = qvpsBeforeFirst;
        return;
    }
    if (c->state == kCurEOF) {
        n.path.state = qvpsAfterLast;
        return;
    }
    if (c->state == kCurOnRecord && !n.keyValid) {
        if (c->index == 0) {
            RefKey(n.key.data(), c->reference);
            n.keyValid = true;
        } else {
            c->table->ReadRecord(c->reference, n.record.data());
            n.keyValid = c->table->BuildKey(c->index, n.record.data(), 0, 0, n.key.data()) == 0;
        }
    }
    if (!n.keyValid) {
        if (beforeWhenLost)
            SetBOF(c);
        else
            SetEOF(c);
        SyncPosition(c, beforeWhenLost);
        return;
    }
    n.ClearPartial();
    std::vector<std::uint8_t> probe = n.key;
    std::uint32_t ref = c->state == kCurOnRecord ? c->reference : 0;
    bool found = FindKey(n.ictx, probe.data(), ref, 2, n.path);
    if (found && (c->state != kCurOnRecord || ref == c->reference)) {
        if (BeforeRange(n, probe.data())) return SetBOF(c), SyncPosition(c, true);
        if (AfterRange(n, probe.data())) return SetEOF(c), SyncPosition(c, false);
    }
    switch (n.path.state) {
        case qvpsBeforeFirst:
            c->state = kCurBOF;
            c->reference = 0;
            break;
        case qvpsOnEntry:
            if (found && c->state == kCurOnRecord && ref == c->reference) break;
            // Standing on a neighbour: the cursor's record is gone, so it sits
            // on the crack before that neighbour.
            n.path.state = qvpsCrackBefore;
            c->state = kCurCrack;
            c->reference = 0;
            break;
        case qvpsCrackBefore:
        case qvpsCrackAfter:
            c->state = kCurCrack;
            c->reference = 0;
            break;
        case qvpsAfterLast:
            c->state = kCurEOF;
            c->reference = 0;
            break;
        default:
            break;
    }
}

bool BufferFits(const std::uint8_t* buffer, std::size_t size, std::uint32_t need) {
    return buffer == nullptr || size >= need;
}

DBIResult CheckCanModify(TqvSrCursor* c, bool needRecord) {
    TqvSrTable* t = c->table;
    if (c->writable == 0) return dbi::kTableReadOnly;
    if (t->locks.AnyReadLock() || t->locks.WriteLockState(c->sessionId) == 2) return dbi::kFileLocked;
    if (needRecord) {
        if (c->state != kCurOnRecord) return dbi::kNoCurrentRecord;
        if (t->locks.RecordLockState(c->Id(), static_cast<std::int32_t>(c->reference)) == 2)
            return dbi::kRecordLocked;
    }
    if (c->database->transactionId == 0) return dbi::kNoTransaction;
    return 0;
}


// ---- table-level record routines ----------------------------------------------------------

void TqvSrCursor::SyncPosition(bool beforeWhenLost) { ::qv::SyncPosition(this, beforeWhenLost); }
DBIResult TqvSrCursor::CheckCanModify(bool needRecord) { return ::qv::CheckCanModify(this, needRecord); }
void TqvSrTable::GetIndexInfo(std::uint32_t index, TqvCursorNav& nav) { FillIndexInfo(this, index, nav); }

void TqvSrTable::NextRecordInFileOrder(std::uint32_t reference, std::uint32_t& next, std::uint8_t* buffer) {
    NextRecord(GetFile(0), reference, next, buffer);
}

void TqvSrTable::ReadRecord(std::uint32_t reference, std::uint8_t* buffer) {
    ::qv::ReadRecord(GetFile(0), reference, buffer);
}

DBIResult TqvSrTable::BuildKey(std::uint32_t index, const std::uint8_t* record, std::uint32_t f, std::uint32_t p,
                               std::uint8_t* key) {
    const TqvDataDictionary& d = dictionary;
    if (d.IndexIsUserIndex(index)) {
        void* build = index < keyBuildRoutines.size() ? keyBuildRoutines[index] : nullptr;
        if (!build) return dbi::kKeyViolation;
        std::uint32_t len = p ? p : d.IndexKeyLength(index);
        return reinterpret_cast<TqvUserKeyBuildProc>(build)(index, record, key, len) ? 0 : dbi::kKeyViolation;
    }
    const TqvIndexDescriptor& x = d.Index(index);
    const std::uint32_t all = static_cast<std::uint32_t>(x.keyFieldCount);
    std::uint32_t count;
    if (f > 0)
        count = std::min(f, p > 0 && all > 0 ? all - 1 : all);
    else
        count = p > 0 ? 0 : all;
    d.InitKey(index, key);
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const TqvFieldDescriptor& fd = d.Field(x.fields[i]);
        if (!d.IsRecordFieldNull(fd.number, record)) {
            std::memcpy(key + at, record + fd.offset, fd.length);
            d.SetKeyFieldNotNull(index, key, i);
        }
        at += fd.length;
    }
    if (p > 0 && count < all) {
        const TqvFieldDescriptor& fd = d.Field(x.fields[count]);
        if (!d.IsRecordFieldNull(fd.number, record)) {
            if (fd.type < 46) return dbi::kInvalidFieldType;
            std::uint32_t bytes = std::min<std::uint32_t>(fd.type == 50 ? 2 * p : p, fd.length);
            std::memcpy(key + at, record + fd.offset, bytes);
            d.SetKeyFieldNotNull(index, key, count);
        }
    }
    return 0;
}

void TqvSrTable::NotifyCursors(TqvSrCursor* except, int kind, std::uint32_t index, std::uint32_t reference) {
    for (int i = 0; i < cursors.Count(); ++i) {
        TqvSrCursor* c = cursors.Item(i);
        if (c == except) continue;
        if (kind == 2 && c->index != index) continue;
        TqvCursorNav& n = Nav(c);
        Invalidate(n);
        if (kind != 0 && c->state == kCurOnRecord && c->reference == reference) {
            // Its record left this place: keep the old key and stand on the crack.
            if (c->index == 0) RefKey(n.key.data(), reference);
            if (!n.keyValid && c->index != 0) {
                // The key cannot be rebuilt from a record that is gone.
                c->state = kCurBOF;
            } else {
                n.keyValid = true;
                c->state = kCurCrack;
            }
            c->reference = 0;
        }
        SyncPosition(c, true);
    }
}

namespace {

// Keys written so far by an insert, to be taken back when a later one is refused.
struct KeyUndo {
    TqvSrTable* table;
    std::uint32_t reference;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> added;

    void Run() {
        for (auto it = added.rbegin(); it != added.rend(); ++it) {
            TqvCursorNav tmp;
            FillIndexInfo(table, it->first, tmp);
            DeleteKey(tmp.ictx, it->second.data(), reference);
        }
    }
};

}  // namespace

DBIResult TqvSrTable::InsertRecord(TqvSrCursor* c, std::uint8_t* record, bool lock, std::uint32_t& reference) {
    reference = 0;
    const TqvDataDictionary& d = dictionary;
    if (!d.RequiredFieldsPresent(record)) return dbi::kFieldRequired;
    std::uint32_t autoField;
    if (d.HasAutoIncField(autoField)) {
        std::vector<std::uint8_t> v(d.FieldLength(autoField));
        bool isNull = d.GetRecordField(autoField, record, v.data());
        if (isNull || GetU32(v.data()) == 0) {
            PutU32(v.data(), NextAutoIncValue(GetFile(0)));
            d.SetRecordField(autoField, record, v.data());
        }
    }
    std::uint32_t ref = 0;
    AddRecord(GetFile(0), ref, record);
    KeyUndo undo{this, ref, {}};
    DBIResult result = 0;
    try {
        for (std::uint32_t i = 0; i < d.IndexCount() && result == 0; ++i) {
            TqvCursorNav tmp;
            FillIndexInfo(this, i, tmp);
            if (i == 0) {
                RefKey(tmp.key.data(), ref);
            } else if (DBIResult r = BuildKey(i, record, 0, 0, tmp.key.data())) {
                if (d.IndexIsUserIndex(i)) continue;  // a user routine may give no key
                result = r;
                break;
            }
            if (!AddKey(tmp.ictx, tmp.key.data(), ref)) {
                result = dbi::kKeyViolation;
                break;
            }
            undo.added.emplace_back(i, tmp.key);
        }
        if (result == 0 && lock && !LockRecord(c->sessionId, c->Id(), true, ref)) result = dbi::kRecordLocked;
    } catch (...) {
        undo.Run();
        ::qv::DeleteRecord(GetFile(0), ref);
        throw;
    }
    if (result != 0) {
        // A refused insert takes back its own record and keys, so that a
        // later commit of the user's transaction keeps nothing of it.
        undo.Run();
        ::qv::DeleteRecord(GetFile(0), ref);
        return result;
    }
    NotifyCursors(c, 0, 0, ref);
    reference = ref;
    return 0;
}

DBIResult TqvSrTable::ModifyRecord(TqvSrCursor* c, const std::uint8_t* record, bool releaseLock) {
    const TqvDataDictionary& d = dictionary;
    if (!d.RequiredFieldsPresent(record)) return dbi::kFieldRequired;
    const std::uint32_t ref = c->reference;
    if (locks.RecordLockState(c->Id(), static_cast<std::int32_t>(ref)) == 2) return dbi::kRecordLocked;
    std::vector<std::uint8_t> old(d.GetRecordLength());
    ::qv::ReadRecord(GetFile(0), ref, old.data());
    struct Change {
        std::uint32_t index;
        std::vector<std::uint8_t> oldKey, newKey;
        bool hadOld, hasNew, deleted = false, added = false;
    };
    std::vector<Change> changes;
    auto undo = [&] {
        for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
            TqvCursorNav tmp;
            FillIndexInfo(this, it->index, tmp);
            if (it->added) DeleteKey(tmp.ictx, it->newKey.data(), ref);
            if (it->deleted) AddKey(tmp.ictx, it->oldKey.data(), ref);
        }
    };
    DBIResult result = 0;
    try {
        for (std::uint32_t i = 1; i < d.IndexCount() && result == 0; ++i) {
            TqvCursorNav tmp;
            FillIndexInfo(this, i, tmp);
            Change ch{i, std::vector<std::uint8_t>(tmp.keyLength), std::vector<std::uint8_t>(tmp.keyLength), false,
                      false};
            ch.hadOld = BuildKey(i, old.data(), 0, 0, ch.oldKey.data()) == 0;
            ch.hasNew = BuildKey(i, record, 0, 0, ch.newKey.data()) == 0;
            if (!d.IndexIsUserIndex(i) && (!ch.hadOld || !ch.hasNew)) {
                result = ch.hasNew ? dbi::kKeyViolation : BuildKey(i, record, 0, 0, ch.newKey.data());
                break;
            }
            bool differ = ch.hadOld != ch.hasNew ||
                          (ch.hadOld && tmp.ictx.compare(ch.oldKey.data(), ch.newKey.data(), tmp.ictx.compareContext) != 0);
            if (!differ) continue;
            changes.push_back(ch);
            Change& cur = changes.back();
            if (cur.hadOld) {
                if (!DeleteKey(tmp.ictx, cur.oldKey.data(), ref)) {
                    result = dbi::kKeyViolation;
                    break;
                }
                cur.deleted = true;
            }
            if (cur.hasNew) {
                if (!AddKey(tmp.ictx, cur.newKey.data(), ref)) {
                    result = dbi::kKeyViolation;
                    break;
                }
                cur.added = true;
            }
        }
    } catch (...) {
        undo();
        throw;
    }
    if (result != 0) {
        undo();
        return result;
    }
    UpdateRecord(GetFile(0), ref, record);
    for (const Change& ch : changes) NotifyCursors(c, 2, ch.index, ref);
    if (releaseLock) locks.ReleaseRecordLock(c->Id(), static_cast<std::int32_t>(ref));
    return 0;
}

DBIResult TqvSrTable::DeleteRecord(TqvSrCursor* c) {
    const TqvDataDictionary& d = dictionary;
    const std::uint32_t ref = c->reference;
    if (locks.RecordLockState(c->Id(), static_cast<std::int32_t>(ref)) == 2) return dbi::kRecordLocked;
    std::vector<std::uint8_t> rec(d.GetRecordLength());
    ::qv::ReadRecord(GetFile(0), ref, rec.data());
    for (std::uint32_t i = 0; i < d.IndexCount(); ++i) {
        TqvCursorNav tmp;
        FillIndexInfo(this, i, tmp);
        if (i == 0)
            RefKey(tmp.key.data(), ref);
        else if (BuildKey(i, rec.data(), 0, 0, tmp.key.data()) != 0)
            continue;
        if (!DeleteKey(tmp.ictx, tmp.key.data(), ref)) return dbi::kKeyViolation;
    }
    for (std::uint32_t f = 0; f < d.FieldCount(); ++f) {
        TqvFieldType t = d.FieldType(f);
        if (t < 18 || t > 24 || d.IsRecordFieldNull(f, rec.data())) continue;
        std::uint32_t nr = GetU32(rec.data() + d.FieldOffset(f));
        if (nr != 0) ::qv::FreeBLOB(GetFile(d.BlobFile()), nr);
    }
    ::qv::DeleteRecord(GetFile(0), ref);
    NotifyCursors(c, 1, 0, ref);
    locks.ReleaseRecordLock(c->Id(), static_cast<std::int32_t>(ref));
    return 0;
}

}  // namespace qv
