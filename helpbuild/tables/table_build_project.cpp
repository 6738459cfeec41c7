#include "helpbuild/tables/table_build_project.h"

#include "helpbuild/contents/contents_tables.h"

#include <stdexcept>

#include "project/helpers.h"
#include "data/fields.h"

namespace build {

ProjectFields TableBuildProject::Project() {
    db::TDataSet* m = ctx_.mainTable;
    ProjectFields p;
    p.application = m->FieldStr("Application");
    p.helpTitle = m->FieldStr("HelpTitle");
    p.dosName = m->FieldStr("DosName");
    p.name16 = m->FieldStr("16bitName");
    p.projectDir = m->FieldStr("ProjectDir");
    p.graphicsDir = m->FieldStr("GraphicsDir");
    p.compile = m->FieldStr("Compile");
    p.compress = m->FieldStr("Compress");
    p.copyright = m->FieldStr("Copyright");
    p.citation = m->FieldStr("Citation");
    p.iconFile = m->FieldStr("IconFile");
    p.coLetWindowsDecide = m->FieldStr("CoLetWindowsDecide");
    p.stayOnTop = m->FieldStr("StayOnTop");
    p.wx = m->FieldStr("Wx");
    p.wy = m->FieldStr("Wy");
    p.ww = m->FieldStr("Ww");
    p.wh = m->FieldStr("Wh");
    p.secondaryWindow = m->FieldStr("SecondaryWindow");
    p.secondaryWindowTitle = m->FieldStr("SecondaryWindowTitle");
    p.secondaryWindowColor = m->FieldStr("SecondaryWindowColor");
    p.secondStayOnTop = m->FieldStr("SecondStayOnTop");
    p.gx = m->FieldStr("Gx");
    p.gy = m->FieldStr("Gy");
    p.gw = m->FieldStr("Gw");
    p.gh = m->FieldStr("Gh");
    p.addButton1 = m->FieldStr("AddButton1");
    p.addButton2 = m->FieldStr("AddButton2");
    p.addButton3 = m->FieldStr("AddButton3");
    p.useFilteredPagesOnly = m->FieldStr("UseFilteredPagesOnly");
    p.autogenerateContents = m->FieldStr("AutogenerateContents");
    p.autogeneratePrjFile = m->FieldStr("AutogeneratePRJfile");
    p.autoGenerateCntFile = m->FieldStr("AutoGenerateCntFile");
    p.contentsFilter = m->FieldStr("ContentsFilter");
    p.keptHpj = m->FieldStr("Comments");
    p.scrollColor = scrollColor ? *scrollColor : static_cast<std::uint32_t>(m->FieldInt("ScrollColor", 0xFFFFFF));
    p.nonscrollColor =
        nonscrollColor ? *nonscrollColor : static_cast<std::uint32_t>(m->FieldInt("NonscrollColor", 0xC0C0C0));
    p.projectFolder = editor::ProjectFolderOrProgramDir(p.projectDir, ctx_.ProgramDir);
    p.graphicsFolder = editor::ProjectFolder(p.graphicsDir, ctx_.ProgramDir);
    return p;
}

bool TableBuildProject::PostPendingEdits() {
    for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx_.detailTable), static_cast<db::TDataSet*>(ctx_.mainTable)}) {
        if (!t->IsEditing()) continue;
        try {
            t->Post();
        } catch (...) {
        }
    }
    return !ctx_.detailTable->IsEditing() && !ctx_.mainTable->IsEditing();
}

void TableBuildProject::SetCompile(const std::string& value) {
    db::TDataSet* m = ctx_.mainTable;
    m->Edit();
    try {
        m->FieldByName("Compile")->SetAsString(value);
        m->Post();
    } catch (...) {
        m->Cancel();
        throw;
    }
    m->Refresh();
}

void TableBuildProject::SelectBuildPages(bool filteredOnly) {
    vl::TvlTable* c = ctx_.CdetailTable;
    c->vlFilter().Clear();
    if (filteredOnly) c->vlFilter().Assign(ctx_.detailTable->vlFilter());
    c->ApplyFilter();
    c->First();
}

int TableBuildProject::PageCount() { return ctx_.CdetailTable->RecordCount(); }

bool TableBuildProject::FirstPage() {
    ctx_.CdetailTable->First();
    return !ctx_.CdetailTable->Eof();
}

bool TableBuildProject::NextPage() {
    ctx_.CdetailTable->Next();
    return !ctx_.CdetailTable->Eof();
}

