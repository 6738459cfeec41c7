#include "engine/storage/btree.h"
#include "platform/core/check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/base/string_resource.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/field_types.h"

namespace qv {

namespace {

constexpr int kBadIndexBlock = 64, kMergeNotHalf = 67;
constexpr std::uint32_t kFlushEvery = 51;

[[noreturn]] void RaiseParameter(const char* routine, int parameter) {
    RaiseQvException(QvExceptionClass::Server, QvTable::General, 114, {routine, parameter});
}

// The geometry of one index, taken from its slot (not from its pages).
struct Shape {
    std::uint32_t keyLength;  // 4 for a reference-only index
    bool refOnly, dups;
    std::uint32_t leafMax, nodeMax;
};

// A tree page with the geometry of its index.
struct Page {
    std::uint8_t* b = nullptr;
    std::uint32_t n = 0;
    std::uint32_t max = 0;
    const Shape* s = nullptr;
    bool leaf = true;

    std::uint32_t Count() const { return GetU32(b + ipage::kCount); }
    void SetCount(std::uint32_t c) { PutU32(b + ipage::kCount, c); }
    std::uint8_t Level() const { return b[ipage::kLevel]; }
    std::uint8_t* RefAt(std::uint32_t i) const { return b + ipage::kArrays + (leaf ? 0 : 4 * max) + 4 * i; }
    std::uint32_t Ref(std::uint32_t i) const { return GetU32(RefAt(i)); }
    // A reference-only index keeps no key bytes: the reference is the key.
    std::uint8_t* KeyAt(std::uint32_t i) const {
        return s->refOnly ? RefAt(i) : b + ipage::kArrays + (leaf ? 4 : 8) * max + s->keyLength * i;
    }
    std::uint32_t Child(std::uint32_t j) const {
        return j == 0 ? GetU32(b + ipage::kFirstChild) : GetU32(b + ipage::kArrays + 4 * (j - 1));
    }
    void SetChild(std::uint32_t j, std::uint32_t v) {
        PutU32(j == 0 ? b + ipage::kFirstChild : b + ipage::kArrays + 4 * (j - 1), v);
    }
};

// The entries of neighbouring pages laid end to end, for redistribution.
struct Run {
    std::vector<std::uint32_t> refs;
    std::vector<std::uint8_t> keys;
    std::vector<std::uint32_t> children;
};

class Tree {
public:
    explicit Tree(TqvIndexContext& ctx, bool forUpdate) : c_(ctx) {
        TbtdFileInfo* f = ctx.file;
        if (ctx.index >= kQvIndexSlots || !ctx.compare) RaiseParameter("IndexContext", 2);
        c_.header = GetHeaderBlock(f, forUpdate);
        c_.arrays = ReadIndexPage(f, c_.header, forUpdate, GetU32(c_.header + hdr::kIndexHeader), 0);
        const std::uint8_t flags = c_.arrays[ihdr::kFlags + ctx.index];
        s_.refOnly = (flags & ihdr::kRefOnly) != 0;
        s_.dups = (flags & ihdr::kAllowDuplicates) != 0;
        s_.keyLength = s_.refOnly ? 4 : GetU16(c_.arrays + ihdr::kKeyLength + 2 * ctx.index);
        s_.leafMax = QvIndexPageCapacity(f->blockSize, s_.keyLength, s_.refOnly, true);
        s_.nodeMax = QvIndexPageCapacity(f->blockSize, s_.keyLength, s_.refOnly, false);
        if (s_.keyLength == 0 || s_.nodeMax == 0 || (ctx.keyLength != 0 && !s_.refOnly && s_.keyLength != ctx.keyLength))
            Corrupt(GetU32(c_.header + hdr::kIndexHeader));
    }

    TqvIndexContext& c_;
    Shape s_{};

    TbtdFileInfo* File() const { return c_.file; }
    [[noreturn]] void Corrupt(std::uint32_t n) const { RaiseServer(kBadIndexBlock, {c_.file->name, n}); }

    std::uint32_t Root() const { return GetU32(c_.arrays + ihdr::kRoot + 4 * c_.index); }
    void SetRoot(std::uint32_t n) { PutU32(c_.arrays + ihdr::kRoot + 4 * c_.index, n); }
    void AddCount(std::uint32_t off, int delta) {
        std::uint8_t* p = c_.arrays + off + 4 * c_.index;
        PutU32(p, GetU32(p) + static_cast<std::uint32_t>(delta));
    }
    void Dirty(const Page& p) { MarkBlockDirty(c_.file, p.n); }

    // A walk keeps the last page it read: its steps and the entry each one
    // lands on read the same leaf, which nothing changes while the walk runs.
    bool memo = false;
    Page memoPage;

    // A page of this index at `level` (0: any level up to the depth limit).
    Page Read(std::uint32_t n, int level, bool forUpdate = false) {
        if (memo && !forUpdate && memoPage.b != nullptr && memoPage.n == n &&
            (level == 0 || memoPage.Level() == level))
            return memoPage;
        Page p;
        p.b = ReadIndexPage(c_.file, c_.header, forUpdate, n, 1);
        p.n = n;
        p.s = &s_;
        const std::uint8_t* b = p.b;
        p.leaf = b[ipage::kLeaf] == 1;
        p.max = p.leaf ? s_.leafMax : s_.nodeMax;
        // The level byte comes from disk: it bounds every walk, so it must
        // fit the depth limit and agree with the leaf flag and the parent.
        const std::uint8_t lv = b[ipage::kLevel];
        if (b[ipage::kLeaf] > 1 || lv < 1 || lv > kQvMaxIndexDepth || p.leaf != (lv == 1) ||
            (level != 0 && lv != level) || b[ipage::kRefOnly] != (s_.refOnly ? 1 : 0) ||
            GetU16(b + ipage::kKeyLength) != s_.keyLength ||
            GetU32(b + ipage::kMax) != p.max || p.Count() > p.max)
            Corrupt(n);
        if (memo && !forUpdate) memoPage = p;
        return p;
    }

