#include "editor/forms/lifecycle_forms.h"

#include "project/helpers.h"
#include "project/page_text.h"
#include "project/project_tables.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

namespace editor {

using namespace gui;

namespace {

template <class T>
T* Captioned(TWinControl* parent, TComponent* owner, const char* name, const std::string& caption, int x, int y,
             int w, int h) {
    T* c = MakeControl<T>(parent, owner, name, x, y, w, h);
    c->SetCaption(caption);
    return c;
}

vl::TvlTable* WorkTable(TComponent* owner, const char* name, const char* file) {
    auto* t = new vl::TvlTable(owner);
    t->SetName(name);
    t->DatabaseName = kTavrinAlias;
    t->SetTableName(file);
    return t;
}

db::TDataSource* Source(TComponent* owner, const char* name, db::TDataSet* set) {
    auto* s = new db::TDataSource(owner);
    s->SetName(name);
    s->SetDataSet(set);
    return s;
}

// Shows only the named fields, in that order of the table, with their titles and widths.
void ShowFields(db::TDataSet* t, std::initializer_list<std::tuple<const char*, int, const char*>> shown) {
    for (int i = 0; i < t->FieldCount(); ++i) t->Fields(i)->Visible = false;
    for (const auto& [name, width, title] : shown)
        if (db::TField* f = t->FindField(name)) {
            f->Visible = true;
            f->SetDisplayWidth(width);
            f->DisplayLabel = title;
        }
}

const char* const kHints[] = {
    "The name of your Help Project, as the project list shows it (up to 25 characters).",
    "The file name your built help file and its project files take (up to 32 characters).",
    "The title the help window shows (up to 50 characters).",
    "The folder your project's files are written to; Graphics and Backups are made in it.",
    "Choose [none] for a new project, or an existing project to copy.",
};

}  // namespace

// --- wait window ------------------------------------------------------------

TWaitForm::TWaitForm(TComponent* owner) : TForm(owner) {
    SetName("WaitForm");
    SetCaption("Please wait");
    SetClientSize(300, 60);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);
    lblStatus = Captioned<TLabel>(this, this, "lblStatus", "", 16, 22, 268, 18);
    lblStatus->SetAlignment(taCenter);
}

void TWaitForm::ShowStatus(const std::string& text) {
    if (text.empty()) {
        Hide();
        return;
    }
    lblStatus->SetCaption(text);
    Show();
}

// --- folder chooser -------------------------------------------------------------

TdlgSelectDirectory::TdlgSelectDirectory(TComponent* owner) : TForm(owner) {
    SetName("dlgSelectDirectory");
    SetCaption("Select Directory");
    SetClientSize(320, 300);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);
    Captioned<TLabel>(this, this, "lblPath", "&Directory:", 12, 10, 200, 16);
    editPath = MakeControl<TEdit>(this, this, "editPath", 12, 28, 296, 22);
    lstDirectories = MakeControl<TDirectoryListBox>(this, this, "lstDirectories", 12, 58, 296, 196);
    lstDirectories->OnChange = [this](TObject*) { editPath->SetText(lstDirectories->Directory()); };
    btnOK = Captioned<TButton>(this, this, "btnOK", "&OK", 152, 264, 75, 25);
    btnOK->Default = true;
    btnOK->OnClick = [this](TObject*) { SetModalResult(mrOk); };
    btnCancel = Captioned<TButton>(this, this, "btnCancel", "&Cancel", 233, 264, 75, 25);
    btnCancel->Cancel = true;
    btnCancel->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
}

void TdlgSelectDirectory::SetDirectory(const std::string& dir) {
    lstDirectories->SetDirectory(dir);
    editPath->SetText(dir);
}

std::string TdlgSelectDirectory::Directory() const { return editPath->Text(); }

// --- the wizard ----------------------------------------------------------------

