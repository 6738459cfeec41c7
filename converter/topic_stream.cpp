#include "converter/topic_stream.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <queue>

#include "converter/decompress.h"

namespace conv {

namespace {

struct TopicGeometry {
    std::uint32_t blockSize, dataSize, offsetBits, mask, positionScale;
};

TopicGeometry Geometry(const Conversion& hf) {
    if (hf.file.isHC30) return {2048, 2036, 11, 2047, 4096};
    return {4096, 4084, 14, 16383, 32768};
}

// `why` says what broke, for a reader of the code; the warning names only the
// internal file, in the user's language.
void EndChain(Conversion& hf, const char* why) {
    hf.state.topicReader.ended = true;
    if (why) AddDamageWarning(hf, kDamageChain, "|TOPIC");
}

// Loads block b of |TOPIC into the reader's buffer; false past the end.
bool LoadBlock(Conversion& hf, std::int64_t b, std::uint32_t* blockPosition, bool* newBlock) {
    TopicReaderState& r = hf.state.topicReader;
    const TopicGeometry g = Geometry(hf);
    std::uint64_t start = static_cast<std::uint64_t>(g.blockSize) * static_cast<std::uint64_t>(b);
    if (start + 12 > hf.file.topic.size) {
        r.ended = true;
        return false;
    }
    std::uint32_t length = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(g.dataSize, hf.file.topic.size - start - 12));
    HelpStream& s = hf.state.stream;
    s.Seek(hf.file.topic.offset + start + 12);
    if (hf.file.compressed) {
        Lz77Status st;
        r.validBytes = Lz77Decompress(s, length, r.buffer.data(), static_cast<std::uint32_t>(r.buffer.size()), &st);
        if (st.badReference) AddDamageWarning(hf, kDamageCompressed, "|TOPIC");
        if (st.overflow) AddDamageWarning(hf, kDamageTooLong, "|TOPIC");
    } else {
        r.validBytes = static_cast<std::uint32_t>(s.Read(r.buffer.data(), std::min<std::size_t>(length, r.buffer.size())));
    }
    r.blockNumber = b;
    r.readPosition = 0;
    if (blockPosition) *blockPosition = static_cast<std::uint32_t>(b) * g.positionScale;
    if (newBlock) *newBlock = true;
    return true;
}

// At the start of a record: makes its header the next byte to deliver.
bool StartRecord(Conversion& hf, std::uint32_t* blockPosition, bool* newBlock) {
    TopicReaderState& r = hf.state.topicReader;
    const TopicGeometry g = Geometry(hf);
    std::int64_t blk = r.nextRecordPosition >> g.offsetBits;
    if (blk != r.blockNumber) {
        // Records only move forward; a link back would make a cycle.
        if (blk < r.blockNumber) {
            EndChain(hf, "record link points backwards");
            return false;
        }
        if (!LoadBlock(hf, blk, blockPosition, newBlock)) {
            if (!hf.file.isHC30) EndChain(hf, "record link past the end");
            return false;
        }
    }
    std::uint32_t offset = r.nextRecordPosition & g.mask;
    if (offset < 12) {
        EndChain(hf, "record header inside a block header");
        return false;
    }
    // The offset counts the 12-byte block header, the buffer does not: a
    // record may start in the last 12 bytes of a block's data (its header
    // then runs on into the next block).
    std::uint32_t at = offset - 12;
    if (at >= r.validBytes) {
        // HC30 chains end this way; later ones end with a link of -1, so
        // there a record past the block data is damage.
        EndChain(hf, hf.file.isHC30 ? nullptr : "record link past the block data");
        return false;
    }
    if (at < r.readPosition) {
        EndChain(hf, "record link points backwards");
        return false;
    }
    r.readPosition = at;
    r.currentRecordPosition = r.nextRecordPosition;
    r.inRecord = true;
    r.recordDone = 0;
    r.recordSize = 0;
    return true;
}

}  // namespace

