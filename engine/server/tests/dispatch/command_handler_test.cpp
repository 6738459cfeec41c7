#include "engine/server/command_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/core/threads.h"

#include "engine/server/tests/dispatch/handler_fixture.h"

using namespace qv;
using namespace qvtest;

namespace {

// A table with a BLOB field and two indexes, opened through the handler.
class TableTest : public HandlerTest {
protected:
    TqvDataDictionary dict;
    std::uint32_t recLen = 0, db = 0, cursor = 0, bmSize = 0;

    void SetUp() override {
        HandlerTest::SetUp();
        dict.AddField("Id", "", qvftInt32, 10, 0, true);
        dict.AddField("Name", "", qvftShortString, 20, 0, false);
        dict.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
        dict.AddFile("", "QVB", 4096, 2);
        std::uint32_t name = 1, id = 0;
        dict.AddIndex("ByName", "", 0, 1, &name, true, true, false);
        dict.AddIndex("ById", "", 0, 1, &id, false, true, false);
        recLen = dict.GetRecordLength();
        ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("A", 32).Str("", 32).b), 0);
        ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("B", 32).Str("", 32).b, kClientB), 0);
        db = OpenDb(kClientA);
        // 1300: database id, overwrite, table name, the dictionary stream.
        plat::MemoryStream s;
        dict.WriteToStream(s);
        Payload build;
        build.U32(db).U8(0).Str("People", 32).Raw(s.Bytes());
        ASSERT_EQ(replies.size(), 3u);
        Send(QvnmBuildTable, build.b, kClientA, false, true);
        ASSERT_EQ(replies.back().code, 0);
        cursor = OpenCursor(db, "ById");
        std::string bm;
        ASSERT_EQ(engine.GetBookmark(cursor, bm), 0);
        bmSize = static_cast<std::uint32_t>(bm.size());
        ASSERT_GT(bmSize, 0u);
    }
    std::uint32_t OpenDb(std::uint32_t client) {
        Reply r = Last(QvnmDatabaseOpenNoAlias, Payload().Str(dir.path().string(), 220).U8(1).U8(1).b, client);
        EXPECT_EQ(r.code, 0);
        return U32Of(r);
    }
    std::uint32_t OpenCursor(std::uint32_t database, const std::string& index, std::uint32_t client = kClientA) {
        Reply r = Last(QvnmOpenTable,
                       Payload().U32(database).Str("People", 32).Str(index, 32).U32(0).U8(1).U8(1).b, client);
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(r.isStream);
        return U32Of(r);
    }
    Bytes Rec(std::int32_t id, const std::string& name) {
        Bytes r(recLen);
        dict.InitRecord(r.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(id));
        dict.SetRecordField(0, r.data(), v);
        Bytes s(dict.FieldLength(1), 0);
        s[0] = static_cast<std::uint8_t>(name.size());
        std::memcpy(s.data() + 1, name.data(), name.size());
        dict.SetRecordField(1, r.data(), s.data());
        return r;
    }
    Bytes InsertPayload(const Bytes& rec, std::uint32_t c = 0) {
        return Payload().U32(c ? c : cursor).U32(recLen).U32(bmSize).U8(0).Raw(rec).b;
    }
    Bytes ReadPayload(std::uint32_t bm, std::uint8_t lock = 0, std::uint32_t c = 0) {
        return Payload().U32(c ? c : cursor).U32(recLen).U32(bm).U8(lock).b;
    }
    // The cursor's key of a record, as the engine builds it.
    Bytes KeyOf(const Bytes& rec) {
        std::string k;
        EXPECT_EQ(engine.RecordExtractKey(cursor, rec.data(), rec.size(), k), 0);
        return Bytes(k.begin(), k.end());
    }
    Bytes Bookmark(std::uint32_t c) {
        std::string bm;
        EXPECT_EQ(engine.GetBookmark(c, bm), 0);
        return Bytes(bm.begin(), bm.end());
    }
};

// ---- the catalogue and the dispatcher's own answers ------------------------------------

TEST(RequestCatalogue, HoldsEveryRequestOnceInIdOrder) {
    const auto& cat = RequestCatalogue();
    EXPECT_EQ(cat.size(), 70u);
    EXPECT_TRUE(std::is_sorted(cat.begin(), cat.end(), [](auto& a, auto& b) { return a.id < b.id; }));
    for (const auto& r : cat) EXPECT_EQ(FindRequest(r.id), &r);
    for (std::uint32_t transportOnly : {0u, 3u, 5u, 10u, 255u, 265u, 2060u}) EXPECT_EQ(FindRequest(transportOnly), nullptr);
    // Spot checks of the rights and retry columns.
    EXPECT_EQ(FindRequest(QvnmRestructureTable)->rights, 30);
    EXPECT_EQ(FindRequest(QvnmDatabaseChgAliasPath)->rights, 10);
    EXPECT_EQ(FindRequest(QvnmRecordGet)->retryCode, 10241);
    EXPECT_EQ(FindRequest(QvnmRecordGetNext)->retryCode, 0);
    EXPECT_EQ(FindRequest(QvnmAddFileBLOB)->retryCode, 10256);
}

TEST_F(HandlerTest, UnknownIdIsAnsweredNotSupportedWithoutALogLine) {
    StartServerLog(dir.path().string());
    SetServerDebugLog(true);
    Reply r = Last(777, {1, 2, 3}, kClientA);
    EXPECT_EQ(r.id, 777u);
    EXPECT_EQ(r.clientId, kClientA);
    EXPECT_EQ(r.code, kQvErrNotSupported);
    EXPECT_TRUE(r.data.empty());
    std::string log = testsupport::ReadFileBytes(dir / "QVSERVER.LOG");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);  // the start line only
}

TEST_F(HandlerTest, EveryFixedLayoutRefusesOneByteTooManyOrTooFew) {
    for (const auto& info : RequestCatalogue()) {
        if (info.rule != TqvPayloadRule::Exact) continue;
        std::size_t before = replies.size();
        Send(info.id, Bytes(info.size + 1, 0));
        if (info.id == QvnmDetachServerJustInCase) {
            EXPECT_EQ(replies.size(), before) << "request 4 is never answered";
            continue;
        }
        ASSERT_EQ(replies.size(), before + 1) << info.id;
        EXPECT_EQ(replies.back().code, dbi::kInvalidParameter) << info.id;
        EXPECT_EQ(replies.back().id, info.id);
        if (info.size > 0) {
            EXPECT_EQ(Code(info.id, Bytes(info.size - 1, 0)), dbi::kInvalidParameter) << info.id;
        }
    }
}

