#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "engine/server/rebuild_swap.h"
#include "engine/server/tests/rebuild/rebuild_fixture.h"
#include "tests/support/test_support.h"

using namespace qv;
namespace fs = std::filesystem;

namespace {

// Stand-in table files: the swap moves files and never reads them, so
// their text says whose they are.
class SwapTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* e : {"QVD", "QVB", "QVI"}) Put("T", e, std::string("old ") + e);
        for (const char* e : {"QVD", "QVX", "QVB"}) Put("_PACK1", e, std::string("new ") + e);
        Put("Other", "QVD", "other");
        plan = {dir.path().string(), "T", "_PACK1", "_OLD1", {"QVD", "QVB", "QVI"}, {"QVD", "QVX", "QVB"}};
    }
    void TearDown() override { QvSetSwapStepHook(nullptr); }

    void Put(const std::string& name, const std::string& ext, const std::string& text) {
        testsupport::WriteFileBytes(dir / (name + "." + ext), text);
    }
    // Every file of the folder with its text.
    std::map<std::string, std::string> Files() {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            out[e.path().filename().string()] = testsupport::ReadFileBytes(e.path());
        return out;
    }
    std::map<std::string, std::string> Old() {
        return {{"T.QVD", "old QVD"}, {"T.QVB", "old QVB"}, {"T.QVI", "old QVI"}, {"Other.QVD", "other"}};
    }
    std::map<std::string, std::string> New() {
        return {{"T.QVD", "new QVD"}, {"T.QVX", "new QVX"}, {"T.QVB", "new QVB"}, {"Other.QVD", "other"}};
    }

    testsupport::TempDir dir;
    TqvSwapPlan plan;
};

TEST_F(SwapTest, CompleteSwapLeavesOnlyTheNewTable) {
    QvSwapTableFiles(plan);
    EXPECT_EQ(Files(), New());
    EXPECT_EQ(QvRecoverTableSwaps(plan.folder), 0);
}

int gFailAt = 0;
void ThrowAt(int step) {
    if (step == gFailAt) throw std::runtime_error("injected");
}

