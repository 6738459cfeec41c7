#include "engine/storage/dictionary.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/tests/storage_test_util.h"
#include "platform/core/streams.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::OpenFile;

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EqvException& e) {
        return e.ErrorNumber();
    }
    return -1;
}

std::string Stream(const TqvDataDictionary& d) {
    plat::MemoryStream ms;
    d.WriteToStream(ms);
    return ms.Bytes();
}

// Two fields and one composite index; the "Name" field has a default.
TqvDataDictionary Sample() {
    TqvDataDictionary d(4096);
    d.SetTableName("T");
    d.AddField("Id", "", qvftInt32, 10, 0, true);
    d.AddField("Name", "", qvftShortString, 5, 0, false);
    TqvValidityCheck v;
    v.picture = "A";
    v.hasDefault = true;
    v.defaultValue = B({2, 'a', 'b', 0, 0, 0});
    d.SetFieldValidityCheck(1, v);
    std::uint32_t fields[] = {1};
    d.AddIndex("ByName", "", 0, 1, fields, true, true, false);
    return d;
}

TEST(DictionaryStream, HandDerivedBytes) {
    // Value encoding: 02 = int8, 03 = int16, 06 = short string, 08/09 = false/true.
    std::string expected = B({0x08,                                       // not encrypted
                              0x02, 1,                                    // one file:
                              0x06, 18}) + "Data/DataDict File" +         //   description
                           B({0x06, 3}) + "QVD" +                         //   extension
                           B({0x03, 0x00, 0x10,                           //   block size 4096
                              0x02, 0,                                    //   kind 0
                              0x02, 2,                                    // two fields:
                              0x06, 2}) + "Id" + B({0x06, 0,              //   Id, no description,
                              0x02, 10, 0x02, 0, 0x02, 0, 0x02, 4,        //   units 10, dec 0, offset 0, length 4
                              0x02, 8, 0x09, 0x08,                        //   int32, required, no check
                              0x06, 4}) + "Name" + B({0x06, 0,            //   Name,
                              0x02, 5, 0x02, 0, 0x02, 4, 0x02, 6,         //   units 5, dec 0, offset 4, length 6
                              0x02, 46, 0x08, 0x09,                       //   short string, optional, checked:
                              0x06, 1, 'A', 0x08, 0x08, 0x09,             //   picture "A", default only,
                              2, 'a', 'b', 0, 0, 0,                       //   the default's 6 raw bytes
                              0x02, 10,                                   // data length 10
                              0x02, 2,                                    // two indexes, index 1 stored:
                              0x06, 6}) + "ByName" + B({0x06, 0,          //   name, description
                              0x02, 0, 0x02, 7, 0x02, 1, 0x02, 1,         //   file 0, key length 6 + 1, 1 field: 1
                              0x09, 0x09, 0x08});                         //   dups, ascending, case-sensitive
    EXPECT_EQ(Stream(Sample()), expected);
}

TEST(Dictionary, FieldLengthsAndUnits) {
    struct Case {
        TqvFieldType type;
        std::uint32_t units, decimals, length, unitsStored, decimalsStored;
    } cases[] = {
        {0, 9, 0, 1, 0, 0},      {1, 9, 0, 1, 1, 0},       {2, 9, 0, 2, 1, 0},       {3, 7, 0, 1, 3, 0},
        {6, 2, 0, 1, 2, 0},      {4, 9, 0, 2, 5, 0},       {7, 5, 0, 2, 5, 0},       {8, 0xFFFFFFFFu, 0, 4, 10, 0},
        {5, 7, 0, 4, 7, 0},      {9, 3, 0, 4, 10, 0},      {10, 7, 2, 4, 7, 2},      {11, 15, 4, 8, 15, 4},
        {12, 18, 4, 10, 18, 4},  {14, 12, 4, 8, 12, 4},    {15, 8, 3, 4, 0, 0},      {17, 8, 3, 8, 0, 0},
        {20, 1, 0, 4, 0, 0},     {45, 12, 0, 12, 12, 0},   {46, 20, 0, 21, 20, 0},   {49, 20, 0, 21, 20, 0},
        {50, 20, 0, 42, 20, 0},
    };
    for (const auto& c : cases) {
        TqvDataDictionary d;
        d.AddField("F", "", c.type, c.units, c.decimals, true);
        EXPECT_EQ(d.FieldLength(0), c.length) << int(c.type);
        EXPECT_EQ(d.Field(0).units, c.unitsStored) << int(c.type);
        EXPECT_EQ(d.Field(0).decimals, c.decimalsStored) << int(c.type);
        EXPECT_EQ(d.FieldRequired(0), c.type != qvftAutoInc) << int(c.type);
    }
}

