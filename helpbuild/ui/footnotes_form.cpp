#include "helpbuild/ui/footnotes_form.h"

#include "platform/core/exceptions.h"
#include "data/dataset.h"
#include "platform/core/dialog_service.h"

namespace buildui {

using namespace gui;

namespace {

// The source's page while it is being changed, else null.
db::TDataSet* EditedPage(db::TDataSource* s) {
    db::TDataSet* d = s ? s->DataSet() : nullptr;
    return d && d->IsEditing() ? d : nullptr;
}

}  // namespace

TFootnotesForm::TFootnotesForm(TComponent* owner) : TForm(owner) {
    SetName("FootnotesForm");
    SetCaption("Footnotes");
    HelpContext = kFootnotesHelpContext;
    SetClientSize(520, 224);
    Position = poScreenCenter;
    SetBorderStyle(bsDialog);

    GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 8, 6, 504, 176);
    GroupBox1->SetCaption("Footnotes");
    struct Row {
        db::TDBEdit** edit;
        const char* name;
        const char* mark;
        const char* label;
    };
    const Row rows[] = {
        {&editTopic, "editTopic", "#", "Context String"},
        {&editKeys, "editKeys", "K", "Search keys"},
        {&editB, "editB", "B", "Delphi v1 and v2 footnote"},
        {&editA, "editA", "A", "Delphi v3 footnote"},
        {&editMacro, "editMacro", "!", "Topic Macro"},
    };
    int y = 22;
    int n = 0;
    for (const Row& r : rows) {
        *r.edit = MakeControl<db::TDBEdit>(GroupBox1, this, r.name, 176, y, 316, 22);
        std::string markName = "lblMark" + std::to_string(n), textName = "lblText" + std::to_string(n);
        auto* mark = MakeControl<TLabel>(GroupBox1, this, markName.c_str(), 12, y + 4, 14, 16);
        mark->SetCaption(r.mark);
        auto* text = MakeControl<TLabel>(GroupBox1, this, textName.c_str(), 30, y + 4, 144, 16);
        text->SetCaption(r.label);
        text->SetFocusControl(*r.edit);
        y += 30;
        ++n;
    }

    Button1 = MakeControl<TButton>(this, this, "Button1", 275, 192, 75, 25);
    Button1->SetCaption("&OK");
    Button1->ModalResult = mrOk;
    Button1->OnClick = [this](TObject*) { Button1Click(); };
    Button2 = MakeControl<TButton>(this, this, "Button2", 356, 192, 75, 25);
    Button2->SetCaption("&Cancel");
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button2->OnClick = [this](TObject*) { Button2Click(); };
    Button3 = MakeControl<TButton>(this, this, "Button3", 437, 192, 75, 25);
    Button3->SetCaption("&Help");
    Button3->OnClick = [this](TObject*) { Button3Click(); };
}

TFootnotesForm::~TFootnotesForm() { DoDestroy(); }

void TFootnotesForm::Bind(db::TDataSource* pages) {
    pages_ = pages;
    const std::pair<db::TDBEdit*, const char*> fields[] = {{editTopic, "ContextString"}, {editKeys, "Keys"},
                                                           {editB, "BFootnote"},         {editA, "AFootnote"},
                                                           {editMacro, "MacroFootnote"}};
    for (auto& [edit, field] : fields) {
        edit->SetDataSource(pages);
        edit->SetDataField(field);
    }
}

void TFootnotesForm::Button1Click() {
    db::TDataSet* page = EditedPage(pages_);
    if (!page) return;
    try {
        page->Post();
    } catch (const plat::EAbort&) {
        // A page rule refused and has told why: the dialog stays for a fix.
        SetModalResult(mrNone);
    } catch (const std::exception& e) {
        SetModalResult(mrNone);
        MessageDlg(e.what(), mtError, Buttons({mbOK}));
    }
}

void TFootnotesForm::Button2Click() {
    if (db::TDataSet* page = EditedPage(pages_)) page->Cancel();
}

void TFootnotesForm::Button3Click() {
    if (Application) Application->HelpContext(kFootnotesHelpContext);
}

void ShowFootnotesEditor(db::TDataSource* pages, const std::string& project) {
    if (db::TDataSet* page = EditedPage(pages)) page->Post();
    TFootnotesForm form(Application);
    form.Bind(pages);
    form.SetCaption("Footnotes for " + project);
    form.ShowModal();
}

}  // namespace buildui
