// Basic types and message numbers of the headless window-message layer.
//
// Handles are 32-bit values that count up and are never reused within a
// process, so a stale handle can never reach a newer window. Message
// parameters and results are pointer-sized because callers pass addresses
// through them (the in-process transport passes a record's address in lParam).
#pragma once

#include <cstdint>
#include <functional>

namespace plat {

using HWND = std::uint32_t;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// A window procedure. Any callable; it may itself send or post messages.
using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
// EnumWindows callback: return false to stop the walk.
using WNDENUMPROC = std::function<bool(HWND, LPARAM)>;

struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::uint32_t time = 0;  // tick count when the message was posted or generated
};

// The record handed to message methods of hidden windows (AllocateHWnd): the
// method fills Result, which becomes the window procedure's result.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage&)>;

// Standard message numbers.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// PeekMessage flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Smallest timer period; shorter periods are raised to it so that a zero
// period cannot spin the loop.
constexpr UINT USER_TIMER_MINIMUM = 10;

// Payload of WM_COPYDATA (lParam holds its address).
struct COPYDATASTRUCT {
    std::uintptr_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

}  // namespace plat
