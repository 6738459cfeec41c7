#include "editor/forms/tool_forms.h"

#include "helpbuild/ui/compile_form.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace editor {

using namespace gui;

namespace {

template <class T>
T* Captioned(TWinControl* parent, TComponent* owner, const char* name, const char* caption, int x, int y, int w,
             int h) {
    T* c = MakeControl<T>(parent, owner, name, x, y, w, h);
    c->SetCaption(caption);
    return c;
}

}  // namespace

TfrmDoc::TfrmDoc(TComponent* owner) : TForm(owner) {
    SetName("frmDoc");
    SetCaption("Generate User RTF Document");
    SetClientSize(330, 300);
    Position = poScreenCenter;
    cbPageBreaks = Captioned<TCheckBox>(this, this, "cbPageBreaks", "&Create Page Breaks", 16, 12, 200, 17);
    cbIndex = Captioned<TCheckBox>(this, this, "cbIndex", "&Generate an Index", 16, 34, 200, 17);
    cbToc = Captioned<TCheckBox>(this, this, "cbToc", "Create &Table of Contents", 16, 56, 200, 17);
    grpJumps = Captioned<TGroupBox>(this, this, "grpJumps", "Appearance of Jumps", 8, 84, 314, 90);
    rbRemoveUnderlines = Captioned<TRadioButton>(grpJumps, this, "rbRemoveUnderlines", "Remove Underlines", 14, 20, 200, 17);
    rbAddPageLinks = Captioned<TRadioButton>(grpJumps, this, "rbAddPageLinks", "Add Page Links", 14, 42, 200, 17);
    rbRetainStyle = Captioned<TRadioButton>(grpJumps, this, "rbRetainStyle", "Retain WinHelp Style", 14, 64, 200, 17);
    grpGraphics = Captioned<TGroupBox>(this, this, "grpGraphics", "Appearance of Graphics", 8, 182, 314, 68);
    rbGraphicsIn = Captioned<TRadioButton>(grpGraphics, this, "rbGraphicsIn", "Include within a Single File", 14, 20, 220, 17);
    rbGraphicsOut = Captioned<TRadioButton>(grpGraphics, this, "rbGraphicsOut", "Leave Graphics Outside", 14, 42, 220, 17);
    btnOK = Captioned<TButton>(this, this, "btnOK", "&OK", 160, 264, 75, 25);
    btnOK->Default = true;
    btnOK->OnClick = [this](TObject*) { SetModalResult(mrOk); };
    btnCancel = Captioned<TButton>(this, this, "btnCancel", "&Cancel", 246, 264, 75, 25);
    btnCancel->Cancel = true;
    btnCancel->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
    SetBorderStyle(bsDialog);
    Load(RtfDocumentOptions{});
}

void TfrmDoc::Load(const RtfDocumentOptions& o) {
    cbPageBreaks->SetChecked(o.createPageBreaks);
    cbIndex->SetChecked(o.generateIndex);
    cbToc->SetChecked(o.createToc);
    if (o.removeUnderlines)
        rbRemoveUnderlines->SetChecked(true);
    else if (o.addPageLinks)
        rbAddPageLinks->SetChecked(true);
    else
        rbRetainStyle->SetChecked(true);
    (o.graphicsIn ? rbGraphicsIn : rbGraphicsOut)->SetChecked(true);
}

RtfDocumentOptions TfrmDoc::Choices() const {
    RtfDocumentOptions o;
    o.createPageBreaks = cbPageBreaks->Checked();
    o.generateIndex = cbIndex->Checked();
    o.createToc = cbToc->Checked();
    o.removeUnderlines = rbRemoveUnderlines->Checked();
    o.addPageLinks = rbAddPageLinks->Checked();
    o.retainWinHelpStyle = rbRetainStyle->Checked();
    o.graphicsIn = rbGraphicsIn->Checked();
    return o;
}

