// A server engine with a command handler whose replies are recorded, and
// helpers that build request payloads field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/server/command_handler.h"
#include "engine/server/server_log.h"
#include "platform/core/clock.h"
#include "platform/core/streams.h"
#include "tests/support/test_support.h"

namespace qvtest {

using Bytes = std::vector<std::uint8_t>;

// Little-endian payload builder.
struct Payload {
    Bytes b;
    Payload& U8(std::uint8_t v) { b.push_back(v); return *this; }
    Payload& U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Payload& U16(std::uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); return *this; }
    // A length-prefixed name field of `width` bytes, unused bytes zero.
    Payload& Str(const std::string& s, std::size_t width) {
        Bytes f(width, 0);
        f[0] = static_cast<std::uint8_t>(s.size());
        std::memcpy(f.data() + 1, s.data(), s.size());
        return Raw(f);
    }
    Payload& Raw(const Bytes& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
    Payload& Raw(const std::string& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
    Payload& Zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
};

inline Bytes U32Bytes(std::uint32_t v) { return Payload().U32(v).b; }

// A 12-byte sub-header followed by its data.
inline Bytes Sub(std::uint32_t id, std::uint16_t code, const Bytes& data) {
    Payload p;
    p.U32(id).U32(static_cast<std::uint32_t>(data.size() + 12)).U16(code).U8(0).U8(0).Raw(data);
    return p.b;
}

struct Reply {
    std::uint32_t id, clientId;
    std::uint16_t code;
    bool isStream;
    Bytes data;
};

class HandlerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kClientA = 11, kClientB = 22, kSeed = 0x5EED;

    plat::FakeClock clock{50000};
    plat::ScopedClock scope{clock};
    testsupport::TempDir dir;
    qv::TqvServerEngine engine;
    std::vector<Reply> replies;
    bool singleUser = true;
    qv::TqvServerCommandHandler handler{engine,
                                        [this](std::uint32_t id, std::uint32_t client, std::uint16_t code,
                                               bool isStream, const std::uint8_t* d, std::uint32_t n) {
                                            replies.push_back({id, client, code, isStream,
                                                               d ? Bytes(d, d + n) : Bytes()});
                                        },
                                        true, [] { return kSeed; }};

    void SetUp() override { qv::SetServerDebugLog(false); }
    void TearDown() override { qv::SetServerDebugLog(false); }

    // Hands one request to the handler as the queue would; returns the
    // message so tests can read its retry flag.
    qv::TqvDataMessage Send(std::uint32_t id, const Bytes& payload, std::uint32_t client = kClientA,
                            bool timeLeft = false, bool asStream = false) {
        qv::TqvDataMessage m;
        m.messageId = id;
        m.clientId = client;
        m.timeStamp = plat::GetTickCount();
        m.deadline = m.timeStamp + 3000;
        m.timeLeft = timeLeft ? 1 : 0;
        m.dataLength = static_cast<std::uint32_t>(payload.size());
        if (asStream) {
            m.isStream = 1;
            m.stream = std::make_unique<plat::MemoryStream>(std::string(payload.begin(), payload.end()));
        } else {
            m.data = payload;
        }
        handler.Dispatch(m);
        return m;
    }
    // The one reply a request produced.
    Reply Last(std::uint32_t id, const Bytes& payload, std::uint32_t client = kClientA) {
        std::size_t before = replies.size();
        Send(id, payload, client);
        EXPECT_EQ(replies.size(), before + 1) << "request " << id;
        if (replies.size() != before + 1) return Reply{0, 0, 0xFFFF, false, {}};
        return replies.back();
    }
    std::uint16_t Code(std::uint32_t id, const Bytes& payload, std::uint32_t client = kClientA) {
        return Last(id, payload, client).code;
    }
    std::uint32_t U32Of(const Reply& r, std::size_t at = 0) {
        return r.data.size() >= at + 4 ? qv::GetU32(r.data.data() + at) : 0xFFFFFFFF;
    }
};

}  // namespace qvtest
