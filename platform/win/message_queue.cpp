#include "platform/win/message_queue.h"

#include "platform/core/clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plat {
namespace {

// Handles start well above small integers so that a count or flag passed by
// mistake is not taken for a window.
constexpr HWND kFirstHandle = 0x100;
// Longest real-time sleep of a blocked GetMessage while timers exist, so a
// fake clock advanced by another thread is seen promptly.
constexpr std::uint32_t kTimerPollMs = 5;

struct Window {
    std::shared_ptr<const WNDPROC> proc;
    HWND parent = 0;
    bool visible = false;
    bool destroying = false;
};

// Keyboard and mouse messages: the input the GUI keeps outside the queue
// until someone peeks for it.
constexpr UINT kKeyFirst = 0x0100, kKeyLast = 0x0109, kMouseFirst = 0x0200, kMouseLast = 0x020E;
constexpr UINT kChar = 0x0102, kSysKeyDown = 0x0104, kSysChar = 0x0106;

struct Posted {
    MSG msg;
    std::uint64_t seq = 0;
    std::string chars;  // a posted key press: what TranslateMessage makes of it
};

struct Timer {
    HWND wnd = 0;
    UINT id = 0;
    std::uint32_t period = 0;
    std::uint32_t next = 0;  // tick at which the next WM_TIMER is due
};

// Timers fired by the current ProcessMessages call, so that each fires once
// per call even when its period is shorter than the handlers take.
using FiredList = std::vector<std::pair<HWND, UINT>>;

struct State {
    std::mutex mu;
    std::condition_variable wake;
    std::map<HWND, Window> windows;  // ordered by handle = creation order
    HWND nextHandle = kFirstHandle;
    std::deque<Posted> queue;
    std::uint64_t nextSeq = 1;
    std::vector<Timer> timers;
    bool quitPending = false;
    int quitCode = 0;
    std::function<void()> notifier;
    // The key press last taken from the queue, until TranslateMessage sees it.
    Posted lastKey;
    bool lastKeyValid = false;
    std::function<void(HWND)> inputHook;
    std::function<void()> waitHook;
    std::atomic<bool> threadBound{false};
    std::thread::id messageThread;
};

// Never destroyed: windows and timers may outlive static destruction order.
State& S() {
    static State* state = new State;
    return *state;
}

bool Due(const Timer& t, std::uint32_t now) {
    return static_cast<std::int32_t>(now - t.next) >= 0;
}

bool InRange(UINT msg, UINT lo, UINT hi) {
    if (lo == 0 && hi == 0) return true;
    return msg >= lo && msg <= hi;
}

void Notify(State& s) {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        fn = s.notifier;
    }
    if (fn) fn();
}

// Finds the next message for the filter; state lock held. maxSeq limits posted
// messages to those queued before a ProcessMessages call; fired limits timers.
bool TakeLocked(State& s, MSG& out, HWND wnd, UINT lo, UINT hi, bool remove,
                std::uint64_t maxSeq, FiredList* fired) {
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (it->seq > maxSeq) break;
        if (wnd != 0 && it->msg.hwnd != wnd) continue;
        if (!InRange(it->msg.message, lo, hi)) continue;
        out = it->msg;
        if (remove) {
            if (!it->chars.empty()) {
                s.lastKey = *it;
                s.lastKeyValid = true;
            }
            s.queue.erase(it);
        }
        return true;
    }
    if (wnd == 0 && s.quitPending) {
        out = MSG{0, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, GetTickCount()};
        if (remove) s.quitPending = false;
        return true;
    }
    if (!InRange(WM_TIMER, lo, hi)) return false;
    const std::uint32_t now = GetTickCount();
    Timer* best = nullptr;
    for (Timer& t : s.timers) {
        if (wnd != 0 && t.wnd != wnd) continue;
        if (!Due(t, now)) continue;
        if (fired && std::find(fired->begin(), fired->end(), std::make_pair(t.wnd, t.id)) != fired->end())
            continue;
        // Earliest due first; ties keep the order the timers were set in.
        if (!best || static_cast<std::int32_t>(t.next - best->next) < 0) best = &t;
    }
    if (!best) return false;
    out = MSG{best->wnd, WM_TIMER, best->id, 0, now};
    if (remove) {
        // Keep the cadence; periods that went by unseen are not made up.
        const std::uint32_t late = now - best->next;
        best->next += best->period * (late / best->period + 1);
        if (fired) fired->emplace_back(best->wnd, best->id);
    }
    return true;
}

