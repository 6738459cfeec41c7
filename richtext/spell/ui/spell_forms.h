// The spell dialog's three layouts. TAbsSpellDialog holds what they share:
// the replacement field, the suggestion list, the buttons that set the
// action code and the accent buttons; each layout places them and adds its own.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "richtext/spell/spell_dlg.h"
#include "richtext/spell/ui/spell_controls.h"

namespace spellui {

class TAbsSpellDialog : public gui::TForm, public spell::ISpellDialog {
public:
    explicit TAbsSpellDialog(gui::TComponent* owner);

    TEnterEdit* edtWord;
    TNewListBox* lstSuggest;
    gui::TLabel* lblFound;
    gui::TLabel* lblReplace;
    gui::TLabel* lblSuggestions;
    gui::TBitBtn* btnReplace;
    gui::TBitBtn* btnSkip;
    gui::TBitBtn* btnSkipAll;
    gui::TBitBtn* btnSuggest;
    gui::TBitBtn* btnAdd;
    gui::TBitBtn* btnClose;
    gui::TPanel* pnlIcons;
    gui::TSpeedButton *btnA, *btnE, *btnI, *btnO, *btnU, *btnN, *btnN2;

    // ISpellDialog.
    void SetReplaceText(const std::string& ansi) override;
    std::string GetReplaceText() override;
    void FocusReplace() override;
    void ShowAccents(spell::TAccentSet accents) override;
    void ClearFields() override;
    void RemoveGlyphs() override;
    void ShowDialog() override;
    void HideDialog() override;
    bool DialogShowing() const override { return gui::TForm::Visible(); }
    void PlaceDialog(bool autoShift, plat::TComponent* source) override;
    void SetDialogFont(const spell::TSpellFont& font) override;
    void SetDialogHelpContext(long context) override { HelpContext = context; }

    // The handlers the buttons run.
    void btnCloseClick(gui::TObject*) { SetAction(spell::kActionClose); }
    void btnReplaceClick(gui::TObject*) { SetAction(spell::kActionReplace); }
    void btnAddClick(gui::TObject*) { SetAction(spell::kActionAdd); }
    void btnSkipClick(gui::TObject*) { SetAction(spell::kActionSkip); }
    void btnSkipAllClick(gui::TObject*) { SetAction(spell::kActionSkipAll); }
    void btnReplaceAllClick(gui::TObject*) { SetAction(spell::kActionReplaceAll); }
    void btnSuggestClick(gui::TObject*) { Suggest(); }
    // Inserts the button's character into the replacement field at the caret.
    void AccentClick(gui::TObject* sender);
    // Fills the list with the dictionary words beginning with the field's text.
    void QuickSuggest();
    // The layout's "found" and "not found" texts for the typed word, and the
    // button that takes the focus then.
    virtual void edtWordExit(gui::TObject*);


protected:
    void SetSuggestionList(const std::vector<std::string>& items) override;
    void FocusSuggestionList() override;
    void DoClose(gui::TCloseAction& Action) override;
    gui::TBitBtn* MakeButton(const char* name, gui::TColor glyphColor);
    gui::TLabel* MakeLabel(const char* name);
    std::vector<gui::TBitBtn*> buttons_;
};

// The layout with "Found" / "Not Found" beside the word.
class TJDSpell : public TAbsSpellDialog {
public:
    explicit TJDSpell(gui::TComponent* owner);
    gui::TLabel* lblNotFound;
    gui::TLabel* lblWord;
    void SetStateLabel(bool found) override;
    void SetWordText(const std::string& ansi) override;
    void SetLanguage(spell::TLanguages language) override;
    void edtWordExit(gui::TObject*) override;
    // Esc closes, F3 suggests.
    void FormKeyDown(gui::TObject*, unsigned& Key, gui::TShiftState Shift);
};

class TMSSpell : public TAbsSpellDialog {
public:
    explicit TMSSpell(gui::TComponent* owner);
    gui::TBitBtn* btnReplaceAll;
    gui::TEdit* edtCurWord;
    gui::TBitBtn *btnAutoCorrect, *btnOptions, *btnUndo, *btnHelp;
    void SetStateLabel(bool found) override;
    void SetWordText(const std::string& ansi) override;
    void SetLanguage(spell::TLanguages language) override;
};

class TW96Spell : public TAbsSpellDialog {
public:
    explicit TW96Spell(gui::TComponent* owner);
    gui::TBitBtn* btnReplaceAll;
    gui::TSpeedButton* sbSuggest;
    gui::TLabel* lblTitle;
    gui::TLabel* lblWord;
    void SetStateLabel(bool found) override;
    void SetWordText(const std::string& ansi) override;
    void SetLanguage(spell::TLanguages language) override;
    void edtWordExit(gui::TObject*) override;
};

// The layout of a dialog style.
std::unique_ptr<TAbsSpellDialog> CreateSpellDialog(spell::TDialogTypes style);

}  // namespace spellui
