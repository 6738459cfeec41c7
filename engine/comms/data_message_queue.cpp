#include "engine/comms/data_message_queue.h"

#include <algorithm>

#include "engine/comms/comms_packet.h"
#include "platform/core/clock.h"
#include "platform/win/message_queue.h"

namespace qv {

namespace {
// True while `now` is before `deadline`, by the signed distance of the two
// ticks, so that a deadline just past the 2^32 wrap still lies ahead.
bool TickBefore(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) < 0;
}
}  // namespace

const std::uint8_t* TqvDataMessage::Bytes() const {
    if (isStream) {
        if (!stream || stream->Size() == 0) return nullptr;
        return reinterpret_cast<const std::uint8_t*>(stream->Memory());
    }
    return data.empty() ? nullptr : data.data();
}

TqvDataMessageQueue::TqvDataMessageQueue() {
    retryTimer_ = std::make_unique<plat::WindowTimer>([this] { RetryTick(); }, kQvRetryIntervalMs, false);
}

TqvDataMessageQueue::~TqvDataMessageQueue() {
    TqvPadLockGuard g(lock_);
    MoveDeferredBack();
    ready_.clear();
    partial_.clear();
    CountHeld();
    retryTimer_.reset();
}

void TqvDataMessageQueue::Append(Node& node, const void* source, std::uint32_t count) {
    if (count == 0) return;
    const auto* src = static_cast<const std::uint8_t*>(source);
    if (node.msg.isStream)
        node.msg.stream->WriteBuffer(src, count);
    else
        node.msg.data.insert(node.msg.data.end(), src, src + count);
    node.received += count;
}

std::unique_ptr<TqvDataMessageQueue::Node> TqvDataMessageQueue::TakeSpare() {
    TqvPadLockGuard g(lock_);
    if (spare_.empty()) return std::make_unique<Node>();
    std::unique_ptr<Node> node = std::move(spare_.back());
    spare_.pop_back();
    return node;
}

void TqvDataMessageQueue::KeepSpare(std::unique_ptr<Node> node) {
    constexpr std::size_t kSpares = 4, kLargestKeptBuffer = 64 * 1024;
    if (spare_.size() >= kSpares || node->msg.data.capacity() > kLargestKeptBuffer) return;
    std::vector<std::uint8_t> buffer = std::move(node->msg.data);
    buffer.clear();
    *node = Node{};
    node->msg.data = std::move(buffer);
    spare_.push_back(std::move(node));
}

bool TqvDataMessageQueue::AddMessage(std::uint32_t messageId, std::uint32_t clientId, std::uint32_t timeoutMs,
                                     std::uint32_t errorCode, const void* source, std::uint32_t total,
                                     std::uint32_t count, bool isStream) {
    if (total > kQvMaxMessageData || count > total || (count != 0 && source == nullptr)) return false;
    std::unique_ptr<Node> node = TakeSpare();
    TqvDataMessage& m = node->msg;
    m.messageId = messageId;
    m.clientId = clientId;
    m.timeStamp = plat::GetTickCount();
    m.deadline = m.timeStamp + timeoutMs;
    m.errorCode = errorCode;
    m.dataLength = total;
    m.isStream = isStream ? 1 : 0;
    m.timeLeft = timeoutMs != 0 ? 1 : 0;
    if (total > 0) {
        if (!isStream) {
            // Grown as packets arrive, so an announced total costs nothing
            // until its bytes are really there.
            m.data.reserve(std::min<std::uint32_t>(total, 64 * 1024));
        }
    }
    // A stream message always has its stream, empty or not, so that a
    // consumer may rewind and read it without a nil check.
    if (isStream) m.stream = std::make_unique<plat::MemoryStream>();
    Append(*node, source, count);

    TqvPadLockGuard g(lock_);
    if (count == total) {
        ready_.push_back(std::move(node));
        ++readyCount_;
    } else {
        partial_.push_front(std::move(node));
    }
    CountHeld();
    return true;
}

void TqvDataMessageQueue::AppendPacket(std::uint32_t messageId, std::uint32_t clientId, const void* source,
                                       std::uint32_t count) {
    TqvPadLockGuard g(lock_);
    auto it = std::find_if(partial_.begin(), partial_.end(), [&](const std::unique_ptr<Node>& n) {
        return n->msg.messageId == messageId && n->msg.clientId == clientId;
    });
    if (it == partial_.end()) return;
    Node& node = **it;
    std::uint32_t n = std::min(count, node.msg.dataLength - node.received);
    if (n != 0 && source == nullptr) return;
    Append(node, source, n);
    if (node.received == node.msg.dataLength) {
        ready_.push_back(std::move(*it));
        partial_.erase(it);
        ++readyCount_;
    }
    CountHeld();
}

TqvDataMessage* TqvDataMessageQueue::GetHead() {
    TqvPadLockGuard g(lock_);
    for (;;) {
        if (readyCount_ == 0 || ready_.empty()) return nullptr;
        Node& head = *ready_.front();
        if (head.msg.inUse) return nullptr;
        if (head.msg.messageId == QvnmBatchReply && !head.fromBatch) {
            UnpackBatch();
            continue;
        }
        head.msg.inUse = 1;
        return &head.msg;
    }
}

