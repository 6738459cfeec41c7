#include "editor/forms/page_dialogs.h"

#include <cstdlib>

#include "controls/data/vl_locate_dialog.h"
#include "data/vl_table.h"
#include "project/helpers.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/paragraph_dialogs.h"

namespace editor {

namespace {
template <typename T>
T* Make(gui::TComponent* owner, gui::TWinControl* parent, int x, int y, int w, int h) {
    auto* c = new T(owner);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
}

gui::TButton* MakeButton(gui::TForm* f, int x, int y, const char* caption, int result) {
    auto* b = Make<gui::TButton>(f, f, x, y, 80, 25);
    b->SetCaption(caption);
    b->ModalResult = result;
    return b;
}

gui::TLabel* MakeLabel(gui::TForm* f, gui::TWinControl* parent, int x, int y, int w, const std::string& caption) {
    auto* l = Make<gui::TLabel>(f, parent, x, y, w, 18);
    l->SetCaption(caption);
    return l;
}

// The program's own help file at a topic, through the application's help
// (the main window hands it to the help viewer).
void ShowHelp(long context) {
    if (gui::Application) gui::Application->HelpContext(context);
}
}  // namespace

// --- TJumpsForm -----------------------------------------------------------------------------------

TJumpsForm::TJumpsForm(gui::TComponent* AOwner, EditorContext* ctx) : gui::TForm(AOwner) {
    SetName("JumpsForm");
    SetCaption("Jumps");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 560, 380);
    if (ctx) {
        Table = new vl::TvlTable(this);
        Table->SetName("tblJumps");
        Table->DatabaseName = "Tavrin";
        Table->SetTableName("TvrnITEM.QVD");
        Table->SetIndexFieldNames("Application;HelpId");
        Table->SetMasterSource(ctx->mainSource);
        Table->SetMasterFields("Application");
        Table->ReadOnly = true;
        Source = new db::TDataSource(this);
        Source->SetDataSet(Table);
    }
    detailGrid = Make<db::TCustomDBGrid>(this, this, 10, 10, 440, 280);
    detailGrid->SetName("detailGrid");
    detailGrid->ReadOnly = true;
    // A list to choose from: Enter is the dialog's (OK) and Tab moves on.
    detailGrid->SetOptions(detailGrid->Options() & ~(gui::goEditing | gui::goTabs));
    if (Source) detailGrid->SetDataSource(Source);
    lblJump = MakeLabel(this, this, 10, 304, 80, "Jump to :");
    editJump = Make<gui::TEdit>(this, this, 90, 300, 360, 24);
    editJump->SetName("editJump");
    btnOk = MakeButton(this, 465, 10, "OK", gui::mrOk);
    btnOk->Default = true;
    btnCancel = MakeButton(this, 465, 42, "Cancel", gui::mrCancel);
    btnCancel->Cancel = true;
    btnHelp = MakeButton(this, 465, 74, "&Help", gui::mrNone);
    btnHelp->OnClick = [](gui::TObject*) { ShowHelp(9500); };
    HelpContext = 9500;
    SpeedButton1 = MakeButton(this, 465, 120, "Search", gui::mrNone);
    SpeedButton1->SetName("SpeedButton1");
    SpeedButton1->SetHint("Search the current field");
    SpeedButton1->SetShowHint(true);
    loc = new vl::TvlLocateDialog(this);
    loc->SetName("loc");
    loc->Caption = "Locate Field Value";
    loc->SearchField = "Title";
    if (Source) loc->SetDataSource(Source);
    RunLocate = [](vl::TvlLocateDialog& dialog) { dialog.Execute(); };
    SpeedButton1->OnClick = [this](gui::TObject*) { SpeedButton1Click(); };
    detailGrid->OnDblClick = [this](gui::TObject*) { SetModalResult(gui::mrOk); };
    // The press comes before the grid moves to the row: the row under the
    // mouse is read from the grid, not from the table's current record.
    detailGrid->OnMouseDown = [this](gui::TObject*, gui::TMouseButton, gui::TShiftState, int x, int y) {
        if (!Table || !Table->Active() || Table->IsEmpty()) return;
        const gui::TGridCoord cell = detailGrid->MouseCoord(x, y);
        if (cell.Y < detailGrid->FixedRows()) return;
        for (int i = 0; i < detailGrid->FieldCount(); ++i)
            if (detailGrid->Fields(i)->FieldName == "ContextString")
                editJump->SetText(detailGrid->CellText(i + detailGrid->FixedCols(), cell.Y));
    };
    editJump->OnKeyPress = [this](gui::TObject*, char& key) {
        if (key != '\r') return;
        key = 0;
        if (!editJump->Text().empty()) SetModalResult(gui::mrOk);
        else detailGrid->SetFocus();
    };
}

