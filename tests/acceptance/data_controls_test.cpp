// The data-aware controls as a user meets them on a real X server: a form
// with a grid and an incremental search on one table, keys typed through
// the server (xdotool) to whichever window has the keyboard.
#include "controls/data/vl_dbgrid.h"
#include "controls/data/vl_incremental_search.h"
#include "data/tests/engine_fixture.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <string>

namespace {

using namespace gui;
using namespace vl;

// xdotool with `args`; true when it ran and succeeded.
bool Xdotool(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null").c_str()) == 0; }

class DataControlsOnX : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(40);
        pages->SetIndexName("ByTitle");
        pages->Open();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        form = new TForm(Application);
        form->SetCaption("Search beside a grid");
        form->SetBounds(40, 40, 520, 360);
        search = new TvlIncrementalSearch(form);
        search->SetParent(form);
        search->SetBounds(8, 8, 200, 21);
        search->SearchField = "Title";
        search->SetDataSource(source.get());
        grid = new TvlDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(8, 40, 500, 300);
        grid->SetDataSource(source.get());
        form->Show();
        guitest::ProcessEvents(50);
        // The keyboard goes to the form, as a click on its title bar gives it.
        QWidget* window = form->Widget()->window();
        ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(window->winId())));
        ASSERT_TRUE(guitest::WaitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    }
    void TearDown() override {
        grid->SetDataSource(nullptr);
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }

    std::unique_ptr<db::TDataSource> source;
    TForm* form = nullptr;
    TvlIncrementalSearch* search = nullptr;
    TvlDBGrid* grid = nullptr;
};

// Each key is searched for before the next one comes; the first search moves
// the table (and with it the grid), and every later key still reaches the
// search edit.
TEST_F(DataControlsOnX, AnIncrementalSearchBesideAGridTakesEveryKey) {
    pages->Last();  // "Page 9" in title order
    search->SetFocus();
    ASSERT_TRUE(guitest::WaitFor([&] { return search->Focused(); }));
    std::string typed;
    std::size_t searches = 0;
    search->OnAfterSearch = [&](TvlIncrementalSearch*, bool) { ++searches; };
    for (char key : std::string("page 3")) {
        typed += key;
        ASSERT_TRUE(Xdotool(std::string("type -- '") + key + "'"));
        // Every key changes the text, so each one is searched for.
        ASSERT_TRUE(guitest::WaitFor([&] { return searches == typed.size(); }, 3000))
            << "after '" << key << "' the search edit holds \"" << search->Text() << "\"";
        EXPECT_EQ(search->Text(), typed);
        EXPECT_TRUE(search->Focused()) << "after '" << key << "'";
    }
    EXPECT_EQ(search->Text(), "page 3");
    EXPECT_EQ(Id(), 3);
    EXPECT_FALSE(grid->Focused());
}

}  // namespace
