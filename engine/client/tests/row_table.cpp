#include "engine/client/tests/row_table.h"

#include <cstring>

#include "engine/client/type_conversion.h"

namespace qv::testing {

RowTable::RowTable(const TqvDataDictionary& d, int keyIndex, TBapiListItem* owner, TBapiCollection* list)
    : TBaseTable(owner, list, 0, 0, "ROWS") {
    dict.Assign(d);
    SetRecordSize(dict.GetRecordLength());
    if (keyIndex >= 0) {
        indexDesc_ = IndexDescFromDict(dict.Index(static_cast<std::uint32_t>(keyIndex)));
        std::uint32_t length = 0;
        for (int i = 0; i < indexDesc_.keyFieldCount; ++i) length += dict.FieldLength(indexDesc_.keyFields[i] - 1u);
        indexDesc_.keyLength = static_cast<std::uint16_t>(length);
    }
}

std::vector<std::uint8_t> RowTable::NewRecord() const {
    std::vector<std::uint8_t> r(dict.GetRecordLength(), 0);
    dict.InitRecord(r.data());
    return r;
}

void RowTable::SetField(std::vector<std::uint8_t>& record, int field, const void* apiValue, std::size_t size) const {
    std::uint32_t n = static_cast<std::uint32_t>(field - 1);
    std::vector<std::uint8_t> value(dict.FieldLength(n) + 8, 0);
    FieldValueFromApi(dict.FieldType(n), value.data(), dict.FieldLength(n), apiValue, size);
    dict.SetRecordField(n, record.data(), value.data());
}

void RowTable::SetText(std::vector<std::uint8_t>& record, int field, const std::string& text) const {
    std::string z = text + '\0';
    SetField(record, field, z.data(), z.size());
}

void RowTable::SetInt32(std::vector<std::uint8_t>& record, int field, std::int32_t v) const {
    SetField(record, field, &v, sizeof v);
}

std::string RowTable::Text(const std::vector<std::uint8_t>& record, int field) {
    std::vector<char> buf(1100, 0);
    bool blank = false;
    GetField(static_cast<std::uint16_t>(field), record.data(), buf.data(), &blank);
    return blank ? std::string("<null>") : std::string(buf.data());
}

std::int32_t RowTable::Int32(const std::vector<std::uint8_t>& record, int field) {
    std::int32_t v = 0;
    std::uint8_t buf[256] = {};
    GetField(static_cast<std::uint16_t>(field), record.data(), buf, nullptr);
    std::memcpy(&v, buf, 4);
    return v;
}

DBIResult RowTable::Open() {
    ++opens;
    pos = -1;
    SetState(kCursorUnpositioned);
    // As the client database does: every field in the cache at open.
    for (std::uint32_t n = 1; n <= dict.FieldCount(); ++n) {
        TFieldCacheItem* item = nullptr;
        GetCacheItem(static_cast<int>(n), item);
    }
    return SetResult(0);
}

DBIResult RowTable::Land(long at) {
    pos = at;
    afterDelete_ = false;
    if (ActiveRecord() != nullptr) std::memcpy(ActiveRecord(), rows[static_cast<std::size_t>(at)].data(), RecordSize());
    return SetResult(0);
}

DBIResult RowTable::First() {
    if (rows.empty()) return SetResult(kDbiErrEof);
    return Land(0);
}

DBIResult RowTable::Last() {
    if (rows.empty()) return SetResult(kDbiErrBof);
    return Land(static_cast<long>(rows.size()) - 1);
}

DBIResult RowTable::NextRaw() {
    long next = pos + 1;
    if (next >= static_cast<long>(rows.size())) {
        pos = static_cast<long>(rows.size());
        return SetResult(kDbiErrEof);
    }
    return Land(next);
}

DBIResult RowTable::PriorRaw() {
    long prior = afterDelete_ ? pos : pos - 1;
    if (prior < 0) {
        pos = -1;
        return SetResult(kDbiErrBof);
    }
    if (prior >= static_cast<long>(rows.size())) prior = static_cast<long>(rows.size()) - 1;
    return Land(prior);
}

DBIResult RowTable::ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) {
    std::uint32_t n = item.fieldNumber - 1u;
    const auto* rec = static_cast<const std::uint8_t*>(record);
    std::vector<std::uint8_t> value(dict.FieldLength(n), 0);
    blank = dict.GetRecordField(n, rec, value.data());
    std::size_t room = item.desc.length > 8 ? item.desc.length : 8;
    if (blank) {
        std::memset(dest, 0, room);
        return SetResult(0);
    }
    int rc = FieldValueToApi(dict.FieldType(n), dest, room, value.data(), value.size());
    return SetResult(rc == kFieldValueOk ? 0 : kDbiErrInvalidParam);
}

DBIResult RowTable::WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) {
    std::uint32_t n = item.fieldNumber - 1u;
    std::vector<std::uint8_t> value(dict.FieldLength(n) + 8, 0);
    if (FieldValueFromApi(dict.FieldType(n), value.data(), dict.FieldLength(n), source, 256) != kFieldValueOk)
        return SetResult(kDbiErrInvalidParam);
    dict.SetRecordField(n, static_cast<std::uint8_t*>(record), value.data());
    return SetResult(0);
}

