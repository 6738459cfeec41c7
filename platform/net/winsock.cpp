#include "platform/net/winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/win/message_queue.h"

// The host headers may define these as macros; ours are functions.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl

namespace plat {
namespace {

// The IPX stand-in's single network and node.
constexpr std::uint8_t kIpxNetwork[4] = {0x00, 0x00, 0x7F, 0x01};
constexpr std::uint8_t kIpxNode[6] = {0x02, 0x00, 0x7F, 0x00, 0x00, 0x01};

struct Entry {
    int fd = -1;
    int af = WS_AF_INET;
    int type = WS_SOCK_STREAM;
    bool listening = false;
    bool connecting = false;
    bool connected = false;  // a stream with a peer: only these are read
    HWND wnd = 0;
    UINT msg = 0;
    long mask = 0;
    bool armRead = false;
    bool armAccept = false;
    bool armWrite = false;
    bool closeSent = false;
};

thread_local int tlsLastError = 0;

// A loopback connect to a free port in the ephemeral range can be given that
// same port as its own and "connect" to itself. Nothing listens there, so it
// is taken for the refusal it really is.
bool ConnectedToItself(int fd) {
    sockaddr_in self{}, peer{};
    socklen_t a = sizeof self, b = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &a) != 0) return false;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &b) != 0) return false;
    return self.sin_port == peer.sin_port && self.sin_addr.s_addr == peer.sin_addr.s_addr;
}

int MapErrno(int e) {
    switch (e) {
        case 0: return 0;
        case EAGAIN: return WSAEWOULDBLOCK;
        case EINPROGRESS: return WSAEWOULDBLOCK;
        case EALREADY: return WSAEALREADY;
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;
        case EFAULT: return WSAEFAULT;
        case EMFILE: case ENFILE: return WSAEMFILE;
        case EMSGSIZE: return WSAEMSGSIZE;
        case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
        case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETUNREACH: return WSAENETUNREACH;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET: case EPIPE: return WSAECONNRESET;
        case ENOBUFS: case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ESHUTDOWN: return WSAESHUTDOWN;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        case EOPNOTSUPP: return WSAEOPNOTSUPP;
        default: return WSAEINVAL;
    }
}

int Fail(int wsaError) {
    tlsLastError = wsaError;
    return SOCKET_ERROR;
}
int FailErrno() { return Fail(MapErrno(errno)); }

// Everything below is guarded by mutex; the watcher thread takes it too.
struct Registry {
    std::mutex mutex;
    std::map<SOCKET, Entry> sockets;
    SOCKET next = 1;
    int started = 0;

    std::thread watcher;
    std::atomic<bool> stop{false};
    // A descriptor is closed only once the watcher is not polling it: a
    // socket polled by another thread lives on in the kernel until the poll
    // returns, and a closed listening socket would accept meanwhile.
    bool polling = false;
    std::uint64_t round = 0;
    std::condition_variable roundDone;
    int wake[2] = {-1, -1};

    ~Registry() {
        if (watcher.joinable()) {
            stop = true;
            Wake();
            watcher.join();
        }
        for (auto& [h, e] : sockets) ::close(e.fd);
        if (wake[0] >= 0) ::close(wake[0]);
        if (wake[1] >= 0) ::close(wake[1]);
    }
    void Wake() {
        if (wake[1] >= 0) {
            char c = 1;
            [[maybe_unused]] auto n = ::write(wake[1], &c, 1);
        }
    }
    void EnsureWatcher() {  // under mutex
        if (watcher.joinable()) return;
        if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) wake[0] = wake[1] = -1;
        watcher = std::thread([this] { Watch(); });
    }
    void Watch();
    void Handle(SOCKET h, Entry& e, short revents);
};

Registry& Reg() {
    static Registry r;
    return r;
}

void Post(const Entry& e, SOCKET h, long event, int error) {
    if (e.wnd == 0 || (e.mask & event) == 0) return;
    PostMessage(e.wnd, e.msg, h, WSAMAKESELECTREPLY(static_cast<std::uint16_t>(event),
                                                    static_cast<std::uint16_t>(error)));
}

