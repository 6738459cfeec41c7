// The database API's fixed records as this engine fills them. Each record is
// written and read field by field, little-endian, at the offsets below; a
// record is zeroed before it is written, so gaps stay zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

// Database descriptor, 357 bytes: name +0 (32), description +32 (32),
// physical path +64 (261), database type +325 (32); texts zero-terminated.
struct DBDesc {
    static constexpr int kSize = 357;
    std::string name;
    std::string description;
    std::string physicalPath;
    std::string dbType;

    void Write(void* record) const;
    static DBDesc Read(const void* record);
};

// Field descriptor, 62 bytes: field number u16 +0, name +2 (32), type u16
// +34, subtype u16 +36, units 1 i16 +38, units 2 i16 +40, offset u16 +42,
// length u16 +44, null offset u16 +46, validity u32 +48, rights u32 +52,
// calculated u16 +56, two unused u16 +58.
struct FLDDesc {
    static constexpr int kSize = 62;
    std::uint16_t fieldNumber = 0;
    std::string name;
    std::uint16_t fieldType = 0;
    std::uint16_t subType = 0;
    std::int16_t units1 = 0;
    std::int16_t units2 = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0;
    std::uint16_t nullOffset = 0;
    std::uint32_t validity = 0;
    std::uint32_t rights = 0;
    std::uint16_t calcField = 0;

    void Write(void* record) const;
    static FLDDesc Read(const void* record);
};

// Index descriptor, 893 bytes; the offsets are those of Write.
struct IDXDesc {
    static constexpr int kSize = 893;
    static constexpr int kMaxKeyFields = 16;
    std::string name;                 // +0, 261
    std::uint16_t indexId = 0;        // +261
    std::string tagName;              // +263, 32
    std::string format;               // +295, 32
    std::uint8_t primary = 0;         // +327
    std::uint16_t unique = 0;         // +329
    std::uint16_t descending = 0;     // +331
    std::uint8_t maintained = 0;      // +333
    std::uint8_t subset = 0;          // +334
    std::uint16_t expIdx[3] = {0, 0, 0};  // +335, +337 (user-routine key), +339
    std::uint16_t keyFieldCount = 0;  // +341
    std::uint16_t keyLength = 0;      // +343
    std::uint8_t outOfDate = 0;       // +345
    std::uint8_t keyExpType = 0;      // +346
    std::array<std::uint16_t, kMaxKeyFields> keyFields{};  // +349
    std::string keyExpression;        // +381, 220
    std::string keyCondition;         // +602, 220
    std::uint16_t caseInsensitive = 0;  // +823
    std::uint16_t blockSize = 0;      // +825
    std::uint16_t restrictionNumber = 0;  // +827

    void Write(void* record) const;
    static IDXDesc Read(const void* record);
};

// Validity-check descriptor, 1219 bytes: field number u16 +0, required u16
// +4, has-minimum u16 +6, has-maximum u16 +8, minimum +10 (254), maximum +266
// (254), default +522 (254), picture +778 (zero-terminated, 176).
struct VCHKDesc {
    static constexpr int kSize = 1219;
    static constexpr int kValueSize = 254;
    static constexpr int kPictureSize = 176;
    std::uint16_t fieldNumber = 0;
    std::uint16_t required = 0;
    std::uint16_t hasMinimum = 0;
    std::uint16_t hasMaximum = 0;
    std::array<std::uint8_t, kValueSize> minimum{};
    std::array<std::uint8_t, kValueSize> maximum{};
    std::array<std::uint8_t, kValueSize> defaultValue{};
    std::string picture;

    void Write(void* record) const;
    static VCHKDesc Read(const void* record);
};

// Session information, 562 bytes: session id u16 +0, name +2 (32), database
// count u16 +34, open cursor count u16 +36, lock wait u16 +38, network
// directory +40 (261), private directory +301 (261).
struct SESInfo {
    static constexpr int kSize = 562;
    std::uint16_t sessionId = 0;
    std::string name;
    std::uint16_t databaseCount = 0;
    std::uint16_t openCursorCount = 0;
    std::uint16_t lockWait = 0;
    std::string netDir;
    std::string privateDir;

    void Write(void* record) const;
    static SESInfo Read(const void* record);
};

// Zero-terminated text into a field of `size` bytes, cut to size - 1.
void PutText(void* field, const std::string& text, int size);
std::string GetText(const void* field, int size);

}  // namespace qv
