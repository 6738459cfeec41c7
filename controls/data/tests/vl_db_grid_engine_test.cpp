// The grid over a real engine table where the engine itself is exercised:
// a column change followed by an append or a cancel (which once stalled for
// the engine's whole reply time-out), and the vertical bar in sequence mode
// reading and setting the engine's record numbers.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "engine/api/dbi_api.h"
#include "platform/core/clock.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

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
        MakePageTable(Rows());
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
    virtual int Rows() const { return 5; }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }
    void Scroll(int code, int pos = 0) {
        grid->Perform(WM_VSCROLL, MAKEWPARAM(code, static_cast<unsigned>(pos)), 0);
    }
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

namespace {

// Forty records: the bar reads and sets the engine's own sequence numbers.
class GridSequenceTest : public GridEngineTest {
protected:
    int Rows() const override { return 40; }
};

TEST_F(GridSequenceTest, TheBarFollowsAndSetsTheEnginesSequenceNumbers) {
    grid->UpdateScrollBar();
    ASSERT_TRUE(grid->SequenceScrollBar());  // the engine's table cursor tells them
    int lo = 0, hi = 0;
    grid->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_EQ(hi, 200);
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), 0);
    // Record n of 40 stands at (n - 1) * 200 / 39.
    pages->MoveBy(10);
    EXPECT_EQ(Id(), 11);
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), 10 * 200 / 39);
    // The thumb at p goes to record p * 40 / 200 + 1.
    struct {
        int pos, id;
    } thumbs[] = {{100, 21}, {5, 2}, {199, 40}, {0, 1}, {200, 40}};
    for (const auto& t : thumbs) {
        SCOPED_TRACE(t.pos);
        Scroll(SB_THUMBPOSITION, t.pos);
        EXPECT_EQ(Id(), t.id);
        // What the grid shows is the record the cursor went to.
        EXPECT_EQ(grid->DataLink().DataSet()->FieldByName("HelpId")->AsInteger(), t.id);
    }
    // A record being edited is posted before the jump.
    pages->First();
    pages->Edit();
    pages->FieldByName("Title")->SetAsString("Changed");
    Scroll(SB_THUMBPOSITION, 100);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Id(), 21);
    pages->First();
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Changed");
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(GridEngineTest, TheBarsLinesPagesAndSimpleThumb) {
    // Line down on the last record never appends; line up drops nothing.
    pages->Last();
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Id(), 5);
    Scroll(SB_LINEUP);
    EXPECT_EQ(Id(), 4);
    Scroll(SB_TOP);
    EXPECT_EQ(Id(), 1);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(Id(), 5);
}

}  // namespace

namespace {

TEST_F(GridEngineTest, TheTitleFontFollowsTheParentUntilItIsSetApart) {
    ASSERT_TRUE(grid->ParentFont());
    const int titleBefore = grid->RowHeights(0);
    form->Font().SetSize(form->Font().Size() * 2);
    EXPECT_EQ(grid->Font().Size(), form->Font().Size());
    EXPECT_EQ(grid->TitleFont().Size(), form->Font().Size());
    EXPECT_GT(grid->RowHeights(0), titleBefore);  // laid out again with the larger title
    // A title font of its own ends the following, and lays out the titles.
    grid->TitleFont().SetSize(8);
    EXPECT_FALSE(grid->ParentFont());
    const int titleSmall = grid->RowHeights(0);
    EXPECT_LT(titleSmall, grid->DefaultRowHeight() + 6);
    form->Font().SetSize(form->Font().Size() + 4);
    EXPECT_EQ(grid->TitleFont().Size(), 8);
    EXPECT_EQ(grid->RowHeights(0), titleSmall);
    // Following again takes the parent's font into both.
    grid->SetParentFont(true);
    EXPECT_EQ(grid->TitleFont().Size(), form->Font().Size());
    EXPECT_TRUE(grid->ParentFont());
}

}  // namespace

