#include "converter/help_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

#include "converter/decompress.h"
#include "converter/font_table.h"
#include "converter/topic_stream.h"

namespace conv {

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

std::uint32_t ParseDecimal(std::string_view text) {
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return v;
}

// ---- HelpStream ----

bool HelpStream::LoadFile(const std::filesystem::path& path) {
    // Only a regular file is read: a device would never end and a FIFO
    // would block the open or the read. O_NONBLOCK keeps the open of a FIFO
    // from waiting for a writer; fstat then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Offsets in the format are 32-bit; a larger file cannot be addressed.
    if (static_cast<std::uint64_t>(st.st_size) > kMaxHelpFileSize) return false;
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        throw HelpFileError(kMsgNoMemory);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // the file shrank while being read
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    Take(std::move(bytes));
    return true;
}

void HelpStream::Take(std::string bytes) {
    bytes_ = std::make_shared<const std::string>(std::move(bytes));
    data_ = reinterpret_cast<const std::uint8_t*>(bytes_->data());
    size_ = static_cast<std::uint32_t>(bytes_->size());
    pos_ = 0;
}

bool HelpStream::Seek(std::uint64_t pos) {
    if (pos > Size()) {
        pos_ = Size();
        return false;
    }
    pos_ = static_cast<std::uint32_t>(pos);
    return true;
}

std::size_t HelpStream::Read(void* dst, std::size_t n) {
    std::size_t k = n < Remaining() ? n : Remaining();
    if (k) std::memcpy(dst, Here(), k);
    pos_ += static_cast<std::uint32_t>(k);
    return k;
}

int HelpStream::Get() {
    if (pos_ >= Size()) return -1;
    return Data()[pos_++];
}

bool HelpStream::ReadU8(std::uint8_t& v) {
    if (Remaining() < 1) return false;
    v = Data()[pos_++];
    return true;
}

bool HelpStream::ReadU16(std::uint16_t& v) {
    if (Remaining() < 2) return false;
    v = GetU16(Here());
    pos_ += 2;
    return true;
}

bool HelpStream::ReadI16(std::int16_t& v) {
    std::uint16_t u;
    if (!ReadU16(u)) return false;
    v = static_cast<std::int16_t>(u);
    return true;
}

bool HelpStream::ReadU32(std::uint32_t& v) {
    if (Remaining() < 4) return false;
    v = GetU32(Here());
    pos_ += 4;
    return true;
}

bool HelpStream::ReadCString(std::string& out, std::uint32_t end, std::size_t limit) {
    out.clear();
    if (end > Size()) end = Size();
    while (pos_ < end) {
        char c = static_cast<char>(Data()[pos_++]);
        if (c == '\0') return true;
        if (out.size() >= limit) return false;
        out.push_back(c);
    }
    return false;
}

// ---- record ----

Conversion::~Conversion() {
    if (state.localizationFile) std::fclose(state.localizationFile);
    if (!state.pictureFolder.empty()) RemoveScratchFolder(state.pictureFolder);
}

namespace {

std::mutex gScratchMutex;
std::set<std::string>& ScratchFolders() {
    static auto* folders = new std::set<std::string>();  // outlives every static destructor
    return *folders;
}

void RemoveAllScratchFolders() {
    std::lock_guard<std::mutex> lock(gScratchMutex);
    for (const std::string& f : ScratchFolders()) {
        std::error_code ec;
        std::filesystem::remove_all(f, ec);
    }
    ScratchFolders().clear();
}

}  // namespace

void RegisterScratchFolder(const std::string& path) {
    static const bool registered = [] { return std::atexit(RemoveAllScratchFolders) == 0; }();
    (void)registered;
    std::lock_guard<std::mutex> lock(gScratchMutex);
    ScratchFolders().insert(path);
}

void RemoveScratchFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    std::lock_guard<std::mutex> lock(gScratchMutex);
    ScratchFolders().erase(path);
}

void AddDamageWarning(Conversion& hf, int detail, const std::string& what) {
    AddWarning(hf, kWarnDamaged, {WarningArg::Localized(detail, {what})});
}

void AddDamageWarning(HelpFileData& file, int detail, const std::string& what) {
    AddWarning(file, kWarnDamaged, {WarningArg::Localized(detail, {what})});
}

// A damaged file could repeat one fault per record; keep the list usable.
constexpr std::size_t kMaxWarnings = 10000;

