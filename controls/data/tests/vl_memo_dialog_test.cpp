// The memo dialog: its layout maths, a view-only window with OK alone and
// centred, Cancel writing nothing, the close question only after changes,
// Ctrl+Enter and F2 meaning OK, and the window freed for a missing field.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_memo_dialog.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace gui;
using namespace vl;

TEST(MemoDialogLayout, EditableReadOnlyAndUserButtons) {
    struct {
        int w, h;
        bool editable, user;
        int okLeft, cancelLeft;
        bool cancel;
    } cases[] = {
        // memo width 541; OK 75 wide: Cancel at 541 - 95, OK at 541 - 190
        {561, 396, true, false, 351, 446, true},
        {561, 396, false, false, 6 + 270 - 37, 0, false},  // centred under the memo
        {561, 396, false, true, 6 + 541 - 75 - 25, 0, false},
        {400, 300, true, true, 380 - 190, 380 - 95, true},
    };
    for (const auto& c : cases) {
        const TvlMemoLayout l = MemoDialogLayout(c.w, c.h, 3, 19, 75, c.editable, c.user);
        EXPECT_EQ(l.memo.Left, 6);
        EXPECT_EQ(l.memo.Top, 6);
        EXPECT_EQ(l.memo.Width(), c.w - 20);
        EXPECT_EQ(l.memo.Height(), c.h - (2 * 3 + 19 + 53));
        EXPECT_EQ(l.buttonTop, l.memo.Height() + 17);
        EXPECT_EQ(l.panelTop, l.memo.Bottom + 2);
        EXPECT_EQ(l.okLeft, c.okLeft) << c.w << " " << c.editable << c.user;
        EXPECT_EQ(l.cancelVisible, c.cancel);
        if (c.cancel) EXPECT_EQ(l.cancelLeft, c.cancelLeft);
    }
}

class MemoDialogTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(3);
        pages->Open();
        pages->Edit();
        pages->FieldByName("Body")->SetAsString("first line\r\nsecond");
        pages->Post();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        dialog = std::make_unique<TvlMemoDialog>(nullptr);
        dialog->SetDataSource(source.get());
        dialog->DataField = "Body";
    }
    void TearDown() override {
        dialog.reset();
        source.reset();
        EngineTables::TearDown();
    }
    // Runs the steps on the shown window from its message loop, one a tick.
    bool Run(std::vector<std::function<void(TvlMemoDlg*)>> steps) {
        dialog->OnInitDialog = [steps](plat::TObject*, TvlMemoDlg* d) {
            auto* t = new TTimer(d);
            t->SetInterval(10);
            auto next = std::make_shared<std::size_t>(0);
            t->OnTimer = [t, d, steps, next](plat::TObject*) {
                if (*next >= steps.size()) return t->SetEnabled(false);
                steps[(*next)++](d);
            };
        };
        return dialog->Execute();
    }
    std::string Body() { return pages->FieldByName("Body")->AsString(); }
    std::unique_ptr<db::TDataSource> source;
    std::unique_ptr<TvlMemoDialog> dialog;
};

TEST_F(MemoDialogTest, ViewOnlyShowsOnlyOKCentredAndWritesNothing) {
    dialog->MemoAttributes |= MemoAttr(mViewOnly);
    bool sawCancel = true;
    int okLeft = 0, memoMid = 0, okWidth = 0;
    EXPECT_TRUE(Run({[&](TvlMemoDlg* d) {
        sawCancel = d->CancelBtn->Visible();
        okLeft = d->OKBtn->Left();
        okWidth = d->OKBtn->Width();
        memoMid = d->Memo->Left() + d->Memo->Width() / 2;
        EXPECT_TRUE(d->Memo->ReadOnly());
        EXPECT_EQ(d->Memo->Text(), "first line\r\nsecond");
        EXPECT_FALSE(d->UserButtonPanel->Visible());
        d->SetModalResult(mrOk);
    }}));
    EXPECT_FALSE(sawCancel);
    EXPECT_EQ(okLeft, memoMid - okWidth / 2);
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Body(), "first line\r\nsecond");
}

TEST_F(MemoDialogTest, CancelWritesNothingAndAsksOnlyAfterChanges) {
    // Unchanged: Escape closes without a question.
    EXPECT_FALSE(Run({[](TvlMemoDlg* d) { guitest::SendKey(d->Memo, VK_ESCAPE); }}));
    EXPECT_EQ(dialogs.Requests().size(), 0u);
    // Changed: the question comes; No keeps the window, Yes closes it.
    dialogs.Answer(mrNo);
    dialogs.Answer(mrYes);
    bool stillOpen = false;
    EXPECT_FALSE(Run({[&](TvlMemoDlg* d) {
                          guitest::TypeText(d->Memo, "xyz");
                          guitest::SendKey(d->Memo, VK_ESCAPE);
                      },
                      [&](TvlMemoDlg* d) {
                          stillOpen = d->Visible() && d->ModalResult() == mrNone;
                          guitest::SendKey(d->Memo, VK_ESCAPE);
                      }}));
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(dialogs.Last().text, "Changes have been made!  Are you sure you wish to cancel?");
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(Body(), "first line\r\nsecond");
}

TEST_F(MemoDialogTest, CtrlEnterAndF2MeanOKAndWriteTheField) {
    struct {
        unsigned key;
        TShiftState shift;
        const char* text;
    } cases[] = {{VK_RETURN, ssCtrl, "by ctrl enter"}, {VK_F1 + 1, 0, "by f2"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(Run({[&](TvlMemoDlg* d) {
            d->Memo->SetText(c.text);
            d->Memo->SetModified(true);
            guitest::SendKey(d->Memo, c.key, c.shift);
        }}));
        EXPECT_EQ(Body(), c.text);
        pages->Post();
    }
    EXPECT_EQ(dialogs.Requests().size(), 0u);
}

TEST_F(MemoDialogTest, AFieldTheDatasetLacksRaisesAndLeavesNoWindow) {
    dialog->DataField = "NoSuchField";
    const int before = Screen->FormCount();
    EXPECT_THROW(dialog->Execute(), plat::Exception);
    EXPECT_EQ(Screen->FormCount(), before);
    EXPECT_EQ(dialog->Dialog(), nullptr);
}

}  // namespace
