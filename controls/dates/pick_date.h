// The month calendar grid, its variant inside the pop-up and the dialog, the
// drop-down calendar of the date edit and the modal date dialog.
#pragma once

#include "controls/dates/tool_edit.h"
#include "controls/dates/zb_ctrls.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/grids.h"
#include "platform/gui/std_controls.h"

#include <functional>
#include <string>

namespace zb {

class TZbCalendar : public gui::TCustomGrid {
public:
    explicit TZbCalendar(TComponent* AOwner);

    TDateTime CalendarDate() const { return date_; }
    void SetCalendarDate(TDateTime value);
    int Year() const;
    int Month() const;
    int Day() const;
    void SetYear(int v) { SetDateElement(v, 1); }
    void SetMonth(int v) { SetDateElement(v, 2); }
    void SetDay(int v) { SetDateElement(v, 3); }
    // index 1 year, 2 month, 3 day; values out of range or unchanged are ignored.
    void SetDateElement(int value, int index);
    bool ReadOnly = false;
    TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
    void SetStartOfWeek(TDayOfWeekName d);
    bool UseCurrentDate() const { return useCurrentDate_; }
    void SetUseCurrentDate(bool v);
    TColor WeekendColor() const { return weekendColor_; }
    void SetWeekendColor(TColor c);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek w);
    gui::TNotifyEvent OnChange;

    int MonthOffset() const { return monthOffset_; }
    void NextMonth() { ChangeMonth(1); }
    void PrevMonth() { ChangeMonth(-1); }
    void NextYear();
    void PrevYear();
    void UpdateCalendar();
    std::string CellText(int ACol, int ARow) const;
    int DaysThisMonth() const;
    bool IsWeekend(int ACol, int ARow) const;
    // The cell that shows a day of the shown month.
    gui::TGridCoord CellOfDay(int day) const;

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, gui::TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void Resize() override;
    virtual void Change();
    bool IsToday(int ACol, int ARow) const;

private:
    void ChangeMonth(int delta);
    TDateTime date_ = 0;
    int monthOffset_ = 0;
    bool updating_ = false;
    TDayOfWeekName startOfWeek_ = Mon;
    bool useCurrentDate_ = true;
    TColor weekendColor_ = gui::clRed;
    TDaysOfWeek weekends_ = DaysOf({Sun});
};

// The calendar of the pop-up and the dialog: frames today's cell.
class TLocCalendar : public TZbCalendar {
public:
    explicit TLocCalendar(TComponent* AOwner);

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, gui::TGridDrawState AState) override;
};

// The four stepping buttons and the month title above a calendar.
struct CalendarTitle {
    gui::TPanel* panel = nullptr;
    TZbTimerSpeedButton* prevYear = nullptr;
    TZbTimerSpeedButton* prevMonth = nullptr;
    TZbTimerSpeedButton* nextMonth = nullptr;
    TZbTimerSpeedButton* nextYear = nullptr;
    gui::TLabel* title = nullptr;
};

class TPopupCalendar : public TPopupWindow {
public:
    explicit TPopupCalendar(TCustomComboEdit* owner);
    std::string GetPopupValue() override;
    void SetPopupValue(const std::string& value) override;
    void PopupKeyDown(unsigned& key, TShiftState shift) override;
    TLocCalendar* Calendar() const { return calendar_; }
    const CalendarTitle& Title() const { return title_; }

private:
    void CalendarChange();
    TLocCalendar* calendar_ = nullptr;
    CalendarTitle title_;
};

class TSelectDateDlg : public gui::TForm {
public:
    explicit TSelectDateDlg(TComponent* AOwner);
    TLocCalendar* Calendar() const { return calendar_; }
    const CalendarTitle& Title() const { return title_; }
    gui::TButton* OkButton() const { return ok_; }
    gui::TButton* CancelButton() const { return cancel_; }
    void PrevMonthBtnClick(gui::TObject*) { calendar_->PrevMonth(); }
    void NextMonthBtnClick(gui::TObject*) { calendar_->NextMonth(); }
    void PrevYearBtnClick(gui::TObject*) { calendar_->PrevYear(); }
    void NextYearBtnClick(gui::TObject*) { calendar_->NextYear(); }
    void CalendarChange(gui::TObject*);
    void CalendarDblClick(gui::TObject*) { SetModalResult(gui::mrOk); }
    void FormKeyDown(gui::TObject*, unsigned& Key, TShiftState Shift);

private:
    TLocCalendar* calendar_ = nullptr;
    CalendarTitle title_;
    gui::TButton* ok_ = nullptr;
    gui::TButton* cancel_ = nullptr;
};

TPopupCalendar* CreatePopupCalendar(TCustomComboEdit* owner);
void SetupPopupCalendar(TPopupWindow* popup, TDayOfWeekName startOfWeek, TDaysOfWeek weekends, TColor weekendColor);
// Shows the dialog modally; on OK stores the chosen date and returns true.
bool SelectDate(TDateTime& date, const std::string& caption, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                TColor weekendColor);
// Called with the dialog once it is shown (tests answer it this way).
extern std::function<void(TSelectDateDlg&)> SelectDateShownHook;

// Registers the glyphs and texts of the date controls in the program's
// resources when they are missing (done on first use).
void RegisterDateResources();
// A bitmap resource of the program (gui::LoadBitmapResource, after the date
// glyphs are registered); false, and `into` untouched, when there is none.
bool LoadResourceBitmap(const std::string& name, TBitmap& into);

}  // namespace zb
