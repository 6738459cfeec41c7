// The NetBIOS transport: the engine's packets over NetBIOS sessions and its
// discovery over NetBIOS datagrams, on every LAN adapter (LANA) at once.
// Commands are issued asynchronously; each completion comes back to the
// transport's hidden window as message 5104 and is handled there, so all
// connection changes happen on the window's thread.
//
// Completion: an asynchronous command gets an event and a short-lived thread
// that waits for it and posts 5104 (a command without a window only gets its
// done flag set). The number of such threads is bounded; beyond the bound a
// command completes through a post routine that posts the same message.
// Threads and post routines hold the command block alive until they are
// done with it, so a block the transport gave up on is never written freed.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/comms/comms_protocol.h"
#include "platform/net/netbios.h"
#include "platform/win/win_types.h"

namespace qv {

constexpr std::uint32_t kQvWmNCBComplete = 5104;
constexpr std::uint32_t kQvNetBIOSDatagramSize = 128;
constexpr std::int32_t kQvNetBIOSCallTimeoutMs = 5000;

// A command block: the platform's NCB followed by the engine's fields. The
// NCB comes first so that a post routine can find the rest from it.
struct TqvNCB {
    plat::NCB ncb;
    plat::HWND notifyWindow = 0;
    std::uint32_t savedLength = 0;
    std::atomic<std::uint8_t> done{0};
    std::vector<std::uint8_t> buffer;  // the command's data, owned with it
};
using TqvNCBRef = std::shared_ptr<TqvNCB>;

// Zero-fills, blank-fills both names, sets the LANA.
void NCBInit(plat::NCB& ncb, std::uint8_t lana);
// A 16-byte NetBIOS name: the text cut to 16 and padded with blanks.
void PutNetBIOSName(std::uint8_t* field, std::string_view name);
// "QVC_" and 11 random capital letters.
std::string MakeClientName();
// The name a server registers: its name up to the first dot, at most 15.
std::string ServerNetBIOSName(std::string_view serverName);
bool IsNetBIOSInstalled();

class TqvNetBIOSProtocol;

class TqvNetBIOSConnection : public TqvConnection {
public:
    TqvNetBIOSConnection(TqvNetBIOSProtocol* owner, std::uint8_t lsn, std::uint8_t lana, plat::HWND wnd);
    ~TqvNetBIOSConnection() override;

    std::uint8_t lsn;
    std::uint8_t lana;
    plat::HWND notifyWindow;
    TqvNCBRef receiveNcb;
    TqvNCBRef sendNcb;
    bool closed = false;
};

class TqvNetBIOSProtocol : public TqvBaseCommsProtocol {
public:
    TqvNetBIOSProtocol(std::string_view name, std::uint8_t role);
    ~TqvNetBIOSProtocol() override;

    static std::unique_ptr<TqvBaseCommsProtocol> Create(std::string_view name, std::uint8_t role);

    void StartUp() override;
    void Call(std::string_view serverName, std::uint32_t& connId) override;
    void HangUp(std::uint32_t connId) override;
    void Listen() override;
    std::intptr_t Send(std::uint32_t connId, const void* data, std::uint32_t len) override;
    void StartDatagrams() override;
    void SendDatagram(std::string_view target, const void* data, std::uint32_t len) override;
    void StopDatagrams() override;
    void Breathe() override;

    plat::HWND NotifyWindow() const { return notifyWindow_; }
    const std::vector<std::uint8_t>& Lanas() const { return lanas_; }
    std::uint8_t LanaOf(std::uint32_t connId);

    // Breathes until the command completed or `ms` passed (-1: no limit).
    void WaitNCB(TqvNCB& ncb, std::int32_t ms);
    // Cancels a pending command and breathes until its done flag is set,
    // forcing the flag after 500 ms.
    void CancelAndWait(const TqvNCBRef& ncb);

    // The bound on completion threads, process-wide, and how many run now.
    static std::atomic<int>& MaxWaitThreads();
    static int ActiveWaitThreads();

private:
    friend class TqvNetBIOSConnection;
    TqvNCBRef NewNCB(std::uint8_t command, std::uint8_t lana, plat::HWND wnd, std::size_t bufferSize);
    void Forget(const TqvNCBRef& ncb);
    // Submits with completion arranged; answers the immediate return code.
    std::uint8_t Issue(const TqvNCBRef& ncb);
    void StartReceive(TqvNetBIOSConnection* conn);
    void IssueListen(std::uint8_t lanaIndex);
    void CloseConnection(TqvNetBIOSConnection* conn);
    void NetBIOSWndProc(plat::TMessage& msg);
    TqvNetBIOSConnection* FindByReceive(const TqvNCB* ncb);

    TqvNCBRef general_;
    std::vector<std::uint8_t> lanas_;
    int namesAdded_ = 0;
    std::vector<std::uint8_t> nameNumbers_;  // per LANA index
    std::string ownName_;
    std::uint8_t listening_ = 0;
    std::uint8_t datagramsOpen_ = 0;
    std::vector<TqvNCBRef> listenNcbs_;
    // Per LANA index: receive, receive broadcast, send, send broadcast.
    std::vector<TqvNCBRef> dgReceive_, dgReceiveBc_, dgSend_, dgSendBc_;
    plat::HWND notifyWindow_ = 0;
    // Every block this transport still owns, by address: 5104 names a block
    // by address, and one no longer here is a late completion to ignore.
    std::map<const TqvNCB*, TqvNCBRef> live_;
};

}  // namespace qv
