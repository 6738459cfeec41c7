#include "engine/server/server_config.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/test_support.h"

using namespace qv;

namespace {

struct KeywordCase {
    const char* name;
    const char* text;
    std::function<bool(TqvServerGeneralInfo&)> check;
};

TEST(ServerKeywords, LinesOfTheKeywordFile) {
    const KeywordCase cases[] = {
        {"page limit at the top", "MAXRAMPAGES=32000", [](auto& g) { return g.MaxPages == 32000; }},
        {"page limit at the bottom", "MAXRAMPAGES=100", [](auto& g) { return g.MaxPages == 100; }},
        {"page limit above range", "MAXRAMPAGES=32001", [](auto& g) { return g.MaxPages == 500; }},
        {"page limit below range", "MAXRAMPAGES=99", [](auto& g) { return g.MaxPages == 500; }},
        {"page limit not numeric", "MAXRAMPAGES=5x", [](auto& g) { return g.MaxPages == 500; }},
        {"page limit signed", "MAXRAMPAGES=+200", [](auto& g) { return g.MaxPages == 500; }},
        {"login on, value upper-cased", "USELOGIN=yes", [](auto& g) { return g.IsSecure; }},
        {"login: not a boolean word", "USELOGIN=on", [](auto& g) { return !g.IsSecure; }},
        {"broadcasts off by 0", "USEBROADCASTS=0", [](auto& g) { return !g.Broadcasts; }},
        {"broadcasts: FALSE", "usebroadcasts=False", [](auto& g) { return !g.Broadcasts; }},
        {"auto up TRUE", "AUTOUPSERVER=TRUE", [](auto& g) { return g.AutoUp; }},
        {"auto minimise 1", "AutoMinimize=1", [](auto& g) { return g.AutoMini; }},
        {"read-only config", "NOAUTOSAVECFG=1", [](auto& g) { return g.ReadOnly; }},
        {"encryption keyword has no effect", "ALLOWENCRYPT=1", [](auto& g) { return !g.UseEncrypt; }},
        {"protocol compared upper-cased", "protocol=tcp/ip", [](auto& g) { return g.Protocol == TqvProtocol::TcpIp; }},
        {"protocol NETBIOS", "PROTOCOL=NetBios", [](auto& g) { return g.Protocol == TqvProtocol::NetBIOS; }},
        {"protocol IPX/SPX", "PROTOCOL=ipx/spx", [](auto& g) { return g.Protocol == TqvProtocol::IpxSpx; }},
        {"unknown protocol", "PROTOCOL=SINGLE", [](auto& g) { return g.Protocol == TqvProtocol::SingleUser; }},
        {"server name cut to 31",
         "SERVERNAME=abcdefghijklmnopqrstuvwxyz0123456789",
         [](auto& g) { return g.ServerName == "abcdefghijklmnopqrstuvwxyz01234"; }},
        {"blanks are kept", "SERVERNAME= Main ", [](auto& g) { return g.ServerName == " Main "; }},
        {"first '=' splits", "SERVERNAME=a=b", [](auto& g) { return g.ServerName == "a=b"; }},
        {"'=' first character", "=SERVERNAME", [](auto& g) { return g.ServerName.empty(); }},
        {"'=' last character", "SERVERNAME=", [](auto& g) { return g.ServerName.empty(); }},
        {"two characters only", "S=", [](auto& g) { return g.ServerName.empty(); }},
        {"no separator", "SERVERNAME Main", [](auto& g) { return g.ServerName.empty(); }},
        {"keyword with blank is unknown", "SERVERNAME =Main", [](auto& g) { return g.ServerName.empty(); }},
    };
    for (const auto& c : cases) {
        TqvServerConfiguration cfg;
        ApplyKeywordLines(cfg, c.text);
        EXPECT_TRUE(c.check(*cfg.GeneralInfo())) << c.name;
        EXPECT_EQ(cfg.Aliases().Count(), 0) << c.name;
    }
}

TEST(ServerKeywords, DefaultsOfTheGeneralRecord) {
    TqvServerConfiguration cfg;
    const TqvServerGeneralInfo& g = *cfg.GeneralInfo();
    EXPECT_EQ(g.MaxPages, 500u);
    EXPECT_EQ(g.Protocol, TqvProtocol::SingleUser);
    // 24677, 24933 and 25189 in network byte order.
    EXPECT_EQ(g.TCPPort, 0x6560);
    EXPECT_EQ(g.UDPPortSr, 0x6560);
    EXPECT_EQ(g.UDPPortCl, 0x6561);
    EXPECT_EQ(g.IPXSocketSr, 0x6560);
    EXPECT_EQ(g.IPXSocketCl, 0x6561);
    EXPECT_EQ(g.SPXSocket, 0x6562);
    EXPECT_TRUE(g.Broadcasts);
    EXPECT_FALSE(g.IsSecure || g.AutoUp || g.AutoMini || g.DebugLog || g.UseEncrypt || g.ReadOnly);
}

TEST(ServerKeywords, UnknownKeywordMakesAnAliasOnlyForAnExistingDirectory) {
    testsupport::TempDir dir;
    TqvServerConfiguration cfg;
    std::string d = dir.path().string();
    ApplyKeywordLines(cfg, "DATA=" + d + "\r\nMISSING=" + d + "/nope\r\nWILD=" + d + "/*\r\nData=" + d + "\r\n");
    ASSERT_EQ(cfg.Aliases().Count(), 1);
    EXPECT_EQ(cfg.Aliases().Item(0)->Alias(), "DATA");
    EXPECT_EQ(cfg.Aliases().Directory("data"), NormalizeConfigPath(d));
}

TEST(ServerKeywords, AliasScriptLines) {
    testsupport::TempDir dir;
    std::string d = dir.path().string();
    std::string longAlias(40, 'A');
    testsupport::WriteFileBytes(dir / kAliasScriptName,
                                "SERVERNAME;Main\r\n"
                                "Projects;" + d + "\r\n" +
                                longAlias + ";" + d + "\r\n"
                                ";" + d + "\r\n"
                                "Gone;" + d + "/missing\r\n"
                                "x;\r\n"
                                "MAXRAMPAGES;300\r\n");
    TqvServerConfiguration cfg;
    ReadAliasScript(cfg, d);
    EXPECT_EQ(cfg.GeneralInfo()->ServerName, "Main");
    EXPECT_EQ(cfg.GeneralInfo()->MaxPages, 300u);
    EXPECT_EQ(cfg.Aliases().Count(), 2);
    EXPECT_TRUE(cfg.Aliases().Exists("PROJECTS"));
    EXPECT_TRUE(cfg.Aliases().Exists(std::string(31, 'A')));
    EXPECT_FALSE(cfg.Aliases().Exists("Gone"));
}

TEST(ServerKeywords, MissingFilesAreNotErrors) {
    testsupport::TempDir dir;
    TqvServerConfiguration cfg;
    ReadAliasScript(cfg, dir.path().string());
    ReadKeywordFile(cfg, (dir / "none.cfg").string());
    EXPECT_EQ(cfg.Aliases().Count(), 0);
    EXPECT_EQ(cfg.GeneralInfo()->MaxPages, 500u);
}

TEST(ServerKeywords, KeywordFileIsReadFromDisk) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "srv.cfg", "USELOGIN=TRUE\nMAXRAMPAGES=1000\n");
    TqvServerConfiguration cfg;
    ReadKeywordFile(cfg, (dir / "srv.cfg").string());
    EXPECT_TRUE(cfg.GeneralInfo()->IsSecure);
    EXPECT_EQ(cfg.GeneralInfo()->MaxPages, 1000u);
}

