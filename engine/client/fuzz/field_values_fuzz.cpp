// Arbitrary record bytes through the field-value conversions in both
// directions, with exactly sized buffers so that any read or write past a
// field or an API buffer is caught. Byte 0 is the engine type, byte 1 the
// API buffer size, byte 2 the engine field length; the rest is the value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/client/type_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const auto type = static_cast<qv::TqvFieldType>(data[0] % 56);
    const std::size_t apiSize = data[1];
    const std::size_t fieldLength = data[2];
    std::vector<std::uint8_t> value(data + 3, data + size);

    // Engine value -> API buffer. A text must end inside the buffer.
    std::vector<std::uint8_t> api(apiSize);
    int rc = qv::FieldValueToApi(type, api.data(), api.size(), value.data(), value.size());
    if (rc == qv::kFieldValueOk && apiSize > 0 && qv::ApiTypeFromEngine(type, 2).type == qv::fldZSTRING &&
        std::memchr(api.data(), 0, api.size()) == nullptr)
        std::abort();

    // API value -> engine field of the given length.
    std::vector<std::uint8_t> field(fieldLength);
    (void)qv::FieldValueFromApi(type, field.data(), field.size(), value.data(), value.size());
    return 0;
}
