#include "platform/win/window_timer.h"

#include "platform/core/clock.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <memory>

using namespace plat;

namespace {

class WindowTimerTest : public ::testing::Test {
protected:
    FakeClock clock{5000};
    ScopedClock scope{clock};
    void SetUp() override { ASSERT_TRUE(BindMessageThread()); }
};

TEST_F(WindowTimerTest, TicksOnlyWhenEnabledWithIntervalAndCallback) {
    int ticks = 0;
    WindowTimer t([&ticks] { ++ticks; }, 2500);
    EXPECT_TRUE(IsWindow(t.Handle()));
    clock.Advance(2499);
    ProcessMessages();
    EXPECT_EQ(ticks, 0);
    clock.Advance(1);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);

    t.SetEnabled(false);
    clock.Advance(5000);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);

    t.SetEnabled(true);
    t.SetInterval(0);
    clock.Advance(5000);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);

    t.SetInterval(100);
    t.SetOnTimer({});
    clock.Advance(100);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);
    t.SetOnTimer([&ticks] { ticks += 10; });
    clock.Advance(100);
    ProcessMessages();
    EXPECT_EQ(ticks, 11);
}

TEST_F(WindowTimerTest, CallbackMayDisableOrDestroyItsTimer) {
    int ticks = 0;
    auto t = std::make_unique<WindowTimer>(nullptr, 100);
    t->SetOnTimer([&] {
        ++ticks;
        t.reset();  // freed from inside its own tick
    });
    HWND h = t->Handle();
    clock.Advance(100);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(IsWindow(h));
    clock.Advance(1000);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);
}

}  // namespace
