#include "db_fixture.h"

#include <algorithm>

using namespace db;
using Strings = std::vector<std::string>;

namespace dbtest {
namespace {

class TableTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        CreateProjectTables();
        pages.DatabaseName = "Tavrin";
        pages.TableName = "TvrnITEM.QVD";
        projects.DatabaseName = "Tavrin";
        projects.TableName = "tvrnmain.qvd";  // table names do not depend on case
    }
    TTable pages{nullptr};
    TTable projects{nullptr};
};

TEST_F(TableTest, NavigatesWithBofAndEof) {
    pages.Open();
    EXPECT_TRUE(pages.Bof());
    EXPECT_FALSE(pages.Eof());
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Overview", "About"}));
    EXPECT_TRUE(pages.Eof());
    pages.Last();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "About");
    EXPECT_EQ(pages.MoveBy(-3), -3);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Setup");
    EXPECT_EQ(pages.MoveBy(-5), -1);  // stops on the first row
    EXPECT_TRUE(pages.Bof());
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Contents");
    pages.Prior();
    EXPECT_TRUE(pages.Bof());
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Contents");
}

// Every before/after event of an operation, and the source's state changes, in order.
TEST_F(TableTest, RaisesEventsInOrder) {
    Strings log;
    auto rec = [&](const char* n) { return [&log, n](TDataSet*) { log.push_back(n); }; };
    pages.BeforeEdit = rec("BeforeEdit");       pages.AfterEdit = rec("AfterEdit");
    pages.BeforeInsert = rec("BeforeInsert");   pages.AfterInsert = rec("AfterInsert");
    pages.BeforePost = rec("BeforePost");       pages.AfterPost = rec("AfterPost");
    pages.BeforeCancel = rec("BeforeCancel");   pages.AfterCancel = rec("AfterCancel");
    pages.BeforeDelete = rec("BeforeDelete");   pages.AfterDelete = rec("AfterDelete");
    pages.BeforeScroll = rec("BeforeScroll");   pages.AfterScroll = rec("AfterScroll");
    pages.BeforeOpen = rec("BeforeOpen");       pages.AfterOpen = rec("AfterOpen");
    pages.OnNewRecord = [&](TDataSet* ds) {
        log.push_back("OnNewRecord");
        ds->FieldByName("Application")->SetAsString("Alpha");
    };
    TDataSource src(nullptr);
    src.SetDataSet(&pages);
    src.OnStateChange = [&](TDataSource* s) { log.push_back("State" + std::to_string(s->State())); };

    struct Case {
        const char* name;
        std::function<void()> op;
        Strings expected;
    };
    std::vector<Case> cases = {
        {"open", [&] { pages.Open(); }, {"BeforeOpen", "State1", "AfterOpen", "AfterScroll"}},
        {"edit", [&] { pages.Edit(); }, {"BeforeEdit", "State2", "AfterEdit"}},
        {"post", [&] { pages.FieldByName("Title")->SetAsString("Start"); pages.Post(); },
         {"BeforePost", "State1", "AfterPost"}},
        {"insert", [&] { pages.Insert(); },
         {"BeforeInsert", "BeforeScroll", "State3", "OnNewRecord", "AfterInsert", "AfterScroll"}},
        {"cancel", [&] { pages.Cancel(); }, {"BeforeCancel", "State1", "AfterCancel"}},
        {"next", [&] { pages.Next(); }, {"BeforeScroll", "AfterScroll"}},
        {"delete", [&] { pages.Delete(); }, {"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}},
        // Moving away from a modified record posts it first.
        {"edit, move", [&] { pages.Edit(); pages.FieldByName("Title")->SetAsString("X"); pages.First(); },
         {"BeforeEdit", "State2", "AfterEdit", "BeforePost", "State1", "AfterPost", "BeforeScroll", "AfterScroll"}},
    };
    for (const Case& c : cases) {
        log.clear();
        c.op();
        EXPECT_EQ(log, c.expected) << c.name;
    }
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Start", "X", "Overview", "About"}));
}

TEST_F(TableTest, InsertPostsWhereTheKeyBelongs) {
    pages.Open();
    pages.Insert();
    EXPECT_EQ(pages.State(), dsInsert);
    pages.FieldByName("Application")->SetAsString("Beta");
    pages.FieldByName("HelpId")->SetAsInteger(0);
    pages.FieldByName("Title")->SetAsString("Start");
    pages.Post();
    EXPECT_EQ(pages.State(), dsBrowse);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Start");  // the posted row stays current
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Start", "Overview", "About"}));
}

TEST_F(TableTest, OneRecordIsNotEmptyAtItsEnds) {
    pages.Open();
    pages.SetRange({std::string("Gamma")}, {std::string("Gamma")});
    pages.Next();
    EXPECT_TRUE(pages.Bof());
    EXPECT_TRUE(pages.Eof());
    EXPECT_FALSE(pages.IsEmpty());
    pages.Delete();
    EXPECT_TRUE(pages.IsEmpty());
    EXPECT_THROW(pages.Delete(), EDatabaseError);
    pages.Edit();  // editing an empty dataset inserts
    EXPECT_EQ(pages.State(), dsInsert);
}

TEST_F(TableTest, CancelDropsEditsAndNewRows) {
    pages.Open();
    pages.Next();
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Changed");
    pages.Cancel();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Setup");
    pages.Insert();
    pages.FieldByName("Title")->SetAsString("Never");
    pages.Cancel();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Setup");
    EXPECT_EQ(pages.RecordCount(), 5);
}

TEST_F(TableTest, FailedPostKeepsTheRecordInItsState) {
    pages.Open();
    pages.Insert();
    pages.FieldByName("Application")->SetAsString("Alpha");
    pages.FieldByName("HelpId")->SetAsInteger(2);  // taken
    pages.FieldByName("Title")->SetAsString("Duplicate");
    try {
        pages.Post();
        FAIL() << "post of a duplicate key succeeded";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_KEYVIOL);
        EXPECT_EQ(e.Message(), "Key violation.");
    }
    EXPECT_EQ(pages.State(), dsInsert);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Duplicate");
    pages.FieldByName("HelpId")->SetAsInteger(9);
    pages.Post();
    EXPECT_EQ(pages.RecordCount(), 6);

    // An engine failure on a modify keeps the edit state and the typed values.
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Typed");
    driver_->Table("/data/prog", "TvrnITEM.QVD")->failNextWrite = 13059;
    EXPECT_THROW(pages.Post(), EDBEngineError);
    EXPECT_EQ(pages.State(), dsEdit);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Typed");
    pages.Post();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Typed");
}

TEST_F(TableTest, RequiredFieldsAndAbortStopThePost) {
    pages.Open();
    pages.Insert();
    pages.FieldByName("Title")->SetAsString("No key");
    try {
        pages.Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Application' must have a value");
    }
    EXPECT_EQ(pages.State(), dsInsert);
    pages.Cancel();

    pages.BeforeDelete = [](TDataSet*) { Abort(); };
    EXPECT_THROW(pages.Delete(), plat::EAbort);
    EXPECT_EQ(pages.RecordCount(), 5);
    pages.BeforePost = [](TDataSet*) { Abort(); };
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Kept");
    EXPECT_THROW(pages.Post(), plat::EAbort);
    EXPECT_EQ(pages.State(), dsEdit);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Kept");
}

TEST_F(TableTest, FieldsRefuseWritesOutsideEditing) {
    pages.Open();
    EXPECT_THROW(pages.FieldByName("Title")->SetAsString("x"), EDatabaseError);
    pages.ReadOnly = true;
    pages.Close();
    pages.Open();
    EXPECT_THROW(pages.Edit(), EDatabaseError);
    EXPECT_THROW(pages.Append(), EDatabaseError);
}

TEST_F(TableTest, KeySearchOverIndexesByNameFieldsAndNumber) {
    pages.Open();
    EXPECT_TRUE(pages.FindKey({std::string("Alpha"), std::int64_t{3}}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    // A miss leaves the cursor where it was.
    EXPECT_FALSE(pages.FindKey({std::string("Alpha"), std::int64_t{4}}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    // A partial key finds the first row of that application.
    EXPECT_TRUE(pages.FindKey({std::string("Beta")}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");

    pages.SetIndexName("bytitle");
    EXPECT_EQ(Column(pages, "Title"), (Strings{"About", "Contents", "Index", "Overview", "Setup"}));
    pages.FindNearest({std::string("i")});
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    pages.FindNearest({std::string("Zzz")});  // past every key: the last row
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Setup");

    pages.SetIndexFieldNames("Application");
    pages.SetKey();
    pages.FieldByName("Application")->SetAsString("Gamma");
    EXPECT_TRUE(pages.GotoKey());
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "About");

    pages.SetIndexNumber(2);
    EXPECT_EQ(pages.IndexName(), "ByTitle");
    EXPECT_THROW(pages.SetIndexName("NoSuchIndex"), EDatabaseError);
}

TEST_F(TableTest, RangesLimitTheVisibleRows) {
    pages.Open();
    pages.SetRange({std::string("Alpha"), std::int64_t{2}}, {std::string("Alpha"), std::int64_t{3}});
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Setup", "Index"}));
    EXPECT_EQ(pages.RecordCount(), 2);
    pages.SetRange({std::string("Beta")}, {std::string("Gamma")});
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Overview", "About"}));
    pages.CancelRange();
    EXPECT_EQ(pages.RecordCount(), 5);
}

TEST_F(TableTest, DetailFollowsTheMasterRecord) {
    projects.Open();
    TDataSource masterSrc(nullptr);
    masterSrc.SetDataSet(&projects);
    pages.SetMasterSource(&masterSrc);
    pages.SetMasterFields("Application");
    pages.Open();
    EXPECT_EQ(projects.FieldByName("Application")->AsString(), "Alpha");
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index"}));
    projects.Next();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Overview"}));
    // A new detail row takes its link value from the master.
    pages.Append();
    EXPECT_EQ(pages.FieldByName("Application")->AsString(), "Beta");
    pages.FieldByName("HelpId")->SetAsInteger(5);
    pages.FieldByName("Title")->SetAsString("Later");
    pages.Post();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Overview", "Later"}));
    projects.Last();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"About"}));
    // A pending detail edit is posted before the master moves.
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("About us");
    projects.First();
    projects.Last();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "About us");
}

TEST_F(TableTest, FilterCallbackHidesRows) {
    pages.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        EXPECT_EQ(ds->State(), dsFilter);
        accept = ds->FieldByName("HelpId")->AsInteger() % 2 == 1;
    };
    pages.Open();
    pages.SetFiltered(true);
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Index", "Overview", "About"}));
    // A row that stops matching leaves the visible set when posted.
    pages.First();
    pages.Edit();
    pages.FieldByName("HelpId")->SetAsInteger(4);
    pages.Post();
    // The cursor stands where the row went (after Alpha 3), on the next visible one.
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Index", "Overview", "About"}));
    pages.SetFiltered(false);
    EXPECT_EQ(pages.RecordCount(), 5);
}

TEST_F(TableTest, BookmarksReturnToARecord) {
    pages.Open();
    pages.MoveBy(2);
    TBookmark bm = pages.GetBookmark();
    pages.Last();
    EXPECT_EQ(pages.CompareBookmarks(bm, pages.GetBookmark()), -1);
    pages.GotoBookmark(bm);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    EXPECT_TRUE(pages.BookmarkValid(bm));
    pages.Delete();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");  // the next row
    EXPECT_FALSE(pages.BookmarkValid(bm));
    EXPECT_THROW(pages.GotoBookmark(bm), EDatabaseError);
    pages.Last();
    pages.Delete();  // the last row: the one before becomes current
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
}

TEST_F(TableTest, MemoHoldsRtfWrittenThroughABlobStream) {
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 ";
    for (int i = 0; rtf.size() < 100 * 1024; ++i)
        rtf += "Line " + std::to_string(i) + " \\'e9\\'fc caf\xe9 \\par\r\n" + std::string(1, static_cast<char>(i & 0xFF));
    rtf += "}";
    pages.Open();
    pages.Edit();
    {
        auto s = pages.CreateBlobStream(pages.FieldByName("Body"), bmWrite);
        s->WriteBuffer(rtf.data(), static_cast<std::int64_t>(rtf.size()));
    }
    pages.Post();
    pages.Close();
    pages.Open();
    auto* body = dynamic_cast<TMemoField*>(pages.FieldByName("Body"));
    ASSERT_NE(body, nullptr);
    plat::MemoryStream out;
    body->SaveToStream(out);
    EXPECT_EQ(out.Bytes(), rtf);
    EXPECT_EQ(body->BlobSize(), static_cast<int>(rtf.size()));
    auto r = pages.CreateBlobStream(body, bmRead);
    char head[6] = {};
    r->ReadBuffer(head, 5);
    EXPECT_STREQ(head, "{\\rtf");
    EXPECT_THROW(r->Write("x", 1), plat::EWriteError);
    // A write stream needs edit state.
    EXPECT_THROW(pages.CreateBlobStream(body, bmWrite), EDatabaseError);
}

TEST_F(TableTest, CalculatedAndLookupFields) {
    projects.Open();
    auto calc = std::make_unique<TStringField>();
    calc->FieldName = "Caption";
    calc->FieldKind = fkCalculated;
    auto look = std::make_unique<TStringField>();
    look->FieldName = "ProjectTitle";
    look->FieldKind = fkLookup;
    look->LookupDataSet = &projects;
    look->KeyFields = "Application";
    look->LookupKeyFields = "Application";
    look->LookupResultField = "Title";
    // Persistent fields: the stored ones this table shows, then the derived ones.
    auto app = std::make_unique<TStringField>();
    app->FieldName = "Application";
    auto id = std::make_unique<TIntegerField>();
    id->FieldName = "HelpId";
    pages.AddField(std::move(app));
    pages.AddField(std::move(id));
    pages.AddField(std::move(calc));
    pages.AddField(std::move(look));
    pages.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("Caption")->SetAsString(ds->FieldByName("Application")->AsString() + "#" +
                                                ds->FieldByName("HelpId")->AsString());
    };
    pages.Open();
    EXPECT_EQ(pages.FieldCount(), 4);
    EXPECT_EQ(pages.FindField("Title"), nullptr);
    EXPECT_EQ(Column(pages, "Caption"), (Strings{"Alpha#1", "Alpha#2", "Alpha#3", "Beta#1", "Gamma#7"}));
    EXPECT_EQ(Column(pages, "ProjectTitle"), (Strings{"First", "First", "First", "Second", "Third"}));
    // Editing recalculates at once; a calculated field cannot be typed into outside OnCalcFields.
    pages.First();
    pages.Edit();
    pages.FieldByName("HelpId")->SetAsInteger(11);
    EXPECT_EQ(pages.FieldByName("Caption")->AsString(), "Alpha#11");
    pages.Cancel();
    EXPECT_EQ(pages.FieldByName("Caption")->AsString(), "Alpha#1");
}

