// A table with records, BLOBs and indexes for the storage tests, and a
// checker of everything the file must satisfy between operations.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/storage/btree.h"
#include "engine/storage/tests/storage_test_util.h"

namespace qv::testing {

// Keys compared as plain bytes; the context is the key length.
int MemKeyCompare(const std::uint8_t* a, const std::uint8_t* b, const void* context);

struct IndexSpec {
    std::uint32_t keyLength;  // ignored for a reference-only index
    bool refOnly, dups;
};

// An open table of 4096-byte blocks with an index header and `indexes`
// defined in slots 0.., committed. Each operation runs in the access window.
struct Table : OpenFile {
    std::vector<IndexSpec> specs;
    std::vector<std::uint32_t> lengths;
    std::uint32_t tr = 1;

    Table(const std::string& path, std::uint32_t recordLength, std::vector<IndexSpec> indexes,
          std::uint32_t blockSize = 4096);
    TqvIndexContext Context(std::uint32_t index);
    void Begin();
    void Commit();
    // Commits and drops every cached page, so what follows reads the disk.
    void CommitAndForget();
};

// Entries of a tree in order, with the pages it uses.
struct TreeFacts {
    std::vector<std::pair<std::string, std::uint32_t>> entries;
    std::set<std::uint32_t> pages;
};

// Order, fill, levels, counts of one tree; failures are reported to gtest.
TreeFacts CheckTree(Table& t, std::uint32_t index);

// Every block accounted for: data chain and slots, BLOB descriptors and
// segments of `liveBlobs` (with their lengths), index pages of `indexPages`,
// the free chain. Failures are reported to gtest.
void CheckBlocks(Table& t, const std::set<std::uint32_t>& indexPages,
                 const std::map<std::uint32_t, std::uint32_t>& liveBlobs, std::uint32_t liveRecords);

}  // namespace qv::testing
