#include "platform/core/registry.h"

#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace plat;
using Strings = std::vector<std::string>;

TEST(Registry, KeysAndValuesInMemory) {
    RegistryStore store;
    TRegistry reg(store);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere", false));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Ashcomb\\Dunmere");
    EXPECT_TRUE(reg.OpenKey("Client Configuration", true));  // relative to the open key
    EXPECT_TRUE(reg.WriteString("ServerName", "Main \"srv\"\\1"));
    EXPECT_TRUE(reg.WriteInteger("Port", -5));
    EXPECT_EQ(reg.ReadString("SERVERNAME"), "Main \"srv\"\\1");
    EXPECT_EQ(reg.ReadInteger("port"), -5);
    EXPECT_EQ(reg.ReadInteger("ServerName", 9), 9);  // wrong kind
    EXPECT_EQ(reg.ReadString("Missing", "dflt"), "dflt");
    EXPECT_EQ(reg.GetValueNames(), (Strings{"ServerName", "Port"}));
    EXPECT_TRUE(reg.DeleteValue("serverNAME"));
    EXPECT_FALSE(reg.ValueExists("ServerName"));
    EXPECT_FALSE(reg.DeleteValue("ServerName"));

    EXPECT_TRUE(reg.OpenKey("\\SOFTWARE\\ashcomb\\dunmere\\Aliases\\zeta", true));
    EXPECT_TRUE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere\\Aliases\\Alpha", true));
    EXPECT_TRUE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere\\Aliases", false));
    EXPECT_EQ(reg.GetKeyNames(), (Strings{"Alpha", "zeta"}));
    EXPECT_TRUE(reg.HasSubKeys());
    EXPECT_TRUE(reg.DeleteKey("\\Software\\Ashcomb\\Dunmere\\Aliases"));  // with its sub-keys
    EXPECT_FALSE(reg.KeyExists("\\Software\\Ashcomb\\Dunmere\\Aliases\\Alpha"));
    EXPECT_TRUE(reg.KeyExists("\\software\\ashcomb\\DUNMERE"));

    // The two roots are separate trees.
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.KeyExists("\\Software\\Ashcomb"));
}

TEST(Registry, RoundTripThroughTheFile) {
    testsupport::TempDir tmp;
    const std::string file = (tmp / "data/registry.txt").string();  // folder made on first save
    {
        RegistryStore store(file);
        TRegistry reg(store);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere\\Aliases\\Tavrin", true));
        EXPECT_TRUE(reg.WriteString("PhysicalName", "C:\\Tavrin\\"));
        EXPECT_TRUE(reg.WriteString("Odd", std::string("tab\tnl\nquote\"\xE9\x01", 15)));
        EXPECT_TRUE(reg.WriteInteger("Min", -2147483647 - 1));
        reg.SetRootKey(HKEY_CURRENT_USER);
        EXPECT_TRUE(reg.OpenKey("\\Empty Key", true));
    }
    RegistryStore reread(file);
    TRegistry reg(reread);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\software\\ashcomb\\dunmere\\aliases\\TAVRIN", false));
    EXPECT_EQ(reg.ReadString("PhysicalName"), "C:\\Tavrin\\");
    EXPECT_EQ(reg.ReadString("Odd"), std::string("tab\tnl\nquote\"\xE9\x01", 15));
    EXPECT_EQ(reg.ReadInteger("Min"), -2147483647 - 1);
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.KeyExists("\\Empty Key"));
}

TEST(Registry, NoticesAnotherWriterAndSkipsBadLines) {
    testsupport::TempDir tmp;
    const std::string file = (tmp / "registry.txt").string();
    RegistryStore mine(file);
    EXPECT_FALSE(mine.KeyExists(HKEY_LOCAL_MACHINE, "A"));
    testsupport::WriteFileBytes(file,
                                "TAVRIN REGISTRY 1\n"
                                "key \"HKEY_LOCAL_MACHINE\" \"A\"\n"
                                "sz \"good\" \"v\"\n"
                                "sz \"unterminated\n"
                                "dword \"big\" 99999999999\n"
                                "dword \"n\" 12x\n"
                                "key \"HKEY_NOWHERE\" \"B\"\n"
                                "sz \"orphan\" \"x\"\n"
                                "key \"HKEY_LOCAL_MACHINE\" \"bad\\\\name\"\n"
                                "\xFF\xFE garbage\n");
    EXPECT_TRUE(mine.KeyExists(HKEY_LOCAL_MACHINE, "a"));
    EXPECT_EQ(mine.ValueNames(HKEY_LOCAL_MACHINE, "A"), (Strings{"good"}));
    EXPECT_EQ(mine.SubKeyNames(HKEY_LOCAL_MACHINE, ""), (Strings{"A"}));
    RegValue v;
    EXPECT_FALSE(mine.WriteValue(HKEY_LOCAL_MACHINE, "NoSuchKey", "x", v));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, DefaultStoreLivesInTheDataFolder) {
    testsupport::TempDir tmp;
    SetDataHome(tmp.path().string());
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Ashcomb\\Dunmere", true));
        EXPECT_TRUE(reg.WriteString("x", "y"));
    }
    EXPECT_NE(testsupport::ReadFileBytes(tmp / "registry.txt").find("sz \"x\" \"y\"\r\n"), std::string::npos);
    SetDataHome("");
}
