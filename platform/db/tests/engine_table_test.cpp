// The dataset classes on real engine tables in a temporary folder.
#include "engine/api/dbi_api.h"
#include "engine/client/message_box.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/tables.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    qv::RecordingMessageBoxService boxes_;
    qv::ScopedEngineMessageBoxService scope_{boxes_};
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
