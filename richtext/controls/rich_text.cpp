#include "richtext/controls/rich_text.h"

#include <algorithm>
#include <vector>

#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"

namespace richtext {

using namespace gui;

// --- texts and language ------------------------------------------------------------------------

namespace {

struct TText {
    int id;
    const char* english;
    const char* german;
};

const TText kTexts[] = {
    {jdtFileFilter,
     "Rich text files (*.rtf)|*.rtf|HTML files (*.htm;*.html)|*.htm;*.html|Text files (*.txt)|*.txt|All files (*.*)|*.*",
     "RTF-Dateien (*.rtf)|*.rtf|HTML-Dateien (*.htm;*.html)|*.htm;*.html|Textdateien (*.txt)|*.txt|Alle Dateien (*.*)|*.*"},
    {jdtAbortQuestion, "Do you want to abort operation?", "Soll Operation abgebrochen werden?"},
    {jdtReady, "Ready", "Bereit"},
    {jdtReading, "reading ...", "beim lesen..."},
    {jdtWriting, "writing ...", "beim schreiben"},
    {jdtFormatting, "formatting ...", "beim formatieren"},
    {jdtFormatting2, "formatting ...", "beim formatieren"},
    {jdtInitMemory, "initialize memory", "initialisiere speicher..."},
    {jdtNoSelection, "no text selected", "keine Auswahl markiert"},
    {jdtRich, "RICH", "FMT"},
    {jdtPlain, "PLAIN", "NORM"},
    {jdtInternalError, "Internal Error", "Interner Fehler"},
    {jdtDeleteTabs, "Delete all tabstops?", "Tabulatoren l\xF6schen"},
};

int g_languageOffset = 0;
char g_decimalChar = '.';
std::vector<TJDCustomRichText*> g_editors;

// The shared dialogs live as long as the application that owns them; the
// watcher forgets each when it goes.
TFindDialog* g_findDialog = nullptr;
TReplaceDialog* g_replaceDialog = nullptr;
TJDCustomRichText* g_dialogEditor = nullptr;

class TDialogWatcher : public TComponent {
public:
    TDialogWatcher() : TComponent(nullptr) {}

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation != opRemove) return;
        if (AComponent == g_findDialog) g_findDialog = nullptr;
        if (AComponent == g_replaceDialog) g_replaceDialog = nullptr;
    }
};

TDialogWatcher& Watcher() {
    static TDialogWatcher* w = new TDialogWatcher();  // outlives every dialog
    return *w;
}

TColor RgbColor(const TRgbEntry& e) {
    return static_cast<TColor>(e.red | (e.green << 8) | (e.blue << 16));
}

}  // namespace

std::string JDRichTextString(int id) {
    bool german = id >= jdtFileFilter + 100;
    int base = german ? id - 100 : id;
    for (const TText& t : kTexts)
        if (t.id == base) return (german || g_languageOffset == 100) ? t.german : t.english;
    return std::string();
}

TJDToolLanguage JDLanguage() { return g_languageOffset == 100 ? TJDToolLanguage::tjdGerman : TJDToolLanguage::tjdEnglish; }

void SetJDLanguage(TJDToolLanguage language) {
    bool german = language == TJDToolLanguage::tjdGerman;
    g_languageOffset = german ? 100 : 0;
    g_decimalChar = german ? ',' : '.';
    // Every editor shows the texts of the new language at once.
    for (TJDCustomRichText* e : g_editors) {
        e->Engine().decimalChar = g_decimalChar;
        e->UpdateStatusBar();
    }
}

char JDDecimalChar() { return g_decimalChar; }

void InitJDRichUnit() {
    if (!Application) return;
    if (!g_findDialog) {
        g_findDialog = new TFindDialog(Application);
        g_findDialog->FreeNotification(&Watcher());
    }
    if (!g_replaceDialog) {
        g_replaceDialog = new TReplaceDialog(Application);
        g_replaceDialog->FreeNotification(&Watcher());
    }
}

