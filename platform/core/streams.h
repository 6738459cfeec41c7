// Byte streams in the class library's shape: a stream has a position and a
// size, reads and writes as many bytes as it can, and the *Buffer calls
// raise when they cannot move every byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/files.h"

namespace plat {

class Stream {
public:
    virtual ~Stream() = default;
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position; a position before the start is refused (-1).
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t newSize) = 0;

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t pos) { Seek(pos, SeekOrigin::Begin); }

    // Raise EReadError / EWriteError when fewer than `count` bytes move.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    void WriteString(std::string_view s) { WriteBuffer(s.data(), static_cast<std::int64_t>(s.size())); }
    // Copies `count` bytes from the source's position; 0 copies the whole
    // source from its start. Returns the bytes copied.
    std::int64_t CopyFrom(Stream& source, std::int64_t count);
};

// A stream over a growable block of memory.
class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t newSize) override;
    void Clear() { data_.clear(); pos_ = 0; }

    void LoadFromStream(Stream& source);
    void SaveToStream(Stream& target) { target.WriteBuffer(data_.data(), Size()); }
    // Raise EFOpenError / EFCreateError when the file cannot be opened.
    void LoadFromFile(std::string_view path);
    void SaveToFile(std::string_view path);

    const char* Memory() const { return data_.data(); }
    const std::string& Bytes() const { return data_; }
    // The class library's string stream is a memory stream whose bytes are a string.
    const std::string& DataString() const { return data_; }

private:
    std::string data_;
    std::int64_t pos_ = 0;
};

using StringStream = MemoryStream;

// Open modes of a file stream: one access value or fmCreate, combined with a
// share value.
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareExclusive = 0x0010;
constexpr unsigned fmShareDenyWrite = 0x0020;
constexpr unsigned fmShareDenyNone = 0x0040;
constexpr unsigned fmCreate = 0xFF00;  // create or truncate, read-write

// A stream over a file. The constructor raises EFOpenError ("Cannot open file
// "name"") or EFCreateError ("Cannot create file "name"") with the reason.
class FileStream : public Stream {
public:
    FileStream(std::string_view path, unsigned mode);
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return file_.Size(); }
    void SetSize(std::int64_t newSize) override;
    // Data reaches the disk.
    bool Flush() { return file_.Flush(); }
    const std::string& FileName() const { return name_; }

private:
    File file_;
    std::string name_;
};

}  // namespace plat
