// Inputs and a handler-driven compression harness shared by the codec tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "editor/lzh/lzh_compressor.h"

namespace lzhtest {

inline std::string RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// Words from a small vocabulary: text-like, with many matches at all distances.
inline std::string Text(std::size_t n, std::uint32_t seed) {
    static const char* const words[] = {"topic", "help ", "page", "jump", "the ", "of ", "window",
                                        "\\par ", "{\\b ", "}", "contents", "index", "Tavrin", "\r\n"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += words[rng() % (sizeof words / sizeof *words)];
    s.resize(n);
    return s;
}

// One run of a component fed from a string, recording how the handlers were called.
struct Run {
    std::string output;
    std::vector<int> readSizes;    // Size asked of OnReadData per call
    std::vector<int> writeCounts;  // Count handed to OnWriteData per call
    std::uint32_t textsize = 0;
    std::uint32_t codesize = 0;
};

inline void Attach(lzh::TCustomLZHCompressor& c, const std::string& input, Run& run, std::size_t& at) {
    c.OnReadData = [&input, &run, &at](lzh::TCustomLZHCompressor*, std::uint8_t* buf, std::uint16_t size,
                                       std::uint16_t& count) {
        run.readSizes.push_back(size);
        const std::size_t n = std::min<std::size_t>(size, input.size() - at);
        std::copy(input.begin() + static_cast<std::ptrdiff_t>(at),
                  input.begin() + static_cast<std::ptrdiff_t>(at + n), buf);
        at += n;
        count = static_cast<std::uint16_t>(n);
    };
    c.OnWriteData = [&run](lzh::TCustomLZHCompressor*, const std::uint8_t* buf, std::uint16_t count,
                           std::uint16_t& written) {
        run.writeCounts.push_back(count);
        run.output.append(reinterpret_cast<const char*>(buf), count);
        written = count;
    };
}

inline Run Compress(const std::string& input, std::uint16_t inSize = 1024, std::uint16_t outSize = 1024) {
    lzh::TCustomLZHCompressor c;
    c.SetInputBufferSize(inSize);
    c.SetOutputBufferSize(outSize);
    Run run;
    std::size_t at = 0;
    Attach(c, input, run, at);
    c.LZHCodeStream();
    run.textsize = c.textsize();
    run.codesize = c.codesize();
    return run;
}

}  // namespace lzhtest
