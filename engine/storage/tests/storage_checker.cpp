#include "engine/storage/tests/storage_checker.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/storage/blobs.h"
#include "engine/storage/records.h"

namespace qv::testing {

int MemKeyCompare(const std::uint8_t* a, const std::uint8_t* b, const void* context) {
    int r = std::memcmp(a, b, *static_cast<const std::uint32_t*>(context));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

Table::Table(const std::string& path, std::uint32_t recordLength, std::vector<IndexSpec> indexes,
             std::uint32_t blockSize)
    : OpenFile(path), specs(std::move(indexes)) {
    Create(blockSize, recordLength);
    for (const IndexSpec& s : specs) lengths.push_back(s.refOnly ? 4 : s.keyLength);
    Begin();
    CreateIndexHeaderBlock(f.get());
    for (std::uint32_t i = 0; i < specs.size(); ++i)
        DefineIndex(f.get(), i, specs[i].keyLength, specs[i].refOnly, specs[i].dups);
    Commit();
}

TqvIndexContext Table::Context(std::uint32_t index) {
    TqvIndexContext c;
    c.file = f.get();
    c.index = index;
    if (specs[index].refOnly) {
        c.compare = QvCompareRefKeysProc;
    } else {
        c.compare = MemKeyCompare;
        c.compareContext = &lengths[index];
    }
    return c;
}

void Table::Begin() {
    f->transaction = ++tr;
    bm.StartTransaction(tr, false, "");
}

void Table::Commit() { bm.CommitTransaction(tr); }

void Table::CommitAndForget() {
    Commit();
    bm.RemoveFile(f.get());
    Begin();
}

namespace {

struct Walker {
    Table& t;
    std::uint32_t index, keyLength, leafMax, nodeMax;
    bool refOnly;
    TreeFacts facts;

    void Walk(std::uint32_t page, int level, bool root) {
        ASSERT_TRUE(facts.pages.insert(page).second) << "page " << page << " reached twice";
        const std::uint8_t* b = GetBlock(t.f.get(), page, false);
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(b), 4), "QVIH") << page;
        ASSERT_EQ(GetU32(b + 8), page);
        ASSERT_EQ(b[ipage::kKind], 1);
        const bool leaf = b[ipage::kLeaf] == 1;
        if (level) {
            ASSERT_EQ(b[ipage::kLevel], level) << page;
        }
        level = b[ipage::kLevel];
        ASSERT_EQ(leaf, level == 1) << page;
        const std::uint32_t max = leaf ? leafMax : nodeMax, count = GetU32(b + ipage::kCount);
        ASSERT_EQ(GetU32(b + ipage::kMax), max);
        ASSERT_LE(count, max);
        ASSERT_GE(count, root ? 1u : max / 2) << "underfull page " << page;
        ASSERT_EQ(GetU16(b + ipage::kIndex), index);
        if (leaf) {
            ASSERT_EQ(GetU32(b + ipage::kFirstChild), kQvNone);
        }
        auto entry = [&](std::uint32_t i) {
            const std::uint8_t* refs = b + ipage::kArrays + (leaf ? 0 : 4 * max);
            std::uint32_t ref = GetU32(refs + 4 * i);
            std::string key = refOnly ? std::string(reinterpret_cast<const char*>(refs + 4 * i), 4)
                                      : std::string(reinterpret_cast<const char*>(b + ipage::kArrays +
                                                                                  (leaf ? 4 : 8) * max +
                                                                                  keyLength * i),
                                                    keyLength);
            facts.entries.emplace_back(key, ref);
        };
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!leaf) {
                std::uint32_t child = i == 0 ? GetU32(b + ipage::kFirstChild) : GetU32(b + ipage::kArrays + 4 * (i - 1));
                Walk(child, level - 1, false);
                if (::testing::Test::HasFatalFailure()) return;
                b = GetBlock(t.f.get(), page, false);
            }
            entry(i);
        }
        if (!leaf) Walk(GetU32(b + ipage::kArrays + 4 * (count - 1)), level - 1, false);
    }
};

}  // namespace

