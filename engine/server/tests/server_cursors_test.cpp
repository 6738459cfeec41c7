#include <cstring>
#include <vector>

#include "engine/server/tests/server_fixture.h"

using namespace qv;
using qvtest::ServerTest;

namespace {

// People: Id (required), Name, Notes (BLOB). Index 1 "ByName" (duplicates
// allowed) comes before the unique index 2 "ById", so a refused Id finds a
// name key already written.
class CursorTest : public qvtest::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        dict.AddField("Id", "", qvftInt32, 10, 0, true);
        dict.AddField("Name", "", qvftShortString, 20, 0, false);
        dict.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
        dict.AddFile("", "QVB", 4096, 2);
        std::uint32_t name = 1, id = 0;
        dict.AddIndex("ByName", "", 0, 1, &name, true, true, false);
        dict.AddIndex("ById", "", 0, 1, &id, false, true, false);
        dbA = OpenDb(kClientA);
        dbB = OpenDb(kClientB);
        ASSERT_EQ(engine.BuildTable(dbA, false, dict, 0, "People"), 0);
        ASSERT_EQ(Open(dbA, "People", a, true, true, "ByName"), 0);
        ASSERT_EQ(Open(dbB, "People", b, true, true, "ByName"), 0);
        recLen = dict.GetRecordLength();
    }

    std::vector<std::uint8_t> Rec(std::int32_t id, const std::string& name) {
        std::vector<std::uint8_t> r(recLen);
        dict.InitRecord(r.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(id));
        dict.SetRecordField(0, r.data(), v);
        std::vector<std::uint8_t> s(dict.FieldLength(1), 0);
        s[0] = static_cast<std::uint8_t>(name.size());
        std::memcpy(s.data() + 1, name.data(), name.size());
        dict.SetRecordField(1, r.data(), s.data());
        return r;
    }
    static std::string NameOf(const std::vector<std::uint8_t>& r, const TqvDataDictionary& d) {
        const std::uint8_t* p = r.data() + d.FieldOffset(1);
        return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
    }
    std::string Name(const std::vector<std::uint8_t>& r) { return NameOf(r, dict); }
    std::int32_t IdOf(const std::vector<std::uint8_t>& r) { return static_cast<std::int32_t>(GetU32(r.data())); }

    DBIResult Insert(std::uint32_t cursor, std::int32_t id, const std::string& name, bool lock = false) {
        auto r = Rec(id, name);
        return engine.RecordInsert(cursor, lock, r.data(), r.size());
    }
    // Names from the cursor's current position to the end.
    std::string Walk(std::uint32_t cursor) {
        std::string out;
        std::vector<std::uint8_t> r(recLen);
        while (engine.RecordGetNext(cursor, false, r.data(), r.size()) == 0) out += Name(r) + " ";
        return out;
    }
    std::string All(std::uint32_t cursor) {
        engine.SetToBegin(cursor);
        return Walk(cursor);
    }
    void Fill() {
        for (auto [id, n] : std::vector<std::pair<int, std::string>>{{3, "Cy"}, {1, "Al"}, {5, "Ed"}, {2, "Bo"}, {4, "Di"}})
            ASSERT_EQ(Insert(a, id, n), 0);
    }
    std::vector<std::uint8_t> Current(std::uint32_t cursor, DBIResult* result = nullptr) {
        std::vector<std::uint8_t> r(recLen);
        DBIResult x = engine.RecordGet(cursor, false, r.data(), r.size());
        if (result) *result = x;
        return r;
    }
    std::string Key(const std::string& name) {
        auto r = Rec(0, name);
        std::string k;
        EXPECT_EQ(engine.RecordExtractKey(a, r.data(), r.size(), k), 0);
        return k;
    }

    TqvDataDictionary dict;
    std::uint32_t dbA = 0, dbB = 0, a = 0, b = 0, recLen = 0;
};

TEST_F(CursorTest, MovesInIndexOrderAndBack) {
    Fill();
    EXPECT_EQ(All(a), "Al Bo Cy Di Ed ");
    EXPECT_EQ(engine.RecordGetNext(a, false, nullptr, 0), dbi::kAtEnd) << "EOF stays EOF";
    std::vector<std::uint8_t> r(recLen);
    std::string back;
    while (engine.RecordGetPrev(a, false, r.data(), r.size()) == 0) back += Name(r) + " ";
    EXPECT_EQ(back, "Ed Di Cy Bo Al ");
    EXPECT_EQ(engine.RecordGetPrev(a, false, nullptr, 0), dbi::kAtBegin);

    std::uint32_t seq;
    ASSERT_EQ(Open(dbA, "People", seq), 0);
    EXPECT_EQ(All(seq), "Cy Al Ed Bo Di ") << "index 0 keeps insertion order";
    ASSERT_EQ(engine.SwitchToIndex(seq, "ById", 0, false), 0);
    EXPECT_EQ(All(seq), "Al Bo Cy Di Ed ");
    EXPECT_EQ(engine.SwitchToIndex(seq, "Nope", 0, false), dbi::kIndexMissing);
    EXPECT_EQ(engine.SwitchToIndex(seq, "", 9, false), dbi::kIndexMissing);

    std::uint32_t count = 0;
    EXPECT_EQ(engine.GetTableRecCount(a, count), 0);
    EXPECT_EQ(count, 5u);
    std::uint32_t got = 0;
    std::vector<std::uint8_t> batch(recLen * 3);
    engine.SetToBegin(a);
    EXPECT_EQ(engine.RecordGetBatch(a, 3, recLen, batch.data(), batch.size(), got), 0);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(NameOf(std::vector<std::uint8_t>(batch.begin() + 2 * recLen, batch.end()), dict), "Cy");
    EXPECT_EQ(engine.RecordGetBatch(a, 4, recLen, batch.data(), batch.size(), got), dbi::kInvalidParameter)
        << "a count that does not fit the buffer";
    EXPECT_EQ(engine.RecordGetBatch(a, 3, recLen, batch.data(), batch.size(), got), 0);
    EXPECT_EQ(got, 2u) << "the end of the table ends the batch";
}

