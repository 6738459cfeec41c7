// One process, both ends: a client-side single-user transport frames
// requests into packets, the server comms engine gathers them into its queue
// and announces them, the window hands them to the command handler, and the
// reply packets come back to the client.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/comms/single_user_protocol.h"
#include "engine/server/command_handler.h"
#include "engine/server/server_log.h"
#include "engine/server/tests/dispatch/handler_fixture.h"
#include "platform/win/message_queue.h"

using namespace qv;
using qvtest::Bytes;
using qvtest::Payload;

namespace {

struct Client {
    TqvSingleUserProtocol proto{"Client", kQvRoleClient};
    TqvDataMessageQueue replies;
    std::uint32_t connId = 0, clientId = 0;
    std::vector<TqvMsgHeader> heard;

    Client() {
        proto.OnReceiveData = [this](TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len, std::uint8_t* d) {
            if (len < kQvMsgHeaderSize) return true;
            TqvMsgHeader h = ReadMsgHeader(d);
            if (h.messageId == QvnmAcknowledge) return true;
            heard.push_back(h);
            if (h.firstPacket)
                replies.AddMessage(h.messageId, id, h.timeout, h.errorCode, d + 24, h.totalLength, len - 24,
                                   h.dataIsStream);
            else
                replies.AppendPacket(h.messageId, id, d + 24, len - 24);
            if (!h.lastPacket) {
                std::uint8_t ack[kQvMsgHeaderSize];
                WriteMsgHeader(ack, MakeAckHeader(clientId));
                proto.Send(id, ack, sizeof ack);
            }
            return true;
        };
    }
    void Request(std::uint32_t msgId, const Bytes& data, std::uint16_t timeout = 0) {
        const auto total = static_cast<std::uint32_t>(data.size());
        std::uint32_t off = 0;
        for (bool first = true;; first = false) {
            std::uint32_t n = std::min(total - off, kQvMaxPacketData);
            TqvMsgHeader h;
            h.messageId = msgId;
            h.packetLength = kQvMsgHeaderSize + n;
            h.totalLength = total;
            h.clientId = clientId;
            h.timeout = timeout;
            h.firstPacket = first;
            h.lastPacket = off + n == total;
            Bytes p(kQvMsgHeaderSize);
            WriteMsgHeader(p.data(), h);
            p.insert(p.end(), data.begin() + off, data.begin() + off + n);
            proto.Send(connId, p.data(), static_cast<std::uint32_t>(p.size()));
            if (h.lastPacket) break;
            off += n;
        }
    }
};

class EndToEndTest : public ::testing::Test {
protected:
    plat::FakeClock clock{90000};
    plat::ScopedClock scope{clock};
    testsupport::TempDir dir;
    TqvServerEngine engine;
    std::unique_ptr<TqvServerCommsEngine> comms;
    std::unique_ptr<TqvServerCommandHandler> handler;
    plat::HWND window = 0;