TEST_F(SwapTest, FailureAtAnyStepLeavesAWholeTableUnderItsName) {
    // Steps 1-7 come before the new base file is in place; 100 on clear up after it.
    for (int step : {1, 2, 3, 4, 5, 6, 7, 100, 101, 102, 103}) {
        SCOPED_TRACE(step);
        SetUp();
        gFailAt = step;
        QvSetSwapStepHook(ThrowAt);
        if (step < 100) {
            EXPECT_THROW(QvSwapTableFiles(plan), std::runtime_error);
            auto expect = Old();
            // The copy stays for its owner to delete.
            for (const char* e : {"QVD", "QVX", "QVB"}) expect[std::string("_PACK1.") + e] = std::string("new ") + e;
            EXPECT_EQ(Files(), expect);
            for (const char* e : {"QVD", "QVX", "QVB"}) fs::remove(dir / (std::string("_PACK1.") + e));
        } else {
            EXPECT_NO_THROW(QvSwapTableFiles(plan));
            QvSetSwapStepHook(nullptr);
            QvRecoverTableSwaps(plan.folder);
            EXPECT_EQ(Files(), New());
        }
        QvSetSwapStepHook(nullptr);
        for (const auto& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
    }
}

int gKillAt = 0;
void KillAt(int step) {
    if (step == gKillAt) kill(getpid(), SIGKILL);
}

TEST_F(SwapTest, ProcessKilledAtAnyStepRecoversToOldOrNew) {
    for (int step = 1; step <= 104; step = step == 8 ? 100 : step + 1) {
        SCOPED_TRACE(step);
        SetUp();
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            gKillAt = step;
            QvSetSwapStepHook(KillAt);
            try {
                QvSwapTableFiles(plan);
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        const bool killed = WIFSIGNALED(status);
        EXPECT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        QvRecoverTableSwaps(plan.folder);
        auto files = Files();
        if (step == 1) {
            // Dead before the swap record existed: the copy is an orphan nobody swaps in.
            auto expect = Old();
            for (const char* e : {"QVD", "QVX", "QVB"}) expect[std::string("_PACK1.") + e] = std::string("new ") + e;
            EXPECT_EQ(files, expect);
        } else if (step <= 7) {
            // Before the new base file moved: the old table, and the copy is gone.
            EXPECT_TRUE(killed);
            EXPECT_EQ(files, Old());
        } else {
            EXPECT_EQ(files, New());
        }
        for (const auto& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
    }
}

TEST_F(SwapTest, RecordsThatAreNotOursAreLeftAlone) {
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"T.RB$", "garbage"},
        {"T.RB$", "QVRB\nT\n_PACK1\n_OLD1\nQVD\nQVD"},                   // no final line end
        {"T.RB$", "QVRB\n..\\x\n_PACK1\n_OLD1\nQVD\nQVD\n"},             // a path, not a name
        {"T.RB$", "QVRB\nT\n_PACK1\n_OLD1\nQVD,../x\nQVD\n"},            // extension with a path
        {"U.RB$", "QVRB\nT\n_PACK1\n_OLD1\nQVD\nQVD\n"},                 // written for another name
        {"T.RB$", std::string(5000, 'Q')},                              // too long
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        testsupport::WriteFileBytes(dir / c.name, c.text);
        EXPECT_EQ(QvRecoverTableSwaps(plan.folder), 0);
        auto files = Files();
        files.erase(c.name);
        auto expect = Old();
        for (const char* e : {"QVD", "QVX", "QVB"}) expect[std::string("_PACK1.") + e] = std::string("new ") + e;
        EXPECT_EQ(files, expect);
        fs::remove(dir / c.name);
    }
}

TEST_F(SwapTest, RecoveryLeavesTablesInUseAlone) {
    // What a crash after the first file went aside leaves behind.
    testsupport::WriteFileBytes(dir / "T.RB$", "QVRB\nT\n_PACK1\n_OLD1\nQVD,QVB,QVI\nQVD,QVX,QVB\n");
    fs::rename(dir / "T.QVB", dir / "_OLD1.QVB");
    EXPECT_EQ(QvRecoverTableSwaps(plan.folder, [](const std::string& t) { return t == "T"; }), 0);
    EXPECT_TRUE(fs::exists(dir / "_OLD1.QVB"));
    EXPECT_EQ(QvRecoverTableSwaps(plan.folder, [](const std::string&) { return false; }), 1);
    auto expect = Old();
    for (const char* e : {"QVD", "QVX", "QVB"}) expect.erase(std::string("_PACK1.") + e);
    EXPECT_EQ(Files(), expect);
}

TEST_F(SwapTest, FreeNamesSkipExistingTablesAndRecords) {
    EXPECT_EQ(QvFreeTableName(plan.folder, "_PACK"), "_PACK2");
    Put("_PACK2", "RB$", "x");
    EXPECT_EQ(QvFreeTableName(plan.folder, "_PACK"), "_PACK3");
    EXPECT_EQ(QvFreeTableName(plan.folder, "_REST"), "_REST1");
}

}  // namespace

namespace {

// A process that died half-way through a swap leaves the table's files set
// aside; the next engine to open the folder puts them back before anything
// reads the table.
TEST(SwapRecoveryOnOpen, AnEngineOpeningTheFolderSettlesAnInterruptedSwap) {
    testsupport::TempDir dir;
    std::vector<std::string> before;
    {
        rbtest::Server s{dir.path().string()};
        s.Build("People", 20);
        s.Build("_PACK1", 3);
        before = s.Rows("People", "ById");
    }
    const TqvSwapPlan plan{dir.path().string(), "People", "_PACK1", "_OLD1", {"QVD", "QVB"}, {"QVD", "QVB"}};
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        gKillAt = 4;  // both old files aside, nothing of the copy moved in yet
        QvSetSwapStepHook(KillAt);
        try {
            QvSwapTableFiles(plan);
        } catch (...) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_FALSE(fs::exists(dir / "People.QVD")) << "the kill left the table set aside";

    rbtest::Server again{dir.path().string()};
    EXPECT_TRUE(fs::exists(dir / "People.QVD"));
    EXPECT_EQ(again.Rows("People", "ById"), before);
}

}  // namespace
