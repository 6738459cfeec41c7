// The queue that joins packets into whole messages and hands them, one at a
// time, to their consumer: the server's command handler, or the client
// waiting for its reply.
//
// A message is partial (packets missing), then ready, then handed out as the
// head (in use), then freed; or, when its consumer asks for a retry while its
// deadline has not passed, deferred and brought back to the ready queue by a
// 100 ms timer. Batch replies (message id 255) are split into their
// sub-replies when they reach the head.
#pragma once

#include <cstdint>
#include <atomic>
#include <list>
#include <memory>
#include <vector>

#include "engine/base/qv_base.h"
#include "platform/core/streams.h"
#include "platform/win/win_types.h"
#include "platform/win/window_timer.h"

namespace qv {

constexpr std::uint32_t kQvRetryIntervalMs = 100;

struct TqvDataMessage {
    std::uint32_t messageId = 0;
    std::uint32_t clientId = 0;
    std::uint32_t timeStamp = 0;  // tick when the first packet arrived
    std::uint32_t deadline = 0;   // time stamp + the header's time-out
    std::uint32_t errorCode = 0;
    // The payload: a block (data), or when isStream a memory stream (present
    // even when empty).
    std::vector<std::uint8_t> data;
    std::unique_ptr<plat::MemoryStream> stream;
    std::uint32_t dataLength = 0;
    std::uint8_t isStream = 0;
    std::uint8_t timeLeft = 0;  // 1 while the deadline has not passed
    std::uint8_t retry = 0;     // set by the consumer: present me again later
    std::uint8_t inUse = 0;

    // The payload's bytes wherever they are held; nullptr when empty.
    const std::uint8_t* Bytes() const;
};

class TqvDataMessageQueue {
public:
    TqvDataMessageQueue();
    ~TqvDataMessageQueue();
    TqvDataMessageQueue(const TqvDataMessageQueue&) = delete;
    TqvDataMessageQueue& operator=(const TqvDataMessageQueue&) = delete;

    // Starts a message with its first `count` bytes of `total`. False (and
    // nothing queued) when the total is above kQvMaxMessageData or the first
    // packet carries more than the total: the sender is broken or hostile.
    bool AddMessage(std::uint32_t messageId, std::uint32_t clientId, std::uint32_t timeoutMs,
                    std::uint32_t errorCode, const void* source, std::uint32_t total, std::uint32_t count,
                    bool isStream);
    // Extends the newest partial message of that id and client; surplus bytes
    // beyond its total are dropped, and so is a packet with no partial message.
    void AppendPacket(std::uint32_t messageId, std::uint32_t clientId, const void* source, std::uint32_t count);

    // The first ready message, marked in use; nullptr when none is ready or
    // the head is already handed out.
    TqvDataMessage* GetHead();
    // Done with the head: freed, or deferred when it asked for a retry with
    // time left.
    void RemoveHead();
    bool IsEmpty();
    std::uint32_t ReadyCount();
    // Nothing ready, partial, deferred or handed out: a request served now
    // overtakes no other.
    bool Idle();
    // A request its consumer met outside the queue and asked to see again:
    // deferred as if it had come through the queue, its deadline `timeoutMs`
    // from now; the retry tick brings it back.
    void AddDeferred(TqvDataMessage&& msg, std::uint32_t timeoutMs);

    // The 100 ms timer: deferred messages back to the ready queue, then 5105.
    void RetryTick();

    void SetNotifyWindow(plat::HWND wnd);
    plat::HWND NotifyWindow();

    // Introspection for owners and tests.
    int PartialCount();
    int DeferredCount();
    bool RetryTimerEnabled() const { return retryTimer_->Enabled(); }

private:
    struct Node {
        TqvDataMessage msg;
        std::uint32_t received = 0;
        bool fromBatch = false;  // a sub-reply is never split again
    };
    using NodeList = std::list<std::unique_ptr<Node>>;

    void MoveDeferredBack();
    void UnpackBatch();
    // After any change of the lists, under the lock.
    void CountHeld() { held_.store(ready_.size() + partial_.size() + deferred_.size(), std::memory_order_release); }
    static void Append(Node& node, const void* source, std::uint32_t count);
    // Spent messages kept for the next ones, with their buffers: a request
    // and its reply would otherwise allocate and free a message each.
    std::unique_ptr<Node> TakeSpare();
    void KeepSpare(std::unique_ptr<Node> node);
    std::vector<std::unique_ptr<Node>> spare_;

    std::uint32_t readyCount_ = 0;
    plat::HWND notifyWindow_ = 0;
    TqvPadLock lock_;
    NodeList ready_;
    NodeList partial_;  // newest first
    NodeList deferred_;
    // How many messages the lists hold, readable without the lock: asked
    // before every request a client hands over.
    std::atomic<std::size_t> held_{0};
    std::unique_ptr<plat::WindowTimer> retryTimer_;
};

}  // namespace qv
