#include "platform/net/winsock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win/message_queue.h"

using namespace plat;

namespace {

constexpr UINT kEventMsg = WM_USER + 77;

struct Event {
    SOCKET s;
    int event;
    int error;
};

// A window that records the socket events posted to it.
struct EventWindow {
    HWND wnd = 0;
    std::vector<Event> events;
    EventWindow() {
        wnd = AllocateHWnd([this](TMessage& m) {
            if (m.Msg == kEventMsg)
                events.push_back({static_cast<SOCKET>(m.WParam), WSAGETSELECTEVENT(m.LParam),
                                  WSAGETSELECTERROR(m.LParam)});
        });
    }
    ~EventWindow() { DeallocateHWnd(wnd); }
    int Count(SOCKET s, int event) const {
        int n = 0;
        for (const Event& e : events) n += e.s == s && e.event == event;
        return n;
    }
    // Pumps until an event of that kind for s arrived (bounded).
    bool WaitFor(SOCKET s, int event, int count = 1) {
        for (int i = 0; i < 2000; ++i) {
            ProcessMessages();
            if (Count(s, event) >= count) return true;
            WaitMessage(2);
        }
        return false;
    }
    // Pumps a while to let stray events show up.
    void Settle() {
        for (int i = 0; i < 40; ++i) {
            ProcessMessages();
            WaitMessage(2);
        }
    }
};

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BindMessageThread());
        ASSERT_EQ(WSAStartup(0x0101), 0);
    }
    void TearDown() override {
        WSACleanup();
        ProcessMessages();
    }
};

SOCKADDR_IN Loopback(std::uint16_t port) {
    SOCKADDR_IN a;
    a.sin_addr = inet_addr("127.0.0.1");
    a.sin_port = htons(port);
    return a;
}

std::uint16_t PortOf(SOCKET s) {
    SOCKADDR_IN a;
    int len = sizeof a;
    EXPECT_EQ(getsockname(s, reinterpret_cast<SOCKADDR*>(&a), &len), 0);
    return ntohs(a.sin_port);
}

TEST(WinsockAddressText, DottedAddressesConvertBothWays) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {{"127.0.0.1", true}, {"10.20.30.40", true}, {"255.255.255.254", true},
                 {"256.0.0.1", false}, {"1.2.3", false},      {"1.2.3.4.5", false},
                 {"1.2.3.x", false},   {"", false},           {"1..2.3", false},
                 {"0001.2.3.4", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t a = inet_addr(c.text);
        EXPECT_EQ(a != WS_INADDR_NONE, c.ok);
        if (c.ok) {
            EXPECT_EQ(inet_ntoa(a), c.text);
        }
    }
    // Network order: the first byte of the text is the first byte in memory.
    std::uint32_t a = inet_addr("127.0.0.1");
    std::uint8_t b[4];
    std::memcpy(b, &a, 4);
    EXPECT_EQ(b[0], 127);
    EXPECT_EQ(b[3], 1);
}