void TJumpsForm::LayoutColumns() {
    if (!Table || !Table->Active()) return;
    for (int i = 0; i < Table->FieldCount(); ++i) {
        db::TField* f = Table->Fields(i);
        const std::string& n = f->FieldName;
        f->Visible = n == "Title" || n == "ContextString" || n == "HelpId";
        if (n == "Title" || n == "ContextString") f->SetDisplayWidth(40);
        if (n == "HelpId") f->SetDisplayWidth(7);
    }
    // Title, context string, help id: the search button goes by this order.
    const char* const order[] = {"Title", "ContextString", "HelpId"};
    for (int i = 0; i < 3; ++i)
        if (db::TField* f = Table->FindField(order[i])) f->SetIndex(i);
    detailGrid->SetDataSource(nullptr);
    detailGrid->SetDataSource(Source);
}

std::string TJumpsForm::SearchField() const {
    const int column = detailGrid->SelectedIndex();
    if (column == 0) return "Title";
    if (column == 1) return "ContextString";
    return loc->SearchField;  // the field searched last
}

void TJumpsForm::SpeedButton1Click() {
    loc->SearchField = SearchField();
    if (Source) loc->SetDataSource(Source);
    if (RunLocate) RunLocate(*loc);
}

void TJumpsForm::Prepare(bool popups) {
    editJump->SetText("");
    if (!Table) return;
    if (!Table->Active()) Table->Open();
    Table->vlFilter().Clear();
    Table->vlFilter().Add(popups ? "TopicPopup = \"P\"" : "TopicPopup = \"T\"");
    Table->ApplyFilter();
    Table->Refresh();
    LayoutColumns();
}

// --- TMacroForm -------------------------------------------------------------------------------------

TMacroForm::TMacroForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("MacroForm");
    SetCaption("Edit macro");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 440, 200);
    grpMacro = Make<gui::TGroupBox>(this, this, 10, 8, 320, 150);
    grpMacro->SetCaption("Macro");
    editMacro = Make<gui::TMemo>(this, grpMacro, 10, 22, 300, 118);
    editMacro->SetName("editMacro");
    btnOk = MakeButton(this, 345, 14, "OK", gui::mrOk);
    btnOk->Default = true;
    btnCancel = MakeButton(this, 345, 46, "&Cancel", gui::mrCancel);
    btnCancel->Cancel = true;
    btnHelp = MakeButton(this, 345, 78, "&Help", gui::mrNone);
    btnHelp->OnClick = [](gui::TObject*) { ShowHelp(9620); };
    HelpContext = 9620;
    OnShow = [this](gui::TObject*) { editMacro->SetFocus(); };
}

// --- TJChangeForm -------------------------------------------------------------------------------------

TJChangeForm::TJChangeForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("JChangeForm");
    SetCaption("View/Remove Jump");
    SetBorderStyle(gui::bsDialog);
    SetBounds(0, 0, 360, 130);
    lblJumpTo = MakeLabel(this, this, 12, 14, 70, "Jump to :");
    editJump = MakeLabel(this, this, 84, 14, 260, "");
    editJump->SetName("editJump");
    btnOk = MakeButton(this, 12, 60, "&OK", gui::mrOk);
    btnOk->Default = true;
    btnClear = MakeButton(this, 100, 60, "&Clear", gui::mrNone);
    btnClear->OnClick = [this](gui::TObject*) { editJump->SetCaption(""); };
    btnFollow = Make<gui::TButton>(this, this, 188, 60, 150, 25);
    btnFollow->SetCaption("&Follow the link");
    btnFollow->ModalResult = kFollowLink;
}

void TJChangeForm::PlaceNear(int mouseX, int mouseY, int screenW, int screenH) {
    int top = mouseY + 10 + Height() <= screenH ? mouseY + 10 : mouseY - (Height() + 10);
    int left = mouseX - Width() / 2;
    if (left + Width() > screenW) left = screenW - Width();
    if (left < 0) left = 10;
    SetBounds(left, top, Width(), Height());
}

