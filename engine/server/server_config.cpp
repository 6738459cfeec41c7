#include "engine/server/server_config.h"

#include <array>
#include <charconv>

#include "engine/storage/table_file.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/core/string_list.h"

namespace qv {

namespace {
std::string Cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); }
}  // namespace

std::string NormalizeConfigPath(std::string_view path) {
    return Cut(ExpandUNCName(std::string(path)), 219);
}

TqvAliasItem::TqvAliasItem(std::string_view alias, std::string_view directory)
    : TqvUCStrListItem(Cut(alias, 31)), directory_(NormalizeConfigPath(directory)) {}

TqvUserItem::TqvUserItem(std::string_view user, std::string_view lastName_, std::string_view firstName_,
                         std::uint32_t hash, std::uint8_t r)
    : TqvUCStrListItem(Cut(user, 31)),
      lastName(Cut(lastName_, 31)),
      firstName(Cut(firstName_, 31)),
      passwordHash(hash),
      rights(r) {}

std::string KeyProcTableFile(std::string_view directory, std::string_view tableName) {
    return QvJoinPath(directory, QvMakeFileName(tableName, "QVD"));
}

std::string MakeKeyProcKey(std::string_view tableFilePath, std::uint32_t index) {
    return std::string(tableFilePath) + "|" + std::to_string(index);
}

TqvKeyProcItem::TqvKeyProcItem(std::string_view dir, std::string_view table, std::uint32_t idx,
                               std::string_view dll, std::string_view p1, std::string_view p2, bool allowed)
    : TqvUCStrListItem(MakeKeyProcKey(KeyProcTableFile(Cut(dir, 219), Cut(table, 31)), idx)),
      index(idx),
      dllName(Cut(dll, 255)),
      proc1Name(Cut(p1, 31)),
      proc2Name(Cut(p2, 31)),
      directory(Cut(dir, 219)),
      tableName(Cut(table, 31)),
      loadingAllowed_(allowed) {}

bool TqvKeyProcItem::Load() {
    Unload();
    if (!loadingAllowed_) return false;
    if (library_.Load(dllName)) {
        proc1 = library_.Symbol(proc1Name);
        if (proc1) proc2 = library_.Symbol(proc2Name);
        if (proc1 && proc2) return true;
    }
    Unload();
    return false;
}

void TqvKeyProcItem::Unload() {
    library_.Unload();
    proc1 = proc2 = nullptr;
}

// ---- lists ---------------------------------------------------------------------------

bool TqvAliasList::Insert(TqvAliasItem* item) {
    if (list_.Insert(item)) return true;
    delete item;
    return false;
}

bool TqvAliasList::Exists(std::string_view alias) {
    std::string key = Cut(alias, 31);
    return list_.IndexOf(&key) >= 0;
}

void TqvAliasList::Delete(std::string_view alias) {
    std::string key = Cut(alias, 31);
    list_.Delete(&key);
}

std::string TqvAliasList::Directory(std::string_view alias) {
    std::string key = Cut(alias, 31);
    int i = list_.IndexOf(&key);
    return i < 0 ? std::string() : Item(i)->Directory();
}

bool TqvUserList::Insert(TqvUserItem* item) {
    if (list_.Insert(item)) return true;
    delete item;
    return false;
}

int TqvUserList::Position(std::string_view user) {
    std::string key = Cut(user, 31);
    return list_.IndexOf(&key);
}

std::uint32_t TqvUserList::PasswordHash(std::string_view user) {
    if (user.empty()) return 0;
    int i = Position(user);
    return i < 0 ? 0xFFFFFFFFu : Item(i)->passwordHash;
}

bool TqvKeyProcList::Insert(TqvKeyProcItem* item) {
    if (list_.Insert(item)) return true;
    delete item;
    return false;
}

int TqvKeyProcList::Position(std::string_view directory, std::string_view table, std::uint32_t index) {
    std::string key = QvLongToShStr(MakeKeyProcKey(KeyProcTableFile(Cut(directory, 219), Cut(table, 31)), index));
    return list_.IndexOf(&key);
}

void TqvKeyProcList::Delete(std::string_view directory, std::string_view table, std::uint32_t index) {
    list_.DeleteAt(Position(directory, table, index));
}

// ---- configuration -------------------------------------------------------------------

bool TqvServerConfiguration::AddAlias(std::string_view alias, std::string_view directory) {
    TqvPadLockGuard g(lock_);
    return aliases_.Insert(new TqvAliasItem(alias, directory));
}

bool TqvServerConfiguration::AddUser(std::string_view user, std::string_view lastName, std::string_view firstName,
                                     std::uint32_t passwordHash, std::uint8_t rights) {
    TqvPadLockGuard g(lock_);
    return users_.Insert(new TqvUserItem(user, lastName, firstName, passwordHash, rights));
}

bool TqvServerConfiguration::AddKeyProc(std::string_view directory, std::string_view tableName, std::uint32_t index,
                                        std::string_view dllName, std::string_view proc1, std::string_view proc2) {
    TqvPadLockGuard g(lock_);
    return keyProcs_.Insert(
        new TqvKeyProcItem(directory, tableName, index, dllName, proc1, proc2, allowKeyProcLoading));
}