TEST_F(HandlerTest, VariableLayoutsMustMatchTheLengthsTheyAnnounce) {
    struct Case {
        std::uint32_t id;
        Bytes payload;
    };
    const Case cases[] = {
        {QvnmWriteBLOB, Payload().U32(1).U32(1).U32(0).U32(10).Zeros(4).b},     // says 10, carries 4
        {QvnmWriteBLOB, Payload().U32(1).U32(1).U32(0).U32(2).Zeros(4).b},      // says 2, carries 4
        {QvnmSetToBookmark, Payload().U32(1).U32(8).Zeros(7).b},
        {QvnmSetToKey, Payload().U32(1).U8(0).U8(0).U32(1).U32(0).U32(0xFFFFFFFF).Zeros(3).b},
        {QvnmSetRange, Payload().U32(1).U8(0).U32(1).U32(0).U32(4).U8(1).U32(1).U32(0).U32(4).U8(1).Zeros(7).b},
        {QvnmCompareBookmarks, Payload().U32(1).U32(0x80000000).Zeros(8).b},  // 2 x size wraps in 32 bits
        {QvnmRecordInsert, Payload().U32(1).U32(20).U32(0).U8(0).Zeros(19).b},
        {QvnmRecordModify, Payload().U32(1).U32(20).U32(0).U8(0).Zeros(21).b},
        {QvnmRecordGetForKey, Payload().U32(1).U8(0).U32(1).U32(0).U32(8).U32(5).U32(0).Zeros(4).b},
        {QvnmRecordInsertBatch, Payload().U32(1).U32(8).U32(3).Zeros(23).b},
        {QvnmAddFileBLOB, Payload().U32(1).U8(9).Raw(std::string("short")).b},
        {QvnmRestructureTable, Bytes(20, 0)},
        {QvnmBuildTable, Payload().U32(1).U8(0).Str("T", 32).Raw(std::string("not a dictionary")).b},
    };
    for (const auto& c : cases) {
        std::size_t before = replies.size();
        Send(c.id, c.payload, kClientA, false, c.id == QvnmBuildTable || c.id == QvnmRestructureTable);
        ASSERT_EQ(replies.size(), before + 1) << c.id;
        EXPECT_EQ(replies.back().code, dbi::kInvalidParameter) << c.id;
    }
}

TEST_F(HandlerTest, ALengthClaimBeyondTheHeldBytesIsNotTrusted) {
    // A message claiming 16 bytes that holds 8: the layout check sees 8.
    qv::TqvDataMessage m;
    m.messageId = QvnmReadBLOB;
    m.clientId = kClientA;
    m.data = Bytes(8, 0);
    m.dataLength = 16;
    handler.Dispatch(m);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].code, dbi::kInvalidParameter);
}

TEST_F(HandlerTest, CountsTimesLengthsAreCheckedBeforeAnyAllocation) {
    // 65536 x 65536 is 0 in 32 bits; 4 GB records would be asked for otherwise.
    EXPECT_EQ(Code(QvnmRecordGetBatch, Payload().U32(1).U32(0x10000).U32(0x10000).b), dbi::kInvalidParameter);
    // Zero-length records cost no payload but a 4-byte result each.
    EXPECT_EQ(Code(QvnmRecordInsertBatch, Payload().U32(1).U32(0).U32(0x40000001).b), dbi::kInvalidParameter);
    EXPECT_EQ(Code(QvnmRecordGet, Payload().U32(1).U32(0xFFFFFFF0).U32(0x20).U8(0).b), dbi::kInvalidParameter);
    EXPECT_EQ(Code(QvnmRecordInsert, Payload().U32(1).U32(0).U32(0xFFFFFFFF).U8(0).b), dbi::kInvalidParameter);
    EXPECT_EQ(Code(QvnmRecordDelete, Payload().U32(1).U32(0xFFFFFFFF).b), dbi::kInvalidParameter);
    EXPECT_EQ(Code(QvnmRecordExtractKey, Payload().U32(1).U32(0xFFFFFFFF).U8(1).b), dbi::kInvalidParameter);
}

// ---- connection and sessions ----------------------------------------------------------------------

TEST_F(HandlerTest, AttachServerAnswersIdVersionSeedAndSecurity) {
    Reply r = Last(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("", 32).b);
    // client id 11; version 10700 = 0x29CC; the seed 0x5EED as is on an open
    // server; not secure.
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.data, (Bytes{11, 0, 0, 0, 0xCC, 0x29, 0, 0, 0xED, 0x5E, 0, 0, 0}));
    TqvSrClient* c = nullptr;
    EXPECT_EQ(engine.FindClient(kClientA, c), 0);
}

TEST_F(HandlerTest, OnASecureServerTheCodeCarriesThePasswordHash) {
    engine.Configuration().GeneralInfo()->IsSecure = true;
    engine.Configuration().AddUser("ANNE", "", "", 0x01020304, 2);
    Reply r = Last(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("ANNE", 32).b);
    EXPECT_EQ(r.code, 0);
    // 0x5EED ^ 0x01020304 = 0x01025DE9; secure byte 1.
    EXPECT_EQ(r.data, (Bytes{11, 0, 0, 0, 0xCC, 0x29, 0, 0, 0xE9, 0x5D, 0x02, 0x01, 1}));
    EXPECT_EQ(Code(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("NOBODY", 32).b, kClientB), dbi::kUnknownUser);
}

