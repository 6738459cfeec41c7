// Forms: modal loops, closing, timers and engine windows while forms are up,
// the application's hint, the caret, the dialog service in a form's handler.
#include "gui_fixture.h"

#include "platform/core/exceptions.h"
#include "platform/gui/std_controls.h"
#include "platform/win/message_queue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <thread>

namespace guitest {
namespace {

using namespace gui;

using Forms = GuiTest;

TEST_F(Forms, ShowModalReturnsTheModalResultSetByAHandler) {
    // A posted message plays the user: its handler sets ModalResult.
    HWND driver = plat::AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 1) form->SetModalResult(mrYes);
    });
    int shown = 0;
    form->OnShow = [&](TObject*) {
        ++shown;
        plat::PostMessage(driver, WM_USER + 1, 0, 0);
    };
    EXPECT_EQ(form->ShowModal(), mrYes);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(form->Modal());
    plat::DeallocateHWnd(driver);
}

TEST_F(Forms, TimerFiresInsideTheModalLoop) {
    // A watchdog of its own, shorter than the fixture's: a timer that never
    // fires ends the loop with another result instead of hanging the test.
    QTimer watch;
    watch.setSingleShot(true);
    QObject::connect(&watch, &QTimer::timeout, [this] { form->SetModalResult(mrAbort); });
    watch.start(3000);
    auto* timer = new TTimer(form);
    int ticks = 0;
    timer->SetInterval(20);
    // Assigned as a plain field, as forms usually do: the timer still ticks.
    timer->OnTimer = [&](TObject*) {
        if (++ticks == 3) form->SetModalResult(mrOk);
    };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(ticks, 3);
    timer->SetEnabled(false);
    ProcessEvents(60);
    EXPECT_EQ(ticks, 3);
}

TEST_F(Forms, EngineWindowGetsPostedMessagesWhileAFormIsShownAndInsideModalLoops) {
    std::vector<WPARAM> got;
    HWND engine = plat::AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 9) got.push_back(m.WParam);
        else m.Result = plat::DefWindowProc(0, m.Msg, m.WParam, m.LParam);
    });
    form->Show();
    // From a worker thread, as the engine's threads report completion.
    std::thread worker([engine] {
        for (WPARAM i = 1; i <= 3; ++i) plat::PostMessage(engine, WM_USER + 9, i, 0);
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return got.size() == 3; }));
    EXPECT_EQ(got, (std::vector<WPARAM>{1, 2, 3}));

    // A modal form over the shown one: a message posted from inside its loop
    // still arrives, and the handler ends the loop.
    TForm dialog(nullptr);
    dialog.OnShow = [&](TObject*) { plat::PostMessage(engine, WM_USER + 9, 4, 0); };
    auto* poll = new TTimer(&dialog);
    poll->SetInterval(10);
    poll->SetOnTimer([&](TObject*) {
        if (got.size() == 4) dialog.SetModalResult(mrOk);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(got.back(), 4u);
    plat::DeallocateHWnd(engine);
}

TEST_F(Forms, ModalFormShownFromAPostedMessageKeepsTimersRunning) {
    // The main window's deferred start-up work posts a message whose handler shows a modal form.
    TForm tip(nullptr);
    int result = -1;
    HWND w = plat::AllocateHWnd([&](TMessage& m) {
        if (m.Msg == 1066) result = tip.ShowModal();
    });
    TTimer timer(nullptr);
    timer.SetInterval(15);
    timer.SetOnTimer([&](TObject*) {
        if (tip.Modal()) tip.SetModalResult(mrIgnore);
    });
    form->Show();
    plat::PostMessage(w, 1066, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return result != -1; }));
    EXPECT_EQ(result, mrIgnore);
    plat::DeallocateHWnd(w);
}

TEST_F(Forms, CloseQueryCanRefuseTheModalResultOnce) {
    int asked = 0, closed = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++asked > 1; };
    form->OnClose = [&](TObject*, TCloseAction& action) {
        ++closed;
        EXPECT_EQ(action, caHide);
    };
    auto* timer = new TTimer(form);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject*) {
        if (form->ModalResult() == mrNone) form->SetModalResult(mrAbort);
    });
    EXPECT_EQ(form->ShowModal(), mrAbort);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(closed, 1);
}

TEST_F(Forms, CloseOfAModalFormMeansCancel) {
    auto* timer = new TTimer(form);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject*) { form->Close(); });
    EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(Forms, ShowModalOfAVisibleFormIsRefused) {
    form->Show();
    EXPECT_THROW(form->ShowModal(), plat::Exception);
}

struct CloseCase {
    const char* name;
    bool allow;
    TCloseAction action;
    bool visibleAfter;
    bool freed;
};

