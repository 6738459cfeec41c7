// The spell checker's user interface on the GUI layer: standard edit
// controls as text sources, the dialog layouts, the word-count window, the
// hour-glass cursor and the nested wait for the user's choice.
#pragma once

#include <memory>

#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "richtext/spell/text_sources.h"
#include "richtext/spell/ui/word_form.h"

namespace spellui {

class TEditTextAdapter : public spell::IEditText {
public:
    explicit TEditTextAdapter(gui::TCustomEdit& edit) : edit_(edit) {}
    std::string GetText() const override { return edit_.Text(); }
    int GetSelStart() const override { return edit_.SelStart(); }
    int GetSelLength() const override { return edit_.SelLength(); }
    void SetSelection(int start, int length) override {
        edit_.SetSelStart(start);
        edit_.SetSelLength(length);
    }
    void ReplaceSelection(const std::string& text) override { edit_.SetSelText(text); }
    bool GetModified() const override { return edit_.Modified(); }
    void SetModified(bool m) override { edit_.SetModified(m); }

private:
    gui::TCustomEdit& edit_;
};

class TQtSpellEnvironment : public spell::TSpellEnvironment {
public:
    TQtSpellEnvironment();
    ~TQtSpellEnvironment() override;
    void ProcessMessages() override;
    void WaitMessage() override;
    void SetHourGlass(bool on) override;
    void DisableTaskWindows(spell::ISpellDialog* except) override;
    void EnableTaskWindows() override;
    std::unique_ptr<spell::ISpellDialog> CreateDialog(spell::TDialogTypes style) override;
    std::unique_ptr<spell::IEditText> EditTextOf(plat::TComponent* control) override;
    bool IsWindowedControl(plat::TComponent* control) override;
    void RevealControl(plat::TComponent* control) override;
    spell::IWordCountView* WordCountView() override;
    // The word-count window, nullptr before the first count.
    TWordForm* WordForm();

private:
    class TFormWatch;
    gui::TTaskWindowList disabled_;
    std::unique_ptr<TFormWatch> watch_;
};

// Installs the environment (once; later calls do nothing) and returns it.
TQtSpellEnvironment& InstallSpellUi();

}  // namespace spellui
