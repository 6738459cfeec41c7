// The ends of a range on the page table, as the editor meets them: every
// page of one project shares the range's one key value (Application), so a
// search for an end lands among thousands of equal keys. In one run, on one
// table holding a small project (1,000 pages) and a big one (16,000):
//   last     First then Last inside the project's range;
//   append   Append then Cancel (the dataset goes to the range's end);
// each the median of several repetitions after a warm-up. The program
// prints big / small for both; the goal is 2 or less (the cost must grow
// with the depth of the index, not with the project).
#include <benchmark/benchmark.h>

#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/core/paths.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

using namespace db;

namespace {

constexpr int kSmall = 1000, kBig = 16000;

std::filesystem::path g_root;
std::string g_folder;

void CreateTable() {
    g_root = std::filesystem::temp_directory_path() / ("tavrin_range_bench_" + std::to_string(::getpid()));
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root / "home");
    std::filesystem::create_directories(g_root / "data");
    plat::SetDataHome((g_root / "home").string());
    Session().SetDriver(std::make_shared<TEngineDriver>());
    g_folder = (g_root / "data").string() + "/";
    TDatabase database(nullptr);
    database.DatabaseName = "RangeBench";
    database.Directory = g_folder;
    database.Open();
    TTable t(nullptr);
    t.DatabaseName = "RangeBench";
    t.TableName = "Pages.QVD";
    t.FieldDefs().Add("Application", ftString, 30, true);
    t.FieldDefs().Add("HelpId", ftInteger, 0, true);
    t.FieldDefs().Add("Title", ftString, 60);
    t.IndexDefs().Add("", "Application;HelpId", ixPrimary);
    t.CreateTable();
    t.Open();
    // One transaction: the fill is not what is measured.
    database.StartTransaction();
    for (const auto& [app, rows] : {std::pair{"Small", kSmall}, std::pair{"Big", kBig}})
        for (int i = 1; i <= rows; ++i) {
            t.Append();
            t.FieldByName("Application")->SetAsString(app);
            t.FieldByName("HelpId")->SetAsInteger(i);
            t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
            t.Post();
        }
    database.Commit();
    t.Close();
}

// The page table with its range on one project.
struct Ranged {
    TTable t{nullptr};
    explicit Ranged(const char* app) {
        t.DatabaseName = g_folder;
        t.TableName = "Pages.QVD";
        t.Open();
        t.SetRange({TValue(std::string(app))}, {TValue(std::string(app))});
    }
};

void Last(benchmark::State& state, const char* app, int rows) {
    Ranged r(app);
    for (auto _ : state) {
        r.t.First();
        r.t.Last();
        if (r.t.FieldByName("HelpId")->AsInteger() != rows) state.SkipWithError("not on the last page");
    }
}

void Append(benchmark::State& state, const char* app) {
    Ranged r(app);
    for (auto _ : state) {
        r.t.Append();
        r.t.Cancel();
    }
}

class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

benchmark::internal::Benchmark* Setup(benchmark::internal::Benchmark* b) {
    return b->Repetitions(7)->ReportAggregatesOnly(true)->MinWarmUpTime(0.05)->MinTime(0.05)->Unit(
        benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    CreateTable();
    Setup(benchmark::RegisterBenchmark("last/small", [](benchmark::State& s) { Last(s, "Small", kSmall); }));
    Setup(benchmark::RegisterBenchmark("last/big", [](benchmark::State& s) { Last(s, "Big", kBig); }));
    Setup(benchmark::RegisterBenchmark("append/small", [](benchmark::State& s) { Append(s, "Small"); }));
    Setup(benchmark::RegisterBenchmark("append/big", [](benchmark::State& s) { Append(s, "Big"); }));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    int status = 0;
    for (const char* what : {"last", "append"}) {
        const double small = reporter.ms[std::string(what) + "/small"], big = reporter.ms[std::string(what) + "/big"];
        if (small <= 0 || big <= 0) {
            status = 1;
            continue;
        }
        std::printf("%-6s %d rows / %d rows = %.2f (goal <= 2)\n", what, kBig, kSmall, big / small);
    }
    Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return status;
}
