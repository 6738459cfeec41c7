// Walking a 20,000-row engine table (an integer key, a 40-character title and
// a memo of 2 KB per row) from first to last, in one run:
//   raw        the entry points alone: DbiGetNextRecord until the end, the
//              peer the dataset is measured against;
//   walk       TTable First/Next until Eof;
//   walk+grid  the same with a data link asking for a 25-row window, as a
//              grid does.
// The program prints each walk over raw; the dataset aims at 2 or less.
#include <benchmark/benchmark.h>

#include "engine/api/dbi_api.h"
#include "platform/core/paths.h"
#include "data/data_source.h"
#include "data/engine_driver.h"
#include "data/tables.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace db;

namespace {

constexpr int kRows = 20000;

std::filesystem::path g_root;
std::string g_folder;

void CreateTable() {
    g_root = std::filesystem::temp_directory_path() / ("tavrin_walk_bench_" + std::to_string(::getpid()));
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root / "home");
    std::filesystem::create_directories(g_root / "data");
    plat::SetDataHome((g_root / "home").string());
    Session().SetDriver(std::make_shared<TEngineDriver>());
    g_folder = (g_root / "data").string() + "/";
    TTable t(nullptr);
    t.DatabaseName = g_folder;
    t.TableName = "Pages";
    t.FieldDefs().Add("Id", ftInteger, 0, true);
    t.FieldDefs().Add("Title", ftString, 40);
    t.FieldDefs().Add("Body", ftMemo);
    t.IndexDefs().Add("", "Id", ixPrimary | ixUnique);
    t.CreateTable();
    t.Open();
    const std::string body = "{\\rtf1\\ansi " + std::string(2048, 'w') + "}";
    for (int id = 1; id <= kRows; ++id) {
        t.Append();
        t.FieldByName("Id")->SetAsInteger(id);
        t.FieldByName("Title")->SetAsString("Page number " + std::to_string(id));
        t.FieldByName("Body")->SetAsString(body);
        t.Post();
    }
    t.Close();
}

void Raw(benchmark::State& state) {
    TTable t(nullptr);
    t.DatabaseName = g_folder;
    t.TableName = "Pages";
    t.Open();
    std::vector<std::uint8_t> rec(t.RecordSize());
    for (auto _ : state) {
        int n = 0;
        qv::DbiSetToBegin(t.Handle());
        while (qv::DbiGetNextRecord(t.Handle(), 0, rec.data(), nullptr) == 0) ++n;
        if (n != kRows) state.SkipWithError("row count");
    }
}

void Walk(benchmark::State& state, int window) {
    TTable t(nullptr);
    t.DatabaseName = g_folder;
    t.TableName = "Pages";
    TDataSource src(nullptr);
    src.SetDataSet(&t);
    TDataLink grid;
    grid.SetBufferCount(window);
    if (window > 1) grid.SetDataSource(&src);
    t.Open();
    for (auto _ : state) {
        int n = 0;
        for (t.First(); !t.Eof(); t.Next()) ++n;
        if (n != kRows) state.SkipWithError("row count");
    }
    grid.SetDataSource(nullptr);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.benchmark_name();
            ms[name.substr(0, name.find("/iterations"))] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    CreateTable();
    benchmark::RegisterBenchmark("raw", Raw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("walk", [](benchmark::State& s) { Walk(s, 1); })
        ->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("walk+grid", [](benchmark::State& s) { Walk(s, 25); })
        ->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double raw = reporter.ms["raw"];
    if (raw > 0)
        for (const char* name : {"walk", "walk+grid"})
            if (reporter.ms.count(name)) std::printf("%-10s / raw = %.2f\n", name, reporter.ms[name] / raw);
    Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return 0;
}
