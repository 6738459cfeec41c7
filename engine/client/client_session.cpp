#include "engine/client/client_session.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/base/qv_base.h"
#include "engine/client/client_comms_engine.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_table.h"
#include "engine/client/error_texts.h"
#include "engine/client/message_box.h"
#include "engine/client/type_conversion.h"
#include "engine/storage/dictionary.h"
#include "platform/core/registry.h"
#include "platform/core/streams.h"
#include "platform/core/threads.h"

namespace qv {

namespace {

constexpr const char* kClientConfigKey = "\\Software\\Ashcomb\\Dunmere\\Client Configuration";
constexpr const char* kCommsErrorCaption = "Dunmere Communications Error";
constexpr const char* kProtocolFailure = "Network Protocol Failure";
constexpr int kLoginAttempts = 3;

std::string Cut(const std::string& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }

std::string ServerNameFromRegistry() {
    try {
        plat::TRegistry reg(plat::RegistryStore::Default());
        reg.SetRootKey(plat::HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(kClientConfigKey, true)) {
            std::string name = Cut(reg.ReadString("ServerName"), 63);
            if (!name.empty()) return name;
        }
    } catch (const std::exception&) {
        // An unreadable registry means the default server.
    }
    return TQVClientSession::kDefaultServerName;
}

}  // namespace

std::string QvExtractTableName(const char* name) {
    std::string s = name != nullptr ? name : "";
    std::size_t slash = s.find_last_of("\\/");
    if (slash != std::string::npos) s = s.substr(slash + 1);
    std::size_t dot = s.find_last_of('.');
    if (dot != std::string::npos) s = s.substr(0, dot);
    return Cut(s, 31);
}

// ---- session ----------------------------------------------------------------------------

TQVClientSession::TQVClientSession(TBapiListItem* engine, TBapiCollection* sessionList, const char* name,
                                   const char* netDir)
    : TBaseSession(engine, sessionList, name, netDir) {
    char user[256] = {};
    GetNetUserName(user);
    const std::string clientName = Cut(user, 63);
    bool transportFailed = false;
    try {
        const ClientTransportFactory& factory = GetClientTransportFactory();
        if (!factory) throw std::runtime_error("no transport");
        transport_ = factory(clientName);
        if (!transport_) throw std::runtime_error("no transport");
    } catch (const std::exception&) {
        transport_.reset();
        transportFailed = true;
    }
    if (!transportFailed) {
        serverName_ = ServerNameFromRegistry();
        SetResult(transport_->Attach(serverName_, "", ""));
        for (int attempt = 0; attempt < kLoginAttempts && !Connected() && Result() == kDbiErrInvalidUserPass;
             ++attempt) {
            ILoginDialogService* dialog = CurrentLoginDialogService();
            std::string userName, password;
            if (dialog == nullptr || !dialog->Execute(serverName_, userName, password)) break;
            SetResult(transport_->Attach(serverName_, userName, password));
        }
    }
    if (!Connected()) {
        if (Result() == 0) SetResult(kDbiErrInvalidHandle);
        std::string text = kProtocolFailure;
        if (!transportFailed) {
            char buffer[kDbiMaxMsgLen + 1] = {};
            GetErrorString(Result(), buffer);
            text = buffer;
        }
        EngineMessageBox(kCommsErrorCaption, text, kMbOk);
    }
}

TQVClientSession::~TQVClientSession() {
    // Databases and their cursors talk to the server while they close, so
    // they go before the transport does.
    CloseAllDatabases();
    Databases().FreeAll();
    transport_.reset();
}

DBIResult TQVClientSession::Request(std::uint32_t messageId, const TqvRequestWriter& request,
                                    std::vector<std::uint8_t>* reply, bool requestIsStream) {
    if (!Connected()) return kDbiErrInvalidHandle;
    // Records read ahead by any cursor must not hide this change from it.
    if (TQVClientTable::RequestChangesData(messageId)) TQVClientTable::SyncAllReadAhead();
    std::vector<std::uint8_t> scratch;
    return transport_->SendRequest(messageId, request.Data(), request.Size(), requestIsStream,
                                   reply != nullptr ? *reply : scratch);
}

DBIResult TQVClientSession::RequestStream(std::uint16_t requestId, const std::string& payload,
                                          plat::MemoryStream& reply) {
    TqvRequestWriter w;
    w.Raw(payload.data(), payload.size());
    std::vector<std::uint8_t> bytes;
    DBIResult rc = Request(requestId, w, &bytes);
    reply.Clear();
    if (rc == 0 && !bytes.empty()) reply.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    reply.SetPosition(0);
    return rc;
}

DBIResult TQVClientSession::OpenDatabaseByDesc(const DBDesc& desc, const char*, std::uint32_t openMode,
                                               std::uint32_t shareMode, const char* password,
                                               std::uint16_t optCount, const void* optDescs,
                                               const void* optParams, hDBIDb& database) {
    database = kNilHandle;
    if (!Connected()) return SetResult(kDbiErrInvalidHandle);
    auto* db = new TQVClientDatabase(this, desc, openMode, shareMode, password, optCount, optDescs, optParams);
    TqvRequestWriter w;
    w.Str(Cut(db->Desc().physicalPath, 219), 220).U8(OpenModeByte(openMode)).U8(ShareModeByte(shareMode));
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmDatabaseOpenNoAliasId, w, &reply);
    if (rc == 0 && reply.size() >= 4) db->SetDatabaseId(GetU32(reply.data()));
    database = db->Handle();
    return SetResult(rc);
}

