#include "engine/client/type_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/client/day_numbers.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes U16(std::uint16_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
Bytes U32(std::uint32_t v) { Bytes b(4); PutU32(b.data(), v); return b; }
Bytes U64(std::uint64_t v) { Bytes b(8); PutU64(b.data(), v); return b; }
Bytes Dbl(double d) { std::uint64_t u; std::memcpy(&u, &d, 8); return U64(u); }
Bytes Sgl(float f) { std::uint32_t u; std::memcpy(&u, &f, 4); return U32(u); }
Bytes Text(const std::string& s, std::size_t size) { Bytes b(size, 0); std::memcpy(b.data(), s.data(), s.size()); return b; }
double AsDouble(const Bytes& b) { std::uint64_t u = GetU64(b.data()); double d; std::memcpy(&d, &u, 8); return d; }

TEST(TypeConversion, EngineTypeToApiType) {
    struct Case {
        int engine;
        std::int32_t length;
        std::uint16_t type, subType;
        std::int32_t len;
    };
    const Case cases[] = {
        {0, 1, fldBOOL, 0, 1},        {1, 1, fldZSTRING, 0, 1},     {2, 2, fldZSTRING, 0, 2},
        {46, 21, fldZSTRING, 0, 21},  {47, 21, fldZSTRING, 0, 21},  {3, 1, fldUINT16, 0, 1},
        {4, 2, fldUINT16, 0, 2},      {5, 4, fldINT32, 0, 4},       {8, 4, fldINT32, 0, 4},
        {6, 1, fldINT16, 0, 1},       {7, 2, fldINT16, 0, 2},       {9, 4, fldINT32, fldstAUTOINC, 4},
        {10, 4, fldFLOAT, 0, 4},      {11, 8, fldFLOAT, 0, 8},      {12, 10, fldFLOAT, 0, 10},
        {13, 8, fldFLOAT, 0, 8},      {14, 8, fldFLOAT, fldstMONEY, 8},  {15, 4, fldDATE, 0, 4},
        {16, 4, fldTIME, 0, 4},       {17, 8, fldTIMESTAMP, 0, 8},  {18, 4, fldBLOB, fldstBINARY, 4},
        {19, 4, fldBLOB, fldstMEMO, 4},  {20, 4, fldBLOB, fldstFMTMEMO, 4},  {21, 4, fldBLOB, fldstOLEOBJ, 4},
        {22, 4, fldBLOB, fldstGRAPHIC, 4},  {23, 4, fldBLOB, fldstDBSOLEOBJ, 4},
        {24, 4, fldBLOB, fldstTYPEDBINARY, 4},  {45, 16, fldBYTES, 0, 16},
        {48, 8192, fldZSTRING, 0, 8191},  {48, 8193, fldBLOB, fldstMEMO, 8192},
        {49, 31, fldZSTRING, 0, 30},  {50, 42, fldZSTRING, 0, 41},  {25, 4, fldUNKNOWN, 0, 4},
        {44, 4, fldUNKNOWN, 0, 4},    {51, 4, fldUNKNOWN, 0, 4},
    };
    for (const Case& c : cases) {
        ApiType a = ApiTypeFromEngine(static_cast<TqvFieldType>(c.engine), c.length);
        EXPECT_EQ(a.type, c.type) << c.engine;
        EXPECT_EQ(a.subType, c.subType) << c.engine;
        EXPECT_EQ(a.len, c.len) << c.engine;
        EXPECT_EQ(a.units1, c.length) << c.engine;
    }
}

