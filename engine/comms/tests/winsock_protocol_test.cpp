#include "engine/comms/winsock_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/base/qv_exceptions.h"
#include "engine/comms/single_user_protocol.h"
#include "engine/comms/tests/net_test_harness.h"
#include "platform/core/clock.h"
#include "platform/net/winsock.h"
#include "platform/win/message_queue.h"

using namespace qv;
using namespace qvtest;

namespace {

TqvWinsockPorts AnyFreePorts() {
    TqvWinsockPorts p;
    p.tcpServerPort = p.tcpServerDatagramPort = p.tcpClientDatagramPort = 0;
    p.spxServerSocket = p.ipxServerDatagramSocket = p.ipxClientDatagramSocket = 0;
    return p;
}

TqvWinsockProtocol& Winsock(TqvBaseCommsProtocol& p) { return dynamic_cast<TqvWinsockProtocol&>(p); }

struct FamilyCase {
    const char* name;
    TqvCommsProtocolClass cls;
    std::uint8_t family;
};

// The ports a client needs to reach `server` (which listens and hears
// datagrams on ports of its own choosing).
TqvWinsockPorts PortsOf(EchoServer& server) {
    TqvWinsockProtocol& t = Winsock(server.Transport());
    TqvWinsockPorts p = t.Ports();
    p.tcpServerPort = p.spxServerSocket = t.ListeningPort();
    p.tcpServerDatagramPort = p.ipxServerDatagramSocket = t.DatagramPort();
    return p;
}

class WinsockTransportTest : public ::testing::TestWithParam<FamilyCase> {
protected:
    TqvWinsockPorts saved;
    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        saved = TqvWinsockProtocol::ConfiguredPorts();
        TqvWinsockProtocol::ConfiguredPorts() = AnyFreePorts();
    }
    void TearDown() override {
        TqvWinsockProtocol::ConfiguredPorts() = saved;
        plat::ProcessMessages();
    }
    std::unique_ptr<EchoServer> StartServer() {
        auto s = std::make_unique<EchoServer>(GetParam().cls);
        s->engine->StartUp();
        s->Transport().StartDatagrams();
        return s;
    }
    std::unique_ptr<EchoClient> MakeClient(const TqvWinsockPorts& ports) {
        auto c = std::make_unique<EchoClient>(GetParam().cls("Client", kQvRoleClient));
        Winsock(*c->proto).SetPorts(ports);
        return c;
    }
    std::string AddressOf(EchoServer& s) {
        return GetParam().family == kQvFamilyTCPIP ? "127.0.0.1" : s.engine->GetNetworkName();
    }
};

TEST_P(WinsockTransportTest, NetworkNameHasTheFamilysForm) {
    auto server = StartServer();
    std::string name = server->engine->GetNetworkName();
    if (GetParam().family == kQvFamilyTCPIP) {
        EXPECT_EQ(name, "127.0.0.1");
    } else {
        // 8 hex digits, colon, six hyphen-separated pairs: 26 characters.
        ASSERT_EQ(name.size(), 26u);
        EXPECT_EQ(name[8], ':');
        std::uint8_t net[4], node[6];
        EXPECT_TRUE(TqvWinsockProtocol::ParseIpxAddress(name, net, node));
    }
    EXPECT_EQ(server->engine->GetServerName(), "Echo");
}

