#include "richtext/view/stream_adapter.h"

namespace richtext {

PlatStreamBuf::PlatStreamBuf(plat::Stream& stream) : stream_(stream) {
    setg(in_.data(), in_.data(), in_.data());
    setp(out_.data(), out_.data() + out_.size());
}

PlatStreamBuf::~PlatStreamBuf() { FlushOut(); }

bool PlatStreamBuf::FlushOut() {
    std::int64_t n = pptr() - pbase();
    if (n > 0) {
        if (stream_.Write(pbase(), n) != n) good_ = false;
    }
    setp(out_.data(), out_.data() + out_.size());
    return good_;
}

PlatStreamBuf::int_type PlatStreamBuf::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::int64_t n = stream_.Read(in_.data(), static_cast<std::int64_t>(in_.size()));
    if (n <= 0) {
        setg(in_.data(), in_.data(), in_.data());
        return traits_type::eof();
    }
    setg(in_.data(), in_.data(), in_.data() + n);
    return traits_type::to_int_type(*gptr());
}

PlatStreamBuf::int_type PlatStreamBuf::overflow(int_type ch) {
    if (!FlushOut()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int PlatStreamBuf::sync() { return FlushOut() ? 0 : -1; }

PlatStreamBuf::pos_type PlatStreamBuf::seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) {
    if (!FlushOut()) return pos_type(off_type(-1));
    // The platform stream stands ahead of the reader by what is still buffered.
    std::int64_t buffered = egptr() - gptr();
    std::int64_t r;
    if (dir == std::ios_base::cur) r = stream_.Seek(off - buffered, plat::SeekOrigin::Current);
    else if (dir == std::ios_base::end) r = stream_.Seek(off, plat::SeekOrigin::End);
    else r = stream_.Seek(off, plat::SeekOrigin::Begin);
    setg(in_.data(), in_.data(), in_.data());
    return pos_type(off_type(r));
}

PlatStreamBuf::pos_type PlatStreamBuf::seekpos(pos_type pos, std::ios_base::openmode which) {
    return seekoff(off_type(pos), std::ios_base::beg, which);
}

}  // namespace richtext