DBIResult TQVClientSession::OpenDatabase(const char* name, const char* dbType, std::uint32_t openMode,
                                         std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                         const void* optDescs, const void* optParams, hDBIDb& database) {
    database = kNilHandle;
    std::vector<std::uint8_t> raw(DBDesc::kSize, 0);
    // An unknown name is an error, not a database on an empty path.
    DBIResult rc = GetDatabaseDesc(name, raw.data());
    if (rc != 0) return SetResult(rc);
    DBDesc desc = DBDesc::Read(raw.data());
    rc = OpenDatabaseByDesc(desc, dbType, openMode, shareMode, password, optCount, optDescs, optParams, database);
    if (rc != 0) {
        // A database the server refused is no use to the caller.
        delete FindHandle(database);
        database = kNilHandle;
    }
    return SetResult(rc);
}

DBIResult TQVClientSession::OpenDatabaseList(hDBICur& cursor) {
    cursor = kNilHandle;
    auto* list = new TStreamDBListTable(this, &FurtherList(), GetEngineName().c_str(), this);
    DBIResult rc = list->Open();
    if (rc != 0) {
        delete list;
        return SetResult(rc);
    }
    cursor = list->Handle();
    return SetResult(0);
}

DBIResult TQVClientSession::CloseDatabase(hDBIDb& database) {
    auto* db = HandleAs<TQVClientDatabase>(database);
    if (db == nullptr || db->DatabaseId() == kNoServerId) return SetResult(kDbiErrInvalidHandle);
    // Cursors close on the server before the database does.
    db->Cursors().FreeAll();
    TqvRequestWriter w;
    w.U32(db->DatabaseId());
    DBIResult rc = Request(QvnmDatabaseCloseId, w, nullptr);
    if (rc == 0) {
        db->SetDatabaseId(kNoServerId);
        delete db;
        database = kNilHandle;
    }
    return SetResult(rc);
}

DBIResult TQVClientSession::GetLdObj(hDBICur, void*& ldObj) {
    ldObj = nullptr;
    return SetResult(0);
}

DBIResult TQVClientSession::AddAlias(hDBICfg, const char* alias, const char*, const char* params, bool) {
    std::string p = params != nullptr ? params : "";
    std::string upper = QvShStrUpper(p);
    std::size_t at = upper.find("PATH:");
    if (at != std::string::npos) p = p.substr(at + 5);
    std::size_t semi = p.find(';');
    if (semi != std::string::npos) p = p.substr(0, semi);
    if (!p.empty() && p.front() == '"') p.erase(0, 1);
    if (!p.empty() && p.back() == '"') p.pop_back();
    TqvRequestWriter w;
    w.Str(Cut(alias != nullptr ? alias : "", 31), 32).Str(Cut(p, 219), 220);
    DBIResult rc = Request(QvnmDatabaseAddAliasId, w, nullptr);
    // A name re-added with another path must not open the old one.
    if (rc == 0) ForgetDatabaseDesc(alias);
    return SetResult(rc);
}

