#include "platform/core/process.h"

#include "platform/core/files.h"
#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace plat;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataHome(tmp.path().string());
        dir = tmp.path().string();
    }
    void TearDown() override { SetDataHome(""); }
    // A small fake program: a shell script, executable.
    void Script(const std::string& name, const std::string& body, bool shebang = true) {
        testsupport::WriteFileBytes(tmp / name, (shebang ? "#!/bin/sh\n" : "") + body);
        ::chmod((tmp / name).c_str(), 0755);
    }
    testsupport::TempDir tmp;
    std::string dir;
};

}  // namespace

TEST(CommandLine, SplitsLikeTheCRuntime) {
    struct Case {
        const char* line;
        Strings args;
    } cases[] = {
        {"prog.exe arg1 \"arg two\"", {"prog.exe", "arg1", "arg two"}},
        {"  \"C:\\Program Files\\hcw.exe\"  /C  x.hpj ", {"C:\\Program Files\\hcw.exe", "/C", "x.hpj"}},
        {"p a\\\\\"b c\" d", {"p", "a\\b c", "d"}},     // 2n backslashes + quote
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},              // 2n+1 backslashes + quote
        {"p C:\\dir\\ x", {"p", "C:\\dir\\", "x"}},     // backslashes alone stay
        {"p \"\" x", {"p", "", "x"}},                   // empty argument
        {"p \"say \"\"hi\"\"\"", {"p", "say \"hi\""}},  // doubled quote inside quotes
        {"p ab\"c d\"e", {"p", "abc de"}},
        {"C:\\a\\\"b c", {"C:\\a\\\"b", "c"}},          // no backslash rules in the name
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLine, JoinSplitsBackToTheSameArguments) {
    const Strings tables[] = {
        {"prog", "plain", "with space", "quote\"inside", "trail\\", "trail space\\", "", "a\\\\\"b"},
        {"C:\\Program Files\\x.exe", "\t"},
    };
    for (const Strings& args : tables) EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
}

TEST_F(ProcessTest, RunAndWaitReturnsTheExitCode) {
    Script("Exit3.sh", "exit 3\n");
    EXPECT_EQ(RunAndWait({dir + "\\EXIT3.SH"}), 3);  // found in another case
    EXPECT_EQ(RunAndWait({"sh", "-c", "exit 0"}), 0);  // through PATH
    EXPECT_EQ(RunCommandLineAndWait("sh -c \"exit 7\""), 7);
    EXPECT_EQ(RunAndWait({"sh", "-c", "kill -TERM $$"}), 128 + 15);
}

