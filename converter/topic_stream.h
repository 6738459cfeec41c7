// The |TOPIC chain read as one byte stream, the compressed numbers of topic
// records, and the tables that turn the file's numeric references back into
// names: contexts (|CONTEXT), names made from hashes, pictures, the HC30
// topic map and the K and A keyword indexes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "converter/help_file.h"

namespace conv {

inline constexpr std::uint32_t kResetTopicReader = 0xFFFFFFFFu;
inline constexpr std::uint32_t kTopicLinkHeaderSize = 21;
inline constexpr std::uint32_t kTopicOutputSize = 65280;

// Delivers the next n bytes of the topic chain. Returns n, or 0 at the end of
// the chain (or when the chain is damaged: a warning says so). n =
// kResetTopicReader resets the reader. On loading a block, blockPosition
// receives the block's topic-offset base and newBlock is set to true.
std::uint32_t ReadTopicBytes(Conversion& hf, void* destination, std::uint32_t n, std::uint32_t* blockPosition,
                             bool* newBlock);

// Compressed numbers; each advances the cursor and lowers `remaining` by the
// bytes consumed. With too few bytes left they yield 0 and consume the rest.
std::int32_t ReadCompressedShort(const std::uint8_t*& cursor, std::uint32_t& remaining);
std::int32_t ReadCompressedWord(const std::uint8_t*& cursor, std::uint32_t& remaining);
std::int32_t ReadCompressedLong(const std::uint8_t*& cursor, std::uint32_t& remaining);

// One topic-link record read whole through ReadTopicBytes.
struct TopicLink {
    std::uint32_t blockSize = 0;
    std::uint32_t dataLen2 = 0;  // LinkData2 length after phrase expansion
    std::uint32_t prevBlock = 0;
    std::uint32_t nextBlock = 0;
    std::uint32_t dataLen1 = 0;  // LinkData1 length including the header
    std::uint8_t recordType = 0;
    std::string linkData1;
    std::string linkData2;  // as stored
    // The record's header starts in another block than the previous
    // record's: the character position starts again at blockPosition.
    bool newBlock = false;
    std::uint32_t blockPosition = 0;
};
// Reads the next record; false at the end of the chain. Lengths that
// contradict each other end the chain with a warning.
bool ReadTopicLink(Conversion& hf, TopicLink& link);
// LinkData2 with its phrases expanded (at most kTopicOutputSize bytes).
std::string ExpandLinkData2(Conversion& hf, const TopicLink& link);

// The |CONTEXT table as stored (empty after a warning when damaged).
std::vector<ContextEntry> ReadContextTable(const HelpFileData& file, ReadReport& report);
// Takes the context table into use: the one read with the file, else read now.
void LoadContextTable(Conversion& hf);
std::uint32_t ContextHash(std::string_view name);
// Appends characters to `buffer` (holding a prefix) so that the whole has
// the wanted hash; false when no suffix of up to 14 characters does.
bool MakeNameForHash(std::string& buffer, std::uint32_t wanted);
std::string ContextNameFromHash(Conversion& hf, std::uint32_t hash);
std::optional<std::string> ContextNameForTopic(Conversion& hf, std::uint32_t low, std::uint32_t high);
// Every context entry names a place in the text, and aliases share one: the
// topic loop gives each record the names of all entries whose offsets lie
// at or below the record's last character and that no earlier record took
// (so an offset in a gap between records, where a compiler counted from
// the old block, goes with the record after it). Names come in table order.
// A pass starts with hf.state.contextCursor = 0; INT64_MAX takes what is left.
std::vector<std::string> TakeContextNamesUpTo(Conversion& hf, std::int64_t high);
// Whether the context table has an entry of this hash (a topic carries its
// name, so a page reference to it has its bookmark).
bool HasContextEntry(Conversion& hf, std::uint32_t hash);
void AddKnownContextName(Conversion& hf, const std::string& name);
void RecordPictureFile(Conversion& hf, std::uint32_t pictureNumber, const std::string& fileName);
std::optional<std::string> LookupTopicMap(Conversion& hf, std::uint32_t topicPosition);

// A keyword index as stored: nullopt when it is missing or its header is
// damaged.
std::optional<KeywordTable> ReadKeywordIndex(const HelpFileData& file, const InternalFile& btree,
                                             const InternalFile& data, ReadReport& report);
// The same for a conversion: the K or A index read with the file, else read
// now. The caller owns the copy it gets.
std::optional<KeywordTable> LoadKeywordIndex(Conversion& hf, const InternalFile& btree, const InternalFile& data);
// The keyword lookups below sort a table on first use and follow its
// changes; a table loaded anew (same object, new contents), or a new pass
// that should find every keyword again, starts with this.
void ResetKeywordLookups(Conversion& hf);
// Keywords of the topic at `topicOffset` joined by ";"; nullopt when none.
// Taken entries are moved to `topicOffset`.
// One keyword taken by a record, with the offset its occurrence had in the
// keyword data (where the index page looks for it).
struct KeywordHit {
    std::string keyword;
    std::uint32_t offset = 0;
};
// With `hits` the keywords also come one by one with their own offsets.
std::optional<std::string> CollectTopicKeywords(Conversion& hf, std::uint32_t topicOffset, KeywordTable& table,
                                                std::vector<KeywordHit>* hits = nullptr);
// The same for a text record covering the characters [low, high]: besides
// the +-2 window around `low` it takes every occurrence inside the record.
// Compilers place a keyword's occurrence at the character where its
// footnote stood, often after the first characters of the record, which the
// window alone misses (about half of the keywords of some files). An
// occurrence taken this way belongs to that record alone: a later record
// whose window overlaps (short records lie less than 3 characters apart)
// does not take it again. Its offset is left as it is; a new pass over the
// topics starts with ResetKeywordLookups.
std::optional<std::string> CollectTopicKeywordsInRange(Conversion& hf, std::uint32_t low, std::uint32_t high,
                                                       KeywordTable& table, std::vector<KeywordHit>* hits = nullptr);

// A summary of every topic: a topic starts at a header record and owns the
// characters of its text records. Each |CONTEXT entry names the topic whose
// text span holds its offset; each keyword occurrence belongs to the first text
// record whose characters (or the 2 before and after its start) hold it.
// HC30 files count by record position instead: a topic is named from its
// number, and its keywords lie within 2 of its header's record position
// (a topic without text records gets none, as in the topic loop).
// Names and keywords keep the order of their tables.
struct TopicSummary {
    std::int32_t topicNumber = 0;
    std::string title;
    std::string entryMacro;
    std::vector<std::string> contextNames;
    std::vector<std::string> kKeywords;
    std::vector<std::string> aKeywords;
    std::uint32_t textRecords = 0;
    // Topic offsets of its first text character and just past its last.
    std::uint32_t firstCharacter = 0;
    std::uint32_t characterEnd = 0;
};
// Loads the context and keyword tables when not loaded yet.
std::vector<TopicSummary> ListTopics(Conversion& hf);

}  // namespace conv