TEST_F(HandlerTest, DetachAnswersButTheJustInCaseDetachNever) {
    ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("A", 32).Str("", 32).b), 0);
    ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("B", 32).Str("", 32).b, kClientB), 0);
    EXPECT_EQ(Code(QvnmCheckSecureComms, {}), 0);
    Reply r = Last(QvnmDetachServer, {});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.data.empty());
    std::size_t before = replies.size();
    Send(QvnmDetachServerJustInCase, {}, kClientB);
    EXPECT_EQ(replies.size(), before);
    TqvSrClient* c = nullptr;
    EXPECT_NE(engine.FindClient(kClientA, c), 0);
    EXPECT_NE(engine.FindClient(kClientB, c), 0);
}

TEST_F(HandlerTest, SessionsFollowTheEngine) {
    ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("A", 32).Str("", 32).b), 0);
    Reply add = Last(QvnmSessionAdd, {});
    ASSERT_EQ(add.code, 0);
    ASSERT_EQ(add.data.size(), 4u);
    std::uint32_t sid = U32Of(add);
    EXPECT_EQ(Code(QvnmSessionSetCurrent, U32Bytes(sid)), 0);
    EXPECT_EQ(Last(QvnmSessionGetCurrent, {}).data, U32Bytes(sid));
    EXPECT_EQ(Code(QvnmSessionClose, U32Bytes(sid)), 0);
    EXPECT_NE(Code(QvnmSessionSetCurrent, U32Bytes(sid)), 0);
}

// ---- databases and aliases --------------------------------------------------------------------------

TEST_F(TableTest, DatabaseRequests) {
    EXPECT_EQ(Last(QvnmDatabaseInTrans, U32Bytes(db)).data, Bytes{0});
    const std::string path = dir.path().string();
    EXPECT_EQ(Code(QvnmDatabaseAddAlias, Payload().Str("DATA", 32).Str(path, 220).b), 0);
    Reply list = Last(QvnmDatabaseAliasList, {});
    ASSERT_EQ(list.code, 0);
    EXPECT_TRUE(list.isStream);
    ASSERT_EQ(list.data.size() % 252, 0u);
    bool found = false;
    for (std::size_t at = 0; at < list.data.size(); at += 252)
        found |= GetShortStringField(list.data.data() + at, 32) == "DATA";
    EXPECT_TRUE(found);
    Reply open = Last(QvnmDatabaseOpen, Payload().Str("DATA", 32).U8(1).U8(1).b);
    EXPECT_EQ(open.code, 0);
    TqvSrDatabase* d = nullptr;
    EXPECT_EQ(engine.FindDatabase(U32Of(open), d), 0);
    EXPECT_EQ(Code(QvnmDatabaseClose, open.data), 0);
    EXPECT_EQ(Code(QvnmDatabaseChgAliasPath, Payload().Str("DATA", 32).Str(path, 220).b), 0);
    EXPECT_EQ(Code(QvnmDatabaseDeleteAlias, Payload().Str("DATA", 32).b), 0);
    EXPECT_NE(Code(QvnmDatabaseOpen, Payload().Str("DATA", 32).U8(1).U8(1).b), 0);

    // One 48-byte record per table file: name without extension, extension.
    Reply tables = Last(QvnmDatabaseTableList, Payload().U32(db).Str("", 36).b);
    ASSERT_EQ(tables.code, 0);
    ASSERT_EQ(tables.data.size(), 48u);
    EXPECT_EQ(GetShortStringField(tables.data.data(), 32), "People");
    EXPECT_EQ(GetShortStringField(tables.data.data() + 32, 4), "QVD");
    EXPECT_EQ(Last(QvnmDatabaseTableList, Payload().U32(db).Str("*.QVB", 36).b).data.size(), 48u);
}

// ---- tables -----------------------------------------------------------------------------------------

TEST_F(TableTest, OpenTableAnswersCursorDictionaryAndIndex) {
    Reply r = Last(QvnmOpenTable, Payload().U32(db).Str("People", 32).Str("ByName", 32).U32(0).U8(0).U8(1).b);
    ASSERT_EQ(r.code, 0);
    plat::MemoryStream s(std::string(r.data.begin(), r.data.end()));
    std::uint32_t c = 0, index = 0;
    s.ReadBuffer(&c, 4);
    TqvSrCursor* cur = nullptr;
    EXPECT_EQ(engine.FindCursor(GetU32(&c), cur), 0);
    TqvDataDictionary back;
    back.ReadFromStream(s);
    EXPECT_EQ(back.GetRecordLength(), recLen);
    s.ReadBuffer(&index, 4);
    EXPECT_EQ(GetU32(&index), 1u);  // ByName is the first index
    EXPECT_EQ(s.Position(), s.Size());

    Reply d = Last(QvnmGetTableDictionary, Payload().U32(db).Str("People", 32).b);
    ASSERT_EQ(d.code, 0);
    plat::MemoryStream mine;
    dict.WriteToStream(mine);
    plat::MemoryStream theirs(std::string(d.data.begin(), d.data.end()));
    TqvDataDictionary d2;
    d2.ReadFromStream(theirs);
    EXPECT_EQ(d2.IndexCount(), dict.IndexCount());
    EXPECT_EQ(d2.GetRecordLength(), recLen);
}