TreeFacts CheckTree(Table& t, std::uint32_t index) {
    TqvAccessScope access(t.f.get());
    const std::uint8_t* h = GetHeaderBlock(t.f.get(), false);
    const std::uint8_t* a = GetBlock(t.f.get(), GetU32(h + hdr::kIndexHeader), false);
    const IndexSpec& s = t.specs[index];
    Walker w{t,
             index,
             t.lengths[index],
             QvIndexPageCapacity(t.f->blockSize, t.lengths[index], s.refOnly, true),
             QvIndexPageCapacity(t.f->blockSize, t.lengths[index], s.refOnly, false),
             s.refOnly,
             {}};
    const std::uint32_t root = GetU32(a + ihdr::kRoot + 4 * index);
    if (root != kQvNone) w.Walk(root, 0, true);
    a = GetBlock(t.f.get(), GetU32(h + hdr::kIndexHeader), false);
    EXPECT_EQ(GetU32(a + ihdr::kKeyCount + 4 * index), w.facts.entries.size()) << "index " << index;
    EXPECT_EQ(GetU32(a + ihdr::kPageCount + 4 * index), w.facts.pages.size()) << "index " << index;
    TqvIndexContext c = t.Context(index);
    for (std::size_t i = 1; i < w.facts.entries.size(); ++i) {
        const auto& x = w.facts.entries[i - 1];
        const auto& y = w.facts.entries[i];
        int r = c.compare(reinterpret_cast<const std::uint8_t*>(x.first.data()),
                          reinterpret_cast<const std::uint8_t*>(y.first.data()), c.compareContext);
        if (r == 0 && s.dups) r = x.second < y.second ? -1 : x.second > y.second ? 1 : 0;
        EXPECT_LT(r, 0) << "index " << index << " out of order at " << i;
        if (r >= 0) break;
    }
    return w.facts;
}