DBIResult TQVClientSession::DeleteAlias(hDBICfg, const char* alias) {
    if (alias == nullptr || *alias == '\0') return SetResult(kDbiErrUnknownDb);
    TqvRequestWriter w;
    w.Str(Cut(alias, 31), 32);
    DBIResult rc = Request(QvnmDatabaseDeleteAliasId, w, nullptr);
    ForgetDatabaseDesc(alias);
    return SetResult(rc);
}

// ---- database ---------------------------------------------------------------------------

namespace {
// The descriptor with the path of an optional "QVPATH" parameter.
DBDesc WithOptionalPath(DBDesc desc, std::uint16_t count, const void* descs, const void* values) {
    if (descs == nullptr || values == nullptr) return desc;
    for (std::uint16_t i = 0; i < count; ++i) {
        FLDDesc f = FLDDesc::Read(static_cast<const std::uint8_t*>(descs) + std::size_t(i) * FLDDesc::kSize);
        if (!SameTextNoCase(f.name, "QVPATH")) continue;
        desc.physicalPath = BoundedCString(static_cast<const char*>(values) + f.offset, f.length);
    }
    return desc;
}
}  // namespace

TQVClientDatabase::TQVClientDatabase(TQVClientSession* session, const DBDesc& desc, std::uint32_t openMode,
                                     std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                     const void* optDescs, const void* optParams)
    : TBaseDatabase(session, nullptr, openMode, shareMode, password, optCount, optDescs, optParams),
      session_(session) {
    Desc() = WithOptionalPath(desc, optCount, optDescs, optParams);
}

TQVClientDatabase::~TQVClientDatabase() {
    // The cursors close on the server while the database is still open there.
    Cursors().FreeAll();
    if (databaseId_ != kNoServerId && ClientSession() != nullptr && ClientSession()->Connected()) {
        TqvRequestWriter w;
        w.U32(databaseId_);
        ClientSession()->Request(QvnmDatabaseCloseId, w, nullptr);
    }
}

TQVClientSession* TQVClientDatabase::ClientSession() const { return session_; }

DBIResult TQVClientDatabase::Request(std::uint32_t messageId, const TqvRequestWriter& request,
                                     std::vector<std::uint8_t>* reply, bool requestIsStream) {
    TQVClientSession* s = ClientSession();
    if (s == nullptr) return kDbiErrInvalidHandle;
    return s->Request(messageId, request, reply, requestIsStream);
}

DBIResult TQVClientDatabase::RequestStream(std::uint16_t requestId, const std::string& payload,
                                           plat::MemoryStream& reply) {
    if (requestId == QvnmGetTableDictionaryId) {
        // The dictionary lists hand over only the table's name.
        return GetTableDictionary(payload.c_str(), reply, false);
    }
    TQVClientSession* s = ClientSession();
    return s != nullptr ? s->RequestStream(requestId, payload, reply) : kDbiErrInvalidHandle;
}

DBIResult TQVClientDatabase::SetDirectory(const char* dir) {
    if (dir == nullptr) return SetResult(kDbiErrInvalidHandle);
    Desc().physicalPath = BoundedCString(dir, 260);
    return SetResult(0);
}

DBIResult TQVClientDatabase::OpenTable(const char* tableName, const char*, const char* indexName, const char*,
                                       std::uint16_t indexId, std::uint32_t openMode, std::uint32_t shareMode,
                                       std::uint32_t, bool, const void*, hDBICur& cursor) {
    cursor = kNilHandle;
    if (tableName == nullptr) return SetResult(kDbiErrInvalidParam);
    auto* table = new TQVClientTable(this, tableName, openMode, shareMode, indexId);
    table->SetIndexToOpen(indexName);
    DBIResult rc = table->Open();
    if (rc != 0) {
        delete table;
        return SetResult(rc);
    }
    cursor = table->Handle();
    return SetResult(0);
}

