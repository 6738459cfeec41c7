#include "engine/comms/winsock_protocol.h"

#include <cstdio>
#include <cstring>

#include "engine/base/qv_exceptions.h"
#include "engine/base/string_resource.h"
#include "platform/win/message_queue.h"

namespace qv {

namespace {

constexpr long kConnectionEvents = plat::FD_READ | plat::FD_WRITE | plat::FD_CLOSE;  // 35

[[noreturn]] void RaiseLastWinsockError() {
    int err = plat::WSAGetLastError();
    throw EqvWinsockException::Create(err != 0 ? err : plat::WSAEINVAL);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool LoadWinsock() {
    static const bool started = plat::WSAStartup(0x0101) == 0;
    return started;
}

// ---- connection ----------------------------------------------------------------------

TqvWinsockConnection::TqvWinsockConnection(TqvBaseCommsProtocol* owner_, plat::SOCKET s, std::uint8_t fam,
                                           plat::HWND wnd)
    : TqvConnection(owner_), socket(s), family(fam), notifyWindow(wnd) {
    if (family == kQvFamilyTCPIP) {
        int noDelay = 0;
        int len = sizeof noDelay;
        if (plat::getsockopt(socket, plat::WS_IPPROTO_TCP, plat::WS_TCP_NODELAY, &noDelay, &len) == 0 && noDelay) {
            noDelay = 0;
            plat::setsockopt(socket, plat::WS_IPPROTO_TCP, plat::WS_TCP_NODELAY, &noDelay, sizeof noDelay);
        }
    }
}

TqvWinsockConnection::~TqvWinsockConnection() {
    plat::shutdown(socket, plat::WS_SD_BOTH);
    plat::closesocket(socket);
}

// ---- transport -----------------------------------------------------------------------

TqvWinsockProtocol::TqvWinsockProtocol(std::string_view name, std::uint8_t role)
    : TqvBaseCommsProtocol(name, role), ports_(ConfiguredPorts()) {
    if (!LoadWinsock()) RaiseQvExceptionNoArgs(QvExceptionClass::Winsock, QvTable::General, 136);
    SetNeedsAcknowledgements(false);
    notifyWindow_ = plat::AllocateHWnd([this](plat::TMessage& m) { WinsockWndProc(m); });
    if (notifyWindow_ == 0) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 128);
}

TqvWinsockProtocol::~TqvWinsockProtocol() {
    StopDatagrams();
    if (listenSocket_ != plat::INVALID_SOCKET) plat::closesocket(listenSocket_);
    listenSocket_ = plat::INVALID_SOCKET;
    plat::DeallocateHWnd(notifyWindow_);
    // The base destructor frees the connections, which close their sockets.
}

TqvWinsockPorts& TqvWinsockProtocol::ConfiguredPorts() {
    static TqvWinsockPorts ports;
    return ports;
}

void TqvWinsockProtocol::SetPorts(const TqvWinsockPorts& ports) {
    ports_ = ports;
    SetFamily(family_);
}

void TqvWinsockProtocol::SetFamily(std::uint8_t family) {
    family_ = family;
    if (family == kQvFamilyTCPIP) {
        std::string local = ports_.tcpLocalAddress;
        if (local.empty()) {
            char host[256] = {};
            if (plat::gethostname(host, sizeof host) != 0)
                RaiseQvExceptionNoArgs(QvExceptionClass::Winsock, QvTable::General, 138);
            local = host;
        }
        std::uint32_t addr = plat::inet_addr(local.c_str());
        if (addr == plat::WS_INADDR_NONE) {
            const plat::HOSTENT* he = plat::gethostbyname(local.c_str());
            if (he == nullptr || he->h_addr_list.empty())
                RaiseQvExceptionNoArgs(QvExceptionClass::Winsock, QvTable::General, 138);
            addr = he->h_addr_list.front();
        }
        localAddress_ = addr;
        SetNetworkName(plat::inet_ntoa(addr));
        return;
    }
    // IPX: the adapter's address, as a bound datagram socket reports it.
    plat::SOCKET s = plat::socket(plat::WS_AF_IPX, plat::WS_SOCK_DGRAM, plat::WS_NSPROTO_IPX);
    bool ok = s != plat::INVALID_SOCKET;
    plat::IPX_ADDRESS_DATA data;
    if (ok) {
        plat::SOCKADDR_IPX zero;
        ok = plat::bind(s, reinterpret_cast<plat::SOCKADDR*>(&zero), sizeof zero) == 0;
        int len = sizeof data;
        ok = ok && plat::getsockopt(s, plat::WS_NSPROTO_IPX, plat::WS_IPX_ADDRESS, &data, &len) == 0;
        plat::closesocket(s);
    }
    if (!ok) RaiseQvExceptionNoArgs(QvExceptionClass::Winsock, QvTable::General, 138);
    std::memcpy(ipxNetwork_, data.netnum, 4);
    std::memcpy(ipxNode_, data.nodenum, 6);
    SetNetworkName(FormatIpxAddress(ipxNetwork_, ipxNode_));
}

bool TqvWinsockProtocol::LocalIsLoopback() const {
    std::uint8_t b[4];
    std::memcpy(b, &localAddress_, 4);
    return b[0] == 127;
}

std::string TqvWinsockProtocol::FormatIpxAddress(const std::uint8_t net[4], const std::uint8_t node[6]) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X:%02X-%02X-%02X-%02X-%02X-%02X", net[0], net[1], net[2], net[3],
                  node[0], node[1], node[2], node[3], node[4], node[5]);
    return buf;
}

