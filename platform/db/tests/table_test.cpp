#include "db_fixture.h"

using namespace db;
using Strings = std::vector<std::string>;

namespace dbtest {
namespace {

class TableTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        CreateProjectTables();
        pages.DatabaseName = "Tavrin";
        pages.TableName = "TvrnITEM.QVD";
    }
    TTable pages{nullptr};
};

TEST_F(TableTest, BrowsesInPrimaryKeyOrder) {
    pages.Open();
    EXPECT_EQ(Column(pages, "Title"), (Strings{"Contents", "Setup", "Index", "Overview", "About"}));
    EXPECT_TRUE(pages.Eof());
    EXPECT_EQ(pages.RecordCount(), 5);
}

}  // namespace
}  // namespace dbtest