TEST(FormClose, CloseQueryAndActionDecideWhatHappens) {
    const CloseCase cases[] = {
        {"refused", false, caHide, true, false},
        {"hide", true, caHide, false, false},
        {"none", true, caNone, true, false},
        {"free", true, caFree, false, true},
    };
    InitApplication();
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto* f = new TForm(nullptr);
        f->OnCloseQuery = [&](TObject*, bool& can) { can = c.allow; };
        f->OnClose = [&](TObject*, TCloseAction& a) { a = c.action; };
        bool destroyed = false;
        f->OnDestroy = [&](TObject*) { destroyed = true; };
        f->AfterConstruction();
        f->Show();
        int forms = Screen->FormCount();
        f->Close();
        // Freeing waits until the handler that asked has returned.
        EXPECT_FALSE(destroyed);
        ProcessEvents();
        EXPECT_EQ(destroyed, c.freed);
        EXPECT_EQ(Screen->FormCount(), c.freed ? forms - 1 : forms);
        if (!c.freed) {
            EXPECT_EQ(f->Visible(), c.visibleAfter);
            delete f;
        }
    }
}

TEST_F(Forms, CreateAndActivateEventsAndTheScreensActiveForm) {
    std::vector<std::string> events;
    form->OnCreate = [&](TObject*) { events.push_back("create"); };
    form->OnShow = [&](TObject*) { events.push_back("show"); };
    form->OnActivate = [&](TObject*) { events.push_back("activate"); };
    form->OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
    form->OnHide = [&](TObject*) { events.push_back("hide"); };
    form->AfterConstruction();
    form->AfterConstruction();  // only once
    form->Show();
    EXPECT_EQ(Screen->ActiveForm(), form);
    TForm other(nullptr);
    other.Show();
    EXPECT_EQ(Screen->ActiveForm(), &other);
    other.Hide();
    form->Hide();
    EXPECT_EQ(events, (std::vector<std::string>{"create", "show", "activate", "deactivate", "activate", "deactivate", "hide"}));
}

TEST_F(Forms, FirstTabStopGetsTheFocusWhenTheFormIsShown) {
    auto* a = new Recorder(form);
    a->SetParent(form);
    auto* b = new Recorder(form);
    b->SetParent(form);
    b->SetTabStop(true);
    form->Show();
    EXPECT_EQ(form->ActiveControl(), b);
    EXPECT_EQ(Screen->ActiveControl(), b);
    // A freed active control leaves no dangling pointer behind.
    delete b;
    EXPECT_EQ(form->ActiveControl(), nullptr);
    EXPECT_EQ(Screen->ActiveControl(), nullptr);
}

TEST_F(Forms, F1AsksForTheNearestHelpContext) {
    THelpEvent saved = Application->OnHelp;
    std::vector<long> asked;
    Application->OnHelp = [&](unsigned command, long data, bool& callHelp) {
        if (command == HELP_CONTEXT) asked.push_back(data);
        callHelp = false;
        return true;
    };
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* edit = new Recorder(form);
    edit->SetParent(panel);
    form->Show();
    edit->Perform(WM_KEYDOWN, VK_F1, 0);  // no context anywhere: nothing asked
    form->HelpContext = 77;
    edit->Perform(WM_KEYDOWN, VK_F1, 0);
    edit->HelpContext = 5;
    edit->Perform(WM_KEYDOWN, VK_F1, 0);
    Application->OnHelp = saved;
    EXPECT_EQ(asked, (std::vector<long>{77, 5}));
}

TEST_F(Forms, OuterSizeIncludesTheFrameAndBorderStylesChangeTheClientArea) {
    form->SetBounds(0, 0, 400, 300);
    EXPECT_EQ(form->ClientWidth(), 400 - 8);
    EXPECT_EQ(form->ClientHeight(), 300 - 8 - 19);
    form->SetBorderStyle(bsDialog);
    EXPECT_EQ(form->ClientWidth(), 400 - 6);
    form->SetBorderStyle(bsNone);
    EXPECT_EQ(form->ClientRect(), Rect(0, 0, 400, 300));
    form->SetClientSize(200, 100);
    EXPECT_EQ(form->Width(), 200);
    form->SetFormStyle(fsStayOnTop);
    EXPECT_TRUE(form->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
    form->Show();
    EXPECT_EQ(form->Widget()->size(), QSize(200, 100));
}

TEST_F(Forms, ScreenCentredFormIsPlacedInTheMiddle) {
    form->Position = poScreenCenter;
    form->SetBounds(0, 0, 200, 100);
    form->Show();
    EXPECT_EQ(form->Left(), (Screen->Width() - 200) / 2);
    EXPECT_EQ(form->Top(), (Screen->Height() - 100) / 2);
}

TEST_F(Forms, ApplicationHintFollowsTheMouseWithTheLongPart) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetHint("New Topic|Adds a new page");
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetBounds(0, 60, 80, 20);
    label->SetHint("Plain");
    form->Show();
    std::vector<std::string> hints;
    Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
    MouseMove(panel, Point(10, 10));
    MouseMove(form, Point(10, 65));  // over the label
    MouseMove(form, Point(200, 150));  // the form has no hint
    EXPECT_EQ(hints, (std::vector<std::string>{"Adds a new page", "Plain", ""}));
    EXPECT_EQ(GetShortHint(panel->Hint()), "New Topic");
    Application->OnHint = nullptr;
}

