#include "platform/core/safe_file.h"

#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "platform/core/threads.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

constexpr int kLockTries = 200;
constexpr std::uint32_t kLockPauseMs = 25;

// A rename is durable only once the folder holding the name is synced.
void SyncFolderOf(const std::string& native) {
    const std::size_t slash = native.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string SafeFileTempPath(std::string_view target) { return std::string(target) + ".~tmp"; }

SafeFileWriter::SafeFileWriter(std::string_view target, PathText text, unsigned newFileMode)
    : target_(text == PathText::Native ? std::string(target) : NativePath(target)), temp_(SafeFileTempPath(target_)) {
    struct stat old;
    const bool replacing = ::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    for (;;) {
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, static_cast<mode_t>(newFileMode));
        if (fd < 0) {
            // Creating a name fails with ENOENT only for a missing folder.
            Fail(errno == ENOENT ? ENOTDIR : errno);
            return;
        }
        // Another writer's turn lasts one write; one that never ends (a
        // stopped process) makes this writer give up rather than hang.
        int r = -1, lockError = 0;
        for (int tries = 0; tries < kLockTries; ++tries) {
            r = ::flock(fd, LOCK_EX | LOCK_NB);
            if (r == 0) break;
            lockError = errno;
            if (lockError != EWOULDBLOCK && lockError != EINTR) break;
            Sleep(kLockPauseMs);
        }
        // Another writer may have renamed or removed the temporary while we
        // waited: only a lock on the file now under that name counts.
        struct stat held, named;
        if (r == 0 && ::fstat(fd, &held) == 0 && ::stat(temp_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            fd_ = fd;
            break;
        }
        ::close(fd);
        if (r != 0) {
            Fail(lockError);
            return;
        }
    }
    if (::ftruncate(fd_, 0) != 0) {
        Fail(errno);
        return;
    }
    if (replacing) ::fchmod(fd_, old.st_mode & 07777);
    SetLastError(ERROR_SUCCESS);
}

SafeFileWriter::~SafeFileWriter() { Discard(); }

bool SafeFileWriter::Fail(int err) {
    if (error_ == 0) error_ = err == 0 ? EIO : err;
    Discard();
    return plat::Fail(Win32ErrorFromErrno(error_));
}

bool SafeFileWriter::Write(const void* data, std::size_t count) {
    if (fd_ < 0) return plat::Fail(Win32ErrorFromErrno(error_ == 0 ? EBADF : error_));
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::write(fd_, p, count);
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing is a full disk as far as we can tell.
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SafeFileWriter::Commit() {
    if (fd_ < 0) return plat::Fail(Win32ErrorFromErrno(error_ == 0 ? EBADF : error_));
    if (::fsync(fd_) != 0) return Fail(errno);
    // Renamed while the lock is held, so a waiting writer never takes over a
    // temporary that has just become the target.
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
    ::close(fd_);
    fd_ = -1;
    SyncFolderOf(target_);
    SetLastError(ERROR_SUCCESS);
    return true;
}

void SafeFileWriter::Discard() {
    if (fd_ < 0) return;
    ::unlink(temp_.c_str());
    ::close(fd_);
    fd_ = -1;
}

bool WriteFileSafely(std::string_view target, std::string_view bytes, PathText text, unsigned newFileMode) {
    SafeFileWriter out(target, text, newFileMode);
    return out.Write(bytes) && out.Commit();
}

}  // namespace plat
