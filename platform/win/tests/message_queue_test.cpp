#include "platform/win/message_queue.h"

#include "platform/core/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace plat;

namespace {

struct Seen {
    HWND wnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    bool operator==(const Seen&) const = default;
};

// Installs a fake clock and cleans the process-wide queue after each test.
class WinQueue : public ::testing::Test {
protected:
    FakeClock clock{1000};
    ScopedClock scope{clock};
    std::vector<HWND> made;
    std::vector<Seen> log;

    void SetUp() override { ASSERT_TRUE(BindMessageThread()); }
    void TearDown() override {
        for (HWND h : made) DestroyWindow(h);
        MSG m;
        while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) {}
    }
    // A window that records every message other than creation and destruction.
    HWND Recorder(HWND parent = 0) {
        HWND h = CreateWindowHandle(
            [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                if (m != WM_CREATE && m != WM_DESTROY && m != WM_NCDESTROY) log.push_back({w, m, wp, lp});
                return DefWindowProc(w, m, wp, lp);
            },
            parent);
        made.push_back(h);
        return h;
    }
    int TimerCount(HWND w) {
        int n = 0;
        ProcessMessages();
        for (const Seen& s : log)
            if (s.wnd == w && s.msg == WM_TIMER) ++n;
        log.clear();
        return n;
    }
};

TEST_F(WinQueue, HandlesCountUpAndAreNeverReused) {
    HWND a = Recorder();
    HWND b = Recorder();
    ASSERT_NE(a, 0u);
    EXPECT_GT(b, a);
    ASSERT_TRUE(DestroyWindow(a));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(DestroyWindow(a));
    HWND c = Recorder();
    EXPECT_GT(c, b);
    EXPECT_NE(c, a);
    EXPECT_FALSE(IsWindow(0));
    // A parent that is not a window is refused.
    EXPECT_EQ(CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }, a), 0u);
}

TEST_F(WinQueue, CreateCanBeRefusedByTheProcedure) {
    HWND before = Recorder();
    HWND refused = CreateWindowHandle(
        [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CREATE ? -1 : 0; });
    EXPECT_EQ(refused, 0u);
    EXPECT_FALSE(IsWindow(before + 1));
    HWND after = Recorder();
    EXPECT_GT(after, before + 1);  // the refused handle is spent
}

TEST_F(WinQueue, SendMessageNestsAndRecursesIntoItself) {
    HWND inner = CreateWindowHandle(
        [](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT { return m == WM_USER ? static_cast<LRESULT>(wp) * 10 : 0; });
    made.push_back(inner);
    // Factorial by sending to itself; each level also asks the inner window.
    HWND outer = CreateWindowHandle([inner](HWND self, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m != WM_USER + 1) return 0;
        LRESULT viaInner = SendMessage(inner, WM_USER, wp, 0) / 10;
        if (wp <= 1) return viaInner;
        return static_cast<LRESULT>(wp) * SendMessage(self, WM_USER + 1, wp - 1, 0);
    });
    made.push_back(outer);
    EXPECT_EQ(SendMessage(outer, WM_USER + 1, 5, 0), 120);
    EXPECT_EQ(SendMessage(outer, WM_USER + 7, 5, 0), 0);
}

TEST_F(WinQueue, WindowMayDestroyItselfInsideItsProcedure) {
    HWND w = 0;
    w = CreateWindowHandle([](HWND self, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m != WM_USER) return 0;
        DestroyWindow(self);
        return IsWindow(self) ? 1 : 2;
    });
    EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 2);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 0);
}

