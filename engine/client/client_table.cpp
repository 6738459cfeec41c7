#include "engine/client/client_table.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/base/qv_base.h"
#include "engine/client/client_comms_engine.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_session.h"
#include "engine/client/type_conversion.h"
#include "platform/core/streams.h"
#include "platform/core/threads.h"

namespace qv {

namespace {

// Large BLOB transfers go in chunks of this size, far below the largest
// message, so any length the caller names can travel.
constexpr std::uint32_t kBlobChunk = 1u << 20;
constexpr std::uint32_t kRecPropsSize = 14;

void SetNullFlag(const TqvDataDictionary& d, std::uint8_t* record, std::uint32_t n, bool isNull) {
    std::uint8_t& b = record[d.DataLength() + n / 8];
    const auto bit = static_cast<std::uint8_t>(1u << (n % 8));
    b = isNull ? static_cast<std::uint8_t>(b | bit) : static_cast<std::uint8_t>(b & ~bit);
}

std::string Trimmed(const char* p) {
    std::string s = p != nullptr ? p : "";
    std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::uint8_t LockByte(std::uint32_t lockType) { return lockType == 0 ? 0 : static_cast<std::uint8_t>(lockType); }

}  // namespace

TQVClientTable::TQVClientTable(TQVClientDatabase* database, const char* tableName, std::uint32_t openMode,
                               std::uint32_t shareMode, std::uint16_t indexId)
    : TBaseTable(database, database != nullptr ? &database->Cursors() : nullptr, openMode, shareMode, tableName),
      database_(database),
      indexId_(indexId) {}

TQVClientTable::~TQVClientTable() {
    if (cursorId_ != 0xFFFFFFFFu) CloseCursor();
    DropReadAhead();
}

DBIResult TQVClientTable::Request(std::uint32_t messageId, const TqvRequestWriter& request,
                                  std::vector<std::uint8_t>* reply) {
    if (database_ == nullptr) return SetResult(kDbiErrInvalidHandle);
    if (DBIResult rc = BeforeRequest(messageId)) return SetResult(rc);
    ++requests_;
    return SetResult(database_->Request(messageId, request, reply));
}

std::uint32_t TQVClientTable::KeyLen() const {
    if (indexId_ >= dictionary_.IndexCount()) return 0;
    return std::min<std::uint32_t>(dictionary_.IndexKeyLength(indexId_), kMaxKeyLength);
}

std::uint16_t TQVClientTable::BookmarkSize() const { return static_cast<std::uint16_t>(KeyLen() + 20); }

void TQVClientTable::RefreshIndex() {
    indexDesc_ = IDXDesc{};
    if (indexId_ < dictionary_.IndexCount()) indexDesc_ = IndexDescFromDict(dictionary_.Index(indexId_));
}

void TQVClientTable::LoadDictionary(plat::Stream& stream) {
    dictionary_.Clear(true);
    dictionary_.ReadFromStream(stream);
    SetRecordSize(dictionary_.GetRecordLength());
    computedRecordSize_ = 0;
    RefreshIndex();
}

DBIResult TQVClientTable::ResolveIndexNumber(const char* name, std::uint32_t& number) {
    std::string n = Trimmed(name);
    if (n.empty()) return 0;
    if (n.size() <= 5 && n.find_first_not_of("0123456789") == std::string::npos) {
        number = static_cast<std::uint32_t>(std::stoul(n));
        return number < dictionary_.IndexCount() ? 0 : kDbiErrInvalidIndexName;
    }
    for (std::uint32_t i = 0; i < dictionary_.IndexCount(); ++i)
        if (SameTextNoCase(dictionary_.Index(i).name, n)) return number = i, 0;
    // A field list: "A;B" or "@A@B" names the index whose key fields are those.
    std::vector<std::uint32_t> fields;
    std::string part;
    for (std::size_t i = 0; i <= n.size(); ++i) {
        if (i == n.size() || n[i] == ';' || n[i] == '@') {
            std::string t = Trimmed(part.c_str());
            part.clear();
            if (t.empty()) continue;
            int f = -1;
            for (std::uint32_t k = 0; k < dictionary_.FieldCount(); ++k)
                if (SameTextNoCase(dictionary_.Field(k).name, t)) f = static_cast<int>(k);
            if (f < 0) return kDbiErrInvalidIndexName;
            fields.push_back(static_cast<std::uint32_t>(f));
        } else {
            part += n[i];
        }
    }
    for (std::uint32_t i = 0; i < dictionary_.IndexCount(); ++i) {
        const TqvIndexDescriptor& x = dictionary_.Index(i);
        if (x.keyFieldCount != static_cast<std::int32_t>(fields.size())) continue;
        if (std::equal(fields.begin(), fields.end(), x.fields.begin())) return number = i, 0;
    }
    return kDbiErrInvalidIndexName;
}

// ---- open, close ------------------------------------------------------------------------

DBIResult TQVClientTable::Open() {
    if (database_ == nullptr) return SetResult(kDbiErrInvalidHandle);
    const std::string name = QvExtractTableName(TableNameAddr());
    TqvRequestWriter w;
    // A named index is resolved here, against the dictionary, after a first
    // open on the index asked by number.
    const std::uint32_t askIndex = indexToOpen_.empty() ? indexId_ : 0;
    w.U32(database_->DatabaseId()).Str(name, 32).Str("", 32).U32(askIndex).U8(OpenModeByte(openMode_)).U8(
        ShareModeByte(shareMode_));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmOpenTableId, w, &reply);
    if (rc != 0) {
        cursorId_ = 0xFFFFFFFFu;
        return SetResult(rc);
    }
    if (reply.size() < 8) return SetResult(kDbiErrInvalidParam);
    cursorId_ = GetU32(reply.data());
    plat::MemoryStream s(std::string(reinterpret_cast<const char*>(reply.data()), reply.size()));
    s.SetPosition(4);
    try {
        LoadDictionary(s);
        std::uint8_t idx[4];
        if (s.Read(idx, 4) != 4) throw std::runtime_error("short");
        indexId_ = GetU32(idx);
    } catch (const std::exception&) {
        // A reply that does not read is no open cursor.
        CloseCursor();
        return SetResult(kDbiErrInvalidParam);
    }
    RefreshIndex();
    SetNameAsOpened(TableNameAddr());
    SetState(kCursorUnpositioned);
    for (std::uint32_t k = 0; k < dictionary_.FieldCount(); ++k) {
        auto item = std::make_unique<TFieldCacheItem>();
        item->fieldNumber = static_cast<std::uint16_t>(k + 1);
        GetNativeDesc(item->fieldNumber, item->desc, item->engineType, item->engineLength);
        PutCacheItem(std::move(item));
    }
    if (!indexToOpen_.empty()) {
        std::uint32_t number = indexId_;
        rc = ResolveIndexNumber(indexToOpen_.c_str(), number);
        if (rc == 0 && number != indexId_) rc = SwitchToIndex(nullptr, nullptr, static_cast<std::uint16_t>(number), false);
        if (rc != 0) {
            CloseCursor();
            return SetResult(rc);
        }
        SetState(kCursorUnpositioned);
    }
    return SetResult(0);
}

DBIResult TQVClientTable::CloseCursor() {
    if (cursorId_ == 0xFFFFFFFFu) return SetResult(kDbiErrInvalidHandle);
    TqvRequestWriter w;
    w.U32(cursorId_);
    DBIResult rc = Request(QvnmCursorCloseId, w, nullptr);
    if (rc == 0) {
        SetState(kCursorClosed);
        cursorId_ = 0xFFFFFFFFu;
    }
    return SetResult(rc);
}

// ---- fields -----------------------------------------------------------------------------

DBIResult TQVClientTable::GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                                        std::uint16_t& engineLength) {
    if (fieldNumber < 1 || fieldNumber > dictionary_.FieldCount()) return SetResult(kDbiErrOutOfRange);
    const TqvFieldDescriptor& f = dictionary_.Field(fieldNumber - 1u);
    desc = FieldDescFromDict(f);
    engineType = f.type;
    engineLength = static_cast<std::uint16_t>(f.length);
    return SetResult(0);
}