// Handles of `wnd` and its descendants, children before parents.
void CollectTreeLocked(State& s, HWND wnd, std::vector<HWND>& out) {
    for (const auto& [h, w] : s.windows)
        if (w.parent == wnd) CollectTreeLocked(s, h, out);
    out.push_back(wnd);
}

std::shared_ptr<const WNDPROC> ProcOf(State& s, HWND wnd) {
    std::lock_guard<std::mutex> lock(s.mu);
    auto it = s.windows.find(wnd);
    if (it == s.windows.end()) return nullptr;
    return it->second.proc;
}

}  // namespace

bool BindMessageThread() {
    State& s = S();
    // The thread is bound once for the process and never changes: once bound
    // it is read without the lock (every message call asks).
    if (s.threadBound.load(std::memory_order_acquire)) return s.messageThread == std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(s.mu);
    if (!s.threadBound.load()) {
        s.messageThread = std::this_thread::get_id();
        s.threadBound.store(true);
    }
    return s.messageThread == std::this_thread::get_id();
}

bool IsMessageThread() {
    State& s = S();
    return s.threadBound.load(std::memory_order_acquire) && s.messageThread == std::this_thread::get_id();
}

void SetQueueNotifier(std::function<void()> notifier) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    s.notifier = std::move(notifier);
}

// --- windows -----------------------------------------------------------------

HWND CreateWindowHandle(WNDPROC proc, HWND parent) {
    if (!BindMessageThread()) return 0;
    State& s = S();
    HWND wnd = 0;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        if (parent != 0 && s.windows.count(parent) == 0) return 0;
        // The handle space is never recycled; running out is a hard stop.
        if (s.nextHandle == 0) return 0;
        wnd = s.nextHandle++;
        Window w;
        w.proc = std::make_shared<const WNDPROC>(std::move(proc));
        w.parent = parent;
        s.windows.emplace(wnd, std::move(w));
    }
    if (SendMessage(wnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(wnd);
        return 0;
    }
    return wnd;
}

HWND AllocateHWnd(TWndMethod method) {
    auto m = std::make_shared<TWndMethod>(std::move(method));
    return CreateWindowHandle([m](HWND wnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        TMessage message{msg, wp, lp, 0};
        if (*m) (*m)(message);
        else message.Result = DefWindowProc(wnd, msg, wp, lp);
        return message.Result;
    });
}

void DeallocateHWnd(HWND wnd) {
    DestroyWindow(wnd);
}

bool DestroyWindow(HWND wnd) {
    if (!BindMessageThread()) return false;
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mu);
        auto it = s.windows.find(wnd);
        // A second DestroyWindow from a WM_DESTROY handler must not recurse.
        if (it == s.windows.end() || it->second.destroying) return false;
        it->second.destroying = true;
    }
    SendMessage(wnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        for (const auto& [h, w] : s.windows)
            if (w.parent == wnd) children.push_back(h);
    }
    for (HWND child : children) DestroyWindow(child);
    SendMessage(wnd, WM_NCDESTROY, 0, 0);
    {
        std::lock_guard<std::mutex> lock(s.mu);
        // Children created by the handlers above are orphans now; take them too.
        std::vector<HWND> tree;
        CollectTreeLocked(s, wnd, tree);
        for (HWND h : tree) {
            s.windows.erase(h);
            std::erase_if(s.timers, [h](const Timer& t) { return t.wnd == h; });
            std::erase_if(s.queue, [h](const Posted& p) { return p.msg.hwnd == h; });
        }
    }
    return true;
}

bool IsWindow(HWND wnd) {
    if (wnd == 0) return false;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    return s.windows.count(wnd) != 0;
}

HWND GetParent(HWND wnd) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    auto it = s.windows.find(wnd);
    return it == s.windows.end() ? 0 : it->second.parent;
}

WNDPROC SetWindowProc(HWND wnd, WNDPROC proc) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    auto it = s.windows.find(wnd);
    if (it == s.windows.end()) return {};
    WNDPROC old = *it->second.proc;
    // A new object: a procedure running now keeps its own copy alive.
    it->second.proc = std::make_shared<const WNDPROC>(std::move(proc));
    return old;
}

bool ShowWindow(HWND wnd, bool visible) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    auto it = s.windows.find(wnd);
    if (it == s.windows.end()) return false;
    it->second.visible = visible;
    return true;
}

