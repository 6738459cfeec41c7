// A timer object on its own hidden window, for code below the GUI (the table
// engine's keep-alive and retry ticks) that wants a periodic callback through
// the message loop without owning a window itself.
#pragma once

#include "platform/win/win_types.h"

#include <cstdint>
#include <functional>

namespace plat {

class WindowTimer {
public:
    // Like the class library's timer: it ticks only while enabled, with a
    // non-zero interval and a callback assigned.
    explicit WindowTimer(std::function<void()> onTimer = {}, std::uint32_t intervalMs = 1000,
                         bool enabled = true);
    ~WindowTimer();
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    // Setting the interval restarts the period.
    void SetInterval(std::uint32_t intervalMs);
    std::uint32_t Interval() const { return interval_; }
    void SetOnTimer(std::function<void()> onTimer);
    HWND Handle() const { return wnd_; }

private:
    void Update();
    void WndProc(TMessage& msg);

    HWND wnd_ = 0;
    std::uint32_t interval_;
    bool enabled_;
    std::function<void()> onTimer_;
};

}  // namespace plat
