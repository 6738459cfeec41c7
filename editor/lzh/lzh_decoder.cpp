#include "editor/lzh/lzh_decoder.h"

#include <array>
#include <cstdint>

#include "editor/lzh/lzh_compressor.h"

namespace lzh {

namespace {

// MSB-first bit reader over untrusted bytes; every read is checked.
class BitReader {
public:
    explicit BitReader(std::string_view data)
        : data_(reinterpret_cast<const std::uint8_t*>(data.data())), size_(data.size()) {}

    unsigned Bit() {
        if (held_ == 0) Refill();
        if (held_ == 0) throw ELZHError("Compressed data ends early");
        const unsigned b = static_cast<unsigned>(acc_ >> 63);
        acc_ <<= 1;
        --held_;
        return b;
    }

    // Up to 32 bits, most significant first.
    unsigned Bits(int n) {
        if (n == 0) return 0;
        if (held_ < n) Refill();
        if (held_ < n) throw ELZHError("Compressed data ends early");
        const unsigned v = static_cast<unsigned>(acc_ >> (64 - n));
        acc_ <<= n;
        held_ -= n;
        return v;
    }

    std::size_t BitsConsumed() const { return at_ * 8 - static_cast<std::size_t>(held_); }
    bool AtEnd() const { return held_ == 0 && at_ == size_; }

private:
    void Refill() {
        while (held_ <= 56 && at_ < size_) {
            acc_ |= static_cast<std::uint64_t>(data_[at_++]) << (56 - held_);
            held_ += 8;
        }
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::uint64_t acc_ = 0;
    int held_ = 0;
};

// Index of the position prefix that starts each possible byte.
std::array<std::uint8_t, 256> MakePrefixIndex() {
    std::array<std::uint8_t, 256> index{};
    for (int i = 0; i < 64; ++i) {
        const int span = 1 << (8 - p_len[i]);
        for (int v = 0; v < span; ++v) index[p_code[i] + v] = static_cast<std::uint8_t>(i);
    }
    return index;
}

}  // namespace

std::string LZHDecompress(std::string_view compressed, std::size_t originalSize) {
    // Every symbol takes at least 1 bit and a match at least 9 more for at
    // most 60 bytes, so no stream yields more than 6 bytes per bit. Checking
    // this first keeps a bogus size from reserving huge memory.
    if (originalSize / 48 > compressed.size())
        throw ELZHError("Compressed data is too short for the recorded size");

    static const std::array<std::uint8_t, 256> prefixIndex = MakePrefixIndex();
    THuffTree tree{};
    tree.StartHuff();
    BitReader in(compressed);

    auto decodeChar = [&]() -> int {
        unsigned c = tree.son[R];
        while (c < T) c = tree.son[c + in.Bit()];
        const int sym = static_cast<int>(c) - T;
        tree.UpdateTree(sym);
        return sym;
    };

    std::array<std::uint8_t, N> ring{};
    for (int i = 0; i < N - F; ++i) ring[i] = ' ';
    int r = N - F;
    std::string out;
    out.reserve(originalSize);

    // An empty input is still coded as one literal: the cleared byte 0.
    if (originalSize == 0 && decodeChar() != 0) throw ELZHError("Compressed data is damaged");

    while (out.size() < originalSize) {
        const int c = decodeChar();
        if (c < 256) {
            out.push_back(static_cast<char>(c));
            ring[r] = static_cast<std::uint8_t>(c);
            r = (r + 1) & (N - 1);
            continue;
        }
        // The prefix takes 3..8 bits and is followed by 6 plain bits; read
        // it bit by bit so no bits beyond the match are consumed.
        unsigned code = 0;
        int bits = 0;
        int index = -1;
        while (index < 0 && bits < 8) {
            code = (code << 1) | in.Bit();
            ++bits;
            if (bits >= 3) {
                const unsigned aligned = code << (8 - bits);
                const unsigned i = prefixIndex[aligned];
                if (p_len[i] == bits && p_code[i] == aligned) index = static_cast<int>(i);
            }
        }
        const unsigned pos = (static_cast<unsigned>(index) << 6) | in.Bits(6);
        const std::size_t len = static_cast<std::size_t>(c - (255 - THRESHOLD));
        if (len > originalSize - out.size()) throw ELZHError("A match runs past the end of the data");
        int from = (r - static_cast<int>(pos) - 1) & (N - 1);
        for (std::size_t k = 0; k < len; ++k) {
            const std::uint8_t b = ring[from];
            from = (from + 1) & (N - 1);
            out.push_back(static_cast<char>(b));
            ring[r] = b;
            r = (r + 1) & (N - 1);
        }
    }

    // The end mark: one set bit, zero bits up to the byte boundary, nothing after.
    if (in.Bit() != 1) throw ELZHError("The end mark of the compressed data is missing");
    const int pad = static_cast<int>((8 - in.BitsConsumed() % 8) % 8);
    if (in.Bits(pad) != 0) throw ELZHError("The end mark of the compressed data is damaged");
    if (!in.AtEnd()) throw ELZHError("Bytes follow the end of the compressed data");
    return out;
}

}  // namespace lzh
