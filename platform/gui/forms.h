// Forms, the application and the screen, timers, the caret and beeps.
//
// One loop: the window layer's message queue (engine windows, posted
// messages, timers) is pumped from Qt's event loop whenever it has work and
// when its next timer is due, so it keeps running while forms are shown and
// inside modal loops (ShowModal, message boxes).
//
// An exception a handler lets escape into the loop goes to
// Application->HandleException and the program goes on; one raised while a
// control paints is shown once the repaint is over, as no box can open in
// the middle of one. A left press sends CM_CANCELMODE to the focused control
// of every form around the pressed control, and a form that stops being
// active sends it to its own, so a drop-down or drag left open ends there.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"
#include "platform/core/dialog_service.h"

#include <memory>
#include <string>
#include <vector>

namespace gui {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // Raises OnCreate; TApplication::CreateForm calls it once the form is built.
    void AfterConstruction();
    // Raises OnDestroy once. The destructor calls it, but by then a derived
    // form's own members are gone: a derived form whose OnDestroy uses them
    // calls DoDestroy first thing in its own destructor.
    void DoDestroy();

    void Show();
    void Hide();
    // Shows the form modally and runs a loop until ModalResult is set (or the
    // form is closed: mrCancel) and the close query agrees; returns it.
    int ShowModal();
    // Asks (CloseQuery), raises OnClose and carries out its action.
    void Close();
    // Frees the form once the events now being handled are done.
    void Release();
    virtual bool CloseQuery();
    bool Modal() const { return modalLevel_ > 0; }

    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult r);
    bool KeyPreview = false;
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle s);
    TPosition Position = poDesigned;
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle s);
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState s);
    TCanvas& Canvas() { return WindowCanvas(); }
    TIcon& Icon() { return icon_; }
    // The smallest size the user may give a sizeable window.
    void SetMinimumSize(int width, int height);
    int MinWidth() const { return minWidth_; }
    int MinHeight() const { return minHeight_; }
    // SetBounds through FitWindowToArea on the screen's work area.
    void SetBoundsOnScreen(int ALeft, int ATop, int AWidth, int AHeight);

    TWinControl* ActiveControl() const { return activeControl_; }
    // Gives the focus to `control` (a control on this form) when the form is shown.
    void SetActiveControl(TWinControl* control);
    // The form is the active window of the application.
    bool Active() const { return active_; }

    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;

    // The main menu, shown as a bar at the top of the form; the client area
    // starts below it. nullptr: no bar.
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    // Builds the bar again from the menu's items (the menu calls it when they change).
    void MenuChanged();
    // The bar's height in pixels (0 without a bar).
    int MenuBarHeight() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void WndProc(TMessage& Message) override;

    // --- called by the layer --------------------------------------------------------
    // The focus moved to `control`: CM_EXIT up from the old control, CM_ENTER down to the new.
    void SetFocusedControl(TWinControl* control);
    void Activated(bool active);
    // Makes a running ShowModal look at its state again (the application ends).
    void WakeModalLoop();
    bool DoKeyDown(TMessage& m) { return TWinControl::DoKeyDown(m); }
    bool DoKeyUp(TMessage& m) { return TWinControl::DoKeyUp(m); }
    bool DoKeyPress(TMessage& m) { return TWinControl::DoKeyPress(m); }

protected:
    QWidget* CreateWidget() override;
    void PaintWindow() override;
    void VisibleChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);

private:
    friend class TScreen;
    void ApplyWindowFlags();
    void ApplyMinimumSize(QWidget* w);
    void FrameSize(int& dx, int& dy, int& captionHeight) const;

    TModalResult modalResult_ = mrNone;
    int minWidth_ = 0, minHeight_ = 0;
    int modalLevel_ = 0;
    void* modalLoop_ = nullptr;  // the QEventLoop running ShowModal
    TFormBorderStyle borderStyle_ = bsSizeable;
    TFormStyle formStyle_ = fsNormal;
    TWindowState windowState_ = wsNormal;
    TIcon icon_;
    TWinControl* activeControl_ = nullptr;
    bool active_ = false;
    bool created_ = false;
    bool destroyed_ = false;
    bool releasing_ = false;
    TMainMenu* menu_ = nullptr;
};

// Builds, refills or removes the bar of `menu` on a form (nullptr: remove it)
// and returns its height. The menus live above the forms, so they register it.
using MenuBarBuilder = int (*)(TForm* form, TMainMenu* menu);
void SetMenuBarBuilder(MenuBarBuilder builder);

using THintEvent = TNotifyEvent;
// Win32 help commands.
constexpr unsigned HELP_CONTEXT = 0x0001, HELP_QUIT = 0x0002, HELP_INDEX = 0x0003, HELP_CONTENTS = 0x0003,
                   HELP_HELPONHELP = 0x0004, HELP_KEY = 0x0101;
