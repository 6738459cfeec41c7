// Packets from a hostile peer reach the server comms engine, and the same
// bytes are unpacked as a batch reply: neither may crash, hang or read out of
// bounds.
//
// Input: records of {u8 control, u16 length, length bytes}. Control bit 0
// writes the connection's own id into the header's client-id field, so that
// packets get past the key check and into the queue.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/comms/server_comms_engine.h"
#include "engine/comms/tests/fake_protocol.h"
#include "platform/win/message_queue.h"

namespace {

struct ReadAll : qv::TqvCommandHandlerBase {
    std::uint32_t sum = 0;
    void Dispatch(qv::TqvDataMessage& m) override {
        if (const std::uint8_t* p = m.Bytes())
            for (std::uint32_t i = 0; i < m.dataLength; ++i) sum += p[i];
        if (m.timeLeft && (sum & 1)) m.retry = 1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::BindMessageThread();
    ReadAll handler;
    {
        qv::TqvServerCommsEngine engine("Fuzz", qvtest::FakeProtocol::Create);
        engine.StartUp();
        auto* t = qvtest::FakeProtocol::Last();
        std::uint32_t id = t->Accept();
        std::size_t off = 0;
        while (off + 3 <= size) {
            std::uint8_t ctl = data[off];
            std::size_t len = data[off + 1] | (data[off + 2] << 8);
            off += 3;
            if (len > size - off) len = size - off;
            std::string packet(reinterpret_cast<const char*>(data + off), len);
            off += len;
            if ((ctl & 1) && len >= 16) qv::PutU32(packet.data() + 12, id);
            if (t->FindConnection(id) == nullptr) id = t->Accept();
            t->Deliver(id, packet);
            qv::ServeQueuedMessages(engine.MessageQueue(), handler);
        }
        engine.MessageQueue().RetryTick();
        qv::ServeQueuedMessages(engine.MessageQueue(), handler);
    }
    {
        qv::TqvDataMessageQueue q;
        auto n = static_cast<std::uint32_t>(size > qv::kQvMaxMessageData ? 0 : size);
        q.AddMessage(qv::QvnmBatchReply, 1, 0, 0, data, n, n, false);
        qv::ServeQueuedMessages(q, handler);
    }
    plat::ProcessMessages();
    return 0;
}