TEST_F(WinQueue, PeekWindowAndRangeFilters) {
    HWND a = Recorder();
    HWND b = Recorder();
    ASSERT_TRUE(PostMessage(a, WM_USER + 1, 11, 0));
    ASSERT_TRUE(PostMessage(b, WM_USER + 2, 22, 0));
    ASSERT_TRUE(PostThreadMessage(WM_APP, 33, 0));

    struct Case {
        HWND wnd;
        UINT lo, hi;
        bool found;
        UINT msg;
    };
    const Case cases[] = {
        {b, 0, 0, true, WM_USER + 2},             // window filter skips a's earlier message
        {a, WM_USER + 2, WM_USER + 9, false, 0},  // a's only message is out of range
        {a, WM_USER + 1, WM_USER + 1, true, WM_USER + 1},
        {0, WM_USER, WM_USER + 5, true, WM_USER + 1},
        {a, WM_APP, WM_APP, false, 0},  // thread messages need the unfiltered window
        {0, WM_APP, WM_APP, true, WM_APP},
    };
    for (const Case& c : cases) {
        MSG m;
        EXPECT_EQ(PeekMessage(m, c.wnd, c.lo, c.hi, PM_NOREMOVE), c.found) << c.wnd << " " << c.lo;
        if (c.found) {
            EXPECT_EQ(m.message, c.msg);
        }
    }
    // PM_NOREMOVE left everything: b's message is taken once, a's stays queued.
    MSG m;
    ASSERT_TRUE(PeekMessage(m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b);
    EXPECT_EQ(m.wParam, 22u);
    EXPECT_FALSE(PeekMessage(m, b, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, 0u);
    EXPECT_EQ(m.wParam, 33u);
    EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
}

TEST_F(WinQueue, PointerSizedParametersSurviveTheQueue) {
    HWND a = Recorder();
    int target = 0;
    LPARAM lp = reinterpret_cast<LPARAM>(&target);
    WPARAM wp = ~static_cast<WPARAM>(0) - 5;
    ASSERT_TRUE(PostMessage(a, WM_USER, wp, lp));
    ProcessMessages();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Seen{a, WM_USER, wp, lp}));
}

TEST_F(WinQueue, DestroyDropsQueuedMessagesTimersAndChildren) {
    std::vector<std::pair<HWND, UINT>> order;
    auto tracer = [&order](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_DESTROY || m == WM_NCDESTROY) order.push_back({w, m});
        return 0;
    };
    HWND parent = CreateWindowHandle(tracer);
    HWND child = CreateWindowHandle(tracer, parent);
    HWND other = Recorder();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(GetParent(child), parent);
    ASSERT_TRUE(PostMessage(parent, WM_USER, 1, 0));
    ASSERT_TRUE(PostMessage(child, WM_USER, 2, 0));
    ASSERT_TRUE(PostMessage(other, WM_USER, 3, 0));
    ASSERT_NE(SetTimer(parent, 7, 100), 0u);

    ASSERT_TRUE(DestroyWindow(parent));
    const std::vector<std::pair<HWND, UINT>> expected = {
        {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(PostMessage(parent, WM_USER, 4, 0));
    EXPECT_EQ(SendMessage(child, WM_USER, 0, 0), 0);
    EXPECT_EQ(SetTimer(parent, 7, 100), 0u);
    EXPECT_FALSE(KillTimer(parent, 7));

    clock.Advance(500);
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, other);  // the dead windows' messages left the queue
    ProcessMessages();
    ASSERT_EQ(log.size(), 1u);  // only the surviving window's message
    EXPECT_EQ(log[0], (Seen{other, WM_USER, 3, 0}));
    EXPECT_EQ(MillisecondsToNextTimer(), -1);
}

TEST_F(WinQueue, TimerFiresOncePerElapsedPeriod) {
    HWND w = Recorder();
    ASSERT_EQ(SetTimer(w, 42, 100), 42u);
    EXPECT_EQ(MillisecondsToNextTimer(), 100);
    clock.Advance(99);
    EXPECT_EQ(TimerCount(w), 0);
    clock.Advance(1);
    ProcessMessages();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Seen{w, WM_TIMER, 42, 0}));
    log.clear();
    EXPECT_EQ(TimerCount(w), 0);  // nothing more until the next period
    clock.Advance(100);
    EXPECT_EQ(TimerCount(w), 1);

    // Three periods unseen still give a single pending WM_TIMER ...
    clock.Advance(350);  // now 550 after the start
    MSG m;
    ASSERT_TRUE(PeekMessage(m, w, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(PeekMessage(m, w, WM_TIMER, WM_TIMER, PM_REMOVE));
    // ... and the cadence holds: the next one is due at 600, not 650.
    clock.Advance(49);
    EXPECT_EQ(TimerCount(w), 0);
    clock.Advance(1);
    EXPECT_EQ(TimerCount(w), 1);
}

TEST_F(WinQueue, TimerPeekWithoutRemoveLeavesItDue) {
    HWND w = Recorder();
    SetTimer(w, 1, 50);
    clock.Advance(50);
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));
    // A window or range filter that excludes it does not see it.
    EXPECT_FALSE(PeekMessage(m, w, WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(TimerCount(w), 1);
}

TEST_F(WinQueue, KillTimerStopsAndSetTimerRestarts) {
    HWND w = Recorder();
    SetTimer(w, 1, 100);
    SetTimer(w, 2, 250);
    clock.Advance(100);
    EXPECT_EQ(TimerCount(w), 1);
    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 1));
    clock.Advance(150);  // 250: only timer 2
    ProcessMessages();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].wp, 2u);
    log.clear();
    // Setting an existing timer again restarts its period from now.
    clock.Advance(200);
    SetTimer(w, 2, 100);
    clock.Advance(60);  // 510: the old cadence (500) must not fire
    EXPECT_EQ(TimerCount(w), 0);
    clock.Advance(40);
    EXPECT_EQ(TimerCount(w), 1);
    EXPECT_EQ(SetTimer(0, 1, 100), 0u);
}

