// Escape typed into a window while a record filter runs: the GUI's pending
// key input reaches the poll without being dispatched to the control.
#include "platform/gui/tests/gui_fixture.h"

#include "data/vl_helpers.h"
#include "data/vl_query.h"
#include "platform/win/message_queue.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

using namespace gui;

class FilterEscapeGui : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        rec = new guitest::Recorder(form);
        rec->SetParent(form);
        rec->SetBounds(10, 10, 200, 100);
        form->Show();
        QCoreApplication::processEvents();
        rec->log.clear();
        query.SetOnFilterOptions(vl::kDefaultFilterOptions | vl::ofoCancelOnEscape);
    }
    // A key press as the window system queues it while the program is busy.
    void Queue(int key, const QString& text = {}) {
        QCoreApplication::postEvent(rec->Widget(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    }
    guitest::Recorder* rec = nullptr;
    vl::TvlQuery query{nullptr};
};

TEST_F(FilterEscapeGui, EscapePressedDuringTheWorkStopsTheFilter) {
    Queue(Qt::Key_Escape);
    EXPECT_TRUE(vl::CheckFilterEscape(&query));
    EXPECT_FALSE(query.OnFilterOptions() & vl::ofoEnabled);
    EXPECT_TRUE(query.OnFilterOptions() & vl::ofoCancelOnEscape);
    EXPECT_TRUE(rec->Of(WM_KEYDOWN).empty());  // taken by the poll, never delivered
    QCoreApplication::processEvents();
    EXPECT_TRUE(rec->Of(WM_KEYDOWN).empty());
}

TEST_F(FilterEscapeGui, OtherKeysAreTypedAfterTheWork) {
    Queue(Qt::Key_A, "a");
    EXPECT_FALSE(vl::CheckFilterEscape(&query));
    EXPECT_FALSE(vl::CheckFilterEscape(&query));
    EXPECT_TRUE(query.OnFilterOptions() & vl::ofoEnabled);
    EXPECT_TRUE(rec->log.empty());
    // The loop delivers the key with its character once the work is over.
    plat::ProcessMessages();
    QCoreApplication::processEvents();
    ASSERT_EQ(rec->Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(rec->Of(WM_CHAR)[0].WParam, static_cast<WPARAM>('a'));
}

// An engine reply awaited while the key arrives: the wait repaints but keeps
// the key in the queue, where the next poll still finds it.
TEST_F(FilterEscapeGui, EscapePressedWhileTheEngineAnswersWaitsForThePoll) {
    ASSERT_TRUE(plat::HasWaitHook());
    Queue(Qt::Key_Escape);
    plat::ServeWhileWaiting();
    EXPECT_TRUE(rec->Of(WM_KEYDOWN).empty());
    EXPECT_TRUE(vl::CheckFilterEscape(&query));
    EXPECT_FALSE(query.OnFilterOptions() & vl::ofoEnabled);
}

}  // namespace
