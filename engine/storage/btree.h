// B-tree indexes. Every index of a table is a B-tree of "QVIH" pages in the
// file its descriptor names; one index header block per file (number in
// file header +92) keeps, per index slot 0..255, the key length, flags, key
// count, root page and page count.
//
// A page holds up to M entries (M odd, 2h + 1), each a key and the record
// reference of its record; entries are not repeated in the leaves. An
// interior page also holds M + 1 children: child j (0..count) lies between
// entries j - 1 and j; child 0 is kept at +28, child j >= 1 in the child
// array at j - 1. Keys are ordered by the index's compare routine and, where
// duplicates are allowed, equal keys by record reference (unsigned).
//
// Invariants the routines keep: every page but the root holds at least h
// entries; all leaves are at level 1 and a parent's level is its children's
// plus one, so a path from the root is at most the root's level (<= 32)
// long; the index's page count is the number of pages of its tree.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/storage/table_file.h"

namespace qv {

class TqvDataDictionary;

constexpr std::uint32_t kQvMaxIndexDepth = 32;
constexpr std::uint32_t kQvIndexSlots = 256;

// Index header block: arrays of the 256 slots.
namespace ihdr {
constexpr std::uint32_t kKind = 12, kKeyLength = 32, kFlags = 544, kKeyCount = 800, kRoot = 1824, kPageCount = 2848;
constexpr std::uint8_t kAllowDuplicates = 1, kRefOnly = 2;
}  // namespace ihdr

// Index page head.
namespace ipage {
constexpr std::uint32_t kKind = 12, kLeaf = 13, kLevel = 14, kRefOnly = 15, kIndex = 16, kKeyLength = 18,
                        kCount = 20, kMax = 24, kFirstChild = 28, kArrays = 32;
}

// Compare routine of an index: negative, 0 or positive for a against b.
using TqvKeyCompareProc = int (*)(const std::uint8_t* a, const std::uint8_t* b, const void* context);

// Composite keys (context: a TqvKeyContext) and record references of the
// sequential index (context unused).
int QvCompareKeysProc(const std::uint8_t* a, const std::uint8_t* b, const void* context);
// The same for an index of one 32-bit integer, date or time field, the
// commonest key, without looking up its descriptors on every compare.
int QvCompareInt32KeyProc(const std::uint8_t* a, const std::uint8_t* b, const void* context);
// The routine for a dictionary's (non-user) index: one of the two above.
TqvKeyCompareProc QvKeyCompareProcFor(const TqvDataDictionary& d, std::uint32_t index);
int QvCompareRefKeysProc(const std::uint8_t* a, const std::uint8_t* b, const void* context);

struct TqvIndexContext {
    TbtdFileInfo* file = nullptr;
    std::uint32_t index = 0;
    TqvKeyCompareProc compare = nullptr;
    const void* compareContext = nullptr;
    // The compare context looks at leading key fields only (or a partial
    // last field), so several entries may equal one key.
    bool partialCompare = false;
    // The length of the caller's key buffers; when set, an index whose
    // stored key length differs is refused as corrupt rather than letting
    // a damaged header make a walk copy past the caller's key.
    std::uint32_t keyLength = 0;
    // Filled by each operation.
    std::uint8_t* header = nullptr;
    std::uint8_t* arrays = nullptr;
};

struct TqvPathLevel {
    std::uint32_t page = 0;
    std::int32_t position = 0;
};

enum : std::uint8_t {
    qvpsNone = 0,
    qvpsBeforeFirst = 1,
    qvpsCrackBefore = 2,  // before the entry at the path position
    qvpsCrackAfter = 3,   // after the entry at the path position
    qvpsOnEntry = 4,
    qvpsAfterLast = 5,
};

// A cursor's place in a tree: (page, position) per level from the root down;
// interior levels hold the position left of the child taken (-1 for child 0).
struct TqvCursorPath {
    std::uint32_t depth = 0;
    TqvPathLevel levels[kQvMaxIndexDepth];
    std::uint8_t state = qvpsNone;
};

// Entries a page holds for this geometry (odd), 0 when not even 3 fit.
std::uint32_t QvIndexPageCapacity(std::uint32_t blockSize, std::uint32_t keyLength, bool refOnly, bool leaf);

void CreateIndexHeaderBlock(TbtdFileInfo* file);
void DefineIndex(TbtdFileInfo* file, std::uint32_t n, std::uint32_t keyLength, bool refOnly, bool allowDups);
// Whether index slot `n` holds what DefineIndex(file, n, keyLength, false,
// allowDups) wrote: the same key length and flags.
bool IndexDefinitionMatches(TbtdFileInfo* file, std::uint32_t n, std::uint32_t keyLength, bool allowDups);
void RemoveIndexSlot(TbtdFileInfo* file, std::uint32_t n);

bool AddKey(TqvIndexContext& ctx, const std::uint8_t* key, std::uint32_t ref);
bool DeleteKey(TqvIndexContext& ctx, const std::uint8_t* key, std::uint32_t ref);
// Mode 0: exact; 1: on the first entry greater than the key; 2: on the first
// entry not less than it. `key` (key-length bytes) receives the entry found.
bool FindKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, int mode, TqvCursorPath& path);
bool NextKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path);
bool PriorKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path);
// Forward steps as NextKey takes them, with the index's shape read once for
// the whole run instead of at every step: for many steps inside one request,
// with no write between them and an access scope of the file's buffer manager
// open around the walk, so that the pages it holds stay in memory.
class TqvForwardWalk {
public:
    explicit TqvForwardWalk(TqvIndexContext& ctx);
    ~TqvForwardWalk();
    TqvForwardWalk(const TqvForwardWalk&) = delete;
    TqvForwardWalk& operator=(const TqvForwardWalk&) = delete;
    bool Next(std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
// The entry the path stands on (state 4).
bool CurrentKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, const TqvCursorPath& path);
void ClearIndex(TqvIndexContext& ctx);
// The number of entries before the path's place in index order: 0 before
// the first, all of them after the last; an entry's own 0-based rank.
// Subtree sizes are counted from the pages once and then kept with the
// file until the block cache sees a change, so a repeated call reads only
// the pages on the path.
std::uint32_t KeyRank(TqvIndexContext& ctx, const TqvCursorPath& path);
// Puts the path on the entry of 0-based rank `rank` (state 4) and gives its
// key and reference; false, with the path after the last, past the end.
bool KeyAtRank(TqvIndexContext& ctx, std::uint32_t rank, std::uint8_t* key, std::uint32_t& ref,
               TqvCursorPath& path);

// kind 0: the index header block; 1: a tree page.
std::uint8_t* ReadIndexPage(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n,
                            std::uint8_t kind);
// A new, empty page of `index` (level 1 for a leaf, else `level`).
std::uint8_t* NewIndexPage(TbtdFileInfo* file, std::uint8_t* header, std::uint8_t* arrays, bool leaf,
                           std::uint32_t index, std::uint8_t level, std::uint32_t& n);

}  // namespace qv
