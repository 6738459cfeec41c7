// A small owning singly linked list. The dictionary keeps its open files in
// one and the suggestion search keeps its ranked candidates in another.
#pragma once

#include <cstdint>

namespace spell {

class TLinkedListNode {
public:
    virtual ~TLinkedListNode() = default;
    TLinkedListNode* Next = nullptr;
};

// Owns its nodes: Delete and Clear free them, Remove only unlinks.
class TLinkedList {
public:
    TLinkedList() = default;
    virtual ~TLinkedList();
    TLinkedList(const TLinkedList&) = delete;
    TLinkedList& operator=(const TLinkedList&) = delete;

    TLinkedListNode* First = nullptr;
    TLinkedListNode* Last = nullptr;
    std::int32_t Count = 0;

    void Append(TLinkedListNode* node);
    void Prepend(TLinkedListNode* node);
    // `before` nil or the first node: prepend.
    void InsertBefore(TLinkedListNode* before, TLinkedListNode* node);
    void Remove(TLinkedListNode* node);
    void Delete(TLinkedListNode* node);
    void Clear();
    TLinkedListNode* Previous(TLinkedListNode* node) const;
    TLinkedListNode* Next(TLinkedListNode* node) const;
};

}  // namespace spell
