#include "engine/client/cache_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/client/filter.h"
#include "engine/client/tests/filter_tree.h"

namespace qv {
namespace {

// A table cursor over rows with stable ids, standing in for the client
// table cursor: records of 13 bytes (Id, 32-bit, at 0; Name, 8 bytes, at 4;
// one trailing byte beyond the fields, as the null flags follow a client
// record's fields), bookmarks of 8 bytes holding the row's id, and writes
// that can be told to fail.
class KeyedRows : public TBaseTable {
public:
    static constexpr std::uint32_t kRecordSize = 13;

    KeyedRows(TBapiCollection* list) : TBaseTable(nullptr, list, 0, 0, "ROWS") {
        SetRecordSize(kRecordSize);
        Open();
    }

    static std::vector<std::uint8_t> Record(std::uint32_t id, const std::string& name, std::uint8_t tail = 0) {
        std::vector<std::uint8_t> r(kRecordSize, 0);
        PutU32(r.data(), id);
        std::memcpy(r.data() + 4, name.data(), std::min<std::size_t>(name.size(), 8));
        r[12] = tail;
        return r;
    }
    void Add(std::uint32_t id, const std::string& name) { rows.push_back(Record(id, name)); }
    std::uint32_t IdAt(std::size_t i) const { return GetU32(rows[i].data()); }
    std::vector<std::uint8_t>* Find(std::uint32_t id) {
        for (auto& r : rows)
            if (GetU32(r.data()) == id) return &r;
        return nullptr;
    }
    std::string NameOf(std::uint32_t id) {
        auto* r = Find(id);
        return r == nullptr ? "<none>" : std::string(reinterpret_cast<const char*>(r->data()) + 4,
                                                     strnlen(reinterpret_cast<const char*>(r->data()) + 4, 8));
    }

