// The rich-text component under its formatting bar and ruler, above its
// status bar, as a user sees it:
//   rtf_component_demo [--file DOC.rtf] [--screenshot OUT.png] [--all-icons] [--open-list N]
// --all-icons shows every icon and list of the bar; --open-list N opens the
// bar's list N (1 font name, 2 size) before the screenshot. --spell DIR checks
// the text with DIR/English.dct, skips the first 40 unknown words and takes
// the screenshot (and OUT.png.spell.png of the dialog) at the next one.
// Without --file the help project text of the corpus is shown.
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rich_text.h"
#include "richtext/spell/spell_dlg.h"
#include "richtext/spell/ui/spell_forms.h"
#include "richtext/spell/ui/spell_ui.h"

using namespace gui;

int main(int argc, char** argv) {
    InitApplication(argc, argv);
    std::string screenshot;
    std::string file = std::string(TAVRIN_CORPUS_DIR) + "/hpj/ddablib-dropfiles/PJDropFiles.rtf";
    bool allIcons = false;
    std::string spellDir;
    int openList = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all-icons") == 0) allIcons = true;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];
        if (std::strcmp(argv[i], "--file") == 0) file = argv[i + 1];
        if (std::strcmp(argv[i], "--open-list") == 0) openList = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--spell") == 0) spellDir = argv[i + 1];
    }
    Application->SetTitle("Rich-text editor");
    auto* form = new TForm(Application);
    form->SetCaption("Rich-text editor - " + file.substr(file.find_last_of('/') + 1));
    form->SetBounds(100, 100, 720, 520);
    form->Position = poScreenCenter;

    auto* bar = new richtext::TJDToolBar(form);
    bar->SetParent(form);
    bar->SetAlign(alTop);
    bar->SetShowHint(true);
    bar->Setsel_ListBoxes(richtext::JDSet({richtext::SelFontName, richtext::SelFontSize, richtext::SelFontColor}));
    bar->Setsel_StatusIcons(richtext::JDSet({richtext::SelNormal, richtext::SelBold, richtext::SelItalic,
                                             richtext::SelUnder, richtext::SelLeft, richtext::SelCenter,
                                             richtext::SelBlock, richtext::SelRight}));
    bar->Setsel_EditIcons(richtext::JDSet({richtext::SelCut, richtext::SelCopy, richtext::SelPaste,
                                           richtext::SelFind, richtext::SelReplace}));
    if (allIcons) {
        bar->Setsel_ListBoxes((1u << (richtext::SelParColor + 1)) - 1);
        bar->Setsel_StatusIcons((1u << (richtext::SelCenter + 1)) - 1);
        bar->Setsel_EditIcons((1u << (richtext::SelSpellCheck + 1)) - 1);
        bar->Setsel_ActionIcons((1u << (richtext::SelPrintSetup + 1)) - 1);
        bar->Setsel_DatabaseIcons((1u << (richtext::SelPost + 1)) - 1);
    }

    auto* ruler = new richtext::TJDRuler(form);
    ruler->SetParent(form);
    ruler->SetAlign(alTop);
    ruler->SetHeight(24);

    auto* status = new richtext::TJDStatusBarBasic(form);
    status->SetParent(form);
    status->SetAlign(alBottom);
    status->SetSizeGrip(true);
    status->Items().Add("@$60stStatus=");
    status->Items().Add("40stInsert=INS");
    status->Items().Add("40stTxtFmt=");
    status->Items().Add("stFileName=");
    status->SetAutoGauge(true, 100);
    status->SetGaugeValue(40);

    auto* edit = new richtext::TJDRichText(form);
    edit->SetParent(form);
    edit->SetAlign(alClient);
    edit->SetScrollBars(ssBoth);
    edit->SetWordWrap(true);
    edit->SetJDToolBar(bar);
    edit->SetJDRuler(ruler);
    edit->SetStatusBar(status);
    try {
        edit->LoadFromFile(file);
    } catch (const std::exception& e) {
        edit->SetText(std::string("Cannot open ") + file + ": " + e.what());
    }
    edit->ReformatAll();
    edit->SetCPPosition(0);

    Application->CreateForm(form);
    form->Show();
    edit->SetFocus();
    if (!screenshot.empty()) {
        guitest::ProcessEvents(300);
        bool ok = true;
        if (richtext::TJDTBCombo* combo = openList ? bar->Combo(openList) : nullptr) {
            // Opened as a user opens it: one click on the face; the list is its own window.
            guitest::Click(combo, {combo->Width() - 8, combo->Height() / 2});
            guitest::ProcessEvents(300);
            ok = combo->DroppedDown() && guitest::SaveGrab(combo->ListBox(), screenshot + ".list.png");
        }
        if (!spellDir.empty()) {
            spellui::InstallSpellUi();
            auto* checker = new spell::TJDSpellDlg(form);
            checker->DictionaryPath = spellDir;
            checker->DictionaryName = "English.dct";
            checker->UserDictionary = (std::filesystem::temp_directory_path() / "tavrin-demo-user.txt").string();
            // What the user does: skip 40 words, then look at the window at the next one and close.
            int skipped = 0;
            bool grabbed = false;
            QTimer user;
            QObject::connect(&user, &QTimer::timeout, [&] {
                spell::ISpellDialog* d = checker->Dialog();
                if (!d || !d->DialogShowing() || d->Action() != spell::kActionNone) return;
                if (skipped < 40) {
                    ++skipped;
                    d->SetAction(spell::kActionSkip);
                    return;
                }
                user.stop();
                guitest::ProcessEvents(200);
                grabbed = guitest::SaveGrab(form, screenshot) &&
                          guitest::SaveGrab(dynamic_cast<spellui::TAbsSpellDialog*>(d), screenshot + ".spell.png");
                d->SetAction(spell::kActionClose);
            });
            user.start(20);
            checker->SpellCheck(edit);
            DoneApplication();
            return grabbed ? 0 : 1;
        }
        ok = guitest::SaveGrab(form, screenshot) && ok;
        DoneApplication();
        return ok ? 0 : 1;
    }
    Application->Run();
    DoneApplication();
    return 0;
}
