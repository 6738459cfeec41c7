// While the engine's client waits for a reply, the program's windows keep
// being served: Qt's events run inside the wait through the platform's wait
// hook, which the GUI installs.
#include "engine/client/message_box.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/tables.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <QTimer>

#include <filesystem>

namespace {

using namespace db;

class EngineWaitTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        std::filesystem::create_directories(dir_.path() / "home");
        plat::SetDataHome((dir_.path() / "home").string());
        Session().SetDriver(std::make_shared<TEngineDriver>());
    }
    void TearDown() override {
        Session().SetDriver(nullptr);
        GuiTest::TearDown();
    }
    // Creates, fills and walks a table; counts how often a zero-interval Qt
    // timer fired during the engine calls.
    int QtEventsServedDuringEngineWork(const std::string& name) {
        int served = 0;
        bool inside = false;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] { served += inside ? 1 : 0; });
        ticker.start();
        inside = true;
        TTable t(nullptr);
        t.DatabaseName = dir_.path().string() + "/";
        t.TableName = name;
        t.FieldDefs().Add("Id", ftInteger);
        t.CreateTable();
        t.Open();
        for (int i = 0; i < 20; ++i) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(i);
            t.Post();
        }
        for (t.First(); !t.Eof(); t.Next()) {}
        t.Close();
        inside = false;
        return served;
    }
    testsupport::TempDir dir_;
    qv::RecordingMessageBoxService boxes_;
    qv::ScopedEngineMessageBoxService scope_{boxes_};
};

TEST_F(EngineWaitTest, QtEventsAreServedWhileRepliesAreAwaited) {
    EXPECT_TRUE(plat::HasWaitHook());
    EXPECT_GT(QtEventsServedDuringEngineWork("served"), 0);
    // Without the hook the same work starves Qt: the hook is what serves it.
    std::function<void()> hook = plat::SetWaitHook({});
    EXPECT_EQ(QtEventsServedDuringEngineWork("starved"), 0);
    plat::SetWaitHook(hook);
    EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