TEST(Dictionary, RecordLayoutAndNullBitmap) {
    for (int fields : {8, 9}) {
        TqvDataDictionary d;
        for (int i = 0; i < fields; ++i) d.AddField("F" + std::to_string(i), "", qvftInt16, 5, 0, i == 0);
        EXPECT_EQ(d.DataLength(), 2u * fields);
        EXPECT_EQ(d.GetRecordLength(), 2u * fields + (fields > 8 ? 2 : 1));
        std::vector<std::uint8_t> rec(d.GetRecordLength());
        d.InitRecord(rec.data());
        for (int i = 0; i < fields; ++i) EXPECT_TRUE(d.IsRecordFieldNull(i, rec.data()));
        EXPECT_FALSE(d.RequiredFieldsPresent(rec.data()));
        std::uint8_t v[2] = {0x34, 0x12};
        d.SetRecordField(fields - 1, rec.data(), v);
        d.SetRecordField(0, rec.data(), v);
        EXPECT_TRUE(d.RequiredFieldsPresent(rec.data()));
        std::uint8_t out[2];
        EXPECT_FALSE(d.GetRecordField(fields - 1, rec.data(), out));
        EXPECT_EQ(out[1], 0x12);
        EXPECT_EQ(rec[2 * (fields - 1)], 0x34);
        d.SetRecordField(0, rec.data(), nullptr);
        EXPECT_TRUE(d.IsRecordFieldNull(0, rec.data()));
        EXPECT_EQ(rec[0], 0);
        EXPECT_TRUE(d.GetRecordField(1, nullptr, out));  // no record: null
        EXPECT_FALSE(d.RequiredFieldsPresent(nullptr));
    }
}

TEST(Dictionary, RefusedAdditions) {
    auto fresh = [] {
        TqvDataDictionary d;
        d.SetTableName("T");
        d.AddField("Name", "", qvftShortString, 10, 0, false);
        d.AddField("Age", "", qvftInt16, 5, 0, false);
        d.AddFile("", "QVB", 4096, 2);
        std::uint32_t age[] = {1};
        d.AddIndex("ByAge", "", 0, 1, age, false, true, false);
        return d;
    };
    std::uint32_t f1[] = {1}, bad[] = {5};
    struct Case {
        const char* what;
        std::function<void(TqvDataDictionary&)> act;
        int error;
    } cases[] = {
        {"block size", [](TqvDataDictionary&) { TqvDataDictionary x(2048); }, 115},
        {"duplicate field ignoring case", [](TqvDataDictionary& d) { d.AddField("NAME", "", 0, 0, 0, false); }, 117},
        {"unknown type", [](TqvDataDictionary& d) { d.AddField("X", "", 30, 0, 0, false); }, 101},
        {"huge string units", [](TqvDataDictionary& d) { d.AddField("X", "", 46, 0xFFFFFFFFu, 0, false); }, 114},
        {"bad extension", [](TqvDataDictionary& d) { d.AddFile("", "AB-", 4096, 1); }, 110},
        {"long extension", [](TqvDataDictionary& d) { d.AddFile("", "ABCD", 4096, 1); }, 110},
        {"second data file", [](TqvDataDictionary& d) { d.AddFile("", "DAT", 4096, 0); }, 112},
        {"extension twice", [](TqvDataDictionary& d) { d.AddFile("", "QVD", 4096, 1); }, 111},
        {"second BLOB file", [](TqvDataDictionary& d) { d.AddFile("", "QVC", 4096, 2); }, 106},
        {"file block size", [](TqvDataDictionary& d) { d.AddFile("", "QVX", 1000, 1); }, 115},
        {"index file", [&](TqvDataDictionary& d) { d.AddIndex("I", "", 2, 1, f1, false, true, false); }, 108},
        {"index field", [&](TqvDataDictionary& d) { d.AddIndex("I", "", 0, 1, bad, false, true, false); }, 100},
        {"index without fields", [&](TqvDataDictionary& d) { d.AddIndex("I", "", 0, 0, f1, false, true, false); }, 113},
        {"17 key fields", [&](TqvDataDictionary& d) {
             std::uint32_t many[17] = {};
             d.AddIndex("I", "", 0, 17, many, false, true, false);
         }, 114},
        {"index name twice", [&](TqvDataDictionary& d) { d.AddIndex("BYAGE", "", 0, 1, f1, false, true, false); }, 118},
        {"user index name twice", [](TqvDataDictionary& d) { d.AddUserIndex("byage", "", 0, 4, false, true, false); }, 118},
        {"user key length 0", [](TqvDataDictionary& d) { d.AddUserIndex("U", "", 0, 0, false, true, false); }, 116},
        {"user key length 1025", [](TqvDataDictionary& d) { d.AddUserIndex("U", "", 0, 1025, false, true, false); }, 116},
        {"user index file", [](TqvDataDictionary& d) { d.AddUserIndex("U", "", 2, 8, false, true, false); }, 108},
        {"no such field", [](TqvDataDictionary& d) { d.FieldLength(2); }, 96},
        {"no such index", [](TqvDataDictionary& d) { d.RemoveIndex(0); }, 96},
        {"no such file", [](TqvDataDictionary& d) { d.FileExtension(2); }, 96},
        {"wrong-sized default", [](TqvDataDictionary& d) {
             TqvValidityCheck v;
             v.hasDefault = true;
             v.defaultValue = "abc";  // the field is 11 bytes
             d.SetFieldValidityCheck(0, v);
         }, 114},
    };
    for (const auto& c : cases) {
        TqvDataDictionary d = fresh();
        std::string before = Stream(d);
        EXPECT_EQ(ErrorOf([&] { c.act(d); }), c.error) << c.what;
        EXPECT_EQ(Stream(d), before) << c.what << ": changed by a refused addition";
    }
    TqvDataDictionary d = fresh();
    d.AddUserIndex("U", "", 0, 1024, false, true, false);  // the upper bound is allowed
    EXPECT_EQ(d.GetIndexNumber("u"), 2);
    EXPECT_EQ(d.GetFieldNumber("AGE"), 1);
    EXPECT_EQ(d.GetFieldNumber("none"), -1);
}

