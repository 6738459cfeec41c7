#include "editor/lzh/lzh_compressor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace lzh {

namespace {

constexpr int kMask = N - 1;

constexpr std::array<std::uint8_t, 64> MakePositionLengths() {
    std::array<std::uint8_t, 64> len{};
    for (int i = 0; i < 64; ++i)
        len[i] = i < 1 ? 3 : i < 4 ? 4 : i < 12 ? 5 : i < 24 ? 6 : i < 48 ? 7 : 8;
    return len;
}

// Canonical prefix code for the lengths above, each code left-aligned in a byte.
constexpr std::array<std::uint8_t, 64> MakePositionCodes() {
    constexpr auto len = MakePositionLengths();
    std::array<std::uint8_t, 64> code{};
    unsigned next = 0;
    for (int i = 0; i < 64; ++i) {
        if (i > 0) next = (next + 1) << (len[i] - len[i - 1]);
        code[i] = static_cast<std::uint8_t>(next << (8 - len[i]));
    }
    return code;
}

// The match trees index lson/dad with a parent that may be one of the 256
// roots (N + 1 .. N + 256); sizing all three alike keeps every index in range.
constexpr int kTreeSize = N + 257;
constexpr int kTextBufSize = N + F - 1;
// Spare bytes after the ring so the word-wise comparison may read past the
// last mirrored byte; what it reads there never decides a result.
constexpr int kTextBufSlack = 8;

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Length of the common prefix of two strings of F bytes whose first bytes are
// equal (F when they match fully); cmp gets the difference at the first
// mismatch. Compares 8 bytes at a time on little-endian hosts.
int Compare(const std::uint8_t* key, const std::uint8_t* other, int& cmp) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int i = 1; i < F; i += 8) {
            const std::uint64_t diff = Load64(key + i) ^ Load64(other + i);
            if (diff != 0) {
                const int at = i + std::countr_zero(diff) / 8;
                if (at >= F) return F;
                cmp = key[at] - other[at];
                return at;
            }
        }
        return F;
    } else {
        for (int i = 1; i < F; ++i) {
            cmp = key[i] - other[i];
            if (cmp != 0) return i;
        }
        return F;
    }
}

}  // namespace

const std::array<std::uint8_t, 64> p_len = MakePositionLengths();
const std::array<std::uint8_t, 64> p_code = MakePositionCodes();

TCustomLZHCompressor::TCustomLZHCompressor()
    : text_buf(new std::uint8_t[kTextBufSize + kTextBufSlack]()),
      lson(new std::uint16_t[kTreeSize]()),
      dad(new std::uint16_t[kTreeSize]()),
      rson(new std::uint16_t[kTreeSize]()),
      tree(new THuffTree()) {}

TCustomLZHCompressor::~TCustomLZHCompressor() = default;

void TCustomLZHCompressor::SetInputBufferSize(std::uint16_t Size) {
    if (FIdle) FInputBufferSize = std::clamp(Size, MinBufferSize, MaxBufferSize);
}

void TCustomLZHCompressor::SetOutputBufferSize(std::uint16_t Size) {
    if (FIdle) FOutputBufferSize = std::clamp(Size, MinBufferSize, MaxBufferSize);
}

void TCustomLZHCompressor::ResetRun() {
    putbuf = 0;
    putlen = 0;
    FTextSize = 0;
    FCodeSize = 0;
    match_position = 0;
    match_length = 0;
    FOutPos = 1;
    FInPos = 1;
    FInCount = 0;
    FInEnd = false;
    std::memset(text_buf.get(), 0, kTextBufSize);
    std::memset(lson.get(), 0, kTreeSize * sizeof(std::uint16_t));
    std::memset(dad.get(), 0, kTreeSize * sizeof(std::uint16_t));
    std::memset(rson.get(), 0, kTreeSize * sizeof(std::uint16_t));
    *tree = THuffTree{};
}