TEST_F(Forms, MessageBoxFromAFormHandlerGoesThroughTheScriptedService) {
    ScriptedDialogService dialogs;
    ScopedDialogService scope(dialogs);
    dialogs.Answer(mrNo);
    int answer = 0;
    form->OnShow = [&](TObject*) {
        answer = MessageDlg("Save changes?", mtConfirmation, mbYesNoCancel);
    };
    form->Show();
    EXPECT_EQ(answer, mrNo);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "Confirm");
    EXPECT_EQ(dialogs.Last().text, "Save changes?");
    EXPECT_EQ(dialogs.Last().icon, DialogIcon::Question);
    Application->SetTitle("Tavrin");
    Application->MessageBox("Done", "", MB_OK);
    EXPECT_EQ(dialogs.Last().caption, "Tavrin");
    EXPECT_EQ(dialogs.Unscripted(), 1);
}

TEST_F(Forms, CaretIsDrawnInvertedAtItsPositionWhileShown) {
    auto* rec = new Recorder(form);
    rec->SetParent(form);
    rec->SetBounds(0, 0, 100, 60);
    form->Show();
    ASSERT_TRUE(CreateCaret(rec->Handle(), 2, 14));
    EXPECT_FALSE(CaretVisible());  // a new caret starts hidden
    SetCaretPos(30, 20);
    TBitmap img;
    Grab(rec, img);
    EXPECT_EQ(img.Canvas().Pixel(30, 25), clWhite);
    ShowCaret(rec->Handle());
    EXPECT_TRUE(CaretVisible());
    Grab(rec, img);
    EXPECT_EQ(img.Canvas().Pixel(30, 25), clBlack);
    EXPECT_EQ(img.Canvas().Pixel(32, 25), clWhite);
    TPoint p;
    EXPECT_TRUE(GetCaretPos(p));
    EXPECT_EQ(p, Point(30, 20));
    HideCaret(rec->Handle());
    EXPECT_FALSE(CaretVisible());
    EXPECT_TRUE(DestroyCaret());
    EXPECT_FALSE(ShowCaret(rec->Handle()));
}

TEST_F(Forms, ScreenCursorOverridesAndCustomCursorsRegister) {
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    TBitmap arrow(16, 16);
    Screen->SetCursorImage(1, arrow, Point(0, 0));
    EXPECT_TRUE(Screen->HasCustomCursor(1));
    EXPECT_FALSE(Screen->HasCustomCursor(2));
    const plat::StringList& fonts = Screen->Fonts();
    int index;
    EXPECT_TRUE(fonts.Find("Arial", index));
    EXPECT_TRUE(fonts.Find("Liberation Sans", index));
    EXPECT_EQ(Screen->PixelsPerInch(), 96);
}

TEST(Beep, MessageBeepIsCounted) {
    InitApplication();
    int before = MessageBeepCount();
    MessageBeep(0);
    EXPECT_EQ(MessageBeepCount(), before + 1);
}

// Last: it ends the application and starts a fresh one.
TEST(ApplicationQuit, QuitMessageEndsModalLoopAndRunTerminates) {
    InitApplication();
    auto* main = new TForm(Application);
    Application->CreateForm(main);
    TForm dialog(nullptr);
    dialog.OnShow = [](TObject*) { plat::PostQuitMessage(0); };
    QTimer watch;  // outside the fixture: a loop the quit does not end is ended here
    watch.setSingleShot(true);
    QObject::connect(&watch, &QTimer::timeout, [&dialog] { dialog.SetModalResult(mrAbort); });
    watch.start(3000);
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    watch.stop();
    EXPECT_TRUE(Application->Terminated());
    Application->Run();  // returns at once: already terminated
    // Event loops started on the way out (a last question box) still run.
    QEventLoop probe;
    QTimer::singleShot(10, &probe, [&] { probe.exit(5); });
    EXPECT_EQ(probe.exec(), 5);
    DoneApplication();
    InitApplication();
    EXPECT_FALSE(Application->Terminated());
}

}  // namespace
}  // namespace guitest

