// Test harness for the network transports: a server comms engine with a fake
// command handler (attach answers the key-stream seed, every other request is
// echoed back reversed), and a client end that attaches, frames requests and
// gathers replies, acknowledging reply packets when its transport wants it.
// Everything runs on the one message thread; waits pump the queue and are
// bounded by a count of short waits, so a test stops by itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/comms/comms_packet.h"
#include "engine/comms/data_message_queue.h"
#include "engine/comms/server_comms_engine.h"
#include "platform/win/message_queue.h"

namespace qvtest {

// Pumps the message queue until `done` or about `rounds` short waits passed.
inline bool PumpUntil(const std::function<bool()>& done, int rounds = 2500) {
    for (int i = 0; i < rounds; ++i) {
        plat::ProcessMessages();
        if (done()) return true;
        plat::WaitMessage(2);
    }
    plat::ProcessMessages();
    return done();
}

inline std::string Pattern(std::size_t n, unsigned salt = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + salt * 7 + 3) & 0xFF);
    return s;
}

inline std::string Reversed(std::string s) {
    std::reverse(s.begin(), s.end());
    return s;
}

inline std::string PacketHeader(std::uint32_t msgId, std::uint32_t dataLen, std::uint32_t total,
                                std::uint32_t clientId, bool first, bool last) {
    qv::TqvMsgHeader h;
    h.messageId = msgId;
    h.packetLength = qv::kQvMsgHeaderSize + dataLen;
    h.totalLength = total;
    h.clientId = clientId;
    h.firstPacket = first;
    h.lastPacket = last;
    std::string out(qv::kQvMsgHeaderSize, '\0');
    qv::WriteMsgHeader(out.data(), h);
    return out;
}

// The fake command handler: attach (1) answers client id, version, the
// server's seed and "not secure"; detach-just-in-case (4) is only recorded;
// everything else is echoed reversed.
struct EchoHandler : qv::TqvCommandHandlerBase {
    qv::TqvServerCommsEngine* engine = nullptr;
    std::vector<std::uint32_t> ids;
    std::vector<std::uint32_t> detachedClients;
    std::vector<std::string> payloads;
    // Replies are cut to this many bytes (a single-packet reply needs no
    // acknowledgement, so a server and client sharing one thread cannot wait
    // on each other).
    std::size_t replyLimit = SIZE_MAX;
    void Dispatch(qv::TqvDataMessage& m) override {
        ids.push_back(m.messageId);
        if (m.messageId == qv::QvnmDetachServerJustInCase) {
            detachedClients.push_back(m.clientId);
            return;
        }
        if (m.messageId == qv::QvnmAttachServer) {
            const std::uint8_t* a = m.Bytes();
            payloads.push_back(a ? std::string(reinterpret_cast<const char*>(a), m.dataLength) : std::string());
            std::uint8_t reply[13] = {};
            qv::PutU32(reply, m.clientId);
            qv::PutU32(reply + 4, 10700);
            qv::PutU32(reply + 8, engine->GetKeyStreamSeed());
            engine->SendReply(m.messageId, m.clientId, 0, reply, sizeof reply);
            return;
        }
        const std::uint8_t* p = m.Bytes();
        std::string data = p ? std::string(reinterpret_cast<const char*>(p), m.dataLength) : std::string();
        payloads.push_back(data);
        std::string back = Reversed(data).substr(0, replyLimit);
        engine->SendReply(m.messageId, m.clientId, 0, back.data(), static_cast<std::uint32_t>(back.size()));
    }
};

// A server comms engine on a transport class, serving its queue from a
// hidden window.
struct EchoServer {
    std::unique_ptr<qv::TqvServerCommsEngine> engine;
    EchoHandler handler;
    plat::HWND owner = 0;

    explicit EchoServer(qv::TqvCommsProtocolClass cls, const char* name = "Echo@here") {
        owner = plat::AllocateHWnd([this](plat::TMessage& m) {
            if (m.Msg == qv::kQvWmMessageQueued && engine) qv::ServeQueuedMessages(engine->MessageQueue(), handler);
        });
        engine = std::make_unique<qv::TqvServerCommsEngine>(name, cls);
        handler.engine = engine.get();
        engine->SetNotifyWindow(owner);
    }
    ~EchoServer() {
        engine.reset();
        plat::DeallocateHWnd(owner);
    }
    qv::TqvBaseCommsProtocol& Transport() { return engine->Transport(); }
};