std::uint32_t ReadTopicBytes(Conversion& hf, void* destination, std::uint32_t n, std::uint32_t* blockPosition,
                             bool* newBlock) {
    TopicReaderState& r = hf.state.topicReader;
    if (n == kResetTopicReader) {
        r = TopicReaderState{};
        return 0;
    }
    if (!hf.file.topic.present()) return 0;
    const TopicGeometry g = Geometry(hf);
    if (!r.started) {
        r.started = true;
        r.buffer.assign(hf.file.compressed ? 6u * g.dataSize : g.dataSize, 0);
        r.readPosition = 0;
        r.validBytes = 0;
        r.blockNumber = -1;
        r.nextRecordPosition = 12;
        r.inRecord = false;
        if (blockPosition) *blockPosition = 0;
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (r.ended) return 0;
        if (!r.inRecord) {
            if (!hf.file.isHC30 && r.blockNumber >= 0 && r.nextRecordPosition == 0xFFFFFFFFu) {
                r.ended = true;
                return 0;
            }
            if (!StartRecord(hf, blockPosition, newBlock)) return 0;
        }
        // A record that runs past the end of a block goes on in the next one.
        while (r.readPosition >= r.validBytes) {
            if (!LoadBlock(hf, r.blockNumber + 1, blockPosition, newBlock)) return 0;
        }
        std::uint8_t byte = r.buffer[r.readPosition++];
        out[i] = byte;
        if (r.recordDone == 0) r.recordStartBlock = r.blockNumber;
        if (r.recordDone < 16) r.header[r.recordDone] = byte;
        ++r.recordDone;
        if (r.recordDone == 4) {
            r.recordSize = GetU32(r.header);
            if (r.recordSize < kTopicLinkHeaderSize) {
                EndChain(hf, "record shorter than its header");
                return 0;
            }
        } else if (r.recordDone == 16) {
            std::uint32_t next = GetU32(r.header + 12);
            r.nextRecordPosition = hf.file.isHC30 ? next + r.currentRecordPosition : next;
        }
        if (r.recordDone >= 16 && r.recordDone == r.recordSize) r.inRecord = false;
    }
    return n;
}

namespace {

bool ReadChunked(Conversion& hf, std::string& out, std::uint32_t n, std::uint32_t* blockPosition, bool* newBlock) {
    out.clear();
    char chunk[4096];
    while (n > 0) {
        std::uint32_t k = std::min<std::uint32_t>(n, sizeof chunk);
        if (ReadTopicBytes(hf, chunk, k, blockPosition, newBlock) != k) return false;
        out.append(chunk, k);
        n -= k;
    }
    return true;
}

}  // namespace

bool ReadTopicLink(Conversion& hf, TopicLink& link) {
    TopicReaderState& r = hf.state.topicReader;
    std::uint8_t h[kTopicLinkHeaderSize];
    if (ReadTopicBytes(hf, h, kTopicLinkHeaderSize, nullptr, nullptr) != kTopicLinkHeaderSize) return false;
    // Topic offsets count characters from the block where a record's header
    // starts, also when the header runs over into the next block.
    link.newBlock = r.recordStartBlock != r.lastLinkBlock;
    link.blockPosition = static_cast<std::uint32_t>(r.recordStartBlock) * Geometry(hf).positionScale;
    r.lastLinkBlock = r.recordStartBlock;
    link.blockSize = GetU32(h);
    link.dataLen2 = GetU32(h + 4);
    link.prevBlock = GetU32(h + 8);
    link.nextBlock = GetU32(h + 12);
    link.dataLen1 = GetU32(h + 16);
    link.recordType = h[20];
    if (link.dataLen1 < kTopicLinkHeaderSize || link.dataLen1 > link.blockSize) {
        EndChain(hf, "record lengths contradict each other");
        return false;
    }
    if (!ReadChunked(hf, link.linkData1, link.dataLen1 - kTopicLinkHeaderSize, nullptr, nullptr) ||
        !ReadChunked(hf, link.linkData2, link.blockSize - link.dataLen1, nullptr, nullptr)) {
        if (!r.ended) EndChain(hf, "record runs past the end");
        else AddDamageWarning(hf, kDamagePastEnd, "|TOPIC");
        return false;
    }
    return true;
}

std::string ExpandLinkData2(Conversion& hf, const TopicLink& link) {
    std::uint32_t stored = static_cast<std::uint32_t>(link.linkData2.size());
    if (stored == 0) return {};
    bool hall = hf.file.phrIndex.present() && stored < link.dataLen2;
    return ExpandPhrases(hf, reinterpret_cast<const std::uint8_t*>(link.linkData2.data()),
                         std::min(stored, link.dataLen2), kTopicOutputSize, hall);
}

// ---- compressed numbers ----

