#include "engine/comms/single_user_protocol.h"

#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_exceptions.h"
#include "engine/base/string_resource.h"
#include "platform/win/message_queue.h"

namespace qv {

TqvSingleUserConnection::TqvSingleUserConnection(TqvBaseCommsProtocol* owner_, plat::HWND partner, plat::HWND own)
    : TqvConnection(owner_),
      partnerWindow(partner),
      ownWindow(own),
      sendBuffer(std::make_unique<std::array<std::uint8_t, kQvMaxPacketSize>>()) {}

TqvSingleUserConnection::~TqvSingleUserConnection() {
    if (!partnerGone && plat::IsWindow(partnerWindow)) {
        TqvSingleUserRecord record;
        record.kind = kQvRecordHangUp;
        plat::SendMessage(partnerWindow, kQvWmSingleUserPacket, ownWindow, reinterpret_cast<plat::LPARAM>(&record));
    }
}

TqvSingleUserProtocol::TqvSingleUserProtocol(std::string_view name, std::uint8_t role)
    : TqvBaseCommsProtocol(name, role) {
    notifyWindow_ = plat::AllocateHWnd([this](plat::TMessage& m) { SingleUserWndProc(m); });
    if (notifyWindow_ == 0) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 128);
}

TqvSingleUserProtocol::~TqvSingleUserProtocol() {
    plat::DeallocateHWnd(notifyWindow_);
    // The base destructor frees the connections; each tells its partner.
}

std::unique_ptr<TqvBaseCommsProtocol> TqvSingleUserProtocol::Create(std::string_view name, std::uint8_t role) {
    return std::make_unique<TqvSingleUserProtocol>(name, role);
}

void TqvSingleUserProtocol::Call(std::string_view /*serverName*/, std::uint32_t& connId) {
    if (IsServer()) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 129);
    connId = 0;
    // The name is not looked at: the named server window, or else the first
    // listening server found, is taken.
    plat::HWND server = 0;
    if (serverWindow_ != 0) {
        if (plat::IsWindow(serverWindow_) &&
            plat::SendMessage(serverWindow_, searchMessage_, 0, static_cast<plat::LPARAM>(notifyWindow_)) ==
                kQvSearchAnswer)
            server = serverWindow_;
    } else {
        plat::EnumWindows(
            [&](plat::HWND wnd, plat::LPARAM) {
                if (plat::SendMessage(wnd, searchMessage_, 0, static_cast<plat::LPARAM>(notifyWindow_)) ==
                    kQvSearchAnswer) {
                    server = wnd;
                    return false;
                }
                return true;
            },
            0);
    }
    if (server == 0) return;
    auto* conn = new TqvSingleUserConnection(this, server, notifyWindow_);
    connId = conn->Id();
    AddConnection(conn);
}

void TqvSingleUserProtocol::HangUp(std::uint32_t connId) {
    TqvConnection* conn = FindConnection(connId);
    // Once per connection: the hang-up handler may itself ask for it again.
    if (!conn || conn->hangingUp) return;
    conn->hangingUp = true;
    DoHangUp(connId);
    RemoveConnection(connId);
}

std::intptr_t TqvSingleUserProtocol::Send(std::uint32_t connId, const void* data, std::uint32_t len) {
    auto* conn = static_cast<TqvSingleUserConnection*>(FindConnection(connId));
    if (!conn || !plat::IsWindow(conn->partnerWindow)) return 0;
    // A packet never exceeds the buffer; a longer one is refused, not cut.
    if (len > kQvMaxPacketSize || (len != 0 && data == nullptr)) return 0;
    TqvSingleUserRecord record;
    record.kind = kQvRecordData;
    record.length = len;
    if (len != 0) {
        std::uint8_t* buffer = conn->sendBuffer->data();
        std::memcpy(buffer, data, len);
        Scramble(buffer, len);
        record.data = buffer;
    }
    plat::HWND partner = conn->partnerWindow;
    plat::HWND own = conn->ownWindow;
    // The partner may hang this connection up while handling the packet, so
    // nothing of the connection is touched after the call.
    return plat::SendMessage(partner, kQvWmSingleUserPacket, own, reinterpret_cast<plat::LPARAM>(&record));
}

void TqvSingleUserProtocol::Breathe() {
    plat::MSG msg;
    if (plat::PeekMessage(msg, notifyWindow_, 0, 0, plat::PM_REMOVE)) {
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
    }
    TqvBaseCommsProtocol::Breathe();
}

TqvSingleUserConnection* TqvSingleUserProtocol::FindByPartner(plat::HWND partner) {
    // Every packet comes through here: one lock for the walk, no look-up by id.
    TqvPadLockGuard g(ConnectionLock());
    for (int i = 0;; ++i) {
        auto* conn = static_cast<TqvSingleUserConnection*>(ConnectionAtLocked(i));
        if (conn == nullptr) return nullptr;
        if (conn->partnerWindow == partner) return conn;
    }
}

void TqvSingleUserProtocol::SingleUserWndProc(plat::TMessage& msg) {
    if (msg.Msg == searchMessage_) {
        msg.Result = 0;
        auto caller = static_cast<plat::HWND>(msg.LParam);
        // Only a server accepts, and only a caller that is a window it can answer.
        if (!IsServer() || caller == 0 || caller == notifyWindow_ || !plat::IsWindow(caller)) return;
        auto* conn = new TqvSingleUserConnection(this, caller, notifyWindow_);
        std::uint32_t id = conn->Id();
        AddConnection(conn);
        msg.Result = kQvSearchAnswer;
        DoNewConnection(id);
        return;
    }
    if (msg.Msg == kQvWmSingleUserPacket) {
        msg.Result = 0;
        auto* record = reinterpret_cast<TqvSingleUserRecord*>(msg.LParam);
        if (record == nullptr) return;
        TqvSingleUserConnection* conn = FindByPartner(static_cast<plat::HWND>(msg.WParam));
        if (record->kind == kQvRecordData) {
            if (!conn) return;
            std::uint32_t len = record->length;
            if (len > kQvMaxPacketSize || (len != 0 && record->data == nullptr)) return;
            ReceiveData(conn->Id(), record->data, len);
        } else if (record->kind == kQvRecordHangUp) {
            if (!conn) return;
            conn->partnerGone = 1;
            HangUp(conn->Id());
        }
        return;
    }
    msg.Result = plat::DefWindowProc(notifyWindow_, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace qv
