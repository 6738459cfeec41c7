// The server's objects: clients, sessions, databases, folders, open tables,
// cursors and transactions, and the keyed lists that hold them. Clients see
// only 32-bit ids (never reused), which every operation looks up again.
//
// An object with parents sits in the engine's list of its kind and in its
// parent's list; dropping it from any of them frees it and unlinks it from
// the others (the lists' unlink-from-all flag).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/qv_lists.h"
#include "engine/server/server_locks.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/table_file.h"

namespace qv {

class TqvServerEngine;
class TqvSrSession;
class TqvSrDatabase;
class TqvSrTable;
class TqvSrCursor;
class TqvBufferManager;
class TqvKeyProcItem;
class TqvCursorNav;

// A keyed list of server objects. `owning` lists free their items when they
// drop them; all lists here do, as an object lives while any list holds it.
class TqvSrList {
public:
    bool Insert(TqvListItem* item) { return list_.Insert(item); }
    void Delete(std::uint32_t id) {
        std::int32_t key = static_cast<std::int32_t>(id);
        list_.Delete(&key);
    }
    TqvListItem* GetItem(bool byIndex, std::uint32_t n);
    int Count() { return list_.Count(); }
    void Clear() { list_.Clear(); }
    TqvList& List() { return list_; }

private:
    TqvList list_;
};

// Typed views of the list.
template <class T>
class TqvSrTypedList : public TqvSrList {
public:
    T* Item(int i) { return static_cast<T*>(GetItem(true, static_cast<std::uint32_t>(i))); }
    T* Find(std::uint32_t id) { return static_cast<T*>(GetItem(false, id)); }
};

class TqvSrFolder : public TqvSelfListItem {
public:
    TqvSrFolder(std::string upperPath, std::string osPath);
    std::uint32_t pathHash = 0;
    std::uint32_t transactionId = 0;  // the one transaction on this directory
    std::string path;                 // upper case, <= 219: what identifies the folder
    std::string osPath;               // the expanded path as given, for file access
    std::uint32_t refCount = 0;
};

class TqvSrFolderList : public TqvSrTypedList<TqvSrFolder> {
public:
    TqvSrFolder* AddRef(const std::string& path);
    void Release(std::uint32_t folderId);
};

class TqvSrSessionList {
public:
    bool Insert(TqvSrSession* s);
    void Delete(std::uint32_t id);
    TqvSrSession* GetItem(bool byIndex, std::uint32_t n);
    int Count() { return list_.Count(); }
    void SetDefault(TqvSrSession* s);
    void SetCurrent(TqvSrSession* s);
    TqvSrSession* GetCurrent();
    TqvSrSession* Default() const { return default_; }
    void Clear();

private:
    TqvSrTypedList<TqvSrSession> list_;
    TqvSrSession* default_ = nullptr;
    TqvSrSession* current_ = nullptr;
};

struct TqvUserRecord {
    std::string userName, lastName, firstName;
    std::uint8_t rights = 0;
};

class TqvSrClient : public TqvIntListItem {
public:
    TqvSrClient(std::uint32_t clientId, std::string clientName, const TqvUserRecord* user);
    ~TqvSrClient() override;
    std::uint32_t ClientId() const { return static_cast<std::uint32_t>(key_); }
    std::string clientName;
    TqvSrSessionList sessions;
    std::string userName, lastName, firstName;
    std::uint8_t rights = 0;
    TqvSrSession* firstSession = nullptr;
};

class TqvSrSession : public TqvSelfListItem {
public:
    explicit TqvSrSession(TqvSrClient* client);
    ~TqvSrSession() override;
    TqvSrClient* client;
    TqvSrTypedList<TqvSrDatabase> databases;
};

class TqvSrDatabase : public TqvSelfListItem {
public:
    TqvSrDatabase(TqvServerEngine* engine, TqvSrSession* session, TqvSrFolder* folder, bool writable, bool shared);
    ~TqvSrDatabase() override;
    TqvSrTypedList<TqvSrCursor> cursors;
    TqvSrFolder* folder;
    std::uint8_t writable;
    TqvSrSession* session;
    std::uint8_t shared;
    std::uint32_t transactionId = 0;

private:
    TqvServerEngine* engine_;
};

class TqvSrDatabaseList : public TqvSrTypedList<TqvSrDatabase> {
public:
    TqvSrDatabase* FindByFolder(const TqvSrFolder* folder);
};

class TqvSrTable : public TqvSelfListItem {
public:
    TqvSrTable(TqvServerEngine* engine, std::string name, TqvSrFolder* folder, TqvBufferManager* bm, bool shared);
    ~TqvSrTable() override;

    std::string GetName() const { return name_.substr(0, 31); }
    TbtdFileInfo* GetFile(std::uint32_t n) { return n < files.size() ? files[n].get() : nullptr; }
    std::string BaseFilePath() const;

