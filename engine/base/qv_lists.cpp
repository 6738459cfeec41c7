#include "engine/base/qv_lists.h"

#include <algorithm>
#include <stdexcept>

namespace qv {

// ---- items ------------------------------------------------------------------------

TqvListItem::~TqvListItem() {
    destroying_ = true;
    std::vector<TqvList*> holders;
    holders.swap(holders_);
    for (auto it = holders.rbegin(); it != holders.rend(); ++it) (*it)->RemoveEntry(this);
}

void TqvListItem::ListDrops(TqvList* list) {
    if (destroying_) return;
    auto at = std::find(holders_.begin(), holders_.end(), list);
    if (at != holders_.end()) holders_.erase(at);
    if (unlinkFromAll_) {
        std::vector<TqvList*> others;
        others.swap(holders_);
        for (auto it = others.rbegin(); it != others.rend(); ++it) (*it)->RemoveEntry(this);
    }
}

int TqvIntListItem::Compare(const void* key) const {
    return QvCmpI32(*static_cast<const std::int32_t*>(key), key_);
}

int TqvStrListItem::Compare(const void* key) const {
    return QvCmpShStr(*static_cast<const std::string*>(key), key_, kQvShortStringMax);
}

int TqvUCStrListItem::Compare(const void* key) const {
    return QvCmpShStrNoCase(*static_cast<const std::string*>(key), key_, kQvShortStringMax);
}

// ---- list ---------------------------------------------------------------------------

TqvList::~TqvList() { Clear(); }

int TqvList::Find(const void* key, bool& found) const {
    found = false;
    int lo = 0, hi = static_cast<int>(items_.size()) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) >> 1;
        int c = items_[mid]->Compare(key);
        if (c == 0) {
            found = true;
            return mid;
        }
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return lo;
}

int TqvList::InsertPrim(TqvListItem* item) {
    int at;
    if (items_.empty()) {
        at = 0;
    } else if (sorted_) {
        bool found;
        at = Find(item->Key(), found);
        if (found) return -1;
    } else {
        at = static_cast<int>(items_.size());
    }
    items_.insert(items_.begin() + at, item);
    item->holders_.push_back(this);
    return at;
}

bool TqvList::Insert(TqvListItem* item) {
    TqvPadLockGuard g(lock_);
    return InsertPrim(item) >= 0;
}

int TqvList::IndexOf(const void* key) {
    TqvPadLockGuard g(lock_);
    if (sorted_) {
        bool found;
        int at = Find(key, found);
        return found ? at : -1;
    }
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Compare(key) == 0) return static_cast<int>(i);
    return -1;
}

TqvListItem* TqvList::ItemOf(const void* key) {
    TqvPadLockGuard g(lock_);
    if (sorted_) {
        bool found;
        int at = Find(key, found);
        return found ? items_[static_cast<std::size_t>(at)] : nullptr;
    }
    for (TqvListItem* item : items_)
        if (item->Compare(key) == 0) return item;
    return nullptr;
}

// An item leaving this list leaves the others it is in, or is freed, only
// once this list's lock is let go: holding it while taking another list's
// lock would order the two locks one way here and the other way there.
void TqvList::Drop(TqvListItem* item) {
    item->ListDrops(this);
    if (item->HolderCount() == 0) delete item;
}

void TqvList::Delete(const void* key) {
    TqvListItem* item = nullptr;
    {
        TqvPadLockGuard g(lock_);
        const int index = IndexOf(key);
        if (clearing_ || index < 0) return;
        item = items_[index];
        items_.erase(items_.begin() + index);
    }
    Drop(item);
}

void TqvList::DeleteAt(int index) {
    TqvListItem* item = nullptr;
    {
        TqvPadLockGuard g(lock_);
        if (clearing_ || index < 0 || index >= static_cast<int>(items_.size())) return;
        item = items_[index];
        items_.erase(items_.begin() + index);
    }
    Drop(item);
}

void TqvList::RemoveEntry(TqvListItem* item) {
    TqvPadLockGuard g(lock_);
    auto at = std::find(items_.begin(), items_.end(), item);
    if (at != items_.end()) items_.erase(at);
    auto h = std::find(item->holders_.begin(), item->holders_.end(), this);
    if (h != item->holders_.end()) item->holders_.erase(h);
}

void TqvList::Clear() {
    std::vector<TqvListItem*> items;
    {
        TqvPadLockGuard g(lock_);
        if (clearing_) return;
        clearing_ = true;
        items.swap(items_);
    }
    while (!items.empty()) {
        TqvListItem* item = items.back();
        items.pop_back();
        Drop(item);
    }
    TqvPadLockGuard g(lock_);
    clearing_ = false;
}

int TqvList::Count() {
    TqvPadLockGuard g(lock_);
    return static_cast<int>(items_.size());
}

