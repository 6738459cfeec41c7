#include "engine/comms/server_comms_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/comms/single_user_protocol.h"
#include "engine/comms/tests/fake_protocol.h"
#include "platform/core/clock.h"
#include "platform/win/message_queue.h"

using namespace qv;
using qvtest::FakeProtocol;

namespace {

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + 5) & 0xFF);
    return s;
}

std::string Header(std::uint32_t msgId, std::uint32_t dataLen, std::uint32_t total, std::uint32_t clientId,
                   bool first, bool last, std::uint16_t timeout = 0) {
    TqvMsgHeader h;
    h.messageId = msgId;
    h.packetLength = kQvMsgHeaderSize + dataLen;
    h.totalLength = total;
    h.clientId = clientId;
    h.timeout = timeout;
    h.firstPacket = first;
    h.lastPacket = last;
    std::string out(kQvMsgHeaderSize, '\0');
    WriteMsgHeader(out.data(), h);
    return out;
}

// The client end of the tests: a single-user transport, its own reply queue,
// acknowledgements for replies longer than a packet.
struct TestClient {
    TqvSingleUserProtocol proto{"Client", kQvRoleClient};
    TqvDataMessageQueue replies;
    std::uint32_t connId = 0;
    std::uint32_t clientId = 0;
    std::vector<TqvMsgHeader> heard;  // every reply packet's header
    int acksHeard = 0;
    int acksSent = 0;

    TestClient() {
        proto.OnReceiveData = [this](TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len, std::uint8_t* data) {
            if (len < kQvMsgHeaderSize) return true;
            TqvMsgHeader h = ReadMsgHeader(data);
            if (h.messageId == QvnmAcknowledge) {
                ++acksHeard;
                return true;
            }
            heard.push_back(h);
            if (h.firstPacket)
                replies.AddMessage(h.messageId, id, h.timeout, h.errorCode, data + 24, h.totalLength, len - 24,
                                   h.dataIsStream);
            else
                replies.AppendPacket(h.messageId, id, data + 24, len - 24);
            if (!h.lastPacket) {
                std::uint8_t ack[kQvMsgHeaderSize];
                WriteMsgHeader(ack, MakeAckHeader(clientId));
                ++acksSent;
                proto.Send(id, ack, sizeof ack);
            }
            return true;
        };
    }
    bool Connect() {
        proto.Call("", connId);
        return connId != 0;
    }
    // Frames a request the way the client engine does; acknowledgements come
    // back within each send on this transport.
    void Request(std::uint32_t msgId, const std::string& data, std::uint16_t timeout = 0) {
        auto total = static_cast<std::uint32_t>(data.size());
        std::uint32_t off = 0;
        bool first = true;
        for (;;) {
            std::uint32_t n = std::min(total - off, kQvMaxPacketData);
            bool last = off + n == total;
            std::string p = Header(msgId, n, total, clientId, first, last, timeout) + data.substr(off, n);
            proto.Send(connId, p.data(), static_cast<std::uint32_t>(p.size()));
            if (last) break;
            off += n;
            first = false;
        }
    }
};

struct Dispatched {
    std::uint32_t id, clientId;
    std::string data;
    std::uint8_t timeLeft;
};

struct FakeHandler : TqvCommandHandlerBase {
    std::vector<Dispatched> seen;
    std::function<void(TqvDataMessage&)> behaviour;
    void Dispatch(TqvDataMessage& m) override {
        const std::uint8_t* p = m.Bytes();
        seen.push_back({m.messageId, m.clientId, p ? std::string(reinterpret_cast<const char*>(p), m.dataLength) : "",
                        m.timeLeft});
        if (behaviour) behaviour(m);
    }
};

