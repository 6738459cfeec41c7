#include "editor/options/ui/options_form.h"

#include "project/helpers.h"
#include "project/page_rules.h"
#include "editor/options/ui/font_forms.h"
#include "editor/options/ui/ui_util.h"
#include "platform/core/files.h"
#include "data/fields.h"
#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/file_controls.h"

namespace editor {

using namespace gui;
using optionsui::MakeControl;

namespace {

const char* const kCoordNames[4] = {"Left", "Top", "Width", "Height"};
const int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// The directory dialog: a folder list with OK and Cancel.
bool SelectDirectoryDialog(const std::string& caption, const std::string& start, std::string& chosen) {
    TForm dlg(Application);
    dlg.SetName("dlgSelectDirectory");
    dlg.SetCaption(caption);
    dlg.SetClientSize(300, 300);
    dlg.Position = poScreenCenter;
    auto* list = MakeControl<TDirectoryListBox>(&dlg, &dlg, "DirectoryListBox1", 8, 8, 284, 250);
    list->SetDirectory(start);
    auto* ok = MakeControl<TButton>(&dlg, &dlg, "OKBtn", 136, 266, 75, 25);
    ok->SetCaption("&OK");
    ok->Default = true;
    ok->ModalResult = mrOk;
    auto* cancel = MakeControl<TButton>(&dlg, &dlg, "CancelBtn", 217, 266, 75, 25);
    cancel->SetCaption("&Cancel");
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    if (dlg.ShowModal() != mrOk) return false;
    chosen = list->Directory();
    return true;
}

}  // namespace

TOptionsForm::TOptionsForm(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("OptionsForm");
    SetCaption("Tavrin Project Options");
    SetClientSize(560, 420);
    Position = poScreenCenter;
    notebook = MakeControl<TTabbedNotebook>(this, this, "notebook", 6, 6, 548, 372);
    notebook->Pages().SetString(0, "Co&lors");
    notebook->Pages().Add("Co&mpile Options");
    notebook->Pages().Add("&Windows Co-ordinates");

    // --- Colors ------------------------------------------------------------------------------
    TWinControl* p = notebook->Page(0);
    pnlPreview = MakeControl<TPanel>(p, this, "pnlPreview", 8, 8, 320, 320);
    pnlPreview->SetCaption("");
    pnlButtonBar = MakeControl<TPanel>(pnlPreview, this, "pnlButtonBar", 4, 4, 312, 26);
    pnlButtonBar->SetCaption("");
    const char* std3[] = {"Contents", "Index", "Back"};
    for (int i = 0; i < 3; ++i) {
        auto* b = MakeControl<TPanel>(pnlButtonBar, this, (std::string("pnlStd") + std::to_string(i)).c_str(), 1 + 50 * i, 2,
                               48, 22);
        b->SetCaption(std3[i]);
    }
    const char* extra[] = {"Print", "Browse", "Exit"};
    for (int i = 0; i < 3; ++i) {
        barButtons[static_cast<std::size_t>(i)] =
            MakeControl<TPanel>(pnlButtonBar, this, (std::string("pnlBtn") + extra[i]).c_str(), 151, 2, 48, 22);
        barButtons[static_cast<std::size_t>(i)]->SetCaption(extra[i]);
    }
    pnlTitle = MakeControl<TPanel>(pnlPreview, this, "pnlTitle", 4, 32, 312, 40);
    pnlTitle->SetCaption("");
    lblTopicTitle = MakeControl<TLabel>(pnlTitle, this, "lblTopicTitle", 8, 8, 290, 26);
    lblTopicTitle->SetCaption("Topic Title");
    pnlText = MakeControl<TPanel>(pnlPreview, this, "pnlText", 4, 74, 312, 242);
    pnlText->SetCaption("");
    lblHelpText = MakeControl<TLabel>(pnlText, this, "lblHelpText", 8, 8, 290, 60);
    lblHelpText->SetWordWrap(true);
    lblHelpText->SetCaption("This is how the text of your help pages will look. Click a part of the preview to change it.");
    pnlPopup = MakeControl<TPanel>(pnlText, this, "pnlPopup", 40, 100, 230, 100);
    pnlPopup->SetCaption("");
    lblPopupTitle = MakeControl<TLabel>(pnlPopup, this, "lblPopupTitle", 8, 6, 214, 24);
    lblPopupTitle->SetCaption("Popup Title");
    lblPopupText = MakeControl<TLabel>(pnlPopup, this, "lblPopupText", 8, 34, 214, 60);
    lblPopupText->SetWordWrap(true);
    lblPopupText->SetCaption("Popup text uses the help text defaults.");
    // The pointer to the element whose group is in the panel; made last, so it stands on top.
    lblArrow = MakeControl<TPanel>(pnlPreview, this, "lblArrow", 298, 44, 16, 16);
    lblArrow->SetCaption("<");
    auto click = [this](OptionGroup g) { return [this, g](TObject*) { SelectGroup(g); }; };
    pnlTitle->OnClick = lblTopicTitle->OnClick = click(OptionGroup::TopicTitle);
    lblPopupTitle->OnClick = click(OptionGroup::PopupTitle);
    pnlText->OnClick = lblHelpText->OnClick = lblPopupText->OnClick = click(OptionGroup::HelpText);

    grpSettings = MakeControl<TGroupBox>(p, this, "grpSettings", 336, 8, 200, 196);
    auto label = [this](TWinControl* parent, const char* name, const char* caption, int x, int y, int w) {
        MakeControl<TLabel>(parent, this, name, x, y + 3, w, 15)->SetCaption(caption);
    };
    label(grpSettings, "lblFont", "&Font :", 10, 22, 70);
    cbxTextFont = MakeControl<TComboBox>(grpSettings, this, "cbxTextFont", 80, 20, 110, 22);
    label(grpSettings, "lblSize", "Size :", 10, 50, 70);
    cbxTextSize = MakeControl<TComboBox>(grpSettings, this, "cbxTextSize", 80, 48, 60, 22);
    for (int s : kSizes) cbxTextSize->Items().Add(std::to_string(s));
    label(grpSettings, "lblColor", "Color :", 10, 78, 70);
    cbxTextColor = MakeControl<TComboBox>(grpSettings, this, "cbxTextColor", 80, 76, 110, 22);
    cbxTextColor->SetStyle(csDropDownList);
    for (const auto& n : TextColourNames()) cbxTextColor->Items().Add(n);
    btnBold = MakeControl<TSpeedButton>(grpSettings, this, "btnBold", 80, 106, 26, 24);
    btnBold->SetCaption("B");
    btnBold->SetGroupIndex(1);
    btnBold->SetAllowAllUp(true);
    btnItalic = MakeControl<TSpeedButton>(grpSettings, this, "btnItalic", 110, 106, 26, 24);
    btnItalic->SetCaption("I");
    btnItalic->SetGroupIndex(2);
    btnItalic->SetAllowAllUp(true);
    label(grpSettings, "lblBackground", "Background :", 10, 144, 70);
    cbxBackground = MakeControl<TComboBox>(grpSettings, this, "cbxBackground", 80, 142, 110, 22);
    cbxBackground->SetStyle(csDropDownList);
    for (const auto& n : BackgroundNames()) cbxBackground->Items().Add(n);
    for (auto* box : {cbxTextFont, cbxTextSize, cbxTextColor})
        box->OnChange = [this](TObject*) { RestylePreview(); };
    btnBold->OnClick = btnItalic->OnClick = [this](TObject*) { RestylePreview(); };
    cbxBackground->OnChange = [this](TObject*) {
        const long c = BackgroundColourOfName(cbxBackground->Text());
        (group_ == OptionGroup::TopicTitle ? nonscroll_ : scroll_) = c;
        RestylePreview();
    };
    xboxPrintBtn = MakeControl<TCheckBox>(p, this, "xboxPrintBtn", 340, 212, 90, 19);
    xboxPrintBtn->SetCaption(" Print");
    xboxBrowseBtn = MakeControl<TCheckBox>(p, this, "xboxBrowseBtn", 340, 234, 90, 19);
    xboxBrowseBtn->SetCaption(" Browse");
    xboxExitBtn = MakeControl<TCheckBox>(p, this, "xboxExitBtn", 340, 256, 90, 19);
    xboxExitBtn->SetCaption(" Exit");
    xboxPrintBtn->OnClick = [this](TObject*) { FlagClick(xboxPrintBtn, "AddButton1"); };
    xboxBrowseBtn->OnClick = [this](TObject*) { FlagClick(xboxBrowseBtn, "AddButton2"); };
    xboxExitBtn->OnClick = [this](TObject*) { FlagClick(xboxExitBtn, "AddButton3"); };
    btnEnforce = MakeControl<TButton>(p, this, "btnEnforce", 340, 290, 120, 25);
    btnEnforce->SetCaption("&Enforce Now!");
    btnEnforce->OnClick = [this](TObject*) { EnforceNowClick(); };

    // --- Compile Options ---------------------------------------------------------------------------
    p = notebook->Page(1);
    auto* grpTarget = MakeControl<TGroupBox>(p, this, "grpTarget", 8, 8, 250, 48);
    grpTarget->SetCaption("Compile for");
    compile16bit = MakeControl<TRadioButton>(grpTarget, this, "compile16bit", 12, 20, 80, 19);
    compile16bit->SetCaption(" 3.x");
    compile32bit = MakeControl<TRadioButton>(grpTarget, this, "compile32bit", 100, 20, 140, 19);
    compile32bit->SetCaption(" Win95 and NT");
    auto* grpCompress = MakeControl<TGroupBox>(p, this, "grpCompress", 270, 8, 260, 48);
    grpCompress->SetCaption("Compression");
    compressionOff = MakeControl<TRadioButton>(grpCompress, this, "compressionOff", 12, 20, 80, 19);
    compressionOff->SetCaption("Off");
    compressionHigh = MakeControl<TRadioButton>(grpCompress, this, "compressionHigh", 100, 20, 80, 19);
    compressionHigh->SetCaption("High");
    auto radio = [this](TRadioButton* b, const char* field, const char* value) {
        b->OnClick = [this, b, field, value](TObject*) {
            if (UserAction() && b->Checked()) StoreProjectField(ctx_, field, value);
        };
    };
    radio(compile16bit, "Compile", "16");
    radio(compile32bit, "Compile", "32");
    radio(compressionOff, "Compress", "OFF");
    radio(compressionHigh, "Compress", "HIGH");
    autoGenerateContents = MakeControl<TCheckBox>(p, this, "autoGenerateContents", 12, 64, 200, 19);
    autoGenerateContents->SetCaption(" Auto Generate Contents");
    autoGenPRJfile = MakeControl<TCheckBox>(p, this, "autoGenPRJfile", 12, 86, 200, 19);
    autoGenPRJfile->SetCaption(" Auto Generate .HPJ File");
    xboxCNT = MakeControl<TCheckBox>(p, this, "xboxCNT", 12, 108, 200, 19);
    xboxCNT->SetCaption(" Write the CNT file");
    autoGenerateContents->OnClick = [this](TObject*) { FlagClick(autoGenerateContents, "AutogenerateContents"); };
    autoGenPRJfile->OnClick = [this](TObject*) { FlagClick(autoGenPRJfile, "AutogeneratePRJfile"); };
    xboxCNT->OnClick = [this](TObject*) { FlagClick(xboxCNT, "AutoGenerateCntFile"); };
    label(p, "lblCopyright", "Copyright :", 12, 138, 90);
    editCopyright = MakeControl<TEdit>(p, this, "editCopyright", 104, 136, 420, 22);
    editCopyright->OnExit = [this](TObject*) {
        if (editCopyright->Text() != ctx_.mainTable->FieldStr("Copyright"))
            StoreProjectField(ctx_, "Copyright", editCopyright->Text());
    };
    label(p, "lblCitation", "Citation :", 12, 166, 90);
    memoCitation = MakeControl<TMemo>(p, this, "memoCitation", 104, 164, 420, 54);
    memoCitation->OnExit = [this](TObject*) {
        if (memoCitation->Text() != ctx_.mainTable->FieldStr("Citation"))
            StoreProjectField(ctx_, "Citation", memoCitation->Text());
    };
    label(p, "lblIcon", "Icon :", 12, 228, 90);
    editIcon = MakeControl<TEdit>(p, this, "editIcon", 104, 226, 300, 22);
    btnLoadIcon = MakeControl<TButton>(p, this, "btnLoadIcon", 410, 224, 80, 25);
    btnLoadIcon->SetCaption("Load Icon");
    imgIcon = MakeControl<TImage>(p, this, "imgIcon", 496, 222, 32, 32);
    btnLoadIcon->OnClick = [this](TObject*) {
        std::string file;
        if (!ChooseIcon || !ChooseIcon(file)) return;
        LoadIcon(file);
        editIcon->SetText(file);
        StoreProjectField(ctx_, "IconFile", file);
    };
    ChooseIcon = [this](std::string& file) {
        TOpenDialog d(this);
        d.Title = "Load Default Icon";
        d.Filter = "Icon files|*.ico";
        d.FileName = "*.ico";
        if (!d.Execute()) return false;
        file = d.FileName;
        return true;
    };
    label(p, "lblProjectDir", "Project dir :", 12, 266, 90);
    editProjectDir = MakeControl<TEdit>(p, this, "editProjectDir", 104, 264, 386, 22);
    btnProjectDir = MakeControl<TButton>(p, this, "btnProjectDir", 496, 264, 28, 22);
    label(p, "lblGraphicsDir", "Graphics dir :", 12, 296, 90);
    editGraphicsDir = MakeControl<TEdit>(p, this, "editGraphicsDir", 104, 294, 386, 22);
    btnGraphicsDir = MakeControl<TButton>(p, this, "btnGraphicsDir", 496, 294, 28, 22);
    for (auto* e : {editProjectDir, editGraphicsDir}) e->SetReadOnly(true);
    btnProjectDir->SetCaption("...");
    btnGraphicsDir->SetCaption("...");
    btnProjectDir->OnClick = [this](TObject*) { FolderClick("ProjectDir"); };
    btnGraphicsDir->OnClick = [this](TObject*) { FolderClick("GraphicsDir"); };
    ChooseFolder = SelectDirectoryDialog;

    // --- Windows Co-ordinates ---------------------------------------------------------------------
    p = notebook->Page(2);
    pnlDesktop = MakeControl<TPanel>(p, this, "pnlDesktop", 8, 8, 256, 192);
    pnlDesktop->SetCaption("");
    pnlDesktop->SetColor(static_cast<TColor>(0x808000));
    pnlMainMini = MakeControl<TPanel>(pnlDesktop, this, "pnlMainMini", 20, 20, 120, 100);
    pnlMainMini->SetCaption("Drag/Resize");
    pnlSecMini = MakeControl<TPanel>(pnlDesktop, this, "pnlSecMini", 150, 60, 90, 80);
    btnSecColor = MakeControl<TButton>(pnlSecMini, this, "btnSecColor", 20, 50, 50, 22);
    btnSecColor->SetCaption("Color");
    btnSecColor->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int, int) {
        if (button == mbRight) {
            if (MessageDlg("Do you wish to clear the secondary window color and have it adopt the same color as the "
                           "main window?",
                           mtConfirmation, (1u << mbYes) | (1u << mbNo)) == mrNo)
                return;
            StoreProjectField(ctx_, "SecondaryWindowColor", "");
            pnlSecMini->SetColor(static_cast<TColor>(scroll_));
            return;
        }
        long colour = scroll_;
        if (!ChooseColour || !ChooseColour(colour)) return;
        StoreProjectField(ctx_, "SecondaryWindowColor", std::to_string(colour));
        pnlSecMini->SetColor(static_cast<TColor>(colour));
    };
    ChooseColour = [this](long& colour) {
        TColorDialog d(this);
        d.Color = static_cast<TColor>(colour);
        if (!d.Execute()) return false;
        colour = static_cast<long>(d.Color);
        return true;
    };
    // A press near an edge sizes the miniature, anywhere else it moves it.
    for (TPanel* mini : {pnlMainMini, pnlSecMini}) {
        mini->OnMouseDown = [this, mini](TObject*, TMouseButton b, TShiftState, int x, int y) {
            if (b != mbLeft) return;
            dragging_ = mini;
            grab_ = MiniatureGrabAt(x, y, mini->Width(), mini->Height());
            dragX_ = mini->Left() + x;
            dragY_ = mini->Top() + y;
            dragStart_ = {mini->Left(), mini->Top(), mini->Width(), mini->Height()};
        };
        mini->OnMouseMove = [this, mini](TObject*, TShiftState, int x, int y) {
            if (dragging_ != mini) {
                static const TCursor kCursors[9] = {crDefault,  crSizeNWSE, crSizeNS,   crSizeNESW, crSizeWE,
                                                    crSizeNWSE, crSizeNS,   crSizeNESW, crSizeWE};
                mini->SetCursor(kCursors[MiniatureGrabAt(x, y, mini->Width(), mini->Height())]);
                return;
            }
            const int dx = mini->Left() + x - dragX_, dy = mini->Top() + y - dragY_;
            if (grab_ == 0) {
                mini->SetBounds(dragStart_.left + dx, dragStart_.top + dy, dragStart_.width, dragStart_.height);
                return;
            }
            const PixelRect r = ResizedMiniature(dragStart_, grab_, dx, dy, pnlDesktop->ClientWidth(),
                                                 pnlDesktop->ClientHeight());
            mini->SetBounds(r.left, r.top, r.width, r.height);
        };
        mini->OnMouseUp = [this, mini](TObject*, TMouseButton, TShiftState, int, int) {
            if (dragging_ != mini) return;
            dragging_ = nullptr;
            MiniatureMoved(mini == pnlSecMini);
        };
    }
    auto coords = [this, p](const char* name, int x, int y, bool secondary, std::array<TEdit*, 4>& edits,
                            std::array<TSpinButton*, 4>& spins) {
        auto* grp = MakeControl<TGroupBox>(p, this, name, x, y, 260, 74);
        for (int i = 0; i < 4; ++i) {
            const int cx = 8 + (i % 2) * 126, cy = 18 + (i / 2) * 26;
            MakeControl<TLabel>(grp, this, (std::string(name) + "Lbl" + kCoordNames[i]).c_str(), cx, cy + 3, 44, 15)
                ->SetCaption(kCoordNames[i]);
            edits[static_cast<std::size_t>(i)] =
                MakeControl<TEdit>(grp, this, (std::string(name) + kCoordNames[i]).c_str(), cx + 46, cy, 50, 22);
            spins[static_cast<std::size_t>(i)] =
                MakeControl<TSpinButton>(grp, this, (std::string(name) + "Spin" + kCoordNames[i]).c_str(), cx + 98, cy, 16, 22);
            spins[static_cast<std::size_t>(i)]->OnUpClick = [this, secondary, i](TObject*) { Spin(secondary, i, true); };
            spins[static_cast<std::size_t>(i)]->OnDownClick = [this, secondary, i](TObject*) { Spin(secondary, i, false); };
            edits[static_cast<std::size_t>(i)]->OnExit = [this, secondary, &edits](TObject*) {
                if (!UserAction()) return;
                WindowUnitsRect u;
                long* f[4] = {&u.x, &u.y, &u.w, &u.h};
                for (int k = 0; k < 4; ++k) *f[k] = std::atol(edits[static_cast<std::size_t>(k)]->Text().c_str());
                StoreWindowUnits(ctx_, secondary, u);
                PlaceMiniatures();
            };
        }
        return grp;
    };
    grpMainCoords = coords("grpMainCoords", 272, 8, false, mainEdits, mainSpins);
    grpMainCoords->SetCaption("\"Main\" Co-ordinates");
    xboxAutoSize = MakeControl<TCheckBox>(p, this, "xboxAutoSize", 276, 88, 120, 19);
    xboxAutoSize->SetCaption(" AutoSize");
    cbxLetWinDecide = MakeControl<TCheckBox>(p, this, "cbxLetWinDecide", 276, 108, 160, 19);
    cbxLetWinDecide->SetCaption(" Let Windows decide");
    xboxMainStayOnTop = MakeControl<TCheckBox>(p, this, "xboxMainStayOnTop", 276, 128, 120, 19);
    xboxMainStayOnTop->SetCaption(" StayOnTop");
    xboxAutoSize->OnClick = [this](TObject*) { FlagClick(xboxAutoSize, "AutoSize"); };
    cbxLetWinDecide->OnClick = [this](TObject*) { FlagClick(cbxLetWinDecide, "CoLetWindowsDecide"); };
    xboxMainStayOnTop->OnClick = [this](TObject*) { FlagClick(xboxMainStayOnTop, "StayOnTop"); };
    label(p, "lblSecWin", "Secondary window, name and title :", 12, 210, 250);
    editSecWin = MakeControl<TEdit>(p, this, "editSecWin", 12, 232, 90, 22);
    editSecTitle = MakeControl<TEdit>(p, this, "editSecTitle", 108, 232, 156, 22);
    editSecWin->OnExit = [this](TObject*) {
        if (editSecWin->Text() == ctx_.mainTable->FieldStr("SecondaryWindow")) return;
        StoreProjectField(ctx_, "SecondaryWindow", editSecWin->Text());
        ShowSecondary();
    };
    editSecTitle->OnExit = [this](TObject*) {
        if (editSecTitle->Text() != ctx_.mainTable->FieldStr("SecondaryWindowTitle"))
            StoreProjectField(ctx_, "SecondaryWindowTitle", editSecTitle->Text());
    };
    grpSecCoords = coords("grpSecCoords", 272, 160, true, secEdits, secSpins);
    xboxSecondStayOnTop = MakeControl<TCheckBox>(p, this, "xboxSecondStayOnTop", 276, 240, 120, 19);
    xboxSecondStayOnTop->SetCaption(" StayOnTop");
    xboxSecondStayOnTop->OnClick = [this](TObject*) { FlagClick(xboxSecondStayOnTop, "SecondStayOnTop"); };