bool TqvWinsockProtocol::ParseIpxAddress(std::string_view text, std::uint8_t net[4], std::uint8_t node[6]) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    std::uint8_t digits[20];
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':' || c == '-') {
            // Separators only: the colon ends the network number, hyphens sit
            // between node bytes.
            if ((c == ':' && (i != colon || count != 8)) || (c == '-' && (i < colon || count % 2 != 0)))
                return false;
            continue;
        }
        int v = HexValue(c);
        if (v < 0 || count == 20) return false;
        digits[count++] = static_cast<std::uint8_t>(v);
    }
    if (count != 20) return false;
    for (int i = 0; i < 4; ++i) net[i] = static_cast<std::uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]);
    for (int i = 0; i < 6; ++i) node[i] = static_cast<std::uint8_t>(digits[8 + 2 * i] << 4 | digits[9 + 2 * i]);
    return true;
}

bool TqvWinsockProtocol::ResolveTarget(std::string_view name, std::uint16_t port, plat::SOCKADDR_IPX& ipx,
                                       plat::SOCKADDR_IN& in, std::string& host, bool wantHost) {
    if (family_ == kQvFamilyIPXSPX) {
        if (!ParseIpxAddress(name, ipx.sa_netnum, ipx.sa_nodenum)) return false;
        ipx.sa_socket = plat::htons(port);
        host = std::string(name.substr(0, 31));
        return true;
    }
    std::string text(name);
    std::uint32_t addr = plat::inet_addr(text.c_str());
    if (addr != plat::WS_INADDR_NONE) {
        // A datagram needs no host name: no reverse look-up for it.
        const plat::HOSTENT* he = wantHost ? plat::gethostbyaddr(&addr, 4, plat::WS_AF_INET) : nullptr;
        host = he ? he->h_name : text;
    } else {
        const plat::HOSTENT* he = plat::gethostbyname(text.c_str());
        if (he == nullptr || he->h_addr_list.empty()) return false;
        addr = he->h_addr_list.front();
        host = he->h_name;
    }
    host = host.substr(0, 31);
    in.sin_addr = addr;
    in.sin_port = plat::htons(port);
    return true;
}

