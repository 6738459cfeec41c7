// The client end of the table engine's request/reply protocol. Each client
// session owns one: it starts a server inside this process (server engine,
// configuration from the system tables, server comms engine on the
// single-user transport, command handler) and connects to it. A request
// goes straight to that server's handler while its queue is idle; otherwise
// (and always for the attach, its key check and streamed requests) it is
// cut into packets, and the reply is waited for while the server's queue is
// served on the same thread. A request the server defers for a lock
// conflict is waited for the same way.
//
// Replies: an exchange takes only the reply that carries its own message id
// on its own connection. Whatever was queued before the request went out
// belongs to no one waiting and is dropped, so a late reply of an earlier
// exchange is never handed to a later one; a reply an enclosing exchange
// (one whose wait started this one) awaits is set aside for it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/base/qv_base.h"
#include "engine/comms/comms_protocol.h"
#include "engine/comms/data_message_queue.h"
#include "engine/comms/server_comms_engine.h"
#include "engine/server/server_engine.h"
#include "engine/server/system_tables.h"
#include "platform/core/streams.h"
#include "platform/win/win_types.h"

namespace qv {

// Results of the exchange itself.
constexpr DBIResult kQvErrCommsLost = 11276;       // time-out or loss while waiting
constexpr DBIResult kQvErrNotConnected = 11278;    // "Cannot locate or connect to network server."
constexpr DBIResult kQvErrOldServer = 12039;       // "Server is incompatible version."
constexpr DBIResult kQvErrUnknownUser = 10036;     // "Unknown user name or password."
constexpr std::uint32_t kQvOldestServerVersion = 10700;
constexpr std::uint32_t kQvReplyTimeoutMs = 30000;
constexpr std::uint16_t kQvRequestTimeoutMs = 10000;
constexpr const char* kQvInProcessServerName = "SingleEXE";

// Makes the command handler of the in-process server; tests put a scripted
// one in place of the request dispatcher.
using TqvCommandHandlerFactory =
    std::function<std::unique_ptr<TqvCommandHandlerBase>(TqvServerEngine&, TqvServerCommsEngine&)>;

// The keyword file the program was started with (its first parameter); the
// in-process server reads it after the system tables. Empty: none.
void SetServerKeywordFile(std::string_view path);
const std::string& ServerKeywordFile();

// Whether a request may go straight to the handler of an idle in-process
// server (the default). Off, every request travels as packets and its reply
// is waited for, as with a server that must be reached over a transport:
// tests of that path and of what runs inside the wait turn it off.
void SetHandOverToIdleServer(bool on);
bool HandOverToIdleServer();

class TqvClientCommsEngine {
public:
    // The transport is always the single-user one: the program serves itself.
    explicit TqvClientCommsEngine(std::string_view clientName);
    // Frees the transport, handler and server comms engine, writes the aliases
    // and settings back to their tables and frees the server engine. No
    // detach request is sent.
    ~TqvClientCommsEngine();
    TqvClientCommsEngine(const TqvClientCommsEngine&) = delete;
    TqvClientCommsEngine& operator=(const TqvClientCommsEngine&) = delete;

    // Starts the in-process server. An exception leaves nothing of the
    // server half-built and passes on.
    void StartInProcessServer(const TqvCommandHandlerFactory& makeHandler = {});

    DBIResult Attach(std::string_view serverName, std::string_view userName, std::string_view password);
    void Detach();
    bool IsConnected() const { return connectionId_ != 0; }

    // One request and its reply. The reply buffer receives at most replyLen
    // bytes; a reply carrying an error code copies nothing and answers it.
    DBIResult SendRequest(std::uint32_t msgId, const void* request, std::uint32_t requestLen, void* reply,
                          std::uint32_t replyLen);
    // The same with the request and/or the reply in streams, used from
    // position 0; a null stream means no data.
    DBIResult SendRequestStream(std::uint32_t msgId, plat::Stream* request, plat::Stream* reply);
    // The request's bytes, marked as a stream or not, and the whole reply
    // into `reply`: what a stream pair would carry, without the copies.
    DBIResult SendRequestBytes(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen,
                               bool requestIsStream, std::vector<std::uint8_t>& reply);

    std::uint32_t ClientId() const { return clientId_; }
    const std::string& ServerName() const { return serverName_; }
    const std::string& ClientName() const { return clientName_; }
    std::uint32_t ReplyTimeout() const { return replyTimeout_; }
    TqvServerEngine* ServerEngine() { return serverEngine_.get(); }
    TqvServerCommsEngine* ServerComms() { return serverComms_.get(); }
    TqvBaseCommsProtocol& Protocol() { return *protocol_; }
    plat::HWND Window() const { return window_; }

