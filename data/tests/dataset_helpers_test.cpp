#include "db_fixture.h"

#include <functional>
#include <map>
#include <set>

using namespace db;

namespace dbtest {
namespace {

class DatasetHelpersTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        CreateProjectTables();
        UseTable(pages, "TvrnITEM.QVD");
    }
    // Pages shown through persistent fields with one calculated field, so
    // that the calculation state can be entered.
    void AddCalculatedField() {
        for (const char* name : {"Application", "Title"}) {
            auto f = std::make_unique<TStringField>();
            f->FieldName = name;
            pages.AddField(std::move(f));
        }
        auto id = std::make_unique<TIntegerField>();
        id->FieldName = "HelpId";
        pages.AddField(std::move(id));
        auto calc = std::make_unique<TStringField>();
        calc->FieldName = "Caption";
        calc->FieldKind = fkCalculated;
        pages.AddField(std::move(calc));
    }
    std::string StoredTitle(const std::string& app, int id) {
        TTable t(nullptr);
        UseTable(t, "TvrnITEM.QVD");
        t.Open();
        return t.FindKey({std::string(app), std::int64_t{id}}) ? t.FieldByName("Title")->AsString() : "<none>";
    }
    TTable pages{nullptr};
};

// Every state a dataset can be seen in, reached the way code reaches it; the
// calculation and filter states are only seen from inside their events.
TEST_F(DatasetHelpersTest, IsEditingOnlyWhileARecordIsBeingChanged) {
    AddCalculatedField();
    std::map<TDataSetState, bool> seen;
    auto probe = [&](TDataSet* ds) { seen[ds->State()] = ds->IsEditing(); };
    const std::vector<std::pair<const char*, std::function<void()>>> roads = {
        {"closed", [&] { probe(&pages); }},
        {"open", [&] { pages.Open(); probe(&pages); }},
        {"calculating", [&] {
             pages.OnCalcFields = [&](TDataSet* ds) { probe(ds); };
             pages.Refresh();
             pages.OnCalcFields = nullptr;
         }},
        {"filtering", [&] {
             pages.OnFilterRecord = [&](TDataSet* ds, bool& accept) { probe(ds), accept = true; };
             pages.SetFiltered(true);
             pages.First();
             pages.SetFiltered(false);
             pages.OnFilterRecord = nullptr;
         }},
        {"editing", [&] { pages.Edit(); probe(&pages); pages.Cancel(); }},
        {"inserting", [&] { pages.Insert(); probe(&pages); pages.Cancel(); }},
        {"appending", [&] { pages.Append(); probe(&pages); pages.Cancel(); }},
        {"key", [&] {
             pages.SetIndexFieldNames("Application");
             pages.SetKey();
             probe(&pages);
             pages.Cancel();
             pages.EditKey();
             probe(&pages);
             pages.Cancel();
         }},
        {"after cancel", [&] { probe(&pages); }},
    };
    for (const auto& [name, road] : roads) {
        SCOPED_TRACE(name);
        road();
    }
    const std::map<TDataSetState, bool> want = {
        {dsInactive, false}, {dsBrowse, false}, {dsEdit, true}, {dsInsert, true},
        {dsSetKey, false},   {dsCalcFields, false}, {dsFilter, false},
    };
    // The table above covers the whole enumeration.
    EXPECT_EQ(want.size(), static_cast<std::size_t>(dsFilter) + 1);
    EXPECT_EQ(seen, want);
}

// The reason set-key is not editing: code that edits unless already editing
// would otherwise write into the search key, and the value would be lost.
TEST_F(DatasetHelpersTest, EditingFromTheKeyStateWritesTheRecord) {
    pages.Open();
    pages.SetIndexFieldNames("Application;HelpId");
    ASSERT_TRUE(pages.FindKey({std::string("Alpha"), std::int64_t{2}}));
    pages.EditKey();
    if (!pages.IsEditing()) pages.Edit();
    EXPECT_EQ(pages.State(), dsEdit);
    pages.SetFieldStr("Title", "Installing");
    if (pages.IsEditing()) pages.Post();
    EXPECT_EQ(pages.State(), dsBrowse);
    EXPECT_EQ(StoredTitle("Alpha", 2), "Installing");
}

TEST_F(DatasetHelpersTest, ReadsGiveTheEmptyValueForWhatIsNotThere) {
    pages.Open();
    ASSERT_TRUE(pages.FindKey({std::string("Alpha"), std::int64_t{2}}));
    pages.Edit();
    pages.FieldByName("Body")->Clear();
    pages.Post();
    struct Case {
        const char* field;
        const char* title;  // stored in Title first, when not null
        std::string text;
        std::int64_t number;  // with a fallback of -7
    };
    const Case cases[] = {
        {"Title", "Setup", "Setup", -7},           // text, not a number
        {"Title", " 42 ", " 42 ", 42},             // a number among blanks
        {"title", "Setup", "Setup", -7},           // names do not depend on case
        {"HelpId", nullptr, "2", 2},
        {"Body", nullptr, "", -7},                 // null
        {"NoSuchField", nullptr, "", -7},          // missing
        {"", nullptr, "", -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " / " + (c.title ? c.title : "-"));
        if (c.title) {
            pages.Edit();
            pages.FieldByName("Title")->SetAsString(c.title);
            pages.Post();
        }
        EXPECT_EQ(pages.FieldStr(c.field), c.text);
        EXPECT_EQ(pages.FieldInt(c.field, -7), c.number);
    }
    EXPECT_EQ(pages.FieldInt("NoSuchField"), 0);
    // A closed dataset has no record: every field reads as empty.
    pages.Close();
    EXPECT_EQ(pages.FieldStr("Title"), "");
    EXPECT_EQ(pages.FieldInt("HelpId", 5), 5);
}

TEST_F(DatasetHelpersTest, WritesLandOrRaise) {
    pages.Open();
    ASSERT_TRUE(pages.FindKey({std::string("Alpha"), std::int64_t{2}}));
    // Outside editing a write raises, as the field itself does.
    EXPECT_THROW(pages.SetFieldStr("Title", "x"), EDatabaseError);
    pages.Edit();
    // A missing field raises and changes nothing.
    EXPECT_THROW(pages.SetFieldStr("NoSuchField", "x"), EDatabaseError);
    EXPECT_THROW(pages.SetFieldInt("NoSuchField", 1), EDatabaseError);
    EXPECT_THROW(pages.ClearField("NoSuchField"), EDatabaseError);
    EXPECT_FALSE(pages.Modified());
    pages.SetFieldStr("title", "Installing");
    pages.SetFieldInt("HelpId", 12);
    EXPECT_TRUE(pages.Modified());
    pages.Post();
    EXPECT_EQ(StoredTitle("Alpha", 12), "Installing");
    EXPECT_EQ(StoredTitle("Alpha", 2), "<none>");
    pages.Edit();
    pages.ClearField("Title");
    pages.Post();
    EXPECT_EQ(StoredTitle("Alpha", 12), "");
    EXPECT_TRUE(pages.FieldByName("Title")->IsNull());
}

}  // namespace
}  // namespace dbtest
