// Field types: their codes, how two stored values are ordered, and which
// conversions between types exist. Values are the bytes of a record field
// (little-endian), never host structures.
#pragma once

#include <cstdint>

namespace qv {

using TqvFieldType = std::uint8_t;

enum : TqvFieldType {
    qvftBoolean = 0,
    qvftChar = 1,
    qvftWideChar = 2,
    qvftByte = 3,
    qvftWord16 = 4,
    qvftWord32 = 5,
    qvftInt8 = 6,
    qvftInt16 = 7,
    qvftInt32 = 8,
    qvftAutoInc = 9,
    qvftSingle = 10,
    qvftDouble = 11,
    qvftExtended = 12,
    qvftComp = 13,
    qvftCurrency = 14,
    qvftDate = 15,
    qvftTime = 16,
    qvftDateTime = 17,
    qvftBLOBFirst = 18,
    qvftBLOBLast = 24,
    qvftByteArray = 45,
    qvftShortString = 46,
    qvftShortStringL = 47,
    qvftNullString = 48,
    qvftNullStringL = 49,
    qvftWideString = 50,
};

bool QvIsValidFieldType(int type);
inline bool QvIsBlobType(int type) { return type >= qvftBLOBFirst && type <= qvftBLOBLast; }

// The database-API code for a conversion that does not exist.
constexpr int kQvInvalidFieldTransformation = 10002;

// Days between the engine's date origin (1 Jan 1600, day 0) and the
// date-time origin used by the clients (30 Dec 1899, day 0).
std::int32_t QvDateOriginOffset();
// Date-time fields store the client date-time plus this many days.
constexpr double kQvDateTimeDelta = 693594.0;

struct TqvCompareContext {
    std::uint32_t fieldLength = 0;
    std::uint32_t partialLength = 0;  // 0 = the whole field
    bool ascending = true;
    bool ignoreCase = false;
};

// a compared with b (-1, 0, 1), always ascending. Raises for BLOB and unknown types.
int CompareFieldValues(const void* a, const void* b, TqvFieldType type, bool ignoreCase, std::uint32_t length);

// The same over a compare length (a partial length for the key routines)
// with every read kept inside `storage` bytes of the field.
int CompareFieldValuesBounded(const void* a, const void* b, TqvFieldType type, bool ignoreCase, std::uint32_t length,
                              std::uint32_t storage);

// The string comparers of the indexes; the context's direction is applied.
int CompareByteArray(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareShortString(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareShortStringL(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareNullString(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareNullStringL(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareWideChar(const void* a, const void* b, const TqvCompareContext& ctx);
int CompareWideString(const void* a, const void* b, const TqvCompareContext& ctx);
// Keys of the sequential index: record references compared as signed 32-bit.
int CompareRefKeys(const void* a, const void* b, const TqvCompareContext& ctx);

// 0, or kQvInvalidFieldTransformation (dest untouched). A null dest only asks
// whether the pair converts.
int ConvertFieldValue(const void* source, void* dest, TqvFieldType sourceType, TqvFieldType destType,
                      std::uint32_t sourceLength, std::uint32_t destLength);

// x87 80-bit extended values as stored in a field.
long double QvExtendedToLongDouble(const void* p);
void QvLongDoubleToExtended(long double v, void* p);

}  // namespace qv
