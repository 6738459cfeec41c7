#include "engine/storage/blobs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/qv_exceptions.h"
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

std::string Pattern(std::size_t n, int seed = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed) % 251);
    return s;
}

struct BlobTable : ::testing::Test {
    testsupport::TempDir dir;
    std::string path = (dir / "B.QVD").string();
    Table t{path, 10, {}};
    TbtdFileInfo* f() { return t.f.get(); }
    void SetUp() override { t.Begin(); }
    void TearDown() override {
        if (t.bm.HasTransaction(t.tr)) t.Commit();
    }
    std::uint32_t New() {
        std::uint32_t nr;
        AddBLOB(f(), nr);
        return nr;
    }
    void Write(std::uint32_t nr, std::uint32_t offset, const std::string& s) {
        QVTblWriteBLOB(f(), nr, offset, static_cast<std::int64_t>(s.size()), s.data());
    }
    std::string Read(std::uint32_t nr, std::int64_t offset, std::int64_t length) {
        std::string buf(static_cast<std::size_t>(length), '\0');
        std::uint32_t n = 0;
        int error = 0;
        QVTblReadBLOB(f(), nr, offset, length, buf.data(), n, error);
        return buf.substr(0, n);
    }
    std::uint32_t Segments(std::uint32_t nr) {
        TqvAccessScope access(f());
        return GetU32(GetBlock(f(), nr >> 12, false) + (nr & 4095) + bdesc::kSegments);
    }
    std::uint32_t FreeBlocks() {
        TqvAccessScope access(f());
        return GetU32(GetHeaderBlock(f(), false) + hdr::kFreeCount);
    }
};

TEST_F(BlobTable, DescriptorAndSegmentBlocksAreByteExact) {
    std::uint32_t nr = New();
    std::string data = Pattern(300);
    Write(nr, 0, data);
    t.Commit();
    std::string file = testsupport::ReadFileBytes(path);
    ASSERT_EQ(file.size(), 4u * 4096);
    // Block 2 (after the index header in block 1) holds (4096 - 32) div 272
    // = 14 descriptors; the first is BLOB (2 << 12) + 32 = 8224.
    EXPECT_EQ(nr, 8224u);
    std::string want = "QVBH" + Words({N1, 2, 0, N1, N1, 0, 0});
    // Live: link -1, length 300, one segment (300 >= 257), first segment at
    // block 3: (3 << 12) + 32 = 12320, then bytes 0..255.
    want += Words({N1, 300, 1, 12320}) + data.substr(0, 256);
    // Free descriptors chain upwards (8224 + 272 k); the last one ends with
    // -1 and, like every free one, carries segment count 0xFFFFFFFE.
    for (std::uint32_t k = 1; k < 14; ++k)
        want += Words({k + 1 < 14 ? 8224 + 272 * (k + 1) : N1, 0, 0xFFFFFFFEu, N1}) + std::string(256, '\0');
    want += std::string(4096 - want.size(), '\0');
    EXPECT_EQ(file.substr(2 * 4096, 4096), want);
    // Segment block 3: kind 1, no next segment, owner 8224, then bytes
    // 256..299 of the BLOB at +32.
    std::string seg = "QVBH" + Words({N1, 3, 1, N1, 8224, 0, 0}) + data.substr(256);
    seg += std::string(4096 - seg.size(), '\0');
    EXPECT_EQ(file.substr(3 * 4096, 4096), seg);
    // Header: one BLOB, the free-descriptor chain starts at the second one.
    EXPECT_EQ(file.substr(hdr::kBlobCount, 8), Words({1, 8224 + 272}));
}

TEST_F(BlobTable, SegmentCountsAtTheBoundaries) {
    struct Case {
        std::uint32_t length, segments;
    } cases[] = {{0, 0}, {256, 0}, {257, 1}, {256 + 4064, 1}, {256 + 4064 + 1, 2}, {256 + 3 * 4064, 3}};
    for (const Case& c : cases) {
        std::uint32_t nr = New();
        std::string data = Pattern(c.length, static_cast<int>(c.length));
        Write(nr, 0, data);
        EXPECT_EQ(Segments(nr), c.segments) << c.length;
        EXPECT_EQ(QvBLOBSegmentsFor(c.length, 4096), c.segments) << c.length;
        EXPECT_EQ(Read(nr, 0, c.length + 5), data) << c.length;
    }
}

