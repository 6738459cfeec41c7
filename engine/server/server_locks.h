// Who holds which lock on one open table. The container only books locks:
// a conflict is answered at once and waiting is the dispatcher's retry.
// Callers hold the engine lock.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

struct TqvRecordLockEntry {
    std::uint32_t session = 0;  // kept for inspection, never consulted
    std::uint32_t cursor = 0;   // the owner
    std::int32_t reference = 0;  // sort key
};

class TqvLockContainer {
public:
    bool AcquireReadLock(std::uint32_t session);
    bool AcquireWriteLock(std::uint32_t session);
    // 0 none at all, 1 this session holds one, 2 only other sessions hold them.
    int ReadLockState(std::uint32_t session) const;
    // 0 not write-locked, 1 by this session, 2 by another.
    int WriteLockState(std::uint32_t session) const;
    bool ReleaseReadLock(std::uint32_t session);
    bool ReleaseWriteLock(std::uint32_t session);

    bool AcquireRecordLock(std::uint32_t session, std::uint32_t cursor, std::int32_t reference);
    // 0 not locked, 1 by this cursor, 2 by another.
    int RecordLockState(std::uint32_t cursor, std::int32_t reference) const;
    bool ReleaseRecordLock(std::uint32_t cursor, std::int32_t reference);
    void ReleaseCursorRecordLocks(std::uint32_t cursor);

    bool AnyReadLock() const { return !readOwners_.empty(); }
    const std::vector<std::uint32_t>& ReadOwners() const { return readOwners_; }
    const std::vector<TqvRecordLockEntry>& RecordLocks() const { return recordLocks_; }
    std::size_t ReadOwnerCapacity() const { return readOwners_.capacity(); }
    std::size_t RecordLockCapacity() const { return recordLocks_.capacity(); }

private:
    std::size_t FindRecord(std::int32_t reference, bool& found) const;

    bool writeLocked_ = false;
    std::uint32_t writeOwner_ = 0;
    std::vector<std::uint32_t> readOwners_;        // ascending, unique
    std::vector<TqvRecordLockEntry> recordLocks_;  // ascending by reference, unique
};

}  // namespace qv
