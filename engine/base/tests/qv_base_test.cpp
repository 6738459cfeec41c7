#include "engine/base/qv_base.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "platform/core/clock.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(SizeClass, RequestsMapToTheirClass) {
    struct Case {
        std::size_t size;
        int cls;
        std::size_t itemSize;
    } cases[] = {
        {1, 0, 32},        {32, 0, 32},       {33, 1, 64},         {1024, 31, 1024},
        {1025, 32, 1280},  {1280, 32, 1280},  {1281, 33, 1536},    {16384, 91, 16384},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(QvSizeClass(c.size), c.cls);
        EXPECT_EQ(QvSizeClassItemSize(c.cls), c.itemSize);
        EXPECT_GE(QvSizeClassItemSize(c.cls), c.size);
    }
    EXPECT_EQ(QvSizeClass(16385), -1);
}

TEST(MemoryPool, ItemsPerBlockKeepBlocksWithin32772Bytes) {
    struct Case {
        std::size_t item, perBlockAsked, perBlock, blockBytes;
    } cases[] = {
        {32, 1024, 1024, 32772},
        {64, 1024, 512, 32772},
        {16384, 1024, 2, 32772},
        {4096, 8, 8, 32772},
        {2, 10, 10, 10 * 8 + 4},  // the item must hold the free-list link
    };
    for (const auto& c : cases) {
        TqvMemoryPool pool(c.item, c.perBlockAsked);
        EXPECT_EQ(pool.ItemsPerBlock(), c.perBlock) << c.item;
        EXPECT_EQ(pool.BlockSize(), c.blockBytes) << c.item;
    }
}

TEST(MemoryPool, ReusesDisposedItemsAndGrowsByWholeBlocks) {
    TqvMemoryPool pool(64, 4);
    std::set<void*> seen;
    std::vector<void*> items;
    for (int i = 0; i < 4; ++i) items.push_back(pool.Alloc());
    for (void* p : items) seen.insert(p);
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(pool.BlockCount(), 1u);
    void* last = items.back();
    pool.Dispose(items.back());
    EXPECT_EQ(items.back(), nullptr);
    EXPECT_EQ(pool.Alloc(), last);  // last in, first out
    void* fifth = pool.Alloc();
    EXPECT_EQ(pool.BlockCount(), 2u);
    EXPECT_EQ(seen.count(fifth), 0u);
}

TEST(PadLock, UnlockWithoutLockDoesNothingAndCountsBalance) {
    TqvPadLock lock;
    lock.Lock(false);
    EXPECT_EQ(lock.UseCount(), 0);
    lock.Lock(true);
    lock.Lock(true);  // re-entrant
    EXPECT_EQ(lock.UseCount(), 2);
    lock.Lock(false);
    lock.Lock(false);
    EXPECT_EQ(lock.UseCount(), 0);
}