TEST(Dictionary, CheckValidRecordLengthLimit) {
    // 4096-byte blocks allow records of 4060 bytes (block size - 36); with
    // three fields the bitmap takes one byte.
    for (std::uint32_t data : {4059u, 4060u}) {
        TqvDataDictionary d;
        d.AddField("A", "", qvftByteArray, data - 2, 0, false);
        d.AddField("B", "", qvftBoolean, 0, 0, false);
        d.AddField("C", "", qvftBoolean, 0, 0, false);
        EXPECT_EQ(d.DataLength(), data);
        EXPECT_EQ(ErrorOf([&] { d.CheckValid(); }), data == 4059 ? -1 : 102) << data;
    }
    TqvDataDictionary empty;
    EXPECT_EQ(ErrorOf([&] { empty.CheckValid(); }), 99);
    EXPECT_EQ(empty.Index(0).name, "Seq. Access Index");
    EXPECT_EQ(empty.File(0).description, "Data/DataDict File");
}

TEST(Dictionary, KeysOfNineFieldsAndNulls) {
    TqvDataDictionary d;
    std::uint32_t idx[9];
    for (int i = 0; i < 9; ++i) {
        d.AddField("F" + std::to_string(i), "", qvftByte, 3, 0, false);
        idx[i] = static_cast<std::uint32_t>(8 - i);  // key order is the reverse
    }
    d.AddIndex("All", "", 0, 9, idx, false, true, false);
    EXPECT_EQ(d.IndexKeyLength(1), 9u + 2);
    std::vector<std::uint8_t> rec(d.GetRecordLength()), key(11);
    d.InitRecord(rec.data());
    d.BuildKey(1, rec.data(), key.data());
    EXPECT_EQ(key, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x01}));
    std::uint8_t v = 7;
    d.SetRecordField(8, rec.data(), &v);  // key field 0
    v = 9;
    d.SetRecordField(0, rec.data(), &v);  // key field 8
    d.BuildKey(1, rec.data(), key.data());
    EXPECT_EQ(key, (std::vector<std::uint8_t>{7, 0, 0, 0, 0, 0, 0, 0, 9, 0xFE, 0x00}));
    EXPECT_FALSE(d.IsKeyFieldNull(1, key.data(), 8));
    EXPECT_TRUE(d.IsKeyFieldNull(1, key.data(), 1));
}

