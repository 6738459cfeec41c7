#include "data/bulk_transaction.h"

#include "data/dataset.h"
#include "engine/api/dbi_api.h"

namespace db {

namespace {
// The engine's end modes.
constexpr std::uint32_t kCommit = 0;
constexpr std::uint32_t kRollback = 2;
}  // namespace

TBulkTransaction::TBulkTransaction(const TDataSet& dataset, OnLeave onLeave)
    : TBulkTransaction(dataset.DBHandle(), onLeave) {}

TBulkTransaction::TBulkTransaction(std::uint32_t database, OnLeave onLeave) : onLeave_(onLeave) {
    // A refusal (one already active on the folder, or none to be had) leaves
    // the rows to post as they would without this scope.
    if (database != 0 && qv::DbiBeginTran(database, 0, transaction_) == 0) database_ = database;
}

TBulkTransaction::~TBulkTransaction() { End(onLeave_ == Keep); }

bool TBulkTransaction::Commit() { return !Own() || End(true); }

bool TBulkTransaction::Rollback() { return Own() && End(false); }

bool TBulkTransaction::End(bool commit) {
    const std::uint32_t database = database_;
    database_ = 0;
    return database != 0 && qv::DbiEndTran(database, transaction_, commit ? kCommit : kRollback) == 0;
}

}  // namespace db
