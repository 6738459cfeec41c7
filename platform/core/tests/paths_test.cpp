#include "platform/core/paths.h"

#include "platform/core/files.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

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

TEST_F(PathsTest, DisplayPathIsNativeWithTheRealLetterCase) {
    fs::create_directories(tmp / "TavrinHome/Html");
    testsupport::WriteFileBytes(tmp / "TavrinHome/Tavrin.HLP", "x");
    SetDriveRoot('D', (tmp / "TavrinHome").string());
    const std::string t = tmp.path().string();
    struct {
        std::string path, shown;
    } cases[] = {
        {t + "/TavrinHome\\Tavrin.hlp", t + "/TavrinHome/Tavrin.HLP"},
        {t + "\\TAVRINHOME\\html\\Images", t + "/TavrinHome/Html/Images"},  // new parts keep their case
        {t + "/TavrinHome\\RevGuide\\", t + "/TavrinHome/RevGuide/"},
        {"d:\\HTML", t + "/TavrinHome/Html"},
        {"Sub\\Page.rtf", "Sub/Page.rtf"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DisplayPath(c.path), c.shown) << c.path;
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

// ".." never climbs above a drive's folder or "/": a drive path always names
// something inside its drive.
TEST_F(PathsTest, DotDotStopsAtTheRootOfADrive) {
    fs::create_directories(tmp / "drive_c/Help/Sub");
    const std::string c = (tmp / "drive_c").string();
    struct Case { const char* path; std::string want; };
    for (const Case& k : {Case{"C:\\..\\..\\etc\\passwd", c + "/etc/passwd"},
                          {"C:..\\..\\secret", c + "/secret"},
                          {"c:/help/../../../x", c + "/x"},
                          {"C:\\Help\\Sub\\..\\Page.rtf", c + "/Help/Page.rtf"},
                          {"C:\\Help\\.\\Sub\\.", c + "/Help/Sub"},
                          {"C:\\NoSuch\\..\\Help", c + "/Help"},
                          {"C:\\..", c},
                          {"/../../etc/hosts", "/etc/hosts"}}) {
        const std::string got = NativePath(k.path);
        EXPECT_EQ(got, k.want) << k.path;
        if (k.path[0] != '/') {
            EXPECT_EQ(got.compare(0, c.size(), c), 0) << k.path << " left the drive: " << got;
        }
    }
    // A relative path may still climb above the current folder.
    EXPECT_EQ(NativePath("a\\..\\..\\b"), "../b");
    EXPECT_EQ(NativePath("..\\x\\..\\y"), "../y");
}

// A fresh data folder has no drive folders: the first use of a default drive
// makes its folder, so a file can be written at its root.
TEST_F(PathsTest, DefaultDriveFolderIsCreatedOnFirstUse) {
    ASSERT_FALSE(fs::exists(tmp / "drive_c"));
    File f;
    ASSERT_TRUE(f.Open("c:\\~tavrin9.txt", FileAccess::ReadWrite, FileShare::DenyNone, FileDisposition::CreateAlways));
    ASSERT_EQ(f.Write("x", 1), 1);
    f.Close();
    EXPECT_TRUE(fs::is_regular_file(tmp / "drive_c/~tavrin9.txt"));
    // A drive the user pointed elsewhere is not made: a missing folder there
    // is the user's to notice.
    SetDriveRoot('E', (tmp / "not-mounted").string());
    EXPECT_FALSE(f.Open("E:\\x.txt", FileAccess::ReadWrite, FileShare::DenyNone, FileDisposition::CreateAlways));
    EXPECT_FALSE(fs::exists(tmp / "not-mounted"));
}

// Names that Windows-1252 cannot spell come back from a search in a form
// that opens the same file again, and only that file.
TEST_F(PathsTest, NamesOutsideWindows1252RoundTripThroughFindFirst) {
    const std::string names[] = {
        "caf\xC4\x95.txt",            // U+0115, no Windows-1252 byte
        "caf\xC4\x97.txt",            // U+0117: would look the same as "caf?.txt"
        "\xE6\x97\xA5\xE6\x9C\xAC.txt",  // two CJK characters
        "emoji\xF0\x9F\x98\x80.txt",  // outside the BMP
        "latin1\xE9.txt",             // a byte that is not UTF-8
        "a<b.txt",                    // a "<" of the name itself
    };
    int n = 0;
    for (const std::string& name : names) testsupport::WriteFileBytes(tmp / name, std::to_string(n++));
    SearchRec rec;
    std::vector<std::string> found;
    for (std::uint32_t rc = FindFirst(tmp.path().string() + "\\*.txt", 0, rec); rc == 0; rc = FindNext(rec))
        found.push_back(rec.Name);
    FindClose(rec);
    ASSERT_EQ(found.size(), std::size(names));
    for (const std::string& systemName : found) {
        EXPECT_EQ(systemName.find('?'), std::string::npos) << systemName;
        const std::string path = tmp.path().string() + "\\" + systemName;
        ASSERT_TRUE(FileExists(path)) << systemName;
        File f;
        ASSERT_TRUE(f.Open(path, FileAccess::Read, FileShare::DenyNone)) << systemName;
        char c = 0;
        ASSERT_EQ(f.Read(&c, 1), 1);
        const std::string native = NativePath(path);
        const std::string base = native.substr(native.rfind('/') + 1);
        auto it = std::find(std::begin(names), std::end(names), base);
        ASSERT_NE(it, std::end(names)) << systemName;
        EXPECT_EQ(c, '0' + (it - std::begin(names))) << systemName;
    }
    struct Case { const char* native; const char* system; };
    for (Case k : {Case{"caf\xC4\x95", "caf<U+0115>"}, {"x\xF0\x9F\x98\x80", "x<U+1F600>"}, {"\xE9t\xE9", "<xE9>t<xE9>"},
                   {"a<b", "a<U+003C>b"}, {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"}})
        EXPECT_EQ(SystemText(k.native), k.system) << k.system;
    // Escapes of characters that have a byte of their own are not read as
    // escapes: "<U+002E><U+002E>" is no way out of a drive.
    EXPECT_EQ(NativePath("C:\\<U+002E><U+002E>\\x"), (tmp / "drive_c/<U+002E><U+002E>/x").string());
    EXPECT_EQ(NativePath("C:\\<U+002F>x"), (tmp / "drive_c/<U+002F>x").string());
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