void CheckBlocks(Table& t, const std::set<std::uint32_t>& indexPages,
                 const std::map<std::uint32_t, std::uint32_t>& liveBlobs, std::uint32_t liveRecords) {
    TqvAccessScope access(t.f.get());
    TbtdFileInfo* f = t.f.get();
    const std::uint32_t bs = f->blockSize, log2 = f->log2;
    const std::uint8_t* h = GetHeaderBlock(f, false);
    const std::uint32_t blocks = GetU32(h + hdr::kBlockCount);
    std::set<std::uint32_t> dead, data, descriptors, segments, pages, other;
    for (std::uint32_t n = 1; n < blocks; ++n) {
        const std::uint8_t* b = GetBlock(f, n, false);
        std::string sig(reinterpret_cast<const char*>(b), 4);
        if (sig == "DEAD") dead.insert(n);
        else if (sig == "QVDH") data.insert(n);
        else if (sig == "QVBH") (GetU32(b + bblk::kKind) == 0 ? descriptors : segments).insert(n);
        else if (sig == "QVIH" && b[ipage::kKind] == 1) pages.insert(n);
        else other.insert(n);
    }
    // Free chain: exactly the dead blocks.
    std::set<std::uint32_t> chain;
    for (std::uint32_t n = GetU32(h + hdr::kFirstFree); n != kQvNone; n = GetU32(GetBlock(f, n, false) + 4)) {
        ASSERT_TRUE(dead.count(n)) << "free chain reaches " << n;
        ASSERT_TRUE(chain.insert(n).second) << "free chain loops at " << n;
    }
    EXPECT_EQ(chain, dead);
    EXPECT_EQ(GetU32(h + hdr::kFreeCount), dead.size());
    EXPECT_EQ(pages, indexPages) << "index pages leaked or missing";
    EXPECT_EQ(other.size(), 1u) << "only the index header block is left";
    // Data blocks: the chain in both directions, slot counts, deleted chain.
    std::set<std::uint32_t> dataChain;
    std::uint32_t prior = kQvNone, live = 0, freeSlots = 0;
    const std::uint32_t slot = GetU32(h + hdr::kSlotLength), perBlock = GetU32(h + hdr::kRecordsPerBlock);
    for (std::uint32_t n = GetU32(h + hdr::kFirstDataBlock); n != kQvNone;) {
        ASSERT_TRUE(data.count(n) && dataChain.insert(n).second) << "data chain at " << n;
        const std::uint8_t* b = GetBlock(f, n, false);
        EXPECT_EQ(GetU32(b + dblk::kPrior), prior);
        for (std::uint32_t k = 0; k < perBlock; ++k) (GetU32(b + 32 + k * slot) == 0 ? live : freeSlots)++;
        prior = n;
        n = GetU32(b + dblk::kNext);
    }
    EXPECT_EQ(dataChain, data);
    EXPECT_EQ(GetU32(h + hdr::kLastDataBlock), prior);
    EXPECT_EQ(live, liveRecords);
    EXPECT_EQ(GetU32(h + hdr::kRecordCount), liveRecords);
    EXPECT_EQ(GetU32(h + hdr::kDeletedCount), freeSlots);
    std::uint32_t deletedChain = 0;
    for (std::uint32_t r = GetU32(h + hdr::kFirstDeleted); r != kQvNone; ++deletedChain) {
        ASSERT_LE(deletedChain, freeSlots) << "deleted chain loops";
        const std::uint8_t* b = GetBlock(f, r >> log2, false);
        r = GetU32(b + (r & (bs - 1)));
        ASSERT_NE(r, 0u) << "live slot in the deleted chain";
    }
    EXPECT_EQ(deletedChain, freeSlots);
    // BLOBs: live descriptors are the model's, their chains its segments.
    std::set<std::uint32_t> liveFound, segmentsFound;
    std::uint32_t freeDescriptors = 0;
    const std::uint32_t perDescBlock = (bs - 32) / kQvBLOBDescriptorSize;
    for (std::uint32_t n : descriptors) {
        const std::uint8_t* b = GetBlock(f, n, false);
        for (std::uint32_t i = 0; i < perDescBlock; ++i) {
            const std::uint8_t* d = b + 32 + i * kQvBLOBDescriptorSize;
            const std::uint32_t nr = (n << log2) + 32 + i * kQvBLOBDescriptorSize;
            if (GetU32(d + bdesc::kSegments) == kQvFreedBLOBSegments) {
                ++freeDescriptors;
                continue;
            }
            EXPECT_EQ(GetU32(d + bdesc::kLink), kQvNone);
            liveFound.insert(nr);
            auto it = liveBlobs.find(nr);
            if (it == liveBlobs.end()) continue;
            EXPECT_EQ(GetU32(d + bdesc::kLength), it->second) << "blob " << nr;
            std::uint32_t count = 0;
            for (std::uint32_t s = GetU32(d + bdesc::kFirstSegment); s != kQvNone; ++count) {
                ASSERT_TRUE(segmentsFound.insert(s >> log2).second) << "segment shared " << s;
                const std::uint8_t* sb = GetBlock(f, s >> log2, false);
                EXPECT_EQ(GetU32(sb + bblk::kOwner), nr);
                s = GetU32(sb + bblk::kNext);
            }
            EXPECT_EQ(count, QvBLOBSegmentsFor(it->second, bs)) << "blob " << nr;
            EXPECT_EQ(GetU32(d + bdesc::kSegments), count);
        }
    }
    std::set<std::uint32_t> expectLive;
    for (const auto& kv : liveBlobs) expectLive.insert(kv.first);
    EXPECT_EQ(liveFound, expectLive);
    EXPECT_EQ(segmentsFound, segments) << "segment blocks leaked";
    EXPECT_EQ(GetU32(h + hdr::kBlobCount), liveBlobs.size());
    std::uint32_t freeChain = 0;
    for (std::uint32_t nr = GetU32(h + hdr::kFirstFreeBlob); nr != kQvNone; ++freeChain) {
        ASSERT_LE(freeChain, freeDescriptors) << "descriptor chain loops";
        const std::uint8_t* d = GetBlock(f, nr >> log2, false) + (nr & (bs - 1));
        ASSERT_EQ(GetU32(d + bdesc::kSegments), kQvFreedBLOBSegments) << "live descriptor in the free chain";
        nr = GetU32(d + bdesc::kLink);
    }
    EXPECT_EQ(freeChain, freeDescriptors);
}

}  // namespace qv::testing
