// The project backup on engine tables: the archive's members are the files
// the engine wrote for the work tables, and they open again as tables that
// hold exactly the project's rows; failures leave no archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "editor/backup/backup_project.h"
#include "editor/backup/lzh_batch.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "project/table_copy.h"
#include "project/tests/editor_test_support.h"
#include "editor/lzh/lzh_decoder.h"
#include "engine/api/dbi_api.h"
#include "engine/api/dbi_test_hooks.h"
#include "platform/core/exceptions.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct BackupFixture : ::testing::Test {
    edtest::ProgramFolder home;
    gui::ScriptedDialogService dialogs;
    std::unique_ptr<editor::EditorContext> ctx;
    backup::BackupUi ui;
    backup::BackupDialogState shown;
    build::NullProgress* progress = nullptr;
    std::vector<int> percents;

    BackupFixture() {
        gui::SetDialogService(&dialogs);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.dir;
        ctx->BindAlias();
        ctx->OpenTables();
        for (const char* app : {"Other", "Demo"}) AddProject(app);
        for (int id : {1000, 2000, 3000}) AddRow(ctx->detailTable, "Demo", id);
        for (int id : {10, 20}) AddRow(ctx->detailTable, "Other", id);
        AddRef("Demo", 1000, 2000);
        AddRef("Other", 10, 20);
        db::TDataSet* m = ctx->mainTable;
        for (m->First(); !m->Eof() && m->FieldByName("Application")->AsString() != "Demo";) m->Next();
        ui.showDialog = [this](backup::BackupDialogState& s) {
            shown = s;
            s.folder = home.dir;
            return true;
        };
    }
    ~BackupFixture() override {
        ctx.reset();
        gui::SetDialogService(nullptr);
    }
    void AddProject(const std::string& app) {
        db::TDataSet* m = ctx->mainTable;
        m->Append();
        m->FieldByName("Application")->SetAsString(app);
        m->FieldByName("DosName")->SetAsString(app == "Demo" ? "demo" : "other");
        m->FieldByName("HelpTitle")->SetAsString(app + " Help");
        m->Post();
    }
    void AddRow(db::TDataSet* t, const std::string& app, int id) {
        t->Append();
        t->FieldByName("Application")->SetAsString(app);
        t->FieldByName("HelpId")->SetAsInteger(id);
        t->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
        t->FieldByName("HelpText")->SetAsString("{\\rtf1 body of " + std::to_string(id) + "}");
        t->Post();
    }
    void AddRef(const std::string& app, int from, int to) {
        db::TDataSet* r = ctx->refIntegTable;
        if (!r->Active()) r->Open();
        r->Append();
        r->FieldByName("Application")->SetAsString(app);
        r->FieldByName("HelpId")->SetAsInteger(from);
        r->FieldByName("ReferencedBy")->SetAsInteger(to);
        r->Post();
    }
    std::string Archive() const { return home.Path("demo.KQB"); }
    std::string Work() const { return plat::NativePath(backup::BackupWorkFolder(home.dir)); }

    // Decodes every member of the archive into `folder`.
    std::vector<std::string> Extract(const std::string& folder) {
        lzh::TLZHBatch batch;
        batch.SetArchiveFileName(Archive());
        EXPECT_TRUE(batch.ValidArchive());
        const std::string bytes = testsupport::ReadFileBytes(Archive());
        std::vector<std::string> names;
        fs::create_directories(folder);
        for (int i = 0; i < batch.ArchiveEntries().Count(); ++i) {
            auto* m = static_cast<lzh::TArchiveMember*>(batch.ArchiveEntries().Objects(i));
            const std::string data = lzh::LZHDecompress(
                std::string_view(bytes).substr(static_cast<std::size_t>(batch.DataStart() + m->offset),
                                               static_cast<std::size_t>(m->compressedSize)),
                static_cast<std::size_t>(m->size));
            EXPECT_EQ(data.size(), static_cast<std::size_t>(m->size)) << m->name;
            testsupport::WriteFileBytes(fs::path(folder) / m->name, data);
            names.push_back(m->name);
        }
        return names;
    }
    std::string Extracted() {
        const std::string out = home.Path("restored");
        Extract(out);
        return out;
    }
    // Every field of every row as text; only the application's rows when named.
    std::vector<std::vector<std::string>> Rows(const std::string& folder, const std::string& table,
                                               const std::string& application) {
        db::TTable t(nullptr);
        t.DatabaseName = folder;
        t.TableName = table;
        t.Open();
        std::vector<std::vector<std::string>> rows;
        for (t.First(); !t.Eof(); t.Next()) {
            if (!application.empty() && t.FieldByName("Application")->AsString() != application) continue;
            std::vector<std::string>& row = rows.emplace_back();
            for (int i = 0; i < t.FieldCount(); ++i) row.push_back(t.Fields(i)->AsString());
        }
        t.Close();
        return rows;
    }
    // The values of one field over a table's rows, opened in `folder`.
    std::vector<std::string> Column(const std::string& folder, const std::string& table, const char* field) {
        db::TTable t(nullptr);
        t.DatabaseName = folder;
        t.TableName = table;
        t.Open();
        std::vector<std::string> values;
        for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldByName(field)->AsString());
        t.Close();
        return values;
    }
};

