#include "engine/comms/netbios_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/base/qv_exceptions.h"
#include "engine/comms/tests/net_test_harness.h"
#include "platform/core/clock.h"
#include "platform/core/threads.h"
#include "platform/net/netbios.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

using namespace qv;
using namespace qvtest;

namespace {

class NetBIOSTransportTest : public ::testing::Test {
protected:
    testsupport::TempDir registry;
    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        plat::NetbiosConfigure(registry.path().string(), 1);
    }
    void TearDown() override { plat::ProcessMessages(); }

    std::unique_ptr<EchoServer> StartServer(const char* name = "Echo@here") {
        auto s = std::make_unique<EchoServer>(&TqvNetBIOSProtocol::Create, name);
        // A reply longer than one packet would wait for acknowledgements that
        // this thread cannot send while it waits.
        s->handler.replyLimit = 2000;
        s->engine->StartUp();
        s->Transport().StartDatagrams();
        return s;
    }
    std::unique_ptr<EchoClient> MakeClient() {
        auto c = std::make_unique<EchoClient>(TqvNetBIOSProtocol::Create("Client", kQvRoleClient));
        c->proto->EnsureStarted();
        return c;
    }
};

TEST_F(NetBIOSTransportTest, NamesFollowTheirRules) {
    std::string client = MakeClientName();
    ASSERT_EQ(client.size(), 15u);
    EXPECT_EQ(client.substr(0, 4), "QVC_");
    for (char c : client.substr(4)) EXPECT_TRUE(c >= 'A' && c <= 'Z') << client;
    {
        // Two clients started in the same tick still register different names.
        plat::FakeClock frozen{777};
        plat::ScopedClock scope{frozen};
        EXPECT_NE(MakeClientName(), MakeClientName());
    }
    // A server registers its name up to the first dot.
    EXPECT_EQ(ServerNetBIOSName("Alpha.example.com"), "Alpha");
    EXPECT_EQ(ServerNetBIOSName("ServerWithALongName"), "ServerWithALong");
    auto server = StartServer("Alpha.example.com@somewhere");
    EXPECT_EQ(server->engine->GetNetworkName(), "Alpha");
}

TEST_F(NetBIOSTransportTest, CarriesAMultiPacketRequestAndItsReply) {
    auto server = StartServer();
    auto client = MakeClient();
    ASSERT_TRUE(client->ConnectAndAttach("Echo"));
    ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
    EXPECT_EQ(server->Transport().FindConnection(server->Transport().ConnectionIdAt(0))->partnerName,
              client->proto->GetNetworkName() + std::string(16 - 15, ' '));

    std::string request = Pattern(5000, 3);
    ASSERT_TRUE(client->Request(300, request));
    std::uint32_t id = 0;
    std::string reply;
    ASSERT_TRUE(client->TakeReply(id, reply));
    EXPECT_EQ(id, 300u);
    ASSERT_EQ(server->handler.payloads.size(), 2u);
    EXPECT_EQ(server->handler.payloads[1], request);
    EXPECT_EQ(reply, Reversed(request).substr(0, 2000));
    EXPECT_EQ(client->acksHeard, 2);  // 2024 + 2024 + 952: the first two acknowledged
}

TEST_F(NetBIOSTransportTest, AnswersTheDiscoveryDatagramWith68Bytes) {
    auto server = StartServer();
    auto client = MakeClient();
    client->proto->StartDatagrams();
    std::uint8_t six[4], seven[4];
    PutU32(six, 6);
    PutU32(seven, 7);
    // A datagram arriving while the server's receive is not yet issued again
    // is lost, as on a real network: give the server time between the two.
    client->proto->SendDatagram("", seven, 4);
    PumpUntil([] { return false; }, 30);
    client->proto->SendDatagram("", six, 4);
    auto answers = [&] {
        std::vector<std::string> out;
        for (const std::string& d : client->datagrams)
            if (d.size() - d.find('|') - 1 == 68) out.push_back(d);
        return out;
    };
    ASSERT_TRUE(PumpUntil([&] { return !answers().empty(); }));
    PumpUntil([] { return false; }, 30);
    ASSERT_EQ(answers().size(), 1u);
    std::string d = answers()[0];
    EXPECT_EQ(d.substr(0, d.find('|')), "Echo");  // the answer comes from the server's name
    const auto* b = reinterpret_cast<const std::uint8_t*>(d.data() + d.find('|') + 1);
    EXPECT_EQ(GetU32(b), 7u);
    EXPECT_EQ(GetShortStringField(b + 4, 32), "Echo");
    EXPECT_EQ(GetShortStringField(b + 36, 32), "Echo");
}