void AddWarning(Conversion& hf, int number, std::vector<WarningArg> args) {
    if (hf.state.warnings.size() >= kMaxWarnings) return;
    hf.state.warnings.push_back({number, std::move(args)});
    if (hf.options.onWarning) hf.options.onWarning(hf.state.warnings.back());
}

void AddWarning(HelpFileData& file, int number, std::vector<WarningArg> args) {
    if (file.warnings.size() >= kMaxWarnings) return;
    file.warnings.push_back({number, std::move(args)});
}

void SetProgress(Conversion& hf, int position, int phase) {
    if (hf.options.progress) hf.options.progress(position, phase);
}

void AddDamageWarning(ReadReport& report, int detail, const std::string& what) {
    report.warnings.push_back({kWarnDamaged, {WarningArg::Localized(detail, {what})}});
}

void Report(Conversion& hf, const ReadReport& report) {
    for (int position : report.positions) SetProgress(hf, position, report.phase);
    for (const HelpWarning& w : report.warnings) AddWarning(hf, w.number, w.args);
}

namespace {

[[noreturn]] void FileFormatProblem(long n) { throw HelpFileError(FormatString(kMsgFileFormat, n)); }

// Directory names of 59 characters or more are refused.
constexpr std::size_t kMaxDirectoryName = 58;

void ReadSystemRecordList(HelpFileData& hf) {
    hf.systemRecords.clear();
    hf.systemRecordsCut = false;
    if (!hf.system.present() || hf.isHC30) return;
    HelpStream s = hf.stream;
    std::uint32_t pos = 12;
    while (pos + 4 <= hf.system.size) {
        s.Seek(hf.system.offset + pos);
        std::uint16_t type = 0, length = 0;
        if (!s.ReadU16(type) || !s.ReadU16(length)) break;
        if (pos + 4 + static_cast<std::uint32_t>(length) > hf.system.size) {
            hf.systemRecordsCut = true;
            break;
        }
        SystemRecord r;
        r.type = type;
        r.data.assign(reinterpret_cast<const char*>(s.Here()), length);
        hf.systemRecords.push_back(std::move(r));
        pos += 4 + length;
    }
}

// False when probing finds no help file.
bool ReadInto(HelpFileData& hf, ConversionFlags flags) {
    HelpStream& s = hf.stream;
    s.Seek(0);
    FileHeader& h = hf.fileHeader;
    bool whole = s.ReadU32(h.magic) && s.ReadU32(h.directoryStart) && s.ReadU32(h.firstFreeBlock) &&
                 s.ReadU32(h.fileSize);
    if (!whole || h.magic != kHelpFileMagic) {
        if (flags & kProbe) return false;
        throw HelpFileError(kMsgBadMagic);
    }
    FindFirstDirectoryLeaf(hf);
    ReadInternalDirectory(hf);
    hf.compressed = (hf.systemHeader.flags & (4 | 8)) != 0 && hf.systemHeader.minor != 15;
    ReadSystemRecordList(hf);
    if (!(flags & kProbe)) {
        if (hf.phrImage.present())
            LoadHallPhrases(hf);
        else if (hf.phrases.present())
            LoadOldPhrases(hf);
        hf.fonts = ReadFontTable(hf, hf.wideFonts, hf.fontReport);
        hf.contextTable = ReadContextTable(hf, hf.contextReport);
        hf.kTable = ReadKeywordIndex(hf, hf.kwBtree, hf.kwData, hf.kReport);
        hf.aTable = ReadKeywordIndex(hf, hf.awBtree, hf.awData, hf.aReport);
        hf.tablesRead = true;
    }
    return true;
}

// A conversion starts where the read ended: at its read position and with
// its warnings.
void StartFromFile(Conversion& c) {
    c.state.stream = c.file.stream;
    c.state.warnings = c.file.warnings;
}

}  // namespace

Conversion::Conversion(const HelpFileData& f, const ConvertOptions& o) : file(f), options(o) { StartFromFile(*this); }

std::unique_ptr<HelpFileData> ReadHelpFile(const std::filesystem::path& path, ConversionFlags flags) {
    auto hf = std::make_unique<HelpFileData>();
    if (!hf->stream.LoadFile(path)) return nullptr;
    hf->path = path.string();
    if (!ReadInto(*hf, flags)) return nullptr;
    return hf;
}

std::unique_ptr<HelpFileData> ReadHelpFileBytes(std::string bytes, const std::string& path,
                                                ConversionFlags flags) {
    auto hf = std::make_unique<HelpFileData>();
    hf->stream = HelpStream(std::move(bytes));
    hf->path = path;
    if (!ReadInto(*hf, flags)) return nullptr;
    return hf;
}

