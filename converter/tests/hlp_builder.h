// A small generator of compiled help files for tests: the container with its
// directory B-tree, |SYSTEM, |TOPIC blocks (plain or LZ77), phrase tables,
// |CONTEXT and keyword indexes. It writes the layout the reader expects,
// field by field, so tests can make exactly the shapes (and the damage)
// the real files lack.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hlptest {

void PutU8(std::string& s, std::uint8_t v);
void PutU16(std::string& s, std::uint16_t v);
void PutU32(std::string& s, std::uint32_t v);
std::string U16(std::uint16_t v);
std::string U32(std::uint32_t v);

// LZ77 with literals only (a flag byte 0 before every 8 bytes): valid input
// for the decompressor, 9/8 of the plain size.
std::string Lz77Literal(const std::string& plain);

// A B-tree (38-byte header and pages). Leaf entries are packed in order into
// pages of `pageSize`; every upper level has index pages whose entries are
// {indexKey(first entry of the child), child page u16}. Pages are numbered
// leaves first, the root last.
struct BTreeShape {
    std::uint16_t pages = 0;
    std::uint16_t levels = 0;
    std::uint16_t root = 0;
};
std::string BuildBTree(const std::vector<std::string>& leafEntries, const std::vector<std::string>& indexKeys,
                       std::uint16_t pageSize, BTreeShape* shape = nullptr);

struct InternalFileDef {
    std::string name;
    std::string data;
};
// The whole help file: header, internal files, then the directory (names
// sorted bytewise, as the compilers store them).
std::string BuildHelpFile(std::vector<InternalFileDef> files, std::uint16_t directoryPageSize = 1024);

// |SYSTEM: 12-byte header then {type, length, data} records (none for HC30,
// where `records` may hold one type-0 record whose data is the title text).
std::string SystemFile(std::uint16_t minor, std::uint16_t flags,
                       const std::vector<std::pair<std::uint16_t, std::string>>& records);

// One topic-link record before layout.
struct TopicRecordDef {
    std::uint8_t type = 0x20;
    std::string linkData1;       // after the 21-byte header
    std::string linkData2;       // as stored
    std::uint32_t expandedLength = 0xFFFFFFFF;  // default: stored length
};
struct TopicLayout {
    std::string data;                       // the |TOPIC internal file
    std::vector<std::uint32_t> positions;   // record position of each record
    std::vector<std::uint32_t> charOffsets; // topic offset of each record's first character
};
// Lays the records out one after another in 4,096-byte blocks of
// `blockPayload` bytes of record data each (0: 4,084 plain, 3,630 with
// `lz77`, where every block's data is stored with Lz77Literal).
// With `hc30` the blocks are 2,048 bytes and each next-record field is
// relative to the record's own position (block * 2,048 + offset).
TopicLayout BuildTopic(const std::vector<TopicRecordDef>& records, bool lz77, std::uint32_t blockPayload = 0,
                       bool hc30 = false);

// A topic header record (type 2) with the given title and entry macro.
TopicRecordDef TopicHeader(std::int32_t topicNumber, const std::string& title, const std::string& macro = "");
// A text record whose stored text is `text`.
TopicRecordDef TextRecord(const std::string& text);

// |CONTEXT from {hash, topic offset} pairs (sorted by hash by the caller).
std::string ContextFile(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries, std::uint16_t pageSize = 1024);

// Keyword B-tree and data file from {keyword, topic offsets} in order.
struct KeywordFiles {
    std::string btree;
    std::string data;
};
KeywordFiles KeywordIndex(const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& keywords,
                          std::uint16_t pageSize = 1024);

// Old phrase table, LZ77-compressed text (HC31 layout).
std::string OldPhrasesFile(const std::vector<std::string>& phrases);
// Hall tables: |PhrIndex (bit width w) and |PhrImage (plain or LZ77).
std::pair<std::string, std::string> HallPhraseFiles(const std::vector<std::string>& phrases, unsigned w, bool lz77);

// ---- pictures ----
// Packed numbers of picture headers: the low bit chooses the long form.
std::string PackedWord(std::uint32_t v);
std::string PackedDword(std::uint32_t v);

// A picture container ("lp" or "lP") of the given images.
std::string ShgContainer(const std::string& signature, const std::vector<std::string>& images);

// A bitmap image claiming w x h at `bits` per pixel with a palette of
// `colours` entries (0: none written; the header then says 0, which means a
// full palette up to 8 bits), its pixel data stored as given with `packing`,
// then the hotspot block.
std::string ShgBitmapImage(std::uint32_t w, std::uint32_t h, std::uint32_t bits, int packing, const std::string& palette,
                           std::uint32_t colours, const std::string& data, const std::string& hotspots = "",
                           std::uint32_t important = 0);
// A metafile image of w x h hundredths of a millimetre, records unpacked.
std::string ShgMetafileImage(std::uint16_t w, std::uint16_t h, const std::string& records,
                             const std::string& hotspots = "");

// A hotspot of a picture: kind 0x00E3/0x04E7 jump, 0x00E2/0x04E6 popup,
// 0x00C8/0x04CC macro.
struct ShgHotspotDef {
    std::uint16_t kind = 0x00E3;
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::string name;
    std::string target;  // context name, or the macro of a macro hotspot
};
// The hotspot block: {version 1, count u16, macro data size u32}, 15-byte
// records {kind u16, a byte 0, left, top, width, height u16, u32 0}, one
// macro string per macro hotspot, then name and target per hotspot.
std::string ShgHotspotBlock(const std::vector<ShgHotspotDef>& hotspots);

}  // namespace hlptest
