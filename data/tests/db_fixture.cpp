#include "db_fixture.h"

using namespace db;

namespace dbtest {

void DbFixture::SetUp() {
    driver_ = std::make_shared<MemoryDriver>();
    Session().SetDriver(driver_);
    Session().AddStandardAlias("Tavrin", "/data/prog", "");
    owner_ = std::make_unique<TComponent>(nullptr);
}

void DbFixture::TearDown() {
    owner_.reset();
    Session().SetDriver(nullptr);
}

void DbFixture::CreateProjectTables() {
    TTable m(nullptr);
    m.DatabaseName = "Tavrin";
    m.TableName = "TvrnMAIN.QVD";
    m.FieldDefs().Add("Application", ftString, 30, true);
    m.FieldDefs().Add("Title", ftString, 60);
    m.FieldDefs().Add("Pages", ftInteger);
    m.IndexDefs().Add("", "Application", ixPrimary | ixCaseInsensitive);
    m.CreateTable();

    TTable d(nullptr);
    d.DatabaseName = "Tavrin";
    d.TableName = "TvrnITEM.QVD";
    d.FieldDefs().Add("Application", ftString, 30, true);
    d.FieldDefs().Add("HelpId", ftInteger, 0, true);
    d.FieldDefs().Add("Title", ftString, 60);
    d.FieldDefs().Add("Body", ftMemo);
    d.IndexDefs().Add("", "Application;HelpId", ixPrimary);
    d.IndexDefs().Add("ByTitle", "Title", ixCaseInsensitive);
    d.CreateTable();

    m.Open();
    AddProject(m, "Beta", "Second");
    AddProject(m, "Alpha", "First");
    AddProject(m, "Gamma", "Third");
    d.Open();
    AddPage(d, "Alpha", 2, "Setup");
    AddPage(d, "Alpha", 1, "Contents");
    AddPage(d, "Beta", 1, "Overview");
    AddPage(d, "Alpha", 3, "Index");
    AddPage(d, "Gamma", 7, "About");
}

void DbFixture::AddProject(TTable& t, const std::string& app, const std::string& title) {
    t.Append();
    t.FieldByName("Application")->SetAsString(app);
    t.FieldByName("Title")->SetAsString(title);
    t.Post();
}

void DbFixture::AddPage(TTable& t, const std::string& app, int id, const std::string& title) {
    t.Append();
    t.FieldByName("Application")->SetAsString(app);
    t.FieldByName("HelpId")->SetAsInteger(id);
    t.FieldByName("Title")->SetAsString(title);
    t.Post();
}

void DbFixture::UseTable(TTable& t, const std::string& file) {
    t.DatabaseName = "Tavrin";
    t.TableName = file;
}

std::vector<std::string> DbFixture::Column(TDataSet& ds, const std::string& field) {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field)->AsString());
    return out;
}

}  // namespace dbtest
