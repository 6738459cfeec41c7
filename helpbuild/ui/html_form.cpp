#include "helpbuild/ui/html_form.h"

#include "helpbuild/build_driver.h"
#include "helpbuild/ui/compile_form.h"
#include "project/helpers.h"
#include "project/settings.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/printer.h"

namespace buildui {

using namespace gui;

namespace {

TLabel* Label(TWinControl* parent, TComponent* owner, const char* name, const char* text, int x, int y, int w) {
    auto* l = MakeControl<TLabel>(parent, owner, name, x, y, w, 16);
    l->SetCaption(text);
    return l;
}

TLabel* HintLabel(TWinControl* parent, TComponent* owner, const char* name, const char* text, int y, int x = 12) {
    auto* l = MakeControl<TLabel>(parent, owner, name, x, y, 452 - x, 46);
    l->SetWordWrap(true);
    l->SetCaption(text);
    l->SetVisible(false);
    return l;
}

bool Yes(const std::string& caption, const std::string& text) {
    return gui::MessageBox(text, caption, MB_YESNO) == IDYES;
}

// The log on the printer, one line under the other, a new page when full.
void PrintText(const std::string& text) {
    TPrinter* p = Printer();
    p->Title = "Conversion Log";
    p->BeginDoc();
    TCanvas& c = p->Canvas();
    const int line = std::max(1, c.TextHeight("Xg") + 2);
    int y = line * 2;
    for (const std::string& l : editor::SplitToStrings(text, "\r\n")) {
        if (y + line > p->PageHeight() - line * 2) {
            p->NewPage();
            y = line * 2;
        }
        c.TextOut(line * 2, y, l);
        y += line;
    }
    p->EndDoc();
}

}  // namespace

// --- the page grid ----------------------------------------------------------------

void THtmlPageGrid::ShowExportColumns(db::TDataSet* t) {
    if (!t->Active()) return;
    for (int i = 0; i < t->FieldCount(); ++i) t->Fields(i)->Visible = false;
    struct Column {
        const char* field;
        const char* title;
        bool readOnly;
        int width;
    };
    // Widths in characters of the grid's font, so all three fit its width.
    const Column columns[] = {{"ContextString", "Htm Filename", false, 18},
                              {"Title", "Title", true, 28},
                              {"HelpId", "HelpID", true, 7}};
    int index = 0;
    for (const Column& c : columns) {
        db::TField* f = t->FieldByName(c.field);
        f->Visible = true;
        f->DisplayLabel = c.title;
        f->ReadOnly = c.readOnly;
        f->SetDisplayWidth(c.width);
        f->SetIndex(index++);
    }
    SetDataSource(nullptr);
}

void THtmlPageGrid::DoCalcCellColors(db::TField* Field, TGridDrawState State, bool Highlight, TFont& AFont,
                                     TBrush& ABrush) {
    vl::TvlDBGrid::DoCalcCellColors(Field, State, Highlight, AFont, ABrush);
    if (Field && (Field->FieldName == "Title" || Field->FieldName == "HelpId")) {
        ABrush.SetColor(0xC0C0C0);
        AFont.SetColor(0x000000);
    }
}

// --- the wizard -----------------------------------------------------------------------

TfrmHtml::TfrmHtml(TComponent* owner, editor::EditorContext& context)
    : TForm(owner), ctx_(context), export_(std::make_unique<build::TableHtmlExport>(context)) {
    SetName("frmHtml");
    SetCaption("Tavrin to HTML Wizard");
    SetClientSize(468, 366);
    Position = poScreenCenter;

    nbkSteps = MakeControl<TNotebook>(this, this, "nbkSteps", 0, 0, 468, 318);
    nbkSteps->Pages().Clear();
    nbkSteps->Pages().Add("Step1");
    nbkSteps->Pages().Add("Step2");
    nbkSteps->Pages().Add("Step3");
    TPage* s1 = nbkSteps->Page(0);
    TPage* s2 = nbkSteps->Page(1);
    TPage* s3 = nbkSteps->Page(2);

    // Step 1: the export's details.
    Label(s1, this, "lblProject", "Tavrin Project :", 12, 16, 160);
    fldProject = MakeControl<TComboBox>(s1, this, "fldProject", 180, 12, 270, 22);
    fldProject->SetStyle(csDropDownList);
    Label(s1, this, "lblDirectory", "HTML Output directory :", 12, 50, 160);
    editDirectory = MakeControl<TEdit>(s1, this, "editDirectory", 180, 46, 244, 22);
    btnDirectory = MakeControl<TButton>(s1, this, "btnDirectory", 428, 46, 22, 22);
    btnDirectory->SetCaption("...");
    Label(s1, this, "lblGraphicsDir", "Graphics Output diirectory :", 12, 84, 160);
    editGraphicsDir = MakeControl<TEdit>(s1, this, "editGraphicsDir", 180, 80, 244, 22);
    btnGraphicsDir = MakeControl<TButton>(s1, this, "btnGraphicsDir", 428, 80, 22, 22);
    btnGraphicsDir->SetCaption("...");
    Label(s1, this, "lblBackground", "Background Image :", 12, 118, 160);
    editBackground = MakeControl<TEdit>(s1, this, "editBackground", 180, 114, 244, 22);
    btnBackground = MakeControl<TButton>(s1, this, "btnBackground", 428, 114, 22, 22);
    btnBackground->SetCaption("...");
    rgpHtmFilenames = MakeControl<TRadioGroup>(s1, this, "rgpHtmFilenames", 12, 148, 230, 72);
    rgpHtmFilenames->SetCaption("Htm file names");
    rgpHtmFilenames->Items().Add("Use Long names");
    rgpHtmFilenames->Items().Add("Use Short names");
    radIgnorePopups = MakeControl<TCheckBox>(s1, this, "radIgnorePopups", 260, 160, 180, 17);
    radIgnorePopups->SetCaption(" Ignore Popups");
    jdS1Project = HintLabel(s1, this, "jdS1Project", "Choose the Tavrin project whose pages become HTML pages.", 236);
    jdS1Directory = HintLabel(s1, this, "jdS1Directory",
                              "The folder that receives Index.htm and one .htm file for every further page.", 236);
    jdS1GraphicsDir = HintLabel(s1, this, "jdS1GraphicsDir",
                                "The folder that receives the pictures of the pages, converted to GIF files.", 236);
    jdS1Background = HintLabel(s1, this, "jdS1Background",
                               "A picture shown behind every page; leave it empty for the project's colour alone.", 236);
    jdS1HtmlFilenames = HintLabel(s1, this, "jdS1HtmlFilenames",
                                  "Short names keep every file name to 8 characters; long names keep context strings whole.",
                                  236);
    jdS1IgnorePopups = HintLabel(s1, this, "jdS1IgnorePopups",
                                 "Leave popup pages out; links to them are listed in the log.", 236);
    btnDirectory->OnClick = [this](TObject*) {
        std::string d = selectDirectory ? selectDirectory(editDirectory->Text()) : std::string();
        if (!d.empty()) editDirectory->SetText(d);
    };
    btnGraphicsDir->OnClick = [this](TObject*) {
        std::string d = selectDirectory ? selectDirectory(editGraphicsDir->Text()) : std::string();
        if (!d.empty()) editGraphicsDir->SetText(d);
    };
    btnBackground->OnClick = [this](TObject* s) { btnBackgroundClick(s); };
    fldProject->OnChange = [this](TObject* s) { fldProjectChange(s); };

    // Step 2: the pages' file names.
    gridTopics = MakeControl<THtmlPageGrid>(s2, this, "gridTopics", 12, 12, 444, 226);
    Button4 = MakeControl<TButton>(s2, this, "Button4", 12, 246, 75, 25);
    Button4->SetCaption("&Delete");
    Button4->OnClick = [this](TObject* s) { Button4Click(s); };
    jdS2HtmlPages = HintLabel(s2, this, "jdS2HtmlPages",
                              "Each page is written under its file name with \".htm\"; the first is always Index.htm.",
                              250, 100);

    // Step 3: the result.
    Label(s3, this, "lblBrowser", "Display Index.htm using the followng Browser:", 12, 16, 440);
    editBrowser = MakeControl<TEdit>(s3, this, "editBrowser", 12, 40, 412, 22);
    btnBrowser = MakeControl<TButton>(s3, this, "btnBrowser", 428, 40, 22, 22);
    btnBrowser->SetCaption("...");
    btnBrowse = MakeControl<TButton>(s3, this, "btnBrowse", 12, 80, 160, 25);
    btnBrowse->SetCaption("&Browse Web site now");
    btnExit = MakeControl<TButton>(s3, this, "btnExit", 184, 80, 75, 25);
    btnExit->SetCaption("E&xit");
    jdS3Browser = HintLabel(s3, this, "jdS3Browser", "The program that shows the exported pages.", 120);
    btnBrowser->OnClick = [this](TObject* s) { btnBrowserClick(s); };
    btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };
    btnExit->OnClick = [this](TObject*) { Close(); };