TEST(TypeConversion, ApiTypeToEngineType) {
    struct Case {
        std::uint16_t type, subType;
        int engine;
    };
    const Case cases[] = {
        {1, 0, 48},  {2, 0, 15},  {3, 22, 19}, {3, 23, 18}, {3, 24, 20}, {3, 25, 21}, {3, 26, 22},
        {3, 27, 23}, {3, 28, 24}, {3, 0, -1},  {4, 0, 0},   {5, 0, 7},   {6, 0, 8},   {6, 29, 9},
        {7, 0, 11},  {7, 21, 14}, {8, 0, 14},  {9, 0, 45},  {10, 0, 16}, {11, 0, 17}, {12, 0, 4},
        {13, 0, 5},  {14, 0, 12}, {15, 0, 46}, {0, 0, -1},  {16, 0, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(FieldTypeFromDesc(c.type, c.subType), c.engine) << c.type << "/" << c.subType;
}

// Every engine type survives engine -> API -> engine -> API: the engine type
// made for a table from an API descriptor shows the caller the same API type.
TEST(TypeConversion, TypesRoundTripThroughTheApi) {
    for (int t = 0; t <= 50; ++t) {
        if (!QvIsValidFieldType(t)) continue;
        ApiType api = ApiTypeFromEngine(static_cast<TqvFieldType>(t), 8);
        int back = FieldTypeFromDesc(api.type, api.subType);
        ASSERT_GE(back, 0) << t;
        ApiType again = ApiTypeFromEngine(static_cast<TqvFieldType>(back), 8);
        EXPECT_EQ(again.type, api.type) << t;
        EXPECT_EQ(again.subType, api.subType) << t;
    }
}

// Engine value -> API value -> engine value gives the engine value back, and
// the API value is the one the API defines.
TEST(TypeConversion, ValuesRoundTrip) {
    struct Case {
        const char* what;
        TqvFieldType type;
        Bytes engine;
        Bytes api;
    };
    const Case cases[] = {
        {"false", qvftBoolean, {0}, U16(0)},
        {"true", qvftBoolean, {1}, U16(1)},
        {"char", qvftChar, {'Q'}, Text("Q", 2)},
        {"wide char e-acute", qvftWideChar, U16(0x00E9), Text("\xE9", 2)},
        {"wide char euro", qvftWideChar, U16(0x20AC), Text("\x80", 2)},
        {"short string", qvftShortString, {3, 'a', 'b', 'c', 0, 0}, Text("abc", 6)},
        {"byte", qvftByte, {200}, U16(200)},
        {"word16", qvftWord16, U16(65535), U16(65535)},
        {"word32", qvftWord32, U32(4000000000u), U32(4000000000u)},
        {"int8", qvftInt8, {0xC8}, U16(0xFFC8)},  // -56
        {"int16", qvftInt16, U16(0x8000), U16(0x8000)},
        {"int32", qvftInt32, U32(0xFFFFFFFF), U32(0xFFFFFFFF)},
        {"autoinc", qvftAutoInc, U32(17), U32(17)},
        {"single", qvftSingle, Sgl(1.5f), Dbl(1.5)},
        {"double", qvftDouble, Dbl(-2.25e100), Dbl(-2.25e100)},
        {"comp", qvftComp, U64(static_cast<std::uint64_t>(-9007199254740992LL)), Dbl(-9007199254740992.0)},
        {"currency", qvftCurrency, U64(123456), Dbl(12.3456)},
        {"negative currency", qvftCurrency, U64(static_cast<std::uint64_t>(-5)), Dbl(-0.0005)},
        {"date 1 Jan 1600", qvftDate, U32(0), U32(584023)},
        {"date 31 Dec 3999", qvftDate, U32(static_cast<std::uint32_t>(LastDayNumber())),
         U32(static_cast<std::uint32_t>(LastDayNumber() + 584023))},
        {"date 29 Feb 2000", qvftDate, U32(146097 + 59), U32(146097 + 59 + 584023)},
        {"time", qvftTime, U32(86399), U32(86399000)},
        {"date-time noon", qvftDateTime, Dbl(693594.5), Dbl(693594.5 * 86400000.0)},
        {"bytes", qvftByteArray, {1, 2, 0, 4}, {1, 2, 0, 4}},
        {"null string", qvftNullString, Text("hello", 8), Text("hello", 8)},
        {"wide string", qvftWideString, {'h', 0, 0xE9, 0, 0, 0, 0, 0}, Text("h\xE9", 4)},
    };
    for (const Case& c : cases) {
        Bytes api(c.api.size(), 0xEE);
        ASSERT_EQ(FieldValueToApi(c.type, api.data(), api.size(), c.engine.data(), c.engine.size()), 0) << c.what;
        if (c.type == qvftSingle || c.type == qvftDouble || c.type == qvftComp || c.type == qvftCurrency ||
            c.type == qvftDateTime) {
            EXPECT_DOUBLE_EQ(AsDouble(api), AsDouble(c.api)) << c.what;
        } else if (ApiTypeFromEngine(c.type, 2).type == fldZSTRING) {
            // Only the text and its terminator are written.
            EXPECT_STREQ(reinterpret_cast<const char*>(api.data()), reinterpret_cast<const char*>(c.api.data()))
                << c.what;
        } else {
            EXPECT_EQ(api, c.api) << c.what;
        }
        Bytes engine(c.engine.size(), 0xEE);
        ASSERT_EQ(FieldValueFromApi(c.type, engine.data(), engine.size(), api.data(), api.size()), 0) << c.what;
        EXPECT_EQ(engine, c.engine) << c.what;
    }
}

TEST(TypeConversion, RecordTextStopsAtItsZeroTheFieldOrTheApiBuffer) {
    struct Case {
        const char* what;
        TqvFieldType type;
        Bytes engine;
        std::size_t apiSize;
        std::string text;
    };
    const Case cases[] = {
        {"text filling its field", qvftNullString, {'a', 'b', 'c'}, 8, "abc"},
        {"bytes after the zero", qvftNullString, {'a', 'b', 0, 'x', 'y'}, 8, "ab"},
        {"blank text", qvftNullString, {0, 'x'}, 8, ""},
        {"text cut by the API buffer", qvftNullStringL, {'a', 'b', 'c', 'd', 'e', 'f'}, 4, "abc"},
        {"memo number filling its field", 19, {'1', '2', '3', '4'}, 8, "1234"},
    };
    for (const Case& c : cases) {
        Bytes api(c.apiSize + 4, 0xEE);
        ASSERT_EQ(FieldValueToApi(c.type, api.data(), c.apiSize, c.engine.data(), c.engine.size()), 0) << c.what;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(api.data())), c.text) << c.what;
        // Nothing past the text's zero is written.
        for (std::size_t i = c.text.size() + 1; i < api.size(); ++i) EXPECT_EQ(api[i], 0xEE) << c.what << " at " << i;
    }
}

