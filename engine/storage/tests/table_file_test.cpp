#include "engine/storage/table_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/tests/storage_test_util.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::OpenFile;
using testing::Words;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

constexpr std::uint32_t N1 = 0xFFFFFFFFu;

std::string Block(const std::string& file, std::uint32_t n, std::uint32_t bs) {
    std::string all = ReadFileBytes(file);
    return all.substr(static_cast<std::size_t>(n) * bs, bs);
}

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EqvException& e) {
        return e.ErrorNumber();
    }
    return -1;
}

TEST(HeaderBlock, NewFileBytesForEveryBlockSize) {
    testsupport::TempDir dir;
    struct Case {
        std::uint32_t bs, log2, perBlock;
    } cases[] = {
        // records per block = (block size - 32) div (10 + 4)
        {4096, 12, 290},   // 4064 / 14 = 290.3
        {8192, 13, 582},   // 8160 / 14 = 582.9
        {16384, 14, 1168}, // 16352 / 14 = 1168
        {32768, 15, 2338}, // 32736 / 14 = 2338.3
    };
    for (const auto& c : cases) {
        std::string path = (dir / ("T" + std::to_string(c.bs) + ".QVD")).string();
        {
            OpenFile t(path);
            t.Create(c.bs);
        }
        std::string bytes = ReadFileBytes(path);
        ASSERT_EQ(bytes.size(), c.bs);
        // The 26 header words in order: signature, reserved -1, own block 0,
        // block size, not encrypted, log2, 1 block, no free blocks, free chain
        // -1, no records, no deleted records, deleted chain -1, record length
        // 10, slot 14, records per block, first/last data block -1, no BLOBs,
        // free BLOB -1, reserved -1, auto-increment 0, 1 index, sequential
        // access 1, index header -1, 3 fields, dictionary -1.
        std::string expected = std::string("QVFH") +
                               Words({N1, 0, c.bs, 0, c.log2, 1, 0, N1, 0, 0, N1, 10, 14, c.perBlock, N1, N1, 0, N1,
                                      N1, 0, 1, 1, N1, 3, N1});
        EXPECT_EQ(bytes.substr(0, 104), expected) << c.bs;
        EXPECT_EQ(bytes.substr(104), std::string(c.bs - 104, '\0')) << c.bs;
    }
}

TEST(FreeChain, FreedBlocksAreReusedLastInFirstOut) {
    testsupport::TempDir dir;
    std::string path = (dir / "F.QVD").string();
    OpenFile t(path);
    t.Create(4096);
    t.Run(2, false, [&] {
        for (int i = 1; i <= 10; ++i) {
            std::uint32_t n;
            std::uint8_t* b = GetNewBlock(t.f.get(), t.Header(true), n);
            EXPECT_EQ(n, static_cast<std::uint32_t>(i));
            std::memcpy(b, "QVDH", 4);
            PutU32(b + 4, N1);
        }
    });
    t.Run(3, false, [&] {
        FreeBlock(t.f.get(), t.Header(true), 5);
        FreeBlock(t.f.get(), t.Header(true), 9);
    });
    // Block 9 heads the chain and links to 5, which ends it.
    EXPECT_EQ(Block(path, 9, 4096).substr(0, 12), "DEAD" + Words({5, 9}));
    EXPECT_EQ(Block(path, 5, 4096).substr(0, 12), "DEAD" + Words({N1, 5}));
    std::string h = Block(path, 0, 4096);
    EXPECT_EQ(h.substr(24, 12), Words({11, 2, 9}));  // block count, free count, first free

    std::vector<std::uint32_t> got;
    t.Run(4, false, [&] {
        for (int i = 0; i < 3; ++i) {
            std::uint32_t n;
            GetNewBlock(t.f.get(), t.Header(true), n);
            got.push_back(n);
        }
    });
    EXPECT_EQ(got, (std::vector<std::uint32_t>{9, 5, 11}));
    h = Block(path, 0, 4096);
    EXPECT_EQ(h.substr(24, 12), Words({12, 0, N1}));
    EXPECT_EQ(ReadFileBytes(path).size(), 12u * 4096);
}