TCopyToForm::TCopyToForm(TComponent* owner) : TForm(owner) {
    SetName("CopyToForm");
    SetCaption("Copy Help File to");
    SetClientSize(360, 130);
    Position = poScreenCenter;
    lblHeading = Captioned<TLabel>(this, this, "lblHeading", "Copy to", 12, 12, 330, 16);
    edtPath = MakeControl<TEdit>(this, this, "edtPath", 12, 34, 300, 22);
    edtPath->OnKeyPress = [this](TObject*, char& key) {
        if (key == '\r') {
            key = 0;
            Button1Click(Button1);
        }
    };
    btnBrowse = Captioned<TButton>(this, this, "btnBrowse", "...", 318, 34, 28, 22);
    btnBrowse->OnClick = [this](TObject* s) { BrowseClick(s); };
    cbOverwrite = Captioned<TCheckBox>(this, this, "cbOverwrite", " Overwrite?", 12, 64, 150, 17);
    Button1 = Captioned<TButton>(this, this, "Button1", "&OK", 186, 96, 75, 25);
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2 = Captioned<TButton>(this, this, "Button2", "&Cancel", 270, 96, 75, 25);
    Button2->Cancel = true;
    Button2->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
    SaveDialog1 = new TSaveDialog(this);
    SaveDialog1->SetName("SaveDialog1");
    SaveDialog1->Filter = "Help files (*.hlp)|*.HLP|All files (*.*)|*.*";
    SaveDialog1->DefaultExt = "HLP";
    SetBorderStyle(bsDialog);
}

void TCopyToForm::Load(const CopyToState& s) {
    lblHeading->SetCaption(s.heading);
    edtPath->SetText(s.path);
    cbOverwrite->SetVisible(s.overwriteVisible);
    cbOverwrite->SetChecked(s.overwrite);
    // The remembered target may be a folder or the file last copied to.
    SaveDialog1->InitialDir = s.proposedFolder.empty() || plat::DirectoryExists(s.proposedFolder)
                                  ? s.proposedFolder
                                  : plat::ExtractFileDir(s.proposedFolder);
    SaveDialog1->FileName = s.proposedName;
}

void TCopyToForm::Store(CopyToState& s) const {
    s.path = edtPath->Text();
    s.overwrite = cbOverwrite->Checked();
}

void TCopyToForm::BrowseClick(TObject*) {
    if (SaveDialog1->Execute()) edtPath->SetText(SaveDialog1->FileName);
}

void TCopyToForm::Button1Click(TObject*) {
    bool overwrite = cbOverwrite->Checked();
    if (!CopyToAccepted(edtPath->Text(), overwrite)) return;
    cbOverwrite->SetChecked(overwrite);
    SetModalResult(mrOk);
}

ToolUi MakeToolUi(EditorContext& ctx, std::function<void(const std::string&)> setStatusText) {
    ToolUi ui;
    ui.showDocDialog = [](RtfDocumentOptions& o) {
        TfrmDoc form(Application);
        form.Load(o);
        if (form.ShowModal() != mrOk) return false;
        o = form.Choices();
        return true;
    };
    ui.showCopyToDialog = [](CopyToState& s) {
        TCopyToForm form(Application);
        form.Load(s);
        if (form.ShowModal() != mrOk) return false;
        form.Store(s);
        return true;
    };
    ui.chooseKwgen = [](std::string& path) {
        TOpenDialog dlg(nullptr);
        dlg.SetName("dlgKwgen");
        dlg.Title = "Finding kwgen.exe";
        dlg.FileName = path;
        dlg.Filter = "kwgen.exe|kwgen.exe";
        dlg.DefaultExt = "exe";
        if (!dlg.Execute()) return false;
        path = dlg.FileName;
        return true;
    };
    ui.createProgress = buildui::CompileFormFactory(&ctx.CancelRequested);
    ui.setStatusText = std::move(setStatusText);
    return ui;
}

}  // namespace editor
