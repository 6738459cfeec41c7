#include "engine/server/server_locks.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

TEST(LockContainer, WriteLockTurnsIntoReadLockForItsOwner) {
    TqvLockContainer c;
    ASSERT_TRUE(c.AcquireWriteLock(7));
    EXPECT_FALSE(c.AcquireReadLock(8));
    EXPECT_TRUE(c.AcquireReadLock(7));
    EXPECT_EQ(c.WriteLockState(7), 0);
    EXPECT_EQ(c.ReadLockState(7), 1);
    EXPECT_EQ(c.ReadLockState(8), 2);
}

TEST(LockContainer, ReadLockCannotBeReleasedUnderOwnWriteLock) {
    TqvLockContainer c;
    ASSERT_TRUE(c.AcquireReadLock(5));
    ASSERT_TRUE(c.AcquireWriteLock(5));  // sole reader may take the write lock
    EXPECT_FALSE(c.ReleaseReadLock(5));
    EXPECT_TRUE(c.ReleaseWriteLock(5));
    EXPECT_TRUE(c.ReleaseReadLock(5));
    EXPECT_EQ(c.ReadLockState(5), 0);
    EXPECT_FALSE(c.ReleaseWriteLock(5));
}

TEST(LockContainer, TwoReadersBlockTheWriteLock) {
    TqvLockContainer c;
    c.AcquireReadLock(1);
    c.AcquireReadLock(2);
    EXPECT_FALSE(c.AcquireWriteLock(1));
    EXPECT_FALSE(c.AcquireWriteLock(2));
    EXPECT_FALSE(c.AcquireWriteLock(3));
    c.ReleaseReadLock(2);
    EXPECT_FALSE(c.AcquireWriteLock(3));
    EXPECT_TRUE(c.AcquireWriteLock(1));
    EXPECT_TRUE(c.AcquireWriteLock(1));
    EXPECT_FALSE(c.AcquireWriteLock(2));
    EXPECT_EQ(c.WriteLockState(2), 2);
    EXPECT_FALSE(c.ReleaseWriteLock(2));
}

TEST(LockContainer, RecordLocksBelongToCursors) {
    TqvLockContainer c;
    EXPECT_TRUE(c.AcquireRecordLock(1, 100, 4128));
    EXPECT_TRUE(c.AcquireRecordLock(1, 100, 4128));
    EXPECT_EQ(c.RecordLocks().size(), 1u);
    EXPECT_FALSE(c.AcquireRecordLock(1, 101, 4128)) << "another cursor of the same session";
    EXPECT_EQ(c.RecordLockState(100, 4128), 1);
    EXPECT_EQ(c.RecordLockState(101, 4128), 2);
    EXPECT_EQ(c.RecordLockState(101, 4200), 0);
    EXPECT_FALSE(c.ReleaseRecordLock(101, 4128));
    EXPECT_TRUE(c.ReleaseRecordLock(100, 4128));
    EXPECT_TRUE(c.AcquireRecordLock(1, 101, 4128));
}

TEST(LockContainer, ArraysGrowInStepsAndStaySorted) {
    TqvLockContainer c;
    // Descending inserts put every new entry at the front.
    for (std::uint32_t s = 33; s >= 1; --s) ASSERT_TRUE(c.AcquireReadLock(s * 3));
    EXPECT_EQ(c.ReadOwners().size(), 33u);
    EXPECT_EQ(c.ReadOwnerCapacity(), 64u);
    for (std::size_t i = 0; i < 33; ++i) EXPECT_EQ(c.ReadOwners()[i], (i + 1) * 3);

    for (std::int32_t r = 65; r >= 1; --r) ASSERT_TRUE(c.AcquireRecordLock(9, r % 2 ? 1 : 2, r * 16));
    EXPECT_EQ(c.RecordLocks().size(), 65u);
    EXPECT_EQ(c.RecordLockCapacity(), 128u);
    for (std::size_t i = 0; i < 65; ++i) EXPECT_EQ(c.RecordLocks()[i].reference, static_cast<std::int32_t>((i + 1) * 16));

    c.ReleaseCursorRecordLocks(1);
    ASSERT_EQ(c.RecordLocks().size(), 32u);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(c.RecordLocks()[i].cursor, 2u);
        EXPECT_EQ(c.RecordLocks()[i].reference, static_cast<std::int32_t>((i + 1) * 32));
    }
}

}  // namespace
