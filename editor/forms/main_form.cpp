#include "editor/forms/main_form.h"

#include <functional>

#include "editor/forms/lifecycle_forms.h"

#include "helpbuild/tables/table_build_project.h"
#include "helpbuild/ui/explorer_view.h"
#include "helpbuild/ui/compile_form.h"
#include "helpbuild/ui/compile_options_form.h"
#include "editor/backup/backup_project.h"
#include "editor/backup/ui/backup_form.h"
#include "editor/forms/tool_forms.h"
#include "editor/forms/main_options.h"
#include "editor/options/ui/filter_forms.h"
#include "editor/options/ui/font_forms.h"
#include "editor/options/ui/options_form.h"
#include "editor/options/ui/prefs_form.h"

#include "editor/forms/main_resources.h"
#include "platform/core/dialog_service.h"
#include "platform/win/message_queue.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/controls/rtf_edit.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <stdexcept>

namespace editor {

plat::StringList MainWindowTips() {
    plat::StringList tips;
    tips.Add("You can press F3  to quickly move from one section of the screen to the other. i.e. from \"HelpId\" "
             "to \"Help text\" to \"Project\".");
    tips.Add("You can press F8 to Compile.");
    tips.Add("You can press F6 for Project Options.");
    return tips;
}

void ShowJumpText(richtext::TJDCustomRtfEdit& editor, long colour) {
    richtext::TCharacterAttr& jump = editor.HyperlinkTextAttr();
    jump.SetTextColor(static_cast<std::uint32_t>(colour));
    jump.SetUseTextColor(true);
    jump.SetUnderline(richtext::TThreeState::tsTRUE);
}

namespace {

gui::TLabel* MakeLabel(gui::TComponent* owner, gui::TWinControl* parent, const std::string& caption, int x, int y,
                       int w) {
    auto* l = new gui::TLabel(owner);
    l->SetParent(parent);
    l->SetBounds(x, y, w, 16);
    l->SetCaption(caption);
    return l;
}

db::TDBEdit* MakeField(gui::TComponent* owner, gui::TWinControl* parent, const std::string& name,
                       db::TDataSource* source, const std::string& field, int x, int y, int w) {
    auto* e = new db::TDBEdit(owner);
    e->SetName(name);
    e->SetParent(parent);
    e->SetBounds(x, y, w, 22);
    e->SetDataSource(source);
    e->SetDataField(field);
    return e;
}

richtext::TJDCustomRtfEdit* MakeEditor(gui::TComponent* owner, gui::TWinControl* parent, const std::string& name) {
    auto* e = new richtext::TJDCustomRtfEdit(owner);
    e->SetName(name);
    e->SetParent(parent);
    return e;
}

richtext::TDBJDRichText* MakePageEditor(gui::TComponent* owner, gui::TWinControl* parent, const std::string& name,
                                        db::TDataSource* source, const std::string& field) {
    auto* e = new richtext::TDBJDRichText(owner);
    e->SetName(name);
    e->SetParent(parent);
    e->SetDataSource(source);
    e->SetDataField(field);
    // A page wider than its pane, or longer, is scrolled to: the text keeps
    // its page width and is never cut off at the pane's edge.
    e->SetScrollBars(gui::ssBoth);
    // Jumps are marked from the start; the project's display settings give
    // the preferred colour later.
    ShowJumpText(*e, 0xFF0000);
    return e;
}

// A formatting bar across the top of `parent`: the font name, size and
// colour lists and the Normal, Bold, Italic, Underline and alignment icons.
richtext::TJDToolBar* MakeFormattingBar(gui::TComponent* owner, gui::TWinControl* parent, const std::string& name) {
    using namespace richtext;
    auto* bar = new TJDToolBar(owner);
    bar->SetName(name);
    bar->SetParent(parent);
    bar->SetAlign(gui::alTop);
    bar->SetBevelOuter(gui::bvNone);
    bar->Setsel_StatusIcons(
        JDSet({SelNormal, SelBold, SelItalic, SelUnder, SelLeft, SelCenter, SelBlock, SelRight}));
    bar->Setsel_ListBoxes(JDSet({SelFontName, SelFontSize, SelFontColor}));
    return bar;
}

TViewGrid* MakeGrid(gui::TComponent* owner, gui::TWinControl* parent, const std::string& name,
                            db::TDataSource* source) {
    auto* g = new TViewGrid(owner);
    g->SetName(name);
    g->SetParent(parent);
    g->SetAlign(gui::alClient);
    g->SetDataSource(source);
    return g;
}

}  // namespace

TForm1::TForm1(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("Form1");
    SetCaption("Tavrin");
    // Small enough for a doubled scale on a small screen, large enough for
    // the project fields and a readable page.
    SetMinimumSize(kMainWindowMinWidth, kMainWindowMinHeight);
    SetBoundsOnScreen(1, 1, 800, 600);
    ctx = new EditorContext(this);

    TipOfTheDay1 = new TTipOfTheDay(this);
    TipOfTheDay1->SetName("TipOfTheDay1");
    TipOfTheDay1->Tips.Assign(MainWindowTips());
    TipOfTheDay1->DialogFont().SetStyle(gui::fsBold);

    BuildMenu();
    BuildStatus();
    BuildProjectFields();
    BuildViews();
    BuildCommands();
    BuildContentsPage();
    WireToolBar();
    WireContentsPage();
    BuildHiddenPageEditors();

    OnCreate = [this](gui::TObject*) { FormCreate(); };
    OnShow = [this](gui::TObject*) { FormShow(); };
    OnCloseQuery = [this](gui::TObject*, bool& canClose) { FormCloseQuery(canClose); };
    OnClose = [this](gui::TObject*, gui::TCloseAction&) { FormClose(); };
}

TForm1::~TForm1() {
    if (gui::Application && gui::Application->OnHint) gui::Application->OnHint = nullptr;
    // The context outlives this window: nothing it calls may reach it now
    // (a table closing below may still post and run its followers).
    ctx->Hooks.LoadExplorerView = {};
    ctx->Hooks.LoadContentsFilterHistory = {};
    ctx->ShowDisplaySettings = {};
    ctx->SyncScreenFonts = {};
    ctx->AfterPaste = {};
    ctx->ShowTipOfTheDayWindow = {};
    ctx->PostDeferredStartup = {};
    ctx->ApplyPageFilterView = {};
    ctx->FocusPageEditor = {};
    Explorer.reset();  // before the tables and the tree it works on
    // The grids' painters read this window's members, which are gone before
    // the controls, and the context's tables may go first: a grid repainted
    // as its panel goes would reach them.
    // Controls resized as their panels go would run handlers of this window,
    // whose members are already gone.
    std::function<void(plat::TComponent*)> quiet = [&](plat::TComponent* owner) {
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            plat::TComponent* c = owner->Components(i);
            if (auto* control = dynamic_cast<gui::TControl*>(c)) control->OnResize = nullptr;
            quiet(c);
        }
    };
    quiet(this);
    pnlMaxSplitter->OnBarPosition = nullptr;
    splitViewSplitter->OnBarPosition = nullptr;
    for (TViewGrid* g : {detailGrid, filterGrid, cntGrid}) {
        g->OnDrawDataCell = nullptr;
        g->OnCalcCellColors = nullptr;
        g->DefaultDrawing = true;
        g->SetDataSource(nullptr);
    }
    DoDestroy();
}

