// The server's configuration kept in four ordinary tables in the program
// directory: aliases (QVSALIAS), users (QVSUser), general settings (QVSInfo)
// and key-routine bindings (QVSIndex, read only). They are read when the
// in-process server starts and written back when the client side shuts down,
// through the server engine's own operations under an internal client.
//
// Every failure is silent by design: a missing or unreadable table leaves the
// configuration as it was. A save builds the new table under a temporary name
// and swaps it in only after its commit, so a failed save never loses what
// the previous save stored.
#pragma once

#include <string>
#include <string_view>

#include "engine/server/server_engine.h"

namespace qv {

constexpr const char* kQvsAliasTable = "QVSALIAS";
constexpr const char* kQvsUserTable = "QVSUser";
constexpr const char* kQvsInfoTable = "QVSInfo";
constexpr const char* kQvsIndexTable = "QVSIndex";

// The internal client's id: all bits set, never one the comms layer hands out.
constexpr std::uint32_t kQvInternalClientId = 0xFFFFFFFFu;

constexpr const char* kQvDefaultAdminLastName = "Administrator";
constexpr const char* kQvDefaultAdminPassword = "Plovermint";
constexpr std::uint8_t kQvDefaultAdminRights = 31;

// The default administrator's five-character user name, built once at start.
void BuildDefaultUserName();
const std::string& DefaultUserName();

// The folder the tables live in; empty means plat::ProgramDir(). Tests point
// it elsewhere.
void SetSystemTableDirectory(std::string_view directory);
std::string SystemTableDirectory();

// The "Protocol" field's names, which differ from the keyword file's.
std::string ProtocolTableName(TqvProtocol p);
// False for a name the table does not know; empty means the single-user one.
bool ProtocolFromTableName(std::string_view name, TqvProtocol& p);

// Loaders: each leaves the configuration as it was when its table cannot be
// opened or read. True when the table was read or does not exist; false when
// it exists but could not be read, so that the caller does not save over it.
bool ReadServerInfoTable(TqvServerEngine& engine);
bool ReadAliasTable(TqvServerEngine& engine);
bool ReadUserTable(TqvServerEngine& engine);
bool ReadIndexTable(TqvServerEngine& engine);
void AddDefaultAdminUser(TqvServerEngine& engine);

// Savers: nothing when the configuration is read-only. The result says
// whether the table now holds the configuration (callers may ignore it).
bool WriteAliasTable(TqvServerEngine& engine);
bool WriteUserTable(TqvServerEngine& engine);
bool WriteServerInfoTable(TqvServerEngine& engine);

// Which of the tables written back at shutdown were loaded (or absent); one
// that exists but failed to load is left alone at shutdown.
struct TqvSystemTablesLoaded {
    bool info = false;
    bool aliases = false;
};

// The start-up order of the in-process server: settings, aliases, users (the
// default administrator when there are none), key routines, the alias script
// and, when given, the keyword file.
TqvSystemTablesLoaded LoadServerConfiguration(TqvServerEngine& engine, std::string_view keywordFile);

}  // namespace qv
