// Background rebuilds of a table: reindex (one index built again from the
// records), pack (live records copied into a fresh table that then takes the
// table's place) and restructure (the same copy into a table with a new
// dictionary, each record converted through a field map).
//
// A rebuild is prepared under the engine lock and then runs on a worker
// thread of its own; the client follows it through its rebuild id and
// `GetRebuildStatus`. The worker works through a private client, session and
// database of its own on the table's folder, so the starting client may
// detach (freeing its own objects) while the rebuild goes on.
//
// A pack or restructure of a damaged table keeps what can still be read:
// data blocks that cannot be read, and records whose BLOBs cannot be, are
// left out (see TqvSalvageWalk) instead of failing the whole rebuild.
//
// Crash safety: a reindex runs in a fail-safe transaction (an interrupted
// one is rolled back from its journal the next time a table of the folder
// is opened); pack and restructure fill a temporary copy and swap it in with
// file renames recorded in a swap record (see rebuild_swap.h), so the table
// under its own name is always either the old or the new one. Meanwhile the
// folder may hold the copy as "_PACKn" or "_RESTn", the old files set aside
// as "_OLDn" and the swap record "<table>.RB$".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/server/server_engine.h"
#include "platform/core/threads.h"

namespace qv {

namespace dbi {
constexpr DBIResult kInvalidRestructure = 10012, kInvalidFieldName = 10038, kIncompatibleFields = 10019,
                    kRebuildAborted = 15521;
}

// Size of the progress record sent to clients.
constexpr std::size_t kRebuildRecordSize = 32;

class TqvSrRebuildStatus {
public:
    TqvSrRebuildStatus(std::uint32_t id, std::uint32_t clientId, std::uint32_t total);
    std::uint32_t Id() const { return id_; }
    std::uint32_t ClientId() const { return clientId_; }
    // Stores the counts and the current tick, and the percent done.
    void Update(std::uint32_t read, std::uint32_t written, std::uint32_t result);
    void MarkFinished();
    bool Finished();
    // The 32-byte record, little-endian field by field.
    void Record(std::uint8_t* out);
    std::uint32_t Total();
    std::uint32_t Percent();
    std::uint32_t Result();
    std::uint32_t Read();
    std::uint32_t Written();

    // read * 100 / total, in a form that cannot overflow 32 bits.
    static std::uint32_t PercentOf(std::uint32_t read, std::uint32_t total);

private:
    TqvPadLock lock_;
    std::uint32_t id_, clientId_;
    std::uint32_t startTick_ = 0, lastTick_ = 0, total_ = 0, read_ = 0, written_ = 0, percent_ = 0, result_ = 0;
    bool finished_ = false;
};

using TqvSrRebuildStatusPtr = std::shared_ptr<TqvSrRebuildStatus>;

// Statuses are shared with the workers: removing one from the list (read
// when finished, or its client gone) never frees it under a running worker.
class TqvSrRebuildStatusList {
public:
    TqvSrRebuildStatusPtr Add(std::uint32_t clientId, std::uint32_t total);
    // Copies the record; a finished status is deleted once it has been read.
    bool Get(std::uint32_t rebuildId, std::uint8_t* record);
    void MarkFinished(std::uint32_t rebuildId);
    void RemoveClient(std::uint32_t clientId);
    int Count();

private:
    TqvPadLock lock_;
    std::vector<TqvSrRebuildStatusPtr> items_;
};

// One field of a field map pair.
struct TqvSrFieldRecord {
    std::string name;
    std::uint32_t number = 0, offset = 0, length = 0, type = 0;
};

class TqvSrFieldMapList {
public:
    TqvSrFieldMapList(const TqvDataDictionary& source, const TqvDataDictionary& target);
    // An empty source name means the target's name; either name missing: 10038.
    DBIResult AddPair(std::string_view sourceName, std::string_view targetName);
    // Each string "target=source" or "target" alone; the first failure is answered.
    DBIResult AddFromStrings(const std::vector<std::string>& strings);
    // Raises server message 195 for a pair whose types do not convert.
    void Validate();
    int Count() const { return static_cast<int>(pairs_.size()); }
    const TqvSrFieldRecord& GetSource(int i) const { return pairs_[static_cast<std::size_t>(i)].first; }
    const TqvSrFieldRecord& GetTarget(int i) const { return pairs_[static_cast<std::size_t>(i)].second; }
    const TqvDataDictionary& SourceDict() const { return source_; }
    const TqvDataDictionary& TargetDict() const { return target_; }

private:
    TqvDataDictionary source_, target_;
    std::vector<std::pair<TqvSrFieldRecord, TqvSrFieldRecord>> pairs_;
};

enum class TqvRebuildKind { Reindex, Pack, Restructure };

// Everything a worker needs; owned by its thread.
struct TqvRebuildBlock {
    TqvRebuildKind kind = TqvRebuildKind::Pack;
    std::uint32_t clientId = 0;   // the private client owning the objects below
    std::uint32_t databaseId = 0;  // its database on the table's folder
    std::string tableName;
    std::string indexName;
    std::uint32_t indexNumber = 0;
    TqvSrRebuildStatusPtr status;
    std::uint32_t sourceCursor = 0;
    std::uint32_t targetCursor = 0;
    std::string targetName;  // pack, restructure: the temporary copy
    std::unique_ptr<TqvSrFieldMapList> fieldMap;
    // Key-routine bindings made for the copy, removed once it is closed.
    std::vector<std::uint32_t> copiedBindings;
    std::string bindingDirectory;
};

class TqvSrRebuilder;

// One thread object per rebuild. Execute is the base class's own: a thread
// still starting while its object is destroyed must find it there.
class TqvSrRebuildBaseThread : public plat::Thread {
public:
    TqvSrRebuildBaseThread(TqvSrRebuilder& owner, std::unique_ptr<TqvRebuildBlock> block)
        : owner_(owner), block_(std::move(block)) {}
    ~TqvSrRebuildBaseThread() override;

protected:
    void Execute() final;

