#include "project/table_repair.h"
#include "editor_test_support.h"

#include "platform/core/files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(TableRepair, TheCopyTakesTheFirstFreeName) {
    edtest::ProgramFolder folder;
    struct Case {
        std::vector<std::string> present;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "TvrnITEM-damaged.QVD"},
        {{"TvrnITEM-damaged.QVD"}, "TvrnITEM-damaged-2.QVD"},
        {{"tvrnitem-DAMAGED.qvd", "TvrnITEM-damaged-2.QVD"}, "TvrnITEM-damaged-3.QVD"},
    };
    for (const Case& c : cases) {
        for (const std::string& p : c.present) testsupport::WriteFileBytes(folder.Path(p), "old copy");
        EXPECT_EQ(editor::DamagedCopyName(folder.dir, "TvrnITEM.QVD"), c.expected);
        for (const std::string& p : c.present) std::filesystem::remove(folder.Path(p));
    }
}

// A rebuild that cannot run (its temporary copy cannot be made: a folder
// stands where the file would go) leaves the table as it was, no copy of the
// damaged file behind, and says why.
TEST(TableRepair, AFailedRebuildLeavesTheTableAndNoCopy) {
    edtest::ProgramFolder folder;
    const std::string before = testsupport::ReadFileBytes(folder.Path("TvrnITEM.QVD"));
    std::filesystem::create_directories(folder.Path("_PACK1.QVD"));
    std::string why;
    try {
        editor::RepairTable(folder.dir, "TvrnITEM.QVD");
    } catch (const std::exception& e) {
        why = e.what();
    }
    EXPECT_NE(why, "") << "the rebuild ran";
    EXPECT_EQ(why.find("could not be copied"), std::string::npos) << why;
    EXPECT_FALSE(plat::FileExists(folder.Path("TvrnITEM-damaged.QVD")));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path("TvrnITEM.QVD")), before);
}

}  // namespace
