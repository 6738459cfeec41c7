#include "platform/core/files.h"

#include "platform/core/paths.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace plat;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataHome(tmp.path().string());
        ResetDriveRoots();
        dir = tmp.path().string();
    }
    void TearDown() override { SetDataHome(""); }
    std::string P(const std::string& rel) const { return dir + "\\" + rel; }
    testsupport::TempDir tmp;
    std::string dir;
};

}  // namespace

TEST_F(FilesTest, OpensExistingFileNamedInAnotherCase) {
    testsupport::WriteFileBytes(tmp / "TvrnMAIN.QVD", "table");
    File f;
    ASSERT_TRUE(f.Open(ProgramDir() + "\\TVRNMAIN.QVD", FileAccess::Read, FileShare::DenyNone));
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 5);
    EXPECT_EQ(std::string(buf), "table");
    EXPECT_EQ(f.Size(), 5);
}

TEST_F(FilesTest, CreatesNewFileWithTheCaseGivenInsideExistingFolder) {
    fs::create_directories(tmp / "Projects/MyProj");
    File f;
    ASSERT_TRUE(f.Open(P("PROJECTS\\myproj\\NewPage.RTF"), FileAccess::Write, FileShare::Exclusive,
                       FileDisposition::CreateNew));
    EXPECT_EQ(f.Write("abc", 3), 3);
    f.Close();
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "Projects/MyProj/NewPage.RTF"), "abc");
    // Nothing was created beside the existing folders.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, ReadWriteSeekSetEndFlush) {
    File f;
    ASSERT_TRUE(f.Open(P("data.bin"), FileAccess::ReadWrite, FileShare::Exclusive, FileDisposition::CreateAlways));
    EXPECT_EQ(f.Write("0123456789", 10), 10);
    EXPECT_EQ(f.Seek(4), 4);
    EXPECT_EQ(f.Write("xy", 2), 2);
    EXPECT_EQ(f.Position(), 6);
    EXPECT_TRUE(f.SetEnd());
    EXPECT_EQ(f.Size(), 6);
    EXPECT_EQ(f.Seek(-2, SeekOrigin::End), 4);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 2);  // short read at end of file
    EXPECT_EQ(std::string(buf, 2), "xy");
    EXPECT_TRUE(f.Flush());
    EXPECT_EQ(f.Seek(-1), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, OpenErrorsAreResultsNotExceptions) {
    File f;
    EXPECT_FALSE(f.Open(P("missing.qvd"), FileAccess::Read, FileShare::DenyNone));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(f.Open(P("nofolder\\x.qvd"), FileAccess::Read, FileShare::DenyNone));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    testsupport::WriteFileBytes(tmp / "old.txt", "keep");
    EXPECT_FALSE(f.Open(P("OLD.TXT"), FileAccess::Write, FileShare::Exclusive, FileDisposition::CreateNew));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(f.Open(dir, FileAccess::Read, FileShare::DenyNone));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(f.Open(P("*.txt"), FileAccess::Read, FileShare::DenyNone));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    // A NUL byte must not cut "old.txt\0.bak" down to "old.txt".
    EXPECT_FALSE(f.Open(P(std::string("old.txt\0.bak", 12)), FileAccess::Write, FileShare::DenyNone,
                        FileDisposition::CreateAlways));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_FALSE(DeleteFile(P(std::string("old.txt\0x", 9))));
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "old.txt"), "keep");
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Read(nullptr, 1), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, SharingRulesBetweenTwoOpens) {
    struct Case {
        FileAccess a1;
        FileShare s1;
        FileAccess a2;
        FileShare s2;
        bool secondOpens;
    } cases[] = {
        {FileAccess::Read, FileShare::Exclusive, FileAccess::Read, FileShare::DenyNone, false},
        {FileAccess::ReadWrite, FileShare::DenyNone, FileAccess::Read, FileShare::Exclusive, false},
        {FileAccess::Read, FileShare::DenyNone, FileAccess::ReadWrite, FileShare::DenyNone, true},
        {FileAccess::Read, FileShare::DenyWrite, FileAccess::Read, FileShare::DenyNone, true},
        {FileAccess::Read, FileShare::DenyWrite, FileAccess::Read, FileShare::DenyWrite, true},
        {FileAccess::Read, FileShare::DenyWrite, FileAccess::Write, FileShare::DenyNone, false},
        {FileAccess::Read, FileShare::DenyWrite, FileAccess::ReadWrite, FileShare::DenyWrite, false},
        {FileAccess::Write, FileShare::DenyNone, FileAccess::Read, FileShare::DenyWrite, false},
        {FileAccess::Write, FileShare::DenyNone, FileAccess::Write, FileShare::DenyNone, true},
        {FileAccess::ReadWrite, FileShare::DenyWrite, FileAccess::Read, FileShare::DenyNone, true},
    };
    testsupport::WriteFileBytes(tmp / "t.qvd", "x");
    int i = 0;
    for (const Case& c : cases) {
        File first, second;
        ASSERT_TRUE(first.Open(P("t.qvd"), c.a1, c.s1)) << i;
        EXPECT_EQ(second.Open(P("T.QVD"), c.a2, c.s2), c.secondOpens) << "case " << i;
        if (!c.secondOpens) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << i;
        }
        ++i;
    }
    // Every lock went with its handle.
    File again;
    EXPECT_TRUE(again.Open(P("t.qvd"), FileAccess::ReadWrite, FileShare::Exclusive));
}

