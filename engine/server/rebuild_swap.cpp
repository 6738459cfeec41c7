#include "engine/server/rebuild_swap.h"

#include <atomic>
#include <stdexcept>

#include "engine/base/qv_base.h"
#include "engine/storage/table_file.h"
#include "platform/core/files.h"

namespace qv {

namespace {

std::atomic<TqvSwapStepHook> gHook{nullptr};

constexpr const char* kRecordMagic = "QVRB";
constexpr const char* kRecordExt = "RB$";
// A swap record is a few short lines; anything longer is not one of ours.
constexpr std::int64_t kMaxRecordSize = 4096;

void Step(int n) {
    if (TqvSwapStepHook h = gHook.load()) h(n);
}

std::string PathOf(const std::string& folder, const std::string& name, const std::string& ext) {
    return QvJoinPath(folder, QvMakeFileName(name, ext));
}

bool Exists(const std::string& folder, const std::string& name, const std::string& ext) {
    return QvFileExists(PathOf(folder, name, ext));
}

void Move(const std::string& folder, const std::string& from, const std::string& to, const std::string& ext) {
    QvRenameFile(PathOf(folder, from, ext), PathOf(folder, to, ext));
}

std::string Join(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) {
        if (!out.empty()) out += ',';
        out += s;
    }
    return out;
}

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= s.size() && !s.empty()) {
        std::size_t comma = s.find(',', at);
        if (comma == std::string::npos) comma = s.size();
        out.push_back(s.substr(at, comma - at));
        at = comma + 1;
    }
    return out;
}

// Extensions other than the base file's, in list order; the base file goes last
// in every rename pass, so its presence tells how far a pass got.
std::vector<std::string> Others(const std::vector<std::string>& exts) {
    std::vector<std::string> out;
    for (const std::string& e : exts)
        if (QvCmpShStrNoCase(e, "QVD", 3) != 0) out.push_back(e);
    return out;
}

bool Valid(const TqvSwapPlan& p) {
    if (!QvIsValidTableName(p.table) || !QvIsValidTableName(p.copy) || !QvIsValidTableName(p.aside)) return false;
    for (const auto* list : {&p.oldExtensions, &p.newExtensions})
        for (const std::string& e : *list)
            if (e.empty() || e.size() > 3 || e.find_first_of("\\/:*?.,\n") != std::string::npos) return false;
    return true;
}

void WriteRecord(const TqvSwapPlan& p) {
    const std::string text = std::string(kRecordMagic) + "\n" + p.table + "\n" + p.copy + "\n" + p.aside + "\n" +
                             Join(p.oldExtensions) + "\n" + Join(p.newExtensions) + "\n";
    const std::string final = QvSwapRecordPath(p.folder, p.table);
    const std::string temp = PathOf(p.folder, p.table, "RB~");
    plat::File f;
    if (!f.Open(temp, plat::FileAccess::Write, plat::FileShare::Exclusive, plat::FileDisposition::CreateAlways) ||
        f.Write(text.data(), text.size()) != static_cast<std::int64_t>(text.size()) || !f.Flush())
        throw std::runtime_error("cannot write the swap record");
    f.Close();
    // The record appears whole or not at all.
    QvRenameFile(temp, final);
}

void DeleteIfThere(const std::string& folder, const std::string& name, const std::string& ext) {
    if (Exists(folder, name, ext)) QvDeleteFile(PathOf(folder, name, ext));
}

// Puts the old table back while the copy's base file has not moved.
void Undo(const TqvSwapPlan& p) {
    for (const std::string& e : Others(p.newExtensions))
        if (!Exists(p.folder, p.copy, e) && Exists(p.folder, p.table, e)) Move(p.folder, p.table, p.copy, e);
    for (const std::string& e : Others(p.oldExtensions))
        if (Exists(p.folder, p.aside, e)) Move(p.folder, p.aside, p.table, e);
    if (Exists(p.folder, p.aside, "QVD")) Move(p.folder, p.aside, p.table, "QVD");
}

// The new table is in place: what is left is the old files and the record.
void Finish(const TqvSwapPlan& p) {
    int step = 100;
    for (const std::string& e : p.oldExtensions) {
        Step(step++);
        DeleteIfThere(p.folder, p.aside, e);
    }
    Step(step);
    QvDeleteFile(QvSwapRecordPath(p.folder, p.table));
}