TEST_F(CursorTest, PositionsByKey) {
    Fill();
    std::string k = Key("Cy");
    EXPECT_EQ(engine.SetToKey(a, 2, true, 0, 0, reinterpret_cast<const std::uint8_t*>(k.data()), k.size()), 0);
    EXPECT_EQ(Walk(a), "Cy Di Ed ");
    auto probe = Rec(0, "Ca");
    EXPECT_EQ(engine.SetToKey(a, 2, false, 0, 0, probe.data(), probe.size()), 0);
    EXPECT_EQ(Walk(a), "Cy Di Ed ") << "first key not less than Ca";
    probe = Rec(0, "Zz");
    EXPECT_EQ(engine.SetToKey(a, 2, false, 0, 0, probe.data(), probe.size()), dbi::kRecordNotFound);
    EXPECT_EQ(Walk(a), "Al Bo Cy Di Ed ") << "not found leaves the cursor at the beginning";
    probe = Rec(0, "Cy");
    EXPECT_EQ(engine.SetToKey(a, 1, false, 0, 0, probe.data(), probe.size()), 0);
    EXPECT_EQ(Walk(a), "Di Ed ") << "first key greater than Cy";

    std::vector<std::uint8_t> r(recLen);
    probe = Rec(0, "Bo");
    EXPECT_EQ(engine.RecordGetForKey(a, false, 0, 0, probe.data(), probe.size(), r.data(), r.size()), 0);
    EXPECT_EQ(IdOf(r), 2);
    EXPECT_EQ(Walk(a), "Cy Di Ed ");
    probe = Rec(0, "Bz");
    EXPECT_EQ(engine.RecordGetForKey(a, false, 0, 0, probe.data(), probe.size(), r.data(), r.size()),
              dbi::kRecordNotFound);

    std::uint32_t seq;
    ASSERT_EQ(Open(dbA, "People", seq), 0);
    EXPECT_EQ(engine.SetToKey(seq, 2, true, 0, 0, r.data(), 4), dbi::kNoIndex);
    EXPECT_EQ(engine.RecordGetForKey(seq, false, 0, 0, r.data(), r.size(), nullptr, 0), dbi::kInvalidIndexType);
    EXPECT_EQ(engine.SetToKey(a, 2, true, 0, 0, r.data(), 3), dbi::kInvalidParameter) << "key shorter than the index's";
}

TEST_F(CursorTest, Ranges) {
    Fill();
    auto lo = Rec(0, "Bo"), hi = Rec(0, "Di");
    TqvServerEngine::RangeEnd s{lo.data(), lo.size(), 0, 0, true}, e{hi.data(), hi.size(), 0, 0, false};
    ASSERT_EQ(engine.SetRange(a, false, s, e), 0);
    EXPECT_EQ(All(a), "Bo Cy ");
    std::vector<std::uint8_t> r(recLen);
    std::string back;
    while (engine.RecordGetPrev(a, false, r.data(), r.size()) == 0) back += Name(r) + " ";
    EXPECT_EQ(back, "Cy Bo ");
    std::uint32_t count = 0;
    ASSERT_EQ(engine.GetTableRecCount(a, count), 0);
    EXPECT_EQ(count, 2u);

    // Only an end, inclusive.
    TqvServerEngine::RangeEnd none{}, upTo{hi.data(), hi.size(), 0, 0, true};
    ASSERT_EQ(engine.SetRange(a, false, none, upTo), 0);
    EXPECT_EQ(All(a), "Al Bo Cy Di ");
    // A clone keeps the range and the position.
    engine.SetToBegin(a);
    engine.RecordGetNext(a, false, nullptr, 0);
    std::uint32_t clone;
    ASSERT_EQ(engine.CursorClone(a, true, clone), 0);
    EXPECT_EQ(Walk(clone), "Bo Cy Di ");
    auto key = Rec(0, "Ed");
    EXPECT_EQ(engine.SetToKey(clone, 2, false, 0, 0, key.data(), key.size()), dbi::kRecordNotFound)
        << "a key after the range";

    ASSERT_EQ(engine.ResetRange(a), 0);
    EXPECT_EQ(All(a), "Al Bo Cy Di Ed ");
    std::uint32_t seq;
    ASSERT_EQ(Open(dbA, "People", seq), 0);
    EXPECT_EQ(engine.SetRange(seq, false, s, e), dbi::kNoIndex);
    EXPECT_EQ(engine.ResetRange(seq), dbi::kNoIndex);
}

