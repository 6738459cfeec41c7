#include "engine/client/mem_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/base/qv_base.h"

namespace qv {

namespace {

constexpr DBIResult kDbiErrNoMemoryToFinish = 11882;

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Length of a field given without one, from its API type.
std::uint16_t DerivedLength(const FLDDesc& d) {
    switch (d.fieldType) {
        case 5: case 12: return 2;
        case 6: return 4;
        case 7: return 8;
        case 8: return static_cast<std::uint16_t>(std::abs(static_cast<int>(d.units2)));
        default: return static_cast<std::uint16_t>(d.units1 > 0 ? d.units1 : 0);
    }
}

}  // namespace

void TMemTableRecord::WriteProps(void* props) const {
    auto* p = static_cast<std::uint8_t*>(props);
    PutU32(p, seqNo);
    PutU32(p + 4, physRecNo);
    PutU16(p + 8, status);
    PutU16(p + 10, seqNoChanged);
    PutU16(p + 12, deleteFlag);
}

// ---- TCacheCollection -----------------------------------------------------------------

int TCacheCollection::Insert(std::unique_ptr<TMemTableRecord> row) {
    // Upper bound: after every row that compares equal.
    int lo = 0, hi = Count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (compare_(*row, *At(mid)) < 0) hi = mid;
        else lo = mid + 1;
    }
    rows_.insert(rows_.begin() + lo, std::move(row));
    return lo;
}

void TCacheCollection::RemoveAt(int index) { rows_.erase(rows_.begin() + index); }

int TCacheCollection::IndexOf(const TMemTableRecord* row) const {
    for (int i = 0; i < Count(); ++i)
        if (At(i) == row) return i;
    return -1;
}

// ---- TMemTable: construction ----------------------------------------------------------

TMemTable::TMemTable(TBapiListItem* owner, TBapiCollection* list, TBaseTable* comparisonCursor,
                     const std::vector<FLDDesc>& fields, std::uint16_t bookmarkSize, std::uint32_t dataSize)
    : TBaseTable(owner, list, 0, 0, comparisonCursor != nullptr ? comparisonCursor->TableNameAddr() : ""),
      rows_([this](const TMemTableRecord& a, const TMemTableRecord& b) { return CompareRows(a, b); }),
      bookmarkSize_(bookmarkSize),
      comparisonHandle_(comparisonCursor != nullptr ? comparisonCursor->Handle() : kNilHandle) {
    std::uint32_t running = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        FLDDesc d = fields[i];
        d.fieldNumber = static_cast<std::uint16_t>(i + 1);
        if (d.length == 0) d.length = DerivedLength(d);
        std::uint32_t offset = d.offset == 0 ? running : d.offset;
        // Offsets are 16 bits wide; a field past them could not be reached.
        if (offset + d.length > 0xFFFF) {
            createResult_ = kDbiErrInvalidParam;
            break;
        }
        d.offset = static_cast<std::uint16_t>(offset);
        // The running offset grows by the length actually used, so a field
        // given without a length cannot overlap the next one.
        running = std::max(running, offset + d.length);
        auto item = std::make_unique<TFieldCacheItem>();
        item->fieldNumber = d.fieldNumber;
        item->engineType = d.fieldType;
        item->engineLength = d.length;
        item->desc = d;
        PutCacheItem(std::move(item));
    }
    std::uint16_t count = 0;
    std::uint32_t size = 0;
    GetFieldCountAndSize(count, size);
    dataSize_ = std::max(size, dataSize);
    SetRecordSize(dataSize_);
    SetState(kCursorUnpositioned);
    SetResult(createResult_);
}

TMemTable::~TMemTable() { current_ = nullptr; }

TBaseTable* TMemTable::ComparisonCursor() const {
    if (comparisonHandle_ == kNilHandle) return nullptr;
    // Looked up by handle: a wrapped cursor freed first is then seen as gone.
    return HandleAs<TBaseTable>(comparisonHandle_);
}

// Without a comparison cursor the key blocks are this table's own: the
// ordinal in the first 32 bits, then any further bytes.
int TMemTable::CompareOwnKeys(const void* a, const void* b) const {
    std::uint16_t size = BookmarkSize();
    if (size < 4) return Sign(std::memcmp(a, b, size));
    int c = Sign(static_cast<long long>(GetU32(a)) - static_cast<long long>(GetU32(b)));
    if (c != 0 || size == 4) return c;
    return Sign(std::memcmp(static_cast<const std::uint8_t*>(a) + 4, static_cast<const std::uint8_t*>(b) + 4,
                            size - 4u));
}