class ServerCommsTest : public ::testing::Test {
protected:
    plat::FakeClock clock{200000};
    plat::ScopedClock scope{clock};
    std::unique_ptr<TqvServerCommsEngine> engine;
    FakeHandler handler;
    plat::HWND owner = 0;
    int announced = 0;

    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        owner = plat::AllocateHWnd([this](plat::TMessage& m) {
            if (m.Msg == kQvWmMessageQueued) {
                ++announced;
                if (engine) ServeQueuedMessages(engine->MessageQueue(), handler);
            }
        });
    }
    void TearDown() override {
        engine.reset();
        plat::DeallocateHWnd(owner);
        plat::ProcessMessages();
    }
    void Start(TqvCommsProtocolClass cls) {
        engine = std::make_unique<TqvServerCommsEngine>("SingleEXE@here", cls);
        engine->SetNotifyWindow(owner);
        engine->StartUp();
    }
    // Posted 5105s are handled on the next pass of the loop.
    void Pump(std::uint32_t ms = 0) {
        clock.Advance(ms);
        plat::ProcessMessages();
        plat::ProcessMessages();
    }
    // What the request handlers answer in these tests.
    void ServeLikeAServer() {
        handler.behaviour = [this](TqvDataMessage& m) {
            if (m.messageId == QvnmAttachServer) {
                std::uint8_t r[13];
                PutU32(r, m.clientId);
                PutU32(r + 4, 10700);
                PutU32(r + 8, engine->GetKeyStreamSeed());
                r[12] = 0;
                engine->SendReply(m.messageId, m.clientId, 0, r, sizeof r);
            } else if (m.messageId == QvnmDetachServerJustInCase) {
                // never answered
            } else {
                engine->SendReply(m.messageId, m.clientId, 0, m.Bytes(), m.dataLength);
            }
        };
    }
    // Attach as the client engine does and take the key from the answer.
    void Attach(TestClient& c) {
        ASSERT_TRUE(c.Connect());
        c.Request(QvnmAttachServer, std::string(64, '\0'));
        Pump();
        TqvDataMessage* r = c.replies.GetHead();
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->dataLength, 13u);
        c.clientId = GetU32(r->Bytes());
        c.proto.SetKeyStreamSeed(GetU32(r->Bytes() + 8));
        c.replies.RemoveHead();
    }
};

TEST_F(ServerCommsTest, StartUpSeedsTheTransportAndListens) {
    Start(FakeProtocol::Create);
    FakeProtocol* t = FakeProtocol::Last();
    EXPECT_EQ(t->startUps, 1);
    EXPECT_TRUE(t->listening);
    EXPECT_TRUE(t->IsServer());
    EXPECT_EQ(engine->GetKeyStreamSeed(), 200000u);
    EXPECT_EQ(engine->GetServerName(), "SingleEXE");
}

TEST_F(ServerCommsTest, HandshakeAndAMultiPacketExchangeOverTheSingleUserTransport) {
    Start(TqvSingleUserProtocol::Create);
    ServeLikeAServer();
    TestClient c;
    Attach(c);
    auto& server = static_cast<TqvSingleUserProtocol&>(engine->Transport());
    ASSERT_EQ(server.ConnectionCount(), 1);
    EXPECT_EQ(c.clientId, server.ConnectionIdAt(0));
    EXPECT_EQ(c.proto.KeyStream(), server.KeyStream());

    // The first scrambled request decodes on the server.
    c.Request(QvnmCheckSecureComms, "");
    Pump();
    ASSERT_EQ(handler.seen.back().id, QvnmCheckSecureComms);
    TqvDataMessage* check = c.replies.GetHead();
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->errorCode, 0u);
    c.replies.RemoveHead();

    // 5000 bytes each way: 2024 + 2024 + 952, the first two acknowledged,
    // one announcement for the whole request.
    std::string big = Pattern(5000);
    int announcedBefore = announced;
    c.heard.clear();
    c.Request(2048, big, 10000);
    EXPECT_EQ(c.acksHeard, 2);
    Pump();
    EXPECT_EQ(announced, announcedBefore + 1);
    ASSERT_EQ(handler.seen.back().id, 2048u);
    EXPECT_EQ(handler.seen.back().data, big);
    EXPECT_EQ(handler.seen.back().clientId, c.clientId);

    ASSERT_EQ(c.heard.size(), 3u);
    const std::uint32_t lengths[] = {2048, 2048, 976};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.heard[i].packetLength, lengths[i]) << i;
        EXPECT_EQ(c.heard[i].totalLength, 5000u);
        EXPECT_EQ(c.heard[i].firstPacket, i == 0 ? 1 : 0);
        EXPECT_EQ(c.heard[i].lastPacket, i == 2 ? 1 : 0);
        EXPECT_EQ(c.heard[i].serverMark, 255);
        EXPECT_EQ(c.heard[i].timeout, 0);
        EXPECT_EQ(c.heard[i].clientId, c.clientId);
    }
    EXPECT_EQ(c.acksSent, 2);
    EXPECT_FALSE(engine->AwaitingAcknowledgement());
    TqvDataMessage* r = c.replies.GetHead();
    ASSERT_NE(r, nullptr);
    std::string got(reinterpret_cast<const char*>(r->Bytes()), r->dataLength);
    EXPECT_EQ(got, big);
}