TFindDialog* JDFindDialog() {
    InitJDRichUnit();
    return g_findDialog;
}

TReplaceDialog* JDReplaceDialog() {
    InitJDRichUnit();
    return g_replaceDialog;
}

// --- set-mode object ---------------------------------------------------------------------------

TJDRichTextSetMode::TJDRichTextSetMode(TJDCustomRichText& editor) : Engine(&editor.Engine()), Editor(&editor) {
    this->editor = Engine;
    Engine->services.setMode = this;
}

TJDRichTextSetMode::~TJDRichTextSetMode() {
    if (Engine && Engine->services.setMode == this) Engine->services.setMode = nullptr;
}

void TJDRichTextSetMode::Forget() {
    paraKnown_ = attrKnown_ = false;
    alignment_ = parColor_ = -1;
}

void TJDRichTextSetMode::RefreshParagraph() {
    if (!Engine) return;
    const TParagraph* p = Engine->cursor.par;
    if (!p) return;
    const bool cell = p->IsCell();
    const int first = cell ? 0 : p->firstIndent, left = cell ? 0 : p->leftIndent, right = cell ? 0 : p->rightIndent;
    if (!paraKnown_ || p != par_ || first != first_ || left != left_ || right != right_ || p->tabs != tabs_ || cell) {
        const bool tabsMoved = !paraKnown_ || p->tabs != tabs_ || p != par_;
        par_ = p;
        first_ = first;
        left_ = left;
        right_ = right;
        tabs_ = p->tabs;
        paraKnown_ = true;
        if (Ruler) {
            Ruler->SetIndents(left, first, right);
            if (tabsMoved) Ruler->TabsChanged();
        }
    }
    if (Engine->PaintOptions() & poHoldPaint) return;
    if (ToolBar && p->alignment != alignment_) {
        static const int kIcon[4] = {1, 2, 4, 3};
        for (int a = 0; a < 4; ++a)
            if (a != p->alignment) ToolBar->SetIconUp("", jdgAlign, kIcon[a]);
        ToolBar->SetIconDown("", jdgAlign, kIcon[std::min<int>(p->alignment, 3)]);
        alignment_ = p->alignment;
    }
    const int color = p->shading >> 4;
    if (ToolBar && color != parColor_) {
        ToolBar->ShowSelection(jdSelParColor, color, {});
        parColor_ = color;
    }
}

void TJDRichTextSetMode::RefreshAttributes() {
    if (!Engine || !ToolBar || (Engine->PaintOptions() & poHoldPaint)) return;
    const TJDCharAttr& a = Engine->currentAttr;
    if (attrKnown_ && a.style == attr_.style && a.font == attr_.font && a.size == attr_.size && a.colors == attr_.colors)
        return;
    struct Bit {
        int number;
        std::uint16_t bit;
    };
    static const Bit kBits[] = {{2, kStyleBold},  {3, kStyleItalic}, {4, kStyleUnderline}, {5, kStyleHyperlink},
                                {6, kStyleStrikeOut}, {7, kStyleSuper}, {8, kStyleSub},     {9, kStyleHidden},
                                {19, kStyleRtfCode}};
    std::uint16_t any = 0;
    for (const Bit& b : kBits) {
        const bool on = a.style & b.bit;
        any |= a.style & b.bit;
        if (!attrKnown_ || on != bool(attr_.style & b.bit)) {
            if (on) ToolBar->SetIconDown("", jdgStyle, b.number);
            else ToolBar->SetIconUp("", jdgStyle, b.number);
        }
    }
    if (any) ToolBar->SetIconUp("", jdgStyle, 1);
    else ToolBar->SetIconDown("", jdgStyle, 1);
    if (Editor) Editor->SetHiddenStyleFromCaret(a.style & kStyleHidden);
    if (!attrKnown_ || a.font != attr_.font) ToolBar->ShowSelection(jdSelFontName, 0, CurrentFontName());
    if (!attrKnown_ || a.size != attr_.size) ToolBar->ShowSelection(jdSelFontSize, a.size ? a.size : 10, {});
    if (!attrKnown_ || a.TextColor() != attr_.TextColor()) ToolBar->ShowSelection(jdSelFontColor, a.TextColor(), {});
    if (!attrKnown_ || a.BackColor() != attr_.BackColor()) ToolBar->ShowSelection(jdSelBackColor, a.BackColor(), {});
    attr_ = a;
    attrKnown_ = true;
}

