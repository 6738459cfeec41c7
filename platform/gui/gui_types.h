// Plain types shared by the user-interface layer: rectangles and points,
// colours as Win32 COLORREF values, cursors, shift states, virtual-key codes
// and the window and control messages that controls exchange. No Qt here, so
// any header may include it cheaply.
#pragma once

#include "platform/win/win_types.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace plat {
class TObject;
}

namespace gui {

using plat::TObject;

using plat::HWND;
using plat::LPARAM;
using plat::LRESULT;
using plat::TMessage;
using plat::UINT;
using plat::WPARAM;

struct TPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const { return p.x >= Left && p.x < Right && p.y >= Top && p.y < Bottom; }
    bool operator==(const TRect&) const = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }
inline TPoint Point(int x, int y) { return {x, y}; }
inline void InflateRect(TRect& r, int dx, int dy) {
    r.Left -= dx;
    r.Top -= dy;
    r.Right += dx;
    r.Bottom += dy;
}
inline void OffsetRect(TRect& r, int dx, int dy) {
    r.Left += dx;
    r.Right += dx;
    r.Top += dy;
    r.Bottom += dy;
}
// False (and an empty result) when the two do not overlap.
bool IntersectRect(TRect& out, const TRect& a, const TRect& b);
// a * b / c rounded to the nearest integer, -1 when c is 0 (as on Win32).
int MulDiv(int a, int b, int c);

// --- colours -------------------------------------------------------------------
// A COLORREF: 0x00BBGGRR; system colours are 0x80000000 | COLOR_* index.
using TColor = std::int32_t;
constexpr TColor RGB(int r, int g, int b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

enum SysColorIndex {
    COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24,
    COLOR_SYSCOLOR_COUNT = 25
};

constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = 0xC0C0C0, clDkGray = 0x808080;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION), clInactiveCaption = SysColor(COLOR_INACTIVECAPTION),
                 clMenu = SysColor(COLOR_MENU), clWindow = SysColor(COLOR_WINDOW),
                 clWindowFrame = SysColor(COLOR_WINDOWFRAME), clMenuText = SysColor(COLOR_MENUTEXT),
                 clWindowText = SysColor(COLOR_WINDOWTEXT), clCaptionText = SysColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SysColor(COLOR_ACTIVEBORDER), clInactiveBorder = SysColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SysColor(COLOR_APPWORKSPACE), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), clBtnFace = SysColor(COLOR_BTNFACE),
                 clBtnShadow = SysColor(COLOR_BTNSHADOW), clGrayText = SysColor(COLOR_GRAYTEXT),
                 clBtnText = SysColor(COLOR_BTNTEXT), clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK);

// The classic scheme, fixed so that drawings never depend on the desktop theme.
TColor GetSysColor(int index);
// A system colour resolved to its RGB value; other colours unchanged.
TColor ColorToRGB(TColor color);

// --- system metrics (classic values at 96 pixels per inch) ---------------------
enum SystemMetric {
    SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
    SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
    SM_CYMENU = 15, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21, SM_CXFRAME = 32, SM_CYFRAME = 33,
    SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46,
    SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CXDRAG = 68, SM_CYDRAG = 69
};
int GetSystemMetrics(int index);

// --- cursors ---------------------------------------------------------------------
using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                  crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16,
                  crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22, crSize = -22;

// --- shift state and mouse buttons ------------------------------------------------
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// --- virtual-key codes ---------------------------------------------------------------
constexpr unsigned VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04,
                   VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                   VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B,
                   VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
                   VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C,
                   VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F, VK_NUMPAD0 = 0x60,
                   VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D,
                   VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F12 = 0x7B, VK_NUMLOCK = 0x90,
                   VK_SCROLL = 0x91;
// Keys '0'..'9' and 'A'..'Z' are their upper-case ASCII codes.