TEST_F(ProcessTest, StartFailuresGiveMinusOne) {
    EXPECT_EQ(RunAndWait({dir + "\\no-such-program.exe"}), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RunAndWait({"no-such-program-anywhere"}), -1);
    EXPECT_EQ(RunAndWait({}), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RunAndWait({"sh", "-c", std::string("exit 0\0; exit 1", 15)}), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    testsupport::WriteFileBytes(tmp / "plain.txt", "not a program");  // not executable
    EXPECT_EQ(RunAndWait({dir + "/plain.txt"}), -1);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    Script("ok.sh", "exit 0\n");
    EXPECT_EQ(RunAndWait({dir + "/ok.sh"}, dir + "/missing-folder"), -1);
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST_F(ProcessTest, ArgumentsArriveIntactInTheWorkingFolder) {
    Script("args.sh", "pwd > out.txt\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\" >> out.txt; done\n");
    fs::create_directories(tmp / "Work");
    const Strings argv{dir + "/args.sh", "two words", "say \"hi\"", "", "back\\slash", "caf\xE9"};
    EXPECT_EQ(RunAndWait(argv, dir + "\\WORK"), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "Work/out.txt"),
              (tmp / "Work").string() + "\n[two words]\n[say \"hi\"]\n[]\n[back\\slash]\n[caf\xC3\xA9]\n");
    // The same arguments through a Win32 command line.
    EXPECT_EQ(RunCommandLineAndWait(JoinCommandLine(argv), dir + "/work"), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(tmp / "Work/out.txt"),
              (tmp / "Work").string() + "\n[two words]\n[say \"hi\"]\n[]\n[back\\slash]\n[caf\xC3\xA9]\n");
}

TEST_F(ProcessTest, Win32NamesFindNativeProgramsAndScriptsWithoutInterpreterLine) {
    Script("kwgen", "exit 5\n", false);  // no "#!": runs through /bin/sh
    EXPECT_EQ(FindProgram("KWGEN.EXE"), (tmp / "kwgen").string());  // bare name: program dir
    EXPECT_EQ(RunAndWait({"KWGEN.EXE"}), 5);
    Script("notepad.exe", "exit 6\n");
    EXPECT_EQ(RunAndWait({dir + "\\NOTEPAD"}), 6);
    fs::create_directories(tmp / "drive_c/Tools");
    Script("drive_c/Tools/Hcw.Exe", "exit 9\n");
    EXPECT_EQ(RunCommandLineAndWait("C:\\TOOLS\\HCW.EXE /C x.hpj"), 9);
}

TEST_F(ProcessTest, StartProcessDoesNotWait) {
    Script("touch.sh", "echo done > \"$1\"\n");
    // The started program writes its file some time later; poll for it.
    auto appears = [](const fs::path& file) {
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(file) && testsupport::ReadFileBytes(file) == "done\n") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    ASSERT_TRUE(StartProcess({dir + "/touch.sh", dir + "/started.txt"}));
    EXPECT_TRUE(appears(tmp / "started.txt"));
    EXPECT_FALSE(StartProcess({dir + "/missing.sh"}));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_GT(WinExec(JoinCommandLine({dir + "/touch.sh", dir + "/second.txt"}), 1), 31u);
    EXPECT_TRUE(appears(tmp / "second.txt"));
    EXPECT_EQ(WinExec(dir + "/missing.sh", 1), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessTest, WatchedStartReportsALauncherThatGivesUp) {
    Script("nomethod.sh", "echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    Script("opens.sh", "echo opened >&2\nexit 0\n");
    Script("stays.sh", "sleep 3\necho late >&2\nexit 4\n");
    struct Case {
        std::string program;
        bool started;
        std::uint32_t error;
        std::string text;
    } cases[] = {
        {dir + "/nomethod.sh", false, ERROR_GEN_FAILURE, "xdg-open: no method available for opening 'My Doc.RTF'"},
        {dir + "/opens.sh", true, ERROR_SUCCESS, ""},
        {dir + "/stays.sh", true, ERROR_SUCCESS, ""},  // still running when the watch ends
        {dir + "/missing-viewer", false, ERROR_FILE_NOT_FOUND, ""},
    };
    for (const Case& c : cases) {
        std::string text = "stale";
        EXPECT_EQ(StartProcessWatched({c.program, "My Doc.RTF"}, 1000, &text), c.started) << c.program;
        EXPECT_EQ(GetLastError(), c.error) << c.program;
        EXPECT_EQ(text, c.text) << c.program;
    }
}

TEST(SharedLibraryTest, MissingLibraryIsAnErrorResult) {
    SharedLibrary lib;
    EXPECT_FALSE(lib.Load("C:\\nowhere\\SKYMISSING.DLL"));
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(lib.ErrorText().empty());
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.Symbol("LDLLHandler"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(lib.Load("libdoes-not-exist.so"));
    EXPECT_FALSE(lib.Load(""));
}

TEST(SharedLibraryTest, BindsARoutineByName) {
    SharedLibrary lib;
    ASSERT_TRUE(lib.Load("libm.so.6")) << lib.ErrorText();
    using Fn = double (*)(double);
    auto fn = reinterpret_cast<Fn>(lib.Symbol("sqrt"));
    ASSERT_NE(fn, nullptr);
    EXPECT_DOUBLE_EQ(fn(16.0), 4.0);
    EXPECT_EQ(lib.Symbol("NoSuchRoutine"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_FALSE(lib.ErrorText().empty());
}