namespace {
template <class List>
DBIResult OpenList(TQVClientDatabase& db, List* list, hDBICur& cursor) {
    DBIResult rc = list->Open();
    if (rc != 0) {
        delete list;
        return db.SetResult(rc);
    }
    cursor = list->Handle();
    return db.SetResult(0);
}
}  // namespace

DBIResult TQVClientDatabase::OpenTableList(const char* wildcard, bool, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    return OpenList(*this, new TQVClientTblListTable(this, &Cursors(), this, databaseId_, wildcard), cursor);
}

DBIResult TQVClientDatabase::OpenFieldList(const char* tableName, const char*, bool, hDBICur& cursor) {
    cursor = kNilHandle;
    return OpenList(*this, new TQVClientFieldListTable(this, &Cursors(), this, tableName), cursor);
}

DBIResult TQVClientDatabase::OpenIndexList(const char* tableName, const char*, hDBICur& cursor) {
    cursor = kNilHandle;
    return OpenList(*this, new TQVClientIndexListTable(this, &Cursors(), this, tableName), cursor);
}

DBIResult TQVClientDatabase::OpenVchkList(const char* tableName, const char*, hDBICur& cursor) {
    cursor = kNilHandle;
    return OpenList(*this, new TQVClientVChkListTable(this, &Cursors(), this, tableName), cursor);
}

DBIResult TQVClientDatabase::EmptyTable(hDBICur cursor, const char* tableName, const char*) {
    auto* table = HandleAs<TQVClientTable>(cursor);
    TqvRequestWriter w;
    w.U32(databaseId_).U32(table != nullptr ? table->ServerCursorId() : 0).Str(QvExtractTableName(tableName), 32);
    return SetResult(Request(QvnmEmptyTableId, w, nullptr));
}

DBIResult TQVClientDatabase::CreateTable(bool overwrite, const void* tableDesc) {
    if (tableDesc == nullptr) return SetResult(kDbiErrInvalidParam);
    const auto& td = *static_cast<const CRTblDesc*>(tableDesc);
    TqvDataDictionary dict(4096);
    if (DBIResult rc = DictionaryFromTableDesc(td, dict)) return SetResult(rc);
    return SetResult(ClientBuildTable(overwrite, dict, QvExtractTableName(td.tableName.c_str())));
}

DBIResult TQVClientDatabase::WaitForRebuild(std::uint32_t rebuildId) {
    // A rebuild that never started (id -1) has nothing to wait for.
    if (rebuildId == 0xFFFFFFFFu) return 0;
    for (;;) {
        TqvRequestWriter w;
        w.U32(rebuildId);
        std::vector<std::uint8_t> reply;
        if (DBIResult rc = Request(QvnmGetRebuildStatusId, w, &reply)) return rc;
        bool finished = false;
        TqvRebuildStatusRecord record;
        if (DBIResult rc = QvReadRebuildStatusReply(reply.data(), reply.size(), finished, record)) return rc;
        if (finished) return static_cast<DBIResult>(GetU32(record.bytes.data() + kRebuildResultOffset));
        plat::Sleep(10);
    }
}

DBIResult TQVClientDatabase::StartRebuild(std::uint32_t messageId, const TqvRequestWriter& request, bool isStream) {
    std::vector<std::uint8_t> reply;
    if (DBIResult rc = Request(messageId, request, &reply, isStream)) return rc;
    if (reply.size() < 4) return kDbiErrInvalidParam;
    return WaitForRebuild(GetU32(reply.data()));
}

// The table is rebuilt on the server, which opens it to itself: no cursor
// of this session may hold it open meanwhile.
DBIResult TQVClientDatabase::PackTable(hDBICur cursor, const char* tableName, const char*, bool) {
    auto* table = HandleAs<TQVClientTable>(cursor);
    if (tableName == nullptr && table == nullptr) return SetResult(kDbiErrInvalidParam);
    const std::string name = QvExtractTableName(tableName != nullptr ? tableName : table->TableNameAddr());
    TqvRequestWriter w;
    w.U32(databaseId_).Str(name, 32);
    return SetResult(StartRebuild(QvnmPackTableId, w, false));
}

