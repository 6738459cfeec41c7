// Cached (delayed) updates: a cursor laid over another one. Reads go to the
// wrapped cursor; inserts, modifications and deletions are kept in an
// in-memory pending-changes table keyed by the wrapped cursor's bookmarks and
// are laid over the records read, until they are applied to the wrapped
// cursor, committed or cancelled.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/client/mem_table.h"

namespace qv {

// Operations of ApplyDelayedUpdates.
enum : std::uint32_t {
    kDelayedUpdCommit = 0,
    kDelayedUpdCancel = 1,
    kDelayedUpdCancelCurrent = 2,
    kDelayedUpdPrepare = 3,
};

// Properties of a cache table (low 16 bits of the id).
enum : std::uint32_t {
    kCachePropShownMask = 3,
    kCachePropOldRecord = 4,
    kCachePropPendingCount = 5,
    // The number of pending rows the last apply could not write.
    kCachePropFailedCount = 6,
};

class TBaseCacheTable : public TBaseTable {
public:
    // Entered into the wrapped cursor's list, beside it.
    explicit TBaseCacheTable(TBaseTable* wrapped);
    ~TBaseCacheTable() override;

    // Result of the construction; non-zero when no pending-changes table
    // could be built over the wrapped cursor.
    DBIResult CreateResult() const { return createResult_; }
    TMemTable* Pending() const { return pending_.get(); }
    // The wrapped cursor, nil once it has been freed.
    TBaseTable* Wrapped() const;
    std::uint8_t ShownMask() const { return mask_; }
    // The rows the last apply could not write, with their results.
    std::vector<TApplyFailure> FailedRows() const;

    // ---- named operations -------------------------------------------------------------
    DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) override;
    DBIResult SetProp(std::uint32_t property, std::uint32_t value) override;
    DBIResult FirstInRange() override;
    DBIResult LastInRange() override;
    DBIResult GetNextRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult GetPriorRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult GetRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult InsertRecord(std::uint32_t lockType, void* record) override;
    DBIResult AppendRecord(void* record) override;
    DBIResult ModifyRecord(void* record, bool freeLock) override;
    DBIResult DeleteRecord(void* record) override;
    DBIResult SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                            bool currentRecord) override;
    // Hands back the wrapped cursor and frees this cache table: the object
    // must not be used after the call.
    DBIResult EndDelayedUpdates(hDBICur& cursor) override;
    DBIResult ApplyDelayedUpdates(std::uint32_t action) override;
    DBIResult GetDelayedUpdates(void* info) override;

    // Whether the record just read is shown; a shown record gets its pending
    // data and record properties. Public for the tests of the overlay.
    bool Overlay(void* record, void* recProps);

    // ---- passed on to the wrapped cursor ----------------------------------------------
    std::uint32_t RecordSize() const override;
    DBIResult Open() override;
    DBIResult CloseCursor() override;
    DBIResult EmptyTable() override;
    DBIResult AddIndex(const void* indexDesc, const char* keyViolName) override;
    DBIResult DeleteIndex(const char* indexName, const char* tagName, std::uint16_t indexId) override;
    std::uint16_t BookmarkSize() const override;
    DBIResult First() override;
    DBIResult Last() override;
    DBIResult NextRaw() override;
    DBIResult PriorRaw() override;
    DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) override;
    DBIResult WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) override;
    DBIResult GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                            std::uint16_t& engineLength) override;
    DBIResult CloneCursor(bool readOnly, bool uniDirectional, hDBICur& cursor) override;
    DBIResult GetFieldDescs(void* descs) override;
    DBIResult SetToBegin() override;
    DBIResult SetToEnd() override;
    DBIResult SetToCursor(TBaseTable* destination) override;
    DBIResult GetBookMark(void* bookmark) override;
    DBIResult SetToBookMark(const void* bookmark) override;
    DBIResult CompareBookMarks(const void* first, const void* second, std::int16_t& result) override;
    DBIResult GetRecordForKey(bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                              const void* key, void* record) override;
    DBIResult AcqTableLock(std::uint32_t lockType) override;
    DBIResult RelTableLock(bool all, std::uint32_t lockType) override;
    DBIResult RelRecordLock(bool all) override;
    DBIResult IsRecordLocked(bool& locked) override;
    DBIResult IsTableLocked(std::uint32_t lockType, std::uint16_t& locks) override;
    DBIResult IsTableShared(bool& shared) override;
    DBIResult InitRecord(void* record) override;
    DBIResult UndeleteRecord() override;
    DBIResult GetSeqNo(std::uint32_t& seqNo) override;
    DBIResult SetToSeqNo(std::uint32_t seqNo) override;
    DBIResult GetCursorProps(void* props) override;
    DBIResult GetRecordCount(std::uint32_t& count) override;
    DBIResult GetExactRecordCount(std::uint32_t& count) override;
    DBIResult GetRecordNo(std::uint32_t& recordNo) override;
    DBIResult SetToRecordNo(std::uint32_t recordNo) override;
    DBIResult SaveChanges() override;
    DBIResult ForceReread() override;
    DBIResult SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                       bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                       bool inclusive2) override;
    DBIResult ResetRange() override;
    DBIResult SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                       std::uint16_t partialLength, const void* key) override;
    DBIResult ExtractKey(const void* record, void* key) override;
    DBIResult GetIndexDesc(std::uint16_t indexNumber, void* desc) override;
    DBIResult GetIndexDescs(void* descs) override;
    DBIResult OpenBlob(void* record, std::uint16_t field, std::uint32_t openMode) override;
    DBIResult GetBlobSize(void* record, std::uint16_t field, std::uint32_t& size) override;
    DBIResult GetBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length, void* dest,
                      std::uint32_t& read) override;
    DBIResult PutBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                      const void* source) override;
    DBIResult TruncateBlob(void* record, std::uint16_t field, std::uint32_t length) override;
    DBIResult FreeBlob(void* record, std::uint16_t field) override;
    DBIResult GetField(std::uint16_t fieldNumber, const void* record, void* dest, bool* blank) override;
    DBIResult PutField(std::uint16_t fieldNumber, void* record, const void* source) override;

private:
    // Repeats a move of the wrapped cursor until it fails or shows a record.
    std::uint8_t* BookmarkBlock(TBaseTable* wrapped);
    DBIResult MoveShown(bool next, std::uint32_t lockType, void* record, void* recProps);

    std::uint32_t wrappedHandle_ = kNilHandle;
    std::unique_ptr<TMemTable> pending_;
    std::uint8_t mask_ = kShowDefault;
    bool oldRecord_ = false;
    std::vector<std::uint8_t> bookmark_;
    DBIResult createResult_ = 0;
};

}  // namespace qv
