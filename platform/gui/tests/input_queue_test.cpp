// Input that arrives while the program is busy: a PeekMessage poll during
// long work sees pending key presses without them reaching the controls, and
// what the poll leaves is delivered afterwards in order.
#include "gui_fixture.h"

#include "platform/win/message_queue.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace guitest {
namespace {

using namespace gui;

class InputQueue : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        rec = new Recorder(form);
        rec->SetParent(form);
        rec->SetBounds(10, 10, 200, 100);
        form->Show();
        ProcessEvents();
        rec->log.clear();
    }
    // Input as the window system queues it while nobody runs the loop.
    void Queue(QEvent::Type type, int key, const QString& text = {}) {
        QCoreApplication::postEvent(rec->Widget(), new QKeyEvent(type, key, Qt::NoModifier, text));
    }
    Recorder* rec = nullptr;
};

TEST_F(InputQueue, PollDuringLongWorkSeesEscapeWithoutDispatchingIt) {
    Queue(QEvent::KeyPress, Qt::Key_Escape);
    Queue(QEvent::KeyRelease, Qt::Key_Escape);
    Queue(QEvent::KeyPress, Qt::Key_A, "a");
    QCoreApplication::postEvent(rec->Widget(), new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    // The long work polls for a key press and takes it.
    plat::MSG msg;
    ASSERT_TRUE(plat::PeekMessage(msg, 0, WM_KEYDOWN, WM_KEYDOWN, plat::PM_REMOVE));
    EXPECT_EQ(msg.hwnd, rec->Handle());
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
    // Nothing reached the control during the poll, not even the click.
    EXPECT_TRUE(rec->log.empty());
    // A second poll sees the next key and leaves it.
    ASSERT_TRUE(plat::PeekMessage(msg, 0, WM_KEYDOWN, WM_KEYDOWN, plat::PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_TRUE(rec->log.empty());

    // The work is over: the loop delivers the rest in order. Escape was taken
    // by the poll, so it typed nothing.
    ProcessEvents();
    std::vector<UINT> keys;
    for (const TMessage& m : rec->log)
        if (m.Msg >= WM_KEYFIRST && m.Msg <= WM_KEYLAST) keys.push_back(m.Msg);
    EXPECT_EQ(keys, (std::vector<UINT>{WM_KEYUP, WM_KEYDOWN, WM_CHAR}));
    ASSERT_EQ(rec->Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(rec->Of(WM_CHAR)[0].WParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(rec->Of(WM_LBUTTONDOWN).size(), 1u);
}

TEST_F(InputQueue, KeysTypedWhileNobodyPollsStillGoStraightToTheControl) {
    SendKey(rec, 'B');
    ASSERT_EQ(rec->Of(WM_KEYDOWN).size(), 1u);
    ASSERT_EQ(rec->Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(rec->Of(WM_CHAR)[0].WParam, static_cast<WPARAM>('b'));
    plat::MSG msg;
    EXPECT_FALSE(plat::PeekMessage(msg, 0, WM_KEYDOWN, WM_KEYDOWN, plat::PM_REMOVE));
}

// A poll that cannot be answered with input does not run Qt's loop: input
// stays with Qt and reaches the control as usual.
TEST_F(InputQueue, PollForOtherMessagesLeavesInputAlone) {
    Queue(QEvent::KeyPress, Qt::Key_Escape);
    plat::MSG msg;
    EXPECT_FALSE(plat::PeekMessage(msg, 0, WM_USER, WM_USER, plat::PM_REMOVE));
    EXPECT_TRUE(rec->log.empty());
    // Nor does an unfiltered poll of a window that never gets input (the
    // engine polls its hidden windows so all the time).
    HWND hidden = plat::AllocateHWnd([](plat::TMessage& m) { m.Result = 0; });
    EXPECT_FALSE(plat::PeekMessage(msg, hidden, 0, 0, plat::PM_REMOVE));
    plat::DeallocateHWnd(hidden);
    EXPECT_TRUE(rec->log.empty());
    ProcessEvents();
    EXPECT_EQ(rec->Of(WM_KEYDOWN).size(), 1u);
}

}  // namespace
}  // namespace guitest