TEST_F(WinQueue, TimerSurvivesTickWrapAndZeroPeriodIsClamped) {
    clock.SetTick(0xFFFFFFC0u);
    HWND w = Recorder();
    SetTimer(w, 1, 100);  // due at 0x24 after the wrap
    clock.Advance(99);
    EXPECT_EQ(TimerCount(w), 0);
    clock.Advance(1);
    EXPECT_EQ(TimerCount(w), 1);
    SetTimer(w, 3, 0);
    EXPECT_EQ(MillisecondsToNextTimer(), static_cast<std::int64_t>(USER_TIMER_MINIMUM));
}

TEST_F(WinQueue, PostedMessagesComeBeforeQuitAndTimers) {
    HWND w = Recorder();
    SetTimer(w, 9, 10);
    clock.Advance(10);
    PostMessage(w, WM_USER, 1, 0);
    PostQuitMessage(3);
    PostMessage(w, WM_USER, 2, 0);  // posted after the quit, still comes first
    MSG m;
    // A window-filtered pump (a transport waiting for its reply) never eats the quit.
    EXPECT_FALSE(PeekMessage(m, w, WM_QUIT, WM_QUIT, PM_REMOVE));
    std::vector<UINT> got;
    while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) got.push_back(m.message == WM_USER ? WM_USER + m.wParam : m.message);
    const std::vector<UINT> expected = {WM_USER + 1, WM_USER + 2, WM_QUIT, WM_TIMER};
    EXPECT_EQ(got, expected);
}

TEST_F(WinQueue, EnumWindowsSeesTopLevelWindowsAndCanStop) {
    HWND a = Recorder();
    HWND child = Recorder(a);
    HWND hidden = AllocateHWnd([](TMessage&) {});
    made.push_back(hidden);
    HWND c = Recorder();
    std::vector<HWND> seen;
    EXPECT_TRUE(EnumWindows([&](HWND h, LPARAM) { seen.push_back(h); return true; }, 0));
    // Other tests' windows are gone; ours appear oldest first, the child not at all.
    const std::vector<HWND> all = {a, hidden, c};
    EXPECT_EQ(seen, all);
    EXPECT_FALSE(IsWindowVisible(hidden));
    (void)child;

    // The walk stops at the window that answers, as a server search does.
    seen.clear();
    LPARAM asked = 0;
    EXPECT_FALSE(EnumWindows([&](HWND h, LPARAM lp) { asked = lp; seen.push_back(h); return h != hidden; }, 77));
    EXPECT_EQ(seen, (std::vector<HWND>{a, hidden}));
    EXPECT_EQ(asked, 77);

    // A window destroyed by an earlier callback is not visited.
    seen.clear();
    EnumWindows([&](HWND h, LPARAM) {
        seen.push_back(h);
        if (h == a) DestroyWindow(c);
        return true;
    }, 0);
    EXPECT_EQ(seen, (std::vector<HWND>{a, hidden}));
}

