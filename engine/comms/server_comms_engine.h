// The server's end of a transport: it gathers incoming packets into whole
// messages in its queue, announces each complete one to a notify window with
// message 5105, acknowledges packets, hangs up clients whose packets do not
// decode, answers discovery datagrams and sends replies cut into packets.
//
// Whoever owns the notify window consumes the queue through a command
// handler: on 5105 it calls ServeQueuedMessages, which hands each ready
// message to the handler and then releases it (or defers it when the handler
// asked for a retry).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/comms/comms_protocol.h"
#include "engine/comms/data_message_queue.h"
#include "platform/core/streams.h"
#include "platform/win/win_types.h"

namespace qv {

// What consumes the server's messages (the request dispatch). It answers
// through TqvServerCommsEngine::SendReply, or sets msg.retry to be presented
// again on the retry tick while msg.timeLeft is 1.
class TqvCommandHandlerBase {
public:
    virtual ~TqvCommandHandlerBase() = default;
    virtual void Dispatch(TqvDataMessage& msg) = 0;
};

// Hands every ready message to the handler, one at a time, in queue order.
// A head still in use (a nested 5105 during a long dispatch) stops the loop,
// so no message runs twice.
void ServeQueuedMessages(TqvDataMessageQueue& queue, TqvCommandHandlerBase& handler);

// The reply to a request a client of this process handed to the command
// handler itself, kept instead of travelling back as packets.
struct TqvHandedOverReply {
    // Which reply is kept: the first to this client with the request's id or
    // the batch id. Any other still goes out.
    std::uint32_t clientId = 0;
    std::uint32_t messageId = 0;
    bool received = false;
    std::uint32_t replyId = 0;
    std::uint16_t errorCode = 0;
    bool isStream = false;
    std::vector<std::uint8_t> data;
};

class TqvServerCommsEngine {
public:
    // Creates the transport through `protocolClass` with the server name (cut
    // to 31 characters) in the server role.
    TqvServerCommsEngine(std::string_view serverName, TqvCommsProtocolClass protocolClass);
    ~TqvServerCommsEngine();
    TqvServerCommsEngine(const TqvServerCommsEngine&) = delete;
    TqvServerCommsEngine& operator=(const TqvServerCommsEngine&) = delete;

    // Starts the transport once, gives it a fresh key-stream seed and listens.
    void StartUp();
    void SetNotifyWindow(plat::HWND wnd);
    plat::HWND NotifyWindow() const { return notifyWindow_; }

    TqvDataMessageQueue& MessageQueue() { return queue_; }
    TqvBaseCommsProtocol& Transport() { return *transport_; }
    std::uint32_t GetKeyStreamSeed() const { return transport_->KeyStreamSeed(); }
    std::string GetServerName() const { return transport_->GetServerName(); }
    std::string GetNetworkName() const { return transport_->GetNetworkName(); }
    // Whether requests may name server-side paths (file BLOBs by path): only
    // over the single-user transport. The request dispatch refuses them
    // otherwise.
    bool AllowsServerSidePaths() const { return transport_->IsSingleUser(); }

    // Sends a reply cut into packets, waiting for the acknowledgement of each
    // packet but the last when the transport wants them. A non-zero error
    // code sends no data. False when the client went away (or never
    // acknowledged) before the last packet left.
    bool SendReply(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode, const void* data,
                   std::uint32_t dataLength);
    // The same with the data in a stream, sent from its start.
    bool SendReplyStream(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode,
                         plat::Stream* stream);

    // While set, the reply `reply` asks for is kept there instead of being
    // sent; null sends every reply again.
    void KeepReply(TqvHandedOverReply* reply) { keptReply_ = reply; }

    bool AwaitingAcknowledgement() const { return awaitingAck_ != 0; }

    // The server log's line writer while the debug log is on; empty while off.
    std::function<void(const std::string&)> logLine;
    // How long a reply waits for an acknowledgement before the silent client
    // is hung up.
    std::int32_t ackTimeoutMs = 30000;

private:
    bool ReceivePacket(std::uint32_t connId, std::uint32_t len, std::uint8_t* packet);
    void ClientHungUp(std::uint32_t connId);
    void AnswerDiscovery(const std::string& source, std::uint32_t len, const std::uint8_t* data);
    void PumpOne();
    bool WaitForAck(std::uint32_t connId);
    bool SendFramed(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode, const void* data,
                    std::uint32_t dataLength, plat::Stream* stream);

    TqvDataMessageQueue queue_;
    plat::HWND notifyWindow_ = 0;
    std::unique_ptr<TqvBaseCommsProtocol> transport_;
    std::array<std::uint8_t, kQvMaxPacketSize> packetBuffer_{};
    std::uint8_t awaitingAck_ = 0;
    std::array<std::uint8_t, kQvMsgHeaderSize> ackPacket_{};
    TqvPadLock lock_;
    TqvHandedOverReply* keptReply_ = nullptr;
};

}  // namespace qv
