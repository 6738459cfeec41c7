// Conversions between the engine's field types, values and dictionary
// records and the database API's types, values and descriptors.
//
// Engine types and their storage are those of engine/storage/field_types.h:
// type 2 is one UTF-16 code unit and type 50 a zero-terminated UTF-16 string.
// The API carries both as zero-terminated Windows-1252 text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/api/dbi_types.h"
#include "engine/client/handle_base.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/field_types.h"

namespace qv {

struct ApiType {
    std::uint16_t type = fldUNKNOWN;
    std::uint16_t subType = 0;
    std::int32_t units1 = 0;
    std::int32_t len = 0;
};

ApiType ApiTypeFromEngine(TqvFieldType type, std::int32_t length);
// The engine type for an API type and subtype, or -1 when there is none.
int FieldTypeFromDesc(std::uint16_t apiType, std::uint16_t subType);

// Results of the value conversions.
constexpr int kFieldValueOk = 0;
constexpr int kFieldValueUnknownType = 1;
constexpr int kFieldValueBlank = 2;
// A value the engine type cannot hold (out of range, not a number) or a
// buffer too small for the type's value; nothing is written.
constexpr int kFieldValueRefused = 3;

// One field's engine value (`sourceLength` bytes, its length in the record)
// into an API buffer of `destSize` bytes. Texts are cut to the buffer.
int FieldValueToApi(TqvFieldType type, void* dest, std::size_t destSize, const void* source,
                    std::size_t sourceLength);
// An API value (`sourceSize` bytes readable) into the engine field of
// `destLength` bytes. BLOB types write nothing; a blank date (0) is not
// written.
int FieldValueFromApi(TqvFieldType type, void* dest, std::size_t destLength, const void* source,
                      std::size_t sourceSize);

// Bytes of a field's value in the API's form: a logical, byte or 8-bit field
// is 16 bits wide there though the engine keeps one byte, a single float is
// a double; other fields take their engine length.
std::uint32_t ApiValueLength(TqvFieldType type, std::uint32_t engineLength);

// Bytes the client cursor zeroes in the API buffer for a blank field.
std::uint32_t BlankLength(std::uint16_t apiType, std::uint32_t len);

// The API descriptors of a dictionary's field, index and validity check.
FLDDesc FieldDescFromDict(const TqvFieldDescriptor& field);
IDXDesc IndexDescFromDict(const TqvIndexDescriptor& index);
VCHKDesc VchkDescFromDict(const TqvFieldDescriptor& field);

std::uint8_t OpenModeByte(std::uint32_t mode);
std::uint8_t ShareModeByte(std::uint32_t mode);
std::uint32_t OpenModeFromByte(std::uint8_t b);
std::uint32_t ShareModeFromByte(std::uint8_t b);

}  // namespace qv
