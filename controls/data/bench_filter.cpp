// Reading a 20 000-row page table through the library's table, once without
// a filter and once through an expression filter that every row passes, in
// the same run; prints the filtered time as a ratio of the unfiltered one.
#include "controls/data/vl_table.h"
#include "engine/client/message_box.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace {

constexpr int kRows = 20000;

struct Setup {
    testsupport::TempDir dir;
    std::shared_ptr<db::TEngineDriver> driver;
    std::string folder;
    std::unique_ptr<vl::TvlTable> table;

    void Make() {
        std::filesystem::create_directories(dir.path() / "home");
        plat::SetDataHome((dir.path() / "home").string());
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        folder = dir.path().string() + "/";
        db::TTable t(nullptr);
        t.DatabaseName = folder;
        t.TableName = "Pages.QVD";
        t.FieldDefs().Add("Application", db::ftString, 30, true);
        t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
        t.FieldDefs().Add("Title", db::ftString, 60);
        t.FieldDefs().Add("TopicPopup", db::ftString, 1);
        t.IndexDefs().Add("", "Application;HelpId", db::ixPrimary);
        t.CreateTable();
        t.Open();
        for (int i = 1; i <= kRows; ++i) {
            t.Append();
            t.FieldByName("Application")->SetAsString("Demo");
            t.FieldByName("HelpId")->SetAsInteger(i);
            t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
            t.FieldByName("TopicPopup")->SetAsString(i % 3 == 1 ? "T" : "P");
            t.Post();
        }
        t.Close();
        table = std::make_unique<vl::TvlTable>(nullptr);
        table->DatabaseName = folder;
        table->SetTableName("Pages.QVD");
        table->Open();
    }
};

Setup* g_setup = nullptr;

void ReadAll(benchmark::State& state, const char* filter) {
    plat::StringList lines;
    if (filter[0]) lines.Add(filter);
    g_setup->table->SetvlFilter(lines);
    for (auto _ : state) {
        int n = 0;
        std::int64_t sum = 0;
        for (g_setup->table->First(); !g_setup->table->Eof(); g_setup->table->Next()) {
            sum += g_setup->table->FieldByName("HelpId")->AsInteger();
            ++n;
        }
        if (n != kRows) state.SkipWithError("row count");
        benchmark::DoNotOptimize(sum);
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.benchmark_name();
            ms[name.substr(0, name.find('/'))] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qv::RecordingMessageBoxService boxes;
    qv::ScopedEngineMessageBoxService boxScope(boxes);
    Setup setup;
    setup.Make();
    g_setup = &setup;
    benchmark::RegisterBenchmark("unfiltered", [](benchmark::State& s) { ReadAll(s, ""); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("filtered", [](benchmark::State& s) {
        ReadAll(s, "HelpId >= 0 AND (TopicPopup <> \"X\")");
    })->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double u = reporter.ms["unfiltered"], f = reporter.ms["filtered"];
    if (u > 0 && f > 0) std::printf("filtered/unfiltered = %.2f (goal: at most 1.5)\n", f / u);
    setup.table.reset();
    db::Session().SetDriver(nullptr);
    setup.driver.reset();
    plat::SetDataHome("");
    return 0;
}
