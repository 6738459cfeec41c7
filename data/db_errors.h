// The database exceptions: EDatabaseError for misuse of the dataset classes,
// EDBEngineError for a failing engine call, carrying the engine's result code
// and its text.
#pragma once

#include "platform/core/exceptions.h"

#include <cstdint>
#include <string>
#include <utility>

namespace db {

class EDatabaseError : public plat::Exception {
public:
    explicit EDatabaseError(const std::string& message) : plat::Exception(message) {}
};

class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(std::uint16_t code, const std::string& message, std::string table = {})
        : EDatabaseError(message), code_(code), table_(std::move(table)) {}
    std::uint16_t ErrorCode() const { return code_; }
    int Category() const { return code_ >> 8; }
    // The table the failing call was on, when the error is about its file.
    const std::string& TableName() const { return table_; }

private:
    std::uint16_t code_;
    std::string table_;
};

// Result codes that mean a table's file is damaged: a header, page, link or
// BLOB in it that cannot be read as what it should be.
bool IsDamagedTableError(std::uint16_t code);
// Said after the name of a damaged table when a call on it fails: what the
// user is to do. The program sets it; empty by default.
void SetDamagedTableAdvice(const std::string& advice);
// EDBEngineError for a failed call on `table`; a damage names the table
// ("The table X is damaged: <engine text>.") and the advice.
[[noreturn]] void RaiseTableError(std::uint16_t code, const std::string& engineText, const std::string& table);

// Result codes the dataset layer itself needs to recognise.
constexpr std::uint16_t DBIERR_NONE = 0;
constexpr std::uint16_t DBIERR_KEYVIOL = 9729;
constexpr std::uint16_t DBIERR_NOSUCHTABLE = 10024;
constexpr std::uint16_t DBIERR_NOTSUPPORTED = 12289;

[[noreturn]] void DatabaseError(const std::string& message);
// Raises plat::EAbort: the operation stops and nobody shows anything.
[[noreturn]] void Abort();

}  // namespace db
