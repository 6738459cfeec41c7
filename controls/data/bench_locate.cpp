// Finding the last of 20 000 rows by a field without an index: the locate
// engine's scan of the engine cursor against a loop of Next and
// FieldByName(...).AsString over the dataset, in the same run; prints the
// scan time as a ratio of the loop.
#include "controls/data/vl_locate.h"
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
const std::string kLast = "Page " + std::to_string(kRows);

void CursorScan(benchmark::State& state) {
    vl::TvlTable& t = *g_setup->table;
    for (auto _ : state) {
        t.First();
        if (!vl::LocateFieldValue(true, &t, "Title", kLast, vl::mtExactMatch, true) ||
            t.FieldByName("HelpId")->AsInteger() != kRows)
            state.SkipWithError("not found");
    }
}

void DataSetLoop(benchmark::State& state) {
    vl::TvlTable& t = *g_setup->table;
    for (auto _ : state) {
        bool found = false;
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName("Title")->AsString() == kLast) {
                found = true;
                break;
            }
        if (!found) state.SkipWithError("not found");
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
    benchmark::RegisterBenchmark("cursor_scan", CursorScan)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("dataset_loop", DataSetLoop)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double scan = reporter.ms["cursor_scan"], loop = reporter.ms["dataset_loop"];
    if (scan > 0 && loop > 0) std::printf("cursor scan/dataset loop = %.2f (goal: at most 0.5)\n", scan / loop);
    setup.table.reset();
    db::Session().SetDriver(nullptr);
    setup.driver.reset();
    plat::SetDataHome("");
    return 0;
}