// --- TGraphicDlg -------------------------------------------------------------------------------------

TGraphicDlg::TGraphicDlg(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("GraphicDlg");
    SetCaption("Insert Graphic ...");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 640, 400);
    FileListBox1 = Make<gui::TFileListBox>(this, this, 10, 10, 180, 240);
    FileListBox1->SetMask("*.bmp;*.shg;*.wmf");
    DirectoryListBox1 = Make<gui::TDirectoryListBox>(this, this, 200, 10, 180, 240);
    DirectoryListBox1->FileList = FileListBox1;
    FilterComboBox1 = Make<gui::TFilterComboBox>(this, this, 10, 260, 180, 24);
    FilterComboBox1->SetFilter(
        "Graphic Files|*.bmp;*.shg;*.wmf|Hypergraphics|*.shg|Bitmaps|*.bmp|Windows MetaFiles|*.wmf|All|*.*");
    FilterComboBox1->FileList = FileListBox1;
    DriveComboBox1 = Make<gui::TDriveComboBox>(this, this, 200, 260, 180, 24);
    DriveComboBox1->DirList = DirectoryListBox1;
    pnlPreview = Make<gui::TPanel>(this, this, 390, 10, 150, 150);
    pnlPreview->SetBevelOuter(gui::bvLowered);
    Image1 = Make<gui::TImage>(this, pnlPreview, 2, 2, 146, 146);
    Image1->SetCenter(true);
    chkStretch = Make<gui::TCheckBox>(this, this, 390, 166, 150, 20);
    chkStretch->SetCaption("Stretch To Fit");
    chkStretch->OnClick = [this](gui::TObject*) { Image1->SetStretch(chkStretch->Checked()); };
    rgInsert = Make<gui::TRadioGroup>(this, this, 10, 292, 370, 64);
    rgInsert->SetCaption("Insertion Method");
    rgInsert->Items().Add("Left (bml)");
    rgInsert->Items().Add("Right (bmr)");
    rgInsert->Items().Add("Center in text (bmc)");
    rgInsert->SetColumns(3);
    rgInsert->SetItemIndex(2);
    chkTransparent = Make<gui::TCheckBox>(this, this, 390, 300, 150, 20);
    chkTransparent->SetCaption(" &Transparent");
    btnOk = MakeButton(this, 550, 10, "OK", kGraphicOk);
    btnOk->Default = true;
    btnOk->SetEnabled(false);
    btnCancel = MakeButton(this, 550, 42, "&Cancel", gui::mrCancel);
    btnCancel->Cancel = true;
    btnHelp = MakeButton(this, 550, 74, "&Help", gui::mrNone);
    btnHelp->OnClick = [](gui::TObject*) { ShowHelp(9510); };
    HelpContext = 9510;
    FileListBox1->OnChange = [this](gui::TObject*) { FileSelected(); };
    FileListBox1->OnDblClick = [this](gui::TObject*) {
        if (!FileName().empty()) SetModalResult(kGraphicOk);
    };
}

void TGraphicDlg::SetDirectory(const std::string& dir) {
    if (plat::DirectoryExists(dir)) DirectoryListBox1->SetDirectory(dir);
    FileListBox1->SetDirectory(DirectoryListBox1->Directory());
    FileSelected();
}

std::string TGraphicDlg::FileName() const { return FileListBox1->FileName(); }

PictureChoice TGraphicDlg::Choice() const {
    PictureChoice c;
    std::string full = FileName();
    c.directory = FileListBox1->Directory();
    c.fileName = plat::ExtractFileName(full);
    int i = rgInsert->ItemIndex();
    c.kind = i == 0 ? PictureKind::Left : i == 1 ? PictureKind::Right : PictureKind::Centre;
    c.transparent = chkTransparent->Checked();
    return c;
}

void TGraphicDlg::SetChoice(const PictureChoice& c) {
    if (!c.directory.empty()) SetDirectory(c.directory);
    if (!c.fileName.empty()) FileListBox1->SetFileName(c.fileName);
    rgInsert->SetItemIndex(static_cast<int>(c.kind));
    chkTransparent->SetChecked(c.transparent);
    FileSelected();
}

