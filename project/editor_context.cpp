#include "project/editor_context.h"

#include "platform/core/exceptions.h"

#include "data/vl_lines.h"
#include "project/helpers.h"
#include "project/import_journal.h"
#include "project/project_tables.h"
#include "project/table_repair.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/win/message_queue.h"

#include <unistd.h>

#include <climits>
#include <set>

namespace editor {

bool RecordingHelp::operator()(const std::string& helpFile, unsigned command, long data) {
    requests_.push_back({helpFile, command, data});
    if (command == kHelpQuit) return true;
    if (!plat::FileExists(helpFile)) {
        ShowWarning("Warning", plat::DisplayPath(helpFile) + " not found.");
        return false;
    }
    return true;
}

namespace {

// The page-filter grid declares only these fields of the page table, and
// the project name, hidden, which its index needs.
void DeclareFilterFields(db::TDataSet* t) {
    struct Decl {
        const char* name;
        db::TFieldType type;
        int size;
    };
    const Decl decls[] = {
        {"Application", db::ftString, kApplicationSize},
        {"HelpId", db::ftInteger, 0},       {"TopicPopup", db::ftString, 1},    {"Title", db::ftString, 255},
        {"ModifiedDate", db::ftDateTime, 0}, {"ModifiedTime", db::ftDateTime, 0}, {"CompileFor", db::ftString, 2},
        {"Version", db::ftString, 5},       {"Revised", db::ftString, 1},       {"UserFlag", db::ftString, 1},
        {"UserField", db::ftString, 15},    {"BrowseId", db::ftInteger, 0},     {"BrowseName", db::ftString, 15},
        {"ContextString", db::ftString, 255}, {"Keys", db::ftString, 255},
    };
    for (const Decl& d : decls) {
        std::unique_ptr<db::TField> f;
        switch (d.type) {
            case db::ftInteger: f = std::make_unique<db::TIntegerField>(); break;
            case db::ftDateTime: f = std::make_unique<db::TDateTimeField>(); break;
            default: f = std::make_unique<db::TStringField>(); break;
        }
        f->FieldName = d.name;
        if (d.size) f->Size = d.size;
        f->Visible = f->FieldName != "Application";
        t->AddField(std::move(f));
    }
}

}  // namespace

EditorContext::EditorContext(plat::TComponent* owner) : plat::TComponent(owner) {
    SetName("EditorContext");
    defaultHelp_ = std::make_unique<RecordingHelp>();
    Help = [this](const std::string& f, unsigned c, long d) { return (*defaultHelp_)(f, c, d); };

    mainTable = MakeTable("mainTable", kMainTableFile);
    mainTable->SetIndexName(kPrimaryIndex);
    mainSource = MakeSource("mainSource", mainTable);

    detailTable = MakeTable("detailTable", kItemTableFile);
    detailTable->SetIndexFieldNames("Application;HelpId");
    detailTable->SetMasterSource(mainSource);
    detailTable->SetMasterFields("Application");
    detailSource = MakeSource("detailSource", detailTable);
    // A page's kind is one letter, forced to upper case as it is typed.
    detailTable->PictureMasks().Add("TopicPopup\t&\tT\tT");
    detailTable->ControlType().Add("CompileFor;Combo;vlDBCombobox1");
    detailTable->ControlType().Add("Revised;CheckBox;Y;N");

    CdetailTable = MakeTable("CdetailTable", kItemTableFile);
    CdetailTable->SetIndexFieldNames("Application;HelpId");
    CdetailTable->SetMasterSource(mainSource);
    CdetailTable->SetMasterFields("Application");
    CdetailSource = MakeSource("CdetailSource", CdetailTable);

    detailFilterTable = MakeTable("detailFilterTable", kItemTableFile);
    detailFilterTable->SetIndexName(kPrimaryIndex);
    detailFilterTable->SetMasterSource(detailSource);

    inheritTable = MakeTable("inheritTable", kItemTableFile);
    inheritTable->SetIndexName(kPrimaryIndex);

    tblContext = MakeTable("tblContext", kItemTableFile);
    tblContext->SetIndexName(kPrimaryIndex);
    tblContext->SetMasterSource(mainSource);
    tblContext->SetMasterFields("Application");
    srcContext = MakeSource("srcContext", tblContext);

    tblFilter = MakeTable("tblFilter", kItemTableFile);
    tblFilter->SetIndexName(kPrimaryIndex);
    tblFilter->SetMasterSource(mainSource);
    // The Filter View lists the current project's pages, as the page table
    // does; without the field it would list every project's.
    tblFilter->SetMasterFields("Application");
    DeclareFilterFields(tblFilter);
    tblFilter->ControlType().Add("CompileFor;Combo;vlDBCombobox1");
    srcFilter = MakeSource("srcFilter", tblFilter);

    cntTable = MakeTable("cntTable", kCntTableFile);
    cntTable->SetIndexFieldNames("Application;Sequence");
    cntTable->SetMasterSource(mainSource);
    cntTable->SetMasterFields("Application");
    cntTable->PictureMasks().Add("Level\t#\tT\tT");
    cntSource = MakeSource("cntSource", cntTable);
    cntShadow = MakeTable("cntShadow", kCntTableFile);
    cntShadow->SetIndexFieldNames("Application;Sequence");
    cntShadow->SetMasterSource(mainSource);
    cntShadow->SetMasterFields("Application");

    prefsTable = MakeTable("prefsTable", kPrefTableFile);
    prefsSource = MakeSource("prefsSource", prefsTable);

    refIntegTable = MakeTable("refIntegTable", kRefiTableFile);
    refIntegTable->SetIndexName(kPrimaryIndex);

    tblInh = MakeTable("tblInh", kInhTableFile);
    tblInh->SetIndexName("0");

    tblFont = MakeTable("tblFont", kFontTableFile);
    tblFont->SetIndexName(kPrimaryIndex);
    srcFont = MakeSource("srcFont", tblFont);

    tblBackup = MakeTable("tblBackup", "");
    tblBackTo = MakeTable("tblBackTo", "");
    tblBackFrom = MakeTable("tblBackFrom", "");

    activeSource = MakeSource("activeSource", mainTable);

    Bag1 = new misc::TBag(this);
    Bag1->SetName("Bag1");
    Bag1->IniSect = "SplitView";
    ProcessMessages = [] { plat::ProcessMessages(); };
    ReportError = [](const std::string& message) {
        gui::MessageDlg(message, gui::mtError, gui::Buttons({gui::mbOK}));
    };

    handle_ = plat::AllocateHWnd([this](plat::TMessage& m) { HandleMessage(m); });
}

EditorContext::~EditorContext() {
    if (handle_) plat::DeallocateHWnd(handle_);
    // The tables' rules see the context going and leave the other tables alone.
    BeginDestroy();
    // Closing a table posts its pending edit; an edit the rules refuse is
    // dropped here, as nothing may leave a destructor. The windows that
    // follow the tables may be half gone: they hear nothing of it.
    for (vl::TvlTable* t : StartupTables()) {
        try {
            if (t->IsEditing()) {
                t->DisableControls();
                t->Post();
            }
        } catch (...) {
            try {
                t->Cancel();
            } catch (...) {
            }
        }
    }
    // Details go before their masters' sources.
    DestroyComponents();
}

vl::TvlTable* EditorContext::MakeTable(const std::string& name, const std::string& fileName) {
    auto* t = new vl::TvlTable(this);
    t->SetName(name);
    if (!fileName.empty()) t->SetTableName(fileName);
    t->SyncSQLByRange = true;
    t->NarrowSearch = false;
    t->SetValidateWithMask(true);
    return t;
}

db::TDataSource* EditorContext::MakeSource(const std::string& name, db::TDataSet* dataSet) {
    auto* s = new db::TDataSource(this);
    s->SetName(name);
    s->SetDataSet(dataSet);
    return s;
}

vl::TvlTable* EditorContext::Table(const std::string& name) const {
    return dynamic_cast<vl::TvlTable*>(FindComponent(name));
}

std::vector<vl::TvlTable*> EditorContext::StartupTables() const {
    return {detailTable, mainTable,     detailFilterTable, CdetailTable, tblFilter,  prefsTable,
            inheritTable, refIntegTable, cntTable,          cntShadow,    tblContext, tblFont};
}

bool EditorContext::ShowHelp(unsigned command, long data) {
    return Help ? Help(HelpFile, command, data) : false;
}

void EditorContext::BindAlias() {
    db::TSession& session = db::Session();
    try {
        session.DeleteAlias(kTavrinAlias);
    } catch (const std::exception&) {
        // A missing alias: nothing to delete.
    }
    try {
        // The whole path: a cut one would name another folder.
        session.AddStandardAlias(kTavrinAlias, ProgramDir.empty() ? plat::ProgramDir() : ProgramDir, "");
    } catch (const std::exception&) {
        // Opening the tables reports what matters.
    }
}

void EditorContext::OpenTables() {
    for (vl::TvlTable* t : StartupTables()) {
        t->Close();
        t->DatabaseName = kTavrinAlias;
        t->Open();
    }
    for (vl::TvlTable* t : {tblBackFrom, tblBackTo, tblBackup}) {
        t->Close();
        t->DatabaseName = kTavrinAlias;
    }
    tblInh->DatabaseName = kTavrinAlias;
    mainTable->Close();
    mainTable->Open();
}

bool EditorContext::TablesInUse() const {
    for (const char* name : {kMainTableFile, kItemTableFile, kCntTableFile, kPrefTableFile, kRefiTableFile,
                             kInhTableFile, kFontTableFile}) {
        // Our own tables are closed by now, so an exclusive open that meets
        // a sharing violation means another process holds the file.
        plat::File probe;
        if (!probe.Open(plat::JoinPath(ProgramDir, name), plat::FileAccess::Read, plat::FileShare::Exclusive) &&
            plat::GetLastError() == plat::ERROR_SHARING_VIOLATION)
            return true;
    }
    return false;
}

std::string TablesInUseText(const std::string& folder) {
    return "The tables in " + folder +
           " are in use by another program, most likely Tavrin started a second time on the same program folder. "
           "Close it and choose [Retry] to wait for it, or choose [Cancel] to close this one.";
}

std::string TableDamagedText(const std::string& folder, const DamagedTable& table, const std::string& copyName) {
    return "The table " + table.file + " in " + folder + " is damaged: " + table.reason +
           ".\n\nTavrin can rebuild it from the rows that can still be read; rows in the damaged parts are lost. "
           "The damaged file is kept beside it as " + copyName +
           ".\n\nRebuild the table now? [No] closes Tavrin and leaves the files as they are.";
}

std::string TableUnreadableText(const std::string& folder, const DamagedTable& table) {
    return "The table " + table.file + " in " + folder + " is damaged: " + table.reason +
           ". It cannot be opened, so no rows can be rebuilt from it.\n\nRestore the folder from a backup, "
           "or move " + table.file + " out of the folder to start with an empty table in its place. Tavrin will "
           "close now.";
}

void EditorContext::LoadPageColours() {
    try {
        prefsTable->First();
    } catch (const std::exception&) {
    }
    try {
        TopicColor = prefsTable->FieldByName("TopicColor")->AsInteger();
    } catch (const std::exception&) {
        TopicColor = 0xFF0000;
    }
    try {
        PopupColor = prefsTable->FieldByName("PopupColor")->AsInteger();
    } catch (const std::exception&) {
        PopupColor = 0xC0C0C0;
    }
}

void EditorContext::HandleMessage(plat::TMessage& m) {
    if (m.Msg == kWmDeferredStartup) {
        WMDeferredStartup();
        m.Result = 0;
        return;
    }
    if (m.Msg == kWmAfterPaste) {
        if (AfterPaste) AfterPaste();
        m.Result = 0;
        return;
    }
    m.Result = plat::DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
}

bool EditorContext::FormCreate() {
    ScratchStream = std::make_unique<plat::MemoryStream>();
    StartupDone = false;
    CancelRequested = false;
    if (ProgramDir.empty()) ProgramDir = plat::ExcludeTrailingBackslash(plat::ProgramDir());
    HelpFile = plat::JoinPath(ProgramDir, "Tavrin.HLP");
    BindAlias();
    ConverterPresent = !FindConverterProgram().empty();
    if (ConverterPresent) WriteConverterIni();
    db::SetDamagedTableAdvice(kDamagedTableAdvice);
    const std::string shownDir = plat::DisplayPath(ProgramDir);
    std::set<std::string> rebuilt;
    for (;;) {
        bool opened = false;
        try {
            OpenTables();
            opened = true;
        } catch (const std::exception&) {
            for (vl::TvlTable* t : StartupTables()) t->Close();
        }
        // Another program on the same folder is no damage: say so, and let
        // the user wait for it to end or close this one.
        if (!opened && TablesInUse()) {
            const int answer = gui::MessageDlg(TablesInUseText(shownDir), gui::mtWarning,
                                               gui::Buttons({gui::mbRetry, gui::mbCancel}), 0);
            if (answer == gui::mrRetry) continue;
            return false;
        }
        // The engine opens a table without reading its pages: a damaged page
        // would show only when read, so every table is read whole here.
        std::optional<DamagedTable> damaged = FindDamagedTable(ProgramDir);
        if (opened && !damaged) break;
        for (vl::TvlTable* t : StartupTables()) t->Close();
        if (!damaged) {
            // Both answers end the program; the files stay as they are.
            // Help shows the repair page and asks again; Yes and No both end.
            for (int asked = 0; asked < 20; ++asked) {
                const int answer = gui::MessageDlg(kTablesFailedText, gui::mtConfirmation,
                                                   gui::Buttons({gui::mbYes, gui::mbNo, gui::mbHelp}),
                                                   kTablesFailedHelpContext);
                if (answer != 0) break;
                ShowHelp(kHelpContext, kTablesFailedHelpContext);
            }
            return false;
        }
        if (!damaged->opens) {
            gui::MessageDlg(TableUnreadableText(shownDir, *damaged), gui::mtError, gui::Buttons({gui::mbOK}), 0);
            return false;
        }
        if (rebuilt.count(damaged->file)) {
            gui::MessageDlg("The table " + damaged->file + " in " + shownDir + " is still damaged after its rebuild: " +
                                damaged->reason + ". Restore the folder from a backup. Tavrin will close now.",
                            gui::mtError, gui::Buttons({gui::mbOK}), 0);
            return false;
        }
        // Yes rebuilds; No ends with the files untouched; Help shows the
        // repair page and asks again.
        int answer = 0;
        for (int asked = 0; asked < 20 && answer == 0; ++asked) {
            answer = gui::MessageDlg(TableDamagedText(shownDir, *damaged, DamagedCopyName(ProgramDir, damaged->file)),
                                     gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo, gui::mbHelp}),
                                     kTablesFailedHelpContext);
            if (answer == 0) ShowHelp(kHelpContext, kTablesFailedHelpContext);
        }
        if (answer != gui::mrYes) return false;
        try {
            const TableRepair done = RepairTable(ProgramDir, damaged->file);
            rebuilt.insert(damaged->file);
            const std::string rows =
                done.rows == 1 ? "the 1 row that" : "the " + std::to_string(done.rows) + " rows that";
            gui::MessageDlg(damaged->file + " was rebuilt and holds " + rows +
                                " could be read. The damaged file is kept as " + done.copy + " in " + shownDir + ".",
                            gui::mtInformation, gui::Buttons({gui::mbOK}), 0);
        } catch (const std::exception& e) {
            gui::MessageDlg(damaged->file + " could not be rebuilt: " + e.what() +
                                "\n\nThe files are as they were. Tavrin will close now.",
                            gui::mtError, gui::Buttons({gui::mbOK}), 0);
            return false;
        }
    }
    // An import killed before its commit left files and folders no project row names.
    ClearInterruptedImport(*this);
    Bag1->IniFile = ProgramIniPath(ProgramDir);
    Bag1->LoadFromIni();
    Bag1->RestoreDataSetFields("HelpIdGrid", detailTable);

    Settings = ReadProgramSettings(ProgramIniPath(ProgramDir));
    SpellDictionaryName = EffectiveDictionaryName(ProgramDir, Settings.kqIniSettings.DictionaryName);
    FontsUnchanged = true;
    if (!Settings.kqIniSettings.UseFontRegistry) {
        memoScreenFonts = SortedScreenFonts(ScreenFonts);
        memoIniFonts = Settings.IniFonts;
        FontsUnchanged = SameFontLists(memoIniFonts, memoScreenFonts);
    }
    LoadPageColours();
    Force16BitCompile = false;
    return true;
}

