#include "platform/gui/forms.h"

#include "platform/core/busy_cursor.h"
#include "platform/core/exceptions.h"
#include "platform/gui/control_widget.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_bridge.h"
#include "platform/win/message_queue.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>

namespace gui {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

DialogService* CreateQtDialogService();  // qt_dialogs.cpp

namespace {

// --- the window layer's queue, driven from Qt's loop ---------------------------

struct QueueDriver {
    QObject context;
    QTimer timer;
    std::atomic<bool> scheduled{false};
    bool skipped = false;  // a pump came due while input was being collected
};
QueueDriver* g_driver = nullptr;

void PumpQueue();

// A pump called from our own code, outside Qt's delivery: it guards itself.
void GuardedPump();

void ArmTimer() {
    if (!g_driver) return;
    std::int64_t ms = plat::MillisecondsToNextTimer();
    if (ms < 0) g_driver->timer.stop();
    else g_driver->timer.start(static_cast<int>(std::min<std::int64_t>(ms, INT_MAX)));
}

void InvalidateTree(TControl* c) {
    c->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(c))
        for (int i = 0; i < w->ControlCount(); ++i) InvalidateTree(w->Controls(i));
}

void PumpQueue() {
    if (!g_driver) return;
    g_driver->scheduled = false;
    // Input queued by a poll stays queued for that poll to look at.
    if (InputCollecting()) {
        g_driver->skipped = true;
        return;
    }
    // What a repaint inside an engine wait left out is painted now.
    if (plat::TakeDeferredRepaint() && Screen)
        for (int i = 0; i < Screen->FormCount(); ++i) InvalidateTree(Screen->Forms(i));
    // Armed before pumping too: a handler may run a modal loop inside this
    // pump, and the timers must keep firing in it.
    ArmTimer();
    if (!plat::PumpPending()) {
        // WM_QUIT: the program ends as Terminate would end it.
        if (Application) Application->Terminate();
        else QCoreApplication::exit(plat::QuitExitCode());
    }
    ArmTimer();
}

void ScheduleFromAnyThread() {
    if (!g_driver || g_driver->scheduled.exchange(true)) return;
    QMetaObject::invokeMethod(&g_driver->context, [] { PumpQueue(); }, Qt::QueuedConnection);
}

// A poll for input (PeekMessage during long work): Qt runs its loop once with
// key presses going into the queue instead of to the controls.
void CollectPendingInput(HWND wnd) {
    // A poll of a window that is not a control (a hidden window of the
    // engine's) cannot be answered with input.
    if (!g_driver || InputCollecting() || (wnd != 0 && !FindControl(wnd))) return;
    BeginInputCollection();
    try {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } catch (...) {
        EndInputCollection();
        throw;
    }
    EndInputCollection();
    if (g_driver->skipped) {
        g_driver->skipped = false;
        ScheduleFromAnyThread();
    }
}

// The engine waits for a reply: the windows keep repainting, but input waits
// in the queue as it does for a poll, so a control never runs in the middle of
// an engine call and an Escape typed meanwhile is still there for the poll.
void ServeEventsWhileWaiting() { CollectPendingInput(0); }

// --- hooks from the controls -------------------------------------------------------

void OnFocusChanged(TWinControl* control) {
    if (TForm* form = control->ParentForm()) form->SetFocusedControl(control);
}

void OnMouseOver(TControl* control) {
    if (!Application) return;
    const TControl* c = control;
    while (c && c->Hint().empty()) c = c->Parent();
    Application->SetHint(c ? GetLongHint(c->Hint()) : std::string());
}

bool OnCloseRequested(TWinControl* w) {
    if (auto* form = dynamic_cast<TForm*>(w)) form->Close();
    return false;
}

void OnActivation(TWinControl* w, bool active) {
    if (auto* form = dynamic_cast<TForm*>(w)) form->Activated(active);
}

void OnControlDestroyed(TControl* c) {
    if (Screen) Screen->ControlGone(c);
}

// The focused control of every form around the pressed one hears
// CM_CANCELMODE with the pressed control as its sender.
void OnCancelMode(TControl* sender) {
    for (TControl* c = sender; c; c = c->Parent())
        if (auto* form = dynamic_cast<TForm*>(c))
            if (TWinControl* active = form->ActiveControl())
                active->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(sender));
}

