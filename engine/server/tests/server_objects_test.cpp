#include <stdexcept>

#include "engine/base/qv_exceptions.h"
#include "engine/server/tests/server_fixture.h"

using namespace qv;
using qvtest::ServerTest;

namespace {

TEST(ServerEngine, ClientsOnAnOpenAndASecureServer) {
    TqvServerEngine e;
    std::uint32_t hash = 99;
    EXPECT_EQ(e.ClientAdd(1, "one", "nobody", hash), 0);
    EXPECT_EQ(hash, 0u);

    e.Configuration().GeneralInfo()->IsSecure = true;
    // Secure but no users yet: anyone attaches, without a password.
    EXPECT_EQ(e.ClientAdd(2, "two", "nobody", hash), 0);
    EXPECT_EQ(hash, 0u);

    e.Configuration().AddUser("Ann", "Smith", "Ann", 4242, rightRead | rightInsert);
    EXPECT_EQ(e.ClientAdd(3, "three", "nobody", hash), dbi::kUnknownUser);
    EXPECT_EQ(e.Clients().Count(), 2);
    EXPECT_EQ(e.ClientAdd(4, "four", "ANN", hash), 0);
    EXPECT_EQ(hash, 4242u);
    EXPECT_EQ(e.Clients().Find(4)->userName, "Ann");

    struct Case { std::uint32_t client; std::uint8_t mask; DBIResult want; };
    const Case cases[] = {
        {4, rightRead, 0}, {4, rightRead | rightInsert, 0}, {4, rightRead | rightUpdate, dbi::kRights},
        {4, rightDelete, dbi::kRights}, {1, rightRead, dbi::kRights}, {77, rightRead, dbi::kInvalidHandle},
    };
    for (const auto& c : cases) EXPECT_EQ(e.CheckClientRights(c.client, c.mask), c.want) << c.client << "/" << int(c.mask);

    e.Configuration().GeneralInfo()->IsSecure = false;
    EXPECT_EQ(e.CheckClientRights(77, 30), 0) << "an open server checks no rights, even for unknown clients";
}

TEST(ServerEngine, SessionsOfAClient) {
    TqvServerEngine e;
    std::uint32_t hash, first, second, current;
    ASSERT_EQ(e.ClientAdd(5, "c", "", hash), 0);
    ASSERT_EQ(e.SessionGetCurrent(5, first), 0);
    EXPECT_NE(first, 0u);
    ASSERT_EQ(e.SessionAdd(5, second), 0);
    EXPECT_EQ(e.Sessions().Count(), 2);
    EXPECT_EQ(e.SessionGetCurrent(5, current), 0);
    EXPECT_EQ(current, first);
    EXPECT_EQ(e.SessionSetCurrent(5, second), 0);
    EXPECT_EQ(e.SessionGetCurrent(5, current), 0);
    EXPECT_EQ(current, second);
    EXPECT_EQ(e.SessionClose(5, second), 0);
    EXPECT_EQ(e.SessionGetCurrent(5, current), 0);
    EXPECT_EQ(current, first) << "closing the current session falls back to the default";
    EXPECT_EQ(e.SessionClose(5, second), dbi::kInvalidHandle) << "a freed session's id is stale";
    EXPECT_EQ(e.SessionSetCurrent(6, first), dbi::kInvalidHandle);
    EXPECT_EQ(e.SessionAdd(6, second), dbi::kInvalidHandle);
    EXPECT_EQ(second, 0u);
}

TEST(ServerEngine, FoldersAreSharedAcrossSpellings) {
    TqvServerEngine e;
    TqvSrFolder* a = e.Folders().AddRef("/tmp/some/dir");
    TqvSrFolder* b = e.Folders().AddRef("/TMP/SOME/DIR/");
    TqvSrFolder* c = e.Folders().AddRef("/tmp/some/./other/../dir");
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a->refCount, 3u);
    EXPECT_EQ(e.Folders().Count(), 1);
    e.Folders().Release(a->Id());
    EXPECT_EQ(e.Folders().Count(), 1);
    std::uint32_t id = a->Id();
    e.Folders().Release(id);
    e.Folders().Release(id);
    EXPECT_EQ(e.Folders().Count(), 0);
    e.Folders().Release(id);  // stale: nothing happens
}

TEST(ServerEngine, ExceptionConversion) {
    struct Case { std::int32_t number; DBIResult want; };
    const Case cases[] = {
        {0, 15360}, {12, 15372}, {13, 15520}, {32, 15392}, {48, 9992}, {49, 15409}, {50, 10503}, {55, 10030},
        {56, 11896}, {58, 10029}, {59, 9998}, {60, 10502}, {73, 15433}, {74, 15520}, {128, 11271}, {136, 15520},
        {144, 9990}, {146, 10014}, {147, 10018}, {149, 10024}, {150, 9997}, {176, 10253}, {177, 10501},
        {179, 10763}, {184, 10241}, {182, 10242}, {183, 10245}, {185, 8709}, {188, 10020}, {189, 8706},
        {190, 8705}, {191, 13060}, {195, 10019}, {198, 10021}, {199, 15520}, {-1, 15520},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TqvServerEngine::ExceptionToResult(EqvServerException("x", c.number)), c.want) << c.number;
    EXPECT_EQ(TqvServerEngine::ExceptionToResult(std::bad_alloc()), 9473);
    EXPECT_EQ(TqvServerEngine::ExceptionToResult(std::runtime_error("other")), 15521);
}

