// The server's settings: general information, aliases, users and the
// bindings of user key routines, plus the keyword file and alias script that
// adjust them at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/base/qv_lists.h"
#include "platform/core/process.h"

namespace qv {

// The transport a server listens on; the in-process start always uses the
// single-user one whatever is stored here.
enum class TqvProtocol : std::uint8_t { SingleUser, NetBIOS, TcpIp, IpxSpx };

// Port defaults are the transports' port numbers held in network byte order.
struct TqvServerGeneralInfo {
    std::string ServerName;  // <= 31
    std::uint32_t MaxPages = 500;
    TqvProtocol Protocol = TqvProtocol::SingleUser;
    std::int32_t TCPPort = 25952;
    std::int32_t UDPPortSr = 25952;
    std::int32_t UDPPortCl = 25953;
    std::int32_t IPXSocketSr = 25952;
    std::int32_t IPXSocketCl = 25953;
    std::int32_t SPXSocket = 25954;
    bool IsSecure = false;
    bool AutoUp = false;
    bool AutoMini = false;
    bool DebugLog = false;
    bool Broadcasts = true;
    bool UseEncrypt = false;
    bool ReadOnly = false;
};

// Full form of a configured directory, at most 219 characters.
std::string NormalizeConfigPath(std::string_view path);

class TqvAliasItem : public TqvUCStrListItem {
public:
    TqvAliasItem(std::string_view alias, std::string_view directory);
    const std::string& Alias() const { return Str(); }
    const std::string& Directory() const { return directory_; }

private:
    std::string directory_;
};

class TqvUserItem : public TqvUCStrListItem {
public:
    TqvUserItem(std::string_view user, std::string_view lastName, std::string_view firstName,
                std::uint32_t passwordHash, std::uint8_t rights);
    const std::string& UserName() const { return Str(); }
    std::string lastName, firstName;
    std::uint32_t passwordHash;
    std::uint8_t rights;
};

// Key of a key-routine binding: the table file's full path, "|", the index number.
std::string MakeKeyProcKey(std::string_view tableFilePath, std::uint32_t index);
std::string KeyProcTableFile(std::string_view directory, std::string_view tableName);

// Signatures the engine calls a bound library with.
using TqvUserKeyBuildProc = bool (*)(std::uint32_t index, const std::uint8_t* record, std::uint8_t* key,
                                 std::uint32_t keyLength);
using TqvUserKeyCompareProc = int (*)(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t keyLength);

class TqvKeyProcItem : public TqvUCStrListItem {
public:
    TqvKeyProcItem(std::string_view directory, std::string_view tableName, std::uint32_t index,
                   std::string_view dllName, std::string_view proc1, std::string_view proc2, bool loadingAllowed);
    ~TqvKeyProcItem() override { Unload(); }

    // Loads the library and binds both routines; on any failure nothing stays
    // loaded. Always false while the configuration has not enabled loading:
    // a table row must not be enough to run foreign code in the server.
    bool Load();
    void Unload();
    bool Loaded() const { return library_.IsLoaded(); }

    std::uint32_t index;
    std::string dllName, proc1Name, proc2Name, directory, tableName;
    void* proc1 = nullptr;
    void* proc2 = nullptr;

private:
    bool loadingAllowed_;
    plat::SharedLibrary library_;
};

class TqvAliasList {
public:
    bool Insert(TqvAliasItem* item);  // takes ownership; frees a duplicate
    bool Exists(std::string_view alias);
    int Count() { return list_.Count(); }
    void Delete(std::string_view alias);
    void Clear() { list_.Clear(); }
    TqvAliasItem* Item(int i) { return static_cast<TqvAliasItem*>(list_.GetItem(i)); }
    std::string Directory(std::string_view alias);

private:
    TqvList list_;
};

class TqvUserList {
public:
    bool Insert(TqvUserItem* item);
    bool Exists(std::string_view user) { return Position(user) >= 0; }
    int Position(std::string_view user);
    int Count() { return list_.Count(); }
    void Clear() { list_.Clear(); }
    TqvUserItem* Item(int i) { return static_cast<TqvUserItem*>(list_.GetItem(i)); }
    // 0 for an empty name, -1 (all bits) for an unknown one.
    std::uint32_t PasswordHash(std::string_view user);

private:
    TqvList list_;
};

class TqvKeyProcList {
public:
    bool Insert(TqvKeyProcItem* item);
    void Delete(std::string_view directory, std::string_view table, std::uint32_t index);
    bool Exists(std::string_view directory, std::string_view table, std::uint32_t index) {
        return Position(directory, table, index) >= 0;
    }
    int Position(std::string_view directory, std::string_view table, std::uint32_t index);
    int Count() { return list_.Count(); }
    void Clear() { list_.Clear(); }
    TqvKeyProcItem* Item(int i) { return static_cast<TqvKeyProcItem*>(list_.GetItem(i)); }

private:
    TqvList list_;
};

class TqvServerConfiguration {
public:
    TqvServerConfiguration() = default;
    TqvServerConfiguration(const TqvServerConfiguration&) = delete;
    TqvServerConfiguration& operator=(const TqvServerConfiguration&) = delete;

    TqvServerGeneralInfo* GeneralInfo() { return &general_; }
    TqvAliasList& Aliases() { return aliases_; }
    TqvUserList& Users() { return users_; }
    TqvKeyProcList& KeyProcs() { return keyProcs_; }

    void Lock() { lock_.Lock(true); }
    void Unlock() { lock_.Lock(false); }

    bool AddAlias(std::string_view alias, std::string_view directory);
    bool AddUser(std::string_view user, std::string_view lastName, std::string_view firstName,
                 std::uint32_t passwordHash, std::uint8_t rights);
    bool AddKeyProc(std::string_view directory, std::string_view tableName, std::uint32_t index,
                    std::string_view dllName, std::string_view proc1, std::string_view proc2);

    // Off unless the host enables it: bindings added while it is off never load.
    bool allowKeyProcLoading = false;

private:
    TqvServerGeneralInfo general_;
    TqvPadLock lock_;
    TqvAliasList aliases_;
    TqvKeyProcList keyProcs_;
    TqvUserList users_;
};

// ---- start-up adjustments ---------------------------------------------------------
int FindServerKeyword(std::string_view keyword);    // -1 when unknown
int FindProtocolKeyword(std::string_view value);     // -1 when unknown
// 1 true, 0 false, -1 not a boolean word.
int ParseBooleanValue(std::string_view value);

// The alias route of an unknown keyword: alias cut to 31, path to 219;
// 10009 when the alias exists, else 0.
std::uint16_t AddConfigAlias(TqvServerConfiguration& cfg, std::string_view alias, std::string_view path);

void ApplyServerKeyword(TqvServerConfiguration& cfg, std::string_view keyword, std::string_view value);
// Both ignore a missing file and every malformed line, silently.
void ReadKeywordFile(TqvServerConfiguration& cfg, std::string_view fileName);
void ApplyKeywordLines(TqvServerConfiguration& cfg, std::string_view text);
constexpr const char* kAliasScriptName = "QVAlias.sc$";
void ReadAliasScript(TqvServerConfiguration& cfg, std::string_view directory);
void ApplyAliasScriptLines(TqvServerConfiguration& cfg, std::string_view text);

}  // namespace qv
