// Golden layouts of the API records. Each expected record is built by hand
// from the layout (offsets and widths), little-endian, zero elsewhere; the
// derivation of every non-zero byte is in the comments.
#include "engine/api/dbi_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "engine/client/type_conversion.h"

namespace qv {
namespace {

struct Golden {
    explicit Golden(int size) : bytes(size, 0) {}
    Golden& At(int offset, std::initializer_list<std::uint8_t> b) {
        std::copy(b.begin(), b.end(), bytes.begin() + offset);
        return *this;
    }
    Golden& Text(int offset, const char* s) {
        std::memcpy(bytes.data() + offset, s, std::strlen(s));
        return *this;
    }
    std::vector<std::uint8_t> bytes;
};

template <class R>
std::vector<std::uint8_t> Written(const R& r) {
    std::vector<std::uint8_t> out(R::kSize, 0xCC);  // gaps must come out zero
    r.Write(out.data());
    return out;
}

void ExpectSameBytes(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "byte " << i;
}

TEST(ApiRecords, DatabaseDescriptor) {
    DBDesc d;
    d.name = "PATH";
    d.description = "PATH";
    d.physicalPath = "C:\\Data\\";
    d.dbType = "STANDARD";
    // name at 0, description at 32, path at 64 (32 + 32), type at 325 (64 + 261).
    Golden g(357);
    g.Text(0, "PATH").Text(32, "PATH").Text(64, "C:\\Data\\").Text(325, "STANDARD");
    ExpectSameBytes(Written(d), g.bytes);
    DBDesc back = DBDesc::Read(g.bytes.data());
    EXPECT_EQ(back.physicalPath, "C:\\Data\\");
    EXPECT_EQ(back.dbType, "STANDARD");
}

TEST(ApiRecords, DatabaseDescriptorTextsAreCutToTheirFields) {
    DBDesc d;
    d.name = std::string(40, 'N');      // 32-byte field: 31 characters and NUL
    d.physicalPath = std::string(300, 'P');  // 261-byte field: 260 and NUL
    std::vector<std::uint8_t> b = Written(d);
    EXPECT_EQ(b[31], 0);
    EXPECT_EQ(b[32], 0);  // the description stays empty
    EXPECT_EQ(b[64 + 259], 'P');
    EXPECT_EQ(b[64 + 260], 0);
    DBDesc back = DBDesc::Read(b.data());
    EXPECT_EQ(back.name, std::string(31, 'N'));
    EXPECT_EQ(back.physicalPath, std::string(260, 'P'));
}

TEST(ApiRecords, FieldDescriptorFromDictionary) {
    auto v = std::make_shared<TqvValidityCheck>();
    TqvFieldDescriptor f;
    f.number = 2;  // third field
    f.name = "Title";
    f.type = qvftShortString;
    f.units = 40;
    f.offset = 12;
    f.length = 41;
    f.required = false;
    v->hasDefault = true;
    f.validity = v;
    Golden g(62);
    g.At(0, {3, 0})          // field number: position 2 + 1
        .Text(2, "Title")    // name from byte 2
        .At(34, {1, 0})      // engine type 46 -> API type 1 (string), subtype 0 at 36
        .At(38, {40, 0})     // units 1: the field's size
        .At(42, {12, 0})     // offset in the record (units 2 at 40: no decimals)
        .At(44, {41, 0})     // length in the record
        .At(48, {1, 0, 0, 0})  // validity: the field has a default
        .At(52, {3, 0, 0, 0});  // rights: read and write
    ExpectSameBytes(Written(FieldDescFromDict(f)), g.bytes);
}

TEST(ApiRecords, FieldDescriptorOfCurrencyWithDecimals) {
    TqvFieldDescriptor f;
    f.number = 0;
    f.name = "Price";
    f.type = qvftCurrency;
    f.units = 12;
    f.decimals = 4;
    f.offset = 0;
    f.length = 8;
    f.required = true;
    Golden g(62);
    g.At(0, {1, 0})
        .Text(2, "Price")
        .At(34, {7, 0})     // float
        .At(36, {21, 0})    // money
        .At(38, {12, 0})
        .At(40, {4, 0})     // units 2: decimals
        .At(44, {8, 0})
        .At(48, {1, 0, 0, 0})  // required
        .At(52, {3, 0, 0, 0});
    std::vector<std::uint8_t> b = Written(FieldDescFromDict(f));
    ExpectSameBytes(b, g.bytes);
    FLDDesc back = FLDDesc::Read(b.data());
    EXPECT_EQ(back.units2, 4);
    EXPECT_EQ(back.subType, fldstMONEY);
}

TEST(ApiRecords, IndexDescriptorFromDictionary) {
    TqvIndexDescriptor x;
    x.number = 2;
    x.name = "ByName";
    x.keyLength = 0x0123;  // 291
    x.keyFieldCount = 2;
    x.fields = {4, 0};
    x.allowDuplicates = true;
    x.ascending = false;
    x.ignoreCase = true;
    Golden g(893);
    g.Text(0, "ByName")        // name, 261 bytes
        .At(261, {2, 0})       // index id
        // unique (329) stays 0: duplicates are allowed
        .At(331, {1, 0})       // descending
        .At(333, {1})          // maintained
        .At(341, {2, 0})       // two key fields
        .At(343, {0x23, 0x01})  // key length 0x0123
        .At(349, {5, 0, 1, 0})  // key fields 4 and 0, each + 1
        .At(823, {1, 0});      // case-insensitive
    ExpectSameBytes(Written(IndexDescFromDict(x)), g.bytes);
}

TEST(ApiRecords, IndexDescriptorOfUserRoutineIndex) {
    TqvIndexDescriptor x;
    x.number = 0;
    x.name = "Seq. Access Index";
    x.keyLength = 4;
    x.keyFieldCount = -1;
    x.allowDuplicates = false;
    x.ascending = true;
    Golden g(893);
    g.Text(0, "Seq. Access Index")
        .At(329, {1, 0})   // unique: no duplicates
        .At(333, {1})      // maintained
        .At(337, {1, 0})   // keys built by a routine
        .At(343, {4, 0});  // key length; the key field count stays 0
    std::vector<std::uint8_t> b = Written(IndexDescFromDict(x));
    ExpectSameBytes(b, g.bytes);
    IDXDesc back = IDXDesc::Read(b.data());
    EXPECT_EQ(back.expIdx[1], 1);
    EXPECT_EQ(back.keyFieldCount, 0);
}

TEST(ApiRecords, ValidityCheckDescriptorFromDictionary) {
    auto v = std::make_shared<TqvValidityCheck>();
    v->hasMinimum = true;
    v->hasMaximum = false;
    v->hasDefault = true;
    v->minimum = std::string(256, '\0');  // a field of 256 bytes
    v->minimum[0] = 0x10;
    v->minimum[253] = 0x11;  // the last byte that fits
    v->minimum[254] = static_cast<char>(0x99);  // beyond the 254 bytes of the descriptor
    v->maximum = "\x77";  // not present: not copied
    v->defaultValue = std::string("\0\x20", 2);
    v->picture = "###-###";
    TqvFieldDescriptor f;
    f.required = true;
    f.validity = v;
    Golden g(1219);
    g.At(4, {1, 0})      // required
        .At(6, {1, 0})   // has minimum (has maximum at 8 stays 0)
        .At(10, {0x10})  // minimum from 10
        .At(10 + 253, {0x11})
        .At(522 + 1, {0x20})  // default from 522
        .Text(778, "###-###");  // picture from 778
    ExpectSameBytes(Written(VchkDescFromDict(f)), g.bytes);
}

TEST(ApiRecords, SessionInformation) {
    SESInfo s;
    s.sessionId = 1;
    s.name = "Default";
    s.databaseCount = 2;
    s.openCursorCount = 0x0105;
    s.lockWait = 500;
    s.netDir = "C:\\NET";
    s.privateDir = "C:\\PRIV";
    Golden g(562);
    g.At(0, {1, 0})
        .Text(2, "Default")
        .At(34, {2, 0})
        .At(36, {0x05, 0x01})
        .At(38, {0xF4, 0x01})  // 500
        .Text(40, "C:\\NET")
        .Text(301, "C:\\PRIV");  // 40 + 261
    std::vector<std::uint8_t> b = Written(s);
    ExpectSameBytes(b, g.bytes);
    SESInfo back = SESInfo::Read(b.data());
    EXPECT_EQ(back.lockWait, 500);
    EXPECT_EQ(back.privateDir, "C:\\PRIV");
}

TEST(ApiRecords, RecordsReadBackWhatWasWritten) {
    FLDDesc f;
    f.fieldNumber = 9;
    f.name = "N";
    f.fieldType = 6;
    f.subType = 29;
    f.units1 = -1;
    f.units2 = 2;
    f.offset = 300;
    f.length = 4;
    f.nullOffset = 7;
    f.validity = 1;
    f.rights = 3;
    f.calcField = 1;
    std::vector<std::uint8_t> b = Written(f);
    FLDDesc r = FLDDesc::Read(b.data());
    EXPECT_EQ(Written(r), b);
    EXPECT_EQ(r.units1, -1);

    VCHKDesc v;
    v.fieldNumber = 3;
    v.hasMaximum = 1;
    v.maximum.fill(0xAB);
    v.picture = std::string(200, 'x');  // cut to 175 and NUL
    b = Written(v);
    VCHKDesc vr = VCHKDesc::Read(b.data());
    EXPECT_EQ(vr.picture.size(), 175u);
    EXPECT_EQ(vr.maximum[253], 0xAB);
    EXPECT_EQ(b[954], 0);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The descriptors of a real dictionary: offsets and lengths are the record
// layout the client cursor hands to the API unchanged.
TEST(ApiRecords, DescriptorsOfADictionary) {
    TqvDataDictionary dict;
    dict.AddField("Application", "", qvftShortString, 20, 0, true);  // 21 bytes at 0
    dict.AddField("HelpId", "", qvftInt32, 10, 0, false);             // 4 bytes at 21
    dict.AddField("Body", "", 19, 0, 0, false);                       // memo, 4 bytes at 25
    dict.AddField("Title", "", qvftWideString, 10, 0, false);         // 22 bytes at 29
    const std::uint32_t key[2] = {0, 1};
    dict.AddIndex("Application;HelpId", "", 0, 2, key, false, true, true);
    TqvValidityCheck check;
    check.hasDefault = true;
    check.defaultValue = std::string(4, '\0');
    check.defaultValue[0] = 7;
    check.minimum = check.maximum = std::string(4, '\0');
    dict.SetFieldValidityCheck(1, check);

    struct Case {
        std::uint16_t type, subType, offset, length;
        std::uint32_t validity;
    };
    const Case cases[] = {
        {fldZSTRING, 0, 0, 21, 1},         // required
        {fldINT32, 0, 21, 4, 1},           // has a default
        {fldBLOB, fldstMEMO, 25, 4, 0},
        {fldZSTRING, 0, 29, 22, 0},
    };
    for (std::uint32_t i = 0; i < 4; ++i) {
        FLDDesc d = FieldDescFromDict(dict.Field(i));
        EXPECT_EQ(d.fieldNumber, i + 1);
        EXPECT_EQ(d.fieldType, cases[i].type) << i;
        EXPECT_EQ(d.subType, cases[i].subType) << i;
        EXPECT_EQ(d.offset, cases[i].offset) << i;
        EXPECT_EQ(d.length, cases[i].length) << i;
        EXPECT_EQ(d.validity, cases[i].validity) << i;
    }
    VCHKDesc v = VchkDescFromDict(dict.Field(1));
    EXPECT_EQ(v.defaultValue[0], 7);
    EXPECT_EQ(v.hasMinimum, 0);

    IDXDesc seq = IndexDescFromDict(dict.Index(0));
    EXPECT_EQ(seq.expIdx[1], 1);
    EXPECT_EQ(seq.keyLength, 4);
    IDXDesc byKey = IndexDescFromDict(dict.Index(1));
    EXPECT_EQ(byKey.indexId, 1);
    EXPECT_EQ(byKey.keyFieldCount, 2);
    EXPECT_EQ(byKey.keyFields[0], 1);
    EXPECT_EQ(byKey.keyFields[1], 2);
    EXPECT_EQ(byKey.keyLength, 21 + 4 + 1);  // two fields and a one-byte null bitmap
    EXPECT_EQ(byKey.unique, 1);
    EXPECT_EQ(byKey.caseInsensitive, 1);
}

}  // namespace
}  // namespace qv
