#include "engine/client/cursor_base.h"

#include <cstring>
#include <limits>
#include <new>

#include "engine/client/base_database.h"
#include "engine/client/cache_table.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_strings.h"
#include "engine/client/error_texts.h"
#include "engine/client/filter.h"
#include "engine/storage/field_types.h"

namespace qv {
namespace {

// Client-string ids of the call names in the not-supported report.
enum : int {
    kNsGetBookmark = 676, kNsSetBookmark = 677, kNsGetVchkDesc = 678, kNsGetRintDesc = 679,
    kNsAcqTableLock = 680, kNsRelTableLock = 681, kNsRelRecordLock = 682, kNsIsRecordLocked = 683,
    kNsInsertRecord = 684, kNsModifyRecord = 685, kNsDeleteRecord = 686, kNsUndeleteRecord = 687,
    kNsGetSeqNo = 688, kNsSetToSeqNo = 689, kNsMakePermanent = 692, kNsSwitchToIndex = 693,
    kNsSetToKeySpecial = 694, kNsExtractKeyPrecise = 695, kNsAddIndex = 696, kNsDeleteIndex = 697,
    kNsEndDelayedUpdates = 698, kNsApplyDelayedUpdates = 699, kNsGetDelayedUpdates = 700,
    kNsGetNativeDesc = 701, kNsOpenBlob = 702, kNsGetBlobSize = 703, kNsGetBlob = 704, kNsPutBlob = 705,
    kNsTruncateBlob = 706, kNsGetBlobHeading = 707, kNsSetFieldMap = 708, kNsBeginLinkMode = 709,
    kNsEndLinkMode = 710, kNsLinkDetail = 711, kNsLinkDetailToExp = 712, kNsUnlinkDetail = 713,
    kNsGetLinkStatus = 714,
};

void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
template <class T>
T Load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T>
int Sign(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
char FoldAZ(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Trimmed(const char* name) {
    std::string s = BoundedCString(name, 4096);
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

}  // namespace

// ---- construction -----------------------------------------------------------------------

TBaseTable::TBaseTable(TBapiListItem* owner, TBapiCollection* list, std::uint32_t openMode,
                       std::uint32_t shareMode, const char* tableName)
    : TBapiListItem(owner, list), openMode_(openMode), shareMode_(shareMode) {
    isCursor_ = true;
    SetTableName(tableName);
    // Virtual calls reach this class's versions during construction; the
    // base reports no field table and no hook result.
    std::uint16_t count = FieldTableCount();
    if (count > 0) fieldTable_.assign(static_cast<std::size_t>(count) * FLDDesc::kSize, 0);
    SetResult(0);
}

TBaseTable::~TBaseTable() = default;

// ---- properties ---------------------------------------------------------------------------

DBIResult TBaseTable::GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    switch (property & 0xFFFF) {
        case 0:
            len = 2;
            if (p != nullptr && maxLen >= 2) PutU16(p, 11);
            return SetResult(0);
        case 1:
            len = 0;
            return SetResult(0);
        case 5:
            len = 4;
            if (p != nullptr && maxLen >= 4) PutU32(p, 0);
            return SetResult(0);
        default:
            return SetResult(TBapiListItem::GetProp(property, buffer, maxLen, len));
    }
}

DBIResult TBaseTable::CheckProp(std::uint32_t property, std::uint32_t value) {
    std::uint32_t id = property & 0xFFFF;
    if (id == 0 || id == 1) return SetResult(value != 0 ? kDbiErrNotSupported : 0);
    return SetResult(TBapiListItem::CheckProp(property, value));
}

std::uint16_t TBaseTable::FieldTableCount() { return 0; }

void TBaseTable::SetTableName(const char* name) {
    if (name == nullptr) return;
    std::string s = BoundedCString(name, kMaxTableName);
    std::memset(tableName_, 0, sizeof tableName_);
    std::memcpy(tableName_, s.data(), s.size());
}

void TBaseTable::SetNameAsOpened(const char* name) {
    std::string s = Trimmed(name);
    if (s.size() > kMaxOpenedName) s.resize(kMaxOpenedName);
    std::memset(nameAsOpened_, 0, sizeof nameAsOpened_);
    std::memcpy(nameAsOpened_, s.data(), s.size());
}

// ---- record source defaults -----------------------------------------------------------

DBIResult TBaseTable::First() { return SetResult(kDbiErrBof); }
DBIResult TBaseTable::Last() { return SetResult(kDbiErrEof); }
DBIResult TBaseTable::NextRaw() { return SetResult(kDbiErrEof); }
DBIResult TBaseTable::PriorRaw() { return SetResult(kDbiErrBof); }

DBIResult TBaseTable::ReadFieldValue(const TFieldCacheItem&, const void*, void*, bool&) {
    return SetResult(kDbiErrInvalidHandle);
}
DBIResult TBaseTable::WriteFieldValue(const TFieldCacheItem&, void*, const void*) {
    return SetResult(kDbiErrInvalidHandle);
}
DBIResult TBaseTable::GetNativeDesc(std::uint16_t, FLDDesc&, std::uint16_t&, std::uint16_t&) {
    return ReportNotSupported(*this, kNsGetNativeDesc);
}

int TBaseTable::CompareValues(std::uint16_t type, const void* first, const void* second, bool caseInsensitive,
                              std::uint32_t length) {
    if (first == nullptr || second == nullptr) return 0;
    const auto* a = static_cast<const std::uint8_t*>(first);
    const auto* b = static_cast<const std::uint8_t*>(second);
    switch (type) {
        case 0: return 0;
        case 1:
            for (std::uint32_t i = 0; i < length; ++i) {
                char ca = static_cast<char>(a[i]), cb = static_cast<char>(b[i]);
                if (caseInsensitive) ca = FoldAZ(ca), cb = FoldAZ(cb);
                int c = Sign(static_cast<std::uint8_t>(ca), static_cast<std::uint8_t>(cb));
                if (c != 0) return c;
                if (a[i] == 0) return 0;
            }
            return 0;
        case 2: case 6: case 10: return Sign(Load<std::int32_t>(a), Load<std::int32_t>(b));
        case 4: return Sign(Load<std::uint16_t>(a) != 0, Load<std::uint16_t>(b) != 0);
        case 5:
            if (length == 1) return Sign(static_cast<std::int8_t>(a[0]), static_cast<std::int8_t>(b[0]));
            return Sign(Load<std::int16_t>(a), Load<std::int16_t>(b));
        case 7: case 11: return Sign(Load<double>(a), Load<double>(b));
        case 12:
            if (length == 1) return Sign(a[0], b[0]);
            return Sign(Load<std::uint16_t>(a), Load<std::uint16_t>(b));
        case 13: return Sign(Load<std::uint32_t>(a), Load<std::uint32_t>(b));
        case 14: return Sign(QvExtendedToLongDouble(a), QvExtendedToLongDouble(b));
        default: {
            int c = length == 0 ? 0 : std::memcmp(a, b, length);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
}

// ---- field cache ------------------------------------------------------------------------

TFieldCacheItem* TBaseTable::CacheItem(int fieldNumber) {
    if (fieldNumber < 1 || fieldNumber > static_cast<int>(fieldCache_.size())) return nullptr;
    return fieldCache_[static_cast<std::size_t>(fieldNumber - 1)].get();
}

DBIResult TBaseTable::DropCacheItem(int fieldNumber) {
    if (CacheItem(fieldNumber) == nullptr) return SetResult(kDbiErrInvalidParam);
    fieldCache_[static_cast<std::size_t>(fieldNumber - 1)].reset();
    return SetResult(0);
}

DBIResult TBaseTable::FindFieldDesc(std::uint16_t offsetPlusOne, std::uint16_t length, FLDDesc& desc) {
    if (fieldCache_.empty()) return SetResult(kDbiErrInvalidParam);
    const TFieldCacheItem* sameOffset = nullptr;
    for (const auto& item : fieldCache_) {
        if (!item || item->desc.offset + 1 != offsetPlusOne) continue;
        if (item->desc.length == length) {
            desc = item->desc;
            return SetResult(0);
        }
        sameOffset = item.get();
    }
    if (sameOffset == nullptr) return SetResult(kDbiErrInvalidParam);
    desc = sameOffset->desc;
    return SetResult(0);
}

std::uint16_t TBaseTable::SearchCondition(bool inclusive, bool nextDirection) {
    // An inclusive start bound positions at its own key ("at or after"),
    // an exclusive one past it; the end bound mirrors that.
    if (nextDirection) return inclusive ? kKeySearchGtEq : kKeySearchGt;
    return inclusive ? kKeySearchLtEq : kKeySearchLt;
}

DBIResult TBaseTable::GetCacheItem(int fieldNumber, TFieldCacheItem*& item) {
    item = CacheItem(fieldNumber);
    if (item != nullptr) return SetResult(0);
    if (fieldNumber < 1 || fieldNumber > std::numeric_limits<std::uint16_t>::max())
        return SetResult(kDbiErrInvalidParam);
    auto fresh = std::make_unique<TFieldCacheItem>();
    fresh->fieldNumber = static_cast<std::uint16_t>(fieldNumber);
    DBIResult rc = GetNativeDesc(fresh->fieldNumber, fresh->desc, fresh->engineType, fresh->engineLength);
    if (rc != 0) return SetResult(rc);
    PutCacheItem(std::move(fresh));
    item = CacheItem(fieldNumber);
    return SetResult(item != nullptr ? 0 : kDbiErrInvalidParam);
}

void TBaseTable::PutCacheItem(std::unique_ptr<TFieldCacheItem> item) {
    if (!item || item->fieldNumber < 1) return;
    std::size_t at = item->fieldNumber - 1u;
    if (fieldCache_.size() <= at) fieldCache_.resize(at + 1);
    fieldCache_[at] = std::move(item);
}

void TBaseTable::GetFieldCountAndSize(std::uint16_t& count, std::uint32_t& size) {
    count = static_cast<std::uint16_t>(fieldCache_.size());
    if (computedRecordSize_ == 0) {
        for (const auto& item : fieldCache_) {
            if (!item) continue;
            std::uint32_t end = static_cast<std::uint32_t>(item->desc.offset) + item->desc.length;
            if (end > computedRecordSize_) computedRecordSize_ = end;
        }
    }
    size = computedRecordSize_;
}

int TBaseTable::FieldNumberByName(const std::string& name, bool fill) {
    if (!fill) {
        for (const auto& item : fieldCache_)
            if (item && SameTextNoCase(item->desc.name, name)) return item->fieldNumber;
        return 0;
    }
    for (int n = 1; n <= 4096; ++n) {
        TFieldCacheItem* item = CacheItem(n);
        if (item == nullptr) {
            DBIResult saved = Result();
            if (GetCacheItem(n, item) != 0) {
                SetResult(saved);
                return 0;
            }
        }
        if (item != nullptr && SameTextNoCase(item->desc.name, name)) return n;
    }
    return 0;
}

// ---- open, close ------------------------------------------------------------------------

DBIResult TBaseTable::Open() { return SetResult(kDbiErrInvalidHandle); }

DBIResult TBaseTable::CloseCursor() {
    state_ = kCursorClosed;
    return SetResult(0);
}

DBIResult TBaseTable::ReindexTable() { return ReportNotSupported(*this, cs::kReindexTable); }

DBIResult TBaseTable::CloneCursor(bool, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    return SetResult(kDbiErrInvalidHandle);
}

DBIResult TBaseTable::OpenIndex(const char*, std::uint16_t) { return SetResult(kDbiErrNotApplicable); }
DBIResult TBaseTable::CloseIndex(const char*, std::uint16_t) { return SetResult(kDbiErrNotApplicable); }

DBIResult TBaseTable::GetFieldDescs(void* descs) {
    if (descs == nullptr) return SetResult(kDbiErrInvalidParam);
    auto* out = static_cast<std::uint8_t*>(descs);
    int count = static_cast<int>(fieldCache_.size());
    for (int n = 1; n <= count; ++n) {
        TFieldCacheItem* item = nullptr;
        if (GetCacheItem(n, item) != 0) break;
        item->desc.Write(out + static_cast<std::size_t>(n - 1) * FLDDesc::kSize);
    }
    return SetResult(0);
}

// ---- positions --------------------------------------------------------------------------

// A closed cursor stays closed: positioning it would let a walk reach
// whatever its class freed at the close.
DBIResult TBaseTable::SetToBegin() {
    if (state_ == kCursorClosed) return SetResult(kDbiErrInvalidHandle);
    state_ = kCursorAtBegin;
    return SetResult(0);
}

DBIResult TBaseTable::SetToEnd() {
    if (state_ == kCursorClosed) return SetResult(kDbiErrInvalidHandle);
    state_ = kCursorAtEnd;
    return SetResult(0);
}

DBIResult TBaseTable::SetToCursor(TBaseTable* destination) {
    if (destination == nullptr) return SetResult(kDbiErrInvalidParam);
    // The destination moves; this cursor only lends its bookmark and keeps
    // its own position and state.
    std::vector<std::uint8_t> bookmark(BookmarkSize(), 0);
    DBIResult rc = GetBookMark(bookmark.data());
    if (rc == 0) rc = destination->SetToBookMark(bookmark.data());
    return SetResult(rc);
}

DBIResult TBaseTable::GetBookMark(void*) { return ReportNotSupported(*this, kNsGetBookmark); }
DBIResult TBaseTable::SetToBookMark(const void*) { return ReportNotSupported(*this, kNsSetBookmark); }
DBIResult TBaseTable::RereadAtBookmark(const void*, void*) { return SetResult(kDbiErrNotSupported); }
const void* TBaseTable::BookmarkKey(const void* bookmark) { return bookmark; }

DBIResult TBaseTable::CompareBookMarks(const void* first, const void* second, std::int16_t& result) {
    const void* a = first != nullptr ? BookmarkKey(first) : nullptr;
    const void* b = second != nullptr ? BookmarkKey(second) : nullptr;
    if (a == nullptr || b == nullptr) return SetResult(kDbiErrInvalidParam);
    std::int16_t c = 0;
    DBIResult rc = CompareKeys(a, b, c, 0, 0);
    result = static_cast<std::int16_t>(c < 0 ? -1 : (c > 0 ? 1 : 0));
    return SetResult(rc);
}

DBIResult TBaseTable::FirstInRange() {
    if (start_.present)
        return SetToKeySpecial(SearchCondition(start_.inclusive, true), start_.keyIsKey, start_.fieldCount,
                               start_.partialLength, start_.key, activeRecord_);
    return First();
}

DBIResult TBaseTable::LastInRange() {
    if (end_.present)
        return SetToKeySpecial(SearchCondition(end_.inclusive, false), end_.keyIsKey, end_.fieldCount,
                               end_.partialLength, end_.key, activeRecord_);
    return Last();
}

void TBaseTable::FillRecProps(void*) {}

DBIResult TBaseTable::FilterStep(DBIResult moved, bool next) {
    DBIResult rc = moved;
    if (rc != 0) return rc;
    std::uint8_t* record = activeRecord_;
    rc = RecordInRange();
    while (rc == 0 && filtersActive_) {
        if (FiltersAccept()) break;
        SetActiveRecord(record);
        rc = next ? NextRaw() : PriorRaw();
        if (rc == 0) rc = RecordInRange();
    }
    return rc;
}

DBIResult TBaseTable::StepRecord(bool forward, std::uint32_t lockType, void* record, void* recProps) {
    // A move without a buffer still needs one: filters and the range
    // check read the record the move brought in.
    std::vector<std::uint8_t> scratch;
    if (record == nullptr && (filtersActive_ || start_.present || end_.present)) {
        scratch.assign(RecordSize() > 256 ? RecordSize() : 256, 0);
        record = scratch.data();
    }
    SetActiveRecord(record);
    // Walking off either end leaves the cursor at that end.
    const std::uint8_t farEnd = forward ? kCursorAtEnd : kCursorAtBegin;
    const std::uint8_t nearEnd = forward ? kCursorAtBegin : kCursorAtEnd;
    const DBIResult offEnd = forward ? kDbiErrEof : kDbiErrBof;
    DBIResult rc;
    if (state_ == kCursorUnpositioned || state_ == nearEnd) {
        rc = forward ? FirstInRange() : LastInRange();
    } else if (state_ == kCursorOnRecord || state_ == kCursorAfterDelete) {
        rc = forward ? NextRaw() : PriorRaw();
    } else if (state_ == farEnd) {
        rc = offEnd;
    } else {
        return SetResult(kDbiErrInvalidHandle);  // closed
    }
    rc = FilterStep(rc, forward);
    if (rc == 0) {
        if (lockType == 0) {
            FillRecProps(recProps);
        } else {
            state_ = kCursorOnRecord;
            rc = GetRecord(lockType, record, recProps);
        }
    } else if (rc == offEnd) {
        state_ = farEnd;
    }
    if (rc == 0) state_ = kCursorOnRecord;
    return SetResult(rc);
}

DBIResult TBaseTable::GetNextRecord(std::uint32_t lockType, void* record, void* recProps) {
    return StepRecord(true, lockType, record, recProps);
}

DBIResult TBaseTable::GetPriorRecord(std::uint32_t lockType, void* record, void* recProps) {
    return StepRecord(false, lockType, record, recProps);
}

DBIResult TBaseTable::GetRecord(std::uint32_t lockType, void* record, void* recProps) {
    SetActiveRecord(record);
    switch (state_) {
        case kCursorOnRecord: {
            std::vector<std::uint8_t> bookmark(BookmarkSize(), 0);
            DBIResult rc = GetBookMark(bookmark.data());
            if (rc == 0) rc = RereadAtBookmark(bookmark.data(), record);
            if (rc == 0) FillRecProps(recProps);
            return SetResult(rc);
        }
        case kCursorAtBegin: return SetResult(kDbiErrBof);
        case kCursorAtEnd: return SetResult(kDbiErrEof);
        case kCursorClosed: return SetResult(kDbiErrInvalidHandle);
        case kCursorAfterDelete: {
            DBIResult rc = GetNextRecord(lockType, record, recProps);
            if (rc != 0) rc = GetPriorRecord(lockType, record, recProps);
            if (rc != 0) {
                state_ = kCursorUnpositioned;
                rc = GetNextRecord(lockType, record, recProps);
            }
            return SetResult(rc);
        }
        default: return SetResult(kDbiErrNoCurrRec);
    }
}

DBIResult TBaseTable::GetRelativeRecord(std::int32_t offset, std::uint32_t lockType, void* record,
                                        void* recProps) {
    if (offset == 0) return SetResult(kDbiErrInvalidParam);
    std::int64_t moves = offset < 0 ? -static_cast<std::int64_t>(offset) : offset;
    std::vector<std::uint8_t> scratch(recordSize_ > 0 ? recordSize_ : 1, 0);
    DBIResult rc = 0;
    for (std::int64_t i = 1; i <= moves && rc == 0; ++i) {
        bool last = i == moves;
        void* buf = last ? record : (record != nullptr ? scratch.data() : nullptr);
        rc = offset > 0 ? GetNextRecord(last ? lockType : 0, buf, last ? recProps : nullptr)
                        : GetPriorRecord(last ? lockType : 0, buf, last ? recProps : nullptr);
    }
    return SetResult(rc);
}

DBIResult TBaseTable::GetRecordForKey(bool, std::uint16_t, std::uint16_t, const void*, void*) {
    return SetResult(kDbiErrInvalidHandle);
}

DBIResult TBaseTable::GetVchkDesc(std::uint16_t, void*) { return ReportNotSupported(*this, kNsGetVchkDesc); }
DBIResult TBaseTable::GetRintDesc(std::uint16_t, void*) { return ReportNotSupported(*this, kNsGetRintDesc); }

// ---- locks ------------------------------------------------------------------------------

DBIResult TBaseTable::AcqTableLock(std::uint32_t) { return ReportNotSupported(*this, kNsAcqTableLock); }
DBIResult TBaseTable::RelTableLock(bool, std::uint32_t) { return ReportNotSupported(*this, kNsRelTableLock); }
DBIResult TBaseTable::RelRecordLock(bool) { return ReportNotSupported(*this, kNsRelRecordLock); }
DBIResult TBaseTable::IsRecordLocked(bool&) { return ReportNotSupported(*this, kNsIsRecordLocked); }

DBIResult TBaseTable::IsTableLocked(std::uint32_t, std::uint16_t& locks) {
    locks = 0;
    return SetResult(0);
}

DBIResult TBaseTable::IsTableShared(bool& shared) {
    shared = true;
    return SetResult(0);
}

// ---- records ----------------------------------------------------------------------------

DBIResult TBaseTable::InitRecord(void* record) {
    DBIResult rc = 0;
    if (record == nullptr) {
        rc = kDbiErrInvalidParam;
    } else if (RecordSize() > 0) {
        std::memset(record, 0, RecordSize());
    }
    SetRecordBuffer(record);
    return SetResult(rc);
}

DBIResult TBaseTable::InsertRecord(std::uint32_t, void*) { return ReportNotSupported(*this, kNsInsertRecord); }
DBIResult TBaseTable::AppendRecord(void* record) { return InsertRecord(0, record); }
DBIResult TBaseTable::ModifyRecord(void*, bool) { return ReportNotSupported(*this, kNsModifyRecord); }
DBIResult TBaseTable::DeleteRecord(void*) { return ReportNotSupported(*this, kNsDeleteRecord); }
DBIResult TBaseTable::UndeleteRecord() { return ReportNotSupported(*this, kNsUndeleteRecord); }

DBIResult TBaseTable::ReadBlock(std::uint32_t& count, void* buffer) {
    if (buffer == nullptr) return SetResult(kDbiErrInvalidParam);
    // Places are addressed with 16-bit offsets; a block that would wrap
    // round onto its own start is refused instead of overwriting it.
    if (static_cast<std::uint64_t>(count) * RecordSize() > 0xFFFF) return SetResult(kDbiErrInvalidParam);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    DBIResult rc = 0;
    while (done < count) {
        rc = GetNextRecord(0, out + static_cast<std::size_t>(done) * RecordSize(), nullptr);
        if (rc != 0) break;
        ++done;
    }
    count = done;
    return SetResult(rc);
}

DBIResult TBaseTable::WriteBlock(std::uint32_t& count, void* buffer) {
    if (buffer == nullptr) return SetResult(kDbiErrInvalidParam);
    if (static_cast<std::uint64_t>(count) * RecordSize() > 0xFFFF) return SetResult(kDbiErrInvalidParam);
    auto* in = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    DBIResult rc = 0;
    while (done < count) {
        rc = InsertRecord(0, in + static_cast<std::size_t>(done) * RecordSize());
        if (rc != 0) break;
        ++done;
    }
    count = done;
    return SetResult(rc);
}

DBIResult TBaseTable::GetSeqNo(std::uint32_t&) { return ReportNotSupported(*this, kNsGetSeqNo); }
DBIResult TBaseTable::SetToSeqNo(std::uint32_t) { return ReportNotSupported(*this, kNsSetToSeqNo); }

DBIResult TBaseTable::GetCursorProps(void* props) {
    if (props == nullptr) return SetResult(kDbiErrInvalidParam);
    CURProps c;
    std::uint32_t size = 0;
    GetFieldCountAndSize(c.fields, size);
    c.recordSize = static_cast<std::uint16_t>(size);
    c.recordBufferSize = c.recordSize;
    c.keySize = indexDesc_.keyLength;
    c.bookmarkSize = BookmarkSize();
    c.bookmarkStable = shareMode_ == 1 ? 1 : 0;
    c.openMode = openMode_;
    c.shareMode = shareMode_;
    c.seqNums = -1;
    c.uniDirectional = 1;
    c.rights = 255;
    c.filters = static_cast<std::uint16_t>(filters_.size());
    c.Write(props);
    return SetResult(0);
}

DBIResult TBaseTable::GetRecordCount(std::uint32_t& count) {
    count = 0;
    std::vector<std::uint8_t> record(RecordSize() > 0 ? RecordSize() : 1, 0);
    std::vector<std::uint8_t> bookmark(BookmarkSize(), 0);
    std::uint8_t before = state_;
    void* savedActive = activeRecord_;
    DBIResult saved = GetBookMark(bookmark.data());
    SetToBegin();
    while (GetNextRecord(0, record.data(), nullptr) == 0) ++count;
    // Counting walks the cursor to the end; it goes back where it stood,
    // also when that was no record (at the beginning or the end).
    if (saved == 0) {
        SetToBookMark(bookmark.data());
    } else if (before == kCursorAtBegin || before == kCursorUnpositioned) {
        state_ = before;
    }
    SetActiveRecord(savedActive);
    return SetResult(0);
}

DBIResult TBaseTable::GetExactRecordCount(std::uint32_t& count) { return GetRecordCount(count); }

DBIResult TBaseTable::GetRecordNo(std::uint32_t&) { return NotSupported(); }
DBIResult TBaseTable::SetToRecordNo(std::uint32_t) { return NotSupported(); }
DBIResult TBaseTable::SaveChanges() { return SetResult(0); }

DBIResult TBaseTable::ForceReread() {
    rereadPending_ = true;
    return SetResult(0);
}

DBIResult TBaseTable::RefreshRecord() {
    ForceReread();
    return GetRecord(0, recordBuffer_, nullptr);
}

DBIResult TBaseTable::OpenLockList(bool, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    return ReportNotSupported(*this, cs::kOpenLockList);
}

DBIResult TBaseTable::MakePermanent(const char*, bool) { return ReportNotSupported(*this, kNsMakePermanent); }

// ---- ranges and keys --------------------------------------------------------------------

std::uint32_t TBaseTable::KeyLength() const {
    return indexDesc_.keyLength > kMaxKeyLength ? kMaxKeyLength : indexDesc_.keyLength;
}

void TBaseTable::FillBound(TRangeBound& bound, bool keyIsKey, std::uint16_t fields, std::uint16_t length,
                           const void* key, bool inclusive) {
    bound.keyIsKey = keyIsKey;
    bound.fieldCount = fields;
    bound.partialLength = length;
    bound.inclusive = inclusive;
    bound.wholeKey = fields == 0 && length == 0;
    bound.data.fill(0);
    bound.present = key != nullptr;
    if (key == nullptr) {
        bound.key = nullptr;
    } else if (keyIsKey) {
        // The whole key of the current index, however long, up to the
        // engine's longest key.
        std::memcpy(bound.data.data(), key, KeyLength());
        bound.key = bound.data.data();
    } else {
        bound.key = static_cast<const std::uint8_t*>(key);
    }
}

DBIResult TBaseTable::SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                               bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                               bool inclusive2) {
    ResetRange();
    FillBound(start_, keyIsKey, fields1, length1, key1, inclusive1);
    FillBound(end_, keyIsKey, fields2, length2, key2, inclusive2);
    for (TRangeBound* b : {&start_, &end_}) {
        if (!b->present || b->keyIsKey) continue;
        std::array<std::uint8_t, kMaxKeyLength> key{};
        if (ExtractKeyPrecise(b->key, key.data()) == 0) {
            b->data = key;
            b->key = b->data.data();
            b->keyIsKey = true;
        } else {
            b->present = false;
            b->key = nullptr;
        }
    }
    singleKeyRange_ = start_.present && end_.present && start_.fieldCount == end_.fieldCount &&
                      start_.partialLength == end_.partialLength;
    return SetResult(0);
}

DBIResult TBaseTable::ResetRange() {
    start_ = TRangeBound{};
    end_ = TRangeBound{};
    singleKeyRange_ = false;
    return SetResult(0);
}

DBIResult TBaseTable::RecordInRange() {
    if (!start_.present && !end_.present) return 0;
    std::array<std::uint8_t, kMaxKeyLength> key{};
    DBIResult rc = ExtractKeyPrecise(activeRecord_, key.data());
    if (rc != 0) return rc;
    if (start_.present) {
        std::int16_t c = 0;
        rc = CompareKeys(key.data(), start_.key, c, start_.fieldCount, start_.partialLength);
        if (rc != 0) return rc;
        if (c < 0 || (c == 0 && !start_.inclusive)) return kDbiErrBof;
    }
    if (end_.present) {
        std::int16_t c = 0;
        rc = CompareKeys(key.data(), end_.key, c, end_.fieldCount, end_.partialLength);
        if (rc != 0) return rc;
        if (c > 0 || (c == 0 && !end_.inclusive)) return kDbiErrEof;
    }
    return 0;
}

DBIResult TBaseTable::CompareKeys(const void* key, const void* other, std::int16_t& result,
                                  std::uint16_t fieldCount, std::uint16_t partialLength) {
    result = 0;
    if (key == nullptr) return SetResult(kDbiErrInvalidHandle);
    if (other == nullptr) other = activeRecord_;
    if (other == nullptr) return SetResult(kDbiErrInvalidParam);
    const auto* a = static_cast<const std::uint8_t*>(key);
    const auto* b = static_cast<const std::uint8_t*>(other);
    int keyFields = indexDesc_.keyFieldCount > IDXDesc::kMaxKeyFields ? IDXDesc::kMaxKeyFields
                                                                      : indexDesc_.keyFieldCount;
    int fields = (fieldCount == 0 && partialLength == 0) ? keyFields : (fieldCount < keyFields ? fieldCount : keyFields);
    // Keys never reach beyond the engine's longest key.
    std::uint32_t limit = KeyLength() > 0 ? KeyLength() : kMaxKeyLength;
    std::uint32_t at = 0;
    for (int i = 0; i < fields; ++i) {
        TFieldCacheItem* item = nullptr;
        DBIResult rc = GetCacheItem(indexDesc_.keyFields[static_cast<std::size_t>(i)], item);
        if (rc != 0) return SetResult(rc);
        std::uint32_t length = keyFieldLengths_[static_cast<std::size_t>(i)].set
                                   ? keyFieldLengths_[static_cast<std::size_t>(i)].length
                                   : item->desc.length;
        std::uint32_t compareLength = length;
        if (i == fields - 1 && partialLength != 0 && partialLength < length) compareLength = partialLength;
        if (at + length > limit) break;
        int c = CompareValues(item->desc.fieldType, a + at, b + at, indexDesc_.caseInsensitive != 0,
                              compareLength);
        if (c != 0) {
            result = static_cast<std::int16_t>(c);
            break;
        }
        at += length;
    }
    return SetResult(0);
}

DBIResult TBaseTable::ResolveIndex(const char* indexName, std::uint16_t& indexNumber, std::string& resolvedName) {
    std::string name = BoundedCString(indexName, kMaxOpenedName);
    indexNumber = 0;
    bool fieldList = name.find('@') != std::string::npos || name.find(';') != std::string::npos;
    if (!fieldList) {
        bool digits = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
        if (digits && name.size() <= 5) {
            unsigned long n = std::stoul(name);
            if (n <= std::numeric_limits<std::uint16_t>::max()) {
                indexNumber = static_cast<std::uint16_t>(n);
                std::vector<std::uint8_t> desc(IDXDesc::kSize, 0);
                DBIResult saved = Result();
                if (GetIndexDesc(indexNumber, desc.data()) == 0) {
                    resolvedName = IDXDesc::Read(desc.data()).name.substr(0, 31);
                } else {
                    resolvedName.clear();
                    SetResult(saved);
                }
                return SetResult(0);
            }
        }
        // A name in any letter case resolves to the index's own spelling
        // when the cursor can list its indexes.
        resolvedName = name;
        std::vector<std::uint8_t> desc(IDXDesc::kSize, 0);
        DBIResult saved = Result();
        for (std::uint16_t n = 0; n < 256; ++n) {
            if (GetIndexDesc(n, desc.data()) != 0) break;
            IDXDesc d = IDXDesc::Read(desc.data());
            if (!d.name.empty() && SameTextNoCase(d.name, name)) {
                indexNumber = n;
                resolvedName = d.name.substr(0, 31);
                break;
            }
        }
        SetResult(saved);
        return SetResult(0);
    }
    // "@A@B" as the API writes it, or "A;B" as the dataset layer does.
    std::vector<int> wanted;
    std::string part;
    auto flush = [&]() {
        std::string t = Trimmed(part.c_str());
        part.clear();
        if (t.empty()) return true;
        int n = FieldNumberByName(t, true);
        if (n == 0) return false;
        wanted.push_back(n);
        return true;
    };
    for (char c : name) {
        if (c == '@' || c == ';') {
            if (!flush()) return SetResult(kDbiErrInvalidIndexName);
        } else {
            part += c;
        }
    }
    if (!flush() || wanted.empty() || wanted.size() > IDXDesc::kMaxKeyFields)
        return SetResult(kDbiErrInvalidIndexName);
    std::vector<std::uint8_t> desc(IDXDesc::kSize, 0);
    for (std::uint16_t n = 0; n < 256; ++n) {
        DBIResult rc = GetIndexDesc(n, desc.data());
        if (rc != 0) return SetResult(rc);
        IDXDesc d = IDXDesc::Read(desc.data());
        if (d.keyFieldCount != wanted.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < wanted.size(); ++i) same = same && d.keyFields[i] == wanted[i];
        if (same) {
            indexNumber = n;
            resolvedName = d.name.substr(0, 31);
            return SetResult(0);
        }
    }
    return SetResult(kDbiErrInvalidIndexName);
}

DBIResult TBaseTable::SwitchToIndex(const char*, const char*, std::uint16_t, bool) {
    return ReportNotSupported(*this, kNsSwitchToIndex);
}

DBIResult TBaseTable::SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                               std::uint16_t partialLength, const void* key) {
    std::vector<std::uint8_t> scratch(RecordSize() > 0 ? RecordSize() : 1, 0);
    std::uint8_t* saved = activeRecord_;
    SetActiveRecord(scratch.data());
    DBIResult rc = SetToKeySpecial(condition, keyIsKey, fieldCount, partialLength, key, scratch.data());
    if (rc == 0) {
        rc = FilterStep(rc, true);
    } else if (condition != kKeySearchEq) {
        SetToEnd();
    }
    SetActiveRecord(saved);
    return SetResult(rc);
}

DBIResult TBaseTable::SetToKeySpecial(std::uint16_t, bool, std::uint16_t, std::uint16_t, const void*, void*) {
    return ReportNotSupported(*this, kNsSetToKeySpecial);
}

DBIResult TBaseTable::ExtractKey(const void* record, void* key) { return ExtractKeyPrecise(record, key); }
DBIResult TBaseTable::ExtractKeyPrecise(const void*, void*) {
    return ReportNotSupported(*this, kNsExtractKeyPrecise);
}

DBIResult TBaseTable::GetIndexDesc(std::uint16_t, void*) { return SetResult(kDbiErrInvalidHandle); }

DBIResult TBaseTable::GetIndexDescs(void* descs) {
    if (descs == nullptr) return SetResult(kDbiErrInvalidParam);
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    GetCursorProps(props.data());
    std::uint16_t count = CURProps::Read(props.data()).indexes;
    auto* out = static_cast<std::uint8_t*>(descs);
    for (std::uint16_t n = 1; n <= count; ++n) {
        std::uint8_t* place = out + static_cast<std::size_t>(n - 1) * IDXDesc::kSize;
        if (GetIndexDesc(n, place) != 0) std::memset(place, 0, IDXDesc::kSize);
    }
    return SetResult(0);
}

DBIResult TBaseTable::IndexDescByName(const char*, void* desc) {
    if (desc != nullptr) std::memset(desc, 0, IDXDesc::kSize);
    return SetResult(kDbiErrInvalidHandle);
}

DBIResult TBaseTable::IndexNumberByName(const char*, std::uint16_t& number) {
    number = 0;
    return SetResult(kDbiErrInvalidHandle);
}

DBIResult TBaseTable::DeleteAllRecords() {
    int emptyRounds = 0;
    std::vector<std::uint8_t> record(RecordSize() > 0 ? RecordSize() : 1, 0);
    for (;;) {
        SetActiveRecord(record.data());
        // Positioning by the start bound alone can land past the end bound;
        // such a record is outside the range and stays.
        if (FirstInRange() == 0 && RecordInRange() == 0) {
            state_ = kCursorOnRecord;
            if (DeleteRecord(nullptr) != 0) {
                // A record that cannot go would be found again and again.
                if (++emptyRounds >= 5) break;
            }
            continue;
        }
        std::uint32_t count = 0;
        if (GetRecordCount(count) != 0 || count < 1 || ++emptyRounds >= 5) break;
    }
    SetActiveRecord(nullptr);
    return SetToBegin();
}

DBIResult TBaseTable::EmptyTable() {
    bool wasClosed = state_ == kCursorClosed;
    std::uint32_t share = shareMode_;
    DBIResult rc = 0;
    if (wasClosed || shareMode_ != 1) {
        CloseCursor();
        shareMode_ = 1;
        rc = Open();
    }
    if (rc == 0) rc = DeleteAllRecords();
    shareMode_ = share;
    if (wasClosed) CloseCursor();
    return SetResult(rc);
}

DBIResult TBaseTable::AddIndex(const void*, const char*) { return ReportNotSupported(*this, kNsAddIndex); }
DBIResult TBaseTable::DeleteIndex(const char*, const char*, std::uint16_t) {
    return ReportNotSupported(*this, kNsDeleteIndex);
}

// ---- delayed updates, BLOBs, fields -----------------------------------------------------

DBIResult TBaseTable::BeginDelayedUpdates(hDBICur& cursor) {
    cursor = kNilHandle;
    auto* cache = new (std::nothrow) TBaseCacheTable(this);
    if (cache == nullptr) return SetResult(kDbiErrInvalidParam);
    if (cache->CreateResult() != 0) {
        delete cache;
        return SetResult(kDbiErrInvalidParam);
    }
    cursor = cache->Handle();
    return SetResult(0);
}
DBIResult TBaseTable::EndDelayedUpdates(hDBICur&) { return ReportNotSupported(*this, kNsEndDelayedUpdates); }
DBIResult TBaseTable::ApplyDelayedUpdates(std::uint32_t) { return ReportNotSupported(*this, kNsApplyDelayedUpdates); }
DBIResult TBaseTable::GetDelayedUpdates(void*) { return ReportNotSupported(*this, kNsGetDelayedUpdates); }

DBIResult TBaseTable::GetLdObj(void*& ldObj) {
    ldObj = nullptr;
    return SetResult(0);
}

DBIResult TBaseTable::OpenBlob(void*, std::uint16_t, std::uint32_t) { return ReportNotSupported(*this, kNsOpenBlob); }
DBIResult TBaseTable::GetBlobSize(void*, std::uint16_t, std::uint32_t&) {
    return ReportNotSupported(*this, kNsGetBlobSize);
}
DBIResult TBaseTable::GetBlob(void*, std::uint16_t, std::uint32_t, std::uint32_t, void*, std::uint32_t&) {
    return ReportNotSupported(*this, kNsGetBlob);
}
DBIResult TBaseTable::PutBlob(void*, std::uint16_t, std::uint32_t, std::uint32_t, const void*) {
    return ReportNotSupported(*this, kNsPutBlob);
}
DBIResult TBaseTable::TruncateBlob(void*, std::uint16_t, std::uint32_t) {
    return ReportNotSupported(*this, kNsTruncateBlob);
}
DBIResult TBaseTable::FreeBlob(void*, std::uint16_t) { return SetResult(0); }
DBIResult TBaseTable::GetBlobHeading(std::uint16_t, void*, void*) {
    return ReportNotSupported(*this, kNsGetBlobHeading);
}
DBIResult TBaseTable::SetFieldMap(std::uint16_t, const void*) { return ReportNotSupported(*this, kNsSetFieldMap); }

DBIResult TBaseTable::GetField(std::uint16_t fieldNumber, const void* record, void* dest, bool* blank) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    TFieldCacheItem* item = nullptr;
    GetCacheItem(fieldNumber, item);
    if (item == nullptr) {
        if (blank != nullptr) *blank = true;
        return SetResult(kDbiErrOutOfRange);
    }
    bool isBlank = false;
    DBIResult rc;
    if (dest != nullptr) {
        rc = ReadFieldValue(*item, record, dest, isBlank);
    } else {
        // API values can be wider than the record's bytes (a logical field
        // holds one byte and reads as two), so the scratch block is roomy.
        std::vector<std::uint8_t> scratch(item->desc.length > 256 ? item->desc.length : 256, 0);
        rc = ReadFieldValue(*item, record, scratch.data(), isBlank);
    }
    if (blank != nullptr) *blank = isBlank;
    return SetResult(rc);
}

DBIResult TBaseTable::PutField(std::uint16_t fieldNumber, void* record, const void* source) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    TFieldCacheItem* item = nullptr;
    GetCacheItem(fieldNumber, item);
    if (item == nullptr) return SetResult(kDbiErrOutOfRange);
    return SetResult(WriteFieldValue(*item, record, source));
}

// ---- link mode --------------------------------------------------------------------------

DBIResult TBaseTable::BeginLinkMode(hDBICur&) { return ReportNotSupported(*this, kNsBeginLinkMode); }
DBIResult TBaseTable::EndLinkMode(hDBICur&) { return ReportNotSupported(*this, kNsEndLinkMode); }
DBIResult TBaseTable::LinkDetail(hDBICur, hDBICur, std::uint16_t, const void*, const void*) {
    return ReportNotSupported(*this, kNsLinkDetail);
}
DBIResult TBaseTable::LinkDetailToExp(hDBICur, hDBICur, std::uint16_t, const char*) {
    return ReportNotSupported(*this, kNsLinkDetailToExp);
}
DBIResult TBaseTable::UnlinkDetail(hDBICur) { return ReportNotSupported(*this, kNsUnlinkDetail); }
DBIResult TBaseTable::GetLinkStatus(hDBICur&, hDBICur&, hDBICur&) { return ReportNotSupported(*this, kNsGetLinkStatus); }

// ---- the empty list ---------------------------------------------------------------------

TEmptyListTable::TEmptyListTable(TBapiListItem* owner, TBapiCollection* list)
    : TBaseTable(owner, list, 0, 0, nullptr) {}

DBIResult TEmptyListTable::Open() {
    SetState(kCursorUnpositioned);
    return SetResult(0);
}

}  // namespace qv
