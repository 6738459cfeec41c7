#include "engine/comms/data_message_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/comms/comms_packet.h"
#include "platform/core/clock.h"
#include "platform/win/message_queue.h"

using namespace qv;

namespace {

std::string Pattern(std::size_t n, int salt = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + salt) & 0xFF);
    return s;
}

std::string Payload(const TqvDataMessage& m) {
    const std::uint8_t* p = m.Bytes();
    return p ? std::string(reinterpret_cast<const char*>(p), m.dataLength) : std::string();
}

class QueueTest : public ::testing::Test {
protected:
    plat::FakeClock clock{50000};
    plat::ScopedClock scope{clock};
    plat::HWND notify = 0;
    int announced = 0;

    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        notify = plat::AllocateHWnd([this](plat::TMessage& m) {
            if (m.Msg == kQvWmMessageQueued) ++announced;
        });
    }
    void TearDown() override { plat::DeallocateHWnd(notify); }
    // A tick's own post is handled on the loop's next pass.
    void Pump(std::uint32_t ms) {
        clock.Advance(ms);
        plat::ProcessMessages();
        plat::ProcessMessages();
    }
};

TEST_F(QueueTest, JoinsPacketsIntoOneMessage) {
    for (bool stream : {false, true}) {
        TqvDataMessageQueue q;
        std::string all = Pattern(5000);
        ASSERT_TRUE(q.AddMessage(2048, 7, 0, 0, all.data(), 5000, 2024, stream));
        EXPECT_EQ(q.PartialCount(), 1);
        EXPECT_TRUE(q.IsEmpty());
        q.AppendPacket(2048, 7, all.data() + 2024, 2024);
        EXPECT_TRUE(q.IsEmpty());
        q.AppendPacket(2048, 7, all.data() + 4048, 952);
        EXPECT_EQ(q.PartialCount(), 0);
        ASSERT_EQ(q.ReadyCount(), 1u);
        TqvDataMessage* m = q.GetHead();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->messageId, 2048u);
        EXPECT_EQ(m->clientId, 7u);
        EXPECT_EQ(m->dataLength, 5000u);
        EXPECT_EQ(m->isStream, stream ? 1 : 0);
        EXPECT_EQ(stream, m->stream != nullptr);
        EXPECT_EQ(Payload(*m), all);
        EXPECT_EQ(m->timeStamp, 50000u);
        EXPECT_EQ(m->timeLeft, 0) << "no time-out, no time left";
        q.RemoveHead();
        EXPECT_TRUE(q.IsEmpty());
    }
}

TEST_F(QueueTest, KeepsMessagesOfDifferentClientsApartAndDropsStrayPackets) {
    TqvDataMessageQueue q;
    std::string a = Pattern(3000, 1), b = Pattern(3000, 2);
    ASSERT_TRUE(q.AddMessage(300, 1, 0, 0, a.data(), 3000, 2024, false));
    ASSERT_TRUE(q.AddMessage(300, 2, 0, 0, b.data(), 3000, 2024, false));
    q.AppendPacket(301, 1, a.data(), 10);   // no such message: dropped
    q.AppendPacket(300, 3, a.data(), 10);   // no such client: dropped
    EXPECT_EQ(q.PartialCount(), 2);
    // More than the rest of the total: the surplus is dropped.
    std::string tail = b.substr(2024) + "SURPLUS";
    q.AppendPacket(300, 2, tail.data(), static_cast<std::uint32_t>(tail.size()));
    q.AppendPacket(300, 1, a.data() + 2024, 976);
    ASSERT_EQ(q.ReadyCount(), 2u);
    TqvDataMessage* m = q.GetHead();
    EXPECT_EQ(m->clientId, 2u);
    EXPECT_EQ(Payload(*m), b);
    q.RemoveHead();
    m = q.GetHead();
    EXPECT_EQ(m->clientId, 1u);
    EXPECT_EQ(Payload(*m), a);
    q.RemoveHead();
}

TEST_F(QueueTest, RefusesOversizedTotalsAndFirstPacketsLongerThanTheirTotal) {
    struct Case {
        std::uint32_t total, count;
        bool ok;
    } cases[] = {
        {0, 0, true},
        {kQvMaxMessageData, 0, true},
        {kQvMaxMessageData + 1, 0, false},
        {0xFFFFFFFFu, 2024, false},
        {10, 11, false},
        {10, 10, true},
    };
    std::string src = Pattern(2024);
    for (const auto& c : cases) {
        TqvDataMessageQueue q;
        EXPECT_EQ(q.AddMessage(2048, 1, 0, 0, src.data(), c.total, c.count, false), c.ok)
            << c.total << " " << c.count;
        EXPECT_EQ(q.PartialCount() + static_cast<int>(q.ReadyCount()), c.ok ? 1 : 0);
    }
}