    DBIResult Open() override {
        SetState(kCursorUnpositioned);
        for (int n = 1; n <= 2; ++n) {
            TFieldCacheItem* item = nullptr;
            GetCacheItem(n, item);
        }
        return SetResult(0);
    }
    std::uint16_t BookmarkSize() const override { return 8; }
    DBIResult First() override { return rows.empty() ? SetResult(kDbiErrEof) : Land(0); }
    DBIResult Last() override { return rows.empty() ? SetResult(kDbiErrBof) : Land(static_cast<long>(rows.size()) - 1); }
    DBIResult NextRaw() override {
        long next = afterDelete_ ? pos_ : pos_ + 1;
        if (next >= static_cast<long>(rows.size())) return SetResult(kDbiErrEof);
        return Land(next);
    }
    DBIResult PriorRaw() override {
        long prior = pos_ - 1;
        if (prior < 0) return SetResult(kDbiErrBof);
        return Land(std::min(prior, static_cast<long>(rows.size()) - 1));
    }
    DBIResult GetNativeDesc(std::uint16_t n, FLDDesc& desc, std::uint16_t& type, std::uint16_t& length) override {
        if (n < 1 || n > 2) return SetResult(kDbiErrOutOfRange);
        desc = FLDDesc();
        desc.fieldNumber = n;
        desc.name = n == 1 ? "Id" : "Name";
        desc.fieldType = n == 1 ? 6 : 1;
        desc.offset = n == 1 ? 0 : 4;
        desc.length = n == 1 ? 4 : 8;
        type = desc.fieldType;
        length = desc.length;
        return SetResult(0);
    }
    DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) override {
        const auto* at = static_cast<const std::uint8_t*>(record) + item.desc.offset;
        blank = false;
        if (dest != nullptr) std::memcpy(dest, at, item.desc.length);
        return SetResult(0);
    }
    DBIResult GetBookMark(void* bookmark) override {
        if (State() != kCursorOnRecord || afterDelete_ || pos_ < 0 || pos_ >= static_cast<long>(rows.size()))
            return SetResult(kDbiErrNoCurrRec);
        std::memset(bookmark, 0, 8);
        PutU32(bookmark, IdAt(static_cast<std::size_t>(pos_)));
        return SetResult(0);
    }
    DBIResult SetToBookMark(const void* bookmark) override {
        std::uint32_t id = GetU32(bookmark);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (IdAt(i) != id) continue;
            pos_ = static_cast<long>(i);
            afterDelete_ = false;
            SetState(kCursorOnRecord);
            return SetResult(0);
        }
        return SetResult(kDbiErrKeyOrRecDeleted);
    }
    DBIResult RereadAtBookmark(const void* bookmark, void* record) override {
        DBIResult rc = SetToBookMark(bookmark);
        if (rc == 0 && record != nullptr) std::memcpy(record, rows[static_cast<std::size_t>(pos_)].data(), kRecordSize);
        return rc;
    }
    DBIResult CompareBookMarks(const void* a, const void* b, std::int16_t& result) override {
        if (a == nullptr || b == nullptr) return SetResult(kDbiErrInvalidParam);
        std::uint32_t x = GetU32(a), y = GetU32(b);
        result = static_cast<std::int16_t>(x < y ? -1 : (x > y ? 1 : 0));
        return SetResult(0);
    }
    DBIResult InsertRecord(std::uint32_t, void* record) override {
        if (record == nullptr) return SetResult(kDbiErrInvalidParam);
        if (insertFails != 0) return SetResult(insertFails);
        auto* r = static_cast<std::uint8_t*>(record);
        rows.emplace_back(r, r + kRecordSize);
        ++writes;
        return SetResult(0);
    }
    DBIResult ModifyRecord(void* record, bool) override {
        if (record == nullptr) return SetResult(kDbiErrInvalidParam);
        if (State() != kCursorOnRecord || pos_ < 0) return SetResult(kDbiErrNoCurrRec);
        auto& row = rows[static_cast<std::size_t>(pos_)];
        auto fail = failModify.find(GetU32(row.data()));
        if (fail != failModify.end()) return SetResult(fail->second);
        std::memcpy(row.data(), record, kRecordSize);
        ++writes;
        return SetResult(0);
    }
    DBIResult DeleteRecord(void* record) override {
        if (State() != kCursorOnRecord || pos_ < 0) return SetResult(kDbiErrNoCurrRec);
        if (record != nullptr) std::memcpy(record, rows[static_cast<std::size_t>(pos_)].data(), kRecordSize);
        rows.erase(rows.begin() + pos_);
        afterDelete_ = true;
        SetState(kCursorAfterDelete);
        ++writes;
        return SetResult(0);
    }

    std::vector<std::vector<std::uint8_t>> rows;
    std::map<std::uint32_t, DBIResult> failModify;
    DBIResult insertFails = 0;
    int writes = 0;

private:
    DBIResult Land(long at) {
        pos_ = at;
        afterDelete_ = false;
        if (ActiveRecord() != nullptr) std::memcpy(ActiveRecord(), rows[static_cast<std::size_t>(at)].data(), kRecordSize);
        return SetResult(0);
    }
    long pos_ = -1;
    bool afterDelete_ = false;
};

constexpr DBIResult kKeyViolation = 9729;

struct Cached {
    TBapiCollection list;
    KeyedRows* rows = new KeyedRows(&list);
    TBaseCacheTable* cache = nullptr;
    hDBICur handle = kNilHandle;

    Cached() {
        for (std::uint32_t id : {1, 2, 3, 4}) rows->Add(id, "row" + std::to_string(id));
        EXPECT_EQ(rows->BeginDelayedUpdates(handle), 0);
        cache = HandleAs<TBaseCacheTable>(handle);
        EXPECT_NE(cache, nullptr);
    }

