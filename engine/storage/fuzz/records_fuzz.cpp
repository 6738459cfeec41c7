// Walks records, BLOBs and an index of a damaged table file. The input is
// either a whole table file (starting "QVFH") or a list of byte patches
// (3-byte offset, 1-byte value) applied to a small table built here with
// records, BLOBs of several sizes and a three-level index. Anything but an
// engine exception (a crash, a sanitizer report, a hang) is a fault.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/blobs.h"
#include "engine/storage/btree.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/records.h"
#include "engine/storage/table_file.h"

using namespace qv;

namespace {

constexpr std::uint32_t kRecordLength = 12, kKeyLength = 400;
constexpr int kRecords = 60;

struct FuzzFolder {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tavrin_records_fuzz_" + std::to_string(getpid()));
    FuzzFolder() { std::filesystem::create_directories(dir); }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const std::string& FuzzPath() {
    static FuzzFolder folder;
    static const std::string path = (folder.dir / "R.QVD").string();
    return path;
}

int KeyCompare(const std::uint8_t* a, const std::uint8_t* b, const void*) { return std::memcmp(a, b, kKeyLength); }

std::string Key(std::uint32_t v) {
    std::string k(kKeyLength, '\0');
    for (int i = 0; i < 4; ++i) k[i] = static_cast<char>(v >> (24 - 8 * i));
    return k;
}

TqvIndexContext Context(TbtdFileInfo* f, std::uint32_t index) {
    TqvIndexContext c;
    c.file = f;
    c.index = index;
    c.compare = index == 0 ? QvCompareRefKeysProc : KeyCompare;
    // The key buffers here are kKeyLength long, whatever the header says.
    c.keyLength = index == 0 ? 4 : kKeyLength;
    return c;
}

struct Opened {
    TqvBufferManager bm;
    TbtdFileInfoPtr f;
    explicit Opened(bool create) {
        f = NewFileInfo(FuzzPath(), "QVD", 4096);
        f->bufferManager = &bm;
        OpenTableFile(f.get(), true, false, create, false);
        f->transaction = 1;
        bm.StartTransaction(1, false, "");
        bm.BeginAccess();
    }
    ~Opened() {
        bm.EndAccess();
        bm.RollbackTransaction(1);
        bm.RemoveFile(f.get());
        try {
            CloseTableFile(f.get());
        } catch (const EqvException&) {
        }
    }
};

// The undamaged table: records with a reference-only index 0 and a long-key
// index 1 (9 entries a page, so three levels), and BLOBs of 0, 300 and
// 5000 bytes.
std::string BuildTemplate(std::vector<std::uint32_t>& blobs) {
    {
        Opened o(true);
        TbtdFileInfo* f = o.f.get();
        InitHeaderBlock(GetFreshBlock(f, 0), 4096, kRecordLength, 2, 1, false);
        CreateIndexHeaderBlock(f);
        DefineIndex(f, 0, 4, true, false);
        DefineIndex(f, 1, kKeyLength, false, true);
        TqvIndexContext c0 = Context(f, 0), c1 = Context(f, 1);
        for (int i = 0; i < kRecords; ++i) {
            std::uint8_t rec[kRecordLength] = {};
            PutU32(rec, static_cast<std::uint32_t>(i));
            std::uint32_t ref;
            AddRecord(f, ref, rec);
            AddKey(c0, nullptr, ref);
            AddKey(c1, reinterpret_cast<const std::uint8_t*>(Key(i % 40).data()), ref);
        }
        std::string data(5000, 'b');
        for (std::uint32_t len : {0u, 300u, 5000u}) {
            std::uint32_t nr;
            AddBLOB(f, nr);
            QVTblWriteBLOB(f, nr, 0, len, data.data());
            blobs.push_back(nr);
        }
        o.bm.EndAccess();
        o.bm.CommitTransaction(1);
        o.bm.StartTransaction(1, false, "");
        o.bm.BeginAccess();
    }
    std::FILE* in = std::fopen(FuzzPath().c_str(), "rb");
    std::string bytes;
    char buf[4096];
    std::size_t n;
    while (in && (n = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, n);
    if (in) std::fclose(in);
    return bytes;
}

template <typename F>
void Try(F&& f) {
    try {
        f();
    } catch (const EqvException&) {
    }
}

void Exercise(TbtdFileInfo* f, const std::vector<std::uint32_t>& blobs) {
    std::vector<std::uint8_t> rec(kRecordLength + 4096), key(kKeyLength);
    std::uint32_t ref = 0, next = 0;
    Try([&] {
        TqvTableInfo info;
        GetTableInfo(f, info);
        if (info.recordLength > 4096) return;
        for (int steps = 0; steps < 2000; ++steps) {
            NextRecord(f, ref, next, rec.data());
            if (next == 0) break;
            ref = next;
        }
    });
    Try([&] {
        std::uint32_t r;
        AddRecord(f, r, rec.data());
        DeleteRecord(f, r);
    });
    for (std::uint32_t nr : blobs) {
        std::vector<std::uint8_t> buf(6000);
        std::uint32_t n;
        int error;
        Try([&] { QVTblReadBLOB(f, nr, 0, 6000, buf.data(), n, error); });
        Try([&] { QVTblWriteBLOB(f, nr, 100, 4500, buf.data()); });
        Try([&] { QVTblTruncateBLOB(f, nr, 270); });
        Try([&] { FreeBLOB(f, nr); });
        Try([&] {
            std::uint32_t fresh;
            AddBLOB(f, fresh);
            QVTblWriteBLOB(f, fresh, 0, 5000, buf.data());
        });
    }
    for (std::uint32_t index : {0u, 1u}) {
        TqvIndexContext c = Context(f, index);
        Try([&] {
            TqvCursorPath path;
            std::uint32_t r;
            for (int steps = 0; steps < 2000 && NextKey(c, key.data(), r, path); ++steps) {
            }
            for (int steps = 0; steps < 2000 && PriorKey(c, key.data(), r, path); ++steps) {
            }
        });
        for (int mode = 0; mode < 3; ++mode)
            Try([&] {
                TqvCursorPath path;
                std::string k = Key(17);
                std::uint32_t r = 0;
                FindKey(c, reinterpret_cast<std::uint8_t*>(k.data()), r, mode, path);
                NextKey(c, key.data(), r, path);
            });
        for (std::uint32_t v = 0; v < 40; v += 3)
            Try([&] { DeleteKey(c, reinterpret_cast<const std::uint8_t*>(Key(v).data()), 0); });
        for (std::uint32_t v = 100; v < 130; ++v)
            Try([&] { AddKey(c, reinterpret_cast<const std::uint8_t*>(Key(v).data()), v * 16 + 4128); });
        Try([&] { ClearIndex(c); });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<std::uint32_t> blobs;
    static const std::string base = BuildTemplate(blobs);
    std::string file;
    if (size >= 4 && std::memcmp(data, "QVFH", 4) == 0) {
        file.assign(reinterpret_cast<const char*>(data), size);
    } else {
        file = base;
        for (std::size_t i = 0; i + 4 <= size && !file.empty(); i += 4) {
            std::size_t at = (data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)) % file.size();
            file[at] = static_cast<char>(data[i + 3]);
        }
    }
    if (std::FILE* out = std::fopen(FuzzPath().c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), out);
        std::fclose(out);
    }
    try {
        Opened o(false);
        Exercise(o.f.get(), blobs);
    } catch (const EqvException&) {
    }
    return 0;
}
