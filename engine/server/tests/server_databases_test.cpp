#include <filesystem>
#include <set>

#include "engine/server/tests/server_fixture.h"
#include "engine/storage/file_access.h"

using namespace qv;
using qvtest::ServerTest;
namespace fs = std::filesystem;

namespace {

bool Exists(const fs::path& p) { return fs::exists(p); }

TEST_F(ServerTest, DatabasesByPathAndByAlias) {
    std::uint32_t id = 1;
    EXPECT_EQ(engine.DatabaseOpen(kClientA, "Nowhere", true, true, id), dbi::kUnknownDatabase);
    EXPECT_EQ(id, 0u);
    ASSERT_EQ(engine.DatabaseAddAlias("Data", Dir()), 0);
    EXPECT_EQ(engine.DatabaseAddAlias("DATA", "/tmp"), dbi::kNotUnique);
    ASSERT_EQ(engine.DatabaseAddAlias("Gone", Dir() + "/missing"), 0);
    EXPECT_EQ(engine.DatabaseOpen(kClientA, "gone", true, true, id), dbi::kInvalidDirectory);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientA, "", true, true, id), dbi::kInvalidDirectory);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir() + "/missing", true, true, id), dbi::kInvalidDirectory);
    EXPECT_EQ(engine.DatabaseOpen(999, "Data", true, true, id), dbi::kInvalidHandle);

    std::uint32_t byAlias = 0, byPath = 0;
    ASSERT_EQ(engine.DatabaseOpen(kClientA, "data", true, true, byAlias), 0);
    ASSERT_EQ(engine.DatabaseOpenNoAlias(kClientB, Dir(), true, true, byPath), 0);
    TqvSrDatabase *a, *b;
    ASSERT_EQ(engine.FindDatabase(byAlias, a), 0);
    ASSERT_EQ(engine.FindDatabase(byPath, b), 0);
    EXPECT_EQ(a->folder, b->folder);

    // A table made through one is seen through the other.
    Build(byAlias, "People");
    std::uint32_t cursor;
    EXPECT_EQ(Open(byPath, "people", cursor), 0);

    EXPECT_EQ(engine.DatabaseChgAliasPath("nope", "/tmp"), dbi::kUnknownDatabase);
    EXPECT_EQ(engine.DatabaseChgAliasPath("DATA", "/tmp"), 0);
    EXPECT_EQ(engine.Configuration().Aliases().Directory("Data"), NormalizeConfigPath("/tmp"));
    EXPECT_EQ(engine.DatabaseDeleteAlias("nope"), dbi::kUnknownDatabase);
    EXPECT_EQ(engine.DatabaseDeleteAlias("data"), 0);
    EXPECT_FALSE(engine.Configuration().Aliases().Exists("Data"));
}

TEST_F(ServerTest, AliasListRecords) {
    engine.DatabaseAddAlias("Beta", "/tmp");
    engine.DatabaseAddAlias("Alpha", Dir());
    plat::MemoryStream ms;
    ASSERT_EQ(engine.DatabaseAliasList(ms), 0);
    const std::string& b = ms.Bytes();
    ASSERT_EQ(b.size(), 2u * 252);
    EXPECT_EQ(b[0], 5);
    EXPECT_EQ(b.substr(1, 5), "Alpha");
    EXPECT_EQ(b[6], 0) << "zero filled";
    std::string path = NormalizeConfigPath(Dir());
    EXPECT_EQ(static_cast<unsigned char>(b[32]), path.size());
    EXPECT_EQ(b.substr(33, path.size()), path);
    EXPECT_EQ(b.substr(253, 4), "Beta");
}

