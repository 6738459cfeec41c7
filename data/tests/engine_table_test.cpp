// The dataset classes on real engine tables in a temporary folder.
#include "engine/api/dbi_api.h"
#include "platform/core/dialog_service.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace db;
using Strings = std::vector<std::string>;

namespace {

class EngineTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The engine keeps its configuration (aliases among it) in the data
        // folder: a test gets a folder of its own.
        std::filesystem::create_directories(dir_.path() / "home");
        plat::SetDataHome((dir_.path() / "home").string());
        driver_ = std::make_shared<TEngineDriver>();
        Session().SetDriver(driver_);
        folder_ = dir_.path().string() + "/";

        TTable m(nullptr);
        Bind(m, "TvrnMAIN.QVD");
        m.FieldDefs().Add("Application", ftString, 30, true);
        m.FieldDefs().Add("Title", ftString, 60);
        m.IndexDefs().Add("", "Application", ixPrimary);
        m.CreateTable();

        TTable d(nullptr);
        Bind(d, "TvrnITEM.QVD");
        d.FieldDefs().Add("Application", ftString, 30, true);
        d.FieldDefs().Add("HelpId", ftInteger, 0, true);
        d.FieldDefs().Add("Title", ftString, 60);
        d.FieldDefs().Add("Body", ftMemo);
        d.FieldDefs().Add("Ok", ftBoolean);
        d.FieldDefs().Add("Made", ftDate);
        d.FieldDefs().Add("Cost", ftCurrency);
        d.IndexDefs().Add("", "Application;HelpId", ixPrimary);
        d.IndexDefs().Add("ByTitle", "Title", 0);
        d.CreateTable();

        m.Open();
        for (auto [a, t] : {std::pair{"Beta", "Second"}, {"Alpha", "First"}, {"Gamma", "Third"}}) {
            m.Append();
            m.FieldByName("Application")->SetAsString(a);
            m.FieldByName("Title")->SetAsString(t);
            m.Post();
        }
        d.Open();
        struct Row { const char* app; int id; const char* title; };
        for (Row r : {Row{"Alpha", 2, "Setup"}, Row{"Alpha", 1, "Contents"}, Row{"Beta", 1, "Overview"},
                      Row{"Alpha", 3, "Index"}, Row{"Gamma", 7, "About"}}) {
            d.Append();
            d.FieldByName("Application")->SetAsString(r.app);
            d.FieldByName("HelpId")->SetAsInteger(r.id);
            d.FieldByName("Title")->SetAsString(r.title);
            d.Post();
        }
        Bind(pages, "TvrnITEM.QVD");
        Bind(projects, "TvrnMAIN.QVD");
    }

    void TearDown() override {
        pages.Close();
        projects.Close();
        Session().SetDriver(nullptr);
        driver_.reset();
        plat::SetDataHome("");
    }

    void Bind(TTable& t, const char* name) {
        t.DatabaseName = folder_;
        t.TableName = name;
    }

    static Strings Column(TDataSet& ds, const std::string& field) {
        Strings out;
        for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field)->AsString());
        return out;
    }

    testsupport::TempDir dir_;
    gui::ScriptedDialogService boxes_;
    gui::ScopedDialogService scope_{boxes_};
    std::shared_ptr<TEngineDriver> driver_;
    std::string folder_;
    TTable pages{nullptr};
    TTable projects{nullptr};
};

TEST_F(EngineTableTest, BrowsesEditsAndCancels) {
    pages.Open();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Overview", "About"}));
    EXPECT_EQ(pages.RecordCount(), 5);
    pages.Last();
    EXPECT_TRUE(pages.Eof());
    pages.Prior();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Intro");
    pages.FieldByName("Made")->SetAsString("3/14/2024");
    pages.FieldByName("Cost")->SetAsFloat(12.5);
    pages.Post();
    pages.Close();
    pages.Open();
    pages.MoveBy(3);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Intro");
    EXPECT_EQ(pages.FieldByName("Made")->AsString(), "3/14/2024");
    EXPECT_EQ(pages.FieldByName("Cost")->DisplayText(), "$12.50");
    EXPECT_TRUE(pages.FindField("Title") != nullptr);
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Dropped");
    pages.Cancel();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Intro");
    pages.Delete();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "About");
    EXPECT_EQ(pages.RecordCount(), 4);
}