void TJDRichTextSetMode::HeaderChanged() {
    if (Editor && Ruler) Editor->ConnectRuler(false);
}

// --- the component -------------------------------------------------------------------------------

TJDCustomRichText::TJDCustomRichText(TComponent* AOwner) : TJDCustomRtfEdit(AOwner) {
    dialogFinder_ = std::make_unique<TJDTextFinder>();
    dialogFinder_->SetText(&Engine());
    setMode_ = std::make_unique<TJDRichTextSetMode>(*this);
    RegisterFontName("Arial");
    SetInserting(true);
    Engine().decimalChar = g_decimalChar;
    g_editors.push_back(this);
}

TJDCustomRichText::~TJDCustomRichText() {
    g_editors.erase(std::remove(g_editors.begin(), g_editors.end(), this), g_editors.end());
    DetachBars();
    for (TComponent* c : std::initializer_list<TComponent*>{ruler_, statusBar_, toolBar_, statusLabel_, verBar_, horBar_})
        if (c) c->RemoveFreeNotification(this);
    if (verBar_) verBar_->OnScroll = nullptr;
    if (horBar_) horBar_->OnScroll = nullptr;
    Engine().services.setMode = nullptr;
    setMode_.reset();
    if (finderOwned_) dialogFinder_.reset();
    else dialogFinder_.release();
}

void TJDCustomRichText::Notification(TComponent* AComponent, TOperation Operation) {
    TJDCustomRtfEdit::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent) return;
    if (AComponent == toolBar_) {
        toolBar_ = nullptr;
        setMode_->ToolBar = nullptr;
    }
    if (AComponent == ruler_) {
        ruler_ = nullptr;
        setMode_->Ruler = nullptr;
    }
    if (AComponent == statusBar_) statusBar_ = nullptr;
    if (AComponent == statusLabel_) statusLabel_ = nullptr;
    if (AComponent == verBar_) verBar_ = nullptr;
    if (AComponent == horBar_) horBar_ = nullptr;
}

std::array<TColor, 16>& TJDCustomRichText::ColorTable() {
    const TTextHeader& h = Engine().Header();
    for (int i = 0; i < 16; ++i) colors_[static_cast<std::size_t>(i)] = RgbColor(h.colors[static_cast<std::size_t>(i)]);
    return colors_;
}

void TJDCustomRichText::SetHiddenStyleFromCaret(bool hidden) { hiddenStyle_ = hidden; }

int TJDCustomRichText::RulerPageLeft() const {
    if (!ruler_) return 0;
    int dx = Left() - ruler_->Left();
    if (HandleAllocated() && ruler_->HandleAllocated()) dx = ClientOrigin().x - ruler_->ClientOrigin().x;
    return dx + Engine().leftMargin;
}

void TJDCustomRichText::ConnectRuler(bool withIndents) {
    if (!ruler_) return;
    ruler_->SetEditor(this);
    ruler_->SetHeader(&Engine().Header());
    ruler_->SetPageLeft(RulerPageLeft());
    ruler_->SetXOffset(Engine().LeftOffset);
    if (withIndents) {
        const TParagraph* p = Engine().cursor.par;
        if (p && !p->IsCell()) ruler_->SetIndents(p->leftIndent, p->firstIndent, p->rightIndent);
        else ruler_->SetIndents(0, 0, 0);
    }
    setMode_->Ruler = ruler_;
}