    // Bottom buttons.
    btnCancel = MakeControl<TButton>(this, this, "btnCancel", 120, 330, 75, 25);
    btnCancel->SetCaption("&Cancel");
    btnPrev = MakeControl<TButton>(this, this, "btnPrev", 206, 330, 75, 25);
    btnPrev->SetCaption("&Prev");
    btnNext = MakeControl<TButton>(this, this, "btnNext", 286, 330, 75, 25);
    btnNext->SetCaption("&Next");
    btnFinish = MakeControl<TButton>(this, this, "btnFinish", 372, 330, 75, 25);
    btnFinish->SetCaption("&Finish");
    editMapCount = MakeControl<TEdit>(this, this, "editMapCount", 0, 0, 40, 22);
    editMapCount->SetVisible(false);
    editMapCount->SetText("0");
    btnCancel->OnClick = [this](TObject*) { Close(); };
    btnPrev->OnClick = [this](TObject* s) { btnPrevClick(s); };
    btnNext->OnClick = [this](TObject* s) { btnNextClick(s); };
    btnFinish->OnClick = [this](TObject* s) { btnFinishClick(s); };

    Hint(fldProject, jdS1Project);
    Hint(editDirectory, jdS1Directory);
    Hint(editGraphicsDir, jdS1GraphicsDir);
    Hint(editBackground, jdS1Background);
    Hint(rgpHtmFilenames, jdS1HtmlFilenames);
    Hint(radIgnorePopups, jdS1IgnorePopups);
    Hint(gridTopics, jdS2HtmlPages);
    Hint(editBrowser, jdS3Browser);

