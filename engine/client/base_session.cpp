#include "engine/client/base_session.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/base/qv_exceptions.h"
#include "engine/client/base_database.h"
#include "engine/client/cfg_record.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_strings.h"
#include "engine/client/cursor_link.h"
#include "engine/client/error_texts.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"

namespace qv {
namespace {

constexpr std::size_t kMaxSessionName = 31;
constexpr std::size_t kMaxDir = 260;

std::string Cut(const char* p, std::size_t max) { return p == nullptr ? std::string() : BoundedCString(p, max); }

TBaseCfgrecord* FindCfgRecord(TBapiCollection& list, const char* path) {
    if (path == nullptr) return nullptr;
    for (int i = 0; i < list.Count(); ++i) {
        auto* rec = dynamic_cast<TBaseCfgrecord*>(list.Item(i));
        if (rec != nullptr && rec->Path() == path) return rec;
    }
    return nullptr;
}

}  // namespace

TBaseSession::TBaseSession(TBapiListItem* engine, TBapiCollection* sessionList, const char* name,
                           const char* netDir)
    : TBapiListItem(engine, sessionList) {
    name_ = Cut(name, kMaxSessionName);
    if (netDir != nullptr) {
        netDir_ = Cut(netDir, kMaxDir);
        privateDir_ = netDir_;
    }
}

TBaseSession::~TBaseSession() {
    // Databases first, so that their cursors go before the records and the
    // descriptor cache they may refer to.
    databases_.FreeAll();
    furtherList_.FreeAll();
    cfgRecords_.FreeAll();
    descCache_.FreeAll();
}

void TBaseSession::SetPrivateDir(const char* dir) { privateDir_ = Cut(dir, kMaxDir); }

DBIResult TBaseSession::GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) {
    len = 0;
    if (property == kPropCurrentDir) {
        std::string dir = plat::GetCurrentDir();
        CopyToBuffer(dir, static_cast<char*>(buffer), maxLen);
        len = static_cast<std::uint16_t>(dir.size() + 1);
        return 0;
    }
    if (property == kPropValue) {
        if (buffer == nullptr || maxLen < 4) return kDbiErrInvalidParam;
        PutU32(buffer, propValue_);
        len = 4;
        return 0;
    }
    return kDbiErrNotSupported;
}

DBIResult TBaseSession::SetProp(std::uint32_t property, std::uint32_t value) {
    if (property == kPropValue) propValue_ = value;
    return 0;
}

DBIResult TBaseSession::SetCallbackContext(std::uint32_t value) {
    callbackContext_ = value;
    return 0;
}

bool TBaseSession::IsDefault() { return false; }

DBIResult TBaseSession::GetErrorEntry(std::uint16_t entry, std::uint32_t& nativeCode, char*) {
    if (entry == 1 && NativeErrorPending()) {
        nativeCode = LastNativeError();
        return LastNativeError();
    }
    return 0;
}

DBIResult TBaseSession::GetErrorString(DBIResult code, char* buffer) {
    qv::GetErrorString(code, buffer);
    return 0;
}

DBIResult TBaseSession::GetErrorContext(std::int16_t, char*) { return ReportNotSupported(*this, cs::kGetErrorContext); }

DBIResult TBaseSession::GetErrorInfo(bool, void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    auto* b = static_cast<unsigned char*>(info);
    std::memset(b, 0, kErrorInfoSize);
    DBIResult code = LastErrorCode();
    PutU16(b, code);
    char text[kDbiMaxMsgLen + 1];
    GetErrorString(code, text);
    CopyToBuffer(text, reinterpret_cast<char*>(b + 2), 128);
    CopyToBuffer(QvFormat(ClientString(cs::kBdeErrorColon), {static_cast<int>(code)}), reinterpret_cast<char*>(b + 130),
                 128);
    return 0;
}

DBIResult TBaseSession::FillSesInfo(SESInfo& info) {
    info = SESInfo{};
    info.sessionId = static_cast<std::uint16_t>(ListIndex());
    info.name = name_;
    info.databaseCount = static_cast<std::uint16_t>(databases_.Count());
    int cursors = 0;
    for (int i = 0; i < databases_.Count(); ++i)
        if (auto* db = dynamic_cast<TBaseDatabase*>(databases_.Item(i))) cursors += db->Cursors().Count();
    info.openCursorCount = static_cast<std::uint16_t>(cursors);
    info.netDir = netDir_;
    info.privateDir = privateDir_;
    return 0;
}

std::string TBaseSession::GetEngineName() { return ClientString(cs::kEngineName); }

void TBaseSession::FinishDesc(int flag, DBDesc& desc) {
    if (flag == 0) desc.dbType = ClientString(cs::kStandard);
}