TEST_F(WinsockTest, StreamEventsArriveOnceEachUntilConsumed) {
    EventWindow win;
    SOCKET server = socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_NE(server, INVALID_SOCKET);
    SOCKADDR_IN any = Loopback(0);
    ASSERT_EQ(bind(server, reinterpret_cast<SOCKADDR*>(&any), sizeof any), 0);
    ASSERT_EQ(WSAAsyncSelect(server, win.wnd, kEventMsg, FD_ACCEPT), 0);
    ASSERT_EQ(listen(server, 5), 0);

    SOCKET client = socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_EQ(WSAAsyncSelect(client, win.wnd, kEventMsg, FD_CONNECT | FD_READ | FD_CLOSE), 0);
    SOCKADDR_IN to = Loopback(PortOf(server));
    int rc = connect(client, reinterpret_cast<SOCKADDR*>(&to), sizeof to);
    EXPECT_TRUE(rc == 0 || WSAGetLastError() == WSAEWOULDBLOCK);
    ASSERT_TRUE(win.WaitFor(client, FD_CONNECT));
    ASSERT_TRUE(win.WaitFor(server, FD_ACCEPT));
    SOCKET accepted = accept(server, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    ASSERT_EQ(WSAAsyncSelect(accepted, win.wnd, kEventMsg, FD_READ | FD_WRITE | FD_CLOSE), 0);
    EXPECT_TRUE(win.WaitFor(accepted, FD_WRITE));

    // Two sends, one read event until recv consumes.
    ASSERT_EQ(send(client, "abc", 3, 0), 3);
    ASSERT_TRUE(win.WaitFor(accepted, FD_READ));
    ASSERT_EQ(send(client, "de", 2, 0), 2);
    win.Settle();
    EXPECT_EQ(win.Count(accepted, FD_READ), 1);
    char buf[16];
    EXPECT_EQ(recv(accepted, buf, 2, 0), 2);
    ASSERT_TRUE(win.WaitFor(accepted, FD_READ, 2));  // more pending: posted again
    EXPECT_EQ(recv(accepted, buf, sizeof buf, 0), 3);
    EXPECT_EQ(std::string(buf, 3), "cde");
    EXPECT_EQ(recv(accepted, buf, sizeof buf, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    // The peer closes: FD_CLOSE once, then recv reports the end.
    closesocket(client);
    ASSERT_TRUE(win.WaitFor(accepted, FD_CLOSE));
    win.Settle();
    EXPECT_EQ(win.Count(accepted, FD_CLOSE), 1);
    EXPECT_EQ(recv(accepted, buf, sizeof buf, 0), 0);
    closesocket(accepted);
    closesocket(server);
}

TEST_F(WinsockTest, ARefusedConnectReportsItsError) {
    EventWindow win;
    SOCKET probe = socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    SOCKADDR_IN any = Loopback(0);
    ASSERT_EQ(bind(probe, reinterpret_cast<SOCKADDR*>(&any), sizeof any), 0);
    std::uint16_t port = PortOf(probe);
    closesocket(probe);  // nothing listens there now

    SOCKET s = socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_EQ(WSAAsyncSelect(s, win.wnd, kEventMsg, FD_CONNECT), 0);
    SOCKADDR_IN to = Loopback(port);
    int rc = connect(s, reinterpret_cast<SOCKADDR*>(&to), sizeof to);
    if (rc == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        ASSERT_TRUE(win.WaitFor(s, FD_CONNECT));
        EXPECT_EQ(win.events.back().error, WSAECONNREFUSED);
    } else {
        EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    }
    closesocket(s);
}

TEST_F(WinsockTest, HandlesAreNeverReusedAndClosedOnesAreRefused) {
    int before = OpenSocketCount();
    SOCKET a = socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    ASSERT_EQ(closesocket(a), 0);
    SOCKET b = socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    EXPECT_NE(a, b);
    char buf[4];
    EXPECT_EQ(recv(a, buf, 4, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(closesocket(a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    closesocket(b);
    EXPECT_EQ(OpenSocketCount(), before);
    EXPECT_EQ(socket(99, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
    EXPECT_EQ(socket(WS_AF_IPX, WS_SOCK_STREAM, WS_NSPROTO_IPX), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEPROTONOSUPPORT);
}

TEST_F(WinsockTest, IpxStandInReachesThisNodeOnly) {
    SOCKET rx = socket(WS_AF_IPX, WS_SOCK_DGRAM, WS_NSPROTO_IPX);
    ASSERT_NE(rx, INVALID_SOCKET);
    SOCKADDR_IPX zero;
    ASSERT_EQ(bind(rx, reinterpret_cast<SOCKADDR*>(&zero), sizeof zero), 0);
    IPX_ADDRESS_DATA data;
    int len = sizeof data;
    ASSERT_EQ(getsockopt(rx, WS_NSPROTO_IPX, WS_IPX_ADDRESS, &data, &len), 0);
    std::uint8_t net[4], node[6];
    LocalIpxNetwork(net);
    LocalIpxNode(node);
    EXPECT_EQ(std::memcmp(data.netnum, net, 4), 0);
    EXPECT_EQ(std::memcmp(data.nodenum, node, 6), 0);
    SOCKADDR_IPX bound;
    len = sizeof bound;
    ASSERT_EQ(getsockname(rx, reinterpret_cast<SOCKADDR*>(&bound), &len), 0);
    EXPECT_EQ(std::memcmp(bound.sa_nodenum, node, 6), 0);

    SOCKET tx = socket(WS_AF_IPX, WS_SOCK_DGRAM, WS_NSPROTO_IPX);
    struct Case {
        bool broadcast;
        std::uint8_t nodeByte;
        bool reaches;
    } cases[] = {{true, 0xFF, true}, {false, 0, true}, {false, 0x33, false}};
    for (const Case& c : cases) {
        SOCKADDR_IPX to;
        if (c.broadcast) {
            std::memset(to.sa_nodenum, 0xFF, 6);
        } else if (c.nodeByte == 0) {
            std::memcpy(to.sa_netnum, net, 4);
            std::memcpy(to.sa_nodenum, node, 6);
        } else {
            std::memset(to.sa_nodenum, c.nodeByte, 6);
        }
        to.sa_socket = bound.sa_socket;
        int rc = sendto(tx, "ping", 4, 0, reinterpret_cast<SOCKADDR*>(&to), sizeof to);
        if (!c.reaches) {
            EXPECT_EQ(rc, SOCKET_ERROR);
            EXPECT_EQ(WSAGetLastError(), WSAENETUNREACH);
            continue;
        }
        ASSERT_EQ(rc, 4);
        char buf[16];
        SOCKADDR_IPX from;
        int fromLen = sizeof from;
        ASSERT_EQ(recvfrom(rx, buf, sizeof buf, 0, reinterpret_cast<SOCKADDR*>(&from), &fromLen), 4);
        EXPECT_EQ(std::memcmp(from.sa_nodenum, node, 6), 0);
    }
    closesocket(tx);
    closesocket(rx);
}

TEST_F(WinsockTest, SpxStreamsConnectByIpxAddress) {
    SOCKET server = socket(WS_AF_IPX, WS_SOCK_STREAM, WS_NSPROTO_SPXII);
    SOCKADDR_IPX any;
    ASSERT_EQ(bind(server, reinterpret_cast<SOCKADDR*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(server, 5), 0);
    SOCKADDR_IPX at;
    int len = sizeof at;
    ASSERT_EQ(getsockname(server, reinterpret_cast<SOCKADDR*>(&at), &len), 0);
    SOCKET client = socket(WS_AF_IPX, WS_SOCK_STREAM, WS_NSPROTO_SPXII);
    ASSERT_EQ(connect(client, reinterpret_cast<SOCKADDR*>(&at), sizeof at), 0);
    SOCKET accepted = accept(server, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    ASSERT_EQ(send(client, "spx", 3, 0), 3);
    char buf[8];
    EXPECT_EQ(recv(accepted, buf, sizeof buf, 0), 3);
    closesocket(accepted);
    closesocket(client);
    closesocket(server);
}

}  // namespace