    createProgress = CompileFormFactory(&ctx_.CancelRequested);
    printLog = PrintText;
    startBrowser = build::StartProgram;
    selectDirectory = [this](const std::string& start) {
        TOpenDialog d(this);
        d.Title = "Select a file in the folder";
        d.InitialDir = start;
        d.Filter = "All files (*.*)|*.*";
        return d.Execute() ? plat::ExtractFileDir(d.FileName) : std::string();
    };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject*, TCloseAction& action) {
        FormClose();
        action = caHide;
    };
}

TfrmHtml::~TfrmHtml() { gridTopics->SetDataSource(nullptr); }

void TfrmHtml::Hint(TWinControl* control, TLabel* label) {
    auto enter = control->OnEnter;
    control->OnEnter = [label, enter](TObject* s) {
        label->SetVisible(true);
        if (enter) enter(s);
    };
    auto exit = control->OnExit;
    control->OnExit = [label, exit](TObject* s) {
        label->SetVisible(false);
        if (exit) exit(s);
    };
}

std::unique_ptr<build::IProgress> TfrmHtml::Wait(const std::string& text) {
    std::unique_ptr<build::IProgress> p = createProgress ? createProgress() : std::make_unique<build::NullProgress>();
    p->SetStatus(text);
    p->Show();
    p->ProcessMessages();
    return p;
}

void TfrmHtml::ShowStep(int index) {
    nbkSteps->SetPageIndex(index);
    btnPrev->SetEnabled(index == 1);
    btnNext->SetEnabled(index == 0);
    btnFinish->SetEnabled(index == 1);
    btnCancel->SetEnabled(index < 2);
}

void TfrmHtml::ResetDirectories() {
    const std::string folder =
        editor::ProjectFolderOrProgramDir(export_->Field("ProjectDir"), ctx_.ProgramDir);
    editDirectory->SetText(plat::DisplayPath(plat::JoinPath(folder, "Html")));
    editGraphicsDir->SetText(plat::DisplayPath(plat::JoinPath(folder, "Html\\Images")));
}