// A kind that extends the post and calculation steps, as the library's table does.
class CheckingTable : public TTable {
public:
    using TTable::TTable;
    Strings steps;
protected:
    void DoBeforePost() override {
        TTable::DoBeforePost();
        steps.push_back("check");
        if (FieldByName("Title")->AsString().empty()) DatabaseError("Title missing");
    }
    void DoOnCalcFields() override {
        steps.push_back("calc");
        TTable::DoOnCalcFields();
    }
};

TEST_F(TableTest, KindsExtendThePostAndCalculationSteps) {
    CheckingTable t(nullptr);
    t.DatabaseName = "Tavrin";
    t.TableName = "TvrnITEM.QVD";
    auto calc = std::make_unique<TIntegerField>();
    calc->FieldName = "Twice";
    calc->FieldKind = fkCalculated;
    for (const char* n : {"Application", "HelpId", "Title"}) {
        auto f = CreateFieldOfType(n == std::string("HelpId") ? ftInteger : ftString);
        f->FieldName = n;
        t.AddField(std::move(f));
    }
    t.AddField(std::move(calc));
    t.BeforePost = [&](TDataSet*) { t.steps.push_back("BeforePost"); };
    t.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("Twice")->SetAsInteger(ds->FieldByName("HelpId")->AsInteger() * 2);
    };
    t.Open();
    EXPECT_EQ(t.FieldByName("Twice")->AsInteger(), 2);
    t.steps.clear();
    t.Edit();
    t.FieldByName("Title")->SetAsString("");
    EXPECT_THROW(t.Post(), EDatabaseError);
    EXPECT_EQ(t.State(), dsEdit);
    EXPECT_EQ(t.steps, (Strings{"calc", "calc", "BeforePost", "check"}));  // Edit re-reads, then the change
}

