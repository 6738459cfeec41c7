#include "richtext/spell/spell_dlg.h"

#include <algorithm>
#include <fstream>

#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "richtext/spell/spell_files.h"
#include "richtext/spell/suggest.h"

namespace spell {

namespace {

std::unique_ptr<TDictionary> g_dictionary;
int g_components = 0;

TSpellEnvironment g_headless;
TSpellEnvironment* g_environment = nullptr;

std::string FormatWord(const char* pattern, const std::string& word) {
    std::string s = pattern;
    std::size_t at = s.find("%s");
    if (at != std::string::npos) s.replace(at, 2, word);
    return s;
}

int IndexOf(const std::vector<std::string>& list, const std::string& lowerWord) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (LowerAscii(list[i]) == lowerWord) return static_cast<int>(i);
    return -1;
}

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Enables the other windows again however the check ends.
struct TaskWindowsGuard {
    bool active = false;
    ~TaskWindowsGuard() {
        if (active) SpellEnvironment().EnableTaskWindows();
    }
};

struct HourGlassGuard {
    ~HourGlassGuard() { SpellEnvironment().SetHourGlass(false); }
};

}  // namespace

std::unique_ptr<ISpellDialog> TSpellEnvironment::CreateDialog(TDialogTypes) { return nullptr; }

TSpellEnvironment& SpellEnvironment() { return g_environment ? *g_environment : g_headless; }
void SetSpellEnvironment(TSpellEnvironment* env) { g_environment = env; }

const TSpellTexts& SpellTexts(TLanguages) {
    static const TSpellTexts english{"Spell Checker",
                                     "Word found:",
                                     "Not found:",
                                     "Add \"%s\" to dictionary?",
                                     "\"%s\" already in dictionary.",
                                     "No errors found. Spell checking complete...",
                                     "Spell checking complete."};
    return english;
}

std::string LanguageName(TLanguages) { return "English"; }

// --- ISpellDialog ---------------------------------------------------------------------

void ISpellDialog::Suggest() {
    std::vector<std::string> items;
    if (Checker) items = Checker->SuggestionsFor(GetReplaceText());
    SetSuggestionList(items);
    if (!items.empty()) {
        SetReplaceText(items.front());
        FocusSuggestionList();
    }
}

// --- TSpellDlg: properties ------------------------------------------------------------------

TSpellDlg::TSpellDlg(plat::TComponent* owner) : plat::TComponent(owner) { ++g_components; }

TSpellDlg::~TSpellDlg() {
    dialog_.reset();
    // The last component closes the shared dictionary, which saves added words.
    if (--g_components == 0) g_dictionary.reset();
}

void TSpellDlg::SetDialogStyle(TDialogTypes style) {
    style_ = style;
    dialog_.reset();
}

void TSpellDlg::SetSuggestions(int n) {
    if (n <= 0) {
        gui::MessageBox("Invlid number of suggestions.", SpellTexts(LabelLanguage).Caption,
                        gui::MB_OK | gui::MB_ICONSTOP);
        n = 1;
    }
    suggestions_ = std::min(n, 255);
    if (dialog_) dialog_->SetMaxSuggestions(suggestions_);
}

void TSpellDlg::SetShowGlyphs(bool on) {
    showGlyphs_ = on;
    if (!on && dialog_) dialog_->RemoveGlyphs();
}

ISpellDialog* TSpellDlg::Dialog() {
    if (!dialog_) {
        dialog_ = SpellEnvironment().CreateDialog(style_);
        if (!dialog_) return nullptr;
        dialog_->Checker = this;
        dialog_->SetMaxSuggestions(suggestions_);
        dialog_->SetLanguage(LabelLanguage);
        dialog_->ShowAccents(AccentIcons);
        dialog_->SetDialogFont(Font);
        dialog_->SetDialogHelpContext(HelpContext);
        if (!showGlyphs_) dialog_->RemoveGlyphs();
    }
    return dialog_.get();
}

