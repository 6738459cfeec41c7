// Opens arbitrary bytes as a table file: header checks, the stored
// dictionary, the stream and free-block chains. Anything but an engine
// exception (a crash, a sanitizer report, a hang) is a fault.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/table_file.h"
#include "platform/core/streams.h"

using namespace qv;

// A folder of our own for the input file, removed when the run ends.
struct FuzzFolder {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tavrin_table_fuzz_" + std::to_string(getpid()));
    FuzzFolder() { std::filesystem::create_directories(dir); }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

static const std::string& FuzzPath() {
    static FuzzFolder folder;
    static const std::string path = (folder.dir / "F.QVD").string();
    return path;
}

static void Exercise(TqvBufferManager& bm, TbtdFileInfo* f) {
    bm.BeginAccess();
    const std::uint8_t* h = GetHeaderBlock(f, false);
    std::uint32_t blocks = GetU32(h + hdr::kBlockCount);
    try {
        TqvDataDictionary d;
        d.ReadDictionaryFromFile(f);
        std::vector<std::uint8_t> rec(d.GetRecordLength()), key(1025);
        d.InitRecord(rec.data());
        for (std::uint32_t i = 1; i < d.IndexCount(); ++i)
            if (!d.IndexIsUserIndex(i) && d.IndexKeyLength(i) <= key.size()) d.BuildKey(i, rec.data(), key.data());
    } catch (const EqvException&) {
    }
    for (std::uint32_t n = 1; n < blocks && n < 8; ++n) {
        try {
            ReadStream(f, n);
        } catch (const EqvException&) {
        }
    }
    f->transaction = 1;
    bm.StartTransaction(1, false, "");
    try {
        for (int i = 0; i < 3; ++i) {
            std::uint32_t n;
            GetNewBlock(f, GetHeaderBlock(f, true), n);
        }
        if (blocks > 1) FreeBlock(f, GetHeaderBlock(f, true), 1);
    } catch (const EqvException&) {
    }
    bm.RollbackTransaction(1);
    bm.EndAccess();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = FuzzPath();
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    TqvBufferManager bm;
    TbtdFileInfoPtr f = NewFileInfo(path, "QVD", 0);
    f->bufferManager = &bm;
    try {
        OpenTableFile(f.get(), true, false, false, false);
        try {
            Exercise(bm, f.get());
        } catch (const EqvException&) {
        }
        bm.RemoveFile(f.get());
        CloseTableFile(f.get());
    } catch (const EqvException&) {
    }
    // The same bytes as a stored dictionary stream.
    try {
        plat::MemoryStream ms(std::string(reinterpret_cast<const char*>(data), size));
        TqvDataDictionary d;
        d.ReadFromStream(ms);
    } catch (const EqvException&) {
    }
    return 0;
}
