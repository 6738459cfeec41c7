#include "richtext/spell/ui/spell_forms.h"

#include <algorithm>

#include "platform/win/message_queue.h"

namespace spellui {

using namespace gui;

namespace {

constexpr TColor kGlyphBack = clFuchsia;

// A 12 by 12 picture: a dot in the button's colour on a see-through ground.
void DrawDotGlyph(TBitmap& glyph, TColor color) {
    glyph.SetSize(12, 12);
    TCanvas& c = glyph.Canvas();
    c.Brush().SetColor(kGlyphBack);
    c.FillRect(Rect(0, 0, 12, 12));
    c.Brush().SetColor(color);
    c.Pen().SetColor(clBlack);
    c.Ellipse(1, 1, 11, 11);
}

// Moves the focus to `control` once the events now handled are done (a
// change of focus inside a focus change is not taken).
void PostFocus(TForm* form, TWinControl* control) {
    plat::PostMessage(form->Handle(), WM_NEXTDLGCTL, control->Handle(), 1);
}

}  // namespace

// --- TAbsSpellDialog -----------------------------------------------------------------

TAbsSpellDialog::TAbsSpellDialog(TComponent* owner) : TForm(owner) {
    Font().SetName("MS Sans Serif");
    Font().SetSize(8);
    Font().SetStyle(fsBold);

    lblFound = MakeLabel("lblFound");
    lblReplace = MakeLabel("lblReplace");
    lblSuggestions = MakeLabel("lblSuggestions");

    edtWord = new TEnterEdit(this);
    edtWord->SetParent(this);
    edtWord->SetName("edtWord");
    edtWord->SetTabStop(true);
    edtWord->OnKeyUp = [this](TObject*, unsigned&, TShiftState) { QuickSuggest(); };
    lblReplace->SetFocusControl(edtWord);

    lstSuggest = new TNewListBox(this);
    lstSuggest->SetParent(this);
    lstSuggest->SetName("lstSuggest");
    lstSuggest->SetTabStop(true);
    auto copyChoice = [this] {
        int i = lstSuggest->ItemIndex();
        if (i >= 0 && i < lstSuggest->Items().Count()) edtWord->SetText(lstSuggest->Items().Strings(i));
    };
    lstSuggest->OnClick = [copyChoice](TObject*) { copyChoice(); };
    lstSuggest->OnChange = [copyChoice](TObject*) { copyChoice(); };
    lstSuggest->OnDblClick = [this, copyChoice](TObject*) {
        copyChoice();
        btnReplaceClick(this);
    };
    lblSuggestions->SetFocusControl(lstSuggest);

    btnReplace = MakeButton("btnReplace", clGreen);
    btnReplace->OnClick = [this](TObject* s) { btnReplaceClick(s); };
    btnSkip = MakeButton("btnSkip", clYellow);
    btnSkip->OnClick = [this](TObject* s) { btnSkipClick(s); };
    btnSkipAll = MakeButton("btnSkipAll", clOlive);
    btnSkipAll->OnClick = [this](TObject* s) { btnSkipAllClick(s); };
    btnSuggest = MakeButton("btnSuggest", clBlue);
    btnSuggest->OnClick = [this](TObject* s) { btnSuggestClick(s); };
    btnAdd = MakeButton("btnAdd", clAqua);
    btnAdd->OnClick = [this](TObject* s) { btnAddClick(s); };
    btnClose = MakeButton("btnClose", clRed);
    btnClose->Cancel = true;
    btnClose->OnClick = [this](TObject* s) { btnCloseClick(s); };

    pnlIcons = new TPanel(this);
    pnlIcons->SetParent(this);
    pnlIcons->SetName("pnlIcons");
    pnlIcons->SetBevelOuter(bvNone);
    pnlIcons->SetCaption("");
    pnlIcons->SetVisible(false);
    struct Accent {
        TSpeedButton** button;
        const char* name;
        const char* text;
    };
    const Accent accents[] = {{&btnA, "btnA", "\xE1"}, {&btnE, "btnE", "\xE9"}, {&btnI, "btnI", "\xED"},
                              {&btnO, "btnO", "\xF3"}, {&btnU, "btnU", "\xFA"}, {&btnN, "btnN", "\xF1"},
                              {&btnN2, "btnN2", "\xD1"}};
    int x = 0;
    for (const Accent& a : accents) {
        auto* b = new TSpeedButton(this);
        b->SetParent(pnlIcons);
        b->SetName(a.name);
        b->SetCaption(a.text);
        b->SetBounds(x, 1, 24, 22);
        b->OnClick = [this](TObject* s) { AccentClick(s); };
        *a.button = b;
        x += 25;
    }
}

TLabel* TAbsSpellDialog::MakeLabel(const char* name) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetName(name);
    return l;
}

