#include "db_fixture.h"

using namespace db;
using Strings = std::vector<std::string>;

namespace dbtest {
namespace {

// Records what a link hears.
class RecordingLink : public TDataLink {
public:
    Strings log;
protected:
    void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { log.push_back("changed"); }
    void DataSetScrolled(int d) override { log.push_back("scrolled " + std::to_string(d)); }
    void EditingChanged() override { log.push_back(Editing() ? "editing" : "browsing"); }
    void RecordChanged(TField* f) override { log.push_back("record " + (f ? f->FieldName : std::string("*"))); }
    void UpdateData() override { log.push_back("update"); }
};

class LinksTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        CreateProjectTables();
        pages.DatabaseName = "Tavrin";
        pages.TableName = "TvrnITEM.QVD";
        src.SetDataSet(&pages);
    }
    TTable pages{nullptr};
    TDataSource src{nullptr};
};

TEST_F(LinksTest, LinkHearsStateAndDataEvents) {
    RecordingLink link;
    link.SetDataSource(&src);
    pages.Open();
    pages.Next();
    pages.Edit();
    pages.FieldByName("Title")->SetAsString("x");
    pages.Post();
    pages.Close();
    EXPECT_EQ(link.log, (Strings{"active", "scrolled 1", "editing", "record *", "record Title", "update",
                                 "browsing", "changed", "inactive"}));
}

TEST_F(LinksTest, WindowHoldsTheRowsAGridShows) {
    RecordingLink grid;
    grid.SetBufferCount(3);
    grid.SetDataSource(&src);
    pages.Open();
    auto visible = [&] {
        Strings out;
        int saved = grid.ActiveRecord();
        for (int i = 0; i < grid.RecordCount(); ++i) {
            grid.SetActiveRecord(i);
            out.push_back(pages.FieldByName("Title")->AsString());
        }
        grid.SetActiveRecord(saved);
        return out;
    };
    EXPECT_EQ(visible(), (Strings{"Contents", "Setup", "Index"}));
    EXPECT_EQ(grid.ActiveRecord(), 0);
    pages.Next();
    pages.Next();
    EXPECT_EQ(grid.ActiveRecord(), 2);
    pages.Next();  // scrolls the window by one
    EXPECT_EQ(visible(), (Strings{"Setup", "Index", "Overview"}));
    EXPECT_EQ(grid.ActiveRecord(), 2);
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Overview");
    pages.Last();
    EXPECT_EQ(visible(), (Strings{"Index", "Overview", "About"}));
    pages.First();
    pages.Insert();  // the new row opens at the active position
    EXPECT_EQ(visible(), (Strings{"", "Contents", "Setup"}));
    pages.Cancel();
    EXPECT_EQ(visible(), (Strings{"Contents", "Setup", "Index"}));
    grid.SetBufferCount(10);
    EXPECT_EQ(grid.RecordCount(), 5);
}

TEST_F(LinksTest, DisabledControlsHearOneChangeAtTheEnd) {
    RecordingLink link;
    link.SetDataSource(&src);
    pages.Open();
    link.log.clear();
    pages.DisableControls();
    pages.DisableControls();
    for (pages.First(); !pages.Eof(); pages.Next()) {
    }
    pages.EnableControls();
    EXPECT_TRUE(link.log.empty());
    pages.EnableControls();
    EXPECT_EQ(link.log, (Strings{"changed"}));
    EXPECT_FALSE(pages.ControlsDisabled());
}

