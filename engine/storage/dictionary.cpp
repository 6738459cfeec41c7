#include "engine/storage/dictionary.h"

#include <algorithm>
#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/base/string_resource.h"
#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/core/value_io.h"

namespace qv {

namespace {

constexpr int kNoSuchItem = 96, kNotADictionary = 98, kNoFields = 99, kBadIndexField = 100, kUnknownType = 101,
              kRecordTooLong = 102, kOtherBlockSize = 103, kLocked = 104, kBlobFileTwice = 106,
              kNoSuchFile = 108, kBadExtension = 110, kExtensionTwice = 111, kDataFileTwice = 112,
              kIndexWithoutFields = 113, kBadParameter = 114, kBadBlockSize = 115, kBadKeyLength = 116,
              kDuplicateField = 117, kDuplicateIndex = 118;

bool SameName(const std::string& a, const std::string& b) { return QvCmpShStrNoCase(a, b, kQvShortStringMax) == 0; }

std::uint32_t BitmapBytes(std::uint32_t count) { return (count + 7) / 8; }

void PutShortString(std::string& out, std::size_t at, const std::string& s, std::size_t cap) {
    std::size_t n = std::min(s.size(), cap);
    out[at] = static_cast<char>(n);
    std::memcpy(out.data() + at + 1, s.data(), n);
}

std::string GetShortString(const unsigned char* p, std::size_t cap) {
    std::size_t n = std::min<std::size_t>(p[0], cap);
    return std::string(reinterpret_cast<const char*>(p + 1), n);
}

}  // namespace

// ---- index descriptor record -----------------------------------------------------------

std::string EncodeIndexDescriptor(const TqvIndexDescriptor& d) {
    std::string out(kQvIndexDescriptorSize, '\0');
    PutU32(out.data(), d.number);
    PutShortString(out, 4, d.name, 31);
    PutShortString(out, 36, d.description, 63);
    PutU32(out.data() + 100, d.fileNumber);
    PutU32(out.data() + 104, d.keyLength);
    PutU32(out.data() + 108, static_cast<std::uint32_t>(d.keyFieldCount));
    for (std::uint32_t i = 0; i < kQvMaxKeyFields; ++i) PutU32(out.data() + 112 + 4 * i, d.fields[i]);
    out[176] = d.allowDuplicates ? 1 : 0;
    out[177] = d.ascending ? 1 : 0;
    out[178] = d.ignoreCase ? 1 : 0;
    return out;
}

TqvIndexDescriptor DecodeIndexDescriptor(const void* bytes, std::size_t size) {
    if (!bytes || size < kQvIndexDescriptorSize)
        RaiseQvException(QvExceptionClass::Base, QvTable::General, kBadParameter, {"", 1});
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    TqvIndexDescriptor d;
    d.number = GetU32(p);
    d.name = GetShortString(p + 4, 31);
    d.description = GetShortString(p + 36, 63);
    d.fileNumber = GetU32(p + 100);
    d.keyLength = GetU32(p + 104);
    d.keyFieldCount = static_cast<std::int32_t>(GetU32(p + 108));
    if (d.keyFieldCount < -1 || d.keyFieldCount > static_cast<std::int32_t>(kQvMaxKeyFields))
        RaiseQvException(QvExceptionClass::Base, QvTable::General, kBadParameter, {d.name, d.keyFieldCount});
    for (std::uint32_t i = 0; i < kQvMaxKeyFields; ++i) d.fields[i] = GetU32(p + 112 + 4 * i);
    d.allowDuplicates = p[176] != 0;
    d.ascending = p[177] != 0;
    d.ignoreCase = p[178] != 0;
    return d;
}

// ---- dictionary ----------------------------------------------------------------------------

TqvDataDictionary::TqvDataDictionary(std::uint32_t blockSize) {
    if (!QvIsValidBlockSize(blockSize))
        RaiseQvException(QvExceptionClass::Base, QvTable::General, kBadBlockSize, {blockSize});
    AddFile(QvStrings(QvTable::General).GetAsString(257), "QVD", blockSize, 0);
    TqvIndexDescriptor seq;
    seq.number = 0;
    seq.name = seq.description = QvStrings(QvTable::General).GetAsString(256);
    seq.fileNumber = 0;
    seq.keyLength = 4;
    seq.keyFieldCount = -1;
    seq.allowDuplicates = false;
    seq.ascending = true;
    seq.ignoreCase = true;
    indexes_.push_back(seq);
}

void TqvDataDictionary::Raise(int id, std::initializer_list<QvArg> args) const {
    RaiseQvException(QvExceptionClass::Base, QvTable::General, id, args);
}

void TqvDataDictionary::CheckUnlocked() const {
    if (locked_) Raise(kLocked, {tableName_});
}

void TqvDataDictionary::Clear(bool all) {
    files_.resize(all ? 0 : std::min<std::size_t>(files_.size(), 1));
    if (blobFile_ >= files_.size()) blobFile_ = 0;
    fields_.clear();
    indexes_.resize(1);
    dataLength_ = 0;
}

void TqvDataDictionary::Assign(const TqvDataDictionary& source) {
    CheckUnlocked();
    if (&source == this) return;
    TqvDataDictionary copy = *this;  // a refused addition leaves this one as it was
    try {
        Clear(true);
        encrypted_ = source.encrypted_;
        for (const auto& f : source.files_) AddFile(f.description, f.extension, f.blockSize, f.kind);
        for (const auto& f : source.fields_) {
            AddField(f.name, f.description, f.type, f.units, f.decimals, f.required);
            if (f.validity) SetFieldValidityCheck(f.number, *f.validity);
        }
        for (std::size_t i = 1; i < source.indexes_.size(); ++i) {
            const auto& x = source.indexes_[i];
            if (x.IsUserIndex())
                AddUserIndex(x.name, x.description, x.fileNumber, x.keyLength, x.allowDuplicates, x.ascending,
                             x.ignoreCase);
            else
                AddIndex(x.name, x.description, x.fileNumber, static_cast<std::uint32_t>(x.keyFieldCount),
                         x.fields.data(), x.allowDuplicates, x.ascending, x.ignoreCase);
        }
    } catch (...) {
        *this = copy;
        throw;
    }
}

void TqvDataDictionary::SetTableName(const std::string& name) { tableName_ = name.substr(0, 31); }

void TqvDataDictionary::SetEncrypted(bool on) {
    CheckUnlocked();
    encrypted_ = on;
}

std::uint32_t TqvDataDictionary::AddFile(const std::string& description, const std::string& extension,
                                         std::uint32_t blockSize, std::uint8_t kind) {
    CheckUnlocked();
    if (!QvIsValidExtension(extension)) Raise(kBadExtension, {tableName_, extension});
    if (!QvIsValidBlockSize(blockSize)) Raise(kBadBlockSize, {blockSize});
    if (kind == 0 && !files_.empty()) Raise(kDataFileTwice, {tableName_});
    for (const auto& f : files_)
        if (f.extension == extension) Raise(kExtensionTwice, {tableName_, extension});
    if (kind == 2 && blobFile_ != 0) Raise(kBlobFileTwice, {tableName_});
    if (files_.size() >= kQvMaxIndexes) Raise(kBadParameter, {tableName_, 1});
    TqvFileDescriptor f;
    f.number = static_cast<std::uint32_t>(files_.size());
    f.description = description.substr(0, 63);
    f.extension = extension;
    f.blockSize = blockSize;
    f.kind = kind;
    if (kind == 2) {
        if (f.number == 0) Raise(kBadParameter, {tableName_, 4});  // file 0 is always the data file
        blobFile_ = f.number;
    }
    files_.push_back(f);
    return f.number;
}

void TqvDataDictionary::AddField(const std::string& name, const std::string& description, TqvFieldType type,
                                 std::uint32_t units, std::uint32_t decimals, bool required) {
    CheckUnlocked();
    for (const auto& f : fields_)
        if (SameName(f.name, name.substr(0, 31))) Raise(kDuplicateField, {tableName_, name});
    if (!QvIsValidFieldType(type)) Raise(kUnknownType, {int(type)});
    TqvFieldDescriptor f;
    std::uint32_t length = 0;
    auto capped = [&](std::uint32_t max) { return units <= max ? units : max; };
    switch (type) {
    case 0: length = 1; units = 0; break;
    case 1: length = 1; units = 1; break;
    case 2: length = 2; units = 1; break;
    case 3: case 6: length = 1; units = capped(3); break;
    case 4: case 7: length = 2; units = capped(5); break;
    case 5: case 8: length = 4; units = capped(10); break;
    case 9: length = 4; units = 10; required = false; break;
    case 10: length = 4; break;
    case 11: case 13: case 14: length = 8; break;
    case 12: length = 10; break;
    case 15: case 16: length = 4; units = 0; break;
    case 17: length = 8; units = 0; break;
    case 45:
    case 46: case 47: case 48: case 49: case 50:
        // A length the record could never hold would also overflow the sums.
        if (units > kQvMaxFieldUnits) Raise(kBadParameter, {tableName_, 4});
        length = type == 45 ? units : (type == 50 ? (units + 1) * 2 : units + 1);
        break;
    default: length = 4; units = 0; break;  // BLOB kinds hold a BLOB number
    }
    if (fields_.size() >= kQvMaxFieldUnits) Raise(kBadParameter, {tableName_, 1});
    f.number = static_cast<std::uint32_t>(fields_.size());
    f.name = name.substr(0, 31);
    f.description = description.substr(0, 63);
    f.units = units;
    f.decimals = (type >= 10 && type <= 14) ? decimals : 0;
    f.offset = fields_.empty() ? 0 : fields_.back().offset + fields_.back().length;
    f.length = length;
    f.type = type;
    f.required = required;
    fields_.push_back(f);
    dataLength_ = f.offset + f.length;
}

void TqvDataDictionary::SetFieldValidityCheck(std::uint32_t field, const TqvValidityCheck& check) {
    CheckUnlocked();
    const TqvFieldDescriptor& f = Field(field);
    auto sized = [&](bool has, const std::string& v) { return !has || v.size() == f.length; };
    if (!sized(check.hasMinimum, check.minimum) || !sized(check.hasMaximum, check.maximum) ||
        !sized(check.hasDefault, check.defaultValue) || check.picture.size() > 175)
        Raise(kBadParameter, {tableName_, 2});
    auto v = std::make_shared<TqvValidityCheck>(check);
    if (!v->hasMinimum) v->minimum.clear();
    if (!v->hasMaximum) v->maximum.clear();
    if (!v->hasDefault) v->defaultValue.clear();
    fields_[field].validity = v;
}

void TqvDataDictionary::CheckIndexName(const std::string& name) const {
    for (const auto& x : indexes_)
        if (SameName(x.name, name.substr(0, 31))) Raise(kDuplicateIndex, {tableName_, name});
}

void TqvDataDictionary::AddIndex(const std::string& name, const std::string& description, std::uint32_t fileNumber,
                                 std::uint32_t fieldCount, const std::uint32_t* fields, bool allowDups,
                                 bool ascending, bool ignoreCase) {
    CheckIndexName(name);
    if (fileNumber >= files_.size()) Raise(kNoSuchFile, {tableName_, fileNumber});
    if (fieldCount == 0) Raise(kIndexWithoutFields, {tableName_});
    // The descriptor holds 16 key fields and the key bitmap 2 bytes.
    if (fieldCount > kQvMaxKeyFields || !fields) Raise(kBadParameter, {tableName_, 4});
    if (indexes_.size() >= kQvMaxIndexes + 1)
        RaiseQvException(QvExceptionClass::Base, QvTable::Server, srv::kMaxIndexes, {tableName_});
    TqvIndexDescriptor x;
    std::uint32_t keyLength = BitmapBytes(fieldCount);
    for (std::uint32_t i = 0; i < fieldCount; ++i) {
        if (fields[i] >= fields_.size()) Raise(kBadIndexField, {tableName_, fields[i]});
        x.fields[i] = fields[i];
        keyLength += fields_[fields[i]].length;
    }
    x.number = static_cast<std::uint32_t>(indexes_.size());
    x.name = name.substr(0, 31);
    x.description = description.substr(0, 63);
    x.fileNumber = fileNumber;
    x.keyLength = keyLength;
    x.keyFieldCount = static_cast<std::int32_t>(fieldCount);
    x.allowDuplicates = allowDups;
    x.ascending = ascending;
    x.ignoreCase = ignoreCase;
    indexes_.push_back(x);
}

void TqvDataDictionary::AddUserIndex(const std::string& name, const std::string& description,
                                     std::uint32_t fileNumber, std::uint32_t keyLength, bool allowDups,
                                     bool ascending, bool ignoreCase) {
    CheckUnlocked();
    CheckIndexName(name);
    if (fileNumber >= files_.size()) Raise(kNoSuchFile, {tableName_, fileNumber});
    if (!QvIsValidKeyLength(keyLength) || keyLength > 1024) Raise(kBadKeyLength, {keyLength});
    if (indexes_.size() >= kQvMaxIndexes + 1)
        RaiseQvException(QvExceptionClass::Base, QvTable::Server, srv::kMaxIndexes, {tableName_});
    TqvIndexDescriptor x;
    x.number = static_cast<std::uint32_t>(indexes_.size());
    x.name = name.substr(0, 31);
    x.description = description.substr(0, 63);
    x.fileNumber = fileNumber;
    x.keyLength = keyLength;
    x.keyFieldCount = -1;
    x.allowDuplicates = allowDups;
    x.ascending = ascending;
    x.ignoreCase = ignoreCase;
    indexes_.push_back(x);
}

void TqvDataDictionary::RemoveIndex(std::uint32_t n) {
    if (n == 0 || n >= indexes_.size()) Raise(kNoSuchItem, {tableName_, n});
    indexes_.erase(indexes_.begin() + n);
    for (std::size_t i = 0; i < indexes_.size(); ++i) indexes_[i].number = static_cast<std::uint32_t>(i);
}

void TqvDataDictionary::NoSuchItem(std::uint32_t n) const { Raise(kNoSuchItem, {tableName_, n}); }
const TqvFileDescriptor& TqvDataDictionary::File(std::uint32_t n) const {
    if (n >= files_.size()) Raise(kNoSuchItem, {tableName_, n});
    return files_[n];
}

int TqvDataDictionary::GetFieldNumber(const std::string& name) const {
    for (const auto& f : fields_)
        if (SameName(f.name, name)) return static_cast<int>(f.number);
    return -1;
}

int TqvDataDictionary::GetIndexNumber(const std::string& name) const {
    for (const auto& x : indexes_)
        if (SameName(x.name, name)) return static_cast<int>(x.number);
    return -1;
}

std::uint32_t TqvDataDictionary::GetBlockSize() const { return files_.empty() ? 4096 : files_[0].blockSize; }

// ---- records -----------------------------------------------------------------------------

std::uint32_t TqvDataDictionary::GetRecordLength() const {
    return dataLength_ + BitmapBytes(static_cast<std::uint32_t>(fields_.size()));
}

void TqvDataDictionary::InitRecord(std::uint8_t* record) const {
    std::memset(record, 0, GetRecordLength());
    QvBitSetAll(record + dataLength_, fields_.size());
    // Bits past the last field stay clear.
    for (std::size_t k = fields_.size(); k < BitmapBytes(static_cast<std::uint32_t>(fields_.size())) * 8; ++k)
        QvBitClear(record + dataLength_, k);
}

bool TqvDataDictionary::IsRecordFieldNull(std::uint32_t n, const std::uint8_t* record) const {
    Field(n);
    return !record || QvBitTest(record + dataLength_, n);
}

bool TqvDataDictionary::GetRecordField(std::uint32_t n, const std::uint8_t* record, std::uint8_t* value) const {
    const TqvFieldDescriptor& f = Field(n);
    if (!record) {
        if (value) std::memset(value, 0, f.length);
        return true;
    }
    if (value) std::memcpy(value, record + f.offset, f.length);
    return QvBitTest(record + dataLength_, n);
}

void TqvDataDictionary::SetRecordField(std::uint32_t n, std::uint8_t* record, const std::uint8_t* value) const {
    const TqvFieldDescriptor& f = Field(n);
    if (!value) {
        QvBitSet(record + dataLength_, n);
        std::memset(record + f.offset, 0, f.length);
    } else {
        QvBitClear(record + dataLength_, n);
        std::memcpy(record + f.offset, value, f.length);
    }
}

bool TqvDataDictionary::RequiredFieldsPresent(const std::uint8_t* record) const {
    if (!record) return false;
    for (const auto& f : fields_)
        if (f.required && QvBitTest(record + dataLength_, f.number)) return false;
    return true;
}

bool TqvDataDictionary::HasAutoIncField(std::uint32_t& n) const {
    for (const auto& f : fields_)
        if (f.type == qvftAutoInc) {
            n = f.number;
            return true;
        }
    return false;
}

// ---- keys ----------------------------------------------------------------------------------

std::uint32_t TqvDataDictionary::KeyBitmapBytes(std::uint32_t index) const {
    const TqvIndexDescriptor& x = Index(index);
    if (x.IsUserIndex() || x.keyFieldCount > static_cast<std::int32_t>(kQvMaxKeyFields))
        Raise(kBadParameter, {tableName_, 1});
    return BitmapBytes(static_cast<std::uint32_t>(x.keyFieldCount));
}

void TqvDataDictionary::InitKey(std::uint32_t index, std::uint8_t* key) const {
    const TqvIndexDescriptor& x = Index(index);
    std::uint32_t bitmap = KeyBitmapBytes(index);
    std::memset(key, 0, x.keyLength);
    std::uint8_t* bits = key + x.keyLength - bitmap;
    for (std::int32_t i = 0; i < x.keyFieldCount; ++i) QvBitSet(bits, static_cast<std::size_t>(i));
}

bool TqvDataDictionary::IsKeyFieldNull(std::uint32_t index, const std::uint8_t* key, std::uint32_t keyField) const {
    const TqvIndexDescriptor& x = Index(index);
    return QvBitTest(key + x.keyLength - KeyBitmapBytes(index), keyField);
}

void TqvDataDictionary::SetKeyFieldNotNull(std::uint32_t index, std::uint8_t* key, std::uint32_t keyField) const {
    const TqvIndexDescriptor& x = Index(index);
    QvBitClear(key + x.keyLength - KeyBitmapBytes(index), keyField);
}

void TqvDataDictionary::BuildKey(std::uint32_t index, const std::uint8_t* record, std::uint8_t* key) const {
    InitKey(index, key);
    const TqvIndexDescriptor& x = Index(index);
    std::uint8_t* bits = key + x.keyLength - KeyBitmapBytes(index);
    std::uint32_t at = 0;
    for (std::int32_t i = 0; i < x.keyFieldCount; ++i) {
        const TqvFieldDescriptor& f = Field(x.fields[static_cast<std::size_t>(i)]);
        if (!IsRecordFieldNull(f.number, record)) {
            std::memcpy(key + at, record + f.offset, f.length);
            QvBitClear(bits, static_cast<std::size_t>(i));
        }
        at += f.length;
    }
}

int CompareKeys(const std::uint8_t* a, const std::uint8_t* b, const TqvKeyContext& ctx) {
    const TqvDataDictionary& d = *ctx.dictionary;
    const TqvIndexDescriptor& x = d.Index(ctx.index);
    if (x.IsUserIndex() || x.keyFieldCount > static_cast<std::int32_t>(kQvMaxKeyFields))
        RaiseQvException(QvExceptionClass::Base, QvTable::General, 114, {d.TableName(), 1});
    const std::uint32_t count = static_cast<std::uint32_t>(x.keyFieldCount);
    std::uint32_t n;
    if (ctx.fieldCount)
        n = ctx.partialLength ? std::min(ctx.fieldCount, count - 1) : std::min(ctx.fieldCount, count);
    else
        n = ctx.partialLength ? 0 : count;
    const std::uint8_t* bitsA = a + x.keyLength - (count + 7) / 8;
    const std::uint8_t* bitsB = b + x.keyLength - (count + 7) / 8;
    std::uint32_t at = 0;
    auto compareField = [&](std::uint32_t i, const TqvFieldDescriptor& f, std::uint32_t length) {
        bool nullA = QvBitTest(bitsA, i), nullB = QvBitTest(bitsB, i);
        if (nullA) return nullB ? 0 : -1;
        if (nullB) return 1;
        int c;
        // The commonest key field is a 32-bit integer: compared here, not
        // through the general switch.
        if (f.type == qvftInt32 || f.type == qvftDate || f.type == qvftTime) {
            const auto va = static_cast<std::int32_t>(GetU32(a + at)), vb = static_cast<std::int32_t>(GetU32(b + at));
            c = va < vb ? -1 : va > vb ? 1 : 0;
        } else {
            c = CompareFieldValuesBounded(a + at, b + at, f.type, ctx.ignoreCase, length, f.length);
        }
        return QvApplyDirection(ctx.ascending, c);
    };
    for (std::uint32_t i = 0; i < n; ++i) {
        const TqvFieldDescriptor& f = d.Field(x.fields[i]);
        int c = compareField(i, f, f.length);
        if (c) return c;
        at += f.length;
    }
    if (ctx.partialLength >= 1 && n < count) {
        const TqvFieldDescriptor& f = d.Field(x.fields[n]);
        if (f.type >= qvftShortString && f.type <= qvftWideString) {
            std::uint32_t p = f.type == qvftWideString ? 2 * ctx.partialLength : ctx.partialLength;
            return compareField(n, f, std::min(p, f.length));
        }
    }
    return 0;
}

// ---- validity ------------------------------------------------------------------------------

bool TqvDataDictionary::IsIndexDescriptorValid(const TqvIndexDescriptor& x) const {
    if (x.name.empty() || x.fileNumber >= files_.size()) return false;
    if (x.IsUserIndex()) return x.keyLength >= 1 && x.keyFieldCount == -1;
    if (x.keyFieldCount < 1 || x.keyFieldCount > static_cast<std::int32_t>(kQvMaxKeyFields)) return false;
    std::uint32_t length = BitmapBytes(static_cast<std::uint32_t>(x.keyFieldCount));
    for (std::int32_t i = 0; i < x.keyFieldCount; ++i) {
        std::uint32_t fn = x.fields[static_cast<std::size_t>(i)];
        if (fn >= fields_.size()) return false;
        length += fields_[fn].length;
    }
    return length <= 1024;
}

void TqvDataDictionary::CheckValid() const {
    if (fields_.empty()) Raise(kNoFields, {tableName_});
    if (GetRecordLength() > GetBlockSize() - 36) Raise(kRecordTooLong, {tableName_});
    if (indexes_.size() > kQvMaxIndexes)
        RaiseQvException(QvExceptionClass::Base, QvTable::Server, srv::kMaxIndexes, {tableName_});
    for (std::size_t i = 1; i < indexes_.size(); ++i) {
        const auto& x = indexes_[i];
        if (x.IsUserIndex()) continue;
        if (x.keyFieldCount == 0) Raise(kIndexWithoutFields, {tableName_});
        if (x.keyFieldCount > static_cast<std::int32_t>(kQvMaxKeyFields)) Raise(kBadParameter, {tableName_, 4});
        for (std::int32_t k = 0; k < x.keyFieldCount; ++k)
            if (x.fields[static_cast<std::size_t>(k)] >= fields_.size())
                Raise(kBadIndexField, {tableName_, x.fields[static_cast<std::size_t>(k)]});
    }
    for (std::size_t i = 0; i < fields_.size(); ++i)
        for (std::size_t j = i + 1; j < fields_.size(); ++j)
            if (SameName(fields_[i].name, fields_[j].name)) Raise(kDuplicateField, {tableName_, fields_[j].name});
    for (std::size_t i = 0; i < indexes_.size(); ++i)
        for (std::size_t j = i + 1; j < indexes_.size(); ++j)
            if (SameName(indexes_[i].name, indexes_[j].name))
                Raise(kDuplicateIndex, {tableName_, indexes_[j].name});
}

// ---- stream ---------------------------------------------------------------------------------

void TqvDataDictionary::WriteToStream(plat::Stream& stream) const {
    CheckValid();
    plat::ValueWriter w(stream);
    w.WriteBoolean(encrypted_);
    w.WriteInteger(static_cast<std::int32_t>(files_.size()));
    for (const auto& f : files_) {
        w.WriteString(f.description);
        w.WriteString(f.extension);
        w.WriteInteger(static_cast<std::int32_t>(f.blockSize));
        w.WriteInteger(f.kind);
    }
    w.WriteInteger(static_cast<std::int32_t>(fields_.size()));
    for (const auto& f : fields_) {
        w.WriteString(f.name);
        w.WriteString(f.description);
        w.WriteInteger(static_cast<std::int32_t>(f.units));
        w.WriteInteger(static_cast<std::int32_t>(f.decimals));
        w.WriteInteger(static_cast<std::int32_t>(f.offset));
        w.WriteInteger(static_cast<std::int32_t>(f.length));
        w.WriteInteger(f.type);
        w.WriteBoolean(f.required);
        w.WriteBoolean(f.validity != nullptr);
        if (f.validity) {
            const TqvValidityCheck& v = *f.validity;
            w.WriteString(v.picture);
            w.WriteBoolean(v.hasMinimum);
            w.WriteBoolean(v.hasMaximum);
            w.WriteBoolean(v.hasDefault);
            if (v.hasMinimum) w.Write(v.minimum.data(), v.minimum.size());
            if (v.hasMaximum) w.Write(v.maximum.data(), v.maximum.size());
            if (v.hasDefault) w.Write(v.defaultValue.data(), v.defaultValue.size());
        }
    }
    w.WriteInteger(static_cast<std::int32_t>(dataLength_));
    // The count includes the built-in index 0, which is not stored.
    w.WriteInteger(static_cast<std::int32_t>(indexes_.size()));
    for (std::size_t i = 1; i < indexes_.size(); ++i) {
        const auto& x = indexes_[i];
        w.WriteString(x.name);
        w.WriteString(x.description);
        w.WriteInteger(static_cast<std::int32_t>(x.fileNumber));
        w.WriteInteger(static_cast<std::int32_t>(x.keyLength));
        w.WriteInteger(x.keyFieldCount);
        for (std::int32_t k = 0; k < x.keyFieldCount; ++k)
            w.WriteInteger(static_cast<std::int32_t>(x.fields[static_cast<std::size_t>(k)]));
        w.WriteBoolean(x.allowDuplicates);
        w.WriteBoolean(x.ascending);
        w.WriteBoolean(x.ignoreCase);
    }
}

void TqvDataDictionary::ReadFromStream(plat::Stream& stream) {
    TqvDataDictionary saved = *this;
    try {
        ReadFromStreamImpl(stream);
    } catch (const plat::Exception&) {
        *this = saved;
        RaiseQvException(QvExceptionClass::Server, QvTable::Server, srv::kBadStoredDictionary, {tableName_});
    } catch (...) {
        *this = saved;
        throw;
    }
}

void TqvDataDictionary::ReadFromStreamImpl(plat::Stream& stream) {
    auto corrupt = [&]() {
        RaiseQvException(QvExceptionClass::Server, QvTable::Server, srv::kBadStoredDictionary, {tableName_});
    };
    // Every count read here is bounded before it drives a loop.
    auto count = [&](plat::ValueReader& r, std::int32_t max) {
        std::int32_t n = r.ReadInteger();
        if (n < 0 || n > max) corrupt();
        return n;
    };
    plat::ValueReader r(stream);
    locked_ = false;
    Clear(true);
    encrypted_ = r.ReadBoolean();
    std::int32_t files = count(r, static_cast<std::int32_t>(kQvMaxIndexes));
    if (files < 1) corrupt();
    for (std::int32_t i = 0; i < files; ++i) {
        std::string desc = r.ReadString(), ext = r.ReadString();
        std::int32_t bs = r.ReadInteger(), kind = r.ReadInteger();
        if (kind < 0 || kind > 255 || bs <= 0) corrupt();
        AddFile(desc, ext, static_cast<std::uint32_t>(bs), static_cast<std::uint8_t>(kind));
    }
    std::int32_t fields = count(r, static_cast<std::int32_t>(kQvMaxFieldUnits));
    for (std::int32_t i = 0; i < fields; ++i) {
        std::string name = r.ReadString(), desc = r.ReadString();
        std::int32_t units = r.ReadInteger(), decimals = r.ReadInteger(), offset = r.ReadInteger(),
                     length = r.ReadInteger(), type = r.ReadInteger();
        bool required = r.ReadBoolean();
        if (type < 0 || type > 255 || !QvIsValidFieldType(type) || units < 0 || decimals < 0) corrupt();
        AddField(name, desc, static_cast<TqvFieldType>(type), static_cast<std::uint32_t>(units),
                 static_cast<std::uint32_t>(decimals), required);
        const TqvFieldDescriptor& f = fields_.back();
        // The layout is recomputed, never taken on trust.
        if (f.offset != static_cast<std::uint32_t>(offset) || f.length != static_cast<std::uint32_t>(length) ||
            f.units != static_cast<std::uint32_t>(units))
            corrupt();
        if (r.ReadBoolean()) {
            TqvValidityCheck v;
            v.picture = r.ReadString();
            if (v.picture.size() > 175) corrupt();
            v.hasMinimum = r.ReadBoolean();
            v.hasMaximum = r.ReadBoolean();
            v.hasDefault = r.ReadBoolean();
            auto raw = [&](bool has, std::string& out) {
                if (!has) return;
                out.resize(f.length);
                r.Read(out.data(), out.size());
            };
            raw(v.hasMinimum, v.minimum);
            raw(v.hasMaximum, v.maximum);
            raw(v.hasDefault, v.defaultValue);
            SetFieldValidityCheck(f.number, v);
        }
    }
    if (r.ReadInteger() != static_cast<std::int32_t>(dataLength_)) corrupt();
    std::int32_t indexes = count(r, static_cast<std::int32_t>(kQvMaxIndexes));
    if (indexes < 1) corrupt();
    for (std::int32_t i = 1; i < indexes; ++i) {
        std::string name = r.ReadString(), desc = r.ReadString();
        std::int32_t file = r.ReadInteger(), keyLength = r.ReadInteger(), keyFields = r.ReadInteger();
        if (file < 0 || keyFields < -1 || keyFields > static_cast<std::int32_t>(kQvMaxKeyFields)) corrupt();
        std::uint32_t fieldNumbers[kQvMaxKeyFields] = {};
        for (std::int32_t k = 0; k < keyFields; ++k) {
            std::int32_t fn = r.ReadInteger();
            if (fn < 0) corrupt();
            fieldNumbers[k] = static_cast<std::uint32_t>(fn);
        }
        bool dups = r.ReadBoolean(), asc = r.ReadBoolean(), ic = r.ReadBoolean();
        if (keyFields == -1) {
            if (keyLength < 1) corrupt();
            AddUserIndex(name, desc, static_cast<std::uint32_t>(file), static_cast<std::uint32_t>(keyLength), dups,
                         asc, ic);
        } else {
            AddIndex(name, desc, static_cast<std::uint32_t>(file), static_cast<std::uint32_t>(keyFields),
                     fieldNumbers, dups, asc, ic);
            if (indexes_.back().keyLength != static_cast<std::uint32_t>(keyLength)) corrupt();
        }
    }
}

void TqvDataDictionary::WriteDictionaryToFile(TbtdFileInfo* file) const {
    CheckValid();
    if (file->blockSize && file->blockSize != GetBlockSize())
        Raise(kOtherBlockSize, {tableName_, file->blockSize, GetBlockSize()});
    plat::MemoryStream ms;
    WriteToStream(ms);
    std::uint8_t* header = GetHeaderBlock(file, true);
    std::uint32_t first = GetU32(header + hdr::kDictFirst);
    bool isNew = first == kQvNone;
    WriteStream(file, first, ms.Bytes(), "DICT", isNew);
    if (isNew) PutU32(header + hdr::kDictFirst, first);
}

void TqvDataDictionary::ReadDictionaryFromFile(TbtdFileInfo* file) {
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t first = GetU32(header + hdr::kDictFirst);
    if (first == kQvNone) RaiseQvException(QvExceptionClass::Server, QvTable::Server, srv::kNoDictionary, {tableName_});
    plat::MemoryStream ms(ReadStream(file, first));
    ReadFromStream(ms);
    locked_ = true;
}

}  // namespace qv
