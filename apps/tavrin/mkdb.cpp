// tavrin_mkdb <folder>: creates the project tables a folder lacks, as the
// program does in its own folder at start-up. Existing tables stay as they are.
#include "project/project_tables.h"
#include "platform/core/files.h"
#include "data/engine_driver.h"
#include "data/tables.h"

#include <cstdio>
#include <exception>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrin_mkdb <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!plat::ForceDirectories(folder)) {
        std::fprintf(stderr, "tavrin_mkdb: cannot create the folder %s\n", folder.c_str());
        return 1;
    }
    try {
        auto driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        for (const std::string& name : editor::InstallProjectTables(folder)) std::printf("created %s\n", name.c_str());
        db::Session().SetDriver(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin_mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
