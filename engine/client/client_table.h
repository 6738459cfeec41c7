// The cursor over a table of the server. The position, records, keys and
// BLOBs live in the server's cursor; this class keeps the server cursor id,
// the current index and a copy of the table's dictionary, from which it
// lays out records and keys and answers descriptor calls without a request.
// Every move or record call is one request, but for forward scans: after
// two unlocked next moves in a row the records come in batches read ahead
// (client_read_ahead.cpp). Filters run here, on the record the server
// returned. Before any other request of this cursor, and before any change
// by any cursor, the server cursor is put back on this one's record, so
// a batch read ahead never shows stale rows. Sequence numbers are the
// server's positions; with filters active they are counted here by a walk
// over the records before, as the server cannot tell which ones pass.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/client/cursor_base.h"
#include "engine/client/client_transport.h"
#include "engine/storage/dictionary.h"

namespace qv {

class TQVClientDatabase;

constexpr DBIResult kDbiErrBlobModified = 13058;
constexpr DBIResult kDbiErrInvalidBlobHandle = 10030;
constexpr DBIResult kDbiErrInvalidBlobOffset = 9998;
constexpr DBIResult kDbiErrInvalidIndexType = 10048;
constexpr DBIResult kDbiErrIndexOutOfDate = 8965;
constexpr DBIResult kDbiErrIndexNotUnique = 10009;

class TQVClientTable : public TBaseTable {
public:
    TQVClientTable(TQVClientDatabase* database, const char* tableName, std::uint32_t openMode,
                   std::uint32_t shareMode, std::uint16_t indexId);
    ~TQVClientTable() override;

    // Resolves `indexName` (a name in any case, a number, a field list)
    // against the table before it opens, so the server gets an index number.
    void SetIndexToOpen(const char* indexName) { indexToOpen_ = indexName ? indexName : ""; }

    DBIResult Open() override;
    DBIResult CloseCursor() override;
    std::uint16_t FieldTableCount() override { return static_cast<std::uint16_t>(dictionary_.FieldCount()); }

    DBIResult RecordInRange() override { return SetResult(0); }
    std::uint16_t BookmarkSize() const override;
    DBIResult First() override;
    DBIResult Last() override;
    DBIResult NextRaw() override;
    DBIResult PriorRaw() override;
    DBIResult ReadBlock(std::uint32_t& count, void* buffer) override;
    DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) override;
    DBIResult WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) override;
    DBIResult GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                            std::uint16_t& engineLength) override;

    DBIResult CloneCursor(bool readOnly, bool uniDirectional, hDBICur& cursor) override;
    DBIResult SetToBegin() override;
    DBIResult SetToEnd() override;
    DBIResult SetToCursor(TBaseTable* destination) override;
    DBIResult GetBookMark(void* bookmark) override;
    DBIResult SetToBookMark(const void* bookmark) override;
    DBIResult RereadAtBookmark(const void* bookmark, void* record) override;
    DBIResult CompareBookMarks(const void* first, const void* second, std::int16_t& result) override;
    void FillRecProps(void* recProps) override;
    DBIResult GetNextRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult GetPriorRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult GetRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult GetRecordForKey(bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                              const void* key, void* record) override;
    DBIResult GetVchkDesc(std::uint16_t number, void* desc) override;
    DBIResult AcqTableLock(std::uint32_t lockType) override;
    DBIResult RelTableLock(bool all, std::uint32_t lockType) override;
    DBIResult RelRecordLock(bool all) override;
    DBIResult IsTableLocked(std::uint32_t lockType, std::uint16_t& locks) override;
    DBIResult InitRecord(void* record) override;
    DBIResult InsertRecord(std::uint32_t lockType, void* record) override;
    DBIResult ModifyRecord(void* record, bool freeLock) override;
    DBIResult DeleteRecord(void* record) override;
    DBIResult GetCursorProps(void* props) override;
    DBIResult GetRecordCount(std::uint32_t& count) override;
    DBIResult GetExactRecordCount(std::uint32_t& count) override;
    // The position in the cursor's order from 1 (within the range); the
    // server counts it from its index pages. With active filters only the
    // records the filters accept count, which takes reading the records
    // before it.
    DBIResult GetSeqNo(std::uint32_t& seqNo) override;
    DBIResult SetToSeqNo(std::uint32_t seqNo) override;
    DBIResult SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                       bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                       bool inclusive2) override;
    DBIResult ResetRange() override;
    DBIResult SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                            bool currentRecord) override;
    DBIResult SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                       std::uint16_t partialLength, const void* key) override;
    DBIResult ExtractKey(const void* record, void* key) override;
    DBIResult GetIndexDesc(std::uint16_t indexNumber, void* desc) override;
    DBIResult AddIndex(const void* indexDesc, const char* keyViolName) override;
    DBIResult OpenBlob(void* record, std::uint16_t field, std::uint32_t openMode) override;
    DBIResult GetBlobSize(void* record, std::uint16_t field, std::uint32_t& size) override;
    DBIResult GetBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length, void* dest,
                      std::uint32_t& read) override;
    DBIResult PutBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                      const void* source) override;
    DBIResult TruncateBlob(void* record, std::uint16_t field, std::uint32_t length) override;
    DBIResult FreeBlob(void* record, std::uint16_t field) override;

    TQVClientDatabase* Database() const { return database_; }
    std::uint32_t ServerCursorId() const { return cursorId_; }
    std::uint32_t CurrentIndexId() const { return indexId_; }
    TqvDataDictionary& Dictionary() { return dictionary_; }
    std::uint32_t RecordLength() const { return dictionary_.GetRecordLength(); }
    std::uint32_t KeyLen() const;
    // Reloads the dictionary from `stream` and refreshes what depends on it.
    void LoadDictionary(plat::Stream& stream);
    // How many requests this cursor has sent (tests and benchmarks).
    std::uint64_t RequestCount() const { return requests_; }

    // Puts the server cursor back on the record this cursor stands on and
    // drops the records read ahead; every cursor's before a change is sent.
    DBIResult SyncReadAhead();
    static void SyncAllReadAhead();
    // Whether a request changes data: any other cursor's read-ahead records
    // must go before it is sent.
    static bool RequestChangesData(std::uint32_t messageId);

