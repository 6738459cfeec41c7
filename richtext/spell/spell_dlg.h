// The spell-check component: checks the text of edit controls against the
// dictionary, counts words, checks single words, and corrects while typing.
// During a check it shows a dialog layout through ISpellDialog; the layouts
// themselves live in the user-interface library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/component.h"
#include "richtext/spell/dictionary.h"
#include "richtext/spell/text_buffers.h"
#include "richtext/spell/text_sources.h"

namespace spell {

enum TLanguages { lgEnglish };
enum TAccents { acSpanish };
using TAccentSet = unsigned;  // bits 1 << TAccents
constexpr TAccentSet AccentBit(TAccents a) { return 1u << a; }

// Action codes the dialog's buttons set.
enum : int {
    kActionNone = 0,
    kActionClose = 2,
    kActionReplace = 20,
    kActionAdd = 21,
    kActionSkip = 22,
    kActionSkipAll = 23,
    kActionReplaceAll = 24,
};

struct TSpellFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;
    bool Bold = true;
};

// The texts of one language.
struct TSpellTexts {
    const char* Caption;        // "Spell Checker"
    const char* WordFound;      // "Word found:"
    const char* NotFound;       // "Not found:"
    const char* AddQuestion;    // Add "%s" to dictionary?
    const char* AlreadyIn;      // "%s" already in dictionary.
    const char* NoErrors;
    const char* Complete;
};
const TSpellTexts& SpellTexts(TLanguages language);
// "English".
std::string LanguageName(TLanguages language);

class TSpellDlg;

// A dialog layout as the check loop drives it.
class ISpellDialog {
public:
    virtual ~ISpellDialog() = default;

    // The dynamic operations, in their order.
    virtual void SetStateLabel(bool found) = 0;
    virtual void SetWordText(const std::string& ansi) = 0;
    virtual void SetReplaceText(const std::string& ansi) = 0;
    virtual std::string GetReplaceText() = 0;
    virtual void FocusReplace() = 0;
    virtual void SetLanguage(TLanguages language) = 0;
    virtual void ShowAccents(TAccentSet accents) = 0;
    virtual void ClearFields() = 0;
    // Fills the suggestion list for the replacement field's text; the first
    // suggestion goes into the field and the list gets the focus.
    virtual void Suggest();
    virtual void RemoveGlyphs() = 0;

    // The window.
    virtual void ShowDialog() = 0;
    virtual void HideDialog() = 0;
    virtual bool DialogShowing() const = 0;
    // Centred horizontally on the screen; with autoShift moved clear of `source`.
    virtual void PlaceDialog(bool autoShift, plat::TComponent* source) = 0;
    virtual void SetDialogFont(const TSpellFont& font) = 0;
    // The help the dialog's F1 asks for; 0 for none.
    virtual void SetDialogHelpContext(long context) = 0;

    int Action() const { return action_; }
    virtual void SetAction(int action) { action_ = action; }
    int MaxSuggestions() const { return maxSuggestions_; }
    virtual void SetMaxSuggestions(int n) { maxSuggestions_ = n; }
    // The component whose dictionary the dialog asks.
    TSpellDlg* Checker = nullptr;

protected:
    virtual void SetSuggestionList(const std::vector<std::string>& items) = 0;
    virtual void FocusSuggestionList() = 0;

private:
    int action_ = 0;
    int maxSuggestions_ = 10;
};

class TSpellDlg : public plat::TComponent {
public:
    explicit TSpellDlg(plat::TComponent* owner);
    ~TSpellDlg() override;

    // --- published properties --------------------------------------------------------
    TAccentSet AccentIcons = 0;
    std::string AutoCorrectList;
    bool AutoShift = false;
    bool AutoSuggest = true;
    bool ConfirmAdd = true;
    TDialogTypes DialogStyle() const { return style_; }
    // Makes the dialog of the new layout (the old one is freed).
    void SetDialogStyle(TDialogTypes style);
    std::string DictionaryName;
    std::string DictionaryPath = "APPLICATIONPATH";
    TLanguages DictionaryType = lgEnglish;
    std::string ExclusionList;
    TSpellFont Font;
    bool ForceModal = false;
    int HelpContext = 0;
    TLanguages LabelLanguage = lgEnglish;
    int Suggestions() const { return suggestions_; }
    // 0 is refused with a message and becomes 1.
    void SetSuggestions(int n);
    bool ShowCompletedDialog = true;
    bool ShowGlyphs() const { return showGlyphs_; }
    void SetShowGlyphs(bool on);
    bool SupportHTML = false;
    std::string UserDictionary = "CUSTOM.DIC";

