// The grid's in-place editor on a five-row engine table: typing against the
// column's picture mask (complete, incomplete, error; with and without a
// border), OnCheckValue reports, keys handed to the grid, word wrap making
// the window anew, paste putting the record into edit state; and the corner
// button that sizes the indicator column.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "controls/data/vl_db_grid_edit.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;
using namespace vl;

class GridEditTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(5);
        form = new TForm(Application);
        form->SetBounds(10, 10, 700, 400);
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        grid = new TvlCustomDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 660, 300);
        pages->Open();
        grid->SetDataSource(source.get());
        form->Show();
        grid->OnCheckValue = [this](plat::TObject*, bool passes) { checks.push_back(passes); };
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    // Shows the editor on the Title column of the current record.
    TvlInplaceEdit* EditTitle() {
        grid->SetSelectedIndex(2);
        grid->SetFocus();
        grid->ShowEditor();
        auto* e = dynamic_cast<TvlInplaceEdit*>(grid->InplaceEditor());
        if (e) e->LoadColumnPicture();
        guitest::ProcessEvents();  // the focus arrives and checks the cell once
        checks.clear();
        return e;
    }
    TForm* form = nullptr;
    std::unique_ptr<db::TDataSource> source;
    TvlCustomDBGrid* grid = nullptr;
    std::vector<bool> checks;
};

TEST_F(GridEditTest, TheGridMakesTheEditorAndItTakesTheColumnsMaskOnFocus) {
    pages->PictureMasks().Add("Title\t###-####\tT\tT");
    grid->SetSelectedIndex(2);
    grid->SetFocus();
    grid->ShowEditor();
    auto* e = dynamic_cast<TvlInplaceEdit*>(grid->InplaceEditor());
    ASSERT_NE(e, nullptr);
    if (!e->Focused()) e->SetFocus();
    ASSERT_TRUE(guitest::WaitFor([&] { return !checks.empty(); }));
    EXPECT_TRUE(e->Focused());
    EXPECT_TRUE(e->HasPictureMask());
    EXPECT_EQ(e->Picture().PictureMask(), "###-####");
    EXPECT_FALSE(e->Picture().AllowInvalidExit());
    // The field's text "Page 1" was checked on entry: it fails the mask.
    ASSERT_FALSE(checks.empty());
    EXPECT_FALSE(checks.back());
    // Showing the editor is no change of the record.
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_FALSE(grid->DataLink().IsModified());
}

TEST_F(GridEditTest, KeysAgainstThePictureMask) {
    pages->PictureMasks().Add("Title\t###-####\tT\tT");
    struct Case {
        const char* before;
        int selStart, selLength;
        char key;
        const char* after;
        int caret;
        int checksFired;  // -1: none; else the last PassesPictureTest
        int beeps;
    };
    const Case cases[] = {
        {"", 0, 0, '5', "5", 1, 0, 0},                   // incomplete: set by the editor
        {"55", 2, 0, '5', "555-", 4, 0, 0},              // incomplete, the literal filled in behind
        {"555-123", 7, 0, '4', "555-1234", 8, 1, 0},     // complete: the edit types the last key
        {"555-1234", 8, 0, '9', "555-1234", 8, 1, 1},    // error at the end: refused with a beep
        {"55", 2, 0, 'a', "55", 2, 1, 1},                // a letter where a digit goes
        {"555-1234", 0, 1, 'x', "x55-1234", 1, 0, 0},    // error over existing text: typed, reported
        {"55", 1, 0, '7', "575", 2, -1, 0},              // longer in the middle: left to the edit
    };
    for (TBorderStyle border : {bsNone, bsSingle}) {
        TvlInplaceEdit* e = EditTitle();
        ASSERT_NE(e, nullptr);
        e->SetBorderStyle(border);
        // The record is in edit state already, so the first key does not
        // load the cell afresh over the text the case starts from.
        pages->Edit();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.before) + " + " + c.key + (border == bsNone ? " no border" : " border"));
            e->SetText(c.before);
            e->SetSelStart(c.selStart);
            e->SetSelLength(c.selLength);
            checks.clear();
            const int beeps = MessageBeepCount();
            guitest::TypeText(e, std::string(1, c.key));
            EXPECT_EQ(e->Text(), c.after);
            EXPECT_EQ(e->SelStart(), c.caret);
            EXPECT_EQ(MessageBeepCount() - beeps, c.beeps);
            if (c.checksFired < 0) {
                EXPECT_TRUE(checks.empty());
            } else {
                ASSERT_EQ(checks.size(), 1u);
                EXPECT_EQ(checks[0], c.checksFired == 1);
            }
        }
        pages->Cancel();
        grid->HideEditor();
    }
}

TEST_F(GridEditTest, WithoutAMaskInTheGridKeysGoStraightToTheEdit) {
    for (const char* line : {"Title\t###\tT\tF", "Title\t\tT\tT"}) {
        SCOPED_TRACE(line);
        pages->PictureMasks().Clear();
        pages->PictureMasks().Add(line);
        TvlInplaceEdit* e = EditTitle();
        ASSERT_NE(e, nullptr);
        EXPECT_FALSE(e->HasPictureMask());
        e->SelectAll();
        guitest::TypeText(e, "ab");
        EXPECT_EQ(e->Text(), "ab");
        EXPECT_TRUE(checks.empty());
        // The first key put the record into edit state.
        EXPECT_EQ(pages->State(), db::dsEdit);
        pages->Cancel();
        grid->HideEditor();
    }
}

