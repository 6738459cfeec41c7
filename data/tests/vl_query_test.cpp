// The query kinds on a store that can answer queries (the in-memory one),
// so their record filter and their warnings can be seen.
#include "data/vl_helpers.h"
#include "data/vl_query.h"
#include "data/tests/memory_store.h"
#include "platform/core/dialog_service.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

// A cursor over another that refuses record callbacks, as a live query does.
class RefusingCursor : public db::TDataCursor {
public:
    explicit RefusingCursor(std::unique_ptr<db::TDataCursor> inner) : in_(std::move(inner)) {}
    std::vector<db::TFieldDef> FieldDefs() const override { return in_->FieldDefs(); }
    std::vector<db::TIndexDef> IndexDefs() const override { return in_->IndexDefs(); }
    void SwitchToIndex(const std::string& n) override { in_->SwitchToIndex(n); }
    void SetToBegin() override { in_->SetToBegin(); }
    void SetToEnd() override { in_->SetToEnd(); }
    bool GetNext(db::TRecord& r) override { return in_->GetNext(r); }
    bool GetPrior(db::TRecord& r) override { return in_->GetPrior(r); }
    bool GetCurrent(db::TRecord& r) override { return in_->GetCurrent(r); }
    std::string GetBookmark() override { return in_->GetBookmark(); }
    bool SetToBookmark(const std::string& b) override { return in_->SetToBookmark(b); }
    int CompareBookmarks(const std::string& a, const std::string& b) override { return in_->CompareBookmarks(a, b); }
    void InsertRecord(const db::TRecord& r) override { in_->InsertRecord(r); }
    void ModifyRecord(const db::TRecord& r) override { in_->ModifyRecord(r); }
    void DeleteRecord() override { in_->DeleteRecord(); }
    bool SetToKey(const db::TRecord& k, int c, bool p) override { return in_->SetToKey(k, c, p); }
    void SetRange(const db::TRecord& l, int lc, bool li, const db::TRecord& h, int hc, bool hi) override {
        in_->SetRange(l, lc, li, h, hc, hi);
    }
    void ResetRange() override { in_->ResetRange(); }
    void SetDeferBlobs(bool on) override { in_->SetDeferBlobs(on); }
    bool DefersBlobs() const override { return in_->DefersBlobs(); }
    db::TValue FetchBlob(const std::string& bookmark, int field) override { return in_->FetchBlob(bookmark, field); }
    void ReadBlobs(db::TRecord& r) override { in_->ReadBlobs(r); }
    int RecordCount() override { return in_->RecordCount(); }
    void SetRecordFilter(std::function<bool(const db::TRecord&)> accept) override {
        if (accept) throw db::EDBEngineError(12289, "Capability not supported");
        in_->SetRecordFilter({});
    }

private:
    std::unique_ptr<db::TDataCursor> in_;
};

// Answers a query with the rows of the table "rows"; QBE texts that begin
// with "delete" answer nothing.
class QueryDriver : public dbtest::MemoryDriver {
public:
    std::unique_ptr<db::TDataCursor> OpenQuery(const std::string& dir, int language,
                                               const std::string& text) override {
        ++runs;
        lastLanguage = language;
        lastText = text;
        if (text.rfind("delete", 0) == 0) return nullptr;
        auto c = OpenTable(dir, "rows", "", false, true);
        if (refuseFilters) return std::make_unique<RefusingCursor>(std::move(c));
        return c;
    }
    int runs = 0, lastLanguage = 0;
    std::string lastText;
    bool refuseFilters = false;
};

class QueryKinds : public ::testing::Test {
protected:
    void SetUp() override {
        gui::SetDialogService(&dialogs);
        db::Session().SetDriver(driver);
        db::TTable t(nullptr);
        t.DatabaseName = "mem";
        t.TableName = "rows";
        t.FieldDefs().Add("N", db::ftInteger);
        t.CreateTable();
        t.Open();
        for (int i = 1; i <= 6; ++i) {
            t.Append();
            t.FieldByName("N")->SetAsInteger(i);
            t.Post();
        }
    }
    void TearDown() override {
        db::Session().SetDriver(nullptr);
        gui::SetDialogService(nullptr);
    }
    static std::vector<int> Shown(db::TDataSet& ds) {
        std::vector<int> out;
        for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(static_cast<int>(ds.FieldByName("N")->AsInteger()));
        return out;
    }
    static TvlTableFilterEvent EvenOnly() {
        return [](db::TDataSet* ds, bool& accept) { accept = ds->FieldByName("N")->AsInteger() % 2 == 0; };
    }
    gui::ScriptedDialogService dialogs;
    std::shared_ptr<QueryDriver> driver = std::make_shared<QueryDriver>();
};

