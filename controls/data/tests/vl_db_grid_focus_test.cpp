// The grid beside other controls on one data source: whatever moves the
// dataset (code, a locate, a post, a search typed into another edit) leaves
// the keyboard where the user put it. The grid only follows with its bar; it
// takes the focus for what the user does to it.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_edit.h"
#include "controls/data/vl_dbgrid.h"
#include "controls/data/vl_incremental_search.h"
#include "data/vl_locate.h"
#include "platform/core/clock.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <functional>

namespace {

using namespace gui;
using namespace vl;

// A grid that counts the scroll messages it is sent.
class WatchedGrid : public TvlDBGrid {
public:
    using TvlDBGrid::TvlDBGrid;
    int scrolls = 0;

protected:
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_VSCROLL || m.Msg == WM_HSCROLL) ++scrolls;
        TvlDBGrid::WndProc(m);
    }
};

class GridBesideAnEdit : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(40);  // enough for the bar to follow the engine's record numbers
        pages->Open();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        form = new TForm(Application);
        form->SetBounds(10, 10, 600, 400);
        grid = new WatchedGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 560, 250);
        grid->SetDataSource(source.get());
        edit = new TvlDBEdit(form);
        edit->SetParent(form);
        edit->SetBounds(10, 300, 200, 21);
        edit->SetDataSource(source.get());
        edit->SetDataField("Title");
        search = new TvlIncrementalSearch(form);
        search->SetParent(form);
        search->SetBounds(250, 300, 200, 21);
        search->SetDataSource(source.get());
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }

    std::unique_ptr<db::TDataSource> source;
    TForm* form = nullptr;
    WatchedGrid* grid = nullptr;
    TvlDBEdit* edit = nullptr;
    TvlIncrementalSearch* search = nullptr;
};

TEST_F(GridBesideAnEdit, MovingTheDatasetLeavesTheFocusInTheEdit) {
    struct Move {
        const char* what;
        std::function<void()> run;
        int id;
    };
    const Move moves[] = {
        {"next", [&] { pages->Next(); }, 2},
        {"move by 20", [&] { pages->MoveBy(20); }, 22},
        {"last", [&] { pages->Last(); }, 40},
        {"first", [&] { pages->First(); }, 1},
        {"locate", [&] { LocateFieldValue(true, pages.get(), "Title", "Page 30", mtExactMatch, false); }, 30},
        {"post", [&] {
             pages->Edit();
             pages->FieldByName("Title")->SetAsString("Page 30 changed");
             pages->Post();
         }, 30},
        {"prior", [&] { pages->Prior(); }, 29},
    };
    edit->SetFocus();
    guitest::ProcessEvents();
    ASSERT_TRUE(edit->Focused());
    for (const Move& m : moves) {
        SCOPED_TRACE(m.what);
        const int before = grid->GetScrollPos(SB_VERT);
        m.run();
        guitest::ProcessEvents();
        EXPECT_EQ(Id(), m.id);
        EXPECT_TRUE(edit->Focused()) << "the grid took the keyboard";
        EXPECT_FALSE(grid->Focused());
        EXPECT_EQ(grid->scrolls, 0) << "a position set by the grid came back as a scroll request";
        // The bar follows the record: record n of 40 stands at (n - 1) * 200 / 39.
        EXPECT_EQ(grid->GetScrollPos(SB_VERT), (m.id - 1) * 200 / 39) << "from " << before;
    }
}

// Keys go where a keyboard sends them: to the control that has the focus.
void TypeToFocused(const std::string& text) {
    for (char ch : text) {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        const QString s = QString(QChar(ch));
        const int key = ch >= 'a' && ch <= 'z' ? Qt::Key_A + (ch - 'a') : ch;
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, s);
        QCoreApplication::sendEvent(w, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, s);
        QCoreApplication::sendEvent(w, &up);
    }
}

TEST_F(GridBesideAnEdit, AnIncrementalSearchKeepsEveryKey) {
    plat::FakeClock clock{10000};
    plat::ScopedClock scope(clock);
    pages->SetIndexName("ByTitle");
    pages->Last();  // "Page 9"
    search->SearchField = "Title";
    search->SetFocus();
    guitest::ProcessEvents();
    ASSERT_TRUE(search->Focused());
    // Each key is searched before the next: the first one moves the table.
    for (char key : std::string("page 3")) {
        TypeToFocused(std::string(1, key));
        clock.Advance(400);
        guitest::ProcessEvents();
        EXPECT_TRUE(search->Focused()) << "after '" << key << "'";
    }
    EXPECT_EQ(search->Text(), "page 3");
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(grid->scrolls, 0);
}

}  // namespace