// Sees a help request first: returns whether it was handled; leaving
// CallHelp true passes it on to the help hook as well.
using THelpEvent = std::function<bool(unsigned Command, long Data, bool& CallHelp)>;
// Shows help: the help file, the command and its data; true when shown.
using THelpHook = std::function<bool(const std::string& HelpFile, unsigned Command, long Data)>;

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // Registers a created form: the first one becomes the main form. Raises its OnCreate.
    void CreateForm(TForm* form);
    TForm* MainForm() const { return mainForm_; }
    // Shows the main form and runs the loop until Terminate or the main form closes.
    void Run();
    // Handles the pending Qt events and window messages, then returns.
    void ProcessMessages();
    // Waits for an event, handles it, and returns.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return terminated_; }

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);
    std::string HelpFile;
    std::string ExeName;
    THelpEvent OnHelp;
    // Where help is shown; the program installs its viewer here.
    THelpHook HelpHook;
    // Raises OnHelp, then (unless it took the request) calls the help hook
    // with HelpFile; false when nothing showed help.
    bool HelpCommand(unsigned command, long data);
    bool HelpContext(long context) { return HelpCommand(HELP_CONTEXT, context); }
    int HintPause = 500;
    bool ShowHint = true;
    // The long part of the hint of the control under the mouse; setting it raises OnHint.
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    THintEvent OnHint;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    // Win32 MessageBox through the dialog service; caption defaults to Title.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
    HWND Handle();

    // An exception a handler let escape into the event loop: raised with it
    // instead of ShowException when set. EAbort never reaches either.
    TExceptionEvent OnException;
    // Called inside a catch block: EAbort is dropped, anything else goes to
    // OnException or ShowException. The program keeps running.
    void HandleException(TObject* sender);
    // An error box with the exception's message and the title as caption.
    void ShowException(const std::exception& e);

private:
    friend class TForm;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    std::string title_ = "Tavrin";
    std::string hint_;
    HWND handle_ = 0;
    void* runLoop_ = nullptr;  // the QEventLoop of Run
};

// Where a window asking for `wanted` goes on a screen's work area: no
// larger than the area, no smaller than its minimum (the area's size when
// that is smaller still), and moved until all of it lies inside. A damaged
// settings file can ask for anything; the window must stay reachable.
TRect FitWindowToArea(TRect wanted, int minWidth, int minHeight, TRect area);

class TScreen : public TComponent {
public:
    TScreen();
    ~TScreen() override;

    // The cursor for the whole application; crDefault lets controls choose.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c);
    // Registers a custom cursor under a number (an image and its hot spot);
    // controls and the screen use it like the built-in ones.
    void SetCursorImage(TCursor index, const TBitmap& image, TPoint hotSpot);
    bool HasCustomCursor(TCursor index) const;

    TWinControl* ActiveControl() const { return activeControl_; }
    TForm* ActiveForm() const { return activeForm_; }
    TNotifyEvent OnActiveControlChange;
    TNotifyEvent OnActiveFormChange;

    // Installed font names, plus the Windows names that map onto them; sorted.
    const plat::StringList& Fonts();
    int PixelsPerInch() const { return kScreenPixelsPerInch; }
    int Width() const;
    int Height() const;
    // The part of the primary screen windows may use (without panels and docks).
    TRect WorkAreaRect() const;
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TForm* Forms(int index) const { return forms_.at(index); }

    // --- called by the layer ------------------------------------------------------
    void SetActiveControl(TWinControl* control);
    void SetActiveForm(TForm* form);
    // The visible form activated most recently, other than `except`.
    TForm* PreviousActiveForm(TForm* except) const;
    void AddForm(TForm* form);
    void RemoveForm(TForm* form);
    void ControlGone(TControl* control);

private:
    TCursor cursor_ = crDefault;
    TWinControl* activeControl_ = nullptr;
    TForm* activeForm_ = nullptr;
    std::vector<TForm*> forms_;
    std::vector<TForm*> activation_;  // most recently activated last
    std::unique_ptr<plat::StringList> fonts_;
};

// The application and the screen; created by InitApplication.
extern TApplication* Application;
extern TScreen* Screen;
// Creates the Qt application (when there is none), Application and Screen,
// and hooks the window layer's queue into Qt's event loop. Safe to call again.
void InitApplication(int argc = 0, char** argv = nullptr);
// Frees Application (with the forms it owns) and Screen (program end, test teardown).
void DoneApplication();

// A timer component: OnTimer every Interval milliseconds while Enabled,
// through the window layer's queue (so it fires in modal loops as well).
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);
    TNotifyEvent OnTimer;
    void SetOnTimer(TNotifyEvent e);

private:
    void Update();
    HWND wnd_ = 0;
    bool enabled_ = true;
    unsigned interval_ = 1000;
};

// --- the caret (one per application, owned by one window) --------------------
bool CreateCaret(HWND wnd, int width, int height);
bool DestroyCaret();
bool SetCaretPos(int x, int y);
bool GetCaretPos(TPoint& p);
bool ShowCaret(HWND wnd);
bool HideCaret(HWND wnd);
// The caret's window and whether it is shown (for tests and painting).
HWND CaretOwner();
bool CaretVisible();

// --- task windows ------------------------------------------------------------------
// Disables every shown, enabled form but `except` (a window that must be
// answered first); EnableTaskWindows enables the listed forms that still exist.
using TTaskWindowList = std::vector<TForm*>;
TTaskWindowList DisableTaskWindows(TForm* except);
void EnableTaskWindows(const TTaskWindowList& list);

// --- sounds and the keyboard -----------------------------------------------------
constexpr unsigned MB_OK_BEEP = 0xFFFFFFFF;
bool MessageBeep(unsigned type);
// How many beeps so far (tests check that a refusal beeped).
int MessageBeepCount();
// Bit 15 set while the key is down (Shift, Ctrl, Alt and the mouse buttons).
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);
// The control whose window is `wnd`, or nullptr.
TWinControl* FindControl(HWND wnd);

}  // namespace gui
