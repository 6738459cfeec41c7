#include "engine/storage/records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/tests/storage_checker.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::Table;
using testing::Words;
constexpr std::uint32_t N1 = 0xFFFFFFFFu;

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EqvException& e) {
        return e.ErrorNumber();
    }
    return -1;
}

std::string Rec(char c) { return std::string(10, c); }

struct RecordTable : ::testing::Test {
    testsupport::TempDir dir;
    std::string path = (dir / "R.QVD").string();
    Table t{path, 10, {}};
    TbtdFileInfo* f() { return t.f.get(); }
    std::uint32_t Add(char c) {
        std::uint32_t ref = 0;
        AddRecord(f(), ref, Rec(c).data());
        return ref;
    }
};

TEST_F(RecordTable, DataBlockWithRecordsAndADeletedSlotIsByteExact) {
    t.Begin();
    std::uint32_t a = Add('A'), b = Add('B'), c = Add('C');
    DeleteRecord(f(), b);
    t.Commit();
    // Block 0 header, block 1 the index header of the test table, block 2
    // the first data block: references are (2 << 12) + 32 + k * 14.
    EXPECT_EQ(a, 8192u + 32);
    EXPECT_EQ(b, 8192u + 46);
    EXPECT_EQ(c, 8192u + 60);
    std::string file = testsupport::ReadFileBytes(path);
    ASSERT_EQ(file.size(), 3u * 4096);
    // Head: "QVDH", -1, own block 2, 290 records per block ((4096 - 32) div
    // 14), record length 10, no next and no previous block, 0.
    std::string want = "QVDH" + Words({N1, 2, 290, 10, N1, N1, 0});
    // Slot 0 'A' live; slot 1 deleted: its link is the chain head it
    // replaced (slot 3, 8192 + 32 + 3 * 14 = 8266); slot 2 'C' live; slot k
    // >= 3 links to slot k + 1, the last slot (289) ends the chain with -1.
    want += Words({0}) + Rec('A') + Words({8266}) + Rec('B') + Words({0}) + Rec('C');
    for (std::uint32_t k = 3; k < 290; ++k)
        want += Words({k + 1 < 290 ? 8192 + 32 + (k + 1) * 14 : N1}) + std::string(10, '\0');
    want += std::string(4096 - want.size(), '\0');  // 4096 - 32 - 290 * 14 = 4 spare bytes
    EXPECT_EQ(file.substr(2 * 4096), want);
    // Header: 2 records, 288 deleted slots headed by slot 1, data block 2
    // first and last.
    const std::string h = file.substr(0, 4096);
    EXPECT_EQ(h.substr(hdr::kRecordCount, 12), Words({2, 288, 8192 + 46}));
    EXPECT_EQ(h.substr(hdr::kFirstDataBlock, 8), Words({2, 2}));
}

TEST_F(RecordTable, ReuseOrderAndNextRecordAcrossBlocks) {
    t.Begin();
    std::vector<std::uint32_t> refs;
    for (int i = 0; i < 300; ++i) refs.push_back(Add(static_cast<char>('a' + i % 26)));
    // Slot 289 fills block 2; the next record starts block 3 (linked after 2).
    EXPECT_EQ(refs[289] >> 12, 2u);
    EXPECT_EQ(refs[290], (3u << 12) + 32);
    DeleteRecord(f(), refs[5]);
    DeleteRecord(f(), refs[7]);
    EXPECT_EQ(Add('x'), refs[7]);  // last freed, first reused
    EXPECT_EQ(Add('y'), refs[5]);
    // Only block 3 holds records: the walk skips block 2 entirely.
    for (int i = 0; i < 290; ++i) DeleteRecord(f(), refs[i]);
    std::string buf(10, '\0');
    std::uint32_t next;
    NextRecord(f(), 0, next, buf.data());
    EXPECT_EQ(next, refs[290]);
    TqvTableInfo info;
    GetTableInfo(f(), info);
    EXPECT_EQ(info.recordCount, 10u);
    EXPECT_EQ(info.recordsPerBlock, 290u);
    t.Commit();
}

TEST_F(RecordTable, BadReferencesAreRefused) {
    t.Begin();
    std::uint32_t a = Add('A');
    Add('B');
    DeleteRecord(f(), a);
    std::string buf(10, '\0');
    struct Case {
        const char* what;
        std::uint32_t ref;
        int error;
    } cases[] = {
        {"deleted", a, 51},
        {"offset 33", (2u << 12) + 33, 52},
        {"inside the head", (2u << 12) + 8, 52},
        {"header block", 32, 49},
        {"past the file", (9u << 12) + 32, 49},
        {"index header block", (1u << 12) + 32, 53},
        {"zero", 0, 52},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { ReadRecord(f(), c.ref, buf.data()); }), c.error) << c.what;
        EXPECT_EQ(ErrorOf([&] { DeleteRecord(f(), c.ref); }), c.error) << c.what;
        EXPECT_EQ(ErrorOf([&] { UpdateRecord(f(), c.ref, buf.data()); }), c.error) << c.what;
        EXPECT_EQ(ErrorOf([&] { TqvRecordReader(f()).Read(c.ref, buf.data()); }), c.error) << c.what;
    }
    t.Commit();
}

// The batch reader checks references its own way: at every offset of a
// data block, and past it, it answers as ReadRecord does, bytes included.
TEST_F(RecordTable, TheBatchReaderRefusesAndReadsAsReadRecord) {
    t.Begin();
    const std::uint32_t a = Add('A');
    Add('B');
    Add('C');
    DeleteRecord(f(), a);
    t.Commit();
    TqvAccessScope access(f());
    TqvRecordReader reader(f());
    for (std::uint32_t ref = (2u << 12) - 8; ref < (3u << 12) + 8; ++ref) {
        std::string want(10, '\0'), got(10, '\0');
        const int expected = ErrorOf([&] { ReadRecord(f(), ref, want.data()); });
        EXPECT_EQ(ErrorOf([&] { reader.Read(ref, got.data()); }), expected) << ref;
        EXPECT_EQ(got, want) << ref;
    }
}

TEST_F(RecordTable, EmptyTableAndAutoIncrement) {
    t.Begin();
    std::string buf(10, '\0');
    std::uint32_t next = 5;
    NextRecord(f(), 0, next, buf.data());
    EXPECT_EQ(next, 0u);
    EXPECT_EQ(NextAutoIncValue(f()), 1u);
    SetAutoIncValue(f(), 100);
    SetAutoIncValue(f(), 50);  // never lowers the counter
    EXPECT_EQ(NextAutoIncValue(f()), 101u);
    SetAutoIncValue(f(), 0x90000000u);  // compared unsigned
    EXPECT_EQ(NextAutoIncValue(f()), 0x90000001u);
    t.Commit();
}

TEST_F(RecordTable, CorruptChainsAndHeaderGiveErrors) {
    t.Begin();
    std::uint32_t a = Add('A');
    t.Commit();
    t.Begin();
    {
        TqvAccessScope access(f());
        // The deleted chain's head now points at a live record.
        PutU32(GetHeaderBlock(f(), true) + hdr::kFirstDeleted, a);
    }
    EXPECT_EQ(ErrorOf([&] { Add('B'); }), 53);
    {
        TqvAccessScope access(f());
        PutU32(GetHeaderBlock(f(), true) + hdr::kSlotLength, 4000);
    }
    std::string buf(10, '\0');
    EXPECT_EQ(ErrorOf([&] { ReadRecord(f(), a, buf.data()); }), 48);
    t.bm.RollbackTransaction(t.tr);
}

}  // namespace
}  // namespace qv
