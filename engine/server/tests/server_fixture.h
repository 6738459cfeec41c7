// An engine with two attached clients and a fresh folder for table tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/server/server_engine.h"
#include "platform/core/streams.h"
#include "tests/support/test_support.h"

namespace qvtest {

inline qv::TqvDataDictionary PeopleDictionary(bool withBlobFile = false) {
    qv::TqvDataDictionary d;
    d.AddField("Id", "", qv::qvftInt32, 10, 0, true);
    d.AddField("Name", "", qv::qvftShortString, 20, 0, false);
    if (withBlobFile) d.AddFile("", "QVB", 4096, 2);
    return d;
}

class ServerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kClientA = 11, kClientB = 22;

    void SetUp() override {
        std::uint32_t hash;
        ASSERT_EQ(engine.ClientAdd(kClientA, "A", "", hash), 0);
        ASSERT_EQ(engine.ClientAdd(kClientB, "B", "", hash), 0);
    }

    std::string Dir() const { return dir.path().string(); }

    std::uint32_t OpenDb(std::uint32_t client, bool writable = true, bool shared = true) {
        std::uint32_t id = 0;
        EXPECT_EQ(engine.DatabaseOpenNoAlias(client, Dir(), writable, shared, id), 0);
        return id;
    }

    void Build(std::uint32_t db, const std::string& name, bool withBlobFile = false) {
        ASSERT_EQ(engine.BuildTable(db, false, PeopleDictionary(withBlobFile), 0, name), 0);
    }

    qv::DBIResult Open(std::uint32_t db, const std::string& name, std::uint32_t& cursor, bool writable = true,
                       bool shared = true, const std::string& index = "", std::uint32_t indexNo = 0) {
        return engine.OpenTable(db, name, index, indexNo, writable, shared, 0, nullptr, cursor);
    }

    testsupport::TempDir dir;
    qv::TqvServerEngine engine;
};

}  // namespace qvtest
