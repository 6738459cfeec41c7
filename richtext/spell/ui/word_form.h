// The "Word Count" window: running totals while a text is counted.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "richtext/spell/text_sources.h"

namespace spellui {

class TWordForm : public gui::TForm, public spell::IWordCountView {
public:
    explicit TWordForm(gui::TComponent* owner);

    gui::TLabel* lblWordsCaption;
    gui::TLabel* lblUniqueCaption;
    gui::TLabel* lblWords;
    gui::TLabel* lblUniqueWords;
    gui::TBevel* Bevel1;
    gui::TBevel* Bevel2;
    gui::TButton* btnOk;

    bool Visible() const override { return gui::TForm::Visible(); }
    void ShowCounting() override { Show(); }
    void SetCounts(int total, int unique) override;
};

}  // namespace spellui
