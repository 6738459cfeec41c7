#include "engine/base/string_resource.h"

#include <gtest/gtest.h>

#include "engine/base/qv_base.h"

namespace qv {
namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
}

TEST(Str0, BuildsTheHandDerivedBytes) {
    // Entries are sorted by id: 1 "H\xE9" then 2 "b".
    // 0: "STR0", 4: count 2, 8: {1, offset 32 (8 + 2*12), 2 units},
    // 20: {2, offset 36 (32 + 2 units * 2 bytes), 1 unit},
    // 32: 'H' 00, 0xE9 00 (e-acute is U+00E9), 'b' 00.
    std::string expected = Bytes({'S', 'T', 'R', '0', 2, 0, 0, 0,
                                  1, 0, 0, 0, 32, 0, 0, 0, 2, 0, 0, 0,
                                  2, 0, 0, 0, 36, 0, 0, 0, 1, 0, 0, 0,
                                  'H', 0, 0xE9, 0, 'b', 0});
    EXPECT_EQ(BuildStr0({{2, "b"}, {1, "H\xE9"}}), expected);
}

class Str0Reader : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterStringResource("TEST_STRINGS", BuildStr0({{10, "ten"}, {20, "twenty"}, {-5, "minus five"},
                                                          {30, "caf\xE9"}}));
    }
};

TEST_F(Str0Reader, LooksUpByIdAndAnswersEmptyForAbsentIds) {
    TzrStringResource r(nullptr, "test_strings");  // resource names ignore case
    struct Case {
        std::int32_t id;
        const char* text;
    } cases[] = {{10, "ten"}, {20, "twenty"}, {-5, "minus five"}, {30, "caf\xE9"},
                 {-6, ""},    {15, ""},       {31, ""},           {0, ""}};
    for (const auto& c : cases) EXPECT_EQ(r.GetAsString(c.id), c.text) << c.id;
    EXPECT_EQ(r.FindEntry(-5), 0);
    EXPECT_EQ(r.FindEntry(30), 3);
    r.raiseOnMissingId = true;
    try {
        r.GetAsString(7);
        FAIL();
    } catch (const ETzrStringResourceError& e) {
        EXPECT_STREQ(e.what(), "String not found: 7");
    }
}

TEST_F(Str0Reader, PCharShortensToFitTheBuffer) {
    TzrStringResource r(nullptr, "TEST_STRINGS");
    char buf[16];
    r.GetAsPChar(20, buf, 7);  // "twenty" + NUL fits exactly
    EXPECT_STREQ(buf, "twenty");
    r.GetAsPChar(20, buf, 6);
    EXPECT_STREQ(buf, "twent");
    r.GetAsPChar(99, buf, 6);
    EXPECT_STREQ(buf, "");
}

TEST(Str0Errors, MissingAndMalformedResources) {
    try {
        TzrStringResource r(nullptr, "NO_SUCH_TABLE");
        FAIL();
    } catch (const ETzrStringResourceError& e) {
        EXPECT_STREQ(e.what(), "String resource not found: NO_SUCH_TABLE");
    }
    RegisterStringResource("BAD_SIG", "STRX\0\0\0\0");
    EXPECT_THROW(TzrStringResource(nullptr, "BAD_SIG"), ETzrStringResourceError);
    // A count larger than the entry table can hold is refused, not read past.
    RegisterStringResource("BAD_COUNT", Bytes({'S', 'T', 'R', '0', 0xFF, 0xFF, 0, 0}));
    try {
        TzrStringResource r(nullptr, "BAD_COUNT");
        FAIL();
    } catch (const ETzrStringResourceError& e) {
        EXPECT_STREQ(e.what(), "Invalid ZQString resource");
    }
    // An entry pointing past the end gives an empty text.
    std::string s = BuildStr0({{1, "abc"}});
    PutU32(s.data() + 12, 1000);
    RegisterStringResource("BAD_OFFSET", s);
    TzrStringResource r(nullptr, "BAD_OFFSET");
    EXPECT_EQ(r.GetAsString(1), "");
}

TEST(EngineTables, HoldTheirEntries) {
    struct Case {
        const char* name;
        std::uint32_t count;
    } cases[] = {{"SRMGR_STRINGS", 5},
                 {"QV_GENERAL_STRINGS", 44},
                 {"QV_NETBIOS_ERROR_STRINGS", 29},
                 {"QV_WINSOCK_ERROR_STRINGS", 51}};
    for (const auto& c : cases) {
        const std::string* data = FindStringResource(c.name);
        ASSERT_NE(data, nullptr) << c.name;
        EXPECT_EQ(GetU32(data->data() + 4), c.count) << c.name;
    }
    EXPECT_EQ(QvStrings(QvTable::General).GetAsString(258), "\\Software\\Ashcomb\\Dunmere\\");
    EXPECT_EQ(QvStrings(QvTable::Winsock).GetAsString(11004), "Valid name, but no data record of requested type");
    EXPECT_EQ(QvStrings(QvTable::Server).GetAsString(48),
              "[%s] is not a Dunmere formatted file, or its file header is corrupt");
}

TEST(Exceptions, FormattedFromTables) {
    try {
        RaiseQvException(QvExceptionClass::Server, QvTable::Server, 49, {"T.QVD", 12});
        FAIL();
    } catch (const EqvServerException& e) {
        EXPECT_STREQ(e.what(), "Block number is either < 0, or >= number of blocks in file [T.QVD, block 12]");
        EXPECT_EQ(e.ErrorNumber(), 49);
    }
    try {
        RaiseQvExceptionNoArgs(QvExceptionClass::Client, QvTable::General, 240);
        FAIL();
    } catch (const EqvException& e) {  // caught through the root class
        EXPECT_NE(dynamic_cast<const EqvClientException*>(&e), nullptr);
        EXPECT_STREQ(e.what(), "Invalid server name");
    }
}

TEST(Exceptions, NetBIOSAndWinsockResults) {
    try {
        CheckNetBIOSResult(20);
        FAIL();
    } catch (const EqvNetBIOSException& e) {
        EXPECT_STREQ(e.what(), "NetBIOS communications: Unexpected error $14 [Cannot find name called / no answer]");
        EXPECT_EQ(e.ErrorNumber(), 131);
    }
    EXPECT_NO_THROW(CheckNetBIOSResult(0));
    EXPECT_NO_THROW(CheckWinsockResult(-1, 10035));
    EXPECT_NO_THROW(CheckWinsockResult(-1, 0));
    EXPECT_NO_THROW(CheckWinsockResult(0, 10061));
    try {
        CheckWinsockResult(-1, 10061);
        FAIL();
    } catch (const EqvWinsockException& e) {
        EXPECT_STREQ(e.what(),
                     "Winsock communications: Unexpected Winsock error $274D [The attempt to connect was forcibly refused]");
        EXPECT_EQ(e.ErrorNumber(), 135);
    }
}

TEST(Format, Conversions) {
    EXPECT_EQ(QvFormat("%d|%u|%x|%s|%%", {-3, 7, 255, "z"}), "-3|7|FF|z|%");
    EXPECT_EQ(QvFormat("[%5d][%-3s]", {42, "a"}), "[   42][a  ]");
    EXPECT_EQ(QvFormat("%s and %d", {"only"}), "only and ");  // missing argument
    EXPECT_EQ(QvFormat("%d", {"text"}), "");                  // mismatched argument
    EXPECT_EQ(QvFormat("tail %", {}), "tail %");
}

}  // namespace
}  // namespace qv
