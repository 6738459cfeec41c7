// One engine transaction around work that posts many rows: outside one,
// every post, edit and delete is its own transaction and waits on its own
// disk syncs; inside one, the lot syncs once, at the commit.
//
// The scope begins a transaction on the dataset's database when none is
// active there, and then owns it (Own()). Inside one already begun (an
// import reading contents in its own transaction) it adds nothing, and so
// does a dataset that is not on the engine (no database handle): rows then
// post one by one, as they would without it. Leaving the scope without
// Commit() or Rollback() ends an owned transaction as OnLeave says: Keep
// commits what was written (row-by-row posts would have kept it too), and
// TakeBack rolls it back (all or nothing).
#pragma once

#include <cstdint>

namespace db {

class TDataSet;
class TDatabase;

class TBulkTransaction {
public:
    enum OnLeave { Keep, TakeBack };

    // On the database of an open dataset (none when it is closed).
    explicit TBulkTransaction(const TDataSet& dataset, OnLeave onLeave = Keep);
    // On an engine database handle; 0 is none.
    explicit TBulkTransaction(std::uint32_t database, OnLeave onLeave = Keep);
    // On a database component's transaction, which reaches every table
    // opened through it or its alias; none when it is not connected.
    explicit TBulkTransaction(TDatabase& database, OnLeave onLeave = Keep);
    ~TBulkTransaction();
    TBulkTransaction(const TBulkTransaction&) = delete;
    TBulkTransaction& operator=(const TBulkTransaction&) = delete;

    // Whether this scope began the transaction and has not ended it yet.
    bool Own() const { return database_ != 0 || component_ != nullptr; }
    // Ends an owned transaction keeping its rows. True when there was
    // nothing to end or the engine kept them; false when the commit failed
    // (the engine then holds none of them).
    bool Commit();
    // Takes the rows of an owned transaction back now. False when it owns
    // none (the rows are then already in, or belong to the outer one) or
    // the engine refused.
    bool Rollback();

private:
    bool End(bool commit);

    OnLeave onLeave_;
    std::uint32_t database_ = 0;
    std::uint32_t transaction_ = 0;
    TDatabase* component_ = nullptr;
};

}  // namespace db