TEST(PadLock, SerialisesThreads) {
    TqvPadLock lock;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            TqvPadLockGuard g(lock);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(Timeout, ClampsAndHonoursWrapAround) {
    plat::FakeClock clock(1000);
    plat::ScopedClock use(clock);
    struct Case {
        std::int32_t ms;
        std::uint32_t span;
    } cases[] = {{0, 1}, {-5, 1}, {1, 1}, {60000, 30000}, {2500, 2500}};
    for (const auto& c : cases) {
        TqvTimeout t;
        QvSetTimeout(t, c.ms);
        EXPECT_EQ(t.end - t.start, c.span) << c.ms;
        EXPECT_FALSE(QvTimeoutExpired(t));
    }
    TqvTimeout never;
    QvSetTimeout(never, -1);
    clock.Advance(1000000);
    EXPECT_FALSE(QvTimeoutExpired(never));

    clock.SetTick(0xFFFFFFF0u);
    TqvTimeout t;
    QvSetTimeout(t, 100);
    EXPECT_LT(t.end, t.start);
    clock.Advance(50);  // tick wrapped to 0x22
    EXPECT_FALSE(QvTimeoutExpired(t));
    clock.Advance(49);
    EXPECT_FALSE(QvTimeoutExpired(t));
    clock.Advance(1);
    EXPECT_TRUE(QvTimeoutExpired(t));
}

TEST(Hash, ElfHashKnownValues) {
    // "abc": h = 0x61, 0x672, 0x6783 (no high nibble is ever set).
    EXPECT_EQ(ElfHash("abc", 3), 0x6783u);
    // The classic symbol-table value; its 7th step folds a high nibble.
    EXPECT_EQ(ElfHash("printf", 6), 0x077905A6u);
    EXPECT_EQ(HashShortString("printf"), 0x077905A6u);
    EXPECT_EQ(ElfHash("", 0), 0u);
}

TEST(Compare, ShortStringsCutToMaxLength) {
    struct Case {
        const char *a, *b;
        std::size_t max;
        int cs, ci;
    } cases[] = {
        {"ab", "abc", 255, -1, -1}, {"abc", "ab", 255, 1, 1}, {"abX", "abY", 2, 0, 0},
        {"AB", "ab", 255, -1, 0},   {"b", "a", 255, 1, 1},    {"", "", 255, 0, 0},
        {"\xE9", "a", 255, 1, 1},  // bytes compare unsigned
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(QvCmpShStr(c.a, c.b, c.max), c.cs);
        EXPECT_EQ(QvCmpShStrNoCase(c.a, c.b, c.max), c.ci);
    }
    EXPECT_EQ(QvCmpI8(-56, 100), -1);
    EXPECT_EQ(QvCmpByte(200, 100), 1);
    EXPECT_EQ(QvCmpDWord(0xFFFFFFFFu, 1), 1);
    EXPECT_EQ(QvCmpI32(-1, 1), -1);
    EXPECT_EQ(QvCmpBytes("\x01\x02", "\x01\x03", 2), -1);
    EXPECT_EQ(QvApplyDirection(false, 1), -1);
}

TEST(Paths, SplitAndChangeNames) {
    EXPECT_EQ(QvExtractFilePath("c:\\data\\TvrnMAIN.QVD"), "c:\\data");
    EXPECT_EQ(QvExtractFilePath("TvrnMAIN.QVD"), "");
    EXPECT_EQ(QvExtractFileName("c:\\data\\TvrnMAIN.QVD"), "TvrnMAIN");
    EXPECT_EQ(QvExtractFileExt("c:\\da.ta\\TvrnMAIN.QVDX"), "QVD");
    EXPECT_EQ(QvExtractFileExt("c:\\da.ta\\noext"), "");
    EXPECT_EQ(QvChangeFileExt("c:\\data\\1.tmp", "QV$"), "c:\\data\\1.QV$");
    EXPECT_EQ(QvChangeFileExt("c:\\data\\1", "QV$"), "c:\\data\\1.QV$");
    EXPECT_EQ(QvChangeFileExt("c:\\data\\1.tmp", ""), "c:\\data\\1");
    EXPECT_EQ(QvJoinPath("dir", "name"), "dir\\name");
    EXPECT_EQ(QvJoinPath("dir\\", "name"), "dir\\name");
    EXPECT_EQ(QvMakeFileName("Tvrn", "QVDX"), "Tvrn.QVD");
    EXPECT_TRUE(QvMaskMatches("TvrnMAIN.qvd", "tvrnmain.*"));
    EXPECT_TRUE(QvMaskMatches("a.QV$", "?.qv$"));
    EXPECT_FALSE(QvMaskMatches("TvrnMAIN2.qvd", "tvrnmain.*"));
    EXPECT_FALSE(QvFileExists("some*"));
}

// The engine lists its files by the platform's wildcard rules: the same
// answer from both for every case.
TEST(Paths, MasksMatchByThePlatformsRules) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    };
    const Case cases[] = {
        {"TvrnMAIN.qvd", "tvrnmain.*", true},  {"a.QV$", "?.qv$", true},
        {"TvrnMAIN2.qvd", "tvrnmain.*", false}, {"README", "*.*", true},
        {"tab", "tab.*", true},                {"tab", "tab.", true},
        {"tab.qvd", "tab.", false},            {"abc", "a*c", true},
        {"ab", "a?c", false},                  {"", "*", false},
        {"x", "", false},                      {"caf\xC9.QVD", "CAF\xE9.*", true},
        {"a*b", "a*", true},                   {"aXbXc", "*b*c", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QvMaskMatches(c.name, c.mask), c.match) << c.name << " " << c.mask;
        EXPECT_EQ(plat::MatchesMask(c.name, c.mask), c.match) << c.name << " " << c.mask;
    }
}

TEST(Paths, FilesAreFoundWithoutRegardToCase) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "Tab.QVD", "x");
    testsupport::WriteFileBytes(dir / "Tab.QV$", "x");
    testsupport::WriteFileBytes(dir / "Other.QVD", "x");
    std::string d = dir.path().string();
    EXPECT_TRUE(QvFileExists(d + "/TAB.qvd"));
    EXPECT_FALSE(QvFileExists(d));
    EXPECT_TRUE(QvDirectoryExists(d));
    EXPECT_FALSE(QvDirectoryExists(d + "/Tab.QVD"));
    EXPECT_EQ(QvListFiles(d, "tab.*"), (std::vector<std::string>{"Tab.QV$", "Tab.QVD"}));
    EXPECT_FALSE(QvGetExeFileName().empty());
}