    btnClose = MakeControl<TButton>(this, this, "btnClose", 396, 388, 75, 25);
    btnClose->SetCaption("&Close");
    btnClose->Default = true;
    btnClose->Cancel = true;
    btnClose->ModalResult = mrOk;
    btnHelp = MakeControl<TButton>(this, this, "btnHelp", 479, 388, 75, 25);
    btnHelp->SetCaption("&Help");
    btnHelp->OnClick = [this](TObject*) {
        static const long contexts[] = {5010, 5020, 5030};
        ctx_.ShowHelp(kHelpContext, contexts[std::max(0, std::min(2, notebook->PageIndex()))]);
    };
    RunEnforce = [this] { EnforceFormattingPreferences1Click(ctx_); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnCloseQuery = [this](TObject* s, bool& can) { FormCloseQuery(s, can); };
    SetBorderStyle(bsDialog);
}

void TOptionsForm::FlagClick(TCheckBox* box, const char* field) {
    if (UserAction()) StoreProjectField(ctx_, field, box->Checked() ? "Y" : "N");
    if (box == xboxPrintBtn || box == xboxBrowseBtn || box == xboxExitBtn) ArrangeButtonBar();
}

void TOptionsForm::FormShow(TObject*) {
    loading_ = true;
    db::TDataSet* m = ctx_.mainTable;
    notebook->SetPageIndex(0);
    nonscroll_ = NonscrollColourOf(ctx_);
    scroll_ = ScrollColourOf(ctx_);
    (m->FieldStr("Compile") == "16" ? compile16bit : compile32bit)->SetChecked(true);
    (m->FieldStr("Compress") == "HIGH" ? compressionHigh : compressionOff)->SetChecked(true);
    auto flag = [m](TCheckBox* b, const char* field) { b->SetChecked(m->FieldStr(field) == "Y"); };
    flag(xboxPrintBtn, "AddButton1");
    flag(xboxBrowseBtn, "AddButton2");
    flag(xboxExitBtn, "AddButton3");
    flag(autoGenerateContents, "AutogenerateContents");
    flag(autoGenPRJfile, "AutogeneratePRJfile");
    flag(xboxCNT, "AutoGenerateCntFile");
    flag(xboxAutoSize, "AutoSize");
    flag(cbxLetWinDecide, "CoLetWindowsDecide");
    flag(xboxMainStayOnTop, "StayOnTop");
    flag(xboxSecondStayOnTop, "SecondStayOnTop");
    editCopyright->SetText(m->FieldStr("Copyright"));
    memoCitation->SetText(m->FieldStr("Citation"));
    editProjectDir->SetText(m->FieldStr("ProjectDir"));
    editGraphicsDir->SetText(m->FieldStr("GraphicsDir"));
    editSecWin->SetText(m->FieldStr("SecondaryWindow"));
    editSecTitle->SetText(m->FieldStr("SecondaryWindowTitle"));
    const std::string icon = m->FieldStr("IconFile");
    editIcon->SetText(icon);
    if (!icon.empty()) LoadIcon(icon);
    ArrangeButtonBar();
    ShowSecondary();
    cbxTextFont->Items().Clear();
    const auto& fonts = ctx_.Settings.kqIniSettings.UseFontRegistry ? CurrentFontRegistry(ctx_) : ctx_.ScreenFonts;
    for (const auto& f : fonts) cbxTextFont->Items().Add(f);
    group_ = OptionGroup::TopicTitle;
    LoadGroupIntoPanel();
    PlaceMiniatures();
    loading_ = false;
}

void TOptionsForm::LoadIcon(const std::string& file) {
    if (!plat::FileExists(file)) {
        ShowWarning("Warning", "Your Icon file, " + file + ", cannot be found. Please check the full path is still correct.");
        return;
    }
    try {
        imgIcon->Picture().LoadFromFile(file);
    } catch (const std::exception&) {
        ShowWarning("Warning", "Your Icon file, " + file + ", cannot be loaded. Please check the full path is still correct.");
    }
}

void TOptionsForm::ArrangeButtonBar() {
    int x = 151;
    const TCheckBox* boxes[] = {xboxPrintBtn, xboxBrowseBtn, xboxExitBtn};
    for (int i = 0; i < 3; ++i) {
        TPanel* b = barButtons[static_cast<std::size_t>(i)];
        b->SetVisible(boxes[i]->Checked());
        if (boxes[i]->Checked()) {
            b->SetLeft(x);
            x += 50;
        }
    }
}

void TOptionsForm::ShowSecondary() {
    const std::string name = ctx_.mainTable->FieldStr("SecondaryWindow");
    const bool on = !name.empty();
    pnlSecMini->SetVisible(on);
    pnlSecMini->SetCaption(name);
    grpSecCoords->SetCaption("\"" + (on ? name : std::string("miniWin")) + "\" Co-ordinates");
    for (auto* e : secEdits) e->SetEnabled(on);
    for (auto* s : secSpins) s->SetEnabled(on);
    const std::string colour = ctx_.mainTable->FieldStr("SecondaryWindowColor");
    pnlSecMini->SetColor(static_cast<TColor>(colour.empty() || colour == "0" ? scroll_ : std::atol(colour.c_str())));
}

void TOptionsForm::LoadGroupIntoPanel() {
    const bool was = loading_;
    loading_ = true;
    const GroupValues v = LoadGroup(ctx_, group_);
    grpSettings->SetCaption(OptionGroupCaption(group_));
    cbxTextFont->SetText(v.font);
    cbxTextSize->SetText(v.size);
    cbxTextColor->SetItemIndex(cbxTextColor->Items().IndexOf(v.colourName));
    btnBold->SetDown(v.bold);
    btnItalic->SetDown(v.italic);
    cbxBackground->SetItemIndex(
        cbxBackground->Items().IndexOf(BackgroundNameOf(group_ == OptionGroup::TopicTitle ? nonscroll_ : scroll_)));
    const int top = group_ == OptionGroup::TopicTitle   ? pnlTitle->Top()
                    : group_ == OptionGroup::PopupTitle ? pnlText->Top() + pnlPopup->Top()
                                                        : pnlText->Top();
    lblArrow->SetTop(top + 8);
    RestylePreview();
    // The other groups' preview elements show their stored look.
    loading_ = was;
}

void TOptionsForm::RestylePreview() {
    pnlTitle->SetColor(static_cast<TColor>(nonscroll_));
    pnlText->SetColor(static_cast<TColor>(scroll_));
    pnlPopup->SetColor(static_cast<TColor>(scroll_));
    pnlMainMini->SetColor(static_cast<TColor>(scroll_));
    auto style = [](TLabel* l, const std::string& font, const std::string& size, const std::string& colour, bool b,
                    bool i) {
        l->Font().SetName(font);
        l->Font().SetSize(std::max(6, std::min(28, std::atoi(size.c_str()))));
        l->Font().SetColor(static_cast<TColor>(ScreenColourOfName(colour) < 0 ? 0 : ScreenColourOfName(colour)));
        l->Font().SetStyle((b ? fsBold : 0) | (i ? fsItalic : 0));
    };
    const GroupValues panel{cbxTextFont->Text(), cbxTextSize->Text(), cbxTextColor->Text(), btnBold->Down(),
                            btnItalic->Down()};
    for (OptionGroup g : {OptionGroup::TopicTitle, OptionGroup::PopupTitle, OptionGroup::HelpText}) {
        const GroupValues v = g == group_ ? panel : LoadGroup(ctx_, g);
        if (g == OptionGroup::TopicTitle) style(lblTopicTitle, v.font, v.size, v.colourName, v.bold, v.italic);
        if (g == OptionGroup::PopupTitle) style(lblPopupTitle, v.font, v.size, v.colourName, v.bold, v.italic);
        if (g == OptionGroup::HelpText) {
            style(lblHelpText, v.font, v.size, v.colourName, v.bold, v.italic);
            style(lblPopupText, v.font, v.size, v.colourName, v.bold, v.italic);
        }
    }
}

void TOptionsForm::StoreCurrentGroup() {
    const GroupValues v{cbxTextFont->Text(), cbxTextSize->Text(), cbxTextColor->Text(), btnBold->Down(),
                        btnItalic->Down()};
    StoreGroup(ctx_, group_, v, nonscroll_, scroll_);
}

void TOptionsForm::SelectGroup(OptionGroup g) {
    StoreCurrentGroup();
    group_ = g;
    LoadGroupIntoPanel();
}

void TOptionsForm::EnforceNowClick() {
    StoreCurrentGroup();
    try {
        ctx_.mainTable->Refresh();
    } catch (const std::exception&) {
    }
    if (RunEnforce) RunEnforce();
}

void TOptionsForm::FolderClick(const std::string& field) {
    if (ChooseProjectFolder(ctx_, field, ChooseFolder))
        (field == "ProjectDir" ? editProjectDir : editGraphicsDir)->SetText(ctx_.mainTable->FieldStr(field));
}

void TOptionsForm::MiniatureMoved(bool secondary) {
    TPanel* mini = secondary ? pnlSecMini : pnlMainMini;
    const int w = pnlDesktop->ClientWidth(), h = pnlDesktop->ClientHeight();
    const PixelRect inside = KeepInside({mini->Left(), mini->Top(), mini->Width(), mini->Height()}, w, h);
    mini->SetBounds(inside.left, inside.top, inside.width, inside.height);
    StoreWindowUnits(ctx_, secondary, UnitsFromMiniature(inside, w, h));
    PlaceMiniatures();
}

void TOptionsForm::PlaceMiniatures() {
    const bool was = loading_;
    loading_ = true;
    const int w = pnlDesktop->ClientWidth(), h = pnlDesktop->ClientHeight();
    for (bool secondary : {false, true}) {
        const WindowUnitsRect u = LoadWindowUnits(ctx_, secondary);
        auto& edits = secondary ? secEdits : mainEdits;
        const long values[4] = {u.x, u.y, u.w, u.h};
        for (int i = 0; i < 4; ++i) edits[static_cast<std::size_t>(i)]->SetText(std::to_string(values[i]));
        const PixelRect r = MiniatureFromUnits(u, w, h);
        TPanel* mini = secondary ? pnlSecMini : pnlMainMini;
        if (r.width > 0 && r.height > 0) mini->SetBounds(r.left, r.top, r.width, r.height);
    }
    loading_ = was;
}

void TOptionsForm::Spin(bool secondary, int index, bool up) {
    WindowUnitsRect u = LoadWindowUnits(ctx_, secondary);
    long* f[4] = {&u.x, &u.y, &u.w, &u.h};
    *f[index] = up ? SpinUp(*f[index]) : SpinDown(*f[index]);
    StoreWindowUnits(ctx_, secondary, u);
    PlaceMiniatures();
}

void TOptionsForm::FormCloseQuery(TObject*, bool& canClose) {
    db::TDataSet* m = ctx_.mainTable;
    try {
        if (m->IsEditing()) m->Post();
    } catch (const std::exception&) {
        canClose = false;
        return;
    }
    StoreCurrentGroup();
}

void ShowProjectOptions(EditorContext& ctx) {
    db::TDataSet* m = ctx.mainTable;
    db::TDataSet* d = ctx.detailTable;
    db::TBookmark mark;
    try {
        mark = d->GetBookmark();
    } catch (const std::exception&) {
    }
    d->DisableControls();
    try {
        if (m->IsEditing()) m->Post();
    } catch (const std::exception&) {
        d->EnableControls();
        return;
    }
    {
        TOptionsForm form(Application, ctx);
        form.SetCaption("Tavrin Project Options for " + m->FieldStr("Application"));
        form.ShowModal();
        try {
            m->Refresh();
        } catch (const std::exception&) {
        }
        if (ctx.ApplyProjectDisplaySettings)
            ctx.ApplyProjectDisplaySettings();
        else
            ApplyProjectDisplaySettings(ctx);
    }
    try {
        if (!mark.empty() && d->BookmarkValid(mark)) d->GotoBookmark(mark);
    } catch (const std::exception&) {
    }
    d->EnableControls();
}

void ProjectOptionsCommand(EditorContext& ctx, const std::function<void()>& rememberCaret,
                           const std::function<void()>& restoreCaret) {
    if (rememberCaret) rememberCaret();
    Screen->SetCursor(crHourGlass);
    try {
        PostPendingEdits(ctx);
    } catch (const std::exception&) {
    }
    ShowProjectOptions(ctx);
    Screen->SetCursor(crDefault);
    if (restoreCaret) restoreCaret();
}

}  // namespace editor