TBitBtn* TAbsSpellDialog::MakeButton(const char* name, TColor glyphColor) {
    auto* b = new TBitBtn(this);
    b->SetParent(this);
    b->SetName(name);
    b->SetTabStop(true);
    DrawDotGlyph(b->Glyph(), glyphColor);
    b->Glyph().SetTransparentColor(kGlyphBack);
    buttons_.push_back(b);
    return b;
}

void TAbsSpellDialog::SetReplaceText(const std::string& ansi) {
    edtWord->SetText(ansi);
    edtWord->SetModified(false);
}

std::string TAbsSpellDialog::GetReplaceText() { return edtWord->Text(); }

void TAbsSpellDialog::FocusReplace() {
    if (Showing() && edtWord->CanFocus()) {
        edtWord->SetFocus();
        edtWord->SelectAll();
    } else {
        SetActiveControl(edtWord);
    }
}

void TAbsSpellDialog::ShowAccents(spell::TAccentSet accents) {
    pnlIcons->SetVisible((accents & spell::AccentBit(spell::acSpanish)) != 0);
}

void TAbsSpellDialog::ClearFields() {
    edtWord->SetText("");
    lstSuggest->Clear();
}

void TAbsSpellDialog::RemoveGlyphs() {
    for (TBitBtn* b : buttons_) b->Glyph().SetSize(0, 0);
    Invalidate();
}

void TAbsSpellDialog::ShowDialog() { Show(); }

void TAbsSpellDialog::HideDialog() { Hide(); }

void TAbsSpellDialog::PlaceDialog(bool autoShift, plat::TComponent* source) {
    int screenW = Screen ? Screen->Width() : 800, screenH = Screen ? Screen->Height() : 600;
    int left = std::max(0, (screenW - Width()) / 2);
    int top = Top();
    if (autoShift) {
        if (auto* c = dynamic_cast<TControl*>(source)) {
            TPoint p = c->ClientToScreen(Point(0, 0));
            int bottom = p.y + c->Height();
            // Clear of the text: below it when there is room, else above it.
            if (top < bottom + 10 && top + Height() > p.y - 10) {
                if (bottom + 10 + Height() <= screenH) top = bottom + 10;
                else top = std::max(0, p.y - 10 - Height());
            }
        }
    }
    SetBounds(left, top, Width(), Height());
}

void TAbsSpellDialog::SetDialogFont(const spell::TSpellFont& font) {
    Font().SetName(font.Name);
    Font().SetSize(font.Size);
    Font().SetStyle(font.Bold ? fsBold : 0);
}

void TAbsSpellDialog::SetSuggestionList(const std::vector<std::string>& items) {
    lstSuggest->Items().Clear();
    for (const std::string& s : items) lstSuggest->Items().Add(s);
    lstSuggest->SetItemIndex(items.empty() ? -1 : 0);
}

void TAbsSpellDialog::FocusSuggestionList() {
    if (Showing() && lstSuggest->CanFocus()) lstSuggest->SetFocus();
}

void TAbsSpellDialog::AccentClick(TObject* sender) {
    auto* b = dynamic_cast<TSpeedButton*>(sender);
    if (!b) return;
    edtWord->SetSelText(b->Caption());
}

void TAbsSpellDialog::QuickSuggest() {
    std::string text = edtWord->Text();
    if (text.empty() || !Checker) return;
    SetSuggestionList(Checker->CompletionsFor(text));
}

void TAbsSpellDialog::edtWordExit(TObject*) {}

void TAbsSpellDialog::DoClose(TCloseAction& Action) {
    // Closing the window ends the check.
    SetAction(spell::kActionClose);
    TForm::DoClose(Action);
    Action = caHide;
}

// --- TJDSpell ----------------------------------------------------------------------------

