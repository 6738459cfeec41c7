#include "engine/client/cache_table.h"

#include <cstring>
#include <new>

#include "engine/base/qv_base.h"

namespace qv {

namespace {

// The wrapped cursor's call, or 9990 once it has been freed.
#define PASS_ON(call)                                            \
    do {                                                         \
        TBaseTable* w = Wrapped();                               \
        if (w == nullptr) return SetResult(kDbiErrInvalidHandle); \
        return SetResult(w->call);                               \
    } while (0)

CURProps WrappedProps(TBaseTable* wrapped, DBIResult& rc) {
    std::vector<std::uint8_t> block(CURProps::kSize, 0);
    rc = wrapped->GetCursorProps(block.data());
    return CURProps::Read(block.data());
}

}  // namespace

TBaseCacheTable::TBaseCacheTable(TBaseTable* wrapped)
    : TBaseTable(wrapped->Parent(), wrapped->List(), 0, 0, wrapped->TableNameAddr()),
      wrappedHandle_(wrapped->Handle()) {
    DBIResult rc = 0;
    CURProps props = WrappedProps(wrapped, rc);
    if (rc == 0) {
        openMode_ = props.openMode;
        shareMode_ = props.shareMode;
    }
    // The pending-changes table takes the wrapped cursor's fields, its
    // bookmarks as keys and whole records of its size.
    std::vector<FLDDesc> fields;
    if (rc == 0 && props.fields > 0) {
        std::vector<std::uint8_t> descs(static_cast<std::size_t>(props.fields) * FLDDesc::kSize, 0);
        rc = wrapped->GetFieldDescs(descs.data());
        for (std::uint16_t i = 0; rc == 0 && i < props.fields; ++i)
            fields.push_back(FLDDesc::Read(descs.data() + static_cast<std::size_t>(i) * FLDDesc::kSize));
    }
    // The cache table names the same fields as the wrapped cursor, so that
    // filters put on it find them.
    for (std::uint16_t n = 1; rc == 0 && n <= props.fields; ++n) {
        if (TFieldCacheItem* item = wrapped->CacheItem(n)) PutCacheItem(std::make_unique<TFieldCacheItem>(*item));
    }
    if (rc == 0) {
        std::uint32_t dataSize = std::max<std::uint32_t>(wrapped->RecordSize(), props.recordBufferSize);
        pending_ = std::make_unique<TMemTable>(this, nullptr, wrapped, fields, wrapped->BookmarkSize(), dataSize);
        rc = pending_->CreateResult();
    }
    bookmark_.assign(wrapped->BookmarkSize(), 0);
    SetState(kCursorUnpositioned);
    createResult_ = rc;
    SetResult(rc);
}

TBaseCacheTable::~TBaseCacheTable() = default;

TBaseTable* TBaseCacheTable::Wrapped() const { return HandleAs<TBaseTable>(wrappedHandle_); }

std::uint8_t* TBaseCacheTable::BookmarkBlock(TBaseTable* wrapped) {
    // A bookmark's size follows the wrapped cursor's index; the block keeps up.
    if (bookmark_.size() < wrapped->BookmarkSize()) bookmark_.resize(wrapped->BookmarkSize(), 0);
    return bookmark_.data();
}

std::vector<TApplyFailure> TBaseCacheTable::FailedRows() const {
    return pending_ ? pending_->FailedRows() : std::vector<TApplyFailure>{};
}

// ---- properties -------------------------------------------------------------------------

DBIResult TBaseCacheTable::GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    switch (property & 0xFFFF) {
        case kCachePropShownMask:
            len = 1;
            if (p != nullptr && maxLen >= 1) *p = mask_;
            return SetResult(0);
        case kCachePropOldRecord:
            len = 1;
            if (p != nullptr && maxLen >= 1) *p = oldRecord_ ? 1 : 0;
            return SetResult(0);
        case kCachePropPendingCount:
            len = 4;
            if (p != nullptr && maxLen >= 4) PutU32(p, pending_ ? static_cast<std::uint32_t>(pending_->RowCount()) : 0);
            return SetResult(0);
        case kCachePropFailedCount:
            len = 4;
            if (p != nullptr && maxLen >= 4) PutU32(p, static_cast<std::uint32_t>(FailedRows().size()));
            return SetResult(0);
        default:
            PASS_ON(GetProp(property, buffer, maxLen, len));
    }
}

