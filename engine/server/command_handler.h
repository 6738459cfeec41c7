// The server's command handler: the one consumer of complete requests. For
// each message the queue hands over it checks the payload against the
// request's layout, logs it while the debug log is on, checks the client's
// rights, runs one server-engine operation and answers with the same message
// id, a result code and the reply payload; or, on a lock or transaction
// conflict of a request that carries a time-out, asks the queue to present
// the message again.
//
// Deferred requests come back on the queue's 100 ms retry tick only, not
// also whenever another message arrives: a busy client would otherwise make
// every waiting request spin through the engine once per incoming packet,
// while the tick bounds both the retry rate and the added latency (100 ms).
// After the deadline the conflict code is answered.
//
// Requests that name a file on the server's disk (AddFileBLOB) are honoured
// only when the transport is the in-process one; a client across the network
// is refused with the rights error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/comms/server_comms_engine.h"
#include "engine/server/rebuild.h"
#include "engine/server/request_catalogue.h"
#include "engine/server/server_engine.h"

namespace qv {

// Where replies go: the server comms engine in the program, a recorder in tests.
using TqvReplySender = std::function<void(std::uint32_t messageId, std::uint32_t clientId, std::uint16_t errorCode,
                                          bool isStream, const std::uint8_t* data, std::uint32_t length)>;

class TqvServerCommandHandler : public TqvCommandHandlerBase {
public:
    // Replies through `comms`; the transport it runs on decides whether
    // requests may name files on the server's disk.
    TqvServerCommandHandler(TqvServerEngine& engine, TqvServerCommsEngine& comms);
    // `singleUser`: the requests come from inside this process. `keySeed` is
    // the transport's key-stream seed that AttachServer hands out.
    TqvServerCommandHandler(TqvServerEngine& engine, TqvReplySender sender, bool singleUser,
                            std::function<std::uint32_t()> keySeed);

    void Dispatch(TqvDataMessage& msg) override;

    bool SingleUserTransport() const { return singleUser_; }
    TqvSrRebuilder& Rebuilder() { return *rebuilder_; }

private:
    class Request;
    void Run(Request& r);
    void nmAttachServer(Request& r);
    void nmDetachServer(Request& r);
    void nmCheckSecureComms(Request& r);
    void nmDatabase(Request& r);
    void nmSession(Request& r);
    void nmRebuild(Request& r);
    void nmTransaction(Request& r);
    void nmTable(Request& r);
    void nmBLOB(Request& r);
    void nmCursor(Request& r);
    void nmRecordRead(Request& r);
    void nmRecordChange(Request& r);
    void nmRecordOther(Request& r);

    TqvServerEngine& engine_;
    // Owned here so that it goes (stopping its workers) while the engine,
    // which outlives the handler, is still there.
    std::unique_ptr<TqvSrRebuilder> rebuilder_;
    TqvReplySender send_;
    bool singleUser_;
    std::function<std::uint32_t()> keySeed_;
    // A keyed read's record; a dispatch never runs inside another.
    std::vector<std::uint8_t> recordScratch_;
};

}  // namespace qv