TEST_F(WinQueue, AllocateHWndAnswersThroughTheMethodResult) {
    std::vector<UINT> got;
    HWND h = AllocateHWnd([&got](TMessage& m) {
        got.push_back(m.Msg);
        m.Result = m.Msg == 5110 ? 20822 : 0;
    });
    made.push_back(h);
    EXPECT_EQ(SendMessage(h, 5110, 0, 123), 20822);
    EXPECT_EQ(SendMessage(h, 5109, 0, 0), 0);
    EXPECT_TRUE(DestroyWindow(h));
    EXPECT_EQ(got, (std::vector<UINT>{WM_CREATE, 5110, 5109, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WinQueue, ProcessMessagesHandlesOnlyWhatWasQueuedAtTheCall) {
    int handled = 0;
    HWND w = CreateWindowHandle([&handled](HWND self, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER) {
            ++handled;
            PostMessage(self, WM_USER, 0, 0);  // re-posts itself forever
        }
        return 0;
    });
    made.push_back(w);
    PostMessage(w, WM_USER, 0, 0);
    PostMessage(w, WM_USER, 0, 0);
    EXPECT_TRUE(ProcessMessages());
    EXPECT_EQ(handled, 2);
    EXPECT_TRUE(ProcessMessages());
    EXPECT_EQ(handled, 4);
    PostQuitMessage(5);
    EXPECT_FALSE(PumpPending());
    EXPECT_EQ(QuitExitCode(), 5);
}

TEST_F(WinQueue, PostQuitMessageEndsRun) {
    HWND w = Recorder();
    PostMessage(w, WM_USER, 1, 0);
    PostMessage(w, WM_USER, 2, 0);
    PostQuitMessage(17);
    EXPECT_EQ(plat::Run(), 17);
    EXPECT_EQ(log.size(), 2u);
    MSG m;
    EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));  // the quit was consumed
}

TEST_F(WinQueue, RunDispatchesTimersUntilAHandlerQuits) {
    int ticks = 0;
    HWND w = CreateWindowHandle([&ticks](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_TIMER && ++ticks == 3) PostQuitMessage(0);
        return 0;
    });
    made.push_back(w);
    SetTimer(w, 1, 100);
    // Another thread moves the fake clock; the blocked loop must notice. It
    // is also the watchdog: a loop that never sees its timers is ended with
    // another code after a few seconds, so the test fails instead of hanging.
    std::atomic<bool> stop{false};
    std::thread mover([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stop) {
            if (std::chrono::steady_clock::now() > deadline) {
                PostQuitMessage(99);
                break;
            }
            clock.Advance(50);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    EXPECT_EQ(plat::Run(), 0);
    stop = true;
    mover.join();
    EXPECT_EQ(ticks, 3);
}

TEST_F(WinQueue, PostFromWorkerThreadWakesGetMessage) {
    HWND w = Recorder();
    std::atomic<int> notified{0};
    SetQueueNotifier([&notified] { ++notified; });
    std::thread worker([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessage(w, 5104, 1, 2);
    });
    MSG m;
    EXPECT_EQ(GetMessage(m, 0, 0, 0), 1);
    worker.join();
    SetQueueNotifier({});
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(m.message, 5104u);
    EXPECT_EQ(notified.load(), 1);
}

TEST_F(WinQueue, ManyWorkersPostInOrderPerThread) {
    std::vector<std::vector<WPARAM>> byThread(4);
    HWND w = CreateWindowHandle([&byThread](HWND, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER) byThread[static_cast<size_t>(lp)].push_back(wp);
        return 0;
    });
    made.push_back(w);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([w, t] {
            for (WPARAM i = 0; i < 250; ++i) PostMessage(w, WM_USER, i, t);
        });
    for (auto& t : workers) t.join();
    ProcessMessages();
    for (const auto& seq : byThread) {
        ASSERT_EQ(seq.size(), 250u);
        for (size_t i = 0; i < seq.size(); ++i) ASSERT_EQ(seq[i], i);
    }
}

TEST_F(WinQueue, OtherThreadsCannotSendOrPump) {
    int calls = 0;
    HWND w = CreateWindowHandle([&calls](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls; });
    made.push_back(w);
    calls = 0;
    PostMessage(w, WM_USER, 0, 0);
    LRESULT sent = -1;
    bool peeked = true;
    HWND created = 1;
    std::thread other([&] {
        sent = SendMessage(w, WM_USER, 0, 0);
        MSG m;
        peeked = PeekMessage(m, 0, 0, 0, PM_REMOVE);
        created = CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        EXPECT_FALSE(BindMessageThread());
        EXPECT_TRUE(IsWindow(w));  // queries stay open to every thread
    });
    other.join();
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(peeked);
    EXPECT_EQ(created, 0u);
    EXPECT_EQ(calls, 0);
    ProcessMessages();
    EXPECT_EQ(calls, 1);  // the posted message was left for the message thread
    DestroyWindow(w);     // before `calls` goes out of scope
}