// --- the caret ------------------------------------------------------------------------

struct Caret {
    HWND owner = 0;
    int width = 1, height = 1;
    TPoint pos;
    int hideLevel = 1;  // a new caret is hidden until shown
    bool blinkOn = true;
    QTimer* blink = nullptr;
};
Caret g_caret;

void UpdateCaretArea() {
    if (TWinControl* c = FindControl(g_caret.owner))
        if (QWidget* w = c->Widget()) w->update(g_caret.pos.x, g_caret.pos.y + ClientTop(w), g_caret.width, g_caret.height);
}

int g_beeps = 0;

}  // namespace

// ===========================================================================
// TForm

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    InitApplication();
    InitVisible(false);
    SetColor(clBtnFace);
    ControlStyle |= csAcceptsControls;
    SetBounds(0, 0, 320, 240);
    Screen->AddForm(this);
}

void TForm::DoDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (OnDestroy && created_) OnDestroy(this);
}

TForm::~TForm() {
    DoDestroy();
    if (modalLoop_) static_cast<QEventLoop*>(modalLoop_)->exit();
    if (Screen) Screen->RemoveForm(this);
    if (Application && Application->MainForm() == this) {
        // Nothing may reach the freed form through MainForm afterwards.
        Application->mainForm_ = nullptr;
        Application->Terminate();
    }
}

void TForm::AfterConstruction() {
    if (created_) return;
    created_ = true;
    if (OnCreate) OnCreate(this);
}

QWidget* TForm::CreateWidget() {
    auto* w = new ControlWidget(this, nullptr, Qt::Window);
    w->setWindowTitle(ToQString(Caption()));
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return w;
}

void TForm::FrameSize(int& dx, int& dy, int& caption) const {
    switch (borderStyle_) {
    case bsNone: dx = dy = caption = 0; break;
    case bsSingle: case bsDialog: dx = dy = 3; caption = 19; break;
    case bsToolWindow: dx = dy = 3; caption = 15; break;
    case bsSizeToolWin: dx = dy = 4; caption = 15; break;
    default: dx = dy = 4; caption = 19; break;
    }
}

TRect TForm::ClientRect() const {
    // Width and Height are the outer size of the window, as on Win32; the
    // menu bar is outside the client area as well.
    int dx, dy, cap;
    FrameSize(dx, dy, cap);
    TPoint bars = ScrollBarSpace();
    return Rect(0, 0, std::max(0, Width() - 2 * dx - bars.x),
                std::max(0, Height() - 2 * dy - cap - MenuBarHeight() - bars.y));
}

TPoint TForm::ClientOrigin() const {
    if (QWidget* w = Widget(); w && w->isVisible()) {
        QPoint p = w->mapToGlobal(QPoint(0, MenuBarHeight()));
        return {p.x(), p.y()};
    }
    int dx, dy, cap;
    FrameSize(dx, dy, cap);
    return {Left() + dx, Top() + dy + cap + MenuBarHeight()};
}

namespace {
MenuBarBuilder g_menuBarBuilder = nullptr;
}

void SetMenuBarBuilder(MenuBarBuilder builder) { g_menuBarBuilder = builder; }

int TForm::MenuBarHeight() const { return ClientTop(Widget()); }

void TForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    if (menu_) static_cast<TComponent*>(menu_)->RemoveFreeNotification(this);
    menu_ = menu;
    if (menu_) static_cast<TComponent*>(menu_)->FreeNotification(this);
    MenuChanged();
}

void TForm::MenuChanged() {
    auto* w = static_cast<ControlWidget*>(Widget());
    int h = g_menuBarBuilder ? g_menuBarBuilder(this, menu_) : 0;
    if (h == w->clientTop) return;
    w->clientTop = h;
    // The outer size stays; the client area gives the bar its rows.
    BoundsChanged();
    for (int i = 0; i < ControlCount(); ++i) {
        auto* c = dynamic_cast<TWinControl*>(Controls(i));
        if (!c || !c->Widget()) continue;
        auto* cw = static_cast<ControlWidget*>(c->Widget());
        cw->syncing = true;
        cw->move(c->Left(), c->Top() + h);
        cw->syncing = false;
    }
    Realign();
    Invalidate();
}

