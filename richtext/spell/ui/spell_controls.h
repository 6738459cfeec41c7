// Small controls of the spell dialogs: an edit where Enter moves on and
// Ctrl+Up/Down capitalise, and a list box that reports a changed choice.
#pragma once

#include "platform/gui/edits.h"
#include "platform/gui/lists.h"

namespace spellui {

class TEnterEdit : public gui::TEdit {
public:
    explicit TEnterEdit(gui::TComponent* owner) : gui::TEdit(owner) {}

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
};

class TNewListBox : public gui::TListBox {
public:
    explicit TNewListBox(gui::TComponent* owner) : gui::TListBox(owner) {}
    // Raised when a click changed the chosen item.
    gui::TNotifyEvent OnChange;
    int LastIndex() const { return lastIndex_; }

protected:
    void SelectionChangedByUser() override;

private:
    int lastIndex_ = -1;
};

}  // namespace spellui
