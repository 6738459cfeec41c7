// PCX bytes of any shape: the decoder refuses or decodes, within bounds.
#include "platform/imaging/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QImage img;
    imaging::DecodePcx(std::string_view(reinterpret_cast<const char*>(data), size), img);
    imaging::TProbe probe;
    imaging::ProbeImage(std::string_view(reinterpret_cast<const char*>(data), size), imaging::TImageKind::Unknown, probe);
    return 0;
}
