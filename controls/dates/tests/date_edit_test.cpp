#include "controls/dates/pick_date.h"
#include "controls/dates/tool_edit.h"

#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"
#include "platform/gui/buttons.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

using namespace gui;
using namespace zb;
using plat::EncodeDate;

namespace {

class DateEditTest : public guitest::GuiTest {
protected:
    plat::FakeClock clock{1000, EncodeDate(1999, 6, 15) + 0.5};
    plat::ScopedClock scope{clock};
    void SetUp() override {
        guitest::GuiTest::SetUp();
        DateUtilInitialization();
        form->Show();
    }
    TDateEdit* NewEdit(int x = 10, int y = 10) {
        auto* e = new TDateEdit(form);
        e->SetParent(form);
        e->SetBounds(x, y, 121, 21);
        return e;
    }
};

// A combo edit whose pop-up is a plain window that offers a fixed value.
class ValuePopup : public TPopupWindow {
public:
    explicit ValuePopup(TCustomComboEdit* owner) : TPopupWindow(owner) { SetBounds(0, 0, 200, 100); }
    std::string GetPopupValue() override { return value; }
    void SetPopupValue(const std::string& v) override { shown = v; }
    std::string value = "picked", shown;
};

class TestComboEdit : public TCustomComboEdit {
public:
    explicit TestComboEdit(TComponent* owner) : TCustomComboEdit(owner) {
        popupWindow = new ValuePopup(this);
        SetPopup(popupWindow);
    }
    ValuePopup* popupWindow;
};

TEST_F(DateEditTest, ButtonHolderPlacement) {
    auto* e = new TestComboEdit(form);
    e->SetParent(form);
    e->SetBounds(0, 0, 100, 25);
    struct Case { bool newStyle, ctl3d; TRect want; } cases[] = {
        {true, true, Bounds(100 - 21 - 4, 0, 21, 21)},
        {true, false, Bounds(100 - 21 - 2, 2, 21, 21)},
        {false, true, Bounds(100 - 21, 1, 21, 24)},
    };
    for (const auto& c : cases) {
        NewStyleControls = c.newStyle;
        e->SetCtl3D(c.ctl3d);
        EXPECT_EQ(e->ButtonHolderRect(), c.want) << c.newStyle << c.ctl3d;
        EXPECT_EQ(e->ButtonHolder()->Width(), c.want.Width());
        EXPECT_EQ(e->ButtonHolder()->Height(), c.want.Height());
    }
    NewStyleControls = true;
    e->SetCtl3D(true);
    e->SetButtonWidth(e->ClientWidth());  // ignored
    EXPECT_EQ(e->ButtonWidth(), 21);
    e->SetButtonWidth(30);
    EXPECT_EQ(e->ButtonWidth(), 30);
    EXPECT_EQ(e->ButtonHolder()->Width(), 30);
}

TEST_F(DateEditTest, AltDownTogglesAndEscapeStaysInside) {
    auto* e = new TestComboEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 10, 100, 21);
    e->SetText("typed");
    auto* cancel = new TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(10, 50, 75, 25);
    cancel->Cancel = true;
    int cancels = 0;
    cancel->OnClick = [&](TObject*) { ++cancels; };
    e->SetFocus();
    guitest::SendKey(e, VK_DOWN, ssAlt);
    ASSERT_TRUE(e->PopupVisible());
    EXPECT_EQ(e->popupWindow->shown, "typed");
    EXPECT_FALSE(e->InnerEditable()) << "no typing while the pop-up shows";
    guitest::SendKey(e, VK_ESCAPE);
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(e->Text(), "typed");
    EXPECT_EQ(cancels, 0) << "Escape closed the pop-up only";
    EXPECT_TRUE(e->InnerEditable());
    guitest::SendKey(e, VK_DOWN, ssAlt);
    guitest::SendKey(e, VK_DOWN, ssAlt);  // closes accepting
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(e->Text(), "picked");
    guitest::SendKey(e, VK_ESCAPE);  // no pop-up: the form's cancel button
    EXPECT_EQ(cancels, 1);
}

TEST_F(DateEditTest, PopupPlacementAtScreenEdges) {
    auto* e = new TestComboEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 10, 100, 21);
    e->ShowPopup();
    TPoint edit = form->ClientToScreen({10, 10});
    // Right-aligned with the edit (200 wide pop-up under a 100 wide edit), below it.
    int wantX = edit.x - 100;
    if (wantX < 0) wantX = edit.x;
    EXPECT_EQ(e->Popup()->Left(), wantX);
    EXPECT_EQ(e->Popup()->Top(), edit.y + 21);
    e->HidePopup(false);
    // At the bottom of the screen it goes above; at the left edge it starts at the edit.
    form->SetBounds(0, Screen->Height() - 80, 320, 80);
    e->SetBounds(0, 20, 100, 21);
    e->ShowPopup();
    edit = form->ClientToScreen({0, 20});
    EXPECT_EQ(e->Popup()->Top(), edit.y - 100);
    EXPECT_EQ(e->Popup()->Left(), edit.x);
    e->HidePopup(false);
}

