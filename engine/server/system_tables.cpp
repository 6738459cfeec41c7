#include "engine/server/system_tables.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/field_types.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"

namespace qv {

namespace {

std::string gDefaultUserName;
std::string gDirectory;

// The new copy of a table is built under this suffix and swapped in after its
// commit; the previous copy waits under the other one until the swap is done.
constexpr const char* kNewSuffix = "_NEW";
constexpr const char* kOldSuffix = "_OLD";

// Attaches the internal client and opens the table folder; undoes whatever it
// did on the way out, whatever happened in between.
class InternalSession {
public:
    explicit InternalSession(TqvServerEngine& engine) : engine_(engine) {
        std::uint32_t hash = 0;
        if (engine_.ClientAdd(kQvInternalClientId, "", DefaultUserName(), hash) != 0) return;
        attached_ = true;
        if (engine_.DatabaseOpenNoAlias(kQvInternalClientId, SystemTableDirectory(), true, true, databaseId_) != 0)
            databaseId_ = 0;
    }
    ~InternalSession() {
        CloseCursor();
        if (databaseId_ != 0) engine_.DatabaseClose(databaseId_);
        if (attached_) engine_.ClientRemove(kQvInternalClientId);
    }
    InternalSession(const InternalSession&) = delete;
    InternalSession& operator=(const InternalSession&) = delete;

    bool Ready() const { return databaseId_ != 0; }
    std::uint32_t Database() const { return databaseId_; }
    std::uint32_t Cursor() const { return cursorId_; }