TEST_F(BlobTable, ReadsAndWritesAcrossSegmentEdges) {
    std::uint32_t nr = New();
    std::string model = Pattern(9000);
    Write(nr, 0, model);
    // Overwrite a range that starts inline and ends in the third segment,
    // then append at exactly the length.
    std::string patch = Pattern(8500, 7);
    Write(nr, 200, patch);
    model.replace(200, patch.size(), patch);
    Write(nr, static_cast<std::uint32_t>(model.size()), "tail");
    model += "tail";
    for (std::uint32_t offset : {0u, 255u, 256u, 4319u, 4320u, 8383u, 8384u, 9003u}) {
        for (std::uint32_t length : {1u, 2u, 4065u, 10000u})
            EXPECT_EQ(Read(nr, offset, length), model.substr(offset, length)) << offset << " " << length;
    }
    EXPECT_EQ(Read(nr, 9004, 10), "");  // at the end: nothing, no error
    EXPECT_EQ(Read(nr, 20000, 10), "");
    int error;
    EXPECT_EQ(GetBLOBLength(f(), nr, error), 9004u);
}

TEST_F(BlobTable, ParameterAndStateErrors) {
    std::uint32_t nr = New();
    Write(nr, 0, Pattern(100));
    char buf[16] = {};
    std::uint32_t n;
    int error;
    struct Case {
        const char* what;
        std::function<void()> call;
        int error;
    } cases[] = {
        {"write past the length", [&] { QVTblWriteBLOB(f(), nr, 101, 1, buf); }, 59},
        {"negative offset", [&] { QVTblWriteBLOB(f(), nr, -1, 1, buf); }, 114},
        {"negative length", [&] { QVTblReadBLOB(f(), nr, 0, -1, buf, n, error); }, 114},
        {"offset past the limit", [&] { QVTblReadBLOB(f(), nr, 16777217, 1, buf, n, error); }, 114},
        // Each within the limit, their sum beyond it: refused, not wrapped.
        {"sum past the limit", [&] { QVTblWriteBLOB(f(), nr, 100, 16777216, buf); }, 114},
        {"sum wraps 32 bits", [&] { QVTblWriteBLOB(f(), nr, 100, 0xFFFFFFF0ll, buf); }, 114},
        {"truncate longer", [&] { QVTblTruncateBLOB(f(), nr, 101); }, 58},
        {"truncate negative", [&] { QVTblTruncateBLOB(f(), nr, -5); }, 114},
        {"bad number", [&] { QVTblReadBLOB(f(), nr + 1, 0, 1, buf, n, error); }, 55},
        {"header block", [&] { FreeBLOB(f(), 32); }, 49},
        {"index header block", [&] { FreeBLOB(f(), (1u << 12) + 32); }, 56},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.call), c.error) << c.what;
    // The refused write changed nothing.
    EXPECT_EQ(GetBLOBLength(f(), nr, error), 100u);
    EXPECT_EQ(Read(nr, 0, 100), Pattern(100));
}

TEST_F(BlobTable, FreedBlobsAreRefusedAndNeverShared) {
    // The last descriptor of a block ends the free chain with -1, the same
    // link a live one has; its freed mark must still refuse it.
    std::vector<std::uint32_t> nrs;
    for (int i = 0; i < 14; ++i) nrs.push_back(New());
    const std::uint32_t last = nrs.back();
    FreeBLOB(f(), last);
    {
        TqvAccessScope access(f());
        EXPECT_EQ(GetU32(GetBlock(f(), last >> 12, false) + (last & 4095) + bdesc::kLink), N1);
    }
    char buf[4] = {};
    std::uint32_t n;
    int error;
    EXPECT_EQ(ErrorOf([&] { QVTblReadBLOB(f(), last, 0, 1, buf, n, error); }), 54);
    EXPECT_EQ(ErrorOf([&] { QVTblWriteBLOB(f(), last, 0, 1, buf); }), 54);
    EXPECT_EQ(ErrorOf([&] { FreeBLOB(f(), last); }), 54);  // no double free
    // Two new BLOBs get two descriptors: the freed one, then a new block's.
    std::uint32_t a = New(), b = New();
    EXPECT_EQ(a, last);
    EXPECT_NE(b, a);
    Write(a, 0, "first");
    Write(b, 0, "second");
    EXPECT_EQ(Read(a, 0, 10), "first");
    EXPECT_EQ(Read(b, 0, 10), "second");
}