void TForm::ApplyWindowFlags() {
    QWidget* w = Widget();
    Qt::WindowFlags f = Qt::Window;
    switch (borderStyle_) {
    case bsNone: f |= Qt::FramelessWindowHint; break;
    case bsDialog: f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint; break;
    case bsToolWindow: case bsSizeToolWin: f = Qt::Tool; break;
    default: break;
    }
    if (formStyle_ == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
    bool wasVisible = w->isVisible();
    static_cast<ControlWidget*>(w)->syncing = true;
    w->setWindowFlags(f);
    if (borderStyle_ == bsSingle || borderStyle_ == bsDialog || borderStyle_ == bsToolWindow)
        w->setFixedSize(w->size());
    else
        ApplyMinimumSize(w), w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    static_cast<ControlWidget*>(w)->syncing = false;
    if (wasVisible) w->show();
}

void TForm::SetBorderStyle(TFormBorderStyle s) {
    if (s == borderStyle_) return;
    borderStyle_ = s;
    ApplyWindowFlags();
    BoundsChanged();
}

void TForm::SetFormStyle(TFormStyle s) {
    if (s == formStyle_) return;
    formStyle_ = s;
    ApplyWindowFlags();
}

void TForm::SetWindowState(TWindowState s) {
    windowState_ = s;
    QWidget* w = Widget();
    if (!w->isVisible()) return;
    if (s == wsMinimized) w->showMinimized();
    else if (s == wsMaximized) w->showMaximized();
    else w->showNormal();
}

void TForm::Show() {
    SetVisible(true);
    QWidget* w = Widget();
    if (QGuiApplication::platformName() != "offscreen") w->raise();
    w->activateWindow();
    if (!active_) Activated(true);
}

void TForm::Hide() { SetVisible(false); }

void TForm::VisibleChanged() {
    QWidget* w = Widget();
    if (Visible()) {
        DoShow();
        if (Position == poScreenCenter || Position == poDesktopCenter ||
            (Position == poMainFormCenter && (!Application || !Application->MainForm() || Application->MainForm() == this))) {
            SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
        } else if (Position == poMainFormCenter || Position == poOwnerFormCenter) {
            TForm* base = Position == poOwnerFormCenter ? dynamic_cast<TForm*>(Owner()) : Application->MainForm();
            if (base && base != this)
                SetBounds(base->Left() + (base->Width() - Width()) / 2, base->Top() + (base->Height() - Height()) / 2,
                          Width(), Height());
        }
        w->setWindowTitle(ToQString(Caption()));
        TWinControl::VisibleChanged();
        if (windowState_ != wsNormal) SetWindowState(windowState_);
    } else {
        TWinControl::VisibleChanged();
        if (active_) {
            Activated(false);
            // As on Win32, the window active before this one becomes active again.
            if (TForm* next = Screen ? Screen->PreviousActiveForm(this) : nullptr) next->Activated(true);
        }
        DoHide();
    }
}

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close() {
    if (Modal()) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm() == this) {
        Hide();
        Application->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        SetWindowState(wsMinimized);
    } else {
        Release();
    }
}

void TForm::Release() {
    if (releasing_) return;
    releasing_ = true;
    Hide();
    // Freed from the loop, after the handler that asked has returned; the
    // screen's list tells whether the form still exists by then.
    TForm* self = this;
    QMetaObject::invokeMethod(
        qApp,
        [self] {
            for (int i = 0; Screen && i < Screen->FormCount(); ++i)
                if (Screen->Forms(i) == self) {
                    delete self;
                    return;
                }
        },
        Qt::QueuedConnection);
}

void TForm::WakeModalLoop() {
    if (modalLoop_) static_cast<QEventLoop*>(modalLoop_)->exit();
}