TEST_F(NetBIOSTransportTest, ACallThatFailsOnTheFirstLanaIsTriedOnTheSecond) {
    plat::NetbiosConfigure(registry.path().string(), 2);
    auto server = StartServer();
    ASSERT_EQ(dynamic_cast<TqvNetBIOSProtocol&>(server->Transport()).Lanas().size(), 2u);
    // The server's name leaves LANA 0.
    plat::NCB del;
    NCBInit(del, 0);
    del.ncb_command = plat::NCBDELNAME;
    PutNetBIOSName(del.ncb_name, "Echo");
    ASSERT_EQ(plat::Netbios(&del), plat::NRC_GOODRET);

    auto client = MakeClient();
    ASSERT_TRUE(client->ConnectAndAttach("Echo"));
    EXPECT_EQ(dynamic_cast<TqvNetBIOSProtocol&>(*client->proto).LanaOf(client->connId), 1);
    ASSERT_TRUE(client->Request(77, "over the second adapter"));
    std::uint32_t id = 0;
    std::string reply;
    ASSERT_TRUE(client->TakeReply(id, reply));
    EXPECT_EQ(reply, Reversed("over the second adapter"));
}

TEST_F(NetBIOSTransportTest, ACallToNoServerGivesNoConnection) {
    auto client = MakeClient();
    std::uint32_t id = 5;
    client->proto->Call("Nobody", id);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(client->proto->ConnectionCount(), 0);
}

TEST_F(NetBIOSTransportTest, ASessionClosedByThePartnerHangsUp) {
    auto server = StartServer();
    auto client = MakeClient();
    ASSERT_TRUE(client->ConnectAndAttach("Echo"));
    std::uint32_t serverSide = client->clientId;
    // The client ends its session: the server's receive ends "session closed".
    client->proto->HangUp(client->connId);
    EXPECT_EQ(client->hangUps, 1);
    ASSERT_TRUE(PumpUntil([&] { return !server->handler.detachedClients.empty(); }));
    EXPECT_EQ(server->handler.detachedClients[0], serverSide);
    EXPECT_EQ(server->Transport().ConnectionCount(), 0);

    // And the other way round: the server going away hangs its clients up.
    auto second = MakeClient();
    ASSERT_TRUE(second->ConnectAndAttach("Echo"));
    server.reset();
    ASSERT_TRUE(PumpUntil([&] { return second->hangUps == 1; }));
    EXPECT_EQ(second->proto->ConnectionCount(), 0);
}