// Text fields wider than the usual value buffer keep their whole text, and
// a blank one reads back blank.
TEST_F(EngineTableTest, WideTextFieldsKeepTheirWholeText) {
    TTable w(nullptr);
    Bind(w, "TvrnWIDE.QVD");
    w.FieldDefs().Add("Id", ftInteger, 0, true);
    w.FieldDefs().Add("Long", ftString, 900);
    w.FieldDefs().Add("Other", ftString, 600);
    w.IndexDefs().Add("", "Id", ixPrimary);
    w.CreateTable();
    w.Open();
    std::string text(900, ' ');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    w.Append();
    w.FieldByName("Id")->SetAsInteger(1);
    w.FieldByName("Long")->SetAsString(text);
    w.Post();
    w.Append();
    w.FieldByName("Id")->SetAsInteger(2);
    w.FieldByName("Other")->SetAsString(text);  // cut to its 600
    w.Post();
    w.Close();
    w.Open();
    w.First();
    EXPECT_EQ(w.FieldByName("Long")->AsString(), text);
    EXPECT_TRUE(w.FieldByName("Other")->IsNull());
    w.Next();
    EXPECT_TRUE(w.FieldByName("Long")->IsNull());
    EXPECT_EQ(w.FieldByName("Other")->AsString(), text.substr(0, 600));
    w.Close();
}

