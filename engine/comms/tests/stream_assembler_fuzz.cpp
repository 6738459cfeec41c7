// Feeds arbitrary bytes, cut into arbitrary chunks, through the stream packet
// assembler and checks what it hands out: only keep-alives and packets whose
// header length is within one packet, never more than it holds.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/base/qv_base.h"
#include "engine/comms/winsock_protocol.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TqvPacketAssembler a;
    std::size_t pos = 0;
    std::uint8_t packet[kQvMaxPacketSize];
    while (pos < size) {
        // The first byte of each step chooses the chunk length.
        std::size_t chunk = 1 + data[pos] * 9u;
        ++pos;
        std::size_t n = size - pos < chunk ? size - pos : chunk;
        if (n > a.Room()) n = a.Room();
        std::memcpy(a.Space(), data + pos, n);
        a.Commit(static_cast<std::uint32_t>(n));
        pos += n;
        for (;;) {
            std::uint32_t before = a.Held();
            std::uint32_t len = 0;
            auto status = a.Next(packet, len);
            if (status == TqvPacketAssembler::Status::Incomplete) {
                if (a.Held() != before || a.Room() == 0) std::abort();  // a full buffer always decides
                break;
            }
            if (status == TqvPacketAssembler::Status::Invalid) {
                a.Clear();  // the connection would be hung up
                break;
            }
            bool keepAlive = len == kQvKeepAliveSize && GetU32(packet) == QvnmKeepAlive;
            if (!keepAlive && (len < kQvMsgHeaderSize || len > kQvMaxPacketSize || GetU32(packet + 4) != len))
                std::abort();
            if (a.Held() != before - len) std::abort();
        }
    }
    return 0;
}