TEST_F(QueueTest, HandsOutOneHeadAtATimeInArrivalOrder) {
    TqvDataMessageQueue q;
    EXPECT_EQ(q.GetHead(), nullptr);
    ASSERT_TRUE(q.AddMessage(1, 1, 0, 0, nullptr, 0, 0, false));
    ASSERT_TRUE(q.AddMessage(2, 1, 0, 0, "xy", 2, 2, false));
    TqvDataMessage* m = q.GetHead();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->messageId, 1u);
    EXPECT_EQ(m->Bytes(), nullptr);
    EXPECT_EQ(m->inUse, 1);
    EXPECT_EQ(q.GetHead(), nullptr) << "the head is in use";
    q.RemoveHead();
    m = q.GetHead();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->messageId, 2u);
    EXPECT_EQ(Payload(*m), "xy");
    q.RemoveHead();
    EXPECT_TRUE(q.IsEmpty());
    q.RemoveHead();  // nothing ready: no effect
    EXPECT_TRUE(q.IsEmpty());

    // An empty stream message still has a stream to rewind.
    ASSERT_TRUE(q.AddMessage(3, 1, 0, 0, nullptr, 0, 0, true));
    m = q.GetHead();
    ASSERT_NE(m->stream, nullptr);
    EXPECT_EQ(m->stream->Size(), 0);
    EXPECT_EQ(m->Bytes(), nullptr);
    q.RemoveHead();
}

TEST_F(QueueTest, RetriedMessageComesBackEachTickUntilItsDeadline) {
    TqvDataMessageQueue q;
    q.SetNotifyWindow(notify);
    ASSERT_TRUE(q.AddMessage(1296, 4, 1000, 0, "abcd", 4, 4, false));
    TqvDataMessage* m = q.GetHead();
    EXPECT_EQ(m->deadline, 51000u);
    EXPECT_EQ(m->timeLeft, 1);
    m->retry = 1;
    q.RemoveHead();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.DeferredCount(), 1);
    EXPECT_TRUE(q.RetryTimerEnabled());

    Pump(99);
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(announced, 0);
    Pump(1);  // 100 ms: back, announced, retry cleared, timer off
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(q.DeferredCount(), 0);
    EXPECT_FALSE(q.RetryTimerEnabled());
    m = q.GetHead();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->retry, 0);
    EXPECT_EQ(m->timeLeft, 1);
    EXPECT_EQ(Payload(*m), "abcd");

    // Keep asking until the deadline passes: then it comes back with no time
    // left, and asking again no longer defers it.
    int rounds = 0;
    while (m->timeLeft) {
        m->retry = 1;
        q.RemoveHead();
        Pump(100);
        m = q.GetHead();
        ASSERT_NE(m, nullptr);
        ASSERT_LT(++rounds, 20);
    }
    EXPECT_EQ(rounds, 9) << "presented at 51000, the deadline, with no time left";
    m->retry = 1;
    q.RemoveHead();
    EXPECT_EQ(q.DeferredCount(), 0);
    EXPECT_TRUE(q.IsEmpty());
}

TEST_F(QueueTest, MessageWithoutTimeoutIsNeverDeferred) {
    TqvDataMessageQueue q;
    ASSERT_TRUE(q.AddMessage(2048, 4, 0, 0, nullptr, 0, 0, false));
    TqvDataMessage* m = q.GetHead();
    m->retry = 1;
    q.RemoveHead();
    EXPECT_EQ(q.DeferredCount(), 0);
    EXPECT_FALSE(q.RetryTimerEnabled());
}

TEST_F(QueueTest, DeadlineAcrossTheTickWrapStillLiesAhead) {
    clock.SetTick(0xFFFFFF00u);
    TqvDataMessageQueue q;
    ASSERT_TRUE(q.AddMessage(2048, 4, 1000, 0, nullptr, 0, 0, false));
    TqvDataMessage* m = q.GetHead();
    EXPECT_EQ(m->deadline, 0xFFFFFF00u + 1000u);
    m->retry = 1;
    q.RemoveHead();
    Pump(100);  // now 0xFFFFFF64, deadline 0x2E8 after the wrap
    m = q.GetHead();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->timeLeft, 1);
}

// A batch's bytes from its sub-replies.
std::string Batch(std::initializer_list<std::tuple<std::uint32_t, std::uint16_t, bool, std::string>> parts) {
    std::string out;
    for (const auto& [id, err, stream, data] : parts) {
        std::string entry(12 + data.size(), '\0');
        PutBatchEntry(reinterpret_cast<std::uint8_t*>(entry.data()), id, err, stream, data.data(),
                      static_cast<std::uint32_t>(data.size()));
        out += entry;
    }
    return out;
}

struct Seen {
    std::uint32_t id;
    std::uint32_t error;
    std::string data;
    bool stream;
};

std::vector<Seen> Drain(TqvDataMessageQueue& q) {
    std::vector<Seen> out;
    while (TqvDataMessage* m = q.GetHead()) {
        out.push_back({m->messageId, m->errorCode, Payload(*m), m->isStream != 0});
        q.RemoveHead();
    }
    return out;
}

