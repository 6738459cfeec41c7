// The database exceptions: EDatabaseError for misuse of the dataset classes,
// EDBEngineError for a failing engine call, carrying the engine's result code
// and its text.
#pragma once

#include "platform/core/exceptions.h"

#include <cstdint>
#include <string>

namespace db {

class EDatabaseError : public plat::Exception {
public:
    explicit EDatabaseError(const std::string& message) : plat::Exception(message) {}
};

class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(std::uint16_t code, const std::string& message)
        : EDatabaseError(message), code_(code) {}
    std::uint16_t ErrorCode() const { return code_; }
    int Category() const { return code_ >> 8; }

private:
    std::uint16_t code_;
};

// Result codes the dataset layer itself needs to recognise.
constexpr std::uint16_t DBIERR_NONE = 0;
constexpr std::uint16_t DBIERR_KEYVIOL = 9729;
constexpr std::uint16_t DBIERR_NOSUCHTABLE = 10024;
constexpr std::uint16_t DBIERR_NOTSUPPORTED = 12289;

[[noreturn]] void DatabaseError(const std::string& message);
// Raises plat::EAbort: the operation stops and nobody shows anything.
[[noreturn]] void Abort();

}  // namespace db
