#include "richtext/controls/tool_bar.h"

#include <QObject>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "richtext/controls/rtf_edit.h"

namespace richtext {

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
}

// The system's default palette, its 16 fixed colours; entry 0 is black.
constexpr std::array<gui::TColor, 16> kDefaultColors = {
    gui::clBlack, gui::clMaroon, gui::clGreen, gui::clOlive, gui::clNavy,   gui::clPurple, gui::clTeal, gui::clSilver,
    gui::clGray,  gui::clRed,    gui::clLime,  gui::clYellow, gui::clBlue, gui::clFuchsia, gui::clAqua, gui::clWhite};

// Default hint lines, in their own order.
constexpr const char* kHintNames[] = {"Normal", "Bold",   "Italic", "Under",  "Hyperlink", "StrikeOut", "Sub",
                                      "Super",  "Hidden", "RTFCode", "Left",  "Right",     "Justified", "Center",
                                      "Copy",   "Cut",    "Paste",  "SelAll", "HideSel",   "Find",      "Replace",
                                      "Spell",  "Exit",   "New",    "Open",   "Save",      "Close",     "Print",
                                      "PrintSetup", "Next", "Prev", "Add",    "Del",       "Edit",      "Cancel",
                                      "ToStart", "ToEnd", "Post"};

struct TIconDef {
    int element;
    const char* resource;
    int group, number;
};
// The built-in icons in layout order, by set.
constexpr TIconDef kStatusDefs[] = {
    {SelNormal, "JDI_NORMAL", jdgStyle, 1},       {SelBold, "JDI_BOLD", jdgStyle, 2},
    {SelItalic, "JDI_ITALIC", jdgStyle, 3},       {SelUnder, "JDI_UNDER", jdgStyle, 4},
    {SelSuper, "JDI_SUPER", jdgStyle, 7},         {SelSub, "JDI_SUB", jdgStyle, 8},
    {SelStrikeOut, "JDI_STRIKEOUT", jdgStyle, 6}, {SelHyperLink, "JDI_HYPERLINK", jdgStyle, 5},
    {SelHidden, "JDI_HIDDEN", jdgStyle, 9},       {SelRTFCode, "JDI_RTFCODE", jdgStyle, 19},
    {SelLeft, "JDI_LEFT", jdgAlign, 1},           {SelCenter, "JDI_CENTER", jdgAlign, 4},
    {SelBlock, "JDI_JUSTIFIED", jdgAlign, 3},     {SelRight, "JDI_RIGHT", jdgAlign, 2}};
constexpr TIconDef kActionDefs[] = {{SelNew, "JDI_New", jdgFile, 2},     {SelOpen, "JDI_OPEN", jdgFile, 3},
                                    {SelSave, "JDI_SAVE", jdgFile, 4},   {SelClose, "JDI_CLOSE", jdgFile, 5},
                                    {SelExit, "JDI_EXIT", jdgFile, 1},   {SelPrint, "JDI_PRINT", jdgPrint, 1},
                                    {SelPrintSetup, "JDI_PRINTSETUP", jdgPrint, 2}};
constexpr TIconDef kDatabaseDefs[] = {
    {SelToStart, "JDI_TOSTART", jdgDatabase, 7}, {SelPrev, "JDI_PREV", jdgDatabase, 2},
    {SelNext, "JDI_NEXT", jdgDatabase, 1},       {SelToEnd, "JDI_TOEND", jdgDatabase, 8},
    {SelAdd, "JDI_ADD", jdgDatabase, 3},         {SelDel, "JDI_DEL", jdgDatabase, 4},
    {SelEdit, "JDI_EDIT", jdgDatabase, 5},       {SelCancel, "JDI_CANCEL", jdgDatabase, 6},
    {SelPost, "JDI_POST", jdgDatabase, 9}};
constexpr TIconDef kEditDefs[] = {{SelSelAll, "JDI_SelAll", jdgEdit, 4}, {SelHideSel, "JDI_HideSel", jdgEdit, 5},
                                  {SelCut, "JDI_CUT", jdgEdit, 2},       {SelCopy, "JDI_COPY", jdgEdit, 1},
                                  {SelPaste, "JDI_PASTE", jdgEdit, 3},   {SelFind, "JDI_FIND", jdgEdit, 6},
                                  {SelReplace, "JDI_REPLACE", jdgEdit, 7}, {SelSpellCheck, "JDI_SPELL", jdgEdit, 8}};

