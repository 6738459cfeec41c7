#include "engine/client/list_cursors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/client/base_session.h"
#include "engine/client/cfg_record.h"
#include "engine/client/day_numbers.h"
#include "engine/client/type_conversion.h"
#include "platform/core/registry.h"
#include "platform/core/streams.h"

namespace qv {
namespace {

struct FakeChannel : IListRequestChannel {
    DBIResult RequestStream(std::uint16_t requestId, const std::string& payload, plat::MemoryStream& reply) override {
        ++calls;
        lastId = requestId;
        lastPayload = payload;
        if (result != 0) return result;
        reply.WriteString(replies[requestId]);
        return 0;
    }
    std::map<std::uint16_t, std::string> replies;
    DBIResult result = 0;
    int calls = 0;
    std::uint16_t lastId = 0;
    std::string lastPayload;
};

std::string ShortStr(const std::string& s, std::size_t fieldSize) {
    std::string f(fieldSize, '\0');
    f[0] = static_cast<char>(s.size());
    std::memcpy(f.data() + 1, s.data(), s.size());
    return f;
}
std::string U32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}
std::uint32_t GetU32(const std::vector<std::uint8_t>& r, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, r.data() + at, 4);
    return v;
}
std::string TableEntry(const std::string& name, const std::string& ext, std::uint32_t size, std::uint32_t dosTime) {
    return ShortStr(name, 32) + ShortStr(ext, 4) + U32(size) + U32(0) + U32(dosTime);
}
std::string AliasEntry(const std::string& name, const std::string& path) {
    return ShortStr(name, 32) + ShortStr(path, 220);
}

// Every row of a list, walking forwards, then backwards.
std::vector<std::vector<std::uint8_t>> Forward(TBaseTable& t, DBIResult& end) {
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> rec(t.RecordSize(), 0);
    t.SetToBegin();
    while ((end = t.GetNextRecord(0, rec.data(), nullptr)) == 0) rows.push_back(rec);
    return rows;
}
std::vector<std::vector<std::uint8_t>> Backward(TBaseTable& t) {
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> rec(t.RecordSize(), 0);
    t.SetToEnd();
    while (t.GetPriorRecord(0, rec.data(), nullptr) == 0) rows.push_back(rec);
    return rows;
}