void TfrmHtml::FormShow(TObject*) {
    ShowStep(0);
    fldProject->Items().Clear();
    for (const std::string& name : export_->ProjectNames()) fldProject->Items().Add(name);
    std::string current;
    if (ctx_.mainTable->Active()) current = ctx_.mainTable->FieldByName("Application")->AsString();
    int at = fldProject->Items().IndexOf(current);
    fldProject->SetItemIndex(at >= 0 ? at : (fldProject->Items().Count() > 0 ? 0 : -1));
    if (fldProject->ItemIndex() >= 0) export_->SelectProject(fldProject->Items()[fldProject->ItemIndex()]);
    ResetDirectories();
    rgpHtmFilenames->SetItemIndex(ctx_.Settings.kqIniSettings.HtmlUseLongNames ? 0 : 1);
    plat::TIniFile ini(editor::ProgramIniPath(ctx_.ProgramDir));
    std::string browser = ini.ReadString("Paths", "Browser", "");
    editBrowser->SetText(browser.empty() ? build::kDefaultBrowser : browser);
    std::string background = ini.ReadString("Paths", "BrowserBackground", "");
    editBackground->SetText(background.empty() ? plat::DisplayPath(build::DefaultHtmlBackground(ctx_.ProgramDir))
                                               : background);
}

void TfrmHtml::FormClose() {
    plat::TIniFile ini(editor::ProgramIniPath(ctx_.ProgramDir));
    ini.WriteString("Paths", "Browser", editBrowser->Text());
    ini.WriteString("Paths", "BrowserBackground", editBackground->Text());
}

void TfrmHtml::fldProjectChange(TObject*) {
    if (fldProject->ItemIndex() < 0) return;
    export_->SelectProject(fldProject->Items()[fldProject->ItemIndex()]);
    ResetDirectories();
}

void TfrmHtml::btnNextClick(TObject*) {
    if (fldProject->ItemIndex() < 0) return;
    export_->SelectProject(fldProject->Items()[fldProject->ItemIndex()]);
    switch (build::CheckHtmlExportDirs(editDirectory->Text(), editGraphicsDir->Text())) {
    case build::HtmlDirProblem::OutputDir: editDirectory->SetFocus(); return;
    case build::HtmlDirProblem::GraphicsDir: editGraphicsDir->SetFocus(); return;
    default: break;
    }
    const std::string background = editBackground->Text();
    if (!background.empty() && !plat::FileExists(background)) {
        build::ShowWarning("Warning", "The Background file does not exist. Please check it or use the elipsis button "
                                      "on the right of the field.");
        editBackground->SetFocus();
        return;
    }
    bool assign = true;
    if (export_->ExportTableOpen() &&
        !Yes("Refresh Information?",
             "You have already gone to Step 2. You can decide now to refresh the information based on any changes to "
             "Step1, however, if you have entered any filenames manually they will be overwritten. Do you wish to "
             "refresh?"))
        assign = false;
    if (assign) {
        std::unique_ptr<build::IProgress> wait = Wait("Extracting...");
        wait->SetStatus("Assigning names...");
        export_->AssignHtmlFileNames(rgpHtmFilenames->ItemIndex() == 0, radIgnorePopups->Checked());
        wait.reset();
        gridTopics->ShowExportColumns(export_->tblHtml);
        gridTopics->SetDataSource(export_->srcHtml);
    }
    ShowStep(1);
    if (gridTopics->CanFocus()) gridTopics->SetFocus();
}

void TfrmHtml::btnPrevClick(TObject*) { ShowStep(0); }