void TqvWinsockProtocol::StartUp() {
    if (!IsServer() || listenSocket_ != plat::INVALID_SOCKET) return;
    plat::SOCKET s;
    int rc;
    if (family_ == kQvFamilyIPXSPX) {
        s = plat::socket(plat::WS_AF_IPX, plat::WS_SOCK_STREAM, plat::WS_NSPROTO_SPXII);
        if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
        plat::SOCKADDR_IPX a;
        std::memcpy(a.sa_netnum, ipxNetwork_, 4);
        std::memcpy(a.sa_nodenum, ipxNode_, 6);
        a.sa_socket = plat::htons(ports_.spxServerSocket);
        rc = plat::bind(s, reinterpret_cast<plat::SOCKADDR*>(&a), sizeof a);
    } else {
        s = plat::socket(plat::WS_AF_INET, plat::WS_SOCK_STREAM, 0);
        if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
        plat::SOCKADDR_IN a;
        a.sin_addr = localAddress_;
        a.sin_port = plat::htons(ports_.tcpServerPort);
        rc = plat::bind(s, reinterpret_cast<plat::SOCKADDR*>(&a), sizeof a);
    }
    if (rc != 0) {
        int err = plat::WSAGetLastError();
        plat::closesocket(s);
        throw EqvWinsockException::Create(err);
    }
    listenSocket_ = s;
}

void TqvWinsockProtocol::Listen() {
    if (!IsServer()) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 130);
    if (listenFlag_) return;
    EnsureStarted();
    CheckWinsockResult(plat::WSAAsyncSelect(listenSocket_, notifyWindow_, kQvWmSocketEvent, plat::FD_ACCEPT),
                       plat::WSAGetLastError());
    CheckWinsockResult(plat::listen(listenSocket_, 5), plat::WSAGetLastError());
    listenFlag_ = 1;
}

template <typename Pred>
bool TqvWinsockProtocol::BreatheUntil(Pred done, std::int32_t ms, std::uint32_t connId) {
    TqvTimeout limit;
    QvSetTimeout(limit, ms);
    while (!done()) {
        if (connId != 0 && FindConnection(connId) == nullptr) return false;
        if (QvTimeoutExpired(limit)) return false;
        Breathe();
        // Socket events come from another thread; wait a little for one
        // rather than spin.
        plat::WaitMessage(2);
    }
    return true;
}

void TqvWinsockProtocol::Call(std::string_view serverName, std::uint32_t& connId) {
    if (IsServer()) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 129);
    connId = 0;
    if (serverName.empty()) return;
    std::string name, address;
    SplitServerName(serverName, name, address);
    plat::SOCKADDR_IPX ipx;
    plat::SOCKADDR_IN in;
    std::string host;
    std::uint16_t port = family_ == kQvFamilyIPXSPX ? ports_.spxServerSocket : ports_.tcpServerPort;
    if (!ResolveTarget(address, port, ipx, in, host)) return;

    plat::SOCKET s = family_ == kQvFamilyIPXSPX
                         ? plat::socket(plat::WS_AF_IPX, plat::WS_SOCK_STREAM, plat::WS_NSPROTO_SPXII)
                         : plat::socket(plat::WS_AF_INET, plat::WS_SOCK_STREAM, 0);
    if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
    if (plat::WSAAsyncSelect(s, notifyWindow_, kQvWmSocketEvent, plat::FD_CONNECT) != 0) {
        int err = plat::WSAGetLastError();
        plat::closesocket(s);
        throw EqvWinsockException::Create(err);
    }
    connecting_ = 1;
    connectError_ = 0;
    connectingSocket_ = s;
    int rc = family_ == kQvFamilyIPXSPX ? plat::connect(s, reinterpret_cast<plat::SOCKADDR*>(&ipx), sizeof ipx)
                                        : plat::connect(s, reinterpret_cast<plat::SOCKADDR*>(&in), sizeof in);
    int err = rc == 0 ? 0 : plat::WSAGetLastError();
    if (err != 0 && err != plat::WSAEWOULDBLOCK) {
        // Refused or unreachable at once: no server there.
        connecting_ = 0;
        connectingSocket_ = plat::INVALID_SOCKET;
        plat::closesocket(s);
        return;
    }
    bool confirmed = BreatheUntil([this] { return connecting_ == 0; }, kQvConnectTimeoutMs, 0);
    connectingSocket_ = plat::INVALID_SOCKET;
    connecting_ = 0;
    // A connect that ended with an error (refused) ends the wait at once
    // rather than after the full time-out, and gives no connection.
    if (!confirmed || connectError_ != 0) {
        plat::closesocket(s);
        return;
    }
    auto* conn = new TqvWinsockConnection(this, s, family_, notifyWindow_);
    conn->partnerName = host;
    std::uint32_t id = conn->Id();
    AddConnection(conn);
    if (plat::WSAAsyncSelect(s, notifyWindow_, kQvWmSocketEvent, kConnectionEvents) != 0) {
        int selectErr = plat::WSAGetLastError();
        RemoveConnection(id);
        throw EqvWinsockException::Create(selectErr);
    }
    connId = id;
}