std::unique_ptr<HelpFile> OpenHelpFile(const std::filesystem::path& path, ConversionFlags flags) {
    auto hf = std::make_unique<HelpFile>();
    if (!hf->fileData.stream.LoadFile(path)) return nullptr;
    hf->fileData.path = path.string();
    hf->ownOptions.flags = flags;
    if (!ReadInto(hf->fileData, flags)) return nullptr;
    StartFromFile(*hf);
    return hf;
}

std::unique_ptr<HelpFile> OpenHelpFileBytes(std::string bytes, const std::string& path,
                                            ConversionFlags flags) {
    auto hf = std::make_unique<HelpFile>();
    hf->fileData.stream = HelpStream(std::move(bytes));
    hf->fileData.path = path;
    hf->ownOptions.flags = flags;
    if (!ReadInto(hf->fileData, flags)) return nullptr;
    StartFromFile(*hf);
    return hf;
}

void RemovePictureFiles(Conversion& hf) {
    if (!(hf.options.flags & kBmpInRtf)) return;
    for (const auto& name : hf.state.pictureFiles) {
        if (!name) continue;
        std::error_code ec;
        std::filesystem::remove(*name, ec);
    }
}

void CloseHelpFile(std::unique_ptr<HelpFile> hf) {
    if (!hf) return;
    RemovePictureFiles(*hf);
    hf.reset();
}


bool ReadBTreeHeader(HelpStream& s, std::uint32_t offset, BTreeHeader& h) {
    if (!s.Seek(offset) || s.Remaining() < kBTreeHeaderSize) return false;
    const std::uint8_t* p = s.Here();
    h.magic = GetU16(p + 0);
    h.flags = GetU16(p + 2);
    h.pageSize = GetU16(p + 4);
    std::memcpy(h.structure, p + 6, 16);
    h.structure[16] = '\0';
    h.mustBeZero = GetU16(p + 22);
    h.pageSplits = GetU16(p + 24);
    h.rootPage = GetU16(p + 26);
    h.mustBeNegOne = GetU16(p + 28);
    h.totalPages = GetU16(p + 30);
    h.levels = GetU16(p + 32);
    h.totalEntries = GetU32(p + 34);
    s.Skip(kBTreeHeaderSize);
    return true;
}

namespace {

// File offset of page n, or nullopt when its 8-byte header is not inside the file.
std::optional<std::uint32_t> PageOffset(const BTreeHeader& h, const HelpStream& s,
                                        std::uint32_t pagesStart, std::int64_t page) {
    if (page < 0 || page >= h.totalPages || h.pageSize < 8) return std::nullopt;
    std::uint64_t at = pagesStart + static_cast<std::uint64_t>(page) * h.pageSize;
    if (at + 8 > s.Size()) return std::nullopt;
    return static_cast<std::uint32_t>(at);
}

}  // namespace

std::optional<std::uint16_t> FindFirstLeafPage(const BTreeHeader& h, HelpStream& s,
                                               std::uint32_t pagesStart) {
    std::int64_t page = h.rootPage;
    // A tree of L levels needs L - 1 steps down; a cyclic or overlong chain of
    // first-child links cannot make the descent run longer than that.
    std::uint32_t maxSteps = h.levels > 0 ? h.levels - 1u : 0u;
    if (maxSteps > h.totalPages) maxSteps = h.totalPages;
    for (std::uint32_t step = 0;; ++step) {
        auto at = PageOffset(h, s, pagesStart, page);
        if (!at) return std::nullopt;
        if (step >= maxSteps) break;
        std::int16_t child = static_cast<std::int16_t>(GetU16(s.Data() + *at + 4));
        if (child < 0) break;
        page = child;
    }
    return static_cast<std::uint16_t>(page);
}