private:
    DBIResult Request(std::uint32_t messageId, const TqvRequestWriter& request, std::vector<std::uint8_t>* reply);
    // Read-ahead: the next record from the batch (or a new batch), 1 when
    // this move is not one to read ahead for.
    int NextFromReadAhead(DBIResult& rc);
    void DropReadAhead();
    // Before a request of this cursor: the batch goes, and the server
    // cursor comes back first unless the request places it anew.
    DBIResult BeforeRequest(std::uint32_t messageId);
    DBIResult ReadRecord(std::uint32_t messageId, std::uint32_t lockType, std::uint8_t* record);
    // The server's position for the sequence-number calls, filters aside.
    DBIResult ServerSeqNo(std::uint32_t& seqNo);
    DBIResult ServerSetToSeqNo(std::uint32_t seqNo);
    // Walks at most `limit` records from the start in batches, handing each
    // with its position to `visit` until it answers false (0); 8706 when
    // the records or the limit run out first.
    template <class F>
    DBIResult WalkFromStart(std::uint32_t limit, F&& visit);
    // The BLOB number of `field` in `record`: 0 with `isNull` for a null field.
    DBIResult BlobNumber(const void* record, std::uint16_t field, std::uint32_t& number, bool& isNull);
    void RefreshIndex();
    // Fails and drops the index when a walk over it misses rows.
    DBIResult CheckNewIndex(const std::string& name, bool unique);
    DBIResult ResolveIndexNumber(const char* name, std::uint32_t& number);

    TQVClientDatabase* database_;
    std::uint32_t indexId_;
    std::uint32_t cursorId_ = 0xFFFFFFFFu;
    TqvDataDictionary dictionary_;
    std::array<std::uint8_t, kMaxKeyLength> keyBuffer_{};
    std::string indexToOpen_;
    std::uint64_t requests_ = 0;
    std::vector<std::uint8_t> replyScratch_;

    struct ReadAhead {
        std::vector<std::uint8_t> records;  // `count` records one after another
        std::uint32_t count = 0;            // 0: no batch
        std::uint32_t used = 0;             // handed out; the cursor is on record `used`
        bool metEnd = false;                // fewer than asked: the server cursor is past the end
        std::uint32_t nextSize = 0;         // the next batch's size; grows while the scan goes on
    } ahead_;
    int sequentialNexts_ = 0;
    bool unlockedMove_ = false;
    // The server cursor is before the first record of the table or range
    // and nothing has been asked since: the next move starts a walk.
    bool atStart_ = false;
    // The server answered the skip-back request as unknown: step back.
    bool noSkipBack_ = false;
    // The server cursor is before the first record of the range just set
    // and nothing has been asked since: a move to the beginning is free.
    bool serverAtBegin_ = false;
};

}  // namespace qv
