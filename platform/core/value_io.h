// The class library's binary value encoding, used where the system stores
// structured data in its own files (the table dictionary). Every value is a
// type byte followed by its data, little-endian:
//   0 end of list     1 list begin      2 int8     3 int16     4 int32
//   5 float (80-bit extended real: 64-bit mantissa with its integer bit,
//     then sign and a 15-bit exponent biased by 16383)
//   6 string (u8 length, at most 255)   7 identifier (u8 length)
//   8 false           9 true            10 binary (u32 length)
//   12 long string (u32 length)         19 int64
// Raw bytes are written without a type byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/streams.h"

namespace plat {

enum ValueType : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaLString = 12,
    vaInt64 = 19,
};

class ValueWriter {
public:
    explicit ValueWriter(Stream& stream) : stream_(stream) {}
    // The smallest of int8, int16 and int32 that holds the value.
    void WriteInteger(std::int32_t value);
    void WriteInt64(std::int64_t value);
    // As an 80-bit extended real, built from the double's bits (exact).
    void WriteFloat(double value);
    // Short form up to 255 characters, the long form above.
    void WriteString(std::string_view value);
    void WriteIdent(std::string_view value);
    void WriteBoolean(bool value);
    void WriteBinary(std::string_view bytes);
    void WriteListBegin();
    void WriteListEnd();
    void Write(const void* bytes, std::size_t count);

private:
    void Byte(std::uint8_t b) { stream_.WriteBuffer(&b, 1); }
    void Le(std::uint64_t v, int bytes);
    Stream& stream_;
};

// Reads values back; a value of an unexpected type or a length that runs
// past the stream raises EReadError, never reads outside the data.
class ValueReader {
public:
    explicit ValueReader(Stream& stream) : stream_(stream) {}
    ValueType NextValue();  // peeks at the next type byte
    std::int32_t ReadInteger();
    std::int64_t ReadInt64();
    // An extended real rounded to the nearest double (an integer too).
    double ReadFloat();
    std::string ReadString();
    std::string ReadIdent();
    bool ReadBoolean();
    std::string ReadBinary();
    void ReadListBegin();
    void ReadListEnd();
    bool EndOfList();  // true (without consuming) when the next byte ends a list
    void Read(void* bytes, std::size_t count);

private:
    std::uint8_t Byte();
    std::uint64_t Le(int bytes);
    std::string Bytes(std::uint64_t count);
    Stream& stream_;
};

}  // namespace plat