TEST_F(TableTest, TableMaintenanceRequests) {
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(1, "Ann"))), 0);
    EXPECT_EQ(Last(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(1));
    EXPECT_EQ(Code(QvnmSetTableAutoIncValue, Payload().U32(cursor).U32(100).b), 0);
    // Table locks: 1 held, reported, released.
    EXPECT_EQ(Code(QvnmAcqTableLock, Payload().U32(cursor).U8(1).b), 0);
    EXPECT_EQ(Last(QvnmIsTableLocked, Payload().U32(cursor).U8(1).b).data, Bytes{1});
    EXPECT_EQ(Code(QvnmRelTableLock, Payload().U32(cursor).U8(1).U8(1).b), 0);
    EXPECT_EQ(Last(QvnmIsTableLocked, Payload().U32(cursor).U8(1).b).data, Bytes{0});
    // Index changes and emptying need the table to themselves: without a
    // cursor the engine opens it exclusively for the change.
    EXPECT_EQ(Code(QvnmEmptyTable, Payload().U32(db).U32(cursor).Str("People", 32).b), dbi::kNotExclusive);
    EXPECT_EQ(Code(QvnmCursorClose, U32Bytes(cursor)), 0);
    TqvIndexDescriptor x;
    x.name = "ByName2";
    x.keyFieldCount = 1;
    x.fields[0] = 1;
    x.allowDuplicates = true;
    Reply add = Last(QvnmAddIndex, Payload().U32(db).U32(0).Str("People", 32).Raw(EncodeIndexDescriptor(x)).b);
    EXPECT_EQ(add.code, 0);
    EXPECT_EQ(add.data, U32Bytes(0));
    EXPECT_EQ(Code(QvnmDropIndex, Payload().U32(db).U32(0).Str("People", 32).Str("ByName2", 32).U32(0).b), 0);
    EXPECT_EQ(Code(QvnmDropIndex, Payload().U32(db).U32(0).Str("People", 32).Str("ByName2", 32).U32(0).b),
              dbi::kIndexMissing);
    EXPECT_EQ(Code(QvnmEmptyTable, Payload().U32(db).U32(0).Str("People", 32).b), 0);
    std::uint32_t again = OpenCursor(db, "");
    EXPECT_EQ(Last(QvnmGetTableRecCount, U32Bytes(again)).data, U32Bytes(0));
    EXPECT_EQ(Code(QvnmCursorClose, U32Bytes(again)), 0);
    EXPECT_EQ(Code(QvnmRenameTable, Payload().U32(db).Str("People", 32).Str("Folk", 32).b), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "Folk.QVD") || std::filesystem::exists(dir / "FOLK.QVD"));
    EXPECT_EQ(Code(QvnmDeleteTable, Payload().U32(db).Str("Folk", 32).b), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "Folk.QVD") || std::filesystem::exists(dir / "FOLK.QVD"));
}

class RebuildTest : public TableTest {
protected:
    // Polls 771 until finished; the final 33-byte reply.
    Bytes WaitRebuild(std::uint32_t id) {
        for (int i = 0; i < 2000; ++i) {
            Reply st = Last(QvnmGetRebuildStatus, U32Bytes(id));
            EXPECT_EQ(st.code, 0);
            EXPECT_EQ(st.data.size(), 33u);
            if (st.data.size() != 33 || st.data[32] != 1) return st.data;  // unknown: give up
            if (st.data[28] == 1) return st.data;
            plat::Sleep(5);
        }
        ADD_FAILURE() << "rebuild never finished";
        return {};
    }
    std::vector<std::int32_t> Ids() {
        std::uint32_t c = OpenCursor(db, "ById");
        std::vector<std::int32_t> ids;
        for (;;) {
            Send(QvnmRecordGetNext, ReadPayload(0, 0, c));
            const Reply& r = replies.back();
            // The container's first sub-message: 12-byte header, then the record.
            if (r.data.size() < 12 || GetU16(r.data.data() + 8) != 0) break;
            ids.push_back(static_cast<std::int32_t>(GetU32(r.data.data() + 12 + dict.FieldOffset(0))));
        }
        EXPECT_EQ(Code(QvnmCursorClose, U32Bytes(c)), 0);
        return ids;
    }
};

TEST_F(RebuildTest, PackRunsAndItsStatusIsPolledInTheCatalogueLayout) {
    for (int i : {3, 1, 2}) ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(i, "N" + std::to_string(i)))), 0);
    ASSERT_EQ(Code(QvnmCursorClose, U32Bytes(cursor)), 0);
    Reply started = Last(QvnmPackTable, Payload().U32(db).Str("People", 32).b);
    ASSERT_EQ(started.code, 0);
    ASSERT_EQ(started.data.size(), 4u);
    const std::uint32_t id = U32Of(started);
    Bytes last = WaitRebuild(id);
    ASSERT_EQ(last.size(), 33u);
    EXPECT_EQ(GetU32(last.data() + 8), 3u);   // total
    EXPECT_EQ(GetU32(last.data() + 12), 3u);  // read
    EXPECT_EQ(GetU32(last.data() + 16), 3u);  // written
    EXPECT_EQ(GetU32(last.data() + 24), 0u);  // result
    EXPECT_EQ(last[32], 1);
    // Read once finished, the status is gone.
    EXPECT_EQ(Last(QvnmGetRebuildStatus, U32Bytes(id)).data, Bytes(33, 0));
    EXPECT_EQ(Ids(), (std::vector<std::int32_t>{1, 2, 3}));
}

TEST_F(RebuildTest, RestructureAndReindexRunThroughTheHandler) {
    for (int i : {2, 1}) ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(i, "N"))), 0);
    ASSERT_EQ(Code(QvnmCursorClose, U32Bytes(cursor)), 0);
    Reply re = Last(QvnmReindexTable, Payload().U32(db).Str("People", 32).Str("ByName", 32).U32(0).b);
    ASSERT_EQ(re.code, 0);
    EXPECT_EQ(GetU32(WaitRebuild(U32Of(re)).data() + 24), 0u);

    TqvDataDictionary wider;
    wider.Assign(dict);
    wider.Unlock();
    wider.AddField("Extra", "", qvftInt32, 4, 0, false);
    plat::MemoryStream s;
    wider.WriteToStream(s);
    Payload rest;
    rest.U32(db).Str("People", 32).Raw(s.Bytes()).U8(0);  // no field map: fields by name
    Send(QvnmRestructureTable, rest.b, kClientA, false, true);
    ASSERT_EQ(replies.back().code, 0);
    Bytes last = WaitRebuild(U32Of(replies.back()));
    EXPECT_EQ(GetU32(last.data() + 24), 0u);
    TqvDataDictionary now;
    plat::MemoryStream out;
    ASSERT_EQ(engine.GetTableDictionary(db, "People", out, 0), 0);
    out.SetPosition(0);
    now.ReadFromStream(out);
    EXPECT_GE(now.GetFieldNumber("Extra"), 0);
    recLen = now.GetRecordLength();  // the rows are read in the new layout
    EXPECT_EQ(Ids(), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(RebuildTest, DetachingTheStarterForgetsItsRebuilds) {
    ASSERT_EQ(Code(QvnmCursorClose, U32Bytes(cursor)), 0);
    Reply started = Last(QvnmPackTable, Payload().U32(db).Str("People", 32).b);
    ASSERT_EQ(started.code, 0);
    const std::uint32_t id = U32Of(started);
    handler.Rebuilder().WaitAll();
    ASSERT_EQ(Last(QvnmGetRebuildStatus, U32Bytes(id), kClientB).data[32], 1) << "known while its client is there";
    ASSERT_EQ(Code(QvnmDetachServer, {}), 0);
    EXPECT_EQ(Last(QvnmGetRebuildStatus, U32Bytes(id), kClientB).data, Bytes(33, 0));
}

TEST_F(RebuildTest, AFailedStartAnswersItsCodeWithoutAnId) {
    // The table is open shared by the cursor: the exclusive open refuses.
    Reply r = Last(QvnmPackTable, Payload().U32(db).Str("People", 32).b);
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.data.empty());
    EXPECT_EQ(Last(QvnmGetRebuildStatus, U32Bytes(1)).data, Bytes(33, 0));
}

