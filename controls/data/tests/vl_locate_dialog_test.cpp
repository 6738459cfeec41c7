// The locate dialog over the locate's test table: the user's part played
// through posted messages once the form shows.
#include "controls/data/vl_locate_dialog.h"
#include "data/tests/locate_fixture.h"
#include "platform/gui/forms.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

using vltest::LocateTest;

class LocateDialogTest : public LocateTest {
protected:
    void SetUp() override {
        gui::InitApplication();
        LocateTest::SetUp();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(table.get());
        locate = std::make_unique<TvlLocateDialog>(nullptr);
        locate->SetDataSource(source.get());
        driver = plat::AllocateHWnd([this](gui::TMessage& m) {
            if (m.Msg == gui::WM_USER + 7 && step && locate->Dialog()) step(*locate->Dialog());
        });
        // The user's part, played once the form shows.
        locate->OnInitDialog = [this](TvlLocateDlg*) {
            ++shown;
            plat::PostMessage(driver, gui::WM_USER + 7, 0, 0);
        };
    }
    void TearDown() override {
        plat::DeallocateHWnd(driver);
        locate.reset();
        source.reset();
        LocateTest::TearDown();
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (auto& r : dialogs.Requests()) out.push_back(r.text);
        return out;
    }

    std::unique_ptr<db::TDataSource> source;
    std::unique_ptr<TvlLocateDialog> locate;
    plat::HWND driver = 0;
    std::function<void(TvlLocateDlg&)> step;
    int shown = 0;
};

TEST_F(LocateDialogTest, FirstFlowFindsAndReadsTheChoicesBack) {
    GoTo(5);
    locate->SearchField = "Name";
    locate->FieldValue = "old";
    step = [&](TvlLocateDlg& d) {
        EXPECT_EQ(d.SearchValue->Text(), "old");
        EXPECT_EQ(d.FieldNameComboBox->Items()[d.FieldNameComboBox->ItemIndex()], "Name");
        EXPECT_TRUE(d.PartialMatchStartBtn->Checked());
        EXPECT_EQ(d.Caption(), "Locate Field Value");
        EXPECT_EQ(d.FirstButton->Caption(), "Fi&rst");
        d.SearchValue->SetText("GAMMA");
        d.ExactMatchBtn->SetChecked(true);
        d.FirstButton->Click();
    };
    EXPECT_TRUE(locate->Execute());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(locate->FieldValue, "GAMMA");
    EXPECT_EQ(locate->MatchType, mtExactMatch);
    EXPECT_EQ(locate->SearchField, "Name");
    EXPECT_EQ(locate->Dialog(), nullptr);
    ASSERT_NE(gui::Screen, nullptr);
    gui::Screen->SetCursor(gui::crCross);
    EXPECT_TRUE(LocateFieldValue(true, table.get(), "Twice", "8", mtExactMatch, false));
    EXPECT_EQ(gui::Screen->Cursor(), gui::crCross);  // the hour-glass went again
    gui::Screen->SetCursor(gui::crDefault);
    // The stored choices now search without the form.
    GoTo(1);
    EXPECT_TRUE(locate->FindFirst());
    EXPECT_EQ(Current(), 3);
    EXPECT_FALSE(locate->FindNext());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No more matches found"}));
    EXPECT_EQ(shown, 1);
}

TEST_F(LocateDialogTest, AnEmptyValueOpensTheDialogWithTheRightDefault) {
    GoTo(5);
    bool nextWasDefault = false;
    step = [&](TvlLocateDlg& d) {
        nextWasDefault = d.NextButton->Default && !d.FirstButton->Default;
        d.FieldNameComboBox->SetItemIndex(d.FieldNameComboBox->Items().IndexOf("Name"));
        d.SearchValue->SetText("e");
        d.NextButton->Click();
    };
    EXPECT_TRUE(locate->FindNext());
    EXPECT_TRUE(nextWasDefault);
    EXPECT_EQ(Current(), 7);  // Eta after Epsilon
    EXPECT_EQ(locate->DefaultButton, dbFindNext);

    // FindFirst: First is the default; a miss tells so and the user cancels.
    locate->FieldValue.clear();
    bool firstWasDefault = false;
    step = [&](TvlLocateDlg& d) {
        firstWasDefault = d.FirstButton->Default;
        d.SearchValue->SetText("nothing like it");
        d.FirstButton->Click();
        d.CancelButton->Click();
    };
    EXPECT_FALSE(locate->FindFirst());
    EXPECT_TRUE(firstWasDefault);
    EXPECT_EQ(Current(), 7);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No matches found"}));
}

TEST_F(LocateDialogTest, TheFieldListSkipsBinaryAndOptionallyHiddenFields) {
    table->FieldByName("Price")->Visible = false;
    table->FieldByName("Day")->DisplayLabel = "Day~of~year";
    std::vector<std::string> listed;
    step = [&](TvlLocateDlg& d) {
        for (int i = 0; i < d.FieldNameComboBox->Items().Count(); ++i) listed.push_back(d.FieldNameComboBox->Items()[i]);
        d.FieldNameComboBox->SetItemIndex(d.FieldNameComboBox->Items().IndexOf("Day of year"));
        d.CancelButton->Click();
    };
    locate->SortFields = fsSortByFieldNo;
    locate->FieldSelection = fsVisibleFields;
    EXPECT_FALSE(locate->Execute());
    EXPECT_EQ(listed, (std::vector<std::string>{"Num", "Name", "Active", "Day of year", "Notes", "Cost", "Oem", "Twice"}));
    EXPECT_EQ(locate->SearchField, "Day");
}

TEST_F(LocateDialogTest, AClosedDatasetIsNoSuccess) {
    table->Close();
    EXPECT_FALSE(locate->Execute());
    EXPECT_FALSE(locate->FindFirst());
    locate->FieldValue = "x";
    EXPECT_FALSE(locate->FindNext());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"DataSource does not reference an active DataSet",
                                                 "DataSource does not refer to an active table!",
                                                 "DataSource does not refer to an active table!"}));
    EXPECT_EQ(shown, 0);
    locate->SetDataSource(nullptr);
    EXPECT_FALSE(locate->Execute());
}

}  // namespace
