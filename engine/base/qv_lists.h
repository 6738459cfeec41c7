// Keyed lists whose items may be held by several lists at once, the string
// list built on them, and the sorted collection of the database-API layer.
//
// An item is freed when the last list holding it drops it. Lists keep raw
// pointers; items are created with `new` and handed to a list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/qv_base.h"

namespace qv {

class TqvList;

class TqvListItem {
public:
    TqvListItem() = default;
    virtual ~TqvListItem();
    TqvListItem(const TqvListItem&) = delete;
    TqvListItem& operator=(const TqvListItem&) = delete;

    // Negative, 0 or positive as `key` sorts before, equal to or after this
    // item's own key.
    virtual int Compare(const void* key) const = 0;
    virtual const void* Key() const = 0;

    std::size_t HolderCount() const { return holders_.size(); }
    void SetUnlinkFromAll(bool on) { unlinkFromAll_ = on; }
    bool UnlinkFromAll() const { return unlinkFromAll_; }

private:
    friend class TqvList;
    void ListDrops(TqvList* list);

    std::vector<TqvList*> holders_;
    bool unlinkFromAll_ = false;
    bool destroying_ = false;
};

// Keyed by a signed 32-bit integer.
class TqvIntListItem : public TqvListItem {
public:
    explicit TqvIntListItem(std::int32_t key) : key_(key) {}
    int Compare(const void* key) const override;
    const void* Key() const override { return &key_; }
    std::int32_t IntKey() const { return key_; }

protected:
    std::int32_t key_;
};

// Keyed by a process-unique id, the handle handed to clients.
class TqvSelfListItem : public TqvIntListItem {
public:
    TqvSelfListItem() : TqvIntListItem(static_cast<std::int32_t>(QvNextObjectId())) {}
    std::uint32_t Id() const { return static_cast<std::uint32_t>(key_); }
};

// Keyed by a short string, compared byte-wise; carries one object value.
class TqvStrListItem : public TqvListItem {
public:
    explicit TqvStrListItem(std::string_view s) : key_(QvLongToShStr(s)) {}
    int Compare(const void* key) const override;
    const void* Key() const override { return &key_; }
    const std::string& Str() const { return key_; }
    std::uintptr_t object = 0;

protected:
    std::string key_;
};

// The same key compared with a-z taken as A-Z.
class TqvUCStrListItem : public TqvStrListItem {
public:
    using TqvStrListItem::TqvStrListItem;
    int Compare(const void* key) const override;
};

class TqvList {
public:
    TqvList() = default;
    virtual ~TqvList();
    TqvList(const TqvList&) = delete;
    TqvList& operator=(const TqvList&) = delete;

    // False (nothing changed) when a sorted list already has the key.
    bool Insert(TqvListItem* item);
    int IndexOf(const void* key);
    // The item with this key, or null: one lock where IndexOf and GetItem take two.
    TqvListItem* ItemOf(const void* key);
    void Delete(const void* key);
    void DeleteAt(int index);
    void Clear();
    int Count();
    bool IsEmpty() { return Count() == 0; }
    TqvListItem* GetItem(int index);
    void SetCapacity(int n);
    int Capacity() const { return static_cast<int>(items_.capacity()); }
    void SetSorted(bool on);
    bool Sorted() const { return sorted_; }
    void Lock() { lock_.Lock(true); }
    void Unlock() { lock_.Lock(false); }
    // Clears this list and shares every item of `source`.
    void Assign(TqvList& source);

private:
    friend class TqvListItem;
    int InsertPrim(TqvListItem* item);
    int Find(const void* key, bool& found) const;
    void RemoveEntry(TqvListItem* item);
    // Takes an item already out of items_ out of its other lists, or frees it.
    void Drop(TqvListItem* item);

    std::vector<TqvListItem*> items_;
    bool sorted_ = true;
    bool clearing_ = false;
    TqvPadLock lock_;
};

class TqvStringList {
public:
    TqvStringList() = default;
    // Index of the new string, or -1 (a sorted list already holds it).
    int Insert(std::string_view s);
    bool Add(std::string_view s) { return Insert(s) >= 0; }
    int Count();
    std::string String(int index);
    std::uintptr_t Object(int index);
    void SetObject(int index, std::uintptr_t obj);
    int IndexOf(std::string_view s);
    void SetCapacity(int n) { list_.SetCapacity(n); }
    void SetSorted(bool on) { list_.SetSorted(on); }
    bool Sorted() const { return list_.Sorted(); }
    // Takes effect only while the list is empty; returns the count.
    int SetCaseSensitive(bool on);
    bool CaseSensitive() const { return caseSensitive_; }
    void Clear() { list_.Clear(); }
    void Assign(TqvStringList& source);

private:
    TqvList list_;
    bool caseSensitive_ = true;
    TqvPadLock lock_;
};

// Pointer collection with virtual item handling.
class TSorvikCollection {
public:
    TSorvikCollection() = default;
    virtual ~TSorvikCollection();
    TSorvikCollection(const TSorvikCollection&) = delete;
    TSorvikCollection& operator=(const TSorvikCollection&) = delete;

    virtual void Error(int index);  // throws std::out_of_range
    virtual void FreeItem(void* item);
    virtual int IndexOf(void* item);
    virtual void Insert(void* item);

    void* At(int index);
    void AtPut(int index, void* item);
    void AtInsert(int index, void* item);
    void AtDelete(int index);
    int Count() const { return static_cast<int>(items_.size()); }
    void Remove(void* item);
    void FreeAll();

protected:
    std::vector<void*> items_;
};

class TSortedCollection : public TSorvikCollection {
public:
    TSortedCollection() = default;
    virtual const void* KeyOf(void* item) { return item; }
    virtual int Compare(const void* key1, const void* key2) = 0;
    // Binary search; `index` is the found item's place or the insertion place.
    virtual bool Search(const void* key, int& index);
    void Insert(void* item) override;
    bool duplicates = true;
};

}  // namespace qv