void TqvWinsockProtocol::HangUp(std::uint32_t connId) {
    TqvConnection* conn = FindConnection(connId);
    if (!conn || conn->hangingUp) return;
    conn->hangingUp = true;
    DoHangUp(connId);
    RemoveConnection(connId);
}

std::intptr_t TqvWinsockProtocol::Send(std::uint32_t connId, const void* data, std::uint32_t len) {
    auto* conn = static_cast<TqvWinsockConnection*>(FindConnection(connId));
    if (!conn) return 0;
    if (len > kQvMaxPacketSize) len = kQvMaxPacketSize;
    if (len != 0 && data == nullptr) return 0;
    // Scrambled in a buffer of this call, not the connection's: waiting on a
    // blocked socket breathes the transport, and a reply sent meanwhile must
    // not overwrite the packet still being sent.
    std::uint8_t buffer[kQvMaxPacketSize];
    if (len != 0) std::memcpy(buffer, data, len);
    Scramble(buffer, len);
    plat::SOCKET s = conn->socket;
    std::uint32_t sent = 0;
    while (sent < len) {
        int n = plat::send(s, buffer + sent, static_cast<int>(len - sent), 0);
        if (n >= 0) {
            sent += static_cast<std::uint32_t>(n);
            continue;
        }
        int err = plat::WSAGetLastError();
        if (err == plat::WSAEWOULDBLOCK) {
            sendBlocked_ = 1;
            if (!BreatheUntil([this] { return sendBlocked_ == 0; }, kQvSendBlockedTimeoutMs, connId)) {
                sendBlocked_ = 0;
                if (FindConnection(connId)) HangUp(connId);
                return 0;
            }
            continue;
        }
        HangUp(connId);
        throw EqvWinsockException::Create(err);
    }
    return len == 0 ? 1 : static_cast<std::intptr_t>(len);
}

void TqvWinsockProtocol::StartDatagrams() {
    if (datagramsOpen_) return;
    bool server = IsServer();
    plat::SOCKET s;
    int rc;
    if (family_ == kQvFamilyIPXSPX) {
        s = plat::socket(plat::WS_AF_IPX, plat::WS_SOCK_DGRAM, plat::WS_NSPROTO_IPX);
        if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
        plat::SOCKADDR_IPX a;
        a.sa_socket = plat::htons(server ? ports_.ipxServerDatagramSocket : ports_.ipxClientDatagramSocket);
        rc = plat::bind(s, reinterpret_cast<plat::SOCKADDR*>(&a), sizeof a);
    } else {
        s = plat::socket(plat::WS_AF_INET, plat::WS_SOCK_DGRAM, 0);
        if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
        plat::SOCKADDR_IN a;
        // A loopback transport hears only this machine; otherwise broadcasts
        // arrive on any address.
        a.sin_addr = LocalIsLoopback() ? localAddress_ : plat::WS_INADDR_ANY;
        a.sin_port = plat::htons(server ? ports_.tcpServerDatagramPort : ports_.tcpClientDatagramPort);
        rc = plat::bind(s, reinterpret_cast<plat::SOCKADDR*>(&a), sizeof a);
    }
    if (rc == 0) rc = plat::WSAAsyncSelect(s, notifyWindow_, kQvWmSocketEvent, plat::FD_READ);
    if (rc != 0) {
        int err = plat::WSAGetLastError();
        plat::closesocket(s);
        throw EqvWinsockException::Create(err);
    }
    datagramSocket_ = s;
    datagramsOpen_ = 1;
}

