#include "engine/storage/field_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/base/qv_base.h"
#include "engine/base/qv_exceptions.h"

namespace qv {
namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}
std::string U32(std::uint32_t v) {
    std::string s(4, '\0');
    PutU32(s.data(), v);
    return s;
}
std::string U16(std::uint16_t v) {
    std::string s(2, '\0');
    PutU16(s.data(), v);
    return s;
}
std::string I64(std::int64_t v) {
    std::string s(8, '\0');
    PutU64(s.data(), static_cast<std::uint64_t>(v));
    return s;
}
std::string F64(double d) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);  // host is little-endian (checked below)
    return s;
}
std::string F32(float f) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &f, 4);
    return s;
}
std::string Ext(long double v) {
    std::string s(10, '\0');
    QvLongDoubleToExtended(v, s.data());
    return s;
}
// A short-string field of `units` characters: length byte, text, zero fill.
std::string SS(const std::string& text, std::size_t units) {
    std::string s(units + 1, '\0');
    s[0] = static_cast<char>(text.size());
    std::memcpy(s.data() + 1, text.data(), text.size());
    return s;
}
std::string NS(const std::string& text, std::size_t units) {
    std::string s(units + 1, '\0');
    std::memcpy(s.data(), text.data(), text.size());
    return s;
}
std::string WS(const std::u16string& text, std::size_t units) {
    std::string s((units + 1) * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) PutU16(s.data() + 2 * i, text[i]);
    return s;
}

TEST(FieldTypes, HostIsLittleEndianForFloatFixtures) {
    EXPECT_EQ(GetU32(F32(1.0f).data()), 0x3F800000u);
}

TEST(FieldTypes, ValidCodes) {
    for (int t = 0; t <= 24; ++t) EXPECT_TRUE(QvIsValidFieldType(t)) << t;
    for (int t = 25; t <= 44; ++t) EXPECT_FALSE(QvIsValidFieldType(t)) << t;
    for (int t = 45; t <= 50; ++t) EXPECT_TRUE(QvIsValidFieldType(t)) << t;
    EXPECT_FALSE(QvIsValidFieldType(51));
}

struct CmpCase {
    const char* what;
    TqvFieldType type;
    std::string a, b;
    bool ignoreCase;
    std::uint32_t length;
    int expected;
};

