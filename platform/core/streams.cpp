#include "platform/core/streams.h"

#include <algorithm>
#include <cstring>

#include "platform/core/exceptions.h"
#include "platform/core/last_error.h"

namespace plat {
namespace {

std::string Reason(std::uint32_t code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_SHARING_VIOLATION: return "The process cannot access the file because it is being used by another process.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_INVALID_NAME: return "The filename, directory name, or volume label syntax is incorrect.";
    default: return "System error " + std::to_string(code) + ".";
    }
}

}  // namespace

std::int64_t Stream::Size() {
    std::int64_t pos = Seek(0, SeekOrigin::Current);
    std::int64_t end = Seek(0, SeekOrigin::End);
    Seek(pos, SeekOrigin::Begin);
    return end;
}

void Stream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void Stream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t Stream::CopyFrom(Stream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char buf[65536];
    std::int64_t done = 0;
    while (done < count) {
        std::int64_t n = std::min<std::int64_t>(sizeof buf, count - done);
        source.ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        done += n;
    }
    return done;
}

std::int64_t MemoryStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || pos_ >= Size()) return 0;
    std::int64_t n = std::min(count, Size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t MemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    std::int64_t end = pos_ + count;
    if (end > Size()) data_.resize(static_cast<std::size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
    pos_ = end;
    return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? pos_ : Size();
    std::int64_t target = base + offset;
    if (target < 0) return -1;
    pos_ = target;  // past the end is allowed; a later write fills the gap with zeros
    return pos_;
}

void MemoryStream::SetSize(std::int64_t newSize) {
    if (newSize < 0) newSize = 0;
    data_.resize(static_cast<std::size_t>(newSize));
    if (pos_ > newSize) pos_ = newSize;
}

void MemoryStream::LoadFromStream(Stream& source) {
    source.SetPosition(0);
    std::int64_t n = source.Size();
    data_.assign(static_cast<std::size_t>(n), '\0');
    source.ReadBuffer(data_.data(), n);
    pos_ = 0;
}

void MemoryStream::LoadFromFile(std::string_view path) {
    FileStream f(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void MemoryStream::SaveToFile(std::string_view path) {
    FileStream f(path, fmCreate);
    SaveToStream(f);
}

FileStream::FileStream(std::string_view path, unsigned mode) : name_(path) {
    bool ok;
    if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
        FileShare share = (mode & 0xF0) == fmShareDenyNone ? FileShare::DenyNone
                          : (mode & 0xF0) == fmShareDenyWrite ? FileShare::DenyWrite
                                                              : FileShare::Exclusive;
        ok = file_.Open(path, FileAccess::ReadWrite, share, FileDisposition::CreateAlways);
        if (!ok) throw EFCreateError("Cannot create file \"" + std::string(path) + "\". " + Reason(GetLastError()));
        return;
    }
    FileAccess access = (mode & 3) == fmOpenWrite ? FileAccess::Write
                        : (mode & 3) == fmOpenReadWrite ? FileAccess::ReadWrite
                                                        : FileAccess::Read;
    FileShare share = (mode & 0xF0) == fmShareExclusive ? FileShare::Exclusive
                      : (mode & 0xF0) == fmShareDenyWrite ? FileShare::DenyWrite
                                                          : FileShare::DenyNone;
    ok = file_.Open(path, access, share, FileDisposition::OpenExisting);
    if (!ok) throw EFOpenError("Cannot open file \"" + std::string(path) + "\". " + Reason(GetLastError()));
}

std::int64_t FileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    std::int64_t n = file_.Read(buffer, static_cast<std::size_t>(count));
    return n < 0 ? 0 : n;
}

std::int64_t FileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    std::int64_t n = file_.Write(buffer, static_cast<std::size_t>(count));
    return n < 0 ? 0 : n;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) { return file_.Seek(offset, origin); }

void FileStream::SetSize(std::int64_t newSize) {
    std::int64_t pos = Position();
    if (file_.Seek(newSize, SeekOrigin::Begin) < 0 || !file_.SetEnd())
        throw EWriteError("Cannot set the size of \"" + name_ + "\"");
    if (pos < newSize) file_.Seek(pos, SeekOrigin::Begin);
}

}  // namespace plat
