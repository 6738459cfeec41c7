#include "platform/core/files.h"

#include "platform/core/codepage.h"
#include "platform/core/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace plat {

namespace {

// Marker bytes for the deny-write protocol, far beyond any real file size so
// they never overlap data that other code might lock.
constexpr off_t kWriterMark = off_t(1) << 62;
constexpr off_t kDenyWriteMark = kWriterMark + 1;

bool LockUnsupported(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == EINVAL; }

// Takes a shared mark; false only on a real failure.
bool TakeMark(int fd, off_t at) {
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    return LockUnsupported(errno);
}

// Whether another open file description holds the mark.
bool MarkHeldByOther(int fd, off_t at) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

// Win32 tells a missing folder (3) from a missing file (2).
std::uint32_t MissingError(const std::string& native) {
    std::size_t slash = native.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
    struct stat st;
    std::string parent = native.substr(0, slash);
    if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

bool FailOpen(const std::string& native, int err) {
    if (err == ENOENT) return Fail(MissingError(native));
    return Fail(Win32ErrorFromErrno(err));
}

std::uint32_t AttributesOf(const std::string& nativeName, const struct stat& st) {
    std::uint32_t a = 0;
    if (S_ISDIR(st.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
    std::size_t slash = nativeName.find_last_of('/');
    std::string base = slash == std::string::npos ? nativeName : nativeName.substr(slash + 1);
    if (!base.empty() && base[0] == '.' && base != "." && base != "..") a |= FILE_ATTRIBUTE_HIDDEN;
    return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

bool Succeed() {
    SetLastError(ERROR_SUCCESS);
    return true;
}

// Names that must not reach the OS: wildcards, and NUL bytes, which would
// silently cut the name short.
bool BadName(std::string_view path) {
    return path.empty() || HasWildcards(path) || path.find('\0') != std::string_view::npos;
}

}  // namespace

// --- File ------------------------------------------------------------------------

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_), native_(std::move(other.native_)) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        native_ = std::move(other.native_);
        other.fd_ = -1;
    }
    return *this;
}

bool File::Open(std::string_view path, FileAccess access, FileShare share, FileDisposition disposition,
                bool writeThrough) {
    Close();
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::Read: flags |= O_RDONLY; break;
    case FileAccess::Write: flags |= O_WRONLY; break;
    case FileAccess::ReadWrite: flags |= O_RDWR; break;
    }
    // Truncation waits until the locks are held: truncating first would wipe a
    // file that another opener holds exclusively.
    bool truncate = false;
    switch (disposition) {
    case FileDisposition::OpenExisting: break;
    case FileDisposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case FileDisposition::CreateAlways: flags |= O_CREAT; truncate = true; break;
    case FileDisposition::OpenAlways: flags |= O_CREAT; break;
    case FileDisposition::TruncateExisting: truncate = true; break;
    }
    if (truncate && access == FileAccess::Read) return Fail(ERROR_INVALID_PARAMETER);
    if (writeThrough) flags |= O_DSYNC;
    // The deny-write marks are read locks, which need a readable handle: a
    // write-only open is made read-write when the permissions allow it.
    bool canMark = true;
    int fd = -1;
    if (access == FileAccess::Write && share != FileShare::Exclusive) {
        fd = ::open(native.c_str(), (flags & ~O_WRONLY) | O_RDWR, 0666);
        if (fd < 0 && errno == EACCES) canMark = false;
    }
    if (fd < 0) fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) return FailOpen(native, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Fail(ERROR_ACCESS_DENIED);
    }
    const bool exclusive = share == FileShare::Exclusive;
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && !LockUnsupported(errno)) {
        int err = errno;
        ::close(fd);
        return Fail(err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : Win32ErrorFromErrno(err));
    }
    if (!exclusive) {
        // Take our own mark first, then look for the other side's: when two
        // openers race, at least one of them sees the other.
        const bool writer = access != FileAccess::Read;
        const bool denyWrite = share == FileShare::DenyWrite;
        bool ok = true;
        if (writer && canMark) ok = ok && TakeMark(fd, kWriterMark);
        if (denyWrite) ok = ok && TakeMark(fd, kDenyWriteMark);
        if (!ok) {
            ::close(fd);
            return Fail(ERROR_GEN_FAILURE);
        }
        if ((writer && MarkHeldByOther(fd, kDenyWriteMark)) || (denyWrite && MarkHeldByOther(fd, kWriterMark))) {
            ::close(fd);
            return Fail(ERROR_SHARING_VIOLATION);
        }
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        return Fail(Win32ErrorFromErrno(err));
    }
    fd_ = fd;
    native_ = std::move(native);
    return Succeed();
}

