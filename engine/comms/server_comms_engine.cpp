#include "engine/comms/server_comms_engine.h"

#include <cstring>

#include "engine/base/qv_exceptions.h"
#include "platform/win/message_queue.h"

namespace qv {

void ServeQueuedMessages(TqvDataMessageQueue& queue, TqvCommandHandlerBase& handler) {
    while (TqvDataMessage* msg = queue.GetHead()) {
        try {
            handler.Dispatch(*msg);
        } catch (...) {
            queue.RemoveHead();
            throw;
        }
        queue.RemoveHead();
    }
}

TqvServerCommsEngine::TqvServerCommsEngine(std::string_view serverName, TqvCommsProtocolClass protocolClass) {
    transport_ = protocolClass(serverName.substr(0, 31), kQvRoleServer);
    transport_->OnHangUp = [this](TqvBaseCommsProtocol&, std::uint32_t id) { ClientHungUp(id); };
    transport_->OnNewConnection = nullptr;
    transport_->OnIdle = [this](TqvBaseCommsProtocol&) { PumpOne(); };
    transport_->OnDatagram = [this](TqvBaseCommsProtocol&, const std::string& src, std::uint32_t len,
                                    const std::uint8_t* data) { AnswerDiscovery(src, len, data); };
    transport_->OnReceiveData = [this](TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len,
                                       std::uint8_t* data) { return ReceivePacket(id, len, data); };
    WriteMsgHeader(ackPacket_.data(), MakeAckHeader(0));
}

TqvServerCommsEngine::~TqvServerCommsEngine() {
    // The transport's connections tell their clients on the way out; nothing
    // of this engine is to be called back meanwhile.
    transport_->OnHangUp = nullptr;
    transport_->OnIdle = nullptr;
    transport_->OnDatagram = nullptr;
    transport_->OnReceiveData = nullptr;
    transport_.reset();
}

void TqvServerCommsEngine::StartUp() {
    transport_->EnsureStarted();
    transport_->SetKeyStreamSeed(0);
    transport_->Listen();
}

void TqvServerCommsEngine::SetNotifyWindow(plat::HWND wnd) {
    notifyWindow_ = wnd;
    queue_.SetNotifyWindow(wnd);
}

bool TqvServerCommsEngine::ReceivePacket(std::uint32_t connId, std::uint32_t len, std::uint8_t* packet) {
    // Anything but a whole header within one packet cannot be read safely.
    if (len < kQvMsgHeaderSize || len > kQvMaxPacketSize) {
        transport_->HangUp(connId);
        return false;
    }
    TqvMsgHeader h = ReadMsgHeader(packet);
    if (h.messageId != QvnmAttachServer && h.clientId != connId) {
        // Only a wrong key stream (a wrong password) garbles the client id.
        if (logLine) {
            logLine("Hanging up due to bad client password");
            logLine(QvFormat("  ConnHandle %d", {connId}));
            logLine(QvFormat("  ClientID   %d", {h.clientId}));
            logLine(QvFormat("  MsgID      %d", {h.messageId}));
        }
        transport_->HangUp(connId);
        return false;
    }
    if (h.messageId == QvnmAcknowledge) {
        awaitingAck_ = 0;
    } else {
        std::uint32_t count = len - kQvMsgHeaderSize;
        const std::uint8_t* data = packet + kQvMsgHeaderSize;
        if (h.firstPacket) {
            if (!queue_.AddMessage(h.messageId, connId, h.timeout, 0, data, h.totalLength, count,
                                   h.dataIsStream != 0)) {
                // Over the size cap, or a first packet longer than its total.
                transport_->HangUp(connId);
                return false;
            }
        } else {
            queue_.AppendPacket(h.messageId, connId, data, count);
        }
    }
    if (!h.lastPacket && transport_->NeedsAcknowledgements())
        transport_->Send(connId, ackPacket_.data(), kQvMsgHeaderSize);
    if (h.lastPacket && h.messageId != QvnmAcknowledge && notifyWindow_ != 0)
        plat::PostMessage(notifyWindow_, kQvWmMessageQueued, 0, 0);
    return true;
}

void TqvServerCommsEngine::ClientHungUp(std::uint32_t connId) {
    awaitingAck_ = 0;
    // The handler releases whatever the vanished client held.
    queue_.AddMessage(QvnmDetachServerJustInCase, connId, 0, 0, nullptr, 0, 0, false);
    if (notifyWindow_ != 0) plat::PostMessage(notifyWindow_, kQvWmMessageQueued, 0, 0);
}

void TqvServerCommsEngine::AnswerDiscovery(const std::string& source, std::uint32_t len, const std::uint8_t* data) {
    if (len != 4 || data == nullptr || GetU32(data) != 6) return;
    std::uint8_t answer[68];
    PutU32(answer, 7);
    PutShortStringField(answer + 4, 32, GetServerName());
    PutShortStringField(answer + 36, 32, GetNetworkName());
    transport_->SendDatagram(source, answer, sizeof answer);
}

void TqvServerCommsEngine::PumpOne() {
    if (notifyWindow_ == 0) return;
    plat::MSG msg;
    if (plat::PeekMessage(msg, notifyWindow_, 0, 0, plat::PM_REMOVE)) {
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
    }
}

bool TqvServerCommsEngine::WaitForAck(std::uint32_t connId) {
    TqvTimeout limit;
    QvSetTimeout(limit, ackTimeoutMs);
    while (awaitingAck_) {
        if (transport_->FindConnection(connId) == nullptr) {
            awaitingAck_ = 0;
            return false;
        }
        // Without a limit a client that stays connected but never
        // acknowledges would hold the server in this loop for good.
        if (QvTimeoutExpired(limit)) {
            awaitingAck_ = 0;
            transport_->HangUp(connId);
            return false;
        }
        transport_->Breathe();
    }
    return transport_->FindConnection(connId) != nullptr;
}

bool TqvServerCommsEngine::SendReply(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode,
                                     const void* data, std::uint32_t dataLength) {
    return SendFramed(messageId, clientId, errorCode, data, dataLength, nullptr);
}

bool TqvServerCommsEngine::SendReplyStream(std::uint32_t messageId, std::uint32_t clientId,
                                           std::uint16_t errorCode, plat::Stream* stream) {
    return SendFramed(messageId, clientId, errorCode, nullptr, 0, stream);
}

bool TqvServerCommsEngine::SendFramed(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode,
                                      const void* data, std::uint32_t dataLength, plat::Stream* stream) {
    TqvPadLockGuard g(lock_);
    if (errorCode != 0) {
        data = nullptr;
        dataLength = 0;
        stream = nullptr;
    }
    if (stream) {
        stream->SetPosition(0);
        std::int64_t size = stream->Size();
        if (size < 0 || size > static_cast<std::int64_t>(kQvMaxMessageData)) return false;
        dataLength = static_cast<std::uint32_t>(size);
    } else if (data == nullptr) {
        dataLength = 0;
    }
    if (keptReply_ != nullptr && !keptReply_->received && keptReply_->clientId == clientId &&
        (messageId == keptReply_->messageId || messageId == QvnmBatchReply)) {
        TqvHandedOverReply& k = *keptReply_;
        k.received = true;
        k.replyId = messageId;
        k.errorCode = errorCode;
        k.isStream = stream != nullptr;
        k.data.resize(dataLength);
        if (dataLength != 0) {
            if (stream) stream->ReadBuffer(k.data.data(), dataLength);
            else std::memcpy(k.data.data(), data, dataLength);
        }
        return true;
    }

    TqvMsgHeader h;
    h.messageId = messageId;
    h.totalLength = dataLength;
    h.clientId = clientId;
    h.errorCode = errorCode;
    h.timeout = 0;
    h.dataIsStream = stream ? 1 : 0;
    h.serverMark = 255;

    const auto* src = static_cast<const std::uint8_t*>(data);
    std::uint32_t remaining = dataLength;
    std::uint32_t offset = 0;
    bool first = true;
    for (;;) {
        std::uint32_t n = remaining < kQvMaxPacketData ? remaining : kQvMaxPacketData;
        bool last = n == remaining;
        h.packetLength = n + kQvMsgHeaderSize;
        h.firstPacket = first ? 1 : 0;
        h.lastPacket = last ? 1 : 0;
        std::uint8_t* buf = packetBuffer_.data();
        WriteMsgHeader(buf, h);
        if (n != 0) {
            if (stream)
                stream->ReadBuffer(buf + kQvMsgHeaderSize, n);
            else
                std::memcpy(buf + kQvMsgHeaderSize, src + offset, n);
        }
        if (!last) awaitingAck_ = 1;
        if (transport_->Send(clientId, buf, n + kQvMsgHeaderSize) == 0 &&
            transport_->FindConnection(clientId) == nullptr) {
            // The client is gone: nothing will acknowledge, nothing more to send.
            awaitingAck_ = 0;
            return false;
        }
        if (last) return true;
        if (transport_->NeedsAcknowledgements() && !WaitForAck(clientId)) return false;
        remaining -= n;
        offset += n;
        first = false;
    }
}

}  // namespace qv