// --- links ----------------------------------------------------------------------------------------

void TJDCustomRichText::SetJDRuler(TJDRuler* ruler) {
    if (ruler == ruler_) return;
    if (ruler_) {
        ruler_->RemoveFreeNotification(this);
        if (ruler_->Editor() == this) ruler_->SetEditor(nullptr);
    }
    ruler_ = ruler;
    setMode_->Ruler = ruler;
    if (!ruler_) return;
    ruler_->FreeNotification(this);
    ConnectRuler(true);
    setMode_->Forget();
    setMode_->RefreshParagraph();
}

void TJDCustomRichText::SetStatusBar(TJDStatusBarBasic* bar) {
    if (bar == statusBar_) return;
    if (statusBar_) {
        statusBar_->RemoveFreeNotification(this);
        if (statusBar_->Editor == this) statusBar_->Editor = nullptr;
    }
    statusBar_ = bar;
    if (!statusBar_) return;
    statusBar_->FreeNotification(this);
    statusBar_->Editor = this;
    UpdateStatusBar();
}

void TJDCustomRichText::SetJDToolBar(TJDCustomToolPanel* bar) {
    if (bar == toolBar_) return;
    if (toolBar_) {
        toolBar_->RemoveFreeNotification(this);
        if (toolBar_->Editor() == this) toolBar_->AttachEditor(nullptr);
    }
    toolBar_ = bar;
    setMode_->ToolBar = bar;
    if (!toolBar_) return;
    toolBar_->FreeNotification(this);
    toolBar_->AttachEditor(this);
    toolBar_->SetColorTable(ColorTable().data());
    setMode_->Forget();
    setMode_->RefreshAttributes();
    setMode_->RefreshParagraph();
}

void TJDCustomRichText::SetStatusLabel(TLabel* label) {
    if (label == statusLabel_) return;
    if (statusLabel_) statusLabel_->RemoveFreeNotification(this);
    statusLabel_ = label;
    if (statusLabel_) statusLabel_->FreeNotification(this);
}

void TJDCustomRichText::SetExternVerScrollBar(TScrollBar* bar) {
    if (bar == verBar_) return;
    if (verBar_) {
        verBar_->RemoveFreeNotification(this);
        verBar_->OnScroll = nullptr;
    }
    verBar_ = bar;
    if (!verBar_) return;
    verBar_->FreeNotification(this);
    verBar_->OnScroll = [this](TObject*, TScrollCode code, int& pos) { ExternScroll(true, code, pos); };
    verBar_->SetParams(0, 0, 1000);
    UpdateVertScrollBar();
}

void TJDCustomRichText::SetExternHorScrollBar(TScrollBar* bar) {
    if (bar == horBar_) return;
    if (horBar_) {
        horBar_->RemoveFreeNotification(this);
        horBar_->OnScroll = nullptr;
    }
    horBar_ = bar;
    if (!horBar_) return;
    horBar_->FreeNotification(this);
    horBar_->OnScroll = [this](TObject*, TScrollCode code, int& pos) { ExternScroll(false, code, pos); };
    horBar_->SetParams(0, 0, 1000);
    UpdateHorzScrollBar();
}

void TJDCustomRichText::ExternScroll(bool vertical, TScrollCode code, int pos) {
    TJDRTFTextInput& e = Engine();
    int span = vertical ? e.DocumentHeight() - e.WindowHeight() : e.Header().textWidth + e.leftMargin - e.WindowWidth();
    int target = span > 0 ? static_cast<int>(static_cast<std::int64_t>(span) * pos / 1000) : 0;
    e.ScrollTo(vertical, static_cast<int>(code), target);
}

// --- attaching on focus -------------------------------------------------------------------------