DBIResult TBaseCacheTable::SetProp(std::uint32_t property, std::uint32_t value) {
    switch (property & 0xFFFF) {
        case kCachePropShownMask:
            mask_ = static_cast<std::uint8_t>(value);
            return SetResult(0);
        case kCachePropOldRecord:
            oldRecord_ = value > 0;
            return SetResult(0);
        default:
            PASS_ON(SetProp(property, value));
    }
}

// ---- the overlay ------------------------------------------------------------------------

bool TBaseCacheTable::Overlay(void* record, void* recProps) {
    TBaseTable* w = Wrapped();
    if (w == nullptr || !pending_) return false;
    TMemTableRecord* row = nullptr;
    if (w->GetBookMark(BookmarkBlock(w)) == 0) {
        pending_->SetActiveRecord(nullptr);
        if (pending_->SetToBookMark(bookmark_.data()) == 0) row = pending_->CurrentRow();
    }
    if (!TMemTable::RowVisible(row, mask_)) return false;
    if (row != nullptr) {
        if (!oldRecord_ && record != nullptr && !row->data.empty())
            std::memcpy(record, row->data.data(), std::min<std::size_t>(row->data.size(), w->RecordSize()));
        if (recProps != nullptr) row->WriteProps(recProps);
    } else if (recProps != nullptr) {
        std::memset(recProps, 0, kRecPropsSize);
    }
    return true;
}

DBIResult TBaseCacheTable::MoveShown(bool next, std::uint32_t lockType, void* record, void* recProps) {
    TBaseTable* w = Wrapped();
    if (w == nullptr) return SetResult(kDbiErrInvalidHandle);
    // Filters put on the cache table judge the record as the caller sees
    // it, pending data laid over; they need a record even when the caller
    // gives none.
    std::vector<std::uint8_t> scratch;
    void* buffer = record;
    if (buffer == nullptr && FiltersActive()) {
        scratch.assign(w->RecordSize() > 0 ? w->RecordSize() : 1, 0);
        buffer = scratch.data();
    }
    for (;;) {
        DBIResult rc = next ? w->GetNextRecord(lockType, buffer, recProps) : w->GetPriorRecord(lockType, buffer, recProps);
        if (rc != 0) return SetResult(rc);
        if (!Overlay(buffer, recProps)) continue;
        SetActiveRecord(buffer);
        bool accepted = !FiltersActive() || FiltersAccept();
        SetActiveRecord(record);
        if (accepted) return SetResult(0);
    }
}

DBIResult TBaseCacheTable::GetNextRecord(std::uint32_t lockType, void* record, void* recProps) {
    return MoveShown(true, lockType, record, recProps);
}

DBIResult TBaseCacheTable::GetPriorRecord(std::uint32_t lockType, void* record, void* recProps) {
    return MoveShown(false, lockType, record, recProps);
}

// The wrapped cursor's own first or last move within its range, through
// its state machine: a raw positioning call would leave it believing it is
// not on a record, and its bookmark, which finds the pending row, would fail.
DBIResult TBaseCacheTable::FirstInRange() {
    TBaseTable* w = Wrapped();
    if (w == nullptr) return SetResult(kDbiErrInvalidHandle);
    void* record = ActiveRecord();
    DBIResult rc = w->SetToBegin();
    if (rc != 0) return SetResult(rc);
    return GetNextRecord(0, record, nullptr);
}

