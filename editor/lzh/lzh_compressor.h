// The LZH compressor: LZSS string matching over a 4 KB ring buffer, with
// literals and match lengths coded by an adaptive Huffman tree and match
// positions by a fixed prefix code plus 6 plain bits. The stream carries no
// header and no length; the owner records both sizes.
//
// Matches are found through hash chains: every position is linked, at O(1),
// to the previous one whose first three bytes hash alike, and only positions
// where a symbol is coded walk their chain, nearest first, for a bounded
// number of steps. The longest match found wins; of equal ones, the nearest.
//
// The component never touches files: it pulls input through OnReadData and
// pushes output through OnWriteData, buffering both sides so that the
// handlers see few, large calls while the codec itself works byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "editor/lzh/lzh_tree.h"

namespace lzh {

// Sizes of the codec. Kept public because the stream format is defined by them.
inline constexpr int N = 4096;                          // ring buffer (window)
inline constexpr int F = 60;                            // longest match
inline constexpr int THRESHOLD = 2;                     // matches this short are sent as literals
static_assert(N_CHAR == 256 - THRESHOLD + F);

// Code lengths and left-aligned codes of the upper 6 bits of a match position.
extern const std::array<std::uint8_t, 64> p_len;
extern const std::array<std::uint8_t, 64> p_code;

// Failures of a run that are not the handlers' own exceptions: a handler that
// is missing or breaks its contract, or a damaged compressed stream.
class ELZHError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCustomLZHCompressor {
public:
    // Fills Buffer with up to Size bytes and sets Count to the number given; 0 ends the input.
    using TReadDataEvent = std::function<void(TCustomLZHCompressor* Sender, std::uint8_t* Buffer,
                                              std::uint16_t Size, std::uint16_t& Count)>;
    // Consumes Count bytes and sets Written to the number taken.
    using TWriteDataEvent = std::function<void(TCustomLZHCompressor* Sender, const std::uint8_t* Buffer,
                                               std::uint16_t Count, std::uint16_t& Written)>;
    using TNotifyEvent = std::function<void(TCustomLZHCompressor* Sender)>;

    static constexpr std::uint16_t MinBufferSize = 16;
    static constexpr std::uint16_t MaxBufferSize = 32768;
    static constexpr std::uint16_t DefaultBufferSize = 1024;

    TCustomLZHCompressor();
    virtual ~TCustomLZHCompressor();
    TCustomLZHCompressor(const TCustomLZHCompressor&) = delete;
    TCustomLZHCompressor& operator=(const TCustomLZHCompressor&) = delete;

    // One compression run from OnReadData to OnWriteData. Returns at once when
    // called while a run is active (from inside a handler). Handler exceptions
    // end the run and propagate; the component is idle again afterwards.
    void LZHCodeStream();

    // Buffered output: appends Count bytes, handing the full buffer to
    // OnWriteData first when they do not fit. Count = 0 flushes the buffer.
    virtual void WriteOutput(const std::uint8_t* Source, std::uint16_t Count, std::uint16_t& Written);
    // Buffered input: copies up to Count bytes, refilling through OnReadData
    // with InputBufferSize bytes when the buffer is used up; Actual = 0 at the end.
    virtual void ReadInput(std::uint8_t* Dest, std::uint16_t Count, std::uint16_t& Actual);

    std::uint16_t InputBufferSize() const { return FInputBufferSize; }
    std::uint16_t OutputBufferSize() const { return FOutputBufferSize; }
    // Clamped to 16..32768; ignored while a run is active.
    void SetInputBufferSize(std::uint16_t Size);
    void SetOutputBufferSize(std::uint16_t Size);

    bool Idle() const { return FIdle; }
    // Byte counts of the last (or current) run.
    std::uint32_t textsize() const { return FTextSize; }
    std::uint32_t codesize() const { return FCodeSize; }

    TReadDataEvent OnReadData;
    TWriteDataEvent OnWriteData;
    TNotifyEvent OnFinished;

private:
    void ResetRun();
    void FlushOutput();
    bool ReadByte(std::uint8_t& c);
    void WriteByte(std::uint8_t c);

    // Links the string at ring position r (absolute position pos) into its chain.
    void InsertString(int r, std::uint32_t pos);
    // Sets match_length and match_position for the string at r, already linked.
    void FindMatch(int r, std::uint32_t pos);
    void EncodeChar(unsigned c);
    void EncodePosition(unsigned c);
    void PutCode(int l, std::uint16_t c);
    void EncodeEnd();

    // Tables of the codec; allocated once, cleared at the start of each run.
    std::unique_ptr<std::uint8_t[]> text_buf;
    // Chains hold absolute positions (bytes since the start of the run, plus
    // an offset); 0 ends a chain. head: newest position per hash; prev: the
    // position before it with the same hash, indexed by ring position.
    std::unique_ptr<std::uint32_t[]> head, prev;
    std::unique_ptr<THuffTree> tree;

    std::uint16_t putbuf = 0;
    std::uint8_t putlen = 0;
    std::uint32_t FTextSize = 0;
    std::uint32_t FCodeSize = 0;
    std::uint16_t match_position = 0;
    std::uint16_t match_length = 0;

    std::uint16_t FInputBufferSize = DefaultBufferSize;
    std::uint16_t FOutputBufferSize = DefaultBufferSize;
    std::unique_ptr<std::uint8_t[]> FInBuf, FOutBuf;
    std::uint16_t FInPos = 1;    // next byte to hand out, 1-based
    std::uint16_t FInCount = 0;  // bytes held
    bool FInEnd = false;         // the input handler reported the end
    std::uint16_t FOutPos = 1;   // next free byte, 1-based
    bool FIdle = true;
};

// Compresses a whole buffer with default buffer sizes.
std::string LZHCompress(std::string_view input);

}  // namespace lzh
