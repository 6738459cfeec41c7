#include "engine/api/bcd.h"

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

double Decode(const Bcd& b) {
    double v = -42.0;
    EXPECT_EQ(BcdToDouble(b.data(), v), 0);
    return v;
}

// Records built by hand, read back; every written case of GoldenValues too.
TEST(Bcd, GoldenRecordsDecode) {
    struct Case {
        std::uint8_t flags;
        std::array<std::uint8_t, 10> number;
        double value;
    };
    const Case cases[] = {
        {2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
        // Flag 2 wins over whatever the number bytes hold.
        {2, {0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0x99}, 0.0},
        {1, {0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0x15}, -1.5},
        {0, {0x42, 0, 0, 0, 0, 0, 0, 0x56, 0x34, 0x12}, 123.456},
        {0, {0x3D, 0, 0, 0, 0, 0, 0, 0, 0, 0x10}, 0.001},
        {0, {0x50, 0x80, 0x56, 0x34, 0x12, 0x90, 0x78, 0x56, 0x34, 0x12}, 12345678901234568.0},
        // Currency with four places: 1234.5678 = 1.2345678E+0003.
        {1, {0xC3, 0, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}, -1234.5678},
        // The all-zero number the writer leaves below 1e-16.
        {1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
    };
    for (const Case& c : cases) {
        Bcd b{};
        b[1] = c.flags;
        for (int i = 0; i < 10; ++i) b[2 + i] = c.number[i];
        EXPECT_EQ(Decode(b), c.value) << c.value;
    }
}

TEST(Bcd, DamagedRecordsAreRefused) {
    Bcd good = Convert(-1.5);
    struct Case {
        int byte;
        std::uint8_t value;
    };
    // An unknown flag, a digit nibble above 9 high or low, a low nibble in
    // the 17th-digit byte.
    for (Case c : {Case{1, 3}, Case{11, 0xA5}, Case{4, 0x1F}, Case{3, 0x81}}) {
        Bcd b = good;
        b[c.byte] = c.value;
        double v = 7.0;
        EXPECT_EQ(BcdToDouble(b.data(), v), kDbiErrInvalidParam) << "byte " << c.byte;
        EXPECT_EQ(v, 0.0);
    }
    double v = 7.0;
    EXPECT_EQ(BcdToDouble(nullptr, v), kDbiErrInvalidParam);
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
