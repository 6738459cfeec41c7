// The base of every cursor handle. Each cursor-level call of the database
// API is one virtual operation here; the base carries what every cursor
// shares (position states with ranges and filters, the field cache, field
// access, counting by walking, cursor properties, block reads and writes)
// and leaves the record source to the classes below it: positioning on the
// first or last record, raw moves, field reads and writes, keys, bookmarks.
// Calls no cursor of this engine carries answer the not-supported report.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/qv_lists.h"
#include "engine/api/dbi_types.h"
#include "engine/client/cursor_link.h"
#include "engine/client/handle_base.h"

namespace qv {

class TFilterListItem;


// Position states of a cursor.
enum : std::uint8_t {
    kCursorUnpositioned = 0,
    kCursorOnRecord = 1,
    kCursorAtBegin = 2,
    kCursorAtEnd = 3,
    kCursorAfterDelete = 4,
    kCursorClosed = 5,
};

// The engine's longest key; range bounds keep a whole key of this size.
constexpr int kMaxKeyLength = 1024;
constexpr std::uint16_t kBaseBookmarkSize = 256;
// A cursor name as opened, at most 255 characters; a table name at most 259.
constexpr std::size_t kMaxOpenedName = 255;
constexpr std::size_t kMaxTableName = 259;

// One cached field: its API descriptor and its engine type and length.
class TFieldCacheItem {
public:
    std::uint16_t fieldNumber = 0;
    FLDDesc desc;
    std::uint16_t engineType = 0;
    std::uint16_t engineLength = 0;
};

// One end of a range.
struct TRangeBound {
    bool keyIsKey = false;
    bool present = false;
    std::uint16_t fieldCount = 0;
    std::uint16_t partialLength = 0;
    // The inline copy below, or the caller's record buffer until it is
    // turned into a key.
    const std::uint8_t* key = nullptr;
    bool inclusive = false;
    bool wholeKey = false;
    std::array<std::uint8_t, kMaxKeyLength> data{};
};

class TBaseTable : public TBapiListItem, public ICursorHandle {
public:
    TBaseTable(TBapiListItem* owner, TBapiCollection* list, std::uint32_t openMode, std::uint32_t shareMode,
               const char* tableName);
    ~TBaseTable() override;

    // ---- properties -------------------------------------------------------------------
    DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) override;
    DBIResult CheckProp(std::uint32_t property, std::uint32_t value) override;

    // ---- buffers and names -------------------------------------------------------------
    virtual std::uint16_t FieldTableCount();
    std::uint8_t* ActiveRecord() const { return activeRecord_; }
    void SetActiveRecord(void* record) { activeRecord_ = static_cast<std::uint8_t*>(record); }
    std::uint8_t* RecordBuffer() const { return recordBuffer_; }
    void SetRecordBuffer(void* record) { recordBuffer_ = static_cast<std::uint8_t*>(record); }
    const char* TableNameAddr() const { return tableName_; }
    void SetTableName(const char* name);
    const char* NameAsOpened() const { return nameAsOpened_; }
    void SetNameAsOpened(const char* name);

    // ---- ICursorHandle -----------------------------------------------------------------
    std::string TableName() const override { return tableName_; }
    std::string FullName() const override { return nameAsOpened_; }
    std::uint32_t RecordSize() const override { return recordSize_; }
    DBIResult Open() override;
    DBIResult CloseCursor() override;
    DBIResult GetNextRecord(std::uint32_t lockType, void* record, void* recProps) override;
    DBIResult EmptyTable() override;
    DBIResult AddIndex(const void* indexDesc, const char* keyViolName) override;
    DBIResult DeleteIndex(const char* indexName, const char* tagName, std::uint16_t indexId) override;

