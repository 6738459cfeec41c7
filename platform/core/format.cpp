#include "platform/core/format.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"

#include <charconv>

namespace plat {
namespace {

[[noreturn]] void Invalid(std::string_view format) {
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Digits(std::uint64_t v, int base) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), kDigits[v % base]);
        v /= base;
    } while (v);
    return s;
}

std::string Group(const std::string& intPart) {
    std::string out;
    int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
        out += intPart[i];
        int left = n - 1 - i;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    return out;
}

std::string Fixed(double v, int decimals) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// "-1.23450000000000E+003": `digits` significant digits, exponent sign and at
// least three exponent digits.
std::string Scientific(double v, int digits) {
    if (digits < 1) digits = 1;
    if (digits > 18) digits = 18;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, v);
    std::string s = buf;
    auto e = s.find('E');
    if (e == std::string::npos) return s;  // inf or nan
    std::string mant = s.substr(0, e);
    char sign = s[e + 1];
    std::string exp = s.substr(e + 2);
    while (exp.size() < 3) exp.insert(exp.begin(), '0');
    return mant + "E" + sign + exp;
}

std::string General(double v, int precision) {
    if (precision < 1 || precision > 18) precision = 15;
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", precision - 1, v);
    std::string s = buf;
    auto e = s.find('E');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string mant = s.substr(0, e);
    auto trim = [](std::string t) {
        if (t.find('.') != std::string::npos) {
            while (!t.empty() && t.back() == '0') t.pop_back();
            if (!t.empty() && t.back() == '.') t.pop_back();
        }
        return t;
    };
    if (exp < -5 || exp >= precision) return trim(mant) + "E" + std::to_string(exp);
    int decimals = precision - 1 - exp;
    if (decimals < 0) decimals = 0;
    return trim(Fixed(v, decimals));
}

std::string Thousands(double v, int decimals) {
    std::string s = Fixed(std::fabs(v), decimals);
    auto dot = s.find('.');
    std::string ip = dot == std::string::npos ? s : s.substr(0, dot);
    std::string fp = dot == std::string::npos ? "" : s.substr(dot);
    std::string out = Group(ip) + fp;
    bool negative = v < 0 && out.find_first_not_of("0.,") != std::string::npos;
    return negative ? "-" + out : out;
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FmtArg> argList) {
    std::vector<FmtArg> args(argList);
    std::string out;
    std::size_t next = 0;  // next argument
    std::size_t i = 0;
    auto takeInt = [&]() -> int {
        if (next >= args.size()) throw EConvertError("No argument for format '" + std::string(format) + "'");
        const FmtArg& a = args[next++];
        if (a.kind == FmtArg::Int) return static_cast<int>(a.i);
        if (a.kind == FmtArg::UInt) return static_cast<int>(a.u);
        Invalid(format);
    };
    while (i < format.size()) {
        char c = format[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i >= format.size()) Invalid(format);
        if (format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Optional index, then flags, width, precision.
        auto number = [&](int& value) -> bool {
            if (i < format.size() && format[i] == '*') {
                ++i;
                value = takeInt();
                return true;
            }
            if (i >= format.size() || format[i] < '0' || format[i] > '9') return false;
            long v = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                v = v * 10 + (format[i++] - '0');
                if (v > 100000) Invalid(format);
            }
            value = static_cast<int>(v);
            return true;
        };
        int first = -1;
        bool hasFirst = number(first);
        if (hasFirst && i < format.size() && format[i] == ':') {
            ++i;
            next = static_cast<std::size_t>(first);
            hasFirst = false;
            first = -1;
        }
        bool left = false;
        int width = -1, precision = -1;
        if (hasFirst) {
            width = first;
        } else {
            if (i < format.size() && format[i] == '-') {
                left = true;
                ++i;
            }
            number(width);
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (!number(precision)) precision = 0;
        }
        if (i >= format.size()) Invalid(format);
        char type = static_cast<char>(format[i++] | 0x20);
        if (next >= args.size()) throw EConvertError("No argument for format '" + std::string(format) + "'");
        const FmtArg& a = args[next++];
        std::string item;
        bool isNumber = a.kind == FmtArg::Int || a.kind == FmtArg::UInt;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            if (!isNumber) Invalid(format);
            bool negative = false;
            std::uint64_t mag;
            if (type == 'x') {
                mag = a.kind == FmtArg::Int ? static_cast<std::uint64_t>(a.i) & (a.i < 0 && a.i >= INT32_MIN ? 0xFFFFFFFFull : ~0ull) : a.u;
            } else if (a.kind == FmtArg::Int && type == 'd' && a.i < 0) {
                negative = true;
                mag = static_cast<std::uint64_t>(-(a.i + 1)) + 1;
            } else if (a.kind == FmtArg::Int && a.i < 0) {  // %u of a negative 32-bit value
                mag = static_cast<std::uint64_t>(a.i) & 0xFFFFFFFFull;
            } else {
                mag = a.kind == FmtArg::Int ? static_cast<std::uint64_t>(a.i) : a.u;
            }
            item = Digits(mag, type == 'x' ? 16 : 10);
            if (precision > 0 && static_cast<int>(item.size()) < precision)
                item.insert(0, precision - item.size(), '0');
            if (negative) item.insert(item.begin(), '-');
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            double v;
            if (a.kind == FmtArg::Float) v = a.f;
            else Invalid(format);
            if (type == 'e') item = Scientific(v, precision < 0 ? 15 : precision);
            else if (type == 'f') item = Fixed(v, precision < 0 ? 2 : std::min(precision, 18));
            else if (type == 'g') item = General(v, precision < 0 ? 15 : precision);
            else if (type == 'n') item = Thousands(v, precision < 0 ? 2 : std::min(precision, 18));
            else {
                std::string body = Thousands(std::fabs(v), precision < 0 ? 2 : std::min(precision, 18));
                item = v < 0 ? "($" + body + ")" : "$" + body;
            }
            break;
        }
        case 'p': {
            if (a.kind != FmtArg::Ptr) Invalid(format);
            item = IntToHex(reinterpret_cast<std::uintptr_t>(a.p), sizeof(void*) * 2);
            break;
        }
        case 's': {
            if (a.kind != FmtArg::Str) Invalid(format);
            item = std::string(a.s);
            if (precision >= 0 && static_cast<int>(item.size()) > precision) item.resize(precision);
            break;
        }
        default:
            Invalid(format);
        }
        if (width > 0 && static_cast<int>(item.size()) < width) {
            std::string pad(width - item.size(), ' ');
            item = left ? item + pad : pad + item;
        }
        out += item;
    }
    return out;
}

