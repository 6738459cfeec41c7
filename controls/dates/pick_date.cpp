#include "controls/dates/pick_date.h"

#include "platform/core/clock.h"
#include "platform/core/format_settings.h"
#include "platform/gui/program_resources.h"

#include <algorithm>
#include <cmath>

namespace zb {

using namespace gui;

std::function<void(TSelectDateDlg&)> SelectDateShownHook;

namespace {

TDateTime Today() { return std::floor(plat::Now()); }

}  // namespace

// ===========================================================================
// TZbCalendar

TZbCalendar::TZbCalendar(TComponent* AOwner) : TCustomGrid(AOwner) {
    SetFixedCols(0);
    SetColCount(7);
    SetRowCount(7);
    SetFixedRows(1);
    SetScrollBars(ssNone);
    SetOptions((Options() & ~(goRangeSelect | goVertLine | goHorzLine | goFixedVertLine | goFixedHorzLine)) |
               goDrawFocusSelected);
    SetGridLineWidth(0);
    SetLeftCol(0);
    SetTopRow(1);
    date_ = Today();
    UpdateCalendar();
}

int TZbCalendar::Year() const {
    int y, m, d;
    plat::DecodeDate(date_, y, m, d);
    return y;
}

int TZbCalendar::Month() const {
    int y, m, d;
    plat::DecodeDate(date_, y, m, d);
    return m;
}

int TZbCalendar::Day() const {
    int y, m, d;
    plat::DecodeDate(date_, y, m, d);
    return d;
}

void TZbCalendar::SetCalendarDate(TDateTime value) {
    value = std::floor(value);
    if (!ValidDateTime(value)) return;
    date_ = value;
    useCurrentDate_ = false;
    UpdateCalendar();
    Change();
}

void TZbCalendar::SetDateElement(int value, int index) {
    if (value <= 0) return;
    int y, m, d;
    plat::DecodeDate(date_, y, m, d);
    switch (index) {
    case 1:
        if (value == y || value > 9999) return;
        y = value;
        d = std::min(d, DaysPerMonth(y, m));
        break;
    case 2:
        if (value == m || value > 12) return;
        m = value;
        d = std::min(d, DaysPerMonth(y, m));
        break;
    case 3:
        if (value == d || value > DaysPerMonth(y, m)) return;
        d = value;
        break;
    default: return;
    }
    date_ = plat::EncodeDate(y, m, d);
    useCurrentDate_ = false;
    UpdateCalendar();
    Change();
}

void TZbCalendar::Change() {
    if (OnChange) OnChange(this);
}

void TZbCalendar::SetStartOfWeek(TDayOfWeekName d) {
    if (d == startOfWeek_) return;
    startOfWeek_ = d;
    UpdateCalendar();
}

void TZbCalendar::SetUseCurrentDate(bool v) {
    if (v == useCurrentDate_) return;
    useCurrentDate_ = v;
    if (v) {
        date_ = Today();
        UpdateCalendar();
        Change();
    }
}

void TZbCalendar::SetWeekendColor(TColor c) {
    if (c == weekendColor_) return;
    weekendColor_ = c;
    Invalidate();
}

void TZbCalendar::SetWeekends(TDaysOfWeek w) {
    if (w == weekends_) return;
    weekends_ = w;
    Invalidate();
}

int TZbCalendar::DaysThisMonth() const { return DaysPerMonth(Year(), Month()); }

void TZbCalendar::ChangeMonth(int delta) {
    int y, m, d;
    plat::DecodeDate(date_, y, m, d);
    const TDateTime start = delta > 0 ? plat::EncodeDate(y, m, DaysPerMonth(y, m)) : plat::EncodeDate(y, m, 1);
    const TDateTime moved = start + delta;
    if (!ValidDateTime(moved)) return;
    int y2, m2, d2;
    plat::DecodeDate(moved, y2, m2, d2);
    SetCalendarDate(plat::EncodeDate(y2, m2, std::min(d, DaysPerMonth(y2, m2))));
}

void TZbCalendar::NextYear() {
    if (IsLeapYear(Year()) && Month() == 2 && Day() == 29) SetDay(28);
    SetYear(Year() + 1);
}

void TZbCalendar::PrevYear() {
    if (IsLeapYear(Year()) && Month() == 2 && Day() == 29) SetDay(28);
    SetYear(Year() - 1);
}

void TZbCalendar::UpdateCalendar() {
    const int dow = plat::DayOfWeek(plat::EncodeDate(Year(), Month(), 1));  // 1 = Sunday
    monthOffset_ = 2 - ((dow - static_cast<int>(startOfWeek_) + 7) % 7);
    if (monthOffset_ == 2) monthOffset_ = -5;
    // Moving the focus here is the calendar's own doing, not a click.
    updating_ = true;
    const TGridCoord cell = CellOfDay(Day());
    MoveColRow(cell.X, cell.Y, true, false);
    updating_ = false;
    Invalidate();
}

TGridCoord TZbCalendar::CellOfDay(int day) const {
    const int index = day - monthOffset_;
    return {index % 7, index / 7 + 1};
}

std::string TZbCalendar::CellText(int ACol, int ARow) const {
    if (ARow == 0) return plat::CurrentFormatSettings().ShortDayNames[(static_cast<int>(startOfWeek_) + ACol) % 7];
    const int day = ACol + monthOffset_ + (ARow - 1) * 7;
    if (day < 1 || day > DaysThisMonth()) return {};
    return std::to_string(day);
}

bool TZbCalendar::IsWeekend(int ACol, int ARow) const {
    (void)ARow;
    return (weekends_ >> ((static_cast<int>(startOfWeek_) + ACol) % 7)) & 1u;
}

bool TZbCalendar::IsToday(int ACol, int ARow) const {
    if (ARow < 1) return false;
    const std::string text = CellText(ACol, ARow);
    if (text.empty()) return false;
    int y, m, d;
    plat::DecodeDate(Today(), y, m, d);
    return y == Year() && m == Month() && std::stoi(text) == d;
}

bool TZbCalendar::SelectCell(int ACol, int ARow) {
    if (updating_) return true;
    if (ReadOnly || ARow < 1) return false;
    const std::string text = CellText(ACol, ARow);
    if (text.empty()) return false;
    SetDay(std::stoi(text));
    return true;
}

void TZbCalendar::KeyDown(unsigned& Key, TShiftState Shift) {
    if (!(Shift & (ssShift | ssCtrl | ssAlt))) {
        if (Key == VK_LEFT) {
            if (Day() > 1) SetDay(Day() - 1);
            Key = 0;
            return;
        }
        if (Key == VK_RIGHT) {
            if (Day() < DaysThisMonth()) SetDay(Day() + 1);
            Key = 0;
            return;
        }
    }
    TCustomGrid::KeyDown(Key, Shift);
}

void TZbCalendar::Resize() {
    const int w = std::max(1, ClientWidth() / 7), h = std::max(1, ClientHeight() / 7);
    SetDefaultColWidth(w);
    SetDefaultRowHeight(h);
    for (int c = 0; c < 7; ++c) SetColWidths(c, w);
    for (int r = 0; r < 7; ++r) SetRowHeights(r, h);
    TCustomGrid::Resize();
}

void TZbCalendar::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    const bool selected = (AState & gdSelected) || (AState & gdFocused);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(ARow == 0 ? FixedColor : selected ? clHighlight : Color());
    c.FillRect(ARect);
    const std::string text = CellText(ACol, ARow);
    if (text.empty()) return;
    if (ARow > 0 && selected) c.Font().SetColor(clHighlightText);
    else if (ARow > 0 && IsWeekend(ACol, ARow)) c.Font().SetColor(weekendColor_);
    c.Brush().SetStyle(bsClear);
    const int x = ARect.Left + (ARect.Width() - c.TextWidth(text)) / 2;
    const int y = ARect.Top + (ARect.Height() - c.TextHeight(text)) / 2;
    c.TextOut(x, y, text);
}

