// Bounds-checked reads of little- and big-endian fields from a byte range.
// Reads outside the range give 0; callers test `has` before they rely on a
// field, so a short file is an error, never a read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace imaging {

struct Bytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    bool has(std::uint64_t at, std::uint64_t n) const { return at <= size && n <= size - at; }
    std::uint8_t u8(std::size_t at) const { return has(at, 1) ? data[at] : 0; }
    std::uint16_t u16(std::size_t at) const {
        return has(at, 2) ? static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8)) : 0;
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const {
        return has(at, 4) ? static_cast<std::uint32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                                       (std::uint32_t{data[at + 3]} << 24))
                          : 0;
    }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    std::uint16_t u16be(std::size_t at) const {
        return has(at, 2) ? static_cast<std::uint16_t>((data[at] << 8) | data[at + 1]) : 0;
    }
    std::uint32_t u32be(std::size_t at) const {
        return has(at, 4) ? (std::uint32_t{data[at]} << 24) | (data[at + 1] << 16) | (data[at + 2] << 8) | data[at + 3]
                          : 0;
    }
    std::string text(std::size_t at, std::size_t n) const {
        return has(at, n) ? std::string(reinterpret_cast<const char*>(data + at), n) : std::string();
    }
};

}  // namespace imaging