void TForm1::BuildMenu() {
    MainMenu1 = new gui::TMainMenu(this);
    MainMenu1->SetName("MainMenu1");
    auto item = [this](const std::string& name, const std::string& caption) {
        auto* i = new gui::TMenuItem(this);
        i->SetName(name);
        i->SetCaption(caption);
        return i;
    };
    miFile = item("miFile", "&File");
    miExit = item("miExit", "E&xit");
    miExit->OnClick = [this](gui::TObject*) { Close(); };
    BuildCommandMenus();
    miFile->Add(miExit);
    miHelp = item("miHelp", "&Help");
    miShowHints = item("miShowHints", "Show &Hints");
    miShowHints->OnClick = [this](gui::TObject*) {
        SetShowHint(!ShowHint());
        miShowHints->SetChecked(ShowHint());
    };
    miTipOfTheDay = item("miTipOfTheDay", "&Tip of the Day");
    miTipOfTheDay->OnClick = [this](gui::TObject*) {
        TipOfTheDay1->ShowTipsOnStartup = ctx->Settings.ShowTipOfTheDay;
        TipOfTheDay1->Execute();
        ctx->Settings.ShowTipOfTheDay = TipOfTheDay1->ShowTipsOnStartup;
        miTipOfTheDay->SetChecked(ctx->Settings.ShowTipOfTheDay);
    };
    miHelp->Add(miShowHints);
    miHelp->Add(miTipOfTheDay);
    MainMenu1->Items()->Add(miFile);
    MainMenu1->Items()->Add(miCompileMenu);
    MainMenu1->Items()->Add(miTools);
    MainMenu1->Items()->Add(miFilterMenu);
    MainMenu1->Items()->Add(miHelp);
    SetMenu(MainMenu1);
}

