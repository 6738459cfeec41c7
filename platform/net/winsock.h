// Sockets in the shape of the 1.1 socket API the engine's network transports
// are written for: handles, non-blocking calls that report "would block",
// and socket events delivered as window messages (WSAAsyncSelect) through
// the platform message queue.
//
// Two address families:
//   WS_AF_INET  IPv4 over the host's own TCP/UDP.
//   WS_AF_IPX   a stand-in: IPX datagram sockets are UDP and SPX stream
//               sockets are TCP, on 127.0.0.1, the IPX socket number used as
//               the port. The machine is one IPX node (LocalIpxNetwork /
//               LocalIpxNode); another node cannot be reached.
//
// Socket handles are numbers that count up and are never reused in a
// process, so an event still queued for a closed socket cannot be taken for
// one opened later.
//
// Events: after WSAAsyncSelect a background thread watches the socket and
// posts `msg` to `wnd` (wParam: socket, lParam: event in the low 16 bits,
// error in the high 16). As with the real API each event is posted once and
// re-enabled by the call that consumes it: FD_READ by recv/recvfrom, FD_ACCEPT
// by accept, FD_WRITE by a send that would block. FD_CONNECT is posted once
// when a connect ends (with its error), FD_CLOSE once when the peer closes.
//
// Constants whose names the host's C headers already define as macros carry
// a WS_ prefix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/win_types.h"

namespace plat {

using SOCKET = std::uint32_t;
constexpr SOCKET INVALID_SOCKET = 0xFFFFFFFFu;
constexpr int SOCKET_ERROR = -1;

constexpr int WS_AF_UNSPEC = 0;
constexpr int WS_AF_INET = 2;
constexpr int WS_AF_IPX = 6;
constexpr int WS_SOCK_STREAM = 1;
constexpr int WS_SOCK_DGRAM = 2;
constexpr int WS_NSPROTO_IPX = 1000;
constexpr int WS_NSPROTO_SPX = 1256;  // SPX II
constexpr int WS_NSPROTO_SPXII = 1256;

constexpr int WS_SOL_SOCKET = 0xFFFF;
constexpr int WS_SO_BROADCAST = 0x0020;
constexpr int WS_SO_TYPE = 0x1008;
constexpr int WS_SO_ERROR = 0x1007;
constexpr int WS_IPPROTO_TCP = 6;
constexpr int WS_TCP_NODELAY = 1;
constexpr int WS_IPX_ADDRESS = 16391;  // level WS_NSPROTO_IPX
constexpr long WS_FIONREAD = 0x4004667F;
constexpr long WS_FIONBIO = 0x8004667E;
constexpr int WS_SD_RECEIVE = 0;
constexpr int WS_SD_SEND = 1;
constexpr int WS_SD_BOTH = 2;
constexpr std::uint32_t WS_INADDR_ANY = 0;
constexpr std::uint32_t WS_INADDR_NONE = 0xFFFFFFFFu;
constexpr std::uint32_t WS_INADDR_BROADCAST = 0xFFFFFFFFu;

constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;

inline std::uint16_t WSAGETSELECTEVENT(LPARAM l) { return static_cast<std::uint16_t>(l & 0xFFFF); }
inline std::uint16_t WSAGETSELECTERROR(LPARAM l) { return static_cast<std::uint16_t>((l >> 16) & 0xFFFF); }
inline LPARAM WSAMAKESELECTREPLY(std::uint16_t event, std::uint16_t error) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(error) << 16) | event);
}

// Addresses, laid out as the API lays them out (ports and IPv4 addresses in
// network byte order). Every call takes a SOCKADDR pointer and a length.
struct SOCKADDR {
    std::uint16_t sa_family = 0;
    char sa_data[14] = {};
};
struct SOCKADDR_IN {
    std::uint16_t sin_family = WS_AF_INET;
    std::uint16_t sin_port = 0;
    std::uint32_t sin_addr = 0;
    char sin_zero[8] = {};
};
struct SOCKADDR_IPX {
    std::uint16_t sa_family = WS_AF_IPX;
    std::uint8_t sa_netnum[4] = {};
    std::uint8_t sa_nodenum[6] = {};
    std::uint16_t sa_socket = 0;
};
// What getsockopt(WS_NSPROTO_IPX, WS_IPX_ADDRESS) answers.
struct IPX_ADDRESS_DATA {
    int adapternum = 0;
    std::uint8_t netnum[4] = {};
    std::uint8_t nodenum[6] = {};
    bool wan = false;
    bool status = true;
    int maxpkt = 1467;
    unsigned linkspeed = 100000;
};
struct HOSTENT {
    std::string h_name;
    std::vector<std::string> h_aliases;
    int h_addrtype = WS_AF_INET;
    int h_length = 4;
    std::vector<std::uint32_t> h_addr_list;  // network byte order
};

// The one IPX network and node of this machine.
void LocalIpxNetwork(std::uint8_t out[4]);
void LocalIpxNode(std::uint8_t out[6]);

// Version as (major | minor << 8); only 1.1 and later are accepted.
int WSAStartup(std::uint16_t version);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const SOCKADDR* name, int namelen);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, SOCKADDR* addr, int* addrlen);
// Non-blocking once selected (as WSAAsyncSelect makes a socket); then a
// connect still under way answers SOCKET_ERROR with WSAEWOULDBLOCK.
int connect(SOCKET s, const SOCKADDR* name, int namelen);
int send(SOCKET s, const void* buf, int len, int flags);
int recv(SOCKET s, void* buf, int len, int flags);
int sendto(SOCKET s, const void* buf, int len, int flags, const SOCKADDR* to, int tolen);
int recvfrom(SOCKET s, void* buf, int len, int flags, SOCKADDR* from, int* fromlen);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
int ioctlsocket(SOCKET s, long cmd, std::uint32_t* argp);
int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen);
int getsockopt(SOCKET s, int level, int optname, void* optval, int* optlen);
int getsockname(SOCKET s, SOCKADDR* name, int* namelen);
int getpeername(SOCKET s, SOCKADDR* name, int* namelen);
// Registers the events of `mask` for `wnd`; mask 0 cancels. Makes the socket
// non-blocking.
int WSAAsyncSelect(SOCKET s, HWND wnd, UINT msg, long mask);

int gethostname(char* name, int namelen);
// nullptr (with the last error set) when the name has no IPv4 address.
const HOSTENT* gethostbyname(const char* name);
const HOSTENT* gethostbyaddr(const void* addr, int len, int type);
// Dotted text to an address in network order; WS_INADDR_NONE when malformed.
std::uint32_t inet_addr(const char* cp);
// Network-order address to dotted text.
std::string inet_ntoa(std::uint32_t addr);

std::uint16_t htons(std::uint16_t v);
std::uint16_t ntohs(std::uint16_t v);
std::uint32_t htonl(std::uint32_t v);
std::uint32_t ntohl(std::uint32_t v);

// Sockets still open in this process (tests check for leaks).
int OpenSocketCount();

}  // namespace plat