TEST(CompareFieldValues, TableOfCases) {
    const CmpCase cases[] = {
        {"bool true == true", qvftBoolean, B({1}), B({2}), false, 1, 0},
        {"bool false < true", qvftBoolean, B({0}), B({7}), false, 1, -1},
        {"char unsigned", qvftChar, B({0xE9}), B({'a'}), false, 1, 1},
        {"char ascii case", qvftChar, B({'a'}), B({'A'}), true, 1, 0},
        {"char case-sensitive", qvftChar, B({'a'}), B({'A'}), false, 1, 1},
        {"wide char collation", qvftWideChar, U16(u'b'), U16(u'A'), true, 2, 1},
        {"byte 200 > 100", qvftByte, B({200}), B({100}), false, 1, 1},
        {"int8 -56 < 100", qvftInt8, B({200}), B({100}), false, 1, -1},
        {"word16 unsigned", qvftWord16, U16(0xFFFF), U16(1), false, 2, 1},
        {"int16 signed", qvftInt16, U16(0xFFFF), U16(1), false, 2, -1},
        {"word32 unsigned", qvftWord32, U32(0x80000000u), U32(1), false, 4, 1},
        {"autoinc unsigned", qvftAutoInc, U32(0xFFFFFFFFu), U32(2), false, 4, 1},
        {"int32 signed", qvftInt32, U32(0x80000000u), U32(1), false, 4, -1},
        {"date no-date first", qvftDate, U32(0xFFFFFFFFu), U32(0), false, 4, -1},
        {"time equal", qvftTime, U32(3600), U32(3600), false, 4, 0},
        {"single", qvftSingle, F32(-1.5f), F32(1.0f), false, 4, -1},
        {"double", qvftDouble, F64(2.25), F64(2.0), false, 8, 1},
        {"double NaN unordered", qvftDouble, F64(std::nan("")), F64(1.0), false, 8, 0},
        {"datetime", qvftDateTime, F64(1.5), F64(1.25), false, 8, 1},
        {"extended", qvftExtended, Ext(-3.0L), Ext(-2.0L), false, 10, -1},
        {"comp signed 64", qvftComp, I64(-1), I64(1), false, 8, -1},
        {"currency", qvftCurrency, I64(25000), I64(20000), false, 8, 1},
        {"bytes", qvftByteArray, B({1, 2, 3}), B({1, 2, 4}), false, 3, -1},
        {"bytes partial", qvftByteArray, B({1, 2, 3}), B({1, 2, 4}), false, 2, 0},
        {"shortstr prefix shorter", qvftShortString, SS("ab", 10), SS("abc", 10), false, 11, -1},
        {"shortstr ignore case", qvftShortString, SS("AB", 10), SS("ab", 10), true, 11, 0},
        {"shortstr case", qvftShortString, SS("AB", 10), SS("ab", 10), false, 11, -1},
        {"shortstr cut at length-1", qvftShortString, SS("abcX", 10), SS("abcY", 10), false, 4, 0},
        {"shortstr locale", qvftShortStringL, SS("b", 10), SS("A", 10), false, 11, 1},
        {"shortstr locale nocase", qvftShortStringL, SS("abc", 10), SS("ABC", 10), true, 11, 0},
        {"nullstr", qvftNullString, NS("abd", 5), NS("abc", 5), false, 6, 1},
        {"nullstr nocase", qvftNullString, NS("ABC", 5), NS("abc", 5), true, 6, 0},
        {"nullstr locale", qvftNullStringL, NS("a", 5), NS("B", 5), false, 6, -1},
        {"widestr", qvftWideString, WS(u"abc", 5), WS(u"abd", 5), false, 12, -1},
        {"widestr nocase", qvftWideString, WS(u"ABC", 5), WS(u"abc", 5), true, 12, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareFieldValues(c.a.data(), c.b.data(), c.type, c.ignoreCase, c.length), c.expected) << c.what;
        EXPECT_EQ(CompareFieldValues(c.b.data(), c.a.data(), c.type, c.ignoreCase, c.length), -c.expected) << c.what;
    }
}

TEST(CompareFieldValues, OverlongLengthBytesStayInsideTheField) {
    // Length bytes of 255 in a 4-byte field: only the 3 characters are read.
    std::string a = B({255, 'a', 'b', 'c'}), b = B({255, 'a', 'b', 'd'});
    EXPECT_EQ(CompareFieldValues(a.data(), b.data(), qvftShortString, false, 4), -1);
    EXPECT_EQ(CompareFieldValues(a.data(), b.data(), qvftShortStringL, false, 4), -1);
    // No terminator inside the field.
    std::string x = B({'a', 'b'}), y = B({'a', 'c'});
    EXPECT_EQ(CompareFieldValues(x.data(), y.data(), qvftNullString, false, 2), -1);
}

TEST(CompareFieldValues, BlobAndUnknownTypesRaise) {
    std::string a(16, '\0');
    try {
        CompareFieldValues(a.data(), a.data(), 20, false, 4);
        FAIL();
    } catch (const EqvServerException& e) {
        EXPECT_EQ(e.ErrorNumber(), 194);
        EXPECT_STREQ(e.what(), "Cannot compare BLOB fields in a table");
    }
    try {
        CompareFieldValues(a.data(), a.data(), 30, false, 4);
        FAIL();
    } catch (const EqvServerException& e) {
        EXPECT_STREQ(e.what(), "Unknown field type encountered in a case statement [30]");
    }
}