TEST_F(ServerCommsTest, ExactlyOnePacketUpTo2024BytesAndTwoFrom2025) {
    Start(TqvSingleUserProtocol::Create);
    ServeLikeAServer();
    TestClient c;
    Attach(c);
    struct Case {
        std::size_t size;
        std::vector<std::uint32_t> lengths;
    } cases[] = {{0, {24}}, {2024, {2048}}, {2025, {2048, 25}}};
    for (const auto& k : cases) {
        c.heard.clear();
        c.Request(300, Pattern(k.size));
        Pump();
        ASSERT_EQ(c.heard.size(), k.lengths.size()) << k.size;
        for (std::size_t i = 0; i < k.lengths.size(); ++i) {
            EXPECT_EQ(c.heard[i].packetLength, k.lengths[i]);
            EXPECT_EQ(c.heard[i].firstPacket, i == 0);
            EXPECT_EQ(c.heard[i].lastPacket, i + 1 == k.lengths.size());
        }
        c.replies.RemoveHead();
    }
}

TEST_F(ServerCommsTest, ErrorReplyIsOneEmptyPacket) {
    Start(TqvSingleUserProtocol::Create);
    handler.behaviour = [this](TqvDataMessage& m) {
        if (m.messageId == QvnmAttachServer) {
            std::uint8_t r[13] = {};
            PutU32(r, m.clientId);
            PutU32(r + 8, engine->GetKeyStreamSeed());
            engine->SendReply(m.messageId, m.clientId, 0, r, sizeof r);
        } else {
            std::string lots = Pattern(5000);
            engine->SendReply(m.messageId, m.clientId, 10241, lots.data(), 5000);
        }
    };
    TestClient c;
    Attach(c);
    c.heard.clear();
    c.Request(2048, "x");
    Pump();
    ASSERT_EQ(c.heard.size(), 1u);
    EXPECT_EQ(c.heard[0].packetLength, 24u);
    EXPECT_EQ(c.heard[0].totalLength, 0u);
    EXPECT_EQ(c.heard[0].errorCode, 10241);
    EXPECT_EQ(c.acksSent, 0);
}

TEST_F(ServerCommsTest, WrongKeyOrWrongClientIdHangsTheClientUp) {
    struct Case {
        const char* name;
        bool wrongKey;
        int clientIdDelta;
        std::uint32_t msgId;
        bool hungUp;
    } cases[] = {
        {"right key and id", false, 0, 2, false},
        {"wrong key", true, 0, 2, true},
        {"client id one off", false, 1, 2, true},
        {"attach with any client id", false, 1, QvnmAttachServer, false},
    };
    for (const auto& k : cases) {
        Start(TqvSingleUserProtocol::Create);
        std::vector<std::string> log;
        engine->logLine = [&log](const std::string& l) { log.push_back(l); };
        ServeLikeAServer();
        handler.seen.clear();
        TestClient c;
        Attach(c);
        std::uint32_t serverConn = engine->Transport().ConnectionIdAt(0);
        if (k.wrongKey) c.proto.SetKeyStreamSeed(engine->GetKeyStreamSeed() + 1);
        c.clientId += k.clientIdDelta;
        c.Request(k.msgId, k.msgId == QvnmAttachServer ? std::string(64, '\0') : "abc");
        Pump();
        EXPECT_EQ(c.proto.ConnectionCount(), k.hungUp ? 0 : 1) << k.name;
        EXPECT_EQ(engine->Transport().ConnectionCount(), k.hungUp ? 0 : 1) << k.name;
        if (k.hungUp) {
            // The handler hears of it as a detach "just in case", and the
            // garbled request itself never reaches it.
            ASSERT_FALSE(handler.seen.empty()) << k.name;
            EXPECT_EQ(handler.seen.back().id, QvnmDetachServerJustInCase) << k.name;
            EXPECT_EQ(handler.seen.back().clientId, serverConn) << k.name;
            EXPECT_EQ(handler.seen.size(), 2u) << k.name;  // attach, then detach
            ASSERT_EQ(log.size(), 4u) << k.name;
            EXPECT_EQ(log[0], "Hanging up due to bad client password");
            EXPECT_EQ(log[1], "  ConnHandle " + std::to_string(serverConn));
        } else {
            EXPECT_EQ(handler.seen.back().id, k.msgId) << k.name;
            EXPECT_TRUE(log.empty()) << k.name;
        }
        engine.reset();
        Pump();
    }
}

TEST_F(ServerCommsTest, ClientGoingAwayQueuesADetachJustInCase) {
    Start(TqvSingleUserProtocol::Create);
    ServeLikeAServer();
    auto c = std::make_unique<TestClient>();
    Attach(*c);
    std::uint32_t serverConn = engine->Transport().ConnectionIdAt(0);
    c.reset();
    EXPECT_EQ(engine->Transport().ConnectionCount(), 0);
    Pump();
    ASSERT_FALSE(handler.seen.empty());
    EXPECT_EQ(handler.seen.back().id, QvnmDetachServerJustInCase);
    EXPECT_EQ(handler.seen.back().clientId, serverConn);
    EXPECT_TRUE(handler.seen.back().data.empty());
}