void Registry::Watch() {
    std::vector<pollfd> fds;
    std::vector<SOCKET> handles;
    while (!stop) {
        fds.clear();
        handles.clear();
        {
            std::lock_guard<std::mutex> g(mutex);
            for (auto& [h, e] : sockets) {
                if (e.wnd == 0 || e.mask == 0) continue;
                short ev = 0;
                if (e.listening) {
                    if (e.armAccept) ev |= POLLIN;
                } else if (e.connecting) {
                    ev |= POLLOUT;
                } else if (e.type == WS_SOCK_DGRAM) {
                    if (e.armRead) ev |= POLLIN;
                } else if (e.connected) {
                    if (e.armRead && !e.closeSent) ev |= POLLIN | POLLRDHUP;
                    if (e.armWrite) ev |= POLLOUT;
                }
                if (ev == 0) continue;
                fds.push_back(pollfd{e.fd, ev, 0});
                handles.push_back(h);
            }
            polling = true;
        }
        fds.push_back(pollfd{wake[0], POLLIN, 0});
        int n = ::poll(fds.data(), fds.size(), 50);
        std::lock_guard<std::mutex> g(mutex);
        polling = false;
        ++round;
        roundDone.notify_all();
        if (n <= 0) continue;
        if (fds.back().revents) {
            char buf[64];
            while (::read(wake[0], buf, sizeof buf) > 0) {
            }
        }
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            auto it = sockets.find(handles[i]);
            // Closed meanwhile, or its descriptor already reused.
            if (it == sockets.end() || it->second.fd != fds[i].fd) continue;
            Handle(it->first, it->second, fds[i].revents);
        }
    }
}

void Registry::Handle(SOCKET h, Entry& e, short revents) {
    if (revents & POLLNVAL) return;
    if (e.listening) {
        if (e.armAccept) {
            e.armAccept = false;
            Post(e, h, FD_ACCEPT, 0);
        }
        return;
    }
    if (e.connecting) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(e.fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err == 0) {
            sockaddr_in peer{};
            socklen_t plen = sizeof peer;
            if (::getpeername(e.fd, reinterpret_cast<sockaddr*>(&peer), &plen) != 0) return;  // still under way
        }
        e.connecting = false;
        if (err == 0 && ConnectedToItself(e.fd)) {
            ::shutdown(e.fd, SHUT_RDWR);
            err = ECONNREFUSED;
        }
        int wsa = MapErrno(err);
        Post(e, h, FD_CONNECT, wsa);
        if (wsa == 0) {
            e.connected = true;
            e.armRead = true;
            e.armWrite = true;
        }
        return;
    }
    if (e.type == WS_SOCK_DGRAM) {
        if ((revents & POLLIN) && e.armRead) {
            e.armRead = false;
            Post(e, h, FD_READ, 0);
        }
        return;
    }
    if ((revents & POLLOUT) && e.armWrite) {
        e.armWrite = false;
        Post(e, h, FD_WRITE, 0);
    }
    if ((revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) && e.armRead && !e.closeSent) {
        char c;
        ssize_t got = ::recv(e.fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got > 0) {
            // Data first; the close is noticed once the reader has drained it.
            e.armRead = false;
            Post(e, h, FD_READ, 0);
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            int wsa = got == 0 ? 0 : MapErrno(errno);
            e.closeSent = true;
            e.armRead = false;
            Post(e, h, FD_CLOSE, wsa);
        }
    }
}

// Looks a handle up; fills fd and family. Sets WSAENOTSOCK when absent.
bool Lookup(SOCKET s, Entry& out) {
    auto& r = Reg();
    std::lock_guard<std::mutex> g(r.mutex);
    auto it = r.sockets.find(s);
    if (it == r.sockets.end()) {
        tlsLastError = WSAENOTSOCK;
        return false;
    }
    out = it->second;
    return true;
}

template <typename F>
void Update(SOCKET s, F f) {
    auto& r = Reg();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        auto it = r.sockets.find(s);
        if (it == r.sockets.end()) return;
        f(it->second);
    }
    r.Wake();
}

