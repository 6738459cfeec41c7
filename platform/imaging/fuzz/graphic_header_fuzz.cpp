// Arbitrary bytes as a picture's headers: recognising the kind and reading
// the size must never crash, and a size is either unknown (0 x 0) or
// positive in both directions.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/imaging/graphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const plat::TGraphicKind guessed = plat::GuessGraphicKind(bytes);
    for (plat::TGraphicKind kind : {guessed, plat::TGraphicKind::Dib, plat::TGraphicKind::Metafile}) {
        std::int32_t w = -1, h = -1;
        plat::GraphicSizeFromBytes(kind, bytes, w, h);
        if (w < 0 || h < 0 || (w == 0) != (h == 0)) std::abort();
    }
    return 0;
}