TEST_F(QueryKinds, OnFilterWorksOnEachKind) {
    TvlQuery q(nullptr);
    q.DatabaseName = "mem";
    q.SetOnFilter(EvenOnly());  // closed: stored, installed at open
    q.Open();
    EXPECT_EQ(Shown(q), (std::vector<int>{2, 4, 6}));
    SetFilterEnabled(&q, false);
    EXPECT_EQ(Shown(q), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(IsVlDataSet(&q));

    TvlStoredProc p(nullptr);
    p.DatabaseName = "mem";
    p.Open();
    p.SetOnFilter(EvenOnly());
    EXPECT_EQ(Shown(p), (std::vector<int>{2, 4, 6}));
    p.SetOnFilter(nullptr);
    EXPECT_EQ(Shown(p).size(), 6u);
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_EQ(GetFilterOptions(&p), kDefaultFilterOptions);
}

TEST_F(QueryKinds, RefusedRecordFiltersShowTheirWarnings) {
    driver->refuseFilters = true;
    TvlQuery q(nullptr);
    q.DatabaseName = "mem";
    q.SetOnFilter(EvenOnly());  // closed: nothing to refuse yet
    EXPECT_TRUE(dialogs.Requests().empty());
    q.SetOnFilter(nullptr);
    q.Open();
    q.SetOnFilter(EvenOnly());
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text,
              "Local filtering is not supported on a Live-Query which contains a Where clause in the SQL string. "
              "To perform a local filter on this query, you will need to set its RequestLive property to False.");
    EXPECT_TRUE(static_cast<bool>(q.OnFilter()));  // the handler stays stored
    EXPECT_EQ(Shown(q).size(), 6u);

    TvlQBE qbe(nullptr);
    qbe.DatabaseName = "mem";
    plat::StringList lines;
    lines.Add("Query");
    qbe.SetQBE(lines);
    qbe.Open();
    dialogs.Clear();
    qbe.SetOnFilter(EvenOnly());
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Local Filtering is not supported on this QBE.");
    // A handler stored while closed meets the refusal when the dataset opens:
    // it opens unfiltered, and says so.
    qbe.Close();
    dialogs.Clear();
    qbe.Open();
    EXPECT_TRUE(qbe.Active());
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Local Filtering is not supported on this QBE.");
    EXPECT_EQ(Shown(qbe).size(), 6u);
}

TEST_F(QueryKinds, QbeRunsItsTextWithTildeVariables) {
    TvlQBE qbe(nullptr);
    qbe.DatabaseName = "mem";
    EXPECT_THROW(qbe.Open(), db::EDatabaseError);  // no text to run
    plat::StringList lines;
    lines.Add("Query");
    lines.Add("rows.db | N |");
    lines.Add("        | ~low, ~Missing, ~HIGH_2 |");
    qbe.SetQBE(lines);
    qbe.SetTildeVariable("LOW", ">2");
    qbe.SetTildeVariable("high_2", "<5");
    qbe.Open();
    EXPECT_EQ(driver->lastLanguage, 1);
    EXPECT_EQ(driver->lastText, "Query\r\nrows.db | N |\r\n        | >2, ~Missing, <5 |");
    EXPECT_FALSE(qbe.HasValidateWithMask());
    EXPECT_FALSE(qbe.ValidateWithMask());
    // New lines on an open dataset run at once.
    const int runs = driver->runs;
    qbe.SetQBE(lines);
    EXPECT_EQ(driver->runs, runs + 1);
    EXPECT_TRUE(qbe.Active());
    // A query that only changes data answers nothing: closed, no error.
    plat::StringList del;
    del.Add("delete rows");
    qbe.SetQBE(del);
    EXPECT_FALSE(qbe.Active());
    EXPECT_TRUE(qbe.NoResult());
}

}  // namespace
