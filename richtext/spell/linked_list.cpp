#include "richtext/spell/linked_list.h"

namespace spell {

TLinkedList::~TLinkedList() { Clear(); }

void TLinkedList::Append(TLinkedListNode* node) {
    if (!node) return;
    node->Next = nullptr;
    if (Last)
        Last->Next = node;
    else
        First = node;
    Last = node;
    ++Count;
}

void TLinkedList::Prepend(TLinkedListNode* node) {
    if (!node) return;
    node->Next = First;
    First = node;
    if (!Last) Last = node;
    ++Count;
}

void TLinkedList::InsertBefore(TLinkedListNode* before, TLinkedListNode* node) {
    if (!node) return;
    if (!before || before == First) {
        Prepend(node);
        return;
    }
    TLinkedListNode* prev = Previous(before);
    if (!prev) return;  // `before` is not in this list: leave both alone
    node->Next = before;
    prev->Next = node;
    ++Count;
}

void TLinkedList::Remove(TLinkedListNode* node) {
    if (!node || !First) return;
    if (node == First) {
        First = node->Next;
        if (Last == node) Last = nullptr;
    } else {
        TLinkedListNode* prev = Previous(node);
        if (!prev) return;
        prev->Next = node->Next;
        if (Last == node) Last = prev;
    }
    node->Next = nullptr;
    --Count;
}

void TLinkedList::Delete(TLinkedListNode* node) {
    if (!node) return;
    Remove(node);
    delete node;
}

void TLinkedList::Clear() {
    while (First) Delete(First);
}

TLinkedListNode* TLinkedList::Previous(TLinkedListNode* node) const {
    if (!node) return nullptr;
    for (TLinkedListNode* n = First; n; n = n->Next)
        if (n->Next == node) return n;
    return nullptr;
}

TLinkedListNode* TLinkedList::Next(TLinkedListNode* node) const { return node ? node->Next : nullptr; }

}  // namespace spell
