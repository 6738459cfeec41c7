#include "engine/storage/field_types.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/base/qv_exceptions.h"
#include "engine/base/string_resource.h"
#include "platform/core/codepage.h"

namespace qv {

bool QvIsValidFieldType(int type) { return (type >= 0 && type <= 24) || (type >= 45 && type <= 50); }

namespace {

const unsigned char* U8(const void* p) { return static_cast<const unsigned char*>(p); }

// Days since 1 Mar 0000 style civil arithmetic (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

template <class T>
int Cmp3(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int FloatCmp(long double a, long double b) {
    if (a < b) return -1;
    if (a > b) return 1;
    return 0;  // equal or unordered
}

float GetSingle(const void* p) {
    std::uint32_t u = GetU32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
double GetDouble(const void* p) {
    std::uint64_t u = GetU64(p);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}
void PutSingle(void* p, float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    PutU32(p, u);
}
void PutDouble(void* p, double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    PutU64(p, u);
}

std::size_t BoundedStrLen(const unsigned char* p, std::size_t max) {
    std::size_t n = 0;
    while (n < max && p[n]) ++n;
    return n;
}

std::u16string ReadWide(const void* p, std::size_t maxUnits) {
    std::u16string w;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        char16_t c = static_cast<char16_t>(GetU16(U8(p) + 2 * i));
        if (!c) break;
        w.push_back(c);
    }
    return w;
}

int AsciiCmp(const unsigned char* a, std::size_t la, const unsigned char* b, std::size_t lb, bool ignoreCase) {
    std::size_t n = std::min(la, lb);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = a[i], y = b[i];
        if (ignoreCase) {
            if (x >= 'a' && x <= 'z') x -= 32;
            if (y >= 'a' && y <= 'z') y -= 32;
        }
        if (x != y) return x < y ? -1 : 1;
    }
    return Cmp3(la, lb);
}

int LocaleCmp(const unsigned char* a, std::size_t la, const unsigned char* b, std::size_t lb, bool ignoreCase) {
    int r = plat::CompareStringA(ignoreCase ? plat::NORM_IGNORECASE : 0u, reinterpret_cast<const char*>(a),
                                 static_cast<int>(la), reinterpret_cast<const char*>(b), static_cast<int>(lb));
    return r - 2;
}

int WideCmp(const std::u16string& a, const std::u16string& b, bool ignoreCase) {
    int r = plat::CompareStringW(ignoreCase ? plat::NORM_IGNORECASE : 0u, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r - 2;
}

}  // namespace

std::int32_t QvDateOriginOffset() {
    return static_cast<std::int32_t>(DaysFromCivil(1899, 12, 30) - DaysFromCivil(1600, 1, 1));
}

// `storage` bounds every read to the bytes the field really has; `length` is
// the compare length (the field length, or a partial length).
int CompareFieldValuesBounded(const void* a, const void* b, TqvFieldType type, bool ignoreCase, std::uint32_t length,
                              std::uint32_t storage) {
    const unsigned char* pa = U8(a);
    const unsigned char* pb = U8(b);
    switch (type) {
    case qvftBoolean: return Cmp3(pa[0] != 0, pb[0] != 0);
    case qvftChar: {
        unsigned char x = pa[0], y = pb[0];
        if (ignoreCase) {
            if (x >= 'a' && x <= 'z') x -= 32;
            if (y >= 'a' && y <= 'z') y -= 32;
        }
        return Cmp3(x, y);
    }
    case qvftWideChar:
        return WideCmp(std::u16string(1, static_cast<char16_t>(GetU16(pa))),
                       std::u16string(1, static_cast<char16_t>(GetU16(pb))), ignoreCase);
    case qvftByte: return Cmp3(pa[0], pb[0]);
    case qvftWord16: return Cmp3(GetU16(pa), GetU16(pb));
    case qvftWord32:
    case qvftAutoInc: return Cmp3(GetU32(pa), GetU32(pb));
    case qvftInt8: return Cmp3(static_cast<std::int8_t>(pa[0]), static_cast<std::int8_t>(pb[0]));
    case qvftInt16: return Cmp3(static_cast<std::int16_t>(GetU16(pa)), static_cast<std::int16_t>(GetU16(pb)));
    case qvftInt32:
    case qvftDate:
    case qvftTime: return Cmp3(static_cast<std::int32_t>(GetU32(pa)), static_cast<std::int32_t>(GetU32(pb)));
    case qvftSingle: return FloatCmp(GetSingle(pa), GetSingle(pb));
    case qvftDouble:
    case qvftDateTime: return FloatCmp(GetDouble(pa), GetDouble(pb));
    case qvftExtended: return FloatCmp(QvExtendedToLongDouble(pa), QvExtendedToLongDouble(pb));
    case qvftComp:
    case qvftCurrency: return Cmp3(static_cast<std::int64_t>(GetU64(pa)), static_cast<std::int64_t>(GetU64(pb)));
    case qvftByteArray: return QvCmpBytes(pa, pb, std::min(length, storage));
    case qvftShortString: {
        // Over at most length - 1 characters; never past the field's bytes.
        std::size_t n = length ? length - 1 : 0;
        n = std::min<std::size_t>(n, storage ? storage - 1 : 0);
        return AsciiCmp(pa + 1, std::min<std::size_t>(pa[0], n), pb + 1, std::min<std::size_t>(pb[0], n),
                        ignoreCase);
    }
    case qvftShortStringL: {
        std::size_t n = std::min<std::size_t>(length, storage ? storage - 1 : 0);
        return LocaleCmp(pa + 1, std::min<std::size_t>(pa[0], n), pb + 1, std::min<std::size_t>(pb[0], n),
                         ignoreCase);
    }
    case qvftNullString:
    case qvftNullStringL: {
        std::size_t n = std::min(length, storage);
        std::size_t la = BoundedStrLen(pa, n), lb = BoundedStrLen(pb, n);
        return type == qvftNullString ? AsciiCmp(pa, la, pb, lb, ignoreCase) : LocaleCmp(pa, la, pb, lb, ignoreCase);
    }
    case qvftWideString: {
        std::size_t units = std::min(length, storage) / 2;
        return WideCmp(ReadWide(pa, units), ReadWide(pb, units), ignoreCase);
    }
    default:
        if (QvIsBlobType(type)) RaiseQvExceptionNoArgs(QvExceptionClass::Server, QvTable::Server, srv::kCompareBlob);
        RaiseQvException(QvExceptionClass::Server, QvTable::General, srv::kUnknownFieldType, {int(type)});
    }
}

int CompareFieldValues(const void* a, const void* b, TqvFieldType type, bool ignoreCase, std::uint32_t length) {
    return CompareFieldValuesBounded(a, b, type, ignoreCase, length, length);
}

static int WithContext(const void* a, const void* b, TqvFieldType type, const TqvCompareContext& ctx) {
    std::uint32_t len = ctx.partialLength ? std::min(ctx.partialLength, ctx.fieldLength) : ctx.fieldLength;
    int c = CompareFieldValuesBounded(a, b, type, ctx.ignoreCase, len, ctx.fieldLength);
    return QvApplyDirection(ctx.ascending, c);
}

int CompareByteArray(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftByteArray, c); }
int CompareShortString(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftShortString, c); }
int CompareShortStringL(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftShortStringL, c); }
int CompareNullString(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftNullString, c); }
int CompareNullStringL(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftNullStringL, c); }
int CompareWideChar(const void* a, const void* b, const TqvCompareContext& c) {
    return QvApplyDirection(c.ascending, CompareFieldValues(a, b, qvftWideChar, c.ignoreCase, 2));
}
int CompareWideString(const void* a, const void* b, const TqvCompareContext& c) { return WithContext(a, b, qvftWideString, c); }