DBIResult TBaseSession::GetDatabaseDescByName(const char* name, DBDesc& desc, int flag) {
    if (name == nullptr) return kDbiErrUnknownDb;
    if (IsPathName(name, true)) {
        desc = DBDesc{};
        desc.name = ClientString(cs::kPath);
        desc.description = desc.name;
        desc.physicalPath = AddBackslash(name);
        FinishDesc(0, desc);
        return 0;
    }
    hDBICur list = kNilHandle;
    DBIResult rc = OpenDatabaseList(list);
    TBapiListItem* item = FindHandle(list);
    ICursorHandle* cursor = AsCursor(item);
    bool found = false;
    if (rc == 0 && cursor != nullptr) {
        std::vector<unsigned char> record(cursor->RecordSize() > DBDesc::kSize ? cursor->RecordSize()
                                                                                  : DBDesc::kSize);
        while (cursor->GetNextRecord(0, record.data(), nullptr) == 0) {
            DBDesc d = DBDesc::Read(record.data());
            if (SameTextNoCase(d.name, name)) {
                desc = d;
                found = true;
                break;
            }
        }
    }
    FreeTemporaryCursor(item);
    if (!found) {
        SetErrorContext(name);
        return kDbiErrUnknownDb;
    }
    FinishDesc(flag, desc);
    return 0;
}

void TBaseSession::ForgetDatabaseDesc(const char* name) {
    if (name == nullptr) return;
    for (int i = descCache_.Count() - 1; i >= 0; --i) {
        auto* cached = static_cast<TDatabaseDescCache*>(descCache_.Item(i));
        if (SameTextNoCase(cached->key, name)) delete cached;  // leaves the cache as it goes
    }
}

DBIResult TBaseSession::GetDatabaseDesc(const char* name, void* desc) {
    if (name == nullptr || *name == '\0') return kDbiErrUnknownDb;
    for (int i = 0; i < descCache_.Count(); ++i) {
        auto* cached = static_cast<TDatabaseDescCache*>(descCache_.Item(i));
        if (SameTextNoCase(cached->key, name)) {
            if (desc != nullptr) cached->desc.Write(desc);
            return 0;
        }
    }
    DBDesc d;
    DBIResult rc = GetDatabaseDescByName(name, d, 1);
    if (rc != 0) return rc;
    new TDatabaseDescCache(this, &descCache_, QvLongToShStr(name), d);
    if (desc != nullptr) d.Write(desc);
    return 0;
}

DBIResult TBaseSession::OpenTableTypesList(const char*, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenTableTypesList);
}
DBIResult TBaseSession::GetTableTypeDesc(const char*, const char*, void*) {
    return ReportNotSupported(*this, cs::kGetTableTypeDesc);
}
DBIResult TBaseSession::OpenFieldTypesList(const char*, const char*, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenFieldTypesList);
}
DBIResult TBaseSession::GetFieldTypeDesc(const char*, const char*, const char*, void*) {
    return ReportNotSupported(*this, cs::kGetFieldTypeDesc);
}
DBIResult TBaseSession::OpenIndexTypesList(const char*, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenIndexTypesList);
}
DBIResult TBaseSession::OpenLdList(hDBICur&) { return ReportNotSupported(*this, cs::kOpenLdList); }

DBIResult TBaseSession::OpenDatabaseByDesc(const DBDesc&, const char*, std::uint32_t, std::uint32_t, const char*,
                                           std::uint16_t, const void*, const void*, hDBIDb&) {
    return kDbiErrInvalidHandle;
}

DBIResult TBaseSession::OpenDatabase(const char* name, const char* dbType, std::uint32_t openMode,
                                     std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                     const void* optDescs, const void* optParams, hDBIDb& database) {
    if (name == nullptr) return kDbiErrUnknownDb;
    DBDesc desc;
    DBIResult rc = GetDatabaseDescByName(name, desc, 1);
    if (rc != 0) return rc;
    return OpenDatabaseByDesc(desc, dbType, openMode, shareMode, password, optCount, optDescs, optParams, database);
}

DBIResult TBaseSession::GetDefaultDatabase(hDBIDb& database) {
    database = kNilHandle;
    return 0;
}

DBIResult TBaseSession::GetClientInfo(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    std::memset(info, 0, kClientInfoSize);
    return 0;
}

DBIResult TBaseSession::OpenDatabaseList(hDBICur& cursor) {
    cursor = kNilHandle;
    RegistryDatabaseListFactory factory = GetRegistryDatabaseListFactory();
    if (factory == nullptr) return kDbiErrNotSupported;
    TBapiListItem* list = factory(this, &furtherList_);
    ICursorHandle* c = AsCursor(list);
    if (c == nullptr) {
        delete list;
        return kDbiErrNoMemory;
    }
    DBIResult rc = c->Open();
    if (rc != 0) {
        FreeTemporaryCursor(list);
        return rc;
    }
    cursor = list->Handle();
    return 0;
}

