// Writes the fuzz seeds: small table files as the storage layer makes them.
// Usage: engine_storage_make_seeds <folder>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/storage/buffer_manager.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/table_file.h"

using namespace qv;

static void Make(const std::string& path, bool withFreeBlock) {
    TqvBufferManager bm;
    TbtdFileInfoPtr f = NewFileInfo(path, "QVD", 4096);
    f->bufferManager = &bm;
    OpenTableFile(f.get(), true, false, true, false);
    f->transaction = 1;
    bm.StartTransaction(1, false, "");
    TqvDataDictionary d(4096);
    d.SetTableName("Seed");
    d.AddField("Id", "", qvftAutoInc, 0, 0, false);
    d.AddField("Name", "name", qvftShortString, 20, 0, true);
    d.AddField("Price", "", qvftCurrency, 12, 2, false);
    std::uint32_t k[] = {1, 0};
    d.AddIndex("ByName", "", 0, 2, k, true, true, true);
    std::uint8_t* h = GetFreshBlock(f.get(), 0);
    InitHeaderBlock(h, 4096, d.GetRecordLength(), d.IndexCount(), d.FieldCount(), false);
    d.WriteDictionaryToFile(f.get());
    if (withFreeBlock) {
        std::uint32_t n;
        std::uint8_t* b = GetNewBlock(f.get(), GetHeaderBlock(f.get(), true), n);
        std::memcpy(b, "QVDH", 4);
        FreeBlock(f.get(), GetHeaderBlock(f.get(), true), n);
    }
    bm.CommitTransaction(1);
    bm.RemoveFile(f.get());
    CloseTableFile(f.get());
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    Make(dir + "/dict.QVD", false);
    Make(dir + "/freechain.QVD", true);
    return 0;
}