TEST_F(EngineTableTest, EventsInOrderOnInsertAndPost) {
    Strings log;
    auto rec = [&](const char* n) { return [&log, n](TDataSet*) { log.push_back(n); }; };
    pages.BeforeInsert = rec("BeforeInsert");
    pages.AfterInsert = rec("AfterInsert");
    pages.BeforePost = rec("BeforePost");
    pages.AfterPost = rec("AfterPost");
    pages.OnNewRecord = [&](TDataSet* ds) {
        log.push_back("OnNewRecord");
        ds->FieldByName("Application")->SetAsString("Beta");
    };
    pages.Open();
    pages.Insert();
    pages.FieldByName("HelpId")->SetAsInteger(2);
    pages.FieldByName("Title")->SetAsString("Next");
    pages.Post();
    EXPECT_EQ(log, (Strings{"BeforeInsert", "OnNewRecord", "AfterInsert", "BeforePost", "AfterPost"}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Next");
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Overview", "Next", "About"}));
}

TEST_F(EngineTableTest, EngineErrorsKeepTheRecord) {
    pages.Open();
    pages.Insert();
    pages.FieldByName("Application")->SetAsString("Alpha");
    pages.FieldByName("HelpId")->SetAsInteger(1);
    pages.FieldByName("Title")->SetAsString("Twin");
    try {
        pages.Post();
        FAIL() << "a duplicate key was posted";
    } catch (const db::EDBEngineError& e) {
        EXPECT_NE(e.ErrorCode(), 0);
        char text[512] = {};
        qv::DbiGetErrorString(e.ErrorCode(), text);
        EXPECT_EQ(e.Message(), std::string(text));
        EXPECT_FALSE(e.Message().empty());
    }
    EXPECT_EQ(pages.State(), dsInsert);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Twin");
    pages.FieldByName("HelpId")->SetAsInteger(4);
    pages.Post();
    EXPECT_EQ(pages.RecordCount(), 6);
}

// A damaged page met while the program runs: the error names the table and
// says what to do, instead of the engine's bare words.
TEST_F(EngineTableTest, ADamagedPageNamesItsTableAndTheAdvice) {
    const std::string file = folder_ + "TvrnITEM.QVD";
    {
        std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
        std::vector<char> bytes((std::istreambuf_iterator<char>(f)), {});
        std::uint32_t bs = 0;
        std::memcpy(&bs, bytes.data() + 12, 4);
        bool flipped = false;
        for (std::size_t at = bs; !flipped && at + bs <= bytes.size(); at += bs)
            if (std::memcmp(bytes.data() + at, "QVDH", 4) == 0) {
                f.seekp(static_cast<std::streamoff>(at));
                f.put('X');
                flipped = true;
            }
        ASSERT_TRUE(flipped);
    }
    SetDamagedTableAdvice("Start again to rebuild it.");
    std::string text, table;
    try {
        pages.Open();
        Column(pages, "Title");
    } catch (const EDBEngineError& e) {
        text = e.what();
        table = e.TableName();
        EXPECT_TRUE(IsDamagedTableError(e.ErrorCode())) << e.ErrorCode();
    }
    EXPECT_NE(text.find("TvrnITEM.QVD is damaged"), std::string::npos) << text;
    EXPECT_NE(text.find("Start again to rebuild it."), std::string::npos) << text;
    EXPECT_EQ(text.find("QV SERVER ERROR"), std::string::npos) << text;
    EXPECT_NE(table.find("TvrnITEM.QVD"), std::string::npos) << table;
    SetDamagedTableAdvice("");
}

TEST_F(EngineTableTest, KeySearchAndRanges) {
    pages.Open();
    EXPECT_TRUE(pages.FindKey({std::string("Alpha"), std::int64_t{3}}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    EXPECT_FALSE(pages.FindKey({std::string("Delta")}));
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Index");
    pages.SetIndexName("ByTitle");
    pages.FindNearest({std::string("O")});
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
    pages.SetIndexName("");
    pages.SetRange({std::string("Alpha"), std::int64_t{2}}, {std::string("Beta")});
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Setup", "Index", "Overview"}));
    EXPECT_EQ(pages.RecordCount(), 3);
    pages.CancelRange();
    EXPECT_EQ(pages.RecordCount(), 5);
}

TEST_F(EngineTableTest, RequiredFieldsAreKeptAndEnforcedByTheEngine) {
    // Read back by a fresh table: the flags come from the engine's dictionary.
    TTable r(nullptr);
    Bind(r, "TvrnITEM.QVD");
    r.Open();
    EXPECT_TRUE(r.FieldDefs().Find("Application")->Required);
    EXPECT_TRUE(r.FieldDefs().Find("HelpId")->Required);
    EXPECT_FALSE(r.FieldDefs().Find("Title")->Required);

    // Past the dataset's own check, straight through the entry points, the
    // engine refuses a record whose required field is blank.
    const std::uint32_t cur = r.Handle();
    std::vector<std::uint8_t> rec(r.RecordSize(), 0);
    ASSERT_EQ(qv::DbiInitRecord(cur, rec.data()), 0);
    ASSERT_EQ(qv::DbiPutField(cur, 1, rec.data(), "Delta"), 0);
    const std::uint16_t rc = qv::DbiInsertRecord(cur, 0, rec.data());
    EXPECT_NE(rc, 0);
    char text[512] = {};
    qv::DbiGetErrorString(rc, text);
    EXPECT_FALSE(std::string(text).empty());
    std::int32_t id = 9;
    ASSERT_EQ(qv::DbiPutField(cur, 2, rec.data(), &id), 0);
    EXPECT_EQ(qv::DbiInsertRecord(cur, 0, rec.data()), 0);
}

TEST_F(EngineTableTest, KeySearchAndRangesOnManyRowsAreTheEnginesNotAWalk) {
    pages.Open();
    const std::uint32_t cur = pages.Handle();
    std::vector<std::uint8_t> rec(pages.RecordSize(), 0);
    constexpr std::int32_t kRows = 20000;
    // One transaction for the lot: a commit per row would sync the disk 20,000 times.
    std::uint32_t tr = 0;
    ASSERT_EQ(qv::DbiBeginTran(pages.DBHandle(), 0, tr), 0);
    for (std::int32_t id = 1; id <= kRows; ++id) {
        ASSERT_EQ(qv::DbiInitRecord(cur, rec.data()), 0);
        ASSERT_EQ(qv::DbiPutField(cur, 1, rec.data(), "Bulk"), 0);
        ASSERT_EQ(qv::DbiPutField(cur, 2, rec.data(), &id), 0);
        ASSERT_EQ(qv::DbiInsertRecord(cur, 0, rec.data()), 0);
    }
    ASSERT_EQ(qv::DbiEndTran(pages.DBHandle(), tr, 0), 0);
    pages.Refresh();
    // Every record the engine hands over passes the filter once: the count
    // shows how many rows a search read.
    int seen = 0;
    pages.OnFilterRecord = [&seen](TDataSet*, bool& accept) { ++seen, accept = true; };
    pages.SetFiltered(true);
    seen = 0;
    EXPECT_TRUE(pages.FindKey({std::string("Bulk"), std::int64_t{15000}}));
    EXPECT_EQ(pages.FieldByName("HelpId")->AsInteger(), 15000);
    EXPECT_LT(seen, 20);
    seen = 0;
    pages.FindNearest({std::string("Bulk"), std::int64_t{kRows + 1}});
    EXPECT_EQ(pages.FieldByName("Application")->AsString(), "Gamma") << "the first key after the last Bulk row";
    EXPECT_LT(seen, 20);
    pages.SetFiltered(false);

    pages.SetRange({std::string("Bulk"), std::int64_t{100}}, {std::string("Bulk"), std::int64_t{199}});
    EXPECT_EQ(pages.RecordCount(), 100);
    pages.First();
    EXPECT_EQ(pages.FieldByName("HelpId")->AsInteger(), 100);
    pages.Last();
    EXPECT_EQ(pages.FieldByName("HelpId")->AsInteger(), 199);
    EXPECT_FALSE(pages.FindKey({std::string("Bulk"), std::int64_t{200}})) << "outside the range";
    EXPECT_TRUE(pages.FindKey({std::string("Bulk"), std::int64_t{150}}));
    pages.FindNearest({std::string("Bulk"), std::int64_t{5000}});
    EXPECT_EQ(pages.FieldByName("HelpId")->AsInteger(), 199) << "past the range: its last record";
    pages.FindNearest({std::string("Alpha")});
    EXPECT_EQ(pages.FieldByName("HelpId")->AsInteger(), 100) << "before the range: its first record";
    pages.CancelRange();
    EXPECT_EQ(pages.RecordCount(), kRows + 5);
}

TEST_F(EngineTableTest, MasterDetailAndFilter) {
    projects.Open();
    TDataSource src(nullptr);
    src.SetDataSet(&projects);
    pages.SetMasterSource(&src);
    pages.SetMasterFields("Application");
    pages.Open();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index"}));
    projects.Last();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"About"}));
    projects.First();
    pages.OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("HelpId")->AsInteger() != 2; };
    pages.SetFiltered(true);
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Index"}));
}