// ===========================================================================
// TLocCalendar

TLocCalendar::TLocCalendar(TComponent* AOwner) : TZbCalendar(AOwner) {
    SetUseCurrentDate(true);
    SetCtl3D(false);
}

void TLocCalendar::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
    TZbCalendar::DrawCell(ACol, ARow, ARect, AState);
    if (IsToday(ACol, ARow)) {
        TRect r = ARect;
        Frame3D(Canvas(), r, clBtnShadow, clBtnHighlight, 1);
    }
}

// ===========================================================================
// The title with its stepping buttons

namespace {

TZbTimerSpeedButton* StepButton(TComponent* owner, TWinControl* parent, const std::string& glyph,
                                const std::string& hint, int x, int y, int h) {
    auto* b = new TZbTimerSpeedButton(owner);
    b->SetParent(parent);
    b->SetBounds(x, y, 15, h);
    TBitmap bmp;
    if (LoadResourceBitmap(glyph, bmp)) b->SetGlyph(bmp);
    b->SetHint(hint);
    b->SetShowHint(true);
    b->Font().SetName("MS Sans Serif");
    b->Font().SetSize(8);
    b->Font().SetStyle(0);
    b->Font().SetColor(clBtnText);
    return b;
}

void BuildTitle(CalendarTitle& t, TComponent* owner, TWinControl* parent, int width, int height, int prevMonthX,
                int nextMonthX, int nextYearX, int buttonTop, int buttonHeight) {
    t.panel = new TPanel(owner);
    t.panel->SetParent(parent);
    t.panel->SetBounds(0, 0, width, height);
    t.panel->SetBevelOuter(bvNone);
    t.panel->SetCaption("");
    t.prevYear = StepButton(owner, t.panel, "PREV2", "Previous Year|", 3, buttonTop, buttonHeight);
    t.prevMonth = StepButton(owner, t.panel, "PREV1", "Previous Month|", prevMonthX, buttonTop, buttonHeight);
    t.nextMonth = StepButton(owner, t.panel, "NEXT1", "Next Month|", nextMonthX, buttonTop, buttonHeight);
    t.nextYear = StepButton(owner, t.panel, "NEXT2", "Next Year|", nextYearX, buttonTop, buttonHeight);
    t.title = new TLabel(owner);
    t.title->SetParent(t.panel);
    t.title->SetAutoSize(false);
    t.title->SetAlignment(taCenter);
    t.title->SetLayout(tlCenter);
    t.title->SetBounds(prevMonthX + 16, 0, nextMonthX - prevMonthX - 17, height);
}

std::string TitleText(TDateTime date) { return plat::FormatDateTime("MMMM, YYYY", date); }

}  // namespace