TEST_F(ServerTest, ExclusiveDatabaseOpens) {
    std::uint32_t a1 = OpenDb(kClientA), b1 = OpenDb(kClientB), id;
    // Client A's own database is found first; client B's shared one must
    // still refuse A's exclusive open.
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir(), true, false, id), dbi::kNotExclusive);
    EXPECT_EQ(engine.Folders().Item(0)->refCount, 2u) << "the refused open gave its folder reference back";
    EXPECT_EQ(engine.DatabaseClose(b1), 0);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir(), true, false, id), 0) << "same client, current session";
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientB, Dir(), true, true, id), dbi::kNotExclusive);
    std::uint32_t other;
    ASSERT_EQ(engine.SessionAdd(kClientA, other), 0);
    ASSERT_EQ(engine.SessionSetCurrent(kClientA, other), 0);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir(), true, true, id), dbi::kNotExclusive)
        << "another session of the same client";
    (void)a1;
}

TEST_F(ServerTest, OpeningTables) {
    std::uint32_t db = OpenDb(kClientA), ro = 0, dbB = OpenDb(kClientB), c, c2, cb;
    ASSERT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir(), false, true, ro), 0);
    Build(db, "People");
    EXPECT_EQ(Open(db, "Bad-Name", c), dbi::kInvalidTableName);
    EXPECT_EQ(Open(db, "Missing", c), dbi::kTableMissing);
    EXPECT_EQ(Open(ro, "People", c), dbi::kDatabaseReadOnly);
    EXPECT_EQ(Open(db, "People", c, true, true, "NoSuchIndex"), dbi::kIndexMissing);
    EXPECT_EQ(engine.Tables().Count(), 0) << "the table made for the failed open is freed";
    EXPECT_EQ(Open(db, "People", c, true, true, "", 1), dbi::kIndexMissing);

    plat::MemoryStream reply;
    ASSERT_EQ(engine.OpenTable(ro, "People", "", 0, false, true, 0, &reply, c), 0);
    reply.SetPosition(0);
    std::uint8_t head[4];
    reply.ReadBuffer(head, 4);
    EXPECT_EQ(GetU32(head), c);
    TqvDataDictionary d;
    d.ReadFromStream(reply);
    EXPECT_EQ(d.FieldCount(), 2u);
    reply.ReadBuffer(head, 4);
    EXPECT_EQ(GetU32(head), 0u);
    EXPECT_EQ(Open(db, "People", cb, true, false), dbi::kNotExclusive) << "open shared, exclusive asked";
    ASSERT_EQ(engine.CursorClose(c), 0);
    EXPECT_EQ(engine.Tables().Count(), 0);

    ASSERT_EQ(Open(db, "People", c, true, false), 0);
    EXPECT_EQ(Open(dbB, "People", cb), dbi::kRecordLocked) << "exclusive to session A";
    EXPECT_EQ(Open(db, "People", c2), 0) << "a second cursor of session A";
    TqvSrCursor* cur;
    ASSERT_EQ(engine.FindCursor(c2, cur), 0);
    EXPECT_EQ(cur->table->shared, 0);
}