// Combo tags in creation order, with the set element that shows each.
constexpr std::pair<int, int> kComboOrder[] = {{SelFontName, 1},       {SelFontSize, 2}, {SelFontColor, 3},
                                               {SelBackgroundColor, 5}, {SelStyle, 4},   {SelParColor, 6}};

// Combo tag to the selection kind it sends.
TJdSelNr KindOfTag(int tag) {
    switch (tag) {
        case 1: return jdSelFontName;
        case 2: return jdSelFontSize;
        case 3: return jdSelFontColor;
        case 5: return jdSelBackColor;
        case 4: return jdSelStyle;
        case 6: return jdSelParColor;
    }
    return 0;
}

TJDTBRCTRL* gWatcher = nullptr;
int gPanels = 0;

}  // namespace

// --- the focus watcher ------------------------------------------------------------------

TJDTBRCTRL::TJDTBRCTRL() {
    if (gui::Screen) {
        chained_ = gui::Screen->OnActiveControlChange;
        gui::Screen->OnActiveControlChange = [this](gui::TObject* s) { ActiveControlChanged(s); };
    }
}

TJDTBRCTRL::~TJDTBRCTRL() {
    if (gui::Screen) gui::Screen->OnActiveControlChange = chained_;
}

void TJDTBRCTRL::ActiveControlChanged(gui::TObject* Sender) {
    if (gui::Screen) {
        gui::TWinControl* c = gui::Screen->ActiveControl();
        if (c && !dynamic_cast<TJDTBCombo*>(c)) LastControl = c;
    }
    if (chained_) chained_(Sender);
}

TJDTBRCTRL* ToolBarFocusWatcher() { return gWatcher; }

// --- the chain -----------------------------------------------------------------------------

TJDCustomToolPanel::TJDCustomToolPanel(gui::TComponent* AOwner) : gui::TPanel(AOwner) {
    if (gPanels++ == 0) gWatcher = new TJDTBRCTRL();
}

TJDCustomToolPanel::~TJDCustomToolPanel() {
    if (--gPanels == 0) {
        delete gWatcher;
        gWatcher = nullptr;
    }
}

void TJDCustomToolPanel::SetNextToolBar(TJDCustomToolPanel* next) {
    if (next == this) next = nullptr;  // a bar never passes a call to itself
    if (next_) next_->RemoveFreeNotification(this);
    next_ = next;
    if (next_) next_->FreeNotification(this);
}

void TJDCustomToolPanel::Notification(gui::TComponent* AComponent, gui::TOperation Operation) {
    gui::TPanel::Notification(AComponent, Operation);
    if (Operation != gui::opRemove) return;
    if (AComponent == next_) next_ = nullptr;
    if (AComponent == editor_) editor_ = nullptr;
}

void TJDCustomToolPanel::PassOn(const std::function<void(TJDCustomToolPanel&)>& call) {
    if (!next_) return;
    if (inChain_) {
        next_ = nullptr;
        gui::ShowMessage("Error: NextToolBar points to prior Toolbar");
        return;
    }
    inChain_ = true;
    struct Clear {
        bool& f;
        ~Clear() { f = false; }
    } clear{inChain_};
    call(*next_);
}

void TJDCustomToolPanel::AttachEditor(TJDCustomRtfEdit* editor) {
    PassOn([&](TJDCustomToolPanel& n) { n.AttachEditor(editor); });
}
bool TJDCustomToolPanel::SetIconDown(const std::string& name, int group, int number) {
    bool r = false;
    PassOn([&](TJDCustomToolPanel& n) { r = n.SetIconDown(name, group, number); });
    return r;
}
bool TJDCustomToolPanel::SetIconUp(const std::string& name, int group, int number) {
    bool r = false;
    PassOn([&](TJDCustomToolPanel& n) { r = n.SetIconUp(name, group, number); });
    return r;
}
void TJDCustomToolPanel::EnableIcon(const std::string& name, int group, bool enabled, int number) {
    PassOn([&](TJDCustomToolPanel& n) { n.EnableIcon(name, group, enabled, number); });
}
void TJDCustomToolPanel::ShowSelection(TJdSelNr kind, int number, const std::string& text) {
    PassOn([&](TJDCustomToolPanel& n) { n.ShowSelection(kind, number, text); });
}
void TJDCustomToolPanel::ShowFontAttributes(const gui::TFont& font, gui::TColor background, bool withBackground) {
    PassOn([&](TJDCustomToolPanel& n) { n.ShowFontAttributes(font, background, withBackground); });
}

