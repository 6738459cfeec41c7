#include "engine/api/dbi_types.h"

#include <cstring>

#include "engine/base/qv_base.h"

namespace qv {
namespace {

unsigned char* At(void* record, int offset) { return static_cast<unsigned char*>(record) + offset; }
const unsigned char* At(const void* record, int offset) {
    return static_cast<const unsigned char*>(record) + offset;
}

}  // namespace

void PutText(void* field, const std::string& text, int size) {
    auto* p = static_cast<char*>(field);
    std::memset(p, 0, size);
    std::size_t n = text.size() < static_cast<std::size_t>(size - 1) ? text.size() : size - 1;
    std::memcpy(p, text.data(), n);
}

std::string GetText(const void* field, int size) {
    // Up to the first NUL, never past the field's end.
    const auto* p = static_cast<const char*>(field);
    if (p == nullptr || size <= 0) return {};
    const void* nul = std::memchr(p, 0, static_cast<std::size_t>(size));
    return std::string(p, nul ? static_cast<const char*>(nul) - p : size);
}

void DBDesc::Write(void* r) const {
    std::memset(r, 0, kSize);
    PutText(At(r, 0), name, 32);
    PutText(At(r, 32), description, 32);
    PutText(At(r, 64), physicalPath, 261);
    PutText(At(r, 325), dbType, 32);
}

DBDesc DBDesc::Read(const void* r) {
    DBDesc d;
    d.name = GetText(At(r, 0), 32);
    d.description = GetText(At(r, 32), 32);
    d.physicalPath = GetText(At(r, 64), 261);
    d.dbType = GetText(At(r, 325), 32);
    return d;
}

void FLDDesc::Write(void* r) const {
    std::memset(r, 0, kSize);
    PutU16(At(r, 0), fieldNumber);
    PutText(At(r, 2), name, 32);
    PutU16(At(r, 34), fieldType);
    PutU16(At(r, 36), subType);
    PutU16(At(r, 38), static_cast<std::uint16_t>(units1));
    PutU16(At(r, 40), static_cast<std::uint16_t>(units2));
    PutU16(At(r, 42), offset);
    PutU16(At(r, 44), length);
    PutU16(At(r, 46), nullOffset);
    PutU32(At(r, 48), validity);
    PutU32(At(r, 52), rights);
    PutU16(At(r, 56), calcField);
}

FLDDesc FLDDesc::Read(const void* r) {
    FLDDesc d;
    d.fieldNumber = GetU16(At(r, 0));
    d.name = GetText(At(r, 2), 32);
    d.fieldType = GetU16(At(r, 34));
    d.subType = GetU16(At(r, 36));
    d.units1 = static_cast<std::int16_t>(GetU16(At(r, 38)));
    d.units2 = static_cast<std::int16_t>(GetU16(At(r, 40)));
    d.offset = GetU16(At(r, 42));
    d.length = GetU16(At(r, 44));
    d.nullOffset = GetU16(At(r, 46));
    d.validity = GetU32(At(r, 48));
    d.rights = GetU32(At(r, 52));
    d.calcField = GetU16(At(r, 56));
    return d;
}

void IDXDesc::Write(void* r) const {
    std::memset(r, 0, kSize);
    PutText(At(r, 0), name, 261);
    PutU16(At(r, 261), indexId);
    PutText(At(r, 263), tagName, 32);
    PutText(At(r, 295), format, 32);
    *At(r, 327) = primary;
    PutU16(At(r, 329), unique);
    PutU16(At(r, 331), descending);
    *At(r, 333) = maintained;
    *At(r, 334) = subset;
    for (int i = 0; i < 3; ++i) PutU16(At(r, 335 + 2 * i), expIdx[i]);
    PutU16(At(r, 341), keyFieldCount);
    PutU16(At(r, 343), keyLength);
    *At(r, 345) = outOfDate;
    *At(r, 346) = keyExpType;
    for (int i = 0; i < kMaxKeyFields; ++i) PutU16(At(r, 349 + 2 * i), keyFields[i]);
    PutText(At(r, 381), keyExpression, 220);
    PutText(At(r, 602), keyCondition, 220);
    PutU16(At(r, 823), caseInsensitive);
    PutU16(At(r, 825), blockSize);
    PutU16(At(r, 827), restrictionNumber);
}

IDXDesc IDXDesc::Read(const void* r) {
    IDXDesc d;
    d.name = GetText(At(r, 0), 261);
    d.indexId = GetU16(At(r, 261));
    d.tagName = GetText(At(r, 263), 32);
    d.format = GetText(At(r, 295), 32);
    d.primary = *At(r, 327);
    d.unique = GetU16(At(r, 329));
    d.descending = GetU16(At(r, 331));
    d.maintained = *At(r, 333);
    d.subset = *At(r, 334);
    for (int i = 0; i < 3; ++i) d.expIdx[i] = GetU16(At(r, 335 + 2 * i));
    d.keyFieldCount = GetU16(At(r, 341));
    d.keyLength = GetU16(At(r, 343));
    d.outOfDate = *At(r, 345);
    d.keyExpType = *At(r, 346);
    for (int i = 0; i < kMaxKeyFields; ++i) d.keyFields[i] = GetU16(At(r, 349 + 2 * i));
    d.keyExpression = GetText(At(r, 381), 220);
    d.keyCondition = GetText(At(r, 602), 220);
    d.caseInsensitive = GetU16(At(r, 823));
    d.blockSize = GetU16(At(r, 825));
    d.restrictionNumber = GetU16(At(r, 827));
    return d;
}

void VCHKDesc::Write(void* r) const {
    std::memset(r, 0, kSize);
    PutU16(At(r, 0), fieldNumber);
    PutU16(At(r, 4), required);
    PutU16(At(r, 6), hasMinimum);
    PutU16(At(r, 8), hasMaximum);
    std::memcpy(At(r, 10), minimum.data(), kValueSize);
    std::memcpy(At(r, 266), maximum.data(), kValueSize);
    std::memcpy(At(r, 522), defaultValue.data(), kValueSize);
    PutText(At(r, 778), picture, kPictureSize);
}

VCHKDesc VCHKDesc::Read(const void* r) {
    VCHKDesc d;
    d.fieldNumber = GetU16(At(r, 0));
    d.required = GetU16(At(r, 4));
    d.hasMinimum = GetU16(At(r, 6));
    d.hasMaximum = GetU16(At(r, 8));
    std::memcpy(d.minimum.data(), At(r, 10), kValueSize);
    std::memcpy(d.maximum.data(), At(r, 266), kValueSize);
    std::memcpy(d.defaultValue.data(), At(r, 522), kValueSize);
    d.picture = GetText(At(r, 778), kPictureSize);
    return d;
}

void SESInfo::Write(void* r) const {
    std::memset(r, 0, kSize);
    PutU16(At(r, 0), sessionId);
    PutText(At(r, 2), name, 32);
    PutU16(At(r, 34), databaseCount);
    PutU16(At(r, 36), openCursorCount);
    PutU16(At(r, 38), lockWait);
    PutText(At(r, 40), netDir, 261);
    PutText(At(r, 301), privateDir, 261);
}

SESInfo SESInfo::Read(const void* r) {
    SESInfo s;
    s.sessionId = GetU16(At(r, 0));
    s.name = GetText(At(r, 2), 32);
    s.databaseCount = GetU16(At(r, 34));
    s.openCursorCount = GetU16(At(r, 36));
    s.lockWait = GetU16(At(r, 38));
    s.netDir = GetText(At(r, 40), 261);
    s.privateDir = GetText(At(r, 301), 261);
    return s;
}

// ---- CURProps ---------------------------------------------------------------------------

void CURProps::Write(void* record) const {
    auto* p = static_cast<std::uint8_t*>(record);
    std::memset(p, 0, kSize);
    PutText(p, tableName, 261);
    PutU16(p + 261, fileNameSize);
    PutText(p + 263, tableType, 32);
    PutU16(p + 295, fields);
    PutU16(p + 297, recordSize);
    PutU16(p + 299, recordBufferSize);
    PutU16(p + 301, keySize);
    PutU16(p + 303, indexes);
    PutU16(p + 305, validityChecks);
    PutU16(p + 307, refIntChecks);
    PutU16(p + 309, bookmarkSize);
    PutU16(p + 311, bookmarkStable);
    PutU32(p + 313, openMode);
    PutU32(p + 317, shareMode);
    PutU16(p + 321, indexed);
    PutU16(p + 323, static_cast<std::uint16_t>(seqNums));
    PutU32(p + 331, translateMode);
    PutU16(p + 337, uniDirectional);
    PutU16(p + 339, rights);
    PutU16(p + 391, filters);
}

CURProps CURProps::Read(const void* record) {
    const auto* p = static_cast<const std::uint8_t*>(record);
    CURProps c;
    c.tableName = GetText(p, 261);
    c.fileNameSize = GetU16(p + 261);
    c.tableType = GetText(p + 263, 32);
    c.fields = GetU16(p + 295);
    c.recordSize = GetU16(p + 297);
    c.recordBufferSize = GetU16(p + 299);
    c.keySize = GetU16(p + 301);
    c.indexes = GetU16(p + 303);
    c.validityChecks = GetU16(p + 305);
    c.refIntChecks = GetU16(p + 307);
    c.bookmarkSize = GetU16(p + 309);
    c.bookmarkStable = GetU16(p + 311);
    c.openMode = GetU32(p + 313);
    c.shareMode = GetU32(p + 317);
    c.indexed = GetU16(p + 321);
    c.seqNums = static_cast<std::int16_t>(GetU16(p + 323));
    c.translateMode = GetU32(p + 331);
    c.uniDirectional = GetU16(p + 337);
    c.rights = GetU16(p + 339);
    c.filters = GetU16(p + 391);
    return c;
}

}  // namespace qv
