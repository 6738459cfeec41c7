// The database API's own types and records: result codes, handles, the
// fixed descriptor records and the field-type constants. Callers above the
// engine see only these, so this header stays free of the engine's insides;
// the engine's client fills the same records.
//
// Each record is written and read field by field, little-endian, at the
// offsets given; a record is zeroed before it is written, so gaps stay zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

using DBIResult = std::uint16_t;

using hDBIObj = std::uint32_t;
using hDBISes = std::uint32_t;
using hDBIDb = std::uint32_t;
using hDBICur = std::uint32_t;
using hDBIStmt = std::uint32_t;
using hDBICfg = std::uint32_t;
using hDBIFilter = std::uint32_t;
constexpr std::uint32_t kNilHandle = 0;

// Result codes (category * 256 + number) callers test for.
constexpr DBIResult kDbiErrNone = 0;
constexpr DBIResult kDbiErrBof = 8705;
constexpr DBIResult kDbiErrEof = 8706;
constexpr DBIResult kDbiErrKeyOrRecDeleted = 8708;
constexpr DBIResult kDbiErrNoCurrRec = 8709;
constexpr DBIResult kDbiErrObjNotFound = 8712;
constexpr DBIResult kDbiErrNoMemory = 9473;
constexpr DBIResult kDbiErrTooManyDrivers = 9491;
constexpr DBIResult kDbiErrOutOfRange = 9985;
constexpr DBIResult kDbiErrInvalidParam = 9986;
constexpr DBIResult kDbiErrInvalidHandle = 9990;
constexpr DBIResult kDbiErrInvalidFieldType = 10000;
constexpr DBIResult kDbiErrInvalidSesHandle = 10011;
constexpr DBIResult kDbiErrUnknownDb = 10014;
constexpr DBIResult kDbiErrInvalidIndexName = 10022;
constexpr DBIResult kDbiErrNoSuchTable = 10024;
constexpr DBIResult kDbiErrInvalidUserPass = 10036;
constexpr DBIResult kDbiErrNoSuchFilter = 10050;
constexpr DBIResult kDbiErrNotApplicable = 10756;
constexpr DBIResult kDbiErrNotSupported = 12289;

// Search conditions of the keyed positioning calls.
enum : std::uint16_t { kKeySearchEq = 0, kKeySearchGt = 1, kKeySearchGtEq = 2, kKeySearchLt = 3, kKeySearchLtEq = 4 };

// API field types and subtypes.
constexpr std::uint16_t fldUNKNOWN = 0, fldZSTRING = 1, fldDATE = 2, fldBLOB = 3, fldBOOL = 4, fldINT16 = 5,
                        fldINT32 = 6, fldFLOAT = 7, fldBCD = 8, fldBYTES = 9, fldTIME = 10, fldTIMESTAMP = 11,
                        fldUINT16 = 12, fldUINT32 = 13, fldFLOATIEEE = 14, fldVARBYTES = 15;
constexpr std::uint16_t fldstMONEY = 21, fldstMEMO = 22, fldstBINARY = 23, fldstFMTMEMO = 24, fldstOLEOBJ = 25,
                        fldstGRAPHIC = 26, fldstDBSOLEOBJ = 27, fldstTYPEDBINARY = 28, fldstAUTOINC = 29;



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

// Cursor properties, 427 bytes; the offsets are those of Write.
struct CURProps {
    static constexpr int kSize = 427;
    std::string tableName;             // +0, 261
    std::uint16_t fileNameSize = 0;    // +261
    std::string tableType;             // +263, 32
    std::uint16_t fields = 0;          // +295
    std::uint16_t recordSize = 0;      // +297
    std::uint16_t recordBufferSize = 0;  // +299
    std::uint16_t keySize = 0;         // +301
    std::uint16_t indexes = 0;         // +303
    std::uint16_t validityChecks = 0;  // +305
    std::uint16_t refIntChecks = 0;    // +307
    std::uint16_t bookmarkSize = 0;    // +309
    std::uint16_t bookmarkStable = 0;  // +311
    std::uint32_t openMode = 0;        // +313
    std::uint32_t shareMode = 0;       // +317
    std::uint16_t indexed = 0;         // +321
    std::int16_t seqNums = 0;          // +323
    std::uint32_t translateMode = 0;   // +331
    std::uint16_t uniDirectional = 0;  // +337
    std::uint16_t rights = 0;          // +339
    std::uint16_t filters = 0;         // +391

    void Write(void* record) const;
    static CURProps Read(const void* record);
};

// The table descriptor of CreateTable: the table's name, its fields as
// FLDDesc records and its indexes as IDXDesc records.
struct CRTblDesc {
    std::string tableName;
    std::uint16_t fieldCount = 0;
    const void* fieldDescs = nullptr;  // fieldCount * FLDDesc::kSize bytes
    std::uint16_t indexCount = 0;
    const void* indexDescs = nullptr;  // indexCount * IDXDesc::kSize bytes
    // Validity checks; of these the engine keeps the required flag.
    std::uint16_t valCheckCount = 0;
    const void* valCheckDescs = nullptr;  // valCheckCount * VCHKDesc::kSize bytes
};

}  // namespace qv
