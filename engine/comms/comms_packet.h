// The wire form shared by every transport of the table engine: the 24-byte
// packet header, how a message is cut into packets, the transport-level
// message ids, the key stream that scrambles packets, the sub-replies of a
// batch reply, and the window messages of the in-process transport.
//
// Everything here is read and written field by field, little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// ---- sizes --------------------------------------------------------------------
constexpr std::uint32_t kQvMsgHeaderSize = 24;
constexpr std::uint32_t kQvMaxPacketSize = 2048;
constexpr std::uint32_t kQvMaxPacketData = kQvMaxPacketSize - kQvMsgHeaderSize;  // 2024
// The largest message a receiver accepts. A peer announcing more is hung up
// rather than trusted: the total comes from the wire and would otherwise
// decide how much the receiver gathers.
constexpr std::uint32_t kQvMaxMessageData = 64u * 1024u * 1024u;

// ---- transport-level message ids ------------------------------------------------------
constexpr std::uint32_t QvnmAttachServer = 1;
constexpr std::uint32_t QvnmDetachServer = 2;
constexpr std::uint32_t QvnmDetachServerJustInCase = 4;
constexpr std::uint32_t QvnmAcknowledge = 5;
constexpr std::uint32_t QvnmCheckSecureComms = 9;
constexpr std::uint32_t QvnmKeepAlive = 10;
constexpr std::uint32_t QvnmBatchReply = 255;
constexpr std::uint32_t QvnmMultipart = QvnmBatchReply;

// A keep-alive is these four bytes alone: the u32 10, no header.
constexpr std::uint32_t kQvKeepAliveSize = 4;

// ---- window messages and answers ----------------------------------------------------------
constexpr std::uint32_t kQvWmMessageQueued = 5105;    // a message is complete in a queue
constexpr std::uint32_t kQvWmSingleUserPacket = 5109; // a packet or hang-up record
constexpr std::uint32_t kQvWmSingleUserSearch = 5110; // is a listening server there?
constexpr std::uint32_t kQvSearchAnswer = 20822;      // "yes, and accepted"
constexpr std::uint32_t kQvRecordData = 20823;
constexpr std::uint32_t kQvRecordHangUp = 20824;

// Roles of a transport.
constexpr std::uint8_t kQvRoleClient = 0;
constexpr std::uint8_t kQvRoleServer = 1;

// Result codes the comms layer produces itself.
constexpr std::uint16_t kQvErrUnknownNetwork = 11271;  // "Unknown network error."

// ---- packet header ---------------------------------------------------------------------
struct TqvMsgHeader {
    std::uint32_t messageId = 0;
    std::uint32_t packetLength = 0;  // 24 + data bytes in this packet
    std::uint32_t totalLength = 0;   // data bytes of the whole message
    std::uint32_t clientId = 0;
    std::uint16_t errorCode = 0;
    std::uint16_t timeout = 0;       // ms the receiver may spend on the message
    std::uint8_t firstPacket = 0;
    std::uint8_t lastPacket = 0;
    std::uint8_t dataIsStream = 0;
    std::uint8_t serverMark = 0;     // 255 in packets the server's send builds
};

// `p` must hold 24 bytes.
void WriteMsgHeader(void* p, const TqvMsgHeader& h);
TqvMsgHeader ReadMsgHeader(const void* p);

// The acknowledgement packet: id 5, length 24, both flags set, the rest 0
// except the client id the sender puts there.
TqvMsgHeader MakeAckHeader(std::uint32_t clientId);

// Packets needed for a message of `total` data bytes (at least one).
std::uint32_t QvPacketCount(std::uint32_t total);

// ---- key stream --------------------------------------------------------------------------
// The scrambling keeps casual eyes off packet contents and makes a client with
// the wrong password decode garbage; it is an obfuscation with a 32-bit seed,
// not encryption, and nothing relies on it for secrecy.
using TqvKeyStream = std::array<std::uint8_t, 256>;

void MakeKeyStream(std::uint32_t seed, TqvKeyStream& key);
// Byte i of `buffer` XOR key[i mod 256].
void XorKeyStream(const TqvKeyStream& key, std::uint8_t* buffer, std::size_t len);
// Scrambles (or, being an XOR, descrambles) a packet in place: from byte 8 to
// the end, unless the packet is shorter than 8 bytes or carries message id 1,
// which travels in the clear because it is what sets the key.
void ScramblePacket(const TqvKeyStream& key, std::uint8_t* packet, std::size_t len);

// ---- server names ------------------------------------------------------------------------------
// "name@address": both parts cut to 31; without an at sign both are `full`.
void SplitServerName(std::string_view full, std::string& name, std::string& address);
// Name (cut to 63), then "@" and the address unless the two are equal.
std::string MakeServerName(std::string_view name, std::string_view address);

// A length-prefixed string field of `width` bytes (at most width-1
// characters), unused bytes zero.
void PutShortStringField(std::uint8_t* p, std::size_t width, std::string_view s);
// Reads one back, bounded by the field's width whatever its length byte says.
std::string GetShortStringField(const std::uint8_t* p, std::size_t width);

// ---- batch replies -------------------------------------------------------------------------
constexpr std::uint32_t kQvSubMsgHeaderSize = 12;

struct TqvSubMsgHeader {
    std::uint32_t messageId = 0;
    std::uint32_t length = 0;  // including this 12-byte head
    std::uint16_t errorCode = 0;
    std::uint8_t isStream = 0;
};

TqvSubMsgHeader ReadSubMsgHeader(const void* p);

// Writes the 12-byte head of a sub-reply at `entry` and returns the address
// just past the sub-reply. `data` already at entry+12 stays; other data is
// copied in; nil data leaves the area zero-filled.
std::uint8_t* PutBatchEntry(std::uint8_t* entry, std::uint32_t messageId, std::uint16_t errorCode,
                            bool isStream, const void* data, std::uint32_t length);
// The same for data already in place behind the head.
std::uint8_t* WriteSubMessage(std::uint8_t* position, std::uint32_t messageId, std::uint16_t errorCode,
                              std::uint32_t dataLength, bool isStream);

}  // namespace qv
