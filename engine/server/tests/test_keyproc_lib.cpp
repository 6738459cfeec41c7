// A library that exports a key-build routine but no key-compare routine.
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) bool BuildNameKey(std::uint32_t, const std::uint8_t* record,
                                                                     std::uint8_t* key, std::uint32_t keyLength) {
    std::memcpy(key, record, keyLength);
    return true;
}
