// Logical fields, key positioning, where the cursor stands after an insert
// and an index switch, and what the index descriptors report, all through
// the entry points.
#include <cstring>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/base_session.h"

using namespace qv;
using apitest::ApiTest;
using apitest::FieldDesc;
using apitest::IndexDesc;

constexpr DBIResult kRecNotFound = 8710;  // "Record/key not found."

namespace {

class CursorFixesTest : public ApiTest {
protected:
    // Items: Code (string 10, primary), Qty (int32, indexed with duplicates), Done (logical).
    hDBICur OpenItems(const char* index) {
        std::vector<std::uint8_t> fields;
        for (const auto& f : {FieldDesc(1, "Code", fldZSTRING, 0, 10), FieldDesc(2, "Qty", fldINT32, 0, 0),
                              FieldDesc(3, "Done", fldBOOL, 0, 0)})
            fields.insert(fields.end(), f.begin(), f.end());
        std::vector<std::uint8_t> indexes = IndexDesc("ByCode", {1}, true);
        auto byQty = IndexDesc("ByQty", {2}, false);
        indexes.insert(indexes.end(), byQty.begin(), byQty.end());
        CRTblDesc td;
        td.tableName = "Items";
        td.fieldCount = 3;
        td.fieldDescs = fields.data();
        td.indexCount = 2;
        td.indexDescs = indexes.data();
        EXPECT_EQ(DbiCreateTable(db, false, td), 0);
        return OpenPages(index, "Items");
    }

    static void Add(hDBICur cur, const std::string& code, std::int32_t qty, std::uint16_t done) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
        ASSERT_EQ(DbiPutField(cur, 1, rec.data(), code.c_str()), 0);
        ASSERT_EQ(DbiPutField(cur, 2, rec.data(), &qty), 0);
        ASSERT_EQ(DbiPutField(cur, 3, rec.data(), &done), 0);
        ASSERT_EQ(DbiInsertRecord(cur, 0, rec.data()), 0);
    }

    static std::string CodeOf(hDBICur cur, const std::vector<std::uint8_t>& rec) {
        char code[16] = {};
        bool blank = true;
        EXPECT_EQ(DbiGetField(cur, 1, rec.data(), code, &blank), 0);
        return code;
    }

    static std::string Current(hDBICur cur) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        DBIResult rc = DbiGetRecord(cur, 0, rec.data(), nullptr);
        return rc == 0 ? CodeOf(cur, rec) : "rc" + std::to_string(rc);
    }

    static std::string Next(hDBICur cur) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        DBIResult rc = DbiGetNextRecord(cur, 0, rec.data(), nullptr);
        return rc == 0 ? CodeOf(cur, rec) : "rc" + std::to_string(rc);
    }

    // A record buffer holding only the code, as a key given by record.
    static std::vector<std::uint8_t> CodeRecord(hDBICur cur, const std::string& code) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        EXPECT_EQ(DbiInitRecord(cur, rec.data()), 0);
        EXPECT_EQ(DbiPutField(cur, 1, rec.data(), code.c_str()), 0);
        return rec;
    }
};