// ===========================================================================
// TPopupCalendar

TPopupCalendar::TPopupCalendar(TCustomComboEdit* owner) : TPopupWindow(owner) {
    SetBounds(0, 0, 180, 120);
    BuildTitle(title_, this, this, 180, 18, 18, 147, 162, 1, 16);
    title_.panel->SetColor(clBtnFace);
    calendar_ = new TLocCalendar(this);
    calendar_->SetParent(this);
    calendar_->SetBounds(0, 18, 180, 102);
    calendar_->BorderStyle = bsNone;
    calendar_->SetTabStop(false);
    calendar_->OnChange = [this](TObject*) { CalendarChange(); };
    calendar_->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int x, int y) {
        if (b != mbLeft) return;
        const TGridCoord cell = calendar_->MouseCoord(x, y);
        if (cell.Y >= 1 && cell.X >= 0 && !calendar_->CellText(cell.X, cell.Y).empty()) ClosePopup(true);
    };
    title_.prevYear->OnClick = [this](TObject*) { calendar_->PrevYear(); };
    title_.prevMonth->OnClick = [this](TObject*) { calendar_->PrevMonth(); };
    title_.nextMonth->OnClick = [this](TObject*) { calendar_->NextMonth(); };
    title_.nextYear->OnClick = [this](TObject*) { calendar_->NextYear(); };
    CalendarChange();
}

void TPopupCalendar::CalendarChange() { title_.title->SetCaption(TitleText(calendar_->CalendarDate())); }

std::string TPopupCalendar::GetPopupValue() {
    if (ComponentState() & csDesigning) return FormatDefaultDate(Today());
    return FormatDefaultDate(calendar_->CalendarDate());
}

void TPopupCalendar::SetPopupValue(const std::string& value) {
    calendar_->SetCalendarDate(StrToDateFmtDef(DefaultDateFormat(), value, Today()));
    CalendarChange();
}

void TPopupCalendar::PopupKeyDown(unsigned& key, TShiftState shift) {
    const bool ctrl = shift & ssCtrl;
    if (key == VK_PRIOR) {
        ctrl ? calendar_->PrevYear() : calendar_->PrevMonth();
    } else if (key == VK_NEXT) {
        ctrl ? calendar_->NextYear() : calendar_->NextMonth();
    } else {
        calendar_->Perform(WM_KEYDOWN, key, 0);
    }
    key = 0;
}

TPopupCalendar* CreatePopupCalendar(TCustomComboEdit* owner) {
    // The layer draws at 96 pixels per inch on every screen, so no scaling is needed.
    return new TPopupCalendar(owner);
}