TEST_F(TableTest, ALookupFieldForgetsAFreedLookupTable) {
    auto lookupTable = std::make_unique<TTable>(nullptr);
    lookupTable->DatabaseName = "Tavrin";
    lookupTable->TableName = "TvrnMAIN.QVD";
    lookupTable->Open();
    auto look = std::make_unique<TStringField>();
    look->FieldName = "ProjectTitle";
    look->FieldKind = fkLookup;
    look->LookupDataSet = lookupTable.get();
    look->KeyFields = look->LookupKeyFields = "Application";
    look->LookupResultField = "Title";
    TField* f = look.get();
    auto app = std::make_unique<TStringField>();
    app->FieldName = "Application";
    auto id = std::make_unique<TIntegerField>();
    id->FieldName = "HelpId";
    pages.AddField(std::move(app));
    pages.AddField(std::move(id));
    pages.AddField(std::move(look));
    pages.Open();
    EXPECT_EQ(f->AsString(), "First");
    lookupTable.reset();
    EXPECT_EQ(f->LookupDataSet, nullptr);
    pages.Refresh();
    EXPECT_EQ(f->AsString(), "");
}

TEST_F(TableTest, CreateEmptyAndDeleteTables) {
    TTable t(nullptr);
    t.DatabaseName = "/work/folder";  // a folder path instead of an alias
    t.TableName = "TVRNMAIN.DB";
    EXPECT_FALSE(t.Exists());
    t.FieldDefs().Add("Application", ftString, 30);
    t.FieldDefs().Add("Title", ftString, 60);
    t.FieldDefs().Add("Stamp", ftAutoInc);
    t.IndexDefs().Add("", "Application", ixPrimary);
    t.CreateTable();
    EXPECT_TRUE(driver_->TableExists("/work/folder", "tvrnmain.db"));
    t.Open();
    AddProject(t, "B", "");
    AddProject(t, "A", "");
    EXPECT_EQ(Column(t, "Stamp"), (Strings{"2", "1"}));
    EXPECT_THROW(t.DeleteTable(), EDatabaseError);  // open
    t.EmptyTable();
    EXPECT_TRUE(t.IsEmpty());
    t.Close();
    t.DeleteTable();
    EXPECT_FALSE(t.Exists());
    try {
        t.Open();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOSUCHTABLE);
    }
    EXPECT_FALSE(t.Active());
}

