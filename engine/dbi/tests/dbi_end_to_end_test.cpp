// The whole road through the entry points only: the in-process server,
// a table made, filled, walked, searched, filtered and read back by a
// second run over the same folder.
#include <cstring>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/filter.h"
#include "engine/client/tests/filter_tree.h"

using namespace qv;
using apitest::ApiTest;

namespace {

std::string BodyText(std::size_t n, char seed) {
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (seed + i * 7) % 26);
    return s;
}

class EndToEndTest : public ApiTest {};

TEST_F(EndToEndTest, FillWalkSearchFilterAndReadBackInASecondRun) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    ASSERT_NE(cur, kNilHandle);
    // Out of key order, so the walk shows the index's order.
    const std::string bigBody = BodyText(5000, 3);
    Insert(cur, 3, "Three", "short body");
    Insert(cur, 1, "One");
    Insert(cur, 4, "Four", bigBody);
    Insert(cur, 2, "Two");

    std::uint32_t count = 0;
    ASSERT_EQ(DbiGetRecordCount(cur, count), 0);
    EXPECT_EQ(count, 4u);

    DBIResult end = 0;
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true, &end), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(end, kDbiErrEof);
    ASSERT_EQ(DbiSetToEnd(cur), 0);
    EXPECT_EQ(Walk(cur, false, &end), (std::vector<std::int32_t>{4, 3, 2, 1}));
    EXPECT_EQ(end, kDbiErrBof);

    // Bookmarks: mark 2, move away, come back.
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    ASSERT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), 0);
    ASSERT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), 0);
    ASSERT_EQ(IdOf(cur, rec), 2);
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    ASSERT_EQ(DbiGetCursorProps(cur, props.data()), 0);
    const std::uint16_t bmSize = CURProps::Read(props.data()).bookmarkSize;
    std::vector<std::uint8_t> mark2(bmSize, 0), mark4(bmSize, 0);
    ASSERT_EQ(DbiGetBookMark(cur, mark2.data()), 0);
    ASSERT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), 0);
    ASSERT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), 0);
    ASSERT_EQ(IdOf(cur, rec), 4);
    ASSERT_EQ(DbiGetBookMark(cur, mark4.data()), 0);
    std::int16_t cmp = 0;
    ASSERT_EQ(DbiCompareBookMarks(cur, mark2.data(), mark4.data(), cmp), 0);
    EXPECT_EQ(cmp, -1);
    ASSERT_EQ(DbiSetToBookMark(cur, mark2.data()), 0);
    std::fill(rec.begin(), rec.end(), 0);
    ASSERT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(IdOf(cur, rec), 2);
    EXPECT_EQ(TitleOf(cur, rec), "Two");
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{3, 4}));

    // A range 2..3 inclusive, then without it again.
    auto lo = KeyFor(cur, 2), hi = KeyFor(cur, 3);
    ASSERT_EQ(DbiSetRange(cur, true, 0, 0, lo.data(), true, 0, 0, hi.data(), true), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{2, 3}));
    ASSERT_EQ(DbiSetToEnd(cur), 0);
    EXPECT_EQ(Walk(cur, false), (std::vector<std::int32_t>{3, 2}));
    ASSERT_EQ(DbiResetRange(cur), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true).size(), 4u);

    // Key search: the record for key 4 carries the 5,000-byte body.
    auto key4 = KeyFor(cur, 4);
    std::fill(rec.begin(), rec.end(), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, key4.data(), rec.data()), 0);
    ASSERT_EQ(IdOf(cur, rec), 4);
    std::uint32_t size = 0;
    ASSERT_EQ(DbiGetBlobSize(cur, rec.data(), apitest::kBody, size), 0);
    EXPECT_EQ(size, 5000u);
    std::string back(5000, '\0');
    std::uint32_t read = 0;
    ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, 5000, back.data(), read), 0);
    EXPECT_EQ(read, 5000u);
    EXPECT_EQ(back, bigBody);

    // A filter HelpId >= 2: only the matching rows, in both directions.
    using namespace qv::testing;
    std::vector<std::uint8_t> tree = BuildTree(Compare(kOpGe, Field("HelpId"), Int32(2)));
    hDBIFilter filter = 0;
    ASSERT_EQ(DbiAddFilter(cur, 0, 1, false, tree.data(), nullptr, filter), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true).size(), 4u) << "a filter does nothing until activated";
    ASSERT_EQ(DbiActivateFilter(cur, filter), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{2, 3, 4}));
    ASSERT_EQ(DbiSetToEnd(cur), 0);
    EXPECT_EQ(Walk(cur, false), (std::vector<std::int32_t>{4, 3, 2}));
    ASSERT_EQ(DbiGetExactRecordCount(cur, count), 0);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(DbiDeactivateFilter(cur, filter), 0);
    ASSERT_EQ(DbiGetExactRecordCount(cur, count), 0);
    EXPECT_EQ(count, 4u);
    ASSERT_EQ(DbiDropFilter(cur, filter), 0);
    EXPECT_EQ(DbiActivateFilter(cur, filter), kDbiErrNoSuchFilter);

    ASSERT_EQ(DbiCloseCursor(cur), 0);
    EXPECT_EQ(cur, kNilHandle);
    ASSERT_EQ(DbiCloseDatabase(db), 0);
    EXPECT_EQ(db, kNilHandle);
    ASSERT_EQ(DbiExit(), 0);

    // The second run reads what the first one wrote, opening by index name
    // in another letter case.
    ASSERT_EQ(DbiInit(nullptr), 0);
    OpenDb();
    cur = OpenPages("HELPIDX");
    ASSERT_NE(cur, kNilHandle);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{1, 2, 3, 4}));
    std::fill(rec.begin(), rec.end(), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 4).data(), rec.data()), 0);
    EXPECT_EQ(TitleOf(cur, rec), "Four");
    std::string again(5000, '\0');
    ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, 5000, again.data(), read), 0);
    EXPECT_EQ(read, 5000u);
    EXPECT_EQ(again, bigBody);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(EndToEndTest, IndexNamesInEveryFormOpenTheSameIndex) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    Insert(cur, 2, "b");
    Insert(cur, 1, "a");
    ASSERT_EQ(DbiCloseCursor(cur), 0);
    struct Case {
        const char* index;
        DBIResult open;
        const char* opened;
        std::vector<std::int32_t> order;
    };
    const std::vector<std::int32_t> byKey{1, 2}, asInserted{2, 1};
    for (const Case& c : {Case{"HelpIdx", 0, "HelpIdx", byKey}, Case{"helpidx", 0, "HelpIdx", byKey},
                          Case{" HELPIDX ", 0, "HelpIdx", byKey}, Case{"1", 0, "HelpIdx", byKey},
                          Case{"HelpId", 0, "HelpIdx", byKey}, Case{"@HelpId", 0, "HelpIdx", byKey},
                          Case{"0", 0, "Seq. Access Index", asInserted}, Case{"", 0, "Seq. Access Index", asInserted},
                          Case{"Title", kDbiErrInvalidIndexName, "", {}}, Case{"7", kDbiErrInvalidIndexName, "", {}},
                          Case{"NoSuch", kDbiErrInvalidIndexName, "", {}}}) {
        hDBICur h = kNilHandle;
        EXPECT_EQ(DbiOpenTable(db, "Pages", nullptr, c.index, nullptr, 0, 0, 0, 0, false, nullptr, h), c.open)
            << c.index;
        if (c.open != 0) {
            EXPECT_EQ(h, kNilHandle) << c.index;
            continue;
        }
        std::vector<std::uint8_t> desc(IDXDesc::kSize, 0);
        ASSERT_EQ(DbiGetIndexDesc(h, 0, desc.data()), 0);
        EXPECT_EQ(IDXDesc::Read(desc.data()).name, c.opened) << c.index;
        ASSERT_EQ(DbiSetToBegin(h), 0);
        EXPECT_EQ(Walk(h, true), c.order) << c.index;
        EXPECT_EQ(DbiCloseCursor(h), 0);
    }
}

}  // namespace
