#include "richtext/spell/linked_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

using spell::TLinkedList;
using spell::TLinkedListNode;

struct Tagged : TLinkedListNode {
    explicit Tagged(int t, int* freed) : tag(t), freed(freed) {}
    ~Tagged() override { ++*freed; }
    int tag;
    int* freed;
};

std::vector<int> Tags(const TLinkedList& l) {
    std::vector<int> r;
    for (TLinkedListNode* n = l.First; n; n = n->Next) r.push_back(static_cast<Tagged*>(n)->tag);
    return r;
}

TEST(LinkedList, KeepsOrderCountAndEndsThroughEveryOperation) {
    int freed = 0;
    {
        TLinkedList l;
        auto* a = new Tagged(1, &freed);
        auto* b = new Tagged(2, &freed);
        auto* c = new Tagged(3, &freed);
        auto* d = new Tagged(4, &freed);
        l.Append(b);
        l.Prepend(a);
        l.Append(d);
        l.InsertBefore(d, c);
        EXPECT_EQ(Tags(l), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(l.Count, 4);
        EXPECT_EQ(l.Previous(c), b);
        EXPECT_EQ(l.Previous(a), nullptr);
        EXPECT_EQ(l.Next(c), d);

        l.Remove(d);  // unlinks the last node without freeing it
        EXPECT_EQ(l.Last, c);
        EXPECT_EQ(freed, 0);
        l.InsertBefore(nullptr, d);  // nil means the front
        EXPECT_EQ(Tags(l), (std::vector<int>{4, 1, 2, 3}));

        l.Delete(l.First);
        l.Delete(c);
        EXPECT_EQ(freed, 2);
        EXPECT_EQ(Tags(l), (std::vector<int>{1, 2}));
        EXPECT_EQ(l.Last, b);
        EXPECT_EQ(l.Count, 2);

        l.Append(nullptr);  // nil arguments are ignored
        l.Delete(nullptr);
        EXPECT_EQ(l.Count, 2);
    }
    EXPECT_EQ(freed, 4);  // the list frees what it still holds
}

}  // namespace
