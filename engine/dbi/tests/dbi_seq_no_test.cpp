// Sequence numbers of a table cursor: the position in the cursor's order
// from 1, in index order and in record order, within a range, among the
// records the filters accept, and after another cursor's change.
#include <algorithm>
#include <numeric>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/filter.h"
#include "engine/client/tests/filter_tree.h"

using namespace qv;
using apitest::ApiTest;

namespace {

// Enough pages that their index is a tree of several pages.
constexpr std::int32_t kRows = 1200;

class SeqNoTest : public ApiTest {
protected:
    std::vector<std::int32_t> inserted;  // help ids in record order

    void Fill() {
        OpenDb();
        CreatePages();
        hDBICur cur = OpenPages();
        ASSERT_NE(cur, kNilHandle);
        std::uint32_t tr = 0;
        ASSERT_EQ(DbiBeginTran(db, 0, tr), 0);
        for (std::int32_t i = 0; i < kRows; ++i) {
            const std::int32_t id = 1 + (i * 7) % kRows;  // scattered: record order is not key order
            inserted.push_back(id);
            Insert(cur, id, "Page");
        }
        ASSERT_EQ(DbiEndTran(db, tr, 0), 0);
        DbiCloseCursor(cur);
    }

    static std::int32_t CurrentId(hDBICur cur) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        EXPECT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
        return IdOf(cur, rec);
    }
    static std::uint32_t SeqNo(hDBICur cur) {
        std::uint32_t seq = 0;
        EXPECT_EQ(DbiGetSeqNo(cur, seq), 0);
        return seq;
    }
};

TEST_F(SeqNoTest, PositionsInIndexOrderRecordOrderRangesAndFilters) {
    Fill();
    const std::int32_t none = 0;
    struct Case {
        const char* what;
        const char* index;        // nullptr: record order
        std::int32_t from, to;    // an inclusive range of help ids, 0: none
        std::int32_t atLeast;     // a filter HelpId >= atLeast, 0: none
        std::uint32_t seqNo;
        DBIResult result;
        std::int32_t id;          // of the record that becomes current
    };
    const Case cases[] = {
        {"index first", "HelpIdx", 0, 0, 0, 1, 0, 1},
        {"index second", "HelpIdx", 0, 0, 0, 2, 0, 2},
        {"index middle", "HelpIdx", 0, 0, 0, 617, 0, 617},
        {"index last", "HelpIdx", 0, 0, 0, kRows, 0, kRows},
        {"index past the last", "HelpIdx", 0, 0, 0, kRows + 1, kDbiErrEof, none},
        {"index zero", "HelpIdx", 0, 0, 0, 0, kDbiErrEof, none},
        {"record order first", nullptr, 0, 0, 0, 1, 0, inserted[0]},
        {"record order middle", nullptr, 0, 0, 0, 700, 0, inserted[699]},
        {"record order last", nullptr, 0, 0, 0, kRows, 0, inserted[kRows - 1]},
        {"record order past the last", nullptr, 0, 0, 0, kRows + 1, kDbiErrEof, none},
        {"range first", "HelpIdx", 300, 399, 0, 1, 0, 300},
        {"range last", "HelpIdx", 300, 399, 0, 100, 0, 399},
        {"range past its end", "HelpIdx", 300, 399, 0, 101, kDbiErrEof, none},
        {"filter first", "HelpIdx", 0, 0, 1000, 1, 0, 1000},
        {"filter last", "HelpIdx", 0, 0, 1000, 201, 0, kRows},
        {"filter past the last", "HelpIdx", 0, 0, 1000, 202, kDbiErrEof, none},
        {"filter in record order", nullptr, 0, 0, 1000, 3, 0, 1016},
        {"range and filter", "HelpIdx", 300, 399, 350, 10, 0, 359},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hDBICur cur = OpenPages(c.index);
        ASSERT_NE(cur, kNilHandle);
        if (c.from != 0) {
            auto lo = KeyFor(cur, c.from), hi = KeyFor(cur, c.to);
            ASSERT_EQ(DbiSetRange(cur, true, 0, 0, lo.data(), true, 0, 0, hi.data(), true), 0);
        }
        hDBIFilter filter = 0;
        if (c.atLeast != 0) {
            using namespace qv::testing;
            std::vector<std::uint8_t> tree = BuildTree(Compare(kOpGe, Field("HelpId"), Int32(c.atLeast)));
            ASSERT_EQ(DbiAddFilter(cur, 0, 1, false, tree.data(), nullptr, filter), 0);
            ASSERT_EQ(DbiActivateFilter(cur, filter), 0);
        }
        // Standing on the third record first: a refused jump keeps it there.
        ASSERT_EQ(DbiSetToBegin(cur), 0);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(DbiGetNextRecord(cur, 0, nullptr, nullptr), 0);
        const std::int32_t third = CurrentId(cur);
        EXPECT_EQ(SeqNo(cur), 3u);
        EXPECT_EQ(DbiSetToSeqNo(cur, c.seqNo), c.result);
        if (c.result == 0) {
            EXPECT_EQ(CurrentId(cur), c.id);
            EXPECT_EQ(SeqNo(cur), c.seqNo);
            // The next move goes on from there.
            if (DbiGetNextRecord(cur, 0, nullptr, nullptr) == 0) {
                EXPECT_EQ(SeqNo(cur), c.seqNo + 1);
            }
        } else {
            EXPECT_EQ(CurrentId(cur), third);
            EXPECT_EQ(SeqNo(cur), 3u);
        }
        DbiCloseCursor(cur);
    }
}

TEST_F(SeqNoTest, FollowsAWalkReadAheadAndAnotherCursorsChanges) {
    Fill();
    hDBICur cur = OpenPages();
    std::uint32_t seq = 0;
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(DbiGetSeqNo(cur, seq), kDbiErrNoCurrRec) << "before the first record";
    // Forward moves read ahead; the number is that of the record handed out.
    for (std::uint32_t i = 1; i <= 300; ++i) {
        ASSERT_EQ(DbiGetNextRecord(cur, 0, nullptr, nullptr), 0);
        if (i % 37 == 0 || i < 4) {
            ASSERT_EQ(SeqNo(cur), i);
        }
    }
    ASSERT_EQ(DbiGetPriorRecord(cur, 0, nullptr, nullptr), 0);
    EXPECT_EQ(SeqNo(cur), 299u);
    EXPECT_EQ(CurrentId(cur), 299);
    // Another cursor adds a record in front and removes one further on.
    hDBICur other = OpenPages();
    apitest::ApiTest::Insert(other, 0, "Front");
    EXPECT_EQ(SeqNo(cur), 300u);
    EXPECT_EQ(CurrentId(cur), 299);
    ASSERT_EQ(DbiSetToSeqNo(other, 100), 0);
    EXPECT_EQ(CurrentId(other), 99);
    ASSERT_EQ(DbiDeleteRecord(other, nullptr), 0);
    EXPECT_EQ(SeqNo(cur), 299u);
    ASSERT_EQ(DbiSetToEnd(cur), 0);
    EXPECT_EQ(DbiGetSeqNo(cur, seq), kDbiErrNoCurrRec) << "after the last record";
    ASSERT_EQ(DbiGetPriorRecord(cur, 0, nullptr, nullptr), 0);
    EXPECT_EQ(SeqNo(cur), static_cast<std::uint32_t>(kRows));
    DbiCloseCursor(other);
    DbiCloseCursor(cur);
}

}  // namespace