    Page New(bool leaf, std::uint8_t level) {
        Page p;
        // Leaves are at level 1 and only there.
        TAVRIN_ASSERT(leaf == (level == 1) && level <= kQvMaxIndexDepth);
        p.b = NewIndexPage(c_.file, c_.header, c_.arrays, leaf, c_.index, level, p.n);
        p.s = &s_;
        p.leaf = leaf;
        p.max = leaf ? s_.leafMax : s_.nodeMax;
        return p;
    }

    void Free(const Page& p) {
        FreeBlock(c_.file, c_.header, p.n);
        AddCount(ihdr::kPageCount, -1);
    }

    int Compare(const std::uint8_t* key, std::uint32_t ref, bool useRef, const Page& p, std::uint32_t i) const {
        int r = c_.compare(key, p.KeyAt(i), c_.compareContext);
        if (r == 0 && useRef) {
            std::uint32_t other = p.Ref(i);
            r = ref < other ? -1 : ref > other ? 1 : 0;
        }
        return r;
    }

    // Binary search: the matching entry, or the insertion point.
    bool Search(const Page& p, const std::uint8_t* key, std::uint32_t ref, bool useRef, std::uint32_t& at) const {
        std::uint32_t lo = 0, hi = p.Count();
        while (lo < hi) {
            std::uint32_t mid = lo + (hi - lo) / 2;
            int r = Compare(key, ref, useRef, p, mid);
            if (r == 0) {
                at = mid;
                return true;
            }
            if (r < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        at = lo;
        return false;
    }

    // Entry i (and, in an interior page, its right child) moves in.
    void Insert(Page& p, std::uint32_t i, const std::uint8_t* key, std::uint32_t ref, std::uint32_t rightChild) {
        const std::uint32_t count = p.Count(), k = s_.keyLength;
        // Full pages are split on the way down, before anything goes in.
        TAVRIN_ASSERT(i <= count && count < p.max);
        std::memmove(p.RefAt(i + 1), p.RefAt(i), 4 * (count - i));
        if (!s_.refOnly) std::memmove(p.KeyAt(i + 1), p.KeyAt(i), k * (count - i));
        if (!p.leaf) {
            std::uint8_t* ch = p.b + ipage::kArrays;
            std::memmove(ch + 4 * (i + 1), ch + 4 * i, 4 * (count - i));
            PutU32(ch + 4 * i, rightChild);
        }
        PutU32(p.RefAt(i), ref);
        if (!s_.refOnly) std::memcpy(p.KeyAt(i), key, k);
        p.SetCount(count + 1);
    }

    // Entry i and its right child leave.
    void Remove(Page& p, std::uint32_t i) {
        const std::uint32_t count = p.Count(), k = s_.keyLength;
        TAVRIN_ASSERT(i < count);
        std::memmove(p.RefAt(i), p.RefAt(i + 1), 4 * (count - i - 1));
        if (!s_.refOnly) std::memmove(p.KeyAt(i), p.KeyAt(i + 1), k * (count - i - 1));
        if (!p.leaf) {
            std::uint8_t* ch = p.b + ipage::kArrays;
            std::memmove(ch + 4 * i, ch + 4 * (i + 1), 4 * (count - i - 1));
        }
        p.SetCount(count - 1);
    }

    void Swap(Page& a, std::uint32_t i, Page& b, std::uint32_t j) {
        std::uint32_t r = a.Ref(i);
        PutU32(a.RefAt(i), b.Ref(j));
        PutU32(b.RefAt(j), r);
        if (!s_.refOnly) std::swap_ranges(a.KeyAt(i), a.KeyAt(i) + s_.keyLength, b.KeyAt(j));
    }

    void Gather(const Page& p, Run& r) const {
        // Room for a page and a neighbour at once: no regrowing on the way.
        r.refs.reserve(r.refs.size() + 2 * p.max + 2);
        if (!s_.refOnly) r.keys.reserve(r.keys.size() + (2 * std::size_t(p.max) + 2) * s_.keyLength);
        if (!p.leaf) r.children.reserve(r.children.size() + 2 * p.max + 3);
        for (std::uint32_t i = 0; i < p.Count(); ++i) Append(r, p, i);
        if (!p.leaf)
            for (std::uint32_t j = 0; j <= p.Count(); ++j) r.children.push_back(p.Child(j));
    }
    void Append(Run& r, const Page& p, std::uint32_t i) const {
        r.refs.push_back(p.Ref(i));
        if (!s_.refOnly) r.keys.insert(r.keys.end(), p.KeyAt(i), p.KeyAt(i) + s_.keyLength);
    }
    void SetEntry(Page& p, std::uint32_t i, const Run& r, std::uint32_t e) {
        PutU32(p.RefAt(i), r.refs[e]);
        if (!s_.refOnly) std::memcpy(p.KeyAt(i), r.keys.data() + static_cast<std::size_t>(e) * s_.keyLength, s_.keyLength);
    }
    // p receives entries [from, to) of the run and children [from, to].
    void Fill(Page& p, const Run& r, std::uint32_t from, std::uint32_t to) {
        for (std::uint32_t e = from; e < to; ++e) SetEntry(p, e - from, r, e);
        if (!p.leaf)
            for (std::uint32_t j = from; j <= to; ++j) p.SetChild(j - from, r.children[j]);
        p.SetCount(to - from);
    }

    // Entries of l, separator `sep` of parent n and entries of r are dealt
    // again so that l keeps `leftCount`; the entry after them becomes the
    // separator. Only the entries that change pages move: the rest shift
    // in place, as a whole deal would have laid them.
    void Redistribute(Page& n, std::uint32_t sep, Page& l, Page& r, std::uint32_t leftCount) {
        Dirty(n);
        Dirty(l);
        Dirty(r);
        const std::uint32_t lc = l.Count(), rc = r.Count();
        // Siblings share a level and so a capacity; the separator is the
        // parent's entry between them, and both sides end up within a page.
        TAVRIN_ASSERT(l.leaf == r.leaf && l.max == r.max && l.Level() == r.Level() && !n.leaf);
        TAVRIN_ASSERT(sep < n.Count() && n.Child(sep) == l.n && n.Child(sep + 1) == r.n);
        TAVRIN_ASSERT(leftCount <= l.max && lc + rc >= leftCount && lc + rc - leftCount <= r.max);
        if (leftCount < lc) {
            // l's last m entries go right: the separator comes down to r's
            // slot m - 1, l's entry leftCount goes up.
            const std::uint32_t m = lc - leftCount;
            MoveEntries(r, 0, r, m, rc);
            if (!r.leaf) MoveChildren(r, 0, r, m, rc + 1);
            CopyEntry(n, sep, r, m - 1);
            MoveEntries(l, leftCount + 1, r, 0, m - 1);
            if (!r.leaf) MoveChildren(l, leftCount + 1, r, 0, m);
            CopyEntry(l, leftCount, n, sep);
            l.SetCount(leftCount);
            r.SetCount(rc + m);
        } else if (leftCount > lc) {
            // r's first m entries go left: the separator comes down to l's
            // slot lc, r's entry m - 1 goes up.
            const std::uint32_t m = leftCount - lc;
            CopyEntry(n, sep, l, lc);
            MoveEntries(r, 0, l, lc + 1, m - 1);
            if (!l.leaf) MoveChildren(r, 0, l, lc + 1, m);
            CopyEntry(r, m - 1, n, sep);
            MoveEntries(r, m, r, 0, rc - m);
            if (!r.leaf) MoveChildren(r, m, r, 0, rc - m + 1);
            l.SetCount(leftCount);
            r.SetCount(rc - m);
        }
        // No entry is lost or made: the separator only changed hands.
        TAVRIN_ASSERT(l.Count() + r.Count() == lc + rc);
    }
    // `count` entries from slot `from` of a to slot `to` of b (a may be b).
    void MoveEntries(const Page& a, std::uint32_t from, Page& b, std::uint32_t to, std::uint32_t count) {
        if (count == 0) return;
        std::memmove(b.RefAt(to), a.RefAt(from), 4 * std::size_t(count));
        if (!s_.refOnly) std::memmove(b.KeyAt(to), a.KeyAt(from), std::size_t(s_.keyLength) * count);
    }
    void CopyEntry(const Page& a, std::uint32_t from, Page& b, std::uint32_t to) { MoveEntries(a, from, b, to, 1); }
    // `count` children from child `from` of a to child `to` of b, in an
    // order that a shift within one page survives.
    void MoveChildren(const Page& a, std::uint32_t from, Page& b, std::uint32_t to, std::uint32_t count) {
        if (&a == &b && to > from) {
            for (std::uint32_t j = count; j-- > 0;) b.SetChild(to + j, a.Child(from + j));
        } else {
            for (std::uint32_t j = 0; j < count; ++j) b.SetChild(to + j, a.Child(from + j));
        }
    }

    // Full page p (child i of n) gives its upper half to a new page.
    void Split(Page& n, std::uint32_t i, Page& p) {
        Dirty(n);
        Dirty(p);
        const std::uint32_t h = p.max / 2;
        TAVRIN_ASSERT(p.max == 2 * h + 1 && p.Count() == p.max);
        Page q = New(p.leaf, p.Level());
        Run run;
        Gather(p, run);
        Fill(q, run, h + 1, 2 * h + 1);
        std::vector<std::uint8_t> key(run.keys.begin() + (s_.refOnly ? 0 : h * s_.keyLength),
                                      run.keys.begin() + (s_.refOnly ? 0 : (h + 1) * s_.keyLength));
        p.SetCount(h);
        Insert(n, i, s_.refOnly ? nullptr : key.data(), run.refs[h], q.n);
        // Both halves hold h entries, the least a page but the root may hold.
        TAVRIN_ASSERT(q.Count() == h && !n.leaf && n.Level() == p.Level() + 1);
    }

    // Child j of n and its right sibling become one page (the left one).
    Page Merge(Page& n, std::uint32_t j, Page& l, Page& r) {
        const std::uint32_t half = l.max / 2;
        TAVRIN_ASSERT(!n.leaf && j < n.Count() && n.Child(j) == l.n && n.Child(j + 1) == r.n);
        TAVRIN_ASSERT(l.leaf == r.leaf && l.max == r.max);
        if (l.Count() != half || r.Count() != half)
            RaiseServer(kMergeNotHalf, {c_.file->name, l.n, r.n});
        Dirty(n);
        Dirty(l);
        Run run;
        Gather(l, run);
        Append(run, n, j);
        Run right;
        Gather(r, right);
        run.refs.insert(run.refs.end(), right.refs.begin(), right.refs.end());
        run.keys.insert(run.keys.end(), right.keys.begin(), right.keys.end());
        run.children.insert(run.children.end(), right.children.begin(), right.children.end());
        Fill(l, run, 0, static_cast<std::uint32_t>(run.refs.size()));
        TAVRIN_ASSERT(l.Count() == l.max);
        Remove(n, j);
        Free(r);
        return l;
    }

    // After a merge an interior root may be left empty: its only child
    // becomes the root.
    bool CollapseRoot(Page& root) {
        if (root.Count() != 0 || root.n != Root()) return false;
        // Only the root may run empty, and an empty interior root has one child.
        TAVRIN_ASSERT(root.leaf || root.Child(0) != kQvNone);
        SetRoot(root.leaf ? kQvNone : root.Child(0));
        Free(root);
        return true;
    }
};

std::uint32_t OddCapacity(std::uint32_t q) { return q % 2 == 0 ? q - 1 : q; }

// Steps a path one entry forwards; false (state 5) at the end.
bool StepForward(Tree& t, TqvCursorPath& path) {
    std::uint32_t d = path.depth;
    if (d == 0 || d > kQvMaxIndexDepth) t.Corrupt(t.Root());
    Page p = t.Read(path.levels[d - 1].page, 0);
    std::int32_t pos = path.levels[d - 1].position;
    const std::int32_t count = static_cast<std::int32_t>(p.Count());
    if (p.leaf) {
        if (pos + 1 >= 0 && pos + 1 < count) {
            path.levels[d - 1].position = pos + 1;
            return true;
        }
        // Climb to the first level with an entry after the child taken.
        while (--d > 0) {
            Page q = t.Read(path.levels[d - 1].page, 0);
            std::int32_t qp = path.levels[d - 1].position;
            if (qp + 1 >= 0 && qp + 1 < static_cast<std::int32_t>(q.Count())) {
                path.levels[d - 1].position = qp + 1;
                path.depth = d;
                return true;
            }
        }
        path.depth = 0;
        return false;
    }
    // On an interior entry: the leftmost leaf right of it.
    pos = std::clamp(pos, -1, count - 1);
    path.levels[d - 1].position = pos;
    std::uint32_t child = p.Child(static_cast<std::uint32_t>(pos + 1));
    int level = p.Level() - 1;
    while (true) {
        if (d >= kQvMaxIndexDepth) t.Corrupt(child);
        Page c = t.Read(child, level);
        if (c.Count() == 0) t.Corrupt(child);
        path.levels[d].page = child;
        path.levels[d].position = c.leaf ? 0 : -1;
        ++d;
        if (c.leaf) break;
        child = c.Child(0);
        --level;
    }
    path.depth = d;
    return true;
}

// Mirror of StepForward.
bool StepBack(Tree& t, TqvCursorPath& path) {
    std::uint32_t d = path.depth;
    if (d == 0 || d > kQvMaxIndexDepth) t.Corrupt(t.Root());
    Page p = t.Read(path.levels[d - 1].page, 0);
    const std::int32_t count = static_cast<std::int32_t>(p.Count());
    std::int32_t pos = std::min(path.levels[d - 1].position, count);
    if (p.leaf) {
        if (pos - 1 >= 0) {
            path.levels[d - 1].position = pos - 1;
            return true;
        }
        while (--d > 0) {
            Page q = t.Read(path.levels[d - 1].page, 0);
            std::int32_t qp = std::min(path.levels[d - 1].position, static_cast<std::int32_t>(q.Count()) - 1);
            if (qp >= 0) {
                path.levels[d - 1].position = qp;
                path.depth = d;
                return true;
            }
        }
        path.depth = 0;
        return false;
    }
    // On an interior entry (or after the last): the rightmost leaf left of it.
    pos = std::max(pos, 0);
    path.levels[d - 1].position = pos - 1;
    std::uint32_t child = p.Child(static_cast<std::uint32_t>(pos));
    int level = p.Level() - 1;
    while (true) {
        if (d >= kQvMaxIndexDepth) t.Corrupt(child);
        Page c = t.Read(child, level);
        if (c.Count() == 0) t.Corrupt(child);
        const std::int32_t last = static_cast<std::int32_t>(c.Count()) - 1;
        path.levels[d].page = child;
        path.levels[d].position = last;
        ++d;
        if (c.leaf) break;
        child = c.Child(c.Count());
        --level;
    }
    path.depth = d;
    return true;
}

// Key and reference of the entry at the end of the path.
void EntryAt(Tree& t, const TqvCursorPath& path, std::uint8_t* key, std::uint32_t& ref) {
    if (path.depth == 0 || path.depth > kQvMaxIndexDepth) t.Corrupt(t.Root());
    const TqvPathLevel& l = path.levels[path.depth - 1];
    Page p = t.Read(l.page, 0);
    if (l.position < 0 || static_cast<std::uint32_t>(l.position) >= p.Count()) t.Corrupt(l.page);
    ref = p.Ref(static_cast<std::uint32_t>(l.position));
    if (key) std::memcpy(key, p.KeyAt(static_cast<std::uint32_t>(l.position)), t.s_.keyLength);
}

bool Forward(Tree& t, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path) {
    std::uint8_t state = path.state;
    if (state == qvpsAfterLast) return false;
    const std::uint32_t root = t.Root();
    if (state == qvpsNone || state > qvpsAfterLast || root == kQvNone) state = qvpsBeforeFirst;
    if (state == qvpsBeforeFirst) {
        if (root == kQvNone) {
            path.depth = 0;
            path.state = qvpsAfterLast;
            return false;
        }
        path.depth = 1;
        path.levels[0] = {root, -1};
    }
    bool found = state == qvpsCrackBefore ? true : StepForward(t, path);
    path.state = found ? qvpsOnEntry : qvpsAfterLast;
    if (found) EntryAt(t, path, key, ref);
    return found;
}

bool Backward(Tree& t, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path) {
    std::uint8_t state = path.state;
    if (state == qvpsBeforeFirst) return false;
    const std::uint32_t root = t.Root();
    if (state == qvpsNone || state > qvpsAfterLast || root == kQvNone) state = qvpsAfterLast;
    if (state == qvpsAfterLast) {
        if (root == kQvNone) {
            path.depth = 0;
            path.state = qvpsBeforeFirst;
            return false;
        }
        Page r = t.Read(root, 0);
        path.depth = 1;
        path.levels[0] = {root, static_cast<std::int32_t>(r.Count())};
    }
    bool found = state == qvpsCrackAfter ? true : StepBack(t, path);
    path.state = found ? qvpsOnEntry : qvpsBeforeFirst;
    if (found) EntryAt(t, path, key, ref);
    return found;
}

// Entries in the subtree under page `n` (at `level`), from the file's
// cache of counts or from the pages.
std::uint32_t SubtreeCount(Tree& t, std::uint32_t n, int level) {
    TbtdFileInfo* f = t.File();
    const std::uint64_t cacheKey = (std::uint64_t(t.c_.index) << 32) | n;
    auto it = f->subtreeCounts.find(cacheKey);
    if (it != f->subtreeCounts.end()) return it->second;
    Page p = t.Read(n, level);
    std::uint64_t total = p.Count();
    if (!p.leaf)
        for (std::uint32_t j = 0; j <= p.Count(); ++j) total += SubtreeCount(t, p.Child(j), p.Level() - 1);
    if (total > 0xFFFFFFFFull) t.Corrupt(n);
    f->subtreeCounts[cacheKey] = static_cast<std::uint32_t>(total);
    return static_cast<std::uint32_t>(total);
}

// The cached counts hold while no page of the block cache has changed.
void FreshCounts(TbtdFileInfo* f) {
    const std::uint64_t now = BlockChangeCount(f);
    if (f->subtreeCountsAt == now) return;
    f->subtreeCounts.clear();
    f->subtreeCountsAt = now;
}

}  // namespace

int QvCompareKeysProc(const std::uint8_t* a, const std::uint8_t* b, const void* context) {
    return CompareKeys(a, b, *static_cast<const TqvKeyContext*>(context));
}

int QvCompareInt32KeyProc(const std::uint8_t* a, const std::uint8_t* b, const void* context) {
    const auto& ctx = *static_cast<const TqvKeyContext*>(context);
    // A partial compare of a one-field key names no field to compare, and a
    // number has no leading part: every key matches, as CompareKeys has it.
    if (ctx.partialLength != 0) return 0;
    const std::size_t bits = ctx.keyLength - 1;  // one field: one bitmap byte after it
    const bool nullA = QvBitTest(a + bits, 0), nullB = QvBitTest(b + bits, 0);
    // Nulls sort first in either direction.
    if (nullA || nullB) return nullA == nullB ? 0 : nullA ? -1 : 1;
    const auto va = static_cast<std::int32_t>(GetU32(a)), vb = static_cast<std::int32_t>(GetU32(b));
    return QvApplyDirection(ctx.ascending, va < vb ? -1 : va > vb ? 1 : 0);
}

TqvKeyCompareProc QvKeyCompareProcFor(const TqvDataDictionary& d, std::uint32_t index) {
    const TqvIndexDescriptor& x = d.Index(index);
    if (!x.IsUserIndex() && x.keyFieldCount == 1 && x.keyLength == 5) {
        const std::uint8_t type = d.Field(x.fields[0]).type;
        if (type == qvftInt32 || type == qvftDate || type == qvftTime) return QvCompareInt32KeyProc;
    }
    return QvCompareKeysProc;
}

int QvCompareRefKeysProc(const std::uint8_t* a, const std::uint8_t* b, const void*) {
    return CompareRefKeys(a, b, TqvCompareContext{});
}

std::uint32_t QvIndexPageCapacity(std::uint32_t blockSize, std::uint32_t keyLength, bool refOnly, bool leaf) {
    if (blockSize <= kQvBlockHeadSize) return 0;
    const std::uint32_t s = blockSize - kQvBlockHeadSize;
    const std::uint32_t per = (refOnly ? 0 : keyLength) + (leaf ? 4 : 8);
    const std::uint32_t q = s / per;
    return q < 3 ? 0 : OddCapacity(q);
}

std::uint8_t* ReadIndexPage(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n,
                            std::uint8_t kind) {
    CheckBlockNumber(file, header, n);
    std::uint8_t* b = GetBlock(file, n, forUpdate);
    if (std::memcmp(b, "QVIH", 4) != 0 || GetU32(b + 8) != n || b[ipage::kKind] != kind)
        RaiseServer(kBadIndexBlock, {file->name, n});
    return b;
}

std::uint8_t* NewIndexPage(TbtdFileInfo* file, std::uint8_t* header, std::uint8_t* arrays, bool leaf,
                           std::uint32_t index, std::uint8_t level, std::uint32_t& n) {
    const std::uint8_t flags = arrays[ihdr::kFlags + index];
    const bool refOnly = (flags & ihdr::kRefOnly) != 0;
    const std::uint32_t keyLength = refOnly ? 4 : GetU16(arrays + ihdr::kKeyLength + 2 * index);
    std::uint8_t* b = GetNewBlock(file, header, n);
    std::memset(b, 0, file->blockSize);
    std::memcpy(b, "QVIH", 4);
    PutU32(b + 4, kQvNone);
    PutU32(b + 8, n);
    b[ipage::kKind] = 1;
    b[ipage::kLeaf] = leaf ? 1 : 0;
    b[ipage::kLevel] = leaf ? 1 : level;
    b[ipage::kRefOnly] = refOnly ? 1 : 0;
    PutU16(b + ipage::kIndex, static_cast<std::uint16_t>(index));
    PutU16(b + ipage::kKeyLength, static_cast<std::uint16_t>(keyLength));
    PutU32(b + ipage::kCount, 0);
    PutU32(b + ipage::kMax, QvIndexPageCapacity(file->blockSize, keyLength, refOnly, leaf));
    PutU32(b + ipage::kFirstChild, kQvNone);
    std::uint8_t* pages = arrays + ihdr::kPageCount + 4 * index;
    PutU32(pages, GetU32(pages) + 1);
    return b;
}

void CreateIndexHeaderBlock(TbtdFileInfo* file) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    std::uint32_t n;
    std::uint8_t* b = GetNewBlock(file, header, n);
    std::memset(b, 0, file->blockSize);
    std::memcpy(b, "QVIH", 4);
    PutU32(b + 4, kQvNone);
    PutU32(b + 8, n);
    PutU16(b + 16, 0xFFFF);
    PutU32(b + 28, kQvNone);
    for (std::uint32_t i = 0; i < kQvIndexSlots; ++i) PutU32(b + ihdr::kRoot + 4 * i, kQvNone);
    PutU32(header + hdr::kIndexHeader, n);
}

static std::uint8_t* IndexHeaderForUpdate(TbtdFileInfo* file, std::uint8_t*& header) {
    header = GetHeaderBlock(file, true);
    return ReadIndexPage(file, header, true, GetU32(header + hdr::kIndexHeader), 0);
}

bool IndexDefinitionMatches(TbtdFileInfo* file, std::uint32_t n, std::uint32_t keyLength, bool allowDups) {
    TqvAccessScope access(file);
    if (n >= kQvIndexSlots) return false;
    std::uint8_t* header = GetHeaderBlock(file, false);
    const std::uint8_t* a = ReadIndexPage(file, header, false, GetU32(header + hdr::kIndexHeader), 0);
    return GetU16(a + ihdr::kKeyLength + 2 * n) == keyLength &&
           a[ihdr::kFlags + n] == (allowDups ? ihdr::kAllowDuplicates : 0);
}

void DefineIndex(TbtdFileInfo* file, std::uint32_t n, std::uint32_t keyLength, bool refOnly, bool allowDups) {
    TqvAccessScope access(file);
    if (n >= kQvIndexSlots) RaiseParameter("DefineIndex", 2);
    std::uint8_t* header;
    std::uint8_t* a = IndexHeaderForUpdate(file, header);
    // A page must hold at least three entries for splits and merges to work.
    if (!refOnly && (keyLength == 0 || keyLength > 0xFFFF || QvIndexPageCapacity(file->blockSize, keyLength, false, false) == 0))
        RaiseParameter("DefineIndex", 3);
    if (refOnly) {
        PutU16(a + ihdr::kKeyLength + 2 * n, 4);
        a[ihdr::kFlags + n] = ihdr::kRefOnly;
        PutU32(header + hdr::kSeqAccess, 1);
    } else {
        PutU16(a + ihdr::kKeyLength + 2 * n, static_cast<std::uint16_t>(keyLength));
        a[ihdr::kFlags + n] = allowDups ? ihdr::kAllowDuplicates : 0;
    }
    PutU32(a + ihdr::kKeyCount + 4 * n, 0);
    PutU32(a + ihdr::kRoot + 4 * n, kQvNone);
    PutU32(a + ihdr::kPageCount + 4 * n, 0);
}

void RemoveIndexSlot(TbtdFileInfo* file, std::uint32_t n) {
    TqvAccessScope access(file);
    if (n >= kQvIndexSlots) RaiseParameter("RemoveIndexSlot", 2);
    std::uint8_t* header;
    std::uint8_t* a = IndexHeaderForUpdate(file, header);
    const std::uint32_t rest = kQvIndexSlots - 1 - n;
    std::memmove(a + ihdr::kKeyLength + 2 * n, a + ihdr::kKeyLength + 2 * (n + 1), 2 * rest);
    std::memmove(a + ihdr::kFlags + n, a + ihdr::kFlags + n + 1, rest);
    for (std::uint32_t off : {ihdr::kKeyCount, ihdr::kRoot, ihdr::kPageCount})
        std::memmove(a + off + 4 * n, a + off + 4 * (n + 1), 4 * rest);
    PutU16(a + ihdr::kKeyLength + 2 * 255, 0);
    a[ihdr::kFlags + 255] = 0;
    PutU32(a + ihdr::kKeyCount + 4 * 255, 0);
    PutU32(a + ihdr::kRoot + 4 * 255, kQvNone);
    PutU32(a + ihdr::kPageCount + 4 * 255, 0);
}

bool AddKey(TqvIndexContext& ctx, const std::uint8_t* key, std::uint32_t ref) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, true);
    const std::uint8_t* k = t.s_.refOnly ? nullptr : key;
    std::uint8_t refKey[4];
    if (t.s_.refOnly) {
        PutU32(refKey, ref);
        key = refKey;
    }
    const std::uint32_t root = t.Root();
    if (root == kQvNone) {
        Page p = t.New(true, 1);
        t.Insert(p, 0, k, ref, kQvNone);
        t.SetRoot(p.n);
        t.AddCount(ihdr::kKeyCount, 1);
        return true;
    }
    Page p = t.Read(root, 0);
    if (p.Count() == p.max) {
        if (p.Level() >= kQvMaxIndexDepth) t.Corrupt(root);
        Page top = t.New(false, static_cast<std::uint8_t>(p.Level() + 1));
        top.SetChild(0, root);
        t.Split(top, 0, p);
        // The tree grew by one level: the new root holds the one separator.
        TAVRIN_ASSERT(top.Count() == 1 && top.Child(0) == root);
        t.SetRoot(top.n);
        p = top;
    }
    while (true) {
        std::uint32_t lo;
        if (t.Search(p, key, ref, t.s_.dups, lo)) return false;
        if (p.leaf) {
            t.Dirty(p);
            t.Insert(p, lo, k, ref, kQvNone);
            t.AddCount(ihdr::kKeyCount, 1);
            return true;
        }
        Page c = t.Read(p.Child(lo), p.Level() - 1);
        if (c.Count() < c.max) {
            p = c;
            continue;
        }
        // A full child is relieved before entering it, so no split ever has
        // to climb back up.
        const std::uint32_t count = p.Count();
        bool shifted = false;
        if (lo < count) {
            Page r = t.Read(p.Child(lo + 1), c.Level());
            if (r.Count() < r.max - 1) {
                std::uint32_t m = std::max<std::uint32_t>(1, (c.Count() - r.Count()) / 2);
                t.Redistribute(p, lo, c, r, c.Count() - m);
                shifted = true;
            }
        }
        if (!shifted && lo >= 1) {
            Page l = t.Read(p.Child(lo - 1), c.Level());
            if (l.Count() < l.max - 1) {
                std::uint32_t m = std::max<std::uint32_t>(1, (c.Count() - l.Count()) / 2);
                t.Redistribute(p, lo - 1, l, c, l.Count() + m);
                shifted = true;
            }
        }
        if (!shifted) t.Split(p, lo, c);
    }
}