bool IpxNodeIsLocal(const std::uint8_t node[6], bool allowBroadcast) {
    static constexpr std::uint8_t zero[6] = {};
    static constexpr std::uint8_t all[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return std::memcmp(node, zero, 6) == 0 || std::memcmp(node, kIpxNode, 6) == 0 ||
           (allowBroadcast && std::memcmp(node, all, 6) == 0);
}

// Our address to the host's. IPX addresses of this node become 127.0.0.1
// with the IPX socket number as the port.
bool ToHost(int af, const SOCKADDR* name, int namelen, sockaddr_in& out, bool allowBroadcast) {
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    if (name == nullptr) return Fail(WSAEFAULT), false;
    if (af == WS_AF_INET) {
        if (namelen < static_cast<int>(sizeof(SOCKADDR_IN))) return Fail(WSAEFAULT), false;
        SOCKADDR_IN in;
        std::memcpy(static_cast<void*>(&in), static_cast<const void*>(name), sizeof in);
        if (in.sin_family != WS_AF_INET) return Fail(WSAEAFNOSUPPORT), false;
        out.sin_port = in.sin_port;
        out.sin_addr.s_addr = in.sin_addr;
        return true;
    }
    if (namelen < static_cast<int>(sizeof(SOCKADDR_IPX))) return Fail(WSAEFAULT), false;
    SOCKADDR_IPX ipx;
    std::memcpy(static_cast<void*>(&ipx), static_cast<const void*>(name), sizeof ipx);
    if (ipx.sa_family != WS_AF_IPX) return Fail(WSAEAFNOSUPPORT), false;
    static constexpr std::uint8_t zeroNet[4] = {};
    bool netOk = std::memcmp(ipx.sa_netnum, zeroNet, 4) == 0 || std::memcmp(ipx.sa_netnum, kIpxNetwork, 4) == 0;
    if (!netOk || !IpxNodeIsLocal(ipx.sa_nodenum, allowBroadcast)) return Fail(WSAENETUNREACH), false;
    out.sin_port = ipx.sa_socket;
    out.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    return true;
}

int FromHost(int af, const sockaddr_in& in, SOCKADDR* name, int* namelen) {
    if (name == nullptr || namelen == nullptr) return 0;
    if (af == WS_AF_INET) {
        if (*namelen < static_cast<int>(sizeof(SOCKADDR_IN))) return Fail(WSAEFAULT);
        SOCKADDR_IN out;
        out.sin_port = in.sin_port;
        out.sin_addr = in.sin_addr.s_addr;
        std::memcpy(static_cast<void*>(name), static_cast<const void*>(&out), sizeof out);
        *namelen = sizeof out;
        return 0;
    }
    if (*namelen < static_cast<int>(sizeof(SOCKADDR_IPX))) return Fail(WSAEFAULT);
    SOCKADDR_IPX out;
    std::memcpy(out.sa_netnum, kIpxNetwork, 4);
    std::memcpy(out.sa_nodenum, kIpxNode, 6);
    out.sa_socket = in.sin_port;
    std::memcpy(static_cast<void*>(name), static_cast<const void*>(&out), sizeof out);
    *namelen = sizeof out;
    return 0;
}

thread_local HOSTENT tlsHost;

}  // namespace

void LocalIpxNetwork(std::uint8_t out[4]) { std::memcpy(out, kIpxNetwork, 4); }
void LocalIpxNode(std::uint8_t out[6]) { std::memcpy(out, kIpxNode, 6); }

int WSAStartup(std::uint16_t version) {
    int major = version & 0xFF, minor = version >> 8;
    if (major < 1 || (major == 1 && minor < 1)) return WSAEINVAL;
    auto& r = Reg();
    std::lock_guard<std::mutex> g(r.mutex);
    ++r.started;
    return 0;
}

int WSACleanup() {
    auto& r = Reg();
    std::lock_guard<std::mutex> g(r.mutex);
    if (r.started == 0) return Fail(WSANOTINITIALISED);
    --r.started;
    return 0;
}

int WSAGetLastError() { return tlsLastError; }
void WSASetLastError(int error) { tlsLastError = error; }