TEST(ListCursors, TableList) {
    FakeChannel ch;
    // 12 March 2024, 13:45:30 in the packed file-time form: date in the high word.
    std::uint32_t date = ((2024 - 1980) << 9) | (3 << 5) | 12, time = (13 << 11) | (45 << 5) | 15;
    ch.replies[kQvnmDatabaseTableList] =
        TableEntry("TvrnMAIN", "QVD", 8192, date << 16 | time) + TableEntry("TvrnITEM", "QVD", 65536, 0);
    TQVClientTblListTable t(nullptr, nullptr, &ch, 0x01020304, "Tvrn*");
    ASSERT_EQ(t.Open(), 0);
    EXPECT_EQ(ch.lastId, kQvnmDatabaseTableList);
    ASSERT_EQ(ch.lastPayload.size(), 40u);
    EXPECT_EQ(ch.lastPayload.substr(0, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(ch.lastPayload.substr(4, 6), std::string("\x05Tvrn*", 6));
    EXPECT_EQ(t.RecordSize(), 574u);

    DBIResult end = 0;
    auto rows = Forward(t, end);
    EXPECT_EQ(end, kDbiErrEof);
    ASSERT_EQ(rows.size(), 2u);
    const auto& r = rows[0];
    EXPECT_EQ(GetText(r.data(), 261), "TvrnMAIN");
    EXPECT_EQ(GetText(r.data() + 261, 261), "TvrnMAIN.QVD");
    EXPECT_EQ(GetText(r.data() + 522, 4), "QVD");
    EXPECT_EQ(GetText(r.data() + 526, 32), "QV");
    std::int32_t apiDate = 0, apiTime = 0;
    DateEncode(3, 12, 2024, apiDate);
    TimeEncode(13, 45, 30000, apiTime);
    EXPECT_EQ(GetU32(r, 558), static_cast<std::uint32_t>(apiDate));
    EXPECT_EQ(GetU32(r, 562), static_cast<std::uint32_t>(apiTime));
    EXPECT_EQ(GetU32(r, 566), 8192u);
    EXPECT_EQ(GetU32(r, 570), 0u);
    EXPECT_EQ(GetText(rows[1].data(), 261), "TvrnITEM");

    auto back = Backward(t);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], rows[1]);
    EXPECT_EQ(back[1], rows[0]);

    // Closed, the list has nothing left to read and asks the server nothing.
    int calls = ch.calls;
    EXPECT_EQ(t.CloseCursor(), 0);
    std::vector<std::uint8_t> rec(574);
    EXPECT_EQ(t.GetNextRecord(0, rec.data(), nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(t.GetRecord(0, rec.data(), nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(t.SetToBegin(), kDbiErrInvalidHandle);
    EXPECT_EQ(t.GetNextRecord(0, rec.data(), nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(t.GetPriorRecord(0, rec.data(), nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(ch.calls, calls);
}

TEST(ListCursors, TableListEdges) {
    FakeChannel ch;
    {
        TQVClientTblListTable t(nullptr, nullptr, &ch, 1, nullptr);
        ASSERT_EQ(t.Open(), 0);
        EXPECT_EQ(ch.lastPayload[4], 0);  // no mask
        std::vector<std::uint8_t> rec(574);
        EXPECT_EQ(t.GetNextRecord(0, rec.data(), nullptr), kDbiErrEof);
    }
    {
        // A long name in the entry is cut to the field, not read beyond it.
        std::string entry = TableEntry(std::string(31, 'N'), "QVD", 1, 0);
        entry[0] = static_cast<char>(200);
        ch.replies[kQvnmDatabaseTableList] = TableEntry("ONE", "QVD", 1, 0) + entry + std::string(20, 'x');
        TQVClientTblListTable t(nullptr, nullptr, &ch, 1, "");
        ASSERT_EQ(t.Open(), 0);
        DBIResult end = 0;
        auto rows = Forward(t, end);
        EXPECT_EQ(end, kDbiErrKeyOrRecDeleted);  // the cut-off third entry
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(GetText(rows[1].data(), 261).size(), 31u);
    }
    ch.result = 10024;
    TQVClientTblListTable t(nullptr, nullptr, &ch, 1, "");
    EXPECT_EQ(t.Open(), 10024);
    TQVClientTblListTable none(nullptr, nullptr, nullptr, 1, "");
    EXPECT_EQ(none.Open(), kDbiErrNoMemory);
}

TqvDataDictionary ProjectDict() {
    TqvDataDictionary d;
    d.SetTableName("TvrnITEM");
    d.AddField("Application", "", qvftNullString, 20, 0, true);
    d.AddField("HelpId", "", qvftInt32, 10, 0, false);
    d.AddField("Title", "", qvftNullString, 60, 0, false);
    TqvValidityCheck v;
    v.hasDefault = true;
    v.defaultValue = std::string(61, '\0');
    v.minimum = v.maximum = std::string(61, '\0');
    v.defaultValue[0] = 'x';
    d.SetFieldValidityCheck(2, v);
    const std::uint32_t both[2] = {0, 1};
    d.AddIndex("Application;HelpId", "", 0, 2, both, false, true, true);
    return d;
}

TEST(ListCursors, DictionaryLists) {
    FakeChannel ch;
    plat::MemoryStream ms;
    ProjectDict().WriteToStream(ms);
    ch.replies[kQvnmGetTableDictionary] = ms.Bytes();

    TQVClientFieldListTable fields(nullptr, nullptr, &ch, "  TvrnITEM.QVD ");
    ASSERT_EQ(fields.Open(), 0);
    EXPECT_EQ(ch.lastId, kQvnmGetTableDictionary);
    EXPECT_EQ(ch.lastPayload, "TvrnITEM.QVD");
    DBIResult end = 0;
    auto rows = Forward(fields, end);
    EXPECT_EQ(end, kDbiErrEof);
    ASSERT_EQ(rows.size(), 3u);
    FLDDesc second = FLDDesc::Read(rows[1].data());
    EXPECT_EQ(second.fieldNumber, 2);
    EXPECT_EQ(second.name, "HelpId");
    EXPECT_EQ(second.fieldType, fldINT32);
    EXPECT_EQ(second.offset, 21);
    EXPECT_EQ(FLDDesc::Read(Backward(fields)[0].data()).name, "Title");
    int calls = ch.calls;
    EXPECT_EQ(fields.CloseCursor(), 0);
    EXPECT_EQ(ch.calls, calls);

    TQVClientIndexListTable indexes(nullptr, nullptr, &ch, "TvrnITEM");
    ASSERT_EQ(indexes.Open(), 0);
    rows = Forward(indexes, end);
    // The dictionary's own sequence index, then the page index.
    ASSERT_EQ(rows.size(), 2u);
    IDXDesc page = IDXDesc::Read(rows[1].data());
    EXPECT_EQ(page.name, "Application;HelpId");
    EXPECT_EQ(page.keyFieldCount, 2);
    EXPECT_EQ(page.keyFields[1], 2);

    TQVClientVChkListTable checks(nullptr, nullptr, &ch, "TvrnITEM");
    ASSERT_EQ(checks.Open(), 0);
    rows = Forward(checks, end);
    ASSERT_EQ(rows.size(), 2u);  // Application (required) and Title (default)
    EXPECT_EQ(VCHKDesc::Read(rows[0].data()).fieldNumber, 1);
    EXPECT_EQ(VCHKDesc::Read(rows[0].data()).required, 1);
    EXPECT_EQ(VCHKDesc::Read(rows[1].data()).fieldNumber, 3);

    ch.replies[kQvnmGetTableDictionary] = "garbage";
    TQVClientFieldListTable bad(nullptr, nullptr, &ch, "X");
    EXPECT_EQ(bad.Open(), kDbiErrInvalidParam);
    std::vector<std::uint8_t> rec(FLDDesc::kSize);
    EXPECT_NE(bad.GetNextRecord(0, rec.data(), nullptr), 0);
}

std::vector<std::uint8_t> PathField(std::uint16_t offset, std::uint16_t length, const char* name = "PATH") {
    FLDDesc f;
    f.name = name;
    f.fieldType = fldZSTRING;
    f.offset = offset;
    f.length = length;
    std::vector<std::uint8_t> d(FLDDesc::kSize);
    f.Write(d.data());
    return d;
}

TEST(ListCursors, AliasesFromConfigurationRecords) {
    TBapiCollection cfg;
    std::string values = std::string("TYPE\0\0\0\0", 8) + "C:\\HELP\\DATA" + std::string(20, '\0');
    std::vector<std::uint8_t> descs = PathField(0, 8, "TYPE");
    auto path = PathField(8, 32);
    descs.insert(descs.end(), path.begin(), path.end());
    new TBaseCfgrecord(nullptr, &cfg, "\\DATABASES\\Tavrin\\DB INFO", 2, descs.data(), values.data());
    new TBaseCfgrecord(nullptr, &cfg, "\\DATABASES\\Other\\DB OPEN", 2, descs.data(), values.data());
    // A PATH field that points past the record data gives an empty path.
    auto far = PathField(200, 32);
    new TBaseCfgrecord(nullptr, &cfg, "\\DATABASES\\Far INFO", 1, far.data(), values.data());

    TBaseDBListTable t(nullptr, nullptr, "STANDARD", &cfg);
    ASSERT_EQ(t.Open(), 0);
    DBIResult end = 0;
    auto rows = Forward(t, end);
    EXPECT_EQ(end, kDbiErrEof);
    ASSERT_EQ(rows.size(), 2u);
    DBDesc a = DBDesc::Read(rows[0].data());
    EXPECT_EQ(a.name, "Tavrin");
    EXPECT_EQ(a.physicalPath, "C:\\HELP\\DATA");
    EXPECT_EQ(a.dbType, "STANDARD");
    DBDesc b = DBDesc::Read(rows[1].data());
    EXPECT_EQ(b.name, "Far INFO");
    EXPECT_EQ(b.physicalPath, "");
}

TEST(ListCursors, AliasesFromTheRegistry) {
    plat::RegistryStore store;
    const char* base = "Software\\Ashcomb\\Dunmere\\Aliases";
    store.CreateKey(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Tavrin");
    store.WriteValue(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Tavrin", "PhysicalName",
                     plat::RegValue{plat::RegValue::Kind::String, "C:\\Tavrin", 0});
    store.WriteValue(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Tavrin", "Description",
                     plat::RegValue{plat::RegValue::Kind::String, "Help projects", 0});
    store.CreateKey(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Bare");
    store.CreateKey(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Slashed");
    store.WriteValue(plat::HKEY_LOCAL_MACHINE, std::string(base) + "\\Slashed", "PhysicalName",
                     plat::RegValue{plat::RegValue::Kind::String, "D:\\X\\", 0});
    TBapiCollection cfg;
    auto path = PathField(0, 16);
    std::string values = std::string("E:\\CFG") + std::string(10, '\0');
    new TBaseCfgrecord(nullptr, &cfg, "\\DATABASES\\FromCfg\\DB INFO", 1, path.data(), values.data());

    TRegDBListTable t(nullptr, nullptr, "STANDARD", &cfg, &store);
    ASSERT_EQ(t.Open(), 0);
    DBIResult end = 0;
    auto rows = Forward(t, end);
    EXPECT_EQ(end, kDbiErrEof);
    std::vector<std::string> got;
    for (auto& r : rows) {
        DBDesc d = DBDesc::Read(r.data());
        got.push_back(d.name + "|" + d.description + "|" + d.physicalPath + "|" + d.dbType);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"Bare|||STANDARD", "Slashed||D:\\X\\|STANDARD",
                                             "Tavrin|Help projects|C:\\Tavrin\\|STANDARD",
                                             "FromCfg||E:\\CFG|STANDARD"}));
    EXPECT_EQ(Backward(t).size(), 4u);
    EXPECT_EQ(t.CloseCursor(), 0);
    std::vector<std::uint8_t> rec(DBDesc::kSize);
    EXPECT_EQ(t.GetNextRecord(0, rec.data(), nullptr), kDbiErrInvalidHandle);

    // Without the aliases key only the configuration records are listed.
    plat::RegistryStore empty;
    TRegDBListTable bare(nullptr, nullptr, "STANDARD", &cfg, &empty);
    ASSERT_EQ(bare.Open(), 0);
    EXPECT_EQ(Forward(bare, end).size(), 1u);
}

TEST(ListCursors, AliasesFromTheServer) {
    FakeChannel ch;
    std::string longPath = "C:\\A VERY LONG FOLDER NAME THAT GOES ON\\DATA";
    ch.replies[kQvnmDatabaseAliasList] = AliasEntry("Tavrin", longPath) + AliasEntry("Two", "D:\\") + "short";
    TStreamDBListTable t(nullptr, nullptr, "QV", &ch);
    ASSERT_EQ(t.Open(), 0);
    EXPECT_EQ(ch.lastId, kQvnmDatabaseAliasList);
    EXPECT_TRUE(ch.lastPayload.empty());
    DBIResult end = 0;
    auto rows = Forward(t, end);
    EXPECT_EQ(end, kDbiErrKeyOrRecDeleted);
    ASSERT_EQ(rows.size(), 2u);
    DBDesc d = DBDesc::Read(rows[0].data());
    EXPECT_EQ(d.name, "Tavrin");
    EXPECT_EQ(d.description, longPath.substr(0, 31));
    EXPECT_EQ(d.physicalPath, longPath);
    EXPECT_EQ(d.dbType, "QV");
    auto back = Backward(t);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(DBDesc::Read(back[0].data()).name, "Two");
}

TEST(ListCursors, FiltersAndCountsWorkOnLists) {
    FakeChannel ch;
    ch.replies[kQvnmDatabaseAliasList] = AliasEntry("A", "X") + AliasEntry("B", "Y") + AliasEntry("C", "Z");
    TStreamDBListTable t(nullptr, nullptr, "QV", &ch);
    ASSERT_EQ(t.Open(), 0);
    std::uint32_t count = 0;
    EXPECT_EQ(t.GetRecordCount(count), 0);
    EXPECT_EQ(count, 3u);
    std::vector<std::uint8_t> rec(DBDesc::kSize);
    EXPECT_EQ(t.GetRelativeRecord(2, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(DBDesc::Read(rec.data()).name, "B");
    std::uint8_t mark[4];
    ASSERT_EQ(t.GetBookMark(mark), 0);
    t.SetToEnd();
    ASSERT_EQ(t.SetToBookMark(mark), 0);
    EXPECT_EQ(t.GetNextRecord(0, rec.data(), nullptr), 0);
    EXPECT_EQ(DBDesc::Read(rec.data()).name, "C");
}

TEST(ListCursors, FactoriesInstalled) {
    InstallListCursorFactories();
    ASSERT_NE(GetRegistryDatabaseListFactory(), nullptr);
    ASSERT_NE(GetPlainCursorFactory(), nullptr);
    TBapiCollection sessions;
    auto* session = new TBaseSession(nullptr, &sessions, "S", nullptr);
    TBapiListItem* list = GetRegistryDatabaseListFactory()(session, &session->FurtherList());
    EXPECT_NE(dynamic_cast<TRegDBListTable*>(list), nullptr);
    EXPECT_EQ(AsCursor(list)->RecordSize(), static_cast<std::uint32_t>(DBDesc::kSize));
    EXPECT_EQ(session->FurtherList().Count(), 1);
}

}  // namespace
}  // namespace qv