void TForm1::BuildCommandMenus() {
    auto item = [this](gui::TMenuItem* parent, const std::string& name, const std::string& caption,
                       std::function<void()> action, gui::TShortCut shortCut = 0, const std::string& hint = "") {
        auto* i = new gui::TMenuItem(this);
        i->SetName(name);
        i->SetCaption(caption);
        i->ShortCut = shortCut;
        i->Hint = hint;
        if (action) i->OnClick = [action](gui::TObject*) { action(); };
        if (parent) parent->Add(i);
        return i;
    };
    auto status = [this](const std::string& text) { StatusPanel->SetCaption(text); };
    miBackup = item(miFile, "miBackup", "&Backups && Restores", [this] { BackupClick(); }, 0,
                    "Displays the Backups and Restores screen");
    miImport = item(miFile, "miImport", "&Import Wizard", [this] {
        if (ImportWizard) ImportWizard();
    });
    miExport = item(miFile, "miExport", "&Export to HTML Wizard", [this] {
        if (!ExportWizard) return;
        gui::Screen->SetCursor(gui::crHourGlass);
        PostPageAndProject(*ctx);
        ExportWizard();
        gui::Screen->SetCursor(gui::crDefault);
    });
    miCompileMenu = item(nullptr, "miCompileMenu", "&Compile", nullptr);
    miCompile = item(miCompileMenu, "miCompile", "Full &Compile", [this] { sbtnCompileClick(true); },
                     gui::ShortCut(0x77, {}), "Compile|Compiles your current Help Project into a .HLP file");
    QuickCompile1 = item(miCompileMenu, "QuickCompile1", "&Quick Compile", [this] { sbtnCompileClick(false); },
                         gui::ShortCut(0x77, gui::ssShift),
                         "Quick Compile|Performs a Full Compile, but does not show the intermediary options screen");
    miRecompile = item(miCompileMenu, "miRecompile", "&Partial Compile", [this] { sbtnPartCompileClick(); },
                       gui::ShortCut(0x76, {}));
    miErrorLog = item(miCompileMenu, "miErrorLog", "View Error &Log", [this] { ShowErrorLog(*ctx); });
    miDelphiKwf = item(miCompileMenu, "miDelphiKwf", "&Generate KWF",
                       [this, status] { GenerateKeywordFile(*ctx, MakeToolUi(*ctx, status)); });
    miTools = item(nullptr, "miTools", "&Tools", nullptr);
    miGenerateUserRtfFile = item(miTools, "miGenerateUserRtfFile", "&Generate User Rtf Document",
                                 [this, status] { ConvertHelpFileToRtf(*ctx, MakeToolUi(*ctx, status)); });
    miCopyTo = item(miTools, "miCopyTo", "&Copy Help File To..",
                    [this, status] { CopyHelpFileTo(*ctx, MakeToolUi(*ctx, status)); });
    miShed = item(miTools, "miShed", "&Shed", [this] { StartShed(*ctx); });
    miPaint = item(miTools, "miPaint", "&Paint package", [this] { StartPaintPackage(*ctx); });
    miWord = item(miTools, "miWord", "&Word Processor", [this] { StartWordProcessor(*ctx); });
    // Project options, preferences and the fonts of the project's pages.
    item(miCompileMenu, "miOptions", "Project &Options", [this] {
        // The focused page editor gets its caret and attribute back afterwards.
        auto* editor = dynamic_cast<richtext::TJDCustomRtfEdit*>(ActiveControl());
        if (editor != HelpText && editor != maxHelpText && editor != FullTitleEditFld) editor = nullptr;
        int caret = 0;
        richtext::TJDCharAttr attr;
        ProjectOptionsCommand(
            *ctx,
            [&] {
                if (!editor) return;
                caret = editor->GetCPPosition();
                editor->GetCurrentAttr(attr);
            },
            [&] {
                if (!editor || caret == 0) return;
                editor->SetCPPosition(caret);
                editor->SetCurrentAttr(attr);
            });
    }, gui::ShortCut(0x75, {}));
    item(miTools, "miGeneralPrefs", "Tavrin &Preferences", [this] {
        miGeneralPrefsClick(*ctx);
        ApplyPreferencesToWindow(*this);
    });
    item(miTools, "miProjectFontRegistry", "Project Fo&nt Registry", [this] { miProjectFontRegistryClick(*ctx); });
    item(miTools, "miSynchFonts", "Synchronize &Font Tables", [this] { miSynchFontsClick(*ctx); });
    item(miTools, "EnforceFormattingPreferences1", "En&force Formatting Preferences",
         [this] { EnforceFormattingPreferences1Click(*ctx); });
    miFilterMenu = item(nullptr, "miFilterMenu", "Fi&lter", nullptr);
    item(miFilterMenu, "FFilter1", "Set &Filter", [this] {
        TfrmFilter dialog(this, *ctx);
        dialog.ShowModal();
    }, 0, "Filter|Displays the Filter screen where you can enter your filter criteria");
    item(miFilterMenu, "ClearFilters1", "&Clear Filters", [this] { ClearPageFilters(*ctx); });
}

