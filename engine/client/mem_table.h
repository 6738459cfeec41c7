// An in-memory table: a cursor over rows held on the client, in the order of
// their key blocks. Stand-alone it keeps rows in the order they were added;
// as the pending-changes table of a cache table its rows are keyed by the
// wrapped cursor's bookmarks and ordered by that cursor's comparison, so a
// record of the wrapped table is found among the pending rows by bookmark.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/client/cursor_base.h"

namespace qv {

// Record status of a pending row, as the record properties carry it.
enum : std::uint16_t {
    kRecUnmodified = 0,
    kRecModified = 1,
    kRecInserted = 2,
    kRecDeleted = 3,
};

// Which kinds of rows a cache table shows (its property 3).
enum : std::uint8_t {
    kShowModified = 1,
    kShowInserted = 2,
    kShowDeleted = 4,
    kShowUnmodified = 8,
    kShowDefault = kShowModified | kShowInserted | kShowUnmodified,
};

// The record properties block: u32 sequence number, u32 physical record
// number, u16 status, u16 sequence-number-changed flag, u16 delete flag.
constexpr int kRecPropsSize = 14;

class TMemTableRecord {
public:
    // The 14 record-properties bytes, written by WriteProps.
    std::uint32_t seqNo = 0;
    std::uint32_t physRecNo = 0;
    std::uint16_t status = kRecUnmodified;
    std::uint16_t seqNoChanged = 0;
    std::uint16_t deleteFlag = 0;
    // A private copy of the record; empty when none was given.
    std::vector<std::uint8_t> data;
    // The wrapped cursor's bookmark, or the row's ordinal in the first 32
    // bits when the row was made without one.
    std::vector<std::uint8_t> key;
    bool hasKey = false;
    bool applied = false;
    DBIResult applyResult = 0;

    std::uint32_t Ordinal() const { return physRecNo; }
    void WriteProps(void* props) const;
};

// The rows of one in-memory table, kept in key order; a row is entered at
// its place (after rows that compare equal, so equal keys keep the order in
// which they came).
class TCacheCollection {
public:
    using Compare = std::function<int(const TMemTableRecord&, const TMemTableRecord&)>;
    explicit TCacheCollection(Compare compare) : compare_(std::move(compare)) {}

    // Takes the row; returns its index (from 0).
    int Insert(std::unique_ptr<TMemTableRecord> row);
    void RemoveAt(int index);
    void Clear() { rows_.clear(); }
    int IndexOf(const TMemTableRecord* row) const;
    int Count() const { return static_cast<int>(rows_.size()); }
    TMemTableRecord* At(int index) const { return rows_[static_cast<std::size_t>(index)].get(); }

private:
    Compare compare_;
    std::vector<std::unique_ptr<TMemTableRecord>> rows_;
};

// A pending row as reported after an apply that did not write it.
struct TApplyFailure {
    std::uint16_t status = 0;
    DBIResult result = 0;
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> data;
};

class TMemTable : public TBaseTable {
public:
    // `comparisonCursor` orders the rows by its bookmarks (nil: stand-alone).
    // A descriptor's zero offset is replaced by the running offset and a zero
    // length is derived from its type. Rows hold `dataSize` bytes of record,
    // at least the fields' extent: a pending-changes table keeps whole
    // records of the wrapped cursor, whose buffers are longer than their
    // fields (the null flags follow them).
    TMemTable(TBapiListItem* owner, TBapiCollection* list, TBaseTable* comparisonCursor,
              const std::vector<FLDDesc>& fields, std::uint16_t bookmarkSize, std::uint32_t dataSize = 0);
    ~TMemTable() override;

    // Result of the construction: 9986 when the fields do not fit a record.
    DBIResult CreateResult() const { return createResult_; }
    const TCacheCollection& Rows() const { return rows_; }
    int RowCount() const { return rows_.Count(); }
    std::uint32_t RowNumber() const { return rowNumber_; }
    TMemTableRecord* CurrentRow() const { return current_; }
    std::uint32_t DataSize() const { return dataSize_; }

    DBIResult Open() override;
    std::uint16_t BookmarkSize() const override { return bookmarkSize_ == 0 ? 4 : bookmarkSize_; }
    DBIResult First() override;
    DBIResult Last() override;
    DBIResult NextRaw() override;
    DBIResult PriorRaw() override;
    DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) override;
    DBIResult WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) override;
    DBIResult GetBookMark(void* bookmark) override;
    DBIResult SetToBookMark(const void* bookmark) override;
    DBIResult RereadAtBookmark(const void* bookmark, void* record) override;
    DBIResult CompareBookMarks(const void* first, const void* second, std::int16_t& result) override;
    void FillRecProps(void* recProps) override;
    DBIResult GetRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult RelRecordLock(bool all) override;
    DBIResult InsertRecord(std::uint32_t lockType, void* record) override;
    DBIResult AppendRecord(void* record) override;
    DBIResult ModifyRecord(void* record, bool freeLock) override;
    DBIResult DeleteRecord(void* record) override;
    DBIResult UndeleteRecord() override;
    DBIResult GetSeqNo(std::uint32_t& seqNo) override;
    DBIResult SetToSeqNo(std::uint32_t seqNo) override;
    DBIResult GetRecordCount(std::uint32_t& count) override;
    DBIResult GetExactRecordCount(std::uint32_t& count) override;
    DBIResult EmptyTable() override;

    // ---- the pending-changes operations of a cache table ---------------------------
    // Whether a record is shown under `mask`; `row` is its pending row or nil.
    static bool RowVisible(const TMemTableRecord* row, std::uint8_t mask);
    // Adds a row holding `record` (nil: no data) under `key` (nil: the row's
    // ordinal) and positions on the last row.
    DBIResult AddRow(const void* record, const void* key);
    DBIResult NoteModification(const void* record, const void* bookmark);
    DBIResult NoteDeletion(const void* record, const void* bookmark);
    // Writes every unapplied row to the comparison cursor, from the last row
    // to the first. Each row keeps its result; the call answers the first
    // failure met, so rows that could not be written are never passed off
    // as done.
    DBIResult ApplyChanges();
    DBIResult DropAppliedRows();
    // The rows an apply tried and could not write.
    std::vector<TApplyFailure> FailedRows() const;

private:
    TBaseTable* ComparisonCursor() const;
    int CompareRows(const TMemTableRecord& a, const TMemTableRecord& b);
    int CompareOwnKeys(const void* a, const void* b) const;
    bool RowHasBookmark(const TMemTableRecord& row, const void* bookmark);
    // Positions on the row `index` (from 0) and copies it to the active record.
    DBIResult Land(int index);
    DBIResult FindOrAdd(const void* record, const void* bookmark);
    void FreeRow(int index);

    TCacheCollection rows_;
    std::uint32_t rowNumber_ = 0;
    TMemTableRecord* current_ = nullptr;
    std::uint16_t bookmarkSize_ = 0;
    std::uint32_t comparisonHandle_ = kNilHandle;
    std::uint32_t dataSize_ = 0;
    // Ordinals count up and are never reused, so a freed row's bookmark
    // cannot find a row added later.
    std::uint32_t nextOrdinal_ = 1;
    // Set by a delete: the row number then names the row after the gap.
    bool betweenRows_ = false;
    DBIResult createResult_ = 0;
};

}  // namespace qv