TEST_F(EngineTableTest, MemoRoundTripsHundredKilobytesOfRtf) {
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n";
    for (int i = 0; rtf.size() < 100 * 1024; ++i)
        rtf += "\\pard\\plain\\f0\\fs20 Paragraph " + std::to_string(i) + " caf\xe9 \\'e9\\par\r\n";
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
    plat::MemoryStream out;
    dynamic_cast<TBlobField*>(pages.FieldByName("Body"))->SaveToStream(out);
    ASSERT_EQ(out.Bytes().size(), rtf.size());
    EXPECT_TRUE(out.Bytes() == rtf);
    // Replacing a long memo by a short one leaves nothing of the old one.
    pages.Edit();
    pages.FieldByName("Body")->SetAsString("{\\rtf1 short}");
    pages.Post();
    pages.Refresh();
    EXPECT_EQ(pages.FieldByName("Body")->AsString(), "{\\rtf1 short}");
}

// Memos are read only when asked for; a row edited without reading its memo
// still has it after the post, and a grid's window over the table shows
// every row's own memo.
TEST_F(EngineTableTest, UnreadMemosSurviveAnEditAndReadBackPerRow) {
    pages.Open();
    for (int i = 0; !pages.Eof(); pages.Next(), ++i) {
        pages.Edit();
        pages.FieldByName("Body")->SetAsString("{\\rtf1 body " + std::to_string(i) + "}");
        pages.Post();
    }
    pages.Close();
    pages.Open();
    pages.MoveBy(2);
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("Renamed");
    pages.Post();
    pages.Close();
    pages.Open();
    TDataSource src(nullptr);
    src.SetDataSet(&pages);
    TDataLink grid;
    grid.SetBufferCount(10);
    grid.SetDataSource(&src);
    ASSERT_EQ(pages.WindowCount(), 5);
    pages.MoveBy(2);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Renamed");
    for (int row = 0; row < pages.WindowCount(); ++row) {
        pages.SetActiveRecord(row);
        EXPECT_EQ(pages.FieldByName("Body")->AsString(), "{\\rtf1 body " + std::to_string(row) + "}") << row;
    }
    pages.SetActiveRecord(2);
    // Reading other rows' memos left the cursor on the active row.
    pages.Next();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
    grid.SetDataSource(nullptr);
}

