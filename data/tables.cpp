#include "data/tables.h"

#include "platform/core/codepage.h"
#include "data/db_errors.h"

#include <algorithm>

namespace db {

// ---- sessions --------------------------------------------------------------

namespace {
std::vector<TSession*>& SessionList() {
    static std::vector<TSession*> list;
    return list;
}
}  // namespace

TSession::TSession(TComponent* AOwner) : TComponent(AOwner) { SessionList().push_back(this); }

TSession::~TSession() {
    auto& l = SessionList();
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

void TSession::SetSessionName(const std::string& name) {
    TSession* other = FindSession(name);
    if (other && other != this) DatabaseError("Duplicate session name '" + name + "'");
    sessionName_ = name;
}

TSession& Session() {
    static TSession* s = [] {
        auto* made = new TSession(nullptr);  // lives as long as the program
        made->sessionName_ = "Default";
        return made;
    }();
    return *s;
}

TSession* FindSession(const std::string& name) {
    if (name.empty() || plat::CompareAnsi(name, "Default", true) == 0) return &Session();
    for (TSession* s : SessionList())
        if (plat::CompareAnsi(s->SessionName(), name, true) == 0) return s;
    return nullptr;
}

TDbDriver& TSession::Driver() const {
    if (!driver_) DatabaseError("Session '" + sessionName_ + "' has no database engine");
    return *driver_;
}

void TSession::AddStandardAlias(const std::string& name, const std::string& path, const std::string&) {
    if (name.empty()) DatabaseError("Alias name missing");
    Driver().AddAlias(name, path);
}

void TSession::DeleteAlias(const std::string& name) { Driver().DeleteAlias(name); }

bool TSession::IsAlias(const std::string& name) {
    std::string path;
    return Driver().GetAliasPath(name, path);
}

std::vector<std::string> TSession::GetAliasNames() { return Driver().AliasNames(); }

std::vector<std::string> TSession::GetAliasParams(const std::string& name) {
    std::string path;
    if (!Driver().GetAliasPath(name, path)) DatabaseError("Unknown database alias '" + name + "'");
    return {"PATH=" + path};
}

TDatabase* TSession::FindDatabase(const std::string& databaseName) const {
    for (TDatabase* d : databases_)
        if (plat::CompareAnsi(d->DatabaseName, databaseName, true) == 0) return d;
    return nullptr;
}

std::string TSession::ResolveDirectory(const std::string& databaseName) {
    if (TDatabase* d = FindDatabase(databaseName)) return d->Path();
    std::string path;
    if (!databaseName.empty() && Driver().GetAliasPath(databaseName, path)) return path;
    return databaseName;
}

// ---- databases -------------------------------------------------------------

TDatabase::TDatabase(TComponent* AOwner) : TComponent(AOwner) {}

TDatabase::~TDatabase() {
    if (session_) {
        auto& v = session_->databases_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

void TDatabase::Open() {
    if (connected_) return;
    if (DatabaseName.empty()) DatabaseError("Missing DatabaseName property");
    TSession* s = FindSession(SessionName);
    if (!s) DatabaseError("Session '" + SessionName + "' not found");
    std::string path;
    if (!AliasName.empty() && !s->Driver().GetAliasPath(AliasName, path))
        DatabaseError("Unknown database alias '" + AliasName + "'");
    if (s->FindDatabase(DatabaseName) && s->FindDatabase(DatabaseName) != this)
        DatabaseError("Duplicate database name '" + DatabaseName + "'");
    if (session_ != s) {
        s->databases_.push_back(this);
        session_ = s;
    }
    connected_ = true;
}

std::string TDatabase::Path() const {
    std::string path;
    if (!AliasName.empty() && session_ && session_->Driver().GetAliasPath(AliasName, path)) return path;
    return Directory;
}

void TDatabase::StartTransaction() {
    if (!connected_ || !session_) DatabaseError("Database '" + DatabaseName + "' is not open");
    if (inTransaction_) DatabaseError("A transaction is already active");
    // The folder as the tables of this database resolve it, so the store
    // binds their writes to this transaction.
    const std::string dir = session_->ResolveDirectory(AliasName.empty() ? Directory : AliasName);
    transaction_ = session_->Driver().BeginTransaction(dir);
    transactionDir_ = dir;
    inTransaction_ = true;
}

void TDatabase::Commit() {
    if (!inTransaction_) DatabaseError("No transaction is active");
    inTransaction_ = false;
    session_->Driver().EndTransaction(transactionDir_, transaction_, true);
}

void TDatabase::Rollback() {
    if (!inTransaction_) DatabaseError("No transaction is active");
    inTransaction_ = false;
    session_->Driver().EndTransaction(transactionDir_, transaction_, false);
}

void TDbDriver::PackTable(const std::string&, const std::string&) {
    DatabaseError("Packing tables is not supported by this store");
}

std::uint32_t TDbDriver::BeginTransaction(const std::string&) {
    DatabaseError("Transactions are not supported by this store");
}

void TDbDriver::EndTransaction(const std::string&, std::uint32_t, bool) {
    DatabaseError("Transactions are not supported by this store");
}

TSession& TDBDataSet::DBSession() const {
    TSession* s = FindSession(SessionName);
    if (!s) DatabaseError("Session '" + SessionName + "' not found");
    return *s;
}

// ---- tables ----------------------------------------------------------------

TTable::TTable(TComponent* AOwner) : TDBDataSet(AOwner), masterLink_(this) {}

TTable::~TTable() {
    masterLink_.SetDataSource(nullptr);
    if (Active()) {
        try { Close(); } catch (...) {}
    }
}

std::string TTable::Directory() const { return DBSession().ResolveDirectory(DatabaseName); }

std::unique_ptr<TDataCursor> TTable::CreateCursor() {
    if (TableName.empty()) DatabaseError(Name() + ": Missing TableName property");
    return DBSession().Driver().OpenTable(Directory(), TableName, "", Exclusive, ReadOnly);
}

void TTable::OpenCursorDone() {
    SetReadOnly(ReadOnly);
    indexDefs_.Assign(Cursor()->IndexDefs());
    ResolveIndex();
    SwitchIndex();
    ApplyMasterRange();
}

void TTable::CloseCursorStarting() {
    keyFields_.clear();
    rangeActive_ = false;
    rangeSet_[0] = rangeSet_[1] = false;
    SetKeyBuffer(nullptr);
}

void TTable::ResolveIndex() {
    keyFields_.clear();
    std::vector<std::string> names;
    if (!indexFieldNames_.empty()) {
        if (!indexDefs_.FindIndexForFields(indexFieldNames_))
            DatabaseError("Index for fields '" + indexFieldNames_ + "' not found");
        names = SplitFieldNames(indexFieldNames_);
    } else {
        const TIndexDef* d = indexDefs_.FindIndex(indexName_);
        if (!d && !indexName_.empty()) DatabaseError("Index '" + indexName_ + "' not found");
        if (d) names = SplitFieldNames(d->Fields);
    }
    for (const std::string& n : names) keyFields_.push_back(FieldByName(n));
}

std::string TTable::ActiveIndexName() const {
    if (!indexFieldNames_.empty()) {
        const TIndexDef* d = indexDefs_.FindIndexForFields(indexFieldNames_);
        return d ? d->Name : std::string();
    }
    return indexName_;
}

void TTable::SwitchIndex() { Cursor()->SwitchToIndex(ActiveIndexName()); }

void TTable::SetIndexName(const std::string& name) {
    indexName_ = name;
    indexFieldNames_.clear();
    if (Active()) {
        CheckBrowseMode();
        ResolveIndex();
        SwitchIndex();
        ApplyMasterRange();
        First();
    }
}

void TTable::SetIndexFieldNames(const std::string& names) {
    indexFieldNames_ = names;
    indexName_.clear();
    if (Active()) {
        CheckBrowseMode();
        ResolveIndex();
        SwitchIndex();
        ApplyMasterRange();
        First();
    }
}

void TTable::SetIndexNumber(int number) {
    if (number < 1 || number > indexDefs_.Count()) DatabaseError("Index number out of range");
    SetIndexName(indexDefs_.Items(number - 1).Name);
}

// ---- key search ------------------------------------------------------------

TRecord TTable::KeyValues(const TRecord& buffer, int& count) const {
    TRecord key;
    count = 0;
    for (TField* f : keyFields_) {
        TValue v = f->RecordSlot() < static_cast<int>(buffer.size()) ? buffer[f->RecordSlot()] : TValue{};
        if (IsNull(v)) break;
        key.push_back(v);
        ++count;
    }
    return key;
}

void TTable::SetKey() {
    CheckBrowseMode();
    if (keyFields_.empty()) DatabaseError(Name() + ": No index currently active");
    keyBuf_[0] = BlankRecord();
    SetKeyBuffer(&keyBuf_[0]);
    SetState(dsSetKey);
}

void TTable::EditKey() {
    CheckBrowseMode();
    if (keyFields_.empty()) DatabaseError(Name() + ": No index currently active");
    if (keyBuf_[0].empty()) keyBuf_[0] = BlankRecord();
    SetKeyBuffer(&keyBuf_[0]);
    SetState(dsSetKey);
}

bool TTable::GotoKey() {
    if (State() != dsSetKey) DatabaseError("Dataset not in set-key mode");
    int count;
    TRecord key = KeyValues(keyBuf_[0], count);
    SetState(dsBrowse);
    if (count == 0) return false;
    DoBeforeScroll();
    if (Cursor()->SetToKey(key, count, false)) {
        SyncToCursor();
        return true;
    }
    ReturnToActive();
    return false;
}

void TTable::GotoNearest() {
    if (State() != dsSetKey) DatabaseError("Dataset not in set-key mode");
    int count;
    TRecord key = KeyValues(keyBuf_[0], count);
    SetState(dsBrowse);
    DoBeforeScroll();
    if (count == 0) Cursor()->SetToBegin(); else Cursor()->SetToKey(key, count, true);
    TRecord r;
    if (!Cursor()->GetCurrent(r)) {
        // Nothing at or after the key: the nearest is the last record.
        Cursor()->SetToEnd();
        Cursor()->GetPrior(r);
    }
    SyncToCursor();
}

bool TTable::FindKey(const std::vector<TValue>& values) {
    SetKey();
    for (std::size_t i = 0; i < values.size() && i < keyFields_.size(); ++i) keyFields_[i]->SetValue(values[i]);
    return GotoKey();
}

void TTable::FindNearest(const std::vector<TValue>& values) {
    SetKey();
    for (std::size_t i = 0; i < values.size() && i < keyFields_.size(); ++i) keyFields_[i]->SetValue(values[i]);
    GotoNearest();
}

// ---- ranges ----------------------------------------------------------------

void TTable::SetRangeStart() {
    CheckBrowseMode();
    if (keyFields_.empty()) DatabaseError(Name() + ": No index currently active");
    keyBuf_[0] = BlankRecord();
    rangeSet_[0] = true;
    SetKeyBuffer(&keyBuf_[0]);
    SetState(dsSetKey);
}

void TTable::SetRangeEnd() {
    CheckBrowseMode();
    if (keyFields_.empty()) DatabaseError(Name() + ": No index currently active");
    keyBuf_[1] = BlankRecord();
    rangeSet_[1] = true;
    SetKeyBuffer(&keyBuf_[1]);
    SetState(dsSetKey);
}

void TTable::ApplyRange() {
    CheckBrowseMode();
    int lc = 0, hc = 0;
    TRecord low = rangeSet_[0] ? KeyValues(keyBuf_[0], lc) : TRecord{};
    TRecord high = rangeSet_[1] ? KeyValues(keyBuf_[1], hc) : TRecord{};
    Cursor()->SetRange(low, lc, true, high, hc, true);
    rangeActive_ = true;
    First();
}

void TTable::CancelRange() {
    CheckBrowseMode();
    rangeActive_ = false;
    rangeSet_[0] = rangeSet_[1] = false;
    Cursor()->ResetRange();
    ApplyMasterRange();
    First();
}

void TTable::SetRange(const std::vector<TValue>& start, const std::vector<TValue>& end) {
    SetRangeStart();
    for (std::size_t i = 0; i < start.size() && i < keyFields_.size(); ++i) keyFields_[i]->SetValue(start[i]);
    SetRangeEnd();
    for (std::size_t i = 0; i < end.size() && i < keyFields_.size(); ++i) keyFields_[i]->SetValue(end[i]);
    ApplyRange();
}

// ---- master-detail ---------------------------------------------------------

void TTable::SetMasterSource(TDataSource* source) {
    if (source && source->DataSet() == this) DatabaseError("Circular datalinks are not allowed");
    masterLink_.last_.clear();
    masterLink_.SetDataSource(source);
    if (Active()) MasterChanged();
}

void TTable::SetMasterFields(const std::string& fields) {
    masterFields_ = fields;
    masterLink_.last_.clear();
    if (Active()) MasterChanged();
}

void TTable::ApplyMasterRange() {
    std::vector<std::string> mf = SplitFieldNames(masterFields_);
    if (mf.empty() || !masterLink_.Active()) return;
    if (mf.size() > keyFields_.size())
        DatabaseError(Name() + ": The index does not cover the master fields");
    TDataSet* master = masterLink_.DataSet();
    TRecord key;
    for (const std::string& n : mf) key.push_back(master->FieldByName(n)->Value());
    masterLink_.last_ = key;
    int n = static_cast<int>(key.size());
    Cursor()->SetRange(key, n, true, key, n, true);
}

void TTable::MasterChanged() {
    if (!Active()) return;
    CheckBrowseMode();
    if (!masterLink_.Active() || masterFields_.empty()) {
        if (!rangeActive_) Cursor()->ResetRange();
    } else {
        ApplyMasterRange();
    }
    First();
}

void TTable::InitNewRecord() {
    std::vector<std::string> mf = SplitFieldNames(masterFields_);
    if (mf.empty() || !masterLink_.Active()) return;
    TDataSet* master = masterLink_.DataSet();
    for (std::size_t i = 0; i < mf.size() && i < keyFields_.size(); ++i)
        keyFields_[i]->SetValue(master->FieldByName(mf[i])->Value());
}

void TMasterDataLink::ActiveChanged() {
    last_.clear();
    detail_->MasterChanged();
}

void TMasterDataLink::RecordChanged(TField* field) {
    // A typed change in the master waits for its post; a move is followed
    // only when the link values actually changed.
    if (field != nullptr || !detail_->Active()) return;
    std::vector<std::string> mf = SplitFieldNames(detail_->masterFields_);
    TRecord now;
    for (const std::string& n : mf) {
        TField* f = DataSet()->FindField(n);
        now.push_back(f ? f->Value() : TValue{});
    }
    if (now == last_) return;
    detail_->MasterChanged();
}

void TMasterDataLink::CheckBrowseMode() {
    if (detail_->Active()) detail_->CheckBrowseMode();
}

// ---- table files -----------------------------------------------------------

void TTable::CreateTable() {
    if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
    if (TableName.empty()) DatabaseError(Name() + ": Missing TableName property");
    if (FieldDefs().Count() == 0) DatabaseError(Name() + ": No fields defined");
    DBSession().Driver().CreateTable(Directory(), TableName, FieldDefs().List(), indexDefs_.List());
}

void TTable::DeleteTable() {
    if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
    DBSession().Driver().DeleteTable(Directory(), TableName);
}

void TTable::EmptyTable() {
    if (Active()) {
        CheckBrowseMode();
        if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    }
    DBSession().Driver().EmptyTable(Directory(), TableName);
    if (Active()) First();
}

bool TTable::Exists() {
    if (Active()) return true;
    return DBSession().Driver().TableExists(Directory(), TableName);
}

// ---- queries ---------------------------------------------------------------

namespace {
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}
}  // namespace

std::unique_ptr<TDataCursor> TQuery::CreateCursor() {
    return DBSession().Driver().OpenQuery(DBSession().ResolveDirectory(DatabaseName), 2, JoinLines(SQL));
}

void TQuery::ExecSQL() { CreateCursor(); }

std::unique_ptr<TDataCursor> TStoredProc::CreateCursor() {
    return DBSession().Driver().OpenQuery(DBSession().ResolveDirectory(DatabaseName), 2, StoredProcName);
}

void TStoredProc::ExecProc() { CreateCursor(); }

// ---- published properties ----------------------------------------------------

namespace {
// Code that works with any dataset kind reads these by name.
const bool kTablePropsPublished = [] {
    plat::RegisterProperty<TDBDataSet>(plat::StrProperty<TDBDataSet>(
        "DatabaseName", [](const TDBDataSet& d) { return d.DatabaseName; },
        [](TDBDataSet& d, const std::string& v) { d.DatabaseName = v; }));
    plat::RegisterProperty<TDBDataSet>(plat::StrProperty<TDBDataSet>(
        "SessionName", [](const TDBDataSet& d) { return d.SessionName; },
        [](TDBDataSet& d, const std::string& v) { d.SessionName = v; }));
    plat::RegisterProperty<TTable>(plat::StrProperty<TTable>(
        "TableName", [](const TTable& t) { return t.TableName; },
        [](TTable& t, const std::string& v) { t.TableName = v; }));
    plat::RegisterProperty<TTable>(plat::StrProperty<TTable>(
        "IndexName", [](const TTable& t) { return t.IndexName(); },
        [](TTable& t, const std::string& v) { t.SetIndexName(v); }));
    plat::RegisterProperty<TDatabase>(plat::StrProperty<TDatabase>(
        "DatabaseName", [](const TDatabase& d) { return d.DatabaseName; },
        [](TDatabase& d, const std::string& v) { d.DatabaseName = v; }));
    plat::RegisterProperty<TDatabase>(plat::StrProperty<TDatabase>(
        "AliasName", [](const TDatabase& d) { return d.AliasName; },
        [](TDatabase& d, const std::string& v) { d.AliasName = v; }));
    return true;
}();
}  // namespace

}  // namespace db
