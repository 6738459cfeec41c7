// Feeds arbitrary payloads to the command handler against a live engine with
// one open table. Input: byte 0 picks a request, byte 1 bit 0 says whether
// the first four payload bytes are replaced by the open cursor's id (so the
// fuzzer reaches the engine rather than stopping at "invalid handle"), the
// rest is the payload. Requests that create, rename or delete files or
// databases by a path taken from the payload are left out: the fuzzer must
// not write outside its temporary folder.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/server/command_handler.h"
#include "engine/server/server_log.h"

using namespace qv;

namespace {

struct World {
    std::filesystem::path dir;
    TqvServerEngine engine;
    std::unique_ptr<TqvServerCommandHandler> handler;
    std::uint32_t cursor = 0, db = 0;
    std::vector<std::uint32_t> ids;

    World() {
        SetServerDebugLog(false);
        dir = std::filesystem::temp_directory_path() / ("dispatch_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        handler = std::make_unique<TqvServerCommandHandler>(
            engine, [](std::uint32_t, std::uint32_t, std::uint16_t, bool, const std::uint8_t*, std::uint32_t) {},
            false, [] { return 1u; });
        std::uint32_t hash;
        engine.ClientAdd(7, "F", "", hash);
        engine.DatabaseOpenNoAlias(7, dir.string(), true, true, db);
        TqvDataDictionary d;
        d.AddField("Id", "", qvftInt32, 10, 0, true);
        d.AddField("Name", "", qvftShortString, 20, 0, false);
        d.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
        d.AddFile("", "QVB", 4096, 2);
        std::uint32_t f = 0;
        d.AddIndex("ById", "", 0, 1, &f, false, true, false);
        engine.BuildTable(db, true, d, 0, "F");
        engine.OpenTable(db, "F", "ById", 0, true, true, 0, nullptr, cursor);
        for (const auto& r : RequestCatalogue()) {
            const std::uint32_t id = r.id;
            const bool touchesFiles = (id >= QvnmDatabaseOpen && id <= QvnmDatabaseChgAliasPath) ||
                                      (id >= QvnmBuildTable && id <= QvnmRenameTable) ||
                                      id == QvnmAddFileBLOB || id == QvnmDetachServer ||
                                      id == QvnmDetachServerJustInCase || id == QvnmAttachServer ||
                                      id == QvnmCursorClose || id == QvnmEndTransaction;
            if (!touchesFiles) ids.push_back(id);
        }
        ids.push_back(9999);  // one the server does not know
    }
    ~World() {
        handler.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World w;
    if (size < 2) return 0;
    TqvDataMessage m;
    m.messageId = w.ids[data[0] % w.ids.size()];
    m.clientId = 7;
    m.data.assign(data + 2, data + size);
    if ((data[1] & 1) && m.data.size() >= 4) PutU32(m.data.data(), w.cursor);
    if ((data[1] & 2) && m.data.size() >= 4 && m.messageId >= QvnmDatabaseOpen && m.messageId < QvnmOpenTable + 1)
        PutU32(m.data.data(), w.db);
    m.dataLength = static_cast<std::uint32_t>(m.data.size());
    m.timeLeft = data[1] >> 7;
    w.handler->Dispatch(m);
    return 0;
}