PageRow TableBuildProject::CurrentPage(bool withTexts) {
    db::TDataSet* c = ctx_.CdetailTable;
    PageRow r;
    r.topicPopup = c->FieldStr("TopicPopup");
    db::TField* id = c->FindField("HelpId");
    r.helpId = id && !id->IsNull() ? static_cast<std::int32_t>(id->AsInteger()) : 0;
    r.contextString = c->FieldStr("ContextString");
    r.title = c->FieldStr("Title");
    r.keys = c->FieldStr("Keys");
    r.browseName = c->FieldStr("BrowseName");
    r.browseId = c->FieldStr("BrowseId");
    r.bFootnote = c->FieldStr("BFootnote");
    r.aFootnote = c->FieldStr("AFootnote");
    r.macroFootnote = c->FieldStr("MacroFootnote");
    r.titleUserModified = c->FieldStr("TitleUserModified");
    if (withTexts) {
        r.fullTitle = c->FieldStr("FullTitle");
        r.helpText = c->FieldStr("HelpText");
        r.prepared = c->FieldStr("Prepared");
    }
    return r;
}

std::string TableBuildProject::CurrentPrepared() { return ctx_.CdetailTable->FieldStr("Prepared"); }

void TableBuildProject::StorePrepared(const std::string& record, const std::string* helpText) {
    db::TDataSet* c = ctx_.CdetailTable;
    c->Edit();
    try {
        c->FieldByName("Prepared")->SetAsString(record);
        c->FieldByName("TitleUserModified")->SetAsString("Y");
        if (helpText) c->FieldByName("HelpText")->SetAsString(*helpText);
        c->Post();
    } catch (...) {
        c->Cancel();
        throw;
    }
}

void TableBuildProject::BeginStoringRecords() {
    EndStoringRecords(true);
    // Without a transaction each record still posts (and syncs) on its own.
    storing_.emplace(*ctx_.CdetailTable, db::TBulkTransaction::Keep);
}

void TableBuildProject::EndStoringRecords(bool keep) {
    if (!storing_) return;
    if (!keep) storing_->Rollback();
    const bool saved = storing_->Commit();  // after a rollback there is nothing left to commit
    storing_.reset();
    if (!saved) throw std::runtime_error("the pages' build records could not be saved");
}

std::string TableBuildProject::HeaderRtf() {
    if (useFontRegistry) {
        vl::TvlTable* f = ctx_.tblFont;
        const std::string app = ctx_.mainTable->FieldStr("Application");
        for (f->First(); !f->Eof(); f->Next())
            if (f->FieldStr("Application") == app) return f->FieldStr("RtfHeader");
    }
    ctx_.prefsTable->First();
    return ctx_.prefsTable->FieldStr("RtfHeader");
}

void TableBuildProject::ReplaceContents(const std::vector<ContentsRow>& rows) {
    vl::TvlTable* s = ctx_.cntShadow;
    s->vlFilter().Clear();
    s->ApplyFilter();
    s->First();
    // The old rows go and the new come in as one transaction, not a disk
    // sync a row.
    db::TBulkTransaction transaction(*s, db::TBulkTransaction::Keep);
    while (!s->Eof()) s->Delete();
    db::TDataSet* m = ctx_.mainTable;
    if (!m->IsEditing()) m->Edit();
    for (const char* f : {"CntTabs", "CntLinkFiles", "CntIndexFiles"}) m->FieldByName(f)->SetAsString("");
    m->Post();
    for (const ContentsRow& r : rows) {
        s->Append();
        s->FieldByName("Application")->SetAsString(m->FieldStr("Application"));
        s->FieldByName("Sequence")->SetAsInteger(r.sequence);
        s->FieldByName("Level")->SetAsInteger(r.level);
        s->FieldByName("EntryType")->SetAsString(r.entryType);
        s->FieldByName("Title")->SetAsString(r.title);
        s->FieldByName("Jump")->SetAsString(r.jump);
        s->Post();
    }
    if (!transaction.Commit()) throw std::runtime_error("the contents could not be saved");
    ctx_.cntTable->Refresh();
    ctx_.CdetailTable->First();
}

}  // namespace build

namespace build {

BuildEnvironment MakeBuildEnvironment(editor::EditorContext& ctx) {
    BuildEnvironment env;
    env.cancelRequested = &ctx.CancelRequested;
    env.force16BitCompile = ctx.Force16BitCompile;
    env.setHelpFile = [&ctx](const std::string& file) { ctx.HelpFile = file; };
    env.showHelp = [&ctx](const std::string& file, unsigned command, long data) {
        ctx.HelpFile = file;
        ctx.ShowHelp(command, data);
    };
    // A 32-bit build with automatic contents writes the project's .cnt first.
    env.writeCntFile = [&ctx] { build::WriteCntFile(ctx); };
    return env;
}

std::string TableCompileOptions::Field(const std::string& name) { return ctx_.mainTable->FieldStr(name); }

void TableCompileOptions::EditField(const std::string& name, const std::string& value) {
    db::TDataSet* m = ctx_.mainTable;
    if (!Editing()) m->Edit();
    m->FieldByName(name)->SetAsString(value);
}

bool TableCompileOptions::Editing() { return ctx_.mainTable->IsEditing(); }

void TableCompileOptions::Post() { ctx_.mainTable->Post(); }

void TableCompileOptions::CancelEdit() {
    if (Editing()) ctx_.mainTable->Cancel();
}

}  // namespace build