TEST(CompareKeys, NullsDirectionAndPartialFields) {
    TqvDataDictionary d;
    d.AddField("Name", "", qvftShortString, 10, 0, false);
    d.AddField("Age", "", qvftInt16, 5, 0, false);
    std::uint32_t fields[] = {0, 1};
    d.AddIndex("NameAge", "", 0, 2, fields, true, true, false);
    auto key = [&](const char* name, int age) {
        std::vector<std::uint8_t> rec(d.GetRecordLength()), k(d.IndexKeyLength(1));
        d.InitRecord(rec.data());
        if (name) {
            std::uint8_t s[11] = {};
            s[0] = static_cast<std::uint8_t>(std::strlen(name));
            std::memcpy(s + 1, name, s[0]);
            d.SetRecordField(0, rec.data(), s);
        }
        if (age >= 0) {
            std::uint8_t a[2] = {static_cast<std::uint8_t>(age), 0};
            d.SetRecordField(1, rec.data(), a);
        }
        d.BuildKey(1, rec.data(), k.data());
        return k;
    };
    struct Case {
        const char* what;
        const char* a;
        int ageA;
        const char* b;
        int ageB;
        bool ascending, ignoreCase;
        std::uint32_t count, partial;
        int expected;
    } cases[] = {
        {"whole key", "abc", 5, "abc", 6, true, false, 0, 0, -1},
        {"descending reverses values", "abc", 5, "abc", 6, false, false, 0, 0, 1},
        {"null first ascending", nullptr, 5, "abc", 5, true, false, 0, 0, -1},
        {"null first descending too", nullptr, 5, "abc", 5, false, false, 0, 0, -1},
        {"both null", nullptr, 5, nullptr, 5, true, false, 1, 0, 0},
        {"first field only", "abc", 5, "abc", 6, true, false, 1, 0, 0},
        {"ignore case", "ABC", 5, "abc", 5, true, true, 0, 0, 0},
        {"partial: 2 chars of a short string", "abX", 1, "abY", 2, true, false, 0, 3, 0},
        {"partial: 3 chars", "abX", 1, "abY", 2, true, false, 0, 4, -1},
        {"partial after the first field: not a string", "abc", 5, "abc", 6, true, false, 1, 1, 0},
    };
    for (const auto& c : cases) {
        TqvKeyContext ctx;
        ctx.dictionary = &d;
        ctx.index = 1;
        ctx.keyLength = d.IndexKeyLength(1);
        ctx.ascending = c.ascending;
        ctx.ignoreCase = c.ignoreCase;
        ctx.fieldCount = c.count;
        ctx.partialLength = c.partial;
        auto a = key(c.a, c.ageA), b = key(c.b, c.ageB);
        EXPECT_EQ(CompareKeys(a.data(), b.data(), ctx), c.expected) << c.what;
    }
}

TEST(IndexDescriptor, RecordBytesAndBounds) {
    TqvIndexDescriptor x;
    x.number = 3;
    x.name = "ByName";
    x.description = "d";
    x.fileNumber = 1;
    x.keyLength = 7;
    x.keyFieldCount = 2;
    x.fields[0] = 4;
    x.fields[1] = 2;
    x.allowDuplicates = true;
    x.ignoreCase = true;
    std::string r = EncodeIndexDescriptor(x);
    ASSERT_EQ(r.size(), 179u);
    // +0 number, +4 length-prefixed name in 32 bytes, +36 description in 64,
    // +100 file, +104 key length, +108 field count, +112 16 field numbers,
    // +176 duplicates, +177 ascending, +178 ignore case.
    std::string expected(179, '\0');
    expected[0] = 3;
    expected.replace(4, 7, "\x06" "ByName");
    expected.replace(36, 2, "\x01" "d");
    expected[100] = 1;
    expected[104] = 7;
    expected[108] = 2;
    expected[112] = 4;
    expected[116] = 2;
    expected[176] = 1;
    expected[177] = 1;
    expected[178] = 1;
    EXPECT_EQ(r, expected);
    TqvIndexDescriptor back = DecodeIndexDescriptor(r.data(), r.size());
    EXPECT_EQ(EncodeIndexDescriptor(back), r);
    PutU32(r.data() + 108, 17);
    EXPECT_EQ(ErrorOf([&] { DecodeIndexDescriptor(r.data(), r.size()); }), 114);
    PutU32(r.data() + 108, 0xFFFFFFFFu);  // a user index
    EXPECT_TRUE(DecodeIndexDescriptor(r.data(), r.size()).IsUserIndex());
    EXPECT_EQ(ErrorOf([&] { DecodeIndexDescriptor(r.data(), 100); }), 114);
    TqvDataDictionary d = Sample();
    EXPECT_TRUE(d.IsIndexDescriptorValid(d.Index(1)));
    back.fileNumber = 0;
    EXPECT_FALSE(d.IsIndexDescriptorValid(back));  // field 4 does not exist
}

