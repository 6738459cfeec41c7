// While the engine's client waits for a reply (a request its server put off,
// as it does on a lock conflict, until the next retry tick), the program's
// windows keep being served: Qt's events run inside the wait through the
// platform's wait hook, which the GUI installs. A request the server answers
// at once waits for nothing, and nothing runs inside it.
#include "engine/api/dbi_api.h"
#include "engine/api/dbi_test_hooks.h"
#include "platform/core/dialog_service.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace db;

class EngineWaitTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        std::filesystem::create_directories(dir_.path() / "home");
        plat::SetDataHome((dir_.path() / "home").string());
        qv::DbiSetSystemTableDirectory("");
        Session().SetDriver(std::make_shared<TEngineDriver>());
    }
    void TearDown() override {
        Session().SetDriver(nullptr);
        plat::SetDataHome("");
        GuiTest::TearDown();
    }
    // Runs `work` while a zero-interval Qt timer ticks; how often it fired
    // inside the work.
    static int QtEventsServedDuring(const std::function<void()>& work) {
        int served = 0;
        bool inside = false;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] { served += inside ? 1 : 0; });
        ticker.start();
        inside = true;
        work();
        inside = false;
        return served;
    }
    testsupport::TempDir dir_;
    gui::ScriptedDialogService boxes_;
    gui::ScopedDialogService scope_{boxes_};
};

TEST_F(EngineWaitTest, QtEventsAreServedWhileARequestWaitsForItsRetry) {
    qv::DbiPutOffConnection client;
    ASSERT_EQ(client.Attach(), 0);
    auto ask = [&] {
        std::string reply;
        EXPECT_EQ(client.Ask(reply), 0);
        EXPECT_EQ(reply, "OK");
    };
    EXPECT_TRUE(plat::HasWaitHook());
    EXPECT_GT(QtEventsServedDuring(ask), 0);
    // Without the hook the same wait starves Qt: the hook is what serves it.
    std::function<void()> hook = plat::SetWaitHook({});
    EXPECT_EQ(QtEventsServedDuring(ask), 0);
    plat::SetWaitHook(hook);
}

// Table work through the dataset layer, where the server answers at once,
// keeps its results whether or not Qt gets a turn.
TEST_F(EngineWaitTest, TableWorkAnsweredAtOnceNeedsNoWait) {
    int rows = 0;
    QtEventsServedDuring([&] {
        TTable t(nullptr);
        t.DatabaseName = dir_.path().string() + "/";
        t.TableName = "direct";
        t.FieldDefs().Add("Id", ftInteger);
        t.CreateTable();
        t.Open();
        for (int i = 0; i < 20; ++i) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(i);
            t.Post();
        }
        for (t.First(); !t.Eof(); t.Next()) rows += t.FieldByName("Id")->AsInteger() == rows ? 1 : 0;
        t.Close();
    });
    EXPECT_EQ(rows, 20);
    EXPECT_TRUE(boxes_.Requests().empty());
}

}  // namespace