void File::Close() {
    if (fd_ >= 0) ::close(fd_);  // releases the flock and the marks with the description
    fd_ = -1;
    native_.clear();
}

std::int64_t File::Read(void* buffer, std::size_t count) {
    if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE), -1;
    std::size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t n = ::read(fd_, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailFromErrno(), -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<std::int64_t>(done);
}

std::int64_t File::Write(const void* buffer, std::size_t count) {
    if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE), -1;
    std::size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < count) {
        ssize_t n = ::write(fd_, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailFromErrno(), -1;
        }
        done += static_cast<std::size_t>(n);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<std::int64_t>(done);
}

std::int64_t File::Seek(std::int64_t offset, SeekOrigin origin) {
    if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE), -1;
    int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) return FailFromErrno(), -1;
    return r;
}

std::int64_t File::Position() { return Seek(0, SeekOrigin::Current); }

std::int64_t File::Size() {
    if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE), -1;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return FailFromErrno(), -1;
    return st.st_size;
}

bool File::SetEnd() {
    std::int64_t pos = Position();
    if (pos < 0) return false;
    if (::ftruncate(fd_, static_cast<off_t>(pos)) != 0) return FailFromErrno();
    return Succeed();
}

bool File::Flush() {
    if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE);
    if (::fsync(fd_) != 0) return FailFromErrno();
    return Succeed();
}

// --- whole files -----------------------------------------------------------------

bool FileExists(std::string_view path) {
    if (BadName(path)) return false;
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::int64_t GetFileSize(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME), -1;
    struct stat st;
    std::string native = NativePath(path);
    if (::stat(native.c_str(), &st) != 0) return FailOpen(native, errno), -1;
    return S_ISDIR(st.st_mode) ? 0 : st.st_size;
}

bool DeleteFile(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return FailOpen(native, errno);
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(native.c_str()) != 0) return FailFromErrno();
    return Succeed();
}

