// The server inside the program's own process, as a client transport: each
// session gets a server engine of its own and its requests go straight to
// that server's command handler, which answers before the call returns.
// Nothing is cut into packets: inside one process the bytes are handed
// over as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/client/client_transport.h"

namespace qv {

class TqvServerEngine;
class TqvServerCommandHandler;

class TqvInProcessTransport : public IClientTransport {
public:
    explicit TqvInProcessTransport(std::string clientName);
    ~TqvInProcessTransport() override;

    DBIResult Attach(const std::string& server, const std::string& user, const std::string& password) override;
    bool Connected() const override { return connected_; }
    DBIResult SendRequest(std::uint32_t messageId, const std::uint8_t* request, std::uint32_t length,
                          bool requestIsStream, std::vector<std::uint8_t>& reply) override;

    TqvServerEngine& Server() { return *engine_; }
    // Traffic so far, for the benchmark's account of where time goes.
    std::uint64_t Requests() const { return requests_; }
    std::uint64_t BytesSent() const { return bytesSent_; }
    std::uint64_t BytesReceived() const { return bytesReceived_; }

private:
    struct Answer {
        bool received = false;
        std::uint32_t messageId = 0;
        std::uint16_t code = 0;
        std::vector<std::uint8_t> data;
    };
    DBIResult Exchange(std::uint32_t messageId, const std::uint8_t* request, std::uint32_t length, bool isStream,
                       std::vector<std::uint8_t>& reply);

    std::string clientName_;
    std::uint32_t clientId_;
    std::unique_ptr<TqvServerEngine> engine_;
    std::unique_ptr<TqvServerCommandHandler> handler_;
    Answer answer_;
    bool connected_ = false;
    std::uint64_t requests_ = 0, bytesSent_ = 0, bytesReceived_ = 0;
};

// Makes every new session start its own in-process server.
void InstallInProcessTransport();

}  // namespace qv