CompileHooks TForm1::MakeCompileHooks() {
    CompileHooks hooks;
    hooks.env = build::MakeBuildEnvironment(*ctx);
    hooks.env.createProgress = buildui::CompileFormFactory(&ctx->CancelRequested);
    hooks.env.processMessages = [] { gui::Application->ProcessMessages(); };
    hooks.env.setStatusText = [this](const std::string& text) { StatusPanel->SetCaption(text); };
    hooks.env.showErrorLog = [this] { ShowErrorLog(*ctx); };
    hooks.env.focusControl = [this](const std::string& name) {
        if (auto* c = dynamic_cast<gui::TWinControl*>(FindComponent(name))) c->SetFocus();
    };
    hooks.env.showOptionsDialog = [this] {
        build::TableCompileOptions data(*ctx);
        buildui::TfrmCompile dialog(gui::Application, data);
        return dialog.ShowModal() == gui::mrOk;
    };
    hooks.setBusyCursor = [](bool busy) { gui::Screen->SetCursor(busy ? gui::crHourGlass : gui::crDefault); };
    hooks.detachEditors = [this] {
        jdCFullTitle->SetDataField("");
        jdCHelpText->SetDataField("");
    };
    hooks.reattachEditors = [this] {
        jdCFullTitle->SetDataField("FullTitle");
        jdCHelpText->SetDataField("HelpText");
    };
    hooks.setGraphicsFolder = [this](const std::string& folder) {
        for (richtext::TDBJDRichText* e : {HelpText, maxHelpText, FullTitleEditFld, jdCFullTitle, jdCHelpText})
            e->SetHTMLFilePath(folder);
    };
    return hooks;
}

void TForm1::sbtnCompileClick(bool showOptions) {
    CompileHooks hooks = MakeCompileHooks();
    try {
        FullCompileCommand(*ctx, hooks, showOptions);
    } catch (const std::exception& e) {
        gui::ShowMessage(e.what());
    }
}

void TForm1::sbtnPartCompileClick() {
    CompileHooks hooks = MakeCompileHooks();
    try {
        PartialCompileCommand(*ctx, hooks);
    } catch (const std::exception& e) {
        gui::ShowMessage(e.what());
    }
}

void TForm1::BackupClick() {
    // The archive copies the tables: the page being typed goes in first.
    PostPageAndProject(*ctx);
    backup::BackupUi ui;
    ui.showDialog = [](backup::BackupDialogState& state) { return backupui::ShowBackupDialog(state); };
    ui.createProgress = buildui::CompileFormFactory(&ctx->CancelRequested);
    backup::BackupProject(*ctx, ui);
}

void TForm1::BuildStatus() {
    pnlStatus = new gui::TPanel(this);
    pnlStatus->SetName("pnlStatus");
    pnlStatus->SetParent(this);
    pnlStatus->SetAlign(gui::alBottom);
    pnlStatus->SetHeight(22);
    pnlStatus->SetBevelOuter(gui::bvNone);
    TableStatus = new gui::TPanel(this);
    TableStatus->SetName("TableStatus");
    TableStatus->SetParent(pnlStatus);
    TableStatus->SetAlign(gui::alLeft);
    TableStatus->SetWidth(160);
    TableStatus->SetBevelOuter(gui::bvLowered);
    TableStatus->SetCaption("Browse");
    StatusPanel = new gui::TPanel(this);
    StatusPanel->SetName("StatusPanel");
    StatusPanel->SetParent(pnlStatus);
    StatusPanel->SetAlign(gui::alClient);
    StatusPanel->SetBevelOuter(gui::bvLowered);
    StatusPanel->SetAlignment(gui::taLeftJustify);
}

