// The main window's page-text commands, wired onto its menus and editors.
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"

#include "project/helpers.h"
#include "project/page_rules.h"
#include "editor/forms/lifecycle_forms.h"
#include "data/fields.h"
#include "platform/gui/common_dialogs.h"
#include "richtext/controls/paragraph_dialogs.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/controls/ruler.h"
#include "richtext/spell/spell_dlg.h"
#include "editor/options/preferences.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/string_list.h"
#include "platform/core/dialog_service.h"

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
        // The word-processor-like layout, the author's own words in
        // USERDCT.DIC beside the dictionaries, plain buttons, ten suggestions.
        spell_ = new spell::TJDSpellDlg(this);
        spell_->SetName("JDSpellDlg1");
        spell_->SetDialogStyle(spell::dtMSWord);
        spell_->DictionaryName = "british.dct";
        spell_->UserDictionary = "USERDCT.DIC";
        spell_->SetSuggestions(10);
        spell_->AutoShift = false;
        spell_->SetShowGlyphs(false);
        printer_ = new richtext::TJDCustomRtfEdit(this);
        printer_->SetParent(&form);
        printer_->SetVisible(false);
        wait_ = new TWaitForm(this);
    }
    richtext::TJDCustomRtfEdit* Active() { return form_.ActivePageEditor(); }
    void RefreshHeader() {
        host.HeaderRtf = form_.ctx->ScratchStream ? form_.ctx->ScratchStream->DataString() : std::string();
    }
    // Without its dictionary the check cannot start; the user is told which
    // file is missing in words, not with the speller's raw error.
    bool DictionaryReady() {
        const std::string name =
            form_.ctx->SpellDictionaryName.empty() ? std::string("ENGLISH.DCT") : form_.ctx->SpellDictionaryName;
        const std::string path = plat::JoinPath(form_.ctx->ProgramDir, name);
        if (plat::FileExists(path)) return true;
        // The preferences' text, told of this file instead of "this dictionary".
        const std::string where = kDictionaryMissingText;
        gui::MessageBox("The spell checker's dictionary " + plat::NativePath(path) + " was not found. " +
                            where.substr(where.find(". ") + 2),
                        "Dictionary not found", gui::MB_OK | gui::MB_ICONINFORMATION);
        return false;
    }
    // A check with no project or no page would look at no word and still
    // say it is complete; the user is told why there is nothing to check.
    bool SomethingToCheck() {
        const char* why = nullptr;
        db::TDataSet* projects = form_.ctx->mainTable;
        db::TDataSet* pages = form_.ctx->detailTable;
        if (!projects || !projects->Active() || projects->IsEmpty())
            why = "There is no project to check: create a project or open one first.";
        else if (!pages || !pages->Active() || pages->IsEmpty())
            why = "This project has no page to check yet: add a page first.";
        if (!why) return true;
        gui::MessageBox(why, "Spell Check", gui::MB_OK | gui::MB_ICONINFORMATION);
        return false;
    }
    void Spell(SpellScope scope) {
        if (!SomethingToCheck()) return;
        // Without an editor only the move-to-text prompt shows.
        if (Active() && !DictionaryReady()) return;
        spell_->DictionaryName = form_.ctx->SpellDictionaryName;
        DialogSpeller speller(*spell_);
        SpellPage(host, speller, Active(), scope);
    }
    // The spell button and Tools | Spell Check: the body editor of the
    // split view, or the body or title editor of the max view, from its top.
    void SpellCheck() {
        richtext::TDBJDRichText* e = form_.ActivePageEditor();
        const std::string view = form_.CurrentView();
        if (view == kSplitViewPage ? e != form_.HelpText : view == kMaxViewPage ? e == form_.HelpText : true)
            e = nullptr;
        if (!SomethingToCheck()) return;
        if (e && !DictionaryReady()) return;
        spell_->DictionaryName = form_.ctx->SpellDictionaryName;
        DialogSpeller speller(*spell_);
        SpellPage(host, speller, e, SpellScope::CurrentPage);
    }
    void SpellAll(bool fromCurrent) {
        richtext::TJDCustomRtfEdit* e = nullptr;
        if (form_.CurrentView() == kSplitViewPage) e = form_.HelpText;
        else if (form_.CurrentView() == kMaxViewPage) e = form_.maxHelpText;
        if (!SomethingToCheck()) return;
        if (!e || !DictionaryReady()) return;
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
        PrintPageList(*form_.ctx, *printer_, wide, [this](const std::string& text) { wait_->ShowStatus(text); });
    }
    // The project's font list as the font table's current row holds it.
    void RefreshProjectFonts() {
        db::TDataSet* t = form_.ctx->tblFont;
        if (!t || !t->Active() || t->IsEmpty()) return;
        if (t->FindField("FontList"))
            host.ProjectFonts = plat::SplitLines(t->FieldStr("FontList"), plat::EmptyLines::Skip);
    }
    // The display settings give the default fonts of new page and title text.
    void TakeDisplaySettings(const DisplaySettings& s) {
        if (!s.applied) return;
        host.DefaultTextFont = PageTextHost::DefaultFont{s.pageText, s.pageTextStyle};
        host.DefaultTitleFont = PageTextHost::DefaultFont{s.pageTitle, TitleStyleBits(s.pageTitle.style)};
        if (!s.fontList.empty()) host.ProjectFonts = s.fontList;
    }
    TWaitForm* Wait() const { return wait_; }
    void PrintPage() {
        richtext::TJDCustomRtfEdit* e = Active();
        if (!e) return;
        std::string title;
        db::TDataSet* t = form_.ctx->detailTable;
        if (t && t->Active() && !t->IsEmpty())
            if (db::TField* f = t->FindField("Title")) title = f->AsString();
        PrintThisPage(*e, *printer_, title);
    }

    PageTextHost host;

