// Kills a process in the middle of each rebuild and checks that the table
// is whole afterwards: the old one or the new one, never a mix.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/server/rebuild_swap.h"
#include "engine/server/tests/rebuild/rebuild_fixture.h"

using namespace qv;
using rbtest::PeopleDict;
using rbtest::Sorted;
namespace fs = std::filesystem;

namespace {

enum class Op { Reindex, Pack, Restructure };

TqvDataDictionary Restructured() {
    TqvDataDictionary nd;
    nd.AddField("Id", "", qvftInt32, 10, 0, true);
    nd.AddField("Label", "", qvftShortString, 30, 0, false);
    nd.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
    nd.AddFile("", "QVX", 4096, 2);  // the BLOB file changes its name too
    std::uint32_t label = 1, id = 0;
    nd.AddIndex("ByLabel", "", 0, 1, &label, true, true, false);
    nd.AddIndex("ById", "", 0, 1, &id, false, true, false);
    return nd;
}

// Where the child dies: after `records` records were read, or at swap step `swapStep`.
struct KillPoint {
    std::uint32_t records = 0xFFFFFFFFu;
    int swapStep = 0;
};

int gSwapKill = 0;
void KillAtSwap(int step) {
    if (step == gSwapKill) kill(getpid(), SIGKILL);
}

[[noreturn]] void Child(const std::string& folder, Op op, KillPoint at) {
    rbtest::Server s(folder);
    gSwapKill = at.swapStep;
    QvSetSwapStepHook(KillAtSwap);
    std::int32_t id = -1;
    DBIResult r = 0;
    switch (op) {
        case Op::Reindex: r = s.rebuilder.TableReindex(s.db, "People", "ByName", 0, id); break;
        case Op::Pack: r = s.rebuilder.TablePack(s.db, "People", id); break;
        case Op::Restructure: {
            // A table an earlier run restructured already is restructured again alike.
            std::uint32_t c = s.Open("People");
            const bool done = s.engine.Cursors().Find(c)->table->dictionary.GetFieldNumber("Label") >= 0;
            s.engine.CursorClose(c);
            r = s.rebuilder.TableRestructure(s.db, "People", Restructured(),
                                             {"Id", done ? "Label" : "Label=Name", "Notes"}, id);
            break;
        }
    }
    if (r != 0) _exit(3);
    std::uint8_t rec[32], found = 0;
    for (;;) {
        s.rebuilder.GetRebuildStatus(static_cast<std::uint32_t>(id), found, rec);
        if (GetU32(rec + 12) >= at.records) kill(getpid(), SIGKILL);
        if (!found || rec[28]) break;
    }
    // Joined, so that a checking runtime finds no thread left behind.
    s.rebuilder.WaitAll();
    _exit(!found ? 4 : GetU32(rec + 24) == 0 ? 0 : 5);
}

class KillTest : public ::testing::TestWithParam<Op> {
protected:
    // Records with names out of id order, BLOBs, and some deleted slots.
    void MakeTable() {
        rbtest::Server s(dir.path().string());
        s.Build("People", 260);
        std::uint32_t c = s.Open("People", "ById");
        std::vector<std::uint8_t> r(PeopleDict().GetRecordLength());
        while (s.engine.RecordGetNext(c, false, r.data(), r.size()) == 0)
            if (GetU32(r.data()) % 5 == 0) {
                ASSERT_EQ(s.engine.RecordDelete(c, nullptr, 0), 0);
            }
        s.engine.CursorClose(c);
        oldRows = s.Rows("People", "ById");
        oldByName = s.Rows("People", "ByName");
        s.rebuilder.WaitAll();
    }

    // The table must read as the old one or the restructured one, with
    // every index holding every record in order.
    void CheckWhole(const std::string& what) {
        SCOPED_TRACE(what);
        rbtest::Server s(dir.path().string());
        // The engine's open path settles cut-short swaps of the folder.
        QvRecoverTableSwaps(s.dir);
        std::uint32_t c = s.Open("People");
        const TqvDataDictionary& d = s.engine.Cursors().Find(c)->table->dictionary;
        const bool restructured = d.GetFieldNumber("Label") >= 0;
        s.engine.CursorClose(c);
        auto rows = s.Rows("People", "ById");
        if (restructured) {
            ASSERT_EQ(rows.size(), oldRows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                std::string expect = oldRows[i];
                expect.replace(expect.find("|Name="), 6, "|Label=");
                EXPECT_EQ(rows[i], expect);
            }
            EXPECT_EQ(Sorted(s.Rows("People", "ByLabel")), Sorted(rows));
        } else {
            EXPECT_EQ(rows, oldRows);
            EXPECT_EQ(s.Rows("People", "ByName").size(), oldByName.size());
            EXPECT_EQ(Sorted(s.Rows("People", "ByName")), Sorted(oldByName));
            std::vector<std::string> names;
            for (const auto& row : s.Rows("People", "ByName")) names.push_back(rbtest::Field(row, "Name"));
            EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
        }
        EXPECT_EQ(s.RecCount("People"), oldRows.size());
        // Nothing half-done is left to confuse a later rebuild.
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string n = e.path().filename().string();
            EXPECT_TRUE(n.rfind("_OLD", 0) != 0 && n.find(".RB$") == std::string::npos) << n;
        }
    }

    void RunAndKill(KillPoint at, const std::string& what) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) Child(dir.path().string(), GetParam(), at);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << what;
        CheckWhole(what);
    }

    testsupport::TempDir dir;
    std::vector<std::string> oldRows, oldByName;
};

TEST_P(KillTest, TableIsWholeWhereverTheProcessDies) {
    MakeTable();
    // Mid-walk kills, then (pack, restructure) one at each swap step; a
    // later kill point leaves the table as the previous run did.
    std::vector<KillPoint> points = {{0, 0}, {1, 0}, {50, 0}, {150, 0}, {207, 0}};
    if (GetParam() != Op::Reindex)
        for (int step : {1, 2, 3, 4, 5, 100, 101, 102}) points.push_back({0xFFFFFFFFu, step});
    points.push_back({0xFFFFFFFFu, 0});  // runs to the end
    for (const KillPoint& p : points)
        RunAndKill(p, "records " + std::to_string(p.records) + " swap step " + std::to_string(p.swapStep));
}

INSTANTIATE_TEST_SUITE_P(Rebuilds, KillTest, ::testing::Values(Op::Reindex, Op::Pack, Op::Restructure),
                         [](const auto& info) {
                             return std::string(info.param == Op::Reindex ? "Reindex"
                                                : info.param == Op::Pack  ? "Pack"
                                                                          : "Restructure");
                         });

}  // namespace
