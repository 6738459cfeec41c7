#include "engine/client/client_comms_engine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "engine/base/qv_exceptions.h"
#include "engine/comms/comms_packet.h"
#include "engine/comms/single_user_protocol.h"
#include "engine/server/command_handler.h"
#include "engine/server/request_catalogue.h"
#include "engine/server/server_log.h"
#include "engine/server/system_tables.h"
#include "engine/storage/dictionary.h"
#include "platform/win/message_queue.h"

namespace qv {

namespace {

std::string gKeywordFile;
std::atomic<bool> gHandOver{true};

constexpr DBIResult kInvalidHandle = 9990;
constexpr DBIResult kObjectNotFound = 8712;

// A zeroed short string of `size` bytes: length byte, then at most size - 1
// characters.
void PutShortString(std::uint8_t* p, std::size_t size, std::string_view s) {
    std::memset(p, 0, size);
    std::size_t n = std::min(s.size(), size - 1);
    p[0] = static_cast<std::uint8_t>(n);
    std::memcpy(p + 1, s.data(), n);
}

}  // namespace

void SetServerKeywordFile(std::string_view path) { gKeywordFile = std::string(path); }
const std::string& ServerKeywordFile() { return gKeywordFile; }
void SetHandOverToIdleServer(bool on) { gHandOver = on; }
bool HandOverToIdleServer() { return gHandOver; }

TqvClientCommsEngine::TqvClientCommsEngine(std::string_view clientName)
    : replyQueue_(std::make_unique<TqvDataMessageQueue>()), clientName_(clientName.substr(0, 31)) {
    window_ = plat::AllocateHWnd([this](plat::TMessage& m) { WindowProc(m); });
    protocol_ = TqvSingleUserProtocol::Create(clientName_, kQvRoleClient);
    protocol_->OnHangUp = [this](TqvBaseCommsProtocol&, std::uint32_t id) { HandleHangUp(id); };
    protocol_->OnNewConnection = nullptr;
    protocol_->OnIdle = [this](TqvBaseCommsProtocol&) { PumpOwnMessage(); };
    protocol_->OnReceiveData = [this](TqvBaseCommsProtocol&, std::uint32_t id, std::uint32_t len,
                                      std::uint8_t* data) { return HandleReply(id, len, data); };
}

TqvClientCommsEngine::~TqvClientCommsEngine() {
    // The transport goes first: its connection tells the server on the way
    // out, while the server is still there to hear it.
    protocol_.reset();
    replyQueue_.reset();
    commandHandler_.reset();
    serverComms_.reset();
    FreeServer();
    if (window_ != 0) plat::DeallocateHWnd(window_);
}

void TqvClientCommsEngine::FreeServer() {
    if (!serverEngine_) return;
    try {
        // A table that exists but could not be read at start is not
        // overwritten with the defaults that stood in for it.
        if (loaded_.aliases) WriteAliasTable(*serverEngine_);
        if (loaded_.info) WriteServerInfoTable(*serverEngine_);
    } catch (...) {
        // A failed save keeps the previous tables; shutting down goes on.
    }
    serverEngine_.reset();  // clears the process-wide reference when it is ours
}

void TqvClientCommsEngine::StartInProcessServer(const TqvCommandHandlerFactory& makeHandler) {
    serverEngine_ = std::make_unique<TqvServerEngine>();
    try {
        loaded_ = LoadServerConfiguration(*serverEngine_, gKeywordFile);
    } catch (...) {
        // Nothing was loaded that needs saving back.
        serverEngine_.reset();
        throw;
    }
    SetServerDebugLog(false);
    serverEngine_->Configuration().GeneralInfo()->DebugLog = false;
    serverComms_ = std::make_unique<TqvServerCommsEngine>(kQvInProcessServerName, TqvSingleUserProtocol::Create);
    try {
        if (makeHandler)
            commandHandler_ = makeHandler(*serverEngine_, *serverComms_);
        else
            commandHandler_ = std::make_unique<TqvServerCommandHandler>(*serverEngine_, *serverComms_);
        serverComms_->SetNotifyWindow(window_);
        serverComms_->StartUp();
    } catch (...) {
        commandHandler_.reset();
        serverComms_.reset();
        throw;
    }
    protocol_->EnsureStarted();
    // Other sessions of the process run servers of their own: this client
    // must reach the one it just started.
    auto* server = dynamic_cast<TqvSingleUserProtocol*>(&serverComms_->Transport());
    auto* client = dynamic_cast<TqvSingleUserProtocol*>(protocol_.get());
    if (server != nullptr && client != nullptr) client->SetServerWindow(server->NotifyWindow());
}

void TqvClientCommsEngine::WindowProc(plat::TMessage& m) {
    if (m.Msg == kQvWmMessageQueued) {
        if (serverComms_ && commandHandler_) ServeQueuedMessages(serverComms_->MessageQueue(), *commandHandler_);
        m.Result = 0;
        return;
    }
    m.Result = plat::DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
}

void TqvClientCommsEngine::PumpOwnMessage() {
    plat::MSG msg;
    if (plat::PeekMessage(msg, window_, 0, 0, plat::PM_REMOVE)) {
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
        pumped_ = true;
    }
    ServeDeferredRequests();
}

// The server queue's own retry timer lives on a window nobody pumps while we
// wait, so a request deferred by a lock conflict would sit there until our
// reply wait gave up. The wait runs the retry tick itself instead.
void TqvClientCommsEngine::ServeDeferredRequests() {
    if (!serverComms_) return;
    TqvDataMessageQueue& q = serverComms_->MessageQueue();
    if (q.DeferredCount() == 0) {
        retryArmed_ = false;
        return;
    }
    if (!retryArmed_) {
        QvSetTimeout(retryTimer_, static_cast<std::int32_t>(kQvRetryIntervalMs));
        retryArmed_ = true;
        return;
    }
    if (!QvTimeoutExpired(retryTimer_)) return;
    retryArmed_ = false;
    q.RetryTick();
}

DBIResult TqvClientCommsEngine::Attach(std::string_view serverName, std::string_view userName,
                                       std::string_view password) {
    if (IsConnected()) Detach();
    std::string name, address;
    SplitServerName(serverName, name, address);
    std::uint32_t conn = 0;
    protocol_->Call(address, conn);
    connectionId_ = conn;
    if (connectionId_ == 0) return kQvErrNotConnected;

    std::uint8_t request[64];
    PutShortString(request, 32, clientName_);
    PutShortString(request + 32, 32, userName.substr(0, 31));
    std::uint8_t reply[13] = {};
    DBIResult r = SendRequest(QvnmAttachServer, request, sizeof request, reply, sizeof reply);
    auto hangUp = [this] {
        if (connectionId_ != 0) protocol_->HangUp(connectionId_);
        connectionId_ = 0;
    };
    if (r != 0) {
        hangUp();
        return r;
    }
    const std::uint32_t version = GetU32(reply + 4);
    if (version / 100 < kQvOldestServerVersion / 100) {
        hangUp();
        return kQvErrOldServer;
    }
    clientId_ = GetU32(reply);
    const std::uint32_t code = GetU32(reply + 8);
    protocol_->SetKeyStreamSeed(reply[12] == 1 ? code ^ HashShortString(password) : code);
    if (SendRequest(QvnmCheckSecureComms, nullptr, 0, nullptr, 0) != 0) return kQvErrUnknownUser;
    serverName_ = name.substr(0, 31);
    WriteMsgHeader(ackHeader_.data(), MakeAckHeader(clientId_));
    return 0;
}

void TqvClientCommsEngine::Detach() {
    TqvPadLockGuard g(lock_);
    if (!IsConnected()) return;
    // A detach that itself times out only hangs up (see WaitForReply), so a
    // silent server cannot make this recurse.
    detaching_ = true;
    SendRequest(QvnmDetachServer, nullptr, 0, nullptr, 0);
    detaching_ = false;
    if (connectionId_ != 0) protocol_->HangUp(connectionId_);
    connectionId_ = 0;
    serverName_.clear();
}

DBIResult TqvClientCommsEngine::SendRequest(std::uint32_t msgId, const void* request, std::uint32_t requestLen,
                                            void* reply, std::uint32_t replyLen) {
    return Exchange(msgId, static_cast<const std::uint8_t*>(request), request ? requestLen : 0, nullptr,
                    static_cast<std::uint8_t*>(reply), reply ? replyLen : 0, nullptr);
}

DBIResult TqvClientCommsEngine::SendRequestStream(std::uint32_t msgId, plat::Stream* request, plat::Stream* reply) {
    return Exchange(msgId, nullptr, 0, request, nullptr, 0, reply);
}

void TqvClientCommsEngine::DropQueuedReplies() {
    if (replyQueue_->Idle()) return;  // the usual case, known without the queue's lock
    while (replyQueue_->GetHead()) replyQueue_->RemoveHead();
}

TqvDataMessage* TqvClientCommsEngine::MatchingHead(std::uint32_t msgId) {
    while (TqvDataMessage* m = replyQueue_->GetHead()) {
        if (m->messageId == msgId && m->clientId == connectionId_) return m;
        replyQueue_->RemoveHead();  // not ours: a leftover or a stray
    }
    return nullptr;
}

DBIResult TqvClientCommsEngine::SendRequestBytes(std::uint32_t msgId, const std::uint8_t* request,
                                                 std::uint32_t requestLen, bool requestIsStream,
                                                 std::vector<std::uint8_t>& reply) {
    reply.clear();
    return Exchange(msgId, request, request ? requestLen : 0, nullptr, nullptr, 0, nullptr, requestIsStream, &reply);
}

DBIResult TqvClientCommsEngine::Exchange(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen,
                                         plat::Stream* requestStream, std::uint8_t* reply, std::uint32_t replyLen,
                                         plat::Stream* replyStream, bool requestIsStream,
                                         std::vector<std::uint8_t>* replyBytes) {
    TqvPadLockGuard g(lock_);
    if (!IsConnected()) return kQvErrNotConnected;
    // Anything still queued was asked for by an exchange that has ended.
    DropQueuedReplies();

    if (requestStream == nullptr && CanHandOver(msgId)) {
        if (HandOver(msgId, request, requestLen, requestIsStream))
            return Deliver(kept_.errorCode, kept_.data.data(), static_cast<std::uint32_t>(kept_.data.size()), reply,
                           replyLen, replyStream, replyBytes);
    } else if (DBIResult r = SendPackets(msgId, request, requestLen, requestStream, requestIsStream)) {
        return r;
    }

    TqvDataMessage* m = nullptr;
    if (DBIResult r = WaitForReply(msgId, m)) return r;
    const DBIResult r = Deliver(m->errorCode, m->Bytes(), m->dataLength, reply, replyLen, replyStream, replyBytes);
    replyQueue_->RemoveHead();
    return r;
}

DBIResult TqvClientCommsEngine::SendPackets(std::uint32_t msgId, const std::uint8_t* request,
                                            std::uint32_t requestLen, plat::Stream* requestStream,
                                            bool requestIsStream) {
    std::uint32_t total = requestLen;
    if (requestStream) {
        const std::int64_t size = requestStream->Size();
        if (size < 0 || static_cast<std::uint64_t>(size) > kQvMaxMessageData) return dbi::kInvalidParameter;
        total = static_cast<std::uint32_t>(size);
        requestStream->SetPosition(0);
    }
    TqvMsgHeader h;
    h.messageId = msgId;
    h.totalLength = total;
    h.clientId = clientId_;
    h.timeout = kQvRequestTimeoutMs;
    h.dataIsStream = requestStream || requestIsStream ? 1 : 0;
    std::uint32_t remaining = total, offset = 0;
    for (bool first = true;; first = false) {
        const std::uint32_t n = std::min(remaining, kQvMaxPacketData);
        const bool last = n == remaining;
        h.packetLength = n + kQvMsgHeaderSize;
        h.firstPacket = first ? 1 : 0;
        h.lastPacket = last ? 1 : 0;
        WriteMsgHeader(packetBuffer_.data(), h);
        std::uint8_t* body = packetBuffer_.data() + kQvMsgHeaderSize;
        if (requestStream) {
            if (n > 0) requestStream->ReadBuffer(body, n);
        } else if (n > 0) {
            std::memcpy(body, request + offset, n);
        }
        if (connectionId_ == 0) return kQvErrCommsLost;
        protocol_->Send(connectionId_, packetBuffer_.data(), n + kQvMsgHeaderSize);
        if (last) return 0;
        if (protocol_->NeedsAcknowledgements()) {
            TqvDataMessage* ack = nullptr;
            if (DBIResult r = WaitForReply(QvnmAcknowledge, ack)) return r;
            replyQueue_->RemoveHead();
        }
        remaining -= n;
        offset += n;
    }
}

// The server this engine started serves no one else, so while its queue is
// idle a request can go to its handler at once: no packets, key stream,
// window messages or reply queue, which cost more than a keyed read itself.
// The attach and its key-stream check still travel as packets, since they
// are what proves the connection and its password.
bool TqvClientCommsEngine::CanHandOver(std::uint32_t msgId) {
    if (!gHandOver || !serverComms_ || !commandHandler_ || clientId_ == 0 || detaching_) return false;
    if (msgId == QvnmAttachServer || msgId == QvnmDetachServer || msgId == QvnmCheckSecureComms) return false;
    return !serverComms_->AwaitingAcknowledgement() && serverComms_->MessageQueue().Idle();
}

bool TqvClientCommsEngine::HandOver(std::uint32_t msgId, const std::uint8_t* request, std::uint32_t requestLen,
                                    bool requestIsStream) {
    TqvDataMessage& m = handOver_;
    m.messageId = msgId;
    m.clientId = clientId_;  // the id the server knows this connection by
    m.errorCode = 0;
    m.dataLength = request ? requestLen : 0;
    m.isStream = requestIsStream ? 1 : 0;
    // It may be deferred: the deadline is set when it is (AddDeferred).
    m.timeStamp = m.deadline = 0;
    m.timeLeft = 1;
    m.retry = 0;
    m.inUse = 1;
    if (requestIsStream) {
        m.data.clear();
        if (m.stream) m.stream->Clear();
        else m.stream = std::make_unique<plat::MemoryStream>();
        if (m.dataLength != 0) m.stream->WriteBuffer(request, m.dataLength);
    } else {
        m.stream.reset();
        m.data.assign(request, request + m.dataLength);
    }
    kept_.clientId = clientId_;
    kept_.messageId = msgId;
    kept_.received = false;
    serverComms_->KeepReply(&kept_);
    struct Release {
        TqvServerCommsEngine& comms;
        ~Release() { comms.KeepReply(nullptr); }
    } release{*serverComms_};
    commandHandler_->Dispatch(m);
    if (m.retry) {
        // A lock or transaction conflict: the queue's retry tick presents it
        // again, and the reply is awaited as for any queued request.
        serverComms_->MessageQueue().AddDeferred(std::move(m), kQvRequestTimeoutMs);
        m = TqvDataMessage{};
        return false;
    }
    if (!kept_.received) return false;  // awaited, and lost as an unanswered request is
    if (kept_.replyId == msgId) return true;
    // Several replies in one: the reply queue splits them.
    const auto size = static_cast<std::uint32_t>(kept_.data.size());
    replyQueue_->AddMessage(kept_.replyId, connectionId_, 0, kept_.errorCode, kept_.data.data(), size, size,
                            kept_.isStream);
    return false;
}

DBIResult TqvClientCommsEngine::Deliver(std::uint32_t errorCode, const std::uint8_t* data, std::uint32_t dataLength,
                                        std::uint8_t* reply, std::uint32_t replyLen, plat::Stream* replyStream,
                                        std::vector<std::uint8_t>* replyBytes) {
    if (replyStream) replyStream->SetPosition(0);
    if (errorCode != 0) return static_cast<DBIResult>(errorCode);
    if (data && dataLength != 0) {
        if (replyBytes)
            replyBytes->assign(data, data + dataLength);
        else if (replyStream)
            replyStream->WriteBuffer(data, dataLength);
        else if (reply)
            std::memcpy(reply, data, std::min(replyLen, dataLength));
    }
    return 0;
}

DBIResult TqvClientCommsEngine::WaitForReply(std::uint32_t msgId, TqvDataMessage*& reply) {
    reply = nullptr;
    // A reply within the first round (the in-process server answers while
    // it is served) needs no clock: the time-out starts with the second.
    for (int round = 0;; ++round) {
        if ((reply = MatchingHead(msgId)) != nullptr) return 0;
        if (connectionId_ == 0) return kQvErrCommsLost;
        if (round == 1) {
            QvSetTimeout(replyTimer_, static_cast<std::int32_t>(replyTimeout_));
        } else if (round > 1 && QvTimeoutExpired(replyTimer_)) {
            if (detaching_) {
                if (connectionId_ != 0) protocol_->HangUp(connectionId_);
                connectionId_ = 0;
            } else {
                Detach();
            }
            return kQvErrCommsLost;
        }
        // The program's windows stay alive while the reply is awaited: the
        // GUI serves its events through the platform's wait hook.
        if (onWaiting) onWaiting();
        else plat::ServeWhileWaiting();
        pumped_ = false;
        protocol_->Breathe();
        // Nothing for us yet (a deferred request waiting for its retry): give
        // the processor back for a moment rather than spin.
        if (!pumped_ && !onWaiting) plat::WaitMessage(1);
    }
}

bool TqvClientCommsEngine::HandleReply(std::uint32_t connId, std::uint32_t len, std::uint8_t* data) {
    TqvPadLockGuard g(lock_);
    if (len < kQvMsgHeaderSize || !data || !replyQueue_) return true;  // nothing, or too short to be a packet
    const TqvMsgHeader h = ReadMsgHeader(data);
    const std::uint32_t count = len - kQvMsgHeaderSize;
    if (h.firstPacket)
        replyQueue_->AddMessage(h.messageId, connId, h.timeout, h.errorCode, data + kQvMsgHeaderSize, h.totalLength,
                                count, h.dataIsStream != 0);
    else
        replyQueue_->AppendPacket(h.messageId, connId, data + kQvMsgHeaderSize, count);
    if (!h.lastPacket) {
        QvSetTimeout(replyTimer_, static_cast<std::int32_t>(replyTimeout_));
        if (protocol_->NeedsAcknowledgements()) protocol_->Send(connId, ackHeader_.data(), kQvMsgHeaderSize);
    }
    return true;
}

void TqvClientCommsEngine::HandleHangUp(std::uint32_t connId) {
    TqvPadLockGuard g(lock_);
    if (connId != connectionId_) return;
    connectionId_ = 0;
    serverName_.clear();
}

// ---- convenience requests ----------------------------------------------------

DBIResult ClientAddAlias(TqvClientCommsEngine* comms, std::string_view alias, std::string_view path) {
    if (!comms) return kInvalidHandle;
    std::uint8_t request[32 + 220];
    PutShortString(request, 32, alias.substr(0, 31));
    PutShortString(request + 32, 220, path.substr(0, 219));
    return comms->SendRequest(QvnmDatabaseAddAlias, request, sizeof request, nullptr, 0);
}

DBIResult ClientDeleteAlias(TqvClientCommsEngine* comms, std::string_view alias) {
    if (!comms) return kInvalidHandle;
    std::uint8_t request[32];
    PutShortString(request, 32, alias.substr(0, 31));
    return comms->SendRequest(QvnmDatabaseDeleteAlias, request, sizeof request, nullptr, 0);
}

DBIResult ClientGetRebuildStatus(TqvClientCommsEngine* comms, std::uint32_t rebuildId, bool& finished,
                                 TqvRebuildStatusRecord& status) {
    finished = false;
    if (!comms) return kInvalidHandle;
    if (rebuildId == 0xFFFFFFFFu) {
        status = {};
        status.bytes[28] = 1;
        finished = true;
        return 0;
    }
    std::uint8_t request[4];
    PutU32(request, rebuildId);
    std::uint8_t reply[kRebuildStatusReplySize] = {};
    if (DBIResult r = comms->SendRequest(QvnmGetRebuildStatus, request, sizeof request, reply, sizeof reply))
        return r;
    return QvReadRebuildStatusReply(reply, sizeof reply, finished, status);
}

DBIResult QvReadRebuildStatusReply(const std::uint8_t* reply, std::size_t length, bool& finished,
                                   TqvRebuildStatusRecord& status) {
    finished = false;
    if (reply == nullptr || length < kRebuildStatusReplySize || reply[32] != 1) return kObjectNotFound;
    std::memcpy(status.bytes.data(), reply, 32);
    finished = status.bytes[28] != 0;
    return 0;
}

DBIResult ClientBuildTable(TqvClientCommsEngine* comms, std::uint32_t databaseId, bool overwrite,
                           std::string_view tableName, const TqvDataDictionary& dictionary) {
    if (!comms) return kInvalidHandle;
    plat::MemoryStream s;
    std::uint8_t head[4 + 1 + 32];
    PutU32(head, databaseId);
    head[4] = overwrite ? 1 : 0;
    PutShortString(head + 5, 32, QvExtractFileName(tableName));
    s.WriteBuffer(head, sizeof head);
    dictionary.WriteToStream(s);
    return comms->SendRequestStream(QvnmBuildTable, &s, nullptr);
}

}  // namespace qv
