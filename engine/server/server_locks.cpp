#include "engine/server/server_locks.h"

#include <algorithm>

namespace qv {

namespace {
// Arrays grow in fixed steps, as many locks come and go in bursts.
template <class T>
void GrowBy(std::vector<T>& v, std::size_t step) {
    if (v.size() == v.capacity()) v.reserve(v.capacity() + step);
}
}  // namespace

bool TqvLockContainer::AcquireReadLock(std::uint32_t session) {
    if (writeLocked_) {
        if (writeOwner_ != session) return false;
        writeLocked_ = false;  // the owner's write lock becomes a read lock
    }
    auto at = std::lower_bound(readOwners_.begin(), readOwners_.end(), session);
    if (at != readOwners_.end() && *at == session) return true;
    std::size_t pos = static_cast<std::size_t>(at - readOwners_.begin());
    GrowBy(readOwners_, 32);
    readOwners_.insert(readOwners_.begin() + static_cast<std::ptrdiff_t>(pos), session);
    return true;
}

bool TqvLockContainer::AcquireWriteLock(std::uint32_t session) {
    if (writeLocked_) return writeOwner_ == session;
    if (readOwners_.size() > 1 || (readOwners_.size() == 1 && readOwners_[0] != session)) return false;
    writeLocked_ = true;
    writeOwner_ = session;
    return true;
}

int TqvLockContainer::ReadLockState(std::uint32_t session) const {
    if (readOwners_.empty()) return 0;
    return std::binary_search(readOwners_.begin(), readOwners_.end(), session) ? 1 : 2;
}

int TqvLockContainer::WriteLockState(std::uint32_t session) const {
    if (!writeLocked_) return 0;
    return writeOwner_ == session ? 1 : 2;
}

bool TqvLockContainer::ReleaseReadLock(std::uint32_t session) {
    if (writeLocked_ && writeOwner_ == session) return false;
    auto at = std::lower_bound(readOwners_.begin(), readOwners_.end(), session);
    if (at == readOwners_.end() || *at != session) return false;
    readOwners_.erase(at);
    return true;
}

bool TqvLockContainer::ReleaseWriteLock(std::uint32_t session) {
    if (!writeLocked_ || writeOwner_ != session) return false;
    writeLocked_ = false;
    writeOwner_ = 0;
    return true;
}

std::size_t TqvLockContainer::FindRecord(std::int32_t reference, bool& found) const {
    auto at = std::lower_bound(recordLocks_.begin(), recordLocks_.end(), reference,
                               [](const TqvRecordLockEntry& e, std::int32_t r) { return e.reference < r; });
    found = at != recordLocks_.end() && at->reference == reference;
    return static_cast<std::size_t>(at - recordLocks_.begin());
}

bool TqvLockContainer::AcquireRecordLock(std::uint32_t session, std::uint32_t cursor, std::int32_t reference) {
    bool found;
    std::size_t at = FindRecord(reference, found);
    if (found) return recordLocks_[at].cursor == cursor;
    GrowBy(recordLocks_, 64);
    recordLocks_.insert(recordLocks_.begin() + static_cast<std::ptrdiff_t>(at), {session, cursor, reference});
    return true;
}

int TqvLockContainer::RecordLockState(std::uint32_t cursor, std::int32_t reference) const {
    bool found;
    std::size_t at = FindRecord(reference, found);
    if (!found) return 0;
    return recordLocks_[at].cursor == cursor ? 1 : 2;
}

bool TqvLockContainer::ReleaseRecordLock(std::uint32_t cursor, std::int32_t reference) {
    bool found;
    std::size_t at = FindRecord(reference, found);
    if (!found || recordLocks_[at].cursor != cursor) return false;
    recordLocks_.erase(recordLocks_.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

void TqvLockContainer::ReleaseCursorRecordLocks(std::uint32_t cursor) {
    std::erase_if(recordLocks_, [cursor](const TqvRecordLockEntry& e) { return e.cursor == cursor; });
}

}  // namespace qv
