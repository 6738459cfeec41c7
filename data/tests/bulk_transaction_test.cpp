// One transaction around many posts: who owns it, and what each way out of
// the scope leaves in the table.
#include "data/bulk_transaction.h"

#include "data/fields.h"
#include "data/tables.h"
#include "data/tests/db_fixture.h"
#include "data/tests/engine_fixture.h"
#include "engine/api/dbi_api.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

using db::TBulkTransaction;

enum class Leave { Commit, Rollback, ScopeEnd, Exception };

const char* Name(Leave l) {
    switch (l) {
    case Leave::Commit: return "commit";
    case Leave::Rollback: return "rollback";
    case Leave::ScopeEnd: return "scope end";
    case Leave::Exception: return "exception";
    }
    return "?";
}

struct Case {
    bool onComponent;  // made on a database component, not on the dataset
    bool nested;       // a transaction is already active on the database
    TBulkTransaction::OnLeave onLeave;
    Leave leave;
    bool rowsKept;  // by the scope alone (an outer transaction still decides)
};

class BulkTransactionTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(3);
        pages->Open();
        // The same folder as the pages, as a component reaches it.
        database.DatabaseName = "Bulk";
        database.Directory = Folder();
        database.Open();
    }

    void Begin(std::optional<TBulkTransaction>& t, bool onComponent, TBulkTransaction::OnLeave onLeave) {
        if (onComponent) t.emplace(database, onLeave);
        else t.emplace(*pages, onLeave);
    }

    void AddPages(int from, int to) {
        for (int id = from; id <= to; ++id) {
            pages->Append();
            pages->FieldByName("Application")->SetAsString("Demo");
            pages->FieldByName("HelpId")->SetAsInteger(id);
            pages->FieldByName("Title")->SetAsString("Bulk " + std::to_string(id));
            pages->Post();
        }
    }

    // The rows as the table files hold them, read by a fresh cursor.
    std::vector<int> StoredIds() {
        pages->Close();
        pages->Open();
        return ShownIds();
    }

    // Whether a transaction is active on the pages' database: the engine
    // refuses a second one.
    bool TransactionActive() {
        std::uint32_t tr = 0;
        if (qv::DbiBeginTran(pages->DBHandle(), 0, tr) != 0) return true;
        EXPECT_EQ(qv::DbiEndTran(pages->DBHandle(), tr, 2), 0);
        return false;
    }

    db::TDatabase database{nullptr};
};

TEST_F(BulkTransactionTest, OwnershipAndEveryWayOutLeaveTheRowsAsSaid) {
    using B = TBulkTransaction;
    const std::vector<int> before{1, 2, 3};
    const std::vector<int> after{1, 2, 3, 10, 11, 12};
    std::vector<Case> cases;
    for (bool onComponent : {false, true})
        for (bool nested : {false, true})
            for (B::OnLeave onLeave : {B::Keep, B::TakeBack})
                for (Leave leave : {Leave::Commit, Leave::Rollback, Leave::ScopeEnd, Leave::Exception}) {
                    const bool kept = leave == Leave::Commit || (onLeave == B::Keep && leave != Leave::Rollback);
                    cases.push_back({onComponent, nested, onLeave, leave, nested || kept});
                }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.onComponent ? "component, " : "dataset, ") + (c.nested ? "nested" : "own") + ", " +
                     (c.onLeave == B::Keep ? "Keep" : "TakeBack") + ", " + Name(c.leave));
        ASSERT_EQ(StoredIds(), before);
        std::uint32_t outer = 0;
        if (c.nested) ASSERT_EQ(qv::DbiBeginTran(pages->DBHandle(), 0, outer), 0);
        try {
            std::optional<B> scope;
            Begin(scope, c.onComponent, c.onLeave);
            B& transaction = *scope;
            EXPECT_EQ(transaction.Own(), !c.nested);
            AddPages(10, 12);
            if (c.leave == Leave::Commit) {
                EXPECT_TRUE(transaction.Commit());
                EXPECT_FALSE(transaction.Own());
                // Ended once: a second commit has nothing to do.
                EXPECT_TRUE(transaction.Commit());
            } else if (c.leave == Leave::Rollback) {
                EXPECT_EQ(transaction.Rollback(), !c.nested);
                EXPECT_FALSE(transaction.Own());
                EXPECT_FALSE(transaction.Rollback());
            } else if (c.leave == Leave::Exception) {
                throw std::runtime_error("a page could not be written");
            }
        } catch (const std::runtime_error&) {
            EXPECT_EQ(c.leave, Leave::Exception);
        }
        // The scope never ends a transaction it did not begin, nor leaves
        // its own open.
        EXPECT_EQ(TransactionActive(), c.nested);
        if (c.nested) {
            // The outer transaction decides: taken back, the scope's rows go too.
            ASSERT_EQ(qv::DbiEndTran(pages->DBHandle(), outer, 2), 0);
            EXPECT_EQ(StoredIds(), before);
            continue;
        }
        EXPECT_EQ(StoredIds(), c.rowsKept ? after : before);
        // Back to the three rows for the next case.
        for (int id = 10; id <= 12; ++id)
            if (pages->FindKey({db::TValue{std::string("Demo")}, db::TValue{std::int64_t{id}}})) pages->Delete();
    }
}

