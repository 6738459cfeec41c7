#include "engine/server/system_tables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <strings.h>
#include <cstring>

#include "engine/base/qv_base.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/field_types.h"
#include "engine/storage/file_access.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

using namespace qv;
namespace fs = std::filesystem;

namespace {

class SystemTablesTest : public ::testing::Test {
protected:
    void SetUp() override { SetSystemTableDirectory(dir.path().string()); }
    void TearDown() override { SetSystemTableDirectory(""); }

    bool TableExists(const std::string& name) {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (strcasecmp(e.path().stem().string().c_str(), name.c_str()) == 0) return true;
        return false;
    }
    std::set<std::string> AliasesOf(TqvServerEngine& e) {
        std::set<std::string> out;
        for (int i = 0; i < e.Configuration().Aliases().Count(); ++i) {
            auto* a = e.Configuration().Aliases().Item(i);
            out.insert(a->Alias() + "=" + a->Directory());
        }
        return out;
    }
    void WriteFile(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    // Overwrites the data file of `table` with bytes no table has.
    std::string Spoil(const std::string& table) {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (strcasecmp(e.path().stem().string().c_str(), table.c_str()) == 0) {
                const std::string junk(600, '\x5A');
                std::ofstream(e.path(), std::ios::binary | std::ios::trunc) << junk;
                return e.path().string();
            }
        ADD_FAILURE() << "no table " << table;
        return {};
    }

    testsupport::TempDir dir;
};

TEST_F(SystemTablesTest, FirstStartAddsTheDefaultAdministratorAndWritesOnlyTheUserTable) {
    {
        TqvServerEngine engine;
        LoadServerConfiguration(engine, "");
        TqvUserList& users = engine.Configuration().Users();
        ASSERT_EQ(users.Count(), 1);
        EXPECT_EQ(users.Item(0)->UserName().size(), 5u);
        EXPECT_EQ(users.Item(0)->UserName(), DefaultUserName());
        EXPECT_TRUE(TableExists(kQvsUserTable));
        EXPECT_FALSE(TableExists(kQvsAliasTable));
        EXPECT_FALSE(TableExists(kQvsInfoTable));
        EXPECT_FALSE(TableExists(std::string(kQvsUserTable) + "_NEW"));
    }
    TqvServerEngine engine;
    ReadUserTable(engine);
    TqvUserList& users = engine.Configuration().Users();
    ASSERT_EQ(users.Count(), 1);
    TqvUserItem* u = users.Item(0);
    EXPECT_EQ(u->UserName(), DefaultUserName());
    EXPECT_EQ(u->lastName, "Administrator");
    EXPECT_EQ(u->firstName, "");
    EXPECT_EQ(u->rights, 31);
    EXPECT_EQ(u->passwordHash, HashShortString("Plovermint"));
}

TEST_F(SystemTablesTest, AliasesAndSettingsRoundTripExceptTheSecureFlag) {
    {
        TqvServerEngine engine;
        TqvServerConfiguration& cfg = engine.Configuration();
        cfg.AddAlias("Help", "/data/help");
        cfg.AddAlias("Projects", "/" + std::string(218, 'p'));
        TqvServerGeneralInfo& g = *cfg.GeneralInfo();
        g.ServerName = "Hub";
        g.MaxPages = 777;
        g.IsSecure = true;
        g.AutoUp = g.AutoMini = g.DebugLog = true;
        g.Broadcasts = false;
        g.Protocol = TqvProtocol::TcpIp;
        g.TCPPort = 1;
        g.UDPPortSr = 2;
        g.UDPPortCl = 3;
        g.IPXSocketSr = 4;
        g.IPXSocketCl = -5;
        g.SPXSocket = 6;
        g.UseEncrypt = true;
        ASSERT_TRUE(WriteAliasTable(engine));
        ASSERT_TRUE(WriteServerInfoTable(engine));
    }
    TqvServerEngine engine;
    engine.Configuration().AddAlias("Stale", "/x");  // replaced, not merged
    ReadAliasTable(engine);
    ReadServerInfoTable(engine);
    EXPECT_EQ(AliasesOf(engine), (std::set<std::string>{"Help=/data/help", "Projects=/" + std::string(218, 'p')}));
    const TqvServerGeneralInfo& g = *engine.Configuration().GeneralInfo();
    EXPECT_EQ(g.ServerName, "Hub");
    EXPECT_EQ(g.MaxPages, 777u);
    EXPECT_FALSE(g.IsSecure);
    EXPECT_TRUE(g.AutoUp && g.AutoMini && g.DebugLog);
    EXPECT_FALSE(g.Broadcasts);
    EXPECT_EQ(g.Protocol, TqvProtocol::TcpIp);
    EXPECT_EQ(g.TCPPort, 1);
    EXPECT_EQ(g.UDPPortSr, 2);
    EXPECT_EQ(g.UDPPortCl, 3);
    EXPECT_EQ(g.IPXSocketSr, 4);
    EXPECT_EQ(g.IPXSocketCl, -5);
    EXPECT_EQ(g.SPXSocket, 6);
    EXPECT_TRUE(g.UseEncrypt);
    EXPECT_FALSE(g.ReadOnly);
}

TEST_F(SystemTablesTest, ProtocolNamesOfTheTable) {
    struct Case {
        const char* name;
        bool known;
        TqvProtocol p;
    } cases[] = {{"", true, TqvProtocol::SingleUser},      {"SINGLE", true, TqvProtocol::SingleUser},
                 {"NETBIOS", true, TqvProtocol::NetBIOS},   {"TCP/IP", true, TqvProtocol::TcpIp},
                 {"IPX/SPX", true, TqvProtocol::IpxSpx},    {"SINGLEUSER", false, TqvProtocol::SingleUser},
                 {"tcp/ip", false, TqvProtocol::SingleUser}};
    for (const Case& c : cases) {
        TqvProtocol p = TqvProtocol::SingleUser;
        EXPECT_EQ(ProtocolFromTableName(c.name, p), c.known) << c.name;
        if (c.known) {
            EXPECT_EQ(p, c.p) << c.name;
            if (*c.name) { EXPECT_EQ(ProtocolTableName(p), c.name); }
        }
    }
}

// A settings table of an older layout: 14 fields, without the last two.
TEST_F(SystemTablesTest, FourteenFieldSettingsTableKeepsTheNewerDefaults) {
    TqvServerEngine engine;
    std::uint32_t hash = 0, db = 0, cur = 0;
    ASSERT_EQ(engine.ClientAdd(5, "t", "", hash), 0);
    ASSERT_EQ(engine.DatabaseOpenNoAlias(5, dir.path().string(), true, true, db), 0);
    TqvDataDictionary d;
    const char* names[] = {"ServerName", "MaxPages", "IsSecure", "AutoUp", "AutoMini", "DebugLog", "Protocol",
                           "Broadcasts", "TCPPort", "UDPPortSr", "UDPPortCl", "IPXSocketSr", "IPXSocketCl",
                           "SPXSocket"};
    for (int i = 0; i < 14; ++i) {
        TqvFieldType t = i == 0 || i == 6 ? qvftShortString : i == 1 ? qvftWord32 : i >= 8 ? qvftInt32 : qvftBoolean;
        d.AddField(names[i], "", t, i == 0 ? 31 : i == 6 ? 7 : 4, 0, true);
    }
    ASSERT_EQ(engine.BuildTable(db, false, d, 0, kQvsInfoTable), 0);
    ASSERT_EQ(engine.OpenTable(db, kQvsInfoTable, "", 0, true, true, 0, nullptr, cur), 0);
    std::vector<std::uint8_t> rec(d.GetRecordLength());
    d.InitRecord(rec.data());
    for (std::uint32_t i = 0; i < 14; ++i) {
        std::vector<std::uint8_t> v(d.FieldLength(i), 0);
        if (i == 6) { v[0] = 7; std::memcpy(&v[1], "NETBIOS", 7); }
        if (i == 1) PutU32(v.data(), 99);
        d.SetRecordField(i, rec.data(), v.data());
    }
    ASSERT_EQ(engine.RecordInsert(cur, false, rec.data(), rec.size()), 0);
    ASSERT_EQ(engine.CursorClose(cur), 0);
    ASSERT_EQ(engine.DatabaseClose(db), 0);

    TqvServerGeneralInfo& g = *engine.Configuration().GeneralInfo();
    g.UseEncrypt = true;
    g.ReadOnly = false;
    ReadServerInfoTable(engine);
    EXPECT_EQ(g.MaxPages, 99u);
    EXPECT_EQ(g.Protocol, TqvProtocol::NetBIOS);
    EXPECT_TRUE(g.UseEncrypt);
    EXPECT_FALSE(g.ReadOnly);
}

TEST_F(SystemTablesTest, ReadOnlyConfigurationWritesNothing) {
    TqvServerEngine engine;
    engine.Configuration().GeneralInfo()->ReadOnly = true;
    engine.Configuration().AddAlias("A", "/a");
    EXPECT_FALSE(WriteAliasTable(engine));
    EXPECT_FALSE(WriteServerInfoTable(engine));
    LoadServerConfiguration(engine, "");  // the default administrator is added but not stored
    EXPECT_EQ(engine.Configuration().Users().Count(), 1);
    EXPECT_FALSE(fs::exists(dir.path()) && !fs::is_empty(dir.path()));
}

TEST_F(SystemTablesTest, KeywordFileIsReadAfterTheDefaultAdministratorIsStored) {
    WriteFile("keys.ini", "NOAUTOSAVECFG=1\n");
    TqvServerEngine engine;
    LoadServerConfiguration(engine, (dir / "keys.ini").string());
    EXPECT_TRUE(TableExists(kQvsUserTable));
    EXPECT_TRUE(engine.Configuration().GeneralInfo()->ReadOnly);
    EXPECT_FALSE(WriteAliasTable(engine));
    EXPECT_FALSE(TableExists(kQvsAliasTable));
}

TEST_F(SystemTablesTest, ConfiguredPageLimitReachesTheBlockCache) {
    struct Case {
        const char* keywords;
        std::size_t limit;
    };
    for (const Case& c : {Case{"MAXRAMPAGES=1000\n", 1000}, Case{"MAXRAMPAGES=100\n", 100},
                          Case{"MAXRAMPAGES=99\n", 500}, Case{"SERVERNAME=x\n", 500}}) {
        SCOPED_TRACE(c.keywords);
        WriteFile("keys.ini", c.keywords);
        TqvServerEngine engine;
        LoadServerConfiguration(engine, (dir / "keys.ini").string());
        EXPECT_EQ(engine.BufferManager().PageLimit(), c.limit);
    }
}

TEST_F(SystemTablesTest, AliasScriptIsReadFromTheTableFolder) {
    WriteFile("QVAlias.sc$", "Scripted;" + dir.path().string() + "\n");
    TqvServerEngine engine;
    LoadServerConfiguration(engine, "");
    EXPECT_TRUE(engine.Configuration().Aliases().Exists("Scripted"));
}

TEST_F(SystemTablesTest, DefaultFolderIsTheProgramDirectory) {
    testsupport::TempDir home;
    plat::SetDataHome(home.path().string());
    SetSystemTableDirectory("");
    {
        TqvServerEngine engine;
        engine.Configuration().AddAlias("Home", "/h");
        EXPECT_TRUE(WriteAliasTable(engine));
    }
    TqvServerEngine engine;
    ReadAliasTable(engine);
    EXPECT_TRUE(engine.Configuration().Aliases().Exists("Home"));
    plat::SetDataHome("");
}

TEST_F(SystemTablesTest, TableHeldOpenByAClientIsNotReplaced) {
    TqvServerEngine engine;
    engine.Configuration().AddAlias("Old", "/o");
    ASSERT_TRUE(WriteAliasTable(engine));
    std::uint32_t hash = 0, db = 0, cur = 0;
    ASSERT_EQ(engine.ClientAdd(5, "t", "", hash), 0);
    ASSERT_EQ(engine.DatabaseOpenNoAlias(5, dir.path().string(), true, true, db), 0);
    ASSERT_EQ(engine.OpenTable(db, kQvsAliasTable, "", 0, false, true, 0, nullptr, cur), 0);
    engine.Configuration().Aliases().Clear();
    engine.Configuration().AddAlias("New", "/n");
    EXPECT_FALSE(WriteAliasTable(engine));
    ASSERT_EQ(engine.CursorClose(cur), 0);
    EXPECT_FALSE(TableExists(std::string(kQvsAliasTable) + "_NEW"));
    ReadAliasTable(engine);
    EXPECT_EQ(AliasesOf(engine), (std::set<std::string>{"Old=/o"}));
}

// A table that is there but cannot be read is reported, so that nobody saves
// defaults over it; a missing table is simply empty.
TEST_F(SystemTablesTest, UnreadableTablesAreReportedAndNeverOverwrittenAtStart) {
    {
        TqvServerEngine engine;
        engine.Configuration().AddAlias("A", "/a");
        engine.Configuration().AddUser("Ann", "Smith", "", 1, 2);
        ASSERT_TRUE(WriteAliasTable(engine));
        ASSERT_TRUE(WriteUserTable(engine));
        ASSERT_TRUE(WriteServerInfoTable(engine));
    }
    TqvServerEngine fresh;
    EXPECT_TRUE(ReadIndexTable(fresh));  // missing
    const std::string aliasFile = Spoil(kQvsAliasTable);
    const std::string userFile = Spoil(kQvsUserTable);
    Spoil(kQvsInfoTable);
    TqvServerEngine engine;
    TqvSystemTablesLoaded loaded = LoadServerConfiguration(engine, "");
    EXPECT_FALSE(loaded.aliases);
    EXPECT_FALSE(loaded.info);
    EXPECT_EQ(engine.Configuration().Aliases().Count(), 0);
    // The administrator may log in for this run, but the user table keeps
    // what it holds.
    ASSERT_EQ(engine.Configuration().Users().Count(), 1);
    EXPECT_EQ(engine.Configuration().Users().Item(0)->UserName(), DefaultUserName());
    EXPECT_TRUE(testsupport::ReadFileBytes(userFile) == std::string(600, '\x5A')) << "user table replaced";
}

// A save that fails at any file operation keeps either the old or the new
// aliases, never an empty or missing table.
TEST_F(SystemTablesTest, FailedSaveAtAnyStepLosesNoAlias) {
    const std::set<std::string> before{"A=/a", "B=/b"}, after{"C=/c"};
    TqvFaultFileAccess fault(QvFileAccess());
    bool sawOld = false;
    for (long n = 1; n < 200; ++n) {
        {
            TqvServerEngine engine;
            engine.Configuration().AddAlias("A", "/a");
            engine.Configuration().AddAlias("B", "/b");
            ASSERT_TRUE(WriteAliasTable(engine));
        }
        bool finished;
        {
            TqvServerEngine engine;
            engine.Configuration().AddAlias("C", "/c");
            fault.Reset();
            fault.FailAt(n);
            QvInstallFileAccess(&fault);
            WriteAliasTable(engine);
            QvInstallFileAccess(nullptr);
            finished = fault.Count() < n;
        }
        TqvServerEngine engine;
        ReadAliasTable(engine);
        std::set<std::string> got = AliasesOf(engine);
        EXPECT_TRUE(got == before || got == after) << "failure at operation " << n;
        sawOld = sawOld || got == before;
        if (finished) {
            EXPECT_EQ(got, after);
            break;
        }
    }
    EXPECT_TRUE(sawOld);
}

}  // namespace
