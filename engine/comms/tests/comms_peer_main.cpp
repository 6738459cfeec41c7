// A server for the cross-process transport tests: a server comms engine on
// the transport named on the command line, with the echoing fake command
// handler. It prints "READY <listening port> <datagram port> <network name>"
// once it listens, serves until a client sends the detach request (or its
// lifetime runs out), and exits 0 after answering the detach.
//
// Usage: engine_comms_peer tcp|ipx|netbios <client datagram port> <lifetime ms>
// (NetBIOS names are registered where TAVRIN_NETBIOS_DIR points.)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/comms/tests/net_test_harness.h"
#include "engine/comms/netbios_protocol.h"
#include "engine/comms/winsock_protocol.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s tcp|ipx|netbios <client datagram port> <lifetime ms>\n", argv[0]);
        return 2;
    }
    std::string family = argv[1];
    auto clientPort = static_cast<std::uint16_t>(std::atoi(argv[2]));
    int lifetimeMs = std::atoi(argv[3]);
    plat::BindMessageThread();

    qv::TqvCommsProtocolClass cls = nullptr;
    if (family == "tcp") cls = &qv::TqvTCPIPProtocol::Create;
    if (family == "ipx") cls = &qv::TqvIPXSPXProtocol::Create;
    if (family == "netbios") cls = &qv::TqvNetBIOSProtocol::Create;
    if (cls == nullptr) return 2;

    qv::TqvWinsockPorts ports;
    ports.tcpServerPort = ports.tcpServerDatagramPort = 0;
    ports.spxServerSocket = ports.ipxServerDatagramSocket = 0;
    ports.tcpClientDatagramPort = ports.ipxClientDatagramSocket = clientPort;
    qv::TqvWinsockProtocol::ConfiguredPorts() = ports;

    try {
        qvtest::EchoServer server(cls, "Peer@here");
        server.engine->StartUp();
        server.Transport().StartDatagrams();
        auto* t = dynamic_cast<qv::TqvWinsockProtocol*>(&server.Transport());
        std::printf("READY %u %u %s\n", t ? t->ListeningPort() : 0u, t ? t->DatagramPort() : 0u,
                    server.engine->GetNetworkName().c_str());
        std::fflush(stdout);
        auto detached = [&] {
            for (std::uint32_t id : server.handler.ids)
                if (id == qv::QvnmDetachServer) return true;
            return false;
        };
        // Bounded by rounds of at most 10 ms each.
        for (int round = 0; round < lifetimeMs / 10 && !detached(); ++round) {
            plat::ProcessMessages();
            plat::WaitMessage(10);
        }
        if (!detached()) return 3;
        // Let the detach reply leave before the connection closes.
        for (int round = 0; round < 5; ++round) {
            plat::ProcessMessages();
            plat::WaitMessage(2);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "peer failed: %s\n", e.what());
        return 4;
    }
    return 0;
}
