// printf-like formatting with the class library's semantics, and the number
// conversions that go with it.
//
// A format item is "%" [index ":"] ["-"] [width] ["." precision] type, where
// index, width and precision may be "*" (taken from the arguments) and type is
//   d u  decimal (precision = minimum digits, zero-padded)
//   x    upper-case hex (precision = minimum digits)
//   e    scientific, precision = significant digits (default 15): 1.5E+003
//   f    fixed, precision = decimals (default 2)
//   g    shortest of fixed and scientific, precision = significant digits (15)
//   n    fixed with thousand separators (default 2 decimals)
//   m    money: "$", thousand separators, 2 decimals, negative in brackets
//   p    pointer, 8 or 16 hex digits
//   s    string (precision = maximum characters)
// "%%" is a percent sign. A bad item or a missing argument raises EConvertError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace plat {

struct FmtArg {
    enum Kind { Int, UInt, Float, Str, Ptr } kind;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double f = 0;
    std::string_view s;
    const void* p = nullptr;

    FmtArg(int v) : kind(Int), i(v) {}
    FmtArg(long v) : kind(Int), i(v) {}
    FmtArg(long long v) : kind(Int), i(v) {}
    FmtArg(short v) : kind(Int), i(v) {}
    FmtArg(signed char v) : kind(Int), i(v) {}
    FmtArg(unsigned v) : kind(UInt), u(v) {}
    FmtArg(unsigned long v) : kind(UInt), u(v) {}
    FmtArg(unsigned long long v) : kind(UInt), u(v) {}
    FmtArg(unsigned short v) : kind(UInt), u(v) {}
    FmtArg(unsigned char v) : kind(UInt), u(v) {}
    FmtArg(double v) : kind(Float), f(v) {}
    FmtArg(float v) : kind(Float), f(v) {}
    FmtArg(const char* v) : kind(Str), s(v ? v : "") {}
    FmtArg(std::string_view v) : kind(Str), s(v) {}
    FmtArg(const std::string& v) : kind(Str), s(v) {}
    FmtArg(const void* v) : kind(Ptr), p(v) {}
};

std::string Format(std::string_view format, std::initializer_list<FmtArg> args);

std::string IntToStr(std::int64_t value);
// Upper-case hex with at least `digits` digits.
std::string IntToHex(std::uint64_t value, int digits);
// Decimal or "$"-prefixed hex, optional sign, surrounding blanks allowed;
// raises EConvertError "'text' is not a valid integer value" otherwise.
std::int32_t StrToInt(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);
bool TryStrToInt(std::string_view text, std::int32_t& value);
// Shortest general form with 15 significant digits ("1.5", "1E20").
// Reading takes the regional decimal separator: blanks, sign, digits with one
// separator, an exponent "e"/"E" with sign and digits; nothing else.
std::string FloatToStr(double value);
double StrToFloat(std::string_view text);
bool TryStrToFloat(std::string_view text, double& value);

}  // namespace plat