TEST_F(FilesTest, CreateAlwaysDoesNotTruncateAFileHeldExclusively) {
    testsupport::WriteFileBytes(tmp / "t.qvd", "precious");
    File holder, intruder;
    ASSERT_TRUE(holder.Open(P("t.qvd"), FileAccess::ReadWrite, FileShare::Exclusive));
    EXPECT_FALSE(intruder.Open(P("t.qvd"), FileAccess::Write, FileShare::DenyNone, FileDisposition::CreateAlways));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(holder.Size(), 8);
}

TEST_F(FilesTest, ExclusiveOpenExcludesAnotherProcessUntilClosed) {
    testsupport::WriteFileBytes(tmp / "Shared.QVD", "x");
    const std::string path = P("SHARED.qvd");
    // The child reports through its exit status: 0 opened, 32 sharing violation.
    auto openInChild = [&]() {
        pid_t pid = ::fork();
        if (pid == 0) {
            File f;
            bool ok = f.Open(path, FileAccess::Read, FileShare::DenyNone);
            ::_exit(ok ? 0 : static_cast<int>(GetLastError() & 0xFF));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    {
        File f;
        ASSERT_TRUE(f.Open(path, FileAccess::ReadWrite, FileShare::Exclusive));
        EXPECT_EQ(openInChild(), 32);
    }
    EXPECT_EQ(openInChild(), 0);
}

TEST_F(FilesTest, DeleteRenameCopy) {
    testsupport::WriteFileBytes(tmp / "a.txt", "A");
    testsupport::WriteFileBytes(tmp / "b.txt", "B");
    EXPECT_FALSE(RenameFile(P("A.TXT"), P("B.TXT"), false));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(RenameFile(P("A.TXT"), P("B.TXT")));
    EXPECT_FALSE(fs::exists(tmp / "a.txt"));
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "b.txt"), "A");
    // A case-only rename changes the case of the one file.
    EXPECT_TRUE(RenameFile(P("b.txt"), P("Bee.TXT")));
    EXPECT_TRUE(RenameFile(P("bee.txt"), P("BEE.TXT")));
    EXPECT_TRUE(fs::exists(tmp / "BEE.TXT"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);

    EXPECT_TRUE(CopyFile(P("bee.txt"), P("Copy.txt"), true));
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "Copy.txt"), "A");
    EXPECT_FALSE(CopyFile(P("bee.txt"), P("COPY.TXT"), true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(CopyFile(P("bee.txt"), P("BEE.txt"), false));  // onto itself
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "BEE.TXT"), "A");
    EXPECT_FALSE(CopyFile(P("none.txt"), P("x.txt"), false));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_TRUE(SetFileAttributes(P("copy.txt"), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes(P("copy.txt")), FILE_ATTRIBUTE_READONLY);
    File f;
    if (::geteuid() != 0) {  // root ignores permissions
        EXPECT_FALSE(f.Open(P("copy.txt"), FileAccess::Write, FileShare::DenyNone));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(DeleteFile(P("copy.txt")));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(SetFileAttributes(P("copy.txt"), 0));
    EXPECT_EQ(GetFileAttributes(P("copy.txt")), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFile(P("COPY.txt")));
    EXPECT_FALSE(FileExists(P("copy.txt")));
    EXPECT_FALSE(DeleteFile(P("copy.txt")));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributes(P("copy.txt")), INVALID_FILE_ATTRIBUTES);
}

TEST(DosDateTime, PacksLocalTimeAndRoundTrips) {
    // 14 Mar 2001 13:45:58 local: date = 21<<9 | 3<<5 | 14, time = 13<<11 | 45<<5 | 29.
    const std::uint32_t dos = (21u << 9 | 3u << 5 | 14u) << 16 | (13u << 11 | 45u << 5 | 29u);
    std::time_t t = TimeFromDosDateTime(dos);
    ASSERT_NE(t, -1);
    EXPECT_EQ(DosDateTimeFromTime(t), dos);
    EXPECT_EQ(DosDateTimeFromTime(t + 1), dos);  // two-second resolution
    EXPECT_EQ(TimeFromDosDateTime((21u << 9 | 2u << 5 | 31u) << 16), -1);  // 31 Feb
    EXPECT_EQ(TimeFromDosDateTime((21u << 9 | 13u << 5 | 1u) << 16), -1);  // month 13
    EXPECT_EQ(DosDateTimeFromTime(0), (1u << 5 | 1u) << 16);  // before 1980
}