TEST_F(BackupFixture, MembersAreTheEngineFilesAndOpenWithExactlyTheProjectsRows) {
    fs::create_directories(home.Path("backups"));
    ui.showDialog = [this](backup::BackupDialogState& s) {
        shown = s;
        s.folder = home.dir;
        return true;
    };
    ASSERT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Written);
    EXPECT_EQ(shown.project, "Demo");
    EXPECT_EQ(shown.name, "demo.KQB");
    EXPECT_EQ(plat::NativePath(shown.folder), home.Path("backups"));
    EXPECT_FALSE(fs::exists(Work()));

    const std::string out = home.Path("restored");
    const std::vector<std::string> names = Extract(out);
    // Every member is one of the work tables' files; each table is there.
    std::map<std::string, int> perTable;
    for (const std::string& n : names) {
        std::string base = n.substr(0, n.find('.'));
        ++perTable[base];
    }
    for (const char* t : {"TVRNMAIN", "TVRNITEM", "TVRNREFI", "TVRNCNT"}) EXPECT_GE(perTable[t], 1) << t;
    EXPECT_EQ(perTable.size(), 4u);

    EXPECT_EQ(Column(out, "TVRNMAIN", "Application"), std::vector<std::string>{"Demo"});
    EXPECT_EQ(Column(out, "TVRNMAIN", "HelpTitle"), std::vector<std::string>{"Demo Help"});
    EXPECT_EQ(Column(out, "TVRNITEM", "HelpId"), (std::vector<std::string>{"1000", "2000", "3000"}));
    EXPECT_EQ(Column(out, "TVRNITEM", "HelpText")[1], "{\\rtf1 body of 2000}");
    EXPECT_EQ(Column(out, "TVRNREFI", "ReferencedBy"), std::vector<std::string>{"2000"});
    EXPECT_TRUE(Column(out, "TVRNCNT", "Application").empty());
    // The source tables are untouched.
    EXPECT_EQ(Column(home.dir, editor::kItemTableFile, "HelpId").size(), 5u);
}

// The work tables are deleted after archiving: creating and filling them
// makes no sync, the source tables are only read, and the archive is synced
// by the archiver itself, outside the engine.
TEST_F(BackupFixture, TheWorkTablesCostTheEngineNoSync) {
    long syncs = -1;
    {
        qv::DbiSyncCounter counter;
        ASSERT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Written);
        syncs = counter.DiskSyncs();
    }
    EXPECT_EQ(syncs, 0);
    EXPECT_EQ(Column(Extracted(), "TVRNITEM", "HelpId"), (std::vector<std::string>{"1000", "2000", "3000"}));
}

// Every row of every table in the restored copy: each field of the
// project's rows, in order, across more rows than one block of the copy.
TEST_F(BackupFixture, ARestoredBackupHoldsTheProjectsRowsFieldForField) {
    // Set-up only: the fill needs no syncs.
    ASSERT_EQ(qv::DbiSetScratchFolder(home.dir.c_str(), true), 0);
    for (int id = 1; id <= 600; ++id) {
        AddRow(ctx->detailTable, id % 5 ? "Demo" : "Other", 5000 + id);
        if (id % 3 == 0) AddRef("Demo", 5000 + id, 5000 + id - 1);
    }
    db::TDataSet* c = ctx->cntTable;
    if (!c->Active()) c->Open();
    for (int i = 1; i <= 300; ++i) {
        c->Append();
        c->FieldByName("Application")->SetAsString(i % 4 ? "Demo" : "Other");
        c->FieldByName("Sequence")->SetAsInteger(i);
        c->Post();
    }
    ASSERT_EQ(qv::DbiSetScratchFolder(home.dir.c_str(), false), 0);
    db::TDataSet* m = ctx->mainTable;
    for (m->First(); !m->Eof() && m->FieldByName("Application")->AsString() != "Demo";) m->Next();

    ASSERT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Written);
    const std::string out = Extracted();
    const struct {
        const char* source;
        const char* work;
        std::size_t rows;
    } tables[] = {
        {editor::kMainTableFile, "TVRNMAIN", 1},
        {editor::kItemTableFile, "TVRNITEM", 3 + 480},
        {editor::kRefiTableFile, "TVRNREFI", 1 + 200},
        {editor::kCntTableFile, "TVRNCNT", 225},
    };
    for (const auto& t : tables) {
        const auto want = Rows(home.dir, t.source, "Demo");
        EXPECT_EQ(want.size(), t.rows) << t.source;
        EXPECT_TRUE(Rows(out, t.work, "") == want) << t.work;
    }
}