TEST_F(ServerCommsTest, DeferredRequestIsRetriedEveryTickAndAnsweredWithTheConflictAfterItsDeadline) {
    Start(TqvSingleUserProtocol::Create);
    bool locked = true;
    handler.behaviour = [&](TqvDataMessage& m) {
        if (m.messageId == QvnmAttachServer) {
            std::uint8_t r[13] = {};
            PutU32(r, m.clientId);
            PutU32(r + 8, engine->GetKeyStreamSeed());
            engine->SendReply(m.messageId, m.clientId, 0, r, sizeof r);
            return;
        }
        // A record lock held by someone else: wait while there is time.
        if (locked && m.timeLeft) {
            m.retry = 1;
            return;
        }
        engine->SendReply(m.messageId, m.clientId, locked ? 10241 : 0, nullptr, 0);
    };
    TestClient c;
    Attach(c);

    // With a time-out of 1000 ms: presented at once and at every 100 ms tick,
    // no reply until the deadline, then the conflict code.
    handler.seen.clear();
    c.Request(2048, "key", 1000);
    Pump();
    EXPECT_EQ(handler.seen.size(), 1u);
    for (int i = 1; i <= 9; ++i) {
        Pump(100);
        ASSERT_EQ(handler.seen.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(handler.seen.back().timeLeft, 1);
        EXPECT_EQ(c.replies.GetHead(), nullptr);
    }
    Pump(100);
    ASSERT_EQ(handler.seen.size(), 11u);
    EXPECT_EQ(handler.seen.back().timeLeft, 0);
    TqvDataMessage* r = c.replies.GetHead();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->errorCode, 10241u);
    c.replies.RemoveHead();
    Pump(1000);
    EXPECT_EQ(handler.seen.size(), 11u) << "answered once, then gone";

    // The lock goes before the deadline: the next retry succeeds.
    c.Request(2048, "key", 1000);
    Pump();
    Pump(100);
    locked = false;
    Pump(100);
    r = c.replies.GetHead();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->errorCode, 0u);
    c.replies.RemoveHead();
    locked = true;

    // Without a time-out the conflict is answered at once.
    c.Request(2048, "key", 0);
    Pump();
    r = c.replies.GetHead();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->errorCode, 10241u);
}

TEST_F(ServerCommsTest, MalformedPacketsHangUpInsteadOfOverrunning) {
    struct Case {
        const char* name;
        std::string packet;
        bool hungUp;
    } cases[] = {
        {"short of a header", std::string(23, '\0'), true},
        {"total above the cap", Header(300, 4, kQvMaxMessageData + 1, 0, true, false) + "abcd", true},
        {"first packet longer than total", Header(300, 8, 4, 0, true, true) + "abcdefgh", true},
        {"a later packet with no message", Header(300, 4, 8, 0, false, true) + "abcd", false},
        {"well formed", Header(300, 4, 4, 0, true, true) + "abcd", false},
    };
    for (const auto& k : cases) {
        Start(FakeProtocol::Create);
        FakeProtocol* t = FakeProtocol::Last();
        std::uint32_t id = t->Accept();
        std::string p = k.packet;
        if (p.size() >= 16) PutU32(p.data() + 12, id);
        t->Deliver(id, p);
        EXPECT_EQ(t->ConnectionCount(), k.hungUp ? 0 : 1) << k.name;
        EXPECT_EQ(engine->MessageQueue().PartialCount(), 0) << k.name;
        engine.reset();
        plat::ProcessMessages();
    }
}

TEST_F(ServerCommsTest, ReplyStopsWhenTheClientNeverAcknowledges) {
    Start(FakeProtocol::Create);
    FakeProtocol* t = FakeProtocol::Last();
    std::uint32_t id = t->Accept();
    // Each breath of the wait lets a second go by.
    t->onBreathe = [this] { clock.Advance(1000); };
    std::string big = Pattern(3000);
    EXPECT_FALSE(engine->SendReply(2048, id, 0, big.data(), 3000));
    EXPECT_EQ(t->sent.size(), 1u) << "the second packet never left";
    EXPECT_EQ(t->ConnectionCount(), 0);
    EXPECT_FALSE(engine->AwaitingAcknowledgement());
    EXPECT_GE(t->breaths, 29);
    Pump();
    EXPECT_EQ(handler.seen.back().id, QvnmDetachServerJustInCase);
}