void TJDCustomRichText::AttachBars() {
    if (ruler_) ConnectRuler(true);
    if (statusBar_) {
        statusBar_->Editor = this;
        UpdateStatusBar();
    }
    if (toolBar_) {
        toolBar_->AttachEditor(this);
        toolBar_->SetColorTable(ColorTable().data());
    }
    setMode_->Forget();
    setMode_->RefreshAttributes();
    setMode_->RefreshParagraph();
    if (TFindDialog* f = JDFindDialog()) f->OnFind = [this](TObject* s) { DialogFind(s); };
    if (TReplaceDialog* r = JDReplaceDialog()) {
        r->OnFind = [this](TObject* s) { DialogFind(s); };
        r->OnReplace = [this](TObject* s) { DialogReplace(s); };
    }
    g_dialogEditor = this;
}

void TJDCustomRichText::DetachBars() {
    if (ruler_ && ruler_->Editor() == this) ruler_->SetEditor(nullptr);
    if (statusBar_ && statusBar_->Editor == this) statusBar_->Editor = nullptr;
    if (toolBar_ && toolBar_->Editor() == this) toolBar_->AttachEditor(nullptr);
    if (g_dialogEditor == this) {
        if (g_findDialog) g_findDialog->OnFind = nullptr;
        if (g_replaceDialog) {
            g_replaceDialog->OnFind = nullptr;
            g_replaceDialog->OnReplace = nullptr;
        }
        g_dialogEditor = nullptr;
    }
}

void TJDCustomRichText::WndProc(TMessage& m) {
    TJDCustomRtfEdit::WndProc(m);
    if (m.Msg == WM_SETFOCUS && Focused()) AttachBars();
}

// --- overridden operations --------------------------------------------------------------------

void TJDCustomRichText::Reformat() {
    TJDCustomRtfEdit::Reformat();
    if (ruler_) ruler_->Invalidate();
}

void TJDCustomRichText::DoEditState(bool selectionMarked, bool clipboardNotEmpty) {
    TJDCustomRtfEdit::DoEditState(selectionMarked, clipboardNotEmpty);
    setMode_->SelectionPresent = selectionMarked;
    if (!toolBar_) return;
    toolBar_->EnableIcon("", jdgEdit, clipboardNotEmpty, 3);
    for (int n : {2, 5, 1}) toolBar_->EnableIcon("", jdgEdit, selectionMarked, n);
    int start = 0, len = 0;
    bool all = selectionMarked && Engine().GetSelection(start, len) && start == 0 && len >= Engine().TextLength();
    if (all) toolBar_->SetIconDown("", jdgEdit, 4);
    else toolBar_->SetIconUp("", jdgEdit, 4);
}

void TJDCustomRichText::UpdateHorzScrollBar() {
    TJDCustomRtfEdit::UpdateHorzScrollBar();
    const TJDRTFTextInput& e = Engine();
    if (horBar_) {
        int span = e.Header().textWidth + e.leftMargin - e.WindowWidth();
        horBar_->SetPosition(span > 0 ? MulDiv(-e.LeftOffset, 1000, span) : 0);
    }
    if (ruler_ && ruler_->Editor() == this) ruler_->SetXOffset(e.LeftOffset);
}

void TJDCustomRichText::UpdateVertScrollBar() {
    TJDCustomRtfEdit::UpdateVertScrollBar();
    if (!verBar_) return;
    const TJDRTFTextInput& e = Engine();
    int span = e.DocumentHeight() - e.WindowHeight();
    verBar_->SetPosition(span > 0 ? static_cast<int>(std::min<std::int64_t>(1000, static_cast<std::int64_t>(e.TopOffset) * 1000 / span)) : 0);
}

void TJDCustomRichText::UpdateStatusBar() {
    if (!statusBar_) return;
    statusBar_->SetItemText(stTxtFmt, JDRichTextString(Engine().RichText() ? jdtRich : jdtPlain));
    statusBar_->SetItemText(stStatus, JDRichTextString(jdtReady));
    statusBar_->SetItemText(stFileName, fileName_.empty() ? std::string(" ") : fileName_);
}

