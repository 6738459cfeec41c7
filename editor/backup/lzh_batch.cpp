#include "editor/backup/lzh_batch.h"

#include <algorithm>
#include <cstring>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/core/codepage.h"
#include "platform/core/datetime.h"
#include "platform/core/format.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "platform/core/value_io.h"

namespace lzh {

// --- TReadOnlyStringList -------------------------------------------------------

void TReadOnlyStringList::Check() const {
    if (ReadOnly) throw EListReadOnly();
}

void TReadOnlyStringList::SetString(int index, std::string value) {
    Check();
    StringList::SetString(index, std::move(value));
}

void TReadOnlyStringList::SetObject(int index, void* object) {
    Check();
    StringList::SetObject(index, object);
}

int TReadOnlyStringList::Add(std::string s, void* object) {
    Check();
    return StringList::Add(std::move(s), object);
}

void TReadOnlyStringList::Clear() {
    Check();
    StringList::Clear();
}

void TReadOnlyStringList::Delete(int index) {
    Check();
    StringList::Delete(index);
}

void TReadOnlyStringList::Exchange(int a, int b) {
    Check();
    StringList::Exchange(a, b);
}

void TReadOnlyStringList::Insert(int index, std::string s, void* object) {
    Check();
    StringList::Insert(index, std::move(s), object);
}

void TReadOnlyStringList::SetText(std::string_view text) {
    Check();
    StringList::SetText(text);
}

// --- TLZHBatch -------------------------------------------------------------------

namespace {

// Blocks of the final join; the codec's own buffers are its largest.
constexpr std::size_t kBlock = 64 * 1024;
constexpr std::uint16_t kCodecBuffer = TCustomLZHCompressor::MaxBufferSize;

// Stored names use the archive's own separator whatever the host's.
std::string Backslashed(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

// A collected item: full path, size, attributes and DOS date-time, joined by
// "*". Numbers are read from the right, so a name with "*" still parses.
struct Item {
    std::string path;
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
    std::uint32_t dosDate = 0;
};

std::string ItemText(const Item& i) {
    return i.path + "*" + std::to_string(i.size) + "*" + std::to_string(i.attributes) + "*" + std::to_string(i.dosDate);
}

bool ParseItem(const std::string& text, Item& out) {
    std::size_t c = text.rfind('*');
    if (c == std::string::npos) return false;
    std::size_t b = text.rfind('*', c - 1);
    if (b == std::string::npos || b == 0) return false;
    std::size_t a = text.rfind('*', b - 1);
    if (a == std::string::npos) return false;
    try {
        out.path = text.substr(0, a);
        out.size = std::stoll(text.substr(a + 1, b - a - 1));
        out.attributes = static_cast<std::uint32_t>(std::stoul(text.substr(b + 1, c - b - 1)));
        out.dosDate = static_cast<std::uint32_t>(std::stoul(text.substr(c + 1)));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Copies `count` bytes from `from` at its position to `to` in blocks; false
// when either side fails or `from` ends early.
bool CopyBlocks(plat::File& from, plat::File& to, std::int64_t count) {
    std::vector<char> block(kBlock);
    char* buf = block.data();
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count, kBlock));
        if (from.Read(buf, n) != static_cast<std::int64_t>(n)) return false;
        if (to.Write(buf, n) != static_cast<std::int64_t>(n)) return false;
        count -= static_cast<std::int64_t>(n);
    }
    return true;
}

// The reason of the last failed file call, for messages.
std::string LastErrorText() {
    switch (plat::GetLastError()) {
    case 2: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 5: return "Access is denied.";
    case 32: return "The process cannot access the file because it is being used by another process.";
    case 112: return "There is not enough space on the disk.";
    default: return "System error, code " + std::to_string(plat::GetLastError()) + ".";
    }
}

// The first day a DOS date can hold: 1 Jan 1980.
double FirstDosDate() { return plat::EncodeDate(1980, 1, 1); }

// Reads until `size` bytes or the end; -1 on a failed read.
std::int64_t ReadFull(plat::File& f, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::int64_t n = f.Read(buffer + done, size - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

// A fingerprint of a file's bytes, fed in the codec's input blocks: tells a
// file packed ahead from the same file rewritten since, whatever its size
// and times say.
constexpr std::uint64_t kFingerprintSeed = 0x6A09E667F3BCC908ull;
std::uint64_t Fingerprint(std::uint64_t h, const std::uint8_t* p, std::size_t n) {
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        h = (h ^ v) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 31;
    }
    for (; n > 0; ++p, --n) h = (h ^ *p) * 0x100000001B3ull;
    return h;
}

// Reads a whole file in codec blocks: its size and fingerprint, or nothing.
std::optional<std::pair<std::int64_t, std::uint64_t>> FingerprintFile(const std::string& name) {
    plat::File f;
    if (!f.Open(name, plat::FileAccess::Read, plat::FileShare::DenyNone)) return std::nullopt;
    std::vector<std::uint8_t> buffer(kCodecBuffer);
    std::uint64_t h = kFingerprintSeed;
    std::int64_t size = 0;
    for (;;) {
        const std::int64_t n = ReadFull(f, buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        h = Fingerprint(h, buffer.data(), static_cast<std::size_t>(n));
        size += n;
    }
    return std::make_pair(size, h);
}

}  // namespace

// --- packing ahead -------------------------------------------------------------------

// One worker thread packs the files handed to it, in order, into memory.
class TLZHBatch::AheadPacker {
public:
    struct Packed {
        std::string bytes;
        std::int64_t size = 0;
        std::uint64_t fingerprint = 0;
    };

    ~AheadPacker() {
        {
            std::lock_guard<std::mutex> g(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
    }

    void Add(const std::string& key) {
        std::lock_guard<std::mutex> g(lock_);
        queue_.push_back(key);
        if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
        wake_.notify_all();
    }

    void WaitIdle() {
        std::unique_lock<std::mutex> l(lock_);
        wake_.wait(l, [&] { return busy_.empty() && queue_.empty(); });
    }

    // Waits for the file's packing when it is still to come; nothing when
    // it was never handed in or could not be packed.
    std::optional<Packed> Take(const std::string& key) {
        std::unique_lock<std::mutex> l(lock_);
        wake_.wait(l, [&] {
            return busy_ != key && std::find(queue_.begin(), queue_.end(), key) == queue_.end();
        });
        auto it = done_.find(key);
        if (it == done_.end()) return std::nullopt;
        std::optional<Packed> p = std::move(it->second);
        done_.erase(it);
        return p;
    }

private:
    void Run() {
        for (;;) {
            std::string key;
            {
                std::unique_lock<std::mutex> l(lock_);
                wake_.wait(l, [&] { return stop_ || !queue_.empty(); });
                if (stop_) return;
                key = queue_.front();
                queue_.pop_front();
                busy_ = key;
            }
            std::optional<Packed> p = Pack(key);
            {
                std::lock_guard<std::mutex> g(lock_);
                if (p) done_[key] = std::move(*p);
                busy_.clear();
            }
            wake_.notify_all();
        }
    }

    std::optional<Packed> Pack(const std::string& key) {
        plat::File f;
        if (!f.Open(key, plat::FileAccess::Read, plat::FileShare::DenyNone)) return std::nullopt;
        Packed p;
        p.fingerprint = kFingerprintSeed;
        bool failed = false;
        TCustomLZHCompressor codec;
        codec.SetInputBufferSize(kCodecBuffer);
        codec.SetOutputBufferSize(kCodecBuffer);
        codec.OnReadData = [&](TCustomLZHCompressor*, std::uint8_t* buffer, std::uint16_t size, std::uint16_t& count) {
            count = 0;
            if (stop_.load()) {
                failed = true;
                return;
            }
            const std::int64_t n = ReadFull(f, buffer, size);
            if (n < 0) {
                failed = true;
                return;
            }
            p.fingerprint = Fingerprint(p.fingerprint, buffer, static_cast<std::size_t>(n));
            p.size += n;
            count = static_cast<std::uint16_t>(n);
        };
        codec.OnWriteData = [&](TCustomLZHCompressor*, const std::uint8_t* buffer, std::uint16_t count,
                                std::uint16_t& written) {
            p.bytes.append(reinterpret_cast<const char*>(buffer), count);
            written = count;
        };
        try {
            codec.LZHCodeStream();
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (failed) return std::nullopt;
        return p;
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    std::string busy_;
    std::map<std::string, Packed> done_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

void TLZHBatch::PackAhead(const std::string& fileName) {
    if (!ahead_) ahead_ = std::make_unique<AheadPacker>();
    ahead_->Add(plat::ExpandFileName(fileName));
}

void TLZHBatch::FinishPackingAhead() {
    if (ahead_) ahead_->WaitIdle();
}

bool TLZHBatch::WritePackedAhead(const std::string& fullName) {
    if (!ahead_) return false;
    std::optional<AheadPacker::Packed> p = ahead_->Take(plat::ExpandFileName(fullName));
    if (!p) return false;
    const auto now = FingerprintFile(fullName);
    if (!now || now->first != p->size || now->second != p->fingerprint) return false;
    const std::int64_t n = static_cast<std::int64_t>(p->bytes.size());
    if (data_.Write(p->bytes.data(), p->bytes.size()) != n) throw plat::EWriteError("Cannot write " + data_.NativeName());
    fileRead_ = p->size;
    totalRead_ += p->size;
    memberCompressed_ = n;
    ++packedAhead_;
    if (OnProgress) OnProgress(this, currentFile_, fileRead_, currentSize_, totalRead_, totalToDo_, abort_);
    return true;
}

TLZHBatch::TLZHBatch() {
    collected_.SetSorted(true);
    collected_.SetCaseSensitive(false);
    collected_.SetDuplicates(plat::Duplicates::Ignore);
    entries_.ReadOnly = true;
    SetInputBufferSize(kCodecBuffer);
    SetOutputBufferSize(kCodecBuffer);
    OnReadData = [this](TCustomLZHCompressor*, std::uint8_t* buffer, std::uint16_t size, std::uint16_t& count) {
        count = 0;
        if (abort_) return;
        const std::int64_t n = source_.Read(buffer, size);
        if (n < 0) throw plat::EReadError("Cannot read " + currentFile_);
        count = static_cast<std::uint16_t>(n);
        fileRead_ += n;
        totalRead_ += n;
    };
    OnWriteData = [this](TCustomLZHCompressor*, const std::uint8_t* buffer, std::uint16_t count,
                         std::uint16_t& written) {
        if (data_.Write(buffer, count) != count) throw plat::EWriteError("Cannot write " + data_.NativeName());
        written = count;
        memberCompressed_ += count;
        if (OnProgress) OnProgress(this, currentFile_, fileRead_, currentSize_, totalRead_, totalToDo_, abort_);
    };
}

TLZHBatch::~TLZHBatch() { ClearEntries(); }

void TLZHBatch::ClearEntries() {
    entries_.ReadOnly = false;
    entries_.Clear();
    entries_.ReadOnly = true;
    members_.clear();
    archiveSize_ = archiveCompressedSize_ = dataStart_ = 0;
}

void TLZHBatch::SetArchiveFileName(std::string_view value) {
    std::string full = value.empty() ? std::string() : plat::ExpandFileName(value);
    if (full == archiveFileName_) return;
    archiveFileName_ = std::move(full);
    if (!loading_) ReadArchiveDirectory();
}

void TLZHBatch::SetRootDirectory(std::string_view value) {
    if (value == rootDirectory_) return;
    rootDirectory_ = std::string(value);
    if (!loading_) ReadArchiveDirectory();
}

void TLZHBatch::Loaded() {
    loading_ = false;
    ReadArchiveDirectory();
}

bool TLZHBatch::IsBatchWorkFile(std::string_view fullName) const {
    const std::string folder = plat::ExtractFilePath(archiveFileName_);
    for (const char* work : {kDirectoryWorkFile, kDataWorkFile})
        if (plat::CompareAnsi(plat::ExpandFileName(fullName), plat::ExpandFileName(folder + work), true) == 0) return true;
    return false;
}

void TLZHBatch::ClearStaleWorkFiles() const {
    const std::string folder = plat::ExtractFilePath(archiveFileName_);
    for (const char* work : {kDirectoryWorkFile, kDataWorkFile}) {
        const std::string name = folder + work;
        if (!plat::FileExists(name)) continue;
        // A work file another batch holds open is that batch's; one nobody
        // holds was left by a run that was killed.
        plat::File probe;
        if (!probe.Open(name, plat::FileAccess::Read, plat::FileShare::Exclusive)) continue;
        probe.Close();
        plat::DeleteFile(name);
    }
}

// --- collecting ----------------------------------------------------------------------

std::string TLZHBatch::ResolveInputName(const std::string& name, bool mustExist) const {
    std::string resolved = name;
    // Absolute names (a drive, or a leading separator) stay as they are.
    if (!plat::IsAbsolutePath(name) && !rootDirectory_.empty())
        resolved = plat::IncludeTrailingBackslash(rootDirectory_) + name;
    if (mustExist && !plat::FileExists(resolved) && !plat::DirectoryExists(resolved)) return {};
    return resolved;
}

std::string TLZHBatch::DescribeInputFile(const std::string& fullName, std::int64_t& total) {
    if (IsBatchWorkFile(fullName)) return {};
    const std::uint32_t attributes = plat::GetFileAttributes(fullName);
    plat::File f;
    if (attributes == plat::INVALID_FILE_ATTRIBUTES ||
        !f.Open(fullName, plat::FileAccess::Read, plat::FileShare::DenyNone)) {
        int action = 0;
        if (OnCollectError) OnCollectError(this, fullName, action);
        if (action == 1) abort_ = true;
        return {};
    }
    Item item;
    item.path = fullName;
    item.size = f.Seek(0, plat::SeekOrigin::End);
    // Every member carries the archive bit, as a file the archiver saw.
    item.attributes = (attributes & (plat::faReadOnly | plat::faHidden | plat::faSysFile)) | plat::faArchive;
    const std::int32_t age = plat::FileAge(fullName);
    item.dosDate = age < 0 ? plat::DateTimeToDosDateTime(FirstDosDate()) : static_cast<std::uint32_t>(age);
    if (item.size < 0) item.size = 0;
    total += item.size;
    return ItemText(item);
}

void TLZHBatch::Offer(const std::string& fullName, std::int64_t& total) {
    const std::string item = DescribeInputFile(fullName, total);
    if (item.empty()) return;
    int action = 0;
    if (OnCollecting) OnCollecting(this, fullName, action);
    if (action == 0) collected_.Add(item);
    else if (action == 2) abort_ = true;
}

void TLZHBatch::CollectFiles(const std::string& spec, std::int64_t& total) {
    std::string folder, mask;
    if (plat::DirectoryExists(spec)) {
        folder = plat::IncludeTrailingBackslash(spec);
        mask = "*.*";
    } else {
        folder = plat::ExtractFilePath(spec);
        mask = plat::ExtractFileName(spec);
    }
    plat::SearchRec rec;
    const std::uint32_t attrs = plat::faReadOnly | plat::faHidden | plat::faSysFile | plat::faArchive;
    for (std::uint32_t r = plat::FindFirst(folder + mask, attrs, rec); r == 0 && !abort_; r = plat::FindNext(rec))
        if (!rec.IsDirectory()) Offer(plat::ExpandFileName(folder + rec.Name), total);
    plat::FindClose(rec);
    if (!RecurseDirectories) return;
    std::vector<std::string> subfolders;
    for (std::uint32_t r = plat::FindFirst(folder + "*", plat::faDirectory | plat::faHidden, rec); r == 0;
         r = plat::FindNext(rec))
        if (rec.IsDirectory() && !rec.Name.empty() && rec.Name[0] != '.') subfolders.push_back(rec.Name);
    plat::FindClose(rec);
    for (const std::string& sub : subfolders) {
        if (abort_) return;
        CollectFiles(folder + sub + "\\" + mask, total);
    }
}

std::int64_t TLZHBatch::CollectInputFiles() {
    collected_.Clear();
    std::int64_t total = 0;
    for (int i = 0; i < inputFiles_.Count() && !abort_; ++i) {
        const std::string& line = inputFiles_[i];
        if (line.empty()) continue;
        const std::string resolved = ResolveInputName(line, false);
        if (plat::HasWildcards(line) || plat::DirectoryExists(resolved)) {
            CollectFiles(resolved, total);
            continue;
        }
        if (!plat::FileExists(resolved)) continue;
        const std::string full = plat::ExpandFileName(resolved);
        Offer(full, total);
        if (RecurseDirectories && !abort_) {
            // The same name in every subfolder of its folder.
            const std::string folder = plat::ExtractFilePath(full);
            plat::SearchRec rec;
            std::vector<std::string> subfolders;
            for (std::uint32_t r = plat::FindFirst(folder + "*", plat::faDirectory | plat::faHidden, rec); r == 0;
                 r = plat::FindNext(rec))
                if (rec.IsDirectory() && !rec.Name.empty() && rec.Name[0] != '.') subfolders.push_back(rec.Name);
            plat::FindClose(rec);
            for (const std::string& sub : subfolders)
                if (!abort_) CollectFiles(folder + sub + "\\" + plat::ExtractFileName(full), total);
        }
    }
    return total;
}

// --- writing -----------------------------------------------------------------------------

bool TLZHBatch::CheckTargetFile() {
    if (ArchiveMode != amNew || !plat::FileExists(archiveFileName_) || OverwriteExisting) return true;
    if (OnFileExist) {
        int action = 1;
        OnFileExist(this, archiveFileName_, action);
        if (action == 2) abort_ = true;
        return action == 0;
    }
    throw EFileExist("Cannot write to " + archiveFileName_ + ". File already exists");
}

std::string TLZHBatch::StoredName(const std::string& fullName) const {
    switch (DirectoryInfo) {
    case diNone: return plat::ExtractFileName(fullName);
    case diFullPath: return Backslashed(fullName.substr(plat::ExtractFileDrive(fullName).size()));
    case diRelativePath: {
        std::string path = Backslashed(fullName.substr(plat::ExtractFileDrive(fullName).size()));
        std::string root = rootDirectory_.empty() ? std::string() : plat::ExpandFileName(rootDirectory_);
        root = Backslashed(root.substr(plat::ExtractFileDrive(root).size()));
        // Drop the leading folders the path shares with the root, folder by folder.
        std::size_t p = 0, r = 0;
        while (true) {
            while (p < path.size() && path[p] == '\\') ++p;
            while (r < root.size() && root[r] == '\\') ++r;
            const std::size_t pe = path.find('\\', p), re = root.find('\\', r);
            if (pe == std::string::npos || r >= root.size()) break;  // the file name itself always stays
            const std::size_t rEnd = re == std::string::npos ? root.size() : re;
            if (plat::CompareAnsi(std::string_view(path).substr(p, pe - p), std::string_view(root).substr(r, rEnd - r),
                                  true) != 0)
                break;
            p = pe;
            r = rEnd;
        }
        while (p < path.size() && path[p] == '\\') ++p;
        return path.substr(p);
    }
    }
    return plat::ExtractFileName(fullName);
}

void TLZHBatch::WriteBatchArchive() {
    const std::string workFolder = plat::IncludeTrailingBackslash(plat::ExtractFilePath(archiveFileName_));
    const std::string dirName = workFolder + kDirectoryWorkFile;
    const std::string dataName = workFolder + kDataWorkFile;
    plat::MemoryStream directory;
    plat::ValueWriter dir(directory);
    auto removeWorkFiles = [&] {
        data_.Close();
        plat::DeleteFile(dirName);
        plat::DeleteFile(dataName);
    };
    if (!data_.Open(dataName, plat::FileAccess::Write, plat::FileShare::Exclusive, plat::FileDisposition::CreateAlways))
        throw EOpenError("Error opening " + dataName + ". \r\n" + LastErrorText());
    try {
        dir.WriteListBegin();
        std::int64_t offset = 0;
        if (ArchiveMode == amAdd && validArchive_) {
            // The old members come first, their data copied as it is.
            plat::File old;
            if (!old.Open(archiveFileName_, plat::FileAccess::Read, plat::FileShare::DenyNone))
                throw EOpenError("Error opening " + archiveFileName_ + ". \r\n" +
                                 LastErrorText());
            for (const auto& m : members_) {
                if (old.Seek(dataStart_ + m->offset) < 0 || !CopyBlocks(old, data_, m->compressedSize))
                    throw EOpenError("Error opening " + archiveFileName_ + ". \r\nThe archive is damaged.");
                dir.WriteString(m->name);
                dir.WriteInt64(m->size);
                dir.WriteInt64(m->compressedSize);
                dir.WriteInt64(offset);
                dir.WriteInteger(static_cast<std::int32_t>(m->attributes));
                dir.WriteFloat(m->date);
                offset += m->compressedSize;
            }
        }
        for (int i = 0; i < collected_.Count() && !abort_; ++i) {
            Item item;
            if (!ParseItem(collected_[i], item) || item.size == 0) continue;  // empty files leave no trace
            double date = 0;
            // A date the DOS form cannot hold is the first one it can, never a reason to drop the file.
            if (!plat::DosDateTimeToDateTime(item.dosDate, date)) date = FirstDosDate();
            currentFile_ = item.path;
            currentSize_ = item.size;
            fileRead_ = 0;
            memberCompressed_ = 0;
            try {
                if (!WritePackedAhead(item.path)) {
                    if (!source_.Open(item.path, plat::FileAccess::Read, plat::FileShare::DenyNone))
                        throw plat::EFOpenError(LastErrorText());
                    LZHCodeStream();
                    source_.Close();
                }
            } catch (const std::exception& e) {
                source_.Close();
                abort_ = true;
                throw EOpenError("Error opening " + item.path + ". \r\n" + e.what());
            }
            dir.WriteString(StoredName(item.path));
            dir.WriteInt64(fileRead_);
            dir.WriteInt64(memberCompressed_);
            dir.WriteInt64(offset);
            dir.WriteInteger(static_cast<std::int32_t>(item.attributes));
            dir.WriteFloat(date);
            offset += memberCompressed_;
        }
        dir.WriteListEnd();
    } catch (...) {
        removeWorkFiles();
        throw;
    }
    data_.Close();
    if (abort_) {
        removeWorkFiles();
        return;
    }
    // Directory first, then the data; the finished file replaces the archive
    // in one rename, so a failed run never leaves a half-written archive nor
    // loses the old one.
    bool ok = true;
    {
        plat::File joined, part;
        ok = joined.Open(dirName, plat::FileAccess::Write, plat::FileShare::Exclusive,
                         plat::FileDisposition::CreateAlways) &&
             joined.Write(directory.Bytes().data(), directory.Bytes().size()) ==
                 static_cast<std::int64_t>(directory.Bytes().size()) &&
             part.Open(dataName, plat::FileAccess::Read, plat::FileShare::DenyNone);
        if (ok) ok = CopyBlocks(part, joined, part.Size()) && joined.Flush();
    }
    ok = ok && plat::DeleteFile(dataName) && plat::RenameFile(dirName, dataName) &&
         plat::RenameFile(dataName, archiveFileName_, true);
    if (!ok) {
        const std::string reason = LastErrorText();
        removeWorkFiles();
        throw EOpenError("Error opening " + archiveFileName_ + ". \r\n" + reason);
    }
    ReadArchiveDirectory();
}

void TLZHBatch::CompressFiles() {
    if (busy_) return;
    abort_ = false;
    if (!CheckTargetFile()) {
        abort_ = false;
        return;
    }
    busy_ = true;
    ClearStaleWorkFiles();
    struct Idle {
        TLZHBatch* b;
        ~Idle() {
            b->busy_ = false;
            b->abort_ = false;
            b->collected_.Clear();
        }
    } idle{this};
    totalRead_ = 0;
    packedAhead_ = 0;
    totalToDo_ = CollectInputFiles();
    if (OnDoneCollecting) OnDoneCollecting(this, collected_.Count(), totalToDo_, abort_);
    if (collected_.Count() == 0 || abort_) return;
    WriteBatchArchive();
}

// --- reading ----------------------------------------------------------------------------------

void TLZHBatch::ReadArchiveDirectory() {
    ClearEntries();
    validArchive_ = false;
    if (archiveFileName_.empty() || !plat::FileExists(archiveFileName_)) return;
    try {
        plat::FileStream stream(archiveFileName_, plat::fmOpenRead | plat::fmShareDenyNone);
        plat::ValueReader r(stream);
        r.ReadListBegin();
        std::vector<std::unique_ptr<TArchiveMember>> members;
        while (!r.EndOfList()) {
            auto m = std::make_unique<TArchiveMember>();
            m->name = r.ReadString();
            m->size = r.ReadInt64();
            m->compressedSize = r.ReadInt64();
            m->offset = r.ReadInt64();
            m->attributes = static_cast<std::uint32_t>(r.ReadInt64());
            m->date = r.ReadFloat();
            if (m->size < 0 || m->compressedSize < 0 || m->offset < 0) return;
            members.push_back(std::move(m));
        }
        r.ReadListEnd();
        const std::int64_t dataStart = stream.Position();
        const std::int64_t dataSize = stream.Size() - dataStart;
        // Every member's data must lie inside the file.
        for (const auto& m : members)
            if (m->offset > dataSize || m->compressedSize > dataSize - m->offset) return;
        // The totals must fit too: sizes are read from the file, and a sum
        // that wrapped would show a negative or tiny archive as valid.
        std::int64_t totalSize = 0, totalCompressed = 0;
        for (const auto& m : members)
            if (__builtin_add_overflow(totalSize, m->size, &totalSize) ||
                __builtin_add_overflow(totalCompressed, m->compressedSize, &totalCompressed))
                return;
        entries_.ReadOnly = false;
        archiveSize_ = totalSize;
        archiveCompressedSize_ = totalCompressed;
        for (auto& m : members) {
            entries_.Add(m->name + "\t" + std::to_string(m->size) + "\t" + std::to_string(m->compressedSize) + "\t" +
                             std::to_string(m->attributes) + "\t" + plat::FloatToStr(m->date),
                         m.get());
            members_.push_back(std::move(m));
        }
        entries_.ReadOnly = true;
        dataStart_ = dataStart;
        validArchive_ = true;
    } catch (const plat::Exception&) {
        ClearEntries();
        validArchive_ = false;
    }
}

}  // namespace lzh
