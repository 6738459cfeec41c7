#include "engine/comms/comms_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qv;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<std::uint8_t> out;
    for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

TEST(CommsPacket, HeaderGoldenBytes) {
    // A reply to request 2048 (0x0800) with 3 data bytes, client id
    // 0x01020304, error 10241 (0x2801), time-out 10000 (0x2710), one packet:
    //   +0  00 08 00 00   message id 2048
    //   +4  1B 00 00 00   packet length 24 + 3 = 27
    //   +8  03 00 00 00   total length 3
    //   +12 04 03 02 01   client id
    //   +16 01 28         error code
    //   +18 10 27         time-out
    //   +20 01 01 00 FF   first, last, not a stream, built by the server
    TqvMsgHeader h;
    h.messageId = 2048;
    h.packetLength = 27;
    h.totalLength = 3;
    h.clientId = 0x01020304;
    h.errorCode = 10241;
    h.timeout = 10000;
    h.firstPacket = 1;
    h.lastPacket = 1;
    h.dataIsStream = 0;
    h.serverMark = 255;
    std::vector<std::uint8_t> buf(24, 0xEE);
    WriteMsgHeader(buf.data(), h);
    EXPECT_EQ(buf, Bytes({0x00, 0x08, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                          0x04, 0x03, 0x02, 0x01, 0x01, 0x28, 0x10, 0x27, 0x01, 0x01, 0x00, 0xFF}));

    TqvMsgHeader back = ReadMsgHeader(buf.data());
    EXPECT_EQ(back.messageId, 2048u);
    EXPECT_EQ(back.packetLength, 27u);
    EXPECT_EQ(back.totalLength, 3u);
    EXPECT_EQ(back.clientId, 0x01020304u);
    EXPECT_EQ(back.errorCode, 10241);
    EXPECT_EQ(back.timeout, 10000);
    EXPECT_EQ(back.firstPacket, 1);
    EXPECT_EQ(back.lastPacket, 1);
    EXPECT_EQ(back.dataIsStream, 0);
    EXPECT_EQ(back.serverMark, 255);
}

TEST(CommsPacket, AcknowledgementGoldenBytes) {
    // Id 5, length 24, total 0, client id 7 (the client's own), error 0,
    // time-out 0, first 1, last 1, stream 0, byte 23 = 0.
    std::vector<std::uint8_t> buf(24, 0xEE);
    WriteMsgHeader(buf.data(), MakeAckHeader(7));
    EXPECT_EQ(buf, Bytes({5, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0}));
}

TEST(CommsPacket, PacketCount) {
    struct Case {
        std::uint32_t total, packets;
    } cases[] = {{0, 1}, {1, 1}, {2024, 1}, {2025, 2}, {4048, 2}, {4049, 3}, {5000, 3}};
    for (const auto& c : cases) EXPECT_EQ(QvPacketCount(c.total), c.packets) << c.total;
}

TEST(CommsPacket, KeyStreamGolden) {
    // Seed 1: v = 1.
    //   v = (1*7141 + 54773) mod 259200 = 61914;  61914*256 div 259200 = 61  -> 0x3D
    //   v = (61914*7141 + 54773) = 442182647 mod 259200 = 246647;
    //       246647*256 div 259200 = 243 -> 0xF3
    //   v = (246647*7141 + 54773) = 1761361000 mod 259200 = 97000;
    //       97000*256 div 259200 = 95 -> 0x5F
    TqvKeyStream key;
    MakeKeyStream(1, key);
    EXPECT_EQ(key[0], 0x3D);
    EXPECT_EQ(key[1], 0xF3);
    EXPECT_EQ(key[2], 0x5F);

    // Seed -100 (taken as signed): v = -100.
    //   v = -714100 + 54773 = -659327; mod 259200 (truncating) = -140927;
    //       -140927*256 div 259200 = -139; low 8 bits 0x75
    //   v = -140927*7141 + 54773 = -1006304934; mod 259200 = -90534;
    //       -90534*256 div 259200 = -89; low 8 bits 0xA7
    MakeKeyStream(static_cast<std::uint32_t>(-100), key);
    EXPECT_EQ(key[0], 0x75);
    EXPECT_EQ(key[1], 0xA7);

    // Seed 305419896 (0x12345678): v = 305419896 mod 259200 = 82296.
    //   v = 82296*7141 + 54773 = 587730509 mod 259200 = 124109;
    //       124109*256 div 259200 = 122 -> 0x7A
    MakeKeyStream(305419896, key);
    EXPECT_EQ(key[0], 0x7A);
}

