#include "helpbuild/ui/cnt_add_form.h"

#include "project/helpers.h"
#include "project/project_tables.h"
#include "data/fields.h"

namespace buildui {

using namespace gui;
using build::CntAddChoice;

namespace {

TLabel* MakeLabel(TWinControl* parent, TComponent* owner, const char* name, const char* text, int x, int y,
                TWinControl* focus) {
    auto* l = MakeControl<TLabel>(parent, owner, name, x, y, 80, 16);
    l->SetCaption(text);
    l->SetFocusControl(focus);
    return l;
}

// Shows only the named fields, in that order of importance, with their widths.
void ShowFields(db::TDataSet* t, const std::vector<std::pair<const char*, int>>& shown) {
    for (int i = 0; i < t->FieldCount(); ++i) t->Fields(i)->Visible = false;
    for (auto& [name, width] : shown) {
        db::TField* f = t->FieldByName(name);
        f->Visible = true;
        f->SetDisplayWidth(width);
    }
}

}  // namespace

TCntAddForm::TCntAddForm(TComponent* owner, editor::EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("CntAddForm");
    SetCaption("Edit Contents entry");
    HelpContext = kCntAddHelpContext;
    KeyPreview = true;
    SetClientSize(470, 430);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);

    mainTable = new vl::TvlTable(this);
    mainTable->SetName("mainTable");
    mainSource = new db::TDataSource(this);
    mainSource->SetName("mainSource");
    mainSource->SetDataSet(mainTable);
    detailTable = new vl::TvlTable(this);
    detailTable->SetName("detailTable");
    detailSource = new db::TDataSource(this);
    detailSource->SetName("detailSource");
    detailSource->SetDataSet(detailTable);

    rgrpEntryType = MakeControl<TRadioGroup>(this, this, "rgrpEntryType", 8, 6, 454, 44);
    rgrpEntryType->SetCaption("Entry Type");
    rgrpEntryType->SetColumns(4);
    for (const char* item : {"&Heading", "&Topic", "&Macro", "I&nclude"}) rgrpEntryType->Items().Add(item);
    rgrpEntryType->SetItemIndex(0);
    rgrpEntryType->OnClick = [this](TObject*) { rgrpEntryTypeClick(); };

    editTitle = MakeControl<TEdit>(this, this, "editTitle", 100, 58, 362, 22);
    Label1 = MakeLabel(this, this, "Label1", "Tit&le:", 12, 62, editTitle);
    editTopic = MakeControl<TEdit>(this, this, "editTopic", 100, 86, 362, 22);
    Label2 = MakeLabel(this, this, "Label2", "Topic &ID:", 12, 90, editTopic);
    editFile = MakeControl<TEdit>(this, this, "editFile", 100, 114, 160, 22);
    Label3 = MakeLabel(this, this, "Label3", "Help &file:", 12, 118, editFile);
    editWindow = MakeControl<TEdit>(this, this, "editWindow", 362, 114, 100, 22);
    Label4 = MakeLabel(this, this, "Label4", "&Window type:", 272, 118, editWindow);

    GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 8, 144, 454, 242);
    GroupBox1->SetCaption("&Project");
    DBGrid1 = MakeControl<db::TCustomDBGrid>(GroupBox1, this, "DBGrid1", 8, 20, 200, 182);
    DBGrid1->ReadOnly = true;
    DBNavigator1 = MakeControl<db::TDBNavigator>(GroupBox1, this, "DBNavigator1", 8, 208, 200, 25);
    DBNavigator1->SetDataSource(mainSource);
    detailGrid = MakeControl<db::TCustomDBGrid>(GroupBox1, this, "detailGrid", 214, 20, 232, 213);
    detailGrid->ReadOnly = true;
    detailGrid->OnDblClick = [this](TObject*) { detailGridDblClick(); };
    detailGrid->OnEnter = [this](TObject*) { DBNavigator1->SetDataSource(detailSource); };
    detailGrid->OnExit = [this](TObject*) { DBNavigator1->SetDataSource(mainSource); };

    SpeedButton1 = MakeControl<TSpeedButton>(this, this, "SpeedButton1", 8, 396, 25, 25);
    SpeedButton1->SetHint("Search the current field");
    SpeedButton1->SetShowHint(true);
    SpeedButton1->SetCaption("?");
    SpeedButton1->OnClick = [this](TObject*) { SpeedButton1Click(); };
    btnOk = MakeControl<TButton>(this, this, "btnOk", 225, 396, 75, 25);
    btnOk->SetCaption("&OK");
    btnOk->OnClick = [this](TObject*) { btnOkClick(); };
    Button2 = MakeControl<TButton>(this, this, "Button2", 306, 396, 75, 25);
    Button2->SetCaption("&Cancel");
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button3 = MakeControl<TButton>(this, this, "Button3", 387, 396, 75, 25);
    Button3->SetCaption("&Help");
    Button3->OnClick = [this](TObject*) { Button3Click(); };

    loc = new vl::TvlLocateDialog(this);
    loc->SetName("loc");
    loc->SetDataSource(detailSource);
    loc->DefaultButton = vl::dbFindFirst;
    loc->FieldSelection = vl::fsAllFields;

    // Enter anywhere presses OK.
    OnKeyPress = [this](TObject*, char& key) {
        if (key == '\r') {
            key = 0;
            btnOkClick();
        }
    };
    OnShow = [this](TObject*) { FormShow(); };

    // Its own views of the project and page tables.
    mainTable->Close();
    mainTable->DatabaseName = editor::kTavrinAlias;
    mainTable->SetTableName(editor::kMainTableFile);
    mainTable->SetIndexName(editor::kPrimaryIndex);
    detailTable->Close();
    detailTable->DatabaseName = editor::kTavrinAlias;
    detailTable->SetTableName(editor::kItemTableFile);
    detailTable->SetIndexName(editor::kPrimaryIndex);
    detailTable->SetMasterSource(mainSource);
    detailTable->SetMasterFields("Application");
    mainTable->Open();
    detailTable->Open();
    mainTableApplication = mainTable->FieldByName("Application");
    mainTableDosName = mainTable->FieldByName("DosName");
    detailTableHelpId = detailTable->FieldByName("HelpId");
    detailTableTitle = detailTable->FieldByName("Title");
    detailTableContextString = detailTable->FieldByName("ContextString");
    detailTableApplication = detailTable->FieldByName("Application");
    ShowFields(mainTable, {{"Application", 25}});
    ShowFields(detailTable, {{"HelpId", 7}, {"Title", 25}, {"ContextString", 25}});
    // Bound once the fields they show are chosen.
    DBGrid1->SetDataSource(mainSource);
    detailGrid->SetDataSource(detailSource);
    rgrpEntryTypeClick();
}

