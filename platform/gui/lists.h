// List boxes and combo boxes: plain, sorted and owner-drawn items, single
// and multiple selection, the list-box and combo-box messages (find string
// among them), and a combo box whose list drops down in a window of its own.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/edits.h"

#include <functional>
#include <vector>

namespace gui {

// List-box messages.
constexpr UINT LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182,
               LB_RESETCONTENT = 0x0184, LB_SETSEL = 0x0185, LB_SETCURSEL = 0x0186, LB_GETSEL = 0x0187,
               LB_GETCURSEL = 0x0188, LB_GETTEXT = 0x0189, LB_GETTEXTLEN = 0x018A, LB_GETCOUNT = 0x018B,
               LB_SELECTSTRING = 0x018C, LB_GETTOPINDEX = 0x018E, LB_FINDSTRING = 0x018F,
               LB_GETSELCOUNT = 0x0190, LB_SETTOPINDEX = 0x0197, LB_GETITEMRECT = 0x0198,
               LB_GETITEMHEIGHT = 0x01A1, LB_FINDSTRINGEXACT = 0x01A2;
// Combo-box messages and notifications.
constexpr UINT CB_GETEDITSEL = 0x0140, CB_LIMITTEXT = 0x0141, CB_SETEDITSEL = 0x0142, CB_ADDSTRING = 0x0143,
               CB_DELETESTRING = 0x0144, CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147, CB_GETLBTEXT = 0x0148,
               CB_INSERTSTRING = 0x014A, CB_RESETCONTENT = 0x014B, CB_FINDSTRING = 0x014C,
               CB_SELECTSTRING = 0x014D, CB_SETCURSEL = 0x014E, CB_SHOWDROPDOWN = 0x014F,
               CB_GETDROPPEDSTATE = 0x0157, CB_FINDSTRINGEXACT = 0x0158;
constexpr int CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5,
              CBN_EDITUPDATE = 6, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8, CBN_SELENDOK = 9, CBN_SELENDCANCEL = 10;
constexpr LRESULT LB_ERR = -1, CB_ERR = -1;

// Win32's search rule of LB_FINDSTRING: the first item after `start` (-1:
// from the top), wrapping round, that begins with `prefix` without regard
// to case (equals it, when exact); -1 when none.
int FindListString(const plat::StringList& items, int start, const std::string& prefix, bool exact);

using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = 0x01, odGrayed = 0x02, odDisabled = 0x04, odChecked = 0x08,
                          odFocused = 0x10, odDefault = 0x20, odComboBoxEdit = 0x1000;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox : public TCustomControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    plat::StringList& Items() { return items_; }
    // -1: none. Setting it scrolls the item into view.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int i);
    bool Sorted() const { return items_.Sorted(); }
    void SetSorted(bool s) { items_.SetSorted(s); }
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle s);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int h);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool m);
    bool ExtendedSelect = true;
    bool Selected(int i) const;
    void SetSelected(int i, bool s);
    int SelCount() const;
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int i);
    // On: the list's height is cut to whole items (not for variable heights).
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool on);
    // More than 0: the items run down columns this many of which fill the
    // width, and the list scrolls sideways a column at a time.
    int Columns() const { return columns_; }
    void SetColumns(int columns);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TBorderStyle BorderStyle = bsSingle;
    // The item at a client point; with `existing` false, one past the last
    // for a point below the items. -1 when none.
    int ItemAtPos(TPoint pos, bool existing) const;
    TRect ItemRect(int index) const;
    void Clear();

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    // Draws one item: OnDrawItem for owner-drawn styles, the text otherwise.
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // The user changed the selection: OnClick.
    virtual void SelectionChangedByUser();
    int HeightOf(int index) const;
    int VisibleCount() const;
    // With columns: items in a column, and a column's width.
    int RowsPerColumn() const;
    int ColumnWidth() const;
    bool InColumns() const { return columns_ > 0 && style_ != lbOwnerDrawVariable; }
    void ItemsChanged();
    void UpdateScrollBar();

private:
    void SelectByUser(int index, TShiftState shift);
    plat::StringList items_;
    std::vector<bool> selected_;
    int itemIndex_ = -1;
    int topIndex_ = 0;
    int anchor_ = -1;
    TListBoxStyle style_ = lbStandard;
    int itemHeight_ = 16;
    bool multiSelect_ = false;
    bool tracking_ = false;
    bool integralHeight_ = false;
    int columns_ = 0;
    bool updatingBars_ = false;
    mutable std::vector<int> heights_;  // variable heights, measured once per change
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox;

// The list that drops down under a combo box, in a frameless window; or,
// `embedded`, the list always shown in a csSimple combo under its edit.
class TComboListBox : public TCustomListBox {
public:
    TComboListBox(TComponent* AOwner, TCustomComboBox* combo, bool embedded = false);
    // A dropped-down list never takes the focus: taking it would activate the
    // list's own window and leave the form inactive once the list closes.
    bool CanFocus() const override;

protected:
    QWidget* CreateWidget() override;
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;
    void MeasureItem(int Index, int& Height) override;
    void SelectionChangedByUser() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TCustomComboBox* combo_;
    bool embedded_;
};

class TCustomComboBox : public TCustomEdit {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    plat::StringList& Items() { return items_; }
    int ItemIndex() const { return itemIndex_; }
    // Shows the item's text; -1 clears the selection (and the text of a list style).
    void SetItemIndex(int i);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle s);
    bool Sorted() const { return items_.Sorted(); }
    void SetSorted(bool s) { items_.SetSorted(s); }
    int DropDownCount = 8;
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int h) { itemHeight_ = std::max(1, h); }
    bool DroppedDown() const { return dropped_; }
    // Opening raises OnDropDown (before the list shows), closing OnCloseUp.
    void SetDroppedDown(bool d);
    // The drop-down list (created on first use); for csSimple the list shown
    // under the edit, inside the combo's bounds.
    TComboListBox* ListBox();
    // The height of the edit part; a csSimple combo's list fills the rest.
    int EditHeight() const { return itemHeight_ + 5; }
    void SelectAll() { TCustomEdit::SelectAll(); }
    // While the drop-down list paints an owner-drawn item, the combo's canvas
    // is the list's, so OnDrawItem draws where the item is.
    TCanvas& Canvas();

    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

protected:
    friend class TComboListBox;
    void Paint() override;
    virtual void DropDown();
    virtual void CloseUp();
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Change() override;
    // The list's selection taken by the user (keys or a click in the list).
    void SelectByUser(int index, bool closeList);
    bool EditAreaEditable() const { return style_ == csDropDown || style_ == csSimple; }
    TRect ButtonRect() const;
    TRect TextArea() const override;
    void Resize() override;

private:
    void Notify(int code);
    plat::StringList items_;
    int itemIndex_ = -1;
    TComboBoxStyle style_ = csDropDown;
    int itemHeight_ = 16;
    bool dropped_ = false;
    bool settingIndex_ = false;
    void PlaceSimpleList();
    // The list showing the items now (the simple list or the drop-down), if any.
    TCustomListBox* ShownList() const;
    TComboListBox* list_ = nullptr;
    TComboListBox* simpleList_ = nullptr;
    TCanvas* itemCanvasOverride_ = nullptr;
};

class TComboBox : public TCustomComboBox {
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

}  // namespace gui
