#include "helpbuild/tables/table_build_project.h"

#include "helpbuild/contents/contents_tables.h"

#include <stdexcept>

#include "project/helpers.h"
#include "data/fields.h"

namespace build {

static bool Editing(db::TDataSet* t) {
    db::TDataSetState s = t->State();
    return s == db::dsEdit || s == db::dsInsert || s == db::dsSetKey;
}

static std::string Text(db::TDataSet* t, const char* field) {
    db::TField* f = t->FindField(field);
    return f ? f->AsString() : std::string();
}

static std::uint32_t Colour(db::TDataSet* t, const char* field, std::uint32_t fallback) {
    try {
        db::TField* f = t->FindField(field);
        if (!f || f->IsNull()) return fallback;
        return static_cast<std::uint32_t>(f->AsInteger());
    } catch (...) {
        return fallback;
    }
}

ProjectFields TableBuildProject::Project() {
    db::TDataSet* m = ctx_.mainTable;
    ProjectFields p;
    p.application = Text(m, "Application");
    p.helpTitle = Text(m, "HelpTitle");
    p.dosName = Text(m, "DosName");
    p.name16 = Text(m, "16bitName");
    p.projectDir = Text(m, "ProjectDir");
    p.graphicsDir = Text(m, "GraphicsDir");
    p.compile = Text(m, "Compile");
    p.compress = Text(m, "Compress");
    p.copyright = Text(m, "Copyright");
    p.citation = Text(m, "Citation");
    p.iconFile = Text(m, "IconFile");
    p.coLetWindowsDecide = Text(m, "CoLetWindowsDecide");
    p.stayOnTop = Text(m, "StayOnTop");
    p.wx = Text(m, "Wx");
    p.wy = Text(m, "Wy");
    p.ww = Text(m, "Ww");
    p.wh = Text(m, "Wh");
    p.secondaryWindow = Text(m, "SecondaryWindow");
    p.secondaryWindowTitle = Text(m, "SecondaryWindowTitle");
    p.secondaryWindowColor = Text(m, "SecondaryWindowColor");
    p.secondStayOnTop = Text(m, "SecondStayOnTop");
    p.gx = Text(m, "Gx");
    p.gy = Text(m, "Gy");
    p.gw = Text(m, "Gw");
    p.gh = Text(m, "Gh");
    p.addButton1 = Text(m, "AddButton1");
    p.addButton2 = Text(m, "AddButton2");
    p.addButton3 = Text(m, "AddButton3");
    p.useFilteredPagesOnly = Text(m, "UseFilteredPagesOnly");
    p.autogenerateContents = Text(m, "AutogenerateContents");
    p.autogeneratePrjFile = Text(m, "AutogeneratePRJfile");
    p.autoGenerateCntFile = Text(m, "AutoGenerateCntFile");
    p.contentsFilter = Text(m, "ContentsFilter");
    p.keptHpj = Text(m, "Comments");
    p.scrollColor = scrollColor ? *scrollColor : Colour(m, "ScrollColor", 0xFFFFFF);
    p.nonscrollColor = nonscrollColor ? *nonscrollColor : Colour(m, "NonscrollColor", 0xC0C0C0);
    p.projectFolder = editor::ProjectFolderOrProgramDir(p.projectDir, ctx_.ProgramDir);
    p.graphicsFolder = editor::ProjectFolder(p.graphicsDir, ctx_.ProgramDir);
    return p;
}

bool TableBuildProject::PostPendingEdits() {
    for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx_.detailTable), static_cast<db::TDataSet*>(ctx_.mainTable)}) {
        if (!Editing(t)) continue;
        try {
            t->Post();
        } catch (...) {
        }
    }
    return !Editing(ctx_.detailTable) && !Editing(ctx_.mainTable);
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
    r.topicPopup = Text(c, "TopicPopup");
    db::TField* id = c->FindField("HelpId");
    r.helpId = id && !id->IsNull() ? static_cast<std::int32_t>(id->AsInteger()) : 0;
    r.contextString = Text(c, "ContextString");
    r.title = Text(c, "Title");
    r.keys = Text(c, "Keys");
    r.browseName = Text(c, "BrowseName");
    r.browseId = Text(c, "BrowseId");
    r.bFootnote = Text(c, "BFootnote");
    r.aFootnote = Text(c, "AFootnote");
    r.macroFootnote = Text(c, "MacroFootnote");
    r.titleUserModified = Text(c, "TitleUserModified");
    if (withTexts) {
        r.fullTitle = Text(c, "FullTitle");
        r.helpText = Text(c, "HelpText");
        r.prepared = Text(c, "Prepared");
    }
    return r;
}

std::string TableBuildProject::CurrentPrepared() { return Text(ctx_.CdetailTable, "Prepared"); }

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
        const std::string app = Text(ctx_.mainTable, "Application");
        for (f->First(); !f->Eof(); f->Next())
            if (Text(f, "Application") == app) return Text(f, "RtfHeader");
    }
    ctx_.prefsTable->First();
    return Text(ctx_.prefsTable, "RtfHeader");
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
    if (!Editing(m)) m->Edit();
    for (const char* f : {"CntTabs", "CntLinkFiles", "CntIndexFiles"}) m->FieldByName(f)->SetAsString("");
    m->Post();
    for (const ContentsRow& r : rows) {
        s->Append();
        s->FieldByName("Application")->SetAsString(Text(m, "Application"));
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

std::string TableCompileOptions::Field(const std::string& name) { return Text(ctx_.mainTable, name.c_str()); }

void TableCompileOptions::EditField(const std::string& name, const std::string& value) {
    db::TDataSet* m = ctx_.mainTable;
    if (!Editing()) m->Edit();
    m->FieldByName(name)->SetAsString(value);
}

bool TableCompileOptions::Editing() { return build::Editing(ctx_.mainTable); }

void TableCompileOptions::Post() { ctx_.mainTable->Post(); }

void TableCompileOptions::CancelEdit() {
    if (Editing()) ctx_.mainTable->Cancel();
}

}  // namespace build