TEST_F(GridEditTest, BackspaceAndDeleteReportTheTextTheyLeave) {
    pages->PictureMasks().Add("Title\t###\tT\tT");
    TvlInplaceEdit* e = EditTitle();
    ASSERT_NE(e, nullptr);
    pages->Edit();
    e->SetText("1234");
    e->SetSelStart(4);
    e->SetSelLength(0);
    checks.clear();
    guitest::SendKey(e, VK_BACK);
    EXPECT_EQ(e->Text(), "123");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_TRUE(checks[0]);  // "123" matches
    e->SetSelStart(0);
    checks.clear();
    guitest::SendKey(e, VK_DELETE);
    EXPECT_EQ(e->Text(), "23");
    ASSERT_FALSE(checks.empty());
    EXPECT_FALSE(checks.back());  // "23" is too short
}

TEST_F(GridEditTest, EnterToTabAndCtrlDeleteGoToTheGrid) {
    grid->KeyOptions |= 1u << dgEnterToTab;
    TvlInplaceEdit* e = EditTitle();
    ASSERT_NE(e, nullptr);
    guitest::SendKey(e, VK_RETURN);
    EXPECT_EQ(grid->GetSelectedIndex(), 3);
    // Delete alone edits the text; Ctrl+Delete deletes the record after the question.
    e = EditTitle();
    ASSERT_NE(e, nullptr);
    e->SetSelStart(0);
    e->SetSelLength(0);
    guitest::SendKey(e, VK_DELETE);
    EXPECT_EQ(e->Text(), "age 1");
    EXPECT_EQ(pages->RecordCount(), 5);
    pages->Cancel();
    e = EditTitle();
    dialogs.Answer(mrOk);
    guitest::SendKey(e, VK_DELETE, ssCtrl);
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_EQ(dialogs.Last().text, "Delete record?");
    EXPECT_EQ(pages->RecordCount(), 4);
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 2);
}

TEST_F(GridEditTest, EnterWritesTheCellToItsFieldAndLeavesTheEditor) {
    TvlInplaceEdit* e = EditTitle();
    ASSERT_NE(e, nullptr);
    e->SelectAll();
    guitest::TypeText(e, "Renamed");
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page 1");  // not yet
    guitest::SendKey(e, VK_RETURN);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(pages->State(), db::dsEdit);
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Renamed");
    EXPECT_EQ(grid->GetSelectedIndex(), 2);
}

TEST_F(GridEditTest, WordWrapFollowsTheGridAndMakesTheWindowAnew) {
    TvlInplaceEdit* e = EditTitle();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->WordWrap());  // the grid's default options wrap
    e->SetBounds(0, 0, 40, 60);
    e->SetText("many words that cannot fit one narrow cell");
    const int wrapped = e->ShownRows();
    EXPECT_GT(wrapped, 1);
    const int generation = e->WindowGeneration();
    grid->SetOptions(grid->Options() & ~Opt(dgWordWrap));
    EXPECT_FALSE(e->WordWrap());
    EXPECT_EQ(e->WindowGeneration(), generation + 1);
    EXPECT_EQ(e->ShownRows(), 1);
    grid->SetOptions(grid->Options() | Opt(dgWordWrap));
    EXPECT_TRUE(e->WordWrap());
    EXPECT_EQ(e->ShownRows(), wrapped);
}

TEST_F(GridEditTest, PastePutsTheRecordIntoEditState) {
    TvlInplaceEdit* e = EditTitle();
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(pages->State(), db::dsBrowse);
    Clipboard()->SetAsText("Pasted");
    e->SelectAll();
    e->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(e->Text(), "Pasted");
    EXPECT_EQ(pages->State(), db::dsEdit);
    EXPECT_TRUE(grid->DataLink().IsModified());
    // The pasted text is what the record gets.
    grid->SetSelectedIndex(3);
    pages->Post();
    pages->First();
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Pasted");
}

TEST_F(GridEditTest, TheCornerButtonSnapsToTheCornerAndSizesTheIndicator) {
    auto* b = new TvlIButton(form);
    b->SetParent(grid);
    b->SetBounds(0, 0, 20, 30);
    grid->SetIndicatorButton(b);
    EXPECT_EQ(grid->IndicatorButton(), b);
    EXPECT_EQ(grid->IndicatorWidth(), 19);
    EXPECT_EQ(grid->ColWidths(0), 19);
    // The title row is at least as tall as the button (row lines on: h - 1).
    EXPECT_EQ(grid->RowHeights(0), 29);
    b->SetBounds(15, 8, 25, 12);  // a positive place snaps back to the corner
    EXPECT_EQ(b->Left(), 0);
    EXPECT_EQ(b->Top(), 0);
    EXPECT_EQ(grid->IndicatorWidth(), 24);
    EXPECT_EQ(grid->ColWidths(0), 24);
    delete b;  // the grid forgets it
    EXPECT_EQ(grid->IndicatorButton(), nullptr);
}

TEST_F(GridEditTest, AButtonLoadedInsideTheGridBecomesItsIndicatorButton) {
    auto* b = new TvlIButton(form);
    b->BeginLoading();
    b->SetParent(grid);
    b->SetBounds(4, 4, 16, 16);
    EXPECT_EQ(grid->IndicatorButton(), nullptr);
    b->EndLoading();
    EXPECT_EQ(grid->IndicatorButton(), b);
    EXPECT_EQ(b->Left(), 0);
    EXPECT_EQ(grid->IndicatorWidth(), 15);
}

}  // namespace