TEST(ServerConfigLists, KeysIgnoreCaseAndDuplicatesAreRefused) {
    TqvServerConfiguration cfg;
    EXPECT_TRUE(cfg.AddAlias("Data", "/tmp"));
    EXPECT_FALSE(cfg.AddAlias("DATA", "/var"));
    EXPECT_EQ(cfg.Aliases().Count(), 1);
    EXPECT_EQ(cfg.Aliases().Directory("data"), NormalizeConfigPath("/tmp"));
    EXPECT_EQ(cfg.Aliases().Directory("other"), "");

    EXPECT_TRUE(cfg.AddUser("Ann", "Smith", "Ann", 1234, 31));
    EXPECT_FALSE(cfg.AddUser("ANN", "x", "y", 1, 1));
    EXPECT_EQ(cfg.Users().PasswordHash("ann"), 1234u);
    EXPECT_EQ(cfg.Users().PasswordHash(""), 0u);
    EXPECT_EQ(cfg.Users().PasswordHash("bob"), 0xFFFFFFFFu);
    EXPECT_EQ(cfg.Users().Position("bob"), -1);

    EXPECT_TRUE(cfg.AddKeyProc("/data", "Items", 2, "keys.so", "Build", "Cmp"));
    EXPECT_FALSE(cfg.AddKeyProc("/DATA", "items", 2, "other.so", "B", "C"));
    EXPECT_TRUE(cfg.AddKeyProc("/data", "Items", 3, "keys.so", "Build", "Cmp"));
    EXPECT_TRUE(cfg.KeyProcs().Exists("/data", "ITEMS", 3));
    EXPECT_EQ(MakeKeyProcKey("C:\\D\\T.QVD", 7), "C:\\D\\T.QVD|7");
    EXPECT_EQ(cfg.KeyProcs().Item(cfg.KeyProcs().Position("/data", "Items", 2))->Str(),
              MakeKeyProcKey(KeyProcTableFile("/data", "Items"), 2));
    cfg.KeyProcs().Delete("/data", "Items", 2);
    EXPECT_FALSE(cfg.KeyProcs().Exists("/data", "Items", 2));
}

