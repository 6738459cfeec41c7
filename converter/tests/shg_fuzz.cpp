// Reads arbitrary bytes as a picture file of the help compiler, as the HTML
// export does with the pictures a project names. Anything but a result
// (a crash, a hang, a sanitizer report) is a fault.

#include <cstddef>
#include <cstdint>
#include <string>

#include "converter/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conv::ShgPicture picture;
    if (conv::ReadShgPicture(std::string(reinterpret_cast<const char*>(data), size), picture)) {
        // What comes back is bounded by what came in (a picture may unpack to more).
        for (const conv::ShgHotspot& h : picture.hotspots)
            if (h.name.size() > size || h.target.size() > size) __builtin_trap();
    }
    return 0;
}