// The client end: a transport of its own, attach, requests, replies.
struct EchoClient {
    std::unique_ptr<qv::TqvBaseCommsProtocol> proto;
    qv::TqvDataMessageQueue replies;
    std::uint32_t connId = 0;
    std::uint32_t clientId = 0;
    int acksHeard = 0;
    int acksSent = 0;
    int hangUps = 0;
    std::vector<std::string> datagrams;  // "source|bytes"

    explicit EchoClient(std::unique_ptr<qv::TqvBaseCommsProtocol> p) : proto(std::move(p)) {
        proto->OnReceiveData = [this](qv::TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len,
                                      std::uint8_t* data) {
            if (len < qv::kQvMsgHeaderSize) return true;
            qv::TqvMsgHeader h = qv::ReadMsgHeader(data);
            if (h.messageId == qv::QvnmAcknowledge) {
                ++acksHeard;
                return true;
            }
            if (h.firstPacket)
                replies.AddMessage(h.messageId, id, 0, h.errorCode, data + 24, h.totalLength, len - 24,
                                   h.dataIsStream);
            else
                replies.AppendPacket(h.messageId, id, data + 24, len - 24);
            if (!h.lastPacket && proto->NeedsAcknowledgements()) {
                std::uint8_t ack[qv::kQvMsgHeaderSize];
                qv::WriteMsgHeader(ack, qv::MakeAckHeader(clientId));
                ++acksSent;
                proto->Send(id, ack, sizeof ack);
            }
            return true;
        };
        proto->OnHangUp = [this](qv::TqvBaseCommsProtocol&, std::uint32_t) { ++hangUps; };
        proto->OnDatagram = [this](qv::TqvBaseCommsProtocol&, const std::string& src, std::uint32_t len,
                                   const std::uint8_t* data) {
            datagrams.push_back(src + "|" + std::string(reinterpret_cast<const char*>(data), len));
        };
    }

    // Frames a request; on transports with acknowledgements waits for each.
    bool Request(std::uint32_t msgId, const std::string& data) {
        auto total = static_cast<std::uint32_t>(data.size());
        std::uint32_t off = 0;
        bool first = true;
        for (;;) {
            std::uint32_t n = std::min(total - off, qv::kQvMaxPacketData);
            bool last = off + n == total;
            std::string p = PacketHeader(msgId, n, total, clientId, first, last) + data.substr(off, n);
            int before = acksHeard;
            if (proto->Send(connId, p.data(), static_cast<std::uint32_t>(p.size())) == 0) return false;
            if (last) return true;
            if (proto->NeedsAcknowledgements() && !PumpUntil([&] { return acksHeard > before; })) return false;
            off += n;
            first = false;
        }
    }

    // The next whole reply, or false when none came in time.
    bool TakeReply(std::uint32_t& msgId, std::string& data, std::uint16_t* error = nullptr) {
        if (!PumpUntil([&] { return !replies.IsEmpty(); })) return false;
        qv::TqvDataMessage* m = replies.GetHead();
        if (!m) return false;
        msgId = m->messageId;
        const std::uint8_t* p = m->Bytes();
        data = p ? std::string(reinterpret_cast<const char*>(p), m->dataLength) : std::string();
        if (error) *error = static_cast<std::uint16_t>(m->errorCode);
        replies.RemoveHead();
        return true;
    }

    // Calls the server and attaches: the reply gives the client id and the
    // seed that both ends then scramble with.
    bool ConnectAndAttach(std::string_view serverName) {
        proto->Call(serverName, connId);
        if (connId == 0) return false;
        std::string attach(64, '\0');
        if (!Request(qv::QvnmAttachServer, attach)) return false;
        std::uint32_t id;
        std::string reply;
        if (!TakeReply(id, reply) || id != qv::QvnmAttachServer || reply.size() != 13) return false;
        clientId = qv::GetU32(reply.data());
        proto->SetKeyStreamSeed(qv::GetU32(reply.data() + 8));
        return true;
    }
};

}  // namespace qvtest
