// Rendlow32 as a user starts it on EUDORA.hlp, a help file whose [MAP]
// names one missing topic 3,630 times: with its progress window on a real
// X server, and on a terminal. Each run gets a fresh program folder (its
// Rendlow.ini chooses the mode) and a fresh output folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// Generous: a run takes well under a second; this only keeps a stuck
// program from stalling the suite.
constexpr int kRunLimitMs = 120000;

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
        plat::SetDataHome("");
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct Mode {
    const char* name;
    const char* forPrint;
    std::vector<std::string> outputs;
};
const Mode kModes[] = {
    {"project", "0", {"EUDORA.HPJ", "EUDORA.RTF"}},
    {"document", "1", {"EUDORA.RTF"}},
};

class Rendlow32 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::CorpusAvailable()) GTEST_SKIP() << testsupport::CorpusMissingMessage();
        help_ = testsupport::CorpusFile("hlp/EUDORA.hlp");
    }
    // A program folder whose Rendlow.ini has `forPrint`, made the one the
    // program (and this process's ini calls) use.
    void UseProgramFolder(const fs::path& home, const char* forPrint) {
        fs::create_directories(home);
        home_.emplace("TAVRIN_HOME", home.string());
        plat::SetDataHome("");
        plat::WritePrivateProfileString("Options", "ForPrint", forPrint, "Rendlow.ini");
    }
    fs::path help_;
    testsupport::TempDir tmp_;
    std::optional<ScopedEnv> home_;
};

TEST_F(Rendlow32, WithItsWindowEndsByItselfAndWritesItsFiles) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    for (const Mode& m : kModes) {
        SCOPED_TRACE(m.name);
        UseProgramFolder(tmp_ / (std::string("home-") + m.name), m.forPrint);
        const fs::path out = tmp_ / (std::string("out-") + m.name);
        fs::create_directories(out);
        ScopedEnv qpa("QT_QPA_PLATFORM", "xcb");
        testsupport::ChildProcess child;
        // The program converts into the current folder.
        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" \"$2\"", out.string(), RENDLOW32_PROGRAM,
                                 help_.string()}));
        ASSERT_TRUE(child.WaitExit(kRunLimitMs)) << "rendlow32 with its window still running after "
                                                 << kRunLimitMs / 1000 << " s";
        EXPECT_EQ(child.ExitCode(), 2);
        for (const std::string& f : m.outputs) EXPECT_TRUE(fs::exists(out / f)) << f;
        // The progress went to the window: the terminal's phase lines are not there.
        EXPECT_EQ(child.ReadLine(200), "");
    }
}

TEST_F(Rendlow32, OnATerminalPrintsARepeatedWarningOnce) {
    UseProgramFolder(tmp_ / "home", "0");
    const fs::path out = tmp_ / "out";
    fs::create_directories(out);
    ScopedEnv qpa("QT_QPA_PLATFORM", "offscreen");
    testsupport::ChildProcess child;
    // Warnings go to standard error; that is what is read here.
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" \"$2\" 2>&1 >/dev/null", out.string(),
                             RENDLOW32_PROGRAM, help_.string()}));
    std::vector<std::string> lines;
    for (std::string line; !(line = child.ReadLine(kRunLimitMs)).empty();) lines.push_back(line);
    ASSERT_TRUE(child.WaitExit(kRunLimitMs));
    EXPECT_EQ(child.ExitCode(), 2);
    EXPECT_LT(lines.size(), 10u) << lines.size() << " warning lines";
    std::vector<std::string> map;
    for (const std::string& l : lines)
        if (l.starts_with("Lookup for topic offset 0xFFFFFFFF for MAP failed") && map.size() < 3) map.push_back(l);
    EXPECT_EQ(map, std::vector<std::string>{"Lookup for topic offset 0xFFFFFFFF for MAP failed (3630 times)"});
    EXPECT_TRUE(fs::exists(out / "EUDORA.HPJ"));
}

}  // namespace
