// The Winsock transports: the engine's packets over stream sockets whose
// events arrive as window message 5105 on a hidden window of the transport,
// discovery datagrams over datagram sockets. TqvTCPIPProtocol uses TCP and
// UDP; TqvIPXSPXProtocol uses SPX II and IPX (on this platform the socket
// layer's IPX stand-in).
//
// A stream has no packet boundaries, so each connection gathers bytes until
// one packet is whole (TqvPacketAssembler).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/comms/comms_protocol.h"
#include "platform/net/winsock.h"
#include "platform/win/win_types.h"

namespace qv {

constexpr std::uint32_t kQvWmSocketEvent = 5105;
constexpr std::uint32_t kQvMaxDatagramSize = 128;
constexpr std::int32_t kQvConnectTimeoutMs = 30000;
// How long a send waits for a blocked socket to drain before the partner is
// taken for gone.
constexpr std::int32_t kQvSendBlockedTimeoutMs = 30000;

constexpr std::uint8_t kQvFamilyTCPIP = 0;
constexpr std::uint8_t kQvFamilyIPXSPX = 1;

// Ports (host byte order). The defaults are the engine's well-known ones; the
// server configuration replaces them process-wide through ConfiguredPorts,
// tests per transport through SetPorts. Port 0 takes any free port.
struct TqvWinsockPorts {
    std::uint16_t tcpServerPort = 24677;
    std::uint16_t tcpServerDatagramPort = 24677;
    std::uint16_t tcpClientDatagramPort = 24933;
    std::uint16_t spxServerSocket = 25189;
    std::uint16_t ipxServerDatagramSocket = 24677;
    std::uint16_t ipxClientDatagramSocket = 24933;
    // TCP/IP: the local address listened on and announced. Loopback keeps a
    // server private to this machine unless the configuration opens it up;
    // empty means the host's first address.
    std::string tcpLocalAddress = "127.0.0.1";
};

// Gathers the bytes of a stream into packets: a 4-byte keep-alive (the u32
// 10) is whole as soon as its four bytes are in; any other packet when the
// length in its header (bytes 4-7, 24 to 2048) is in. Surplus bytes stay for
// the next packet. A length outside that range can never complete: the
// stream is broken and the caller hangs up.
class TqvPacketAssembler {
public:
    enum class Status { Incomplete, Complete, Invalid };

    // Where the next bytes from the stream go, and how many fit.
    std::uint8_t* Space() { return buffer_.data() + held_; }
    std::uint32_t Room() const { return kQvMaxPacketSize - held_; }
    // `n` bytes were written at Space().
    void Commit(std::uint32_t n) { held_ += n <= Room() ? n : Room(); }
    // Moves the next whole packet into `packet` (2048 bytes), its length
    // into `len`.
    Status Next(std::uint8_t* packet, std::uint32_t& len);
    std::uint32_t Held() const { return held_; }
    void Clear() { held_ = 0; }

private:
    std::array<std::uint8_t, kQvMaxPacketSize> buffer_{};
    std::uint32_t held_ = 0;
};

class TqvWinsockConnection : public TqvConnection {
public:
    TqvWinsockConnection(TqvBaseCommsProtocol* owner, plat::SOCKET socket, std::uint8_t family, plat::HWND wnd);
    // Shuts the socket down both ways and closes it.
    ~TqvWinsockConnection() override;

    plat::SOCKET socket;
    std::uint8_t family;
    plat::HWND notifyWindow;
    TqvPacketAssembler received;  // the receive buffer and its count
};

class TqvWinsockProtocol : public TqvBaseCommsProtocol {
public:
    TqvWinsockProtocol(std::string_view name, std::uint8_t role);
    ~TqvWinsockProtocol() override;

    void StartUp() override;
    void Call(std::string_view serverName, std::uint32_t& connId) override;
    void HangUp(std::uint32_t connId) override;
    void Listen() override;
    std::intptr_t Send(std::uint32_t connId, const void* data, std::uint32_t len) override;
    void StartDatagrams() override;
    void SendDatagram(std::string_view target, const void* data, std::uint32_t len) override;
    void StopDatagrams() override;
    void Breathe() override;

    static TqvWinsockPorts& ConfiguredPorts();
    const TqvWinsockPorts& Ports() const { return ports_; }
    // Before StartUp / StartDatagrams; the local address is read again.
    void SetPorts(const TqvWinsockPorts& ports);

    std::uint8_t Family() const { return family_; }
    plat::HWND NotifyWindow() const { return notifyWindow_; }
    // The ports actually bound (useful when port 0 was asked for); 0 when none.
    std::uint16_t ListeningPort() const;
    std::uint16_t DatagramPort() const;
    plat::SOCKET SocketOf(std::uint32_t connId);

    // "NNNNNNNN:HH-HH-HH-HH-HH-HH" from a network and a node number, and back;
    // false for anything but hexadecimal digits in that shape.
    static std::string FormatIpxAddress(const std::uint8_t net[4], const std::uint8_t node[6]);
    static bool ParseIpxAddress(std::string_view text, std::uint8_t net[4], std::uint8_t node[6]);

protected:
    // Reads the local address for the family and sets the network name.
    void SetFamily(std::uint8_t family);

private:
    void WinsockWndProc(plat::TMessage& msg);
    void ReadPacket(std::uint32_t connId);
    void ReadDatagram();
    void AcceptConnection();
    TqvWinsockConnection* FindBySocket(plat::SOCKET s);
    // A partner's address from a server name or datagram target; the host
    // name for the connection in `host`. False when it cannot be resolved.
    bool ResolveTarget(std::string_view name, std::uint16_t port, plat::SOCKADDR_IPX& ipx, plat::SOCKADDR_IN& in,
                       std::string& host, bool wantHost = true);
    bool LocalIsLoopback() const;
    // Breathes until `done` answers true, the time runs out or `connId` (when
    // not 0) is gone; answers whether `done` came true.
    template <typename Pred>
    bool BreatheUntil(Pred done, std::int32_t ms, std::uint32_t connId);

    std::uint8_t family_ = kQvFamilyTCPIP;
    std::uint32_t localAddress_ = 0;  // network order
    std::uint8_t ipxNetwork_[4] = {};
    std::uint8_t ipxNode_[6] = {};
    std::uint8_t listenFlag_ = 0;
    plat::SOCKET listenSocket_ = plat::INVALID_SOCKET;
    plat::SOCKET datagramSocket_ = plat::INVALID_SOCKET;
    std::array<std::uint8_t, kQvMaxDatagramSize> datagramBuffer_{};
    std::uint8_t connecting_ = 0;
    int connectError_ = 0;
    plat::SOCKET connectingSocket_ = plat::INVALID_SOCKET;
    std::uint8_t sendBlocked_ = 0;
    std::uint8_t datagramsOpen_ = 0;
    plat::HWND notifyWindow_ = 0;
    TqvWinsockPorts ports_;
};

class TqvTCPIPProtocol : public TqvWinsockProtocol {
public:
    TqvTCPIPProtocol(std::string_view name, std::uint8_t role);
    static std::unique_ptr<TqvBaseCommsProtocol> Create(std::string_view name, std::uint8_t role);
};

class TqvIPXSPXProtocol : public TqvWinsockProtocol {
public:
    TqvIPXSPXProtocol(std::string_view name, std::uint8_t role);
    static std::unique_ptr<TqvBaseCommsProtocol> Create(std::string_view name, std::uint8_t role);
};

// Loads and starts the socket library once and remembers the outcome.
bool LoadWinsock();

}  // namespace qv
