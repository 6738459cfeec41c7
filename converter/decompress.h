// The three packings of a compiled help file: LZ77 (topic blocks, phrase
// tables, pictures), run-length (pictures) and phrase replacement in topic
// text (the old |Phrases table and the Hall |PhrIndex/|PhrImage tables).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/help_file.h"

namespace conv {

// What a decompressor met besides its output.
struct Lz77Status {
    // A back reference reached before the start of the output (the bytes it
    // would copy are written as zeros), or the output hit its capacity.
    bool badReference = false;
    bool overflow = false;
    bool damaged() const { return badReference || overflow; }
};

bool TestBit(std::uint8_t byte, int n);
// Data bytes of a chunk after its flag byte: 8 + number of set bits.
std::uint32_t Lz77ChunkLength(std::uint8_t flag);

// LZ77 over memory: decodes `inLength` input bytes into `out`, at most
// `capacity` bytes. Returns the bytes produced.
std::uint32_t Lz77DecompressBytes(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                                  std::uint32_t capacity, Lz77Status* status = nullptr);
// LZ77 from the stream: consumes `inLength` bytes (fewer at the end of the file).
std::uint32_t Lz77Decompress(HelpStream& in, std::uint32_t inLength, std::uint8_t* out, std::uint32_t capacity,
                             Lz77Status* status = nullptr);
// LZ77 appended to `out` (LZ77 output is at most 144/17 of its input).
std::uint32_t Lz77DecompressToFile(HelpStream& in, std::string& out, std::uint32_t inLength,
                                   Lz77Status* status = nullptr);
// Run-length decoding appended to `out`; a single trailing byte is left
// unread. Runs expand 63-fold, so callers that know how much they want give
// `limit`: decoding stops once that many bytes were produced.
std::uint32_t RleDecompress(HelpStream& in, std::string& out, std::uint32_t inLength,
                            std::uint32_t limit = 0xFFFFFFFFu);
std::uint32_t RleDecompressBytes(const std::uint8_t* in, std::uint32_t inLength, std::string& out,
                                 std::uint32_t limit = 0xFFFFFFFFu);
void CopyBytes(HelpStream& in, std::string& out, std::uint32_t n);
// LZ77 then run-length, in memory (no temporary file).
std::uint32_t Lz77RleDecompress(HelpStream& in, std::string& out, std::uint32_t inLength,
                                Lz77Status* status = nullptr, std::uint32_t limit = 0xFFFFFFFFu);

void LoadOldPhrases(HelpFileData& hf);
void LoadHallPhrases(HelpFileData& hf);
// Phrase lengths packed in the |PhrIndex bit data become count + 1 offsets.
// Returns false when the bits ran out before every phrase was decoded.
bool DecodePhraseOffsets(std::uint32_t count, const std::uint8_t* bits, std::uint32_t bitsSize,
                         std::vector<std::uint32_t>& offsets);

// Phrase n; "?" and warning 46 for a phrase that is not in the table.
std::string GetPhrase(Conversion& hf, std::int64_t n);
std::string GetOldPhrase(Conversion& hf, std::int64_t n);
std::string GetHallPhrase(Conversion& hf, std::int64_t n);

// Expands phrase references of topic text: at most `outputSize` bytes; the
// result's size is the length produced (zero bytes included).
std::string ExpandPhrases(Conversion& hf, const std::uint8_t* input, std::uint32_t inputLength,
                          std::uint32_t outputSize, bool hall);

}  // namespace conv
