#include <gtest/gtest.h>

#include "engine/server/rebuild.h"

using namespace qv;

namespace {

TEST(RebuildStatus, PercentStaysExactBelowAndPastTheOverflowPoint) {
    struct Case {
        std::uint32_t read, total, percent;
    } cases[] = {
        {0, 0, 0},
        {5, 0, 0},
        {0, 10, 0},
        {5, 10, 50},
        {10, 10, 100},
        {1, 3, 33},
        {16777215, 16777215, 100},            // last value computed directly
        {20000000, 40000000, 50},             // scaled by 128 from 2^24 on
        {4000000000u, 4000000000u, 100},      // read * 100 would wrap
        {16777216, 100, 16777216},            // more read than counted: no division by zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(TqvSrRebuildStatus::PercentOf(c.read, c.total), c.percent) << c.read << "/" << c.total;
}

TEST(RebuildStatus, RecordCarriesTheCountsFieldByField) {
    TqvSrRebuildStatusList list;
    auto s = list.Add(7, 40);
    s->Update(10, 9, 0);
    std::uint8_t rec[32];
    ASSERT_TRUE(list.Get(s->Id(), rec));
    EXPECT_EQ(GetU32(rec + 8), 40u);
    EXPECT_EQ(GetU32(rec + 12), 10u);
    EXPECT_EQ(GetU32(rec + 16), 9u);
    EXPECT_EQ(GetU32(rec + 20), 25u);
    EXPECT_EQ(GetU32(rec + 24), 0u);
    EXPECT_EQ(rec[28], 0);
    EXPECT_GE(GetU32(rec + 4), GetU32(rec + 0));
}

TEST(RebuildStatus, FinishedStatusIsReadOnceThenGone) {
    TqvSrRebuildStatusList list;
    auto s = list.Add(7, 0);
    std::uint8_t rec[32];
    ASSERT_TRUE(list.Get(s->Id(), rec));  // running: stays
    s->Update(0, 0, 9729);
    list.MarkFinished(s->Id());
    ASSERT_TRUE(list.Get(s->Id(), rec));
    EXPECT_EQ(rec[28], 1);
    EXPECT_EQ(GetU32(rec + 24), 9729u);
    EXPECT_FALSE(list.Get(s->Id(), rec));
    EXPECT_FALSE(list.Get(s->Id(), rec));
}

TEST(RebuildStatus, RemoveClientDropsOnlyThatClientsStatuses) {
    TqvSrRebuildStatusList list;
    auto a1 = list.Add(1, 0), b = list.Add(2, 0), a2 = list.Add(1, 0);
    list.RemoveClient(1);
    std::uint8_t rec[32];
    EXPECT_FALSE(list.Get(a1->Id(), rec));
    EXPECT_FALSE(list.Get(a2->Id(), rec));
    EXPECT_TRUE(list.Get(b->Id(), rec));
    // A worker still holding a removed status may update it safely.
    a1->Update(3, 3, 0);
    EXPECT_EQ(a1->Read(), 3u);
}

TEST(FieldMap, PairsFromStringsAndTheirErrors) {
    TqvDataDictionary src, dst;
    src.AddField("Id", "", qvftInt32, 10, 0, true);
    src.AddField("Name", "", qvftShortString, 20, 0, false);
    dst.AddField("Id", "", qvftInt32, 10, 0, true);
    dst.AddField("Label", "", qvftShortString, 40, 0, false);
    dst.AddField("Extra", "", qvftInt32, 10, 0, false);

    TqvSrFieldMapList m(src, dst);
    ASSERT_EQ(m.AddFromStrings({"Id", "Label=Name"}), 0);
    ASSERT_EQ(m.Count(), 2);
    EXPECT_EQ(m.GetSource(1).name, "Name");
    EXPECT_EQ(m.GetTarget(1).name, "Label");
    EXPECT_EQ(m.GetTarget(1).number, 1u);
    EXPECT_EQ(m.GetTarget(1).offset, dst.FieldOffset(1));
    EXPECT_EQ(m.GetTarget(1).length, dst.FieldLength(1));
    EXPECT_NO_THROW(m.Validate());

    for (const char* bad : {"Nope", "Label=Nope", "Nope=Name", "Extra"}) {
        TqvSrFieldMapList x(src, dst);
        EXPECT_EQ(x.AddFromStrings({bad}), dbi::kInvalidFieldName) << bad;
    }

    // A string cannot be read as an integer.
    TqvSrFieldMapList y(src, dst);
    ASSERT_EQ(y.AddFromStrings({"Extra=Name"}), 0);
    try {
        y.Validate();
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(TqvServerEngine::ExceptionToResult(e), dbi::kIncompatibleFields);
    }

    // No map at all keeps the fields both tables name alike.
    TqvSrFieldMapList z(src, dst);
    ASSERT_EQ(z.AddFromStrings({}), 0);
    ASSERT_EQ(z.Count(), 1);
    EXPECT_EQ(z.GetTarget(0).name, "Id");
}

}  // namespace
