#include "data/bulk_transaction.h"

#include "data/dataset.h"
#include "data/db_errors.h"
#include "data/tables.h"
#include "engine/api/dbi_api.h"

#include <exception>
#include <utility>

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

TBulkTransaction::TBulkTransaction(TDatabase& database, OnLeave onLeave) : onLeave_(onLeave) {
    if (!database.Connected() || database.InTransaction()) return;
    try {
        database.StartTransaction();
        component_ = &database;
    } catch (const EDatabaseError&) {
        // Refused (one is already active on the folder): rows post as they
        // would without this scope.
    }
}

TBulkTransaction::~TBulkTransaction() { End(onLeave_ == Keep); }

bool TBulkTransaction::Commit() { return !Own() || End(true); }

bool TBulkTransaction::Rollback() { return Own() && End(false); }

bool TBulkTransaction::End(bool commit) {
    if (TDatabase* component = std::exchange(component_, nullptr)) {
        try {
            if (commit) component->Commit();
            else component->Rollback();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    const std::uint32_t database = database_;
    database_ = 0;
    return database != 0 && qv::DbiEndTran(database, transaction_, commit ? kCommit : kRollback) == 0;
}

}  // namespace db