TEST_F(ServerTest, BuildingDeletingAndEmptyingTables) {
    std::uint32_t db = OpenDb(kClientA), ro = 0, c;
    ASSERT_EQ(engine.DatabaseOpenNoAlias(kClientA, Dir(), false, true, ro), 0);
    EXPECT_EQ(engine.BuildTable(ro, false, qvtest::PeopleDictionary(), 0, "People"), dbi::kDatabaseReadOnly);
    EXPECT_EQ(engine.BuildTable(db, false, qvtest::PeopleDictionary(), 0, "a.b"), dbi::kInvalidTableName);
    Build(db, "People", true);
    EXPECT_TRUE(Exists(dir / "People.QVD"));
    EXPECT_TRUE(Exists(dir / "People.QVB"));
    EXPECT_EQ(engine.BuildTable(db, false, qvtest::PeopleDictionary(), 0, "People"), dbi::kTableExists);
    EXPECT_EQ(engine.BuildTable(db, true, qvtest::PeopleDictionary(), 0, "People"), 0);
    EXPECT_FALSE(Exists(dir / "People.QVB")) << "overwrite deleted the old files first";
    EXPECT_EQ(engine.Tables().Count(), 0) << "a built table is not left open";

    ASSERT_EQ(Open(db, "People", c), 0);
    EXPECT_EQ(engine.BuildTable(db, true, qvtest::PeopleDictionary(), 0, "PEOPLE"), dbi::kTableOpen);
    EXPECT_EQ(engine.DeleteTable(db, "People"), dbi::kTableOpen);
    EXPECT_EQ(engine.EmptyTable(db, c, "People"), dbi::kNotExclusive);
    bool inTrans = true;
    EXPECT_EQ(engine.DatabaseInTrans(db, inTrans), 0);
    EXPECT_FALSE(inTrans) << "the refused empty rolled its transaction back";
    ASSERT_EQ(engine.CursorClose(c), 0);

    std::uint32_t roCursor;
    ASSERT_EQ(Open(db, "People", roCursor, false, false), 0);
    EXPECT_EQ(engine.EmptyTable(db, roCursor, "People"), dbi::kTableReadOnly);
    ASSERT_EQ(engine.CursorClose(roCursor), 0);
    ASSERT_EQ(Open(db, "People", c, true, false), 0);
    EXPECT_EQ(engine.EmptyTable(db, c, "People"), 0);
    EXPECT_EQ(engine.DatabaseInTrans(db, inTrans), 0);
    EXPECT_FALSE(inTrans);
    EXPECT_EQ(engine.Tables().Item(0)->dictionary.FieldCount(), 2u);
    ASSERT_EQ(engine.CursorClose(c), 0);
    EXPECT_EQ(engine.EmptyTable(db, 0, "People"), 0);
    EXPECT_EQ(Open(db, "People", c), 0);
    ASSERT_EQ(engine.CursorClose(c), 0);

    // Deleting is a change: a read-only database refuses it.
    EXPECT_EQ(engine.DeleteTable(ro, "People"), dbi::kDatabaseReadOnly);
    EXPECT_TRUE(Exists(dir / "People.QVD"));
    EXPECT_EQ(engine.DeleteTable(db, "../People"), dbi::kInvalidTableName);
    EXPECT_EQ(engine.DeleteTable(db, "People"), 0);
    EXPECT_FALSE(Exists(dir / "People.QVD"));
    EXPECT_EQ(Open(db, "People", c), dbi::kTableMissing);
}

TEST_F(ServerTest, RenamingMovesOnlyTheTablesOwnFiles) {
    std::uint32_t db = OpenDb(kClientA), c;
    Build(db, "People", true);
    // A file that shares the name but is not listed by the dictionary.
    testsupport::WriteFileBytes(dir / "People.TXT", "notes");
    EXPECT_EQ(engine.RenameTable(db, "People", "bad name"), dbi::kInvalidTableName);
    ASSERT_EQ(Open(db, "People", c), 0);
    EXPECT_EQ(engine.RenameTable(db, "PEOPLE", "Staff"), dbi::kTableOpen);
    ASSERT_EQ(engine.CursorClose(c), 0);

    ASSERT_EQ(engine.RenameTable(db, "People", "Staff"), 0);
    EXPECT_TRUE(Exists(dir / "Staff.QVD"));
    EXPECT_TRUE(Exists(dir / "Staff.QVB"));
    EXPECT_FALSE(Exists(dir / "People.QVD"));
    EXPECT_TRUE(Exists(dir / "People.TXT"));
    EXPECT_FALSE(Exists(dir / "Staff.TXT"));
    EXPECT_EQ(Open(db, "Staff", c), 0);
    ASSERT_EQ(engine.CursorClose(c), 0);

    Build(db, "Other");
    EXPECT_EQ(engine.RenameTable(db, "Staff", "Other"), dbi::kTableExists) << "never over another table";
    EXPECT_EQ(engine.RenameTable(db, "Nobody", "Else"), dbi::kTableMissing);
}

