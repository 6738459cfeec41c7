#include "converter/tests/hlp_builder.h"

#include <algorithm>
#include <stdexcept>

namespace hlptest {

void PutU8(std::string& s, std::uint8_t v) { s.push_back(static_cast<char>(v)); }
void PutU16(std::string& s, std::uint16_t v) {
    PutU8(s, static_cast<std::uint8_t>(v));
    PutU8(s, static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::string& s, std::uint32_t v) {
    PutU16(s, static_cast<std::uint16_t>(v));
    PutU16(s, static_cast<std::uint16_t>(v >> 16));
}
std::string U16(std::uint16_t v) {
    std::string s;
    PutU16(s, v);
    return s;
}
std::string U32(std::uint32_t v) {
    std::string s;
    PutU32(s, v);
    return s;
}

std::string Lz77Literal(const std::string& plain) {
    std::string out;
    for (std::size_t i = 0; i < plain.size(); i += 8) {
        out.push_back('\0');
        out.append(plain, i, 8);
    }
    return out;
}

std::string BuildBTree(const std::vector<std::string>& leafEntries, const std::vector<std::string>& indexKeys,
                       std::uint16_t pageSize, BTreeShape* shape) {
    struct Page {
        std::string body;  // entries
        std::int16_t count = 0;
        std::int16_t firstChild = -1;
        bool leaf = true;
        std::size_t firstEntry = 0;  // index of its first leaf entry
    };
    std::vector<Page> pages;
    // Leaves.
    for (std::size_t i = 0; i < leafEntries.size(); ++i) {
        if (pages.empty() || pages.back().body.size() + leafEntries[i].size() > pageSize - 8u) {
            pages.push_back(Page{});
            pages.back().firstEntry = i;
        }
        pages.back().body += leafEntries[i];
        ++pages.back().count;
    }
    if (pages.empty()) pages.push_back(Page{});
    std::size_t leafCount = pages.size();
    std::vector<std::size_t> level;
    for (std::size_t i = 0; i < leafCount; ++i) level.push_back(i);
    std::uint16_t levels = 1;
    while (level.size() > 1) {
        std::vector<std::size_t> upper;
        for (std::size_t child : level) {
            std::string entry = indexKeys[pages[child].firstEntry] + U16(static_cast<std::uint16_t>(child));
            if (upper.empty() || pages[upper.back()].body.size() + entry.size() > pageSize - 6u) {
                Page p;
                p.leaf = false;
                p.firstChild = static_cast<std::int16_t>(child);
                p.firstEntry = pages[child].firstEntry;
                pages.push_back(p);
                upper.push_back(pages.size() - 1);
                continue;
            }
            pages[upper.back()].body += entry;
            ++pages[upper.back()].count;
        }
        level = upper;
        ++levels;
    }
    std::uint16_t root = static_cast<std::uint16_t>(level.front());
    std::string out;
    PutU16(out, 0x293B);
    PutU16(out, 0x0402);
    PutU16(out, pageSize);
    std::string structure = "z4";
    structure.resize(16, '\0');
    out += structure;
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, root);
    PutU16(out, 0xFFFF);
    PutU16(out, static_cast<std::uint16_t>(pages.size()));
    PutU16(out, levels);
    PutU32(out, static_cast<std::uint32_t>(leafEntries.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const Page& p = pages[i];
        std::string page;
        PutU16(page, 0);
        PutU16(page, static_cast<std::uint16_t>(p.count));
        if (p.leaf) {
            PutU16(page, static_cast<std::uint16_t>(i == 0 ? -1 : static_cast<int>(i) - 1));
            PutU16(page, static_cast<std::uint16_t>(i + 1 < leafCount ? static_cast<int>(i) + 1 : -1));
        } else {
            PutU16(page, static_cast<std::uint16_t>(p.firstChild));
        }
        page += p.body;
        page.resize(pageSize, '\0');
        out += page;
    }
    if (shape) *shape = {static_cast<std::uint16_t>(pages.size()), levels, root};
    return out;
}

std::string BuildHelpFile(std::vector<InternalFileDef> files, std::uint16_t directoryPageSize) {
    std::sort(files.begin(), files.end(),
              [](const InternalFileDef& a, const InternalFileDef& b) { return a.name < b.name; });
    std::string out(16, '\0');
    std::vector<std::string> entries, keys;
    for (const auto& f : files) {
        std::uint32_t at = static_cast<std::uint32_t>(out.size());
        PutU32(out, static_cast<std::uint32_t>(f.data.size()));
        PutU32(out, static_cast<std::uint32_t>(f.data.size()));
        PutU8(out, 0);
        out += f.data;
        entries.push_back(f.name + std::string(1, '\0') + U32(at));
        keys.push_back(f.name + std::string(1, '\0'));
    }
    std::string directory = BuildBTree(entries, keys, directoryPageSize);
    std::uint32_t dirAt = static_cast<std::uint32_t>(out.size());
    PutU32(out, static_cast<std::uint32_t>(directory.size()));
    PutU32(out, static_cast<std::uint32_t>(directory.size()));
    PutU8(out, 4);
    out += directory;
    std::string header;
    PutU32(header, 0x00035F3F);
    PutU32(header, dirAt);
    PutU32(header, 0xFFFFFFFF);
    PutU32(header, static_cast<std::uint32_t>(out.size()));
    out.replace(0, 16, header);
    return out;
}

std::string SystemFile(std::uint16_t minor, std::uint16_t flags,
                       const std::vector<std::pair<std::uint16_t, std::string>>& records) {
    std::string out;
    PutU16(out, 0x036C);
    PutU16(out, minor);
    PutU16(out, 1);
    PutU32(out, 0x30000000);
    PutU16(out, flags);
    for (const auto& [type, data] : records) {
        if (minor == 15) {
            out += data;
            continue;
        }
        PutU16(out, type);
        PutU16(out, static_cast<std::uint16_t>(data.size()));
        out += data;
    }
    return out;
}

TopicLayout BuildTopic(const std::vector<TopicRecordDef>& records, bool lz77, std::uint32_t blockPayload,
                       bool hc30) {
    // 3,630 plain bytes encode to exactly 4,084 literal-only LZ77 bytes, so a
    // compressed block needs no padding (padding would decode as data).
    const std::uint32_t blockSize = hc30 ? 2048 : 4096;
    const std::uint32_t blockScale = hc30 ? 2048 : 16384;
    const std::uint32_t charScale = hc30 ? 4096 : 32768;
    if (blockPayload == 0) blockPayload = hc30 ? 2036 : lz77 ? 3630 : 4084;
    // Serialize records into one stream, recording where each begins.
    std::vector<std::string> raw;
    std::vector<std::uint32_t> starts;
    std::uint32_t q = 0;
    for (const auto& r : records) {
        starts.push_back(q);
        q += 21 + static_cast<std::uint32_t>(r.linkData1.size() + r.linkData2.size());
    }
    auto positionOf = [&](std::uint32_t streamPos) {
        return (streamPos / blockPayload) * blockScale + streamPos % blockPayload + 12u;
    };
    TopicLayout layout;
    std::string stream;
    std::int64_t lastBlock = -1;
    std::uint32_t chars = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        std::uint32_t block = starts[i] / blockPayload;
        if (block != lastBlock) {
            chars = 0;
            lastBlock = block;
        }
        std::uint32_t expanded = r.expandedLength == 0xFFFFFFFF ? static_cast<std::uint32_t>(r.linkData2.size())
                                                                : r.expandedLength;
        layout.positions.push_back(positionOf(starts[i]));
        layout.charOffsets.push_back(block * charScale + chars);
        if (r.type != 2) chars += expanded;
        std::string rec;
        PutU32(rec, 21 + static_cast<std::uint32_t>(r.linkData1.size() + r.linkData2.size()));
        PutU32(rec, expanded);
        PutU32(rec, i == 0 ? 0xFFFFFFFFu : positionOf(starts[i - 1]));
        std::uint32_t next = i + 1 < records.size() ? positionOf(starts[i + 1]) : 0xFFFFFFFFu;
        if (hc30 && i + 1 < records.size()) next -= positionOf(starts[i]);
        PutU32(rec, next);
        PutU32(rec, 21 + static_cast<std::uint32_t>(r.linkData1.size()));
        PutU8(rec, r.type);
        rec += r.linkData1;
        rec += r.linkData2;
        stream += rec;
    }
    for (std::size_t at = 0; at < stream.size() || at == 0; at += blockPayload) {
        std::string payload = stream.substr(at, blockPayload);
        std::string block;
        PutU32(block, 0);
        PutU32(block, 0);
        PutU32(block, 0);
        block += lz77 ? Lz77Literal(payload) : payload;
        bool last = at + blockPayload >= stream.size();
        if (lz77 && (last ? block.size() > blockSize : block.size() != blockSize))
            throw std::logic_error("LZ77 block payload must encode to one whole block");
        if (!last) block.resize(blockSize, '\0');
        layout.data += block;
        if (stream.empty()) break;
    }
    return layout;
}

TopicRecordDef TopicHeader(std::int32_t topicNumber, const std::string& title, const std::string& macro) {
    TopicRecordDef r;
    r.type = 2;
    PutU32(r.linkData1, 0);            // block size
    PutU32(r.linkData1, 0xFFFFFFFF);   // browse previous
    PutU32(r.linkData1, 0xFFFFFFFF);   // browse next
    PutU32(r.linkData1, static_cast<std::uint32_t>(topicNumber));
    PutU32(r.linkData1, 0xFFFFFFFF);   // non-scrolling region
    PutU32(r.linkData1, 0);            // scrolling region
    PutU32(r.linkData1, 0);            // next topic
    r.linkData2 = title + std::string(1, '\0') + macro;
    return r;
}

TopicRecordDef TextRecord(const std::string& text) {
    TopicRecordDef r;
    r.type = 0x20;
    r.linkData1 = std::string("\x80\x80", 2);  // topic size, topic length
    r.linkData2 = text;
    return r;
}

std::string ContextFile(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries, std::uint16_t pageSize) {
    std::vector<std::string> leaf, keys;
    for (const auto& [hash, offset] : entries) {
        leaf.push_back(U32(hash) + U32(offset));
        keys.push_back(U32(hash));
    }
    return BuildBTree(leaf, keys, pageSize);
}

KeywordFiles KeywordIndex(const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& keywords,
                          std::uint16_t pageSize) {
    KeywordFiles f;
    std::vector<std::string> leaf, keys;
    for (const auto& [word, offsets] : keywords) {
        std::uint32_t at = static_cast<std::uint32_t>(f.data.size());
        for (std::uint32_t o : offsets) PutU32(f.data, o);
        leaf.push_back(word + std::string(1, '\0') + U16(static_cast<std::uint16_t>(offsets.size())) + U32(at));
        keys.push_back(word + std::string(1, '\0'));
    }
    f.btree = BuildBTree(leaf, keys, pageSize);
    return f;
}

std::string OldPhrasesFile(const std::vector<std::string>& phrases) {
    std::string text;
    std::string offsets;
    std::uint16_t base = static_cast<std::uint16_t>((phrases.size() + 1) * 2);
    for (const auto& p : phrases) {
        PutU16(offsets, static_cast<std::uint16_t>(base + text.size()));
        text += p;
    }
    PutU16(offsets, static_cast<std::uint16_t>(base + text.size()));
    std::string out;
    PutU16(out, static_cast<std::uint16_t>(phrases.size()));
    PutU16(out, 0x0100);
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    out += offsets;
    out += Lz77Literal(text);
    return out;
}

std::pair<std::string, std::string> HallPhraseFiles(const std::vector<std::string>& phrases, unsigned w, bool lz77) {
    std::string bits(4, '\0');
    bits[0] = static_cast<char>(w);
    std::uint64_t bitPos = 32;
    auto put = [&](unsigned b) {
        if ((bitPos >> 3) >= bits.size()) bits.push_back('\0');
        if (b) bits[bitPos >> 3] = static_cast<char>(bits[bitPos >> 3] | (1 << (bitPos & 7)));
        ++bitPos;
    };
    std::string image;
    for (const auto& p : phrases) {
        std::uint32_t v = static_cast<std::uint32_t>(p.size()) - 1;
        for (std::uint32_t q = v >> w; q > 0; --q) put(1);
        put(0);
        for (unsigned b = 0; b < w; ++b) put((v >> b) & 1);
        image += p;
    }
    std::string stored = lz77 ? Lz77Literal(image) : image;
    std::string index;
    PutU32(index, 1);
    PutU32(index, static_cast<std::uint32_t>(phrases.size()));
    PutU32(index, static_cast<std::uint32_t>(bits.size()));
    PutU32(index, static_cast<std::uint32_t>(image.size()));
    PutU32(index, static_cast<std::uint32_t>(stored.size()));
    PutU32(index, 0);
    index += bits;
    return {index, stored};
}

// ---- pictures ----

std::string PackedWord(std::uint32_t v) {
    return v < 128 ? std::string(1, static_cast<char>(v << 1)) : U16(static_cast<std::uint16_t>((v << 1) | 1));
}

std::string PackedDword(std::uint32_t v) { return v < 32768 ? U16(static_cast<std::uint16_t>(v << 1)) : U32((v << 1) | 1); }

std::string ShgContainer(const std::string& signature, const std::vector<std::string>& images) {
    std::string s = signature + U16(static_cast<std::uint16_t>(images.size()));
    std::uint32_t at = 4 + 4 * static_cast<std::uint32_t>(images.size());
    for (const auto& i : images) {
        s += U32(at);
        at += static_cast<std::uint32_t>(i.size());
    }
    for (const auto& i : images) s += i;
    return s;
}

std::string ShgBitmapImage(std::uint32_t w, std::uint32_t h, std::uint32_t bits, int packing, const std::string& palette,
                           std::uint32_t colours, const std::string& data, const std::string& hotspots,
                           std::uint32_t important) {
    std::string head = U16(static_cast<std::uint16_t>(0x0006 | (packing << 8))) + PackedDword(96) + PackedDword(96) +
                       PackedWord(1) + PackedWord(bits) + PackedDword(w) + PackedDword(h) + PackedDword(colours) +
                       PackedDword(important) + PackedDword(static_cast<std::uint32_t>(data.size())) +
                       PackedDword(static_cast<std::uint32_t>(hotspots.size()));
    const std::uint32_t dataOffset = static_cast<std::uint32_t>(head.size() + 8 + palette.size());
    head += U32(dataOffset) + U32(hotspots.empty() ? 0 : dataOffset + static_cast<std::uint32_t>(data.size()));
    return head + palette + data + hotspots;
}

std::string ShgMetafileImage(std::uint16_t w, std::uint16_t h, const std::string& records, const std::string& hotspots) {
    std::string head = U16(0x0008) + std::string(1, '\x08') + U16(w) + U16(h) +
                       PackedDword(static_cast<std::uint32_t>(records.size())) +
                       PackedDword(static_cast<std::uint32_t>(records.size())) +
                       PackedDword(static_cast<std::uint32_t>(hotspots.size()));
    const std::uint32_t dataOffset = static_cast<std::uint32_t>(head.size()) + 8;
    head += U32(dataOffset) + U32(hotspots.empty() ? 0 : dataOffset + static_cast<std::uint32_t>(records.size()));
    return head + records + hotspots;
}

std::string ShgHotspotBlock(const std::vector<ShgHotspotDef>& hotspots) {
    auto isMacro = [](std::uint16_t kind) { return kind == 0x00C8 || kind == 0x04CC; };
    std::string macros;
    for (const auto& h : hotspots)
        if (isMacro(h.kind)) macros += h.target + std::string(1, '\0');
    std::string s = std::string(1, '\x01') + U16(static_cast<std::uint16_t>(hotspots.size())) +
                    U32(static_cast<std::uint32_t>(macros.size()));
    for (const auto& h : hotspots)
        s += U16(h.kind) + std::string(1, '\0') + U16(h.left) + U16(h.top) + U16(h.width) + U16(h.height) + U32(0);
    s += macros;
    for (const auto& h : hotspots) s += h.name + std::string(1, '\0') + h.target + std::string(1, '\0');
    return s;
}

}  // namespace hlptest
