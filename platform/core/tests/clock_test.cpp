#include "platform/core/clock.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(Clock, FakeClockReplacesSystemClockForItsScope) {
    FakeClock fake(0xFFFFFF00u, 36526.25);  // 1 Jan 2000, 06:00
    {
        ScopedClock scope(fake);
        EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
        fake.Advance(0x200);
        EXPECT_EQ(GetTickCount(), 0x100u);  // wrapped like the 32-bit tick
        EXPECT_NEAR(Now(), 36526.25 + 0x200 / 86400000.0, 1e-9);
    }
    EXPECT_NE(&CurrentClock(), static_cast<Clock*>(&fake));
}

TEST(Clock, SystemNowIsAPlausibleDate) {
    SystemClock sys;
    double now = sys.Now();
    EXPECT_GT(now, 45000.0);  // after 2023
    EXPECT_LT(now, 80000.0);
    std::uint32_t a = sys.TickCount(), b = sys.TickCount();
    EXPECT_LE(static_cast<std::uint32_t>(b - a), 1000u);
}