std::int32_t ReadCompressedShort(const std::uint8_t*& c, std::uint32_t& remaining) {
    if (remaining == 0) return 0;
    if ((c[0] & 1) == 0) {
        std::int32_t v = (static_cast<std::int32_t>(c[0]) - 0x80) / 2;
        ++c;
        --remaining;
        return v;
    }
    if (remaining < 2) {
        c += remaining;
        remaining = 0;
        return 0;
    }
    // Floor division: the stored number is 2v + 1 + 0x8000, so truncating
    // towards zero would make every odd-stored negative value one too big
    // (a hanging indent of -400 twips came out as -390).
    std::int32_t v = (static_cast<std::int32_t>(GetU16(c)) - 0x8000) >> 1;
    c += 2;
    remaining -= 2;
    return v;
}

std::int32_t ReadCompressedWord(const std::uint8_t*& c, std::uint32_t& remaining) {
    if (remaining == 0) return 0;
    if ((c[0] & 1) == 0) {
        std::int32_t v = static_cast<std::int16_t>(c[0]) / 2;
        ++c;
        --remaining;
        return v;
    }
    if (remaining < 2) {
        c += remaining;
        remaining = 0;
        return 0;
    }
    std::int32_t v = static_cast<std::int16_t>(GetU16(c)) / 2;
    c += 2;
    remaining -= 2;
    return v;
}

std::int32_t ReadCompressedLong(const std::uint8_t*& c, std::uint32_t& remaining) {
    if (remaining < 2) {
        c += remaining;
        remaining = 0;
        return 0;
    }
    if ((c[0] & 1) == 0) {
        std::int32_t v = (static_cast<std::int32_t>(GetU16(c)) - 0x8000) / 2;
        c += 2;
        remaining -= 2;
        return v;
    }
    if (remaining < 4) {
        c += remaining;
        remaining = 0;
        return 0;
    }
    std::int32_t v = static_cast<std::int32_t>((static_cast<std::int64_t>(GetU32(c)) - 0x80000000ll) >> 1);
    c += 4;
    remaining -= 4;
    return v;
}

// ---- context names ----

std::vector<ContextEntry> ReadContextTable(const HelpFileData& file, ReadReport& report) {
    std::vector<ContextEntry> table;
    report.phase = kPhaseReadingContext;
    if (!file.context.present()) return table;
    HelpStream s = file.stream;
    BTreeHeader h;
    if (file.context.size < kBTreeHeaderSize || !ReadBTreeHeader(s, file.context.offset, h)) {
        AddDamageWarning(report, kDamageHeader, "|CONTEXT");
        return table;
    }
    std::uint32_t count = std::min<std::uint32_t>(h.totalEntries, file.context.size / 8);
    table.reserve(count);
    const std::uint32_t end = file.context.offset + file.context.size;
    bool intact = ForEachLeafPage(h, s, file.context.offset + kBTreeHeaderSize, end,
                                  [&](std::uint32_t at, std::uint32_t pageEnd, std::int16_t entries) {
                                      if (count) report.positions.push_back(43 + static_cast<int>(4ull * table.size() / count));
                                      std::uint32_t p = at + 8;
                                      for (std::int16_t j = 0; j < entries && table.size() < count; ++j) {
                                          if (p + 8 > pageEnd) return false;
                                          const std::uint8_t* d = s.Data() + p;
                                          table.push_back({GetU32(d), GetU32(d + 4)});
                                          p += 8;
                                      }
                                      return table.size() < count;
                                  });
    if (!intact || table.size() < count) AddDamageWarning(report, kDamageIncomplete, "|CONTEXT");
    return table;
}

void LoadContextTable(Conversion& hf) {
    hf.state.contextLookup = OffsetLookup();
    if (hf.file.tablesRead) {
        hf.state.contextTable = hf.file.contextTable;
        Report(hf, hf.file.contextReport);
        return;
    }
    ReadReport report;
    hf.state.contextTable = ReadContextTable(hf.file, report);
    Report(hf, report);
}

namespace {

// The help compiler counts a character by its code less that of '0' (so
// blank is -16, "(" -8, "-" -3, ":" 10, as a real help file's hashes show),
// letters in upper case, with '0', '.' and '_' moved to the gaps 10, 12, 13.
std::int32_t CharValue(unsigned char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c == '0') return 10;
    if (c == '.') return 12;
    if (c == '_') return 13;
    return static_cast<std::int32_t>(c) - '0';
}

