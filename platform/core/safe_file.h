// Replacing a file so that a failure at any point leaves the old file whole:
// the new bytes go to a temporary beside the target (same folder, so the
// rename never crosses file systems), reach the disk, and are renamed over
// the target; the folder is synced so the rename itself survives a crash.
// A failed replacement removes its temporary. A killed writer leaves it
// behind under SafeFileTempPath(target), which is where clean-ups look.
//
// Two writers of one target (two processes saving one ini file) take turns
// on a lock of the temporary, so neither writes into the other's bytes; a
// writer that waits about five seconds in vain fails with 32 (sharing).
// Failures leave a Win32 code in GetLastError (last_error.h); none throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// How a target is named: system text like every path of this layer (through
// NativePath), or a native path a caller already has (used as it is).
enum class PathText { System, Native };

// The temporary of a replacement of `target`, in the same text: + ".~tmp".
std::string SafeFileTempPath(std::string_view target);

class SafeFileWriter {
public:
    // Opens the temporary (the native target + ".~tmp"). A new target gets
    // `newFileMode` (less the umask); a replaced one keeps its permissions.
    explicit SafeFileWriter(std::string_view target, PathText text = PathText::System, unsigned newFileMode = 0666);
    // Removes the temporary unless committed.
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // False when the temporary could not be made; Write and Commit then fail.
    bool IsOpen() const { return fd_ >= 0; }
    // All the bytes or false; after one failure every later call fails.
    bool Write(const void* data, std::size_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Syncs, renames over the target and syncs the folder. On failure the
    // temporary is gone and the target is as it was.
    bool Commit();
    // Drops what was written; the target is untouched.
    void Discard();

    const std::string& TargetPath() const { return target_; }
    const std::string& TempPath() const { return temp_; }

private:
    bool Fail(int err);

    std::string target_, temp_;
    int fd_ = -1;
    int error_ = 0;
};

// The whole new contents of `target` in one call.
bool WriteFileSafely(std::string_view target, std::string_view bytes, PathText text = PathText::System,
                     unsigned newFileMode = 0666);

}  // namespace plat