TEST(StringComparers, ContextDirectionAndPartialLength) {
    TqvCompareContext ctx;
    ctx.fieldLength = 11;
    std::string a = SS("abc", 10), b = SS("abd", 10);
    EXPECT_EQ(CompareShortString(a.data(), b.data(), ctx), -1);
    ctx.ascending = false;
    EXPECT_EQ(CompareShortString(a.data(), b.data(), ctx), 1);
    ctx.partialLength = 3;  // two characters for a short string
    EXPECT_EQ(CompareShortString(a.data(), b.data(), ctx), 0);
    TqvCompareContext refs;
    EXPECT_EQ(CompareRefKeys(U32(0x80000000u).data(), U32(1).data(), refs), -1);  // signed
    refs.ascending = false;
    EXPECT_EQ(CompareRefKeys(U32(0x80000000u).data(), U32(1).data(), refs), 1);
}

TEST(Extended, RoundTripsThroughTheTenByteForm) {
    // 1.0 is exponent 16383 (0x3FFF) with the explicit integer bit set.
    EXPECT_EQ(Ext(1.0L), B({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(Ext(-2.0L), B({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}));
    for (long double v : {0.0L, 1.2345L, -1e300L, 3.0e-300L, 123456789.125L}) {
        std::string e = Ext(v);
        EXPECT_EQ(QvExtendedToLongDouble(e.data()), v);
    }
}

struct ConvCase {
    const char* what;
    TqvFieldType st, dt;
    std::string src;
    std::uint32_t destLength;
    std::string expected;  // empty: the pair is refused
};

TEST(ConvertFieldValue, TableOfCases) {
    const std::int32_t d1900 = QvDateOriginOffset() + 2;  // 1 Jan 1900
    const ConvCase cases[] = {
        {"bool copy", qvftBoolean, qvftBoolean, B({2}), 1, B({2})},
        {"bool to char", qvftBoolean, qvftChar, B({1}), 1, "Y"},
        {"bool to byte", qvftBoolean, qvftByte, B({2}), 1, B({2})},
        {"bool to int16", qvftBoolean, qvftInt16, B({1}), 2, U16(1)},
        {"bool to word32", qvftBoolean, qvftWord32, B({0}), 4, U32(0)},
        {"bool to shortstr", qvftBoolean, qvftShortString, B({0}), 3, B({1, 'N', 0})},
        {"bool to nullstr", qvftBoolean, qvftNullStringL, B({1}), 3, B({'Y', 0, 0})},
        {"bool to widestr", qvftBoolean, qvftWideString, B({1}), 4, B({'Y', 0, 0, 0})},
        {"bool to autoinc refused", qvftBoolean, qvftAutoInc, B({1}), 4, ""},
        {"bool to double refused", qvftBoolean, qvftDouble, B({1}), 8, ""},
        {"char to wide", qvftChar, qvftWideChar, B({0x80}), 2, U16(0x20AC)},
        {"char to shortstr", qvftChar, qvftShortStringL, B({'q'}), 3, B({1, 'q', 0})},
        {"wide to char >255", qvftWideChar, qvftChar, U16(0x20AC), 1, B({0})},
        {"wide to char", qvftWideChar, qvftNullString, U16('x'), 2, B({'x', 0})},
        {"byte to int16", qvftByte, qvftInt16, B({200}), 2, U16(200)},
        {"byte to autoinc", qvftByte, qvftAutoInc, B({200}), 4, U32(200)},
        {"byte to int8 refused", qvftByte, qvftInt8, B({1}), 1, ""},
        {"int8 sign-extends", qvftInt8, qvftInt32, B({0xFE}), 4, U32(0xFFFFFFFEu)},
        {"int16 to int8 refused", qvftInt16, qvftInt8, U16(1), 1, ""},
        {"word32 to int32 refused", qvftWord32, qvftInt32, U32(1), 4, ""},
        {"int32 to word32 refused", qvftInt32, qvftWord32, U32(1), 4, ""},
        {"word16 to word32", qvftWord16, qvftWord32, U16(0xFFFF), 4, U32(0xFFFF)},
        {"int to string refused", qvftInt32, qvftShortString, U32(1), 10, ""},
        {"word32 to double unsigned", qvftWord32, qvftDouble, U32(0xFFFFFFFFu), 8, F64(4294967295.0)},
        {"int32 to double", qvftInt32, qvftDouble, U32(0xFFFFFFFFu), 8, F64(-1.0)},
        {"int16 to single", qvftInt16, qvftSingle, U16(0xFFFE), 4, F32(-2.0f)},
        {"int8 to extended", qvftInt8, qvftExtended, B({5}), 10, Ext(5.0L)},
        {"autoinc to comp unsigned", qvftAutoInc, qvftComp, U32(0xFFFFFFFFu), 8, I64(4294967295LL)},
        {"int16 to currency", qvftInt16, qvftCurrency, U16(0xFFFF), 8, I64(-10000)},
        {"single widens", qvftSingle, qvftDouble, F32(1.5f), 8, F64(1.5)},
        {"double to single refused", qvftDouble, qvftSingle, F64(1.5), 4, ""},
        {"double to extended", qvftDouble, qvftExtended, F64(0.1), 10, Ext(static_cast<long double>(0.1))},
        {"double 2.5 to currency", qvftDouble, qvftCurrency, F64(2.5), 8, I64(25000)},
        {"double rounds after scaling", qvftDouble, qvftCurrency, F64(3.14159), 8, I64(31416)},
        {"negative double to currency", qvftDouble, qvftCurrency, F64(-1.23456), 8, I64(-12346)},
        {"huge double to currency refused", qvftDouble, qvftCurrency, F64(1e300), 8, ""},
        {"double to int refused", qvftDouble, qvftInt32, F64(1), 4, ""},
        {"currency to extended", qvftCurrency, qvftExtended, I64(12345), 10, Ext(1.2345L)},
        {"currency copy", qvftCurrency, qvftCurrency, I64(-7), 8, I64(-7)},
        {"comp to currency refused", qvftComp, qvftCurrency, I64(1), 8, ""},
        {"date to datetime", qvftDate, qvftDateTime, U32(static_cast<std::uint32_t>(d1900)), 8, F64(2.0 + 693594.0)},
        {"no date to datetime", qvftDate, qvftDateTime, U32(0xFFFFFFFFu), 8, F64(0.0)},
        {"time to datetime", qvftTime, qvftDateTime, U32(6 * 3600), 8, F64(0.25)},
        {"datetime to date", qvftDateTime, qvftDate, F64(693594.0 + 2.75), 4, U32(static_cast<std::uint32_t>(d1900))},
        {"datetime to time", qvftDateTime, qvftTime, F64(693594.0 + 2.75), 4, U32(18 * 3600)},
        {"date to time refused", qvftDate, qvftTime, U32(1), 4, ""},
        {"blob to blob accepted", 18, 22, U32(99), 4, U32(0xEEEEEEEEu)},
        {"bytes to blob accepted", qvftByteArray, 19, B({1, 2}), 4, U32(0xEEEEEEEEu)},
        {"bytes copy m", qvftByteArray, qvftByteArray, B({1, 2, 3, 4}), 2, B({1, 2})},
        {"blob to bytes refused", 18, qvftByteArray, U32(1), 4, ""},
        {"shortstr to shortstr cut", qvftShortString, qvftShortStringL, SS("hello", 5), 4, B({3, 'h', 'e', 'l'})},
        {"shortstr to char", qvftShortString, qvftChar, SS("hi", 5), 1, "h"},
        {"shortstr to nullstr", qvftShortString, qvftNullString, SS("hello", 5), 4, B({'h', 'e', 'l', 0})},
        {"shortstr to widestr", qvftShortString, qvftWideString, SS("h\xE9", 5), 8,
         B({'h', 0, 0xE9, 0, 0, 0, 0, 0})},
        {"nullstr to shortstr", qvftNullString, qvftShortString, NS("abc", 5), 6, B({3, 'a', 'b', 'c', 0, 0})},
        {"nullstr to nullstr", qvftNullStringL, qvftNullString, NS("abcde", 5), 3, B({'a', 'b', 0})},
        {"nullstr to wide char", qvftNullString, qvftWideChar, NS("\x80", 2), 2, U16(0x20AC)},
        {"string to int refused", qvftShortString, qvftInt32, SS("1", 5), 4, ""},
        {"widestr to char", qvftWideString, qvftChar, WS(u"\u0100", 2), 1, B({0})},
        {"widestr to widechar", qvftWideString, qvftWideChar, WS(u"\u0100", 2), 2, U16(0x100)},
        {"widestr to shortstr", qvftWideString, qvftShortString, WS(u"abc\u20AC", 5), 6, B({4, 'a', 'b', 'c', 0x80, 0})},
        {"widestr to nullstr", qvftWideString, qvftNullStringL, WS(u"abcdef", 6), 4, B({'a', 'b', 'c', 0})},
        {"widestr to widestr", qvftWideString, qvftWideString, WS(u"abc", 5), 6, B({'a', 0, 'b', 0, 0, 0})},
        {"widestr to bytes refused", qvftWideString, qvftByteArray, WS(u"a", 1), 4, ""},
    };
    for (const auto& c : cases) {
        std::string dest(c.destLength, '\xEE');
        int r = ConvertFieldValue(c.src.data(), dest.data(), c.st, c.dt, static_cast<std::uint32_t>(c.src.size()),
                                  c.destLength);
        int probe = ConvertFieldValue(c.src.data(), nullptr, c.st, c.dt, static_cast<std::uint32_t>(c.src.size()),
                                      c.destLength);
        if (c.expected.empty()) {
            EXPECT_EQ(r, kQvInvalidFieldTransformation) << c.what;
            EXPECT_EQ(probe, kQvInvalidFieldTransformation) << c.what;
            EXPECT_EQ(dest, std::string(c.destLength, '\xEE')) << c.what << ": destination touched";
        } else {
            EXPECT_EQ(r, 0) << c.what;
            EXPECT_EQ(probe, 0) << c.what;
            EXPECT_EQ(dest, c.expected) << c.what;
        }
    }
}

TEST(ConvertFieldValue, LongWideStringIntoShortFieldKeepsFirstUnits) {
    std::u16string thirty;
    for (int i = 0; i < 30; ++i) thirty.push_back(static_cast<char16_t>(u'A' + i % 26));
    std::string src = WS(thirty, 30);
    std::string dest(22, '\xEE');  // units 10
    ASSERT_EQ(ConvertFieldValue(src.data(), dest.data(), qvftWideString, qvftWideString, 62, 22), 0);
    EXPECT_EQ(dest, WS(thirty.substr(0, 10), 10));
}

TEST(ConvertFieldValue, DateDirectionsAgree) {
    for (std::int32_t day : {0, 1, 109571, 109572, 146000, 200000}) {
        std::string src = U32(static_cast<std::uint32_t>(day)), dt(8, '\0'), back(4, '\0');
        ASSERT_EQ(ConvertFieldValue(src.data(), dt.data(), qvftDate, qvftDateTime, 4, 8), 0);
        ASSERT_EQ(ConvertFieldValue(dt.data(), back.data(), qvftDateTime, qvftDate, 8, 4), 0);
        EXPECT_EQ(back, src) << day;
    }
    // 1 Jan 1600 to 1 Jan 1900: 300 years with 73 leap days (1600 is one,
    // 1700 and 1800 are not) = 109573 days; 30 Dec 1899 is two days earlier.
    EXPECT_EQ(QvDateOriginOffset(), 109571);
}

}  // namespace
}  // namespace qv
