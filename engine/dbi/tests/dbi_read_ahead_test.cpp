// Forward scans read records ahead in batches: fewer requests, the same
// rows, the cursor where the caller thinks it is for whatever follows, and
// every change made meanwhile (by this cursor or another) seen by the next
// move.
#include <functional>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/client_table.h"

using namespace qv;
using apitest::ApiTest;
using apitest::kTitle;

namespace {

class ReadAheadTest : public ApiTest {
protected:
    hDBICur cur = kNilHandle;

    // Pages 10, 20, ... up to 10 * rows.
    void Fill(int rows) {
        OpenDb();
        CreatePages();
        cur = OpenPages();
        Rows(rows);
    }
    // One transaction: a commit each would spend the time on the disk.
    void Rows(int rows) {
        std::uint32_t tr = 0;
        ASSERT_EQ(DbiBeginTran(db, 0, tr), 0);
        for (int i = 1; i <= rows; ++i) Insert(cur, i * 10, "Title " + std::to_string(i * 10));
        ASSERT_EQ(DbiEndTran(db, tr, 0), 0);
    }
    std::uint64_t Requests(hDBICur c) { return HandleAs<TQVClientTable>(c)->RequestCount(); }
    // Reads `n` rows forward from the beginning.
    std::vector<std::int32_t> Take(hDBICur c, int n) {
        EXPECT_EQ(DbiSetToBegin(c), 0);
        std::vector<std::int32_t> ids;
        std::vector<std::uint8_t> rec(RecordSize(c), 0);
        for (int i = 0; i < n && DbiGetNextRecord(c, 0, rec.data(), nullptr) == 0; ++i) ids.push_back(IdOf(c, rec));
        return ids;
    }
    std::int32_t CurrentId(hDBICur c) {
        std::vector<std::uint8_t> rec(RecordSize(c), 0);
        DBIResult rc = DbiGetRecord(c, 0, rec.data(), nullptr);
        return rc == 0 ? IdOf(c, rec) : -static_cast<std::int32_t>(rc);
    }
    std::vector<std::uint8_t> Find(hDBICur c, std::int32_t id) {
        std::vector<std::uint8_t> rec(RecordSize(c), 0);
        EXPECT_EQ(DbiGetRecordForKey(c, true, 0, 0, KeyFor(c, id).data(), rec.data()), 0);
        return rec;
    }
};

TEST_F(ReadAheadTest, AFullScanTakesFewRequestsAndEveryRowInOrder) {
    Fill(500);
    const std::uint64_t before = Requests(cur);
    DBIResult end = 0;
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    std::vector<std::int32_t> ids = Walk(cur, true, &end);
    const std::uint64_t used = Requests(cur) - before;
    ASSERT_EQ(ids.size(), 500u);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(ids[i], (i + 1) * 10);
    EXPECT_EQ(end, kDbiErrEof);
    EXPECT_LT(used, 20u) << "one request a row would be 500";
    // At the end the cursor stays at the end, and comes back from it.
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    EXPECT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), kDbiErrEof);
    ASSERT_EQ(DbiGetPriorRecord(cur, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(IdOf(cur, rec), 5000);
}

TEST_F(ReadAheadTest, WhateverFollowsAScanFindsTheCursorOnTheLastRowHandedOut) {
    Fill(60);
    struct Case {
        const char* what;
        std::function<std::int32_t()> then;
        std::int32_t expected;
    };
    std::vector<std::uint8_t> rec;
    const Case cases[] = {
        {"the current record", [&] { return CurrentId(cur); }, 120},
        {"the prior record",
         [&] {
             rec.assign(RecordSize(cur), 0);
             return DbiGetPriorRecord(cur, 0, rec.data(), nullptr) == 0 ? IdOf(cur, rec) : -1;
         },
         110},
        {"a locked next record",
         [&] {
             rec.assign(RecordSize(cur), 0);
             const DBIResult rc = DbiGetNextRecord(cur, 1, rec.data(), nullptr);
             DbiRelRecordLock(cur, true);
             return rc == 0 ? IdOf(cur, rec) : -1;
         },
         130},
        {"a bookmark set again after moving on",
         [&] {
             std::vector<std::uint8_t> mark(64, 0);
             EXPECT_EQ(DbiGetBookMark(cur, mark.data()), 0);
             Take(cur, 40);
             EXPECT_EQ(DbiSetToBookMark(cur, mark.data()), 0);
             return CurrentId(cur);
         },
         120},
        {"a clone",
         [&] {
             hDBICur clone = kNilHandle;
             EXPECT_EQ(DbiCloneCursor(cur, true, false, clone), 0);
             const std::int32_t id = CurrentId(clone);
             DbiCloseCursor(clone);
             return id;
         },
         120},
        {"a modify of the current record",
         [&] {
             rec.assign(RecordSize(cur), 0);
             EXPECT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
             EXPECT_EQ(DbiPutField(cur, kTitle, rec.data(), "Changed"), 0);
             EXPECT_EQ(DbiModifyRecord(cur, rec.data(), true), 0);
             const std::vector<std::uint8_t> row = Find(cur, 120);
             return TitleOf(cur, row) == "Changed" ? 120 : -1;
         },
         120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Take(cur, 12).back(), 120);
        EXPECT_EQ(c.then(), c.expected);
    }
}

TEST_F(ReadAheadTest, AnotherCursorsChangesAreSeenByTheNextMove) {
    struct Case {
        const char* what;
        std::function<void(hDBICur)> change;
        std::vector<std::int32_t> next;  // the rows after the 10th
        const char* titleOf110;
    };
    const Case cases[] = {
        {"a row inserted just ahead", [&](hDBICur b) { Insert(b, 105, "New"); }, {105, 110, 120}, "Title 110"},
        {"the next row deleted",
         [&](hDBICur b) {
             Find(b, 110);
             ASSERT_EQ(DbiDeleteRecord(b, nullptr), 0);
         },
         {120, 130, 140},
         nullptr},
        {"the next row changed",
         [&](hDBICur b) {
             std::vector<std::uint8_t> row = Find(b, 110);
             ASSERT_EQ(DbiPutField(b, kTitle, row.data(), "Seen"), 0);
             ASSERT_EQ(DbiModifyRecord(b, row.data(), true), 0);
         },
         {110, 120, 130},
         "Seen"},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (round++ == 0) {
            Fill(100);
        } else {
            ASSERT_EQ(DbiCloseCursor(cur), 0);
            ASSERT_EQ(DbiEmptyTable(db, kNilHandle, "Pages", nullptr), 0);
            cur = OpenPages();
            Rows(100);
        }
        ASSERT_EQ(Take(cur, 10).back(), 100);
        hDBICur other = OpenPages();
        c.change(other);
        std::vector<std::int32_t> next;
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        std::string title110;
        for (int i = 0; i < 3 && DbiGetNextRecord(cur, 0, rec.data(), nullptr) == 0; ++i) {
            next.push_back(IdOf(cur, rec));
            if (next.back() == 110) title110 = TitleOf(cur, rec);
        }
        EXPECT_EQ(next, c.next);
        if (c.titleOf110 != nullptr) {
            EXPECT_EQ(title110, c.titleOf110);
        }
        DbiCloseCursor(other);
    }
}

TEST_F(ReadAheadTest, RangesEndWhereTheyEndAndTheNextRangeStartsAfresh) {
    Fill(200);
    struct Case {
        std::int32_t from, to;
        std::size_t rows;
    };
    for (const Case& c : {Case{100, 400, 31}, Case{1000, 1020, 3}, Case{15, 15, 0}, Case{1990, 3000, 2}}) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        std::vector<std::uint8_t> k1 = KeyFor(cur, c.from), k2 = KeyFor(cur, c.to);
        ASSERT_EQ(DbiSetRange(cur, true, 0, 0, k1.data(), true, 0, 0, k2.data(), true), 0);
        ASSERT_EQ(DbiSetToBegin(cur), 0);
        DBIResult end = 0;
        std::vector<std::int32_t> ids = Walk(cur, true, &end);
        EXPECT_EQ(ids.size(), c.rows);
        if (!ids.empty()) {
            EXPECT_EQ(ids.front(), (c.from + 9) / 10 * 10);
        }
        for (std::int32_t id : ids) EXPECT_TRUE(id >= c.from && id <= c.to) << id;
        EXPECT_EQ(end, kDbiErrEof);
    }
    ASSERT_EQ(DbiResetRange(cur), 0);
    EXPECT_EQ(Take(cur, 1000).size(), 200u);
}

