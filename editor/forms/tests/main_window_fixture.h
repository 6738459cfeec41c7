// What the main-window tests share: a program folder with the project tables
// on an engine driver of its own, and the main window started on it as
// start-up starts it (without the tip window).
#pragma once

#include "project/project_tables.h"
#include "editor/forms/main_form.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"

#include <filesystem>
#include <memory>
#include <string>

namespace editortest {

inline std::shared_ptr<db::TEngineDriver> UseProgramHome(const std::string& home) {
    std::filesystem::create_directories(home);
    plat::SetDataHome(home);
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    editor::InstallProjectTables(home);
    return driver;
}

// The caller checks StartupOk().
inline std::unique_ptr<editor::TForm1> StartMainWindow(const std::string& home) {
    auto form = std::make_unique<editor::TForm1>(nullptr);
    form->SuppressTipWindow = true;
    form->ctx->ProgramDir = home;
    form->FormCreate();
    return form;
}

}  // namespace editortest