DBIResult TQVClientTable::ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    const std::uint32_t n = item.fieldNumber - 1u;
    if (n >= dictionary_.FieldCount()) return SetResult(kDbiErrOutOfRange);
    const auto* rec = static_cast<const std::uint8_t*>(record);
    const TqvFieldDescriptor& f = dictionary_.Field(n);
    const std::uint32_t apiLen = std::max(BlankLength(item.desc.fieldType, item.desc.length),
                                          ApiValueLength(f.type, f.length));
    blank = dictionary_.IsRecordFieldNull(n, rec);
    if (blank) {
        if (dest != nullptr) std::memset(dest, 0, apiLen);
        return SetResult(0);
    }
    if (dest == nullptr) return SetResult(0);
    int r = FieldValueToApi(f.type, dest, apiLen, rec + f.offset, f.length);
    DBIResult rc = 0;
    if (r == kFieldValueUnknownType) blank = true, rc = kDbiErrNotSupported;
    else if (r == kFieldValueBlank) blank = true;
    else if (r == kFieldValueRefused) rc = kDbiErrInvalidParam;
    if (blank) std::memset(dest, 0, apiLen);
    return SetResult(rc);
}

DBIResult TQVClientTable::WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    const std::uint32_t n = item.fieldNumber - 1u;
    if (n >= dictionary_.FieldCount()) return SetResult(kDbiErrOutOfRange);
    auto* rec = static_cast<std::uint8_t*>(record);
    const TqvFieldDescriptor& f = dictionary_.Field(n);
    if (source == nullptr) {
        std::memset(rec + f.offset, 0, f.length);
        SetNullFlag(dictionary_, rec, n, true);
        return SetResult(0);
    }
    const std::uint32_t apiLen = std::max(BlankLength(item.desc.fieldType, item.desc.length),
                                          ApiValueLength(f.type, f.length));
    int r = FieldValueFromApi(f.type, rec + f.offset, f.length, source, apiLen);
    switch (r) {
        case kFieldValueOk: SetNullFlag(dictionary_, rec, n, false); return SetResult(0);
        case kFieldValueRefused: return SetResult(kDbiErrOutOfRange);  // nothing was written
        default:
            std::memset(rec + f.offset, 0, f.length);
            SetNullFlag(dictionary_, rec, n, true);
            return SetResult(r == kFieldValueUnknownType ? kDbiErrNotSupported : 0);
    }
}

DBIResult TQVClientTable::InitRecord(void* record) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    dictionary_.InitRecord(static_cast<std::uint8_t*>(record));
    return SetResult(0);
}

// ---- moves ------------------------------------------------------------------------------

