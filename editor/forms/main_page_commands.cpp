// The main window's page-text commands, wired onto its menus and editors.
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"

#include "editor/core/helpers.h"
#include "platform/gui/common_dialogs.h"
#include "richtext/controls/paragraph_dialogs.h"
#include "richtext/controls/db_rich_text.h"
#include "richtext/spell/spell_dlg.h"

namespace editor {

namespace {
constexpr unsigned kVkF4 = 0x73, kVkF5 = 0x74;

// Holds what the commands share for the window's lifetime.
class PageCommandSet : public gui::TComponent {
public:
    PageCommandSet(TForm1& form) : gui::TComponent(&form), form_(form), ui_(form.ctx) {
        SetName("PageCommandSet");
        host.ctx = form.ctx;
        host.ui = &ui_;
        host.HasDefaultAttrs = false;
        host.SetStatus = [this](const std::string& s) { form_.StatusPanel->SetCaption(s); };
        spell_ = new spell::TJDSpellDlg(this);
        printer_ = new richtext::TJDCustomRtfEdit(this);
        printer_->SetParent(&form);
        printer_->SetVisible(false);
    }
    richtext::TJDCustomRtfEdit* Active() { return form_.ActivePageEditor(); }
    void RefreshHeader() {
        host.HeaderRtf = form_.ctx->ScratchStream ? form_.ctx->ScratchStream->DataString() : std::string();
    }
    void Spell(SpellScope scope) {
        spell_->DictionaryName = form_.ctx->SpellDictionaryName;
        DialogSpeller speller(*spell_);
        SpellPage(host, speller, Active(), scope);
    }
    void SpellAll(bool fromCurrent) {
        richtext::TJDCustomRtfEdit* e = nullptr;
        if (form_.CurrentView() == kSplitViewPage) e = form_.HelpText;
        else if (form_.CurrentView() == kMaxViewPage) e = form_.maxHelpText;
        if (!e) return;
        spell_->DictionaryName = form_.ctx->SpellDictionaryName;
        DialogSpeller speller(*spell_);
        SpellAllPages(host, speller, e, fromCurrent);
    }
    void SaveAs() {
        richtext::TJDCustomRtfEdit* e = Active();
        if (!e) {
            SaveCurrentPage(nullptr, "");
            return;
        }
        gui::TSaveDialog dlg(this);
        dlg.Title = "Save Tavrin Page";
        dlg.InitialDir = form_.ctx->CurrentProjectFolder();
        dlg.DefaultExt = "rtf";
        dlg.Filter = "Rich Text Format (*.RTF)|*.RTF|Text files (*.TXT)|*.TXT|HTML files (*.HTM)|*.HTM";
        if (dlg.Execute()) SaveCurrentPage(e, dlg.FileName);
    }
    void PrintList() {
        bool wide = false;
        if (db::TField* f = form_.ctx->detailTable->FindField("ContextString")) wide = f->Visible;
        form_.StatusPanel->SetCaption("Printing...");
        PrintPageList(*form_.ctx, *printer_, wide);
        form_.StatusPanel->SetCaption("");
    }
    void PrintPage() {
        if (richtext::TJDCustomRtfEdit* e = Active()) PrintThisPage(*e, *printer_);
    }

