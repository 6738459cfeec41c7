// Random operations on records, BLOBs and three indexes, checked against a
// plain in-memory model and the file checker. Fixed seeds keep failures
// reproducible.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/blobs.h"
#include "engine/storage/btree.h"
#include "engine/storage/records.h"
#include "engine/storage/tests/storage_checker.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::IndexSpec;
using testing::Table;

constexpr std::uint32_t kRecordLength = 20;
// Index 0 holds references only; index 1 is unique over a long key (few
// entries per page, so the tree grows several levels); index 2 allows
// duplicates over a short key with few distinct values.
constexpr std::uint32_t kLongKey = 300, kShortKey = 64;
// The whole-file check runs this often; the walks and BLOB reads 20 times
// less often, each followed by a commit that empties the cache.
constexpr int kCheckEvery = 25;

std::string LongKey(std::uint32_t v) {
    std::string k(kLongKey, '\0');
    for (int i = 0; i < 4; ++i) k[i] = static_cast<char>(v >> (24 - 8 * i));  // big-endian: bytes sort as numbers
    std::memset(k.data() + 4, static_cast<int>('a' + v % 26), 40);
    return k;
}
std::string ShortKey(std::uint32_t v) {
    std::string k(kShortKey, '\0');
    k[0] = static_cast<char>('A' + v % 23);
    return k;
}
const std::uint8_t* U8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

struct Model {
    std::map<std::uint32_t, std::uint32_t> records;  // ref -> key value
    std::map<std::uint32_t, std::string> blobs;
    std::set<std::uint32_t> keyValues;

    std::vector<std::pair<std::string, std::uint32_t>> Expected(int index) const {
        std::vector<std::pair<std::string, std::uint32_t>> v;
        for (const auto& [ref, value] : records) {
            std::string k;
            if (index == 0) {
                k.resize(4);
                PutU32(k.data(), ref);
            } else {
                k = index == 1 ? LongKey(value) : ShortKey(value);
            }
            v.emplace_back(k, ref);
        }
        if (index == 0) {
            // Record references compare as signed numbers in the sequential index.
            std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
                return static_cast<std::int32_t>(a.second) < static_cast<std::int32_t>(b.second);
            });
        } else {
            std::sort(v.begin(), v.end());
        }
        return v;
    }
};