TEST_F(WinQueue, WaitMessageTimesOutAndSeesDueTimers) {
    HWND w = Recorder();
    EXPECT_FALSE(WaitMessage(5));
    SetTimer(w, 1, 100);
    EXPECT_FALSE(WaitMessage(5));
    clock.Advance(100);
    EXPECT_TRUE(WaitMessage(0));
}

TEST_F(WinQueue, NotifierHearsPostsQuitAndTimerChanges) {
    HWND w = Recorder();
    int notified = 0;
    SetQueueNotifier([&notified] { ++notified; });
    PostMessage(w, WM_USER, 0, 0);
    EXPECT_EQ(notified, 1);
    EXPECT_FALSE(PostMessage(w + 1000, WM_USER, 0, 0));
    EXPECT_EQ(notified, 1);  // a refused post is no work
    SetTimer(w, 1, 100);
    KillTimer(w, 1);
    PostQuitMessage(0);
    SetQueueNotifier({});
    EXPECT_EQ(notified, 4);
}

// The shape of the engine's in-process exchange: a client finds the listening
// window by a search message over the top-level windows, hands it a record by
// address with SendMessage, the server posts "request queued" back to the
// client's hidden window, and the client pumps only its own window while it
// waits. A keep-alive timer on a third window must not be consumed meanwhile.
TEST_F(WinQueue, InProcessExchangeOverHiddenWindows) {
    constexpr UINT kSearch = 5110, kPacket = 5109, kQueued = 5105;
    constexpr LRESULT kListening = 20822;
    struct Record {
        std::uint32_t kind;
        std::uint32_t length;
        const char* data;
    };
    HWND keepAlive = Recorder();
    SetTimer(keepAlive, 1, 2500);
    HWND bystander = AllocateHWnd([](TMessage& m) { m.Result = 1; });  // answers, but not 20822
    made.push_back(bystander);

    std::string received;
    HWND client = 0;
    int served = 0;
    client = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == kQueued) ++served;
    });
    made.push_back(client);
    HWND server = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == kSearch) {
            m.Result = kListening;
        } else if (m.Msg == kPacket) {
            const auto* rec = reinterpret_cast<const Record*>(m.LParam);
            received.assign(rec->data, rec->length);
            PostMessage(static_cast<HWND>(m.WParam), kQueued, 0, 0);
        }
    });
    made.push_back(server);

    HWND found = 0;
    EnumWindows([&](HWND h, LPARAM self) {
        if (SendMessage(h, kSearch, 0, self) != kListening) return true;
        found = h;
        return false;
    }, static_cast<LPARAM>(client));
    ASSERT_EQ(found, server);
    ASSERT_EQ(log.size(), 1u);  // the keep-alive window was asked first and said no
    EXPECT_EQ(log[0], (Seen{keepAlive, kSearch, 0, static_cast<LPARAM>(client)}));
    log.clear();

    const char payload[] = "request";
    Record rec{20823, 7, payload};
    SendMessage(server, kPacket, client, reinterpret_cast<LPARAM>(&rec));
    EXPECT_EQ(received, "request");

    clock.Advance(2500);  // the keep-alive is due while the client waits
    MSG m;
    while (served == 0 && PeekMessage(m, client, 0, 0, PM_REMOVE)) {
        TranslateMessage(m);
        DispatchMessage(m);
    }
    EXPECT_EQ(served, 1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(TimerCount(keepAlive), 1);  // still there for the main loop
    for (HWND h : {client, server}) DestroyWindow(h);  // before the captured locals go
}

