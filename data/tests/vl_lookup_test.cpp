#include "data/tests/engine_fixture.h"
#include "data/vl_lookup.h"
#include "data/fields.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

class LookupTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(6);
        MakeKinds("Kinds.QVD", true);
        MakeKinds("Loose.QVD", false);
        auto add = [&](const char* name, db::TFieldKind kind) {
            auto f = std::make_unique<db::TStringField>();
            f->FieldName = name;
            f->FieldKind = kind;
            f->Size = 30;
            pages->AddField(std::move(f));
        };
        auto id = std::make_unique<db::TIntegerField>();
        id->FieldName = "HelpId";
        add("Application", db::fkData);
        pages->AddField(std::move(id));
        add("TopicPopup", db::fkData);
        add("KindLabel", db::fkCalculated);
        add("BadLink", db::fkCalculated);
        add("KindColour", db::fkCalculated);
        add("LooseLabel", db::fkCalculated);
        pages->OnCalcFields = [this](db::TDataSet*) { ++calcRuns; };
    }

    void MakeKinds(const char* name, bool indexed) {
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = name;
        t.FieldDefs().Add("Code", db::ftString, 1, true);
        t.FieldDefs().Add("Label", db::ftString, 20);
        t.FieldDefs().Add("Colour", db::ftString, 10);
        if (indexed) t.IndexDefs().Add("", "Code", db::ixPrimary);
        t.CreateTable();
        t.Open();
        const char* rows[][3] = {{"T", "Topic", "blue"}, {"P", "Popup", "red"}};
        for (auto& r : rows) {
            t.Append();
            t.FieldByName("Code")->SetAsString(r[0]);
            t.FieldByName("Label")->SetAsString(r[1]);
            t.FieldByName("Colour")->SetAsString(r[2]);
            t.Post();
        }
        t.Close();
    }

    void Define(const std::string& field, const std::string& table, const std::string& result,
                const std::string& links) {
        pages->LookupFields().Add(field + ";" + Folder() + ";" + table + ";" + result + ";");
        pages->LookupLinks().Add(links);
    }

    int calcRuns = 0;
};

