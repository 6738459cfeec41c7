#include "platform/core/ini_file.h"

#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace plat;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { SetDataHome(tmp.path().string()); }
    void TearDown() override { SetDataHome(""); }
    std::string Path(const char* name) const { return (tmp / name).string(); }
    testsupport::TempDir tmp;
};

}  // namespace

TEST_F(IniTest, RoundTripKeepsOrderCaseAndCrLf) {
    TIniFile ini(Path("Tavrin.ini"));
    EXPECT_TRUE(ini.WriteString("IDE", "Zeta", "last"));
    EXPECT_TRUE(ini.WriteString("IDE", "Alpha", "first \xE9t\xE9"));  // Windows-1252 bytes
    EXPECT_TRUE(ini.WriteInteger("Paths", "Count", -42));
    EXPECT_TRUE(ini.WriteBool("IDE", "TipOfDay", true));
    EXPECT_TRUE(ini.WriteString("ide", "ZETA", "changed"));  // same key, other case

    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "Tavrin.ini"),
              "[IDE]\r\nZeta=changed\r\nAlpha=first \xE9t\xE9\r\nTipOfDay=1\r\n[Paths]\r\nCount=-42\r\n");
    TIniFile again(Path("TAVRIN.INI"));  // found in another case
    EXPECT_EQ(again.ReadString("iDe", "alpha", ""), "first \xE9t\xE9");
    EXPECT_EQ(again.ReadInteger("PATHS", "count", 0), -42);
    EXPECT_TRUE(again.ReadBool("IDE", "tipofday", false));
    EXPECT_EQ(again.ReadSections(), (Strings{"IDE", "Paths"}));
    EXPECT_EQ(again.ReadSection("ide"), (Strings{"Zeta", "Alpha", "TipOfDay"}));
    EXPECT_EQ(again.ReadSectionValues("IDE"), (Strings{"Zeta=changed", "Alpha=first \xE9t\xE9", "TipOfDay=1"}));
    EXPECT_TRUE(again.ValueExists("ide", "ZETA"));
    EXPECT_FALSE(again.ValueExists("ide", "Missing"));
    EXPECT_TRUE(again.SectionExists("paths"));
    EXPECT_FALSE(again.SectionExists("HTML"));
}

TEST_F(IniTest, ReadingSkipsGarbageAndKeepsItOnRewrite) {
    testsupport::WriteFileBytes(tmp / "x.ini",
                                "stray line\n; comment\n[Main]\nGood = value  \n=novalue\nno equals here\n"
                                "Quoted=\"  spaced  \"\n[Broken\ngood=second\nNum=12abc\n\n[main]\nGood=dup\n");
    TIniFile ini(Path("x.ini"));
    EXPECT_EQ(ini.ReadString("Main", "good", "?"), "value");  // first wins, trimmed
    EXPECT_EQ(ini.ReadString("Main", "Quoted", "?"), "  spaced  ");
    EXPECT_EQ(ini.ReadSection("MAIN"), (Strings{"Good", "Quoted", "Num"}));
    EXPECT_EQ(ini.ReadSections(), (Strings{"Main"}));
    EXPECT_EQ(ini.ReadInteger("Main", "Num", 7), 7);  // not a whole number
    EXPECT_EQ(GetPrivateProfileInt("Main", "Num", 7, Path("x.ini")), 12);  // leading digits
    EXPECT_EQ(GetPrivateProfileInt("Main", "good", 7, Path("x.ini")), 0);
    EXPECT_EQ(GetPrivateProfileInt("Main", "none", 7, Path("x.ini")), 7);

    EXPECT_TRUE(ini.WriteString("Main", "New", "1"));
    std::string text = testsupport::ReadFileBytes(tmp / "x.ini");
    EXPECT_NE(text.find("stray line\r\n; comment\r\n[Main]\r\n"), std::string::npos);
    EXPECT_NE(text.find("no equals here\r\n"), std::string::npos);
    EXPECT_NE(text.find("Num=12abc\r\nNew=1\r\n\r\n[main]"), std::string::npos);  // before the blank line
}