    // Ids and names the cache shows, walking from the beginning.
    std::vector<std::string> Walk() {
        std::vector<std::string> seen;
        std::vector<std::uint8_t> r(KeyedRows::kRecordSize, 0);
        cache->SetToBegin();
        while (cache->GetNextRecord(0, r.data(), nullptr) == 0)
            seen.push_back(std::to_string(GetU32(r.data())) + ":" +
                           std::string(reinterpret_cast<const char*>(r.data()) + 4,
                                       strnlen(reinterpret_cast<const char*>(r.data()) + 4, 8)));
        return seen;
    }
    // Moves the cache onto the record with `id`.
    void GoTo(std::uint32_t id) {
        std::vector<std::uint8_t> r(KeyedRows::kRecordSize, 0);
        cache->SetToBegin();
        while (cache->GetNextRecord(0, r.data(), nullptr) == 0)
            if (GetU32(r.data()) == id) return;
        ADD_FAILURE() << "no record " << id;
    }
    void Modify(std::uint32_t id, const std::string& name, std::uint8_t tail = 0) {
        GoTo(id);
        auto r = KeyedRows::Record(id, name, tail);
        ASSERT_EQ(cache->ModifyRecord(r.data(), false), 0);
    }
    void Delete(std::uint32_t id) {
        GoTo(id);
        ASSERT_EQ(cache->DeleteRecord(nullptr), 0);
    }
    void Insert(std::uint32_t id, const std::string& name) {
        auto r = KeyedRows::Record(id, name);
        ASSERT_EQ(cache->InsertRecord(0, r.data()), 0);
    }
    std::uint32_t Prop(std::uint32_t id) {
        std::uint8_t buf[4] = {};
        std::uint16_t len = 0;
        EXPECT_EQ(cache->GetProp(id, buf, sizeof buf, len), 0);
        return len == 1 ? buf[0] : GetU32(buf);
    }
};

TEST(CacheTable, BeginWrapsTheCursorAndReadsThrough) {
    Cached c;
    EXPECT_NE(c.handle, c.rows->Handle());
    EXPECT_EQ(c.cache->Wrapped(), c.rows);
    EXPECT_EQ(c.cache->Pending()->DataSize(), KeyedRows::kRecordSize);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:row1", "2:row2", "3:row3", "4:row4"}));
    EXPECT_EQ(c.Prop(kCachePropShownMask), kShowDefault);
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 0u);
    EXPECT_EQ(c.cache->SwitchToIndex("X", nullptr, 0, false), kDbiErrNotSupported);
    EXPECT_EQ(c.cache->GetDelayedUpdates(nullptr), kDbiErrInvalidParam);
    EXPECT_EQ(c.cache->ApplyDelayedUpdates(9), kDbiErrInvalidParam);
}

TEST(CacheTable, DeletedRecordHiddenUntilTheMaskShowsDeletions) {
    Cached c;
    c.Delete(2);
    EXPECT_EQ(c.rows->rows.size(), 4u);  // only noted
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:row1", "3:row3", "4:row4"}));
    // Backwards too.
    std::vector<std::uint8_t> r(KeyedRows::kRecordSize, 0);
    std::vector<std::uint32_t> back;
    c.cache->SetToEnd();
    while (c.cache->GetPriorRecord(0, r.data(), nullptr) == 0) back.push_back(GetU32(r.data()));
    EXPECT_EQ(back, (std::vector<std::uint32_t>{4, 3, 1}));

    ASSERT_EQ(c.cache->SetProp(kCachePropShownMask, kShowDefault | kShowDeleted), 0);
    EXPECT_EQ(c.Walk().size(), 4u);
    c.GoTo(2);
    std::uint8_t props[kRecPropsSize] = {};
    ASSERT_EQ(c.cache->GetRecord(0, r.data(), props), 0);
    EXPECT_EQ(GetU16(props + 8), kRecDeleted);
    EXPECT_EQ(GetU16(props + 12), 1);
    // Only deletions shown: the current (deleted) record stays, the others go.
    ASSERT_EQ(c.cache->SetProp(kCachePropShownMask, kShowDeleted), 0);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"2:row2"}));
    c.GoTo(2);
    ASSERT_EQ(c.cache->SetProp(kCachePropShownMask, kShowUnmodified), 0);
    EXPECT_EQ(c.cache->GetRecord(0, r.data(), nullptr), kDbiErrNoCurrRec);
}