// Key presses posted as input: the loop translates them into characters
// that come straight after their key, before later input; a poll that takes
// the key and does not translate it types nothing.
TEST_F(WinQueue, PostedKeysAreTranslatedByTheLoopButNotByAPoll) {
    constexpr UINT kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102, kSysKeyDown = 0x0104, kSysChar = 0x0106;
    HWND w = Recorder();
    ASSERT_TRUE(PostKeyInput(w, kKeyDown, 'A', 1, "a"));
    ASSERT_TRUE(PostKeyInput(w, kKeyDown, 0x0D, 1, "\r"));
    ASSERT_TRUE(PostMessage(w, kKeyUp, 0x0D, 0));
    ASSERT_TRUE(PostKeyInput(w, kSysKeyDown, 'F', 2, "f"));
    EXPECT_TRUE(ProcessMessages());
    EXPECT_EQ(log, (std::vector<Seen>{{w, kKeyDown, 'A', 1}, {w, kChar, 'a', 1}, {w, kKeyDown, 0x0D, 1},
                                      {w, kChar, '\r', 1}, {w, kKeyUp, 0x0D, 0}, {w, kSysKeyDown, 'F', 2},
                                      {w, kSysChar, 'f', 2}}));
    log.clear();

    // Escape taken by a poll: no character follows; the next key still types.
    ASSERT_TRUE(PostKeyInput(w, kKeyDown, 0x1B, 1, "\x1b"));
    ASSERT_TRUE(PostKeyInput(w, kKeyDown, 'B', 1, "b"));
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, kKeyDown, kKeyDown, PM_REMOVE));
    EXPECT_EQ(m.wParam, 0x1Bu);
    EXPECT_EQ(m.hwnd, w);
    EXPECT_TRUE(ProcessMessages());
    EXPECT_EQ(log, (std::vector<Seen>{{w, kKeyDown, 'B', 1}, {w, kChar, 'b', 1}}));
    // Translating a message that is not the key just taken does nothing.
    EXPECT_FALSE(TranslateMessage(MSG{w, kKeyDown, 'C', 1, 0}));
    EXPECT_FALSE(PostKeyInput(0x7FFFFFF0, kKeyDown, 'A', 1, "a"));
}

// A poll for input first lets the GUI move pending input into the queue; a
// poll for other messages does not ask, and the hook never re-enters itself.
TEST_F(WinQueue, InputPeekHookRunsForPollsThatAdmitInput) {
    HWND w = Recorder();
    int calls = 0;
    HWND polled = 99;
    SetInputPeekHook([&](HWND wnd) {
        ++calls;
        polled = wnd;
        PostKeyInput(w, 0x0100, 0x1B, 1, "\x1b");
        MSG inner;
        PeekMessage(inner, 0, 0x0100, 0x0100, PM_NOREMOVE);  // from inside: no second call
    });
    MSG m0;
    struct Case { UINT lo, hi; bool asks; };
    for (Case c : {Case{0x0100, 0x0100, true}, {0, 0, true}, {0x0200, 0x020A, true}, {0x00FF, 0x0100, true},
                   {WM_USER, WM_USER, false}, {WM_TIMER, WM_TIMER, false}, {0x010A, 0x01FF, false}}) {
        calls = 0;
        MSG m;
        PeekMessage(m, 0, c.lo, c.hi, PM_NOREMOVE);
        EXPECT_EQ(calls, c.asks ? 1 : 0) << std::hex << c.lo << "-" << c.hi;
    }
    PeekMessage(m0, w, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(polled, w);  // the hook is told which window the poll is for
    SetInputPeekHook({});
    MSG m;
    int keys = 0;
    while (PeekMessage(m, 0, 0x0100, 0x0100, PM_REMOVE)) ++keys;
    EXPECT_EQ(keys, 5);  // one per poll that asked
}

TEST_F(WinQueue, WaitHookIsServedOnlyWhenSetAndNeverReentered) {
    EXPECT_FALSE(HasWaitHook());
    ServeWhileWaiting();  // nothing set: nothing happens
    int calls = 0;
    bool insideSeen = false;
    SetWaitHook([&] {
        ++calls;
        insideSeen = ServingWhileWaiting();
        ServeWhileWaiting();
    });
    EXPECT_TRUE(HasWaitHook());
    EXPECT_FALSE(ServingWhileWaiting());
    ServeWhileWaiting();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(insideSeen);  // what the hook reaches knows it runs inside a wait
    EXPECT_FALSE(ServingWhileWaiting());
    std::thread other([] { ServeWhileWaiting(); });  // not the message thread: refused
    other.join();
    EXPECT_EQ(calls, 1);
    SetWaitHook({});
    EXPECT_FALSE(HasWaitHook());
}

TEST_F(WinQueue, ADeferredRepaintIsTakenOnceAndWakesTheQueue) {
    int notified = 0;
    SetQueueNotifier([&] { ++notified; });
    TakeDeferredRepaint();
    EXPECT_FALSE(TakeDeferredRepaint());
    DeferRepaint();
    DeferRepaint();
    EXPECT_GE(notified, 1);  // the GUI's pump runs to do it
    EXPECT_TRUE(TakeDeferredRepaint());
    EXPECT_FALSE(TakeDeferredRepaint());
    SetQueueNotifier({});
}

}  // namespace
