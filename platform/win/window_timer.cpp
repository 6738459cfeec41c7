#include "platform/win/window_timer.h"

#include "platform/win/message_queue.h"

#include <utility>

namespace plat {
namespace {
constexpr UINT kTimerId = 1;
}

WindowTimer::WindowTimer(std::function<void()> onTimer, std::uint32_t intervalMs, bool enabled)
    : interval_(intervalMs), enabled_(enabled), onTimer_(std::move(onTimer)) {
    wnd_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
    Update();
}

WindowTimer::~WindowTimer() {
    enabled_ = false;
    Update();
    DeallocateHWnd(wnd_);
}

void WindowTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void WindowTimer::SetInterval(std::uint32_t intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    Update();
}

void WindowTimer::SetOnTimer(std::function<void()> onTimer) {
    onTimer_ = std::move(onTimer);
    Update();
}

void WindowTimer::Update() {
    KillTimer(wnd_, kTimerId);
    if (enabled_ && interval_ != 0 && onTimer_) SetTimer(wnd_, kTimerId, interval_);
}

void WindowTimer::WndProc(TMessage& msg) {
    if (msg.Msg == WM_TIMER && msg.WParam == kTimerId) {
        // A copy: the callback may replace itself or disable the timer.
        auto fn = onTimer_;
        if (fn) fn();
        return;
    }
    msg.Result = DefWindowProc(wnd_, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace plat
