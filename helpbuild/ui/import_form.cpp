#include "helpbuild/ui/import_form.h"

#include "helpbuild/ui/compile_form.h"
#include "project/editor_context.h"
#include "platform/core/files.h"
#include "platform/core/dialog_service.h"

namespace buildui {

using namespace gui;

namespace {

TLabel* Label(TWinControl* parent, TComponent* owner, const char* name, const char* caption, int x, int y, int w) {
    auto* l = MakeControl<TLabel>(parent, owner, name, x, y, w, 16);
    l->SetCaption(caption);
    return l;
}

// A hint is rich text: navy, small, wrapped in the label's width.
richtext::TJDRichTextLabel* HintLabel(TWinControl* parent, TComponent* owner, const char* name, const char* text,
                                      int y) {
    auto* l = new richtext::TJDRichTextLabel(owner);
    l->SetName(name);
    l->SetParent(parent);
    l->SetBounds(16, y, 428, 34);
    l->SetVisible(false);
    l->SetWordWrap(true);
    l->SetTransparent(true);
    l->SetText(std::string("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0\\blue128;}"
                           "\\f0\\fs16\\cf1 ") +
               text + "}");
    return l;
}

// A control on a hidden page or a form not yet shown cannot take the focus.
void Focus(TWinControl* control) {
    if (control->CanFocus()) control->SetFocus();
}

}  // namespace

TfrmImport::TfrmImport(TComponent* owner, editor::EditorContext& ctx, build::ImportEnvironment env)
    : TForm(owner), ctx_(ctx) {
    SetName("frmImport");
    SetCaption("Tavrin Import Wizard");
    HelpContext = 3200;
    SetClientSize(460, 300);
    Position = poScreenCenter;

    // The progress window's Cancel sets the program's shared cancel request.
    if (!env.createProgress) env.createProgress = CompileFormFactory(&ctx_.CancelRequested);
    if (!env.setCaption)
        env.setCaption = [this](const std::string& c) { SetCaption(c.empty() ? "Tavrin Import Wizard" : c); };
    session_ = std::make_unique<build::ImportSession>(ctx_, std::move(env));

    nbkSteps = MakeControl<TNotebook>(this, this, "nbkSteps", 0, 0, 460, 256);
    nbkSteps->Pages().Clear();  // a notebook starts with a page "Default"
    nbkSteps->Pages().Add("Step1");
    nbkSteps->Pages().Add("Step2");
    TPage* step1 = nbkSteps->Page(0);
    TPage* step2 = nbkSteps->Page(1);

    lblStep1 = Label(step1, this, "lblStep1", "Step 1 of 2 - Select a HLP file", 16, 14, 420);
    lblStep1->Font().SetStyle(fsBold);
    lblHlp = Label(step1, this, "lblHlp", "Decompile and Import a HLP file", 16, 56, 420);
    editHLP = MakeControl<TEdit>(step1, this, "editHLP", 16, 76, 396, 22);
    Button4 = MakeControl<TButton>(step1, this, "Button4", 416, 76, 26, 22);
    Button4->SetCaption("...");
    Button4->OnClick = [this](TObject* s) { Button4Click(s); };
    jdS1HLP = HintLabel(step1, this, "jdS1HLP",
                        "Choose the compiled help file to import. It is converted into a help project, "
                        "which becomes a new Tavrin project.",
                        112);
    Hint(editHLP, jdS1HLP);

    lblStep2 = Label(step2, this, "lblStep2", "Step 2 of 2 - Name the new project", 16, 14, 420);
    lblStep2->Font().SetStyle(fsBold);
    pnlHpj = MakeControl<TPanel>(step2, this, "pnlHpj", 16, 230, 100, 22);
    pnlHpj->SetVisible(false);
    editHPJ = MakeControl<TEdit>(pnlHpj, this, "editHPJ", 0, 0, 100, 22);
    const int lx = 16, ex = 140, ew = 272;
    lblNewApp = Label(step2, this, "lblNewApp", "N&ew Project Name :", lx, 48, 120);
    editNewApp = MakeControl<TEdit>(step2, this, "editNewApp", ex, 45, ew, 22);
    lblFilename = Label(step2, this, "lblFilename", "File name :", lx, 76, 120);
    editFilename = MakeControl<TEdit>(step2, this, "editFilename", ex, 73, ew, 22);
    lblHelpTitle = Label(step2, this, "lblHelpTitle", "Help Title :", lx, 104, 120);
    editHelpTitle = MakeControl<TEdit>(step2, this, "editHelpTitle", ex, 101, ew, 22);
    lblDirectory = Label(step2, this, "lblDirectory", "Project directory :", lx, 132, 120);
    editDirectory = MakeControl<TEdit>(step2, this, "editDirectory", ex, 129, ew, 22);
    Button6 = MakeControl<TButton>(step2, this, "Button6", ex + ew + 4, 129, 26, 22);
    Button6->SetCaption("...");
    Button6->OnClick = [this](TObject* s) { Button6Click(s); };
    lblGraphics = Label(step2, this, "lblGraphics", "Graphics directory :", lx, 160, 120);
    editGraphicsDir = MakeControl<TEdit>(step2, this, "editGraphicsDir", ex, 157, ew, 22);
    btnGraphics = MakeControl<TButton>(step2, this, "btnGraphics", ex + ew + 4, 157, 26, 22);
    btnGraphics->SetCaption("...");
    btnGraphics->OnClick = [this](TObject* s) { btnGraphicsClick(s); };
    editCopyright = MakeControl<TEdit>(step2, this, "editCopyright", 120, 230, 100, 22);
    editCopyright->SetVisible(false);
    xboxConvert = MakeControl<TCheckBox>(step2, this, "xboxConvert", 230, 230, 140, 17);
    xboxConvert->SetCaption("Con&vert Jumps?");
    xboxConvert->SetVisible(false);
    jdS2projectName = HintLabel(step2, this, "jdS2projectName",
                                "A unique name of up to 25 characters for the new project.", 190);
    jdS2Filename = HintLabel(step2, this, "jdS2Filename",
                             "The name of the help file that a build of this project makes.", 190);
    jdS2HelpTitle = HintLabel(step2, this, "jdS2HelpTitle", "The title the help viewer shows for this help file.", 190);
    jdS2ProjectDir = HintLabel(step2, this, "jdS2ProjectDir",
                               "The folder of the project's files; it is made when it does not exist.", 190);
    jdS2GraphicsDir = HintLabel(step2, this, "jdS2GraphicsDir",
                                "The folder that receives the pictures of the help file.", 190);
    jdS2Finish = HintLabel(step2, this, "jdS2Finish", "Importing the help file. Please wait...", 190);
    Hint(editNewApp, jdS2projectName);
    Hint(editFilename, jdS2Filename);
    Hint(editHelpTitle, jdS2HelpTitle);
    Hint(editDirectory, jdS2ProjectDir);
    Hint(editGraphicsDir, jdS2GraphicsDir);

    Button1 = MakeControl<TButton>(this, this, "Button1", 130, 266, 75, 25);
    Button1->SetCaption("&Cancel");
    Button1->Cancel = true;
    Button1->ModalResult = mrCancel;
    btnPrev = MakeControl<TButton>(this, this, "btnPrev", 211, 266, 75, 25);
    btnPrev->SetCaption("&Prev");
    btnPrev->OnClick = [this](TObject* s) { btnPrevClick(s); };
    btnNext = MakeControl<TButton>(this, this, "btnNext", 292, 266, 75, 25);
    btnNext->SetCaption("&Next");
    btnNext->Default = true;
    btnNext->OnClick = [this](TObject* s) { btnNextClick(s); };
    btnFinish = MakeControl<TButton>(this, this, "btnFinish", 373, 266, 75, 25);
    btnFinish->SetCaption("&Finish");
    btnFinish->OnClick = [this](TObject* s) { btnFinishClick(s); };

    dlgHlp = new TOpenDialog(this);
    dlgHlp->SetName("dlgHlp");
    dlgHlp->Filter = "Help Files|*.hlp";
    dlgHlp->DefaultExt = "hlp";

    SelectDirectory = [](std::string& dir) { return InputQuery("Select Directory", "Directory :", dir); };
    OnShow = [this](TObject* s) { FormShow(s); };
    SetBorderStyle(bsDialog);
    ShowStep(0);
    SetActiveControl(editHLP);
}

TfrmImport::~TfrmImport() = default;

void TfrmImport::Hint(TWinControl* control, richtext::TJDRichTextLabel* hint) {
    control->OnEnter = [hint](TObject*) { hint->SetVisible(true); };
    control->OnExit = [hint](TObject*) { hint->SetVisible(false); };
}

void TfrmImport::ShowStep(int step) {
    nbkSteps->SetActivePage(step == 0 ? "Step1" : "Step2");
    btnPrev->SetEnabled(false);
    btnNext->SetEnabled(step == 0);
    btnFinish->SetEnabled(step == 1);
}

void TfrmImport::FormShow(TObject*) {
    ShowStep(0);
    xboxConvert->SetChecked(true);
    Focus(editHLP);
    // The focus given while the form opens raises no enter event: its hint is shown here.
    jdS1HLP->SetVisible(editHLP->CanFocus());
}

build::ImportFields TfrmImport::Fields() const {
    build::ImportFields f;
    f.helpFile = editHLP->Text();
    f.hpjPath = editHPJ->Text();
    f.application = editNewApp->Text();
    f.fileName = editFilename->Text();
    f.helpTitle = editHelpTitle->Text();
    f.directory = editDirectory->Text();
    f.graphicsDir = editGraphicsDir->Text();
    f.copyright = editCopyright->Text();
    f.convertJumps = xboxConvert->Checked();
    return f;
}

void TfrmImport::btnNextClick(TObject*) {
    build::ImportFields f = Fields();
    f.graphicsDir.clear();  // proposed again for the new help file
    if (!session_->ConvertHelpFile(f)) {
        Focus(editHLP);
        return;
    }
    editHPJ->SetText(f.hpjPath);
    editFilename->SetText(f.fileName);
    editHelpTitle->SetText(f.helpTitle);
    editDirectory->SetText(f.directory);
    editGraphicsDir->SetText(f.graphicsDir);
    editCopyright->SetText(f.copyright);
    lblGraphics->Font().SetColor(clNavy);
    ShowStep(1);
    Focus(editNewApp);
}

void TfrmImport::btnPrevClick(TObject*) {
    nbkSteps->SetActivePage("Step1");
    btnNext->SetEnabled(true);
    btnPrev->SetEnabled(false);
    btnFinish->SetEnabled(false);
    Focus(editHLP);
}

void TfrmImport::btnFinishClick(TObject*) {
    jdS2Finish->SetVisible(true);
    imported_ = session_->Finish(Fields());
    jdS2Finish->SetVisible(false);
    if (imported_) {
        // The converted files are gone with the temporary folder: another
        // import starts again at step 1.
        editHPJ->SetText("");
        btnFinish->SetEnabled(false);
        btnPrev->SetEnabled(true);
        Button1->SetCaption("&Close");
    } else if (!plat::FileExists(editHPJ->Text())) {
        // The import had started and took the converted files with it.
        editHPJ->SetText("");
        btnFinish->SetEnabled(false);
        btnPrev->SetEnabled(true);
    } else {
        Focus(editNewApp);
    }
}

void TfrmImport::Button4Click(TObject*) {
    if (dlgHlp->Execute()) editHLP->SetText(dlgHlp->FileName);
}

void TfrmImport::Button6Click(TObject*) {
    std::string dir = editDirectory->Text();
    if (SelectDirectory && SelectDirectory(dir)) editDirectory->SetText(dir);
}

void TfrmImport::btnGraphicsClick(TObject*) {
    std::string dir = editGraphicsDir->Text();
    if (SelectDirectory && SelectDirectory(dir)) editGraphicsDir->SetText(dir);
}

}  // namespace buildui