bool IsWindowVisible(HWND wnd) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    auto it = s.windows.find(wnd);
    return it != s.windows.end() && it->second.visible;
}

bool EnumWindows(const WNDENUMPROC& callback, LPARAM lParam) {
    State& s = S();
    std::vector<HWND> top;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        for (const auto& [h, w] : s.windows)
            if (w.parent == 0) top.push_back(h);
    }
    for (HWND h : top) {
        if (!IsWindow(h)) continue;
        if (!callback(h, lParam)) return false;
    }
    return true;
}

// --- messages ----------------------------------------------------------------

LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsMessageThread()) return 0;
    State& s = S();
    auto proc = ProcOf(s, wnd);
    if (!proc || !*proc) return 0;
    // Called without the lock: the procedure may send, post or destroy.
    return (*proc)(wnd, msg, wParam, lParam);
}

bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mu);
        if (wnd != 0 && s.windows.count(wnd) == 0) return false;
        s.queue.push_back(Posted{MSG{wnd, msg, wParam, lParam, GetTickCount()}, s.nextSeq++, {}});
    }
    s.wake.notify_all();
    Notify(s);
    return true;
}

bool PostThreadMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return PostMessage(0, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mu);
        s.quitPending = true;
        s.quitCode = exitCode;
    }
    s.wake.notify_all();
    Notify(s);
}

int QuitExitCode() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    return s.quitCode;
}

namespace {

bool AdmitsInput(UINT lo, UINT hi) {
    if (lo == 0 && hi == 0) return true;
    return (lo <= kKeyLast && hi >= kKeyFirst) || (lo <= kMouseLast && hi >= kMouseFirst);
}

// Runs a hook outside the lock, never inside itself.
template <typename Hook, typename... Args>
void RunHook(Hook State::*which, bool& running, Args... args) {
    if (running) return;
    State& s = S();
    Hook hook;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        hook = s.*which;
    }
    if (!hook) return;
    running = true;
    try {
        hook(args...);
    } catch (...) {
        running = false;
        throw;
    }
    running = false;
}

}  // namespace

std::function<void(HWND)> SetInputPeekHook(std::function<void(HWND)> hook) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    std::swap(s.inputHook, hook);
    return hook;
}

std::function<void()> SetWaitHook(std::function<void()> hook) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    std::swap(s.waitHook, hook);
    return hook;
}

bool HasWaitHook() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    return static_cast<bool>(s.waitHook);
}

namespace {
bool g_servingWait = false;  // message thread only
}  // namespace

void ServeWhileWaiting() {
    if (!IsMessageThread()) return;
    RunHook(&State::waitHook, g_servingWait);
}

bool ServingWhileWaiting() { return g_servingWait && IsMessageThread(); }

namespace {
std::atomic<bool> g_deferredRepaint{false};
}  // namespace

void DeferRepaint() {
    g_deferredRepaint = true;
    Notify(S());
}

bool TakeDeferredRepaint() { return g_deferredRepaint.exchange(false); }

bool PeekMessage(MSG& msg, HWND wnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!BindMessageThread()) return false;
    if (AdmitsInput(filterMin, filterMax)) {
        static bool running = false;
        RunHook(&State::inputHook, running, wnd);
    }
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    return TakeLocked(s, msg, wnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0,
                      UINT64_MAX, nullptr);
}

namespace {

// How long a blocked reader may sleep; lock held. -1: until woken by a post.
std::int64_t SleepLimitLocked(State& s, HWND wnd) {
    std::int64_t limit = -1;
    const std::uint32_t now = GetTickCount();
    for (const Timer& t : s.timers) {
        if (wnd != 0 && t.wnd != wnd) continue;
        std::int64_t in = std::max<std::int32_t>(0, static_cast<std::int32_t>(t.next - now));
        in = std::min<std::int64_t>(in, kTimerPollMs);
        if (limit < 0 || in < limit) limit = in;
    }
    return limit;
}

}  // namespace

int GetMessage(MSG& msg, HWND wnd, UINT filterMin, UINT filterMax) {
    if (!BindMessageThread()) return -1;
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mu);
    for (;;) {
        if (TakeLocked(s, msg, wnd, filterMin, filterMax, true, UINT64_MAX, nullptr))
            return msg.message == WM_QUIT ? 0 : 1;
        std::int64_t limit = SleepLimitLocked(s, wnd);
        if (limit < 0) s.wake.wait(lock);
        else s.wake.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(limit, 1)));
    }
}

