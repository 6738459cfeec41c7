// The engine's message tables in their compact "STR0" form and the reader
// that looks texts up by number.
//
// STR0 layout (little-endian): "STR0", u32 count N, N entries of
// {u32 id, u32 offset of the text from the start, u32 length in UTF-16 units}
// sorted by id (signed), then the UTF-16LE texts.
//
// Tables are kept in a process-wide registry of named resources; the engine's
// own tables are registered on first use, and other units add theirs with
// RegisterStringResource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/base/qv_exceptions.h"

namespace qv {

struct StringEntry {
    std::int32_t id;
    const char* text;  // Windows-1252
};

// Builds the STR0 bytes of a table; entries are sorted by id here.
std::string BuildStr0(std::vector<StringEntry> entries);

// Adds (or replaces) a named resource.
void RegisterStringResource(const std::string& name, std::string bytes);
// Resource bytes by name (case-insensitive, like resource names), or nullptr.
const std::string* FindStringResource(std::string_view name);

// The reader's own failures.
class ETzrStringResourceError : public EqvBaseError {
public:
    using EqvBaseError::EqvBaseError;
};

class TzrStringResource {
public:
    TzrStringResource() = default;
    TzrStringResource(const void* instance, std::string_view resourceName) { Open(instance, resourceName); }

    // `instance` stands for the module that holds the resource; one module here.
    void Open(const void* instance, std::string_view resourceName);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }

    std::string GetAsString(std::int32_t id) const;
    // Zero-terminated into buf[size]; the text is shortened until it fits.
    void GetAsPChar(std::int32_t id, char* buf, std::size_t size) const;
    // Entry index in the table, or -1.
    int FindEntry(std::int32_t id) const;
    std::u16string GetWide(std::int32_t id) const;

    bool raiseOnMissingId = false;

private:
    const std::string* data_ = nullptr;
    bool valid_ = false;
    std::uint32_t count_ = 0;
    std::string name_;
};

// The engine's global tables, opened on first use.
enum class QvTable { SrMgr, General, NetBIOS, Winsock, Server };
const TzrStringResource& QvStrings(QvTable table);

}  // namespace qv
