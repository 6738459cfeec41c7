// What tests above the engine need to watch or steer inside it, without
// including its insides: a count of the syncs reaching the disk, and a
// connection to a server that puts its answers off. Linked only into tests
// (tavrin_engine_api_test_hooks); the program has no use for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/api/dbi_types.h"

namespace qv {

// Counts, for its lifetime, the syncs of table files that reach the disk;
// every file call is passed on to the file layer in force when it was made.
class DbiSyncCounter {
public:
    DbiSyncCounter();
    ~DbiSyncCounter();
    DbiSyncCounter(const DbiSyncCounter&) = delete;
    DbiSyncCounter& operator=(const DbiSyncCounter&) = delete;
    long Syncs() const;
    // Every fsync the engine's file layer made meanwhile, of files and of
    // folders, counted where it is made.
    long DiskSyncs() const;

private:
    class Layer;
    std::unique_ptr<Layer> layer_;
    long syncsMadeBefore_ = 0;
};

// A client connection to an in-process server of its own whose handler puts
// every request off once, as a server does on a lock conflict, and answers
// it "OK" on the retry: the client waits one retry tick of the server's
// queue for each request, through the platform's wait hook.
class DbiPutOffConnection {
public:
    DbiPutOffConnection();
    ~DbiPutOffConnection();
    DbiPutOffConnection(const DbiPutOffConnection&) = delete;
    DbiPutOffConnection& operator=(const DbiPutOffConnection&) = delete;

    DBIResult Attach();
    // One request under a message id not used before; `reply` receives the
    // answer's two bytes.
    DBIResult Ask(std::string& reply);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::uint32_t nextRequest_ = 3000;
};

}  // namespace qv
