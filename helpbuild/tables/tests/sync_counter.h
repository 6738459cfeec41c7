// A count of the syncs reaching the disk for the table tests, through the
// engine API's test hook.
#pragma once

#include "engine/api/dbi_test_hooks.h"

namespace buildtest {

// Counts the syncs that reach the disk while it lives.
class SyncCounter {
public:
    long Syncs() const { return counter_.Syncs(); }

private:
    qv::DbiSyncCounter counter_;
};

}  // namespace buildtest