TEST(Paths, FindFiltersByKindAndAttribute) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "a.txt", "12345");
    testsupport::WriteFileBytes(dir / "b.txt", "1");
    std::filesystem::create_directory(dir / "c.txt");
    auto names = [&](std::uint8_t kinds, std::uint8_t attrs) {
        std::vector<std::string> out;
        TqvSearchRec rec;
        for (std::uint32_t r = QvFindFirst((dir.path() / "*.TXT").string(), kinds, attrs, rec); r == 0;
             r = QvFindNext(rec))
            out.push_back(rec.name + (rec.kind == 1 ? "/" : ""));
        QvFindClose(rec);
        return out;
    };
    EXPECT_EQ(names(1, 31), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(names(2, 31), (std::vector<std::string>{"c.txt/"}));
    EXPECT_EQ(names(3, 31).size(), 3u);
    EXPECT_EQ(names(1, 4), (std::vector<std::string>{}));  // none is hidden
    TqvSearchRec rec;
    ASSERT_EQ(QvFindFirst((dir.path() / "a.*").string(), 1, 31, rec), 0u);
    EXPECT_EQ(rec.sizeLow, 5u);
    EXPECT_NE(rec.dosDate, 0);
    EXPECT_EQ(QvFindNext(rec), 18u);
    QvFindClose(rec);
    EXPECT_EQ(QvFindFirst((dir.path() / "z*").string(), 1, 31, rec), 2u);
    EXPECT_EQ(QvFindFirst((dir.path() / "c.txt").string(), 1, 31, rec), 2u);  // only a folder matches
    QvFindClose(rec);
}

TEST(Names, ValidityRules) {
    EXPECT_TRUE(QvIsValidTableName("Tvrn_MAIN9"));
    EXPECT_FALSE(QvIsValidTableName(""));
    EXPECT_FALSE(QvIsValidTableName("bad-name"));
    EXPECT_FALSE(QvIsValidTableName(std::string(32, 'a')));
    EXPECT_TRUE(QvIsValidExtension("QV_"));
    EXPECT_FALSE(QvIsValidExtension("QVDX"));
    for (int n : {4096, 8192, 16384, 32768}) EXPECT_TRUE(QvIsValidBlockSize(n));
    for (int n : {0, 2048, 4097, 65536}) EXPECT_FALSE(QvIsValidBlockSize(n));
    EXPECT_TRUE(QvIsValidKeyLength(1));
    EXPECT_TRUE(QvIsValidKeyLength(1024));
    EXPECT_FALSE(QvIsValidKeyLength(0));
    EXPECT_FALSE(QvIsValidKeyLength(1025));
    EXPECT_TRUE(QvIsValidKeyLength(65536 + 5));  // only the low 16 bits count
}

TEST(Bits, SetClearTestAndSetAll) {
    unsigned char bits[3] = {0, 0, 0};
    QvBitSet(bits, 9);
    EXPECT_EQ(bits[1], 0x02);
    EXPECT_TRUE(QvBitTest(bits, 9));
    QvBitClear(bits, 9);
    EXPECT_EQ(bits[1], 0);
    QvBitSetAll(bits, 9);  // two bytes
    EXPECT_EQ(bits[0], 0xFF);
    EXPECT_EQ(bits[1], 0xFF);
    EXPECT_EQ(bits[2], 0);
    EXPECT_EQ(QvCharOfWord(0x41), 'A');
    EXPECT_EQ(QvCharOfWord(0x141), '\0');
}

TEST(ShortStrings, CapsAndSplits) {
    std::string s(250, 'x');
    QvShStrConcat(s, "0123456789");
    EXPECT_EQ(s.size(), 255u);
    QvShStrAppendChar(s, 'y');
    EXPECT_EQ(s.size(), 255u);
    std::string head, rest;
    QvSplitAtDelimiter("alias:path;x", ":;", head, rest);
    EXPECT_EQ(head, "alias");
    EXPECT_EQ(rest, "path;x");
    QvSplitAtDelimiter("plain", ":", head, rest);
    EXPECT_EQ(head, "plain");
    EXPECT_EQ(rest, "");
    EXPECT_EQ(QvPCharToShStr("abcdef", 3), "abc");
}

TEST(Ids, CountUpAndAreUnique) {
    std::uint32_t a = QvNextObjectId(), b = QvNextObjectId();
    EXPECT_GT(a, 0u);
    EXPECT_EQ(b, a + 1);
}

}  // namespace
}  // namespace qv
