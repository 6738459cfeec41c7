// Several sessions in one process, each with its own in-process server.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dbi/tests/api_fixture.h"
#include "platform/core/clock.h"

namespace {

using namespace apitest;

class SessionsTest : public ApiTest {
protected:
    std::vector<std::int32_t> Ids(hDBIDb database) {
        hDBICur cur = kNilHandle;
        EXPECT_EQ(DbiOpenTable(database, "Pages", nullptr, "HelpIdx", nullptr, 0, 0, 0, 0, false, nullptr, cur), 0);
        if (cur == kNilHandle) return {};
        EXPECT_EQ(DbiSetToBegin(cur), 0);
        std::vector<std::int32_t> ids = Walk(cur, true);
        EXPECT_EQ(DbiCloseCursor(cur), 0);
        return ids;
    }
    void Add(hDBIDb database, std::int32_t id) {
        hDBICur cur = kNilHandle;
        ASSERT_EQ(DbiOpenTable(database, "Pages", nullptr, "HelpIdx", nullptr, 0, 0, 0, 0, false, nullptr, cur), 0);
        Insert(cur, id, "t");
        ASSERT_EQ(DbiCloseCursor(cur), 0);
    }
};

TEST_F(SessionsTest, TwoSessionsEachTalkToTheirOwnServerAndOutliveEachOther) {
    hDBISes first = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(first), 0);
    OpenDb();
    hDBIDb db1 = db;
    CreatePages();
    Add(db1, 1);

    const std::uint32_t started = plat::GetTickCount();
    hDBISes second = kNilHandle;
    ASSERT_EQ(DbiStartSession("Second", second, nullptr), 0);
    EXPECT_LT(plat::GetTickCount() - started, 5000u) << "the new session found its own server at once";
    const std::string other = Folder() + "other/";
    std::filesystem::create_directories(other);
    hDBIDb db2 = kNilHandle;
    ASSERT_EQ(DbiOpenDatabase(other.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db2), 0);
    db = db2;
    CreatePages();
    Add(db2, 2);
    Add(db2, 3);

    // Side by side: each database answers through its own session.
    ASSERT_EQ(DbiSetCurrSession(first), 0);
    EXPECT_EQ(Ids(db1), (std::vector<std::int32_t>{1}));
    ASSERT_EQ(DbiSetCurrSession(second), 0);
    EXPECT_EQ(Ids(db2), (std::vector<std::int32_t>{2, 3}));

    // Closing the older session leaves the newer one working, and the other way round.
    ASSERT_EQ(DbiSetCurrSession(first), 0);
    ASSERT_EQ(DbiCloseDatabase(db1), 0);
    hDBISes closing = first;
    ASSERT_EQ(DbiCloseSession(closing), 0);
    ASSERT_EQ(DbiSetCurrSession(second), 0);
    Add(db2, 4);
    EXPECT_EQ(Ids(db2), (std::vector<std::int32_t>{2, 3, 4}));

    hDBISes third = kNilHandle;
    ASSERT_EQ(DbiStartSession("Third", third, nullptr), 0);
    hDBIDb db3 = kNilHandle;
    ASSERT_EQ(DbiOpenDatabase(Folder().c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db3), 0);
    EXPECT_EQ(Ids(db3), (std::vector<std::int32_t>{1}));
    ASSERT_EQ(DbiCloseSession(third), 0);
    ASSERT_EQ(DbiSetCurrSession(second), 0);
    EXPECT_EQ(Ids(db2), (std::vector<std::int32_t>{2, 3, 4}));
}

}  // namespace
