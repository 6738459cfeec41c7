// A second decoder for the compressed format, written from the format's
// description alone (a different structure from the library's code), so that
// the compressor's output is checked by something that does not share its
// mistakes. It also reports how deep the Huffman codes went and how often the
// tree was rebuilt, so tests can prove they reached those paths.
#pragma once

#include <cstddef>
#include <string>

namespace lzhref {

struct DecodeResult {
    bool ok = false;
    std::string data;
    std::string error;
    int longestCode = 0;  // bits of the longest Huffman code read
    int rebuilds = 0;     // times the tree was rebuilt with halved counts
    int literals = 0;
    int matches = 0;
};

DecodeResult Decode(const std::string& stream, std::size_t originalSize);

}  // namespace lzhref
