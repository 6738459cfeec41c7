// The contents-file reader and the explorer text over arbitrary bytes: no
// crash, no hang, and a sound file's entries write back to lines that read
// the same again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "helpbuild/cnt_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    build::CntReadResult r = build::ParseCntFile(text);
    build::ExplorerTreeLines(build::CntExplorerText(text));
    if (r.Ok()) {
        build::CntHeader h;
        h.dosName = "f";
        h.lists = r.lists;
        build::CntReadResult again = build::ParseCntFile(build::AssembleCntFile(h, r.entries));
        if (!again.Ok() || again.entries.size() != r.entries.size()) std::abort();
    }
    return 0;
}