TEST(Streams, ChainAcrossABlockBoundary) {
    testsupport::TempDir dir;
    std::string path = (dir / "S.QVD").string();
    OpenFile t(path);
    t.Create(4096);
    std::string data(4064 + 10, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    std::uint32_t first = 0;
    t.Run(2, false, [&] { WriteStream(t.f.get(), first, data, "DICT", true); });
    EXPECT_EQ(first, 1u);
    // Block 1: head {QVSH, -1, own 1, next 2, DICT, length 4074, first 1, 0}, 4064 bytes.
    std::string b1 = Block(path, 1, 4096);
    EXPECT_EQ(b1.substr(0, 32), "QVSH" + Words({N1, 1, 2}) + "DICT" + Words({4074, 1, 0}));
    EXPECT_EQ(b1.substr(32), data.substr(0, 4064));
    // Block 2: {QVSH, -1, own 2, next -1, DICT, 0, first 1, 0}, the last 10 bytes.
    std::string b2 = Block(path, 2, 4096);
    EXPECT_EQ(b2.substr(0, 32), "QVSH" + Words({N1, 2, N1}) + "DICT" + Words({0, 1, 0}));
    EXPECT_EQ(b2.substr(32, 10), data.substr(4064));
    EXPECT_EQ(ReadStream(t.f.get(), first), data);

    // Rewriting with exactly one block's payload frees the second block.
    std::string one(4064, 'x');
    t.Run(3, false, [&] { WriteStream(t.f.get(), first, one, "DICT", false); });
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(Block(path, 1, 4096).substr(0, 32), "QVSH" + Words({N1, 1, N1}) + "DICT" + Words({4064, 1, 0}));
    EXPECT_EQ(Block(path, 2, 4096).substr(0, 12), "DEAD" + Words({N1, 2}));
    EXPECT_EQ(ReadStream(t.f.get(), first), one);
    std::string empty;
    t.Run(4, false, [&] { WriteStream(t.f.get(), first, empty, "DICT", false); });
    EXPECT_EQ(ReadStream(t.f.get(), first), "");
}

// Builds a one-block-header file and lets `patch` damage it.
std::string MakeFile(const testsupport::TempDir& dir, const std::string& name,
                     const std::function<void(std::string&)>& patch, int blocks = 1) {
    std::string path = (dir / name).string();
    std::string bytes(4096u * static_cast<std::size_t>(blocks), '\0');
    InitHeaderBlock(reinterpret_cast<std::uint8_t*>(bytes.data()), 4096, 10, 1, 3, false);
    PutU32(bytes.data() + hdr::kBlockCount, static_cast<std::uint32_t>(blocks));
    patch(bytes);
    WriteFileBytes(path, bytes);
    return path;
}

TEST(CorruptFiles, HeaderChecks) {
    testsupport::TempDir dir;
    struct Case {
        const char* what;
        std::function<void(std::string&)> patch;
        int error;
    } cases[] = {
        {"good", [](std::string&) {}, -1},
        {"bad signature", [](std::string& b) { b[0] = 'X'; }, 48},
        {"reserved not -1", [](std::string& b) { PutU32(b.data() + 4, 0); }, 48},
        {"own block not 0", [](std::string& b) { PutU32(b.data() + 8, 1); }, 48},
        {"block size 2048", [](std::string& b) { PutU32(b.data() + 12, 2048); }, 48},
        {"encrypted", [](std::string& b) { PutU32(b.data() + 16, 1); }, 50},
        {"shorter than the head", [](std::string& b) { b.resize(19); }, 48},
        {"truncated header block", [](std::string& b) { b.resize(100); }, 7},
        {"empty file", [](std::string& b) { b.clear(); }, 48},
        {"no blocks", [](std::string& b) { PutU32(b.data() + hdr::kBlockCount, 0); }, 48},
        {"more free than blocks", [](std::string& b) { PutU32(b.data() + hdr::kFreeCount, 1); }, 48},
    };
    int i = 0;
    for (const auto& c : cases) {
        std::string path = MakeFile(dir, "C" + std::to_string(i++) + ".QVD", c.patch);
        OpenFile t(path);
        t.Open();
        EXPECT_EQ(ErrorOf([&] { t.Header(); }), c.error) << c.what;
    }
}

TEST(CorruptFiles, BlockAndChainChecks) {
    testsupport::TempDir dir;
    auto stream = [](std::string& b, std::uint32_t n, std::uint32_t next, std::uint32_t len, std::uint32_t first) {
        char* p = b.data() + 4096u * n;
        std::memcpy(p, "QVSH", 4);
        PutU32(p + 4, N1);
        PutU32(p + 8, n);
        PutU32(p + 12, next);
        std::memcpy(p + 16, "DICT", 4);
        PutU32(p + 20, len);
        PutU32(p + 24, first);
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> patch;
        int blocks;
        std::function<void(OpenFile&)> act;
        int error;
    } cases[] = {
        {"stream block 0", [](std::string&) {}, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 0); }, 49},
        {"stream block = count", [](std::string&) {}, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 2); }, 49},
        {"not a stream block", [](std::string& b) { std::memcpy(b.data() + 4096, "QVDH", 4); }, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 1); }, 61},
        {"wrong own number", [&](std::string& b) { stream(b, 1, N1, 5, 1); PutU32(b.data() + 4096 + 8, 7); }, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 1); }, 61},
        {"chain loops", [&](std::string& b) { stream(b, 1, 2, 20000, 1); stream(b, 2, 1, 0, 1); }, 3,
         [](OpenFile& t) { ReadStream(t.f.get(), 1); }, 61},
        {"chain ends early", [&](std::string& b) { stream(b, 1, N1, 5000, 1); }, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 1); }, 61},
        {"length beyond the file", [&](std::string& b) { stream(b, 1, N1, 0xFFFFFFF0u, 1); }, 2,
         [](OpenFile& t) { ReadStream(t.f.get(), 1); }, 61},
        {"block missing from a truncated file", [&](std::string& b) { stream(b, 1, 2, 5000, 1); }, 2,
         [](OpenFile& t) {
             PutU32(t.Header() + hdr::kBlockCount, 3);  // claims a block the file lacks
             ReadStream(t.f.get(), 1);
         }, 7},
        {"free chain out of range",
         [](std::string& b) { PutU32(b.data() + hdr::kFreeCount, 1); PutU32(b.data() + hdr::kFirstFree, 9); }, 2,
         [](OpenFile& t) { t.Run(5, false, [&] { std::uint32_t n; GetNewBlock(t.f.get(), t.Header(true), n); }); }, 71},
        {"free chain at a block in use",
         [&](std::string& b) { PutU32(b.data() + hdr::kFreeCount, 1); PutU32(b.data() + hdr::kFirstFree, 1);
                               stream(b, 1, N1, 1, 1); }, 2,
         [](OpenFile& t) { t.Run(5, false, [&] { std::uint32_t n; GetNewBlock(t.f.get(), t.Header(true), n); }); }, 71},
        {"freeing a free block",
         [](std::string& b) { std::memcpy(b.data() + 4096, "DEAD", 4); }, 2,
         [](OpenFile& t) { t.Run(5, false, [&] { FreeBlock(t.f.get(), t.Header(true), 1); }); }, 71},
    };
    int i = 0;
    for (const auto& c : cases) {
        std::string path = MakeFile(dir, "B" + std::to_string(i++) + ".QVD", c.patch, c.blocks);
        OpenFile t(path);
        t.Open();
        EXPECT_EQ(ErrorOf([&] { c.act(t); }), c.error) << c.what;
        t.bm.RollbackTransaction(5);
    }
}

