#include "engine/storage/journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/storage/file_access.h"
#include "engine/storage/table_file.h"
#include "platform/core/codepage.h"

namespace qv {

std::string QvJournalFullPath(const std::string& name) {
    std::string p = QvResolvePath(name);
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(p, ec);
    return ec ? p : full.lexically_normal().string();
}

std::string QvJournalRecordName(const std::string& tableFull, const std::string& journalFull) {
    const std::filesystem::path t(tableFull), j(journalFull);
    if (plat::AnsiUpperCase(t.parent_path().lexically_normal().string()) ==
        plat::AnsiUpperCase(j.parent_path().lexically_normal().string()))
        return t.filename().string();
    return tableFull;
}

std::string QvJournalRecordTarget(const std::string& recorded, const std::string& journalFull) {
    if (recorded.find_first_of("/\\") != std::string::npos) return recorded;
    return (std::filesystem::path(journalFull).parent_path() / recorded).string();
}

std::string EncodeJournalRecordHead(std::uint32_t block, std::uint32_t blockSize, bool beforeImage,
                                    const std::string& fullPath) {
    // The path must keep its terminator inside the field: a cut path would
    // name another file at recovery.
    if (fullPath.size() >= kJournalPathField) RaiseServer(srv::kBadJournal, {fullPath});
    std::string h(kJournalRecordHeadSize, '\0');
    std::memcpy(h.data(), "JFRH", 4);
    PutU32(h.data() + 4, block);
    PutU32(h.data() + 8, blockSize);
    PutU32(h.data() + 12, beforeImage ? 1 : 0);
    std::memcpy(h.data() + 16, fullPath.data(), fullPath.size());
    return h;
}

namespace {

struct Record {
    std::uint32_t block, blockSize;
    bool before;
    std::string path;
    std::uint64_t imageAt;
};

class Handle {
public:
    Handle(TqvFileAccess& fa, int h) : fa_(fa), h_(h) {}
    ~Handle() {
        int e;
        if (h_ >= 0) fa_.Close(h_, e);
    }
    int get() const { return h_; }
    void Close() {
        int e;
        if (h_ >= 0) fa_.Close(h_, e);
        h_ = -1;
    }

private:
    TqvFileAccess& fa_;
    int h_;
};

std::string ParentKey(const std::string& full) {
    return plat::AnsiUpperCase(std::filesystem::path(full).parent_path().lexically_normal().string());
}

}  // namespace

QvRecovery QvRecoverJournal(const std::string& journalPath) {
    TqvFileAccess& fa = QvFileAccess();
    int err = 0;
    int h = fa.Open(journalPath, true, false, false, false, err);
    if (h < 0) {
        if (err == EWOULDBLOCK || err == EAGAIN) return QvRecovery::InUse;
        if (err == ENOENT) return QvRecovery::None;
        RaiseServer(srv::kOpenFailed, {journalPath, err});
    }
    Handle jh(fa, h);
    const std::string journalFull = QvJournalFullPath(journalPath);
    std::int64_t size = fa.Size(h, err);
    if (size < 0) RaiseServer(srv::kSeekFailed, {journalPath, 2147483647, err});
    unsigned char head[kJournalHeadSize];
    if (size < static_cast<std::int64_t>(kJournalHeadSize)) {
        // Its head was never completed, so no table file was touched yet.
        jh.Close();
        QvDeleteFile(journalPath);
        return QvRecovery::RolledBack;
    }
    if (fa.ReadAt(h, 0, head, kJournalHeadSize, err) != kJournalHeadSize) RaiseServer(srv::kReadShort, {journalPath, 8});
    if (std::all_of(head, head + kJournalHeadSize, [](unsigned char b) { return b == 0; })) {
        // The head is written unsynced when the transaction starts and made
        // durable by the first flush of the journal, which comes before any
        // table file is written: a head that never reached the disk means
        // no table file was touched.
        jh.Close();
        QvDeleteFile(journalPath);
        return QvRecovery::RolledBack;
    }
    std::uint32_t state = GetU32(head + 4);
    if (std::memcmp(head, "JQVH", 4) != 0 || state > 1) RaiseServer(srv::kBadJournal, {journalPath});
    const bool complete = state == 1;

    std::vector<Record> records;
    std::uint64_t at = kJournalHeadSize;
    const std::uint64_t end = static_cast<std::uint64_t>(size);
    std::string rh(kJournalRecordHeadSize, '\0');
    while (at < end) {
        bool whole = end - at >= kJournalRecordHeadSize &&
                     fa.ReadAt(h, at, rh.data(), kJournalRecordHeadSize, err) == kJournalRecordHeadSize;
        Record r{};
        if (whole) {
            r.block = GetU32(rh.data() + 4);
            r.blockSize = GetU32(rh.data() + 8);
            r.before = GetU32(rh.data() + 12) == 1;
            const char* p = rh.data() + 16;
            std::size_t len = strnlen(p, kJournalPathField);
            whole = std::memcmp(rh.data(), "JFRH", 4) == 0 && QvIsValidBlockSize(r.blockSize) &&
                    GetU32(rh.data() + 12) <= 1 && len < kJournalPathField && len > 0 &&
                    end - at - kJournalRecordHeadSize >= r.blockSize &&
                    (static_cast<std::uint64_t>(r.block) << QvLog2BlockSize(r.blockSize)) <= 0xFFFFFFFFull;
            r.path.assign(p, whole ? len : 0);
            if (whole) r.path = QvJournalRecordTarget(r.path, journalFull);
        }
        if (!whole) {
            // A transaction that died while writing its journal leaves a torn
            // last record; a complete journal was made durable before its
            // state word was set, so damage there is corruption.
            if (complete) RaiseServer(srv::kBadJournal, {journalPath});
            break;
        }
        r.imageAt = at + kJournalRecordHeadSize;
        // Only table files beside the journal may be written.
        if (ParentKey(QvJournalFullPath(r.path)) != ParentKey(journalFull)) RaiseServer(srv::kBadJournal, {journalPath});
        records.push_back(r);
        at = r.imageAt + r.blockSize;
    }

    std::vector<const Record*> apply;
    if (complete) {
        for (const Record& r : records)
            if (!r.before) apply.push_back(&r);
    } else {
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            if (it->before) apply.push_back(&*it);
    }

    std::vector<std::pair<std::string, int>> open;  // path key -> handle
    auto handleFor = [&](const std::string& path) {
        std::string key = plat::AnsiUpperCase(QvJournalFullPath(path));
        for (auto& o : open)
            if (o.first == key) return o.second;
        int e = 0;
        int th = fa.Open(path, true, false, false, false, e);
        if (th < 0) RaiseServer(srv::kOpenFailed, {path, e});
        open.emplace_back(key, th);
        return th;
    };
    std::vector<char> image;
    try {
        for (const Record* r : apply) {
            image.resize(r->blockSize);
            if (fa.ReadAt(h, r->imageAt, image.data(), r->blockSize, err) != r->blockSize)
                RaiseServer(srv::kReadShort, {journalPath, r->blockSize});
            int th = handleFor(r->path);
            std::uint64_t pos = static_cast<std::uint64_t>(r->block) * r->blockSize;
            if (fa.WriteAt(th, pos, image.data(), r->blockSize, err) != r->blockSize)
                RaiseServer(srv::kWriteFailed, {r->path, err});
        }
        for (auto& o : open)
            if (!fa.Flush(o.second, err)) RaiseServer(srv::kFlushFailed, {o.first, err});
    } catch (...) {
        for (auto& o : open) fa.Close(o.second, err);
        throw;
    }
    for (auto& o : open) fa.Close(o.second, err);
    jh.Close();
    QvDeleteFile(journalPath);
    return complete ? QvRecovery::RolledForward : QvRecovery::RolledBack;
}

int QvRecoverFolderJournals(const std::string& folder) {
    std::string dir = folder.empty() ? std::string(".") : QvResolvePath(folder);
    int applied = 0;
    for (const std::string& name : QvListFiles(dir, "*.QV$")) {
        QvRecovery r = QvRecoverJournal(dir + "/" + name);
        if (r == QvRecovery::RolledForward || r == QvRecovery::RolledBack) ++applied;
    }
    return applied;
}

}  // namespace qv
