#include "richtext/spell/ui/spell_controls.h"

#include "platform/win/message_queue.h"

namespace spellui {

using namespace gui;

void TEnterEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    if (Key == VK_RETURN) {
        if (TForm* form = ParentForm()) plat::PostMessage(form->Handle(), WM_NEXTDLGCTL, 0, 0);
        Key = 0;
        return;
    }
    if ((Shift & ssCtrl) && (Key == VK_UP || Key == VK_DOWN)) {
        std::string t = Text();
        if (Key == VK_UP) {
            for (char& c : t)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        } else if (!t.empty() && t[0] >= 'a' && t[0] <= 'z') {
            t[0] = static_cast<char>(t[0] - 'a' + 'A');
        }
        int start = SelStart(), len = SelLength();
        SetText(t);
        SetSelStart(start);
        SetSelLength(len);
        Key = 0;
        return;
    }
    TEdit::KeyDown(Key, Shift);
}

void TEnterEdit::KeyPress(char& Key) {
    if (Key == '\r') {
        Key = 0;
        return;
    }
    TEdit::KeyPress(Key);
}

void TNewListBox::SelectionChangedByUser() {
    TListBox::SelectionChangedByUser();
    if (ItemIndex() != lastIndex_) {
        lastIndex_ = ItemIndex();
        if (OnChange) OnChange(this);
    }
}

}  // namespace spellui