TEST_F(NetBIOSTransportTest, ABroadcastDatagramIsCutTo128Bytes) {
    // A name of the test's own, with a broadcast receive pending on it.
    plat::NCB add;
    NCBInit(add, 0);
    add.ncb_command = plat::NCBADDNAME;
    PutNetBIOSName(add.ncb_name, "PROBE");
    ASSERT_EQ(plat::Netbios(&add), plat::NRC_GOODRET);
    std::uint8_t buf[512];
    // Outlives the test: the service may still be inside SetEvent when the
    // wait below returns.
    static plat::Event event(false, false);
    plat::NCB rx;
    NCBInit(rx, 0);
    rx.ncb_command = plat::NCBDGRECVBC | plat::ASYNCH;
    rx.ncb_num = add.ncb_num;
    rx.ncb_buffer = buf;
    rx.ncb_length = sizeof buf;
    rx.ncb_event = &event;
    ASSERT_EQ(plat::Netbios(&rx), plat::NRC_GOODRET);

    auto client = MakeClient();
    std::string big = Pattern(200);
    client->proto->SendDatagram("", big.data(), 200);
    ASSERT_EQ(event.WaitFor(5000), plat::WaitResult::Signaled);
    EXPECT_EQ(rx.ncb_retcode, plat::NRC_GOODRET);
    EXPECT_EQ(rx.ncb_length, 128);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 128), big.substr(0, 128));
    plat::NCB del;
    NCBInit(del, 0);
    del.ncb_command = plat::NCBDELNAME;
    PutNetBIOSName(del.ncb_name, "PROBE");
    plat::Netbios(&del);
}

TEST_F(NetBIOSTransportTest, CompletionThreadsAreBoundedAndTheRestStillComplete) {
    // Two adapters and datagrams on both ends: a dozen commands pending at
    // once, with room for only two waiting threads.
    plat::NetbiosConfigure(registry.path().string(), 2);
    int saved = TqvNetBIOSProtocol::MaxWaitThreads().load();
    TqvNetBIOSProtocol::MaxWaitThreads() = 2;
    {
        auto server = StartServer();
        auto client = MakeClient();
        client->proto->StartDatagrams();
        int most = 0;
        auto watch = [&] {
            most = std::max(most, TqvNetBIOSProtocol::ActiveWaitThreads());
            return false;
        };
        ASSERT_TRUE(client->ConnectAndAttach("Echo"));
        for (int i = 0; i < 3; ++i) {
            std::string request = Pattern(3000, static_cast<unsigned>(i));
            ASSERT_TRUE(client->Request(500 + static_cast<std::uint32_t>(i), request));
            std::uint32_t id = 0;
            std::string reply;
            ASSERT_TRUE(client->TakeReply(id, reply));
            EXPECT_EQ(reply, Reversed(request).substr(0, 2000));
            watch();
        }
        PumpUntil(watch, 20);
        EXPECT_LE(most, 2);
    }
    TqvNetBIOSProtocol::MaxWaitThreads() = saved;
}

TEST_F(NetBIOSTransportTest, ACompletionForAnUnknownBlockIsIgnored) {
    auto server = StartServer();
    auto client = MakeClient();
    ASSERT_TRUE(client->ConnectAndAttach("Echo"));
    auto& t = dynamic_cast<TqvNetBIOSProtocol&>(*client->proto);
    // 5104 names its block by address; one the transport does not hold (a
    // late completion, or anything else posted there) is never touched.
    int dummy = 0;
    ASSERT_TRUE(plat::PostMessage(t.NotifyWindow(), kQvWmNCBComplete, 0, reinterpret_cast<plat::LPARAM>(&dummy)));
    ASSERT_TRUE(plat::PostMessage(t.NotifyWindow(), kQvWmNCBComplete, 0, 0));
    PumpUntil([] { return false; }, 10);
    EXPECT_EQ(dummy, 0);
    EXPECT_EQ(client->proto->ConnectionCount(), 1);
    ASSERT_TRUE(client->Request(78, "still working"));
    std::uint32_t id = 0;
    std::string reply;
    ASSERT_TRUE(client->TakeReply(id, reply));
    EXPECT_EQ(reply, Reversed("still working"));
}

TEST_F(NetBIOSTransportTest, RolesRefuseTheOtherRolesOperations) {
    auto server = StartServer();
    auto client = MakeClient();
    EXPECT_THROW(client->proto->Listen(), EqvCommsException);
    std::uint32_t id = 0;
    EXPECT_THROW(server->Transport().Call("Echo", id), EqvCommsException);
    EXPECT_FALSE(server->engine->AllowsServerSidePaths());
}

}  // namespace