    // --- dynamic operations -------------------------------------------------------------
    virtual void RevealControl(plat::TComponent* control);
    // 0: nothing replaced, 1: something replaced, 2: the user ended the check.
    virtual int SpellCheck(plat::TComponent* control);
    virtual int CheckAllFields(bool ShowCompleted);
    virtual void WordCount(plat::TComponent* control, int& total, int& unique);
    virtual void MisspeltHook(plat::TComponent* control, const std::string& word, int position);
    // The word (Windows-1252) ending at the caret of an edit control and
    // where it starts; false for other controls.
    virtual bool WordBeforeCaret(plat::TComponent* control, std::string& word, int& position);
    virtual void CheckWhileTyping(plat::TComponent* control, unsigned key);

    // --- other operations ---------------------------------------------------------------
    // A word in Windows-1252; opens the dictionary when needed.
    bool IsWord(const std::string& ansi);
    // Folder + main dictionary file.
    std::string LanguageDictionaryName();
    void OpenSpellDialog(plat::TComponent* source = nullptr);
    void CloseSpellCheck();
    // The check loop over one buffer.
    int CheckBuffer(TAbsBuffer& buffer);
    // Suggestions and completions for the dialog (Windows-1252 in and out).
    std::vector<std::string> SuggestionsFor(const std::string& ansi);
    std::vector<std::string> CompletionsFor(const std::string& ansiPrefix);

    ISpellDialog* Dialog();
    // The dictionary shared by every component; nullptr while closed.
    static TDictionary* SharedDictionary();
    // Opens it (and the user dictionary, exclusion list and corrections) when
    // needed; false when it cannot be opened (a message was shown).
    bool OpenDictionary();

    const std::vector<std::string>& SkipWords() const { return skipWords_; }
    const std::vector<std::string>& CorrectFrom() const { return correctFrom_; }
    const std::vector<std::string>& CorrectTo() const { return correctTo_; }
    bool Running() const { return running_; }

protected:
    // The buffer for a control; nullptr for controls the component cannot check.
    virtual std::unique_ptr<TAbsBuffer> BufferFor(plat::TComponent* control, int& selStart, int& selLength);
    virtual void RestoreSelection(plat::TComponent* control, int selStart, int selLength);
    virtual bool Checkable(plat::TComponent* control);
    void LoadAutoCorrections();
    std::string DictionaryFolder() const;
    void ShowCompleted(int result);

    std::unique_ptr<ISpellDialog> dialog_;
    std::unique_ptr<IEditText> edit_;  // the edit view of the control being checked
    TDialogTypes style_ = dtWordPerfect;
    int suggestions_ = 10;
    bool showGlyphs_ = true;
    bool running_ = false;
    bool correctionsLoaded_ = false;
    bool inCheckAll_ = false;
    std::vector<std::string> skipWords_;    // lower case, OEM
    std::vector<std::string> correctFrom_;  // lower case, OEM
    std::vector<std::string> correctTo_;    // Windows-1252
};

// Adds rich-text edit controls (anything implementing IRichEditWordScan).
class TJDSpellDlg : public TSpellDlg {
public:
    using TSpellDlg::TSpellDlg;
    // SpellCheck and RevealControl take rich-text controls through BufferFor
    // and the environment; checking all fields starts every editor afresh.
    int CheckAllFields(bool ShowCompleted) override;
    void WordCount(plat::TComponent* control, int& total, int& unique) override;

protected:
    std::unique_ptr<TAbsBuffer> BufferFor(plat::TComponent* control, int& selStart, int& selLength) override;
    void RestoreSelection(plat::TComponent* control, int selStart, int selLength) override;
    bool Checkable(plat::TComponent* control) override;
};

}  // namespace spell