int CompareRefKeys(const void* a, const void* b, const TqvCompareContext& ctx) {
    return QvApplyDirection(ctx.ascending,
                            Cmp3(static_cast<std::int32_t>(GetU32(a)), static_cast<std::int32_t>(GetU32(b))));
}

// ---- extended ----------------------------------------------------------------------

long double QvExtendedToLongDouble(const void* p) {
    std::uint64_t mant = GetU64(p);
    std::uint16_t se = GetU16(U8(p) + 8);
    bool neg = se & 0x8000;
    int exp = se & 0x7FFF;
    long double v;
    if (exp == 0 && mant == 0)
        v = 0.0L;
    else if (exp == 0x7FFF)
        v = (mant << 1) ? std::numeric_limits<long double>::quiet_NaN() : std::numeric_limits<long double>::infinity();
    else
        v = std::ldexp(static_cast<long double>(mant), exp - 16383 - 63);
    return neg ? -v : v;
}

void QvLongDoubleToExtended(long double v, void* p) {
    unsigned char* b = static_cast<unsigned char*>(p);
    std::uint16_t se = std::signbit(v) ? 0x8000 : 0;
    std::uint64_t mant = 0;
    if (std::isnan(v)) {
        se |= 0x7FFF;
        mant = 0xC000000000000000ull;
    } else if (std::isinf(v)) {
        se |= 0x7FFF;
        mant = 0x8000000000000000ull;
    } else if (v != 0.0L) {
        int e = 0;
        long double m = std::frexp(std::fabs(v), &e);  // [0.5, 1)
        int biased = e - 1 + 16383;
        if (biased >= 0x7FFF) {
            se |= 0x7FFF;
            mant = 0x8000000000000000ull;
        } else if (biased > 0) {
            se |= static_cast<std::uint16_t>(biased);
            mant = static_cast<std::uint64_t>(std::ldexp(m, 64));
        }
    }
    PutU64(b, mant);
    PutU16(b + 8, se);
}