void SetupPopupCalendar(TPopupWindow* popup, TDayOfWeekName startOfWeek, TDaysOfWeek weekends, TColor weekendColor) {
    auto* p = dynamic_cast<TPopupCalendar*>(popup);
    if (!p) return;
    p->Calendar()->SetStartOfWeek(startOfWeek);
    p->Calendar()->SetWeekends(weekends);
    p->Calendar()->SetWeekendColor(weekendColor);
}

// ===========================================================================
// TSelectDateDlg

TSelectDateDlg::TSelectDateDlg(TComponent* AOwner) : TForm(AOwner) {
    RegisterDateResources();
    SetBorderStyle(bsDialog);
    SetCaption(LoadResString(61262));
    SetClientSize(222, 154);
    Position = poScreenCenter;
    KeyPreview = true;
    BuildTitle(title_, this, this, 222, 35, 18, 188, 203, 9, 17);
    title_.panel->SetColor(clSilver);
    title_.title->Font().SetColor(clBlue);
    title_.title->Font().SetStyle(fsBold);
    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetBounds(0, 124, 222, 30);
    bottom->SetBevelOuter(bvNone);
    bottom->SetCaption("");
    ok_ = new TButton(this);
    ok_->SetParent(bottom);
    ok_->SetCaption("OK");
    ok_->SetBounds(58, 3, 75, 25);
    ok_->ModalResult = mrOk;
    ok_->Default = true;
    cancel_ = new TButton(this);
    cancel_->SetParent(bottom);
    cancel_->SetCaption("Cancel");
    cancel_->SetBounds(139, 3, 75, 25);
    cancel_->ModalResult = mrCancel;
    cancel_->Cancel = true;
    calendar_ = new TLocCalendar(this);
    calendar_->SetParent(this);
    calendar_->SetBounds(0, 35, 222, 89);
    calendar_->SetTabOrder(0);
    calendar_->OnChange = [this](TObject* s) { CalendarChange(s); };
    calendar_->OnDblClick = [this](TObject* s) { CalendarDblClick(s); };
    title_.prevYear->OnClick = [this](TObject* s) { PrevYearBtnClick(s); };
    title_.prevMonth->OnClick = [this](TObject* s) { PrevMonthBtnClick(s); };
    title_.nextMonth->OnClick = [this](TObject* s) { NextMonthBtnClick(s); };
    title_.nextYear->OnClick = [this](TObject* s) { NextYearBtnClick(s); };
    title_.panel->OnDblClick = [this](TObject*) { calendar_->SetUseCurrentDate(true); };
    OnKeyDown = [this](TObject* s, unsigned& k, TShiftState sh) { FormKeyDown(s, k, sh); };
    SetActiveControl(calendar_);
    CalendarChange(this);
}

void TSelectDateDlg::CalendarChange(TObject*) { title_.title->SetCaption(TitleText(calendar_->CalendarDate())); }

void TSelectDateDlg::FormKeyDown(TObject*, unsigned& Key, TShiftState Shift) {
    const bool ctrl = Shift & ssCtrl;
    switch (Key) {
    case VK_ESCAPE: SetModalResult(mrCancel); break;
    case VK_RETURN: SetModalResult(mrOk); break;
    case VK_TAB: (Shift & ssShift) ? calendar_->PrevMonth() : calendar_->NextMonth(); break;
    case VK_PRIOR: ctrl ? calendar_->PrevYear() : calendar_->PrevMonth(); break;
    case VK_NEXT: ctrl ? calendar_->NextYear() : calendar_->NextMonth(); break;
    default: return;
    }
    calendar_->Invalidate();
    Key = 0;
}

bool SelectDate(TDateTime& date, const std::string& caption, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                TColor weekendColor) {
    TSelectDateDlg dlg(nullptr);
    dlg.SetCaption(caption);
    dlg.Calendar()->SetStartOfWeek(startOfWeek);
    dlg.Calendar()->SetWeekends(weekends);
    dlg.Calendar()->SetWeekendColor(weekendColor);
    if (date != 0 && ValidDateTime(date)) dlg.Calendar()->SetCalendarDate(date);
    if (SelectDateShownHook) dlg.OnShow = [](TObject* s) { SelectDateShownHook(*static_cast<TSelectDateDlg*>(s)); };
    if (dlg.ShowModal() != mrOk) return false;
    date = dlg.Calendar()->CalendarDate();
    return true;
}

}  // namespace zb