TEST_F(ServerTest, AFailedRenameIsUndone) {
    std::uint32_t db = OpenDb(kClientA), c;
    Build(db, "People", true);
    TqvFaultFileAccess fault(QvFileAccess());
    QvInstallFileAccess(&fault);
    fault.FailAt(2);  // the second rename fails
    DBIResult r = engine.RenameTable(db, "People", "Staff");
    QvInstallFileAccess(nullptr);
    EXPECT_NE(r, 0);
    EXPECT_TRUE(Exists(dir / "People.QVD"));
    EXPECT_TRUE(Exists(dir / "People.QVB"));
    EXPECT_FALSE(Exists(dir / "Staff.QVD"));
    EXPECT_FALSE(Exists(dir / "Staff.QVB"));
    EXPECT_EQ(Open(db, "People", c), 0);
}

TEST_F(ServerTest, TableListRecords) {
    std::uint32_t db = OpenDb(kClientA);
    Build(db, "Alpha");
    Build(db, "Beta");
    testsupport::WriteFileBytes(dir / "Anote.txt", "12345");
    plat::MemoryStream all, masked;
    ASSERT_EQ(engine.DatabaseTableList(db, "", all), 0);
    ASSERT_EQ(all.Bytes().size(), 2u * 48);
    std::set<std::string> names;
    for (int i = 0; i < 2; ++i) {
        const char* r = all.Bytes().data() + i * 48;
        names.insert(std::string(r + 1, static_cast<unsigned char>(r[0])));
        EXPECT_EQ(std::string(r + 33, static_cast<unsigned char>(r[32])), "QVD");
        std::string name(r + 1, static_cast<unsigned char>(r[0]));
        EXPECT_EQ(GetU32(r + 36), fs::file_size(dir / (name + ".QVD")));
        EXPECT_EQ(GetU32(r + 40), 0u);
        EXPECT_NE(GetU32(r + 44), 0u);
    }
    EXPECT_EQ(names, (std::set<std::string>{"Alpha", "Beta"}));
    ASSERT_EQ(engine.DatabaseTableList(db, "A*.*", masked), 0);
    ASSERT_EQ(masked.Bytes().size(), 2u * 48);
    std::set<std::string> got;
    for (int i = 0; i < 2; ++i) {
        const char* r = masked.Bytes().data() + i * 48;
        got.insert(std::string(r + 1, static_cast<unsigned char>(r[0])) + "." +
                   std::string(r + 33, static_cast<unsigned char>(r[32])));
        if (r[1] == 'A' && r[2] == 'n') {
            EXPECT_EQ(GetU32(r + 36), 5u);
        }
    }
    EXPECT_EQ(got, (std::set<std::string>{"Alpha.QVD", "Anote.txt"}));
}

TEST_F(ServerTest, TransactionsArePerDirectory) {
    std::uint32_t a = OpenDb(kClientA), b = OpenDb(kClientB), t1, t2;
    ASSERT_EQ(engine.TransactionStart(a, false, t1), 0);
    EXPECT_EQ(engine.TransactionStart(a, false, t2), dbi::kTransactionActive);
    EXPECT_EQ(engine.TransactionStart(b, false, t2), dbi::kTransactionActive);
    EXPECT_EQ(engine.BuildTable(b, false, qvtest::PeopleDictionary(), 0, "People"), dbi::kTransactionActive);
    bool in = false;
    EXPECT_EQ(engine.DatabaseInTrans(a, in), 0);
    EXPECT_TRUE(in);
    EXPECT_EQ(engine.TransactionCommit(t1), 0);
    EXPECT_EQ(engine.TransactionCommit(t1), dbi::kInvalidHandle);
    EXPECT_EQ(engine.DatabaseInTrans(a, in), 0);
    EXPECT_FALSE(in);
    ASSERT_EQ(engine.TransactionStart(b, false, t2), 0);
    EXPECT_EQ(engine.TransactionRollback(t2), 0);
    EXPECT_EQ(engine.TransactionSaveProgress(t2), dbi::kInvalidHandle);

    // A fail-safe transaction journals into "<database id>.QV$" in the
    // folder, made when it first writes a table and gone once it commits.
    Build(a, "People");
    std::uint32_t c = 0;
    ASSERT_EQ(Open(a, "People", c), 0);
    ASSERT_EQ(engine.TransactionStart(a, true, t1), 0);
    EXPECT_FALSE(Exists(dir / (std::to_string(a) + ".QV$")));
    const TqvDataDictionary d = qvtest::PeopleDictionary();
    std::vector<std::uint8_t> row(d.GetRecordLength());
    d.InitRecord(row.data());
    std::uint8_t id[4];
    PutU32(id, 7);
    d.SetRecordField(0, row.data(), id);
    ASSERT_EQ(engine.RecordInsert(c, false, row.data(), row.size()), 0);
    EXPECT_EQ(engine.TransactionSaveProgress(t1), 0);
    EXPECT_TRUE(Exists(dir / (std::to_string(a) + ".QV$")));
    EXPECT_EQ(engine.TransactionDiscardProgress(t1), 0);
    EXPECT_EQ(engine.TransactionCommit(t1), 0);
    EXPECT_FALSE(Exists(dir / (std::to_string(a) + ".QV$")));
}

