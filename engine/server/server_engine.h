// The server engine: owner of the configuration, the buffer manager and the
// object lists, and the operations the request dispatcher calls. Every
// operation answers a database-API result code (0 success) and never lets
// an exception escape to the dispatcher for the storage errors it converts.
//
// Every reader frees its BLOB when done, so freeing one that holds data
// outside a transaction is a read: no implicit transaction, no sync. Only an
// empty BLOB pays for the journaled transaction that removes it.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/server/server_config.h"
#include "engine/server/server_objects.h"
#include "engine/storage/buffer_manager.h"

namespace plat {
class Stream;
}

namespace qv {

using DBIResult = std::uint16_t;

// Result codes the server engine answers itself.
namespace dbi {
constexpr DBIResult kOk = 0, kInvalidHandle = 9990, kNoCurrentRecord = 8709, kAtEnd = 8706, kAtBegin = 8705,
                    kKeyViolation = 9729, kRecordNotFound = 8710, kInvalidParameter = 9986,
                    kFieldRequired = 9732, kNoIndex = 10764, kInvalidFieldType = 10000, kBookmarkMismatch = 10021,
                    kOtherTable = 10020, kBlobLength = 10029, kBlobOffset = 9998, kBlobModified = 13058,
                    kInvalidIndexType = 10048, kIndexExists = 10027, kTooManyIndexes = 9487,
                    kInvalidIndexDescriptor = 10023, kIndexInUse = 10035, kIndexMissing = 9997, kUnknownUser = 10036, kRights = 10498,
                    kNotUnique = 10009, kUnknownDatabase = 10014, kInvalidDirectory = 10018,
                    kTableMissing = 10024, kTableOpen = 10031, kInvalidTableName = 10039,
                    kRecordLocked = 10241, kUnlockFailed = 10242, kFileLocked = 10245,
                    kNotExclusive = 10253, kTransactionActive = 10256, kNoTransaction = 10257,
                    kDatabaseReadOnly = 10501, kTableReadOnly = 10763, kTableExists = 13060,
                    kNoMemory = 9473, kIndexCorrupt = 8965, kUnknownServerError = 15520, kUnexpectedException = 15521;
}

// Rights bits of a user.
enum : std::uint8_t { rightAdmin = 1, rightRead = 2, rightInsert = 4, rightUpdate = 8, rightDelete = 16 };

class TqvServerEngine {
public:
    TqvServerEngine();
    ~TqvServerEngine();
    TqvServerEngine(const TqvServerEngine&) = delete;
    TqvServerEngine& operator=(const TqvServerEngine&) = delete;

    static TqvServerEngine* Instance();

    TqvServerConfiguration& Configuration() { return *configuration_; }
    TqvBufferManager& BufferManager() { return *bufferManager_; }

    // Re-entrant; opens the buffer manager's access window.
    void Lock();
    void Unlock();

    // ---- lookups ----
    DBIResult FindClient(std::uint32_t id, TqvSrClient*& client);
    DBIResult FindCursor(std::uint32_t id, TqvSrCursor*& cursor);
    DBIResult FindDatabase(std::uint32_t id, TqvSrDatabase*& database);
    DBIResult FindTransaction(std::uint32_t id, TqvSrTransaction*& transaction);
    DBIResult FindSession(std::uint32_t clientId, std::uint32_t sessionId, TqvSrSession*& session,
                          TqvSrClient*& client);
    TqvSrTable* FindOpenTable(const TqvSrFolder* folder, std::string_view name);
    bool IsTableOpen(const TqvSrFolder* folder, std::string_view name) { return FindOpenTable(folder, name); }
    // Adds the key of every row of `t` to its new index `n`; 9729 on a refused key.
    DBIResult BuildNewIndexKeys(TqvSrTable* t, std::uint32_t n);
    // Finishes or undoes interrupted table swaps of the folder (see rebuild_swap.h).
    void RecoverSwaps(TqvSrFolder* folder);

    static DBIResult ExceptionToResult(const std::exception& e);
    static DBIResult MessageNumberToResult(std::int32_t n);

    // ---- clients and sessions ----
    DBIResult ClientAdd(std::uint32_t clientId, std::string_view clientName, std::string_view userName,
                        std::uint32_t& passwordHash);
    DBIResult CheckClientRights(std::uint32_t clientId, std::uint8_t rights);
    DBIResult ClientRemove(std::uint32_t clientId);
    DBIResult SessionAdd(std::uint32_t clientId, std::uint32_t& sessionId);
    DBIResult SessionGetCurrent(std::uint32_t clientId, std::uint32_t& sessionId);
    DBIResult SessionSetCurrent(std::uint32_t clientId, std::uint32_t sessionId);
    DBIResult SessionClose(std::uint32_t clientId, std::uint32_t sessionId);

    // ---- table and record locks ----
    DBIResult AcqTableLock(std::uint32_t cursorId, int kind);
    DBIResult RelTableLock(std::uint32_t cursorId, bool all, int kind);
    DBIResult IsTableLocked(std::uint32_t cursorId, int kind, bool& locked);
    DBIResult RecordRelLock(std::uint32_t cursorId, bool all);