// ---- conversion -----------------------------------------------------------------------

namespace {

bool IsIntType(int t) { return (t >= qvftByte && t <= qvftAutoInc); }
bool IsShortStr(int t) { return t == qvftShortString || t == qvftShortStringL; }
bool IsNullStr(int t) { return t == qvftNullString || t == qvftNullStringL; }

std::int64_t ReadInt(const unsigned char* p, int t) {
    switch (t) {
    case qvftByte: return p[0];
    case qvftWord16: return GetU16(p);
    case qvftWord32:
    case qvftAutoInc: return GetU32(p);
    case qvftInt8: return static_cast<std::int8_t>(p[0]);
    case qvftInt16: return static_cast<std::int16_t>(GetU16(p));
    default: return static_cast<std::int32_t>(GetU32(p));
    }
}

int IntWidth(int t) {
    switch (t) {
    case qvftByte:
    case qvftInt8: return 1;
    case qvftWord16:
    case qvftInt16: return 2;
    default: return 4;
    }
}

void WriteIntOfWidth(unsigned char* d, std::int64_t v, int width) {
    if (width == 1)
        d[0] = static_cast<unsigned char>(v);
    else if (width == 2)
        PutU16(d, static_cast<std::uint16_t>(v));
    else
        PutU32(d, static_cast<std::uint32_t>(v));
}

// Integer pairs that hold every value of the source.
bool IntToIntOk(int s, int d) {
    switch (s) {
    case qvftByte: return d == 3 || d == 4 || d == 7 || d == 5 || d == 8 || d == 9;
    case qvftWord16: return d == 4 || d == 5 || d == 8 || d == 9;
    case qvftWord32:
    case qvftAutoInc: return d == 5 || d == 9;
    case qvftInt8: return d == 6 || d == 7 || d == 8;
    case qvftInt16: return d == 7 || d == 8;
    case qvftInt32: return d == 8;
    default: return false;
    }
}

bool IsFloat(int t) { return t == qvftSingle || t == qvftDouble || t == qvftExtended; }

long double ReadFloat(const unsigned char* p, int t) {
    if (t == qvftSingle) return GetSingle(p);
    if (t == qvftDouble) return GetDouble(p);
    return QvExtendedToLongDouble(p);
}

void WriteFloat(unsigned char* d, long double v, int t) {
    if (t == qvftSingle)
        PutSingle(d, static_cast<float>(v));
    else if (t == qvftDouble)
        PutDouble(d, static_cast<double>(v));
    else
        QvLongDoubleToExtended(v, d);
}

bool IsAnyString(int t) { return IsShortStr(t) || IsNullStr(t); }

// Writes ANSI text into a char, short-string or zero-terminated destination.
void PutAnsi(unsigned char* d, int t, std::uint32_t destLength, const std::string& s) {
    if (t == qvftChar) {
        d[0] = s.empty() ? 0 : static_cast<unsigned char>(s[0]);
        return;
    }
    if (destLength == 0) return;
    std::size_t cap = destLength - 1;
    std::size_t n = std::min(s.size(), cap);
    std::memset(d, 0, destLength);
    if (IsShortStr(t)) {
        d[0] = static_cast<unsigned char>(std::min<std::size_t>(n, 255));
        std::memcpy(d + 1, s.data(), d[0]);
    } else {
        std::memcpy(d, s.data(), n);
    }
}

void PutWide(unsigned char* d, int t, std::uint32_t destLength, const std::u16string& w) {
    if (t == qvftWideChar) {
        PutU16(d, w.empty() ? 0 : static_cast<std::uint16_t>(w[0]));
        return;
    }
    if (destLength < 2) return;
    std::size_t n = std::min<std::size_t>(w.size(), destLength / 2 - 1);
    std::memset(d, 0, destLength);
    for (std::size_t i = 0; i < n; ++i) PutU16(d + 2 * i, static_cast<std::uint16_t>(w[i]));
}

// The ANSI text a string or char source holds, bounded by its bytes.
std::string SourceAnsi(const unsigned char* s, int t, std::uint32_t sourceLength) {
    if (t == qvftChar) return std::string(1, static_cast<char>(s[0]));
    if (sourceLength == 0) return {};
    if (IsShortStr(t)) {
        std::size_t n = std::min<std::size_t>(s[0], sourceLength - 1);
        return std::string(reinterpret_cast<const char*>(s + 1), n);
    }
    return std::string(reinterpret_cast<const char*>(s), BoundedStrLen(s, sourceLength));
}

}  // namespace

