#include "data/bag.h"

#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

using misc::TBag;
using misc::TBestRecordBuffer;

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Bag : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp / "home");
        plat::SetDataHome((tmp / "home").string());
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        folder = tmp.path().string() + "/";
        ini = (tmp / "Tavrin.ini").string();
    }
    void TearDown() override {
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    std::unique_ptr<db::TTable> MakeTable(const std::string& name, bool withTitleAsInteger = false) {
        auto t = std::make_unique<db::TTable>(nullptr);
        t->DatabaseName = folder;
        t->TableName = name;
        t->FieldDefs().Add("HelpId", db::ftInteger);
        t->FieldDefs().Add("Title", withTitleAsInteger ? db::ftInteger : db::ftString, withTitleAsInteger ? 0 : 40);
        t->FieldDefs().Add("Body", db::ftMemo);
        t->CreateTable();
        t->Open();
        return t;
    }

    testsupport::TempDir tmp;
    std::shared_ptr<db::TEngineDriver> driver;
    std::string folder, ini;
};

TEST_F(Bag, WritesTheGridLayoutAsExactKeyLines) {
    auto t = MakeTable("Pages.QVD");
    t->FieldByName("Title")->SetDisplayWidth(30);
    t->FieldByName("Body")->Visible = false;
    t->FieldByName("HelpId")->ReadOnly = true;
    TBag bag(nullptr);
    bag.IniFile = ini;
    bag.IniSect = "SplitView";
    bag.AddDataSetFields("HelpIdGrid", t.get());
    bag.SaveToIni();
    // Display widths: an Integer field shows 11 characters by default, a
    // string its size, a memo 10.
    EXPECT_EQ(ReadAll(ini),
              "[SplitView]\r\nHelpIdGrid_Field_0=HelpId," + std::to_string(t->FieldByName("HelpId")->DisplayWidth()) +
                  ",0,1,1\r\nHelpIdGrid_Field_1=Title,30,1,1,0\r\nHelpIdGrid_Field_2=Body," +
                  std::to_string(t->FieldByName("Body")->DisplayWidth()) + ",2,0,0\r\n");
}

TEST_F(Bag, ARoundTripRestoresWidthsOrderAndVisibilityIntoANewDataset) {
    {
        auto t = MakeTable("Pages.QVD");
        t->FieldByName("Body")->SetIndex(0);
        t->FieldByName("Title")->SetDisplayWidth(17);
        t->FieldByName("HelpId")->Visible = false;
        TBag bag(nullptr);
        bag.IniFile = ini;
        bag.IniSect = "SplitView";
        bag.AddDataSetFields("HelpIdGrid", t.get());
        bag.SaveToIni();
    }
    db::TTable fresh(nullptr);
    fresh.DatabaseName = folder;
    fresh.TableName = "Pages.QVD";
    fresh.Open();
    TBag bag(nullptr);
    bag.IniFile = ini;
    bag.IniSect = "SplitView";
    bag.LoadFromIni();
    EXPECT_EQ(bag.Count(), 3);
    bag.RestoreDataSetFields("HelpIdGrid", &fresh);
    EXPECT_EQ(fresh.Fields(0)->FieldName, "Body");
    EXPECT_EQ(fresh.Fields(1)->FieldName, "HelpId");
    EXPECT_EQ(fresh.Fields(2)->FieldName, "Title");
    EXPECT_EQ(fresh.FieldByName("Title")->DisplayWidth(), 17);
    EXPECT_FALSE(fresh.FieldByName("HelpId")->Visible);
    EXPECT_TRUE(fresh.FieldByName("Title")->Visible);
}

TEST_F(Bag, StaleEntriesAreSkippedAndTheRestApplies) {
    auto t = MakeTable("Pages.QVD");
    TBag bag(nullptr);
    bag.AddItem("HelpIdGrid_Field_0", "Gone,5,0,1,0");     // no such field
    bag.AddItem("HELPIDGRID_FIELD_1", "Title,9,1,2,0");    // a flag of 2
    bag.AddItem("helpidgrid_field_2", "Body,7,2,0,1");     // names match without regard to case
    bag.AddItem("HelpIdGrid_Field_3", "");                 // the end
    bag.AddItem("HelpIdGrid_Field_4", "HelpId,3,0,0,0");   // never reached
    const int titleWidth = t->FieldByName("Title")->DisplayWidth();
    bag.RestoreDataSetFields("HelpIdGrid", t.get());
    EXPECT_EQ(t->FieldByName("Title")->DisplayWidth(), titleWidth);
    EXPECT_TRUE(t->FieldByName("Title")->Visible);
    EXPECT_EQ(t->FieldByName("Body")->DisplayWidth(), 7);
    EXPECT_FALSE(t->FieldByName("Body")->Visible);
    EXPECT_TRUE(t->FieldByName("Body")->ReadOnly);
    EXPECT_TRUE(t->FieldByName("HelpId")->Visible);
}