SOCKET socket(int af, int type, int protocol) {
    auto& r = Reg();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        if (r.started == 0) return Fail(WSANOTINITIALISED), INVALID_SOCKET;
    }
    if (af != WS_AF_INET && af != WS_AF_IPX) return Fail(WSAEAFNOSUPPORT), INVALID_SOCKET;
    if (type != WS_SOCK_STREAM && type != WS_SOCK_DGRAM) return Fail(WSAESOCKTNOSUPPORT), INVALID_SOCKET;
    if (af == WS_AF_IPX) {
        int want = type == WS_SOCK_STREAM ? WS_NSPROTO_SPXII : WS_NSPROTO_IPX;
        if (protocol != want && !(type == WS_SOCK_DGRAM && protocol >= WS_NSPROTO_IPX && protocol < WS_NSPROTO_IPX + 256))
            return Fail(WSAEPROTONOSUPPORT), INVALID_SOCKET;
    } else if (protocol != 0 && protocol != (type == WS_SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP)) {
        return Fail(WSAEPROTONOSUPPORT), INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, (type == WS_SOCK_STREAM ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (fd < 0) return FailErrno(), INVALID_SOCKET;
    if (type == WS_SOCK_STREAM) {
        // A server restarted at once must get its port back.
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    std::lock_guard<std::mutex> g(r.mutex);
    SOCKET h = r.next++;
    if (r.next == INVALID_SOCKET) r.next = 1;
    Entry e;
    e.fd = fd;
    e.af = af;
    e.type = type;
    r.sockets[h] = e;
    return h;
}

int bind(SOCKET s, const SOCKADDR* name, int namelen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    sockaddr_in a;
    if (!ToHost(e.af, name, namelen, a, false)) return SOCKET_ERROR;
    if (::bind(e.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return FailErrno();
    return 0;
}

int listen(SOCKET s, int backlog) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (e.type != WS_SOCK_STREAM) return Fail(WSAEOPNOTSUPP);
    if (::listen(e.fd, backlog) != 0) return FailErrno();
    Update(s, [](Entry& x) {
        x.listening = true;
        x.armAccept = true;
    });
    return 0;
}

SOCKET accept(SOCKET s, SOCKADDR* addr, int* addrlen) {
    Entry e;
    if (!Lookup(s, e)) return INVALID_SOCKET;
    Update(s, [](Entry& x) { x.armAccept = true; });
    sockaddr_in a{};
    socklen_t len = sizeof a;
    int fd = ::accept4(e.fd, reinterpret_cast<sockaddr*>(&a), &len, SOCK_CLOEXEC);
    if (fd < 0) return FailErrno(), INVALID_SOCKET;
    if (FromHost(e.af, a, addr, addrlen) != 0) {
        ::close(fd);
        return INVALID_SOCKET;
    }
    auto& r = Reg();
    std::lock_guard<std::mutex> g(r.mutex);
    SOCKET h = r.next++;
    Entry n;
    n.fd = fd;
    n.af = e.af;
    n.type = WS_SOCK_STREAM;
    // The accepted socket takes the listening socket's selection, as the
    // real API does.
    n.wnd = e.wnd;
    n.msg = e.msg;
    n.mask = e.mask;
    n.armRead = n.armWrite = true;
    n.connected = true;
    if (e.wnd != 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    r.sockets[h] = n;
    r.Wake();
    return h;
}

int connect(SOCKET s, const SOCKADDR* name, int namelen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    sockaddr_in a;
    if (!ToHost(e.af, name, namelen, a, false)) return SOCKET_ERROR;
    int rc = ::connect(e.fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int err = rc == 0 ? 0 : errno;
    if (rc == 0 && ConnectedToItself(e.fd)) {
        ::shutdown(e.fd, SHUT_RDWR);
        rc = -1;
        err = ECONNREFUSED;
    }
    // Only now is there a connect for the watcher to see end, which it
    // reports as FD_CONNECT.
    if ((rc == 0 || err == EINPROGRESS) && e.type == WS_SOCK_STREAM) Update(s, [](Entry& x) { x.connecting = true; });
    if (rc == 0) return 0;
    return Fail(MapErrno(err));
}

int send(SOCKET s, const void* buf, int len, int /*flags*/) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (len < 0 || (len > 0 && buf == nullptr)) return Fail(WSAEFAULT);
    ssize_t n = ::send(e.fd, buf, static_cast<std::size_t>(len), MSG_NOSIGNAL);
    if (n < 0) {
        int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK) Update(s, [](Entry& x) { x.armWrite = true; });
        return Fail(MapErrno(err));
    }
    return static_cast<int>(n);
}

int recv(SOCKET s, void* buf, int len, int /*flags*/) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (len < 0 || (len > 0 && buf == nullptr)) return Fail(WSAEFAULT);
    ssize_t n = ::recv(e.fd, buf, static_cast<std::size_t>(len), 0);
    int err = errno;
    Update(s, [](Entry& x) { x.armRead = true; });
    if (n < 0) return Fail(MapErrno(err));
    return static_cast<int>(n);
}

int sendto(SOCKET s, const void* buf, int len, int /*flags*/, const SOCKADDR* to, int tolen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (len < 0 || (len > 0 && buf == nullptr)) return Fail(WSAEFAULT);
    sockaddr_in a;
    if (!ToHost(e.af, to, tolen, a, true)) return SOCKET_ERROR;
    ssize_t n = ::sendto(e.fd, buf, static_cast<std::size_t>(len), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a),
                         sizeof a);
    if (n < 0) return FailErrno();
    return static_cast<int>(n);
}

int recvfrom(SOCKET s, void* buf, int len, int /*flags*/, SOCKADDR* from, int* fromlen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (len < 0 || (len > 0 && buf == nullptr)) return Fail(WSAEFAULT);
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    // A datagram longer than the buffer is cut, as the real API does (it
    // also reports WSAEMSGSIZE; the bytes that fit are what callers use).
    ssize_t n = ::recvfrom(e.fd, buf, static_cast<std::size_t>(len), 0, reinterpret_cast<sockaddr*>(&a), &alen);
    int err = errno;
    Update(s, [](Entry& x) { x.armRead = true; });
    if (n < 0) return Fail(MapErrno(err));
    if (FromHost(e.af, a, from, fromlen) != 0) return SOCKET_ERROR;
    return static_cast<int>(n);
}

int shutdown(SOCKET s, int how) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    int h = how == WS_SD_RECEIVE ? SHUT_RD : how == WS_SD_SEND ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(e.fd, h) != 0) return FailErrno();
    return 0;
}