    void SetUp() override {
        SetServerDebugLog(false);
        ASSERT_TRUE(plat::BindMessageThread());
        window = plat::AllocateHWnd([this](plat::TMessage& m) {
            if (m.Msg == kQvWmMessageQueued && handler) ServeQueuedMessages(comms->MessageQueue(), *handler);
        });
        comms = std::make_unique<TqvServerCommsEngine>("SingleEXE", TqvSingleUserProtocol::Create);
        comms->SetNotifyWindow(window);
        comms->StartUp();
        handler = std::make_unique<TqvServerCommandHandler>(engine, *comms);
    }
    void TearDown() override {
        handler.reset();
        comms.reset();
        plat::DeallocateHWnd(window);
        plat::ProcessMessages();
    }
    void Pump(std::uint32_t ms = 0) {
        clock.Advance(ms);
        plat::ProcessMessages();
        plat::ProcessMessages();
    }
    // The next reply: id, code and payload.
    bool Take(Client& c, std::uint32_t& id, std::uint16_t& code, Bytes& data) {
        TqvDataMessage* m = c.replies.GetHead();
        if (!m) return false;
        id = m->messageId;
        code = static_cast<std::uint16_t>(m->errorCode);
        const std::uint8_t* p = m->Bytes();
        data = p ? Bytes(p, p + m->dataLength) : Bytes();
        c.replies.RemoveHead();
        return true;
    }
};

TEST_F(EndToEndTest, RequestsTravelThroughTransportQueueHandlerAndEngine) {
    EXPECT_TRUE(handler->SingleUserTransport());
    Client c;
    c.proto.Call("", c.connId);
    ASSERT_NE(c.connId, 0u);
    c.Request(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("", 32).b);
    Pump();
    std::uint32_t id = 0;
    std::uint16_t code = 0xFFFF;
    Bytes data;
    ASSERT_TRUE(Take(c, id, code, data));
    auto& server = static_cast<TqvSingleUserProtocol&>(comms->Transport());
    ASSERT_EQ(server.ConnectionCount(), 1);
    const std::uint32_t clientId = server.ConnectionIdAt(0);
    const std::uint32_t seed = comms->GetKeyStreamSeed();
    // Golden: the client id the server knows the connection by, 10700, the
    // key-stream seed as is (open server), 0.
    Bytes want = Payload().U32(clientId).U32(10700).U32(seed).U8(0).b;
    EXPECT_EQ(id, QvnmAttachServer);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(data, want);
    c.clientId = clientId;
    c.proto.SetKeyStreamSeed(seed);

    // Under the scrambling now: a database opened by path.
    c.Request(QvnmDatabaseOpenNoAlias, Payload().Str(dir.path().string(), 220).U8(1).U8(1).b);
    Pump();
    ASSERT_TRUE(Take(c, id, code, data));
    EXPECT_EQ(id, QvnmDatabaseOpenNoAlias);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(data.size(), 4u);
    TqvSrDatabase* db = nullptr;
    EXPECT_EQ(engine.FindDatabase(GetU32(data.data()), db), 0);

    // A request nobody carries is answered, not left to time out.
    c.Request(4242, {});
    Pump();
    ASSERT_TRUE(Take(c, id, code, data));
    EXPECT_EQ(id, 4242u);
    EXPECT_EQ(code, kQvErrNotSupported);
    EXPECT_TRUE(data.empty());

    // A short payload comes back as 9986 on the same id.
    c.Request(QvnmDatabaseClose, {1, 2});
    Pump();
    ASSERT_TRUE(Take(c, id, code, data));
    EXPECT_EQ(id, QvnmDatabaseClose);
    EXPECT_EQ(code, dbi::kInvalidParameter);
}

// A conflict met with time left is not answered; the queue's retry tick runs
// it again, and once the conflict has gone the client gets its answer. A
// conflict that outlives the deadline is answered with its code.
TEST_F(EndToEndTest, DeferredRequestsAreRetriedOnTheQueueTickUntilTheirDeadline) {
    Client c;
    c.proto.Call("", c.connId);
    c.Request(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("", 32).b);
    Pump();
    std::uint32_t id = 0;
    std::uint16_t code = 0;
    Bytes data;
    ASSERT_TRUE(Take(c, id, code, data));
    c.clientId = GetU32(data.data());
    c.proto.SetKeyStreamSeed(GetU32(data.data() + 8));
    c.Request(QvnmDatabaseOpenNoAlias, Payload().Str(dir.path().string(), 220).U8(1).U8(1).b);
    Pump();
    ASSERT_TRUE(Take(c, id, code, data));
    const std::uint32_t db = GetU32(data.data());
    c.Request(QvnmStartTransaction, Payload().U32(db).U8(0).b);
    Pump();
    ASSERT_TRUE(Take(c, id, code, data));
    ASSERT_EQ(code, 0);
    const std::uint32_t first = GetU32(data.data());

    c.Request(QvnmStartTransaction, Payload().U32(db).U8(0).b, 1000);
    Pump();
    EXPECT_FALSE(Take(c, id, code, data));
    EXPECT_EQ(comms->MessageQueue().DeferredCount(), 1);
    Pump(kQvRetryIntervalMs);  // tried again, still in conflict
    EXPECT_FALSE(Take(c, id, code, data));
    ASSERT_EQ(engine.TransactionCommit(first), 0);
    Pump(kQvRetryIntervalMs);
    ASSERT_TRUE(Take(c, id, code, data));
    EXPECT_EQ(id, QvnmStartTransaction);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_NE(GetU32(data.data()), first);

    // The new transaction stays: this one waits out its 300 ms and is told why.
    c.Request(QvnmStartTransaction, Payload().U32(db).U8(0).b, 300);
    Pump();
    for (int i = 0; i < 5; ++i) Pump(kQvRetryIntervalMs);
    ASSERT_TRUE(Take(c, id, code, data));
    EXPECT_EQ(code, dbi::kTransactionActive);
    EXPECT_EQ(comms->MessageQueue().DeferredCount(), 0);
}

}  // namespace
