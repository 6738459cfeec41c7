// While the engine's client waits for a reply (a request its server put off,
// as it does on a lock conflict, until the next retry tick), the program's
// windows keep being served: Qt's events run inside the wait through the
// platform's wait hook, which the GUI installs. A request the server answers
// at once waits for nothing, and nothing runs inside it.
#include "engine/client/client_comms_engine.h"
#include "engine/client/message_box.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace {

using namespace db;

// Puts off every request once, then answers it: the client's wait lasts one
// retry tick of the server's queue.
class PuttingOffHandler : public qv::TqvCommandHandlerBase {
public:
    explicit PuttingOffHandler(qv::TqvServerCommsEngine& comms) : comms_(comms) {}
    void Dispatch(qv::TqvDataMessage& msg) override {
        if (msg.messageId == qv::QvnmAttachServer) {
            std::uint8_t rep[13] = {};
            qv::PutU32(rep, msg.clientId);
            qv::PutU32(rep + 4, 10700);
            qv::PutU32(rep + 8, comms_.GetKeyStreamSeed());
            comms_.SendReply(msg.messageId, msg.clientId, 0, rep, sizeof rep);
            return;
        }
        if (msg.messageId == qv::QvnmCheckSecureComms || !putOff_.insert(msg.messageId).second) {
            comms_.SendReply(msg.messageId, msg.clientId, 0, "OK", 2);
            return;
        }
        msg.retry = 1;
    }

private:
    qv::TqvServerCommsEngine& comms_;
    std::set<std::uint32_t> putOff_;
};

class EngineWaitTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        std::filesystem::create_directories(dir_.path() / "home");
        plat::SetDataHome((dir_.path() / "home").string());
        qv::SetSystemTableDirectory("");
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
    qv::RecordingMessageBoxService boxes_;
    qv::ScopedEngineMessageBoxService scope_{boxes_};
};

TEST_F(EngineWaitTest, QtEventsAreServedWhileARequestWaitsForItsRetry) {
    qv::TqvClientCommsEngine client("Tavrin");
    client.StartInProcessServer([](qv::TqvServerEngine&, qv::TqvServerCommsEngine& comms) {
        return std::make_unique<PuttingOffHandler>(comms);
    });
    ASSERT_EQ(client.Attach("SingleEXE", "", ""), 0);
    std::uint32_t request = 3000;
    auto ask = [&] {
        char reply[2] = {};
        EXPECT_EQ(client.SendRequest(request++, nullptr, 0, reply, 2), 0);
        EXPECT_EQ(std::string(reply, 2), "OK");
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
    EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
