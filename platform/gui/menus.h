// Menus: items with captions, short-cuts, check marks, radio groups,
// enabled and visible states and sub-menus; the form's main menu (whose
// short-cuts reach their items before the focused control sees the key, and
// which merges with another form's menu by group index); and pop-up menus
// shown at a point or by a right click on their control.
#pragma once

#include "platform/gui/controls.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace gui {

// A key and its shift keys in one number.
using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
TShortCut ShortCut(unsigned key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, unsigned& key, TShiftState& shift);
// "Ctrl+S", "Shift+Del", "F1"; empty for none.
std::string ShortCutToText(TShortCut shortCut);
// The reverse; 0 when the text names no key.
TShortCut TextToShortCut(const std::string& text);

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& c);
    // A caption of "-" makes a separator.
    bool IsLine() const { return caption_ == "-"; }
    bool Checked() const { return checked_; }
    // Checking a radio item unchecks the others of its group in the same menu.
    void SetChecked(bool c);
    bool Enabled = true;
    bool Visible = true;
    bool RadioItem = false;
    std::uint8_t GroupIndex = 0;
    TShortCut ShortCut = 0;
    bool Default = false;
    std::string Hint;
    TNotifyEvent OnClick;
    // Raises OnClick (enabled or not: callers check).
    virtual void Click();

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(index); }
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const;
    // Takes the item into this one's sub-menu (from any sub-menu it was in).
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes it out without freeing it.
    void Remove(TMenuItem* item);
    // Frees the item at index.
    void Delete(int index);
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    // The sub-item with this caption (ignoring '&' and case), or nullptr.
    TMenuItem* Find(const std::string& caption) const;
    // A number unique in the process, for WM_COMMAND.
    unsigned Command() const { return command_; }
    // The menu this item belongs to, or nullptr.
    TMenu* GetParentMenu() const;
    // The accelerator of the caption (the letter after a single '&', upper
    // case), or 0.
    char Accelerator() const;

private:
    void Changed();
    friend class TMenu;
    friend class TMainMenu;
    std::string caption_;
    bool checked_ = false;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on the root item
    unsigned command_ = 0;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    // The root item; its sub-items are the menu's items.
    TMenuItem* Items() const { return items_.get(); }
    // The item with this command number, or nullptr.
    TMenuItem* FindItem(unsigned command) const;
    // The visible, enabled item with this short-cut under visible, enabled
    // parents: its parents are clicked first (they may update it), then it.
    // True when an item took the key.
    virtual bool IsShortCut(unsigned key, TShiftState shift);
    // Clicks the item of a WM_COMMAND; false for an unknown command.
    bool DispatchCommand(unsigned command);
    // Items were added, removed or changed (captions, checks). Changes to
    // Enabled and Visible, which are plain fields, are shown when the bar is
    // next used or after a call to this.
    virtual void ItemsChanged() {}

protected:
    // The top items as shown (a merged main menu shows another menu's too).
    virtual std::vector<TMenuItem*> TopItems() const;
    // Whether the menu answers short-cuts while `focused` has the focus.
    virtual bool HandlesKeysFor(TWinControl* focused) const = 0;

private:
    std::unique_ptr<TMenuItem> items_;
    int hook_ = 0;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* AOwner);
    ~TMainMenu() override;
    // The form whose keys the menu answers (by default the owner, when a form).
    TWinControl* Form() const { return form_; }
    void SetForm(TWinControl* form) { form_ = form; }
    // Shows `menu`'s items with these: an item of it replaces the items of
    // the same group index, others go in group-index order.
    void Merge(TMainMenu* menu);
    void Unmerge(TMainMenu* menu);
    // Set on a form's menu that is not the main form's: the main form's menu
    // merges it when the form takes it as its Menu, and its own bar is not shown.
    bool AutoMerge = false;
    // The menu that has merged this one, or nullptr.
    TMainMenu* MergedInto() const { return mergedInto_; }
    void ItemsChanged() override;
    // Alt and the accelerator of a top item opens it (or clicks it, without
    // sub-items); other keys as for any menu.
    bool IsShortCut(unsigned key, TShiftState shift) override;
    // The items as shown now.
    std::vector<TMenuItem*> MergedItems() const { return TopItems(); }
    // A Qt menu tree of the shown items, for a menu bar.
    void FillQMenu(QMenu* menu) const;

protected:
    std::vector<TMenuItem*> TopItems() const override;
    bool HandlesKeysFor(TWinControl* focused) const override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TWinControl* form_ = nullptr;
    TMainMenu* merged_ = nullptr;
    TMainMenu* mergedInto_ = nullptr;
};

// The Qt menu bar of a form with a menu (nullptr without one), for tests.
QWidget* MenuBarOf(TWinControl* form);

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;
    // Raises OnPopup and shows the menu with its top-left at a screen point;
    // returns at once, the chosen item is clicked later.
    virtual void Popup(int X, int Y);
    bool AutoPopup = true;
    TPopupAlignment Alignment = paLeft;
    // The control the menu was last shown for.
    TControl* PopupComponent = nullptr;
    TNotifyEvent OnPopup;
    // The Qt menu shown by the last Popup (nullptr before).
    QMenu* ShownMenu() const;

protected:
    bool HandlesKeysFor(TWinControl* focused) const override;

private:
    struct Shown;
    std::unique_ptr<Shown> shown_;
};

// A control's pop-up menu: shown by a right click on it (AutoPopup), and
// its short-cuts answered while it or a child has the focus.
void SetPopupMenu(TControl* control, TPopupMenu* menu);
TPopupMenu* GetPopupMenu(const TControl* control);

}  // namespace gui