    // Called on every turn of a reply wait instead of the platform's wait
    // hook (plat::ServeWhileWaiting, through which the GUI serves its
    // events); tests move their clock and change the server's state here.
    std::function<void()> onWaiting;

private:
    DBIResult Exchange(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen,
                       plat::Stream* requestStream, std::uint8_t* reply, std::uint32_t replyLen,
                       plat::Stream* replyStream, bool requestIsStream = false,
                       std::vector<std::uint8_t>* replyBytes = nullptr);
    // Waits for a complete reply with `msgId` on this connection; other
    // replies met on the way are dropped. 0, or the loss code.
    DBIResult SendPackets(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen,
                          plat::Stream* requestStream, bool requestIsStream);
    // Whether the request may go straight to the in-process server's handler.
    bool CanHandOver(std::uint32_t msgId);
    // Hands the request to the handler; true when its reply is in kept_,
    // false when it is to be awaited on the reply queue (deferred by a lock
    // conflict, or a batch of replies).
    bool HandOver(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen, bool requestIsStream);
    static DBIResult Deliver(std::uint32_t errorCode, const std::uint8_t* data, std::uint32_t dataLength,
                             std::uint8_t* reply, std::uint32_t replyLen, plat::Stream* replyStream,
                             std::vector<std::uint8_t>* replyBytes);
    DBIResult WaitForReply(std::uint32_t msgId, TqvDataMessage*& reply);
    TqvDataMessage* MatchingHead(std::uint32_t msgId);
    void DropQueuedReplies();
    // Sets `m` aside when an exchange this one runs inside waits for its id.
    bool HoldForOuterExchange(const TqvDataMessage& m);
    bool HandleReply(std::uint32_t connId, std::uint32_t len, std::uint8_t* data);
    void HandleHangUp(std::uint32_t connId);
    void PumpOwnMessage();
    void ServeDeferredRequests();
    void WindowProc(plat::TMessage& msg);
    void FreeServer();

    std::uint32_t clientId_ = 0;
    std::string serverName_;
    std::uint32_t replyTimeout_ = kQvReplyTimeoutMs;
    std::unique_ptr<TqvServerEngine> serverEngine_;
    std::unique_ptr<TqvServerCommsEngine> serverComms_;
    std::unique_ptr<TqvCommandHandlerBase> commandHandler_;
    plat::HWND window_ = 0;
    std::array<std::uint8_t, 24> ackHeader_{};
    std::uint32_t connectionId_ = 0;
    std::unique_ptr<TqvDataMessageQueue> replyQueue_;
    TqvPadLock lock_;
    std::unique_ptr<TqvBaseCommsProtocol> protocol_;
    std::array<std::uint8_t, 2048> packetBuffer_{};
    std::string clientName_;
    TqvTimeout replyTimer_;
    TqvTimeout retryTimer_;
    bool detaching_ = false;
    bool retryArmed_ = false;
    bool pumped_ = false;
    TqvSystemTablesLoaded loaded_;
    // The message ids of the exchanges in progress, outermost first, and
    // replies to outer ones met by an inner one.
    struct HeldReply {
        std::uint32_t messageId;
        std::uint32_t errorCode;
        bool isStream;
        std::vector<std::uint8_t> data;
    };
    std::vector<std::uint32_t> waiting_;
    std::vector<HeldReply> held_;
    // A handed-over request and its reply, kept with their buffers.
    TqvDataMessage handOver_;
    TqvHandedOverReply kept_;
};

// ---- convenience requests --------------------------------------------------
// Each takes the comms engine of the client session it is made for; a null
// one answers 9990.

// Adds an alias on the server (name cut to 31 characters, path to 219).
DBIResult ClientAddAlias(TqvClientCommsEngine* comms, std::string_view alias, std::string_view path);
DBIResult ClientDeleteAlias(TqvClientCommsEngine* comms, std::string_view alias);

// A rebuild's progress record as the server keeps it (32 bytes; byte 28 is
// the finished flag). Id -1 (all bits) is a rebuild that never ran: finished
// at once, without asking the server; an id the server does not know answers
// 8712.
struct TqvRebuildStatusRecord {
    std::array<std::uint8_t, 32> bytes{};
};
DBIResult ClientGetRebuildStatus(TqvClientCommsEngine* comms, std::uint32_t rebuildId, bool& finished,
                                 TqvRebuildStatusRecord& status);
// The 771 reply: the 32-byte record, then a found byte (1 = known). Every
// reader of that reply goes through here so that there is one layout.
constexpr std::size_t kRebuildStatusReplySize = 33;
DBIResult QvReadRebuildStatusReply(const std::uint8_t* reply, std::size_t length, bool& finished,
                                   TqvRebuildStatusRecord& status);
// Offsets in the record.
constexpr std::size_t kRebuildResultOffset = 24, kRebuildFinishedOffset = 28;

// Builds a table in the database with server id `databaseId` from a
// dictionary; the name is reduced to its name part (at most 31 characters).
DBIResult ClientBuildTable(TqvClientCommsEngine* comms, std::uint32_t databaseId, bool overwrite,
                           std::string_view tableName, const TqvDataDictionary& dictionary);

}  // namespace qv
