// Packed DIB headers and pixels of any shape.
#include "platform/imaging/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int colors = 0;
    std::size_t offset = 0;
    imaging::DibColorInfo(data, size, colors, offset);
    if (offset > size) __builtin_trap();
    imaging::DecodePackedDib(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
