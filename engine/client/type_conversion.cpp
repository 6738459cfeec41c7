#include "engine/client/type_conversion.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/base/qv_base.h"
#include "engine/client/client_helpers.h"
#include "engine/client/day_numbers.h"
#include "platform/core/codepage.h"

namespace qv {
namespace {

constexpr double kMsPerDay = 86400000.0;

// Zero-terminated text into dest[size], cut to fit.
void PutApiText(void* dest, std::size_t size, std::string_view text) {
    if (size == 0) return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n > 0) std::memcpy(dest, text.data(), n);
    static_cast<char*>(dest)[n] = '\0';
}

// A record's text up to its zero or the end of the field, read in place: a
// field read makes no string of its own.
std::string_view FieldText(const unsigned char* s, std::size_t size) {
    const auto* nul = static_cast<const unsigned char*>(std::memchr(s, 0, size));
    return {reinterpret_cast<const char*>(s), nul != nullptr ? static_cast<std::size_t>(nul - s) : size};
}

std::string WideFieldToAnsi(const void* source, std::size_t bytes) {
    const auto* b = static_cast<const unsigned char*>(source);
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        char16_t c = static_cast<char16_t>(GetU16(b + i));
        if (c == 0) break;
        wide.push_back(c);
    }
    return plat::WideToAnsi(wide);
}

