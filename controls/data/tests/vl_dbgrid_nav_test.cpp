// The grid's keyboard navigation on a five-row engine table: appending past
// the end and dropping an untouched append, Tab wrapping, the delete and
// discard questions, the mask check when leaving a cell, and a read-only
// grid that never appends.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/mask_edit.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;
using namespace vl;

class NavTest : public vltest::EngineTables {
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
    void Key(unsigned vk, TShiftState shift = 0) { guitest::SendKey(grid, vk, shift); }
    int Id() { return pages->FieldByName("HelpId")->AsInteger(); }
    TForm* form = nullptr;
    std::unique_ptr<db::TDataSource> source;
    TvlCustomDBGrid* grid = nullptr;
};

TEST_F(NavTest, DownAtTheEndAppendsAndUpDropsTheUntouchedInsert) {
    pages->Last();
    ASSERT_EQ(Id(), 5);
    Key(VK_DOWN);
    EXPECT_EQ(pages->State(), db::dsInsert);
    Key(VK_DOWN);  // a second Down on the empty insert does nothing
    EXPECT_EQ(pages->State(), db::dsInsert);
    Key(VK_UP);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(pages->RecordCount(), 5);
    // In the middle Up and Down only move.
    pages->First();
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(Id(), 3);
    Key(VK_UP);
    EXPECT_EQ(Id(), 2);
    Key(VK_END, ssCtrl);
    EXPECT_EQ(Id(), 5);
    Key(VK_HOME, ssCtrl);
    EXPECT_EQ(Id(), 1);
}

TEST_F(NavTest, TabWrapsAndAppendsOnAOneColumnGrid) {
    // One column: Tab wraps at once, past the last record it appends.
    plat::StringList one;
    one.Add("Title\t20\t");
    grid->UseTFields = false;
    grid->SetSelected(one);
    grid->LayoutChanged();
    ASSERT_EQ(grid->GetFieldCount(), 1);
    Key(VK_TAB);
    EXPECT_EQ(Id(), 2);
    Key(VK_TAB, ssShift);
    EXPECT_EQ(Id(), 1);
    pages->Last();
    Key(VK_TAB);
    EXPECT_EQ(pages->State(), db::dsInsert);
    Key(VK_TAB, ssShift);  // back over the untouched insert drops it
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(pages->RecordCount(), 5);
}

TEST_F(NavTest, TabSkipsColumnsThatAreNoTabStops) {
    grid->SetTabStops(3, false);  // Title (field 2) is skipped
    grid->SetSelectedIndex(0);
    Key(VK_TAB);
    EXPECT_EQ(grid->GetSelectedIndex(), 1);
    Key(VK_TAB);
    EXPECT_EQ(grid->GetSelectedIndex(), 3);
    Key(VK_TAB, ssShift);
    EXPECT_EQ(grid->GetSelectedIndex(), 1);
    Key(VK_LEFT, ssCtrl);
    EXPECT_EQ(grid->GetSelectedIndex(), 0);
}

TEST_F(NavTest, AReadOnlyGridNeverAppends) {
    grid->ReadOnly = true;
    pages->Last();
    Key(VK_DOWN);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    grid->SetSelectedIndex(grid->GetFieldCount() - 1);
    Key(VK_TAB);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    Key(VK_INSERT);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(pages->RecordCount(), 5);
    // Without dgAllowInsert an editable grid does not append either.
    grid->ReadOnly = false;
    grid->KeyOptions = 1u << dgAllowDelete;
    Key(VK_DOWN);
    EXPECT_EQ(pages->State(), db::dsBrowse);
}

TEST_F(NavTest, CtrlDeleteAsksAndEscapeAsksBeforeDiscarding) {
    pages->MoveBy(1);
    dialogs.Answer(mrCancel);
    Key(VK_DELETE, ssCtrl);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Delete record?");
    ASSERT_EQ(dialogs.Last().buttons.size(), 2u);
    EXPECT_EQ(dialogs.Last().buttons[0].result, mrOk);
    EXPECT_EQ(dialogs.Last().buttons[1].result, mrCancel);
    EXPECT_EQ(pages->RecordCount(), 5);
    dialogs.Answer(mrOk);
    Key(VK_DELETE, ssCtrl);
    EXPECT_EQ(pages->RecordCount(), 4);
    // Delete alone is no record delete.
    Key(VK_DELETE);
    EXPECT_EQ(pages->RecordCount(), 4);

    dialogs.Clear();
    pages->Edit();
    pages->FieldByName("Title")->SetAsString("Changed");
    dialogs.Answer(mrNo);
    Key(VK_ESCAPE);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Discard changes to this record?");
    EXPECT_EQ(pages->State(), db::dsEdit);
    dialogs.Answer(mrYes);
    Key(VK_ESCAPE);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_NE(pages->FieldByName("Title")->AsString(), "Changed");
}

TEST_F(NavTest, LeavingACellWithInvalidTextRaisesOrCallsOnInvalidValue) {
    pages->PictureMasks().Add("Title\t###\tT\tT");
    pages->Edit();
    grid->SetSelectedIndex(2);
    grid->ShowEditor();
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    grid->InplaceEditor()->SetText("12a");
    grid->DataLink().Modified();
    try {
        grid->SetSelectedIndex(3);
        FAIL() << "no error";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid input value.  Use escape key to abandon changes");
    }
    EXPECT_EQ(grid->GetSelectedIndex(), 2);
    int calls = 0;
    pages->OnInvalidValue = [&](db::TDataSet*, db::TField* f) {
        ++calls;
        EXPECT_EQ(f->FieldName, "Title");
    };
    grid->SetSelectedIndex(3);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(grid->GetSelectedIndex(), 2);
}

}  // namespace