TEST_F(CursorTest, Bookmarks) {
    Fill();
    engine.SetToBegin(a);
    engine.RecordGetNext(a, false, nullptr, 0);
    engine.RecordGetNext(a, false, nullptr, 0);  // Bo
    std::string bo, ed, bof;
    ASSERT_EQ(engine.GetBookmark(a, bo), 0);
    EXPECT_EQ(bo.size(), 20u + dict.IndexKeyLength(1));
    Walk(a);
    engine.SetToBegin(a);
    ASSERT_EQ(engine.GetBookmark(a, bof), 0);
    engine.SetToEnd(a);
    engine.RecordGetPrev(a, false, nullptr, 0);
    ASSERT_EQ(engine.GetBookmark(a, ed), 0);
    ASSERT_EQ(engine.SetToBookmark(a, reinterpret_cast<const std::uint8_t*>(bo.data()), bo.size()), 0);
    EXPECT_EQ(Name(Current(a)), "Bo");
    EXPECT_EQ(Walk(a), "Cy Di Ed ");

    int cmp = 9;
    EXPECT_EQ(engine.CompareBookmarks(a, bo, ed, cmp), 0);
    EXPECT_EQ(cmp, -1);
    EXPECT_EQ(engine.CompareBookmarks(a, ed, bo, cmp), 0);
    EXPECT_EQ(cmp, 1);
    EXPECT_EQ(engine.CompareBookmarks(a, bo, bo, cmp), 0);
    EXPECT_EQ(cmp, 0);
    EXPECT_EQ(engine.CompareBookmarks(a, bof, bo, cmp), 0);
    EXPECT_EQ(cmp, -1);
    // Equal keys of different records compare equal: the index ignores references.
    ASSERT_EQ(Insert(a, 8, "Bo"), 0);
    std::string bo2;
    ASSERT_EQ(engine.GetBookmark(a, bo2), 0);
    EXPECT_NE(GetU32(bo2.data() + 12), GetU32(bo.data() + 12));
    EXPECT_EQ(engine.CompareBookmarks(a, bo, bo2, cmp), 0);
    EXPECT_EQ(cmp, 0);

    // A bookmark of one index is no good on another, nor a damaged one.
    std::uint32_t byId;
    ASSERT_EQ(Open(dbA, "People", byId, true, true, "ById"), 0);
    EXPECT_EQ(engine.SetToBookmark(byId, reinterpret_cast<const std::uint8_t*>(bo.data()), bo.size()),
              dbi::kBookmarkMismatch);
    std::string bad = bo;
    bad[12] ^= 1;
    EXPECT_EQ(engine.SetToBookmark(a, reinterpret_cast<const std::uint8_t*>(bad.data()), bad.size()),
              dbi::kBookmarkMismatch);
    EXPECT_EQ(engine.SetToBookmark(a, reinterpret_cast<const std::uint8_t*>(bo.data()), 19), dbi::kBookmarkMismatch);

    // Another cursor's position, across indexes.
    ASSERT_EQ(engine.SetToBookmark(a, reinterpret_cast<const std::uint8_t*>(bo.data()), bo.size()), 0);
    ASSERT_EQ(engine.SetToCursor(byId, a), 0);
    EXPECT_EQ(IdOf(Current(byId)), 2);
    EXPECT_EQ(Walk(byId), "Cy Di Ed Bo ") << "the second Bo has Id 8";
    std::uint32_t otherTable;
    ASSERT_EQ(engine.BuildTable(dbA, false, qvtest::PeopleDictionary(), 0, "Other"), 0);
    ASSERT_EQ(Open(dbA, "Other", otherTable), 0);
    EXPECT_EQ(engine.SetToCursor(otherTable, a), dbi::kOtherTable);
}