double GetDouble(const void* p) {
    std::uint64_t bits = GetU64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void PutDouble(void* p, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    PutU64(p, bits);
}

float GetSingle(const void* p) {
    std::uint32_t bits = GetU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void PutSingle(void* p, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    PutU32(p, bits);
}

// Rounds half to even, as the engine's other float conversions do; false
// when the value does not fit a signed 64-bit integer.
bool RoundToInt64(double v, std::int64_t& out) {
    if (!std::isfinite(v)) return false;
    double r = std::nearbyint(v);
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (r >= 9223372036854775808.0 || r < -9223372036854775808.0) return false;
    out = static_cast<std::int64_t>(r);
    return true;
}

// The width each engine type needs in its record and the API buffer.
struct Widths {
    std::size_t engine;
    std::size_t api;
};

bool FixedWidths(TqvFieldType type, Widths& w) {
    switch (type) {
        case qvftBoolean: w = {1, 2}; return true;
        case qvftByte: w = {1, 2}; return true;
        case qvftWord16: w = {2, 2}; return true;
        case qvftWord32: case qvftInt32: case qvftAutoInc: w = {4, 4}; return true;
        case qvftInt8: w = {1, 2}; return true;
        case qvftInt16: w = {2, 2}; return true;
        case qvftSingle: w = {4, 8}; return true;
        case qvftDouble: w = {8, 8}; return true;
        case qvftExtended: w = {10, 8}; return true;
        case qvftComp: case qvftCurrency: w = {8, 8}; return true;
        case qvftDate: case qvftTime: w = {4, 4}; return true;
        case qvftDateTime: w = {8, 8}; return true;
        default: return false;
    }
}

}  // namespace

ApiType ApiTypeFromEngine(TqvFieldType type, std::int32_t length) {
    ApiType a;
    a.units1 = a.len = length;
    switch (type) {
        case qvftBoolean: a.type = fldBOOL; break;
        case qvftChar: case qvftWideChar: case qvftShortString: case qvftShortStringL: a.type = fldZSTRING; break;
        case qvftByte: case qvftWord16: a.type = fldUINT16; break;
        case qvftWord32: case qvftInt32: a.type = fldINT32; break;
        case qvftInt8: case qvftInt16: a.type = fldINT16; break;
        case qvftAutoInc: a.type = fldINT32, a.subType = fldstAUTOINC; break;
        case qvftSingle: case qvftDouble: case qvftExtended: case qvftComp: a.type = fldFLOAT; break;
        case qvftCurrency: a.type = fldFLOAT, a.subType = fldstMONEY; break;
        case qvftDate: a.type = fldDATE; break;
        case qvftTime: a.type = fldTIME; break;
        case qvftDateTime: a.type = fldTIMESTAMP; break;
        case 18: a.type = fldBLOB, a.subType = fldstBINARY; break;
        case 19: a.type = fldBLOB, a.subType = fldstMEMO; break;
        case 20: a.type = fldBLOB, a.subType = fldstFMTMEMO; break;
        case 21: a.type = fldBLOB, a.subType = fldstOLEOBJ; break;
        case 22: a.type = fldBLOB, a.subType = fldstGRAPHIC; break;
        case 23: a.type = fldBLOB, a.subType = fldstDBSOLEOBJ; break;
        case 24: a.type = fldBLOB, a.subType = fldstTYPEDBINARY; break;
        case qvftByteArray: a.type = fldBYTES; break;
        case qvftNullString: case qvftNullStringL: case qvftWideString:
            a.len = length - 1;
            if (length < 8193) {
                a.type = fldZSTRING;
            } else {
                a.type = fldBLOB, a.subType = fldstMEMO;
            }
            break;
        default: a.type = fldUNKNOWN; break;
    }
    return a;
}

int FieldTypeFromDesc(std::uint16_t apiType, std::uint16_t subType) {
    switch (apiType) {
        case fldZSTRING: return qvftNullString;
        case fldDATE: return qvftDate;
        case fldBLOB:
            switch (subType) {
                case fldstMEMO: return 19;
                case fldstBINARY: return 18;
                case fldstFMTMEMO: return 20;
                case fldstOLEOBJ: return 21;
                case fldstGRAPHIC: return 22;
                case fldstDBSOLEOBJ: return 23;
                case fldstTYPEDBINARY: return 24;
                default: return -1;
            }
        case fldBOOL: return qvftBoolean;
        case fldINT16: return qvftInt16;
        case fldINT32: return subType == fldstAUTOINC ? qvftAutoInc : qvftInt32;
        case fldFLOAT: return subType == fldstMONEY ? qvftCurrency : qvftDouble;
        case fldBCD: return qvftCurrency;
        case fldBYTES: return qvftByteArray;
        case fldTIME: return qvftTime;
        case fldTIMESTAMP: return qvftDateTime;
        case fldUINT16: return qvftWord16;
        case fldUINT32: return qvftWord32;
        case fldFLOATIEEE: return qvftExtended;
        case fldVARBYTES: return qvftShortString;
        default: return -1;
    }
}

int FieldValueToApi(TqvFieldType type, void* dest, std::size_t destSize, const void* source,
                    std::size_t sourceLength) {
    if (dest == nullptr || source == nullptr) return kFieldValueRefused;
    const auto* s = static_cast<const unsigned char*>(source);
    auto* d = static_cast<unsigned char*>(dest);
    Widths w{};
    if (FixedWidths(type, w) && (sourceLength < w.engine || destSize < w.api)) return kFieldValueRefused;
    switch (type) {
        case qvftBoolean: PutU16(d, s[0] != 0 ? 1 : 0); return kFieldValueOk;
        case qvftChar: {
            if (sourceLength < 1) return kFieldValueRefused;
            char c = static_cast<char>(s[0]);
            PutApiText(d, destSize, c == '\0' ? std::string_view() : std::string_view(&c, 1));
            return kFieldValueOk;
        }
        case qvftWideChar:
            PutApiText(d, destSize, WideFieldToAnsi(s, sourceLength < 2 ? 0 : 2));
            return kFieldValueOk;
        case qvftShortString:
        case qvftShortStringL: {
            if (sourceLength < 1) return kFieldValueRefused;
            // The length byte is not trusted beyond the field.
            std::size_t n = s[0] < sourceLength - 1 ? s[0] : sourceLength - 1;
            PutApiText(d, destSize, std::string_view(reinterpret_cast<const char*>(s + 1), n));
            return kFieldValueOk;
        }
        case qvftByte: PutU16(d, s[0]); return kFieldValueOk;
        case qvftWord16: PutU16(d, GetU16(s)); return kFieldValueOk;
        case qvftWord32:
        case qvftInt32:
        case qvftAutoInc: PutU32(d, GetU32(s)); return kFieldValueOk;
        case qvftInt8: PutU16(d, static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<std::int8_t>(s[0]))));
            return kFieldValueOk;
        case qvftInt16: PutU16(d, GetU16(s)); return kFieldValueOk;
        case qvftSingle: PutDouble(d, static_cast<double>(GetSingle(s))); return kFieldValueOk;
        case qvftDouble: PutDouble(d, GetDouble(s)); return kFieldValueOk;
        case qvftExtended: PutDouble(d, static_cast<double>(QvExtendedToLongDouble(s))); return kFieldValueOk;
        case qvftComp: PutDouble(d, static_cast<double>(static_cast<std::int64_t>(GetU64(s)))); return kFieldValueOk;
        case qvftCurrency:
            PutDouble(d, static_cast<double>(static_cast<std::int64_t>(GetU64(s))) / 10000.0);
            return kFieldValueOk;
        case qvftDate: {
            auto n = static_cast<std::int32_t>(GetU32(s));
            if (n < 0 || n > LastDayNumber()) return kFieldValueBlank;
            PutU32(d, static_cast<std::uint32_t>(n + kApiDateOfDayZero));
            return kFieldValueOk;
        }
        case qvftTime: {
            auto sec = static_cast<std::int32_t>(GetU32(s));
            if (sec < 0 || sec >= 86400) return kFieldValueBlank;
            PutU32(d, static_cast<std::uint32_t>(sec) * 1000u);
            return kFieldValueOk;
        }
        case qvftDateTime: PutDouble(d, GetDouble(s) * kMsPerDay); return kFieldValueOk;
        case 18: case 20: case 21: case 22: case 23: case 24: return kFieldValueOk;
        case 19:
            // A memo field holds its BLOB number; it is handed on as text the
            // way the record holds it, never read past the field.
            PutApiText(d, destSize, FieldText(s, sourceLength));
            return kFieldValueOk;
        case qvftByteArray: std::memcpy(d, s, sourceLength < destSize ? sourceLength : destSize); return kFieldValueOk;
        case qvftNullString:
        case qvftNullStringL:
            PutApiText(d, destSize, FieldText(s, sourceLength));
            return kFieldValueOk;
        case qvftWideString: PutApiText(d, destSize, WideFieldToAnsi(s, sourceLength)); return kFieldValueOk;
        default: return kFieldValueUnknownType;
    }
}