void TForm::SetModalResult(TModalResult r) {
    modalResult_ = r;
    if (r != mrNone && modalLoop_) static_cast<QEventLoop*>(modalLoop_)->exit();
}

int TForm::ShowModal() {
    if (Visible() || Modal()) throw plat::Exception("Cannot make a visible window modal");
    modalResult_ = mrNone;
    QWidget* w = Widget();
    w->setWindowModality(Qt::ApplicationModal);
    ++modalLevel_;
    QPointer<QWidget> alive(w);
    Show();
    QEventLoop loop;
    modalLoop_ = &loop;
    for (;;) {
        if (modalResult_ == mrNone && !(Application && Application->Terminated())) loop.exec();
        if (!alive) return mrCancel;  // freed from inside its own loop
        if (Application && Application->Terminated()) {
            if (modalResult_ == mrNone) modalResult_ = mrCancel;
            break;
        }
        if (modalResult_ == mrNone) continue;
        // The class library's closing of a modal form: ask, announce, obey.
        TCloseAction action = caNone;
        if (CloseQuery()) {
            action = caHide;
            DoClose(action);
        }
        if (action == caNone) {
            modalResult_ = mrNone;
            continue;
        }
        if (action == caFree) Release();
        break;
    }
    modalLoop_ = nullptr;
    --modalLevel_;
    Hide();
    w->setWindowModality(Qt::NonModal);
    return modalResult_;
}

void TForm::SetActiveControl(TWinControl* control) {
    if (control == activeControl_) return;
    if (control && !ContainsControl(control)) throw plat::Exception("Invalid control for the form's active control");
    if (control && Visible() && active_) {
        control->SetFocus();
        return;
    }
    activeControl_ = control;
}

void TForm::SetFocusedControl(TWinControl* control) {
    if (!control || !ContainsControl(control)) return;
    if (control == activeControl_) {
        if (Screen && Screen->ActiveControl() != control) Screen->SetActiveControl(control);
        return;
    }
    TWinControl* old = activeControl_;
    activeControl_ = control;
    // CM_EXIT from the old control up to the common parent, CM_ENTER from
    // below it down to the new one.
    TWinControl* common = old;
    while (common && !common->ContainsControl(control)) {
        common->Perform(CM_EXIT, 0, 0);
        common = common->Parent();
    }
    std::vector<TWinControl*> path;
    for (TWinControl* c = control; c && c != common && c != this; c = c->Parent()) path.push_back(c);
    if (Screen) Screen->SetActiveControl(control);
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        if (activeControl_ != control) break;  // a handler moved the focus on
        (*it)->Perform(CM_ENTER, 0, 0);
    }
}

void TForm::Activated(bool active) {
    if (active == active_) return;
    active_ = active;
    // A form that stops being the active window cancels its focused
    // control's mode (no sender: nothing of the form was pressed).
    if (!active && activeControl_) activeControl_->Perform(CM_CANCELMODE, 0, 0);
    if (active) {
        if (Screen) {
            TForm* old = Screen->ActiveForm();
            if (old && old != this && old->active_) old->Activated(false);
            Screen->SetActiveForm(this);
        }
        if (OnActivate) OnActivate(this);
        if (!activeControl_) {
            if (TWinControl* first = FindNextControl(nullptr, true, true, false)) first->SetFocus();
        } else if (activeControl_->CanFocus()) {
            TWinControl* c = activeControl_;
            if (Screen) Screen->SetActiveControl(c);
            if (QWidget* w = c->Widget(); !w->hasFocus()) w->setFocus(Qt::ActiveWindowFocusReason);
        }
    } else {
        if (OnDeactivate) OnDeactivate(this);
    }
}

void TForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == activeControl_) activeControl_ = nullptr;
    if (Operation == opRemove && menu_ && AComponent == static_cast<TComponent*>(menu_)) {
        menu_ = nullptr;
        MenuChanged();
    }
}

void TForm::PaintWindow() {
    Canvas().Font().Assign(Font());
    if (OnPaint) OnPaint(this);
}