class StorageModel : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    Table t{(dir / "M.QVD").string(), kRecordLength,
            {IndexSpec{0, true, false}, IndexSpec{kLongKey, false, false}, IndexSpec{kShortKey, false, true}}};
    Model m;
    std::mt19937 rng{20261210};

    std::uint32_t Rand(std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng); }

    std::string Record(std::uint32_t value) {
        std::string r(kRecordLength, '\0');
        PutU32(r.data(), value);
        for (std::uint32_t i = 4; i < kRecordLength; ++i) r[i] = static_cast<char>(value * 7 + i);
        return r;
    }

    void AddKeys(std::uint32_t ref, std::uint32_t value) {
        std::uint8_t none[4];
        TqvIndexContext c0 = t.Context(0), c1 = t.Context(1), c2 = t.Context(2);
        ASSERT_TRUE(AddKey(c0, none, ref));
        ASSERT_TRUE(AddKey(c1, U8(LongKey(value)), ref));
        ASSERT_TRUE(AddKey(c2, U8(ShortKey(value)), ref));
    }
    void DeleteKeys(std::uint32_t ref, std::uint32_t value) {
        std::uint8_t none[4];
        TqvIndexContext c0 = t.Context(0), c1 = t.Context(1), c2 = t.Context(2);
        ASSERT_TRUE(DeleteKey(c0, none, ref));
        ASSERT_TRUE(DeleteKey(c1, U8(LongKey(value)), ref));
        ASSERT_TRUE(DeleteKey(c2, U8(ShortKey(value)), ref));
    }
    std::uint32_t PickRecord() {
        auto it = m.records.begin();
        std::advance(it, Rand(static_cast<std::uint32_t>(m.records.size())));
        return it->first;
    }
    std::uint32_t PickBlob() {
        auto it = m.blobs.begin();
        std::advance(it, Rand(static_cast<std::uint32_t>(m.blobs.size())));
        return it->first;
    }
    std::uint32_t FreshValue() {
        std::uint32_t v;
        do v = Rand(1000000); while (m.keyValues.count(v));
        return v;
    }

    void Step() {
        const std::uint32_t op = Rand(100);
        if (op < 30 || m.records.size() < 5) {
            std::uint32_t v = FreshValue(), ref;
            AddRecord(t.f.get(), ref, Record(v).data());
            ASSERT_FALSE(m.records.count(ref));
            m.records[ref] = v;
            m.keyValues.insert(v);
            AddKeys(ref, v);
        } else if (op < 48) {
            std::uint32_t ref = PickRecord(), v = m.records[ref];
            DeleteRecord(t.f.get(), ref);
            DeleteKeys(ref, v);
            m.records.erase(ref);
            m.keyValues.erase(v);
        } else if (op < 58) {
            // Update with a new key: the index entries move.
            std::uint32_t ref = PickRecord(), old = m.records[ref], v = FreshValue();
            UpdateRecord(t.f.get(), ref, Record(v).data());
            DeleteKeys(ref, old);
            AddKeys(ref, v);
            m.keyValues.erase(old);
            m.keyValues.insert(v);
            m.records[ref] = v;
        } else if (op < 62) {
            // A second entry for a key of a unique index is refused.
            std::uint32_t ref = PickRecord();
            TqvIndexContext c1 = t.Context(1);
            ASSERT_FALSE(AddKey(c1, U8(LongKey(m.records[ref])), ref ^ 0x1000));
            ASSERT_FALSE(DeleteKey(c1, U8(LongKey(FreshValue())), ref));
        } else if (op < 70 || m.blobs.empty()) {
            std::uint32_t nr;
            AddBLOB(t.f.get(), nr);
            ASSERT_FALSE(m.blobs.count(nr));
            m.blobs[nr] = std::string();
        } else if (op < 84) {
            std::uint32_t nr = PickBlob();
            std::string& model = m.blobs[nr];
            std::uint32_t offset = Rand(static_cast<std::uint32_t>(model.size()) + 1);
            std::uint32_t length = Rand(3) == 0 ? Rand(300) : Rand(3 * 4064 + 600);
            std::string data(length, '\0');
            for (auto& ch : data) ch = static_cast<char>(Rand(256));
            QVTblWriteBLOB(t.f.get(), nr, offset, length, data.data());
            if (model.size() < offset + length) model.resize(offset + length);
            model.replace(offset, length, data);
        } else if (op < 90) {
            std::uint32_t nr = PickBlob();
            std::string& model = m.blobs[nr];
            std::uint32_t n = Rand(static_cast<std::uint32_t>(model.size()) + 1);
            QVTblTruncateBLOB(t.f.get(), nr, n);
            model.resize(n);
        } else if (op < 95) {
            std::uint32_t nr = PickBlob();
            FreeBLOB(t.f.get(), nr);
            m.blobs.erase(nr);
        } else {
            std::uint32_t nr = PickBlob();
            bool empty = m.blobs[nr].empty();
            ASSERT_EQ(FreeBLOBIfEmpty(t.f.get(), nr), empty);
            if (empty) m.blobs.erase(nr);
        }
    }

    void CheckBlobs() {
        for (const auto& [nr, data] : m.blobs) {
            int error = 0;
            ASSERT_EQ(GetBLOBLength(t.f.get(), nr, error), data.size());
            // A read from a random offset, past the end when it likes.
            std::uint32_t offset = Rand(static_cast<std::uint32_t>(data.size()) + 2);
            std::string got(data.size() + 10, '\0');
            std::uint32_t n = 0;
            QVTblReadBLOB(t.f.get(), nr, offset, got.size(), got.data(), n, error);
            std::string want = offset < data.size() ? data.substr(offset) : std::string();
            ASSERT_EQ(got.substr(0, n), want) << "blob " << nr << " offset " << offset;
        }
    }

    void CheckRecords() {
        std::map<std::uint32_t, std::uint32_t> seen;
        std::string buf(kRecordLength, '\0');
        std::uint32_t ref = 0, next;
        while (true) {
            NextRecord(t.f.get(), ref, next, buf.data());
            if (next == 0) break;
            ASSERT_TRUE(seen.emplace(next, GetU32(buf.data())).second);
            ASSERT_EQ(buf, Record(GetU32(buf.data())));
            ref = next;
        }
        ASSERT_EQ(seen, m.records);
    }

    void CheckWalks(int index) {
        auto expected = m.Expected(index);
        TqvIndexContext c = t.Context(index);
        TqvCursorPath path;
        std::string key(t.lengths[index], '\0');
        std::uint32_t ref;
        std::vector<std::pair<std::string, std::uint32_t>> forward, backward;
        while (NextKey(c, U8M(key), ref, path)) forward.emplace_back(key, ref);
        ASSERT_EQ(path.state, qvpsAfterLast);
        while (PriorKey(c, U8M(key), ref, path)) backward.emplace_back(key, ref);
        ASSERT_EQ(path.state, qvpsBeforeFirst);
        std::reverse(backward.begin(), backward.end());
        ASSERT_EQ(forward, expected) << "index " << index;
        ASSERT_EQ(backward, expected) << "index " << index;
    }
    static std::uint8_t* U8M(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

    void CheckAll() {
        std::set<std::uint32_t> pages;
        for (std::uint32_t i = 0; i < 3; ++i) {
            auto facts = testing::CheckTree(t, i);
            ASSERT_EQ(facts.entries.size(), m.records.size());
            pages.insert(facts.pages.begin(), facts.pages.end());
        }
        std::map<std::uint32_t, std::uint32_t> lengths;
        for (const auto& [nr, data] : m.blobs) lengths[nr] = static_cast<std::uint32_t>(data.size());
        testing::CheckBlocks(t, pages, lengths, static_cast<std::uint32_t>(m.records.size()));
    }
};