private:
    TForm1& form_;
    FormsPageUi ui_;
    spell::TJDSpellDlg* spell_;
    richtext::TJDCustomRtfEdit* printer_;
    TWaitForm* wait_;
};

gui::TMenuItem* Item(TForm1& f, const std::string& name, const std::string& caption, std::function<void()> run,
                     gui::TShortCut shortcut = 0) {
    auto* i = new gui::TMenuItem(&f);
    i->SetName(name);
    i->SetCaption(caption);
    i->ShortCut = shortcut;
    if (run) i->OnClick = [run](gui::TObject*) { run(); };
    return i;
}
}  // namespace

void InstallPageCommands(TForm1& form) {
    auto* set = new PageCommandSet(form);
    auto fmt = [set](CharFormat f) { return [set, f] { FormatSelection(set->host, set->Active(), f); }; };
    auto* miFormat = Item(form, "miFormat", "Fo&rmat", nullptr);
    auto* miNormal = Item(form, "miNormal", "&Normal", fmt(CharFormat::Normal));
    auto* miBold = Item(form, "miBold", "&Bold", fmt(CharFormat::Bold), gui::ShortCut('B', gui::ssCtrl));
    auto* miItalics = Item(form, "miItalics", "&Italics", fmt(CharFormat::Italic), gui::ShortCut('I', gui::ssCtrl));
    auto* miUnderline =
        Item(form, "miUnderline", "&Underline", fmt(CharFormat::Underline), gui::ShortCut('U', gui::ssCtrl));
    auto* miParagraphspacing = Item(form, "miParagraphspacing", "&Paragraph Settings", [set] {
        if (richtext::TJDCustomRtfEdit* e = set->Active()) {
            richtext::TJDParagraphPropDlg dlg(nullptr);
            dlg.EditBox = e;
            dlg.Execute();
        }
    });
    auto* miParagraphBorders = Item(form, "miParagraphBorders", "Paragraph B&orders", [set] {
        if (richtext::TJDCustomRtfEdit* e = set->Active()) {
            richtext::TJDParagraphBorderDlg dlg(nullptr);
            dlg.EditBox = e;
            dlg.Execute();
        }
    });
    auto* miParagraphBorderEnd = Item(form, "miParagraphBorderEnd", "Paragraph Border &End",
                                      [set] { EndParagraphBorder(set->Active()); });
    auto* miBullets = Item(form, "miBullets", "Bulle&ts and Numbering", [set] {
        set->RefreshProjectFonts();
        BulletsCommand(set->host, set->Active());
    });
    const std::vector<gui::TMenuItem*> pageFormats = {miNormal,           miBold,             miItalics,
                                                      miUnderline,        miParagraphspacing, miParagraphBorders,
                                                      miParagraphBorderEnd};
    for (gui::TMenuItem* i : pageFormats) miFormat->Add(i);
    miFormat->Add(miBullets);
    // As the menu opens: the formats need a page editor to work on.
    miFormat->OnClick = [set, pageFormats](gui::TObject*) {
        const bool editor = set->Active() != nullptr;
        for (gui::TMenuItem* i : pageFormats) i->Enabled = editor;
    };
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

    // Spell checking: Tools | Spell Check and the spell button check the
    // focused page editor; the button's pop-up offers the other ranges.
    auto* popSpell = new gui::TPopupMenu(&form);
    popSpell->SetName("popSpell");
    popSpell->Items()->Add(Item(form, "FromCursorPosition1", "&From Cursor Position",
                                [set] { set->Spell(SpellScope::FromCursor); }));
    popSpell->Items()->Add(
        Item(form, "FromTopofPage1", "&Current Page", [set] { set->Spell(SpellScope::CurrentPage); }));
    popSpell->Items()->Add(Item(form, "AllPages1", "&All Pages", [set] { set->SpellAll(false); }));
    popSpell->Items()->Add(
        Item(form, "FromCurrentPage1", "All &Pages From Current Page", [set] { set->SpellAll(true); }));
    // The same command as the button's click (the button may click this item).
    form.miTools->Add(Item(form, "miSpellCheck", "Sp&ell Check", [set] { set->SpellCheck(); }));
    if (auto* button = dynamic_cast<gui::TControl*>(form.FindComponent("sbtnSpell")))
        InstallSpellButton(form, *button);

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

    // The ruler of the split view's page editor, above it and under its bar.
    auto* ruler = new richtext::TJDRuler(&form);
    ruler->SetName("JDRuler2");
    ruler->SetParent(form.pnlHelpText);
    ruler->SetTop(form.JDToolBar1->Top() + form.JDToolBar1->Height());
    ruler->SetAlign(gui::alTop);
    ruler->SetVisible(form.ctx->Settings.RulerInSplitView);
    form.HelpText->SetJDRuler(ruler);
    form.splitViewSplitter->ArrangePanes();
    auto* miRuler = Item(form, "miRuler", "&Ruler", nullptr);
    miRuler->OnClick = [&form, ruler, miRuler](gui::TObject*) {
        miRuler->SetChecked(!miRuler->Checked());
        ruler->SetVisible(miRuler->Checked());
        // Kept for the next start.
        form.ctx->Settings.RulerInSplitView = ruler->Visible();
    };
    // Listed but never shown: the menu hides it each time it opens.
    auto* miApplyStyle = Item(form, "miApplyNonscrollStyle", "&Apply this Style to all Nonscroll Regions ", nullptr);
    popHelp->Items()->Add(miRuler);
    popHelp->Items()->Add(miApplyStyle);

    popHelp->OnPopup = [set, ruler, miRuler, miApplyStyle, popTopic, popPopup, popMacro, popGraphic](gui::TObject*) {
        miRuler->SetChecked(ruler->Visible());
        miApplyStyle->Visible = false;
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
    // The menu opens over a page editor only: a right click elsewhere (or
    // with the focus elsewhere) shows nothing.
    popHelp->AutoPopup = false;
    for (richtext::TDBJDRichText* e : {form.HelpText, form.maxHelpText, form.FullTitleEditFld}) {
        gui::SetPopupMenu(e, popHelp);
        auto previousUp = e->OnMouseUp;
        e->OnMouseUp = [set, e, popHelp, previousUp](gui::TObject* sender, gui::TMouseButton button,
                                                   gui::TShiftState shift, int x, int y) {
            if (previousUp) previousUp(sender, button, shift, x, y);
            if (button != gui::mbRight || set->Active() != e) return;
            popHelp->PopupComponent = e;
            const gui::TPoint at = e->ClientToScreen(gui::TPoint{x, y});
            popHelp->Popup(at.x, at.y);
        };
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
    // Leaving the title editor puts its text into the field at once; leaving
    // any page editor clears the table-state read-out. The data-aware editor
    // raises no OnExit, so its exit message is watched.
    for (richtext::TDBJDRichText* e : {form.HelpText, form.maxHelpText, form.FullTitleEditFld}) {
        auto previous = e->WindowProc;
        const bool title = e == form.FullTitleEditFld;
        e->WindowProc = [&form, e, title, previous](gui::TMessage& m) {
            previous(m);
            if (m.Msg != gui::CM_EXIT) return;
            if (title) {
                try {
                    LeaveTitleEditor(*e);
                } catch (const std::exception& ex) {
                    ShowWarning("Warning", ex.what());
                }
            }
            form.TableStatus->SetCaption("");
        };
    }
    // New text in an empty page or title takes the project's default fonts.
    auto previousDisplay = form.ctx->ShowDisplaySettings;
    form.ctx->ShowDisplaySettings = [set, previousDisplay](const DisplaySettings& s) {
        if (previousDisplay) previousDisplay(s);
        set->TakeDisplaySettings(s);
    };
}

void InstallSpellButton(TForm1& form, gui::TControl& button) {
    auto* popSpell = dynamic_cast<gui::TPopupMenu*>(form.FindComponent("popSpell"));
    auto* command = dynamic_cast<PageCommandSet*>(form.FindComponent("PageCommandSet"));
    if (!popSpell || !command) return;
    // A tool bar that already sends the click to Tools | Spell Check keeps it.
    if (!button.OnClick) button.OnClick = [command](gui::TObject*) { command->SpellCheck(); };
    // The right button's release offers the other ranges at the mouse.
    gui::TControl* b = &button;
    button.OnMouseUp = [popSpell, b](gui::TObject*, gui::TMouseButton mouse, gui::TShiftState, int x, int y) {
        if (mouse != gui::mbRight) return;
        popSpell->PopupComponent = b;
        const gui::TPoint at = b->ClientToScreen(gui::TPoint{x, y});
        popSpell->Popup(at.x, at.y);
    };
}

}  // namespace editor

