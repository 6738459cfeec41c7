// A fuzz target that fails on purpose: any input holding the byte 0x7F
// aborts, which the driver's mutations reach within a few runs. The driver's
// tests run it to see what a failing run reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == 0x7F) std::abort();
    return 0;
}
