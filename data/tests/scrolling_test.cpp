// The cost of moving through a dataset: the record window shifts by the rows
// that enter it, and BLOBs are read only when a field or a stream asks. The
// in-memory store counts what its cursors read.
#include "db_fixture.h"

#include "data/data_source.h"

#include <string>
#include <vector>

using namespace db;

namespace dbtest {
namespace {

constexpr int kRows = 120;

std::string BodyOf(int id) { return "{\\rtf1 page " + std::to_string(id) + std::string(200, 'x') + "}"; }

class ScrollingTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        TTable t(nullptr);
        Bind(t);
        t.FieldDefs().Add("Id", ftInteger, 0, true);
        t.FieldDefs().Add("Title", ftString, 40);
        t.FieldDefs().Add("Body", ftMemo);
        t.IndexDefs().Add("", "Id", ixPrimary);
        t.CreateTable();
        t.Open();
        for (int id = 1; id <= kRows; ++id) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(id);
            t.FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            t.FieldByName("Body")->SetAsString(BodyOf(id));
            t.Post();
        }
        t.Close();
        Bind(table);
        table.Open();
        source.SetDataSet(&table);
        grid.SetBufferCount(25);  // a grid showing 25 rows
        grid.SetDataSource(&source);
        title.SetDataSource(&source);  // an edit showing the title
        title.SetFieldName("Title");
        title.OnDataChange = [this] { shownTitle = title.Field() ? title.Field()->AsString() : ""; };
        store = driver_->Table("/data/prog", "PAGES");
    }
    void Bind(TTable& t) {
        t.DatabaseName = "Tavrin";
        t.TableName = "PAGES";
    }
    void ResetCounts() { store->recordReads = store->blobReads = 0; }
    // The ids of the rows the grid's window holds, in order.
    std::vector<int> WindowIds() {
        std::vector<int> ids;
        const int keep = table.ActiveRecord();
        for (int i = 0; i < table.WindowCount(); ++i) {
            table.SetActiveRecord(i);
            ids.push_back(static_cast<int>(table.FieldByName("Id")->AsInteger()));
        }
        table.SetActiveRecord(keep);
        return ids;
    }
    static std::vector<int> Run(int from, int to) {
        std::vector<int> v;
        for (int i = from; i <= to; ++i) v.push_back(i);
        return v;
    }

    TTable table{nullptr};
    TDataSource source{nullptr};
    TDataLink grid;
    TFieldDataLink title;
    std::string shownTitle;
    std::shared_ptr<MemTable> store;
};

TEST_F(ScrollingTest, WalkingReadsAtMostTwoRecordsPerMoveAndNoBlob) {
    table.First();
    ResetCounts();
    int moves = 0, expected = 1;
    for (; !table.Eof(); table.Next(), ++moves) {
        ASSERT_EQ(table.FieldByName("Id")->AsInteger(), expected) << "after " << moves << " moves";
        ASSERT_EQ(shownTitle, "Page " + std::to_string(expected));
        ++expected;
    }
    EXPECT_EQ(expected, kRows + 1);
    EXPECT_LE(store->recordReads, 2 * moves);
    EXPECT_EQ(store->blobReads, 0);
    // The window holds the last 25 rows, the last one active.
    EXPECT_EQ(WindowIds(), Run(kRows - 24, kRows));
    EXPECT_EQ(table.ActiveRecord(), 24);
    EXPECT_EQ(grid.ActiveRecord(), 24);

    // And back again.
    ResetCounts();
    moves = 0;
    for (; !table.Bof(); table.Prior(), ++moves) ASSERT_EQ(table.FieldByName("Id")->AsInteger(), kRows - moves);
    EXPECT_EQ(moves, kRows);
    EXPECT_LE(store->recordReads, 2 * moves);
    EXPECT_EQ(store->blobReads, 0);
    EXPECT_EQ(WindowIds(), Run(1, 25));
    EXPECT_EQ(table.ActiveRecord(), 0);
}