int TMemTable::CompareRows(const TMemTableRecord& a, const TMemTableRecord& b) {
    TBaseTable* cursor = ComparisonCursor();
    if (cursor == nullptr) return CompareOwnKeys(a.key.data(), b.key.data());
    if (a.hasKey && b.hasKey) {
        std::int16_t r = 0;
        if (cursor->CompareBookMarks(a.key.data(), b.key.data(), r) != 0) return 0;
        return r;
    }
    // New rows carry no bookmark of the wrapped cursor; they follow the
    // keyed rows in the order they came.
    if (a.hasKey != b.hasKey) return a.hasKey ? -1 : 1;
    return Sign(static_cast<long long>(a.Ordinal()) - static_cast<long long>(b.Ordinal()));
}

bool TMemTable::RowHasBookmark(const TMemTableRecord& row, const void* bookmark) {
    TBaseTable* cursor = ComparisonCursor();
    if (cursor == nullptr) return CompareOwnKeys(row.key.data(), bookmark) == 0;
    // An ordinal is no bookmark of the wrapped cursor and must not match one.
    if (!row.hasKey) return false;
    std::int16_t r = 1;
    return cursor->CompareBookMarks(row.key.data(), bookmark, r) == 0 && r == 0;
}

// ---- positions --------------------------------------------------------------------------

DBIResult TMemTable::Open() {
    SetState(kCursorUnpositioned);
    return SetResult(0);
}

DBIResult TMemTable::Land(int index) {
    current_ = rows_.At(index);
    rowNumber_ = static_cast<std::uint32_t>(index) + 1;
    betweenRows_ = false;
    if (ActiveRecord() != nullptr && !current_->data.empty())
        std::memcpy(ActiveRecord(), current_->data.data(), std::min<std::size_t>(current_->data.size(), dataSize_));
    SetState(kCursorOnRecord);
    return SetResult(0);
}

DBIResult TMemTable::First() {
    if (rows_.Count() == 0) return SetResult(kDbiErrEof);
    return Land(0);
}

DBIResult TMemTable::Last() {
    if (rows_.Count() == 0) return SetResult(kDbiErrBof);
    return Land(rows_.Count() - 1);
}

DBIResult TMemTable::NextRaw() {
    // After a delete the row number already names the row after the gap.
    long index = betweenRows_ ? static_cast<long>(rowNumber_) - 1 : static_cast<long>(rowNumber_);
    if (index < 0) index = 0;
    if (index >= rows_.Count()) return SetResult(kDbiErrEof);
    return Land(static_cast<int>(index));
}

DBIResult TMemTable::PriorRaw() {
    long index = static_cast<long>(rowNumber_) - 2;
    if (index >= rows_.Count()) index = rows_.Count() - 1;
    if (index < 0) return SetResult(kDbiErrBof);
    return Land(static_cast<int>(index));
}

DBIResult TMemTable::GetRecord(std::uint32_t, void* record, void* recProps) {
    if (rows_.Count() == 0) return SetResult(kDbiErrEof);
    if (rowNumber_ < 1) rowNumber_ = 1;
    if (rowNumber_ > static_cast<std::uint32_t>(rows_.Count())) return SetResult(kDbiErrNoCurrRec);
    SetActiveRecord(record);
    Land(static_cast<int>(rowNumber_) - 1);
    FillRecProps(recProps);
    return SetResult(0);
}

DBIResult TMemTable::GetBookMark(void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    if (current_ == nullptr) return SetResult(kDbiErrNoCurrRec);
    std::memcpy(bookmark, current_->key.data(), BookmarkSize());
    return SetResult(0);
}

DBIResult TMemTable::SetToBookMark(const void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    for (int i = 0; i < rows_.Count(); ++i) {
        if (!RowHasBookmark(*rows_.At(i), bookmark)) continue;
        current_ = rows_.At(i);
        rowNumber_ = static_cast<std::uint32_t>(i) + 1;
        betweenRows_ = false;
        SetState(kCursorOnRecord);
        return SetResult(0);
    }
    return SetResult(kDbiErrEof);
}

DBIResult TMemTable::RereadAtBookmark(const void* bookmark, void* record) {
    DBIResult rc = SetToBookMark(bookmark);
    if (rc == 0 && record != nullptr && !current_->data.empty())
        std::memcpy(record, current_->data.data(), std::min<std::size_t>(current_->data.size(), dataSize_));
    return SetResult(rc);
}