// A column width read back from the ini file is used only within what a grid
// column can show; anything else keeps the field's own width.
TEST_F(Bag, StoredWidthsOutOfRangeKeepTheFieldsOwn) {
    struct Case {
        const char* width;
        int expected;  // -1: the field's own width
    };
    const Case cases[] = {{"2147483647", -1}, {"-99999999", -1}, {"0", -1}, {"256", -1},
                          {"99999999999", -1}, {"1", 1},          {"40", 40}, {"255", 255}};
    for (const Case& c : cases) {
        auto t = MakeTable("Pages.QVD");
        const int own = t->FieldByName("Title")->DisplayWidth();
        TBag bag(nullptr);
        bag.AddItem("HelpIdGrid_Field_0", std::string("Title,") + c.width + ",0,1,0");
        bag.RestoreDataSetFields("HelpIdGrid", t.get());
        EXPECT_EQ(t->FieldByName("Title")->DisplayWidth(), c.expected < 0 ? own : c.expected) << c.width;
        EXPECT_EQ(t->Fields(0)->FieldName, "Title") << c.width;  // the rest of the entry still applies
        t.reset();
        std::filesystem::remove_all(folder + "/Pages.QVD");
    }
}

TEST_F(Bag, ItemsIniChecksAndEdges) {
    TBag bag(nullptr);
    EXPECT_THROW(bag.LoadFromIni(), misc::EBagError);
    bag.IniFile = ini;
    try {
        bag.SaveToIni();
        FAIL();
    } catch (const misc::EBagError& e) {
        EXPECT_STREQ(e.what(), "No INI file section specified");
    }
    bag.IniSect = "SplitView";
    try {
        bag.SaveToIni();
        FAIL();
    } catch (const misc::EBagError& e) {
        EXPECT_STREQ(e.what(), "No items to write to INI file");
    }
    EXPECT_FALSE(std::filesystem::exists(ini));
    EXPECT_THROW(bag.AddItem("", "x"), misc::EBagError);
    bag.AddItem("Width", "1");
    bag.AddItem("WIDTH", "2");
    EXPECT_EQ(bag.Count(), 1);
    EXPECT_EQ(bag.GetValue("width"), "2");
    EXPECT_EQ(bag.GetValue("other"), "");
    // A missing file or section leaves the bag as it was.
    bag.LoadFromIni();
    { std::ofstream(ini) << "[Other]\nA=1\n"; }
    bag.LoadFromIni();
    EXPECT_EQ(bag.Count(), 1);
    EXPECT_EQ(bag.GetValue("Width"), "2");
    // No stored pairs change nothing.
    auto t = MakeTable("Pages.QVD");
    TBag empty(nullptr);
    empty.RestoreDataSetFields("HelpIdGrid", t.get());
    EXPECT_EQ(t->Fields(0)->FieldName, "HelpId");
}

TEST_F(Bag, ARecordCopiesBetweenTwoEngineTables) {
    auto from = MakeTable("From.QVD");
    auto to = MakeTable("To.QVD");
    auto other = MakeTable("Other.QVD", true);
    from->Append();
    from->FieldByName("HelpId")->SetAsInteger(42);
    from->FieldByName("Title")->SetAsString("Copied page");
    from->FieldByName("Body")->SetAsString("{\\rtf1 body}");
    from->Post();

    TBestRecordBuffer buf(nullptr);
    buf.ToDataSet = to.get();
    try {
        buf.InsertFromBuffer();
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_STREQ(e.what(), "Buffer empty");
    }
    buf.SetDataSet(from.get());
    buf.InsertFromBuffer();
    to->Post();
    to->First();
    EXPECT_EQ(to->RecordCount(), 1);
    EXPECT_EQ(to->FieldByName("HelpId")->AsInteger(), 42);
    EXPECT_EQ(to->FieldByName("Title")->AsString(), "Copied page");
    EXPECT_EQ(to->FieldByName("Body")->AsString(), "{\\rtf1 body}");

    to->Edit();
    try {
        buf.InsertFromBuffer();
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_STREQ(e.what(), "Already in edit.");
    }
    to->Cancel();

    // A target of another layout is refused before anything is written.
    buf.ToDataSet = other.get();
    try {
        buf.InsertFromBuffer();
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_STREQ(e.what(), "Buffer is corrupt");
    }
    EXPECT_EQ(other->State(), db::dsBrowse);
    EXPECT_EQ(other->RecordCount(), 0);
    buf.ToDataSet = nullptr;
    try {
        buf.InsertFromBuffer();
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_STREQ(e.what(), "No Table");
    }
}

}  // namespace