// Jumps by many rows stay correct inside and across the window, and what is
// read grows with the rows that enter the window, not with its size.
TEST_F(ScrollingTest, MoveByShiftsTheWindowByTheRowsThatEnterIt) {
    table.First();
    struct Case { int by; int moved; int id; std::vector<int> window; };
    for (const Case& c : {Case{10, 10, 11, Run(1, 25)}, Case{20, 20, 31, Run(7, 31)}, Case{-3, -3, 28, Run(7, 31)},
                          Case{-30, -27, 1, Run(1, 25)}, Case{kRows + 5, kRows - 1, kRows, Run(kRows - 24, kRows)}}) {
        ResetCounts();
        EXPECT_EQ(table.MoveBy(c.by), c.moved) << c.by;
        EXPECT_EQ(table.FieldByName("Id")->AsInteger(), c.id) << c.by;
        EXPECT_EQ(WindowIds(), c.window) << c.by;
        EXPECT_LE(store->recordReads, std::abs(c.moved) + 2) << c.by;
        EXPECT_EQ(store->blobReads, 0);
    }
    EXPECT_TRUE(table.Eof());
}

TEST_F(ScrollingTest, BlobIsReadWhenItsFieldOrAStreamAsksAndOnlyOnce) {
    table.MoveBy(30);
    ResetCounts();
    TField* body = table.FieldByName("Body");
    EXPECT_EQ(body->AsString(), BodyOf(31));
    EXPECT_EQ(body->AsString(), BodyOf(31));
    EXPECT_EQ(store->blobReads, 1);
    // Another row of the window, as a grid paints it: its own memo, and the
    // cursor stays on the active row.
    table.SetActiveRecord(0);
    EXPECT_EQ(body->AsString(), BodyOf(7));
    table.SetActiveRecord(24);
    EXPECT_EQ(store->blobReads, 2);
    table.Next();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 32);
    // A stream reads the memo of the row it is made on.
    auto stream = table.CreateBlobStream(body, bmRead);
    std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
    stream->Read(bytes.data(), stream->Size());
    EXPECT_EQ(bytes, BodyOf(32));
    EXPECT_EQ(store->blobReads, 3);
}

// Rows that entered the window by a step carry no bookmark until one is
// needed; everything that needs one still lands on the right row.
TEST_F(ScrollingTest, RowsThatSteppedInServeBookmarksEditsAndOtherRowsMemos) {
    table.First();
    table.MoveBy(99);  // row 100; the window holds 76..100, all stepped in
    ASSERT_EQ(table.FieldByName("Id")->AsInteger(), 100);
    const TBookmark at100 = table.GetBookmark();
    table.SetActiveRecord(0);
    EXPECT_EQ(table.FieldByName("Body")->AsString(), BodyOf(76));
    table.SetActiveRecord(24);
    table.Edit();
    table.FieldByName("Title")->SetAsString("Hundred");
    table.Post();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 100);
    table.MoveBy(-30);
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 70);
    table.GotoBookmark(at100);
    EXPECT_EQ(table.FieldByName("Title")->AsString(), "Hundred");
    table.MoveBy(5);
    table.Insert();
    table.Cancel();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 105);
    table.Delete();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 106);
    table.Prior();
    EXPECT_EQ(table.FieldByName("Id")->AsInteger(), 104);
    EXPECT_EQ(table.FieldByName("Body")->AsString(), BodyOf(104));
    EXPECT_EQ(table.RecordCount(), kRows - 1);
}

// Another user deletes the row after the active one: the next move must show
// where the cursor really is, so an edit never hits a row other than the one
// shown.
TEST_F(ScrollingTest, AnotherUsersDeleteInsideTheWindowIsNoticed) {
    table.First();
    TTable other(nullptr);
    Bind(other);
    other.Open();
    other.Next();
    ASSERT_EQ(other.FieldByName("Id")->AsInteger(), 2);
    other.Delete();
    table.Next();
    ASSERT_EQ(table.FieldByName("Id")->AsInteger(), 3);
    table.Edit();
    table.FieldByName("Title")->SetAsString("Three");
    table.Post();
    other.First();
    other.Next();
    EXPECT_EQ(other.FieldByName("Id")->AsInteger(), 3);
    EXPECT_EQ(other.FieldByName("Title")->AsString(), "Three");
    EXPECT_EQ(WindowIds().front(), 1);
    EXPECT_EQ(WindowIds()[1], 3);
}

// Editing a row whose memo was never read must not lose the memo.
TEST_F(ScrollingTest, PostingARowWithAnUnreadMemoKeepsTheMemo) {
    table.MoveBy(40);
    table.Edit();
    table.FieldByName("Title")->SetAsString("Renamed");
    table.Post();
    table.Close();
    table.Open();
    table.MoveBy(40);
    EXPECT_EQ(table.FieldByName("Title")->AsString(), "Renamed");
    EXPECT_EQ(table.FieldByName("Body")->AsString(), BodyOf(41));
}

}  // namespace
}  // namespace dbtest