// --- combos ---------------------------------------------------------------------------------

TJDTBCombo::TJDTBCombo(gui::TComponent* AOwner) : gui::TComboBox(AOwner) {
    // A click on the face opens the list; only a chosen item is a click.
    ControlStyle &= ~gui::csClickEvents;
}

void TJDTBCombo::WndProc(gui::TMessage& Message) {
    // Opening or closing the list must not lose what was typed.
    if (Message.Msg == gui::CN_COMMAND) {
        int code = static_cast<int>((Message.WParam >> 16) & 0xFFFF);
        if (code == gui::CBN_DROPDOWN || code == gui::CBN_CLOSEUP) {
            std::string typed = Text();
            gui::TComboBox::WndProc(Message);
            if (Style() == gui::csDropDown && Text() != typed) SetText(typed);
            if (code == gui::CBN_CLOSEUP && ChosenWhileDropped) {
                ChosenWhileDropped = false;
                if (auto* bar = dynamic_cast<TJDToolBar*>(Owner())) bar->ReturnFocus();
            }
            return;
        }
    }
    gui::TComboBox::WndProc(Message);
}

// --- the bar -----------------------------------------------------------------------------------

TJDToolBar::TJDToolBar(gui::TComponent* AOwner) : TJDCustomToolPanel(AOwner) {
    SetBounds(Left(), Top(), 300, kBarHeight);
    colors_ = kDefaultColors;
    colorTable_ = colors_.data();
    if (FontSizeFrom == 0 && FontSizeTo == 0) {
        FontSizeFrom = 8;
        FontSizeTo = 72;
    }
    Hints();
    Relayout();
}

TJDToolBar::~TJDToolBar() = default;

plat::StringList& TJDToolBar::Hints() {
    if (hints_.Count() == 0)
        for (const char* n : kHintNames) hints_.Add(std::string("JDI_") + n + "=" + n);
    return hints_;
}

std::string TJDToolBar::HintFor(const std::string& resource) {
    for (int i = 0; i < hints_.Count(); ++i)
        if (SameText(hints_.Names(i), resource)) return hints_.ValueFromIndex(i);
    return {};
}

void TJDToolBar::AddIcon(const char* name, int group, int number) {
    if (static_cast<int>(icons_.size()) >= kMaxIcons) return;  // the 50th is ignored
    icons_.push_back({name, 0, group, number, nullptr});
}

void TJDToolBar::Setsel_StatusIcons(TJDIconSet s) { statusIcons_ = s; Relayout(); }
void TJDToolBar::Setsel_ActionIcons(TJDIconSet s) { actionIcons_ = s; Relayout(); }
void TJDToolBar::Setsel_DatabaseIcons(TJDIconSet s) { databaseIcons_ = s; Relayout(); }
void TJDToolBar::Setsel_EditIcons(TJDIconSet s) { editIcons_ = s; Relayout(); }
void TJDToolBar::Setsel_ListBoxes(TJDIconSet s) { listBoxes_ = s; Relayout(); }
void TJDToolBar::SetFontChoice(TJDFontChoice c) {
    fontChoice_ = c;
    if (combos_[1]) FillFontNames(*combos_[1]);
}
void TJDToolBar::SetFontNames(const std::vector<std::string>& names) {
    fontNames_ = names;
    if (combos_[1]) FillFontNames(*combos_[1]);
}
void TJDToolBar::SetShowFont(bool v) {
    showFont_ = v;
    if (combos_[1]) combos_[1]->Invalidate();
}
void TJDToolBar::SetWidthBetweenGroups(int v) { widthBetweenGroups_ = v; Relayout(); }

void TJDToolBar::Loaded() {
    TJDCustomToolPanel::Loaded();
    Relayout();
}