TEST(CacheTable, FirstAndLastWithinRangeStepOverHiddenRecords) {
    Cached c;
    c.Delete(1);
    c.Delete(4);
    std::vector<std::uint8_t> r(KeyedRows::kRecordSize, 0);
    c.GoTo(3);
    c.cache->SetActiveRecord(r.data());
    ASSERT_EQ(c.cache->FirstInRange(), 0);
    EXPECT_EQ(GetU32(r.data()), 2u);
    c.cache->SetActiveRecord(r.data());
    ASSERT_EQ(c.cache->LastInRange(), 0);
    EXPECT_EQ(GetU32(r.data()), 3u);
}

TEST(CacheTable, ModifyTwiceKeepsOneRowWithTheSecondVersion) {
    Cached c;
    c.Modify(3, "first");
    c.Modify(3, "second");
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 1u);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:row1", "2:row2", "3:second", "4:row4"}));
    EXPECT_EQ(c.rows->NameOf(3), "row3");
    // The old-record flag shows the wrapped table's own version.
    ASSERT_EQ(c.cache->SetProp(kCachePropOldRecord, 1), 0);
    EXPECT_EQ(c.Prop(kCachePropOldRecord), 1u);
    EXPECT_EQ(c.Walk()[2], "3:row3");
    // Modified rows hidden.
    ASSERT_EQ(c.cache->SetProp(kCachePropOldRecord, 0), 0);
    ASSERT_EQ(c.cache->SetProp(kCachePropShownMask, kShowUnmodified), 0);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:row1", "2:row2", "4:row4"}));
}

TEST(CacheTable, InsertedRecordLivesOnlyInThePendingRows) {
    Cached c;
    c.Insert(9, "nine");
    std::uint32_t count = 0;
    ASSERT_EQ(c.cache->GetRecordCount(count), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 1u);
    EXPECT_EQ(c.rows->Find(9), nullptr);
}

TEST(CacheTable, CancelDropsEveryPendingRow) {
    Cached c;
    c.Modify(1, "m");
    c.Delete(2);
    c.Insert(9, "nine");
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 3u);
    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCancel), 0);
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 0u);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:row1", "2:row2", "3:row3", "4:row4"}));
    EXPECT_EQ(c.rows->writes, 0);
}

TEST(CacheTable, CancelCurrentDropsOnlyThatRecordsRow) {
    Cached c;
    c.Modify(1, "m1");
    c.Modify(3, "m3");
    c.GoTo(3);
    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCancelCurrent), 0);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"1:m1", "2:row2", "3:row3", "4:row4"}));
    // On a record without a pending row nothing changes.
    c.GoTo(4);
    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCancelCurrent), 0);
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 1u);
}

TEST(CacheTable, PrepareThenCommitWritesEveryKindOfChange) {
    Cached c;
    c.Modify(1, "one", 0x5A);
    c.Delete(2);
    c.Insert(9, "nine");
    ASSERT_EQ(c.cache->AppendRecord(KeyedRows::Record(8, "eight").data()), 0);
    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdPrepare), 0);
    EXPECT_EQ(c.rows->NameOf(1), "one");
    // The whole record went through, the byte beyond the fields included.
    EXPECT_EQ(c.rows->Find(1)->at(12), 0x5A);
    EXPECT_EQ(c.rows->Find(2), nullptr);
    EXPECT_EQ(c.rows->NameOf(9), "nine");
    // An appended record is written like an inserted one.
    EXPECT_EQ(c.rows->NameOf(8), "eight");
    EXPECT_TRUE(c.cache->FailedRows().empty());

    // A second prepare writes nothing twice.
    int writes = c.rows->writes;
    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdPrepare), 0);
    EXPECT_EQ(c.rows->writes, writes);

    ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCommit), 0);
    EXPECT_EQ(c.Prop(kCachePropPendingCount), 0u);
    EXPECT_EQ(c.rows->rows.size(), 5u);
}

