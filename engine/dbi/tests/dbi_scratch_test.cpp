// Scratch folders: a table created, filled and committed in one makes no
// fsync at all, yet reads back whole; the same work elsewhere, or after the
// folder is no longer scratch, is synced as always.
#include "engine/dbi/tests/api_fixture.h"

#include <filesystem>

#include "engine/api/dbi_test_hooks.h"

namespace apitest {
namespace {

class ScratchTest : public ApiTest {
protected:
    std::string Sub(const char* name) {
        std::filesystem::create_directories(dir / name);
        return (dir / name).string() + "/";
    }
    void OpenDbIn(const std::string& folder) {
        ASSERT_EQ(DbiOpenDatabase(folder.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), 0);
    }
    // Creates the pages table and inserts ids 1..3 in one transaction.
    void FillInTransaction() {
        CreatePages();
        hDBICur cur = OpenPages();
        std::uint32_t tr = 0;
        ASSERT_EQ(DbiBeginTran(db, 0, tr), 0);
        for (int id : {1, 2, 3}) Insert(cur, id, "Page " + std::to_string(id), std::string(3000, 'x'));
        ASSERT_EQ(DbiEndTran(db, tr, 0), 0);
        ASSERT_EQ(DbiCloseCursor(cur), 0);
    }
    std::vector<std::int32_t> Ids() {
        hDBICur cur = OpenPages();
        std::vector<std::int32_t> ids = Walk(cur, true);
        EXPECT_EQ(DbiCloseCursor(cur), 0);
        return ids;
    }
};

TEST_F(ScratchTest, ScratchFolderWorkMakesNoSyncAndReadsBack) {
    struct Case {
        const char* folder;
        bool scratch;
    } cases[] = {{"durable", false}, {"scratch", true}};
    for (const Case& c : cases) {
        const std::string folder = Sub(c.folder);
        if (c.scratch) {
            ASSERT_EQ(DbiSetScratchFolder(folder.c_str(), true), 0);
        }
        long disk = 0, counted = 0;
        {
            DbiSyncCounter counter;
            OpenDbIn(folder);
            FillInTransaction();
            disk = counter.DiskSyncs();
            counted = counter.Syncs();
        }
        EXPECT_EQ(Ids(), (std::vector<std::int32_t>{1, 2, 3})) << c.folder;
        ASSERT_EQ(DbiCloseDatabase(db), 0);
        if (c.scratch) {
            EXPECT_EQ(disk, 0) << c.folder;
            EXPECT_EQ(counted, 0) << c.folder;
            ASSERT_EQ(DbiSetScratchFolder(folder.c_str(), false), 0);
        } else {
            EXPECT_GT(disk, 0) << c.folder;
            EXPECT_GT(counted, 0) << c.folder;
        }
    }
}

// Only the folder named is scratch: neither its parent nor a subfolder.
TEST_F(ScratchTest, OnlyTheNamedFolderIsScratch) {
    const std::string parent = Sub("outer");
    const std::string inner = Sub("outer/inner");
    ASSERT_EQ(DbiSetScratchFolder((dir / "outer").string().c_str(), true), 0);  // no trailing separator
    for (const std::string& folder : {inner}) {
        DbiSyncCounter counter;
        OpenDbIn(folder);
        FillInTransaction();
        EXPECT_GT(counter.DiskSyncs(), 0);
        ASSERT_EQ(DbiCloseDatabase(db), 0);
    }
    {
        DbiSyncCounter counter;
        OpenDbIn(parent);
        FillInTransaction();
        EXPECT_EQ(counter.DiskSyncs(), 0);
        ASSERT_EQ(DbiCloseDatabase(db), 0);
    }
    ASSERT_EQ(DbiSetScratchFolder(parent.c_str(), false), 0);
}

// Handles opened while the folder was scratch are synced again once it is not.
TEST_F(ScratchTest, TurningScratchOffSyncsOpenTablesAgain) {
    const std::string folder = Sub("work");
    ASSERT_EQ(DbiSetScratchFolder(folder.c_str(), true), 0);
    OpenDbIn(folder);
    CreatePages();
    hDBICur cur = OpenPages();
    ASSERT_EQ(DbiSetScratchFolder(folder.c_str(), false), 0);
    DbiSyncCounter counter;
    std::uint32_t tr = 0;
    ASSERT_EQ(DbiBeginTran(db, 0, tr), 0);
    Insert(cur, 7, "Seven");
    ASSERT_EQ(DbiEndTran(db, tr, 0), 0);
    EXPECT_GT(counter.DiskSyncs(), 0);
    EXPECT_GT(counter.Syncs(), 0);
    ASSERT_EQ(DbiCloseCursor(cur), 0);
}

TEST_F(ScratchTest, AFolderIsRequired) {
    EXPECT_NE(DbiSetScratchFolder(nullptr, true), 0);
    EXPECT_NE(DbiSetScratchFolder("", true), 0);
}

}  // namespace
}  // namespace apitest
