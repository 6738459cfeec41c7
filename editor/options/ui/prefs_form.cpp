#include "editor/options/ui/prefs_form.h"

#include "editor/options/option_values.h"
#include "editor/options/ui/ui_util.h"
#include "platform/gui/common_dialogs.h"
#include "platform/core/paths.h"

namespace editor {

using namespace gui;
using optionsui::MakeControl;

namespace {

TColor ToColor(long screen) { return static_cast<TColor>(screen); }

}  // namespace

TPrefsForm::TPrefsForm(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("PrefsForm");
    SetCaption("Tavrin Preferences");
    SetClientSize(470, 410);
    Position = poScreenCenter;
    notebook = MakeControl<TTabbedNotebook>(this, this, "notebook", 6, 6, 458, 360);
    notebook->Pages().SetString(0, "&Defaults/Misc");
    TWinControl* p = notebook->Page(0);

    grpJump = MakeControl<TGroupBox>(p, this, "grpJump", 8, 6, 210, 76);
    grpJump->SetCaption("&Jump Colors");
    lblTopic = MakeControl<TLabel>(grpJump, this, "lblTopic", 10, 24, 50, 15);
    lblTopic->SetCaption("Topic");
    cbxTopicColor = MakeControl<TComboBox>(grpJump, this, "cbxTopicColor", 64, 20, 134, 22);
    lblPopup = MakeControl<TLabel>(grpJump, this, "lblPopup", 10, 50, 50, 15);
    lblPopup->SetCaption("Popup");
    cbxPopupColor = MakeControl<TComboBox>(grpJump, this, "cbxPopupColor", 64, 46, 134, 22);
    // The labels show the jump colours on white, as page text does.
    for (TLabel* l : {lblTopic, lblPopup}) {
        l->SetTransparent(false);
        l->SetColor(clWhite);
    }
    for (auto* box : {cbxTopicColor, cbxPopupColor}) {
        box->SetStyle(csDropDownList);
        for (const auto& n : TextColourNames()) box->Items().Add(n);
    }
    cbxTopicColor->OnChange = [this](TObject*) { JumpColourChosen(true); };
    cbxPopupColor->OnChange = [this](TObject*) { JumpColourChosen(false); };

    grpGrid = MakeControl<TGroupBox>(p, this, "grpGrid", 226, 6, 220, 76);
    grpGrid->SetCaption("Split View Grid");
    MakeControl<TLabel>(grpGrid, this, "lblGridSize", 10, 24, 70, 15)->SetCaption("Font Size :");
    cbxGridFontSize = MakeControl<TComboBox>(grpGrid, this, "cbxGridFontSize", 84, 20, 60, 22);
    for (const char* s : {"8", "9", "10", "12", "14"}) cbxGridFontSize->Items().Add(s);
    chkGridBold = MakeControl<TCheckBox>(grpGrid, this, "chkGridBold", 10, 50, 120, 19);
    chkGridBold->SetCaption(" Font Bold");

    grpMisc = MakeControl<TGroupBox>(p, this, "grpMisc", 8, 88, 438, 80);
    grpMisc->SetCaption("Miscellaneous");
    chkPopupsHaveSearchKeys = MakeControl<TCheckBox>(grpMisc, this, "chkPopupsHaveSearchKeys", 10, 18, 260, 19);
    chkPopupsHaveSearchKeys->SetCaption("Popups have automatic Search Keys");
    xboxSynchBrowseIds = MakeControl<TCheckBox>(grpMisc, this, "xboxSynchBrowseIds", 10, 38, 260, 19);
    xboxSynchBrowseIds->SetCaption("Synchronize HelpIDs and BrowseIDs");
    chkTopicJumpBold = MakeControl<TCheckBox>(grpMisc, this, "chkTopicJumpBold", 10, 58, 260, 19);
    chkTopicJumpBold->SetCaption("New Topic Jumps appear Bold");

    grpPaths = MakeControl<TGroupBox>(p, this, "grpPaths", 8, 174, 438, 72);
    grpPaths->SetCaption("External Paths");
    MakeControl<TLabel>(grpPaths, this, "lblPaint", 10, 20, 200, 15)->SetCaption("Preferred Paint/Drawing program :");
    editPaint = MakeControl<TEdit>(grpPaths, this, "editPaint", 210, 16, 186, 22);
    btnPaint = MakeControl<TButton>(grpPaths, this, "btnPaint", 400, 16, 28, 22);
    MakeControl<TLabel>(grpPaths, this, "lblWP", 10, 46, 200, 15)->SetCaption("Preferred Word Processor :");
    editWP = MakeControl<TEdit>(grpPaths, this, "editWP", 210, 42, 186, 22);
    btnWP = MakeControl<TButton>(grpPaths, this, "btnWP", 400, 42, 28, 22);
    for (auto* e : {editPaint, editWP}) e->SetReadOnly(true);
    for (auto* b : {btnPaint, btnWP}) b->SetCaption("...");
    auto choose = [this](TEdit* edit, const char* title) {
        std::string chosen;
        const std::string start = edit->Text().empty() ? ctx_.ProgramDir : edit->Text();
        if (!ChooseProgram || !ChooseProgram(title, start, chosen)) return;
        edit->SetText(ChooseOutsideProgram(chosen, edit->Text()));
    };
    btnPaint->OnClick = [choose, this](TObject*) { choose(editPaint, "Preferred Drawing/Paint program"); };
    btnWP->OnClick = [choose, this](TObject*) { choose(editWP, "Preferred Word Processor"); };
    ChooseProgram = [this](const std::string& title, const std::string& start, std::string& chosen) {
        TOpenDialog d(this);
        d.Title = title;
        d.Filter = "Programs|*.exe|All files|*.*";
        d.DefaultExt = "exe";
        d.InitialDir = start;
        if (!d.Execute()) return false;
        chosen = d.FileName;
        return true;
    };

    grpDictionary = MakeControl<TGroupBox>(p, this, "grpDictionary", 8, 252, 214, 68);
    grpDictionary->SetCaption("Dictionary");
    listDictionary = MakeControl<TListBox>(grpDictionary, this, "listDictionary", 8, 16, 196, 46);
    for (const auto& d : DictionaryChoices()) listDictionary->Items().Add(d.first);
    listDictionary->OnClick = [this](TObject*) { DictionaryClick(); };

    grpExplorer = MakeControl<TGroupBox>(p, this, "grpExplorer", 230, 252, 216, 68);
    grpExplorer->SetCaption("Explorer View");
    xboxShowButtons = MakeControl<TCheckBox>(grpExplorer, this, "xboxShowButtons", 10, 20, 180, 19);
    xboxShowButtons->SetCaption("Show Butons");
    xboxShowLines = MakeControl<TCheckBox>(grpExplorer, this, "xboxShowLines", 10, 42, 180, 19);
    xboxShowLines->SetCaption("Show Lines");

    // "&OK" is the cancel button too: every way of closing keeps the changes.
    btnOK = MakeControl<TButton>(this, this, "btnOK", 306, 376, 75, 25);
    btnOK->SetCaption("&OK");
    btnOK->Default = true;
    btnOK->Cancel = true;
    btnOK->ModalResult = mrOk;
    btnHelp = MakeControl<TButton>(this, this, "btnHelp", 389, 376, 75, 25);
    btnHelp->SetCaption("&Help");
    btnHelp->OnClick = [this](TObject*) {
        ctx_.HelpFile = plat::JoinPath(ctx_.ProgramDir, "Tavrin.hlp");
        ctx_.ShowHelp(kHelpContext, 6000);
    };
    SetBorderStyle(bsDialog);
}

void TPrefsForm::Load(const PreferenceValues& v) {
    loading_ = true;
    shown_ = v;
    auto colour = [](TComboBox* box, TLabel* label, long value) {
        box->SetItemIndex(box->Items().IndexOf(PreferenceColourName(value)));
        label->Font().SetColor(ToColor(value));
    };
    colour(cbxTopicColor, lblTopic, v.topicColour);
    colour(cbxPopupColor, lblPopup, v.popupColour);
    cbxGridFontSize->SetText(v.gridFontSize);
    chkGridBold->SetChecked(v.gridFontBold);
    chkPopupsHaveSearchKeys->SetChecked(v.popupsHaveSearchKeys);
    xboxSynchBrowseIds->SetChecked(v.synchBrowseIds);
    chkTopicJumpBold->SetChecked(v.topicJumpBold);
    editPaint->SetText(v.paintProgram);
    editWP->SetText(v.wordProcessor);
    listDictionary->SetItemIndex(listDictionary->Items().IndexOf(v.dictionary));
    xboxShowButtons->SetChecked(v.showButtons);
    xboxShowLines->SetChecked(v.showLines);
    loading_ = false;
}

PreferenceValues TPrefsForm::Values() const {
    PreferenceValues v = shown_;
    v.topicColour = static_cast<long>(ctx_.TopicColor);
    v.popupColour = static_cast<long>(ctx_.PopupColor);
    v.gridFontSize = cbxGridFontSize->Text();
    v.gridFontBold = chkGridBold->Checked();
    v.popupsHaveSearchKeys = chkPopupsHaveSearchKeys->Checked();
    v.synchBrowseIds = xboxSynchBrowseIds->Checked();
    v.topicJumpBold = chkTopicJumpBold->Checked();
    v.paintProgram = editPaint->Text();
    v.wordProcessor = editWP->Text();
    const int d = listDictionary->ItemIndex();
    v.dictionary = d >= 0 ? listDictionary->Items()[d] : "British";
    v.showButtons = xboxShowButtons->Checked();
    v.showLines = xboxShowLines->Checked();
    return v;
}

void TPrefsForm::JumpColourChosen(bool topic) {
    if (loading_) return;  // only the user's choice writes
    TComboBox* box = topic ? cbxTopicColor : cbxPopupColor;
    const long value = ScreenColourOfName(box->Text());
    if (value < 0) return;
    StoreJumpColour(ctx_, topic, value);
    (topic ? lblTopic : lblPopup)->Font().SetColor(ToColor(value));
}

void TPrefsForm::DictionaryClick() {
    const int i = listDictionary->ItemIndex();
    if (i >= 0) CheckDictionaryPresent(ctx_, listDictionary->Items()[i]);
}

void miGeneralPrefsClick(EditorContext& ctx) {
    TPrefsForm form(Application, ctx);
    form.Load(LoadPreferences(ctx));
    form.ShowModal();
    ApplyPreferences(ctx, form.Values());
}

}  // namespace editor