TEST_F(LinksTest, FieldLinkFollowsItsFieldAndWritesBack) {
    TFieldDataLink fl;
    std::string shown;
    std::string typed;
    int editing = 0;
    fl.OnDataChange = [&] { shown = fl.Field() ? fl.Field()->DisplayText() : "<none>"; };
    fl.OnEditingChange = [&] { editing += fl.Editing() ? 1 : 0; };
    fl.OnUpdateData = [&] { fl.Field()->SetAsString(typed); };
    fl.SetFieldName("title");
    fl.SetDataSource(&src);
    EXPECT_EQ(fl.Field(), nullptr);
    pages.Open();
    EXPECT_EQ(fl.Field(), pages.FieldByName("Title"));
    EXPECT_EQ(shown, "Contents");
    pages.Next();
    EXPECT_EQ(shown, "Setup");
    // The control's user types: the link puts the dataset in edit state and
    // hands the text over when the record is posted.
    EXPECT_TRUE(fl.Edit());
    EXPECT_EQ(editing, 1);
    typed = "Installing";
    fl.Modified();
    pages.Post();
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "Installing");
    EXPECT_EQ(shown, "Installing");
    // A change of another field does not repaint this control.
    pages.Edit();
    shown = "untouched";
    pages.FieldByName("HelpId")->SetAsInteger(20);
    EXPECT_EQ(shown, "untouched");
    pages.Cancel();
    src.AutoEdit = false;
    EXPECT_FALSE(fl.Edit());
    pages.Close();
    EXPECT_EQ(shown, "<none>");
    EXPECT_EQ(fl.Field(), nullptr);
}

// A focus request reaches the links of that field only, and stops at the
// first whose control takes the focus.
TEST_F(LinksTest, FocusRequestGoesToTheFirstControlThatTakesIt) {
    struct Answer {
        const char* field;
        bool takes;
    };
    struct Case {
        std::vector<Answer> links;
        Strings asked;  // the links, by index, asked in order
    };
    const Case cases[] = {
        {{{"HelpId", true}, {"HelpId", true}}, {"0"}},
        {{{"HelpId", false}, {"HelpId", true}, {"HelpId", true}}, {"0", "1"}},
        {{{"Title", true}, {"HelpId", false}}, {"1"}},
        {{{"Title", true}}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<TFieldDataLink>> links;
        Strings asked;
        for (std::size_t i = 0; i < c.links.size(); ++i) {
            auto l = std::make_unique<TFieldDataLink>();
            EXPECT_EQ(l->Control(), nullptr);
            l->SetFieldName(c.links[i].field);
            l->SetDataSource(&src);
            bool takes = c.links[i].takes;
            l->OnFocusControl = [&asked, i, takes, &pages = pages](TField* f) {
                EXPECT_EQ(f, pages.FieldByName("HelpId"));
                asked.push_back(std::to_string(i));
                return takes;
            };
            links.push_back(std::move(l));
        }
        pages.Open();
        pages.Append();
        pages.FieldByName("Application")->SetAsString("Alpha");
        // HelpId is required and left empty: Post asks for its control.
        EXPECT_THROW(pages.Post(), EDatabaseError);
        EXPECT_EQ(asked, c.asked);
        pages.Cancel();
        pages.Close();
    }
}

TEST_F(LinksTest, FreeingTheDatasetOrSourceDropsTheLinks) {
    RecordingLink link;
    {
        TDataSource s2(nullptr);
        auto t = std::make_unique<TTable>(nullptr);
        t->DatabaseName = "Tavrin";
        t->TableName = "TvrnMAIN.QVD";
        s2.SetDataSet(t.get());
        link.SetDataSource(&s2);
        t->Open();
        EXPECT_TRUE(link.Active());
        t.reset();
        EXPECT_EQ(s2.DataSet(), nullptr);
        EXPECT_FALSE(link.Active());
    }
    EXPECT_EQ(link.DataSource(), nullptr);
}

TEST_F(LinksTest, DataSourceEvents) {
    Strings log;
    src.OnDataChange = [&](TDataSource*, TField* f) { log.push_back("data " + (f ? f->FieldName : std::string("*"))); };
    src.OnUpdateData = [&](TDataSource*) { log.push_back("update"); };
    pages.Open();
    log.clear();
    pages.Edit();
    pages.FieldByName("HelpId")->SetAsInteger(30);
    pages.Post();
    EXPECT_EQ(log, (Strings{"data *", "data HelpId", "update", "data *"}));
    src.SetEnabled(false);
    log.clear();
    pages.Next();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(src.State(), dsInactive);
}

}  // namespace
}  // namespace dbtest