TNewAppForm::TNewAppForm(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("NewAppForm");
    SetCaption("New Help Project");
    SetClientSize(520, 380);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);
    KeyPreview = true;

    tblWiz = WorkTable(this, "tblWiz", kWizTableFile);
    tblWiz->ReadOnly = true;
    tblTopics = WorkTable(this, "tblTopics", kWizTitlesTableFile);
    tblTopics->SetIndexName("Seq");
    tblTopics->Exclusive = true;
    srcWiz = Source(this, "srcWiz", tblWiz);
    srcTopics = Source(this, "srcTopics", tblTopics);
    tblWiz->Open();
    tblTopics->Open();
    ClearTitles(*tblTopics);  // every run starts with an empty title list
    ShowFields(tblWiz, {{"ColorScheme", 30, "Colour Scheme"}});
    ShowFields(tblTopics, {{"Title", 65, "Topic Title"}});

    Notebook = MakeControl<TNotebook>(this, this, "Notebook", 0, 0, 520, 330);
    Notebook->Pages().Clear();
    for (const char* p : {"Step1", "Step2", "Step3"}) Notebook->Pages().Add(p);
    TPage* s1 = Notebook->Page(0);
    TPage* s2 = Notebook->Page(1);
    TPage* s3 = Notebook->Page(2);

    // Step 1
    Captioned<TLabel>(s1, this, "lblStep1", "Step 1 of 3: name your Help Project", 16, 12, 400, 18);
    struct Field {
        const char* label;
        const char* name;
        TEdit** edit;
    };
    const Field fields[] = {{"&Project name:", "editNewApp", &editNewApp},
                            {"&File name:", "editFilename", &editFilename},
                            {"Help &Title:", "editHelpTitle", &editHelpTitle},
                            {"&Directory:", "editDirectory", &editDirectory}};
    int y = 44;
    for (int i = 0; i < 4; ++i) {
        Captioned<TLabel>(s1, this, (std::string("lbl") + fields[i].name).c_str(), fields[i].label, 16, y + 3, 100, 16);
        TEdit* e = MakeControl<TEdit>(s1, this, fields[i].name, 120, y, i == 3 ? 270 : 300, 22);
        *fields[i].edit = e;
        e->OnEnter = [this, i](TObject*) { lblHint->SetCaption(kHints[i]); };
        e->OnExit = [this, e](TObject*) { Step1Exit(e); };
        y += 30;
    }
    btnDirectory = Captioned<TButton>(s1, this, "btnDirectory", "...", 394, 134, 26, 22);
    btnDirectory->OnClick = [this](TObject*) {
        std::string dir = editDirectory->Text();
        if (ChooseDirectory) {
            if (ChooseDirectory(dir)) editDirectory->SetText(dir);
            return;
        }
        TdlgSelectDirectory dlg(this);
        dlg.SetDirectory(dir.empty() ? ctx_.ProgramDir : dir);
        if (dlg.ShowModal() == mrOk) editDirectory->SetText(dlg.Directory());
    };
    Captioned<TLabel>(s1, this, "lblTemplate", "Copy an existing project (&template):", 16, 168, 300, 16);
    lboxApplication = MakeControl<TListBox>(s1, this, "lboxApplication", 16, 186, 300, 100);
    lboxApplication->Items().Add(kNoTemplate);
    {
        vl::TvlTable main(nullptr);
        main.DatabaseName = kTavrinAlias;
        main.SetTableName(kMainTableFile);
        main.Open();
        for (main.First(); !main.Eof(); main.Next()) lboxApplication->Items().Add(main.FieldStr("Application"));
    }
    lboxApplication->SetItemIndex(0);
    lboxApplication->OnClick = [this](TObject*) { btnNext->SetEnabled(lboxApplication->ItemIndex() <= 0); };
    lboxApplication->OnEnter = [this](TObject*) { lblHint->SetCaption(kHints[4]); };
    lblHint = Captioned<TLabel>(s1, this, "jdS1Project", kHints[0], 330, 186, 176, 100);
    lblHint->SetAutoSize(false);
    lblHint->SetWordWrap(true);
    lblHint->SetBounds(330, 186, 176, 100);

    // Step 2
    Captioned<TLabel>(s2, this, "lblStep2", "Step 2 of 3: choose colours and the help window's place", 16, 12, 480, 18);
    grdScheme = MakeControl<db::TCustomDBGrid>(s2, this, "grdScheme", 16, 40, 240, 150);
    grdScheme->ReadOnly = true;
    grdScheme->SetDataSource(srcWiz);
    srcWiz->OnDataChange = [this](TObject*, db::TField*) { SchemeChanged(); };
    chk100 = Captioned<TRadioButton>(s2, this, "chk100", " 100%", 16, 200, 70, 18);
    chk50 = Captioned<TRadioButton>(s2, this, "chk50", " 50%", 90, 200, 60, 18);
    chk25 = Captioned<TRadioButton>(s2, this, "chk25", " 25%", 150, 200, 60, 18);
    chkLetWinDecide = Captioned<TRadioButton>(s2, this, "chkLetWinDecide", " Let Win95/NT decide", 16, 224, 200, 18);
    chkLeft = Captioned<TCheckBox>(s2, this, "chkLeft", "Left", 16, 254, 60, 18);
    chkRight = Captioned<TCheckBox>(s2, this, "chkRight", "Right", 80, 254, 60, 18);
    chkTop = Captioned<TCheckBox>(s2, this, "chkTop", "Top", 144, 254, 60, 18);
    chkBottom = Captioned<TCheckBox>(s2, this, "chkBottom", "Bottom", 208, 254, 70, 18);
    // With 50% one half is chosen; with 25% a quarter (one of each pair).
    auto pick = [this](TCheckBox* chosen) {
        if (!chosen->Checked()) return;
        TCheckBox* all[] = {chkLeft, chkRight, chkTop, chkBottom};
        for (TCheckBox* c : all) {
            if (c == chosen) continue;
            const bool samePair = ((c == chkLeft || c == chkRight) == (chosen == chkLeft || chosen == chkRight));
            if (chk50->Checked() || samePair) c->SetChecked(false);
        }
        pbPreview->Invalidate();
    };
    for (TCheckBox* c : {chkLeft, chkRight, chkTop, chkBottom}) c->OnClick = [pick, c](TObject*) { pick(c); };
    for (TRadioButton* r : {chk100, chk50, chk25, chkLetWinDecide})
        r->OnClick = [this](TObject*) {
            const bool decide = chkLetWinDecide->Checked();
            for (TCheckBox* c : {chkLeft, chkRight, chkTop, chkBottom}) c->SetEnabled(!decide);
            pbPreview->Invalidate();
        };
    pbPreview = MakeControl<TPaintBox>(s2, this, "pbPreview", 270, 40, 236, 180);
    pbPreview->OnPaint = [this](TObject*) { PaintPreview(); };

    // Step 3
    Captioned<TLabel>(s3, this, "lblStep3", "Step 3 of 3: type the titles of your first pages", 16, 12, 480, 18);
    gridTopics = MakeControl<db::TCustomDBGrid>(s3, this, "gridTopics", 16, 40, 380, 270);
    gridTopics->SetDataSource(srcTopics);
    btnInsert = Captioned<TButton>(s3, this, "btnInsert", "&Insert", 410, 40, 90, 25);
    btnInsert->OnClick = [this](TObject*) { InsertTitleBefore(*tblTopics, ""); };
    btnDelete = Captioned<TButton>(s3, this, "btnDelete", "&Delete", 410, 72, 90, 25);
    btnDelete->OnClick = [this](TObject*) {
        if (!tblTopics->IsEmpty()) tblTopics->Delete();
    };
    btnUp = Captioned<TButton>(s3, this, "btnUp", " Move Up", 410, 104, 90, 25);
    btnUp->OnClick = [this](TObject*) { MoveTitleUp(*tblTopics); };
    btnDown = Captioned<TButton>(s3, this, "btnDown", "Move Down", 410, 136, 90, 25);
    btnDown->OnClick = [this](TObject*) { MoveTitleDown(*tblTopics); };

    btnPrev = Captioned<TButton>(this, this, "btnPrev", "< &Prev", 180, 344, 75, 25);
    btnPrev->SetEnabled(false);
    btnPrev->OnClick = [this](TObject*) { PrevClick(); };
    btnNext = Captioned<TButton>(this, this, "btnNext", "&Next >", 260, 344, 75, 25);
    btnNext->OnClick = [this](TObject*) { NextClick(); };
    btnFinish = Captioned<TButton>(this, this, "btnFinish", "&Finish", 350, 344, 75, 25);
    btnFinish->OnClick = [this](TObject*) { FinishClick(); };
    btnCancel = Captioned<TButton>(this, this, "btnCancel", "Cancel", 432, 344, 75, 25);
    btnCancel->Cancel = true;
    btnCancel->OnClick = [this](TObject*) { SetModalResult(mrCancel); };

    // Enter moves to the next field instead of closing the wizard; in the
    // titles grid it ends the cell being typed, and the focus stays there.
    OnKeyPress = [this](TObject*, char& key) {
        if (key != '\r') return;
        for (TControl* c = ActiveControl(); c; c = c->Parent())
            if (c == gridTopics) return;
        key = 0;
        if (TWinControl* c = ActiveControl()) SelectNext(c, true, true);
    };
    Notebook->SetActivePage("Step1");
    HelpContext = 9650;
    tblWiz->First();
    SchemeChanged();
    SetActiveControl(editNewApp);
}