TEST(CommsPacket, ScrambleSkipsAttachAndShortPacketsAndIsItsOwnInverse) {
    TqvKeyStream key;
    MakeKeyStream(1, key);

    // Past 256 key bytes the key wraps: byte 8+256 uses key[0] again.
    std::vector<std::uint8_t> packet(8 + 300, 0);
    packet[0] = 2;
    ScramblePacket(key, packet.data(), packet.size());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(packet[i], i == 0 ? 2 : 0);
    EXPECT_EQ(packet[8], 0x3D);
    EXPECT_EQ(packet[9], 0xF3);
    EXPECT_EQ(packet[8 + 256], 0x3D);
    ScramblePacket(key, packet.data(), packet.size());
    std::vector<std::uint8_t> plain(packet.size(), 0);
    plain[0] = 2;
    EXPECT_EQ(packet, plain);

    // Every body length, whole words or not: byte i meets key byte i mod 256.
    for (std::size_t body : {1u, 7u, 8u, 9u, 255u, 256u, 257u, 300u, 513u}) {
        std::vector<std::uint8_t> p(8 + body);
        for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(i * 31 + 5);
        p[0] = 2, p[1] = p[2] = p[3] = 0;
        const auto before = p;
        ScramblePacket(key, p.data(), p.size());
        for (std::size_t i = 0; i < body; ++i)
            ASSERT_EQ(p[8 + i], before[8 + i] ^ key[i % 256]) << "body " << body << " byte " << i;
    }

    std::vector<std::uint8_t> attach(40, 0);
    attach[0] = 1;  // QvnmAttachServer travels in the clear
    auto copy = attach;
    ScramblePacket(key, attach.data(), attach.size());
    EXPECT_EQ(attach, copy);

    std::vector<std::uint8_t> shortOne = {2, 0, 0, 0, 9, 9, 9};
    copy = shortOne;
    ScramblePacket(key, shortOne.data(), shortOne.size());
    EXPECT_EQ(shortOne, copy);
}

TEST(CommsPacket, ServerNames) {
    struct Case {
        const char* full;
        const char* name;
        const char* address;
    } cases[] = {
        {"SingleEXE", "SingleEXE", "SingleEXE"},
        {"Main@10.0.0.1", "Main", "10.0.0.1"},
        {"@host", "", "host"},
        {"n@", "n", ""},
        {"0123456789012345678901234567890123456789@a", "0123456789012345678901234567890", "a"},
    };
    for (const auto& c : cases) {
        std::string name, address;
        SplitServerName(c.full, name, address);
        EXPECT_EQ(name, c.name) << c.full;
        EXPECT_EQ(address, c.address) << c.full;
    }
    EXPECT_EQ(MakeServerName("Main", "10.0.0.1"), "Main@10.0.0.1");
    EXPECT_EQ(MakeServerName("Same", "Same"), "Same");
    EXPECT_EQ(MakeServerName(std::string(70, 'x'), "a"), std::string(63, 'x') + "@a");
}

TEST(CommsPacket, ShortStringFields) {
    std::uint8_t field[8];
    PutShortStringField(field, 8, "abcdefghij");
    EXPECT_EQ(field[0], 7);
    EXPECT_EQ(GetShortStringField(field, 8), "abcdefg");
    // A length byte larger than its field is read only as far as the field goes.
    field[0] = 200;
    EXPECT_EQ(GetShortStringField(field, 8), "abcdefg");
    PutShortStringField(field, 8, "ab");
    EXPECT_EQ(Bytes({field[0], field[1], field[2], field[3]}), Bytes({2, 'a', 'b', 0}));
}

TEST(CommsPacket, BatchEntriesGoldenBytes) {
    // Two sub-replies: RecordGet (2048) with 3 bytes copied in, and
    // GetBookmark (1795 = 0x0703) with error 10021 (0x2725) and no data.
    //   00 08 00 00  0F 00 00 00  00 00  00 00  41 42 43
    //   03 07 00 00  0C 00 00 00  25 27  00 00
    std::vector<std::uint8_t> buf(27, 0xEE);
    std::uint8_t* p = PutBatchEntry(buf.data(), 2048, 0, false, "ABC", 3);
    EXPECT_EQ(p, buf.data() + 15);
    p = PutBatchEntry(p, 1795, 10021, false, nullptr, 0);
    EXPECT_EQ(p, buf.data() + 27);
    EXPECT_EQ(buf, Bytes({0x00, 0x08, 0, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0, 'A', 'B', 'C',
                          0x03, 0x07, 0, 0, 0x0C, 0, 0, 0, 0x25, 0x27, 0, 0}));

    // Data already in place stays; nil data is zero-filled; the stream flag.
    std::vector<std::uint8_t> inPlace(12 + 2, 0);
    inPlace[12] = 'x';
    inPlace[13] = 'y';
    WriteSubMessage(inPlace.data(), 2049, 0, 2, true);
    TqvSubMsgHeader h = ReadSubMsgHeader(inPlace.data());
    EXPECT_EQ(h.messageId, 2049u);
    EXPECT_EQ(h.length, 14u);
    EXPECT_EQ(h.isStream, 1);
    EXPECT_EQ(inPlace[12], 'x');
    std::vector<std::uint8_t> zeroed(12 + 4, 0xEE);
    PutBatchEntry(zeroed.data(), 1, 0, false, nullptr, 4);
    EXPECT_EQ(Bytes({zeroed[12], zeroed[13], zeroed[14], zeroed[15]}), Bytes({0, 0, 0, 0}));
}

}  // namespace