TDictionary* TSpellDlg::SharedDictionary() { return g_dictionary.get(); }

// --- dictionary -------------------------------------------------------------------------------

std::string TSpellDlg::DictionaryFolder() const {
    std::string folder = UpperAscii(DictionaryPath) == "APPLICATIONPATH" ? plat::ProgramDir() : DictionaryPath;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '/';
    return folder;
}

std::string TSpellDlg::LanguageDictionaryName() {
    std::string name = DictionaryName.empty() ? UpperAscii(LanguageName(DictionaryType)) + ".DCT" : DictionaryName;
    return DictionaryFolder() + name;
}

bool TSpellDlg::OpenDictionary() {
    if (!g_dictionary || !g_dictionary->IsOpen) {
        std::string name = LanguageDictionaryName();
        std::string found = FindFileNoCase(name);
        if (!g_dictionary) g_dictionary = std::make_unique<TDictionary>();
        try {
            if (!g_dictionary->AddDictionary(found.empty() ? name : found)) g_dictionary.reset();
        } catch (...) {
            g_dictionary.reset();
            throw;
        }
        if (!g_dictionary) {
            gui::MessageBox("Error opening dictionary " + name, SpellTexts(LabelLanguage).Caption,
                            gui::MB_OK | gui::MB_ICONSTOP);
            return false;
        }
        g_dictionary->OpenUserDictionary(UserDictionary);
        if (!ExclusionList.empty()) g_dictionary->OpenExclusionList(ExclusionList);
    }
    // Corrections belong to the component and outlive the dictionary:
    // Replace All keeps working in later checks.
    if (!AutoCorrectList.empty() && !correctionsLoaded_) LoadAutoCorrections();
    return true;
}

void TSpellDlg::LoadAutoCorrections() {
    correctionsLoaded_ = true;
    std::string name = AutoCorrectList;
    std::string path = FindFileNoCase(name);
    if (path.empty()) {
        name = DictionaryFolder() + AutoCorrectList;
        path = FindFileNoCase(name);
    }
    if (path.empty()) {
        gui::MessageBox(name + " file not found.", SpellTexts(LabelLanguage).Caption, gui::MB_OK | gui::MB_ICONWARNING);
        return;
    }
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 >= line.size()) continue;
        correctFrom_.push_back(LowerAscii(plat::AnsiToOem(line.substr(0, eq))));
        correctTo_.push_back(line.substr(eq + 1));
    }
}

bool TSpellDlg::IsWord(const std::string& ansi) {
    if (!OpenDictionary()) return false;
    return g_dictionary->IsWord(plat::AnsiToOem(ansi));
}

std::vector<std::string> TSpellDlg::SuggestionsFor(const std::string& ansi) {
    if (ansi.empty() || !OpenDictionary()) return {};
    SpellEnvironment().SetHourGlass(true);
    HourGlassGuard guard;
    return g_dictionary->Suggest(plat::AnsiToOem(PlainApostrophes(ansi)), static_cast<std::uint16_t>(suggestions_));
}

std::vector<std::string> TSpellDlg::CompletionsFor(const std::string& ansiPrefix) {
    if (ansiPrefix.empty() || !OpenDictionary()) return {};
    return g_dictionary->CompleteWord(ansiPrefix, static_cast<std::uint16_t>(suggestions_));
}

// --- the dialog -------------------------------------------------------------------------------

void TSpellDlg::OpenSpellDialog(plat::TComponent* source) {
    ISpellDialog* d = Dialog();
    if (!d) return;
    d->PlaceDialog(AutoShift, source);
    d->ShowDialog();
    if (!showGlyphs_) d->RemoveGlyphs();
    d->SetDialogFont(Font);
    d->SetDialogHelpContext(HelpContext);
}

void TSpellDlg::CloseSpellCheck() {
    if (dialog_) {
        SpellEnvironment().EnableTaskWindows();
        dialog_->HideDialog();
    }
    g_dictionary.reset();
}