    // ---- record source: what the classes below fill in ---------------------------------
    virtual DBIResult RecordInRange();
    virtual std::uint16_t BookmarkSize() const { return kBaseBookmarkSize; }
    virtual DBIResult First();
    virtual DBIResult Last();
    virtual DBIResult NextRaw();
    virtual DBIResult PriorRaw();
    virtual int CompareValues(std::uint16_t type, const void* first, const void* second, bool caseInsensitive,
                              std::uint32_t length);
    // Reads one field of `record` into `dest` (the field's length) and its null flag.
    virtual DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank);
    virtual DBIResult WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source);
    virtual DBIResult GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                                    std::uint16_t& engineLength);

    // ---- field cache -------------------------------------------------------------------
    TFieldCacheItem* CacheItem(int fieldNumber);
    DBIResult DropCacheItem(int fieldNumber);
    DBIResult FindFieldDesc(std::uint16_t offsetPlusOne, std::uint16_t length, FLDDesc& desc);
    static std::uint16_t SearchCondition(bool inclusive, bool nextDirection);
    DBIResult GetCacheItem(int fieldNumber, TFieldCacheItem*& item);
    void PutCacheItem(std::unique_ptr<TFieldCacheItem> item);
    void GetFieldCountAndSize(std::uint16_t& count, std::uint32_t& size);
    // The number of the field called `name` (a-z folded), 0 when none.
    // With `fill` the class is asked for fields not yet cached.
    int FieldNumberByName(const std::string& name, bool fill);

    // ---- open, close, indexes ----------------------------------------------------------
    virtual DBIResult ReindexTable();
    virtual DBIResult CloneCursor(bool readOnly, bool uniDirectional, hDBICur& cursor);
    virtual DBIResult OpenIndex(const char* indexName, std::uint16_t indexId);
    virtual DBIResult CloseIndex(const char* indexName, std::uint16_t indexId);
    // `descs` receives FLDDesc::kSize bytes per field.
    virtual DBIResult GetFieldDescs(void* descs);

    // ---- positions ---------------------------------------------------------------------
    virtual DBIResult SetToBegin();
    virtual DBIResult SetToEnd();
    virtual DBIResult SetToCursor(TBaseTable* destination);
    virtual DBIResult GetBookMark(void* bookmark);
    virtual DBIResult SetToBookMark(const void* bookmark);
    virtual DBIResult RereadAtBookmark(const void* bookmark, void* record);
    virtual const void* BookmarkKey(const void* bookmark);
    virtual DBIResult CompareBookMarks(const void* first, const void* second, std::int16_t& result);
    virtual DBIResult FirstInRange();
    virtual DBIResult LastInRange();
    virtual void FillRecProps(void* recProps);
    virtual DBIResult GetPriorRecord(std::uint32_t lockType, void* record, void* recProps);
    virtual DBIResult GetRecord(std::uint32_t lockType, void* record, void* recProps);
    virtual DBIResult GetRelativeRecord(std::int32_t offset, std::uint32_t lockType, void* record, void* recProps);
    virtual DBIResult GetRecordForKey(bool directKey, std::uint16_t fieldCount, std::uint16_t partialLength,
                                      const void* key, void* record);
    virtual DBIResult GetVchkDesc(std::uint16_t number, void* desc);
    virtual DBIResult GetRintDesc(std::uint16_t number, void* desc);

    // ---- locks -------------------------------------------------------------------------
    virtual DBIResult AcqTableLock(std::uint32_t lockType);
    virtual DBIResult RelTableLock(bool all, std::uint32_t lockType);
    virtual DBIResult RelRecordLock(bool all);
    virtual DBIResult IsRecordLocked(bool& locked);
    virtual DBIResult IsTableLocked(std::uint32_t lockType, std::uint16_t& locks);
    virtual DBIResult IsTableShared(bool& shared);

    // ---- records -----------------------------------------------------------------------
    virtual DBIResult InitRecord(void* record);
    virtual DBIResult InsertRecord(std::uint32_t lockType, void* record);
    virtual DBIResult AppendRecord(void* record);
    virtual DBIResult ModifyRecord(void* record, bool freeLock);
    virtual DBIResult DeleteRecord(void* record);
    virtual DBIResult UndeleteRecord();
    virtual DBIResult ReadBlock(std::uint32_t& count, void* buffer);
    virtual DBIResult WriteBlock(std::uint32_t& count, void* buffer);
    virtual DBIResult GetSeqNo(std::uint32_t& seqNo);
    virtual DBIResult SetToSeqNo(std::uint32_t seqNo);
    // `props` receives CURProps::kSize bytes.
    virtual DBIResult GetCursorProps(void* props);
    virtual DBIResult GetRecordCount(std::uint32_t& count);
    virtual DBIResult GetExactRecordCount(std::uint32_t& count);
    virtual DBIResult GetRecordNo(std::uint32_t& recordNo);
    virtual DBIResult SetToRecordNo(std::uint32_t recordNo);
    virtual DBIResult SaveChanges();
    virtual DBIResult ForceReread();
    virtual DBIResult RefreshRecord();
    virtual DBIResult OpenLockList(bool allUsers, bool allLockTypes, hDBICur& cursor);
    virtual DBIResult MakePermanent(const char* name, bool overwrite);

    // ---- ranges and keys ---------------------------------------------------------------
    virtual DBIResult SetRange(bool keyIsKey, std::uint16_t fields1, std::uint16_t length1, const void* key1,
                               bool inclusive1, std::uint16_t fields2, std::uint16_t length2, const void* key2,
                               bool inclusive2);
    virtual DBIResult ResetRange();
    // Compares `key` with `other` (nil: the active record buffer), both in
    // the key layout of the current index.
    virtual DBIResult CompareKeys(const void* key, const void* other, std::int16_t& result,
                                  std::uint16_t fieldCount, std::uint16_t partialLength);
    // A field list ("@A@B", "A;B"), an index number ("0") or a name; see the source.
    virtual DBIResult ResolveIndex(const char* indexName, std::uint16_t& indexNumber, std::string& resolvedName);
    virtual DBIResult SwitchToIndex(const char* indexName, const char* tagName, std::uint16_t indexId,
                                    bool currentRecord);
    virtual DBIResult SetToKey(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                               std::uint16_t partialLength, const void* key);
    virtual DBIResult SetToKeySpecial(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                                      std::uint16_t partialLength, const void* key, void* record);
    virtual DBIResult ExtractKey(const void* record, void* key);
    virtual DBIResult ExtractKeyPrecise(const void* record, void* key);
    // `desc` receives IDXDesc::kSize bytes.
    virtual DBIResult GetIndexDesc(std::uint16_t indexNumber, void* desc);
    virtual DBIResult GetIndexDescs(void* descs);
    virtual DBIResult IndexDescByName(const char* name, void* desc);
    virtual DBIResult IndexNumberByName(const char* name, std::uint16_t& number);
    virtual DBIResult DeleteAllRecords();

    // ---- delayed updates, BLOBs, fields ------------------------------------------------
    virtual DBIResult BeginDelayedUpdates(hDBICur& cursor);
    // Gives back the wrapped cursor in `cursor`.
    virtual DBIResult EndDelayedUpdates(hDBICur& cursor);
    virtual DBIResult ApplyDelayedUpdates(std::uint32_t action);
    virtual DBIResult GetDelayedUpdates(void* info);
    virtual DBIResult GetLdObj(void*& ldObj);
    virtual DBIResult OpenBlob(void* record, std::uint16_t field, std::uint32_t openMode);
    virtual DBIResult GetBlobSize(void* record, std::uint16_t field, std::uint32_t& size);
    virtual DBIResult GetBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                              void* dest, std::uint32_t& read);
    virtual DBIResult PutBlob(void* record, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                              const void* source);
    virtual DBIResult TruncateBlob(void* record, std::uint16_t field, std::uint32_t length);
    virtual DBIResult FreeBlob(void* record, std::uint16_t field);
    virtual DBIResult GetBlobHeading(std::uint16_t field, void* record, void* dest);
    virtual DBIResult SetFieldMap(std::uint16_t count, const void* fieldDescs);
    // `blank` may be nil; then the blank flag is not reported.
    virtual DBIResult GetField(std::uint16_t fieldNumber, const void* record, void* dest, bool* blank);
    virtual DBIResult PutField(std::uint16_t fieldNumber, void* record, const void* source);

    // ---- filters -----------------------------------------------------------------------
    void RecomputeFiltersActive();
    DBIResult AddFilter(std::uint32_t clientData, std::uint16_t priority, bool canAbort, const void* expression,
                        void* callback, TFilterListItem*& filter);
    DBIResult DropFilter(TFilterListItem* filter);
    DBIResult ActivateFilter(TFilterListItem* filter);
    DBIResult DeactivateFilter(TFilterListItem* filter);
    // `info` receives 24 bytes.
    DBIResult GetFilterInfo(TFilterListItem* filter, void* info);
    // True when every filter accepts the active record.
    bool FiltersAccept();
    bool FiltersActive() const { return filtersActive_; }
    int FilterCount() const { return static_cast<int>(filters_.size()); }

    // ---- link mode ---------------------------------------------------------------------
    virtual DBIResult BeginLinkMode(hDBICur& cursor);
    virtual DBIResult EndLinkMode(hDBICur& cursor);
    virtual DBIResult LinkDetail(hDBICur master, hDBICur detail, std::uint16_t fieldCount,
                                 const void* masterFields, const void* detailFields);
    virtual DBIResult LinkDetailToExp(hDBICur master, hDBICur detail, std::uint16_t keyLength,
                                      const char* expression);
    virtual DBIResult UnlinkDetail(hDBICur detail);
    virtual DBIResult GetLinkStatus(hDBICur& master, hDBICur& detail, hDBICur& sibling);

    std::uint8_t State() const { return state_; }
    std::uint32_t OpenModeValue() const { return openMode_; }
    std::uint32_t ShareModeValue() const { return shareMode_; }
    const TRangeBound& RangeStart() const { return start_; }
    const TRangeBound& RangeEnd() const { return end_; }
    bool RereadPending() const { return rereadPending_; }