void TForm1::BuildProjectFields() {
    Panel6 = new gui::TPanel(this);
    Panel6->SetName("Panel6");
    Panel6->SetParent(this);
    Panel6->SetAlign(gui::alTop);
    Panel6->SetHeight(50);
    Panel6->SetBevelOuter(gui::bvNone);
    // Each label's letter takes the keys to its field; the letters of the
    // menus and tabs (File, Tools, ...) are not theirs to take.
    lblApplication = MakeLabel(this, Panel6, "Pro&ject", 8, 4, 170);
    lblDosName = MakeLabel(this, Panel6, "File N&ame", 222, 4, 130);
    lblHelpTitle = MakeLabel(this, Panel6, "Hel&p Title", 360, 4, 200);
    ApplicationFld = MakeField(this, Panel6, "ApplicationFld", ctx->mainSource, "Application", 8, 22, 180);
    sbtnGlance = new gui::TButton(this);
    sbtnGlance->SetName("sbtnGlance");
    sbtnGlance->SetParent(Panel6);
    sbtnGlance->SetBounds(190, 22, 24, 22);
    sbtnGlance->SetCaption("...");
    DosNameFld = MakeField(this, Panel6, "DosNameFld", ctx->mainSource, "DosName", 222, 22, 130);
    HelpTitleFld = MakeField(this, Panel6, "HelpTitleFld", ctx->mainSource, "HelpTitle", 360, 22, 250);
    lblApplication->SetFocusControl(ApplicationFld);
    lblDosName->SetFocusControl(DosNameFld);
    lblHelpTitle->SetFocusControl(HelpTitleFld);
    DBNavigator1 = new db::TDBNavigator(this);
    DBNavigator1->SetName("DBNavigator1");
    DBNavigator1->SetParent(Panel6);
    DBNavigator1->SetBounds(620, 20, 170, 25);
    DBNavigator1->SetDataSource(ctx->mainSource);
    ArrangeProjectFields();
    Panel6->OnResize = [this](gui::TObject*) {
        ArrangeLater(Panel6, projectFieldsPending_, [this] { ArrangeProjectFields(); });
    };
}

void TForm1::ArrangeLater(gui::TWinControl* control, bool& pending, std::function<void()> arrange) {
    if (pending || !control->Widget()) return;
    pending = true;
    QMetaObject::invokeMethod(
        control->Widget(),
        [&pending, arrange = std::move(arrange)] {
            pending = false;
            arrange();
        },
        Qt::QueuedConnection);
}

void TForm1::ArrangeProjectFields() {
    constexpr int kLeft = 8, kGlance = 24, kGap = 8, kRowHeight = 50, kNavRow = 28;
    struct Width {
        int preferred, least;
    };
    // Project, file name, help title; the order in which each gives up room.
    const Width want[3] = {{180, 100}, {130, 80}, {250, 100}};
    const int firstCut[3] = {140, 100, 100};
    int w[3] = {want[0].preferred, want[1].preferred, want[2].preferred};
    const int nav = DBNavigator1->Width();
    const int room = Panel6->ClientWidth();
    auto needed = [&] { return kLeft + w[0] + 2 + kGlance + kGap + w[1] + kGap + w[2] + 10 + nav + 4; };
    auto shrink = [&](int i, int to) {
        const int over = needed() - room;
        if (over > 0) w[i] -= std::min(over, std::max(0, w[i] - to));
    };
    for (int i = 0; i < 3; ++i) shrink(i, firstCut[i]);
    for (int i : {0, 1, 2}) shrink(i, want[i].least);
    const bool ownRow = needed() > room;
    if (ownRow) {
        // The navigator below; the fields take their widths back as room allows.
        for (int i = 0; i < 3; ++i) w[i] = want[i].preferred;
        auto fields = [&] { return kLeft + w[0] + 2 + kGlance + kGap + w[1] + kGap + w[2] + 4; };
        for (int i = 0; i < 3; ++i)
            if (int over = fields() - room; over > 0) w[i] -= std::min(over, std::max(0, w[i] - firstCut[i]));
        for (int i = 0; i < 3; ++i)
            if (int over = fields() - room; over > 0) w[i] -= std::min(over, std::max(0, w[i] - want[i].least));
    }
    int x = kLeft;
    lblApplication->SetBounds(x, 4, w[0], 16);
    ApplicationFld->SetBounds(x, 22, w[0], 22);
    x += w[0] + 2;
    sbtnGlance->SetBounds(x, 22, kGlance, 22);
    x += kGlance + kGap;
    lblDosName->SetBounds(x, 4, w[1], 16);
    DosNameFld->SetBounds(x, 22, w[1], 22);
    x += w[1] + kGap;
    lblHelpTitle->SetBounds(x, 4, w[2], 16);
    HelpTitleFld->SetBounds(x, 22, w[2], 22);
    x += w[2] + 10;
    if (ownRow)
        DBNavigator1->SetBounds(kLeft, kRowHeight - 2, nav, DBNavigator1->Height());
    else
        DBNavigator1->SetBounds(x, 20, nav, DBNavigator1->Height());
    const int height = ownRow ? kRowHeight + kNavRow : kRowHeight;
    if (Panel6->Height() != height) Panel6->SetHeight(height);
}