bool RenameFile(std::string_view from, std::string_view to, bool replaceExisting) {
    if (BadName(from) || BadName(to)) return Fail(ERROR_INVALID_NAME);
    std::string src = NativePath(from);
    std::string dst = NativePath(to);
    struct stat ss, ds;
    if (::lstat(src.c_str(), &ss) != 0) return FailOpen(src, errno);
    if (::lstat(dst.c_str(), &ds) == 0) {
        if (ss.st_dev == ds.st_dev && ss.st_ino == ds.st_ino) {
            // Same file under another letter case: the rename changes the case.
            std::size_t slash = dst.find_last_of('/');
            dst = (slash == std::string::npos ? std::string() : dst.substr(0, slash + 1)) +
                  AnsiToUtf8(ExtractFileName(to));
            if (dst == src) return Succeed();
        } else if (!replaceExisting) {
            return Fail(ERROR_ALREADY_EXISTS);
        }
    }
    if (!replaceExisting) {
        if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return Succeed();
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
        if (errno != EINVAL && errno != ENOSYS) return FailOpen(dst, errno);
        // The file system cannot refuse atomically; the check above has to do.
    }
    if (::rename(src.c_str(), dst.c_str()) != 0) return FailOpen(dst, errno);
    return Succeed();
}

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
    File src;
    if (!src.Open(from, FileAccess::Read, FileShare::DenyNone)) return false;
    struct stat st;
    if (::fstat(src.NativeHandle(), &st) != 0) return FailFromErrno();
    File dst;
    // Opened without truncation: a copy onto the source itself (perhaps named
    // in another letter case) must be refused before anything is cut.
    FileDisposition disp = failIfExists ? FileDisposition::CreateNew : FileDisposition::OpenAlways;
    if (!dst.Open(to, FileAccess::Write, FileShare::DenyWrite, disp)) return false;
    struct stat dt;
    if (::fstat(dst.NativeHandle(), &dt) == 0 && dt.st_dev == st.st_dev && dt.st_ino == st.st_ino)
        return Fail(ERROR_SHARING_VIOLATION);
    if (!dst.SetEnd()) return false;
    std::vector<char> buf(64 * 1024);
    for (;;) {
        std::int64_t n = src.Read(buf.data(), buf.size());
        if (n < 0) return false;
        if (n == 0) break;
        if (dst.Write(buf.data(), static_cast<std::size_t>(n)) != n) return false;
    }
    ::fchmod(dst.NativeHandle(), st.st_mode & 07777);
    return Succeed();
}

std::uint32_t GetFileAttributes(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME), INVALID_FILE_ATTRIBUTES;
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return FailOpen(native, errno), INVALID_FILE_ATTRIBUTES;
    SetLastError(ERROR_SUCCESS);
    return AttributesOf(native, st);
}

bool SetFileAttributes(std::string_view path, std::uint32_t attributes) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return FailOpen(native, errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (::chmod(native.c_str(), mode) != 0) return FailFromErrno();
    return Succeed();
}

// --- DOS date-time -----------------------------------------------------------------

std::uint32_t DosDateTimeFromTime(std::time_t t) {
    struct tm tm {};
    if (!::localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1 Jan 1980
    if (tm.tm_year > 207) return ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);
    std::uint32_t date = static_cast<std::uint32_t>((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    std::uint32_t time = static_cast<std::uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return date << 16 | time;
}

std::time_t TimeFromDosDateTime(std::uint32_t dos) {
    const std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    const int day = date & 31, month = (date >> 5) & 15, year = static_cast<int>(date >> 9) + 1980;
    const int sec = (time & 31) * 2, min = (time >> 5) & 63, hour = time >> 11;
    if (day < 1 || month < 1 || month > 12 || hour > 23 || min > 59 || sec > 59) return -1;
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    std::time_t t = ::mktime(&tm);
    if (tm.tm_mday != day) return -1;  // 31 Feb and the like
    return t;
}

std::int32_t FileAge(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME), -1;
    std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return FailOpen(native, errno), -1;
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_FILE_NOT_FOUND), -1;
    SetLastError(ERROR_SUCCESS);
    return static_cast<std::int32_t>(DosDateTimeFromTime(st.st_mtime));
}

bool FileSetDate(std::string_view path, std::int32_t dosDateTime) {
    std::time_t t = TimeFromDosDateTime(static_cast<std::uint32_t>(dosDateTime));
    if (t == -1) return Fail(ERROR_INVALID_PARAMETER);
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = t;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) return FailOpen(native, errno);
    return Succeed();
}

// --- folders -----------------------------------------------------------------------

bool DirectoryExists(std::string_view path) {
    if (BadName(path)) return false;
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(ExcludeTrailingBackslash(path));
    if (::mkdir(native.c_str(), 0777) != 0) {
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
        return FailFromErrno();
    }
    return Succeed();
}