char NameChar(std::uint32_t v) {
    if (v >= 1 && v <= 9) return static_cast<char>('0' + v);
    if (v == 10) return '0';
    if (v == 12) return '.';
    if (v == 13) return '_';
    if (v >= 17 && v <= 42) return static_cast<char>('a' + (v - 17));
    return '\0';
}

}  // namespace

std::uint32_t ContextHash(std::string_view name) {
    std::uint32_t h = 0;
    for (unsigned char c : name) h = h * 43u + static_cast<std::uint32_t>(CharValue(c));
    return h;
}

bool MakeNameForHash(std::string& buffer, std::uint32_t wanted) {
    const std::string prefix = buffer;
    const std::uint32_t h0 = ContextHash(prefix);
    std::uint32_t power = 1;  // 43^k, wrapping like the hash does
    for (int k = 0; k <= 14; ++k, power *= 43u) {
        std::uint32_t r = wanted - h0 * power;
        std::string suffix(static_cast<std::size_t>(k), '\0');
        bool ok = true;
        for (int pos = k - 1; pos >= 0; --pos) {
            char c = NameChar(r % 43u);
            if (!c) {
                ok = false;
                break;
            }
            suffix[static_cast<std::size_t>(pos)] = c;
            r /= 43u;
        }
        if (ok && r == 0) {
            buffer = prefix + suffix;
            return true;
        }
    }
    return false;
}

std::string ContextNameFromHash(Conversion& hf, std::uint32_t hash) {
    for (const auto& k : hf.state.knownNames)
        if (k.hash == hash) return k.name;
    if (!(hf.options.flags & kPageLinks)) {
        static const char* const kPrefixes[] = {"", "Ind", "con", "ID_", "IDH", "KEY", "ID", "cn"};
        auto tryPrefix = [&](const std::string& p, std::string& out) {
            out = p;
            return MakeNameForHash(out, hash) && ContextHash(out) == hash;
        };
        std::string name;
        for (const char* p : kPrefixes)
            if (tryPrefix(p, name)) return name;
        for (char c = 'A'; c <= 'Z'; ++c)
            if (tryPrefix(std::string(1, c), name)) return name;
    }
    return FormatString("0x%08lX", static_cast<unsigned long>(hash));
}

namespace {

constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

const OffsetLookup& ContextLookup(Conversion& hf) {
    OffsetLookup& l = hf.state.contextLookup;
    if (l.table == &hf.state.contextTable && l.size == hf.state.contextTable.size()) return l;
    l = OffsetLookup();
    l.table = &hf.state.contextTable;
    l.size = hf.state.contextTable.size();
    l.sorted.reserve(l.size);
    for (std::size_t i = 0; i < l.size; ++i)
        l.sorted.push_back({hf.state.contextTable[i].topicOffset, static_cast<std::uint32_t>(i)});
    std::sort(l.sorted.begin(), l.sorted.end());
    const std::size_t n = l.sorted.size();
    l.firstIndex.assign(2 * n, kNoIndex);
    for (std::size_t i = 0; i < n; ++i) l.firstIndex[n + i] = l.sorted[i].second;
    for (std::size_t i = n; i-- > 1;) l.firstIndex[i] = std::min(l.firstIndex[2 * i], l.firstIndex[2 * i + 1]);
    return l;
}

// Places [a, b) of `sorted` whose offsets lie in [from, to].
std::pair<std::size_t, std::size_t> PlacesBetween(const OffsetLookup& l, std::int64_t from, std::int64_t to) {
    auto key = [](const std::pair<std::int64_t, std::uint32_t>& e, std::int64_t v) { return e.first < v; };
    const auto a = std::lower_bound(l.sorted.begin(), l.sorted.end(), from, key);
    const auto b = std::lower_bound(a, l.sorted.end(), to + 1, key);
    return {static_cast<std::size_t>(a - l.sorted.begin()), static_cast<std::size_t>(b - l.sorted.begin())};
}

}  // namespace

std::optional<std::string> ContextNameForTopic(Conversion& hf, std::uint32_t low, std::uint32_t high) {
    if (low > high) return std::nullopt;
    const OffsetLookup& l = ContextLookup(hf);
    auto [a, b] = PlacesBetween(l, low, high);
    // The first entry in table order among those places.
    const std::size_t n = l.sorted.size();
    std::uint32_t first = kNoIndex;
    for (a += n, b += n; a < b; a >>= 1, b >>= 1) {
        if (a & 1) first = std::min(first, l.firstIndex[a++]);
        if (b & 1) first = std::min(first, l.firstIndex[--b]);
    }
    if (first == kNoIndex) return std::nullopt;
    return ContextNameFromHash(hf, hf.state.contextTable[first].hash);
}