DBIResult TMemTable::CompareBookMarks(const void* first, const void* second, std::int16_t& result) {
    if (first == nullptr || second == nullptr) return SetResult(kDbiErrInvalidParam);
    if (TBaseTable* cursor = ComparisonCursor()) return SetResult(cursor->CompareBookMarks(first, second, result));
    result = static_cast<std::int16_t>(CompareOwnKeys(first, second));
    return SetResult(0);
}

void TMemTable::FillRecProps(void* recProps) {
    if (current_ != nullptr && recProps != nullptr) current_->WriteProps(recProps);
}

DBIResult TMemTable::GetSeqNo(std::uint32_t& seqNo) {
    if (current_ == nullptr) return SetResult(kDbiErrNoCurrRec);
    seqNo = current_->seqNo;
    return SetResult(0);
}

DBIResult TMemTable::SetToSeqNo(std::uint32_t seqNo) {
    for (int i = 0; i < rows_.Count(); ++i) {
        if (rows_.At(i)->seqNo != seqNo) continue;
        SetActiveRecord(nullptr);
        return Land(i);
    }
    return SetResult(kDbiErrEof);
}

DBIResult TMemTable::GetRecordCount(std::uint32_t& count) {
    count = static_cast<std::uint32_t>(rows_.Count());
    return SetResult(0);
}

DBIResult TMemTable::GetExactRecordCount(std::uint32_t& count) { return GetRecordCount(count); }

// ---- fields -----------------------------------------------------------------------------

DBIResult TMemTable::ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    const auto* at = static_cast<const std::uint8_t*>(record) + item.desc.offset;
    std::uint16_t length = item.desc.length;
    // Values are held in their API form; all zero bytes mean blank, except
    // for a logical, whose zero is false.
    blank = item.desc.fieldType != 4 && std::all_of(at, at + length, [](std::uint8_t b) { return b == 0; });
    if (dest != nullptr) {
        if (blank) std::memset(dest, 0, length);
        else std::memcpy(dest, at, length);
    }
    return SetResult(0);
}

DBIResult TMemTable::WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    auto* at = static_cast<std::uint8_t*>(record) + item.desc.offset;
    if (source != nullptr) std::memcpy(at, source, item.desc.length);
    else std::memset(at, 0, item.desc.length);
    return SetResult(0);
}

// ---- records ----------------------------------------------------------------------------

DBIResult TMemTable::RelRecordLock(bool) { return SetResult(0); }

DBIResult TMemTable::AddRow(const void* record, const void* key) {
    try {
        auto row = std::make_unique<TMemTableRecord>();
        row->physRecNo = row->seqNo = nextOrdinal_++;
        if (record != nullptr) {
            const auto* r = static_cast<const std::uint8_t*>(record);
            row->data.assign(r, r + dataSize_);
        }
        row->key.assign(std::max<std::size_t>(4, BookmarkSize()), 0);
        if (key != nullptr) {
            std::memcpy(row->key.data(), key, BookmarkSize());
            row->hasKey = true;
        } else {
            PutU32(row->key.data(), row->physRecNo);
        }
        rows_.Insert(std::move(row));
    } catch (const std::bad_alloc&) {
        return SetResult(kDbiErrInvalidParam);
    }
    // The caller's last record buffer may be gone by now; the new row is
    // not read into it.
    SetActiveRecord(nullptr);
    return Last();
}

DBIResult TMemTable::InsertRecord(std::uint32_t, void* record) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    try {
        auto row = std::make_unique<TMemTableRecord>();
        row->physRecNo = row->seqNo = nextOrdinal_++;
        const auto* r = static_cast<const std::uint8_t*>(record);
        row->data.assign(r, r + dataSize_);
        row->key.assign(std::max<std::size_t>(4, BookmarkSize()), 0);
        PutU32(row->key.data(), row->physRecNo);
        row->status = kRecInserted;
        rows_.Insert(std::move(row));
    } catch (const std::bad_alloc&) {
        return SetResult(kDbiErrNoMemoryToFinish);
    }
    return SetResult(0);
}

DBIResult TMemTable::AppendRecord(void* record) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    DBIResult rc = AddRow(record, nullptr);
    // An appended row is a new record like an inserted one; left unmodified
    // it would be passed over when the changes are applied.
    if (rc == 0 && current_ != nullptr) current_->status = kRecInserted;
    return SetResult(rc);
}

DBIResult TMemTable::ModifyRecord(void* record, bool) { return NoteModification(record, nullptr); }

void TMemTable::FreeRow(int index) {
    if (rows_.At(index) == current_) current_ = nullptr;
    rows_.RemoveAt(index);
}