// One table description: the table's new fields and indexes. Fields keep
// their values by name; new fields start empty.
DBIResult TQVClientDatabase::DoRestructure(std::uint16_t descCount, const void* tableDesc, const char*, const char*,
                                           const char*, bool analyzeOnly) {
    if (descCount != 1 || tableDesc == nullptr || analyzeOnly) return SetResult(kDbiErrInvalidParam);
    const auto& td = *static_cast<const CRTblDesc*>(tableDesc);
    TqvDataDictionary dict(4096);
    if (DBIResult rc = DictionaryFromTableDesc(td, dict)) return SetResult(rc);
    plat::MemoryStream s;
    dict.WriteToStream(s);
    TqvRequestWriter w;
    w.U32(databaseId_).Str(QvExtractTableName(td.tableName.c_str()), 32).Raw(s.Memory(), s.Bytes().size()).U8(0);
    return SetResult(StartRebuild(QvnmRestructureTableId, w, true));
}

DBIResult DictionaryFromTableDesc(const CRTblDesc& td, TqvDataDictionary& dict) {
    if ((td.fieldCount != 0 && td.fieldDescs == nullptr) || (td.indexCount != 0 && td.indexDescs == nullptr) ||
        (td.valCheckCount != 0 && td.valCheckDescs == nullptr))
        return kDbiErrInvalidParam;
    // Required fields come from the validity checks; a check naming no field
    // of the table is refused rather than dropped.
    std::vector<bool> required(td.fieldCount, false);
    for (std::uint16_t i = 0; i < td.valCheckCount; ++i) {
        VCHKDesc v = VCHKDesc::Read(static_cast<const std::uint8_t*>(td.valCheckDescs) + std::size_t(i) * VCHKDesc::kSize);
        if (v.fieldNumber < 1 || v.fieldNumber > td.fieldCount) return kDbiErrInvalidParam;
        if (v.required) required[v.fieldNumber - 1] = true;
    }
    try {
        for (std::uint16_t i = 0; i < td.fieldCount; ++i) {
            FLDDesc f = FLDDesc::Read(static_cast<const std::uint8_t*>(td.fieldDescs) + std::size_t(i) * FLDDesc::kSize);
            int type = FieldTypeFromDesc(f.fieldType, f.subType);
            if (type < 0) return kDbiErrInvalidFieldType;
            dict.AddField(f.name, "", static_cast<TqvFieldType>(type), static_cast<std::uint32_t>(std::max<int>(f.units1, 0)),
                          static_cast<std::uint32_t>(std::max<int>(f.units2, 0)), required[i]);
        }
        for (std::uint16_t i = 0; i < td.indexCount; ++i) {
            IDXDesc x = IDXDesc::Read(static_cast<const std::uint8_t*>(td.indexDescs) + std::size_t(i) * IDXDesc::kSize);
            // A key of more fields than an index holds is refused, not cut short.
            if (x.keyFieldCount > kQvMaxKeyFields) return kDbiErrInvalidParam;
            std::uint32_t fields[kQvMaxKeyFields] = {};
            const std::uint32_t count = x.keyFieldCount;
            for (std::uint32_t k = 0; k < count; ++k) fields[k] = x.keyFields[k] - 1u;
            dict.AddIndex(x.name, "", 0, count, fields, x.unique == 0, x.descending == 0, x.caseInsensitive != 0);
        }
        // A table without fields or with records longer than a block is
        // refused here, before it is written to a stream or sent.
        dict.CheckValid();
    } catch (const std::exception&) {
        // The dictionary refuses what no table could hold.
        return kDbiErrInvalidParam;
    }
    return 0;
}

DBIResult TQVClientDatabase::ClientBuildTable(bool overwrite, const TqvDataDictionary& dictionary,
                                              const std::string& tableName) {
    plat::MemoryStream s;
    dictionary.WriteToStream(s);
    TqvRequestWriter w;
    w.U32(databaseId_).U8(overwrite ? 1 : 0).Str(tableName, 32).Raw(s.Memory(), s.Bytes().size());
    return Request(QvnmBuildTableId, w, nullptr, true);
}