TEST_F(BlobTable, TruncateFreesSegmentsAndFreeReusesTheDescriptor) {
    std::uint32_t nr = New(), other = New();
    Write(nr, 0, Pattern(10000));  // 3 segments
    const std::uint32_t freeBefore = FreeBlocks();
    QVTblTruncateBLOB(f(), nr, 5000);  // 2 segments
    EXPECT_EQ(FreeBlocks(), freeBefore + 1);
    EXPECT_EQ(Read(nr, 0, 6000), Pattern(5000));
    QVTblTruncateBLOB(f(), nr, 0);
    EXPECT_EQ(FreeBlocks(), freeBefore + 3);
    EXPECT_EQ(Segments(nr), 0u);
    int error;
    EXPECT_EQ(GetBLOBLength(f(), nr, error), 0u);  // still live
    Write(other, 0, "x");
    EXPECT_FALSE(FreeBLOBIfEmpty(f(), other));
    EXPECT_TRUE(FreeBLOBIfEmpty(f(), nr));
    {
        TqvAccessScope access(f());
        EXPECT_EQ(GetU32(GetHeaderBlock(f(), false) + hdr::kFirstFreeBlob), nr);
    }
    EXPECT_EQ(New(), nr);
}

TEST_F(BlobTable, FileBlobsReadTheirFileAndRefuseWrites) {
    std::string name = (dir / "outside.bin").string();
    testsupport::WriteFileBytes(name, "0123456789");
    std::uint32_t nr;
    AddFileBLOB(f(), name, nr);
    std::string got;
    ASSERT_TRUE(GetFileBLOBName(f(), nr, got));
    EXPECT_EQ(got, name);
    int error;
    EXPECT_EQ(GetBLOBLength(f(), nr, error), 10u);
    EXPECT_EQ(Read(nr, 3, 4), "3456");
    char c = 'x';
    EXPECT_EQ(ErrorOf([&] { QVTblWriteBLOB(f(), nr, 0, 1, &c); }), 60);
    // Truncating makes it an empty ordinary BLOB, whatever the length asked.
    QVTblTruncateBLOB(f(), nr, 7);
    EXPECT_FALSE(GetFileBLOBName(f(), nr, got));
    EXPECT_EQ(GetBLOBLength(f(), nr, error), 0u);
    Write(nr, 0, "now ordinary");
    EXPECT_EQ(Read(nr, 0, 50), "now ordinary");
}

TEST_F(BlobTable, CrossedOrLoopingSegmentChainsGiveErrors) {
    std::uint32_t a = New(), b = New();
    Write(a, 0, Pattern(5000));
    Write(b, 0, Pattern(5000));
    std::uint32_t segA, segB;
    {
        TqvAccessScope access(f());
        segA = GetU32(GetBlock(f(), a >> 12, false) + (a & 4095) + bdesc::kFirstSegment);
        std::uint8_t* d = GetBlock(f(), b >> 12, true) + (b & 4095);
        segB = GetU32(d + bdesc::kFirstSegment);
        PutU32(d + bdesc::kFirstSegment, segA);  // b's chain now runs into a's
    }
    EXPECT_EQ(ErrorOf([&] { Read(b, 300, 10); }), 57);
    EXPECT_EQ(ErrorOf([&] { FreeBLOB(f(), b); }), 57);
    {
        TqvAccessScope access(f());
        std::uint8_t* d = GetBlock(f(), b >> 12, true) + (b & 4095);
        PutU32(d + bdesc::kFirstSegment, segB + 1);  // not at offset 32
    }
    EXPECT_EQ(ErrorOf([&] { Read(b, 300, 10); }), 57);
    t.bm.RollbackTransaction(t.tr);
}

}  // namespace
}  // namespace qv