int FieldValueFromApi(TqvFieldType type, void* dest, std::size_t destLength, const void* source,
                      std::size_t sourceSize) {
    if (dest == nullptr || source == nullptr) return kFieldValueRefused;
    const auto* s = static_cast<const unsigned char*>(source);
    auto* d = static_cast<unsigned char*>(dest);
    Widths w{};
    if (FixedWidths(type, w) && (destLength < w.engine || sourceSize < w.api)) return kFieldValueRefused;
    auto text = [&] { return BoundedCString(reinterpret_cast<const char*>(s), sourceSize); };
    switch (type) {
        case qvftBoolean: d[0] = GetU16(s) != 0 ? 1 : 0; return kFieldValueOk;
        case qvftChar: {
            if (destLength < 1) return kFieldValueRefused;
            std::string t = text();
            d[0] = t.empty() ? 0 : static_cast<unsigned char>(t[0]);
            return kFieldValueOk;
        }
        case qvftWideChar: {
            if (destLength < 2) return kFieldValueRefused;
            std::string t = text();
            PutU16(d, t.empty() ? 0 : plat::AnsiCharToUnicode(static_cast<unsigned char>(t[0])));
            return kFieldValueOk;
        }
        case qvftShortString:
        case qvftShortStringL: {
            if (destLength < 1) return kFieldValueRefused;
            std::string t = text();
            std::size_t n = t.size();
            if (n > destLength - 1) n = destLength - 1;
            if (n > kQvShortStringMax) n = kQvShortStringMax;
            std::memset(d, 0, destLength);
            d[0] = static_cast<unsigned char>(n);
            std::memcpy(d + 1, t.data(), n);
            return kFieldValueOk;
        }
        case qvftByte: {
            std::uint16_t v = GetU16(s);
            if (v > 0xFF) return kFieldValueRefused;
            d[0] = static_cast<unsigned char>(v);
            return kFieldValueOk;
        }
        case qvftWord16: PutU16(d, GetU16(s)); return kFieldValueOk;
        case qvftWord32:
        case qvftInt32:
        case qvftAutoInc: PutU32(d, GetU32(s)); return kFieldValueOk;
        case qvftInt8: {
            auto v = static_cast<std::int16_t>(GetU16(s));
            if (v < -128 || v > 127) return kFieldValueRefused;
            d[0] = static_cast<unsigned char>(static_cast<std::int8_t>(v));
            return kFieldValueOk;
        }
        case qvftInt16: PutU16(d, GetU16(s)); return kFieldValueOk;
        case qvftSingle: {
            double v = GetDouble(s);
            if (std::isfinite(v) && std::fabs(v) > FLT_MAX) return kFieldValueRefused;
            PutSingle(d, static_cast<float>(v));
            return kFieldValueOk;
        }
        case qvftDouble: PutDouble(d, GetDouble(s)); return kFieldValueOk;
        case qvftExtended: QvLongDoubleToExtended(static_cast<long double>(GetDouble(s)), d); return kFieldValueOk;
        case qvftComp: {
            std::int64_t v;
            if (!RoundToInt64(GetDouble(s), v)) return kFieldValueRefused;
            PutU64(d, static_cast<std::uint64_t>(v));
            return kFieldValueOk;
        }
        case qvftCurrency: {
            // The value is scaled before rounding so that fractions of a unit
            // survive: 12.3456 is stored as 123456.
            std::int64_t v;
            if (!RoundToInt64(GetDouble(s) * 10000.0, v)) return kFieldValueRefused;
            PutU64(d, static_cast<std::uint64_t>(v));
            return kFieldValueOk;
        }
        case qvftDate: {
            auto api = static_cast<std::int32_t>(GetU32(s));
            int y, m, day;
            // 0 names no date at all and leaves the field blank.
            if (api == 0) return kFieldValueBlank;
            DateDecode(api, y, m, day);
            // Only years 1600-3999 can be stored; the day number must not
            // read a year below 100 as one of this century or the last.
            if (y < 1600 || y > 3999 || m == 0 || day == 0) return kFieldValueRefused;
            PutU32(d, static_cast<std::uint32_t>(DayNumber(day, m, y)));
            return kFieldValueOk;
        }
        case qvftTime: {
            std::uint32_t ms = GetU32(s);
            if (ms >= 86400000u) return kFieldValueRefused;
            PutU32(d, ms / 1000u);
            return kFieldValueOk;
        }
        case qvftDateTime: {
            std::int64_t ms;
            if (!RoundToInt64(GetDouble(s), ms)) return kFieldValueRefused;
            // Whole days and the time of day, encoded again.
            std::int64_t day = ms / 86400000;
            std::int64_t rest = ms % 86400000;
            if (rest < 0) rest += 86400000, --day;
            PutDouble(d, static_cast<double>(day) + static_cast<double>(rest) / kMsPerDay);
            return kFieldValueOk;
        }
        case 18: case 19: case 20: case 21: case 22: case 23: case 24: return kFieldValueOk;
        case qvftByteArray: {
            std::size_t n = sourceSize < destLength ? sourceSize : destLength;
            std::memcpy(d, s, n);
            if (n < destLength) std::memset(d + n, 0, destLength - n);
            return kFieldValueOk;
        }
        case qvftNullString:
        case qvftNullStringL: {
            if (destLength < 1) return kFieldValueRefused;
            std::memset(d, 0, destLength);
            PutApiText(d, destLength, text());
            return kFieldValueOk;
        }
        case qvftWideString: {
            if (destLength < 2) return kFieldValueRefused;
            std::u16string wide = plat::AnsiToWide(text());
            std::size_t cap = destLength / 2 - 1;
            if (wide.size() > cap) wide.resize(cap);
            std::memset(d, 0, destLength);
            for (std::size_t i = 0; i < wide.size(); ++i) PutU16(d + 2 * i, wide[i]);
            return kFieldValueOk;
        }
        default: return kFieldValueUnknownType;
    }
}

