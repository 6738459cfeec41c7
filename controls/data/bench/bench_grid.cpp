// Paging through 10 000 rows with the published data grid: MoveBy of a page,
// then the grid's window brought up to date on the offscreen display (what a
// user would see after each page), from the first row to the end; the same
// walk with the dataset layer's own grid in the same run. Prints the library
// grid's time as a ratio of the dataset grid's. The library grid also keeps
// its scroll bar on the record's sequence number, which asks the engine
// twice a move; the dataset grid has no such bar.
#include "data/bench/bench_page_table.h"
#include "platform/core/dialog_service.h"
#include "controls/data/vl_dbgrid.h"
#include "controls/db/db_grid.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <QByteArray>

#include <cstdio>

namespace {

constexpr int kGridRows = 10000;
constexpr int kPage = 20;  // rows per MoveBy: both grids show at least this many

vlbench::PageTable* g_setup = nullptr;
gui::TForm* g_form = nullptr;

// Walks the table a page at a time and paints what each move left to paint;
// returns the number of pages so a run can check it reached the end.
int PageThrough(gui::TWinControl* grid) {
    vl::TvlTable& t = *g_setup->table;
    int pages = 0;
    t.First();
    while (!t.Eof()) {
        t.MoveBy(kPage);
        grid->Update();
        ++pages;
    }
    return pages;
}

template <class Grid, class Bind>
void RunGrid(benchmark::State& state, Bind bind) {
    db::TDataSource source(nullptr);
    source.SetDataSet(g_setup->table.get());
    auto* grid = new Grid(g_form);
    grid->SetParent(g_form);
    grid->SetBounds(0, 0, 640, 640);
    bind(*grid, source);
    guitest::ProcessEvents();
    for (auto _ : state) {
        if (PageThrough(grid) < kGridRows / kPage) state.SkipWithError("the walk stopped early");
    }
    delete grid;
}

void LibraryGrid(benchmark::State& state) {
    RunGrid<vl::TvlDBGrid>(state, [](vl::TvlDBGrid& g, db::TDataSource& s) {
        g.SetDataSource(&s);
        if (g.VisibleRowCount() < kPage) std::fprintf(stderr, "the library grid shows fewer rows than a page\n");
    });
}

void DataSetGrid(benchmark::State& state) {
    RunGrid<db::TCustomDBGrid>(state, [](db::TCustomDBGrid& g, db::TDataSource& s) {
        g.SetDataSource(&s);
        if (g.VisibleRowCount() < kPage) std::fprintf(stderr, "the dataset grid shows fewer rows than a page\n");
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    gui::InitApplication();
    gui::ScriptedDialogService boxes;
    gui::ScopedDialogService boxScope(boxes);
    vlbench::PageTable setup;
    setup.Make(kGridRows);
    g_setup = &setup;
    g_form = new gui::TForm(gui::Application);
    g_form->SetBounds(0, 0, 660, 680);
    g_form->Show();
    benchmark::RegisterBenchmark("library_grid", LibraryGrid)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("dataset_grid", DataSetGrid)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    vlbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double library = reporter.ms["library_grid"], dataset = reporter.ms["dataset_grid"];
    if (library > 0 && dataset > 0)
        std::printf("library grid/dataset grid = %.2f (goal: at most 1.5)\n", library / dataset);
    delete g_form;
    return 0;
}