TEST(DictionaryFile, WriteAndReadBack) {
    testsupport::TempDir dir;
    OpenFile t((dir / "D.QVD").string());
    t.Create(4096);
    TqvDataDictionary d = Sample();
    d.AddFile("Blobs", "QVB", 4096, 2);
    d.AddField("Big", "", qvftByteArray, 300, 0, false);
    TqvValidityCheck v;
    v.hasMinimum = v.hasMaximum = true;
    v.minimum = std::string(300, 'a');  // beyond 256 bytes: sized by the field
    v.maximum = std::string(300, 'z');
    d.SetFieldValidityCheck(2, v);
    d.AddUserIndex("User", "by routine", 0, 12, false, false, true);
    t.Run(2, false, [&] { d.WriteDictionaryToFile(t.f.get()); });
    EXPECT_EQ(GetU32(t.Header() + hdr::kDictFirst), 1u);

    TqvDataDictionary back;
    back.SetTableName("T");
    back.ReadDictionaryFromFile(t.f.get());
    EXPECT_TRUE(back.Locked());
    EXPECT_EQ(Stream(back), Stream(d));
    EXPECT_EQ(back.BlobFile(), 1u);
    EXPECT_EQ(back.FieldValidityCheck(2)->maximum, std::string(300, 'z'));
    EXPECT_TRUE(back.IndexIsUserIndex(2));
    EXPECT_EQ(back.Index(0).name, "Seq. Access Index");
    EXPECT_EQ(ErrorOf([&] { back.AddField("More", "", 0, 0, 0, false); }), 104);
    EXPECT_EQ(ErrorOf([&] { back.SetEncrypted(true); }), 104);

    // Rewriting reuses the chain.
    d.AddField("Extra", "", qvftDouble, 8, 2, false);
    t.Run(3, false, [&] { d.WriteDictionaryToFile(t.f.get()); });
    TqvDataDictionary again;
    again.ReadDictionaryFromFile(t.f.get());
    EXPECT_EQ(again.FieldCount(), 4u);
    EXPECT_EQ(GetU32(t.Header() + hdr::kDictFirst), 1u);

    TqvDataDictionary copy;
    copy.Assign(again);
    EXPECT_EQ(Stream(copy), Stream(again));

    OpenFile none((dir / "N.QVD").string());
    none.Create(4096);
    TqvDataDictionary missing;
    EXPECT_EQ(ErrorOf([&] { missing.ReadDictionaryFromFile(none.f.get()); }), 105);
    TqvDataDictionary big(8192);
    big.AddField("A", "", qvftByte, 3, 0, false);
    EXPECT_EQ(ErrorOf([&] { none.Run(4, false, [&] { big.WriteDictionaryToFile(none.f.get()); }); }), 103);
    none.bm.RollbackTransaction(4);
}

TEST(DictionaryStream, CorruptStreamsAreRefused) {
    const std::string good = Stream(Sample());
    struct Case {
        const char* what;
        std::function<void(std::string&)> patch;
    } cases[] = {
        {"truncated", [](std::string& s) { s.resize(s.size() / 2); }},
        {"empty", [](std::string& s) { s.clear(); }},
        {"wrong value type", [](std::string& s) { s[0] = 0x02; }},
        {"huge field count", [](std::string& s) {
             std::size_t at = s.find(std::string("\x02\x02\x06\x02" "Id", 6));
             s.replace(at, 2, std::string("\x04\xA0\x86\x01\x00", 5));  // 100000 fields
         }},
        {"offset that does not follow", [](std::string& s) {
             std::size_t at = s.find("Name") + 4 + 2 + 4;  // units, decimals, then the offset value
             s[at + 1] = 9;
         }},
        {"17 key fields", [](std::string& s) {
             std::size_t at = s.size() - 3 - 4;  // key field count value
             s[at + 1] = 17;
         }},
        {"negative string length type", [](std::string& s) { s[3] = 0x0C; }},
    };
    for (const auto& c : cases) {
        std::string bad = good;
        c.patch(bad);
        TqvDataDictionary d = Sample();
        std::string before = Stream(d);
        plat::MemoryStream ms(bad);
        int error = ErrorOf([&] { d.ReadFromStream(ms); });
        EXPECT_NE(error, -1) << c.what;
        EXPECT_EQ(Stream(d), before) << c.what << ": a refused stream changed the dictionary";
    }
    TqvDataDictionary d;
    plat::MemoryStream ms(good);
    d.ReadFromStream(ms);
    EXPECT_EQ(Stream(d), good);
}

}  // namespace
}  // namespace qv
