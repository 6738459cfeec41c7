// The session transport over the client communications engine: the
// in-process server started with its configuration, requests handed to it
// while it is idle, otherwise packets on the single-user transport and
// replies waited for while the server's queue is served. This is what a
// session gets unless the program installs another.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/client/client_comms_engine.h"
#include "engine/client/client_transport.h"

namespace qv {

class TqvCommsTransport : public IClientTransport {
public:
    // Starts the in-process server; throws when it cannot be started.
    explicit TqvCommsTransport(const std::string& clientName);
    ~TqvCommsTransport() override;

    DBIResult Attach(const std::string& server, const std::string& user, const std::string& password) override;
    bool Connected() const override { return comms_->IsConnected(); }
    DBIResult SendRequest(std::uint32_t messageId, const std::uint8_t* request, std::uint32_t length,
                          bool requestIsStream, std::vector<std::uint8_t>& reply) override;

    TqvClientCommsEngine& Comms() { return *comms_; }

private:
    std::unique_ptr<TqvClientCommsEngine> comms_;
};

// Sessions made from now on talk through the client communications engine.
void InstallCommsTransport();

}  // namespace qv