namespace {

// The bar reads the engine's sequence numbers with the engine's boxes kept
// back, for this thread only: while it reads, an engine box raised on
// another thread is shown, and so is a box that is not the engine's. Every
// request waits for its reply here, so the wait hook runs inside the read.
TEST_F(GridSequenceTest, TheBarKeepsBackOnlyItsOwnThreadsEngineBoxes) {
    qv::DbiSetHandOverToIdleServer(false);
    struct Restore {
        ~Restore() { qv::DbiSetHandOverToIdleServer(true); }
    } restore;
    dialogs.Clear();
    int turns = 0, otherThreadShown = 0, thisThreadKeptBack = 0, plainShown = 0;
    bool busy = false;
    std::function<void()> served = plat::SetWaitHook({});
    plat::SetWaitHook([&] {
        served();
        if (busy) return;
        busy = true;
        ++turns;
        std::size_t before = dialogs.Requests().size();
        std::thread([] { qv::DbiBatchMove(); }).join();  // not supported: the engine says so in a box
        otherThreadShown += dialogs.Requests().size() > before ? 1 : 0;
        before = dialogs.Requests().size();
        qv::DbiBatchMove();
        thisThreadKeptBack += dialogs.Requests().size() == before ? 1 : 0;
        before = dialogs.Requests().size();
        gui::MessageBox("Not the engine's", "Test", gui::MB_OK);
        plainShown += dialogs.Requests().size() > before ? 1 : 0;
        busy = false;
    });
    grid->UpdateScrollBar();
    plat::SetWaitHook(served);
    EXPECT_TRUE(grid->SequenceScrollBar());
    ASSERT_GT(turns, 0);
    EXPECT_GT(thisThreadKeptBack, 0);  // some turns ran inside the bar's quiet read
    EXPECT_EQ(otherThreadShown, turns);
    EXPECT_EQ(plainShown, turns);
    // Every box shown is one of the above: the bar's own read showed none.
    EXPECT_EQ(dialogs.Requests().size(),
              static_cast<std::size_t>(otherThreadShown + plainShown + (turns - thisThreadKeptBack)));
    // After the read this thread's engine boxes are shown again.
    const std::size_t before = dialogs.Requests().size();
    qv::DbiBatchMove();
    EXPECT_EQ(dialogs.Requests().size(), before + 1);
}

TEST_F(GridSequenceTest, PerfectRowFitEndsTheGridWithItsLastWholeRow) {
    grid->SetOptions(grid->Options() | Opt(dgPerfectRowFit));
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "no horizontal bar" : "horizontal bar");
        pages->FieldByName("Title")->SetDisplayWidth(wide ? 8 : 60);
        pages->FieldByName("Application")->SetDisplayWidth(wide ? 8 : 30);
        grid->SetBounds(0, 0, wide ? 1200 : 300, 203);
        const int rows = grid->VisibleRowCount();
        const TRect last = grid->CellRect(0, grid->RowCount() - 1);
        const int base = last.Top + grid->DefaultRowHeight() + 1;
        const int fit = grid->PerfectRowFitHeight();
        EXPECT_EQ(fit, wide ? base + 4 : GetSystemMetrics(SM_CYHSCROLL) + base + 4);
        // At run time the grid keeps the height it was given.
        EXPECT_EQ(grid->Height(), 203);
        // At the fitted height the same rows show whole, and no room is left for another.
        grid->SetBounds(0, 0, grid->Width(), fit);
        EXPECT_EQ(grid->VisibleRowCount(), rows);
        EXPECT_EQ(grid->PerfectRowFitHeight(), fit);
    }
}

}  // namespace