TEST_F(StorageModel, TenThousandRandomStepsMatchTheModel) {
    t.Begin();
    for (int step = 1; step <= 10000; ++step) {
        ASSERT_NO_FATAL_FAILURE(Step()) << "step " << step;
        if (step % kCheckEvery == 0) {
            ASSERT_NO_FATAL_FAILURE(CheckAll()) << "step " << step;
            if (::testing::Test::HasFailure()) FAIL() << "step " << step;
        }
        if (step % 500 == 0) {
            ASSERT_NO_FATAL_FAILURE(CheckRecords()) << "step " << step;
            ASSERT_NO_FATAL_FAILURE(CheckBlobs()) << "step " << step;
            for (int i = 0; i < 3; ++i) ASSERT_NO_FATAL_FAILURE(CheckWalks(i)) << "step " << step;
            t.CommitAndForget();
        }
        if (step % 1000 == 0) {
            // A burst of changes rolled back leaves the file, cache and all,
            // as it was: a page changed without being bound first would keep
            // its change in the cache and fail the checks.
            Model before = m;
            for (int i = 0; i < 100; ++i) ASSERT_NO_FATAL_FAILURE(Step()) << "rolled-back step " << i;
            t.bm.RollbackTransaction(t.tr);
            m = before;
            t.Begin();
            ASSERT_NO_FATAL_FAILURE(CheckAll()) << "after rollback at step " << step;
            ASSERT_NO_FATAL_FAILURE(CheckBlobs());
            for (int i = 0; i < 3; ++i) ASSERT_NO_FATAL_FAILURE(CheckWalks(i));
        }
    }
    // Exact look-ups of every live key, then everything goes.
    for (const auto& [ref, v] : m.records) {
        TqvIndexContext c1 = t.Context(1);
        TqvCursorPath path;
        std::string key = LongKey(v);
        std::uint32_t got = 0;
        ASSERT_TRUE(FindKey(c1, reinterpret_cast<std::uint8_t*>(key.data()), got, 0, path));
        ASSERT_EQ(got, ref);
    }
    while (!m.records.empty()) {
        std::uint32_t ref = m.records.begin()->first, v = m.records.begin()->second;
        DeleteRecord(t.f.get(), ref);
        DeleteKeys(ref, v);
        m.records.erase(ref);
    }
    while (!m.blobs.empty()) {
        FreeBLOB(t.f.get(), m.blobs.begin()->first);
        m.blobs.erase(m.blobs.begin());
    }
    t.CommitAndForget();
    CheckAll();
    TqvAccessScope access(t.f.get());
    const std::uint8_t* h = GetHeaderBlock(t.f.get(), false);
    const std::uint8_t* a = GetBlock(t.f.get(), GetU32(h + hdr::kIndexHeader), false);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(GetU32(a + ihdr::kRoot + 4 * i), kQvNone);
        EXPECT_EQ(GetU32(a + ihdr::kPageCount + 4 * i), 0u);
    }
    t.Commit();
}

}  // namespace
}  // namespace qv