std::string IntToStr(std::int64_t value) { return Format("%d", {FmtArg(static_cast<long long>(value))}); }

std::string IntToHex(std::uint64_t value, int digits) {
    std::string s = Digits(value, 16);
    if (digits > 0 && static_cast<int>(s.size()) < digits) s.insert(0, digits - s.size(), '0');
    return s;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    if (b == e) return false;
    bool negative = false;
    if (text[b] == '+' || text[b] == '-') {
        negative = text[b] == '-';
        ++b;
    }
    int base = 10;
    if (b < e && text[b] == '$') {
        base = 16;
        ++b;
    } else if (b + 1 < e && text[b] == '0' && (text[b + 1] == 'x' || text[b + 1] == 'X')) {
        base = 16;
        b += 2;
    }
    if (b == e) return false;
    std::uint64_t v = 0;
    for (; b < e; ++b) {
        char c = text[b];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    if (base == 10) {
        if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
        value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
    } else {
        // Hex spells the bit pattern, so "$FFFFFFFF" is -1.
        std::int32_t bits = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        value = negative ? -bits : bits;
    }
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t v;
    if (!TryStrToInt(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return v;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
    std::int32_t v;
    return TryStrToInt(text, v) ? v : fallback;
}

std::string FloatToStr(double value) {
    std::string s = General(value, 15);
    const char sep = CurrentFormatSettings().DecimalSeparator;
    for (char& c : s)
        if (c == '.') c = sep;
    return s;
}

bool TryStrToFloat(std::string_view text, double& value) {
    // Blanks, an optional sign, digits with at most one decimal separator (the
    // regional one) and at least one digit, an optional exponent, blanks. Read
    // without the C library's locale, so the separator is ours alone.
    const char sep = CurrentFormatSettings().DecimalSeparator;
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    std::string s;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') s += text[i++], ++digits;
    if (i < n && text[i] == sep) {
        s += '.';
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') s += text[i++], ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        s += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) s += text[i++];
        int expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') s += text[i++], ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    value = negative ? -v : v;
    return true;
}

double StrToFloat(std::string_view text) {
    double v;
    if (!TryStrToFloat(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    return v;
}

}  // namespace plat
