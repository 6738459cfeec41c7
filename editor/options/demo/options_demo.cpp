// Writes a picture of each options window: options_demo --screenshot DIR,
// or options_demo --form CLASS --screenshot FILE.
#include "editor/options/ui/options_windows.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
    std::string form, shot;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--form") && i + 1 < argc) form = argv[++i];
        else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) shot = argv[++i];
    }
    if (shot.empty()) {
        std::fprintf(stderr, "usage: options_demo [--form CLASS] --screenshot FILE|DIR\n");
        return 2;
    }
    // A program folder of its own, so the pictures show the sample project.
    const auto home = std::filesystem::temp_directory_path() / ("tavrin-options-demo-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    plat::SetDataHome(home.string());
    gui::InitApplication(argc, argv);
    gui::SetDialogService(nullptr);
    int code = 0;
    {
        auto driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        if (!form.empty()) {
            if (!editor::ShowOptionsWindow(form, shot, code)) code = 2;
        } else {
            std::filesystem::create_directories(shot);
            for (const auto& name : editor::OptionsWindowClasses()) {
                int one = 0;
                editor::ShowOptionsWindow(name, (std::filesystem::path(shot) / (name + ".png")).string(), one);
                code = code ? code : one;
            }
        }
        db::Session().SetDriver(nullptr);
    }
    gui::DoneApplication();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return code;
}
