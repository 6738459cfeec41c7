// The spell dialogs for looking at by eye: a memo with a few misspelt words
// and buttons that check it and count its words, over a small dictionary.
// With --screenshot DIR it writes each layout, showing a misspelt word with
// its suggestions, and the word-count window as PNG files into DIR and exits.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/spell/dct_writer.h"
#include "richtext/spell/spell_dlg.h"
#include "richtext/spell/ui/spell_forms.h"
#include "richtext/spell/ui/spell_ui.h"

using namespace gui;

namespace {

const char* const kWords[] = {
    "a", "an", "and", "are", "be", "but", "check", "checker", "checking", "complete", "count", "dialog",
    "dictionary", "each", "every", "for", "found", "help", "here", "in", "is", "it", "its", "letter", "list",
    "misspelt", "not", "of", "on", "page", "pages", "replace", "shows", "spell", "spelled", "spelling",
    "spells", "suggest", "suggestion", "suggestions", "text", "that", "the", "then", "this", "to", "topic",
    "topics", "typed", "window", "with", "word", "words", "write", "writer", "writes", "writing", "written"};

std::string WriteDictionary(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> words(std::begin(kWords), std::end(kWords));
    std::ofstream(folder / "DEMO.DCT", std::ios::binary) << spell::BuildDctImage(words);
    return folder.string();
}

}  // namespace

int main(int argc, char** argv) {
    InitApplication(argc, argv);
    spellui::InstallSpellUi();
    std::string shots;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) shots = argv[i + 1];

    std::filesystem::path dictFolder = std::filesystem::temp_directory_path() / "tavrin-spell-demo";
    WriteDictionary(dictFolder);

    auto* form = new TForm(Application);
    form->SetCaption("Spelling demo");
    form->SetBounds(80, 80, 420, 260);
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(8, 8, 396, 170);
    memo->SetText("This pagge shows the speling checker. Every misspelt wrd is found here.");
    auto* checker = new spell::TSpellDlg(form);
    checker->DictionaryPath = dictFolder.string();
    checker->DictionaryName = "demo.dct";
    checker->UserDictionary = (dictFolder / "DEMOUSER.TXT").string();
    checker->AccentIcons = spell::AccentBit(spell::acSpanish);
    checker->Font.Bold = false;

    if (!shots.empty()) {
        std::filesystem::create_directories(shots);
        struct Shot {
            spell::TDialogTypes style;
            const char* file;
        };
        const Shot layouts[] = {{spell::dtWordPerfect, "jdspell.png"},
                                {spell::dtMSWord, "msspell.png"},
                                {spell::dtWordPro96, "w96spell.png"}};
        int failures = 0;
        for (const Shot& s : layouts) {
            checker->SetDialogStyle(s.style);
            spell::ISpellDialog* dlg = checker->Dialog();
            auto* shown = dynamic_cast<spellui::TAbsSpellDialog*>(dlg);
            checker->OpenSpellDialog(memo);
            dlg->SetStateLabel(false);
            dlg->SetWordText("speling");
            dlg->SetReplaceText("speling");
            dlg->Suggest();
            guitest::ProcessEvents(50);
            if (!guitest::SaveGrab(shown, (std::filesystem::path(shots) / s.file).string())) ++failures;
            dlg->HideDialog();
        }
        int total = 0, unique = 0;
        checker->WordCount(memo, total, unique);
        auto& env = spellui::InstallSpellUi();
        guitest::ProcessEvents(50);
        if (!env.WordForm() || !guitest::SaveGrab(env.WordForm(), (std::filesystem::path(shots) / "wordcount.png").string()))
            ++failures;
        std::printf("%d words, %d unique\n", total, unique);
        DoneApplication();
        return failures == 0 ? 0 : 1;
    }

    auto* check = new TButton(form);
    check->SetParent(form);
    check->SetBounds(8, 190, 100, 26);
    check->SetCaption("&Check");
    check->OnClick = [checker, memo](TObject*) { checker->SpellCheck(memo); };
    auto* count = new TButton(form);
    count->SetParent(form);
    count->SetBounds(116, 190, 100, 26);
    count->SetCaption("C&ount");
    count->OnClick = [checker, memo](TObject*) {
        int total, unique;
        checker->WordCount(memo, total, unique);
    };
    Application->CreateForm(form);
    Application->Run();
    DoneApplication();
    return 0;
}
