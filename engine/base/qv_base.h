// The lowest layer of the table engine: allocator size classes, the memory
// pool, the pad lock, the time-out record, three-way compares, and the
// short-string, path, name and bit helpers every other engine unit uses.
//
// Short strings are std::string holding Windows-1252 bytes; the helpers cut
// them to the fixed capacities the engine's on-disk and wire records have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// ---- allocator size classes ------------------------------------------------
// Requests up to 16384 bytes are served from one of 92 pools; larger ones go
// to the heap. The arithmetic is kept here because pool sizes (and so the
// page-buffer pools of the buffer manager) follow it.
constexpr std::size_t kQvMaxPooledSize = 16384;
constexpr int kQvSizeClassCount = 92;
constexpr std::size_t kQvMaxPoolBlockBytes = 32772;

// The class serving `size` bytes, or -1 when the request goes to the heap.
int QvSizeClass(std::size_t size);
// The item size of class `c` (32*(c+1) up to 1024, then 1024 + 256*(c-31)).
std::size_t QvSizeClassItemSize(int c);

// A pool of equal-sized items carved from blocks of at most 32772 bytes.
// Items given back are reused by this pool only. Thread-safe.
class TqvMemoryPool {
public:
    TqvMemoryPool(std::size_t itemSize, std::size_t itemsPerBlock);
    ~TqvMemoryPool();
    TqvMemoryPool(const TqvMemoryPool&) = delete;
    TqvMemoryPool& operator=(const TqvMemoryPool&) = delete;

    void* Alloc();
    void Dispose(void*& p);

    std::size_t ItemSize() const { return itemSize_; }
    std::size_t ItemsPerBlock() const { return itemsPerBlock_; }
    std::size_t BlockSize() const { return blockSize_; }
    std::size_t BlockCount() const;

private:
    void AddBlock();

    std::size_t itemSize_;
    std::size_t itemsPerBlock_;
    std::size_t blockSize_;
    std::vector<unsigned char*> blocks_;
    void* freeHead_ = nullptr;
    mutable std::recursive_mutex lock_;
};

// Engine allocations. The C++ heap serves every size: the size classes exist
// for speed on the original platform and nothing in the engine depends on
// where a block comes from, while plain heap blocks keep the sanitizers able
// to see overruns. The size must be the one passed at allocation.
void QvGetMem(void*& p, std::size_t size);
void QvFreeMem(void*& p, std::size_t size);
void QvGetZeroedMem(void*& p, std::size_t size);

// ---- pad lock ------------------------------------------------------------------
// The engine's only lock primitive: a recursive lock with a use count.
class TqvPadLock {
public:
    void Lock(bool enter);
    int UseCount() const;

private:
    std::recursive_mutex mutex_;
    int useCount_ = 0;
};

// RAII helper for a pad lock.
class TqvPadLockGuard {
public:
    explicit TqvPadLockGuard(TqvPadLock& l) : lock_(l) { lock_.Lock(true); }
    ~TqvPadLockGuard() { lock_.Lock(false); }
    TqvPadLockGuard(const TqvPadLockGuard&) = delete;
    TqvPadLockGuard& operator=(const TqvPadLockGuard&) = delete;

private:
    TqvPadLock& lock_;
};

// ---- time-out record ---------------------------------------------------------
struct TqvTimeout {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint8_t noWrap = 0;
    std::uint8_t neverExpires = 0;
};
void QvSetTimeout(TqvTimeout& t, std::int32_t ms);
bool QvTimeoutExpired(const TqvTimeout& t);

// ---- three-way compares (-1, 0, 1) -------------------------------------------
int QvCmpDWord(std::uint32_t a, std::uint32_t b);
int QvCmpI32(std::int32_t a, std::int32_t b);
int QvCmpI16(std::int16_t a, std::int16_t b);
int QvCmpI8(std::int8_t a, std::int8_t b);
int QvCmpByte(std::uint8_t a, std::uint8_t b);
int QvCmpWord(std::uint16_t a, std::uint16_t b);
int QvCmpBytes(const void* a, const void* b, std::size_t n);
int QvCmpShStr(std::string_view a, std::string_view b, std::size_t maxLen);
int QvCmpShStrNoCase(std::string_view a, std::string_view b, std::size_t maxLen);
inline int QvApplyDirection(bool ascending, int c) { return ascending ? c : -c; }

// ---- integer helpers ------------------------------------------------------------
inline std::int64_t QvMin(std::int64_t a, std::int64_t b) { return a < b ? a : b; }
inline std::int64_t QvMax(std::int64_t a, std::int64_t b) { return a > b ? a : b; }
inline std::int64_t QvClamp(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return v <= lo ? lo : (v < hi ? v : hi);
}
inline std::int64_t QvNonZero(std::int64_t v, std::int64_t def) { return v != 0 ? v : def; }

// ---- hashing ------------------------------------------------------------------
std::uint32_t ElfHash(const void* bytes, std::size_t count);
std::uint32_t HashShortString(std::string_view s);

