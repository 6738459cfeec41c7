#include "engine/api/bcd.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qv {

DBIResult BcdFromDouble(double value, std::uint16_t, std::uint16_t, std::uint8_t* bcd) {
    if (bcd == nullptr) return kDbiErrInvalidParam;
    std::memset(bcd, 0, kFmtBcdSize);
    if (value == 0.0) {
        bcd[1] = 2;
        return 0;
    }
    if (std::isnan(value) || std::isinf(value)) return kDbiErrInvalidParam;
    std::uint8_t* number = bcd + 2;
    if (std::fabs(value) >= 1e-16) {
        // Exponent form with 16 fraction digits: [-]d.dddddddddddddddde[+-]x...
        char raw[64];
        std::snprintf(raw, sizeof raw, "%.16e", value);
        std::string s(raw);
        std::size_t e = s.find('e');
        if (e == std::string::npos) return kDbiErrInvalidParam;
        int exponent = 0;
        try {
            exponent = std::stoi(s.substr(e + 1));
        } catch (...) {
            return kDbiErrInvalidParam;
        }
        if (exponent + 64 > 0x7F || exponent + 64 < 0) return kDbiErrOutOfRange;
        bool negative = s[0] == '-';
        std::string mantissa = s.substr(negative ? 1 : 0, e - (negative ? 1 : 0));  // d.dddd...
        std::string digits;
        for (char c : mantissa)
            if (c >= '0' && c <= '9') digits.push_back(c);
        if (digits.size() != 17) return kDbiErrInvalidParam;
        number[0] = static_cast<std::uint8_t>(exponent + 64 + (negative ? 0x80 : 0));
        number[1] = static_cast<std::uint8_t>((digits[16] - '0') << 4);
        // Digits 1-2 go to number byte 9, digits 15-16 to number byte 2.
        for (int pair = 0; pair < 8; ++pair) {
            int hi = digits[2 * pair] - '0';
            int lo = digits[2 * pair + 1] - '0';
            number[9 - pair] = static_cast<std::uint8_t>((hi << 4) | lo);
        }
    }
    if (value < 0) bcd[1] = 1;
    return 0;
}

DBIResult BcdToDouble(const std::uint8_t* bcd, double& value) {
    value = 0.0;
    if (bcd == nullptr) return kDbiErrInvalidParam;
    const std::uint8_t flags = bcd[1];
    if (flags == 2) return 0;
    if (flags > 1) return kDbiErrInvalidParam;
    const std::uint8_t* number = bcd + 2;
    // Digits 1-16 from number bytes 9 down to 2, then the 17th.
    std::string digits;
    for (int b = 9; b >= 2; --b) {
        const int hi = number[b] >> 4, lo = number[b] & 0x0F;
        if (hi > 9 || lo > 9) return kDbiErrInvalidParam;
        digits.push_back(static_cast<char>('0' + hi));
        digits.push_back(static_cast<char>('0' + lo));
    }
    const int last = number[1] >> 4;
    if (last > 9 || (number[1] & 0x0F) != 0) return kDbiErrInvalidParam;
    digits.push_back(static_cast<char>('0' + last));
    // An all-zero number is what the writer leaves for magnitudes below 1e-16.
    if (digits.find_first_not_of('0') == std::string::npos) return 0;
    const int exponent = (number[0] & 0x7F) - 64;
    // The text goes through strtod so the 17 digits come back to the very
    // double they were printed from.
    std::string text = (flags == 1 ? "-" : "") + digits.substr(0, 1) + "." + digits.substr(1) + "e" +
                       std::to_string(exponent);
    value = std::strtod(text.c_str(), nullptr);
    return 0;
}

}  // namespace qv