DBIResult TQVClientDatabase::RenameTable(const char* oldName, const char*, const char* newName) {
    TqvRequestWriter w;
    w.U32(databaseId_).Str(QvExtractTableName(oldName), 32).Str(QvExtractTableName(newName), 32);
    return SetResult(Request(QvnmRenameTableId, w, nullptr));
}

DBIResult TQVClientDatabase::DeleteTable(const char* tableName, const char*) {
    TqvRequestWriter w;
    w.U32(databaseId_).Str(QvExtractTableName(tableName), 32);
    return SetResult(Request(QvnmDeleteTableId, w, nullptr));
}

DBIResult TQVClientDatabase::DeleteIndex(hDBICur cursor, const char* tableName, const char*, const char* indexName,
                                         const char*, std::uint16_t indexId) {
    if ((indexName == nullptr || *indexName == '\0') && indexId == 0) return SetResult(kDbiErrNeedIndex);
    auto* table = HandleAs<TQVClientTable>(cursor);
    TqvRequestWriter w;
    w.U32(databaseId_).U32(table != nullptr ? table->ServerCursorId() : 0).Str(QvExtractTableName(tableName), 32);
    w.Str(indexName != nullptr ? indexName : "", 32).U32(indexId);
    DBIResult rc = Request(QvnmDropIndexId, w, nullptr);
    if (rc == 0) {
        TBapiListItem* open = nullptr;
        if (FindOpenCursor(tableName, open) == 0) {
            if (auto* t = dynamic_cast<TQVClientTable*>(open)) {
                plat::MemoryStream dict;
                if (GetTableDictionary(tableName, dict, true) == 0) {
                    try {
                        dict.SetPosition(0);
                        t->LoadDictionary(dict);
                    } catch (const std::exception&) {
                    }
                }
            }
        }
    }
    return SetResult(rc);
}

DBIResult TQVClientDatabase::BeginTran(std::uint32_t, std::uint32_t& transaction) {
    if (InTransaction()) return SetResult(kDbiErrTranInProgress);
    transaction = Handle();
    TqvRequestWriter w;
    w.U32(databaseId_).U8(failSafe_);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmStartTransactionId, w, &reply);
    if (rc == 0 && reply.size() >= 4) {
        transactionId_ = GetU32(reply.data());
        tranState_ = 1;
    }
    return SetResult(rc);
}

DBIResult TQVClientDatabase::EndTran(std::uint32_t, std::uint32_t endMode) {
    TqvRequestWriter w;
    w.U32(transactionId_).U8(endMode == 2 ? 0 : 1);
    DBIResult rc = Request(QvnmEndTransactionId, w, nullptr);
    if (rc == 0) {
        tranState_ = 0;
        transactionId_ = kNoServerId;
    }
    return SetResult(rc);
}

DBIResult TQVClientDatabase::GetTableDictionary(const char* tableName, plat::Stream& stream, bool refetch) {
    if (!refetch) {
        TBapiListItem* open = nullptr;
        if (FindOpenCursor(tableName, open) == 0) {
            if (auto* t = dynamic_cast<TQVClientTable*>(open); t != nullptr && t->Dictionary().FieldCount() > 0) {
                stream.SetPosition(0);
                t->Dictionary().WriteToStream(stream);
                stream.SetPosition(0);
                return SetResult(0);
            }
        }
    }
    TqvRequestWriter w;
    w.U32(databaseId_).Str(QvExtractTableName(tableName), 32);
    std::vector<std::uint8_t> reply;
    DBIResult rc = Request(QvnmGetTableDictionaryId, w, &reply);
    if (rc == 0) {
        stream.SetPosition(0);
        if (!reply.empty()) stream.WriteBuffer(reply.data(), static_cast<std::int64_t>(reply.size()));
        stream.SetPosition(0);
    }
    return SetResult(rc);
}

}  // namespace qv
