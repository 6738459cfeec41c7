#include "platform/core/value_io.h"

#include "platform/core/exceptions.h"
#include "platform/core/format.h"

#include <cmath>
#include <limits>

namespace plat {

void ValueWriter::Le(std::uint64_t v, int bytes) {
    std::uint8_t buf[8];
    for (int i = 0; i < bytes; ++i) buf[i] = static_cast<std::uint8_t>(v >> (8 * i));
    stream_.WriteBuffer(buf, bytes);
}

void ValueWriter::WriteInteger(std::int32_t value) {
    if (value >= -128 && value <= 127) {
        Byte(vaInt8);
        Le(static_cast<std::uint8_t>(value), 1);
    } else if (value >= -32768 && value <= 32767) {
        Byte(vaInt16);
        Le(static_cast<std::uint16_t>(value), 2);
    } else {
        Byte(vaInt32);
        Le(static_cast<std::uint32_t>(value), 4);
    }
}

void ValueWriter::WriteInt64(std::int64_t value) {
    if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteInteger(static_cast<std::int32_t>(value));
        return;
    }
    Byte(vaInt64);
    Le(static_cast<std::uint64_t>(value), 8);
}

void ValueWriter::WriteFloat(double value) {
    // The extended form is assembled field by field: the host's long double
    // need not be the 80-bit format.
    std::uint64_t mantissa = 0;
    std::uint16_t exponent = 0;
    if (std::isnan(value)) {
        mantissa = 0xC000000000000000ull;
        exponent = 0x7FFF;
    } else if (std::isinf(value)) {
        mantissa = 0x8000000000000000ull;
        exponent = 0x7FFF;
    } else if (value != 0) {
        int e = 0;
        const double f = std::frexp(std::fabs(value), &e);  // f in [0.5, 1): f * 2^64 is exact
        mantissa = static_cast<std::uint64_t>(std::ldexp(f, 64));
        exponent = static_cast<std::uint16_t>(e - 1 + 16383);
    }
    if (std::signbit(value)) exponent |= 0x8000;
    Byte(vaExtended);
    Le(mantissa, 8);
    Le(exponent, 2);
}

void ValueWriter::WriteString(std::string_view value) {
    if (value.size() <= 255) {
        Byte(vaString);
        Byte(static_cast<std::uint8_t>(value.size()));
    } else {
        Byte(vaLString);
        Le(value.size(), 4);
    }
    Write(value.data(), value.size());
}

void ValueWriter::WriteIdent(std::string_view value) {
    if (value.size() > 255) throw EWriteError("Identifier too long");
    Byte(vaIdent);
    Byte(static_cast<std::uint8_t>(value.size()));
    Write(value.data(), value.size());
}

void ValueWriter::WriteBoolean(bool value) { Byte(value ? vaTrue : vaFalse); }

void ValueWriter::WriteBinary(std::string_view bytes) {
    Byte(vaBinary);
    Le(bytes.size(), 4);
    Write(bytes.data(), bytes.size());
}

void ValueWriter::WriteListBegin() { Byte(vaList); }
void ValueWriter::WriteListEnd() { Byte(vaNull); }

void ValueWriter::Write(const void* bytes, std::size_t count) {
    stream_.WriteBuffer(bytes, static_cast<std::int64_t>(count));
}

std::uint8_t ValueReader::Byte() {
    std::uint8_t b;
    if (stream_.Read(&b, 1) != 1) throw EReadError("Unexpected end of stream");
    return b;
}

std::uint64_t ValueReader::Le(int bytes) {
    std::uint8_t buf[8];
    if (stream_.Read(buf, bytes) != bytes) throw EReadError("Unexpected end of stream");
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | buf[i];
    return v;
}

std::string ValueReader::Bytes(std::uint64_t count) {
    // Check the length against what is left before allocating for it.
    std::int64_t left = stream_.Size() - stream_.Position();
    if (left < 0 || count > static_cast<std::uint64_t>(left)) throw EReadError("Unexpected end of stream");
    std::string s(static_cast<std::size_t>(count), '\0');
    stream_.ReadBuffer(s.data(), static_cast<std::int64_t>(count));
    return s;
}

ValueType ValueReader::NextValue() {
    std::uint8_t b = Byte();
    stream_.Seek(-1, SeekOrigin::Current);
    return static_cast<ValueType>(b);
}

static EReadError BadValue(std::uint8_t type) {
    return EReadError(Format("Invalid property value (type %d)", {FmtArg(type)}));
}

std::int32_t ValueReader::ReadInteger() {
    std::uint8_t t = Byte();
    switch (t) {
    case vaInt8: return static_cast<std::int8_t>(Le(1));
    case vaInt16: return static_cast<std::int16_t>(Le(2));
    case vaInt32: return static_cast<std::int32_t>(Le(4));
    default: throw BadValue(t);
    }
}

std::int64_t ValueReader::ReadInt64() {
    if (NextValue() == vaInt64) {
        Byte();
        return static_cast<std::int64_t>(Le(8));
    }
    return ReadInteger();
}

double ValueReader::ReadFloat() {
    std::uint8_t t = Byte();
    if (t == vaInt8 || t == vaInt16 || t == vaInt32) {
        stream_.Seek(-1, SeekOrigin::Current);
        return ReadInteger();
    }
    if (t != vaExtended) throw BadValue(t);
    const std::uint64_t mantissa = Le(8);
    const std::uint16_t signExp = static_cast<std::uint16_t>(Le(2));
    const int exponent = signExp & 0x7FFF;
    const double sign = (signExp & 0x8000) ? -1.0 : 1.0;
    if (exponent == 0x7FFF)
        return (mantissa << 1) ? std::numeric_limits<double>::quiet_NaN() : sign * std::numeric_limits<double>::infinity();
    if (mantissa == 0) return sign * 0.0;
    return sign * std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
}

std::string ValueReader::ReadString() {
    std::uint8_t t = Byte();
    if (t == vaString) return Bytes(Byte());
    if (t == vaLString) return Bytes(Le(4));
    throw BadValue(t);
}

std::string ValueReader::ReadIdent() {
    std::uint8_t t = Byte();
    if (t != vaIdent) throw BadValue(t);
    return Bytes(Byte());
}

bool ValueReader::ReadBoolean() {
    std::uint8_t t = Byte();
    if (t == vaTrue) return true;
    if (t == vaFalse) return false;
    throw BadValue(t);
}

std::string ValueReader::ReadBinary() {
    std::uint8_t t = Byte();
    if (t != vaBinary) throw BadValue(t);
    return Bytes(Le(4));
}

void ValueReader::ReadListBegin() {
    std::uint8_t t = Byte();
    if (t != vaList) throw BadValue(t);
}

void ValueReader::ReadListEnd() {
    std::uint8_t t = Byte();
    if (t != vaNull) throw BadValue(t);
}

bool ValueReader::EndOfList() { return NextValue() == vaNull; }

void ValueReader::Read(void* bytes, std::size_t count) {
    if (stream_.Read(bytes, static_cast<std::int64_t>(count)) != static_cast<std::int64_t>(count))
        throw EReadError("Unexpected end of stream");
}

}  // namespace plat