protected:
    void SetState(std::uint8_t state) { state_ = state; }
    void SetRecordSize(std::uint32_t size) { recordSize_ = size; }
    // Key length of the current index, capped to the engine's key length.
    std::uint32_t KeyLength() const;
    // The filter step after a move in one direction.
    DBIResult FilterStep(DBIResult moved, bool next);
    // One move forwards or backwards, with filters, range and locking.
    DBIResult StepRecord(bool forward, std::uint32_t lockType, void* record, void* recProps);

    std::uint32_t computedRecordSize_ = 0;
    std::uint32_t recordSize_ = 0;
    std::uint32_t openMode_ = 0;
    std::uint32_t shareMode_ = 0;
    // The current index; a cursor class fills it.
    IDXDesc indexDesc_;
    struct KeyFieldLength {
        std::uint16_t length = 0;
        bool set = false;
    };
    std::array<KeyFieldLength, IDXDesc::kMaxKeyFields> keyFieldLengths_{};
    bool rereadPending_ = false;

private:
    void FillBound(TRangeBound& bound, bool keyIsKey, std::uint16_t fields, std::uint16_t length, const void* key,
                   bool inclusive);
    int FilterIndex(TFilterListItem* filter);

    std::uint8_t* recordBuffer_ = nullptr;
    std::uint8_t* activeRecord_ = nullptr;
    std::uint8_t state_ = kCursorClosed;
    TRangeBound start_;
    TRangeBound end_;
    bool filtersActive_ = false;
    std::vector<std::uint8_t> fieldTable_;
    std::vector<std::unique_ptr<TFieldCacheItem>> fieldCache_;
    std::vector<std::unique_ptr<TFilterListItem>> filters_;
    bool singleKeyRange_ = false;
    char tableName_[kMaxTableName + 1] = {};
    char nameAsOpened_[kMaxOpenedName + 1] = {};
};

// Opens as an empty list: every move answers the end of the table.
class TEmptyListTable : public TBaseTable {
public:
    TEmptyListTable(TBapiListItem* owner, TBapiCollection* list);
    DBIResult Open() override;
    // A walk over no rows runs off the end it walks towards.
    DBIResult First() override { return SetResult(kDbiErrEof); }
    DBIResult Last() override { return SetResult(kDbiErrBof); }
};

// Every cursor call looks its handle up: the cursor flag instead of a
// dynamic cast.
template <>
inline TBaseTable* HandleAs<TBaseTable>(std::uint32_t handle) {
    TBapiListItem* item = FindHandle(handle);
    return item != nullptr && item->IsCursor() ? static_cast<TBaseTable*>(item) : nullptr;
}

}  // namespace qv
