// Finding the last of 20 000 rows by a field without an index: the locate
// engine's scan of the engine cursor against a loop of Next and
// FieldByName(...).AsString over the dataset, in the same run; prints the
// scan time as a ratio of the loop.
#include "data/vl_locate.h"
#include "data/bench/bench_page_table.h"
#include "platform/core/dialog_service.h"

#include <cstdio>

namespace {

using vlbench::kRows;

vlbench::PageTable* g_setup = nullptr;
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

}  // namespace

int main(int argc, char** argv) {
    gui::ScriptedDialogService boxes;
    gui::ScopedDialogService boxScope(boxes);
    vlbench::PageTable setup;
    setup.Make();
    g_setup = &setup;
    benchmark::RegisterBenchmark("cursor_scan", CursorScan)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("dataset_loop", DataSetLoop)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    vlbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double scan = reporter.ms["cursor_scan"], loop = reporter.ms["dataset_loop"];
    if (scan > 0 && loop > 0) std::printf("cursor scan/dataset loop = %.2f (goal: at most 0.5)\n", scan / loop);
    return 0;
}
