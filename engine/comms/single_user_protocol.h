// The single-user transport: client and server of one process exchange
// packets as window messages between two hidden windows.
//
// A client finds a server by sending the search message 5110 to every
// top-level window (or only to the one server window it was told to use); a
// listening server's window answers 20822 and accepts.
// Packets then travel as message 5109 whose second parameter is the address
// of a transport record in the sender's memory; the receiver descrambles the
// packet in place before SendMessage returns, so the sender reuses its buffer
// only afterwards. The window registry is local to the process, so only
// transports of the same process can ever meet.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/comms/comms_protocol.h"
#include "platform/win/win_types.h"

namespace qv {

// What 5109 points at; it lives in the sender's memory for the duration of
// the synchronous send and never leaves the process.
struct TqvSingleUserRecord {
    std::uint32_t kind = 0;    // kQvRecordData or kQvRecordHangUp
    std::uint32_t length = 0;  // 0 for a hang-up
    std::uint8_t* data = nullptr;
};

class TqvSingleUserProtocol;

class TqvSingleUserConnection : public TqvConnection {
public:
    TqvSingleUserConnection(TqvBaseCommsProtocol* owner, plat::HWND partnerWindow, plat::HWND ownWindow);
    // Tells a partner still there that this end is gone, unless the partner
    // said so first.
    ~TqvSingleUserConnection() override;

    plat::HWND partnerWindow;
    plat::HWND ownWindow;
    std::uint8_t partnerGone = 0;
    std::unique_ptr<std::array<std::uint8_t, kQvMaxPacketSize>> sendBuffer;
};

class TqvSingleUserProtocol : public TqvBaseCommsProtocol {
public:
    TqvSingleUserProtocol(std::string_view name, std::uint8_t role);
    ~TqvSingleUserProtocol() override;

    static std::unique_ptr<TqvBaseCommsProtocol> Create(std::string_view name, std::uint8_t role);

    void StartUp() override {}
    void Call(std::string_view serverName, std::uint32_t& connId) override;
    void HangUp(std::uint32_t connId) override;
    void Listen() override {}
    std::intptr_t Send(std::uint32_t connId, const void* data, std::uint32_t len) override;
    void StartDatagrams() override { datagrams_ = 1; }
    void SendDatagram(std::string_view, const void*, std::uint32_t) override {}
    void StopDatagrams() override { datagrams_ = 0; }
    void Breathe() override;
    bool IsSingleUser() const override { return true; }

    plat::HWND NotifyWindow() const { return notifyWindow_; }
    // A client that started its own server names that server's window: Call
    // then asks that window only, never another server of the process
    // (several sessions each run one). 0 keeps the search of every window.
    void SetServerWindow(plat::HWND wnd) { serverWindow_ = wnd; }
    bool DatagramsOn() const { return datagrams_ != 0; }

private:
    void SingleUserWndProc(plat::TMessage& msg);
    TqvSingleUserConnection* FindByPartner(plat::HWND partner);

    std::uint32_t searchMessage_ = kQvWmSingleUserSearch;
    std::uint8_t datagrams_ = 0;
    plat::HWND notifyWindow_ = 0;
    plat::HWND serverWindow_ = 0;
};

}  // namespace qv
