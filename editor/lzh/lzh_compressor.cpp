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

constexpr int kTextBufSize = N + F - 1;
// Spare bytes after the ring so the word-wise comparison may read past the
// last mirrored byte; what it reads there never decides a result.
constexpr int kTextBufSlack = 8;

// A string may match one at most this far behind it: the ring's other F
// bytes hold the look-ahead, which the decoder has not seen yet.
constexpr std::uint32_t kWindow = N - F;
constexpr int kHashBits = 13;
constexpr std::uint32_t kHashSize = 1u << kHashBits;
// Chain steps per coded position. Longer chains find a few more long
// matches in repetitive text at a cost in speed that grows with them.
constexpr int kMaxChain = 96;
// Absolute position of the first look-ahead byte; its ring index is N - F.
constexpr std::uint32_t kStartPos = 2 * N + (N - F);

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

unsigned Hash3(const std::uint8_t* p) {
    const std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
}

// Length of the common prefix of two strings of F bytes, at most F.
// Compares 8 bytes at a time on little-endian hosts.
int MatchLength(const std::uint8_t* key, const std::uint8_t* other) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int i = 0; i < F; i += 8) {
            const std::uint64_t diff = Load64(key + i) ^ Load64(other + i);
            if (diff != 0) return std::min(F, i + std::countr_zero(diff) / 8);
        }
        return F;
    } else {
        int i = 0;
        while (i < F && key[i] == other[i]) ++i;
        return i;
    }
}

}  // namespace

const std::array<std::uint8_t, 64> p_len = MakePositionLengths();
const std::array<std::uint8_t, 64> p_code = MakePositionCodes();

TCustomLZHCompressor::TCustomLZHCompressor()
    : text_buf(new std::uint8_t[kTextBufSize + kTextBufSlack]()),
      head(new std::uint32_t[kHashSize]()),
      prev(new std::uint32_t[N]()),
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
    // A full window behind the start: no chain leads anywhere yet.
    std::fill_n(head.get(), kHashSize, kStartPos - N);
    std::fill_n(prev.get(), N, kStartPos - N);
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

        int s = 0;
        int r = N - F;
        std::uint32_t pos = kStartPos;
        std::memset(text_buf.get(), ' ', r);
        int len = 0;
        std::uint8_t c = 0;
        while (len < F && ReadByte(c)) text_buf[r + len++] = c;
        FTextSize = static_cast<std::uint32_t>(len);
        // The F blanks right behind the look-ahead can be matched from the start.
        for (int i = F; i >= 1; --i) InsertString(r - i, pos - static_cast<std::uint32_t>(i));
        InsertString(r, pos);

        // The body runs at least once: an empty input still codes the cleared byte at r.
        do {
            FindMatch(r, pos);
            if (match_length > len) match_length = static_cast<std::uint16_t>(len);
            if (match_length <= THRESHOLD) {
                match_length = 1;
                EncodeChar(text_buf[r]);
            } else {
                EncodeChar(255 - THRESHOLD + match_length);
                EncodePosition(match_position);
            }
            const int last = match_length;
            // The bytes that replace the coded ones, in one call rather than one per byte.
            std::uint8_t fresh[F];
            std::uint16_t got = 0;
            ReadInput(fresh, static_cast<std::uint16_t>(last), got);
            int i = 0;
            for (; i < got; ++i) {
                c = fresh[i];
                text_buf[s] = c;
                if (s < F - 1) text_buf[s + N] = c;  // mirror so comparisons need not wrap
                s = (s + 1) & kMask;
                r = (r + 1) & kMask;
                InsertString(r, ++pos);
            }
            FTextSize += static_cast<std::uint32_t>(i);
            while (i++ < last) {
                s = (s + 1) & kMask;
                r = (r + 1) & kMask;
                ++pos;
                if (--len) InsertString(r, pos);
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

void TCustomLZHCompressor::InsertString(int r, std::uint32_t pos) {
    std::uint32_t& newest = head[Hash3(&text_buf[r])];
    prev[r] = newest;
    newest = pos;
}

void TCustomLZHCompressor::FindMatch(int r, std::uint32_t pos) {
    const std::uint8_t* key = &text_buf[r];
    int best = THRESHOLD;
    std::uint32_t bestDistance = 0;
    std::uint32_t cand = prev[r];
    // Each candidate is checked byte by byte where it lies in the ring, so a
    // chain that runs stale (after 4 GB the positions wrap) can only cost a
    // miss, never a wrong match.
    for (int steps = 0; steps < kMaxChain; ++steps) {
        const std::uint32_t distance = pos - cand;
        if (distance - 1 >= kWindow) break;  // 0, or older than the window
        const int p = static_cast<int>(cand & kMask);
        const std::uint8_t* other = &text_buf[p];
        if (other[best] == key[best]) {
            const int len = MatchLength(key, other);
            if (len > best) {
                best = len;
                bestDistance = distance;
                if (len >= F) break;
            }
        }
        cand = prev[p];
    }
    if (best > THRESHOLD) {
        match_length = static_cast<std::uint16_t>(best);
        match_position = static_cast<std::uint16_t>(bestDistance - 1);
    } else {
        match_length = 0;
    }
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