TEST_F(DateEditTest, DirectInputOffStillAcceptsThePopup) {
    auto* e = new TestComboEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 10, 100, 21);
    e->SetDirectInput(false);
    e->SetFocus();
    guitest::TypeText(e, "abc");
    EXPECT_EQ(e->Text(), "");
    e->ShowPopup();
    e->HidePopup(true);
    EXPECT_EQ(e->Text(), "picked");
    e->SetReadOnly(true);
    e->ShowPopup();
    EXPECT_FALSE(e->PopupVisible()) << "read-only: no pop-up";
}

TEST_F(DateEditTest, GetSetCheckAndTheEmptyRule) {
    TDateEdit* e = NewEdit();
    EXPECT_EQ(e->EditMask(), "!99/99/9999;1; ");
    EXPECT_EQ(e->DialogTitle, "Select a Date");
    EXPECT_TRUE(e->TextIsEmpty());
    EXPECT_EQ(e->GetDate(), 0.0);
    e->SetDate(EncodeDate(2001, 2, 3));
    EXPECT_EQ(e->Text(), "02/03/2001");
    EXPECT_EQ(e->GetDate(), EncodeDate(2001, 2, 3));
    EXPECT_NO_THROW(e->CheckDateText());
    e->SetText("13/45/2001");
    EXPECT_FALSE(e->TextIsEmpty());
    EXPECT_EQ(e->GetDate(), 0.0) << "a mistyped text reads back as the default";
    EXPECT_THROW(e->CheckDateText(), plat::EConvertError);
    e->SetDate(0);
    EXPECT_TRUE(e->TextIsEmpty());
    EXPECT_NO_THROW(e->CheckDateText());
    EXPECT_TRUE(DateTextIsEmpty("  /  /    "));
    EXPECT_TRUE(DateTextIsEmpty("  /  /  "));
    EXPECT_FALSE(DateTextIsEmpty(" 1/  /    "));

    e->DefaultToday = true;
    EXPECT_EQ(e->GetDate(), EncodeDate(1999, 6, 15));
    e->SetDate(0);
    EXPECT_EQ(e->Text(), "06/15/1999");
}

TEST_F(DateEditTest, CalendarStyleSwitchKeepsSettings) {
    TDateEdit* e = NewEdit();
    e->SetPopupColor(clYellow);
    e->SetStartOfWeek(Sun);
    e->SetWeekends(DaysOf({Sat, Sun}));
    e->SetWeekendColor(clGreen);
    e->SetCalendarStyle(csDialog);
    EXPECT_EQ(e->CalendarStyle(), csDialog);
    EXPECT_EQ(e->Popup(), nullptr);
    EXPECT_EQ(e->PopupColor(), clYellow);
    e->SetCalendarStyle(csPopup);
    auto* p = dynamic_cast<TPopupCalendar*>(e->Popup());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Color(), clYellow);
    EXPECT_EQ(p->Calendar()->StartOfWeek(), Sun);
    EXPECT_EQ(p->Calendar()->Weekends(), DaysOf({Sat, Sun}));
    EXPECT_EQ(p->Calendar()->WeekendColor(), clGreen);
}

TEST_F(DateEditTest, PopupCalendarAndVeto) {
    TDateEdit* e = NewEdit();
    e->SetDate(EncodeDate(2000, 1, 31));
    e->SetFocus();
    guitest::SendKey(e, VK_DOWN, ssAlt);
    auto* p = dynamic_cast<TPopupCalendar*>(e->Popup());
    ASSERT_TRUE(e->PopupVisible());
    EXPECT_EQ(p->Calendar()->CalendarDate(), EncodeDate(2000, 1, 31));
    guitest::SendKey(e, VK_NEXT);  // to the calendar: next month
    guitest::SendKey(e, VK_LEFT);
    EXPECT_EQ(p->Calendar()->CalendarDate(), EncodeDate(2000, 2, 28));
    EXPECT_EQ(e->Text(), "01/31/2000");
    int vetoes = 0;
    e->OnAcceptDate = [&](TObject*, TDateTime& d, bool& action) {
        ++vetoes;
        action = d != EncodeDate(2000, 2, 28);
    };
    guitest::SendKey(e, VK_RETURN);
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(vetoes, 1);
    EXPECT_EQ(e->Text(), "01/31/2000") << "vetoed";
    e->OnAcceptDate = [&](TObject*, TDateTime& d, bool&) { d = EncodeDate(2002, 2, 2); };
    e->ShowPopup();
    // A click on a day cell closes the pop-up with that day (then the event moves it).
    TRect r = p->Calendar()->CellRect(3, 3);
    guitest::Click(p->Calendar(), {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(e->Text(), "02/02/2002");
}

TEST_F(DateEditTest, DialogStyleRunsTheDialog) {
    TDateEdit* e = NewEdit();
    e->SetCalendarStyle(csDialog);
    e->SetDate(EncodeDate(2001, 3, 4));
    e->DialogTitle = "When?";
    std::string caption;
    SelectDateShownHook = [&](TSelectDateDlg& dlg) {
        caption = dlg.Caption();
        dlg.Calendar()->NextYear();
        dlg.SetModalResult(mrOk);
    };
    e->ButtonPressed();
    EXPECT_EQ(caption, "When?");
    EXPECT_EQ(e->Text(), "03/04/2002");
    e->OnAcceptDate = [](TObject*, TDateTime&, bool& action) { action = false; };
    e->ButtonPressed();
    EXPECT_EQ(e->Text(), "03/04/2002");
    SelectDateShownHook = nullptr;
}

TEST_F(DateEditTest, CheckOnExitReportsAndKeepsTheFocus) {
    ScriptedDialogService dialogs;
    ScopedDialogService scope(dialogs);
    TDateEdit* e = NewEdit();
    auto* other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 60, 100, 21);
    e->CheckOnExit = true;
    e->SetFocus();
    e->SetText("02/30/2001");
    other->SetFocus();
    guitest::ProcessEvents(20);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "'02/30/2001' is not a valid date");
    EXPECT_TRUE(e->Focused()) << "the focus comes back to the edit";
    // An empty text (blanks and separators) passes.
    e->SetText("");
    other->SetFocus();
    guitest::ProcessEvents(20);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_TRUE(other->Focused());
}