void TSpellDlg::ShowCompleted(int result) {
    if (result == 2) return;
    const TSpellTexts& t = SpellTexts(LabelLanguage);
    gui::MessageBox(result == 0 ? t.NoErrors : t.Complete, t.Caption, gui::MB_OK | gui::MB_ICONINFORMATION);
}

// --- the check loop ----------------------------------------------------------------------------

int TSpellDlg::CheckBuffer(TAbsBuffer& buffer) {
    if (!OpenDictionary()) return 2;
    ISpellDialog* dlg = Dialog();
    if (!dlg) return 2;
    TSpellEnvironment& env = SpellEnvironment();
    const TSpellTexts& texts = SpellTexts(LabelLanguage);
    plat::TComponent* source = buffer.SourceControl();

    bool wasModified = buffer.SourceModified();
    buffer.SetSourceModified(false);
    buffer.SupportHTML = SupportHTML;
    TaskWindowsGuard taskWindows;
    if (ForceModal) {
        env.DisableTaskWindows(dlg);
        taskWindows.active = true;
    }
    OpenSpellDialog(source);
    dlg->ClearFields();
    dlg->SetAction(kActionNone);
    bool nothingReplaced = true, textChanged = false, closed = false;
    HourGlassGuard hourGlass;

    // A replacement of our own is no edit by the user: the source's flag is
    // cleared after it so that the next round does not read the text again.
    auto replaced = [&] {
        nothingReplaced = false;
        textChanged = true;
        buffer.SetSourceModified(false);
    };

    for (;;) {
        env.ProcessMessages();
        env.SetHourGlass(true);
        if (buffer.SourceModified()) {
            buffer.LoadText();
            buffer.BackToWordStart();
            textChanged = true;
            buffer.SetSourceModified(false);
        }
        std::string word = buffer.GetNextWord();
        if (word.empty()) {
            // A word too long to be one ends the check as ended by the user.
            if (buffer.Aborted()) closed = true;
            break;
        }
        std::string ansi = buffer.WordAsInText(word);
        if (word.size() < 2 || buffer.AllDigits || g_dictionary->IsWord(word)) {
            dlg->SetStateLabel(true);
            dlg->SetWordText(ansi);
            dlg->SetReplaceText(ansi);
            if (dlg->Action() == kActionClose) {
                closed = true;
                break;
            }
            continue;
        }
        std::string lower = LowerAscii(word);
        int corr = IndexOf(correctFrom_, lower);
        if (corr >= 0) {
            buffer.SelectWord();
            buffer.ReplaceWord(correctTo_[static_cast<std::size_t>(corr)]);
            replaced();
            continue;
        }
        if (IndexOf(skipWords_, lower) >= 0) continue;

        env.SetHourGlass(false);
        if (source && env.IsWindowedControl(source)) RevealControl(source);
        buffer.SelectWord();
        if (!dlg->DialogShowing()) dlg->ShowDialog();
        if (AutoShift) dlg->PlaceDialog(true, source);
        dlg->SetStateLabel(false);
        dlg->SetWordText(ansi);
        dlg->SetReplaceText(ansi);
        if (AutoSuggest) dlg->Suggest();
        dlg->SetAction(kActionNone);
        dlg->FocusReplace();
        while (dlg->Action() == kActionNone) {
            if (!dlg->DialogShowing()) {
                dlg->SetAction(kActionClose);
                break;
            }
            env.WaitMessage();
        }

        int action = dlg->Action();
        if (action == kActionClose) {
            dlg->HideDialog();
            closed = true;
            break;
        }
        switch (action) {
        case kActionReplace:
        case kActionReplaceAll: {
            std::string text = KeepApostropheSuffix(ansi, dlg->GetReplaceText());
            // Compared exactly: a change of letter case is a correction too.
            if (text != ansi) {
                buffer.ReplaceWord(text);
                replaced();
                if (action == kActionReplaceAll) {
                    correctFrom_.push_back(lower);
                    correctTo_.push_back(text);
                }
            }
            dlg->SetReplaceText("");
            break;
        }
        case kActionAdd:
            if (!g_dictionary->IsWord(word)) {
                if (!ConfirmAdd ||
                    gui::MessageBox(FormatWord(texts.AddQuestion, ansi), texts.Caption,
                                    gui::MB_YESNO | gui::MB_ICONQUESTION) == gui::IDYES)
                    g_dictionary->AddWord(word);
            } else {
                gui::MessageBox(FormatWord(texts.AlreadyIn, ansi), texts.Caption, gui::MB_OK | gui::MB_ICONINFORMATION);
            }
            dlg->FocusReplace();
            break;
        case kActionSkipAll:
            if (IndexOf(skipWords_, lower) < 0) skipWords_.push_back(lower);
            break;
        default:
            break;
        }
        dlg->ClearFields();
    }

    env.SetHourGlass(false);
    if (wasModified || textChanged) buffer.SetSourceModified(true);
    if (g_dictionary) g_dictionary->SaveUserDictionary();
    int result = closed ? 2 : (nothingReplaced ? 0 : 1);
    if (!inCheckAll_) {
        if (ShowCompletedDialog) ShowCompleted(result);
        dlg->HideDialog();
    }
    return result;
}