TJDTBCombo* TJDToolBar::Combo(int tag) const { return tag >= 1 && tag <= 6 ? combos_[tag] : nullptr; }

void TJDToolBar::FillFontNames(TJDTBCombo& combo) {
    // One font database serves screen and printer here.
    const std::string shown = combo.Text();
    combo.Items().Clear();
    if (!fontNames_.empty()) {
        for (const std::string& n : fontNames_)
            if (!n.empty() && combo.Items().IndexOf(n) < 0) combo.Items().Add(n);
    } else if (gui::Screen) {
        combo.Items().Assign(gui::Screen->Fonts());
    }
    trueType_.assign(combo.Items().Count(), 0);
    combo.SetItemIndex(combo.Items().IndexOf(shown));
}

void TJDToolBar::BuildCombos() {
    for (auto [element, tag] : kComboOrder) {
        bool want = listBoxes_ & (1u << element);
        if (!want) {
            delete combos_[tag];
            combos_[tag] = nullptr;
            continue;
        }
        if (combos_[tag]) continue;
        auto* c = new TJDTBCombo(this);
        c->SetParent(this);
        c->Tag = tag;
        c->OnClick = [this](gui::TObject* s) { ItemClicked(s); };
        c->OnChange = [this](gui::TObject* s) { if (OnChange) OnChange(s); };
        c->OnExit = [this](gui::TObject* s) { if (OnExit) OnExit(s); };
        combos_[tag] = c;
        if (tag == 1) {
            c->SetStyle(gui::csOwnerDrawFixed);
            c->SetSorted(true);
            FillFontNames(*c);
            c->OnDrawItem = [this, c](gui::TWinControl*, int i, gui::TRect r, gui::TOwnerDrawState st) {
                DrawFontItem(*c, i, r, st);
            };
            c->SetWidth(130);
        } else if (tag == 2) {
            c->SetStyle(gui::csDropDown);
            int from = std::max(1, FontSizeFrom);
            for (int s = from; s <= FontSizeTo; ++s) c->Items().Add(std::to_string(s));
            c->SetWidth(44);
        } else if (tag == 4) {
            c->SetStyle(gui::csDropDownList);
            c->SetWidth(90);
        } else {
            c->SetStyle(gui::csOwnerDrawFixed);
            for (int i = 0; i <= 16; ++i) c->Items().Add(std::to_string(i));
            c->OnDrawItem = [this, c](gui::TWinControl*, int i, gui::TRect r, gui::TOwnerDrawState st) {
                DrawColorItem(*c, i, r, st);
            };
            c->SetWidth(44);
        }
    }
}

void TJDToolBar::DrawFontItem(TJDTBCombo& combo, int index, gui::TRect rect, gui::TOwnerDrawState state) {
    gui::TCanvas& cv = combo.Canvas();
    cv.Brush().SetColor((state & gui::odSelected) ? gui::clHighlight : gui::clWindow);
    cv.FillRect(rect);
    if (index < 0 || index >= combo.Items().Count()) return;
    const std::string& name = combo.Items()[index];
    if (static_cast<int>(trueType_.size()) != combo.Items().Count()) trueType_.assign(combo.Items().Count(), 0);
    if (trueType_[index] == 0) {
        // Known once per item: a scalable font counts as the marked kind.
        gui::TFont probe;
        probe.SetName(name);
        probe.SetHeight(10);
        trueType_[index] = gui::IsScalableFont(probe) ? 1 : 2;
    }
    cv.Font().SetColor((state & gui::odSelected) ? gui::clHighlightText : gui::clWindowText);
    if (trueType_[index] == 1) {
        // Our mark: two small overlapping "T"s.
        cv.Font().SetName("Arial");
        cv.Font().SetHeight(-9);
        cv.TextOut(rect.Left + 1, rect.Top + 1, "T");
        cv.TextOut(rect.Left + 4, rect.Top + 3, "T");
    }
    cv.Font().SetName(showFont_ ? name : combo.Font().Name());
    cv.Font().SetHeight(combo.Font().Height());
    cv.TextOut(rect.Left + 14, rect.Top + 1, name);
}