TEST(TypeConversion, ExtendedGoesThroughDouble) {
    Bytes ext(10);
    QvLongDoubleToExtended(1.2345L, ext.data());
    Bytes api(8);
    ASSERT_EQ(FieldValueToApi(qvftExtended, api.data(), 8, ext.data(), 10), 0);
    EXPECT_DOUBLE_EQ(AsDouble(api), 1.2345);
    Bytes back(10);
    ASSERT_EQ(FieldValueFromApi(qvftExtended, back.data(), 10, api.data(), 8), 0);
    EXPECT_EQ(static_cast<double>(QvExtendedToLongDouble(back.data())), 1.2345);
}

TEST(TypeConversion, BlankAndUnwrittenValues) {
    Bytes api = U32(0xABCDEF01);
    // -1 is a blank date or time: the API buffer is left alone.
    EXPECT_EQ(FieldValueToApi(qvftDate, api.data(), 4, U32(0xFFFFFFFF).data(), 4), kFieldValueBlank);
    EXPECT_EQ(FieldValueToApi(qvftTime, api.data(), 4, U32(0xFFFFFFFF).data(), 4), kFieldValueBlank);
    EXPECT_EQ(GetU32(api.data()), 0xABCDEF01u);
    // An API date of 0 (no year, month or day) is not written.
    Bytes engine = U32(1234);
    EXPECT_EQ(FieldValueFromApi(qvftDate, engine.data(), 4, U32(0).data(), 4), kFieldValueBlank);
    EXPECT_EQ(GetU32(engine.data()), 1234u);
    // A real date outside the engine's years is refused and not written:
    // 31 Dec 1599, 1 Jan 4000, and 1 Jan of the year 50, which must not be
    // taken for 2050.
    for (std::uint32_t outside : {584022u, 1460605u, 17898u}) {
        Bytes date = U32(outside);
        EXPECT_EQ(FieldValueFromApi(qvftDate, engine.data(), 4, date.data(), 4), kFieldValueRefused) << outside;
        EXPECT_EQ(GetU32(engine.data()), 1234u) << outside;
    }
    // BLOB fields carry nothing either way.
    Bytes blob = U32(77);
    EXPECT_EQ(FieldValueFromApi(18, blob.data(), 4, U32(5).data(), 4), 0);
    EXPECT_EQ(GetU32(blob.data()), 77u);
    EXPECT_EQ(FieldValueToApi(30, api.data(), 4, blob.data(), 4), kFieldValueUnknownType);
    EXPECT_EQ(FieldValueFromApi(51, blob.data(), 4, api.data(), 4), kFieldValueUnknownType);
}

