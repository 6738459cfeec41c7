// The grid over a real engine table where the engine itself is exercised:
// a column change followed by an append or a cancel (which once stalled for
// the engine's whole reply time-out), and the vertical bar in sequence mode
// reading and setting the engine's record numbers.
#include "controls/data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "platform/core/clock.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace gui;
using namespace vl;

// The system clock run twenty times fast: an engine time-out of 30 s ends
// after 1.5 s, so a stalled call fails the test quickly instead of hanging.
class FastClock final : public plat::Clock {
public:
    std::uint32_t TickCount() override { return base_.TickCount() * 20u; }
    double Now() override { return base_.Now(); }

private:
    plat::SystemClock base_;
};

class GridEngineTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(5);
        form = new TForm(Application);
        form->SetBounds(10, 10, 600, 400);
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        grid = new TvlCustomDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 560, 300);
        pages->Open();
        grid->SetDataSource(source.get());
        form->Show();
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }
    // Runs `work` and answers how long it took in milliseconds.
    template <class F>
    long long Timed(F&& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    }
    TForm* form = nullptr;
    std::unique_ptr<db::TDataSource> source;
    TvlCustomDBGrid* grid = nullptr;
};

TEST_F(GridEngineTest, AppendAndCancelAfterAColumnChangeDoNotStall) {
    FastClock fast;
    plat::ScopedClock scope(fast);
    pages->Last();
    grid->SetCol(4);
    EXPECT_EQ(grid->Col(), 4);
    long long ms = Timed([&] { pages->Append(); });
    EXPECT_EQ(pages->State(), db::dsInsert);
    EXPECT_LT(ms, 1000);
    ms = Timed([&] { pages->Cancel(); });
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(Id(), 5);
    // The same after the column moves by the keyboard, with a record
    // posted in between.
    grid->SetCol(3);
    pages->Append();
    pages->FieldByName("Application")->SetAsString("Demo");
    pages->FieldByName("HelpId")->SetAsInteger(6);
    ms = Timed([&] { pages->Post(); });
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(pages->RecordCount(), 6);
    EXPECT_TRUE(dialogs.Requests().empty());
}

}  // namespace