bool DeleteKey(TqvIndexContext& ctx, const std::uint8_t* key, std::uint32_t ref) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, true);
    std::uint8_t refKey[4];
    if (t.s_.refOnly) {
        PutU32(refKey, ref);
        key = refKey;
    }
    const std::uint32_t root = t.Root();
    if (root == kQvNone) return false;
    Page p = t.Read(root, 0);
    // While the entry sits in an interior page it is swapped down towards a
    // leaf; from then on it is found by its (key, ref) no longer, but by the
    // side it went: `edge` 1 = leftmost, 2 = rightmost entry of the subtree.
    int edge = 0;
    while (true) {
        std::uint32_t lo;
        bool found;
        if (edge == 0) {
            found = t.Search(p, key, ref, t.s_.dups, lo);
        } else {
            found = p.leaf;
            lo = edge == 1 ? 0 : (p.leaf ? p.Count() - 1 : p.Count());
        }
        if (p.leaf) {
            if (!found) return false;
            t.Dirty(p);
            t.Remove(p, lo);
            t.AddCount(ihdr::kKeyCount, -1);
            t.CollapseRoot(p);
            return true;
        }
        // Children share a level, and so a capacity: half of theirs counts.
        const std::uint32_t half = (p.Level() == 2 ? t.s_.leafMax : t.s_.nodeMax) / 2;
        if (found) {
            Page l = t.Read(p.Child(lo), p.Level() - 1);
            Page r = t.Read(p.Child(lo + 1), p.Level() - 1);
            if (r.Count() > half || l.Count() > half) {
                const bool right = r.Count() > half;
                // The neighbouring entry in the leaves takes the entry's place.
                Page leaf = right ? r : l;
                while (!leaf.leaf) leaf = t.Read(right ? leaf.Child(0) : leaf.Child(leaf.Count()), leaf.Level() - 1);
                if (leaf.Count() == 0) t.Corrupt(leaf.n);
                t.Dirty(p);
                t.Dirty(leaf);
                t.Swap(p, lo, leaf, right ? 0 : leaf.Count() - 1);
                edge = right ? 1 : 2;
                p = right ? r : l;
            } else {
                // The entry moves down into the merged page; search it there.
                Page merged = t.Merge(p, lo, l, r);
                t.CollapseRoot(p);
                p = merged;
            }
            continue;
        }
        Page c = t.Read(p.Child(lo), p.Level() - 1);
        if (c.Count() > half) {
            p = c;
            continue;
        }
        // Fill the child before entering it, so a removal never underflows.
        const std::uint32_t count = p.Count();
        if (lo < count) {
            Page r = t.Read(p.Child(lo + 1), c.Level());
            if (r.Count() > half) {
                std::uint32_t m = std::max<std::uint32_t>(1, (r.Count() - c.Count()) / 2);
                t.Redistribute(p, lo, c, r, c.Count() + m);
                continue;
            }
        }
        if (lo >= 1) {
            Page l = t.Read(p.Child(lo - 1), c.Level());
            if (l.Count() > half) {
                std::uint32_t m = std::max<std::uint32_t>(1, (l.Count() - c.Count()) / 2);
                t.Redistribute(p, lo - 1, l, c, l.Count() - m);
                continue;
            }
            if (lo == count) {
                Page merged = t.Merge(p, lo - 1, l, c);
                if (t.CollapseRoot(p)) p = merged;
                continue;
            }
        }
        if (lo >= count) t.Corrupt(p.n);  // an interior page with no entry
        Page r = t.Read(p.Child(lo + 1), c.Level());
        Page merged = t.Merge(p, lo, c, r);
        if (t.CollapseRoot(p)) p = merged;
    }
}