TEST_F(CursorTest, CursorsSeeEachOthersChanges) {
    Fill();
    // A stands on Bo; B deletes Bo: A's next record is Cy.
    engine.SetToBegin(a);
    engine.RecordGetNext(a, false, nullptr, 0);
    engine.RecordGetNext(a, false, nullptr, 0);
    auto bo = Rec(0, "Bo");
    std::vector<std::uint8_t> r(recLen);
    ASSERT_EQ(engine.RecordGetForKey(b, false, 0, 0, bo.data(), bo.size(), r.data(), r.size()), 0);
    std::vector<std::uint8_t> gone(recLen);
    EXPECT_EQ(engine.RecordDelete(b, gone.data(), gone.size() - 1), dbi::kInvalidParameter);
    ASSERT_EQ(engine.RecordDelete(b, gone.data(), gone.size()), 0);
    EXPECT_EQ(Name(gone), "Bo") << "the deleted record comes back to the caller";
    DBIResult got;
    Current(b, &got);
    EXPECT_EQ(got, dbi::kNoCurrentRecord) << "the deleting cursor sits on a crack";
    EXPECT_EQ(Walk(b), "Cy Di Ed ");
    EXPECT_EQ(Walk(a), "Cy Di Ed ");

    // A stands on Cy; B renames Cy to Zo, moving it to the end: A goes on from Cy's old place.
    engine.SetToBegin(a);
    engine.RecordGetNext(a, false, nullptr, 0);
    engine.RecordGetNext(a, false, nullptr, 0);
    EXPECT_EQ(Name(Current(a)), "Cy");
    auto cy = Rec(0, "Cy");
    ASSERT_EQ(engine.RecordGetForKey(b, false, 0, 0, cy.data(), cy.size(), r.data(), r.size()), 0);
    auto zo = Rec(IdOf(r), "Zo");
    ASSERT_EQ(engine.RecordModify(b, zo.data(), zo.size(), false), 0);
    EXPECT_EQ(Name(Current(b)), "Zo") << "the modifying cursor follows its record";
    EXPECT_EQ(Walk(a), "Di Ed Zo ");

    // B inserts before A's position; A stays on its record.
    engine.SetToBegin(a);
    engine.RecordGetNext(a, false, nullptr, 0);
    engine.RecordGetNext(a, false, nullptr, 0);  // Di
    ASSERT_EQ(Insert(b, 9, "Ab"), 0);
    EXPECT_EQ(Name(Current(a)), "Di");
    EXPECT_EQ(Walk(a), "Ed Zo ");
    EXPECT_EQ(All(a), "Ab Al Di Ed Zo ");
}

TEST_F(CursorTest, RecordLocksAndTableLocksBlockChanges) {
    Fill();
    std::vector<std::uint8_t> r(recLen);
    engine.SetToBegin(a);
    ASSERT_EQ(engine.RecordGetNext(a, true, r.data(), r.size()), 0);  // Al, locked by A
    engine.SetToBegin(b);
    EXPECT_EQ(engine.RecordGetNext(b, true, r.data(), r.size()), dbi::kRecordLocked);
    // The refused read still stands on the record, so a retried get finds it.
    EXPECT_EQ(engine.RecordGet(b, true, r.data(), r.size()), dbi::kRecordLocked);
    EXPECT_EQ(engine.RecordGet(b, false, r.data(), r.size()), 0) << "reading without a lock is free";
    EXPECT_EQ(Name(r), "Al");
    auto changed = Rec(1, "Alf");
    EXPECT_EQ(engine.RecordModify(b, changed.data(), changed.size(), false), dbi::kRecordLocked);
    EXPECT_EQ(engine.RecordDelete(b, nullptr, 0), dbi::kRecordLocked);
    EXPECT_EQ(engine.RecordModify(a, changed.data(), changed.size(), true), 0) << "the release flag frees it";
    EXPECT_EQ(engine.RecordGet(b, true, r.data(), r.size()), dbi::kNoCurrentRecord)
        << "its record's key moved: B is on the crack at the old key";
    EXPECT_EQ(engine.RecordGetNext(b, true, r.data(), r.size()), 0);
    EXPECT_EQ(Name(r), "Alf");
    EXPECT_EQ(engine.RecordRelLock(b, false), 0);
    EXPECT_EQ(engine.RecordGet(a, true, r.data(), r.size()), 0);

    // A table read lock held by anyone stops every change, the holder's too.
    ASSERT_EQ(engine.AcqTableLock(b, 1), 0);
    EXPECT_EQ(Insert(a, 8, "Hy"), dbi::kFileLocked);
    EXPECT_EQ(Insert(b, 8, "Hy"), dbi::kFileLocked);
    ASSERT_EQ(engine.RelTableLock(b, false, 1), 0);
    ASSERT_EQ(engine.AcqTableLock(b, 2), 0);
    EXPECT_EQ(Insert(a, 8, "Hy"), dbi::kFileLocked);
    EXPECT_EQ(Insert(b, 8, "Hy"), 0) << "the write lock's own session may change";

    std::uint32_t ro;
    ASSERT_EQ(Open(dbA, "People", ro, false), 0);
    EXPECT_EQ(Insert(ro, 9, "Ro"), dbi::kTableReadOnly);
    engine.SetToBegin(a);
    EXPECT_EQ(engine.RecordDelete(a, nullptr, 0), dbi::kFileLocked);
    ASSERT_EQ(engine.RelTableLock(b, false, 2), 0);
    EXPECT_EQ(engine.RecordDelete(a, nullptr, 0), dbi::kNoCurrentRecord);
}

