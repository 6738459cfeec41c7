// Windows, window procedures, the message queue, timers and the message loop:
// a process-local, headless stand-in for the window-message calls the table
// engine and the user interface rely on.
//
// One queue for the whole process
//   There is a single queue, owned by the message thread: the first thread
//   that creates a window or reads the queue (or calls BindMessageThread).
//   Windows, SendMessage, DispatchMessage, PeekMessage, GetMessage and the loop
//   functions belong to that thread; called from any other thread they refuse
//   (0, false or -1) and do nothing. SendMessage is not marshalled across
//   threads on purpose: a worker that waited for the message thread could
//   deadlock against it. Workers talk to windows with PostMessage.
//   PostMessage, PostThreadMessage, PostQuitMessage, IsWindow, SetTimer and
//   KillTimer are safe from any thread; a post wakes a waiting GetMessage.
//
// Order of retrieval (as the engine expects from the platform)
//   posted messages in order, then WM_QUIT, then WM_TIMER. A timer message is
//   generated only when nothing posted matches, its period has elapsed on
//   plat::GetTickCount(), and the caller removes it; so at most one WM_TIMER
//   per timer is ever pending however many periods went by. A timer keeps its
//   cadence: after a late delivery its next expiry is the next multiple of the
//   period from when it was set, not a full period after the delivery.
//
// Time
//   Timers read the current plat clock. With a FakeClock, advance it and pump
//   (ProcessMessages or PeekMessage) to get due timers. GetMessage, when it has
//   to block, wakes at the next timer's due time and in any case re-checks
//   every few milliseconds while timers exist, so a clock advanced by another
//   thread is noticed.
//
// Driving the queue from another event loop (the GUI)
//   When the Qt user interface runs, nothing calls Run or GetMessage. Instead
//   the GUI layer
//     1. calls SetQueueNotifier(fn) once. fn is called, from whatever thread
//        posted, whenever work may have arrived: a message was posted, quit
//        was requested, or a timer was set or killed. fn must only schedule
//        (for example a queued call into the GUI thread), never pump itself.
//     2. in the GUI thread, calls PumpPending() from that scheduled call and
//        from a single-shot timer armed with MillisecondsToNextTimer() after
//        every pump. PumpPending handles what is queued now and the timers
//        that are due, then returns; false means WM_QUIT was retrieved and the
//        GUI should leave its loop with QuitExitCode().
//   Because Qt's nested event loops (modal dialogs, menus) keep delivering
//   those scheduled calls, engine timers and posted messages keep working
//   inside modal loops, and there is only ever one loop.
#pragma once

#include "platform/win/win_types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// --- windows -------------------------------------------------------------
// Creates a window with its own procedure; parent 0 makes it top-level.
// Sends WM_CREATE; a procedure answering -1 to it aborts the creation.
// Result 0 when the parent is not a window or on the wrong thread.
HWND CreateWindowHandle(WNDPROC proc, HWND parent = 0);
// A hidden top-level window whose messages go to `method`, which answers
// through TMessage::Result (pass unknown messages on to DefWindowProc).
HWND AllocateHWnd(TWndMethod method);
void DeallocateHWnd(HWND wnd);
// Sends WM_DESTROY, destroys the children, sends WM_NCDESTROY, then kills the
// window's timers and drops the messages queued for it. False for a non-window.
bool DestroyWindow(HWND wnd);
bool IsWindow(HWND wnd);
HWND GetParent(HWND wnd);
// Replaces the window's procedure and returns the previous one (empty for a
// non-window).
WNDPROC SetWindowProc(HWND wnd, WNDPROC proc);
// Windows start hidden; visibility is a flag that the GUI layer keeps.
bool ShowWindow(HWND wnd, bool visible);
bool IsWindowVisible(HWND wnd);
// Walks the top-level windows, oldest first, until the callback answers false.
// Windows destroyed during the walk are skipped. Result false when stopped.
bool EnumWindows(const WNDENUMPROC& callback, LPARAM lParam);

