#include "engine/comms/comms_protocol.h"

#include "platform/core/clock.h"

namespace qv {

TqvConnection::TqvConnection(TqvBaseCommsProtocol* owner_) : owner(owner_) { RestartKeepAlive(false); }

void TqvConnection::RestartKeepAlive(bool received) {
    keepAliveTries = 0;
    QvSetTimeout(keepAliveTimeout, kQvKeepAliveSilenceMs);
    keepAliveReceived = received ? 1 : 0;
}

TqvBaseCommsProtocol::TqvBaseCommsProtocol(std::string_view name, std::uint8_t role) : role_(role) {
    std::string address;
    SplitServerName(name, serverName_, address);
    connections_ = std::make_unique<TqvList>();
    keepAliveTimer_ = std::make_unique<plat::WindowTimer>([this] { KeepAliveTick(); }, kQvKeepAliveIntervalMs, true);
}

TqvBaseCommsProtocol::~TqvBaseCommsProtocol() {
    keepAliveTimer_.reset();
    started_ = 0;
    // Connections go without raising OnHangUp on this side: the owner is
    // going away with its transport. A concrete connection may still tell
    // its partner from its own destructor.
    connections_.reset();
}

void TqvBaseCommsProtocol::Breathe() { DoIdle(); }

void TqvBaseCommsProtocol::EnsureStarted() {
    if (started_) return;
    StartUp();
    started_ = 1;
}

void TqvBaseCommsProtocol::SetKeyStreamSeed(std::uint32_t seed) {
    if (seed == 0) {
        seed = plat::GetTickCount();
        if (seed == 0) seed = 305419896;  // 0x12345678
    }
    keySeed_ = seed;
    MakeKeyStream(seed, keyStream_);
}

void TqvBaseCommsProtocol::AddConnection(TqvConnection* conn) {
    TqvPadLockGuard g(lock_);
    connections_->Insert(conn);
}

TqvConnection* TqvBaseCommsProtocol::FindConnection(std::uint32_t id) {
    // The list's own lock covers a single look-up; the protocol's lock is for
    // walks and changes that must not interleave with one another.
    std::int32_t key = static_cast<std::int32_t>(id);
    return static_cast<TqvConnection*>(connections_->ItemOf(&key));
}

void TqvBaseCommsProtocol::RemoveConnection(std::uint32_t id) {
    TqvPadLockGuard g(lock_);
    std::int32_t key = static_cast<std::int32_t>(id);
    connections_->Delete(&key);
}

int TqvBaseCommsProtocol::ConnectionCount() {
    TqvPadLockGuard g(lock_);
    return connections_->Count();
}

TqvConnection* TqvBaseCommsProtocol::ConnectionAtLocked(int index) {
    if (index < 0 || index >= connections_->Count()) return nullptr;
    return static_cast<TqvConnection*>(connections_->GetItem(index));
}

std::uint32_t TqvBaseCommsProtocol::ConnectionIdAt(int index) {
    TqvPadLockGuard g(lock_);
    if (index < 0 || index >= connections_->Count()) return 0;
    return static_cast<TqvConnection*>(connections_->GetItem(index))->Id();
}

bool TqvBaseCommsProtocol::ReceiveData(std::uint32_t connId, std::uint8_t* data, std::uint32_t len) {
    TqvConnection* conn = FindConnection(connId);
    if (len >= kQvKeepAliveSize && GetU32(data) == QvnmKeepAlive) {
        if (conn) conn->RestartKeepAlive(true);
        return true;
    }
    if (conn) conn->RestartKeepAlive(false);
    if (!OnReceiveData) return true;
    Scramble(data, len);
    return OnReceiveData(*this, connId, len, data);
}

void TqvBaseCommsProtocol::KeepAliveTick() {
    // Last to first, by index, re-reading the count each time: a hang-up or a
    // handler may remove connections while we walk.
    for (int i = ConnectionCount() - 1; i >= 0; --i) {
        if (i >= ConnectionCount()) continue;
        std::uint32_t id = ConnectionIdAt(i);
        TqvConnection* conn = FindConnection(id);
        if (!conn) continue;
        if (conn->keepAliveTries >= kQvKeepAliveMaxTries) {
            HangUp(id);
            continue;
        }
        bool heardKeepAlive = conn->keepAliveReceived != 0;
        conn->keepAliveReceived = 0;
        if (heardKeepAlive || QvTimeoutExpired(conn->keepAliveTimeout)) {
            std::uint8_t packet[kQvKeepAliveSize];
            PutU32(packet, QvnmKeepAlive);
            Send(id, packet, kQvKeepAliveSize);
            // The send may have run the partner, which may have hung us up.
            if (TqvConnection* still = FindConnection(id)) ++still->keepAliveTries;
        }
    }
}

void TqvBaseCommsProtocol::DoHangUp(std::uint32_t connId) {
    if (OnHangUp) OnHangUp(*this, connId);
}

void TqvBaseCommsProtocol::DoNewConnection(std::uint32_t connId) {
    if (OnNewConnection) OnNewConnection(*this, connId);
}

void TqvBaseCommsProtocol::DoIdle() {
    if (OnIdle) OnIdle(*this);
}

void TqvBaseCommsProtocol::DoDatagram(const std::string& source, std::uint32_t len, const std::uint8_t* data) {
    if (OnDatagram) OnDatagram(*this, source, len, data);
}

}  // namespace qv