TEST(TypeConversion, ValuesTheEngineTypeCannotHoldAreRefused) {
    struct Case {
        const char* what;
        TqvFieldType type;
        std::size_t engineLength;
        Bytes api;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"byte 256", qvftByte, 1, U16(256)},
        {"int8 128", qvftInt8, 1, U16(128)},
        {"int8 -129", qvftInt8, 1, U16(static_cast<std::uint16_t>(-129))},
        {"comp NaN", qvftComp, 8, Dbl(nan)},
        {"comp 1e19", qvftComp, 8, Dbl(1e19)},
        {"currency 1e16", qvftCurrency, 8, Dbl(1e16)},
        {"single 1e300", qvftSingle, 4, Dbl(1e300)},
        {"time of 24 hours", qvftTime, 4, U32(86400000)},
        {"date-time infinity", qvftDateTime, 8, Dbl(std::numeric_limits<double>::infinity())},
        {"int32 in a 2-byte field", qvftInt32, 2, U32(1)},
    };
    for (const Case& c : cases) {
        Bytes engine(c.engineLength, 0x5A);
        EXPECT_EQ(FieldValueFromApi(c.type, engine.data(), engine.size(), c.api.data(), c.api.size()),
                  kFieldValueRefused)
            << c.what;
        EXPECT_EQ(engine, Bytes(c.engineLength, 0x5A)) << c.what;
    }
}

TEST(TypeConversion, NumbersAreRoundedOnTheWayIn) {
    Bytes engine(8);
    ASSERT_EQ(FieldValueFromApi(qvftComp, engine.data(), 8, Dbl(2.5).data(), 8), 0);
    EXPECT_EQ(static_cast<std::int64_t>(GetU64(engine.data())), 2);  // half to even
    ASSERT_EQ(FieldValueFromApi(qvftCurrency, engine.data(), 8, Dbl(0.00016).data(), 8), 0);
    EXPECT_EQ(static_cast<std::int64_t>(GetU64(engine.data())), 2);  // 1.6 units, not cut to 1
    ASSERT_EQ(FieldValueFromApi(qvftCurrency, engine.data(), 8, Dbl(-19.99).data(), 8), 0);
    EXPECT_EQ(static_cast<std::int64_t>(GetU64(engine.data())), -199900);
    Bytes t(4);
    ASSERT_EQ(FieldValueFromApi(qvftTime, t.data(), 4, U32(45015999).data(), 4), 0);
    EXPECT_EQ(GetU32(t.data()), 45015u);  // milliseconds dropped
    // Date-times come back whole milliseconds, also before year 1.
    ASSERT_EQ(FieldValueFromApi(qvftDateTime, engine.data(), 8, Dbl(-43200000.4).data(), 8), 0);
    EXPECT_DOUBLE_EQ(AsDouble(engine), -0.5);
}