void TqvDataMessageQueue::UnpackBatch() {
    std::unique_ptr<Node> batch = std::move(ready_.front());
    ready_.pop_front();
    --readyCount_;

    const TqvDataMessage& b = batch->msg;
    const std::uint8_t* p = b.Bytes();
    const std::uint32_t total = p ? b.dataLength : 0;
    NodeList parts;
    auto make = [&](std::uint32_t id, std::uint32_t error, bool isStream) -> Node& {
        auto node = std::make_unique<Node>();
        node->fromBatch = true;
        node->msg.messageId = id;
        node->msg.errorCode = error;
        node->msg.isStream = isStream ? 1 : 0;
        node->msg.clientId = b.clientId;
        node->msg.timeStamp = b.timeStamp;
        node->msg.deadline = b.deadline;
        node->msg.timeLeft = 1;
        if (isStream) node->msg.stream = std::make_unique<plat::MemoryStream>();
        parts.push_back(std::move(node));
        return *parts.back();
    };

    std::uint32_t offset = 0;
    while (offset < total) {
        const std::uint32_t remain = total - offset;
        if (remain < kQvSubMsgHeaderSize) {
            // A head cut short: its id when that much is there. The consumer
            // sees an error instead of a reply that never comes.
            make(remain >= 4 ? GetU32(p + offset) : QvnmBatchReply, kQvErrUnknownNetwork, false);
            break;
        }
        TqvSubMsgHeader h = ReadSubMsgHeader(p + offset);
        // A length below its own head would never advance; one past the end
        // would read beyond the batch. Either ends the split with an error.
        if (h.length < kQvSubMsgHeaderSize || h.length > remain) {
            make(h.messageId, kQvErrUnknownNetwork, false);
            break;
        }
        Node& part = make(h.messageId, h.errorCode, h.isStream != 0);
        std::uint32_t len = h.length - kQvSubMsgHeaderSize;
        part.msg.dataLength = len;
        Append(part, p + offset + kQvSubMsgHeaderSize, len);
        offset += h.length;
        if (parts.size() == 1 && h.errorCode != 0) break;
    }

    readyCount_ += static_cast<std::uint32_t>(parts.size());
    ready_.splice(ready_.begin(), parts);
    CountHeld();
}

void TqvDataMessageQueue::RemoveHead() {
    TqvPadLockGuard g(lock_);
    if (readyCount_ == 0 || ready_.empty()) return;
    std::unique_ptr<Node> head = std::move(ready_.front());
    ready_.pop_front();
    --readyCount_;
    head->msg.inUse = 0;
    if (head->msg.timeLeft && head->msg.retry) {
        deferred_.push_back(std::move(head));
        retryTimer_->SetEnabled(true);
    } else {
        KeepSpare(std::move(head));
    }
    CountHeld();
}

bool TqvDataMessageQueue::IsEmpty() {
    TqvPadLockGuard g(lock_);
    return readyCount_ == 0;
}

bool TqvDataMessageQueue::Idle() { return held_.load(std::memory_order_acquire) == 0; }

void TqvDataMessageQueue::AddDeferred(TqvDataMessage&& msg, std::uint32_t timeoutMs) {
    std::unique_ptr<Node> node = TakeSpare();
    node->msg = std::move(msg);
    TqvDataMessage& m = node->msg;
    m.timeStamp = plat::GetTickCount();
    m.deadline = m.timeStamp + timeoutMs;
    m.timeLeft = timeoutMs != 0 ? 1 : 0;
    m.inUse = 0;
    m.retry = 0;
    node->received = m.dataLength;
    TqvPadLockGuard g(lock_);
    deferred_.push_back(std::move(node));
    CountHeld();
    retryTimer_->SetEnabled(true);
}

std::uint32_t TqvDataMessageQueue::ReadyCount() {
    TqvPadLockGuard g(lock_);
    return readyCount_;
}

void TqvDataMessageQueue::MoveDeferredBack() {
    if (retryTimer_) retryTimer_->SetEnabled(false);
    std::uint32_t now = plat::GetTickCount();
    for (auto& node : deferred_) {
        node->msg.timeLeft = TickBefore(now, node->msg.deadline) ? 1 : 0;
        node->msg.retry = 0;
        ++readyCount_;
    }
    ready_.splice(ready_.end(), deferred_);
    CountHeld();
}

void TqvDataMessageQueue::RetryTick() {
    TqvPadLockGuard g(lock_);
    MoveDeferredBack();
    if (notifyWindow_ != 0) plat::PostMessage(notifyWindow_, kQvWmMessageQueued, 0, 0);
}

void TqvDataMessageQueue::SetNotifyWindow(plat::HWND wnd) {
    TqvPadLockGuard g(lock_);
    notifyWindow_ = wnd;
}

plat::HWND TqvDataMessageQueue::NotifyWindow() {
    TqvPadLockGuard g(lock_);
    return notifyWindow_;
}

int TqvDataMessageQueue::PartialCount() {
    TqvPadLockGuard g(lock_);
    return static_cast<int>(partial_.size());
}

int TqvDataMessageQueue::DeferredCount() {
    TqvPadLockGuard g(lock_);
    return static_cast<int>(deferred_.size());
}

}  // namespace qv
