#include "editor/forms/projects_form.h"

#include "project/project_tables.h"
#include "data/fields.h"

namespace editor {

TProjectsForm::TProjectsForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("ProjectsForm");
    SetCaption("Projects at a Glance");
    SetBounds(120, 100, 560, 360);
    Position = gui::poScreenCenter;

    mainTable = new vl::TvlTable(this);
    mainTable->SetName("mainTable");
    mainTable->DatabaseName = kTavrinAlias;
    mainTable->SetTableName(kMainTableFile);
    mainTable->SetIndexName(kPrimaryIndex);
    // The grid shows who is who; the rest of the row is the options' business.
    mainTable->AfterOpen = [](db::TDataSet* t) {
        for (int i = 0; i < t->FieldCount(); ++i) {
            const std::string& n = t->Fields(i)->FieldName;
            t->Fields(i)->Visible = n == "Application" || n == "DosName" || n == "HelpTitle" || n == "LastModified";
        }
    };
    mainSource = new db::TDataSource(this);
    mainSource->SetName("mainSource");
    mainSource->SetDataSet(mainTable);

    pnlButtons = new gui::TPanel(this);
    pnlButtons->SetName("pnlButtons");
    pnlButtons->SetParent(this);
    pnlButtons->SetAlign(gui::alBottom);
    pnlButtons->SetHeight(40);
    pnlButtons->SetBevelOuter(gui::bvNone);
    btnOk = new gui::TButton(this);
    btnOk->SetName("btnOk");
    btnOk->SetParent(pnlButtons);
    btnOk->SetBounds(360, 8, 86, 26);
    btnOk->SetCaption("&OK");
    btnOk->Default = true;
    btnOk->ModalResult = gui::mrOk;
    btnCancel = new gui::TButton(this);
    btnCancel->SetName("btnCancel");
    btnCancel->SetParent(pnlButtons);
    btnCancel->SetBounds(456, 8, 86, 26);
    btnCancel->SetCaption("&Cancel");
    btnCancel->Cancel = true;
    btnCancel->ModalResult = gui::mrCancel;

    ProjectGrid = new db::TCustomDBGrid(this);
    ProjectGrid->SetName("ProjectGrid");
    ProjectGrid->SetParent(this);
    ProjectGrid->SetAlign(gui::alClient);
    ProjectGrid->SetDataSource(mainSource);
    ProjectGrid->OnDblClick = [this](gui::TObject*) { SetModalResult(gui::mrOk); };
}

TProjectsForm::~TProjectsForm() { DoDestroy(); }

bool TProjectsForm::GoToProject(const std::string& application) {
    if (!mainTable->Active()) mainTable->Open();
    mainTable->Refresh();
    return !application.empty() && mainTable->FindKey({db::TValue(application)});
}

std::string TProjectsForm::SelectedProject() const {
    if (!mainTable->Active() || mainTable->IsEmpty()) return {};
    return mainTable->FieldByName("Application")->AsString();
}

}  // namespace editor
