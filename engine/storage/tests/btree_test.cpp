#include "engine/storage/btree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/tests/storage_checker.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::IndexSpec;
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

// 12-byte keys: the number big-endian (so bytes sort as numbers), then zeros.
std::string Key(std::uint32_t v) {
    std::string k(12, '\0');
    for (int i = 0; i < 4; ++i) k[i] = static_cast<char>(v >> (24 - 8 * i));
    return k;
}
const std::uint8_t* U8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }
std::uint8_t* U8(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

struct IndexTable : ::testing::Test {
    testsupport::TempDir dir;
    std::string path = (dir / "I.QVD").string();
    // Slot 0 unique, slot 1 duplicates allowed, slot 2 references only.
    Table t{path, 10, {IndexSpec{12, false, false}, IndexSpec{12, false, true}, IndexSpec{0, true, false}}};
    void SetUp() override { t.Begin(); }
    void TearDown() override {
        if (t.bm.HasTransaction(t.tr)) t.Commit();
    }
    bool Add(std::uint32_t index, std::uint32_t v, std::uint32_t ref) {
        TqvIndexContext c = t.Context(index);
        return AddKey(c, U8(Key(v)), ref);
    }
    bool Delete(std::uint32_t index, std::uint32_t v, std::uint32_t ref) {
        TqvIndexContext c = t.Context(index);
        return DeleteKey(c, U8(Key(v)), ref);
    }
    std::vector<std::uint32_t> Refs(std::uint32_t index) {
        TqvIndexContext c = t.Context(index);
        TqvCursorPath path;
        std::string key(t.lengths[index], '\0');
        std::uint32_t ref;
        std::vector<std::uint32_t> out;
        while (NextKey(c, U8(key), ref, path)) out.push_back(ref);
        return out;
    }
    std::uint32_t Slot(std::uint32_t array, std::uint32_t index) {
        TqvAccessScope access(t.f.get());
        const std::uint8_t* h = GetHeaderBlock(t.f.get(), false);
        return GetU32(GetBlock(t.f.get(), GetU32(h + hdr::kIndexHeader), false) + array + 4 * index);
    }
};

TEST(IndexGeometry, PageCapacities) {
    struct Case {
        std::uint32_t block, key;
        bool refOnly, leaf;
        std::uint32_t max;
    } cases[] = {
        {4096, 12, false, true, 253},    // 4064 div 16 = 254, even: 253
        {4096, 12, false, false, 203},   // 4064 div 20 = 203
        {4096, 12, true, true, 1015},    // 4064 div 4 = 1016: 1015
        {4096, 12, true, false, 507},    // 4064 div 8 = 508: 507
        {8192, 100, false, true, 77},    // 8160 div 104 = 78: 77
        {4096, 1350, false, true, 3},    // 4064 div 1354 = 3
        {4096, 1352, false, false, 0},   // 4064 div 1360 = 2: too few
    };
    for (const Case& c : cases)
        EXPECT_EQ(QvIndexPageCapacity(c.block, c.key, c.refOnly, c.leaf), c.max) << c.block << " " << c.key;
}

TEST_F(IndexTable, HeaderLeafAndNodePagesAfterASplitAreByteExact) {
    // 253 entries fill the root leaf; the 254th splits it.
    for (std::uint32_t v = 0; v < 254; ++v) ASSERT_TRUE(Add(0, v, 1000 + v));
    t.Commit();
    std::string file = testsupport::ReadFileBytes(path);
    ASSERT_EQ(file.size(), 5u * 4096);
    EXPECT_EQ(file.substr(hdr::kIndexHeader, 4), Words({1}));
    // Index header block 1: "QVIH", -1, own 1, kind byte 0 and three zeros,
    // u16 0xFFFF, u16 0, 0, 0, -1; then the five arrays of 256 slots.
    std::string h = "QVIH" + Words({N1, 1, 0}) + std::string("\xFF\xFF\0\0", 4) + Words({0, 0, N1});
    std::string keyLengths(512, '\0'), flags(256, '\0'), counts(1024, '\0'), roots, pages(1024, '\0');
    keyLengths[0] = keyLengths[2] = 12;
    keyLengths[4] = 4;
    flags[1] = 1;  // duplicates
    flags[2] = 2;  // references only
    PutU32(counts.data(), 254);
    for (int i = 0; i < 256; ++i) roots += Words({i == 0 ? 3u : N1});
    PutU32(pages.data(), 3);
    h += keyLengths + flags + counts + roots + pages;
    h += std::string(4096 - h.size(), '\0');
    EXPECT_EQ(file.substr(4096, 4096), h);
    // The old root (block 2) keeps entries 0..125 (h = 126); the new root,
    // block 3, an interior page of level 2 with M = 203: count 1, child 0 =
    // block 2 at +28, child 1 = block 4 at +32, the reference of entry 126
    // at +32 + 4M = +844, its key at +32 + 8M = +1656.
    std::string node = "QVIH" + Words({N1, 3}) + std::string("\x01\x00\x02\x00", 4) +
                       std::string("\x00\x00\x0C\x00", 4) + Words({1, 203, 2, 4});
    node += std::string(844 - node.size(), '\0') + Words({1126});
    node += std::string(1656 - node.size(), '\0') + Key(126);
    node += std::string(4096 - node.size(), '\0');
    EXPECT_EQ(file.substr(3 * 4096, 4096), node);
    // The new leaf, block 4, M = 253: entries 127..252 moved from the split
    // page and 253 added after them: count 127, no child (-1), references at
    // +32, keys at +32 + 4M = +1044.
    std::string leaf = "QVIH" + Words({N1, 4}) + std::string("\x01\x01\x01\x00", 4) +
                       std::string("\x00\x00\x0C\x00", 4) + Words({127, 253, N1});
    for (std::uint32_t v = 127; v < 254; ++v) leaf += Words({1000 + v});
    leaf += std::string(1044 - leaf.size(), '\0');
    for (std::uint32_t v = 127; v < 254; ++v) leaf += Key(v);
    leaf += std::string(4096 - leaf.size(), '\0');
    EXPECT_EQ(file.substr(4 * 4096, 4096), leaf);
    EXPECT_EQ(file.substr(2 * 4096 + 12, 12), std::string("\x01\x01\x01\x00", 4) +
                                                  std::string("\x00\x00\x0C\x00", 4) + Words({126}));
}

TEST_F(IndexTable, UniqueAndDuplicateKeys) {
    EXPECT_TRUE(Add(0, 5, 100));
    EXPECT_FALSE(Add(0, 5, 200));  // unique: refused whatever the reference
    EXPECT_EQ(Refs(0), (std::vector<std::uint32_t>{100}));
    EXPECT_EQ(Slot(ihdr::kKeyCount, 0), 1u);
    // Equal keys sort by reference, unsigned.
    EXPECT_TRUE(Add(1, 5, 0x90000000u));
    EXPECT_TRUE(Add(1, 5, 300));
    EXPECT_TRUE(Add(1, 4, 900));
    EXPECT_FALSE(Add(1, 5, 300));  // same key and reference
    EXPECT_EQ(Refs(1), (std::vector<std::uint32_t>{900, 300, 0x90000000u}));
    EXPECT_FALSE(Delete(1, 5, 301));
    EXPECT_TRUE(Delete(1, 5, 300));
    EXPECT_EQ(Refs(1), (std::vector<std::uint32_t>{900, 0x90000000u}));
    // A reference-only index orders by the reference itself.
    for (std::uint32_t r : {4128u, 8224u, 4142u}) {
        TqvIndexContext c = t.Context(2);
        EXPECT_TRUE(AddKey(c, nullptr, r));
    }
    EXPECT_EQ(Refs(2), (std::vector<std::uint32_t>{4128, 4142, 8224}));
}

TEST_F(IndexTable, StepsAndStatesOnATinyTree) {
    TqvIndexContext c = t.Context(0);
    TqvCursorPath path;
    std::string key(12, '\0');
    std::uint32_t ref = 0;
    // Empty tree: FindKey answers false with state 1, stepping ends at once.
    EXPECT_FALSE(FindKey(c, U8(key), ref, 0, path));
    EXPECT_EQ(path.state, qvpsBeforeFirst);
    EXPECT_FALSE(NextKey(c, U8(key), ref, path));
    EXPECT_EQ(path.state, qvpsAfterLast);
    ASSERT_TRUE(Add(0, 7, 70));
    path = TqvCursorPath{};
    path.state = qvpsBeforeFirst;
    ASSERT_TRUE(NextKey(c, U8(key), ref, path));
    EXPECT_EQ(ref, 70u);
    EXPECT_EQ(key, Key(7));
    EXPECT_EQ(path.state, qvpsOnEntry);
    EXPECT_FALSE(NextKey(c, U8(key), ref, path));
    EXPECT_EQ(path.state, qvpsAfterLast);
    ref = 0;
    ASSERT_TRUE(PriorKey(c, U8(key), ref, path));
    EXPECT_EQ(ref, 70u);
    EXPECT_FALSE(PriorKey(c, U8(key), ref, path));
    EXPECT_EQ(path.state, qvpsBeforeFirst);
}

TEST_F(IndexTable, FindKeyModes) {
    // Keys 10, 20, 20, 20, 30 in the duplicates index, enough of them to
    // spread over several pages (each value 200 times).
    for (std::uint32_t v : {10u, 20u, 30u})
        for (std::uint32_t r = 1; r <= 200; ++r) ASSERT_TRUE(Add(1, v, v * 1000 + r));
    TqvIndexContext c = t.Context(1);
    struct Case {
        std::uint32_t value, ref;
        int mode;
        bool found;
        std::uint8_t state;
        std::uint32_t atRef;  // entry the path ends on, 0 = none
    } cases[] = {
        {20, 0, 0, true, qvpsOnEntry, 20001},    // first of the equal entries
        {20, 20117, 0, true, qvpsOnEntry, 20117},  // with a reference: that entry
        {20, 0, 2, true, qvpsOnEntry, 20001},
        {20, 0, 1, true, qvpsOnEntry, 30001},    // past every equal entry
        {30, 0, 1, true, qvpsAfterLast, 0},
        {15, 0, 0, false, qvpsNone, 0},
        {15, 0, 1, false, qvpsOnEntry, 20001},
        {15, 0, 2, false, qvpsOnEntry, 20001},
        {5, 0, 2, false, qvpsOnEntry, 10001},
        {35, 0, 2, false, qvpsAfterLast, 0},
    };
    for (const Case& x : cases) {
        TqvCursorPath path;
        std::string key = Key(x.value);
        std::uint32_t ref = x.ref;
        EXPECT_EQ(FindKey(c, U8(key), ref, x.mode, path), x.found) << x.value << " mode " << x.mode;
        EXPECT_EQ(path.state, x.state) << x.value << " mode " << x.mode;
        std::string k(12, '\0');
        std::uint32_t at = 0;
        if (CurrentKey(c, U8(k), at, path)) {
            EXPECT_EQ(k, Key(at / 1000));
        }
        EXPECT_EQ(at, x.atRef) << x.value << " mode " << x.mode;
    }
}

// Compares made by one search, through a wrapper around the index's routine.
struct CountingCompare {
    TqvKeyCompareProc inner;
    const void* innerContext;
    std::uint32_t calls = 0;
    static int Proc(const std::uint8_t* a, const std::uint8_t* b, const void* context) {
        auto* self = const_cast<CountingCompare*>(static_cast<const CountingCompare*>(context));
        ++self->calls;
        return self->inner(a, b, self->innerContext);
    }
};

// A range over one value of a big project is one long run of equal keys:
// landing past it or on its first entry must cost a descent, not a walk
// over the run. The compares of a search on a run 16 times longer grow by
// a few levels of the tree, never with the run.
TEST_F(IndexTable, SearchesAtTheEdgesOfARunOfEqualKeysDoNotWalkIt) {
    struct Probe {
        int mode;
        std::uint32_t value;
        bool found;
        std::uint32_t atValue;  // landed on the first entry of this value
    } probes[] = {
        {1, 20, true, 30},   // past the run
        {2, 20, true, 20},   // onto its first entry
        {0, 20, true, 20},
        {1, 10, true, 20},   // from the run before
        {2, 15, false, 20},  // into the run from a missing value
    };
    std::uint32_t calls[2][std::size(probes)] = {};
    const std::uint32_t runs[2] = {1000, 16000};
    for (int size = 0; size < 2; ++size) {
        TqvIndexContext c = t.Context(1);
        ClearIndex(c);
        for (std::uint32_t v : {10u, 30u})
            for (std::uint32_t r = 1; r <= 3; ++r) ASSERT_TRUE(Add(1, v, v * 100000 + r));
        for (std::uint32_t r = 1; r <= runs[size]; ++r) ASSERT_TRUE(Add(1, 20, 20 * 100000 + r));
        CountingCompare counting{c.compare, c.compareContext};
        c.compare = CountingCompare::Proc;
        c.compareContext = &counting;
        for (std::size_t i = 0; i < std::size(probes); ++i) {
            const Probe& x = probes[i];
            TqvCursorPath path;
            std::string key = Key(x.value);
            std::uint32_t ref = 0;
            counting.calls = 0;
            EXPECT_EQ(FindKey(c, U8(key), ref, x.mode, path), x.found) << i;
            calls[size][i] = counting.calls;
            std::string k(12, '\0');
            std::uint32_t at = 0;
            ASSERT_TRUE(CurrentKey(c, U8(k), at, path)) << i;
            EXPECT_EQ(at / 100000, x.atValue) << i;
            EXPECT_EQ(at % 100000, 1u) << i;
            EXPECT_EQ(k, Key(x.atValue)) << i;
        }
    }
    for (std::size_t i = 0; i < std::size(probes); ++i) {
        EXPECT_LE(calls[0][i], 40u) << "probe " << i;
        EXPECT_LE(calls[1][i], calls[0][i] + 40) << "probe " << i << ": " << calls[0][i] << " then " << calls[1][i];
    }
}

TEST_F(IndexTable, DeletingEveryKeyEmptiesTheTreeAndFreesItsPages) {
    for (std::uint32_t v = 0; v < 3000; ++v) ASSERT_TRUE(Add(0, (v * 7919) % 3000, v + 1));
    EXPECT_GT(Slot(ihdr::kPageCount, 0), 10u);
    testing::CheckTree(t, 0);
    for (std::uint32_t v = 0; v < 3000; ++v) ASSERT_TRUE(Delete(0, (v * 4001) % 3000, 0)) << v;
    EXPECT_EQ(Slot(ihdr::kRoot, 0), N1);
    EXPECT_EQ(Slot(ihdr::kPageCount, 0), 0u);
    EXPECT_EQ(Slot(ihdr::kKeyCount, 0), 0u);
    testing::CheckBlocks(t, {}, {}, 0);
}

TEST_F(IndexTable, ClearIndexFreesEveryPage) {
    // Reference-only leaves hold 1015 entries; interior pages 507.
    TqvIndexContext c = t.Context(0);
    std::uint32_t v = 0;
    while (Slot(ihdr::kPageCount, 0) < 200) ASSERT_TRUE(Add(0, v++, 1));
    const std::uint32_t pages = Slot(ihdr::kPageCount, 0);
    t.Commit();
    t.Begin();
    std::uint32_t freeBefore;
    {
        TqvAccessScope access(t.f.get());
        freeBefore = GetU32(GetHeaderBlock(t.f.get(), false) + hdr::kFreeCount);
    }
    ClearIndex(c);
    EXPECT_EQ(Slot(ihdr::kRoot, 0), N1);
    EXPECT_EQ(Slot(ihdr::kPageCount, 0), 0u);
    t.Commit();
    t.Begin();
    TqvAccessScope access(t.f.get());
    EXPECT_EQ(GetU32(GetHeaderBlock(t.f.get(), false) + hdr::kFreeCount), freeBefore + pages);
    testing::CheckBlocks(t, {}, {}, 0);
}

TEST_F(IndexTable, DefineAndRemoveSlots) {
    DefineIndex(t.f.get(), 5, 40, false, true);
    ASSERT_TRUE(Add(0, 1, 1));  // slot 0 gets a root
    const std::uint32_t root0 = Slot(ihdr::kRoot, 0);
    RemoveIndexSlot(t.f.get(), 0);
    // Slots above move down by one; the top slot is cleared.
    EXPECT_EQ(Slot(ihdr::kRoot, 0), N1);       // was slot 1
    EXPECT_EQ(Slot(ihdr::kKeyCount, 4), 0u);   // was slot 5
    {
        TqvAccessScope access(t.f.get());
        const std::uint8_t* a = GetBlock(t.f.get(), 1, false);
        EXPECT_EQ(GetU16(a + ihdr::kKeyLength + 2 * 4), 40);
        EXPECT_EQ(a[ihdr::kFlags + 4], ihdr::kAllowDuplicates);
        EXPECT_EQ(a[ihdr::kFlags + 1], ihdr::kRefOnly);
        EXPECT_EQ(GetU32(a + ihdr::kRoot + 4 * 255), N1);
    }
    EXPECT_NE(root0, N1);
    EXPECT_EQ(ErrorOf([&] { DefineIndex(t.f.get(), 3, 2000, false, false); }), 114);  // two entries a page
    EXPECT_EQ(ErrorOf([&] { DefineIndex(t.f.get(), 256, 4, false, false); }), 114);
}

TEST(CompositeIndex, LeadingFieldSearchLandsOnTheFirstMatch) {
    // Keys (a, b) of two Int32 fields through the dictionary's compare
    // routine, 500 of them over several pages.
    TqvDataDictionary d(4096);
    d.SetTableName("Pairs");
    d.AddField("A", "", qvftInt32, 0, 0, true);
    d.AddField("B", "", qvftInt32, 0, 0, true);
    const std::uint32_t fields[] = {0, 1};
    d.AddIndex("AB", "", 0, 2, fields, false, true, false);
    const std::uint32_t keyLength = d.IndexKeyLength(1);
    testsupport::TempDir dir;
    Table t((dir / "P.QVD").string(), d.GetRecordLength(), {IndexSpec{keyLength, false, false}});
    TqvKeyContext whole{keyLength, &d, 1, 0, 0, true, false};
    TqvKeyContext leading = whole;
    leading.fieldCount = 1;
    TqvIndexContext c = t.Context(0);
    c.compare = QvCompareKeysProc;
    c.compareContext = &whole;
    std::vector<std::uint8_t> rec(d.GetRecordLength()), key(keyLength);
    auto build = [&](std::int32_t a, std::int32_t b) {
        d.InitRecord(rec.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(a));
        d.SetRecordField(0, rec.data(), v);
        PutU32(v, static_cast<std::uint32_t>(b));
        d.SetRecordField(1, rec.data(), v);
        d.BuildKey(1, rec.data(), key.data());
    };
    t.Begin();
    for (std::int32_t i = 0; i < 500; ++i) {
        const std::int32_t j = (i * 7919) % 500;  // every pair once, in a scattered order
        const std::int32_t a = j / 50 - 5, b = j % 50;  // a from -5 to 4
        build(a, b);
        ASSERT_TRUE(AddKey(c, key.data(), static_cast<std::uint32_t>(1000 + (a + 5) * 50 + b)));
    }
    c.compareContext = &leading;
    c.partialCompare = true;
    for (std::int32_t a : {-5, -1, 0, 4}) {
        build(a, 49);  // the second field must not matter
        TqvCursorPath path;
        std::uint32_t ref = 0;
        ASSERT_TRUE(FindKey(c, key.data(), ref, 0, path)) << a;
        EXPECT_EQ(ref, static_cast<std::uint32_t>(1000 + (a + 5) * 50)) << a;  // (a, 0)
        build(a, 0);
        ref = 0;
        ASSERT_TRUE(FindKey(c, key.data(), ref, 1, path)) << a;
        std::uint32_t at = 0;
        // Mode 1 passes every (a, *): the next entry is (a + 1, 0), or none.
        if (a < 4) {
            ASSERT_TRUE(CurrentKey(c, key.data(), at, path));
            EXPECT_EQ(at, static_cast<std::uint32_t>(1000 + (a + 6) * 50)) << a;
        } else {
            EXPECT_EQ(path.state, qvpsAfterLast);
        }
    }
    t.Commit();
}

// Writes one word or byte of a committed tree's page and expects the next
// operation to be refused with `error`.
struct Corruption {
    const char* what;
    std::uint32_t offset;
    std::uint32_t value;
    bool byte;
    bool inRoot;
    int error;
};

// Indexes of one 32-bit number compare through the short routine, which
// must order every pair of keys as the general one does: nulls, the ends of
// the range, both directions and a partial compare.
TEST(KeyCompare, OneNumberFieldComparesAsTheGeneralRoutine) {
    TqvDataDictionary d;
    d.SetTableName("Keys");
    d.AddField("N", "", qvftInt32, 0, 0, true);
    d.AddField("D", "", qvftDate, 0, 0, true);
    d.AddField("S", "", qvftInt16, 0, 0, true);
    d.AddField("T", "", qvftShortString, 10, 0, true);
    const std::uint32_t n[] = {0}, date[] = {1}, small[] = {2}, text[] = {3}, pair[] = {0, 1};
    d.AddIndex("N", "", 0, 1, n, false, true, false);
    d.AddIndex("ND", "", 0, 1, n, false, false, false);
    d.AddIndex("D", "", 0, 1, date, true, true, false);
    d.AddIndex("S", "", 0, 1, small, false, true, false);
    d.AddIndex("T", "", 0, 1, text, false, true, false);
    d.AddIndex("ND2", "", 0, 2, pair, false, true, false);
    struct Pick {
        std::uint32_t index;
        TqvKeyCompareProc proc;
    } picks[] = {{1, QvCompareInt32KeyProc}, {2, QvCompareInt32KeyProc}, {3, QvCompareInt32KeyProc},
                 {4, QvCompareKeysProc},     {5, QvCompareKeysProc},     {6, QvCompareKeysProc}};
    for (const Pick& p : picks) EXPECT_EQ(QvKeyCompareProcFor(d, p.index), p.proc) << p.index;

    const std::int32_t values[] = {INT32_MIN, -70000, -1, 0, 1, 65536, INT32_MAX};
    auto key = [&](std::uint32_t index, const std::int32_t* v) {
        std::vector<std::uint8_t> k(d.IndexKeyLength(index));
        d.InitKey(index, k.data());  // null until a value is put
        if (v) {
            PutU32(k.data(), static_cast<std::uint32_t>(*v));
            d.SetKeyFieldNotNull(index, k.data(), 0);
        }
        return k;
    };
    int compared = 0;
    for (std::uint32_t index : {1u, 2u, 3u}) {
        for (std::uint32_t partial : {0u, 1u}) {
            TqvKeyContext ctx{d.IndexKeyLength(index), &d, index, partial, partial, d.IndexAscending(index), false};
            for (int i = -1; i < 7; ++i) {
                for (int j = -1; j < 7; ++j) {
                    const auto a = key(index, i < 0 ? nullptr : &values[i]);
                    const auto b = key(index, j < 0 ? nullptr : &values[j]);
                    EXPECT_EQ(QvCompareInt32KeyProc(a.data(), b.data(), &ctx), CompareKeys(a.data(), b.data(), ctx))
                        << index << " " << partial << " " << i << " " << j;
                    ++compared;
                }
            }
        }
    }
    EXPECT_EQ(compared, 3 * 2 * 64);
}

TEST_F(IndexTable, CorruptPagesAreRefused) {
    // A root over two leaves (253 entries a leaf); keys below 10 are free and
    // go to the first leaf, whose level and links the cases break.
    for (std::uint32_t v = 10; v < 400; ++v) ASSERT_TRUE(Add(0, v, v + 1));
    t.Commit();
    const Corruption cases[] = {
        {"level above the depth limit", ipage::kLevel, 40, true, true, 64},
        {"level out of order", ipage::kLevel, 3, true, true, 64},
        {"leaf flag on an interior page", ipage::kLeaf, 1, true, true, 64},
        {"signature", 0, 0x58585858u, false, true, 64},
        {"kind", ipage::kKind, 0, true, true, 64},
        {"count above the maximum", ipage::kCount, 204, false, true, 64},
        {"maximum changed", ipage::kMax, 205, false, true, 64},
        {"child outside the file", ipage::kFirstChild, 999, false, true, 49},
        {"child is the index header", ipage::kFirstChild, 1, false, true, 64},
        {"child is the root itself", ipage::kFirstChild, 3, false, true, 64},
        {"leaf level says interior", ipage::kLevel, 2, true, false, 64},
    };
    for (const Corruption& c : cases) {
        t.Begin();
        {
            TqvAccessScope access(t.f.get());
            const std::uint32_t root = Slot(ihdr::kRoot, 0);
            std::uint8_t* r = GetBlock(t.f.get(), root, true);
            std::uint8_t* p = c.inRoot ? r : GetBlock(t.f.get(), GetU32(r + ipage::kFirstChild), true);
            if (c.byte)
                p[c.offset] = static_cast<std::uint8_t>(c.value);
            else
                PutU32(p + c.offset, c.value);
        }
        TqvIndexContext x = t.Context(0);
        TqvCursorPath path;
        std::string key = Key(1);
        std::uint32_t ref = 0;
        EXPECT_EQ(ErrorOf([&] { FindKey(x, U8(key), ref, 0, path); }), c.error) << c.what;
        EXPECT_EQ(ErrorOf([&] { Add(0, 1, 1); }), c.error) << c.what;
        path = TqvCursorPath{};
        EXPECT_EQ(ErrorOf([&] {
                      while (NextKey(x, U8(key), ref, path)) {
                      }
                  }),
                  c.error)
            << c.what;
        t.bm.RollbackTransaction(t.tr);
    }
    // A cursor path from elsewhere deeper than the limit is refused too.
    t.Begin();
    TqvIndexContext x = t.Context(0);
    TqvCursorPath path;
    path.depth = 33;
    path.state = qvpsOnEntry;
    std::string key(12, '\0');
    std::uint32_t ref;
    EXPECT_EQ(ErrorOf([&] { NextKey(x, U8(key), ref, path); }), 64);
}

TEST_F(IndexTable, MergeOfPagesNotHalfFullIsReported) {
    // Root with two leaves of 126 and 127 entries after one split.
    for (std::uint32_t v = 0; v < 254; ++v) ASSERT_TRUE(Add(0, v, v + 1));
    ASSERT_TRUE(Delete(0, 253, 0));  // both leaves at exactly half (126)
    {
        // Make the left leaf claim fewer entries than half: a merge that
        // would follow must refuse rather than lose entries.
        TqvAccessScope access(t.f.get());
        std::uint8_t* l = GetBlock(t.f.get(), 2, true);
        PutU32(l + ipage::kCount, 100);
    }
    EXPECT_EQ(ErrorOf([&] { Delete(0, 5, 0); }), 67);
    t.bm.RollbackTransaction(t.tr);
}

TEST_F(IndexTable, AStoredKeyLengthUnlikeTheCallersIsRefusedBeforeAnyKeyIsCopied) {
    for (std::uint32_t v = 0; v < 20; ++v) ASSERT_TRUE(Add(1, v, v + 1));
    t.Commit();
    t.Begin();
    EXPECT_TRUE(IndexDefinitionMatches(t.f.get(), 0, 12, false));
    EXPECT_TRUE(IndexDefinitionMatches(t.f.get(), 1, 12, true));
    EXPECT_FALSE(IndexDefinitionMatches(t.f.get(), 1, 12, false)) << "flags differ";
    EXPECT_FALSE(IndexDefinitionMatches(t.f.get(), 0, 13, false)) << "length differs";
    EXPECT_FALSE(IndexDefinitionMatches(t.f.get(), 2, 12, false)) << "a reference-only slot";
    {
        // The header now claims 600-byte keys for slot 1.
        TqvAccessScope access(t.f.get());
        const std::uint8_t* h = GetHeaderBlock(t.f.get(), false);
        std::uint8_t* a = GetBlock(t.f.get(), GetU32(h + hdr::kIndexHeader), true);
        PutU16(a + ihdr::kKeyLength + 2, 600);
    }
    EXPECT_FALSE(IndexDefinitionMatches(t.f.get(), 1, 12, true));
    TqvIndexContext x = t.Context(1);
    x.keyLength = 12;
    TqvCursorPath path;
    std::string key = Key(3);
    std::uint32_t ref = 0;
    EXPECT_EQ(ErrorOf([&] { FindKey(x, U8(key), ref, 1, path); }), 64);
    path = TqvCursorPath{};
    EXPECT_EQ(ErrorOf([&] { NextKey(x, U8(key), ref, path); }), 64);
    EXPECT_EQ(ErrorOf([&] { AddKey(x, U8(key), 99); }), 64);
    EXPECT_EQ(key, Key(3)) << "nothing was copied into the caller's key";
    t.bm.RollbackTransaction(t.tr);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Ranks against a walk in order, on trees several levels deep (100-byte
// keys: 39 entries to a leaf, 37 to an interior page), through changes and
// a rollback that the kept subtree counts must follow.
constexpr std::uint32_t kRankKey = 100;
std::string LongKey(std::uint32_t v) {
    std::string k = Key(v);
    k.resize(kRankKey, '\0');
    return k;
}

struct RankTable : ::testing::Test {
    testsupport::TempDir dir;
    // Slot 0 unique, slot 1 duplicates allowed, slot 2 references only.
    Table t{(dir / "R.QVD").string(), 10,
            {IndexSpec{kRankKey, false, false}, IndexSpec{kRankKey, false, true}, IndexSpec{0, true, false}}};
    void SetUp() override { t.Begin(); }
    void TearDown() override {
        if (t.bm.HasTransaction(t.tr)) t.Commit();
    }
    // Every entry's rank and the entry at every rank, from a walk in order.
    void CheckRanks(std::uint32_t index, std::uint32_t expected) {
        TqvIndexContext c = t.Context(index);
        TqvCursorPath walk;
        walk.state = qvpsBeforeFirst;
        EXPECT_EQ(KeyRank(c, walk), 0u);
        std::string key(kRankKey, '\0'), at(kRankKey, '\0');
        std::uint32_t ref = 0, atRef = 0, i = 0;
        while (NextKey(c, U8(key), ref, walk)) {
            ASSERT_EQ(KeyRank(c, walk), i) << "index " << index;
            TqvCursorPath jump;
            ASSERT_TRUE(KeyAtRank(c, i, U8(at), atRef, jump)) << i;
            ASSERT_EQ(atRef, ref) << "index " << index << " rank " << i;
            if (index != 2) {
                ASSERT_EQ(at, key);
            }
            ASSERT_EQ(jump.state, qvpsOnEntry);
            // The path it gives steps on like any other.
            TqvCursorPath next = jump, nextWalk = walk;
            std::uint32_t r1 = 0, r2 = 0;
            ASSERT_EQ(NextKey(c, U8(at), r1, next), NextKey(c, U8(key), r2, nextWalk));
            ASSERT_EQ(r1, r2);
            ++i;
        }
        EXPECT_EQ(i, expected);
        EXPECT_EQ(walk.state, qvpsAfterLast);
        EXPECT_EQ(KeyRank(c, walk), expected) << "after the last: all of them";
        TqvCursorPath past;
        EXPECT_FALSE(KeyAtRank(c, expected, U8(at), atRef, past));
        EXPECT_EQ(past.state, qvpsAfterLast);
    }
    void Add(std::uint32_t index, std::uint32_t v, std::uint32_t ref) {
        TqvIndexContext c = t.Context(index);
        ASSERT_TRUE(AddKey(c, U8(LongKey(v)), ref));
    }
};

TEST_F(RankTable, EveryEntrysRankMatchesTheWalkThroughChangesAndARollback) {
    // 4000 entries; in the duplicates index each value three times.
    for (std::uint32_t v = 0; v < 4000; ++v) {
        const std::uint32_t s = (v * 7919) % 4000;
        Add(0, s, s + 1);
        Add(1, s / 3, s + 1);
        Add(2, 0, s + 1);
    }
    for (std::uint32_t index : {0u, 1u, 2u}) CheckRanks(index, 4000);
    // Deleting from the front shifts every rank after it; the counts kept
    // from the check above must not answer for the old tree.
    TqvIndexContext c0 = t.Context(0);
    for (std::uint32_t v = 0; v < 800; ++v) ASSERT_TRUE(DeleteKey(c0, U8(LongKey((v * 11) % 4000)), 0));
    CheckRanks(0, 3200);
    t.Commit();
    // Added in a transaction that is rolled back: the ranks are those
    // before it again.
    t.Begin();
    for (std::uint32_t v = 5000; v < 5300; ++v) Add(0, v, v);
    CheckRanks(0, 3500);
    t.bm.RollbackTransaction(t.tr);
    t.Begin();
    CheckRanks(0, 3200);
}

TEST_F(RankTable, CracksCountTheEntriesBeforeThem) {
    for (std::uint32_t v = 1; v <= 600; ++v) Add(0, 2 * v, v);  // 2, 4, ..., 1200
    TqvIndexContext c = t.Context(0);
    struct Case {
        std::uint32_t value;
        int mode;
        std::uint32_t rank;
    } cases[] = {
        {1, 2, 0},      // before the first
        {2, 2, 0},      // on the first
        {2, 1, 1},      // past it
        {601, 2, 300},  // between 600 and 602: before 602
        {600, 1, 300},
        {1200, 2, 599},
        {1200, 1, 600},  // past the last
        {1300, 2, 600},
    };
    for (const Case& x : cases) {
        TqvCursorPath path;
        std::string key = LongKey(x.value);
        std::uint32_t ref = 0;
        FindKey(c, U8(key), ref, x.mode, path);
        EXPECT_EQ(KeyRank(c, path), x.rank) << x.value << " mode " << x.mode;
    }
    // A crack left by the search itself: on a leaf before or after an entry.
    TqvCursorPath path;
    std::string key = LongKey(601);
    std::uint32_t ref = 0;
    FindKey(c, U8(key), ref, 2, path);
    ASSERT_EQ(path.state, qvpsOnEntry);
    path.state = qvpsCrackBefore;
    EXPECT_EQ(KeyRank(c, path), 300u);
    path.state = qvpsCrackAfter;
    EXPECT_EQ(KeyRank(c, path), 301u);
}

}  // namespace
}  // namespace qv