// Nested in its own kind: the inner scope adds nothing, and what the outer
// one does at its end holds for the inner scope's rows.
TEST_F(BulkTransactionTest, AnInnerScopeJoinsTheOuterOne) {
    {
        TBulkTransaction outer(*pages, TBulkTransaction::TakeBack);
        ASSERT_TRUE(outer.Own());
        {
            TBulkTransaction inner(*pages, TBulkTransaction::Keep);
            EXPECT_FALSE(inner.Own());
            AddPages(10, 11);
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_TRUE(outer.Own());
        EXPECT_TRUE(TransactionActive());
    }
    EXPECT_EQ(StoredIds(), (std::vector<int>{1, 2, 3}));
}

// A commit the engine refuses is told, and the scope owns nothing after it.
TEST_F(BulkTransactionTest, ARefusedCommitAnswersFalse) {
    for (bool onComponent : {false, true}) {
        SCOPED_TRACE(onComponent ? "component" : "dataset");
        std::optional<TBulkTransaction> scope;
        Begin(scope, onComponent, TBulkTransaction::Keep);
        ASSERT_TRUE(scope->Own());
        AddPages(10, 10);
        // Ended behind the scope's back: the engine has no transaction to commit.
        std::uint32_t unused = 0;
        ASSERT_EQ(qv::DbiEndTran(pages->DBHandle(), unused, 2), 0);
        EXPECT_FALSE(scope->Commit());
        EXPECT_FALSE(scope->Own());
        EXPECT_FALSE(TransactionActive());
        EXPECT_FALSE(database.InTransaction());
    }
}

// A closed dataset, or a database component not connected, has no
// transaction to give: nothing to own.
TEST_F(BulkTransactionTest, AClosedDatasetOrDatabaseOwnsNothing) {
    for (bool onComponent : {false, true}) {
        SCOPED_TRACE(onComponent ? "component" : "dataset");
        pages->Close();
        database.Close();
        std::optional<TBulkTransaction> scope;
        Begin(scope, onComponent, TBulkTransaction::TakeBack);
        EXPECT_FALSE(scope->Own());
        EXPECT_TRUE(scope->Commit());
        EXPECT_FALSE(scope->Rollback());
        pages->Open();
        database.Open();
        EXPECT_FALSE(TransactionActive());
    }
}

class BulkTransactionWithoutEngine : public dbtest::DbFixture {};

// A dataset not on the engine: each row posts on its own, and a failure half
// way keeps the rows already posted even when the scope would take its own back.
TEST_F(BulkTransactionWithoutEngine, PostsRowByRow) {
    CreateProjectTables();
    db::TTable pages(nullptr);
    pages.DatabaseName = "Tavrin";
    pages.TableName = "TvrnITEM.QVD";
    pages.Open();
    auto store = driver_->Table("/data/prog", "TvrnITEM.QVD");
    ASSERT_EQ(store->rows.size(), 5u);
    try {
        TBulkTransaction transaction(pages, TBulkTransaction::TakeBack);
        EXPECT_FALSE(transaction.Own());
        for (int id = 20; id <= 22; ++id) {
            if (id == 22) store->failNextWrite = 13059;
            AddPage(pages, "Delta", id, "Row " + std::to_string(id));
            // In the store as soon as it is posted.
            EXPECT_EQ(store->rows.size(), 5u + static_cast<std::size_t>(id - 19));
        }
        ADD_FAILURE() << "the injected write failure did not reach the caller";
    } catch (const db::EDBEngineError&) {
    }
    if (pages.State() != db::dsBrowse) pages.Cancel();
    EXPECT_EQ(store->rows.size(), 7u);
    pages.Refresh();
    pages.SetRange({db::TValue{std::string("Delta")}}, {db::TValue{std::string("Delta")}});
    EXPECT_EQ(Column(pages, "Title"), (std::vector<std::string>{"Row 20", "Row 21"}));

    TBulkTransaction later(pages, TBulkTransaction::Keep);
    EXPECT_FALSE(later.Own());
    EXPECT_TRUE(later.Commit());
    EXPECT_FALSE(later.Rollback());
}

}  // namespace
