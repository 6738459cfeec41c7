#include "platform/core/streams.h"

#include <algorithm>
#include <cstring>

#include "platform/core/exceptions.h"

namespace plat {

std::int64_t Stream::Size() {
    std::int64_t pos = Seek(0, SeekOrigin::Current);
    std::int64_t end = Seek(0, SeekOrigin::End);
    Seek(pos, SeekOrigin::Beginning);
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
    std::int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? pos_ : Size();
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

}  // namespace plat