void TForm1::BuildViews() {
    TabBook = new gui::TTabbedNotebook(this);
    TabBook->SetName("TabBook");
    TabBook->SetParent(this);
    TabBook->SetAlign(gui::alClient);
    plat::StringList captions;
    for (const char* caption : {kSplitViewPage, kMaxViewPage, kFilterViewPage, kContentsPage}) captions.Add(caption);
    TabBook->Pages().Assign(captions);

    // Split view: the page grid and the explorer tree beside the page editor.
    gui::TTabSheet* split = TabBook->Page(0);
    splitViewSplitter = new misc::TTwoWaySplitter(this);
    splitViewSplitter->SetName("splitViewSplitter");
    splitViewSplitter->SetParent(split);
    splitViewSplitter->SetAlign(gui::alClient);
    splitViewSplitter->SetBevelOuter(gui::bvNone);
    splitViewSplitter->SetSplitDirection(misc::sdVertical);
    PageControl1 = new gui::TPageControl(this);
    PageControl1->SetName("PageControl1");
    PageControl1->SetParent(splitViewSplitter);
    TabSheet1 = new gui::TTabSheet(this);
    TabSheet1->SetName("TabSheet1");
    TabSheet1->SetCaption("Topics");
    TabSheet1->SetPageControl(PageControl1);
    TabSheet2 = new gui::TTabSheet(this);
    TabSheet2->SetName("TabSheet2");
    TabSheet2->SetCaption("Explorer");
    TabSheet2->SetPageControl(PageControl1);
    PageControl1->SetActivePage(TabSheet1);
    detailGrid = MakeGrid(this, TabSheet1, "detailGrid", ctx->detailSource);
    TreeView1 = new gui::TTreeView(this);
    TreeView1->SetName("TreeView1");
    TreeView1->SetParent(TabSheet2);
    TreeView1->SetAlign(gui::alClient);
    // The page editor's pane: the formatting bar above the editor.
    pnlHelpText = new gui::TPanel(this);
    pnlHelpText->SetName("pnlHelpText");
    pnlHelpText->SetBevelOuter(gui::bvNone);
    pnlHelpText->SetParent(splitViewSplitter);
    JDToolBar1 = MakeFormattingBar(this, pnlHelpText, "JDToolBar1");
    HelpText = MakePageEditor(this, pnlHelpText, "HelpText", ctx->detailSource, "HelpText");
    HelpText->SetAlign(gui::alClient);
    HelpText->SetJDToolBar(JDToolBar1);

    // Max view: the non-scrolling title above the page text, the footnote
    // fields below, the inheritance panel on top.
    gui::TTabSheet* max = TabBook->Page(1);
    pnlInherit = new gui::TPanel(this);
    pnlInherit->SetName("pnlInherit");
    pnlInherit->SetParent(max);
    pnlInherit->SetAlign(gui::alTop);
    pnlInherit->SetHeight(24);
    pnlInherit->SetBevelOuter(gui::bvNone);
    lblInherit = MakeLabel(this, pnlInherit, "Inherited from: (none)", 8, 4, 400);
    pnlMax = new gui::TPanel(this);
    pnlMax->SetName("pnlMax");
    pnlMax->SetParent(max);
    pnlMax->SetAlign(gui::alBottom);
    pnlMax->SetHeight(60);
    // Below the inheritance panel, above the title and the page text.
    JDToolBar2 = MakeFormattingBar(this, max, "JDToolBar2");
    JDToolBar2->SetTop(pnlInherit->Top() + pnlInherit->Height());
    pnlMaxSplitter = new misc::TTwoWaySplitter(this);
    pnlMaxSplitter->SetName("pnlMaxSplitter");
    pnlMaxSplitter->SetParent(max);
    pnlMaxSplitter->SetAlign(gui::alClient);
    pnlMaxSplitter->SetBevelOuter(gui::bvNone);
    pnlMaxSplitter->SetSplitDirection(misc::sdHorizontal);
    FullTitleEditFld = MakePageEditor(this, pnlMaxSplitter, "FullTitleEditFld", ctx->detailSource, "FullTitle");
    maxHelpText = MakePageEditor(this, pnlMaxSplitter, "maxHelpText", ctx->detailSource, "HelpText");
    // The title and the page text share the bar: the one with the focus has it.
    FullTitleEditFld->SetJDToolBar(JDToolBar2);
    maxHelpText->SetJDToolBar(JDToolBar2);

    jdProjectRtfHeader = MakeEditor(this, this, "jdProjectRtfHeader");
    jdProjectRtfHeader->SetVisible(false);
    // A paste into a page editor is followed by the header repair.
    for (richtext::TJDCustomRtfEdit* e : {HelpText, maxHelpText, FullTitleEditFld})
        e->OnBeforePasteEvent = [this](void*, richtext::TParagraph*, bool& doIt) {
            ctx->HelpTextBeforePasteEvent(doIt);
        };
    ctx->AfterPaste = [this] { WMAfterPaste(); };

    filterGrid = MakeGrid(this, TabBook->Page(2), "filterGrid", ctx->srcFilter);
    cntGrid = MakeGrid(this, TabBook->Page(3), "cntGrid", ctx->cntSource);
}