void TForm::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGKEY: {
        unsigned key = static_cast<unsigned>(m.WParam);
        TShiftState shift = KeyboardShiftState();
        if (key == VK_TAB && !(shift & ssCtrl)) {
            // Shift+Tab arrives with the Shift bit of the keyboard; the key data's is authoritative for tests.
            bool back = (shift & ssShift) != 0;
            SelectNext(activeControl_, !back, true);
            m.Result = 1;
            return;
        }
        TWinControl::WndProc(m);
        return;
    }
    case CM_RELEASE:
        Release();
        return;
    case WM_CLOSE:
        Close();
        return;
    case WM_NEXTDLGCTL:
        // wParam 0: the next control in tab order, else the previous one
        // (lParam 0); with lParam set, wParam is the window to focus.
        if (m.LParam == 0) {
            SelectNext(activeControl_, m.WParam == 0, true);
        } else if (TWinControl* c = FindControl(static_cast<HWND>(m.WParam))) {
            if (c->CanFocus()) c->SetFocus();
        }
        return;
    default: TWinControl::WndProc(m); return;
    }
}

// ===========================================================================
// TApplication

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
    BeginDestroy();
    DestroyComponents();
    if (handle_) plat::DeallocateHWnd(handle_);
}

void TApplication::CreateForm(TForm* form) {
    if (!form) return;
    if (!mainForm_) mainForm_ = form;
    form->AfterConstruction();
}

void TApplication::Run() {
    if (mainForm_ && !mainForm_->Visible()) mainForm_->Show();
    QEventLoop loop;
    runLoop_ = &loop;
    while (!terminated_) loop.exec();
    runLoop_ = nullptr;
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    GuardedPump();
}

void TApplication::HandleMessage() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    GuardedPump();
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    // Only our own loops end. QCoreApplication::exit would also make every
    // later event loop return at once, so no box could be shown on the way out.
    if (runLoop_) static_cast<QEventLoop*>(runLoop_)->exit();
    for (int i = 0; Screen && i < Screen->FormCount(); ++i) Screen->Forms(i)->WakeModalLoop();
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    SetDialogApplicationTitle(title);
    QGuiApplication::setApplicationDisplayName(ToQString(title));
}

void TApplication::SetHint(const std::string& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    if (OnHint) OnHint(this);
}

bool TApplication::HelpCommand(unsigned command, long data) {
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    if (callHelp && HelpHook && !HelpFile.empty()) result = HelpHook(HelpFile, command, data) || result;
    return result;
}

void TApplication::HandleException(TObject* sender) {
    try {
        throw;
    } catch (const plat::EAbort&) {
        // The silent abort: whoever raised it has said all there is to say.
    } catch (const std::exception& e) {
        if (OnException) OnException(sender, e);
        else ShowException(e);
    } catch (...) {
        const std::runtime_error unknown("Unknown error");
        if (OnException) OnException(sender, unknown);
        else ShowException(unknown);
    }
}

void TApplication::ShowException(const std::exception& e) {
    std::string text = e.what();
    // A message that does not end a sentence gets its full stop.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return gui::MessageBox(text, caption.empty() ? title_ : caption, flags);
}

HWND TApplication::Handle() {
    if (!handle_) handle_ = plat::AllocateHWnd([this](TMessage& m) {
        m.Result = plat::DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
    });
    return handle_;
}

// ===========================================================================
// TScreen

TScreen::TScreen() : TComponent(nullptr) {}
TScreen::~TScreen() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void TScreen::SetCursor(TCursor c) {
    if (c == cursor_) return;
    cursor_ = c;
    if (c == crDefault) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    } else if (QApplication::overrideCursor()) {
        QApplication::changeOverrideCursor(CursorOf(c));
    } else {
        QApplication::setOverrideCursor(CursorOf(c));
    }
}

void TScreen::SetCursorImage(TCursor index, const TBitmap& image, TPoint hotSpot) {
    if (!image.Image()) return;
    CustomCursors()[index] = QCursor(QPixmap::fromImage(*image.Image()), hotSpot.x, hotSpot.y);
}

bool TScreen::HasCustomCursor(TCursor index) const { return CustomCursors().count(index) != 0; }

