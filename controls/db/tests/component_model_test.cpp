// Forms, controls, datasets and data sources are components of one model: a
// form owns its tables, finds them by name and frees them with itself, and
// code binds controls to data by property name without knowing their class.
#include "controls/db/db_controls.h"
#include "data/tables.h"
#include "data/tests/memory_store.h"
#include "platform/gui/tests/gui_fixture.h"

#include <memory>

namespace {

using namespace db;

// Counts its own destruction, so the test sees the owner free it.
template <typename Base>
class Counted : public Base {
public:
    Counted(TComponent* owner, int* freed) : Base(owner), freed_(freed) {}
    ~Counted() override { ++*freed_; }

private:
    int* freed_;
};

class ComponentModelTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        Session().SetDriver(std::make_shared<dbtest::MemoryDriver>());
    }
    void TearDown() override {
        GuiTest::TearDown();
        Session().SetDriver(nullptr);
    }
};

TEST_F(ComponentModelTest, FormOwnsFindsAndFreesItsTableAndDataSource) {
    int freed = 0;
    auto* owner = new gui::TForm(gui::Application);
    owner->SetName("Form2");
    auto* table = new Counted<TTable>(owner, &freed);
    table->SetName("Table1");
    table->DatabaseName = "/data";
    table->TableName = "pages";
    table->FieldDefs().Add("HelpId", ftInteger);
    table->FieldDefs().Add("Title", ftString, 40);
    table->CreateTable();
    table->Open();
    auto* source = new Counted<TDataSource>(owner, &freed);
    source->SetName("DataSource1");
    source->SetDataSet(table);
    auto* edit = new TDBEdit(owner);
    edit->SetParent(owner);
    edit->SetName("Edit1");

    EXPECT_EQ(owner->FindComponent("table1"), table);
    EXPECT_EQ(owner->FindComponent("DataSource1"), source);
    EXPECT_EQ(gui::FindComponentPath(gui::Application, "Form2.Edit1"), edit);
    EXPECT_EQ(gui::FindComponentPath(gui::Application, "Form2.Table1"), table);
    // The grid's rule for "A.B": B among the components of the dataset's owner.
    EXPECT_EQ(source->DataSet()->Owner()->FindComponent("Edit1"), edit);
    EXPECT_TRUE(table->InheritsFrom("TDataSet"));
    EXPECT_TRUE(edit->InheritsFrom("TCustomEdit"));
    EXPECT_EQ(table->ClassName(), "Counted<db::TTable>");  // a template keeps its arguments

    // Bound by name: the edit shows the table's field.
    table->Append();
    table->FieldByName("Title")->SetAsString("Contents");
    table->Post();
    EXPECT_TRUE(plat::SetObjectProp(edit, "DataSource", source));
    EXPECT_TRUE(plat::SetStrProp(edit, "DataField", "Title"));
    EXPECT_EQ(plat::GetObjectProp(edit, "DataSource"), source);
    EXPECT_EQ(edit->Text(), "Contents");
    EXPECT_EQ(plat::GetStrProp(table, "TableName"), "pages");
    EXPECT_EQ(plat::GetStrProp(table, "DatabaseName"), "/data");
    EXPECT_EQ(plat::GetObjectProp(source, "DataSet"), table);
    // A table is not a data source.
    EXPECT_FALSE(plat::SetObjectProp(edit, "DataSource", table));
    EXPECT_EQ(edit->DataSource(), source);

    delete owner;
    EXPECT_EQ(freed, 2);
}

TEST_F(ComponentModelTest, FreeingAnOwnedTableLeavesItsSourceAndControlsSafe) {
    auto* owner = new gui::TForm(gui::Application);
    auto* table = new TTable(owner);
    table->DatabaseName = "/data";
    table->TableName = "pages";
    table->FieldDefs().Add("Title", ftString, 40);
    table->CreateTable();
    table->Open();
    auto* source = new TDataSource(owner);
    source->SetDataSet(table);
    auto* edit = new TDBEdit(owner);
    edit->SetParent(owner);
    edit->SetDataSource(source);
    edit->SetDataField("Title");
    delete table;
    EXPECT_EQ(source->DataSet(), nullptr);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(edit->Field(), nullptr);
    delete owner;  // the source and the edit go without touching the freed table (ASan)
}

}  // namespace