TEST_F(ServerTest, OpenTablesJoinTheFolderTransaction) {
    std::uint32_t a = OpenDb(kClientA), b = OpenDb(kClientB), c, tr;
    Build(a, "People");
    ASSERT_EQ(engine.TransactionStart(b, false, tr), 0);
    ASSERT_EQ(Open(a, "People", c), 0);
    TqvSrCursor* cur;
    ASSERT_EQ(engine.FindCursor(c, cur), 0);
    EXPECT_EQ(cur->table->GetFile(0)->transaction, tr) << "a table opened during a transaction is bound to it";
    EXPECT_EQ(engine.TransactionCommit(tr), 0);
    EXPECT_EQ(cur->table->GetFile(0)->transaction, 0u);
    ASSERT_EQ(engine.TransactionStart(a, false, tr), 0);
    EXPECT_EQ(cur->table->GetFile(0)->transaction, tr) << "and tables already open join a new one";
    EXPECT_EQ(engine.DatabaseClose(a), 0);
    EXPECT_EQ(engine.Folders().Item(0)->transactionId, 0u) << "closing the database rolled it back";
    EXPECT_EQ(engine.Tables().Count(), 0);
}

TEST_F(ServerTest, DictionaryOfOpenAndClosedTables) {
    std::uint32_t db = OpenDb(kClientA), c;
    Build(db, "People");
    plat::MemoryStream closed, open;
    EXPECT_EQ(engine.GetTableDictionary(db, "x/y", closed, 0), dbi::kInvalidTableName);
    EXPECT_EQ(engine.GetTableDictionary(db, "Nobody", closed, 0), dbi::kTableMissing);
    ASSERT_EQ(engine.GetTableDictionary(db, "People", closed, 0), 0);
    ASSERT_EQ(Open(db, "People", c), 0);
    ASSERT_EQ(engine.GetTableDictionary(db, "People", open, 0), 0);
    EXPECT_EQ(closed.Bytes(), open.Bytes());
    closed.SetPosition(0);
    TqvDataDictionary d;
    d.ReadFromStream(closed);
    EXPECT_EQ(d.Field(1).name, "Name");
}

}  // namespace

namespace {

TEST_F(ServerTest, AFailedBuildLeavesNoTransactionAndNoOpenTable) {
    std::uint32_t db = OpenDb(kClientA);
    for (long failAt = 1; failAt <= 3; ++failAt) {
        TqvFaultFileAccess fault(QvFileAccess());
        QvInstallFileAccess(&fault);
        fault.FailAt(failAt);
        DBIResult r = engine.BuildTable(db, true, qvtest::PeopleDictionary(true), 0, "People");
        QvInstallFileAccess(nullptr);
        EXPECT_NE(r, 0) << failAt;
        bool in = true;
        EXPECT_EQ(engine.DatabaseInTrans(db, in), 0);
        EXPECT_FALSE(in) << failAt;
        EXPECT_EQ(engine.Tables().Count(), 0) << failAt;
    }
    ASSERT_EQ(engine.BuildTable(db, true, qvtest::PeopleDictionary(true), 0, "People"), 0);
    std::uint32_t c;
    EXPECT_EQ(Open(db, "People", c), 0);
}

}  // namespace