TEST_F(IniTest, MissingFileReadsEmpty) {
    TIniFile ini(Path("none\\missing.ini"));
    EXPECT_EQ(ini.ReadString("A", "B", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("A", "B", 5), 5);
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_FALSE(ini.SectionExists("A"));
    // Writing into a folder that does not exist is an error result.
    EXPECT_FALSE(ini.WriteString("A", "B", "C"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(IniTest, DeleteKeyAndEraseSection) {
    TIniFile ini(Path("d.ini"));
    ini.WriteString("A", "k1", "1");
    ini.WriteString("A", "k2", "2");
    ini.WriteString("B", "k", "3");
    EXPECT_TRUE(ini.DeleteKey("a", "K1"));
    EXPECT_EQ(ini.ReadSection("A"), (Strings{"k2"}));
    EXPECT_TRUE(ini.EraseSection("b"));
    EXPECT_EQ(ini.ReadSections(), (Strings{"A"}));
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "d.ini"), "[A]\r\nk2=2\r\n");
    // No temporary files left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST_F(IniTest, IntegerForms) {
    TIniFile ini(Path("i.ini"));
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"12", 12}, {" -7 ", -7}, {"$1F", 31}, {"0x10", 16}, {"$FFFFFFFF", -1},
                 {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", 99},
                 {"", 99}, {"1.5", 99}, {"abc", 99}};
    for (const Case& c : cases) {
        ini.WriteString("N", "v", c.text);
        EXPECT_EQ(ini.ReadInteger("N", "v", 99), c.expected) << c.text;
    }
    ini.WriteString("N", "b", "0");
    EXPECT_FALSE(ini.ReadBool("N", "b", true));
    ini.WriteString("N", "b", "junk");
    EXPECT_TRUE(ini.ReadBool("N", "b", true));
}

TEST_F(IniTest, ValuesThatWouldReadBackAsOtherLinesAreRefused) {
    TIniFile ini(Path("r.ini"));
    EXPECT_FALSE(ini.WriteString("A", "k", "two\r\nlines"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ini.WriteString("A", "k=x", "v"));
    EXPECT_FALSE(ini.WriteString("A]", "k", "v"));
    EXPECT_FALSE(ini.WriteString("", "k", "v"));
    EXPECT_FALSE(ini.WriteString("A", ";k", "v"));
    EXPECT_FALSE(fs::exists(tmp / "r.ini"));
}

TEST_F(IniTest, BareNamesLiveInTheWindowsDirectory) {
    EXPECT_TRUE(WritePrivateProfileString("Options", "Language", "2", "Rendlow.ini"));
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "windows/Rendlow.ini"), "[Options]\r\nLanguage=2\r\n");
    EXPECT_EQ(GetPrivateProfileString("OPTIONS", "language", "", "RENDLOW.INI"), "2");
    EXPECT_TRUE(WriteProfileString("intl", "sLanguage", "deu"));
    EXPECT_EQ(GetProfileString("Intl", "SLANGUAGE", "enu"), "deu");
    EXPECT_EQ(GetProfileInt("Intl", "iCountry", 1), 1);
    EXPECT_TRUE(fs::exists(tmp / "windows/WIN.INI"));
    EXPECT_TRUE(DeletePrivateProfileKey("intl", "slanguage", "win.ini"));
    EXPECT_EQ(GetProfileString("Intl", "SLANGUAGE", "enu"), "enu");
}

TEST_F(IniTest, FailedRewriteIsReportedAndLeavesNoTemporaryFile) {
    // A folder where the file should be: the final rename cannot replace it.
    fs::create_directories(tmp / "busy.ini");
    TIniFile ini(Path("busy.ini"));
    EXPECT_EQ(ini.ReadString("A", "B", "d"), "d");
    EXPECT_FALSE(ini.WriteString("A", "B", "C"));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_directory(tmp / "busy.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}