bool WaitMessage(std::uint32_t timeoutMs) {
    if (!BindMessageThread()) return false;
    State& s = S();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(s.mu);
    for (;;) {
        MSG probe;
        if (TakeLocked(s, probe, 0, 0, 0, false, UINT64_MAX, nullptr)) return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        auto until = deadline;
        std::int64_t limit = SleepLimitLocked(s, 0);
        if (limit >= 0) until = std::min(until, now + std::chrono::milliseconds(std::max<std::int64_t>(limit, 1)));
        s.wake.wait_until(lock, until);
    }
}

bool PostKeyInput(HWND wnd, UINT msg, WPARAM vk, LPARAM keyData, const std::string& chars) {
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mu);
        if (s.windows.count(wnd) == 0) return false;
        s.queue.push_back(Posted{MSG{wnd, msg, vk, keyData, GetTickCount()}, s.nextSeq++, chars});
    }
    s.wake.notify_all();
    Notify(s);
    return true;
}

bool TranslateMessage(const MSG& msg) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    const MSG& k = s.lastKey.msg;
    if (!s.lastKeyValid || k.hwnd != msg.hwnd || k.message != msg.message || k.wParam != msg.wParam ||
        k.lParam != msg.lParam || k.time != msg.time)
        return false;
    s.lastKeyValid = false;
    // The characters come before any later input, and within the same pass
    // of the loop as their key (they share its sequence number).
    const UINT charMsg = msg.message == kSysKeyDown ? kSysChar : kChar;
    const std::string& chars = s.lastKey.chars;
    for (auto c = chars.rbegin(); c != chars.rend(); ++c)
        s.queue.push_front(Posted{MSG{msg.hwnd, charMsg, static_cast<unsigned char>(*c), msg.lParam, msg.time},
                                  s.lastKey.seq, {}});
    return true;
}

LRESULT DispatchMessage(const MSG& msg) {
    if (msg.hwnd == 0) return 0;
    return SendMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// --- timers ----------------------------------------------------------------

UINT SetTimer(HWND wnd, UINT id, UINT periodMs) {
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mu);
        if (s.windows.count(wnd) == 0) return 0;
        const std::uint32_t period = std::max(periodMs, USER_TIMER_MINIMUM);
        const std::uint32_t next = GetTickCount() + period;
        auto it = std::find_if(s.timers.begin(), s.timers.end(),
                               [&](const Timer& t) { return t.wnd == wnd && t.id == id; });
        if (it != s.timers.end()) {
            it->period = period;
            it->next = next;
        } else {
            s.timers.push_back(Timer{wnd, id, period, next});
        }
    }
    s.wake.notify_all();
    Notify(s);
    return id != 0 ? id : 1;
}

bool KillTimer(HWND wnd, UINT id) {
    State& s = S();
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        found = std::erase_if(s.timers, [&](const Timer& t) { return t.wnd == wnd && t.id == id; }) != 0;
    }
    if (found) Notify(s);
    return found;
}

std::int64_t MillisecondsToNextTimer() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mu);
    std::int64_t best = -1;
    const std::uint32_t now = GetTickCount();
    for (const Timer& t : s.timers) {
        std::int64_t in = std::max<std::int32_t>(0, static_cast<std::int32_t>(t.next - now));
        if (best < 0 || in < best) best = in;
    }
    return best;
}

// --- the loop ------------------------------------------------------------------

namespace {

bool ProcessOnce(std::uint64_t maxSeq) {
    State& s = S();
    FiredList fired;
    for (;;) {
        MSG msg;
        {
            std::lock_guard<std::mutex> lock(s.mu);
            if (!TakeLocked(s, msg, 0, 0, 0, true, maxSeq, &fired)) return true;
        }
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
}

}  // namespace

bool ProcessMessages() {
    if (!BindMessageThread()) return true;
    State& s = S();
    std::uint64_t maxSeq;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        maxSeq = s.nextSeq - 1;
    }
    return ProcessOnce(maxSeq);
}

bool PumpPending() {
    return ProcessMessages();
}

int Run() {
    MSG msg;
    for (;;) {
        int r = GetMessage(msg, 0, 0, 0);
        if (r == 0) return static_cast<int>(msg.wParam);
        if (r < 0) return -1;
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
}

}  // namespace plat
