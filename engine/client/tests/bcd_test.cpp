#include "engine/client/bcd.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace qv {
namespace {

using Bcd = std::array<std::uint8_t, kFmtBcdSize>;

Bcd Convert(double v, DBIResult expected = 0) {
    Bcd b;
    b.fill(0xEE);
    EXPECT_EQ(BcdFromDouble(v, 0, 0, b.data()), expected) << v;
    return b;
}

// The ten number bytes start at byte 2: exponent byte, 17th digit, then the
// digit pairs from digits 15-16 (byte 2+2) up to digits 1-2 (byte 2+9).
TEST(Bcd, GoldenValues) {
    struct Case {
        double value;
        std::uint8_t flags;
        std::array<std::uint8_t, 10> number;
    };
    const Case cases[] = {
        // 0: flag 2, nothing else.
        {0.0, 2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // -1.5 = -1.5000000000000000E+0000: exponent 0 + 64 + 0x80 = 0xC0,
        // digits 1 5 0 ... 0, so number byte 9 = 0x15.
        {-1.5, 1, {0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0x15}},
        // 123.456 = 1.2345600000000000E+0002: exponent byte 66 = 0x42;
        // digit pairs 12 34 56 00 ... from byte 9 down.
        {123.456, 0, {0x42, 0, 0, 0, 0, 0, 0, 0x56, 0x34, 0x12}},
        // 0.001 = 1.0000000000000000E-0003: exponent byte 61 = 0x3D.
        {0.001, 0, {0x3D, 0, 0, 0, 0, 0, 0, 0, 0, 0x10}},
        // 12345678901234568 has 17 significant digits: the 17th (8) in the
        // high nibble of number byte 1, 15-16 (56) in number byte 2.
        {12345678901234568.0, 0, {0x50, 0x80, 0x56, 0x34, 0x12, 0x90, 0x78, 0x56, 0x34, 0x12}},
        // Below 1e-16 the number stays zero; the sign is still recorded.
        {1e-17, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {-1e-17, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Bcd b = Convert(c.value);
        EXPECT_EQ(b[0], 0) << c.value;
        EXPECT_EQ(b[1], c.flags) << c.value;
        for (int i = 0; i < 10; ++i) EXPECT_EQ(b[2 + i], c.number[i]) << c.value << " number byte " << i;
        for (int i = 12; i < kFmtBcdSize; ++i) EXPECT_EQ(b[i], 0) << c.value << " byte " << i;
    }
}

// Reads the number bytes back into a value: the packing loses nothing of the
// 17 significant digits.
double Decode(const Bcd& b) {
    if (b[1] == 2) return 0.0;
    const std::uint8_t* n = b.data() + 2;
    if (n[0] == 0) return 0.0;
    std::string digits;
    for (int i = 9; i >= 2; --i) {
        digits.push_back(static_cast<char>('0' + (n[i] >> 4)));
        digits.push_back(static_cast<char>('0' + (n[i] & 15)));
    }
    digits.push_back(static_cast<char>('0' + (n[1] >> 4)));
    int exponent = (n[0] & 0x7F) - 64;
    std::string text = std::string(b[1] == 1 ? "-" : "") + digits[0] + "." + digits.substr(1) + "e" +
                       std::to_string(exponent);
    return std::strtod(text.c_str(), nullptr);
}

TEST(Bcd, DigitsReadBackToTheValue) {
    const double values[] = {1.0, -1.0, 0.1, 2.0 / 3.0, -123456.789, 1e-15, 6.02214076e23, -9.999999999999999e62,
                             4503599627370497.0};
    for (double v : values) EXPECT_EQ(Decode(Convert(v)), v) << v;
}

TEST(Bcd, ValuesThatCannotBeWritten) {
    Convert(std::numeric_limits<double>::quiet_NaN(), kDbiErrInvalidParam);
    Convert(std::numeric_limits<double>::infinity(), kDbiErrInvalidParam);
    // Exponent 64 would overflow into the sign bit of the exponent byte.
    Convert(1e64, kDbiErrOutOfRange);
    Bcd ok = Convert(9.9e63);
    EXPECT_EQ(ok[2], 63 + 64);
    EXPECT_EQ(BcdFromDouble(1.0, 0, 0, nullptr), kDbiErrInvalidParam);
}

}  // namespace
}  // namespace qv
