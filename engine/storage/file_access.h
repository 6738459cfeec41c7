// The file-access layer every table file, journal and recovery goes through.
// Tests install a fault-injecting layer in place of the operating system's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qv {

class TqvFileAccess {
public:
    virtual ~TqvFileAccess() = default;
    // Returns a handle >= 0, or -1 with `error` set (an errno value). An
    // exclusive open (not shared) holds a lock that a second exclusive or
    // shared open, from this or another process, cannot get.
    virtual int Open(const std::string& name, bool readWrite, bool shared, bool create, bool writeThrough,
                     int& error) = 0;
    virtual bool Close(int handle, int& error) = 0;
    // Makes everything written so far durable.
    virtual bool Flush(int handle, int& error) = 0;
    virtual std::int64_t Size(int handle, int& error) = 0;
    // Bytes transferred, or -1 with `error` set.
    virtual std::int64_t ReadAt(int handle, std::uint64_t pos, void* buf, std::size_t count, int& error) = 0;
    virtual std::int64_t WriteAt(int handle, std::uint64_t pos, const void* buf, std::size_t count, int& error) = 0;
    virtual bool SetEndOfFile(int handle, std::uint64_t pos, int& error) = 0;
    virtual bool Delete(const std::string& name, int& error) = 0;
    virtual bool Rename(const std::string& from, const std::string& to, int& error) = 0;
};

// The layer in force: the operating system's unless a test installed another.
TqvFileAccess& QvFileAccess();
// Installs `access` (not owned); nullptr restores the operating system's.
void QvInstallFileAccess(TqvFileAccess* access);

// The operating system's layer (open/flock/pread/pwrite/fsync). Names may
// use "\" and are found without regard to letter case.
class TqvPosixFileAccess final : public TqvFileAccess {
public:
    int Open(const std::string& name, bool readWrite, bool shared, bool create, bool writeThrough,
             int& error) override;
    bool Close(int handle, int& error) override;
    bool Flush(int handle, int& error) override;
    std::int64_t Size(int handle, int& error) override;
    std::int64_t ReadAt(int handle, std::uint64_t pos, void* buf, std::size_t count, int& error) override;
    std::int64_t WriteAt(int handle, std::uint64_t pos, const void* buf, std::size_t count, int& error) override;
    bool SetEndOfFile(int handle, std::uint64_t pos, int& error) override;
    bool Delete(const std::string& name, int& error) override;
    bool Rename(const std::string& from, const std::string& to, int& error) override;
};

// Scratch folders hold the program's temporary copies, deleted after use
// and worthless after a crash, so the operating system's layer makes no
// sync of their files nor of the folder itself. A folder is named exactly
// (its subfolders are not included). Handles opened in it while it is set
// are scratch handles; turning the folder off ends that for them too.
void QvSetScratchFolder(const std::string& folder, bool on);
// Whether a handle of the operating system's layer is a scratch handle.
bool QvIsScratchHandle(int handle);
// How many fsync calls, of files and of folders, the operating system's
// layer has made in this process.
long QvSyncsMade();

// The native path of a table file name: drive letters mapped, "\" taken as a
// separator, existing components found without regard to letter case.
std::string QvResolvePath(const std::string& name);

// Wraps another layer and counts the operations that change files (writes,
// flushes, set-end-of-file, deletes, renames). At the chosen count it either
// fails the operation (EIO) or ends the process on the spot, after writing
// only half of the bytes when the operation is a write.
class TqvFaultFileAccess final : public TqvFileAccess {
public:
    explicit TqvFaultFileAccess(TqvFileAccess& inner) : inner_(inner) {}
    void FailAt(long n) { failAt_ = n; }
    void ExitAt(long n) { exitAt_ = n; }
    long Count() const { return count_; }
    void Reset() { count_ = 0; failAt_ = exitAt_ = -1; }

    int Open(const std::string& name, bool readWrite, bool shared, bool create, bool writeThrough,
             int& error) override;
    bool Close(int handle, int& error) override { return inner_.Close(handle, error); }
    bool Flush(int handle, int& error) override;
    std::int64_t Size(int handle, int& error) override { return inner_.Size(handle, error); }
    std::int64_t ReadAt(int handle, std::uint64_t pos, void* buf, std::size_t count, int& error) override {
        return inner_.ReadAt(handle, pos, buf, count, error);
    }
    std::int64_t WriteAt(int handle, std::uint64_t pos, const void* buf, std::size_t count, int& error) override;
    bool SetEndOfFile(int handle, std::uint64_t pos, int& error) override;
    bool Delete(const std::string& name, int& error) override;
    bool Rename(const std::string& from, const std::string& to, int& error) override;

private:
    // 1 = fail this operation, 2 = end the process now, 0 = go on.
    int Step();

    TqvFileAccess& inner_;
    long count_ = 0;
    long failAt_ = -1;
    long exitAt_ = -1;
};

}  // namespace qv
