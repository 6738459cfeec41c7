#include <gtest/gtest.h>

#include <string>

#include "editor/lzh/lzh_compressor.h"
#include "editor/lzh/lzh_decoder.h"
#include "editor/lzh/tests/lzh_test_util.h"
#include "editor/lzh/tests/reference_decoder.h"

namespace {

using lzh::ELZHError;
using lzh::LZHCompress;
using lzh::LZHDecompress;

// Outcome of the library decoder, for comparison with the reference.
struct Outcome {
    bool ok;
    std::string data;
};

Outcome TryDecode(const std::string& stream, std::size_t size) {
    try {
        return {true, LZHDecompress(stream, size)};
    } catch (const ELZHError&) {
        return {false, {}};
    }
}

const std::string& Sample() {
    static const std::string s = lzhtest::Text(700, 21) + lzhtest::RandomBytes(150, 22) + std::string(100, 'z');
    return s;
}

TEST(LzhDecoder, EveryTruncationIsAnError) {
    const std::string packed = LZHCompress(Sample());
    for (std::size_t n = 0; n < packed.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_THROW(LZHDecompress(packed.substr(0, n), Sample().size()), ELZHError);
        EXPECT_FALSE(lzhref::Decode(packed.substr(0, n), Sample().size()).ok);
    }
}

TEST(LzhDecoder, BitFlipsNeverCrashAndBothDecodersAgree) {
    const std::string packed = LZHCompress(Sample());
    int failures = 0;
    for (std::size_t bit = 0; bit < packed.size() * 8; ++bit) {
        std::string damaged = packed;
        damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (0x80 >> (bit % 8)));
        const Outcome lib = TryDecode(damaged, Sample().size());
        const lzhref::DecodeResult ref = lzhref::Decode(damaged, Sample().size());
        ASSERT_EQ(lib.ok, ref.ok) << "bit " << bit << ": " << ref.error;
        // A flip may still decode, e.g. a nearer copy inside a run gives the same bytes.
        if (lib.ok) {
            EXPECT_TRUE(lib.data == ref.data) << "bit " << bit;
        } else {
            ++failures;
        }
    }
    // The end mark and the exact size catch most damage.
    EXPECT_GT(failures, static_cast<int>(packed.size() * 8 / 2));
}

TEST(LzhDecoder, DamagedFramingIsAnError) {
    const std::string input = lzhtest::Text(2000, 23);
    const std::string packed = LZHCompress(input);
    struct Case {
        const char* name;
        std::string stream;
        std::size_t size;
    };
    std::string endMarkCleared = packed;
    const Case cases[] = {
        {"byte after the end", packed + std::string(1, '\0'), input.size()},
        {"size one too large", packed, input.size() + 1},
        {"size one too small", packed, input.size() - 1},
        {"size far too large", packed, std::size_t{1} << 40},
        {"empty stream", std::string(), 0},
        {"empty stream with a size", std::string(), 10},
        {"empty input coded as another byte", LZHCompress("A"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(LZHDecompress(c.stream, c.size), ELZHError);
        if (c.size < (std::size_t{1} << 20)) {
            EXPECT_FALSE(lzhref::Decode(c.stream, c.size).ok);
        }
    }
}

TEST(LzhDecoder, EndMarkMustBeExact) {
    // "A" codes as 111001101, the end bit, then six zero bits: E6 C0.
    EXPECT_EQ(LZHDecompress(std::string("\xE6\xC0"), 1), "A");
    EXPECT_THROW(LZHDecompress(std::string("\xE6\x80"), 1), ELZHError);  // end bit cleared
    EXPECT_THROW(LZHDecompress(std::string("\xE6\xC1"), 1), ELZHError);  // padding not zero
}

}  // namespace