bool HasContextEntry(Conversion& hf, std::uint32_t hash) {
    if (hf.state.contextHashes.size() != hf.state.contextTable.size()) {
        hf.state.contextHashes.clear();
        for (const ContextEntry& e : hf.state.contextTable) hf.state.contextHashes.push_back(e.hash);
        std::sort(hf.state.contextHashes.begin(), hf.state.contextHashes.end());
    }
    return std::binary_search(hf.state.contextHashes.begin(), hf.state.contextHashes.end(), hash);
}

std::vector<std::string> TakeContextNamesUpTo(Conversion& hf, std::int64_t high) {
    const OffsetLookup& l = ContextLookup(hf);
    std::vector<std::uint32_t> entries;
    std::size_t& at = hf.state.contextCursor;
    while (at < l.sorted.size() && l.sorted[at].first <= high) entries.push_back(l.sorted[at++].second);
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (std::uint32_t e : entries) names.push_back(ContextNameFromHash(hf, hf.state.contextTable[e].hash));
    return names;
}

void AddKnownContextName(Conversion& hf, const std::string& name) {
    hf.state.knownNames.push_back({ContextHash(name), name});
}

void RecordPictureFile(Conversion& hf, std::uint32_t pictureNumber, const std::string& fileName) {
    // Picture numbers come from internal file names; a wild one must not
    // make the list huge.
    if (pictureNumber > 0xFFFF) return;
    if (pictureNumber >= hf.state.pictureFiles.size()) hf.state.pictureFiles.resize(pictureNumber + 1);
    hf.state.pictureFiles[pictureNumber] = fileName;
}

std::optional<std::string> LookupTopicMap(Conversion& hf, std::uint32_t topicPosition) {
    if (!hf.file.tomap.present() || hf.file.tomap.size < 64) return std::nullopt;
    HelpStream& s = hf.state.stream;
    std::uint32_t back = s.Tell();
    std::optional<std::string> result;
    std::uint32_t n = (hf.file.tomap.size - 64) / 4;
    const std::uint8_t* p = s.Data() + hf.file.tomap.offset + 64;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (GetU32(p + 4 * i) == topicPosition) {
            result = ContextNameFromHash(hf, i + 1 + 15);
            break;
        }
    }
    s.Seek(back);
    return result;
}

// ---- keywords ----

namespace {

// The name a warning gives a keyword index.
std::string KeywordTreeName(const HelpFileData& file, const InternalFile& btree) {
    if (&btree == &file.awBtree) return "|AWBTREE";
    if (&btree == &file.kwBtree) return "|KWBTREE";
    return FormatString("keyword index at 0x%X", btree.offset);
}

}  // namespace

std::optional<KeywordTable> ReadKeywordIndex(const HelpFileData& file, const InternalFile& btree,
                                             const InternalFile& data, ReadReport& report) {
    report.phase = kPhaseScanningKeywords;
    if (!btree.present() || !data.present()) return std::nullopt;
    HelpStream s = file.stream;
    BTreeHeader h;
    if (btree.size < kBTreeHeaderSize || !ReadBTreeHeader(s, btree.offset, h)) {
        AddDamageWarning(report, kDamageHeader, KeywordTreeName(file, btree));
        return std::nullopt;
    }
    const std::uint32_t count = data.size / 4;
    KeywordTable table;
    table.reserve(count);
    const std::uint32_t end = btree.offset + btree.size;
    const std::uint32_t dataEnd = data.offset + data.size;
    std::uint32_t keywordsDone = 0;
    bool damaged = false;
    bool intact = ForEachLeafPage(h, s, btree.offset + kBTreeHeaderSize, end,
                                  [&](std::uint32_t at, std::uint32_t pageEnd, std::int16_t entries) {
        s.Seek(at + 8);
        std::string keyword;
        for (std::int16_t j = 0; j < entries; ++j) {
            if (count) report.positions.push_back(43 + static_cast<int>(3ull * std::min(keywordsDone, count) / count));
            std::uint32_t keywordPosition = s.Tell();
            std::uint16_t occurrences = 0;
            std::uint32_t offset = 0;
            if (!s.ReadCString(keyword, pageEnd) || s.Tell() + 6 > pageEnd || !s.ReadU16(occurrences) ||
                !s.ReadU32(offset)) {
                damaged = true;
                return false;
            }
            ++keywordsDone;
            std::uint64_t p = static_cast<std::uint64_t>(data.offset) + offset;
            for (std::uint16_t i = 0; i < occurrences && table.size() < count; ++i, p += 4) {
                if (p + 4 > dataEnd) {
                    damaged = true;
                    break;
                }
                table.push_back({GetU32(s.Data() + p), keywordPosition});
            }
        }
        return true;
    });
    if (!intact || damaged) AddDamageWarning(report, kDamageIncomplete, KeywordTreeName(file, btree));
    return table;
}

