#include "editor/options/ui/font_forms.h"

#include "helpbuild/ui/compile_form.h"
#include "editor/options/ui/ui_util.h"
#include "platform/core/paths.h"

namespace editor {

using namespace gui;
using optionsui::MakeControl;

TfrmFonts::TfrmFonts(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("frmFonts");
    SetCaption("Project Font Registry");
    SetClientSize(420, 300);
    Position = poScreenCenter;
    lblUsed = MakeControl<TLabel>(this, this, "lblUsed", 10, 8, 160, 15);
    lblUsed->SetCaption("Current fonts used:");
    listUsed = MakeControl<TListBox>(this, this, "listUsed", 10, 26, 160, 228);
    lblAvailable = MakeControl<TLabel>(this, this, "lblAvailable", 250, 8, 160, 15);
    lblAvailable->SetCaption("Available fonts:");
    listAvailable = MakeControl<TListBox>(this, this, "listAvailable", 250, 26, 160, 228);
    auto button = [this](const char* name, const char* caption, int x, int y, int w) {
        auto* b = MakeControl<TButton>(this, this, name, x, y, w, 25);
        b->SetCaption(caption);
        return b;
    };
    btnAdd = button("btnAdd", "&<", 180, 60, 60);
    btnAddAll = button("btnAddAll", "<<", 180, 92, 60);
    btnRemove = button("btnRemove", "&>", 180, 140, 60);
    btnRemoveAll = button("btnRemoveAll", ">>", 180, 172, 60);
    btnOK = button("btnOK", "&OK", 168, 266, 75);
    btnOK->Default = true;
    btnCancel = button("btnCancel", "&Cancel", 252, 266, 75);
    btnCancel->Cancel = true;
    btnCancel->ModalResult = mrCancel;
    btnHelp = button("btnHelp", "&Help", 336, 266, 75);
    btnAdd->OnClick = [this](TObject*) {
        Take();
        lists.MoveToUsed();
        ShowLists();
    };
    btnAddAll->OnClick = [this](TObject*) {
        lists.AllToUsed();
        ShowLists();
    };
    btnRemove->OnClick = [this](TObject*) {
        Take();
        lists.MoveToAvailable();
        ShowLists();
    };
    btnRemoveAll->OnClick = [this](TObject*) {
        lists.AllToAvailable();
        ShowLists();
    };
    btnOK->OnClick = [this](TObject* s) { OKClick(s); };
    btnHelp->OnClick = [this](TObject*) { ctx_.ShowHelp(kHelpContext, 3100); };
    SetBorderStyle(bsDialog);
}

void TfrmFonts::Fill(const std::vector<std::string>& registry, const std::vector<std::string>& screenFonts) {
    lists.Fill(registry, screenFonts);
    ShowLists();
}

void TfrmFonts::ShowLists() {
    auto put = [](TListBox* box, const std::vector<std::string>& items, int index) {
        box->Items().Clear();
        for (const auto& i : items) box->Items().Add(i);
        box->SetItemIndex(index);
    };
    put(listUsed, lists.used, lists.usedIndex);
    put(listAvailable, lists.available, lists.availableIndex);
}

void TfrmFonts::Take() {
    lists.usedIndex = listUsed->ItemIndex();
    lists.availableIndex = listAvailable->ItemIndex();
}

void TfrmFonts::OKClick(TObject*) {
    // No font in use is refused; the dialog stays for another choice.
    if (StoreFontRegistry(ctx_, lists.used)) SetModalResult(mrOk);
}

void miProjectFontRegistryClick(EditorContext& ctx) {
    TfrmFonts dialog(Application, ctx);
    dialog.Fill(CurrentFontRegistry(ctx), ctx.memoScreenFonts.empty() ? ctx.ScreenFonts : ctx.memoScreenFonts);
    dialog.ShowModal();
}

FontSyncResult miSynchFontsClick(EditorContext& ctx) {
    auto* progress = new buildui::TCompileForm(Application, &ctx.CancelRequested);
    progress->Button1->SetVisible(false);
    FontSyncOptions options;
    options.prepareRecord = [&ctx] { PrepareBuildRecord(ctx); };
    FontSyncResult result = FontSyncResult::Declined;
    try {
        result = SynchroniseFonts(ctx, *progress, options);
    } catch (...) {
        delete progress;
        throw;
    }
    delete progress;
    return result;
}

TfrmFormat::TfrmFormat(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("frmFormat");
    SetCaption("Enforce Formatting Preferences");
    SetClientSize(380, 250);
    Position = poScreenCenter;
    lblText = MakeControl<TLabel>(this, this, "lblText", 10, 8, 360, 64);
    lblText->SetWordWrap(true);
    lblText->SetCaption(
        "This utility will enforce your formatting preferences on ALL help pages. This means you could loose "
        "individual formatting, as this represents a global change. Click the Help button to see the implications.");
    grpEnforce = MakeControl<TGroupBox>(this, this, "grpEnforce", 10, 78, 360, 126);
    grpEnforce->SetCaption("Enforce");
    auto box = [this](const char* name, const char* caption, int y, bool on) {
        auto* b = MakeControl<TCheckBox>(grpEnforce, this, name, 14, y, 330, 19);
        b->SetCaption(caption);
        b->SetChecked(on);
        return b;
    };
    xboxFont = box("xboxFont", "Enforce Typeface", 22, true);
    xboxSize = box("xboxSize", "Enforce Font Size", 46, true);
    xboxNonscrollColor = box("xboxNonscrollColor", "Enforce Color for Nonscroll Region", 70, true);
    xboxColor = box("xboxColor", "Enforce Color for Help Text", 94, false);
    auto button = [this](const char* name, const char* caption, int x) {
        auto* b = MakeControl<TButton>(this, this, name, x, 214, 75, 25);
        b->SetCaption(caption);
        return b;
    };
    btnOK = button("btnOK", "&OK", 129);
    btnOK->Default = true;
    btnCancel = button("btnCancel", "&Cancel", 212);
    btnCancel->Cancel = true;
    btnCancel->ModalResult = mrCancel;
    btnHelp = button("btnHelp", "&Help", 295);
    btnOK->OnClick = [this](TObject* s) { OKClick(s); };
    btnHelp->OnClick = [this](TObject*) {
        ctx_.HelpFile = plat::JoinPath(ctx_.ProgramDir, "Tavrin.hlp");
        ctx_.ShowHelp(kHelpContext, 15600);
    };
    SetBorderStyle(bsDialog);
}

EnforceChoice TfrmFormat::Choice() const {
    return {xboxFont->Checked(), xboxSize->Checked(), xboxNonscrollColor->Checked(), xboxColor->Checked()};
}

void TfrmFormat::OKClick(TObject*) {
    Screen->SetCursor(crHourGlass);
    btnCancel->SetCaption("Formatting...");
    EnforceFormatting(ctx_, Choice());
    Screen->SetCursor(crDefault);
    SetModalResult(mrOk);
}

void EnforceFormattingPreferences1Click(EditorContext& ctx) {
    TfrmFormat dialog(Application, ctx);
    dialog.ShowModal();
}

}  // namespace editor