void TqvWinsockProtocol::StopDatagrams() {
    if (datagramSocket_ != plat::INVALID_SOCKET) plat::closesocket(datagramSocket_);
    datagramSocket_ = plat::INVALID_SOCKET;
    datagramsOpen_ = 0;
}

void TqvWinsockProtocol::SendDatagram(std::string_view target, const void* data, std::uint32_t len) {
    if (len > kQvMaxDatagramSize) len = kQvMaxDatagramSize;
    if (len != 0 && data == nullptr) return;
    bool server = IsServer();
    plat::SOCKADDR_IPX ipx;
    plat::SOCKADDR_IN in;
    bool broadcast = target.empty();
    if (family_ == kQvFamilyIPXSPX) {
        std::uint16_t port = server ? ports_.ipxClientDatagramSocket : ports_.ipxServerDatagramSocket;
        if (broadcast) {
            std::memset(ipx.sa_nodenum, 0xFF, 6);
            ipx.sa_socket = plat::htons(port);
        } else {
            std::string host;
            if (!ResolveTarget(target, port, ipx, in, host, false)) return;
        }
    } else {
        std::uint16_t port = server ? ports_.tcpClientDatagramPort : ports_.tcpServerDatagramPort;
        if (broadcast) {
            // Loopback has no broadcast: a transport kept to this machine
            // sends its discovery to this machine alone.
            in.sin_addr = LocalIsLoopback() ? localAddress_ : plat::WS_INADDR_BROADCAST;
            in.sin_port = plat::htons(port);
        } else {
            std::string host;
            if (!ResolveTarget(target, port, ipx, in, host, false)) return;
        }
    }
    plat::SOCKET s = family_ == kQvFamilyIPXSPX ? plat::socket(plat::WS_AF_IPX, plat::WS_SOCK_DGRAM, plat::WS_NSPROTO_IPX)
                                                : plat::socket(plat::WS_AF_INET, plat::WS_SOCK_DGRAM, 0);
    if (s == plat::INVALID_SOCKET) RaiseLastWinsockError();
    int rc;
    if (family_ == kQvFamilyIPXSPX) {
        rc = plat::sendto(s, data, static_cast<int>(len), 0, reinterpret_cast<plat::SOCKADDR*>(&ipx), sizeof ipx);
    } else {
        if (broadcast && in.sin_addr == plat::WS_INADDR_BROADCAST) {
            int on = 1;
            plat::setsockopt(s, plat::WS_SOL_SOCKET, plat::WS_SO_BROADCAST, &on, sizeof on);
        }
        rc = plat::sendto(s, data, static_cast<int>(len), 0, reinterpret_cast<plat::SOCKADDR*>(&in), sizeof in);
    }
    int err = rc < 0 ? plat::WSAGetLastError() : 0;
    plat::closesocket(s);
    CheckWinsockResult(rc < 0 ? -1 : 0, err);
}

void TqvWinsockProtocol::Breathe() {
    plat::MSG msg;
    if (plat::PeekMessage(msg, notifyWindow_, 0, 0, plat::PM_REMOVE)) {
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
    }
    TqvBaseCommsProtocol::Breathe();
}

std::uint16_t TqvWinsockProtocol::ListeningPort() const {
    if (listenSocket_ == plat::INVALID_SOCKET) return 0;
    plat::SOCKADDR_IPX a;  // the larger of the two address forms we use
    plat::SOCKADDR_IN b;
    int len = family_ == kQvFamilyIPXSPX ? static_cast<int>(sizeof a) : static_cast<int>(sizeof b);
    void* p = family_ == kQvFamilyIPXSPX ? static_cast<void*>(&a) : static_cast<void*>(&b);
    if (plat::getsockname(listenSocket_, static_cast<plat::SOCKADDR*>(p), &len) != 0) return 0;
    return plat::ntohs(family_ == kQvFamilyIPXSPX ? a.sa_socket : b.sin_port);
}