bool ForEachLeafPage(const BTreeHeader& h, HelpStream& s, std::uint32_t pagesStart, std::uint32_t fileEnd,
                     const std::function<bool(std::uint32_t, std::uint32_t, std::int16_t)>& visit) {
    auto first = FindFirstLeafPage(h, s, pagesStart);
    if (!first) return false;
    if (fileEnd > s.Size()) fileEnd = s.Size();
    std::int64_t page = *first;
    std::vector<bool> seen(h.totalPages, false);
    while (page != -1) {
        auto at = PageOffset(h, s, pagesStart, page);
        if (!at || seen[static_cast<std::size_t>(page)] || *at + 8 > fileEnd) return false;
        seen[static_cast<std::size_t>(page)] = true;
        const std::uint8_t* p = s.Data() + *at;
        std::int16_t count = static_cast<std::int16_t>(GetU16(p + 2));
        std::int16_t next = static_cast<std::int16_t>(GetU16(p + 6));
        std::uint64_t end = static_cast<std::uint64_t>(*at) + h.pageSize;
        if (end > fileEnd) end = fileEnd;
        if (count < 0) return false;
        if (!visit(*at, static_cast<std::uint32_t>(end), count)) return true;
        page = next;
    }
    return true;
}

void FindFirstDirectoryLeaf(HelpFileData& hf) {
    std::uint64_t dataStart = static_cast<std::uint64_t>(hf.fileHeader.directoryStart) + 9;
    if (dataStart > hf.stream.Size() || !ReadBTreeHeader(hf.stream, static_cast<std::uint32_t>(dataStart),
                                                         hf.directoryHeader))
        FileFormatProblem(0);
    hf.directoryPagesStart = static_cast<std::uint32_t>(dataStart + kBTreeHeaderSize);
    auto leaf = FindFirstLeafPage(hf.directoryHeader, hf.stream, hf.directoryPagesStart);
    if (!leaf) FileFormatProblem(0);
    hf.firstDirectoryLeaf = *leaf;
}

namespace {

// Reads one directory leaf entry at the stream position, within `end`.
void ReadEntryAt(HelpFileData& hf, std::uint32_t end, std::int32_t n, DirectoryEntry& entry) {
    HelpStream& s = hf.stream;
    entry.name.clear();
    for (;;) {
        if (s.Tell() >= end) FileFormatProblem(n);
        char c = static_cast<char>(s.Get());
        if (c == '\0') break;
        if (entry.name.size() >= kMaxDirectoryName) FileFormatProblem(n);
        entry.name.push_back(c);
    }
    std::uint32_t headerAt = 0;
    if (s.Tell() + 4 > end || !s.ReadU32(headerAt)) FileFormatProblem(n);
    std::uint32_t back = s.Tell();
    std::uint32_t used = 0;
    if (static_cast<std::uint64_t>(headerAt) + 9 > s.Size() || !s.Seek(headerAt + 4u) || !s.ReadU32(used))
        FileFormatProblem(n);
    entry.offset = headerAt + 9;
    // An internal file never reaches past the end of the help file.
    std::uint32_t room = s.Size() - entry.offset;
    entry.size = used <= room ? used : room;
    s.Seek(back);
}

void NoteKnownFile(HelpFileData& hf, const DirectoryEntry& e) {
    struct Known {
        const char* name;
        InternalFile HelpFileData::*slot;
    };
    static const Known kKnown[] = {
        {"|Phrases", &HelpFileData::phrases},  {"|PhrImage", &HelpFileData::phrImage},
        {"|PhrIndex", &HelpFileData::phrIndex}, {"|SYSTEM", &HelpFileData::system},
        {"|FONT", &HelpFileData::font},        {"|TOPIC", &HelpFileData::topic},
        {"|TOMAP", &HelpFileData::tomap},      {"|CONTEXT", &HelpFileData::context},
        {"|KWBTREE", &HelpFileData::kwBtree},  {"|KWDATA", &HelpFileData::kwData},
        {"|AWBTREE", &HelpFileData::awBtree},  {"|AWDATA", &HelpFileData::awData},
        {"|0KWBTREE", &HelpFileData::kwBtree}, {"|0KWDATA", &HelpFileData::kwData},
        {"|CTXOMAP", &HelpFileData::ctxoMap},  {"|TTLBTREE", &HelpFileData::ttlBtree},
    };
    for (const auto& k : kKnown) {
        if (e.name == k.name) {
            (hf.*k.slot).offset = e.offset;
            (hf.*k.slot).size = e.size;
        }
    }
}

void ReadSystemHeader(HelpFileData& hf) {
    HelpStream& s = hf.stream;
    SystemHeader& h = hf.systemHeader;
    h = SystemHeader{};
    if (hf.system.size < 12 || !s.Seek(hf.system.offset) || s.Remaining() < 12) {
        AddDamageWarning(hf, kDamageTooShort, "|SYSTEM");
    } else {
        const std::uint8_t* p = s.Here();
        h.magic = GetU16(p);
        h.minor = GetU16(p + 2);
        h.major = GetU16(p + 4);
        h.generationDate = GetU32(p + 6);
        h.flags = GetU16(p + 10);
    }
    hf.isHC30 = h.minor == 15;
    hf.isHCRTF = h.minor == 33;
    hf.isWMVC = h.minor == 27;
    switch (h.minor) {
    case 15: AddWarning(hf, kWarnCompiler, {"HC30"}); break;
    case 33: AddWarning(hf, kWarnCompiler, {"HCRTF (Windows NT/Windows 95)"}); break;
    case 27: AddWarning(hf, kWarnCompiler, {"WMVC (Media Viewer)"}); break;
    case 21: break;
    default: throw HelpFileError(kMsgBadVersion);
    }
}

}  // namespace

