#include "helpbuild/ui/compile_options_form.h"

#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"

namespace buildui {

using namespace gui;

namespace {

}  // namespace

TCheckBox* TfrmCompile::Check(TWinControl* parent, const char* name, const char* caption, int x, int y, int w) {
    auto* box = MakeControl<TCheckBox>(parent, this, name, x, y, w, 17);
    box->SetCaption(caption);
    return box;
}

TfrmCompile::TfrmCompile(TComponent* owner, ICompileOptionsData& data) : TForm(owner), data_(data) {
    SetName("frmCompile");
    SetCaption("Compile Options");
    SetClientSize(330, 288);
    Position = poScreenCenter;

    grpCompile = MakeControl<TGroupBox>(this, this, "grpCompile", 8, 6, 314, 48);
    grpCompile->SetCaption("Com&pile for Windows version");
    xboxCompile16bit = MakeControl<TRadioButton>(grpCompile, this, "xboxCompile16bit", 16, 20, 90, 17);
    xboxCompile16bit->SetCaption(" 3.x");
    xboxCompile32bit = MakeControl<TRadioButton>(grpCompile, this, "xboxCompile32bit", 120, 20, 150, 17);
    xboxCompile32bit->SetCaption(" Win95 and NT");
    xboxCompile16bit->OnClick = [this](TObject* s) { xboxCompile16bitClick(s); };
    xboxCompile32bit->OnClick = [this](TObject* s) { xboxCompile16bitClick(s); };

    grpNames = MakeControl<TGroupBox>(this, this, "grpNames", 8, 58, 314, 52);
    grpNames->SetCaption("File &names");
    lbl16 = MakeControl<TLabel>(grpNames, this, "lbl16", 12, 24, 40, 15);
    lbl16->SetCaption("16bit:");
    edit16FN = MakeControl<TEdit>(grpNames, this, "edit16FN", 52, 20, 96, 22);
    lbl32 = MakeControl<TLabel>(grpNames, this, "lbl32", 160, 24, 40, 15);
    lbl32->SetCaption("32bit:");
    edit32FN = MakeControl<TEdit>(grpNames, this, "edit32FN", 200, 20, 104, 22);
    edit16FN->OnChange = [this](TObject*) {
        if (!loading_) data_.EditField("16bitName", edit16FN->Text());
    };
    edit32FN->OnChange = [this](TObject*) {
        if (!loading_) data_.EditField("DosName", edit32FN->Text());
    };

    grpFilters = MakeControl<TGroupBox>(this, this, "grpFilters", 8, 114, 314, 52);
    grpFilters->SetCaption("&Filters");
    xboxFilter = Check(grpFilters, "xboxFilter", "Compile Using Filters?", 12, 22, 150);
    lblFilter = MakeControl<TLabel>(grpFilters, this, "lblFilter", 166, 24, 84, 15);
    lblFilter->SetCaption("Contents Filter:");
    comboFilter = MakeControl<TComboBox>(grpFilters, this, "comboFilter", 252, 20, 52, 22);
    comboFilter->Items().Add("1");
    comboFilter->Items().Add("2");
    comboFilter->Items().Add("3");
    comboFilter->OnChange = [this](TObject*) {
        if (!loading_) data_.EditField("ContentsFilter", comboFilter->Text());
    };

    grpOptions = MakeControl<TGroupBox>(this, this, "grpOptions", 8, 170, 314, 72);
    grpOptions->SetCaption("Op&tions");
    autoGenerateContents = Check(grpOptions, "autoGenerateContents", " Auto Generate Contents", 12, 22, 156);
    autoGenPRJfile = Check(grpOptions, "autoGenPRJfile", " Auto Generate .HPJ File", 12, 44, 156);
    xboxCNT = Check(grpOptions, "xboxCNT", " Write the CNT file", 172, 22, 136);
    xboxCompress = Check(grpOptions, "xboxCompress", "Compress?", 172, 44, 136);
    xboxFilter->OnClick = [this](TObject*) { FlagClick(xboxFilter, "UseFilteredPagesOnly", "Y", "N"); };
    xboxCompress->OnClick = [this](TObject*) { FlagClick(xboxCompress, "Compress", "HIGH", "OFF"); };
    autoGenerateContents->OnClick = [this](TObject*) {
        FlagClick(autoGenerateContents, "AutogenerateContents", "Y", "N");
    };
    autoGenPRJfile->OnClick = [this](TObject*) { FlagClick(autoGenPRJfile, "AutogeneratePRJfile", "Y", "N"); };
    xboxCNT->OnClick = [this](TObject*) { FlagClick(xboxCNT, "AutoGenerateCntFile", "Y", "N"); };

    Button1 = MakeControl<TButton>(this, this, "Button1", 84, 254, 75, 25);
    Button1->SetCaption("&OK");
    Button1->Default = true;
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2 = MakeControl<TButton>(this, this, "Button2", 166, 254, 75, 25);
    Button2->SetCaption("&Cancel");
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button3 = MakeControl<TButton>(this, this, "Button3", 248, 254, 75, 25);
    Button3->SetCaption("&Help");
    Button3->OnClick = [this](TObject* s) { Button3Click(s); };

    OnShow = [this](TObject* s) { FormShow(s); };
    // Closed without OK: the names and filter typed are dropped, not left in
    // an edit that a later post would save. (Clicked options are already saved.)
    OnClose = [this](TObject*, TCloseAction&) {
        if (ModalResult() != mrOk && data_.Editing()) data_.CancelEdit();
    };
    SetBorderStyle(bsDialog);
}

void TfrmCompile::FormShow(TObject*) {
    loading_ = true;
    const bool sixteen = data_.Field("Compile") == "16";
    (sixteen ? xboxCompile16bit : xboxCompile32bit)->SetChecked(true);
    xboxCompile16bitClick(nullptr);
    edit16FN->SetText(data_.Field("16bitName"));
    edit32FN->SetText(data_.Field("DosName"));
    xboxFilter->SetChecked(data_.Field("UseFilteredPagesOnly") == "Y");
    comboFilter->Items().Clear();
    for (const std::string& line : data_.ContentsFilterHistory()) comboFilter->Items().Add(line);
    comboFilter->SetText(data_.Field("ContentsFilter"));
    xboxCompress->SetChecked(data_.Field("Compress") == "HIGH");
    autoGenerateContents->SetChecked(data_.Field("AutogenerateContents") == "Y");
    autoGenPRJfile->SetChecked(data_.Field("AutogeneratePRJfile") == "Y");
    xboxCNT->SetChecked(data_.Field("AutoGenerateCntFile") == "Y");
    LastContentsFilter = comboFilter->Text();
    loading_ = false;
}

void TfrmCompile::xboxCompile16bitClick(TObject*) {
    const bool sixteen = xboxCompile16bit->Checked();
    for (TControl* c : std::initializer_list<TControl*>{lbl32, edit32FN, lblFilter, comboFilter, xboxCNT})
        c->SetEnabled(!sixteen);
    lbl16->SetEnabled(sixteen);
    edit16FN->SetEnabled(sixteen);
    // Only a user's click changes the project; showing the dialog does not.
    if (!loading_ && (xboxCompile16bit->Focused() || xboxCompile32bit->Focused()))
        SetAndPost("Compile", sixteen ? "16" : "32");
}

void TfrmCompile::FlagClick(TCheckBox* box, const char* field, const char* on, const char* off) {
    if (loading_ || !box->Focused()) return;
    SetAndPost(field, box->Checked() ? on : off);
}

void TfrmCompile::SetAndPost(const std::string& field, const std::string& value) {
    data_.EditField(field, value);
    try {
        data_.Post();
    } catch (...) {
        // The row stays in edit state; OK reports it.
    }
}

void TfrmCompile::Button1Click(TObject*) {
    TEdit* name = xboxCompile16bit->Checked() ? edit16FN : edit32FN;
    if (name->Text().empty()) {
        MessageBox("Please enter the help file name.", "File name", MB_ICONINFORMATION);
        name->SetFocus();
        return;
    }
    try {
        if (data_.Editing()) data_.Post();
    } catch (...) {
        MessageBox("Please check the values you have entered. Tavrin is unable to save your changes.", "Warning",
                   MB_ICONINFORMATION);
        return;
    }
    if (data_.Field("ContentsFilter") != LastContentsFilter) data_.ApplyContentsFilter();
    SetModalResult(mrOk);
}

void TfrmCompile::Button3Click(TObject*) {
    if (!Application) return;
    Application->HelpFile = plat::JoinPath(plat::ProgramDir(), "Tavrin.hlp");
    Application->HelpContext(15400);
}

}  // namespace buildui