void TJDToolBar::DrawColorItem(TJDTBCombo& combo, int index, gui::TRect rect, gui::TOwnerDrawState state) {
    gui::TCanvas& cv = combo.Canvas();
    cv.Brush().SetColor((state & gui::odSelected) ? gui::clHighlight : gui::clWindow);
    cv.FillRect(rect);
    gui::TRect box{rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2};
    if (index >= 0 && index < 16 && colorTable_) {
        cv.Brush().SetColor(colorTable_[index]);
        cv.FillRect(box);
        cv.Brush().SetColor(gui::clBlack);
        cv.FrameRect(box);
    } else if (index == 16) {
        // "none": a crossed empty box.
        cv.Brush().SetColor(gui::clBlack);
        cv.FrameRect(box);
        cv.Pen().SetColor(gui::clBlack);
        cv.MoveTo(box.Left, box.Top);
        cv.LineTo(box.Right, box.Bottom);
    }
}

void TJDToolBar::Relayout() {
    if (IsLoading() || Destroying()) return;
    // 1. The icon table.
    icons_.clear();
    auto add = [&](const auto& defs, TJDIconSet set) {
        for (const TIconDef& d : defs)
            if (set & (1u << d.element)) AddIcon(d.resource, d.group, d.number);
    };
    add(kStatusDefs, statusIcons_);
    add(kActionDefs, actionIcons_);
    add(kDatabaseDefs, databaseIcons_);
    add(kEditDefs, editIcons_);
    // 2. Combos.
    BuildCombos();
    // 3. One speed button per icon; the rest from an earlier layout go.
    while (buttons_.size() > icons_.size()) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    for (size_t i = 0; i < icons_.size(); ++i) {
        if (i == buttons_.size()) {
            auto* b = new gui::TSpeedButton(this);
            b->SetParent(this);
            b->OnClick = [this](gui::TObject* s) { ItemClicked(s); };
            buttons_.push_back(b);
        }
        gui::TSpeedButton* b = buttons_[i];
        TIcon& icon = icons_[i];
        icon.button = b;
        b->Tag = 10 + static_cast<long>(i);
        JDToolIconGlyph(icon.name, b->Glyph());
        b->NumGlyphs = b->Glyph().Width() > 16 ? 2 : 1;
        if (icon.group == jdgAlign) {
            b->SetGroupIndex(jdgAlign);
            b->SetAllowAllUp(false);
            if (icon.number == 1) b->SetDown(true);
        } else {
            b->SetGroupIndex(static_cast<int>(i) + 1000);  // toggles alone
            b->SetAllowAllUp(true);
        }
        std::string hint = HintFor(icon.name);
        b->SetHint(hint);
        b->SetShowHint(!hint.empty());
    }
    PlaceItems();
}

void TJDToolBar::Resize() {
    TJDCustomToolPanel::Resize();
    // A bar across a pane wraps its buttons to the pane's new width. While
    // the pane aligns its controls the bar's own alignment reads as none,
    // so the placing waits until that is over (and goes with the bar).
    if (Width() == placedWidth_ || placePending_ || Destroying() || !Widget()) return;
    placePending_ = true;
    QMetaObject::invokeMethod(
        Widget(),
        [this] {
            placePending_ = false;
            const bool across = Align() == gui::alTop || Align() == gui::alBottom;
            if (across && Width() != placedWidth_ && !Destroying()) PlaceItems();
        },
        Qt::QueuedConnection);
}

void TJDToolBar::PlaceItems() {
    // 4. Placing: combos, then buttons, left to right.
    placedWidth_ = Width();
    int rowH = std::abs(Font().Height()) + 9;
    int x = 4, y = 3;
    for (auto [element, tag] : kComboOrder) {
        (void)element;
        if (!combos_[tag]) continue;
        combos_[tag]->SetBounds(x, y, combos_[tag]->Width(), rowH);
        x += combos_[tag]->Width() + 2;
    }
    int lastGroup = -1;
    for (TIcon& icon : icons_) {
        if (lastGroup != -1 && icon.group != lastGroup) x += widthBetweenGroups_;
        lastGroup = icon.group;
        bool wraps = Align() == gui::alTop || Align() == gui::alBottom;
        if (x + rowH > Width() && x > 30 && wraps) {
            y += rowH + 2;
            x = 4;
        }
        icon.button->SetBounds(x, y, rowH, rowH);
        x += rowH + 2;
    }
    // A bar across the form is as high as its rows (never below its first
    // height); what lies below moves.
    const bool across = Align() == gui::alTop || Align() == gui::alBottom;
    if (across && !icons_.empty()) SetHeight(std::max(kBarHeight, y + rowH + 3));
}