TEST_F(CursorTest, ImplicitTransactionsCommitOrRollBack) {
    Fill();
    bool in = true;
    EXPECT_EQ(engine.DatabaseInTrans(dbA, in), 0);
    EXPECT_FALSE(in);
    EXPECT_EQ(Insert(a, 1, "Dup"), dbi::kKeyViolation);
    EXPECT_EQ(engine.DatabaseInTrans(dbA, in), 0);
    EXPECT_FALSE(in);
    std::vector<std::uint8_t> bare(recLen);
    dict.InitRecord(bare.data());
    EXPECT_EQ(engine.RecordInsert(a, false, bare.data(), bare.size()), dbi::kFieldRequired);
    EXPECT_EQ(engine.RecordInsert(a, false, bare.data(), bare.size() - 1), dbi::kInvalidParameter);

    // Committed changes reach the disk: with every cursor closed the table
    // object goes, and a new open reads the files again.
    EXPECT_EQ(engine.CursorClose(a), 0);
    EXPECT_EQ(engine.CursorClose(b), 0);
    EXPECT_EQ(engine.Tables().Count(), 0);
    std::uint32_t c;
    ASSERT_EQ(Open(dbA, "People", c, true, true, "ById"), 0);
    EXPECT_EQ(All(c), "Al Bo Cy Di Ed ");
    // Another directory's transaction does not hold this one up; the same
    // directory's does (10256).
    std::uint32_t tr;
    ASSERT_EQ(engine.TransactionStart(dbB, false, tr), 0);
    EXPECT_EQ(Insert(c, 6, "Fy"), dbi::kTransactionActive);
    ASSERT_EQ(engine.TransactionCommit(tr), 0);
    EXPECT_EQ(Insert(c, 6, "Fy"), 0);
}

TEST_F(CursorTest, RolledBackUserTransactionRestoresRecordsKeysAndBlobs) {
    Fill();
    std::uint32_t blob = 0;
    ASSERT_EQ(engine.CreateBLOB(a, blob), 0);
    ASSERT_EQ(engine.WriteBLOB(a, blob, 0, 5, reinterpret_cast<const std::uint8_t*>("hello"), 5), 0);

    std::uint32_t tr;
    ASSERT_EQ(engine.TransactionStart(dbA, false, tr), 0);
    ASSERT_EQ(Insert(a, 7, "Ga"), 0);
    auto al = Rec(0, "Al");
    std::vector<std::uint8_t> r(recLen);
    ASSERT_EQ(engine.RecordGetForKey(a, false, 0, 0, al.data(), al.size(), r.data(), r.size()), 0);
    auto zed = Rec(1, "Zed");
    ASSERT_EQ(engine.RecordModify(a, zed.data(), zed.size(), false), 0);
    auto di = Rec(0, "Di");
    ASSERT_EQ(engine.RecordGetForKey(a, false, 0, 0, di.data(), di.size(), r.data(), r.size()), 0);
    ASSERT_EQ(engine.RecordDelete(a, nullptr, 0), 0);
    ASSERT_EQ(engine.WriteBLOB(a, blob, 0, 6, reinterpret_cast<const std::uint8_t*>("HOWDY!"), 6), 0);
    EXPECT_EQ(All(b), "Bo Cy Ed Ga Zed ") << "the other client sees the uncommitted state";
    ASSERT_EQ(engine.TransactionRollback(tr), 0);

    EXPECT_EQ(All(a), "Al Bo Cy Di Ed ");
    EXPECT_EQ(All(b), "Al Bo Cy Di Ed ");
    std::uint32_t byId;
    ASSERT_EQ(Open(dbA, "People", byId, true, true, "ById"), 0);
    EXPECT_EQ(All(byId), "Al Bo Cy Di Ed ");
    std::uint32_t count;
    ASSERT_EQ(engine.GetTableRecCount(a, count), 0);
    EXPECT_EQ(count, 5u);
    std::uint32_t len = 0, read = 0;
    ASSERT_EQ(engine.GetBLOBLength(a, blob, len), 0);
    EXPECT_EQ(len, 5u);
    char text[8] = {};
    ASSERT_EQ(engine.ReadBLOB(a, blob, 0, 8, reinterpret_cast<std::uint8_t*>(text), sizeof text, read), 0);
    EXPECT_EQ(std::string(text, read), "hello");
}

TEST_F(CursorTest, RefusedInsertLeavesNothingForTheCommit) {
    Fill();
    std::uint32_t tr;
    ASSERT_EQ(engine.TransactionStart(dbA, false, tr), 0);
    // The name key is written before the unique Id refuses the record.
    EXPECT_EQ(Insert(a, 3, "Dup"), dbi::kKeyViolation);
    ASSERT_EQ(engine.TransactionCommit(tr), 0);
    EXPECT_EQ(All(a), "Al Bo Cy Di Ed ");
    std::uint32_t seq, count;
    ASSERT_EQ(Open(dbA, "People", seq), 0);
    EXPECT_EQ(All(seq), "Cy Al Ed Bo Di ");
    ASSERT_EQ(engine.GetTableRecCount(seq, count), 0);
    EXPECT_EQ(count, 5u);
}

TEST_F(CursorTest, RefusedModifyPutsItsKeysBack) {
    Fill();
    std::uint32_t tr;
    ASSERT_EQ(engine.TransactionStart(dbA, false, tr), 0);
    auto bo = Rec(0, "Bo");
    std::vector<std::uint8_t> r(recLen);
    ASSERT_EQ(engine.RecordGetForKey(a, false, 0, 0, bo.data(), bo.size(), r.data(), r.size()), 0);
    auto clash = Rec(5, "Yu");  // new name, but Ed's Id
    EXPECT_EQ(engine.RecordModify(a, clash.data(), clash.size(), false), dbi::kKeyViolation);
    ASSERT_EQ(engine.TransactionCommit(tr), 0);
    EXPECT_EQ(All(a), "Al Bo Cy Di Ed ");
    auto yu = Rec(0, "Yu");
    EXPECT_EQ(engine.RecordGetForKey(a, false, 0, 0, yu.data(), yu.size(), r.data(), r.size()), dbi::kRecordNotFound);
}