// ---- transactions and the retry rule ------------------------------------------------------------------

TEST_F(TableTest, TransactionsAndConflictsWaitOnlyWhileTheyHaveTime) {
    Reply start = Last(QvnmStartTransaction, Payload().U32(db).U8(0).b);
    ASSERT_EQ(start.code, 0);
    EXPECT_EQ(Last(QvnmDatabaseInTrans, U32Bytes(db)).data, Bytes{1});
    // A second start conflicts: deferred with time left, answered without.
    std::size_t before = replies.size();
    TqvDataMessage m = Send(QvnmStartTransaction, Payload().U32(db).U8(0).b, kClientA, true);
    EXPECT_EQ(m.retry, 1);
    EXPECT_EQ(replies.size(), before);
    EXPECT_EQ(Code(QvnmStartTransaction, Payload().U32(db).U8(0).b), dbi::kTransactionActive);
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(1, "Ann"))), 0);
    // Commit byte 2 commits.
    EXPECT_EQ(Code(QvnmEndTransaction, Payload().U32(U32Of(start)).U8(2).b), 0);
    EXPECT_EQ(Last(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(1));
    Reply again = Last(QvnmStartTransaction, Payload().U32(db).U8(0).b);
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(2, "Bob"))), 0);
    EXPECT_EQ(Code(QvnmEndTransaction, Payload().U32(U32Of(again)).U8(0).b), 0);
    EXPECT_EQ(Last(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(1));
}

TEST_F(TableTest, LockedRecordGetIsDeferredWithTimeAndAnsweredAfter) {
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(1, "Ann"))), 0);
    std::uint32_t db2 = OpenDb(kClientB);
    std::uint32_t other = OpenCursor(db2, "ById", kClientB);
    Bytes buf(recLen);
    ASSERT_EQ(engine.RecordGetNext(other, true, buf.data(), recLen), 0);  // B holds the lock
    ASSERT_EQ(engine.SetToBegin(cursor), 0);
    Bytes scratch(recLen);
    ASSERT_EQ(engine.RecordGetNext(cursor, false, scratch.data(), recLen), 0);

    std::size_t before = replies.size();
    TqvDataMessage m = Send(QvnmRecordGet, ReadPayload(bmSize, 1), kClientA, true);
    EXPECT_EQ(m.retry, 1);
    EXPECT_EQ(replies.size(), before);
    // No time left: the container carries the conflict in its first part.
    Reply r = Last(QvnmRecordGet, ReadPayload(bmSize, 1));
    EXPECT_EQ(r.id, QvnmMultipart);
    EXPECT_EQ(r.code, 0);
    ASSERT_GE(r.data.size(), 12u);
    EXPECT_EQ(GetU32(r.data.data()), QvnmRecordGet);
    EXPECT_EQ(GetU16(r.data.data() + 8), dbi::kRecordLocked);
    // A read that does not lock is not held up.
    EXPECT_EQ(GetU16(Last(QvnmRecordGet, ReadPayload(bmSize, 0)).data.data() + 8), 0);
}

// ---- records -----------------------------------------------------------------------------------------

TEST_F(TableTest, InsertAndReadAnswerGoldenMultipartReplies) {
    const Bytes ann = Rec(7, "Ann");
    Reply ins = Last(QvnmRecordInsert, InsertPayload(ann));
    EXPECT_EQ(ins.id, QvnmMultipart);
    EXPECT_EQ(ins.code, 0);
    const Bytes bm = Bookmark(cursor);
    // Three parts: the insert's own code without data; the current record
    // read again (id 2048); its bookmark (id 1795). Each head is id, length
    // including the 12 head bytes, u16 code, stream flag, one unused byte.
    Bytes want = Sub(QvnmRecordInsert, 0, {});
    for (const Bytes& part : {Sub(QvnmRecordGet, 0, ann), Sub(QvnmGetBookmark, 0, bm)})
        want.insert(want.end(), part.begin(), part.end());
    EXPECT_EQ(ins.data, want);

    ASSERT_EQ(Code(QvnmSetToBegin, U32Bytes(cursor)), 0);
    Reply next = Last(QvnmRecordGetNext, ReadPayload(bmSize));
    want = Sub(QvnmRecordGetNext, 0, ann);
    Bytes bmPart = Sub(QvnmGetBookmark, 0, bm);
    want.insert(want.end(), bmPart.begin(), bmPart.end());
    EXPECT_EQ(next.data, want);

    // Past the end: the read's code, no record; the bookmark part still follows.
    Reply end = Last(QvnmRecordGetNext, ReadPayload(bmSize));
    ASSERT_GE(end.data.size(), 24u);
    EXPECT_EQ(Bytes(end.data.begin(), end.data.begin() + 12), Sub(QvnmRecordGetNext, dbi::kAtEnd, {}));
    // Bookmark size 0: code 10021 and no data.
    Reply noBm = Last(QvnmRecordGetPrev, ReadPayload(0));
    want = Sub(QvnmRecordGetPrev, 0, ann);
    Bytes nil = Sub(QvnmGetBookmark, dbi::kBookmarkMismatch, {});
    want.insert(want.end(), nil.begin(), nil.end());
    EXPECT_EQ(noBm.data, want);
}