void TForm1::ApplySettingsToControls() {
    const ProgramSettings& s = ctx->Settings;
    pnlMaxSplitter->SetBarPosition(s.NonscrollSplitterPos);
    ctx->Settings.NonscrollSplitterPos = pnlMaxSplitter->BarPosition();
    splitViewSplitter->SetBarPosition(s.SplitViewSplitterPos);
    ctx->Settings.SplitViewSplitterPos = splitViewSplitter->BarPosition();
    // Whatever the file says, the window comes up whole on this screen. A
    // first start has no place of its own yet: the window opens wide enough
    // for a whole line of a page beside the page list, as the screen allows.
    if (ctx->FirstRun())
        SetBoundsOnScreen(s.Left, s.Top, kMainWindowFirstWidth, kMainWindowFirstHeight);
    else
        SetBoundsOnScreen(s.Left, s.Top, s.Width, s.Height);
    SetShowHint(s.HelpHints);
    miShowHints->SetChecked(s.HelpHints);
    miTipOfTheDay->SetChecked(s.ShowTipOfTheDay);
    detailGrid->Font().SetStyle(s.GridFontBold ? gui::fsBold : 0);
    detailGrid->Font().SetSize(s.GridFontSize);
    FitPageGridTitle();
}

void TForm1::TakeSettingsFromControls() {
    ProgramSettings& s = ctx->Settings;
    s.NonscrollSplitterPos = pnlMaxSplitter->BarPosition();
    s.SplitViewSplitterPos = splitViewSplitter->BarPosition();
    s.Top = Top();
    s.Left = Left();
    s.Height = Height();
    s.Width = Width();
    s.HelpHints = ShowHint();
    const db::TField* context = ctx->detailTable->FindField("ContextString");
    s.ShowContext = context && context->Visible;
}

void TForm1::FormCreate() {
    gui::Application->HintPause = 1000;
    ctx->ScreenFonts.clear();
    const plat::StringList& fonts = gui::Screen->Fonts();
    for (int i = 0; i < fonts.Count(); ++i) ctx->ScreenFonts.push_back(fonts[i]);
    ctx->ProcessMessages = [] { gui::Application->ProcessMessages(); };
    ctx->ShowTipOfTheDayWindow = [this](bool& show) {
        if (SuppressTipWindow) return;
        TipOfTheDay1->ShowTipsOnStartup = show;
        TipOfTheDay1->Execute();
        show = TipOfTheDay1->ShowTipsOnStartup;
    };
    // F1 and the help commands of the window go to the editor's help.
    gui::Application->HelpHook = [this](const std::string& file, unsigned command, long data) {
        return ctx->Help ? ctx->Help(file, command, data) : false;
    };
    if (!ctx->FormCreate()) {
        startupOk_ = false;
        return;
    }
    gui::Application->HelpFile = ctx->HelpFile;
    WireViews();
    InstallLifecycleCommands(*this);
    InstallFilterViewCommands(*this);
    pnlInherit->SetVisible(true);
    ApplySettingsToControls();
    try {
        RegisterMainWindowResources();
        if (!LoadMainWindowCursors()) throw std::runtime_error("cursor");
        for (int i = 0; i < 4; ++i)
            if (!LoadProgramBitmap("BITMAP_" + std::to_string(i + 1), Bitmaps[i])) throw std::runtime_error("bitmap");
    } catch (const std::exception&) {
        gui::ShowMessage("exception");
    }
    gui::Application->OnHint = [this](gui::TObject*) { ShowApplicationHint(); };
    gui::Application->HintPause = 200;
    TabBook->SetActivePageName(kSplitViewPage);
    TabBook->Font().SetStyle(0);
    for (gui::TLabel* l : {lblApplication, lblDosName, lblHelpTitle}) l->Font().SetColor(gui::clNavy);
    TabBook->Font().SetColor(gui::clNavy);
    ShowContentsExtrasPage();
}