DBIResult TBaseCacheTable::LastInRange() {
    TBaseTable* w = Wrapped();
    if (w == nullptr) return SetResult(kDbiErrInvalidHandle);
    void* record = ActiveRecord();
    DBIResult rc = w->SetToEnd();
    if (rc != 0) return SetResult(rc);
    return GetPriorRecord(0, record, nullptr);
}

DBIResult TBaseCacheTable::GetRecord(std::uint32_t lockType, void* record, void* recProps) {
    TBaseTable* w = Wrapped();
    if (w == nullptr) return SetResult(kDbiErrInvalidHandle);
    DBIResult rc = w->GetRecord(lockType, record, recProps);
    if (rc != 0) return SetResult(rc);
    return SetResult(Overlay(record, recProps) ? 0 : kDbiErrNoCurrRec);
}

// ---- changes ----------------------------------------------------------------------------

DBIResult TBaseCacheTable::InsertRecord(std::uint32_t lockType, void* record) {
    if (!pending_) return SetResult(kDbiErrInvalidHandle);
    return SetResult(pending_->InsertRecord(lockType, record));
}

DBIResult TBaseCacheTable::AppendRecord(void* record) {
    if (!pending_) return SetResult(kDbiErrInvalidHandle);
    return SetResult(pending_->AppendRecord(record));
}

DBIResult TBaseCacheTable::ModifyRecord(void* record, bool) {
    TBaseTable* w = Wrapped();
    if (w == nullptr || !pending_) return SetResult(kDbiErrInvalidHandle);
    DBIResult rc = w->GetBookMark(BookmarkBlock(w));
    if (rc == 0) rc = pending_->NoteModification(record, bookmark_.data());
    return SetResult(rc);
}

DBIResult TBaseCacheTable::DeleteRecord(void* record) {
    TBaseTable* w = Wrapped();
    if (w == nullptr || !pending_) return SetResult(kDbiErrInvalidHandle);
    DBIResult rc = w->GetBookMark(BookmarkBlock(w));
    if (rc == 0) rc = pending_->NoteDeletion(record, bookmark_.data());
    return SetResult(rc);
}

DBIResult TBaseCacheTable::SwitchToIndex(const char*, const char*, std::uint16_t, bool) { return NotSupported(); }

DBIResult TBaseCacheTable::EndDelayedUpdates(hDBICur& cursor) {
    TBaseTable* w = Wrapped();
    cursor = w != nullptr ? w->Handle() : kNilHandle;
    DBIResult rc = w != nullptr ? 0 : kDbiErrInvalidHandle;
    delete this;
    if (rc != 0) SetLastErrorCode(rc);
    return rc;
}

DBIResult TBaseCacheTable::ApplyDelayedUpdates(std::uint32_t action) {
    if (!pending_) return SetResult(kDbiErrInvalidHandle);
    switch (action) {
        case kDelayedUpdCommit: {
            pending_->DropAppliedRows();
            // Rows that could not be written stay pending; a commit that
            // leaves them is not a success.
            std::vector<TApplyFailure> failed = pending_->FailedRows();
            return SetResult(failed.empty() ? 0 : failed.front().result);
        }
        case kDelayedUpdCancel:
            pending_->EmptyTable();
            return SetResult(0);
        case kDelayedUpdCancelCurrent: {
            TBaseTable* w = Wrapped();
            if (w == nullptr) return SetResult(kDbiErrInvalidHandle);
            if (w->GetBookMark(BookmarkBlock(w)) == 0) {
                pending_->SetActiveRecord(nullptr);
                if (pending_->SetToBookMark(bookmark_.data()) == 0) pending_->DeleteRecord(nullptr);
            }
            return SetResult(0);
        }
        case kDelayedUpdPrepare:
            return SetResult(pending_->ApplyChanges());
        default:
            return SetResult(kDbiErrInvalidParam);
    }
}

DBIResult TBaseCacheTable::GetDelayedUpdates(void*) { return SetResult(kDbiErrInvalidParam); }

// ---- passed on --------------------------------------------------------------------------

