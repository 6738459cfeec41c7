#include "richtext/spell/ui/word_form.h"

#include <string>

namespace spellui {

using namespace gui;

TWordForm::TWordForm(TComponent* owner) : TForm(owner) {
    SetCaption("Word Count");
    SetClientSize(220, 120);
    Position = poScreenCenter;

    Bevel1 = new TBevel(this);
    Bevel1->SetParent(this);
    Bevel1->SetBounds(8, 8, 204, 30);
    Bevel2 = new TBevel(this);
    Bevel2->SetParent(this);
    Bevel2->SetBounds(8, 44, 204, 30);

    auto label = [this](int x, int y, const std::string& text, const char* name) {
        auto* l = new TLabel(this);
        l->SetParent(this);
        l->SetName(name);
        l->SetBounds(x, y, 90, 16);
        l->SetCaption(text);
        return l;
    };
    lblWordsCaption = label(16, 16, "Words:", "lblWordsCaption");
    lblUniqueCaption = label(16, 52, "Unique Words:", "lblUniqueCaption");
    lblWords = label(120, 16, "0", "lblWords");
    lblUniqueWords = label(120, 52, "0", "lblUniqueWords");

    btnOk = new TButton(this);
    btnOk->SetParent(this);
    btnOk->SetName("btnOk");
    btnOk->SetCaption("OK");
    btnOk->SetBounds(72, 84, 75, 25);
    btnOk->Default = true;
    btnOk->OnClick = [this](TObject*) { Hide(); };
    // Last: a fixed-size window keeps the size it has when its border is set.
    SetBorderStyle(bsDialog);
}

void TWordForm::SetCounts(int total, int unique) {
    lblWords->SetCaption(std::to_string(total));
    lblUniqueWords->SetCaption(std::to_string(unique));
}

}  // namespace spellui