    TqvSrRebuilder& owner_;
    std::unique_ptr<TqvRebuildBlock> block_;
};

class TqvSrReindexThread final : public TqvSrRebuildBaseThread {
public:
    using TqvSrRebuildBaseThread::TqvSrRebuildBaseThread;
};

class TqvSrPackThread final : public TqvSrRebuildBaseThread {
public:
    using TqvSrRebuildBaseThread::TqvSrRebuildBaseThread;
};

class TqvSrRestructureThread final : public TqvSrRebuildBaseThread {
public:
    using TqvSrRebuildBaseThread::TqvSrRebuildBaseThread;
};

// The rebuild side of a server engine: its status list and its workers.
// Must be destroyed before the engine; destruction stops the workers (each
// leaves its table as it was) and waits for them.
class TqvSrRebuilder {
public:
    explicit TqvSrRebuilder(TqvServerEngine& engine);
    ~TqvSrRebuilder();
    TqvSrRebuilder(const TqvSrRebuilder&) = delete;
    TqvSrRebuilder& operator=(const TqvSrRebuilder&) = delete;

    DBIResult TableReindex(std::uint32_t databaseId, std::string_view tableName, std::string_view indexName,
                           std::uint32_t indexNumber, std::int32_t& rebuildId);
    DBIResult TablePack(std::uint32_t databaseId, std::string_view tableName, std::int32_t& rebuildId);
    DBIResult TableRestructure(std::uint32_t databaseId, std::string_view tableName,
                               const TqvDataDictionary& newDictionary, const std::vector<std::string>& fieldMap,
                               std::int32_t& rebuildId);
    // Runs without the engine lock. Found = 1 with the record, or 0.
    DBIResult GetRebuildStatus(std::uint32_t rebuildId, std::uint8_t& found, std::uint8_t* record);
    // To be called with the engine's ClientRemove: drops that client's statuses.
    void ClientRemove(std::uint32_t clientId);
    // Waits for every worker started so far.
    void WaitAll();

    TqvServerEngine& Engine() { return engine_; }
    TqvSrRebuildStatusList& Statuses() { return statuses_; }

    // The workers, on their threads.
    void ReindexWorker(TqvRebuildBlock& block, plat::Thread& thread);
    void RebuildWorker(TqvRebuildBlock& block, plat::Thread& thread);
    // Converts one field of a record; with null records it only checks.
    DBIResult ConvertField(TqvRebuildBlock& block, const std::uint8_t* sourceRecord, std::uint8_t* targetRecord,
                           int pair, std::vector<std::uint8_t>& buffer);

private:
    DBIResult Prepare(TqvRebuildKind kind, std::uint32_t databaseId, std::string_view tableName,
                      std::string_view indexName, std::uint32_t indexNumber, const TqvDataDictionary* newDictionary,
                      const std::vector<std::string>* fieldMap, std::int32_t& rebuildId);
    void Undo(TqvRebuildBlock& block);
    void ReleaseObjects(TqvRebuildBlock& block);
    void Reap();

    TqvServerEngine& engine_;
    TqvSrRebuildStatusList statuses_;
    std::mutex threadsLock_;
    std::vector<std::unique_ptr<TqvSrRebuildBaseThread>> threads_;
};

// Ids of the private clients rebuilds run under; never handed out by the
// comms layer, which counts up from small numbers.
constexpr std::uint32_t kRebuildClientIdBase = 0xFFF00000u;

}  // namespace qv