void TJDCustomRichText::ShowStatusText(const std::string& s) {
    const std::string text = s.empty() ? JDRichTextString(jdtReady) : s;
    if (statusLabel_) {
        statusLabel_->SetCaption(text);
        statusLabel_->Update();
    }
    if (statusBar_) statusBar_->SetItemText(stStatus, text);
}

void TJDCustomRichText::RulerChanged(TJdSelNr& kind, int changing, int group, int num) {
    (void)group;
    (void)num;
    if (Showing() && !Focused() && CanFocus()) SetFocus();
    if (kind != jdSelRuler || !ruler_) return;
    TParagraph* p = Engine().cursor.par;
    // Inside a table the row's indents change once, when the drag ends.
    if (!(p && p->IsCell() && changing)) {
        if (CanEdit()) {
            Engine().SetIndents(ruler_->FirstIndent(), ruler_->LeftIndent(), ruler_->RightIndent());
            if (!changing) Changed();
        }
        Invalidate();
    }
    kind = 0;
    Engine().ScrollToCursor();
}

void TJDCustomRichText::StyleBit(std::uint16_t bit, bool on) {
    if (!CanEdit()) {
        // Refused: the bar shows the caret's state again.
        setMode_->Forget();
        setMode_->RefreshAttributes();
        return;
    }
    Engine().SetSelStyleBit(bit, on);
    Changed();
}

void TJDCustomRichText::IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) {
    (void)name;
    static const std::uint16_t kBitOf[20] = {0, 0, kStyleBold, kStyleItalic, kStyleUnderline, kStyleHyperlink,
                                             kStyleStrikeOut, kStyleSuper, kStyleSub, kStyleHidden, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, kStyleRtfCode};
    const std::uint16_t bit = (num >= 0 && num < 20) ? kBitOf[num] : 0;
    if (typ == jdSelIconDown) {
        switch (group) {
            case jdgStyle:
                if (num == 1) {
                    if (!CanEdit()) break;
                    // Plain text: every character style off, hyperlinks too.
                    TJDCharAttr t;
                    Engine().ApplyAttribute(amStyleReplace, t);
                    Engine().SetSelStyleBit(kStyleHyperlink, false);
                    Changed();
                } else if (num == 7) {
                    if (toolBar_) toolBar_->SetIconUp("", jdgStyle, 8);
                    if (!CanEdit()) break;
                    Engine().SetSelStyleBit(kStyleSub, false);
                    Engine().SetSelStyleBit(kStyleSuper, true);
                    Changed();
                } else if (num == 8) {
                    if (toolBar_) toolBar_->SetIconUp("", jdgStyle, 7);
                    if (!CanEdit()) break;
                    Engine().SetSelStyleBit(kStyleSuper, false);
                    Engine().SetSelStyleBit(kStyleSub, true);
                    Changed();
                } else if (num == 9) {
                    bool on = !hiddenStyle_;
                    hiddenStyle_ = on;
                    StyleBit(kStyleHidden, on);
                } else if (bit) {
                    StyleBit(bit, true);
                } else {
                    return;
                }
                break;
            case jdgAlign: {
                static const std::uint8_t kAlign[5] = {0, 0, 1, 3, 2};
                if (num < 1 || num > 4) return;
                if (CanEdit()) {
                    Engine().SetAlignment(kAlign[num]);
                    Changed();
                }
                break;
            }
            case jdgEdit:
                switch (num) {
                    case 1: CopyToClipboard(); break;
                    case 2:
                        if (CanEdit()) {
                            CutToClipboard();
                            Changed();
                        }
                        break;
                    case 3:
                        if (CanEdit()) {
                            PasteFromClipboard();
                            if (LastPasteChanged()) Changed();
                        }
                        break;
                    case 4: SelectAll(); break;
                    case 5: HideSelection(); break;
                    case 6: ShowFindDialog(); break;
                    case 7:
                        if (!ReadOnly()) ShowReplaceDialog();
                        break;
                    case 8:
                        if (!ReadOnly() && StartSpellCheck) StartSpellCheck(this);
                        break;
                    default: return;
                }
                // Select-all and hide-selection show a state; the other edit icons are actions.
                if (num != 4 && num != 5 && toolBar_) toolBar_->SetIconUp("", jdgEdit, num);
                break;
            case jdgFile:
                switch (num) {
                    case 3: FileOpen(); break;
                    case 4: FileSave(); break;
                    case 5: FileClose(); break;
                    default: return;  // new and exit are the form's
                }
                if (toolBar_) toolBar_->SetIconUp("", jdgFile, num);
                break;
            case jdgPrint:
                if (num == 1) Print();
                else if (num == 2) {
                    TPrinterSetupDialog dlg(this);
                    dlg.Execute();
                } else {
                    return;
                }
                if (toolBar_) toolBar_->SetIconUp("", jdgPrint, num);
                break;
            default: return;
        }
        typ = 0;
        Invalidate();
        return;
    }
    if (typ == jdSelIconUp) {
        if (group == jdgStyle && bit) {
            if (num == 9) hiddenStyle_ = false;
            StyleBit(bit, false);
            typ = 0;
        } else if (group == jdgEdit && (num == 4 || num == 5)) {
            HideSelection();
            typ = 0;
        }
        Invalidate();
    }
}