TNewAppForm::~TNewAppForm() {
    srcWiz->OnDataChange = nullptr;
}

WizardInput TNewAppForm::Input() const {
    WizardInput in;
    in.name = editNewApp->Text();
    in.fileName = editFilename->Text();
    in.helpTitle = editHelpTitle->Text();
    in.directory = editDirectory->Text();
    const int i = lboxApplication->ItemIndex();
    in.templateName = i > 0 ? lboxApplication->Items()[i] : "";
    in.size = chk100->Checked()  ? WizardSize::Full
              : chk50->Checked() ? WizardSize::Half
              : chk25->Checked() ? WizardSize::Quarter
                                 : WizardSize::LetWindowsDecide;
    in.left = chkLeft->Checked();
    in.right = chkRight->Checked();
    in.top = chkTop->Checked();
    return in;
}

void TNewAppForm::Step1Exit(TEdit* field) {
    if (field == editNewApp && !editNewApp->Text().empty()) {
        if (ProjectExists(editNewApp->Text())) {
            MessageDlg(kProjectExistsText, mtInformation, Buttons({mbOK}));
            editNewApp->SetFocus();
            return;
        }
        if (editDirectory->Text().empty()) editHelpTitle->SetText(editNewApp->Text());
    }
    if (field == editFilename && !editFilename->Text().empty() && editDirectory->Text().empty())
        // Shown as the folder will be made: native, in the case typed.
        editDirectory->SetText(plat::DisplayPath(plat::JoinPath(ctx_.ProgramDir, editFilename->Text())));
}