TEST_F(TableTest, FailedInsertStillAnswersTheRereadRecord) {
    const Bytes ann = Rec(7, "Ann");
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(ann)), 0);
    Reply dup = Last(QvnmRecordInsert, InsertPayload(Rec(7, "Dup")));  // ById is unique
    ASSERT_EQ(dup.id, QvnmMultipart);
    Bytes want = Sub(QvnmRecordInsert, dbi::kKeyViolation, {});
    for (const Bytes& part : {Sub(QvnmRecordGet, 0, ann), Sub(QvnmGetBookmark, 0, Bookmark(cursor))})
        want.insert(want.end(), part.begin(), part.end());
    EXPECT_EQ(dup.data, want);

    Bytes changed = Rec(7, "Anne");
    Reply mod = Last(QvnmRecordModify, Payload().U32(cursor).U32(recLen).U32(bmSize).U8(1).Raw(changed).b);
    want = Sub(QvnmRecordModify, 0, {});
    for (const Bytes& part : {Sub(QvnmRecordGet, 0, changed), Sub(QvnmGetBookmark, 0, Bookmark(cursor))})
        want.insert(want.end(), part.begin(), part.end());
    EXPECT_EQ(mod.data, want);
}

TEST_F(TableTest, DeleteBatchKeyAndLockRequests) {
    for (int i = 1; i <= 3; ++i) ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(i, "N" + std::to_string(i)))), 0);
    // Batch read of 5 slots from the start: count 3, then the 3 records only.
    ASSERT_EQ(Code(QvnmSetToBegin, U32Bytes(cursor)), 0);
    Reply batch = Last(QvnmRecordGetBatch, Payload().U32(cursor).U32(recLen).U32(5).b);
    ASSERT_EQ(batch.code, 0);
    ASSERT_EQ(batch.data.size(), 4 + 3 * recLen);
    EXPECT_EQ(U32Of(batch), 3u);
    EXPECT_EQ(Bytes(batch.data.begin() + 4 + recLen, batch.data.begin() + 4 + 2 * recLen), Rec(2, "N2"));
    EXPECT_EQ(Bytes(batch.data.end() - recLen, batch.data.end()), Rec(3, "N3"));
    // The batch met the end; skipping back puts the cursor on a record again,
    // one prior move per record, and past the first the move's own answer.
    struct Skip {
        std::uint32_t count;
        DBIResult result;
        int on;  // the record then current, 0: none
    };
    for (const Skip& k : {Skip{1, 0, 3}, Skip{2, 0, 1}, Skip{0, 0, 1}, Skip{1, dbi::kAtBegin, 0}}) {
        SCOPED_TRACE(k.count);
        EXPECT_EQ(Code(QvnmRecordSkipBack, Payload().U32(cursor).U32(k.count).b), k.result);
        Reply at = Last(QvnmRecordGet, Payload().U32(cursor).U32(recLen).U32(0).U8(0).b);
        ASSERT_GE(at.data.size(), kQvSubMsgHeaderSize);
        const TqvSubMsgHeader h = ReadSubMsgHeader(at.data.data());
        if (k.on == 0) {
            EXPECT_EQ(h.errorCode, dbi::kNoCurrentRecord);
        } else {
            ASSERT_EQ(h.errorCode, 0);
            const Bytes want = Sub(QvnmRecordGet, 0, Rec(k.on, "N" + std::to_string(k.on)));
            ASSERT_GE(at.data.size(), want.size());
            EXPECT_EQ(Bytes(at.data.begin(), at.data.begin() + want.size()), want);
        }
    }

    // Key of a given record, then that record found by its key.
    const std::uint32_t keyLen = KeyOf(Rec(2, "N2")).size();
    Reply key = Last(QvnmRecordExtractKey, Payload().U32(cursor).U32(keyLen).U8(0).Raw(Rec(2, "N2")).b);
    ASSERT_EQ(key.code, 0);
    EXPECT_EQ(key.data, KeyOf(Rec(2, "N2")));
    Reply found = Last(QvnmRecordGetForKey, Payload().U32(cursor).U8(1).U32(1).U32(0).U32(recLen).U32(keyLen)
                                                .U32(bmSize).Raw(key.data).b);
    EXPECT_EQ(found.data, Rec(2, "N2"));
    EXPECT_EQ(Code(QvnmRecordExtractKey, Payload().U32(cursor).U32(keyLen + 1).U8(1).b), dbi::kInvalidParameter);

    // The current record (2) deleted and handed back.
    Reply del = Last(QvnmRecordDelete, Payload().U32(cursor).U32(recLen).b);
    EXPECT_EQ(del.data, Rec(2, "N2"));
    EXPECT_EQ(Last(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(2));

    // Batch insert: one u32 result per record.
    Bytes two = Rec(10, "X");
    Bytes dupe = Rec(1, "Y");
    two.insert(two.end(), dupe.begin(), dupe.end());
    Reply ib = Last(QvnmRecordInsertBatch, Payload().U32(cursor).U32(recLen).U32(2).Raw(two).b);
    ASSERT_EQ(ib.code, 0);
    EXPECT_EQ(ib.data, (Payload().U32(0).U32(dbi::kKeyViolation).b));  // id 1 is taken
    EXPECT_EQ(Code(QvnmRecordRelLock, Payload().U32(cursor).U8(1).b), 0);
}

// ---- cursors -------------------------------------------------------------------------------------------

