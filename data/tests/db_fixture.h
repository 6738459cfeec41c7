// Shared set-up of the dataset tests: a fresh in-memory store behind the
// default session, a master table of projects and a detail table of pages.
#pragma once

#include "memory_store.h"
#include "data/tables.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dbtest {

class DbFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Projects (Application primary, Title) and pages (Application;HelpId
    // primary, Title, Body memo) with a few rows each.
    void CreateProjectTables();
    void AddProject(db::TTable& t, const std::string& app, const std::string& title);
    void AddPage(db::TTable& t, const std::string& app, int id, const std::string& title);
    // Points a table at one of those tables in the fixture's database.
    static void UseTable(db::TTable& t, const std::string& file);
    // The values of one field over the visible rows, from the first.
    static std::vector<std::string> Column(db::TDataSet& ds, const std::string& field);

    std::shared_ptr<MemoryDriver> driver_;
    std::unique_ptr<db::TComponent> owner_;
};

}  // namespace dbtest