static void FocusField(TNewAppForm* f, Step1Field field) {
    f->Notebook->SetActivePage("Step1");
    TEdit* e = field == Step1Field::Name       ? f->editNewApp
               : field == Step1Field::FileName ? f->editFilename
               : field == Step1Field::HelpTitle ? f->editHelpTitle
                                                : f->editDirectory;
    if (f->Visible()) e->SetFocus();
}

bool TNewAppForm::NextClick() {
    const std::string page = Notebook->ActivePage();
    if (page == "Step1") {
        const Step1Field bad = RunStep1Checks(Input());
        if (bad != Step1Field::None) {
            FocusField(this, bad);
            return false;
        }
        Notebook->SetActivePage("Step2");
        HelpContext = 9660;
        btnPrev->SetEnabled(true);
        FocusStep(grdScheme);
    } else if (page == "Step2") {
        Notebook->SetActivePage("Step3");
        HelpContext = 9670;
        btnNext->SetEnabled(false);
        FocusStep(gridTopics);
    }
    return true;
}

// A step opens with the focus on its own first control: left on the
// button pressed, it would stay on a hidden field or a disabled Next.
void TNewAppForm::FocusStep(TWinControl* first) {
    if (Visible() && first->CanFocus()) first->SetFocus();
    else SetActiveControl(first);
}