TqvListItem* TqvList::GetItem(int index) {
    TqvPadLockGuard g(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return items_[index];
}

void TqvList::SetCapacity(int n) {
    TqvPadLockGuard g(lock_);
    if (n >= static_cast<int>(items_.size()) && n != static_cast<int>(items_.capacity()))
        items_.reserve(static_cast<std::size_t>(n));
}

void TqvList::SetSorted(bool on) {
    TqvPadLockGuard g(lock_);
    if (!on)
        sorted_ = false;
    else if (items_.empty())
        sorted_ = true;
}

void TqvList::Assign(TqvList& source) {
    if (&source == this) return;
    // The source's items are taken first, so that the two locks are never held together.
    std::vector<TqvListItem*> items;
    {
        TqvPadLockGuard g(source.lock_);
        items = source.items_;
    }
    Clear();
    TqvPadLockGuard g(lock_);
    for (TqvListItem* item : items) InsertPrim(item);
}

// ---- string list ------------------------------------------------------------------------

int TqvStringList::Insert(std::string_view s) {
    TqvPadLockGuard g(lock_);
    TqvStrListItem* item = caseSensitive_ ? new TqvStrListItem(s) : new TqvUCStrListItem(s);
    if (!list_.Insert(item)) {
        delete item;
        return -1;
    }
    for (int i = list_.Count() - 1; i >= 0; --i)
        if (list_.GetItem(i) == item) return i;
    return -1;
}

int TqvStringList::Count() { return list_.Count(); }

std::string TqvStringList::String(int index) {
    auto* item = static_cast<TqvStrListItem*>(list_.GetItem(index));
    return item ? item->Str() : std::string();
}

std::uintptr_t TqvStringList::Object(int index) {
    auto* item = static_cast<TqvStrListItem*>(list_.GetItem(index));
    return item ? item->object : 0;
}

void TqvStringList::SetObject(int index, std::uintptr_t obj) {
    auto* item = static_cast<TqvStrListItem*>(list_.GetItem(index));
    if (item) item->object = obj;
}

int TqvStringList::IndexOf(std::string_view s) {
    std::string key = QvLongToShStr(s);
    return list_.IndexOf(&key);
}

int TqvStringList::SetCaseSensitive(bool on) {
    TqvPadLockGuard g(lock_);
    if (list_.Count() == 0) caseSensitive_ = on;
    return list_.Count();
}

void TqvStringList::Assign(TqvStringList& source) {
    if (&source == this) return;
    TqvPadLockGuard g(lock_);
    list_.Clear();
    caseSensitive_ = source.caseSensitive_;
    list_.SetSorted(false);
    if (source.Sorted()) list_.SetSorted(true);
    for (int i = 0; i < source.Count(); ++i) {
        int at = Insert(source.String(i));
        if (at >= 0) SetObject(at, source.Object(i));
    }
}

// ---- collections ----------------------------------------------------------------------------

TSorvikCollection::~TSorvikCollection() = default;

void TSorvikCollection::Error(int index) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

void TSorvikCollection::FreeItem(void*) {}

int TSorvikCollection::IndexOf(void* item) {
    auto at = std::find(items_.begin(), items_.end(), item);
    return at == items_.end() ? -1 : static_cast<int>(at - items_.begin());
}

void TSorvikCollection::Insert(void* item) { items_.push_back(item); }

void* TSorvikCollection::At(int index) {
    if (index < 0 || index >= Count()) Error(index);
    return items_[index];
}

void TSorvikCollection::AtPut(int index, void* item) {
    if (index < 0 || index >= Count()) Error(index);
    items_[index] = item;
}

void TSorvikCollection::AtInsert(int index, void* item) {
    if (index < 0 || index > Count()) Error(index);
    items_.insert(items_.begin() + index, item);
}

void TSorvikCollection::AtDelete(int index) {
    if (index < 0 || index >= Count()) Error(index);
    items_.erase(items_.begin() + index);
}

void TSorvikCollection::Remove(void* item) {
    int at = IndexOf(item);
    if (at >= 0) AtDelete(at);
}

void TSorvikCollection::FreeAll() {
    for (int i = Count() - 1; i >= 0; --i) FreeItem(items_[i]);
    items_.clear();
}

bool TSortedCollection::Search(const void* key, int& index) {
    bool result = false;
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        int mid = (lo + hi) >> 1;
        int c = Compare(KeyOf(items_[mid]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                result = true;
                if (!duplicates) lo = mid;
            }
        }
    }
    index = lo;
    return result;
}

void TSortedCollection::Insert(void* item) {
    int at;
    if (!Search(KeyOf(item), at) || duplicates) AtInsert(at, item);
}

}  // namespace qv