std::optional<KeywordTable> LoadKeywordIndex(Conversion& hf, const InternalFile& btree, const InternalFile& data) {
    if (hf.file.tablesRead) {
        if (&btree == &hf.file.kwBtree && &data == &hf.file.kwData) {
            Report(hf, hf.file.kReport);
            return hf.file.kTable;
        }
        if (&btree == &hf.file.awBtree && &data == &hf.file.awData) {
            Report(hf, hf.file.aReport);
            return hf.file.aTable;
        }
    }
    ReadReport report;
    std::optional<KeywordTable> table = ReadKeywordIndex(hf.file, btree, data, report);
    Report(hf, report);
    return table;
}

void ResetKeywordLookups(Conversion& hf) { hf.state.keywordLookups.clear(); }

namespace {

void SortKeywordLookup(OffsetLookup& l, const KeywordTable& table) {
    l.size = table.size();
    l.stale = false;
    l.sorted.clear();
    l.sorted.reserve(l.size);
    for (std::size_t i = 0; i < l.size; ++i)
        l.sorted.push_back({static_cast<std::int32_t>(table[i].topicOffset), static_cast<std::uint32_t>(i)});
    std::sort(l.sorted.begin(), l.sorted.end());
    l.taken.resize(l.size, false);
    l.nextFree.resize(l.size + 1);
    for (std::size_t p = 0; p <= l.size; ++p)
        l.nextFree[p] = static_cast<std::uint32_t>(p < l.size && l.taken[l.sorted[p].second] ? p + 1 : p);
}

OffsetLookup& KeywordLookup(Conversion& hf, const KeywordTable& table) {
    for (OffsetLookup& l : hf.state.keywordLookups) {
        if (l.table != &table) continue;
        if (l.size != table.size()) {
            l.taken.clear();
            SortKeywordLookup(l, table);
        } else if (l.stale) {
            SortKeywordLookup(l, table);
        }
        return l;
    }
    OffsetLookup l;
    l.table = &table;
    SortKeywordLookup(l, table);
    hf.state.keywordLookups.push_back(std::move(l));
    return hf.state.keywordLookups.back();
}

// The first place at or after p not yet given to a record.
std::size_t NextFree(OffsetLookup& l, std::size_t p) {
    while (l.nextFree[p] != p) {
        l.nextFree[p] = l.nextFree[l.nextFree[p]];
        p = l.nextFree[p];
    }
    return p;
}

// The keywords whose occurrences lie in [from, to], in table order. Each
// is moved to `topicOffset`, or with `consume` given to this record for
// good (and left where it is, so a second pass finds the same), so that no
// later record takes it again.
std::optional<std::string> CollectBetween(Conversion& hf, std::int64_t from, std::int64_t to, std::uint32_t topicOffset,
                                          KeywordTable& table, bool consume, std::vector<KeywordHit>* hits) {
    OffsetLookup& l = KeywordLookup(hf, table);
    const auto [a, b] = PlacesBetween(l, from, to);
    std::vector<std::uint32_t> places;
    for (std::size_t p = NextFree(l, a); p < b; p = NextFree(l, p + 1)) places.push_back(static_cast<std::uint32_t>(p));
    if (places.empty()) return std::nullopt;
    std::vector<std::uint32_t> entries;
    entries.reserve(places.size());
    for (std::uint32_t p : places) entries.push_back(l.sorted[p].second);
    std::sort(entries.begin(), entries.end());

    HelpStream& s = hf.state.stream;
    std::uint32_t back = s.Tell();
    std::string result, keyword;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        KeywordEntry& e = table[entries[i]];
        const std::uint32_t own = e.topicOffset;
        if (!consume) e.topicOffset = topicOffset;
        if (i) result.push_back(';');
        s.Seek(e.keywordPosition);
        s.ReadCString(keyword, s.Size());
        result.append(keyword);
        if (hits) hits->push_back({keyword, own});
    }
    s.Seek(back);
    if (consume) {
        for (std::uint32_t p : places) {
            l.taken[l.sorted[p].second] = true;
            l.nextFree[p] = p + 1;
        }
    } else {
        // The moved offsets all lie inside [from, to], so the places stay in
        // order, unless places taken earlier sit between them with their
        // old offsets: then sort again before the next search.
        if (places.size() != b - a) l.stale = true;
        for (std::uint32_t p : places) l.sorted[p].first = static_cast<std::int32_t>(topicOffset);
        if (!l.stale) std::sort(l.sorted.begin() + static_cast<std::ptrdiff_t>(a), l.sorted.begin() + static_cast<std::ptrdiff_t>(b));
    }
    return result;
}

}  // namespace