void TNewAppForm::PrevClick() {
    const std::string page = Notebook->ActivePage();
    if (page == "Step3") {
        Notebook->SetActivePage("Step2");
        HelpContext = 9660;
        FocusStep(grdScheme);
    } else if (page == "Step2") {
        Notebook->SetActivePage("Step1");
        HelpContext = 9650;
        btnPrev->SetEnabled(false);
        FocusStep(editNewApp);
    }
    btnNext->SetEnabled(true);
}

bool TNewAppForm::FinishClick() {
    const WizardInput in = Input();
    const Step1Field bad = RunStep1Checks(in);
    if (bad != Step1Field::None) {
        FocusField(this, bad);
        return false;
    }
    if (!wait_) wait_ = std::make_unique<TWaitForm>(nullptr);
    if (!FinishWizard(ctx_, in, tblWiz, tblTopics, [this](const std::string& s) { wait_->ShowStatus(s); }))
        return false;
    SetModalResult(mrOk);
    return true;
}

void TNewAppForm::SchemeChanged() {
    if (!tblWiz->Active() || tblWiz->IsEmpty()) return;
    const bool left = tblWiz->FieldStr("PosLeft") == "Y";
    const bool top = tblWiz->FieldStr("PosTop") == "Y";
    chkLeft->SetChecked(left);
    chkRight->SetChecked(!left);
    chkTop->SetChecked(top);
    chkBottom->SetChecked(!top);
    if (tblWiz->FieldStr("Size100") == "Y")
        chk100->SetChecked(true);
    else if (tblWiz->FieldStr("Size50") == "Y")
        chk50->SetChecked(true);
    else if (tblWiz->FieldStr("Size25") == "Y")
        chk25->SetChecked(true);
    else
        chkLetWinDecide->SetChecked(true);
    const bool decide = chkLetWinDecide->Checked();
    for (TCheckBox* c : {chkLeft, chkRight, chkTop, chkBottom}) c->SetEnabled(!decide);
    pbPreview->Invalidate();
}

void TNewAppForm::PaintPreview() {
    TCanvas& c = pbPreview->Canvas();
    const int W = pbPreview->Width(), H = pbPreview->Height();
    c.Brush().SetColor(clTeal);  // the desktop
    c.FillRect({0, 0, W, H});
    const WizardInput in = Input();
    const WindowPlacement p = PlacementFor(in.size, in.left, in.right, in.top);
    const TRect win{p.x * W / 1024, p.y * H / 1024, (p.x + p.w) * W / 1024, (p.y + p.h) * H / 1024};
    // The preview shows the colours the new pages will have.
    auto colour = [](long n) { return static_cast<TColor>(ScreenColourOf(static_cast<int>(n))); };
    auto num = [this](const char* f) { return static_cast<long>(tblWiz->FieldInt(f)); };
    c.Brush().SetColor(clNavy);
    c.FillRect({win.Left, win.Top, win.Right, win.Top + 10});  // caption bar
    c.Brush().SetColor(static_cast<TColor>(num("NonscrollColor")));
    c.FillRect({win.Left, win.Top + 10, win.Right, win.Top + 34});
    c.Font().SetName(tblWiz->FieldStr("TitleFont"));
    c.Font().SetSize(std::max(6L, num("TitleSize") * 2 / 3));
    c.Font().SetColor(colour(num("TitleColor")));
    c.TextOut(win.Left + 4, win.Top + 13, "Title");
    c.Brush().SetColor(static_cast<TColor>(num("ScrollColor")));
    c.FillRect({win.Left, win.Top + 34, win.Right, win.Bottom});
    c.Font().SetName(tblWiz->FieldStr("HelpFont"));
    c.Font().SetSize(std::max(6L, num("HelpSize") * 2 / 3));
    c.Font().SetColor(colour(num("HelpColor")));
    c.TextOut(win.Left + 4, win.Top + 38, "Help text");
}