TJDSpell::TJDSpell(TComponent* owner) : TAbsSpellDialog(owner) {
    SetClientSize(400, 250);
    lblNotFound = MakeLabel("lblNotFound");
    lblWord = MakeLabel("lblWord");
    lblFound->SetBounds(8, 10, 70, 16);
    lblNotFound->SetBounds(8, 10, 70, 16);
    lblWord->SetBounds(84, 10, 170, 16);
    lblWord->Font().SetColor(clMaroon);
    lblWord->SetParentFont(false);
    lblWord->Font().SetStyle(fsBold);
    lblReplace->SetBounds(8, 36, 120, 16);
    edtWord->SetBounds(8, 54, 250, 22);
    lblSuggestions->SetBounds(8, 84, 120, 16);
    lstSuggest->SetBounds(8, 102, 250, 104);
    int y = 8;
    for (TBitBtn* b : {btnReplace, btnAdd, btnSkip, btnSkipAll, btnSuggest, btnClose}) {
        b->SetBounds(272, y, 118, 26);
        y += 32;
    }
    pnlIcons->SetBounds(8, 216, 180, 24);
    edtWord->SetTabOrder(0);
    lstSuggest->SetTabOrder(1);
    KeyPreview = true;
    OnKeyDown = [this](TObject* s, unsigned& k, TShiftState sh) { FormKeyDown(s, k, sh); };
    edtWord->OnExit = [this](TObject* s) { edtWordExit(s); };
    SetLanguage(spell::lgEnglish);
    SetStateLabel(false);
    // Last: a fixed-size window keeps the size it has when its border is set.
    SetBorderStyle(bsDialog);
}

void TJDSpell::SetLanguage(spell::TLanguages) {
    lblFound->SetCaption("Found");
    lblNotFound->SetCaption("Not Found");
    lblReplace->SetCaption("Replace &With");
    lblSuggestions->SetCaption("Sugg&estions");
    btnReplace->SetCaption("&Replace");
    btnAdd->SetCaption("&Add");
    btnSkip->SetCaption("Skip &Once");
    btnSkipAll->SetCaption("Skip &Always");
    btnSuggest->SetCaption("&Suggest");
    btnClose->SetCaption("Close");
    SetCaption("Spell Checker");
}

void TJDSpell::SetStateLabel(bool found) {
    lblFound->SetVisible(found);
    lblNotFound->SetVisible(!found);
}

void TJDSpell::SetWordText(const std::string& ansi) { lblWord->SetCaption(ansi); }

void TJDSpell::edtWordExit(TObject*) {
    if (!edtWord->Modified()) return;  // only what the user typed
    bool found = Checker && !edtWord->Text().empty() && Checker->IsWord(edtWord->Text());
    SetStateLabel(found);
    PostFocus(this, found ? btnReplace : btnSuggest);
}

void TJDSpell::FormKeyDown(TObject*, unsigned& Key, TShiftState) {
    if (Key == VK_ESCAPE) {
        btnCloseClick(this);
        Key = 0;
    }
}

// --- TMSSpell ----------------------------------------------------------------------------

TMSSpell::TMSSpell(TComponent* owner) : TAbsSpellDialog(owner) {
    SetClientSize(440, 260);
    edtCurWord = new TEdit(this);
    edtCurWord->SetParent(this);
    edtCurWord->SetName("edtCurWord");
    edtCurWord->SetReadOnly(true);
    btnReplaceAll = MakeButton("btnReplaceAll", clLime);
    btnReplaceAll->OnClick = [this](TObject* s) { btnReplaceAllClick(s); };
    btnAutoCorrect = MakeButton("btnAutoCorrect", clGray);
    btnOptions = MakeButton("btnOptions", clGray);
    btnUndo = MakeButton("btnUndo", clGray);
    btnHelp = MakeButton("btnHelp", clGray);
    // Kept for the look of the layout; they do nothing.
    for (TBitBtn* b : {btnAutoCorrect, btnOptions, btnUndo, btnHelp}) b->SetEnabled(false);

    lblFound->SetBounds(8, 12, 110, 16);
    edtCurWord->SetBounds(120, 8, 200, 22);
    lblReplace->SetBounds(8, 40, 110, 16);
    edtWord->SetBounds(120, 36, 200, 22);
    lblSuggestions->SetBounds(8, 68, 110, 16);
    lstSuggest->SetBounds(120, 64, 200, 116);
    int y = 8;
    for (TBitBtn* b : {btnSkip, btnSkipAll, btnReplace, btnReplaceAll, btnAdd, btnSuggest, btnClose}) {
        b->SetBounds(330, y, 102, 25);
        y += 29;
    }
    int x = 8;
    for (TBitBtn* b : {btnAutoCorrect, btnOptions, btnUndo, btnHelp}) {
        b->SetBounds(x, 226, 100, 25);
        x += 106;
    }
    pnlIcons->SetBounds(120, 188, 180, 24);
    edtWord->SetTabOrder(0);
    lstSuggest->SetTabOrder(1);
    SetLanguage(spell::lgEnglish);
    SetStateLabel(false);
    SetBorderStyle(bsDialog);
}