    // ---- databases ----
    DBIResult DatabaseOpen(std::uint32_t clientId, std::string_view alias, bool writable, bool shared,
                           std::uint32_t& databaseId);
    DBIResult DatabaseOpenNoAlias(std::uint32_t clientId, std::string_view path, bool writable, bool shared,
                                  std::uint32_t& databaseId);
    DBIResult DatabaseClose(std::uint32_t databaseId);
    DBIResult DatabaseInTrans(std::uint32_t databaseId, bool& inTransaction);
    DBIResult DatabaseAliasList(plat::Stream& reply);
    DBIResult DatabaseAddAlias(std::string_view alias, std::string_view path);
    DBIResult DatabaseDeleteAlias(std::string_view alias);
    DBIResult DatabaseChgAliasPath(std::string_view alias, std::string_view path);
    DBIResult DatabaseTableList(std::uint32_t databaseId, std::string_view mask, plat::Stream& reply);

    // ---- tables ----
    DBIResult OpenTable(std::uint32_t databaseId, std::string_view tableName, std::string_view indexName,
                        std::uint32_t indexNumber, bool writable, bool shared, std::uint8_t fileFlag,
                        plat::Stream* reply, std::uint32_t& cursorId);
    DBIResult BuildTable(std::uint32_t databaseId, bool overwrite, const TqvDataDictionary& dictionary,
                         std::uint8_t fileFlag, std::string_view tableName);
    DBIResult DeleteTable(std::uint32_t databaseId, std::string_view tableName);
    DBIResult RenameTable(std::uint32_t databaseId, std::string_view oldName, std::string_view newName);
    DBIResult EmptyTable(std::uint32_t databaseId, std::uint32_t cursorId, std::string_view tableName);
    DBIResult GetTableDictionary(std::uint32_t databaseId, std::string_view tableName, plat::Stream& reply,
                                 std::uint8_t fileFlag);
    DBIResult CursorClose(std::uint32_t cursorId);
    // Without a cursor the table is opened exclusively for the change.
    DBIResult AddIndex(std::uint32_t& databaseId, std::uint32_t cursorId, const TqvIndexDescriptor& descriptor,
                       std::string& tableName);
    DBIResult DropIndex(std::uint32_t databaseId, std::uint32_t cursorId, std::uint32_t indexNumber,
                        std::string_view indexName, std::string_view tableName);