std::uint16_t TqvWinsockProtocol::DatagramPort() const {
    if (datagramSocket_ == plat::INVALID_SOCKET) return 0;
    plat::SOCKADDR_IPX a;
    plat::SOCKADDR_IN b;
    int len = family_ == kQvFamilyIPXSPX ? static_cast<int>(sizeof a) : static_cast<int>(sizeof b);
    void* p = family_ == kQvFamilyIPXSPX ? static_cast<void*>(&a) : static_cast<void*>(&b);
    if (plat::getsockname(datagramSocket_, static_cast<plat::SOCKADDR*>(p), &len) != 0) return 0;
    return plat::ntohs(family_ == kQvFamilyIPXSPX ? a.sa_socket : b.sin_port);
}

plat::SOCKET TqvWinsockProtocol::SocketOf(std::uint32_t connId) {
    auto* conn = static_cast<TqvWinsockConnection*>(FindConnection(connId));
    return conn ? conn->socket : plat::INVALID_SOCKET;
}

TqvWinsockConnection* TqvWinsockProtocol::FindBySocket(plat::SOCKET s) {
    TqvPadLockGuard g(ConnectionLock());
    for (int i = 0, n = ConnectionCount(); i < n; ++i) {
        auto* conn = static_cast<TqvWinsockConnection*>(FindConnection(ConnectionIdAt(i)));
        if (conn && conn->socket == s) return conn;
    }
    return nullptr;
}

void TqvWinsockProtocol::WinsockWndProc(plat::TMessage& msg) {
    if (msg.Msg != kQvWmSocketEvent) {
        msg.Result = plat::DefWindowProc(notifyWindow_, msg.Msg, msg.WParam, msg.LParam);
        return;
    }
    msg.Result = 0;
    auto s = static_cast<plat::SOCKET>(msg.WParam);
    std::uint16_t event = plat::WSAGETSELECTEVENT(msg.LParam);
    std::uint16_t error = plat::WSAGETSELECTERROR(msg.LParam);
    if (error != 0) {
        if (event == plat::FD_CONNECT && s == connectingSocket_) {
            connectError_ = error;
            connecting_ = 0;
            return;
        }
        if (TqvWinsockConnection* conn = FindBySocket(s)) HangUp(conn->Id());
        sendBlocked_ = 0;
        return;
    }
    switch (event) {
        case plat::FD_READ:
            if (s == datagramSocket_) {
                ReadDatagram();
            } else if (TqvWinsockConnection* conn = FindBySocket(s)) {
                ReadPacket(conn->Id());
            }
            break;
        case plat::FD_WRITE:
            sendBlocked_ = 0;
            break;
        case plat::FD_ACCEPT:
            if (s == listenSocket_) AcceptConnection();
            break;
        case plat::FD_CONNECT:
            if (s == connectingSocket_) connecting_ = 0;
            break;
        case plat::FD_CLOSE:
            if (TqvWinsockConnection* conn = FindBySocket(s)) HangUp(conn->Id());
            break;
        default:
            break;
    }
}

void TqvWinsockProtocol::AcceptConnection() {
    plat::SOCKET a = plat::accept(listenSocket_, nullptr, nullptr);
    if (a == plat::INVALID_SOCKET) return;  // the caller gave up meanwhile
    auto* conn = new TqvWinsockConnection(this, a, family_, notifyWindow_);
    if (family_ == kQvFamilyTCPIP) {
        plat::SOCKADDR_IN peer;
        int len = sizeof peer;
        if (plat::getpeername(a, reinterpret_cast<plat::SOCKADDR*>(&peer), &len) == 0)
            conn->partnerName = plat::inet_ntoa(peer.sin_addr);
    }
    std::uint32_t id = conn->Id();
    AddConnection(conn);
    if (plat::WSAAsyncSelect(a, notifyWindow_, kQvWmSocketEvent, kConnectionEvents) != 0) {
        RemoveConnection(id);
        return;
    }
    DoNewConnection(id);
}

