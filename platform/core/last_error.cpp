#include "platform/core/last_error.h"

#include <cerrno>

namespace plat {

namespace {
thread_local std::uint32_t tLastError = ERROR_SUCCESS;
}

std::uint32_t GetLastError() { return tLastError; }
void SetLastError(std::uint32_t code) { tLastError = code; }

std::uint32_t Win32ErrorFromErrno(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EIO: return ERROR_GEN_FAILURE;
    default: return ERROR_GEN_FAILURE;
    }
}

bool FailFromErrno() {
    tLastError = Win32ErrorFromErrno(errno);
    return false;
}

bool Fail(std::uint32_t code) {
    tLastError = code;
    return false;
}

}  // namespace plat