TEST_F(TableTest, ExclusiveOpenShutsOthersOut) {
    pages.Exclusive = true;
    pages.Open();
    TTable other(nullptr);
    other.DatabaseName = "Tavrin";
    other.TableName = "TvrnITEM.QVD";
    EXPECT_THROW(other.Open(), EDBEngineError);
    EXPECT_FALSE(other.Active());
    pages.Close();
    other.Open();
    EXPECT_TRUE(other.Active());
}

TEST_F(TableTest, AliasesAndDatabases) {
    Session().DeleteAlias("Tavrin");
    EXPECT_FALSE(Session().IsAlias("tavrin"));
    EXPECT_THROW(pages.Open(), EDBEngineError);  // the name is now taken as a folder
    Session().AddStandardAlias("Tavrin", "/data/prog", "");
    pages.Open();
    pages.Close();

    TDatabase dbc(nullptr);
    dbc.DatabaseName = "Local";
    dbc.Directory = "/data/prog";
    dbc.Open();
    TTable viaDb(nullptr);
    viaDb.DatabaseName = "local";
    viaDb.TableName = "TvrnMAIN.QVD";
    viaDb.Open();
    EXPECT_EQ(viaDb.RecordCount(), 3);
    EXPECT_EQ(Session().SessionName(), "Default");
    EXPECT_EQ(FindSession("default"), &Session());
}

TEST_F(TableTest, QueriesAnswerNotSupported) {
    TQuery q(nullptr);
    q.DatabaseName = "Tavrin";
    q.SQL = {"select * from TvrnMAIN"};
    try {
        q.Open();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOTSUPPORTED);
    }
    EXPECT_FALSE(q.Active());
    TStoredProc p(nullptr);
    p.StoredProcName = "Anything";
    EXPECT_THROW(p.ExecProc(), EDBEngineError);
}

}  // namespace
}  // namespace dbtest