TEST_F(CursorTest, BatchInsert) {
    std::vector<std::uint8_t> records;
    for (auto [id, n] : std::vector<std::pair<int, std::string>>{{1, "Al"}, {2, "Bo"}, {1, "Dup"}, {3, "Cy"}}) {
        auto r = Rec(id, n);
        records.insert(records.end(), r.begin(), r.end());
    }
    std::vector<DBIResult> results;
    std::uint32_t tr;
    ASSERT_EQ(engine.TransactionStart(dbA, false, tr), 0);
    EXPECT_EQ(engine.RecordInsertBatch(a, 4, records.data(), recLen, records.size(), results),
              dbi::kTransactionActive);
    ASSERT_EQ(engine.TransactionCommit(tr), 0);
    EXPECT_EQ(engine.RecordInsertBatch(a, 5, records.data(), recLen, records.size(), results),
              dbi::kInvalidParameter);
    ASSERT_EQ(engine.RecordInsertBatch(a, 4, records.data(), recLen, records.size(), results), 0);
    EXPECT_EQ(results, (std::vector<DBIResult>{0, 0, dbi::kKeyViolation, 0}));
    EXPECT_EQ(All(b), "Al Bo Cy ");
}

TEST_F(CursorTest, Blobs) {
    std::uint32_t blob = 0, len = 0, read = 0;
    ASSERT_EQ(engine.CreateBLOB(a, blob), 0);
    EXPECT_EQ(engine.FreeBLOB(a, blob), dbi::kBlobModified) << "an empty BLOB is freed";
    ASSERT_EQ(engine.CreateBLOB(a, blob), 0);
    // The client claims 1000 bytes but sends 10: only the 10 are written.
    std::string ten = "0123456789";
    ASSERT_EQ(engine.WriteBLOB(a, blob, 0, 1000, reinterpret_cast<const std::uint8_t*>(ten.data()), ten.size()), 0);
    ASSERT_EQ(engine.GetBLOBLength(a, blob, len), 0);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(engine.FreeBLOB(a, blob), 0) << "a BLOB with data stays";
    std::vector<std::uint8_t> buf(4);
    EXPECT_EQ(engine.ReadBLOB(a, blob, 3, 100, buf.data(), buf.size(), read), 0);
    EXPECT_EQ(read, 4u) << "never more than the reply buffer";
    EXPECT_EQ(std::string(buf.begin(), buf.end()), "3456");
    EXPECT_EQ(engine.ReadBLOB(a, blob, -1, 4, buf.data(), buf.size(), read), dbi::kBlobOffset);
    EXPECT_EQ(engine.WriteBLOB(a, blob, -5, 1, buf.data(), 1), dbi::kBlobOffset);
    ASSERT_EQ(engine.TruncateBLOB(a, blob, 4), 0);
    ASSERT_EQ(engine.GetBLOBLength(a, blob, len), 0);
    EXPECT_EQ(len, 4u);

    // A long BLOB copied between cursors in small chunks.
    std::string big(5000, 'x');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    std::uint32_t src, dst;
    ASSERT_EQ(engine.CreateBLOB(a, src), 0);
    ASSERT_EQ(engine.WriteBLOB(a, src, 0, big.size(), reinterpret_cast<const std::uint8_t*>(big.data()), big.size()), 0);
    ASSERT_EQ(engine.CreateBLOB(b, dst), 0);
    ASSERT_EQ(engine.CopyBLOB(a, src, b, dst, 2048), 0);
    std::vector<std::uint8_t> back(6000);
    ASSERT_EQ(engine.ReadBLOB(b, dst, 0, 6000, back.data(), back.size(), read), 0);
    EXPECT_EQ(std::string(back.begin(), back.begin() + read), big);

    // A file BLOB: the copy is a new file BLOB whose number comes back.
    testsupport::WriteFileBytes(dir / "outside.txt", "outside data");
    std::uint32_t fileBlob, target, before;
    ASSERT_EQ(engine.AddFileBLOB(a, (dir / "outside.txt").string(), fileBlob), 0);
    ASSERT_EQ(engine.CreateBLOB(b, target), 0);
    before = target;
    ASSERT_EQ(engine.CopyBLOB(a, fileBlob, b, target, 2048), 0);
    EXPECT_NE(target, before);
    ASSERT_EQ(engine.GetBLOBLength(b, target, len), 0);
    EXPECT_EQ(len, 12u);
}