// --- inheritance dialogs ---------------------------------------------------------

bool InheritSelectCellColours(const std::string& fieldName, const std::string& inheritedStatus, long& font,
                              long& brush) {
    if (fieldName != "HelpId" || inheritedStatus != "Master") return false;
    font = 0xFFFFFF;
    brush = 0x000080;
    return true;
}

TfrmInheritSelect::TfrmInheritSelect(TComponent* owner, const InheritSelectRequest& r) : TForm(owner) {
    SetName("frmInheritSelect");
    SetCaption(r.caption);
    SetClientSize(360, 320);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);
    HelpContext = 3400;
    tblMain = WorkTable(this, "tblMain", kMainTableFile);
    tblMain->SetIndexName(kPrimaryIndex);
    tblMain->ReadOnly = true;
    srcMain = Source(this, "srcMain", tblMain);
    tblItems = WorkTable(this, "tblItems", kItemTableFile);
    tblItems->SetIndexFieldNames("Application;HelpId");
    tblItems->SetMasterSource(srcMain);
    tblItems->SetMasterFields("Application");
    tblItems->AfterPost = [](db::TDataSet*) {};
    srcItems = Source(this, "srcItems", tblItems);
    lblProject = Captioned<TLabel>(this, this, "lblProject", "", 12, 14, 240, 18);
    btnPriorProject = Captioned<TButton>(this, this, "btnPriorProject", "<", 264, 10, 36, 24);
    btnNextProject = Captioned<TButton>(this, this, "btnNextProject", ">", 306, 10, 36, 24);
    vlDBGrid1 = MakeControl<vl::TvlDBGrid>(this, this, "vlDBGrid1", 12, 44, 336, 228);
    vlDBGrid1->ReadOnly = true;
    vlDBGrid1->OnDblClick = [this](TObject*) { SetModalResult(mrOk); };
    vlDBGrid1->OnCalcCellColors = [this](TObject*, db::TField* field, TGridDrawState, bool, TFont& font,
                                         TBrush& brush) {
        const db::TField* status = tblItems->FindField("InheritedStatus");
        long f = 0, b = 0;
        if (field && InheritSelectCellColours(field->FieldName, status ? status->AsString() : "", f, b)) {
            font.SetColor(static_cast<TColor>(f));
            brush.SetColor(static_cast<TColor>(b));
        }
    };
    btnOK = Captioned<TButton>(this, this, "btnOK", "&OK", 110, 284, 75, 25);
    btnOK->OnClick = [this](TObject*) { SetModalResult(mrOk); };
    btnCancel = Captioned<TButton>(this, this, "btnCancel", "&Cancel", 191, 284, 75, 25);
    btnCancel->Cancel = true;
    btnCancel->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
    btnHelp = Captioned<TButton>(this, this, "btnHelp", "&Help", 272, 284, 75, 25);
    btnHelp->OnClick = [](TObject*) {
        Application->HelpFile = plat::JoinPath(plat::ProgramDir(), "Tavrin.hlp");
        Application->HelpContext(3400);
    };
    btnPriorProject->OnClick = [this](TObject*) {
        tblMain->Prior();
        ShowProject();
    };
    btnNextProject->OnClick = [this](TObject*) {
        tblMain->Next();
        ShowProject();
    };
    if (!plat::FileExists(plat::JoinPath(plat::ProgramDir(), "TvrnInh.qvd"))) {
        MessageBox("One of the tables you need, TvrnInh.qvd is missing. Please restore from backups or install from "
                   "your installation disks.",
                   "Missing Table", MB_OK | MB_ICONINFORMATION);
        return;
    }
    tblMain->vlFilter().Add("Application <> \"" + r.currentProject + "\"");
    for (const std::string& line : r.pageFilter) tblItems->vlFilter().Add(line);
    tblMain->Open();
    tblItems->Open();
    ShowFields(tblItems, {{"HelpId", 6, "HelpID"}, {"Title", 30, "Title"}});
    vlDBGrid1->SetDataSource(srcItems);
    if (!r.startProject.empty()) tblMain->FindKey({db::TValue(r.startProject)});
    ShowProject();
}

