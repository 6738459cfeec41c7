#include "converter/decompress.h"

#include <algorithm>
#include <cstring>

namespace conv {

bool TestBit(std::uint8_t byte, int n) { return (byte >> n) & 1; }

std::uint32_t Lz77ChunkLength(std::uint8_t flag) {
    std::uint32_t n = 8;
    for (int i = 0; i < 8; ++i) n += TestBit(flag, i);
    return n;
}

std::uint32_t Lz77DecompressBytes(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                                  std::uint32_t capacity, Lz77Status* status) {
    Lz77Status st;
    std::uint32_t ip = 0, op = 0;
    while (ip < inLength && !st.overflow) {
        std::uint8_t flag = in[ip++];
        std::uint32_t chunkEnd = ip + std::min(Lz77ChunkLength(flag), inLength - ip);
        for (int bit = 0; bit < 8 && ip < chunkEnd; ++bit) {
            if (TestBit(flag, bit)) {
                // A reference cut by the end of the input has no second byte.
                if (ip + 2 > chunkEnd) {
                    ip = chunkEnd;
                    break;
                }
                std::uint8_t b0 = in[ip], b1 = in[ip + 1];
                ip += 2;
                std::uint32_t length = (b1 >> 4) + 3u;
                std::uint32_t distance = (b1 & 15u) * 256u + b0 + 1u;
                for (std::uint32_t i = 0; i < length; ++i) {
                    if (op >= capacity) {
                        st.overflow = true;
                        break;
                    }
                    if (distance > op) {
                        st.badReference = true;
                        out[op] = 0;
                    } else {
                        out[op] = out[op - distance];
                    }
                    ++op;
                }
            } else {
                if (op >= capacity) {
                    st.overflow = true;
                    break;
                }
                out[op++] = in[ip++];
            }
            if (st.overflow) break;
        }
        ip = std::max(ip, chunkEnd);
    }
    if (status) *status = st;
    return op;
}

std::uint32_t Lz77Decompress(HelpStream& in, std::uint32_t inLength, std::uint8_t* out, std::uint32_t capacity,
                             Lz77Status* status) {
    std::uint32_t avail = std::min(inLength, in.Remaining());
    std::uint32_t n = Lz77DecompressBytes(in.Here(), avail, out, capacity, status);
    in.Skip(avail);
    return n;
}

std::uint32_t Lz77DecompressToFile(HelpStream& in, std::string& out, std::uint32_t inLength, Lz77Status* status) {
    std::uint32_t avail = std::min(inLength, in.Remaining());
    // 8 items per 9 input bytes, each at most 18 bytes: 144/17 of the input.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(avail) * 9 + 18);
    std::uint32_t n = Lz77DecompressBytes(in.Here(), avail, buffer.data(),
                                          static_cast<std::uint32_t>(buffer.size()), status);
    in.Skip(avail);
    out.append(reinterpret_cast<const char*>(buffer.data()), n);
    return n;
}

std::uint32_t RleDecompressBytes(const std::uint8_t* in, std::uint32_t inLength, std::string& out,
                                 std::uint32_t limit) {
    std::uint32_t produced = 0;
    std::uint32_t consumed = 1;
    std::uint32_t ip = 0;
    while (consumed < inLength && ip < inLength && produced < limit) {
        std::uint8_t count = in[ip++];
        ++consumed;
        if (count < 0x80) {
            if (ip >= inLength) break;
            std::uint8_t value = in[ip++];
            ++consumed;
            const std::uint32_t n = std::min<std::uint32_t>(count, limit - produced);
            out.append(n, static_cast<char>(value));
            produced += n;
        } else {
            std::uint32_t n = std::min<std::uint32_t>(count & 0x7Fu, inLength - ip);
            out.append(reinterpret_cast<const char*>(in + ip), std::min(n, limit - produced));
            ip += n;
            consumed += n;
            produced += std::min(n, limit - produced);
        }
    }
    return produced;
}

std::uint32_t RleDecompress(HelpStream& in, std::string& out, std::uint32_t inLength, std::uint32_t limit) {
    std::uint32_t avail = std::min(inLength, in.Remaining());
    std::uint32_t n = RleDecompressBytes(in.Here(), avail, out, limit);
    in.Skip(avail);
    return n;
}

void CopyBytes(HelpStream& in, std::string& out, std::uint32_t n) {
    std::uint32_t avail = std::min(n, in.Remaining());
    out.append(reinterpret_cast<const char*>(in.Here()), avail);
    in.Skip(avail);
}

std::uint32_t Lz77RleDecompress(HelpStream& in, std::string& out, std::uint32_t inLength, Lz77Status* status,
                                std::uint32_t limit) {
    std::string lz;
    Lz77DecompressToFile(in, lz, inLength, status);
    return RleDecompressBytes(reinterpret_cast<const std::uint8_t*>(lz.data()),
                              static_cast<std::uint32_t>(lz.size()), out, limit);
}

// ---- phrase tables ----

void LoadOldPhrases(HelpFileData& hf) {
    hf.oldPhrases.clear();
    hf.phraseCount = 0;
    if (!hf.phrases.present()) return;
    HelpStream& s = hf.stream;
    const std::uint32_t base = hf.phrases.offset, size = hf.phrases.size;
    if (size < 8 || !s.Seek(base)) {
        AddDamageWarning(hf, kDamageTooShort, "|Phrases");
        return;
    }
    std::uint32_t offsetsAt = 8;
    std::uint32_t count = GetU16(s.Here());
    std::uint32_t decompressedSize = GetU32(s.Here() + 4);
    if (decompressedSize >= 65537 && !hf.isHC30) {
        offsetsAt = 40;
        if (size < 40) {
            AddDamageWarning(hf, kDamageTooShort, "|Phrases");
            return;
        }
        count = GetU16(s.Here() + 2);
        decompressedSize = GetU32(s.Here() + 6);
    }
    bool lz = !hf.isHC30 && ((hf.systemHeader.flags & (4 | 8)) != 0 ||
                             static_cast<std::int64_t>(size) - (2 * static_cast<std::int64_t>(count) + 8) + 10 <
                                 static_cast<std::int64_t>(decompressedSize));
    if (lz) {
        std::uint64_t offsetsBytes = (static_cast<std::uint64_t>(count) + 1) * 2;
        if (offsetsAt + offsetsBytes > size) {
            AddDamageWarning(hf, kDamagePastEnd, "|Phrases");
            return;
        }
        std::uint32_t inLength = size - static_cast<std::uint32_t>(offsetsAt + offsetsBytes);
        // Never trust the announced size beyond what the input can make.
        std::uint64_t room = std::min<std::uint64_t>(decompressedSize, static_cast<std::uint64_t>(inLength) * 9 + 18);
        std::vector<std::uint8_t> table(offsetsBytes + room + 300, 0);
        s.Seek(base + offsetsAt);
        s.Read(table.data(), offsetsBytes);
        Lz77Status st;
        std::uint32_t n = Lz77Decompress(s, inLength, table.data() + offsetsBytes,
                                         static_cast<std::uint32_t>(room + 300), &st);
        if (st.badReference) AddDamageWarning(hf, kDamageCompressed, "|Phrases");
        table.resize(offsetsBytes + n);
        hf.oldPhrases = std::move(table);
    } else {
        s.Seek(base + 4u);
        hf.oldPhrases.resize(size - 4);
        s.Read(hf.oldPhrases.data(), size - 4);
    }
    hf.phraseCount = static_cast<std::int32_t>(count);
}

bool DecodePhraseOffsets(std::uint32_t count, const std::uint8_t* bits, std::uint32_t bitsSize,
                         std::vector<std::uint32_t>& offsets) {
    offsets.assign(static_cast<std::size_t>(count) + 1, 0);
    if (bitsSize < 4) return count == 0;
    const unsigned w = bits[0] & 15u;
    std::uint64_t bitPos = 32;
    const std::uint64_t bitEnd = static_cast<std::uint64_t>(bitsSize) * 8;
    bool intact = true;
    auto next = [&]() -> unsigned {
        if (bitPos >= bitEnd) {
            intact = false;
            return 0;
        }
        unsigned b = (bits[bitPos >> 3] >> (bitPos & 7)) & 1u;
        ++bitPos;
        return b;
    };
    std::uint32_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets[i] = total;
        std::uint32_t length = 1;
        while (next()) length += 1u << w;
        std::uint32_t v = 0;
        for (unsigned b = 0; b < w; ++b) v |= next() << b;
        length += v;
        total += length;
    }
    offsets[count] = total;
    return intact;
}