// --- controls ----------------------------------------------------------------------------------

void TSpellDlg::RevealControl(plat::TComponent* control) { SpellEnvironment().RevealControl(control); }

std::unique_ptr<TAbsBuffer> TSpellDlg::BufferFor(plat::TComponent* control, int& selStart, int& selLength) {
    edit_ = SpellEnvironment().EditTextOf(control);
    if (!edit_) return nullptr;
    selStart = edit_->GetSelStart();
    selLength = edit_->GetSelLength();
    return std::make_unique<TCEBuffer>(*edit_, control);
}

void TSpellDlg::RestoreSelection(plat::TComponent*, int selStart, int selLength) {
    if (edit_) edit_->SetSelection(selStart, selLength);
}

bool TSpellDlg::Checkable(plat::TComponent* control) {
    return SpellEnvironment().EditTextOf(control) != nullptr;
}

int TSpellDlg::SpellCheck(plat::TComponent* control) {
    int selStart = 0, selLength = 0;
    std::unique_ptr<TAbsBuffer> buffer = BufferFor(control, selStart, selLength);
    if (!buffer) {
        gui::MessageBox("Error : Unknown control.", SpellTexts(LabelLanguage).Caption, gui::MB_OK | gui::MB_ICONSTOP);
        return 2;
    }
    running_ = true;
    int result;
    try {
        result = CheckBuffer(*buffer);
    } catch (...) {
        running_ = false;
        edit_.reset();
        throw;
    }
    buffer.reset();
    RestoreSelection(control, selStart, selLength);
    edit_.reset();
    running_ = false;
    return result;
}

int TSpellDlg::CheckAllFields(bool showCompleted) {
    int result = 0;
    inCheckAll_ = true;
    try {
        plat::TComponent* owner = Owner();
        for (int i = 0; owner && i < owner->ComponentCount(); ++i) {
            plat::TComponent* c = owner->Components(i);
            if (c == this || !Checkable(c)) continue;
            int r = SpellCheck(c);
            if (r == 2) {
                result = 2;
                break;
            }
            if (r == 1) result = 1;
        }
    } catch (...) {
        inCheckAll_ = false;
        CloseSpellCheck();
        throw;
    }
    inCheckAll_ = false;
    CloseSpellCheck();
    if (showCompleted) ShowCompleted(result);
    return result;
}

