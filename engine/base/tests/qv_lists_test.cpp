#include "engine/base/qv_lists.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

int g_freed = 0;

class CountedItem : public TqvIntListItem {
public:
    explicit CountedItem(std::int32_t k) : TqvIntListItem(k) {}
    ~CountedItem() override { ++g_freed; }
};

class Lists : public ::testing::Test {
protected:
    void SetUp() override { g_freed = 0; }
};

std::vector<std::int32_t> Keys(TqvList& l) {
    std::vector<std::int32_t> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(static_cast<TqvIntListItem*>(l.GetItem(i))->IntKey());
    return out;
}

TEST_F(Lists, SortedListKeepsOrderAndRefusesDuplicates) {
    TqvList a, b;
    auto* x = new CountedItem(5);
    auto* y = new CountedItem(-3);
    auto* z = new CountedItem(9);
    EXPECT_TRUE(a.Insert(x));
    EXPECT_TRUE(a.Insert(y));
    EXPECT_TRUE(a.Insert(z));
    EXPECT_TRUE(b.Insert(x));
    EXPECT_EQ(Keys(a), (std::vector<std::int32_t>{-3, 5, 9}));
    auto* dup = new CountedItem(5);
    EXPECT_FALSE(a.Insert(dup));
    EXPECT_EQ(Keys(a), (std::vector<std::int32_t>{-3, 5, 9}));
    EXPECT_EQ(Keys(b), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(dup->HolderCount(), 0u);
    delete dup;
    std::int32_t k = 9;
    EXPECT_EQ(a.IndexOf(&k), 2);
    k = 6;
    EXPECT_EQ(a.IndexOf(&k), -1);
    EXPECT_EQ(a.GetItem(3), nullptr);
    a.DeleteAt(7);  // out of range: nothing
    EXPECT_EQ(a.Count(), 3);
}

TEST_F(Lists, UnsortedListAcceptsEqualKeysInInsertionOrder) {
    TqvList l;
    l.SetSorted(false);
    l.Insert(new CountedItem(2));
    l.Insert(new CountedItem(1));
    l.Insert(new CountedItem(2));
    EXPECT_EQ(Keys(l), (std::vector<std::int32_t>{2, 1, 2}));
    std::int32_t k = 2;
    EXPECT_EQ(l.IndexOf(&k), 0);
}

TEST_F(Lists, SharedItemFreedWhenLastHolderDropsIt) {
    TqvList a, b;
    auto* x = new CountedItem(1);
    a.Insert(x);
    b.Insert(x);
    EXPECT_EQ(x->HolderCount(), 2u);
    std::int32_t k = 1;
    a.Delete(&k);
    EXPECT_EQ(g_freed, 0);
    EXPECT_EQ(x->HolderCount(), 1u);
    b.Delete(&k);
    EXPECT_EQ(g_freed, 1);
}

TEST_F(Lists, UnlinkFromAllDropsItFromEveryList) {
    TqvList a, b, c;
    auto* x = new CountedItem(1);
    x->SetUnlinkFromAll(true);
    a.Insert(x);
    b.Insert(x);
    c.Insert(x);
    std::int32_t k = 1;
    b.Delete(&k);
    EXPECT_EQ(g_freed, 1);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(c.Count(), 0);
}

TEST_F(Lists, DestroyingAnItemRemovesItFromItsLists) {
    TqvList a, b;
    auto* x = new CountedItem(4);
    a.Insert(x);
    b.Insert(x);
    delete x;
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b.Count(), 0);
}

TEST_F(Lists, ClearFreesUnsharedAndAssignShares) {
    TqvList a;
    {
        TqvList b;
        a.Insert(new CountedItem(1));
        a.Insert(new CountedItem(2));
        b.Assign(a);
        EXPECT_EQ(Keys(b), (std::vector<std::int32_t>{1, 2}));
        a.Clear();
        EXPECT_EQ(g_freed, 0);  // still held by b
    }
    EXPECT_EQ(g_freed, 2);
}

TEST_F(Lists, SetSortedOnNonEmptyListKeepsItUnsorted) {
    TqvList l;
    l.SetSorted(false);
    l.Insert(new CountedItem(3));
    l.SetSorted(true);
    EXPECT_FALSE(l.Sorted());
    l.Clear();
    l.SetSorted(true);
    EXPECT_TRUE(l.Sorted());
}

TEST(SelfListItems, KeysAreUniqueIncreasingIds) {
    TqvList l;
    auto* a = new TqvSelfListItem;
    auto* b = new TqvSelfListItem;
    EXPECT_LT(a->Id(), b->Id());
    l.Insert(b);
    l.Insert(a);
    EXPECT_EQ(l.GetItem(0), a);
    std::int32_t k = static_cast<std::int32_t>(b->Id());
    EXPECT_EQ(l.IndexOf(&k), 1);
}

TEST(StringList, CaseSensitivityAndObjects) {
    TqvStringList cs;
    EXPECT_EQ(cs.Insert("beta"), 0);
    EXPECT_EQ(cs.Insert("Alpha"), 0);
    EXPECT_EQ(cs.Insert("alpha"), 1);  // byte order: "Alpha" < "alpha" < "beta"
    EXPECT_EQ(cs.Count(), 3);
    EXPECT_EQ(cs.String(0), "Alpha");

    TqvStringList ci;
    EXPECT_EQ(ci.SetCaseSensitive(false), 0);
    EXPECT_TRUE(ci.Add("Alpha"));
    EXPECT_FALSE(ci.Add("ALPHA"));
    ci.SetObject(0, 77);
    EXPECT_EQ(ci.IndexOf("aLpHa"), 0);
    EXPECT_EQ(ci.Object(0), 77u);
    EXPECT_EQ(ci.SetCaseSensitive(true), 1);  // not empty: unchanged
    EXPECT_FALSE(ci.CaseSensitive());

    TqvStringList copy;
    copy.Assign(ci);
    EXPECT_FALSE(copy.CaseSensitive());
    EXPECT_EQ(copy.IndexOf("ALPHA"), 0);
    EXPECT_EQ(copy.Object(0), 77u);
}

class IntCollection : public TSortedCollection {
public:
    int Compare(const void* a, const void* b) override {
        return QvCmpI32(static_cast<int>(reinterpret_cast<std::intptr_t>(a)),
                        static_cast<int>(reinterpret_cast<std::intptr_t>(b)));
    }
};

void* P(std::intptr_t v) { return reinterpret_cast<void*>(v); }

TEST(SortedCollection, SearchFindsFirstEqualOrInsertionPlace) {
    IntCollection c;
    for (int v : {5, 1, 3, 3, 9}) c.Insert(P(v));
    ASSERT_EQ(c.Count(), 5);
    int at = -1;
    EXPECT_TRUE(c.Search(P(3), at));
    EXPECT_EQ(at, 1);  // the first of the equal keys
    EXPECT_FALSE(c.Search(P(4), at));
    EXPECT_EQ(at, 3);
    EXPECT_FALSE(c.Search(P(10), at));
    EXPECT_EQ(at, 5);

    IntCollection unique;
    unique.duplicates = false;
    for (int v : {2, 2, 1}) unique.Insert(P(v));
    EXPECT_EQ(unique.Count(), 2);
    EXPECT_THROW(unique.At(2), std::out_of_range);
    unique.Remove(P(2));
    EXPECT_EQ(unique.Count(), 1);
}

}  // namespace
}  // namespace qv
