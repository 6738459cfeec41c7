// A program folder in a temporary directory with the engine as the dataset
// layer's store, shared by the editor's core tests.
#pragma once

#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <memory>
#include <string>

namespace edtest {

struct ProgramFolder {
    testsupport::TempDir tmp;
    std::string dir;
    std::shared_ptr<db::TEngineDriver> driver;

    explicit ProgramFolder(bool install = true) {
        dir = (tmp.path() / "home").string();
        std::filesystem::create_directories(dir);
        plat::SetDataHome(dir);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        if (install) editor::InstallProjectTables(dir);
    }
    ~ProgramFolder() {
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
};

}  // namespace edtest