std::uint32_t TBaseCacheTable::RecordSize() const {
    TBaseTable* w = Wrapped();
    return w != nullptr ? w->RecordSize() : 0;
}
std::uint16_t TBaseCacheTable::BookmarkSize() const {
    TBaseTable* w = Wrapped();
    return w != nullptr ? w->BookmarkSize() : static_cast<std::uint16_t>(bookmark_.size());
}

DBIResult TBaseCacheTable::Open() { PASS_ON(Open()); }
DBIResult TBaseCacheTable::CloseCursor() { PASS_ON(CloseCursor()); }
DBIResult TBaseCacheTable::EmptyTable() { PASS_ON(EmptyTable()); }
DBIResult TBaseCacheTable::AddIndex(const void* indexDesc, const char* keyViolName) {
    PASS_ON(AddIndex(indexDesc, keyViolName));
}
DBIResult TBaseCacheTable::DeleteIndex(const char* indexName, const char* tagName, std::uint16_t indexId) {
    PASS_ON(DeleteIndex(indexName, tagName, indexId));
}
DBIResult TBaseCacheTable::First() { PASS_ON(First()); }
DBIResult TBaseCacheTable::Last() { PASS_ON(Last()); }
DBIResult TBaseCacheTable::NextRaw() { PASS_ON(NextRaw()); }
DBIResult TBaseCacheTable::PriorRaw() { PASS_ON(PriorRaw()); }
DBIResult TBaseCacheTable::ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) {
    PASS_ON(ReadFieldValue(item, record, dest, blank));
}
DBIResult TBaseCacheTable::WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) {
    PASS_ON(WriteFieldValue(item, record, source));
}
DBIResult TBaseCacheTable::GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                                         std::uint16_t& engineLength) {
    PASS_ON(GetNativeDesc(fieldNumber, desc, engineType, engineLength));
}
DBIResult TBaseCacheTable::CloneCursor(bool readOnly, bool uniDirectional, hDBICur& cursor) {
    PASS_ON(CloneCursor(readOnly, uniDirectional, cursor));
}
DBIResult TBaseCacheTable::GetFieldDescs(void* descs) { PASS_ON(GetFieldDescs(descs)); }
DBIResult TBaseCacheTable::SetToBegin() { PASS_ON(SetToBegin()); }
DBIResult TBaseCacheTable::SetToEnd() { PASS_ON(SetToEnd()); }
DBIResult TBaseCacheTable::SetToCursor(TBaseTable* destination) { PASS_ON(SetToCursor(destination)); }
DBIResult TBaseCacheTable::GetBookMark(void* bookmark) { PASS_ON(GetBookMark(bookmark)); }
DBIResult TBaseCacheTable::SetToBookMark(const void* bookmark) { PASS_ON(SetToBookMark(bookmark)); }
DBIResult TBaseCacheTable::CompareBookMarks(const void* first, const void* second, std::int16_t& result) {
    PASS_ON(CompareBookMarks(first, second, result));
}
DBIResult TBaseCacheTable::GetRecordForKey(bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                                           const void* key, void* record) {
    PASS_ON(GetRecordForKey(directKey, fieldCount, partialLength, key, record));
}
DBIResult TBaseCacheTable::AcqTableLock(std::uint32_t lockType) { PASS_ON(AcqTableLock(lockType)); }
DBIResult TBaseCacheTable::RelTableLock(bool all, std::uint32_t lockType) { PASS_ON(RelTableLock(all, lockType)); }
DBIResult TBaseCacheTable::RelRecordLock(bool all) { PASS_ON(RelRecordLock(all)); }
DBIResult TBaseCacheTable::IsRecordLocked(bool& locked) { PASS_ON(IsRecordLocked(locked)); }
DBIResult TBaseCacheTable::IsTableLocked(std::uint32_t lockType, std::uint16_t& locks) {
    PASS_ON(IsTableLocked(lockType, locks));
}
DBIResult TBaseCacheTable::IsTableShared(bool& shared) { PASS_ON(IsTableShared(shared)); }
DBIResult TBaseCacheTable::InitRecord(void* record) { PASS_ON(InitRecord(record)); }
DBIResult TBaseCacheTable::UndeleteRecord() { PASS_ON(UndeleteRecord()); }
DBIResult TBaseCacheTable::GetSeqNo(std::uint32_t& seqNo) { PASS_ON(GetSeqNo(seqNo)); }
DBIResult TBaseCacheTable::SetToSeqNo(std::uint32_t seqNo) { PASS_ON(SetToSeqNo(seqNo)); }
DBIResult TBaseCacheTable::GetCursorProps(void* props) { PASS_ON(GetCursorProps(props)); }
DBIResult TBaseCacheTable::GetRecordCount(std::uint32_t& count) { PASS_ON(GetRecordCount(count)); }
DBIResult TBaseCacheTable::GetExactRecordCount(std::uint32_t& count) { PASS_ON(GetExactRecordCount(count)); }
DBIResult TBaseCacheTable::GetRecordNo(std::uint32_t& recordNo) { PASS_ON(GetRecordNo(recordNo)); }
DBIResult TBaseCacheTable::SetToRecordNo(std::uint32_t recordNo) { PASS_ON(SetToRecordNo(recordNo)); }
DBIResult TBaseCacheTable::SaveChanges() { PASS_ON(SaveChanges()); }
DBIResult TBaseCacheTable::ForceReread() { PASS_ON(ForceReread()); }
DBIResult TBaseCacheTable::SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                                    bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                                    bool inclusive2) {
    PASS_ON(SetRange(keyIsKey, fields1, length1, key1, inclusive1, fields2, length2, key2, inclusive2));
}
DBIResult TBaseCacheTable::ResetRange() { PASS_ON(ResetRange()); }
DBIResult TBaseCacheTable::SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                                    std::uint16_t partialLength, const void* key) {
    PASS_ON(SetToKey(condition, keyIsKey, fieldCount, partialLength, key));
}
DBIResult TBaseCacheTable::ExtractKey(const void* record, void* key) { PASS_ON(ExtractKey(record, key)); }
DBIResult TBaseCacheTable::GetIndexDesc(std::uint16_t indexNumber, void* desc) {
    PASS_ON(GetIndexDesc(indexNumber, desc));
}
DBIResult TBaseCacheTable::GetIndexDescs(void* descs) { PASS_ON(GetIndexDescs(descs)); }
DBIResult TBaseCacheTable::OpenBlob(void* record, std::uint16_t field, std::uint32_t openMode) {
    PASS_ON(OpenBlob(record, field, openMode));
}
DBIResult TBaseCacheTable::GetBlobSize(void* record, std::uint16_t field, std::uint32_t& size) {
    PASS_ON(GetBlobSize(record, field, size));
}
DBIResult TBaseCacheTable::GetBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                                   void* dest, std::uint32_t& read) {
    PASS_ON(GetBlob(record, field, offset, length, dest, read));
}
DBIResult TBaseCacheTable::PutBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                                   const void* source) {
    PASS_ON(PutBlob(record, field, offset, length, source));
}
DBIResult TBaseCacheTable::TruncateBlob(void* record, std::uint16_t field, std::uint32_t length) {
    PASS_ON(TruncateBlob(record, field, length));
}
DBIResult TBaseCacheTable::FreeBlob(void* record, std::uint16_t field) { PASS_ON(FreeBlob(record, field)); }
DBIResult TBaseCacheTable::GetField(std::uint16_t fieldNumber, const void* record, void* dest, bool* blank) {
    PASS_ON(GetField(fieldNumber, record, dest, blank));
}
DBIResult TBaseCacheTable::PutField(std::uint16_t fieldNumber, void* record, const void* source) {
    PASS_ON(PutField(fieldNumber, record, source));
}

#undef PASS_ON

}  // namespace qv