void TGraphicDlg::FileSelected() {
    std::string file = FileName();
    btnOk->SetEnabled(!file.empty());
    Image1->Picture().SetGraphic(nullptr);
    if (file.empty() || HasExtension(file, ".SHG")) {
        Image1->Invalidate();
        return;
    }
    try {
        Image1->Picture().LoadFromFile(file);
    } catch (const std::exception&) {
        Image1->Picture().SetGraphic(nullptr);
    }
    Image1->Invalidate();
}

// --- TGraphicFilenameForm -------------------------------------------------------------------------

TGraphicFilenameForm::TGraphicFilenameForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("GraphicFilenameForm");
    SetCaption("Graphic Filename");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 420, 140);
    lblAlignment = MakeLabel(this, this, 12, 14, 80, "Alignment :");
    txtAlignment = MakeLabel(this, this, 96, 14, 300, "");
    lblFilename = MakeLabel(this, this, 12, 40, 80, "Filename :");
    txtFilename = MakeLabel(this, this, 96, 40, 300, "");
    btnOk = MakeButton(this, 12, 76, "&OK", gui::mrOk);
    btnOk->Default = true;
    btnOk->Cancel = true;
    btnDelete = MakeButton(this, 100, 76, "&Delete", 4);
    btnModify = MakeButton(this, 188, 76, "&Modify", 5);
}

void TGraphicFilenameForm::Show(const std::string& alignment, const std::string& fileName) {
    txtAlignment->SetCaption(alignment);
    txtFilename->SetCaption(fileName);
}

// --- TfrmBullets -------------------------------------------------------------------------------------

TfrmBullets::TfrmBullets(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("frmBullets");
    SetCaption("Bullets and Numbers");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 400, 250);
    rgType = Make<gui::TRadioGroup>(this, this, 10, 8, 160, 200);
    rgType->SetCaption("Type of List");
    for (int i = 0; i < kListChoiceCount; ++i) rgType->Items().Add(ListChoiceName(i));
    rgType->SetItemIndex(0);
    pbPreview = Make<gui::TPaintBox>(this, this, 180, 14, 110, 110);
    pbPreview->OnPaint = [this](gui::TObject*) { PaintPreview(); };
    rgType->OnClick = [this](gui::TObject*) { pbPreview->Invalidate(); };
    btnOk = MakeButton(this, 300, 14, "OK", gui::mrOk);
    btnOk->Default = true;
    btnCancel = MakeButton(this, 300, 46, "Cancel", gui::mrCancel);
    btnCancel->Cancel = true;
}

void TfrmBullets::PaintPreview() {
    // Each choice shows three lines marked as the list would mark them.
    static const char* const kMarks[kListChoiceCount][3] = {
        {"\x95", "\x95", "\x95"}, {"1.", "2.", "3."},       {"a.", "b.", "c."}, {"A.", "B.", "C."},
        {"i.", "ii.", "iii."},    {"I.", "II.", "III."}, {"", "", ""}};
    gui::TCanvas& c = pbPreview->Canvas();
    c.Brush().SetColor(gui::clWhite);
    c.FillRect(gui::TRect{0, 0, pbPreview->Width(), pbPreview->Height()});
    c.Pen().SetColor(gui::clBlack);
    c.Rectangle(0, 0, pbPreview->Width(), pbPreview->Height());
    int kind = std::max(0, std::min(kListChoiceCount - 1, rgType->ItemIndex()));
    for (int i = 0; i < 3; ++i) {
        int y = 14 + i * 32;
        c.TextOut(8, y, kMarks[kind][i]);
        c.Brush().SetColor(gui::clGray);
        c.FillRect(gui::TRect{34, y + 5, 100, y + 9});
        c.Brush().SetColor(gui::clWhite);
    }
}

// --- the dialogs as questions ------------------------------------------------------------------------

bool FormsPageUi::ChooseJumpTarget(bool popups, std::string& typed, std::string& context, std::int64_t& helpId) {
    TJumpsForm form(gui::Application, ctx_);
    form.Prepare(popups);
    if (form.ShowModal() != gui::mrOk) return false;
    typed = form.editJump->Text();
    context.clear();
    helpId = 0;
    if (form.Table && form.Table->Active() && !form.Table->IsEmpty()) {
        context = form.Table->FieldByName("ContextString")->AsString();
        helpId = form.Table->FieldByName("HelpId")->AsInteger();
    }
    return true;
}