// ---- short strings -----------------------------------------------------------------
constexpr std::size_t kQvShortStringMax = 255;
std::string QvLongToShStr(std::string_view s);  // cut to 255
void QvShStrConcat(std::string& s, std::string_view t);
void QvShStrAppendChar(std::string& s, char c);
std::string QvShStrUpper(std::string_view s);
// Copies at most 255 characters up to the first NUL (and at most maxLen).
std::string QvPCharToShStr(const char* p, std::size_t maxLen);
void QvSplitAtDelimiter(std::string_view s, std::string_view delims, std::string& head,
                        std::string& rest);
std::u16string QvAnsiToWide(std::string_view s);
std::string QvWideToAnsi(std::u16string_view s);

// ---- paths and names ---------------------------------------------------------------
// Paths may use "\" or "/"; the helpers treat both as separators.
std::string QvExtractFilePath(std::string_view path);  // before the last separator, <= 219
std::string QvExtractFileName(std::string_view path);  // name without extension, <= 31
std::string QvExtractFileExt(std::string_view path);   // after the last dot, <= 3
std::string QvChangeFileExt(std::string_view name, std::string_view ext);
std::string QvMakeFileName(std::string_view name, std::string_view ext);
std::string QvJoinPath(std::string_view dir, std::string_view name);
std::string QvExpandFileName(std::string_view path);
std::string QvGetExeFileName();
bool QvDirectoryExists(std::string_view path);
bool QvFileExists(std::string_view path);
// Names of plain files in `dir` whose names match `mask` (QvMaskMatches).
std::vector<std::string> QvListFiles(std::string_view dir, std::string_view mask);
// plat::MatchesMask: the platform's wildcard rules, as a file search has them.
bool QvMaskMatches(std::string_view name, std::string_view mask);

// File search returning only entries whose kind is in `kinds` (1 files,
// 2 directories, 4 volume labels) and that have an attribute in
// `attributes` (1 normal, 2 read-only, 4 hidden, 8 system, 16 archive).
// Results are Win32 error codes: 0, 2 nothing found, 3 no such folder,
// 18 no more entries.
struct TqvSearchRec {
    std::uint16_t dosDate = 0, dosTime = 0;  // local time
    std::uint32_t sizeLow = 0, sizeHigh = 0;
    std::uint8_t kind = 0;  // 1 directory, 2 volume label, 0 file
    std::uint8_t attributes = 0;
    std::string name;  // <= 35
    std::uint8_t wantKinds = 0, wantAttributes = 0;
    std::shared_ptr<void> state;
};
std::uint32_t QvFindFirst(std::string_view path, std::uint8_t kinds, std::uint8_t attributes, TqvSearchRec& rec);
std::uint32_t QvFindNext(TqvSearchRec& rec);
void QvFindClose(TqvSearchRec& rec);

bool QvIsValidName(std::string_view s, std::size_t maxLen);
inline bool QvIsValidTableName(std::string_view s) { return QvIsValidName(s, 31); }
inline bool QvIsValidExtension(std::string_view s) { return QvIsValidName(s, 3); }
bool QvIsValidBlockSize(std::int64_t n);
bool QvIsValidKeyLength(std::int64_t n);

// ---- bits ---------------------------------------------------------------------------
inline void QvBitClear(void* bits, std::size_t n) {
    static_cast<unsigned char*>(bits)[n / 8] &= static_cast<unsigned char>(~(1u << (n % 8)));
}
inline void QvBitSet(void* bits, std::size_t n) {
    static_cast<unsigned char*>(bits)[n / 8] |= static_cast<unsigned char>(1u << (n % 8));
}
inline bool QvBitTest(const void* bits, std::size_t n) {
    return (static_cast<const unsigned char*>(bits)[n / 8] >> (n % 8)) & 1u;
}
void QvBitSetAll(void* bits, std::size_t count);
inline std::uint8_t QvLowByte(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
inline char QvCharOfWord(std::uint16_t v) { return v < 256 ? static_cast<char>(v) : '\0'; }

// ---- little-endian field access ---------------------------------------------------
inline std::uint32_t GetU32(const void* p) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}
inline void PutU32(void* p, std::uint32_t v) {
    unsigned char* b = static_cast<unsigned char*>(p);
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
    b[2] = static_cast<unsigned char>(v >> 16);
    b[3] = static_cast<unsigned char>(v >> 24);
}
inline std::uint16_t GetU16(const void* p) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline void PutU16(void* p, std::uint16_t v) {
    unsigned char* b = static_cast<unsigned char*>(p);
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}
inline std::uint64_t GetU64(const void* p) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    return std::uint64_t(GetU32(b)) | (std::uint64_t(GetU32(b + 4)) << 32);
}
inline void PutU64(void* p, std::uint64_t v) {
    unsigned char* b = static_cast<unsigned char*>(p);
    PutU32(b, static_cast<std::uint32_t>(v));
    PutU32(b + 4, static_cast<std::uint32_t>(v >> 32));
}

// ---- ids ---------------------------------------------------------------------------------
// Handles given to clients: 32-bit, counting up from 1, never reused in a process.
std::uint32_t QvNextObjectId();

}  // namespace qv
