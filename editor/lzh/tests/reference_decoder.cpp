#include "editor/lzh/tests/reference_decoder.h"

#include <cstdint>
#include <vector>

namespace lzhref {

namespace {

constexpr int kSymbols = 314;               // 256 literals + match lengths 3..60
constexpr int kNodes = 2 * kSymbols - 1;    // 627
constexpr unsigned kRebuildAt = 32768;
constexpr int kWindow = 4096;
constexpr int kLookahead = 60;

struct Failure {
    std::string what;
};

// Nodes are held in ascending order of count; node i's children, when it has
// them, are the neighbours `first` and `first + 1`.
struct Node {
    unsigned count = 0;
    bool leaf = false;
    int symbol = 0;   // leaf only
    int first = 0;    // inner node only
    int parent = -1;  // -1 for the root
};

class AdaptiveTree {
public:
    AdaptiveTree() : nodes_(kNodes), leafOf_(kSymbols) {
        for (int s = 0; s < kSymbols; ++s) {
            nodes_[s].count = 1;
            nodes_[s].leaf = true;
            nodes_[s].symbol = s;
        }
        for (int m = 0; kSymbols + m < kNodes; ++m) {
            Node& n = nodes_[kSymbols + m];
            n.first = 2 * m;
            n.count = nodes_[2 * m].count + nodes_[2 * m + 1].count;
        }
        Relink();
    }

    int Root() const { return kNodes - 1; }
    const Node& At(int i) const { return nodes_[i]; }
    int rebuilds = 0;

    void Count(int symbol) {
        if (nodes_[Root()].count == kRebuildAt) Rebuild();
        for (int n = leafOf_[symbol]; n >= 0; n = nodes_[n].parent) {
            const unsigned k = ++nodes_[n].count;
            if (n + 1 < kNodes && k > nodes_[n + 1].count) {
                // Move the node past every node with a smaller count.
                int l = n + 1;
                while (l + 1 < kNodes && nodes_[l + 1].count < k) ++l;
                SwapContents(n, l);
                n = l;
            }
        }
    }

private:
    void SwapContents(int a, int b) {
        std::swap(nodes_[a].count, nodes_[b].count);
        std::swap(nodes_[a].leaf, nodes_[b].leaf);
        std::swap(nodes_[a].symbol, nodes_[b].symbol);
        std::swap(nodes_[a].first, nodes_[b].first);
        FixChildren(a);
        FixChildren(b);
    }

    void FixChildren(int i) {
        if (nodes_[i].leaf) {
            leafOf_[nodes_[i].symbol] = i;
        } else {
            nodes_[nodes_[i].first].parent = i;
            nodes_[nodes_[i].first + 1].parent = i;
        }
    }

    void Relink() {
        nodes_[Root()].parent = -1;
        for (int i = 0; i < kNodes; ++i) FixChildren(i);
    }

    void Rebuild() {
        ++rebuilds;
        std::vector<Node> fresh;
        for (const Node& n : nodes_) {
            if (!n.leaf) continue;
            Node leaf = n;
            leaf.count = (n.count + 1) / 2;
            fresh.push_back(leaf);
        }
        // Pair up neighbours from the front; each new node goes after every
        // node whose count does not exceed its own.
        for (int pair = 0; static_cast<int>(fresh.size()) < kNodes; pair += 2) {
            Node inner;
            inner.first = pair;
            inner.count = fresh[pair].count + fresh[pair + 1].count;
            std::size_t at = fresh.size();
            while (at > 0 && fresh[at - 1].count > inner.count) --at;
            fresh.insert(fresh.begin() + static_cast<std::ptrdiff_t>(at), inner);
        }
        nodes_ = fresh;
        Relink();
    }

    std::vector<Node> nodes_;
    std::vector<int> leafOf_;
};

class Bits {
public:
    explicit Bits(const std::string& s) : s_(s) {}
    int Next() {
        if (pos_ >= s_.size() * 8) throw Failure{"stream ends early"};
        const int b = (static_cast<unsigned char>(s_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    std::size_t pos() const { return pos_; }
    std::size_t total() const { return s_.size() * 8; }

private:
    const std::string& s_;
    std::size_t pos_ = 0;
};

// The prefix codes of a position's upper 6 bits, as listed for the format:
// length and code (left-aligned in a byte) per index.
struct Prefix {
    int length;
    unsigned code;
};

std::vector<Prefix> PositionPrefixes() {
    std::vector<Prefix> p;
    p.push_back({3, 0x00});
    for (unsigned c : {0x20u, 0x30u, 0x40u}) p.push_back({4, c});
    for (unsigned c = 0x50; c <= 0x88; c += 8) p.push_back({5, c});
    for (unsigned c = 0x90; c <= 0xBC; c += 4) p.push_back({6, c});
    for (unsigned c = 0xC0; c <= 0xEE; c += 2) p.push_back({7, c});
    for (unsigned c = 0xF0; c <= 0xFF; c += 1) p.push_back({8, c});
    return p;
}

}  // namespace

DecodeResult Decode(const std::string& stream, std::size_t originalSize) {
    static const std::vector<Prefix> prefixes = PositionPrefixes();
    DecodeResult res;
    AdaptiveTree tree;
    Bits bits(stream);
    // What lies behind the first output byte: the ring starts with blanks,
    // and beyond them (seen only by a match reaching all the way round) zeros.
    std::string history(kLookahead, '\0');
    history.append(kWindow - kLookahead, ' ');
    const std::size_t start = history.size();

    auto symbol = [&]() {
        int n = tree.Root();
        int depth = 0;
        while (!tree.At(n).leaf) {
            n = tree.At(n).first + bits.Next();
            ++depth;
        }
        if (depth > res.longestCode) res.longestCode = depth;
        const int s = tree.At(n).symbol;
        tree.Count(s);
        return s;
    };

    try {
        if (originalSize == 0 && symbol() != 0) throw Failure{"empty data must code the byte 0"};
        while (history.size() - start < originalSize) {
            const int s = symbol();
            if (s < 256) {
                history.push_back(static_cast<char>(s));
                ++res.literals;
                continue;
            }
            ++res.matches;
            const std::size_t length = static_cast<std::size_t>(s - 256 + 3);
            unsigned code = 0;
            int len = 0;
            int index = -1;
            while (index < 0) {
                code = (code << 1) | static_cast<unsigned>(bits.Next());
                ++len;
                for (std::size_t i = 0; i < prefixes.size(); ++i)
                    if (prefixes[i].length == len && (prefixes[i].code >> (8 - len)) == code)
                        index = static_cast<int>(i);
                if (len > 8) throw Failure{"bad position prefix"};
            }
            unsigned low = 0;
            for (int i = 0; i < 6; ++i) low = (low << 1) | static_cast<unsigned>(bits.Next());
            const std::size_t distance = ((static_cast<std::size_t>(index) << 6) | low) + 1;
            if (history.size() - start + length > originalSize) throw Failure{"match past the end"};
            for (std::size_t i = 0; i < length; ++i) history.push_back(history[history.size() - distance]);
        }
        if (bits.Next() != 1) throw Failure{"no end bit"};
        while (bits.pos() % 8 != 0)
            if (bits.Next() != 0) throw Failure{"padding not zero"};
        if (bits.pos() != bits.total()) throw Failure{"bytes after the end"};
    } catch (const Failure& f) {
        res.error = f.what;
        res.rebuilds = tree.rebuilds;
        return res;
    }
    res.ok = true;
    res.rebuilds = tree.rebuilds;
    res.data = history.substr(start);
    return res;
}

}  // namespace lzhref