void TJDCustomRichText::ListSelection(TJdSelNr& typ, const std::string& str, int num) {
    if (ReadOnly() || !CanEdit()) {
        resultCode_ = 11;
        return;
    }
    TJDCharAttr a = Engine().currentAttr;
    std::uint32_t mask = 0;
    // Item 16 of a colour combo is "none": it changes nothing.
    const bool color = num >= 0 && num < 16;
    switch (typ) {
        case jdSelFontName:
            a.font = static_cast<std::uint8_t>(RegisterFontName(str));
            mask = amFont;
            break;
        case jdSelFontSize:
            if (num > 0) {
                a.size = static_cast<std::uint8_t>(std::min(num, 255));
                mask = amSize;
            }
            break;
        case jdSelFontColor:
            if (color) {
                a.SetTextColor(static_cast<unsigned>(num));
                mask = amTextColor;
            }
            break;
        case jdSelBackColor:
            if (color) {
                a.SetBackColor(static_cast<unsigned>(num));
                mask = amBackColor;
            }
            break;
        case jdSelParColor:
            if (color) SetParagraphColor(num << 4, 0);
            break;
        default: break;
    }
    if (mask) Engine().ApplyAttribute(mask, a);
    typ = 0;
    Changed();
    Invalidate();
}

// --- find and replace ----------------------------------------------------------------------------

TJDTextFinder* TJDCustomRichText::GetFinder() {
    dialogFinder_->SetText(&Engine());
    return dialogFinder_.get();
}

void TJDCustomRichText::ShowFindDialog() {
    if (TReplaceDialog* r = JDReplaceDialog()) r->CloseDialog();
    TFindDialog* f = JDFindDialog();
    if (!f) return;
    f->OnFind = [this](TObject* s) { DialogFind(s); };
    g_dialogEditor = this;
    f->Options = frDown;
    f->Execute();
}

void TJDCustomRichText::ShowReplaceDialog() {
    if (TFindDialog* f = JDFindDialog()) f->CloseDialog();
    TReplaceDialog* r = JDReplaceDialog();
    if (!r) return;
    r->OnFind = [this](TObject* s) { DialogFind(s); };
    r->OnReplace = [this](TObject* s) { DialogReplace(s); };
    g_dialogEditor = this;
    // Searches from the replace dialog run towards the end.
    r->Options = frDown;
    r->Execute();
}