// --- messages --------------------------------------------------------------
// Calls the window's procedure at once and returns its result; re-entrant.
// 0 for a non-window or from another thread.
LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues a message for a window. False for a non-window. wnd 0 queues a
// thread message (hwnd 0), which only an unfiltered read receives.
bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool PostThreadMessage(UINT msg, WPARAM wParam, LPARAM lParam);
// Asks the loop to end: WM_QUIT with exitCode in wParam is retrieved after
// the messages already posted. Only an unfiltered read (wnd 0) receives it.
void PostQuitMessage(int exitCode);
// Takes the next message for `wnd` (0: any, including thread messages and
// WM_QUIT) with a number in [filterMin, filterMax] (both 0: any). With
// PM_NOREMOVE the message stays queued (a timer stays due). False when
// nothing matches or on the wrong thread.
bool PeekMessage(MSG& msg, HWND wnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Blocks until a matching message is there: 1 for a message, 0 for WM_QUIT,
// -1 on the wrong thread.
int GetMessage(MSG& msg, HWND wnd, UINT filterMin, UINT filterMax);
// Waits at most timeoutMs of real time (whatever clock is installed) for a
// message or a due timer; true when one is there. Nothing is removed.
bool WaitMessage(std::uint32_t timeoutMs);
// Queues a key press as the window system would: WM_KEYDOWN or WM_SYSKEYDOWN
// (msg) for `wnd`, with the characters it types. False for a non-window.
bool PostKeyInput(HWND wnd, UINT msg, WPARAM vk, LPARAM keyData, const std::string& chars);
// For a key press just taken from the queue, queues its characters as
// WM_CHAR (WM_SYSCHAR) ahead of everything else; true when it did. A key
// press removed by a poll and not translated types nothing.
bool TranslateMessage(const MSG& msg);
// Calls the procedure of msg.hwnd; 0 for thread messages and non-windows.
LRESULT DispatchMessage(const MSG& msg);
// What a window procedure does with messages it does not handle: nothing, 0.
LRESULT DefWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// --- timers ----------------------------------------------------------------
// Starts or restarts timer `id` of `wnd`: WM_TIMER (wParam = id) every
// `periodMs` (at least USER_TIMER_MINIMUM). Result non-zero on success, 0 for
// a non-window.
UINT SetTimer(HWND wnd, UINT id, UINT periodMs);
bool KillTimer(HWND wnd, UINT id);
// Milliseconds until the earliest timer is due (0: due now); -1 without timers.
std::int64_t MillisecondsToNextTimer();

// --- the loop ------------------------------------------------------------------
// Handles every message queued at the call and every timer due at the call,
// each at most once, then returns (messages that handlers post wait for the
// next call). False when WM_QUIT was retrieved; its code is in QuitExitCode().
bool ProcessMessages();
// The GUI layer's entry; the same as ProcessMessages.
bool PumpPending();
// Gets and dispatches messages until WM_QUIT; returns its exit code.
int Run();
int QuitExitCode();

// --- the message thread and the GUI hook -----------------------------------------------
// Makes the calling thread the message thread unless one is bound already;
// true when the caller is (now) the message thread.
bool BindMessageThread();
bool IsMessageThread();
// Called whenever work may have arrived (see above); empty to remove.
void SetQueueNotifier(std::function<void()> notifier);

// Input waits outside the queue: the GUI hands key presses straight to the
// controls. So that a PeekMessage poll during long work (for Escape, say)
// sees them, PeekMessage first calls this hook whenever its filter admits
// keyboard or mouse messages, with the poll's window (0: any); the GUI posts
// the input that is pending into the queue there, without dispatching it,
// unless the window is one that never gets input (a hidden window of the
// engine's). Empty to remove. Both setters return the hook they replace.
std::function<void(HWND)> SetInputPeekHook(std::function<void(HWND)> hook);
// Code that waits in the message thread for something another part of the
// program delivers (an engine reply) calls ServeWhileWaiting on every turn;
// the GUI installs a hook that serves its events there, so windows repaint
// while the wait lasts; input goes into the queue as for a poll, so no control
// runs in the middle of the wait. Neither hook re-enters itself.
std::function<void()> SetWaitHook(std::function<void()> hook);
bool HasWaitHook();
void ServeWhileWaiting();
// True while the wait hook runs: whatever it reaches (a repaint) runs inside
// another call's wait, which is no place to start a call of the same kind.
bool ServingWhileWaiting();
// A repaint inside a wait left something out (a BLOB it could not read): the
// GUI repaints its windows once it serves the queue outside a wait.
void DeferRepaint();
// True once after DeferRepaint (the GUI's queue pump asks).
bool TakeDeferredRepaint();

}  // namespace plat
