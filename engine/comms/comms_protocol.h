// The transport base of the table engine: connections, the key stream, the
// keep-alive of silent connections, and the operations every concrete
// transport (single-user, NetBIOS, Winsock) supplies.
//
// Keep-alive timeline: every packet heard on a connection restarts its
// 5000 ms silence time-out and clears its try count. On each 2500 ms tick, a
// connection whose time-out ran out (or that just heard a keep-alive) is sent
// one keep-alive and counts a try; one with five tries is hung up. A silent
// partner thus gets five keep-alives and is dropped at the sixth tick.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/base/qv_base.h"
#include "engine/base/qv_lists.h"
#include "engine/comms/comms_packet.h"
#include "platform/win/window_timer.h"

namespace qv {

class TqvBaseCommsProtocol;

constexpr std::uint32_t kQvKeepAliveIntervalMs = 2500;
constexpr std::int32_t kQvKeepAliveSilenceMs = 5000;
constexpr std::uint32_t kQvKeepAliveMaxTries = 5;

// One connection of a transport. Its id (the list key) is the connection id
// of every transport call and, on the server, the client id of the header.
class TqvConnection : public TqvSelfListItem {
public:
    explicit TqvConnection(TqvBaseCommsProtocol* owner);

    // Back to "just heard from": no tries, a fresh 5000 ms.
    void RestartKeepAlive(bool keepAliveReceived);

    TqvBaseCommsProtocol* owner;
    std::string partnerName;  // at most 63 characters
    std::uint32_t keepAliveTries = 0;
    TqvTimeout keepAliveTimeout;
    std::uint8_t keepAliveReceived = 0;
    bool hangingUp = false;  // set once HangUp has begun, against re-entry
};

using TqvHangUpEvent = std::function<void(TqvBaseCommsProtocol&, std::uint32_t connId)>;
using TqvNewConnectionEvent = std::function<void(TqvBaseCommsProtocol&, std::uint32_t connId)>;
using TqvIdleEvent = std::function<void(TqvBaseCommsProtocol&)>;
using TqvDatagramEvent =
    std::function<void(TqvBaseCommsProtocol&, const std::string& source, std::uint32_t len, const std::uint8_t* data)>;
// Answers whether the packet was taken (stream transports then empty their
// receive buffer).
using TqvReceiveDataEvent =
    std::function<bool(TqvBaseCommsProtocol&, std::uint32_t connId, std::uint32_t len, std::uint8_t* data)>;

class TqvBaseCommsProtocol {
public:
    // `name` is the configured server name ("name@address"); the name part is kept.
    TqvBaseCommsProtocol(std::string_view name, std::uint8_t role);
    virtual ~TqvBaseCommsProtocol();
    TqvBaseCommsProtocol(const TqvBaseCommsProtocol&) = delete;
    TqvBaseCommsProtocol& operator=(const TqvBaseCommsProtocol&) = delete;

    // ---- what each transport supplies ----
    virtual void StartUp() = 0;
    // Client only; connId 0 when no server answered.
    virtual void Call(std::string_view serverName, std::uint32_t& connId) = 0;
    // Closes the connection, raises OnHangUp, removes and frees it.
    virtual void HangUp(std::uint32_t connId) = 0;
    virtual void Listen() = 0;
    // Scrambles a copy of one packet (at most 2048 bytes) and sends it.
    // 0 when the connection or its partner is gone; otherwise whatever the
    // transport can tell (the single-user transport passes on the receiving
    // window's answer, which is 0 too), so callers check the connection
    // rather than rely on a non-zero result.
    virtual std::intptr_t Send(std::uint32_t connId, const void* data, std::uint32_t len) = 0;
    virtual void StartDatagrams() = 0;
    virtual void SendDatagram(std::string_view target, const void* data, std::uint32_t len) = 0;
    virtual void StopDatagrams() = 0;
    // Lets the transport process pending work once; the base raises OnIdle.
    virtual void Breathe();
    // Only client and server in one process may name server-side files to
    // each other (a file BLOB given by path); requests arriving over a network
    // transport must not make the server read or write a path of their
    // choosing.
    virtual bool IsSingleUser() const { return false; }

    void EnsureStarted();
    // 0 lets the transport choose: the tick count, or 305419896 when that is 0.
    void SetKeyStreamSeed(std::uint32_t seed);
    std::uint32_t KeyStreamSeed() const { return keySeed_; }
    const TqvKeyStream& KeyStream() const { return keyStream_; }
    void Scramble(std::uint8_t* data, std::uint32_t len) const { ScramblePacket(keyStream_, data, len); }

    void AddConnection(TqvConnection* conn);
    TqvConnection* FindConnection(std::uint32_t id);
    void RemoveConnection(std::uint32_t id);
    int ConnectionCount();
    // The id of the connection at `index` (list order), 0 when out of range.
    std::uint32_t ConnectionIdAt(int index);

    // Every transport hands each packet received on a connection here. A
    // keep-alive restarts the connection's keep-alive and goes no further;
    // anything else is descrambled in place and given to OnReceiveData.
    bool ReceiveData(std::uint32_t connId, std::uint8_t* data, std::uint32_t len);

    // The 2500 ms tick; public so that callers with their own timing can run it.
    void KeepAliveTick();

    std::string GetServerName() const { return serverName_.substr(0, 31); }
    std::string GetNetworkName() const { return networkName_.substr(0, 31); }
    std::uint8_t Role() const { return role_; }
    bool IsServer() const { return role_ == kQvRoleServer; }
    bool NeedsAcknowledgements() const { return needsAcks_ != 0; }
    bool Started() const { return started_ != 0; }

    TqvHangUpEvent OnHangUp;
    TqvNewConnectionEvent OnNewConnection;
    TqvIdleEvent OnIdle;
    TqvDatagramEvent OnDatagram;
    TqvReceiveDataEvent OnReceiveData;

protected:
    // The events, each calling its handler when one is assigned.
    void DoHangUp(std::uint32_t connId);
    void DoNewConnection(std::uint32_t connId);
    void DoIdle();
    void DoDatagram(const std::string& source, std::uint32_t len, const std::uint8_t* data);

    void SetNetworkName(std::string_view name) { networkName_ = std::string(name.substr(0, 31)); }
    void SetNeedsAcknowledgements(bool on) { needsAcks_ = on ? 1 : 0; }
    TqvPadLock& ConnectionLock() { return lock_; }
    // The connection at `index` of the list (nullptr past its end), for a
    // walk that holds the connection lock throughout.
    TqvConnection* ConnectionAtLocked(int index);

private:
    std::uint32_t keySeed_ = 0;
    std::uint8_t role_;
    std::string serverName_;
    std::string networkName_;
    std::uint8_t needsAcks_ = 1;
    std::uint8_t started_ = 0;
    TqvKeyStream keyStream_{};
    std::unique_ptr<TqvList> connections_;
    TqvPadLock lock_;
    std::unique_ptr<plat::WindowTimer> keepAliveTimer_;
};

// The virtual constructor of a transport class: what the comms engines are
// given in place of a class reference.
using TqvCommsProtocolClass = std::unique_ptr<TqvBaseCommsProtocol> (*)(std::string_view name, std::uint8_t role);

}  // namespace qv
