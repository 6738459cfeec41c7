// A file layer for the table tests that counts the syncs reaching the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/storage/file_access.h"

namespace buildtest {

// Counts the syncs that reach the disk, passing every call on.
class SyncCounter final : public qv::TqvFileAccess {
public:
    explicit SyncCounter(qv::TqvFileAccess& inner) : inner_(inner) { qv::QvInstallFileAccess(this); }
    ~SyncCounter() override { qv::QvInstallFileAccess(nullptr); }
    long syncs = 0;
    int Open(const std::string& n, bool rw, bool sh, bool cr, bool wt, int& e) override {
        return inner_.Open(n, rw, sh, cr, wt, e);
    }
    bool Close(int h, int& e) override { return inner_.Close(h, e); }
    bool Flush(int h, int& e) override {
        ++syncs;
        return inner_.Flush(h, e);
    }
    std::int64_t Size(int h, int& e) override { return inner_.Size(h, e); }
    std::int64_t ReadAt(int h, std::uint64_t p, void* b, std::size_t c, int& e) override {
        return inner_.ReadAt(h, p, b, c, e);
    }
    std::int64_t WriteAt(int h, std::uint64_t p, const void* b, std::size_t c, int& e) override {
        return inner_.WriteAt(h, p, b, c, e);
    }
    bool SetEndOfFile(int h, std::uint64_t p, int& e) override { return inner_.SetEndOfFile(h, p, e); }
    bool Delete(const std::string& n, int& e) override { return inner_.Delete(n, e); }
    bool Rename(const std::string& f, const std::string& t, int& e) override { return inner_.Rename(f, t, e); }

private:
    qv::TqvFileAccess& inner_;
};

}  // namespace buildtest