TEST_F(CursorTest, DeletingARecordFreesItsBlobs) {
    std::uint32_t blob = 0, len = 0;
    ASSERT_EQ(engine.CreateBLOB(a, blob), 0);
    ASSERT_EQ(engine.WriteBLOB(a, blob, 0, 3, reinterpret_cast<const std::uint8_t*>("abc"), 3), 0);
    auto r = Rec(1, "Al");
    std::uint8_t v[4];
    PutU32(v, blob);
    dict.SetRecordField(2, r.data(), v);
    ASSERT_EQ(engine.RecordInsert(a, false, r.data(), r.size()), 0);
    ASSERT_EQ(engine.GetBLOBLength(a, blob, len), 0);
    ASSERT_EQ(engine.RecordDelete(a, nullptr, 0), 0);
    std::uint32_t again = 0;
    ASSERT_EQ(engine.CreateBLOB(a, again), 0);
    EXPECT_EQ(again, blob) << "the freed descriptor is reused";
}

}  // namespace

namespace {

TEST_F(CursorTest, AddingAndDroppingIndexes) {
    Fill();
    TqvIndexDescriptor x;
    x.name = "ById2";
    x.keyFieldCount = 1;
    x.fields[0] = 0;
    x.keyLength = dict.IndexKeyLength(2);
    std::string table = "People";
    std::uint32_t db = dbA;
    EXPECT_EQ(engine.AddIndex(db, a, x, table), dbi::kNotExclusive) << "the table is open shared";
    bool in = true;
    EXPECT_EQ(engine.DatabaseInTrans(dbA, in), 0);
    EXPECT_FALSE(in);
    ASSERT_EQ(engine.CursorClose(a), 0);
    ASSERT_EQ(engine.CursorClose(b), 0);

    struct Case { const char* what; TqvIndexDescriptor d; DBIResult want; };
    TqvIndexDescriptor user = x, dup = x, bad = x;
    user.keyFieldCount = -1;
    dup.name = "ByName";
    bad.fields[0] = 7;
    for (const Case& c : {Case{"user routine", user, dbi::kInvalidIndexType}, Case{"name taken", dup, dbi::kIndexExists},
                          Case{"no such field", bad, dbi::kInvalidIndexDescriptor}})
        EXPECT_EQ(engine.AddIndex(db, 0, c.d, table), c.want) << c.what;
    ASSERT_EQ(engine.AddIndex(db, 0, x, table), 0);
    EXPECT_EQ(engine.Tables().Count(), 0) << "the table opened for the change is closed again";

    std::uint32_t c, ro;
    ASSERT_EQ(Open(dbA, "People", c, true, false, "ById"), 0);
    ASSERT_EQ(Open(dbA, "People", ro, false, false), 0);
    EXPECT_EQ(engine.Tables().Item(0)->dictionary.IndexCount(), 4u);
    EXPECT_EQ(engine.DropIndex(dbA, ro, 1, "", ""), dbi::kTableReadOnly);
    EXPECT_EQ(engine.DropIndex(dbA, c, 2, "", ""), dbi::kIndexInUse);
    EXPECT_EQ(engine.DropIndex(dbA, c, 0, "", ""), dbi::kIndexMissing);
    EXPECT_EQ(engine.DropIndex(dbA, c, 0, "Nope", ""), dbi::kIndexMissing);
    engine.SetToBegin(c);
    engine.RecordGetNext(c, false, nullptr, 0);  // Al
    ASSERT_EQ(engine.DropIndex(dbA, c, 0, "ByName", ""), 0);
    TqvSrCursor* cur;
    ASSERT_EQ(engine.FindCursor(c, cur), 0);
    EXPECT_EQ(cur->index, 1u) << "ById moved down into the dropped slot";
    EXPECT_EQ(Walk(c), "Bo Cy Di Ed ");
    EXPECT_EQ(All(c), "Al Bo Cy Di Ed ");
    EXPECT_EQ(engine.Tables().Item(0)->dictionary.GetIndexNumber("ById2"), 2);
}

}  // namespace