void TMSSpell::SetLanguage(spell::TLanguages) {
    lblReplace->SetCaption("Change &To:");
    lblSuggestions->SetCaption("Suggestio&ns:");
    btnReplace->SetCaption("&Change");
    btnReplaceAll->SetCaption("C&hange All");
    btnAdd->SetCaption("&Add");
    btnSkip->SetCaption("&Ignore");
    btnSkipAll->SetCaption("I&gnore All");
    btnSuggest->SetCaption("&Suggest");
    btnClose->SetCaption("Cancel");
    btnAutoCorrect->SetCaption("AutoCorrect");
    btnOptions->SetCaption("&Options");
    btnUndo->SetCaption("&Undo Last");
    btnHelp->SetCaption("Help");
    SetCaption("Spelling");
}

void TMSSpell::SetStateLabel(bool found) { lblFound->SetCaption(found ? "In Dictionary:" : "Not in Dictionary:"); }

void TMSSpell::SetWordText(const std::string& ansi) { edtCurWord->SetText(ansi); }

// --- TW96Spell ---------------------------------------------------------------------------

TW96Spell::TW96Spell(TComponent* owner) : TAbsSpellDialog(owner) {
    SetBorderStyle(bsNone);
    SetClientSize(380, 236);
    SetColor(clBtnFace);
    lblTitle = MakeLabel("lblTitle");
    lblTitle->SetAutoSize(false);
    lblTitle->SetBounds(0, 0, 380, 20);
    lblTitle->SetColor(clNavy);
    lblTitle->SetParentFont(false);
    lblTitle->Font().SetColor(clWhite);
    lblTitle->Font().SetStyle(fsBold);
    lblWord = MakeLabel("lblWord");
    btnReplaceAll = MakeButton("btnReplaceAll", clLime);
    btnReplaceAll->OnClick = [this](TObject* s) { btnReplaceAllClick(s); };
    sbSuggest = new TSpeedButton(this);
    sbSuggest->SetParent(this);
    sbSuggest->SetName("sbSuggest");
    DrawDotGlyph(sbSuggest->Glyph(), clBlue);
    sbSuggest->Glyph().SetTransparentColor(kGlyphBack);
    sbSuggest->OnClick = [this](TObject* s) { btnSuggestClick(s); };
    // This layout suggests through its speed button and names no labels
    // over the field and the list.
    btnSuggest->SetVisible(false);
    lblReplace->SetVisible(false);
    lblSuggestions->SetVisible(false);

    lblFound->SetBounds(8, 30, 110, 16);
    lblWord->SetBounds(120, 30, 140, 16);
    edtWord->SetBounds(8, 54, 224, 22);
    sbSuggest->SetBounds(236, 54, 24, 22);
    lstSuggest->SetBounds(8, 82, 252, 112);
    int y = 28;
    for (TBitBtn* b : {btnReplace, btnReplaceAll, btnAdd, btnSkip, btnSkipAll, btnClose}) {
        b->SetBounds(270, y, 102, 26);
        y += 31;
    }
    pnlIcons->SetBounds(8, 202, 180, 24);
    edtWord->SetTabOrder(0);
    lstSuggest->SetTabOrder(1);
    edtWord->OnExit = [this](TObject* s) { edtWordExit(s); };
    SetLanguage(spell::lgEnglish);
    SetStateLabel(false);
}

void TW96Spell::SetLanguage(spell::TLanguages) {
    lblTitle->SetCaption(" Spell Check");
    btnReplace->SetCaption("&Replace");
    btnReplaceAll->SetCaption("Replace All");
    btnAdd->SetCaption("&Add");
    btnSkip->SetCaption("Skip &Once");
    btnSkipAll->SetCaption("Skip &Always");
    btnClose->SetCaption("&Done");
    SetCaption("Spelling");
}

void TW96Spell::SetStateLabel(bool found) { lblFound->SetCaption(found ? "Word Found:" : "Word in Question:"); }

void TW96Spell::SetWordText(const std::string& ansi) { lblWord->SetCaption(ansi); }

void TW96Spell::edtWordExit(TObject*) {
    if (!edtWord->Modified()) return;  // only what the user typed
    bool found = Checker && !edtWord->Text().empty() && Checker->IsWord(edtWord->Text());
    SetStateLabel(found);
    PostFocus(this, found ? btnReplace : btnAdd);
}

std::unique_ptr<TAbsSpellDialog> CreateSpellDialog(spell::TDialogTypes style) {
    switch (style) {
    case spell::dtMSWord: return std::make_unique<TMSSpell>(nullptr);
    case spell::dtWordPro96: return std::make_unique<TW96Spell>(nullptr);
    default: return std::make_unique<TJDSpell>(nullptr);
    }
}

}  // namespace spellui
