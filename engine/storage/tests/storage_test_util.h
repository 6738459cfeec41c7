// Small helpers for the storage tests: a table file with its buffer manager.
#pragma once

#include <functional>
#include <string>

#include "engine/base/qv_base.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/table_file.h"

namespace qv::testing {

// Words in file order, as little-endian bytes.
inline std::string Words(std::initializer_list<std::uint32_t> words) {
    std::string s;
    for (std::uint32_t w : words) {
        char b[4];
        PutU32(b, w);
        s.append(b, 4);
    }
    return s;
}

// An open table file bound to its own buffer manager.
struct OpenFile {
    TqvBufferManager bm;
    TbtdFileInfoPtr f;

    explicit OpenFile(const std::string& path) {
        f = NewFileInfo(path, "QVD", 0);
        f->bufferManager = &bm;
    }
    ~OpenFile() { Close(); }
    void Open(bool create = false) { OpenTableFile(f.get(), true, false, create, false); }
    void Close() {
        if (f && f->handle >= 0) {
            bm.RemoveFile(f.get());
            CloseTableFile(f.get());
        }
    }
    // Creates a file holding only its header block, committed.
    void Create(std::uint32_t blockSize, std::uint32_t recordLength = 10) {
        f->blockSize = blockSize;
        Open(true);
        Run(1, false, [&] {
            std::uint8_t* h = GetFreshBlock(f.get(), 0);
            InitHeaderBlock(h, blockSize, recordLength, 1, 3, false);
        });
    }
    // Runs `body` in transaction `tr` and commits it.
    void Run(std::uint32_t tr, bool failSafe, const std::function<void()>& body, const std::string& journal = "") {
        f->transaction = tr;
        bm.StartTransaction(tr, failSafe, journal);
        body();
        bm.CommitTransaction(tr);
    }
    std::uint8_t* Header(bool forUpdate = false) { return GetHeaderBlock(f.get(), forUpdate); }
};

}  // namespace qv::testing