void LoadHallPhrases(HelpFileData& hf) {
    hf.hallPhraseImage.clear();
    hf.hallPhraseOffsets.clear();
    hf.phraseCount = 0;
    if (!hf.phrImage.present() || !hf.phrIndex.present()) return;
    HelpStream& s = hf.stream;
    if (hf.phrIndex.size < 24 || !s.Seek(hf.phrIndex.offset)) {
        AddDamageWarning(hf, kDamageTooShort, "|PhrIndex");
        return;
    }
    const std::uint8_t* h = s.Here();
    std::uint32_t count = GetU32(h + 4), bitsSize = GetU32(h + 8);
    std::uint32_t imageSize = GetU32(h + 12), storedSize = GetU32(h + 16);
    if (bitsSize > hf.phrIndex.size - 24) {
        AddDamageWarning(hf, kDamagePastEnd, "|PhrIndex");
        bitsSize = hf.phrIndex.size - 24;
    }
    // Every phrase takes at least one bit of the length data.
    if (count > static_cast<std::uint64_t>(bitsSize) * 8) {
        AddDamageWarning(hf, kDamageHeader, "|PhrIndex");
        count = bitsSize * 8;
    }
    std::vector<std::uint8_t> bits(s.Here() + 24, s.Here() + 24 + bitsSize);
    if (!DecodePhraseOffsets(count, bits.data(), bitsSize, hf.hallPhraseOffsets))
        AddDamageWarning(hf, kDamageCompressed, "|PhrIndex");

    s.Seek(hf.phrImage.offset);
    std::uint32_t inLength = std::min(storedSize, hf.phrImage.size);
    std::uint32_t got = 0;
    if (storedSize == imageSize) {
        hf.hallPhraseImage.resize(inLength);
        got = static_cast<std::uint32_t>(s.Read(hf.hallPhraseImage.data(), inLength));
    } else {
        std::uint64_t room = std::min<std::uint64_t>(imageSize, static_cast<std::uint64_t>(inLength) * 9 + 18) + 500;
        hf.hallPhraseImage.resize(room);
        Lz77Status st;
        got = Lz77Decompress(s, inLength, hf.hallPhraseImage.data(), static_cast<std::uint32_t>(room), &st);
        if (st.badReference) AddDamageWarning(hf, kDamageCompressed, "|PhrImage");
    }
    hf.hallPhraseImage.resize(got);
    if ((got > imageSize ? got - imageSize : imageSize - got) > 10)
        AddWarning(hf, kWarnPhraseSize, {static_cast<unsigned long>(imageSize), static_cast<unsigned long>(got)});
    hf.phraseCount = static_cast<std::int32_t>(count);
}