std::optional<std::string> CollectTopicKeywords(Conversion& hf, std::uint32_t topicOffset, KeywordTable& table,
                                                std::vector<KeywordHit>* hits) {
    const std::int64_t t = static_cast<std::int32_t>(topicOffset);
    return CollectBetween(hf, t - 2, t + 2, topicOffset, table, false, hits);
}

std::optional<std::string> CollectTopicKeywordsInRange(Conversion& hf, std::uint32_t low, std::uint32_t high,
                                                       KeywordTable& table, std::vector<KeywordHit>* hits) {
    const std::int64_t t = static_cast<std::int32_t>(low);
    std::int64_t to = t + 2;
    if (high >= low) to = std::max<std::int64_t>(to, t + (high - low));
    return CollectBetween(hf, t - 2, to, low, table, true, hits);
}

// ---- topic summaries ----

namespace {

struct Interval {
    std::int64_t from, to;
    std::size_t topic;
};

// For each point, the topic of the first interval (in the given order)
// containing it, or npos. A sweep over sorted points with a heap of open
// intervals keyed by their order: O((intervals + points) log n), so a file
// with many records and many index entries cannot make this quadratic.
std::vector<std::size_t> AssignPoints(const std::vector<Interval>& intervals, const std::vector<std::int64_t>& points) {
    constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::vector<std::size_t> byFrom(intervals.size()), byPoint(points.size());
    for (std::size_t i = 0; i < byFrom.size(); ++i) byFrom[i] = i;
    for (std::size_t i = 0; i < byPoint.size(); ++i) byPoint[i] = i;
    std::stable_sort(byFrom.begin(), byFrom.end(),
                     [&](std::size_t a, std::size_t b) { return intervals[a].from < intervals[b].from; });
    std::stable_sort(byPoint.begin(), byPoint.end(), [&](std::size_t a, std::size_t b) { return points[a] < points[b]; });
    std::vector<std::size_t> result(points.size(), npos);
    std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> open;
    std::size_t next = 0;
    for (std::size_t p : byPoint) {
        const std::int64_t x = points[p];
        while (next < byFrom.size() && intervals[byFrom[next]].from <= x) open.push(byFrom[next++]);
        while (!open.empty() && intervals[open.top()].to < x) open.pop();
        if (!open.empty()) result[p] = intervals[open.top()].topic;
    }
    return result;
}

void AssignKeywords(Conversion& hf, const KeywordTable& table, const std::vector<Interval>& ranges,
                    std::vector<TopicSummary>& topics, std::vector<std::string> TopicSummary::*list) {
    std::vector<std::int64_t> points;
    points.reserve(table.size());
    for (const auto& e : table) points.push_back(static_cast<std::int32_t>(e.topicOffset));
    std::vector<std::size_t> owner = AssignPoints(ranges, points);
    HelpStream& s = hf.state.stream;
    std::string keyword;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (owner[i] == static_cast<std::size_t>(-1)) continue;
        s.Seek(table[i].keywordPosition);
        s.ReadCString(keyword, s.Size());
        (topics[owner[i]].*list).push_back(keyword);
    }
}

}  // namespace

