// A real server for the cross-process TCP/IP test: the server engine, its
// command handler and a server comms engine on the TCP/IP transport, with no
// configuration beyond ports picked by the system. It prints
// "READY <listening port> <key-stream seed>" once it listens, serves until a
// client's detach has been answered (or its lifetime runs out), and exits 0
// after the detach, 3 when the lifetime ran out, 4 on a failure.
//
// Usage: engine_server_peer <lifetime ms>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "engine/comms/server_comms_engine.h"
#include "engine/comms/winsock_protocol.h"
#include "engine/server/command_handler.h"
#include "engine/server/server_engine.h"
#include "engine/server/server_log.h"
#include "platform/win/message_queue.h"

namespace {

// Passes every request on to the real handler and notes when a detach went by.
struct WatchingHandler : qv::TqvCommandHandlerBase {
    qv::TqvCommandHandlerBase* inner = nullptr;
    bool detached = false;
    void Dispatch(qv::TqvDataMessage& m) override {
        const bool detach = m.messageId == qv::QvnmDetachServer;
        inner->Dispatch(m);
        detached |= detach;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <lifetime ms>\n", argv[0]);
        return 2;
    }
    const int lifetimeMs = std::atoi(argv[1]);
    if (!plat::BindMessageThread()) return 4;
    qv::SetServerDebugLog(false);

    // Ports 0: the system picks free ones, so parallel runs never collide.
    qv::TqvWinsockPorts ports;
    ports.tcpServerPort = ports.tcpServerDatagramPort = ports.tcpClientDatagramPort = 0;
    ports.spxServerSocket = ports.ipxServerDatagramSocket = ports.ipxClientDatagramSocket = 0;
    qv::TqvWinsockProtocol::ConfiguredPorts() = ports;

    int rc = 3;
    plat::HWND window = 0;
    try {
        qv::TqvServerEngine engine;
        std::unique_ptr<qv::TqvServerCommsEngine> comms;
        std::unique_ptr<qv::TqvServerCommandHandler> handler;
        WatchingHandler watch;
        window = plat::AllocateHWnd([&](plat::TMessage& m) {
            if (m.Msg == qv::kQvWmMessageQueued && handler) qv::ServeQueuedMessages(comms->MessageQueue(), watch);
        });
        comms = std::make_unique<qv::TqvServerCommsEngine>("Tavrin", &qv::TqvTCPIPProtocol::Create);
        comms->SetNotifyWindow(window);
        comms->StartUp();
        handler = std::make_unique<qv::TqvServerCommandHandler>(engine, *comms);
        watch.inner = handler.get();

        auto* t = dynamic_cast<qv::TqvWinsockProtocol*>(&comms->Transport());
        std::printf("READY %u %u\n", t ? t->ListeningPort() : 0u, comms->GetKeyStreamSeed());
        std::fflush(stdout);

        // Bounded by rounds of at most 10 ms each.
        for (int round = 0; round < lifetimeMs / 10 && !watch.detached; ++round) {
            plat::ProcessMessages();
            plat::WaitMessage(10);
        }
        if (watch.detached) {
            // Let the detach reply leave before the connection closes.
            for (int round = 0; round < 5; ++round) {
                plat::ProcessMessages();
                plat::WaitMessage(2);
            }
            rc = 0;
        }
        handler.reset();
        comms.reset();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server peer failed: %s\n", e.what());
        rc = 4;
    }
    if (window != 0) plat::DeallocateHWnd(window);
    return rc;
}
