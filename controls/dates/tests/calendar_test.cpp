#include "controls/dates/pick_date.h"
#include "controls/dates/tool_edit.h"

#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"
#include "platform/gui/tests/gui_fixture.h"

#include <gtest/gtest.h>

using namespace gui;
using namespace zb;
using plat::EncodeDate;

namespace {

class CalendarTest : public guitest::GuiTest {
protected:
    // Today is 15 June 1999 for every test here.
    plat::FakeClock clock{1000, EncodeDate(1999, 6, 15) + 0.5};
    plat::ScopedClock scope{clock};
};

TEST_F(CalendarTest, MonthOffsetAndCellTexts) {
    TZbCalendar cal(nullptr);
    // August 1999 begins on a Sunday, March 1999 on a Monday.
    struct Case { int y, m; TDayOfWeekName start; int offset; } cases[] = {
        {1999, 8, Mon, -5}, {1999, 3, Mon, 1}, {1999, 8, Sun, 1}, {1999, 3, Sun, 0}, {2000, 2, Mon, 0},  // a Tuesday
    };
    for (const auto& c : cases) {
        cal.SetStartOfWeek(c.start);
        cal.SetCalendarDate(EncodeDate(c.y, c.m, 10));
        EXPECT_EQ(cal.MonthOffset(), c.offset) << c.y << "-" << c.m << " start " << c.start;
    }
    cal.SetStartOfWeek(Mon);
    cal.SetCalendarDate(EncodeDate(1999, 8, 10));
    EXPECT_EQ(cal.CellText(0, 0), "Mon");
    EXPECT_EQ(cal.CellText(6, 0), "Sun");
    EXPECT_EQ(cal.CellText(5, 1), "");
    EXPECT_EQ(cal.CellText(6, 1), "1");
    EXPECT_EQ(cal.CellText(0, 2), "2");
    EXPECT_EQ(cal.CellText(1, 6), "31");
    EXPECT_EQ(cal.CellText(2, 6), "");
    EXPECT_TRUE(cal.IsWeekend(6, 3));
    EXPECT_FALSE(cal.IsWeekend(0, 3));
    EXPECT_EQ(cal.Col(), 1);  // the 10th: Tuesday of the third row
    EXPECT_EQ(cal.Row(), 3);
}

TEST_F(CalendarTest, SetterIgnoresBadValuesAndStepsClamp) {
    TZbCalendar cal(nullptr);
    int changes = 0;
    cal.OnChange = [&](TObject*) { ++changes; };
    cal.SetCalendarDate(EncodeDate(1999, 1, 31));
    changes = 0;
    for (auto [value, index] : {std::pair{0, 1}, {-3, 2}, {13, 2}, {32, 3}, {1999, 1}, {1, 2}}) cal.SetDateElement(value, index);
    EXPECT_EQ(cal.CalendarDate(), EncodeDate(1999, 1, 31));
    EXPECT_EQ(changes, 0);
    cal.SetMonth(2);  // the day is clamped
    EXPECT_EQ(cal.CalendarDate(), EncodeDate(1999, 2, 28));
    EXPECT_EQ(changes, 1);
    cal.SetDay(31);  // February 31 does not exist
    EXPECT_EQ(cal.CalendarDate(), EncodeDate(1999, 2, 28));
    EXPECT_FALSE(cal.UseCurrentDate());

    struct Step { TDateTime from; void (TZbCalendar::*op)(); TDateTime to; } steps[] = {
        {EncodeDate(2000, 1, 31), &TZbCalendar::NextMonth, EncodeDate(2000, 2, 29)},
        {EncodeDate(1999, 1, 31), &TZbCalendar::NextMonth, EncodeDate(1999, 2, 28)},
        {EncodeDate(1999, 3, 31), &TZbCalendar::PrevMonth, EncodeDate(1999, 2, 28)},
        {EncodeDate(1999, 12, 15), &TZbCalendar::NextMonth, EncodeDate(2000, 1, 15)},
        {EncodeDate(2000, 1, 15), &TZbCalendar::PrevMonth, EncodeDate(1999, 12, 15)},
        {EncodeDate(2000, 2, 29), &TZbCalendar::NextYear, EncodeDate(2001, 2, 28)},
        {EncodeDate(2000, 2, 29), &TZbCalendar::PrevYear, EncodeDate(1999, 2, 28)},
        {EncodeDate(1999, 6, 5), &TZbCalendar::NextYear, EncodeDate(2000, 6, 5)},
    };
    for (const auto& s : steps) {
        cal.SetCalendarDate(s.from);
        (cal.*s.op)();
        EXPECT_EQ(cal.CalendarDate(), s.to) << plat::DateTimeToIsoString(s.from);
    }
    // Setting the year of 29 February directly keeps a valid date too.
    cal.SetCalendarDate(EncodeDate(2000, 2, 29));
    cal.SetYear(2001);
    EXPECT_EQ(cal.CalendarDate(), EncodeDate(2001, 2, 28));
    cal.SetUseCurrentDate(true);
    EXPECT_EQ(cal.CalendarDate(), EncodeDate(1999, 6, 15));
}

TEST_F(CalendarTest, ClicksOnDaysAndEmptyCells) {
    form->Show();
    auto* cal = new TZbCalendar(form);
    cal->SetParent(form);
    cal->SetBounds(0, 0, 210, 140);  // 30 x 20 cells
    cal->SetCalendarDate(EncodeDate(1999, 8, 10));
    auto centre = [&](int c, int r) {
        TRect rc = cal->CellRect(c, r);
        return TPoint{(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2};
    };
    guitest::Click(cal, centre(0, 1));  // before the 1st
    EXPECT_EQ(cal->CalendarDate(), EncodeDate(1999, 8, 10));
    guitest::Click(cal, centre(3, 6));  // after the 31st
    EXPECT_EQ(cal->CalendarDate(), EncodeDate(1999, 8, 10));
    guitest::Click(cal, centre(4, 3));  // the 13th
    EXPECT_EQ(cal->CalendarDate(), EncodeDate(1999, 8, 13));
    cal->ReadOnly = true;
    guitest::Click(cal, centre(0, 2));
    EXPECT_EQ(cal->CalendarDate(), EncodeDate(1999, 8, 13));
    cal->ReadOnly = false;
    cal->SetFocus();
    guitest::SendKey(cal, VK_LEFT);
    EXPECT_EQ(cal->Day(), 12);
    guitest::SendKey(cal, VK_DOWN);
    EXPECT_EQ(cal->Day(), 19);
    cal->SetDay(31);
    guitest::SendKey(cal, VK_RIGHT);
    EXPECT_EQ(cal->Day(), 31);
}

TEST_F(CalendarTest, DateDialogKeys) {
    TSelectDateDlg dlg(nullptr);
    dlg.Show();
    TLocCalendar* cal = dlg.Calendar();
    cal->SetCalendarDate(EncodeDate(2000, 1, 31));
    EXPECT_EQ(dlg.Title().title->Caption(), "January, 2000");
    cal->SetFocus();
    struct Case { unsigned key; TShiftState shift; TDateTime want; } cases[] = {
        {VK_TAB, 0, EncodeDate(2000, 2, 29)},          {VK_TAB, ssShift, EncodeDate(2000, 1, 29)},
        {VK_NEXT, 0, EncodeDate(2000, 2, 29)},         {VK_NEXT, ssCtrl, EncodeDate(2001, 2, 28)},
        {VK_PRIOR, ssCtrl, EncodeDate(2000, 2, 28)},   {VK_PRIOR, 0, EncodeDate(2000, 1, 28)},
    };
    for (const auto& c : cases) {
        guitest::SendKey(cal, c.key, c.shift);
        EXPECT_EQ(cal->CalendarDate(), c.want) << c.key << " " << c.shift;
    }
    EXPECT_EQ(dlg.Title().title->Caption(), "January, 2000");
    EXPECT_EQ(dlg.ModalResult(), mrNone);
    guitest::SendKey(cal, VK_RETURN);
    EXPECT_EQ(dlg.ModalResult(), mrOk);
    dlg.SetModalResult(mrNone);
    guitest::SendKey(cal, VK_ESCAPE);
    EXPECT_EQ(dlg.ModalResult(), mrCancel);
    dlg.SetModalResult(mrNone);
    TRect r = cal->CellRect(2, 2);
    guitest::DoubleClick(cal, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    EXPECT_EQ(dlg.ModalResult(), mrOk);
    // The stepping buttons.
    guitest::Click(dlg.Title().nextYear, {5, 5});
    EXPECT_EQ(cal->Year(), 2001);
    guitest::Click(dlg.Title().prevMonth, {5, 5});
    EXPECT_EQ(cal->Month(), 12);
    EXPECT_EQ(cal->Year(), 2000);
    dlg.Hide();
}

TEST_F(CalendarTest, SelectDateReturnsTheChosenDate) {
    TDateTime date = EncodeDate(2003, 5, 6);
    std::string caption;
    SelectDateShownHook = [&](TSelectDateDlg& dlg) {
        caption = dlg.Caption();
        EXPECT_EQ(dlg.Calendar()->CalendarDate(), EncodeDate(2003, 5, 6));
        EXPECT_EQ(dlg.Calendar()->StartOfWeek(), Sun);
        dlg.Calendar()->NextMonth();
        dlg.SetModalResult(mrOk);
    };
    EXPECT_TRUE(SelectDate(date, "Pick", Sun, DaysOf({Sat, Sun}), clBlue));
    EXPECT_EQ(date, EncodeDate(2003, 6, 6));
    EXPECT_EQ(caption, "Pick");
    SelectDateShownHook = [](TSelectDateDlg& dlg) { dlg.SetModalResult(mrCancel); };
    EXPECT_FALSE(SelectDate(date, "Pick", Mon, 0, clRed));
    EXPECT_EQ(date, EncodeDate(2003, 6, 6));
    SelectDateShownHook = nullptr;
}

}  // namespace