TCntAddForm::~TCntAddForm() { DoDestroy(); }

CntAddChoice::Kind TCntAddForm::Kind() const {
    int i = rgrpEntryType->ItemIndex();
    return i >= 0 && i <= 3 ? static_cast<CntAddChoice::Kind>(i) : CntAddChoice::Heading;
}

void TCntAddForm::SetKind(CntAddChoice::Kind kind) {
    rgrpEntryType->SetItemIndex(static_cast<int>(kind));
    rgrpEntryTypeClick();
}

CntAddChoice TCntAddForm::Choice() const {
    return {Kind(), editTitle->Text(), editTopic->Text(), editFile->Text(), editWindow->Text()};
}

void TCntAddForm::FormShow() {
    try {
        const std::string project = ctx_.mainTable->FieldByName("Application")->AsString();
        for (mainTable->First(); !mainTable->Eof(); mainTable->Next())
            if (mainTableApplication->AsString() == project) break;
        if (mainTable->Eof()) mainTable->First();
    } catch (const std::exception&) {
        // No current project: the grid shows the first one.
    }
}

void TCntAddForm::EnableEdit(TEdit* edit, TLabel* label, bool on) {
    edit->SetEnabled(on);
    edit->SetColor(on ? clWhite : clSilver);
    if (label) label->SetEnabled(on);
}

void TCntAddForm::rgrpEntryTypeClick() {
    const CntAddChoice::Kind k = Kind();
    EnableEdit(editTitle, Label1, true);
    EnableEdit(editTopic, Label2, k == CntAddChoice::Topic || k == CntAddChoice::Macro);
    Label2->SetCaption(k == CntAddChoice::Macro ? "&Macro:" : "Topic &ID:");
    EnableEdit(editFile, Label3, k == CntAddChoice::Topic);
    EnableEdit(editWindow, Label4, k == CntAddChoice::Topic);
}

void TCntAddForm::detailGridDblClick() {
    if (Kind() != CntAddChoice::Topic || detailTable->IsEmpty()) return;
    db::TField* field = detailGrid->SelectedField();
    if (field == detailTableHelpId)
        editTopic->SetText(detailTableHelpId->AsString());
    else if (!detailTableContextString->AsString().empty())
        editTopic->SetText(detailTableContextString->AsString());
    else
        editTopic->SetText(detailTableHelpId->AsString());
    const std::string current = ctx_.mainTable->FieldByName("Application")->AsString();
    editFile->SetText(mainTableApplication->AsString() == current ? std::string()
                                                                   : mainTableDosName->AsString() + ".hlp");
    if (editTitle->Text().empty()) editTitle->SetText(detailTableTitle->AsString());
}

void TCntAddForm::SpeedButton1Click() {
    try {
        if (detailGrid->Focused()) {
            loc->SetDataSource(detailSource);
            int column = detailGrid->SelectedIndex();
            if (column == 1) loc->SearchField = "Title";
            if (column == 2) loc->SearchField = "ContextString";
        } else {
            loc->SetDataSource(mainSource);
            loc->SearchField = "Application";
        }
        loc->Execute();
    } catch (const std::exception&) {
        // A failed search leaves the grids as they were.
    }
}

void TCntAddForm::btnOkClick() {
    if (Kind() == CntAddChoice::Topic) {
        if (editTitle->Text().empty()) {
            editor::ShowWarning("Missing Title", "You need to enter a Title.");
            if (Showing()) editTitle->SetFocus();
            return;
        }
        if (editTopic->Text().empty()) {
            editor::ShowWarning("Missing Topic ID", "You need to enter a destination jump for the Topic ID.");
            if (Showing()) editTopic->SetFocus();
            return;
        }
    }
    SetModalResult(mrOk);
}

void TCntAddForm::Button3Click() {
    if (Application) Application->HelpContext(kCntAddHelpContext);
}

bool RunCntAddDialog(editor::EditorContext& ctx, CntAddChoice& choice) {
    TCntAddForm form(Application, ctx);
    form.SetKind(choice.kind);
    if (form.ShowModal() != mrOk) return false;
    choice = form.Choice();
    return true;
}

}  // namespace buildui