    // ---- cursors, records and BLOBs ----
    // Buffers a client sends come with their sizes; every size is checked
    // against the table before anything is copied.
    DBIResult SetToBegin(std::uint32_t cursorId);
    DBIResult SetToEnd(std::uint32_t cursorId);
    DBIResult SetToKey(std::uint32_t cursorId, int searchAction, bool directKey, std::uint32_t fieldCount,
                       std::uint32_t partialLength, const std::uint8_t* data, std::size_t size);
    DBIResult SetToBookmark(std::uint32_t cursorId, const std::uint8_t* bookmark, std::size_t size);
    DBIResult SetToCursor(std::uint32_t cursorId, std::uint32_t sourceId);
    DBIResult GetBookmark(std::uint32_t cursorId, std::string& bookmark);
    DBIResult CompareBookmarks(std::uint32_t cursorId, const std::string& b1, const std::string& b2, int& result);
    DBIResult SwitchToIndex(std::uint32_t cursorId, std::string_view indexName, std::uint32_t indexNumber,
                            bool keepPosition);
    struct RangeEnd {
        const std::uint8_t* data = nullptr;  // none: an open end
        std::size_t size = 0;
        std::uint32_t fieldCount = 0, partialLength = 0;
        bool inclusive = true;
    };
    DBIResult SetRange(std::uint32_t cursorId, bool directKeys, const RangeEnd& start, const RangeEnd& end);
    DBIResult ResetRange(std::uint32_t cursorId);
    DBIResult CursorClone(std::uint32_t cursorId, bool writable, std::uint32_t& newCursorId);
    DBIResult RecordGet(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size);
    DBIResult RecordGetNext(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size);
    DBIResult RecordGetPrev(std::uint32_t cursorId, bool lock, std::uint8_t* buffer, std::size_t size);
    DBIResult RecordGetForKey(std::uint32_t cursorId, bool directKey, std::uint32_t fieldCount,
                              std::uint32_t partialLength, const std::uint8_t* data, std::size_t size,
                              std::uint8_t* record, std::size_t recordSize);
    DBIResult RecordGetBatch(std::uint32_t cursorId, std::uint32_t maxCount, std::uint32_t slotSize,
                             std::uint8_t* buffer, std::size_t size, std::uint32_t& count);
    // Moves back `count` records without reading them out, as as many
    // unlocked prior moves would; the first failure ends it.
    DBIResult RecordSkipBack(std::uint32_t cursorId, std::uint32_t count);
    DBIResult RecordExtractKey(std::uint32_t cursorId, const std::uint8_t* record, std::size_t size,
                               std::string& key);
    DBIResult RecordInsert(std::uint32_t cursorId, bool lock, std::uint8_t* record, std::size_t size);
    DBIResult RecordInsertBatch(std::uint32_t cursorId, std::uint32_t count, std::uint8_t* records,
                                std::uint32_t recordSize, std::size_t size, std::vector<DBIResult>& results);
    DBIResult RecordModify(std::uint32_t cursorId, const std::uint8_t* record, std::size_t size, bool releaseLock);
    DBIResult RecordDelete(std::uint32_t cursorId, std::uint8_t* buffer, std::size_t size);
    DBIResult GetTableRecCount(std::uint32_t cursorId, std::uint32_t& count);
    // The current record's position in the cursor's order (index or, for
    // index 0, record order), counted from 1 at the start of the range;
    // no current record: 8709. Setting one past the records: 8706, and the
    // cursor stays where it was.
    DBIResult GetSeqNo(std::uint32_t cursorId, std::uint32_t& seqNo);
    DBIResult SetToSeqNo(std::uint32_t cursorId, std::uint32_t seqNo);
    DBIResult SetTableAutoIncValue(std::uint32_t cursorId, std::uint32_t value);
    DBIResult CreateBLOB(std::uint32_t cursorId, std::uint32_t& blobNr);
    DBIResult DeleteBLOB(std::uint32_t cursorId, std::uint32_t blobNr);
    DBIResult FreeBLOB(std::uint32_t cursorId, std::uint32_t blobNr);
    DBIResult GetBLOBLength(std::uint32_t cursorId, std::uint32_t blobNr, std::uint32_t& length);
    DBIResult ReadBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t offset, std::int64_t length,
                       std::uint8_t* buffer, std::size_t size, std::uint32_t& bytesRead);
    DBIResult WriteBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t offset, std::int64_t length,
                        const std::uint8_t* data, std::size_t size);
    DBIResult TruncateBLOB(std::uint32_t cursorId, std::uint32_t blobNr, std::int64_t newLength);
    DBIResult AddFileBLOB(std::uint32_t cursorId, std::string_view fileName, std::uint32_t& blobNr);
    // Copies a BLOB between cursors in chunks of `bufferSize`; the target's
    // BLOB number comes back (a file BLOB gets a new number).
    DBIResult CopyBLOB(std::uint32_t sourceId, std::uint32_t sourceBlob, std::uint32_t targetId,
                       std::uint32_t& targetBlob, std::uint32_t bufferSize);

    // ---- transactions ----
    DBIResult TransactionStart(std::uint32_t databaseId, bool failSafe, std::uint32_t& transactionId);
    DBIResult TransactionCommit(std::uint32_t transactionId);
    DBIResult TransactionRollback(std::uint32_t transactionId);
    DBIResult TransactionSaveProgress(std::uint32_t transactionId);
    DBIResult TransactionDiscardProgress(std::uint32_t transactionId);

    // The object lists (read by tests and by the rebuild and system-table code).
    TqvSrTypedList<TqvSrClient>& Clients() { return clients_; }
    TqvSrTypedList<TqvSrCursor>& Cursors() { return cursors_; }
    TqvSrDatabaseList& Databases() { return databases_; }
    TqvSrFolderList& Folders() { return folders_; }
    TqvSrTypedList<TqvSrSession>& Sessions() { return sessions_; }
    TqvSrTableList& Tables() { return tables_; }
    TqvSrTypedList<TqvSrTransaction>& Transactions() { return transactions_; }

private:
    DBIResult OpenDatabaseOnFolder(TqvSrClient* client, const std::string& path, bool writable, bool shared,
                                   std::uint32_t& databaseId);
    DBIResult EndTransaction(std::uint32_t transactionId, bool commit);
    template <class F>
    DBIResult IndexChange(std::uint32_t& databaseId, std::uint32_t cursorId, std::string& tableName, F&& body);
    template <class F>
    DBIResult Changing(TqvSrCursor* cursor, bool needRecord, F&& body);

    std::unique_ptr<TqvBufferManager> bufferManager_;
    std::unique_ptr<TqvServerConfiguration> configuration_;
    TqvPadLock lock_;
    // Declared in reverse of the order they are freed in.
    TqvSrFolderList folders_;
    TqvSrTypedList<TqvSrClient> clients_;
    TqvSrDatabaseList databases_;
    TqvSrTableList tables_;
    TqvSrTypedList<TqvSrCursor> cursors_;
    TqvSrTypedList<TqvSrSession> sessions_;
    TqvSrTypedList<TqvSrTransaction> transactions_;
};

// Holds the engine lock for a scope.
class TqvEngineLock {
public:
    explicit TqvEngineLock(TqvServerEngine& e) : e_(e) { e_.Lock(); }
    ~TqvEngineLock() { e_.Unlock(); }
    TqvEngineLock(const TqvEngineLock&) = delete;
    TqvEngineLock& operator=(const TqvEngineLock&) = delete;

private:
    TqvServerEngine& e_;
};

}  // namespace qv