namespace {

// Text on a colour the device would dither goes through the shared bitmap;
// what reaches the cell is what the direct way draws.
TEST(GridTextTest, TheDitheredWayDrawsWhatTheDirectWayDraws) {
    InitApplication();
    for (db::TAlignment alignment : {db::taLeftJustify, db::taCenter, db::taRightJustify}) {
        SCOPED_TRACE(static_cast<int>(alignment));
        TBitmap direct(120, 24), dithered(120, 24);
        for (TBitmap* b : {&direct, &dithered}) {
            b->Canvas().Brush().SetColor(clWhite);
            b->Canvas().FillRect(Rect(0, 0, 120, 24));
            b->Canvas().Brush().SetColor(RGB(200, 180, 90));
            b->Canvas().Font().SetColor(clBlack);
        }
        const TRect cell = Rect(10, 2, 110, 22);
        WriteText(direct.Canvas(), cell, 2, 2, "Page 12", alignment);
        WriteDitheredText(dithered.Canvas(), cell, 2, 2, "Page 12", alignment);
        // Same background in the cell, nothing outside it, the text in the
        // same columns (right alignment may sit one pixel apart).
        int inkDirect = 0, inkDithered = 0, firstDirect = -1, firstDithered = -1;
        for (int x = 0; x < 120; ++x)
            for (int y = 0; y < 24; ++y) {
                const bool inCell = x >= cell.Left && x < cell.Right && y >= cell.Top && y < cell.Bottom;
                const TColor a = direct.Canvas().Pixel(x, y), b = dithered.Canvas().Pixel(x, y);
                if (!inCell) {
                    EXPECT_EQ(b, clWhite) << x << "," << y;
                    continue;
                }
                if (a == clBlack || (a != RGB(200, 180, 90) && a != clWhite)) {
                    ++inkDirect;
                    if (firstDirect < 0 || x < firstDirect) firstDirect = x;
                }
                if (b == clBlack || (b != RGB(200, 180, 90) && b != clWhite)) {
                    ++inkDithered;
                    if (firstDithered < 0 || x < firstDithered) firstDithered = x;
                }
            }
        EXPECT_GT(inkDirect, 10);
        EXPECT_NEAR(inkDithered, inkDirect, inkDirect / 5);
        EXPECT_NEAR(firstDithered, firstDirect, 1);
        EXPECT_EQ(dithered.Canvas().Pixel(cell.Right - 2, cell.Bottom - 2), RGB(200, 180, 90));
    }
}

}  // namespace

namespace {

// What a repaint inside an engine call's wait may do: read what the record
// window holds, but no BLOB (the cursor belongs to the waiting call). The
// BLOB is read when asked again outside the wait, and the windows repaint.
TEST_F(GridEngineTest, AReadInsideAnEngineWaitLeavesTheBlobForLater) {
    pages->First();
    pages->Edit();
    pages->FieldByName("Body")->SetAsString("First body");
    pages->Post();
    pages->Close();
    pages->Open();  // the memo is not read yet
    plat::TakeDeferredRepaint();
    // Every request waits for its reply, as over a transport.
    qv::DbiSetHandOverToIdleServer(false);
    struct Restore {
        ~Restore() { qv::DbiSetHandOverToIdleServer(true); }
    } restore;
    std::vector<std::string> seen;
    std::function<void()> gui = plat::SetWaitHook({});
    plat::SetWaitHook([&] {
        gui();
        if (seen.size() < 3) {
            seen.push_back(pages->FieldByName("Title")->AsString() + "|" + pages->FieldByName("Body")->AsString());
        }
    });
    FastClock fast;
    {
        plat::ScopedClock scope(fast);
        const long long ms = Timed([&] { pages->Last(); });
        EXPECT_LT(ms, 1000);
    }
    plat::SetWaitHook(gui);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "Page 1|");  // the window's own fields, no BLOB
    EXPECT_TRUE(plat::TakeDeferredRepaint());
    EXPECT_EQ(Id(), 5);
    pages->First();
    EXPECT_EQ(pages->FieldByName("Body")->AsString(), "First body");
}

}  // namespace
