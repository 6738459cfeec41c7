// Paging through 10 000 rows with the published data grid: MoveBy of a page,
// then the grid's window brought up to date on the offscreen display (what a
// user would see after each page), from the first row to the end; the same
// walk with the dataset layer's own grid in the same run. Prints the library
// grid's time as a ratio of the dataset grid's. The library grid also keeps
// its scroll bar on the record's sequence number, which asks the engine
// twice a move; the dataset grid has no such bar. A warm-up round each, then
// rounds in turns (--rounds=N, default 9); each grid's median round counts.
#include "data/bench/bench_page_table.h"
#include "platform/core/dialog_service.h"
#include "controls/data/vl_dbgrid.h"
#include "controls/db/db_grid.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <QByteArray>

#include <cstdio>
#include <memory>

#include "tests/support/bench_rounds.h"

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

// One grid on its own data source; made before a round and deleted after
// it, so that only one grid follows the table while the other is timed.
struct GridRound {
    std::unique_ptr<db::TDataSource> source;
    gui::TWinControl* grid = nullptr;
    bool stoppedEarly = false;

    template <class Grid>
    void Make() {
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(g_setup->table.get());
        auto* g = new Grid(g_form);
        g->SetParent(g_form);
        g->SetBounds(0, 0, 640, 640);
        g->SetDataSource(source.get());
        if (g->VisibleRowCount() < kPage) std::fprintf(stderr, "a grid shows fewer rows than a page\n");
        grid = g;
        guitest::ProcessEvents();
    }
    void Walk() {
        if (PageThrough(grid) < kGridRows / kPage) stoppedEarly = true;
    }
    void Drop() {
        delete grid;
        grid = nullptr;
        source.reset();
    }
};

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
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 7);
    GridRound library, dataset;
    const std::vector<benchrounds::Result> r = benchrounds::Run(
        {{"library_grid", [&] { library.Walk(); }, [&] { library.Make<vl::TvlDBGrid>(); }, [&] { library.Drop(); }},
         {"dataset_grid", [&] { dataset.Walk(); }, [&] { dataset.Make<db::TCustomDBGrid>(); },
          [&] { dataset.Drop(); }}},
        rounds);
    benchrounds::Print(r, rounds);
    int status = 0;
    if (library.stoppedEarly || dataset.stoppedEarly) {
        std::fprintf(stderr, "bench_grid: a walk stopped before the end\n");
        status = 1;
    }
    benchrounds::PrintRatio("library grid / dataset grid", r[0], r[1], "<= 1.5");
    delete g_form;
    return status;
}