namespace {

// Puts the path in the crack at one edge of the run of entries equal to
// `wanted` (by the index's compare alone, references aside): before its
// first entry (`upper` false) or after its last (`upper` true); one descent,
// however long the run. Answers whether the run has any entry: its neighbour
// at that edge is always among the entries compared on the way down.
bool DescendToRunEdge(Tree& t, const std::uint8_t* wanted, bool upper, TqvCursorPath& path) {
    Page p = t.Read(t.Root(), 0);
    bool seen = false;
    while (true) {
        if (path.depth >= kQvMaxIndexDepth) t.Corrupt(p.n);
        std::uint32_t lo = 0, hi = p.Count();
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            const int r = t.Compare(wanted, 0, false, p, mid);
            if (r == 0) seen = true;
            if (r < 0 || (r == 0 && !upper))
                hi = mid;
            else
                lo = mid + 1;
        }
        if (p.leaf) {
            const bool before = lo < p.Count();
            path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(before ? lo : lo - 1)};
            path.state = before ? qvpsCrackBefore : qvpsCrackAfter;
            return seen;
        }
        path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(lo) - 1};
        p = t.Read(p.Child(lo), p.Level() - 1);
    }
}

}  // namespace

bool FindKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, int mode, TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    path.depth = 0;
    path.state = qvpsNone;
    const std::uint32_t root = t.Root();
    if (root == kQvNone) {
        path.state = qvpsBeforeFirst;
        return false;
    }
    const std::uint32_t k = t.s_.keyLength;
    // Keys are at most a few hundred bytes; only longer ones need the heap.
    std::uint8_t small[2 * 256];
    std::vector<std::uint8_t> large(k > 256 ? 2 * k : 0);
    std::uint8_t* const wantedBytes = k > 256 ? large.data() : small;
    std::uint8_t* const entryBytes = wantedBytes + k;
    if (t.s_.refOnly)
        PutU32(wantedBytes, ref);
    else
        std::memcpy(wantedBytes, key, k);
    const bool useRef = t.s_.dups && ref != 0 && !t.s_.refOnly;
    // Where several entries may equal the key, the answer lies at an edge of
    // their run: past it for mode 1, on its first entry otherwise.
    const bool toFirst = (t.s_.dups && ref == 0) || ctx.partialCompare;
    std::uint32_t r;
    if (!useRef && (mode == 1 || toFirst)) {
        const bool found = DescendToRunEdge(t, wantedBytes, mode == 1, path);
        if (!found && mode == 0) {
            path.depth = 0;
            path.state = qvpsNone;
            return false;
        }
        if (!found || mode == 1) {
            Forward(t, entryBytes, r, path);
            if (found && path.state == qvpsOnEntry) EntryAt(t, path, t.s_.refOnly ? nullptr : key, ref);
            return found;
        }
        Forward(t, entryBytes, r, path);
        EntryAt(t, path, t.s_.refOnly ? nullptr : key, ref);
        return true;
    }
    Page p = t.Read(root, 0);
    std::uint32_t lo;
    while (true) {
        if (path.depth >= kQvMaxIndexDepth) t.Corrupt(p.n);
        if (t.Search(p, wantedBytes, ref, useRef, lo)) {
            path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(lo)};
            path.state = qvpsOnEntry;
            break;
        }
        if (p.leaf) {
            if (mode == 0) {
                path.depth = 0;
                path.state = qvpsNone;
                return false;
            }
            const bool before = lo < p.Count();
            path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(before ? lo : lo - 1)};
            path.state = before ? qvpsCrackBefore : qvpsCrackAfter;
            Forward(t, entryBytes, r, path);
            return false;
        }
        path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(lo) - 1};
        p = t.Read(p.Child(lo), p.Level() - 1);
    }
    // The exact entry (key and reference) is there; the answer may still
    // lie at an edge of the run of equal keys around it.
    if (mode == 1 || toFirst) {
        path.depth = 0;
        DescendToRunEdge(t, wantedBytes, mode == 1, path);
        Forward(t, entryBytes, r, path);
        if (path.state == qvpsOnEntry) EntryAt(t, path, t.s_.refOnly ? nullptr : key, ref);
        return true;
    }
    EntryAt(t, path, t.s_.refOnly ? nullptr : key, ref);
    return true;
}

