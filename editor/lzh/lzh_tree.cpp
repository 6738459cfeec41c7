#include "editor/lzh/lzh_tree.h"

#include <cstring>

namespace lzh {

void THuffTree::StartHuff() {
    for (int i = 0; i < N_CHAR; ++i) {
        freq[i] = 1;
        son[i] = static_cast<std::uint16_t>(i + T);
        prnt[i + T] = static_cast<std::uint16_t>(i);
    }
    int i = 0;
    int j = N_CHAR;
    while (j <= R) {
        freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
        son[j] = static_cast<std::uint16_t>(i);
        prnt[i] = prnt[i + 1] = static_cast<std::uint16_t>(j);
        i += 2;
        ++j;
    }
    freq[T] = 0xFFFF;
    prnt[R] = 0;
}

void THuffTree::Reconst() {
    // Leaves to the front, counts halved (rounded up so none drops to 0).
    int j = 0;
    for (int i = 0; i < T; ++i) {
        if (son[i] >= T) {
            freq[j] = static_cast<std::uint16_t>((freq[i] + 1) / 2);
            son[j] = son[i];
            ++j;
        }
    }
    // Rebuild the inner nodes, keeping the counts in ascending order.
    for (int i = 0, j2 = N_CHAR; j2 < T; i += 2, ++j2) {
        const unsigned f = freq[i] + freq[i + 1];
        int k = j2 - 1;
        while (k >= 0 && f < freq[k]) --k;
        ++k;
        std::memmove(&freq[k + 1], &freq[k], static_cast<std::size_t>(j2 - k) * sizeof(std::uint16_t));
        freq[k] = static_cast<std::uint16_t>(f);
        std::memmove(&son[k + 1], &son[k], static_cast<std::size_t>(j2 - k) * sizeof(std::uint16_t));
        son[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < T; ++i) {
        const int k = son[i];
        if (k >= T)
            prnt[k] = static_cast<std::uint16_t>(i);
        else
            prnt[k] = prnt[k + 1] = static_cast<std::uint16_t>(i);
    }
}

void THuffTree::UpdateTree(int c) {
    if (freq[R] == MAX_FREQ) Reconst();
    c = prnt[c + T];
    do {
        const unsigned k = ++freq[c];
        if (k > freq[c + 1]) {
            int l = c + 1;
            while (k > freq[++l]) {
            }
            --l;
            freq[c] = freq[l];
            freq[l] = static_cast<std::uint16_t>(k);
            const int i = son[c];
            prnt[i] = static_cast<std::uint16_t>(l);
            if (i < T) prnt[i + 1] = static_cast<std::uint16_t>(l);
            const int j = son[l];
            son[l] = static_cast<std::uint16_t>(i);
            prnt[j] = static_cast<std::uint16_t>(c);
            if (j < T) prnt[j + 1] = static_cast<std::uint16_t>(c);
            son[c] = static_cast<std::uint16_t>(j);
            c = l;
        }
        c = prnt[c];
    } while (c != 0);
}

}  // namespace lzh
