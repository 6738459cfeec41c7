#include "engine/base/qv_base.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "platform/core/clock.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace qv {

// ---- allocator -------------------------------------------------------------------

int QvSizeClass(std::size_t size) {
    if (size > kQvMaxPooledSize) return -1;
    if (size == 0) return 0;
    if (size <= 1024) return static_cast<int>((size - 1) / 32);
    return static_cast<int>((size - 1) / 256 + 28);
}

std::size_t QvSizeClassItemSize(int c) {
    if (c < 0 || c >= kQvSizeClassCount) return 0;
    if (c <= 31) return 32u * static_cast<std::size_t>(c + 1);
    return 1024u + 256u * static_cast<std::size_t>(c - 31);
}

TqvMemoryPool::TqvMemoryPool(std::size_t itemSize, std::size_t itemsPerBlock)
    : itemSize_(std::max<std::size_t>(itemSize, 4)), itemsPerBlock_(std::max<std::size_t>(itemsPerBlock, 1)) {
    // The item holds the free-list link, so it must fit a pointer here.
    itemSize_ = std::max(itemSize_, sizeof(void*));
    if (itemSize_ * itemsPerBlock_ + 4 > kQvMaxPoolBlockBytes)
        itemsPerBlock_ = std::max<std::size_t>(32768 / itemSize_, 1);
    blockSize_ = itemSize_ * itemsPerBlock_ + 4;
}

TqvMemoryPool::~TqvMemoryPool() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    for (unsigned char* b : blocks_) ::operator delete(b);
}

std::size_t TqvMemoryPool::BlockCount() const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return blocks_.size();
}

void TqvMemoryPool::AddBlock() {
    auto* block = static_cast<unsigned char*>(::operator new(blockSize_));
    blocks_.push_back(block);
    // Items follow the 4-byte link; thread them so the last item is the head.
    unsigned char* items = block + 4;
    for (std::size_t i = 0; i < itemsPerBlock_; ++i) {
        void* item = items + i * itemSize_;
        std::memcpy(item, &freeHead_, sizeof(void*));
        freeHead_ = item;
    }
}

void* TqvMemoryPool::Alloc() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!freeHead_) AddBlock();
    void* item = freeHead_;
    std::memcpy(&freeHead_, item, sizeof(void*));
    return item;
}

void TqvMemoryPool::Dispose(void*& p) {
    if (!p) return;
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::memcpy(p, &freeHead_, sizeof(void*));
    freeHead_ = p;
    p = nullptr;
}

void QvGetMem(void*& p, std::size_t size) { p = ::operator new(size == 0 ? 1 : size); }

void QvFreeMem(void*& p, std::size_t) {
    ::operator delete(p);
    p = nullptr;
}

void QvGetZeroedMem(void*& p, std::size_t size) {
    p = std::calloc(size == 0 ? 1 : size, 1);
    if (!p) throw std::bad_alloc();
}

// ---- pad lock -----------------------------------------------------------------------

void TqvPadLock::Lock(bool enter) {
    if (enter) {
        mutex_.lock();
        ++useCount_;
    } else if (useCount_ > 0) {
        // Only the owner can hold a positive count here, so reading it is safe.
        --useCount_;
        mutex_.unlock();
    }
}

int TqvPadLock::UseCount() const { return useCount_; }

// ---- time-out ---------------------------------------------------------------------------

void QvSetTimeout(TqvTimeout& t, std::int32_t ms) {
    t = TqvTimeout{};
    if (ms == -1) {
        t.neverExpires = 1;
        return;
    }
    std::int32_t clamped = static_cast<std::int32_t>(QvClamp(ms, 1, 30000));
    t.start = plat::GetTickCount();
    t.end = t.start + static_cast<std::uint32_t>(clamped);
    t.noWrap = t.start < t.end ? 1 : 0;
}

bool QvTimeoutExpired(const TqvTimeout& t) {
    if (t.neverExpires) return false;
    std::uint32_t now = plat::GetTickCount();
    if (t.start <= t.end) return !(t.start <= now && now < t.end);
    return !(now >= t.start || now < t.end);
}

// ---- compares -------------------------------------------------------------------------------

