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
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/core/paths.h"

namespace qv {
namespace {

std::atomic<TqvFileAccess*> g_access{nullptr};
std::atomic<long> g_syncsMade{0};

// Makes a file's creation or removal itself durable: without it a journal
// could vanish, or come back, after a crash.
void SyncFolderOf(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ++g_syncsMade;
    ::fsync(fd);
    ::close(fd);
}

// The scratch folders, and the open scratch handles with their folder.
struct Scratch {
    std::mutex lock;
    std::vector<std::string> folders;
    std::unordered_map<int, std::string> handles;
    std::atomic<bool> any{false};
};

Scratch& TheScratch() {
    static Scratch s;
    return s;
}

std::string FolderKey(const std::string& folder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(QvResolvePath(folder), ec);
    std::string key = (ec ? std::filesystem::path(folder) : p).lexically_normal().string();
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

// The scratch folder a native path lies in, or empty.
std::string ScratchFolderOf(const std::string& path) {
    Scratch& s = TheScratch();
    if (!s.any.load(std::memory_order_acquire)) return {};
    const std::string parent = FolderKey(std::filesystem::path(path).parent_path().string());
    std::lock_guard<std::mutex> g(s.lock);
    for (const std::string& f : s.folders)
        if (f == parent) return f;
    return {};
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

void QvSetScratchFolder(const std::string& folder, bool on) {
    Scratch& s = TheScratch();
    const std::string key = FolderKey(folder);
    std::lock_guard<std::mutex> g(s.lock);
    auto it = std::find(s.folders.begin(), s.folders.end(), key);
    if (on && it == s.folders.end()) s.folders.push_back(key);
    if (!on && it != s.folders.end()) {
        s.folders.erase(it);
        for (auto h = s.handles.begin(); h != s.handles.end();)
            h = h->second == key ? s.handles.erase(h) : std::next(h);
    }
    s.any.store(!s.folders.empty() || !s.handles.empty(), std::memory_order_release);
}

long QvSyncsMade() { return g_syncsMade.load(); }

bool QvIsScratchHandle(int handle) {
    Scratch& s = TheScratch();
    if (!s.any.load(std::memory_order_acquire)) return false;
    std::lock_guard<std::mutex> g(s.lock);
    return s.handles.count(handle) != 0;
}

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
    const std::string scratch = ScratchFolderOf(path);
    if (create) {
        if (::ftruncate(fd, 0) != 0) {
            error = errno;
            ::close(fd);
            return -1;
        }
        if (scratch.empty()) SyncFolderOf(path);
    }
    if (!scratch.empty()) {
        Scratch& s = TheScratch();
        std::lock_guard<std::mutex> g(s.lock);
        s.handles[fd] = scratch;
    }
    return fd;
}

bool TqvPosixFileAccess::Close(int handle, int& error) {
    // Forgotten before the number can be handed out again.
    if (TheScratch().any.load(std::memory_order_acquire)) {
        Scratch& s = TheScratch();
        std::lock_guard<std::mutex> g(s.lock);
        s.handles.erase(handle);
    }
    if (::close(handle) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool TqvPosixFileAccess::Flush(int handle, int& error) {
    if (QvIsScratchHandle(handle)) return true;
    ++g_syncsMade;
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
    if (ScratchFolderOf(path).empty()) SyncFolderOf(path);
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