const plat::StringList& TScreen::Fonts() {
    if (!fonts_) {
        fonts_ = std::make_unique<plat::StringList>();
        fonts_->SetSorted(true);
        fonts_->SetDuplicates(plat::Duplicates::Ignore);
        QStringList families = QFontDatabase::families();
        for (const QString& f : families) fonts_->Add(FromQString(f));
        for (const char* name : {"Arial", "Courier New", "MS Sans Serif", "MS Serif", "Times New Roman", "System"})
            if (families.contains(ToQString(MapFontName(name)))) fonts_->Add(name);
    }
    return *fonts_;
}

TRect TScreen::WorkAreaRect() const {
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const QRect a = s->availableGeometry();
    return Rect(a.left(), a.top(), a.left() + a.width(), a.top() + a.height());
}

TRect FitWindowToArea(TRect wanted, int minWidth, int minHeight, TRect area) {
    const int areaW = std::max(1, area.Width()), areaH = std::max(1, area.Height());
    const int w = std::clamp(wanted.Width(), std::min(std::max(1, minWidth), areaW), areaW);
    const int h = std::clamp(wanted.Height(), std::min(std::max(1, minHeight), areaH), areaH);
    const int left = std::clamp(wanted.Left, area.Left, area.Left + areaW - w);
    const int top = std::clamp(wanted.Top, area.Top, area.Top + areaH - h);
    return Rect(left, top, left + w, top + h);
}

void TForm::SetMinimumSize(int width, int height) {
    minWidth_ = std::max(0, width);
    minHeight_ = std::max(0, height);
    if (QWidget* w = Widget(); w && borderStyle_ != bsSingle && borderStyle_ != bsDialog && borderStyle_ != bsToolWindow)
        ApplyMinimumSize(w);
}

void TForm::ApplyMinimumSize(QWidget* w) {
    // The minimum is of the outer window, as Width and Height are; the
    // widget holds what is inside the frame and caption.
    int dx, dy, cap;
    FrameSize(dx, dy, cap);
    w->setMinimumSize(std::max(0, minWidth_ - 2 * dx), std::max(0, minHeight_ - 2 * dy - cap));
}

void TForm::SetBoundsOnScreen(int ALeft, int ATop, int AWidth, int AHeight) {
    // Sums of untrusted values are formed wide, so no overflow wraps them.
    const auto wide = [](long long v) { return static_cast<int>(std::clamp<long long>(v, -1000000, 1000000)); };
    const TRect r = FitWindowToArea(Rect(wide(ALeft), wide(ATop), wide(static_cast<long long>(ALeft) + AWidth),
                                         wide(static_cast<long long>(ATop) + AHeight)),
                                    minWidth_, minHeight_, Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768));
    SetBounds(r.Left, r.Top, r.Width(), r.Height());
}

int TScreen::Width() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : GetSystemMetrics(SM_CYSCREEN);
}

void TScreen::SetActiveControl(TWinControl* control) {
    if (control == activeControl_) return;
    activeControl_ = control;
    if (OnActiveControlChange) OnActiveControlChange(this);
}

TForm* TScreen::PreviousActiveForm(TForm* except) const {
    for (auto it = activation_.rbegin(); it != activation_.rend(); ++it)
        if (*it != except && (*it)->Visible()) return *it;
    return nullptr;
}

void TScreen::SetActiveForm(TForm* form) {
    if (form) {
        activation_.erase(std::remove(activation_.begin(), activation_.end(), form), activation_.end());
        activation_.push_back(form);
    }
    if (form == activeForm_) return;
    activeForm_ = form;
    if (OnActiveFormChange) OnActiveFormChange(this);
}

void TScreen::AddForm(TForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    activation_.erase(std::remove(activation_.begin(), activation_.end(), form), activation_.end());
    if (activeForm_ == form) activeForm_ = nullptr;
}

void TScreen::ControlGone(TControl* control) {
    if (activeControl_ == control) activeControl_ = nullptr;
    if (activeForm_ == control) activeForm_ = nullptr;
    for (TForm* f : forms_)
        if (f->ActiveControl() == control) f->Notification(control, opRemove);
}

// ===========================================================================
// Start and end