TEST_F(DateEditTest, TypingThroughTheMask) {
    TDateEdit* e = NewEdit();
    e->SetFocus();
    e->SelectAll();
    guitest::TypeText(e, "12252001");
    EXPECT_EQ(e->Text(), "12/25/2001");
    EXPECT_EQ(e->GetDate(), EncodeDate(2001, 12, 25));
}

// Dates typed as people type them, separators included, in the three date
// orders. A separator right after the edit skipped to the next part by
// itself is the one already passed; one typed inside a part that is not full
// ends that part, its digits fitted to the end as the mask fits a text.
TEST_F(DateEditTest, TypedSeparatorsEndPartsAndAreNotTypedTwice) {
    struct Case {
        const char* format;
        char separator;
        const char* typed;
        const char* shown;
        int y, m, d;  // 0: no valid date
    };
    const Case cases[] = {
        {"M/d/yyyy", '/', "12/25/2024", "12/25/2024", 2024, 12, 25},
        {"M/d/yyyy", '/', "1/5/2024", " 1/ 5/2024", 2024, 1, 5},
        {"M/d/yyyy", '/', "12/5/2024", "12/ 5/2024", 2024, 12, 5},
        {"M/d/yyyy", '/', "1/25/2024", " 1/25/2024", 2024, 1, 25},
        {"M/d/yyyy", '/', "12252024", "12/25/2024", 2024, 12, 25},
        // Swallowed once: the second separator ends the empty day.
        {"M/d/yyyy", '/', "12//2024", "12/  /2024", 0, 0, 0},
        {"M/d/yy", '/', "1/5/24", " 1/ 5/24", 2024, 1, 5},
        {"dd/MM/yyyy", '/', "25/12/2024", "25/12/2024", 2024, 12, 25},
        {"dd/MM/yyyy", '/', "5/1/2024", " 5/ 1/2024", 2024, 1, 5},
        {"dd.MM.yyyy", '.', "25.12.2024", "25.12.2024", 2024, 12, 25},
        {"dd.MM.yyyy", '.', "5.1.2024", " 5. 1.2024", 2024, 1, 5},
        {"yyyy-MM-dd", '-', "2024-12-25", "2024-12-25", 2024, 12, 25},
        {"yyyy-MM-dd", '-', "2024-1-5", "2024- 1-5 ", 2024, 1, 5},
        {"yyyy/M/d", '/', "2024/1/25", "2024/ 1/25", 2024, 1, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " typed " + c.typed);
        plat::FormatSettings fs;
        fs.ShortDateFormat = c.format;
        fs.DateSeparator = c.separator;
        plat::ScopedFormatSettings settings(fs);
        DateUtilInitialization();
        TDateEdit* e = NewEdit();
        e->SetFocus();
        e->SelectAll();
        guitest::TypeText(e, c.typed);
        EXPECT_EQ(e->EditText(), c.shown);
        EXPECT_EQ(e->Text(), c.shown);
        if (c.y) {
            EXPECT_EQ(e->GetDate(), EncodeDate(c.y, c.m, c.d));
            EXPECT_NO_THROW(e->CheckDateText());
        } else {
            EXPECT_EQ(e->GetDate(), 0.0);
            EXPECT_THROW(e->CheckDateText(), plat::EConvertError);
        }
        delete e;
    }
    DateUtilInitialization();
}

TEST_F(DateEditTest, BlanksChar) {
    TDateEdit* e = NewEdit();
    e->SetBlanksChar('\t');
    EXPECT_EQ(e->BlanksChar(), ' ');
    e->SetBlanksChar('_');
    EXPECT_EQ(e->BlanksChar(), '_');
    EXPECT_EQ(e->EditMask(), "!99/99/9999;1;_");
}

}  // namespace