bool NextKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    return Forward(t, key, ref, path);
}

struct TqvForwardWalk::Impl {
    explicit Impl(TqvIndexContext& ctx) : tree(ctx, false) { tree.memo = true; }
    Tree tree;
};

TqvForwardWalk::TqvForwardWalk(TqvIndexContext& ctx) : impl_(std::make_unique<Impl>(ctx)) {}
TqvForwardWalk::~TqvForwardWalk() = default;

bool TqvForwardWalk::Next(std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path) {
    return Forward(impl_->tree, key, ref, path);
}

bool PriorKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    return Backward(t, key, ref, path);
}

bool CurrentKey(TqvIndexContext& ctx, std::uint8_t* key, std::uint32_t& ref, const TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    if (path.state != qvpsOnEntry || t.Root() == kQvNone) return false;
    EntryAt(t, path, key, ref);
    return true;
}

void ClearIndex(TqvIndexContext& ctx) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, true);
    const std::uint32_t root = t.Root();
    t.SetRoot(kQvNone);
    PutU32(ctx.arrays + ihdr::kKeyCount + 4 * ctx.index, 0);
    PutU32(ctx.arrays + ihdr::kPageCount + 4 * ctx.index, 0);
    if (root == kQvNone) return;
    // Depth first, children before their parent. Levels fall by one at each
    // step down, so the walk ends even on a corrupt tree.
    struct Item {
        std::uint32_t page;
        int level;
        bool expanded;
    };
    std::vector<Item> stack{{root, 0, false}};
    std::uint32_t freed = 0;
    while (!stack.empty()) {
        Item it = stack.back();
        if (!it.expanded) {
            stack.back().expanded = true;
            Page p = t.Read(it.page, it.level);
            if (!p.leaf)
                for (std::uint32_t j = 0; j <= p.Count(); ++j) stack.push_back({p.Child(j), p.Level() - 1, false});
            continue;
        }
        stack.pop_back();
        FreeBlock(ctx.file, ctx.header, it.page);
        // Freed pages are bound to the transaction; writing them out now and
        // then lets the cache drop them instead of holding the whole tree.
        if (++freed % kFlushEvery == 0 && ctx.file->bufferManager)
            ctx.file->bufferManager->FlushTransaction(ctx.file->transaction);
    }
}

