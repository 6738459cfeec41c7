// A standard stream buffer over a platform stream, so that the readers and
// writers (which work on standard streams) run over files and memory streams
// of the class library's shape.
#pragma once

#include <array>
#include <streambuf>

#include "platform/core/streams.h"

namespace richtext {

class PlatStreamBuf : public std::streambuf {
public:
    explicit PlatStreamBuf(plat::Stream& stream);
    ~PlatStreamBuf() override;
    PlatStreamBuf(const PlatStreamBuf&) = delete;
    PlatStreamBuf& operator=(const PlatStreamBuf&) = delete;
    // False once a write moved fewer bytes than asked.
    bool Good() const { return good_; }

protected:
    int_type underflow() override;
    int_type overflow(int_type ch) override;
    int sync() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

private:
    bool FlushOut();
    plat::Stream& stream_;
    std::array<char, 8192> in_{}, out_{};
    bool good_ = true;
};

}  // namespace richtext