std::uint32_t ApiValueLength(TqvFieldType type, std::uint32_t engineLength) {
    Widths w{};
    return FixedWidths(type, w) ? static_cast<std::uint32_t>(w.api) : engineLength;
}

std::uint32_t BlankLength(std::uint16_t apiType, std::uint32_t len) {
    if (apiType == fldBLOB) return 4;
    if (apiType == fldFLOAT) return 8;
    return len;
}

FLDDesc FieldDescFromDict(const TqvFieldDescriptor& f) {
    FLDDesc d;
    ApiType a = ApiTypeFromEngine(f.type, static_cast<std::int32_t>(f.length));
    d.fieldNumber = static_cast<std::uint16_t>(f.number + 1);
    d.name = f.name.substr(0, 31);
    d.fieldType = a.type;
    d.subType = a.subType;
    // The record buffers the API sees are the engine's records, so the
    // descriptor carries the engine's size, offset and length.
    d.units1 = static_cast<std::int16_t>(f.units);
    d.units2 = static_cast<std::int16_t>(f.decimals);
    d.offset = static_cast<std::uint16_t>(f.offset);
    d.length = static_cast<std::uint16_t>(f.length);
    d.validity = (f.required || (f.validity && f.validity->hasDefault)) ? 1 : 0;
    d.rights = 3;
    return d;
}