int TJDToolBar::FindIcon(const std::string& name, int group, int number) const {
    for (size_t i = 0; i < icons_.size(); ++i) {
        const TIcon& ic = icons_[i];
        if (!name.empty() ? SameText(ic.name, name) : (ic.group == group && (number == 0 || ic.number == number)))
            return static_cast<int>(i);
    }
    return -1;
}

bool TJDToolBar::SetIconState(const std::string& name, int group, int number, bool down) {
    int i = FindIcon(name, group, number);
    if (i < 0) {
        bool r = false;
        PassOn([&](TJDCustomToolPanel& n) { r = down ? n.SetIconDown(name, group, number) : n.SetIconUp(name, group, number); });
        return r;
    }
    gui::TSpeedButton* b = icons_[i].button;
    bool was = b->Down();
    b->SetDown(down);
    return was;
}

bool TJDToolBar::SetIconDown(const std::string& name, int group, int number) {
    return SetIconState(name, group, number, true);
}
bool TJDToolBar::SetIconUp(const std::string& name, int group, int number) {
    return SetIconState(name, group, number, false);
}

void TJDToolBar::EnableIcon(const std::string& name, int group, bool enabled, int number) {
    for (TIcon& ic : icons_) {
        bool match = !name.empty() ? SameText(ic.name, name) : (ic.group == group && (number == 0 || ic.number == number));
        if (match) ic.button->SetEnabled(enabled);
    }
    TJDCustomToolPanel::EnableIcon(name, group, enabled, number);
}

void TJDToolBar::ShowSelection(TJdSelNr kind, int number, const std::string& text) {
    switch (kind) {
        case jdSelFontName:
            if (auto* c = combos_[1]) {
                for (int i = 0; i < c->Items().Count(); ++i)
                    if (SameText(c->Items()[i], text)) {
                        if (c->ItemIndex() != i) c->SetItemIndex(i);
                        break;
                    }
            }
            break;
        case jdSelFontSize:
            if (auto* c = combos_[2]; c && number > 6) {
                for (int i = 0; i < c->Items().Count(); ++i)
                    if (std::atoi(c->Items()[i].c_str()) == number) {
                        if (c->ItemIndex() != i) c->SetItemIndex(i);
                        break;
                    }
            }
            break;
        case jdSelFontColor:
        case jdSelBackColor:
        case jdSelParColor: {
            int tag = kind == jdSelFontColor ? 3 : kind == jdSelBackColor ? 5 : 6;
            if (auto* c = combos_[tag]; c && number >= 0 && number < 16 && c->ItemIndex() != number)
                c->SetItemIndex(number);
            break;
        }
        default: break;
    }
    TJDCustomToolPanel::ShowSelection(kind, number, text);
}

void TJDToolBar::ShowFontAttributes(const gui::TFont& font, gui::TColor background, bool withBackground) {
    // Each ShowSelection passes itself on; the chain sees each kind once.
    TJDToolBar::ShowSelection(jdSelFontName, 0, font.Name());
    TJDToolBar::ShowSelection(jdSelFontSize, font.Size(), {});
    for (int i = 0; i < 16; ++i)
        if (colorTable_ && colorTable_[i] == font.Color()) {
            TJDToolBar::ShowSelection(jdSelFontColor, i, {});
            break;
        }
    if (withBackground) {
        int idx = -1;
        if (background == gui::clWhite) idx = 0;
        else
            for (int i = 0; i < 16 && colorTable_; ++i)
                if (colorTable_[i] == background) {
                    idx = i;
                    break;
                }
        if (idx >= 0) TJDToolBar::ShowSelection(jdSelBackColor, idx, {});
    }
}

void TJDToolBar::AttachEditor(TJDCustomRtfEdit* editor) {
    // The old editor keeps its link (links run both ways): it must hear
    // when this bar is freed.
    editor_ = editor;
    if (!editor && Owner()) {
        for (int i = 0; i < Owner()->ComponentCount(); ++i)
            if (auto* e = dynamic_cast<TJDCustomRtfEdit*>(Owner()->Components(i)); e && e->Focused()) {
                editor_ = e;
                break;
            }
    }
    if (editor_) editor_->FreeNotification(this);
    TJDCustomToolPanel::AttachEditor(editor);
}