DBIResult TMemTable::DeleteRecord(void*) {
    if (current_ == nullptr) return SetResult(kDbiErrNoCurrRec);
    int index = rows_.IndexOf(current_);
    FreeRow(index);
    rowNumber_ = static_cast<std::uint32_t>(index) + 1;
    betweenRows_ = true;
    SetState(kCursorAfterDelete);
    return SetResult(0);
}

DBIResult TMemTable::UndeleteRecord() {
    if (current_ == nullptr) return SetResult(kDbiErrNoCurrRec);
    current_->deleteFlag = 0;
    return SetResult(0);
}

DBIResult TMemTable::EmptyTable() {
    rows_.Clear();
    current_ = nullptr;
    rowNumber_ = 0;
    betweenRows_ = false;
    SetState(kCursorUnpositioned);
    return SetResult(0);
}

// ---- pending changes --------------------------------------------------------------------

bool TMemTable::RowVisible(const TMemTableRecord* row, std::uint8_t mask) {
    if (row == nullptr) return (mask & kShowUnmodified) != 0;
    switch (row->status) {
        case kRecModified: return (mask & kShowModified) != 0;
        case kRecInserted: return (mask & kShowInserted) != 0;
        case kRecDeleted: return (mask & kShowDeleted) != 0;
        default: return true;
    }
}

DBIResult TMemTable::FindOrAdd(const void* record, const void* bookmark) {
    if (bookmark == nullptr) return SetResult(current_ != nullptr ? 0 : kDbiErrNoCurrRec);
    if (SetToBookMark(bookmark) == 0) return SetResult(0);
    DBIResult rc = AddRow(record, bookmark);
    if (rc != 0) return rc;
    return SetToBookMark(bookmark);
}

DBIResult TMemTable::NoteModification(const void* record, const void* bookmark) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    DBIResult rc = FindOrAdd(record, bookmark);
    if (rc != 0) return rc;
    const auto* r = static_cast<const std::uint8_t*>(record);
    current_->data.assign(r, r + dataSize_);
    // A row that is new stays new: applied as a modification it would look
    // for a record the wrapped table does not have yet.
    if (current_->status != kRecInserted) current_->status = kRecModified;
    return SetResult(0);
}

DBIResult TMemTable::NoteDeletion(const void* record, const void* bookmark) {
    DBIResult rc = FindOrAdd(record, bookmark);
    if (rc != 0) return rc;
    current_->status = kRecDeleted;
    current_->deleteFlag = 1;
    return SetResult(0);
}

DBIResult TMemTable::ApplyChanges() {
    TBaseTable* cursor = ComparisonCursor();
    if (cursor == nullptr) return SetResult(kDbiErrInvalidHandle);
    DBIResult first = 0;
    for (int i = rows_.Count() - 1; i >= 0; --i) {
        TMemTableRecord* row = rows_.At(i);
        // Written already by an earlier apply: writing it again would
        // append a second copy or modify twice.
        if (row->applied) continue;
        if (row->status != kRecModified && row->status != kRecInserted && row->status != kRecDeleted) continue;
        // The wrapped cursor reads and writes whole records of its own size.
        if (!row->data.empty() && row->data.size() < cursor->RecordSize()) row->data.resize(cursor->RecordSize(), 0);
        void* data = row->data.empty() ? nullptr : row->data.data();
        DBIResult rc = 0;
        switch (row->status) {
            case kRecModified:
                rc = cursor->SetToBookMark(row->key.data());
                if (rc == 0) rc = cursor->ModifyRecord(data, true);
                break;
            case kRecInserted:
                rc = cursor->AppendRecord(data);
                break;
            default:
                rc = cursor->SetToBookMark(row->key.data());
                if (rc == 0) rc = cursor->DeleteRecord(data);
                break;
        }
        row->applyResult = rc;
        row->applied = rc == 0;
        if (rc != 0 && first == 0) first = rc;
    }
    return SetResult(first);
}

DBIResult TMemTable::DropAppliedRows() {
    for (int i = rows_.Count() - 1; i >= 0; --i)
        if (rows_.At(i)->applied) FreeRow(i);
    return SetResult(0);
}

std::vector<TApplyFailure> TMemTable::FailedRows() const {
    std::vector<TApplyFailure> out;
    for (int i = rows_.Count() - 1; i >= 0; --i) {
        const TMemTableRecord* row = rows_.At(i);
        if (row->applied || row->applyResult == 0) continue;
        out.push_back({row->status, row->applyResult, row->key, row->data});
    }
    return out;
}

}  // namespace qv