namespace {

TEST_F(ServerTest, AutoIncrementValues) {
    TqvDataDictionary d;
    d.AddField("No", "", qvftAutoInc, 0, 0, false);
    d.AddField("Tag", "", qvftInt32, 10, 0, false);
    std::uint32_t db = OpenDb(kClientA), c;
    ASSERT_EQ(engine.BuildTable(db, false, d, 0, "Counted"), 0);
    ASSERT_EQ(Open(db, "Counted", c), 0);
    const std::uint32_t len = d.GetRecordLength();
    auto insert = [&](std::uint32_t no, bool null) {
        std::vector<std::uint8_t> r(len);
        d.InitRecord(r.data());
        if (!null) {
            std::uint8_t v[4];
            PutU32(v, no);
            d.SetRecordField(0, r.data(), v);
        }
        EXPECT_EQ(engine.RecordInsert(c, false, r.data(), r.size()), 0);
        return GetU32(r.data() + d.FieldOffset(0));
    };
    EXPECT_EQ(insert(0, true), 1u) << "a null counter field takes the next value";
    EXPECT_EQ(insert(0, false), 2u) << "so does 0";
    EXPECT_EQ(insert(500, false), 500u) << "a given value is kept";
    EXPECT_EQ(insert(0, false), 3u) << "and leaves the counter alone";
    ASSERT_EQ(engine.SetTableAutoIncValue(c, 1000), 0);
    EXPECT_EQ(insert(0, false), 1001u);
    ASSERT_EQ(engine.SetTableAutoIncValue(c, 10), 0);
    EXPECT_EQ(insert(0, false), 1002u) << "the counter never goes back";
}

TEST_F(ServerTest, UserRoutineIndexNeedsItsBinding) {
    TqvDataDictionary d = qvtest::PeopleDictionary();
    d.AddUserIndex("Custom", "", 0, 8, true, true, false);
    std::uint32_t db = OpenDb(kClientA), c;
    ASSERT_EQ(engine.BuildTable(db, false, d, 0, "Custom"), 0);
    // Message 187 (no routines in the configuration) has no standard code.
    EXPECT_EQ(Open(db, "Custom", c), 15520);
    EXPECT_EQ(engine.Tables().Count(), 0);
    engine.Configuration().AddKeyProc(Dir(), "Custom", 1, TEST_KEYPROC_LIB, "BuildNameKey", "BuildNameKey");
    EXPECT_EQ(Open(db, "Custom", c), 15520) << "bound, but loading is not enabled";
    engine.Configuration().KeyProcs().Delete(Dir(), "Custom", 1);
    engine.Configuration().allowKeyProcLoading = true;
    engine.Configuration().AddKeyProc(Dir(), "Custom", 1, TEST_KEYPROC_LIB, "BuildNameKey", "BuildNameKey");
    ASSERT_EQ(Open(db, "Custom", c), 0);
    EXPECT_NE(engine.Tables().Item(0)->keyBuildRoutines[1], nullptr);
    EXPECT_EQ(engine.CursorClose(c), 0);
    EXPECT_FALSE(engine.Configuration().KeyProcs().Item(0)->Loaded()) << "unloaded with the table";
}

}  // namespace

namespace {

TEST_F(CursorTest, EmptyingThroughACursorKeepsEveryCursorUsable) {
    Fill();
    ASSERT_EQ(engine.CursorClose(b), 0);
    ASSERT_EQ(engine.CursorClose(a), 0);
    std::uint32_t c, c2;
    ASSERT_EQ(Open(dbA, "People", c, true, false, "ByName"), 0);
    ASSERT_EQ(Open(dbA, "People", c2, true, false, "ById"), 0);
    EXPECT_EQ(All(c), "Al Bo Cy Di Ed ");
    engine.SetToBegin(c2);
    engine.RecordGetNext(c2, false, nullptr, 0);
    ASSERT_EQ(engine.EmptyTable(dbA, c, "People"), 0);
    EXPECT_EQ(All(c), "");
    EXPECT_EQ(engine.RecordGetNext(c2, false, nullptr, 0), dbi::kAtEnd);
    ASSERT_EQ(Insert(c2, 7, "Ny"), 0);
    EXPECT_EQ(All(c), "Ny ");
    std::uint32_t count;
    ASSERT_EQ(engine.GetTableRecCount(c, count), 0);
    EXPECT_EQ(count, 1u);
}

}  // namespace

namespace {

TEST_F(CursorTest, SwitchingIndexAndCloning) {
    Fill();
    auto cy = Rec(0, "Cy");
    std::vector<std::uint8_t> r(recLen);
    ASSERT_EQ(engine.RecordGetForKey(a, false, 0, 0, cy.data(), cy.size(), r.data(), r.size()), 0);
    ASSERT_EQ(engine.SwitchToIndex(a, "ById", 0, true), 0);
    EXPECT_EQ(IdOf(Current(a)), 3) << "kept on its record";
    EXPECT_EQ(Walk(a), "Di Ed ") << "and goes on in Id order";
    EXPECT_EQ(engine.SwitchToIndex(a, "ByName", 0, true), dbi::kNoCurrentRecord) << "EOF has no record to keep";
    ASSERT_EQ(engine.SwitchToIndex(a, "", 1, false), 0);
    EXPECT_EQ(Walk(a), "Al Bo Cy Di Ed ") << "without keeping, from the start";

    std::uint32_t ro, clone;
    ASSERT_EQ(Open(dbA, "People", ro, false), 0);
    ASSERT_EQ(engine.CursorClone(ro, true, clone), 0);
    EXPECT_EQ(Insert(clone, 9, "Zz"), dbi::kTableReadOnly) << "a clone is never more writable than its source";
    ASSERT_EQ(engine.CursorClone(a, true, clone), 0);
    EXPECT_EQ(Insert(clone, 9, "Zz"), 0);
    EXPECT_EQ(engine.CursorClone(0xBAD, true, clone), dbi::kInvalidHandle);
}

}  // namespace

namespace {

TEST_F(CursorTest, RecordsInFileOrder) {
    Fill();
    TqvSrTable* t = engine.Tables().Item(0);
    std::vector<std::uint8_t> r(recLen);
    std::string names;
    std::uint32_t ref = 0, next = 0;
    for (t->NextRecordInFileOrder(0, next, r.data()); next != 0; t->NextRecordInFileOrder(ref, next, r.data())) {
        names += Name(r) + " ";
        ref = next;
    }
    EXPECT_EQ(names, "Cy Al Ed Bo Di ");
}

}  // namespace
