#include "engine/comms/single_user_protocol.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/base/qv_exceptions.h"
#include "platform/core/clock.h"
#include "platform/win/message_queue.h"

using namespace qv;

namespace {

struct Received {
    std::uint32_t connId;
    std::vector<std::uint8_t> bytes;
    bool nullData;
};

// Records what a transport hands to its events.
struct Recorder {
    std::vector<Received> packets;
    std::vector<std::uint32_t> hangUps;
    std::vector<std::uint32_t> newConnections;

    void Attach(TqvBaseCommsProtocol& p) {
        p.OnReceiveData = [this](TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len, std::uint8_t* data) {
            packets.push_back({id, data ? std::vector<std::uint8_t>(data, data + len) : std::vector<std::uint8_t>{},
                               data == nullptr});
            return true;
        };
        p.OnHangUp = [this](TqvBaseCommsProtocol&, std::uint32_t id) { hangUps.push_back(id); };
        p.OnNewConnection = [this](TqvBaseCommsProtocol&, std::uint32_t id) { newConnections.push_back(id); };
    }
};

// A window that poses as a listening server but never says anything by
// itself: what the client sends it is recorded.
struct SilentServer {
    struct Rec {
        std::uint32_t kind, length, firstU32;
    };
    std::vector<Rec> records;
    plat::HWND wnd = 0;
    plat::HWND caller = 0;