TEST(ServerConfigKeyProcs, LoadingNeedsBothRoutinesAndTheSwitch) {
    TqvServerConfiguration cfg;
    cfg.AddKeyProc("/d", "T", 1, TEST_KEYPROC_LIB, "BuildNameKey", "BuildNameKey");
    TqvKeyProcItem* off = cfg.KeyProcs().Item(0);
    EXPECT_FALSE(off->Load()) << "loading stays off unless enabled";
    EXPECT_FALSE(off->Loaded());

    cfg.allowKeyProcLoading = true;
    cfg.AddKeyProc("/d", "T", 2, TEST_KEYPROC_LIB, "BuildNameKey", "CompareNameKeys");
    cfg.AddKeyProc("/d", "T", 3, TEST_KEYPROC_LIB, "BuildNameKey", "BuildNameKey");
    cfg.AddKeyProc("/d", "T", 4, "/nonexistent/lib.so", "BuildNameKey", "BuildNameKey");
    TqvKeyProcItem* lacksSecond = cfg.KeyProcs().Item(cfg.KeyProcs().Position("/d", "T", 2));
    EXPECT_FALSE(lacksSecond->Load());
    EXPECT_FALSE(lacksSecond->Loaded());
    EXPECT_EQ(lacksSecond->proc1, nullptr);
    TqvKeyProcItem* both = cfg.KeyProcs().Item(cfg.KeyProcs().Position("/d", "T", 3));
    ASSERT_TRUE(both->Load());
    EXPECT_NE(both->proc1, nullptr);
    EXPECT_NE(both->proc2, nullptr);
    both->Unload();
    EXPECT_FALSE(both->Loaded());
    EXPECT_EQ(both->proc1, nullptr);
    EXPECT_FALSE(cfg.KeyProcs().Item(cfg.KeyProcs().Position("/d", "T", 4))->Load());
}

}  // namespace
