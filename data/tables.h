// The engine-backed dataset kinds: sessions with their aliases, databases,
// tables with indexes, key search, ranges and master-detail links, and the
// query kinds, which this engine does not offer. Sessions, databases and
// datasets (like fields and data sources) are components, so a form owns its
// tables and FindComponent finds them. A database's transaction is the
// engine's transaction on its folder (DbiBeginTran/DbiEndTran), so the posts
// made inside it reach the table files together at Commit, or not at all.
#pragma once

#include "data/data_source.h"
#include "data/dataset.h"

#include <memory>
#include <string>
#include <vector>

namespace db {

class TDatabase;

class TSession : public TComponent {
public:
    explicit TSession(TComponent* AOwner);
    ~TSession() override;

    const std::string& SessionName() const { return sessionName_; }
    void SetSessionName(const std::string& name);
    // The store of tables this session talks to.
    void SetDriver(std::shared_ptr<TDbDriver> driver) { driver_ = std::move(driver); }
    TDbDriver& Driver() const;
    bool HasDriver() const { return driver_ != nullptr; }

    void AddStandardAlias(const std::string& name, const std::string& path, const std::string& defaultDriver);
    void DeleteAlias(const std::string& name);
    bool IsAlias(const std::string& name);
    std::vector<std::string> GetAliasNames();
    // The alias's parameters as "NAME=value" lines ("PATH=..."); an unknown
    // alias is an error.
    std::vector<std::string> GetAliasParams(const std::string& name);
    // The folder a table component's DatabaseName stands for: a database
    // component's, an alias's, or else the name itself as a folder path.
    std::string ResolveDirectory(const std::string& databaseName);
    TDatabase* FindDatabase(const std::string& databaseName) const;
    // The folder of the session's private files (temporary answers); empty
    // until set.
    std::string PrivateDir;

private:
    friend class TDatabase;
    friend TSession& Session();
    std::string sessionName_;
    std::shared_ptr<TDbDriver> driver_;
    std::vector<TDatabase*> databases_;
};

// The default session "Default", made when the dataset layer starts, and the
// list of all sessions.
TSession& Session();
TSession* FindSession(const std::string& name);

class TDatabase : public TComponent {
public:
    explicit TDatabase(TComponent* AOwner);
    ~TDatabase() override;
    std::string DatabaseName;
    std::string AliasName;
    std::string Directory;     // used when there is no alias
    std::string SessionName = "Default";
    bool Connected() const { return connected_; }
    void Open();
    void Close() { connected_ = false; }
    std::string Path() const;
    // One transaction over the database's folder; the database must be
    // connected. Commit and Rollback end it; a second start raises.
    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return inTransaction_; }

private:
    TSession* session_ = nullptr;
    bool connected_ = false;
    bool inTransaction_ = false;
    std::uint32_t transaction_ = 0;
    std::string transactionDir_;
};

class TDBDataSet : public TDataSet {
public:
    explicit TDBDataSet(TComponent* AOwner) : TDataSet(AOwner) {}
    std::string DatabaseName;
    std::string SessionName = "Default";
    TSession& DBSession() const;
};

class TTable;

// Follows the master's current record for a detail table.
class TMasterDataLink : public TDataLink {
public:
    explicit TMasterDataLink(TTable* detail) : detail_(detail) {}
protected:
    void ActiveChanged() override;
    void RecordChanged(TField* field) override;
    void CheckBrowseMode() override;
private:
    TTable* detail_;
    std::vector<TValue> last_;
    friend class TTable;
};

class TTable : public TDBDataSet {
public:
    explicit TTable(TComponent* AOwner);
    ~TTable() override;

    std::string TableName;
    bool Exclusive = false;
    bool ReadOnly = false;
    TIndexDefs& IndexDefs() { return indexDefs_; }

    // The index by name, by field list or by number (1 = the first index of
    // IndexDefs); setting one clears the others.
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name);
    const std::string& IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const std::string& names);
    void SetIndexNumber(int number);
    int IndexFieldCount() const { return static_cast<int>(keyFields_.size()); }
    TField* IndexFields(int i) const { return keyFields_.at(i); }

    void SetKey();
    void EditKey();
    bool GotoKey();
    void GotoNearest();
    bool FindKey(const std::vector<TValue>& values);
    void FindNearest(const std::vector<TValue>& values);

    void SetRangeStart();
    void SetRangeEnd();
    void ApplyRange();
    void CancelRange();
    void SetRange(const std::vector<TValue>& start, const std::vector<TValue>& end);

    TDataSource* MasterSource() const { return masterLink_.DataSource(); }
    void SetMasterSource(TDataSource* source);
    const std::string& MasterFields() const { return masterFields_; }
    void SetMasterFields(const std::string& fields);

    void CreateTable();
    void DeleteTable();
    void EmptyTable();
    bool Exists();

protected:
    std::unique_ptr<TDataCursor> CreateCursor() override;
    void OpenCursorDone() override;
    void CloseCursorStarting() override;
    void InitNewRecord() override;

private:
    friend class TMasterDataLink;
    void ResolveIndex();
    void SwitchIndex();
    std::string ActiveIndexName() const;
    void MasterChanged();
    void ApplyMasterRange();
    TRecord KeyValues(const TRecord& buffer, int& count) const;
    std::string Directory() const;

    TIndexDefs indexDefs_;
    std::string indexName_, indexFieldNames_, masterFields_;
    std::vector<TField*> keyFields_;
    TRecord keyBuf_[2];          // 0: search key and range start, 1: range end
    bool rangeSet_[2] = {false, false};
    bool rangeActive_ = false;
    TMasterDataLink masterLink_;
};

// The engine has no query language: opening or running these raises the
// engine's not-supported error.
class TQuery : public TDBDataSet {
public:
    explicit TQuery(TComponent* AOwner) : TDBDataSet(AOwner) {}
    std::vector<std::string> SQL;
    void ExecSQL();
protected:
    std::unique_ptr<TDataCursor> CreateCursor() override;
};

class TStoredProc : public TDBDataSet {
public:
    explicit TStoredProc(TComponent* AOwner) : TDBDataSet(AOwner) {}
    std::string StoredProcName;
    void ExecProc();
protected:
    std::unique_ptr<TDataCursor> CreateCursor() override;
};

}  // namespace db
