#include "engine/api/dbi_test_hooks.h"

#include <atomic>
#include <set>

#include "engine/base/qv_base.h"
#include "engine/client/client_comms_engine.h"
#include "engine/storage/file_access.h"

namespace qv {

// ---- DbiSyncCounter -----------------------------------------------------------------------

class DbiSyncCounter::Layer final : public TqvFileAccess {
public:
    explicit Layer(TqvFileAccess& inner) : inner_(inner) {}
    std::atomic<long> syncs{0};
    TqvFileAccess& Inner() { return inner_; }

    int Open(const std::string& n, bool rw, bool sh, bool cr, bool wt, int& e) override {
        return inner_.Open(n, rw, sh, cr, wt, e);
    }
    bool Close(int h, int& e) override { return inner_.Close(h, e); }
    bool Flush(int h, int& e) override {
        if (!QvIsScratchHandle(h)) ++syncs;
        return inner_.Flush(h, e);
    }
    std::int64_t Size(int h, int& e) override { return inner_.Size(h, e); }
    std::int64_t ReadAt(int h, std::uint64_t p, void* b, std::size_t c, int& e) override {
        return inner_.ReadAt(h, p, b, c, e);
    }
    std::int64_t WriteAt(int h, std::uint64_t p, const void* b, std::size_t c, int& e) override {
        return inner_.WriteAt(h, p, b, c, e);
    }
    bool SetEndOfFile(int h, std::uint64_t p, int& e) override { return inner_.SetEndOfFile(h, p, e); }
    bool Delete(const std::string& n, int& e) override { return inner_.Delete(n, e); }
    bool Rename(const std::string& f, const std::string& t, int& e) override { return inner_.Rename(f, t, e); }

private:
    TqvFileAccess& inner_;
};

DbiSyncCounter::DbiSyncCounter() : layer_(std::make_unique<Layer>(QvFileAccess())), syncsMadeBefore_(QvSyncsMade()) {
    QvInstallFileAccess(layer_.get());
}

DbiSyncCounter::~DbiSyncCounter() {
    // The operating system's layer is installed as nullptr; anything else
    // was a test's own and goes back in place.
    TqvFileAccess& inner = layer_->Inner();
    QvInstallFileAccess(dynamic_cast<TqvPosixFileAccess*>(&inner) ? nullptr : &inner);
}

long DbiSyncCounter::Syncs() const { return layer_->syncs.load(); }

long DbiSyncCounter::DiskSyncs() const { return QvSyncsMade() - syncsMadeBefore_; }

// ---- DbiPutOffConnection ------------------------------------------------------------------

namespace {

class PuttingOffHandler : public TqvCommandHandlerBase {
public:
    explicit PuttingOffHandler(TqvServerCommsEngine& comms) : comms_(comms) {}
    void Dispatch(TqvDataMessage& msg) override {
        if (msg.messageId == QvnmAttachServer) {
            std::uint8_t rep[13] = {};
            PutU32(rep, msg.clientId);
            PutU32(rep + 4, kQvOldestServerVersion);
            PutU32(rep + 8, comms_.GetKeyStreamSeed());
            comms_.SendReply(msg.messageId, msg.clientId, 0, rep, sizeof rep);
            return;
        }
        if (msg.messageId == QvnmCheckSecureComms || !putOff_.insert(msg.messageId).second) {
            comms_.SendReply(msg.messageId, msg.clientId, 0, "OK", 2);
            return;
        }
        msg.retry = 1;
    }

private:
    TqvServerCommsEngine& comms_;
    std::set<std::uint32_t> putOff_;
};

}  // namespace

struct DbiPutOffConnection::Parts {
    TqvClientCommsEngine client{"Tavrin"};
};

DbiPutOffConnection::DbiPutOffConnection() : parts_(std::make_unique<Parts>()) {
    parts_->client.StartInProcessServer([](TqvServerEngine&, TqvServerCommsEngine& comms) {
        return std::make_unique<PuttingOffHandler>(comms);
    });
}

DbiPutOffConnection::~DbiPutOffConnection() = default;

DBIResult DbiPutOffConnection::Attach() { return parts_->client.Attach(kQvInProcessServerName, "", ""); }

DBIResult DbiPutOffConnection::Ask(std::string& reply) {
    char answer[2] = {};
    const DBIResult rc = parts_->client.SendRequest(nextRequest_++, nullptr, 0, answer, sizeof answer);
    reply.assign(answer, sizeof answer);
    return rc;
}

}  // namespace qv