    SilentServer() {
        wnd = plat::AllocateHWnd([this](plat::TMessage& m) {
            if (m.Msg == kQvWmSingleUserSearch) {
                caller = static_cast<plat::HWND>(m.LParam);
                m.Result = kQvSearchAnswer;
            } else if (m.Msg == kQvWmSingleUserPacket) {
                auto* r = reinterpret_cast<TqvSingleUserRecord*>(m.LParam);
                records.push_back({r->kind, r->length, r->length >= 4 ? GetU32(r->data) : 0});
            }
        });
    }
    ~SilentServer() { plat::DeallocateHWnd(wnd); }
    // Delivers a packet to the client as its server would.
    void SendToClient(std::vector<std::uint8_t> bytes) {
        TqvSingleUserRecord r;
        r.kind = kQvRecordData;
        r.length = static_cast<std::uint32_t>(bytes.size());
        r.data = bytes.data();
        plat::SendMessage(caller, kQvWmSingleUserPacket, wnd, reinterpret_cast<plat::LPARAM>(&r));
    }
    int KeepAlives() const {
        int n = 0;
        for (const auto& r : records) n += (r.kind == kQvRecordData && r.length == 4 && r.firstU32 == 10);
        return n;
    }
    int HangUps() const {
        int n = 0;
        for (const auto& r : records) n += r.kind == kQvRecordHangUp;
        return n;
    }
};

class SingleUserTest : public ::testing::Test {
protected:
    // Start at a multiple of the keep-alive period so ticks fall on round times.
    plat::FakeClock clock{100000};
    plat::ScopedClock scope{clock};
    void SetUp() override { ASSERT_TRUE(plat::BindMessageThread()); }
    void TearDown() override { plat::ProcessMessages(); }
    void Tick(std::uint32_t ms = kQvKeepAliveIntervalMs) {
        clock.Advance(ms);
        plat::ProcessMessages();
    }
    static std::vector<std::uint8_t> Packet(std::uint32_t msgId, std::uint32_t n) {
        std::vector<std::uint8_t> p(24 + n);
        PutU32(p.data(), msgId);
        PutU32(p.data() + 4, 24 + n);
        for (std::uint32_t i = 8; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(i * 7);
        return p;
    }
};

TEST_F(SingleUserTest, CallFindsTheFirstListeningServerAndClientsNeverAccept) {
    Recorder r1, r2;
    TqvSingleUserProtocol server1("One", kQvRoleServer), server2("Two", kQvRoleServer);
    TqvSingleUserProtocol client("C", kQvRoleClient), otherClient("D", kQvRoleClient);
    r1.Attach(server1);
    r2.Attach(server2);

    // A client's window answers the search with 0 and takes no connection.
    EXPECT_EQ(plat::SendMessage(otherClient.NotifyWindow(), kQvWmSingleUserSearch, 0,
                                static_cast<plat::LPARAM>(client.NotifyWindow())),
              0);
    EXPECT_EQ(otherClient.ConnectionCount(), 0);

    std::uint32_t id = 99;
    client.Call("Two", id);  // the name is not looked at
    ASSERT_NE(id, 0u);
    EXPECT_EQ(client.ConnectionCount(), 1);
    EXPECT_EQ(server1.ConnectionCount(), 1) << "the oldest listening window answers first";
    EXPECT_EQ(server2.ConnectionCount(), 0);
    ASSERT_EQ(r1.newConnections.size(), 1u);
    EXPECT_EQ(r1.newConnections[0], server1.ConnectionIdAt(0));
    EXPECT_TRUE(r2.newConnections.empty());
}

TEST_F(SingleUserTest, ACallToANamedServerWindowReachesThatServerOnly) {
    Recorder r1, r2;
    TqvSingleUserProtocol server1("One", kQvRoleServer), server2("Two", kQvRoleServer);
    r1.Attach(server1);
    r2.Attach(server2);
    TqvSingleUserProtocol client("C", kQvRoleClient);
    client.SetServerWindow(server2.NotifyWindow());
    std::uint32_t id = 0;
    client.Call("", id);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(server1.ConnectionCount(), 0) << "the older server is not the client's";
    EXPECT_EQ(server2.ConnectionCount(), 1);

    // A named window that is not a listening server gives no connection,
    // rather than some other session's server.
    TqvSingleUserProtocol lost("L", kQvRoleClient), notAServer("N", kQvRoleClient);
    lost.SetServerWindow(notAServer.NotifyWindow());
    std::uint32_t none = 7;
    lost.Call("", none);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(server1.ConnectionCount(), 0);
}

TEST_F(SingleUserTest, CallWithoutServerGivesZeroAndServersCannotCall) {
    TqvSingleUserProtocol client("C", kQvRoleClient);
    std::uint32_t id = 5;
    client.Call("", id);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(client.ConnectionCount(), 0);

    TqvSingleUserProtocol server("S", kQvRoleServer);
    try {
        server.Call("", id);
        FAIL() << "a server called";
    } catch (const EqvCommsException& e) {
        EXPECT_EQ(e.ErrorNumber(), 129);
    }
}

TEST_F(SingleUserTest, PacketsArriveScrambledByTheSenderAndDescrambledByTheReceiver) {
    Recorder rs;
    TqvSingleUserProtocol server("S", kQvRoleServer), client("C", kQvRoleClient);
    rs.Attach(server);
    std::uint32_t id = 0;
    client.Call("S", id);
    ASSERT_NE(id, 0u);

    // Same seed: the packet arrives as sent.
    server.SetKeyStreamSeed(1);
    client.SetKeyStreamSeed(1);
    auto p = Packet(2048, 300);
    client.Send(id, p.data(), static_cast<std::uint32_t>(p.size()));
    ASSERT_EQ(rs.packets.size(), 1u);
    EXPECT_EQ(rs.packets[0].connId, server.ConnectionIdAt(0));
    EXPECT_EQ(rs.packets[0].bytes, p);

    // Different seeds: from byte 8 on, what arrives is the packet XOR both
    // key streams, which shows that each side applied its own.
    client.SetKeyStreamSeed(2);
    client.Send(id, p.data(), static_cast<std::uint32_t>(p.size()));
    ASSERT_EQ(rs.packets.size(), 2u);
    const auto& got = rs.packets[1].bytes;
    TqvKeyStream k1, k2;
    MakeKeyStream(1, k1);
    MakeKeyStream(2, k2);
    for (std::size_t i = 0; i < p.size(); ++i) {
        std::uint8_t expect = i < 8 ? p[i] : p[i] ^ k1[(i - 8) % 256] ^ k2[(i - 8) % 256];
        ASSERT_EQ(got[i], expect) << i;
    }

    // The attach request travels in the clear, whatever the keys.
    auto attach = Packet(QvnmAttachServer, 64);
    client.Send(id, attach.data(), static_cast<std::uint32_t>(attach.size()));
    EXPECT_EQ(rs.packets.back().bytes, attach);

    // An empty send hands over no address; a packet over 2048 bytes is refused.
    client.Send(id, nullptr, 0);
    EXPECT_TRUE(rs.packets.back().nullData);
    EXPECT_EQ(rs.packets.back().bytes.size(), 0u);
    std::size_t before = rs.packets.size();
    std::vector<std::uint8_t> big(kQvMaxPacketSize + 1, 0);
    EXPECT_EQ(client.Send(id, big.data(), static_cast<std::uint32_t>(big.size())), 0);
    EXPECT_EQ(rs.packets.size(), before);
    EXPECT_EQ(client.Send(id + 1000, p.data(), 24), 0) << "unknown connection";
}

TEST_F(SingleUserTest, KeepAliveNeverReachesTheDataHandler) {
    Recorder rs;
    TqvSingleUserProtocol server("S", kQvRoleServer), client("C", kQvRoleClient);
    rs.Attach(server);
    std::uint32_t id = 0;
    client.Call("S", id);
    std::uint8_t ka[4];
    PutU32(ka, QvnmKeepAlive);
    client.Send(id, ka, 4);
    EXPECT_TRUE(rs.packets.empty());
    TqvConnection* sc = server.FindConnection(server.ConnectionIdAt(0));
    ASSERT_NE(sc, nullptr);
    EXPECT_EQ(sc->keepAliveReceived, 1);
}

TEST_F(SingleUserTest, SilentPartnerGetsFiveKeepAlivesAndIsHungUpAtTheSixthTick) {
    Recorder rc;
    SilentServer fake;
    TqvSingleUserProtocol client("C", kQvRoleClient);
    rc.Attach(client);
    std::uint32_t id = 0;
    client.Call("", id);
    ASSERT_NE(id, 0u);

    // t+2500: still within the 5000 ms of silence.
    Tick();
    EXPECT_EQ(fake.KeepAlives(), 0);
    // t+5000 .. t+15000: one keep-alive at each of five ticks.
    for (int i = 1; i <= 5; ++i) {
        Tick();
        EXPECT_EQ(fake.KeepAlives(), i) << "tick " << i + 1;
        EXPECT_EQ(client.ConnectionCount(), 1);
    }
    EXPECT_TRUE(rc.hangUps.empty());
    // t+17500: the sixth tick hangs up, telling the partner once.
    Tick();
    EXPECT_EQ(fake.KeepAlives(), 5);
    EXPECT_EQ(client.ConnectionCount(), 0);
    ASSERT_EQ(rc.hangUps.size(), 1u);
    EXPECT_EQ(rc.hangUps[0], id);
    EXPECT_EQ(fake.HangUps(), 1);
    EXPECT_TRUE(rc.packets.empty());
}

TEST_F(SingleUserTest, AnyPacketHeardRestartsTheSilenceAndAKeepAliveIsAnsweredOnTheNextTick) {
    Recorder rc;
    SilentServer fake;
    TqvSingleUserProtocol client("C", kQvRoleClient);
    rc.Attach(client);
    std::uint32_t id = 0;
    client.Call("", id);
    Tick();
    Tick();
    Tick();  // t+7500: two keep-alives so far
    ASSERT_EQ(fake.KeepAlives(), 2);

    fake.SendToClient(Packet(2048, 0));  // a data packet: tries 0, a fresh 5000 ms
    EXPECT_EQ(rc.packets.size(), 1u);
    EXPECT_EQ(client.FindConnection(id)->keepAliveTries, 0u);
    Tick();  // 2500 ms after the packet: quiet
    EXPECT_EQ(fake.KeepAlives(), 2);
    Tick();  // 5000 ms after it: silent again
    EXPECT_EQ(fake.KeepAlives(), 3);

    std::vector<std::uint8_t> ka(4);
    PutU32(ka.data(), QvnmKeepAlive);
    fake.SendToClient(ka);  // answered once on the next tick, though not silent
    EXPECT_EQ(rc.packets.size(), 1u);
    Tick();
    EXPECT_EQ(fake.KeepAlives(), 4);
    EXPECT_EQ(client.ConnectionCount(), 1);
}

TEST_F(SingleUserTest, TwoLiveEndsKeepEachOtherAlive) {
    Recorder rs, rc;
    TqvSingleUserProtocol server("S", kQvRoleServer), client("C", kQvRoleClient);
    rs.Attach(server);
    rc.Attach(client);
    std::uint32_t id = 0;
    client.Call("", id);
    for (int i = 0; i < 40; ++i) Tick();  // 100 s with no traffic but keep-alives
    EXPECT_EQ(client.ConnectionCount(), 1);
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_TRUE(rs.hangUps.empty());
    EXPECT_TRUE(rc.hangUps.empty());
    EXPECT_TRUE(rs.packets.empty()) << "keep-alives stay inside the transports";
}

TEST_F(SingleUserTest, DestroyingOneEndHangsTheOtherUp) {
    Recorder rs, r1, r2;
    auto server = std::make_unique<TqvSingleUserProtocol>("S", kQvRoleServer);
    TqvSingleUserProtocol c1("C1", kQvRoleClient), c2("C2", kQvRoleClient);
    rs.Attach(*server);
    r1.Attach(c1);
    r2.Attach(c2);
    std::uint32_t id1 = 0, id2 = 0;
    c1.Call("", id1);
    c2.Call("", id2);
    ASSERT_EQ(server->ConnectionCount(), 2);

    // A client going away: the server hears it and drops that connection.
    {
        auto c3 = std::make_unique<TqvSingleUserProtocol>("C3", kQvRoleClient);
        std::uint32_t id3 = 0;
        c3->Call("", id3);
        ASSERT_EQ(server->ConnectionCount(), 3);
        std::uint32_t serverSide = server->ConnectionIdAt(2);
        c3.reset();
        EXPECT_EQ(server->ConnectionCount(), 2);
        ASSERT_EQ(rs.hangUps.size(), 1u);
        EXPECT_EQ(rs.hangUps[0], serverSide);
    }

    // The server going away: every client is hung up without answering back.
    server.reset();
    EXPECT_EQ(c1.ConnectionCount(), 0);
    EXPECT_EQ(c2.ConnectionCount(), 0);
    EXPECT_EQ(r1.hangUps, std::vector<std::uint32_t>{id1});
    EXPECT_EQ(r2.hangUps, std::vector<std::uint32_t>{id2});
}

TEST_F(SingleUserTest, SendToAVanishedPartnerFails) {
    SilentServer* fake = new SilentServer;
    TqvSingleUserProtocol client("C", kQvRoleClient);
    std::uint32_t id = 0;
    client.Call("", id);
    ASSERT_NE(id, 0u);
    delete fake;
    auto p = Packet(2048, 4);
    EXPECT_EQ(client.Send(id, p.data(), static_cast<std::uint32_t>(p.size())), 0);
    client.HangUp(id);  // no partner to tell; nothing breaks
    EXPECT_EQ(client.ConnectionCount(), 0);
}

TEST_F(SingleUserTest, SeedZeroTakesTheTickCountOrAFixedValueAtTickZero) {
    TqvSingleUserProtocol p("S", kQvRoleServer);
    p.SetKeyStreamSeed(0);
    EXPECT_EQ(p.KeyStreamSeed(), 100000u);
    clock.SetTick(0);
    p.SetKeyStreamSeed(0);
    EXPECT_EQ(p.KeyStreamSeed(), 305419896u);
    TqvKeyStream expect;
    MakeKeyStream(305419896, expect);
    EXPECT_EQ(p.KeyStream(), expect);
}

}  // namespace