void EditorContext::FormShow() {
    if (!Settings.LastProject.empty()) {
        mainTable->SetKey();
        mainTable->FieldByName("Application")->SetAsString(Settings.LastProject);
        mainTable->GotoKey();  // not found: the table stays where it is
    }
    if (!Settings.kqIniSettings.UseFontRegistry && SyncScreenFonts) SyncScreenFonts(FontsUnchanged);
    StartupDone = true;
    if (ApplyProjectDisplaySettings) ApplyProjectDisplaySettings();
    if (ProcessMessages) ProcessMessages();
    if (FocusPageEditor) FocusPageEditor();
    if (Settings.ShowTipOfTheDay) {
        if (PostDeferredStartup)
            PostDeferredStartup();
        else
            plat::PostMessage(handle_, kWmDeferredStartup, 0, 0);
    }
    activeSource->SetDataSet(mainTable);
    if (ProcessMessages) ProcessMessages();
    if (ApplyPageFilterView) ApplyPageFilterView();
}

bool EditorContext::FirstRun() const { return !plat::FileExists(ProgramIniPath(ProgramDir)); }

void EditorContext::WMDeferredStartup() {
    if (FirstRun()) {
        try {
            const std::string graphics = mainTable->FieldByName("GraphicsDir")->AsString();
            if (!graphics.empty()) plat::SetCurrentDir(ProjectFolder(graphics, ProgramDir));
            detailTable->DisableControls();
            try {
                detailTable->First();
            } catch (...) {
                detailTable->EnableControls();
                throw;
            }
            detailTable->EnableControls();
        } catch (const std::exception&) {
            // Nothing here is worth stopping the first start for.
        }
        activeSource->SetDataSet(mainTable);
        if (ProcessMessages) ProcessMessages();
        HelpFile = plat::JoinPath(ProgramDir, "Tavrin.HLP");
        ShowHelp(kHelpContext, kFirstRunHelpContext);
        return;
    }
    bool show = Settings.ShowTipOfTheDay;
    if (ShowTipOfTheDayWindow) ShowTipOfTheDayWindow(show);
    Settings.ShowTipOfTheDay = show;
}

