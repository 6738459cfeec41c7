#include "helpbuild/tables/table_html_export.h"

#include <stdexcept>

#include "helpbuild/build_driver.h"
#include "project/helpers.h"
#include "project/project_tables.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"

namespace build {

namespace {

vl::TvlTable* MakeTable(plat::TComponent* owner, const char* name, const char* file) {
    auto* t = new vl::TvlTable(owner);
    t->SetName(name);
    t->SetTableName(file);
    t->DatabaseName = editor::kTavrinAlias;
    return t;
}

db::TDataSource* MakeSource(plat::TComponent* owner, const char* name, db::TDataSet* data) {
    auto* s = new db::TDataSource(owner);
    s->SetName(name);
    s->SetDataSet(data);
    return s;
}

}  // namespace

TableHtmlExport::TableHtmlExport(editor::EditorContext& context)
    : ctx_(context), owner_(std::make_unique<plat::TComponent>(nullptr)) {
    plat::TComponent* o = owner_.get();
    mainTable = MakeTable(o, "mainTable", editor::kMainTableFile);
    mainTable->SetIndexName(editor::kPrimaryIndex);
    mainSource = MakeSource(o, "mainSource", mainTable);
    tblItems = MakeTable(o, "tblItems", editor::kItemTableFile);
    tblItems->SetIndexFieldNames("Application;HelpId");
    tblItems->SetMasterSource(mainSource);
    tblItems->SetMasterFields("Application");
    tblHtml = MakeTable(o, "tblHtml", kHtmlTableFile);
    tblHtml->SetIndexName(editor::kPrimaryIndex);
    srcHtml = MakeSource(o, "srcHtml", tblHtml);
    tblLoc = MakeTable(o, "tblLoc", kHtmlTableFile);
    tblLoc->SetIndexName(editor::kPrimaryIndex);
    mainTable->Open();
}

TableHtmlExport::~TableHtmlExport() {
    for (vl::TvlTable* t : {tblLoc, tblHtml, tblItems, mainTable}) {
        try {
            t->Close();
        } catch (...) {
        }
    }
}

std::vector<std::string> TableHtmlExport::ProjectNames() {
    std::vector<std::string> names;
    for (mainTable->First(); !mainTable->Eof(); mainTable->Next()) names.push_back(mainTable->FieldStr("Application"));
    return names;
}

bool TableHtmlExport::SelectProject(const std::string& application) {
    for (mainTable->First(); !mainTable->Eof(); mainTable->Next())
        if (mainTable->FieldStr("Application") == application) return true;
    return false;
}

std::string TableHtmlExport::Field(const std::string& name) { return mainTable->FieldStr(name); }

bool TableHtmlExport::ExportTableOpen() const { return tblHtml->Active(); }

namespace {

// Rows written or deleted one after another outside a transaction are each
// synced to disk on their own; inside one, once for the lot, and a failure
// takes them all back.
void CommitExportRows(db::TBulkTransaction& rows) {
    if (!rows.Commit()) throw std::runtime_error("the export table could not be saved");
}

}  // namespace

void TableHtmlExport::OpenExportTable() {
    tblLoc->Close();
    tblHtml->Close();
    // The export table is the program's own work table: made on first use
    // with the page table's fields.
    db::TTable probe(nullptr);
    probe.DatabaseName = plat::IncludeTrailingBackslash(ctx_.ProgramDir);
    probe.TableName = kHtmlTableFile;
    if (!probe.Exists()) {
        const editor::TableSchema* pages = editor::FindTableSchema(editor::kItemTableFile);
        probe.FieldDefs().Assign(pages->fields);
        probe.IndexDefs().Assign(pages->indexes);
        probe.CreateTable();
    }
    tblHtml->Open();
    for (const char* f : {"HelpId", "Title"}) tblHtml->FieldByName(f)->ReadOnly = false;
    tblHtml->First();
    if (tblHtml->Eof()) return;
    db::TBulkTransaction transaction(*tblHtml, db::TBulkTransaction::TakeBack);
    while (!tblHtml->Eof()) tblHtml->Delete();
    CommitExportRows(transaction);
}

void TableHtmlExport::AssignHtmlFileNames(bool longNames, bool ignorePopups) {
    indexed_ = false;
    OpenExportTable();
    tblItems->Close();
    tblItems->vlFilter().Clear();
    if (ignorePopups) tblItems->vlFilter().Add("TopicPopup = \"T\"");
    tblItems->Open();
    tblItems->ApplyFilter();

    // Names first, so each row is posted once with its own.
    std::vector<HtmlNameSource> sources;
    for (tblItems->First(); !tblItems->Eof(); tblItems->Next())
        sources.push_back({tblItems->FieldStr("ContextString"), tblItems->FieldStr("Title"),
                           static_cast<std::int32_t>(tblItems->FieldByName("HelpId")->AsInteger())});
    const std::vector<std::string> names = build::AssignHtmlFileNames(sources, longNames);
    // The rows go in as one engine transaction.
    db::TBulkTransaction transaction(*tblHtml, db::TBulkTransaction::TakeBack);
    std::size_t i = 0;
    for (tblItems->First(); !tblItems->Eof() && i < names.size(); tblItems->Next(), ++i) {
        tblHtml->Append();
        for (const char* f : {"Application", "TopicPopup", "Title", "HelpText", "Keys", "BrowseName", "FullTitle"})
            tblHtml->FieldByName(f)->SetAsString(tblItems->FieldStr(f));
        for (const char* f : {"HelpId", "BrowseId"}) {
            db::TField* from = tblItems->FieldByName(f);
            if (from->IsNull()) tblHtml->FieldByName(f)->Clear();
            else tblHtml->FieldByName(f)->SetAsInteger(from->AsInteger());
        }
        tblHtml->FieldByName("MacroFootnote")->SetAsString(tblItems->FieldStr("ContextString"));
        tblHtml->FieldByName("ContextString")->SetAsString(names[i]);
        tblHtml->Post();
    }
    CommitExportRows(transaction);
    tblItems->vlFilter().Clear();
    tblItems->ApplyFilter();
    tblHtml->First();
    tblLoc->Open();
}

bool TableHtmlExport::ValidateHtmlFileNames() {
    if (!tblHtml->Active()) return false;
    if (tblHtml->IsEditing()) tblHtml->Post();
    HtmlNameList seen;
    tblHtml->DisableControls();
    bool ok = true;
    for (tblHtml->First(); !tblHtml->Eof(); tblHtml->Next()) {
        const std::string name = tblHtml->FieldStr("ContextString");
        if (name.empty()) {
            ShowWarning("Warning", "Every page needs a filename. Please ensure that all pages have filenames.");
            ok = false;
            break;
        }
        // A name is a file in the HTML folder: no folder parts, no drive.
        const bool plain = name.find_first_of("\\/:*?\"<>|") == std::string::npos && name != "." && name != "..";
        if (!plain || !editor::IsValidFileName(name)) {
            ShowWarning("Warning", "The filename [" + name + "] is not valid. Please change it to a valid name.");
            ok = false;
            break;
        }
        if (!seen.insert(plat::AnsiUpperCase(name)).second) {
            ShowWarning("Warning", "Each Page must have a Unique filename. You have used [" + name +
                                       "] as a page name, twice. Please make it unique.");
            ok = false;
            break;
        }
    }
    tblHtml->EnableControls();
    return ok;
}

void TableHtmlExport::DeleteCurrentPage() {
    if (!tblHtml->Active() || (tblHtml->Eof() && tblHtml->Bof())) return;
    if (tblHtml->IsEditing()) tblHtml->Cancel();
    tblHtml->Delete();
    indexed_ = false;
}

// --- IHtmlExportPages -------------------------------------------------------------

int TableHtmlExport::Count() { return tblHtml->Active() ? tblHtml->RecordCount() : 0; }

bool TableHtmlExport::First() {
    if (!tblHtml->Active()) return false;
    if (tblHtml->IsEditing()) tblHtml->Post();
    // Names edited by hand are what the links must find.
    if (tblLoc->Active()) tblLoc->Refresh();
    else tblLoc->Open();
    IndexLookups();
    tblHtml->First();
    return !tblHtml->Eof();
}

bool TableHtmlExport::Next() {
    tblHtml->Next();
    return !tblHtml->Eof();
}

HtmlExportRow TableHtmlExport::Current(bool withTexts) {
    HtmlExportRow r;
    r.name = tblHtml->FieldStr("ContextString");
    db::TField* id = tblHtml->FieldByName("HelpId");
    r.helpId = id->IsNull() ? 0 : static_cast<std::int32_t>(id->AsInteger());
    r.contextString = tblHtml->FieldStr("MacroFootnote");
    r.topicPopup = tblHtml->FieldStr("TopicPopup");
    r.title = tblHtml->FieldStr("Title");
    r.keys = tblHtml->FieldStr("Keys");
    if (withTexts) {
        r.fullTitle = tblHtml->FieldStr("FullTitle");
        r.helpText = tblHtml->FieldStr("HelpText");
    }
    return r;
}

void TableHtmlExport::IndexLookups() {
    // One pass of the second cursor in key order answers every lookup of the
    // export as a locate from the first row would (the first match wins),
    // without a scan per link.
    byHelpId_.clear();
    byContext_.clear();
    if (!tblLoc->Active()) tblLoc->Open();
    tblLoc->DisableControls();
    for (tblLoc->First(); !tblLoc->Eof(); tblLoc->Next()) {
        const std::string name = tblLoc->FieldStr("ContextString");
        db::TField* id = tblLoc->FieldByName("HelpId");
        if (!id->IsNull()) byHelpId_.emplace(static_cast<std::int32_t>(id->AsInteger()), name);
        const std::string context = tblLoc->FieldStr("MacroFootnote");
        if (!context.empty()) byContext_.emplace(plat::AnsiUpperCase(context), name);
    }
    tblLoc->EnableControls();
    indexed_ = true;
}

bool TableHtmlExport::FindByHelpId(std::int32_t helpId, std::string& name) {
    if (!indexed_) IndexLookups();
    auto it = byHelpId_.find(helpId);
    if (it == byHelpId_.end()) return false;
    name = it->second;
    return true;
}

bool TableHtmlExport::FindByContextString(const std::string& contextString, std::string& name) {
    if (contextString.empty()) return false;
    if (!indexed_) IndexLookups();
    auto it = byContext_.find(plat::AnsiUpperCase(contextString));
    if (it == byContext_.end()) return false;
    name = it->second;
    return true;
}

}  // namespace build