TEST_F(ReadAheadTest, BlockReadsHandOutTheRowsSingleMovesWould) {
    Fill(700);
    struct Case {
        int before;             // single moves first
        std::uint32_t block;    // then block reads of this many rows to the end
        std::int32_t from, to;  // a range, when from != 0
    };
    const Case cases[] = {{0, 1, 0, 0},   {0, 7, 0, 0},     {3, 100, 0, 0},     {40, 300, 0, 0},
                          {0, 64, 0, 0},  {1, 699, 0, 0},   {0, 50, 1005, 2000}, {5, 7, 1005, 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " then blocks of " + std::to_string(c.block) + " in " +
                     std::to_string(c.from) + ".." + std::to_string(c.to));
        std::vector<std::int32_t> expected;
        if (c.from != 0) {
            std::vector<std::uint8_t> k1 = KeyFor(cur, c.from), k2 = KeyFor(cur, c.to);
            ASSERT_EQ(DbiSetRange(cur, true, 0, 0, k1.data(), true, 0, 0, k2.data(), true), 0);
            for (std::int32_t id = (c.from + 9) / 10 * 10; id <= c.to; id += 10) expected.push_back(id);
        } else {
            ASSERT_EQ(DbiResetRange(cur), 0);
            for (std::int32_t id = 10; id <= 7000; id += 10) expected.push_back(id);
        }
        std::vector<std::int32_t> ids = Take(cur, c.before);
        const std::uint32_t size = RecordSize(cur);
        std::vector<std::uint8_t> block(std::size_t(c.block) * size + 1, 0xEE);
        DBIResult rc = 0;
        std::uint32_t last = 0;
        while (rc == 0) {
            std::uint32_t got = c.block;
            rc = DbiReadBlock(cur, got, block.data());
            ASSERT_LE(got, c.block);
            if (rc == 0) {
                ASSERT_EQ(got, c.block);
            }
            for (std::uint32_t i = 0; i < got; ++i)
                ids.push_back(IdOf(cur, std::vector<std::uint8_t>(block.begin() + i * size, block.begin() + (i + 1) * size)));
            EXPECT_EQ(block[std::size_t(c.block) * size], 0xEE);  // nothing past the block
            if (rc == 0) {
                // Between blocks the cursor stands on the last row handed out.
                EXPECT_EQ(CurrentId(cur), ids.back());
            }
            last = got;
        }
        EXPECT_EQ(rc, kDbiErrEof);
        EXPECT_EQ(ids, expected);
        EXPECT_EQ(last, (expected.size() - std::min<std::size_t>(c.before, expected.size())) % c.block);
        // Past the end, and back from it onto the last row.
        std::vector<std::uint8_t> rec(size, 0);
        ASSERT_EQ(DbiGetPriorRecord(cur, 0, rec.data(), nullptr), 0);
        EXPECT_EQ(IdOf(cur, rec), expected.back());
    }
}

}  // namespace