namespace {

// Every event reaches the program through here; an exception that a handler
// let escape would otherwise unwind through Qt and end the program. It is
// shown (or dropped, for an abort) and the loop goes on.
class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            HandleEscapedException();
            return false;
        }
    }
};

void GuardedPump() {
    try {
        PumpQueue();
    } catch (...) {
        HandleEscapedException();
    }
}

}  // namespace

QApplication* NewGuardedApplication(int& argc, char** argv) { return new GuardedApplication(argc, argv); }

void HandleEscapedException() {
    // A pump cut short by the exception leaves messages queued: they still run.
    ScheduleFromAnyThread();
    if (Application) {
        Application->HandleException(nullptr);
        return;
    }
    try {
        throw;
    } catch (const plat::EAbort&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown error\n");
    }
}

void InitApplication(int argc, char** argv) {
    if (!QCoreApplication::instance()) {
        if (argc > 0 && argv) {
            static int s_argc = argc;
            NewGuardedApplication(s_argc, argv);
        } else {
            EnsureQtApplication();
        }
    }
    if (Application && Screen && g_driver) return;
    QGuiApplication::setQuitOnLastWindowClosed(false);
    plat::BindMessageThread();
    FormHooks& hooks = Hooks();
    hooks.focusChanged = OnFocusChanged;
    hooks.mouseOver = OnMouseOver;
    hooks.closeRequested = OnCloseRequested;
    hooks.activationChanged = OnActivation;
    hooks.controlDestroyed = OnControlDestroyed;
    hooks.cancelMode = OnCancelMode;
    if (!Screen) Screen = new TScreen();
    if (!Application) Application = new TApplication();
    plat::SetProcessOwner(Application);
    plat::SetBusyCursorHook([]() -> std::function<void()> {
        if (!Screen) return {};
        const TCursor saved = Screen->Cursor();
        Screen->SetCursor(crHourGlass);
        return [saved] {
            if (Screen) Screen->SetCursor(saved);
        };
    });
    if (!g_driver) {
        g_driver = new QueueDriver();
        g_driver->timer.setSingleShot(true);
        QObject::connect(&g_driver->timer, &QTimer::timeout, &g_driver->context, [] { PumpQueue(); });
        plat::SetQueueNotifier(ScheduleFromAnyThread);
        plat::SetInputPeekHook(CollectPendingInput);
        plat::SetWaitHook(ServeEventsWhileWaiting);
        ScheduleFromAnyThread();
    }
    // Nobody can answer a box on a display-less platform: keep the headless
    // service there (it logs and takes the default button).
    static DialogService* qtService = nullptr;
    if (!qtService && QGuiApplication::platformName() != "offscreen") {
        qtService = CreateQtDialogService();
        SetDialogService(qtService);
    }
}

void DoneApplication() {
    // The application frees the forms it owns; others belong to whoever made them.
    plat::SetBusyCursorHook({});
    plat::SetProcessOwner(nullptr);
    delete Application;
    Application = nullptr;
    delete Screen;
    Screen = nullptr;
    if (g_driver) {
        plat::SetQueueNotifier({});
        plat::SetInputPeekHook({});
        plat::SetWaitHook({});
        delete g_driver;
        g_driver = nullptr;
    }
}

// ===========================================================================
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    InitApplication();
    wnd_ = plat::AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            if (OnTimer) OnTimer(this);
            return;
        }
        m.Result = plat::DefWindowProc(wnd_, m.Msg, m.WParam, m.LParam);
    });
    Update();
}

TTimer::~TTimer() {
    BeginDestroy();
    if (wnd_) {
        plat::KillTimer(wnd_, 1);
        plat::DeallocateHWnd(wnd_);
    }
}

void TTimer::Update() {
    if (!wnd_) return;
    plat::KillTimer(wnd_, 1);
    // Runs whether or not OnTimer is set yet: the event is a plain field that
    // callers assign at any time, and it is looked up at each tick.
    if (enabled_ && interval_ > 0) plat::SetTimer(wnd_, 1, interval_);
}

