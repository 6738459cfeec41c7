// Table rebuilds and cached updates through the entry points: the client
// starts the server's rebuild, waits for it, and reads the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/cache_table.h"

namespace {

using namespace apitest;

class RebuildApiTest : public ApiTest {
protected:
    std::string BodyOf(hDBICur cur, const std::vector<std::uint8_t>& rec) {
        std::uint32_t size = 0;
        EXPECT_EQ(DbiOpenBlob(cur, const_cast<std::uint8_t*>(rec.data()), kBody, 0), 0);
        EXPECT_EQ(DbiGetBlobSize(cur, const_cast<std::uint8_t*>(rec.data()), kBody, size), 0);
        std::string body(size, '\0');
        std::uint32_t got = 0;
        if (size != 0) {
            EXPECT_EQ(DbiGetBlob(cur, const_cast<std::uint8_t*>(rec.data()), kBody, 0, size, body.data(), got), 0);
        }
        return body;
    }
    // Deletes the row with this help id, found by key.
    void Delete(hDBICur cur, std::int32_t id) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, id).data(), rec.data()), 0);
        ASSERT_EQ(DbiDeleteRecord(cur, nullptr), 0);
    }
    std::vector<std::int32_t> AllIds(const char* index = "HelpIdx") {
        hDBICur cur = OpenPages(index);
        EXPECT_EQ(DbiSetToBegin(cur), 0);
        std::vector<std::int32_t> ids = Walk(cur, true);
        EXPECT_EQ(DbiCloseCursor(cur), 0);
        return ids;
    }
};

TEST_F(RebuildApiTest, PackDropsDeletedRowsAndKeepsTheRestWithTheirMemos) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    for (int id = 1; id <= 5; ++id) Insert(cur, id, "T" + std::to_string(id), "body " + std::to_string(id));
    Delete(cur, 2);
    Delete(cur, 4);
    // The rebuild opens the table to itself: an open cursor refuses it, and
    // the table stays as it was.
    EXPECT_NE(DbiPackTable(db, kNilHandle, "Pages", nullptr, false), 0);
    ASSERT_EQ(DbiCloseCursor(cur), 0);
    EXPECT_EQ(AllIds(), (std::vector<std::int32_t>{1, 3, 5}));

    ASSERT_EQ(DbiPackTable(db, kNilHandle, "Pages", nullptr, false), 0);
    // The copy took the table's place; nothing temporary is left behind.
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find("_PACK"), std::string::npos) << name;
        EXPECT_EQ(name.find("_pack"), std::string::npos) << name;
    }
    cur = OpenPages();
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    std::vector<std::pair<std::int32_t, std::string>> rows;
    while (DbiGetNextRecord(cur, 0, rec.data(), nullptr) == 0) rows.emplace_back(IdOf(cur, rec), BodyOf(cur, rec));
    EXPECT_EQ(rows, (std::vector<std::pair<std::int32_t, std::string>>{{1, "body 1"}, {3, "body 3"}, {5, "body 5"}}));
    std::uint32_t count = 0;
    ASSERT_EQ(DbiGetRecordCount(cur, count), 0);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(RebuildApiTest, RestructureAddsAFieldAndAnIndexAndKeepsTheValuesByName) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    Insert(cur, 1, "beta");
    Insert(cur, 2, "alpha");
    ASSERT_EQ(DbiCloseCursor(cur), 0);

    // Title moves behind a new Rank field; a new index on the title.
    std::vector<std::uint8_t> fields;
    for (const auto& f : {FieldDesc(1, "HelpId", fldINT32, 0, 0), FieldDesc(2, "Rank", fldINT32, 0, 0),
                          FieldDesc(3, "Title", fldZSTRING, 0, 60), FieldDesc(4, "Body", fldBLOB, fldstMEMO, 0)})
        fields.insert(fields.end(), f.begin(), f.end());
    std::vector<std::uint8_t> indexes = IndexDesc("HelpIdx", {1}, true);
    std::vector<std::uint8_t> byTitle = IndexDesc("TitleIdx", {3}, false);
    indexes.insert(indexes.end(), byTitle.begin(), byTitle.end());
    CRTblDesc td;
    td.tableName = "Pages";
    td.fieldCount = 4;
    td.fieldDescs = fields.data();
    td.indexCount = 2;
    td.indexDescs = indexes.data();
    EXPECT_EQ(DbiDoRestructure(db, 2, td, nullptr, nullptr, nullptr, false), kDbiErrInvalidParam);
    ASSERT_EQ(DbiDoRestructure(db, 1, td, nullptr, nullptr, nullptr, false), 0);

    cur = OpenPages("TitleIdx");
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    ASSERT_EQ(DbiGetCursorProps(cur, props.data()), 0);
    EXPECT_EQ(CURProps::Read(props.data()).fields, 4);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    std::vector<std::string> titles;
    while (DbiGetNextRecord(cur, 0, rec.data(), nullptr) == 0) {
        char title[64] = {};
        bool blank = true;
        ASSERT_EQ(DbiGetField(cur, 3, rec.data(), title, &blank), 0);
        titles.push_back(title);
        std::int32_t rank = -1;
        ASSERT_EQ(DbiGetField(cur, 2, rec.data(), &rank, &blank), 0);
        EXPECT_TRUE(blank) << "a new field starts empty";
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"alpha", "beta"}));
    ASSERT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(RebuildApiTest, DelayedUpdatesApplyAndReportTheRowThatFails) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    Insert(cur, 1, "one");
    const hDBICur table = cur;
    ASSERT_EQ(DbiBeginDelayedUpdates(cur), 0);
    ASSERT_NE(cur, table) << "the caller now holds the cache cursor";
    Insert(cur, 2, "two");
    Insert(cur, 1, "one again");  // the unique help id refuses this one on apply
    // Nothing reaches the table before the changes are applied.
    EXPECT_EQ(AllIds(), (std::vector<std::int32_t>{1}));

    EXPECT_EQ(DbiApplyDelayedUpdates(cur, kDelayedUpdPrepare), 9729) << "the failing row is reported";
    // A commit drops what was written; the refused row stays pending and
    // the commit says so.
    EXPECT_EQ(DbiApplyDelayedUpdates(cur, kDelayedUpdCommit), 9729);
    EXPECT_EQ(AllIds(), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(DbiApplyDelayedUpdates(cur, 9), kDbiErrInvalidParam);
    EXPECT_EQ(DbiApplyDelayedUpdates(cur, kDelayedUpdCancel), 0);
    EXPECT_EQ(DbiApplyDelayedUpdates(cur, kDelayedUpdCommit), 0) << "nothing pending any more";

    ASSERT_EQ(DbiEndDelayedUpdates(cur), 0);
    EXPECT_EQ(cur, table) << "the wrapped cursor comes back";
    Insert(cur, 3, "three");
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{1, 2, 3}));
    ASSERT_EQ(DbiCloseCursor(cur), 0);
}

}  // namespace
