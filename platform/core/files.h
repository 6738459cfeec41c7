// Files and folders with Win32 results: calls return a flag (or a code) and
// leave a Win32 error code in GetLastError (last_error.h); none throws.
// Every path goes through NativePath (paths.h): "\" or "/", drive letters,
// names found without regard to letter case, new names created as given.
//
// Sharing: every open takes a whole-file flock, exclusive for
// FileShare::Exclusive and shared otherwise, so an exclusive open excludes
// every other open, from this or another process, until it is closed.
// Deny-write is kept apart from plain shared opens with open-file-description
// byte-range locks on two marker bytes far beyond any real file size: a
// writer marks one, a deny-write opener the other, and each refuses to open
// while the other's mark is held by someone else. The locks are advisory:
// they bind every opener that comes through this layer.
#pragma once

#include "platform/core/last_error.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace plat {

enum class FileAccess { Read, Write, ReadWrite };
enum class FileShare { Exclusive, DenyWrite, DenyNone };
enum class FileDisposition {
    OpenExisting,      // fails with 2 when missing
    CreateNew,         // fails with 80 when present
    CreateAlways,      // creates or truncates
    OpenAlways,        // opens or creates
    TruncateExisting,  // fails when missing; truncates
};
enum class SeekOrigin { Begin, Current, End };

// Attributes (the Win32 FILE_ATTRIBUTE_* values; the class library's fa* names
// are the same bits). Read-only is "no write permission for the owner";
// hidden is a name starting with "."; system, archive and volume labels do
// not exist here and are never reported.
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr std::uint32_t faReadOnly = 0x01;
constexpr std::uint32_t faHidden = 0x02;
constexpr std::uint32_t faSysFile = 0x04;
constexpr std::uint32_t faVolumeID = 0x08;
constexpr std::uint32_t faDirectory = 0x10;
constexpr std::uint32_t faArchive = 0x20;
constexpr std::uint32_t faAnyFile = 0x3F;

// An open file. Move-only; closes itself. Opened with close-on-exec, so
// child processes never inherit a handle (nor its locks).
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // writeThrough: every write reaches the disk before it returns.
    bool Open(std::string_view path, FileAccess access, FileShare share,
              FileDisposition disposition = FileDisposition::OpenExisting, bool writeThrough = false);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Bytes transferred, or -1 on failure. A short read means end of file.
    std::int64_t Read(void* buffer, std::size_t count);
    std::int64_t Write(const void* buffer, std::size_t count);
    // The new position, or -1.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin = SeekOrigin::Begin);
    std::int64_t Position();
    std::int64_t Size();
    // Cuts (or extends) the file at the current position.
    bool SetEnd();
    // Data and metadata reach the disk (fsync).
    bool Flush();

    int NativeHandle() const { return fd_; }
    const std::string& NativeName() const { return native_; }

private:
    int fd_ = -1;
    std::string native_;
};

// --- whole files ---------------------------------------------------------------
// Plain files only: false for folders and for names with "*" or "?".
bool FileExists(std::string_view path);
// -1 when missing.
std::int64_t GetFileSize(std::string_view path);
// Refuses (5) folders and read-only files, as Win32 does.
bool DeleteFile(std::string_view path);
// Moves `from` to `to`. With replaceExisting an existing `to` is replaced
// atomically; without, an existing `to` fails with 183. Renaming a file to a
// different letter case of its own name changes the case.
bool RenameFile(std::string_view from, std::string_view to, bool replaceExisting = true);
// Fails with 80 when `to` exists and failIfExists; 32 when `from` is held exclusively.
bool CopyFile(std::string_view from, std::string_view to, bool failIfExists);
std::uint32_t GetFileAttributes(std::string_view path);
// Only read-only can be changed; the other bits are ignored.
bool SetFileAttributes(std::string_view path, std::uint32_t attributes);

// --- DOS packed date-time (local time): date in the high word, time in the low ---
// date = (year - 1980) << 9 | month << 5 | day; time = hour << 11 | minute << 5 | second / 2.
// Times before 1980 become 1 Jan 1980 00:00, after 2107 the last second of 2107.
std::uint32_t DosDateTimeFromTime(std::time_t t);
// -1 for a value that is not a valid date and time.
std::time_t TimeFromDosDateTime(std::uint32_t dos);
// The file's modification time, DOS packed; -1 when missing.
std::int32_t FileAge(std::string_view path);
bool FileSetDate(std::string_view path, std::int32_t dosDateTime);

// --- folders -------------------------------------------------------------------
bool DirectoryExists(std::string_view path);  // false for names with wildcards
// One folder; its parent must exist (3 otherwise); 183 when it exists.
bool CreateDir(std::string_view path);
// The folder and every missing parent; true when it already exists.
bool ForceDirectories(std::string_view path);
// Empty folders only (145 otherwise).
bool RemoveDir(std::string_view path);
// Process-wide current folder, as a native path in system text.
std::string GetCurrentDir();
bool SetCurrentDir(std::string_view path);

// --- searching -----------------------------------------------------------------
struct FindState;

// One entry found; the class library's search record.
struct SearchRec {
    std::string Name;        // system text
    std::int64_t Size = 0;   // 0 for folders
    std::uint32_t Attr = 0;  // as GetFileAttributes
    std::uint32_t Time = 0;  // DOS packed local modification time
    bool IsDirectory() const { return (Attr & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    std::shared_ptr<FindState> State;
};

// Searches the folder of `pathWithMask` ("C:\Proj\*.hpj") for names matching
// its last component with Windows wildcard rules (MatchesMask). Plain files
// are always returned; folders only when `attributes` holds faDirectory,
// hidden entries only with faHidden. "." and ".." are never returned. Entries
// come in name order. Returns 0, or 2 when nothing matches, 3 when the folder
// does not exist; FindNext returns 18 after the last entry.
std::uint32_t FindFirst(std::string_view pathWithMask, std::uint32_t attributes, SearchRec& rec);
std::uint32_t FindNext(SearchRec& rec);
void FindClose(SearchRec& rec);

}  // namespace plat
