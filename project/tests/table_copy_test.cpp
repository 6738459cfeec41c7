// The table copy procedures: structure copied, each record posted once after
// all its fields are set, and a failed post answered with false.
#include <gtest/gtest.h>

#include "project/table_copy.h"
#include "project/tests/editor_test_support.h"
#include "platform/core/exceptions.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

namespace {

struct TableCopy : ::testing::Test {
    edtest::ProgramFolder home{false};
    gui::ScriptedDialogService dialogs;
    db::TTable source{nullptr}, dest{nullptr};

    TableCopy() {
        gui::SetDialogService(&dialogs);
        source.SetName("tblSource");
        dest.SetName("tblDest");
        source.DatabaseName = home.dir;
        source.TableName = "SRC";
        source.FieldDefs().Add("Name", db::ftString, 20);
        source.FieldDefs().Add("Id", db::ftInteger);
        source.FieldDefs().Add("Body", db::ftMemo);
        source.IndexDefs().Add("", "Id", db::ixPrimary);
        source.CreateTable();
        source.Open();
        for (int i = 1; i <= 3; ++i) {
            source.Append();
            source.FieldByName("Name")->SetAsString("row " + std::to_string(i));
            source.FieldByName("Id")->SetAsInteger(i);
            source.FieldByName("Body")->SetAsString(std::string(300 * i, 'x'));
            source.Post();
        }
    }
    ~TableCopy() override {
        dest.Close();
        source.Close();
        gui::SetDialogService(nullptr);
    }
    void MakeDest() {
        ASSERT_TRUE(editor::CreateTableLike(source, home.dir + "/work/DEST"));
        dest.DatabaseName = home.dir + "/work";
        dest.TableName = "DEST";
        dest.Open();
    }
};

TEST_F(TableCopy, StructureAndEveryRecordPostedOnceWithAllItsFields) {
    std::filesystem::create_directories(home.dir + "/work");
    MakeDest();
    ASSERT_EQ(dest.FieldCount(), 3);
    EXPECT_NE(dest.IndexDefs().FindIndexForFields("Id"), nullptr);
    std::vector<std::string> atPost;
    dest.BeforePost = [&](db::TDataSet* t) {
        atPost.push_back(t->FieldByName("Name")->AsString() + "/" + t->FieldByName("Id")->AsString() + "/" +
                         std::to_string(t->FieldByName("Body")->AsString().size()));
    };
    EXPECT_TRUE(editor::CopyAllRecords(source, dest));
    EXPECT_EQ(atPost, (std::vector<std::string>{"row 1/1/300", "row 2/2/600", "row 3/3/900"}));
    EXPECT_EQ(dest.RecordCount(), 3);

    // One record onto an existing one: edited in place, posted once.
    atPost.clear();
    source.First();
    source.Edit();
    source.FieldByName("Name")->SetAsString("changed");
    source.Post();
    dest.First();
    EXPECT_TRUE(editor::CopyRecordFields(source, dest));
    EXPECT_EQ(atPost, std::vector<std::string>{"changed/1/300"});
    EXPECT_EQ(dest.RecordCount(), 3);
}

TEST_F(TableCopy, AFailedPostAnswersFalseAndLeavesNothingPending) {
    std::filesystem::create_directories(home.dir + "/work");
    MakeDest();
    int posts = 0;
    dest.BeforePost = [&](db::TDataSet*) {
        if (++posts == 2) throw plat::Exception("disk full");
    };
    EXPECT_FALSE(editor::CopyAllRecords(source, dest));
    EXPECT_EQ(dialogs.Last().text, "Failed to post.");
    EXPECT_EQ(dest.State(), db::dsBrowse);
    EXPECT_EQ(dest.RecordCount(), 1);
    EXPECT_EQ(posts, 2);  // the copy stopped at the failure

    posts = 0;
    dest.BeforePost = [&](db::TDataSet*) { throw plat::Exception("refused"); };
    source.First();
    EXPECT_FALSE(editor::CopyRecordFields(source, dest));
    EXPECT_EQ(dest.State(), db::dsBrowse);
}

TEST_F(TableCopy, ClosedTablesAndAnEmptyNameAreRefused) {
    EXPECT_FALSE(editor::CreateTableLike(source, ""));
    EXPECT_EQ(dialogs.Last().text, "No new table name specified.");
    EXPECT_FALSE(editor::CopyAllRecords(source, dest));
    EXPECT_EQ(dialogs.Last().text, "Please make your tblDest table active.");
    EXPECT_FALSE(editor::CopyRecordFields(source, dest));
}

}  // namespace