TEST_F(QueueTest, BatchIsSplitIntoItsSubRepliesAheadOfLaterMessages) {
    TqvDataMessageQueue q;
    std::string b = Batch({{2048, 0, false, "record"}, {1795, 0, true, "bm"}, {2049, 10021, false, ""}});
    ASSERT_TRUE(q.AddMessage(QvnmBatchReply, 9, 500, 0, b.data(), static_cast<std::uint32_t>(b.size()),
                             static_cast<std::uint32_t>(b.size()), false));
    ASSERT_TRUE(q.AddMessage(77, 9, 0, 0, nullptr, 0, 0, false));
    TqvDataMessage* first = q.GetHead();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->clientId, 9u);
    EXPECT_EQ(first->timeStamp, 50000u);
    EXPECT_EQ(first->deadline, 50500u);
    EXPECT_EQ(first->timeLeft, 1);
    EXPECT_EQ(q.ReadyCount(), 4u);
    EXPECT_EQ(first->messageId, 2048u);
    EXPECT_EQ(Payload(*first), "record");
    q.RemoveHead();
    auto seen = Drain(q);
    ASSERT_EQ(seen.size(), 3u);
    seen.insert(seen.begin(), Seen{2048, 0, "record", false});
    EXPECT_EQ(seen[1].id, 1795u);
    EXPECT_TRUE(seen[1].stream);
    EXPECT_EQ(seen[1].data, "bm");
    EXPECT_EQ(seen[2].id, 2049u);
    EXPECT_EQ(seen[2].error, 10021u);
    EXPECT_EQ(seen[3].id, 77u);
}

TEST_F(QueueTest, BatchCasesIncludingMalformedSubReplies) {
    std::string good = Batch({{2048, 0, false, "abc"}});
    std::string errFirst = Batch({{2048, 10241, false, ""}, {1795, 0, false, "bm"}});
    std::string lenBelowHead = good;
    PutU32(lenBelowHead.data() + 4, 11);
    std::string zeroLen = Batch({{2048, 0, false, "abc"}, {1795, 0, false, "x"}});
    PutU32(zeroLen.data() + 15 + 4, 0);  // would never advance
    std::string pastEnd = Batch({{2048, 0, false, "abc"}, {1795, 0, false, "x"}});
    PutU32(pastEnd.data() + 15 + 4, 100);
    std::string cutHead = good + std::string("\x03\x07\x00\x00\x20", 5);
    std::string nested = Batch({{QvnmBatchReply, 0, false, Batch({{2048, 0, false, "in"}})}});

    struct Case {
        const char* name;
        std::string batch;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> expect;  // id, error
    } cases[] = {
        {"good", good, {{2048, 0}}},
        {"error in first stops", errFirst, {{2048, 10241}}},
        {"length below head", lenBelowHead, {{2048, kQvErrUnknownNetwork}}},
        {"zero length", zeroLen, {{2048, 0}, {1795, kQvErrUnknownNetwork}}},
        {"past the end", pastEnd, {{2048, 0}, {1795, kQvErrUnknownNetwork}}},
        {"head cut short", cutHead, {{2048, 0}, {1795, kQvErrUnknownNetwork}}},
        {"empty batch", "", {}},
        // A sub-reply that is itself a batch is handed out, not split again.
        {"nested", nested, {{QvnmBatchReply, 0}}},
    };
    for (const auto& c : cases) {
        TqvDataMessageQueue q;
        auto n = static_cast<std::uint32_t>(c.batch.size());
        ASSERT_TRUE(q.AddMessage(QvnmBatchReply, 1, 0, 0, c.batch.data(), n, n, false));
        ASSERT_TRUE(q.AddMessage(5000, 1, 0, 0, nullptr, 0, 0, false));  // the next message
        auto seen = Drain(q);
        ASSERT_EQ(seen.size(), c.expect.size() + 1) << c.name;
        for (std::size_t i = 0; i < c.expect.size(); ++i) {
            EXPECT_EQ(seen[i].id, c.expect[i].first) << c.name << " " << i;
            EXPECT_EQ(seen[i].error, c.expect[i].second) << c.name << " " << i;
        }
        EXPECT_EQ(seen.back().id, 5000u) << c.name;
    }
}

TEST_F(QueueTest, DestroyingFreesEveryKindOfMessage) {
    // Left to the sanitizer build to prove: partial, ready, in use and
    // deferred messages all go with the queue.
    auto q = std::make_unique<TqvDataMessageQueue>();
    std::string big = Pattern(3000);
    ASSERT_TRUE(q->AddMessage(1, 1, 0, 0, big.data(), 3000, 2024, true));
    ASSERT_TRUE(q->AddMessage(2, 1, 1000, 0, big.data(), 100, 100, false));
    ASSERT_TRUE(q->AddMessage(3, 1, 0, 0, big.data(), 100, 100, false));
    TqvDataMessage* m = q->GetHead();
    m->retry = 1;
    q->RemoveHead();
    EXPECT_EQ(q->DeferredCount(), 1);
    q->GetHead();
    q.reset();
    Pump(200);  // its timer is gone with it
}

}  // namespace
