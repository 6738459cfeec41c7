#include "engine/client/mem_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"

namespace qv {
namespace {

FLDDesc Field(const char* name, std::uint16_t type, std::uint16_t length, std::int16_t units1 = 0,
              std::int16_t units2 = 0, std::uint16_t offset = 0) {
    FLDDesc d;
    d.name = name;
    d.fieldType = type;
    d.length = length;
    d.units1 = units1;
    d.units2 = units2;
    d.offset = offset;
    return d;
}

// Id: 32-bit integer at 0 (length derived from the type); Name: text of 8
// bytes at 4; Done: logical (2 bytes) at 12. Record size 14.
std::vector<FLDDesc> Fields() {
    return {Field("Id", 6, 0), Field("Name", 1, 0, 8), Field("Done", 4, 2)};
}

struct Table {
    TMemTable t{nullptr, nullptr, nullptr, Fields(), 0};

    std::vector<std::uint8_t> Record(std::int32_t id, const std::string& name) {
        std::vector<std::uint8_t> r(t.RecordSize(), 0);
        PutU32(r.data(), static_cast<std::uint32_t>(id));
        std::memcpy(r.data() + 4, name.data(), std::min<std::size_t>(name.size(), 8));
        return r;
    }
    void Insert(std::int32_t id, const std::string& name) {
        auto r = Record(id, name);
        ASSERT_EQ(t.InsertRecord(0, r.data()), 0);
    }
    // Ids met walking forward from the beginning.
    std::vector<std::int32_t> Walk() {
        std::vector<std::int32_t> ids;
        std::vector<std::uint8_t> r(t.RecordSize(), 0);
        t.SetToBegin();
        while (t.GetNextRecord(0, r.data(), nullptr) == 0) ids.push_back(static_cast<std::int32_t>(GetU32(r.data())));
        return ids;
    }
    std::int32_t CurrentId() {
        std::vector<std::uint8_t> r(t.RecordSize(), 0);
        EXPECT_EQ(t.GetRecord(0, r.data(), nullptr), 0);
        return static_cast<std::int32_t>(GetU32(r.data()));
    }
};

// ---- creation from descriptors -----------------------------------------------------

struct LayoutCase {
    const char* what;
    std::vector<FLDDesc> fields;
    std::vector<std::uint16_t> offsets;
    std::vector<std::uint16_t> lengths;
    std::uint32_t recordSize;
};

TEST(MemTableCreate, OffsetsAndLengthsFromDescriptors) {
    const LayoutCase cases[] = {
        // Lengths derived from the type: 5 and 12 -> 2, 6 -> 4, 7 -> 8, 8 ->
        // |units2|, others -> units1; offsets run on by each length.
        {"derived lengths",
         {Field("A", 1, 0, 10), Field("B", 6, 0), Field("C", 5, 0), Field("D", 7, 0), Field("E", 8, 0, 12, -6),
          Field("F", 12, 0), Field("G", 2, 0, 4)},
         {0, 10, 14, 16, 24, 30, 32},
         {10, 4, 2, 8, 6, 2, 4},
         36},
        // A 32-bit integer given without length or units: the next field
        // starts after its 4 bytes, not on top of them.
        {"no units", {Field("A", 6, 0), Field("B", 6, 0)}, {0, 4}, {4, 4}, 8},
        // An explicit offset is kept; the running offset continues past it.
        {"explicit offset", {Field("A", 1, 4), Field("B", 1, 4, 0, 0, 20), Field("C", 5, 0)}, {0, 20, 24}, {4, 4, 2}, 26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMemTable t(nullptr, nullptr, nullptr, c.fields, 0);
        EXPECT_EQ(t.CreateResult(), 0);
        std::vector<std::uint8_t> descs(c.fields.size() * FLDDesc::kSize, 0);
        ASSERT_EQ(t.GetFieldDescs(descs.data()), 0);
        for (std::size_t i = 0; i < c.fields.size(); ++i) {
            FLDDesc d = FLDDesc::Read(descs.data() + i * FLDDesc::kSize);
            EXPECT_EQ(d.fieldNumber, i + 1);
            EXPECT_EQ(d.offset, c.offsets[i]) << "field " << i + 1;
            EXPECT_EQ(d.length, c.lengths[i]) << "field " << i + 1;
        }
        EXPECT_EQ(t.RecordSize(), c.recordSize);
        EXPECT_EQ(t.BookmarkSize(), 4);
    }
}

TEST(MemTableCreate, FieldsBeyondSixteenBitOffsetsAreRefused) {
    TMemTable t(nullptr, nullptr, nullptr, {Field("A", 1, 60000), Field("B", 1, 60000)}, 0);
    EXPECT_EQ(t.CreateResult(), kDbiErrInvalidParam);
    EXPECT_LE(t.RecordSize(), 0xFFFFu);
}

// ---- field values -------------------------------------------------------------------

TEST(MemTableFields, BlankMeansAllZeroExceptLogical) {
    Table tb;
    auto r = tb.Record(0, "");
    struct Case {
        std::uint16_t field;
        bool blank;
    };
    // Id 0 and an empty name are blank; a false logical is a value.
    for (Case c : {Case{1, true}, Case{2, true}, Case{3, false}}) {
        bool blank = !c.blank;
        std::uint8_t dest[16];
        std::memset(dest, 0xEE, sizeof dest);
        ASSERT_EQ(tb.t.GetField(c.field, r.data(), dest, &blank), 0);
        EXPECT_EQ(blank, c.blank) << "field " << c.field;
        EXPECT_EQ(dest[0], 0) << "field " << c.field;
    }
    std::int32_t v = 77;
    ASSERT_EQ(tb.t.PutField(1, r.data(), &v), 0);
    bool blank = true;
    std::int32_t got = 0;
    ASSERT_EQ(tb.t.GetField(1, r.data(), &got, &blank), 0);
    EXPECT_FALSE(blank);
    EXPECT_EQ(got, 77);
    // Without a source the field is cleared, and only that field.
    ASSERT_EQ(tb.t.PutField(2, r.data(), "abcdefgh"), 0);
    ASSERT_EQ(tb.t.PutField(1, r.data(), nullptr), 0);
    EXPECT_EQ(GetU32(r.data()), 0u);
    EXPECT_EQ(std::memcmp(r.data() + 4, "abcdefgh", 8), 0);
    EXPECT_EQ(tb.t.GetField(1, nullptr, &got, &blank), kDbiErrInvalidParam);
}

// ---- rows and moves -----------------------------------------------------------------

TEST(MemTableRows, EmptyTableAnswersTheEnds) {
    Table tb;
    std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
    EXPECT_EQ(tb.t.First(), kDbiErrEof);
    EXPECT_EQ(tb.t.Last(), kDbiErrBof);
    EXPECT_EQ(tb.t.GetRecord(0, r.data(), nullptr), kDbiErrEof);
    EXPECT_EQ(tb.t.GetNextRecord(0, r.data(), nullptr), kDbiErrEof);
    std::uint8_t bm[4];
    EXPECT_EQ(tb.t.GetBookMark(bm), kDbiErrNoCurrRec);
    EXPECT_EQ(tb.t.UndeleteRecord(), kDbiErrNoCurrRec);
    EXPECT_EQ(tb.t.DeleteRecord(nullptr), kDbiErrNoCurrRec);
    EXPECT_EQ(tb.t.ModifyRecord(r.data(), false), kDbiErrNoCurrRec);
    EXPECT_EQ(tb.t.InsertRecord(0, nullptr), kDbiErrInvalidParam);
    EXPECT_EQ(tb.t.AppendRecord(nullptr), kDbiErrInvalidParam);
}

TEST(MemTableRows, InsertWalkBothWaysAndCount) {
    Table tb;
    for (int id : {10, 20, 30}) tb.Insert(id, "n" + std::to_string(id));
    EXPECT_EQ(tb.Walk(), (std::vector<std::int32_t>{10, 20, 30}));
    std::uint32_t count = 0;
    ASSERT_EQ(tb.t.GetRecordCount(count), 0);
    EXPECT_EQ(count, 3u);

    std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
    std::vector<std::int32_t> back;
    tb.t.SetToEnd();
    while (tb.t.GetPriorRecord(0, r.data(), nullptr) == 0) back.push_back(static_cast<std::int32_t>(GetU32(r.data())));
    EXPECT_EQ(back, (std::vector<std::int32_t>{30, 20, 10}));
    EXPECT_EQ(tb.t.State(), kCursorAtBegin);

    // Record properties of an inserted row: its ordinal and status 2.
    std::uint8_t props[kRecPropsSize] = {};
    tb.t.SetToBegin();
    tb.t.GetNextRecord(0, r.data(), nullptr);
    ASSERT_EQ(tb.t.GetNextRecord(0, r.data(), props), 0);
    EXPECT_EQ(GetU32(props), 2u);
    EXPECT_EQ(GetU32(props + 4), 2u);
    EXPECT_EQ(GetU16(props + 8), kRecInserted);
}

TEST(MemTableRows, DeleteDuringAWalkSkipsNoRow) {
    struct Case {
        const char* what;
        int deleteAt;  // id of the row deleted
        bool forward;
        std::vector<std::int32_t> after;  // ids met after the delete
    };
    const Case cases[] = {
        {"forward, middle", 2, true, {3, 4}},
        {"forward, first", 1, true, {2, 3, 4}},
        {"forward, last", 4, true, {}},
        {"backward, middle", 3, false, {2, 1}},
        {"backward, first", 1, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Table tb;
        for (int id : {1, 2, 3, 4}) tb.Insert(id, "x");
        std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
        tb.t.SetToBegin();
        while (tb.t.GetNextRecord(0, r.data(), nullptr) == 0 && static_cast<int>(GetU32(r.data())) != c.deleteAt) {
        }
        ASSERT_EQ(tb.t.DeleteRecord(nullptr), 0);
        EXPECT_EQ(tb.t.State(), kCursorAfterDelete);
        std::vector<std::int32_t> ids;
        while ((c.forward ? tb.t.GetNextRecord(0, r.data(), nullptr) : tb.t.GetPriorRecord(0, r.data(), nullptr)) == 0)
            ids.push_back(static_cast<std::int32_t>(GetU32(r.data())));
        EXPECT_EQ(ids, c.after);
        std::uint32_t count = 0;
        tb.t.GetRecordCount(count);
        EXPECT_EQ(count, 3u);
    }
}

TEST(MemTableRows, ModifyChangesTheCurrentRowAndKeepsItNew) {
    Table tb;
    tb.Insert(1, "one");
    tb.Insert(2, "two");
    std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
    tb.t.SetToBegin();
    tb.t.GetNextRecord(0, r.data(), nullptr);
    auto changed = tb.Record(1, "uno");
    ASSERT_EQ(tb.t.ModifyRecord(changed.data(), false), 0);
    std::uint8_t props[kRecPropsSize] = {};
    ASSERT_EQ(tb.t.GetRecord(0, r.data(), props), 0);
    EXPECT_EQ(std::memcmp(r.data() + 4, "uno", 3), 0);
    // Still a new row: written later it must be added, not looked up.
    EXPECT_EQ(GetU16(props + 8), kRecInserted);
    EXPECT_EQ(tb.Walk().size(), 2u);
}

TEST(MemTableRows, EmptyFreesEveryRow) {
    Table tb;
    for (int id : {1, 2, 3}) tb.Insert(id, "x");
    ASSERT_EQ(tb.t.EmptyTable(), 0);
    EXPECT_EQ(tb.t.RowCount(), 0);
    EXPECT_TRUE(tb.Walk().empty());
}

// ---- bookmarks and sequence numbers ---------------------------------------------------

TEST(MemTableBookmarks, SetToBookMarkThenGetRecordGivesThatRow) {
    Table tb;
    for (int id : {1, 2, 3, 4, 5}) tb.Insert(id, "x");
    std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
    std::vector<std::vector<std::uint8_t>> marks;
    tb.t.SetToBegin();
    while (tb.t.GetNextRecord(0, r.data(), nullptr) == 0) {
        marks.emplace_back(tb.t.BookmarkSize(), 0);
        ASSERT_EQ(tb.t.GetBookMark(marks.back().data()), 0);
    }
    for (int want : {3, 1, 5, 2}) {
        ASSERT_EQ(tb.t.SetToBookMark(marks[static_cast<std::size_t>(want - 1)].data()), 0);
        EXPECT_EQ(tb.CurrentId(), want);
        // The walk goes on from the bookmarked row.
        if (want < 5) {
            ASSERT_EQ(tb.t.GetNextRecord(0, r.data(), nullptr), 0);
            EXPECT_EQ(static_cast<int>(GetU32(r.data())), want + 1);
        }
    }
    std::int16_t cmp = 0;
    ASSERT_EQ(tb.t.CompareBookMarks(marks[1].data(), marks[3].data(), cmp), 0);
    EXPECT_EQ(cmp, -1);
    ASSERT_EQ(tb.t.CompareBookMarks(marks[3].data(), marks[3].data(), cmp), 0);
    EXPECT_EQ(cmp, 0);
    EXPECT_EQ(tb.t.CompareBookMarks(nullptr, marks[3].data(), cmp), kDbiErrInvalidParam);
}

TEST(MemTableBookmarks, AFreedRowsBookmarkFindsNoLaterRow) {
    Table tb;
    for (int id : {1, 2, 3}) tb.Insert(id, "x");
    std::vector<std::uint8_t> r(tb.t.RecordSize(), 0);
    tb.t.SetToEnd();
    ASSERT_EQ(tb.t.GetPriorRecord(0, r.data(), nullptr), 0);  // row 3
    std::vector<std::uint8_t> mark(tb.t.BookmarkSize(), 0);
    ASSERT_EQ(tb.t.GetBookMark(mark.data()), 0);
    ASSERT_EQ(tb.t.DeleteRecord(nullptr), 0);
    // A new row would take ordinal 3 again if ordinals were counted from the rows.
    tb.Insert(9, "new");
    EXPECT_EQ(tb.t.SetToBookMark(mark.data()), kDbiErrEof);
}

TEST(MemTableBookmarks, SequenceNumbersAndUndelete) {
    Table tb;
    for (int id : {7, 8, 9}) tb.Insert(id, "x");
    ASSERT_EQ(tb.t.SetToSeqNo(2), 0);
    std::uint32_t seq = 0;
    ASSERT_EQ(tb.t.GetSeqNo(seq), 0);
    EXPECT_EQ(seq, 2u);
    EXPECT_EQ(tb.CurrentId(), 8);
    EXPECT_EQ(tb.t.SetToSeqNo(42), kDbiErrEof);

    auto r = tb.Record(8, "x");
    ASSERT_EQ(tb.t.NoteDeletion(r.data(), nullptr), 0);
    std::uint8_t props[kRecPropsSize] = {};
    tb.t.FillRecProps(props);
    EXPECT_EQ(GetU16(props + 8), kRecDeleted);
    EXPECT_EQ(GetU16(props + 12), 1);
    ASSERT_EQ(tb.t.UndeleteRecord(), 0);
    tb.t.FillRecProps(props);
    EXPECT_EQ(GetU16(props + 12), 0);
}

TEST(MemTableApply, WithoutAWrappedCursorThereIsNothingToApplyTo) {
    Table tb;
    tb.Insert(1, "x");
    EXPECT_EQ(tb.t.ApplyChanges(), kDbiErrInvalidHandle);
}

TEST(MemTableVisibility, MaskDecidesByStatus) {
    TMemTableRecord modified, inserted, deleted;
    modified.status = kRecModified;
    inserted.status = kRecInserted;
    deleted.status = kRecDeleted;
    struct Case {
        const TMemTableRecord* row;
        std::uint8_t mask;
        bool shown;
    };
    const Case cases[] = {
        {&modified, kShowDefault, true},  {&inserted, kShowDefault, true}, {&deleted, kShowDefault, false},
        {nullptr, kShowDefault, true},    {&deleted, kShowDeleted, true},  {&modified, kShowDeleted, false},
        {nullptr, kShowModified, false},  {&inserted, kShowUnmodified, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMemTable::RowVisible(c.row, c.mask), c.shown)
            << "status " << (c.row ? c.row->status : -1) << " mask " << int(c.mask);
}

}  // namespace
}  // namespace qv