int closesocket(SOCKET s) {
    auto& r = Reg();
    int fd;
    {
        std::unique_lock<std::mutex> g(r.mutex);
        auto it = r.sockets.find(s);
        if (it == r.sockets.end()) return Fail(WSAENOTSOCK);
        fd = it->second.fd;
        r.sockets.erase(it);
        if (r.polling && std::this_thread::get_id() != r.watcher.get_id()) {
            std::uint64_t before = r.round;
            r.Wake();
            r.roundDone.wait(g, [&] { return r.round != before || r.stop; });
        }
    }
    ::close(fd);
    return 0;
}

int ioctlsocket(SOCKET s, long cmd, std::uint32_t* argp) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (argp == nullptr) return Fail(WSAEFAULT);
    if (cmd == WS_FIONREAD) {
        int n = 0;
        if (::ioctl(e.fd, FIONREAD, &n) != 0) return FailErrno();
        *argp = static_cast<std::uint32_t>(n < 0 ? 0 : n);
        return 0;
    }
    if (cmd == WS_FIONBIO) {
        int fl = ::fcntl(e.fd, F_GETFL);
        ::fcntl(e.fd, F_SETFL, *argp ? (fl | O_NONBLOCK) : (fl & ~O_NONBLOCK));
        return 0;
    }
    return Fail(WSAEINVAL);
}

int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (optval == nullptr || optlen < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
    int v;
    std::memcpy(&v, optval, sizeof v);
    int rc;
    if (level == WS_SOL_SOCKET && optname == WS_SO_BROADCAST)
        rc = ::setsockopt(e.fd, SOL_SOCKET, SO_BROADCAST, &v, sizeof v);
    else if (level == WS_IPPROTO_TCP && optname == WS_TCP_NODELAY && e.type == WS_SOCK_STREAM)
        rc = ::setsockopt(e.fd, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v);
    else
        return Fail(10042);  // WSAENOPROTOOPT
    return rc == 0 ? 0 : FailErrno();
}