bool EditorContext::PostAllPendingEdits() {
    for (vl::TvlTable* t : {detailTable, cntTable, mainTable, prefsTable, refIntegTable}) {
        if (!t->IsEditing()) continue;
        try {
            t->Post();
        } catch (const plat::EAbort&) {
            // The rules' silent abort: they dropped the row, or refused it
            // having said why.
        }
        if (t->IsEditing()) return false;
    }
    return true;
}

bool EditorContext::FormCloseQuery() {
    try {
        return PostAllPendingEdits();
    } catch (const std::exception& e) {
        if (ReportError) ReportError(e.what());
        return false;
    }
}

void EditorContext::FormClose() {
    ScratchStream.reset();
    Bag1->IniFile = ProgramIniPath(ProgramDir);
    if (detailTable->Active()) {
        Bag1->AddDataSetFields("HelpIdGrid", detailTable);
        Bag1->SaveToIni();
    }
    if (mainTable->Active() && !mainTable->IsEmpty())
        Settings.LastProject = mainTable->FieldByName("Application")->AsString();
    WriteProgramSettings(ProgramIniPath(ProgramDir), Settings, memoScreenFonts);
    ShowHelp(kHelpQuit, 0);
}

void EditorContext::HelpTextBeforePasteEvent(bool& allow) {
    allow = true;
    if (ProcessMessages) ProcessMessages();
    plat::PostMessage(handle_, kWmAfterPaste, 0, 0);
}

namespace {

std::string FolderField(const vl::TvlTable* t, const char* field, const std::string& programDir) {
    if (!t->Active() || t->IsEmpty()) return {};
    const db::TField* f = t->FindField(field);
    return f ? ProjectFolder(f->AsString(), programDir) : std::string();
}

}  // namespace

std::string EditorContext::CurrentProjectFolder() const { return FolderField(mainTable, "ProjectDir", ProgramDir); }

std::string EditorContext::CurrentGraphicsFolder() const { return FolderField(mainTable, "GraphicsDir", ProgramDir); }

std::string FindConverterProgram() {
    // The program folder first, as the design looks there; then beside the
    // running program (a build tree), then PATH.
    if (std::string p = plat::FindProgram(plat::JoinPath(plat::ProgramDir(), "Rendlow32.exe")); !p.empty()) return p;
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        const std::string dir = plat::ExtractFileDir(std::string(self, static_cast<std::size_t>(n)));
        for (const char* rel : {"Rendlow32.exe", "../rendlow32/Rendlow32.exe"})
            if (std::string p = plat::FindProgram(plat::JoinPath(dir, rel)); !p.empty()) return p;
    }
    return plat::FindProgram("Rendlow32.exe");
}

}  // namespace editor