template <class T>
static int Cmp3(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}
int QvCmpDWord(std::uint32_t a, std::uint32_t b) { return Cmp3(a, b); }
int QvCmpI32(std::int32_t a, std::int32_t b) { return Cmp3(a, b); }
int QvCmpI16(std::int16_t a, std::int16_t b) { return Cmp3(a, b); }
int QvCmpI8(std::int8_t a, std::int8_t b) { return Cmp3(a, b); }
int QvCmpByte(std::uint8_t a, std::uint8_t b) { return Cmp3(a, b); }
int QvCmpWord(std::uint16_t a, std::uint16_t b) { return Cmp3(a, b); }

int QvCmpBytes(const void* a, const void* b, std::size_t n) {
    int c = n ? std::memcmp(a, b, n) : 0;
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

static unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

static int CmpShStrImpl(std::string_view a, std::string_view b, std::size_t maxLen, bool noCase) {
    std::size_t la = std::min(a.size(), maxLen), lb = std::min(b.size(), maxLen);
    std::size_t n = std::min(la, lb);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (noCase) {
            x = AsciiUpper(x);
            y = AsciiUpper(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    return Cmp3(la, lb);
}

int QvCmpShStr(std::string_view a, std::string_view b, std::size_t maxLen) {
    return CmpShStrImpl(a, b, maxLen, false);
}
int QvCmpShStrNoCase(std::string_view a, std::string_view b, std::size_t maxLen) {
    return CmpShStrImpl(a, b, maxLen, true);
}

// ---- hashing ------------------------------------------------------------------------------

std::uint32_t ElfHash(const void* bytes, std::size_t count) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    std::uint32_t h = 0;
    for (std::size_t i = 0; i < count; ++i) {
        h = (h << 4) + p[i];
        std::uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

std::uint32_t HashShortString(std::string_view s) {
    s = s.substr(0, kQvShortStringMax);
    return ElfHash(s.data(), s.size());
}

// ---- short strings ---------------------------------------------------------------------------

std::string QvLongToShStr(std::string_view s) { return std::string(s.substr(0, kQvShortStringMax)); }

void QvShStrConcat(std::string& s, std::string_view t) {
    if (s.size() >= kQvShortStringMax) return;
    s.append(t.substr(0, kQvShortStringMax - s.size()));
}

void QvShStrAppendChar(std::string& s, char c) {
    if (s.size() < kQvShortStringMax) s.push_back(c);
}

std::string QvShStrUpper(std::string_view s) { return plat::AnsiUpperCase(s.substr(0, kQvShortStringMax)); }

std::string QvPCharToShStr(const char* p, std::size_t maxLen) {
    std::string out;
    if (!p) return out;
    std::size_t cap = std::min(maxLen, kQvShortStringMax);
    for (std::size_t i = 0; i < cap && p[i]; ++i) out.push_back(p[i]);
    return out;
}

void QvSplitAtDelimiter(std::string_view s, std::string_view delims, std::string& head, std::string& rest) {
    std::size_t at = s.find_first_of(delims);
    if (at == std::string_view::npos) {
        head.assign(s);
        rest.clear();
    } else {
        head.assign(s.substr(0, at));
        rest.assign(s.substr(at + 1));
    }
}

std::u16string QvAnsiToWide(std::string_view s) { return plat::AnsiToWide(s); }
std::string QvWideToAnsi(std::u16string_view s) { return plat::WideToAnsi(s); }

// ---- paths ---------------------------------------------------------------------------------------

static bool IsSep(char c) { return c == '\\' || c == '/'; }

static std::size_t LastSep(std::string_view p) {
    for (std::size_t i = p.size(); i > 0; --i)
        if (IsSep(p[i - 1])) return i - 1;
    return std::string_view::npos;
}

std::string QvExtractFilePath(std::string_view path) {
    std::size_t at = LastSep(path);
    if (at == std::string_view::npos) return {};
    return std::string(path.substr(0, std::min<std::size_t>(at, 219)));
}

static std::string_view NamePart(std::string_view path) {
    std::size_t at = LastSep(path);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string QvExtractFileName(std::string_view path) {
    std::string_view name = NamePart(path);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name.substr(0, 31));
}

std::string QvExtractFileExt(std::string_view path) {
    std::string_view name = NamePart(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(name.substr(dot + 1, 3));
}

std::string QvChangeFileExt(std::string_view name, std::string_view ext) {
    std::string_view part = NamePart(name);
    std::size_t dot = part.rfind('.');
    std::string base(name);
    if (dot != std::string_view::npos) base.resize(name.size() - part.size() + dot);
    if (ext.empty()) return base;
    if (base.empty()) return base;
    return base + "." + std::string(ext);
}

std::string QvMakeFileName(std::string_view name, std::string_view ext) {
    return std::string(name.substr(0, 35)) + "." + std::string(ext.substr(0, 3));
}

std::string QvJoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (out.empty() || !IsSep(out.back())) out.push_back('\\');
    out.append(name);
    return out;
}

std::string QvExpandFileName(std::string_view path) { return plat::ExpandFileName(path).substr(0, 255); }

std::string QvGetExeFileName() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

static bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool QvDirectoryExists(std::string_view path) { return !HasWildcard(path) && plat::DirectoryExists(path); }

bool QvFileExists(std::string_view path) { return !HasWildcard(path) && plat::FileExists(path); }

bool QvMaskMatches(std::string_view name, std::string_view mask) { return plat::MatchesMask(name, mask); }

std::vector<std::string> QvListFiles(std::string_view dir, std::string_view mask) {
    std::vector<std::string> out;
    std::string d = dir.empty() ? std::string(".") : plat::NativePath(dir);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2)) continue;
        std::string name = it->path().filename().string();
        if (QvMaskMatches(name, mask)) out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// Takes the platform's entry into `rec` when it passes the filters.
bool Accept(const plat::SearchRec& f, TqvSearchRec& rec) {
    std::uint8_t attr = 0;
    if (f.Attr & plat::FILE_ATTRIBUTE_READONLY) attr |= 2;
    if (f.Attr & plat::FILE_ATTRIBUTE_HIDDEN) attr |= 4;
    if (f.Attr & plat::FILE_ATTRIBUTE_SYSTEM) attr |= 8;
    if (f.Attr & plat::FILE_ATTRIBUTE_ARCHIVE) attr |= 16;
    if (attr == 0) attr = 1;
    std::uint8_t kind = f.IsDirectory() ? 2 : 1;  // as a filter bit
    if (!(rec.wantKinds & kind) || !(rec.wantAttributes & attr)) return false;
    rec.kind = f.IsDirectory() ? 1 : 0;
    rec.attributes = attr;
    rec.name = f.Name.substr(0, 35);
    rec.sizeLow = static_cast<std::uint32_t>(f.Size);
    rec.sizeHigh = static_cast<std::uint32_t>(static_cast<std::uint64_t>(f.Size) >> 32);
    rec.dosDate = static_cast<std::uint16_t>(f.Time >> 16);
    rec.dosTime = static_cast<std::uint16_t>(f.Time & 0xFFFF);
    return true;
}

std::uint32_t NextAccepted(TqvSearchRec& rec, std::uint32_t r) {
    auto* f = static_cast<plat::SearchRec*>(rec.state.get());
    while (r == 0 && !Accept(*f, rec)) r = plat::FindNext(*f);
    return r;
}

}  // namespace

std::uint32_t QvFindFirst(std::string_view path, std::uint8_t kinds, std::uint8_t attributes, TqvSearchRec& rec) {
    rec = TqvSearchRec{};
    rec.wantKinds = kinds;
    rec.wantAttributes = attributes;
    auto f = std::make_shared<plat::SearchRec>();
    rec.state = f;
    std::uint32_t r = plat::FindFirst(path, plat::faDirectory | plat::faHidden, *f);
    r = NextAccepted(rec, r);
    if (r == 18) r = 2;  // the only candidates were filtered out
    return r;
}

std::uint32_t QvFindNext(TqvSearchRec& rec) {
    auto* f = static_cast<plat::SearchRec*>(rec.state.get());
    if (!f) return 18;
    return NextAccepted(rec, plat::FindNext(*f));
}

void QvFindClose(TqvSearchRec& rec) {
    if (auto* f = static_cast<plat::SearchRec*>(rec.state.get())) plat::FindClose(*f);
    rec.state.reset();
}

bool QvIsValidName(std::string_view s, std::size_t maxLen) {
    if (s.empty() || s.size() > maxLen) return false;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!ok) return false;
    }
    return true;
}

bool QvIsValidBlockSize(std::int64_t n) { return n == 4096 || n == 8192 || n == 16384 || n == 32768; }

bool QvIsValidKeyLength(std::int64_t n) {
    std::uint16_t v = static_cast<std::uint16_t>(n & 0xFFFF);
    return v >= 1 && v <= 1024;
}

void QvBitSetAll(void* bits, std::size_t count) { std::memset(bits, 0xFF, (count + 7) / 8); }

std::uint32_t QvNextObjectId() {
    static std::atomic<std::uint32_t> next{1};
    return next.fetch_add(1);
}

}  // namespace qv
