// Fuzz target: the first two bytes (little-endian) are the recorded size, the
// rest a compressed stream. Both decoders must agree: both fail, or both
// restore the same bytes. The raw input is also compressed and must come back
// unchanged, so odd inputs exercise the compressor as well.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/lzh/lzh_compressor.h"
#include "editor/lzh/lzh_decoder.h"
#include "editor/lzh/tests/reference_decoder.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "lzh fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size >= 2) {
        const std::size_t recorded = data[0] | (static_cast<std::size_t>(data[1]) << 8);
        const std::string stream = bytes.substr(2);
        std::string restored;
        bool ok = true;
        try {
            restored = lzh::LZHDecompress(stream, recorded);
        } catch (const lzh::ELZHError&) {
            ok = false;
        }
        const lzhref::DecodeResult ref = lzhref::Decode(stream, recorded);
        if (ok != ref.ok) Fail("decoders disagree on whether the stream is sound");
        if (ok && restored != ref.data) Fail("decoders restored different bytes");
        if (ok && restored.size() != recorded) Fail("restored size differs from the recorded size");
    }
    const std::string packed = lzh::LZHCompress(bytes);
    if (lzh::LZHDecompress(packed, bytes.size()) != bytes) Fail("round trip lost data");
    return 0;
}