    void OpenFiles(std::uint8_t flag);
    // Each index slot of the files agrees with the dictionary (key length, flags).
    bool IndexHeadersMatch();
    void CreateFiles(std::uint32_t transactionId, std::uint8_t flag, const TqvDataDictionary& dict);
    void CloseFiles();
    void ResolveKeyRoutines();
    void ReleaseKeyRoutines();
    // Makes the files anew and commits; answers the commit's code.
    std::uint16_t Empty(std::uint32_t transactionId);
    void BindFiles(std::uint32_t transactionId);

    // Lock wrappers answering result codes.
    // Records and keys (the cursor unit). Each answers a result code.
    std::uint16_t BuildKey(std::uint32_t index, const std::uint8_t* record, std::uint32_t fieldCount,
                           std::uint32_t partialLength, std::uint8_t* key);
    std::uint16_t InsertRecord(TqvSrCursor* cursor, std::uint8_t* record, bool lock, std::uint32_t& reference);
    std::uint16_t ModifyRecord(TqvSrCursor* cursor, const std::uint8_t* record, bool releaseLock);
    std::uint16_t DeleteRecord(TqvSrCursor* cursor);
    void ReadRecord(std::uint32_t reference, std::uint8_t* buffer);
    // The next live record after `reference` (0: the first) in file order;
    // `next` is 0 when there is none.
    void NextRecordInFileOrder(std::uint32_t reference, std::uint32_t& next, std::uint8_t* buffer);
    // Fills a cursor's index context and compare context for `index`.
    void GetIndexInfo(std::uint32_t index, TqvCursorNav& nav);
    // kind 0 inserted, 1 deleted, 2 key changed in `index`.
    void NotifyCursors(TqvSrCursor* except, int kind, std::uint32_t index, std::uint32_t reference);

    std::uint16_t AcquireTableLock(std::uint32_t session, int kind);
    std::uint16_t ReleaseTableLock(std::uint32_t session, std::uint32_t cursor, int kind, bool all);
    bool IsTableLockedBy(std::uint32_t session, int kind) const;
    bool LockRecord(std::uint32_t session, std::uint32_t cursor, bool lock, std::uint32_t reference);
    void ReleaseRecordLocks(std::uint32_t cursor, std::uint32_t reference);

    TqvBufferManager* bufferManager;
    TqvSrTypedList<TqvSrCursor> cursors;
    TqvDataDictionary dictionary;
    std::vector<TbtdFileInfoPtr> files;
    TqvSrFolder* folder;
    TqvSrSession* exclusiveOwner = nullptr;
    std::uint8_t shared;
    TqvLockContainer locks;
    std::vector<void*> keyBuildRoutines, keyCompareRoutines;

private:
    void MakeFileRecord(std::uint32_t n, std::uint8_t flag, bool encrypted);
    void CreateTableFile(std::uint32_t n, std::uint32_t transactionId, std::uint8_t flag, bool encrypted);

    TqvServerEngine* engine_;
    std::string name_;
    std::vector<TqvKeyProcItem*> boundRoutines_;
};

class TqvSrTableList : public TqvSrTypedList<TqvSrTable> {
public:
    void RemoveUnused();
};

// A cursor's place in its index; made by the cursor unit on first use.
class TqvCursorState {
public:
    virtual ~TqvCursorState() = default;
    virtual std::unique_ptr<TqvCursorState> Clone() const = 0;
    // The index pages the path points into may have changed under it.
    virtual void InvalidatePath() = 0;
    // The table's files were closed and opened again: point at the new ones.
    virtual void FilesReopened(TqvSrTable* table, std::uint32_t index) = 0;
};

// Position states of a cursor.
enum : std::uint8_t { kCurBOF = 1, kCurEOF = 2, kCurCrack = 3, kCurOnRecord = 4 };

class TqvSrCursor : public TqvSelfListItem {
public:
    TqvSrCursor(TqvSrTable* table, TqvSrDatabase* database, std::uint32_t index, bool writable);
    ~TqvSrCursor() override;
    std::uint32_t index;
    TqvSrTable* table;
    TqvSrDatabase* database;
    std::uint32_t sessionId;
    std::uint8_t writable;
    std::uint8_t state = kCurBOF;
    std::uint32_t reference = 0;
    std::unique_ptr<TqvCursorState> nav;

    // Re-finds the cursor in its index from its key when its path was lost.
    void SyncPosition(bool beforeWhenLost);
    // 0 inside a user transaction, 10257 when an implicit one is needed, else the refusal.
    std::uint16_t CheckCanModify(bool needRecord);
};

class TqvSrTransaction : public TqvSelfListItem {
public:
    TqvSrTransaction(TqvSrFolder* folder, std::uint32_t databaseId);
    ~TqvSrTransaction() override;
    std::uint32_t databaseId;
    TqvSrFolder* folder;
};

}  // namespace qv