int ConvertFieldValue(const void* source, void* dest, TqvFieldType st, TqvFieldType dt, std::uint32_t sourceLength,
                      std::uint32_t destLength) {
    const unsigned char* s = U8(source);
    unsigned char* d = static_cast<unsigned char*>(dest);
    const int bad = kQvInvalidFieldTransformation;
    const std::uint32_t m = std::min(destLength, sourceLength);

    // Booleans.
    if (st == qvftBoolean) {
        if (!(dt <= qvftInt32 || IsAnyString(dt) || dt == qvftWideString)) return bad;
        if (!d) return 0;
        const char* yn = s[0] ? "Y" : "N";
        if (dt == 0 || dt == 3 || dt == 6)
            d[0] = s[0];
        else if (dt == 4 || dt == 7)
            PutU16(d, s[0]);
        else if (dt == 5 || dt == 8)
            PutU32(d, s[0]);
        else if (dt == 2 || dt == qvftWideString)
            PutWide(d, dt, destLength, plat::AnsiToWide(yn));
        else
            PutAnsi(d, dt, destLength, yn);
        return 0;
    }
    // Characters and wide characters.
    if (st == qvftChar || st == qvftWideChar) {
        if (!(dt == qvftChar || dt == qvftWideChar || IsAnyString(dt) || dt == qvftWideString)) return bad;
        if (!d) return 0;
        if (st == qvftChar) {
            if (dt == qvftWideChar || dt == qvftWideString)
                PutWide(d, dt, destLength, std::u16string(1, plat::AnsiCharToUnicode(s[0])));
            else
                PutAnsi(d, dt, destLength, std::string(1, static_cast<char>(s[0])));
        } else {
            std::uint16_t u = GetU16(s);
            if (dt == qvftWideChar || dt == qvftWideString)
                PutWide(d, dt, destLength, std::u16string(1, static_cast<char16_t>(u)));
            else
                PutAnsi(d, dt, destLength, std::string(1, QvCharOfWord(u)));
        }
        return 0;
    }
    // Integers.
    if (IsIntType(st)) {
        if (IntToIntOk(st, dt)) {
            if (d) WriteIntOfWidth(d, ReadInt(s, st), IntWidth(dt));
            return 0;
        }
        if (IsFloat(dt) || dt == qvftComp || dt == qvftCurrency) {
            if (!d) return 0;
            std::int64_t v = ReadInt(s, st);  // unsigned sources read as unsigned
            if (IsFloat(dt))
                WriteFloat(d, static_cast<long double>(v), dt);
            else
                PutU64(d, static_cast<std::uint64_t>(dt == qvftComp ? v : v * 10000));
            return 0;
        }
        return bad;
    }
    // Floats.
    if (IsFloat(st)) {
        bool widen = (st == qvftSingle && IsFloat(dt)) || (st == qvftDouble && (dt == 11 || dt == 12)) ||
                     (st == qvftExtended && dt == 12);
        if (widen) {
            if (d) WriteFloat(d, ReadFloat(s, st), dt);
            return 0;
        }
        if (dt == qvftCurrency) {
            // Scaled first, then rounded (half to even), so 2.5 gives 25000.
            long double scaled = ReadFloat(s, st) * 10000.0L;
            long double r = std::nearbyint(scaled);
            if (!(r >= -9223372036854775808.0L && r < 9223372036854775808.0L)) return bad;
            if (d) PutU64(d, static_cast<std::uint64_t>(static_cast<std::int64_t>(r)));
            return 0;
        }
        return bad;
    }
    if (st == qvftComp || st == qvftCurrency) {
        if (dt == st) {
            if (d) std::memcpy(d, s, 8);
            return 0;
        }
        if (st == qvftCurrency && dt == qvftExtended) {
            if (d) QvLongDoubleToExtended(static_cast<long double>(static_cast<std::int64_t>(GetU64(s))) / 10000.0L, d);
            return 0;
        }
        return bad;
    }
    // Dates and times.
    if (st == qvftDate || st == qvftTime || st == qvftDateTime) {
        if (dt == st) {
            if (d) std::memcpy(d, s, st == qvftDateTime ? 8 : 4);
            return 0;
        }
        if (st == qvftDate && dt == qvftDateTime) {
            if (!d) return 0;
            auto day = static_cast<std::int32_t>(GetU32(s));
            double v = day < 0 ? 0.0 : static_cast<double>(day - QvDateOriginOffset()) + kQvDateTimeDelta;
            PutDouble(d, v);
            return 0;
        }
        if (st == qvftTime && dt == qvftDateTime) {
            if (!d) return 0;
            auto secs = static_cast<std::int32_t>(GetU32(s));
            double v = (secs < 0 || secs >= 86400) ? 0.0 : static_cast<double>(secs) / 86400.0;
            PutDouble(d, v);
            return 0;
        }
        if (st == qvftDateTime && (dt == qvftDate || dt == qvftTime)) {
            if (!d) return 0;
            double v = GetDouble(s);
            if (!std::isfinite(v) || v < 0 || v > 1e9) {
                PutU32(d, 0xFFFFFFFFu);  // no date / no time
                return 0;
            }
            double whole = std::floor(v);
            if (dt == qvftDate) {
                double day = whole - kQvDateTimeDelta + QvDateOriginOffset();
                PutU32(d, day < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(static_cast<std::int32_t>(day)));
            } else {
                auto secs = static_cast<std::int32_t>(std::llround((v - whole) * 86400.0));
                if (secs >= 86400) secs = 86399;
                PutU32(d, static_cast<std::uint32_t>(secs));
            }
            return 0;
        }
        return bad;
    }
    // BLOBs and raw bytes.
    if (QvIsBlobType(st)) return QvIsBlobType(dt) ? 0 : bad;
    if (st == qvftByteArray) {
        if (QvIsBlobType(dt)) return 0;
        if (dt != qvftByteArray) return bad;
        if (d) std::memcpy(d, s, m);
        return 0;
    }
    // Strings.
    if (IsShortStr(st) || IsNullStr(st)) {
        if (!(dt == qvftChar || dt == qvftWideChar || IsAnyString(dt) || dt == qvftWideString)) return bad;
        if (!d) return 0;
        std::string text = SourceAnsi(s, st, sourceLength);
        if (dt == qvftWideChar || dt == qvftWideString) {
            if (dt == qvftWideString && sourceLength > 0) text.resize(std::min<std::size_t>(text.size(), sourceLength - 1));
            PutWide(d, dt, destLength, plat::AnsiToWide(text));
        } else {
            if (dt != qvftChar && m > 0) text.resize(std::min<std::size_t>(text.size(), m - 1));
            PutAnsi(d, dt, destLength, text);
        }
        return 0;
    }
    if (st == qvftWideString) {
        if (!(dt == qvftChar || dt == qvftWideChar || IsAnyString(dt) || dt == qvftWideString)) return bad;
        if (!d) return 0;
        std::u16string w = ReadWide(s, sourceLength / 2);
        if (dt == qvftChar) {
            d[0] = w.empty() ? 0 : static_cast<unsigned char>(QvCharOfWord(w[0]));
        } else if (dt == qvftWideChar) {
            PutU16(d, w.empty() ? 0 : static_cast<std::uint16_t>(w[0]));
        } else if (dt == qvftWideString) {
            std::size_t units = m / 2 ? m / 2 - 1 : 0;
            w.resize(std::min(w.size(), units));
            PutWide(d, dt, destLength, w);
        } else {
            std::size_t chars = std::min<std::size_t>(sourceLength / 2 ? sourceLength / 2 - 1 : 0,
                                                      destLength ? destLength - 1 : 0);
            w.resize(std::min(w.size(), chars));
            PutAnsi(d, dt, destLength, plat::WideToAnsi(w));
        }
        return 0;
    }
    return bad;
}

}  // namespace qv