TEST(TypeConversion, TextsStayInsideTheirBuffers) {
    // A length byte larger than the field is not followed.
    Bytes shortStr = {200, 'a', 'b', 'c'};
    Bytes api(16, 0xEE);
    ASSERT_EQ(FieldValueToApi(qvftShortString, api.data(), api.size(), shortStr.data(), shortStr.size()), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(api.data()), "abc");
    // A text is cut to the API buffer.
    Bytes longText = Text("abcdefghij", 11);
    Bytes small(4, 0xEE);
    ASSERT_EQ(FieldValueToApi(qvftNullString, small.data(), small.size(), longText.data(), longText.size()), 0);
    EXPECT_EQ(small, Text("abc", 4));
    // An unterminated engine field is read up to its length only.
    Bytes full = {'x', 'y', 'z'};
    ASSERT_EQ(FieldValueToApi(qvftNullString, api.data(), api.size(), full.data(), full.size()), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(api.data()), "xyz");
    // Into the engine: cut to the field, the rest of the field zeroed.
    Bytes field(5, 0xEE);
    ASSERT_EQ(FieldValueFromApi(qvftShortString, field.data(), 5, longText.data(), longText.size()), 0);
    EXPECT_EQ(field, Bytes({4, 'a', 'b', 'c', 'd'}));
    // A wide string of 30 characters into a field of units 10 keeps 10 and the terminator.
    Bytes wide(22, 0xEE);
    Bytes thirty = Text(std::string(30, 'w'), 31);
    ASSERT_EQ(FieldValueFromApi(qvftWideString, wide.data(), wide.size(), thirty.data(), thirty.size()), 0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(GetU16(wide.data() + 2 * i), 'w') << i;
    EXPECT_EQ(GetU16(wide.data() + 20), 0);
    // An API text without terminator is read up to the buffer it came in.
    Bytes unterminated = {'p', 'q'};
    Bytes nullStr(8, 0xEE);
    ASSERT_EQ(FieldValueFromApi(qvftNullString, nullStr.data(), 8, unterminated.data(), 2), 0);
    EXPECT_EQ(nullStr, Text("pq", 8));
    // A memo field hands its four bytes on as text, never more.
    Bytes memo = {'m', 'e', 'm', 'o'};
    ASSERT_EQ(FieldValueToApi(19, api.data(), api.size(), memo.data(), memo.size()), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(api.data()), "memo");
}

TEST(TypeConversion, BlankLengthsAndModeBytes) {
    EXPECT_EQ(BlankLength(fldBLOB, 10), 4u);
    EXPECT_EQ(BlankLength(fldFLOAT, 4), 8u);
    EXPECT_EQ(BlankLength(fldZSTRING, 21), 21u);
    struct Case {
        std::uint32_t mode;
        std::uint8_t openByte, shareByte;
    };
    const Case cases[] = {{0, 1, 1}, {1, 0, 0}, {2, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(OpenModeByte(c.mode), c.openByte);
        EXPECT_EQ(ShareModeByte(c.mode), c.shareByte);
    }
    EXPECT_EQ(OpenModeFromByte(0), 0u);
    EXPECT_EQ(OpenModeFromByte(1), 1u);
    EXPECT_EQ(OpenModeFromByte(2), 2u);
    EXPECT_EQ(ShareModeFromByte(0), 0u);
    EXPECT_EQ(ShareModeFromByte(1), 2u);
    EXPECT_EQ(ShareModeFromByte(2), 1u);
}

// The API value of a field is what a buffer of that many bytes must hold for
// the conversions to accept it, whatever the engine's own length.
TEST(TypeConversion, ApiValueLengthsFitTheConversions) {
    struct Case { TqvFieldType type; std::uint32_t engineLength, apiLength; };
    const Case cases[] = {{qvftBoolean, 1, 2}, {qvftByte, 1, 2},    {qvftInt8, 1, 2},
                          {qvftSingle, 4, 8},  {qvftInt32, 4, 4},   {qvftExtended, 10, 8},
                          {qvftNullString, 21, 21}};
    for (const Case& c : cases) {
        const std::uint32_t n = ApiValueLength(c.type, c.engineLength);
        EXPECT_EQ(n, c.apiLength) << int(c.type);
        Bytes api(n, 0), field(c.engineLength, 0);
        api[0] = 1;
        EXPECT_EQ(FieldValueFromApi(c.type, field.data(), field.size(), api.data(), api.size()), kFieldValueOk)
            << int(c.type);
        EXPECT_EQ(FieldValueToApi(c.type, api.data(), api.size(), field.data(), field.size()), kFieldValueOk)
            << int(c.type);
    }
}

}  // namespace
}  // namespace qv