    // Opens `name` (or, when it is missing, the copy a save left behind while
    // swapping) and reads its dictionary from the open-table reply.
    bool Open(const std::string& name, TqvDataDictionary& dictionary) {
        if (OpenOne(name, dictionary)) return true;
        const bool missing = lastOpen_ == dbi::kTableMissing;
        if (OpenOne(name + kOldSuffix, dictionary)) return true;
        missing_ = missing && lastOpen_ == dbi::kTableMissing;
        return false;
    }
    // After a failed Open: true when neither copy of the table exists.
    bool Missing() const { return missing_; }
    bool OpenOne(const std::string& name, TqvDataDictionary& dictionary) {
        plat::MemoryStream reply;
        std::uint32_t cursor = 0;
        lastOpen_ = engine_.OpenTable(databaseId_, name, "", 0, true, true, 0, &reply, cursor);
        if (lastOpen_ != 0) return false;
        cursorId_ = cursor;
        try {
            reply.SetPosition(4);
            dictionary.ReadFromStream(reply);
        } catch (...) {
            CloseCursor();
            lastOpen_ = dbi::kInvalidParameter;
            return false;
        }
        return true;
    }
    void CloseCursor() {
        if (cursorId_ != 0) engine_.CursorClose(cursorId_);
        cursorId_ = 0;
    }

private:
    TqvServerEngine& engine_;
    bool attached_ = false;
    std::uint32_t databaseId_ = 0;
    std::uint32_t cursorId_ = 0;
    DBIResult lastOpen_ = 0;
    bool missing_ = false;
};

// ---- field access by position; every read is bounded by the field's length ----

std::vector<std::uint8_t> FieldBytes(const TqvDataDictionary& d, std::uint32_t n, const std::uint8_t* rec) {
    std::vector<std::uint8_t> v(d.FieldLength(n));
    if (!v.empty()) d.GetRecordField(n, rec, v.data());
    return v;
}

std::string GetStr(const TqvDataDictionary& d, std::uint32_t n, const std::uint8_t* rec, std::size_t cap) {
    if (n >= d.FieldCount()) return {};
    auto v = FieldBytes(d, n, rec);
    if (v.empty()) return {};
    std::size_t len = std::min<std::size_t>({v[0], v.size() - 1, cap});
    return std::string(reinterpret_cast<const char*>(v.data() + 1), len);
}

std::uint32_t GetU32Field(const TqvDataDictionary& d, std::uint32_t n, const std::uint8_t* rec) {
    if (n >= d.FieldCount()) return 0;
    auto v = FieldBytes(d, n, rec);
    return v.size() >= 4 ? GetU32(v.data()) : 0;
}

bool GetBool(const TqvDataDictionary& d, std::uint32_t n, const std::uint8_t* rec) {
    if (n >= d.FieldCount()) return false;
    auto v = FieldBytes(d, n, rec);
    return !v.empty() && v[0] != 0;
}

void SetStr(const TqvDataDictionary& d, std::uint32_t n, std::uint8_t* rec, std::string_view s) {
    std::vector<std::uint8_t> v(d.FieldLength(n), 0);
    std::size_t len = std::min<std::size_t>(s.size(), v.size() - 1);
    v[0] = static_cast<std::uint8_t>(len);
    std::memcpy(v.data() + 1, s.data(), len);
    d.SetRecordField(n, rec, v.data());
}

void SetU32Field(const TqvDataDictionary& d, std::uint32_t n, std::uint8_t* rec, std::uint32_t value) {
    std::vector<std::uint8_t> v(d.FieldLength(n), 0);
    PutU32(v.data(), value);
    d.SetRecordField(n, rec, v.data());
}

void SetBool(const TqvDataDictionary& d, std::uint32_t n, std::uint8_t* rec, bool value) {
    std::vector<std::uint8_t> v(d.FieldLength(n), 0);
    v[0] = value ? 1 : 0;
    d.SetRecordField(n, rec, v.data());
}

// ---- schemas ----

struct FieldDef {
    const char* name;
    TqvFieldType type;
    std::uint32_t units;
};

TqvDataDictionary MakeDictionary(const std::vector<FieldDef>& fields) {
    TqvDataDictionary d(4096);
    for (const FieldDef& f : fields) d.AddField(f.name, "", f.type, f.units, 0, true);
    return d;
}

TqvDataDictionary AliasDictionary() {
    return MakeDictionary({{"Alias", qvftShortString, 31}, {"Path", qvftShortString, 219}});
}

TqvDataDictionary UserDictionary() {
    return MakeDictionary({{"User", qvftShortString, 31},
                           {"LastName", qvftShortString, 31},
                           {"FirstName", qvftShortString, 31},
                           {"PwdHash", qvftWord32, 4},
                           {"Rights", qvftByteArray, 1}});
}

TqvDataDictionary InfoDictionary() {
    return MakeDictionary({{"ServerName", qvftShortString, 31}, {"MaxPages", qvftWord32, 4},
                           {"IsSecure", qvftBoolean, 1},        {"AutoUp", qvftBoolean, 1},
                           {"AutoMini", qvftBoolean, 1},        {"DebugLog", qvftBoolean, 1},
                           {"Protocol", qvftShortString, 7},    {"Broadcasts", qvftBoolean, 1},
                           {"TCPPort", qvftInt32, 4},           {"UDPPortSr", qvftInt32, 4},
                           {"UDPPortCl", qvftInt32, 4},         {"IPXSocketSr", qvftInt32, 4},
                           {"IPXSocketCl", qvftInt32, 4},       {"SPXSocket", qvftInt32, 4},
                           {"UseEncrypt", qvftBoolean, 1},      {"ReadOnly", qvftBoolean, 1}});
}

// Reads every record (or only the first) of a table and hands each to
// `take`. False when the table is there but could not be read to its end:
// its contents are then unknown, and saving over it would lose them.
template <class Take>
bool LoadTable(TqvServerEngine& engine, const std::string& name, bool firstOnly, Take take) {
    InternalSession s(engine);
    if (!s.Ready()) return false;
    TqvDataDictionary d;
    if (!s.Open(name, d)) return s.Missing();
    std::vector<std::uint8_t> rec(std::max<std::uint32_t>(d.GetRecordLength(), 1));
    std::vector<std::vector<std::uint8_t>> records;
    DBIResult r;
    while ((r = engine.RecordGetNext(s.Cursor(), false, rec.data(), rec.size())) == 0) {
        records.push_back(rec);
        if (firstOnly) break;
    }
    if (r != 0 && r != dbi::kAtEnd) return false;
    take(d, records);
    return true;
}

// Builds `name` anew from `fill`'s records. The new copy is complete and
// committed before the old one is moved aside, and the old one is put back
// when the swap cannot finish, so a failure at any step keeps a full table.
bool SaveTable(TqvServerEngine& engine, const std::string& name, const TqvDataDictionary& dictionary,
               const std::vector<std::vector<std::uint8_t>>& records) {
    InternalSession s(engine);
    if (!s.Ready()) return false;
    const std::string fresh = name + kNewSuffix, old = name + kOldSuffix;
    const std::uint32_t db = s.Database();
    DBIResult r = engine.DeleteTable(db, fresh);
    if (r != 0 && r != dbi::kTableMissing) return false;
    if (engine.BuildTable(db, true, dictionary, 0, fresh) != 0) return false;
    bool ok = false;
    {
        TqvDataDictionary d;
        if (s.OpenOne(fresh, d)) {
            std::uint32_t txn = 0;
            if (engine.TransactionStart(db, false, txn) == 0) {
                bool all = true;
                for (const auto& rec : records) {
                    std::vector<std::uint8_t> copy(rec);
                    if (engine.RecordInsert(s.Cursor(), false, copy.data(), copy.size()) != 0) {
                        all = false;
                        break;
                    }
                }
                ok = all ? engine.TransactionCommit(txn) == 0 : (engine.TransactionRollback(txn), false);
            }
        }
        s.CloseCursor();
    }
    if (!ok) {
        engine.DeleteTable(db, fresh);
        return false;
    }
    r = engine.DeleteTable(db, old);
    if (r != 0 && r != dbi::kTableMissing) return false;
    r = engine.RenameTable(db, name, old);
    const bool hadOld = r == 0;
    if (r != 0 && r != dbi::kTableMissing) {
        engine.DeleteTable(db, fresh);
        return false;
    }
    if (engine.RenameTable(db, fresh, name) != 0) {
        if (hadOld) engine.RenameTable(db, old, name);
        engine.DeleteTable(db, fresh);
        return false;
    }
    if (hadOld) engine.DeleteTable(db, old);
    return true;
}

std::vector<std::uint8_t> NewRecord(const TqvDataDictionary& d) {
    std::vector<std::uint8_t> rec(d.GetRecordLength());
    d.InitRecord(rec.data());
    return rec;
}

bool ReadOnly(TqvServerEngine& engine) { return engine.Configuration().GeneralInfo()->ReadOnly; }

}  // namespace

void BuildDefaultUserName() {
    // Kept as shifted bytes so the name is not a plain string in the program.
    static constexpr std::uint8_t kShifted[5] = {'Q' + 3, 'V' + 3, 'A' + 3, 'd' + 3, 'm' + 3};
    std::string name;
    for (std::uint8_t c : kShifted) name += static_cast<char>(c - 3);
    gDefaultUserName = name;
}

const std::string& DefaultUserName() {
    if (gDefaultUserName.empty()) BuildDefaultUserName();
    return gDefaultUserName;
}

void SetSystemTableDirectory(std::string_view directory) { gDirectory = std::string(directory); }

std::string SystemTableDirectory() { return gDirectory.empty() ? plat::ProgramDir() : gDirectory; }

std::string ProtocolTableName(TqvProtocol p) {
    switch (p) {
    case TqvProtocol::NetBIOS: return "NETBIOS";
    case TqvProtocol::TcpIp: return "TCP/IP";
    case TqvProtocol::IpxSpx: return "IPX/SPX";
    case TqvProtocol::SingleUser: break;
    }
    return "SINGLE";
}

bool ProtocolFromTableName(std::string_view name, TqvProtocol& p) {
    if (name.empty() || name == "SINGLE") p = TqvProtocol::SingleUser;
    else if (name == "NETBIOS") p = TqvProtocol::NetBIOS;
    else if (name == "TCP/IP") p = TqvProtocol::TcpIp;
    else if (name == "IPX/SPX") p = TqvProtocol::IpxSpx;
    else return false;
    return true;
}

bool ReadServerInfoTable(TqvServerEngine& engine) {
    return LoadTable(engine, kQvsInfoTable, true, [&](const TqvDataDictionary& d, const auto& records) {
        if (records.empty()) return;
        const std::uint8_t* r = records[0].data();
        TqvServerConfiguration& cfg = engine.Configuration();
        cfg.Lock();
        TqvServerGeneralInfo& g = *cfg.GeneralInfo();
        g.ServerName = GetStr(d, 0, r, 31);
        g.MaxPages = GetU32Field(d, 1, r);
        // Only the keyword file turns the login check on; a stored flag never does.
        g.IsSecure = false;
        g.AutoUp = GetBool(d, 3, r);
        g.AutoMini = GetBool(d, 4, r);
        g.DebugLog = GetBool(d, 5, r);
        TqvProtocol p;
        if (ProtocolFromTableName(GetStr(d, 6, r, 7), p)) g.Protocol = p;
        g.Broadcasts = GetBool(d, 7, r);
        g.TCPPort = static_cast<std::int32_t>(GetU32Field(d, 8, r));
        g.UDPPortSr = static_cast<std::int32_t>(GetU32Field(d, 9, r));
        g.UDPPortCl = static_cast<std::int32_t>(GetU32Field(d, 10, r));
        g.IPXSocketSr = static_cast<std::int32_t>(GetU32Field(d, 11, r));
        g.IPXSocketCl = static_cast<std::int32_t>(GetU32Field(d, 12, r));
        g.SPXSocket = static_cast<std::int32_t>(GetU32Field(d, 13, r));
        if (d.FieldCount() > 14) {
            g.UseEncrypt = GetBool(d, 14, r);
            g.ReadOnly = GetBool(d, 15, r);
        }
        cfg.Unlock();
    });
}

bool ReadAliasTable(TqvServerEngine& engine) {
    return LoadTable(engine, kQvsAliasTable, false, [&](const TqvDataDictionary& d, const auto& records) {
        TqvServerConfiguration& cfg = engine.Configuration();
        cfg.Lock();
        cfg.Aliases().Clear();
        for (const auto& rec : records) cfg.AddAlias(GetStr(d, 0, rec.data(), 31), GetStr(d, 1, rec.data(), 219));
        cfg.Unlock();
    });
}

bool ReadUserTable(TqvServerEngine& engine) {
    return LoadTable(engine, kQvsUserTable, false, [&](const TqvDataDictionary& d, const auto& records) {
        TqvServerConfiguration& cfg = engine.Configuration();
        cfg.Lock();
        cfg.Users().Clear();
        for (const auto& rec : records) {
            const std::uint8_t* r = rec.data();
            std::uint8_t rights = 0;
            if (d.FieldCount() > 4) {
                auto v = FieldBytes(d, 4, r);
                if (!v.empty()) rights = v[0];
            }
            cfg.AddUser(GetStr(d, 0, r, 31), GetStr(d, 1, r, 31), GetStr(d, 2, r, 31), GetU32Field(d, 3, r), rights);
        }
        cfg.Unlock();
    });
}

bool ReadIndexTable(TqvServerEngine& engine) {
    return LoadTable(engine, kQvsIndexTable, false, [&](const TqvDataDictionary& d, const auto& records) {
        TqvServerConfiguration& cfg = engine.Configuration();
        cfg.Lock();
        cfg.KeyProcs().Clear();
        for (const auto& rec : records) {
            const std::uint8_t* r = rec.data();
            cfg.AddKeyProc(GetStr(d, 0, r, 219), GetStr(d, 1, r, 31), GetU32Field(d, 2, r), GetStr(d, 3, r, 255),
                           GetStr(d, 4, r, 31), GetStr(d, 5, r, 31));
        }
        cfg.Unlock();
    });
}

void AddDefaultAdminUser(TqvServerEngine& engine) {
    engine.Configuration().AddUser(DefaultUserName(), kQvDefaultAdminLastName, "",
                                   HashShortString(kQvDefaultAdminPassword), kQvDefaultAdminRights);
    WriteUserTable(engine);
}

bool WriteAliasTable(TqvServerEngine& engine) {
    if (ReadOnly(engine)) return false;
    TqvDataDictionary d = AliasDictionary();
    std::vector<std::vector<std::uint8_t>> records;
    TqvServerConfiguration& cfg = engine.Configuration();
    cfg.Lock();
    for (int i = 0; i < cfg.Aliases().Count(); ++i) {
        TqvAliasItem* a = cfg.Aliases().Item(i);
        auto rec = NewRecord(d);
        SetStr(d, 0, rec.data(), a->Alias());
        SetStr(d, 1, rec.data(), a->Directory());
        records.push_back(std::move(rec));
    }
    cfg.Unlock();
    return SaveTable(engine, kQvsAliasTable, d, records);
}

bool WriteUserTable(TqvServerEngine& engine) {
    if (ReadOnly(engine)) return false;
    TqvDataDictionary d = UserDictionary();
    std::vector<std::vector<std::uint8_t>> records;
    TqvServerConfiguration& cfg = engine.Configuration();
    cfg.Lock();
    for (int i = 0; i < cfg.Users().Count(); ++i) {
        TqvUserItem* u = cfg.Users().Item(i);
        auto rec = NewRecord(d);
        SetStr(d, 0, rec.data(), u->UserName());
        SetStr(d, 1, rec.data(), u->lastName);
        SetStr(d, 2, rec.data(), u->firstName);
        SetU32Field(d, 3, rec.data(), u->passwordHash);
        std::vector<std::uint8_t> rights(d.FieldLength(4), 0);
        rights[0] = u->rights;
        d.SetRecordField(4, rec.data(), rights.data());
        records.push_back(std::move(rec));
    }
    cfg.Unlock();
    return SaveTable(engine, kQvsUserTable, d, records);
}

bool WriteServerInfoTable(TqvServerEngine& engine) {
    if (ReadOnly(engine)) return false;
    TqvDataDictionary d = InfoDictionary();
    auto rec = NewRecord(d);
    TqvServerConfiguration& cfg = engine.Configuration();
    cfg.Lock();
    const TqvServerGeneralInfo g = *cfg.GeneralInfo();
    cfg.Unlock();
    std::uint8_t* r = rec.data();
    SetStr(d, 0, r, g.ServerName);
    SetU32Field(d, 1, r, g.MaxPages);
    SetBool(d, 2, r, g.IsSecure);
    SetBool(d, 3, r, g.AutoUp);
    SetBool(d, 4, r, g.AutoMini);
    SetBool(d, 5, r, g.DebugLog);
    SetStr(d, 6, r, ProtocolTableName(g.Protocol));
    SetBool(d, 7, r, g.Broadcasts);
    SetU32Field(d, 8, r, static_cast<std::uint32_t>(g.TCPPort));
    SetU32Field(d, 9, r, static_cast<std::uint32_t>(g.UDPPortSr));
    SetU32Field(d, 10, r, static_cast<std::uint32_t>(g.UDPPortCl));
    SetU32Field(d, 11, r, static_cast<std::uint32_t>(g.IPXSocketSr));
    SetU32Field(d, 12, r, static_cast<std::uint32_t>(g.IPXSocketCl));
    SetU32Field(d, 13, r, static_cast<std::uint32_t>(g.SPXSocket));
    SetBool(d, 14, r, g.UseEncrypt);
    SetBool(d, 15, r, g.ReadOnly);
    return SaveTable(engine, kQvsInfoTable, d, {rec});
}

TqvSystemTablesLoaded LoadServerConfiguration(TqvServerEngine& engine, std::string_view keywordFile) {
    TqvSystemTablesLoaded loaded;
    loaded.info = ReadServerInfoTable(engine);
    loaded.aliases = ReadAliasTable(engine);
    const bool usersRead = ReadUserTable(engine);
    if (engine.Configuration().Users().Count() == 0) {
        if (usersRead) {
            AddDefaultAdminUser(engine);
        } else {
            // The stored users could not be read: let the administrator in
            // for this run, but leave their table as it is.
            engine.Configuration().AddUser(DefaultUserName(), kQvDefaultAdminLastName, "",
                                           HashShortString(kQvDefaultAdminPassword), kQvDefaultAdminRights);
        }
    }
    ReadIndexTable(engine);
    ReadAliasScript(engine.Configuration(), SystemTableDirectory());
    if (!keywordFile.empty()) ReadKeywordFile(engine.Configuration(), keywordFile);
    // The block cache's page limit is the configured one; a stored value
    // outside what the keyword accepts leaves the default.
    const std::uint32_t pages = engine.Configuration().GeneralInfo()->MaxPages;
    if (pages >= 100 && pages <= 32000) engine.BufferManager().SetPageLimit(pages);
    return loaded;
}

}  // namespace qv