DBIResult RowTable::GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                                  std::uint16_t& engineLength) {
    if (fieldNumber < 1 || fieldNumber > dict.FieldCount()) return SetResult(kDbiErrOutOfRange);
    const TqvFieldDescriptor& f = dict.Field(fieldNumber - 1u);
    desc = FieldDescFromDict(f);
    engineType = f.type;
    engineLength = static_cast<std::uint16_t>(f.length);
    return SetResult(0);
}

DBIResult RowTable::GetBookMark(void* bookmark) {
    if (State() != kCursorOnRecord || pos < 0 || pos >= static_cast<long>(rows.size()))
        return SetResult(kDbiErrNoCurrRec);
    std::memset(bookmark, 0, BookmarkSize());
    std::uint32_t v = static_cast<std::uint32_t>(pos);
    std::memcpy(bookmark, &v, 4);
    return SetResult(0);
}

DBIResult RowTable::SetToBookMark(const void* bookmark) {
    std::uint32_t v = 0;
    std::memcpy(&v, bookmark, 4);
    if (v >= rows.size()) return SetResult(kDbiErrInvalidParam);
    pos = static_cast<long>(v);
    afterDelete_ = false;
    SetState(kCursorOnRecord);
    return SetResult(0);
}

DBIResult RowTable::RereadAtBookmark(const void* bookmark, void* record) {
    DBIResult rc = SetToBookMark(bookmark);
    if (rc == 0 && record != nullptr) std::memcpy(record, rows[static_cast<std::size_t>(pos)].data(), RecordSize());
    return rc;
}

DBIResult RowTable::SetToKeySpecial(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                                    std::uint16_t partialLength, const void* key, void* record) {
    std::vector<std::uint8_t> given(kMaxKeyLength, 0);
    if (keyIsKey) {
        std::memcpy(given.data(), key, KeyLength());
    } else if (ExtractKeyPrecise(key, given.data()) != 0) {
        return Result();
    }
    std::vector<int> cmp;
    for (const auto& row : rows) {
        std::vector<std::uint8_t> k(kMaxKeyLength, 0);
        ExtractKeyPrecise(row.data(), k.data());
        std::int16_t c = 0;
        CompareKeys(k.data(), given.data(), c, fieldCount, partialLength);
        cmp.push_back(c);
    }
    long found = -1;
    long n = static_cast<long>(rows.size());
    switch (condition) {
        case kKeySearchEq: for (long i = 0; i < n && found < 0; ++i) if (cmp[i] == 0) found = i; break;
        case kKeySearchGt: for (long i = 0; i < n && found < 0; ++i) if (cmp[i] > 0) found = i; break;
        case kKeySearchGtEq: for (long i = 0; i < n && found < 0; ++i) if (cmp[i] >= 0) found = i; break;
        case kKeySearchLt: for (long i = n - 1; i >= 0 && found < 0; --i) if (cmp[i] < 0) found = i; break;
        default: for (long i = n - 1; i >= 0 && found < 0; --i) if (cmp[i] <= 0) found = i; break;
    }
    if (found < 0) return SetResult(condition >= kKeySearchLt ? kDbiErrBof : kDbiErrEof);
    SetActiveRecord(record);
    SetState(kCursorOnRecord);
    return Land(found);
}

DBIResult RowTable::ExtractKeyPrecise(const void* record, void* key) {
    if (record == nullptr || key == nullptr) return SetResult(kDbiErrInvalidParam);
    auto* out = static_cast<std::uint8_t*>(key);
    std::uint32_t at = 0;
    for (int i = 0; i < indexDesc_.keyFieldCount; ++i) {
        TFieldCacheItem* item = nullptr;
        if (GetCacheItem(indexDesc_.keyFields[i], item) != 0) return Result();
        std::vector<std::uint8_t> value(item->desc.length + 8, 0);
        bool blank = false;
        ReadFieldValue(*item, record, value.data(), blank);
        std::memcpy(out + at, value.data(), item->desc.length);
        at += item->desc.length;
    }
    return SetResult(0);
}

DBIResult RowTable::GetIndexDesc(std::uint16_t indexNumber, void* desc) {
    if (indexNumber >= dict.IndexCount()) return SetResult(kDbiErrInvalidHandle);
    IndexDescFromDict(dict.Index(indexNumber)).Write(desc);
    return SetResult(0);
}

DBIResult RowTable::DeleteRecord(void*) {
    if (State() != kCursorOnRecord || pos < 0 || pos >= static_cast<long>(rows.size()))
        return SetResult(kDbiErrNoCurrRec);
    rows.erase(rows.begin() + pos);
    pos -= 1;
    afterDelete_ = true;
    SetState(kCursorAfterDelete);
    return SetResult(0);
}

}  // namespace qv::testing
