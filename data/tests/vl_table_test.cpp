// The library's table beyond its filters: key search with its warnings, the
// index for a field, the memo stream, and a table defined by a query.
#include "data/tests/engine_fixture.h"

#include "data/vl_query.h"
#include "engine/api/dbi_api.h"
#include "data/db_errors.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

class TvlTableTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(20);
    }
};

TEST_F(TvlTableTest, FindKeyWarnsAboutTheIndex) {
    // A table without any index.
    db::TTable plain(nullptr);
    plain.DatabaseName = Folder();
    plain.TableName = "Plain.QVD";
    plain.FieldDefs().Add("Name", db::ftString, 20);
    plain.CreateTable();
    TvlTable t(nullptr);
    t.SetName("plainTable");
    t.DatabaseName = Folder();
    t.SetTableName("Plain.QVD");
    t.Open();
    EXPECT_FALSE(t.FindKey({std::string("x")}));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Table plainTable: Table index not found");
    t.Close();

    pages->SetIndexName("ByTitle");
    pages->Open();
    dialogs.Clear();
    EXPECT_FALSE(pages->FindKey({std::string("Page 3"), std::int64_t{3}}));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Table detailTable: FindKey has too many lookup values for index ByTitle");
    EXPECT_EQ(dialogs.Last().icon, gui::DialogIcon::Warning);
    EXPECT_EQ(pages->SearchDepth(), 0);
}

TEST_F(TvlTableTest, FindKeyKeepsARecordThatAlreadyCarriesTheKey) {
    pages->Open();  // primary index: Application;HelpId, case-sensitive
    ASSERT_TRUE(pages->FindKey({std::string("Demo"), std::int64_t{5}}));
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 5);
    // Letter case aside the current record matches: it stays.
    EXPECT_TRUE(pages->FindKey({std::string("DEMO"), std::int64_t{5}}));
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 5);
    // Elsewhere the engine's (case-sensitive) search decides.
    EXPECT_FALSE(pages->FindKey({std::string("DEMO"), std::int64_t{9}}));
    EXPECT_TRUE(pages->FindKey({std::string("Demo"), std::int64_t{9}}));
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 9);
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(TvlTableTest, FindIndexForFieldTriesFourPasses) {
    struct Index { const char* name; const char* fields; bool ci; };
    struct Case {
        std::vector<Index> indexes;
        const char* field;
        const char* found;
    };
    const Case cases[] = {
        {{{"CsExact", "Title", false}, {"CiExact", "Title", true}}, "Title", "CiExact"},
        {{{"CiPrefix", "Title;HelpId", true}, {"CsExact", "Title", false}}, "Title", "CsExact"},
        {{{"CsPrefix", "Title;A", false}, {"CiPrefix", "TITLE;B", true}}, "title", "CiPrefix"},
        {{{"CsPrefix", "Title;A", false}}, "Title", "CsPrefix"},
        {{{"Longer", "Titles", true}, {"Later", "HelpId;Title", true}}, "Title", "?"},
    };
    for (const Case& c : cases) {
        TvlTable t(nullptr);
        for (const Index& x : c.indexes) t.IndexDefs().Add(x.name, x.fields, x.ci ? unsigned{db::ixCaseInsensitive} : 0u);
        EXPECT_EQ(t.FindIndexForField(c.field), c.found) << c.field;
    }
    // On an open table the engine's own indexes answer.
    pages->Open();
    EXPECT_EQ(pages->FindIndexForField("title"), "ByTitle");
    EXPECT_EQ(pages->FindIndexForField("Application"), "Primary");
    EXPECT_EQ(pages->FindIndexForField("Body"), "?");
}

TEST_F(TvlTableTest, MemoStreamReadsAndSeeksAHundredKilobytes) {
    std::string memo(100 * 1024, '\0');
    for (std::size_t i = 0; i < memo.size(); ++i) memo[i] = static_cast<char>(' ' + (i * 7) % 95);
    pages->Open();
    pages->Edit();
    pages->FieldByName("Body")->SetAsString(memo);
    pages->Post();
    pages->Next();  // the stream puts the cursor back on the current record
    pages->Prior();

    TvlMemoStream s(pages->FieldByName("Body"), false);
    ASSERT_TRUE(s.Opened());
    EXPECT_EQ(s.Size(), static_cast<std::int64_t>(memo.size()));
    std::string whole(memo.size() + 10, '\0');
    EXPECT_EQ(s.Read(whole.data(), static_cast<std::int64_t>(whole.size())), static_cast<std::int64_t>(memo.size()));
    whole.resize(memo.size());
    EXPECT_EQ(whole, memo);
    // Pieces of an odd size meet the 32768-byte reads at every offset.
    s.Seek(0, plat::SeekOrigin::Begin);
    std::string pieces;
    char buf[10000];
    for (std::int64_t n; (n = s.Read(buf, sizeof buf)) > 0;) pieces.append(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(pieces, memo);

    // Each seek is followed by a read of 20 bytes.
    struct Case { std::int64_t offset; plat::SeekOrigin origin; std::int64_t position; };
    const Case seeks[] = {
        {50000, plat::SeekOrigin::Begin, 50000},
        {-30, plat::SeekOrigin::Current, 49990},
        {32740, plat::SeekOrigin::Current, 82750},
        {-100, plat::SeekOrigin::End, 102300},
        {0, plat::SeekOrigin::End, 102400},
    };
    for (const Case& c : seeks) {
        ASSERT_EQ(s.Seek(c.offset, c.origin), c.position);
        char got[20] = {};
        const std::int64_t want = std::min<std::int64_t>(20, static_cast<std::int64_t>(memo.size()) - c.position);
        EXPECT_EQ(s.Read(got, 20), want);
        EXPECT_EQ(std::string(got, static_cast<std::size_t>(want)),
                  memo.substr(static_cast<std::size_t>(c.position), static_cast<std::size_t>(want)));
    }
    EXPECT_EQ(s.Seek(-1, plat::SeekOrigin::Begin), -1);  // before the start: refused
    EXPECT_EQ(s.Write("x", 1), 0);
}

TEST_F(TvlTableTest, AQueryTableGivesTheNotSupportedError) {
    struct Case { const char* first; const char* language; };
    for (Case c : {Case{"SELECT * FROM Pages", "SQL"}, Case{"Query", "QBE"}}) {
        plat::StringList q;
        q.Add(c.first);
        q.Add("Pages.QVD | HelpId |");
        pages->SetQuery(q);
        EXPECT_TRUE(pages->TableName.empty());
        dialogs.Clear();
        try {
            pages->Open();
            ADD_FAILURE() << "a query table opened";
        } catch (const db::EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), 12289);
        }
        EXPECT_FALSE(pages->Active());
        EXPECT_EQ(pages->QueryLanguage(), c.language);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_NE(dialogs.Last().text.find("not supported"), std::string::npos) << dialogs.Last().text;
    }
    // The query kinds meet the same answer on this engine.
    TvlQuery q(nullptr);
    q.DatabaseName = Folder();
    q.SQL = {"SELECT * FROM Pages"};
    try {
        q.Open();
        ADD_FAILURE() << "a query opened";
    } catch (const db::EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), 12289);
    }
    EXPECT_FALSE(q.Active());
    // A table name takes the place of the query again.
    pages->SetTableName("Pages.QVD");
    EXPECT_EQ(pages->Query().Count(), 0);
    pages->Open();
    EXPECT_EQ(ShownIds().size(), 20u);
}

}  // namespace
