#include "platform/core/paths.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace plat;
namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataHome(tmp.path().string());
        ResetDriveRoots();
    }
    void TearDown() override {
        SetDataHome("");
        ResetDriveRoots();
    }
    testsupport::TempDir tmp;
};

}  // namespace

TEST_F(PathsTest, ExistingFileIsFoundWhateverTheCaseOfEachComponent) {
    fs::create_directories(tmp / "Proj/SubDir");
    testsupport::WriteFileBytes(tmp / "TvrnMAIN.QVD", "x");
    testsupport::WriteFileBytes(tmp / "Proj/SubDir/Page.Rtf", "y");

    EXPECT_EQ(NativePath(ProgramDir() + "\\TVRNMAIN.QVD"), (tmp / "TvrnMAIN.QVD").string());
    EXPECT_EQ(NativePath(tmp.path().string() + "\\PROJ\\subdir/PAGE.rtf"),
              (tmp / "Proj/SubDir/Page.Rtf").string());
}

TEST_F(PathsTest, MissingComponentsKeepTheCaseGivenUnderMatchedFolders) {
    fs::create_directories(tmp / "Help");
    EXPECT_EQ(NativePath(tmp.path().string() + "/HELP/NewFolder/New.TXT"),
              (tmp / "Help/NewFolder/New.TXT").string());
}

TEST_F(PathsTest, ExactMatchWinsOverOtherCaseVariants) {
    testsupport::WriteFileBytes(tmp / "abc.txt", "1");
    testsupport::WriteFileBytes(tmp / "ABC.txt", "2");
    testsupport::WriteFileBytes(tmp / "Abc.txt", "3");
    EXPECT_EQ(NativePath(tmp.path().string() + "/Abc.txt"), (tmp / "Abc.txt").string());
    // No exact match: the smallest name in byte order, whatever readdir's order.
    EXPECT_EQ(NativePath(tmp.path().string() + "/aBC.TXT"), (tmp / "ABC.txt").string());
}

TEST_F(PathsTest, DriveLettersMapToConfigurableRoots) {
    fs::create_directories(tmp / "drive_c/Help");
    EXPECT_EQ(DriveRoot('c'), (tmp / "drive_c").string());
    EXPECT_EQ(NativePath("C:\\HELP\\x.hpj"), (tmp / "drive_c/Help/x.hpj").string());
    EXPECT_EQ(NativePath("c:/help"), (tmp / "drive_c/Help").string());

    fs::create_directories(tmp / "elsewhere");
    SetDriveRoot('D', (tmp / "elsewhere").string() + "/");
    EXPECT_EQ(NativePath("d:\\Data"), (tmp / "elsewhere/Data").string());
    SetDriveRoot('D', "");
    EXPECT_EQ(DriveRoot('D'), (tmp / "drive_d").string());
}

TEST_F(PathsTest, WindowsDirIsAFolderInsideTheProgramDir) {
    std::string win = WindowsDir();
    EXPECT_EQ(win, (tmp / "windows").string());
    EXPECT_TRUE(fs::is_directory(win));
}

TEST_F(PathsTest, NonAsciiNamesCrossTheEdgeAsUtf8) {
    // "\xC4" is A-umlaut in Windows-1252; on disk the name is UTF-8.
    testsupport::WriteFileBytes(tmp / "\xC3\xA4pfel.txt", "x");
    EXPECT_EQ(NativePath(tmp.path().string() + "/\xC4PFEL.TXT"), (tmp / "\xC3\xA4pfel.txt").string());
}

TEST(PathText, AbsoluteAndDriveTests) {
    struct Case {
        const char* path;
        bool absolute;
        bool drive;
    } cases[] = {
        {"C:\\x", true, true},  {"c:/x", true, true}, {"C:x", false, true}, {"\\x", true, false},
        {"/x", true, false},    {"x\\y", false, false}, {"", false, false},   {"1:\\x", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
        EXPECT_EQ(HasDriveLetter(c.path), c.drive) << c.path;
    }
}

TEST(PathText, ExtractAndChangeHelpers) {
    EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(ExtractFilePath("a/b/c"), "a/b/");
    EXPECT_EQ(ExtractFilePath("b.txt"), "");
    EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
    EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(ExtractFileName("C:b.txt"), "b.txt");
    EXPECT_EQ(ExtractFileExt("C:\\a.dir\\b.Txt"), ".Txt");
    EXPECT_EQ(ExtractFileExt("C:\\a.dir\\b"), "");
    EXPECT_EQ(ExtractFileDrive("C:\\a"), "C:");
    EXPECT_EQ(ExtractFileDrive("\\\\srv\\share\\x"), "\\\\srv\\share");
    EXPECT_EQ(ChangeFileExt("C:\\a.dir\\b.hpj", ".rtf"), "C:\\a.dir\\b.rtf");
    EXPECT_EQ(ChangeFileExt("C:\\a.dir\\b", ".rtf"), "C:\\a.dir\\b.rtf");
    EXPECT_EQ(ChangeFileExt("b.hpj", ""), "b");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a/"), "C:\\a/");
    EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\\\"), "C:\\a");
    EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("", "b"), "b");
}

TEST(PathText, ExpandFileNameFoldsDots) {
    EXPECT_EQ(ExpandFileName("C:\\a\\.\\b\\..\\c.txt"), "C:\\a\\c.txt");
    EXPECT_EQ(ExpandFileName("C:\\..\\x"), "C:\\x");
    EXPECT_EQ(ExpandFileName("/a/b/../c"), "/a/c");
    std::string rel = ExpandFileName("sub/../f.txt");
    EXPECT_TRUE(IsAbsolutePath(rel));
    EXPECT_EQ(ExtractFileName(rel), "f.txt");
    EXPECT_EQ(rel, SystemText(fs::current_path().string()) + "/f.txt");
}

TEST(Wildcards, WindowsRules) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"README", "*.*", true},       {"a.b.c", "*.*", true},       {"ABC", "A*.*", true},
        {"abc.txt", "A*.*", true},     {"xbc", "A*.*", false},       {"Page.RTF", "*.rtf", true},
        {"page.rtf.bak", "*.rtf", false}, {"a.rtf", "?.rtf", true},  {"ab.rtf", "?.rtf", false},
        {".rtf", "?.rtf", false},      {"abc", "a?c", true},         {"ac", "a?c", false},
        {"README", "*.", true},        {"read.me", "*.", false},     {"abc", "abc.*", true},
        {"abc.d", "abc.*", true},      {"abcd", "abc.*", false},     {"x.hpj", "*.HPJ", true},
        {"\xE4pfel", "\xC4*", true},   {"", "*", false},             {"abc", "", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}