bool FormsPageUi::EditMacro(std::string& text) {
    TMacroForm form(gui::Application);
    form.editMacro->SetText(text);
    if (form.ShowModal() != gui::mrOk) return false;
    text = form.editMacro->Text();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return true;
}

JumpChange FormsPageUi::ChangeJump(const std::string& target) {
    TJChangeForm form(gui::Application);
    form.editJump->SetCaption(target);
    form.PlaceNear(MouseX, MouseY, gui::Screen->Width(), gui::Screen->Height());
    int r = form.ShowModal();
    if (r == kFollowLink) return JumpChange::Follow;
    if (r != gui::mrOk) return JumpChange::Cancel;
    return form.editJump->Caption().empty() ? JumpChange::Clear : JumpChange::Keep;
}

bool FormsPageUi::ChoosePicture(const std::string& startDir, PictureChoice& choice) {
    TGraphicDlg dlg(gui::Application);
    dlg.SetDirectory(startDir);
    if (!choice.fileName.empty()) dlg.SetChoice(choice);
    if (dlg.ShowModal() != kGraphicOk || dlg.FileName().empty()) return false;
    choice = dlg.Choice();
    return true;
}

int FormsPageUi::ShowPictureReference(const std::string& alignment, const std::string& fileName) {
    TGraphicFilenameForm form(gui::Application);
    form.Show(alignment, fileName);
    return form.ShowModal();
}

bool FormsPageUi::ChooseList(int& choice) {
    TfrmBullets form(gui::Application);
    if (form.ShowModal() != gui::mrOk) return false;
    choice = form.rgType->ItemIndex();
    return choice >= 0;
}

bool FormsPageUi::ChooseTable(int& rows, int& cols, bool& borders) {
    richtext::TJDTableSelect picker(gui::Application);
    picker.SetBounds(TableX, TableY, picker.Width(), picker.Height());
    if (picker.ShowModal() != gui::mrOk) return false;
    rows = picker.Rows();
    cols = picker.Cols();
    borders = picker.Borders();
    return true;
}

bool FormsPageUi::AskGoBack() {
    return gui::MessageDlg("Go Back?", gui::mtConfirmation, (1u << gui::mbYes) | (1u << gui::mbNo)) == gui::mrYes;
}

// --- screenshots ---------------------------------------------------------------------------------------

int ShowPageDialog(const std::string& name, const std::string& pngFile) {
    std::unique_ptr<gui::TForm> form;
    if (name == "TJumpsForm") {
        auto* f = new TJumpsForm(gui::Application, nullptr);
        f->editJump->SetText("ctx_intro");
        form.reset(f);
    } else if (name == "TMacroForm") {
        auto* f = new TMacroForm(gui::Application);
        f->editMacro->SetText("!JumpId(`help.hlp', `intro')");
        form.reset(f);
    } else if (name == "TJChangeForm") {
        auto* f = new TJChangeForm(gui::Application);
        f->editJump->SetCaption("ctx_intro");
        form.reset(f);
    } else if (name == "TGraphicDlg") {
        auto* f = new TGraphicDlg(gui::Application);
        // The folder to show: TAVRIN_GRAPHIC_DIR, else the program's pictures.
        const char* dir = std::getenv("TAVRIN_GRAPHIC_DIR");
        f->SetDirectory(dir && *dir ? std::string(dir) : plat::JoinPath(plat::ProgramDir(), "pic"));
        if (f->FileListBox1->Items().Count() > 0) {
            f->FileListBox1->SetItemIndex(0);
            f->FileSelected();
        }
        form.reset(f);
    } else if (name == "TGraphicFilenameForm") {
        auto* f = new TGraphicFilenameForm(gui::Application);
        f->Show("bmct", "pic\\logo.bmp");
        form.reset(f);
    } else if (name == "TfrmBullets") {
        form.reset(new TfrmBullets(gui::Application));
    } else {
        return 2;
    }
    form->Show();
    guitest::ProcessEvents(150);
    bool ok = guitest::SaveGrab(form.get(), pngFile);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", pngFile.c_str());
    return ok ? 0 : 1;
}

}  // namespace editor
