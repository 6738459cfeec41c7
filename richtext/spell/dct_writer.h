// Writes the .DCT letter-tree format from a list of words. Identical sibling
// lists (same letters, flags and children) are stored once, which keeps the
// large word lists well inside the 22-bit entry index. The tool mkdct runs
// it to make the program's dictionaries from the system's word lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace spell {

struct DctWordFilterStats {
    std::size_t lines = 0;     // lines read
    std::size_t words = 0;     // distinct words kept
    std::size_t skipped = 0;   // parts refused (see WordsFromUtf8Lines)
};

// Turns UTF-8 word-list lines into dictionary words: each line is split at
// characters that separate words in text (so "peut-être" gives "peut" and
// "être"); each part is lower-cased and converted to OEM (CP437); parts with
// letters outside CP437, of more than 50 characters or of digits only, single
// letters other than "a" and "i" are skipped; a possessive "'s" is removed
// (the checker drops it before a look-up, so "dog's" needs only "dog"). The
// result is sorted and without duplicates. Abbreviations (parts that the list
// only ever writes in capitals, "UN", "NASA") are words too; they also go,
// lower-cased, sorted and distinct, to `abbreviations`, the list that a
// dictionary keeps beside it (AbbreviationFile) so that splits leave them out.
std::vector<std::string> WordsFromUtf8Lines(const std::string& text, DctWordFilterStats* stats = nullptr,
                                            std::vector<std::string>* abbreviations = nullptr);
// The abbreviation list beside the dictionary `dctPath`: the same name with ".abb".
std::string AbbreviationFile(const std::string& dctPath);

// The bytes of a .DCT file holding `words` (OEM, lower case, 1 to 50
// characters; need not be sorted or distinct). Throws std::runtime_error when
// the list is empty, a word is empty or too long, or the tree needs more
// entries than a 22-bit index can address.
std::string BuildDctImage(std::vector<std::string> words);

}  // namespace spell
