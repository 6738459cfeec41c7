#include "engine/server/server_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

class ServerLogTest : public ::testing::Test {
protected:
    plat::FakeClock clock{1234};
    plat::ScopedClock scope{clock};
    testsupport::TempDir dir;

    void SetUp() override { qv::StartServerLog(dir.path().string()); }
    std::vector<std::string> Read() {
        return Lines(testsupport::ReadFileBytes(dir / "QVSERVER.LOG"));
    }
};

TEST_F(ServerLogTest, StartEmptiesTheFileAndWritesTheStartLine) {
    qv::WriteServerLog("stale");
    clock.Advance(10);
    qv::StartServerLog(dir.path().string());
    // The tick right-aligned in 12 columns, then the text.
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "QVSERVER.LOG"), "        1244 QV server log started\r\n");
    EXPECT_EQ(qv::ServerLogPath(), (dir / "QVSERVER.LOG").string());
}

TEST_F(ServerLogTest, HeadingsCarryTheTickAndFieldLinesLineUpUnderThem) {
    qv::WriteServerLog("RecordGet");
    qv::WriteServerLog("  ClientID 7");
    qv::WriteServerLog("");
    auto lines = Read();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "        1234 RecordGet");
    EXPECT_EQ(lines[2], "               ClientID 7");  // 13 blanks, then the line's own two
    EXPECT_EQ(lines[3], std::string(13, ' '));
}

TEST_F(ServerLogTest, FiveByteDumpKeepsItsColumns) {
    const std::uint8_t b[5] = {0x41, 0x00, 0x7F, 0x80, 0x7A};
    qv::WriteServerLogHex("  Key", 5, b);
    auto lines = Read();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], std::string(13, ' ') + "  Key (Size: 5)");
    // Columns 1,4,7,10 then 14: an extra blank after each group of four;
    // "[" at 53, the characters from 54, "]" at 70 whatever the count.
    std::string expect = "41 00 7f 80  7a";
    expect.resize(52, ' ');
    expect += "[A.\x7f.z";  // only bytes below 32 and from 128 up become dots
    expect.resize(69, ' ');
    expect += "]";
    EXPECT_EQ(lines[2], std::string(13, ' ') + expect);
    EXPECT_EQ(lines[2].size(), 13u + 70u);
}

TEST_F(ServerLogTest, FullLineUsesAllFourGroups) {
    std::uint8_t b[16];
    for (int i = 0; i < 16; ++i) b[i] = static_cast<std::uint8_t>('a' + i);
    EXPECT_EQ(qv::FormatHexLine(b, 16),
              "61 62 63 64  65 66 67 68  69 6a 6b 6c  6d 6e 6f 70  [abcdefghijklmnop]");
}

TEST_F(ServerLogTest, LargeBuffersAreCutToTheFirstKilobyte) {
    std::vector<std::uint8_t> rec(2000, 0x20);
    qv::WriteServerLogHex("  Record", rec.size(), rec.data());
    auto lines = Read();
    ASSERT_EQ(lines.size(), 1u + 2u + 64u);
    EXPECT_EQ(lines[1], std::string(13, ' ') + "  Record (Size: 2000)");
    EXPECT_EQ(lines[2], std::string(13, ' ') + "(writing first 1K of buffer only)");
}

TEST_F(ServerLogTest, EmptyOrAbsentBuffersSayNil) {
    const std::uint8_t b = 1;
    qv::WriteServerLogHex("  A", 0, &b);
    qv::WriteServerLogHex("  B", 4, nullptr);
    auto lines = Read();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], std::string(13, ' ') + "buffer is nil");
    EXPECT_EQ(lines[3], std::string(13, ' ') + "  B (Size: 4)");
    EXPECT_EQ(lines[4], std::string(13, ' ') + "buffer is nil");
}

TEST(ServerLogFailure, AnUnwritableLogIsIgnored) {
    qv::StartServerLog("/nonexistent-folder-for-log/sub");
    qv::WriteServerLog("heading");
    const std::uint8_t b[3] = {1, 2, 3};
    qv::WriteServerLogHex("  X", 3, b);  // must neither throw nor crash
    EXPECT_EQ(qv::ServerLogPath(), "/nonexistent-folder-for-log/sub/QVSERVER.LOG");
    EXPECT_FALSE(std::filesystem::exists(qv::ServerLogPath()));
}

}  // namespace