std::uint32_t KeyRank(TqvIndexContext& ctx, const TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    FreshCounts(ctx.file);
    const std::uint32_t root = t.Root();
    if (root == kQvNone || path.state == qvpsNone || path.state == qvpsBeforeFirst || path.state > qvpsAfterLast)
        return 0;
    if (path.state == qvpsAfterLast) return SubtreeCount(t, root, 0);
    if (path.depth == 0 || path.depth > kQvMaxIndexDepth || path.levels[0].page != root) t.Corrupt(root);
    std::uint64_t rank = 0;
    int level = 0;
    for (std::uint32_t d = 0; d < path.depth; ++d) {
        Page p = t.Read(path.levels[d].page, level);
        const bool last = d + 1 == path.depth;
        const std::int32_t count = static_cast<std::int32_t>(p.Count());
        const std::int32_t pos = path.levels[d].position;
        // Above the last level the path went down child pos + 1, so entries
        // 0..pos and children 0..pos lie before it; on the last level the
        // entries before pos (and pos itself for a crack after it) and the
        // children 0..pos.
        std::int32_t entries = last ? pos : pos + 1;
        if (last && path.state == qvpsCrackAfter) ++entries;
        entries = std::clamp(entries, 0, count);
        // Child pos + 1 follows entry pos, so a crack after it is before that child.
        const std::int32_t children = p.leaf ? 0 : std::clamp(pos + 1, 0, count + 1);
        rank += static_cast<std::uint64_t>(entries);
        for (std::int32_t j = 0; j < children; ++j)
            rank += SubtreeCount(t, p.Child(static_cast<std::uint32_t>(j)), p.Level() - 1);
        if (!last) {
            if (p.leaf) t.Corrupt(p.n);
            if (path.levels[d + 1].page != p.Child(static_cast<std::uint32_t>(std::clamp(pos + 1, 0, count))))
                t.Corrupt(p.n);
            level = p.Level() - 1;
        }
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(rank, 0xFFFFFFFFull));
}