void TTimer::SetEnabled(bool e) {
    if (e == enabled_) return;
    enabled_ = e;
    Update();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetOnTimer(TNotifyEvent e) {
    OnTimer = std::move(e);
    Update();
}

// ===========================================================================
// The caret

bool CreateCaret(HWND wnd, int width, int height) {
    if (!FindControl(wnd)) return false;
    if (g_caret.owner) DestroyCaret();
    g_caret.owner = wnd;
    g_caret.width = std::max(1, width);
    g_caret.height = std::max(1, height);
    g_caret.hideLevel = 1;
    g_caret.blinkOn = true;
    if (!g_caret.blink) {
        g_caret.blink = new QTimer();
        QObject::connect(g_caret.blink, &QTimer::timeout, [] {
            g_caret.blinkOn = !g_caret.blinkOn;
            UpdateCaretArea();
        });
    }
    g_caret.blink->start(530);
    return true;
}

bool DestroyCaret() {
    if (!g_caret.owner) return false;
    UpdateCaretArea();
    g_caret.owner = 0;
    if (g_caret.blink) g_caret.blink->stop();
    return true;
}

bool SetCaretPos(int x, int y) {
    if (!g_caret.owner) return false;
    UpdateCaretArea();
    g_caret.pos = {x, y};
    g_caret.blinkOn = true;
    UpdateCaretArea();
    return true;
}

bool GetCaretPos(TPoint& p) {
    p = g_caret.pos;
    return g_caret.owner != 0;
}

bool ShowCaret(HWND wnd) {
    if (!g_caret.owner || (wnd && wnd != g_caret.owner)) return false;
    if (g_caret.hideLevel > 0) --g_caret.hideLevel;
    UpdateCaretArea();
    return true;
}

bool HideCaret(HWND wnd) {
    if (!g_caret.owner || (wnd && wnd != g_caret.owner)) return false;
    ++g_caret.hideLevel;
    UpdateCaretArea();
    return true;
}

HWND CaretOwner() { return g_caret.owner; }
bool CaretVisible() { return g_caret.owner && g_caret.hideLevel == 0; }

void PaintCaret(TWinControl* control, QPainter& painter) {
    if (!CaretVisible() || !g_caret.blinkOn || !control->HandleAllocated() || control->Handle() != g_caret.owner)
        return;
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.fillRect(g_caret.pos.x, g_caret.pos.y, g_caret.width, g_caret.height, Qt::black);
}

// ===========================================================================
// Beeps and keys

bool MessageBeep(unsigned) {
    ++g_beeps;
    QApplication::beep();
    return true;
}

int MessageBeepCount() { return g_beeps; }

namespace {

short KeyStateOf(int vk, Qt::KeyboardModifiers m, Qt::MouseButtons b) {
    bool down = false;
    switch (vk) {
    case VK_SHIFT: down = m & Qt::ShiftModifier; break;
    case VK_CONTROL: down = m & Qt::ControlModifier; break;
    case VK_MENU: down = m & Qt::AltModifier; break;
    case VK_LBUTTON: down = b & Qt::LeftButton; break;
    case VK_RBUTTON: down = b & Qt::RightButton; break;
    case VK_MBUTTON: down = b & Qt::MiddleButton; break;
    default: break;
    }
    return down ? static_cast<short>(0x8000) : 0;
}

}  // namespace

short GetKeyState(int vk) {
    const InputState& s = CurrentInputState();
    return KeyStateOf(vk, s.modifiers, s.buttons);
}

short GetAsyncKeyState(int vk) {
    return KeyStateOf(vk, QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}

// --- task windows ----------------------------------------------------------------

TTaskWindowList DisableTaskWindows(TForm* except) {
    TTaskWindowList list;
    if (!Screen) return list;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TForm* f = Screen->Forms(i);
        if (f == except || !f->Visible() || !f->Enabled()) continue;
        f->SetEnabled(false);
        list.push_back(f);
    }
    return list;
}

void EnableTaskWindows(const TTaskWindowList& list) {
    if (!Screen) return;
    for (TForm* f : list) {
        // A form freed meanwhile is no longer on the screen's list.
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (Screen->Forms(i) == f) f->SetEnabled(true);
    }
}

}  // namespace gui
