// Adding and dropping indexes of a table.
#include "engine/server/server_cursor_nav.h"

namespace qv {

template <class F>
DBIResult TqvServerEngine::IndexChange(std::uint32_t& databaseId, std::uint32_t cursorId, std::string& tableName,
                                       F&& body) {
    TqvEngineLock g(*this);
    std::uint32_t own = 0;
    if (cursorId != 0) {
        TqvSrCursor* c;
        if (DBIResult r = FindCursor(cursorId, c)) return r;
        databaseId = c->database->Id();
        tableName = c->table->GetName();
    } else {
        if (DBIResult r = OpenTable(databaseId, tableName, "", 0, true, false, 0, nullptr, own)) return r;
        cursorId = own;
    }
    std::uint32_t tr = 0;
    DBIResult r = TransactionStart(databaseId, true, tr);
    if (r == 0) {
        TqvSrCursor* c = cursors_.Find(cursorId);
        r = Guarded([&]() -> DBIResult { return body(c); });
        if (r == 0)
            r = TransactionCommit(tr);
        else
            TransactionRollback(tr);
    }
    if (own) CursorClose(own);
    return r;
}

DBIResult TqvServerEngine::AddIndex(std::uint32_t& databaseId, std::uint32_t cursorId,
                                    const TqvIndexDescriptor& x, std::string& tableName) {
    return IndexChange(databaseId, cursorId, tableName, [&](TqvSrCursor* c) -> DBIResult {
        TqvSrTable* t = c->table;
        TqvDataDictionary& d = t->dictionary;
        if (t->shared != 0) return dbi::kNotExclusive;
        if (c->writable == 0) return dbi::kTableReadOnly;
        if (x.IsUserIndex()) return dbi::kInvalidIndexType;
        if (!d.IsIndexDescriptorValid(x)) return dbi::kInvalidIndexDescriptor;
        if (d.GetIndexNumber(x.name) >= 0) return dbi::kIndexExists;
        if (d.IndexCount() >= kQvMaxIndexes) return dbi::kTooManyIndexes;
        d.Unlock();
        d.AddIndex(x.name, x.description, x.fileNumber, static_cast<std::uint32_t>(x.keyFieldCount), x.fields.data(),
                   x.allowDuplicates, x.ascending, x.ignoreCase);
        const std::uint32_t n = d.IndexCount() - 1;
        d.WriteDictionaryToFile(t->GetFile(0));
        DefineIndex(t->GetFile(d.IndexFileNumber(n)), n, d.IndexKeyLength(n), false, d.IndexAllowDuplicates(n));
        t->keyBuildRoutines.resize(d.IndexCount(), nullptr);
        t->keyCompareRoutines.resize(d.IndexCount(), nullptr);
        // The rows already there get their keys now, inside the same
        // transaction: an index that misses rows would answer wrong walks
        // and searches. A refused key (a duplicate in a unique index) rolls
        // the whole change back, the dictionary's copy in memory included.
        DBIResult r = Guarded([&]() -> DBIResult { return BuildNewIndexKeys(t, n); });
        if (r != 0) {
            d.RemoveIndex(n);
            t->keyBuildRoutines.resize(d.IndexCount());
            t->keyCompareRoutines.resize(d.IndexCount());
        }
        return r;
    });
}

DBIResult TqvServerEngine::BuildNewIndexKeys(TqvSrTable* t, std::uint32_t n) {
    std::vector<std::uint8_t> record(t->dictionary.GetRecordLength());
    TqvCursorNav nav;
    FillIndexInfo(t, n, nav);
    std::uint32_t ref = 0;
    for (;;) {
        std::uint32_t next = 0;
        t->NextRecordInFileOrder(ref, next, record.data());
        if (next == 0) return 0;
        ref = next;
        if (DBIResult r = t->BuildKey(n, record.data(), 0, 0, nav.key.data())) return r;
        if (!AddKey(nav.ictx, nav.key.data(), ref)) return dbi::kKeyViolation;
    }
}

DBIResult TqvServerEngine::DropIndex(std::uint32_t databaseId, std::uint32_t cursorId, std::uint32_t indexNumber,
                                     std::string_view indexName, std::string_view tableName) {
    std::string name(tableName);
    return IndexChange(databaseId, cursorId, name, [&](TqvSrCursor* c) -> DBIResult {
        TqvSrTable* t = c->table;
        TqvDataDictionary& d = t->dictionary;
        std::uint32_t n = indexNumber;
        if (!indexName.empty()) {
            int i = d.GetIndexNumber(std::string(indexName.substr(0, 31)));
            if (i < 0) return dbi::kIndexMissing;
            n = static_cast<std::uint32_t>(i);
        }
        if (n < 1 || n >= d.IndexCount()) return dbi::kIndexMissing;
        if (n == c->index) return dbi::kIndexInUse;
        if (t->shared != 0) return dbi::kNotExclusive;
        if (c->writable == 0) return dbi::kTableReadOnly;
        TqvCursorNav probe;
        FillIndexInfo(t, n, probe);
        ClearIndex(probe.ictx);
        d.Unlock();
        d.RemoveIndex(n);
        d.WriteDictionaryToFile(t->GetFile(0));
        for (std::uint32_t f = 0; f < d.FileCount(); ++f) RemoveIndexSlot(t->GetFile(f), n);
        if (n < t->keyBuildRoutines.size()) t->keyBuildRoutines.erase(t->keyBuildRoutines.begin() + n);
        if (n < t->keyCompareRoutines.size()) t->keyCompareRoutines.erase(t->keyCompareRoutines.begin() + n);
        // Indexes above the dropped one moved down: cursors on them follow.
        for (int i = 0; i < t->cursors.Count(); ++i) {
            TqvSrCursor* other = t->cursors.Item(i);
            if (other->index <= n) continue;
            --other->index;
            TqvCursorNav& on = Nav(other);
            const auto key = on.key;
            const bool keyValid = on.keyValid;
            FillIndexInfo(t, other->index, on);
            on.key = key;
            on.keyValid = keyValid;
            Invalidate(on);
        }
        return 0;
    });
}

}  // namespace qv
