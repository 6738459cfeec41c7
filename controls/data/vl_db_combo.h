// The data-aware combo box: the picture edit with a button at its right
// edge and a drop-down list that never takes the focus. With MapList each
// item is "display TAB stored value": the list shows the display parts and
// the field receives the stored ones. While the list is open, Enter and
// Escape close it (taking or dropping the choice) instead of reaching the
// form's default and cancel buttons, and Tab takes the choice and moves on.
#pragma once

#include "controls/data/vl_db_edit.h"
#include "platform/gui/buttons.h"
#include "platform/gui/lists.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vl {

enum TvlComboButtonStyle { cbsEllipsis, cbsDownArrow };

class TvlDBComboBox;

// The list under the combo: a floating window; typing in it searches.
class TvlPopupListbox : public gui::TCustomListBox {
public:
    TvlPopupListbox(plat::TComponent* AOwner, TvlDBComboBox* combo);
    // Adds a typed key to the search text and selects the first item that
    // begins with it; true when the key was a search key.
    void SearchKey(char key);
    const std::string& SearchText() const { return search_; }
    void ClearSearch() { search_.clear(); }

protected:
    QWidget* CreateWidget() override;
    void DrawItem(int Index, gui::TRect Rect, gui::TOwnerDrawState State) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;

private:
    TvlDBComboBox* combo_;
    std::string search_;
    std::uint32_t lastKey_ = 0;
};

class TvlDBCustomCombo : public TvlDBCustomEdit {
public:
    explicit TvlDBCustomCombo(plat::TComponent* AOwner);
    TvlComboButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(TvlComboButtonStyle s);
    bool ShowButton() const;
    void SetShowButton(bool on);
    gui::TSpeedButton* Button() const { return button_; }
    virtual bool IsDroppedDown() const { return false; }
    virtual void DropDown() {}
    virtual void CloseUp(bool accept) {}
    unsigned WindowStyle() const override;
    // The text ends where the button starts.
    gui::TRect EditRect() const override;

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Resize() override;
    void WndProc(gui::TMessage& Message) override;
    void ButtonClicked();

    gui::TSpeedButton* button_ = nullptr;
    TvlComboButtonStyle buttonStyle_ = cbsEllipsis;
};

using TvlComboCloseUpEvent = std::function<void(TvlDBComboBox* Sender, bool Select)>;

class TvlDBComboBox : public TvlDBCustomCombo {
public:
    explicit TvlDBComboBox(plat::TComponent* AOwner);
    plat::StringList& Items() { return items_; }
    gui::TComboBoxStyle Style = gui::csDropDown;
    // Sets Style; a simple combo has no button, and one that stops being
    // simple gets it back.
    void SetStyle(gui::TComboBoxStyle style);
    bool MapList = false;
    bool AllowClearKey = false;
    bool AutoDropDown = false;
    bool ShowMatchText = false;
    int DropDownCount = 8;
    int DropDownWidth = 0;
    int ItemHeight = 16;
    gui::TNotifyEvent OnDropDown;
    TvlComboCloseUpEvent OnCloseUp;
    // Draws the list's items (Control: the list) and, for owner-drawn
    // styles, the edit area (Control: the combo), on Control's canvas.
    gui::TDrawItemEvent OnDrawItem;
    // The height of each list item in csOwnerDrawVariable style (Control: the list).
    gui::TMeasureItemEvent OnMeasureItem;
    bool OwnerDrawn() const { return Style == gui::csOwnerDrawFixed || Style == gui::csOwnerDrawVariable; }

    std::string StoredToDisplay(const std::string& value) const;
    std::string DisplayToStored(const std::string& text) const;
    std::string GetStoredValue() const;
    void SetComboValue(const std::string& value);
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    bool IsDroppedDown() const override { return dropped_; }
    void DropDown() override;
    void CloseUp(bool accept) override;
    TvlPopupListbox* List() const { return list_; }
    // Where the list goes for the control's screen rectangle, the list's
    // size and the screen's: under it, above when it would pass the bottom,
    // right-aligned when it would pass the right edge.
    static gui::TPoint ListPosition(const gui::TRect& control, int listWidth, int listHeight, int screenWidth,
                                    int screenHeight);
    static bool IsEditKey(unsigned key);
    bool EditAreaEditable() const;
    // With a map, a cell shows the item's text for the stored value.
    bool GridDisplayText(const std::string& value, std::string& text) override;

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(unsigned& Key, gui::TShiftState Shift) override;
    void DoExit() override;
    void Paint() override;
    void WndProc(gui::TMessage& Message) override;
    std::string StoredText() override;
    void DataChange() override;

private:
    // ShowMatchText: selects the item the typed text begins; false when none does.
    bool MatchText(char key);
    std::string DisplayOf(int index) const;
    plat::StringList items_;
    TvlPopupListbox* list_ = nullptr;
    bool dropped_ = false;
    bool firstKey_ = false;
    int itemIndex_ = -1;
};

}  // namespace vl
