// Client in this process, server in a child process: each network transport
// (TCP/IP, IPX/SPX and NetBIOS on their stand-ins) carries a
// discovery datagram, the attach, a request and reply of several packets each
// and the detach between two processes on this machine.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "engine/comms/tests/net_test_harness.h"
#include "engine/comms/netbios_protocol.h"
#include "engine/comms/winsock_protocol.h"
#include "platform/net/netbios.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"


using namespace qv;
using namespace qvtest;

namespace {

struct CrossCase {
    const char* name;
    const char* family;
    TqvCommsProtocolClass cls;
};

class CrossProcessTest : public ::testing::TestWithParam<CrossCase> {
protected:
    void SetUp() override { ASSERT_TRUE(plat::BindMessageThread()); }
};

TEST_P(CrossProcessTest, ConnectsAnotherProcessAndCarriesRequestsAndReplies) {
    std::string family = GetParam().family;
    bool ipx = family == "ipx";
    bool netbios = family == "netbios";
    testsupport::TempDir registry;
    struct EnvGuard {
        ~EnvGuard() { ::unsetenv("TAVRIN_NETBIOS_DIR"); }
    } envGuard;
    if (netbios) {
        // Both processes register their names in a folder of this test.
        ::setenv("TAVRIN_NETBIOS_DIR", registry.path().c_str(), 1);
        plat::NetbiosConfigure(registry.path().string(), 1);
    }
    TqvWinsockPorts ports;
    ports.tcpServerPort = ports.tcpServerDatagramPort = ports.tcpClientDatagramPort = 0;
    ports.spxServerSocket = ports.ipxServerDatagramSocket = ports.ipxClientDatagramSocket = 0;
    EchoClient client(GetParam().cls("Client", kQvRoleClient));
    auto* t = dynamic_cast<TqvWinsockProtocol*>(client.proto.get());
    if (t) t->SetPorts(ports);
    client.proto->StartDatagrams();

    testsupport::ChildProcess peer;
    ASSERT_TRUE(peer.Start({COMMS_PEER_PATH, family, std::to_string(t ? t->DatagramPort() : 0), "20000"}));
    std::istringstream ready(peer.ReadLine(10000));
    std::string word, networkName;
    unsigned listenPort = 0, datagramPort = 0;
    ready >> word >> listenPort >> datagramPort >> networkName;
    ASSERT_EQ(word, "READY");
    if (t) {
        ports.tcpServerPort = ports.spxServerSocket = static_cast<std::uint16_t>(listenPort);
        ports.tcpServerDatagramPort = ports.ipxServerDatagramSocket = static_cast<std::uint16_t>(datagramPort);
        ports.tcpClientDatagramPort = ports.ipxClientDatagramSocket = t->DatagramPort();
        t->SetPorts(ports);
    }

    // Discovery: the u32 6, broadcast, answered with 68 bytes.
    std::uint8_t six[4];
    PutU32(six, 6);
    client.proto->SendDatagram("", six, 4);
    ASSERT_TRUE(PumpUntil([&] { return !client.datagrams.empty(); }));
    // (A NetBIOS client hears its own broadcast too; the answer is the 68.)
    ASSERT_TRUE(PumpUntil([&] {
        for (const std::string& d : client.datagrams)
            if (d.size() - d.find('|') - 1 == 68) return true;
        return false;
    }));
    std::string answer;
    for (const std::string& d : client.datagrams)
        if (d.size() - d.find('|') - 1 == 68) answer = d.substr(d.find('|') + 1);
    ASSERT_EQ(answer.size(), 68u);
    EXPECT_EQ(GetU32(answer.data()), 7u);
    EXPECT_EQ(GetShortStringField(reinterpret_cast<const std::uint8_t*>(answer.data()) + 4, 32), "Peer");
    EXPECT_EQ(GetShortStringField(reinterpret_cast<const std::uint8_t*>(answer.data()) + 36, 32), networkName);

    ASSERT_TRUE(client.ConnectAndAttach(ipx ? networkName : netbios ? std::string("Peer") : "127.0.0.1"));
    // Both directions several packets long; on IPX/SPX each packet but the
    // last is acknowledged by its receiver.
    for (std::size_t size : {0u, 2024u, 2025u, 9000u}) {
        SCOPED_TRACE(size);
        std::string request = Pattern(size, static_cast<unsigned>(size));
        int acksBefore = client.acksHeard, sentBefore = client.acksSent;
        ASSERT_TRUE(client.Request(400, request));
        std::uint32_t id = 0;
        std::string reply;
        ASSERT_TRUE(client.TakeReply(id, reply));
        EXPECT_EQ(id, 400u);
        EXPECT_EQ(reply, Reversed(request));
        int expectedAcks = ipx || netbios ? static_cast<int>(QvPacketCount(static_cast<std::uint32_t>(size))) - 1 : 0;
        EXPECT_EQ(client.acksHeard - acksBefore, expectedAcks);
        EXPECT_EQ(client.acksSent - sentBefore, expectedAcks);
    }

    ASSERT_TRUE(client.Request(QvnmDetachServer, ""));
    std::uint32_t id = 0;
    std::string reply;
    ASSERT_TRUE(client.TakeReply(id, reply));
    EXPECT_EQ(id, QvnmDetachServer);
    // The server process ends, and its end of the connection with it.
    ASSERT_TRUE(PumpUntil([&] { return client.hangUps == 1; }));
    ASSERT_TRUE(peer.WaitExit(10000));
    EXPECT_EQ(peer.ExitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CrossProcessTest,
                         ::testing::Values(CrossCase{"TCPIP", "tcp", &TqvTCPIPProtocol::Create},
                                           CrossCase{"IPXSPX", "ipx", &TqvIPXSPXProtocol::Create},
                                           CrossCase{"NetBIOS", "netbios", &TqvNetBIOSProtocol::Create}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