void TJDToolBar::SetEnabled(bool e) {
    if (e == Enabled()) return;
    std::vector<gui::TControl*> all;
    for (auto* b : buttons_) all.push_back(b);
    for (auto* c : combos_)
        if (c) all.push_back(c);
    if (!e) {
        enabledKept_.clear();
        for (auto* c : all) {
            enabledKept_.push_back(c->Enabled());
            c->SetEnabled(false);
        }
        keptStates_ = true;
    } else if (keptStates_) {
        for (size_t i = 0; i < all.size() && i < enabledKept_.size(); ++i) all[i]->SetEnabled(enabledKept_[i]);
        keptStates_ = false;
    }
    TJDCustomToolPanel::SetEnabled(e);
}

void TJDToolBar::ApplyToUpdateObject(TJdSelNr kind, int value, const std::string& text, int number) {
    gui::TComponent* target = nullptr;
    if (!UpdateObjectName.empty() && Owner()) target = Owner()->FindComponent(UpdateObjectName);
    if (!target) target = UpdateObject;
    auto* ctl = dynamic_cast<gui::TControl*>(target);
    if (!ctl) return;
    gui::TFont& f = ctl->Font();
    switch (kind) {
        case jdSelFontName: f.SetName(text); break;
        case jdSelFontSize: f.SetSize(value); break;
        case jdSelFontColor:
            if (value >= 0 && value < 16 && colorTable_) f.SetColor(colorTable_[value]);
            break;
        case jdSelIconDown:
        case jdSelIconUp: {
            gui::TFontStyles bit = number == 2 ? gui::fsBold : number == 3 ? gui::fsItalic
                                   : number == 4 ? gui::fsUnderline : number == 6 ? gui::fsStrikeOut : 0;
            if (bit) f.SetStyle(kind == jdSelIconDown ? (f.Style() | bit) : (f.Style() & ~bit));
            break;
        }
        default: break;
    }
    ctl->Invalidate();
}

void TJDToolBar::ReturnFocus() {
    if (!editor_) return;
    if (auto* w = ToolBarFocusWatcher(); w && w->LastControl && w->LastControl->CanFocus()) w->LastControl->SetFocus();
}

void TJDToolBar::ItemClicked(gui::TObject* Sender) {
    if (auto* combo = dynamic_cast<TJDTBCombo*>(Sender)) {
        TJdSelNr kind = KindOfTag(static_cast<int>(combo->Tag));
        std::string str;
        int num = 0;
        if (kind == jdSelFontName) str = combo->ItemIndex() >= 0 ? combo->Items()[combo->ItemIndex()] : combo->Text();
        else if (kind == jdSelFontSize) num = std::atoi(combo->Text().c_str());
        else num = combo->ItemIndex();
        ApplyToUpdateObject(kind, num, str, 0);
        if (OnSelection) OnSelection(this, kind, str, num);
        if (editor_) {
            // Taking the focus now would close the list under the user's mouse.
            if (combo->DroppedDown()) combo->ChosenWhileDropped = true;
            else ReturnFocus();
            if (auto* client = dynamic_cast<TJDBarClient*>(editor_)) client->ListSelection(kind, str, num);
        }
        return;
    }
    auto* b = dynamic_cast<gui::TSpeedButton*>(Sender);
    if (!b || b->Tag < 10) return;
    int index = static_cast<int>(b->Tag - 10);
    if (index >= static_cast<int>(icons_.size())) return;
    TIcon icon = icons_[index];
    TJdSelNr kind = b->Down() ? jdSelIconDown : jdSelIconUp;
    if (OnIconSelection) OnIconSelection(this, kind, icon.name, icon.group, icon.number, index);
    if (editor_) {
        ReturnFocus();
        if (auto* client = dynamic_cast<TJDBarClient*>(editor_)) client->IconSelection(kind, icon.name, icon.group, icon.number);
    }
    if (icon.group == jdgStyle) ApplyToUpdateObject(kind, 0, {}, icon.number);
}

}  // namespace richtext