int getsockopt(SOCKET s, int level, int optname, void* optval, int* optlen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (optval == nullptr || optlen == nullptr) return Fail(WSAEFAULT);
    if (level == WS_NSPROTO_IPX && optname == WS_IPX_ADDRESS) {
        if (e.af != WS_AF_IPX) return Fail(10042);
        if (*optlen < static_cast<int>(sizeof(IPX_ADDRESS_DATA))) return Fail(WSAEFAULT);
        IPX_ADDRESS_DATA d;
        IPX_ADDRESS_DATA in;
        std::memcpy(&in, optval, sizeof in);
        if (in.adapternum != 0) return Fail(WSAEINVAL);  // one adapter
        LocalIpxNetwork(d.netnum);
        LocalIpxNode(d.nodenum);
        std::memcpy(optval, &d, sizeof d);
        *optlen = sizeof d;
        return 0;
    }
    if (*optlen < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
    int v = 0;
    socklen_t len = sizeof v;
    int rc;
    if (level == WS_SOL_SOCKET && optname == WS_SO_BROADCAST)
        rc = ::getsockopt(e.fd, SOL_SOCKET, SO_BROADCAST, &v, &len);
    else if (level == WS_SOL_SOCKET && optname == WS_SO_ERROR)
        rc = ::getsockopt(e.fd, SOL_SOCKET, SO_ERROR, &v, &len), v = MapErrno(v);
    else if (level == WS_SOL_SOCKET && optname == WS_SO_TYPE)
        rc = 0, v = e.type;
    else if (level == WS_IPPROTO_TCP && optname == WS_TCP_NODELAY && e.type == WS_SOCK_STREAM)
        rc = ::getsockopt(e.fd, IPPROTO_TCP, TCP_NODELAY, &v, &len);
    else
        return Fail(10042);
    if (rc != 0) return FailErrno();
    std::memcpy(optval, &v, sizeof v);
    *optlen = sizeof v;
    return 0;
}

int getsockname(SOCKET s, SOCKADDR* name, int* namelen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (name == nullptr || namelen == nullptr) return Fail(WSAEFAULT);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(e.fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return FailErrno();
    return FromHost(e.af, a, name, namelen);
}

int getpeername(SOCKET s, SOCKADDR* name, int* namelen) {
    Entry e;
    if (!Lookup(s, e)) return SOCKET_ERROR;
    if (name == nullptr || namelen == nullptr) return Fail(WSAEFAULT);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getpeername(e.fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return FailErrno();
    return FromHost(e.af, a, name, namelen);
}

int WSAAsyncSelect(SOCKET s, HWND wnd, UINT msg, long mask) {
    auto& r = Reg();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        auto it = r.sockets.find(s);
        if (it == r.sockets.end()) return Fail(WSAENOTSOCK);
        Entry& e = it->second;
        ::fcntl(e.fd, F_SETFL, ::fcntl(e.fd, F_GETFL) | O_NONBLOCK);
        e.wnd = mask ? wnd : 0;
        e.msg = msg;
        e.mask = mask;
        e.armRead = e.armAccept = e.armWrite = true;
        if (mask) r.EnsureWatcher();
    }
    r.Wake();
    return 0;
}

int gethostname(char* name, int namelen) {
    if (name == nullptr || namelen <= 0) return Fail(WSAEFAULT);
    if (::gethostname(name, static_cast<std::size_t>(namelen)) != 0) return FailErrno();
    name[namelen - 1] = '\0';
    return 0;
}

const HOSTENT* gethostbyname(const char* name) {
    if (name == nullptr || *name == '\0') return Fail(WSAHOST_NOT_FOUND), nullptr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) return Fail(WSAHOST_NOT_FOUND), nullptr;
    tlsHost = HOSTENT{};
    tlsHost.h_name = res->ai_canonname ? res->ai_canonname : name;
    for (addrinfo* p = res; p; p = p->ai_next) {
        std::uint32_t a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (auto x : tlsHost.h_addr_list) seen = seen || x == a;
        if (!seen) tlsHost.h_addr_list.push_back(a);
    }
    ::freeaddrinfo(res);
    return &tlsHost;
}

const HOSTENT* gethostbyaddr(const void* addr, int len, int type) {
    if (addr == nullptr || len < 4 || type != WS_AF_INET) return Fail(WSAEFAULT), nullptr;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    std::memcpy(&a.sin_addr.s_addr, addr, 4);
    char host[256];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&a), sizeof a, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return Fail(WSAHOST_NOT_FOUND), nullptr;
    tlsHost = HOSTENT{};
    tlsHost.h_name = host;
    tlsHost.h_addr_list.push_back(a.sin_addr.s_addr);
    return &tlsHost;
}

std::uint32_t inet_addr(const char* cp) {
    if (cp == nullptr) return WS_INADDR_NONE;
    std::uint8_t bytes[4];
    int part = 0;
    const char* p = cp;
    while (part < 4) {
        if (*p < '0' || *p > '9') return WS_INADDR_NONE;
        unsigned v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<unsigned>(*p - '0');
            if (++digits > 3 || v > 255) return WS_INADDR_NONE;
            ++p;
        }
        bytes[part++] = static_cast<std::uint8_t>(v);
        if (part < 4) {
            if (*p != '.') return WS_INADDR_NONE;
            ++p;
        }
    }
    if (*p != '\0') return WS_INADDR_NONE;
    std::uint32_t out;
    std::memcpy(&out, bytes, 4);
    return out;
}

std::string inet_ntoa(std::uint32_t addr) {
    std::uint8_t b[4];
    std::memcpy(b, &addr, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

std::uint16_t htons(std::uint16_t v) { return ::htons(v); }
std::uint16_t ntohs(std::uint16_t v) { return ::ntohs(v); }
std::uint32_t htonl(std::uint32_t v) { return ::htonl(v); }
std::uint32_t ntohl(std::uint32_t v) { return ::ntohl(v); }

int OpenSocketCount() {
    auto& r = Reg();
    std::lock_guard<std::mutex> g(r.mutex);
    return static_cast<int>(r.sockets.size());
}

}  // namespace plat