std::vector<TopicSummary> ListTopics(Conversion& hf) {
    if (hf.state.contextTable.empty()) LoadContextTable(hf);
    if (hf.state.kTable.empty()) {
        if (auto t = LoadKeywordIndex(hf, hf.file.kwBtree, hf.file.kwData)) hf.state.kTable = std::move(*t);
        ResetKeywordLookups(hf);
    }
    if (hf.state.aTable.empty()) {
        if (auto t = LoadKeywordIndex(hf, hf.file.awBtree, hf.file.awData)) hf.state.aTable = std::move(*t);
        ResetKeywordLookups(hf);
    }
    std::vector<TopicSummary> topics;
    // Character ranges of the text records for keywords: the record's
    // characters and up to 2 before and after its start, as the topic
    // loop's window takes them.
    std::vector<Interval> keywordRanges;
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);
    std::uint32_t charPos = 0;
    std::int32_t topicNumber = 0;
    // HC30 keywords point at the topic header's record position; the topic
    // loop asks for them at the topic's first text record.
    std::uint32_t headerRecordPosition = 0;
    TopicLink link;
    while (ReadTopicLink(hf, link)) {
        if (link.newBlock) charPos = link.blockPosition;
        if (link.recordType == 2) {
            headerRecordPosition = hf.state.topicReader.currentRecordPosition;
            TopicSummary t;
            if (hf.file.isHC30) {
                t.topicNumber = ++topicNumber;
                t.contextNames.push_back(ContextNameFromHash(hf, static_cast<std::uint32_t>(topicNumber) + 15));
            } else if (link.linkData1.size() >= 16) {
                t.topicNumber = static_cast<std::int32_t>(
                    GetU32(reinterpret_cast<const std::uint8_t*>(link.linkData1.data()) + 12));
            }
            std::string text = ExpandLinkData2(hf, link);
            std::size_t z = text.find('\0');
            t.title = text.substr(0, z);
            if (z != std::string::npos) {
                std::size_t z2 = text.find('\0', z + 1);
                t.entryMacro = text.substr(z + 1, z2 == std::string::npos ? std::string::npos : z2 - z - 1);
            }
            topics.push_back(std::move(t));
            // An old file's chain ends at a header whose block size is below 9.
            if (hf.file.isHC30 && (link.linkData1.size() < 4 ||
                              GetU32(reinterpret_cast<const std::uint8_t*>(link.linkData1.data())) < 9))
                break;
        } else if (link.recordType == 0x20 || link.recordType == 0x01 || link.recordType == 0x23) {
            if (!topics.empty()) {
                TopicSummary& t = topics.back();
                if (t.textRecords++ == 0) t.firstCharacter = charPos;
                t.characterEnd = charPos + link.dataLen2;
                const std::size_t index = topics.size() - 1;
                if (hf.file.isHC30) {
                    if (t.textRecords == 1) {
                        const std::int64_t at = static_cast<std::int32_t>(headerRecordPosition);
                        keywordRanges.push_back({at - 2, at + 2, index});
                    }
                } else {
                    const std::int64_t low = static_cast<std::int32_t>(charPos);
                    keywordRanges.push_back(
                        {low - 2, std::max<std::int64_t>(low + 2, low + static_cast<std::int64_t>(link.dataLen2) - 1),
                         index});
                }
            }
            charPos += link.dataLen2;
        } else {
            AddWarning(hf, 20, {static_cast<int>(link.recordType)});
        }
    }
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);

    if (!hf.file.isHC30) {
        // A context names the topic whose characters hold its offset. When a
        // topic's text runs over a block end the compilers may count some
        // of it from the old block, so the gap between its records counts
        // as the topic's too.
        std::vector<Interval> spans;
        for (std::size_t i = 0; i < topics.size(); ++i)
            if (topics[i].characterEnd > topics[i].firstCharacter)
                spans.push_back({topics[i].firstCharacter, static_cast<std::int64_t>(topics[i].characterEnd) - 1, i});
        std::vector<std::int64_t> points;
        for (const auto& e : hf.state.contextTable) points.push_back(e.topicOffset);
        std::vector<std::size_t> owner = AssignPoints(spans, points);
        for (std::size_t i = 0; i < owner.size(); ++i)
            if (owner[i] != static_cast<std::size_t>(-1))
                topics[owner[i]].contextNames.push_back(ContextNameFromHash(hf, hf.state.contextTable[i].hash));
    }
    AssignKeywords(hf, hf.state.kTable, keywordRanges, topics, &TopicSummary::kKeywords);
    AssignKeywords(hf, hf.state.aTable, keywordRanges, topics, &TopicSummary::aKeywords);
    return topics;
}

}  // namespace conv
