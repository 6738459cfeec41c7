// The adaptive Huffman tree shared by the compressor and the decompressor.
// Nodes are kept in ascending order of their counts (the sibling property),
// so an update only swaps a node with the last one of equal count.
#pragma once

#include <cstdint>

namespace lzh {

inline constexpr int N_CHAR = 314;            // 0..255 literals, 256..313 match lengths 3..60
inline constexpr int T = 2 * N_CHAR - 1;      // 627 nodes
inline constexpr int R = T - 1;               // the root
inline constexpr unsigned MAX_FREQ = 0x8000;  // root count that halves the tree

struct THuffTree {
    std::uint16_t freq[T + 1];       // counts; freq[T] = 0xFFFF stops the update scan
    std::uint16_t prnt[T + N_CHAR];  // parent of each node; prnt[T + c] is the leaf of symbol c
    std::uint16_t son[T];            // first child of an inner node, or T + c for the leaf of c

    void StartHuff();
    void Reconst();
    // Counts one more occurrence of symbol c and restores the order.
    void UpdateTree(int c);
};

}  // namespace lzh