bool ForceDirectories(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string trimmed = ExcludeTrailingBackslash(path);
    if (trimmed.empty() || (trimmed.size() == 2 && HasDriveLetter(trimmed))) {
        // A root: "\" always exists; a drive root is created on first use.
        if (trimmed.empty()) return Succeed();
        std::string root = DriveRoot(trimmed[0]);
        return ForceDirectories(root);
    }
    if (DirectoryExists(trimmed)) return Succeed();
    std::string parent = ExtractFileDir(trimmed);
    if (!parent.empty() && parent != trimmed && !ForceDirectories(parent)) return false;
    if (!CreateDir(trimmed) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    return DirectoryExists(trimmed) ? Succeed() : Fail(ERROR_ACCESS_DENIED);
}

bool RemoveDir(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    if (::rmdir(native.c_str()) != 0) {
        if (errno == ENOENT) return Fail(MissingError(native));
        if (errno == ENOTEMPTY || errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
        if (errno == ENOTDIR) return Fail(ERROR_DIRECTORY);
        return FailFromErrno();
    }
    return Succeed();
}

std::string GetCurrentDir() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
    return SystemText(buf.data());
}

bool SetCurrentDir(std::string_view path) {
    if (BadName(path)) return Fail(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    if (::chdir(native.c_str()) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
        return FailFromErrno();
    }
    return Succeed();
}

// --- searching -----------------------------------------------------------------------

struct FindState {
    std::vector<SearchRec> entries;
    std::size_t next = 0;
};

namespace {

std::uint32_t Deliver(SearchRec& rec) {
    FindState& st = *rec.State;
    if (st.next >= st.entries.size()) return Fail(ERROR_NO_MORE_FILES), ERROR_NO_MORE_FILES;
    std::shared_ptr<FindState> keep = rec.State;
    rec = st.entries[st.next++];
    rec.State = std::move(keep);
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}

}  // namespace

std::uint32_t FindFirst(std::string_view pathWithMask, std::uint32_t attributes, SearchRec& rec) {
    rec = SearchRec{};
    const std::string folder = ExtractFilePath(pathWithMask);
    const std::string mask = ExtractFileName(pathWithMask);
    if (mask.empty()) return Fail(ERROR_FILE_NOT_FOUND), ERROR_FILE_NOT_FOUND;
    // "C:x" searches drive C's root; a bare mask searches the current folder.
    const std::string nativeDir = folder.empty() ? std::string(".") : NativePath(folder);
    DIR* d = ::opendir(nativeDir.c_str());
    if (!d) {
        std::uint32_t code = (errno == ENOENT || errno == ENOTDIR) ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno);
        return Fail(code), code;
    }
    auto state = std::make_shared<FindState>();
    while (struct dirent* e = ::readdir(d)) {
        std::string nativeName = e->d_name;
        if (nativeName == "." || nativeName == "..") continue;
        std::string name = SystemText(nativeName);
        if (!MatchesMask(name, mask)) continue;
        std::string full = nativeDir + "/" + nativeName;
        struct stat st;
        if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
        SearchRec r;
        r.Name = std::move(name);
        r.Attr = AttributesOf(nativeName, st);
        if ((r.Attr & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & faDirectory)) continue;
        if ((r.Attr & FILE_ATTRIBUTE_HIDDEN) && !(attributes & faHidden)) continue;
        r.Size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
        r.Time = DosDateTimeFromTime(st.st_mtime);
        state->entries.push_back(std::move(r));
    }
    ::closedir(d);
    if (state->entries.empty()) return Fail(ERROR_FILE_NOT_FOUND), ERROR_FILE_NOT_FOUND;
    std::sort(state->entries.begin(), state->entries.end(),
              [](const SearchRec& a, const SearchRec& b) { return a.Name < b.Name; });
    rec.State = std::move(state);
    return Deliver(rec);
}

std::uint32_t FindNext(SearchRec& rec) {
    if (!rec.State) return Fail(ERROR_INVALID_HANDLE), ERROR_INVALID_HANDLE;
    return Deliver(rec);
}

void FindClose(SearchRec& rec) { rec.State.reset(); }

}  // namespace plat