DBIResult TQVClientTable::ReadRecord(std::uint32_t messageId, std::uint32_t lockType, std::uint8_t* record) {
    const std::uint32_t recLen = record != nullptr ? RecordLength() : 0;
    TqvRequestWriter w;
    // The bookmark part of the reply is not used here; asking for none
    // saves building it.
    w.U32(cursorId_).U32(recLen).U32(0).U8(LockByte(lockType));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(messageId, w, &reply);
    if (rc == 0 && record != nullptr) {
        if (reply.size() < recLen) return SetResult(kDbiErrInvalidParam);
        std::memcpy(record, reply.data(), recLen);
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::NextRaw() {
    DBIResult rc = 0;
    if (NextFromReadAhead(rc) == 0) return SetResult(rc);
    return ReadRecord(QvnmRecordGetNextId, 0, ActiveRecord());
}
DBIResult TQVClientTable::PriorRaw() { return ReadRecord(QvnmRecordGetPrevId, 0, ActiveRecord()); }

DBIResult TQVClientTable::First() {
    DBIResult rc = SetToBegin();
    if (rc == 0) rc = NextRaw();
    return SetResult(rc);
}

DBIResult TQVClientTable::Last() {
    DBIResult rc = SetToEnd();
    if (rc == 0) rc = PriorRaw();
    return SetResult(rc);
}

DBIResult TQVClientTable::SetToBegin() {
    if (serverAtBegin_) {
        // Nothing has moved the server cursor since it was put there.
        SetState(kCursorOnRecord);
        atStart_ = true;
        return SetResult(0);
    }
    TqvRequestWriter w;
    w.U32(cursorId_);
    DBIResult rc = Request(QvnmSetToBeginId, w, nullptr);
    SetState(rc == 0 ? kCursorOnRecord : kCursorUnpositioned);
    atStart_ = rc == 0;
    return SetResult(rc);
}

DBIResult TQVClientTable::SetToEnd() {
    TqvRequestWriter w;
    w.U32(cursorId_);
    DBIResult rc = Request(QvnmSetToEndId, w, nullptr);
    SetState(rc == 0 ? kCursorOnRecord : kCursorUnpositioned);
    return SetResult(rc);
}

DBIResult TQVClientTable::SetToCursor(TBaseTable* destination) {
    auto* dest = dynamic_cast<TQVClientTable*>(destination);
    if (dest == nullptr) return SetResult(kDbiErrInvalidHandle);
    TqvRequestWriter w;
    w.U32(dest->cursorId_).U32(cursorId_);
    DBIResult rc = Request(QvnmSetToCursorId, w, nullptr);
    // The destination is the cursor that moved; its own state has to say
    // so, or its next GetRecord would answer "no current record".
    if (rc == 0) dest->SetState(State() == kCursorAfterDelete ? kCursorAfterDelete : kCursorOnRecord);
    return SetResult(rc);
}

void TQVClientTable::FillRecProps(void* recProps) {
    if (recProps != nullptr) std::memset(recProps, 0, kRecPropsSize);
}

DBIResult TQVClientTable::GetNextRecord(std::uint32_t lockType, void* record, void* recProps) {
    // The filters need a record even when the caller wants none.
    std::vector<std::uint8_t> scratch;
    if (record == nullptr && FiltersActive()) {
        scratch.assign(RecordLength(), 0);
        record = scratch.data();
    }
    // Only unlocked moves read ahead: a lock is taken on the server's record.
    unlockedMove_ = lockType == 0;
    DBIResult rc = TBaseTable::GetNextRecord(lockType, record, recProps);
    unlockedMove_ = false;
    SetActiveRecord(nullptr);
    return rc;
}

DBIResult TQVClientTable::GetPriorRecord(std::uint32_t lockType, void* record, void* recProps) {
    std::vector<std::uint8_t> scratch;
    if (record == nullptr && FiltersActive()) {
        scratch.assign(RecordLength(), 0);
        record = scratch.data();
    }
    DBIResult rc = TBaseTable::GetPriorRecord(lockType, record, recProps);
    SetActiveRecord(nullptr);
    return rc;
}

DBIResult TQVClientTable::GetRecord(std::uint32_t lockType, void* record, void* recProps) {
    switch (State()) {
        case kCursorAtBegin: return SetResult(kDbiErrBof);
        case kCursorAtEnd: return SetResult(kDbiErrEof);
        case kCursorOnRecord: case kCursorAfterDelete: break;
        case kCursorClosed: return SetResult(kDbiErrInvalidHandle);
        default: return SetResult(kDbiErrNoCurrRec);
    }
    std::vector<std::uint8_t> scratch;
    auto* rec = static_cast<std::uint8_t*>(record);
    if (rec == nullptr && FiltersActive()) {
        scratch.assign(RecordLength(), 0);
        rec = scratch.data();
    }
    DBIResult rc = ReadRecord(QvnmRecordGetId, lockType, rec);
    if (rc == 0 && FiltersActive()) {
        // A current record the filters refuse gives way to the next one
        // they accept, as a move forwards would.
        SetActiveRecord(rec);
        rc = FilterStep(rc, true);
        SetActiveRecord(nullptr);
        if (rc == kDbiErrEof) SetState(kCursorAtEnd);
    }
    if (rc == 0) FillRecProps(recProps);
    else if (lockType == 1) RelRecordLock(false);
    return SetResult(rc);
}

DBIResult TQVClientTable::GetRecordForKey(bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                                          const void* key, void* record) {
    if (key == nullptr) return SetResult(kDbiErrInvalidParam);
    if (!directKey && indexId_ >= dictionary_.IndexCount()) return SetResult(kDbiErrInvalidIndexType);
    const std::uint32_t recLen = record != nullptr ? RecordLength() : 0;
    const std::uint32_t dataLen = directKey ? KeyLen() : RecordLength();
    TqvRequestWriter w;
    w.U32(cursorId_).U8(directKey ? 1 : 0).U32(fieldCount).U32(partialLength).U32(recLen).U32(dataLen).U32(0).Raw(
        key, dataLen);
    // The reply buffer is the cursor's own: look-ups come one after another.
    std::vector<std::uint8_t>& reply = replyScratch_;
    DBIResult rc = Request(QvnmRecordGetForKeyId, w, &reply);
    if (rc == 0) {
        SetState(kCursorOnRecord);
        if (record != nullptr && reply.size() >= recLen) std::memcpy(record, reply.data(), recLen);
    }
    return SetResult(rc);
}

// ---- bookmarks --------------------------------------------------------------------------

DBIResult TQVClientTable::GetBookMark(void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    const std::uint32_t size = BookmarkSize();
    TqvRequestWriter w;
    w.U32(cursorId_).U32(size);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmGetBookmarkId, w, &reply);
    if (rc == 0) {
        if (reply.size() != size) return SetResult(kDbiErrInvalidParam);
        std::memcpy(bookmark, reply.data(), size);
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::SetToBookMark(const void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(BookmarkSize()).Raw(bookmark, BookmarkSize());
    DBIResult rc = Request(QvnmSetToBookmarkId, w, nullptr);
    // A cursor that never was positioned is now: the server holds a position.
    if (rc == 0 && State() == kCursorUnpositioned) SetState(kCursorOnRecord);
    return SetResult(rc);
}

DBIResult TQVClientTable::CompareBookMarks(const void* first, const void* second, std::int16_t& result) {
    if (first == nullptr || second == nullptr) return SetResult(kDbiErrInvalidParam);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(BookmarkSize()).Raw(first, BookmarkSize()).Raw(second, BookmarkSize());
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmCompareBookmarksId, w, &reply);
    if (rc == 0) {
        if (reply.size() < 4) return SetResult(kDbiErrInvalidParam);
        auto v = static_cast<std::int32_t>(GetU32(reply.data()));
        result = static_cast<std::int16_t>(v < 0 ? -1 : v > 0 ? 1 : 0);
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::RereadAtBookmark(const void* bookmark, void* record) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    DBIResult rc = SetToBookMark(bookmark);
    if (rc == 0) rc = GetRecord(0, record, nullptr);
    if (rc == 0) rc = ExtractKey(record, keyBuffer_.data());
    else if (KeyLen() != 0) rc = SetToKey(kKeySearchGtEq, true, 0, 0, keyBuffer_.data());
    return SetResult(rc);
}

// ---- locks ------------------------------------------------------------------------------

DBIResult TQVClientTable::AcqTableLock(std::uint32_t lockType) {
    TqvRequestWriter w;
    w.U32(cursorId_).U8(LockByte(lockType));
    return Request(QvnmAcqTableLockId, w, nullptr);
}

DBIResult TQVClientTable::RelTableLock(bool all, std::uint32_t lockType) {
    TqvRequestWriter w;
    w.U32(cursorId_).U8(all ? 1 : 0).U8(LockByte(lockType));
    return Request(QvnmRelTableLockId, w, nullptr);
}

DBIResult TQVClientTable::RelRecordLock(bool all) {
    TqvRequestWriter w;
    w.U32(cursorId_).U8(all ? 1 : 0);
    return Request(QvnmRecordRelLockId, w, nullptr);
}

DBIResult TQVClientTable::IsTableLocked(std::uint32_t lockType, std::uint16_t& locks) {
    locks = 0;
    TqvRequestWriter w;
    w.U32(cursorId_).U8(LockByte(lockType));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmIsTableLockedId, w, &reply);
    if (rc == 0 && !reply.empty()) locks = reply[0] != 0 ? 1 : 0;
    return SetResult(rc);
}

// ---- record changes ---------------------------------------------------------------------

DBIResult TQVClientTable::InsertRecord(std::uint32_t lockType, void* record) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(RecordLength()).U32(0).U8(LockByte(lockType)).Raw(record, RecordLength());
    DBIResult rc = Request(QvnmRecordInsertId, w, nullptr);
    if (rc == 0) SetState(kCursorOnRecord);
    return SetResult(rc);
}

DBIResult TQVClientTable::ModifyRecord(void* record, bool freeLock) {
    if (record == nullptr) return SetResult(kDbiErrInvalidParam);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(RecordLength()).U32(0).U8(freeLock ? 1 : 0).Raw(record, RecordLength());
    return Request(QvnmRecordModifyId, w, nullptr);
}

DBIResult TQVClientTable::DeleteRecord(void* record) {
    const std::uint32_t recLen = record != nullptr ? RecordLength() : 0;
    TqvRequestWriter w;
    w.U32(cursorId_).U32(recLen);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmRecordDeleteId, w, &reply);
    if (rc == 0) {
        if (record != nullptr && reply.size() >= recLen) std::memcpy(record, reply.data(), recLen);
        SetState(kCursorAfterDelete);
    }
    return SetResult(rc);
}