void TfrmHtml::btnFinishClick(TObject*) {
    ctx_.Settings.kqIniSettings.HtmlUseLongNames = rgpHtmFilenames->ItemIndex() == 0;
    editMapCount->SetText("0");
    gridTopics->SetEnabled(false);
    const bool valid = export_->ValidateHtmlFileNames();
    gridTopics->SetEnabled(true);
    if (!valid) {
        if (gridTopics->CanFocus()) gridTopics->SetFocus();
        return;
    }
    const std::string out = editDirectory->Text(), gifs = editGraphicsDir->Text();
    for (const std::string& dir : {out, gifs}) {
        if (!plat::DirectoryExists(dir)) {
            build::ShowWarning("Warning", "Could not create directory \"" + dir + "\"");
            return;
        }
    }
    build::HtmlExportOptions o;
    o.project = export_->Field("Application");
    o.outputDir = out;
    o.gifDir = gifs;
    o.projectFolder = editor::ProjectFolderOrProgramDir(export_->Field("ProjectDir"), ctx_.ProgramDir);
    o.pictureFolder = editor::ProjectFolder(export_->Field("GraphicsDir"), ctx_.ProgramDir);
    // The colour of the main window's current project, as the views show it.
    db::TField* colour = ctx_.mainTable->Active() ? ctx_.mainTable->FindField("ScrollColor") : nullptr;
    o.scrollColor = colour && !colour->IsNull() ? static_cast<std::uint32_t>(colour->AsInteger()) : 0xFFFFFF;

    const std::string background = editBackground->Text();
    if (!background.empty()) {
        const std::string name = plat::ExtractFileName(background);
        const std::string inOut = plat::JoinPath(out, name);
        const bool already = plat::CompareAnsi(plat::ExpandFileName(plat::ExtractFileDir(background)),
                                               plat::ExpandFileName(out), true) == 0;
        if (!already && !editor::CopyFileByStream(background, inOut)) {
            build::ShowWarning("Warning", "The Background file could not be copied to \"" + out + "\".");
            return;
        }
        // Named as the file is, so the page finds it on a case-sensitive disk.
        o.background = name;
    }
    backgroundName_ = o.background;

    std::unique_ptr<build::IProgress> wait = Wait("Index.htm...");
    if (plat::FileExists(plat::JoinPath(out, "Index.htm")) &&
        !Yes("Html Files Exist!",
             "You already have Htm files in your output directory. Do you wish to overwrite them?"))
        return;
    build::HtmlExportResult r = build::ExportHtmlPages(*export_, o, *wait, log_);
    // A cancelled export must not cancel the next long operation as well.
    if (r.outcome == build::HtmlExportOutcome::Cancelled) wait->ClearCancel();
    wait.reset();
    editMapCount->SetText("0");
    if (r.outcome == build::HtmlExportOutcome::Failed) {
        build::ShowWarning("Warning", r.error);
        return;
    }
    if (r.outcome == build::HtmlExportOutcome::Cancelled) return;
    if (log_.HasProblems() &&
        Yes("Print Export Log?",
            "There were links which Jump Integrity could not resolve OR Graphics that could not be converted. These "
            "are probably due to external references that cannot be seen or deleted pages. Do you wish to print the "
            "log now?") &&
        printLog)
        printLog(log_.Text());
    ShowStep(2);
    btnPrev->SetEnabled(false);
    btnFinish->SetEnabled(false);
    btnCancel->SetEnabled(false);
    if (btnBrowse->CanFocus()) btnBrowse->SetFocus();
}

void TfrmHtml::btnBrowseClick(TObject*) {
    const std::string browser = editBrowser->Text();
    if (browser.empty()) {
        build::ShowWarning("No browser specified",
                           "To specify a broswer, click on the elipsis button on the right of the browser field.");
        return;
    }
    if (!build::BrowserExists(browser)) {
        build::ShowWarning("Warning", "This browser could not be found. Please check the name or use the elipsis "
                                      "button on the right of the field to help you locate the right name.");
        return;
    }
    const std::string index = plat::NativePath(plat::JoinPath(editDirectory->Text(), "Index.htm"));
    if (startBrowser) startBrowser({browser, index});
    Close();
}

void TfrmHtml::btnBackgroundClick(TObject*) {
    TOpenDialog d(this);
    d.Title = "Select Background Image";
    d.Filter = "All|*.GIF;*.JPG;*.PNG";
    d.FileName = editBackground->Text();
    d.InitialDir = plat::ExtractFileDir(editBackground->Text());
    if (d.Execute()) editBackground->SetText(d.FileName);
}

void TfrmHtml::btnBrowserClick(TObject*) {
    TOpenDialog d(this);
    d.Filter = "Browsers (*.EXE)|*.EXE|All files (*.*)|*.*";
    d.DefaultExt = "EXE";
    d.FileName = editBrowser->Text();
    if (d.Execute()) editBrowser->SetText(d.FileName);
}

void TfrmHtml::Button4Click(TObject*) { export_->DeleteCurrentPage(); }

}  // namespace buildui
