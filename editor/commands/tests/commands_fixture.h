// A program folder with the project tables, one project "Demo" whose folder
// has a blank in its name, and the fake outside program copied under the
// names the commands look for. Every start of the fake is logged.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "project/editor_context.h"
#include "project/tests/editor_test_support.h"
#include "platform/core/ini_file.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

namespace cmdtest {

namespace fs = std::filesystem;

struct CommandsFixture : ::testing::Test {
    edtest::ProgramFolder home;
    gui::ScriptedDialogService dialogs;
    std::unique_ptr<editor::EditorContext> ctx;
    std::string folder;  // the project folder
    std::string log;

    CommandsFixture() {
        gui::SetDialogService(&dialogs);
        folder = home.Path("my proj");
        fs::create_directories(folder);
        log = home.Path("starts.log");
        ::setenv("TAVRIN_FAKE_LOG", log.c_str(), 1);
        ::unsetenv("TAVRIN_FAKE_EXIT");
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.dir;
        ctx->BindAlias();
        ctx->OpenTables();
        db::TDataSet* m = ctx->mainTable;
        m->Append();
        m->FieldByName("Application")->SetAsString("Demo");
        m->FieldByName("DosName")->SetAsString("demo");
        m->FieldByName("HelpTitle")->SetAsString("Demo Help");
        m->FieldByName("ProjectDir")->SetAsString("my proj");
        m->FieldByName("Compile")->SetAsString("32");
        m->Post();
    }
    ~CommandsFixture() override {
        ctx.reset();
        gui::SetDialogService(nullptr);
        ::unsetenv("TAVRIN_FAKE_LOG");
        ::unsetenv("TAVRIN_FAKE_EXIT");
    }
    // The fake program under a name in the program folder (or anywhere).
    std::string Install(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(FAKE_OUTSIDE_PROGRAM, path, fs::copy_options::overwrite_existing);
        return path;
    }
    void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    // The logged starts, one vector per start: name, folder, arguments.
    // Waits up to five seconds for `count` lines (programs started without waiting).
    std::vector<std::vector<std::string>> Starts(std::size_t count = 1) {
        std::vector<std::vector<std::string>> out;
        for (int i = 0; i < 500; ++i) {
            out.clear();
            std::ifstream in(log);
            std::string line;
            while (std::getline(in, line)) {
                std::vector<std::string> parts;
                std::stringstream ss(line);
                std::string part;
                while (std::getline(ss, part, '|')) parts.push_back(part);
                out.push_back(parts);
            }
            if (out.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return out;
    }
    void SetPaths(const char* key, const std::string& value) {
        plat::TIniFile ini(home.Path("Tavrin.ini"));
        ini.WriteString("Paths", key, value);
    }
    const gui::DialogRequest* LastBox() const {
        return dialogs.Requests().empty() ? nullptr : &dialogs.Requests().back();
    }
};

}  // namespace cmdtest