// ---- counts and properties --------------------------------------------------------------

DBIResult TQVClientTable::GetRecordCount(std::uint32_t& count) {
    count = 0;
    TqvRequestWriter w;
    w.U32(cursorId_);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmGetTableRecCountId, w, &reply);
    if (rc == 0 && reply.size() >= 4) count = GetU32(reply.data());
    return SetResult(rc);
}

DBIResult TQVClientTable::GetExactRecordCount(std::uint32_t& count) {
    if (!FiltersActive()) return GetRecordCount(count);
    count = 0;
    std::vector<std::uint8_t> record(RecordLength(), 0), bookmark(BookmarkSize(), 0);
    const std::uint8_t state = State();
    const bool marked = state == kCursorOnRecord && GetBookMark(bookmark.data()) == 0;
    DBIResult rc = SetToBegin();
    if (rc == 0) {
        SetState(kCursorUnpositioned);
        while (GetNextRecord(0, record.data(), nullptr) == 0) ++count;
    }
    if (marked) {
        SetToBookMark(bookmark.data());
        SetState(state);
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::ServerSeqNo(std::uint32_t& seqNo) {
    TqvRequestWriter w;
    w.U32(cursorId_);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmGetSeqNoId, w, &reply);
    if (rc == 0 && reply.size() < 4) rc = kDbiErrInvalidParam;
    if (rc == 0) seqNo = GetU32(reply.data());
    return rc;
}

DBIResult TQVClientTable::ServerSetToSeqNo(std::uint32_t seqNo) {
    TqvRequestWriter w;
    w.U32(cursorId_).U32(seqNo);
    DBIResult rc = Request(QvnmSetToSeqNoId, w, nullptr);
    if (rc == 0) SetState(kCursorOnRecord);
    return rc;
}

template <class F>
DBIResult TQVClientTable::WalkFromStart(std::uint32_t limit, F&& visit) {
    const std::uint32_t len = RecordLength();
    if (len == 0) return kDbiErrEof;
    TqvRequestWriter begin;
    begin.U32(cursorId_);
    if (DBIResult rc = Request(QvnmSetToBeginId, begin, nullptr)) return rc;
    const std::uint32_t batch = std::max<std::uint32_t>(1, std::min<std::uint32_t>(256, 256 * 1024 / len));
    std::uint32_t position = 0;
    std::vector<std::uint8_t> reply;
    while (position < limit) {
        // Never past the limit: the server cursor then stands on the last
        // record handed out.
        const std::uint32_t ask = std::min(batch, limit - position);
        TqvRequestWriter w;
        w.U32(cursorId_).U32(len).U32(ask);
        if (DBIResult rc = Request(QvnmRecordGetBatchId, w, &reply)) return rc;
        const std::uint32_t got = reply.size() >= 4 ? GetU32(reply.data()) : 0;
        if (got == 0 || reply.size() < 4 + std::size_t(got) * len) return kDbiErrEof;
        for (std::uint32_t i = 0; i < got; ++i)
            if (!visit(reply.data() + 4 + std::size_t(i) * len, ++position)) return 0;
        if (got < ask) return kDbiErrEof;
    }
    return kDbiErrEof;
}

DBIResult TQVClientTable::GetSeqNo(std::uint32_t& seqNo) {
    std::uint32_t raw = 0;
    DBIResult rc = ServerSeqNo(raw);
    if (rc != 0 || !FiltersActive()) {
        if (rc == 0) seqNo = raw;
        return SetResult(rc);
    }
    // Count what the filters accept before this record. The walk ends on
    // the record itself, so the server cursor is back where it was.
    std::uint32_t accepted = 0;
    std::uint8_t* const keep = ActiveRecord();
    rc = WalkFromStart(raw, [&](std::uint8_t* record, std::uint32_t position) {
        if (position == raw) return false;
        SetActiveRecord(record);
        if (FiltersAccept()) ++accepted;
        return true;
    });
    SetActiveRecord(keep);
    if (rc != 0) {
        // The record went while the walk ran: the cursor is off its place.
        SetState(kCursorUnpositioned);
        return SetResult(rc == kDbiErrEof ? kDbiErrNoCurrRec : rc);
    }
    seqNo = accepted + 1;
    return SetResult(0);
}

DBIResult TQVClientTable::SetToSeqNo(std::uint32_t seqNo) {
    if (!FiltersActive()) return SetResult(ServerSetToSeqNo(seqNo));
    if (seqNo == 0) return SetResult(kDbiErrEof);
    // The seqNo-th record the filters accept; the cursor stays where it
    // was when there are fewer.
    std::vector<std::uint8_t> bookmark(BookmarkSize(), 0);
    const std::uint8_t state = State();
    const bool marked = GetBookMark(bookmark.data()) == 0;
    std::uint32_t accepted = 0, found = 0;
    std::uint8_t* const keep = ActiveRecord();
    DBIResult rc = WalkFromStart(0xFFFFFFFFu, [&](std::uint8_t* record, std::uint32_t position) {
        SetActiveRecord(record);
        if (FiltersAccept() && ++accepted == seqNo) {
            found = position;
            return false;
        }
        return true;
    });
    SetActiveRecord(keep);
    if (rc == 0) rc = ServerSetToSeqNo(found);
    if (rc != 0) {
        if (marked) SetToBookMark(bookmark.data());
        SetState(marked ? state : static_cast<std::uint8_t>(kCursorUnpositioned));
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::GetCursorProps(void* props) {
    if (props == nullptr) return SetResult(kDbiErrInvalidParam);
    CURProps p;
    p.tableName = TableNameAddr();
    p.fileNameSize = 255;
    p.tableType = "QV";
    p.fields = static_cast<std::uint16_t>(dictionary_.FieldCount());
    p.recordSize = static_cast<std::uint16_t>(dictionary_.DataLength());
    p.recordBufferSize = static_cast<std::uint16_t>(RecordLength());
    p.keySize = static_cast<std::uint16_t>(KeyLen());
    p.indexes = static_cast<std::uint16_t>(dictionary_.IndexCount());
    std::uint16_t checks = 0;
    for (std::uint32_t k = 0; k < dictionary_.FieldCount(); ++k) {
        const TqvValidityCheck* v = dictionary_.FieldValidityCheck(k);
        if (dictionary_.FieldRequired(k) || (v && (v->hasMinimum || v->hasMaximum || v->hasDefault))) ++checks;
    }
    p.validityChecks = checks;
    p.bookmarkSize = BookmarkSize();
    p.bookmarkStable = 1;
    p.openMode = openMode_;
    p.shareMode = shareMode_;
    p.indexed = 1;
    p.seqNums = -1;
    p.translateMode = 2;
    p.rights = 255;
    p.filters = static_cast<std::uint16_t>(FilterCount());
    p.Write(props);
    return SetResult(0);
}

DBIResult TQVClientTable::GetVchkDesc(std::uint16_t number, void* desc) {
    if (desc == nullptr) return SetResult(kDbiErrInvalidParam);
    std::memset(desc, 0, VCHKDesc::kSize);
    std::uint16_t seen = 0;
    for (std::uint32_t k = 0; k < dictionary_.FieldCount(); ++k) {
        const TqvValidityCheck* v = dictionary_.FieldValidityCheck(k);
        if (!dictionary_.FieldRequired(k) && !(v && (v->hasMinimum || v->hasMaximum || v->hasDefault))) continue;
        if (++seen != number) continue;
        VCHKDesc d = VchkDescFromDict(dictionary_.Field(k));
        d.fieldNumber = static_cast<std::uint16_t>(k + 1);
        d.required = dictionary_.FieldRequired(k) ? 1 : 0;
        d.Write(desc);
        return SetResult(0);
    }
    return SetResult(kDbiErrObjNotFound);
}

DBIResult TQVClientTable::GetIndexDesc(std::uint16_t indexNumber, void* desc) {
    if (desc == nullptr) return SetResult(kDbiErrInvalidParam);
    // 0 is the current index; the others by their number (index 0 of the
    // table is its physical order).
    const std::uint32_t n = indexNumber == 0 ? indexId_ : indexNumber;
    if (n >= dictionary_.IndexCount()) return SetResult(kDbiErrEof);
    std::memset(desc, 0, IDXDesc::kSize);
    IndexDescFromDict(dictionary_.Index(n)).Write(desc);
    return SetResult(0);
}

// ---- ranges, indexes, keys --------------------------------------------------------------

DBIResult TQVClientTable::SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                                   bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                                   bool inclusive2) {
    const std::uint32_t unit = keyIsKey ? KeyLen() : RecordLength();
    const std::uint32_t len1 = key1 != nullptr ? unit : 0, len2 = key2 != nullptr ? unit : 0;
    TqvRequestWriter w;
    w.U32(cursorId_).U8(keyIsKey ? 1 : 0).U32(fields1).U32(length1).U32(len1).U8(inclusive1 ? 1 : 0);
    w.U32(fields2).U32(length2).U32(len2).U8(inclusive2 ? 1 : 0).Raw(key1, len1).Raw(key2, len2);
    DBIResult rc = Request(QvnmSetRangeId, w, nullptr);
    if (rc == 0) {
        // The server cursor now stands before the range; a range is read
        // through, so the first move already reads ahead, with a batch of
        // 32 (a reply always carries the whole batch's room, so no more).
        serverAtBegin_ = true;
        sequentialNexts_ = 1;
        ahead_.nextSize = 8;
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::ResetRange() {
    TqvRequestWriter w;
    w.U32(cursorId_);
    return Request(QvnmResetRangeId, w, nullptr);
}

DBIResult TQVClientTable::SwitchToIndex(const char* indexName, const char*, std::uint16_t indexId,
                                        bool currentRecord) {
    std::uint32_t number = indexId;
    std::string name;
    if (indexName != nullptr && *indexName != '\0') {
        if (DBIResult rc = ResolveIndexNumber(indexName, number)) return SetResult(rc);
    }
    if (number < dictionary_.IndexCount()) name = dictionary_.Index(number).name;
    TqvRequestWriter w;
    w.U32(cursorId_).Str(name, 32).U32(number).U8(currentRecord ? 1 : 0);
    DBIResult rc = Request(QvnmSwitchToIndexId, w, nullptr);
    if (rc == 0) {
        indexId_ = number;
        RefreshIndex();
        if (!currentRecord) SetState(kCursorUnpositioned);
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                                   std::uint16_t partialLength, const void* key) {
    if (key == nullptr) return SetResult(kDbiErrInvalidParam);
    const std::uint32_t len = keyIsKey ? KeyLen() : RecordLength();
    TqvRequestWriter w;
    w.U32(cursorId_).U8(static_cast<std::uint8_t>(condition)).U8(keyIsKey ? 1 : 0).U32(fieldCount).U32(
        partialLength).U32(len).Raw(key, len);
    DBIResult rc = Request(QvnmSetToKeyId, w, nullptr);
    if (rc == 0) SetState(kCursorOnRecord);
    return SetResult(rc);
}

DBIResult TQVClientTable::ExtractKey(const void* record, void* key) {
    if (key == nullptr) return SetResult(kDbiErrInvalidParam);
    if (indexId_ >= dictionary_.IndexCount()) return SetResult(kDbiErrInvalidIndexType);
    if (record != nullptr && !dictionary_.IndexIsUserIndex(indexId_)) {
        std::vector<std::uint8_t> k(dictionary_.IndexKeyLength(indexId_), 0);
        dictionary_.BuildKey(indexId_, static_cast<const std::uint8_t*>(record), k.data());
        std::memcpy(key, k.data(), std::min<std::size_t>(k.size(), KeyLen()));
        return SetResult(0);
    }
    TqvRequestWriter w;
    w.U32(cursorId_).U32(KeyLen()).U8(record == nullptr ? 1 : 0).Raw(record, RecordLength());
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmRecordExtractKeyId, w, &reply);
    if (rc == 0) std::memcpy(key, reply.data(), std::min<std::size_t>(reply.size(), KeyLen()));
    return SetResult(rc);
}

DBIResult TQVClientTable::AddIndex(const void* indexDesc, const char*) {
    if (indexDesc == nullptr || database_ == nullptr) return SetResult(kDbiErrInvalidParam);
    IDXDesc api = IDXDesc::Read(indexDesc);
    TqvIndexDescriptor d;
    d.name = api.name.substr(0, 31);
    if (api.keyFieldCount > kQvMaxKeyFields) return SetResult(kDbiErrInvalidParam);
    d.keyFieldCount = api.keyFieldCount;
    for (std::int32_t i = 0; i < d.keyFieldCount; ++i)
        d.fields[static_cast<std::size_t>(i)] = api.keyFields[static_cast<std::size_t>(i)] - 1u;
    d.allowDuplicates = api.unique == 0;
    d.ascending = api.descending == 0;
    d.ignoreCase = api.caseInsensitive != 0;
    const std::string encoded = EncodeIndexDescriptor(d);
    TqvRequestWriter w;
    w.U32(database_->DatabaseId()).U32(cursorId_).Str(QvExtractTableName(TableNameAddr()), 32).Raw(
        encoded.data(), encoded.size());
    std::vector<std::uint8_t> reply;
    // The build's own failure is the call's result, never a success.
    DBIResult rc = Request(QvnmAddIndexId, w, &reply);
    if (rc != 0) return SetResult(rc);
    const std::uint32_t rebuild = reply.size() >= 4 ? GetU32(reply.data()) : 0;
    // Polled until finished; a failed build is found by the walk below.
    for (int polls = 0; rebuild != 0 && rebuild != 0xFFFFFFFFu && polls < 100000; ++polls) {
        TqvRequestWriter s;
        s.U32(rebuild);
        std::vector<std::uint8_t> status;
        if (DBIResult p = Request(QvnmGetRebuildStatusId, s, &status)) return SetResult(p);
        bool finished = false;
        TqvRebuildStatusRecord record;
        if (QvReadRebuildStatusReply(status.data(), status.size(), finished, record) != 0) break;  // gone: done
        if (finished) break;
        plat::Sleep(10);
    }
    plat::MemoryStream dict;
    rc = database_->GetTableDictionary(TableNameAddr(), dict, true);
    if (rc == 0) {
        try {
            dict.SetPosition(0);
            LoadDictionary(dict);
        } catch (const std::exception&) {
            rc = kDbiErrInvalidParam;
        }
    }
    if (rc == 0) rc = CheckNewIndex(d.name, !d.allowDuplicates);
    return SetResult(rc);
}

DBIResult TQVClientTable::CheckNewIndex(const std::string& name, bool unique) {
    const int n = dictionary_.GetIndexNumber(name);
    if (n < 0) return kDbiErrIndexOutOfDate;
    std::uint32_t rows = 0;
    if (DBIResult rc = GetRecordCount(rows)) return rc;
    if (rows == 0) return 0;
    // Walk the new index on a clone: an index that does not reach every
    // row (keys never built, or duplicates a unique index refused) is a
    // failed build, and is taken away again rather than left to answer
    // wrong walks and searches.
    hDBICur h = kNilHandle;
    if (DBIResult rc = CloneCursor(true, false, h)) return rc;
    auto* probe = HandleAs<TQVClientTable>(h);
    std::uint32_t walked = 0;
    DBIResult rc = probe->SwitchToIndex(nullptr, nullptr, static_cast<std::uint16_t>(n), false);
    if (rc == 0) rc = probe->SetToBegin();
    while (rc == 0 && probe->ReadRecord(QvnmRecordGetNextId, 0, nullptr) == 0) ++walked;
    delete probe;
    if (rc == 0 && walked == rows) return 0;
    database_->DeleteIndex(Handle(), TableNameAddr(), nullptr, name.c_str(), nullptr, static_cast<std::uint16_t>(n));
    return unique ? kDbiErrIndexNotUnique : kDbiErrIndexOutOfDate;
}

DBIResult TQVClientTable::CloneCursor(bool readOnly, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    TqvRequestWriter w;
    w.U32(cursorId_).U8(OpenModeByte(readOnly ? 1 : 0));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmCursorCloneId, w, &reply);
    if (rc != 0) return SetResult(rc);
    if (reply.size() < 4) return SetResult(kDbiErrInvalidParam);
    auto* clone = new TQVClientTable(database_, TableNameAddr(), readOnly ? 1 : 0, shareMode_,
                                     static_cast<std::uint16_t>(indexId_));
    clone->dictionary_.Assign(dictionary_);
    clone->cursorId_ = GetU32(reply.data());
    clone->SetRecordSize(RecordLength());
    clone->RefreshIndex();
    clone->SetNameAsOpened(NameAsOpened());
    clone->SetState(State());
    for (std::uint32_t k = 0; k < dictionary_.FieldCount(); ++k) {
        auto item = std::make_unique<TFieldCacheItem>();
        item->fieldNumber = static_cast<std::uint16_t>(k + 1);
        clone->GetNativeDesc(item->fieldNumber, item->desc, item->engineType, item->engineLength);
        clone->PutCacheItem(std::move(item));
    }
    cursor = clone->Handle();
    return SetResult(0);
}

// ---- BLOBs ------------------------------------------------------------------------------

DBIResult TQVClientTable::BlobNumber(const void* record, std::uint16_t field, std::uint32_t& number, bool& isNull) {
    number = 0;
    isNull = true;
    if (record == nullptr) return kDbiErrInvalidParam;
    if (field < 1 || field > dictionary_.FieldCount()) return kDbiErrOutOfRange;
    const auto* rec = static_cast<const std::uint8_t*>(record);
    isNull = dictionary_.IsRecordFieldNull(field - 1u, rec);
    if (isNull) return 0;
    number = GetU32(rec + dictionary_.FieldOffset(field - 1u));
    return number == 0 ? kDbiErrInvalidBlobHandle : 0;
}

DBIResult TQVClientTable::OpenBlob(void*, std::uint16_t, std::uint32_t) { return SetResult(0); }

DBIResult TQVClientTable::GetBlobSize(void* record, std::uint16_t field, std::uint32_t& size) {
    size = 0;
    std::uint32_t nr = 0;
    bool isNull = true;
    if (DBIResult rc = BlobNumber(record, field, nr, isNull)) return SetResult(rc);
    if (isNull) return SetResult(0);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(nr);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmGetBLOBLengthId, w, &reply);
    if (rc == 0 && reply.size() >= 4) size = GetU32(reply.data());
    return SetResult(rc);
}

DBIResult TQVClientTable::GetBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                                  void* dest, std::uint32_t& read) {
    read = 0;
    std::uint32_t nr = 0;
    bool isNull = true;
    if (DBIResult rc = BlobNumber(record, field, nr, isNull)) return SetResult(rc);
    if (isNull) return SetResult(0);
    if (dest == nullptr && length != 0) return SetResult(kDbiErrInvalidParam);
    auto* out = static_cast<std::uint8_t*>(dest);
    DBIResult rc = 0;
    while (read < length) {
        const std::uint32_t want = std::min(length - read, kBlobChunk);
        TqvRequestWriter w;
        w.U32(cursorId_).U32(nr).U32(offset + read).U32(want);
        std::vector<std::uint8_t> reply;
        rc = Request(QvnmReadBLOBId, w, &reply);
        if (rc != 0) break;
        if (reply.size() < 4) {
            rc = kDbiErrInvalidParam;
            break;
        }
        const std::uint32_t got = std::min<std::uint32_t>({GetU32(reply.data()), want,
                                                           static_cast<std::uint32_t>(reply.size() - 4)});
        std::memcpy(out + read, reply.data() + 4, got);
        read += got;
        if (got < want) break;  // the end of the BLOB
    }
    return SetResult(rc);
}

DBIResult TQVClientTable::PutBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                                  const void* source) {
    std::uint32_t nr = 0;
    bool isNull = true;
    if (DBIResult rc = BlobNumber(record, field, nr, isNull)) return SetResult(rc);
    if (source == nullptr && length != 0) return SetResult(kDbiErrInvalidParam);
    auto* rec = static_cast<std::uint8_t*>(record);
    if (isNull) {
        TqvRequestWriter w;
        w.U32(cursorId_);
        std::vector<std::uint8_t> reply;
        if (DBIResult rc = Request(QvnmCreateBLOBId, w, &reply)) return SetResult(rc);
        if (reply.size() < 4) return SetResult(kDbiErrInvalidParam);
        nr = GetU32(reply.data());
        PutU32(rec + dictionary_.FieldOffset(field - 1u), nr);
        SetNullFlag(dictionary_, rec, field - 1u, false);
    }
    const auto* in = static_cast<const std::uint8_t*>(source);
    std::uint32_t done = 0;
    do {
        const std::uint32_t n = std::min(length - done, kBlobChunk);
        TqvRequestWriter w;
        w.U32(cursorId_).U32(nr).U32(offset + done).U32(n).Raw(in + done, n);
        if (DBIResult rc = Request(QvnmWriteBLOBId, w, nullptr)) return SetResult(rc);
        done += n;
    } while (done < length);
    return SetResult(0);
}

