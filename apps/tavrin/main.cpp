// Tavrin, the help-authoring program.
#include <cstdio>

#include "engine/client/client_comms_engine.h"
#include "engine/server/server_log.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "richtext/spell/spell_files.h"

int main(int argc, char** argv) {
    // The program folder is a writable data folder, made on first start.
    if (!plat::ForceDirectories(plat::ProgramDir())) {
        std::fprintf(stderr, "Tavrin: cannot create the program folder %s\n", plat::ProgramDir().c_str());
        return 1;
    }
    // The engine's start-up: a fresh server log in the program folder, and
    // the keyword file of server settings named by the first parameter.
    qv::StartServerLog();
    // The spell checker looks for its dictionaries in the program folder.
    spell::CopyDictionaries(TAVRIN_DICT_DIR, plat::ProgramDir());
    if (argc > 1) qv::SetServerKeywordFile(argv[1]);

    std::printf(
        "Tavrin 0.1\n"
        "The help-authoring window is not available yet: this build holds the\n"
        "table engine, the text engine, the converter and the platform layers.\n"
        "Run scripts/test.sh to exercise them.\n");
    return 0;
}