bool KeyAtRank(TqvIndexContext& ctx, std::uint32_t rank, std::uint8_t* key, std::uint32_t& ref,
               TqvCursorPath& path) {
    TqvAccessScope access(ctx.file);
    Tree t(ctx, false);
    FreshCounts(ctx.file);
    path.depth = 0;
    path.state = qvpsAfterLast;
    const std::uint32_t root = t.Root();
    if (root == kQvNone || rank >= SubtreeCount(t, root, 0)) return false;
    Page p = t.Read(root, 0);
    std::uint32_t left = rank;
    while (true) {
        if (path.depth >= kQvMaxIndexDepth) t.Corrupt(p.n);
        if (p.leaf) {
            if (left >= p.Count()) t.Corrupt(p.n);
            path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(left)};
            break;
        }
        std::uint32_t j = 0;
        bool onEntry = false;
        for (; j <= p.Count(); ++j) {
            const std::uint32_t size = SubtreeCount(t, p.Child(j), p.Level() - 1);
            if (left < size) break;
            left -= size;
            if (j == p.Count()) t.Corrupt(p.n);  // the counts said the rank lies here
            if (left == 0) {
                onEntry = true;
                break;
            }
            --left;
        }
        if (onEntry) {
            path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(j)};
            break;
        }
        path.levels[path.depth++] = {p.n, static_cast<std::int32_t>(j) - 1};
        p = t.Read(p.Child(j), p.Level() - 1);
    }
    path.state = qvpsOnEntry;
    EntryAt(t, path, t.s_.refOnly ? nullptr : key, ref);
    if (t.s_.refOnly && key) PutU32(key, ref);
    return true;
}

}  // namespace qv