TEST_F(CursorFixesTest, LogicalFieldsRoundTrip) {
    OpenDb();
    hDBICur cur = OpenItems("ByCode");
    ASSERT_NE(cur, kNilHandle);
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    ASSERT_EQ(DbiGetCursorProps(cur, props.data()), 0);
    std::vector<std::uint8_t> descs(3 * FLDDesc::kSize, 0);
    ASSERT_EQ(DbiGetFieldDescs(cur, descs.data()), 0);
    FLDDesc done = FLDDesc::Read(descs.data() + 2 * FLDDesc::kSize);
    EXPECT_EQ(done.fieldType, fldBOOL);
    EXPECT_EQ(done.length, 1) << "the descriptor keeps the record's layout";

    // Any non-zero value is true; the value read back is 0 or 1.
    struct Case { const char* code; std::uint16_t written; std::uint16_t read; };
    const Case cases[] = {{"F", 0, 0}, {"T", 1, 1}, {"X", 0x0100, 1}};
    for (const Case& c : cases) Add(cur, c.code, 1, c.written);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> rec = CodeRecord(cur, c.code);
        ASSERT_EQ(DbiGetRecordForKey(cur, false, 1, 0, rec.data(), rec.data()), 0) << c.code;
        std::uint16_t v = 0xBEEF;
        bool blank = true;
        ASSERT_EQ(DbiGetField(cur, 3, rec.data(), &v, &blank), 0);
        EXPECT_FALSE(blank);
        EXPECT_EQ(v, c.read) << c.code;
    }
    // A null logical field reads blank.
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
    ASSERT_EQ(DbiPutField(cur, 1, rec.data(), "N"), 0);
    ASSERT_EQ(DbiInsertRecord(cur, 0, rec.data()), 0);
    ASSERT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
    std::uint16_t v = 7;
    bool blank = false;
    ASSERT_EQ(DbiGetField(cur, 3, rec.data(), &v, &blank), 0);
    EXPECT_TRUE(blank);
    EXPECT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(CursorFixesTest, SetToKeyStandsBeforeTheFirstKeyAtOrAfterTheOneGiven) {
    OpenDb();
    hDBICur cur = OpenItems("ByCode");
    for (const char* c : {"apple", "banana", "cherry", "date"}) Add(cur, c, 1, 0);
    struct Case { const char* key; std::uint16_t condition; std::uint16_t fields; std::uint16_t partial;
                  DBIResult rc; const char* next; };
    const Case cases[] = {
        {"banana", kKeySearchEq, 1, 0, 0, "banana"},
        {"bb", kKeySearchEq, 1, 0, kRecNotFound, ""},
        {"bb", kKeySearchGtEq, 1, 0, 0, "cherry"},
        {"banana", kKeySearchGt, 1, 0, 0, "cherry"},
        {"ch", kKeySearchGtEq, 1, 2, 0, "cherry"},
        {"ch", kKeySearchEq, 1, 2, 0, "cherry"},
        {"a", kKeySearchGtEq, 1, 0, 0, "apple"},
        {"zz", kKeySearchGtEq, 1, 0, kRecNotFound, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> rec = CodeRecord(cur, c.key);
        EXPECT_EQ(DbiSetToKey(cur, c.condition, false, c.fields, c.partial, rec.data()), c.rc) << c.key;
        if (c.rc == 0) {
            EXPECT_EQ(Next(cur), c.next) << c.key;
        }
    }
    // The same search given as a key.
    std::vector<std::uint8_t> rec = CodeRecord(cur, "c"), key(256, 0);
    ASSERT_EQ(DbiExtractKey(cur, rec.data(), key.data()), 0);
    ASSERT_EQ(DbiSetToKey(cur, kKeySearchGtEq, true, 0, 0, key.data()), 0);
    EXPECT_EQ(Next(cur), "cherry");
    EXPECT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(CursorFixesTest, AnInsertedRecordIsCurrentAndSurvivesAnIndexSwitch) {
    OpenDb();
    hDBICur cur = OpenItems("ByCode");
    Add(cur, "m", 5, 0);
    Add(cur, "b", 9, 0);
    EXPECT_EQ(Current(cur), "b");
    EXPECT_EQ(Next(cur), "m") << "moves go on from the inserted record";

    Add(cur, "a", 7, 0);
    ASSERT_EQ(DbiSwitchToIndex(cur, "ByQty", nullptr, 0, true), 0);
    EXPECT_EQ(Current(cur), "a");
    EXPECT_EQ(Next(cur), "b") << "the walk continues in the new index's order";
    ASSERT_EQ(DbiSwitchToIndex(cur, "ByCode", nullptr, 0, true), 0);
    EXPECT_EQ(Current(cur), "b");
    EXPECT_EQ(Next(cur), "m");

    // Without a current record the switch keeping it is refused, and without
    // keeping it the cursor stands at the beginning.
    ASSERT_EQ(DbiSetToEnd(cur), 0);
    EXPECT_EQ(DbiSwitchToIndex(cur, "ByQty", nullptr, 0, true), kDbiErrNoCurrRec);
    ASSERT_EQ(DbiSwitchToIndex(cur, "ByQty", nullptr, 0, false), 0);
    EXPECT_EQ(Next(cur), "m");
    EXPECT_EQ(DbiCloseCursor(cur), 0);

    // In the table's own order the new record is current as well.
    cur = OpenPages(nullptr, "Items");
    Add(cur, "c", 1, 0);
    EXPECT_EQ(Current(cur), "c");
    EXPECT_EQ(Next(cur), "rc8706") << "new records come last in the table's order";
    EXPECT_EQ(DbiCloseCursor(cur), 0);
}

// The engine has no primary index of its own: every descriptor says so, and
// the unique flag is what tells a primary-key candidate.
TEST_F(CursorFixesTest, IndexDescriptorsReportTheirKeysAndNoPrimaryIndex) {
    OpenDb();
    hDBICur cur = OpenItems("ByQty");
    struct Case { std::uint16_t number; const char* name; std::uint8_t primary; std::uint16_t unique;
                  std::uint16_t keyField; };
    const Case cases[] = {{1, "ByCode", 0, 1, 1}, {2, "ByQty", 0, 0, 2}, {0, "ByQty", 0, 0, 2}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buf(IDXDesc::kSize, 0xCC);
        ASSERT_EQ(DbiGetIndexDesc(cur, c.number, buf.data()), 0) << c.number;
        IDXDesc x = IDXDesc::Read(buf.data());
        EXPECT_EQ(x.name, c.name);
        EXPECT_EQ(x.primary, c.primary) << c.name;
        EXPECT_EQ(x.unique, c.unique) << c.name;
        ASSERT_EQ(x.keyFieldCount, 1);
        EXPECT_EQ(x.keyFields[0], c.keyField) << c.name;
    }
    std::vector<std::uint8_t> buf(IDXDesc::kSize, 0);
    EXPECT_EQ(DbiGetIndexDesc(cur, 3, buf.data()), kDbiErrEof);
    EXPECT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(CursorFixesTest, ADeletedAliasOpensNothingAndARenewedOneItsNewFolder) {
    testsupport::TempDir other;
    auto desc = [](const char* name) {
        std::vector<std::uint8_t> raw(DBDesc::kSize, 0);
        DBIResult rc = DbiGetDatabaseDesc(name, raw.data());
        return rc == 0 ? DBDesc::Read(raw.data()).physicalPath : "rc" + std::to_string(rc);
    };
    ASSERT_EQ(DbiAddAlias(0, "Work", nullptr, ("PATH:" + Folder()).c_str(), false), 0);
    hDBIDb h = kNilHandle;
    ASSERT_EQ(DbiOpenDatabase("Work", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), 0);
    ASSERT_EQ(DbiCloseDatabase(h), 0);
    EXPECT_NE(desc("Work").find(dir.path().filename().string()), std::string::npos);

    hDBISes ses = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(ses), 0);
    auto* session = HandleAs<TBaseSession>(ses);
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(session->DeleteAlias(kNilHandle, "WORK"), 0);
    EXPECT_EQ(DbiOpenDatabase("Work", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), kDbiErrUnknownDb);
    EXPECT_EQ(h, kNilHandle);
    EXPECT_EQ(desc("Work"), "rc10014");
    EXPECT_EQ(session->DeleteAlias(kNilHandle, "Work"), kDbiErrUnknownDb) << "already gone on the server";

    // The same name for another folder resolves to that folder.
    ASSERT_EQ(DbiAddAlias(0, "Work", nullptr, ("PATH:" + other.path().string() + "/").c_str(), false), 0);
    EXPECT_NE(desc("Work").find(other.path().filename().string()), std::string::npos);
    ASSERT_EQ(session->DeleteAlias(kNilHandle, "Work"), 0);
}

// Engine tests write configuration: never into the user's real data folder.
TEST(TestProgramDataFolderTest, IsATemporaryFolderOfItsOwn) {
    const std::string home = plat::DataHome();
    const std::string temp = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(home.rfind(temp, 0), 0u) << home;
    EXPECT_EQ(home.find("/.local/share"), std::string::npos) << home;
}

}  // namespace

namespace {

// After an insert the cursor stands on the new record, whatever happens to
// its neighbours before it moves; outside its range it stands at that end.
TEST_F(CursorFixesTest, MovesAfterAnInsertGoOnFromTheNewRecordInsideAndOutsideTheRange) {
    OpenDb();
    CreatePages();
    {
        hDBICur fill = OpenPages();
        for (std::int32_t id = 10; id <= 100; id += 10) Insert(fill, id, "Page");
        DbiCloseCursor(fill);
    }
    struct Case {
        const char* what;
        std::int32_t from, to;  // an inclusive range, 0: none
        std::int32_t inserted;
        std::int32_t otherDeletes, otherInserts;  // another cursor's change before the move, 0: none
        char move;                                 // 'g' the record, 'n' next, 'p' prior
        std::int32_t id;                           // the record the move gives, or 0
        DBIResult result;
    };
    const Case cases[] = {
        {"the new record", 0, 0, 55, 0, 0, 'g', 55, 0},
        {"next", 0, 0, 55, 0, 0, 'n', 60, 0},
        {"prior", 0, 0, 55, 0, 0, 'p', 50, 0},
        {"next after the neighbour went", 0, 0, 55, 60, 0, 'n', 70, 0},
        {"next after a record came between", 0, 0, 55, 0, 57, 'n', 57, 0},
        {"prior after a record came between", 0, 0, 55, 0, 52, 'p', 52, 0},
        {"inside the range", 20, 40, 35, 0, 0, 'g', 35, 0},
        {"inside the range, next", 20, 40, 35, 0, 0, 'n', 40, 0},
        {"after the range: no record", 20, 40, 95, 0, 0, 'g', 0, kDbiErrNoCurrRec},
        {"after the range, prior", 20, 40, 95, 0, 0, 'p', 40, 0},
        {"before the range: no record", 20, 40, 5, 0, 0, 'g', 0, kDbiErrNoCurrRec},
        {"before the range, next", 20, 40, 5, 0, 0, 'n', 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hDBICur cur = OpenPages(), other = OpenPages();
        if (c.from != 0) {
            auto lo = KeyFor(cur, c.from), hi = KeyFor(cur, c.to);
            ASSERT_EQ(DbiSetRange(cur, true, 0, 0, lo.data(), true, 0, 0, hi.data(), true), 0);
        }
        Insert(cur, c.inserted, "New");
        if (c.otherDeletes != 0) {
            auto key = KeyFor(other, c.otherDeletes);
            ASSERT_EQ(DbiGetRecordForKey(other, true, 0, 0, key.data(), nullptr), 0);
            ASSERT_EQ(DbiDeleteRecord(other, nullptr), 0);
        }
        if (c.otherInserts != 0) Insert(other, c.otherInserts, "Other");
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        const DBIResult rc = c.move == 'g'   ? DbiGetRecord(cur, 0, rec.data(), nullptr)
                             : c.move == 'n' ? DbiGetNextRecord(cur, 0, rec.data(), nullptr)
                                             : DbiGetPriorRecord(cur, 0, rec.data(), nullptr);
        EXPECT_EQ(rc, c.result);
        if (rc == 0) {
            EXPECT_EQ(IdOf(cur, rec), c.id);
        }
        // Leave the table as it was for the next case.
        for (std::int32_t id : {c.inserted, c.otherInserts}) {
            if (id == 0) continue;
            auto key = KeyFor(other, id);
            ASSERT_EQ(DbiResetRange(other), 0);
            ASSERT_EQ(DbiGetRecordForKey(other, true, 0, 0, key.data(), nullptr), 0);
            ASSERT_EQ(DbiDeleteRecord(other, nullptr), 0);
        }
        if (c.otherDeletes != 0) Insert(other, c.otherDeletes, "Page");
        DbiCloseCursor(other);
        DbiCloseCursor(cur);
    }
}

}  // namespace