DBIResult TQVClientTable::TruncateBlob(void* record, std::uint16_t field, std::uint32_t length) {
    std::uint32_t nr = 0;
    bool isNull = true;
    if (DBIResult rc = BlobNumber(record, field, nr, isNull)) return SetResult(rc);
    if (isNull) return SetResult(length == 0 ? 0 : kDbiErrInvalidBlobOffset);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(nr).U32(length);
    return Request(QvnmTruncateBLOBId, w, nullptr);
}

DBIResult TQVClientTable::FreeBlob(void* record, std::uint16_t field) {
    std::uint32_t nr = 0;
    bool isNull = true;
    if (DBIResult rc = BlobNumber(record, field, nr, isNull)) return SetResult(rc);
    if (isNull) return SetResult(0);
    TqvRequestWriter w;
    w.U32(cursorId_).U32(nr);
    DBIResult rc = Request(QvnmFreeBLOBId, w, nullptr);
    if (rc != kDbiErrBlobModified) return SetResult(rc);
    // The changed BLOB is dropped from its row. Only the row the server holds
    // as current is written, and only when it is the row that owns this
    // BLOB; the caller's buffer may hold another row's data (or edits not
    // meant to be saved), so it is never what gets written.
    auto* rec = static_cast<std::uint8_t*>(record);
    const std::uint32_t off = dictionary_.FieldOffset(field - 1u);
    std::vector<std::uint8_t> current(RecordLength(), 0);
    rc = State() == kCursorOnRecord ? ReadRecord(QvnmRecordGetId, 0, current.data()) : kDbiErrNoCurrRec;
    if (rc != 0) return SetResult(kDbiErrBlobModified);
    if (dictionary_.IsRecordFieldNull(field - 1u, current.data()) || GetU32(current.data() + off) != nr)
        return SetResult(kDbiErrBlobModified);
    std::memset(current.data() + off, 0, dictionary_.FieldLength(field - 1u));
    SetNullFlag(dictionary_, current.data(), field - 1u, true);
    rc = ModifyRecord(current.data(), false);
    if (rc == 0) {
        std::memset(rec + off, 0, dictionary_.FieldLength(field - 1u));
        SetNullFlag(dictionary_, rec, field - 1u, true);
    }
    return SetResult(rc);
}

}  // namespace qv