TEST_F(BackupFixture, AFailedCopyStopsWithTheWarningAndWritesNoArchive) {
    // The page table's third row cannot be posted in the work table.
    int posts = 0;
    ctx->tblBackTo->BeforePost = [&](db::TDataSet* t) {
        if (static_cast<db::TTable*>(t)->TableName == "TVRNITEM" && ++posts == 3) throw plat::Exception("disk full");
    };
    EXPECT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Failed);
    EXPECT_FALSE(fs::exists(Archive()));
    EXPECT_FALSE(fs::exists(Work()));
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_EQ(dialogs.Requests().back().caption, "Warning");
    EXPECT_EQ(dialogs.Requests().back().text, backup::kBackupFailedText);
}

TEST_F(BackupFixture, AStaleWorkFolderIsEmptiedFirst) {
    fs::create_directories(Work());
    testsupport::WriteFileBytes(fs::path(Work()) / "TVRNITEM.old", "left by a failed run");
    testsupport::WriteFileBytes(fs::path(Work()) / "notes.txt", "stale");
    ASSERT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Written);
    lzh::TLZHBatch batch;
    batch.SetArchiveFileName(Archive());
    for (int i = 0; i < batch.ArchiveEntries().Count(); ++i) {
        EXPECT_EQ(batch.ArchiveEntries()[i].find("TVRNITEM.old"), std::string::npos);
        EXPECT_EQ(batch.ArchiveEntries()[i].find("notes"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(Work()));
}

// The work tables' files are gone by the time they are listed (as when the
// engine wrote them elsewhere): nothing is archived, a warning says so, and
// neither an archive nor the work folder is left.
TEST_F(BackupFixture, NothingToArchiveGivesItsWarningAndNoArchive) {
    int closes = 0;
    ctx->tblBackTo->AfterClose = [&](db::TDataSet*) {
        ++closes;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Work(), ec)) fs::remove(e.path(), ec);
    };
    EXPECT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Failed);
    EXPECT_GE(closes, 4);
    EXPECT_FALSE(fs::exists(Archive()));
    EXPECT_FALSE(fs::exists(Work()));
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_EQ(dialogs.Requests().back().caption, "Warning");
    EXPECT_EQ(dialogs.Requests().back().text, "Nothing could be archived: the backup's work tables hold no files.");
}

TEST_F(BackupFixture, CancelledDialogDoesNothing) {
    ui.showDialog = [](backup::BackupDialogState&) { return false; };
    EXPECT_EQ(backup::BackupProject(*ctx, ui), backup::BackupOutcome::Cancelled);
    EXPECT_FALSE(fs::exists(Archive()));
    EXPECT_FALSE(fs::exists(Work()));
}

TEST(BackupStartFolder, FollowsTheProjectFolderRule) {
    testsupport::TempDir tmp;
    const std::string program = (tmp / "prog").string();
    fs::create_directories(tmp / "prog" / "proj" / "backups");
    fs::create_directories(tmp / "elsewhere");
    struct Case {
        std::string stored, expected;
    } cases[] = {
        {"proj", program + "/proj/backups"},                       // relative to the program folder
        {(tmp / "prog" / "proj").string(), program + "/proj/backups"},  // absolute
        {(tmp / "elsewhere").string(), program},                   // no backups anywhere: the program folder
        {"", program},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fs::weakly_canonical(plat::NativePath(backup::BackupStartFolder(c.stored, program))),
                  fs::weakly_canonical(c.expected))
            << c.stored;
    fs::create_directories(tmp / "prog" / "backups");
    EXPECT_EQ(fs::weakly_canonical(plat::NativePath(backup::BackupStartFolder((tmp / "elsewhere").string(), program))),
              fs::weakly_canonical(program + "/backups"));
}

TEST(BackupTarget, NameAndOverwriteRules) {
    testsupport::TempDir tmp;
    gui::ScriptedDialogService dialogs;
    gui::SetDialogService(&dialogs);
    testsupport::WriteFileBytes(tmp / "old.KQB", "x");
    EXPECT_FALSE(backup::BackupTargetAccepted(tmp.path().string(), ""));
    EXPECT_EQ(dialogs.Last().caption, "No Backup name");
    EXPECT_EQ(dialogs.Last().text, "You need to name your backup file.");
    EXPECT_TRUE(backup::BackupTargetAccepted(tmp.path().string(), "new.KQB"));
    dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(backup::BackupTargetAccepted(tmp.path().string(), "old.KQB"));
    EXPECT_EQ(dialogs.Last().text, "This file already exists, overwrite it?");
    dialogs.Answer(gui::mrYes);
    EXPECT_TRUE(backup::BackupTargetAccepted(tmp.path().string(), "old.KQB"));
    gui::SetDialogService(nullptr);
}

}  // namespace