TfrmInheritSelect::~TfrmInheritSelect() { vlDBGrid1->SetDataSource(nullptr); }

void TfrmInheritSelect::ShowProject() { lblProject->SetCaption(tblMain->FieldStr("Application")); }

InheritChoice TfrmInheritSelect::Choice() const {
    InheritChoice c;
    c.application = tblMain->FieldStr("Application");
    const db::TField* f = tblItems->Active() && !tblItems->IsEmpty() ? tblItems->FindField("HelpId") : nullptr;
    c.helpId = f ? static_cast<long>(f->AsInteger()) : 0;
    return c;
}

TfrmInhWho::TfrmInhWho(TComponent* owner, const std::string& project, long helpId) : TForm(owner) {
    SetName("frmInhWho");
    SetCaption("Who Inherits From Me?");
    SetClientSize(460, 260);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);
    tblInh = WorkTable(this, "tblInh", kInhTableFile);
    tblInh->ReadOnly = true;
    tblInh->vlFilter().Add("Application = \"" + project + "\"");
    tblInh->vlFilter().Add("HelpId = " + std::to_string(helpId));
    srcInh = Source(this, "srcInh", tblInh);
    tblInh->Open();
    ShowFields(tblInh, {{"InheritedApplication", 25, "Inherited Project"},
                        {"InheritedId", 7, "HelpID"},
                        {"InheritedTitle", 35, "Inherited Title"}});
    vlDBGrid1 = MakeControl<db::TCustomDBGrid>(this, this, "vlDBGrid1", 12, 12, 436, 200);
    vlDBGrid1->ReadOnly = true;
    vlDBGrid1->SetDataSource(srcInh);
    vlDBGrid1->OnDblClick = [this](TObject*) { SetModalResult(4); };
    btnGoTo = Captioned<TButton>(this, this, "btnGoTo", "&Go to it", 292, 224, 75, 25);
    btnGoTo->OnClick = [this](TObject*) { SetModalResult(4); };
    btnClose = Captioned<TButton>(this, this, "btnClose", "&Close", 373, 224, 75, 25);
    btnClose->Cancel = true;
    btnClose->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
}

TfrmInhWho::~TfrmInhWho() { vlDBGrid1->SetDataSource(nullptr); }

InheritSelectDialog ScreenInheritSelectDialog() {
    return [](const InheritSelectRequest& r, InheritChoice& choice) {
        TfrmInheritSelect dlg(Application, r);
        if (!dlg.TablesOpen() || dlg.ShowModal() != mrOk) return false;
        choice = dlg.Choice();
        return choice.helpId != 0;
    };
}

WhoInheritsDialog ScreenWhoInheritsDialog(EditorContext& ctx) {
    EditorContext* c = &ctx;
    return [c](const std::vector<Inheritor>& rows, int& selected) {
        const std::string project = c->mainTable->FieldStr("Application");
        const db::TField* f = c->detailTable->FindField("HelpId");
        TfrmInhWho dlg(Application, project, f ? static_cast<long>(f->AsInteger()) : 0);
        const int result = dlg.ShowModal();
        selected = 0;
        const std::string app = dlg.tblInh->FieldStr("InheritedApplication");
        const std::string id = dlg.tblInh->FieldStr("InheritedId");
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].application == app && std::to_string(rows[i].helpId) == id) selected = static_cast<int>(i);
        return result;
    };
}

}  // namespace editor