void Recover(const TqvSwapPlan& p) {
    if (Exists(p.folder, p.copy, "QVD")) {
        Undo(p);
        for (const std::string& e : p.newExtensions) DeleteIfThere(p.folder, p.copy, e);
        QvDeleteFile(QvSwapRecordPath(p.folder, p.table));
    } else {
        Finish(p);
    }
}

}  // namespace

void QvSetSwapStepHook(TqvSwapStepHook hook) { gHook.store(hook); }

std::string QvSwapRecordPath(const std::string& folder, const std::string& table) {
    return PathOf(folder, table, kRecordExt);
}

std::string QvFreeTableName(const std::string& folder, const std::string& prefix) {
    for (std::uint32_t n = 1; n < 100000; ++n) {
        std::string name = prefix + std::to_string(n);
        if (!Exists(folder, name, "QVD") && !Exists(folder, name, kRecordExt)) return name;
    }
    throw std::runtime_error("no free temporary table name");
}

bool QvReadSwapRecord(const std::string& path, TqvSwapPlan& plan) {
    plat::File f;
    if (!f.Open(path, plat::FileAccess::Read, plat::FileShare::DenyNone)) return false;
    const std::int64_t size = f.Size();
    if (size <= 0 || size > kMaxRecordSize) return false;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (f.Read(text.data(), text.size()) != size) return false;
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos) return false;  // a record always ends with a line end
        lines.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    if (lines.size() != 6 || lines[0] != kRecordMagic) return false;
    plan.table = lines[1];
    plan.copy = lines[2];
    plan.aside = lines[3];
    plan.oldExtensions = Split(lines[4]);
    plan.newExtensions = Split(lines[5]);
    return Valid(plan) && !plan.oldExtensions.empty() && !plan.newExtensions.empty();
}

void QvSwapTableFiles(const TqvSwapPlan& p) {
    if (!Valid(p)) throw std::invalid_argument("invalid swap plan");
    Step(1);
    WriteRecord(p);
    int step = 2;
    try {
        // Old files aside, the base file last.
        for (const std::string& e : Others(p.oldExtensions)) {
            Step(step++);
            if (Exists(p.folder, p.table, e)) Move(p.folder, p.table, p.aside, e);
        }
        Step(step++);
        Move(p.folder, p.table, p.aside, "QVD");
        // The copy into place, its base file last: from that rename on the new table is whole.
        for (const std::string& e : Others(p.newExtensions)) {
            Step(step++);
            Move(p.folder, p.copy, p.table, e);
        }
        Step(step++);
        Move(p.folder, p.copy, p.table, "QVD");
    } catch (...) {
        try {
            Undo(p);
            QvDeleteFile(QvSwapRecordPath(p.folder, p.table));
        } catch (...) {
            // The record stays: recovery finishes the undo later.
        }
        throw;
    }
    try {
        Finish(p);
    } catch (...) {
        // The new table is in place; leftovers are cleared by recovery.
    }
}

int QvRecoverTableSwaps(const std::string& folder, const std::function<bool(const std::string& table)>& inUse) {
    int done = 0;
    std::vector<std::string> records;
    plat::SearchRec rec;
    if (plat::FindFirst(QvJoinPath(folder, std::string("*.") + kRecordExt), 0, rec) == 0) {
        do {
            records.push_back(rec.Name);
        } while (plat::FindNext(rec) == 0);
    }
    plat::FindClose(rec);
    for (const std::string& name : records) {
        TqvSwapPlan plan;
        const std::string path = QvJoinPath(folder, name);
        if (!QvReadSwapRecord(path, plan)) continue;
        // The record is found by the table's name: one written for another name is not trusted.
        if (QvCmpShStrNoCase(QvMakeFileName(plan.table, kRecordExt), name, 255) != 0) continue;
        if (inUse && (inUse(plan.table) || inUse(plan.copy) || inUse(plan.aside))) continue;
        plan.folder = folder;
        Recover(plan);
        ++done;
    }
    return done;
}

}  // namespace qv