namespace {

std::string IllegalPhrase(Conversion& hf) {
    AddWarning(hf, kWarnPhraseRef);
    return "?";
}

}  // namespace

std::string GetOldPhrase(Conversion& hf, std::int64_t n) {
    const auto& t = hf.file.oldPhrases;
    std::uint64_t at = static_cast<std::uint64_t>(n) * 2;
    if (at + 4 > t.size()) return IllegalPhrase(hf);
    std::uint32_t from = GetU16(t.data() + at), to = GetU16(t.data() + at + 2);
    if (from > to || to > t.size()) return IllegalPhrase(hf);
    return std::string(reinterpret_cast<const char*>(t.data()) + from, to - from);
}

std::string GetHallPhrase(Conversion& hf, std::int64_t n) {
    const auto& o = hf.file.hallPhraseOffsets;
    if (static_cast<std::uint64_t>(n) + 1 >= o.size()) return IllegalPhrase(hf);
    std::uint32_t from = o[static_cast<std::size_t>(n)], to = o[static_cast<std::size_t>(n) + 1];
    if (from > to || to > hf.file.hallPhraseImage.size()) return IllegalPhrase(hf);
    return std::string(reinterpret_cast<const char*>(hf.file.hallPhraseImage.data()) + from, to - from);
}

std::string GetPhrase(Conversion& hf, std::int64_t n) {
    if (n < 0 || n >= hf.file.phraseCount) return IllegalPhrase(hf);
    return hf.file.phrIndex.present() ? GetHallPhrase(hf, n) : GetOldPhrase(hf, n);
}

std::string ExpandPhrases(Conversion& hf, const std::uint8_t* input, std::uint32_t inputLength,
                          std::uint32_t outputSize, bool hall) {
    std::string out;
    out.reserve(std::min<std::uint32_t>(outputSize, inputLength * 4 + 16));
    bool full = false;
    auto put = [&](const char* p, std::size_t n) {
        std::size_t room = outputSize - out.size();
        if (n > room) {
            n = room;
            full = true;
        }
        out.append(p, n);
    };
    auto putRun = [&](char c, std::size_t n) {
        std::size_t room = outputSize - out.size();
        if (n > room) {
            n = room;
            full = true;
        }
        out.append(n, c);
    };
    std::uint32_t i = 0;
    while (i < inputLength && !full) {
        std::uint8_t b = input[i++];
        if (!hall) {
            if (b == 0 || b >= 16) {
                char c = static_cast<char>(b);
                put(&c, 1);
                continue;
            }
            if (i >= inputLength) break;
            std::uint32_t v = (b - 1u) * 256u + input[i++];
            std::string p = GetPhrase(hf, v >> 1);
            put(p.data(), p.size());
            if (v & 1) put(" ", 1);
        } else if ((b & 1) == 0) {
            std::string p = GetPhrase(hf, b >> 1);
            put(p.data(), p.size());
        } else if ((b & 3) == 1) {
            if (i >= inputLength) break;
            std::string p = GetPhrase(hf, 128 + (b >> 2) * 256 + input[i++]);
            put(p.data(), p.size());
        } else if ((b & 7) == 3) {
            std::uint32_t n = std::min<std::uint32_t>((b >> 3) + 1u, inputLength - i);
            put(reinterpret_cast<const char*>(input + i), n);
            i += n;
        } else if ((b & 15) == 7) {
            putRun(' ', (b >> 4) + 1u);
        } else {
            putRun('\0', (b >> 4) + 1u);
        }
    }
    if (full) AddDamageWarning(hf, kDamageTooLong, "|TOPIC");
    return out;
}

}  // namespace conv
