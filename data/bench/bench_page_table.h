// Shared by the data-aware library's benchmarks: a 20 000-row page table in a
// temporary folder opened as the library's table, and a reporter that keeps
// each benchmark's time so a run can print one ratio.
#pragma once

#include "data/vl_table.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "engine/api/dbi_api.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace vlbench {

constexpr int kRows = 20000;

struct PageTable {
    testsupport::TempDir dir;
    std::shared_ptr<db::TEngineDriver> driver;
    std::string folder;
    std::unique_ptr<vl::TvlTable> table;

    void Make(int rows = kRows) {
        std::filesystem::create_directories(dir.path() / "home");
        plat::SetDataHome((dir.path() / "home").string());
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        folder = dir.path().string() + "/";
        db::TTable t(nullptr);
        t.DatabaseName = folder;
        t.TableName = "Pages.QVD";
        t.FieldDefs().Add("Application", db::ftString, 30, true);
        t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
        t.FieldDefs().Add("Title", db::ftString, 60);
        t.FieldDefs().Add("TopicPopup", db::ftString, 1);
        t.IndexDefs().Add("", "Application;HelpId", db::ixPrimary);
        t.CreateTable();
        t.Open();
        // One transaction for the fill: row by row, each post would wait for its own syncs.
        std::uint32_t tr = 0;
        const bool inTransaction = qv::DbiBeginTran(t.DBHandle(), 0, tr) == 0;
        for (int i = 1; i <= rows; ++i) {
            t.Append();
            t.FieldByName("Application")->SetAsString("Demo");
            t.FieldByName("HelpId")->SetAsInteger(i);
            t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
            t.FieldByName("TopicPopup")->SetAsString(i % 3 == 1 ? "T" : "P");
            t.Post();
        }
        if (inTransaction && qv::DbiEndTran(t.DBHandle(), tr, 0) != 0)
            throw std::runtime_error("the bench's page table could not be committed");
        t.Close();
        table = std::make_unique<vl::TvlTable>(nullptr);
        table->DatabaseName = folder;
        table->SetTableName("Pages.QVD");
        table->Open();
    }

    ~PageTable() {
        table.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.benchmark_name();
            ms[name.substr(0, name.find('/'))] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace vlbench