TEST_F(EngineTableTest, HandlesServeDirectEntryPointCalls) {
    EXPECT_EQ(pages.Handle(), 0u);
    pages.Open();
    ASSERT_NE(pages.Handle(), 0u);
    EXPECT_NE(pages.DBHandle(), 0u);
    EXPECT_GT(pages.RecordSize(), 0u);
    std::uint32_t n = 0;
    ASSERT_EQ(qv::DbiGetRecordCount(pages.Handle(), n), 0);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(qv::DbiSaveChanges(pages.Handle()), 0);
    // After the cursor was moved behind the dataset's back, UpdateCursorPos
    // puts it on the active record again.
    pages.MoveBy(2);
    ASSERT_EQ(qv::DbiSetToBegin(pages.Handle()), 0);
    pages.UpdateCursorPos();
    std::vector<std::uint8_t> rec(pages.RecordSize(), 0);
    ASSERT_EQ(qv::DbiGetRecord(pages.Handle(), 0, rec.data(), nullptr), 0);
    char title[64] = {};
    bool blank = true;
    ASSERT_EQ(qv::DbiGetField(pages.Handle(), 3, rec.data(), title, &blank), 0);
    EXPECT_STREQ(title, "Index");
}

TEST_F(EngineTableTest, AFailingFilterCallbackSurfacesAsItsException) {
    pages.Open();
    pages.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        if (ds->FieldByName("HelpId")->AsInteger() == 3) throw EDatabaseError("bad row");
        accept = true;
    };
    pages.SetFiltered(true);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Contents");
    EXPECT_THROW(Column(pages, "Title"), EDatabaseError);
    pages.SetFiltered(false);
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Overview", "About"}));
}

TEST_F(EngineTableTest, AnAliasNamesTheFolder) {
    Session().AddStandardAlias("Tavrin", folder_, "");
    TTable viaAlias(nullptr);
    viaAlias.DatabaseName = "Tavrin";
    viaAlias.TableName = "TvrnMAIN.QVD";
    try {
        viaAlias.Open();
        EXPECT_EQ(Column(viaAlias, "Title"), (Strings{"First", "Second", "Third"}));
        viaAlias.Close();
    } catch (...) {
        Session().DeleteAlias("Tavrin");
        throw;
    }
    // Aliases outlive the process: this one must not.
    Session().DeleteAlias("Tavrin");
    EXPECT_THROW(Session().DeleteAlias("Tavrin"), db::EDBEngineError);
    // Gone for this process as well: the name opens nothing any more.
    EXPECT_THROW(viaAlias.Open(), db::EDBEngineError);
    TTable fresh(nullptr);
    fresh.DatabaseName = "Tavrin";
    fresh.TableName = "TvrnMAIN.QVD";
    EXPECT_THROW(fresh.Open(), db::EDBEngineError);
}

TEST_F(EngineTableTest, ReadOnlyOpen) {
    TTable other(nullptr);
    Bind(other, "TvrnITEM.QVD");
    other.ReadOnly = true;
    other.Open();
    EXPECT_THROW(other.Edit(), EDatabaseError);
    EXPECT_EQ(other.RecordCount(), 5);
}