void ReadDirectoryEntry(HelpFileData& hf, std::int32_t n, DirectoryEntry& entry) {
    std::int64_t seen = 0;
    bool found = false;
    bool intact = ForEachLeafPage(
        hf.directoryHeader, hf.stream, hf.directoryPagesStart, hf.stream.Size(),
        [&](std::uint32_t at, std::uint32_t end, std::int16_t count) {
            if (seen + count <= n) {
                seen += count;
                return true;
            }
            hf.stream.Seek(at + 8);
            for (std::int64_t i = seen; i <= n; ++i) ReadEntryAt(hf, end, n, entry);
            found = true;
            return false;
        });
    if (!intact || !found) FileFormatProblem(n);
}

void ReadInternalDirectory(HelpFileData& hf) {
    std::uint32_t total = hf.directoryHeader.totalEntries;
    // Each entry needs at least a name byte and a 4-byte offset.
    if (total > hf.stream.Size() / 5) FileFormatProblem(0);
    hf.directoryEntryCount = static_cast<std::int32_t>(total);
    hf.directoryEntries.clear();
    hf.directoryEntries.reserve(total);
    // One walk along the leaves reads every entry; the same entries a
    // per-entry walk from the first leaf would find.
    bool intact = ForEachLeafPage(
        hf.directoryHeader, hf.stream, hf.directoryPagesStart, hf.stream.Size(),
        [&](std::uint32_t at, std::uint32_t end, std::int16_t count) {
            hf.stream.Seek(at + 8);
            for (std::int16_t i = 0; i < count && hf.directoryEntries.size() < total; ++i) {
                DirectoryEntry e;
                ReadEntryAt(hf, end, static_cast<std::int32_t>(hf.directoryEntries.size()), e);
                hf.directoryEntries.push_back(std::move(e));
            }
            return hf.directoryEntries.size() < total;
        });
    if (!intact || hf.directoryEntries.size() < total)
        FileFormatProblem(static_cast<long>(hf.directoryEntries.size()));
    for (const auto& e : hf.directoryEntries) NoteKnownFile(hf, e);
    // Without |SYSTEM the compiler version is unknown.
    if (!hf.system.present()) throw HelpFileError(kMsgBadVersion);
    ReadSystemHeader(hf);
}

void ReadSystemInfo(Conversion& hf, SystemInfo& info) {
    FreeSystemInfo(info);
    if (!hf.file.system.present()) return;
    HelpStream& s = hf.state.stream;
    std::uint32_t end = hf.file.system.offset + hf.file.system.size;
    if (hf.file.isHC30) {
        s.Seek(hf.file.system.offset + 12u);
        std::string line;
        while (s.Tell() < end && line.size() < 31) {
            int c = s.Get();
            if (c == '\0' || c == '\n' || c == '\r') break;
            line.push_back(static_cast<char>(c));
        }
        if (!line.empty()) info.title = line;
        return;
    }
    for (const auto& r : ReadSystemRecords(hf)) {
        std::string text = r.data.substr(0, r.data.find('\0'));
        if (r.type == 1 && !r.data.empty() && r.data[0] != '\0') info.title = text;
        if (r.type == 2 && text.size() > 2) info.copyright = text;
        if (r.type == 8 && text.size() > 2) info.citation = text;
    }
}

void FreeSystemInfo(SystemInfo& info) { info = SystemInfo{}; }

const std::vector<SystemRecord>& ReadSystemRecords(Conversion& hf) {
    if (hf.file.systemRecordsCut) AddDamageWarning(hf, kDamagePastEnd, "|SYSTEM");
    return hf.file.systemRecords;
}

}  // namespace conv
