#include "engine/comms/comms_packet.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "engine/base/qv_base.h"

namespace qv {

void WriteMsgHeader(void* p, const TqvMsgHeader& h) {
    auto* b = static_cast<std::uint8_t*>(p);
    PutU32(b + 0, h.messageId);
    PutU32(b + 4, h.packetLength);
    PutU32(b + 8, h.totalLength);
    PutU32(b + 12, h.clientId);
    PutU16(b + 16, h.errorCode);
    PutU16(b + 18, h.timeout);
    b[20] = h.firstPacket;
    b[21] = h.lastPacket;
    b[22] = h.dataIsStream;
    b[23] = h.serverMark;
}

TqvMsgHeader ReadMsgHeader(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    TqvMsgHeader h;
    h.messageId = GetU32(b + 0);
    h.packetLength = GetU32(b + 4);
    h.totalLength = GetU32(b + 8);
    h.clientId = GetU32(b + 12);
    h.errorCode = GetU16(b + 16);
    h.timeout = GetU16(b + 18);
    h.firstPacket = b[20];
    h.lastPacket = b[21];
    h.dataIsStream = b[22];
    h.serverMark = b[23];
    return h;
}

TqvMsgHeader MakeAckHeader(std::uint32_t clientId) {
    TqvMsgHeader h;
    h.messageId = QvnmAcknowledge;
    h.packetLength = kQvMsgHeaderSize;
    h.clientId = clientId;
    h.firstPacket = 1;
    h.lastPacket = 1;
    return h;
}

std::uint32_t QvPacketCount(std::uint32_t total) {
    if (total == 0) return 1;
    return total / kQvMaxPacketData + (total % kQvMaxPacketData != 0 ? 1 : 0);
}

void MakeKeyStream(std::uint32_t seed, TqvKeyStream& key) {
    // Signed 32-bit arithmetic throughout; C++ division truncates toward zero,
    // so a negative seed keeps negative remainders, as the key's definition
    // wants. |v| < 259200 keeps v * 7141 + 54773 inside 32 bits.
    constexpr std::int32_t kMod = 259200;
    std::int32_t v = static_cast<std::int32_t>(seed) % kMod;
    for (auto& k : key) {
        v = (v * 7141 + 54773) % kMod;
        k = static_cast<std::uint8_t>(static_cast<std::uint32_t>((v * 256) / kMod) & 0xFF);
    }
}

void XorKeyStream(const TqvKeyStream& key, std::uint8_t* buffer, std::size_t len) {
    // Key-long runs, eight bytes at a time (the key's length is a multiple
    // of eight), then the bytes left over.
    static_assert(std::tuple_size<TqvKeyStream>::value % 8 == 0);
    for (std::size_t at = 0; at < len; at += key.size()) {
        const std::size_t n = std::min(key.size(), len - at);
        std::uint8_t* b = buffer + at;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t v, k;
            std::memcpy(&v, b + i, 8);
            std::memcpy(&k, key.data() + i, 8);
            v ^= k;
            std::memcpy(b + i, &v, 8);
        }
        for (; i < n; ++i) b[i] ^= key[i];
    }
}

void ScramblePacket(const TqvKeyStream& key, std::uint8_t* packet, std::size_t len) {
    if (len < 8 || GetU32(packet) == QvnmAttachServer) return;
    XorKeyStream(key, packet + 8, len - 8);
}

void SplitServerName(std::string_view full, std::string& name, std::string& address) {
    auto at = full.find('@');
    if (at == std::string_view::npos) {
        name = std::string(full.substr(0, 31));
        address = name;
        return;
    }
    name = std::string(full.substr(0, at).substr(0, 31));
    address = std::string(full.substr(at + 1).substr(0, 31));
}

std::string MakeServerName(std::string_view name, std::string_view address) {
    std::string result(name.substr(0, 63));
    if (name != address) {
        result += '@';
        result += address;
    }
    return result;
}

void PutShortStringField(std::uint8_t* p, std::size_t width, std::string_view s) {
    std::memset(p, 0, width);
    if (width == 0) return;
    std::size_t n = s.size() < width - 1 ? s.size() : width - 1;
    p[0] = static_cast<std::uint8_t>(n);
    if (n) std::memcpy(p + 1, s.data(), n);
}

std::string GetShortStringField(const std::uint8_t* p, std::size_t width) {
    if (width == 0) return {};
    std::size_t n = p[0];
    if (n > width - 1) n = width - 1;
    return std::string(reinterpret_cast<const char*>(p + 1), n);
}

TqvSubMsgHeader ReadSubMsgHeader(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    TqvSubMsgHeader h;
    h.messageId = GetU32(b);
    h.length = GetU32(b + 4);
    h.errorCode = GetU16(b + 8);
    h.isStream = b[10];
    return h;
}

std::uint8_t* PutBatchEntry(std::uint8_t* entry, std::uint32_t messageId, std::uint16_t errorCode,
                            bool isStream, const void* data, std::uint32_t length) {
    PutU32(entry, messageId);
    PutU32(entry + 4, length + kQvSubMsgHeaderSize);
    PutU16(entry + 8, errorCode);
    entry[10] = isStream ? 1 : 0;
    entry[11] = 0;
    std::uint8_t* area = entry + kQvSubMsgHeaderSize;
    if (data == nullptr) {
        if (length) std::memset(area, 0, length);
    } else if (data != area && length) {
        std::memmove(area, data, length);
    }
    return area + length;
}

std::uint8_t* WriteSubMessage(std::uint8_t* position, std::uint32_t messageId, std::uint16_t errorCode,
                              std::uint32_t dataLength, bool isStream) {
    return PutBatchEntry(position, messageId, errorCode, isStream, position + kQvSubMsgHeaderSize,
                         dataLength);
}

}  // namespace qv
