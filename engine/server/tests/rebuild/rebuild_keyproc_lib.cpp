// Key routines for the rebuild tests: the key is the record's first four
// bytes (the Id), ordered from the largest down.
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) bool BuildIdKey(std::uint32_t, const std::uint8_t* record,
                                                                   std::uint8_t* key, std::uint32_t keyLength) {
    std::memcpy(key, record, keyLength < 4 ? keyLength : 4);
    return true;
}

extern "C" __attribute__((visibility("default"))) int CompareIdKeysDown(const std::uint8_t* a, const std::uint8_t* b,
                                                                          std::uint32_t) {
    std::int32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x < y ? 1 : x > y ? -1 : 0;
}