TEST_F(ServerTest, DetachingAClientFreesItsObjectsButNotSharedTables) {
    std::uint32_t dbA = OpenDb(kClientA), dbB = OpenDb(kClientB);
    Build(dbA, "People");
    Build(dbA, "Other");
    std::uint32_t curA, curB, curA2, tr;
    ASSERT_EQ(Open(dbA, "People", curA), 0);
    ASSERT_EQ(Open(dbA, "Other", curA2), 0);
    ASSERT_EQ(Open(dbB, "People", curB), 0);
    EXPECT_EQ(engine.Tables().Count(), 2);
    ASSERT_EQ(engine.TransactionStart(dbA, false, tr), 0);

    EXPECT_EQ(engine.ClientRemove(kClientA), 0);
    TqvSrCursor* c;
    EXPECT_EQ(engine.FindCursor(curA, c), dbi::kInvalidHandle);
    EXPECT_EQ(engine.FindCursor(curA2, c), dbi::kInvalidHandle);
    EXPECT_EQ(engine.FindCursor(curB, c), 0);
    EXPECT_EQ(engine.Tables().Count(), 1) << "People stays for client B";
    EXPECT_EQ(engine.Tables().Item(0)->GetName(), "People");
    TqvSrTransaction* t;
    EXPECT_EQ(engine.FindTransaction(tr, t), dbi::kInvalidHandle) << "the transaction was rolled back";
    EXPECT_EQ(engine.Folders().Item(0)->transactionId, 0u);
    EXPECT_EQ(engine.Databases().Count(), 1);
    EXPECT_EQ(engine.Sessions().Count(), 1);
    EXPECT_EQ(engine.DatabaseClose(dbA), dbi::kInvalidHandle);
}

TEST_F(ServerTest, OneFolderForDifferentSpellingsOfTheDirectory) {
    std::uint32_t a = OpenDb(kClientA), b = 0;
    ASSERT_EQ(engine.DatabaseOpenNoAlias(kClientB, Dir() + "/", true, true, b), 0);
    ASSERT_EQ(engine.Folders().Count(), 1);
    EXPECT_EQ(engine.Folders().Item(0)->refCount, 2u);
    EXPECT_EQ(engine.DatabaseClose(a), 0);
    ASSERT_EQ(engine.Folders().Count(), 1);
    EXPECT_EQ(engine.Folders().Item(0)->refCount, 1u);
    EXPECT_EQ(engine.DatabaseClose(b), 0);
    EXPECT_EQ(engine.Folders().Count(), 0);
}

TEST_F(ServerTest, TableLocksBetweenTwoClients) {
    std::uint32_t dbA = OpenDb(kClientA), dbB = OpenDb(kClientB);
    Build(dbA, "People");
    std::uint32_t a, a2, b;
    ASSERT_EQ(Open(dbA, "People", a), 0);
    ASSERT_EQ(Open(dbA, "People", a2), 0);
    ASSERT_EQ(Open(dbB, "People", b), 0);
    bool locked = true;

    EXPECT_EQ(engine.AcqTableLock(0xDEAD, 0), 0) << "kind 0 looks nothing up";
    EXPECT_EQ(engine.RelTableLock(0xDEAD, true, 0), 0);
    EXPECT_EQ(engine.AcqTableLock(0xDEAD, 1), dbi::kInvalidHandle);

    EXPECT_EQ(engine.AcqTableLock(a, 2), 0);
    EXPECT_EQ(engine.AcqTableLock(a2, 2), 0) << "table locks belong to the session";
    EXPECT_EQ(engine.AcqTableLock(b, 1), dbi::kRecordLocked);
    EXPECT_EQ(engine.AcqTableLock(b, 2), dbi::kRecordLocked);
    EXPECT_EQ(engine.IsTableLocked(b, 2, locked), 0);
    EXPECT_FALSE(locked) << "only the asking session's own lock counts";
    EXPECT_EQ(engine.IsTableLocked(a2, 2, locked), 0);
    EXPECT_TRUE(locked);
    EXPECT_EQ(engine.RelTableLock(b, false, 2), dbi::kUnlockFailed);
    EXPECT_EQ(engine.RelTableLock(a, false, 2), 0);
    EXPECT_EQ(engine.AcqTableLock(b, 1), 0);
    EXPECT_EQ(engine.AcqTableLock(a, 1), 0);
    EXPECT_EQ(engine.AcqTableLock(a, 2), dbi::kRecordLocked) << "two readers";
    EXPECT_EQ(engine.RelTableLock(b, true, 1), 0);
    EXPECT_EQ(engine.AcqTableLock(a, 2), 0);
    EXPECT_EQ(engine.RelTableLock(a, false, 1), dbi::kUnlockFailed) << "read lock is pinned by own write lock";

    // Record locks are the cursor's: released with it, and by RecordRelLock.
    TqvSrTable* t = engine.Tables().Item(0);
    ASSERT_TRUE(t->LockRecord(0, a, true, 4128));
    EXPECT_FALSE(t->LockRecord(0, a2, true, 4128));
    EXPECT_TRUE(t->LockRecord(0, a2, false, 4128)) << "no lock asked for";
    EXPECT_EQ(engine.RecordRelLock(a, true), 0);
    EXPECT_TRUE(t->LockRecord(0, a2, true, 4128));
    EXPECT_EQ(engine.CursorClose(a2), 0);
    EXPECT_EQ(t->locks.RecordLocks().size(), 0u);

    // Locks vanish with the table object.
    EXPECT_EQ(engine.CursorClose(a), 0);
    EXPECT_EQ(engine.CursorClose(b), 0);
    EXPECT_EQ(engine.Tables().Count(), 0);
}

}  // namespace