void TCustomLZHCompressor::LZHCodeStream() {
    if (!FIdle) return;  // re-entry from a handler
    FIdle = false;
    auto finish = [this] {
        FInBuf.reset();
        FOutBuf.reset();
        FIdle = true;
    };
    try {
        // Without handlers a run would lose its output and still look successful.
        if (!OnReadData) throw ELZHError("No input handler is installed");
        if (!OnWriteData) throw ELZHError("No output handler is installed");
        FInBuf.reset(new std::uint8_t[FInputBufferSize]);
        FOutBuf.reset(new std::uint8_t[FOutputBufferSize]);
        ResetRun();
        tree->StartHuff();
        InitTree();

        int s = 0;
        int r = N - F;
        std::memset(text_buf.get(), ' ', r);
        int len = 0;
        std::uint8_t c = 0;
        while (len < F && ReadByte(c)) text_buf[r + len++] = c;
        FTextSize = static_cast<std::uint32_t>(len);
        for (int i = 1; i <= F; ++i) InsertNode(r - i);
        InsertNode(r);

        // The body runs at least once: an empty input still codes the cleared byte at r.
        do {
            if (match_length > len) match_length = static_cast<std::uint16_t>(len);
            if (match_length <= THRESHOLD) {
                match_length = 1;
                EncodeChar(text_buf[r]);
            } else {
                EncodeChar(255 - THRESHOLD + match_length);
                EncodePosition(match_position);
            }
            const int last = match_length;
            int i = 0;
            for (; i < last && ReadByte(c); ++i) {
                DeleteNode(s);
                text_buf[s] = c;
                if (s < F - 1) text_buf[s + N] = c;  // mirror so comparisons need not wrap
                s = (s + 1) & kMask;
                r = (r + 1) & kMask;
                InsertNode(r);
            }
            FTextSize += static_cast<std::uint32_t>(i);
            while (i++ < last) {
                DeleteNode(s);
                s = (s + 1) & kMask;
                r = (r + 1) & kMask;
                if (--len) InsertNode(r);
            }
        } while (len > 0);

        EncodeEnd();
        FlushOutput();
    } catch (...) {
        finish();
        if (OnFinished) OnFinished(this);
        throw;
    }
    finish();
    if (OnFinished) OnFinished(this);
}

void TCustomLZHCompressor::FlushOutput() {
    const std::uint16_t n = static_cast<std::uint16_t>(FOutPos - 1);
    if (n == 0) return;
    std::uint16_t written = 0;
    OnWriteData(this, FOutBuf.get(), n, written);
    if (written != n) throw ELZHError("The output handler did not take all compressed bytes");
    FOutPos = 1;
}

void TCustomLZHCompressor::WriteOutput(const std::uint8_t* Source, std::uint16_t Count, std::uint16_t& Written) {
    Written = 0;
    if (!FOutBuf) throw ELZHError("No compression run is active");
    if (Count == 0) {
        // Flushing must also empty the buffer, or its bytes would be written twice.
        FlushOutput();
        return;
    }
    if (FOutPos - 1 + Count > FOutputBufferSize) FlushOutput();
    if (Count > FOutputBufferSize) {
        std::uint16_t w = 0;
        OnWriteData(this, Source, Count, w);
        if (w != Count) throw ELZHError("The output handler did not take all compressed bytes");
    } else {
        std::memcpy(FOutBuf.get() + FOutPos - 1, Source, Count);
        FOutPos = static_cast<std::uint16_t>(FOutPos + Count);
    }
    Written = Count;
}

void TCustomLZHCompressor::ReadInput(std::uint8_t* Dest, std::uint16_t Count, std::uint16_t& Actual) {
    Actual = 0;
    if (!FInBuf) throw ELZHError("No compression run is active");
    while (Actual < Count) {
        if (FInPos > FInCount) {
            if (FInEnd) break;
            std::uint16_t got = 0;
            OnReadData(this, FInBuf.get(), FInputBufferSize, got);
            if (got > FInputBufferSize)
                throw ELZHError("The input handler delivered more bytes than asked for");
            if (got == 0) {
                FInEnd = true;
                break;
            }
            FInCount = got;
            FInPos = 1;
        }
        const int n = std::min<int>(Count - Actual, FInCount - FInPos + 1);
        std::memcpy(Dest + Actual, FInBuf.get() + FInPos - 1, static_cast<std::size_t>(n));
        FInPos = static_cast<std::uint16_t>(FInPos + n);
        Actual = static_cast<std::uint16_t>(Actual + n);
    }
}

bool TCustomLZHCompressor::ReadByte(std::uint8_t& c) {
    std::uint16_t actual = 0;
    ReadInput(&c, 1, actual);
    return actual == 1;
}

void TCustomLZHCompressor::WriteByte(std::uint8_t c) {
    std::uint16_t written = 0;
    WriteOutput(&c, 1, written);
}

void TCustomLZHCompressor::InitTree() {
    for (int i = N + 1; i <= N + 256; ++i) rson[i] = NIL;
    for (int i = 0; i <= N; ++i) dad[i] = NIL;
}

