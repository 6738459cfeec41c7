// The 34-byte BCD record the engine writes for a floating value. Part of
// the database API: callers above the engine read and write BCD fields with
// these, without the engine's insides.
//
// Byte 0 precision (left 0), byte 1 flags (0 positive, 1 negative, 2 zero),
// bytes 2-11 the number, bytes 12-33 zero. Number byte 0 is the decimal
// exponent + 64 (plus 0x80 for a negative mantissa); number byte 1 holds the
// 17th significant digit in its high nibble; number bytes 2..9 hold the digit
// pairs from digits 15-16 up to digits 1-2, high nibble first.
#pragma once

#include <cstdint>

#include "engine/api/dbi_types.h"

namespace qv {

constexpr int kFmtBcdSize = 34;

// 0; 9986 when the value cannot be written in exponent form (NaN, infinity);
// 9985 when its exponent does not fit the exponent byte (above 63), which
// would otherwise run into the sign bit.
DBIResult BcdFromDouble(double value, std::uint16_t precision, std::uint16_t places, std::uint8_t* bcd);

// Reads a record back: 0 with `value` set; kDbiErrInvalidParam (value 0)
// for a null pointer, an unknown flag byte or a digit nibble above 9, so a
// damaged record never passes for a number.
DBIResult BcdToDouble(const std::uint8_t* bcd, double& value);

}  // namespace qv