TEST(FileInfo, ChecksAndOpenErrors) {
    testsupport::TempDir dir;
    TbtdFileInfoPtr f = NewFileInfo((dir / "Tbl.dat").string(), "QVDX", 4096);
    EXPECT_EQ(QvExtractFileExt(f->name), "QVD");
    EXPECT_EQ(ErrorOf([&] { CheckFileInfo(f.get(), true); }), 0);
    EXPECT_EQ(ErrorOf([&] { CheckFileInfo(nullptr, false); }), 0);
    f->magic = 1;
    EXPECT_EQ(ErrorOf([&] { CheckFileInfo(f.get(), false); }), 0);
    f->magic = kQvFileInfoMagic;
    EXPECT_EQ(ErrorOf([&] { OpenTableFile(f.get(), true, false, false, false); }), 1);  // does not exist
    OpenTableFile(f.get(), true, false, true, false);
    // A second exclusive open of the same file is refused by the lock.
    TbtdFileInfoPtr g = NewFileInfo((dir / "TBL.qvd").string(), "QVD", 4096);  // other letter case
    EXPECT_EQ(ErrorOf([&] { OpenTableFile(g.get(), true, false, false, false); }), 1);
    CloseTableFile(f.get());
    OpenTableFile(g.get(), true, false, false, false);
    CloseTableFile(g.get());
}

TEST(DeleteTableFiles, RemovesOnlyTableFiles) {
    testsupport::TempDir dir;
    WriteFileBytes(dir / "Tab.QVD", "QVFH....");
    WriteFileBytes(dir / "Tab.QV$", "JQVH\0\0\0\0");
    WriteFileBytes(dir / "Tab.txt", "some text");
    WriteFileBytes(dir / "Tab.IDX", "QVFHxxxx");
    WriteFileBytes(dir / "Tab.X", "ab");
    WriteFileBytes(dir / "Tab2.QVD", "QVFH");
    DeleteTableFiles((dir / "tab.qvd").string());
    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(dir / "Tab.QVD"));
    EXPECT_FALSE(fs::exists(dir / "Tab.IDX"));
    EXPECT_FALSE(fs::exists(dir / "Tab.X"));
    EXPECT_TRUE(fs::exists(dir / "Tab.QV$"));
    EXPECT_TRUE(fs::exists(dir / "Tab.txt"));
    EXPECT_TRUE(fs::exists(dir / "Tab2.QVD"));
}

TEST(References, ValidityRules) {
    // 4096-byte blocks, slot length 14: 290 slots at offsets 32, 46, ... 4078.
    const std::uint32_t blk = 1u << 12;
    struct Case {
        std::uint32_t ref;
        bool record, blob, segment;
    } cases[] = {
        {0, false, false, false},
        {blk + 32, true, true, true},
        {blk + 46, true, false, false},
        {blk + 33, false, false, false},
        {blk + 31, false, false, false},
        {blk + 32 + 289 * 14, true, false, false},
        {blk + 32 + 290 * 14, false, false, false},  // slot index = records per block
        {blk + 32 + 13 * 272, false, true, false},   // last BLOB descriptor (14 per block)
        {blk + 32 + 14 * 272, true, false, false},   // 3808 = 272 slots of 14
        {5 * blk, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QvIsValidRecordRef(c.ref, 4096, 14), c.record) << c.ref;
        EXPECT_EQ(QvIsValidBlobNumber(c.ref, 4096), c.blob) << c.ref;
        EXPECT_EQ(QvIsValidSegmentRef(c.ref, 4096), c.segment) << c.ref;
    }
}

}  // namespace
}  // namespace qv