// --- messages ----------------------------------------------------------------------
using plat::WM_CLOSE;
using plat::WM_CREATE;
using plat::WM_DESTROY;
using plat::WM_NULL;
using plat::WM_TIMER;
using plat::WM_USER;
constexpr UINT WM_MOVE = 0x0003, WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007,
               WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D,
               WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F, WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018,
               WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021, WM_SETFONT = 0x0030, WM_GETFONT = 0x0031,
               WM_WINDOWPOSCHANGED = 0x0047, WM_NOTIFY = 0x004E, WM_NCHITTEST = 0x0084,
               WM_GETDLGCODE = 0x0087, WM_KEYDOWN = 0x0100, WM_KEYFIRST = 0x0100, WM_KEYUP = 0x0101,
               WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106,
               WM_KEYLAST = 0x0108, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_HSCROLL = 0x0114,
               WM_VSCROLL = 0x0115, WM_MOUSEFIRST = 0x0200, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
               WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
               WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207,
               WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A,
               WM_MOUSELAST = 0x020A, WM_NEXTDLGCTL = 0x0028, WM_CANCELMODE = 0x001F, WM_CUT = 0x0300,
               WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303, WM_UNDO = 0x0304;

// Notifications of the class library among its own controls.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_DIALOGKEY = CM_BASE + 5,
               CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
               CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10, CM_VISIBLECHANGED = CM_BASE + 11,
               CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
               CM_CURSORCHANGED = CM_BASE + 15, CM_CTL3DCHANGED = CM_BASE + 16, CM_PARENTCTL3DCHANGED = CM_BASE + 17,
               CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19, CM_MOUSELEAVE = CM_BASE + 20,
               CM_MENUCHANGED = CM_BASE + 21, CM_APPKEYDOWN = CM_BASE + 22, CM_APPSYSCOMMAND = CM_BASE + 23,
               CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25, CM_ENTER = CM_BASE + 26,
               CM_EXIT = CM_BASE + 27, CM_DESIGNHITTEST = CM_BASE + 28, CM_ICONCHANGED = CM_BASE + 29,
               CM_WANTSPECIALKEY = CM_BASE + 30, CM_INVOKEHELP = CM_BASE + 31, CM_WINDOWHOOK = CM_BASE + 32,
               CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34, CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
               CM_SYSCOLORCHANGE = CM_BASE + 36, CM_WININICHANGE = CM_BASE + 37, CM_FONTCHANGE = CM_BASE + 38,
               CM_TIMECHANGE = CM_BASE + 39, CM_TABSTOPCHANGED = CM_BASE + 40, CM_UIACTIVATE = CM_BASE + 41,
               CM_UIDEACTIVATE = CM_BASE + 42, CM_DOCWINDOWACTIVATE = CM_BASE + 43, CM_CONTROLLISTCHANGE = CM_BASE + 44,
               CM_GETDATALINK = CM_BASE + 45, CM_CHILDKEY = CM_BASE + 46, CM_DRAG = CM_BASE + 47,
               CM_HINTSHOW = CM_BASE + 48, CM_DIALOGHANDLE = CM_BASE + 49, CM_ISTOOLCONTROL = CM_BASE + 50,
               CM_RECREATEWND = CM_BASE + 51, CM_INVALIDATE = CM_BASE + 52, CM_SYSFONTCHANGED = CM_BASE + 53,
               CM_CONTROLCHANGE = CM_BASE + 54, CM_CHANGED = CM_BASE + 55, CM_CANCELMODE = CM_BASE + 4;
// Messages reflected back to the control that sent a notification to its parent.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_KEYDOWN = CN_BASE + WM_KEYDOWN, CN_KEYUP = CN_BASE + WM_KEYUP,
               CN_CHAR = CN_BASE + WM_CHAR, CN_NOTIFY = CN_BASE + WM_NOTIFY;

// WM_SIZE wParam
constexpr WPARAM SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
// Mouse message wParam flags.
constexpr WPARAM MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008,
                 MK_MBUTTON = 0x0010;
// WM_GETDLGCODE results.
constexpr LRESULT DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004,
                  DLGC_WANTCHARS = 0x0080;
// Scroll-bar codes (low word of WM_HSCROLL/WM_VSCROLL wParam; the thumb position is the high word).
constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
              SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
              SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
constexpr int SB_HORZ = 0, SB_VERT = 1, SB_BOTH = 3;

constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
    return static_cast<WPARAM>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr int LOWORD(std::uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
constexpr int HIWORD(std::uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
// Signed coordinates of a mouse message's lParam.
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(lp & 0xFFFF); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<std::int16_t>((lp >> 16) & 0xFFFF); }

using TNotifyEvent = std::function<void(TObject* Sender)>;

}  // namespace gui
