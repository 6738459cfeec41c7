#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "editor/lzh/lzh_compressor.h"
#include "editor/lzh/lzh_decoder.h"
#include "editor/lzh/tests/lzh_test_util.h"
#include "editor/lzh/tests/reference_decoder.h"
#include "tests/support/test_support.h"

namespace {

using lzh::ELZHError;
using lzh::TCustomLZHCompressor;
using lzhtest::Compress;

std::string Hex(const std::string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : s) {
        if (!h.empty()) h += ' ';
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

// Compresses, then restores with both decoders; returns the reference result.
lzhref::DecodeResult CheckRoundTrip(const std::string& input) {
    const lzhtest::Run run = Compress(input);
    EXPECT_EQ(run.textsize, input.size());
    EXPECT_EQ(run.codesize, run.output.size());
    lzhref::DecodeResult ref = lzhref::Decode(run.output, input.size());
    EXPECT_TRUE(ref.ok) << ref.error;
    EXPECT_TRUE(ref.data == input) << "reference decoder restored different bytes";
    EXPECT_TRUE(lzh::LZHDecompress(run.output, input.size()) == input) << "library decoder differs";
    return ref;
}

TEST(LzhPositionCode, MatchesTheListedCanonicalCode) {
    struct Row {
        int index, length;
        unsigned code;
    };
    const Row rows[] = {{0, 3, 0x00},  {1, 4, 0x20},  {2, 4, 0x30},  {3, 4, 0x40},  {4, 5, 0x50},
                        {5, 5, 0x58},  {11, 5, 0x88}, {12, 6, 0x90}, {23, 6, 0xBC}, {24, 7, 0xC0},
                        {25, 7, 0xC2}, {47, 7, 0xEE}, {48, 8, 0xF0}, {63, 8, 0xFF}};
    for (const Row& r : rows) {
        EXPECT_EQ(lzh::p_len[r.index], r.length) << "index " << r.index;
        EXPECT_EQ(lzh::p_code[r.index], r.code) << "index " << r.index;
    }
}

// Golden streams worked out by hand from the format.
//
// The starting tree pairs neighbours: leaves 0..313, and node 314 + n/2 is the
// parent of node n, up to the root 626. A symbol's code is the parity of each
// node on the way from its leaf up to (not including) the root, sent root first.
//   byte 0:   nodes 0,314,471,549,588,608,618,623,625 -> parities 0,0,1,1,0,0,0,1,1
//             -> code 110001100 (9 bits)
//   'A' (65): nodes 65,346,487,557,592,610,619,623,625 -> code 111001101
//   'a' (97): nodes 97,362,495,561,594,611,619,623,625 -> code 111101101
//   length 3 (symbol 256): nodes 256,442,535,581,604,616,622,625 -> code 10001100
// The end is one 1 bit, then zero bits to the byte boundary.
//
// ""    : the cleared byte 0 is coded as a literal, textsize 0:
//         110001100 1 -> 11000110 01000000 = C6 40
// "A"   : 111001101 1 -> E6 C0
// "   " : the three blanks match the blank-filled window right behind them;
//         the first string visited is the nearest (position 0), ties keep it:
//         10001100 + position 0 (prefix 000, low bits 000000) + 1
//         -> 10001100 00000000 01000000 = 8C 00 40
// "a"x61: literal 'a' (111101101); the update moves the leaf of 'a' (count 2)
//         to node 313 and the leaf of symbol 313 (length 60) to node 97, so
//         the match of 60 at position 0 codes as 111101101 000000000, then 1:
//         11110110 11111011 01000000 00010000 = F6 FB 40 10
TEST(LzhCompressor, GoldenStreams) {
    struct Case {
        std::string input, hex;
    };
    const Case cases[] = {
        {"", "C6 40"},
        {"A", "E6 C0"},
        {"   ", "8C 00 40"},
        {std::string(61, 'a'), "F6 FB 40 10"},
    };
    for (const Case& c : cases) {
        const lzhtest::Run run = Compress(c.input);
        EXPECT_EQ(Hex(run.output), c.hex) << "input of " << c.input.size() << " bytes";
        EXPECT_EQ(run.textsize, c.input.size());
        EXPECT_EQ(run.codesize, run.output.size());
    }
}

TEST(LzhCompressor, ShortInputsAreLiteralsOnly) {
    for (const std::string& input : {std::string("x"), std::string("xy"), std::string("\0\0", 2)}) {
        const lzhref::DecodeResult ref = CheckRoundTrip(input);
        EXPECT_EQ(ref.matches, 0);
        EXPECT_EQ(ref.literals, static_cast<int>(input.size()));
    }
}

TEST(LzhCompressor, RunOf61BytesIsOneLiteralAndOneFullMatch) {
    const lzhref::DecodeResult ref = CheckRoundTrip(std::string(61, '\x07'));
    EXPECT_EQ(ref.literals, 1);
    EXPECT_EQ(ref.matches, 1);
}

TEST(LzhCompressor, RoundTripsVariedInputs) {
    struct Case {
        const char* name;
        std::string input;
    };
    std::string twoWindows = lzhtest::RandomBytes(5000, 7);
    twoWindows += twoWindows;  // the repeat lies beyond the window
    std::string nearRepeat = lzhtest::RandomBytes(3000, 8);
    nearRepeat += nearRepeat.substr(100, 2500);
    const Case cases[] = {
        {"zeros", std::string(10000, '\0')},
        {"blanks", std::string(9000, ' ')},
        {"run of x", std::string(5000, 'x')},
        {"alternating", [] {
             std::string s;
             for (int i = 0; i < 7000; ++i) s += static_cast<char>(i % 3 ? 'a' : 'b');
             return s;
         }()},
        {"all byte values", [] {
             std::string s;
             for (int r = 0; r < 20; ++r)
                 for (int i = 0; i < 256; ++i) s += static_cast<char>((i * 7 + r) & 0xFF);
             return s;
         }()},
        {"text", lzhtest::Text(50000, 1)},
        {"random", lzhtest::RandomBytes(20000, 2)},
        {"repeat beyond the window", twoWindows},
        {"repeat inside the window", nearRepeat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckRoundTrip(c.input);
    }
}

TEST(LzhCompressor, RoundTripsSizesOnBufferAndWindowBoundaries) {
    const std::string source = lzhtest::Text(9000, 3) + lzhtest::RandomBytes(200, 4);
    for (std::size_t n : {2, 3, 15, 16, 17, 59, 60, 61, 62, 1023, 1024, 1025, 2048, 4035, 4036, 4095, 4096, 4097,
                          8192, 8193}) {
        SCOPED_TRACE(n);
        CheckRoundTrip(source.substr(source.size() - n));
    }
}

TEST(LzhCompressor, RebuildsTheTreeOnLongInputs) {
    // More than 32768 coded symbols force at least one rebuild with halved counts.
    const lzhref::DecodeResult random = CheckRoundTrip(lzhtest::RandomBytes(100000, 5));
    EXPECT_GE(random.rebuilds, 2);
    const lzhref::DecodeResult text = CheckRoundTrip(lzhtest::Text(400000, 6));
    EXPECT_GE(text.rebuilds, 1);
}

// Input that drives the adaptive tree into a Fibonacci-shaped chain, so that
// rarely used symbols get codes longer than 16 bits. The data is a collage of
// short copies from a reference block whose 3-byte strings are all distinct
// (a prefix of the order-3 de Bruijn sequence over 'a'..'p'), so each copy
// codes as exactly one match whose length we choose; lengths 4..10 are used in
// the proportions 21:13:8:5:3:1:1, and re-sending the block (which keeps it in
// the window) adds the 60-byte matches as the missing link of the chain.
// Every 700 copies a byte 0x80..0xFF is coded as a rare literal; after a few
// tree rebuilds the rare literals sit 17 levels deep.
std::string DeepCodeInput() {
    std::string block;
    {
        // Order-3 de Bruijn sequence over 16 letters (Lyndon words in order).
        std::vector<int> a(4, 0);
        std::function<void(int, int)> gen = [&](int t, int p) {
            if (t > 3) {
                if (3 % p == 0)
                    for (int j = 1; j <= p; ++j) block += static_cast<char>('a' + a[j]);
                return;
            }
            a[t] = a[t - p];
            gen(t + 1, p);
            for (int v = a[t - p] + 1; v < 16; ++v) {
                a[t] = v;
                gen(t + 1, t);
            }
        };
        gen(1, 1);
        block.resize(1320);  // 22 full 60-byte matches when re-sent
    }
    const int weights[7] = {1, 1, 3, 5, 8, 13, 21};
    const int total = 52;
    int credit[7] = {};
    std::mt19937 rng(3);
    std::string s = block;
    // Bytes that followed a copy ending at each block position, with where they
    // were written: a next copy must not start with one of them, or the match
    // would run on into it.
    std::vector<std::vector<std::pair<char, std::size_t>>> followers(block.size() + 1);
    const std::size_t none = block.size() + 1;
    std::size_t prevEnd = none;
    std::size_t sinceBlock = 0;
    int mark = 0;
    for (long copies = 1; copies <= 120000; ++copies) {
        int pick = 0;  // smooth weighted round robin: exact proportions, no randomness
        for (int k = 0; k < 7; ++k) {
            credit[k] += weights[k];
            if (credit[k] > credit[pick]) pick = k;
        }
        credit[pick] -= total;
        const std::size_t len = static_cast<std::size_t>(10 - pick);
        auto extends = [&](std::size_t from) {
            if (prevEnd >= block.size()) return false;
            if (block[from] == block[prevEnd]) return true;
            for (const auto& [byte, at] : followers[prevEnd])
                if (at + 4200 > s.size() && byte == block[from]) return true;
            return false;
        };
        std::size_t from;
        do {
            from = rng() % (block.size() - len);
        } while (extends(from));
        if (prevEnd < block.size()) followers[prevEnd].push_back({block[from], s.size()});
        s.append(block, from, len);
        sinceBlock += len;
        prevEnd = from + len;
        if (copies % 700 == 0) {
            s += static_cast<char>(0x80 + mark++ % 128);
            prevEnd = none;
        }
        if (sinceBlock + block.size() > 3950) {
            s += block;
            sinceBlock = 0;
            prevEnd = none;
        }
    }
    return s;
}

TEST(LzhCompressor, CodesLongerThan16BitsAreWrittenInFull) {
    const std::string input = DeepCodeInput();
    const lzhref::DecodeResult ref = CheckRoundTrip(input);
    EXPECT_GT(ref.longestCode, 16);
    EXPECT_GE(ref.rebuilds, 5);
}

TEST(LzhCompressor, RoundTripsARealRtfFile) {
    TAVRIN_REQUIRE_CORPUS();
    std::string rtf = testsupport::ReadFileBytes(testsupport::CorpusFile("hpj/eudora71/Eudora.rtf"));
    ASSERT_GT(rtf.size(), 600000u);
    rtf.resize(600000);  // enough for a tree rebuild, small enough for sanitizer runs
    const lzhref::DecodeResult ref = CheckRoundTrip(rtf);
    EXPECT_GE(ref.rebuilds, 1);
    EXPECT_LT(Compress(rtf).output.size(), rtf.size() / 3);
}

// Every file of the corpus comes back through both decoders, no larger than
// the compressor's earlier binary-tree match finder made it (sizes measured
// with it) plus 2 %.
TEST(LzhCompressor, CorpusFilesRoundTripNoLargerThanBefore) {
    TAVRIN_REQUIRE_CORPUS();
    struct Case {
        const char* file;
        std::size_t treeSize;
    };
    const Case cases[] = {
        {"hpj/eudora71/Eudora.rtf", 340731},  {"hpj/eudora71/Dialogs.rtf", 66118},
        {"hpj/eudora71/Options.rtf", 66896},  {"hpj/eudora71/menus.rtf", 29941},
        {"hpj/eudora71/HtmlWh.rtf", 1129},    {"hlp/EUDORA.hlp", 416535},
        {"rtf/rtfpipe-tables_from_web1.rtf", 23199},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string input = testsupport::ReadFileBytes(testsupport::CorpusFile(c.file));
        const std::string packed = lzh::LZHCompress(input);
        EXPECT_LE(packed.size(), c.treeSize + c.treeSize / 50);
        const lzhref::DecodeResult ref = lzhref::Decode(packed, input.size());
        EXPECT_TRUE(ref.ok) << ref.error;
        EXPECT_TRUE(ref.data == input) << "reference decoder restored different bytes";
        EXPECT_TRUE(lzh::LZHDecompress(packed, input.size()) == input) << "library decoder differs";
    }
}

TEST(LzhCompressor, PatternedDataIsNoLargerThanBefore) {
    struct Case {
        const char* name;
        std::string input;
        std::size_t treeSize;
    };
    const Case cases[] = {
        {"text", lzhtest::Text(400000, 6), 79641},
        {"random", lzhtest::RandomBytes(100000, 5), 100166},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckRoundTrip(c.input);
        EXPECT_LE(Compress(c.input).output.size(), c.treeSize + c.treeSize / 50);
    }
}

// A block of random bytes, then its first 300 bytes again: the repeat lies
// `distance` bytes back. The window reaches N - F = 4036 bytes: the decoder's
// ring holds more, but the compressor's last F bytes are its look-ahead.
TEST(LzhCompressor, MatchesReachToTheWindowsEdgeAndNoFurther) {
    const std::size_t window = lzh::N - lzh::F;
    for (std::size_t distance : {window - 2, window - 1, window, window + 1, window + 2, std::size_t{4096},
                                 std::size_t{4097}}) {
        SCOPED_TRACE(distance);
        std::string input = lzhtest::RandomBytes(distance, static_cast<std::uint32_t>(distance));
        input += input.substr(0, 300);
        const lzhref::DecodeResult ref = CheckRoundTrip(input);
        // Chance matches of 3 bytes or more in random data are few.
        if (distance <= window) {
            EXPECT_LE(ref.literals, static_cast<int>(distance) + 10);
            EXPECT_GE(ref.matches, 5);  // 300 bytes in matches of at most 60
        } else {
            EXPECT_GE(ref.literals, static_cast<int>(distance) + 280);
        }
    }
}

TEST(LzhCompressor, BufferSizesDoNotChangeTheStream) {
    const std::string input = lzhtest::Text(20000, 9) + lzhtest::RandomBytes(3000, 10);
    const std::string expected = Compress(input).output;
    const std::uint16_t sizes[] = {16, 17, 1000, 1024, 32768};
    for (std::uint16_t in : sizes) {
        for (std::uint16_t out : sizes) {
            SCOPED_TRACE(testing::Message() << "in " << in << " out " << out);
            const lzhtest::Run run = Compress(input, in, out);
            EXPECT_TRUE(run.output == expected);
            // Each refill asks for a whole buffer; the codec reads until the handler says 0.
            for (int asked : run.readSizes) EXPECT_EQ(asked, in);
            EXPECT_EQ(run.readSizes.size(), (input.size() + in - 1) / in + 1);
            // Output goes out in full buffers, the rest at the end.
            ASSERT_FALSE(run.writeCounts.empty());
            for (std::size_t i = 0; i + 1 < run.writeCounts.size(); ++i) EXPECT_EQ(run.writeCounts[i], out);
            EXPECT_LE(run.writeCounts.back(), out);
            EXPECT_GT(run.writeCounts.back(), 0);
        }
    }
}

TEST(LzhCompressor, BufferSizesAreClamped) {
    struct Case {
        std::uint16_t set, expected;
    };
    const Case cases[] = {{0, 16}, {8, 16}, {15, 16}, {16, 16}, {17, 17}, {1024, 1024},
                          {32767, 32767}, {32768, 32768}, {32769, 32768}, {40000, 32768}, {65535, 32768}};
    for (const Case& c : cases) {
        TCustomLZHCompressor codec;
        EXPECT_EQ(codec.InputBufferSize(), 1024);
        EXPECT_EQ(codec.OutputBufferSize(), 1024);
        codec.SetInputBufferSize(c.set);
        codec.SetOutputBufferSize(c.set);
        EXPECT_EQ(codec.InputBufferSize(), c.expected) << c.set;
        EXPECT_EQ(codec.OutputBufferSize(), c.expected) << c.set;
    }
}

TEST(LzhCompressor, BufferSizeChangesDuringARunAreIgnored) {
    const std::string input = lzhtest::Text(5000, 11);
    TCustomLZHCompressor codec;
    lzhtest::Run run;
    std::size_t at = 0;
    lzhtest::Attach(codec, input, run, at);
    auto read = codec.OnReadData;
    codec.OnReadData = [&](TCustomLZHCompressor* sender, std::uint8_t* buf, std::uint16_t size,
                           std::uint16_t& count) {
        sender->SetInputBufferSize(100);
        sender->SetOutputBufferSize(200);
        read(sender, buf, size, count);
    };
    codec.LZHCodeStream();
    EXPECT_EQ(codec.InputBufferSize(), 1024);
    EXPECT_EQ(codec.OutputBufferSize(), 1024);
    for (int asked : run.readSizes) EXPECT_EQ(asked, 1024);
    EXPECT_TRUE(run.output == Compress(input).output);
}

TEST(LzhCompressor, ReentryFromAHandlerReturnsAtOnce) {
    const std::string input = lzhtest::Text(3000, 12);
    const std::string expected = Compress(input).output;
    enum class From { Read, Write };
    for (From from : {From::Read, From::Write}) {
        TCustomLZHCompressor codec;
        lzhtest::Run run;
        std::size_t at = 0;
        lzhtest::Attach(codec, input, run, at);
        int finished = 0;
        codec.OnFinished = [&](TCustomLZHCompressor*) { ++finished; };
        auto read = codec.OnReadData;
        auto write = codec.OnWriteData;
        int reads = 0, writes = 0;
        codec.OnReadData = [&](TCustomLZHCompressor* s, std::uint8_t* b, std::uint16_t n, std::uint16_t& c) {
            ++reads;
            if (from == From::Read) s->LZHCodeStream();
            read(s, b, n, c);
        };
        codec.OnWriteData = [&](TCustomLZHCompressor* s, const std::uint8_t* b, std::uint16_t n,
                                std::uint16_t& w) {
            ++writes;
            if (from == From::Write) s->LZHCodeStream();
            write(s, b, n, w);
        };
        codec.LZHCodeStream();
        EXPECT_TRUE(run.output == expected);
        EXPECT_EQ(reads, static_cast<int>(run.readSizes.size()));
        EXPECT_EQ(writes, static_cast<int>(run.writeCounts.size()));
        EXPECT_EQ(finished, 1);
        EXPECT_TRUE(codec.Idle());
    }
}

TEST(LzhCompressor, RunsAreIndependent) {
    const std::string a = lzhtest::Text(40000, 13);
    const std::string b = lzhtest::RandomBytes(3000, 14) + lzhtest::Text(3000, 15);
    TCustomLZHCompressor codec;
    for (const std::string* input : {&a, &b}) {
        lzhtest::Run run;
        std::size_t at = 0;
        lzhtest::Attach(codec, *input, run, at);
        codec.LZHCodeStream();
        EXPECT_TRUE(run.output == Compress(*input).output);
        EXPECT_EQ(codec.textsize(), input->size());
        EXPECT_EQ(codec.codesize(), run.output.size());
    }
}

TEST(LzhCompressor, HandlerExceptionEndsTheRunAndLeavesItIdle) {
    const std::string input = lzhtest::Text(10000, 16);
    TCustomLZHCompressor codec;
    codec.SetOutputBufferSize(64);
    lzhtest::Run run;
    std::size_t at = 0;
    lzhtest::Attach(codec, input, run, at);
    int finished = 0;
    codec.OnFinished = [&](TCustomLZHCompressor* s) {
        ++finished;
        EXPECT_TRUE(s->Idle());
    };
    auto write = codec.OnWriteData;
    int calls = 0;
    codec.OnWriteData = [&](TCustomLZHCompressor* s, const std::uint8_t* b, std::uint16_t n, std::uint16_t& w) {
        if (++calls == 3) throw std::runtime_error("disk full");
        write(s, b, n, w);
    };
    EXPECT_THROW(codec.LZHCodeStream(), std::runtime_error);
    EXPECT_TRUE(codec.Idle());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(run.output.size(), 128u);  // the partial output stays with the owner

    // The next run starts clean.
    codec.OnWriteData = write;
    run = lzhtest::Run();
    at = 0;
    codec.LZHCodeStream();
    EXPECT_EQ(finished, 2);
    EXPECT_TRUE(run.output == Compress(input, 1024, 64).output);
}

TEST(LzhCompressor, HandlerContractViolationsAreErrors) {
    struct Case {
        const char* name;
        std::function<void(TCustomLZHCompressor&)> setup;
    };
    const Case cases[] = {
        {"no input handler", [](TCustomLZHCompressor& c) { c.OnReadData = nullptr; }},
        {"no output handler", [](TCustomLZHCompressor& c) { c.OnWriteData = nullptr; }},
        {"input handler claims more than asked",
         [](TCustomLZHCompressor& c) {
             c.OnReadData = [](TCustomLZHCompressor*, std::uint8_t*, std::uint16_t size, std::uint16_t& n) {
                 n = static_cast<std::uint16_t>(size + 1);
             };
         }},
        {"output handler takes fewer bytes",
         [](TCustomLZHCompressor& c) {
             c.OnWriteData = [](TCustomLZHCompressor*, const std::uint8_t*, std::uint16_t n, std::uint16_t& w) {
                 w = static_cast<std::uint16_t>(n - 1);
             };
         }},
    };
    const std::string input = lzhtest::Text(3000, 17);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCustomLZHCompressor codec;
        lzhtest::Run run;
        std::size_t at = 0;
        lzhtest::Attach(codec, input, run, at);
        int finished = 0;
        codec.OnFinished = [&](TCustomLZHCompressor*) { ++finished; };
        c.setup(codec);
        EXPECT_THROW(codec.LZHCodeStream(), ELZHError);
        EXPECT_TRUE(codec.Idle());
        EXPECT_EQ(finished, 1);
    }
}

// A descendant that flushes after every byte: a zero-count write hands the
// buffer over and empties it, so no byte is delivered twice.
class FlushingCompressor : public TCustomLZHCompressor {
public:
    void WriteOutput(const std::uint8_t* Source, std::uint16_t Count, std::uint16_t& Written) override {
        TCustomLZHCompressor::WriteOutput(Source, Count, Written);
        std::uint16_t none = 0;
        TCustomLZHCompressor::WriteOutput(nullptr, 0, none);
    }
};

TEST(LzhCompressor, ZeroCountWriteFlushesOnce) {
    const std::string input = lzhtest::Text(4000, 18);
    FlushingCompressor codec;
    lzhtest::Run run;
    std::size_t at = 0;
    lzhtest::Attach(codec, input, run, at);
    codec.LZHCodeStream();
    EXPECT_TRUE(run.output == Compress(input).output);
    for (int n : run.writeCounts) EXPECT_EQ(n, 1);
}

TEST(LzhCompressor, BufferedIoOutsideARunIsAnError) {
    TCustomLZHCompressor codec;
    std::uint8_t b = 0;
    std::uint16_t n = 0;
    EXPECT_THROW(codec.ReadInput(&b, 1, n), ELZHError);
    EXPECT_THROW(codec.WriteOutput(&b, 1, n), ELZHError);
}

TEST(LzhCompressor, CompressHelperMatchesTheComponent) {
    const std::string input = lzhtest::Text(7000, 19);
    EXPECT_TRUE(lzh::LZHCompress(input) == Compress(input).output);
}

}  // namespace
