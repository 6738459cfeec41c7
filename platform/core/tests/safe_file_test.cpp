// Replacing a file: whatever fails, the old file stays whole and no
// temporary is left; what succeeds replaces the file, keeping its mode.
#include "platform/core/safe_file.h"

#include "platform/core/last_error.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process (so uid and limit changes stay there); the
// child's exit code.
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(SafeFile, ReplacesTheFileKeepingItsModeAndLeavesNoTemporary) {
    testsupport::TempDir tmp;
    const fs::path target = tmp / "page.rtf";
    std::ofstream(target) << "old";
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(plat::WriteFileSafely(target.string(), "new and longer"));
    EXPECT_EQ(ReadAll(target), "new and longer");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(tmp.path()), std::vector<std::string>{"page.rtf"});

    // A new file, written in pieces.
    {
        plat::SafeFileWriter out((tmp / "fresh.txt").string());
        ASSERT_TRUE(out.IsOpen());
        EXPECT_EQ(out.TempPath(), (tmp / "fresh.txt").string() + ".~tmp");
        EXPECT_TRUE(out.Write("one "));
        EXPECT_TRUE(out.Write("two"));
        EXPECT_FALSE(fs::exists(tmp / "fresh.txt"));  // nothing under the real name before the commit
        EXPECT_TRUE(out.Commit());
    }
    EXPECT_EQ(ReadAll(tmp / "fresh.txt"), "one two");
    EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"fresh.txt", "page.rtf"}));
}

TEST(SafeFile, AStaleTemporaryOfAKilledWriterIsTakenOverAndCleared) {
    testsupport::TempDir tmp;
    const fs::path target = tmp / "demo.hpj";
    std::ofstream(target) << "old";
    std::ofstream(tmp / "demo.hpj.~tmp") << "half of a killed write, longer than the new one";
    EXPECT_EQ(plat::SafeFileTempPath(target.string()), (tmp / "demo.hpj.~tmp").string());
    ASSERT_TRUE(plat::WriteFileSafely(target.string(), "new"));
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(Names(tmp.path()), std::vector<std::string>{"demo.hpj"});
}

TEST(SafeFile, AFailureLeavesTheOldFileAndNoTemporary) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& dir)> arrange;  // in the parent
        std::function<void()> inChild;                     // just before the write
        std::uint32_t error;
        bool streamed;  // through SafeFileWriter rather than WriteFileSafely
        bool othersTemporary = false;  // the temporary is another writer's and stays
    };
    const std::string big(256 * 1024, 'x');
    int othersLock = -1;
    const Case cases[] = {
        {"read-only folder", [](const fs::path& dir) { ::chmod(dir.c_str(), 0555); },
         [] {
             // Root writes anywhere: the write runs as an ordinary user.
             if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
         },
         plat::ERROR_ACCESS_DENIED, false},
        {"short write (file size limit)", [](const fs::path&) {},
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit small {64 * 1024, 64 * 1024};
             if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(91);
         },
         plat::ERROR_DISK_FULL, false},
        {"short write while streaming", [](const fs::path&) {},
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit small {64 * 1024, 64 * 1024};
             if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(91);
         },
         plat::ERROR_DISK_FULL, true},
        {"temporary name held by a folder", [](const fs::path& dir) { fs::create_directory(dir / "keep.txt.~tmp"); },
         [] {}, plat::ERROR_ACCESS_DENIED, false},
        // Another writer is in the middle of its write and never finishes.
        {"another writer's turn that never ends",
         [&othersLock](const fs::path& dir) {
             othersLock = ::open((dir / "keep.txt.~tmp").c_str(), O_WRONLY | O_CREAT, 0644);
             [[maybe_unused]] const auto wrote = ::write(othersLock, "theirs", 6);
             ::flock(othersLock, LOCK_EX);
         },
         [] {}, plat::ERROR_SHARING_VIOLATION, false, true},
    };
    for (const Case& c : cases) {
        testsupport::TempDir tmp;
        const fs::path dir = tmp / "folder";
        fs::create_directory(dir);
        ::chmod(tmp.path().c_str(), 0755);
        const fs::path target = dir / "keep.txt";
        std::ofstream(target) << "old contents";
        ::chmod(target.c_str(), 0644);
        c.arrange(dir);
        const std::vector<std::string> arranged = Names(dir);
        const int code = InChild([&] {
            c.inChild();
            bool ok;
            if (c.streamed) {
                plat::SafeFileWriter out(target.string());
                ok = out.Write(big.substr(0, 1000)) && out.Write(big) && out.Commit();
            } else {
                ok = plat::WriteFileSafely(target.string(), big);
            }
            if (ok) return 1;
            return plat::GetLastError() == c.error ? 0 : 2;
        });
        ::chmod(dir.c_str(), 0755);
        EXPECT_EQ(code, 0) << c.name << " (1: the write succeeded, 2: another error)";
        EXPECT_EQ(ReadAll(target), "old contents") << c.name;
        EXPECT_EQ(Names(dir), arranged) << c.name;
        if (c.othersTemporary) {
            EXPECT_EQ(ReadAll(dir / "keep.txt.~tmp"), "theirs");
            ::close(othersLock);
        } else {
            EXPECT_FALSE(fs::is_regular_file(dir / "keep.txt.~tmp")) << c.name;
        }
    }
}

TEST(SafeFile, ADiscardedWriteLeavesTheOldFile) {
    testsupport::TempDir tmp;
    const fs::path target = tmp / "words.dic";
    std::ofstream(target) << "old";
    {
        plat::SafeFileWriter out(target.string());
        ASSERT_TRUE(out.Write("never committed"));
    }
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(Names(tmp.path()), std::vector<std::string>{"words.dic"});
}

}  // namespace
