// An edit with a small button at its right edge that drops a window down
// under the edit (or raises an event), and the date edit built on it, whose
// button opens a pop-up calendar or the date dialog. While the pop-up
// shows, Enter and Esc are its own (accept, drop); otherwise they go to the
// form's default and cancel buttons.
#pragma once

#include "controls/dates/date_util.h"
#include "controls/dates/zb_ctrls.h"
#include "platform/gui/mask_edit.h"
#include "platform/gui/menus.h"

#include <functional>
#include <memory>
#include <string>

namespace zb {

using gui::TShiftState;
using gui::TShortCut;
using gui::TWinControl;

class TCustomComboEdit;

// The window the edit drops down; it never takes the focus.
class TPopupWindow : public gui::TCustomControl {
public:
    explicit TPopupWindow(TCustomComboEdit* owner);
    TCustomComboEdit* OwnerEdit() const { return edit_; }
    virtual std::string GetPopupValue() = 0;
    virtual void SetPopupValue(const std::string& value) = 0;
    // Hands over to the owner edit's HidePopup.
    virtual void ClosePopup(bool accept);
    // Keys the edit passes on while the window is shown.
    virtual void PopupKeyDown(unsigned& key, TShiftState shift) {}

protected:
    QWidget* CreateWidget() override;
    void MouseUp(gui::TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TCustomComboEdit* edit_;
};

// The edit's button: a press that closed the pop-up swallows the click after it.
class TEditButton : public TZbSpeedButton {
public:
    TEditButton(TComponent* AOwner, TCustomComboEdit* edit);
    void Click() override;

protected:
    void Paint() override;
    void MouseDown(gui::TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TCustomComboEdit* edit_;
    bool noAction_ = false;
};

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };

// The class library's look switch: the Windows 95 look ("new-style controls").
extern bool NewStyleControls;

class TCustomComboEdit : public gui::TCustomMaskEdit {
public:
    explicit TCustomComboEdit(TComponent* AOwner);
    ~TCustomComboEdit() override;

    TShortCut ClickKey = 32808;  // Alt+Down
    bool ReadOnly() const { return GetReadOnly(); }
    void SetReadOnly(bool v);
    bool DirectInput() const { return directInput_; }
    void SetDirectInput(bool v);
    gui::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(gui::TAlignment a);
    TGlyphKind GlyphKind() const { return glyphKind_; }
    void SetGlyphKind(TGlyphKind k);
    TBitmap& Glyph() { return button_->Glyph(); }
    void SetGlyph(const TBitmap& b);
    int NumGlyphs() const { return button_->NumGlyphs(); }
    void SetNumGlyphs(int n) { button_->SetNumGlyphs(n); }
    int ButtonWidth() const { return button_->Width(); }
    void SetButtonWidth(int w);
    const std::string& ButtonHint() const { return button_->Hint(); }
    void SetButtonHint(const std::string& h) { button_->SetHint(h); }
    gui::TNotifyEvent OnButtonClick;

    TEditButton* Button() const { return button_; }
    gui::TCustomControl* ButtonHolder() const { return holder_; }
    // Where the holder belongs in the edit's client coordinates (inside the border).
    TRect ButtonHolderRect() const;
    TPopupWindow* Popup() const { return popup_; }
    bool PopupVisible() const { return popupVisible_; }
    // The inner edit accepts typing.
    bool InnerEditable() const { return !TCustomEdit::ReadOnly(); }

    void ShowPopup();
    void HidePopup(bool accept);
    virtual void ButtonPressed();
    // The button's click: nothing when read-only.
    void HandleButtonClick();
    void WndProc(gui::TMessage& Message) override;

protected:
    virtual bool CanAcceptPopupValue(std::string& value) { return true; }
    virtual bool GetReadOnly() const { return readOnly_; }
    // The glyph of gkDefault and its image count; nullptr: none.
    virtual TBitmap* DefaultGlyph(int& numGlyphs) { return nullptr; }
    void SetPopup(TPopupWindow* popup);
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(gui::TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Change() override;
    void Resize() override;
    gui::TRect TextArea() const override;
    void UpdateInnerReadOnly();
    void PlaceButton();
    void RecreateGlyph();

    TPopupWindow* popup_ = nullptr;

private:
    gui::TCustomControl* holder_ = nullptr;
    TEditButton* button_ = nullptr;
    bool readOnly_ = false;
    bool directInput_ = true;
    gui::TAlignment alignment_ = gui::taLeftJustify;
    TGlyphKind glyphKind_ = gkCustom;
    bool popupVisible_ = false;
    bool focused_ = false;
};

enum TDayOfWeekName { Sun, Mon, Tue, Wed, Thu, Fri, Sat };
// A set of days: bit (1 << day).
using TDaysOfWeek = unsigned;
constexpr TDaysOfWeek DaysOf(std::initializer_list<TDayOfWeekName> days) {
    TDaysOfWeek s = 0;
    for (TDayOfWeekName d : days) s |= 1u << d;
    return s;
}

enum TCalendarStyle { csPopup, csDialog };
using TExecDateDialog = std::function<void(gui::TObject* Sender, TDateTime& Date, bool& Action)>;

// The date edit's rule for "no date": only blanks and date separators.
bool DateTextIsEmpty(const std::string& text);

class TCustomDateEdit : public TCustomComboEdit {
public:
    explicit TCustomDateEdit(TComponent* AOwner);
    ~TCustomDateEdit() override;

    char BlanksChar() const { return blanksChar_; }
    void SetBlanksChar(char c);
    std::string DialogTitle;
    TColor PopupColor() const;
    void SetPopupColor(TColor c);
    TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
    void SetStartOfWeek(TDayOfWeekName d);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek w);
    TColor WeekendColor() const { return weekendColor_; }
    void SetWeekendColor(TColor c);
    bool DefaultToday = false;
    bool CheckOnExit = false;
    TExecDateDialog OnAcceptDate;
    TCalendarStyle CalendarStyle() const;
    void SetCalendarStyle(TCalendarStyle s);

    // Today or the null date when the text is no date.
    TDateTime GetDate();
    void SetDate(TDateTime value);
    // Raises plat::EConvertError when the text is neither empty nor a date.
    void CheckDateText();
    bool TextIsEmpty() const { return DateTextIsEmpty(Text()); }
    virtual void RebuildDateMask();
    void ButtonPressed() override;

protected:
    bool CanAcceptPopupValue(std::string& value) override;
    TBitmap* DefaultGlyph(int& numGlyphs) override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void DoExit() override;
    void WndProc(gui::TMessage& Message) override;

private:
    void PassSettings();
    char blanksChar_ = ' ';
    TColor popupColor_ = gui::clBtnFace;
    TDayOfWeekName startOfWeek_ = Mon;
    TDaysOfWeek weekends_ = DaysOf({Sun});
    TColor weekendColor_ = gui::clRed;
    bool checking_ = false;
};

class TDateEdit : public TCustomDateEdit {
public:
    explicit TDateEdit(TComponent* AOwner);
};

// The shared bitmaps of the date edit (its default glyph), freed at program end.
TBitmap* DateEditGlyph();

}  // namespace zb
