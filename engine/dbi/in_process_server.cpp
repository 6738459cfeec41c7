#include "engine/dbi/in_process_server.h"

#include <cstring>

#include "engine/base/qv_base.h"
#include "engine/comms/comms_packet.h"
#include "engine/server/command_handler.h"
#include "engine/server/server_engine.h"
#include "platform/core/clock.h"
#include "platform/core/streams.h"

namespace qv {

namespace {
// Answered when the server gave no reply at all, which only a fault in the
// server can cause.
constexpr DBIResult kNoAnswer = 15520;  // the unknown-server-error code
std::uint32_t g_nextClientId = 1;
}  // namespace

TqvInProcessTransport::TqvInProcessTransport(std::string clientName)
    : clientName_(std::move(clientName)), clientId_(g_nextClientId++), engine_(std::make_unique<TqvServerEngine>()) {
    handler_ = std::make_unique<TqvServerCommandHandler>(
        *engine_,
        [this](std::uint32_t id, std::uint32_t, std::uint16_t code, bool, const std::uint8_t* data,
               std::uint32_t len) {
            answer_.received = true;
            answer_.messageId = id;
            answer_.code = code;
            if (data != nullptr && len != 0) answer_.data.assign(data, data + len);
            else answer_.data.clear();
        },
        true, [] { return 0u; });
}

TqvInProcessTransport::~TqvInProcessTransport() {
    if (connected_) {
        std::vector<std::uint8_t> ignored;
        Exchange(QvnmDetachServerId, nullptr, 0, false, ignored);
    }
    handler_.reset();
    engine_.reset();
}

DBIResult TqvInProcessTransport::Attach(const std::string&, const std::string& user, const std::string&) {
    std::uint8_t request[64] = {};
    PutShortStringField(request, 32, clientName_.substr(0, 31));
    PutShortStringField(request + 32, 32, user.substr(0, 31));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Exchange(QvnmAttachServerId, request, sizeof request, false, reply);
    connected_ = rc == 0;
    return rc;
}

DBIResult TqvInProcessTransport::SendRequest(std::uint32_t messageId, const std::uint8_t* request,
                                             std::uint32_t length, bool requestIsStream,
                                             std::vector<std::uint8_t>& reply) {
    if (!connected_) return kDbiErrInvalidHandle;
    return Exchange(messageId, request, length, requestIsStream, reply);
}

DBIResult TqvInProcessTransport::Exchange(std::uint32_t messageId, const std::uint8_t* request,
                                          std::uint32_t length, bool isStream, std::vector<std::uint8_t>& reply) {
    TqvDataMessage m;
    m.messageId = messageId;
    m.clientId = clientId_;
    m.timeStamp = plat::GetTickCount();
    m.deadline = m.timeStamp;
    m.timeLeft = 0;  // answered at once: nothing here waits for a retry
    m.dataLength = length;
    if (isStream) {
        m.isStream = 1;
        m.stream = std::make_unique<plat::MemoryStream>(
            std::string(reinterpret_cast<const char*>(request), request != nullptr ? length : 0));
    } else if (request != nullptr && length != 0) {
        m.data.assign(request, request + length);
    }
    answer_ = Answer{};
    ++requests_;
    bytesSent_ += length;
    handler_->Dispatch(m);
    reply.clear();
    if (!answer_.received) return kNoAnswer;
    bytesReceived_ += answer_.data.size();
    if (answer_.messageId != QvnmMultipartId) {
        reply.swap(answer_.data);
        return answer_.code;
    }
    // Several answers in one: the first is the request's own.
    const std::vector<std::uint8_t>& d = answer_.data;
    if (d.size() < kQvSubMsgHeaderSize) return kNoAnswer;
    TqvSubMsgHeader h = ReadSubMsgHeader(d.data());
    if (h.length < kQvSubMsgHeaderSize || h.length > d.size()) return kNoAnswer;
    reply.assign(d.begin() + kQvSubMsgHeaderSize, d.begin() + h.length);
    return h.errorCode;
}

void InstallInProcessTransport() {
    SetClientTransportFactory(
        [](const std::string& clientName) { return std::make_unique<TqvInProcessTransport>(clientName); });
}

}  // namespace qv