TEST_F(ServerCommsTest, ReplyFromAStreamAndAnAcknowledgingClient) {
    Start(FakeProtocol::Create);
    FakeProtocol* t = FakeProtocol::Last();
    std::uint32_t id = t->Accept();
    // The peer acknowledges a packet one breath after it was sent.
    bool pending = false;
    t->onSend = [&](std::uint32_t, const std::string& bytes) {
        if (bytes.size() >= 24 && !ReadMsgHeader(bytes.data()).lastPacket) pending = true;
    };
    t->onBreathe = [&] {
        if (!pending) return;
        pending = false;
        t->Deliver(id, Header(QvnmAcknowledge, 0, 0, id, true, true));
    };
    plat::MemoryStream s(Pattern(4100));
    s.SetPosition(17);  // sent from its start whatever its position
    EXPECT_TRUE(engine->SendReplyStream(1280, id, 0, &s));
    ASSERT_EQ(t->sent.size(), 3u);
    std::string joined;
    for (const auto& p : t->sent) {
        TqvMsgHeader h = ReadMsgHeader(p.bytes.data());
        EXPECT_EQ(h.dataIsStream, 1);
        EXPECT_EQ(h.totalLength, 4100u);
        joined += p.bytes.substr(24);
    }
    EXPECT_EQ(joined, Pattern(4100));
    EXPECT_EQ(t->breaths, 2);
}

TEST_F(ServerCommsTest, FramingOfA2025ByteReplyGoldenBytes) {
    Start(FakeProtocol::Create);
    FakeProtocol* t = FakeProtocol::Last();
    std::uint32_t id = t->Accept();
    t->onBreathe = [&] { t->Deliver(id, Header(QvnmAcknowledge, 0, 0, id, true, true)); };
    std::string data = Pattern(2025);
    ASSERT_TRUE(engine->SendReply(2048, id, 0, data.data(), 2025));
    ASSERT_EQ(t->sent.size(), 2u);
    // 2025 = 2024 + 1. Both packets repeat id, total, client id, error,
    // time-out 0, stream flag 0 and the server's 255; only the lengths and
    // the first/last flags differ:
    //   00 08 00 00 | 00 08 00 00 | E9 07 00 00 | id | 00 00 | 00 00 | 01 00 00 FF
    //   00 08 00 00 | 19 00 00 00 | E9 07 00 00 | id | 00 00 | 00 00 | 00 01 00 FF
    auto head = [](const std::string& p) {
        std::string h = p.substr(0, 24);
        h.replace(12, 4, "<id>");
        return h;
    };
    const char first[] = "\x00\x08\x00\x00\x00\x08\x00\x00\xE9\x07\x00\x00<id>\x00\x00\x00\x00\x01\x00\x00\xFF";
    const char second[] = "\x00\x08\x00\x00\x19\x00\x00\x00\xE9\x07\x00\x00<id>\x00\x00\x00\x00\x00\x01\x00\xFF";
    EXPECT_EQ(head(t->sent[0].bytes), std::string(first, 24));
    EXPECT_EQ(head(t->sent[1].bytes), std::string(second, 24));
    EXPECT_EQ(GetU32(t->sent[0].bytes.data() + 12), id);
    EXPECT_EQ(t->sent[0].bytes.substr(24), data.substr(0, 2024));
    EXPECT_EQ(t->sent[1].bytes.substr(24), data.substr(2024));
}

TEST_F(ServerCommsTest, DiscoveryAnswersOnlyTheFourByteSix) {
    Start(FakeProtocol::Create);
    FakeProtocol* t = FakeProtocol::Last();
    std::string six(4, '\0'), seven(4, '\0');
    PutU32(six.data(), 6);
    PutU32(seven.data(), 7);
    t->RaiseDatagram("10.0.0.9", seven);
    t->RaiseDatagram("10.0.0.9", six + "x");
    t->RaiseDatagram("10.0.0.9", six.substr(0, 3));
    EXPECT_TRUE(t->datagrams.empty());
    t->RaiseDatagram("10.0.0.9", six);
    ASSERT_EQ(t->datagrams.size(), 1u);
    EXPECT_EQ(t->datagrams[0].first, "10.0.0.9");
    // u32 7; "SingleEXE" as a 32-byte short string; the network name (empty
    // on this transport) as another.
    std::string expect(68, '\0');
    expect[0] = 7;
    expect[4] = 9;
    std::string("SingleEXE").copy(expect.data() + 5, 9);
    EXPECT_EQ(t->datagrams[0].second, expect);
}

}  // namespace
