#include "platform/core/value_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/core/exceptions.h"

using namespace plat;

TEST(ValueIo, GoldenBytes) {
    MemoryStream ms;
    ValueWriter w(ms);
    w.WriteBoolean(false);        // 08
    w.WriteInteger(5);            // 02 05
    w.WriteInteger(-128);         // 02 80
    w.WriteInteger(128);          // 03 80 00
    w.WriteInteger(-32769);       // 04 FF 7F FF FF
    w.WriteString("QVD");         // 06 03 'Q' 'V' 'D'
    w.WriteBoolean(true);         // 09
    const char raw[2] = {'\x01', '\x02'};
    w.Write(raw, 2);              // 01 02 (no type byte)
    const std::string expected("\x08\x02\x05\x02\x80\x03\x80\x00\x04\xFF\x7F\xFF\xFF\x06\x03QVD\x09\x01\x02", 21);
    EXPECT_EQ(ms.Bytes(), expected);
}

TEST(ValueIo, RoundTripIncludingLongStrings) {
    MemoryStream ms;
    ValueWriter w(ms);
    std::string longText(300, 'x');
    w.WriteString(longText);  // 0C, u32 300, bytes
    w.WriteInteger(INT32_MIN);
    w.WriteInt64(0x123456789LL);
    w.WriteListBegin();
    w.WriteIdent("Name");
    w.WriteListEnd();
    EXPECT_EQ(static_cast<unsigned char>(ms.Bytes()[0]), 12);
    EXPECT_EQ(ms.Bytes().substr(1, 4), std::string("\x2C\x01\x00\x00", 4));

    ms.SetPosition(0);
    ValueReader r(ms);
    EXPECT_EQ(r.ReadString(), longText);
    EXPECT_EQ(r.ReadInteger(), INT32_MIN);
    EXPECT_EQ(r.ReadInt64(), 0x123456789LL);
    r.ReadListBegin();
    EXPECT_FALSE(r.EndOfList());
    EXPECT_EQ(r.ReadIdent(), "Name");
    EXPECT_TRUE(r.EndOfList());
    r.ReadListEnd();
}

TEST(ValueIo, BadDataRaisesReadError) {
    struct Case { std::string bytes; } cases[] = {
        {std::string("\x06\x05" "ab", 4)},              // string longer than the data
        {std::string("\x0C\xFF\xFF\xFF\x7F" "a", 6)},   // huge long-string length
        {std::string("\x04\x01\x02", 3)},               // truncated int32
        {std::string("\x09", 1)},                       // a boolean where a string is expected
        {std::string()},                                // nothing at all
    };
    for (const Case& c : cases) {
        MemoryStream ms(c.bytes);
        ValueReader r(ms);
        EXPECT_THROW(r.ReadString(), EReadError) << c.bytes.size();
    }
    MemoryStream ms(std::string("\x06\x01x", 3));
    ValueReader r(ms);
    EXPECT_THROW(r.ReadInteger(), EReadError);
}

// Extended reals: sign, 15-bit exponent biased by 16383 and a 64-bit
// mantissa with an explicit integer bit. 36526 = 0x8EAE = 1.0001110101011100b
// x 2^15: exponent 16398 = 0x400E, mantissa 0x8EAE000000000000.
TEST(ValueIo, FloatsAreExtendedRealsByteByByte) {
    struct Case {
        double value;
        std::string bytes;  // after the type byte 05
    } cases[] = {
        {36526.0, std::string("\x00\x00\x00\x00\x00\x00\xAE\x8E\x0E\x40", 10)},
        {1.0, std::string("\x00\x00\x00\x00\x00\x00\x00\x80\xFF\x3F", 10)},
        {-2.5, std::string("\x00\x00\x00\x00\x00\x00\x00\xA0\x00\xC0", 10)},  // 1.01b x 2^1
        {0.0, std::string(10, '\0')},
        // 36526.5 (noon): 1000111010101110.1b -> mantissa 0x8EAE800000000000.
        {36526.5, std::string("\x00\x00\x00\x00\x00\x80\xAE\x8E\x0E\x40", 10)},
    };
    for (const Case& c : cases) {
        MemoryStream ms;
        ValueWriter(ms).WriteFloat(c.value);
        EXPECT_EQ(ms.Bytes(), "\x05" + c.bytes) << c.value;
        ms.SetPosition(0);
        EXPECT_EQ(ValueReader(ms).ReadFloat(), c.value);
    }
    // Any double comes back exactly: the extended form has room for its bits.
    for (double v : {1.0 / 3.0, -1e-310, 4.9e-324, 1.7976931348623157e308, 45123.123456789}) {
        MemoryStream ms;
        ValueWriter(ms).WriteFloat(v);
        ms.SetPosition(0);
        EXPECT_EQ(ValueReader(ms).ReadFloat(), v);
    }
    MemoryStream ms;
    ValueWriter w(ms);
    w.WriteFloat(std::numeric_limits<double>::infinity());
    w.WriteFloat(std::nan(""));
    w.WriteInteger(7);  // an integer reads as a float too
    ms.SetPosition(0);
    ValueReader r(ms);
    EXPECT_EQ(r.ReadFloat(), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(r.ReadFloat()));
    EXPECT_EQ(r.ReadFloat(), 7.0);
    MemoryStream cut(std::string("\x05\x00\x00", 3));
    EXPECT_THROW(ValueReader(cut).ReadFloat(), EReadError);
}