void TqvWinsockProtocol::ReadDatagram() {
    plat::SOCKADDR_IPX ipx;
    plat::SOCKADDR_IN in;
    int len = family_ == kQvFamilyIPXSPX ? static_cast<int>(sizeof ipx) : static_cast<int>(sizeof in);
    void* from = family_ == kQvFamilyIPXSPX ? static_cast<void*>(&ipx) : static_cast<void*>(&in);
    // Read even when nothing seems pending: only a read re-enables the event.
    int n = plat::recvfrom(datagramSocket_, datagramBuffer_.data(), static_cast<int>(datagramBuffer_.size()), 0,
                           static_cast<plat::SOCKADDR*>(from), &len);
    if (n <= 0) return;
    std::string source = family_ == kQvFamilyIPXSPX ? FormatIpxAddress(ipx.sa_netnum, ipx.sa_nodenum)
                                                    : plat::inet_ntoa(in.sin_addr);
    DoDatagram(source, static_cast<std::uint32_t>(n), datagramBuffer_.data());
}

TqvPacketAssembler::Status TqvPacketAssembler::Next(std::uint8_t* packet, std::uint32_t& len) {
    len = 0;
    if (held_ < kQvKeepAliveSize) return Status::Incomplete;
    std::uint32_t packetLength;
    if (GetU32(buffer_.data()) == QvnmKeepAlive) {
        packetLength = kQvKeepAliveSize;
    } else {
        if (held_ < 8) return Status::Incomplete;
        packetLength = GetU32(buffer_.data() + 4);
        // A length outside one packet can never complete; waiting for it
        // would hold the connection forever.
        if (packetLength < kQvMsgHeaderSize || packetLength > kQvMaxPacketSize) return Status::Invalid;
    }
    if (held_ < packetLength) return Status::Incomplete;
    std::memcpy(packet, buffer_.data(), packetLength);
    std::memmove(buffer_.data(), buffer_.data() + packetLength, held_ - packetLength);
    held_ -= packetLength;
    len = packetLength;
    return Status::Complete;
}

void TqvWinsockProtocol::ReadPacket(std::uint32_t connId) {
    auto* conn = static_cast<TqvWinsockConnection*>(FindConnection(connId));
    if (!conn) return;
    int n = plat::recv(conn->socket, conn->received.Space(), static_cast<int>(conn->received.Room()), 0);
    if (n < 0) {
        if (plat::WSAGetLastError() != plat::WSAEWOULDBLOCK) HangUp(connId);
        return;
    }
    if (n == 0) {
        HangUp(connId);  // the partner closed its end
        return;
    }
    conn->received.Commit(static_cast<std::uint32_t>(n));
    for (;;) {
        std::uint8_t packet[kQvMaxPacketSize];
        std::uint32_t len = 0;
        TqvPacketAssembler::Status status = conn->received.Next(packet, len);
        if (status == TqvPacketAssembler::Status::Incomplete) return;
        if (status == TqvPacketAssembler::Status::Invalid) {
            HangUp(connId);
            return;
        }
        ReceiveData(connId, packet, len);
        // The handler may have hung the connection up.
        conn = static_cast<TqvWinsockConnection*>(FindConnection(connId));
        if (!conn) return;
    }
}

// ---- the two families -------------------------------------------------------------------

TqvTCPIPProtocol::TqvTCPIPProtocol(std::string_view name, std::uint8_t role) : TqvWinsockProtocol(name, role) {
    SetFamily(kQvFamilyTCPIP);
}

std::unique_ptr<TqvBaseCommsProtocol> TqvTCPIPProtocol::Create(std::string_view name, std::uint8_t role) {
    return std::make_unique<TqvTCPIPProtocol>(name, role);
}

TqvIPXSPXProtocol::TqvIPXSPXProtocol(std::string_view name, std::uint8_t role) : TqvWinsockProtocol(name, role) {
    SetNeedsAcknowledgements(true);
    SetFamily(kQvFamilyIPXSPX);
}

std::unique_ptr<TqvBaseCommsProtocol> TqvIPXSPXProtocol::Create(std::string_view name, std::uint8_t role) {
    return std::make_unique<TqvIPXSPXProtocol>(name, role);
}

}  // namespace qv
