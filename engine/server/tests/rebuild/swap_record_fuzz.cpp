// Swap records are read back from the table folder after a crash: whatever
// lies there must neither crash recovery nor move files out of the folder.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "engine/server/rebuild_swap.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One scratch folder per run, removed when the run ends.
    static const struct Scratch {
        fs::path path = fs::temp_directory_path() / ("swap_fuzz_" + std::to_string(::getpid()));
        Scratch() { fs::create_directories(path); }
        ~Scratch() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } scratch;
    const fs::path& root = scratch.path;
    const fs::path dir = root / "folder";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* name : {"T.QVD", "T.QVB", "_PACK1.QVD", "_PACK1.QVX"}) std::ofstream(dir / name) << name;
    std::ofstream(dir / "T.RB$", std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                         static_cast<std::streamsize>(size));
    try {
        qv::QvRecoverTableSwaps(dir.string());
    } catch (const std::exception&) {
        // A rename that fails is reported, not a crash.
    }
    // Nothing may appear beside the folder.
    for (const auto& e : fs::directory_iterator(root))
        if (e.path().filename() != "folder") __builtin_trap();
    return 0;
}