void TForm1::FormShow() {
    if (!startupOk_) return;
    // The wizards are offered only where the program has them.
    miImport->Enabled = static_cast<bool>(ImportWizard);
    miExport->Enabled = static_cast<bool>(ExportWizard);
    DBNavigator1->SetDataSource(ctx->mainSource);
    SetActiveControl(ApplicationFld);
    TreeView1->ShowButtons = ctx->Settings.kqIniSettings.TreeShowButtons;
    TreeView1->ShowRoot = ctx->Settings.kqIniSettings.TreeShowButtons;
    TreeView1->ShowLines = ctx->Settings.kqIniSettings.TreeShowLines;
    // The views are about to show: the splash has done its work, and no
    // window of the deferred start-up may come up behind it.
    if (Splash) {
        delete Splash;
        Splash = nullptr;
    }
    gui::Screen->SetCursor(gui::crDefault);
    ctx->ApplyPageFilterView = [this] { DBNavigator1->SetDataSource(ctx->activeSource); };
    ctx->FocusPageEditor = [this] { SetActiveControl(HelpText); };
    // The tip or the first start's help goes out with the window's first
    // paint: shown from here it would come before the window is on the screen.
    ctx->PostDeferredStartup = [this] { PostDeferredStartupWhenPainted(); };
    ctx->FormShow();
    SetViewColumns(*this);
}

void TForm1::PostDeferredStartupWhenPainted() {
    QWidget* w = Widget();
    deferredStartupWaiting_ = true;
    if (!w || (w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed())) {
        // Painted now, children and all, so the box comes over a whole window.
        if (w) w->repaint();
        deferredStartupWaiting_ = false;
        plat::PostMessage(ctx->Handle(), kWmDeferredStartup, 0, 0);
        return;
    }
    // Not on the screen yet: looked at again shortly (the timer goes with the window).
    QTimer::singleShot(20, w, [this] { PostDeferredStartupWhenPainted(); });
}

void TForm1::FormCloseQuery(bool& CanClose) {
    CanClose = !startupOk_ || ctx->FormCloseQuery();
}

void TForm1::FormClose() {
    if (!startupOk_) return;
    TakeSettingsFromControls();
    try {
        ctx->FormClose();
    } catch (const std::exception& e) {
        // Settings that cannot be written end the program all the same.
        if (ctx->ReportError) ctx->ReportError(e.what());
        gui::Application->Terminate();
    }
}

void TForm1::WMAfterPaste() {
    gui::TWinControl* active = ActiveControl();
    if (!active) return;
    const std::string& name = active->Name();
    if (name != "HelpText" && name != "maxHelpText" && name != "FullTitleEditFld") return;
    auto* editor = dynamic_cast<richtext::TJDCustomRtfEdit*>(active);
    if (!editor) return;
    // Only the header tables are taken over: the control's AssignText would
    // replace the text as well, losing what was just pasted.
    editor->Engine().ShareHeaderOf(jdProjectRtfHeader->Engine());
    editor->ReformatAll();
}

void TForm1::ShowApplicationHint() {
    gui::TWinControl* active = ActiveControl();
    const bool project = active == ApplicationFld || active == DosNameFld || active == HelpTitleFld;
    sbtnNew->SetHint(project ? "New Project|Displays the New Project Wizard"
                             : "New Topic/Popup|Adds a new Topic/Popup page");
    StatusPanel->SetCaption(gui::GetLongHint(gui::Application->Hint()));
}

}  // namespace editor
