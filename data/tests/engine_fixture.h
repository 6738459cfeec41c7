// Real engine tables in a temporary folder for the library's datasets: a
// page table of numbered rows, and every box (the engine's and the
// library's) going to a scripted dialog service.
#pragma once

#include "data/vl_table.h"
#include "data/engine_driver.h"
#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vltest {

class EngineTables : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "Pages.QVD": Application, HelpId (1..rows, primary with Application),
    // Title ("Page n"), TopicPopup ("T" when n % 3 == 1, else "P"), Body
    // (memo), Cost (BCD, 2 places); `pages` is bound to it, closed.
    void MakePageTable(int rows);
    // The HelpIds of the rows the table shows, from its first.
    std::vector<int> ShownIds();
    std::string Folder() const { return folder_; }

    testsupport::TempDir dir_;
    gui::ScriptedDialogService dialogs;
    std::shared_ptr<db::TEngineDriver> driver_;
    std::string folder_;
    std::unique_ptr<vl::TvlTable> pages;
};

}  // namespace vltest
