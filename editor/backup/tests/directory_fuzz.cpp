// Reads arbitrary bytes as an archive's directory, as the archiver does for
// any file it is pointed at. A result is fine; a crash, a hang or a sanitizer
// report is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "editor/backup/lzh_batch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Inside the driver's private data folder when there is one; else a
    // temporary file removed at exit.
    static const std::string path = [] {
        if (const char* home = std::getenv("TAVRIN_HOME"); home && *home) return std::string(home) + "/fuzz.kqb";
        char name[] = "/tmp/tavrin-archive-fuzz-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        static std::string made = name;
        std::atexit([] { std::remove(made.c_str()); });
        return made;
    }();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    lzh::TLZHBatch batch;
    batch.SetArchiveFileName(path);
    if (batch.ValidArchive()) {
        // Every member listed lies inside the file.
        for (int i = 0; i < batch.ArchiveEntries().Count(); ++i) {
            const auto* m = static_cast<const lzh::TArchiveMember*>(batch.ArchiveEntries().Objects(i));
            if (batch.DataStart() + m->offset + m->compressedSize > static_cast<std::int64_t>(size)) __builtin_trap();
        }
    }
    return 0;
}
