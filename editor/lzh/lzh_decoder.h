// Restores streams written by TCustomLZHCompressor. The stream has no header
// and no length, so the caller passes the uncompressed size it recorded.
// The program itself never restores archives; this serves checks of written
// archives, the tests and the benchmark.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lzh {

// Throws ELZHError when the stream is damaged: it ends early, a match runs
// past originalSize, the end mark is missing or bytes follow it.
std::string LZHDecompress(std::string_view compressed, std::size_t originalSize);

}  // namespace lzh