TEST_F(EngineTableTest, MissingTableAndQueriesRaiseEngineErrors) {
    TTable t(nullptr);
    Bind(t, "Nothing.QVD");
    EXPECT_THROW(t.Open(), db::EDBEngineError);
    EXPECT_FALSE(t.Active());
    TQuery q(nullptr);
    q.DatabaseName = folder_;
    q.SQL = {"select * from TvrnMAIN"};
    try {
        q.Open();
        FAIL();
    } catch (const db::EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOTSUPPORTED);
    }
}

}  // namespace

namespace {

TEST_F(EngineTableTest, AliasesAreListedAndAnsweredByTheEngine) {
    const std::string other = dir_.path().string() + "/other/";
    std::filesystem::create_directories(other);
    Session().AddStandardAlias("TvrnHelp", folder_, "");
    Session().AddStandardAlias("TvrnOther", other, "");
    struct Cleanup {
        ~Cleanup() {
            for (const char* n : {"TvrnHelp", "TvrnOther"})
                if (Session().IsAlias(n)) Session().DeleteAlias(n);
        }
    } cleanup;

    Strings names = Session().GetAliasNames();
    auto listed = [&](const std::string& n) {
        for (const std::string& s : names)
            if (plat::CompareAnsi(s, n, true) == 0) return true;
        return false;
    };
    EXPECT_TRUE(listed("TvrnHelp"));
    EXPECT_TRUE(listed("TvrnOther"));
    EXPECT_TRUE(Session().IsAlias("TvrnHelp"));
    EXPECT_TRUE(Session().IsAlias("tvrnother"));  // names compare without case
    EXPECT_FALSE(Session().IsAlias("TvrnNone"));
    EXPECT_FALSE(Session().IsAlias(folder_));  // a folder is never an alias

    // The parameters carry the folder each alias was given.
    Strings params = Session().GetAliasParams("TvrnOther");
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].rfind("PATH=", 0), 0u);
    EXPECT_TRUE(std::filesystem::equivalent(params[0].substr(5), other)) << params[0];
    EXPECT_THROW(Session().GetAliasParams("TvrnNone"), EDatabaseError);

    Session().DeleteAlias("TvrnOther");
    names = Session().GetAliasNames();
    EXPECT_TRUE(listed("TvrnHelp"));
    EXPECT_FALSE(listed("TvrnOther"));
    EXPECT_FALSE(Session().IsAlias("TvrnOther"));
    EXPECT_TRUE(Session().IsAlias("TvrnHelp"));
}

TEST_F(EngineTableTest, BcdFieldsRoundTripOnTheEngine) {
    TTable t(nullptr);
    Bind(t, "TvrnBCD.QVD");
    t.FieldDefs().Add("Id", ftInteger, 0, true);
    t.FieldDefs().Add("Price", ftBCD, 2);
    t.FieldDefs().Add("Cost", ftCurrency);
    t.IndexDefs().Add("", "Id", ixPrimary);
    t.CreateTable();
    t.Open();
    const double values[] = {0.0, 12.34, -1234.5678, 922337203685.25, 0.0001};
    int id = 0;
    for (double v : values) {
        t.Append();
        t.FieldByName("Id")->SetAsInteger(++id);
        t.FieldByName("Price")->SetAsFloat(v);
        t.FieldByName("Cost")->SetAsFloat(1.5);
        t.Post();
    }
    t.Append();
    t.FieldByName("Id")->SetAsInteger(++id);  // Price left blank
    t.Post();
    t.Close();

    // Read back by a fresh table: the field comes back as a BCD field with
    // its places, a currency field stays currency.
    TTable r(nullptr);
    Bind(r, "TvrnBCD.QVD");
    r.Open();
    TField* price = r.FieldByName("Price");
    ASSERT_NE(dynamic_cast<TBCDField*>(price), nullptr);
    EXPECT_EQ(r.FieldByName("Cost")->DataType(), ftCurrency);
    EXPECT_EQ(r.FieldDefs().Find("Price")->Size, 2);
    r.First();
    for (double v : values) {
        ASSERT_FALSE(r.Eof());
        EXPECT_DOUBLE_EQ(r.FieldByName("Price")->AsFloat(), v);
        r.Next();
    }
    EXPECT_TRUE(r.FieldByName("Price")->IsNull());
    // Edited in place.
    r.First();
    r.Edit();
    r.FieldByName("Price")->SetAsFloat(99.99);
    r.Post();
    r.Close();
    r.Open();
    EXPECT_DOUBLE_EQ(r.FieldByName("Price")->AsFloat(), 99.99);
}

