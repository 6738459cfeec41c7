#include "engine/storage/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/core/paths.h"

namespace qv {
namespace {

std::atomic<TqvFileAccess*> g_access{nullptr};

// Makes a file's creation or removal itself durable: without it a journal
// could vanish, or come back, after a crash.
void SyncFolderOf(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

TqvPosixFileAccess& SystemAccess() {
    static TqvPosixFileAccess a;
    return a;
}

}  // namespace

TqvFileAccess& QvFileAccess() {
    TqvFileAccess* a = g_access.load();
    return a ? *a : SystemAccess();
}

void QvInstallFileAccess(TqvFileAccess* access) { g_access.store(access); }

std::string QvResolvePath(const std::string& name) { return plat::NativePath(name); }

// ---- operating system -----------------------------------------------------------------

int TqvPosixFileAccess::Open(const std::string& name, bool readWrite, bool shared, bool create, bool,
                             int& error) {
    std::string path = QvResolvePath(name);
    int flags = (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (create) flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // The lock comes before truncation so that creating over a file another
    // process holds fails without damaging it.
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    if (create) {
        if (::ftruncate(fd, 0) != 0) {
            error = errno;
            ::close(fd);
            return -1;
        }
        SyncFolderOf(path);
    }
    return fd;
}

bool TqvPosixFileAccess::Close(int handle, int& error) {
    if (::close(handle) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool TqvPosixFileAccess::Flush(int handle, int& error) {
    // The data and what is needed to read it back (the length), not the
    // times: the durability a commit needs, at a lower price.
    if (::fdatasync(handle) != 0) {
        error = errno;
        return false;
    }
    return true;
}

std::int64_t TqvPosixFileAccess::Size(int handle, int& error) {
    struct stat st;
    if (::fstat(handle, &st) != 0) {
        error = errno;
        return -1;
    }
    return st.st_size;
}

std::int64_t TqvPosixFileAccess::ReadAt(int handle, std::uint64_t pos, void* buf, std::size_t count, int& error) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t r = ::pread(handle, static_cast<char*>(buf) + done, count - done, static_cast<off_t>(pos + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t TqvPosixFileAccess::WriteAt(int handle, std::uint64_t pos, const void* buf, std::size_t count,
                                         int& error) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t r =
            ::pwrite(handle, static_cast<const char*>(buf) + done, count - done, static_cast<off_t>(pos + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<std::int64_t>(done);
}

bool TqvPosixFileAccess::SetEndOfFile(int handle, std::uint64_t pos, int& error) {
    if (::ftruncate(handle, static_cast<off_t>(pos)) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool TqvPosixFileAccess::Delete(const std::string& name, int& error) {
    std::string path = QvResolvePath(name);
    if (::unlink(path.c_str()) != 0) {
        error = errno;
        return false;
    }
    SyncFolderOf(path);
    return true;
}

bool TqvPosixFileAccess::Rename(const std::string& from, const std::string& to, int& error) {
    if (::rename(QvResolvePath(from).c_str(), QvResolvePath(to).c_str()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

// ---- fault injection ---------------------------------------------------------------------

int TqvFaultFileAccess::Step() {
    ++count_;
    if (count_ == exitAt_) return 2;
    if (count_ == failAt_) return 1;
    return 0;
}

int TqvFaultFileAccess::Open(const std::string& name, bool readWrite, bool shared, bool create, bool writeThrough,
                             int& error) {
    if (create) {
        // Creating truncates: it changes a file like a write does.
        int s = Step();
        if (s == 2) ::_exit(77);
        if (s == 1) {
            error = EIO;
            return -1;
        }
    }
    return inner_.Open(name, readWrite, shared, create, writeThrough, error);
}

bool TqvFaultFileAccess::Flush(int handle, int& error) {
    int s = Step();
    if (s == 2) ::_exit(77);
    if (s == 1) {
        error = EIO;
        return false;
    }
    return inner_.Flush(handle, error);
}

std::int64_t TqvFaultFileAccess::WriteAt(int handle, std::uint64_t pos, const void* buf, std::size_t count,
                                         int& error) {
    int s = Step();
    if (s == 2) {
        // A torn write: half of the bytes reach the file, then the process dies.
        int e;
        inner_.WriteAt(handle, pos, buf, count / 2, e);
        ::_exit(77);
    }
    if (s == 1) {
        error = EIO;
        return -1;
    }
    return inner_.WriteAt(handle, pos, buf, count, error);
}

bool TqvFaultFileAccess::SetEndOfFile(int handle, std::uint64_t pos, int& error) {
    int s = Step();
    if (s == 2) ::_exit(77);
    if (s == 1) {
        error = EIO;
        return false;
    }
    return inner_.SetEndOfFile(handle, pos, error);
}

bool TqvFaultFileAccess::Delete(const std::string& name, int& error) {
    int s = Step();
    if (s == 2) ::_exit(77);
    if (s == 1) {
        error = EIO;
        return false;
    }
    return inner_.Delete(name, error);
}

bool TqvFaultFileAccess::Rename(const std::string& from, const std::string& to, int& error) {
    int s = Step();
    if (s == 2) ::_exit(77);
    if (s == 1) {
        error = EIO;
        return false;
    }
    return inner_.Rename(from, to, error);
}

}  // namespace qv