// ---- keywords ------------------------------------------------------------------------

namespace {
constexpr std::array<const char*, 9> kKeywords = {"SERVERNAME",   "MAXRAMPAGES",   "PROTOCOL",
                                                  "USELOGIN",     "AUTOUPSERVER",  "AUTOMINIMIZE",
                                                  "USEBROADCASTS", "ALLOWENCRYPT", "NOAUTOSAVECFG"};
constexpr std::array<const char*, 4> kProtocols = {"SINGLEUSER", "NETBIOS", "TCP/IP", "IPX/SPX"};

void SetBool(bool& field, std::string_view value) {
    int b = ParseBooleanValue(value);
    if (b >= 0) field = b == 1;
}
}  // namespace

int FindServerKeyword(std::string_view keyword) {
    std::string up = plat::AnsiUpperCase(keyword);
    for (std::size_t i = 0; i < kKeywords.size(); ++i)
        if (up == kKeywords[i]) return static_cast<int>(i);
    return -1;
}

int FindProtocolKeyword(std::string_view value) {
    std::string up = plat::AnsiUpperCase(value);
    for (std::size_t i = 0; i < kProtocols.size(); ++i)
        if (up == kProtocols[i]) return static_cast<int>(i);
    return -1;
}

int ParseBooleanValue(std::string_view value) {
    std::string up = plat::AnsiUpperCase(value);
    if (up == "0" || up == "NO" || up == "FALSE") return 0;
    if (up == "1" || up == "YES" || up == "TRUE") return 1;
    return -1;
}

std::uint16_t AddConfigAlias(TqvServerConfiguration& cfg, std::string_view alias, std::string_view path) {
    if (cfg.Aliases().Exists(Cut(alias, 31))) return 10009;
    return cfg.AddAlias(Cut(alias, 31), Cut(path, 219)) ? 0 : 10009;
}

void ApplyServerKeyword(TqvServerConfiguration& cfg, std::string_view keyword, std::string_view value) {
    TqvServerGeneralInfo& g = *cfg.GeneralInfo();
    switch (FindServerKeyword(keyword)) {
        case 0:
            g.ServerName = Cut(value, 31);
            return;
        case 1: {
            std::uint32_t n = 0;
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec == std::errc() && end == value.data() + value.size() && !value.empty() && n >= 100 &&
                n <= 32000)
                g.MaxPages = n;
            return;
        }
        case 2: {
            int p = FindProtocolKeyword(value);
            if (p >= 0) g.Protocol = static_cast<TqvProtocol>(p);
            return;
        }
        case 3: SetBool(g.IsSecure, value); return;
        case 4: SetBool(g.AutoUp, value); return;
        case 5: SetBool(g.AutoMini, value); return;
        case 6: SetBool(g.Broadcasts, value); return;
        case 7: return;  // accepted for old files; encryption is not a keyword setting
        case 8: SetBool(g.ReadOnly, value); return;
        default: break;
    }
    if (QvDirectoryExists(value)) AddConfigAlias(cfg, keyword, value);
}

namespace {
// One "key<sep>value" line: the separator must have at least one character
// before it and one after it, and lines of 2 characters or fewer are skipped.
bool SplitLine(std::string_view line, char sep, std::string_view& key, std::string_view& value) {
    line = line.substr(0, 255);
    if (line.size() <= 2) return false;
    std::size_t i = line.find(sep);
    if (i == std::string_view::npos || i < 1 || i + 1 >= line.size()) return false;
    key = line.substr(0, i);
    value = line.substr(i + 1);
    return true;
}

void ApplyLines(TqvServerConfiguration& cfg, std::string_view text, char sep, bool aliasCuts) {
    plat::StringList lines;
    lines.SetText(text);
    for (int i = 0; i < lines.Count(); ++i) {
        std::string_view key, value;
        if (!SplitLine(lines[i], sep, key, value)) continue;
        if (aliasCuts) {
            key = key.substr(0, 31);
            value = value.substr(0, 219);
        }
        ApplyServerKeyword(cfg, key, value);
    }
}

bool LoadText(std::string_view path, std::string& text) {
    if (!QvFileExists(path)) return false;
    try {
        plat::StringList lines;
        lines.LoadFromFile(path);
        text = lines.Text();
        return true;
    } catch (...) {
        return false;  // an unreadable file counts as a missing one
    }
}
}  // namespace

void ApplyKeywordLines(TqvServerConfiguration& cfg, std::string_view text) { ApplyLines(cfg, text, '=', false); }
void ApplyAliasScriptLines(TqvServerConfiguration& cfg, std::string_view text) { ApplyLines(cfg, text, ';', true); }

void ReadKeywordFile(TqvServerConfiguration& cfg, std::string_view fileName) {
    std::string text;
    if (LoadText(fileName, text)) ApplyKeywordLines(cfg, text);
}

void ReadAliasScript(TqvServerConfiguration& cfg, std::string_view directory) {
    std::string text;
    if (LoadText(plat::JoinPath(directory, kAliasScriptName), text)) ApplyAliasScriptLines(cfg, text);
}

}  // namespace qv