TEST_P(WinsockTransportTest, CarriesAMultiPacketRequestAndItsReply) {
    auto server = StartServer();
    bool ipx = GetParam().family == kQvFamilyIPXSPX;
    // On IPX/SPX the server waits for acknowledgements of its reply packets,
    // which this thread could not send while the server waits: keep the
    // reply in one packet here (the cross-process test sends long replies).
    if (ipx) server->handler.replyLimit = 2000;
    auto client = MakeClient(PortsOf(*server));
    ASSERT_TRUE(client->ConnectAndAttach(AddressOf(*server)));
    EXPECT_EQ(client->proto->ConnectionCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
    EXPECT_EQ(client->clientId, server->Transport().ConnectionIdAt(0));

    // 5000 bytes travel as 2024 + 2024 + 952; with acknowledgements the
    // first two are acknowledged.
    std::string request = Pattern(5000);
    ASSERT_TRUE(client->Request(300, request));
    std::uint32_t id = 0;
    std::string reply;
    ASSERT_TRUE(client->TakeReply(id, reply));
    EXPECT_EQ(id, 300u);
    ASSERT_EQ(server->handler.payloads.size(), 2u);
    EXPECT_EQ(server->handler.payloads[1], request);
    EXPECT_EQ(reply, Reversed(request).substr(0, ipx ? 2000 : 5000));
    EXPECT_EQ(client->acksHeard, ipx ? 2 : 0);
    EXPECT_EQ(client->acksSent, 0);
}

TEST_P(WinsockTransportTest, AnswersTheDiscoveryDatagramWith68Bytes) {
    auto server = StartServer();
    auto client = MakeClient(PortsOf(*server));
    client->proto->StartDatagrams();
    // The server answers to the client role's datagram port.
    TqvWinsockPorts sp = Winsock(server->Transport()).Ports();
    sp.tcpClientDatagramPort = sp.ipxClientDatagramSocket = Winsock(*client->proto).DatagramPort();
    Winsock(server->Transport()).SetPorts(sp);

    // Only a 4-byte datagram holding 6 is answered.
    std::uint8_t seven[4], six[4], longer[5] = {6, 0, 0, 0, 0};
    PutU32(seven, 7);
    PutU32(six, 6);
    client->proto->SendDatagram("", seven, 4);
    client->proto->SendDatagram("", longer, 5);
    client->proto->SendDatagram("", six, 4);
    ASSERT_TRUE(PumpUntil([&] { return !client->datagrams.empty(); }));
    PumpUntil([] { return false; }, 30);
    ASSERT_EQ(client->datagrams.size(), 1u);
    const std::string& d = client->datagrams[0];
    std::size_t bar = d.find('|');
    std::string body = d.substr(bar + 1);
    ASSERT_EQ(body.size(), 68u);
    const auto* b = reinterpret_cast<const std::uint8_t*>(body.data());
    EXPECT_EQ(GetU32(b), 7u);
    EXPECT_EQ(GetShortStringField(b + 4, 32), "Echo");
    EXPECT_EQ(GetShortStringField(b + 36, 32), server->engine->GetNetworkName());
    EXPECT_EQ(d.substr(0, bar), AddressOf(*server));  // the answer's source
}

TEST_P(WinsockTransportTest, ADatagramIsCutTo128Bytes) {
    // A bare datagram socket stands in for the server's.
    int af = GetParam().family == kQvFamilyTCPIP ? plat::WS_AF_INET : plat::WS_AF_IPX;
    plat::SOCKET rx = plat::socket(af, plat::WS_SOCK_DGRAM, af == plat::WS_AF_IPX ? plat::WS_NSPROTO_IPX : 0);
    ASSERT_NE(rx, plat::INVALID_SOCKET);
    plat::SOCKADDR_IN in;
    in.sin_addr = plat::inet_addr("127.0.0.1");
    plat::SOCKADDR_IPX ipx;
    plat::SOCKADDR* a = af == plat::WS_AF_INET ? reinterpret_cast<plat::SOCKADDR*>(&in)
                                               : reinterpret_cast<plat::SOCKADDR*>(&ipx);
    int len = af == plat::WS_AF_INET ? static_cast<int>(sizeof in) : static_cast<int>(sizeof ipx);
    ASSERT_EQ(plat::bind(rx, a, len), 0);
    ASSERT_EQ(plat::getsockname(rx, a, &len), 0);
    TqvWinsockPorts ports = AnyFreePorts();
    ports.tcpServerDatagramPort = ports.ipxServerDatagramSocket =
        plat::ntohs(af == plat::WS_AF_INET ? in.sin_port : ipx.sa_socket);
    auto client = MakeClient(ports);
    std::string big = Pattern(200);
    client->proto->SendDatagram("", big.data(), 200);
    char buf[512];
    int n = plat::recvfrom(rx, buf, sizeof buf, 0, nullptr, nullptr);
    EXPECT_EQ(n, 128);
    EXPECT_EQ(std::string(buf, 128), big.substr(0, 128));
    plat::closesocket(rx);
}

TEST_P(WinsockTransportTest, AClientHangingUpIsDetachedOnTheServer) {
    auto server = StartServer();
    auto client = MakeClient(PortsOf(*server));
    ASSERT_TRUE(client->ConnectAndAttach(AddressOf(*server)));
    std::uint32_t serverSide = client->clientId;
    client->proto->HangUp(client->connId);
    EXPECT_EQ(client->hangUps, 1);
    EXPECT_EQ(client->proto->ConnectionCount(), 0);
    ASSERT_TRUE(PumpUntil([&] { return !server->handler.detachedClients.empty(); }));
    EXPECT_EQ(server->handler.detachedClients[0], serverSide);
    EXPECT_EQ(server->Transport().ConnectionCount(), 0);
}

TEST_P(WinsockTransportTest, AServerGoingAwayHangsUpItsClients) {
    auto server = StartServer();
    auto client = MakeClient(PortsOf(*server));
    ASSERT_TRUE(client->ConnectAndAttach(AddressOf(*server)));
    server.reset();
    ASSERT_TRUE(PumpUntil([&] { return client->hangUps == 1; }));
    EXPECT_EQ(client->proto->ConnectionCount(), 0);
}

TEST_P(WinsockTransportTest, ACallWhereNoServerListensGivesNoConnection) {
    TqvWinsockPorts ports;
    {
        auto server = StartServer();
        ports = PortsOf(*server);
    }
    auto client = MakeClient(ports);
    std::uint32_t id = 99;
    // Refused at once: the call does not sit out its 30-second wait.
    std::uint32_t start = plat::GetTickCount();
    client->proto->Call(GetParam().family == kQvFamilyTCPIP ? "127.0.0.1" : client->proto->GetNetworkName(), id);
    EXPECT_LT(plat::GetTickCount() - start, 10000u);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(client->proto->ConnectionCount(), 0);
    client->proto->Call("", id);
    EXPECT_EQ(id, 0u);
}

TEST_P(WinsockTransportTest, RolesRefuseTheOtherRolesOperations) {
    auto server = StartServer();
    auto client = MakeClient(PortsOf(*server));
    EXPECT_THROW(client->proto->Listen(), EqvCommsException);
    std::uint32_t id = 0;
    EXPECT_THROW(server->Transport().Call("127.0.0.1", id), EqvCommsException);
}

INSTANTIATE_TEST_SUITE_P(Families, WinsockTransportTest,
                         ::testing::Values(FamilyCase{"TCPIP", &TqvTCPIPProtocol::Create, kQvFamilyTCPIP},
                                           FamilyCase{"IPXSPX", &TqvIPXSPXProtocol::Create, kQvFamilyIPXSPX}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- byte streams from a bare socket: reassembly and keep-alive -------------------

// A plain TCP connection to the server that the test writes by hand.
struct RawConnection {
    plat::SOCKET s = plat::INVALID_SOCKET;
    bool eof = false;
    explicit RawConnection(std::uint16_t port) {
        s = plat::socket(plat::WS_AF_INET, plat::WS_SOCK_STREAM, 0);
        plat::SOCKADDR_IN a;
        a.sin_addr = plat::inet_addr("127.0.0.1");
        a.sin_port = plat::htons(port);
        EXPECT_EQ(plat::connect(s, reinterpret_cast<plat::SOCKADDR*>(&a), sizeof a), 0);
        std::uint32_t on = 1;
        plat::ioctlsocket(s, plat::WS_FIONBIO, &on);
    }
    ~RawConnection() { plat::closesocket(s); }
    void Write(const std::string& bytes) {
        ASSERT_EQ(plat::send(s, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
    }
    std::string ReadAvailable() {
        std::string out;
        char buf[4096];
        for (;;) {
            int n = plat::recv(s, buf, sizeof buf, 0);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) eof = true;
            return out;
        }
    }
};

class WinsockStreamTest : public ::testing::Test {
protected:
    TqvWinsockPorts saved;
    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        saved = TqvWinsockProtocol::ConfiguredPorts();
        TqvWinsockProtocol::ConfiguredPorts() = AnyFreePorts();
    }
    void TearDown() override {
        TqvWinsockProtocol::ConfiguredPorts() = saved;
        plat::ProcessMessages();
    }
};

TEST_F(WinsockStreamTest, PacketsSplitAndJoinedAnyHowAreReassembled) {
    EchoServer server(&TqvTCPIPProtocol::Create);
    server.engine->StartUp();
    RawConnection raw(Winsock(server.Transport()).ListeningPort());
    // Message id 1 travels unscrambled and with any client id, so the test
    // can write it by hand.
    std::string a = PacketHeader(QvnmAttachServer, 3, 3, 0, true, true) + "abc";
    std::string b = PacketHeader(QvnmAttachServer, 4, 4, 0, true, true) + "defg";
    std::string keepAlive(4, '\0');
    PutU32(keepAlive.data(), QvnmKeepAlive);
    // One write holding a packet, a keep-alive and the start of a packet: the
    // first is handled, the keep-alive never reaches the handler, and the
    // surplus waits for the rest.
    raw.Write(a + keepAlive + b.substr(0, 10));
    ASSERT_TRUE(PumpUntil([&] { return server.handler.payloads.size() == 1; }));
    PumpUntil([] { return false; }, 20);
    EXPECT_EQ(server.handler.payloads.size(), 1u);
    raw.Write(b.substr(10, 5));
    PumpUntil([] { return false; }, 20);
    EXPECT_EQ(server.handler.payloads.size(), 1u);
    raw.Write(b.substr(15));
    ASSERT_TRUE(PumpUntil([&] { return server.handler.payloads.size() == 2; }));
    EXPECT_EQ(server.handler.payloads[0], "abc");
    EXPECT_EQ(server.handler.payloads[1], "defg");
    EXPECT_EQ(server.Transport().ConnectionCount(), 1);
}

TEST_F(WinsockStreamTest, APacketLengthOutsideOnePacketHangsUp) {
    struct Case {
        std::uint32_t length;
    } cases[] = {{0}, {23}, {2049}, {0xFFFFFFFFu}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EchoServer server(&TqvTCPIPProtocol::Create);
        server.engine->StartUp();
        RawConnection raw(Winsock(server.Transport()).ListeningPort());
        ASSERT_TRUE(PumpUntil([&] { return server.Transport().ConnectionCount() == 1; }));
        std::string h = PacketHeader(QvnmAttachServer, 0, 0, 0, true, true);
        PutU32(h.data() + 4, c.length);
        raw.Write(h);
        ASSERT_TRUE(PumpUntil([&] { return server.handler.detachedClients.size() == 1; }));
        EXPECT_EQ(server.Transport().ConnectionCount(), 0);
        EXPECT_TRUE(server.handler.payloads.empty());
        ASSERT_TRUE(PumpUntil([&] {
            raw.ReadAvailable();
            return raw.eof;
        }));
    }
}

TEST_F(WinsockStreamTest, ASilentPartnerGetsFiveKeepAlivesThenIsHungUp) {
    plat::FakeClock clock{50000};
    plat::ScopedClock scope{clock};
    EchoServer server(&TqvTCPIPProtocol::Create);
    server.engine->StartUp();
    RawConnection raw(Winsock(server.Transport()).ListeningPort());
    ASSERT_TRUE(PumpUntil([&] { return server.Transport().ConnectionCount() == 1; }));

    // Tick by tick: the bytes the silent partner receives, and whether the
    // server has hung it up.
    std::string heard;
    std::vector<int> keepAlivesAtTick;
    int hungUpAtTick = -1;
    for (int tick = 1; tick <= 12 && hungUpAtTick < 0; ++tick) {
        clock.Advance(kQvKeepAliveIntervalMs);
        plat::ProcessMessages();
        heard += raw.ReadAvailable();
        keepAlivesAtTick.push_back(static_cast<int>(heard.size() / 4));
        if (server.Transport().ConnectionCount() == 0) hungUpAtTick = tick;
    }
    // Every byte heard is a keep-alive (the u32 10).
    ASSERT_EQ(heard.size() % 4, 0u);
    for (std::size_t i = 0; i < heard.size(); i += 4) EXPECT_EQ(GetU32(heard.data() + i), QvnmKeepAlive);
    // Silent for 5000 ms from the accept: the first keep-alive goes at the
    // second tick, one per tick up to five, and the sixth tick hangs up.
    EXPECT_EQ(keepAlivesAtTick, (std::vector<int>{0, 1, 2, 3, 4, 5, 5}));
    EXPECT_EQ(hungUpAtTick, 7);
    ASSERT_EQ(server.handler.detachedClients.size(), 0u);  // queued; served on the next pump
    ASSERT_TRUE(PumpUntil([&] { return server.handler.detachedClients.size() == 1; }));
    ASSERT_TRUE(PumpUntil([&] {
        raw.ReadAvailable();
        return raw.eof;
    }));
}

TEST_F(WinsockStreamTest, AKeepAliveFromThePartnerIsAnsweredOnTheNextTick) {
    plat::FakeClock clock{50000};
    plat::ScopedClock scope{clock};
    EchoServer server(&TqvTCPIPProtocol::Create);
    server.engine->StartUp();
    RawConnection raw(Winsock(server.Transport()).ListeningPort());
    ASSERT_TRUE(PumpUntil([&] { return server.Transport().ConnectionCount() == 1; }));
    std::string keepAlive(4, '\0');
    PutU32(keepAlive.data(), QvnmKeepAlive);
    // Each tick the partner speaks (a keep-alive), so it is never hung up and
    // each of its keep-alives is answered by one.
    std::string heard;
    for (int tick = 1; tick <= 8; ++tick) {
        raw.Write(keepAlive);
        ASSERT_TRUE(PumpUntil([&] {
            auto* conn = server.Transport().FindConnection(server.Transport().ConnectionIdAt(0));
            return conn && conn->keepAliveReceived;
        }));
        clock.Advance(kQvKeepAliveIntervalMs);
        plat::ProcessMessages();
        heard += raw.ReadAvailable();
        EXPECT_EQ(heard.size(), static_cast<std::size_t>(tick) * 4);
    }
    EXPECT_EQ(server.Transport().ConnectionCount(), 1);
    EXPECT_TRUE(server.handler.payloads.empty());
}

TEST(ServerSidePathsTest, OnlyTheSingleUserTransportMayNameServerFiles) {
    ASSERT_TRUE(plat::BindMessageThread());
    struct Case {
        const char* name;
        TqvCommsProtocolClass cls;
        bool allowed;
    } cases[] = {{"single-user", &TqvSingleUserProtocol::Create, true},
                 {"TCP/IP", &TqvTCPIPProtocol::Create, false},
                 {"IPX/SPX", &TqvIPXSPXProtocol::Create, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TqvServerCommsEngine engine("S", c.cls);
        EXPECT_EQ(engine.AllowsServerSidePaths(), c.allowed);
    }
}

TEST(WinsockAddressTest, IpxAddressesParseOnlyInTheirShape) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {
        {"0000007F:02-00-7F-00-00-01", true},
        {"0a0b0C0d:ff-EE-dd-cc-bb-aa", true},
        {"0000007F:02007F000001", true},  // hyphens are separators, not required
        {"0000007F:02-00-7F-00-00", false},
        {"0000007F:02-00-7F-00-00-01-02", false},
        {"000007F:02-00-7F-00-00-01", false},
        {"0000007F 02-00-7F-00-00-01", false},
        {"0000007F:02-00-7G-00-00-01", false},
        {"0000007F02-00-7F-00-00-01", false},
        {"0000007F:0-20-07F-00-00-01", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint8_t net[4] = {}, node[6] = {};
        EXPECT_EQ(TqvWinsockProtocol::ParseIpxAddress(c.text, net, node), c.ok);
    }
    std::uint8_t net[4], node[6];
    ASSERT_TRUE(TqvWinsockProtocol::ParseIpxAddress("0a0b0C0d:ff-EE-dd-cc-bb-aa", net, node));
    EXPECT_EQ(TqvWinsockProtocol::FormatIpxAddress(net, node), "0A0B0C0D:FF-EE-DD-CC-BB-AA");
}

}  // namespace