void TSpellDlg::WordCount(plat::TComponent* control, int& total, int& unique) {
    total = unique = 0;
    int s, l;
    std::unique_ptr<TAbsBuffer> buffer = BufferFor(control, s, l);
    if (!buffer) {
        gui::MessageBox("Error : Unknown control.", SpellTexts(LabelLanguage).Caption, gui::MB_OK | gui::MB_ICONSTOP);
        return;
    }
    buffer->WordCount(total, unique);
    edit_.reset();
}

void TSpellDlg::MisspeltHook(plat::TComponent*, const std::string&, int) {}

bool TSpellDlg::WordBeforeCaret(plat::TComponent* control, std::string& word, int& position) {
    word.clear();
    position = 0;
    std::unique_ptr<IEditText> edit = SpellEnvironment().EditTextOf(control);
    if (!edit) return false;
    std::string text = edit->GetText();
    int caret = std::clamp(edit->GetSelStart(), 0, static_cast<int>(text.size()));
    int start = caret;
    while (start > 0 && IsBufferWordChar(plat::AnsiToOemChar(static_cast<unsigned char>(text[start - 1])))) --start;
    word = text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(caret - start));
    position = start;
    return true;
}

void TSpellDlg::CheckWhileTyping(plat::TComponent* control, unsigned key) {
    if (key != 13 && key != 32) return;
    std::string word;
    int position;
    if (!WordBeforeCaret(control, word, position) || word.empty()) return;
    if (!OpenDictionary()) return;
    std::string oem = plat::AnsiToOem(word);
    int corr = IndexOf(correctFrom_, LowerAscii(oem));
    if (corr >= 0) {
        std::unique_ptr<IEditText> edit = SpellEnvironment().EditTextOf(control);
        const std::string& to = correctTo_[static_cast<std::size_t>(corr)];
        int caret = edit->GetSelStart();
        int before = static_cast<int>(edit->GetText().size());
        edit->SetSelection(position, static_cast<int>(word.size()));
        edit->ReplaceSelection(to);
        int delta = static_cast<int>(edit->GetText().size()) - before;
        edit->SetSelection(caret + delta, 0);
    } else if (!g_dictionary->IsWord(oem)) {
        MisspeltHook(control, word, position);
    }
}

// --- TJDSpellDlg ---------------------------------------------------------------------------------

std::unique_ptr<TAbsBuffer> TJDSpellDlg::BufferFor(plat::TComponent* control, int& selStart, int& selLength) {
    if (auto* rich = dynamic_cast<IRichEditWordScan*>(control)) {
        selStart = rich->GetSelStart();
        selLength = rich->GetSelLength();
        return std::make_unique<TJDBuf>(*rich, control);
    }
    return TSpellDlg::BufferFor(control, selStart, selLength);
}

void TJDSpellDlg::RestoreSelection(plat::TComponent* control, int selStart, int selLength) {
    if (auto* rich = dynamic_cast<IRichEditWordScan*>(control)) {
        rich->SetSelStart(selStart);
        rich->SetSelLength(selLength);
        return;
    }
    TSpellDlg::RestoreSelection(control, selStart, selLength);
}

bool TJDSpellDlg::Checkable(plat::TComponent* control) {
    return dynamic_cast<IRichEditWordScan*>(control) != nullptr || TSpellDlg::Checkable(control);
}

int TJDSpellDlg::CheckAllFields(bool showCompleted) {
    // Every editor is checked whole, from its start.
    plat::TComponent* owner = Owner();
    for (int i = 0; owner && i < owner->ComponentCount(); ++i)
        if (auto* rich = dynamic_cast<IRichEditWordScan*>(owner->Components(i))) rich->ResetWordScan();
    return TSpellDlg::CheckAllFields(showCompleted);
}

void TJDSpellDlg::WordCount(plat::TComponent* control, int& total, int& unique) {
    if (auto* rich = dynamic_cast<IRichEditWordScan*>(control)) rich->ResetWordScan();
    TSpellDlg::WordCount(control, total, unique);
}

}  // namespace spell