TEST_F(TableTest, CursorRequests) {
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(i, "N" + std::to_string(i)))), 0);
    EXPECT_EQ(Code(QvnmSetToEnd, U32Bytes(cursor)), 0);
    Reply prev = Last(QvnmRecordGetPrev, ReadPayload(bmSize));
    EXPECT_EQ(Bytes(prev.data.begin() + 12, prev.data.begin() + 12 + recLen), Rec(4, "N4"));
    Reply bm4 = Last(QvnmGetBookmark, Payload().U32(cursor).U32(bmSize).b);
    ASSERT_EQ(bm4.data.size(), bmSize);
    EXPECT_EQ(Code(QvnmGetBookmark, Payload().U32(cursor).U32(bmSize + 1).b), dbi::kBookmarkMismatch);

    // Key search for id 2 (record key), then the bookmarks compared by sign only.
    Bytes two = Rec(2, "N2");
    EXPECT_EQ(Code(QvnmSetToKey,
                   Payload().U32(cursor).U8(0).U8(0).U32(1).U32(0).U32(recLen).Raw(two).b), 0);
    Reply cur = Last(QvnmRecordGetNext, ReadPayload(bmSize));
    EXPECT_EQ(Bytes(cur.data.begin() + 12, cur.data.begin() + 12 + recLen), two);
    Bytes bm2 = Bookmark(cursor);
    Payload cmp;
    cmp.U32(cursor).U32(bmSize).Raw(bm2).Raw(bm4.data);
    EXPECT_EQ(Last(QvnmCompareBookmarks, cmp.b).data, U32Bytes(0xFFFFFFFF));
    Payload cmp2;
    cmp2.U32(cursor).U32(bmSize).Raw(bm4.data).Raw(bm2);
    EXPECT_EQ(Last(QvnmCompareBookmarks, cmp2.b).data, U32Bytes(1));
    Payload same;
    same.U32(cursor).U32(bmSize).Raw(bm2).Raw(bm2);
    EXPECT_EQ(Last(QvnmCompareBookmarks, same.b).data, U32Bytes(0));

    EXPECT_EQ(Code(QvnmSetToBookmark, Payload().U32(cursor).U32(bmSize).Raw(bm4.data).b), 0);
    EXPECT_EQ(Bookmark(cursor), bm4.data);

    // A clone set to the first cursor's position.
    Reply clone = Last(QvnmCursorClone, Payload().U32(cursor).U8(1).b);
    ASSERT_EQ(clone.code, 0);
    std::uint32_t c2 = U32Of(clone);
    EXPECT_EQ(Code(QvnmSetToCursor, Payload().U32(c2).U32(cursor).b), 0);
    EXPECT_EQ(Bookmark(c2), bm4.data);

    // Range over ids 2..3 on the ById index: two records.
    const Bytes k2 = KeyOf(Rec(2, "")), k3 = KeyOf(Rec(3, ""));
    const auto kl = static_cast<std::uint32_t>(k2.size());
    EXPECT_EQ(Code(QvnmSetRange, Payload().U32(cursor).U8(1).U32(1).U32(0).U32(kl).U8(1).U32(1).U32(0).U32(kl).U8(1)
                                     .Raw(k2).Raw(k3).b),
              0);
    EXPECT_EQ(Code(QvnmSetToBegin, U32Bytes(cursor)), 0);
    int n = 0;
    while (GetU16(Last(QvnmRecordGetNext, ReadPayload(bmSize)).data.data() + 8) == 0) ++n;
    EXPECT_EQ(n, 2);
    EXPECT_EQ(Code(QvnmResetRange, U32Bytes(cursor)), 0);
    EXPECT_EQ(Code(QvnmSwitchToIndex, Payload().U32(cursor).Str("ByName", 32).U32(0).U8(0).b), 0);
    EXPECT_EQ(Code(QvnmSwitchToIndex, Payload().U32(cursor).Str("Nope", 32).U32(0).U8(1).b), dbi::kIndexMissing);
    EXPECT_EQ(Code(QvnmCursorClose, U32Bytes(c2)), 0);
    EXPECT_EQ(Code(QvnmCursorClose, U32Bytes(c2)), dbi::kInvalidHandle);
}

// ---- BLOBs -------------------------------------------------------------------------------------------

TEST_F(TableTest, BlobRequests) {
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(1, "Ann"))), 0);
    Reply created = Last(QvnmCreateBLOB, U32Bytes(cursor));
    ASSERT_EQ(created.code, 0);
    const std::uint32_t nr = U32Of(created);
    EXPECT_EQ(Code(QvnmWriteBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(5).Raw(std::string("hello")).b), 0);
    EXPECT_EQ(Last(QvnmGetBLOBLength, Payload().U32(cursor).U32(nr).b).data, U32Bytes(5));
    // Read 10 from offset 1: 4 bytes read, and only those travel.
    Reply rd = Last(QvnmReadBLOB, Payload().U32(cursor).U32(nr).U32(1).U32(10).b);
    EXPECT_EQ(rd.data, (Bytes{4, 0, 0, 0, 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(Code(QvnmTruncateBLOB, Payload().U32(cursor).U32(nr).U32(2).b), 0);
    EXPECT_EQ(Last(QvnmGetBLOBLength, Payload().U32(cursor).U32(nr).b).data, U32Bytes(2));
    EXPECT_EQ(Code(QvnmFreeBLOB, Payload().U32(cursor).U32(nr).b), 0);
    Reply second = Last(QvnmCreateBLOB, U32Bytes(cursor));
    ASSERT_EQ(second.code, 0);
    EXPECT_EQ(Code(QvnmDeleteBLOB, Payload().U32(cursor).U32(U32Of(second)).b), 0);
}

TEST_F(TableTest, FileBlobsOnlyForClientsInThisProcess) {
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(Rec(1, "Ann"))), 0);
    const std::string file = (dir / "note.txt").string();
    testsupport::WriteFileBytes(dir / "note.txt", "server-side file");
    Payload p;
    p.U32(cursor).U8(static_cast<std::uint8_t>(file.size())).Raw(file);

    std::vector<Reply> remote;
    TqvServerCommandHandler network(
        engine,
        [&](std::uint32_t id, std::uint32_t client, std::uint16_t code, bool s, const std::uint8_t* d,
            std::uint32_t n) { remote.push_back({id, client, code, s, d ? Bytes(d, d + n) : Bytes()}); },
        false, [] { return 0u; });
    TqvDataMessage m;
    m.messageId = QvnmAddFileBLOB;
    m.clientId = kClientA;
    m.data = p.b;
    m.dataLength = static_cast<std::uint32_t>(p.b.size());
    network.Dispatch(m);
    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0].code, dbi::kRights);

    Reply local = Last(QvnmAddFileBLOB, p.b);
    ASSERT_EQ(local.code, 0);
    Reply rd = Last(QvnmReadBLOB, Payload().U32(cursor).U32(U32Of(local)).U32(0).U32(100).b);
    EXPECT_EQ(std::string(rd.data.begin() + 4, rd.data.end()), "server-side file");
}