TEST_F(FilesTest, FileAgeFollowsTheModificationTime) {
    testsupport::WriteFileBytes(tmp / "f.txt", "x");
    const std::uint32_t dos = (25u << 9 | 7u << 5 | 4u) << 16 | (9u << 11 | 30u << 5 | 0u);
    EXPECT_TRUE(FileSetDate(P("F.TXT"), static_cast<std::int32_t>(dos)));
    EXPECT_EQ(static_cast<std::uint32_t>(FileAge(P("f.txt"))), dos);
    EXPECT_EQ(FileAge(P("missing.txt")), -1);
    EXPECT_EQ(FileAge(dir), -1);
}

TEST_F(FilesTest, FindFirstNextWithMask) {
    fs::create_directories(tmp / "Proj/Sub.dir");
    testsupport::WriteFileBytes(tmp / "Proj/b.HPJ", "12345");
    testsupport::WriteFileBytes(tmp / "Proj/A.hpj", "1");
    testsupport::WriteFileBytes(tmp / "Proj/c.rtf", "1");
    testsupport::WriteFileBytes(tmp / "Proj/.hidden.hpj", "1");
    testsupport::WriteFileBytes(tmp / "Proj/README", "1");

    auto names = [&](const std::string& mask, std::uint32_t attr) {
        std::string got;
        SearchRec r;
        for (std::uint32_t rc = FindFirst(P("proj\\") + mask, attr, r); rc == 0; rc = FindNext(r))
            got += r.Name + (r.IsDirectory() ? "/" : "") + ";";
        EXPECT_EQ(GetLastError(), got.empty() ? ERROR_FILE_NOT_FOUND : ERROR_NO_MORE_FILES);
        FindClose(r);
        return got;
    };
    EXPECT_EQ(names("*.hpj", faAnyFile & ~faHidden), "A.hpj;b.HPJ;");
    EXPECT_EQ(names("*.hpj", faAnyFile), ".hidden.hpj;A.hpj;b.HPJ;");
    EXPECT_EQ(names("*.*", 0), "A.hpj;README;b.HPJ;c.rtf;");
    EXPECT_EQ(names("*.*", faDirectory), "A.hpj;README;Sub.dir/;b.HPJ;c.rtf;");
    EXPECT_EQ(names("B.hpj", 0), "b.HPJ;");
    EXPECT_EQ(names("*.xyz", faAnyFile), "");

    SearchRec r;
    ASSERT_EQ(FindFirst(P("PROJ\\b.hpj"), 0, r), 0u);
    EXPECT_EQ(r.Size, 5);
    EXPECT_EQ(r.Attr, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(static_cast<std::int32_t>(r.Time), FileAge(P("proj\\b.hpj")));
    EXPECT_EQ(FindNext(r), ERROR_NO_MORE_FILES);
    FindClose(r);
    EXPECT_EQ(FindFirst(P("nowhere\\*.*"), 0, r), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindNext(r), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, Folders) {
    EXPECT_TRUE(ForceDirectories(P("One\\Two/Three\\")));
    EXPECT_TRUE(fs::is_directory(tmp / "One/Two/Three"));
    EXPECT_TRUE(ForceDirectories(P("ONE\\two\\Four")));
    EXPECT_TRUE(fs::is_directory(tmp / "One/Two/Four"));
    EXPECT_TRUE(DirectoryExists(P("one\\TWO")));
    EXPECT_FALSE(DirectoryExists(P("one\\T*")));
    EXPECT_FALSE(FileExists(P("one")));
    EXPECT_FALSE(CreateDir(P("one")));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDir(P("none\\x")));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(RemoveDir(P("one\\two")));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(RemoveDir(P("one\\two\\four")));
    EXPECT_FALSE(fs::exists(tmp / "One/Two/Four"));

    EXPECT_TRUE(ForceDirectories("C:\\Help\\Proj"));
    EXPECT_TRUE(fs::is_directory(tmp / "drive_c/Help/Proj"));

    const std::string before = GetCurrentDir();
    EXPECT_TRUE(SetCurrentDir(P("ONE\\two")));
    EXPECT_EQ(GetCurrentDir(), (tmp / "One/Two").string());
    EXPECT_TRUE(DirectoryExists("THREE"));
    EXPECT_FALSE(SetCurrentDir(P("missing")));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(SetCurrentDir(before));
}