namespace guitest {

TEST_F(GuiTest, ADialogBorderedFormTakesANewClientSize) {
    gui::TForm* dialog = new gui::TForm(gui::Application);
    dialog->SetBorderStyle(gui::bsDialog);
    dialog->SetClientSize(392, 295);
    dialog->Show();
    ProcessEvents();
    gui::TBitmap shot;
    Grab(dialog, shot);
    EXPECT_EQ(dialog->ClientWidth(), 392);
    EXPECT_EQ(shot.Width(), 392);
    EXPECT_EQ(shot.Height(), 295);
    delete dialog;
}

}  // namespace guitest

namespace guitest {
namespace {

// A control whose handlers fail the way program code fails: a left press
// throws what `pressError` makes, a paint throws while `paintFails` is set.
class Failing : public Recorder {
public:
    using Recorder::Recorder;
    std::function<void()> pressError;
    bool paintFails = false;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_LBUTTONDOWN && pressError) pressError();
        Recorder::WndProc(m);
    }

protected:
    void Paint() override {
        if (paintFails) throw plat::Exception("Cannot read the picture");
        Recorder::Paint();
    }
};

class EscapedExceptions : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        failing = new Failing(form);
        failing->SetParent(form);
        failing->SetBounds(10, 10, 100, 40);
        form->Show();
        ProcessEvents();
        Application->SetTitle("Tavrin");
    }
    void TearDown() override {
        Application->OnException = nullptr;
        GuiTest::TearDown();
    }
    // A press as the window system delivers it, through Qt's loop.
    void Press() {
        QCoreApplication::postEvent(failing->Widget(),
                                    new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(failing->Widget(),
                                    new QMouseEvent(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5),
                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        ProcessEvents();
    }
    Failing* failing = nullptr;
    ScriptedDialogService dialogs;
    ScopedDialogService scope{dialogs};
};

TEST_F(EscapedExceptions, AHandlersExceptionIsShownAndTheLoopGoesOn) {
    struct Case {
        std::function<void()> error;
        const char* shown;  // nullptr: nothing is shown
    };
    const Case cases[] = {
        {[] { throw plat::Exception("Key violation"); }, "Key violation."},
        {[] { throw std::runtime_error("Disk full."); }, "Disk full."},
        {[] { throw plat::EAbort("Operation aborted"); }, nullptr},
        {[] { throw 42; }, "Unknown error."},
    };
    for (const Case& c : cases) {
        dialogs.Clear();
        failing->log.clear();
        failing->pressError = c.error;
        ASSERT_NO_THROW(Press());
        if (c.shown) {
            ASSERT_EQ(dialogs.Requests().size(), 1u) << c.shown;
            EXPECT_EQ(dialogs.Last().text, c.shown);
            EXPECT_EQ(dialogs.Last().caption, "Tavrin");
            EXPECT_EQ(dialogs.Last().icon, DialogIcon::Error);
        } else {
            EXPECT_TRUE(dialogs.Requests().empty());
        }
        // The release that followed the failed press still arrived.
        EXPECT_EQ(failing->Of(WM_LBUTTONUP).size(), 1u);
    }
}

TEST_F(EscapedExceptions, OnExceptionTakesTheErrorInsteadOfTheBox) {
    std::vector<std::string> seen;
    Application->OnException = [&](TObject*, const std::exception& e) { seen.push_back(e.what()); };
    failing->pressError = [] { throw plat::Exception("Record locked"); };
    Press();
    failing->pressError = [] { throw plat::EAbort("Operation aborted"); };
    Press();
    EXPECT_EQ(seen, (std::vector<std::string>{"Record locked"}));
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(EscapedExceptions, APaintThatFailsIsShownAndLaterPaintsWork) {
    failing->paintFails = true;
    failing->Invalidate();
    // The box waits until the loop is back from the repaint.
    ASSERT_NO_THROW(ProcessEvents(20));
    ASSERT_GE(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].text, "Cannot read the picture.");
    failing->paintFails = false;
    const int before = failing->paints;
    failing->Invalidate();
    ProcessEvents(20);
    EXPECT_GT(failing->paints, before);
}

// Queued messages handled by our own pump (ProcessMessages) are guarded too,
// and the rest of the queue still runs.
TEST_F(EscapedExceptions, AQueuedMessageThatThrowsLeavesTheRestOfTheQueue) {
    int later = 0;
    HWND wnd = plat::AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 1) throw plat::Exception("Cannot open the table");
        if (m.Msg == WM_USER + 2) ++later;
    });
    plat::PostMessage(wnd, WM_USER + 1, 0, 0);
    plat::PostMessage(wnd, WM_USER + 2, 0, 0);
    ASSERT_NO_THROW(ProcessEvents(20));
    EXPECT_EQ(later, 1);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Cannot open the table.");
    plat::DeallocateHWnd(wnd);
}

}  // namespace
}  // namespace guitest