DBIResult TBaseSession::CloseDatabase(hDBIDb& database) {
    auto* db = HandleAs<TBaseDatabase>(database);
    if (db == nullptr) return kDbiErrInvalidHandle;
    delete db;
    database = kNilHandle;
    return 0;
}

DBIResult TBaseSession::CloseAllDatabases() { return 0; }

DBIResult TBaseSession::GetLdObj(hDBICur, void*& ldObj) {
    ldObj = &ldObject_;
    return 0;
}

DBIResult TBaseSession::GetLdName(const char*, const char*, char*) { return NotSupported(); }

DBIResult TBaseSession::CountTableCursors(const char* name, std::uint16_t& count) {
    count = 0;
    if (name == nullptr) return kDbiErrInvalidHandle;
    for (int i = 0; i < databases_.Count(); ++i) {
        auto* db = dynamic_cast<TBaseDatabase*>(databases_.Item(i));
        std::uint16_t n = 0;
        if (db != nullptr && db->CountOpenCursors(name, n) == 0) count = static_cast<std::uint16_t>(count + n);
    }
    return 0;
}

DBIResult TBaseSession::AddPassword(const char*) { return ReportNotSupported(*this, cs::kAddPassword); }
DBIResult TBaseSession::DropPassword(const char*) { return ReportNotSupported(*this, cs::kDropPassword); }
DBIResult TBaseSession::OpenFieldXlt(const char*, const char*, const void*, const char*, const char*, const void*,
                                     std::uint32_t&, bool&) {
    return ReportNotSupported(*this, cs::kOpenFieldXlt);
}
DBIResult TBaseSession::TranslateField(std::uint32_t, const void*, void*) {
    return ReportNotSupported(*this, cs::kTranslateField);
}
DBIResult TBaseSession::CloseFieldXlt(std::uint32_t) { return ReportNotSupported(*this, cs::kCloseFieldXlt); }
DBIResult TBaseSession::OpenUserList(hDBICur&) { return ReportNotSupported(*this, cs::kOpenUserList); }

DBIResult TBaseSession::NativeToAnsi(void*, char* dest, const char* source, std::uint32_t len, bool& translated) {
    translated = false;
    if (len == 0) return 0;
    if (dest == nullptr || source == nullptr) return kDbiErrInvalidParam;
    for (std::uint32_t i = 0; i < len; ++i)
        dest[i] = static_cast<char>(plat::OemToAnsiChar(static_cast<unsigned char>(source[i])));
    return 0;
}

DBIResult TBaseSession::AnsiToNative(void*, char* dest, const char* source, std::uint32_t len, bool& translated) {
    translated = false;
    if (len == 0) return 0;
    if (dest == nullptr || source == nullptr) return kDbiErrInvalidParam;
    for (std::uint32_t i = 0; i < len; ++i)
        dest[i] = static_cast<char>(plat::AnsiToOemChar(static_cast<unsigned char>(source[i])));
    return 0;
}

DBIResult TBaseSession::RegisterCallBack(hDBICur, std::uint32_t, std::uint32_t, std::uint16_t, void*, void*) {
    return NotSupported();
}
DBIResult TBaseSession::GetCallBack(hDBICur, std::uint32_t, std::uint32_t&, std::uint16_t&, void*&, void*&) {
    return NotSupported();
}
DBIResult TBaseSession::GetNumberFormat(void*) { return ReportNotSupported(*this, cs::kGetNumberFormat); }
DBIResult TBaseSession::SetNumberFormat(const void*) { return ReportNotSupported(*this, cs::kSetNumberFormat); }
DBIResult TBaseSession::GetIndexTypeDesc(const char*, const char*, void*) {
    return ReportNotSupported(*this, cs::kGetIndexTypeDesc);
}

DBIResult TBaseSession::CheckRefresh() { return 0; }

DBIResult TBaseSession::GetSysVersion(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    std::memset(info, 0, kSysVersionSize);
    return 0;
}

DBIResult TBaseSession::GetSysConfig(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    std::memset(info, 0, kSysConfigSize);
    PutU32(info, 1);
    PutU32(static_cast<unsigned char*>(info) + 4, 1);
    return 0;
}

DBIResult TBaseSession::GetSysInfo(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    auto* b = static_cast<unsigned char*>(info);
    std::memset(b, 0, kSysInfoSize);
    PutU16(b + 32, static_cast<std::uint16_t>(List() != nullptr ? List()->Count() : 0));
    CopyToBuffer(netDir_, reinterpret_cast<char*>(b + 34), kSysInfoSize - 34);
    return 0;
}