TEST(CacheTable, RowsThatFailToApplyAreReportedAndStayPending) {
    struct Case {
        const char* what;
        std::function<void(Cached&)> arrange;
        DBIResult expected;
        std::uint16_t failedStatus;
    };
    const Case cases[] = {
        {"modification refused by the table",
         [](Cached& c) {
             c.rows->failModify[2] = kKeyViolation;
             c.Modify(2, "dup");
         },
         kKeyViolation, kRecModified},
        {"deletion of a record that is gone",
         [](Cached& c) {
             c.Delete(3);
             c.rows->rows.erase(c.rows->rows.begin() + 2);
         },
         kDbiErrKeyOrRecDeleted, kRecDeleted},
        {"insertion refused by the table",
         [](Cached& c) {
             c.rows->insertFails = kKeyViolation;
             c.Insert(9, "nine");
         },
         kKeyViolation, kRecInserted},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        Cached c;
        k.arrange(c);
        c.Modify(4, "four");  // a change that does go through
        EXPECT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdPrepare), k.expected);
        EXPECT_EQ(c.rows->NameOf(4), "four");
        auto failed = c.cache->FailedRows();
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].status, k.failedStatus);
        EXPECT_EQ(failed[0].result, k.expected);
        EXPECT_EQ(c.Prop(kCachePropFailedCount), 1u);

        // The commit drops what was written and keeps, and reports, the rest.
        EXPECT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCommit), k.expected);
        EXPECT_EQ(c.Prop(kCachePropPendingCount), 1u);
        EXPECT_EQ(c.cache->Pending()->Rows().At(0)->status, k.failedStatus);

        // Once the table takes it, the row goes through and the commit is clean.
        c.rows->failModify.clear();
        c.rows->insertFails = 0;
        if (k.failedStatus == kRecDeleted) {
            ASSERT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCancel), 0);
        } else {
            EXPECT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdPrepare), 0);
        }
        EXPECT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdCommit), 0);
        EXPECT_EQ(c.Prop(kCachePropPendingCount), 0u);
    }
}

TEST(CacheTable, FiltersOnTheCacheJudgeThePendingVersion) {
    Cached c;
    c.Modify(2, "keep");
    c.Modify(3, "drop");
    auto tree = testing::BuildTree(testing::Compare(kOpEq, testing::Field("Name"), testing::Text("keep")));
    TFilterListItem* f = nullptr;
    ASSERT_EQ(c.cache->AddFilter(0, 0, false, tree.data(), nullptr, f), 0);
    ASSERT_EQ(c.cache->ActivateFilter(f), 0);
    EXPECT_EQ(c.Walk(), (std::vector<std::string>{"2:keep"}));
    // Without a record buffer the move still passes over rejected records.
    c.cache->SetToBegin();
    ASSERT_EQ(c.cache->GetNextRecord(0, nullptr, nullptr), 0);
    std::vector<std::uint8_t> bm(8, 0);
    ASSERT_EQ(c.cache->GetBookMark(bm.data()), 0);
    EXPECT_EQ(GetU32(bm.data()), 2u);
    EXPECT_EQ(c.cache->GetNextRecord(0, nullptr, nullptr), kDbiErrEof);
}

TEST(CacheTable, EndGivesBackTheWrappedCursorAndFreesTheCache) {
    Cached c;
    c.Modify(1, "m");
    hDBICur cacheHandle = c.handle;
    hDBICur back = kNilHandle;
    ASSERT_EQ(c.cache->EndDelayedUpdates(back), 0);
    EXPECT_EQ(back, c.rows->Handle());
    EXPECT_EQ(FindHandle(cacheHandle), nullptr);
    // Pending changes went with the cache; the table is as it was.
    EXPECT_EQ(c.rows->NameOf(1), "row1");
}

TEST(CacheTable, AWrappedCursorFreedFirstLeavesTheCacheHarmless) {
    Cached c;
    c.Modify(1, "m");
    delete c.rows;
    std::vector<std::uint8_t> r(KeyedRows::kRecordSize, 0);
    EXPECT_EQ(c.cache->GetNextRecord(0, r.data(), nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(c.cache->ModifyRecord(r.data(), false), kDbiErrInvalidHandle);
    EXPECT_EQ(c.cache->ApplyDelayedUpdates(kDelayedUpdPrepare), kDbiErrInvalidHandle);
    hDBICur back = 1;
    EXPECT_EQ(c.cache->EndDelayedUpdates(back), kDbiErrInvalidHandle);
    EXPECT_EQ(back, kNilHandle);
}

}  // namespace
}  // namespace qv