void TCustomLZHCompressor::InsertNode(int r) {
    int cmp = 1;
    const std::uint8_t* key = &text_buf[r];
    int p = N + 1 + key[0];
    rson[r] = lson[r] = NIL;
    match_length = 0;
    for (;;) {
        if (cmp >= 0) {
            if (rson[p] != NIL) {
                p = rson[p];
            } else {
                rson[p] = static_cast<std::uint16_t>(r);
                dad[r] = static_cast<std::uint16_t>(p);
                return;
            }
        } else {
            if (lson[p] != NIL) {
                p = lson[p];
            } else {
                lson[p] = static_cast<std::uint16_t>(r);
                dad[r] = static_cast<std::uint16_t>(p);
                return;
            }
        }
        const int i = Compare(key, &text_buf[p], cmp);
        if (i > THRESHOLD) {
            const int pos = ((r - p) & kMask) - 1;
            if (i > match_length) {
                match_position = static_cast<std::uint16_t>(pos);
                match_length = static_cast<std::uint16_t>(i);
                if (match_length >= F) break;
            }
            if (i == match_length && pos < match_position) match_position = static_cast<std::uint16_t>(pos);
        }
    }
    // A full-length match: the newer string r takes p's place in the tree.
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = static_cast<std::uint16_t>(r);
    dad[rson[p]] = static_cast<std::uint16_t>(r);
    if (rson[dad[p]] == p)
        rson[dad[p]] = static_cast<std::uint16_t>(r);
    else
        lson[dad[p]] = static_cast<std::uint16_t>(r);
    dad[p] = NIL;
}

void TCustomLZHCompressor::DeleteNode(int p) {
    if (dad[p] == NIL) return;
    int q;
    if (rson[p] == NIL) {
        q = lson[p];
    } else if (lson[p] == NIL) {
        q = rson[p];
    } else {
        q = lson[p];
        if (rson[q] != NIL) {
            do {
                q = rson[q];
            } while (rson[q] != NIL);
            rson[dad[q]] = lson[q];
            dad[lson[q]] = dad[q];
            lson[q] = lson[p];
            dad[lson[p]] = static_cast<std::uint16_t>(q);
        }
        rson[q] = rson[p];
        dad[rson[p]] = static_cast<std::uint16_t>(q);
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p)
        rson[dad[p]] = static_cast<std::uint16_t>(q);
    else
        lson[dad[p]] = static_cast<std::uint16_t>(q);
    dad[p] = NIL;
}

void TCustomLZHCompressor::EncodeChar(unsigned c) {
    // The code is gathered in 32 bits: a skewed tree can grow deeper than 16
    // levels, and a 16-bit word would drop the bits nearest the leaf and make
    // the stream undecodable. Codes of up to 16 bits come out as they always did.
    std::uint32_t code = 0;
    int len = 0;
    const std::uint16_t* prnt = tree->prnt;
    int k = prnt[c + T];
    do {
        code >>= 1;
        if (k & 1) code |= 0x80000000u;
        ++len;
        k = prnt[k];
    } while (k != R);
    if (len > 32) throw ELZHError("Huffman tree is corrupt");
    if (len <= 16) {
        PutCode(len, static_cast<std::uint16_t>(code >> 16));
    } else {
        PutCode(16, static_cast<std::uint16_t>(code >> 16));
        PutCode(len - 16, static_cast<std::uint16_t>(code & 0xFFFF));
    }
    tree->UpdateTree(static_cast<int>(c));
}

void TCustomLZHCompressor::EncodePosition(unsigned c) {
    const unsigned i = (c >> 6) & 63;
    PutCode(p_len[i], static_cast<std::uint16_t>(p_code[i] << 8));
    PutCode(6, static_cast<std::uint16_t>((c & 63) << 10));
}

void TCustomLZHCompressor::PutCode(int l, std::uint16_t c) {
    putbuf = static_cast<std::uint16_t>(putbuf | (c >> putlen));
    putlen = static_cast<std::uint8_t>(putlen + l);
    if (putlen >= 8) {
        WriteByte(static_cast<std::uint8_t>(putbuf >> 8));
        putlen = static_cast<std::uint8_t>(putlen - 8);
        if (putlen >= 8) {
            WriteByte(static_cast<std::uint8_t>(putbuf & 0xFF));
            FCodeSize += 2;
            putlen = static_cast<std::uint8_t>(putlen - 8);
            putbuf = static_cast<std::uint16_t>(c << (l - putlen));
        } else {
            putbuf = static_cast<std::uint16_t>(putbuf << 8);
            FCodeSize += 1;
        }
    }
}

void TCustomLZHCompressor::EncodeEnd() {
    PutCode(1, 0x8000);
    if (putlen > 0) {
        WriteByte(static_cast<std::uint8_t>(putbuf >> 8));
        FCodeSize += 1;
    }
}

std::string LZHCompress(std::string_view input) {
    TCustomLZHCompressor codec;
    std::size_t at = 0;
    std::string out;
    codec.OnReadData = [&](TCustomLZHCompressor*, std::uint8_t* buffer, std::uint16_t size, std::uint16_t& count) {
        const std::size_t n = std::min<std::size_t>(size, input.size() - at);
        std::memcpy(buffer, input.data() + at, n);
        at += n;
        count = static_cast<std::uint16_t>(n);
    };
    codec.OnWriteData = [&](TCustomLZHCompressor*, const std::uint8_t* buffer, std::uint16_t count,
                            std::uint16_t& written) {
        out.append(reinterpret_cast<const char*>(buffer), count);
        written = count;
    };
    codec.LZHCodeStream();
    return out;
}

}  // namespace lzh