DBIResult TBaseSession::GetDriverCount(std::uint16_t& count) {
    count = 0;
    return kDbiErrTooManyDrivers;
}

DBIResult TBaseSession::GetSessionCount(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    auto* b = static_cast<unsigned char*>(info);
    std::memset(b, 0, kSessionCountSize);
    PutU16(b + 8, static_cast<std::uint16_t>(List() != nullptr ? List()->Count() : 0));
    return 0;
}

DBIResult TBaseSession::GetSesInfo(void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    SESInfo s;
    DBIResult rc = FillSesInfo(s);
    if (rc != 0) return rc;
    s.lockWait = static_cast<std::uint16_t>(lockWait_);
    s.Write(info);
    return 0;
}

DBIResult TBaseSession::GetNetUserName(char* buffer) {
    if (buffer == nullptr) return kDbiErrInvalidParam;
    std::string user;
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) user = pw->pw_name;
    CopyToBuffer(plat::Utf8ToAnsi(user), buffer, 256);
    return 0;
}

DBIResult TBaseSession::AddAlias(hDBICfg, const char*, const char*, const char*, bool) {
    return ReportNotSupported(*this, cs::kAddAlias);
}
DBIResult TBaseSession::DeleteAlias(hDBICfg, const char*) { return ReportNotSupported(*this, cs::kDeleteAlias); }
DBIResult TBaseSession::OpenCfgInfoList(hDBICfg, std::uint32_t, std::uint32_t, const char*, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenCfgInfoList);
}
DBIResult TBaseSession::OpenConfigFile(const char*, bool, hDBICfg&) {
    return ReportNotSupported(*this, cs::kOpenConfigFile);
}
DBIResult TBaseSession::CloseConfigFile(hDBICfg&, bool, bool, bool) {
    return ReportNotSupported(*this, cs::kCloseConfigFile);
}
DBIResult TBaseSession::ConfigSave(hDBICfg, const char*, bool) { return NotSupported(); }
DBIResult TBaseSession::CfgBuildPath(hDBICfg, const char*, const char*, char*) {
    return ReportNotSupported(*this, cs::kCfgBuildPath);
}
DBIResult TBaseSession::CfgPosition(hDBICfg, const char*) { return NotSupported(); }
DBIResult TBaseSession::CfgNextNode(hDBICfg, char*) { return ReportNotSupported(*this, cs::kCfgNextNode); }

DBIResult TBaseSession::CfgGetRecord(hDBICfg, const char* path, std::uint16_t& fieldCount, void* fieldDescs,
                                     void* values) {
    fieldCount = 0;
    TBaseCfgrecord* rec = FindCfgRecord(cfgRecords_, path);
    if (rec == nullptr) return 0;
    fieldCount = rec->FieldCount();
    if (fieldDescs != nullptr && !rec->FieldDescs().empty())
        std::memcpy(fieldDescs, rec->FieldDescs().data(), rec->FieldDescs().size());
    if (values != nullptr && !rec->Values().empty()) std::memcpy(values, rec->Values().data(), rec->Values().size());
    return 0;
}

DBIResult TBaseSession::CfgAddRecord(hDBICfg, const char* path, std::uint16_t fieldCount, const void* fieldDescs,
                                     const void* values) {
    if (path == nullptr) return kDbiErrInvalidParam;
    if (FindCfgRecord(cfgRecords_, path) != nullptr) return 0;
    try {
        new TBaseCfgrecord(this, &cfgRecords_, path, fieldCount, fieldDescs, values);
    } catch (const std::bad_alloc&) {
        return kDbiErrInvalidParam;
    }
    return 0;
}

DBIResult TBaseSession::CfgModifyRecord(hDBICfg, const char* path, std::uint16_t fieldCount,
                                        const void* fieldDescs, const void* values) {
    if (TBaseCfgrecord* rec = FindCfgRecord(cfgRecords_, path)) rec->SetRecord(fieldCount, fieldDescs, values);
    return 0;
}

DBIResult TBaseSession::CfgDropRecord(hDBICfg, const char* path) {
    delete FindCfgRecord(cfgRecords_, path);
    return 0;
}

DBIResult TBaseSession::CfgTranslate(hDBICfg, const char*, void*) {
    return ReportNotSupported(*this, cs::kConfigTranslate);
}
DBIResult TBaseSession::CfgGetHelp(hDBICfg, const char*, char*) { return ReportNotSupported(*this, cs::kCfgGetHelp); }
DBIResult TBaseSession::CfgMerge(hDBICfg, const char*, bool) { return ReportNotSupported(*this, cs::kCfgMerge); }

}  // namespace qv
