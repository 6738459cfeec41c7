// The base of every session handle. Its virtual operations are the
// session-level calls of the database API; the base does what needs no
// server and reports the rest as not supported. The client session
// overrides the operations that need the server.
#pragma once

#include <cstdint>
#include <string>

#include "engine/api/dbi_types.h"
#include "engine/client/handle_base.h"

namespace qv {

class TBaseDatabase;

// A database descriptor remembered under the name it was asked by (the
// descriptor of a path is named "PATH", so the name asked for is the key).
class TDatabaseDescCache : public TBapiListItem {
public:
    TDatabaseDescCache(TBapiListItem* parent, TBapiCollection* list, const std::string& key, const DBDesc& desc)
        : TBapiListItem(parent, list), key(key), desc(desc) {}
    std::string key;
    DBDesc desc;
};

class TBaseSession : public TBapiListItem {
public:
    // Property ids the session answers.
    static constexpr std::uint32_t kPropCurrentDir = 0x00020002;
    static constexpr std::uint32_t kPropValue = 0x00020003;
    // Record sizes of the information calls.
    static constexpr int kErrorInfoSize = 642, kClientInfoSize = 156, kSysVersionSize = 32,
                         kSysConfigSize = 346, kSysInfoSize = 327, kSessionCountSize = 14;

    // `name` (at most 31 characters) and `netDir` (which also becomes the
    // private directory, at most 260) may be nil.
    TBaseSession(TBapiListItem* engine, TBapiCollection* sessionList, const char* name, const char* netDir);
    ~TBaseSession() override;

    DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) override;
    DBIResult SetProp(std::uint32_t property, std::uint32_t value) override;
    virtual DBIResult SetCallbackContext(std::uint32_t value);
    virtual bool IsDefault();
    virtual DBIResult GetErrorEntry(std::uint16_t entry, std::uint32_t& nativeCode, char* context);
    // `buffer` holds kDbiMaxMsgLen + 1 bytes.
    virtual DBIResult GetErrorString(DBIResult code, char* buffer);
    virtual DBIResult GetErrorContext(std::int16_t context, char* buffer);
    virtual DBIResult GetErrorInfo(bool full, void* info);
    virtual DBIResult FillSesInfo(SESInfo& info);
    virtual std::string GetEngineName();
    virtual void FinishDesc(int flag, DBDesc& desc);
    virtual DBIResult GetDatabaseDescByName(const char* name, DBDesc& desc, int flag);
    // `desc` receives DBDesc::kSize bytes.
    virtual DBIResult GetDatabaseDesc(const char* name, void* desc);
    virtual DBIResult OpenTableTypesList(const char* driverType, hDBICur& cursor);
    virtual DBIResult GetTableTypeDesc(const char* driverType, const char* tableType, void* desc);
    virtual DBIResult OpenFieldTypesList(const char* driverType, const char* tableType, hDBICur& cursor);
    virtual DBIResult GetFieldTypeDesc(const char* driverType, const char* tableType, const char* fieldType,
                                       void* desc);
    virtual DBIResult OpenIndexTypesList(const char* driverType, hDBICur& cursor);
    virtual DBIResult OpenLdList(hDBICur& cursor);
    virtual DBIResult OpenDatabaseByDesc(const DBDesc& desc, const char* dbType, std::uint32_t openMode,
                                         std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                         const void* optDescs, const void* optParams, hDBIDb& database);
    virtual DBIResult OpenDatabase(const char* name, const char* dbType, std::uint32_t openMode,
                                   std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                                   const void* optDescs, const void* optParams, hDBIDb& database);
    virtual DBIResult GetDefaultDatabase(hDBIDb& database);
    virtual DBIResult GetClientInfo(void* info);
    virtual DBIResult OpenDatabaseList(hDBICur& cursor);
    virtual DBIResult CloseDatabase(hDBIDb& database);
    virtual DBIResult CloseAllDatabases();
    virtual DBIResult GetLdObj(hDBICur cursor, void*& ldObj);
    virtual DBIResult GetLdName(const char* driverType, const char* objName, char* ldName);
    virtual DBIResult CountTableCursors(const char* name, std::uint16_t& count);
    virtual DBIResult AddPassword(const char* password);
    virtual DBIResult DropPassword(const char* password);
    virtual DBIResult OpenFieldXlt(const char* srcType, const char* srcLd, const void* srcField,
                                   const char* destType, const char* destLd, const void* destField,
                                   std::uint32_t& xlt, bool& dataLoss);
    virtual DBIResult TranslateField(std::uint32_t xlt, const void* src, void* dest);
    virtual DBIResult CloseFieldXlt(std::uint32_t xlt);
    virtual DBIResult OpenUserList(hDBICur& cursor);
    // OEM and ANSI character sets; `len` characters of `source` into `dest`.
    virtual DBIResult NativeToAnsi(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated);
    virtual DBIResult AnsiToNative(void* ld, char* dest, const char* source, std::uint32_t len, bool& translated);
    virtual DBIResult RegisterCallBack(hDBICur cursor, std::uint32_t cbType, std::uint32_t clientData,
                                       std::uint16_t bufLen, void* buffer, void* callback);
    virtual DBIResult GetCallBack(hDBICur cursor, std::uint32_t cbType, std::uint32_t& clientData,
                                  std::uint16_t& bufLen, void*& buffer, void*& callback);
    virtual DBIResult GetNumberFormat(void* format);
    virtual DBIResult SetNumberFormat(const void* format);
    virtual DBIResult GetIndexTypeDesc(const char* driverType, const char* indexType, void* desc);
    virtual DBIResult CheckRefresh();
    virtual DBIResult GetSysVersion(void* info);
    virtual DBIResult GetSysConfig(void* info);
    virtual DBIResult GetSysInfo(void* info);
    virtual DBIResult GetDriverCount(std::uint16_t& count);
    virtual DBIResult GetSessionCount(void* info);
    // `info` receives SESInfo::kSize bytes.
    virtual DBIResult GetSesInfo(void* info);
    // `buffer` holds 256 bytes.
    virtual DBIResult GetNetUserName(char* buffer);
    virtual DBIResult AddAlias(hDBICfg config, const char* alias, const char* driverType, const char* params,
                               bool persist);
    virtual DBIResult DeleteAlias(hDBICfg config, const char* alias);
    virtual DBIResult OpenCfgInfoList(hDBICfg config, std::uint32_t openMode, std::uint32_t cfgMode,
                                      const char* path, hDBICur& cursor);
    virtual DBIResult OpenConfigFile(const char* dir, bool create, hDBICfg& config);
    virtual DBIResult CloseConfigFile(hDBICfg& config, bool save, bool makeDefault, bool saveAs);
    virtual DBIResult ConfigSave(hDBICfg config, const char* dir, bool makeDefault);
    virtual DBIResult CfgBuildPath(hDBICfg config, const char* section, const char* name, char* path);
    virtual DBIResult CfgPosition(hDBICfg config, const char* path);
    virtual DBIResult CfgNextNode(hDBICfg config, char* node);
    virtual DBIResult CfgGetRecord(hDBICfg config, const char* path, std::uint16_t& fieldCount, void* fieldDescs,
                                   void* values);
    virtual DBIResult CfgAddRecord(hDBICfg config, const char* path, std::uint16_t fieldCount,
                                   const void* fieldDescs, const void* values);
    virtual DBIResult CfgModifyRecord(hDBICfg config, const char* path, std::uint16_t fieldCount,
                                      const void* fieldDescs, const void* values);
    virtual DBIResult CfgDropRecord(hDBICfg config, const char* path);
    virtual DBIResult CfgTranslate(hDBICfg config, const char* path, void* info);
    virtual DBIResult CfgGetHelp(hDBICfg config, const char* path, char* help);
    virtual DBIResult CfgMerge(hDBICfg config, const char* path, bool overwrite);

    TBapiCollection& Databases() { return databases_; }
    TBapiCollection& FurtherList() { return furtherList_; }
    TBapiCollection& CfgRecords() { return cfgRecords_; }
    TBapiCollection& DescCache() { return descCache_; }
    // Drops the cached descriptor of a database name, so that the next open
    // resolves the name anew (an alias deleted or given a new path).
    void ForgetDatabaseDesc(const char* name);
    const std::string& Name() const { return name_; }
    const std::string& NetDir() const { return netDir_; }
    const std::string& PrivateDir() const { return privateDir_; }
    void SetPrivateDir(const char* dir);
    std::uint32_t LockWait() const { return lockWait_; }
    void SetLockWait(std::uint32_t ms) { lockWait_ = ms; }
    std::uint32_t CallbackContext() const { return callbackContext_; }

private:
    std::uint32_t ldObject_ = 0;
    std::uint32_t lockWait_ = 0;
    TBapiCollection databases_;
    TBapiCollection furtherList_;
    TBapiCollection cfgRecords_;
    std::uint32_t callbackContext_ = 0;
    std::string name_;
    std::string netDir_;
    std::string privateDir_;
    TBapiCollection descCache_;
    std::uint32_t propValue_ = 0;
};

}  // namespace qv
