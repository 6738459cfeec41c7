// Fixtures of the spell-check tests: a scripted dialog driven from the
// environment's wait for the user, a small dictionary in a temporary folder,
// and a component that is a rich-text word source over a bare engine.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi/fake_device.h"
#include "platform/core/dialog_service.h"
#include "richtext/spell/engine_word_source.h"
#include "richtext/spell/spell_dlg.h"
#include "richtext/spell/ui/spell_ui.h"
#include "tests/support/test_support.h"

namespace spellcheck_test {

// Records what the loop shows and answers from a script of steps.
class TScriptedDialog : public spell::ISpellDialog {
public:
    void SetStateLabel(bool found) override { lastFound = found; }
    void SetWordText(const std::string& ansi) override { word = ansi; }
    void SetReplaceText(const std::string& ansi) override { replace = ansi; }
    std::string GetReplaceText() override { return replace; }
    void FocusReplace() override {}
    void SetLanguage(spell::TLanguages) override {}
    void ShowAccents(spell::TAccentSet) override {}
    void ClearFields() override {
        replace.clear();
        suggestions.clear();
    }
    void RemoveGlyphs() override {}
    void ShowDialog() override { showing = true; }
    void HideDialog() override { showing = false; }
    bool DialogShowing() const override { return showing; }
    void PlaceDialog(bool, plat::TComponent*) override {}
    void SetDialogFont(const spell::TSpellFont&) override {}
    void SetDialogHelpContext(long context) override { helpContext = context; }
    long helpContext = -1;

    bool lastFound = false;
    bool showing = false;
    std::string word, replace;
    std::vector<std::string> suggestions;

protected:
    void SetSuggestionList(const std::vector<std::string>& items) override { suggestions = items; }
    void FocusSuggestionList() override {}
};

// The GUI layer's environment with the scripted dialog: each wait for the
// user runs the next step; with no step left the dialog is closed.
class TScriptedEnvironment : public spellui::TQtSpellEnvironment {
public:
    using Step = std::function<void(TScriptedDialog&)>;

    std::unique_ptr<spell::ISpellDialog> CreateDialog(spell::TDialogTypes) override {
        auto d = std::make_unique<TScriptedDialog>();
        dialog = d.get();
        return d;
    }
    void WaitMessage() override {
        reported.push_back(dialog->word);
        suggestionsShown.push_back(dialog->suggestions);
        if (steps.empty()) {
            ++unscripted;
            dialog->SetAction(spell::kActionClose);
            return;
        }
        Step s = steps.front();
        steps.pop_front();
        s(*dialog);
    }
    void ProcessMessages() override {
        ++rounds;
        if (onRound) onRound(rounds);
    }

    TScriptedDialog* dialog = nullptr;
    std::deque<Step> steps;
    std::vector<std::string> reported;
    std::vector<std::vector<std::string>> suggestionsShown;
    int unscripted = 0;
    int rounds = 0;
    std::function<void(int)> onRound;
};

inline TScriptedEnvironment::Step Press(int action) {
    return [action](TScriptedDialog& d) { d.SetAction(action); };
}
inline TScriptedEnvironment::Step ReplaceWith(const std::string& text, int action = spell::kActionReplace) {
    return [text, action](TScriptedDialog& d) {
        d.replace = text;
        d.SetAction(action);
    };
}

// A component that offers the rich-text word scan over its own engine.
class TRichEditStub : public plat::TComponent, public spell::TEngineWordSource {
public:
    explicit TRichEditStub(plat::TComponent* owner);
    void SetPlainText(const std::string& text);  // paragraphs separated by '\r'
    std::string PlainText() const;               // paragraphs joined by '\r'
    void PlaceCursor(int pos);

    plat::TRecordingDevice device{72, 72};
    richtext::TJDRTFTextInput engine;
};

// The environment, a dictionary of a few words in a temporary folder, and a
// component reading it; the dialog service answers from a script.
class SpellCheckTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The spell component's boxes of one kind of text.
    std::vector<std::string> BoxTexts() const;
    void MakeChecker(bool bridge = false);

    testsupport::TempDir dir;
    TScriptedEnvironment env;
    gui::ScriptedDialogService boxes;
    std::unique_ptr<gui::ScopedDialogService> scope;
    std::unique_ptr<plat::TComponent> form;  // owner of the controls and the checker
    spell::TSpellDlg* checker = nullptr;
};

}  // namespace spellcheck_test
