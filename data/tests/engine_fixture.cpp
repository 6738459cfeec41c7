#include "data/tests/engine_fixture.h"

#include "platform/core/paths.h"

#include <filesystem>

namespace vltest {

void EngineTables::SetUp() {
    // The engine keeps its configuration in the data folder: a test gets its own.
    std::filesystem::create_directories(dir_.path() / "home");
    plat::SetDataHome((dir_.path() / "home").string());
    gui::SetDialogService(&dialogs);
    driver_ = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver_);
    folder_ = dir_.path().string() + "/";
}

void EngineTables::TearDown() {
    pages.reset();
    db::Session().SetDriver(nullptr);
    driver_.reset();
    gui::SetDialogService(nullptr);
    plat::SetDataHome("");
}

void EngineTables::MakePageTable(int rows) {
    db::TTable t(nullptr);
    t.DatabaseName = folder_;
    t.TableName = "Pages.QVD";
    t.FieldDefs().Add("Application", db::ftString, 30, true);
    t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
    t.FieldDefs().Add("Title", db::ftString, 60);
    t.FieldDefs().Add("TopicPopup", db::ftString, 1);
    t.FieldDefs().Add("Body", db::ftMemo);
    t.FieldDefs().Add("Cost", db::ftBCD, 2);
    t.IndexDefs().Add("", "Application;HelpId", db::ixPrimary);
    t.IndexDefs().Add("ByTitle", "Title", db::ixCaseInsensitive);
    t.CreateTable();
    t.Open();
    for (int i = 1; i <= rows; ++i) {
        t.Append();
        t.FieldByName("Application")->SetAsString("Demo");
        t.FieldByName("HelpId")->SetAsInteger(i);
        t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
        t.FieldByName("TopicPopup")->SetAsString(i % 3 == 1 ? "T" : "P");
        t.Post();
    }
    t.Close();
    pages = std::make_unique<vl::TvlTable>(nullptr);
    pages->SetName("detailTable");
    pages->DatabaseName = folder_;
    pages->SetTableName("Pages.QVD");
}

std::vector<int> EngineTables::ShownIds() {
    std::vector<int> out;
    for (pages->First(); !pages->Eof(); pages->Next())
        out.push_back(static_cast<int>(pages->FieldByName("HelpId")->AsInteger()));
    return out;
}

}  // namespace vltest