void TJDCustomRichText::PrepareFinder(const TFindDialog& dialog) {
    TJDTextFinder& f = *GetFinder();
    // The dialogs offer no wildcard: "*" typed there is a star to find.
    f.Wildcard = 0;
    f.WordSeparator = 0;
    f.BlankSeparates = false;
    f.WholeWords = dialog.Options & frWholeWord;
    f.CaseMode = (dialog.Options & frMatchCase) ? 1 : 0;
    f.attrMask = 0;
    f.FinderMoveTo(GetCPPosition());
}

namespace {

// Selects a match and puts the cursor after it (down) or at its start.
void SelectMatch(TJDRTFTextInput& e, int start, int length, bool down) {
    e.SetSelPosLen(start, length);
    if (!down) {
        TTextPos a = e.PositionOf(start);
        e.cursor = a;
        e.selReversed = true;
    }
    e.ScrollToCursor();
}

}  // namespace

void TJDCustomRichText::DialogFind(TObject* Sender) {
    auto* dialog = dynamic_cast<TFindDialog*>(Sender);
    if (!dialog || !dialogFinder_) return;
    PrepareFinder(*dialog);
    const bool down = dialog->Options & frDown;
    TJDTextFinder& f = *dialogFinder_;
    // Upwards the search starts before the selected match, not inside it.
    int selStart = 0, selLen = 0;
    if (!down && Engine().GetSelection(selStart, selLen) && selLen > 0) f.FinderMoveTo(selStart);
    bool found = down ? f.Next(dialog->FindText) : f.Prior(dialog->FindText);
    if (!found) return;  // nothing found: selection and cursor stay
    SelectMatch(Engine(), f.FoundPosition(), f.FoundLength(), down);
    Invalidate();
}

void TJDCustomRichText::DialogReplace(TObject* Sender) {
    auto* dialog = dynamic_cast<TReplaceDialog*>(Sender);
    if (!dialog || !dialogFinder_ || dialog->FindText.empty()) return;
    if (ReadOnly()) return;
    TJDRTFTextInput& e = Engine();
    TJDTextFinder& f = *GetFinder();
    PrepareFinder(*dialog);
    const bool down = dialog->Options & frDown;
    // The selection is replaced only when it is a match under the options set.
    int selStart = GetCPPosition(), selLen = 0;
    bool replaced = false;
    int afterReplaced = GetCPPosition();
    if (!e.GetSelection(selStart, selLen) || selLen <= 0) {
        selStart = GetCPPosition();
        selLen = 0;
    } else {
        f.FinderMoveTo(selStart);
        if (f.Next(dialog->FindText) && f.FoundPosition() == selStart && f.FoundLength() == selLen) {
            if (!CanEdit()) return;
            if (f.ReplaceFound(dialog->ReplaceText)) {
                replaced = true;
                afterReplaced = selStart + static_cast<int>(dialog->ReplaceText.size());
                e.DropSelection();
            }
        }
    }
    if (dialog->Options & frReplaceAll) {
        if (!CanEdit()) return;
        // The rest from the cursor on (after the replaced selection).
        f.FinderMoveTo(replaced || !down ? afterReplaced : GetCPPosition());
        f.CaseMode = (dialog->Options & frMatchCase) ? 1 : 0;
        int n = f.FinderReplaceAll(dialog->FindText, dialog->ReplaceText);
        ReformatAll();
        if (replaced || n > 0) {
            TTextPos at = e.PositionOf(std::min(afterReplaced, e.TextLength()));
            e.SetCursor(at.par, at.line, at.pos);
            Changed();
        }
        Invalidate();
        return;
    }
    if (replaced) ReformatAll();
    // Then on to the next match.
    f.FinderMoveTo(down ? afterReplaced : selStart);
    bool found = down ? f.Next(dialog->FindText) : f.Prior(dialog->FindText);
    if (found) SelectMatch(e, f.FoundPosition(), f.FoundLength(), down);
    else if (replaced) SelectMatch(e, selStart, static_cast<int>(dialog->ReplaceText.size()), down);
    if (replaced) Changed();
    Invalidate();
}

}  // namespace richtext
