// Win32-shaped error results. Platform calls that the design expects to
// "fail with a code" return a flag or a code and leave the code in a
// per-thread last-error slot, so callers written for Win32 keep working and
// no exception escapes to a caller that expects a result.
#pragma once

#include <cstdint>

namespace plat {

constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
constexpr std::uint32_t ERROR_READ_FAULT = 30;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr std::uint32_t ERROR_HANDLE_EOF = 38;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_DISK_FULL = 112;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
constexpr std::uint32_t ERROR_PROC_NOT_FOUND = 127;
constexpr std::uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t ERROR_DIRECTORY = 267;

std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// The Win32 code closest to an errno value (ENOENT -> 2, EACCES -> 5, ...).
std::uint32_t Win32ErrorFromErrno(int err);
// Sets the last error from errno and returns false, for "return Fail();".
bool FailFromErrno();
bool Fail(std::uint32_t code);

}  // namespace plat