// ---- rights -----------------------------------------------------------------------------------------------

TEST_F(HandlerTest, ASecureServerChecksEachRequestsRightsMask) {
    engine.Configuration().GeneralInfo()->IsSecure = true;
    engine.Configuration().AddUser("READER", "", "", 0, rightRead);
    ASSERT_EQ(Code(QvnmAttachServer, Payload().Str("A", 32).Str("READER", 32).b), 0);
    int refused = 0;
    for (const auto& info : RequestCatalogue()) {
        if (info.rule == TqvPayloadRule::Stream) continue;  // checked below with real dictionaries
        if (info.id <= QvnmCheckSecureComms) continue;
        std::size_t before = replies.size();
        Send(info.id, Bytes(info.size, 0));
        ASSERT_EQ(replies.size(), before + 1) << info.id;
        const bool needsMore = (info.rights & ~rightRead) != 0;
        if (needsMore) {
            EXPECT_EQ(replies.back().code, dbi::kRights) << info.id;
            EXPECT_EQ(replies.back().id, info.id) << "a refused multipart request answers with its own id";
            ++refused;
        } else {
            EXPECT_NE(replies.back().code, dbi::kRights) << info.id;
        }
    }
    EXPECT_EQ(refused, 22);  // the masks beyond read in the catalogue, less the two stream requests
    TqvDataDictionary d;
    d.AddField("Id", "", qvftInt32, 10, 0, true);
    plat::MemoryStream s;
    d.WriteToStream(s);
    Payload build;
    build.U32(1).U8(0).Str("T", 32).Raw(s.Bytes());
    Send(QvnmBuildTable, build.b, kClientA, false, true);
    EXPECT_EQ(replies.back().code, dbi::kRights);
}

// ---- the log ---------------------------------------------------------------------------------------------

TEST_F(HandlerTest, RequestsAreLoggedFieldByFieldWhileTheSwitchIsOn) {
    StartServerLog(dir.path().string());
    SetServerDebugLog(true);
    Send(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("", 32).b);
    Send(QvnmDatabaseClose, U32Bytes(99));
    Send(QvnmWriteBLOB, Payload().U32(3).U32(4).U32(0).U32(2).Raw(std::string("hi")).b);
    SetServerDebugLog(false);
    Send(QvnmDatabaseClose, U32Bytes(98));  // not logged
    const std::string in13(13, ' ');
    std::string hiLine = "68 69";
    hiLine.resize(52, ' ');
    hiLine += "[hi";
    hiLine.resize(69, ' ');
    hiLine += "]";
    const std::string want = "       50000 QV server log started\r\n"
                             "       50000 AttachServer\r\n" +
                             in13 + "  ClientID 11\r\n" + in13 + "  Name     [Tavrin]\r\n" + in13 +
                             "  UserID   []\r\n" + in13 + "  ClientID 11\r\n" + in13 + "  VersionNumber 10700\r\n" +
                             in13 + "  Code 24301\r\n" + in13 + "  IsSecure 0\r\n" + in13 + "  *ERROR*  0\r\n" +
                             "       50000 DatabaseClose\r\n" + in13 + "  ClientID 11\r\n" + in13 +
                             "  DBaseID  99\r\n" + in13 + "  *ERROR*  2706\r\n" +
                             "       50000 WriteBLOB\r\n" + in13 + "  ClientID 11\r\n" + in13 + "  CursorID 3\r\n" +
                             in13 + "  BLOBNr 4\r\n" + in13 + "  Offset 0\r\n" + in13 + "  Len 2\r\n" + in13 +
                             "  BLOB (Size: 2)\r\n" + in13 + hiLine + "\r\n" + in13 + "  *ERROR*  2706\r\n";
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "QVSERVER.LOG"), want);
}

TEST_F(TableTest, DeferredRequestsLogTheirDeadline) {
    Reply start = Last(QvnmStartTransaction, Payload().U32(db).U8(0).b);
    ASSERT_EQ(start.code, 0);
    StartServerLog(dir.path().string());
    SetServerDebugLog(true);
    Send(QvnmStartTransaction, Payload().U32(db).U8(0).b, kClientA, true);
    std::string log = testsupport::ReadFileBytes(dir / "QVSERVER.LOG");
    // 10256 = 0x2810; deadline 50000 + 3000.
    EXPECT_NE(log.find(std::string(13, ' ') + "  *ERROR*  2810 -- retrying until 53000\r\n"), std::string::npos) << log;
}

TEST_F(TableTest, MultipartRepliesAreLoggedWithTheirParts) {
    const Bytes ann = Rec(7, "Ann");
    ASSERT_EQ(Code(QvnmRecordInsert, InsertPayload(ann)), 0);
    const Bytes bm = Bookmark(cursor);
    StartServerLog(dir.path().string());
    SetServerDebugLog(true);
    Send(QvnmRecordGet, ReadPayload(bmSize));
    const std::string in13(13, ' ');
    std::string want = "       50000 QV server log started\r\n"
                       "       50000 RecordGet\r\n" +
                       in13 + "  ClientID 11\r\n" + in13 + "  CursorID " + std::to_string(cursor) + "\r\n" + in13 +
                       "  LockType 0\r\n" + in13 + "  RecLen   " + std::to_string(recLen) + "\r\n" + in13 +
                       "  BMSize   " + std::to_string(bmSize) + "\r\n" + in13 + "  Record (Size: " +
                       std::to_string(recLen) + ")\r\n";
    for (std::size_t at = 0; at < ann.size(); at += 16)
        want += in13 + FormatHexLine(ann.data() + at, std::min<std::size_t>(16, ann.size() - at)) + "\r\n";
    want += "       50000 CursorGetBookmark (multipart)\r\n" + in13 + "  Bookmark (Size: " + std::to_string(bmSize) +
            ")\r\n";
    for (std::size_t at = 0; at < bm.size(); at += 16)
        want += in13 + FormatHexLine(bm.data() + at, std::min<std::size_t>(16, bm.size() - at)) + "\r\n";
    want += in13 + "  *ERROR*  0\r\n";
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "QVSERVER.LOG"), want);
}

}  // namespace