TEST_F(EngineTableTest, BcdFieldWithMorePlacesThanTheEngineKeepsIsRefused) {
    TTable t(nullptr);
    Bind(t, "TvrnBCD6.QVD");
    t.FieldDefs().Add("Price", ftBCD, 6);
    EXPECT_THROW(t.CreateTable(), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(folder_ + "TvrnBCD6.QVD"));
}

}  // namespace

namespace {

TEST_F(EngineTableTest, TransactionRollsBackEveryTableOfTheFolderAndCommitKeeps) {
    TDatabase database(nullptr);
    database.DatabaseName = "Work";
    database.Directory = folder_;
    database.Open();
    pages.Open();
    projects.Open();
    auto renameAlpha = [&](const std::string& to) {
        ASSERT_TRUE(projects.FindKey({TValue(std::string("Alpha"))}));
        projects.Edit();
        projects.FieldByName("Application")->SetAsString(to);
        projects.Post();
        pages.First();
        while (!pages.Eof()) {
            if (pages.FieldByName("Application")->AsString() == "Alpha") {
                pages.Edit();
                pages.FieldByName("Application")->SetAsString(to);
                pages.Post();
                pages.First();
            } else {
                pages.Next();
            }
        }
    };
    database.StartTransaction();
    EXPECT_TRUE(database.InTransaction());
    EXPECT_THROW(database.StartTransaction(), EDatabaseError);
    renameAlpha("Omega");
    database.Rollback();
    pages.Refresh();
    projects.Refresh();
    EXPECT_EQ(Column(pages, "Application"), (Strings{"Alpha", "Alpha", "Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(Column(projects, "Application"), (Strings{"Alpha", "Beta", "Gamma"}));

    database.StartTransaction();
    renameAlpha("Omega");
    database.Commit();
    EXPECT_FALSE(database.InTransaction());
    pages.Close();
    pages.Open();
    EXPECT_EQ(Column(pages, "Application"), (Strings{"Beta", "Gamma", "Omega", "Omega", "Omega"}));
    EXPECT_THROW(database.Commit(), EDatabaseError);
}

// A table first opened inside the transaction, written and closed before the
// transaction ends, follows it: the commit keeps its writes and a rollback
// undoes them. (Closing it used to drop its pages from the cache, so the
// commit lost the writes while answering success.)
TEST_F(EngineTableTest, ATableOpenedAndClosedInsideATransactionFollowsIt) {
    // Reached by an alias, as the program reaches its tables.
    driver_->AddAlias("WorkAlias", folder_);
    TDatabase database(nullptr);
    database.DatabaseName = "Work";
    database.AliasName = "WorkAlias";
    database.Open();
    pages.DatabaseName = "WorkAlias";
    auto renamePages = [&](const std::string& from, const std::string& to) {
        pages.First();
        while (!pages.Eof()) {
            if (pages.FieldByName("Application")->AsString() == from) {
                pages.Edit();
                pages.FieldByName("Application")->SetAsString(to);
                pages.Post();
                pages.First();
            } else {
                pages.Next();
            }
        }
    };
    for (bool commit : {false, true}) {
        database.StartTransaction();
        pages.Open();  // first opened after the start
        renamePages("Alpha", "Omega");
        pages.Close();  // closed before the transaction ends
        if (commit) database.Commit();
        else database.Rollback();
        pages.Open();
        EXPECT_EQ(Column(pages, "Application"), commit ? (Strings{"Beta", "Gamma", "Omega", "Omega", "Omega"})
                                                       : (Strings{"Alpha", "Alpha", "Alpha", "Beta", "Gamma"}))
            << (commit ? "commit" : "rollback");
        pages.Close();
    }
}

}  // namespace

namespace {

// Rows whose values differ in kind from row to row: every third title is
// blank, every fourth flag, and the memo is on every fifth row only.
struct WalkRow {
    std::string title;
    bool hasFlag;
    bool hasBody;
};
WalkRow WalkRowOf(int id) {
    return {id % 3 == 0 ? std::string() : "Walk title " + std::to_string(id) + std::string(id % 7, '+'), id % 4 != 0,
            id % 5 == 0};
}

}  // namespace

// A grid's window stepped over a table and back: each row it holds shows its
// own values, not those of the row whose place it took, however many steps
// ago that row was read.
TEST_F(EngineTableTest, AWindowSteppedBothWaysShowsEachRowsOwnValues) {
    constexpr int kWalkRows = 60, kWindow = 7;
    TTable t(nullptr);
    Bind(t, "WALK.QVD");
    t.FieldDefs().Add("Id", ftInteger, 0, true);
    t.FieldDefs().Add("Title", ftString, 40);
    t.FieldDefs().Add("Flag", ftBoolean);
    t.FieldDefs().Add("Body", ftMemo);
    t.IndexDefs().Add("", "Id", ixPrimary | ixUnique);
    t.CreateTable();
    t.Open();
    for (int id = 1; id <= kWalkRows; ++id) {
        const WalkRow w = WalkRowOf(id);
        t.Append();
        t.FieldByName("Id")->SetAsInteger(id);
        if (!w.title.empty()) t.FieldByName("Title")->SetAsString(w.title);
        if (w.hasFlag) t.FieldByName("Flag")->SetAsBoolean(id % 2 == 0);
        if (w.hasBody) t.FieldByName("Body")->SetAsString("body of " + std::to_string(id));
        t.Post();
    }
    t.Close();
    t.Open();
    TDataSource src(nullptr);
    src.SetDataSet(&t);
    TDataLink grid;
    grid.SetBufferCount(kWindow);
    grid.SetDataSource(&src);

    auto expectWindow = [&](const std::string& where) {
        const int keep = t.ActiveRecord();
        for (int row = 0; row < t.WindowCount(); ++row) {
            t.SetActiveRecord(row);
            const int id = static_cast<int>(t.FieldByName("Id")->AsInteger());
            const WalkRow w = WalkRowOf(id);
            EXPECT_EQ(t.FieldByName("Title")->AsString(), w.title) << where << ", id " << id;
            EXPECT_EQ(t.FieldByName("Title")->IsNull(), w.title.empty()) << where << ", id " << id;
            EXPECT_EQ(t.FieldByName("Flag")->IsNull(), !w.hasFlag) << where << ", id " << id;
            if (w.hasFlag) EXPECT_EQ(t.FieldByName("Flag")->AsBoolean(), id % 2 == 0) << where << ", id " << id;
            EXPECT_EQ(t.FieldByName("Body")->AsString(), w.hasBody ? "body of " + std::to_string(id) : "")
                << where << ", id " << id;
        }
        t.SetActiveRecord(keep);
    };
    int id = 1;
    for (t.First(); !t.Eof(); t.Next(), ++id) {
        ASSERT_EQ(t.FieldByName("Id")->AsInteger(), id);
        // The window is looked at now and then, as a grid paints it.
        if (id % 9 == 0) expectWindow("forward at " + std::to_string(id));
        if (HasFailure()) return;
    }
    EXPECT_EQ(id, kWalkRows + 1);
    expectWindow("at the end");
    for (id = kWalkRows; !t.Bof(); t.Prior(), --id) {
        ASSERT_EQ(t.FieldByName("Id")->AsInteger(), id);
        if (id % 8 == 0) expectWindow("backward at " + std::to_string(id));
        if (HasFailure()) return;
    }
    // A row that stepped in long ago, its values never read, is edited and posted whole.
    t.MoveBy(25);
    t.Edit();
    t.FieldByName("Flag")->SetAsBoolean(true);
    t.Post();
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 26);
    EXPECT_EQ(t.FieldByName("Title")->AsString(), WalkRowOf(26).title);
    EXPECT_EQ(t.FieldByName("Body")->AsString(), "");
    grid.SetDataSource(nullptr);
}
