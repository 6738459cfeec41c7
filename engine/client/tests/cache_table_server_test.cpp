// Cached updates over the client table cursor, with the in-process server
// underneath: the pending rows are keyed and ordered by the server's
// bookmarks, and applying them writes through real requests, which the
// server can refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/cache_table.h"

namespace apitest {
namespace {

constexpr DBIResult kKeyViolation = 9729;

class CachedPages : public ApiTest {
protected:
    hDBICur cur = kNilHandle;
    hDBICur cached = kNilHandle;
    TBaseCacheTable* cache = nullptr;

    void SetUp() override {
        ApiTest::SetUp();
        OpenDb();
        CreatePages();
        cur = OpenPages();
        for (std::int32_t id : {1, 2, 3, 4}) Insert(cur, id, "Page " + std::to_string(id));
        ASSERT_EQ(DbiSetToBegin(cur), 0);
        auto* table = HandleAs<TBaseTable>(cur);
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->BeginDelayedUpdates(cached), 0);
        cache = HandleAs<TBaseCacheTable>(cached);
        ASSERT_NE(cache, nullptr);
    }

    // Puts the cache on the record with `id` and leaves it in `rec`.
    void GoTo(std::int32_t id, std::vector<std::uint8_t>& rec) {
        rec.assign(RecordSize(cached), 0);
        ASSERT_EQ(DbiSetToBegin(cached), 0);
        while (DbiGetNextRecord(cached, 0, rec.data(), nullptr) == 0)
            if (IdOf(cached, rec) == id) return;
        FAIL() << "no record " << id;
    }

    void Retitle(std::int32_t id, const std::string& title, std::int32_t newId = 0) {
        std::vector<std::uint8_t> rec;
        GoTo(id, rec);
        ASSERT_EQ(DbiPutField(cached, kTitle, rec.data(), title.c_str()), 0);
        if (newId != 0) {
            ASSERT_EQ(DbiPutField(cached, kHelpId, rec.data(), &newId), 0);
        }
        ASSERT_EQ(DbiModifyRecord(cached, rec.data(), true), 0);
    }

    // Titles by id as a fresh cursor on the table sees them.
    std::vector<std::string> TableTitles() {
        hDBICur other = OpenPages();
        std::vector<std::string> titles;
        std::vector<std::uint8_t> rec(RecordSize(other), 0);
        while (DbiGetNextRecord(other, 0, rec.data(), nullptr) == 0)
            titles.push_back(std::to_string(IdOf(other, rec)) + ":" + TitleOf(other, rec));
        DbiCloseCursor(other);
        return titles;
    }

    std::uint32_t Pending() {
        std::uint8_t buf[4] = {};
        std::uint16_t len = 0;
        EXPECT_EQ(DbiGetProp(cached, kCachePropPendingCount, buf, sizeof buf, len), 0);
        return GetU32(buf);
    }
};

TEST_F(CachedPages, ChangesAreLaidOverTheTableUntilApplied) {
    Retitle(3, "Changed");
    std::vector<std::uint8_t> rec;
    GoTo(4, rec);
    ASSERT_EQ(DbiDeleteRecord(cached, rec.data()), 0);

    ASSERT_EQ(DbiSetToBegin(cached), 0);
    EXPECT_EQ(Walk(cached, true), (std::vector<std::int32_t>{1, 2, 3}));
    GoTo(3, rec);
    EXPECT_EQ(TitleOf(cached, rec), "Changed");
    std::uint32_t count = 0;
    ASSERT_EQ(DbiGetRecordCount(cached, count), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(TableTitles(), (std::vector<std::string>{"1:Page 1", "2:Page 2", "3:Page 3", "4:Page 4"}));

    ASSERT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdPrepare), 0);
    EXPECT_EQ(TableTitles(), (std::vector<std::string>{"1:Page 1", "2:Page 2", "3:Changed"}));
    ASSERT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdCommit), 0);
    EXPECT_EQ(Pending(), 0u);

    hDBICur back = kNilHandle;
    ASSERT_EQ(cache->EndDelayedUpdates(back), 0);
    EXPECT_EQ(back, cur);
    EXPECT_EQ(FindHandle(cached), nullptr);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{1, 2, 3}));
}

TEST_F(CachedPages, RowsTheServerRefusesAreReportedAndKept) {
    // Help id 2 renumbered to 1 breaks the unique index; page 3's new title
    // and the new page 9 are fine.
    Retitle(2, "Clash", 1);
    Retitle(3, "Changed");
    std::vector<std::uint8_t> rec(RecordSize(cached), 0);
    ASSERT_EQ(DbiInitRecord(cached, rec.data()), 0);
    std::int32_t id = 9;
    ASSERT_EQ(DbiPutField(cached, kHelpId, rec.data(), &id), 0);
    ASSERT_EQ(DbiPutField(cached, kTitle, rec.data(), "New"), 0);
    ASSERT_EQ(DbiInsertRecord(cached, 0, rec.data()), 0);
    EXPECT_EQ(Pending(), 3u);

    EXPECT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdPrepare), kKeyViolation);
    auto failed = cache->FailedRows();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].status, kRecModified);
    EXPECT_EQ(failed[0].result, kKeyViolation);
    EXPECT_EQ(TableTitles(), (std::vector<std::string>{"1:Page 1", "2:Page 2", "3:Changed", "4:Page 4", "9:New"}));

    EXPECT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdCommit), kKeyViolation);
    EXPECT_EQ(Pending(), 1u);
    ASSERT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdCancel), 0);
    EXPECT_EQ(Pending(), 0u);
    EXPECT_EQ(cache->ApplyDelayedUpdates(kDelayedUpdCommit), 0);
}

TEST_F(CachedPages, DeletionOfARecordAnotherCursorRemovedStaysUnapplied) {
    std::vector<std::uint8_t> rec;
    GoTo(2, rec);
    ASSERT_EQ(DbiDeleteRecord(cached, rec.data()), 0);
    hDBICur other = OpenPages();
    std::vector<std::uint8_t> orec(RecordSize(other), 0);
    ASSERT_EQ(DbiGetNextRecord(other, 0, orec.data(), nullptr), 0);
    ASSERT_EQ(DbiGetNextRecord(other, 0, orec.data(), nullptr), 0);
    ASSERT_EQ(IdOf(other, orec), 2);
    ASSERT_EQ(DbiDeleteRecord(other, nullptr), 0);
    DbiCloseCursor(other);

    DBIResult rc = cache->ApplyDelayedUpdates(kDelayedUpdPrepare);
    EXPECT_NE(rc, 0);
    auto failed = cache->FailedRows();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].status, kRecDeleted);
    EXPECT_EQ(failed[0].result, rc);
    EXPECT_EQ(Pending(), 1u);
}

}  // namespace
}  // namespace apitest