IDXDesc IndexDescFromDict(const TqvIndexDescriptor& x) {
    IDXDesc d;
    d.name = x.name;
    d.indexId = static_cast<std::uint16_t>(x.number);
    d.unique = x.allowDuplicates ? 0 : 1;
    d.descending = x.ascending ? 0 : 1;
    d.maintained = 1;
    d.keyLength = static_cast<std::uint16_t>(x.keyLength);
    if (x.keyFieldCount < 0) {
        d.expIdx[1] = 1;
        d.keyFieldCount = 0;
    } else {
        int n = x.keyFieldCount < IDXDesc::kMaxKeyFields ? x.keyFieldCount : IDXDesc::kMaxKeyFields;
        d.keyFieldCount = static_cast<std::uint16_t>(n);
        for (int i = 0; i < n; ++i) d.keyFields[i] = static_cast<std::uint16_t>(x.fields[i] + 1);
    }
    d.caseInsensitive = x.ignoreCase ? 1 : 0;
    return d;
}

namespace {

// A validity value is kept in the field's storage form, field-length bytes;
// the descriptor has room for 254 of them.
void CopyCheckValue(std::array<std::uint8_t, VCHKDesc::kValueSize>& dest, const std::string& value) {
    std::size_t n = value.size() < dest.size() ? value.size() : dest.size();
    if (n > 0) std::memcpy(dest.data(), value.data(), n);
}

}  // namespace

VCHKDesc VchkDescFromDict(const TqvFieldDescriptor& f) {
    VCHKDesc d;
    d.required = f.required ? 1 : 0;
    if (const TqvValidityCheck* v = f.validity.get()) {
        d.hasMinimum = v->hasMinimum ? 1 : 0;
        d.hasMaximum = v->hasMaximum ? 1 : 0;
        if (v->hasMinimum) CopyCheckValue(d.minimum, v->minimum);
        if (v->hasMaximum) CopyCheckValue(d.maximum, v->maximum);
        if (v->hasDefault) CopyCheckValue(d.defaultValue, v->defaultValue);
        d.picture = v->picture;
    }
    return d;
}

std::uint8_t OpenModeByte(std::uint32_t mode) { return mode == 0 ? 1 : 0; }
std::uint8_t ShareModeByte(std::uint32_t mode) { return mode == 0 ? 1 : 0; }

std::uint32_t OpenModeFromByte(std::uint8_t b) { return b; }

std::uint32_t ShareModeFromByte(std::uint8_t b) {
    switch (b) {
        case 1: return 2;
        case 2: return 1;
        default: return b;
    }
}

}  // namespace qv