    PageTextHost host;

private:
    TForm1& form_;
    FormsPageUi ui_;
    spell::TJDSpellDlg* spell_;
    richtext::TJDCustomRtfEdit* printer_;
};

gui::TMenuItem* Item(TForm1& f, const std::string& name, const std::string& caption, std::function<void()> run,
                     gui::TShortCut shortcut = 0) {
    auto* i = new gui::TMenuItem(&f);
    i->SetName(name);
    i->SetCaption(caption);
    i->ShortCut = shortcut;
    i->OnClick = [run](gui::TObject*) { run(); };
    return i;
}
}  // namespace

void InstallPageCommands(TForm1& form) {
    auto* set = new PageCommandSet(form);
    PageTextHost& host = set->host;
    auto fmt = [set](CharFormat f) { return [set, f] { FormatSelection(set->host, set->Active(), f); }; };
    auto* miFormat = Item(form, "miFormat", "F&ormat", [] {});
    miFormat->Add(Item(form, "miNormal", "&Normal", fmt(CharFormat::Normal)));
    miFormat->Add(Item(form, "miBold", "&Bold", fmt(CharFormat::Bold), gui::ShortCut('B', gui::ssCtrl)));
    miFormat->Add(Item(form, "miItalics", "&Italics", fmt(CharFormat::Italic), gui::ShortCut('I', gui::ssCtrl)));
    miFormat->Add(Item(form, "miUnderline", "&Underline", fmt(CharFormat::Underline), gui::ShortCut('U', gui::ssCtrl)));
    miFormat->Add(Item(form, "miParagraphspacing", "&Paragraph Settings", [set] {
        if (richtext::TJDCustomRtfEdit* e = set->Active()) {
            richtext::TJDParagraphPropDlg dlg(nullptr);
            dlg.EditBox = e;
            dlg.Execute();
        }
    }));
    miFormat->Add(Item(form, "miParagraphBorders", "Paragraph B&orders", [set] {
        if (richtext::TJDCustomRtfEdit* e = set->Active()) {
            richtext::TJDParagraphBorderDlg dlg(nullptr);
            dlg.EditBox = e;
            dlg.Execute();
        }
    }));
    miFormat->Add(Item(form, "miBullets", "Bulle&ts and Numbering", [set] { BulletsCommand(set->host, set->Active()); }));
    auto* menu = form.MainMenu1->Items();
    int editAt = menu->IndexOf(form.miEdit);
    menu->Insert(editAt >= 0 ? editAt + 1 : menu->Count(), miFormat);

    form.miEdit->Add(Item(form, "miReplace", "&Replace", [&form] {
        richtext::TDBJDRichText* e = form.ActivePageEditor();
        const bool split = form.CurrentView() == kSplitViewPage, max = form.CurrentView() == kMaxViewPage;
        if (!e || !((split && e == form.HelpText) || (max && e != form.HelpText))) return;
        if (e->CanEdit()) e->ShowReplaceDialog();
    }));
    auto clip = [&form](ClipAction a) { return [&form, a] { ClipboardCommand(form.ActiveControl(), a); }; };
    form.miEdit->Add(Item(form, "miCut", "C&ut", clip(ClipAction::Cut)));
    form.miEdit->Add(Item(form, "miCopy", "&Copy", clip(ClipAction::Copy)));
    form.miEdit->Add(Item(form, "miPaste", "P&aste", clip(ClipAction::Paste)));
    form.miEdit->Add(Item(form, "miSelectAll", "Se&lect All", clip(ClipAction::SelectAll)));
    form.miEdit->Add(Item(form, "miTopicJump", "Make a &Topic Jump",
                          [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Topic); },
                          gui::ShortCut(kVkF4, 0)));
    form.miEdit->Add(Item(form, "miPopupJump", "Make a &Popup Jump",
                          [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Popup); },
                          gui::ShortCut(kVkF5, 0)));
    form.miEdit->Add(Item(form, "miMacro", "Define a &Macro",
                          [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Macro); }));
    form.miEdit->Add(Item(form, "miGraphic", "Insert a &Graphic",
                          [set] { InsertGraphicCommand(set->host, set->Active()); }));
    form.miEdit->Add(Item(form, "miCreateTable", "Insert a T&able",
                          [set] { CreateTableCommand(set->host, set->Active()); }));
    form.miEdit->Add(Item(form, "miShowGraphicFilename", "Show Graphic &Filename",
                          [set] { ShowGraphicFilename(set->host, set->Active()); }));

    form.miFile->Insert(0, Item(form, "miSaveCurrentPage", "Sa&ve Current Page As", [set] { set->SaveAs(); }));
    form.miFile->Insert(1, Item(form, "miPrintPage", "&Print this Page", [set] { set->PrintPage(); }));
    form.miFile->Insert(2, Item(form, "miPrintPageList", "&Print Page List", [set] { set->PrintList(); }));

    auto* miSpell = Item(form, "miSpellCheck", "Sp&ell Check", [set] { set->Spell(SpellScope::CurrentPage); });
    miSpell->Add(Item(form, "FromCursorPosition1", "&From Cursor Position",
                      [set] { set->Spell(SpellScope::FromCursor); }));
    miSpell->Add(Item(form, "FromTopofPage1", "&Current Page", [set] { set->Spell(SpellScope::CurrentPage); }));
    miSpell->Add(Item(form, "AllPages1", "&All Pages", [set] { set->SpellAll(false); }));
    miSpell->Add(Item(form, "FromCurrentPage1", "All &Pages From Current Page", [set] { set->SpellAll(true); }));
    form.miTools->Add(miSpell);

    // The page editors' pop-up menu.
    auto* popHelp = new gui::TPopupMenu(&form);
    popHelp->SetName("popHelp");
    popHelp->Items()->Add(Item(form, "miSaveToFile", "&Save to File", [set] { set->SaveAs(); }));
    popHelp->Items()->Add(Item(form, "miPrintThisPage", "&Print this Page", [set] { set->PrintPage(); }));
    auto* popTopic = Item(form, "popTopicJump", "&Topic Jump",
                          [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Topic); });
    auto* popPopup = Item(form, "popPopupJump", "P&opup Jump",
                          [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Popup); });
    auto* popMacro = Item(form, "popMacro", "&Macro", [set] { MakeHotSpot(set->host, set->Active(), HotSpotKind::Macro); });
    auto* popGraphic = Item(form, "popShowGraphicFilename", "Show Graphic &Filename",
                            [set] { ShowGraphicFilename(set->host, set->Active()); });
    for (gui::TMenuItem* i : {popTopic, popPopup, popMacro, popGraphic}) popHelp->Items()->Add(i);
    popHelp->OnPopup = [set, popTopic, popPopup, popMacro, popGraphic](gui::TObject*) {
        richtext::TJDCustomRtfEdit* e = set->Active();
        const bool selected = e && e->GetSelLength() > 0;
        for (gui::TMenuItem* i : {popTopic, popPopup, popMacro}) i->Enabled = selected;
        popGraphic->Visible = false;
        if (!e) return;
        try {
            // A picture just before or at most five characters after the cursor.
            int pos = 0;
            std::string reference;
            const int cursor = e->GetCPPosition();
            if (FindPictureAtCursor(*e, pos, reference) && pos <= cursor + 5) {
                if (cursor != 0) e->SetCPPosition(pos + 1);
                popGraphic->Visible = !reference.empty();
            }
        } catch (const std::exception&) {
        }
    };
    for (richtext::TDBJDRichText* e : {form.HelpText, form.maxHelpText, form.FullTitleEditFld}) {
        gui::SetPopupMenu(e, popHelp);
        const bool title = e == form.FullTitleEditFld;
        auto previous = e->OnEnter;
        e->OnEnter = [set, e, title, previous](gui::TObject* sender) {
            if (previous) previous(sender);
            set->RefreshHeader();
            EnterPageEditor(set->host, *e, title);
        };
        // Hidden targets are protected: say how to change them.
        e->OnProtectedChange() = [](void*, const std::string&, std::uint16_t) {
            ShowWarning("Hidden Text!",
                        "There is hidden text here which tells the Jump text where to jump to. You can change it by "
                        "double-clicking on the jump text.");
        };
        e->HyperLinkEvent = [set, e](void*, const std::string& text, const std::string& target, std::int32_t) {
            HotSpotClicked(set->host, e, text, target);
        };
    }
    (void)host;
}

}  // namespace editor