TEST_F(LookupTest, FieldsOnOneTableFetchOncePerRecord) {
    Define("KindLabel", "Kinds.QVD", "Label", "TopicPopup;Code");
    Define("KindColour", "Kinds.QVD", "Colour", "topicpopup;CODE");  // the links compare without case
    LookupFetchCount() = 0;
    pages->Open();
    std::vector<std::string> labels, colours;
    for (pages->First(); !pages->Eof(); pages->Next()) {
        labels.push_back(pages->FieldByName("KindLabel")->AsString());
        colours.push_back(pages->FieldByName("KindColour")->AsString());
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Topic", "Popup", "Popup", "Topic", "Popup", "Popup"}));
    EXPECT_EQ(colours, (std::vector<std::string>{"blue", "red", "red", "blue", "red", "red"}));
    ASSERT_GT(calcRuns, 0);
    EXPECT_EQ(LookupFetchCount(), calcRuns);  // one key search per record, not one per field
    ASSERT_NE(GetLookupTableList(pages.get()), nullptr);
    EXPECT_EQ(GetLookupTableList(pages.get())->size(), 1u);
    pages->Close();
    EXPECT_TRUE(GetLookupTableList(pages.get())->empty());
}

TEST_F(LookupTest, ABadLinkBlanksOnlyItsOwnField) {
    Define("KindLabel", "Kinds.QVD", "Label", "TopicPopup;Code");
    Define("BadLink", "Kinds.QVD", "Label", "NoSuchField;Code");
    Define("KindColour", "Kinds.QVD", "Colour", "TopicPopup;Code");
    Define("LooseLabel", "Missing.QVD", "Label", "TopicPopup;Code");  // a table that is not there
    pages->Open();
    pages->First();
    EXPECT_EQ(pages->FieldByName("KindLabel")->AsString(), "Topic");
    EXPECT_EQ(pages->FieldByName("KindColour")->AsString(), "blue");
    EXPECT_FALSE(pages->FieldByName("BadLink")->Visible);
    EXPECT_EQ(pages->FieldByName("BadLink")->AsString(), "");
    EXPECT_FALSE(pages->FieldByName("LooseLabel")->Visible);
    EXPECT_TRUE(pages->FieldByName("KindColour")->Visible);
}

TEST_F(LookupTest, KeyValueCountsAndTablesWithoutIndex) {
    pages->Open();
    pages->Next();  // TopicPopup "P"
    TvlTable kinds(nullptr);
    kinds.DatabaseName = Folder();
    kinds.SetTableName("Kinds.QVD");
    kinds.Open();
    const std::vector<std::string> pair = {"TopicPopup", "Code"};
    EXPECT_TRUE(FetchLookupValues(&kinds, pages.get(), pair));
    EXPECT_EQ(kinds.FieldByName("Label")->AsString(), "Popup");
    for (std::size_t n : {1u, 7u, 14u}) {
        std::vector<std::string> links;
        for (std::size_t k = 0; k < n; ++k) links.push_back(k % 2 ? "Code" : "TopicPopup");
        EXPECT_FALSE(FetchLookupValues(&kinds, pages.get(), links)) << n;
    }

    // Without index fields the table is searched by its field; only the first pair counts.
    TvlTable loose(nullptr);
    loose.DatabaseName = Folder();
    loose.SetTableName("Loose.QVD");
    loose.Open();
    EXPECT_TRUE(FetchLookupValues(&loose, pages.get(), {"TopicPopup", "Code", "Title", "Label"}));
    EXPECT_EQ(loose.FieldByName("Colour")->AsString(), "red");
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(LookupTest, DefinitionsAndAliasPaths) {
    Define("KindLabel", "Kinds.QVD", "Label", "TopicPopup;Code");
    pages->Open();
    pages->First();
    std::string database, table, links, result;
    GetLookupDefinition(pages->FieldByName("KindLabel"), database, table, links, result);
    EXPECT_EQ(database, Folder());
    EXPECT_EQ(table, "Kinds.QVD");
    EXPECT_EQ(links, "TopicPopup;Code");
    EXPECT_EQ(result, "Label");
    GetLookupDefinition(pages->FieldByName("TopicPopup"), database, table,
                        links, result);
    EXPECT_EQ(database, Folder());  // no line: the dataset's database
    EXPECT_EQ(table, "");

    std::string key;
    db::TField* resultField = nullptr;
    EXPECT_TRUE(FindLookupRecord(pages->FieldByName("KindLabel"), key, resultField));
    EXPECT_EQ(key, "T");
    ASSERT_NE(resultField, nullptr);
    EXPECT_EQ(resultField->FieldName, "Label");
    EXPECT_EQ(resultField->AsString(), "Topic");

    const std::string folder = Folder().substr(0, Folder().size() - 1);
    driver_->AddAlias("HelpData", folder);
    EXPECT_EQ(GetAliasPath("HelpData"), folder);
    EXPECT_EQ(GetAliasPath("NoSuchAlias"), "");
}

}  // namespace

#include "data/vl_helpers.h"

namespace {

TEST_F(LookupTest, AnswerTablesAndBookmarkOrder) {
    pages->Open();
    EXPECT_FALSE(CreateAnswerTable(pages.get(), pages->DBHandle(), ""));
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_FALSE(CreateAnswerTable(pages.get(), pages->DBHandle(), ":NoSuchAlias:Answer"));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Invalid Alias in QBE");
    // A table's cursor cannot be made permanent here: the engine says why.
    const std::string folder = Folder().substr(0, Folder().size() - 1);
    driver_->AddAlias("HelpData", folder);
    EXPECT_FALSE(CreateAnswerTable(pages.get(), pages->DBHandle(), ":HelpData:Answer"));
    // (the engine first shows its own box for the call it does not support)
    ASSERT_EQ(dialogs.Requests().size(), 3u);
    const std::string text = dialogs.Last().text;
    const std::string tail = " (" + folder + "/Answer)";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    // On another drive than the private folder's the answer is copied, not
    // renamed; an engine without the copy says so and the cursor stays put.
    struct {
        std::string privateDir, name;
        bool copies;
    } drives[] = {
        {"", "Q:\\answers\\Answer", true},
        {"c:\\private", "Q:\\answers\\Answer", true},
        {"q:\\private", "Q:\\answers\\Answer", false},
        {"", "answers\\Answer", false},
    };
    pages->First();
    pages->Next();
    const std::string second = pages->FieldByName("HelpId")->AsString();
    for (const auto& d : drives) {
        SCOPED_TRACE(d.privateDir + " / " + d.name);
        db::Session().PrivateDir = d.privateDir;
        dialogs.Clear();
        EXPECT_FALSE(CreateAnswerTable(pages.get(), pages->DBHandle(), d.name));
        ASSERT_FALSE(dialogs.Requests().empty());
        const std::string shown = dialogs.Last().text;
        EXPECT_EQ(shown.substr(shown.size() - d.name.size() - 3), " (" + d.name + ")");
        bool batch = false;
        for (const auto& r : dialogs.Requests()) batch = batch || r.text.find("BATCHMOVE") != std::string::npos;
        EXPECT_EQ(batch, d.copies);
        EXPECT_EQ(pages->FieldByName("HelpId")->AsString(), second);
    }
    db::Session().PrivateDir.clear();

    pages->First();
    const db::TBookmark first = pages->GetBookmark();
    pages->Last();
    const db::TBookmark last = pages->GetBookmark();
    EXPECT_LT(CompareBookmarksOf(pages.get(), first, last), 0);
    EXPECT_GT(CompareBookmarksOf(pages.get(), last, first), 0);
    EXPECT_EQ(CompareBookmarksOf(pages.get(), last, last), 0);
    pages->Close();
    EXPECT_EQ(CompareBookmarksOf(pages.get(), first, last), 0);
}

}  // namespace
